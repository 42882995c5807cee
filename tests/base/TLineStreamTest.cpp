#include "base/TLineStream.h"

#include <gtest/gtest.h>

#include <vector>

namespace vexil {
namespace {

// Fills a stream the way the decoder does (write, then Reset) and reads every line up to the
// end marker.
std::vector<std::string> ReadAll(std::string_view bytes, std::uint16_t chunk = 16384) {
    TLineStream stream;
    stream.SetChunkSize(chunk);
    stream.Write(bytes);
    stream.Reset();
    std::vector<std::string> lines;
    std::string line;
    for (;;) {
        stream.ReadLine(line);
        if (stream.EndOfData())
            break;
        lines.push_back(line);
    }
    EXPECT_EQ(line, TLineStream::EndOfDataMarker);
    return lines;
}

using Lines = std::vector<std::string>;

TEST(TLineStream, TwoLinesThenTheMarkerForEver) {
    TLineStream stream;
    stream.Write("first\r\nsecond\r\n");
    stream.Reset();
    std::string line;
    stream.ReadLine(line);
    EXPECT_EQ(line, "first");
    stream.ReadLine(line);
    EXPECT_EQ(line, "second");
    EXPECT_FALSE(stream.EndOfData());
    for (int i = 0; i < 3; ++i) {
        stream.ReadLine(line);
        EXPECT_EQ(line, std::string(4, '\xFF'));
        EXPECT_TRUE(stream.EndOfData());
    }
}

TEST(TLineStream, EmptyLinesAreLinesNotTheEnd) {
    EXPECT_EQ(ReadAll("a\r\n\r\n\r\nb\r\n"), (Lines{"a", "", "", "b"}));
    EXPECT_EQ(ReadAll("\r\n"), (Lines{""}));
    EXPECT_EQ(ReadAll(""), (Lines{}));
}

TEST(TLineStream, BreaksAtCrLfLfOrCr) {
    EXPECT_EQ(ReadAll("a\nb\rc\r\nd\n\re\n"), (Lines{"a", "b", "c", "d", "", "e"}));
}

TEST(TLineStream, LineAcrossChunksIsReadWhole) {
    // Chunks of 8 bytes: the piece after each chunk's last line feed is read again.
    EXPECT_EQ(ReadAll("abc\r\ndefghij\r\nk\r\n", 8), (Lines{"abc", "defghij", "k"}));
    std::string text;
    Lines expected;
    for (int i = 0; i < 500; ++i) {
        expected.push_back(std::string(static_cast<std::size_t>(i % 37), 'a' + i % 26));
        text += expected.back() + "\r\n";
    }
    EXPECT_EQ(ReadAll(text, 64), expected);
    EXPECT_EQ(ReadAll(text, 1), expected);
}

TEST(TLineStream, LinesLongerThanAChunkAreKeptWhole) {
    const std::string longLine(40000, 'x');
    EXPECT_EQ(ReadAll("short\r\n" + longLine + "\r\nafter\r\n"),
              (Lines{"short", longLine, "after"}));
    const std::string exact(16384, 'y');
    EXPECT_EQ(ReadAll(exact + "\r\n"), (Lines{exact}));
}

TEST(TLineStream, NulBytesStayInsideTheirLine) {
    const std::string data("a\0b\r\n\0\r\nend\r\n", 12);
    EXPECT_EQ(ReadAll(data), (Lines{std::string("a\0b", 3), std::string(1, '\0'), "end"}));
}

TEST(TLineStream, LastPieceWithoutLineFeedIsNotLost) {
    EXPECT_EQ(ReadAll("one\r\ntail"), (Lines{"one", "tail"}));
    EXPECT_EQ(ReadAll("one\r\ntwo\r\nthree", 6), (Lines{"one", "two", "three"}));
}

TEST(TLineStream, CrLfSplitByAChunkEdgeIsOneBreak) {
    // The chunk ends between CR and LF; the LF must not make an extra empty line.
    EXPECT_EQ(ReadAll("abcdef\r\nxy\r\n", 7), (Lines{"abcdef", "xy"}));
}

TEST(TLineStream, ResetStartsOverAndWritingDropsHeldLines) {
    TLineStream stream;
    stream.Write("a\r\nb\r\n");
    stream.Reset();
    std::string line;
    stream.ReadLine(line);
    stream.ReadLine(line);
    stream.ReadLine(line);
    ASSERT_TRUE(stream.EndOfData());
    stream.Reset();
    EXPECT_FALSE(stream.EndOfData());
    stream.ReadLine(line);
    EXPECT_EQ(line, "a");
    stream.SetPosition(stream.Size());
    stream.Write("c\r\n");
    stream.Reset();
    stream.ReadLine(line);
    stream.ReadLine(line);
    stream.ReadLine(line);
    EXPECT_EQ(line, "c");
}

TEST(TLineStream, HighBytesPassUnchanged) {
    EXPECT_EQ(ReadAll("\xE4\xF6\xFC\xFF\r\n"), (Lines{"\xE4\xF6\xFC\xFF"}));
}

} // namespace
} // namespace vexil
