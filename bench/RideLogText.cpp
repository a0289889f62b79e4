#include "RideLogText.h"
#include "RideColumn.h"
#include "RideLogTable.h"
#include "StringTable.h"
#include "TableFile.h"

#include <QStringList>

#include <iterator>
#include <random>

namespace {
const char16_t *const kNames[] = {
    u"Okruh", u"Do práce", u"Z práce", u"Kolem přehrady", u"Přes Křivoklát", u"Šumavou",
    u"Na Říp", u"Údolím Sázavy", u"Žďárské vrchy", u"Večerní kolečko", u"Čertovo břemeno",
};
const char16_t *const kPlaces[] = {
    u"Lhota", u"Ves", u"Týnec", u"Benešov", u"Čerčany", u"Kácov", u"Zruč", u"Ledeč",
    u"Želiv", u"Pelhřimov", u"Humpolec", u"Světlá", u"Chotěboř", u"Žďár", u"Nové Město",
};

// The bike of each ride: the rider keeps to one bike for eight rides on
// average, then takes another one (or the same again). From a generator
// of its own, so that the other columns do not depend on the bikes.
void giveBikes(StringTable &g, const QStringList &bikes)
{
    addBikeColumn(g);
    std::mt19937 rnd(19900401);
    auto pick = [&](int n) { return int(rnd() % unsigned(n)); };
    qsizetype bike = 0;
    for (int r = g.headingRows(); r < g.tableRowCount(); ++r) {
        if (pick(8) == 0)
            bike = pick(int(bikes.size()));
        QString name = bikes.at(bike);
        if (pick(20) == 0)
            name.clear();
        else if (pick(25) == 0)
            name = r % 2 ? name.toUpper() : name.toLower();
        g.setCell(RideColumn::Bike, r, name);
    }
}
} // namespace

QString rideLogText(int rides, const RideLogOptions &options)
{
    std::mt19937 rnd(20050503);
    auto pick = [&](int n) { return int(rnd() % unsigned(n)); };
    const int nNames = int(std::size(kNames));
    const int nPlaces = int(std::size(kPlaces));

    StringTable g;
    g.setAutoBackup(false);
    g.setTableColumnCount(7);
    g.setTableRowCount(rides + 1);
    g.setHeadingColumns(0);
    g.setDefaultRowHeight(18);
    g.setColumnWidth(0, 62);
    g.setColumnHeadings({"Datum", "Název", "Průběh trasy", "Km", "Čas", "km/h", "1-5"});
    int day = 1, month = 4, year = 1990;
    for (int r = 1; r <= rides; ++r) {
        if (pick(options.newDayEvery) == 0 && ++day > 28) {
            day = 1;
            if (++month > 12) {
                month = 1;
                ++year;
            }
        }
        QString course;
        if (pick(5) != 0) { // some rides have no course
            const int stops = 2 + pick(6);
            for (int s = 0; s < stops; ++s) {
                if (s)
                    course += QStringLiteral(" - ");
                course += QString::fromUtf16(kPlaces[pick(nPlaces)]);
            }
        }
        const int km10 = 50 + pick(1500);      // 5,0 .. 154,9 km
        const int minutes = 15 + pick(400);
        const double avg = km10 / 10.0 / (minutes / 60.0);
        const QStringList ride = {
            QStringLiteral("%1.%2.%3").arg(day).arg(month).arg(year),
            QString::fromUtf16(kNames[pick(nNames)]),
            course,
            km10 % 10 ? QStringLiteral("%1,%2").arg(km10 / 10).arg(km10 % 10) : QString::number(km10 / 10),
            QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QChar(u'0')).arg(minutes % 60, 2, 10, QChar(u'0')),
            QString::number(avg, 'f', 2).replace(u'.', u','),
            QString::number(1 + pick(5)),
        };
        g.setRowTexts(r, ride);
    }
    if (!options.bikes.isEmpty())
        giveBikes(g, options.bikes);
    return TableFile::text(g);
}
