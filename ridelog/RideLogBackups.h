#pragma once
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

class TPubStrGrid;

// Copies of the ride log in the folder "zalohy" beside it:
// - a daily copy "default-<yyyy-mm-dd>.tvl", made at the first start of a
//   day: the newest 30 are kept, and of older ones the newest of each of
//   the last 12 months;
// - a copy "default-<yyyy-mm-dd-hhmmss>.tvl" of the log as it was before
//   something replaced it (a restore from a copy, unsaved changes taken
//   back), and "default-obnova-<yyyy-mm-dd-hhmmss>.tvl" of unsaved changes
//   the rider did not take back. These are made on purpose and are never
//   removed by the program.
namespace RideLogBackups {

// The folder of the copies, beside the ride log file, with a separator.
QString folderFor(const QString &logPath);

struct Entry
{
    enum Kind { Daily, BeforeReplacing, UnsavedChanges };
    QString path;
    Kind kind = Daily;
    QDateTime when; // the day at midnight for a daily copy
};

// The copies of the log in its folder, newest first.
QList<Entry> list(const QString &logPath);

// When the log file is there and no daily copy of `today` or later is,
// copies it (bytes as they are) to today's daily copy and prunes the old
// daily copies. The copy's path, or empty when none was made. A failure
// to copy is not an error for the caller: the log itself is untouched.
QString makeDaily(const QString &logPath, const QDate &today);

// Removes the daily copies that the rule above does not keep.
void prune(const QString &logPath, const QDate &today);

// Writes a table as a copy of the log "before replacing" (or of unsaved
// changes); the copy's path. Throws AppError when it cannot be written.
QString keep(const TPubStrGrid &log, const QString &logPath, Entry::Kind kind);
// Copies a file into the copies, or moves it there (copying when moving
// fails); the new path, or empty when it failed.
QString keepFile(const QString &file, const QString &logPath, Entry::Kind kind, bool move);

// What a copy holds: the rides (rows with any text) and their total km
// as the totals show it. `readable` is false when the file could not be
// read whole.
struct Summary
{
    int rides = 0;
    QString km;
    bool readable = true;
};
Summary summarize(const QString &path);

// How a copy is named to the rider: its date (and time), and its kind.
QString whenText(const Entry &entry);
QString kindText(Entry::Kind kind);

} // namespace RideLogBackups
