#pragma once
// Turns the text of one article as it was posted into a message: the header block, the text
// body, and every attached file, whether MIME parts (base64, quoted-printable, 7-bit or
// "x-uue") at any depth of nested multiparts and enclosed messages, a single-part MIME
// file, uuencoded files in a plain article, or yEnc files and parts of files in a plain
// article or a text part. A structural fault is not fatal: it becomes a
// note in the body, and the raw article is kept as the attachment "original.eml".

#include "message/TArticleLines.h"
#include "message/TByteBuffer.h"
#include "message/TMimeStack.h"
#include "message/TmsAttItem.h"
#include "message/TmsHeaders.h"
#include "message/YEncFileCheck.h"
#include "message/YEncHeader.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexil {

class TmsCustomMessage;
class TStream;

// A "begin" line of a uuencoded file: "begin", a three-digit mode and a name, in any case.
bool IsBeginLine(std::string_view line);
// The file name of a begin line: a quoted name without its quotes, otherwise the rest of
// the line without trailing blanks; empty when the mode is not three digits and a blank.
std::string UUFileName(std::string_view line);

class TmsCustomDecoder {
public:
    // Reads the whole source stream from its start: a memory stream's bytes are read where
    // they are (keep the stream unchanged until Decode returns), any other stream is copied.
    explicit TmsCustomDecoder(TStream &source);
    TmsCustomDecoder(const TmsCustomDecoder &) = delete;
    TmsCustomDecoder &operator=(const TmsCustomDecoder &) = delete;
    virtual ~TmsCustomDecoder() = default;

    // Fills Message, which the caller sets and which should be empty: Body and Attachments
    // are added to, Headers replaced.
    void Decode();

    TmsCustomMessage *Message = nullptr;

    // The most attachments one article gives: each becomes a file, and a hostile article
    // could otherwise fill the folder (and the memory) with empty ones. The rest are counted
    // in the message's AttachmentsLeftOut.
    static constexpr int MaxAttachments = 1000;

protected:
    // Hands Headers to the message.
    virtual void ProcessHeaders() = 0;

    TmsHeaders Headers;
    TmsHeaders PartHeaders;
    bool TopAlternative = false;

private:
    // Where the walk through a multipart goes after a part.
    struct Step {
        enum Kind { NextPart, AtDelimiter, AtEnd } kind;
        TMimeStack::Delimiter delimiter{};
    };

    // The next line; false at end of data.
    bool ReadLine();
    void ReadHeaders(TmsHeaders &list);
    std::optional<TMimeStack::Delimiter> SkipToDelimiter();

    void DecodeMime();
    void DecodeMultipart();
    Step OpenMultipart();
    Step DecodePart();
    Step DecodeBodyPart(const TmsHeaders &headers, std::string_view type);
    Step DecodeLeaf(const TmsHeaders &headers, std::string_view type);
    void DecodeSinglePart();
    void DecodeTextBody();
    void DecodePlain();
    void ExtractUU();
    void Recover(const std::string &error);

    // Names an item from its header block: the "name" of its type, else the "filename" of
    // its Content-Disposition, else a generated name. keepType keeps the declared type
    // where a name would bring the type registered for its extension. Returns the transfer
    // encoding, and whether it is uuencoding.
    TAttEncoding NameItem(TmsAttItem &item, const TmsHeaders &headers, std::string_view type,
                          bool keepType, bool &uuencoded) const;
    std::string GeneratedName() const;
    // How many bytes the part that starts here takes in the article, up to the delimiter
    // that ends it.
    std::size_t PartSizeAhead() const;
    // Where the first delimiter line of the open multiparts starts in rest, or its size.
    std::size_t DelimiterIn(std::string_view rest) const;
    // How many bytes the uuencoded file that starts here takes, up to its "`" line.
    std::size_t UUSizeAhead();
    void AddAttachment(std::unique_ptr<TmsAttItem> item);
    void AppendData(TAttEncoding encoding, bool uuencoded);
    void AppendUU();
    // On the "=ybegin" line of a file or part: decodes it up to its "=yend" line (or to the
    // end of the MIME part when inPart, else of the article) into an attachment that
    // carries what the check of its sizes and CRCs found.
    void ExtractYEnc(const YEncBegin &begin, bool inPart);
    // The encoded lines of the yEnc data starting here, up to the next keyword line.
    std::string_view YEncDataAhead(bool inPart) const;
    // Adds the decoded part to the file the article's parts before it began, when it goes
    // on right where that one stopped; false when it is a file of its own.
    bool ContinueYEncFile(const YEncBegin &begin, const YEncPartData &part,
                          const std::optional<YEncEnd> &end, std::string &bytes);
    void EndData(TmsAttItem &item);
    // Hands the decoded bytes to the item: the quoted-printable lines, or the collected data.
    void FinishItem(TmsAttItem &item, TAttEncoding encoding, std::vector<std::string> &quoted);
    void DecodeQP(std::vector<std::string> &lines, TStream &target);

    std::string copy_;
    TArticleLines lines_;
    std::string_view line_;
    TMimeStack parts_;
    TByteBuffer data_;
    // The first part of a multipart article is its text, unless it is base64.
    bool bodyPending_ = false;
    // No part came after the text: the article's type is then the text part's type.
    bool onlyBody_ = false;
    std::string bodyType_;
    // The yEnc file whose parts follow one another in this article: its attachment (the
    // last one added), and the check of the parts so far.
    struct YEncFileInProgress {
        int index = -1;
        std::string name;
        std::uint64_t next = 0; // where the next part must begin
        std::optional<TYEncFileCheck> check;
    } yEncFile_;
    std::size_t graveLine_ = 0;
    std::size_t graveFrom_ = 0;
    bool graveKnown_ = false;
};

// The decoder of news articles: the message must be a TmsArticle.
class TmsArticleDecoder : public TmsCustomDecoder {
public:
    using TmsCustomDecoder::TmsCustomDecoder;

protected:
    void ProcessHeaders() override;
};

} // namespace vexil
