// One whole browse run as the user starts it, for bench/browse-bench.sh: the main window on
// the platform Qt is given (offscreen in the benchmark), the group chosen, Go pressed, and
// the run timed from Go to its end. Prints one JSON object with the time and what the run
// did. The program folder and settings store come from VEXIL_HOME and VEXIL_REGISTRY, which
// the script makes fresh for each run; the group must be listed in the folder's Vexil.Dat.
#include "app/TPictureViewer.h"
#include "app/TfrmMain.h"
#include "platform/MessagePump.h"
#include "platform/TRegistry.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

#include <sys/resource.h>

namespace {

using vexil::TfrmMain;

struct TRunFigures {
    int headers = 0;
    int articles = 0;
};

void StoreServer(const std::string &server) {
    vexil::TRegistry store;
    store.SetRootKey(vexil::HKEY_LOCAL_MACHINE);
    store.OpenKey("\\Software\\Internet\\VX", true);
    store.WriteString("Server", server);
}

// A message box would wait for a user who is not there: its text ends the run instead.
void FailOnMessageBoxes(QTimer &timer) {
    QObject::connect(&timer, &QTimer::timeout, [] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal == nullptr)
            return;
        const auto *box = qobject_cast<QMessageBox *>(modal);
        std::fprintf(stderr, "browse_run_driver: a message box came up: %s\n",
                     box ? box->text().toLocal8Bit().constData() : "(a dialog)");
        std::_Exit(1);
    });
    timer.start(100);
}

void LetEventsArrive(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The processor time this process has used so far, user and system together: on a shared
// machine it says more about Vexil's own cost than the wall time does.
double ProcessorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::uintmax_t FolderBytes(const std::string &folder) {
    std::uintmax_t bytes = 0;
    for (const auto &entry : std::filesystem::directory_iterator(folder))
        bytes += entry.file_size();
    return bytes;
}

int Run(const std::string &server, const QString &group) {
    StoreServer(server);
    TfrmMain form;
    form.show();
    LetEventsArrive(50);
    const int index = form.NGEdit->findText(group);
    if (index < 0) {
        std::fprintf(stderr, "browse_run_driver: %s is not in Vexil.Dat\n",
                     group.toLocal8Bit().constData());
        return 1;
    }
    form.NGEdit->setCurrentIndex(index);

    TRunFigures figures;
    QObject::connect(&form, &TfrmMain::StatusTextChanged, [&](int panel, const QString &text) {
        if (panel != TfrmMain::spStatus)
            return;
        if (text == "Article retrieved")
            ++figures.articles;
        else if (text.endsWith(" headers retrieved"))
            figures.headers = text.section(' ', 0, 0).toInt();
    });
    QElapsedTimer clock;
    const double processorStart = ProcessorSeconds();
    clock.start();
    form.btnGoClick();
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const double processor = ProcessorSeconds() - processorStart;
    std::printf("{\"seconds\": %.4f, \"cpu_seconds\": %.4f, \"headers\": %d, \"articles\": %d, "
                "\"pictures\": %zu, \"picture_bytes\": %ju}\n",
                seconds, processor, figures.headers, figures.articles,
                form.Pictures->PictureList.size(), FolderBytes(form.TempFolder));
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: browse_run_driver SERVER GROUP\n", stderr);
        return 2;
    }
    vexil::SetMessagePumpHook([] { QCoreApplication::processEvents(); });
    QTimer watchdog;
    FailOnMessageBoxes(watchdog);
    try {
        return Run(argv[1], QString::fromLocal8Bit(argv[2]));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "browse_run_driver: %s\n", e.what());
        return 1;
    }
}
