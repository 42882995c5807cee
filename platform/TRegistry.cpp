#include "platform/TRegistry.h"
#include "platform/SqliteDatabase.h"

#include <sqlite3.h>

#include <cstdlib>

namespace vexil {

namespace {

constexpr const char *kSchema = R"sql(
CREATE TABLE IF NOT EXISTS keys (
    id     INTEGER PRIMARY KEY,
    parent INTEGER REFERENCES keys(id) ON DELETE CASCADE,
    name   TEXT NOT NULL COLLATE NOCASE,
    UNIQUE (parent, name)
);
CREATE TABLE IF NOT EXISTS reg_values (
    key  INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,
    name TEXT NOT NULL COLLATE NOCASE,
    type INTEGER NOT NULL,
    data,
    PRIMARY KEY (key, name)
) WITHOUT ROWID;
INSERT OR IGNORE INTO keys (id, parent, name) VALUES (1, NULL, 'HKEY_CURRENT_USER');
INSERT OR IGNORE INTO keys (id, parent, name) VALUES (2, NULL, 'HKEY_LOCAL_MACHINE');
)sql";

std::int64_t rootId(HKEY root) {
    return root == HKEY_LOCAL_MACHINE ? 2 : 1;
}

std::vector<std::string> splitPath(const std::string &path) {
    std::vector<std::string> parts;
    std::string part;
    for (const char c : path) {
        if (c == '\\') {
            if (!part.empty())
                parts.push_back(std::move(part));
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(std::move(part));
    return parts;
}

std::string quoted(const std::string &name) {
    return "'" + name + "'";
}

} // namespace

TRegistry::TRegistry() : TRegistry(DefaultDatabasePath()) {}

TRegistry::TRegistry(std::string databasePath)
    : databasePath_(std::move(databasePath)), currentKey_(rootId(root_)) {}

TRegistry::~TRegistry() = default;

std::string TRegistry::DefaultDatabasePath() {
    if (const char *path = std::getenv("VEXIL_REGISTRY"); path && *path)
        return path;
    std::string config;
    if (const char *xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        config = xdg;
    else if (const char *home = std::getenv("HOME"); home && *home)
        config = std::string(home) + "/.config";
    else
        config = ".config";
    return config + "/vexil/registry.sqlite3";
}

TSqliteDatabase &TRegistry::Db() {
    if (!db_) {
        auto db = std::make_unique<TSqliteDatabase>(databasePath_);
        // WAL with NORMAL sync survives a killed process without losing a committed write,
        // and costs one fsync per checkpoint rather than per value.
        db->Execute("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;");
        TSqliteTransaction schema(*db);
        db->Execute(kSchema);
        schema.Commit();
        db_ = std::move(db);
    }
    return *db_;
}

void TRegistry::SetRootKey(HKEY root) {
    root_ = root;
    CloseKey();
}

void TRegistry::CloseKey() {
    currentKey_ = rootId(root_);
    currentPath_.clear();
}

std::string TRegistry::JoinedPath(const std::string &path) const {
    std::string joined;
    const bool absolute = !path.empty() && path.front() == '\\';
    for (const std::string &part : splitPath(absolute ? path : currentPath_ + "\\" + path)) {
        if (!joined.empty())
            joined += '\\';
        joined += part;
    }
    return joined;
}

std::optional<std::int64_t> TRegistry::FindKey(const std::string &path, bool create) {
    // The keys opened are nearly always there already: looked for without the write lock,
    // which an open for every value written would otherwise take.
    const std::optional<std::int64_t> found = WalkKey(path, false);
    if (found || !create)
        return found;
    TSqliteTransaction transaction(Db());
    const std::optional<std::int64_t> made = WalkKey(path, true);
    transaction.Commit();
    return made;
}

std::optional<std::int64_t> TRegistry::WalkKey(const std::string &path, bool create) {
    TSqliteDatabase &db = Db();
    const bool absolute = !path.empty() && path.front() == '\\';
    std::int64_t id = absolute ? rootId(root_) : currentKey_;
    for (const std::string &part : splitPath(path)) {
        TSqliteStatement find = db.Prepare("SELECT id FROM keys WHERE parent = ? AND name = ?");
        find.Bind(1, id).BindText(2, part);
        if (find.Step()) {
            id = find.ColumnInt(0);
            continue;
        }
        if (!create)
            return std::nullopt;
        TSqliteStatement insert = db.Prepare("INSERT INTO keys (parent, name) VALUES (?, ?)");
        insert.Bind(1, id).BindText(2, part).Step();
        id = db.LastInsertRowId();
    }
    return id;
}

bool TRegistry::OpenKey(const std::string &key, bool canCreate) {
    const std::optional<std::int64_t> id = FindKey(key, canCreate);
    if (!id)
        return false;
    currentPath_ = JoinedPath(key);
    currentKey_ = *id;
    return true;
}

bool TRegistry::KeyExists(const std::string &key) {
    return FindKey(key, false).has_value();
}

bool TRegistry::DeleteKey(const std::string &key) {
    const std::optional<std::int64_t> id = FindKey(key, false);
    // The root itself is never deleted: there is always somewhere to write.
    if (!id || *id == rootId(root_) || splitPath(key).empty())
        return false;
    TSqliteDatabase &db = Db();
    db.Prepare("DELETE FROM keys WHERE id = ?").Bind(1, *id).Step();
    if (*id == currentKey_)
        CloseKey();
    return db.Changes() > 0;
}

std::optional<TRegistry::Value> TRegistry::ReadValue(const std::string &name) {
    TSqliteStatement read =
        Db().Prepare("SELECT type, data FROM reg_values WHERE key = ? AND name = ?");
    read.Bind(1, currentKey_).BindText(2, name);
    if (!read.Step())
        return std::nullopt;
    Value value{static_cast<int>(read.ColumnInt(0)), {}, 0};
    if (value.type == rdString)
        value.bytes = read.ColumnBytes(1);
    else
        value.integer = read.ColumnInt(1);
    return value;
}

bool TRegistry::ValueExists(const std::string &name) {
    return ReadValue(name).has_value();
}

std::optional<TRegistry::TDataType> TRegistry::GetDataType(const std::string &name) {
    const std::optional<Value> value = ReadValue(name);
    if (!value)
        return std::nullopt;
    return static_cast<TDataType>(value->type);
}

std::string TRegistry::ReadString(const std::string &name) {
    const std::optional<Value> value = ReadValue(name);
    if (!value)
        return {};
    if (value->type != rdString)
        throw ERegistryException("Invalid data type for " + quoted(name));
    return value->bytes;
}

std::int32_t TRegistry::ReadInteger(const std::string &name) {
    const std::optional<Value> value = ReadValue(name);
    if (!value || value->type != rdInteger)
        throw ERegistryException("Invalid data type for " + quoted(name));
    return static_cast<std::int32_t>(value->integer);
}

void TRegistry::WriteValue(const std::string &name, int type, const std::string *bytes,
                           std::int64_t integer) {
    try {
        TSqliteStatement write =
            Db().Prepare("INSERT INTO reg_values (key, name, type, data) VALUES (?, ?, ?, ?) "
                         "ON CONFLICT (key, name) DO UPDATE SET type = excluded.type, "
                         "data = excluded.data");
        write.Bind(1, currentKey_).BindText(2, name).Bind(3, type);
        if (bytes)
            write.Bind(4, *bytes);
        else
            write.Bind(4, integer);
        write.Step();
    } catch (const ERegistryException &e) {
        throw ERegistryException("Failed to set data for " + quoted(name) + " (" + e.Message() +
                                 ")");
    }
}

void TRegistry::WriteString(const std::string &name, const std::string &value) {
    WriteValue(name, rdString, &value, 0);
}

void TRegistry::WriteInteger(const std::string &name, std::int32_t value) {
    WriteValue(name, rdInteger, nullptr, value);
}

bool TRegistry::DeleteValue(const std::string &name) {
    TSqliteDatabase &db = Db();
    db.Prepare("DELETE FROM reg_values WHERE key = ? AND name = ?")
        .Bind(1, currentKey_)
        .BindText(2, name)
        .Step();
    return db.Changes() > 0;
}

std::vector<std::string> TRegistry::GetKeyNames() {
    TSqliteStatement list = Db().Prepare("SELECT name FROM keys WHERE parent = ? ORDER BY id");
    list.Bind(1, currentKey_);
    std::vector<std::string> names;
    while (list.Step())
        names.push_back(list.ColumnBytes(0));
    return names;
}

std::vector<std::string> TRegistry::GetValueNames() {
    TSqliteStatement list = Db().Prepare("SELECT name FROM reg_values WHERE key = ?");
    list.Bind(1, currentKey_);
    std::vector<std::string> names;
    while (list.Step())
        names.push_back(list.ColumnBytes(0));
    return names;
}

} // namespace vexil
