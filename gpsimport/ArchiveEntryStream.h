#pragma once
#include "RideArchive.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>

struct archive;

namespace GpsImport {

// The unpacked bytes of the entry a libarchive reader is on, block by
// block as libarchive hands them out (no copy), with the limits of an
// archive applied to each block before it is handed on: a block that
// would take the entry past its size or its ratio to the packed bytes, or
// a stop, ends the stream in a failure with the reason in Czech.
//
// The ratio is measured against the packed bytes the reader consumed for
// this entry (libarchive's count at the bottom of its filters). A fixed
// slack of kRatioSlackBytes is allowed on top, so that a small file that
// packs very well (a FIT file of zeros, a short GPX) is not taken for a
// bomb; a bomb still stops within a few MiB of the ratio's bound.
class EntryStream
{
public:
    static constexpr qint64 kRatioSlackBytes = qint64(1) << 20;

    // `upstreamFailure`, when it is not empty at a libarchive error, is
    // why the data under this reader failed (a limit of the archive this
    // one is in, a stop); it is then the reason instead of the damage.
    EntryStream(struct archive *reader, const ArchiveLimits &limits, const StopFlag &stop,
                const QString &upstreamFailure);

    // What is left of the current block, fetching the next one when it is
    // used up: empty at the end of the entry or after a failure.
    QByteArrayView ahead();
    void consume(qsizetype bytes);
    // The first `bytes` bytes (fewer when the entry is shorter), kept to
    // be handed out again.
    QByteArrayView head(qsizetype bytes);

    bool failed() const { return !m_reason.isEmpty(); }
    // Why the stream failed; empty while it has not.
    const QString &reason() const { return m_reason; }
    // Whether the failure is damage of the archive's own data (not a
    // limit, a stop or a failure under it).
    bool damaged() const { return m_damaged; }
    qint64 unpackedBytes() const { return m_unpacked; }

    // Reasons a limit gives ("rozbaleno by mělo víc než 1 GiB").
    static QString sizeLimitReason(qint64 limit);
    static QString ratioLimitReason(qint64 ratio);
    // The reason for a libarchive error text: truncated or damaged.
    static QString damageReason(const char *libarchiveError);

private:
    bool fetch();
    void fail(const QString &reason, bool damaged = false);

    struct archive *m_reader;
    const ArchiveLimits &m_limits;
    const StopFlag &m_stop;
    const QString &m_upstreamFailure;
    qint64 m_packedAtStart;
    qint64 m_unpacked = 0;
    QByteArray m_head; // bytes already taken from libarchive for head()
    qsizetype m_headUsed = 0;
    QByteArrayView m_block;
    bool m_end = false;
    bool m_damaged = false;
    QString m_reason;
};

// A member's unpacked bytes as the sequential device the member callback
// reads; a failure of the stream is a read error of the device.
class EntryDevice : public QIODevice
{
public:
    explicit EntryDevice(EntryStream &stream);
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    const EntryStream &stream() const { return m_stream; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    EntryStream &m_stream;
};

} // namespace GpsImport
