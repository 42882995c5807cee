#include "message/UUCode.h"

#include "message/CodecTables.h"
#include "platform/MessagePump.h"
#include "platform/ShortText.h"

#include <algorithm>
#include <stdexcept>

namespace vexil {

namespace {

// The grave accent stands for 0, then the characters "!" (33) to "_" (95) for 1 to 63.
constexpr char kAlphabet[] = "`!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_";

constexpr int UUValue(unsigned char c) {
    if (c >= 33 && c <= 95)
        return c - 32;
    if (c == '`')
        return 0;
    return -1;
}

constexpr SextetTables kTables = MakeSextetTables(UUValue);

} // namespace

std::size_t UUDecode(std::string_view line, char *out, std::size_t outSize) {
    if (outSize < UUDecodedMax(line.size()))
        throw std::length_error("UUDecode: output buffer too small");
    ProcessPendingMessages();
    if (line.empty())
        return 0;
    const std::uint32_t count = kTables.at[3][static_cast<unsigned char>(line[0])];
    if (count & kInvalidSextet)
        ThrowInvalidCharacter();
    const std::string_view data = line.substr(1);
    // A short last group is completed with zero values and still gives three bytes, which
    // the count then cuts.
    const std::size_t whole = data.size() / 4 * 4;
    std::size_t written = DecodeSextets(kTables, data.substr(0, whole), out);
    if (whole < data.size()) {
        char group[4] = {'`', '`', '`', '`'};
        std::copy(data.begin() + whole, data.end(), group);
        written += DecodeSextets(kTables, std::string_view(group, 4), out + written);
    }
    return std::min<std::size_t>(written, count);
}

std::string UUDecodeLine(std::string_view line) {
    line = line.substr(0, kShortTextMax);
    char buffer[UUDecodedMax(kShortTextMax)];
    return std::string(buffer, UUDecode(line, buffer, sizeof buffer));
}

std::string UUEncodeBlock(std::string_view bytes) {
    if (bytes.size() > 45)
        throw std::length_error("UUEncodeBlock: more than 45 bytes");
    ProcessPendingMessages();
    std::string out;
    out.reserve(61);
    out += kAlphabet[bytes.size()];
    EncodeSextets(kAlphabet, bytes, out);
    return out;
}

} // namespace vexil
