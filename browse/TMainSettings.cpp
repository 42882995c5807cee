#include "browse/TMainSettings.h"
#include "net/ServerAddress.h"
#include "platform/TRegistry.h"

namespace vexil {

namespace {

constexpr const char *kOtherNewsKey = "\\Software\\Microsoft\\Internet Mail and News\\News";

// A read that fails leaves its setting at the default: that is what defaults are for.
template <typename Read> void readOrKeep(Read &&read) {
    try {
        read();
    } catch (const ERegistryException &) {
    }
}

} // namespace

TMainSettings ReadMainSettings(TRegistry &store, const std::function<int()> &colorCount) {
    TMainSettings settings;
    const int colors = colorCount();
    settings.SlowColor = colors > 0 && colors <= 256;
    readOrKeep([&] {
        store.SetRootKey(HKEY_LOCAL_MACHINE);
        store.OpenKey(kSettingsKey, true);
    });
    try {
        settings.Server = store.ReadString("Server");
    } catch (const ERegistryException &) {
        readOrKeep([&] {
            store.SetRootKey(HKEY_CURRENT_USER);
            store.OpenKey(kOtherNewsKey, true);
            settings.Server = store.ReadString("DefaultServer");
        });
    }
    readOrKeep([&] { settings.SlowColor = store.ReadBool("SlowColor"); });
    readOrKeep([&] { settings.MaxLines = store.ReadInteger("MaxLines"); });
    readOrKeep([&] { settings.MinLines = store.ReadInteger("MinLines"); });
    readOrKeep([&] { settings.SmartDownload = store.ReadBool("SmartDownLoad"); });
    readOrKeep([&] { settings.UserName = store.ReadString("User"); });
    readOrKeep([&] { settings.Password = store.ReadString("Pass"); });
    readOrKeep([&] { settings.EMailAddress = store.ReadString("EMail Address"); });
    readOrKeep([&] { settings.UseTls = store.ReadBool("UseTLS"); });
    readOrKeep([&] { settings.JoinParts = store.ReadBool("JoinParts"); });
    readOrKeep([&] { settings.UseOverview = store.ReadBool("UseOverview"); });
    readOrKeep([&] { settings.ArticlesAtOnce = store.ReadInteger("ArticlesAtOnce"); });
    if (settings.ArticlesAtOnce < 1 || settings.ArticlesAtOnce > 32)
        settings.ArticlesAtOnce = TMainSettings().ArticlesAtOnce;
    if (settings.Server.empty())
        settings.Server = kDefaultServerName;
    return settings;
}

void WriteMainSettings(TRegistry &store, const TMainSettings &settings) {
    store.SetRootKey(HKEY_LOCAL_MACHINE);
    store.OpenKey(kSettingsKey, true);
    store.WriteString("Server", settings.Server);
    store.WriteString("EMail Address", settings.EMailAddress);
    store.WriteBool("SlowColor", settings.SlowColor);
    store.WriteString("User", settings.UserName);
    store.WriteString("Pass", settings.Password);
    store.WriteInteger("MaxLines", settings.MaxLines);
    store.WriteInteger("MinLines", settings.MinLines);
    store.WriteBool("SmartDownload", settings.SmartDownload);
    // A store that never saw the switch keeps the eight values it always had.
    if (settings.UseTls || store.ValueExists("UseTLS"))
        store.WriteBool("UseTLS", settings.UseTls);
    if (settings.JoinParts || store.ValueExists("JoinParts"))
        store.WriteBool("JoinParts", settings.JoinParts);
    if (settings.UseOverview || store.ValueExists("UseOverview"))
        store.WriteBool("UseOverview", settings.UseOverview);
    if (settings.ArticlesAtOnce != TMainSettings().ArticlesAtOnce ||
        store.ValueExists("ArticlesAtOnce"))
        store.WriteInteger("ArticlesAtOnce", settings.ArticlesAtOnce);
}

namespace {

// "nntps://news.example.com:563" and "news.example.com:563" are one server.
std::string CertificateName(const std::string &Server) {
    try {
        const ServerAddress address = SplitServerAddress(Server);
        return address.Port == 0 ? address.Host : address.Host + ":" + std::to_string(address.Port);
    } catch (const Exception &) {
        return Server;
    }
}

} // namespace

std::string ReadTrustedCertificate(TRegistry &store, const std::string &Server) {
    std::string fingerprint;
    readOrKeep([&] {
        store.SetRootKey(HKEY_LOCAL_MACHINE);
        if (store.OpenKey(kTrustedCertificatesKey, false) &&
            store.ValueExists(CertificateName(Server)))
            fingerprint = store.ReadString(CertificateName(Server));
    });
    return fingerprint;
}

void WriteTrustedCertificate(TRegistry &store, const std::string &Server,
                             const std::string &Fingerprint) {
    store.SetRootKey(HKEY_LOCAL_MACHINE);
    store.OpenKey(kTrustedCertificatesKey, true);
    store.WriteString(CertificateName(Server), Fingerprint);
}

} // namespace vexil
