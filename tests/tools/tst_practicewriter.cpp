// The practice writer: generated practices (counts, the untidy content the repair tool must
// cope with, determinism, the file format) and the building blocks other tests use.
#include "Exception.h"
#include "PracticeWriter.h"
#include "ReadBack.h"

#include <QDate>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sodium.h>

using readback::Repeat;

namespace {

QString rightTrimmed(QString text) {
    while (text.endsWith(QLatin1Char(' '))) {
        text.chop(1);
    }
    return text;
}

bool isBadUnit(const QString &unit) {
    const QString trimmed = rightTrimmed(unit);
    return trimmed == QLatin1String("None") || trimmed.isEmpty();
}

practice::Options optionsFor(const QString &directory, qint64 rows, qint64 bad, quint64 seed = 1) {
    practice::Options options;
    options.directory = directory;
    options.rows = rows;
    options.bad = bad;
    options.seed = seed;
    return options;
}

// The message of the Exception `call` raises; empty (and a failed check) when it raises none.
template <typename Call> QString failureOf(Call call) {
    try {
        call();
    } catch (const Exception &error) {
        return error.Message();
    }
    return {};
}

QStringList filesIn(const QString &directory) {
    return QDir(directory).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

class TestPracticeWriter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(sodium_init() >= 0); }

    void generatesExactCounts_data();
    void generatesExactCounts();
    void skrptColumnsFollowTheFormat();
    void generatesUntidyRealisticContent_data();
    void generatesUntidyRealisticContent();
    void sameSeedGivesIdenticalFiles();
    void dictionaryHoldsHashesAndCatalogue_data();
    void dictionaryHoldsHashesAndCatalogue();
    void writeDictionaryRejectsBadInput_data();
    void writeDictionaryRejectsBadInput();
    void explicitRowsRoundTrip();
    void explicitRowsNeedAnExistingTable();
    void refusesAnExistingPractice_data();
    void refusesAnExistingPractice();
    void rejectsBadOptions_data();
    void rejectsBadOptions();
    void createsMissingDirectories();
};

void TestPracticeWriter::generatesExactCounts_data() {
    QTest::addColumn<qint64>("rows");
    QTest::addColumn<qint64>("bad");
    QTest::newRow("default size") << qint64{1000} << qint64{100};
    QTest::newRow("empty table") << qint64{0} << qint64{0};
    QTest::newRow("all bad") << qint64{6} << qint64{6};
    QTest::newRow("none bad") << qint64{25} << qint64{0};
    QTest::newRow("one bad") << qint64{40} << qint64{1};
    QTest::newRow("odd sizes") << qint64{37} << qint64{5};
}

void TestPracticeWriter::generatesExactCounts() {
    QFETCH(qint64, rows);
    QFETCH(qint64, bad);
    QTemporaryDir temp;
    const QString directory = temp.filePath(QStringLiteral("practice"));
    practice::WritePractice(optionsFor(directory, rows, bad, 3));

    // Table files only, and no journal or dictionary left behind.
    QCOMPARE(filesIn(directory),
             QStringList({QStringLiteral("PATIENT.db"), QStringLiteral("PROVIDER.db"),
                          QStringLiteral("SKRPT.db")}));

    const QString skrpt = QDir(directory).filePath(QStringLiteral("SKRPT.db"));
    QCOMPARE(readback::scalar(skrpt, "SELECT count(*) FROM SKRPT"), rows);
    QCOMPARE(readback::scalar(skrpt, readback::kCountBad), bad);

    // The select under RTRIM and the definition of a bad unit agree row by row.
    const std::vector<Repeat> repeats = readback::readRepeats(skrpt);
    const auto badRows = std::count_if(repeats.begin(), repeats.end(),
                                       [](const Repeat &row) { return isBadUnit(row.unit); });
    QCOMPARE(static_cast<qint64>(badRows), bad);

    // Dates are NULL, '' or ISO dates that parse.
    for (const Repeat &row : repeats) {
        if (row.startDate && !row.startDate->isEmpty()) {
            QVERIFY2(QDate::fromString(*row.startDate, Qt::ISODate).isValid(),
                     qPrintable(*row.startDate));
        }
    }

    // The other tables of the practice hold rows too.
    QVERIFY(readback::scalar(QDir(directory).filePath(QStringLiteral("PATIENT.db")),
                             "SELECT count(*) FROM PATIENT") > 0);
    QVERIFY(readback::scalar(QDir(directory).filePath(QStringLiteral("PROVIDER.db")),
                             "SELECT count(*) FROM PROVIDER") > 0);
}

void TestPracticeWriter::skrptColumnsFollowTheFormat() {
    QTemporaryDir temp;
    practice::WritePractice(optionsFor(temp.path(), 50, 5));
    const QString skrpt = temp.filePath(QStringLiteral("SKRPT.db"));

    // A plain rollback-journal database that is intact: header bytes 18 and 19 are 1 (2 = WAL).
    const QByteArray bytes = readback::fileBytes(skrpt);
    QVERIFY(bytes.startsWith("SQLite format 3"));
    QCOMPARE(int(bytes.at(18)), 1);
    QCOMPARE(int(bytes.at(19)), 1);
    QCOMPARE(readback::scalarText(skrpt, "PRAGMA integrity_check"), QStringLiteral("ok"));

    QStringList columns;
    {
        sqlite::Database db(skrpt, SQLITE_OPEN_READONLY);
        sqlite::Statement info(db, "SELECT name FROM pragma_table_info('SKRPT')", skrpt);
        while (info.Step()) {
            columns << readback::columnText(info, 0);
        }
    }
    QVERIFY2(columns.size() >= 13 && columns.size() <= 17, qPrintable(columns.join(u',')));
    const QStringList used = {QStringLiteral("Chart Number"), QStringLiteral("Name"),
                              QStringLiteral("Provider"), QStringLiteral("Start Date"),
                              QStringLiteral("Unit")};
    // Code that reads by position instead of by name must not get lucky.
    for (const QString &column : used) {
        QVERIFY2(columns.indexOf(column) > 0, qPrintable(column));
    }
    QVERIFY(columns.indexOf(QStringLiteral("Unit")) < columns.size() - 1);

    const QString schema =
        readback::scalarText(skrpt, "SELECT sql FROM sqlite_schema WHERE name = 'SKRPT'");
    for (const QString &column : {QStringLiteral("Chart Number"), QStringLiteral("Name"),
                                  QStringLiteral("Provider"), QStringLiteral("Unit")}) {
        const QString declaration =
            QStringLiteral("\"%1\" TEXT NOT NULL DEFAULT '' COLLATE RTRIM").arg(column);
        QVERIFY2(schema.contains(declaration), qPrintable(declaration));
    }
    QVERIFY(schema.contains(QRegularExpression(QStringLiteral("\"Start Date\" TEXT,"))));
}

void TestPracticeWriter::generatesUntidyRealisticContent_data() {
    QTest::addColumn<quint64>("seed");
    QTest::newRow("seed 1") << quint64{1};
    QTest::newRow("seed 2") << quint64{2};
    QTest::newRow("seed 99") << quint64{99};
}

void TestPracticeWriter::generatesUntidyRealisticContent() {
    QFETCH(quint64, seed);
    QTemporaryDir temp;
    practice::WritePractice(optionsFor(temp.path(), 1000, 100, seed));
    const std::vector<Repeat> rows =
        readback::readRepeats(temp.filePath(QStringLiteral("SKRPT.db")));
    QCOMPARE(rows.size(), size_t{1000});

    QMap<QString, int> kinds;
    std::vector<qint64> badPositions;
    for (size_t i = 0; i < rows.size(); ++i) {
        const Repeat &row = rows[i];
        const QString &unit = row.unit;
        if (unit == QLatin1String("None")) {
            ++kinds[QStringLiteral("None")];
        } else if (unit.isEmpty()) {
            ++kinds[QStringLiteral("empty")];
        } else if (unit.startsWith(QLatin1String("None ")) && isBadUnit(unit)) {
            ++kinds[QStringLiteral("padded None")];
        } else if (unit.trimmed().isEmpty()) {
            ++kinds[QStringLiteral("all blank")];
        } else if (unit == QLatin1String("none") || unit == QLatin1String("None2")) {
            ++kinds[unit];
        }
        if (isBadUnit(unit)) {
            badPositions.push_back(static_cast<qint64>(i));
        }

        const auto count = [&kinds](const char *what, bool yes) {
            if (yes) {
                ++kinds[QLatin1String(what)];
            }
        };
        count("empty chart", row.chartNumber.isEmpty());
        count("empty name", row.name.isEmpty());
        count("empty provider", row.provider.isEmpty());
        count("NULL start", !row.startDate.has_value());
        count("'' start", row.startDate && row.startDate->isEmpty());
        count("leading blank", row.name.startsWith(u' ') || row.chartNumber.startsWith(u' ') ||
                                   row.provider.startsWith(u' '));
        count("trailing blank", row.name.endsWith(u' ') || row.chartNumber.endsWith(u' ') ||
                                    row.provider.endsWith(u' '));
        count("padded good unit", !isBadUnit(unit) && unit.endsWith(u' '));
    }

    for (const char *kind : {"None", "empty", "padded None", "all blank", "none", "None2",
                             "empty chart", "empty name", "empty provider", "NULL start",
                             "'' start", "leading blank", "trailing blank", "padded good unit"}) {
        QVERIFY2(kinds.value(QLatin1String(kind)) > 0, kind);
    }
    // Every bad row is one of the four kinds.
    QCOMPARE(kinds.value(QStringLiteral("None")) + kinds.value(QStringLiteral("empty")) +
                 kinds.value(QStringLiteral("padded None")) +
                 kinds.value(QStringLiteral("all blank")),
             100);

    // Bad rows are spread over the table: some in every quarter of it.
    QCOMPARE(badPositions.size(), size_t{100});
    for (qint64 quarter = 0; quarter < 4; ++quarter) {
        const auto inQuarter =
            std::count_if(badPositions.begin(), badPositions.end(),
                          [quarter](qint64 position) { return position / 250 == quarter; });
        QVERIFY2(inQuarter >= 5, qPrintable(QString::number(quarter)));
    }
}

void TestPracticeWriter::sameSeedGivesIdenticalFiles() {
    QTemporaryDir temp;
    const QDir root(temp.path());
    practice::WritePractice(optionsFor(root.filePath(QStringLiteral("a")), 500, 50, 7));
    practice::WritePractice(optionsFor(root.filePath(QStringLiteral("b")), 500, 50, 7));
    practice::WritePractice(optionsFor(root.filePath(QStringLiteral("c")), 500, 50, 8));

    for (const QString &table : practice::PracticeTables()) {
        const QString file = table + QStringLiteral(".db");
        const QByteArray a = readback::fileBytes(root.filePath(QStringLiteral("a/") + file));
        QVERIFY2(!a.isEmpty(), qPrintable(file));
        QVERIFY2(a == readback::fileBytes(root.filePath(QStringLiteral("b/") + file)),
                 qPrintable(file));
    }
    QVERIFY(readback::fileBytes(root.filePath(QStringLiteral("a/SKRPT.db"))) !=
            readback::fileBytes(root.filePath(QStringLiteral("c/SKRPT.db"))));
    // Another seed moves the bad rows, not only the texts.
    const auto badIds = [&root](const QString &directory) {
        QList<qint64> ids;
        for (const Repeat &row :
             readback::readRepeats(root.filePath(directory + QStringLiteral("/SKRPT.db")))) {
            if (isBadUnit(row.unit)) {
                ids << row.id;
            }
        }
        return ids;
    };
    QCOMPARE(badIds(QStringLiteral("a")), badIds(QStringLiteral("b")));
    QVERIFY(badIds(QStringLiteral("a")) != badIds(QStringLiteral("c")));
}

void TestPracticeWriter::dictionaryHoldsHashesAndCatalogue_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("wrongPassword");
    QTest::newRow("default login") << QString() << QString() << QStringLiteral("Tulipnet");
    QTest::newRow("own login") << QStringLiteral("Front Desk") << QStringLiteral("s3cret pass")
                               << QStringLiteral("tulipnet");
    QTest::newRow("non-ASCII password")
        << QStringLiteral("user") << QStringLiteral("pässwört") << QStringLiteral("passwort");
}

void TestPracticeWriter::dictionaryHoldsHashesAndCatalogue() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, wrongPassword);
    QTemporaryDir temp;
    practice::Options options = optionsFor(temp.path(), 20, 2);
    options.dictionary = true;
    if (!user.isEmpty()) {
        options.user = user;
        options.password = password;
    }
    practice::WritePractice(options);

    const QString dictionary = temp.filePath(QStringLiteral("cvddf.add"));
    QCOMPARE(readback::scalar(dictionary, "SELECT count(*) FROM users"), qint64{1});
    sqlite::Database db(dictionary, SQLITE_OPEN_READONLY);
    {
        // Names compare ignoring case, as logins do.
        sqlite::Statement find(db, "SELECT name, hash FROM users WHERE name = ?", dictionary);
        find.BindText(1, options.user.toUpper());
        QVERIFY(find.Step());
        QCOMPARE(readback::columnText(find, 0), options.user);
        const QByteArray hash = readback::columnText(find, 1).toLatin1();
        QVERIFY(hash.startsWith("$argon2id$"));
        const QByteArray right = options.password.toUtf8();
        const QByteArray wrong = wrongPassword.toUtf8();
        QCOMPARE(crypto_pwhash_str_verify(hash.constData(), right.constData(),
                                          static_cast<unsigned long long>(right.size())),
                 0);
        QVERIFY(crypto_pwhash_str_verify(hash.constData(), wrong.constData(),
                                         static_cast<unsigned long long>(wrong.size())) != 0);
    }
    // The password is nowhere in the file, in either encoding.
    const QByteArray bytes = readback::fileBytes(dictionary);
    QVERIFY(!bytes.contains(options.password.toUtf8()));
    QVERIFY(!bytes.contains(options.password.toLatin1()));

    // The catalogue names every table by a plain file name next to the dictionary, and that
    // file holds the table.
    sqlite::Statement catalogue(db, "SELECT name, file FROM tables ORDER BY name", dictionary);
    QStringList names;
    while (catalogue.Step()) {
        const QString name = readback::columnText(catalogue, 0);
        const QString file = readback::columnText(catalogue, 1);
        names << name;
        QCOMPARE(file, name + QStringLiteral(".db"));
        const QString sql = QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE type = "
                                           "'table' AND name = '%1'")
                                .arg(name);
        QCOMPARE(readback::scalar(temp.filePath(file), sql.toUtf8().constData()), qint64{1});
    }
    QStringList expected = practice::PracticeTables();
    expected.sort();
    QCOMPARE(names, expected);
}

void TestPracticeWriter::writeDictionaryRejectsBadInput_data() {
    using Users = QList<QPair<QString, QString>>;
    QTest::addColumn<Users>("users");
    QTest::addColumn<QStringList>("tables");
    QTest::addColumn<QString>("named");

    const Users good = {{QStringLiteral("user"), QStringLiteral("tulipnet")}};
    QTest::newRow("same user twice, other case")
        << Users{{QStringLiteral("user"), QStringLiteral("a")},
                 {QStringLiteral("USER"), QStringLiteral("b")}}
        << QStringList{QStringLiteral("SKRPT")} << QStringLiteral("cvddf.add");
    QTest::newRow("empty user name")
        << Users{{QString(), QStringLiteral("a")}} << QStringList{QStringLiteral("SKRPT")}
        << QStringLiteral("cvddf.add");
    QTest::newRow("table in another directory")
        << good << QStringList{QStringLiteral("../SKRPT")} << QStringLiteral("../SKRPT");
    QTest::newRow("table with a backslash")
        << good << QStringList{QStringLiteral("C:\\SKRPT")} << QStringLiteral("C:\\SKRPT");
    QTest::newRow("empty table name")
        << good << QStringList{QString()} << QStringLiteral("cvddf.add");
}

void TestPracticeWriter::writeDictionaryRejectsBadInput() {
    using Users = QList<QPair<QString, QString>>;
    QFETCH(Users, users);
    QFETCH(QStringList, tables);
    QFETCH(QString, named);
    QTemporaryDir temp;
    const QString file = temp.filePath(QStringLiteral("cvddf.add"));
    const QString message = failureOf([&] { practice::WriteDictionary(file, users, tables); });
    QVERIFY2(message.contains(named), qPrintable(message));
    // No half-written dictionary is left to be mistaken for a real one.
    QVERIFY(!QFile::exists(file));
    QVERIFY(filesIn(temp.path()).isEmpty());
}

void TestPracticeWriter::explicitRowsRoundTrip() {
    QTemporaryDir temp;
    const QString file = temp.filePath(QStringLiteral("SKRPT.db"));
    practice::CreateSkrptTable(file);
    QCOMPARE(readback::scalar(file, "SELECT count(*) FROM SKRPT"), qint64{0});

    const std::vector<practice::RepeatRow> first = {
        {QStringLiteral("AAA00001"), QStringLiteral("O'Brien, Pat"), QStringLiteral("JWM"),
         QStringLiteral("2021-03-04"), QStringLiteral("None")},
        {QString(), QString(), QString(), std::nullopt, QString()},
        {QStringLiteral("  B  "), QStringLiteral(" Lee   "), QStringLiteral("1"), QString(),
         QStringLiteral("None   ")},
    };
    const std::vector<practice::RepeatRow> second = {
        {QStringLiteral("C"), QStringLiteral("Hill, Ann"), QStringLiteral("MCH"),
         QStringLiteral("2019-12-31"), QStringLiteral("none")},
        {QStringLiteral("D"), QStringLiteral("Hall, Bo"), QStringLiteral("AKS"),
         QStringLiteral("2020-02-29"), QStringLiteral("   ")},
    };
    practice::AppendRepeatRows(file, first);
    practice::AppendRepeatRows(file, second);

    const std::vector<Repeat> rows = readback::readRepeats(file);
    std::vector<practice::RepeatRow> written = first;
    written.insert(written.end(), second.begin(), second.end());
    QCOMPARE(rows.size(), written.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        // Texts come back byte for byte, blanks included; a null QString is stored as ''.
        QCOMPARE(rows[i].chartNumber, written[i].chartNumber);
        QCOMPARE(rows[i].name, written[i].name);
        QCOMPARE(rows[i].provider, written[i].provider);
        QCOMPARE(rows[i].startDate.has_value(), written[i].startDate.has_value());
        QCOMPARE(rows[i].startDate.value_or(QString()), written[i].startDate.value_or(QString()));
        QCOMPARE(rows[i].unit, written[i].unit);
    }
    QCOMPARE(readback::scalar(file, readback::kCountBad), qint64{4});
    QCOMPARE(readback::scalar(file, R"(SELECT count(*) FROM SKRPT WHERE "Start Date" IS NULL)"),
             qint64{1});
}

void TestPracticeWriter::explicitRowsNeedAnExistingTable() {
    QTemporaryDir temp;
    const QString missing = temp.filePath(QStringLiteral("SKRPT.db"));
    const practice::RepeatRow row{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                                  std::nullopt, QStringLiteral("None")};
    QString message = failureOf([&] { practice::AppendRepeatRows(missing, {row}); });
    QVERIFY2(message.contains(missing), qPrintable(message));
    QVERIFY(!QFile::exists(missing));

    // An existing file is never taken over: its content stays as it was.
    QFile other(missing);
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("keep me");
    other.close();
    message = failureOf([&] { practice::CreateSkrptTable(missing); });
    QVERIFY2(message.contains(missing), qPrintable(message));
    QCOMPARE(readback::fileBytes(missing), QByteArray("keep me"));
}

void TestPracticeWriter::refusesAnExistingPractice_data() {
    QTest::addColumn<QString>("existing");
    QTest::newRow("SKRPT.db") << QStringLiteral("SKRPT.db");
    QTest::newRow("skrpt.DB in other case") << QStringLiteral("skrpt.DB");
    QTest::newRow("cvddf.add") << QStringLiteral("cvddf.add");
    QTest::newRow("CVDDF.ADD in other case") << QStringLiteral("CVDDF.ADD");
    QTest::newRow("another table's file") << QStringLiteral("PATIENT.db");
}

void TestPracticeWriter::refusesAnExistingPractice() {
    QFETCH(QString, existing);
    QTemporaryDir temp;
    QFile file(temp.filePath(existing));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("a practice's own data");
    file.close();

    practice::Options options = optionsFor(temp.path(), 10, 1);
    options.dictionary = true;
    const QString message = failureOf([&] { practice::WritePractice(options); });
    QVERIFY2(message.contains(QDir::toNativeSeparators(temp.path())), qPrintable(message));
    QVERIFY2(message.contains(existing), qPrintable(message));
    QCOMPARE(filesIn(temp.path()), QStringList{existing});
    QCOMPARE(readback::fileBytes(temp.filePath(existing)), QByteArray("a practice's own data"));
}

void TestPracticeWriter::rejectsBadOptions_data() {
    QTest::addColumn<qint64>("rows");
    QTest::addColumn<qint64>("bad");
    QTest::addColumn<bool>("emptyUser");
    QTest::newRow("more bad than rows") << qint64{10} << qint64{11} << false;
    QTest::newRow("negative rows") << qint64{-1} << qint64{0} << false;
    QTest::newRow("negative bad") << qint64{10} << qint64{-1} << false;
    QTest::newRow("dictionary without user") << qint64{10} << qint64{1} << true;
}

void TestPracticeWriter::rejectsBadOptions() {
    QFETCH(qint64, rows);
    QFETCH(qint64, bad);
    QFETCH(bool, emptyUser);
    QTemporaryDir temp;
    const QString directory = temp.filePath(QStringLiteral("new"));
    practice::Options options = optionsFor(directory, rows, bad);
    if (emptyUser) {
        options.dictionary = true;
        options.user.clear();
    }
    const QString message = failureOf([&] { practice::WritePractice(options); });
    QVERIFY(!message.isEmpty());
    QVERIFY(!QFileInfo::exists(directory));
}

void TestPracticeWriter::createsMissingDirectories() {
    QTemporaryDir temp;
    const QString nested = temp.filePath(QStringLiteral("one/two/three"));
    practice::WritePractice(optionsFor(nested, 5, 1));
    QCOMPARE(readback::scalar(QDir(nested).filePath(QStringLiteral("SKRPT.db")),
                              "SELECT count(*) FROM SKRPT"),
             qint64{5});

    // A file where the directory should be is refused by name.
    const QString plainFile = temp.filePath(QStringLiteral("notadir"));
    QFile file(plainFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString message =
        failureOf([&] { practice::WritePractice(optionsFor(plainFile, 5, 1)); });
    QVERIFY2(message.contains(QDir::toNativeSeparators(plainFile)), qPrintable(message));
}

QTEST_GUILESS_MAIN(TestPracticeWriter)
#include "tst_practicewriter.moc"
