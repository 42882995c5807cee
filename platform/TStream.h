#pragma once
// Byte streams shared by the article model, the codecs and the transport: an abstract
// positioned stream, an in-memory one and one over a file. The in-memory stream is the
// buffer that a received data block is collected in and that an attachment's bytes live in.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace vexil {

class TStream {
public:
    TStream() = default;
    TStream(const TStream &) = delete;
    TStream &operator=(const TStream &) = delete;
    virtual ~TStream() = default;

    // Reads up to count bytes at the position; returns how many arrived (0 at the end).
    virtual std::size_t Read(void *buffer, std::size_t count) = 0;
    // Writes count bytes at the position or throws; never writes less.
    virtual void Write(const void *buffer, std::size_t count) = 0;
    virtual std::int64_t Size() const = 0;
    virtual std::int64_t Position() const = 0;
    // Positions are clamped to 0 .. Size().
    virtual void SetPosition(std::int64_t position) = 0;

    void Write(std::string_view bytes) { Write(bytes.data(), bytes.size()); }
    bool AtEnd() const { return Position() >= Size(); }
    // Copies everything from source's position to its end to this stream's position.
    void CopyFrom(TStream &source);
};

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::string bytes) : bytes_(std::move(bytes)) {}

    std::size_t Read(void *buffer, std::size_t count) override;
    void Write(const void *buffer, std::size_t count) override;
    using TStream::Write;
    std::int64_t Size() const override { return static_cast<std::int64_t>(bytes_.size()); }
    std::int64_t Position() const override { return static_cast<std::int64_t>(position_); }
    void SetPosition(std::int64_t position) override;

    // Empties the stream and rewinds it.
    void Clear();
    // Replaces the contents and rewinds.
    void Assign(std::string bytes);
    // Cuts or extends (with zero bytes) the contents; the position stays inside.
    void SetSize(std::int64_t size);
    std::string_view Bytes() const { return bytes_; }
    // Hands the contents out, leaving the stream empty.
    std::string Release();

    void LoadFromFile(const std::string &path);
    void SaveToFile(const std::string &path) const;

private:
    std::string bytes_;
    std::size_t position_ = 0;
};

// A file opened for reading, or created (replacing an existing one) for writing.
class TFileStream : public TStream {
public:
    enum class Mode { Read, Create };

    // Throws EFOpenError (Read) or EFCreateError (Create) with the path.
    TFileStream(const std::string &path, Mode mode);
    ~TFileStream() override;

    std::size_t Read(void *buffer, std::size_t count) override;
    // Throws EInOutError when the file system takes less than all bytes (a full disk).
    void Write(const void *buffer, std::size_t count) override;
    using TStream::Write;
    std::int64_t Size() const override;
    std::int64_t Position() const override;
    void SetPosition(std::int64_t position) override;
    // Flushes and closes; throws EInOutError when the data could not be written.
    void Close();

private:
    std::string path_;
    std::FILE *file_ = nullptr;
};

} // namespace vexil
