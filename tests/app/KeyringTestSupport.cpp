#include "tests/app/KeyringTestSupport.h"
#include "app/TSetupDlg.h"
#include "browse/TMainSettings.h"
#include "platform/TRegistry.h"
#include "tests/app/SetupRun.h"

#include <QLineEdit>
#include <QPushButton>

#include <fstream>
#include <iterator>

namespace vexil::test {

void StoreLogin(const std::string &user, const std::string &password) {
    TRegistry store;
    store.SetRootKey(HKEY_LOCAL_MACHINE);
    store.OpenKey(kSettingsKey, true);
    store.WriteString("User", user);
    store.WriteString("Pass", password);
}

std::string StoredPass() {
    TRegistry store;
    store.SetRootKey(HKEY_LOCAL_MACHINE);
    store.OpenKey(kSettingsKey, true);
    return store.ReadString("Pass");
}

QStringList SetupWithPassword(TfrmMain &form, const QString &password) {
    QStringList boxes;
    WithSetup(
        form,
        [&](TSetupDlg &dlg) {
            dlg.ePass->setText(password);
            dlg.OKBtn->click();
        },
        &boxes);
    return boxes;
}

bool FileHolds(const std::string &path, const std::string &text) {
    std::ifstream file(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    return bytes.find(text) != std::string::npos;
}

} // namespace vexil::test
