// Reads arbitrary bytes back line by line, in chunks of a size the input picks, and checks
// that the lines and their breaks add up to exactly the bytes given.
#include "base/TLineStream.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2)
        return 0;
    const std::uint16_t chunk = static_cast<std::uint16_t>(data[0] | (data[1] << 8));
    const std::string bytes(reinterpret_cast<const char *>(data + 2), size - 2);
    vexil::TLineStream stream;
    stream.SetChunkSize(chunk);
    stream.Write(bytes);
    stream.Reset();
    std::string line;
    std::size_t consumed = 0;
    for (;;) {
        stream.ReadLine(line);
        if (stream.EndOfData())
            break;
        if (bytes.compare(consumed, line.size(), line) != 0)
            std::abort();
        consumed += line.size();
        if (consumed < bytes.size() && bytes[consumed] == '\r') {
            ++consumed;
            if (consumed < bytes.size() && bytes[consumed] == '\n')
                ++consumed;
        } else if (consumed < bytes.size() && bytes[consumed] == '\n') {
            ++consumed;
        }
    }
    if (consumed != bytes.size())
        std::abort();
    return 0;
}
