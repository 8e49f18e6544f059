// Damaged, foreign and hostile files: each gives an error naming the table or file, never a
// crash, and nothing on disk changes.
#include "Exception.h"
#include "PracticeFixture.h"

#include <QDirIterator>
#include <QRandomGenerator>
#include <QtTest>

#include <functional>

namespace {

enum class Action { Select, Delete };

using Damage = std::function<void(PracticeFixture &)>;

void writeBytes(const QString &file, const QByteArray &bytes) {
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray randomBytes(int size) {
    QRandomGenerator random(42);
    QByteArray bytes(size, '\0');
    for (char &c : bytes) {
        c = static_cast<char>(random.bounded(256));
    }
    return bytes;
}

void createFile(const QString &file, const char *sql) {
    sqlite::Database db(file, 0x2 | 0x4 /* READWRITE | CREATE */);
    db.Exec(sql, file);
}

std::vector<practice::RepeatRow> manyRows(int count) {
    std::vector<practice::RepeatRow> rows;
    for (int i = 0; i < count; ++i) {
        rows.push_back({QStringLiteral("C%1").arg(i), QStringLiteral("Name %1").arg(i),
                        QStringLiteral("DR"), QStringLiteral("2024-01-01"),
                        i % 3 ? QStringLiteral("Week") : QStringLiteral("None")});
    }
    return rows;
}

void truncateTo(const QString &file, qint64 size) {
    QFile f(file);
    QVERIFY(f.resize(size));
}

QMap<QString, QByteArray> digests(const QString &dir) {
    QMap<QString, QByteArray> result;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        result.insert(file, PracticeFixture::digest(file));
    }
    return result;
}

} // namespace

Q_DECLARE_METATYPE(Damage)
Q_DECLARE_METATYPE(Action)

class TestBadFiles : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void clearErrorAndNothingChanged_data() {
        QTest::addColumn<bool>("dictionary");
        QTest::addColumn<Damage>("damage");
        QTest::addColumn<Action>("action");
        QTest::addColumn<QStringList>("expected");

        const QStringList tableAndFile = {QStringLiteral("SKRPT"), QStringLiteral("SKRPT.db")};
        QTest::newRow("empty table file")
            << false << Damage([](PracticeFixture &f) { writeBytes(f.skrptFile(), {}); })
            << Action::Select << (tableAndFile + QStringList{QStringLiteral("does not contain")});
        QTest::newRow("random bytes") << false << Damage([](PracticeFixture &f) {
            writeBytes(f.skrptFile(), randomBytes(8192));
        }) << Action::Select << (tableAndFile + QStringList{QStringLiteral("not a")});
        for (const qint64 size : {50, 1024, 4096 * 3}) {
            QTest::addRow("truncated to %lld bytes", size)
                << false << Damage([size](PracticeFixture &f) {
                       f.writeRows(manyRows(3000));
                       truncateTo(f.skrptFile(), size);
                   })
                << Action::Select << tableAndFile;
        }
        QTest::newRow("database without the table") << false << Damage([](PracticeFixture &f) {
            createFile(f.skrptFile(), "CREATE TABLE PATIENT(id INTEGER)");
        }) << Action::Select << (tableAndFile + QStringList{QStringLiteral("does not contain")});
        QTest::newRow("a directory named like the table file")
            << false << Damage([](PracticeFixture &f) { QDir().mkpath(f.skrptFile()); })
            << Action::Select << QStringList{QStringLiteral("SKRPT"), QStringLiteral("not found")};
        QTest::newRow("view in place of the table, using a refused function")
            << false << Damage([](PracticeFixture &f) {
                   createFile(f.skrptFile(), "CREATE VIEW SKRPT AS SELECT load_extension('x') "
                                             "AS \"Unit\"");
               })
            << Action::Select << (tableAndFile + QStringList{QStringLiteral("view")});
        QTest::newRow("trigger loading an extension on delete")
            << false << Damage([](PracticeFixture &f) {
                   f.writeRows(manyRows(10));
                   PracticeFixture::exec(f.skrptFile(),
                                         "CREATE TRIGGER t BEFORE DELETE ON SKRPT BEGIN SELECT "
                                         "load_extension('/tmp/evil'); END");
               })
            << Action::Delete << QStringList{QStringLiteral("SKRPT")};
        QTest::newRow("trigger writing elsewhere through an unsafe function")
            << false << Damage([](PracticeFixture &f) {
                   f.writeRows(manyRows(10));
                   PracticeFixture::exec(f.skrptFile(),
                                         "CREATE TABLE log(x); CREATE TRIGGER t AFTER DELETE ON "
                                         "SKRPT BEGIN INSERT INTO log VALUES (fts3_tokenizer("
                                         "'simple')); END");
               })
            << Action::Delete << QStringList{QStringLiteral("SKRPT")};

        const QStringList dictionary = {QStringLiteral("cvddf.add")};
        QTest::newRow("dictionary of random bytes") << true << Damage([](PracticeFixture &f) {
            f.writeRows({});
            writeBytes(f.dictionaryFile(), randomBytes(4096));
        }) << Action::Select << dictionary;
        QTest::newRow("dictionary without users") << true << Damage([](PracticeFixture &f) {
            f.writeRows({});
            f.writeDictionary();
            PracticeFixture::exec(f.dictionaryFile(), "DROP TABLE users");
        }) << Action::Select << (dictionary + QStringList{QStringLiteral("users")});
        QTest::newRow("dictionary with a malformed hash")
            << true << Damage([](PracticeFixture &f) {
                   f.writeRows({});
                   f.writeDictionary();
                   PracticeFixture::exec(f.dictionaryFile(),
                                         "UPDATE users SET hash = '$argon2id$v=19$garbage'");
               })
            << Action::Select
            << (dictionary + QStringList{QStringLiteral("'user'"), QStringLiteral("damaged")});
        QTest::newRow("dictionary pointing outside its directory")
            << true << Damage([](PracticeFixture &f) {
                   f.writeRows({});
                   f.writeDictionary();
                   PracticeFixture::exec(f.dictionaryFile(),
                                         "UPDATE tables SET file = '../SKRPT.db'");
               })
            << Action::Select
            << (dictionary + QStringList{QStringLiteral("SKRPT"), QStringLiteral("../SKRPT.db")});
        QTest::newRow("dictionary without the table") << true << Damage([](PracticeFixture &f) {
            f.writeRows({});
            f.writeDictionary();
            PracticeFixture::exec(f.dictionaryFile(), "DELETE FROM tables");
        }) << Action::Select << (dictionary + QStringList{QStringLiteral("SKRPT")});
        QTest::newRow("dictionary naming a missing file")
            << true << Damage([](PracticeFixture &f) { f.writeDictionary(); }) << Action::Select
            << (dictionary + QStringList{QStringLiteral("SKRPT"), QStringLiteral("SKRPT.db")});
    }

    void clearErrorAndNothingChanged() {
        QFETCH(bool, dictionary);
        QFETCH(Damage, damage);
        QFETCH(Action, action);
        QFETCH(QStringList, expected);

        PracticeFixture f;
        damage(f);
        if (QTest::currentTestFailed()) {
            return;
        }
        const QMap<QString, QByteArray> before = digests(f.temp.path());
        f.conn->SetConnectPath(dictionary ? f.dictionaryFile() : f.dir);

        QString error;
        try {
            if (action == Action::Delete) {
                f.remove->ExecSQL();
            } else {
                f.select->SetActive(true);
                f.select->First();
                while (!f.select->Eof()) {
                    f.select->FieldByName(QStringLiteral("Name"))->AsString();
                    f.select->Next();
                }
            }
        } catch (const Exception &e) {
            error = e.Message();
        }
        QVERIFY2(!error.isEmpty(), "the damaged file was read without an error");
        for (const QString &part : expected) {
            QVERIFY2(error.contains(part),
                     qPrintable(QStringLiteral("'%1' not in: %2").arg(part, error)));
        }
        QCOMPARE(digests(f.temp.path()), before);
    }
};

QTEST_GUILESS_MAIN(TestBadFiles)
#include "tst_badfiles.moc"
