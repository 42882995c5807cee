#pragma once
// How the program reads a number out of free text: a Lines header ("1,234 lines") or a limit
// typed into the setup dialog.

#include <string_view>

namespace vexil {

// Keeps only "0" to "9", "-" and "." and reads what is left as a decimal number: 0 when
// nothing is left or the rest is no number ("1-2", "1.2.3"). The point is always ".", since
// header values are protocol text, not text of the user's locale. Digits beyond the range
// of a double give plus or minus infinity.
double ExtractNumber(std::string_view Text);

} // namespace vexil
