#pragma once
// Builds articles for the decoder and encoder tests in their wire form.

#include "message/Base64.h"
#include "message/TmsArticle.h"
#include "message/UUCode.h"
#include "net/TNntpFramer.h"
#include "platform/TStream.h"

#include <memory>
#include <random>
#include <string>
#include <string_view>

namespace vexil::test {

// A text written with bare line feeds as posted: CR LF line ends.
inline std::string Posted(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

// The ARTICLE data block of such a text: the server's final "." line added (a line that
// begins with a dot is doubled by the caller).
inline std::string Wire(std::string_view text) {
    return Posted(text) + ".\r\n";
}

// What a news server sends for a stored text: CR LF line ends, a leading "." doubled, and
// the "." line at the end.
inline std::string ServerForm(std::string_view text) {
    std::string out;
    bool lineStart = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        if (lineStart && c == '.')
            out += '.';
        if (c == '\n')
            out += '\r';
        out += c;
        lineStart = c == '\n';
    }
    if (!lineStart)
        out += "\r\n";
    return out + ".\r\n";
}

// A data block as the news client hands it on: un-stuffed, its "." line gone.
inline std::string Framed(std::string block) {
    TNntpFramer::FrameWhole(block);
    return block;
}

// Bytes from a seeded generator, the same for the same seed.
inline std::string RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto &c : s)
        c = static_cast<char>(rng());
    return s;
}

// The base64 lines of bytes, 57 bytes a line, each ended by a line feed.
inline std::string Base64Lines(std::string_view bytes) {
    std::string out;
    for (std::size_t pos = 0; pos < bytes.size(); pos += 57)
        out += Base64EncodeBlock(bytes.substr(pos, 57)) + "\n";
    return out;
}

// The uuencoded lines of bytes with the closing grave accent and "end" lines.
inline std::string UULines(std::string_view bytes) {
    std::string out;
    for (std::size_t pos = 0; pos < bytes.size(); pos += 45)
        out += UUEncodeBlock(bytes.substr(pos, 45)) + "\n";
    return out + "`\nend\n";
}

// Bytes that look like nothing in particular, different for each seed.
inline std::string Picture(char seed, std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(seed + i * 7 + (i >> 8));
    return bytes;
}

// The article in a data block, framed as the news client frames it.
inline std::unique_ptr<TmsArticle> LoadArticle(std::string block) {
    auto article = std::make_unique<TmsArticle>();
    TNntpFramer::FrameWhole(block);
    TMemoryStream stream(std::move(block));
    stream.SetPosition(stream.Size());
    article->Clear();
    article->LoadFromStream(stream);
    return article;
}

inline std::string AttachmentBytes(const TmsArticle &article, int index) {
    return std::string(article.Attachments().Items(index).Data.Bytes());
}

} // namespace vexil::test
