#pragma once
#include <QString>
#include <optional>

// Time texts of the ride log: "HH:MM" with blanks for empty places.
namespace TimeText {

// Five characters: two hour places, ":", two minute places.
inline const QString kEmpty = QStringLiteral("  :  ");

struct Clock
{
    int hours = 0;
    int minutes = 0;
};

// A valid time: hour and minute numbers separated by ":" with blanks
// allowed around each, hours 0..23, minutes 0..59; a seconds part after a
// second ":" (0..59) is accepted and ignored.
std::optional<Clock> parse(QStringView text);

// A valid time (with seconds) as a fraction of a day.
std::optional<double> parseClock(QStringView text);

bool isValid(QStringView text);

// Places a text into a mask of `hourPlaces` hour places and two minute
// places: each part is padded on the left with blanks and only its last
// places are kept. A text without ":" fills the hour part only.
QString placeIntoMask(QStringView text, int hourPlaces);

// Replaces every blank by "0".
QString zeroFilled(QString text);

// A sum of times as the totals show it: hours with at least four places,
// ":", two minute places, all zero-filled ("0025:05").
QString formatTotal(qint64 hours, qint64 minutes);

} // namespace TimeText

// Hours of a time text; 0 when it is not a valid time.
double TimeTextToHours(QStringView text);
