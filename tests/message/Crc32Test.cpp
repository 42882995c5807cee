// CRC-32 by every method against known values and against zlib, and combination of CRCs
// against zlib's crc32_combine.
#include "ArticleTestSupport.h"

#include "message/Crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>

using namespace vexil;
using namespace vexil::test;

namespace {

std::uint32_t ZlibCrc(std::string_view s) {
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef *>(s.data()), static_cast<uInt>(s.size())));
}

const char *MethodName(Crc32Method m) {
    switch (m) {
    case Crc32Method::Pclmul:
        return "pclmul";
    case Crc32Method::Vpclmul:
        return "vpclmul";
    default:
        return "table";
    }
}

} // namespace

TEST(Crc32Test, KnownValuesByEveryMethod) {
    for (const Crc32Method m : AvailableCrc32Methods()) {
        EXPECT_EQ(Crc32("", m), 0u) << MethodName(m);
        EXPECT_EQ(Crc32("a", m), 0xE8B7BE43u) << MethodName(m);
        EXPECT_EQ(Crc32("123456789", m), 0xCBF43926u) << MethodName(m);
        EXPECT_EQ(Crc32("The quick brown fox jumps over the lazy dog", m), 0x414FA339u)
            << MethodName(m);
        EXPECT_EQ(Crc32(std::string(100000, '\0'), m), ZlibCrc(std::string(100000, '\0')))
            << MethodName(m);
    }
}

// Every length around the block sizes of the folding and slicing loops, at every alignment.
TEST(Crc32Test, AgreesWithZlibAtEveryLengthAndAlignment) {
    const std::string data = RandomBytes(4096 + 16, 1);
    for (const Crc32Method m : AvailableCrc32Methods())
        for (std::size_t offset = 0; offset < 16; offset += 3)
            for (std::size_t n = 0; n <= 600; ++n) {
                const std::string_view s = std::string_view(data).substr(offset, n);
                ASSERT_EQ(Crc32(s, m), ZlibCrc(s)) << MethodName(m) << " " << offset << "+" << n;
            }
    const std::string big = RandomBytes(3 << 20, 2);
    for (const Crc32Method m : AvailableCrc32Methods())
        EXPECT_EQ(Crc32(big, m), ZlibCrc(big)) << MethodName(m);
}

TEST(Crc32Test, ContinuesFromAnEarlierCrc) {
    const std::string data = RandomBytes(10000, 3);
    for (const Crc32Method m : AvailableCrc32Methods())
        for (const std::size_t cut : {0, 1, 63, 64, 65, 4999, 9999, 10000}) {
            const std::uint32_t first = Crc32(0, data.data(), cut, m);
            EXPECT_EQ(Crc32(first, data.data() + cut, data.size() - cut, m), ZlibCrc(data))
                << MethodName(m) << " cut at " << cut;
        }
}

TEST(Crc32Test, CombineAgreesWithZlib) {
    std::mt19937_64 rng(4);
    for (int i = 0; i < 200; ++i) {
        const auto a = static_cast<std::uint32_t>(rng());
        const auto b = static_cast<std::uint32_t>(rng());
        // Small lengths, lengths near powers of two, and lengths past 4 GB.
        const std::uint64_t length = i < 50    ? static_cast<std::uint64_t>(i)
                                     : i < 150 ? (std::uint64_t{1} << (i % 40)) + rng() % 3
                                               : rng() % (std::uint64_t{1} << 42);
        EXPECT_EQ(Crc32Combine(a, b, length), crc32_combine64(a, b, static_cast<z_off64_t>(length)))
            << length;
    }
}

TEST(Crc32Test, CombinedPiecesGiveTheWholeCrc) {
    const std::string data = RandomBytes(50000, 5);
    std::uint32_t crc = 0;
    for (std::size_t pos = 0; pos < data.size(); pos += 7777) {
        const std::string_view piece = std::string_view(data).substr(pos, 7777);
        crc = Crc32Combine(crc, Crc32(piece), piece.size());
    }
    EXPECT_EQ(crc, ZlibCrc(data));
}
