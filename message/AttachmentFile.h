#pragma once
// An attachment's way into a folder: a name that the file system takes and that stays inside
// the folder, and a file that never replaces another one of different bytes.

#include <optional>
#include <string>
#include <string_view>

namespace vexil {

// The name part of fileName (after its last slash, backslash or colon) with every control
// character replaced by '_'. A part that is empty, "." or "..", or that holds a NUL byte,
// cannot be used: it becomes "att." and index, as the decoder names a nameless attachment,
// followed by the original extension when that is letters and digits only, so that a
// picture stays a picture.
std::string UsableFileName(std::string_view fileName, int index);

// The name for the n-th file of one name (n from 2): "name (n).ext", its stem cut so that
// the whole stays within the file system's 255 bytes.
std::string NumberedFileName(std::string_view name, int n);

// Writes bytes into a new temporary file in folder (ending in '/') and returns its path; the
// caller moves it into place. A failure names path, the file meant: EFCreateError when the
// file cannot be made, EInOutError when the write fails (nothing is left behind).
std::string WriteTempFile(const std::string &folder, const std::string &path,
                          std::string_view bytes);

// Writes bytes into folder under name or, when that is taken, under the first free name of
// "name (2).ext", "name (3).ext" ... An existing file never changes. When one of those files
// already holds exactly these bytes, nothing is written and the result is empty; otherwise it
// is the path written. Raises EFCreateError or EInOutError.
std::optional<std::string> SaveUnderFreeName(std::string_view folder, std::string_view name,
                                             std::string_view bytes);

} // namespace vexil
