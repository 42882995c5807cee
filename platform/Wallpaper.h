#pragma once
// The desktop wallpaper: recorded where the program's settings store keeps the desktop's
// values, then handed to the desktop itself where one can be told.

#include <string>

namespace vexil {

class TRegistry;

// Writes "Wallpaper" (the bitmap's path) and "TileWallpaper" ("0") under HKEY_CURRENT_USER
// "Control Panel\desktop"; the store is left open on that key. A failing write throws
// ERegistryException. Then tells a GNOME-family desktop (through gsettings, when present) to
// show the picture centred; that part fails silently, as a desktop may not be running.
void SetDesktopWallpaper(TRegistry &store, const std::string &bitmapPath);

} // namespace vexil
