#include "DateTime.h"

#include "Exception.h"

#include <QLocale>

#include <cmath>
#include <cstdint>
#include <vector>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <QDate>
#include <windows.h>
#else
#include <locale.h>

#include <clocale>
#include <ctime>
#include <cwchar>
#include <string>
#include <unordered_map>
#endif

namespace {

// Day numbers count from 1970-01-01 (proleptic Gregorian) in the two conversions below; the
// platform's values count from 1899-12-30, which is day -25569.
constexpr std::int64_t kEpochDay = -25569;
// The dates the platform can show: 0001-01-01 to 9999-12-31.
constexpr std::int64_t kFirstValue = -693593;
constexpr std::int64_t kLastValue = 2958465;

constexpr std::int64_t daysFromCivil(std::int64_t year, std::int64_t month, std::int64_t day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

static_assert(daysFromCivil(1899, 12, 30) == kEpochDay, "the platform's day 0");
static_assert(daysFromCivil(1, 1, 1) - kEpochDay == kFirstValue, "first date");
static_assert(daysFromCivil(9999, 12, 31) - kEpochDay == kLastValue, "last date");

void civilFromDays(std::int64_t days, int &year, int &month, int &day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

// The whole days of a value: the date part truncates toward zero, so -1.5 is day -1
// (1899-12-29) and -0.5 is still 1899-12-30.
std::int64_t dayOf(TDateTime value) {
    // Written so that NaN fails the test as well.
    if (!(value > static_cast<double>(kFirstValue - 1) &&
          value < static_cast<double>(kLastValue + 1))) {
        throw Exception(
            QStringLiteral("The date-time value %1 is outside the range of dates (0001-01-01 "
                           "to 9999-12-31)")
                .arg(QString::number(value, 'g', QLocale::FloatingPointShortest)));
    }
    return static_cast<std::int64_t>(std::trunc(value));
}

} // namespace

TDateTime EncodeDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > daysInMonth(year, month)) {
        throw Exception(QStringLiteral("The date %1-%2-%3 is not a valid calendar date")
                            .arg(year, 4, 10, QLatin1Char('0'))
                            .arg(month, 2, 10, QLatin1Char('0'))
                            .arg(day, 2, 10, QLatin1Char('0')));
    }
    return static_cast<TDateTime>(daysFromCivil(year, month, day) - kEpochDay);
}

void DecodeDate(TDateTime value, int &year, int &month, int &day) {
    civilFromDays(dayOf(value) + kEpochDay, year, month, day);
}

QString FormatShortDate(TDateTime value) {
    const std::int64_t days = dayOf(value);
    int year = 0;
    int month = 0;
    int day = 0;
    civilFromDays(days + kEpochDay, year, month, day);
    // 1899-12-30 was a Saturday; Sunday is 0.
    const int weekday = static_cast<int>(((days % 7) + 7 + 6) % 7);

#ifdef Q_OS_WIN
    SYSTEMTIME date{};
    date.wYear = static_cast<WORD>(year);
    date.wMonth = static_cast<WORD>(month);
    date.wDay = static_cast<WORD>(day);
    date.wDayOfWeek = static_cast<WORD>(weekday);
    const int size =
        ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &date, nullptr, nullptr, 0);
    if (size > 0) {
        std::vector<wchar_t> text(static_cast<size_t>(size));
        const int written = ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &date, nullptr,
                                             text.data(), size);
        if (written > 0)
            return QString::fromWCharArray(text.data(), written - 1);
    }
    // The API refuses years before 1601; Qt's system locale reads the same user setting.
    return QLocale::system().toString(QDate(year, month, day), QLocale::ShortFormat);
#else
    // A listing formats one date per line, and the dates of a large practice repeat: the texts of
    // the current LC_TIME locale are kept, and dropped when the locale changes. A thread with a
    // locale of its own is served afresh each time.
    struct Cache {
        std::string locale;
        std::unordered_map<std::int64_t, QString> texts;
    };
    constexpr size_t kMaxCachedDates = 100000;
    thread_local Cache cache;
    const char *locale = std::setlocale(LC_TIME, nullptr);
    const bool cacheable = locale != nullptr && ::uselocale(locale_t(nullptr)) == LC_GLOBAL_LOCALE;
    if (cacheable) {
        if (cache.locale != locale) {
            cache.locale = locale;
            cache.texts.clear();
        }
        const auto known = cache.texts.find(days);
        if (known != cache.texts.end()) {
            return known->second;
        }
    }

    std::tm date{};
    date.tm_year = year - 1900;
    date.tm_mon = month - 1;
    date.tm_mday = day;
    date.tm_wday = weekday;
    date.tm_yday = static_cast<int>(daysFromCivil(year, month, day) - daysFromCivil(year, 1, 1));
    date.tm_isdst = -1;
    // The wide variant yields the locale's text without a detour through its byte encoding.
    QString text;
    for (size_t capacity : {size_t{128}, size_t{4096}}) {
        std::vector<wchar_t> buffer(capacity);
        const size_t length = std::wcsftime(buffer.data(), buffer.size(), L"%x", &date);
        if (length > 0) {
            text = QString::fromWCharArray(buffer.data(), static_cast<qsizetype>(length));
            break;
        }
    }
    if (cacheable) {
        if (cache.texts.size() >= kMaxCachedDates) {
            cache.texts.clear();
        }
        cache.texts.emplace(days, text);
    }
    return text;
#endif
}
