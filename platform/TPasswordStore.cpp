#include "platform/TPasswordStore.h"
#include "platform/TRegistry.h"

#include <sys/stat.h>

namespace vexil {

namespace {

// The settings file may predate the rule that made it private: a password going into it
// tightens its mode first.
void keepPrivate(const std::string &path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && (st.st_mode & 077) != 0 &&
        ::chmod(path.c_str(), st.st_mode & 0700) != 0)
        throw ERegistryException("Cannot make the settings file " + path +
                                 " readable only by you.");
}

} // namespace

TPasswordStore::TPasswordStore(TRegistry &settings, std::string settingsKey,
                               std::unique_ptr<TKeyring> keyring)
    : settings_(settings), settingsKey_(std::move(settingsKey)), keyring_(std::move(keyring)) {}

void TPasswordStore::OpenSettingsKey() {
    settings_.SetRootKey(HKEY_LOCAL_MACHINE);
    settings_.OpenKey(settingsKey_, true);
}

std::string TPasswordStore::Load(const std::string &userName) {
    try {
        OpenSettingsKey();
        settingsText_ = settings_.ReadString("Pass");
    } catch (const ERegistryException &) {
        // An unreadable value is no password, as it always was.
        settingsText_.clear();
    }
    password_ = settingsText_;
    if (settingsText_.empty() && userName.empty()) {
        place_ = ppNone;
        return password_;
    }
    place_ = ppSettingsFile;
    if (!keyring_)
        return password_;
    try {
        if (settingsText_.empty()) {
            password_ = keyring_->Read(kKeyringName).value_or("");
        } else {
            keyring_->Write(kKeyringName, settingsText_);
            WriteSettingsText("");
        }
        place_ = ppKeyring;
    } catch (const EKeyringMissing &) {
    } catch (const EKeyringError &e) {
        if (settingsText_.empty()) {
            place_ = ppUnread;
            notices_.push_back("The login password could not be read from the keyring: " +
                               e.Message() + " Vexil asks for it again at the next Go.");
        } else {
            notices_.push_back(
                "The login password could not be moved into the keyring: " + e.Message() +
                " It stays in the settings file, readable only by you, and "
                "is moved at the next start.");
        }
    }
    return password_;
}

std::optional<std::string> TPasswordStore::ReadAgain() {
    if (place_ != ppUnread || !keyring_)
        return std::nullopt;
    try {
        password_ = keyring_->Read(kKeyringName).value_or("");
        place_ = ppKeyring;
        return password_;
    } catch (const EKeyringError &) {
        // The caller asks the user instead; the first failure has been told already.
        return std::nullopt;
    }
}

void TPasswordStore::Save(const std::string &password) {
    if (place_ == ppUnread ? password.empty() : password == password_)
        return;
    if (!keyring_) {
        KeepInSettingsFile(password, true);
        return;
    }
    try {
        if (password.empty())
            keyring_->Remove(kKeyringName);
        else
            keyring_->Write(kKeyringName, password);
        if (!settingsText_.empty())
            WriteSettingsText("");
        place_ = ppKeyring;
        password_ = password;
    } catch (const EKeyringMissing &) {
        KeepInSettingsFile(password, true);
    } catch (const EKeyringError &e) {
        KeepInSettingsFile(password, false);
        notices_.push_back("The keyring did not take the login password: " + e.Message() +
                           " It is kept in the settings file, readable only by you, and "
                           "moved into the keyring at the next start.");
    }
}

std::vector<std::string> TPasswordStore::TakeNotices() {
    std::vector<std::string> notices;
    notices.swap(notices_);
    return notices;
}

void TPasswordStore::KeepInSettingsFile(const std::string &password, bool noKeyring) {
    if (!password.empty()) {
        keepPrivate(settings_.DatabasePath());
        if (noKeyring)
            TellOnceAboutTheFile();
    }
    WriteSettingsText(password);
    password_ = password;
    place_ = ppSettingsFile;
}

void TPasswordStore::WriteSettingsText(const std::string &text) {
    OpenSettingsKey();
    settings_.WriteString("Pass", text);
    settingsText_ = text;
}

void TPasswordStore::TellOnceAboutTheFile() {
    // Per user, beside the window's placement: the program's own values stay as they were.
    settings_.SetRootKey(HKEY_CURRENT_USER);
    settings_.OpenKey(settingsKey_, true);
    if (settings_.ValueExists(kToldValue))
        return;
    notices_.push_back("There is no keyring on this desktop (no Secret Service answers on the "
                       "session bus), so Vexil keeps the login password in its settings file " +
                       settings_.DatabasePath() + ", which only you can read.");
    settings_.WriteInteger(kToldValue, 1);
}

} // namespace vexil
