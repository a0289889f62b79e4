// The track of one ride of a recorded file: which reader, and the checks
// every point goes through whichever kind of file it came from.

#include "RideTrack.h"
#include "ImportRules.h"
#include "TrackBuilder.h"
#include "XmlRideFile.h"

#include <QBuffer>
#include <QDateTime>
#include <QIODevice>

#include <GeographicLib/Geodesic.hpp>

#include <cmath>
#include <utility>

namespace RideTrack {

namespace Detail {

bool PieceBuilder::add(const TrackPoint &point)
{
    const bool possiblePlace = std::isfinite(point.lat) && std::isfinite(point.lon) && std::abs(point.lat) <= 90
        && std::abs(point.lon) <= 180 && !(point.lat == 0 && point.lon == 0);
    const bool possibleTime = !point.timed()
        || (point.ms >= GpsImport::XmlRideFile::kEarliestMs && point.ms <= m_latestMs
            && (m_lastMs == kNoTime || point.ms >= m_lastMs));
    if (!possiblePlace || !possibleTime) {
        ++m_skipped;
        return false;
    }
    TrackPoint kept = point;
    if (m_piece.isEmpty()) {
        kept.metres = 0;
    } else {
        const TrackPoint &last = m_piece.constLast();
        double step = 0;
        if (last.lat != kept.lat || last.lon != kept.lon)
            GeographicLib::Geodesic::WGS84().Inverse(last.lat, last.lon, kept.lat, kept.lon, step);
        kept.metres = last.metres + (std::isfinite(step) ? step : 0.0);
    }
    if (kept.timed()) {
        m_lastMs = kept.ms;
        if (m_firstMs == kNoTime)
            m_firstMs = kept.ms;
    }
    m_piece.append(kept);
    return true;
}

TrackPiece PieceBuilder::take()
{
    m_lastMs = kNoTime;
    m_firstMs = kNoTime;
    return std::exchange(m_piece, TrackPiece());
}

void appendPiece(Track &track, TrackPiece piece)
{
    if (piece.isEmpty())
        return;
    const double offset = track.pieces.isEmpty() ? 0.0 : track.pieces.constLast().constLast().metres;
    if (offset != 0)
        for (TrackPoint &p : piece)
            p.metres += offset;
    track.pieces.append(std::move(piece));
}

qint64 latestPossibleMs()
{
    return QDateTime::currentMSecsSinceEpoch() + GpsImport::XmlRideFile::kYearMs;
}

QString noSuchRide(int rideInFile)
{
    return QStringLiteral("v souboru není jízda č. %1").arg(rideInFile + 1);
}

} // namespace Detail

qsizetype Track::pointCount() const
{
    qsizetype count = 0;
    for (const TrackPiece &piece : pieces)
        count += piece.size();
    return count;
}

Track readTrack(QIODevice &in, int rideInFile, const QTimeZone &zone, const GpsImport::StopFlag &stop)
{
    Track track;
    if (rideInFile < 0) {
        track.problem = Detail::noSuchRide(rideInFile);
        return track;
    }
    // The FIT reader goes back over the file: a device that cannot is
    // read into memory first.
    QBuffer whole;
    QIODevice *device = &in;
    if (in.isSequential()) {
        whole.setData(in.readAll());
        whole.open(QIODevice::ReadOnly);
        device = &whole;
    }
    const QString kind = GpsImport::rideFileSuffix(device->peek(64 * 1024));
    if (kind == u"fit")
        return Detail::readFitTrack(*device, rideInFile, stop);
    if (kind == u"gpx")
        return Detail::readGpxTrack(*device, rideInFile, zone, stop);
    if (kind == u"tcx")
        return Detail::readTcxTrack(*device, rideInFile, stop);
    track.problem = device->peek(1).isEmpty() ? QStringLiteral("soubor je prázdný")
        : QStringLiteral("není to záznam jízdy (FIT, GPX ani TCX)");
    return track;
}

} // namespace RideTrack
