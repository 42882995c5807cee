// vexil-settings as a script uses it: values written on the command line are the ones Vexil
// reads from its settings store, and what the store holds is printed as it stands.
#include "browse/TMainSettings.h"
#include "platform/TRegistry.h"
#include "tests/support/TempHome.h"
#include "tests/support/ToolRun.h"

#include <gtest/gtest.h>

namespace {

using vexil::TRegistry;
using vexil::test::TempHome;
using vexil::test::ToolResult;
using vexil::test::ToolRun;

constexpr const char *kSettingsKey = "\\Software\\Internet\\VX";

class VexilSettingsTest : public ::testing::Test {
protected:
    ToolResult Run(const std::string &arguments) { return tool.Run(arguments); }
    TRegistry &Store(vexil::HKEY root, const std::string &key) {
        store.SetRootKey(root);
        EXPECT_TRUE(store.OpenKey(key, false)) << key;
        return store;
    }

    // The tool finds the store through VEXIL_REGISTRY, as Vexil does.
    TempHome home;
    ToolRun tool{"vexil-settings"};
    TRegistry store;
};

TEST_F(VexilSettingsTest, WritesStringsAndIntegersWhereVexilReadsThem) {
    ASSERT_EQ(Run("set Server '127.0.0.1:1119'").status, 0);
    ASSERT_EQ(Run("set-integer MinLines -20").status, 0);
    ASSERT_EQ(Run("--user --key '\\Software\\Other' set Name 'two words'").status, 0);

    TRegistry &vx = Store(vexil::HKEY_LOCAL_MACHINE, kSettingsKey);
    EXPECT_EQ(vx.ReadString("Server"), "127.0.0.1:1119");
    EXPECT_EQ(vx.ReadInteger("MinLines"), -20);
    EXPECT_EQ(Store(vexil::HKEY_CURRENT_USER, "\\Software\\Other").ReadString("Name"), "two words");
    // The other root is another place: nothing of it leaked into the machine's key.
    EXPECT_FALSE(store.KeyExists("\\Software\\Internet"));
}

TEST_F(VexilSettingsTest, PrintsValuesAndTheirTypes) {
    {
        TRegistry writer;
        writer.SetRootKey(vexil::HKEY_LOCAL_MACHINE);
        writer.OpenKey(kSettingsKey, true);
        writer.WriteString("Server", "news");
        writer.WriteInteger("MaxLines", 100000);
    }
    const ToolResult list = Run("list");
    EXPECT_EQ(list.status, 0) << list.err;
    // In the order of their names.
    EXPECT_EQ(list.out, "MaxLines\tinteger\t100000\nServer\tstring\tnews\n");
    EXPECT_EQ(Run("get maxlines").out, "100000\n");

    EXPECT_EQ(Run("delete Server").status, 0);
    const ToolResult gone = Run("get Server");
    EXPECT_EQ(gone.status, 1);
    EXPECT_EQ(gone.err, "vexil-settings: No value \"Server\" in \\Software\\Internet\\VX\n");
}

TEST_F(VexilSettingsTest, WritesEachSettingWithItsTypeAndRefusesMisspelledNames) {
    // A number given to set for a setting that holds one is written as a number: Vexil
    // would read a string there as missing and quietly take the default.
    ASSERT_EQ(Run("set maxlines 500").status, 0);
    ASSERT_EQ(Run("set SmartDownLoad 0").status, 0);
    ASSERT_EQ(Run("set Pass 1234").status, 0);
    TRegistry &vx = Store(vexil::HKEY_LOCAL_MACHINE, kSettingsKey);
    EXPECT_EQ(vx.ReadInteger("MaxLines"), 500);
    EXPECT_FALSE(vx.ReadBool("SmartDownload"));
    EXPECT_EQ(vx.ReadString("Pass"), "1234");
    ToolResult r = Run("set Srever news.example.com");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "vexil-settings: \"Srever\" is no setting of \\Software\\Internet\\VX; the "
                     "settings are ArticlesAtOnce, EMail Address, JoinParts, MaxLines, MinLines, "
                     "Pass, Server, SlowColor, SmartDownload, UseOverview, UseTLS, User\nTry "
                     "'vexil-settings --help' for more "
                     "information.\n");
    r = Run("set MinLines abc");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("MinLines: \"abc\" is not a whole number"), std::string::npos) << r.err;
    r = Run("set-integer MaxLines 2147483648");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("\"2147483648\" is not a whole number from -2147483648 to 2147483647"),
              std::string::npos)
        << r.err;
    r = Run("set-integer Server 5");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Server holds text"), std::string::npos) << r.err;
    // The window's placement and the Smart Download memory are checked as well; a key that
    // Vexil does not read takes any name.
    EXPECT_EQ(Run("--user set Wdith 300").status, 2);
    EXPECT_EQ(Run("--user set width 300").status, 0);
    EXPECT_EQ(Run("--key '\\Software\\Internet\\VX\\SDLog\\' set news:119alt.pics x").status, 2);
    EXPECT_EQ(Run("--key '\\Software\\Internet\\VX\\SDLog' set news:119alt.pics 7").status, 0);

    store.SetRootKey(vexil::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(store.OpenKey(kSettingsKey, false));
    EXPECT_EQ(store.GetValueNames(),
              (std::vector<std::string>{"MaxLines", "Pass", "SmartDownload"}));
}

TEST_F(VexilSettingsTest, LookingCreatesNothing) {
    // No store yet: reading says so and leaves neither the database nor its folder.
    ::setenv("VEXIL_REGISTRY", (home.Root() / "config" / "store.sqlite3").c_str(), 1);
    for (const char *look : {"list", "get Server", "delete Server"}) {
        const ToolResult r = Run(look);
        EXPECT_EQ(r.status, 1) << look;
        EXPECT_EQ(r.err, "vexil-settings: the settings store " +
                             (home.Root() / "config" / "store.sqlite3").string() +
                             " does not exist\n");
    }
    EXPECT_FALSE(std::filesystem::exists(home.Root() / "config"));
    // A set creates it.
    EXPECT_EQ(Run("set Server news").status, 0);
    EXPECT_TRUE(std::filesystem::exists(home.Root() / "config" / "store.sqlite3"));

    // Reading a key that was never written creates nothing either.
    const ToolResult missing = Run("--key '\\Software\\Nowhere' list");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("No key \\Software\\Nowhere"), std::string::npos) << missing.err;
    TRegistry other((home.Root() / "config" / "store.sqlite3").string());
    other.SetRootKey(vexil::HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(other.KeyExists("\\Software\\Nowhere"));
}

TEST_F(VexilSettingsTest, NamesWhatIsWrongWithTheCommandLine) {
    const std::pair<const char *, const char *> wrong[] = {
        {"", "no command given"},
        {"set Server", "set takes 2 arguments, not 1"},
        {"get", "get takes 1 argument, not 0"},
        {"frobnicate", "unknown command \"frobnicate\""},
        {"--key relative list", "--key: \"relative\" is no key path beginning with \\"},
        {"--key", "--key needs a value"},
        {"--system list", "unknown option --system"},
        {"list --user", "list takes 0 arguments, not 1"},
    };
    for (const auto &[arguments, message] : wrong) {
        const ToolResult r = Run(arguments);
        EXPECT_EQ(r.status, 2) << arguments;
        EXPECT_EQ(r.err, std::string("vexil-settings: ") + message +
                             "\nTry 'vexil-settings --help' for more information.\n");
    }
    const ToolResult help = Run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: vexil-settings"), std::string::npos);
}

TEST_F(VexilSettingsTest, WritesTheSecureConnectionSwitchAndTrustedCertificates) {
    // The secure-connection switch is a number, a trusted certificate a text per server.
    ASSERT_EQ(Run("set UseTLS 1").status, 0);
    EXPECT_TRUE(Store(vexil::HKEY_LOCAL_MACHINE, kSettingsKey).ReadBool("UseTLS"));
    // So are the Advanced tab's overview switch, its request count and the joining switch.
    ASSERT_EQ(Run("set UseOverview 1").status, 0);
    ASSERT_EQ(Run("set ArticlesAtOnce 16").status, 0);
    ASSERT_EQ(Run("set JoinParts 1").status, 0);
    TRegistry &vx = Store(vexil::HKEY_LOCAL_MACHINE, kSettingsKey);
    EXPECT_TRUE(vx.ReadBool("UseOverview"));
    EXPECT_EQ(vx.ReadInteger("ArticlesAtOnce"), 16);
    EXPECT_TRUE(vx.ReadBool("JoinParts"));
    ASSERT_EQ(
        Run("--key '\\Software\\Internet\\VX\\Certificates' set news.example.com:563 AB:CD").status,
        0);
    EXPECT_EQ(Store(vexil::HKEY_LOCAL_MACHINE, vexil::kTrustedCertificatesKey)
                  .ReadString("news.example.com:563"),
              "AB:CD");
}

} // namespace
