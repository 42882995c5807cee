#include "app/TPicturePreloader.h"

#include "platform/NViewLib.h"

#include <algorithm>
#include <system_error>

namespace vexil {

TPicturePreloader::TPicturePreloader(TDecoder decode)
    : Decode(decode ? std::move(decode) : TDecoder(NViewLibImage)) {
    // Two neighbours at most; more threads would only compete with the picture shown.
    Pool.setMaxThreadCount(2);
}

TPicturePreloader::~TPicturePreloader() {
    Clear();
    Pool.clear();
    Pool.waitForDone();
}

std::optional<TPicturePreloader::TStamp> TPicturePreloader::StampOf(const std::string &path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return std::nullopt;
    TStamp stamp;
    stamp.Size = std::filesystem::file_size(path, error);
    if (error)
        return std::nullopt;
    stamp.Modified = std::filesystem::last_write_time(path, error);
    if (error)
        return std::nullopt;
    return stamp;
}

void TPicturePreloader::Drop(TEntry &entry) {
    // A decode still queued is skipped; one running finishes and is thrown away.
    entry.Dropped->store(true);
}

void TPicturePreloader::Start(const std::string &path, const TStamp &stamp) {
    auto promise = std::make_shared<std::promise<QImage>>();
    auto dropped = std::make_shared<std::atomic<bool>>(false);
    Entries.push_back({path, stamp, promise->get_future().share(), dropped});
    Pool.start([decode = Decode, path, promise, dropped] {
        promise->set_value(dropped->load() ? QImage() : decode(path));
    });
}

void TPicturePreloader::Preload(const std::vector<std::string> &paths) {
    const auto unwanted = [&](TEntry &entry) {
        if (std::find(paths.begin(), paths.end(), entry.Path) != paths.end())
            return false;
        Drop(entry);
        return true;
    };
    Entries.erase(std::remove_if(Entries.begin(), Entries.end(), unwanted), Entries.end());
    for (const std::string &path : paths) {
        const bool held = std::any_of(Entries.begin(), Entries.end(),
                                      [&](const TEntry &e) { return e.Path == path; });
        if (held)
            continue;
        // A folder or a vanished file is left to the display path, which knows what to do.
        if (const std::optional<TStamp> stamp = StampOf(path))
            Start(path, *stamp);
    }
}

std::optional<QImage> TPicturePreloader::Take(const std::string &path) {
    const auto it = std::find_if(Entries.begin(), Entries.end(),
                                 [&](const TEntry &e) { return e.Path == path; });
    if (it == Entries.end())
        return std::nullopt;
    TEntry entry = std::move(*it);
    Entries.erase(it);
    Drop(entry);
    if (entry.Pixels.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return std::nullopt;
    QImage pixels = entry.Pixels.get();
    if (pixels.isNull() || StampOf(path) != entry.Stamp)
        return std::nullopt;
    return pixels;
}

void TPicturePreloader::Clear() {
    for (TEntry &entry : Entries)
        Drop(entry);
    Entries.clear();
}

void TPicturePreloader::WaitForAll() const {
    for (const TEntry &entry : Entries)
        entry.Pixels.wait();
}

} // namespace vexil
