// A process killed in the middle of many writes must leave every value either as it was or
// as it was last written, never torn, and the database intact.
#include "platform/TRegistry.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace vexil;

namespace {

constexpr int kValues = 8;

// A value of generation g: the generation repeated, long enough to span database pages.
std::string payload(int generation) {
    std::string text;
    const std::string unit = std::to_string(generation) + ";";
    while (text.size() < 6000)
        text += unit;
    return text;
}

// The generation a payload belongs to, or -1 when it is not a whole payload.
int generationOf(const std::string &text) {
    const auto semi = text.find(';');
    if (semi == std::string::npos)
        return -1;
    const int generation = std::stoi(text.substr(0, semi));
    return payload(generation) == text ? generation : -1;
}

[[noreturn]] void writeForever(const std::string &path) {
    TRegistry reg(path);
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    reg.OpenKey("\\Software\\Internet\\VX", true);
    int generation = reg.ValueExists("Generation") ? reg.ReadInteger("Generation") : 0;
    for (;;) {
        ++generation;
        for (int v = 0; v < kValues; ++v)
            reg.WriteString("Value" + std::to_string(v), payload(generation));
        reg.WriteInteger("Generation", generation);
        reg.OpenKey("SDLog", true);
        reg.WriteInteger("Counter", generation);
        reg.OpenKey("\\Software\\Internet\\VX", false);
    }
}

std::string integrityOf(const std::string &path) {
    sqlite3 *db = nullptr;
    std::string result = "cannot open";
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_stmt *stmt = nullptr;
        sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr);
        if (sqlite3_step(stmt) == SQLITE_ROW)
            result = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return result;
}

} // namespace

TEST(TRegistryCrash, EveryValueIsOldOrNewAfterAKill) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("vexil-registry-crash-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    const std::string path = (dir / "registry.sqlite3").string();
    std::mt19937 random(12345);
    int lastGeneration = 0;
    for (int round = 0; round < 6; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            writeForever(path);
        std::this_thread::sleep_for(std::chrono::milliseconds(150 + random() % 250));
        ASSERT_EQ(kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself";

        ASSERT_EQ(integrityOf(path), "ok") << "round " << round;
        TRegistry reg(path);
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(reg.OpenKey("\\Software\\Internet\\VX", false));
        const int generation = reg.ReadInteger("Generation");
        // Values are written in order, then the generation: each is whole, and at most one
        // generation ahead of the committed counter.
        int previous = generation + 1;
        for (int v = 0; v < kValues; ++v) {
            const int g = generationOf(reg.ReadString("Value" + std::to_string(v)));
            ASSERT_GE(g, generation) << "value " << v << " torn or lost, round " << round;
            ASSERT_LE(g, previous) << "value " << v << " out of order, round " << round;
            previous = g;
        }
        EXPECT_GT(generation, lastGeneration) << "the writer made no progress in round " << round;
        lastGeneration = generation;
        ASSERT_TRUE(reg.OpenKey("SDLog", false));
        const int counter = reg.ReadInteger("Counter");
        EXPECT_TRUE(counter == generation || counter == generation - 1);
    }
    std::filesystem::remove_all(dir);
}
