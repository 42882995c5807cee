#pragma once
// A top-level form that draws its own caption bar: a left-to-right gradient from black to the
// caption colour in GradientColors bands, the window icon, the caption in white and the
// caption buttons. The form is frameless towards the window system; it paints its frame and
// caption itself and moves and resizes through the window system's own drag.
//
// Derived forms put their controls into ClientArea() and may give the form a menu bar,
// which sits between the caption and the client area as a window menu does.

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QStyle>
#include <QWidget>

#include <array>
#include <map>

class QMenu;
class QMenuBar;
class QVBoxLayout;

namespace vexil {

class TGradientForm : public QWidget {
    Q_OBJECT
public:
    enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
    enum TBorderIcon { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };
    // What a caption button or the system menu asks the form to do.
    enum TSystemCommand { scClose, scMaximize, scMinimize, scRestore, scContextHelp };
    static constexpr int kMinGradientColors = 8;
    static constexpr int kMaxGradientColors = 256;
    using TColorTable = std::array<QColor, kMaxGradientColors>;

    explicit TGradientForm(QWidget *parent = nullptr);
    ~TGradientForm() override;

    int GradientColors() const { return gradientColors_; }
    // Values outside 8..256 are ignored.
    void SetGradientColors(int value);
    bool GradientOnInactive() const { return gradientOnInactive_; }
    void SetGradientOnInactive(bool value);

    TFormBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle style);
    int BorderIcons() const { return borderIcons_; }
    void SetBorderIcons(int icons);

    // The bands of the active or the inactive caption; the first GradientColors are used.
    const TColorTable &ColorTable(bool active) const {
        return active ? activeColors_ : inactiveColors_;
    }
    // The caption colours the tables run to (the palette's highlight, active and inactive).
    QColor CaptionColor(bool active) const;

    // The caption bar in window coordinates; empty for a form without border.
    QRect CaptionRect() const;
    // The caption as the form draws it, for the active or the inactive state.
    QImage PaintCaption(bool active) const;
    // The caption buttons' places inside the caption, right to left.
    struct TCaptionButton {
        TSystemCommand Command;
        QRect Rect;
        bool Enabled;
    };
    std::vector<TCaptionButton> CaptionButtons() const;

    QWidget *ClientArea() const { return client_; }
    void SetMenuBar(QMenuBar *menuBar);
    QMenu *SystemMenu() const { return systemMenu_; }

protected:
    // Carries out a caption button or system menu command.
    virtual void SystemCommand(TSystemCommand command);

    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void ComputeColorTables();
    void UpdateFrame();
    void BuildSystemMenu();
    void ShowSystemMenu();
    int FrameWidth() const;
    int CaptionHeight() const;
    bool IsToolWindow() const;
    bool IsSizeable() const;
    Qt::Edges EdgesAt(const QPoint &pos) const;
    const TCaptionButton *ButtonAt(const QPoint &pos, std::vector<TCaptionButton> &buttons) const;
    const QIcon &StyleIcon(QStyle::StandardPixmap kind) const;
    void DrawIcon(QPainter &painter, int &left, int side) const;
    void DrawButton(QPainter &painter, const TCaptionButton &button, bool pressed) const;

    TColorTable activeColors_{};
    TColorTable inactiveColors_{};
    QFont captionFont_;
    int gradientColors_ = 64;
    bool gradientOnInactive_ = false;
    TFormBorderStyle borderStyle_ = bsSizeable;
    int borderIcons_ = biSystemMenu | biMinimize | biMaximize;
    QVBoxLayout *layout_ = nullptr;
    QWidget *client_ = nullptr;
    QMenuBar *menuBar_ = nullptr;
    QMenu *systemMenu_ = nullptr;
    int pressedButton_ = -1; // TSystemCommand of the button held down, or -1
    // The style's caption icons, made once: the style reads them from files each time it
    // is asked, and the caption is painted at every progress step.
    mutable std::map<QStyle::StandardPixmap, QIcon> styleIcons_;
};

} // namespace vexil
