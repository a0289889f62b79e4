#pragma once
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>

class QIODevice;
class QTimeZone;

// What the rider's bike computer, watch or phone recorded: the rides a
// FIT, GPX or TCX file holds, as the file tells them, before they become
// rows of the ride log.
namespace GpsImport {

// Remarks a ride may carry, shown to the rider beside it.
inline constexpr char16_t kRemarkTruncated[] = u"soubor je neúplný";
inline constexpr char16_t kRemarkBadChecksum[] = u"poškozený kontrolní součet";
inline constexpr char16_t kRemarkNoDistance[] = u"bez vzdálenosti";
// The file tells no riding time: the time from start to end stands for it.
inline constexpr char16_t kRemarkTimeEstimated[] = u"doba jízdy odhadnuta z celkového času";

struct RecordedRide
{
    QDateTime start;              // in UTC
    std::optional<double> metres; // none: the device measured no distance (indoor trainer)
    double seconds = 0;           // riding time (timer or moving time), not rounded
    QString name;                 // the name the file gives the ride; may be empty
    QString otherSport;           // another sport's name in Czech; empty for a bike ride
    QString bike;                 // the bike the file names (a FIT bike profile); may be empty
    QStringList remarks;          // kRemark… texts
};

struct FileRides
{
    QList<RecordedRide> rides;
    // Why the file gives no ride, in Czech ("není to záznam aktivity");
    // empty when it was read.
    QString problem;
};

// Set from another thread to stop a reading; a stopped reading's result
// is thrown away.
using StopFlag = std::atomic_bool;

// The readers. Each takes an open device positioned at the file's start
// and streams it: memory does not grow with the file. A reader never
// throws; whatever the bytes, it answers with rides or a problem.
FileRides readFit(QIODevice &in, const StopFlag &stop);
// Rides of a GPX file are grouped by the local date (in `zone`) of their
// first timed point.
FileRides readGpx(QIODevice &in, const QTimeZone &zone, const StopFlag &stop);
FileRides readTcx(QIODevice &in, const StopFlag &stop);

// The Czech name of a sport a device names in English ("running",
// "Hiking", "trail_running", "e_biking"); empty for cycling of any kind
// (road, mountain, gravel, e-bike, indoor). Every sport of FIT's sport
// enumeration and the common apps' words have a Czech name; other words
// give "jiný sport (<word>)", its parts apart ("underwater hockey").
QString otherSportName(QStringView deviceWord);

} // namespace GpsImport
