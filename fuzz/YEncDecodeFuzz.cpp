// Differential fuzzing of the yEnc body decoder: every kernel the processor has must give
// the scalar kernel's bytes, stop and CRC, within the output bound; and the input taken as
// data must come back from its own encoding. The first byte picks the encoder's line length.
#include "message/Crc32.h"
#include "message/YEncDecoder.h"
#include "message/YEncEncoder.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

struct Output {
    std::string bytes;
    vexil::YEncDecodeResult result;
};

Output Decode(std::string_view text, vexil::YEncKernel kernel) {
    // Exactly the promised room, so that ASan sees any write past it.
    Output o;
    o.bytes.resize(text.size());
    vexil::YEncDecodeOptions options;
    options.kernel = kernel;
    o.result = vexil::YEncDecode(text, o.bytes.data(), options);
    Check(o.result.written <= text.size() && o.result.consumed <= text.size());
    o.bytes.resize(o.result.written);
    return o;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0)
        return 0;
    const std::string_view text(reinterpret_cast<const char *>(data + 1), size - 1);
    const Output reference = Decode(text, vexil::YEncKernel::Scalar);
    for (const auto method : vexil::AvailableCrc32Methods())
        Check(vexil::Crc32(reference.bytes, method) == reference.result.crc);
    for (const auto kernel : vexil::AvailableYEncKernels()) {
        const Output o = Decode(text, kernel);
        Check(o.bytes == reference.bytes);
        Check(o.result.crc == reference.result.crc);
        Check(o.result.consumed == reference.result.consumed);
        Check(o.result.stop == reference.result.stop);
    }
    const std::size_t lineLength = 1 + data[0] % 200;
    const std::string encoded = vexil::YEncEncode(text, lineLength);
    for (const auto kernel : vexil::AvailableYEncKernels()) {
        const Output o = Decode(encoded, kernel);
        Check(o.bytes == text && o.result.stop == vexil::YEncStop::InputEnd);
    }
    return 0;
}
