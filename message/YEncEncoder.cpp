#include "message/YEncEncoder.h"

namespace vexil {

std::string YEncEncode(std::string_view bytes, std::size_t lineLength) {
    if (lineLength == 0)
        lineLength = 1;
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 32 + 16);
    std::size_t column = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(static_cast<unsigned char>(bytes[i]) + 42);
        const bool edge = column == 0 || column + 1 >= lineLength || i + 1 == bytes.size();
        const bool critical =
            c == 0 || c == '\n' || c == '\r' || c == '=' || (edge && (c == '\t' || c == ' '));
        if (critical) {
            out += '=';
            out += static_cast<char>(c + 64);
            column += 2;
        } else {
            out += static_cast<char>(c);
            ++column;
        }
        if (column >= lineLength) {
            out += "\r\n";
            column = 0;
        }
    }
    if (column > 0)
        out += "\r\n";
    return out;
}

} // namespace vexil
