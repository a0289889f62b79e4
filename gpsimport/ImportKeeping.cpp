#include "ImportKeeping.h"
#include "AppError.h"
#include "KeptRideFiles.h"
#include "RideArchive.h"
#include "RideColumn.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace GpsImport {

namespace {

// The local start of a file's first listed ride: the kept copy's name.
QDateTime firstStart(const QList<ImportRow> &rows, const QByteArray &hash, const QTimeZone &zone)
{
    QDateTime first;
    for (const ImportRow &row : rows)
        if (row.hash == hash && row.start.isValid() && (!first.isValid() || row.start < first))
            first = row.start;
    return first.isValid() ? first.toTimeZone(zone) : QDateTime(QDate(1970, 1, 1), QTime(0, 0));
}

void keepBytes(KeptCopies &copies, const QByteArray &bytes, const QByteArray &hash, const QString &shown,
               const QList<ImportRow> &rows, const QString &root, const QTimeZone &zone)
{
    if (contentHash(bytes) != hash) {
        copies.failures.append(QStringLiteral("%1: soubor se od načtení změnil").arg(shown));
        return;
    }
    const QString name = keptFileName(firstStart(rows, hash, zone), hash, rideFileSuffix(bytes));
    try {
        writeKeptFile(root, name, bytes);
        copies.names.insert(hash, name);
    } catch (const AppError &e) {
        copies.failures.append(QStringLiteral("%1: %2").arg(shown, e.text()));
    }
}

bool hasKeptCopy(const ImportRegister &known, const QByteArray &hash, const QString &root)
{
    const RegisteredFile *file = known.file(hash);
    return file && !file->kept.isEmpty() && QFileInfo(root + file->kept).isFile();
}

} // namespace

KeptCopies keepRideFiles(const QList<ImportRow> &rows, const ImportRegister &known, const QString &keptRoot,
                         const QTimeZone &zone, const QStringList &hashArchives, const StopFlag &stop)
{
    KeptCopies copies;
    // What to read: plain files by path, members by their archive.
    QHash<QString, QByteArray> plain;
    QHash<QString, QHash<QString, QByteArray>> members;
    for (const ImportRow &row : rows) {
        if (row.hash.isEmpty() || copies.names.contains(row.hash))
            continue;
        if (hasKeptCopy(known, row.hash, keptRoot)) {
            copies.names.insert(row.hash, known.file(row.hash)->kept);
            continue;
        }
        if (row.member.isEmpty())
            plain.insert(row.source, row.hash);
        else
            members[row.source].insert(row.member, row.hash);
    }
    for (auto it = plain.cbegin(); it != plain.cend() && !stop.load(); ++it) {
        QFile file(it.key());
        if (!file.open(QIODevice::ReadOnly)) {
            copies.failures.append(QStringLiteral("%1: soubor nelze otevřít").arg(QFileInfo(it.key()).fileName()));
            continue;
        }
        keepBytes(copies, file.readAll(), it.value(), QFileInfo(it.key()).fileName(), rows, keptRoot, zone);
    }
    QSet<QString> archives(hashArchives.cbegin(), hashArchives.cend());
    for (auto it = members.cbegin(); it != members.cend(); ++it)
        archives.insert(it.key());
    for (const QString &archive : std::as_const(archives)) {
        if (stop.load())
            break;
        const QHash<QString, QByteArray> wanted = members.value(archive);
        ArchiveCallbacks callbacks;
        callbacks.member = [&](const ArchiveMember &m, QIODevice &content) {
            const auto hash = wanted.constFind(m.path);
            if (hash == wanted.cend())
                return;
            const QByteArray bytes = content.readAll();
            if (!memberReadFailed(content))
                keepBytes(copies, bytes, *hash, m.path, rows, keptRoot, zone);
        };
        if (!wanted.isEmpty())
            readArchive(archive, callbacks, stop);
        if (hashArchives.contains(archive))
            copies.archiveHashes.insert(archive, contentHashOfFile(archive, nullptr, &stop));
    }
    syncKeptFiles(keptRoot);
    return copies;
}

QStringList registerImport(ImportRegister &reg, const QList<ImportRow> &rows, const QList<qsizetype> &added,
                           const KeptCopies &copies, const QList<ReadArchive> &archives, const QDate &today)
{
    QHash<qsizetype, QString> linkOf;
    for (const qsizetype index : added) {
        const ImportRow &row = rows.at(index);
        const QString kept = copies.names.value(row.hash);
        if (!kept.isEmpty())
            linkOf.insert(index, keptFileLink(kept, row.rideInFile, row.ridesInFile));
    }
    // Each file's rides as listed, by their place in the file.
    QHash<QByteArray, QList<qsizetype>> ridesOf;
    QList<QByteArray> order;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const ImportRow &row = rows.at(i);
        if (row.hash.isEmpty() || !row.offered)
            continue;
        if (!ridesOf.contains(row.hash))
            order.append(row.hash);
        ridesOf[row.hash].append(i);
    }
    for (const QByteArray &hash : std::as_const(order)) {
        const RegisteredFile *before = reg.file(hash);
        RegisteredFile file = before ? *before : RegisteredFile{hash, today, QString(), QString(), {}};
        const ImportRow &first = rows.at(ridesOf[hash].constFirst());
        if (file.original.isEmpty())
            file.original = first.member.isEmpty() ? first.files.value(0) : first.member;
        if (copies.names.contains(hash))
            file.kept = copies.names.value(hash);
        const int count = std::max<int>(first.ridesInFile, int(file.rides.size()));
        file.rides.resize(count);
        for (const qsizetype index : ridesOf[hash]) {
            const ImportRow &row = rows.at(index);
            if (row.rideInFile < 0 || row.rideInFile >= count)
                continue;
            RegisteredRide &ride = file.rides[row.rideInFile];
            ride.start = row.start;
            ride.cells = row.cells.mid(0, RideColumn::CountWithBike);
            if (linkOf.contains(index))
                ride.link = linkOf.value(index);
        }
        reg.add(file);
    }
    for (const ReadArchive &archive : archives) {
        const QByteArray hash = archive.hash.isEmpty() ? copies.archiveHashes.value(archive.path) : archive.hash;
        const bool whole = !archive.members.isEmpty()
                           && std::all_of(archive.members.cbegin(), archive.members.cend(),
                                          [&reg](const QByteArray &m) { return reg.knows(m); });
        if (whole && !hash.isEmpty())
            reg.addArchive(hash, today, archive.bytes, QFileInfo(archive.path).fileName(), archive.members);
    }
    QStringList links;
    for (const qsizetype index : added)
        links.append(linkOf.value(index));
    return links;
}

} // namespace GpsImport
