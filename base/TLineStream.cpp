#include "base/TLineStream.h"

namespace vexil {

void TLineStream::Reset() {
    lines_.clear();
    index_ = 0;
    endOfData_ = false;
    lastChunk_ = false;
    SetPosition(0);
}

void TLineStream::Write(const void *buffer, std::size_t count) {
    // Lines held from before would no longer match the bytes.
    lines_.clear();
    index_ = 0;
    TMemoryStream::Write(buffer, count);
}

void TLineStream::ReadLine(std::string &Line) {
    if (index_ >= lines_.size() && !lastChunk_)
        ReadChunk();
    const std::string_view bytes = Bytes();
    if (index_ < lines_.size()) {
        const Span span = lines_[index_++];
        if (span.begin + span.length <= bytes.size()) {
            Line.assign(bytes.data() + span.begin, span.length);
            return;
        }
    }
    Line.assign(EndOfDataMarker);
    endOfData_ = true;
}

void TLineStream::ReadChunk() {
    lines_.clear();
    index_ = 0;
    const std::string_view bytes = Bytes();
    const std::size_t start = static_cast<std::size_t>(Position());
    const std::string_view rest = bytes.substr(start);
    std::size_t take = rest.size();
    if (rest.size() <= chunkSize_) {
        lastChunk_ = true;
    } else {
        // Up to the chunk's last line feed; a line longer than a chunk runs on to its own.
        std::size_t lf = rest.substr(0, chunkSize_).rfind('\n');
        if (lf == std::string_view::npos)
            lf = rest.find('\n', chunkSize_);
        if (lf == std::string_view::npos)
            lastChunk_ = true;
        else
            take = lf + 1;
    }
    SetPosition(static_cast<std::int64_t>(start + take));
    SplitLines(rest.substr(0, take), start);
}

void TLineStream::SplitLines(std::string_view bytes, std::size_t base) {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t brk = pos;
        while (brk < bytes.size() && bytes[brk] != '\n' && bytes[brk] != '\r')
            ++brk;
        lines_.push_back(Span{base + pos, brk - pos});
        pos = brk;
        if (pos < bytes.size())
            pos += (bytes[pos] == '\r' && pos + 1 < bytes.size() && bytes[pos + 1] == '\n') ? 2 : 1;
    }
}

} // namespace vexil
