// The yEnc body decoder, every kernel against the scalar one and against the bytes encoded:
// escapes, line ends, lines of any length, a leading dot, and where it stops.
#include "YEncTestSupport.h"

#include "message/Crc32.h"
#include "message/YEncEncoder.h"

#include <gtest/gtest.h>

#include <random>

using namespace vexil;
using namespace vexil::test;

namespace {} // namespace

TEST(YEncDecoderTest, RoundTripAtManyLineLengths) {
    for (const std::size_t lineLength : {1, 2, 3, 15, 16, 17, 31, 32, 33, 128, 997, 1 << 20}) {
        for (const std::size_t size : {0, 1, 2, 31, 32, 33, 127, 128, 129, 5000, 70001}) {
            const std::string bytes = RandomBytes(size, static_cast<unsigned>(size + lineLength));
            const std::string text = YEncEncode(bytes, lineLength);
            const Decoded d = DecodeAll(text);
            ASSERT_TRUE(d.bytes == bytes) << "line " << lineLength << ", size " << size;
            EXPECT_EQ(d.result.crc, Crc32(bytes));
            EXPECT_EQ(d.result.consumed, text.size());
            EXPECT_EQ(d.result.stop, YEncStop::InputEnd);
        }
    }
}

// Runs of bytes that all need escapes, and data around a multiple of the checksum window.
TEST(YEncDecoderTest, DenseEscapesAndLargeInput) {
    std::string critical;
    for (int i = 0; i < 4000; ++i)
        critical +=
            static_cast<char>("\xd6\xe0\xe3\x13\xdf\xf6\x04"[i % 7]); // 0, LF, CR, =, TAB, blank, .
    EXPECT_TRUE(DecodeAll(YEncEncode(critical)).bytes == critical);
    const std::string big = RandomBytes(3 << 20, 9);
    const Decoded d = DecodeAll(YEncEncode(big));
    EXPECT_TRUE(d.bytes == big);
    EXPECT_EQ(d.result.crc, Crc32(big));
}

TEST(YEncDecoderTest, EveryEscapedByteAndBareCriticalBytes) {
    std::string text, expected;
    for (int c = 0; c < 256; ++c) {
        if (c == '\r' || c == '\n')
            continue;
        text += '=';
        text += static_cast<char>(c);
        expected += static_cast<char>(c - 106);
    }
    EXPECT_TRUE(DecodeAll(text).bytes == expected);
    // Bytes an encoder should have escaped are data all the same.
    const std::string bare("\0\t ab\x01", 6);
    EXPECT_EQ(DecodeAll(bare).bytes, HandDecoded(bare));
}

TEST(YEncDecoderTest, LineEndsDroppedBlankAndTabAtLineEndKept) {
    const std::string line = "abc \t";
    const std::string expected =
        HandDecoded(line) + HandDecoded(line) + HandDecoded(line) + HandDecoded(line);
    EXPECT_EQ(DecodeAll(line + "\r\n" + line + "\n" + line + "\r" + line).bytes, expected);
    EXPECT_EQ(DecodeAll("\r\n\n\r\r\n").bytes, "");
}

TEST(YEncDecoderTest, EscapeAtTheEndOfALineTakesTheNextLinesFirstByte) {
    for (const std::string &pad : {std::string(), std::string(30, 'k'), std::string(61, 'k')}) {
        const Decoded d = DecodeAll(pad + "ab=\r\ncd\r\n");
        EXPECT_EQ(d.bytes, HandDecoded(pad) + HandDecoded("ab") + static_cast<char>('c' - 106) +
                               HandDecoded("d"));
        // Before a keyword line, and at the end of the input, the escape has nothing to take.
        EXPECT_EQ(DecodeAll(pad + "ab=\r\n=yend size=2\r\n").bytes,
                  HandDecoded(pad) + HandDecoded("ab"));
        EXPECT_EQ(DecodeAll(pad + "ab=").bytes, HandDecoded(pad) + HandDecoded("ab"));
    }
}

TEST(YEncDecoderTest, StopsAtAKeywordLineOnly) {
    const std::string data = YEncEncode(RandomBytes(1000, 3));
    const std::string text = data + "=yend size=1000 crc32=0\r\n" + "more";
    const Decoded d = DecodeAll(text);
    EXPECT_EQ(d.result.stop, YEncStop::KeywordLine);
    EXPECT_EQ(d.result.consumed, data.size());
    EXPECT_EQ(d.bytes.size(), 1000u);
    // "=y" inside a line is an escaped "y"; "=" at a line start is an escape like any other.
    EXPECT_EQ(DecodeAll("a=yb\r\n=}c\r\n").bytes, HandDecoded("a") + static_cast<char>('y' - 106) +
                                                      HandDecoded("b") + '\x13' + HandDecoded("c"));
    EXPECT_EQ(DecodeAll("=ypart begin=1 end=2\r\n").result.consumed, 0u);
}

// The framer undoes the server's dot-stuffing; after it a leading dot is data like any byte.
TEST(YEncDecoderTest, LeadingDotsAfterFramingAreData) {
    // An escaped dot ("=n") and a bare one, each at the start of a line.
    const std::string stored = "=nab\r\n.cd\r\n..e\r\n";
    const std::string wire = ServerForm(stored);
    ASSERT_EQ(wire, "=nab\r\n..cd\r\n...e\r\n.\r\n");
    const Decoded d = DecodeAll(Framed(wire));
    EXPECT_EQ(d.bytes, std::string(1, '\x04') + HandDecoded("ab.cd..e"));
    EXPECT_EQ(d.result.stop, YEncStop::InputEnd);
    EXPECT_EQ(DecodeAll(".\r\n").bytes, HandDecoded("."));
    // Bytes that encode to "." (4) at many line starts.
    std::string bytes = RandomBytes(200000, 11);
    for (std::size_t i = 0; i < bytes.size(); i += 61)
        bytes[i] = '\x04';
    for (const std::size_t lineLength : {61, 128}) {
        const Decoded e = DecodeAll(Framed(ServerForm(YEncEncode(bytes, lineLength))));
        EXPECT_TRUE(e.bytes == bytes) << lineLength;
        EXPECT_EQ(e.result.crc, Crc32(bytes));
    }
}

// Random text over the bytes that matter to the decoder, at random offsets against the
// vector blocks: every kernel must agree with the scalar one.
TEST(YEncDecoderTest, KernelsAgreeOnArbitraryText) {
    std::mt19937 rng(77);
    const char alphabet[] = {'=', '=',  '\r', '\n', '\n', '.', 'y', 'a',
                             'b', '\t', ' ',  '\0', 'z',  'q', 'r', 's'};
    for (int round = 0; round < 3000; ++round) {
        std::string text(rng() % 200, '\0');
        for (auto &c : text)
            c = rng() % 4 == 0 ? alphabet[rng() % sizeof alphabet] : static_cast<char>(rng());
        const Decoded reference = DecodeWith(YEncKernel::Scalar, text);
        for (const YEncKernel kernel : AvailableYEncKernels()) {
            const Decoded d = DecodeWith(kernel, text);
            ASSERT_TRUE(d.bytes == reference.bytes) << KernelName(kernel) << " round " << round;
            ASSERT_EQ(d.result.consumed, reference.result.consumed) << KernelName(kernel);
            ASSERT_EQ(d.result.stop, reference.result.stop) << KernelName(kernel);
            ASSERT_EQ(d.result.crc, Crc32(d.bytes));
        }
    }
}

// A part decoded in pieces, each starting at a line: the CRC runs on from the one before.
TEST(YEncDecoderTest, DecodingInSeveralCallsContinuesTheCrc) {
    const std::string bytes = RandomBytes(50000, 21);
    const std::string text = YEncEncode(bytes);
    for (const YEncKernel kernel : AvailableYEncKernels()) {
        YEncDecodeOptions options;
        options.kernel = kernel;
        std::string out(text.size(), '\0');
        std::size_t written = 0;
        for (std::size_t pos = 0; pos < text.size();) {
            const std::size_t cut = std::min(text.find('\n', pos + 5000), text.size() - 1) + 1;
            const auto r = YEncDecode(text.substr(pos, cut - pos), out.data() + written, options);
            written += r.written;
            options.crc = r.crc;
            pos = cut;
        }
        out.resize(written);
        EXPECT_TRUE(out == bytes) << KernelName(kernel);
        EXPECT_EQ(options.crc, Crc32(bytes)) << KernelName(kernel);
    }
}

TEST(YEncDecoderTest, BestKernelAndMethodAreAvailable) {
    const auto kernels = AvailableYEncKernels();
    EXPECT_EQ(kernels.front(), YEncKernel::Scalar);
    EXPECT_NE(std::find(kernels.begin(), kernels.end(), BestYEncKernel()), kernels.end());
    const std::string bytes = RandomBytes(100, 1);
    EXPECT_EQ(DecodeWith(YEncKernel::Best, YEncEncode(bytes)).bytes, bytes);
}
