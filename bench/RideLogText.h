#pragma once
#include <QString>
#include <QStringList>

// How a generated ride log may differ from the plain one.
struct RideLogOptions
{
    // One ride in `newDayEvery` starts a new day (days 1 to 28 of each
    // month, from 1.4.1990): 3 makes 100,000 rides a century, 15 about
    // twenty years.
    int newDayEvery = 3;
    // The bikes of the eighth column "Kolo", ridden in turns of eight
    // rides on average; one ride in 20 without a bike, one in 25 naming
    // its bike in another letter case. None: the log has seven columns.
    // The other columns are the same with bikes or without.
    QStringList bikes;
};

// A generated ride log of the given number of rides, as the table file's
// text: dates from 1990 on, route names and courses with Czech letters,
// some rides without a course. The same rides for the same count.
QString rideLogText(int rides, const RideLogOptions &options = {});
