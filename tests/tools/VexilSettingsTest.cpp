// vexil-settings as a script uses it: values written on the command line are the ones Vexil
// reads from its settings store, and what the store holds is printed as it stands.
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

TEST_F(VexilSettingsTest, RefusesWhatItCannotStoreAndChangesNothing) {
    const ToolResult big = Run("set-integer MaxLines 2147483648");
    EXPECT_EQ(big.status, 1);
    EXPECT_NE(big.err.find("\"2147483648\" is no whole number"), std::string::npos) << big.err;
    EXPECT_EQ(Run("set-integer MaxLines 12x").status, 1);
    // Reading a key that was never written creates nothing.
    const ToolResult missing = Run("--key '\\Software\\Nowhere' list");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("No key \\Software\\Nowhere"), std::string::npos) << missing.err;
    store.SetRootKey(vexil::HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(store.KeyExists("\\Software\\Nowhere"));
    EXPECT_FALSE(store.ValueExists("MaxLines"));

    for (const char *wrong :
         {"", "set Server", "get", "frobnicate", "--key relative list", "list --user"})
        EXPECT_EQ(Run(wrong).status, 2) << wrong;
    const ToolResult help = Run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: vexil-settings"), std::string::npos);
}

} // namespace
