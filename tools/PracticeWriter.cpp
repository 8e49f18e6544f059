#include "PracticeWriter.h"

#include "CreatedFiles.h"
#include "Exception.h"
#include "PracticeData.h"
#include "Sqlite.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <sodium.h>
#include <sqlite3.h>

#include <algorithm>
#include <string_view>

namespace practice {
namespace {

constexpr std::string_view kSkrptSchema = R"(CREATE TABLE SKRPT (
    "Repeat ID" INTEGER PRIMARY KEY,
    "Chart Number" TEXT NOT NULL DEFAULT '' COLLATE RTRIM,
    "Frequency" INTEGER NOT NULL DEFAULT 1,
    "Name" TEXT NOT NULL DEFAULT '' COLLATE RTRIM,
    "Day Of Week" INTEGER NOT NULL DEFAULT 0,
    "Resource" TEXT NOT NULL DEFAULT '' COLLATE RTRIM,
    "Provider" TEXT NOT NULL DEFAULT '' COLLATE RTRIM,
    "Start Date" TEXT,
    "End Date" TEXT,
    "Number Of Occurrences" INTEGER NOT NULL DEFAULT 0,
    "Unit" TEXT NOT NULL DEFAULT '' COLLATE RTRIM,
    "Day Of Month" INTEGER NOT NULL DEFAULT 0,
    "Start Time" TEXT NOT NULL DEFAULT '' COLLATE RTRIM,
    "Length" INTEGER NOT NULL DEFAULT 0,
    "Reason Code" TEXT NOT NULL DEFAULT '' COLLATE RTRIM,
    "Note" TEXT NOT NULL DEFAULT '' COLLATE RTRIM,
    "Date Modified" TEXT
))";

constexpr std::string_view kSkrptInsert =
    R"(INSERT INTO SKRPT ("Chart Number", "Frequency", "Name", "Day Of Week", "Resource",
    "Provider", "Start Date", "End Date", "Number Of Occurrences", "Unit", "Day Of Month",
    "Start Time", "Length", "Reason Code", "Note", "Date Modified")
    VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?))";

constexpr std::string_view kPatientSchema = R"(CREATE TABLE PATIENT (
    "Chart Number" TEXT NOT NULL DEFAULT '' COLLATE RTRIM PRIMARY KEY,
    "Last Name" TEXT NOT NULL DEFAULT '' COLLATE RTRIM,
    "First Name" TEXT NOT NULL DEFAULT '' COLLATE RTRIM,
    "Middle Initial" TEXT NOT NULL DEFAULT '' COLLATE RTRIM,
    "Date Of Birth" TEXT,
    "Phone 1" TEXT NOT NULL DEFAULT '' COLLATE RTRIM,
    "Assigned Provider" TEXT NOT NULL DEFAULT '' COLLATE RTRIM
))";

constexpr std::string_view kPatientInsert =
    R"(INSERT INTO PATIENT ("Chart Number", "Last Name", "First Name", "Middle Initial",
    "Date Of Birth", "Phone 1", "Assigned Provider") VALUES (?, ?, ?, ?, ?, ?, ?))";

constexpr std::string_view kProviderSchema = R"(CREATE TABLE PROVIDER (
    "Code" TEXT NOT NULL DEFAULT '' COLLATE RTRIM PRIMARY KEY,
    "Last Name" TEXT NOT NULL DEFAULT '' COLLATE RTRIM,
    "First Name" TEXT NOT NULL DEFAULT '' COLLATE RTRIM,
    "Credentials" TEXT NOT NULL DEFAULT '' COLLATE RTRIM
))";

constexpr std::string_view kProviderInsert =
    R"(INSERT INTO PROVIDER ("Code", "Last Name", "First Name", "Credentials")
    VALUES (?, ?, ?, ?))";

constexpr char kDictionarySchema[] =
    R"(CREATE TABLE users(name TEXT NOT NULL PRIMARY KEY COLLATE NOCASE, hash TEXT NOT NULL);
    CREATE TABLE tables(name TEXT NOT NULL PRIMARY KEY COLLATE NOCASE, file TEXT NOT NULL))";

const QString kDictionaryFile = QStringLiteral("cvddf.add");

QString native(const QString &path) {
    return QDir::toNativeSeparators(path);
}

void requireNewFile(const QString &file) {
    const QFileInfo info(file);
    if (info.exists() || info.isSymLink()) {
        throw Exception(QStringLiteral("The file '%1' already exists; it is not overwritten")
                            .arg(native(file)));
    }
}

// A new database file, registered with `created` before SQLite creates it so that a failure
// further on removes it again.
class NewFile {
public:
    NewFile(const QString &file, CreatedFiles &created)
        : db_(checkedAndRegistered(file, created), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE |
                                                       SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_NOMUTEX) {
    }

    sqlite::Database &db() { return db_; }

private:
    static const QString &checkedAndRegistered(const QString &file, CreatedFiles &created) {
        requireNewFile(file);
        created.add(file);
        return file;
    }

    sqlite::Database db_;
};

// A table is written in one transaction. A new file needs no journal: a failure deletes it.
void begin(sqlite::Database &db, bool newFile, const QString &context) {
    if (newFile) {
        db.Exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF", context);
    }
    db.Exec("BEGIN", context);
}

// Leaves a plain rollback-journal database behind, as the host application expects.
void commit(sqlite::Database &db, bool newFile, const QString &context) {
    db.Exec("COMMIT", context);
    if (newFile) {
        db.Exec("PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL", context);
    }
}

void bindDate(sqlite::Statement &statement, int index, const std::optional<QString> &date) {
    if (date) {
        statement.BindText(index, *date);
    } else {
        statement.BindNull(index);
    }
}

void insertRepeat(sqlite::Statement &insert, const RepeatRow &row, const RepeatDetails &details) {
    insert.BindText(1, row.chartNumber);
    insert.BindInt64(2, details.frequency);
    insert.BindText(3, row.name);
    insert.BindInt64(4, details.dayOfWeek);
    insert.BindText(5, details.resource);
    insert.BindText(6, row.provider);
    bindDate(insert, 7, row.startDate);
    bindDate(insert, 8, details.endDate);
    insert.BindInt64(9, details.occurrences);
    insert.BindText(10, row.unit);
    insert.BindInt64(11, details.dayOfMonth);
    insert.BindText(12, details.startTime);
    insert.BindInt64(13, details.length);
    insert.BindText(14, details.reasonCode);
    insert.BindText(15, details.note);
    bindDate(insert, 16, details.dateModified);
    insert.Step();
    insert.Reset();
}

void createTable(sqlite::Database &db, std::string_view schema, const QString &context) {
    sqlite::Statement create(db, schema, context);
    create.Step();
}

QString writeContext(const QString &table, const QString &file) {
    return QStringLiteral("Cannot write the table %1 to '%2'").arg(table, native(file));
}

void writeProviders(const QString &file, CreatedFiles &created) {
    NewFile out(file, created);
    const QString context = writeContext(QStringLiteral("PROVIDER"), file);
    begin(out.db(), true, context);
    createTable(out.db(), kProviderSchema, context);
    sqlite::Statement insert(out.db(), kProviderInsert, context);
    for (const Provider &provider : Providers()) {
        insert.BindText(1, provider.code);
        insert.BindText(2, provider.lastName);
        insert.BindText(3, provider.firstName);
        insert.BindText(4, provider.credentials);
        insert.Step();
        insert.Reset();
    }
    commit(out.db(), true, context);
}

void writePatients(const QString &file, const std::vector<Patient> &patients,
                   CreatedFiles &created) {
    NewFile out(file, created);
    const QString context = writeContext(QStringLiteral("PATIENT"), file);
    begin(out.db(), true, context);
    createTable(out.db(), kPatientSchema, context);
    sqlite::Statement insert(out.db(), kPatientInsert, context);
    for (const Patient &patient : patients) {
        insert.BindText(1, patient.chartNumber);
        insert.BindText(2, patient.lastName);
        insert.BindText(3, patient.firstName);
        insert.BindText(4, patient.middleInitial);
        insert.BindText(5, patient.dateOfBirth);
        insert.BindText(6, patient.phone);
        insert.BindText(7, patient.provider);
        insert.Step();
        insert.Reset();
    }
    commit(out.db(), true, context);
}

void writeRepeats(const QString &file, RepeatRowSource &source, CreatedFiles &created) {
    NewFile out(file, created);
    const QString context = writeContext(QStringLiteral("SKRPT"), file);
    begin(out.db(), true, context);
    createTable(out.db(), kSkrptSchema, context);
    sqlite::Statement insert(out.db(), kSkrptInsert, context);
    RepeatRow row;
    RepeatDetails details;
    while (source.next(row, details)) {
        insertRepeat(insert, row, details);
    }
    commit(out.db(), true, context);
}

void initSodium() {
    if (sodium_init() < 0) {
        throw Exception(QStringLiteral("Cannot initialise libsodium for hashing passwords"));
    }
}

QString hashPassword(const QString &password, const QString &user, const QString &file) {
    QByteArray secret = password.toUtf8();
    char hash[crypto_pwhash_STRBYTES];
    const int rc = crypto_pwhash_str_alg(
        hash, secret.constData(), static_cast<unsigned long long>(secret.size()),
        crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE,
        crypto_pwhash_ALG_ARGON2ID13);
    sodium_memzero(secret.data(), static_cast<size_t>(secret.size()));
    if (rc != 0) {
        throw Exception(
            QStringLiteral("Cannot hash the password of the user '%1' for the dictionary '%2' "
                           "(out of memory)")
                .arg(user, native(file)));
    }
    return QString::fromLatin1(hash);
}

// A catalogue entry names a file in the dictionary's own directory, never elsewhere.
void checkTableName(const QString &table, const QString &file) {
    const bool plain = !table.isEmpty() && !table.startsWith(QLatin1Char('.')) &&
                       !table.contains(QLatin1Char('/')) && !table.contains(QLatin1Char('\\')) &&
                       !table.contains(QLatin1Char(':')) && !table.contains(QChar(0));
    if (!plain) {
        throw Exception(
            QStringLiteral("The table name '%1' for the dictionary '%2' is not a plain name")
                .arg(table, native(file)));
    }
}

void writeDictionary(const QString &file, const QList<QPair<QString, QString>> &usersAndPasswords,
                     const QStringList &tables, CreatedFiles &created) {
    for (const auto &user : usersAndPasswords) {
        if (user.first.isEmpty()) {
            throw Exception(QStringLiteral("A user of the dictionary '%1' has an empty name")
                                .arg(native(file)));
        }
    }
    for (const QString &table : tables) {
        checkTableName(table, file);
    }
    initSodium();

    NewFile out(file, created);
    const QString context = QStringLiteral("Cannot write the dictionary '%1'").arg(native(file));
    out.db().Exec("BEGIN", context);
    out.db().Exec(kDictionarySchema, context);
    {
        sqlite::Statement insert(out.db(), "INSERT INTO users(name, hash) VALUES (?, ?)", context);
        for (const auto &[user, password] : usersAndPasswords) {
            insert.BindText(1, user);
            insert.BindText(2, hashPassword(password, user, file));
            insert.Step();
            insert.Reset();
        }
    }
    {
        sqlite::Statement insert(out.db(), "INSERT INTO tables(name, file) VALUES (?, ?)", context);
        for (const QString &table : tables) {
            insert.BindText(1, table);
            insert.BindText(2, table + QStringLiteral(".db"));
            insert.Step();
            insert.Reset();
        }
    }
    out.db().Exec("COMMIT", context);
}

void checkOptions(const Options &options) {
    if (options.directory.isEmpty()) {
        throw Exception(QStringLiteral("No directory given for the practice"));
    }
    if (options.rows < 0 || options.bad < 0 || options.bad > options.rows) {
        throw Exception(QStringLiteral("Cannot write %1 bad rows out of %2: the bad rows must be "
                                       "between 0 and the number of rows")
                            .arg(options.bad)
                            .arg(options.rows));
    }
}

// Makes `directory` exist; returns the directories this created, outermost first.
QStringList prepareDirectory(const QString &directory) {
    QStringList missing;
    for (QString dir = directory; !QFileInfo::exists(dir);) {
        missing.prepend(dir);
        const QString parent = QFileInfo(dir).path();
        if (parent == dir) {
            break;
        }
        dir = parent;
    }
    const QFileInfo info(directory);
    if (info.exists() && !info.isDir()) {
        throw Exception(QStringLiteral("Cannot write a practice to '%1': it is a file, not a "
                                       "directory")
                            .arg(native(directory)));
    }
    if (!QDir().mkpath(directory)) {
        throw Exception(QStringLiteral("Cannot create the directory '%1'").arg(native(directory)));
    }
    return missing;
}

// The host application matches table files ignoring case, so 'skrpt.db' counts as SKRPT.db.
void refuseExistingPractice(const QString &directory, const QStringList &files) {
    QSet<QString> ours;
    for (const QString &file : files) {
        ours.insert(file.toLower());
    }
    const QStringList entries = QDir(directory).entryList(QDir::AllEntries | QDir::Hidden |
                                                          QDir::System | QDir::NoDotAndDotDot);
    QStringList found;
    for (const QString &entry : entries) {
        if (ours.contains(entry.toLower())) {
            found << entry;
        }
    }
    if (!found.isEmpty()) {
        throw Exception(QStringLiteral("Refusing to write a practice into '%1': it already "
                                       "holds '%2'")
                            .arg(native(directory), found.join(QStringLiteral("', '"))));
    }
}

// Paths are made absolute so that SQLite never reads a name like "file:..." as a URI.
QString absolute(const QString &file) {
    return QFileInfo(file).absoluteFilePath();
}

} // namespace

QStringList PracticeTables() {
    return {QStringLiteral("SKRPT"), QStringLiteral("PATIENT"), QStringLiteral("PROVIDER")};
}

void CreateSkrptTable(const QString &given) {
    const QString file = absolute(given);
    CreatedFiles created;
    {
        NewFile out(file, created);
        createTable(out.db(), kSkrptSchema, writeContext(QStringLiteral("SKRPT"), file));
    }
    created.keep();
}

void AppendRepeatRows(const QString &given, const std::vector<RepeatRow> &rows) {
    const QString file = absolute(given);
    sqlite::Database db(file, SQLITE_OPEN_READWRITE);
    const QString context = writeContext(QStringLiteral("SKRPT"), file);
    begin(db, false, context);
    sqlite::Statement insert(db, kSkrptInsert, context);
    // The ignored columns get values too; the same call writes the same values.
    SplitMix64 rng(static_cast<quint64>(rows.size()));
    for (const RepeatRow &row : rows) {
        insertRepeat(insert, row, MakeRepeatDetails(row, rng));
    }
    commit(db, false, context);
}

void WriteDictionary(const QString &file, const QList<QPair<QString, QString>> &usersAndPasswords,
                     const QStringList &tables) {
    CreatedFiles created;
    writeDictionary(absolute(file), usersAndPasswords, tables, created);
    created.keep();
}

void WritePractice(const Options &options) {
    checkOptions(options);
    if (options.dictionary && options.user.isEmpty()) {
        throw Exception(QStringLiteral("The dictionary needs a user name"));
    }
    const QString directory = absolute(options.directory);
    QStringList files;
    for (const QString &table : PracticeTables()) {
        files << table + QStringLiteral(".db");
    }
    // A dictionary found here would be used in place of the directory's tables.
    files << kDictionaryFile;

    CreatedFiles created(prepareDirectory(directory));
    refuseExistingPractice(directory, files);

    const QDir dir(directory);
    const std::vector<Patient> patients =
        MakePatients(std::clamp<qint64>(options.rows / 10, 20, 20000), options.seed);
    writeProviders(dir.filePath(QStringLiteral("PROVIDER.db")), created);
    writePatients(dir.filePath(QStringLiteral("PATIENT.db")), patients, created);
    RepeatRowSource source(options.rows, options.bad, options.seed, patients);
    writeRepeats(dir.filePath(QStringLiteral("SKRPT.db")), source, created);
    if (options.dictionary) {
        writeDictionary(dir.filePath(kDictionaryFile), {{options.user, options.password}},
                        PracticeTables(), created);
    }
    created.keep();
}

} // namespace practice
