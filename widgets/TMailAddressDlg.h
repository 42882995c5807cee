#pragma once
// The small dialog through which a mail address (a display name and an address) is edited.
// It works on an address of its own; the caller takes it back when the dialog is confirmed.

#include "message/TmsMailAddress.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace vexil {

class TMailAddressDlg : public QDialog {
    Q_OBJECT
public:
    explicit TMailAddressDlg(QWidget *owner = nullptr);
    ~TMailAddressDlg() override;

    // Copies address into the dialog's own and shows its name and address.
    void SetAddress(const TmsMailAddress &address);
    const TmsMailAddress &Address() const { return address_; }

    QLineEdit *NameEdit = nullptr;
    QLineEdit *AddressEdit = nullptr;
    QPushButton *OKButton = nullptr;
    QPushButton *CancelButton = nullptr;

private:
    void OKButtonClick();

    TmsMailAddress address_;
};

// The editor that TmsMailAddress::Edit calls once the application installs it: the dialog
// on a copy, taken back on OK, unchanged otherwise.
void EditMailAddress(TmsMailAddress &address);

} // namespace vexil
