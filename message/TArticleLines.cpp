#include "message/TArticleLines.h"

#include <algorithm>
#include <cstring>

namespace vexil {

TArticleLines::TArticleLines(std::string_view bytes) : bytes_(bytes) {
    SetPosition(0);
}

void TArticleLines::SetPosition(std::size_t position) {
    pos_ = std::min(position, bytes_.size());
    nextCR_ = Find('\r');
    nextLF_ = Find('\n');
}

std::size_t TArticleLines::Find(char c) const {
    if (pos_ >= bytes_.size())
        return bytes_.size();
    const void *hit = std::memchr(bytes_.data() + pos_, c, bytes_.size() - pos_);
    return hit == nullptr
               ? bytes_.size()
               : static_cast<std::size_t>(static_cast<const char *>(hit) - bytes_.data());
}

bool TArticleLines::Next(std::string_view &line) {
    const std::size_t size = bytes_.size();
    if (pos_ >= size)
        return false;
    if (nextCR_ < pos_)
        nextCR_ = Find('\r');
    if (nextLF_ < pos_)
        nextLF_ = Find('\n');
    const std::size_t end = std::min(nextCR_, nextLF_);
    line = bytes_.substr(pos_, end - pos_);
    if (end >= size)
        pos_ = size;
    else if (bytes_[end] == '\r' && end + 1 < size && bytes_[end + 1] == '\n')
        pos_ = end + 2;
    else
        pos_ = end + 1;
    return true;
}

} // namespace vexil
