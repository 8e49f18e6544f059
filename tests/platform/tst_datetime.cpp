#include "DateTime.h"
#include "Exception.h"

#include <QDate>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <clocale>
#include <cmath>
#include <limits>
#include <memory>

class TestDateTime : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void decodeDate_data();
    void decodeDate();
    void everyDayAgreesWithQDate();
    void valuesOutsideTheDatesAreAnError_data();
    void valuesOutsideTheDatesAreAnError();
    void invalidCalendarDatesAreAnError_data();
    void invalidCalendarDatesAreAnError();
    void formatShortDate_data();
    void formatShortDate();

private:
    bool useTimeLocale(const QByteArray &name);

    QByteArray savedTimeLocale_;
    std::unique_ptr<QTemporaryDir> builtLocales_;
};

void TestDateTime::initTestCase() {
    savedTimeLocale_ = std::setlocale(LC_TIME, nullptr);
}

void TestDateTime::cleanup() {
    std::setlocale(LC_TIME, savedTimeLocale_.constData());
}

// Switches LC_TIME to <name>. A locale the system lacks is compiled from the system's locale
// sources into a private directory (LOCPATH), so the test does not depend on which locales are
// installed. The C library remembers a locale it failed to find under the current LOCPATH, so
// once that is set each locale is compiled before it is first asked for.
bool TestDateTime::useTimeLocale(const QByteArray &name) {
#ifdef Q_OS_WIN
    return std::setlocale(LC_TIME, name.constData()) != nullptr;
#else
    if (!builtLocales_) {
        if (std::setlocale(LC_TIME, name.constData()))
            return true;
        builtLocales_ = std::make_unique<QTemporaryDir>();
        if (!builtLocales_->isValid())
            return false;
        qputenv("LOCPATH", QFile::encodeName(builtLocales_->path()));
    }
    const QString target = builtLocales_->filePath(QString::fromLatin1(name));
    if (!QFileInfo::exists(target)) {
        const QList<QByteArray> parts = name.split('.');
        QProcess localedef;
        localedef.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        localedef.setStandardOutputFile(QProcess::nullDevice());
        localedef.start(QStringLiteral("localedef"),
                        {QStringLiteral("-i"), QString::fromLatin1(parts.first()),
                         QStringLiteral("-f"), QString::fromLatin1(parts.value(1)), target});
        localedef.waitForFinished(120000);
    }
    return std::setlocale(LC_TIME, name.constData()) != nullptr;
#endif
}

void TestDateTime::decodeDate_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");

    QTest::newRow("day 0") << 0.0 << 1899 << 12 << 30;
    QTest::newRow("a time on day 0") << 0.75 << 1899 << 12 << 30;
    QTest::newRow("day 2") << 2.0 << 1900 << 1 << 1;
    QTest::newRow("day -1") << -1.0 << 1899 << 12 << 29;
    // The date part truncates toward zero: -0.5 is still day 0, -1.5 is day -1.
    QTest::newRow("-0.5") << -0.5 << 1899 << 12 << 30;
    QTest::newRow("-1.5") << -1.5 << 1899 << 12 << 29;
    QTest::newRow("1900 is no leap year") << 60.0 << 1900 << 2 << 28;
    QTest::newRow("after 1900-02-28") << 61.0 << 1900 << 3 << 1;
    QTest::newRow("2000-02-29") << 36585.0 << 2000 << 2 << 29;
    QTest::newRow("2024-02-29 evening") << 45351.9 << 2024 << 2 << 29;
    QTest::newRow("1600-02-29") << -109512.0 << 1600 << 2 << 29;
    QTest::newRow("1800-01-01") << -36522.0 << 1800 << 1 << 1;
    QTest::newRow("first date") << -693593.0 << 1 << 1 << 1;
    QTest::newRow("first date, late") << -693593.999 << 1 << 1 << 1;
    QTest::newRow("last date") << 2958465.0 << 9999 << 12 << 31;
    QTest::newRow("last date, late") << 2958465.999 << 9999 << 12 << 31;
}

void TestDateTime::decodeDate() {
    QFETCH(double, value);
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);

    int y = 0;
    int m = 0;
    int d = 0;
    DecodeDate(value, y, m, d);
    QCOMPARE(y, year);
    QCOMPARE(m, month);
    QCOMPARE(d, day);
    QCOMPARE(EncodeDate(year, month, day), std::trunc(value));
}

// Qt's proleptic Gregorian calendar is an independent reference for every day of the range.
void TestDateTime::everyDayAgreesWithQDate() {
    const qint64 dayZero = QDate(1899, 12, 30).toJulianDay();
    int y = 0;
    int m = 0;
    int d = 0;
    for (qint64 value = -693593; value <= 2958465; ++value) {
        const QDate expected = QDate::fromJulianDay(dayZero + value);
        DecodeDate(static_cast<double>(value), y, m, d);
        if (QDate(y, m, d) != expected)
            QFAIL(qPrintable(QStringLiteral("%1 decodes to %2-%3-%4, expected %5")
                                 .arg(value)
                                 .arg(y)
                                 .arg(m)
                                 .arg(d)
                                 .arg(expected.toString(Qt::ISODate))));
        if (EncodeDate(expected.year(), expected.month(), expected.day()) !=
            static_cast<double>(value))
            QFAIL(qPrintable(QStringLiteral("%1 does not encode to %2")
                                 .arg(expected.toString(Qt::ISODate))
                                 .arg(value)));
    }
}

void TestDateTime::valuesOutsideTheDatesAreAnError_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("shown");

    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << QStringLiteral("nan");
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << QStringLiteral("inf");
    QTest::newRow("-infinity") << -std::numeric_limits<double>::infinity()
                               << QStringLiteral("-inf");
    QTest::newRow("huge") << 1e300 << QStringLiteral("1e+300");
    QTest::newRow("hugely negative") << -1e300 << QStringLiteral("-1e+300");
    QTest::newRow("the day after 9999-12-31") << 2958466.0 << QStringLiteral("2958466");
    QTest::newRow("the day before 0001-01-01") << -693594.0 << QStringLiteral("-693594");
}

void TestDateTime::valuesOutsideTheDatesAreAnError() {
    QFETCH(double, value);
    QFETCH(QString, shown);

    int y = 0;
    int m = 0;
    int d = 0;
    try {
        DecodeDate(value, y, m, d);
        QFAIL("DecodeDate accepted the value");
    } catch (const Exception &error) {
        QVERIFY2(error.Message().contains(shown), qPrintable(error.Message()));
    }
    try {
        FormatShortDate(value);
        QFAIL("FormatShortDate accepted the value");
    } catch (const Exception &error) {
        QVERIFY2(error.Message().contains(shown), qPrintable(error.Message()));
    }
}

void TestDateTime::invalidCalendarDatesAreAnError_data() {
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");

    QTest::newRow("2023-02-29") << 2023 << 2 << 29;
    QTest::newRow("1900-02-29") << 1900 << 2 << 29;
    QTest::newRow("2024-04-31") << 2024 << 4 << 31;
    QTest::newRow("day 0") << 2024 << 1 << 0;
    QTest::newRow("month 0") << 2024 << 0 << 1;
    QTest::newRow("month 13") << 2024 << 13 << 1;
    QTest::newRow("year 0") << 0 << 1 << 1;
    QTest::newRow("year 10000") << 10000 << 1 << 1;
}

void TestDateTime::invalidCalendarDatesAreAnError() {
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    QVERIFY_THROWS_EXCEPTION(Exception, EncodeDate(year, month, day));
}

void TestDateTime::formatShortDate_data() {
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("C.UTF-8, day 0") << QByteArray("C.UTF-8") << 0.0 << QStringLiteral("12/30/99");
    QTest::newRow("C.UTF-8, -1.5") << QByteArray("C.UTF-8") << -1.5 << QStringLiteral("12/29/99");
    QTest::newRow("C.UTF-8, leap day")
        << QByteArray("C.UTF-8") << 45351.5 << QStringLiteral("02/29/24");
    QTest::newRow("C.UTF-8, last date")
        << QByteArray("C.UTF-8") << 2958465.0 << QStringLiteral("12/31/99");
    QTest::newRow("en_US.UTF-8, day 0")
        << QByteArray("en_US.UTF-8") << 0.0 << QStringLiteral("12/30/1899");
    QTest::newRow("en_US.UTF-8, leap day")
        << QByteArray("en_US.UTF-8") << 36585.25 << QStringLiteral("02/29/2000");
}

void TestDateTime::formatShortDate() {
#ifdef Q_OS_WIN
    QSKIP("Windows formats with the user's own short date");
#endif
    QFETCH(QByteArray, locale);
    QFETCH(double, value);
    QFETCH(QString, expected);

    if (!useTimeLocale(locale))
        QSKIP(qPrintable(
            QStringLiteral("The locale %1 is not available").arg(QString::fromLatin1(locale))));
    QCOMPARE(FormatShortDate(value), expected);
}

QTEST_GUILESS_MAIN(TestDateTime)

#include "tst_datetime.moc"
