#include "RideLogBackups.h"
#include "AnsiFile.h"
#include "AtomicWrite.h"
#include "AppError.h"
#include "DataKeeper.h"
#include "LocaleService.h"
#include "ProgramFolder.h"
#include "Messages.h"
#include "RideArithmetic.h"
#include "RideLogTable.h"
#include "RideColumn.h"
#include "TableFile.h"
#include "StringTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace RideLogBackups {

namespace {
constexpr int kDailyKept = 30;
constexpr int kMonthsKept = 12;

QString baseOf(const QString &logPath)
{
    return QFileInfo(logPath).completeBaseName();
}

QString suffixOf(const QString &logPath)
{
    const QString s = QFileInfo(logPath).suffix();
    return s.isEmpty() ? QString() : u'.' + s;
}

QString unsavedBase(const QString &logPath)
{
    return baseOf(logPath) + QStringLiteral("-obnova");
}

// "<base>-2026-12-08.tvl", "<base>-2026-12-08-171503.tvl" (also with
// "-2" after it when two copies fell into one second) and
// "<base>-obnova-2026-12-08-171503.tvl".
std::optional<Entry> entryOf(const QString &logPath, const QFileInfo &file)
{
    static const QRegularExpression stamp(
        QStringLiteral("^(\\d{4}-\\d{2}-\\d{2})(?:-(\\d{6})(?:-\\d+)?)?$"));
    const QString name = file.fileName();
    const QString suffix = suffixOf(logPath);
    if (!name.endsWith(suffix, Qt::CaseInsensitive))
        return std::nullopt;
    const QString stem = name.left(name.size() - suffix.size());
    Entry e;
    QString rest;
    if (stem.startsWith(unsavedBase(logPath) + u'-')) {
        e.kind = Entry::UnsavedChanges;
        rest = stem.mid(unsavedBase(logPath).size() + 1);
    } else if (stem.startsWith(baseOf(logPath) + u'-')) {
        rest = stem.mid(baseOf(logPath).size() + 1);
    } else {
        return std::nullopt;
    }
    const QRegularExpressionMatch m = stamp.match(rest);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate day = QDate::fromString(m.captured(1), QStringLiteral("yyyy-MM-dd"));
    if (!day.isValid())
        return std::nullopt;
    if (m.captured(2).isEmpty()) {
        if (e.kind == Entry::UnsavedChanges)
            return std::nullopt;
        e.kind = Entry::Daily;
        e.when = QDateTime(day, QTime(0, 0));
    } else {
        const QTime time = QTime::fromString(m.captured(2), QStringLiteral("HHmmss"));
        if (!time.isValid())
            return std::nullopt;
        if (e.kind != Entry::UnsavedChanges)
            e.kind = Entry::BeforeReplacing;
        e.when = QDateTime(day, time);
    }
    e.path = file.absoluteFilePath();
    return e;
}

QString dailyName(const QString &logPath, const QDate &day)
{
    return baseOf(logPath) + u'-' + day.toString(QStringLiteral("yyyy-MM-dd")) + suffixOf(logPath);
}

QString besideTheLog(const QString &logPath)
{
    return QFileInfo(logPath).absolutePath() + u'/';
}

// Where a copy may go, in order: among the copies (the folder made when
// missing), then beside the log.
QStringList copyFolders(const QString &logPath)
{
    QStringList folders;
    if (QDir().mkpath(folderFor(logPath)))
        folders.append(folderFor(logPath));
    folders.append(besideTheLog(logPath));
    return folders;
}

QString freeBackupName(const QString &folder, const QString &logPath, Entry::Kind kind)
{
    const QString base = kind == Entry::UnsavedChanges ? unsavedBase(logPath) : baseOf(logPath);
    return DataKeeper::freeName(folder, base, suffixOf(logPath));
}
} // namespace

QString folderFor(const QString &logPath)
{
    return ProgramFolder::Location::inFolder(QFileInfo(logPath).absolutePath()).backups();
}

QString folderProblem(const QString &logPath)
{
    const QString folder = QDir::cleanPath(folderFor(logPath));
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir()) {
        const QString inTheWay = AnsiFile::whatIsInTheWay(folder);
        return QStringLiteral("na jejím místě je %1").arg(inTheWay.isEmpty() ? QStringLiteral("soubor") : inTheWay);
    }
    if (!info.exists() && !QDir().mkpath(folder))
        return QStringLiteral("nelze ji vytvořit");
    if (!QFileInfo(folder).isWritable())
        return QStringLiteral("nelze do ní zapisovat");
    return QString();
}

QString folderProblemReport(const QString &logPath)
{
    const QString problem = folderProblem(logPath);
    if (problem.isEmpty())
        return QString();
    return QStringLiteral("Složku záloh „%1“ nelze použít: %2. Zálohy knihy jízd se do té doby ukládají přímo do "
                          "složky „%3“, vedle souboru s jízdami.")
        .arg(QDir::toNativeSeparators(QDir::cleanPath(folderFor(logPath))), problem,
             QDir::toNativeSeparators(QDir::cleanPath(besideTheLog(logPath))));
}

bool isBesideTheLog(const QString &copyPath, const QString &logPath)
{
    return QFileInfo(copyPath).absolutePath() == QFileInfo(logPath).absolutePath();
}

QList<Entry> list(const QString &logPath)
{
    QList<Entry> entries;
    for (const QString &folder : {folderFor(logPath), besideTheLog(logPath)}) {
        for (const QFileInfo &file : QDir(folder).entryInfoList(QDir::Files)) {
            if (auto e = entryOf(logPath, file))
                entries.append(*e);
        }
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        if (a.when != b.when)
            return a.when > b.when;
        return a.path > b.path;
    });
    return entries;
}

QString makeDaily(const QString &logPath, const QDate &today)
{
    if (!QFileInfo(logPath).isFile())
        return QString();
    for (const Entry &e : list(logPath)) {
        if (e.kind == Entry::Daily && e.when.date() >= today)
            return QString();
    }
    for (const QString &folder : copyFolders(logPath)) {
        // QFile::copy writes a temporary file and renames it: never a half copy.
        const QString copy = folder + dailyName(logPath, today);
        if (QFile::copy(logPath, copy)) {
            prune(logPath, today);
            return copy;
        }
    }
    return QString();
}

void prune(const QString &logPath, const QDate &today)
{
    QList<Entry> daily;
    for (const Entry &e : list(logPath)) {
        if (e.kind == Entry::Daily)
            daily.append(e);
    }
    // Newest first: the first 30 stay, then the first of each month.
    const int oldestMonth = today.year() * 12 + today.month() - kMonthsKept;
    QSet<int> months;
    for (int i = 0; i < daily.size(); ++i) {
        const QDate d = daily[i].when.date();
        const int month = d.year() * 12 + d.month() - 1;
        const bool firstOfMonth = !months.contains(month);
        months.insert(month);
        if (i < kDailyKept)
            continue;
        if (firstOfMonth && month >= oldestMonth)
            continue;
        QFile::remove(daily[i].path);
    }
}

QString keep(const StringTable &log, const QString &logPath, Entry::Kind kind)
{
    const QByteArray bytes = AnsiFile::encode(TableFile::text(log));
    QString failure;
    for (const QString &folder : copyFolders(logPath)) {
        const QString copy = freeBackupName(folder, logPath, kind);
        failure = failureOf([&] { AtomicWrite::replaceFile(copy, bytes); });
        if (failure.isEmpty())
            return copy;
    }
    throw AppError(failure);
}

QString keepFile(const QString &file, const QString &logPath, Entry::Kind kind, bool move)
{
    for (const QString &folder : copyFolders(logPath)) {
        const QString copy = freeBackupName(folder, logPath, kind);
        if (move && QFile::rename(file, copy))
            return copy;
        if (!QFile::copy(file, copy))
            continue;
        if (move)
            QFile::remove(file);
        return copy;
    }
    return QString();
}

QString notARideLog(const QString &path)
{
    QFile file(path);
    // A folder, a pipe or a device in the copies' place is not opened.
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return QStringLiteral("soubor nelze otevřít");
    if (file.size() > kLargestCopy)
        return QStringLiteral("soubor je větší než jakákoli kniha jízd");
    // The six heading lines take a few dozen bytes, the captions aside.
    return TableFile::headerProblem(file.read(64 * 1024), RideColumn::Count);
}

Summary summarize(const QString &path)
{
    Summary s;
    s.problem = notARideLog(path);
    if (!s.problem.isEmpty()) {
        s.readable = false;
        return s;
    }
    StringTable table;
    setUpRideLogTable(table);
    s.readable = failureOf([&] { TableFile::load(table, path); }).isEmpty();
    for (int row = table.headingRows(); row < table.tableRowCount(); ++row) {
        for (int col = 0; col < table.tableColumnCount(); ++col) {
            if (!table.cellView(col, row).isEmpty()) {
                ++s.rides;
                break;
            }
        }
    }
    s.km = RideArithmetic::totals(table).km;
    return s;
}

QString whenText(const Entry &entry)
{
    const QString day = LocaleService::instance().formatDate(entry.when.date());
    if (entry.kind == Entry::Daily)
        return day;
    return day + u' ' + entry.when.time().toString(QStringLiteral("HH:mm:ss"));
}

QString kindText(Entry::Kind kind)
{
    switch (kind) {
    case Entry::Daily:
        return QStringLiteral("denní záloha");
    case Entry::BeforeReplacing:
        return QStringLiteral("před nahrazením");
    case Entry::UnsavedChanges:
        return QStringLiteral("neuložené změny");
    }
    return QString();
}

} // namespace RideLogBackups
