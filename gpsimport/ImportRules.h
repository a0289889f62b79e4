#pragma once
#include "RecordedRide.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimeZone>

#include <optional>

class StringTable;

// How the rides of the rider's files become rows of the ride log.
namespace GpsImport {

inline constexpr char16_t kRemarkInLog[] = u"již v deníku";
inline constexpr char16_t kRemarkTooLong[] = u"jízda delší než 23:59";
inline constexpr char16_t kRemarkVeryShort[] = u"velmi krátký záznam";

// One row of the import window: a ride with the cells the ride log would
// get for it, or a file that gave no ride (no start, not offered).
struct ImportRow
{
    QDateTime start;    // UTC; invalid for a file's problem
    QStringList cells;  // the ride log's columns, as the editors write them
    QStringList files;  // the names of the files it was found in
    QStringList remarks;
    bool offered = true; // can be added to the log
    bool ticked = true;  // added unless the rider unticks it
    bool otherSport = false;

    // Where the ride's file is: the picked file, the member of it when it
    // is an archive (ArchiveMember::path), the hash of the ride file's
    // content and the ride's place among the file's rides. A ride the
    // register knows carries its link to the kept copy.
    QString source;
    QString member;
    QByteArray hash;
    int rideInFile = 0;
    int ridesInFile = 1;
    QString link;
    bool known = false;

    QString remarkText() const { return remarks.join(QStringLiteral(", ")); }
};

// The rows of one file's rides, the dates taken in `zone`; a file that
// gave none is one row with its name and the reason. Other sports and
// very short records (under a minute, or a distance measured under
// 100 m) are offered unticked: a device started by mistake, a
// heart-rate strap's few seconds. A ride without distance that lasted a
// minute or more is an indoor ride and stays ticked.
QList<ImportRow> rowsOf(const QString &fileName, const FileRides &found, const QTimeZone &zone);

// The cells of a ride: its local date in the short date format, km after
// RoundTo2 in the general number format (none when the device measured
// none or 0 km: a 0 would count in the log's averages as a ride at
// 0 km/h), the riding time rounded to whole minutes (halves up) as
// "HH:MM", the average worked out from those two texts as the editors do.
// A ride of 24 hours or more gets no time (the log cannot hold it) and its
// average from its real time.
struct RideCells
{
    QStringList cells;
    bool tooLong = false;
};
RideCells cellsOf(const RecordedRide &ride, const QTimeZone &zone);

// The rides of the log, to find out whether a ride is there already: the
// same date text and km within 1 % (at least 0.1 km), or, for a ride
// without km, a logged ride of that date without km and with the same
// time.
class LoggedRides
{
public:
    explicit LoggedRides(const StringTable &log);
    bool contains(const QStringList &cells) const;

private:
    struct Logged
    {
        std::optional<double> km;
        QString time;
    };
    QHash<QString, QList<Logged>> m_byDate;
};

// Two rows of one import that are the same ride (the same recording in
// two files, or a file picked twice): starts at most five minutes apart,
// the same date, and km within the same tolerance as for the log (or both
// without km and with the same time).
bool sameRide(const ImportRow &a, const ImportRow &b);

// The rows of an import in the order the window lists them: rides by
// their start, then the files that gave none, in the order they came.
// A row's place in `rows` for a newcomer.
qsizetype insertionPlace(const QList<ImportRow> &rows, const ImportRow &row);

// Reads the rides of one file, whichever of FIT, GPX and TCX it is (told
// by its content, not its name). Anything that is not a readable file of
// one of them gives the reason in Czech, without waiting on it: a folder,
// a FIFO or a device is not opened.
FileRides readRideFile(const QString &path, const QTimeZone &zone, const StopFlag &stop);
// The same for a ride file's bytes in a seekable device (a member of an
// archive read into memory).
FileRides readRideDevice(QIODevice &in, const QTimeZone &zone, const StopFlag &stop);
// The name ending of a kept copy of a ride file's bytes: "fit", "gpx",
// "tcx", or "dat" when it is none of them.
QString rideFileSuffix(const QByteArray &bytes);

} // namespace GpsImport
