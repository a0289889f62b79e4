#pragma once
#include <QString>
#include <QStringList>

// Favourite routes: a course, a length and a difficulty stored under the
// route's name, one section per route in "trasy.ini".
namespace FavouriteRoutes {

inline constexpr int kDefaultDifficulty = 3;

struct Route
{
    QString course;     // popis
    QString distance;   // delka, as typed
    int difficulty = kDefaultDifficulty; // naroc
};

// The stored names in file order.
QStringList names(const QString &path);
// The route of a name; a name without a section gives an empty course and
// length and the default difficulty.
Route read(const QString &path, const QString &name);
// Why a route cannot be stored under this name (a Czech message for the
// rider), or an empty text when it can.
QString nameProblem(const QString &name);
// Stores the route under the name, replacing a route of that name.
// Throws AppError("Unable to write to <path>").
void save(const QString &path, const QString &name, const Route &route);
// Removes the route of the name; false when there is none (a section
// without keys counts as none). Throws AppError on a write failure.
bool remove(const QString &path, const QString &name);

} // namespace FavouriteRoutes
