#pragma once

#include "PracticeWriter.h"
#include "SplitMix64.h"

#include <QString>

#include <optional>
#include <vector>

// The generated content of a practice: providers, patients and repeat definitions that look like
// a real practice's, including the untidy parts (blank padding, empty fields, look-alike units).
// Everything derives from the seed alone.
namespace practice {

struct Provider {
    QString code;
    QString lastName;
    QString firstName;
    QString credentials;
};

struct Patient {
    QString chartNumber;
    QString lastName;
    QString firstName;
    QString middleInitial;
    QString dateOfBirth; // ISO
    QString phone;
    QString provider; // a Provider code
    QString listName; // "Last, First M", as appointments show it
};

// The SKRPT columns the repair tool ignores.
struct RepeatDetails {
    qint64 frequency = 1;
    qint64 dayOfWeek = 0; // bit 0 = Sunday
    QString resource;
    std::optional<QString> endDate;
    qint64 occurrences = 0; // 0: no limit
    qint64 dayOfMonth = 0;
    QString startTime;
    qint64 length = 0; // minutes
    QString reasonCode;
    QString note;
    std::optional<QString> dateModified;
};

const std::vector<Provider> &Providers();

std::vector<Patient> MakePatients(qint64 count, quint64 seed);

// Plausible values for the other columns of `row`.
RepeatDetails MakeRepeatDetails(const RepeatRow &row, SplitMix64 &rng);

// The SKRPT rows of a generated practice, one at a time: exactly `bad` of `rows` are bad, at
// positions spread over the whole table.
class RepeatRowSource {
public:
    RepeatRowSource(qint64 rows, qint64 bad, quint64 seed, const std::vector<Patient> &patients);

    // Fills `row` and `details` with the next row; false when all rows are out.
    bool next(RepeatRow &row, RepeatDetails &details);

private:
    QString badUnit();
    QString goodUnit();

    const std::vector<Patient> &patients_;
    qint64 rowsLeft_;
    qint64 badLeft_;
    qint64 badWritten_ = 0;
    qint64 goodWritten_ = 0;
    SplitMix64 placement_; // a stream of its own, so the bad positions depend on the seed only
    SplitMix64 content_;
};

} // namespace practice
