// The mkpractice binary: its command line, exit codes and messages, and that it writes what the
// writer library writes.
#include "PracticeWriter.h"
#include "ReadBack.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sodium.h>

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run mkpractice(const QStringList &arguments) {
    QProcess process;
    process.start(QStringLiteral(MKPRACTICE_PATH), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        return {};
    }
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

} // namespace

class TestMkPractice : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(sodium_init() >= 0); }

    void helpExitsZero();
    void rejectsBadArguments_data();
    void rejectsBadArguments();
    void writesThePracticeTheLibraryWrites();
    void reportsWriteFailures_data();
    void reportsWriteFailures();
};

void TestMkPractice::helpExitsZero() {
    const Run run = mkpractice({QStringLiteral("--help")});
    QCOMPARE(run.exitCode, 0);
    for (const char *option :
         {"DIR", "--dictionary", "--user", "--password", "--rows", "--bad", "--seed"}) {
        QVERIFY2(run.out.contains(QLatin1String(option)), option);
    }
    QVERIFY(run.err.isEmpty());
}

void TestMkPractice::rejectsBadArguments_data() {
    QTest::addColumn<QStringList>("arguments"); // "DIR" stands for a fresh directory
    QTest::addColumn<QString>("named");         // what the message must mention

    const QString dir = QStringLiteral("DIR");
    QTest::newRow("no directory") << QStringList{} << QStringLiteral("directory");
    QTest::newRow("only options") << QStringList{QStringLiteral("--rows"), QStringLiteral("5")}
                                  << QStringLiteral("directory");
    QTest::newRow("two directories")
        << QStringList{dir, QStringLiteral("other")} << QStringLiteral("other");
    QTest::newRow("unknown option")
        << QStringList{dir, QStringLiteral("--frobnicate")} << QStringLiteral("frobnicate");
    QTest::newRow("missing value")
        << QStringList{dir, QStringLiteral("--rows")} << QStringLiteral("rows");
    QTest::newRow("rows not a number")
        << QStringList{dir, QStringLiteral("--rows"), QStringLiteral("ten")}
        << QStringLiteral("ten");
    QTest::newRow("rows in exponent form")
        << QStringList{dir, QStringLiteral("--rows"), QStringLiteral("1e3")}
        << QStringLiteral("1e3");
    QTest::newRow("negative rows")
        << QStringList{dir, QStringLiteral("--rows"), QStringLiteral("-5")} << QStringLiteral("-5");
    QTest::newRow("negative bad") << QStringList{dir, QStringLiteral("--bad"), QStringLiteral("-1")}
                                  << QStringLiteral("-1");
    QTest::newRow("rows too large")
        << QStringList{dir, QStringLiteral("--rows"), QStringLiteral("99999999999999999999")}
        << QStringLiteral("99999999999999999999");
    QTest::newRow("more bad than rows")
        << QStringList{dir, QStringLiteral("--rows"), QStringLiteral("10"), QStringLiteral("--bad"),
                       QStringLiteral("11")}
        << QStringLiteral("11");
    QTest::newRow("default rows, too many bad")
        << QStringList{dir, QStringLiteral("--bad"), QStringLiteral("1001")}
        << QStringLiteral("1001");
    QTest::newRow("seed not a number")
        << QStringList{dir, QStringLiteral("--seed"), QStringLiteral("x1")} << QStringLiteral("x1");
    QTest::newRow("user without password")
        << QStringList{dir, QStringLiteral("--dictionary"), QStringLiteral("--user"),
                       QStringLiteral("bob")}
        << QStringLiteral("--password");
    QTest::newRow("empty user")
        << QStringList{dir,       QStringLiteral("--dictionary"), QStringLiteral("--user"),
                       QString(), QStringLiteral("--password"),   QStringLiteral("pw")}
        << QStringLiteral("--user");
    QTest::newRow("login without dictionary")
        << QStringList{dir, QStringLiteral("--user"), QStringLiteral("bob"),
                       QStringLiteral("--password"), QStringLiteral("pw")}
        << QStringLiteral("--dictionary");
}

void TestMkPractice::rejectsBadArguments() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, named);
    QTemporaryDir temp;
    const QString directory = temp.filePath(QStringLiteral("practice"));
    arguments.replaceInStrings(QRegularExpression(QStringLiteral("^DIR$")), directory);

    const Run run = mkpractice(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(named), qPrintable(run.err));
    QVERIFY2(run.err.contains(QLatin1String("Usage: mkpractice DIR")), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
    QVERIFY(!QFileInfo::exists(directory));
}

void TestMkPractice::writesThePracticeTheLibraryWrites() {
    QTemporaryDir temp;
    const QString directory = temp.filePath(QStringLiteral("fromtool"));
    const Run run =
        mkpractice({directory, QStringLiteral("--dictionary"), QStringLiteral("--user"),
                    QStringLiteral("Desk"), QStringLiteral("--password"), QStringLiteral("pw 1"),
                    QStringLiteral("--rows"), QStringLiteral("300"), QStringLiteral("--bad"),
                    QStringLiteral("30"), QStringLiteral("--seed"), QStringLiteral("5")});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.err.isEmpty());
    QCOMPARE(run.out.count(u'\n'), 1);
    QVERIFY2(run.out.contains(directory), qPrintable(run.out));

    const QDir dir(directory);
    QCOMPARE(
        readback::scalar(dir.filePath(QStringLiteral("SKRPT.db")), "SELECT count(*) FROM SKRPT"),
        qint64{300});
    QCOMPARE(readback::scalar(dir.filePath(QStringLiteral("SKRPT.db")), readback::kCountBad),
             qint64{30});
    const QByteArray hash = readback::scalarText(dir.filePath(QStringLiteral("cvddf.add")),
                                                 "SELECT hash FROM users WHERE name = 'desk'")
                                .toLatin1();
    QCOMPARE(crypto_pwhash_str_verify(hash.constData(), "pw 1", 4), 0);

    // The same options through the library give the same table files.
    practice::Options options;
    options.directory = temp.filePath(QStringLiteral("fromlibrary"));
    options.rows = 300;
    options.bad = 30;
    options.seed = 5;
    practice::WritePractice(options);
    for (const QString &table : practice::PracticeTables()) {
        const QString file = table + QStringLiteral(".db");
        QVERIFY2(readback::fileBytes(dir.filePath(file)) ==
                     readback::fileBytes(QDir(options.directory).filePath(file)),
                 qPrintable(file));
    }

    // Defaults: 1000 rows, 100 bad, the fixed login.
    const QString defaults = temp.filePath(QStringLiteral("defaults"));
    QCOMPARE(mkpractice({defaults, QStringLiteral("--dictionary")}).exitCode, 0);
    QCOMPARE(
        readback::scalar(QDir(defaults).filePath(QStringLiteral("SKRPT.db")), readback::kCountBad),
        qint64{100});
    const QByteArray defaultHash =
        readback::scalarText(QDir(defaults).filePath(QStringLiteral("cvddf.add")),
                             "SELECT hash FROM users WHERE name = 'user'")
            .toLatin1();
    QCOMPARE(crypto_pwhash_str_verify(defaultHash.constData(), "tulipnet", 8), 0);
}

void TestMkPractice::reportsWriteFailures_data() {
    QTest::addColumn<QString>("occupant"); // what is already at DIR/occupant, or DIR itself
    QTest::newRow("existing practice") << QStringLiteral("SKRPT.db");
    QTest::newRow("existing dictionary") << QStringLiteral("cvddf.add");
    QTest::newRow("directory is a file") << QString();
}

void TestMkPractice::reportsWriteFailures() {
    QFETCH(QString, occupant);
    QTemporaryDir temp;
    const QString directory = temp.filePath(QStringLiteral("practice"));
    const QString path = occupant.isEmpty() ? directory : directory + u'/' + occupant;
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("keep me");
    file.close();

    const Run run = mkpractice({directory, QStringLiteral("--rows"), QStringLiteral("10"),
                                QStringLiteral("--bad"), QStringLiteral("1")});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QDir::toNativeSeparators(directory)), qPrintable(run.err));
    QVERIFY2(run.err.contains(occupant), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
    QCOMPARE(readback::fileBytes(path), QByteArray("keep me"));
}

QTEST_GUILESS_MAIN(TestMkPractice)
#include "tst_mkpractice.moc"
