// Sorting a 100,000-ride log by distance, route name and date with
// TableSorter, each against std::sort of the same keys converted
// beforehand, measured in the same run. The sorter's time includes
// converting the keys and moving the rows; the baseline's does not.

#include "LocaleService.h"
#include "NumberText.h"
#include "TableSorter.h"
#include "StringTable.h"

#include "RatioReporter.h"

#include <benchmark/benchmark.h>

#include <QCollatorSortKey>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kRides = 100'000;

enum Column { Datum = 0, Nazev = 1, Km = 3 };

struct RideLog
{
    StringTable grid;
    std::vector<QStringList> original;

    RideLog()
    {
        static const QStringList routes{
            "Okruh", "Do práce", "Lhota – Ves", "Kolem Žďáru", "Čerčany a zpět", "Šumava: Kvilda",
            "Chýnov", "Hradec Králové", "Říp", "Česká Kanada", "Přes Chlum", "Ústí nad Orlicí",
            "Kokořínsko", "Brdy – Třemošná", "Jizerky", "Ždánický les", "Beskydy", "Cyklostezka Ohře",
            "Hrad Kost", "Kutná Hora", "Chodsko", "Slapy", "Vltava – Štěchovice", "Orlík"};
        QRandomGenerator rng(20050503);
        grid.setTableColumnCount(7);
        grid.setTableRowCount(kRides + 1);
        grid.beginBulkUpdate();
        grid.setRowTexts(0, {"Datum", "Název", "Průběh trasy", "Km", "Čas", "km/h", "1-5"});
        for (int r = 1; r <= kRides; ++r) {
            QString name = routes[int(rng.bounded(routes.size()))];
            if (rng.bounded(3) == 0)
                name += QStringLiteral(" %1").arg(rng.bounded(60));
            if (rng.bounded(4) == 0)
                name = name.toLower();
            const int minutes = int(rng.bounded(10, 400));
            const double km = rng.bounded(1, 2000) / 10.0;
            grid.setRowTexts(r, {QStringLiteral("%1.%2.%3").arg(rng.bounded(1, 29)).arg(rng.bounded(1, 13))
                                 .arg(rng.bounded(2000, 2025)),
                             name, QStringLiteral("Lhota - Ves - Lhota"),
                             NumberText::format(km, u','),
                             QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QChar(u'0'))
                                 .arg(minutes % 60, 2, 10, QChar(u'0')),
                             NumberText::format(RoundTo2(km * 60 / minutes), u','),
                             QString::number(rng.bounded(1, 6))});
        }
        grid.endBulkUpdate();
        for (int r = 0; r < grid.tableRowCount(); ++r)
            original.push_back(grid.rowTexts(r));
    }

    void restore()
    {
        grid.beginBulkUpdate();
        for (int r = 0; r < int(original.size()); ++r)
            grid.setRowTexts(r, original[size_t(r)]);
        grid.endBulkUpdate();
    }

    QString cell(int col, int row) const { return grid.cell(col, row); }
};

RideLog &rideLog()
{
    static RideLog log;
    return log;
}

void sortWithSorter(benchmark::State &state, TableSorter::KeyKind type, int column)
{
    RideLog &log = rideLog();
    TableSorter sorter;
    sorter.setTable(&log.grid);
    sorter.setStartIndex(1);
    sorter.setEndIndex(kRides);
    sorter.setSortIndex(column);
    sorter.setKeyKind(type);
    for (auto _ : state) {
        state.PauseTiming();
        log.restore();
        state.ResumeTiming();
        if (!sorter.sort())
            state.SkipWithError("Sort failed");
    }
}

template <typename Key>
struct Keyed
{
    Key key;
    int source;
};

struct TextKey
{
    QCollatorSortKey sortKey;
    bool empty;
};

bool less(const TextKey &a, const TextKey &b)
{
    if (a.empty || b.empty)
        return a.empty && !b.empty;
    return a.sortKey.compare(b.sortKey) < 0;
}
template <typename Number>
bool less(Number a, Number b)
{
    return a < b;
}

// The keys of the sorted column converted once, outside the timing.
template <typename Key, typename Convert>
void sortConvertedKeys(benchmark::State &state, int column, const Convert &convert)
{
    RideLog &log = rideLog();
    log.restore();
    std::vector<Keyed<Key>> keys;
    keys.reserve(kRides);
    for (int r = 1; r <= kRides; ++r)
        keys.push_back({convert(log.cell(column, r)), r});
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<Keyed<Key>> work = keys;
        state.ResumeTiming();
        std::sort(work.begin(), work.end(),
                  [](const Keyed<Key> &a, const Keyed<Key> &b) { return less(a.key, b.key); });
        benchmark::DoNotOptimize(work.data());
    }
}

// Collects the measured times and prints each sorter's ratio to its
// baseline after the run.

} // namespace

int main(int argc, char **argv)
{
    LocaleService::instance().setLocale(QLocale(QLocale::Czech, QLocale::CzechRepublic));
    const LocaleService &locale = LocaleService::instance();

    struct Kind
    {
        const char *name;
        TableSorter::KeyKind type;
        int column;
    };
    const Kind kinds[] = {{"numeric", TableSorter::Numeric, Km},
                          {"text", TableSorter::Character, Nazev},
                          {"date", TableSorter::DateTime, Datum}};

    for (const Kind &k : kinds) {
        benchmark::RegisterBenchmark((std::string("TableSorter/") + k.name).c_str(), sortWithSorter,
                                     k.type, k.column)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(10)
            ->UseRealTime();
        const std::string base = std::string("std::sort/") + k.name;
        benchmark::internal::Benchmark *b = nullptr;
        switch (k.type) {
        case TableSorter::Numeric:
            b = benchmark::RegisterBenchmark(base.c_str(), [&locale](benchmark::State &s) {
                sortConvertedKeys<long double>(s, Km, [&locale](const QString &t) {
                    return NumberText::parseExtended(t, locale.decimalSeparator()).value_or(0.0L);
                });
            });
            break;
        case TableSorter::Character:
            b = benchmark::RegisterBenchmark(base.c_str(), [&locale](benchmark::State &s) {
                sortConvertedKeys<TextKey>(s, Nazev, [&locale](const QString &t) {
                    QString folded = t;
                    for (QChar &c : folded)
                        if (c >= u'a' && c <= u'z')
                            c = QChar(char16_t(c.unicode() - 32));
                    return TextKey{locale.collator().sortKey(folded), folded.isEmpty()};
                });
            });
            break;
        case TableSorter::DateTime:
            b = benchmark::RegisterBenchmark(base.c_str(), [&locale](benchmark::State &s) {
                sortConvertedKeys<double>(
                    s, Datum, [&locale](const QString &t) { return locale.parseDateTime(t).value_or(0.0); });
            });
            break;
        }
        b->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();
    }

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    for (const Kind &k : kinds) {
        const auto sorter = reporter.times.find(std::string("TableSorter/") + k.name);
        const auto base = reporter.times.find(std::string("std::sort/") + k.name);
        if (sorter == reporter.times.end() || base == reporter.times.end() || base->second <= 0)
            continue;
        std::printf("ratio %s: %.2f (sorter %.2f ms, std::sort of converted keys %.2f ms)\n", k.name,
                    sorter->second / base->second, sorter->second, base->second);
    }
    return 0;
}
