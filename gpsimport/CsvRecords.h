#pragma once
#include "RecordedRide.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

class QIODevice;

namespace GpsImport {

// The records of a CSV text (RFC 4180: fields apart by commas, quoted
// fields holding commas, line breaks and doubled quotes; records ending
// in CR LF, LF or CR), UTF-8 with or without a byte order mark, read from
// a device in large blocks. Memory is bounded per record, whatever the
// text: a field keeps its first kFieldBytes bytes (cut at a character's
// start), a record its first kFieldsPerRecord fields; the rest is read
// and dropped.
class CsvRecords
{
public:
    static constexpr qsizetype kFieldBytes = 4096;
    static constexpr qsizetype kFieldsPerRecord = 1000;

    CsvRecords(QIODevice &in, const StopFlag &stop);
    // The next record's fields; false at the end of the text (or a stop).
    bool next(QStringList &fields);

private:
    bool fill();
    void endField(QStringList &fields);

    QIODevice &m_in;
    const StopFlag &m_stop;
    QByteArray m_block;
    qsizetype m_pos = 0;
    bool m_first = true;
    bool m_skipLineFeed = false; // a CR ended the last record
    QByteArray m_field;
    bool m_fieldCut = false;
};

} // namespace GpsImport
