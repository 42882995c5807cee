#pragma once
// A thin RAII layer over the SQLite C interface for the settings store: one connection, and
// prepared statements that bind and read by position. Failures throw the error type the
// caller names, with SQLite's own explanation appended.
//
// A statement is compiled once per connection and kept for the next Prepare of the same
// text: the Smart Download memory writes one value per article, and compiling its few
// statements anew each time cost more than running them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace vexil {

class TSqliteStatement;

class TSqliteDatabase {
public:
    // Opens (creating when missing) the database file; throws ERegistryException.
    explicit TSqliteDatabase(const std::string &path);
    TSqliteDatabase(const TSqliteDatabase &) = delete;
    TSqliteDatabase &operator=(const TSqliteDatabase &) = delete;
    ~TSqliteDatabase();

    void Execute(const char *sql);
    // A statement of sql, reset and without bindings; compiled only when none is idle.
    TSqliteStatement Prepare(const char *sql);
    std::int64_t LastInsertRowId() const;
    // Rows changed by the last statement.
    int Changes() const;
    std::string LastError() const;
    const std::string &Path() const { return path_; }

private:
    friend class TSqliteStatement;
    // Takes back a statement that is done with, for the next Prepare of its text.
    void Keep(const std::string &sql, sqlite3_stmt *stmt);

    sqlite3 *db_ = nullptr;
    std::string path_;
    std::unordered_map<std::string, std::vector<sqlite3_stmt *>> idle_;
};

class TSqliteStatement {
public:
    // A statement of its own, finalized with it.
    TSqliteStatement(sqlite3 *db, const char *sql);
    TSqliteStatement(TSqliteStatement &&other) noexcept;
    TSqliteStatement(const TSqliteStatement &) = delete;
    TSqliteStatement &operator=(const TSqliteStatement &) = delete;
    ~TSqliteStatement();

    TSqliteStatement &Bind(int index, std::int64_t value);
    // Binds bytes as a blob: stored exactly, compared byte for byte.
    TSqliteStatement &Bind(int index, std::string_view bytes);
    // Binds bytes as text, so that the column's collation (NOCASE for names) applies.
    TSqliteStatement &BindText(int index, std::string_view text);
    // Runs to the next row; false when done. Throws on failure.
    bool Step();
    std::int64_t ColumnInt(int index) const;
    std::string ColumnBytes(int index) const;
    // The fundamental type of a column of the current row (SQLITE_INTEGER, ...).
    int ColumnType(int index) const;

private:
    friend class TSqliteDatabase;
    // A statement the database keeps: reset and handed back to it at the end.
    TSqliteStatement(TSqliteDatabase &home, std::string sql, sqlite3_stmt *stmt);

    sqlite3 *db_;
    sqlite3_stmt *stmt_ = nullptr;
    TSqliteDatabase *home_ = nullptr;
    std::string sql_;
};

// One transaction: commits when Commit is called, rolls back when left early by an exception.
class TSqliteTransaction {
public:
    explicit TSqliteTransaction(TSqliteDatabase &db);
    TSqliteTransaction(const TSqliteTransaction &) = delete;
    TSqliteTransaction &operator=(const TSqliteTransaction &) = delete;
    ~TSqliteTransaction();
    void Commit();

private:
    TSqliteDatabase &db_;
    bool done_ = false;
};

} // namespace vexil
