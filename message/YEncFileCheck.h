#pragma once
// Checks a yEnc file put together from its parts, in any order: each part against its own
// range, size and CRC, and the whole file against its size and CRC, the latter combined from
// the parts' CRCs without reading the file again.

#include "message/YEncHeader.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string_view>

namespace vexil {

enum class YEncProblem { None, SizeMismatch, CrcError };

// "size mismatch", "CRC error", or empty for None.
std::string_view YEncProblemText(YEncProblem problem);

// What one part declared and what decoding it gave. A single-part file is one part covering
// 1..size (1..0 for an empty file).
struct YEncPartData {
    YEncPart range;                       // from "=ypart"
    std::optional<std::uint64_t> endSize; // size= of "=yend"
    std::optional<std::uint32_t> pcrc32;  // pcrc32= of "=yend" (crc32= for a single part)
    std::uint64_t decodedSize = 0;
    std::uint32_t decodedCrc = 0;
};

class TYEncFileCheck {
public:
    explicit TYEncFileCheck(std::uint64_t fileSize) : fileSize_(fileSize) {}

    // Checks the part and keeps it. A part lying outside the file, one whose declared or
    // decoded size differs from its range, or one that overlaps a part already kept is a
    // size mismatch (the overlapping part is not kept; the very same part again is ignored);
    // a pcrc32 other than the decoded CRC is a CRC error.
    YEncProblem AddPart(const YEncPartData &part);

    // The whole file's crc32= as any part's "=yend" gave it; a different value later is a CRC
    // error of the file.
    void SetFileCrc(std::uint32_t crc);

    // The parts kept cover the file's bytes exactly.
    bool Complete() const;

    // The CRC of the whole file, once complete.
    std::optional<std::uint32_t> CombinedCrc() const;

    // The verdict so far: a size mismatch of any part, else a CRC error of any part or, once
    // complete, of the whole file against crc32=. Missing parts are no problem yet.
    YEncProblem Problem() const;

    // The verdict once every part is in: as Problem, and a file whose parts leave a gap is a
    // size mismatch.
    YEncProblem Finish() const;

    std::uint64_t FileSize() const { return fileSize_; }

private:
    YEncProblem AddToEmptyFile(const YEncPartData &part);

    struct Kept {
        std::uint64_t end;
        std::uint32_t crc;
    };
    std::uint64_t fileSize_;
    std::map<std::uint64_t, Kept> parts_; // by begin
    std::uint64_t covered_ = 0;
    std::optional<std::uint32_t> fileCrc_;
    bool sizeMismatch_ = false;
    bool crcError_ = false;
};

} // namespace vexil
