// The select and the delete exactly as the window holds them, over rows that probe the unit
// condition, the text and date reading, and what the delete leaves behind.
#include "DateTime.h"
#include "Exception.h"
#include "PracticeFixture.h"

#include <QtTest>

#include <unistd.h>

using practice::RepeatRow;

namespace {

std::vector<RepeatRow> mixedRows() {
    return {
        {QStringLiteral("A100"), QStringLiteral("Smith, Ann"), QStringLiteral("DR1"),
         QStringLiteral("2024-03-05"), QStringLiteral("None")},
        {QStringLiteral("A101"), QStringLiteral("Good, Gus"), QStringLiteral("DR1"),
         QStringLiteral("2024-03-06"), QStringLiteral("Week")},
        {QStringLiteral("  A102   "), QStringLiteral("Padded  "), QStringLiteral("DR2   "),
         QStringLiteral("2023-12-31"), QStringLiteral("None   ")},
        {QStringLiteral("A103"), QStringLiteral("Lower, Lou"), QStringLiteral("DR2"),
         QStringLiteral("2024-01-01"), QStringLiteral("none")},
        {QStringLiteral("A104"), QString(), QStringLiteral("DR3"), std::nullopt, QString()},
        {QStringLiteral("A105"), QStringLiteral("Suffix, Sue"), QStringLiteral("DR3"),
         QStringLiteral("2024-01-02"), QStringLiteral("None2")},
        {QString(), QStringLiteral("Blank, Bo"), QString(), QStringLiteral(""),
         QStringLiteral("    ")},
        {QStringLiteral("A107"), QStringLiteral("Monthly, Mo"), QStringLiteral("DR1"),
         QStringLiteral("2020-02-29"), QStringLiteral("Month")},
    };
}

struct Listed {
    QString chart, name, provider;
    double date;
};

QList<Listed> readAll(TAdsQuery &query) {
    QList<Listed> rows;
    query.First();
    while (!query.Eof()) {
        rows.append({query.FieldByName(QStringLiteral("Chart Number"))->AsString(),
                     query.FieldByName(QStringLiteral("Name"))->AsString(),
                     query.FieldByName(QStringLiteral("Provider"))->AsString(),
                     query.FieldByName(QStringLiteral("Start Date"))->AsDateTime()});
        query.Next();
    }
    return rows;
}

} // namespace

class TestQuery : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void selectsExactlyTheBadRows_data() {
        QTest::addColumn<bool>("dictionary");
        QTest::newRow("directory of free tables") << false;
        QTest::newRow("data dictionary") << true;
    }

    void selectsExactlyTheBadRows() {
        QFETCH(bool, dictionary);
        PracticeFixture f;
        f.writeRows(mixedRows());
        f.writeDictionary();
        f.conn->SetConnectPath(dictionary ? f.dir + QStringLiteral("/cvddf.add")
                                          : f.dir + QLatin1Char('/'));

        f.select->SetActive(true);
        QVERIFY(f.conn->IsConnected());
        QCOMPARE(f.select->RecordCount(), 4);
        const QList<Listed> rows = readAll(*f.select);
        QCOMPARE(rows.size(), 4);

        QCOMPARE(rows[0].chart, QStringLiteral("A100"));
        QCOMPARE(rows[0].name, QStringLiteral("Smith, Ann"));
        QCOMPARE(rows[0].provider, QStringLiteral("DR1"));
        QCOMPARE(rows[0].date, EncodeDate(2024, 3, 5));
        QCOMPARE(rows[0].date, 45356.0);

        // Trailing blanks go, leading ones stay.
        QCOMPARE(rows[1].chart, QStringLiteral("  A102"));
        QCOMPARE(rows[1].name, QStringLiteral("Padded"));
        QCOMPARE(rows[1].provider, QStringLiteral("DR2"));

        // NULL and '' are both empty; an empty date is day 0.
        QCOMPARE(rows[2].chart, QStringLiteral("A104"));
        QCOMPARE(rows[2].name, QString());
        QCOMPARE(rows[2].date, 0.0);
        QCOMPARE(rows[3].chart, QString());
        QCOMPARE(rows[3].provider, QString());
        QCOMPARE(rows[3].date, 0.0);
    }

    void emptyResultIsAtEofAtOnce() {
        PracticeFixture f;
        f.writeRows({{QStringLiteral("A1"), QStringLiteral("N"), QStringLiteral("P"),
                      QStringLiteral("2024-01-01"), QStringLiteral("Day")}});
        f.conn->SetConnectPath(f.dir);
        f.select->SetActive(true);
        QCOMPARE(f.select->RecordCount(), 0);
        QVERIFY(f.select->Eof());
        f.select->First();
        QVERIFY(f.select->Eof());
    }

    void unknownFieldNamesTheField() {
        PracticeFixture f;
        f.writeRows(mixedRows());
        f.conn->SetConnectPath(f.dir);
        f.select->SetActive(true);
        QCOMPARE(f.select->FieldByName(QStringLiteral("chart number"))->AsString(),
                 QStringLiteral("A100"));
        try {
            f.select->FieldByName(QStringLiteral("Nmae"));
            QFAIL("an unknown field was found");
        } catch (const EDatabaseError &e) {
            QCOMPARE(e.Message(), QStringLiteral("Field 'Nmae' not found"));
        }
    }

    void dateThatIsNotADateNamesFieldAndText() {
        PracticeFixture f;
        f.writeRows({{QStringLiteral("A1"), QStringLiteral("N"), QStringLiteral("P"),
                      QStringLiteral("05/03/2024"), QStringLiteral("None")}});
        f.conn->SetConnectPath(f.dir);
        f.select->SetActive(true);
        try {
            f.select->FieldByName(QStringLiteral("Start Date"))->AsDateTime();
            QFAIL("a malformed date was read");
        } catch (const EDatabaseError &e) {
            QVERIFY2(e.Message().contains(QStringLiteral("'Start Date'")) &&
                         e.Message().contains(QStringLiteral("05/03/2024")),
                     qPrintable(e.Message()));
        }
    }

    void deleteRemovesWhatTheConditionMatchesNow() {
        PracticeFixture f;
        f.writeRows(mixedRows());
        f.conn->SetConnectPath(f.dir);
        f.select->SetActive(true);
        QCOMPARE(f.select->RecordCount(), 4);

        // Written by another program after the scan: the delete takes it too.
        PracticeFixture::exec(f.skrptFile(), "INSERT INTO SKRPT(\"Chart Number\", \"Unit\") "
                                             "VALUES ('LATE', 'None')");
        QByteArray before;
        {
            sqlite::Database db(f.skrptFile(), 0x1);
            sqlite::Statement q(db,
                                "SELECT group_concat(quote(\"Chart Number\") || quote(\"Name\") "
                                "|| quote(\"Start Date\"), '|') FROM SKRPT WHERE \"Unit\" IN "
                                "('Week', 'none', 'None2', 'Month')",
                                QString());
            q.Step();
            before = QByteArray(q.ColumnText(0).data(), qsizetype(q.ColumnText(0).size()));
        }

        f.remove->ExecSQL();

        QCOMPARE(PracticeFixture::units(f.skrptFile()),
                 QStringList({QStringLiteral("Week"), QStringLiteral("none"),
                              QStringLiteral("None2"), QStringLiteral("Month")}));
        sqlite::Database db(f.skrptFile(), 0x1);
        sqlite::Statement q(db,
                            "SELECT group_concat(quote(\"Chart Number\") || quote(\"Name\") || "
                            "quote(\"Start Date\"), '|') FROM SKRPT",
                            QString());
        q.Step();
        QCOMPARE(QByteArray(q.ColumnText(0).data(), qsizetype(q.ColumnText(0).size())), before);

        // The select keeps the rows it read.
        QCOMPARE(f.select->RecordCount(), 4);
    }

    void openListingHoldsNoLock() {
        PracticeFixture f;
        f.writeRows(mixedRows());
        f.conn->SetConnectPath(f.dir);
        f.select->SetActive(true);
        // Another program writes while the listing is open, without waiting for a lock.
        PracticeFixture::exec(f.skrptFile(), "PRAGMA busy_timeout = 0; BEGIN IMMEDIATE; "
                                             "UPDATE SKRPT SET \"Name\" = 'changed'; COMMIT");
        QCOMPARE(f.select->FieldByName(QStringLiteral("Name"))->AsString(),
                 QStringLiteral("Smith, Ann"));
    }

    void deleteWaitsForALockThenNamesTheTable() {
        PracticeFixture f;
        f.writeRows(mixedRows());
        f.conn->SetConnectPath(f.dir);
        f.select->SetActive(true);

        sqlite::Database other(f.skrptFile(), 0x2);
        other.Exec("BEGIN IMMEDIATE; UPDATE SKRPT SET \"Provider\" = 'X' WHERE rowid = 2",
                   QString());
        QElapsedTimer waited;
        waited.start();
        try {
            f.remove->ExecSQL();
            QFAIL("the delete ran through another program's write lock");
        } catch (const EDatabaseError &e) {
            QVERIFY2(e.Message().contains(QStringLiteral("SKRPT")) &&
                         e.Message().contains(QStringLiteral("in use")),
                     qPrintable(e.Message()));
        }
        QVERIFY2(waited.elapsed() >= 1000, "the delete did not wait for the lock");
        other.Exec("ROLLBACK", QString());
        QCOMPARE(PracticeFixture::units(f.skrptFile()).size(), 8);

        // Once the lock is gone the same statement on the same connection works.
        f.remove->ExecSQL();
        QCOMPARE(PracticeFixture::units(f.skrptFile()).size(), 4);
    }

    void readOnlyRefusesTheDeleteAndKeepsRows_data() {
        QTest::addColumn<bool>("readOnlySetting");
        QTest::newRow("ReadOnly connection") << true;
        QTest::newRow("read-only table file") << false;
    }

    void readOnlyRefusesTheDeleteAndKeepsRows() {
        if (geteuid() == 0) {
            // root writes to read-only files; the setting alone is still tested.
            QFETCH(bool, readOnlySetting);
            if (!readOnlySetting) {
                QSKIP("root ignores file permissions");
            }
        }
        QFETCH(bool, readOnlySetting);
        PracticeFixture f;
        f.writeRows(mixedRows());
        f.conn->SetConnectPath(f.dir);
        f.conn->SetReadOnly(readOnlySetting);
        if (!readOnlySetting) {
            QFile::setPermissions(f.skrptFile(), QFile::ReadOwner | QFile::ReadGroup);
        }
        f.select->SetActive(true);
        try {
            f.remove->ExecSQL();
            QFAIL("a read-only table was changed");
        } catch (const EDatabaseError &e) {
            QVERIFY2(e.Message().contains(QStringLiteral("SKRPT")) &&
                         e.Message().contains(QStringLiteral("read-only")),
                     qPrintable(e.Message()));
        }
        QCOMPARE(PracticeFixture::units(f.skrptFile()).size(), 8);
    }
};

QTEST_GUILESS_MAIN(TestQuery)
#include "tst_query.moc"
