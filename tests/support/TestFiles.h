#pragma once
// Whole-file reads and writes for tests that check what landed on disk.

#include <filesystem>
#include <string>
#include <string_view>

namespace vexil::test {

// The file's bytes; throws std::runtime_error when it cannot be read, so that a missing
// file fails the test instead of comparing equal to an empty string.
std::string ReadFile(const std::filesystem::path &Path);
void WriteFile(const std::filesystem::path &Path, std::string_view Bytes);

} // namespace vexil::test
