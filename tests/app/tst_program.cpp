#include "DataKeeper.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <functional>
#include <grp.h>
#include <unistd.h>
#include <sys/stat.h>

// The real program, started in a folder of its own and told to end.
class TestProgram : public QObject
{
    Q_OBJECT

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
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
        p.setProcessEnvironment(env);
        if (asOther && ::geteuid() == 0) {
            for (const QString &f : {folder, dataHome})
                QVERIFY(QFile::setPermissions(f, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                     | QFile::ReadOther | QFile::ExeOther));
            QCOMPARE(::chown(QFile::encodeName(dataHome).constData(), 65534, 65534), 0);
            p.setChildProcessModifier([] {
                if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                    ::_exit(99);
            });
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

    // Written with LF line ends: the program writes CR LF back.
    const QByteArray kLf = "|\n3|7\n18\n\n\nTop\n0|1|3.5.2005\n3|1|10\n";

    static void verifySaved(const QByteArray &saved)
    {
        QVERIFY2(saved.startsWith("|\r\n3|7\r\n18\r\n"), saved.constData());
        QVERIFY(saved.contains("0|0|Datum\r\n"));
        QVERIFY(saved.contains("0|1|3.5.2005\r\n3|1|10\r\n"));
    }

private slots:
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
};

QTEST_GUILESS_MAIN(TestProgram)

#include "tst_program.moc"
