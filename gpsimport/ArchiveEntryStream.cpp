#include "ArchiveEntryStream.h"

#include <archive.h>

#include <algorithm>
#include <cstring>

namespace GpsImport {

namespace {
// "1 GiB", "64 MiB", "300 KiB", "12 B": a limit as the rider reads it.
QString sizeText(qint64 bytes)
{
    static constexpr struct
    {
        qint64 unit;
        const char *name;
    } units[] = {{qint64(1) << 30, "GiB"}, {qint64(1) << 20, "MiB"}, {qint64(1) << 10, "KiB"}};
    for (const auto &u : units)
        if (bytes >= u.unit && bytes % u.unit == 0)
            return QStringLiteral("%1 %2").arg(bytes / u.unit).arg(QLatin1String(u.name));
    return QStringLiteral("%1 B").arg(bytes);
}
} // namespace

EntryStream::EntryStream(struct archive *reader, const ArchiveLimits &limits, const StopFlag &stop,
                         const QString &upstreamFailure)
    : m_reader(reader),
      m_limits(limits),
      m_stop(stop),
      m_upstreamFailure(upstreamFailure),
      m_packedAtStart(archive_filter_bytes(reader, -1))
{
}

QString EntryStream::sizeLimitReason(qint64 limit)
{
    return QStringLiteral("rozbaleno by mělo víc než %1").arg(sizeText(limit));
}

QString EntryStream::ratioLimitReason(qint64 ratio)
{
    return QStringLiteral("rozbaleno by mělo víc než %1násobek zabalené velikosti").arg(ratio);
}

QString EntryStream::damageReason(const char *libarchiveError)
{
    const QString error = QString::fromUtf8(libarchiveError ? libarchiveError : "");
    // zlib's "no progress possible" (-5): the packed data ended early.
    for (const char *word : {"truncat", "premature", "unexpected end", "end of file", "failed (-5)"})
        if (error.contains(QLatin1String(word), Qt::CaseInsensitive))
            return QStringLiteral("archiv je neúplný");
    return QStringLiteral("archiv je poškozený");
}

void EntryStream::fail(const QString &reason, bool damaged)
{
    m_reason = reason;
    m_damaged = damaged;
    m_block = {};
}

// Takes the next block from libarchive, after checking the stop and the
// limits against it: a block that passes a limit is not handed on.
bool EntryStream::fetch()
{
    while (!m_end && !failed()) {
        if (m_stop.load(std::memory_order_relaxed)) {
            fail(QStringLiteral("čtení zastaveno"));
            return false;
        }
        const void *data = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        const int status = archive_read_data_block(m_reader, &data, &size, &offset);
        if (status == ARCHIVE_EOF) {
            m_end = true;
            return false;
        }
        // A warning here is a bad checksum: the bytes are not what was packed.
        if (status < ARCHIVE_OK || offset != m_unpacked) {
            if (!m_upstreamFailure.isEmpty())
                fail(m_upstreamFailure);
            else
                fail(damageReason(archive_error_string(m_reader)), true);
            return false;
        }
        const qint64 unpacked = m_unpacked + qint64(size);
        if (unpacked > m_limits.memberBytes) {
            fail(sizeLimitReason(m_limits.memberBytes));
            return false;
        }
        const qint64 packed = archive_filter_bytes(m_reader, -1) - m_packedAtStart;
        if (unpacked > m_limits.ratio * std::max<qint64>(packed, 0) + kRatioSlackBytes) {
            fail(ratioLimitReason(m_limits.ratio));
            return false;
        }
        m_unpacked = unpacked;
        if (size > 0) {
            m_block = QByteArrayView(static_cast<const char *>(data), qsizetype(size));
            return true;
        }
    }
    return false;
}

QByteArrayView EntryStream::ahead()
{
    if (m_headUsed < m_head.size())
        return QByteArrayView(m_head).sliced(m_headUsed);
    if (m_block.isEmpty() && !fetch())
        return {};
    return m_block;
}

void EntryStream::consume(qsizetype bytes)
{
    if (m_headUsed < m_head.size())
        m_headUsed += bytes;
    else
        m_block = m_block.sliced(bytes);
}

QByteArrayView EntryStream::head(qsizetype bytes)
{
    while (m_head.size() < bytes && m_headUsed == 0) {
        if (m_block.isEmpty() && !fetch())
            break;
        const qsizetype take = std::min(bytes - m_head.size(), m_block.size());
        m_head.append(m_block.first(take));
        m_block = m_block.sliced(take);
    }
    return QByteArrayView(m_head).first(std::min(bytes, m_head.size()));
}

bool memberReadFailed(const QIODevice &content)
{
    const auto *device = dynamic_cast<const EntryDevice *>(&content);
    return device && device->stream().failed();
}

EntryDevice::EntryDevice(EntryStream &stream) : m_stream(stream)
{
    open(QIODevice::ReadOnly);
}

qint64 EntryDevice::bytesAvailable() const
{
    return QIODevice::bytesAvailable() + m_stream.ahead().size();
}

qint64 EntryDevice::readData(char *data, qint64 maxSize)
{
    qint64 done = 0;
    while (done < maxSize) {
        const QByteArrayView block = m_stream.ahead();
        if (block.isEmpty())
            break;
        const qsizetype n = qsizetype(std::min<qint64>(block.size(), maxSize - done));
        std::memcpy(data + done, block.data(), size_t(n));
        m_stream.consume(n);
        done += n;
    }
    if (done == 0 && m_stream.failed()) {
        setErrorString(m_stream.reason());
        return -1;
    }
    return done;
}

} // namespace GpsImport
