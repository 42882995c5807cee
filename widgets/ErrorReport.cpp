#include "widgets/ErrorReport.h"
#include "platform/PrintableText.h"
#include "platform/QtText.h"
#include "widgets/ScreenCursor.h"

#include "widgets/ApplicationTitle.h"

#include <QApplication>
#include <QMessageBox>

namespace vexil {

void ReportError(QWidget *parent, const std::exception &error) {
    // An hourglass left by the failed command would sit over the box.
    SetDefaultScreenCursor();
    QMessageBox box(QMessageBox::Critical, ApplicationTitle(), MessageText(PrintableMessage(error)),
                    QMessageBox::Ok, parent);
    box.exec();
}

} // namespace vexil
