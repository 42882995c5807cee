#include "app/ProgramFolder.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdlib>

namespace vexil {

std::string ProgramFolder() {
    std::string folder;
    if (const char *home = std::getenv("VEXIL_HOME"); home && *home)
        folder = home;
    else
        folder = QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

} // namespace vexil
