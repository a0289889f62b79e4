#pragma once
#include <QDate>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

class StringTable;

// Sums of a ride log per year and month. The cells are read as the totals
// and the sorter read them: distances as number texts (a text that is not
// a number counts 0), times as time texts (an invalid one counts 0), dates
// with the locale's date parsing.
namespace RideStatistics {

struct Sums
{
    int rides = 0;
    double km = 0;
    qint64 minutes = 0;
    // Distance and time of the rides that have both a number and a valid
    // time: what the average speed is worked out from.
    double timedKm = 0;
    qint64 timedMinutes = 0;
    // The longest distance among the rides whose distance is a number.
    std::optional<double> longest;
    // The route name ridden most often; of equally frequent names the one
    // whose latest ride is newer. Empty when no ride has a name.
    QString route;

    // km/h; nullopt when no ride has both a distance and a time.
    std::optional<double> averageSpeed() const;
};

struct Month
{
    int month = 0; // 1..12
    Sums sums;
};

struct Year
{
    int year = 0;
    Sums sums;
    std::vector<Month> months; // the months with rides, January first
};

struct Statistics
{
    std::vector<Year> years; // newest first
    Sums undated;            // rides whose date does not read as a date
    Sums total;

    const Year *findYear(int year) const;
    // Distance per month of a year, January first; zeros for a year
    // without rides.
    std::array<double, 12> kmPerMonth(int year) const;
};

// The rows a computation reads: the given grid rows (the rides the main
// window's filter shows; rows outside the log's data rows are left out),
// or without them every data row 1..tableRowCount-1.
class RideRows
{
public:
    RideRows(const StringTable &log, const std::vector<int> *rows);
    int size() const { return m_rows ? int(m_rows->size()) : m_rowCount - 1; }
    // The grid row of the i-th ride; -1 for a given row that is no data row.
    int at(int i) const
    {
        if (!m_rows)
            return i + 1;
        const int r = (*m_rows)[size_t(i)];
        return r >= 1 && r < m_rowCount ? r : -1;
    }

private:
    const std::vector<int> *m_rows;
    int m_rowCount;
};

// The data rows of a ride log (all, or the given ones). A row with nothing
// in it (an empty new ride) is not a ride. With a bike, only the rides on
// that bike (its name in any letter case; an empty name: the rides without
// a bike).
Statistics compute(const StringTable &log, const std::optional<QString> &bike = std::nullopt,
                   const std::vector<int> *rows = nullptr);

// The day of a date cell as the sorter reads it (a date, optionally with a
// time); a time alone has no day.
std::optional<QDate> rideDay(QStringView text);

// True when the ride of the row is on the bike (any letter case; an empty
// name: on no bike).
bool isOnBike(const StringTable &log, int row, const QString &bike);

// The even pace towards a yearly goal: the km due by the end of each month,
// from 0 on 1 January to the whole goal on 31 December, by days.
std::array<double, 12> goalByMonthEnd(int year, double goal);
// The km ridden by the end of each month of a year, January first.
std::array<double, 12> cumulativeKm(const Statistics &statistics, int year);

// The bikes the rides name, each once (its first spelling), by name.
QStringList bikeNames(const StringTable &log);

// The texts of the columns after the first, as the window shows them:
// rides, km, time ("HHHH:MM" as the totals), average km/h, longest ride,
// most ridden route.
QStringList columnTexts(const Sums &sums);

} // namespace RideStatistics
