#pragma once

#include <QString>

// The platform's date-time value: days since 30 December 1899, the fraction being the time.
using TDateTime = double;

// The date part of a date-time value in the system's short date format: the user's short date on
// Windows, the C library's %x for the current LC_TIME locale elsewhere.
QString FormatShortDate(TDateTime value);

// The date-time value of a calendar date (proleptic Gregorian). Year 1..9999, month 1..12, day
// valid for that month; the caller checks.
TDateTime EncodeDate(int year, int month, int day);

// The calendar date of a date-time value's date part.
void DecodeDate(TDateTime value, int &year, int &month, int &day);
