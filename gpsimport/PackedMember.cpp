#include "ArchiveEntryStream.h"
#include "RideArchive.h"

#include <libdeflate.h>
#include <zlib.h>

#include <memory>

namespace GpsImport {

namespace {

struct Decompressor
{
    libdeflate_decompressor *d = libdeflate_alloc_decompressor();
    ~Decompressor() { libdeflate_free_decompressor(d); }
};

QString damaged()
{
    return EntryStream::damageReason("gzip");
}

// Several gzip members one after another (rare for a ride file): zlib,
// member after member, within the bound.
QByteArray unpackStreamed(QByteArrayView packed, qint64 bound, QString *problem)
{
    z_stream z{};
    if (inflateInit2(&z, 31) != Z_OK) {
        *problem = damaged();
        return {};
    }
    const auto end = qScopeGuard([&z] { inflateEnd(&z); });
    QByteArray out;
    QByteArray block(256 * 1024, Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(packed.data()));
    z.avail_in = uInt(packed.size());
    while (z.avail_in > 0) {
        z.next_out = reinterpret_cast<Bytef *>(block.data());
        z.avail_out = uInt(block.size());
        const int result = inflate(&z, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END) {
            *problem = damaged();
            return {};
        }
        out.append(block.constData(), block.size() - qsizetype(z.avail_out));
        if (out.size() > bound) {
            *problem = bound == 0 ? damaged() : EntryStream::sizeLimitReason(bound);
            return {};
        }
        if (result == Z_STREAM_END && z.avail_in > 0 && inflateReset(&z) != Z_OK)
            break;
        if (result == Z_OK && z.avail_out != 0 && z.avail_in == 0) {
            *problem = EntryStream::damageReason("truncated");
            return {};
        }
    }
    return out;
}

} // namespace

QByteArray unpackMember(QByteArrayView packed, const ArchiveLimits &limits, QString *problem)
{
    const qint64 byRatio = limits.ratio * packed.size() + EntryStream::kRatioSlackBytes;
    const qint64 bound = std::min(limits.memberBytes, byRatio);
    const auto limitReason = [&] {
        return byRatio < limits.memberBytes ? EntryStream::ratioLimitReason(limits.ratio)
                                            : EntryStream::sizeLimitReason(limits.memberBytes);
    };
    if (packed.size() < 18) {
        *problem = damaged();
        return {};
    }
    // The size the stream's trailer tells (modulo 4 GiB): one allocation
    // and libdeflate's fast unpacking, when it is right.
    const auto *tail = reinterpret_cast<const uchar *>(packed.data() + packed.size() - 4);
    const quint32 told = quint32(tail[0]) | quint32(tail[1]) << 8 | quint32(tail[2]) << 16 | quint32(tail[3]) << 24;
    if (told <= quint64(bound)) {
        static thread_local Decompressor decompressor;
        QByteArray out(qsizetype(told), Qt::Uninitialized);
        size_t in = 0, got = 0;
        const libdeflate_result result = libdeflate_gzip_decompress_ex(
            decompressor.d, packed.data(), size_t(packed.size()), out.data(), size_t(out.size()), &in, &got);
        if (result == LIBDEFLATE_SUCCESS && in == size_t(packed.size()) && got == told)
            return out;
        if (result == LIBDEFLATE_BAD_DATA) {
            *problem = damaged();
            return {};
        }
    }
    QString streamed;
    QByteArray out = unpackStreamed(packed, bound, &streamed);
    if (!streamed.isEmpty())
        *problem = streamed == EntryStream::sizeLimitReason(bound) ? limitReason() : streamed;
    return out;
}

} // namespace GpsImport
