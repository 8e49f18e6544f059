// Another program working on SKRPT at the same time, in a process of its own: the delete waits
// for its lock, then names the table as in use and changes nothing, on a connection that stays
// usable; an open listing never keeps the other program from writing.
#include "Exception.h"
#include "PracticeFixture.h"
#include "ReliabilitySupport.h"

#include <QElapsedTimer>
#include <QtTest>

using namespace reliability;

namespace {

void writePractice(PracticeFixture &f) {
    practice::Options options;
    options.directory = f.dir;
    options.rows = 400;
    options.bad = 40;
    practice::WritePractice(options);
}

} // namespace

class TestLocks : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void deleteWaitsThenReportsTheTableInUse_data() {
        QTest::addColumn<QString>("hold");
        // A writer keeps the delete from starting; a reader keeps it from committing.
        QTest::newRow("another program's write transaction") << QStringLiteral("hold-write");
        QTest::newRow("another program's read transaction") << QStringLiteral("hold-read");
    }

    void deleteWaitsThenReportsTheTableInUse() {
        QFETCH(QString, hold);
        PracticeFixture f;
        writePractice(f);
        f.conn->SetConnectPath(f.dir);
        f.select->SetActive(true);
        QCOMPARE(f.select->RecordCount(), 40);
        const TableDigest before = digestTable(f.skrptFile());

        HelperProcess other({hold, f.skrptFile()});
        QVERIFY(other.waitForLine(QStringLiteral("locked")));

        QElapsedTimer waited;
        waited.start();
        QString error;
        try {
            f.remove->ExecSQL();
        } catch (const EDatabaseError &e) {
            error = e.Message();
        }
        const qint64 ms = waited.elapsed();
        QVERIFY2(!error.isEmpty(), "the delete ran through another program's lock");
        QVERIFY2(error.contains(QStringLiteral("SKRPT")) &&
                     error.contains(QStringLiteral("in use")),
                 qPrintable(error));
        // It waited for the lock (the engine's busy timeout is 3 s) and then gave up.
        QVERIFY2(ms >= 2500 && ms < 30000, qPrintable(QStringLiteral("waited %1 ms").arg(ms)));
        QVERIFY(f.conn->IsConnected());

        other.send("release");
        const HelperResult released = other.finish();
        QVERIFY2(released.lines.contains(QStringLiteral("released")),
                 qPrintable(released.error() + released.errorOutput));

        const TableDigest after = digestTable(f.skrptFile());
        QCOMPARE(after.rows, before.rows);
        QCOMPARE(after.all, before.all);

        // The same connection lists and deletes once the other program is done.
        f.select->SetActive(false);
        f.select->SetActive(true);
        QCOMPARE(f.select->RecordCount(), 40);
        f.remove->ExecSQL();
        const TableDigest deleted = digestTable(f.skrptFile());
        QCOMPARE(deleted.rows, before.goodRows);
        QCOMPARE(deleted.all, before.good);
        QCOMPARE(integrityCheck(f.skrptFile()), QStringLiteral("ok"));
    }

    void openListingLetsAnotherProgramWrite_data() {
        QTest::addColumn<bool>("dictionary");
        QTest::newRow("directory") << false;
        QTest::newRow("data dictionary") << true;
    }

    void openListingLetsAnotherProgramWrite() {
        QFETCH(bool, dictionary);
        PracticeFixture f;
        writePractice(f);
        f.writeDictionary();
        f.conn->SetConnectPath(dictionary ? f.dictionaryFile() : f.dir);
        f.select->SetActive(true);
        f.select->First();
        const QString listedName = f.select->FieldByName(QStringLiteral("Name"))->AsString();

        // The other program gives up at once on a lock (busy timeout 0).
        const HelperResult writer = runHelper({QStringLiteral("write"), f.skrptFile()});
        QVERIFY2(writer.exitCode == 0 && writer.lines.contains(QStringLiteral("written")),
                 qPrintable(writer.error() + writer.errorOutput));

        // The listing keeps what it read; the table has the other program's change.
        QVERIFY(f.select->Active());
        QCOMPARE(f.select->FieldByName(QStringLiteral("Name"))->AsString(), listedName);
        QCOMPARE(f.select->RecordCount(), 40);
        f.select->SetActive(false);
        f.select->SetActive(true);
        QCOMPARE(f.select->FieldByName(QStringLiteral("Name"))->AsString(),
                 QStringLiteral("changed by another program"));
    }
};

QTEST_GUILESS_MAIN(TestLocks)
#include "tst_locks.moc"
