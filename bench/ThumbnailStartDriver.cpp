// Start-up with the thumbnail strip ticked, for bench/viewer-bench.sh: the main window on the
// platform Qt is given (offscreen in the benchmark) over a picture folder that already holds
// the pictures. Prints one JSON object: the time from the start of main until the window
// lists every picture of the folder, and until every thumbnail in sight is made. The program
// folder, settings store and cache folder come from VEXIL_HOME, VEXIL_REGISTRY and
// XDG_CACHE_HOME, which the script sets. With --no-thumbnails the strip stays off and only
// the list is timed, as the window starts without the strip.
#include "app/TPictureViewer.h"
#include "app/TThumbnailModel.h"
#include "app/TThumbnailStrip.h"
#include "app/TfrmMain.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>

namespace {

using vexil::TfrmMain;
using vexil::TThumbnailModel;

constexpr qint64 kGiveUpMs = 60000;

// Runs the event loop until done() holds; false when it never did.
bool RunUntil(const QElapsedTimer &clock, const std::function<bool()> &done) {
    while (!done()) {
        if (clock.elapsed() > kGiveUpMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Rows in the strip's viewport, and how many of them still wait for their thumbnail.
std::pair<int, int> RowsInSight(const vexil::TThumbnailStrip &strip) {
    const TThumbnailModel &model = strip.Model();
    int inSight = 0;
    int waiting = 0;
    for (int row = 0; row < model.rowCount(); ++row) {
        if (!strip.visualRect(model.index(row)).intersects(strip.viewport()->rect()))
            continue;
        ++inSight;
        waiting += model.data(model.index(row), TThumbnailModel::StateRole).toInt() ==
                   TThumbnailModel::tsWaiting;
    }
    return {inSight, waiting};
}

int Run(const QElapsedTimer &clock, std::size_t pictures, bool thumbnails) {
    TfrmMain form;
    if (thumbnails)
        form.mniThumbnails->trigger();
    form.show();
    if (!RunUntil(clock, [&] { return form.Pictures->PictureList.size() >= pictures; })) {
        std::fprintf(stderr, "thumbnail_start_driver: %zu of %zu pictures listed\n",
                     form.Pictures->PictureList.size(), pictures);
        return 1;
    }
    const qint64 listedMs = clock.elapsed();
    if (!thumbnails) {
        std::printf("{\"window_ms\": %lld, \"pictures\": %zu}\n", static_cast<long long>(listedMs),
                    form.Pictures->PictureList.size());
        return 0;
    }
    int inSight = 0;
    const bool filled = RunUntil(clock, [&] {
        const auto [rows, waiting] = RowsInSight(*form.Thumbnails);
        inSight = rows;
        return rows > 0 && waiting == 0;
    });
    if (!filled) {
        std::fprintf(stderr, "thumbnail_start_driver: the thumbnails in sight never came\n");
        return 1;
    }
    const qint64 filledMs = clock.elapsed();
    int broken = 0;
    for (int row = 0; row < inSight; ++row)
        broken += form.Thumbnails->Model()
                      .data(form.Thumbnails->Model().index(row), TThumbnailModel::StateRole)
                      .toInt() == TThumbnailModel::tsBroken;
    std::printf("{\"window_ms\": %lld, \"visible_thumbnails_ms\": %lld, \"in_sight\": %d, "
                "\"broken\": %d, \"pictures\": %zu}\n",
                static_cast<long long>(listedMs), static_cast<long long>(filledMs), inSight, broken,
                form.Pictures->PictureList.size());
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    QElapsedTimer clock;
    clock.start();
    QApplication app(argc, argv);
    const bool thumbnails = !(argc == 3 && std::strcmp(argv[2], "--no-thumbnails") == 0);
    if (argc != 2 && thumbnails) {
        std::fputs("usage: thumbnail_start_driver PICTURES [--no-thumbnails]\n", stderr);
        return 2;
    }
    try {
        return Run(clock, std::strtoul(argv[1], nullptr, 10), thumbnails);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "thumbnail_start_driver: %s\n", e.what());
        return 1;
    }
}
