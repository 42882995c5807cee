#pragma once
// The about box: the program's name and file version, the machine's physical memory and the
// share of it in use, and a link to the home page.

#include <QDialog>

#include <cstdint>

class QLabel;
class QPushButton;

namespace vexil {

class TRTWebLink;
class TVersionLabel;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget *owner = nullptr);
    ~TAboutBox() override;

    QLabel *ProgramIcon = nullptr;
    QLabel *ProductName = nullptr;
    TVersionLabel *VersionLabel2 = nullptr;
    QLabel *Copyright = nullptr;
    QLabel *Comments = nullptr;
    QLabel *PhysMem = nullptr;
    QLabel *FreeRes = nullptr;
    TRTWebLink *RTWebLink2 = nullptr;
    QPushButton *OKButton = nullptr;
};

// Physical memory in bytes as the box shows it: kilobytes with thousands separators, " KB".
QString FormatPhysMem(std::uint64_t bytes);
// The memory load in percent: "42 %".
QString FormatMemoryLoad(std::uint32_t percent);

} // namespace vexil
