// The login password in a real Secret Service: gnome-keyring on a private session bus
// (tests/support/with-session-bus.sh keyring).
#include "platform/TPasswordStore.h"
#include "platform/TSecretServiceKeyring.h"
#include "tests/app/KeyringTestSupport.h"
#include "tests/support/ModalCatcher.h"
#include "tests/support/QtTestHelpers.h"
#include "tests/support/TempHome.h"

#include <gtest/gtest.h>

using namespace vexil;

TEST(SecretServiceKeyring, KeepsASecretByteForByteUntilItIsRemoved) {
    TSecretServiceKeyring keyring;
    EXPECT_EQ(keyring.Read("test entry"), std::nullopt);
    const std::string secret("p\xe4ss w\x01rd\x00!", 12);
    keyring.Write("test entry", secret);
    EXPECT_EQ(keyring.Read("test entry"), secret);
    // Another start finds it.
    EXPECT_EQ(TSecretServiceKeyring().Read("test entry"), secret);
    keyring.Write("test entry", "second");
    EXPECT_EQ(keyring.Read("test entry"), "second");
    keyring.Remove("test entry");
    EXPECT_EQ(keyring.Read("test entry"), std::nullopt);
    EXPECT_NO_THROW(keyring.Remove("test entry"));
}

TEST(KeyringWindow, APlainTextPasswordMovesIntoTheKeyringAndTheSettingsFileKeepsNone) {
    test::TempHome home;
    test::StoreLogin("reader", "pl41n-s3cret");
    {
        test::ModalCatcher boxes;
        TfrmMain form;
        form.show();
        test::RunEventLoop(200);
        EXPECT_EQ(form.msNNTP.Password, "pl41n-s3cret");
        form.close();
        EXPECT_EQ(boxes.Count(), 0) << boxes.Texts().join("\n").toStdString();
    }
    EXPECT_EQ(test::StoredPass(), "");
    EXPECT_FALSE(test::FileHolds(home.Registry(), "pl41n-s3cret"));
    EXPECT_EQ(TSecretServiceKeyring().Read(TPasswordStore::kKeyringName), "pl41n-s3cret");

    // The next start reads it back from the keyring; a new one typed in Setup goes there too.
    TfrmMain form;
    EXPECT_EQ(form.msNNTP.Password, "pl41n-s3cret");
    EXPECT_TRUE(test::SetupWithPassword(form, "n3w-s3cret").isEmpty());
    EXPECT_EQ(TSecretServiceKeyring().Read(TPasswordStore::kKeyringName), "n3w-s3cret");
    form.close();
    EXPECT_EQ(test::StoredPass(), "");
    EXPECT_FALSE(test::FileHolds(home.Registry(), "n3w-s3cret"));
}
