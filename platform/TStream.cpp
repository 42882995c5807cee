#include "platform/TStream.h"

#include "platform/Exception.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vexil {

void TStream::CopyFrom(TStream &source) {
    char buffer[65536];
    for (;;) {
        const std::size_t n = source.Read(buffer, sizeof buffer);
        if (n == 0)
            break;
        Write(buffer, n);
    }
}

std::size_t TMemoryStream::Read(void *buffer, std::size_t count) {
    const std::size_t n = std::min(count, bytes_.size() - position_);
    if (n > 0)
        std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    return n;
}

void TMemoryStream::Write(const void *buffer, std::size_t count) {
    if (count == 0)
        return;
    const char *p = static_cast<const char *>(buffer);
    if (position_ == bytes_.size()) {
        bytes_.append(p, count);
    } else {
        const std::size_t overlap = std::min(count, bytes_.size() - position_);
        bytes_.replace(position_, overlap, p, overlap);
        bytes_.append(p + overlap, count - overlap);
    }
    position_ += count;
}

void TMemoryStream::SetPosition(std::int64_t position) {
    position_ = static_cast<std::size_t>(std::clamp<std::int64_t>(position, 0, Size()));
}

void TMemoryStream::Clear() {
    bytes_.clear();
    position_ = 0;
}

void TMemoryStream::Assign(std::string bytes) {
    bytes_ = std::move(bytes);
    position_ = 0;
}

void TMemoryStream::SetSize(std::int64_t size) {
    bytes_.resize(static_cast<std::size_t>(std::max<std::int64_t>(size, 0)));
    position_ = std::min(position_, bytes_.size());
}

std::string TMemoryStream::Release() {
    std::string out = std::move(bytes_);
    Clear();
    return out;
}

void TMemoryStream::LoadFromFile(const std::string &path) {
    TFileStream file(path, TFileStream::Mode::Read);
    Clear();
    CopyFrom(file);
    position_ = 0;
}

void TMemoryStream::SaveToFile(const std::string &path) const {
    TFileStream file(path, TFileStream::Mode::Create);
    file.Write(bytes_);
    file.Close();
}

TFileStream::TFileStream(const std::string &path, Mode mode) : path_(path) {
    file_ = std::fopen(path.c_str(), mode == Mode::Read ? "rb" : "wb");
    if (file_ == nullptr) {
        if (mode == Mode::Read)
            throw EFOpenError(path);
        throw EFCreateError(path);
    }
}

TFileStream::~TFileStream() {
    if (file_ != nullptr)
        std::fclose(file_);
}

std::size_t TFileStream::Read(void *buffer, std::size_t count) {
    return file_ == nullptr ? 0 : std::fread(buffer, 1, count, file_);
}

void TFileStream::Write(const void *buffer, std::size_t count) {
    if (file_ == nullptr || std::fwrite(buffer, 1, count, file_) != count)
        throw EInOutError(FormatText("Cannot write file %s: %s", {path_, std::strerror(errno)}));
}

std::int64_t TFileStream::Size() const {
    if (file_ == nullptr)
        return 0;
    const long here = std::ftell(file_);
    std::fseek(file_, 0, SEEK_END);
    const long end = std::ftell(file_);
    std::fseek(file_, here, SEEK_SET);
    return end;
}

std::int64_t TFileStream::Position() const {
    return file_ == nullptr ? 0 : std::ftell(file_);
}

void TFileStream::SetPosition(std::int64_t position) {
    if (file_ != nullptr)
        std::fseek(file_, static_cast<long>(std::clamp<std::int64_t>(position, 0, Size())),
                   SEEK_SET);
}

void TFileStream::Close() {
    if (file_ == nullptr)
        return;
    const bool failed = std::fflush(file_) != 0 || std::ferror(file_) != 0;
    const int err = errno;
    const bool closeFailed = std::fclose(file_) != 0;
    file_ = nullptr;
    if (failed || closeFailed)
        throw EInOutError(FormatText("Cannot write file %s: %s", {path_, std::strerror(err)}));
}

} // namespace vexil
