#pragma once
// Where the login password is kept: in the desktop's keyring when one answers, and then the
// settings value "Pass" stays empty; without a keyring in the settings file, whose mode 0600
// keeps it from other users. A plain-text password found in the settings file moves into the
// keyring. A keyring that refuses or does not answer never costs the password: it stays where
// it was, and the user hears why.

#include "platform/TKeyring.h"

#include <memory>
#include <string>
#include <vector>

namespace vexil {

class TRegistry;

class TPasswordStore {
public:
    enum TPlace {
        // Not looked for: no login and no password in the settings.
        ppNone,
        ppKeyring,
        ppSettingsFile,
        // The keyring holds it (or may) but could not be read.
        ppUnread,
    };

    // settingsKey names the settings key (below HKEY_LOCAL_MACHINE) that holds "Pass".
    // keyring may be null: a system without one.
    TPasswordStore(TRegistry &settings, std::string settingsKey, std::unique_ptr<TKeyring> keyring);

    // At start: the password, from the keyring or the settings file. A login without a user
    // name needs no password, so the keyring is asked only when there is a user name or a
    // password in the settings file to move.
    std::string Load(const std::string &userName);
    // Asks the keyring once more for a password it could not give at start; nullopt when it
    // still cannot.
    std::optional<std::string> ReadAgain();
    // Keeps password where it belongs; a password that did not change is left alone.
    void Save(const std::string &password);

    TPlace Place() const { return place_; }
    // The text the settings value "Pass" holds now.
    const std::string &SettingsText() const { return settingsText_; }
    // What the user has to be told, each text once; emptied by the call.
    std::vector<std::string> TakeNotices();

    static constexpr const char *kKeyringName = "login password";
    // Set once the user has been told that the password lives in the settings file.
    static constexpr const char *kToldValue = "PassInSettingsTold";

private:
    // Without any keyring the user is told, once, where the password went instead.
    void KeepInSettingsFile(const std::string &password, bool noKeyring);
    void WriteSettingsText(const std::string &text);
    void TellOnceAboutTheFile();
    void OpenSettingsKey();

    TRegistry &settings_;
    std::string settingsKey_;
    std::unique_ptr<TKeyring> keyring_;
    TPlace place_ = ppNone;
    std::string password_;
    std::string settingsText_;
    std::vector<std::string> notices_;
};

} // namespace vexil
