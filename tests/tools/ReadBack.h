#pragma once
// Reads practice files back through the project's SQLite wrapper, as the database layer does.

#include "Sqlite.h"

#include <QFile>
#include <QString>

#include <sqlite3.h>

#include <optional>
#include <vector>

namespace readback {

// The select of the repair tool, verbatim in its meaning: under the column's RTRIM collation
// blank-padded 'None' and all-blank units match, 'none' and 'None2' do not.
inline constexpr const char *kCountBad =
    R"(SELECT count(*) FROM SKRPT WHERE "Unit" = 'None' or "Unit" = '')";

inline QString columnText(const sqlite::Statement &statement, int column) {
    const std::string_view text = statement.ColumnText(column);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::optional<QString> columnOptional(const sqlite::Statement &statement, int column) {
    if (statement.ColumnIsNull(column)) {
        return std::nullopt;
    }
    return columnText(statement, column);
}

inline qint64 scalar(const QString &file, const char *sql) {
    sqlite::Database db(file, SQLITE_OPEN_READONLY);
    sqlite::Statement statement(db, sql, file);
    statement.Step();
    return statement.ColumnInt64(0);
}

inline QString scalarText(const QString &file, const char *sql) {
    sqlite::Database db(file, SQLITE_OPEN_READONLY);
    sqlite::Statement statement(db, sql, file);
    statement.Step();
    return columnText(statement, 0);
}

struct Repeat {
    qint64 id = 0;
    QString chartNumber;
    QString name;
    QString provider;
    std::optional<QString> startDate;
    QString unit;
};

inline std::vector<Repeat> readRepeats(const QString &file) {
    sqlite::Database db(file, SQLITE_OPEN_READONLY);
    sqlite::Statement statement(
        db,
        R"(SELECT "Repeat ID", "Chart Number", "Name", "Provider", "Start Date", "Unit"
           FROM SKRPT ORDER BY "Repeat ID")",
        file);
    std::vector<Repeat> rows;
    while (statement.Step()) {
        rows.push_back({statement.ColumnInt64(0), columnText(statement, 1),
                        columnText(statement, 2), columnText(statement, 3),
                        columnOptional(statement, 4), columnText(statement, 5)});
    }
    return rows;
}

inline QByteArray fileBytes(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

} // namespace readback
