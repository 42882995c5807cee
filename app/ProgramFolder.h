#pragma once
// "The folder of the program file": where the picture folder and the group-list file live.

#include <string>

namespace vexil {

// $VEXIL_HOME when set (tests, packaged installs), else the folder of the running
// executable; always ending in "/".
std::string ProgramFolder();

} // namespace vexil
