// ShowCurrentPicture of a 2 MB JPEG (the image library's path, as in normal mode) against a
// bare GraphicsMagick decode of the same file, in the same run, with the ratio. Target: at
// least 0.9, so that loading into the window costs at most a ninth more than decoding.
#include "app/TPicOfPicBox.h"
#include "app/TPictureViewer.h"
#include "bench/BenchPictures.h"
#include "bench/PeerRatio.h"
#include "picture/TGifImage.h"

#include <Magick++.h>

#include <QAction>
#include <QApplication>
#include <QScrollArea>

#include <filesystem>

namespace {

std::string g_file;

void ShowCurrentPicture(benchmark::State &state) {
    QWidget window;
    auto *box = new QScrollArea(&window);
    box->resize(536, 318);
    auto *image = new vexil::TGifImage;
    box->setWidget(image);
    auto *number = new vexil::TPicOfPicBox(&window);
    auto *autoSize = new QAction(&window);
    const bool slowColor = false;
    vexil::TPictureViewer::TControls controls;
    controls.Image1 = image;
    controls.sbMain = box;
    controls.PicOfPic = number;
    controls.mniAutoSizePictures = autoSize;
    controls.SlowColor = &slowColor;
    vexil::TPictureViewer viewer(controls,
                                 std::filesystem::path(g_file).parent_path().string() + "/");
    viewer.PictureList.push_back(g_file);
    for (auto _ : state)
        viewer.ShowCurrentPicture();
    if (viewer.PictureList.empty() || image->height() != 2000)
        state.SkipWithError("the picture did not load");
}

void GraphicsMagickRead(benchmark::State &state) {
    for (auto _ : state) {
        Magick::Image picture;
        picture.read(g_file);
        benchmark::DoNotOptimize(picture.rows());
    }
}

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    Magick::InitializeMagick(nullptr);
    g_file = vexil::bench::MakePhotoJpeg(3000, 2000, 93);
    std::printf("JPEG file: %s, %.1f MB\n", g_file.c_str(),
                double(std::filesystem::file_size(g_file)) / 1e6);
    benchmark::RegisterBenchmark("ShowCurrentPicture/jpeg_3000x2000", ShowCurrentPicture)
        ->Unit(benchmark::kMillisecond)
        ->MeasureProcessCPUTime();
    benchmark::RegisterBenchmark("GraphicsMagick/jpeg_3000x2000", GraphicsMagickRead)
        ->Unit(benchmark::kMillisecond)
        ->MeasureProcessCPUTime();
    const int rc =
        vexil::bench::RunWithRatios(argc, argv, "ShowCurrentPicture", "GraphicsMagick", 0.9);
    std::filesystem::remove(g_file);
    return rc;
}
