#pragma once
// Words of a server reply line ("211 1234 3000 4233 alt.test"), counted from 0.

#include <string>
#include <string_view>

namespace vexil {

// Removes K words from the front of S (each up to and including its first blank, the rest
// trimmed); when S runs out of blanks first, the result is empty. Then the next word (Single)
// or the whole rest, trimmed.
std::string GetWord(std::string_view S, int K, bool Single);

// GetWord(S, K, true) as a 32-bit decimal integer; -1 when it is not one.
int GetWordAsInt(std::string_view S, int K);

// A decimal integer with an optional sign that fits 32 bits, else Default.
int StrToIntDef(std::string_view S, int Default);

} // namespace vexil
