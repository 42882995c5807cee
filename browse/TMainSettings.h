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
// The certificates the user chose to trust although their check failed: one SHA-256
// fingerprint per server, named as the server is written (without "nntps://").
inline constexpr const char *kTrustedCertificatesKey = "\\Software\\Internet\\VX\\Certificates";

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
    // Speak to the server over TLS (also on for an "nntps://" server or port 563).
    bool UseTls = false;
    // Fetch every part of a post in several parts and join them into one picture.
    bool JoinParts = false;
    // Walk the headers through the server's overview when it has one.
    bool UseOverview = false;
    // Articles asked for before the first has arrived, when the overview walk runs.
    std::int32_t ArticlesAtOnce = 8;
};

// Reads every setting on its own: one that cannot be read keeps its default and the rest
// go on. A "Server" that cannot be read comes from the news key of HKEY_CURRENT_USER, and
// the store stays there for the remaining reads, as it always has. colorCount gives the
// display's colour count for the SlowColor default.
TMainSettings ReadMainSettings(TRegistry &store, const std::function<int()> &colorCount);

// Writes the eight values in their order, then UseTLS, JoinParts, UseOverview and
// ArticlesAtOnce each when it differs from its default or was stored before;
// the first failure throws and skips the rest.
void WriteMainSettings(TRegistry &store, const TMainSettings &settings);

// The fingerprint the user trusts for Server; empty when none. A store that cannot be read
// trusts nothing.
std::string ReadTrustedCertificate(TRegistry &store, const std::string &Server);
// Trusts the certificate with Fingerprint for Server, in place of any trusted before.
void WriteTrustedCertificate(TRegistry &store, const std::string &Server,
                             const std::string &Fingerprint);

} // namespace vexil
