#include "Sqlite.h"

#include "Exception.h"

#include <QFileInfo>
#include <QUrl>

#include <sqlite3.h>

namespace sqlite {

void ApplyDefensiveSettings(sqlite3 *db) {
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    // A double-quoted name that is no column must be an error, not the text 'Unit': otherwise
    // a table without the column "Unit" would silently match no rows and delete none.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
}

namespace {

// SQLite's message; when a file could not be opened or read, with the system's reason (permission
// denied, a link where none may be, ...), which SQLite's own text leaves out.
QString messageOf(sqlite3 *db) {
    QString message = QString::fromUtf8(sqlite3_errmsg(db));
    const int code = sqlite3_extended_errcode(db) & 0xff;
    const int systemError = sqlite3_system_errno(db);
    if ((code == SQLITE_CANTOPEN || code == SQLITE_IOERR) && systemError != 0) {
        message += QStringLiteral(" (%1)").arg(qt_error_string(systemError));
    }
    return message;
}

} // namespace

void Fail(sqlite3 *db, const QString &context) {
    const QString detail = db ? messageOf(db) : QStringLiteral("out of memory");
    throw EDatabaseError(QStringLiteral("%1: %2").arg(context, detail));
}

QString FileUri(const QString &path, const char *mode) {
    // SQLite keeps room for a "-journal" suffix within its file layer's path limit, and answers a
    // longer name with a bare "unable to open database file".
    const sqlite3_vfs *vfs = sqlite3_vfs_find(nullptr);
    const qsizetype length = QFileInfo(path).absoluteFilePath().toUtf8().size();
    if (vfs && length + 8 > vfs->mxPathname) {
        throw EDatabaseError(QStringLiteral("Cannot open the database file '%1': its path is %2 "
                                            "bytes long, and the database engine opens paths of "
                                            "at most %3 bytes")
                                 .arg(path)
                                 .arg(length)
                                 .arg(vfs->mxPathname - 8));
    }
    QString uriPath = path;
#ifdef Q_OS_WIN
    uriPath.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!uriPath.startsWith(QLatin1Char('/'))) {
        uriPath.prepend(QLatin1Char('/'));
    }
#endif
    return QStringLiteral("file:") + QString::fromLatin1(QUrl::toPercentEncoding(uriPath, "/")) +
           QStringLiteral("?mode=") + QLatin1String(mode);
}

Database::Database(const QString &path, int flags, const QString &displayName) {
    const QByteArray name = path.toUtf8();
    const int rc = sqlite3_open_v2(name.constData(), &db_, flags | SQLITE_OPEN_URI, nullptr);
    if (rc != SQLITE_OK) {
        const QString detail = db_ ? messageOf(db_) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close_v2(db_);
        db_ = nullptr;
        throw EDatabaseError(QStringLiteral("Cannot open the database file '%1': %2")
                                 .arg(displayName.isEmpty() ? path : displayName, detail));
    }
    sqlite3_extended_result_codes(db_, 1);
    ApplyDefensiveSettings(db_);
}

Database::~Database() {
    sqlite3_close_v2(db_);
}

void Database::Exec(const char *sql, const QString &context) {
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        Fail(db_, context);
    }
}

QString Database::ErrorMessage() const {
    return messageOf(db_);
}

int Database::ErrorCode() const {
    return sqlite3_extended_errcode(db_);
}

Statement::Statement(const Database &db, std::string_view sql, const QString &context)
    : db_(db.Handle()), context_(context) {
    if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr) !=
        SQLITE_OK) {
        Fail(db_, context_);
    }
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

void Statement::BindText(int index, std::string_view text) {
    // A null pointer would bind NULL; an empty view is the empty text.
    if (sqlite3_bind_text(stmt_, index, text.data() ? text.data() : "",
                          static_cast<int>(text.size()), SQLITE_TRANSIENT) != SQLITE_OK) {
        Fail(db_, context_);
    }
}

void Statement::BindText(int index, const QString &text) {
    const QByteArray utf8 = text.toUtf8();
    BindText(index, std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

void Statement::BindInt64(int index, std::int64_t value) {
    if (sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK) {
        Fail(db_, context_);
    }
}

void Statement::BindNull(int index) {
    if (sqlite3_bind_null(stmt_, index) != SQLITE_OK) {
        Fail(db_, context_);
    }
}

bool Statement::Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc == SQLITE_DONE) {
        return false;
    }
    Fail(db_, context_);
}

void Statement::Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

int Statement::ColumnCount() const {
    return sqlite3_column_count(stmt_);
}

QString Statement::ColumnName(int column) const {
    return QString::fromUtf8(sqlite3_column_name(stmt_, column));
}

bool Statement::ColumnIsNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

std::string_view Statement::ColumnText(int column) const {
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt_, column));
    if (!text) {
        return {};
    }
    return {text, static_cast<size_t>(sqlite3_column_bytes(stmt_, column))};
}

std::int64_t Statement::ColumnInt64(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

} // namespace sqlite
