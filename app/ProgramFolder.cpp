#include "app/ProgramFolder.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <unistd.h>

namespace vexil {

namespace {

std::string withSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

std::string runningExecutableFolder() {
    return QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
}

// The source folder named by the marker beside the executable, or "" when there is none.
std::string buildTreeSourceFolder(const std::string &executableFolder) {
    std::ifstream marker(withSlash(executableFolder) + kBuildTreeMarker);
    std::string source;
    if (!marker || !std::getline(marker, source))
        return {};
    return source;
}

std::string homeFolder() {
    if (const char *home = std::getenv("HOME"); home && *home)
        return home;
    // A session started without HOME (some service managers) still has a password entry.
    if (const passwd *entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return ".";
}

std::string userDataFolder() {
    // A relative XDG_DATA_HOME is invalid and ignored, as the base directory rules say.
    if (const char *xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/')
        return withSlash(xdg) + "vexil/";
    return withSlash(homeFolder()) + ".local/share/vexil/";
}

} // namespace

std::string ProgramFolderOf(const std::string &executableFolder) {
    if (const char *home = std::getenv("VEXIL_HOME"); home && *home)
        return withSlash(home);
    if (!buildTreeSourceFolder(executableFolder).empty())
        return withSlash(executableFolder);
    return userDataFolder();
}

std::string ProgramFolder() {
    return ProgramFolderOf(runningExecutableFolder());
}

std::string ManualFolderOf(const std::string &executableFolder) {
    if (const std::string source = buildTreeSourceFolder(executableFolder); !source.empty())
        return withSlash(source) + "doc/manual/";
    const std::filesystem::path installed = withSlash(executableFolder) + "../share/doc/vexil/";
    return installed.lexically_normal().string();
}

std::string ManualFolder() {
    return ManualFolderOf(runningExecutableFolder());
}

} // namespace vexil
