#include "KeptRide.h"

#include "ImportRules.h"
#include "KeptRideFiles.h"
#include "RideArchive.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>

namespace KeptRide {

int rideOfLink(const QString &link)
{
    const qsizetype hash = link.lastIndexOf(u'#');
    if (hash < 0)
        return 0;
    bool ok = false;
    const int n = link.mid(hash + 1).toInt(&ok);
    return ok && n >= 1 ? n - 1 : 0;
}

namespace {

// The kept copy's bytes unpacked; empty with the reason when they cannot be had.
QByteArray unpackedBytes(const QString &path, const QString &shown, QString &problem)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        problem = QStringLiteral("Uložený záznam jízdy %1 chybí.").arg(shown);
        return {};
    }
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        problem = QStringLiteral("Uložený záznam jízdy %1 nejde přečíst (%2).")
                      .arg(shown, info.isFile() ? file.errorString() : QStringLiteral("není to soubor"));
        return {};
    }
    const QByteArray packed = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        problem = QStringLiteral("Uložený záznam jízdy %1 nejde přečíst (%2).").arg(shown, file.errorString());
        return {};
    }
    QString unpackProblem;
    QByteArray bytes = GpsImport::unpackMember(packed, GpsImport::ArchiveLimits{}, &unpackProblem);
    if (bytes.isEmpty())
        problem = QStringLiteral("Uložený záznam jízdy %1 je poškozený: %2.")
                      .arg(shown, unpackProblem.isEmpty() ? QStringLiteral("je prázdný") : unpackProblem);
    return bytes;
}

} // namespace

Loaded load(const QString &keptFolder, const QString &link, const QTimeZone &zone)
{
    Loaded loaded;
    loaded.keptName = GpsImport::keptNameOfLink(link);
    const QString shown = QDir::toNativeSeparators(QStringLiteral("zaznamy/") + loaded.keptName);
    // A link is the program's own, but the log is a text file the rider
    // may edit: nothing outside the folder of kept files is read.
    const QString cleaned = QDir::cleanPath(loaded.keptName);
    if (loaded.keptName.isEmpty() || QDir::isAbsolutePath(cleaned) || cleaned.startsWith(QLatin1String(".."))) {
        loaded.problem = QStringLiteral("Odkaz na uložený záznam jízdy „%1“ je chybný.").arg(link);
        return loaded;
    }
    const QByteArray bytes = unpackedBytes(QDir(keptFolder).filePath(cleaned), shown, loaded.problem);
    if (!loaded.problem.isEmpty())
        return loaded;
    const GpsImport::StopFlag stop{false};
    const int ride = rideOfLink(link);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const GpsImport::FileRides rides = GpsImport::readRideDevice(buffer, zone, stop);
    if (ride >= rides.rides.size()) {
        loaded.problem = rides.problem.isEmpty()
            ? QStringLiteral("V uloženém záznamu %1 není jízda č. %2.").arg(shown).arg(ride + 1)
            : QStringLiteral("Uložený záznam jízdy %1 nejde přečíst: %2.").arg(shown, rides.problem);
        return loaded;
    }
    loaded.recorded = rides.rides.at(ride);
    loaded.importCells = GpsImport::cellsOf(*loaded.recorded, zone).cells;
    buffer.seek(0);
    loaded.track = RideTrack::readTrack(buffer, ride, zone, stop);
    if (!loaded.track.problem.isEmpty())
        loaded.problem = QStringLiteral("Trasu jízdy z uloženého záznamu %1 nejde přečíst: %2.")
                             .arg(shown, loaded.track.problem);
    return loaded;
}

} // namespace KeptRide
