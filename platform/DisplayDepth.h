#pragma once
// The display's number of colours, as the device capability reports it.

class QWidget;

namespace vexil {

// The size of the colour table of the screen that widget is on: 2 to the depth for
// displays of at most 8 bits per pixel, -1 for deeper ones (they have no colour table).
int DisplayColorCount(const QWidget *widget);

// The same rule for a given depth in bits per pixel.
int ColorCountOfDepth(int bitsPerPixel);

} // namespace vexil
