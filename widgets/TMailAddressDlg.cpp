#include "widgets/TMailAddressDlg.h"
#include "platform/QtText.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace vexil {

TMailAddressDlg::TMailAddressDlg(QWidget *owner) : QDialog(owner) {
    setObjectName("MailAddressDlg");
    setWindowTitle("Address");
    setFixedSize(240, 124);

    auto *bevel = new QFrame(this);
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bevel->setGeometry(8, 8, 225, 73);

    auto *nameLabel = new QLabel("Name", this);
    nameLabel->move(24, 24);
    auto *addressLabel = new QLabel("Address", this);
    addressLabel->move(16, 56);

    NameEdit = new QLineEdit(this);
    NameEdit->setObjectName("NameEdit");
    NameEdit->setGeometry(64, 16, 161, 21);
    NameEdit->setAccessibleName("Name");
    nameLabel->setBuddy(NameEdit);
    AddressEdit = new QLineEdit(this);
    AddressEdit->setObjectName("AddressEdit");
    AddressEdit->setGeometry(64, 48, 161, 21);
    AddressEdit->setAccessibleName("Address");
    addressLabel->setBuddy(AddressEdit);

    OKButton = new QPushButton("OK", this);
    OKButton->setObjectName("OKButton");
    OKButton->setGeometry(64, 88, 75, 25);
    OKButton->setDefault(true);
    CancelButton = new QPushButton("Cancel", this);
    CancelButton->setObjectName("CancelButton");
    CancelButton->setGeometry(152, 88, 75, 25);

    setTabOrder(NameEdit, AddressEdit);
    setTabOrder(AddressEdit, OKButton);
    setTabOrder(OKButton, CancelButton);
    connect(OKButton, &QPushButton::clicked, this, &TMailAddressDlg::OKButtonClick);
    // Escape rejects a dialog by itself; the Cancel button does the same.
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TMailAddressDlg::~TMailAddressDlg() = default;

void TMailAddressDlg::SetAddress(const TmsMailAddress &address) {
    address_.Assign(address);
    NameEdit->setText(TextOfBytes(address_.Name()));
    AddressEdit->setText(TextOfBytes(address_.Address()));
}

void TMailAddressDlg::OKButtonClick() {
    // The address's setters cut both texts at 255 characters.
    address_.SetName(BytesOfText(NameEdit->text()));
    address_.SetAddress(BytesOfText(AddressEdit->text()));
    accept();
}

void EditMailAddress(TmsMailAddress &address) {
    TMailAddressDlg dialog;
    dialog.SetAddress(address);
    if (dialog.exec() == QDialog::Accepted)
        address.Assign(dialog.Address());
}

} // namespace vexil
