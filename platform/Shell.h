#pragma once
// The shell's "open": hands a web address, file or document to the desktop's handler.

#include <string>

namespace vexil {

// Opens target with the desktop's handler for it. The result is not examined: a target that
// cannot be opened (an empty one, no browser installed) fails without a message.
void ShellOpen(const std::string &target);

} // namespace vexil
