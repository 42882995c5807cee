#include "net/TNntpFramer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vexil {
namespace {

using TStatus = TNntpFramer::TStatus;

struct Framed {
    std::string block;
    std::string rest;
    TStatus status;
};

// Frames Wire fed in pieces of Piece bytes (0: at once) and reads the reply line after it.
Framed FrameBlock(const std::string &wire, std::size_t piece = 0) {
    TNntpFramer framer;
    framer.StartBlock();
    TStatus status = TStatus::NeedMore;
    const std::size_t step = piece == 0 ? wire.size() : piece;
    for (std::size_t at = 0; at < wire.size(); at += step) {
        framer.Feed(std::string_view(wire).substr(at, step));
        if (status == TStatus::NeedMore)
            status = framer.Frame();
    }
    Framed result{framer.TakeBlock(), {}, status};
    if (framer.TakeLine(result.rest) != TStatus::Complete)
        result.rest = "<none>";
    return result;
}

// Frames a whole file both ways, in place and copied out of bytes left unchanged, which
// must agree.
std::string Whole(std::string bytes) {
    const std::string original = bytes;
    const std::string copied = TNntpFramer::FrameWhole(std::string_view(original));
    TNntpFramer::FrameWhole(bytes);
    EXPECT_EQ(copied, bytes) << "framed from a view and framed in place differ";
    return bytes;
}

TEST(TNntpFramer, BlockIsUnstuffedAndEndsAtItsDotLineWhateverTheChunking) {
    const std::string wire = "line 1\r\n..dot\r\n...\r\n.x\r\n\r\n.\r\n223 next\r\n";
    for (std::size_t piece : {0, 1, 2, 3, 5, 7}) {
        const Framed f = FrameBlock(wire, piece);
        EXPECT_EQ(f.status, TStatus::Complete) << piece;
        EXPECT_EQ(f.block, "line 1\r\n.dot\r\n..\r\n.x\r\n\r\n") << piece;
        EXPECT_EQ(f.rest, "223 next") << piece;
    }
}

TEST(TNntpFramer, OnlyADotAtALineStartCountsAndAnEmptyBlockIsEmpty) {
    EXPECT_EQ(FrameBlock(".\r\n").block, "");
    EXPECT_EQ(FrameBlock("a.\r\n..\r\n.\r\n").block, "a.\r\n.\r\n");
    // A CR alone ends no line: the dot after it is data, and so is a lone "." followed by it.
    const Framed cr = FrameBlock("a\r.\r\n.\rb\r\n.\r\n");
    EXPECT_EQ(cr.block, "a\r.\r\n.\rb\r\n");
    // LF line ends frame the same way.
    EXPECT_EQ(FrameBlock("a\n..b\n.\nrest\n").block, "a\n.b\n");
    EXPECT_EQ(FrameBlock("a\n..b\n.\nrest\n").rest, "rest");
}

TEST(TNntpFramer, BytesPassUnchangedNulAndHighBytesIncluded) {
    const std::string data("\0\xFF\x80 x\r\n\0.\r\n", 11);
    EXPECT_EQ(FrameBlock(data + ".\r\n").block, data);
}

TEST(TNntpFramer, BlockWithoutItsEndWaitsForMore) {
    const Framed f = FrameBlock("a\r\nb\r\n.", 1);
    EXPECT_EQ(f.status, TStatus::NeedMore);
    // The dot is held back until what follows it tells what it is.
    EXPECT_EQ(f.block, "a\r\nb\r\n");
}

TEST(TNntpFramer, BlockOverItsLimitIsRefusedCountingBytesAsReceived) {
    TNntpFramer framer;
    framer.StartBlock(10);
    framer.Feed("..23456\r\n");
    EXPECT_EQ(framer.Frame(), TStatus::NeedMore);
    EXPECT_EQ(framer.BlockWireSize(), 9);
    framer.Feed(".\r\n");
    EXPECT_EQ(framer.Frame(), TStatus::TooLong);
}

TEST(TNntpFramer, FramingInStepsLeavesTheRestExaminable) {
    TNntpFramer framer;
    framer.StartBlock();
    framer.Feed("abcdef\r\n.\r\n");
    EXPECT_EQ(framer.Frame(3), TStatus::NeedMore);
    EXPECT_EQ(framer.BlockWireSize(), 3);
    EXPECT_EQ(framer.Unexamined(), 8u);
    EXPECT_EQ(framer.Frame(), TStatus::Complete);
    EXPECT_EQ(framer.Unexamined(), 0u);
    EXPECT_EQ(framer.TakeBlock(), "abcdef\r\n");
}

TEST(TNntpFramer, PassedOnBytesAreDroppedAndTheBlockGoesOn) {
    TNntpFramer framer;
    framer.StartBlock();
    std::string passed;
    for (const char *piece : {"one\r\n.", ".two\r\n", ".\r", "\n201 x\r\n"}) {
        framer.Feed(piece);
        const TStatus status = framer.Frame();
        passed += framer.Block();
        framer.DropBlock();
        EXPECT_EQ(status == TStatus::Complete, std::string(piece).front() == '\n') << piece;
    }
    EXPECT_EQ(passed, "one\r\n.two\r\n");
    std::string line;
    EXPECT_EQ(framer.TakeLine(line), TStatus::Complete);
    EXPECT_EQ(line, "201 x");
}

TEST(TNntpFramer, ReplyLinesEndAtLineFeedWithTheirBreakRemoved) {
    TNntpFramer framer;
    std::string line;
    framer.Feed("200 hello\r");
    EXPECT_EQ(framer.TakeLine(line), TStatus::NeedMore);
    framer.Feed("\n.\r\n211 x\n");
    EXPECT_EQ(framer.TakeLine(line), TStatus::Complete);
    EXPECT_EQ(line, "200 hello");
    // Outside a block a "." line is just a line.
    EXPECT_EQ(framer.TakeLine(line), TStatus::Complete);
    EXPECT_EQ(line, ".");
    EXPECT_EQ(framer.TakeLine(line), TStatus::Complete);
    EXPECT_EQ(line, "211 x");
    EXPECT_EQ(framer.TakeLine(line), TStatus::NeedMore);
    EXPECT_EQ(framer.Pending(), 0u);
}

TEST(TNntpFramer, ReplyLineOfTheLimitPassesAndOneByteMoreIsRefused) {
    const std::string longest(TNntpFramer::MaxReplyLine, 'x');
    for (bool split : {false, true}) {
        TNntpFramer framer;
        std::string line;
        framer.Feed(longest + "\r");
        if (split) {
            EXPECT_EQ(framer.TakeLine(line), TStatus::NeedMore);
        }
        framer.Feed("\n");
        EXPECT_EQ(framer.TakeLine(line), TStatus::Complete);
        EXPECT_EQ(line.size(), TNntpFramer::MaxReplyLine);

        TNntpFramer over;
        over.Feed(longest + "y");
        EXPECT_EQ(over.TakeLine(line), TStatus::TooLong);
        over.Feed("\r\n");
        EXPECT_EQ(over.TakeLine(line), TStatus::TooLong);
    }
}

TEST(TNntpFramer, WholeFileInTheServersForm) {
    EXPECT_EQ(Whole("H: 1\r\n\r\n..a\r\n.\r\n"), "H: 1\r\n\r\n.a\r\n");
    // Without the "." line, or with it lacking its line break.
    EXPECT_EQ(Whole("H: 1\r\n\r\n..a\r\n"), "H: 1\r\n\r\n.a\r\n");
    EXPECT_EQ(Whole("H: 1\n\n..a\n."), "H: 1\n\n.a\n");
    EXPECT_EQ(Whole("H: 1\n\n..a\n.\r"), "H: 1\n\n.a\n");
    // The last line without a line end is kept.
    EXPECT_EQ(Whole("H: 1\n\nlast"), "H: 1\n\nlast");
    EXPECT_EQ(Whole("H: 1\n\n.last"), "H: 1\n\n.last");
    // What follows the "." line is no part of the article.
    EXPECT_EQ(Whole("a\n.\nafter\n"), "a\n");
    EXPECT_EQ(Whole(""), "");
    EXPECT_EQ(Whole("."), "");
    EXPECT_EQ(Whole(".."), ".");
    EXPECT_EQ(Whole(".\rx\n"), ".\rx\n");
    EXPECT_EQ(Whole("\n\n"), "\n\n");
}

TEST(TNntpFramer, LargeWholeFileFramesAsTheBlockReceivedInPieces) {
    // Long enough that the copy is made in many pieces, with dot lines on either side of
    // their seams, lines far longer than a piece, and a final line without a line end.
    std::string wire;
    for (int i = 0; i < 4000; ++i) {
        if (i % 97 == 0)
            wire += "..stuffed " + std::to_string(i) + "\r\n";
        else if (i % 331 == 0)
            wire += ".plain\r\n";
        else if (i % 1000 == 999)
            wire += std::string(40000, 'L') + "\n";
        else
            wire += std::string(60, static_cast<char>('A' + i % 26)) + "\r\n";
    }
    wire += ".last line";
    const std::string whole = Whole(wire);
    const Framed received = FrameBlock(wire + "\r\n.\r\n", 4093);
    EXPECT_EQ(received.status, TStatus::Complete);
    EXPECT_EQ(whole + "\r\n", received.block);
    EXPECT_EQ(Whole(wire + "\r\n.\r\nnot part of it\r\n"), whole + "\r\n");
}

TEST(TNntpFramer, BuffersAreReusedAcrossManyBlocks) {
    TNntpFramer framer;
    std::string line;
    for (int i = 0; i < 200; ++i) {
        framer.Feed("220 " + std::to_string(i) + "\r\n" + std::string(1000, 'a') + "\r\n.\r\n");
        ASSERT_EQ(framer.TakeLine(line), TStatus::Complete);
        EXPECT_EQ(line, "220 " + std::to_string(i));
        framer.StartBlock();
        ASSERT_EQ(framer.Frame(), TStatus::Complete);
        EXPECT_EQ(framer.TakeBlock().size(), 1002u);
    }
    EXPECT_EQ(framer.Pending(), 0u);
}

} // namespace
} // namespace vexil
