#pragma once
// Decodes the pictures beside the one shown ahead of time, so that Forward and Back find
// their pixels ready. Holds the pixels of at most the paths it was last asked for; pixels
// are handed out only while the file is still the one that was decoded.

#include <QImage>
#include <QThreadPool>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vexil {

class TPicturePreloader {
public:
    using TDecoder = std::function<QImage(const std::string &)>;

    // decode runs on worker threads; by default the image library's full-size decode.
    explicit TPicturePreloader(TDecoder decode = {});
    ~TPicturePreloader();
    TPicturePreloader(const TPicturePreloader &) = delete;
    TPicturePreloader &operator=(const TPicturePreloader &) = delete;

    // Starts decoding every path not held yet and drops every held one not among paths.
    void Preload(const std::vector<std::string> &paths);
    // The pixels of path when their decode has finished and the file has kept its size and
    // modification time since; otherwise nothing. The entry is given up in either case.
    std::optional<QImage> Take(const std::string &path);
    void Clear();
    // How many pictures are held or being decoded.
    std::size_t Held() const { return Entries.size(); }
    // Blocks until every held decode has finished.
    void WaitForAll() const;

private:
    struct TStamp {
        std::uintmax_t Size = 0;
        std::filesystem::file_time_type Modified;
        bool operator==(const TStamp &) const = default;
    };
    struct TEntry {
        std::string Path;
        TStamp Stamp;
        std::shared_future<QImage> Pixels;
        std::shared_ptr<std::atomic<bool>> Dropped;
    };
    static std::optional<TStamp> StampOf(const std::string &path);
    void Start(const std::string &path, const TStamp &stamp);
    static void Drop(TEntry &entry);

    TDecoder Decode;
    std::vector<TEntry> Entries;
    QThreadPool Pool;
};

} // namespace vexil
