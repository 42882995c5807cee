// Loads arbitrary bytes as a retrieved article, as the news client does, and checks what
// the decoder promises: it either fails with one of the program's errors, or the article is
// in the message, and a recovery keeps the raw bytes exactly.
#include "message/TmsArticle.h"
#include "message/TmsArticleDecoder.h"
#include "platform/Exception.h"
#include "platform/TStream.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A recovery ends the body with its three note lines; an article may well carry an attachment
// of its own called "original.eml", so the name alone does not tell.
bool EndsWithRecoveryNote(const std::vector<std::string> &body) {
    const std::size_t n = body.size();
    return n >= 3 &&
           body[n - 3] == "The following error has been occured while processing the message:" &&
           body[n - 1] == "The original message will be stored as an attachment";
}

} // namespace

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
    const bool recovered = EndsWithRecoveryNote(article.Body());
    // However many files an article holds, it never gives more than the decoder keeps (and
    // the recovery copy).
    if (attachments.Count() > vexil::TmsCustomDecoder::MaxAttachments + (recovered ? 1 : 0))
        std::abort();
    std::size_t total = 0;
    for (int i = 0; i < attachments.Count(); ++i) {
        const auto &item = attachments.Items(i);
        if (item.FileName().empty() || item.FileName().size() > 255)
            std::abort();
        total += item.Data.Bytes().size();
        if (recovered && i == attachments.Count() - 1 && item.FileName() == "original.eml" &&
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
