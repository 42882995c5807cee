// The per-file check of yEnc parts: ranges, sizes, part CRCs and the whole file's CRC
// combined from the parts, with the parts coming in any order.
#include "message/YEncFileCheck.h"
#include "message/Crc32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace vexil;

namespace {

class YEncFileCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::mt19937 rng(5);
        file_.resize(10000);
        for (auto &c : file_)
            c = static_cast<char>(rng());
        for (std::uint64_t begin = 1; begin <= file_.size(); begin += 3000)
            parts_.push_back(Part(begin, std::min<std::uint64_t>(begin + 2999, file_.size())));
    }

    // A part as a sound post gives it.
    YEncPartData Part(std::uint64_t begin, std::uint64_t end) const {
        YEncPartData p;
        p.range = {begin, end};
        p.endSize = end - begin + 1;
        p.decodedSize = end - begin + 1;
        p.decodedCrc = Crc32(std::string_view(file_).substr(begin - 1, end - begin + 1));
        p.pcrc32 = p.decodedCrc;
        return p;
    }

    std::string file_;
    std::vector<YEncPartData> parts_;
};

} // namespace

TEST_F(YEncFileCheckTest, PartsInAnyOrderGiveTheWholeFilesCrc) {
    std::mt19937 rng(1);
    for (int round = 0; round < 5; ++round) {
        std::shuffle(parts_.begin(), parts_.end(), rng);
        TYEncFileCheck check(file_.size());
        check.SetFileCrc(Crc32(file_));
        for (std::size_t i = 0; i < parts_.size(); ++i) {
            EXPECT_FALSE(check.Complete());
            EXPECT_EQ(check.Finish(), YEncProblem::SizeMismatch);
            EXPECT_EQ(check.AddPart(parts_[i]), YEncProblem::None);
            EXPECT_EQ(check.Problem(), YEncProblem::None);
        }
        EXPECT_TRUE(check.Complete());
        EXPECT_EQ(check.CombinedCrc(), Crc32(file_));
        EXPECT_EQ(check.Finish(), YEncProblem::None);
    }
}

TEST_F(YEncFileCheckTest, WrongFileCrcOrPartCrcIsACrcError) {
    TYEncFileCheck whole(file_.size());
    whole.SetFileCrc(Crc32(file_) ^ 1);
    for (const auto &p : parts_)
        EXPECT_EQ(whole.AddPart(p), YEncProblem::None);
    EXPECT_EQ(whole.Finish(), YEncProblem::CrcError);
    EXPECT_EQ(YEncProblemText(whole.Finish()), "CRC error");

    TYEncFileCheck part(file_.size());
    parts_[1].decodedCrc ^= 0x80;
    EXPECT_EQ(part.AddPart(parts_[1]), YEncProblem::CrcError);
    EXPECT_EQ(part.Problem(), YEncProblem::CrcError);

    // Two "=yend" lines that disagree on the file's CRC.
    TYEncFileCheck conflict(file_.size());
    conflict.SetFileCrc(1);
    conflict.SetFileCrc(2);
    EXPECT_EQ(conflict.Problem(), YEncProblem::CrcError);
}

TEST_F(YEncFileCheckTest, WithoutCrcsOnlySizesAreChecked) {
    TYEncFileCheck check(file_.size());
    for (auto p : parts_) {
        p.pcrc32.reset();
        p.decodedCrc ^= 1; // nothing to hold it against but the file's CRC, which is missing
        EXPECT_EQ(check.AddPart(p), YEncProblem::None);
    }
    EXPECT_EQ(check.Finish(), YEncProblem::None);
}

TEST_F(YEncFileCheckTest, SizesThatDisagreeAreASizeMismatch) {
    const auto rejects = [&](YEncPartData p) {
        TYEncFileCheck check(file_.size());
        const YEncProblem problem = check.AddPart(p);
        return problem == YEncProblem::SizeMismatch && check.Problem() == problem &&
               YEncProblemText(problem) == "size mismatch";
    };
    YEncPartData p = parts_[1];
    p.endSize = *p.endSize + 1; // "=yend size=" against begin/end
    EXPECT_TRUE(rejects(p));
    p = parts_[1];
    p.decodedSize -= 1; // fewer bytes than the range
    EXPECT_TRUE(rejects(p));
    EXPECT_FALSE(rejects(Part(9000, 10000)));
    p = Part(9000, 10000);
    p.range.end = 10001; // past the end of the file
    p.endSize = p.decodedSize = 1002;
    EXPECT_TRUE(rejects(p));
}

TEST_F(YEncFileCheckTest, RepeatedAndOverlappingParts) {
    TYEncFileCheck check(file_.size());
    for (const auto &p : parts_)
        ASSERT_EQ(check.AddPart(p), YEncProblem::None);
    // The very same part again (a repost) changes nothing.
    EXPECT_EQ(check.AddPart(parts_[2]), YEncProblem::None);
    EXPECT_EQ(check.Finish(), YEncProblem::None);
    // A part reaching into another is not kept.
    EXPECT_EQ(check.AddPart(Part(2990, 3010)), YEncProblem::SizeMismatch);
    EXPECT_EQ(check.CombinedCrc(), Crc32(file_));
    EXPECT_EQ(check.Problem(), YEncProblem::SizeMismatch);

    TYEncFileCheck gap(file_.size());
    gap.AddPart(parts_[0]);
    gap.AddPart(parts_[2]);
    EXPECT_EQ(gap.AddPart(Part(3000, 3000)), YEncProblem::SizeMismatch);
    EXPECT_EQ(gap.AddPart(Part(6001, 6001)), YEncProblem::SizeMismatch);
    EXPECT_EQ(gap.AddPart(Part(3001, 6000)), YEncProblem::None);
}

TEST(YEncFileCheckEmptyTest, AnEmptyFileIsOneEmptyPart) {
    YEncPartData empty;
    empty.range = {1, 0};
    empty.endSize = 0;
    empty.pcrc32 = 0;
    TYEncFileCheck check(0);
    check.SetFileCrc(0);
    EXPECT_EQ(check.AddPart(empty), YEncProblem::None);
    EXPECT_EQ(check.Finish(), YEncProblem::None);
    EXPECT_EQ(check.CombinedCrc(), 0u);

    YEncPartData stray = empty;
    stray.decodedSize = 1;
    EXPECT_EQ(TYEncFileCheck(0).AddPart(stray), YEncProblem::SizeMismatch);
    TYEncFileCheck wrongCrc(0);
    wrongCrc.SetFileCrc(0x1234);
    wrongCrc.AddPart(empty);
    EXPECT_EQ(wrongCrc.Finish(), YEncProblem::CrcError);
}
