#pragma once
// The application-wide mouse cursor (the hourglass of a long command), set over every window.

namespace vexil {

// Shows the hourglass over every window of the application until the default comes back.
void SetHourGlassScreenCursor();
// Back to the default cursor of each control, however often the hourglass was set.
void SetDefaultScreenCursor();

} // namespace vexil
