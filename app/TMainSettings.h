#pragma once
// The main window's settings as they stand in the store under HKEY_LOCAL_MACHINE
// \Software\Internet\VX: read once when the window is built, written once when it closes.

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
    std::int32_t MaxLines = 100000;
    std::int32_t MinLines = 150;
    bool SmartDownload = true;
    std::string UserName;
    std::string Password;
    std::string EMailAddress;
};

// Reads every setting on its own: one that cannot be read keeps its default and the rest
// go on. A "Server" that cannot be read comes from the news key of HKEY_CURRENT_USER, and
// the store stays there for the remaining reads, as it always has. colorCount gives the
// display's colour count for the SlowColor default.
TMainSettings ReadMainSettings(TRegistry &store, const std::function<int()> &colorCount);

// Writes the eight values in their order; the first failure throws and skips the rest.
void WriteMainSettings(TRegistry &store, const TMainSettings &settings);

} // namespace vexil
