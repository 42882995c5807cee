#include "app/ProgramStart.h"
#include "app/ProgramIcon.h"
#include "app/TfrmMain.h"
#include "message/TmsMailAddress.h"
#include "platform/MessagePump.h"
#include "widgets/ApplicationTitle.h"
#include "widgets/TMailAddressDlg.h"

#include <QApplication>
#include <QLocale>
#include <QMessageBox>

namespace vexil {

namespace {

QString g_shortDateFormat;

void pumpQtEvents() {
    QCoreApplication::processEvents();
}

} // namespace

QString ProgramDateFormat(const QLocale &locale) {
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    return format.toUpper().contains("MMM") ? QStringLiteral("dd/MM/yyyy") : format;
}

const QString &ShortDateFormat() {
    return g_shortDateFormat;
}

bool FlawedDivide() {
    // volatile keeps the compiler from folding the division at build time.
    volatile double x = 4195835.0;
    volatile double y = 3145727.0;
    const double z = x - (x / y) * y;
    return z > 1.0 || z < -1.0;
}

int RunProgram(int argc, char **argv) {
    QApplication app(argc, argv);
    app.setApplicationName("vexil");
    g_shortDateFormat = ProgramDateFormat(QLocale());
    if (FlawedDivide())
        QMessageBox::warning(nullptr, kProgramTitle,
                             "This CPU is Faulty. Math Functions May Not Be Accurate.",
                             QMessageBox::Ok);
    SetApplicationTitle(kProgramTitle);
    app.setWindowIcon(ProgramIconSet());
    SetMessagePumpHook(pumpQtEvents);
    SetMailAddressEditor(EditMailAddress);
    int result = 0;
    {
        TfrmMain frmMain;
        frmMain.show();
        result = app.exec();
    }
    SetMailAddressEditor(nullptr);
    SetMessagePumpHook(nullptr);
    return result;
}

} // namespace vexil
