// vexil-settings: reads and writes Vexil's settings store from the command line, so that a
// script can point a program folder at a news server before Vexil starts (tools/run.sh does
// that for its demo) and a user can look at what Vexil keeps.
#include "base/AsciiCase.h"
#include "browse/TMainSettings.h"
#include "platform/Exception.h"
#include "platform/TRegistry.h"
#include "tools/ToolArguments.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <strings.h>
#include <vector>

namespace {

using vexil::TRegistry;

constexpr const char *kTool = "vexil-settings";
constexpr const char *kDefaultKey = "\\Software\\Internet\\VX";

constexpr const char *kUsage =
    "usage: vexil-settings [--user] [--key PATH] COMMAND\n"
    "commands:\n"
    "  list                  prints each value of the key: name, type, value\n"
    "  get NAME              prints one value\n"
    "  set NAME TEXT         writes a value: a string, or a 32-bit integer for a setting\n"
    "                        that holds a number (MaxLines, MinLines, SlowColor, ...)\n"
    "  set-integer NAME N    writes a 32-bit integer value\n"
    "  delete NAME           deletes a value\n"
    "The key is \\Software\\Internet\\VX below HKEY_LOCAL_MACHINE, where Vexil keeps its\n"
    "settings (--user: below HKEY_CURRENT_USER; --key: another key, such as\n"
    "\\Software\\Internet\\VX\\SDLog, the Smart Download memory). In the keys Vexil reads,\n"
    "only the values it knows can be written, each with its type; Vexil's settings are\n"
    "Server, User, Pass and EMail Address (strings), MaxLines, MinLines, SlowColor,\n"
    "SmartDownload, UseTLS, UseOverview, ArticlesAtOnce and JoinParts (integers);\n"
    "\\Software\\Internet\\VX\\Certificates holds the\n"
    "SHA-256 fingerprint of a certificate trusted for a server, named as the server is\n"
    "written. The store is the one Vexil uses: $VEXIL_REGISTRY, else\n"
    "~/.config/vexil/registry.sqlite3; list, get and delete never create it.\n"
    "Errors print their message on standard error; the exit status is then 1, or 2 when\n"
    "the command line cannot be used.\n";

struct Options {
    vexil::HKEY root = vexil::HKEY_LOCAL_MACHINE;
    std::string key = kDefaultKey;
    std::vector<std::string> words;
};

// The values Vexil itself reads, by key; a key with no names takes any name of its type.
struct KnownValue {
    const char *name;
    TRegistry::TDataType type;
};

struct KnownKey {
    vexil::HKEY root;
    const char *path;
    TRegistry::TDataType anyNameType;
    std::vector<KnownValue> values;
};

const std::vector<KnownKey> &KnownKeys() {
    using vexil::HKEY_CURRENT_USER, vexil::HKEY_LOCAL_MACHINE;
    constexpr auto text = TRegistry::rdString;
    constexpr auto number = TRegistry::rdInteger;
    static const std::vector<KnownKey> keys = {
        {HKEY_LOCAL_MACHINE,
         kDefaultKey,
         text,
         {{"ArticlesAtOnce", number},
          {"EMail Address", text},
          {"JoinParts", number},
          {"MaxLines", number},
          {"MinLines", number},
          {"Pass", text},
          {"Server", text},
          {"SlowColor", number},
          {"SmartDownload", number},
          {"UseOverview", number},
          {"UseTLS", number},
          {"User", text}}},
        // The certificates trusted although their check failed: a fingerprint per server.
        {HKEY_LOCAL_MACHINE, vexil::kTrustedCertificatesKey, text, {}},
        // The Smart Download memory: one article number per server and group.
        {HKEY_LOCAL_MACHINE, "\\Software\\Internet\\VX\\SDLog", number, {}},
        // The main window's placement.
        {HKEY_CURRENT_USER,
         kDefaultKey,
         text,
         {{"Height", number},
          {"Left", number},
          {"Top", number},
          {"Width", number},
          {"WindowMaximised", number}}},
        {HKEY_CURRENT_USER,
         "\\Software\\Microsoft\\Internet Mail and News\\News",
         text,
         {{"DefaultServer", text}}},
    };
    return keys;
}

// Key paths name the same key without regard to case or a closing "\".
bool SameKey(std::string a, std::string b) {
    for (std::string *path : {&a, &b})
        while (path->size() > 1 && path->back() == '\\')
            path->pop_back();
    return vexil::EqualsNoCase(a, b);
}

const KnownKey *KnownKeyOf(const Options &o) {
    for (const KnownKey &key : KnownKeys())
        if (key.root == o.root && SameKey(key.path, o.key))
            return &key;
    return nullptr;
}

// The value of this name as Vexil reads it from the key (its spelling and type), nullopt for
// a key Vexil does not read; throws for a name Vexil does not read there, as a misspelled
// setting would be ignored.
std::optional<KnownValue> KnownValueOf(const Options &o, const std::string &name) {
    const KnownKey *key = KnownKeyOf(o);
    if (key == nullptr)
        return std::nullopt;
    if (key->values.empty())
        return KnownValue{name.c_str(), key->anyNameType};
    std::string names;
    for (const KnownValue &value : key->values) {
        if (vexil::EqualsNoCase(value.name, name))
            return value;
        names += std::string(names.empty() ? "" : ", ") + value.name;
    }
    throw vexil::EUsageError("\"" + name + "\" is no setting of " + o.key + "; the settings are " +
                             names);
}

Options ParseArguments(vexil::TToolArguments &arguments) {
    Options o;
    // Options come before the command, so that a value such as -20 is a value.
    while (arguments.NextIsOption()) {
        const std::string arg = arguments.Next();
        if (arg == "--user")
            o.root = vexil::HKEY_CURRENT_USER;
        else if (arg == "--key")
            o.key = arguments.ValueOf(arg);
        else
            vexil::TToolArguments::UnknownOption(arg);
    }
    if (o.key.empty() || o.key[0] != '\\')
        throw vexil::EUsageError("--key: \"" + o.key + "\" is no key path beginning with \\");
    while (!arguments.AtEnd())
        o.words.push_back(arguments.Next());
    if (o.words.empty())
        throw vexil::EUsageError("no command given");
    const std::string &command = o.words[0];
    std::size_t wanted;
    if (command == "list")
        wanted = 0;
    else if (command == "get" || command == "delete")
        wanted = 1;
    else if (command == "set" || command == "set-integer")
        wanted = 2;
    else
        throw vexil::EUsageError("unknown command \"" + command + "\"");
    if (o.words.size() - 1 != wanted)
        throw vexil::EUsageError(command + " takes " + std::to_string(wanted) + " argument" +
                                 (wanted == 1 ? "" : "s") + ", not " +
                                 std::to_string(o.words.size() - 1));
    return o;
}

void PrintValue(TRegistry &store, const std::string &name, bool withName) {
    const auto type = store.GetDataType(name);
    if (!type)
        throw vexil::Exception("No value \"" + name + "\" in \\" + store.CurrentPath());
    const bool integer = *type == TRegistry::rdInteger;
    const std::string value =
        integer ? std::to_string(store.ReadInteger(name)) : store.ReadString(name);
    if (withName)
        vexil::PrintFields({name, integer ? "integer" : "string", value});
    else
        vexil::PrintLine(value);
}

void Write(TRegistry &store, const Options &o) {
    const std::string &command = o.words[0];
    const std::string &text = o.words[2];
    const auto known = KnownValueOf(o, o.words[1]);
    const std::string name = known ? known->name : o.words[1];
    if (command == "set-integer" && known && known->type == TRegistry::rdString)
        throw vexil::EUsageError(name + " holds text, not a number: write it with set");
    if (command == "set-integer" || (known && known->type == TRegistry::rdInteger))
        store.WriteInteger(name, vexil::WholeNumberOf(text, name));
    else
        store.WriteString(name, text);
}

int Run(vexil::TToolArguments &arguments) {
    const Options o = ParseArguments(arguments);
    const std::string &command = o.words[0];
    const bool writes = command == "set" || command == "set-integer";
    TRegistry store;
    // Looking must not leave an empty store (and its folder) behind.
    std::error_code error;
    if (!writes && !std::filesystem::exists(store.DatabasePath(), error))
        throw vexil::Exception("the settings store " + store.DatabasePath() + " does not exist");
    store.SetRootKey(o.root);
    if (!store.OpenKey(o.key, writes))
        throw vexil::Exception("No key " + o.key + " in " + store.DatabasePath());
    if (command == "list") {
        for (const std::string &name : store.GetValueNames())
            PrintValue(store, name, true);
    } else if (command == "get") {
        PrintValue(store, o.words[1], false);
    } else if (writes) {
        Write(store, o);
    } else if (!store.DeleteValue(o.words[1])) {
        throw vexil::Exception("No value \"" + o.words[1] + "\" in " + o.key);
    }
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    return vexil::RunTool(kTool, kUsage, argc, argv, Run);
}
