#pragma once
#include <QDate>
#include <QString>

#include <map>

class StringTable;

// The rider's goal of km for a year, kept in the settings file, and how
// far the rides of that year have come towards it.
namespace YearlyGoal {

// store.ini: one key per year, "2026=5000".
inline constexpr char16_t kSection[] = u"RocniCil";

// Year → goal km; a key that is not a year, or a value that is not a
// positive number of km, is no goal.
std::map<int, double> read(const QString &settingsPath);
// Sets (km > 0) or removes (km <= 0) one year's goal; the other keys of
// the section stay. Throws AppError("Unable to write to <path>").
void write(const QString &settingsPath, int year, double km);

struct Progress
{
    double km = 0;      // ridden in the year
    double goal = 0;
    double planned = 0; // what an even pace has reached by the end of `today`
};
// The km of the rides dated in today's year against its goal.
Progress progress(const StringTable &log, double goal, const QDate &today);
// "Letos 3 412 / 5 000 km (68 %)"
QString progressText(const Progress &p);
// "o 120 km před plánem", "o 80 km za plánem", "přesně podle plánu"
QString paceText(const Progress &p);

} // namespace YearlyGoal
