#include "RideStatistics.h"
#include "RideColumn.h"
#include "RideLogTable.h"
#include <QSet>
#include "LocaleService.h"
#include "NumberText.h"
#include "StringTable.h"
#include "TimeText.h"

#include <QDate>
#include <QHash>

#include <algorithm>
#include <cmath>

namespace RideStatistics {

namespace {
// How recent a ride is, for breaking ties between routes: the day, then
// the row. Rides without a date come before every dated one.
using Recency = qint64;
constexpr int kRowBits = 21; // rows < 2^21 (the table holds at most 2,000,000)

struct Tally
{
    int count = 0;
    Recency newest = -1;

    void add(const Tally &other)
    {
        count += other.count;
        newest = std::max(newest, other.newest);
    }
    bool beats(const Tally &other) const
    {
        return count > other.count || (count == other.count && newest > other.newest);
    }
};

// The leading route of a group so far.
struct Best
{
    int route = -1;
    Tally tally;

    void consider(int candidate, const Tally &t)
    {
        if (route < 0 || t.beats(tally)) {
            route = candidate;
            tally = t;
        }
    }
};

// A group of rides being summed: a month, "no date" or the whole log.
struct Accumulator
{
    Sums sums;
    int year = 0;
    int month = 0;

    void add(double km, bool kmIsNumber, std::optional<int> minutes)
    {
        ++sums.rides;
        sums.km += km;
        if (minutes)
            sums.minutes += *minutes;
        if (kmIsNumber) {
            sums.longest = sums.longest ? std::max(*sums.longest, km) : km;
            if (minutes) {
                sums.timedKm += km;
                sums.timedMinutes += *minutes;
            }
        }
    }
};

void addSums(Sums &to, const Sums &from)
{
    to.rides += from.rides;
    to.km += from.km;
    to.minutes += from.minutes;
    to.timedKm += from.timedKm;
    to.timedMinutes += from.timedMinutes;
    if (from.longest)
        to.longest = to.longest ? std::max(*to.longest, *from.longest) : *from.longest;
}

quint64 tallyKey(int group, int route)
{
    return (quint64(quint32(group)) << 32) | quint32(route);
}

// The rides of a log summed per group, with how often each group rode
// each route.
struct GroupedRides
{
    // Group 0 is "no date"; the months follow in the order met.
    std::vector<Accumulator> groups = std::vector<Accumulator>(1);
    QHash<int, int> groupOfMonth;
    Accumulator total;

    // Route names by number, and how often each group rode each of them.
    QHash<QStringView, int> routeIds;
    QHash<quint64, Tally> monthTallies;

    // The group of the day's month, added when it is the first ride of it.
    int groupOf(const QDate &day);
    // Counts the ride of a row in its group and in the total.
    void add(const StringTable &log, int row, int group, Recency recency);
};

int GroupedRides::groupOf(const QDate &day)
{
    int year = 0, month = 0;
    day.getDate(&year, &month, nullptr);
    const int key = year * 12 + month - 1;
    auto it = groupOfMonth.constFind(key);
    if (it == groupOfMonth.cend()) {
        it = groupOfMonth.insert(key, int(groups.size()));
        Accumulator a;
        a.year = year;
        a.month = month;
        groups.push_back(a);
    }
    return *it;
}

void GroupedRides::add(const StringTable &log, int row, int group, Recency recency)
{
    const auto km = NumberText::parse(log.cellView(RideColumn::Km, row));
    std::optional<int> minutes;
    if (const auto clock = TimeText::parse(log.cellView(RideColumn::Time, row)))
        minutes = clock->hours * 60 + clock->minutes;
    groups[size_t(group)].add(km.value_or(0.0), km.has_value(), minutes);
    total.add(km.value_or(0.0), km.has_value(), minutes);

    const QStringView name = log.cellView(RideColumn::Name, row);
    if (name.trimmed().isEmpty())
        return;
    auto id = routeIds.constFind(name);
    if (id == routeIds.cend())
        id = routeIds.insert(name, int(routeIds.size()));
    const int route = *id;
    Tally &t = monthTallies[tallyKey(group, route)];
    ++t.count;
    t.newest = std::max(t.newest, recency);
}

GroupedRides groupRides(const StringTable &log, const std::optional<QString> &bike, const RideRows &rows)
{
    GroupedRides rides;

    // Rides of one day usually stand together: the last date text read.
    QStringView lastDateText;
    bool lastDated = false;
    int lastGroup = 0;
    qint64 lastDay = 0;

    for (int i = 0; i < rows.size(); ++i) {
        const int r = rows.at(i);
        if (r < 0 || (bike && !isOnBike(log, r, *bike)))
            continue;
        const QStringView dateText = log.cellView(RideColumn::Date, r);
        if (i == 0 || dateText != lastDateText) {
            lastDateText = dateText;
            const auto day = rideDay(dateText);
            lastDated = day.has_value();
            if (lastDated) {
                lastGroup = rides.groupOf(*day);
                lastDay = day->toJulianDay() + 1;
            }
        }
        int group = 0;
        Recency recency = r;
        if (lastDated) {
            group = lastGroup;
            recency = (lastDay << kRowBits) | r;
        } else if (isEmptyRide(log, r)) {
            continue;
        }
        rides.add(log, r, group, recency);
    }
    return rides;
}

// The most ridden route of every month, of every year and of the whole log.
struct RouteLeaders
{
    std::vector<QStringView> routeNames;
    std::vector<Best> ofGroup;
    QHash<int, Best> ofYear;
    Best overall;

    QString nameOf(const Best &best) const
    {
        return best.route < 0 ? QString() : routeNames[size_t(best.route)].toString();
    }
};

RouteLeaders routeLeaders(const GroupedRides &rides)
{
    RouteLeaders leaders;
    leaders.routeNames.resize(size_t(rides.routeIds.size()));
    for (auto it = rides.routeIds.cbegin(); it != rides.routeIds.cend(); ++it)
        leaders.routeNames[size_t(it.value())] = it.key();
    leaders.ofGroup.resize(rides.groups.size());
    QHash<quint64, Tally> yearTallies;
    std::vector<Tally> totalTallies(leaders.routeNames.size());
    for (auto it = rides.monthTallies.cbegin(); it != rides.monthTallies.cend(); ++it) {
        const int group = int(it.key() >> 32);
        const int route = int(it.key() & 0xffffffffu);
        leaders.ofGroup[size_t(group)].consider(route, it.value());
        if (group > 0)
            yearTallies[tallyKey(rides.groups[size_t(group)].year, route)].add(it.value());
        totalTallies[size_t(route)].add(it.value());
    }
    for (size_t route = 0; route < totalTallies.size(); ++route)
        leaders.overall.consider(int(route), totalTallies[route]);
    for (auto it = yearTallies.cbegin(); it != yearTallies.cend(); ++it)
        leaders.ofYear[int(it.key() >> 32)].consider(int(it.key() & 0xffffffffu), it.value());
    return leaders;
}

// The years newest first, each with its months January first.
std::vector<Year> yearsOf(const GroupedRides &rides, const RouteLeaders &leaders)
{
    const std::vector<Accumulator> &groups = rides.groups;
    std::vector<size_t> order(groups.size() - 1);
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i + 1;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const Accumulator &x = groups[a], &y = groups[b];
        return x.year != y.year ? x.year > y.year : x.month < y.month;
    });
    std::vector<Year> years;
    for (size_t g : order) {
        const Accumulator &a = groups[g];
        if (years.empty() || years.back().year != a.year)
            years.push_back(Year{a.year, Sums{}, {}});
        Year &y = years.back();
        Month m{a.month, a.sums};
        m.sums.route = leaders.nameOf(leaders.ofGroup[g]);
        addSums(y.sums, a.sums);
        y.months.push_back(std::move(m));
    }
    for (Year &y : years) {
        const auto it = leaders.ofYear.constFind(y.year);
        if (it != leaders.ofYear.cend())
            y.sums.route = leaders.nameOf(*it);
    }
    return years;
}
} // namespace

RideRows::RideRows(const StringTable &log, const std::vector<int> *rows)
    : m_rows(rows), m_rowCount(log.tableRowCount())
{
}

std::optional<QDate> rideDay(QStringView text)
{
    const auto parts = LocaleService::instance().parseDateAndTime(text);
    return parts ? parts->date : std::nullopt;
}

bool isOnBike(const StringTable &log, int row, const QString &bike)
{
    const QStringView name = log.cellView(RideColumn::Bike, row);
    return name.size() == bike.size() && name.compare(bike, Qt::CaseInsensitive) == 0;
}

std::optional<double> Sums::averageSpeed() const
{
    if (timedMinutes <= 0)
        return std::nullopt;
    return timedKm / (double(timedMinutes) / 60.0);
}

const Year *Statistics::findYear(int year) const
{
    for (const Year &y : years)
        if (y.year == year)
            return &y;
    return nullptr;
}

std::array<double, 12> Statistics::kmPerMonth(int year) const
{
    std::array<double, 12> km{};
    if (const Year *y = findYear(year))
        for (const Month &m : y->months)
            km[size_t(m.month - 1)] = m.sums.km;
    return km;
}

QStringList bikeNames(const StringTable &log)
{
    QStringList names;
    QSet<QString> seen;
    if (log.tableColumnCount() <= RideColumn::Bike)
        return names;
    for (int r = 1; r < log.tableRowCount(); ++r) {
        const QStringView name = log.cellView(RideColumn::Bike, r);
        if (name.isEmpty())
            continue;
        const QString folded = name.toString().toCaseFolded();
        if (!seen.contains(folded)) {
            seen.insert(folded);
            names.append(name.toString());
        }
    }
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return LocaleService::instance().compareText(a, b) < 0; });
    return names;
}

Statistics compute(const StringTable &log, const std::optional<QString> &bike, const std::vector<int> *rows)
{
    const GroupedRides rides = groupRides(log, bike, RideRows(log, rows));
    const RouteLeaders leaders = routeLeaders(rides);

    Statistics s;
    s.undated = rides.groups[0].sums;
    s.undated.route = leaders.nameOf(leaders.ofGroup[0]);
    s.total = rides.total.sums;
    s.total.route = leaders.nameOf(leaders.overall);
    s.years = yearsOf(rides, leaders);
    return s;
}

std::array<double, 12> goalByMonthEnd(int year, double goal)
{
    std::array<double, 12> due{};
    const QDate first(year, 1, 1);
    const double days = first.daysInYear();
    for (int m = 1; m <= 12; ++m) {
        const QDate end(year, m, QDate(year, m, 1).daysInMonth());
        due[size_t(m - 1)] = goal * double(first.daysTo(end) + 1) / days;
    }
    return due;
}

std::array<double, 12> cumulativeKm(const Statistics &statistics, int year)
{
    std::array<double, 12> km = statistics.kmPerMonth(year);
    for (size_t m = 1; m < km.size(); ++m)
        km[m] += km[m - 1];
    return km;
}

QStringList columnTexts(const Sums &sums)
{
    // A sum beyond the doubles shows nothing rather than "INF".
    const auto number = [](std::optional<double> v) {
        return v && std::isfinite(*v) ? NumberText::format(*v) : QString();
    };
    const auto average = sums.averageSpeed();
    return {QString::number(sums.rides),
            number(RoundTo2(sums.km)),
            TimeText::formatTotal(sums.minutes / 60, sums.minutes % 60),
            number(average ? std::optional(RoundTo2(*average)) : std::nullopt),
            number(sums.longest),
            sums.route};
}

} // namespace RideStatistics
