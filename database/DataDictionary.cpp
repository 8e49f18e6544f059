#include "DataDictionary.h"

#include "Exception.h"
#include "Sqlite.h"

#include <sodium.h>
#include <sqlite3.h>

namespace {

// A catalogue entry must name a file beside the dictionary, never one elsewhere.
bool isPlainFileName(const QString &name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           !name.contains(QLatin1Char(':')) && !name.contains(QChar(0));
}

void checkPassword(const sqlite::Database &db, const QString &displayName, const QString &username,
                   const QString &password) {
    const QString context =
        QStringLiteral("Cannot read the users of the data dictionary '%1'").arg(displayName);
    sqlite::Statement query(db, "SELECT hash FROM users WHERE name = ?1", context);
    query.BindText(1, username);
    const bool found = query.Step();
    const QByteArray hash = found ? QByteArray(query.ColumnText(0).data(),
                                               static_cast<qsizetype>(query.ColumnText(0).size()))
                                  : QByteArray();
    if (found && (hash.size() >= crypto_pwhash_STRBYTES || hash.contains('\0') ||
                  crypto_pwhash_str_needs_rehash(hash.constData(), crypto_pwhash_OPSLIMIT_MIN,
                                                 crypto_pwhash_MEMLIMIT_MIN) < 0)) {
        throw EDatabaseError(
            QStringLiteral("The data dictionary '%1' is damaged: the password hash of user '%2' "
                           "is not a valid Argon2id hash")
                .arg(displayName, username));
    }
    const QByteArray secret = password.toUtf8();
    if (!found || crypto_pwhash_str_verify(hash.constData(), secret.constData(),
                                           static_cast<unsigned long long>(secret.size())) != 0) {
        throw EDatabaseError(
            QStringLiteral("The data dictionary '%1' refused the login of user '%2': the user "
                           "name or the password is not valid")
                .arg(displayName, username));
    }
}

QHash<QString, QString> readCatalogue(const sqlite::Database &db, const QString &displayName) {
    const QString context = QStringLiteral("Cannot read the table catalogue of the data dictionary "
                                           "'%1'")
                                .arg(displayName);
    sqlite::Statement query(db, "SELECT name, file FROM tables", context);
    QHash<QString, QString> catalogue;
    while (query.Step()) {
        const std::string_view nameText = query.ColumnText(0);
        const std::string_view fileText = query.ColumnText(1);
        const QString name =
            QString::fromUtf8(nameText.data(), static_cast<qsizetype>(nameText.size()));
        const QString file =
            QString::fromUtf8(fileText.data(), static_cast<qsizetype>(fileText.size()));
        if (name.isEmpty() || !isPlainFileName(file)) {
            throw EDatabaseError(QStringLiteral("The data dictionary '%1' is damaged: table '%2' "
                                                "has the file name '%3', which is not a plain "
                                                "file name beside the dictionary")
                                     .arg(displayName, name, file));
        }
        catalogue.insert(name.toUpper(), file);
    }
    return catalogue;
}

} // namespace

QHash<QString, QString> LoginToDictionary(const QString &file, const QString &displayName,
                                          const QString &username, const QString &password) {
    if (sodium_init() < 0) {
        throw EDatabaseError(QStringLiteral("Cannot check the login of the data dictionary '%1': "
                                            "the password library did not start")
                                 .arg(displayName));
    }
    // Read-only: logging in never changes the dictionary.
    sqlite::Database db(sqlite::FileUri(file, "ro"), SQLITE_OPEN_READONLY, displayName);
    checkPassword(db, displayName, username, password);
    return readCatalogue(db, displayName);
}
