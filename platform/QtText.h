#pragma once
// Byte strings of the model (one byte a character) as the GUI shows and takes them.

#include <QString>

#include <string>
#include <string_view>

namespace vexil {

// Model text (server replies, header values, settings) shown as Latin-1, which maps every
// byte to one character and back.
QString TextOfBytes(std::string_view bytes);
std::string BytesOfText(const QString &text);

// A message for the user: UTF-8 when it is valid UTF-8 (file paths, library messages),
// otherwise Latin-1 (bytes from a server).
QString MessageText(std::string_view bytes);

} // namespace vexil
