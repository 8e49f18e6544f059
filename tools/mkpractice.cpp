// mkpractice: writes a practice directory (tables, optionally the data dictionary) for the demo,
// the tests and the benchmarks.
#include "Exception.h"
#include "PracticeWriter.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <exception>
#include <limits>
#include <optional>

namespace {

constexpr int kUsageError = 2;
constexpr int kWriteError = 1;

void print(std::FILE *stream, const QString &text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

struct UsageError {
    QString message;
};

// A count or seed in decimal; signs, blanks and other bases are refused.
std::optional<quint64> parseNumber(const QString &text) {
    if (text.isEmpty()) {
        return std::nullopt;
    }
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return std::nullopt;
        }
    }
    bool ok = false;
    const quint64 value = text.toULongLong(&ok);
    return ok ? std::optional<quint64>(value) : std::nullopt;
}

qint64 parseCount(const QCommandLineParser &parser, const QString &name, qint64 fallback) {
    if (!parser.isSet(name)) {
        return fallback;
    }
    const QString text = parser.value(name);
    const std::optional<quint64> value = parseNumber(text);
    if (!value || *value > static_cast<quint64>(std::numeric_limits<qint64>::max())) {
        throw UsageError{
            QStringLiteral("--%1 needs a whole number of 0 or more, not '%2'").arg(name, text)};
    }
    return static_cast<qint64>(*value);
}

practice::Options parseOptions(const QCommandLineParser &parser) {
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        throw UsageError{QStringLiteral("no directory given")};
    }
    if (positional.size() > 1) {
        throw UsageError{QStringLiteral("one directory only, got '%1'")
                             .arg(positional.join(QStringLiteral("', '")))};
    }
    if (positional.first().isEmpty()) {
        throw UsageError{QStringLiteral("the directory name is empty")};
    }

    practice::Options options;
    options.directory = positional.first();
    options.dictionary = parser.isSet(QStringLiteral("dictionary"));
    const bool user = parser.isSet(QStringLiteral("user"));
    const bool password = parser.isSet(QStringLiteral("password"));
    if ((user || password) && !options.dictionary) {
        throw UsageError{QStringLiteral("--user and --password need --dictionary")};
    }
    if (user && !password) {
        throw UsageError{QStringLiteral("--user needs --password")};
    }
    if (user) {
        options.user = parser.value(QStringLiteral("user"));
        if (options.user.isEmpty()) {
            throw UsageError{QStringLiteral("--user needs a non-empty name")};
        }
    }
    if (password) {
        options.password = parser.value(QStringLiteral("password"));
    }
    options.rows = parseCount(parser, QStringLiteral("rows"), options.rows);
    options.bad = parseCount(parser, QStringLiteral("bad"), options.bad);
    if (parser.isSet(QStringLiteral("seed"))) {
        const QString text = parser.value(QStringLiteral("seed"));
        const std::optional<quint64> seed = parseNumber(text);
        if (!seed) {
            throw UsageError{
                QStringLiteral("--seed needs a whole number of 0 or more, not '%1'").arg(text)};
        }
        options.seed = *seed;
    }
    if (options.bad > options.rows) {
        throw UsageError{
            QStringLiteral("--bad %1 is more than --rows %2").arg(options.bad).arg(options.rows)};
    }
    return options;
}

QString summary(const practice::Options &options) {
    QString line = QStringLiteral("Wrote the practice %1: %2 SKRPT rows (%3 bad), tables %4")
                       .arg(QDir::toNativeSeparators(options.directory))
                       .arg(options.rows)
                       .arg(options.bad)
                       .arg(practice::PracticeTables().join(QStringLiteral(", ")));
    if (options.dictionary) {
        line += QStringLiteral(", dictionary cvddf.add with the user '%1'").arg(options.user);
    }
    return line + QLatin1Char('\n');
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("mkpractice"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Writes a practice directory with a SKRPT table of repeat definitions, "
                       "some of them bad (\"Unit\" 'None' or empty), and optionally the data "
                       "dictionary cvddf.add. Refuses a directory that already holds a "
                       "practice."));
    parser.addPositionalArgument(QStringLiteral("DIR"),
                                 QStringLiteral("The practice directory (created when missing)."));
    const QCommandLineOption help = parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("dictionary"), QStringLiteral("Also write the data dictionary cvddf.add.")},
        {QStringLiteral("user"), QStringLiteral("The dictionary's user (default: user)."),
         QStringLiteral("NAME")},
        {QStringLiteral("password"),
         QStringLiteral("The dictionary user's password (default: tulipnet)."),
         QStringLiteral("PW")},
        {QStringLiteral("rows"), QStringLiteral("Number of SKRPT rows (default: 1000)."),
         QStringLiteral("N")},
        {QStringLiteral("bad"), QStringLiteral("How many of them are bad (default: 100)."),
         QStringLiteral("M")},
        {QStringLiteral("seed"),
         QStringLiteral("Seed of the generated data; the same seed writes the same tables "
                        "(default: 1)."),
         QStringLiteral("S")},
    });

    const QString usageHint =
        QStringLiteral("Usage: mkpractice DIR [--dictionary] [--user NAME --password PW] "
                       "[--rows N] [--bad M] [--seed S]\nRun 'mkpractice --help' for more.\n");
    if (!parser.parse(QCoreApplication::arguments())) {
        print(stderr, QStringLiteral("mkpractice: %1\n").arg(parser.errorText()) + usageHint);
        return kUsageError;
    }
    if (parser.isSet(help)) {
        print(stdout, parser.helpText());
        return 0;
    }

    practice::Options options;
    try {
        options = parseOptions(parser);
    } catch (const UsageError &error) {
        print(stderr, QStringLiteral("mkpractice: %1\n").arg(error.message) + usageHint);
        return kUsageError;
    }

    try {
        practice::WritePractice(options);
    } catch (const Exception &error) {
        print(stderr, QStringLiteral("mkpractice: %1\n").arg(error.Message()));
        return kWriteError;
    } catch (const std::exception &error) {
        print(stderr, QStringLiteral("mkpractice: %1\n").arg(QString::fromLocal8Bit(error.what())));
        return kWriteError;
    }
    print(stdout, summary(options));
    return 0;
}
