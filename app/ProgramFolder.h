#pragma once
// "The folder of the program file": where the picture folder and the group-list file live,
// and where the program finds its manual.

#include <string>

namespace vexil {

// Name of the file the build writes beside the built executable; its first line is the
// source folder. Its presence is what tells a build tree from an installed program.
inline constexpr const char *kBuildTreeMarker = "vexil-build-tree";

// Always ending in "/":
// - $VEXIL_HOME when set;
// - the executable's own folder when it runs from a build tree (the marker lies beside it);
// - otherwise, for an installed program, $XDG_DATA_HOME/vexil/ (by default
//   ~/.local/share/vexil/), so that nothing is written below the installation.
std::string ProgramFolder();
std::string ProgramFolderOf(const std::string &executableFolder);

// The folder of the user manual, ending in "/": doc/manual/ of the source tree for a build
// tree, share/doc/vexil/ beside the installed bin/ otherwise.
std::string ManualFolder();
std::string ManualFolderOf(const std::string &executableFolder);

} // namespace vexil
