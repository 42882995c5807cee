#pragma once
// Builds articles for the decoder and encoder tests in their wire form.

#include "message/TmsArticle.h"
#include "platform/TStream.h"

#include <memory>
#include <string>
#include <string_view>

namespace vexil::test {

// The ARTICLE data block of a text written with bare line feeds: CR LF line ends and the
// server's final "." line.
inline std::string Wire(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out + ".\r\n";
}

inline std::unique_ptr<TmsArticle> LoadArticle(const std::string &block) {
    auto article = std::make_unique<TmsArticle>();
    TMemoryStream stream(block);
    stream.SetPosition(stream.Size());
    article->Clear();
    article->LoadFromStream(stream);
    return article;
}

inline std::string AttachmentBytes(const TmsArticle &article, int index) {
    return std::string(article.Attachments().Items(index).Data.Bytes());
}

} // namespace vexil::test
