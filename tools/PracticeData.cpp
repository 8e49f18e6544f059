#include "PracticeData.h"

#include <QDate>

#include <array>

namespace practice {
namespace {

// O'Brien and D'Angelo keep code honest that would splice a text into SQL.
const std::array<const char *, 32> kLastNames = {
    "Smith",    "Johnson", "Williams", "Brown",    "Jones",    "Garcia", "Miller", "Davis",
    "Martinez", "Lopez",   "Wilson",   "Anderson", "Thomas",   "Taylor", "Moore",  "Jackson",
    "Martin",   "Lee",     "O'Brien",  "D'Angelo", "Thompson", "White",  "Harris", "Clark",
    "Lewis",    "Walker",  "Hall",     "Young",    "King",     "Wright", "Nguyen", "Hill"};

const std::array<const char *, 32> kFirstNames = {
    "James",   "Mary",   "Robert", "Patricia", "John",   "Jennifer", "Michael", "Linda",
    "David",   "Susan",  "Joseph", "Jessica",  "Thomas", "Sarah",    "Daniel",  "Karen",
    "Matthew", "Nancy",  "Mark",   "Lisa",     "Paul",   "Betty",    "Steven",  "Sandra",
    "Andrew",  "Ashley", "Kevin",  "Emily",    "Brian",  "Donna",    "George",  "Michelle"};

const std::array<const char *, 5> kResources = {"ROOM1", "ROOM2", "ROOM3", "XRAY", "LAB"};
const std::array<const char *, 6> kReasonCodes = {"FU", "CHK", "PT", "LAB", "INJ", "CONS"};
const std::array<const char *, 5> kNotes = {"Call to confirm", "Prefers mornings", "Bring X-rays",
                                            "Wheelchair access", "Interpreter: Spanish"};

template <typename Array> QString pick(const Array &values, SplitMix64 &rng) {
    return QString::fromLatin1(values[static_cast<size_t>(rng.below(values.size()))]);
}

QString blanks(qint64 count) {
    return QString(static_cast<qsizetype>(count), QLatin1Char(' '));
}

// Character columns in the host application are fixed-width and often carry leading or
// trailing blanks, or nothing at all.
QString untidy(const QString &text, SplitMix64 &rng) {
    const quint64 roll = rng.below(100);
    if (roll < 3) {
        return QString();
    }
    if (roll < 5) {
        return blanks(rng.between(1, 2)) + text;
    }
    if (roll < 15) {
        return text + blanks(rng.between(1, 8));
    }
    return text;
}

// QDate::toString goes through a general formatter, too slow for a million rows.
QString isoDate(const QDate &date) {
    int year = 0;
    int month = 0;
    int day = 0;
    date.getDate(&year, &month, &day);
    const char text[] = {static_cast<char>('0' + year / 1000 % 10),
                         static_cast<char>('0' + year / 100 % 10),
                         static_cast<char>('0' + year / 10 % 10),
                         static_cast<char>('0' + year % 10),
                         '-',
                         static_cast<char>('0' + month / 10),
                         static_cast<char>('0' + month % 10),
                         '-',
                         static_cast<char>('0' + day / 10),
                         static_cast<char>('0' + day % 10)};
    return QString::fromLatin1(text, sizeof text);
}

QDate randomDate(SplitMix64 &rng, int fromYear, int years) {
    return QDate(fromYear, 1, 1).addDays(rng.between(0, qint64{365} * years - 1));
}

// Appointments start on the quarter hour between 08:00 and 17:45.
const QString &randomStartTime(SplitMix64 &rng) {
    static const QStringList times = [] {
        QStringList list;
        for (int quarter = 32; quarter < 72; ++quarter) {
            list << QStringLiteral("%1:%2")
                        .arg(quarter / 4, 2, 10, QLatin1Char('0'))
                        .arg(quarter % 4 * 15, 2, 10, QLatin1Char('0'));
        }
        return list;
    }();
    return times[static_cast<qsizetype>(rng.below(static_cast<quint64>(times.size())))];
}

RepeatDetails makeDetails(const QString &unit, const QDate &start, SplitMix64 &rng) {
    RepeatDetails details;
    details.frequency = rng.percent(80) ? 1 : rng.between(2, 4);
    if (unit.startsWith(QLatin1String("Week"))) {
        details.dayOfWeek = rng.between(1, 127);
    }
    if (unit.startsWith(QLatin1String("Month"))) {
        details.dayOfMonth = rng.between(1, 28);
    }
    details.resource = rng.percent(30) ? QString() : pick(kResources, rng);
    details.occurrences = rng.percent(50) ? 0 : rng.between(2, 52);
    const quint64 endRoll = rng.below(100);
    if (start.isValid() && endRoll < 40) {
        details.endDate = isoDate(start.addDays(rng.between(7, 730)));
    } else if (endRoll < 70) {
        details.endDate = QString();
    } // else NULL
    details.startTime = randomStartTime(rng);
    details.length = 15 * rng.between(1, 4);
    details.reasonCode = rng.percent(20) ? QString() : pick(kReasonCodes, rng);
    details.note = rng.percent(85) ? QString() : untidy(pick(kNotes, rng), rng);
    if (start.isValid() && rng.percent(90)) {
        details.dateModified = isoDate(start.addDays(-rng.between(0, 60)));
    }
    return details;
}

} // namespace

const std::vector<Provider> &Providers() {
    static const std::vector<Provider> providers = {
        {QStringLiteral("JWM"), QStringLiteral("Miller"), QStringLiteral("James"),
         QStringLiteral("MD")},
        {QStringLiteral("AKS"), QStringLiteral("Singh"), QStringLiteral("Anika"),
         QStringLiteral("MD")},
        {QStringLiteral("RLO"), QStringLiteral("O'Connor"), QStringLiteral("Ruth"),
         QStringLiteral("DO")},
        {QStringLiteral("TPB"), QStringLiteral("Becker"), QStringLiteral("Tom"),
         QStringLiteral("PA-C")},
        {QStringLiteral("MCH"), QStringLiteral("Chen"), QStringLiteral("Mei"),
         QStringLiteral("NP")},
        {QStringLiteral("1"), QStringLiteral("Practice"), QStringLiteral("Main"), QString()},
    };
    return providers;
}

std::vector<Patient> MakePatients(qint64 count, quint64 seed) {
    SplitMix64 rng(seed ^ 0x50415449454e54ULL);
    const auto &providers = Providers();
    std::vector<Patient> patients;
    patients.reserve(static_cast<size_t>(count));
    for (qint64 i = 0; i < count; ++i) {
        Patient patient;
        patient.lastName = pick(kLastNames, rng);
        patient.firstName = pick(kFirstNames, rng);
        patient.middleInitial = rng.percent(60)
                                    ? QString(QLatin1Char(static_cast<char>('A' + rng.below(26))))
                                    : QString();
        // Chart numbers are 8 characters: three letters of the last name and a serial.
        QString letters;
        for (const QChar c : patient.lastName) {
            if (c.isLetter() && letters.size() < 3) {
                letters += c.toUpper();
            }
        }
        patient.chartNumber = letters + QStringLiteral("%1").arg(i, 5, 10, QLatin1Char('0'));
        patient.listName = patient.lastName + QStringLiteral(", ") + patient.firstName;
        if (!patient.middleInitial.isEmpty()) {
            patient.listName += QLatin1Char(' ') + patient.middleInitial;
        }
        patient.dateOfBirth = isoDate(randomDate(rng, 1930, 90));
        patient.phone = QStringLiteral("(555) %1-%2")
                            .arg(rng.between(200, 999))
                            .arg(rng.between(0, 9999), 4, 10, QLatin1Char('0'));
        patient.provider = providers[static_cast<size_t>(rng.below(providers.size()))].code;
        patients.push_back(patient);
    }
    return patients;
}

RepeatDetails MakeRepeatDetails(const RepeatRow &row, SplitMix64 &rng) {
    const QDate start = row.startDate ? QDate::fromString(*row.startDate, Qt::ISODate) : QDate();
    return makeDetails(row.unit, start, rng);
}

RepeatRowSource::RepeatRowSource(qint64 rows, qint64 bad, quint64 seed,
                                 const std::vector<Patient> &patients)
    : patients_(patients), rowsLeft_(rows), badLeft_(bad), placement_(seed ^ 0x504c414345ULL),
      content_(seed) {}

bool RepeatRowSource::next(RepeatRow &row, RepeatDetails &details) {
    if (rowsLeft_ <= 0) {
        return false;
    }
    // Selection sampling: every position is equally likely to be bad, and the count is exact.
    const bool bad =
        static_cast<qint64>(placement_.below(static_cast<quint64>(rowsLeft_))) < badLeft_;
    --rowsLeft_;

    const Patient &patient =
        patients_[static_cast<size_t>(content_.below(static_cast<quint64>(patients_.size())))];
    row.chartNumber = untidy(patient.chartNumber, content_);
    row.name = untidy(patient.listName, content_);
    row.provider =
        untidy(content_.percent(85)
                   ? patient.provider
                   : Providers()[static_cast<size_t>(content_.below(Providers().size()))].code,
               content_);
    QDate start;
    const quint64 dateRoll = content_.below(100);
    if (dateRoll < 2) {
        row.startDate.reset();
    } else if (dateRoll < 4) {
        row.startDate = QString();
    } else {
        start = randomDate(content_, 2016, 10);
        row.startDate = isoDate(start);
    }
    if (bad) {
        --badLeft_;
        row.unit = badUnit();
    } else {
        row.unit = goodUnit();
    }
    details = makeDetails(row.unit, start, content_);
    return true;
}

// The kinds take turns, so every practice with four or more bad rows has all of them.
QString RepeatRowSource::badUnit() {
    const qint64 kind = badWritten_++ % 4;
    switch (kind) {
    case 0:
        return QStringLiteral("None");
    case 1:
        return QString();
    case 2:
        return QStringLiteral("None") + blanks(content_.between(1, 6));
    default:
        return blanks(content_.between(1, 10));
    }
}

// Look-alikes that are not bad: 'none' in lower case and 'None2'.
QString RepeatRowSource::goodUnit() {
    const qint64 ordinal = goodWritten_++ % 40;
    if (ordinal == 11) {
        return QStringLiteral("none");
    }
    if (ordinal == 29) {
        return QStringLiteral("None2");
    }
    const quint64 roll = content_.below(100);
    QString unit = roll < 15   ? QStringLiteral("Day")
                   : roll < 60 ? QStringLiteral("Week")
                   : roll < 90 ? QStringLiteral("Month")
                               : QStringLiteral("Year");
    if (content_.percent(10)) {
        unit += blanks(10 - unit.size());
    }
    return unit;
}

} // namespace practice
