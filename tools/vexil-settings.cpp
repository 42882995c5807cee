// vexil-settings: reads and writes Vexil's settings store from the command line, so that a
// script can point a program folder at a news server before Vexil starts (tools/run.sh does
// that for its demo) and a user can look at what Vexil keeps.
#include "platform/Exception.h"
#include "platform/TRegistry.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using vexil::TRegistry;

constexpr const char *kDefaultKey = "\\Software\\Internet\\VX";

struct Options {
    vexil::HKEY root = vexil::HKEY_LOCAL_MACHINE;
    std::string key = kDefaultKey;
    std::vector<std::string> words;
};

int Usage(std::FILE *to) {
    std::fputs(
        "usage: vexil-settings [--user] [--key PATH] COMMAND\n"
        "commands:\n"
        "  list                  prints each value of the key: name, type, value\n"
        "  get NAME              prints one value\n"
        "  set NAME TEXT         writes a string value\n"
        "  set-integer NAME N    writes a 32-bit integer value\n"
        "  delete NAME           deletes a value\n"
        "The key is \\Software\\Internet\\VX below HKEY_LOCAL_MACHINE, where Vexil keeps its\n"
        "settings (--user: below HKEY_CURRENT_USER; --key: another key, such as\n"
        "\\Software\\Internet\\VX\\SDLog, the Smart Download memory). The store is the one\n"
        "Vexil uses: $VEXIL_REGISTRY, else ~/.config/vexil/registry.sqlite3.\n"
        "Errors print their message on standard error; the exit status is then 1.\n",
        to);
    return to == stdout ? 0 : 2;
}

bool ParseArguments(int argc, char **argv, Options &o) {
    // Options come before the command, so that a value such as -20 is a value.
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        const std::string arg = argv[i];
        if (arg == "--user")
            o.root = vexil::HKEY_CURRENT_USER;
        else if (arg == "--key" && i + 1 < argc)
            o.key = argv[++i];
        else
            return false;
    }
    o.words.assign(argv + i, argv + argc);
    if (o.words.empty() || o.key.empty() || o.key[0] != '\\')
        return false;
    const std::string &command = o.words[0];
    const std::size_t arguments = o.words.size() - 1;
    if (command == "list")
        return arguments == 0;
    if (command == "get" || command == "delete")
        return arguments == 1;
    if (command == "set" || command == "set-integer")
        return arguments == 2;
    return false;
}

std::int32_t IntegerOf(const std::string &text) {
    std::int32_t value = 0;
    const char *end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || at != end)
        throw vexil::Exception("\"" + text + "\" is no whole number from -2147483648 to " +
                               "2147483647");
    return value;
}

void PrintValue(TRegistry &store, const std::string &name, bool withName) {
    const auto type = store.GetDataType(name);
    if (!type)
        throw vexil::Exception("No value \"" + name + "\" in \\" + store.CurrentPath());
    const bool integer = *type == TRegistry::rdInteger;
    const std::string value =
        integer ? std::to_string(store.ReadInteger(name)) : store.ReadString(name);
    if (withName)
        std::printf("%s\t%s\t%s\n", name.c_str(), integer ? "integer" : "string", value.c_str());
    else
        std::printf("%s\n", value.c_str());
}

int Run(const Options &o) {
    TRegistry store;
    store.SetRootKey(o.root);
    const std::string &command = o.words[0];
    const bool writes = command == "set" || command == "set-integer" || command == "delete";
    if (!store.OpenKey(o.key, writes))
        throw vexil::Exception("No key " + o.key + " in " + store.DatabasePath());
    if (command == "list") {
        for (const std::string &name : store.GetValueNames())
            PrintValue(store, name, true);
    } else if (command == "get") {
        PrintValue(store, o.words[1], false);
    } else if (command == "set") {
        store.WriteString(o.words[1], o.words[2]);
    } else if (command == "set-integer") {
        store.WriteInteger(o.words[1], IntegerOf(o.words[2]));
    } else if (!store.DeleteValue(o.words[1])) {
        throw vexil::Exception("No value \"" + o.words[1] + "\" in " + o.key);
    }
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h"))
        return Usage(stdout);
    Options options;
    if (!ParseArguments(argc, argv, options))
        return Usage(stderr);
    try {
        return Run(options);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "vexil-settings: %s\n", e.what());
        return 1;
    }
}
