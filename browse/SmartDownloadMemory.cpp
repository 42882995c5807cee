#include "browse/SmartDownloadMemory.h"
#include "platform/TRegistry.h"

namespace vexil {

namespace {

// The store is shared with the rest of the window and may stand on another root after the
// start-up's fallback for the server; the memory always lives with the settings.
void OpenMemory(TRegistry &Store) {
    Store.SetRootKey(HKEY_LOCAL_MACHINE);
    Store.OpenKey(kSmartDownloadKey, true);
}

} // namespace

std::string SmartDownloadValueName(const std::string &Server, const std::string &Group) {
    return Server + Group;
}

std::optional<std::int32_t> ReadSmartDownload(TRegistry &Store, const std::string &ValueName) {
    OpenMemory(Store);
    if (Store.GetDataType(ValueName) != TRegistry::rdInteger)
        return std::nullopt;
    return Store.ReadInteger(ValueName);
}

void WriteSmartDownload(TRegistry &Store, const std::string &ValueName, std::int32_t Number) {
    OpenMemory(Store);
    Store.WriteInteger(ValueName, Number);
}

bool ResetSmartDownload(TRegistry &Store) {
    Store.SetRootKey(HKEY_LOCAL_MACHINE);
    Store.OpenKey("\\Software\\Internet\\VX\\", true);
    return Store.DeleteKey("SDLog");
}

} // namespace vexil
