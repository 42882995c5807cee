#include "browse/AttachmentStep.h"

#include "browse/FolderPictures.h"
#include "message/AttachmentFile.h"
#include "message/TmsArticleDecoder.h"
#include "message/TmsCustomMessage.h"
#include "platform/Exception.h"

#include <filesystem>
#include <system_error>

namespace vexil {

std::optional<std::string> StoreAttachment(const std::string &Folder,
                                           const TmsCustomMessage &Message, int Index) {
    const TmsAttItem &item = Message.Attachments().Items(Index);
    const std::optional<std::string> path =
        SaveUnderFreeName(Folder, UsableFileName(item.FileName(), Index), item.Data.Bytes());
    if (!path || IsPictureFile(*path))
        return path;
    std::error_code ignored; // a file that is already gone is as good as deleted
    std::filesystem::remove(*path, ignored);
    return std::nullopt;
}

std::string FileFaultText(const TmsCustomMessage &Message, int Index,
                          const std::optional<std::string> &Path) {
    const TmsAttItem &item = Message.Attachments().Items(Index);
    const std::string name = Path ? std::filesystem::path(*Path).filename().string()
                                  : UsableFileName(item.FileName(), Index);
    std::string text = "CRC error in " + name;
    if (item.Fault == YEncProblem::SizeMismatch)
        text += " (" + std::string(YEncProblemText(item.Fault)) + ")";
    return text;
}

std::string AttachmentsLeftOutText(std::int32_t ArticleNumber) {
    const std::string max = std::to_string(TmsCustomDecoder::MaxAttachments);
    return FormatText("Article %s holds more than %s attachments: only the first %s were stored",
                      {std::to_string(ArticleNumber), max, max});
}

} // namespace vexil
