#pragma once
#include <QObject>
#include <QStringList>
#include <chrono>
#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

// One program per data folder, so that two windows never write over each
// other's rides. The first start holds a lock file in the data folder
// (a lock left by a program that no longer runs is taken over) and
// listens on a local socket named after the folder; a later start finds
// the lock held, hands its command-line arguments to the running program
// over the socket, and ends.
//
// The socket carries the rider's file paths, so it lies in a folder only
// the rider's user can enter ($XDG_RUNTIME_DIR, else a folder of the
// user's own in the temporary folder), and each side checks that the
// other runs as the same user. A message is a header (a magic number and
// the payload's length) and the arguments in UTF-8, each ended by a zero
// byte; a message longer than kMaxPayload is refused before any of it is
// kept, so that nothing sent to the socket makes the program grow.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // The most one message carries: a start's arguments may fill at most
    // 128 KiB each (the kernel's limit), so each fits with its folder; a
    // longer list goes in several messages.
    static constexpr qint64 kMaxPayload = 1 << 20;
    // A connection that sends nothing for this long is dropped.
    static constexpr std::chrono::milliseconds kIdleLimit{5000};

    explicit SingleInstance(const QString &dataFolder, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the program of the folder: the lock was
    // free or stale. A lock that cannot be made at all (no write access)
    // counts as free, so that the rider is never kept out.
    bool acquire();
    // The lock held by a program that does not answer (perhaps on another
    // computer sharing the folder) is removed and taken.
    bool takeOver();
    // The program of the folder listens for later starts. It may not (the
    // socket's folder is open to others, the socket cannot be made): the
    // program goes on, and tellIfNotListening() says why.
    bool listen();
    // When listen() failed, a box tells the rider why and that later
    // starts cannot hand their files over.
    void tellIfNotListening();
    // A later start: gives the arguments to the program of the folder.
    // True when it took them; it is tried until `timeoutMs` passed, for
    // the program may still be starting. Nothing is sent to a socket of
    // another user, nor into a folder others can enter.
    bool handOver(const QStringList &arguments, int timeoutMs = 5000);

    // How long a connection may idle before it is dropped (kIdleLimit
    // unless set).
    void setIdleLimit(std::chrono::milliseconds limit) { m_idleLimit = limit; }

    // The files among a start's arguments, with full paths (the program
    // that gets them may run in another folder); a file:// address (some
    // file managers pass those) counts as its file, options are left out.
    static QStringList filesOf(const QStringList &arguments);

    // The lock file in the data folder.
    static QString lockFileName();
    // The local socket's file name in its folder: the data folder, hashed.
    static QString socketFileName(const QString &dataFolder);
    // The local socket's full path; empty, with `problem` saying why (in
    // Czech, for the rider), when its folder is not the user's alone.
    static QString socketPath(const QString &dataFolder, QString *problem = nullptr);

signals:
    // A later start handed these arguments over.
    void argumentsReceived(const QStringList &arguments);

private:
    void takeConnection();
    void readMessage(QLocalSocket *socket);

    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
    std::chrono::milliseconds m_idleLimit = kIdleLimit;
    QString m_notListening;
};
