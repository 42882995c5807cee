#pragma once
// Text that came from a server or an article, made fit to be shown: on a terminal a control
// character acts (an escape sequence clears the screen or retitles the window, 0x9B is CSI)
// and in a message box it hides or garbles what follows (a NUL ends the text).

#include <exception>
#include <string>
#include <string_view>

namespace vexil {

// The mark that stands for a control character wherever such text is shown.
inline constexpr char kControlMark = '?';

// Bytes with every control character replaced: C0 controls (0x00-0x1F), DEL and the C1
// controls become kControlMark, a TAB a space. Text that is well-formed UTF-8 stays UTF-8
// and loses the characters U+0080-U+009F; any other text is read as Latin-1, one byte a
// character, and loses the bytes 0x80-0x9F. Either way the result, shown as UTF-8 when it is
// valid UTF-8 and as Latin-1 otherwise, holds no control character.
std::string PrintableText(std::string_view bytes);

// An exception's whole message made printable: the message of a vexil::Exception may hold a
// NUL, where what() would end it.
std::string PrintableMessage(const std::exception &error);

// True when bytes are well-formed UTF-8 (no overlong forms, surrogates or code points past
// U+10FFFF).
bool IsUtf8Text(std::string_view bytes);

} // namespace vexil
