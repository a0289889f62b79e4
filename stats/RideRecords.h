#pragma once
#include <QDate>
#include <QString>

#include <array>
#include <optional>
#include <vector>

class StringTable;

// The rider's records over a ride log: the longest, longest-lasting and
// fastest ride, the most km in a day, a week, a month and a year, the most
// rides in a month, and the longest runs of days and of weeks in a row
// with a ride. The cells are read as the statistics read them (dates with
// the locale's parsing, km as number texts, times as time texts), from the
// same rows: every data row or the rows given, one bike's or all.
//
// A ride whose date does not read as a day, or whose km is not a number
// (or is negative or beyond the doubles), is left out of every record and
// counted in `skipped`; an empty new ride is no ride. A ride with no valid
// time still counts for the km records.
//
// Values compare as they are shown, rounded to two decimals. Of equal
// values the earliest wins: the earlier ride (by day, then by grid row),
// the earlier period or run.
//
// Worked out in one pass over the rows, summing the km of each day, then
// one sweep over the days sorted: the weeks, months, years and runs are
// made of the days.
namespace RideRecords {

enum Kind : int {
    LongestRide,    // value: km of one ride
    LongestTime,    // value: minutes of one ride
    FastestAverage, // value: km/h of one ride of at least kFastestMinKm
    MostKmDay,      // value: km
    MostKmWeek,     // value: km, Monday to Sunday
    MostKmMonth,    // value: km
    MostKmYear,     // value: km
    MostRidesMonth, // value: rides
    LongestDayRun,  // value: days in a row, each with a ride
    LongestWeekRun, // value: weeks (Monday to Sunday) in a row, each with a ride
    KindCount
};

// The shortest ride whose average can be a record.
constexpr double kFastestMinKm = 20;

struct Record
{
    double value = 0;
    // The ride's day; a week's Monday and Sunday; a month's or a year's
    // first and last day; a run's first and last day (a run of weeks:
    // its first Monday and last Sunday).
    QDate from;
    QDate to;
    // The grid row of the record's ride. A period or a run has no single
    // ride: its longest ride stands for it (of equally long ones the
    // earliest), and so does the route name below.
    int row = -1;
    QString route;
};

struct Records
{
    std::array<std::optional<Record>, KindCount> of;
    // Rides left out: a date that is no day, or km that are no number.
    int skipped = 0;
};

// The records of the rides of a log (all data rows, or the rows given;
// with a bike only that bike's rides, as RideStatistics::compute).
Records compute(const StringTable &log, const std::optional<QString> &bike = std::nullopt,
                const std::vector<int> *rows = nullptr);

// The texts the window shows, in the locale's number texts and dates.
QString title(Kind kind);
QString valueText(Kind kind, const Record &record);
// The day, the span "2.–8.6.2025", the month "červen 2025" or the year.
QString whenText(Kind kind, const Record &record);
// "vynecháno N jízd (neplatné datum nebo km)"; empty when nothing was left out.
QString skippedText(int skipped);

} // namespace RideRecords
