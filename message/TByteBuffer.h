#pragma once
// The bytes of one attachment while it is decoded. Decoders write into room that is not
// initialised first; the bytes collect in a string that is reserved once from the size the
// article lets the decoder expect, and that the attachment then takes over without a copy.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace vexil {

class TByteBuffer {
public:
    TByteBuffer();
    TByteBuffer(const TByteBuffer &) = delete;
    TByteBuffer &operator=(const TByteBuffer &) = delete;

    // About count more bytes will arrive: room for them is reserved now, so that the bytes
    // already there are not moved while the rest arrives. A wrong guess costs only time:
    // a size an article declares may lie, so no more than MaxExpected is reserved at once.
    void Expect(std::size_t count);
    static constexpr std::size_t MaxExpected = std::size_t{64} * 1024 * 1024;
    // Room for up to count bytes, not initialised; Commit(n) then keeps the first n. Valid
    // until the next call on the buffer.
    char *Room(std::size_t count);
    void Commit(std::size_t count);
    void Append(std::string_view bytes);
    std::size_t Size() const { return bytes_.size() + staged_; }
    // Hands the bytes out and starts over empty. Room reserved far beyond what arrived is
    // given back first.
    std::string Take();
    // Drops the bytes (a decoding that failed) and starts over empty.
    void Clear();

private:
    void Flush();

    // Decoded lines collect in a small block that stays in the cache and goes to bytes_
    // in one piece when full: writing a line straight into bytes_ would mean growing it
    // with a zero fill first.
    static constexpr std::size_t kStageSize = 32768;

    std::string bytes_;
    std::unique_ptr<char[]> stage_;
    std::size_t staged_ = 0;
    // Room for a single piece larger than the block (a line longer than any buffer).
    std::unique_ptr<char[]> large_;
    std::size_t largeSize_ = 0;
    bool inLarge_ = false;
};

} // namespace vexil
