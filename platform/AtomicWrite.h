#pragma once
#include <QByteArray>
#include <QString>

// Every file the program writes (the ride log, the INI files, the waypoint
// list, the CSV, HTML, PDF and PNG files) is replaced whole: a reader, a
// crash or a full disk never finds half a file.
namespace AtomicWrite {

// Writes the bytes atomically: the old file stays intact until the new
// one is complete, and the new name is on the disk when it returns (the
// file and its folder are synced). Throws AppError("Cannot create file
// <path>") or AppError("Unable to write to <path>").
void replaceFile(const QString &path, const QByteArray &bytes);
// The same for a file that the program can make again at any time (the
// HTML preview): replaced whole and atomically, but not waited for until
// it is on the disk. Throws the same errors.
void replaceScratchFile(const QString &path, const QByteArray &bytes);

} // namespace AtomicWrite
