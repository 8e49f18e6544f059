#pragma once

#include "ResultSet.h"

#include <QString>

#include <memory>

// The database engine behind a TAdsConnection: one SQLite connection to an in-memory main
// database, with each table's file attached under the table's name when a statement first names
// it. Every SQLite handle and statement is owned here and released with it.
class SqliteEngine {
public:
    enum class Kind { Dictionary, Directory };
    struct Options {
        Kind kind = Kind::Directory;
        QString path;        // native path of the dictionary file or the directory
        QString displayPath; // the connect path as the user gave it, for messages
        QString username;
        QString password;
        bool readOnly = false;
        int lockWaitMs = 3000;
    };

    // Opens the engine; for a dictionary, logs in. Raises EDatabaseError on any failure.
    explicit SqliteEngine(const Options &options);
    ~SqliteEngine();
    SqliteEngine(const SqliteEngine &) = delete;
    SqliteEngine &operator=(const SqliteEngine &) = delete;

    // Runs a select and reads all of its rows; the engine's locks are released before it returns.
    std::unique_ptr<ResultSet> Select(const QString &sql);
    // Runs a statement with no result set as one atomic transaction.
    void Execute(const QString &sql);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
