// The bar of the rider's devices driven as a rider drives it: rides in a
// rider's folder, "Importovat" and "Skrýt", the folders dialog from the
// menu, a real volume mounted and unmounted while the window runs.
#include "AnsiFile.h"
#include "DeviceBar.h"
#include "DeviceWatch.h"
#include "FitWriter.h"
#include "ImportWindow.h"
#include "Modal.h"
#include "RideFoldersDialog.h"
#include "StringTableView.h"
#include "WindowFixture.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
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
        putFile(folder + u'/' + names[i],
                FitWriter::activity(FitWriter::fitTime(start.addSecs(3600 * i)), 600 + int(i), 5.0));
}

// A tmpfs mounted for the test, unmounted when it ends.
struct Mount
{
    QByteArray folder;
    bool ok = false;
    explicit Mount(const QString &at, const char *size)
        : folder(QFile::encodeName(at)), ok(::mount("trasovnik", folder.constData(), "tmpfs", 0, size) == 0)
    {
    }
    bool unmount() { return std::exchange(ok, false) && ::umount2(folder.constData(), MNT_DETACH) == 0; }
    ~Mount() { unmount(); }
};
} // namespace

class TestDevices : public WindowFixture
{
    Q_OBJECT
    QTemporaryDir *m_runtime = nullptr;

    QString settings() const { return m_dir->filePath(QStringLiteral("store.ini")); }
    // The lines the bar shows; none while it is hidden.
    QStringList barLines() const
    {
        if (!w->deviceBar->isVisible())
            return {};
        return w->deviceBar->textLabel->text().split(u'\n');
    }
    // Waits for a scan that starts from now to end.
    void waitForScan()
    {
        QSignalSpy scanned(w->deviceWatch(), &GpsImport::DeviceWatch::offeredChanged);
        w->deviceWatch()->scanNow();
        QTRY_VERIFY_WITH_TIMEOUT(!scanned.isEmpty(), 20000);
    }
    void choose(Qt::Key menuKey, QAction *item)
    {
        QTest::keyClick(w, menuKey, Qt::AltModifier);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        for (int i = 0; i < menu->actions().size() && menu->activeAction() != item; ++i)
            QTest::keyClick(menu, Qt::Key_Down);
        QCOMPARE(menu->activeAction(), item);
        QTest::keyClick(menu, Qt::Key_Return);
    }

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

    // Three rides in the rider's folder: the bar says so; "Importovat"
    // hands them to "Import jízd" and the bar goes for good.
    void barImports()
    {
        const QString folder = m_dir->filePath(QStringLiteral("Jízdy z Edge"));
        putRides(folder, {"1.fit", "2.FIT", "3.fit"});
        putFile(settings(), "[SlozkyZaznamu]\r\nSlozka1=" + AnsiFile::encode(folder) + "\r\n");
        open();
        QTRY_VERIFY_WITH_TIMEOUT(barLines().contains(QStringLiteral("Zařízení „Jízdy z Edge“: 3 nové jízdy")), 20000);
        if (const QString pictures = qEnvironmentVariable("TRASOVNIK_PICTURES"); !pictures.isEmpty())
            w->grab().save(pictures + QStringLiteral("/zarizeni.png"));
        QStringList handed;
        onModal<ImportWindow>([&handed](ImportWindow *d) {
            QTRY_VERIFY_WITH_TIMEOUT(!d->isReading(), 20000);
            auto *list = d->findChild<QTreeWidget *>(QStringLiteral("ImportList"));
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                handed.append(list->topLevelItem(i)->text(6));
            d->reject();
        });
        QTest::mouseClick(w->deviceBar->importButton, Qt::LeftButton);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        handed.sort(Qt::CaseInsensitive);
        QCOMPARE(handed, QStringList({"1.fit", "2.FIT", "3.fit"}));
        QVERIFY(!w->deviceBar->isVisible());
        waitForScan();
        QVERIFY(!barLines().join(u'\n').contains(QStringLiteral("Jízdy z Edge")));
    }

    // "Skrýt": the bar goes and does not come back for the same files; a
    // new ride brings it back with that ride alone.
    void barHides()
    {
        const QString folder = m_dir->filePath(QStringLiteral("Jizdy"));
        putRides(folder, {"1.fit", "2.fit"});
        putFile(settings(), "[SlozkyZaznamu]\r\nSlozka1=" + AnsiFile::encode(folder) + "\r\n");
        open();
        QTRY_VERIFY_WITH_TIMEOUT(barLines().contains(QStringLiteral("Zařízení „Jizdy“: 2 nové jízdy")), 20000);
        QTest::mouseClick(w->deviceBar->hideButton, Qt::LeftButton);
        QVERIFY(!w->deviceBar->isVisible());
        waitForScan();
        QVERIFY(!barLines().join(u'\n').contains(QStringLiteral("Jizdy")));
        putRides(folder, {"1.fit", "2.fit", "3.fit"});
        QTRY_VERIFY_WITH_TIMEOUT(barLines().contains(QStringLiteral("Zařízení „Jizdy“: 1 nová jízda")), 20000);
    }

    // "Možnosti" → "Složky se záznamy jízd…": a folder added through the
    // folder dialog is kept in store.ini beside the other keys and looked at.
    void foldersDialog()
    {
        const QByteArray other = "[Jine]\r\nklic = hodnota ; komentář\r\n";
        putFile(settings(), other);
        const QString folder = m_dir->filePath(QStringLiteral("Zaznamy"));
        putRides(folder, {"a.fit", "b.fit"});
        open();
        QStringList listed;
        onModal<RideFoldersDialog>([&](RideFoldersDialog *d) {
            onModal<QFileDialog>([&](QFileDialog *picker) { enterFileName(picker, folder); });
            QTest::mouseClick(d->addButton, Qt::LeftButton);
            listed = d->folders();
            if (const QString pictures = qEnvironmentVariable("TRASOVNIK_PICTURES"); !pictures.isEmpty())
                d->grab().save(pictures + QStringLiteral("/slozky-zaznamu.png"));
            QTest::mouseClick(d->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        });
        choose(Qt::Key_M, w->rideFoldersAction);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(listed, QStringList{folder});
        const QByteArray bytes = fileBytes(settings());
        QVERIFY2(bytes.startsWith(other), bytes.constData());
        QVERIFY2(bytes.contains("[SlozkyZaznamu]\r\nSlozka1=" + AnsiFile::encode(folder) + "\r\n"), bytes.constData());
        QTRY_VERIFY_WITH_TIMEOUT(barLines().contains(QStringLiteral("Zařízení „Zaznamy“: 2 nové jízdy")), 20000);
    }

    // A volume mounted while the window runs brings the bar; unmounted,
    // the bar goes.
    void realMount()
    {
        if (::geteuid() != 0)
            QSKIP("mounting a volume needs root");
        open();
        QTRY_VERIFY(w->deviceWatch());
        const QString at = m_dir->filePath(QStringLiteral("EDGE_STICK"));
        QVERIFY(QDir().mkpath(at));
        Mount mount(at, "size=4m");
        if (!mount.ok)
            QSKIP(qPrintable(QStringLiteral("mount -t tmpfs failed: ") + QString::fromLocal8Bit(strerror(errno))));
        putRides(at + QStringLiteral("/GARMIN/ACTIVITY"), {"A1.FIT", "A2.FIT", "A3.FIT", "A4.FIT", "A5.FIT"});
        QTRY_VERIFY_WITH_TIMEOUT(barLines().contains(QStringLiteral("Zařízení „EDGE_STICK“: 5 nových jízd")), 20000);
        QVERIFY(mount.unmount());
        QTRY_VERIFY_WITH_TIMEOUT(!barLines().join(u'\n').contains(QStringLiteral("EDGE_STICK")), 20000);
    }

    // Unmounted in the middle of a scan of many files: the scan ends
    // quietly, the window goes on, nothing of the device is offered.
    void unmountMidScan()
    {
        if (::geteuid() != 0)
            QSKIP("mounting a volume needs root");
        open({{"1.5.2026", "Okruh", "", "10", "00:30", "20", "1"}});
        QTRY_VERIFY(w->deviceWatch());
        const QString at = m_dir->filePath(QStringLiteral("BIG"));
        QVERIFY(QDir().mkpath(at));
        Mount mount(at, "size=80m");
        if (!mount.ok)
            QSKIP(qPrintable(QStringLiteral("mount -t tmpfs failed: ") + QString::fromLocal8Bit(strerror(errno))));
        const QString activity = at + QStringLiteral("/Garmin/Activity");
        QVERIFY(QDir().mkpath(activity));
        const QByteArray bytes(256 * 1024, 'x');
        for (int i = 0; i < 240; ++i)
            putFile(activity + QStringLiteral("/%1.fit").arg(i), bytes + QByteArray::number(i));
        // Out the moment a scan is seen at work.
        bool caught = false;
        QTimer watch;
        watch.setInterval(0);
        connect(&watch, &QTimer::timeout, this, [&] {
            if (w->deviceWatch()->isScanning() && mount.ok) {
                caught = mount.unmount();
                watch.stop();
            }
        });
        watch.start();
        QTRY_VERIFY_WITH_TIMEOUT(caught, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!w->deviceWatch()->isScanning(), 20000);
        waitForScan();
        QVERIFY(!barLines().join(u'\n').contains(QStringLiteral("BIG")));
        // The window still answers the rider.
        const int rows = log()->tableRowCount();
        QTest::keyClick(w->rideTable, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(log()->tableRowCount(), rows + 1);
    }
};

QTEST_MAIN(TestDevices)
#include "tst_devices.moc"
