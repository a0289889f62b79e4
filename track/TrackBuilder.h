#pragma once
#include "RideTrack.h"

#include <QString>

class QIODevice;

// What the readers of the three kinds of file share: the points as they
// come made into pieces, with the impossible ones left out and counted,
// and the way along the pieces summed.
namespace RideTrack::Detail {

// The points of one piece as a file gives them, checked one by one: a
// position off the globe, not finite or exactly 0, 0 (a receiver without
// a fix), a time before 1980, more than a year ahead or earlier than the
// piece's last time, and the point is left out and counted. `metres`
// counts from the piece's first point.
class PieceBuilder
{
public:
    explicit PieceBuilder(qint64 latestMs) : m_latestMs(latestMs) {}

    void reserve(qsizetype points) { m_piece.reserve(points); }
    // False when the point is left out.
    bool add(const TrackPoint &point);
    void countSkipped() { ++m_skipped; }

    TrackPiece &piece() { return m_piece; }
    int skipped() const { return m_skipped; }
    // The first kept point's time, kNoTime when none has one.
    qint64 firstMs() const { return m_firstMs; }
    // Starts a new piece; what was gathered is given back.
    TrackPiece take();

private:
    qint64 m_latestMs;
    TrackPiece m_piece;
    int m_skipped = 0;
    qint64 m_lastMs = kNoTime;
    qint64 m_firstMs = kNoTime;
};

// Adds a piece to the end of a track: its `metres` go on from where the
// track's last piece ended. A piece without points is not kept.
void appendPiece(Track &track, TrackPiece piece);

// Times later than this are a clock never set.
qint64 latestPossibleMs();

QString noSuchRide(int rideInFile);

// The readers of each kind; `in` is at the file's start.
Track readFitTrack(QIODevice &in, int rideInFile, const GpsImport::StopFlag &stop);
Track readGpxTrack(QIODevice &in, int rideInFile, const QTimeZone &zone, const GpsImport::StopFlag &stop);
Track readTcxTrack(QIODevice &in, int rideInFile, const GpsImport::StopFlag &stop);

} // namespace RideTrack::Detail
