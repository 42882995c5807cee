#include "app/TAboutBox.h"
#include "app/HelpLinks.h"
#include "app/ProgramIcon.h"
#include "platform/MemoryStatus.h"
#include "widgets/ScreenCentre.h"
#include "widgets/TRTWebLink.h"
#include "widgets/TVersionLabel.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace vexil {

namespace {

QLabel *addLabel(QLayout *layout, const QString &text, QWidget *parent) {
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
    return label;
}

} // namespace

QString FormatPhysMem(std::uint64_t bytes) {
    QLocale locale;
    // The C locale leaves thousands out unless asked; the box always groups them.
    locale.setNumberOptions(QLocale::DefaultNumberOptions);
    const double kilobytes = static_cast<double>(bytes) * (1.0 / 1024);
    const auto whole = static_cast<qlonglong>(std::llround(kilobytes));
    // "#,###" writes nothing for zero.
    return (whole == 0 ? QString() : locale.toString(whole)) + " KB";
}

QString FormatMemoryLoad(std::uint32_t percent) {
    return QString::number(percent) + " %";
}

TAboutBox::TAboutBox(QWidget *owner) : QDialog(owner) {
    setObjectName("AboutBox");
    setWindowTitle("About Vexil");
    setFixedSize(294, 312);
    QPalette black = palette();
    black.setColor(QPalette::WindowText, Qt::black);
    setPalette(black);

    auto *outer = new QVBoxLayout(this);
    auto *panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    outer->addWidget(panel, 1);
    auto *column = new QVBoxLayout(panel);
    column->setSpacing(4);

    ProgramIcon = new QLabel(panel);
    ProgramIcon->setObjectName("ProgramIcon");
    ProgramIcon->setAccessibleName("Program Icon");
    ProgramIcon->setPixmap(ProgramIconPixmap(32));
    ProgramIcon->setFixedSize(32, 32);
    column->addWidget(ProgramIcon, 0, Qt::AlignHCenter);

    ProductName = addLabel(column, "Vexil for Win32", panel);
    QFont bold = ProductName->font();
    bold.setBold(true);
    ProductName->setFont(bold);

    VersionLabel2 = new TVersionLabel(panel);
    VersionLabel2->setObjectName("VersionLabel2");
    column->addWidget(VersionLabel2, 0, Qt::AlignHCenter);

    Copyright = addLabel(column, "Written by the Vexil developers.", panel);
    Comments = addLabel(column,
                        "Free software: you may copy, change and pass it on. It comes with no "
                        "warranty of any kind.",
                        panel);

    auto *line = new QFrame(panel);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    column->addWidget(line);

    const TMemoryStatus memory = GlobalMemoryStatus();
    auto *figures = new QGridLayout;
    auto *physLabel = new QLabel("Physical Memory Available to Windows:", panel);
    PhysMem = new QLabel(FormatPhysMem(memory.TotalPhys), panel);
    PhysMem->setObjectName("PhysMem");
    physLabel->setBuddy(PhysMem);
    PhysMem->setAccessibleName("Physical Memory Available to Windows");
    auto *loadLabel = new QLabel("Memory in Use:", panel);
    FreeRes = new QLabel(FormatMemoryLoad(memory.MemoryLoad), panel);
    FreeRes->setObjectName("FreeRes");
    FreeRes->setAccessibleName("Memory in Use");
    // The long caption wraps rather than pushing the figure out of the fixed-size box.
    physLabel->setWordWrap(true);
    figures->setColumnStretch(0, 1);
    figures->addWidget(physLabel, 0, 0);
    figures->addWidget(PhysMem, 0, 1, Qt::AlignRight);
    figures->addWidget(loadLabel, 1, 0);
    figures->addWidget(FreeRes, 1, 1, Qt::AlignRight);
    column->addLayout(figures);

    RTWebLink2 = new TRTWebLink(panel);
    RTWebLink2->setObjectName("RTWebLink2");
    RTWebLink2->setText("Vexil Home Page On The Internet");
    RTWebLink2->setAlignment(Qt::AlignCenter);
    RTWebLink2->SetLinkTo(HomePageAddress());
    column->addWidget(RTWebLink2);
    column->addStretch(1);

    OKButton = new QPushButton("OK", this);
    OKButton->setObjectName("OKButton");
    OKButton->setFont(bold);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    outer->addWidget(OKButton, 0, Qt::AlignHCenter);

    MoveToScreenCentre(*this, screen());
}

TAboutBox::~TAboutBox() = default;

} // namespace vexil
