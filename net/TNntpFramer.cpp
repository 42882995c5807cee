#include "net/TNntpFramer.h"

#include <algorithm>
#include <cstring>

namespace vexil {

namespace {

// Taken bytes are dropped from the front once they are at least this many.
constexpr std::size_t kCompactFrom = 64 * 1024;
// FrameWhole copies lines in pieces of about this size.
constexpr std::size_t kCopyRun = 16 * 1024;

} // namespace

void TNntpFramer::Feed(std::string_view Bytes) {
    buf_.append(Bytes);
}

void TNntpFramer::Clear() {
    buf_.clear();
    out_ = in_ = seen_ = 0;
    wire_ = 0;
    lineStart_ = true;
    done_ = false;
}

void TNntpFramer::Compact() {
    if (in_ == buf_.size()) {
        buf_.resize(out_);
        in_ = seen_ = out_;
        return;
    }
    const std::size_t gap = in_ - out_;
    if (gap < kCompactFrom || gap < buf_.size() / 2)
        return;
    buf_.erase(out_, gap);
    in_ -= gap;
    seen_ -= gap;
}

TNntpFramer::TStatus TNntpFramer::TakeLine(std::string &Line) {
    const std::size_t size = buf_.size();
    const void *hit = seen_ < size ? std::memchr(buf_.data() + seen_, '\n', size - seen_) : nullptr;
    if (hit == nullptr) {
        seen_ = size;
        std::size_t length = size - in_;
        // A CR may yet be followed by its LF.
        while (length > 0 && buf_[in_ + length - 1] == '\r')
            --length;
        return length > MaxReplyLine ? TStatus::TooLong : TStatus::NeedMore;
    }
    const std::size_t lf = static_cast<std::size_t>(static_cast<const char *>(hit) - buf_.data());
    std::size_t end = lf;
    while (end > in_ && (buf_[end - 1] == '\r' || buf_[end - 1] == '\n'))
        --end;
    if (end - in_ > MaxReplyLine)
        return TStatus::TooLong;
    Line.assign(buf_, in_, end - in_);
    in_ = seen_ = lf + 1;
    Compact();
    return TStatus::Complete;
}

void TNntpFramer::StartBlock(std::int64_t Limit) {
    // Bytes of a block that was given up are not part of this one.
    DropBlock();
    wire_ = 0;
    limit_ = Limit;
    lineStart_ = true;
    done_ = false;
}

std::size_t TNntpFramer::ReadDot(std::size_t in, TDot &dot) const {
    const std::size_t size = buf_.size();
    if (in + 1 >= size)
        return 0;
    const char next = buf_[in + 1];
    if (next == '.') {
        dot = TDot::Stuffed;
        return 2;
    }
    if (next == '\n') {
        dot = TDot::Terminator;
        return 2;
    }
    if (next == '\r') {
        if (in + 2 >= size)
            return 0;
        if (buf_[in + 2] == '\n') {
            dot = TDot::Terminator;
            return 3;
        }
    }
    dot = TDot::Plain;
    return 1;
}

void TNntpFramer::Put(std::size_t from, std::size_t count) {
    if (from != out_)
        std::memmove(buf_.data() + out_, buf_.data() + from, count);
    out_ += count;
}

TNntpFramer::TStatus TNntpFramer::Frame(std::size_t Most) {
    if (done_)
        return TStatus::Complete;
    const std::size_t size = buf_.size();
    const std::size_t end = in_ + std::min(Most, size - in_);
    std::size_t in = in_;
    bool held = false;
    while (in < end && !done_) {
        if (lineStart_ && buf_[in] == '.') {
            TDot dot{};
            const std::size_t taken = ReadDot(in, dot);
            if (taken == 0) {
                held = true;
                break;
            }
            if (dot == TDot::Terminator)
                done_ = true;
            else
                Put(in, 1); // a stuffed dot keeps one of its two
            in += taken;
            lineStart_ = false;
            continue;
        }
        lineStart_ = false;
        const void *hit = std::memchr(buf_.data() + in, '\n', end - in);
        const std::size_t stop =
            hit == nullptr
                ? end
                : static_cast<std::size_t>(static_cast<const char *>(hit) - buf_.data()) + 1;
        Put(in, stop - in);
        in = stop;
        lineStart_ = hit != nullptr;
    }
    wire_ += static_cast<std::int64_t>(in - in_);
    in_ = in;
    seen_ = held ? size : in_;
    Compact();
    if (wire_ > limit_)
        return TStatus::TooLong;
    return done_ ? TStatus::Complete : TStatus::NeedMore;
}

void TNntpFramer::Finish() {
    Frame();
    if (done_)
        return;
    // Only a dot line start can have been held back, and only "." or ".\r".
    const std::size_t rest = buf_.size() - in_;
    if (rest > 0) {
        wire_ += static_cast<std::int64_t>(rest);
        in_ = seen_ = buf_.size();
    }
    done_ = true;
}

void TNntpFramer::DropBlock() {
    buf_.erase(0, in_);
    seen_ -= in_;
    in_ = out_ = 0;
}

std::string TNntpFramer::TakeBlock() {
    std::string rest(buf_, in_);
    buf_.resize(out_);
    std::string block = std::move(buf_);
    buf_ = std::move(rest);
    seen_ -= in_;
    in_ = out_ = 0;
    return block;
}

std::string TNntpFramer::FrameWhole(std::string_view Bytes) {
    std::string out;
    out.reserve(Bytes.size());
    const char *const data = Bytes.data();
    const std::size_t size = Bytes.size();
    std::size_t run = 0; // start of the bytes not yet copied
    std::size_t in = 0;  // a line start
    while (in < size) {
        if (data[in] == '.') {
            out.append(data + run, in - run);
            const std::size_t rest = size - in;
            // The end of the input ends a "." or ".\r" line as its line break would.
            if (rest == 1 || data[in + 1] == '\n' ||
                (data[in + 1] == '\r' && (rest == 2 || data[in + 2] == '\n')))
                return out;
            // A stuffed dot keeps one of its two; a lone one stays.
            run = data[in + 1] == '.' ? in + 1 : in;
        }
        const void *lf = std::memchr(data + in, '\n', size - in);
        if (lf == nullptr)
            break;
        in = static_cast<std::size_t>(static_cast<const char *>(lf) - data) + 1;
        // Copied while the lines just searched are still in the cache.
        if (in - run >= kCopyRun) {
            out.append(data + run, in - run);
            run = in;
        }
    }
    out.append(data + run, size - run);
    return out;
}

void TNntpFramer::FrameWhole(std::string &Bytes) {
    TNntpFramer framer;
    framer.buf_ = std::move(Bytes);
    framer.StartBlock(INT64_MAX);
    framer.Finish();
    Bytes = framer.TakeBlock();
}

} // namespace vexil
