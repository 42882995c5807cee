#include "platform/TRegistry.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

using namespace vexil;

namespace {

class TRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("vexil-registry-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        path_ = (dir_ / "sub" / "registry.sqlite3").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::filesystem::path dir_;
    std::string path_;
};

} // namespace

TEST_F(TRegistryTest, CreatesTheDatabaseAndItsFolderReadableByTheOwnerOnly) {
    TRegistry reg(path_);
    ASSERT_TRUE(reg.OpenKey("\\Software\\Internet\\VX", true));
    reg.WriteString("Pass", "secret");
    struct stat st {};
    ASSERT_EQ(::stat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(TRegistryTest, KeysAndValueNamesIgnoreCaseAndKeepTheirTypes) {
    {
        TRegistry reg(path_);
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(reg.OpenKey("\\Software\\Internet\\VX", true));
        EXPECT_EQ(reg.CurrentPath(), "Software\\Internet\\VX");
        reg.WriteString("Server", "news.example");
        reg.WriteInteger("MaxLines", -7);
        reg.WriteBool("SmartDownload", true);
        reg.WriteString("Empty", "");
        reg.WriteString("Bytes", std::string("a\0\xff", 3));
    }
    TRegistry reg(path_);
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\internet\\vx", false));
    EXPECT_EQ(reg.ReadString("SERVER"), "news.example");
    EXPECT_EQ(reg.ReadInteger("maxlines"), -7);
    // The start-up spelling and the close spelling name one value.
    EXPECT_TRUE(reg.ReadBool("SmartDownLoad"));
    EXPECT_EQ(reg.ReadString("Empty"), "");
    EXPECT_TRUE(reg.ValueExists("Empty"));
    EXPECT_EQ(reg.ReadString("Bytes"), std::string("a\0\xff", 3));
    EXPECT_EQ(reg.GetDataType("Server"), TRegistry::rdString);
    EXPECT_EQ(reg.GetDataType("MaxLines"), TRegistry::rdInteger);

    // A write under another spelling replaces the value rather than adding one.
    reg.WriteInteger("SMARTDOWNLOAD", 0);
    EXPECT_FALSE(reg.ReadBool("SmartDownload"));
    EXPECT_EQ(reg.GetValueNames().size(), 5u);
}

TEST_F(TRegistryTest, WrongTypesAndMissingValuesFailAsTheRegistryDoes) {
    TRegistry reg(path_);
    reg.OpenKey("\\Software\\Internet\\VX", true);
    reg.WriteInteger("Server", 42);
    reg.WriteString("MinLines", "150");
    EXPECT_THROW(reg.ReadString("Server"), ERegistryException);
    EXPECT_THROW(reg.ReadInteger("MinLines"), ERegistryException);
    EXPECT_THROW(reg.ReadBool("Missing"), ERegistryException);
    EXPECT_EQ(reg.ReadString("Missing"), "");
    try {
        reg.ReadInteger("Missing");
    } catch (const ERegistryException &e) {
        EXPECT_EQ(e.Message(), "Invalid data type for 'Missing'");
    }
}

TEST_F(TRegistryTest, RootsAreSeparateTrees) {
    TRegistry reg(path_);
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    reg.OpenKey("\\Software\\Internet\\VX", true);
    reg.WriteString("Server", "machine");
    reg.SetRootKey(HKEY_CURRENT_USER);
    EXPECT_EQ(reg.CurrentPath(), "");
    EXPECT_FALSE(reg.OpenKey("\\Software\\Internet\\VX", false));
    reg.OpenKey("Software\\Internet\\VX", true);
    EXPECT_EQ(reg.ReadString("Server"), "");
    reg.WriteString("Server", "user");
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    reg.OpenKey("\\Software\\Internet\\VX", false);
    EXPECT_EQ(reg.ReadString("Server"), "machine");
}

TEST_F(TRegistryTest, RelativePathsStartAtTheCurrentKey) {
    TRegistry reg(path_);
    reg.OpenKey("\\Software\\Internet\\VX", true);
    ASSERT_TRUE(reg.OpenKey("SDLog", true));
    EXPECT_EQ(reg.CurrentPath(), "Software\\Internet\\VX\\SDLog");
    reg.WriteInteger("newsalt.binaries.pictures", 12);
    // A failed open leaves the current key alone.
    EXPECT_FALSE(reg.OpenKey("Nowhere", false));
    EXPECT_EQ(reg.ReadInteger("newsalt.binaries.pictures"), 12);
    reg.CloseKey();
    EXPECT_TRUE(reg.KeyExists("Software\\Internet\\VX\\SDLog"));
    EXPECT_FALSE(reg.KeyExists("Software\\Internet\\VX\\SDLog\\Deeper"));
}

TEST_F(TRegistryTest, DeletesASubkeyWithEverythingBelowIt) {
    TRegistry reg(path_);
    reg.OpenKey("\\Software\\Internet\\VX\\SDLog\\Deeper\\Deepest", true);
    reg.WriteInteger("x", 1);
    reg.OpenKey("\\Software\\Internet\\VX\\SDLog", false);
    reg.WriteInteger("srvgroup", 5);
    reg.OpenKey("\\Software\\Internet\\VX", true);
    reg.WriteString("Server", "kept");

    reg.OpenKey("\\Software\\Internet\\VX\\", true);
    EXPECT_TRUE(reg.DeleteKey("sdlog"));
    EXPECT_FALSE(reg.DeleteKey("SDLog"));
    EXPECT_FALSE(reg.KeyExists("SDLog"));
    EXPECT_FALSE(reg.KeyExists("\\Software\\Internet\\VX\\SDLog\\Deeper\\Deepest"));
    EXPECT_EQ(reg.ReadString("Server"), "kept");
    // Nothing is left behind: recreating the key finds it empty.
    reg.OpenKey("SDLog", true);
    EXPECT_TRUE(reg.GetValueNames().empty());
    EXPECT_TRUE(reg.GetKeyNames().empty());
    reg.CloseKey();
    EXPECT_FALSE(reg.DeleteKey(""));
    EXPECT_FALSE(reg.DeleteKey("\\"));
}

TEST_F(TRegistryTest, AStoreThatCannotBeOpenedFailsEachOperationWithItsPath) {
    std::filesystem::create_directories(dir_);
    const std::string folder = (dir_ / "a-folder").string();
    std::filesystem::create_directories(folder);
    TRegistry reg(folder);
    try {
        reg.OpenKey("\\Software", true);
        FAIL() << "a folder is no database";
    } catch (const ERegistryException &e) {
        EXPECT_NE(e.Message().find(folder), std::string::npos) << e.Message();
    }
    EXPECT_THROW(reg.ReadInteger("x"), ERegistryException);

    const std::string garbage = (dir_ / "garbage.sqlite3").string();
    const std::string text = "this is not a database, and it must not be overwritten\n";
    {
        std::FILE *f = std::fopen(garbage.c_str(), "wb");
        std::fputs(text.c_str(), f);
        std::fclose(f);
    }
    TRegistry broken(garbage);
    EXPECT_THROW(broken.WriteString("x", "y"), ERegistryException);
    EXPECT_EQ(std::filesystem::file_size(garbage), text.size());
}

TEST(TRegistryPath, FollowsTheEnvironment) {
    const char *saved = std::getenv("VEXIL_REGISTRY");
    const std::string keep = saved ? saved : "";
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "/root";
    setenv("VEXIL_REGISTRY", "/tmp/explicit.sqlite3", 1);
    EXPECT_EQ(TRegistry::DefaultDatabasePath(), "/tmp/explicit.sqlite3");
    unsetenv("VEXIL_REGISTRY");
    setenv("XDG_CONFIG_HOME", "/tmp/xdg", 1);
    EXPECT_EQ(TRegistry::DefaultDatabasePath(), "/tmp/xdg/vexil/registry.sqlite3");
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(TRegistry::DefaultDatabasePath(), "/home/someone/.config/vexil/registry.sqlite3");
    setenv("HOME", home.c_str(), 1);
    if (saved)
        setenv("VEXIL_REGISTRY", keep.c_str(), 1);
}

TEST_F(TRegistryTest, TwoStoresOnOneFileSeeEachOthersWritesAtOnceHoweverOftenTheyAsk) {
    TRegistry a(path_);
    TRegistry b(path_);
    for (TRegistry *reg : {&a, &b}) {
        reg->SetRootKey(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(reg->OpenKey("\\Software\\Internet\\VX\\SDLog", true));
    }
    // Each read and write reuses what the one before it ran; none may keep an old view of
    // the file or an old value bound.
    for (std::int32_t n = 1; n <= 50; ++n) {
        a.WriteInteger("news.examplealt.pictures", n);
        ASSERT_EQ(b.ReadInteger("news.examplealt.pictures"), n);
        b.WriteString("Server", "news" + std::to_string(n));
        ASSERT_EQ(a.ReadString("Server"), "news" + std::to_string(n));
        ASSERT_EQ(a.ReadInteger("news.examplealt.pictures"), n);
        ASSERT_TRUE(b.OpenKey("\\Software\\Internet\\VX\\SDLog", true));
    }
    EXPECT_FALSE(a.ValueExists("news.examplealt.pictures2"));
    EXPECT_EQ(a.GetValueNames().size(), 2u);
    // A key deleted by one store is gone for the other, and made again when it writes.
    b.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(b.DeleteKey("\\Software\\Internet\\VX\\SDLog"));
    EXPECT_FALSE(a.KeyExists("\\Software\\Internet\\VX\\SDLog"));
    ASSERT_TRUE(a.OpenKey("\\Software\\Internet\\VX\\SDLog", true));
    a.WriteInteger("news.examplealt.pictures", 7);
    ASSERT_TRUE(b.OpenKey("\\Software\\Internet\\VX\\SDLog", false));
    EXPECT_EQ(b.ReadInteger("news.examplealt.pictures"), 7);
}
