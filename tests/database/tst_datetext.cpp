// Reading a date column's text.
#include "DateText.h"

#include <QtTest>

class TestDateText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parses_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<double>("expected");
        QTest::newRow("empty") << QByteArray() << true << 0.0;
        QTest::newRow("blanks") << QByteArray("    ") << true << 0.0;
        QTest::newRow("day zero") << QByteArray("1899-12-30") << true << 0.0;
        QTest::newRow("a known day") << QByteArray("2024-03-05") << true << 45356.0;
        QTest::newRow("leap day") << QByteArray("2000-02-29") << true << 36585.0;
        QTest::newRow("before day zero") << QByteArray("1899-12-29") << true << -1.0;
        QTest::newRow("trailing blanks") << QByteArray("2024-03-05  ") << true << 45356.0;
        QTest::newRow("with time") << QByteArray("2024-03-05 12:00:00") << true << 45356.5;
        QTest::newRow("T and minutes") << QByteArray("2024-03-05T06:00") << true << 45356.25;
        QTest::newRow("time before day zero") << QByteArray("1899-12-29 06:00") << true << -1.25;
        QTest::newRow("last day") << QByteArray("9999-12-31") << true << 2958465.0;
        QTest::newRow("not a leap year") << QByteArray("1900-02-29") << false << 0.0;
        QTest::newRow("February 30") << QByteArray("2023-02-30") << false << 0.0;
        QTest::newRow("month 13") << QByteArray("2023-13-01") << false << 0.0;
        QTest::newRow("year 0") << QByteArray("0000-01-01") << false << 0.0;
        QTest::newRow("US style") << QByteArray("03/05/2024") << false << 0.0;
        QTest::newRow("leading blank") << QByteArray(" 2024-03-05") << false << 0.0;
        QTest::newRow("short year") << QByteArray("24-03-05") << false << 0.0;
        QTest::newRow("hour 24") << QByteArray("2024-03-05 24:00") << false << 0.0;
        QTest::newRow("junk after") << QByteArray("2024-03-05x") << false << 0.0;
        QTest::newRow("dangling dot") << QByteArray("2024-03-05 01:02:03.") << false << 0.0;
        QTest::newRow("a number") << QByteArray("45356") << false << 0.0;
        QTest::newRow("embedded NUL") << QByteArray("2024-03-05\0", 11) << false << 0.0;
    }

    void parses() {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);
        QFETCH(double, expected);
        const std::optional<TDateTime> value =
            ParseDateText(std::string_view(text.constData(), size_t(text.size())));
        QCOMPARE(value.has_value(), valid);
        if (valid) {
            QCOMPARE(*value, expected);
        }
    }
};

QTEST_GUILESS_MAIN(TestDateText)
#include "tst_datetext.moc"
