#include "AnsiFile.h"
#include "HelpWindow.h"
#include "MaskedTimeEdit.h"
#include "MessageRecorder.h"
#include "RideLogFile.h"
#include "RouteNameBox.h"
#include "AddRideQuestion.h"
#include "StringTable.h"
#include "TestFiles.h"
#include "TestLocale.h"
#include "ToolkitTranslation.h"
#include "MainWindow.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

namespace {
const QString kSaved = QStringLiteral("Nyní je trasa je k dispozici v rozbalovacím seznamu \"Název trasy\".");
const QString kRemoved = QStringLiteral("Trasa byla ze seznamu odstraněna.");
const QStringList kRide = {"3.5.2005", "Stará", "Stará trasa", "10", "0:30", "20", "2"};

enum class Pick { Mouse, ListKeys, ClosedBoxKeys };
} // namespace
Q_DECLARE_METATYPE(Pick)

// Favourite routes, the start-up question, help and the toolkit's texts,
// each through the main window's own controls.
class TestRoutes : public QObject
{
    Q_OBJECT
    TestLocale m_locale;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MessageRecorder> msgs;
    std::unique_ptr<MainWindow> w;

    QString file(const QString &name) const { return m_dir->filePath(name); }
    QString cell(int col) const { return w->rideLog()->cell(col, w->rideLog()->tableRowCount() - 1); }

    void open()
    {
        w = std::make_unique<MainWindow>(m_dir->path());
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
    }
    void typeInto(QLineEdit *editor, const QString &text)
    {
        editor->setFocus();
        editor->selectAll();
        // What typing does, Czech letters included (the key simulation
        // takes Latin-1 only).
        editor->insert(text);
    }
    // Opens a menu of the bar with Alt and its letter and walks down to
    // the item, as a rider at the keyboard does.
    void menuByKeys(char letter, int downs)
    {
        QTest::keyClick(w.get(), Qt::Key(letter), Qt::AltModifier);
        QMenu *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        for (int i = 0; i < downs; ++i)
            QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
    }

private slots:
    void initTestCase() { QVERIFY(installToolkitTranslation(QLocale(QLocale::Czech, QLocale::CzechRepublic))); }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        msgs = std::make_unique<MessageRecorder>();
        putFile(file(QStringLiteral("default.tvl")), rideLogFile({kRide}));
    }
    void cleanup()
    {
        w.reset();
        msgs.reset();
        m_dir.reset();
    }

    void pickFavourite_data()
    {
        QTest::addColumn<Pick>("how");
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("course");
        QTest::addColumn<QString>("km");
        QTest::addColumn<int>("difficulty");
        const QByteArray brno = AnsiFile::encode(
            QStringLiteral("[Tišnov]\r\ndelka=40\r\n[Brno]\r\npopis=Brno - Tišnov\r\ndelka = 25,5 \r\nnaroc=4\r\n"));
        QTest::newRow("mouse") << Pick::Mouse << brno << "Brno" << "Brno - Tišnov" << "25,5" << 4;
        QTest::newRow("arrow keys in the list") << Pick::ListKeys << brno << "Brno" << "Brno - Tišnov" << "25,5" << 4;
        QTest::newRow("hexadecimal difficulty") << Pick::ListKeys << QByteArray("[x]\r\nnaroc=0x2\r\n") << "x" << ""
                                                << "" << 2;
        QTest::newRow("difficulty 9 held at 5") << Pick::ListKeys << QByteArray("[x]\r\nnaroc=9\r\n") << "x" << ""
                                                << "" << 5;
        QTest::newRow("difficulty not a number")
            << Pick::ListKeys << QByteArray("[x]\r\nnaroc=vysoká\r\n") << "x" << "" << "" << 3;
        QTest::newRow("a placeholder before the first drop-down")
            << Pick::ClosedBoxKeys << brno << QStringLiteral("druhá") << "" << "" << 3;
        const QString longCourse = QString(3000, u'ř') + u'!';
        QTest::newRow("a long course whole") << Pick::ListKeys
                                             << AnsiFile::encode(QStringLiteral("[d]\r\npopis=%1\r\n").arg(longCourse))
                                             << "d" << longCourse << "" << 3;
    }
    void pickFavourite()
    {
        QFETCH(Pick, how);
        QFETCH(QByteArray, ini);
        QFETCH(QString, name);
        QFETCH(QString, course);
        QFETCH(QString, km);
        QFETCH(int, difficulty);
        putFile(file(QStringLiteral("trasy.ini")), ini);
        open();
        RouteNameBox *box = w->routeNameBox;
        box->setFocus();
        if (how == Pick::ClosedBoxKeys) {
            QTest::keyClick(box, Qt::Key_Down);
        } else if (how == Pick::ListKeys) {
            QTest::keyClick(box, Qt::Key_Down, Qt::AltModifier);
            QAbstractItemView *list = box->view();
            QTRY_VERIFY(list->isVisible());
            const int row = box->findText(name);
            for (int i = 0; i <= row; ++i)
                QTest::keyClick(list, Qt::Key_Down);
            QTest::keyClick(list, Qt::Key_Return);
        } else {
            const QRect arrow(box->width() - 12, 0, 12, box->height());
            QTest::mouseClick(box, Qt::LeftButton, {}, arrow.center());
            QAbstractItemView *list = box->view();
            QTRY_VERIFY(list->isVisible());
            const QPoint at = list->visualRect(list->model()->index(box->findText(name), 0)).center();
            // The list ignores a release that comes as soon as it opened:
            // click until it takes one.
            for (int tries = 0; tries < 10 && list->isVisible(); ++tries) {
                QTest::qWait(200);
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            }
        }
        QTRY_COMPARE(cell(1), name);
        QCOMPARE(w->distanceEdit->text(), km);
        QCOMPARE(w->courseEdit->text(), course);
        QCOMPARE(w->difficultyBox->value(), difficulty);
        QCOMPARE(w->averageEdit->text(), QString());
        const QStringList row = {kRide[0], name, course, km, QStringLiteral("  :  "), QString(), QString::number(difficulty)};
        for (int c = 0; c < row.size(); ++c)
            QCOMPARE(cell(c), row[c]);
        if (!km.isEmpty())
            QCOMPARE(w->totalDistanceEdit->text(), km);
        QVERIFY(msgs->shown.isEmpty());
    }

    void dropDownListsStoredNames()
    {
        putFile(file(QStringLiteral("trasy.ini")), "[Brno]\r\n; note\r\n[Tisnov]\r\ndelka=1\r\n[brno]\r\n");
        open();
        w->routeNameBox->setEditText(QStringLiteral("můj text"));
        w->routeNameBox->showPopup();
        QStringList items;
        for (int i = 0; i < w->routeNameBox->count(); ++i)
            items << w->routeNameBox->itemText(i);
        QCOMPARE(items, QStringList({"Brno", "Tisnov"}));
        QCOMPARE(w->routeNameBox->currentText(), QStringLiteral("můj text"));
        w->routeNameBox->hidePopup();
        QFile::remove(file(QStringLiteral("trasy.ini")));
        w->routeNameBox->showPopup();
        QCOMPARE(w->routeNameBox->count(), 0);
    }

    void saveFavourite_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QString>("message");
        QTest::newRow("a new file")
            << QByteArray("<missing>") << "Brno"
            << AnsiFile::encode(QStringLiteral("[Brno]\r\npopis=Brno - Tišnov\r\ndelka=25,5\r\nnaroc=4\r\n")) << kSaved;
        QTest::newRow("the same name in other letters replaces in place")
            << QByteArray("[A]\r\npopis=a\r\n[BRNO]\r\npopis=old\r\ndelka=2\r\nnaroc=2\r\n\r\n[Z]\r\n") << "brno"
            << AnsiFile::encode(QStringLiteral(
                   "[A]\r\npopis=a\r\n[BRNO]\r\npopis=Brno - Tišnov\r\ndelka=25,5\r\nnaroc=4\r\n\r\n[Z]\r\n"))
            << kSaved;
        QTest::newRow("no name") << QByteArray("<missing>") << "  " << QByteArray("<missing>") << "bez názvu";
        QTest::newRow("a bracket") << QByteArray("[A]\r\n") << "Brno [2]" << QByteArray("[A]\r\n") << "hranaté";
    }
    void saveFavourite()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, name);
        QFETCH(QByteArray, after);
        QFETCH(QString, message);
        if (before != "<missing>")
            putFile(file(QStringLiteral("trasy.ini")), before);
        open();
        typeInto(w->courseEdit, QStringLiteral("Brno - Tišnov"));
        typeInto(w->distanceEdit, QStringLiteral("25,5"));
        w->difficultyBox->setValue(4);
        typeInto(w->routeNameBox->lineEdit(), name);
        menuByKeys('T', 0);
        QTRY_COMPARE(msgs->shown.size(), 1);
        QVERIFY2(msgs->shown[0].second.contains(message), qPrintable(msgs->shown[0].second));
        QCOMPARE(fileBytes(file(QStringLiteral("trasy.ini"))), after);
    }

    void removeFavourite_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("present") << QByteArray("[A]\r\npopis=x\r\n[B]\r\ndelka=1\r\n; b\r\n[C]\r\nnaroc=2") << "b"
                                 << QByteArray("[A]\r\npopis=x\r\n[C]\r\nnaroc=2") << QStringList{kRemoved};
        QTest::newRow("not a favourite") << QByteArray("[A]\r\npopis=x\r\n") << "C" << QByteArray("[A]\r\npopis=x\r\n")
                                         << QStringList();
        QTest::newRow("a section without keys") << QByteArray("[A]\r\n[B]\r\n") << "A" << QByteArray("[A]\r\n[B]\r\n")
                                                << QStringList();
        QTest::newRow("no file") << QByteArray("<missing>") << "A" << QByteArray("<missing>") << QStringList();
    }
    void removeFavourite()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, name);
        QFETCH(QByteArray, after);
        QFETCH(QStringList, messages);
        if (before != "<missing>")
            putFile(file(QStringLiteral("trasy.ini")), before);
        open();
        typeInto(w->routeNameBox->lineEdit(), name);
        menuByKeys('T', 1);
        QTest::qWait(20);
        QCOMPARE(msgs->texts(), messages);
        QCOMPARE(fileBytes(file(QStringLiteral("trasy.ini"))), after);
        QCOMPARE(w->routeNameBox->currentText(), name);
    }

    void unwritableFavouritesAreReported()
    {
        QVERIFY(QDir().mkpath(file(QStringLiteral("trasy.ini"))));
        open();
        typeInto(w->routeNameBox->lineEdit(), QStringLiteral("Brno"));
        w->saveRouteAction->trigger();
        QCOMPARE(msgs->texts(), QStringList{QStringLiteral("Unable to write to ") + file(QStringLiteral("trasy.ini"))});
    }

    void startUpQuestion_data()
    {
        QTest::addColumn<QByteArray>("store");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("tick");
        QTest::addColumn<int>("added");
        QTest::addColumn<QString>("kept");
        QTest::newRow("first run asks nothing") << QByteArray("<missing>") << "" << false << 0 << "False";
        QTest::newRow("Enter is Ano; ticked stops asking")
            << QByteArray("[TForm1]\r\nitem_op_novy_Checked=true\r\n") << "enter" << true << 1 << "False";
        QTest::newRow("Esc is Ne") << QByteArray("[TForm1]\r\nitem_op_novy_Checked=True\r\n") << "esc" << false << 0
                                   << "True";
        QTest::newRow("close box, unticked: asks again")
            << QByteArray("[tform1]\r\nITEM_OP_NOVY_CHECKED=TRUE\r\n") << "close" << false << 0 << "True";
        QTest::newRow("Ne ticked") << QByteArray("[TForm1]\r\nitem_op_novy_Checked=True\r\n") << "ne" << true << 0
                                   << "False";
    }
    void startUpQuestion()
    {
        QFETCH(QByteArray, store);
        QFETCH(QString, answer);
        QFETCH(bool, tick);
        QFETCH(int, added);
        QFETCH(QString, kept);
        if (store != "<missing>")
            putFile(file(QStringLiteral("store.ini")), store);
        open();
        const int rows = w->rideLog()->tableRowCount();
        bool asked = false;
        QTimer::singleShot(0, this, [&] {
            auto *dialog = qobject_cast<AddRideQuestion *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            asked = true;
            if (tick)
                QTest::mouseClick(dialog->dontAskBox, Qt::LeftButton);
            if (answer == u"enter")
                QTest::keyClick(dialog, Qt::Key_Return);
            else if (answer == u"esc")
                QTest::keyClick(dialog, Qt::Key_Escape);
            else if (answer == u"ne")
                QTest::mouseClick(dialog->noButton, Qt::LeftButton);
            else
                dialog->close();
        });
        w->askAboutNewRide();
        QCOMPARE(asked, !answer.isEmpty());
        QCOMPARE(w->rideLog()->tableRowCount() - rows, added);
        w->close();
        // A key keeps the spelling it had in the file.
        QVERIFY(AnsiFile::decode(fileBytes(file(QStringLiteral("store.ini"))))
                    .contains(QStringLiteral("item_op_novy_Checked=") + kept, Qt::CaseInsensitive));
        QVERIFY(msgs->shown.isEmpty());
    }

    void windowOpensWhereItWasLeft()
    {
        open();
        w->setGeometry(60, 70, 700, 400);
        w->close();
        w.reset();
        open();
        QCOMPARE(w->geometry(), QRect(60, 70, 700, 400));
        w->showMaximized();
        w->close();
        w.reset();
        open();
        QVERIFY(w->windowState() & Qt::WindowMaximized);
        QCOMPARE(w->normalGeometry(), QRect(60, 70, 700, 400));
    }

    void unwritableSettingsAreToldAndTheWindowCloses()
    {
        QVERIFY(QDir().mkpath(file(QStringLiteral("store.ini"))));
        open();
        QVERIFY(w->close());
        QCOMPARE(msgs->texts(), QStringList{QStringLiteral("Unable to write to ") + file(QStringLiteral("store.ini"))});
        // The rides are saved all the same.
        QCOMPARE(fileBytes(file(QStringLiteral("default.tvl"))), rideLogFile({kRide}));
    }

    void help_data()
    {
        QTest::addColumn<bool>("chm");
        QTest::addColumn<bool>("desktopOpens");
        QTest::addColumn<bool>("ownWindow");
        QTest::newRow("no help.chm") << false << true << true;
        QTest::newRow("help.chm and a program for it") << true << true << false;
        QTest::newRow("help.chm and nothing to open it") << true << false << true;
    }
    void help()
    {
        QFETCH(bool, chm);
        QFETCH(bool, desktopOpens);
        QFETCH(bool, ownWindow);
        if (chm)
            putFile(file(QStringLiteral("help.chm")), "ITSF");
        open();
        QStringList opened;
        w->openWithDesktop = [&](const QString &path) {
            opened << path;
            return desktopOpens;
        };
        // Through the menu bar with the mouse.
        QMenuBar *bar = w->menuBar();
        QAction *pomoc = bar->actions().last();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(pomoc).center());
        QMenu *menu = pomoc->menu();
        QTRY_VERIFY(menu->isVisible());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(w->helpAction).center());
        QCOMPARE(opened, chm ? QStringList{file(QStringLiteral("help.chm"))} : QStringList());
        QCOMPARE(w->helpWindow() && w->helpWindow()->isVisible(), ownWindow);
        if (ownWindow)
            QVERIFY(w->helpWindow()->browser()->toPlainText().contains(QStringLiteral("Oblíbené trasy")));
        QVERIFY(msgs->shown.isEmpty());
    }

    void about()
    {
        open();
        menuByKeys('C', 1);
        QTRY_COMPARE(msgs->shown.size(), 1);
        QCOMPARE(msgs->shown[0].first, Messages::Kind::Info);
        const QString text = msgs->shown[0].second;
        QVERIFY2(text.startsWith(QStringLiteral("Trasovník " TRASOVNIK_VERSION "   ")) && text.endsWith(u'\n') && text.size() > 20,
                 qPrintable(text));
    }

    void toolkitTextsAreCzech()
    {
        open();
        QStringList texts;
        // The right button's context menu event, as the platform sends it.
        QTimer::singleShot(0, this, [&] {
            if (QMenu *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
                for (QAction *a : menu->actions())
                    texts << a->text();
                menu->close();
            }
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), w->courseEdit->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(w->courseEdit, &event);
        QTRY_VERIFY(texts.size() > 5);
        QVERIFY2(texts.join(u' ').contains(QStringLiteral("Zpět")), qPrintable(texts.join(u'|')));
        for (const char *english : {"Undo", "Copy", "Paste", "Select All"})
            QVERIFY2(!texts.join(u' ').contains(QLatin1String(english)), qPrintable(texts.join(u'|')));
    }
};

QTEST_MAIN(TestRoutes)
#include "tst_routes.moc"
