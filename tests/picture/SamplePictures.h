#pragma once
// Where make_pictures.py left the sample pictures, and how to check their two-colour pattern.

#include <QColor>
#include <QImage>

#include <cstdlib>
#include <string>

namespace vexil::test {

inline std::string SamplePicture(const std::string &name) {
    return std::string(std::getenv("VEXIL_BINARY_DIR")) + "/tests/picture/samples/" + name;
}

// Left half red, right half blue, give or take what a lossy format does to colours.
inline bool HasRedBluePattern(const QImage &image) {
    if (image.isNull())
        return false;
    auto near = [](QColor c, int r, int g, int b) {
        return std::abs(c.red() - r) < 40 && std::abs(c.green() - g) < 40 &&
               std::abs(c.blue() - b) < 40;
    };
    const int y = image.height() / 2;
    return near(image.pixelColor(image.width() / 4, y), 255, 0, 0) &&
           near(image.pixelColor(image.width() * 3 / 4, y), 0, 0, 255);
}

} // namespace vexil::test
