#include "RideRecords.h"
#include "LocaleService.h"
#include "NumberText.h"
#include "RideColumn.h"
#include "RideLogTable.h"
#include "RideStatistics.h"
#include "StringTable.h"
#include "TimeText.h"

#include <QHash>

#include <algorithm>
#include <cmath>

namespace RideRecords {

namespace {

// A ride as a record knows it.
struct Ride
{
    double km = 0;
    int row = -1;
    qint64 day = 0; // Julian day
};

// How two values compare as shown, rounded to two decimals: -1, 0 or 1.
// Rounding keeps the order, so only values closer than a hundredth can
// come out equal; only they pay for the rounding.
int compareShown(double x, double y)
{
    if (x == y)
        return 0;
    if (std::abs(x - y) < 0.01) {
        x = RoundTo2(x);
        y = RoundTo2(y);
        if (x == y)
            return 0;
    }
    return x < y ? -1 : 1;
}

// True when a is longer than b as shown, or as long and earlier; any ride
// beats none.
bool longer(const Ride &a, const Ride &b)
{
    if (b.row < 0)
        return true;
    if (const int c = compareShown(a.km, b.km))
        return c > 0;
    return a.day != b.day ? a.day < b.day : a.row < b.row;
}

// The rides of one day.
struct DayTotal
{
    qint64 day = 0;
    double km = 0;
    int rides = 0;
    Ride longest;
};

// Consecutive days summed: a week, a month, a year or a run.
struct Group
{
    qint64 first = 0;
    qint64 last = 0;
    double km = 0;
    int rides = 0;
    Ride longest;
};

// Julian day 0 was a Monday.
qint64 mondayOf(qint64 day)
{
    return day - ((day % 7) + 7) % 7;
}

// Sweeps the days (in date order) into groups of days that belong
// together, handing each finished group on.
template <typename SameGroup, typename Finish>
void sweep(const std::vector<DayTotal> &days, SameGroup same, Finish finish)
{
    Group g;
    bool open = false;
    for (const DayTotal &d : days) {
        if (open && !same(g.last, d.day)) {
            finish(g);
            open = false;
        }
        if (!open) {
            g = Group{d.day, d.day, 0, 0, d.longest};
            open = true;
        }
        g.last = d.day;
        g.km += d.km;
        g.rides += d.rides;
        if (longer(d.longest, g.longest))
            g.longest = d.longest;
    }
    if (open)
        finish(g);
}

class Finder
{
public:
    Records records;

    // Keeps the candidate when it beats the record so far: a greater
    // value as shown, or the same value earlier.
    void consider(Kind kind, double value, qint64 from, qint64 to, const Ride &ride)
    {
        std::optional<Record> &best = records.of[size_t(kind)];
        if (best) {
            const int c = compareShown(value, best->value);
            if (c < 0 || (c == 0 && !earlier(from, ride, *best)))
                return;
        }
        best = Record{value, QDate::fromJulianDay(from), QDate::fromJulianDay(to), ride.row, QString()};
    }

    void addRide(const Ride &ride, std::optional<TimeText::Clock> clock)
    {
        consider(LongestRide, ride.km, ride.day, ride.day, ride);
        if (!clock)
            return;
        const int minutes = clock->hours * 60 + clock->minutes;
        consider(LongestTime, minutes, ride.day, ride.day, ride);
        if (ride.km >= kFastestMinKm && minutes > 0)
            consider(FastestAverage, ride.km * 60.0 / minutes, ride.day, ride.day, ride);
    }

    void addDays(const std::vector<DayTotal> &days);

private:
    bool earlier(qint64 from, const Ride &ride, const Record &held) const
    {
        const qint64 heldFrom = held.from.toJulianDay();
        if (from != heldFrom)
            return from < heldFrom;
        return ride.row < held.row;
    }
};

void Finder::addDays(const std::vector<DayTotal> &days)
{
    for (const DayTotal &d : days)
        consider(MostKmDay, d.km, d.day, d.day, d.longest);

    sweep(days, [](qint64 a, qint64 b) { return mondayOf(a) == mondayOf(b); },
          [this](const Group &g) {
              const qint64 monday = mondayOf(g.first);
              consider(MostKmWeek, g.km, monday, monday + 6, g.longest);
          });
    sweep(
        days,
        [](qint64 a, qint64 b) {
            const QDate x = QDate::fromJulianDay(a), y = QDate::fromJulianDay(b);
            return x.year() == y.year() && x.month() == y.month();
        },
        [this](const Group &g) {
            const QDate first = QDate::fromJulianDay(g.first);
            const QDate start(first.year(), first.month(), 1);
            const qint64 from = start.toJulianDay(), to = from + start.daysInMonth() - 1;
            consider(MostKmMonth, g.km, from, to, g.longest);
            consider(MostRidesMonth, g.rides, from, to, g.longest);
        });
    sweep(
        days, [](qint64 a, qint64 b) { return QDate::fromJulianDay(a).year() == QDate::fromJulianDay(b).year(); },
        [this](const Group &g) {
            const int year = QDate::fromJulianDay(g.first).year();
            consider(MostKmYear, g.km, QDate(year, 1, 1).toJulianDay(), QDate(year, 12, 31).toJulianDay(),
                     g.longest);
        });
    sweep(days, [](qint64 a, qint64 b) { return b == a + 1; },
          [this](const Group &g) { consider(LongestDayRun, double(g.last - g.first + 1), g.first, g.last, g.longest); });
    sweep(days, [](qint64 a, qint64 b) { return mondayOf(b) - mondayOf(a) <= 7; },
          [this](const Group &g) {
              const qint64 first = mondayOf(g.first), last = mondayOf(g.last);
              consider(LongestWeekRun, double((last - first) / 7 + 1), first, last + 6, g.longest);
          });
}

bool isValidKm(std::optional<double> km)
{
    return km && std::isfinite(*km) && *km >= 0;
}

QString numberText(double value)
{
    return LocaleService::instance().locale().toString(RoundTo2(value), 'f', QLocale::FloatingPointShortest);
}

// "1 jízda", "2 jízdy", "5 jízd".
QString counted(qint64 n, const QString &one, const QString &few, const QString &many)
{
    const QString &word = n == 1 ? one : (n >= 2 && n <= 4 ? few : many);
    return QStringLiteral("%1 %2").arg(n).arg(word);
}

// Two days as one span, what they share written once: "2.–8.6.2025",
// "30.6.–6.7.2025", "29.12.2025–4.1.2026". Only for dates written day
// first; other formats get both dates whole.
QString spanText(const QDate &from, const QDate &to)
{
    const LocaleService &locale = LocaleService::instance();
    const QString a = locale.formatDate(from), b = locale.formatDate(to);
    if (from == to)
        return a;
    qsizetype shared = 0;
    if (locale.shortDateFormat().startsWith(u'd')) {
        for (qsizetype k = 1; k < std::min(a.size(), b.size()) && a.at(a.size() - k) == b.at(b.size() - k); ++k)
            if (!a.at(a.size() - k).isDigit())
                shared = k;
    }
    // The first date keeps the separator the shared part starts with.
    return a.left(a.size() - shared + (shared > 0 ? 1 : 0)) + QStringLiteral("–") + b;
}

} // namespace

Records compute(const StringTable &log, const std::optional<QString> &bike, const std::vector<int> *rows)
{
    Finder finder;
    std::vector<DayTotal> days;
    QHash<qint64, int> dayIndex;

    // Rides of one day usually stand together: the last date text read.
    QStringView lastDateText;
    int lastDay = -1; // index in days; -1: the text is no day
    const RideStatistics::RideRows selected(log, rows);
    for (int i = 0; i < selected.size(); ++i) {
        const int r = selected.at(i);
        if (r < 0 || (bike && !RideStatistics::isOnBike(log, r, *bike)))
            continue;
        const QStringView dateText = log.cellView(RideColumn::Date, r);
        if (i == 0 || dateText != lastDateText) {
            lastDateText = dateText;
            lastDay = -1;
            if (const auto day = RideStatistics::rideDay(dateText)) {
                const auto it = dayIndex.constFind(day->toJulianDay());
                if (it != dayIndex.cend()) {
                    lastDay = *it;
                } else {
                    lastDay = int(days.size());
                    dayIndex.insert(day->toJulianDay(), lastDay);
                    days.push_back(DayTotal{day->toJulianDay(), 0, 0, Ride{}});
                }
            }
        }
        const auto km = NumberText::parse(log.cellView(RideColumn::Km, r));
        if (lastDay < 0 || !isValidKm(km)) {
            if (lastDay >= 0 || !isEmptyRide(log, r))
                ++finder.records.skipped;
            continue;
        }
        DayTotal &d = days[size_t(lastDay)];
        const Ride ride{*km, r, d.day};
        d.km += *km;
        ++d.rides;
        if (longer(ride, d.longest))
            d.longest = ride;
        finder.addRide(ride, TimeText::parse(log.cellView(RideColumn::Time, r)));
    }

    std::sort(days.begin(), days.end(), [](const DayTotal &a, const DayTotal &b) { return a.day < b.day; });
    finder.addDays(days);
    for (std::optional<Record> &record : finder.records.of)
        if (record)
            record->route = log.cellView(RideColumn::Name, record->row).toString();
    return finder.records;
}

QString title(Kind kind)
{
    switch (kind) {
    case LongestRide: return QStringLiteral("Nejdelší jízda");
    case LongestTime: return QStringLiteral("Nejdelší čas jízdy");
    case FastestAverage: return QStringLiteral("Nejrychlejší průměr (jízdy od %1 km)").arg(numberText(kFastestMinKm));
    case MostKmDay: return QStringLiteral("Nejvíc km za den");
    case MostKmWeek: return QStringLiteral("Nejvíc km za týden");
    case MostKmMonth: return QStringLiteral("Nejvíc km za měsíc");
    case MostKmYear: return QStringLiteral("Nejvíc km za rok");
    case MostRidesMonth: return QStringLiteral("Nejvíc jízd za měsíc");
    case LongestDayRun: return QStringLiteral("Nejdelší řada dní s jízdou");
    case LongestWeekRun: return QStringLiteral("Nejdelší řada týdnů s jízdou");
    case KindCount: break;
    }
    return QString();
}

QString valueText(Kind kind, const Record &record)
{
    switch (kind) {
    case LongestTime: {
        const int minutes = int(record.value);
        return QStringLiteral("%1:%2 h").arg(minutes / 60).arg(minutes % 60, 2, 10, QChar(u'0'));
    }
    case FastestAverage: return numberText(record.value) + QStringLiteral(" km/h");
    case MostRidesMonth:
        return counted(qint64(record.value), QStringLiteral("jízda"), QStringLiteral("jízdy"), QStringLiteral("jízd"));
    case LongestDayRun:
        return counted(qint64(record.value), QStringLiteral("den"), QStringLiteral("dny"), QStringLiteral("dní"));
    case LongestWeekRun:
        return counted(qint64(record.value), QStringLiteral("týden"), QStringLiteral("týdny"), QStringLiteral("týdnů"));
    default: return numberText(record.value) + QStringLiteral(" km");
    }
}

QString whenText(Kind kind, const Record &record)
{
    switch (kind) {
    case MostKmWeek:
    case LongestDayRun:
    case LongestWeekRun: return spanText(record.from, record.to);
    case MostKmMonth:
    case MostRidesMonth:
        return QStringLiteral("%1 %2")
            .arg(LocaleService::instance().locale().standaloneMonthName(record.from.month(), QLocale::LongFormat))
            .arg(record.from.year());
    case MostKmYear: return QString::number(record.from.year());
    default: return LocaleService::instance().formatDate(record.from);
    }
}

QString skippedText(int skipped)
{
    return skipped > 0 ? QStringLiteral("vynecháno %1 jízd (neplatné datum nebo km)").arg(skipped) : QString();
}

} // namespace RideRecords
