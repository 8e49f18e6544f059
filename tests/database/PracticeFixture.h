#pragma once

#include "AdsConnection.h"
#include "AdsQuery.h"
#include "PracticeWriter.h"
#include "Sqlite.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QObject>
#include <QTemporaryDir>

#include <memory>

// A practice directory in a temporary folder, with an owner object holding a connection and the
// two statements exactly as the window declares them.
struct PracticeFixture {
    QTemporaryDir temp;
    QString dir = temp.path() + QStringLiteral("/pract1");
    QObject owner;
    TAdsConnection *conn = nullptr;
    TAdsQuery *select = nullptr;
    TAdsQuery *remove = nullptr;

    PracticeFixture() {
        QDir().mkpath(dir);
        conn = new TAdsConnection(&owner);
        conn->setObjectName(QStringLiteral("connCorvanta"));
        conn->SetUsername(QStringLiteral("user"));
        conn->SetPassword(QStringLiteral("tulipnet"));
        select = new TAdsQuery(&owner);
        select->setObjectName(QStringLiteral("qryBadUnits"));
        select->SetDatabaseName(QStringLiteral("connCorvanta"));
        select->SetReadAllColumns(false);
        select->SetSQL({QStringLiteral("Select *"), QStringLiteral("From SKRPT"),
                        QStringLiteral("Where"), QStringLiteral(" \"Unit\" = 'None'"),
                        QStringLiteral(" or"), QStringLiteral(" \"Unit\" = ''")});
        remove = new TAdsQuery(&owner);
        remove->setObjectName(QStringLiteral("delBadRepeats"));
        remove->SetDatabaseName(QStringLiteral("connCorvanta"));
        remove->SetReadAllColumns(false);
        remove->SetSQL({QStringLiteral("Delete"), QStringLiteral("From SKRPT"),
                        QStringLiteral("Where"), QStringLiteral(" \"Unit\" = 'None'"),
                        QStringLiteral(" or"), QStringLiteral(" \"Unit\" = ''")});
    }

    QString skrptFile() const { return dir + QStringLiteral("/SKRPT.db"); }
    QString dictionaryFile() const { return dir + QStringLiteral("/cvddf.add"); }

    void writeRows(const std::vector<practice::RepeatRow> &rows) {
        practice::CreateSkrptTable(skrptFile());
        practice::AppendRepeatRows(skrptFile(), rows);
    }

    void writeDictionary() {
        practice::WriteDictionary(dictionaryFile(),
                                  {{QStringLiteral("user"), QStringLiteral("tulipnet")}},
                                  {QStringLiteral("SKRPT")});
    }

    // Runs SQL on a table file directly, as another program would.
    static void exec(const QString &file, const char *sql) {
        sqlite::Database db(file, 0x2 /* SQLITE_OPEN_READWRITE */);
        db.Exec(sql, QStringLiteral("fixture SQL on %1").arg(file));
    }

    // The units left in SKRPT, in row order, read directly from the file.
    static QStringList units(const QString &file) {
        sqlite::Database db(file, 0x1 /* SQLITE_OPEN_READONLY */);
        sqlite::Statement query(db, "SELECT \"Unit\" FROM SKRPT ORDER BY rowid",
                                QStringLiteral("reading %1").arg(file));
        QStringList result;
        while (query.Step()) {
            const std::string_view unit = query.ColumnText(0);
            result << QString::fromUtf8(unit.data(), static_cast<qsizetype>(unit.size()));
        }
        return result;
    }

    static QByteArray digest(const QString &file) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) {
            return QByteArray("unreadable");
        }
        return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
    }
};
