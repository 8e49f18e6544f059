#include "Exception.h"
#include "WindowsPath.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

// A practice tree whose names differ from the Windows-style paths users give only in letter
// case and separators.
class TestWindowsPath : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void absolutePaths_data();
    void absolutePaths();
    void relativePaths_data();
    void relativePaths();
    void entriesDifferingOnlyInCaseAreAnError();
    void overlongPaths();
    void unreadableDirectory();

private:
    bool makeFile(const QString &relativePath);
    bool makeDir(const QString &relativePath);

    QTemporaryDir root_;
    QString rootPath_;
    QString savedCurrent_;
};

bool TestWindowsPath::makeFile(const QString &relativePath) {
    QFile file(root_.filePath(relativePath));
    return file.open(QIODevice::WriteOnly) && file.write("x") == 1;
}

bool TestWindowsPath::makeDir(const QString &relativePath) {
    return QDir().mkpath(root_.filePath(relativePath));
}

void TestWindowsPath::initTestCase() {
#ifdef Q_OS_WIN
    QSKIP("The Windows file system resolves letter case itself");
#endif
    QVERIFY(root_.isValid());
    rootPath_ = root_.path();
    savedCurrent_ = QDir::currentPath();
    QVERIFY(makeDir(QStringLiteral("srv/practice/pract1")));
    QVERIFY(makeFile(QStringLiteral("srv/practice/pract1/cvddf.add")));
    QVERIFY(makeDir(QStringLiteral("srv/practice/pract2/cvddf.add")));
    QVERIFY(makeDir(QStringLiteral("M\u00fcller")));
    QVERIFY(makeFile(QStringLiteral("M\u00fcller/daten.txt")));
    QVERIFY(makeDir(QStringLiteral("it's \"q\"")));
    QVERIFY(makeFile(QStringLiteral("it's \"q\"/a'b\".add")));
    QVERIFY(makeDir(QStringLiteral("amb/Data")));
    QVERIFY(makeDir(QStringLiteral("amb/DATA")));
    QVERIFY(makeFile(QStringLiteral("amb/Data/x.txt")));
}

void TestWindowsPath::cleanup() {
    QDir::setCurrent(savedCurrent_);
}

void TestWindowsPath::absolutePaths_data() {
    QTest::addColumn<QString>("path");     // below the fixture's root, Windows style
    QTest::addColumn<QString>("expected"); // below the fixture's root, native
    QTest::addColumn<bool>("isFile");
    QTest::addColumn<bool>("isDirectory");

    QTest::newRow("exact") << QStringLiteral("srv/practice/pract1/cvddf.add")
                           << QStringLiteral("srv/practice/pract1/cvddf.add") << true << false;
    QTest::newRow("upper-cased directory ending in backslash")
        << QStringLiteral("SRV\\PRACTICE\\PRACT1\\") << QStringLiteral("srv/practice/pract1/")
        << false << true;
    QTest::newRow("upper-cased directory, dictionary appended in lower case")
        << QStringLiteral("SRV\\PRACTICE\\PRACT1\\cvddf.add")
        << QStringLiteral("srv/practice/pract1/cvddf.add") << true << false;
    QTest::newRow("everything upper case")
        << QStringLiteral("SRV\\PRACTICE\\PRACT1\\CVDDF.ADD")
        << QStringLiteral("srv/practice/pract1/cvddf.add") << true << false;
    QTest::newRow("mixed and doubled separators")
        << QStringLiteral("Srv//practice\\\\Pract1/\\cvddf.ADD")
        << QStringLiteral("srv/practice/pract1/cvddf.add") << true << false;
    QTest::newRow("dot and dot-dot")
        << QStringLiteral("SRV\\.\\PRACTICE\\PRACT2\\..\\PRACT1\\cvddf.add")
        << QStringLiteral("srv/practice/pract1/cvddf.add") << true << false;
    QTest::newRow("dot-dot removes a missing component")
        << QStringLiteral("SRV\\MISSING\\..\\PRACTICE\\PRACT1\\cvddf.add")
        << QStringLiteral("srv/practice/pract1/cvddf.add") << true << false;
    QTest::newRow("directory named like the dictionary")
        << QStringLiteral("SRV\\PRACTICE\\PRACT2\\cvddf.add")
        << QStringLiteral("srv/practice/pract2/cvddf.add") << false << true;
    QTest::newRow("missing component keeps the rest as given")
        << QStringLiteral("SRV\\PRACTICE\\PRACT3\\cvddf.add")
        << QStringLiteral("srv/practice/PRACT3/cvddf.add") << false << false;
    QTest::newRow("a file used as a directory")
        << QStringLiteral("SRV\\PRACTICE\\PRACT1\\CVDDF.ADD\\X")
        << QStringLiteral("srv/practice/pract1/cvddf.add/X") << false << false;
    QTest::newRow("a file with a trailing separator")
        << QStringLiteral("SRV\\PRACTICE\\PRACT1\\CVDDF.ADD\\")
        << QStringLiteral("srv/practice/pract1/cvddf.add/") << false << false;
    QTest::newRow("non-ASCII name, ASCII letters folded")
        << QStringLiteral("M\u00fcLLER\\DATEN.TXT") << QStringLiteral("M\u00fcller/daten.txt")
        << true << false;
    QTest::newRow("non-ASCII letters are not folded")
        << QStringLiteral("M\u00dcLLER\\daten.txt") << QStringLiteral("M\u00dcLLER/daten.txt")
        << false << false;
    QTest::newRow("quote characters") << QStringLiteral("IT'S \"Q\"\\A'B\".ADD")
                                      << QStringLiteral("it's \"q\"/a'b\".add") << true << false;
    QTest::newRow("exact match wins over a case variant")
        << QStringLiteral("amb\\Data\\X.TXT") << QStringLiteral("amb/Data/x.txt") << true << false;
    const QString withNul =
        QStringLiteral("srv/practice/pract1/cvddf.add") + QChar(u'\0') + QStringLiteral("x");
    QTest::newRow("NUL inside a name") << withNul << withNul << false << false;
}

void TestWindowsPath::absolutePaths() {
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QFETCH(bool, isFile);
    QFETCH(bool, isDirectory);

    const QString windowsRoot = QDir::toNativeSeparators(rootPath_).replace(u'/', u'\\');
    const QString input = windowsRoot + QLatin1Char('\\') + path;
    QCOMPARE(ResolveWindowsPath(input), rootPath_ + QLatin1Char('/') + expected);
    QCOMPARE(IsRegularFile(input), isFile);
    QCOMPARE(IsDirectory(input), isDirectory);
}

void TestWindowsPath::relativePaths_data() {
    QTest::addColumn<QString>("current"); // below the fixture's root
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("isFile");
    QTest::addColumn<bool>("isDirectory");

    QTest::newRow("below the current directory")
        << QStringLiteral("srv") << QStringLiteral("PRACTICE\\PRACT1\\CVDDF.ADD")
        << QStringLiteral("practice/pract1/cvddf.add") << true << false;
    QTest::newRow("a bare file name")
        << QStringLiteral("srv/practice/pract1") << QStringLiteral("cvddf.add")
        << QStringLiteral("cvddf.add") << true << false;
    QTest::newRow("bare file name, missing") << QStringLiteral("srv") << QStringLiteral("cvddf.add")
                                             << QStringLiteral("cvddf.add") << false << false;
    QTest::newRow("dot-dot above the current directory")
        << QStringLiteral("srv/practice") << QStringLiteral("..\\..\\SRV\\PRACTICE\\PRACT2")
        << QStringLiteral("../../srv/practice/pract2") << false << true;
    QTest::newRow("the current directory")
        << QStringLiteral("srv") << QStringLiteral(".\\") << QStringLiteral(".") << false << true;
    QTest::newRow("empty") << QStringLiteral("srv") << QString() << QString() << false << false;
    QTest::newRow("the root") << QStringLiteral("srv") << QStringLiteral("\\")
                              << QStringLiteral("/") << false << true;
    QTest::newRow("dot-dot at the root stays there")
        << QStringLiteral("srv") << QStringLiteral("\\..\\..\\") << QStringLiteral("/") << false
        << true;
}

void TestWindowsPath::relativePaths() {
    QFETCH(QString, current);
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QFETCH(bool, isFile);
    QFETCH(bool, isDirectory);

    QVERIFY(QDir::setCurrent(root_.filePath(current)));
    QCOMPARE(ResolveWindowsPath(path), expected);
    QCOMPARE(IsRegularFile(path), isFile);
    QCOMPARE(IsDirectory(path), isDirectory);
}

void TestWindowsPath::entriesDifferingOnlyInCaseAreAnError() {
    const QString path = rootPath_ + QStringLiteral("\\AMB\\data\\x.txt");
    const QString first = rootPath_ + QStringLiteral("/amb/DATA");
    const QString second = rootPath_ + QStringLiteral("/amb/Data");
    for (const auto &call : {std::function<void()>([&] { ResolveWindowsPath(path); }),
                             std::function<void()>([&] { IsRegularFile(path); })}) {
        try {
            call();
            QFAIL("an ambiguous path was resolved");
        } catch (const Exception &error) {
            QVERIFY2(error.Message().contains(QLatin1Char('\'') + first + QLatin1Char('\'')),
                     qPrintable(error.Message()));
            QVERIFY2(error.Message().contains(QLatin1Char('\'') + second + QLatin1Char('\'')),
                     qPrintable(error.Message()));
        }
    }
}

void TestWindowsPath::overlongPaths() {
    // Longer than the system accepts, as one name and as a whole path: "not found", no crash.
    const QString longName = rootPath_ + QLatin1Char('\\') + QString(300, u'A');
    QCOMPARE(ResolveWindowsPath(longName), rootPath_ + QLatin1Char('/') + QString(300, u'A'));
    QVERIFY(!IsRegularFile(longName));
    QVERIFY(!IsDirectory(longName));

    const QString deep = rootPath_ + QStringLiteral("\\SRV").repeated(2000);
    QVERIFY(QFile::encodeName(deep).size() > 8000);
    QVERIFY(ResolveWindowsPath(deep).startsWith(rootPath_ + QStringLiteral("/srv/SRV/SRV")));
    QVERIFY(!IsRegularFile(deep));
    QVERIFY(!IsDirectory(deep));

    // Too long only until '.' and '..' are taken out of it.
    const QString winding =
        rootPath_ + QStringLiteral("\\SRV") + QStringLiteral("\\PRACTICE\\..").repeated(1000) +
        QStringLiteral("\\.").repeated(1000) + QStringLiteral("\\PRACTICE\\PRACT1\\CVDDF.ADD");
    QVERIFY(IsRegularFile(winding));
}

void TestWindowsPath::unreadableDirectory() {
#ifndef Q_OS_WIN
    if (::geteuid() == 0)
        QSKIP("Permissions do not apply to root");
#endif
    QVERIFY(makeDir(QStringLiteral("locked/Inner")));
    QVERIFY(makeFile(QStringLiteral("locked/Inner/file")));
    const QString locked = root_.filePath(QStringLiteral("locked"));
    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });

    // Searchable but not listable: exact names work, others cannot be matched.
    QVERIFY(QFile::setPermissions(locked, QFile::ExeOwner));
    QVERIFY(IsRegularFile(rootPath_ + QStringLiteral("\\locked\\Inner\\file")));
    QCOMPARE(ResolveWindowsPath(rootPath_ + QStringLiteral("\\LOCKED\\INNER\\FILE")),
             rootPath_ + QStringLiteral("/locked/INNER/FILE"));
    QVERIFY(!IsRegularFile(rootPath_ + QStringLiteral("\\LOCKED\\INNER\\FILE")));

    // Neither: nothing below it is found.
    QVERIFY(QFile::setPermissions(locked, QFileDevice::Permissions()));
    QVERIFY(!IsRegularFile(rootPath_ + QStringLiteral("\\locked\\Inner\\file")));
    QVERIFY(!IsDirectory(rootPath_ + QStringLiteral("\\LOCKED\\INNER")));
}

QTEST_GUILESS_MAIN(TestWindowsPath)

#include "tst_windowspath.moc"
