#include "ImportRules.h"
#include "LocaleService.h"
#include "NumberText.h"
#include "RideArithmetic.h"
#include "RideColumn.h"
#include "RideSources.h"
#include "StringTable.h"
#include "TimeText.h"

#include <QFile>
#include <QBuffer>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>

namespace GpsImport {

namespace {

constexpr qint64 kMinutesInDay = 24 * 60;
constexpr qint64 kSameStartSeconds = 5 * 60;
// Shorter records are no rides.
constexpr double kShortestSeconds = 60;
constexpr double kShortestMetres = 100;

// km of two rides that are the same ride: 1 % of the one as logged, at
// least 0.1 km.
bool closeKm(double logged, double found)
{
    return std::abs(found - logged) <= std::max(0.01 * std::abs(logged), 0.1) + 1e-9;
}

std::optional<double> kmOf(const QStringList &cells)
{
    return NumberText::parse(cells.value(RideColumn::Km));
}

// The km of a ride as the log gets them; none for a distance of 0 km.
std::optional<double> kmOf(const RecordedRide &ride)
{
    if (!ride.metres)
        return std::nullopt;
    const double km = RoundTo2(*ride.metres / 1000.0);
    return km > 0 ? std::optional(km) : std::nullopt;
}

bool isVeryShort(const RecordedRide &ride)
{
    return ride.seconds < kShortestSeconds || (ride.metres && *ride.metres > 0 && *ride.metres < kShortestMetres);
}

// Time texts compared as times, so that "1:05" and "01:05" are one time;
// texts that are no time compare as they stand.
bool sameTime(const QString &a, const QString &b)
{
    const auto x = TimeText::parse(a);
    const auto y = TimeText::parse(b);
    if (x && y)
        return x->hours == y->hours && x->minutes == y->minutes;
    return !x && !y && a.trimmed().remove(u':') == b.trimmed().remove(u':');
}

ImportRow problemRow(const QString &fileName, const QString &problem)
{
    ImportRow row;
    row.cells = QStringList(RideColumn::Count, QString());
    row.files = {fileName};
    row.remarks = {problem};
    row.offered = false;
    row.ticked = false;
    return row;
}

} // namespace

RideCells cellsOf(const RecordedRide &ride, const QTimeZone &zone)
{
    RideCells made;
    QStringList &cells = made.cells;
    cells = QStringList(RideColumn::Count, QString());
    cells[RideColumn::Date] = LocaleService::instance().formatDate(ride.start.toTimeZone(zone).date());
    // The log holds only what Windows-1250 can: a device's name with an
    // emoji would keep the whole log from being saved.
    cells[RideColumn::Name] = encodableName(ride.name);
    // The bike the file names: the log takes it when the rider has a bike
    // of that name.
    if (!ride.bike.isEmpty()) {
        cells.resize(RideColumn::CountWithBike);
        cells[RideColumn::Bike] = encodableName(ride.bike);
    }
    const std::optional<double> km = kmOf(ride);
    if (km)
        cells[RideColumn::Km] = NumberText::format(*km);
    // Whole minutes, halves up.
    const qint64 minutes = qint64(std::floor(ride.seconds / 60.0 + 0.5));
    if (minutes >= kMinutesInDay) {
        made.tooLong = true;
        if (km && ride.seconds > 0)
            cells[RideColumn::Average] = NumberText::format(RoundTo2(*ride.metres / 1000.0 / (ride.seconds / 3600.0)));
        return made;
    }
    // Zero-padded in the time editor's two hour places, as a typed time.
    cells[RideColumn::Time] = TimeText::zeroFilled(
        TimeText::placeIntoMask(QString::number(minutes / 60) + u':' + QString::number(minutes % 60), 2));
    if (km)
        cells[RideColumn::Average] =
            RideArithmetic::average(cells[RideColumn::Km], cells[RideColumn::Time]).value_or(QString());
    return made;
}

QList<ImportRow> rowsOf(const QString &fileName, const FileRides &found, const QTimeZone &zone)
{
    QList<ImportRow> rows;
    if (found.rides.isEmpty()) {
        rows.append(problemRow(fileName, found.problem.isEmpty() ? QStringLiteral("soubor neobsahuje žádnou jízdu")
                                                                 : found.problem));
        return rows;
    }
    for (const RecordedRide &ride : found.rides) {
        ImportRow row;
        row.start = ride.start;
        RideCells made = cellsOf(ride, zone);
        row.cells = std::move(made.cells);
        row.files = {fileName};
        if (!ride.otherSport.isEmpty()) {
            row.otherSport = true;
            row.ticked = false;
            row.remarks.append(ride.otherSport);
        }
        for (const QString &remark : ride.remarks)
            if (!row.remarks.contains(remark))
                row.remarks.append(remark);
        if (row.cells[RideColumn::Km].isEmpty() && !row.remarks.contains(QString::fromUtf16(kRemarkNoDistance)))
            row.remarks.append(QString::fromUtf16(kRemarkNoDistance));
        if (made.tooLong)
            row.remarks.append(QString::fromUtf16(kRemarkTooLong));
        if (isVeryShort(ride)) {
            row.ticked = false;
            row.remarks.append(QString::fromUtf16(kRemarkVeryShort));
        }
        rows.append(std::move(row));
    }
    return rows;
}

LoggedRides::LoggedRides(const StringTable &log)
{
    for (int row = log.headingRows(); row < log.tableRowCount(); ++row) {
        const QString date = log.cell(RideColumn::Date, row).trimmed();
        if (date.isEmpty())
            continue;
        m_byDate[date].append({NumberText::parse(log.cellView(RideColumn::Km, row)),
                               log.cell(RideColumn::Time, row)});
    }
}

bool LoggedRides::contains(const QStringList &cells) const
{
    const auto found = m_byDate.constFind(cells.value(RideColumn::Date));
    if (found == m_byDate.constEnd())
        return false;
    const std::optional<double> km = kmOf(cells);
    for (const Logged &logged : *found) {
        if (km && logged.km && closeKm(*logged.km, *km))
            return true;
        if (!km && !logged.km && sameTime(logged.time, cells.value(RideColumn::Time)))
            return true;
    }
    return false;
}

bool sameRide(const ImportRow &a, const ImportRow &b)
{
    if (!a.start.isValid() || !b.start.isValid() || std::abs(a.start.secsTo(b.start)) > kSameStartSeconds
        || a.cells.value(RideColumn::Date) != b.cells.value(RideColumn::Date) || a.otherSport != b.otherSport)
        return false;
    const auto x = kmOf(a.cells);
    const auto y = kmOf(b.cells);
    if (x && y)
        return closeKm(*x, *y);
    return !x && !y && sameTime(a.cells.value(RideColumn::Time), b.cells.value(RideColumn::Time));
}

qsizetype insertionPlace(const QList<ImportRow> &rows, const ImportRow &row)
{
    if (!row.start.isValid())
        return rows.size();
    return std::partition_point(rows.cbegin(), rows.cend(),
                                [&](const ImportRow &r) { return r.start.isValid() && r.start <= row.start; })
        - rows.cbegin();
}

// ---------------------------------------------------------------- one file, whatever it is

namespace {

enum class Kind { Fit, Gpx, Tcx, Other };

// FIT files carry ".FIT" at bytes 8 to 11; the XML ones are told by
// their root element.
Kind kindOf(QIODevice &file)
{
    const QByteArray head = file.peek(12);
    if (head.size() == 12 && head.mid(8, 4) == ".FIT")
        return Kind::Fit;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement) {
            if (xml.name() == QLatin1String("gpx"))
                return Kind::Gpx;
            if (xml.name() == QLatin1String("TrainingCenterDatabase"))
                return Kind::Tcx;
            return Kind::Other;
        }
    }
    return Kind::Other;
}

} // namespace

FileRides readRideFile(const QString &path, const QTimeZone &zone, const StopFlag &stop)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {{}, QStringLiteral("soubor neexistuje")};
    if (info.isDir())
        return {{}, QStringLiteral("je to složka, ne soubor")};
    // A FIFO, a socket or a device would make the reading wait on it.
    if (!info.isFile())
        return {{}, QStringLiteral("není to obyčejný soubor")};
    if (info.size() == 0)
        return {{}, QStringLiteral("soubor je prázdný")};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, file.error() == QFileDevice::PermissionsError
                        ? QStringLiteral("soubor nelze číst: chybí oprávnění")
                        : QStringLiteral("soubor nelze otevřít (%1)").arg(file.errorString())};
    return readRideDevice(file, zone, stop);
}

FileRides readRideDevice(QIODevice &in, const QTimeZone &zone, const StopFlag &stop)
{
    const Kind kind = kindOf(in);
    if (!in.seek(0))
        return {{}, QStringLiteral("soubor nelze číst (%1)").arg(in.errorString())};
    switch (kind) {
    case Kind::Fit:
        return readFit(in, stop);
    case Kind::Gpx:
        return readGpx(in, zone, stop);
    case Kind::Tcx:
        return readTcx(in, stop);
    case Kind::Other:
        break;
    }
    return {{}, QStringLiteral("není to záznam jízdy (FIT, GPX ani TCX)")};
}

QString rideFileSuffix(const QByteArray &bytes)
{
    QBuffer in;
    in.setData(bytes.left(64 * 1024));
    in.open(QIODevice::ReadOnly);
    switch (kindOf(in)) {
    case Kind::Fit: return QStringLiteral("fit");
    case Kind::Gpx: return QStringLiteral("gpx");
    case Kind::Tcx: return QStringLiteral("tcx");
    case Kind::Other: break;
    }
    return QStringLiteral("dat");
}

} // namespace GpsImport
