#pragma once
// Puts together the pictures posted in several articles. A part is known by the part= and
// total= of its first yEnc header (a header without total= takes it from a subject counter
// of the same part), or else by the "(n/m)" or "[n/m]" of its subject (a uuencoded post:
// "begin" in the first part, "end" in the last). The parts of one post share
// poster, subject without the counter, and total; they may arrive in any order and in
// different runs. Each is written to disk as it arrives, into a hidden folder of the post
// under the picture folder, with what is known of the post; once all are there, their texts
// are joined in order into one article and decoded as such, and the folder goes.

#include "message/TmsArticle.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vexil {

struct TPostPart {
    std::uint32_t Number = 0; // 1-based
    std::uint32_t Total = 0;  // more than 1
    std::string Stem;         // the subject without its counter
};

class TPartJoiner {
public:
    // The folder under the picture folder where unfinished posts wait.
    static constexpr const char *PartsFolderName = ".parts";
    // No post is taken for one of more parts than this.
    static constexpr std::uint32_t MaxParts = 10000;

    explicit TPartJoiner(std::string PictureFolder);

    // The part an article is, from its subject and its text; nothing for an article that
    // stands alone.
    static std::optional<TPostPart> Recognise(std::string_view Subject, std::string_view Source);

    enum class TResult { KeptAside, Joined };

    // Keeps the text of article Number, part Part of a post by Poster. When it was the last
    // one missing, decodes the joined post into Joined and answers Joined. A part that is
    // already there is left as it is. A failed write throws (EFCreateError, EInOutError).
    TResult Add(const TPostPart &Part, std::string_view Poster, std::int32_t Number,
                std::string_view Source, TmsArticle &Joined);

    // The folder of the post that Part belongs to.
    std::string PostFolder(const TPostPart &Part, std::string_view Poster) const;

    // A post whose last part arrived this long ago is taken for one that will never be
    // complete: servers keep a picture group's articles for days, not weeks.
    static constexpr std::chrono::hours MaxKeptAsideAge{14 * 24};
    // All posts kept aside together stay within this; the oldest go first.
    static constexpr std::uintmax_t MaxKeptAsideBytes = std::uintmax_t{256} * 1024 * 1024;

    // Removes the posts kept aside beyond those bounds, as of Now; answers how many. A post
    // that cannot be removed is left for the next time: tidying up must not stop a run.
    int
    RemoveStale(std::filesystem::file_time_type Now = std::filesystem::file_time_type::clock::now(),
                std::uintmax_t MaxBytes = MaxKeptAsideBytes) const;

private:
    void WriteInfo(const std::string &Folder, const TPostPart &Part, std::string_view Poster,
                   std::int32_t Number) const;
    bool HasAllParts(const std::string &Folder, std::uint32_t Total) const;
    void Join(const std::string &Folder, std::uint32_t Total, TmsArticle &Joined) const;

    std::string partsFolder_;
};

} // namespace vexil
