// A socket library that lacks most functions, for the binding's "Function ... not found".
#include <cstdint>

extern "C" __attribute__((visibility("default"))) std::uint16_t htons(std::uint16_t v) {
    return static_cast<std::uint16_t>((v << 8) | (v >> 8));
}
