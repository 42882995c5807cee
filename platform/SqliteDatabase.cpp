#include "platform/SqliteDatabase.h"
#include "platform/TRegistry.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vexil {

namespace {

[[noreturn]] void fail(sqlite3 *db, std::string_view what) {
    throw ERegistryException(std::string(what) + ": " +
                             (db ? sqlite3_errmsg(db) : "out of memory"));
}

// The store holds a password in plain text, so it is created readable by its owner only,
// before SQLite opens it (SQLite gives its WAL and shared-memory files the same mode).
void createPrivately(const std::string &path) {
    const std::filesystem::path file(path);
    std::error_code ec;
    if (file.has_parent_path()) {
        std::filesystem::create_directories(file.parent_path(), ec);
        if (ec)
            throw ERegistryException("Cannot create the folder of the settings store " + path +
                                     ": " + ec.message());
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == EEXIST)
            return;
        throw ERegistryException("Cannot create the settings store " + path + ": " +
                                 std::strerror(errno));
    }
    ::fchmod(fd, 0600);
    ::close(fd);
}

} // namespace

TSqliteDatabase::TSqliteDatabase(const std::string &path) : path_(path) {
    createPrivately(path);
    const int rc =
        sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const std::string reason = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw ERegistryException("Cannot open the settings store " + path + ": " + reason);
    }
    sqlite3_busy_timeout(db_, 5000);
    sqlite3_extended_result_codes(db_, 1);
}

TSqliteDatabase::~TSqliteDatabase() {
    for (auto &[sql, statements] : idle_)
        for (sqlite3_stmt *stmt : statements)
            sqlite3_finalize(stmt);
    sqlite3_close_v2(db_);
}

void TSqliteDatabase::Execute(const char *sql) {
    char *message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string reason = message ? message : sqlite3_errmsg(db_);
        sqlite3_free(message);
        throw ERegistryException("The settings store " + path_ + " failed: " + reason);
    }
}

TSqliteStatement TSqliteDatabase::Prepare(const char *sql) {
    std::string text(sql);
    sqlite3_stmt *stmt = nullptr;
    if (auto found = idle_.find(text); found != idle_.end() && !found->second.empty()) {
        stmt = found->second.back();
        found->second.pop_back();
    } else if (sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr) != SQLITE_OK) {
        fail(db_, "The settings store cannot prepare a query");
    }
    return TSqliteStatement(*this, std::move(text), stmt);
}

void TSqliteDatabase::Keep(const std::string &sql, sqlite3_stmt *stmt) {
    // A statement left mid-way would hold its read transaction open; a failed one reports
    // its failure again from reset, which is already reported.
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    idle_[sql].push_back(stmt);
}

std::int64_t TSqliteDatabase::LastInsertRowId() const {
    return sqlite3_last_insert_rowid(db_);
}

int TSqliteDatabase::Changes() const {
    return sqlite3_changes(db_);
}

std::string TSqliteDatabase::LastError() const {
    return sqlite3_errmsg(db_);
}

TSqliteStatement::TSqliteStatement(sqlite3 *db, const char *sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK)
        fail(db, "The settings store cannot prepare a query");
}

TSqliteStatement::TSqliteStatement(TSqliteDatabase &home, std::string sql, sqlite3_stmt *stmt)
    : db_(home.db_), stmt_(stmt), home_(&home), sql_(std::move(sql)) {}

TSqliteStatement::TSqliteStatement(TSqliteStatement &&other) noexcept
    : db_(other.db_), stmt_(other.stmt_), home_(other.home_), sql_(std::move(other.sql_)) {
    other.stmt_ = nullptr;
}

TSqliteStatement::~TSqliteStatement() {
    if (stmt_ == nullptr)
        return;
    if (home_ == nullptr) {
        sqlite3_finalize(stmt_);
        return;
    }
    try {
        home_->Keep(sql_, stmt_);
    } catch (const std::bad_alloc &) {
        sqlite3_finalize(stmt_); // no room to keep it: compiled again next time
    }
}

TSqliteStatement &TSqliteStatement::Bind(int index, std::int64_t value) {
    if (sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK)
        fail(db_, "The settings store cannot bind a value");
    return *this;
}

TSqliteStatement &TSqliteStatement::Bind(int index, std::string_view bytes) {
    // Zero-length blobs need a non-null pointer, or SQLite stores NULL instead.
    static const char empty = 0;
    const char *data = bytes.empty() ? &empty : bytes.data();
    if (sqlite3_bind_blob64(stmt_, index, data, bytes.size(), SQLITE_TRANSIENT) != SQLITE_OK)
        fail(db_, "The settings store cannot bind a value");
    return *this;
}

TSqliteStatement &TSqliteStatement::BindText(int index, std::string_view text) {
    if (sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT,
                            SQLITE_UTF8) != SQLITE_OK)
        fail(db_, "The settings store cannot bind a name");
    return *this;
}

bool TSqliteStatement::Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    fail(db_, "The settings store failed");
}

std::int64_t TSqliteStatement::ColumnInt(int index) const {
    return sqlite3_column_int64(stmt_, index);
}

std::string TSqliteStatement::ColumnBytes(int index) const {
    const void *data = sqlite3_column_blob(stmt_, index);
    const int size = sqlite3_column_bytes(stmt_, index);
    if (data == nullptr || size <= 0)
        return {};
    return std::string(static_cast<const char *>(data), static_cast<std::size_t>(size));
}

int TSqliteStatement::ColumnType(int index) const {
    return sqlite3_column_type(stmt_, index);
}

TSqliteTransaction::TSqliteTransaction(TSqliteDatabase &db) : db_(db) {
    // IMMEDIATE takes the write lock at once, so two processes never deadlock on an upgrade.
    db_.Execute("BEGIN IMMEDIATE");
}

TSqliteTransaction::~TSqliteTransaction() {
    if (!done_) {
        try {
            db_.Execute("ROLLBACK");
        } catch (const Exception &) {
            // The failure that brought us here is the one the caller reports.
        }
    }
}

void TSqliteTransaction::Commit() {
    db_.Execute("COMMIT");
    done_ = true;
}

} // namespace vexil
