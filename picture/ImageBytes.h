#pragma once
// Decodes picture bytes with the toolkit's reader for one format: the way the bitmap and
// icon classes read their files.

#include <QImage>

#include <string_view>

namespace vexil {

// The image of the given format in bytes; with several images in the file (an icon), the
// largest. A null image when the bytes are not one.
QImage ReadImageBytes(std::string_view bytes, const char *format);

} // namespace vexil
