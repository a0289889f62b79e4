#include "KeptRideFiles.h"
#include "AppError.h"
#include "AtomicWrite.h"

#include <QDir>
#include <QFileInfo>

#include <zlib.h>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace GpsImport {

QString keptFileName(const QDateTime &localStart, const QByteArray &hash, const QString &suffix)
{
    return QStringLiteral("%1/%2-%3.%4.gz")
        .arg(localStart.date().year(), 4, 10, QLatin1Char('0'))
        .arg(localStart.toString(QStringLiteral("yyyy-MM-dd-HHmm")), QString::fromLatin1(hash.left(8)), suffix);
}

QString keptFileLink(const QString &keptName, int rideInFile, int ridesInFile)
{
    return ridesInFile > 1 ? QStringLiteral("%1#%2").arg(keptName).arg(rideInFile + 1) : keptName;
}

QString keptNameOfLink(const QString &link)
{
    const qsizetype mark = link.lastIndexOf(u'#');
    return mark < 0 ? link : link.left(mark);
}

QByteArray gzipped(QByteArrayView bytes)
{
    z_stream z{};
    // 31: a gzip header and trailer; level 6, zlib's usual balance.
    if (deflateInit2(&z, 6, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw AppError(QStringLiteral("Out of memory"));
    QByteArray out(qsizetype(deflateBound(&z, uLong(bytes.size()))), Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.data()));
    z.avail_in = uInt(bytes.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    const int result = deflate(&z, Z_FINISH);
    out.truncate(qsizetype(z.total_out));
    deflateEnd(&z);
    if (result != Z_STREAM_END)
        throw AppError(QStringLiteral("Out of memory"));
    return out;
}

void writeKeptFile(const QString &root, const QString &name, const QByteArray &bytes)
{
    const QString path = root + name;
    if (QFileInfo(path).isFile())
        return;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        throw AppError(QStringLiteral("Cannot create file %1").arg(path));
    AtomicWrite::replaceScratchFile(path, gzipped(bytes));
}

void syncKeptFiles(const QString &root)
{
#ifdef Q_OS_LINUX
    const int fd = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::syncfs(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(root);
#endif
}

} // namespace GpsImport
