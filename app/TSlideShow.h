#pragma once
// The timed slide show over the viewer's pictures: started from its dialog, one picture a
// tick, wrapping to the first after the last or stopping there.

#include "platform/Object.h"

class QTimer;
class QWidget;

namespace vexil {

class TPictureViewer;

class TSlideShow : public TObject {
public:
    // The timer is the window's; the show starts and stops it, and the window runs Tick on
    // each of its ticks.
    TSlideShow(QTimer &timer, TPictureViewer &viewer);

    // Seconds a picture; 4 at start.
    int Delay = 4;
    // Wrap to the first picture after the last.
    bool LoopShow = false;

    // Opens the dialog: OK starts the show with its delay and loop choice, Cancel stops a
    // running show.
    void Execute(QWidget *parent);
    bool Running() const;
    void Stop();
    void Tick();

private:
    QTimer &ATimer;
    TPictureViewer &Viewer;
};

} // namespace vexil
