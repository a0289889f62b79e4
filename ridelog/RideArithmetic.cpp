#include "RideArithmetic.h"
#include <algorithm>
#include "RideColumn.h"
#include "DecimalSum.h"
#include "LocaleService.h"
#include "NumberText.h"
#include "StringTable.h"
#include "TimeText.h"

#include <cfenv>
#include <cmath>

namespace RideArithmetic {

namespace {
// A result beyond the doubles ("1E307" km/h for 23 hours) is no number
// to write into a ride: the step fails as for a text that is no number.
std::optional<QString> finiteText(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    return NumberText::format(value);
}

double roundHalfEven(double v)
{
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(v);
    std::fesetround(saved);
    return r;
}
} // namespace

void splitHours(double hours, qint64 &wholeHours, qint64 &minutes)
{
    const double whole = std::trunc(hours);
    wholeHours = qint64(whole);
    minutes = qint64(roundHalfEven((hours - whole) * 60.0));
}

std::optional<QString> distance(QStringView average, QStringView timeText)
{
    const auto avg = NumberText::parse(average);
    if (!avg)
        return std::nullopt;
    return finiteText(RoundTo2(TimeTextToHours(timeText) * *avg));
}

std::optional<TimeResult> time(QStringView km, QStringView average)
{
    const auto k = NumberText::parse(km);
    const auto a = NumberText::parse(average);
    if (!k || !a || *a == 0)
        return std::nullopt;
    const double h = *k / *a;
    if (!std::isfinite(h) || std::fabs(h) >= 9.2e18)
        return std::nullopt;
    TimeResult r;
    qint64 minutes = 0;
    splitHours(h, r.hours, minutes);
    const QString raw = QString::number(r.hours) + u':' + QString::number(minutes);
    r.text = TimeText::zeroFilled(TimeText::placeIntoMask(raw, 2));
    return r;
}

std::optional<QString> average(QStringView km, QStringView timeText)
{
    const auto k = NumberText::parse(km);
    const double hours = TimeTextToHours(timeText);
    if (!k || hours == 0)
        return std::nullopt;
    return finiteText(RoundTo2(*k / hours));
}

namespace {
template<typename Rows>
Totals totalsOf(const StringTable &log, const Rows &rows)
{
    // The distances are added as the decimals they are written as: a sum
    // of doubles would show its drift in the general format's 15 digits.
    DecimalSum km;
    const QChar separator = LocaleService::instance().decimalSeparator();
    double averageSum = 0, hours = 0;
    int averageCount = 0;
    bool anyKm = false;
    for (const int r : rows) {
        if (km.add(log.cellView(RideColumn::Km, r), separator))
            anyKm = true;
        if (const auto v = NumberText::parse(log.cellView(RideColumn::Average, r))) {
            averageSum += *v;
            ++averageCount;
        }
        hours += TimeTextToHours(log.cellView(RideColumn::Time, r));
    }

    Totals t;
    qint64 h = 0, m = 0;
    splitHours(hours, h, m);
    // Rounded minutes can reach a whole hour: carry it.
    if (m >= 60) {
        h += m / 60;
        m %= 60;
    }
    t.time = TimeText::formatTotal(h, m);
    // A sum beyond the doubles shows no total rather than "INF".
    if (averageCount > 0)
        t.average = finiteText(RoundTo2(averageSum / averageCount)).value_or(QString());
    // The sum of the distances, "0" when none is a number; empty only for
    // a log with neither a distance nor an average.
    if (anyKm || averageCount > 0)
        t.km = finiteText(km.value()).value_or(QString());
    return t;
}

} // namespace

namespace {
// The rows 1 … count − 1 of a log. Not std::views::iota: clang 14, which
// builds the fuzz targets, cannot compile libstdc++ 12's iota_view.
struct RowsFromOne
{
    struct Iterator
    {
        int row;
        int operator*() const { return row; }
        Iterator &operator++()
        {
            ++row;
            return *this;
        }
        bool operator!=(const Iterator &other) const { return row != other.row; }
    };
    int count;
    Iterator begin() const { return {1}; }
    Iterator end() const { return {std::max(1, count)}; }
};
} // namespace

Totals totals(const StringTable &log)
{
    return totalsOf(log, RowsFromOne{log.tableRowCount()});
}

Totals totals(const StringTable &log, const std::vector<int> &rows)
{
    return totalsOf(log, rows);
}

} // namespace RideArithmetic
