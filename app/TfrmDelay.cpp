#include "app/TfrmDelay.h"
#include "widgets/ScreenCentre.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace vexil {

TfrmDelay::TfrmDelay(QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmDelay"));
    setWindowTitle(QStringLiteral("Slide Show"));

    auto *intro = new QLabel(QStringLiteral(
        "Slide show will display all pictures in a slide show format starting at the current "
        "picture unit the STOP button is pressed"));
    intro->setWordWrap(true);

    auto *options = new QGroupBox(QStringLiteral("Options "));
    auto *delayLabel = new QLabel(QStringLiteral("Enter The Delay In Seconds :"));
    Delay = new QSpinBox;
    Delay->setObjectName(QStringLiteral("Delay"));
    Delay->setRange(1, 60);
    Delay->setValue(4);
    Delay->setAccessibleName(QStringLiteral("Enter The Delay In Seconds"));
    delayLabel->setBuddy(Delay);
    cbLoop = new QCheckBox(QStringLiteral("Loop Continuously"));
    cbLoop->setObjectName(QStringLiteral("cbLoop"));
    cbLoop->setChecked(true);
    // Tight spacing leaves the caption of the delay its whole room beside the buttons.
    auto *row = new QHBoxLayout;
    row->setSpacing(4);
    row->addWidget(delayLabel);
    row->addWidget(Delay);
    row->addStretch();
    auto *inner = new QVBoxLayout(options);
    inner->setContentsMargins(6, 4, 6, 4);
    inner->addLayout(row);
    inner->addWidget(cbLoop);

    // OK and Cancel stand beside the options: below them the fixed 158 pixels would not
    // hold the three rows.
    auto *buttons = new QDialogButtonBox(Qt::Vertical);
    QPushButton *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *lower = new QHBoxLayout;
    lower->addWidget(options, 1);
    lower->addWidget(buttons, 0, Qt::AlignTop);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 8);
    layout->setSpacing(6);
    layout->addWidget(intro);
    layout->addLayout(lower, 1);

    setFixedSize(344, 158);
    MoveToScreenCentre(*this, DialogScreen(parent));
}

} // namespace vexil
