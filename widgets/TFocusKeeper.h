#pragma once
// Gives the keyboard focus back to a control that lost it only because it was disabled for a
// moment. Disabling the control that has the focus makes the toolkit move the focus on to
// the next control; when a command disables a few buttons while it works (the picture
// buttons while a picture loads), a second key press would then act on whatever came next
// in the tab order.

#include <QObject>
#include <QPointer>

#include <vector>

class QWidget;

namespace vexil {

class TFocusKeeper : public QObject {
    Q_OBJECT
public:
    // Watches the given controls; the keeper belongs to parent.
    TFocusKeeper(QObject *parent, const std::vector<QWidget *> &controls);

    // The control waiting to get the focus back, or none.
    QWidget *Waiting() const { return waiting_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool Watches(const QWidget *widget) const;
    void FocusChanged(QWidget *old, QWidget *now);

    std::vector<QWidget *> controls_;
    // The control that lost the focus by being disabled, and where the toolkit put it.
    QPointer<QWidget> waiting_;
    QPointer<QWidget> movedTo_;
};

} // namespace vexil
