#include "widgets/TGradientForm.h"

#include "base/RoundHalfEven.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <QStyle>
#include <QVBoxLayout>
#include <QWhatsThis>
#include <QWindow>
#include <qdrawutil.h>

#include <cmath>

namespace vexil {

namespace {

// How far into a corner the diagonal sizing reaches, as the window system's corners do.
constexpr int kCornerGrip = 16;

QStyle::StandardPixmap pixmapOf(TGradientForm::TSystemCommand command) {
    switch (command) {
    case TGradientForm::scClose:
        return QStyle::SP_TitleBarCloseButton;
    case TGradientForm::scMaximize:
        return QStyle::SP_TitleBarMaxButton;
    case TGradientForm::scRestore:
        return QStyle::SP_TitleBarNormalButton;
    case TGradientForm::scMinimize:
        return QStyle::SP_TitleBarMinButton;
    case TGradientForm::scContextHelp:
        return QStyle::SP_TitleBarContextHelpButton;
    }
    return QStyle::SP_TitleBarCloseButton;
}

// Without it a form is a plain widget to assistive tools ("filler" on the accessibility
// bus), not a window a screen reader announces and lists.
QAccessibleInterface *formAccessible(const QString &, QObject *object) {
    auto *form = qobject_cast<TGradientForm *>(object);
    if (form == nullptr || !form->isWindow())
        return nullptr;
    return new QAccessibleWidget(form, QAccessible::Window);
}

} // namespace

TGradientForm::TGradientForm(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    [[maybe_unused]] static const bool factoryInstalled =
        (QAccessible::installFactory(formAccessible), true);
    setMouseTracking(true);
    captionFont_ = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    captionFont_.setBold(true);

    layout_ = new QVBoxLayout(this);
    layout_->setSpacing(0);
    client_ = new QWidget(this);
    client_->setObjectName("ClientArea");
    // Children would otherwise inherit a sizing cursor left over from the frame.
    client_->setCursor(Qt::ArrowCursor);
    layout_->addWidget(client_, 1);

    BuildSystemMenu();
    ComputeColorTables();
    UpdateFrame();
}

TGradientForm::~TGradientForm() = default;

void TGradientForm::SetGradientColors(int value) {
    if (value < kMinGradientColors || value > kMaxGradientColors || value == gradientColors_)
        return;
    gradientColors_ = value;
    ComputeColorTables();
    update(CaptionRect());
}

void TGradientForm::SetGradientOnInactive(bool value) {
    if (value == gradientOnInactive_)
        return;
    gradientOnInactive_ = value;
    if (!isActiveWindow())
        update(CaptionRect());
}

void TGradientForm::SetBorderStyle(TFormBorderStyle style) {
    borderStyle_ = style;
    UpdateFrame();
}

void TGradientForm::SetBorderIcons(int icons) {
    borderIcons_ = icons;
    UpdateFrame();
}

QColor TGradientForm::CaptionColor(bool active) const {
    return palette().color(active ? QPalette::Active : QPalette::Disabled, QPalette::Highlight);
}

void TGradientForm::ComputeColorTables() {
    const int n = gradientColors_;
    for (const bool active : {false, true}) {
        const QColor caption = CaptionColor(active);
        TColorTable &table = active ? activeColors_ : inactiveColors_;
        table.fill(caption);
        for (int j = 0; j < n; ++j) {
            const double share = static_cast<double>(j) / (n - 1);
            table[j] =
                QColor(RoundHalfEven(caption.red() * share), RoundHalfEven(caption.green() * share),
                       RoundHalfEven(caption.blue() * share));
        }
    }
}

bool TGradientForm::IsToolWindow() const {
    return borderStyle_ == bsToolWindow || borderStyle_ == bsSizeToolWin;
}

bool TGradientForm::IsSizeable() const {
    return borderStyle_ == bsSizeable || borderStyle_ == bsSizeToolWin;
}

int TGradientForm::FrameWidth() const {
    if (borderStyle_ == bsNone || isMaximized() || isFullScreen())
        return 0;
    return IsSizeable() ? 4 : 3;
}

int TGradientForm::CaptionHeight() const {
    if (borderStyle_ == bsNone)
        return 0;
    const int text = QFontMetrics(captionFont_).height();
    return IsToolWindow() ? text + 4 : text + 8;
}

QRect TGradientForm::CaptionRect() const {
    if (borderStyle_ == bsNone)
        return {};
    const int frame = FrameWidth();
    return QRect(frame, frame, width() - 2 * frame, CaptionHeight());
}

void TGradientForm::UpdateFrame() {
    const int frame = FrameWidth();
    layout_->setContentsMargins(frame, frame + CaptionHeight(), frame, frame);
    update();
}

void TGradientForm::SetMenuBar(QMenuBar *menuBar) {
    if (menuBar_)
        layout_->removeWidget(menuBar_);
    menuBar_ = menuBar;
    if (menuBar_) {
        menuBar_->setParent(this);
        menuBar_->setCursor(Qt::ArrowCursor);
        layout_->insertWidget(0, menuBar_);
    }
}

std::vector<TGradientForm::TCaptionButton> TGradientForm::CaptionButtons() const {
    std::vector<TCaptionButton> buttons;
    const QRect caption = CaptionRect();
    if (caption.isEmpty())
        return buttons;
    const QRect inset = QRect(QPoint(0, 0), caption.size()).adjusted(2, 2, -2, -2);
    const int h = inset.height();
    int right = inset.right() + 1;
    auto place = [&](TSystemCommand command, bool enabled) {
        buttons.push_back({command, QRect(right - h - 2, inset.top(), h + 2, h), enabled});
    };
    const bool systemMenu = borderIcons_ & biSystemMenu;
    if (IsToolWindow()) {
        if (systemMenu)
            place(scClose, true);
        return buttons;
    }
    if (systemMenu) {
        place(scClose, true);
        right -= h + 4;
    }
    if (borderStyle_ != bsDialog) {
        place(isMaximized() ? scRestore : scMaximize, borderIcons_ & biMaximize);
        right -= h + 2;
        place(scMinimize, borderIcons_ & biMinimize);
    } else if (borderIcons_ & biHelp) {
        place(scContextHelp, true);
    }
    return buttons;
}

const QIcon &TGradientForm::StyleIcon(QStyle::StandardPixmap kind) const {
    auto known = styleIcons_.find(kind);
    if (known == styleIcons_.end())
        known = styleIcons_.emplace(kind, style()->standardIcon(kind, nullptr, this)).first;
    return known->second;
}

void TGradientForm::DrawIcon(QPainter &painter, int &left, int side) const {
    QIcon icon = windowIcon();
    if (icon.isNull())
        icon = QApplication::windowIcon();
    if (icon.isNull())
        icon = StyleIcon(QStyle::SP_TitleBarMenuButton);
    const QRect square(left, 1, side, side);
    painter.fillRect(square, Qt::black);
    painter.drawPixmap(square, icon.pixmap(QSize(32, 32)));
    left += side + 1;
}

void TGradientForm::DrawButton(QPainter &painter, const TCaptionButton &button,
                               bool pressed) const {
    const QBrush face = palette().button();
    qDrawWinButton(&painter, button.Rect, palette(), pressed, &face);
    const int side = std::max(button.Rect.height() - 6, 4);
    const QIcon &icon = StyleIcon(pixmapOf(button.Command));
    const QPixmap image =
        icon.pixmap(QSize(side, side), button.Enabled ? QIcon::Normal : QIcon::Disabled);
    QRect target(QPoint(0, 0), QSize(side, side));
    target.moveCenter(button.Rect.center() + (pressed ? QPoint(1, 1) : QPoint(0, 0)));
    painter.drawPixmap(target, image);
}

QImage TGradientForm::PaintCaption(bool active) const {
    const QRect caption = CaptionRect();
    if (caption.isEmpty())
        return {};
    QImage image(caption.size(), QImage::Format_RGB32);
    QPainter painter(&image);
    const int w = caption.width();
    const int h = caption.height();
    if (active || gradientOnInactive_) {
        const TColorTable &table = ColorTable(active);
        const int n = gradientColors_;
        for (int j = 0; j < n; ++j) {
            const int from = RoundHalfEven(static_cast<double>(j) * w / n);
            const int to = RoundHalfEven(static_cast<double>(j + 1) * w / n);
            painter.fillRect(QRect(from, 0, to - from, h), table[j]);
        }
    } else {
        painter.fillRect(image.rect(), CaptionColor(false));
    }

    int left = 1;
    if ((borderIcons_ & biSystemMenu) && (borderStyle_ == bsSingle || borderStyle_ == bsSizeable))
        DrawIcon(painter, left, h - 2);

    const std::vector<TCaptionButton> buttons = CaptionButtons();
    left += 2;
    const int textRight = buttons.empty() ? w : buttons.back().Rect.left() - 2;
    painter.setPen(Qt::white);
    painter.setFont(captionFont_);
    const QString text =
        QFontMetrics(captionFont_)
            .elidedText(windowTitle(), Qt::ElideRight, std::max(textRight - left, 0));
    painter.drawText(QRect(left, 0, std::max(textRight - left, 0), h),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);

    for (const TCaptionButton &button : buttons)
        DrawButton(painter, button, pressedButton_ == button.Command);
    return image;
}

void TGradientForm::paintEvent(QPaintEvent *event) {
    QPainter painter(this);
    if (FrameWidth() > 0)
        qDrawWinPanel(&painter, rect(), palette(), false, &palette().window());
    // A child repainted elsewhere (the status bar, each time its text changes) repaints this
    // form under it, and the caption's gradient and text are the dear part.
    const QRect caption = CaptionRect();
    if (!caption.isEmpty() && event->region().intersects(caption))
        painter.drawImage(caption.topLeft(), PaintCaption(isActiveWindow()));
}

bool TGradientForm::event(QEvent *event) {
    switch (event->type()) {
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
    case QEvent::WindowTitleChange:
    case QEvent::WindowIconChange:
        update(CaptionRect());
        break;
    case QEvent::PaletteChange:
    case QEvent::ApplicationPaletteChange:
    case QEvent::StyleChange:
        ComputeColorTables();
        update();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void TGradientForm::changeEvent(QEvent *event) {
    if (event->type() == QEvent::WindowStateChange)
        UpdateFrame();
    if (event->type() == QEvent::StyleChange)
        styleIcons_.clear();
    QWidget::changeEvent(event);
}

Qt::Edges TGradientForm::EdgesAt(const QPoint &pos) const {
    Qt::Edges edges;
    const int frame = FrameWidth();
    if (!IsSizeable() || frame == 0)
        return edges;
    const bool nearLeft = pos.x() < frame, nearRight = pos.x() >= width() - frame;
    const bool nearTop = pos.y() < frame, nearBottom = pos.y() >= height() - frame;
    if (!nearLeft && !nearRight && !nearTop && !nearBottom)
        return edges;
    // On the frame, the corner zones reach further along each edge.
    if (nearLeft || pos.x() < kCornerGrip)
        edges |= Qt::LeftEdge;
    if (nearRight || pos.x() >= width() - kCornerGrip)
        edges |= Qt::RightEdge;
    if (nearTop || pos.y() < kCornerGrip)
        edges |= Qt::TopEdge;
    if (nearBottom || pos.y() >= height() - kCornerGrip)
        edges |= Qt::BottomEdge;
    if ((edges & Qt::LeftEdge) && (edges & Qt::RightEdge))
        edges &= ~(nearLeft ? Qt::RightEdge : Qt::LeftEdge);
    if ((edges & Qt::TopEdge) && (edges & Qt::BottomEdge))
        edges &= ~(nearTop ? Qt::BottomEdge : Qt::TopEdge);
    return edges;
}

const TGradientForm::TCaptionButton *
TGradientForm::ButtonAt(const QPoint &pos, std::vector<TCaptionButton> &buttons) const {
    buttons = CaptionButtons();
    const QPoint local = pos - CaptionRect().topLeft();
    for (const TCaptionButton &button : buttons)
        if (button.Rect.contains(local))
            return &button;
    return nullptr;
}

void TGradientForm::mousePressEvent(QMouseEvent *event) {
    const QPoint pos = event->position().toPoint();
    const QRect caption = CaptionRect();
    if (caption.contains(pos)) {
        std::vector<TCaptionButton> buttons;
        if (const TCaptionButton *button = ButtonAt(pos, buttons)) {
            if (event->button() == Qt::LeftButton && button->Enabled) {
                pressedButton_ = button->Command;
                update(caption);
            }
            return;
        }
        const bool onIcon = pos.x() < caption.left() + caption.height();
        if (event->button() == Qt::RightButton ||
            (event->button() == Qt::LeftButton && onIcon && (borderIcons_ & biSystemMenu))) {
            ShowSystemMenu();
            return;
        }
        if (event->button() == Qt::LeftButton && windowHandle() && !isMaximized())
            windowHandle()->startSystemMove();
        return;
    }
    const Qt::Edges edges = EdgesAt(pos);
    if (event->button() == Qt::LeftButton && edges && windowHandle())
        windowHandle()->startSystemResize(edges);
}

void TGradientForm::mouseMoveEvent(QMouseEvent *event) {
    if (event->buttons() != Qt::NoButton)
        return;
    const Qt::Edges edges = EdgesAt(event->position().toPoint());
    const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
    const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
    if (horizontal && vertical) {
        const bool falling =
            edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge);
        setCursor(falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
    } else if (horizontal) {
        setCursor(Qt::SizeHorCursor);
    } else if (vertical) {
        setCursor(Qt::SizeVerCursor);
    } else {
        unsetCursor();
    }
}

void TGradientForm::mouseReleaseEvent(QMouseEvent *event) {
    if (pressedButton_ < 0)
        return;
    const auto pressed = static_cast<TSystemCommand>(pressedButton_);
    pressedButton_ = -1;
    update(CaptionRect());
    std::vector<TCaptionButton> buttons;
    const TCaptionButton *button = ButtonAt(event->position().toPoint(), buttons);
    if (button && button->Command == pressed)
        SystemCommand(pressed);
}

void TGradientForm::mouseDoubleClickEvent(QMouseEvent *event) {
    const QPoint pos = event->position().toPoint();
    std::vector<TCaptionButton> buttons;
    if (!CaptionRect().contains(pos) || ButtonAt(pos, buttons))
        return;
    if (borderStyle_ != bsDialog && !IsToolWindow() && (borderIcons_ & biMaximize))
        SystemCommand(isMaximized() ? scRestore : scMaximize);
}

void TGradientForm::SystemCommand(TSystemCommand command) {
    switch (command) {
    case scClose:
        close();
        break;
    case scMaximize:
        showMaximized();
        break;
    case scMinimize:
        showMinimized();
        break;
    case scRestore:
        showNormal();
        break;
    case scContextHelp:
        QWhatsThis::enterWhatsThisMode();
        break;
    }
}

void TGradientForm::BuildSystemMenu() {
    // The caption buttons are drawn, not widgets; the system menu is their keyboard way.
    systemMenu_ = new QMenu(this);
    systemMenu_->setObjectName("SystemMenu");
    systemMenu_->setAccessibleName(tr("System Menu"));
    QAction *restore =
        systemMenu_->addAction(tr("&Restore"), this, [this] { SystemCommand(scRestore); });
    QAction *minimize =
        systemMenu_->addAction(tr("Mi&nimize"), this, [this] { SystemCommand(scMinimize); });
    QAction *maximize =
        systemMenu_->addAction(tr("Ma&ximize"), this, [this] { SystemCommand(scMaximize); });
    systemMenu_->addSeparator();
    QAction *closeAction =
        systemMenu_->addAction(tr("&Close"), this, [this] { SystemCommand(scClose); });
    closeAction->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    connect(systemMenu_, &QMenu::aboutToShow, this, [=, this] {
        const bool normal = !isMaximized() && !isMinimized();
        restore->setEnabled(!normal);
        minimize->setEnabled(borderIcons_ & biMinimize);
        maximize->setEnabled((borderIcons_ & biMaximize) && !isMaximized());
    });
    auto *menuKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
    connect(menuKey, &QShortcut::activated, this, &TGradientForm::ShowSystemMenu);
    auto *closeKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_F4), this);
    connect(closeKey, &QShortcut::activated, this, [this] { SystemCommand(scClose); });
}

void TGradientForm::ShowSystemMenu() {
    const QRect caption = CaptionRect();
    systemMenu_->popup(mapToGlobal(caption.bottomLeft() + QPoint(0, 1)));
}

} // namespace vexil
