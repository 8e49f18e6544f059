// SKRPT tables made by other programs than the host application: a listed column missing, NULL
// where the host writes ''. (Damaged and foreign files are in tests/database/tst_badfiles.cpp.)
#include "Exception.h"
#include "PracticeFixture.h"
#include "ReliabilitySupport.h"

#include <QtTest>

#include <array>
#include <functional>

using namespace reliability;

namespace {

const QStringList kListedColumns = {QStringLiteral("Chart Number"), QStringLiteral("Name"),
                                    QStringLiteral("Provider"), QStringLiteral("Start Date"),
                                    QStringLiteral("Unit")};

// An SKRPT without `missing`, its character columns nullable: two bad rows and one good one.
void createTableWithout(const QString &file, const QString &missing) {
    QStringList definitions;
    QStringList names;
    for (const QString &column : kListedColumns) {
        if (column != missing) {
            definitions << QStringLiteral("\"%1\" TEXT COLLATE RTRIM").arg(column);
            names << QStringLiteral("\"%1\"").arg(column);
        }
    }
    const auto value = [&](const QString &column, const char *text) {
        return column == missing ? QString() : QString::fromLatin1(text);
    };
    QStringList rows;
    for (const auto &row :
         {std::array<const char *, 5>{"'A1'", "'Ann'", "'DR1'", "'2024-01-02'", "'None'"},
          {"'A2'", "'Bo'", "'DR2'", "'2024-01-03'", "''"},
          {"'A3'", "'Cy'", "'DR3'", "'2024-01-04'", "'Week'"}}) {
        QStringList values;
        for (int i = 0; i < kListedColumns.size(); ++i) {
            const QString v = value(kListedColumns[i], row[static_cast<size_t>(i)]);
            if (!v.isNull()) {
                values << v;
            }
        }
        rows << QLatin1Char('(') + values.join(QLatin1Char(',')) + QLatin1Char(')');
    }
    const QByteArray sql = QStringLiteral("CREATE TABLE SKRPT(extra INTEGER, %1); INSERT INTO "
                                          "SKRPT(%2) VALUES %3;")
                               .arg(definitions.join(QLatin1Char(',')),
                                    names.join(QLatin1Char(',')), rows.join(QLatin1Char(',')))
                               .toUtf8();
    sqlite::Database db(file, 0x2 | 0x4 /* READWRITE | CREATE */);
    db.Exec(sql.constData(), file);
}

QString errorOf(const std::function<void()> &action) {
    try {
        action();
    } catch (const Exception &e) {
        return e.Message();
    }
    return QString();
}

} // namespace

class TestBadTables : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void missingListedColumnIsNamed_data() {
        QTest::addColumn<QString>("missing");
        for (const QString &column : kListedColumns) {
            QTest::newRow(qPrintable(column)) << column;
        }
    }

    // The select and the delete name what is missing and change nothing. Without "Unit" the
    // statements themselves cannot run; without another listed column the select runs and the
    // field is missing when the listing reads it.
    void missingListedColumnIsNamed() {
        QFETCH(QString, missing);
        PracticeFixture f;
        createTableWithout(f.skrptFile(), missing);
        const QMap<QString, QString> before = snapshot(f.temp.path());
        f.conn->SetConnectPath(f.dir);

        if (missing == QLatin1String("Unit")) {
            for (TAdsQuery *statement : {f.select, f.remove}) {
                const QString error = errorOf([&] {
                    statement == f.select ? f.select->SetActive(true) : f.remove->ExecSQL();
                });
                QVERIFY2(error.contains(QStringLiteral("SKRPT")) &&
                             error.contains(QStringLiteral("Unit")),
                         qPrintable(statement->objectName() + QStringLiteral(": ") + error));
            }
        } else {
            f.select->SetActive(true);
            QCOMPARE(f.select->RecordCount(), 2);
            f.select->First();
            QCOMPARE(errorOf([&] { f.select->FieldByName(missing); }),
                     QStringLiteral("Field '%1' not found").arg(missing));
            // The other listed fields still read.
            for (const QString &column : kListedColumns) {
                if (column != missing && column != QLatin1String("Start Date")) {
                    QVERIFY(!f.select->FieldByName(column)->AsString().isEmpty());
                }
            }
        }
        QCOMPARE(snapshot(f.temp.path()), before);
    }

    // NULL where the host writes '' reads as '' (and an empty date as 0); the delete removes
    // exactly the rows the select listed, whatever NULLs the table holds.
    void nullReadsAsEmptyAndDeleteMatchesListing() {
        PracticeFixture f;
        sqlite::Database db(f.skrptFile(), 0x2 | 0x4);
        db.Exec("CREATE TABLE SKRPT(\"Chart Number\" TEXT, \"Name\" TEXT, \"Provider\" TEXT, "
                "\"Start Date\" TEXT, \"Unit\" TEXT COLLATE RTRIM);"
                "INSERT INTO SKRPT VALUES (NULL, NULL, NULL, NULL, 'None'),"
                " ('A2', NULL, 'DR2', '2024-05-06', ''),"
                " (NULL, 'Kept', NULL, NULL, 'Week'),"
                " ('A4', 'Null unit', 'DR4', NULL, NULL)",
                f.skrptFile());
        f.conn->SetConnectPath(f.dir);
        f.select->SetActive(true);
        const int listed = f.select->RecordCount();
        QVERIFY(listed >= 2);
        f.select->First();
        QCOMPARE(f.select->FieldByName(QStringLiteral("Chart Number"))->AsString(), QString());
        QCOMPARE(f.select->FieldByName(QStringLiteral("Name"))->AsString(), QString());
        QCOMPARE(f.select->FieldByName(QStringLiteral("Provider"))->AsString(), QString());
        QCOMPARE(f.select->FieldByName(QStringLiteral("Start Date"))->AsDateTime(), 0.0);
        f.select->Next();
        QCOMPARE(f.select->FieldByName(QStringLiteral("Name"))->AsString(), QString());

        f.remove->ExecSQL();
        sqlite::Statement left(db, "SELECT count(*) FROM SKRPT", f.skrptFile());
        QVERIFY(left.Step());
        QCOMPARE(left.ColumnInt64(0), qint64(4 - listed));
        sqlite::Statement kept(db, "SELECT count(*) FROM SKRPT WHERE \"Name\" = 'Kept'",
                               f.skrptFile());
        QVERIFY(kept.Step());
        QCOMPARE(kept.ColumnInt64(0), qint64(1));
    }
};

QTEST_GUILESS_MAIN(TestBadTables)
#include "tst_badtables.moc"
