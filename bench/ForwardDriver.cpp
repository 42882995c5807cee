// Forward over 2 MB JPEGs (3000 x 2000) on the image library's path, offscreen: each step
// once with the next picture decoded ahead (the viewer given the time a look at a picture
// takes) and once with nothing decoded ahead. Prints the times as JSON for
// bench/viewer-bench.sh; exits non-zero when a picture fails to show.
#include "app/TPicOfPicBox.h"
#include "app/TPictureViewer.h"
#include "bench/BenchPictures.h"
#include "picture/TGifImage.h"

#include <QApplication>
#include <QScrollArea>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kPictures = 8;

// Milliseconds each Forward over the whole list takes; before each, prepare runs untimed.
std::vector<double> TimeForwards(vexil::TPictureViewer &viewer,
                                 const std::function<void()> &prepare, bool &shown) {
    viewer.PickPicture(0);
    std::vector<double> times;
    for (int i = 1; i < kPictures; ++i) {
        prepare();
        const auto start = std::chrono::steady_clock::now();
        viewer.Forward();
        // Until the picture is painted, not only handed to its control.
        QApplication::processEvents();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        shown = shown && viewer.CurIndex == i;
    }
    return times;
}

double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const std::string photo = vexil::bench::MakePhotoJpeg(3000, 2000, 93);
    const std::string folder = photo + ".d/";
    std::filesystem::create_directories(folder);

    QWidget window;
    auto *box = new QScrollArea(&window);
    box->resize(536, 318);
    auto *image = new vexil::TGifImage;
    box->setWidget(image);
    const bool slowColor = false;
    vexil::TPictureViewer::TControls controls;
    controls.Image1 = image;
    controls.sbMain = box;
    controls.PicOfPic = new vexil::TPicOfPicBox(&window);
    controls.SlowColor = &slowColor;
    vexil::TPictureViewer viewer(controls, folder);
    viewer.ShiftDown = [] { return false; };
    window.resize(600, 400);
    window.show();
    for (int i = 0; i < kPictures; ++i) {
        const std::string path = folder + "photo" + std::to_string(i) + ".jpg";
        std::filesystem::copy_file(photo, path);
        viewer.AddPicture(path);
    }

    bool shown = true;
    const std::vector<double> with = TimeForwards(
        viewer, [&] { viewer.Preloader().WaitForAll(); }, shown);
    shown = shown && image->height() == 2000;
    const std::vector<double> without = TimeForwards(
        viewer, [&] { viewer.Preloader().Clear(); }, shown);
    shown = shown && image->height() == 2000 && viewer.PictureList.size() == kPictures;

    std::printf("{\"file_mb\": %.2f, \"with_median_ms\": %.1f, \"with_max_ms\": %.1f, "
                "\"without_median_ms\": %.1f, \"shown\": %s}\n",
                double(std::filesystem::file_size(photo)) / 1e6, Median(with),
                *std::max_element(with.begin(), with.end()), Median(without),
                shown ? "true" : "false");
    std::filesystem::remove_all(folder);
    std::filesystem::remove(photo);
    return shown ? 0 : 1;
}
