#pragma once
// Turns the raw text of one retrieved article into a message: the header block, the text
// body, and every attached file, whether MIME parts (base64, quoted-printable, 7-bit or
// "x-uue"), a single-part MIME file, or uuencoded files in a plain article. A structural
// fault is not fatal: it becomes a note in the body, and the raw article is kept as the
// attachment "original.eml".

#include "message/TmsAttItem.h"
#include "message/TmsHeaders.h"
#include "net/TLineStream.h"

#include <memory>
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
    // Copies the whole source stream, from its start, into Lines.
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

    TLineStream Lines;
    TmsHeaders Headers;
    TmsHeaders PartHeaders;
    std::string Boundary;
    bool InAlternative = false;
    std::string SavedBoundary;
    bool TopAlternative = false;

private:
    enum class PartEnd { Next, Last };

    // The next line with its dot-stuffing undone; false at end of data.
    bool ReadLine();
    bool AtEnd() const { return Lines.EndOfData(); }
    void ReadHeaders(TmsHeaders &list);
    void SkipToEnd();

    void DecodeMime();
    void DecodeMultipart();
    void DecodeFirstPart();
    void DecodeParts();
    PartEnd DecodePart();
    PartEnd LeaveAlternative();
    void DecodeSinglePart();
    void DecodeTextBody();
    void DecodePlain();
    void ExtractUU();
    void Recover(const std::string &error);

    std::string GeneratedName() const;
    void AddAttachment(std::unique_ptr<TmsAttItem> item);
    // The bytes of the attachment being decoded collect in data_, from BeginData until
    // EndData hands them to the item.
    void BeginData();
    // Room for count more bytes at the end of data_.
    char *GrowData(std::size_t count);
    void EndData(TmsAttItem &item);
    void AppendData(TAttEncoding encoding, bool uuencoded);
    void AppendUU();
    void AppendDecodedQP(std::vector<std::string> &lines);
    void DecodeQP(std::vector<std::string> &lines, TStream &target);

    std::string line_;
    std::string data_;
    bool dataReserved_ = false;
    static constexpr std::size_t kSmallData = 65536;
};

// The decoder of news articles: the message must be a TmsArticle.
class TmsArticleDecoder : public TmsCustomDecoder {
public:
    using TmsCustomDecoder::TmsCustomDecoder;

protected:
    void ProcessHeaders() override;
};

} // namespace vexil
