#include "PracticePath.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

enum class Store { Missing, File, Directory };

struct ProbeResult {
    int exitCode = -1;
    QString output;
};

// Runs the probe in a process of its own with the settings home <configHome>; <home> stands in
// for the user's home directory, so the user's own settings are never read.
ProbeResult runProbe(const QString &home, const QString &configHome) {
    QProcess probe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    if (configHome.isEmpty())
        environment.remove(QStringLiteral("XDG_CONFIG_HOME"));
    else
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    probe.setProcessEnvironment(environment);
    probe.start(QStringLiteral(PRACTICEPATH_PROBE), QStringList());
    if (!probe.waitForFinished(30000) || probe.exitStatus() != QProcess::NormalExit)
        return ProbeResult{};
    return ProbeResult{probe.exitCode(), QString::fromUtf8(probe.readAllStandardOutput())};
}

QStringList entriesOf(const QString &directory) {
    return QDir(directory).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

QByteArray contentsOf(const QString &fileName) {
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

Q_DECLARE_METATYPE(Store)

class TestPracticePath : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void normalizeDataPath_data();
    void normalizeDataPath();
    void currentPracticePath_data();
    void currentPracticePath();
    void currentPracticePathDefaultsToHomeConfig();
};

void TestPracticePath::normalizeDataPath_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty stays empty") << QString() << QString();
    QTest::newRow("lower case, no backslash")
        << QStringLiteral("c:\\data\\pract1") << QStringLiteral("C:\\DATA\\PRACT1\\");
    QTest::newRow("trailing backslash kept single")
        << QStringLiteral("c:\\data\\pract1\\") << QStringLiteral("C:\\DATA\\PRACT1\\");
    QTest::newRow("only the last character counts")
        << QStringLiteral("c:\\data\\\\") << QStringLiteral("C:\\DATA\\\\");
    QTest::newRow("a lone backslash") << QStringLiteral("\\") << QStringLiteral("\\");
    QTest::newRow("a slash is not a backslash")
        << QStringLiteral("/srv/practice/pract1/") << QStringLiteral("/SRV/PRACTICE/PRACT1/\\");
    QTest::newRow("unc path") << QStringLiteral("\\\\server\\share\\Pract 1")
                              << QStringLiteral("\\\\SERVER\\SHARE\\PRACT 1\\");
    QTest::newRow("blanks, digits and punctuation unchanged")
        << QStringLiteral(" a-z_0 9'\"{}~ ") << QStringLiteral(" A-Z_0 9'\"{}~ \\");
    // Letters outside ASCII keep their case, including those whose Unicode upper case is ASCII
    // or longer than one character.
    QTest::newRow("non-ASCII letters unchanged")
        << QStringLiteral("c:\\daten\\m\u00fcller \u00df \u0131 \u017f \u00e9")
        << QStringLiteral("C:\\DATEN\\M\u00fcLLER \u00df \u0131 \u017f \u00e9\\");
}

void TestPracticePath::normalizeDataPath() {
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(NormalizeDataPath(path), expected);
}

void TestPracticePath::currentPracticePath_data() {
    QTest::addColumn<Store>("store");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("expected"); // "value:..." or "error:..."; %FILE% is the store

    const QString typeError = QStringLiteral("error:Invalid data type for 'Current Practice'");

    QTest::newRow("no store") << Store::Missing << QByteArray() << QStringLiteral("value:");
    QTest::newRow("value missing")
        << Store::File << QByteArray("[General]\nOther%20Value=c:\\\\x\n")
        << QStringLiteral("value:");
    QTest::newRow("value in another section")
        << Store::File << QByteArray("[Other]\nCurrent%20Practice=c:\\\\x\n")
        << QStringLiteral("value:");
    QTest::newRow("name differs in case")
        << Store::File << QByteArray("[General]\ncurrent%20practice=c:\\\\x\n")
        << QStringLiteral("value:");
    QTest::newRow("empty") << Store::File << QByteArray("[General]\nCurrent%20Practice=\n")
                           << QStringLiteral("value:");
    QTest::newRow("a path") << Store::File
                            << QByteArray("[General]\nCurrent%20Practice=/srv/practice/Pract1\n")
                            << QStringLiteral("value:/srv/practice/Pract1");
    QTest::newRow("lower case with trailing backslash")
        << Store::File << QByteArray("[General]\nCurrent%20Practice=c:\\\\data\\\\pract1\\\\\n")
        << QStringLiteral("value:c:\\data\\pract1\\");
    QTest::newRow("quoted, with comma, quotes and non-ASCII")
        << Store::File
        << QByteArray("[General]\nCurrent%20Practice=\"c:\\\\pract 1, it's \\\"q\\\" "
                      "\xc3\xbc\"\n")
        << QStringLiteral("value:c:\\pract 1, it's \"q\" \u00fc");
    QTest::newRow("a number is text")
        << Store::File << QByteArray("[General]\nCurrent%20Practice=5\n")
        << QStringLiteral("value:5");
    QTest::newRow("typed string") << Store::File
                                  << QByteArray("[General]\nCurrent%20Practice=@String(@x)\n")
                                  << QStringLiteral("value:@x");
    QTest::newRow("byte array") << Store::File
                                << QByteArray("[General]\nCurrent%20Practice=@ByteArray(c:\\\\x)\n")
                                << typeError;
    QTest::newRow("list of two") << Store::File
                                 << QByteArray("[General]\nCurrent%20Practice=c:\\\\a, c:\\\\b\n")
                                 << typeError;
    QTest::newRow("variant date")
        << Store::File
        << QByteArray("[General]\nCurrent%20Practice=@Variant(\\0\\0\\0\\xe\\0%\\x8a\\xd2)\n")
        << typeError;
    QTest::newRow("variant empty map")
        << Store::File
        << QByteArray("[General]\nCurrent%20Practice=@Variant(\\0\\0\\0\\b\\0\\0\\0\\0)\n")
        << typeError;
    QTest::newRow("rect") << Store::File
                          << QByteArray("[General]\nCurrent%20Practice=@Rect(1 2 3 4)\n")
                          << typeError;
    QTest::newRow("empty byte array")
        << Store::File << QByteArray("[General]\nCurrent%20Practice=@ByteArray()\n")
        << QStringLiteral("value:");
    QTest::newRow("empty list") << Store::File
                                << QByteArray("[General]\nCurrent%20Practice=@Invalid()\n")
                                << QStringLiteral("value:");
    QTest::newRow("empty variant")
        << Store::File << QByteArray("[General]\nCurrent%20Practice=@Variant()\n")
        << QStringLiteral("value:");
    QTest::newRow("damaged file")
        << Store::File << QByteArray("[General\nCurrent%20Practice=c:\\\\x\n")
        << QStringLiteral("error:The settings file '%FILE%' is not in a valid format");
    QTest::newRow("unreadable file")
        << Store::Directory << QByteArray()
        << QStringLiteral("error:The settings file '%FILE%' cannot be read");
}

void TestPracticePath::currentPracticePath() {
    QFETCH(Store, store);
    QFETCH(QByteArray, contents);
    QFETCH(QString, expected);

    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString configHome = home.filePath(QStringLiteral("config"));
    QVERIFY(QDir().mkpath(configHome));
    const QString storeFile = configHome + QStringLiteral("/Corvanta.conf");
    if (store == Store::File) {
        QFile file(storeFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(contents), contents.size());
    } else if (store == Store::Directory) {
        QVERIFY(QDir().mkpath(storeFile));
    }
    const QStringList entriesBefore = entriesOf(configHome);

    const ProbeResult result = runProbe(home.path(), configHome);

    expected.replace(QStringLiteral("%FILE%"), storeFile);
    QCOMPARE(result.output, expected);
    QCOMPARE(result.exitCode, expected.startsWith(QStringLiteral("error:")) ? 1 : 0);
    // Reading never writes: no file appears and the store keeps its bytes.
    QCOMPARE(entriesOf(configHome), entriesBefore);
    if (store == Store::File)
        QCOMPARE(contentsOf(storeFile), contents);
}

void TestPracticePath::currentPracticePathDefaultsToHomeConfig() {
    QTemporaryDir home;
    QVERIFY(home.isValid());
    QVERIFY(QDir().mkpath(home.filePath(QStringLiteral(".config"))));
    QFile file(home.filePath(QStringLiteral(".config/Corvanta.conf")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write("[General]\nCurrent%20Practice=c:\\\\home\\\\pract\n") > 0);
    file.close();

    const ProbeResult result = runProbe(home.path(), QString());
    QCOMPARE(result.output, QStringLiteral("value:c:\\home\\pract"));
    QCOMPARE(result.exitCode, 0);
}

QTEST_GUILESS_MAIN(TestPracticePath)

#include "tst_practicepath.moc"
