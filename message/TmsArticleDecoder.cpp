#include "message/TmsArticleDecoder.h"

#include "message/Base64.h"
#include "message/HeaderText.h"
#include "message/MessageErrors.h"
#include "message/TQuotedPrintable.h"
#include "message/TmsArticle.h"
#include "message/UUCode.h"
#include "net/MessageTable.h"
#include "platform/MessagePump.h"
#include "platform/ShortText.h"

#include <memory>

namespace vexil {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

TAttEncoding EncodingOf(std::string_view cte, bool &uuencoded) {
    uuencoded = cte.substr(0, 5) == "x-uue";
    if (cte == "base64" || uuencoded)
        return aeBase64;
    if (cte == "quoted-printable")
        return aeQuotedPrintable;
    return aeSevenBit;
}

std::string LowerHeader(const TmsHeaders &headers, std::string_view name) {
    return LowerCase(headers.GetHeaderValue(name));
}

// Runs a step that decodes attachment data: any failure but a structural one becomes
// "Error decoding the attachment".
template <typename Step> auto AsAttachmentStep(Step step) {
    try {
        return step();
    } catch (const EMessageParserError &) {
        throw;
    } catch (const std::exception &) {
        throw EMessageParserError(kMsgAttachmentDecodeError);
    }
}

// The line end before a boundary line belongs to the boundary (RFC 2046): an empty last line
// of a part is that line end, not a line of the part's text.
void DropDelimiterLine(std::vector<std::string> &lines) {
    if (!lines.empty() && lines.back().empty())
        lines.pop_back();
}

} // namespace

bool IsBeginLine(std::string_view line) {
    if (line.size() < 9 || !EqualsNoCase(line.substr(0, 5), "BEGIN"))
        return false;
    const std::string_view mode = TrimText(line.substr(5)).substr(0, 3);
    return mode.size() == 3 && IsDigit(mode[0]) && IsDigit(mode[1]) && IsDigit(mode[2]);
}

std::string UUFileName(std::string_view line) {
    const std::string_view rest = line.substr(std::min<std::size_t>(10, line.size()));
    if (!rest.empty() && rest.front() == '"') {
        const std::size_t close = rest.find('"', 1);
        return close == std::string_view::npos ? std::string()
                                               : std::string(rest.substr(1, close - 1));
    }
    // The name runs to the end of the line, blanks included, as uudecode reads it.
    if (!rest.empty() && rest.front() == ' ')
        return {};
    return std::string(TrimText(rest));
}

TmsCustomDecoder::TmsCustomDecoder(TStream &source) {
    source.SetPosition(0);
    // An article in memory (the news client's case) is copied in one piece.
    if (const auto *memory = dynamic_cast<const TMemoryStream *>(&source))
        Lines.Write(memory->Bytes());
    else
        Lines.CopyFrom(source);
    Lines.Reset();
}

bool TmsCustomDecoder::ReadLine() {
    Lines.ReadLine(line_);
    if (Lines.EndOfData())
        return false;
    // The server doubles a leading dot; the single "." that ends the block stays.
    if (line_.size() >= 2 && line_[0] == '.' && line_[1] == '.')
        line_.erase(0, 1);
    return true;
}

void TmsCustomDecoder::ReadHeaders(TmsHeaders &list) {
    list.Clear();
    while (ReadLine() && !line_.empty())
        list.Add(line_);
}

void TmsCustomDecoder::SkipToEnd() {
    while (ReadLine()) {
    }
}

void TmsCustomDecoder::Decode() {
    ReadHeaders(Headers);
    ProcessHeaders();
    try {
        if (Headers.GetHeaderValue("MIME-VERSION") == "1.0")
            DecodeMime();
        else
            DecodePlain();
    } catch (const EMessageParserError &e) {
        Recover(e.Message());
    }
}

void TmsCustomDecoder::Recover(const std::string &error) {
    auto &body = Message->Body();
    body.push_back("The following error has been occured while processing the message:");
    body.push_back(error);
    body.push_back("The original message will be stored as an attachment");
    try {
        auto item = std::make_unique<TmsAttItem>();
        item->SetFileName("original.eml");
        item->SetTransferEncoding(aeSevenBit);
        item->SetContentType("message/rfc822");
        item->Data.Write(Lines.Bytes());
        item->Data.SetPosition(0);
        AddAttachment(std::move(item));
    } catch (const std::exception &) {
        // The note in the body already tells what happened; a copy that cannot be made
        // (memory) must not hide it.
    }
}

std::string TmsCustomDecoder::GeneratedName() const {
    const std::string count = std::to_string(Message->Attachments().Count());
    return (InAlternative || TopAlternative ? "_alt." : "att.") + count;
}

void TmsCustomDecoder::AddAttachment(std::unique_ptr<TmsAttItem> item) {
    if (Message->Attachments().Count() >= MaxAttachments) {
        ++Message->AttachmentsLeftOut;
        return;
    }
    Message->Attachments().Add(std::move(item));
}

void TmsCustomDecoder::DecodeMime() {
    const std::string type = LowerHeader(Headers, "Content-type");
    if (type.find("multipart/alternative") != std::string::npos) {
        TopAlternative = true;
        DecodeMultipart();
    } else if (type.find("multipart") != std::string::npos) {
        DecodeMultipart();
    } else if (!type.empty() && type.find("text/") == std::string::npos) {
        DecodeSinglePart();
    } else if (!GetParameter("name", type).empty()) {
        DecodeSinglePart();
    } else {
        DecodeTextBody();
    }
}

void TmsCustomDecoder::DecodeMultipart() {
    Boundary = "--" + GetParameter("Boundary", Headers.GetHeaderValue("Content-Type"));
    do {
        if (!ReadLine())
            throw EMessageParserError(kMsgNoBoundary);
    } while (line_ != Boundary);
    DecodeFirstPart();
    DecodeParts();
}

void TmsCustomDecoder::DecodeFirstPart() {
    ReadHeaders(PartHeaders);
    const std::string partType = PartHeaders.GetHeaderValue("Content-Type");
    InAlternative = LowerCase(partType).find("multipart/alternative") != std::string::npos;
    if (InAlternative) {
        SavedBoundary = Boundary;
        Boundary = "--" + GetParameter("boundary", partType);
        do {
            if (!ReadLine())
                throw EMessageParserError(kMsgNoBoundary);
        } while (line_ != Boundary);
        ReadHeaders(PartHeaders);
    }
    const std::string encoding = LowerHeader(PartHeaders, "Content-Transfer-Encoding");
    if (encoding == "base64")
        return; // Not a text body: DecodeParts takes it as the first attachment.
    auto &body = Message->Body();
    body.clear();
    const bool quoted = encoding == "quoted-printable";
    if (quoted)
        Message->SetCharSet(csISO8859);
    const std::string closing = Boundary + "--";
    bool atEnd = true;
    while (ReadLine()) {
        if (line_ == Boundary || line_ == closing) {
            atEnd = false;
            break;
        }
        body.push_back(line_);
    }
    if (!atEnd)
        DropDelimiterLine(body);
    if (body.empty())
        body.emplace_back();
    if (quoted) {
        TMemoryStream text;
        DecodeQP(body, text);
        body = SplitTextLines(text.Bytes());
    }
    if (!atEnd && line_ == closing) {
        if (InAlternative && LeaveAlternative() == PartEnd::Next)
            return; // A nested alternative of one part: the outer parts follow.
        Message->SetContentType(PartHeaders.GetHeaderValue("Content-Type"));
        SkipToEnd();
    } else if (atEnd) {
        throw EMessageParserError(kMsgNoBoundary);
    }
}

void TmsCustomDecoder::DecodeParts() {
    if (AtEnd())
        return;
    while (DecodePart() == PartEnd::Next) {
    }
}

TmsCustomDecoder::PartEnd TmsCustomDecoder::DecodePart() {
    ProcessPendingMessages();
    if (!Message->Body().empty() || Message->Attachments().Count() > 0)
        ReadHeaders(PartHeaders);
    auto item = std::make_unique<TmsAttItem>();
    std::string partType = ShortText(PartHeaders.GetHeaderValue("Content-type"));
    if (partType.empty())
        partType = "text/plain";
    const std::string bareType = FirstWord(partType);
    item->SetContentType(bareType);
    item->SetFileName(GetParameter("name", partType));
    bool uuencoded = false;
    const TAttEncoding encoding =
        EncodingOf(LowerHeader(PartHeaders, "Content-Transfer-Encoding"), uuencoded);
    item->SetTransferEncoding(encoding);
    if (item->FileName().empty()) {
        item->SetFileName(
            GetParameter("filename", PartHeaders.GetHeaderValue("Content-Disposition")));
        item->SetTransferEncoding(encoding);
        if (item->FileName().empty()) {
            item->SetFileName(GeneratedName());
            item->SetTransferEncoding(encoding);
            item->SetContentType(bareType);
        }
    }
    return AsAttachmentStep([&] {
        std::vector<std::string> quoted;
        std::size_t blankLines = 0;
        bool atEnd = true;
        BeginData();
        while (ReadLine()) {
            if (line_.compare(0, Boundary.size(), Boundary) == 0) {
                atEnd = false;
                break;
            }
            if (encoding == aeQuotedPrintable) {
                quoted.push_back(line_);
            } else if (encoding == aeSevenBit && line_.empty()) {
                ++blankLines; // Held back: the last one may belong to the boundary.
            } else {
                for (; blankLines > 0; --blankLines)
                    data_ += "\r\n";
                AppendData(encoding, uuencoded);
            }
        }
        if (!atEnd) {
            DropDelimiterLine(quoted);
            blankLines -= blankLines > 0 ? 1 : 0;
        }
        for (; blankLines > 0; --blankLines)
            data_ += "\r\n";
        if (encoding == aeQuotedPrintable)
            AppendDecodedQP(quoted);
        EndData(*item);
        AddAttachment(std::move(item));
        if (!atEnd && line_ != Boundary + "--")
            return PartEnd::Next;
        return InAlternative ? LeaveAlternative() : PartEnd::Last;
    });
}

TmsCustomDecoder::PartEnd TmsCustomDecoder::LeaveAlternative() {
    InAlternative = false;
    Boundary = SavedBoundary;
    do {
        if (!ReadLine())
            throw EMessageParserError(kMsgNoClosingBoundary);
    } while (line_.compare(0, Boundary.size(), Boundary) != 0);
    // The outer multipart may end right after its nested alternative.
    if (line_ == Boundary + "--") {
        SkipToEnd();
        return PartEnd::Last;
    }
    return PartEnd::Next;
}

void TmsCustomDecoder::BeginData() {
    data_ = std::string();
    dataReserved_ = false;
}

char *TmsCustomDecoder::GrowData(std::size_t count) {
    // Once a file proves large, room for all the rest of the article can decode to spares
    // the copies of a doubling buffer (only pages written are touched); small parts, however
    // many, never ask for more than they use.
    if (!dataReserved_ && data_.size() + count > kSmallData) {
        const auto rest = static_cast<std::size_t>(Lines.Size() - Lines.Position());
        data_.reserve(data_.size() + count + (rest + Lines.ChunkSize()) / 4 * 3);
        dataReserved_ = true;
    }
    const std::size_t old = data_.size();
    data_.resize(old + count);
    return data_.data() + old;
}

void TmsCustomDecoder::EndData(TmsAttItem &item) {
    if (data_.capacity() > 2 * data_.size() + 65536)
        data_.shrink_to_fit();
    item.Data.Assign(std::move(data_));
    data_ = std::string();
}

void TmsCustomDecoder::AppendData(TAttEncoding encoding, bool uuencoded) {
    if (encoding == aeSevenBit) {
        data_ += line_;
        data_ += "\r\n";
        return;
    }
    if (line_.empty())
        return;
    if (uuencoded) {
        // The markers of a uuencoded file inside a MIME part carry no data.
        if (line_ != "`" && !EqualsNoCase(line_, "end") && !IsBeginLine(line_))
            AppendUU();
        return;
    }
    const std::size_t old = data_.size();
    const std::size_t room = Base64DecodedMax(line_.size());
    data_.resize(old + Base64Decode(line_, GrowData(room), room));
}

void TmsCustomDecoder::AppendUU() {
    const std::size_t old = data_.size();
    const std::size_t room = UUDecodedMax(line_.size());
    data_.resize(old + UUDecode(line_, GrowData(room), room));
}

void TmsCustomDecoder::AppendDecodedQP(std::vector<std::string> &lines) {
    TMemoryStream target(std::move(data_));
    target.SetPosition(target.Size());
    DecodeQP(lines, target);
    data_ = target.Release();
}

void TmsCustomDecoder::DecodeQP(std::vector<std::string> &lines, TStream &target) {
    TQuotedPrintable codec(target, lines);
    codec.Decode();
}

void TmsCustomDecoder::DecodeSinglePart() {
    auto item = std::make_unique<TmsAttItem>();
    AsAttachmentStep([&] {
        const std::string type = ShortText(Headers.GetHeaderValue("Content-type"));
        if (type.empty())
            throw EMessageParserError(kMsgMissingContentType);
        item->SetFileName(GetParameter("name", type));
        const std::string bareType = FirstWord(type);
        item->SetContentType(bareType);
        bool uuencoded = false;
        const TAttEncoding encoding =
            EncodingOf(LowerHeader(Headers, "Content-Transfer-Encoding"), uuencoded);
        item->SetTransferEncoding(encoding);
        if (item->FileName().empty()) {
            item->SetFileName(
                GetParameter("filename", Headers.GetHeaderValue("Content-Disposition")));
            if (item->FileName().empty())
                item->SetFileName(GeneratedName());
            item->SetTransferEncoding(encoding);
            item->SetContentType(bareType);
        }
        std::vector<std::string> quoted;
        BeginData();
        while (ReadLine()) {
            if (encoding == aeBase64 && line_ == ".")
                break;
            if (encoding == aeQuotedPrintable)
                quoted.push_back(line_);
            else
                AppendData(encoding, uuencoded);
        }
        if (encoding == aeQuotedPrintable)
            AppendDecodedQP(quoted);
        EndData(*item);
        AddAttachment(std::move(item));
    });
}

void TmsCustomDecoder::DecodeTextBody() {
    const std::string type = LowerCase(FirstWord(Headers.GetHeaderValue("Content-Type")));
    if (type == "text/html" || type == "text/rtf")
        Message->SetContentType(type);
    auto &body = Message->Body();
    body.clear();
    const std::string encoding = LowerHeader(Headers, "Content-Transfer-Encoding");
    if (encoding == "quoted-printable")
        Message->SetCharSet(csISO8859);
    if (encoding != "base64") {
        while (ReadLine()) {
            body.push_back(line_);
            if (IsBeginLine(line_)) {
                // A text body carrying uuencoded files: read it again as a plain article.
                Lines.Reset();
                body.clear();
                Headers.Clear();
                ReadHeaders(Headers);
                ProcessHeaders();
                DecodePlain();
                return;
            }
        }
        if (encoding == "quoted-printable") {
            TMemoryStream text;
            DecodeQP(body, text);
            body = SplitTextLines(text.Bytes());
        }
        return;
    }
    // Base64 text, up to the "." that ends the server's data block.
    BeginData();
    while (ReadLine() && line_ != ".")
        AppendData(aeBase64, false);
    body = SplitTextLines(data_);
    data_ = std::string();
}

void TmsCustomDecoder::DecodePlain() {
    while (ReadLine()) {
        if (IsBeginLine(line_)) {
            Message->SetEncoding(meUU);
            ExtractUU();
            return;
        }
        Message->Body().push_back(line_);
    }
}

void TmsCustomDecoder::ExtractUU() {
    // Starts on a begin line and returns at end of data.
    for (;;) {
        auto item = std::make_unique<TmsAttItem>();
        const bool more = AsAttachmentStep([&] {
            const std::string name = UUFileName(line_);
            item->SetFileName(name.empty() ? GeneratedName() : name);
            BeginData();
            while (ReadLine() && line_ != "`" && !EqualsNoCase(line_, "END"))
                if (!line_.empty())
                    AppendUU();
            EndData(*item);
            AddAttachment(std::move(item));
            while (ReadLine())
                if (IsBeginLine(line_))
                    return true;
            return false;
        });
        if (!more)
            return;
    }
}

void TmsArticleDecoder::ProcessHeaders() {
    Message->ProcessHeaders(Headers);
}

} // namespace vexil
