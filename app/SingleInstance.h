#pragma once
#include <QObject>
#include <QStringList>
#include <memory>

class QLocalServer;
class QLockFile;

// One program per data folder, so that two windows never write over each
// other's rides. The first start holds a lock file in the data folder
// (a lock left by a program that no longer runs is taken over) and
// listens on a local socket named after the folder; a later start finds
// the lock held, hands its command-line arguments to the running program
// over the socket, and ends.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(const QString &dataFolder, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the program of the folder: the lock was
    // free or stale. A lock that cannot be made at all (no write access)
    // counts as free, so that the rider is never kept out.
    bool acquire();
    // The lock held by a program that does not answer (perhaps on another
    // computer sharing the folder) is removed and taken.
    bool takeOver();
    // The program of the folder listens for later starts.
    bool listen();
    // A later start: gives the arguments to the program of the folder.
    // True when it took them; it is tried until `timeoutMs` passed, for
    // the program may still be starting.
    bool handOver(const QStringList &arguments, int timeoutMs = 5000);

    // The files among a start's arguments, with full paths (the program
    // that gets them may run in another folder); a file:// address (some
    // file managers pass those) counts as its file, options are left out.
    static QStringList filesOf(const QStringList &arguments);

    // The lock file in the data folder.
    static QString lockFileName();
    // The local socket's name: the user and the folder, hashed.
    static QString serverName(const QString &dataFolder);

signals:
    // A later start handed these arguments over.
    void argumentsReceived(const QStringList &arguments);

private:
    void takeConnection();

    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};
