#pragma once
// Placing a window in the middle of a screen, as the dialogs and the main window's first
// start do.

class QScreen;
class QWidget;

namespace vexil {

// Moves Window so that its frame's centre is that of Screen's available area; returns false
// and leaves the window where it is when there is no screen.
bool MoveToScreenCentre(QWidget &Window, const QScreen *Screen);

// The screen a dialog opens on: its parent's, else the primary one.
const QScreen *DialogScreen(const QWidget *Parent);

} // namespace vexil
