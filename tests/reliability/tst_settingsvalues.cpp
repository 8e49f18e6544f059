// Odd "Current Practice" values, each read by a new process (QSettings keeps what it has read for
// the life of a process) and carried through the show handler's steps: NormalizeDataPath, the
// dictionary test, the connect and the select. A clear error or a correct listing, never a crash.
#include "PracticeWriter.h"
#include "ReliabilitySupport.h"

#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using namespace reliability;

namespace {

constexpr qint64 kBad = 10;

QString windowsStyle(QString path) {
    return path.replace(QLatin1Char('/'), QLatin1Char('\\'));
}

// A directory name of `length` bytes repeated until the path passes `total` bytes.
QString deepPath(const QString &base, int total) {
    QString path = base;
    while (path.toUtf8().size() <= total) {
        path += QLatin1Char('/') + QString(200, QLatin1Char('d'));
    }
    return path;
}

// Moves the practice `source` to <deep>/pract, creating the levels of `deep` below `base` one at
// a time from the level above: the system takes no longer path in one call than 4,096 bytes, nor
// does SQLite write a file at a path of more than 504.
bool movePracticeDeep(const QString &base, const QString &deep, const QString &source) {
    const QString current = QDir::currentPath();
    bool ok = QDir::setCurrent(base);
    for (const QString &level :
         QDir(base).relativeFilePath(deep).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        ok = ok && (QDir().mkdir(level) || QDir(level).exists()) && QDir::setCurrent(level);
    }
    ok = ok && QDir().rename(source, QStringLiteral("pract"));
    QDir::setCurrent(current);
    return ok;
}

} // namespace

class TestSettingsValues : public QObject {
    Q_OBJECT

private:
    QTemporaryDir base_;
    QString root_;

    void writePractice(const QString &dir, bool dictionary) {
        practice::Options options;
        options.directory = dir;
        options.rows = 100;
        options.bad = kBad;
        options.dictionary = dictionary;
        practice::WritePractice(options);
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(base_.isValid());
        root_ = base_.filePath(QStringLiteral("practices"));
        writePractice(root_ + QStringLiteral("/pract1"), true);
        writePractice(root_ + QString::fromUtf8("/praxis m\xc3\xbcller"), false);
        writePractice(root_ + QStringLiteral("/it's \"q\""), false);
        writePractice(root_ + QStringLiteral("/mid"), false);
    }

    void cleanupTestCase() {
        // Qt removes directories by their full paths, which the deepest levels exceed.
        QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), base_.path()});
    }

    void valueIsClearErrorOrCorrectListing_data() {
        QTest::addColumn<QString>("value");        // written through QSettings; %ROOT% replaced
        QTest::addColumn<QByteArray>("raw");       // else these bytes are the whole settings file
        QTest::addColumn<QString>("connectEnd");   // how a correct connect path ends; "" for errors
        QTest::addColumn<QStringList>("expected"); // parts of the error

        QTest::newRow("non-ASCII letters")
            << QString::fromUtf8("%ROOT%/Praxis M\xc3\xbcller") << QByteArray()
            << QString::fromUtf8("/PRAXIS M\xc3\xbcLLER\\") << QStringList();
        QTest::newRow("quote characters") << QStringLiteral("%ROOT%/It's \"Q\"\\") << QByteArray()
                                          << QStringLiteral("/IT'S \"Q\"\\") << QStringList();
        QTest::newRow("Windows separators, dot-dot and a dictionary")
            << QStringLiteral("%WINROOT%\\mid\\..\\Pract1") << QByteArray()
            << QStringLiteral("\\MID\\..\\PRACT1\\cvddf.add") << QStringList();
        QTest::newRow("dot-dot above the root")
            << QStringLiteral("\\..\\..\\..%WINROOT%\\mid") << QByteArray()
            << QStringLiteral("\\MID\\") << QStringList();
        QTest::newRow("only a backslash")
            << QStringLiteral("\\") << QByteArray() << QString()
            << QStringList{QStringLiteral("SKRPT"), QStringLiteral("'\\'")};
        QTest::newRow("path of 4,200 bytes that does not exist")
            << deepPath(QStringLiteral("%ROOT%"), 4200) << QByteArray() << QString()
            << QStringList{QStringLiteral("does not exist")};
        QTest::newRow("practice at a path of 4,200 bytes")
            << QStringLiteral("%DEEP4200%") << QByteArray() << QString()
            << QStringList{QStringLiteral("PRACT")};
        QTest::newRow("practice at a path of 600 bytes")
            << QStringLiteral("%DEEP600%") << QByteArray() << QString()
            << QStringList{QStringLiteral("SKRPT.db"), QStringLiteral("bytes")};
        // Corvanta on Windows stores ANSI text: a Latin-1 byte is not UTF-8.
        QTest::newRow("Latin-1 byte in the settings file")
            << QString() << QByteArray("[General]\nCurrent%20Practice=%ROOT%/praxis m\xfcller\n")
            << QString() << QStringList{QStringLiteral("does not exist")};
        QTest::newRow("NUL character escaped in the settings file")
            << QString() << QByteArray("[General]\nCurrent%20Practice=%ROOT%/pract1\\0/x\n")
            << QString() << QStringList{QStringLiteral("does not exist")};
    }

    void valueIsClearErrorOrCorrectListing() {
        QFETCH(QString, value);
        QFETCH(QByteArray, raw);
        QFETCH(QString, connectEnd);
        QFETCH(QStringList, expected);

        QTemporaryDir home;
        QVERIFY(home.isValid());
        const QString configHome = home.filePath(QStringLiteral("config"));
        QVERIFY(QDir().mkpath(configHome));
        const QString store = configHome + QStringLiteral("/Corvanta.conf");

        for (const int depth : {600, 4200}) {
            const QString tag = QStringLiteral("%DEEP%1%").arg(depth);
            if (value.contains(tag)) {
                const QString staging = base_.filePath(QStringLiteral("staging%1").arg(depth));
                const QString deep =
                    deepPath(base_.filePath(QStringLiteral("deep%1").arg(depth)), depth);
                writePractice(staging, false);
                QVERIFY(movePracticeDeep(base_.path(), deep, staging));
                value.replace(tag, deep + QStringLiteral("/pract"));
            }
        }
        value.replace(QStringLiteral("%WINROOT%"), windowsStyle(root_));
        value.replace(QStringLiteral("%ROOT%"), root_);
        raw.replace("%ROOT%", QFile::encodeName(root_));
        if (raw.isEmpty()) {
            QSettings settings(store, QSettings::IniFormat);
            settings.setValue(QStringLiteral("Current Practice"), value);
        } else {
            QFile file(store);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(raw);
        }

        HelperOptions options;
        options.environment.insert(QStringLiteral("HOME"), home.path());
        options.environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
        const HelperResult result = runHelper({QStringLiteral("settings")}, options);
        QVERIFY2(result.finished,
                 qPrintable(QStringLiteral("the helper crashed: ") + result.errorOutput));
        const QString error = result.error();
        if (!connectEnd.isEmpty()) {
            QVERIFY2(error.isEmpty(), qPrintable(error));
            QVERIFY2(result.value(QStringLiteral("connect")).endsWith(connectEnd),
                     qPrintable(result.value(QStringLiteral("connect"))));
            QCOMPARE(result.value(QStringLiteral("count")), QString::number(kBad));
            QVERIFY(result.lines.contains(QStringLiteral("listed")));
            return;
        }
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(!error.isEmpty(), qPrintable(result.lines.join(QLatin1Char('\n'))));
        for (const QString &part : expected) {
            QVERIFY2(error.contains(part),
                     qPrintable(QStringLiteral("'%1' not in: %2").arg(part, error.left(300))));
        }
        qInfo("refused: %s", qPrintable(error.left(200)));
    }
};

QTEST_GUILESS_MAIN(TestSettingsValues)
#include "tst_settingsvalues.moc"
