#pragma once
// The Smart Download memory: for each server and group, the number of the last article that
// passed the Lines filter, kept in the settings store under HKEY_LOCAL_MACHINE
// \Software\Internet\VX\SDLog so that the next Go carries on after it.

#include <cstdint>
#include <optional>
#include <string>

namespace vexil {

class TRegistry;

inline constexpr const char *kSmartDownloadKey = "\\Software\\Internet\\VX\\SDLog";

// The value's name: the server immediately followed by the group, as stored files have it.
std::string SmartDownloadValueName(const std::string &Server, const std::string &Group);

// The remembered number; nothing when the value is missing or not an integer. A store that
// cannot be read at all throws ERegistryException.
std::optional<std::int32_t> ReadSmartDownload(TRegistry &Store, const std::string &ValueName);
void WriteSmartDownload(TRegistry &Store, const std::string &ValueName, std::int32_t Number);
// Deletes the whole memory; false when there was none.
bool ResetSmartDownload(TRegistry &Store);

} // namespace vexil
