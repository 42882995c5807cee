#include "browse/TPartJoiner.h"

#include "browse/SubjectPartCounter.h"
#include "message/AttachmentFile.h"
#include "message/YEncHeader.h"
#include "platform/Exception.h"
#include "platform/TStream.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

namespace vexil {

namespace fs = std::filesystem;

namespace {

// The first "=ybegin" line of the body: the one that says which part the article is.
std::optional<YEncBegin> FirstYEncBegin(std::string_view Source) {
    std::size_t at = Source.starts_with("=ybegin ") ? 0 : Source.find("\n=ybegin ");
    if (at == std::string_view::npos)
        return std::nullopt;
    if (Source[at] == '\n')
        ++at;
    const std::size_t end = Source.find('\n', at);
    return ParseYEncBegin(Source.substr(at, end == std::string_view::npos ? end : end - at));
}

// Where the body starts: after the empty line that ends the header block.
std::size_t BodyStart(std::string_view Text) {
    const std::size_t crlf = Text.find("\r\n\r\n");
    const std::size_t lf = Text.find("\n\n");
    if (crlf != std::string_view::npos && (lf == std::string_view::npos || crlf < lf))
        return crlf + 4;
    return lf == std::string_view::npos ? Text.size() : lf + 2;
}

// A name made of hex digits only, so that nothing a poster wrote reaches the file system.
std::string PostKey(std::string_view Poster, const TPostPart &Part) {
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a
    const std::string key =
        std::string(Poster) + '\n' + Part.Stem + '\n' + std::to_string(Part.Total);
    for (const char c : key) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

std::string PartFile(const std::string &Folder, std::uint32_t Number) {
    return Folder + "/part." + std::to_string(Number);
}

std::string ReadWholeFile(const std::string &Path) {
    std::ifstream in(Path, std::ios::binary);
    if (!in)
        throw EFOpenError(Path);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw EInOutError("Cannot read " + Path);
    return text;
}

// One line of the info file: line breaks a poster put in would start lines of their own.
std::string OneLine(std::string_view Text) {
    std::string line(Text);
    for (char &c : line)
        if (c == '\r' || c == '\n')
            c = ' ';
    return line;
}

// A post kept aside: its folder, when its last part arrived, and what it holds.
struct TKeptPost {
    fs::path Folder;
    fs::file_time_type Newest;
    std::uintmax_t Bytes = 0;
};

std::vector<TKeptPost> KeptPosts(const std::string &PartsFolder) {
    std::vector<TKeptPost> posts;
    std::error_code error;
    for (fs::directory_iterator it(PartsFolder, error), end; !error && it != end;
         it.increment(error)) {
        TKeptPost post{it->path(), fs::file_time_type::min(), 0};
        std::error_code fileError;
        for (fs::directory_iterator file(post.Folder, fileError); !fileError && file != end;
             file.increment(fileError)) {
            std::error_code statError;
            const auto time = file->last_write_time(statError);
            if (!statError && time > post.Newest)
                post.Newest = time;
            const auto size = file->file_size(statError);
            if (!statError)
                post.Bytes += size;
        }
        posts.push_back(std::move(post));
    }
    return posts;
}

} // namespace

int TPartJoiner::RemoveStale(fs::file_time_type Now, std::uintmax_t MaxBytes) const {
    std::vector<TKeptPost> posts = KeptPosts(partsFolder_);
    std::sort(posts.begin(), posts.end(),
              [](const TKeptPost &a, const TKeptPost &b) { return a.Newest > b.Newest; });
    // The newest posts are kept while they are young enough and fit the bound; from the
    // first that does not on, every older one goes too.
    std::uintmax_t kept = 0;
    bool full = false;
    int removed = 0;
    for (const TKeptPost &post : posts) {
        // A folder with no file in it (a run cut short) has no time, and nothing to keep.
        const bool old =
            post.Newest == fs::file_time_type::min() || Now - post.Newest > MaxKeptAsideAge;
        full = full || old || kept + post.Bytes > MaxBytes;
        if (!full) {
            kept += post.Bytes;
            continue;
        }
        std::error_code error;
        fs::remove_all(post.Folder, error);
        removed += error ? 0 : 1;
    }
    std::error_code ignored;
    fs::remove(partsFolder_, ignored); // only when no post waits there any more
    return removed;
}

TPartJoiner::TPartJoiner(std::string PictureFolder)
    : partsFolder_(std::move(PictureFolder) + "/" + PartsFolderName) {}

std::optional<TPostPart> TPartJoiner::Recognise(std::string_view Subject, std::string_view Source) {
    const auto counter = ParseSubjectPart(Subject);
    TPostPart part;
    part.Stem = counter ? counter->Stem : std::string(Subject);
    const auto begin = FirstYEncBegin(Source.substr(BodyStart(Source)));
    if (begin && begin->part) {
        part.Number = *begin->part;
        // Older posters leave total= out. The subject's counter stands in only when it
        // counts the same part: "[1/5] - "name" yEnc" counts the files of a set, not parts.
        if (begin->total)
            part.Total = *begin->total;
        else if (counter && counter->Number == part.Number)
            part.Total = counter->Total;
    } else if (counter) {
        part.Number = counter->Number;
        part.Total = counter->Total;
    }
    if (part.Total < 2 || part.Total > MaxParts || part.Number < 1 || part.Number > part.Total)
        return std::nullopt;
    return part;
}

std::string TPartJoiner::PostFolder(const TPostPart &Part, std::string_view Poster) const {
    return partsFolder_ + "/" + PostKey(Poster, Part);
}

TPartJoiner::TResult TPartJoiner::Add(const TPostPart &Part, std::string_view Poster,
                                      std::int32_t Number, std::string_view Source,
                                      TmsArticle &Joined) {
    const std::string folder = PostFolder(Part, Poster);
    const std::string path = PartFile(folder, Part.Number);
    std::error_code error;
    fs::create_directories(folder, error);
    if (error)
        throw EFCreateError(folder);
    if (fs::exists(path))
        return TResult::KeptAside; // the same part again: the first copy stays
    // Written aside and moved into place, so that a run cut short leaves no half part.
    fs::rename(WriteTempFile(folder + "/", path, Source), path, error);
    if (error)
        throw EFCreateError(path);
    WriteInfo(folder, Part, Poster, Number);
    if (!HasAllParts(folder, Part.Total))
        return TResult::KeptAside;
    Join(folder, Part.Total, Joined);
    return TResult::Joined;
}

void TPartJoiner::WriteInfo(const std::string &Folder, const TPostPart &Part,
                            std::string_view Poster, std::int32_t Number) const {
    const std::string path = Folder + "/info";
    const bool first = !fs::exists(path);
    std::ofstream out(path, std::ios::binary | std::ios::app);
    if (!out)
        throw EFCreateError(path);
    if (first)
        out << "Poster: " << OneLine(Poster) << "\nSubject: " << OneLine(Part.Stem)
            << "\nTotal: " << Part.Total << "\n";
    out << "Part " << Part.Number << ": article " << Number << "\n";
    if (!out.flush())
        throw EInOutError("Cannot write " + path);
}

bool TPartJoiner::HasAllParts(const std::string &Folder, std::uint32_t Total) const {
    for (std::uint32_t n = 1; n <= Total; ++n)
        if (!fs::exists(PartFile(Folder, n)))
            return false;
    return true;
}

void TPartJoiner::Join(const std::string &Folder, std::uint32_t Total, TmsArticle &Joined) const {
    // The header block of the first part, then every part's body in order: one article that
    // the decoder reads as if it had been posted whole.
    std::string text;
    for (std::uint32_t n = 1; n <= Total; ++n) {
        const std::string part = ReadWholeFile(PartFile(Folder, n));
        const std::size_t body = BodyStart(part);
        text.append(n == 1 ? std::string_view(part) : std::string_view(part).substr(body));
        if (!text.empty() && text.back() != '\n')
            text += "\r\n";
    }
    Joined.Clear();
    TMemoryStream stream(std::move(text));
    Joined.LoadFromStream(stream);
    std::error_code ignored; // a folder left behind is joined again by no one, and harmless
    fs::remove_all(Folder, ignored);
    fs::remove(partsFolder_, ignored); // only when no other post waits there
}

} // namespace vexil
