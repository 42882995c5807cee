#include "app/TSlideShow.h"

#include "app/TPictureViewer.h"
#include "app/TfrmDelay.h"

#include <QCheckBox>
#include <QSpinBox>
#include <QTimer>

namespace vexil {

TSlideShow::TSlideShow(QTimer &timer, TPictureViewer &viewer) : ATimer(timer), Viewer(viewer) {
    ATimer.stop();
}

void TSlideShow::Execute(QWidget *parent) {
    TfrmDelay dialog(parent);
    dialog.Delay->setValue(Delay);
    if (dialog.exec() == QDialog::Accepted) {
        Delay = dialog.Delay->value();
        ATimer.setInterval(Delay * 1000);
        ATimer.start();
        LoopShow = dialog.cbLoop->isChecked();
    } else {
        ATimer.stop();
    }
}

bool TSlideShow::Running() const {
    return ATimer.isActive();
}

void TSlideShow::Stop() {
    ATimer.stop();
}

void TSlideShow::Tick() {
    // A tick during a load does not move; the show goes on with the next one.
    if (Viewer.Busy)
        return;
    if (Viewer.CurIndex == int(Viewer.PictureList.size()) - 1) {
        if (LoopShow)
            Viewer.CurIndex = -1;
        else
            ATimer.stop();
    }
    Viewer.Forward();
}

} // namespace vexil
