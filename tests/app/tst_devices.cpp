// The bar of the rider's devices driven as a rider drives it: rides in a
// rider's folder, "Importovat" and "Skrýt", the folders dialog from the
// menu, a real volume mounted and unmounted while the window runs.
#include "AnsiFile.h"
#include "DeviceBar.h"
#include "FitWriter.h"
#include "ImportWindow.h"
#include "Modal.h"
#include "RideFoldersDialog.h"
#include "StringTableView.h"
#include "WindowFixture.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>

#include <sys/mount.h>
#include <unistd.h>

namespace {
// Distinct rides, an hour apart.
void putRides(const QString &folder, const QStringList &names)
{
    QVERIFY(QDir().mkpath(folder));
    const QDateTime start(QDate(2026, 6, 1), QTime(8, 0), QTimeZone::utc());
    for (qsizetype i = 0; i < names.size(); ++i)
        putFile(folder + u'/' + names[i], FitWriter::activity(FitWriter::fitTime(start.addSecs(3600 * i)), 600, 5.0));
}

// A tmpfs mounted for the test, unmounted at the latest when it ends.
struct Mount
{
    QByteArray at;
    bool ok;
    Mount(const QString &folder, const char *size)
        : at(QFile::encodeName(folder)), ok(::mount("trasovnik", at.constData(), "tmpfs", 0, size) == 0)
    {
    }
    bool unmount() { return std::exchange(ok, false) && ::umount2(at.constData(), MNT_DETACH) == 0; }
    ~Mount() { unmount(); }
};
} // namespace

class TestDevices : public WindowFixture
{
    Q_OBJECT
    QTemporaryDir *m_runtime = nullptr;

    // The bar's text; empty while it is hidden.
    QString barText() const { return w->deviceBar->isVisible() ? w->deviceBar->textLabel->text() : QString(); }
    bool barSays(const QString &line) const { return barText().split(u'\n').contains(line); }
    void waitForScan()
    {
        QSignalSpy scanned(w->deviceWatch(), &GpsImport::DeviceWatch::offeredChanged);
        w->deviceWatch()->scanNow();
        QTRY_VERIFY_WITH_TIMEOUT(!scanned.isEmpty(), 20000);
    }
    void openWithFolder(const QString &folder)
    {
        putFile(m_dir->filePath("store.ini"), "[SlozkyZaznamu]\r\nSlozka1=" + AnsiFile::encode(folder) + "\r\n");
        open();
    }
    // A volume mounted on a folder of the test's; none without the right.
    std::unique_ptr<Mount> mountVolume(const QString &name, const char *size)
    {
        QDir().mkpath(m_dir->filePath(name));
        auto mount = std::make_unique<Mount>(m_dir->filePath(name), size);
        return mount->ok ? std::move(mount) : nullptr;
    }
    static constexpr char kNoMount[] = "mount -t tmpfs failed: not root, or no right to mount here";

private slots:
    void init()
    {
        setUp();
        // No desktop's MTP mounts but the test's own.
        m_runtime = new QTemporaryDir;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime->path()));
    }
    void cleanup()
    {
        tearDown();
        delete m_runtime;
    }

    // "Importovat" hands the rides to "Import jízd"; the bar goes for good.
    void barImports()
    {
        const QString folder = m_dir->filePath(QStringLiteral("Jízdy z Edge"));
        putRides(folder, {"1.fit", "2.FIT", "3.fit"});
        openWithFolder(folder);
        QTRY_VERIFY_WITH_TIMEOUT(barSays(QStringLiteral("Zařízení „Jízdy z Edge“: 3 nové jízdy")), 20000);
        if (const QString pictures = qEnvironmentVariable("TRASOVNIK_PICTURES"); !pictures.isEmpty())
            w->grab().save(pictures + QStringLiteral("/zarizeni.png"));
        QStringList handed;
        onModal<ImportWindow>([&handed](ImportWindow *d) {
            QTRY_VERIFY_WITH_TIMEOUT(!d->isReading(), 20000);
            for (const GpsImport::ImportRow &row : d->rows())
                handed += row.files;
            d->reject();
        });
        QTest::mouseClick(w->deviceBar->importButton, Qt::LeftButton);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        handed.sort(Qt::CaseInsensitive);
        QCOMPARE(handed, QStringList({"1.fit", "2.FIT", "3.fit"}));
        QVERIFY(!w->deviceBar->isVisible());
        waitForScan();
        QVERIFY(!barText().contains(QStringLiteral("Jízdy z Edge")));
    }

    // "Skrýt": not again for the same files; a new ride comes alone; the
    // folder gone and back offers all of them again.
    void barHides()
    {
        const QString folder = m_dir->filePath(QStringLiteral("Jizdy"));
        putRides(folder, {"1.fit", "2.fit"});
        openWithFolder(folder);
        QTRY_VERIFY_WITH_TIMEOUT(barSays(QStringLiteral("Zařízení „Jizdy“: 2 nové jízdy")), 20000);
        QTest::mouseClick(w->deviceBar->hideButton, Qt::LeftButton);
        QVERIFY(!w->deviceBar->isVisible());
        waitForScan();
        QVERIFY(!barText().contains(QStringLiteral("Jizdy")));
        putRides(folder, {"1.fit", "2.fit", "3.fit"});
        QTRY_VERIFY_WITH_TIMEOUT(barSays(QStringLiteral("Zařízení „Jizdy“: 1 nová jízda")), 20000);
        QVERIFY(QDir(folder).removeRecursively());
        waitForScan();
        putRides(folder, {"1.fit", "2.fit", "3.fit", "4.fit", "5.fit"});
        waitForScan();
        QVERIFY(barSays(QStringLiteral("Zařízení „Jizdy“: 5 nových jízd")));
    }

    // "Možnosti" → "Složky se záznamy jízd…": a folder added through the
    // folder dialog is kept in store.ini beside the other keys and looked at.
    void foldersDialog()
    {
        const QByteArray other = "[Jine]\r\nklic = hodnota ; komentář\r\n";
        putFile(m_dir->filePath("store.ini"), other);
        const QString folder = m_dir->filePath(QStringLiteral("Zaznamy"));
        putRides(folder, {"a.fit", "b.fit"});
        open();
        onModal<RideFoldersDialog>([&](RideFoldersDialog *d) {
            onModal<QFileDialog>([&](QFileDialog *picker) { enterFileName(picker, folder); });
            QTest::mouseClick(d->addButton, Qt::LeftButton);
            QCOMPARE(d->folders(), QStringList{folder});
            if (const QString pictures = qEnvironmentVariable("TRASOVNIK_PICTURES"); !pictures.isEmpty())
                d->grab().save(pictures + QStringLiteral("/slozky-zaznamu.png"));
            QTest::mouseClick(d->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        });
        QTest::keyClick(w, Qt::Key_M, Qt::AltModifier);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(w->rideFoldersAction).center());
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(fileBytes(m_dir->filePath("store.ini")),
                 other + "[SlozkyZaznamu]\r\nSlozka1=" + AnsiFile::encode(folder) + "\r\n");
        QTRY_VERIFY_WITH_TIMEOUT(barSays(QStringLiteral("Zařízení „Zaznamy“: 2 nové jízdy")), 20000);
    }

    // A volume mounted while the window runs brings the bar; "Skrýt" keeps
    // it away until the volume is mounted anew; unmounted, the bar goes.
    void realMount()
    {
        open();
        QTRY_VERIFY(w->deviceWatch());
        const QStringList rides{"A1.FIT", "A2.FIT", "A3.FIT", "A4.FIT", "A5.FIT"};
        const QString line = QStringLiteral("Zařízení „EDGE_STICK“: 5 nových jízd");
        for (int time = 0; time < 2; ++time) {
            const auto mount = mountVolume(QStringLiteral("EDGE_STICK"), "size=4m");
            if (!mount)
                QSKIP(kNoMount);
            putRides(m_dir->filePath(QStringLiteral("EDGE_STICK/GARMIN/ACTIVITY")), rides);
            QTRY_VERIFY_WITH_TIMEOUT(barSays(line), 20000);
            if (time == 0) {
                QTest::mouseClick(w->deviceBar->hideButton, Qt::LeftButton);
                waitForScan();
                QVERIFY(!barSays(line));
            }
            QVERIFY(mount->unmount());
            // Put back within the moment before the next scan.
            QTest::qWait(100);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!barText().contains(QStringLiteral("EDGE_STICK")), 20000);
    }

    // Unmounted in the middle of a scan of many files: the scan ends
    // quietly, nothing of the volume is offered, the window goes on.
    void unmountMidScan()
    {
        open({{"1.5.2026", "Okruh", "", "10", "00:30", "20", "1"}});
        QTRY_VERIFY(w->deviceWatch());
        const auto mount = mountVolume(QStringLiteral("BIG"), "size=80m");
        if (!mount)
            QSKIP(kNoMount);
        QVERIFY(QDir().mkpath(m_dir->filePath("BIG/Garmin/Activity")));
        for (int i = 0; i < 240; ++i)
            putFile(m_dir->filePath(QStringLiteral("BIG/Garmin/Activity/%1.fit").arg(i)),
                    QByteArray(256 * 1024, 'x') + QByteArray::number(i));
        // Out the moment the scan has read the first file (the volume
        // keeps the time a file was read after it was written).
        const QString first = m_dir->filePath("BIG/Garmin/Activity/0.fit");
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            const QFileInfo read(first);
            if (w->deviceWatch()->isScanning() && read.lastRead() > read.lastModified() && mount->unmount())
                watch.stop();
        });
        // Nothing of the volume is offered once it is out.
        QStringList offeredAfter;
        connect(w->deviceWatch(), &GpsImport::DeviceWatch::offeredChanged, this, [&](const auto &devices) {
            for (const auto &d : devices)
                if (!mount->ok)
                    offeredAfter += d.name;
        });
        watch.start(0);
        QTRY_VERIFY_WITH_TIMEOUT(!mount->ok, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!w->deviceWatch()->isScanning(), 20000);
        waitForScan();
        QVERIFY2(!offeredAfter.contains(QStringLiteral("BIG")), qPrintable(offeredAfter.join(u',')));
        const int rows = log()->tableRowCount();
        QTest::keyClick(w->rideTable, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(log()->tableRowCount(), rows + 1);
    }
};

QTEST_MAIN(TestDevices)
#include "tst_devices.moc"
