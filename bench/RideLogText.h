#pragma once
#include <QString>

// A generated ride log of the given number of rides, as the table file's
// text: dates from 1990 on, route names and courses with Czech letters,
// some rides without a course. The same rides for the same count.
QString rideLogText(int rides);
