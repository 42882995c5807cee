#include "message/YEncFileCheck.h"

#include "message/Crc32.h"

#include <iterator>

namespace vexil {

std::string_view YEncProblemText(YEncProblem problem) {
    switch (problem) {
    case YEncProblem::SizeMismatch:
        return "size mismatch";
    case YEncProblem::CrcError:
        return "CRC error";
    default:
        return {};
    }
}

YEncProblem TYEncFileCheck::AddPart(const YEncPartData &part) {
    const YEncPart &r = part.range;
    if (fileSize_ == 0)
        return AddToEmptyFile(part);
    if (r.begin == 0 || r.end < r.begin || r.end > fileSize_ || part.decodedSize != r.Size() ||
        (part.endSize && *part.endSize != r.Size())) {
        sizeMismatch_ = true;
        return YEncProblem::SizeMismatch;
    }
    // The part kept just before this one, and the one just after, must not reach into it.
    auto next = parts_.lower_bound(r.begin);
    if (next != parts_.end() && next->first == r.begin && next->second.end == r.end &&
        next->second.crc == part.decodedCrc)
        return YEncProblem::None;
    const bool overlapsNext = next != parts_.end() && next->first <= r.end;
    const bool overlapsPrevious = next != parts_.begin() && std::prev(next)->second.end >= r.begin;
    if (overlapsNext || overlapsPrevious) {
        sizeMismatch_ = true;
        return YEncProblem::SizeMismatch;
    }
    parts_.emplace(r.begin, Kept{r.end, part.decodedCrc});
    covered_ += r.Size();
    if (part.pcrc32 && *part.pcrc32 != part.decodedCrc) {
        crcError_ = true;
        return YEncProblem::CrcError;
    }
    return YEncProblem::None;
}

// An empty file has no byte for a part to cover: its one part, 1..0, must be empty too.
YEncProblem TYEncFileCheck::AddToEmptyFile(const YEncPartData &part) {
    if (part.range.begin > 1 || part.range.end > 0 || part.decodedSize > 0 ||
        part.endSize.value_or(0) > 0) {
        sizeMismatch_ = true;
        return YEncProblem::SizeMismatch;
    }
    if (part.pcrc32 && *part.pcrc32 != part.decodedCrc) {
        crcError_ = true;
        return YEncProblem::CrcError;
    }
    return YEncProblem::None;
}

void TYEncFileCheck::SetFileCrc(std::uint32_t crc) {
    if (fileCrc_ && *fileCrc_ != crc)
        crcError_ = true;
    if (!fileCrc_)
        fileCrc_ = crc;
}

bool TYEncFileCheck::Complete() const {
    // Parts never overlap, so bytes covered equal to the size means no gap either.
    return covered_ == fileSize_;
}

std::optional<std::uint32_t> TYEncFileCheck::CombinedCrc() const {
    if (!Complete())
        return std::nullopt;
    std::uint32_t crc = 0;
    for (const auto &[begin, kept] : parts_)
        crc = Crc32Combine(crc, kept.crc, kept.end - begin + 1);
    return crc;
}

YEncProblem TYEncFileCheck::Problem() const {
    if (sizeMismatch_)
        return YEncProblem::SizeMismatch;
    if (crcError_)
        return YEncProblem::CrcError;
    const auto combined = CombinedCrc();
    if (combined && fileCrc_ && *combined != *fileCrc_)
        return YEncProblem::CrcError;
    return YEncProblem::None;
}

YEncProblem TYEncFileCheck::Finish() const {
    const YEncProblem problem = Problem();
    if (problem == YEncProblem::None && !Complete())
        return YEncProblem::SizeMismatch;
    return problem;
}

} // namespace vexil
