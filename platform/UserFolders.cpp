#include "platform/UserFolders.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace vexil {

namespace {

std::string HomeFolder() {
    if (const char *home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return home;
    if (const passwd *entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir)
        return entry->pw_dir;
    return "/";
}

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

} // namespace

std::string UserStateFolder() {
    // A relative value is to be ignored: it would depend on the current folder.
    if (const char *state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/')
        return WithSlash(state);
    return WithSlash(HomeFolder()) + ".local/state/";
}

} // namespace vexil
