#pragma once
#include "BikeGarage.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>
#include <vector>

class StringTable;

// The km of bikes and parts, worked out from the ride log: the date, the
// km and the bike of every ride. Nothing of it is stored, so an edited
// ride changes every count at once. The log is read once, when made; the
// questions after that cost a binary search each.
namespace Bikes {

struct BikeFigures
{
    int rides = 0;
    double km = 0;          // km of the bike's rides in the log
    QDate lastRide;         // the newest valid date among them
};

class Mileage
{
public:
    // Rides with a km that is no number count as rides of 0 km; rides
    // without a valid date count in the figures but in no period.
    explicit Mileage(const StringTable &log);

    // The rides of a bike name (any letter case).
    BikeFigures figures(QStringView bike) const;
    // km of the bike's rides on the days from `from` (invalid: from the
    // first) up to the day before `until` (invalid: to the last).
    double km(QStringView bike, const QDate &from, const QDate &until) const;
    // The bike names of rides, as the rides write them (the first
    // spelling of each), in the order they first appear. Empty names are
    // not listed.
    const QStringList &namesInRides() const { return m_names; }
    // Rides without a bike.
    const BikeFigures &withoutBike() const { return m_withoutBike; }

private:
    struct Rides
    {
        BikeFigures figures;
        std::vector<int> days;       // dated rides' Julian days, in order
        std::vector<double> prefix;  // km of the first n of them
    };
    const Rides *ridesOf(QStringView bike) const;

    QHash<QString, int> m_index; // case-folded name -> m_rides
    std::vector<Rides> m_rides;
    QStringList m_names;
    BikeFigures m_withoutBike;
};

// One stretch of a part's life on one bike: from its mounting or move
// there up to the day before it moved on or was replaced.
struct Stint
{
    QString bike;   // the bike's section
    QDate from;
    QDate until;    // invalid while the part is still there
};
QList<Stint> stintsOf(const Part &part);

struct PartStatus
{
    double sinceService = 0; // km since mounting or the last service
    double total = 0;        // km of the part's whole life
    std::optional<QDate> due; // the end of the interval in months
    bool reminder = false;   // an interval has passed or lies within 10 % of it
    // As the window's column "Stav" shows it: "2 480 / 3 000 km",
    // "za 3 měsíce", "vyměněno 2.2.2025".
    QString text;
};
PartStatus statusOf(const Part &part, const Mileage &mileage, const Garage &garage, const QDate &today);

// What happened to the part, one line per event with its km, for the rider.
QStringList historyOf(const Part &part, const Mileage &mileage, const Garage &garage);

// The parts of bikes in use that are due, each with its line for the
// status bar: "Servis: řetěz (Trek) 3 020 / 3 000 km".
struct Reminder
{
    QString part;   // the part's section
    QString text;
};
QList<Reminder> reminders(const Garage &garage, const Mileage &mileage, const QDate &today);

// A distance in whole km with the locale's grouping: "3 020".
QString kmText(double km);

} // namespace Bikes
