#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// Writes practice directories in the engine's format: one SQLite file `<TABLE>.db` a table and,
// optionally, the data dictionary cvddf.add. Used by mkpractice and by the tests of every area.
// Every failure raises Exception or EDatabaseError naming the file or directory.
namespace practice {

// One SKRPT row; the other columns get generated values.
struct RepeatRow {
    QString chartNumber;
    QString name;
    QString provider;
    std::optional<QString> startDate; // ISO 'YYYY-MM-DD' or ''; nullopt writes NULL
    QString unit;
};

struct Options {
    QString directory;
    bool dictionary = false;
    QString user = QStringLiteral("user");
    QString password = QStringLiteral("tulipnet");
    qint64 rows = 1000;
    qint64 bad = 100; // rows whose "Unit" is 'None' or empty (blank-padded or not)
    quint64 seed = 1;
};

// The names of the tables a generated practice holds, SKRPT first.
QStringList PracticeTables();

// Creates `file` (which must not exist yet) holding an empty SKRPT table.
void CreateSkrptTable(const QString &file);

// Appends rows to the SKRPT table of an existing file, in one transaction.
void AppendRepeatRows(const QString &file, const std::vector<RepeatRow> &rows);

// Creates the dictionary `file` (which must not exist yet) with the given logins and a catalogue
// mapping each table name to "<NAME>.db" in the dictionary's directory.
void WriteDictionary(const QString &file, const QList<QPair<QString, QString>> &usersAndPasswords,
                     const QStringList &tables);

// Writes a generated practice into options.directory (created when missing). Refuses a
// directory that already holds a practice's files. The same options give byte-identical table
// files; the dictionary's password hashes are salted at random.
void WritePractice(const Options &options);

} // namespace practice
