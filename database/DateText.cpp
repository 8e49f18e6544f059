#include "DateText.h"

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads exactly `count` digits at `pos`.
bool readNumber(std::string_view text, size_t &pos, size_t count, int &value) {
    if (pos + count > text.size()) {
        return false;
    }
    value = 0;
    for (size_t i = 0; i < count; ++i) {
        const char c = text[pos + i];
        if (!isDigit(c)) {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    pos += count;
    return true;
}

bool expect(std::string_view text, size_t &pos, char c) {
    if (pos < text.size() && text[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

int daysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

} // namespace

std::optional<TDateTime> ParseDateText(std::string_view text) {
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    if (text.empty()) {
        return 0.0;
    }

    size_t pos = 0;
    int year = 0;
    int month = 0;
    int day = 0;
    if (!readNumber(text, pos, 4, year) || !expect(text, pos, '-') ||
        !readNumber(text, pos, 2, month) || !expect(text, pos, '-') ||
        !readNumber(text, pos, 2, day)) {
        return std::nullopt;
    }
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month)) {
        return std::nullopt;
    }

    double fraction = 0.0;
    if (pos < text.size()) {
        if (text[pos] != ' ' && text[pos] != 'T') {
            return std::nullopt;
        }
        ++pos;
        int hour = 0;
        int minute = 0;
        int second = 0;
        int milliseconds = 0;
        if (!readNumber(text, pos, 2, hour) || !expect(text, pos, ':') ||
            !readNumber(text, pos, 2, minute)) {
            return std::nullopt;
        }
        if (expect(text, pos, ':')) {
            if (!readNumber(text, pos, 2, second)) {
                return std::nullopt;
            }
            if (expect(text, pos, '.')) {
                int scale = 100;
                size_t digits = 0;
                while (pos < text.size() && isDigit(text[pos])) {
                    if (digits < 3) {
                        milliseconds += (text[pos] - '0') * scale;
                        scale /= 10;
                    }
                    ++digits;
                    ++pos;
                }
                if (digits == 0) {
                    return std::nullopt;
                }
            }
        }
        if (pos != text.size() || hour > 23 || minute > 59 || second > 59) {
            return std::nullopt;
        }
        fraction = ((hour * 60.0 + minute) * 60.0 + second + milliseconds / 1000.0) / 86400.0;
    }

    const TDateTime date = EncodeDate(year, month, day);
    // Before 30 December 1899 the value is negative and its fraction still counts forward.
    return date < 0 ? date - fraction : date + fraction;
}
