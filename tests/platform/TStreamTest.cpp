#include "platform/TStream.h"
#include "platform/Exception.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

using namespace vexil;

TEST(TMemoryStream, WritesOverAndPastTheEndAndReadsBack) {
    TMemoryStream s;
    s.Write("hello world");
    s.SetPosition(6);
    s.Write("there, you");
    EXPECT_EQ(s.Bytes(), "hello there, you");
    s.SetPosition(-5);
    EXPECT_EQ(s.Position(), 0);
    char buf[8];
    EXPECT_EQ(s.Read(buf, 5), 5u);
    EXPECT_EQ(std::string(buf, 5), "hello");
    s.SetPosition(1000);
    EXPECT_EQ(s.Position(), s.Size());
    EXPECT_EQ(s.Read(buf, 8), 0u);
    EXPECT_TRUE(s.AtEnd());
}

TEST(TMemoryStream, KeepsNulBytesAndResizes) {
    TMemoryStream s(std::string("a\0b", 3));
    EXPECT_EQ(s.Size(), 3);
    s.SetPosition(3);
    s.SetSize(1);
    EXPECT_EQ(s.Position(), 1);
    s.SetSize(3);
    EXPECT_EQ(s.Bytes(), std::string("a\0\0", 3));
    EXPECT_EQ(s.Release(), std::string("a\0\0", 3));
    EXPECT_EQ(s.Size(), 0);
}

TEST(TFileStream, RoundTripsThroughAFileAndReportsPaths) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("vexil-tstream-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "data.bin").string();
    TMemoryStream out(std::string(200000, 'x') + std::string("\0end", 4));
    out.SaveToFile(path);
    TMemoryStream in;
    in.LoadFromFile(path);
    EXPECT_EQ(in.Bytes(), out.Bytes());
    EXPECT_EQ(in.Position(), 0);

    EXPECT_THROW(TFileStream((dir / "missing").string(), TFileStream::Mode::Read), EFOpenError);
    try {
        TFileStream(dir.string(), TFileStream::Mode::Create);
        FAIL() << "a folder cannot be created as a file";
    } catch (const EFCreateError &e) {
        EXPECT_EQ(e.Message(), "Cannot create file " + dir.string());
    }
    std::filesystem::remove_all(dir);
}

TEST(TFileStream, AFullDiskIsAnErrorNotASilentLoss) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    TFileStream f("/dev/full", TFileStream::Mode::Create);
    EXPECT_THROW(
        {
            for (int i = 0; i < 64; ++i)
                f.Write(std::string(65536, 'x'));
            f.Close();
        },
        EInOutError);
}
