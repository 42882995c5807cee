#pragma once
// The slide show's small dialog: the delay in seconds and the loop choice.

#include <QDialog>

class QCheckBox;
class QSpinBox;

namespace vexil {

class TfrmDelay : public QDialog {
    Q_OBJECT

public:
    explicit TfrmDelay(QWidget *parent = nullptr);

    QSpinBox *Delay = nullptr;
    QCheckBox *cbLoop = nullptr;
};

} // namespace vexil
