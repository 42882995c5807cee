#pragma once
// The program's settings, in one value: read from the store under HKEY_LOCAL_MACHINE
// \Software\Internet\VX once when the window is built, written once when it closes, and
// handed by value to the setup dialog and to the browse run. The defaults are those of a
// fresh installation.

#include <cstdint>
#include <functional>
#include <string>

namespace vexil {

class TRegistry;

inline constexpr const char *kSettingsKey = "\\Software\\Internet\\VX";
inline constexpr const char *kDefaultServerName = "news";

struct TMainSettings {
    std::string Server = kDefaultServerName;
    bool SlowColor = false;
    // Only articles with MinLines < Lines < MaxLines are fetched.
    std::int32_t MaxLines = 100000;
    std::int32_t MinLines = 150;
    // Carry on after the article remembered for the server and group.
    bool SmartDownload = true;
    std::string UserName;
    std::string Password;
    std::string EMailAddress;
    // The command log; switched on for the session only, never stored.
    bool LogFile = false;
};

// Reads every setting on its own: one that cannot be read keeps its default and the rest
// go on. A "Server" that cannot be read comes from the news key of HKEY_CURRENT_USER, and
// the store stays there for the remaining reads, as it always has. colorCount gives the
// display's colour count for the SlowColor default.
TMainSettings ReadMainSettings(TRegistry &store, const std::function<int()> &colorCount);

// Writes the eight values in their order; the first failure throws and skips the rest.
void WriteMainSettings(TRegistry &store, const TMainSettings &settings);

} // namespace vexil
