#include "SingleInstance.h"

#include "Messages.h"
#include "ProgramFolder.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStringDecoder>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QtEndian>

#include <cerrno>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// What every message starts with ("TRAS"), then the payload's length.
constexpr quint32 kMagic = 0x54524153;
constexpr qint64 kHeaderSize = 8;
// What the program answers when it took a message.
constexpr char kTaken = 'k';
// The toolkit reads no further ahead of what the program took from a
// connection than this.
constexpr qint64 kReadAhead = 64 * 1024;

// Why `folder` is not a folder of this user alone, or nothing when it is.
// A symbolic link is refused even when it leads to such a folder: whoever
// may change the link could point it elsewhere.
QString privateFolderProblem(const QString &folder, bool create)
{
    const QByteArray path = QFile::encodeName(folder);
    if (create && ::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return QStringLiteral("složku „%1“ nelze vytvořit (%2)").arg(folder, qt_error_string(errno));
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0)
        return QStringLiteral("složku „%1“ nelze otevřít (%2)").arg(folder, qt_error_string(errno));
    if (S_ISLNK(st.st_mode))
        return QStringLiteral("„%1“ je symbolický odkaz, ne složka").arg(folder);
    if (!S_ISDIR(st.st_mode))
        return QStringLiteral("„%1“ není složka").arg(folder);
    if (st.st_uid != ::geteuid())
        return QStringLiteral("složka „%1“ patří jinému uživateli").arg(folder);
    if ((st.st_mode & 07777) != 0700)
        return QStringLiteral("složka „%1“ má práva %2, mají být 700 (jen pro vlastníka)")
            .arg(folder)
            .arg(st.st_mode & 07777, 3, 8, QLatin1Char('0'));
    return {};
}

// The user the other end of a local socket runs as is this process's.
bool peerIsThisUser(qintptr descriptor)
{
    ucred peer{};
    socklen_t size = sizeof peer;
    return descriptor >= 0 && ::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0
           && peer.uid == ::geteuid();
}

// A message: the header, then the payload.
QByteArray message(const QByteArray &payload)
{
    QByteArray bytes(kHeaderSize, Qt::Uninitialized);
    qToBigEndian(kMagic, bytes.data());
    qToBigEndian(quint32(payload.size()), bytes.data() + 4);
    return bytes + payload;
}

// The arguments as messages of at most kMaxPayload each; nothing when one
// argument alone is longer (the system gives a program none that long).
std::optional<QList<QByteArray>> messagesOf(const QStringList &arguments)
{
    QList<QByteArray> messages;
    QByteArray payload;
    for (const QString &argument : arguments) {
        const QByteArray bytes = argument.toUtf8() + '\0';
        if (bytes.size() > SingleInstance::kMaxPayload)
            return std::nullopt;
        if (payload.size() + bytes.size() > SingleInstance::kMaxPayload)
            messages.append(message(std::exchange(payload, {})));
        payload += bytes;
    }
    if (!payload.isEmpty() || messages.isEmpty())
        messages.append(message(payload));
    return messages;
}

// The arguments of a whole payload; nothing when it is not a list of
// UTF-8 texts each ended by a zero byte.
std::optional<QStringList> argumentsOf(const QByteArray &payload)
{
    if (!payload.isEmpty() && !payload.endsWith('\0'))
        return std::nullopt;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QStringList arguments = QString(utf8(payload)).split(QChar(0));
    if (utf8.hasError())
        return std::nullopt;
    arguments.removeLast(); // what follows the last zero byte: nothing
    return arguments;
}

// A message read as it comes: the header first, then the payload, each
// byte taken once; a header that is not ours or announces more than
// kMaxPayload ends it before any payload is kept.
class IncomingMessage
{
public:
    enum class State { Incomplete, Complete, Invalid };

    State readFrom(QIODevice &device)
    {
        if (m_size < 0) {
            if (device.bytesAvailable() < kHeaderSize)
                return State::Incomplete;
            const QByteArray head = device.read(kHeaderSize);
            const quint32 size = qFromBigEndian<quint32>(head.constData() + 4);
            if (qFromBigEndian<quint32>(head.constData()) != kMagic || size > SingleInstance::kMaxPayload)
                return State::Invalid;
            m_size = size;
            m_payload.reserve(size);
        }
        const qint64 had = m_payload.size();
        m_payload.resize(had + std::min(m_size - had, device.bytesAvailable()));
        if (device.read(m_payload.data() + had, m_payload.size() - had) != m_payload.size() - had)
            return State::Invalid;
        return m_payload.size() == m_size ? State::Complete : State::Incomplete;
    }
    const QByteArray &payload() const { return m_payload; }

private:
    qint64 m_size = -1;
    QByteArray m_payload;
};

void drop(QLocalSocket *socket)
{
    socket->abort();
    socket->deleteLater();
}

enum class Sent { Taken, NotYet, Refused };

// One message to the program of the folder.
Sent sendOne(const QString &path, const QByteArray &bytes, const QDeadlineTimer &deadline)
{
    const auto remaining = [&deadline] { return int(std::max<qint64>(1, deadline.remainingTime())); };
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(remaining()))
        return Sent::NotYet; // not listening yet: the program is still starting
    if (!peerIsThisUser(socket.socketDescriptor()))
        return Sent::Refused;
    socket.write(bytes);
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(remaining()))
        ;
    while (socket.bytesAvailable() < 1 && socket.waitForReadyRead(remaining()))
        ;
    return socket.read(1) == QByteArray(1, kTaken) ? Sent::Taken : Sent::NotYet;
}
} // namespace

SingleInstance::SingleInstance(const QString &dataFolder, QObject *parent)
    : QObject(parent), m_folder(QDir::cleanPath(dataFolder))
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::lockFileName()
{
    return QString::fromUtf16(ProgramFolder::kLockName);
}

QString SingleInstance::socketFileName(const QString &dataFolder)
{
    const QByteArray folder = QDir(dataFolder).canonicalPath().toUtf8();
    const QByteArray hash = QCryptographicHash::hash(folder.isEmpty() ? QDir::cleanPath(dataFolder).toUtf8() : folder,
                                                     QCryptographicHash::Sha1)
                                .toHex()
                                .left(20);
    return QStringLiteral("trasovnik-%1").arg(QString::fromLatin1(hash));
}

QString SingleInstance::socketPath(const QString &dataFolder, QString *problem)
{
    // The session's own folder, made by the system for this user; a
    // relative path there is no such folder.
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const bool ownFolder = folder.isEmpty() || QDir::isRelativePath(folder);
    if (ownFolder)
        folder = QDir::tempPath() + QStringLiteral("/trasovnik-%1").arg(::geteuid());
    const QString why = privateFolderProblem(folder, ownFolder);
    if (problem)
        *problem = why;
    return why.isEmpty() ? QDir(folder).filePath(socketFileName(dataFolder)) : QString();
}

bool SingleInstance::acquire()
{
    m_lock = std::make_unique<QLockFile>(ProgramFolder::Location::inFolder(m_folder).lock());
    // Only a lock whose program has ended is stale, however old it is.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    return m_lock->error() != QLockFile::LockFailedError;
}

bool SingleInstance::takeOver()
{
    m_lock.reset();
    QFile::remove(ProgramFolder::Location::inFolder(m_folder).lock());
    return acquire();
}

bool SingleInstance::listen()
{
    const QString path = socketPath(m_folder, &m_notListening);
    if (!path.isEmpty()) {
        // This program holds the lock: a socket left under the name is
        // stale, and only this user can have put it in the folder.
        QLocalServer::removeServer(path);
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::takeConnection);
        if (m_server->listen(path))
            return true;
        m_notListening = QStringLiteral("soket „%1“ nelze vytvořit (%2)").arg(path, m_server->errorString());
        delete std::exchange(m_server, nullptr);
    }
    return false;
}

void SingleInstance::tellIfNotListening()
{
    if (m_notListening.isEmpty())
        return;
    Messages::instance().info(
        QStringLiteral("Trasovník nemůže přijímat soubory od dalších spuštění: %1.\n\nDalší spuštění s touto "
                       "složkou dat proto soubory jízd tomuto oknu nepředají a ohlásí, že Trasovník neodpovídá; "
                       "dokud je toto okno otevřené, nevolte tam „Spustit přesto“.")
            .arg(m_notListening));
}

void SingleInstance::takeConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        if (peerIsThisUser(socket->socketDescriptor()))
            readMessage(socket);
        else
            drop(socket);
    }
}

void SingleInstance::readMessage(QLocalSocket *socket)
{
    socket->setReadBufferSize(kReadAhead);
    auto *idle = new QTimer(socket);
    idle->setSingleShot(true);
    idle->setInterval(m_idleLimit);
    connect(idle, &QTimer::timeout, socket, [socket] { drop(socket); });
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    auto message = std::make_shared<IncomingMessage>();
    const auto read = [this, socket, idle, message] {
        idle->start();
        switch (message->readFrom(*socket)) {
        case IncomingMessage::State::Incomplete:
            return;
        case IncomingMessage::State::Invalid:
            drop(socket);
            return;
        case IncomingMessage::State::Complete:
            break;
        }
        // One message per connection: what follows it is never read.
        idle->stop();
        socket->disconnect(this);
        const std::optional<QStringList> arguments = argumentsOf(message->payload());
        if (!arguments) {
            drop(socket);
            return;
        }
        socket->write(&kTaken, 1);
        socket->flush();
        socket->disconnectFromServer();
        emit argumentsReceived(*arguments);
    };
    connect(socket, &QLocalSocket::readyRead, this, read);
    idle->start();
    if (socket->bytesAvailable() > 0)
        read();
}

bool SingleInstance::handOver(const QStringList &arguments, int timeoutMs)
{
    const QString path = socketPath(m_folder);
    const std::optional<QList<QByteArray>> messages = messagesOf(arguments);
    if (path.isEmpty() || !messages)
        return false;
    const QDeadlineTimer deadline(timeoutMs);
    for (const QByteArray &bytes : *messages) {
        Sent sent = sendOne(path, bytes, deadline);
        for (; sent == Sent::NotYet && !deadline.hasExpired(); sent = sendOne(path, bytes, deadline))
            QThread::msleep(50);
        if (sent != Sent::Taken)
            return false;
    }
    return true;
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
