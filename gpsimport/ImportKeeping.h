#pragma once
#include "ImportRegister.h"
#include "ImportRules.h"
#include "RecordedRide.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimeZone>

// What an import leaves behind besides the rides: a kept copy of every
// added ride's file and the register of the files read.
namespace GpsImport {

struct KeptCopies
{
    QHash<QByteArray, QString> names;          // the kept copy of each file hash
    QHash<QString, QByteArray> archiveHashes;  // the hash of each archive asked for
    QStringList failures;                      // "<file>: <reason>", in Czech
};

// Writes the kept copies of the files of `rows` that have none yet (their
// register entry has no kept copy, or it is gone from the disk), reading
// each from where it was found: a plain file or an archive's member (the
// archive read once for all its members). A file whose content is no
// longer the one listed is not kept. `hashArchives` are hashed whole on the
// way. Everything written is on the disk when it returns.
KeptCopies keepRideFiles(const QList<ImportRow> &rows, const ImportRegister &known, const QString &keptRoot,
                         const QTimeZone &zone, const QStringList &hashArchives, const StopFlag &stop);

// An archive read in the import: its path, size, hash when known, and the
// hashes of its ride files.
struct ReadArchive
{
    QString path;
    qint64 bytes = 0;
    QByteArray hash;
    QList<QByteArray> members;
};

// Enters the files of the listed rows into the register: each file once,
// with all its listed rides; the added ones (`added`, by their place in
// `rows`) get their link, the others keep the link the register had or
// none. Archives whose every ride file is then known are entered too. The
// links of the added rows, in the order of `added`.
QStringList registerImport(ImportRegister &reg, const QList<ImportRow> &rows, const QList<qsizetype> &added,
                           const KeptCopies &copies, const QList<ReadArchive> &archives, const QDate &today);

} // namespace GpsImport
