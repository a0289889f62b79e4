#pragma once
#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>

// Keeps the program's data files safe, the same way for every one of them
// (the ride log, the waypoint list, the INI files):
// - a file that a reader could not take whole is copied before anything
//   is written over it, and the rider is told where the copy is;
// - data that cannot be written to its file when the program must end
//   (a signal, the end of the desktop session) goes to a rescue copy in
//   the per-user data folder (or the system's temporary folder), and the
//   next start names every such copy;
// - the data that open windows hold and have not written yet is known to
//   the keeper, so that ending the program writes it all, not only the
//   ride log.
// Every write is atomic: a file is either the old one or the new one.
class DataKeeper
{
public:
    // Data bound for one file.
    struct Data
    {
        QString path; // the data file
        // Writes the whole data to `target` (the data file or a rescue
        // copy). Throws AppError when it cannot.
        std::function<void(const QString &target)> write;
        // The writer changes only a part of the file (a section of an INI
        // file): a rescue copy starts as a copy of the file.
        bool partOfFile = false;
        // Counts the changes of the data, so that one state is kept in a
        // rescue copy once only. Without it every rescue makes a copy.
        std::function<quint64()> version;
    };

    // dataFolder: where the data files are; userFolder: the per-user data
    // folder, where rescue copies and the list of them go. Both end with
    // a separator (one is added when missing).
    DataKeeper(const QString &dataFolder, const QString &userFolder);

    const QString &dataFolder() const { return m_dataFolder; }
    const QString &userFolder() const { return m_userFolder; }

    // ---- files that cannot be read whole

    // Copies the file as it is to "<name>-poskozeny-<date-time>.<suffix>"
    // beside it, else in the per-user data folder, else in the temporary
    // folder. The copy's path, or empty when no copy could be made.
    QString keepDamaged(const QString &path) const;
    // keepDamaged and the text that tells the rider: what failed, where
    // the original is kept, and that `when` the file will be written with
    // only what could be read. *kept tells whether the copy was made.
    QString keepDamagedAndSay(const QString &path, const QString &error, const QString &when,
                              bool *kept = nullptr) const;

    // ---- data that cannot be written

    // Writes the data to its file. When that fails, keeps it in a rescue
    // copy (unless this very state was kept already) and returns false
    // with the write's error in *error.
    bool writeOrRescue(const Data &data, QString *error = nullptr);
    // Writes the data to a new rescue copy "<name>-zachrana-<date-time>.
    // <suffix>" and notes it for the next start. The copy's path, or empty
    // when it could not be written anywhere.
    QString rescue(const Data &data);
    // True when the data's present state is in a rescue copy already.
    bool isRescued(const Data &data) const;

    // ---- data held by open windows

    // An open window holds data for a file; until it lets go, ending the
    // program writes the data (or rescues it). `key` names the holder;
    // holding again under the same key replaces the data.
    void hold(const QString &key, Data data);
    void letGo(const QString &key);
    // Writes (or rescues) everything held, in the order it was taken.
    // The errors of the writes that failed, each once.
    QStringList writeHeld();

    // The program is ending: nothing may ask the rider any more.
    void setEnding() { m_ending = true; }
    bool isEnding() const { return m_ending; }

    // ---- the next start

    // The file in the per-user data folder that lists rescue copies not
    // reported yet, one "data file TAB copy" per line (UTF-8).
    static QString rescueListName();
    // The rescue copies made by earlier runs, and the text telling the
    // rider about them; the list is removed. Empty when there are none.
    QString takeRescueReport();

    // A file name in `folder` that is not taken: base + "-" + date-time
    // (+ "-n") + suffix.
    static QString freeName(const QString &folder, const QString &base, const QString &suffix);
    // The folders where a copy may go: the given ones, then the system's
    // temporary folder; each once, with a separator.
    static QStringList safeFolders(const QStringList &preferred);

private:
    struct Held
    {
        QString key;
        Data data;
    };

    QString m_dataFolder;
    QString m_userFolder;
    QList<Held> m_held;
    // Per data file: the version last kept in a rescue copy.
    QHash<QString, quint64> m_rescuedVersion;
    bool m_ending = false;
};
