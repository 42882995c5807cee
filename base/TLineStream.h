#pragma once
// An in-memory block read back line by line: the article decoder fills it with a whole
// article and then takes one line after the other. Lines break at CR LF, LF or CR; the
// bytes of a line are kept as they are, NUL bytes included.

#include "platform/TStream.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexil {

class TLineStream : public TMemoryStream {
public:
    // What ReadLine gives once the data is used up: four bytes of code 255.
    static constexpr std::string_view EndOfDataMarker{"\xFF\xFF\xFF\xFF", 4};

    TLineStream() = default;

    // Starts the reading over at the first byte; call it after filling the stream.
    void Reset();
    // The next line without its line break, or EndOfDataMarker (and EndOfData set) at the
    // end. A last piece without a line break is returned as a line of its own.
    void ReadLine(std::string &Line);

    bool EndOfData() const { return endOfData_; }
    // How many bytes are split into lines at a time. A line longer than that is still
    // returned whole.
    std::uint16_t ChunkSize() const { return chunkSize_; }
    void SetChunkSize(std::uint16_t Size) { chunkSize_ = Size == 0 ? 1 : Size; }

    using TMemoryStream::Write;
    void Write(const void *buffer, std::size_t count) override;

private:
    struct Span {
        std::size_t begin;
        std::size_t length;
    };

    void ReadChunk();
    void SplitLines(std::string_view bytes, std::size_t base);

    std::vector<Span> lines_;
    std::size_t index_ = 0;
    std::uint16_t chunkSize_ = 16384;
    bool endOfData_ = false;
    bool lastChunk_ = false;
};

} // namespace vexil
