#pragma once
// Writes a message as article text: header lines, then a MIME body (plain text, markup,
// one file, or multipart) or a plain body with uuencoded files, each line ending in CR LF
// and dot-stuffed, ready to be sent to a news server line by line.

#include <string>
#include <string_view>
#include <vector>

namespace vexil {

class TmsAttItem;
class TmsCustomMessage;
class TStream;

class TmsCustomEncoder {
public:
    // Doubles every Body line that is a single "." (the message keeps that) and notes
    // whether a line is longer than 255 characters.
    explicit TmsCustomEncoder(TmsCustomMessage &message);
    TmsCustomEncoder(const TmsCustomEncoder &) = delete;
    TmsCustomEncoder &operator=(const TmsCustomEncoder &) = delete;
    virtual ~TmsCustomEncoder() = default;

    // Writes the whole article into Stream from position 0.
    void Encode();
    // Eight digits from 0 to 8.
    static std::string MakeBoundary();

    TmsCustomMessage &Message;
    // Set by the caller before Encode; not owned.
    TStream *Stream = nullptr;
    bool LongLines = false;

protected:
    virtual void WriteHeaders() = 0;
    // Writes text and CR LF; a leading "." is doubled, as the news protocol requires.
    void WriteLine(std::string_view text);
    void WriteLines(const std::vector<std::string> &lines);

private:
    std::vector<std::string> EncodeBody();
    void WriteTextPlainHeaders();
    void WriteTextPlain();
    void WriteMarkupBody();
    void WriteSingleAttachment();
    void WriteMultipart(bool alternative);
    void WriteUU();
    void EncodeAttachment(const TmsAttItem &item);

    // The body as it was given, before its "." lines were doubled.
    std::vector<std::string> body_;
};

class TmsArticleEncoder : public TmsCustomEncoder {
public:
    using TmsCustomEncoder::TmsCustomEncoder;

protected:
    // From, Newsgroups, the message's other headers, Subject and Mime-Version; the message
    // must be a TmsArticle.
    void WriteHeaders() override;
};

} // namespace vexil
