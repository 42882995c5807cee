#pragma once
// Which files of the picture folder are pictures, and the order they are listed in at start.
// Plain C++: the browse rules do not need the toolkit.

#include <string>
#include <string_view>
#include <vector>

namespace vexil {

// True for a path whose last three characters, upper-cased, are those of a picture type:
// JPG, PEG (for jpeg), JPE, GIF, BMP, DIB, RLE, PCX, TGA.
bool IsPictureFile(std::string_view path);

// Name order as a person reads it: runs of digits compare by their value (bulk2 before
// bulk10), letters without regard to case; names that still tie go by their bytes.
bool NaturalLess(std::string_view a, std::string_view b);

// The names of the picture files in folder (files, not folders, with a picture extension),
// in natural order. Anything else the user keeps there is left out. Raises EFOpenError when
// the folder cannot be read.
std::vector<std::string> FolderPictures(const std::string &folder);

} // namespace vexil
