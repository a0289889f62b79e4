#include "AppError.h"
#include "RideLogBackups.h"
#include "RideLogFile.h"
#include "RideLogFiles.h"
#include "RideRows.h"
#include "TestFiles.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
const QList<QStringList> kRides = {{u"1.5.2025"_qs, u"Říčany"_qs, u"Říčany - Ondřejov"_qs, u"25,5"_qs},
                                   {u"2.5.2025"_qs, u"Žďár"_qs, QString(), u"40"_qs, u"2:00"_qs}};

void setModified(const QString &path, const QDateTime &when)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
}
} // namespace

// The ride log's file and the file of its unsaved changes, without a
// window: what is written, when, and what an earlier run's changes become.
class TestRideLogFiles : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<StringTable> m_log;
    std::unique_ptr<RideLogFiles> m_files;

    QString file(const QString &name) const { return m_dir->filePath(name); }
    // The log file and the file of unsaved changes as an earlier run left them.
    void start(const QByteArray &unsaved, int unsavedAge)
    {
        const QDateTime written = QDateTime::currentDateTime().addSecs(-100);
        putFile(file(u"default.tvl"_qs), rideLogFile(kRides.mid(0, 1)));
        setModified(file(u"default.tvl"_qs), written);
        if (!unsaved.isEmpty()) {
            putFile(file(u"default-obnova.tvl"_qs), unsaved);
            setModified(file(u"default-obnova.tvl"_qs), written.addSecs(unsavedAge));
        }
        m_log = std::make_unique<StringTable>();
        setUpRideLogTable(*m_log);
        m_files = std::make_unique<RideLogFiles>(*m_log, ProgramFolder::Location::inFolder(m_dir->path() + u'/'));
        bool prefetched = false;
        QCOMPARE(m_files->load(nullptr, &prefetched), QString());
    }

private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }
    void cleanup()
    {
        m_files.reset();
        m_log.reset();
        m_dir.reset();
    }

    // Nothing is written until the log changes; a change is written in
    // the log's own bytes, and a save takes the file of changes away.
    void changesThenSave()
    {
        start({}, 0);
        m_files->writeUnsavedNow();
        QCOMPARE(fileBytes(file(u"default-obnova.tvl"_qs)), QByteArray("<missing>"));
        appendRides(*m_log, kRides.mid(1));
        m_files->writeUnsavedNow();
        QCOMPARE(fileBytes(file(u"default-obnova.tvl"_qs)), rideLogFile(kRides));
        QString error;
        QVERIFY(m_files->save(&error));
        QCOMPARE(fileBytes(file(u"default.tvl"_qs)), rideLogFile(kRides));
        QCOMPARE(fileBytes(file(u"default-obnova.tvl"_qs)), QByteArray("<missing>"));
    }

    void earlierChanges_data()
    {
        QTest::addColumn<QByteArray>("unsaved");
        QTest::addColumn<int>("age"); // seconds after the log file
        QTest::addColumn<bool>("offered");
        QTest::addColumn<bool>("copied");
        QTest::newRow("newer") << rideLogFile(kRides) << 60 << true << false;
        QTest::newRow("the log's own bytes") << rideLogFile(kRides.mid(0, 1)) << 60 << false << false;
        QTest::newRow("as old as the log") << rideLogFile(kRides) << 0 << false << true;
        QTest::newRow("older") << rideLogFile(kRides) << -60 << false << true;
    }
    void earlierChanges()
    {
        QFETCH(QByteArray, unsaved);
        QFETCH(int, age);
        QFETCH(bool, offered);
        QFETCH(bool, copied);
        start(unsaved, age);
        QCOMPARE(m_files->unsavedChanges().has_value(), offered);
        QCOMPARE(fileBytes(file(u"default-obnova.tvl"_qs)), offered ? unsaved : QByteArray("<missing>"));
        const QList<RideLogBackups::Entry> copies = RideLogBackups::list(file(u"default.tvl"_qs));
        QCOMPARE(copies.size(), copied ? 1 : 0);
        if (copied) {
            QCOMPARE(copies[0].kind, RideLogBackups::Entry::UnsavedChanges);
            QCOMPARE(fileBytes(copies[0].path), unsaved);
        }
    }

    // Changes that cannot be read whole replace nothing and copy nothing.
    void damagedChangesAreNotTaken()
    {
        const QByteArray damaged("|\r\n3|7\r\n18\r\n\r\n\r\nTop\r\n0|1|3.5.2005\r\nx|1|A\r\n");
        start(damaged, 60);
        QVERIFY(m_files->unsavedChanges());
        QVERIFY_THROWS_EXCEPTION(AppError, m_files->takeUnsavedChanges());
        QCOMPARE(rideNames(*m_log), QStringList{u"Říčany"_qs});
        QVERIFY(RideLogBackups::list(file(u"default.tvl"_qs)).isEmpty());
        QCOMPARE(fileBytes(file(u"default-obnova.tvl"_qs)), damaged);
    }
};

QTEST_GUILESS_MAIN(TestRideLogFiles)
#include "tst_ridelogfiles.moc"
