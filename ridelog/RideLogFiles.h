#pragma once
#include "DataKeeper.h"
#include "ProgramFolder.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>

class RideLogPrefetch;
class StringTable;

// The files of the ride log and who writes them: the log "default.tvl",
// written when the main window closes (or the program is told to end);
// "default-obnova.tvl", the log as it stands after the rider's latest
// changes, written a moment after each change so that a crash, a killed
// program or a lost display loses nothing; and the copies in "zalohy".
// Every data file goes through one keeper (see DataKeeper), so that the
// windows that hold other data (the waypoint list, the export's look) are
// written at the end too.
class RideLogFiles : public QObject
{
    Q_OBJECT
public:
    // How long changes are gathered before the file of unsaved changes is
    // written.
    static constexpr int kUnsavedDelayMs = 2000;

    RideLogFiles(StringTable &log, const ProgramFolder::Location &where, QObject *parent = nullptr);

    DataKeeper &keeper() { return m_keeper; }
    const QString &logPath() const { return m_logPath; }
    QString unsavedPath() const;

    // Reads the log into the table, from the prefetch when it read the
    // same file. A file that could not be read whole is kept first; the
    // text to tell the rider is returned (empty when all went well).
    // *prefetched tells whether the prefetch's table was taken.
    QString load(RideLogPrefetch *prefetch, bool *prefetched);

    // Counts every change of the table.
    quint64 version() const { return m_version; }

    // Writes the log to its file; the file of unsaved changes goes then.
    // False with the error's text when it cannot be written: the file of
    // unsaved changes is then written at once, for whatever the rider
    // answers may take longer than the program lives.
    bool save(QString *error);
    // Writes the log to another file (nothing else changes).
    bool saveAs(const QString &path, QString *error);
    // True when the present state of the log is in a rescue copy.
    bool isRescued() const;

    // The program is told to end: the log and whatever the open windows
    // hold are written, or kept in rescue copies. Nothing asks afterwards.
    void end();
    // The desktop session asks to keep the data: the same without ending.
    void commit();
    bool isEnding() const { return m_keeper.isEnding(); }

    // ---- at start

    // A daily copy of the log file when today has none. What to tell the
    // rider when the folder of the copies cannot be used (the copies then
    // go beside the log); empty when it can.
    QString backUpDaily(const QDate &today);
    // The file of unsaved changes when an earlier run left one that is
    // newer than the log file. One that holds just what the log file
    // holds is removed: there is nothing to take back; one older than the
    // log file is moved among the copies, so that nothing it holds is lost.
    struct Unsaved
    {
        QString path;
        QDateTime written;
    };
    std::optional<Unsaved> unsavedChanges();
    // Takes the unsaved changes back: the table is loaded from them, and
    // the log file as it is becomes a copy (the log file itself is written
    // only at closing). The copy's path; empty when there was no log file,
    // or when it could not be copied anywhere: the changes are taken all
    // the same, for they are what the rider asked for. Throws AppError
    // when the changes cannot be read whole; the table stays as it was.
    QString takeUnsavedChanges();
    // Keeps the unsaved changes as a copy instead; its path. Empty when no
    // copy could be made: the file of unsaved changes then stays as it is,
    // neither written over nor removed, for it is their only copy.
    QString keepUnsavedChanges();
    // The file of unsaved changes is the only copy of an earlier run's
    // changes and stays untouched.
    bool holdsEarlierChanges() const { return m_holdUnsaved; }

    // ---- copies

    // Replaces the log by a copy: the log as it stands becomes a copy
    // first, and the file of unsaved changes holds the restored log at
    // once. Throws AppError, leaving the table as it was, also for a file
    // that is not a ride log.
    void restore(const QString &backupPath);

    // Writes the file of unsaved changes now, when there are any. A
    // durable write waits until the file is on the disk (after a restore
    // or an import, which replace much at once).
    void writeUnsavedNow(bool durable = false);

private:
    DataKeeper::Data logData() const;
    void changed();
    // Loads a file into a new table; only when the whole file was read,
    // runs keepFirst and then takes the new table over.
    void replaceFrom(const QString &path, const std::function<void()> &keepFirst);
    // The log has its heading row and seven columns whatever a file held.
    void keepShape();
    // Writes the log, or keeps it in a rescue copy.
    bool writeLog(QString *error);
    // The log file holds the table now: no unsaved changes.
    void written();

    StringTable &m_log;
    ProgramFolder::Location m_where;
    QString m_logPath;
    DataKeeper m_keeper;
    QTimer m_unsavedTimer;
    quint64 m_version = 0;
    // The versions that the log file and the file of unsaved changes hold.
    quint64 m_savedVersion = 0;
    quint64 m_unsavedVersion = 0;
    bool m_holdUnsaved = false;
};
