#pragma once
// A scroll box that shows where the keyboard focus is: its frame carries the style's focus
// mark while it or the control it scrolls has the focus. The scrolled control may be far
// larger than the box, so a mark of its own would mostly lie out of sight. The mark is two
// pixels of the highlight colour round the edge.

#include <QScrollArea>

namespace vexil {

class TScrollBox : public QScrollArea {
    Q_OBJECT
public:
    explicit TScrollBox(QWidget *parent = nullptr);

    // The box or the control inside it has the focus.
    bool FocusInside() const;

    // Takes the control to scroll, as QScrollArea::setWidget does, and follows its focus.
    void SetScrolledControl(QWidget *control);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void PaintFocusMark();
};

} // namespace vexil
