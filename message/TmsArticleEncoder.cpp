#include "message/TmsArticleEncoder.h"

#include "base/AsciiCase.h"
#include "base/MessageTable.h"
#include "message/Base64.h"
#include "message/HeaderText.h"
#include "message/TQuotedPrintable.h"
#include "message/TmsArticle.h"
#include "message/UUCode.h"
#include "platform/MessagePump.h"
#include "platform/ShortText.h"
#include "platform/TStream.h"

#include <random>

namespace vexil {

namespace {

std::string LowerNamePart(const TmsAttItem &item) {
    return LowerAscii(FileNamePart(item.FileName()));
}

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

std::vector<std::string> QuotedPrintableLines(std::string bytes) {
    TMemoryStream stream(std::move(bytes));
    std::vector<std::string> lines;
    TQuotedPrintable codec(stream, lines);
    codec.Encode();
    return lines;
}

std::string JoinWithCrLf(const std::vector<std::string> &lines) {
    std::string text;
    for (const auto &line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

} // namespace

TmsCustomEncoder::TmsCustomEncoder(TmsCustomMessage &message)
    : Message(message), body_(message.Body()) {
    for (auto &line : Message.Body()) {
        if (!LongLines && line.size() > kShortTextMax)
            LongLines = true;
        if (line == ".")
            line = "..";
    }
}

std::string TmsCustomEncoder::MakeBoundary() {
    ProcessPendingMessages();
    thread_local std::mt19937 engine{std::random_device{}()};
    std::uniform_int_distribution<int> digit(0, 8);
    std::string boundary;
    for (int i = 0; i < 8; ++i)
        boundary += static_cast<char>('0' + digit(engine));
    return boundary;
}

void TmsCustomEncoder::WriteLine(std::string_view text) {
    if (!text.empty() && text.front() == '.')
        Stream->Write(".", 1);
    Stream->Write(text);
    Stream->Write("\r\n", 2);
}

void TmsCustomEncoder::WriteLines(const std::vector<std::string> &lines) {
    for (const auto &line : lines)
        WriteLine(line);
}

void TmsCustomEncoder::Encode() {
    Stream->SetPosition(0);
    WriteHeaders();
    if (Message.Encoding() == meUU) {
        WriteUU();
        return;
    }
    const std::string type = Message.ContentType();
    const bool hasAttachments = Message.Attachments().Count() > 0;
    if (type == "multipart/mixed")
        WriteMultipart(false);
    else if (type == "text/plain" && !hasAttachments)
        WriteTextPlain();
    else if (type == "text/html" || type == "text/rtf")
        WriteMarkupBody();
    else if (type == "multipart/alternative")
        WriteMultipart(true);
    else
        WriteSingleAttachment();
}

std::vector<std::string> TmsCustomEncoder::EncodeBody() {
    if (Message.CharSet() == csUSASCII && !LongLines)
        return body_;
    return QuotedPrintableLines(JoinWithCrLf(body_));
}

void TmsCustomEncoder::WriteTextPlainHeaders() {
    if (Message.CharSet() == csISO8859) {
        WriteLine("Content-Type: text/plain; charset=" + Quoted("iso-8859-1"));
        WriteLine("Content-Transfer-Encoding: quoted-printable");
    } else {
        WriteLine("Content-Type: text/plain; charset=" + Quoted("us-ascii"));
        WriteLine(LongLines ? "Content-Transfer-Encoding: quoted-printable"
                            : "Content-Transfer-Encoding: 7bit");
    }
}

void TmsCustomEncoder::WriteTextPlain() {
    WriteTextPlainHeaders();
    WriteLine("");
    WriteLines(EncodeBody());
}

void TmsCustomEncoder::WriteMarkupBody() {
    std::string line =
        Message.ContentType() == "text/html" ? "Content-Type: text/html" : "Content-Type: text/rtf";
    if (Message.CharSet() == csISO8859)
        line += "; charset=" + Quoted("iso-8859-1");
    WriteLine(line);
    WriteLine("Content-Transfer-Encoding: quoted-printable");
    WriteLine("");
    Message.SetBody(QuotedPrintableLines(JoinWithCrLf(body_)));
    WriteLines(Message.Body());
}

void TmsCustomEncoder::WriteSingleAttachment() {
    const TmsAttItem &item = Message.Attachments().Items(0);
    const std::string name(FileNamePart(item.FileName()));
    const bool single = Message.Attachments().Count() == 1;
    const bool markup =
        single && (LowerNamePart(item) == "_htmbody.htm" || LowerNamePart(item) == "_rtfbody.rtf");
    if (single && LowerNamePart(item) == "_htmbody.htm")
        WriteLine("Content-Type: text/html");
    else if (single && LowerNamePart(item) == "_rtfbody.rtf")
        WriteLine("Content-Type: text/rtf");
    else
        WriteLine("Content-Type: " + item.ContentType() + "; name=" + Quoted(name));
    WriteLine("Content-Transfer-Encoding: " +
              std::string(AttEncodingName(item.TransferEncoding())));
    if (!markup)
        WriteLine("Content-Disposition: attachment; filename=" + Quoted(name));
    WriteLine("");
    EncodeAttachment(item);
}

void TmsCustomEncoder::WriteMultipart(bool alternative) {
    const TmsAttList &attachments = Message.Attachments();
    const int count = attachments.Count();
    const bool bodyEmpty = Message.Body().empty();
    bool htmBody = count > 0 && bodyEmpty && LowerNamePart(attachments.Items(0)) == "_htmbody.htm";
    bool rtfBody = count > 0 && bodyEmpty && LowerNamePart(attachments.Items(0)) == "_rtfbody.rtf";
    std::string boundary = MakeBoundary();
    WriteLine("Content-Type: " + Message.ContentType() + "; boundary=" + Quoted(boundary));
    WriteLine("");
    WriteLine(MessageText(kMsgMultipartPreamble));
    WriteLine("");
    WriteLine("--" + boundary);
    bool nested = count > 0 && LowerNamePart(attachments.Items(0)).rfind("_alt.", 0) == 0;
    std::string outer = boundary;
    if (nested && !alternative) {
        boundary = MakeBoundary();
        WriteLine("Content-Type:  multipart/alternative; boundary=" + Quoted(boundary));
        WriteLine("Content-Transfer-Encoding: 7bit");
        WriteLine("");
        WriteLine("--" + boundary);
    }
    if (!bodyEmpty) {
        WriteTextPlainHeaders();
        WriteLine("");
        WriteLines(EncodeBody());
        WriteLine("");
        WriteLine("--" + boundary);
    }
    for (int i = 0; i < count; ++i) {
        const TmsAttItem &item = attachments.Items(i);
        if (i > 0) {
            // The empty line after the previous part is the line end that belongs to this
            // boundary; a second one would become part of that part's text.
            WriteLine("--" + boundary);
            htmBody = rtfBody = false;
        }
        const bool plain = !(alternative || nested || htmBody || rtfBody);
        const std::string name(FileNamePart(item.FileName()));
        WriteLine("Content-Type: " + item.ContentType() + (plain ? "; name=" + Quoted(name) : ""));
        WriteLine("Content-Transfer-Encoding: " +
                  std::string(AttEncodingName(item.TransferEncoding())));
        if (plain)
            WriteLine("Content-Disposition: attachment; filename=" + Quoted(name));
        WriteLine("");
        EncodeAttachment(item);
        WriteLine("");
        if (i == count - 1) {
            WriteLine("--" + boundary + "--");
        } else if (nested && LowerNamePart(attachments.Items(i + 1)).rfind("_alt.", 0) != 0) {
            WriteLine("--" + boundary + "--");
            nested = false;
            boundary = outer;
        }
    }
}

void TmsCustomEncoder::EncodeAttachment(const TmsAttItem &item) {
    const std::string_view data = item.Data.Bytes();
    switch (item.TransferEncoding()) {
    case aeBase64:
        for (std::size_t pos = 0;; pos += 57) {
            const std::string_view block = data.substr(std::min(pos, data.size()), 57);
            WriteLine(Base64EncodeBlock(block));
            if (block.size() < 57)
                break;
        }
        break;
    case aeQuotedPrintable:
        WriteLines(QuotedPrintableLines(std::string(data)));
        break;
    case aeSevenBit:
        WriteLines(SplitTextLines(data));
        break;
    }
}

void TmsCustomEncoder::WriteUU() {
    WriteLine("");
    WriteLines(body_);
    const TmsAttList &attachments = Message.Attachments();
    for (int i = 0; i < attachments.Count(); ++i) {
        const TmsAttItem &item = attachments.Items(i);
        const std::string_view data = item.Data.Bytes();
        WriteLine("");
        WriteLine("begin 600 " + std::string(FileNamePart(item.FileName())));
        for (std::size_t pos = 0;; pos += 45) {
            const std::string_view block = data.substr(std::min(pos, data.size()), 45);
            WriteLine(UUEncodeBlock(block));
            if (block.size() < 45)
                break;
        }
        WriteLine("`");
        WriteLine("end");
    }
}

void TmsArticleEncoder::WriteHeaders() {
    auto &article = dynamic_cast<TmsArticle &>(Message);
    WriteLine(ShortText("From:     " + article.Sender().Name() + " <" + article.Sender().Address() +
                        ">"));
    WriteLine("Newsgroups: " + article.NewsGroups());
    TmsHeaders &headers = article.Headers();
    for (const char *name :
         {"From", "To", "CC", "BCC", "Return-Receipt-To", "X-Priority", "Subject", "Mime-Version",
          "Content-Type", "X-Encoding", "Content-Transfer-Encoding"})
        headers.RemoveHeader(name);
    WriteLines(headers.Lines());
    if (!article.Subject().empty())
        WriteLine("Subject:  " + article.Subject());
    if (article.Encoding() == meMIME)
        WriteLine("Mime-Version: 1.0");
}

} // namespace vexil
