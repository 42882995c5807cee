#include "widgets/TMailAddressDlg.h"
#include "tests/support/ModalCatcher.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace vexil;

namespace {

TmsMailAddress addressOf(const std::string &name, const std::string &address) {
    TmsMailAddress a;
    a.SetName(name);
    a.SetAddress(address);
    return a;
}

// Installs the dialog as the model's editor for one test.
struct EditorInstalled {
    EditorInstalled() { previous = SetMailAddressEditor(EditMailAddress); }
    ~EditorInstalled() { SetMailAddressEditor(previous); }
    TmsMailAddressEditor previous;
};

} // namespace

TEST(TMailAddressDlg, IsLaidOutAsItsFormSays) {
    TMailAddressDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "Address");
    EXPECT_EQ(dialog.size(), QSize(240, 124));
    EXPECT_EQ(dialog.NameEdit->geometry(), QRect(64, 16, 161, 21));
    EXPECT_EQ(dialog.AddressEdit->geometry(), QRect(64, 48, 161, 21));
    EXPECT_EQ(dialog.OKButton->geometry(), QRect(64, 88, 75, 25));
    EXPECT_EQ(dialog.CancelButton->geometry(), QRect(152, 88, 75, 25));
    EXPECT_TRUE(dialog.OKButton->isDefault());
    EXPECT_EQ(dialog.NameEdit->nextInFocusChain(), dialog.AddressEdit);
    EXPECT_EQ(dialog.AddressEdit->nextInFocusChain(), dialog.OKButton);
    EXPECT_EQ(dialog.OKButton->nextInFocusChain(), dialog.CancelButton);
}

TEST(TMailAddressDlg, EnterInEitherEditConfirmsAndTakesTheTextsBack) {
    EditorInstalled installed;
    for (const char *edit : {"NameEdit", "AddressEdit"}) {
        TmsMailAddress address = addressOf("Old Name", "old@example.org");
        test::ModalCatcher catcher([edit](QWidget *modal) {
            EXPECT_EQ(modal->findChild<QLineEdit *>("NameEdit")->text(), "Old Name");
            modal->findChild<QLineEdit *>("NameEdit")->setText(QString::fromLatin1("New N\xe4me"));
            modal->findChild<QLineEdit *>("AddressEdit")->setText("new@example.org");
            QTest::keyClick(modal->findChild<QLineEdit *>(edit), Qt::Key_Return);
        });
        address.Edit();
        EXPECT_EQ(catcher.Count(), 1);
        EXPECT_EQ(address.Name(), "New N\xe4me") << edit;
        EXPECT_EQ(address.Address(), "new@example.org");
    }
}

TEST(TMailAddressDlg, EscapeCancelAndClosingLeaveTheAddressAlone) {
    EditorInstalled installed;
    const std::vector<std::function<void(QWidget *)>> ways = {
        [](QWidget *m) { QTest::keyClick(m->findChild<QLineEdit *>("NameEdit"), Qt::Key_Escape); },
        [](QWidget *m) { m->findChild<QPushButton *>("CancelButton")->click(); },
        [](QWidget *m) { m->close(); },
    };
    for (const auto &way : ways) {
        TmsMailAddress address = addressOf("Kept", "kept@example.org");
        test::ModalCatcher catcher([&way](QWidget *modal) {
            modal->findChild<QLineEdit *>("NameEdit")->setText("Changed");
            way(modal);
        });
        address.Edit();
        EXPECT_EQ(catcher.Count(), 1);
        EXPECT_EQ(address.Name(), "Kept");
        EXPECT_EQ(address.Address(), "kept@example.org");
    }
}

TEST(TMailAddressDlg, ANameLongerThan255CharactersIsCut) {
    EditorInstalled installed;
    TmsMailAddress address;
    test::ModalCatcher catcher([](QWidget *modal) {
        modal->findChild<QLineEdit *>("NameEdit")->setText(QString(300, 'n'));
        modal->findChild<QPushButton *>("OKButton")->click();
    });
    address.Edit();
    EXPECT_EQ(address.Name(), std::string(255, 'n'));
}

TEST(TMailAddressDlg, WithoutAnEditorTheAddressStaysAsItIs) {
    const TmsMailAddressEditor previous = SetMailAddressEditor(nullptr);
    TmsMailAddress address = addressOf("Same", "same@example.org");
    address.Edit();
    EXPECT_EQ(address.Name(), "Same");
    SetMailAddressEditor(previous);
}
