// The in-memory result of a select: rows of any size stored and read back intact, values read as
// SQLite's own text, and field lookups that follow the result they belong to.
#include "AdsConnection.h"
#include "AdsField.h"
#include "AdsQuery.h"
#include "Exception.h"
#include "ResultSet.h"
#include "Sqlite.h"

#include <QDir>
#include <QObject>
#include <QTemporaryDir>
#include <QTest>

#include <string>
#include <vector>

namespace {

// Cell sizes: most are small, some cross the first chunks, a few exceed the largest chunk.
std::string cellText(int row, int column, int bigEvery, size_t bigSize) {
    const size_t size = bigEvery > 0 && (row * 7 + column) % bigEvery == 0
                            ? bigSize
                            : static_cast<size_t>((row * 31 + column * 17) % 97);
    std::string text(size, ' ');
    for (size_t i = 0; i < size; ++i) {
        text[i] = static_cast<char>('a' + (row + column + static_cast<int>(i)) % 26);
    }
    return text;
}

// A table file T.db with one column v, one row per value, in a practice directory.
void writeValues(const QString &dir, const char *valuesSql) {
    sqlite::Database db(dir + QStringLiteral("/T.db"), 0x2 | 0x4 /* READWRITE | CREATE */);
    db.Exec("CREATE TABLE T (v)", QStringLiteral("creating T"));
    db.Exec(valuesSql, QStringLiteral("filling T"));
}

struct Directory {
    QTemporaryDir temp;
    QObject owner;
    TAdsConnection *conn = new TAdsConnection(&owner);
    TAdsQuery *query = new TAdsQuery(&owner);

    Directory() {
        conn->setObjectName(QStringLiteral("conn"));
        conn->SetConnectPath(temp.path() + QLatin1Char('/'));
        query->SetDatabaseName(QStringLiteral("conn"));
    }
};

} // namespace

class TestResultSet : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void storesRowsOfAnySize_data();
    void storesRowsOfAnySize();
    void wrongNumberOfCellsIsAnError();
    void rowsWithoutColumnsAreCounted();
    void valuesReadAsSqlitesOwnText();
    void fieldLookupFollowsTheReopenedResult();
};

void TestResultSet::storesRowsOfAnySize_data() {
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("bigEvery");
    QTest::addColumn<qulonglong>("bigSize");

    QTest::newRow("many small rows, one column") << 1 << 60000 << 0 << 0ULL;
    QTest::newRow("17 columns, cells across chunk ends") << 17 << 20000 << 0 << 0ULL;
    QTest::newRow("cells larger than the first chunk") << 5 << 2000 << 101 << 100000ULL;
    QTest::newRow("cells larger than any chunk") << 3 << 12 << 5 << 9000000ULL;
    QTest::newRow("first cell of the first row is huge") << 2 << 3 << 6 << 5000000ULL;
}

void TestResultSet::storesRowsOfAnySize() {
    QFETCH(int, columns);
    QFETCH(int, rows);
    QFETCH(int, bigEvery);
    QFETCH(qulonglong, bigSize);

    QStringList names;
    for (int column = 0; column < columns; ++column) {
        names << QStringLiteral("c%1").arg(column);
    }
    ResultSet result(names);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            result.AppendCell(cellText(row, column, bigEvery, bigSize));
        }
        result.EndRow();
    }

    QCOMPARE(result.RowCount(), rows);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            if (result.Value(row, column) != cellText(row, column, bigEvery, bigSize)) {
                QFAIL(qPrintable(QStringLiteral("row %1, column %2 reads back wrong (%3 bytes)")
                                     .arg(row)
                                     .arg(column)
                                     .arg(result.Value(row, column).size())));
            }
        }
    }
}

void TestResultSet::wrongNumberOfCellsIsAnError() {
    ResultSet result({QStringLiteral("a"), QStringLiteral("b")});
    result.AppendCell("x");
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, result.EndRow());

    ResultSet overfull({QStringLiteral("a")});
    overfull.AppendCell("x");
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, overfull.AppendCell("y"));
    overfull.EndRow();
    QCOMPARE(overfull.RowCount(), 1);
    QCOMPARE(overfull.Value(0, 0), std::string_view("x"));
}

void TestResultSet::rowsWithoutColumnsAreCounted() {
    ResultSet result{QStringList()};
    result.EndRow();
    result.EndRow();
    QCOMPARE(result.RowCount(), 2);
    QCOMPARE(result.ColumnCount(), 0);
}

// Integers are written by the reader itself; everything else is SQLite's text.
void TestResultSet::valuesReadAsSqlitesOwnText() {
    Directory practice;
    writeValues(practice.temp.path(),
                "INSERT INTO T (v) VALUES (0), (-1), (42), (9223372036854775807),"
                " (-9223372036854775807 - 1), (1.5), (-0.25), (1e300), ('007'), ('text  '),"
                " (''), (NULL), (x'41420043'), (x'')");
    practice.query->SetSQL(
        {QStringLiteral("SELECT v, CAST(v AS TEXT) AS t FROM T ORDER BY rowid")});
    practice.query->SetActive(true);
    QCOMPARE(practice.query->RecordCount(), 14);

    const QStringList expectedStarts = {QStringLiteral("0"),
                                        QStringLiteral("-1"),
                                        QStringLiteral("42"),
                                        QStringLiteral("9223372036854775807"),
                                        QStringLiteral("-9223372036854775808"),
                                        QStringLiteral("1.5"),
                                        QStringLiteral("-0.25"),
                                        QStringLiteral("1.0e+300"),
                                        QStringLiteral("007"),
                                        QStringLiteral("text"),
                                        QString(),
                                        QString(),
                                        QStringLiteral("AB"),
                                        QString()};
    for (const QString &expected : expectedStarts) {
        QVERIFY(!practice.query->Eof());
        const QString value = practice.query->FieldByName(QStringLiteral("v"))->AsString();
        QCOMPARE(value, practice.query->FieldByName(QStringLiteral("t"))->AsString());
        QVERIFY2(value.startsWith(expected), qPrintable(value));
        practice.query->Next();
    }
    QVERIFY(practice.query->Eof());
}

void TestResultSet::fieldLookupFollowsTheReopenedResult() {
    Directory practice;
    writeValues(practice.temp.path(), "INSERT INTO T (v) VALUES ('first')");
    practice.query->SetSQL({QStringLiteral("SELECT v AS x, 'other' AS y FROM T")});
    practice.query->SetActive(true);
    QCOMPARE(practice.query->FieldByName(QStringLiteral("x"))->AsString(), QStringLiteral("first"));
    QCOMPARE(practice.query->FieldByName(QStringLiteral("X"))->AsString(), QStringLiteral("first"));

    // The same names now stand for other columns, or for none.
    practice.query->SetSQL({QStringLiteral("SELECT 'other' AS y, 'z' AS z, v AS x FROM T")});
    practice.query->SetActive(true);
    QCOMPARE(practice.query->FieldByName(QStringLiteral("x"))->AsString(), QStringLiteral("first"));
    QCOMPARE(practice.query->FieldByName(QStringLiteral("X"))->AsString(), QStringLiteral("first"));
    QCOMPARE(practice.query->FieldByName(QStringLiteral("z"))->FieldName(), QStringLiteral("z"));

    practice.query->SetSQL({QStringLiteral("SELECT v AS w FROM T")});
    practice.query->SetActive(true);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, practice.query->FieldByName(QStringLiteral("x")));
}

QTEST_GUILESS_MAIN(TestResultSet)

#include "tst_resultset.moc"
