// The rules of where the login password is kept, against a keyring that can be told to be
// missing, to refuse, or to work.
#include "platform/TPasswordStore.h"
#include "platform/TRegistry.h"
#include "tests/support/TempHome.h"

#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>

using namespace vexil;

namespace {

constexpr const char *kKey = "\\Software\\Internet\\VX";

// One keyring shared by the stores of several "starts".
struct KeyringState {
    enum { Works, Missing, Refuses } mode = Works;
    std::map<std::string, std::string> secrets;
    int requests = 0;
};

class FakeKeyring : public TKeyring {
public:
    explicit FakeKeyring(KeyringState &state) : state_(state) {}
    std::optional<std::string> Read(const std::string &name) override {
        Check();
        const auto found = state_.secrets.find(name);
        return found == state_.secrets.end() ? std::nullopt
                                             : std::optional<std::string>(found->second);
    }
    void Write(const std::string &name, const std::string &secret) override {
        Check();
        state_.secrets[name] = secret;
    }
    void Remove(const std::string &name) override {
        Check();
        state_.secrets.erase(name);
    }

private:
    void Check() {
        ++state_.requests;
        if (state_.mode == KeyringState::Missing)
            throw EKeyringMissing("no keyring here.");
        if (state_.mode == KeyringState::Refuses)
            throw EKeyringError("the keyring did not answer within 30 seconds.");
    }
    KeyringState &state_;
};

class PasswordStoreTest : public ::testing::Test {
protected:
    test::TempHome home;
    KeyringState keyring;

    // A store as one start of the program makes it.
    std::unique_ptr<TPasswordStore> Start(TRegistry &settings, bool withKeyring = true) {
        return std::make_unique<TPasswordStore>(
            settings, kKey, withKeyring ? std::make_unique<FakeKeyring>(keyring) : nullptr);
    }
    std::string SettingsPass() {
        TRegistry settings;
        settings.SetRootKey(HKEY_LOCAL_MACHINE);
        settings.OpenKey(kKey, true);
        return settings.ReadString("Pass");
    }
    void SetSettingsPass(const std::string &text) {
        TRegistry settings;
        settings.SetRootKey(HKEY_LOCAL_MACHINE);
        settings.OpenKey(kKey, true);
        settings.WriteString("Pass", text);
    }
    std::string Secret() { return keyring.secrets[TPasswordStore::kKeyringName]; }
};

mode_t ModeOf(const std::string &path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 0777;
}

} // namespace

TEST_F(PasswordStoreTest, WithAKeyringThePasswordLivesThereAndTheSettingsHoldNone) {
    TRegistry settings(home.Registry());
    auto store = Start(settings);
    EXPECT_EQ(store->Load("me"), "");
    store->Save("s3cret");
    EXPECT_EQ(Secret(), "s3cret");
    EXPECT_EQ(store->SettingsText(), "");
    EXPECT_EQ(SettingsPass(), "");
    EXPECT_TRUE(store->TakeNotices().empty());

    // The next start finds it; a password that did not change is not written again.
    auto next = Start(settings);
    EXPECT_EQ(next->Load("me"), "s3cret");
    EXPECT_EQ(next->Place(), TPasswordStore::ppKeyring);
    const int requests = keyring.requests;
    next->Save("s3cret");
    EXPECT_EQ(keyring.requests, requests);
    // An emptied password leaves the keyring.
    next->Save("");
    EXPECT_EQ(keyring.secrets.count(TPasswordStore::kKeyringName), 0u);
}

TEST_F(PasswordStoreTest, APlainTextPasswordMovesIntoTheKeyringAtTheFirstStartThatFindsOne) {
    SetSettingsPass("old plain");
    TRegistry settings(home.Registry());
    auto store = Start(settings);
    EXPECT_EQ(store->Load("me"), "old plain");
    EXPECT_EQ(Secret(), "old plain");
    EXPECT_EQ(SettingsPass(), "");
    EXPECT_EQ(store->Place(), TPasswordStore::ppKeyring);

    // One put there later (by a script) wins over the keyring's older one, once.
    SetSettingsPass("newer");
    auto next = Start(settings);
    EXPECT_EQ(next->Load(""), "newer");
    EXPECT_EQ(Secret(), "newer");
    EXPECT_EQ(SettingsPass(), "");
}

TEST_F(PasswordStoreTest, WithoutLoginOrPasswordTheKeyringIsNotAsked) {
    TRegistry settings(home.Registry());
    auto store = Start(settings);
    EXPECT_EQ(store->Load(""), "");
    store->Save("");
    EXPECT_EQ(store->Place(), TPasswordStore::ppNone);
    EXPECT_EQ(keyring.requests, 0);
}

TEST_F(PasswordStoreTest,
       WithoutAKeyringThePasswordStaysInThePrivateSettingsFileAndThatIsSaidOnce) {
    // No Secret Service answers, or the program has no keyring at all: the same.
    for (const bool keyringObject : {true, false}) {
        SCOPED_TRACE(keyringObject ? "no Secret Service" : "no keyring at all");
        keyring.mode = KeyringState::Missing;
        const std::string path =
            (home.Root() / (keyringObject ? "a.sqlite3" : "b.sqlite3")).string();
        {
            TRegistry old(path);
            old.WriteString("Pass", "");
        }
        // A settings file from before the rule that made it private.
        ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
        TRegistry settings(path);
        auto store = Start(settings, keyringObject);
        EXPECT_EQ(store->Load("me"), "");
        store->Save("pw");
        EXPECT_EQ(store->Place(), TPasswordStore::ppSettingsFile);
        EXPECT_EQ(store->SettingsText(), "pw");
        EXPECT_EQ(ModeOf(path), 0600u);
        const std::vector<std::string> notices = store->TakeNotices();
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_NE(notices[0].find("settings file " + path + ", which only you can read"),
                  std::string::npos)
            << notices[0];

        // Never again: not for another password, not at the next start.
        store->Save("pw2");
        auto next = Start(settings, keyringObject);
        EXPECT_EQ(next->Load("me"), "pw2");
        next->Save("pw3");
        EXPECT_TRUE(store->TakeNotices().empty());
        EXPECT_TRUE(next->TakeNotices().empty());
        settings.SetRootKey(HKEY_LOCAL_MACHINE);
        settings.OpenKey(kKey, false);
        EXPECT_EQ(settings.ReadString("Pass"), "pw3");
    }
}

TEST_F(PasswordStoreTest, AKeyringThatCannotBeReadAtStartLosesNothingAndIsAskedAgain) {
    keyring.secrets[TPasswordStore::kKeyringName] = "kept";
    keyring.mode = KeyringState::Refuses;
    TRegistry settings(home.Registry());
    auto store = Start(settings);
    EXPECT_EQ(store->Load("me"), "");
    EXPECT_EQ(store->Place(), TPasswordStore::ppUnread);
    const std::vector<std::string> notices = store->TakeNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0], "The login password could not be read from the keyring: the keyring "
                          "did not answer within 30 seconds. Vexil asks for it again at the "
                          "next Go.");
    EXPECT_FALSE(store->ReadAgain());

    // Closing without a new password leaves the keyring's and writes none to the file.
    store->Save("");
    EXPECT_EQ(Secret(), "kept");
    EXPECT_EQ(SettingsPass(), "");

    keyring.mode = KeyringState::Works;
    EXPECT_EQ(store->ReadAgain(), "kept");
    EXPECT_EQ(store->Place(), TPasswordStore::ppKeyring);
}

TEST_F(PasswordStoreTest, APasswordTheKeyringRefusesStaysInTheSettingsFileUntilItTakesIt) {
    // A plain-text password that cannot be moved stays where it is.
    SetSettingsPass("plain");
    keyring.mode = KeyringState::Refuses;
    TRegistry settings(home.Registry());
    auto store = Start(settings);
    EXPECT_EQ(store->Load("me"), "plain");
    EXPECT_EQ(store->Place(), TPasswordStore::ppSettingsFile);
    EXPECT_EQ(SettingsPass(), "plain");
    ASSERT_EQ(store->TakeNotices().size(), 1u);

    // A new password the keyring refuses is kept in the file, and the user hears so.
    store->Save("typed");
    EXPECT_EQ(SettingsPass(), "typed");
    const std::vector<std::string> notices = store->TakeNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].rfind("The keyring did not take the login password: the keyring did "
                               "not answer within 30 seconds.",
                               0),
              0u)
        << notices[0];

    // The next start with a working keyring moves it there.
    keyring.mode = KeyringState::Works;
    auto next = Start(settings);
    EXPECT_EQ(next->Load("me"), "typed");
    EXPECT_EQ(Secret(), "typed");
    EXPECT_EQ(SettingsPass(), "");
}
