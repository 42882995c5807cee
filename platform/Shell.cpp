#include "platform/Shell.h"

#include <QDesktopServices>
#include <QUrl>

namespace vexil {

void ShellOpen(const std::string &target) {
    // A bare path or host name becomes a file or http address, as the shell would take it.
    const QUrl url = QUrl::fromUserInput(QString::fromLocal8Bit(target.c_str()));
    QDesktopServices::openUrl(url);
}

} // namespace vexil
