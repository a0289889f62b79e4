#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QFile>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QFileInfo>
#include <QLockFile>
#include <QUrl>
#include <QThread>

#include <unistd.h>

namespace {
// What a later start sends before its arguments, and what the program
// answers when it took them.
constexpr quint32 kMagic = 0x54524153; // "TRAS"
constexpr char kTaken = 'k';
} // namespace

SingleInstance::SingleInstance(const QString &dataFolder, QObject *parent)
    : QObject(parent), m_folder(QDir::cleanPath(dataFolder))
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::lockFileName()
{
    return QStringLiteral(".trasovnik.lock");
}

QString SingleInstance::serverName(const QString &dataFolder)
{
    const QByteArray folder = QDir(dataFolder).canonicalPath().toUtf8();
    const QByteArray hash = QCryptographicHash::hash(folder.isEmpty() ? QDir::cleanPath(dataFolder).toUtf8() : folder,
                                                     QCryptographicHash::Sha1)
                                .toHex()
                                .left(20);
    return QStringLiteral("trasovnik-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

bool SingleInstance::acquire()
{
    m_lock = std::make_unique<QLockFile>(m_folder + u'/' + lockFileName());
    // Only a lock whose program has ended is stale, however old it is.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    return m_lock->error() != QLockFile::LockFailedError;
}

bool SingleInstance::takeOver()
{
    m_lock.reset();
    QFile::remove(m_folder + u'/' + lockFileName());
    return acquire();
}

bool SingleInstance::listen()
{
    const QString name = serverName(m_folder);
    // This program holds the lock: a socket left under the name is stale.
    QLocalServer::removeServer(name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::takeConnection);
    return m_server->listen(name);
}

void SingleInstance::takeConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            QDataStream in(socket);
            in.startTransaction();
            quint32 magic = 0;
            QStringList arguments;
            in >> magic >> arguments;
            if (!in.commitTransaction())
                return;
            if (magic != kMagic) {
                socket->abort();
                return;
            }
            socket->write(&kTaken, 1);
            socket->flush();
            socket->disconnectFromServer();
            emit argumentsReceived(arguments);
        });
    }
}

bool SingleInstance::handOver(const QStringList &arguments, int timeoutMs)
{
    const QString name = serverName(m_folder);
    QByteArray message;
    {
        QDataStream out(&message, QIODevice::WriteOnly);
        out << kMagic << arguments;
    }
    const QDeadlineTimer deadline(timeoutMs);
    do {
        QLocalSocket socket;
        socket.connectToServer(name);
        if (socket.waitForConnected(int(std::max<qint64>(1, deadline.remainingTime())))) {
            socket.write(message);
            if (socket.waitForBytesWritten(int(std::max<qint64>(1, deadline.remainingTime())))) {
                while (socket.bytesAvailable() < 1
                       && socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
                    ;
                if (socket.read(1) == QByteArray(1, kTaken))
                    return true;
            }
        }
        // Not listening yet: the program is still starting.
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return false;
}

QStringList SingleInstance::filesOf(const QStringList &arguments)
{
    QStringList files;
    for (const QString &argument : arguments) {
        if (argument.isEmpty() || argument.startsWith(u'-'))
            continue;
        const QUrl url(argument);
        files.append(QFileInfo(url.isLocalFile() ? url.toLocalFile() : argument).absoluteFilePath());
    }
    return files;
}
