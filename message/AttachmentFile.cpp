#include "message/AttachmentFile.h"

#include "message/HeaderText.h"
#include "platform/Exception.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vexil {

namespace {

// Longest file name most Linux file systems take.
constexpr std::size_t kNameMax = 255;

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7f;
}

bool IsPlainExtension(std::string_view ext) {
    return !ext.empty() && std::all_of(ext.begin(), ext.end(), [](unsigned char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    });
}

mode_t CreationMode() {
    // What fopen would give a new file: 0666 less the umask.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

[[noreturn]] void WriteFailed(const std::string &path, int err) {
    throw EInOutError(FormatText("Cannot write file %s: %s", {path, std::strerror(err)}));
}

// True when the regular file at path holds exactly bytes. Read in bounded chunks, without
// following a symbolic link.
bool HoldsBytes(const std::string &path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    char chunk[65536];
    std::size_t at = 0;
    bool same = true;
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            same = n == 0 && at == bytes.size();
            break;
        }
        const auto got = static_cast<std::size_t>(n);
        if (got > bytes.size() - at || bytes.compare(at, got, std::string_view(chunk, got)) != 0) {
            same = false;
            break;
        }
        at += got;
    }
    ::close(fd);
    return same;
}

enum class Slot { Free, Same, Taken };

Slot Examine(const std::string &path, std::string_view bytes) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return Slot::Free;
        throw EFCreateError(path);
    }
    if (S_ISREG(st.st_mode) && static_cast<std::size_t>(st.st_size) == bytes.size() &&
        HoldsBytes(path, bytes))
        return Slot::Same;
    return Slot::Taken;
}

// The temporary file of a save, removed unless it was moved into place.
struct TTempFile {
    std::string Path;
    TTempFile() = default;
    TTempFile(const TTempFile &) = delete;
    TTempFile &operator=(const TTempFile &) = delete;
    ~TTempFile() {
        if (!Path.empty())
            ::unlink(Path.c_str());
    }
};

// Moves temp to path unless path exists meanwhile; false when it does.
bool PlaceWithoutReplacing(TTempFile &temp, const std::string &path) {
    if (::link(temp.Path.c_str(), path.c_str()) == 0)
        return true; // the guard removes the temporary name
    if (errno == EEXIST)
        return false;
    // A file system without hard links: the check just made has to do.
    if ((errno == EPERM || errno == ENOTSUP || errno == EMLINK || errno == ENOSYS) &&
        ::rename(temp.Path.c_str(), path.c_str()) == 0) {
        temp.Path.clear();
        return true;
    }
    throw EFCreateError(path);
}

} // namespace

std::string UsableFileName(std::string_view fileName, int index) {
    const std::string_view part = FileNamePart(fileName);
    if (part.empty() || part == "." || part == ".." || part.find('\0') != std::string_view::npos) {
        std::string generated = "att." + std::to_string(index);
        const std::size_t dot = part.rfind('.');
        if (dot != std::string_view::npos && IsPlainExtension(part.substr(dot + 1)))
            generated += part.substr(dot);
        return generated.substr(0, kNameMax);
    }
    std::string name(part.substr(0, kNameMax));
    std::replace_if(
        name.begin(), name.end(), [](char c) { return IsControl(c); }, '_');
    return name;
}

std::string NumberedFileName(std::string_view name, int n) {
    const std::size_t dot = name.rfind('.');
    std::string_view stem = name.substr(0, dot);
    std::string_view ext = dot == std::string_view::npos ? std::string_view() : name.substr(dot);
    const std::string number = " (" + std::to_string(n) + ")";
    if (number.size() + ext.size() > kNameMax)
        ext = {}; // an extension that long is no extension a picture has
    stem = stem.substr(0, std::min(stem.size(), kNameMax - number.size() - ext.size()));
    return std::string(stem) + number + std::string(ext);
}

std::string WriteTempFile(const std::string &folder, const std::string &path,
                          std::string_view bytes) {
    std::string temp = folder + ".vexil-save-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        throw EFCreateError(path);
    auto fail = [&](int err) {
        ::close(fd);
        ::unlink(temp.c_str());
        WriteFailed(path, err);
    };
    const char *p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail(n < 0 ? errno : ENOSPC);
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::fchmod(fd, CreationMode()) != 0)
        fail(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        WriteFailed(path, err);
    }
    return temp;
}

std::optional<std::string> SaveUnderFreeName(std::string_view folder, std::string_view name,
                                             std::string_view bytes) {
    const std::string base = AddBackslash(folder);
    TTempFile temp;
    for (int n = 1; n > 0;) {
        const std::string path = base + (n == 1 ? std::string(name) : NumberedFileName(name, n));
        const Slot slot = Examine(path, bytes);
        if (slot == Slot::Same)
            return std::nullopt;
        if (slot == Slot::Taken) {
            ++n;
            continue;
        }
        if (temp.Path.empty())
            temp.Path = WriteTempFile(base, path, bytes);
        // Taken between the look and the move: that name is looked at again.
        if (PlaceWithoutReplacing(temp, path))
            return path;
    }
    throw EFCreateError(base + std::string(name));
}

} // namespace vexil
