#pragma once
// The external image library: decodes a picture file of any of the program's picture types
// (JPEG, GIF, BMP, DIB, RLE, PCX, TGA) into a device bitmap. It goes by the file's content
// where the content tells the format, so a bitmap named .rle or a JPEG named .jpe loads.

#include <QImage>
#include <QPixmap>

#include <string>

namespace vexil {

// Returns the decoded picture, or an empty pixmap when the file cannot be read or decoded
// (height 0 is how callers see the failure). Mode 1 is full size, the only mode the program
// uses; any other mode also yields an empty pixmap. Never throws.
QPixmap NViewLibLoad(const std::string &path, int mode);
// The same, decoding into reuse's pixels when it has the picture's size and format and owns
// them alone (the bitmap of the picture shown before): a picture of the same size then costs
// no fresh memory and none of its page faults. reuse is left empty.
QPixmap NViewLibLoad(const std::string &path, int mode, QImage &&reuse);
// The picture at full size as plain pixels, for decoding ahead off the GUI thread; a null
// image when the file cannot be read or decoded. Never throws.
QImage NViewLibImage(const std::string &path);
// The picture scaled to fit a side x side square, aspect kept, never enlarged; a null image
// when the file cannot be read or decoded. Safe off the GUI thread (no pixmap is made), and
// a JPEG is decoded at a reduced scale where the library can. Never throws.
QImage NViewLibThumbnail(const std::string &path, int side);

} // namespace vexil
