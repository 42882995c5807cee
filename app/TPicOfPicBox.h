#pragma once
// The picture-number box: an editable drop-down that tells when its list is about to open,
// so that the list can be rebuilt for the pictures there are at that moment.

#include "platform/Object.h"

#include <QComboBox>

namespace vexil {

class TPicOfPicBox : public QComboBox, public TObject {
    Q_OBJECT

public:
    explicit TPicOfPicBox(QWidget *parent = nullptr);

    TNotifyEvent OnDropDown;

    void showPopup() override;
};

} // namespace vexil
