#include "message/TmsArticleDecoder.h"

#include "base/AsciiCase.h"
#include "base/MessageTable.h"
#include "message/Base64.h"
#include "message/HeaderText.h"
#include "message/MessageErrors.h"
#include "message/TQuotedPrintable.h"
#include "message/TmsArticle.h"
#include "message/UUCode.h"
#include "message/YEncDecoder.h"
#include "message/YEncFileCheck.h"
#include "platform/MessagePump.h"
#include "platform/ShortText.h"
#include "platform/TStream.h"

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
    return LowerAscii(headers.GetHeaderValue(name));
}

bool IsMultipart(std::string_view type) {
    return StartsWithNoCase(FirstWord(type), "multipart/") &&
           !GetParameter("boundary", type).empty();
}

// A part that holds a whole message, header block and all, as text.
bool IsEnclosedMessage(std::string_view type, const TmsHeaders &headers) {
    bool uuencoded = false;
    return EqualsNoCase(FirstWord(type), "message/rfc822") &&
           EncodingOf(LowerHeader(headers, "Content-Transfer-Encoding"), uuencoded) == aeSevenBit;
}

// The type of a part, or fallback when it declares none.
std::string PartType(const TmsHeaders &headers, std::string_view fallback) {
    std::string type = ShortText(headers.GetHeaderValue("Content-Type"));
    return type.empty() ? std::string(fallback) : type;
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

// The "=ybegin" line of a yEnc file or part; anything else, "=ybegin2" and one without
// size= or name= included, is text.
std::optional<YEncBegin> YEncBeginLine(std::string_view line) {
    if (line.size() < 8 || line[0] != '=' || line[1] != 'y')
        return std::nullopt;
    return ParseYEncBegin(line);
}

bool IsTextType(std::string_view type) {
    return StartsWithNoCase(FirstWord(type), "text/");
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
    // An article in memory (the news client's case) is read where it lies.
    if (const auto *memory = dynamic_cast<const TMemoryStream *>(&source)) {
        lines_ = TArticleLines(memory->Bytes());
        return;
    }
    TMemoryStream copy;
    copy.CopyFrom(source);
    copy_ = copy.Release();
    lines_ = TArticleLines(copy_);
}

bool TmsCustomDecoder::ReadLine() {
    return lines_.Next(line_);
}

void TmsCustomDecoder::ReadHeaders(TmsHeaders &list) {
    list.Clear();
    while (ReadLine() && !line_.empty())
        list.Add(std::string(line_));
}

std::optional<TMimeStack::Delimiter> TmsCustomDecoder::SkipToDelimiter() {
    while (ReadLine())
        if (const auto delimiter = parts_.Find(line_))
            return delimiter;
    return std::nullopt;
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
        item->Data.Write(lines_.Bytes());
        item->Data.SetPosition(0);
        // The recovery copy is kept even past the limit: the note above promises it.
        Message->Attachments().Add(std::move(item));
    } catch (const std::exception &) {
        // The note in the body already tells what happened; a copy that cannot be made
        // (memory) must not hide it.
    }
}

std::string TmsCustomDecoder::GeneratedName() const {
    const std::string count = std::to_string(Message->Attachments().Count());
    return (TopAlternative || parts_.InAlternative() ? "_alt." : "att.") + count;
}

TAttEncoding TmsCustomDecoder::NameItem(TmsAttItem &item, const TmsHeaders &headers,
                                        std::string_view type, bool keepType,
                                        bool &uuencoded) const {
    const std::string bareType = FirstWord(type);
    item.SetContentType(bareType);
    item.SetFileName(GetParameter("name", type));
    const TAttEncoding encoding =
        EncodingOf(LowerHeader(headers, "Content-Transfer-Encoding"), uuencoded);
    if (item.FileName().empty()) {
        item.SetFileName(GetParameter("filename", headers.GetHeaderValue("Content-Disposition")));
        if (item.FileName().empty()) {
            item.SetFileName(GeneratedName());
            item.SetContentType(bareType);
        }
    }
    // Setting a name sets the encoding too: the article's own one wins.
    item.SetTransferEncoding(encoding);
    if (keepType)
        item.SetContentType(bareType);
    return encoding;
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
    parts_.Push(Headers.GetHeaderValue("Content-Type"));
    Step step = OpenMultipart();
    if (step.kind != Step::NextPart)
        throw EMessageParserError(kMsgNoBoundary);
    bodyPending_ = true;
    for (;;) {
        ProcessPendingMessages();
        ReadHeaders(PartHeaders);
        step = DecodePart();
        while (step.kind == Step::AtDelimiter) {
            const auto [level, closing] = step.delimiter;
            // Multiparts inside the one the delimiter belongs to end with it, closed or not.
            parts_.PopTo(level + 1);
            if (!closing)
                break;
            if (level == 0) {
                if (onlyBody_)
                    Message->SetContentType(bodyType_);
                lines_.SkipToEnd();
                return;
            }
            parts_.PopTo(level);
            // The epilogue of a nested multipart runs to the next delimiter of an outer one.
            const auto next = SkipToDelimiter();
            step = next ? Step{Step::AtDelimiter, *next} : Step{Step::AtEnd};
        }
        if (step.kind == Step::AtEnd) {
            if (parts_.Depth() > 1)
                throw EMessageParserError(kMsgNoClosingBoundary);
            return;
        }
    }
}

TmsCustomDecoder::Step TmsCustomDecoder::OpenMultipart() {
    // The preamble before the first delimiter is dropped.
    const std::size_t level = parts_.Depth() - 1;
    while (const auto found = SkipToDelimiter()) {
        if (found->level == level && !found->closing)
            return Step{Step::NextPart};
        if (found->level < level)
            return Step{Step::AtDelimiter, *found};
    }
    return Step{Step::AtEnd};
}

TmsCustomDecoder::Step TmsCustomDecoder::DecodePart() {
    const TmsHeaders *headers = &PartHeaders;
    TmsHeaders enclosed;
    TmsHeaders inner;
    std::string type = PartType(PartHeaders, parts_.DefaultPartType());
    for (;;) {
        if (IsMultipart(type) && parts_.Push(type))
            return OpenMultipart();
        if (bodyPending_)
            return DecodeBodyPart(*headers, type);
        if (!IsEnclosedMessage(type, *headers))
            return DecodeLeaf(*headers, type);
        // The enclosed message's own header block tells whether it holds files.
        const std::size_t start = lines_.Position();
        ReadHeaders(inner);
        const std::string innerType = PartType(inner, "text/plain");
        const std::string lower = LowerAscii(innerType);
        if (lower.find("text/") == std::string::npos || !GetParameter("name", lower).empty()) {
            std::swap(enclosed.Lines(), inner.Lines());
            headers = &enclosed;
            type = innerType;
            continue;
        }
        // A text message stays one file, header block and all.
        lines_.SetPosition(start);
        return DecodeLeaf(*headers, type);
    }
}

TmsCustomDecoder::Step TmsCustomDecoder::DecodeBodyPart(const TmsHeaders &headers,
                                                        std::string_view type) {
    bodyPending_ = false;
    const std::string encoding = LowerHeader(headers, "Content-Transfer-Encoding");
    if (encoding == "base64")
        return DecodeLeaf(headers, type); // Not a text body: the first attachment.
    auto &body = Message->Body();
    body.clear();
    const bool quoted = encoding == "quoted-printable";
    if (quoted)
        Message->SetCharSet(csISO8859);
    std::optional<TMimeStack::Delimiter> end;
    while (ReadLine()) {
        if ((end = parts_.Find(line_)))
            break;
        if (const auto begin = quoted ? std::nullopt : YEncBeginLine(line_))
            ExtractYEnc(*begin, true);
        else
            body.emplace_back(line_);
    }
    if (end)
        DropDelimiterLine(body);
    if (body.empty())
        body.emplace_back();
    if (quoted) {
        TMemoryStream text;
        DecodeQP(body, text);
        body = SplitTextLines(text.Bytes());
    }
    if (!end)
        throw EMessageParserError(kMsgNoBoundary);
    onlyBody_ = true;
    bodyType_ = headers.GetHeaderValue("Content-Type");
    return Step{Step::AtDelimiter, *end};
}

TmsCustomDecoder::Step TmsCustomDecoder::DecodeLeaf(const TmsHeaders &headers,
                                                    std::string_view type) {
    onlyBody_ = false;
    auto item = std::make_unique<TmsAttItem>();
    bool uuencoded = false;
    const TAttEncoding encoding = NameItem(*item, headers, type, false, uuencoded);
    const bool yEncText = encoding == aeSevenBit && IsTextType(type);
    return AsAttachmentStep([&] {
        std::vector<std::string> quoted;
        std::size_t blankLines = 0;
        bool yEncFound = false;
        bool textFound = false;
        std::optional<TMimeStack::Delimiter> end;
        data_.Clear();
        if (encoding == aeBase64)
            data_.Expect(PartSizeAhead() / 4 * 3);
        while (ReadLine()) {
            if ((end = parts_.Find(line_)))
                break;
            const auto begin = yEncText ? YEncBeginLine(line_) : std::nullopt;
            if (begin) {
                ExtractYEnc(*begin, true);
                yEncFound = true;
            } else if (encoding == aeQuotedPrintable) {
                quoted.emplace_back(line_);
            } else if (encoding == aeSevenBit && line_.empty()) {
                ++blankLines; // Held back: the last one may belong to the delimiter.
            } else {
                for (; blankLines > 0; --blankLines)
                    data_.Append("\r\n");
                AppendData(encoding, uuencoded);
                textFound = true;
            }
        }
        if (end) {
            DropDelimiterLine(quoted);
            blankLines -= blankLines > 0 ? 1 : 0;
        }
        for (; blankLines > 0; --blankLines)
            data_.Append("\r\n");
        FinishItem(*item, encoding, quoted);
        // A text part that only carried yEnc files is no file of its own.
        if (textFound || !yEncFound)
            AddAttachment(std::move(item));
        return end ? Step{Step::AtDelimiter, *end} : Step{Step::AtEnd};
    });
}

std::size_t TmsCustomDecoder::PartSizeAhead() const {
    return DelimiterIn(lines_.Rest());
}

std::size_t TmsCustomDecoder::DelimiterIn(std::string_view rest) const {
    // Stops at the very line the part's data ends at, so that no byte of the article is
    // looked at twice however many parts follow.
    for (std::size_t from = 0;;) {
        const std::size_t hit = rest.find("--", from);
        if (hit == std::string_view::npos)
            return rest.size();
        from = hit + 1;
        if (hit > 0 && rest[hit - 1] != '\n' && rest[hit - 1] != '\r')
            continue;
        const std::size_t stop = std::min(rest.find_first_of("\r\n", hit), rest.size());
        if (parts_.Find(rest.substr(hit, stop - hit)))
            return hit;
    }
}

std::size_t TmsCustomDecoder::UUSizeAhead() {
    // The next "`" line is remembered, so that many files in one article do not each
    // search the rest of it.
    const std::size_t here = lines_.Position();
    const std::string_view bytes = lines_.Bytes();
    if (!graveKnown_ || here < graveFrom_ || graveLine_ < here) {
        const std::size_t hit = bytes.find("\n`", here > 0 ? here - 1 : 0);
        graveLine_ = hit == std::string_view::npos ? bytes.size() : hit + 1;
        graveFrom_ = here;
        graveKnown_ = true;
    }
    return graveLine_ - here;
}

void TmsCustomDecoder::EndData(TmsAttItem &item) {
    item.Data.Assign(data_.Take());
}

void TmsCustomDecoder::AppendData(TAttEncoding encoding, bool uuencoded) {
    if (encoding == aeSevenBit) {
        data_.Append(line_);
        data_.Append("\r\n");
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
    const std::size_t room = Base64DecodedMax(line_.size());
    data_.Commit(Base64Decode(line_, data_.Room(room), room));
}

void TmsCustomDecoder::AppendUU() {
    const std::size_t room = UUDecodedMax(line_.size());
    data_.Commit(UUDecode(line_, data_.Room(room), room));
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
        bool uuencoded = false;
        const TAttEncoding encoding = NameItem(*item, Headers, type, true, uuencoded);
        std::vector<std::string> quoted;
        data_.Clear();
        if (encoding == aeBase64)
            data_.Expect(lines_.Rest().size() / 4 * 3);
        while (ReadLine()) {
            if (encoding == aeQuotedPrintable)
                quoted.emplace_back(line_);
            else
                AppendData(encoding, uuencoded);
        }
        FinishItem(*item, encoding, quoted);
        AddAttachment(std::move(item));
    });
}

void TmsCustomDecoder::FinishItem(TmsAttItem &item, TAttEncoding encoding,
                                  std::vector<std::string> &quoted) {
    if (encoding != aeQuotedPrintable) {
        EndData(item);
        return;
    }
    TMemoryStream text;
    DecodeQP(quoted, text);
    item.Data.Assign(text.Release());
}

void TmsCustomDecoder::DecodeTextBody() {
    const std::string type = LowerAscii(FirstWord(Headers.GetHeaderValue("Content-Type")));
    if (type == "text/html" || type == "text/rtf")
        Message->SetContentType(type);
    auto &body = Message->Body();
    body.clear();
    const std::string encoding = LowerHeader(Headers, "Content-Transfer-Encoding");
    if (encoding == "quoted-printable")
        Message->SetCharSet(csISO8859);
    if (encoding != "base64") {
        while (ReadLine()) {
            body.emplace_back(line_);
            if (IsBeginLine(line_) || YEncBeginLine(line_)) {
                // A text body carrying uuencoded or yEnc files: read it again as a plain
                // article.
                lines_.SetPosition(0);
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
    data_.Clear();
    while (ReadLine())
        AppendData(aeBase64, false);
    body = SplitTextLines(data_.Take());
}

void TmsCustomDecoder::DecodePlain() {
    while (ReadLine()) {
        if (IsBeginLine(line_)) {
            Message->SetEncoding(meUU);
            ExtractUU();
            return;
        }
        if (const auto begin = YEncBeginLine(line_))
            ExtractYEnc(*begin, false);
        else
            Message->Body().emplace_back(line_);
    }
}

void TmsCustomDecoder::ExtractUU() {
    // Starts on a begin line and returns at end of data.
    for (;;) {
        auto item = std::make_unique<TmsAttItem>();
        const bool more = AsAttachmentStep([&] {
            const std::string name = UUFileName(line_);
            item->SetFileName(name.empty() ? GeneratedName() : name);
            data_.Clear();
            data_.Expect(UUSizeAhead() / 4 * 3);
            while (ReadLine() && line_ != "`" && !EqualsNoCase(line_, "END"))
                if (!line_.empty())
                    AppendUU();
            EndData(*item);
            AddAttachment(std::move(item));
            while (ReadLine()) {
                if (IsBeginLine(line_))
                    return true;
                if (const auto begin = YEncBeginLine(line_))
                    ExtractYEnc(*begin, false);
            }
            return false;
        });
        if (!more)
            return;
    }
}

std::string_view TmsCustomDecoder::YEncDataAhead(bool inPart) const {
    // The decoder stops at the keyword line anyway; the bound sizes the output, and keeps
    // the search for the part's delimiter from running past the next file each time.
    std::string_view data = lines_.Rest();
    const std::size_t keyword = data.starts_with("=y") ? 0 : data.find("\n=y");
    if (keyword != std::string_view::npos)
        data = data.substr(0, keyword + 1);
    return inPart ? data.substr(0, DelimiterIn(data)) : data;
}

void TmsCustomDecoder::ExtractYEnc(const YEncBegin &begin, bool inPart) {
    auto item = std::make_unique<TmsAttItem>();
    AsAttachmentStep([&] {
        item->SetFileName(begin.name.empty() ? GeneratedName() : begin.name);
        YEncPartData part;
        part.range = YEncPart{1, begin.size};
        const std::size_t partLine = lines_.Position();
        if (begin.part) {
            const auto range = ReadLine() ? ParseYEncPart(line_) : std::nullopt;
            if (range)
                part.range = *range;
            else
                lines_.SetPosition(partLine);
        }
        const std::string_view encoded = YEncDataAhead(inPart);
        // Decoded where the attachment keeps it: the output is never larger than the input.
        std::string bytes(encoded.size(), '\0');
        const YEncDecodeResult decoded = YEncDecode(encoded, bytes.data());
        bytes.resize(decoded.written);
        lines_.SetPosition(lines_.Position() + decoded.consumed);
        part.decodedSize = decoded.written;
        part.decodedCrc = decoded.crc;

        const std::size_t endLine = lines_.Position();
        const auto end = ReadLine() ? ParseYEncEnd(line_) : std::nullopt;
        if (end) {
            part.endSize = end->size;
            part.pcrc32 = begin.part ? end->pcrc32 : end->crc32;
        } else {
            // No "=yend": the line belongs to whatever comes next (a delimiter, a file).
            lines_.SetPosition(endLine);
        }
        if (ContinueYEncFile(begin, part, end, bytes))
            return;
        TYEncFileCheck check(begin.size);
        if (end && end->crc32)
            check.SetFileCrc(*end->crc32);
        check.AddPart(part);
        item->Fault = check.Problem();
        item->Data.Assign(std::move(bytes));
        const int count = Message->Attachments().Count();
        AddAttachment(std::move(item));
        yEncFile_ = YEncFileInProgress{};
        if (begin.part && Message->Attachments().Count() > count)
            yEncFile_ = YEncFileInProgress{count, begin.name, part.range.end + 1, check};
    });
}

bool TmsCustomDecoder::ContinueYEncFile(const YEncBegin &begin, const YEncPartData &part,
                                        const std::optional<YEncEnd> &end, std::string &bytes) {
    YEncFileInProgress &file = yEncFile_;
    if (!begin.part || file.index < 0 || file.index != Message->Attachments().Count() - 1 ||
        file.name != begin.name || file.check->FileSize() != begin.size ||
        part.range.begin != file.next)
        return false;
    if (end && end->crc32)
        file.check->SetFileCrc(*end->crc32);
    file.check->AddPart(part);
    file.next = part.range.end + 1;
    TmsAttItem &item = Message->Attachments().Items(file.index);
    item.Fault = file.check->Problem();
    std::string joined = item.Data.Release();
    joined += bytes;
    item.Data.Assign(std::move(joined));
    return true;
}

void TmsArticleDecoder::ProcessHeaders() {
    Message->ProcessHeaders(Headers);
}

} // namespace vexil
