#include "message/TByteBuffer.h"

#include <algorithm>
#include <cstring>

namespace vexil {

TByteBuffer::TByteBuffer() : stage_(new char[kStageSize]) {}

void TByteBuffer::Expect(std::size_t count) {
    const std::size_t wanted = Size() + std::min(count, MaxExpected);
    if (wanted > bytes_.capacity())
        bytes_.reserve(wanted);
}

char *TByteBuffer::Room(std::size_t count) {
    inLarge_ = false;
    if (count <= kStageSize - staged_)
        return stage_.get() + staged_;
    Flush();
    if (count <= kStageSize)
        return stage_.get();
    if (count > largeSize_) {
        large_.reset(new char[count]);
        largeSize_ = count;
    }
    inLarge_ = true;
    return large_.get();
}

void TByteBuffer::Commit(std::size_t count) {
    if (inLarge_) {
        bytes_.append(large_.get(), count);
        inLarge_ = false;
    } else {
        staged_ += count;
    }
}

void TByteBuffer::Append(std::string_view bytes) {
    if (bytes.size() <= kStageSize - staged_) {
        if (!bytes.empty())
            std::memcpy(stage_.get() + staged_, bytes.data(), bytes.size());
        staged_ += bytes.size();
        return;
    }
    Flush();
    bytes_.append(bytes);
}

void TByteBuffer::Flush() {
    bytes_.append(stage_.get(), staged_);
    staged_ = 0;
}

std::string TByteBuffer::Take() {
    Flush();
    if (bytes_.capacity() > 2 * bytes_.size() + 65536)
        bytes_.shrink_to_fit();
    std::string out = std::move(bytes_);
    Clear();
    return out;
}

void TByteBuffer::Clear() {
    bytes_ = std::string();
    staged_ = 0;
    inLarge_ = false;
    large_.reset();
    largeSize_ = 0;
}

} // namespace vexil
