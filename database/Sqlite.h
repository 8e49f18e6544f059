#pragma once

#include <QString>

#include <cstdint>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

// The one thin wrapper of SQLite's C API: each handle is owned by exactly one object and
// released by its destructor; every failure raises EDatabaseError carrying SQLite's message and
// the caller's context (which file, which table).
namespace sqlite {

class Database {
public:
    // Opens (or with SQLITE_OPEN_CREATE creates) a database file with the defensive settings
    // every file here gets: SQLITE_DBCONFIG_DEFENSIVE on, trusted_schema off, no extension
    // loading, double-quoted names always names. `flags` are SQLite's open flags; URI file names
    // are always enabled. `displayName` names the file in messages (the path itself when empty).
    Database(const QString &path, int flags, const QString &displayName = QString());
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    sqlite3 *Handle() const { return db_; }
    // Runs statements with no result; raises with `context` in the message on failure.
    void Exec(const char *sql, const QString &context);
    QString ErrorMessage() const;
    int ErrorCode() const;

private:
    sqlite3 *db_ = nullptr;
};

class Statement {
public:
    Statement(const Database &db, std::string_view sql, const QString &context);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    sqlite3_stmt *Handle() const { return stmt_; }
    void BindText(int index, std::string_view text);
    void BindText(int index, const QString &text);
    void BindInt64(int index, std::int64_t value);
    void BindNull(int index);
    // true when a row is ready, false when done; raises on failure.
    bool Step();
    void Reset();

    int ColumnCount() const;
    QString ColumnName(int column) const;
    bool ColumnIsNull(int column) const;
    std::string_view ColumnText(int column) const;
    std::int64_t ColumnInt64(int column) const;

private:
    sqlite3 *db_;
    sqlite3_stmt *stmt_ = nullptr;
    QString context_;
};

// A "file:" URI for a native path with the given access mode ("ro", "rw"); unlike a plain name,
// it never creates a missing file. Raises when the path is longer than SQLite can open.
QString FileUri(const QString &path, const char *mode);

// Applies the defensive settings to an open handle (for handles opened elsewhere).
void ApplyDefensiveSettings(sqlite3 *db);

// "<context>: <SQLite's message>" as an EDatabaseError.
[[noreturn]] void Fail(sqlite3 *db, const QString &context);

} // namespace sqlite
