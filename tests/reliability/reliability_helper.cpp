// The other processes of the reliability tests: the tool's own statements run the way the window
// runs them (a connection and two queries owned by one object, found by name), and another
// program working on a table file at the same time. Each command prints one line per step, so the
// test can follow it, and a last line "error:<message>" with exit code 1 when something raised.
//
//   delete PATH               the window's delete statement on the connect path PATH
//   scan PATH                 the window's select, reading every listed field of every row
//   scan-then-delete PATH     the select, then (after a line on stdin) the delete
//   settings                  the show handler's steps: settings store, path, dictionary test,
//                             select
//   hold-write FILE           another program holding a write transaction on FILE until stdin
//                             gives a line
//   hold-read FILE            the same with a read transaction
//   write FILE                another program changing SKRPT in FILE without waiting for locks
//   whoami                    the effective user id
#include "AdsConnection.h"
#include "AdsQuery.h"
#include "Exception.h"
#include "PracticePath.h"
#include "Sqlite.h"
#include "WindowsPath.h"

#include <QCoreApplication>
#include <QObject>

#include <cstdio>
#include <string>

#include <unistd.h>

namespace {

void say(const QString &line) {
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

void waitForLine() {
    char buffer[256];
    if (!std::fgets(buffer, sizeof buffer, stdin)) {
        // The test ended without answering: end as it would have asked.
        return;
    }
}

QStringList statementText(const char *verb) {
    return {QLatin1String(verb),     QStringLiteral("From SKRPT"),
            QStringLiteral("Where"), QStringLiteral(" \"Unit\" = 'None'"),
            QStringLiteral(" or"),   QStringLiteral(" \"Unit\" = ''")};
}

// The window's non-visual components, as its layout description declares them.
struct Window {
    QObject owner;
    TAdsConnection *connCorvanta = new TAdsConnection(&owner);
    TAdsQuery *qryBadUnits = new TAdsQuery(&owner);
    TAdsQuery *delBadRepeats = new TAdsQuery(&owner);

    Window() {
        connCorvanta->setObjectName(QStringLiteral("connCorvanta"));
        connCorvanta->SetUsername(QStringLiteral("user"));
        connCorvanta->SetPassword(QStringLiteral("tulipnet"));
        qryBadUnits->setObjectName(QStringLiteral("qryBadUnits"));
        qryBadUnits->SetDatabaseName(QStringLiteral("connCorvanta"));
        qryBadUnits->SetReadAllColumns(false);
        qryBadUnits->SetSQL(statementText("Select *"));
        delBadRepeats->setObjectName(QStringLiteral("delBadRepeats"));
        delBadRepeats->SetDatabaseName(QStringLiteral("connCorvanta"));
        delBadRepeats->SetReadAllColumns(false);
        delBadRepeats->SetSQL(statementText("Delete"));
    }

    void scan() {
        qryBadUnits->SetActive(true);
        say(QStringLiteral("count:%1").arg(qryBadUnits->RecordCount()));
        qryBadUnits->First();
        while (!qryBadUnits->Eof()) {
            qryBadUnits->FieldByName(QStringLiteral("Chart Number"))->AsString();
            qryBadUnits->FieldByName(QStringLiteral("Name"))->AsString();
            qryBadUnits->FieldByName(QStringLiteral("Provider"))->AsString();
            qryBadUnits->FieldByName(QStringLiteral("Start Date"))->AsDateTime();
            qryBadUnits->Next();
        }
        say(QStringLiteral("listed"));
    }

    void remove() {
        say(QStringLiteral("deleting"));
        delBadRepeats->ExecSQL();
        say(QStringLiteral("deleted"));
    }
};

int run(const QString &command, const QStringList &args) {
    const QString arg = args.value(0);
    if (command == QLatin1String("whoami")) {
        say(QStringLiteral("uid:%1").arg(::geteuid()));
    } else if (command == QLatin1String("delete")) {
        Window window;
        window.connCorvanta->SetConnectPath(arg);
        window.remove();
    } else if (command == QLatin1String("scan")) {
        Window window;
        window.connCorvanta->SetConnectPath(arg);
        window.scan();
    } else if (command == QLatin1String("scan-then-delete")) {
        Window window;
        window.connCorvanta->SetConnectPath(arg);
        window.scan();
        waitForLine();
        window.remove();
    } else if (command == QLatin1String("settings")) {
        Window window;
        window.connCorvanta->SetIsConnected(false);
        const QString directory = NormalizeDataPath(GetCurrentPracticePath());
        const QString dictionary = directory + QStringLiteral("cvddf.add");
        window.connCorvanta->SetConnectPath(IsRegularFile(dictionary) ? dictionary : directory);
        say(QStringLiteral("connect:") + window.connCorvanta->ConnectPath());
        window.scan();
    } else if (command == QLatin1String("hold-write") || command == QLatin1String("hold-read")) {
        sqlite::Database db(arg, 0x2 /* SQLITE_OPEN_READWRITE */);
        db.Exec(command == QLatin1String("hold-write")
                    ? "BEGIN IMMEDIATE; UPDATE SKRPT SET \"Note\" = 'held' WHERE rowid = 1"
                    : "BEGIN; SELECT count(*) FROM SKRPT",
                QStringLiteral("Cannot lock %1").arg(arg));
        say(QStringLiteral("locked"));
        waitForLine();
        db.Exec("ROLLBACK", QStringLiteral("Cannot release %1").arg(arg));
        say(QStringLiteral("released"));
    } else if (command == QLatin1String("write")) {
        sqlite::Database db(arg, 0x2 /* SQLITE_OPEN_READWRITE */);
        db.Exec("PRAGMA busy_timeout = 0; BEGIN IMMEDIATE; UPDATE SKRPT SET \"Name\" = 'changed "
                "by another program'; COMMIT",
                QStringLiteral("Cannot write %1").arg(arg));
        say(QStringLiteral("written"));
    } else {
        say(QStringLiteral("error:unknown command '%1'").arg(command));
        return 2;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        say(QStringLiteral("error:no command"));
        return 2;
    }
    const QString command = args.takeFirst();
    try {
        return run(command, args);
    } catch (const Exception &error) {
        say(QStringLiteral("error:") + error.Message());
        return 1;
    }
}
