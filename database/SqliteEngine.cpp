#include "SqliteEngine.h"

#include "DataDictionary.h"
#include "Exception.h"
#include "Sqlite.h"
#include "WindowsPath.h"

#include <QFileInfo>
#include <QHash>

#include <sqlite3.h>

#include <charconv>
#include <iterator>
#include <memory>

namespace {

// SQLite allows this many attached files per connection; a table is one file.
constexpr int kMaxTables = 10;

struct StatementDeleter {
    void operator()(sqlite3_stmt *stmt) const { sqlite3_finalize(stmt); }
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

QString fromUtf8(const char *text) {
    return QString::fromUtf8(text ? text : "");
}

bool isPlainName(const QString &name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           !name.contains(QLatin1Char(':')) && !name.contains(QChar(0));
}

QString quoteIdentifier(const QString &name) {
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

struct SqliteEngine::Impl {
    struct Table {
        QString name; // as the statement named it; also its schema name
        QString file; // native path
    };

    Options options;
    // One thread uses a connection: without its mutex, reading a million cells does not take and
    // release a lock twice per cell.
    sqlite::Database db{QStringLiteral(":memory:"),
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX};
    QHash<QString, QString> catalogue; // dictionary only: upper-cased table name -> file name
    QString tableDirectory;            // native directory of the table files
    QHash<QString, Table> tables;      // attached tables by upper-cased name

    // What the authorizer saw while a statement of the caller's was prepared.
    bool internal = false;
    QStringList touched;
    QString refused;

    explicit Impl(const Options &opts) : options(opts) {}

    static int authorize(void *self, int action, const char *arg1, const char *arg2,
                         const char *schema, const char * /*trigger*/) {
        return static_cast<Impl *>(self)->authorize(action, arg1, arg2, schema);
    }

    // The statements come from the window's layout description, and the files from the practice
    // directory: neither may attach files, change schemas or settings, or load code.
    int authorize(int action, const char *arg1, const char *arg2, const char *schema) {
        if (internal) {
            return SQLITE_OK;
        }
        switch (action) {
        case SQLITE_READ:
        case SQLITE_INSERT:
        case SQLITE_UPDATE:
        case SQLITE_DELETE:
            if (schema && qstrcmp(schema, "main") != 0 && qstrcmp(schema, "temp") != 0) {
                const QString name = fromUtf8(schema);
                if (!touched.contains(name)) {
                    touched.append(name);
                }
            }
            return SQLITE_OK;
        case SQLITE_FUNCTION:
            if (qstricmp(arg2, "load_extension") == 0) {
                refused = QStringLiteral("load an extension");
                return SQLITE_DENY;
            }
            return SQLITE_OK;
        case SQLITE_ATTACH:
        case SQLITE_DETACH:
            refused = QStringLiteral("attach or detach a database file");
            return SQLITE_DENY;
        case SQLITE_PRAGMA:
            refused =
                QStringLiteral("change the engine's settings (PRAGMA %1)").arg(fromUtf8(arg1));
            return SQLITE_DENY;
        case SQLITE_SELECT:
        case SQLITE_TRANSACTION:
        case SQLITE_SAVEPOINT:
        case SQLITE_RECURSIVE:
            return SQLITE_OK;
        default:
            refused = QStringLiteral("change the structure of the database");
            return SQLITE_DENY;
        }
    }

    QString describeTables(const QStringList &names) const {
        QStringList parts;
        for (const QString &name : names) {
            const auto it = tables.constFind(name.toUpper());
            parts << (it == tables.constEnd()
                          ? QStringLiteral("table %1").arg(name)
                          : QStringLiteral("table %1 (file '%2')").arg(it->name, it->file));
        }
        return parts.join(QStringLiteral(", "));
    }

    QStringList attachedNames() const {
        QStringList names;
        for (const Table &table : tables) {
            names << table.name;
        }
        return names;
    }

    // A directory the user may not read hides its files: say so rather than call them missing.
    void requireReadableDirectory(const QString &name) const {
        const QFileInfo directory(tableDirectory);
        if (directory.isDir() && !(directory.isReadable() && directory.isExecutable())) {
            throw EDatabaseError(QStringLiteral("Cannot open table '%1': the data directory '%2' "
                                                "cannot be read (permission denied)")
                                     .arg(name, tableDirectory));
        }
    }

    QString fileOfTable(const QString &name) const {
        if (!isPlainName(name)) {
            throw EDatabaseError(QStringLiteral("Table '%1' not found: it is not a plain table "
                                                "name")
                                     .arg(name));
        }
        if (options.kind == Kind::Dictionary) {
            const auto it = catalogue.constFind(name.toUpper());
            if (it == catalogue.constEnd()) {
                throw EDatabaseError(QStringLiteral("Table '%1' not found in the data dictionary "
                                                    "'%2'")
                                         .arg(name, options.displayPath));
            }
            const QString file = ResolveWindowsPath(tableDirectory + QLatin1Char('/') + *it);
            if (!IsRegularFile(file)) {
                requireReadableDirectory(name);
                throw EDatabaseError(QStringLiteral("Table '%1' of the data dictionary '%2' is "
                                                    "missing: its file '%3' does not exist")
                                         .arg(name, options.displayPath, file));
            }
            return file;
        }
        const QString file =
            ResolveWindowsPath(tableDirectory + QLatin1Char('/') + name + QStringLiteral(".db"));
        if (!IsRegularFile(file)) {
            requireReadableDirectory(name);
            throw EDatabaseError(QStringLiteral("Table '%1' not found: there is no file %1.db in "
                                                "the data directory '%2'")
                                     .arg(name, options.displayPath));
        }
        return file;
    }

    void attach(const QString &name) {
        if (tables.size() >= kMaxTables) {
            throw EDatabaseError(QStringLiteral("Cannot open table '%1': a connection opens at "
                                                "most %2 tables")
                                     .arg(name)
                                     .arg(kMaxTables));
        }
        const QString file = fileOfTable(name);
        internal = true;
        struct Restore {
            bool &flag;
            ~Restore() { flag = false; }
        } restore{internal};

        {
            sqlite::Statement attachFile(
                db, "ATTACH ?1 AS ?2",
                QStringLiteral("Cannot open table '%1' (file '%2')").arg(name, file));
            attachFile.BindText(1, sqlite::FileUri(file, options.readOnly ? "ro" : "rw"));
            attachFile.BindText(2, name);
            attachFile.Step();
        }
        try {
            // Reading the schema is the first read of the file: a file that is not a database, or
            // a damaged one, shows here, before any statement of the caller's runs on it.
            const QByteArray sql = QStringLiteral("SELECT type FROM %1.sqlite_schema WHERE name = "
                                                  "?1 COLLATE NOCASE")
                                       .arg(quoteIdentifier(name))
                                       .toUtf8();
            sqlite::Statement lookup(db, std::string_view(sql.constData(), size_t(sql.size())),
                                     QStringLiteral("Cannot open table '%1': the file '%2' is not "
                                                    "a valid database")
                                         .arg(name, file));
            lookup.BindText(1, name);
            if (!lookup.Step()) {
                throw EDatabaseError(QStringLiteral("Cannot open table '%1': the file '%2' does "
                                                    "not contain the table %1")
                                         .arg(name, file));
            }
            if (lookup.ColumnText(0) != "table") {
                throw EDatabaseError(QStringLiteral("Cannot open table '%1': in the file '%2', %1 "
                                                    "is a %3, not a table")
                                         .arg(name, file, fromUtf8(lookup.ColumnText(0).data())));
            }
        } catch (...) {
            sqlite::Statement detach(db, "DETACH ?1",
                                     QStringLiteral("Cannot close table '%1'").arg(name));
            detach.BindText(1, name);
            detach.Step();
            throw;
        }
        tables.insert(name.toUpper(), Table{name, file});
    }

    // Prepares a statement of the caller's, opening each table it names on first use. `used`
    // receives the tables the statement reads or changes.
    StatementPtr prepare(const QString &sql, QStringList &used) {
        const QByteArray text = sql.toUtf8();
        for (int attempt = 0; attempt <= kMaxTables; ++attempt) {
            touched.clear();
            refused.clear();
            sqlite3_stmt *raw = nullptr;
            const int rc = sqlite3_prepare_v2(db.Handle(), text.constData(),
                                              static_cast<int>(text.size()), &raw, nullptr);
            StatementPtr statement(raw);
            if (rc == SQLITE_OK) {
                used = touched;
                return statement;
            }
            const QString message = db.ErrorMessage();
            if (!refused.isEmpty()) {
                const QStringList open = attachedNames();
                throw EDatabaseError(QStringLiteral("The statement%1 was refused: it tries to %2")
                                         .arg(open.isEmpty()
                                                  ? QString()
                                                  : QStringLiteral(" on ") + describeTables(open),
                                              refused));
            }
            static const QString noSuchTable = QStringLiteral("no such table: ");
            if (message.startsWith(noSuchTable)) {
                const QString name = message.mid(noSuchTable.size());
                if (name.contains(QLatin1Char('.')) || tables.contains(name.toUpper())) {
                    throw EDatabaseError(QStringLiteral("Table '%1' not found").arg(name));
                }
                attach(name);
                continue;
            }
            const QStringList open = attachedNames();
            throw EDatabaseError(open.isEmpty()
                                     ? QStringLiteral("Cannot run the statement: %1").arg(message)
                                     : QStringLiteral("Cannot run the statement on %1: %2")
                                           .arg(describeTables(open), message));
        }
        throw EDatabaseError(QStringLiteral("Cannot run the statement: it names more than %1 "
                                            "tables")
                                 .arg(kMaxTables));
    }

    [[noreturn]] void failStep(int rc, const QStringList &used) {
        const QString message = db.ErrorMessage();
        const QString where = describeTables(used.isEmpty() ? attachedNames() : used);
        // A failed statement leaves no transaction behind: nothing of it stays applied.
        if (!sqlite3_get_autocommit(db.Handle())) {
            sqlite3_exec(db.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        }
        switch (rc & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            throw EDatabaseError(QStringLiteral("%1 is in use by another program and stayed "
                                                "locked for %2 seconds; try again when it is "
                                                "free (%3)")
                                     .arg(where)
                                     .arg(options.lockWaitMs / 1000.0)
                                     .arg(message));
        case SQLITE_READONLY:
            if (rc == SQLITE_READONLY_DIRECTORY) {
                throw EDatabaseError(QStringLiteral("%1 cannot be changed: its directory is "
                                                    "read-only, so the journal that keeps the "
                                                    "change safe cannot be created (%2)")
                                         .arg(where, message));
            }
            throw EDatabaseError(QStringLiteral("%1 cannot be changed: the file is read-only (%2)")
                                     .arg(where, message));
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            throw EDatabaseError(QStringLiteral("%1 is damaged (%2)").arg(where, message));
        default:
            throw EDatabaseError(
                QStringLiteral("The statement on %1 failed: %2").arg(where, message));
        }
    }
};

SqliteEngine::SqliteEngine(const Options &options) : impl_(std::make_unique<Impl>(options)) {
    Impl &d = *impl_;
    sqlite3_busy_timeout(d.db.Handle(), options.lockWaitMs);
    sqlite3_set_authorizer(d.db.Handle(), &Impl::authorize, impl_.get());
    if (options.kind == Kind::Dictionary) {
        d.catalogue = LoginToDictionary(options.path, options.displayPath, options.username,
                                        options.password);
        d.tableDirectory = QFileInfo(options.path).path();
    } else {
        d.tableDirectory = options.path;
    }
}

SqliteEngine::~SqliteEngine() = default;

std::unique_ptr<ResultSet> SqliteEngine::Select(const QString &sql) {
    Impl &d = *impl_;
    QStringList used;
    StatementPtr statement = d.prepare(sql, used);
    sqlite3_stmt *stmt = statement.get();

    const int columns = sqlite3_column_count(stmt);
    QStringList names;
    for (int column = 0; column < columns; ++column) {
        names << fromUtf8(sqlite3_column_name(stmt, column));
    }
    auto result = std::make_unique<ResultSet>(names);
    for (;;) {
        const int rc = sqlite3_step(stmt);
        if (rc == SQLITE_DONE) {
            break;
        }
        if (rc != SQLITE_ROW) {
            d.failStep(rc, used);
        }
        for (int column = 0; column < columns; ++column) {
            // The value itself, read once per cell: the column functions would look it up and
            // check the statement again on every call. Only this thread uses the statement.
            sqlite3_value *value = sqlite3_column_value(stmt, column);
            const int type = sqlite3_value_type(value);
            if (type == SQLITE_NULL) {
                result->AppendCell(std::string_view());
            } else if (type == SQLITE_INTEGER) {
                // In SQLite's own decimal form, without converting the value to text in place.
                char digits[24];
                const auto written =
                    std::to_chars(std::begin(digits), std::end(digits), sqlite3_value_int64(value));
                result->AppendCell(
                    std::string_view(digits, static_cast<size_t>(written.ptr - digits)));
            } else {
                const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
                if (text == nullptr) {
                    throw EDatabaseError(QStringLiteral("Out of memory while reading the result "
                                                        "of a statement on %1")
                                             .arg(d.describeTables(used)));
                }
                result->AppendCell(
                    std::string_view(text, static_cast<size_t>(sqlite3_value_bytes(value))));
            }
        }
        result->EndRow();
    }
    // Finalizing ends the read transaction: the listing holds no lock while it is shown.
    statement.reset();
    return result;
}

void SqliteEngine::Execute(const QString &sql) {
    Impl &d = *impl_;
    QStringList used;
    StatementPtr statement = d.prepare(sql, used);
    int rc;
    while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) {
        d.failStep(rc, used);
    }
}
