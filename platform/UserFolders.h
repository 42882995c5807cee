#pragma once
// The user's own folders of the XDG base directory layout.

#include <string>

namespace vexil {

// Where programs keep state of their own that should outlast a restart (logs, history):
// $XDG_STATE_HOME when it is an absolute path, else ~/.local/state. Ends with "/"; not
// created here.
std::string UserStateFolder();

} // namespace vexil
