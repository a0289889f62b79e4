// "Import jízd" driven as a rider drives it: from the menu, by a drop,
// by mouse and keyboard; and the rides it adds to the log.
#include "ImportRules.h"
#include "ImportWindow.h"
#include "MaskedTimeEdit.h"
#include "Modal.h"
#include "NumberText.h"
#include "RideColumn.h"
#include "RideLogTable.h"
#include "SingleInstance.h"
#include "StringTableView.h"
#include "WindowFixture.h"

#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSemaphore>
#include <QStyle>
#include <QThreadPool>
#include <QTreeWidget>

#include <thread>

namespace {

// A GPX track: `points` timed points `seconds` apart, `metres` apart
// northwards from 50° N 14° E.
QByteArray gpxTrack(const QString &startUtc, int points, int seconds, double metres, const QString &type = {},
                    const QString &name = {})
{
    const QDateTime start = QDateTime::fromString(startUtc, Qt::ISODate);
    QByteArray gpx = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"test\" "
                     "xmlns=\"http://www.topografix.com/GPX/1/1\"><trk>";
    if (!name.isEmpty())
        gpx += "<name>" + name.toUtf8() + "</name>";
    if (!type.isEmpty())
        gpx += "<type>" + type.toUtf8() + "</type>";
    gpx += "<trkseg>\n";
    for (int i = 0; i < points; ++i)
        gpx += QStringLiteral("<trkpt lat=\"%1\" lon=\"14\"><time>%2</time></trkpt>\n")
                   .arg(50.0 + i * metres / 111200.0, 0, 'f', 9)
                   .arg(start.addSecs(qint64(i) * seconds).toString(Qt::ISODate))
                   .toUtf8();
    return gpx + "</trkseg></trk></gpx>\n";
}

} // namespace

class TestImportWindow : public WindowFixture
{
    Q_OBJECT

    QString put(const QString &name, const QByteArray &bytes)
    {
        putFile(m_dir->filePath(name), bytes);
        return m_dir->filePath(name);
    }

    static QTreeWidget *listOf(ImportWindow *d) { return d->findChild<QTreeWidget *>(QStringLiteral("ImportList")); }
    static QPushButton *button(ImportWindow *d, const char *name)
    {
        return d->findChild<QPushButton *>(QLatin1String(name));
    }
    // A check that fails inside the window must not leave it open over
    // the test.
    static auto closer(ImportWindow *d)
    {
        return qScopeGuard([window = QPointer<ImportWindow>(d)] {
            // A window keeping the added rides' files closes by itself.
            if (window && window->isVisible() && !window->isKeeping())
                window->reject();
        });
    }
    static void waitForReading(ImportWindow *d) { QTRY_VERIFY_WITH_TIMEOUT(!d->isReading(), 20000); }
    static QStringList column(ImportWindow *d, int c)
    {
        QStringList texts;
        for (int i = 0; i < listOf(d)->topLevelItemCount(); ++i)
            texts.append(listOf(d)->topLevelItem(i)->text(c));
        return texts;
    }
    static void clickCheckBox(QTreeWidget *list, int row)
    {
        const QRect r = list->visualRect(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(r.left() + 10, r.center().y()));
    }

    // "Záznamy" by Alt+Z, down to "Import z GPS…", Enter; the files typed
    // into the dialog.
    void chooseImport(const QStringList &names)
    {
        QTest::keyClick(w, Qt::Key_Z, Qt::AltModifier);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        for (int i = 0; i < menu->actions().size() && menu->activeAction() != w->importAction; ++i)
            QTest::keyClick(menu, Qt::Key_Down);
        QCOMPARE(menu->activeAction(), w->importAction);
        QCOMPARE(w->importAction->shortcut(), QKeySequence(QStringLiteral("Ctrl+I")));
        onModal<QFileDialog>([this, names](QFileDialog *d) {
            d->setDirectory(m_dir->path());
            QStringList quoted;
            for (const QString &name : names)
                quoted.append(u'"' + name + u'"');
            enterFileName(d, quoted.join(u' '));
        });
        QTest::keyClick(menu, Qt::Key_Return);
    }

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    // The whole way: menu, dialog, the list, ticking by mouse and Space,
    // "Přidat vybrané"; the rides land in start order after the log's own,
    // the last one current, the totals counted again.
    void addsTheTickedRides()
    {
        open({{"13.7.2024", "Okruh", "", "30", "01:00", "30", "3"}});
        put("evening.gpx", gpxTrack("2024-07-14T16:00:00Z", 121, 30, 250));            // 30 km, 1 h
        put("MORNING.GPX", gpxTrack("2024-07-14T06:00:00Z", 61, 60, 200));             // 12 km, 1 h
        put("run.gpx", gpxTrack("2024-07-15T06:00:00Z", 61, 60, 150, "running"));       // 9 km
        put("again.gpx", gpxTrack("2024-07-13T06:00:00Z", 121, 30, 250));               // 30 km: logged
        put("notes.gpx", "nothing of a ride");
        bool added = false;
        onModal<ImportWindow>([&](ImportWindow *d) {
            const auto closeOnFailure = closer(d);
            waitForReading(d);
            QTreeWidget *list = listOf(d);
            QCOMPARE(column(d, 1), QStringList({"13.7.2024", "14.7.2024", "14.7.2024", "15.7.2024", ""}));
            QCOMPARE(column(d, 6), QStringList({"again.gpx", "MORNING.GPX", "evening.gpx", "run.gpx", "notes.gpx"}));
            QCOMPARE(column(d, 7).at(0), QStringLiteral("již v deníku"));
            QCOMPARE(column(d, 7).at(3), QStringLiteral("běh"));
            const auto ticks = [list] {
                QList<int> states;
                for (int i = 0; i < list->topLevelItemCount(); ++i)
                    states.append(list->topLevelItem(i)->data(0, Qt::CheckStateRole).isValid()
                                      ? int(list->topLevelItem(i)->checkState(0))
                                      : -1);
                return states;
            };
            QCOMPARE(ticks(), QList<int>({0, 2, 2, 0, -1}));
            // The morning ride unticked by mouse, the run ticked by Space,
            // the file that gave no ride untouched by both.
            clickCheckBox(list, 1);
            list->setFocus();
            list->setCurrentItem(list->topLevelItem(3), 3);
            QTest::keyClick(list, Qt::Key_Space);
            list->setCurrentItem(list->topLevelItem(4), 1);
            QTest::keyClick(list, Qt::Key_Space);
            clickCheckBox(list, 4);
            QCOMPARE(ticks(), QList<int>({0, 0, 2, 2, -1}));
            QVERIFY(button(d, "ImportAdd")->isDefault());
            added = true;
            QTest::mouseClick(button(d, "ImportAdd"), Qt::LeftButton);
        });
        chooseImport({"evening.gpx", "MORNING.GPX", "run.gpx", "again.gpx", "notes.gpx"});
        QTRY_VERIFY(added);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(log()->tableRowCount(), 4);
        QCOMPARE(log()->cell(RideColumn::Date, 2), QStringLiteral("14.7.2024"));
        QCOMPARE(log()->cell(RideColumn::Time, 2), QStringLiteral("01:00"));
        QCOMPARE(log()->cell(RideColumn::Date, 3), QStringLiteral("15.7.2024"));
        QCOMPARE(w->rideTable->currentRow(), 3);
        QCOMPARE(w->distanceEdit->text(), log()->cell(RideColumn::Km, 3));
        // On the disk at once: a crash now loses none of them.
        QVERIFY(fileBytes(m_dir->filePath("default-obnova.tvl")).contains("0|3|15.7.2024\r\n"));
        // 30 km logged, a ride of 30 km and a run of 9 km added.
        QVERIFY(qAbs(NumberText::parse(w->totalDistanceEdit->text()).value_or(0) - 69) < 0.1);
        // A change of the log like any other: written when the window closes.
        QVERIFY(w->close());
        QVERIFY(fileBytes(logPath()).contains("0|3|15.7.2024\r\n"));
    }

    // The cells of an imported ride are the texts the editors commit for
    // the same date, km and time.
    void cellsAreWhatTheEditorsWrite()
    {
        open();
        put("ride.gpx", gpxTrack("2024-07-14T22:30:00Z", 200, 17, 123.4));
        ImportWindow d({m_dir->filePath("ride.gpx")}, *log(), [](const QList<QStringList> &) {}, w->location(), w,
                       QTimeZone("Europe/Prague"));
        waitForReading(&d);
        QCOMPARE(d.rows().size(), 1);
        const QStringList imported = d.rows().constFirst().cells;

        // The same ride typed into a new row.
        w->dateEdit->setFocus();
        w->dateEdit->setDate(QDate(2024, 7, 15));
        w->distanceEdit->setFocus();
        QTest::keyClicks(w->distanceEdit, imported[RideColumn::Km]);
        w->timeEdit->setFocus();
        QTest::keyClicks(w->timeEdit, QString(imported[RideColumn::Time]).remove(u':'));
        w->averageEdit->setFocus();
        QTRY_VERIFY(!log()->cell(RideColumn::Average, 1).isEmpty());
        QCOMPARE(log()->rowTexts(1).mid(0, 6), imported.mid(0, 6));
    }

    // A new log's only row, still without a date, takes the first ride.
    void fillsTheEmptyFirstRow()
    {
        open();
        const QString a = put("a.gpx", gpxTrack("2024-07-14T06:00:00Z", 61, 60, 200));
        const QString b = put("b.gpx", gpxTrack("2024-07-15T06:00:00Z", 61, 60, 200));
        onModal<ImportWindow>([](ImportWindow *d) {
            const auto closeOnFailure = closer(d);
            waitForReading(d);
            QTest::keyClick(listOf(d), Qt::Key_Return);
        });
        w->importRideFiles({b, a});
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(log()->tableRowCount(), 3);
        QCOMPARE(log()->cell(RideColumn::Date, 1), QStringLiteral("14.7.2024"));
        QCOMPARE(log()->cell(RideColumn::Date, 2), QStringLiteral("15.7.2024"));
    }

    // Nothing ticked: nothing to add, Enter adds nothing; "Zavřít" leaves
    // the log as it was. The same file twice is one ride.
    void nothingTickedAddsNothing()
    {
        open({{"13.7.2024", "Okruh", "", "30", "01:00", "30", "3"}});
        const QString a = put("a.gpx", gpxTrack("2024-07-14T06:00:00Z", 61, 60, 200));
        bool checked = false;
        onModal<ImportWindow>([&](ImportWindow *d) {
            const auto closeOnFailure = closer(d);
            waitForReading(d);
            QCOMPARE(listOf(d)->topLevelItemCount(), 1);
            QCOMPARE(column(d, 6), QStringList({"a.gpx"}));
            clickCheckBox(listOf(d), 0);
            QVERIFY(!button(d, "ImportAdd")->isEnabled());
            QTest::keyClick(listOf(d), Qt::Key_Return);
            QVERIFY(d->isVisible());
            checked = true;
            QTest::mouseClick(button(d, "ImportClose"), Qt::LeftButton);
        });
        w->importRideFiles({a, a});
        QTRY_VERIFY(checked);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(log()->tableRowCount(), 2);
    }

    // "Zrušit" stops the reading at once: nothing read after it is listed,
    // the window says the reading was stopped.
    void cancelStopsTheReading()
    {
        open();
        const QString big = put("big.gpx", gpxTrack("2024-07-15T06:00:00Z", 80000, 1, 5));
        const QString small = put("a.gpx", gpxTrack("2024-07-14T06:00:00Z", 61, 60, 200));
        ImportWindow d({big, small}, *log(), [](const QList<QStringList> &) {}, w->location(), w);
        d.show();
        QVERIFY(d.isReading());
        QTest::mouseClick(button(&d, "ImportStop"), Qt::LeftButton);
        QVERIFY(!d.isReading());
        QVERIFY(!button(&d, "ImportStop")->isEnabled());
        QVERIFY(d.findChild<QLabel *>()->text().startsWith(QStringLiteral("Čtení zrušeno")));
        auto *readers = d.findChild<QThreadPool *>(QStringLiteral("ImportReaders"));
        QVERIFY(readers);
        QVERIFY(readers->waitForDone(20000));
        QTest::qWait(100);
        QVERIFY(d.rows().isEmpty());
        QVERIFY(!button(&d, "ImportAdd")->isEnabled());
    }

    // The files are read in threads of the window's own: Qt's global pool,
    // which the window's painting waits on, is left to the toolkit. Held
    // up wholly here, it does not hold up the reading.
    void readsBesideTheGlobalPool()
    {
        QThreadPool *global = QThreadPool::globalInstance();
        const int threads = global->maxThreadCount();
        QSemaphore held;
        for (int i = 0; i < threads; ++i)
            global->start([&held] { held.acquire(); });
        const auto release = qScopeGuard([&] {
            held.release(threads);
            global->waitForDone();
        });
        StringTable log;
        setUpRideLogTable(log);
        ImportWindow d({put("a.gpx", gpxTrack("2024-07-14T06:00:00Z", 3000, 1, 5)),
                        put("b.gpx", gpxTrack("2024-07-15T06:00:00Z", 3000, 1, 5))},
                       log, [](const QList<QStringList> &) {}, ProgramFolder::Location::inFolder(m_dir->path()),
                       nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(!d.isReading(), 10000);
        QCOMPARE(column(&d, 1), QStringList({"14.7.2024", "15.7.2024"}));
    }

    // With the names riders' devices give (a phone app's long track name,
    // a ride found in two files) the reasons stay in view in the window at
    // its usual width. A cell cut short ends in "…" and shows its whole
    // text in a tooltip; a file that gave no ride is greyed, a ride is not.
    void reasonsStayInView_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("cutColumn");
        QTest::addColumn<QStringList>("wholeText"); // the tooltip's lines, sorted
        const QString phoneName = QStringLiteral("Odpolední jízda na kole – Brno, Kohoutovice, Bystrc");
        QTest::newRow("a phone app's track name")
            << phoneName << QStringList{"Odpoledni_jizda.gpx"} << 2 << QStringList{phoneName};
        const QStringList two = {"2024-07-14_odpoledni-jizda-na-kole.gpx", "activity_16152343829_brno_bystrc.gpx"};
        QTest::newRow("one ride in two files") << "Okruh" << two << 6 << two;
    }
    void reasonsStayInView()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, files);
        QFETCH(int, cutColumn);
        QFETCH(QStringList, wholeText);
        open({{"14.7.2024", "Okruh", "", "30", "01:00", "30", "3"}});
        QStringList paths;
        for (const QString &file : std::as_const(files))
            paths.append(put(file, gpxTrack("2024-07-14T06:00:00Z", 121, 30, 250, {}, name))); // 30 km: logged
        paths.append(put("beh.gpx", gpxTrack("2024-07-15T06:00:00Z", 61, 60, 150, "running")));
        paths.append(put("poznamky.gpx", "nothing of a ride"));
        ImportWindow d(paths, *log(), [](const QList<QStringList> &) {}, w->location(), w);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        waitForReading(&d);
        QCOMPARE(d.width(), 820);
        QTreeWidget *list = listOf(&d);
        QCOMPARE(column(&d, 7), QStringList({"již v deníku", "běh", "není to záznam jízdy (FIT, GPX ani TCX)"}));
        const QFontMetrics metrics = list->fontMetrics();
        const int margins = 2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1);
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            const QRect cell = list->visualRect(list->model()->index(row, 7));
            QVERIFY2(list->viewport()->rect().contains(cell), qPrintable(list->topLevelItem(row)->text(7)));
            QVERIFY2(metrics.horizontalAdvance(list->topLevelItem(row)->text(7)) + margins <= cell.width(),
                     qPrintable(list->topLevelItem(row)->text(7)));
        }
        QTreeWidgetItem *ride = list->topLevelItem(0);
        QVERIFY(metrics.horizontalAdvance(ride->text(cutColumn)) + margins
                > list->visualRect(list->model()->index(0, cutColumn)).width());
        QCOMPARE(list->textElideMode(), Qt::ElideRight);
        QStringList tooltip = ride->toolTip(cutColumn).split(u'\n');
        tooltip.sort();
        QCOMPARE(tooltip, wholeText);
        // A wider window gives the text its room.
        d.resize(1200, d.height());
        QTRY_VERIFY(metrics.horizontalAdvance(ride->text(cutColumn)) + margins
                    <= list->visualRect(list->model()->index(0, cutColumn)).width());
        const QColor grey = list->palette().color(QPalette::Disabled, QPalette::Text);
        QVERIFY(grey != list->palette().color(QPalette::Active, QPalette::Text));
        for (int c = 0; c < list->columnCount(); ++c) {
            QCOMPARE(list->topLevelItem(2)->foreground(c).color(), grey);
            QVERIFY(ride->foreground(c).color() != grey);
        }
    }

    // Files dropped on the window open the import; the placement of the
    // window is kept.
    void droppedFilesAreImported()
    {
        open();
        const QString a = put("a.gpx", gpxTrack("2024-07-14T06:00:00Z", 61, 60, 200));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(a)});
        QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(w, &enter);
        QVERIFY(enter.isAccepted());
        bool opened = false;
        onModal<ImportWindow>([&](ImportWindow *d) {
            const auto closeOnFailure = closer(d);
            waitForReading(d);
            QCOMPARE(column(d, 6), QStringList({"a.gpx"}));
            opened = true;
            QTest::keyClick(listOf(d), Qt::Key_Escape);
        });
        QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(w, &drop);
        QTRY_VERIFY(opened);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(log()->tableRowCount(), 2);
        QFile store(m_dir->filePath("store.ini"));
        QVERIFY(store.open(QIODevice::ReadOnly));
        QVERIFY(store.readAll().contains("[formImport"));
    }

    // A later start of the program (a file manager's "Open with") hands
    // its files, with full paths, to the running window, which imports
    // them: a name relative to where it was started, a file:// address.
    void filesOfALaterStart()
    {
        open();
        put("a.gpx", gpxTrack("2024-07-14T06:00:00Z", 61, 60, 200));
        const QString b = put("b.gpx", gpxTrack("2024-07-15T06:00:00Z", 61, 60, 200));
        SingleInstance first(m_dir->path()), later(m_dir->path());
        QVERIFY(first.acquire());
        QVERIFY(first.listen());
        connect(&first, &SingleInstance::argumentsReceived, w, &MainWindow::takeArguments);
        const QString startedIn = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir->path()));
        const QStringList files =
            SingleInstance::filesOf({"a.gpx", "--geometry", QUrl::fromLocalFile(b).toString()});
        QVERIFY(QDir::setCurrent(startedIn));
        QCOMPARE(files, QStringList({m_dir->filePath("a.gpx"), b}));
        QStringList listed;
        onModal<ImportWindow>([&](ImportWindow *d) {
            const auto closeOnFailure = closer(d);
            waitForReading(d);
            listed = column(d, 6);
        });
        bool taken = false;
        std::thread other([&] { taken = later.handOver(files); });
        QTRY_COMPARE(listed, QStringList({"a.gpx", "b.gpx"}));
        other.join();
        QVERIFY(taken);
    }
};

QTEST_MAIN(TestImportWindow)
#include "tst_importwindow.moc"
