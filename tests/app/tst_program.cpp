#include "DataKeeper.h"
#include "MessageRecorder.h"
#include "SingleInstance.h"
#include "TestFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <cstring>
#include "OtherUser.h"

#include <functional>
#include <grp.h>
#include <thread>
#include <unistd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

namespace {

// A socket at `path`, listening or connected to it, made as `uid`: the
// kernel tells the other end the user who called listen() or connect().
int socketAs(const QString &path, uid_t uid, bool listening, bool blocking = false)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(address.sun_path, name.constData(), std::min(sizeof address.sun_path - 1, size_t(name.size())));
    const auto *at = reinterpret_cast<const sockaddr *>(&address);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | (blocking ? 0 : SOCK_NONBLOCK), 0);
    const uid_t me = ::geteuid();
    if (fd < 0 || (listening && ::bind(fd, at, sizeof address) != 0) || ::seteuid(uid) != 0)
        return -1;
    const int made = listening ? ::listen(fd, 16) : ::connect(fd, at, sizeof address);
    return ::seteuid(me) == 0 && made == 0 ? fd : -1;
}

// The connections waiting at a listening socket, taken, and what their
// clients sent.
QPair<int, qint64> takenBy(int listener)
{
    int connections = 0;
    qint64 bytes = 0;
    for (int c; (c = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0; ::close(c)) {
        ++connections;
        char buffer[4096];
        for (ssize_t n; (n = ::read(c, buffer, sizeof buffer)) > 0;)
            bytes += n;
    }
    return {connections, bytes};
}

// What a later start sends: "TRAS", the length announced, the payload.
QByteArray messageOf(quint32 announced, const QByteArray &payload)
{
    QByteArray bytes("TRAS....");
    qToBigEndian(announced, bytes.data() + 4);
    return bytes + payload;
}
} // namespace

// The real program, started in a folder of its own and told to end.
class TestProgram : public QObject
{
    Q_OBJECT

    // Each test finds the hand-over's socket in a session folder of its
    // own, and TMPDIR as the tests were given it. A program run as nobody
    // finds that folder not its own: it says so once its window shows,
    // and ends on a signal as always.
    QTemporaryDir m_run;
    const QByteArray m_tmp = qgetenv("TMPDIR");

    // Runs a copy of the program from `folder` with its per-user data in
    // `dataHome`, lets it start, gives it `signal` and waits for its end.
    // `asOther` runs it as another user (nobody) when the tests run as
    // root, for whom no folder is read-only.
    void runAndSignal(const QString &folder, const QString &dataHome, int signal,
                      const std::function<void()> &whileRunning = {}, bool asOther = false,
                      const QStringList &arguments = {})
    {
        const QString exe = folder + QStringLiteral("/trasovnik");
        QVERIFY(QFile::copy(QStringLiteral(TRASOVNIK_EXE), exe));
        QProcess p;
        prepare(p, dataHome, asOther);
        if (asOther && ::geteuid() == 0) {
            for (const QString &f : {folder, dataHome})
                QVERIFY(QFile::setPermissions(f, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                     | QFile::ReadOther | QFile::ExeOther));
            QCOMPARE(::chown(QFile::encodeName(dataHome).constData(), kNobody, kNobody), 0);
        } else if (asOther) {
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        }
        p.start(exe, arguments);
        QVERIFY(p.waitForStarted());
        // Until the program has read the file it cannot be told to save.
        QTest::qWait(1500);
        if (whileRunning)
            whileRunning();
        ::kill(pid_t(p.processId()), signal);
        QVERIFY2(p.waitForFinished(10000), "the program did not end");
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // The program's environment, and its user (nobody) when `asOther` and
    // the tests run as root.
    static void prepare(QProcess &p, const QString &dataHome, bool asOther)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
        p.setProcessEnvironment(env);
        if (asOther && ::geteuid() == 0)
            runAsNobody(p);
    }

    // Written with LF line ends: the program writes CR LF back.
    const QByteArray kLf = "|\n3|7\n18\n\n\nTop\n0|1|3.5.2005\n3|1|10\n";

    static void verifySaved(const QByteArray &saved)
    {
        QVERIFY2(saved.startsWith("|\r\n3|7\r\n18\r\n"), saved.constData());
        QVERIFY(saved.contains("0|0|Datum\r\n"));
        QVERIFY(saved.contains("0|1|3.5.2005\r\n3|1|10\r\n"));
    }

private slots:
    void init()
    {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_run.path()));
        m_tmp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", m_tmp);
    }

    void savesOnTerminationSignals_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void savesOnTerminationSignals()
    {
        QFETCH(int, signal);
        QTemporaryDir dir, data;
        putFile(dir.filePath(QStringLiteral("default.tvl")), kLf);
        runAndSignal(dir.path(), data.path(), signal);
        verifySaved(fileBytes(dir.filePath(QStringLiteral("default.tvl"))));
    }

    // Files named at the start (one a FIFO, one missing) open the import
    // over the window without waiting on them; a later start's files go
    // to the running program; told to end meanwhile, it ends as always.
    void rideFilesNamedAtStart()
    {
        QTemporaryDir dir, data;
        putFile(dir.filePath(QStringLiteral("default.tvl")), kLf);
        const QString fifo = dir.filePath(QStringLiteral("jízda.fit"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        runAndSignal(
            dir.path(), data.path(), SIGTERM,
            [&] {
                QProcess later;
                QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
                env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
                env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
                later.setProcessEnvironment(env);
                later.start(dir.filePath(QStringLiteral("trasovnik")), {QStringLiteral("ráno.gpx")});
                QVERIFY2(later.waitForFinished(10000), "the later start did not hand over its file");
                QCOMPARE(later.exitCode(), 0);
            },
            false, {fifo, dir.filePath(QStringLiteral("chybí.gpx"))});
        verifySaved(fileBytes(dir.filePath(QStringLiteral("default.tvl"))));
    }

    void unwritableLogGoesToARescueCopy()
    {
        QTemporaryDir dir, data;
        const QString log = dir.filePath(QStringLiteral("default.tvl"));
        putFile(log, kLf);
        runAndSignal(dir.path(), data.path(), SIGTERM, [&] {
            // A folder takes the log's place while the program runs.
            QVERIFY(QFile::remove(log));
            QVERIFY(QDir().mkdir(log));
        });
        const QDir rescue(data.filePath(QStringLiteral("trasovnik")));
        const QStringList copies = rescue.entryList({QStringLiteral("default-zachrana-*.tvl")});
        QCOMPARE(copies.size(), 1);
        verifySaved(fileBytes(rescue.filePath(copies[0])));
        QVERIFY(fileBytes(rescue.filePath(DataKeeper::rescueListName())).contains(copies[0].toUtf8()));
    }

    void pipeAtTheLogPathDoesNotBlock()
    {
        QTemporaryDir dir, data;
        const QString log = dir.filePath(QStringLiteral("default.tvl"));
        QCOMPARE(::mkfifo(QFile::encodeName(log).constData(), 0600), 0);
        // The program shows what is in the way, and still ends at once.
        runAndSignal(dir.path(), data.path(), SIGTERM);
        QVERIFY(QFileInfo(log).isFile());
        QVERIFY(fileBytes(log).contains("0|0|Datum\r\n"));
    }

    void readOnlyProgramFolderUsesTheUserFolder()
    {
        QTemporaryDir dir, data;
        const QString log = dir.filePath(QStringLiteral("default.tvl"));
        putFile(log, kLf);
        runAndSignal(dir.path(), data.path(), SIGTERM, {}, true);
        // The log was copied into the per-user folder and saved there; the
        // one beside the program is as it was.
        verifySaved(fileBytes(data.filePath(QStringLiteral("trasovnik/default.tvl"))));
        QCOMPARE(fileBytes(log), kLf);
    }
    // A socket or a file another user put under the hand-over's name (the
    // name in TMPDIR earlier programs used, or the one in the rider's own
    // folder) gets none of the rider's paths, and the later start still
    // hands them to the program of the folder and ends.
    void plantedSocketGetsNothing_data()
    {
        QTest::addColumn<bool>("oldName");
        QTest::addColumn<bool>("socket");
        QTest::newRow("socket under the old name") << true << true;
        QTest::newRow("file under the old name") << true << false;
        QTest::newRow("socket under the new name") << false << true;
        QTest::newRow("file under the new name") << false << false;
    }
    void plantedSocketGetsNothing()
    {
        if (::geteuid() != 0)
            QSKIP("another user's socket needs the tests to run as root");
        QFETCH(bool, oldName);
        QFETCH(bool, socket);
        QTemporaryDir dir, data, tmp;
        QCOMPARE(::chmod(QFile::encodeName(tmp.path()).constData(), 01777), 0);
        qputenv("TMPDIR", QFile::encodeName(tmp.path()));
        qunsetenv("XDG_RUNTIME_DIR");
        // The program runs as nobody, with its data in the per-user folder.
        const QString folder = data.filePath(QStringLiteral("trasovnik"));
        QVERIFY(QDir().mkdir(folder));
        QCOMPARE(::chown(QFile::encodeName(folder).constData(), kNobody, kNobody), 0);
        const QString own = tmp.filePath(QStringLiteral("trasovnik-%1").arg(kNobody));
        QString name = own + u'/' + SingleInstance::socketFileName(folder);
        if (oldName) {
            const QByteArray hash = QCryptographicHash::hash(QDir(folder).canonicalPath().toUtf8(),
                                                             QCryptographicHash::Sha1);
            name = tmp.filePath(QStringLiteral("trasovnik-%1-%2").arg(kNobody).arg(hash.toHex().left(20)));
        } else {
            QVERIFY(QDir().mkdir(own));
            QCOMPARE(::chmod(QFile::encodeName(own).constData(), 0700), 0);
            QCOMPARE(::chown(QFile::encodeName(own).constData(), kNobody, kNobody), 0);
        }
        // Open to all, as a socket meant to catch paths would be.
        const int planted = socket ? socketAs(name, 0, true) : -1;
        if (socket)
            QVERIFY(planted >= 0);
        else
            putFile(name, {});
        QCOMPARE(::chmod(QFile::encodeName(name).constData(), 0777), 0);
        runAndSignal(
            dir.path(), data.path(), SIGTERM,
            [&] {
                QProcess later;
                prepare(later, data.path(), true);
                later.start(dir.filePath(QStringLiteral("trasovnik")), {QStringLiteral("ráno.gpx")});
                QVERIFY2(later.waitForFinished(15000), "the later start did not hand over its file");
                QCOMPARE(later.exitCode(), 0);
            },
            true);
        if (socket) {
            QCOMPARE(takenBy(planted).second, 0);
            ::close(planted);
        }
    }

    // The hand-over's socket lies in a folder only the rider's user may
    // enter: $XDG_RUNTIME_DIR, else a folder of its own in TMPDIR, made
    // when missing. Another is refused, and the rider is told why and
    // that later starts cannot hand their files over; so is a socket that
    // cannot be made.
    void socketFolderIsTheUsersAlone_data()
    {
        QTest::addColumn<bool>("session"); // $XDG_RUNTIME_DIR names it
        QTest::addColumn<int>("mode");     // 0: not there
        QTest::addColumn<bool>("link");    // named by a symbolic link to it
        QTest::addColumn<bool>("foreign"); // another user's
        QTest::addColumn<bool>("blocked"); // a folder lies at the socket's name
        QTest::addColumn<bool>("listens");
        QTest::newRow("session folder") << true << 0700 << false << false << false << true;
        QTest::newRow("session folder open to the group") << true << 0770 << false << false << false << false;
        QTest::newRow("session folder others may enter") << true << 0701 << false << false << false << false;
        QTest::newRow("link to a session folder") << true << 0700 << true << false << false << false;
        QTest::newRow("another user's session folder") << true << 0700 << false << true << false << false;
        QTest::newRow("own folder, made") << false << 0 << false << false << false << true;
        QTest::newRow("own folder open to others") << false << 0755 << false << false << false << false;
        QTest::newRow("own folder of another user") << false << 0700 << false << true << false << false;
        QTest::newRow("socket's name taken") << true << 0700 << false << false << true << false;
    }
    void socketFolderIsTheUsersAlone()
    {
        QFETCH(bool, session);
        QFETCH(int, mode);
        QFETCH(bool, link);
        QFETCH(bool, foreign);
        QFETCH(bool, blocked);
        QFETCH(bool, listens);
        if (foreign && ::geteuid() != 0)
            QSKIP("another user's folder needs the tests to run as root");
        QTemporaryDir data, tmp;
        const QString folder = session ? tmp.filePath(QStringLiteral("run"))
                                       : tmp.filePath(QStringLiteral("trasovnik-%1").arg(::geteuid()));
        if (mode) {
            QVERIFY(QDir().mkdir(folder));
            QCOMPARE(::chmod(QFile::encodeName(folder).constData(), mode_t(mode)), 0);
        }
        if (foreign)
            QCOMPARE(::chown(QFile::encodeName(folder).constData(), kNobody, kNobody), 0);
        const QString named = link ? tmp.filePath(QStringLiteral("odkaz")) : folder;
        if (link)
            QVERIFY(QFile::link(folder, named));
        if (blocked)
            QVERIFY(QDir().mkdir(folder + u'/' + SingleInstance::socketFileName(data.path())));
        session ? qputenv("XDG_RUNTIME_DIR", QFile::encodeName(named)) : qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", QFile::encodeName(tmp.path()));
        MessageRecorder messages;
        SingleInstance first(data.path()), later(data.path());
        QSignalSpy received(&first, &SingleInstance::argumentsReceived);
        QCOMPARE(first.listen(), listens);
        first.tellIfNotListening();
        std::atomic<bool> taken = false;
        {
            std::jthread other([&] { taken = later.handOver({QStringLiteral("a.gpx")}, 500); });
            if (listens)
                QTRY_COMPARE(received.size(), 1);
        }
        QCOMPARE(taken.load(), listens);
        QCOMPARE(messages.texts().size(), listens ? 0 : 1);
        if (!listens)
            QVERIFY2(messages.texts()[0].contains(named), qPrintable(messages.texts()[0]));
    }

    // Each end checks that the other runs as the rider's user: nothing is
    // handed to a socket another user listens on, and nothing is taken
    // from another user's client.
    void anotherUsersSocketIsRefused_data()
    {
        QTest::addColumn<bool>("listening");
        QTest::newRow("another user listens") << true;
        QTest::newRow("another user connects") << false;
    }
    void anotherUsersSocketIsRefused()
    {
        if (::geteuid() != 0)
            QSKIP("another user's socket needs the tests to run as root");
        QFETCH(bool, listening);
        QTemporaryDir data, run;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(run.path()));
        const QString path = SingleInstance::socketPath(data.path());
        SingleInstance ours(data.path());
        QSignalSpy received(&ours, &SingleInstance::argumentsReceived);
        if (listening) {
            const int planted = socketAs(path, kNobody, true);
            QVERIFY(planted >= 0);
            QVERIFY(!ours.handOver({QStringLiteral("a.gpx")}, 2000));
            const auto [connections, bytes] = takenBy(planted);
            ::close(planted);
            QCOMPARE(connections, 1);
            QCOMPARE(bytes, 0);
            return;
        }
        QVERIFY(ours.listen());
        // Opened to others, as a careless system might.
        QCOMPARE(::chmod(QFile::encodeName(run.path()).constData(), 0711), 0);
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0777), 0);
        const int client = socketAs(path, kNobody, false);
        QVERIFY(client >= 0);
        const QByteArray bytes = messageOf(6, QByteArray("a.gpx", 6));
        QCOMPARE(::send(client, bytes.constData(), bytes.size(), MSG_NOSIGNAL), bytes.size());
        char answer = 0;
        // Closed without an answer.
        QTRY_COMPARE(::recv(client, &answer, 1, MSG_DONTWAIT), 0);
        ::close(client);
        QCOMPARE(received.size(), 0);
    }

    // A later start's list arrives whole and in order, however long:
    // none, or longer than one message can carry.
    void listsArriveWhole_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::newRow("none") << QStringList();
        QStringList many;
        for (qint64 bytes = 0; bytes < 3 * SingleInstance::kMaxPayload; bytes += many.constLast().toUtf8().size())
            many.append(QStringLiteral("/jízdy/%1/%2.gpx").arg(QString(900, u'ř')).arg(many.size()));
        QTest::newRow("longer than a message") << many;
    }
    void listsArriveWhole()
    {
        QFETCH(QStringList, files);
        QTemporaryDir data;
        SingleInstance first(data.path()), later(data.path());
        QVERIFY(first.listen());
        QStringList arrived;
        int parts = 0;
        connect(&first, &SingleInstance::argumentsReceived, this, [&](const QStringList &part) {
            arrived += part;
            ++parts;
        });
        std::atomic<bool> taken = false;
        std::jthread other([&] { taken = later.handOver(files); });
        QTRY_VERIFY(taken);
        QVERIFY(parts > 0);
        QCOMPARE(arrived, files);
    }

    // Nothing sent to the socket makes the program keep more than one
    // message: one announced longer than the limit is refused at its
    // header, and what follows a message is never read. The program
    // cannot have kept more than the client got to write before it was
    // cut off.
    void oversizedMessageIsCutOff_data()
    {
        QTest::addColumn<quint32>("announced");
        QTest::addColumn<int>("taken");
        QTest::newRow("announced over the limit") << quint32(SingleInstance::kMaxPayload + 1) << 0;
        QTest::newRow("more than announced") << quint32(6) << 1;
    }
    void oversizedMessageIsCutOff()
    {
        QFETCH(quint32, announced);
        QFETCH(int, taken);
        QTemporaryDir data;
        SingleInstance ours(data.path());
        QSignalSpy received(&ours, &SingleInstance::argumentsReceived);
        QVERIFY(ours.listen());
        const QString path = SingleInstance::socketPath(data.path());
        std::atomic<qint64> written = 0;
        std::atomic<int> error = 0;
        std::atomic<bool> done = false;
        std::jthread client([&] {
            const int fd = socketAs(path, ::geteuid(), false, true);
            // Small buffers, so that what the kernel holds is known; a
            // client that is neither read nor cut off gives up.
            const int buffer = 64 * 1024;
            const timeval patience{10, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
            ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
            QByteArray bytes = messageOf(announced, QByteArray("a.gpx", 6)) + QByteArray(buffer, '\0');
            while (written < 4 * SingleInstance::kMaxPayload) {
                const ssize_t n = ::send(fd, bytes.constData(), bytes.size(), MSG_NOSIGNAL);
                if (n < 0) {
                    error = errno;
                    break;
                }
                written += n;
                bytes = QByteArray(buffer, '\0');
            }
            ::close(fd);
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done, 60000);
        QVERIFY2(error == EPIPE || error == ECONNRESET, qPrintable(qt_error_string(error)));
        QCOMPARE_LT(written.load(), SingleInstance::kMaxPayload);
        QCOMPARE(received.size(), taken);
    }

    // A connection that stops sending is dropped, wherever it stopped.
    void idleConnectionIsDropped_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("nothing") << QByteArray();
        QTest::newRow("half a header") << messageOf(6, {}).left(4);
        QTest::newRow("half a message") << messageOf(6, "a.g");
    }
    void idleConnectionIsDropped()
    {
        QFETCH(QByteArray, sent);
        QTemporaryDir data;
        SingleInstance ours(data.path());
        ours.setIdleLimit(std::chrono::milliseconds(100));
        QSignalSpy received(&ours, &SingleInstance::argumentsReceived);
        QVERIFY(ours.listen());
        QLocalSocket client;
        client.connectToServer(SingleInstance::socketPath(data.path()));
        QVERIFY(client.waitForConnected(5000));
        client.write(sent);
        QVERIFY(client.flush() || sent.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(client.state(), QLocalSocket::UnconnectedState, 10000);
        QCOMPARE(received.size(), 0);
    }

    // "Spustit přesto" takes the lock of a program that does not answer:
    // one that hangs here, or one on another computer sharing the folder,
    // whose process the lock file cannot ask after.
    void startAnywayTakesTheLock_data()
    {
        QTest::addColumn<QByteArray>("host");
        QTest::newRow("this computer") << QSysInfo::machineHostName().toUtf8();
        QTest::newRow("another computer") << QByteArray("jiny-pocitac.example.org");
    }
    void startAnywayTakesTheLock()
    {
        QFETCH(QByteArray, host);
        QTemporaryDir data;
        QProcess hung;
        hung.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        QVERIFY(hung.waitForStarted());
        // The lock file as QLockFile writes it: process, program, computer.
        const QString lock = data.filePath(SingleInstance::lockFileName());
        putFile(lock, QByteArray::number(hung.processId()) + "\nsleep\n" + host + '\n');
        SingleInstance single(data.path()), later(data.path());
        QVERIFY(!single.acquire());
        QVERIFY(single.takeOver());
        const QList<QByteArray> lines = fileBytes(lock).split('\n');
        QVERIFY(lines.size() >= 3);
        QCOMPARE(lines[0], QByteArray::number(QCoreApplication::applicationPid()));
        QCOMPARE(lines[2], QSysInfo::machineHostName().toUtf8());
        QVERIFY(!later.acquire());
        hung.kill();
        hung.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestProgram)

#include "tst_program.moc"
