#pragma once
#include <QString>
#include <optional>
#include <vector>

class StringTable;

// Arithmetic of a ride's distance, time and average, on texts.
namespace RideArithmetic {

// km = RoundTo2(hours × average); nullopt when the average is not a
// number. An empty or invalid time counts as 0 hours.
std::optional<QString> distance(QStringView average, QStringView timeText);

// Time from km and average, as the time editor shows it: both parts
// zero-padded to two places ("01:05"). nullopt when km or the average is
// not a number, the average is 0 or the quotient is out of range. The
// result may still be an invalid time (24 hours or more, 60 minutes);
// `hours` tells the whole hours before they were cut to two places.
struct TimeResult
{
    QString text;
    qint64 hours = 0;
};
std::optional<TimeResult> time(QStringView km, QStringView average);

// average = RoundTo2(km / hours); nullopt when km is not a number or the
// time is empty, invalid or zero.
std::optional<QString> average(QStringView km, QStringView timeText);

// The three totals over the data rows 1..tableRowCount-1 of a ride log.
struct Totals
{
    QString time;    // "HHHH:MM", at least four hour places
    QString average; // mean of the rides' own averages; empty when none has one
    QString km;      // sum of the distances; empty when no ride has a distance or an average
};
Totals totals(const StringTable &log);
// The same over some data rows only (the rides a filter shows).
Totals totals(const StringTable &log, const std::vector<int> &rows);

// Whole hours and minutes of a number of hours: the fraction's minutes
// rounded half to even (may give 60).
void splitHours(double hours, qint64 &wholeHours, qint64 &minutes);

} // namespace RideArithmetic
