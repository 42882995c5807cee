#pragma once
// A thin RAII layer over the SQLite C interface for the settings store: one connection, and
// prepared statements that bind and read by position. Failures throw the error type the
// caller names, with SQLite's own explanation appended.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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
    TSqliteStatement Prepare(const char *sql);
    std::int64_t LastInsertRowId() const;
    // Rows changed by the last statement.
    int Changes() const;
    std::string LastError() const;
    const std::string &Path() const { return path_; }

private:
    sqlite3 *db_ = nullptr;
    std::string path_;
};

class TSqliteStatement {
public:
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
    sqlite3 *db_;
    sqlite3_stmt *stmt_ = nullptr;
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
