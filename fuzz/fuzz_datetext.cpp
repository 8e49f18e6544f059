// The date column reader on any bytes: nothing, or a finite value whose date part is the date
// written in the first ten characters, which the short date format can show.
#include "DateText.h"
#include "DateTime.h"
#include "FuzzCheck.h"

#include <QString>

#include <clocale>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    std::setlocale(LC_ALL, "C.UTF-8");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const std::optional<TDateTime> value = ParseDateText(text);
    if (!value) {
        return 0;
    }
    fuzzCheck(std::isfinite(*value), "a date is a finite number");
    std::string_view trimmed = text;
    while (!trimmed.empty() && trimmed.back() == ' ') {
        trimmed.remove_suffix(1);
    }
    if (trimmed.empty()) {
        fuzzCheck(*value == 0.0, "an empty date is 0");
        return 0;
    }
    fuzzCheck(trimmed.size() >= 10, "a date has ten characters at least");
    const auto number = [&](std::size_t from, std::size_t count) {
        int result = 0;
        for (std::size_t i = from; i < from + count; ++i) {
            result = result * 10 + (trimmed[i] - '0');
        }
        return result;
    };
    int year = 0;
    int month = 0;
    int day = 0;
    DecodeDate(*value, year, month, day);
    fuzzCheck(year == number(0, 4) && month == number(5, 2) && day == number(8, 2),
              "the value's date part is the date written");
    if (trimmed.size() == 10) {
        fuzzCheck(*value == EncodeDate(year, month, day), "a bare date has no time of day");
    }
    fuzzCheck(!FormatShortDate(*value).isEmpty(), "every date read can be shown");
    return 0;
}
