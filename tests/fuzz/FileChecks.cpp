#include "FileChecks.h"
#include "AnsiFile.h"
#include "AppError.h"
#include "HeapMeter.h"
#include "IniFile.h"
#include "BikeGarage.h"
#include "BikeMileage.h"
#include "RecordedRide.h"
#include "RideArchive.h"
#include "CsvRecords.h"
#include "StringTable.h"
#include "TableFile.h"
#include "WaypointList.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTimeZone>

#include <cmath>

namespace FileChecks {

namespace {

// Memory a table file may take while loading: its texts decoded and the
// cells' bookkeeping grow with the file, the rest is fixed.
constexpr qint64 kBytesPerInputByte = 64;
constexpr qint64 kFixedBytes = 2 << 20;

QString failure(const AppError &e)
{
    return excerpt(e.text(), 300);
}

QString firstDifference(const QByteArray &a, const QByteArray &b)
{
    qsizetype i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    return QStringLiteral("first difference at byte %1 of %2 / %3 (%4 / %5)")
        .arg(i)
        .arg(a.size())
        .arg(b.size())
        .arg(QString::fromLatin1(a.mid(i, 24).toPercentEncoding()),
             QString::fromLatin1(b.mid(i, 24).toPercentEncoding()));
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool putFile(const QString &path, QByteArrayView bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes.data(), bytes.size()) == bytes.size();
}

// The file's lines, each with its own line end.
QList<QByteArray> linesOf(const QByteArray &bytes)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' || (bytes[i] == '\r' && !(i + 1 < bytes.size() && bytes[i + 1] == '\n'))) {
            lines.append(bytes.mid(start, i + 1 - start));
            start = i + 1;
        }
    }
    if (start < bytes.size())
        lines.append(bytes.mid(start));
    return lines;
}

bool isSubsequence(const QList<QByteArray> &part, const QList<QByteArray> &whole)
{
    qsizetype k = 0;
    for (const QByteArray &line : whole)
        if (k < part.size() && part[k] == line)
            ++k;
    return k == part.size();
}

bool sameName(const QString &a, const QString &b)
{
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

QStringList without(QStringList names, const QString &name)
{
    names.removeIf([&](const QString &n) { return sameName(n, name); });
    return names;
}

// Key names as the rider's file spells them: what stands before "=" on a
// line that is no header or comment.
QStringList keyNames(QByteArrayView input)
{
    QStringList keys;
    for (const QString &line : AnsiFile::splitLines(AnsiFile::decode(input))) {
        const QString t = line.trimmed();
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0 || t.startsWith(u'[') || t.startsWith(u';'))
            continue;
        const QString key = line.left(eq).trimmed();
        if (!key.isEmpty() && !keys.contains(key, Qt::CaseInsensitive))
            keys.append(key);
        if (keys.size() == 8)
            break;
    }
    return keys;
}

} // namespace

QString tableFile(QByteArrayView input, const QString &)
{
    StringTable table;
    {
        const HeapMeter meter;
        try {
            TableFile::read(table, input);
        } catch (const AppError &) {
            // Refused or partly loaded: what was read stays and is saved.
        }
        const qint64 used = meter.used();
        if (used > kBytesPerInputByte * input.size() + kFixedBytes)
            return QStringLiteral("loading %1 bytes took %2 bytes of memory (%3)")
                .arg(input.size())
                .arg(used)
                .arg(QString::fromLatin1(HeapMeter::kind()));
    }
    QByteArray saved;
    try {
        saved = AnsiFile::encode(TableFile::text(table));
    } catch (const AppError &e) {
        return QStringLiteral("the loaded table cannot be saved: ") + failure(e);
    }
    StringTable again;
    try {
        TableFile::read(again, saved);
    } catch (const AppError &e) {
        return QStringLiteral("the saved file cannot be read back: ") + failure(e);
    }
    const QByteArray resaved = AnsiFile::encode(TableFile::text(again));
    if (resaved != saved)
        return QStringLiteral("saving what was read back changes the file: ") + firstDifference(saved, resaved);
    return {};
}

// The same bytes as the rider's bikes: whatever the file holds, the
// garage read from it keeps its bounds, and a bike added is there when
// the file is read again, beside every bike read before.
QString bikesFile(const QString &path)
{
    Bikes::Garage garage = Bikes::Garage::read(path);
    for (const Bikes::Bike &b : garage.bikes())
        if (b.name.isEmpty() || !(b.kmBefore >= 0 && b.kmBefore <= Bikes::Garage::kMaxKm))
            return QStringLiteral("bike [%1] read out of bounds").arg(b.section);
    const StringTable noRides;
    const Bikes::Mileage mileage(noRides);
    for (const Bikes::Part &p : garage.parts()) {
        if (p.events.isEmpty() || !garage.bikeBySection(p.bike()))
            return QStringLiteral("part [%1] read without a mounting or a bike").arg(p.section);
        const Bikes::PartStatus status = Bikes::statusOf(p, mileage, garage, QDate(2025, 1, 1));
        if (status.total != 0 || status.text.isEmpty())
            return QStringLiteral("part [%1] has km without rides").arg(p.section);
    }
    garage.setWriter(Bikes::writerThrough(nullptr, path));
    Bikes::Bike fresh;
    fresh.name = QStringLiteral("Nové kolo %1").arg(garage.bikes().size());
    if (!garage.bikeNameProblem(fresh.name).isEmpty())
        return {};
    try {
        garage.addBike(fresh);
    } catch (const AppError &e) {
        return QStringLiteral("adding a bike failed: ") + failure(e);
    }
    const Bikes::Garage again = Bikes::Garage::read(path);
    for (const Bikes::Bike &b : garage.bikes())
        if (!again.bikeNamed(b.name))
            return QStringLiteral("bike \"%1\" is gone after a bike was added").arg(b.name);
    return {};
}

QString iniFile(QByteArrayView input, const QString &folder)
{
    const QString path = QDir(folder).filePath(QStringLiteral("store.ini"));
    if (!putFile(path, input))
        return QStringLiteral("cannot prepare %1").arg(path);

    // Everything reads.
    const QStringList sections = IniFile::sections(path);
    QStringList keys = keyNames(input);
    for (const QString &section : sections.mid(0, 8)) {
        IniFile::hasKeys(path, section);
        for (const QString &key : keys) {
            const QString value = IniFile::readString(path, section, key);
            if (value != value.trimmed() || value.contains(u'\n') || value.contains(u'\r'))
                return QStringLiteral("value of [%1] %2 is not one trimmed line").arg(section, key);
            IniFile::parseInteger(value, 0);
        }
    }

    if (const QString bikes = bikesFile(path); !bikes.isEmpty())
        return bikes;
    if (!putFile(path, input))
        return QStringLiteral("cannot prepare %1").arg(path);

    // A key written reads back, and only its own line changes. The last
    // byte of the input picks a section and key of the file or new ones.
    const int choice = input.isEmpty() ? 0 : uchar(input.back()) % 4;
    QStringList usable = sections;
    usable.removeIf([](const QString &s) { return !IniFile::isUsableSectionName(s); });
    const QString section = choice == 1 || usable.isEmpty()
        ? QStringLiteral("Nová trasa – Říčany")
        : usable.at(choice == 3 ? usable.size() - 1 : 0);
    const QString key = choice == 2 || keys.isEmpty() ? QStringLiteral("Trasa") : keys.first();
    const QString value = QStringLiteral(" Brno - Tišnov\r\n[x] ; a=b\t");
    const QString expected = QStringLiteral("Brno - Tišnov  [x] ; a=b");

    const QByteArray before = readFile(path);
    try {
        IniFile::writeString(path, section, key, value);
    } catch (const AppError &e) {
        return QStringLiteral("writing [%1] %2 failed: %3").arg(section, key, failure(e));
    }
    const QByteArray after = readFile(path);
    const QString read = IniFile::readString(path, section, key);
    if (read != expected)
        return QStringLiteral("[%1] %2 was written and reads back as \"%3\"").arg(section, key, read);
    qsizetype same = 0;
    while (same < before.size() && same < after.size() && before[same] == after[same])
        ++same;
    qsizetype tail = 0;
    while (tail < before.size() - same && tail < after.size() - same
           && before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    const QByteArray removed = before.mid(same, before.size() - same - tail);
    const QByteArray added = after.mid(same, after.size() - same - tail);
    if (removed.contains('\n') || removed.contains('\r'))
        return QStringLiteral("writing [%1] %2 changed more than one line: ").arg(section, key)
            + firstDifference(before, after);
    if (added.count("\r\n") > 3)
        return QStringLiteral("writing [%1] %2 added more than a header and a key: ").arg(section, key)
            + firstDifference(before, after);
    const QStringList sectionsAfter = IniFile::sections(path);
    if (without(sectionsAfter, section) != without(sections, section))
        return QStringLiteral("writing [%1] %2 changed the other sections").arg(section, key);

    // A section erased is gone with its lines; every other line stays.
    try {
        IniFile::eraseSection(path, section);
    } catch (const AppError &e) {
        return QStringLiteral("erasing [%1] failed: %2").arg(section, failure(e));
    }
    const QByteArray erased = readFile(path);
    if (!isSubsequence(linesOf(erased), linesOf(after)))
        return QStringLiteral("erasing [%1] changed lines it kept: ").arg(section) + firstDifference(after, erased);
    if (IniFile::sections(path) != without(sectionsAfter, section))
        return QStringLiteral("erasing [%1] left it or took another section").arg(section);
    if (!IniFile::readString(path, section, key, QStringLiteral("<none>")).startsWith(u'<'))
        return QStringLiteral("erasing [%1] left its key %2").arg(section, key);
    return {};
}

QString waypointFile(QByteArrayView input, const QString &folder)
{
    const QDir dir(folder);
    const QString first = dir.filePath(QStringLiteral("import.tvb"));
    const QString second = dir.filePath(QStringLiteral("default.tvb"));
    if (!putFile(first, input))
        return QStringLiteral("cannot prepare %1").arg(first);

    const auto newList = [] {
        auto list = std::make_unique<StringTable>();
        list->setTableColumnCount(1);
        list->setTableRowCount(1);
        return list;
    };
    const auto list = newList();
    try {
        LoadWaypointFile(*list, first);
        // The names after a NUL byte are not read: that must be said.
        if (input.contains('\0'))
            return QStringLiteral("a NUL byte ended the list without a word");
    } catch (const AppError &e) {
        if (!input.contains('\0'))
            return QStringLiteral("loading failed: ") + failure(e);
    }
    const QStringList names = list->columnTexts(0);
    try {
        SaveWaypointFile(*list, second);
    } catch (const AppError &e) {
        return QStringLiteral("saving what was loaded failed: ") + failure(e);
    }
    const auto again = newList();
    try {
        LoadWaypointFile(*again, second);
    } catch (const AppError &e) {
        return QStringLiteral("loading what was saved failed: ") + failure(e);
    }
    if (again->columnTexts(0) != names)
        return QStringLiteral("the list changed on its way through the file: %1 names before, %2 after")
            .arg(names.size())
            .arg(again->tableRowCount());
    return {};
}


// ---------------------------------------------------------------- ride files of the rider's devices

namespace {

// A reader streams its file: what it holds at the end grows with the
// rides found, never with the points read.
constexpr qint64 kRideFileFixedBytes = 4 << 20;
constexpr qint64 kRideFileBytesPerInputByte = 8;

using RideFileReader = GpsImport::FileRides (*)(QIODevice &, const GpsImport::StopFlag &);

GpsImport::FileRides readBytes(RideFileReader read, QByteArrayView input)
{
    QByteArray bytes = QByteArray::fromRawData(input.data(), input.size());
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const GpsImport::StopFlag stop{false};
    return read(buffer, stop);
}

QString describe(const GpsImport::RecordedRide &ride)
{
    return QStringLiteral("%1 %2 m %3 s \"%4\" [%5]")
        .arg(ride.start.toString(Qt::ISODate))
        .arg(ride.metres ? QString::number(*ride.metres, 'g', 17) : QStringLiteral("-"))
        .arg(ride.seconds, 0, 'g', 17)
        .arg(ride.otherSport, ride.remarks.join(u','));
}

// Whatever the bytes: an answer (rides or the reason there are none),
// every ride with a start and finite, non-negative distance and time, the
// memory bounded, and the same answer for the same bytes.
QString rideFile(RideFileReader read, QByteArrayView input)
{
    GpsImport::FileRides first;
    {
        HeapMeter meter;
        first = readBytes(read, input);
        const qint64 limit = kRideFileFixedBytes + kRideFileBytesPerInputByte * input.size();
        if (meter.used() > limit)
            return QStringLiteral("reading took %1 bytes (%2) for %3 input bytes")
                .arg(meter.used())
                .arg(QLatin1String(HeapMeter::kind()))
                .arg(input.size());
    }
    if (first.rides.isEmpty() && first.problem.isEmpty())
        return QStringLiteral("neither a ride nor a reason");
    for (const auto &ride : first.rides) {
        if (!ride.start.isValid())
            return QStringLiteral("a ride without a start: ") + describe(ride);
        if ((ride.metres && !(std::isfinite(*ride.metres) && *ride.metres >= 0))
            || !(std::isfinite(ride.seconds) && ride.seconds >= 0))
            return QStringLiteral("a ride with an impossible distance or time: ") + describe(ride);
    }
    const GpsImport::FileRides second = readBytes(read, input);
    QStringList a, b;
    for (const auto &ride : first.rides)
        a.append(describe(ride));
    for (const auto &ride : second.rides)
        b.append(describe(ride));
    if (a != b || first.problem != second.problem)
        return QStringLiteral("the same bytes read twice gave different rides");
    return {};
}

GpsImport::FileRides readGpxInPrague(QIODevice &in, const GpsImport::StopFlag &stop)
{
    return GpsImport::readGpx(in, QTimeZone("Europe/Prague"), stop);
}

} // namespace

QString fitFile(QByteArrayView input, const QString &)
{
    return rideFile(GpsImport::readFit, input);
}

QString gpxFile(QByteArrayView input, const QString &)
{
    return rideFile(readGpxInPrague, input);
}

QString tcxFile(QByteArrayView input, const QString &)
{
    return rideFile(GpsImport::readTcx, input);
}


// ---------------------------------------------------------------- archives and their activity lists

namespace {

// What an archive's reading holds at its peak does not grow with its
// members' unpacked bytes: libarchive's buffers and unpacker of each
// level (bzip2's is the largest, under 4 MiB), the central directory and
// the names met, which grow with the input.
constexpr qint64 kArchiveFixedBytes = 32 << 20;
constexpr qint64 kArchiveBytesPerInputByte = 16;
// The list keeps what its rows name; a field is cut at 4 KiB.
constexpr qint64 kListFixedBytes = 2 << 20;
constexpr qint64 kListBytesPerInputByte = 256;

// The rows the import window would show, each member's bytes read to
// their end; or the reason the archive breaks a rule of its contract.
QStringList archiveRows(QByteArrayView input, QString &broken)
{
    QByteArray bytes = QByteArray::fromRawData(input.data(), input.size());
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QStringList rows;
    QString mustBeRefused; // a member whose reading failed
    GpsImport::ArchiveCallbacks callbacks;
    callbacks.member = [&](const GpsImport::ArchiveMember &m, QIODevice &content) {
        if (!mustBeRefused.isEmpty())
            broken = QStringLiteral("the failed member %1 was not refused").arg(mustBeRefused);
        QCryptographicHash hash(QCryptographicHash::Md5);
        QByteArray block(64 * 1024, Qt::Uninitialized);
        qint64 total = 0, n = 0;
        while ((n = content.read(block.data(), block.size())) > 0) {
            hash.addData(QByteArrayView(block.constData(), n));
            total += n;
        }
        if (n < 0)
            mustBeRefused = m.path;
        else if (total == 0)
            broken = QStringLiteral("%1 was handed on without a byte").arg(m.path);
        rows.append(QStringLiteral("+ %1 | %2 | %3 | %4 %5")
                        .arg(m.path, m.member, m.folder)
                        .arg(total)
                        .arg(n < 0 ? QStringLiteral("failed") : QString::fromLatin1(hash.result().toHex())));
    };
    callbacks.refused = [&](const GpsImport::ArchiveMember &m, const QString &reason) {
        if (!mustBeRefused.isEmpty() && m.path != mustBeRefused)
            broken = QStringLiteral("the failed member %1 was not refused").arg(mustBeRefused);
        mustBeRefused.clear();
        if (reason.isEmpty() || m.path.isEmpty())
            broken = QStringLiteral("a member refused without a path or a reason");
        rows.append(QStringLiteral("- %1: %2").arg(m.path, reason));
    };
    const GpsImport::StopFlag stop{false};
    const QString problem = GpsImport::readArchive(buffer, QStringLiteral("archiv.zip"), callbacks, stop);
    if (!mustBeRefused.isEmpty())
        broken = QStringLiteral("the failed member %1 was not refused").arg(mustBeRefused);
    if (problem.isEmpty() && rows.isEmpty())
        broken = QStringLiteral("neither a member nor a reason");
    rows.append(QStringLiteral("= ") + problem);
    return rows;
}

QStringList listRows(QByteArrayView input)
{
    QByteArray bytes = QByteArray::fromRawData(input.data(), input.size());
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const GpsImport::StopFlag stop{false};
    const GpsImport::ActivityList list = GpsImport::readActivityList(buffer, stop);
    QStringList rows;
    for (auto it = list.byFile.cbegin(); it != list.byFile.cend(); ++it)
        rows.append(QStringLiteral("%1: %2 | %3 | %4").arg(it.key(), it->name, it->type, it->gear));
    rows.sort();
    rows.append(QStringLiteral("= ") + list.problem);
    return rows;
}

QString memoryFinding(const HeapMeter &meter, qint64 fixed, qint64 perByte, qsizetype inputSize)
{
    if (meter.used() <= fixed + perByte * inputSize)
        return {};
    return QStringLiteral("reading took %1 bytes (%2) for %3 input bytes")
        .arg(meter.used())
        .arg(QLatin1String(HeapMeter::kind()))
        .arg(inputSize);
}

} // namespace

QString archiveFile(QByteArrayView input, const QString &)
{
    QString broken;
    QStringList first;
    {
        const HeapMeter meter;
        first = archiveRows(input, broken);
        if (const QString finding = memoryFinding(meter, kArchiveFixedBytes, kArchiveBytesPerInputByte, input.size());
            !finding.isEmpty())
            return finding;
    }
    if (!broken.isEmpty())
        return broken;
    if (archiveRows(input, broken) != first)
        return QStringLiteral("the same bytes read twice gave different members");
    // The same bytes as a packed member unpacked beside the reading: held
    // to its bound, and the bytes libarchive unpacks from the same gzip
    // stream when both read it whole.
    QString problem;
    const GpsImport::ArchiveLimits limits;
    const QByteArray out = GpsImport::unpackMember(input, limits, &problem);
    if (problem.isEmpty() && out.size() > limits.ratio * input.size() + (qint64(1) << 20))
        return QStringLiteral("a packed member of %1 bytes gave %2").arg(input.size()).arg(out.size());
    const QString md5 = QString::fromLatin1(QCryptographicHash::hash(out, QCryptographicHash::Md5).toHex());
    if (problem.isEmpty() && first.size() == 2 && first[0].startsWith(QStringLiteral("+ archiv.zip | ")) && !first[0].endsWith(u"failed")
        && !first[0].endsWith(QStringLiteral("%1 %2").arg(out.size()).arg(md5)))
        return QStringLiteral("a packed member unpacked to other bytes than libarchive's: %1").arg(first[0]);
    return {};
}

QString activityList(QByteArrayView input, const QString &)
{
    QStringList first;
    {
        const HeapMeter meter;
        first = listRows(input);
        if (const QString finding = memoryFinding(meter, kListFixedBytes, kListBytesPerInputByte, input.size());
            !finding.isEmpty())
            return finding;
    }
    for (const QString &row : std::as_const(first))
        if (row.size() > 4 * GpsImport::CsvRecords::kFieldBytes + 16)
            return QStringLiteral("a listed activity keeps more than its fields' bound");
    if (listRows(input) != first)
        return QStringLiteral("the same bytes read twice gave different lists");
    return {};
}

} // namespace FileChecks
