#pragma once
// The product's pages: the Help menu and the about box open the manual that comes with the
// program, so that no link leads to an address that does not exist.

#include "app/ProgramFolder.h"

#include <string>

namespace vexil {

// The manual's first page: what Vexil is, the demo, where pictures are kept.
inline std::string HomePageAddress() {
    return ManualFolder() + "index.html";
}

// The manual's pages on setting Vexil up and using it.
inline std::string OnlineHelpAddress() {
    return ManualFolder() + "help.html";
}

} // namespace vexil
