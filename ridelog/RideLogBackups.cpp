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
#include "TPubStrGrid.h"

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

QString dailyPath(const QString &logPath, const QDate &day)
{
    return folderFor(logPath) + baseOf(logPath) + u'-' + day.toString(QStringLiteral("yyyy-MM-dd"))
           + suffixOf(logPath);
}

QString freeBackupName(const QString &logPath, Entry::Kind kind)
{
    const QString base = kind == Entry::UnsavedChanges ? unsavedBase(logPath) : baseOf(logPath);
    return DataKeeper::freeName(folderFor(logPath), base, suffixOf(logPath));
}
} // namespace

QString folderFor(const QString &logPath)
{
    return ProgramFolder::Location::inFolder(QFileInfo(logPath).absolutePath()).backups();
}

QList<Entry> list(const QString &logPath)
{
    QList<Entry> entries;
    const QDir dir(folderFor(logPath));
    for (const QFileInfo &file : dir.entryInfoList(QDir::Files)) {
        if (auto e = entryOf(logPath, file))
            entries.append(*e);
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
    const QString copy = dailyPath(logPath, today);
    if (!QDir().mkpath(folderFor(logPath)) || !QFile::copy(logPath, copy))
        return QString();
    prune(logPath, today);
    return copy;
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

QString keep(const TPubStrGrid &log, const QString &logPath, Entry::Kind kind)
{
    if (!QDir().mkpath(folderFor(logPath)))
        throw AppError(QStringLiteral("Cannot create file %1").arg(folderFor(logPath)));
    const QString copy = freeBackupName(logPath, kind);
    AtomicWrite::replaceFile(copy, AnsiFile::encode(log.tableFileText()));
    return copy;
}

QString keepFile(const QString &file, const QString &logPath, Entry::Kind kind, bool move)
{
    if (!QDir().mkpath(folderFor(logPath)))
        return QString();
    const QString copy = freeBackupName(logPath, kind);
    if (move && QFile::rename(file, copy))
        return copy;
    if (!QFile::copy(file, copy))
        return QString();
    if (move)
        QFile::remove(file);
    return copy;
}

Summary summarize(const QString &path)
{
    TPubStrGrid table;
    setUpRideLogTable(table);
    Summary s;
    s.readable = failureOf([&] { table.LoadFromFile(path); }).isEmpty();
    for (int row = table.FixedRows(); row < table.RowCount(); ++row) {
        for (int col = 0; col < table.ColCount(); ++col) {
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
