#pragma once
// What the picture shown gives other programs, by the clipboard or a drag: its file for file
// managers, and its pixels for programs that take an image.

#include <QImage>
#include <QMimeData>

#include <memory>
#include <string>

namespace vexil {

// The file's URL; the pixels too unless image is null.
std::unique_ptr<QMimeData> PictureMimeData(const std::string &path, const QImage &image);

} // namespace vexil
