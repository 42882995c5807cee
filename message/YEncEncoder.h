#pragma once
// A plain yEnc encoder of data lines, for the tests, fuzzers and benchmarks that need
// encoded text of known content.

#include <cstddef>
#include <string>
#include <string_view>

namespace vexil {

// The encoded lines of bytes, each ended by CR LF and at most lineLength characters plus one
// (an escape pair is never split). NUL, LF, CR and "=" are always escaped, TAB and blank at
// the start or end of a line too; a "." at the start of a line is left for the server to
// double. lineLength 0 counts as 1.
std::string YEncEncode(std::string_view bytes, std::size_t lineLength = 128);

} // namespace vexil
