#pragma once
// The toolkit's image control: a picture area that shows its Picture at the picture's own
// size (AutoSize), scaled to the control (Stretch), or centred in it (Center).

#include "picture/TPicture.h"

#include <QWidget>

#include <functional>

namespace vexil {

class TImage : public QWidget, public TObject {
    Q_OBJECT

public:
    using TMouseEvent = std::function<void(TObject *Sender, Qt::MouseButton Button,
                                           Qt::KeyboardModifiers Shift, QPoint Position)>;

    explicit TImage(QWidget *parent = nullptr);

    TPicture &Picture() { return Picture_; }
    const TPicture &Picture() const { return Picture_; }

    bool AutoSize() const { return AutoSize_; }
    // Turning it on sizes the control to its picture at once.
    void SetAutoSize(bool value);
    bool Stretch() const { return Stretch_; }
    void SetStretch(bool value);
    bool Center() const { return Center_; }
    void SetCenter(bool value);

    // Sets the control's size, as assigning its Width and Height does on the desktop form.
    void SetBounds(int width, int height);

    TMouseEvent OnMouseDown;
    // A key pressed while the control has the focus; it takes the focus by Tab or a click.
    std::function<void(TObject *Sender, int Key, Qt::KeyboardModifiers Shift)> OnKeyDown;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void PictureChanged();
    void AdjustSize();

    TPicture Picture_;
    bool AutoSize_ = false;
    bool Stretch_ = false;
    bool Center_ = false;
};

} // namespace vexil
