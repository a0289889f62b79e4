#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QString>

// The copies the program keeps of imported ride files, compressed with
// gzip, one folder a year in the folder of kept files: so that a ride's
// track can be read again whatever became of the file it came from.
namespace GpsImport {

// The kept copy's name, relative to the folder of kept files:
// "<year>/<yyyy-MM-dd-HHmm>-<the hash's first 8 characters>.<suffix>.gz",
// from the local start of the file's first ride.
QString keptFileName(const QDateTime &localStart, const QByteArray &hash, const QString &suffix);
// What a ride's row holds to find its kept copy: the name, and "#<n>"
// after it for a file of several rides.
QString keptFileLink(const QString &keptName, int rideInFile, int ridesInFile);
// The name of the kept copy a link names.
QString keptNameOfLink(const QString &link);

QByteArray gzipped(QByteArrayView bytes);

// Writes the kept copy: the folder made when needed, the file replaced
// whole (an existing copy of the same name is the same content and is
// left). Not synced: syncKeptFiles does that once for many. Throws
// AppError.
void writeKeptFile(const QString &root, const QString &name, const QByteArray &bytes);
// Everything written into the folder of kept files is on the disk.
void syncKeptFiles(const QString &root);

} // namespace GpsImport
