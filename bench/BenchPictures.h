#pragma once
// Pictures the benchmarks decode: photo-like JPEG files written once per run.

#include <QImage>
#include <QImageWriter>

#include <cmath>
#include <filesystem>
#include <random>
#include <string>

#include <unistd.h>

namespace vexil::bench {

// A smooth scene with grain, which compresses like a photograph (about 2 MB at 3000 x 2000).
inline std::string MakePhotoJpeg(int width, int height, int quality) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("vexil-bench-" + std::to_string(getpid()) + "-" + std::to_string(width) +
                       "x" + std::to_string(height) + ".jpg");
    QImage image(width, height, QImage::Format_RGB32);
    std::mt19937 rng(7);
    for (int y = 0; y < height; ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const double fx = double(x) / width, fy = double(y) / height;
            const int grain = int(rng() % 24);
            const int r = int(128 + 100 * std::sin(fx * 9 + fy * 3)) + grain;
            const int g = int(128 + 90 * std::cos(fy * 7 - fx * 2)) + grain;
            const int b = int(120 + 80 * std::sin((fx + fy) * 5)) + grain;
            row[x] = qRgb(std::min(r, 255), std::min(g, 255), std::min(b, 255));
        }
    }
    QImageWriter writer(QString::fromStdString(path.string()), "jpeg");
    writer.setQuality(quality);
    writer.write(image);
    return path.string();
}

} // namespace vexil::bench
