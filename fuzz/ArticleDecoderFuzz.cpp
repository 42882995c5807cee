// Loads arbitrary bytes as a retrieved article, as the news client does, and checks what
// the decoder promises: it either fails with one of the program's errors, or the article is
// in the message, and a recovery keeps the raw bytes exactly.
#include "message/TmsArticle.h"
#include "platform/Exception.h"
#include "platform/TStream.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    vexil::TmsArticle article;
    vexil::TMemoryStream stream(bytes);
    try {
        article.Clear();
        article.LoadFromStream(stream);
    } catch (const vexil::Exception &) {
        return 0;
    }
    const auto &attachments = article.Attachments();
    std::size_t total = 0;
    for (int i = 0; i < attachments.Count(); ++i) {
        const auto &item = attachments.Items(i);
        if (item.FileName().empty() || item.FileName().size() > 255)
            std::abort();
        total += item.Data.Bytes().size();
        if (item.FileName() == "original.eml" && i == attachments.Count() - 1 &&
            item.ContentType() == "message/rfc822" && item.Data.Bytes() != bytes)
            std::abort();
    }
    // Decoding never makes more than the article's bytes, apart from line ends it adds
    // to text parts and the copy kept by a recovery.
    if (total > 3 * size + 16)
        std::abort();
    (void)article.ContentType();
    return 0;
}
