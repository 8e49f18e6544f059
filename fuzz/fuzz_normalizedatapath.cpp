// NormalizeDataPath on any text, read both as UTF-8 and as 8-bit ANSI (Latin-1), the way a
// registry value may come: one '\' appended unless there is one, a-z upper-cased, every other
// character unchanged, and normalising twice changes nothing more.
#include "FuzzCheck.h"
#include "PracticePath.h"

#include <cstddef>
#include <cstdint>

namespace {

QChar asciiUpper(QChar c) {
    return c >= QLatin1Char('a') && c <= QLatin1Char('z') ? QChar(c.unicode() - u'a' + u'A') : c;
}

void checkOne(const QString &input) {
    const QString output = NormalizeDataPath(input);
    if (input.isEmpty()) {
        fuzzCheck(output.isEmpty(), "empty stays empty");
        return;
    }
    const bool hadBackslash = input.endsWith(QLatin1Char('\\'));
    fuzzCheck(output.size() == input.size() + (hadBackslash ? 0 : 1), "at most one '\\' added");
    fuzzCheck(output.endsWith(QLatin1Char('\\')), "ends in '\\'");
    for (qsizetype i = 0; i < input.size(); ++i) {
        fuzzCheck(output.at(i) == asciiUpper(input.at(i)), "only a-z change, to A-Z");
    }
    fuzzCheck(NormalizeDataPath(output) == output, "normalising twice changes nothing");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const auto *text = reinterpret_cast<const char *>(data);
    const auto length = static_cast<qsizetype>(size);
    checkOne(QString::fromUtf8(text, length));
    checkOne(QString::fromLatin1(text, length));
    return 0;
}
