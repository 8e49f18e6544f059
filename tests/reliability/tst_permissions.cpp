// Files and directories the user may not read or change. The tool runs as an unprivileged user
// (nobody, through setpriv, when the tests run as root, which ignores file permissions): each
// case is a clear error naming what is in the way, or the work done right, and nothing on disk
// changes unless the delete succeeded.
#include "PracticeWriter.h"
#include "ReliabilitySupport.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

using namespace reliability;

namespace {

constexpr qint64 kRows = 300;
constexpr qint64 kBad = 30;

bool setMode(const QString &path, mode_t mode) {
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

// Gives `path` to root: a user other than the tool's (only root can do that).
bool giveToRoot(const QString &path) {
    return ::lchown(QFile::encodeName(path).constData(), 0, 0) == 0;
}

// The practice as the test leaves it for the tool: `prepare` changes modes and owners.
struct Practice {
    SharedTempDir temp;
    QString dir = temp.filePath(QStringLiteral("pract1"));
    QString table() const { return dir + QStringLiteral("/SKRPT.db"); }
};

using Prepare = std::function<bool(Practice &)>;

enum class Outcome {
    Refused,         // an error naming every part of `expected`, nothing changed
    Deleted,         // the bad rows are gone, the good rows kept, the file intact
    RefusedOrDeleted // either, whichever the system allows: both are sound
};

} // namespace

Q_DECLARE_METATYPE(Prepare)
Q_DECLARE_METATYPE(Outcome)

class TestPermissions : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        const QString reason = unprivilegedUnavailable();
        if (!reason.isEmpty()) {
            QSKIP(qPrintable(reason));
        }
    }

    void deleteAsUnprivilegedUser_data() {
        QTest::addColumn<Prepare>("prepare");
        QTest::addColumn<bool>("changeAfterListing"); // prepare runs between listing and delete
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("read-only table file")
            << Prepare([](Practice &p) { return setMode(p.table(), 0444); }) << false
            << Outcome::Refused
            << QStringList{QStringLiteral("SKRPT"), QStringLiteral("read-only")};
        QTest::newRow("table file made read-only after the listing")
            << Prepare([](Practice &p) { return setMode(p.table(), 0444); }) << true
            << Outcome::RefusedOrDeleted
            << QStringList{QStringLiteral("SKRPT"), QStringLiteral("read-only")};
        QTest::newRow("read-only data directory")
            << Prepare([](Practice &p) { return setMode(p.dir, 0555); }) << false
            << Outcome::Refused
            << QStringList{QStringLiteral("SKRPT"), QStringLiteral("directory"),
                           QStringLiteral("read-only")};
        // Search permission without read: names are found when given exactly, not listed.
        QTest::newRow("data directory that cannot be listed")
            << Prepare([](Practice &p) { return setMode(p.dir, 0300); }) << false
            << Outcome::Deleted << QStringList();
        QTest::newRow("data directory that cannot be listed, table named in another case")
            << Prepare([](Practice &p) {
                   return QFile::rename(p.table(), p.dir + QStringLiteral("/skrpt.db")) &&
                          setMode(p.dir, 0300);
               })
            << false << Outcome::Refused
            << QStringList{QStringLiteral("SKRPT"), QStringLiteral("pract1"),
                           QStringLiteral("permission")};
        QTest::newRow("data directory of another user")
            << Prepare([](Practice &p) { return giveToRoot(p.dir) && setMode(p.dir, 0700); })
            << false << Outcome::Refused
            << QStringList{QStringLiteral("SKRPT"), QStringLiteral("pract1"),
                           QStringLiteral("permission")};
        QTest::newRow("table file of another user")
            << Prepare(
                   [](Practice &p) { return giveToRoot(p.table()) && setMode(p.table(), 0600); })
            << false << Outcome::Refused
            << QStringList{QStringLiteral("SKRPT"), QStringLiteral("SKRPT.db"),
                           QStringLiteral("ermission")};
    }

    void deleteAsUnprivilegedUser() {
        QFETCH(Prepare, prepare);
        QFETCH(bool, changeAfterListing);
        QFETCH(Outcome, outcome);
        QFETCH(QStringList, expected);
        if (QByteArray(QTest::currentDataTag()).contains("another user") && ::geteuid() != 0) {
            QSKIP("only root can give a file to another user");
        }

        Practice p;
        QVERIFY(p.temp.isValid());
        practice::Options options;
        options.directory = p.dir;
        options.rows = kRows;
        options.bad = kBad;
        practice::WritePractice(options);
        const TableDigest before = digestTable(p.table());
        QVERIFY(giveToNobody(p.dir));
        if (!changeAfterListing) {
            QVERIFY(prepare(p));
        }
        const QMap<QString, QString> untouched = snapshot(p.temp.path());

        HelperOptions run;
        run.unprivileged = true;
        HelperProcess tool({QStringLiteral("scan-then-delete"), p.dir}, run);
        QVERIFY(tool.started());
        if (tool.waitForLine(QStringLiteral("listed")) && changeAfterListing) {
            QVERIFY(prepare(p));
        }
        tool.send("delete");
        const HelperResult result = tool.finish();
        QVERIFY2(result.finished, qPrintable(result.errorOutput));
        const QString error = result.error();

        // Read back as root, whom the modes do not stop.
        const bool deleted = error.isEmpty() && result.lines.contains(QStringLiteral("deleted"));
        if (outcome == Outcome::Deleted || (outcome == Outcome::RefusedOrDeleted && deleted)) {
            QVERIFY2(deleted, qPrintable(error));
            QCOMPARE(result.value(QStringLiteral("count")), QString::number(kBad));
            const QString table =
                QFileInfo::exists(p.table()) ? p.table() : p.dir + QStringLiteral("/skrpt.db");
            const TableDigest after = digestTable(table);
            QCOMPARE(after.rows, before.goodRows);
            QCOMPARE(after.all, before.good);
            QCOMPARE(integrityCheck(table), QStringLiteral("ok"));
            qInfo("figure: %s: deleted", QTest::currentDataTag());
            return;
        }
        QVERIFY2(!error.isEmpty(), "the delete was not refused");
        for (const QString &part : expected) {
            QVERIFY2(error.contains(part, Qt::CaseInsensitive),
                     qPrintable(QStringLiteral("'%1' not in: %2").arg(part, error)));
        }
        if (!changeAfterListing) {
            QCOMPARE(snapshot(p.temp.path()), untouched);
        }
        qInfo("figure: %s: refused: %s", QTest::currentDataTag(), qPrintable(error));
    }

    // A table file that is a link to a system file: refused, and the system file unchanged.
    void linkToSystemFileIsRefused() {
        Practice p;
        QVERIFY(QDir().mkpath(p.dir));
        QVERIFY(QFile::link(QStringLiteral("/etc/passwd"), p.table()));
        QVERIFY(giveToNobody(p.dir));
        const QMap<QString, QString> practice = snapshot(p.temp.path());
        const QMap<QString, QString> system = snapshot(QStringLiteral("/etc/passwd"));

        HelperOptions run;
        run.unprivileged = true;
        for (const QString &command : {QStringLiteral("scan"), QStringLiteral("delete")}) {
            const HelperResult result = runHelper({command, p.dir}, run);
            QVERIFY2(result.finished, qPrintable(result.errorOutput));
            QVERIFY2(result.error().contains(QStringLiteral("SKRPT")) &&
                         result.error().contains(QStringLiteral("SKRPT.db")),
                     qPrintable(command + QStringLiteral(": ") + result.error()));
        }
        QCOMPARE(snapshot(p.temp.path()), practice);
        QCOMPARE(snapshot(QStringLiteral("/etc/passwd")), system);
    }
};

QTEST_GUILESS_MAIN(TestPermissions)
#include "tst_permissions.moc"
