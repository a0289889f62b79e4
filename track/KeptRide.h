#pragma once
#include "RecordedRide.h"
#include "RideTrack.h"

#include <QString>
#include <QStringList>

#include <optional>

class QTimeZone;

// A logged ride read again from the kept copy of the file it was imported
// from: its track, and the ride as the import made it (so that the window
// can show the log's figures worked out by the import's own rules).
namespace KeptRide {

struct Loaded
{
    QString keptName;                                // as the link names it: "2026/2026-05-01-0800-1a2b3c4d.fit.gz"
    RideTrack::Track track;
    std::optional<GpsImport::RecordedRide> recorded; // none when the file gives no such ride
    QStringList importCells;                         // the cells the import makes of it (RideColumn order)
    // Why the ride cannot be shown, in Czech, naming the file: missing,
    // unreadable, damaged. Empty when read.
    QString problem;
};

// Reads the ride a log row's link names ("<name>" or "<name>#<n>") from
// the folder of kept files. Never throws; changes nothing.
Loaded load(const QString &keptFolder, const QString &link, const QTimeZone &zone);

// The ride's place among its file's rides (0-based) the link names.
int rideOfLink(const QString &link);

} // namespace KeptRide
