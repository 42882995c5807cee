#pragma once
// RFC 2047 encoded words ("=?charset?B?...?=" and "=?charset?Q?...?=") in header values.

#include <string>
#include <string_view>

namespace vexil {

// Short text: the value (cut at 255 characters) with every encoded word replaced by its
// bytes, without charset conversion. Blanks and control characters after a decoded word are
// dropped, and once a word was decoded every "_" of the value becomes a blank. An encoded
// word that cannot be decoded (an unknown encoding letter, a broken structure, a character
// outside the base64 alphabet) is left as it stands; from a "=?" without a closing "?=" on,
// the value stays as it is.
std::string DecodeHeaderWords(std::string_view value);

} // namespace vexil
