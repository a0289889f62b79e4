#pragma once
#include <QDate>
#include <QString>

#include <optional>
#include <vector>

class StringTable;

// Which rides of the ride log the rider wants to see: text in the route
// name or the course, a period, a bike, a range of km and a difficulty.
// Each criterion left empty lets every ride through.
namespace RideFilter {

struct Criteria
{
    // Found in the route name or the course, ignoring letter case and
    // diacritics ("tisnov" finds "Tišnov"); plain text, no patterns.
    QString text;
    // The ride's day within from..until (either end open).
    std::optional<QDate> from;
    std::optional<QDate> until;
    // The ride's bike by name in any letter case; an empty name: rides
    // without a bike.
    std::optional<QString> bike;
    std::optional<double> minKm;
    std::optional<double> maxKm;
    // 1..5; 0: any.
    int difficulty = 0;

    // True when nothing is asked for: every ride passes.
    bool isEmpty() const;
};

// The text as the search compares it: lower case, without diacritics
// ("Žďár" → "zdar").
QString fold(QStringView text);

// The data rows whose rides pass, ascending. A ride with a date that is
// not a date fails a period; a km that is not a number fails a km range.
// With `among` (ascending data rows), only those rows are looked at.
std::vector<int> matchingRows(const StringTable &log, const Criteria &criteria,
                              const std::vector<int> *among = nullptr);

// True when every ride that passes `narrower` also passes `wider`: the
// same criteria, the text only longer (a letter typed at either end or
// inside). The rides `wider` let through are then enough to look at.
bool narrows(const Criteria &narrower, const Criteria &wider);

} // namespace RideFilter
