// Tests of AtomicWrite: a file is replaced whole or stays as it was.

#include "AtomicWrite.h"

#include "AppErrorOf.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {
// Lowers the largest file this process may write, so that a write fails
// even for root, for whom access bits are no obstacle.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit l = m_saved;
        l.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &l) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};
} // namespace

class TestAtomicWrite : public QObject
{
    Q_OBJECT

private slots:
    void writeBytesReplacesWhole();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();
    void writeIntoMissingFolder();
    void writeIntoReadOnlyFolder();
};

void TestAtomicWrite::writeBytesReplacesWhole()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("default.tvl"));
    putFile(path, QByteArray(1000, 'x'));
    AtomicWrite::replaceFile(path, "short");
    QCOMPARE(fileBytes(path), QByteArray("short"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"default.tvl"});
}

void TestAtomicWrite::failedWriteKeepsOldFile_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("large") << 100000;
    // Small enough to stay in a write buffer until the end.
    QTest::newRow("small") << 100;
}

void TestAtomicWrite::failedWriteKeepsOldFile()
{
    QFETCH(int, size);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("default.tvl"));
    const QByteArray old("old contents\r\n");
    putFile(path, old);

    QString error;
    {
        FileSizeLimit limit(64);
        if (!limit.ok())
            QSKIP("cannot lower the file size limit");
        error = appErrorOf([&] { AtomicWrite::replaceFile(path, QByteArray(size, 'n')); });
    }
    QCOMPARE(error, QStringLiteral("Unable to write to %1").arg(path));
    QCOMPARE(fileBytes(path), old);
    // No half-written temporary file is left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"default.tvl"});
}

void TestAtomicWrite::writeIntoMissingFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("missing/default.tvl"));
    QCOMPARE(appErrorOf([&] { AtomicWrite::replaceFile(path, "x"); }),
             QStringLiteral("Cannot create file %1").arg(path));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("missing"))));
}

void TestAtomicWrite::writeIntoReadOnlyFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString sub = dir.filePath(QStringLiteral("ro"));
    QVERIFY(QDir().mkdir(sub));
    const QString path = sub + QStringLiteral("/default.tvl");
    const QByteArray old("old\r\n");
    putFile(path, old);
    QVERIFY(QFile::setPermissions(sub, QFile::ReadOwner | QFile::ExeOwner));
    const bool stillWritable = ::access(qPrintable(sub), W_OK) == 0;
    QString error;
    if (!stillWritable)
        error = appErrorOf([&] { AtomicWrite::replaceFile(path, "new contents"); });
    QFile::setPermissions(sub, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (stillWritable)
        QSKIP("the access bits do not stop this user (root); failedWriteKeepsOldFile covers it");
    QCOMPARE(error, QStringLiteral("Cannot create file %1").arg(path));
    QCOMPARE(fileBytes(path), old);
}

QTEST_GUILESS_MAIN(TestAtomicWrite)
#include "tst_atomicwrite.moc"
