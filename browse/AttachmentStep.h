#pragma once
// What becomes of one attachment of a fetched article: it is written into the picture folder
// under a usable name that no other file holds; a picture stays and is listed, anything else
// is deleted at once.

#include <cstdint>
#include <optional>
#include <string>

namespace vexil {

class TmsCustomMessage;

// Stores attachment Index of Message in Folder. Gives the picture's path to list, or nothing
// when the file was no picture (and is gone again) or the folder already held the same bytes
// under that name. A failed write throws (EFCreateError, EInOutError).
std::optional<std::string> StoreAttachment(const std::string &Folder,
                                           const TmsCustomMessage &Message, int Index);

// The status text for attachment Index of Message when its yEnc check failed: "CRC error in "
// and the name it was stored under (Path), else the name it would have been stored under; a
// size mismatch says so after the name.
std::string FileFaultText(const TmsCustomMessage &Message, int Index,
                          const std::optional<std::string> &Path);

// The status text for an article that held more attachments than the decoder keeps.
std::string AttachmentsLeftOutText(std::int32_t ArticleNumber);

} // namespace vexil
