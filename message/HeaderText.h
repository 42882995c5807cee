#pragma once
// Text functions over header lines and MIME values, shared by the decoder, the encoder, the
// news client and the main window. All work on bytes, without character-set conversion.

#include <string>
#include <string_view>
#include <vector>

namespace vexil {

class TmsMailAddress;

// The text without leading and trailing blanks and control characters (codes 0 to 32).
std::string_view TrimText(std::string_view text);

// The unfolded value of the first header line called name (a colon is appended unless
// present; letter case is ignored), or empty text. Unless the name is Content-Type or
// X-UIDL, the value is cut to 255 characters and its encoded words are decoded.
std::string GetHeaderValue(const std::vector<std::string> &lines, std::string_view name);

// Deletes the first header line called name (as in GetHeaderValue) and its continuation
// lines; nothing happens when there is none.
void RemoveHeader(std::vector<std::string> &lines, std::string_view name);

// The value of a parameter such as boundary, name or filename inside a header value. The
// name is found anywhere, ignoring case (so "name" also matches inside "filename"); a
// quoted value is taken without its quotes, any other up to the first blank, and one
// trailing ";" is dropped.
std::string GetParameter(std::string_view paramName, std::string_view value);

// The characters before the first blank or ";", trimmed: the bare type of a Content-Type.
std::string FirstWord(std::string_view value);

// Trimmed, then without its leading and trailing double quote characters.
std::string TrimQuotes(std::string_view text);

// The folder with "/" appended unless it is empty or already ends with one.
std::string AddBackslash(std::string_view folder);

// The name part of an attachment's file name: the text after its last "\", "/" or ":".
std::string_view FileNamePart(std::string_view fileName);

// The MIME type registered for the file name's extension in /etc/mime.types, or
// "application/octet-stream" when there is none.
std::string ContentTypeOfFile(std::string_view fileName);

// Fills the address from a From-style value: "Name <address>", "address (Name)" or a bare
// address. Never fails: a "<" without a ">" after it gives an empty address and the whole
// text, quotes stripped, as the name.
void ParseAddress(std::string_view text, TmsMailAddress &address);

// The lines of a text, split at CR LF, LF or CR; a line end at the very end adds no empty
// line, a last piece without one is a line.
std::vector<std::string> SplitTextLines(std::string_view text);

} // namespace vexil
