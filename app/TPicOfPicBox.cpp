#include "app/TPicOfPicBox.h"

namespace vexil {

TPicOfPicBox::TPicOfPicBox(QWidget *parent) : QComboBox(parent) {
    setEditable(true);
    // Typed text is a request to go to that picture, never a new entry of the list.
    setInsertPolicy(QComboBox::NoInsert);
}

void TPicOfPicBox::showPopup() {
    if (OnDropDown)
        OnDropDown(this);
    QComboBox::showPopup();
}

} // namespace vexil
