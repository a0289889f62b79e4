// Tests of ProgramFolder: where the data files are kept, beside the
// program or in the per-user folder.

#include "ProgramFolder.h"

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

class TestProgramFolder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void programFolderWritable();
    void programFolderFallsBack_data();
    void programFolderFallsBack();
    void dataFilesCopiedOnce();
};

void TestProgramFolder::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestProgramFolder::programFolderWritable()
{
    QTemporaryDir dir, user;
    QVERIFY(dir.isValid() && user.isValid());
    putFile(dir.filePath(QStringLiteral("default.tvl")), "x");
    const auto where = ProgramFolder::locate(dir.path(), user.path());
    QCOMPARE(where.folder, QDir::cleanPath(dir.path()) + u'/');
    QVERIFY(!where.moved);
    // The probe leaves nothing behind, and nothing is copied.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"default.tvl"});
    QCOMPARE(QDir(user.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    // A trailing separator is not doubled.
    QCOMPARE(ProgramFolder::locate(dir.path() + u'/', user.path()).folder, where.folder);
    // The per-user folder is trasovnik under the user's data folder.
    QCOMPARE(ProgramFolder::userDataFolder(),
             QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/trasovnik/");
}

void TestProgramFolder::programFolderFallsBack_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing folder") << "missing";
    QTest::newRow("a file, not a folder") << "file";
    QTest::newRow("read-only folder") << "readonly";
    // Installed for everybody: never the data folder, even for root.
    QTest::newRow("installed in /usr/bin") << "installed";
    QTest::newRow("a link to /usr/bin") << "link";
}

void TestProgramFolder::programFolderFallsBack()
{
    QFETCH(QString, kind);
    QTemporaryDir dir, user;
    QVERIFY(dir.isValid() && user.isValid());
    QString executableFolder = dir.filePath(QStringLiteral("sub"));
    if (kind == QLatin1String("file")) {
        putFile(executableFolder, "x");
    } else if (kind == QLatin1String("readonly")) {
        QVERIFY(QDir().mkdir(executableFolder));
        putFile(executableFolder + "/default.tvl", "jízdy");
        QVERIFY(QFile::setPermissions(executableFolder, QFile::ReadOwner | QFile::ExeOwner));
        if (::access(qPrintable(executableFolder), W_OK) == 0)
            QSKIP("the access bits do not stop this user (root); the program test covers it");
    } else if (kind == QLatin1String("installed")) {
        executableFolder = QStringLiteral("/usr/bin");
    } else if (kind == QLatin1String("link")) {
        QVERIFY(QFile::link(QStringLiteral("/usr/bin"), executableFolder));
    }
    const QString userFolder = user.filePath(QStringLiteral("trasovnik"));
    const auto where = ProgramFolder::locate(executableFolder, userFolder);
    if (kind == QLatin1String("readonly"))
        QFile::setPermissions(executableFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(where.folder, userFolder + u'/');
    QVERIFY(where.moved);
    QCOMPARE(where.installed, kind == QLatin1String("installed") || kind == QLatin1String("link"));
    QVERIFY(QFileInfo(where.folder).isDir());
    QCOMPARE(where.copied, kind == QLatin1String("readonly") ? QStringList{"default.tvl"} : QStringList());
    // Only the start that made the per-user folder is its first.
    QVERIFY(where.created);
    QVERIFY(!ProgramFolder::locate(executableFolder, userFolder).created);
}

void TestProgramFolder::dataFilesCopiedOnce()
{
    // The files beside the program are copied into the per-user folder,
    // but a file already there is the rider's newer one and stays.
    QTemporaryDir dir, user;
    QVERIFY(dir.isValid() && user.isValid());
    putFile(dir.filePath(QStringLiteral("default.tvl")), "jízdy");
    putFile(dir.filePath(QStringLiteral("trasy.ini")), "[stará]");
    putFile(dir.filePath(QStringLiteral("temp.html")), "<html>");
    QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("default.tvl")), QFile::ReadOwner | QFile::ReadOther));
    putFile(user.filePath(QStringLiteral("trasy.ini")), "[nová]");
    const auto where = ProgramFolder::moveToUserFolder(dir.path(), user.path());
    QCOMPARE(where.copied, QStringList{"default.tvl"});
    QVERIFY(where.notCopied.isEmpty());
    QCOMPARE(fileBytes(user.filePath(QStringLiteral("default.tvl"))), QByteArray("jízdy"));
    QCOMPARE(fileBytes(user.filePath(QStringLiteral("trasy.ini"))), QByteArray("[nová]"));
    QVERIFY(!QFile::exists(user.filePath(QStringLiteral("temp.html"))));
    // The copy can be saved over, even though the original was read-only.
    QVERIFY(QFileInfo(user.filePath(QStringLiteral("default.tvl"))).permission(QFile::WriteOwner));
    // A second start copies nothing.
    QVERIFY(ProgramFolder::moveToUserFolder(dir.path(), user.path()).copied.isEmpty());
}

QTEST_GUILESS_MAIN(TestProgramFolder)
#include "tst_programfolder.moc"
