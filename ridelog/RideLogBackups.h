#pragma once
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

class StringTable;

// Copies of the ride log in the folder "zalohy" beside it:
// - a daily copy "default-<yyyy-mm-dd>.tvl", made at the first start of a
//   day: the newest 30 are kept, and of older ones the newest of each of
//   the last 12 months;
// - a copy "default-<yyyy-mm-dd-hhmmss>.tvl" of the log as it was before
//   something replaced it (a restore from a copy, unsaved changes taken
//   back), and "default-obnova-<yyyy-mm-dd-hhmmss>.tvl" of unsaved changes
//   the rider did not take back. These are made on purpose and are never
//   removed by the program.
// When "zalohy" cannot hold copies (a file of that name, a folder that
// cannot be written), the copies go beside the ride log under the same
// names: a copy that cannot be made where it belongs is never a reason to
// lose what it keeps.
namespace RideLogBackups {

// The folder of the copies, beside the ride log file, with a separator.
QString folderFor(const QString &logPath);
// Why the folder of the copies cannot hold them, said in Czech ("na jejím
// místě je soubor"); empty when it can (a missing one is made).
QString folderProblem(const QString &logPath);
// What the rider is told once at start when the folder cannot be used.
QString folderProblemReport(const QString &logPath);
// True when the copy lies beside the log instead of among the copies.
bool isBesideTheLog(const QString &copyPath, const QString &logPath);

struct Entry
{
    enum Kind { Daily, BeforeReplacing, UnsavedChanges };
    QString path;
    Kind kind = Daily;
    QDateTime when; // the day at midnight for a daily copy
};

// The copies of the log in its folder and beside the log, newest first.
QList<Entry> list(const QString &logPath);

// When the log file is there and no daily copy of `today` or later is,
// copies it (bytes as they are) to today's daily copy and prunes the old
// daily copies. The copy's path, or empty when none was made. A failure
// to copy is not an error for the caller: the log itself is untouched.
QString makeDaily(const QString &logPath, const QDate &today);

// Removes the daily copies that the rule above does not keep.
void prune(const QString &logPath, const QDate &today);

// Writes a table as a copy of the log "before replacing" (or of unsaved
// changes); the copy's path. Throws AppError when it can be written
// neither among the copies nor beside the log.
QString keep(const StringTable &log, const QString &logPath, Entry::Kind kind);
// Copies a file into the copies, or moves it there (copying when moving
// fails), beside the log when the copies' folder fails; the new path, or
// empty when it failed everywhere (the file is then where it was).
QString keepFile(const QString &file, const QString &logPath, Entry::Kind kind, bool move);

// The largest copy that is read: a ride log of two million rides takes
// about a third of it.
inline constexpr qint64 kLargestCopy = qint64(512) << 20;

// Why a file cannot be a ride log, said in Czech: larger than any log,
// or not beginning as a table file of the ride log's columns begins (a
// file of NUL bytes, another kind of file). Empty when it can be one.
// Reads only the file's beginning.
QString notARideLog(const QString &path);

// What a copy holds: the rides (rows with any text) and their total km
// as the totals show it. `readable` is false when the file could not be
// read whole; `problem` says why a file that is not a ride log cannot be
// restored (and then nothing else is filled in).
struct Summary
{
    int rides = 0;
    QString km;
    bool readable = true;
    QString problem;
};
Summary summarize(const QString &path);

// How a copy is named to the rider: its date (and time), and its kind.
QString whenText(const Entry &entry);
QString kindText(Entry::Kind kind);

} // namespace RideLogBackups
