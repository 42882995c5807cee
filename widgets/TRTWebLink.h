#pragma once
// A label that looks like a hyperlink (blue, underlined, hand cursor) and has the desktop
// open LinkTo when it is pressed with the left button, or activated from the keyboard.

#include <QColor>
#include <QLabel>

#include <string>

namespace vexil {

class TRTWebLink : public QLabel {
    Q_OBJECT
public:
    explicit TRTWebLink(QWidget *parent = nullptr);
    ~TRTWebLink() override;

    QColor LinkColor() const { return linkColor_; }
    void SetLinkColor(const QColor &color);
    const std::string &LinkTo() const { return linkTo_; }
    void SetLinkTo(const std::string &target);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void Open();

    QColor linkColor_;
    std::string linkTo_;
};

} // namespace vexil
