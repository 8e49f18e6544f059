// A crash in the middle of the delete: another process runs the window's delete statement over a
// table of a million rows and is killed with SIGKILL at moments spread over one whole delete.
// Whenever the kill lands, the next user who opens the file must find either every row or
// exactly the good ones, and an intact file.
#include "PracticeWriter.h"
#include "ReliabilitySupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <random>
#include <thread>

using namespace reliability;

namespace {

constexpr qint64 kRows = 1000000;
constexpr qint64 kBad = 100000;
constexpr int kTrials = 24;
constexpr unsigned kSeed = 20240611;

bool copyFresh(const QString &from, const QString &dir) {
    QDir(dir).removeRecursively();
    return QDir().mkpath(dir) && QFile::copy(from, dir + QStringLiteral("/SKRPT.db"));
}

qint64 journalSize(const QString &dir) {
    const QFileInfo journal(dir + QStringLiteral("/SKRPT.db-journal"));
    return journal.exists() ? journal.size() : -1;
}

} // namespace

class TestCrashDelete : public QObject {
    Q_OBJECT

private:
    QTemporaryDir temp_;
    QString original_;
    TableDigest before_;
    qint64 fullDeleteMs_ = 0;

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(temp_.isValid());
        const QString practice = temp_.filePath(QStringLiteral("original"));
        practice::Options options;
        options.directory = practice;
        options.rows = kRows;
        options.bad = kBad;
        options.seed = kSeed;
        practice::WritePractice(options);
        original_ = practice + QStringLiteral("/SKRPT.db");
        before_ = digestTable(original_);
        QCOMPARE(before_.rows, kRows);
        QCOMPARE(before_.goodRows, kRows - kBad);
    }

    // One delete that runs to its end: the bad rows go, the good ones stay untouched, and its
    // duration sets the span over which the kills are spread.
    void completeDeleteKeepsExactlyTheGoodRows() {
        const QString dir = temp_.filePath(QStringLiteral("complete"));
        QVERIFY(copyFresh(original_, dir));
        HelperProcess helper({QStringLiteral("delete"), dir});
        QVERIFY(helper.waitForLine(QStringLiteral("deleting")));
        QElapsedTimer timer;
        timer.start();
        const HelperResult result = helper.finish(120000);
        fullDeleteMs_ = timer.elapsed();
        QVERIFY2(result.finished && result.exitCode == 0,
                 qPrintable(result.error() + result.errorOutput));
        const TableDigest after = digestTable(dir + QStringLiteral("/SKRPT.db"));
        QCOMPARE(after.rows, before_.goodRows);
        QCOMPARE(after.all, before_.good);
        QCOMPARE(journalSize(dir), qint64(-1));
        qInfo("figure: one full delete of %lld of %lld rows took %lld ms", kBad, kRows,
              fullDeleteMs_);
    }

    void killedAtAnyMomentLosesNothing() {
        QVERIFY2(fullDeleteMs_ > 0, "needs the duration of a complete delete");
        // Kill moments: one in each of kTrials equal slices of 1.5 times the full duration, at a
        // random place in its slice, so the start, the middle, the commit and the time after
        // it all get trials, also when a trial's delete runs slower than the measured one.
        std::mt19937 random(kSeed);
        std::uniform_real_distribution<double> within(0.0, 1.0);
        const double span = fullDeleteMs_ * 1.5;

        int beforeCommit = 0;
        int afterCommit = 0;
        int journalsLeft = 0;
        int endedBeforeKill = 0;
        int coldJournals = 0;
        const QString dir = temp_.filePath(QStringLiteral("trial"));
        for (int trial = 0; trial < kTrials; ++trial) {
            const auto delay = std::chrono::microseconds(
                static_cast<qint64>((trial + within(random)) / kTrials * span * 1000.0));
            QVERIFY(copyFresh(original_, dir));

            HelperProcess helper({QStringLiteral("delete"), dir});
            QVERIFY(helper.waitForLine(QStringLiteral("deleting")));
            std::this_thread::sleep_for(delay);
            if (helper.running()) {
                helper.kill();
            } else {
                ++endedBeforeKill;
            }
            const qint64 journal = journalSize(dir);
            if (journal > 0) {
                ++journalsLeft;
            }

            // The next user is the tool itself, whose scan opens the file read-write: SQLite
            // rolls a hot journal back there. Then every row is compared.
            const HelperResult scan = runHelper({QStringLiteral("scan"), dir});
            const QString file = dir + QStringLiteral("/SKRPT.db");
            const TableDigest after = digestTable(file);
            const QString where =
                QStringLiteral("trial %1, killed %2 ms into the delete, journal %3 bytes")
                    .arg(trial)
                    .arg(std::chrono::duration<double, std::milli>(delay).count(), 0, 'f', 1)
                    .arg(journal);
            const QString listed = scan.value(QStringLiteral("count"));
            if (after.rows == before_.rows) {
                QVERIFY2(after.all == before_.all,
                         qPrintable(where + QStringLiteral(": all rows there, but changed")));
                QVERIFY2(listed == QString::number(kBad),
                         qPrintable(where + QStringLiteral(": the scan listed '%1' (%2)")
                                                .arg(listed, scan.error())));
                ++beforeCommit;
            } else {
                QVERIFY2(listed == QStringLiteral("0"),
                         qPrintable(where + QStringLiteral(": the scan listed '%1' (%2)")
                                                .arg(listed, scan.error())));
                QVERIFY2(after.rows == before_.goodRows,
                         qPrintable(where + QStringLiteral(": %1 rows left").arg(after.rows)));
                QVERIFY2(after.all == before_.good,
                         qPrintable(where + QStringLiteral(": the good rows changed")));
                ++afterCommit;
            }
            QCOMPARE(integrityCheck(file), QStringLiteral("ok"));
            // Killed before its header was written, a journal is not hot: SQLite leaves it
            // alone and the next change replaces it. The delete run again shows that.
            if (journalSize(dir) > 0) {
                ++coldJournals;
                const HelperResult again = runHelper({QStringLiteral("delete"), dir});
                QVERIFY2(again.exitCode == 0,
                         qPrintable(where + QStringLiteral(": ") + again.error()));
                const TableDigest done = digestTable(file);
                QVERIFY2(done.rows == before_.goodRows && done.all == before_.good,
                         qPrintable(
                             where +
                             QStringLiteral(": the delete run again left %1 rows").arg(done.rows)));
                QCOMPARE(journalSize(dir), qint64(-1));
            }
        }
        qInfo("figure: %d kills during a delete of %lld of %lld rows (spread over %.0f ms): %d "
              "before the commit (all rows kept; the kill left %d journals, %d of them not yet "
              "hot, replaced by the delete run again), %d after it (%d of them after the "
              "process had ended); rows lost or damaged: 0",
              kTrials, kBad, kRows, span, beforeCommit, journalsLeft, coldJournals, afterCommit,
              endedBeforeKill);
        // Kills that all landed on one side of the commit would prove only half of it.
        QVERIFY2(beforeCommit > 0 && afterCommit > 0, "the kill moments did not span the commit");
        QVERIFY2(journalsLeft > 0, "no kill landed while the journal was in use");
    }
};

QTEST_GUILESS_MAIN(TestCrashDelete)
#include "tst_crashdelete.moc"
