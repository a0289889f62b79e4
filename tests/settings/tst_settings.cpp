#include "AnsiFile.h"
#include "AppError.h"
#include "PlacementFile.h"
#include "TFormStorage.h"
#include "TestFiles.h"

#include <QAction>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
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
        option->setObjectName(QStringLiteral("item_op_novy"));
        option->setCheckable(true);
        panel = new QWidget(this);
        panel->setObjectName(QStringLiteral("Panel1"));
        panel->resize(152, 40);
        storage = new TFormStorage(this);
        storage->setIniFileName(ini);
        storage->setStoredProps({QStringLiteral("item_op_novy.Checked"), QStringLiteral("Panel1.Width")});
        setGeometry(100, 80, 544, 342);
    }
    QAction *option;
    QWidget *panel;
    TFormStorage *storage;
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
        w->storage->RestorePlacement();
        w->show();
        return w;
    }

private slots:
    void init() { QFile::remove(ini()); }

    void firstSaveWritesEveryKeyInOrder()
    {
        TestWindow w(ini());
        w.setGeometry(120, 90, 500, 300);
        w.storage->RestorePlacement(); // no file: nothing changes
        QCOMPARE(w.geometry(), QRect(120, 90, 500, 300));
        w.show();
        w.option->setChecked(true);
        w.storage->SavePlacement();
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
            w.storage->RestorePlacement();
            w.setGeometry(normal);
            w.show();
            if (maximized)
                w.showMaximized();
            w.option->setChecked(option);
            w.panel->resize(200, 40);
            w.storage->SavePlacement();
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

    void nothingIsSavedBeforeRestoring()
    {
        TestWindow w(ini());
        w.storage->SavePlacement();
        w.storage->saveIfNotSaved();
        QVERIFY(!QFile::exists(ini()));
    }

    void unwritableFileIsReported()
    {
        QVERIFY(QDir().mkpath(ini()));
        TestWindow w(ini());
        w.storage->RestorePlacement();
        try {
            w.storage->SavePlacement();
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
