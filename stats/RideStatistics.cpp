#include "RideStatistics.h"
#include "RideColumn.h"
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

// The day of a date cell as the sorter reads it (a date, optionally with a
// time); a time alone has no day.
std::optional<QDate> rideDay(QStringView text)
{
    const auto parts = LocaleService::instance().parseDateAndTime(text);
    return parts ? parts->date : std::nullopt;
}

bool isBlankRow(const StringTable &log, int row)
{
    for (int c = 0; c < log.tableColumnCount(); ++c) {
        const QStringView t = log.cellView(c, row).trimmed();
        // An empty time editor leaves its mask behind.
        if (!t.isEmpty() && !(c == RideColumn::Time && t == u":"))
            return false;
    }
    return true;
}

quint64 tallyKey(int group, int route)
{
    return (quint64(quint32(group)) << 32) | quint32(route);
}
} // namespace

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

Statistics compute(const StringTable &log)
{
    // Group 0 is "no date"; the months follow in the order met.
    std::vector<Accumulator> groups(1);
    QHash<int, int> groupOfMonth;
    Accumulator total;

    // Route names by number, and how often each group rode each of them.
    QHash<QStringView, int> routeIds;
    QHash<quint64, Tally> monthTallies;

    // Rides of one day usually stand together: the last date text read.
    QStringView lastDateText;
    bool lastDated = false;
    int lastGroup = 0;
    qint64 lastDay = 0;

    for (int r = 1; r < log.tableRowCount(); ++r) {
        const QStringView dateText = log.cellView(RideColumn::Date, r);
        if (r == 1 || dateText != lastDateText) {
            lastDateText = dateText;
            const auto day = rideDay(dateText);
            lastDated = day.has_value();
            if (lastDated) {
                int year = 0, month = 0;
                day->getDate(&year, &month, nullptr);
                const int key = year * 12 + month - 1;
                auto it = groupOfMonth.constFind(key);
                if (it == groupOfMonth.cend()) {
                    it = groupOfMonth.insert(key, int(groups.size()));
                    Accumulator a;
                    a.year = year;
                    a.month = month;
                    groups.push_back(a);
                }
                lastGroup = *it;
                lastDay = day->toJulianDay() + 1;
            }
        }
        int group = 0;
        Recency recency = r;
        if (lastDated) {
            group = lastGroup;
            recency = (lastDay << kRowBits) | r;
        } else if (isBlankRow(log, r)) {
            continue;
        }

        const auto km = NumberText::parse(log.cellView(RideColumn::Km, r));
        std::optional<int> minutes;
        if (const auto clock = TimeText::parse(log.cellView(RideColumn::Time, r)))
            minutes = clock->hours * 60 + clock->minutes;
        groups[size_t(group)].add(km.value_or(0.0), km.has_value(), minutes);
        total.add(km.value_or(0.0), km.has_value(), minutes);

        const QStringView name = log.cellView(RideColumn::Name, r);
        if (name.trimmed().isEmpty())
            continue;
        auto id = routeIds.constFind(name);
        if (id == routeIds.cend())
            id = routeIds.insert(name, int(routeIds.size()));
        const int route = *id;
        Tally &t = monthTallies[tallyKey(group, route)];
        ++t.count;
        t.newest = std::max(t.newest, recency);
    }

    // The most ridden route of every month, year and of the whole log.
    std::vector<QStringView> routeNames(size_t(routeIds.size()));
    for (auto it = routeIds.cbegin(); it != routeIds.cend(); ++it)
        routeNames[size_t(it.value())] = it.key();
    std::vector<Best> bestOfGroup(groups.size());
    QHash<quint64, Tally> yearTallies;
    std::vector<Tally> totalTallies(routeNames.size());
    for (auto it = monthTallies.cbegin(); it != monthTallies.cend(); ++it) {
        const int group = int(it.key() >> 32);
        const int route = int(it.key() & 0xffffffffu);
        bestOfGroup[size_t(group)].consider(route, it.value());
        if (group > 0)
            yearTallies[tallyKey(groups[size_t(group)].year, route)].add(it.value());
        totalTallies[size_t(route)].add(it.value());
    }
    auto nameOf = [&](const Best &best) {
        return best.route < 0 ? QString() : routeNames[size_t(best.route)].toString();
    };

    Statistics s;
    s.undated = groups[0].sums;
    s.undated.route = nameOf(bestOfGroup[0]);
    s.total = total.sums;
    Best bestOverall;
    for (size_t route = 0; route < totalTallies.size(); ++route)
        bestOverall.consider(int(route), totalTallies[route]);
    s.total.route = nameOf(bestOverall);

    std::vector<size_t> order(groups.size() - 1);
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i + 1;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const Accumulator &x = groups[a], &y = groups[b];
        return x.year != y.year ? x.year > y.year : x.month < y.month;
    });
    for (size_t g : order) {
        const Accumulator &a = groups[g];
        if (s.years.empty() || s.years.back().year != a.year)
            s.years.push_back(Year{a.year, Sums{}, {}});
        Year &y = s.years.back();
        Month m{a.month, a.sums};
        m.sums.route = nameOf(bestOfGroup[g]);
        addSums(y.sums, a.sums);
        y.months.push_back(std::move(m));
    }
    QHash<int, Best> bestOfYear;
    for (auto it = yearTallies.cbegin(); it != yearTallies.cend(); ++it)
        bestOfYear[int(it.key() >> 32)].consider(int(it.key() & 0xffffffffu), it.value());
    for (Year &y : s.years) {
        const auto it = bestOfYear.constFind(y.year);
        if (it != bestOfYear.cend())
            y.sums.route = nameOf(*it);
    }
    return s;
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
