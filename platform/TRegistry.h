#pragma once
// The registry stand-in: a typed, hierarchical settings store in one SQLite database.
// It keeps the registry's model: two roots, keys addressed by "\"-separated paths, key and
// value names compared without regard to case, values that are strings or 32-bit integers,
// and recursive deletion of a subkey. Every write is one transaction, so a crash never
// leaves a half-written value behind.
//
// Like the registry object it stands in for, a TRegistry has a root and a current key:
// paths beginning with "\" start at the root, others at the current key.

#include "platform/Exception.h"
#include "platform/Object.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vexil {

enum HKEY : std::uint32_t {
    HKEY_CURRENT_USER = 0x80000001u,
    HKEY_LOCAL_MACHINE = 0x80000002u,
};

// Any failure of the store: it cannot be opened, a value is missing or of another type, a
// write did not reach the disk.
class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

class TSqliteDatabase;

class TRegistry : public TObject {
public:
    // Value types, numbered as the registry numbers them.
    enum TDataType : int { rdString = 1, rdInteger = 4 };

    // A store on DefaultDatabasePath(). The database is opened on first use, so that a
    // store that cannot be opened fails the operations that need it, one by one.
    TRegistry();
    explicit TRegistry(std::string databasePath);
    TRegistry(const TRegistry &) = delete;
    TRegistry &operator=(const TRegistry &) = delete;
    ~TRegistry() override;

    // $VEXIL_REGISTRY when set, else $XDG_CONFIG_HOME/vexil/registry.sqlite3 (with
    // XDG_CONFIG_HOME defaulting to ~/.config).
    static std::string DefaultDatabasePath();
    const std::string &DatabasePath() const { return databasePath_; }

    HKEY RootKey() const { return root_; }
    // Changing the root closes the current key.
    void SetRootKey(HKEY root);
    // The path of the current key below the root, without a leading "\"; empty at the root.
    const std::string &CurrentPath() const { return currentPath_; }

    // Makes key the current key. A missing key is created when canCreate is set; otherwise
    // the result is false and the current key stays as it was.
    bool OpenKey(const std::string &key, bool canCreate);
    // Back to the root.
    void CloseKey();
    bool KeyExists(const std::string &key);
    // Deletes key with all its subkeys and values; false when there was no such key.
    bool DeleteKey(const std::string &key);

    bool ValueExists(const std::string &name);
    std::optional<TDataType> GetDataType(const std::string &name);
    // A missing value reads as empty text; a value of another type throws.
    std::string ReadString(const std::string &name);
    // A missing value or one of another type throws.
    std::int32_t ReadInteger(const std::string &name);
    bool ReadBool(const std::string &name) { return ReadInteger(name) != 0; }
    void WriteString(const std::string &name, const std::string &value);
    void WriteInteger(const std::string &name, std::int32_t value);
    void WriteBool(const std::string &name, bool value) { WriteInteger(name, value ? 1 : 0); }
    bool DeleteValue(const std::string &name);

    std::vector<std::string> GetKeyNames();
    std::vector<std::string> GetValueNames();

private:
    struct Value {
        int type;
        std::string bytes;
        std::int64_t integer;
    };

    TSqliteDatabase &Db();
    // The id of the key that path names (absolute or relative to the current key), created
    // when create is set; nullopt when it does not exist.
    std::optional<std::int64_t> FindKey(const std::string &path, bool create);
    // FindKey's walk down the path, creating the parts that are missing when create is set.
    std::optional<std::int64_t> WalkKey(const std::string &path, bool create);
    std::optional<Value> ReadValue(const std::string &name);
    void WriteValue(const std::string &name, int type, const std::string *bytes,
                    std::int64_t integer);
    std::string JoinedPath(const std::string &path) const;

    std::string databasePath_;
    std::unique_ptr<TSqliteDatabase> db_;
    HKEY root_ = HKEY_CURRENT_USER;
    std::int64_t currentKey_;
    std::string currentPath_;
};

} // namespace vexil
