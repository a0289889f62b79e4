#include "AnsiFile.h"
#include "AppError.h"
#include "IniFile.h"
#include "MessageRecorder.h"
#include "Modal.h"
#include "PlacementFile.h"
#include "RideLogFile.h"
#include "PlacementStorage.h"
#include "TestFiles.h"
#include "MainWindow.h"
#include "StringTable.h"
#include "WaypointEditor.h"
#include "WaypointPanels.h"

#include <QAction>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QWindow>
#include <QWidget>
#include <QtTest>

namespace {
QString suffix()
{
    return PlacementFile::screenSuffix(QGuiApplication::primaryScreen()->size());
}

int screenPpi()
{
    return qRound(QGuiApplication::primaryScreen()->logicalDotsPerInch());
}

// A window like the program's: a class name for the section, a checkable
// option and a panel whose width is kept.
class TestWindow : public QWidget
{
    Q_OBJECT
public:
    explicit TestWindow(const QString &ini)
    {
        option = new QAction(this);
        option->setCheckable(true);
        panel = new QWidget(this);
        panel->resize(152, 40);
        storage = new PlacementStorage(this, QStringLiteral("TestWindow"));
        storage->setIniFileName(ini);
        storage->keepProperty(QStringLiteral("item_op_novy_Checked"), option, "Checked");
        storage->keepProperty(QStringLiteral("Panel1_Width"), panel, "Width");
        setGeometry(100, 80, 544, 342);
    }
    QAction *option;
    QWidget *panel;
    PlacementStorage *storage;
};
} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString ini() const { return m_dir.filePath(QStringLiteral("store.ini")); }

    // Restores a new window from the file and shows it.
    std::unique_ptr<TestWindow> restored()
    {
        auto w = std::make_unique<TestWindow>(ini());
        w->storage->restorePlacement();
        w->show();
        return w;
    }

private slots:
    void init() { QFile::remove(ini()); }

    void firstSaveWritesEveryKeyInOrder()
    {
        TestWindow w(ini());
        w.setGeometry(120, 90, 500, 300);
        w.storage->restorePlacement(); // no file: nothing changes
        QCOMPARE(w.geometry(), QRect(120, 90, 500, 300));
        w.show();
        w.option->setChecked(true);
        w.storage->savePlacement();
        // A maximized window's frame lies off the screen by the frame's width.
        const QPoint frame = w.frameGeometry().topLeft() - w.geometry().topLeft();
        const QString minMax = QStringLiteral("-1,-1,%1,%2").arg(frame.x()).arg(frame.y());
        const QByteArray expected = AnsiFile::encode(
            QStringLiteral("[TestWindow]\r\nFormVersion=0\r\nFlags=0\r\nShowCmd=1\r\nPixelsPerInch=%1\r\n"
                           "MinMaxPos%2=%3\r\nMinMaxPos=%3\r\nNormPos%2=120,90,620,390\r\n"
                           "NormPos=120,90,620,390\r\nVisible=0\r\nitem_op_novy_Checked=True\r\nPanel1_Width=152\r\n")
                .arg(screenPpi())
                .arg(suffix(), minMax));
        QCOMPARE(fileBytes(ini()), expected);
        // Saving at destruction after a save writes nothing more.
        w.storage->saveIfNotSaved();
        QCOMPARE(fileBytes(ini()), expected);
    }

    void roundTrip_data()
    {
        QTest::addColumn<bool>("maximized");
        QTest::addColumn<bool>("option");
        QTest::newRow("normal") << false << true;
        QTest::newRow("maximized") << true << false;
    }
    void roundTrip()
    {
        QFETCH(bool, maximized);
        QFETCH(bool, option);
        const QRect normal(150, 110, 610, 420);
        {
            TestWindow w(ini());
            w.storage->restorePlacement();
            w.setGeometry(normal);
            w.show();
            if (maximized)
                w.showMaximized();
            w.option->setChecked(option);
            w.panel->resize(200, 40);
            w.storage->savePlacement();
        }
        QCOMPARE(AnsiFile::decode(fileBytes(ini())).contains(maximized ? u"ShowCmd=3" : u"ShowCmd=1"), true);
        auto w = restored();
        QCOMPARE(bool(w->windowState() & Qt::WindowMaximized), maximized);
        QCOMPARE(maximized ? w->normalGeometry() : w->geometry(), normal);
        QCOMPARE(w->option->isChecked(), option);
        QCOMPARE(w->panel->width(), 200);
    }

    // Hand-written sections: what the reading makes of them.
    void restoreFromFile_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<bool>("maximized");
        QTest::addColumn<bool>("option");
        const QRect designed(100, 80, 544, 342);
        const QString s = suffix();
        const QString ppi = QString::number(screenPpi());
        QTest::newRow("this screen's own keys first")
            << QStringLiteral("NormPos=10,10,300,200\r\nNormPos%1=20,30,420,330\r\nPixelsPerInch=%2\r\n").arg(s, ppi)
            << QRect(20, 30, 400, 300) << false << false;
        QTest::newRow("another screen size: the plain keys")
            << QStringLiteral("NormPos(1x1)=0,0,5,5\r\nNormPos=40,50,340,250\r\n") << QRect(40, 50, 300, 200) << false
            << false;
        QTest::newRow("other pixels per inch: state and options only")
            << QStringLiteral("NormPos=40,50,340,250\r\nPixelsPerInch=%1\r\nShowCmd=3\r\nitem_op_novy_Checked=True\r\n")
                   .arg(screenPpi() + 24)
            << designed << true << true;
        QTest::newRow("hexadecimal numbers") << QStringLiteral("ShowCmd=0x3\r\nPixelsPerInch=0x%1\r\nNormPos=40,50,340,250\r\n")
                                                    .arg(screenPpi(), 0, 16)
                                             << QRect(40, 50, 300, 200) << true << false;
        QTest::newRow("hexadecimal pixels per inch of another screen")
            << QStringLiteral("PixelsPerInch=0x%1\r\nNormPos=40,50,340,250\r\n").arg(screenPpi() + 1, 0, 16) << designed
            << false << false;
        QTest::newRow("bottom above top is not applied") << QStringLiteral("NormPos=40,250,340,50\r\n") << designed
                                                         << false << false;
        QTest::newRow("bad words take their defaults")
            << QStringLiteral("NormPos=40, x 250\r\nShowCmd=abc\r\n") << QRect(40, 80, 210, 342) << false
            << false;
        QTest::newRow("empty rectangle is not applied") << QStringLiteral("NormPos=300,50,300,250\r\n") << designed
                                                        << false << false;
        QTest::newRow("lower-case true turns the option on") << QStringLiteral("item_op_novy_Checked=true\r\n")
                                                             << designed << false << true;
        QTest::newRow("other texts leave the option") << QStringLiteral("item_op_novy_Checked=ano\r\n") << designed
                                                      << false << false;
        QTest::newRow("an older version: nothing")
            << QStringLiteral("FormVersion=-1\r\nNormPos=40,50,340,250\r\nShowCmd=3\r\nitem_op_novy_Checked=True\r\n")
            << designed << false << false;
    }
    void restoreFromFile()
    {
        QFETCH(QString, section);
        QFETCH(QRect, geometry);
        QFETCH(bool, maximized);
        QFETCH(bool, option);
        putFile(ini(), AnsiFile::encode(QStringLiteral("[testwindow]\r\n") + section));
        auto w = restored();
        QCOMPARE(bool(w->windowState() & Qt::WindowMaximized), maximized);
        QCOMPARE(maximized ? w->normalGeometry() : w->geometry(), geometry);
        QCOMPARE(w->option->isChecked(), option);
    }

    void offScreenPlacementComesBack()
    {
        putFile(ini(), "[TestWindow]\r\nNormPos=5000,4000,5400,4300\r\n");
        auto w = restored();
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY2(area.contains(w->geometry()), qPrintable(QStringLiteral("%1,%2").arg(w->x()).arg(w->y())));
        QCOMPARE(w->size(), QSize(400, 300));
    }

    // However large, small or far off the stored rectangle, the program's
    // windows open on the screen, and what they save is what they showed.
    void absurdPlacementStaysOnScreen_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QSize>("size"); // empty: nearly the screen's free area; invalid: any from the minimum up
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        const QString huge = QStringLiteral("NormPos=0,0,1000000000,1000000000\r\n");
        QTest::newRow("main window, huge") << u"TForm1"_qs << huge << QSize(0, 0);
        QTest::newRow("editor, huge") << u"formEdit"_qs << huge << QSize(0, 0);
        QTest::newRow("main window, maximized, huge") << u"TForm1"_qs << u"ShowCmd=3\r\n"_qs + huge << QSize(0, 0);
        QTest::newRow("main window, widest ints")
            << u"TForm1"_qs << u"NormPos=-2147483648,-2147483648,2147483647,2147483647\r\n"_qs << QSize(0, 0);
        QTest::newRow("main window, mostly off to the right")
            << u"TForm1"_qs << u"NormPos=%1,100,%2,500\r\n"_qs.arg(area.right() - 99).arg(area.right() + 501)
            << QSize(600, 400);
        QTest::newRow("editor, a point") << u"formEdit"_qs << u"NormPos=5,5,6,6\r\n"_qs << QSize();
        QTest::newRow("editor, huge panel") << u"formEdit"_qs << u"Panel1_Width=1000000000\r\n"_qs << QSize();
    }
    void absurdPlacementStaysOnScreen()
    {
        QFETCH(QString, section);
        QFETCH(QString, keys);
        QFETCH(QSize, size);
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        const MessageRecorder msgs;
        putFile(m_dir.filePath(u"default.tvl"_qs), rideLogFile({{u"3.5.2005"_qs, u"Okruh"_qs}}));
        putFile(ini(), AnsiFile::encode(u"["_qs + section + u"]\r\n"_qs + keys));
        QRect shown;
        const auto check = [&](QWidget *window) {
            shown = window->isMaximized() ? window->normalGeometry() : window->geometry();
            // With the frame the desktop puts around it.
            const QRect frame = shown.marginsAdded(window->windowHandle()->frameMargins());
            QVERIFY2(area.contains(frame), qPrintable(QStringLiteral("%1,%2 %3x%4").arg(frame.x()).arg(frame.y())
                                                           .arg(frame.width()).arg(frame.height())));
            if (size == QSize(0, 0))
                QVERIFY(shown.width() > area.width() * 9 / 10 && shown.height() > area.height() * 9 / 10);
            else if (size.isValid())
                QCOMPARE(shown.size(), size);
            QCOMPARE(shown.size().expandedTo(window->minimumSizeHint()).expandedTo(window->minimumSize()),
                     shown.size());
        };
        {
            MainWindow w(m_dir.path());
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            if (section == u"TForm1") {
                check(&w);
                QCOMPARE(w.isMaximized(), keys.contains(u"ShowCmd=3"));
            } else {
                bool opened = false;
                onModal<WaypointEditor>([&](WaypointEditor *d) {
                    opened = true;
                    check(d);
                    QTest::mouseClick(d->doneButton, Qt::LeftButton);
                    if (d->isVisible())
                        d->QDialog::done(0);
                });
                QTest::mouseClick(w.editCourseButton, Qt::LeftButton);
                QVERIFY(opened);
            }
            w.close();
        }
        // The absurd value is not written back.
        const auto saved = PlacementFile::positionWords(IniFile::readString(ini(), section, u"NormPos"), {});
        QCOMPARE(QRect(QPoint(saved[0], saved[1]), QPoint(saved[2] - 1, saved[3] - 1)), shown);
        QVERIFY(msgs.shown.isEmpty());
    }

    // A data folder of an earlier version: its store.ini names the windows'
    // sections and keys as they have always been named. The windows open
    // where the file says, and a run that changes nothing leaves every file
    // as it was, byte for byte.
    void anOldDataFolderOpensAsItWas()
    {
        const MessageRecorder msgs;
        QTemporaryDir dir;
        const auto path = [&dir](const char *name) { return dir.filePath(QString::fromLatin1(name)); };
        // The frame the platform puts around a window.
        QWidget probe;
        probe.show();
        QVERIFY(QTest::qWaitForWindowExposed(&probe));
        const QPoint frame = probe.frameGeometry().topLeft() - probe.geometry().topLeft();
        probe.hide();
        const QString minMax = QStringLiteral("-1,-1,%1,%2").arg(frame.x()).arg(frame.y());
        const auto section = [&](const QString &name, const QRect &r, const QString &more) {
            const QString pos = QStringLiteral("%1,%2,%3,%4").arg(r.left()).arg(r.top()).arg(r.right() + 1).arg(r.bottom() + 1);
            return QStringLiteral("[%1]\r\nFormVersion=0\r\nFlags=0\r\nShowCmd=1\r\nPixelsPerInch=%2\r\n"
                                  "MinMaxPos%3=%4\r\nMinMaxPos=%4\r\nNormPos%3=%5\r\nNormPos=%5\r\nVisible=0\r\n%6")
                .arg(name).arg(screenPpi()).arg(suffix(), minMax, pos, more);
        };
        // The waypoint editor opens centred over the main window, in the
        // size the file gives.
        const QMargins margins = probe.windowHandle()->frameMargins();
        const QRect mainAt(130, 95, 600, 380);
        const QSize editorOuter = QSize(520, 360).grownBy(margins);
        const QPoint mainCentre = mainAt.marginsAdded(margins).center();
        const QRect editorAt(mainCentre - QPoint(editorOuter.width() / 2, editorOuter.height() / 2)
                                 + QPoint(margins.left(), margins.top()),
                             QSize(520, 360));
        const QByteArray store = AnsiFile::encode(
            section(u"TForm1"_qs, mainAt, u"item_op_novy_Checked=False\r\n"_qs)
            + section(u"formEdit"_qs, editorAt, u"Panel1_Width=183\r\n"_qs));
        const QByteArray routes = AnsiFile::encode(u"[Okruh]\r\nkm=25\r\ntrasa=Brno - Tišnov\r\nnarocnost=3\r\n"_qs);
        const QByteArray waypoints = AnsiFile::encode(u"Brno\r\nTišnov\r\nŽďár\r\n"_qs);
        const QByteArray log = rideLogFile({{u"3.5.2005"_qs, u"Okruh"_qs, u"Brno - Tišnov"_qs, u"25"_qs}});
        putFile(path("store.ini"), store);
        putFile(path("trasy.ini"), routes);
        putFile(path("default.tvb"), waypoints);
        putFile(path("default.tvl"), log);
        {
            MainWindow w(dir.path());
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QCOMPARE(w.geometry(), mainAt);
            QVERIFY(!w.askOnStartAction->isChecked());
            bool opened = false;
            onModal<WaypointEditor>([&](WaypointEditor *d) {
                opened = true;
                QCOMPARE(d->geometry(), editorAt);
                QCOMPARE(d->waypointPanel->width(), 183);
                QCOMPARE(d->waypointList()->tableRowCount(), 3);
                QTest::mouseClick(d->doneButton, Qt::LeftButton);
            });
            QTest::mouseClick(w.editCourseButton, Qt::LeftButton);
            QVERIFY(opened);
            w.close();
        }
        QCOMPARE(fileBytes(path("store.ini")), store);
        QCOMPARE(fileBytes(path("trasy.ini")), routes);
        QCOMPARE(fileBytes(path("default.tvb")), waypoints);
        QCOMPARE(fileBytes(path("default.tvl")), log);
        QVERIFY2(msgs.shown.isEmpty(), qPrintable(msgs.texts().join(u'\n')));
    }

    // A window closed minimized opens minimized; restored by the rider, it
    // comes back as it was before it was minimized.
    void restoredFromMinimized_data()
    {
        QTest::addColumn<bool>("wasMaximized");
        QTest::newRow("minimized from maximized") << true;
        QTest::newRow("minimized from normal") << false;
    }
    void restoredFromMinimized()
    {
        QFETCH(bool, wasMaximized);
        const QRect normal(150, 110, 500, 300);
        {
            TestWindow w(ini());
            w.storage->restorePlacement();
            w.setGeometry(normal);
            w.show();
            if (wasMaximized)
                w.showMaximized();
            w.showMinimized();
            w.storage->savePlacement();
        }
        QVERIFY(AnsiFile::decode(fileBytes(ini())).contains(wasMaximized ? u"Flags=2\r\nShowCmd=2" : u"Flags=0\r\nShowCmd=2"));
        auto w = restored();
        QVERIFY(w->isMinimized());
        w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
        QCOMPARE(w->isMaximized(), wasMaximized);
        QCOMPARE(wasMaximized ? w->normalGeometry() : w->geometry(), normal);
    }

    void nothingIsSavedBeforeRestoring()
    {
        TestWindow w(ini());
        w.storage->savePlacement();
        w.storage->saveIfNotSaved();
        QVERIFY(!QFile::exists(ini()));
    }

    void unwritableFileIsReported()
    {
        QVERIFY(QDir().mkpath(ini()));
        TestWindow w(ini());
        w.storage->restorePlacement();
        try {
            w.storage->savePlacement();
            QFAIL("the save did not fail");
        } catch (const AppError &e) {
            QCOMPARE(e.text(), QStringLiteral("Unable to write to ") + ini());
        }
        QVERIFY(!w.storage->isSaved());
        w.storage->saveIfNotSaved(); // silent
        QVERIFY(QDir().rmdir(ini()));
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
