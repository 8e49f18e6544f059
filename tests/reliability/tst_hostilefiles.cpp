// Table files made to attack the tool, beyond those of tests/database/tst_badfiles.cpp (random
// bytes, truncation, views and triggers calling load_extension or fts3_tokenizer): schemas that
// call functions a file may not call, triggers reaching for other tables, headers that lie, and
// links. Each is refused with an error naming the table, and nothing on disk changes, inside the
// practice or outside it. Links to a real table elsewhere are how a site may share a table: they
// keep working, and the delete writes nothing but that table.
#include "Exception.h"
#include "PracticeFixture.h"
#include "ReliabilitySupport.h"

#include <QtTest>

#include <functional>

#include <sys/stat.h>

using namespace reliability;

namespace {

enum class Action { Select, Delete, DeleteAfterOpeningPatient };

struct Case {
    PracticeFixture f;
    QString outside = f.temp.filePath(QStringLiteral("outside"));

    Case() { QDir().mkpath(outside); }
    QString outsideFile(const char *name) const {
        return outside + QLatin1Char('/') + QLatin1String(name);
    }
};

// Makes the case's hostile file; returns "" or why it could not be made.
using Craft = std::function<QString(Case &)>;

QString writePractice(Case &c, qint64 rows = 200, qint64 bad = 20) {
    try {
        practice::Options options;
        options.directory = c.f.dir;
        options.rows = rows;
        options.bad = bad;
        practice::WritePractice(options);
    } catch (const Exception &e) {
        return e.Message();
    }
    return QString();
}

Craft withSql(const char *sql) {
    return [sql](Case &c) {
        const QString error = writePractice(c);
        return error.isEmpty() ? craftWithShell(c.f.skrptFile(), sql) : error;
    };
}

// Overwrites 4-byte big-endian header fields (offset, value) of the table file.
Craft withHeader(QList<QPair<int, quint32>> fields, qint64 rows = 200, qint64 bad = 20) {
    return [=](Case &c) {
        const QString error = writePractice(c, rows, bad);
        if (!error.isEmpty()) {
            return error;
        }
        QFile file(c.f.skrptFile());
        if (!file.open(QIODevice::ReadWrite)) {
            return file.errorString();
        }
        for (const auto &[offset, value] : fields) {
            const char bytes[4] = {char(value >> 24), char(value >> 16), char(value >> 8),
                                   char(value)};
            if (!file.seek(offset) || file.write(bytes, 4) != 4) {
                return file.errorString();
            }
        }
        return QString();
    };
}

Craft withLink(const char *linkName, std::function<QString(Case &)> target) {
    return [=](Case &c) {
        const QString error = writePractice(c);
        if (!error.isEmpty()) {
            return error;
        }
        const QString link = c.f.dir + QLatin1Char('/') + QLatin1String(linkName);
        QFile::remove(link);
        const QString to = target(c);
        return QFile::link(to, link) ? QString() : QStringLiteral("cannot link to %1").arg(to);
    };
}

QString textFileOutside(Case &c, const QByteArray &content) {
    QFile file(c.outsideFile("notes.txt"));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(content);
    }
    return file.fileName();
}

QString run(Case &c, Action action) {
    try {
        if (action == Action::Select) {
            c.f.select->SetActive(true);
            c.f.select->First();
            while (!c.f.select->Eof()) {
                c.f.select->FieldByName(QStringLiteral("Name"))->AsString();
                c.f.select->Next();
            }
            return QString();
        }
        if (action == Action::DeleteAfterOpeningPatient) {
            TAdsQuery patients(&c.f.owner);
            patients.SetDatabaseName(QStringLiteral("connCorvanta"));
            patients.SetSQL({QStringLiteral("Select * From PATIENT")});
            patients.SetActive(true);
        }
        c.f.remove->ExecSQL();
    } catch (const Exception &e) {
        return e.Message();
    }
    return QString();
}

} // namespace

Q_DECLARE_METATYPE(Craft)
Q_DECLARE_METATYPE(Action)

class TestHostileFiles : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        const QString reason = shellUnavailable();
        if (!reason.isEmpty()) {
            QSKIP(qPrintable(reason));
        }
    }

    void refusedAndNothingChanged_data() {
        QTest::addColumn<Craft>("craft");
        QTest::addColumn<QList<Action>>("actions");
        QTest::addColumn<QStringList>("expected");

        const QList<Action> both = {Action::Select, Action::Delete};
        const QList<Action> deleteOnly = {Action::Delete, Action::DeleteAfterOpeningPatient};
        const QString skrpt = QStringLiteral("SKRPT");

        QTest::newRow("trigger writing to another table")
            << withSql("CREATE TRIGGER t AFTER DELETE ON SKRPT BEGIN INSERT INTO PATIENT"
                       "(\"Chart Number\") VALUES ('x' || old.rowid); END;")
            << deleteOnly << QStringList{skrpt, QStringLiteral("PATIENT")};
        QTest::newRow("trigger attaching a file") << Craft([](Case &c) {
            const QString error = writePractice(c);
            if (!error.isEmpty()) {
                return error;
            }
            const QByteArray sql = QStringLiteral("CREATE TRIGGER t AFTER DELETE ON SKRPT BEGIN "
                                                  "SELECT sqlite_attach('%1', 'evil', NULL); END;")
                                       .arg(c.outsideFile("evil.db"))
                                       .toUtf8();
            return craftWithShell(c.f.skrptFile(), sql);
        }) << deleteOnly << QStringList{skrpt, QStringLiteral("sqlite_attach")};
        QTest::newRow("generated column calling a function unsafe in a schema")
            << withSql("ALTER TABLE SKRPT ADD COLUMN g AS (json(\"Note\"));") << both
            << QStringList{skrpt, QStringLiteral("unsafe use of json()")};
        QTest::newRow("CHECK constraint calling a function unsafe in a schema")
            << withSql("ALTER TABLE SKRPT ADD COLUMN c TEXT CHECK (c IS NULL OR json(c) > '');")
            << both << QStringList{skrpt, QStringLiteral("unsafe use of json()")};
        QTest::newRow("index expression calling a function unsafe in a schema")
            << withSql("CREATE INDEX i ON SKRPT(json_valid(\"Note\"));") << both
            << QStringList{skrpt, QStringLiteral("unsafe use of json_valid()")};
        QTest::newRow("index rewritten to call load_extension")
            << withSql("CREATE INDEX i ON SKRPT(lower(\"Unit\")); PRAGMA writable_schema = ON; "
                       "UPDATE sqlite_schema SET sql = 'CREATE INDEX i ON SKRPT("
                       "load_extension(\"Unit\"))' WHERE name = 'i';")
            << both << QStringList{skrpt, QStringLiteral("malformed")};
        QTest::newRow("header claiming 2^31 pages")
            << withHeader({{28, 0x7fffffff}}) << both
            << QStringList{skrpt, QStringLiteral("malformed")};
        QTest::newRow("header claiming 2^32-1 pages")
            << withHeader({{28, 0xffffffff}}) << both
            << QStringList{skrpt, QStringLiteral("malformed")};
        // The delete frees pages, which puts them on the free list the header points to.
        QTest::newRow("free list of 2^31 pages starting beyond the end of the file")
            << withHeader({{32, 0x7ffffff0}, {36, 0x7fffffff}}, 2000, 2000)
            << QList<Action>{Action::Delete} << QStringList{skrpt, QStringLiteral("damaged")};
        QTest::newRow("table file linked to a text file outside the practice")
            << withLink("SKRPT.db",
                        [](Case &c) { return textFileOutside(c, "root:x:0:0::/root:/bin/sh\n"); })
            << both << QStringList{skrpt, QStringLiteral("SKRPT.db"), QStringLiteral("not a")};
        QTest::newRow("table file linked to /dev/zero")
            << withLink("SKRPT.db", [](Case &) { return QStringLiteral("/dev/zero"); }) << both
            << QStringList{skrpt, QStringLiteral("not found")};
        QTest::newRow("a named pipe in place of the table file") << Craft([](Case &c) {
            const QString error = writePractice(c);
            QFile::remove(c.f.skrptFile());
            return !error.isEmpty() ? error
                   : ::mkfifo(QFile::encodeName(c.f.skrptFile()).constData(), 0644) == 0
                       ? QString()
                       : QStringLiteral("mkfifo failed");
        }) << both << QStringList{skrpt, QStringLiteral("not found")};
        // SQLite opens journals without following links: a link planted where the journal goes
        // is refused, never written through.
        QTest::newRow("journal linked to an empty file outside the practice")
            << withLink("SKRPT.db-journal", [](Case &c) { return textFileOutside(c, {}); })
            << QList<Action>{Action::Delete} << QStringList{skrpt, QStringLiteral("symbolic link")};
        QTest::newRow("journal linked to a text file outside the practice")
            << withLink("SKRPT.db-journal",
                        [](Case &c) { return textFileOutside(c, QByteArray(5000, 'x')); })
            << both << QStringList{skrpt, QStringLiteral("symbolic link")};
    }

    void refusedAndNothingChanged() {
        QFETCH(Craft, craft);
        QFETCH(QList<Action>, actions);
        QFETCH(QStringList, expected);

        for (const Action action : actions) {
            Case c;
            const QString crafted = craft(c);
            QVERIFY2(crafted.isEmpty(), qPrintable(crafted));
            const QMap<QString, QString> before = snapshot(c.f.temp.path());
            c.f.conn->SetConnectPath(c.f.dir);

            const QString error = run(c, action);
            QVERIFY2(!error.isEmpty(), "the hostile file was used without an error");
            for (const QString &part : expected) {
                QVERIFY2(error.contains(part),
                         qPrintable(QStringLiteral("'%1' not in: %2").arg(part, error)));
            }
            QCOMPARE(snapshot(c.f.temp.path()), before);
            qInfo("refused: %s", qPrintable(error));
        }
    }

    // Legitimate uses of the same features keep working, and the delete changes the table's own
    // file only.
    void sharedAndOwnFeaturesStillWork_data() {
        QTest::addColumn<Craft>("craft");
        QTest::addColumn<QString>("changed"); // the one entry the delete may change

        QTest::newRow("table file linked to a table outside the practice") << Craft([](Case &c) {
            const QString error = writePractice(c);
            const QString shared = c.outsideFile("SKRPT.db");
            return !error.isEmpty()                          ? error
                   : !QFile::rename(c.f.skrptFile(), shared) ? QStringLiteral("rename")
                   : !QFile::link(shared, c.f.skrptFile())   ? QStringLiteral("link")
                                                             : QString();
        }) << QStringLiteral("outside/SKRPT.db");
        QTest::newRow("index and logging trigger inside the table file")
            << withSql("CREATE INDEX i ON SKRPT(lower(\"Name\")) WHERE \"Unit\" <> 'Day';"
                       "CREATE TABLE deleted(chart TEXT);"
                       "CREATE TRIGGER t AFTER DELETE ON SKRPT BEGIN INSERT INTO deleted "
                       "VALUES (old.\"Chart Number\"); END;")
            << QStringLiteral("pract1/SKRPT.db");
    }

    void sharedAndOwnFeaturesStillWork() {
        QFETCH(Craft, craft);
        QFETCH(QString, changed);

        Case c;
        const QString crafted = craft(c);
        QVERIFY2(crafted.isEmpty(), qPrintable(crafted));
        const QString table = c.f.temp.filePath(changed);
        const TableDigest before = digestTable(table);
        QMap<QString, QString> expected = snapshot(c.f.temp.path());
        c.f.conn->SetConnectPath(c.f.dir);

        c.f.select->SetActive(true);
        QCOMPARE(c.f.select->RecordCount(), 20);
        c.f.remove->ExecSQL();

        const TableDigest after = digestTable(table);
        QCOMPARE(after.rows, before.goodRows);
        QCOMPARE(after.all, before.good);
        QCOMPARE(integrityCheck(table), QStringLiteral("ok"));
        QMap<QString, QString> now = snapshot(c.f.temp.path());
        QVERIFY(now.value(changed) != expected.value(changed));
        now.remove(changed);
        expected.remove(changed);
        QCOMPARE(now, expected);
    }
};

QTEST_GUILESS_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
