#pragma once
// The browse run's rule for the subject of an article: a subject that marks one part of a
// post in several parts is passed over. Shared by the main window and vexil-nntp.

#include <string_view>

namespace vexil {

// True when Subject holds "/2" to "/9" and not the letters "http" in any case ("/1" does
// not count, so "(1/1)" passes).
bool IsLaterPart(std::string_view Subject);

} // namespace vexil
