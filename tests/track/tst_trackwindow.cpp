// The window "Trasa jízdy" through the main window: rides imported from a
// GPX and a FIT file, shown from their kept copies.

#include "FitWriter.h"
#include "ImportWindow.h"
#include "MapSourceDialog.h"
#include "IniFile.h"
#include "MapTiles.h"
#include "MbTilesMaker.h"
#include "Modal.h"
#include "RideColumn.h"
#include "StringTableView.h"
#include "TrackMapView.h"
#include "TrackWindow.h"
#include "WindowFixture.h"

#include <QAction>
#include <QChartView>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTcpServer>

namespace {

// A GPX day of two pieces ten minutes apart. The elevation is a climb from
// 200 m to 300 m and a descent to 240 m, with a jitter of up to 4 m on
// the flats that never passes the turning points: 100 m up, 60 m down.
QByteArray gpxOfTwoPieces()
{
    QByteArray gpx = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"test\" "
                     "xmlns=\"http://www.topografix.com/GPX/1/1\"><trk><name>Dva kusy</name>";
    const QDateTime start(QDate(2026, 6, 1), QTime(6, 0), Qt::UTC);
    const int jitter[] = {0, 3, 1, 4, 2};
    int n = 0;
    for (int piece = 0; piece < 2; ++piece) {
        gpx += "<trkseg>";
        for (int i = 0; i < 120; ++i, ++n) {
            double ele;
            if (n < 40)
                ele = 200 + jitter[n % 5];
            else if (n < 100)
                ele = 200 + (n - 39) * 100.0 / 60;
            else if (n < 140)
                ele = 300 - jitter[n % 5];
            else if (n < 200)
                ele = 300 - (n - 139);
            else
                ele = 240 + jitter[n % 5];
            const double lat = 49.0 + n * 0.0004 + piece * 0.01;
            const QDateTime t = start.addSecs(n * 5 + piece * 600);
            gpx += QStringLiteral("<trkpt lat=\"%1\" lon=\"16.5\"><ele>%2</ele><time>%3</time></trkpt>")
                       .arg(lat, 0, 'f', 6)
                       .arg(ele, 0, 'f', 1)
                       .arg(t.toString(Qt::ISODate))
                       .toUtf8();
        }
        // A receiver without a fix: left out of the track and counted.
        gpx += "<trkpt lat=\"0\" lon=\"0\"><time>2026-06-01T06:40:00Z</time></trkpt>";
        gpx += "</trkseg>";
    }
    return gpx + "</trk></gpx>\n";
}

} // namespace

class TrackWindowTest : public WindowFixture
{
    Q_OBJECT

    // Imports the files through "Import jízd", every ride added.
    void importFiles(const QStringList &names)
    {
        QStringList paths;
        for (const QString &name : names)
            paths << m_dir->filePath(name);
        onModal<ImportWindow>([](ImportWindow *d) {
            QTRY_VERIFY_WITH_TIMEOUT(!d->isReading(), 20000);
            QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("ImportAdd")), Qt::LeftButton);
        });
        w->importRideFiles(paths);
        QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget(), 20000);
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
    }

    // The row of the log whose name is `name`.
    int rowNamed(const QString &name) const
    {
        for (int row = 1; row < log()->tableRowCount(); ++row)
            if (log()->cell(RideColumn::Name, row) == name)
                return row;
        return -1;
    }

    void selectRow(int row)
    {
        w->rideTable->setCurrentIndex(log()->index(log()->viewRow(row), 0));
        QCOMPARE(w->rideTable->currentRow(), row);
    }

    // Opens "Trasa jízdy" by Ctrl+T and runs `act` in it.
    void inTrackWindow(const std::function<void(TrackWindow *)> &act)
    {
        bool seen = false;
        onModal<TrackWindow>([&](TrackWindow *d) {
            const auto close = qScopeGuard([d] { d->reject(); });
            QVERIFY(QTest::qWaitForWindowExposed(d));
            d->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(d));
            act(d);
            seen = true;
        });
        QTest::keyClick(w, Qt::Key_T, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget(), 10000);
        QVERIFY(seen);
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
    }

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void showsTrackOfImportedRides_data();
    void showsTrackOfImportedRides();
    void greyedWithoutKeptFileAndMenuByMouse();
    void missingKeptFileIsNamed();
    void savesGpxThatGpsbabelReads();
    void mapOfflineAndFromMbtiles();
};

void TrackWindowTest::showsTrackOfImportedRides_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("pieces");
    QTest::addColumn<QString>("climb");
    QTest::addColumn<QStringList>("charts");
    QTest::addColumn<QString>("skipped");
    QTest::newRow("GPX day in two pieces") << "den.gpx" << "Dva kusy" << 2 << "100 m / 60 m"
                                           << QStringList{"Výška", "Rychlost"} << "vynecháno 2 body";
    QTest::newRow("FIT of a bike computer") << "jizda.fit" << "" << 1 << ""
                                            << QStringList{"Výška", "Rychlost", "Tep", "Kadence"} << "";
}

void TrackWindowTest::showsTrackOfImportedRides()
{
    QFETCH(QString, file);
    QFETCH(QString, name);
    QFETCH(int, pieces);
    QFETCH(QString, climb);
    QFETCH(QStringList, charts);
    QFETCH(QString, skipped);
    putFile(m_dir->filePath("den.gpx"), gpxOfTwoPieces());
    putFile(m_dir->filePath("jizda.fit"),
            FitWriter::activity(FitWriter::fitTime(QDateTime(QDate(2026, 6, 2), QTime(7, 0), Qt::UTC)), 3600, 7.5));
    open();
    importFiles({file});
    const int row = rowNamed(name);
    QVERIFY(row > 0);
    selectRow(row);
    QVERIFY(w->showTrackAction->isEnabled());
    const QString km = log()->cell(RideColumn::Km, row);
    inTrackWindow([&](TrackWindow *d) {
        QVERIFY2(d->ride().problem.isEmpty(), qPrintable(d->ride().problem));
        QCOMPARE(d->ride().track.pieces.size(), pieces);
        // The log's figures come out of the file again, by the import's rules.
        QVERIFY2(d->figuresLabel->text().contains(QStringLiteral("<b>%1 km</b>").arg(km)),
                 qPrintable(d->figuresLabel->text()));
        QCOMPARE(d->ride().track.skipped, skipped.isEmpty() ? 0 : 2);
        if (!skipped.isEmpty())
            QVERIFY2(d->figuresLabel->text().contains(skipped.mid(10)), qPrintable(d->figuresLabel->text()));
        if (!climb.isEmpty())
            QVERIFY2(d->figuresLabel->text().contains(climb), qPrintable(d->figuresLabel->text()));
        QStringList tabs;
        for (int i = 0; i < d->chartTabs->count(); ++i)
            tabs << d->chartTabs->tabText(i).remove(u'&');
        QCOMPARE(tabs, charts);
        if (const QString pictures = qEnvironmentVariable("TRASOVNIK_PICTURES"); !pictures.isEmpty())
            d->grab().save(pictures + QStringLiteral("/trasa-%1.png").arg(file));

        // Keys: zoom in and out about the middle, pan, the whole track again.
        TrackMapView *map = d->mapView;
        map->setFocus();
        const double whole = map->zoom();
        const QPointF middle = map->centre();
        QTest::keyClick(map, Qt::Key_Plus);
        QCOMPARE(map->zoom(), whole + 0.5);
        QCOMPARE(map->centre(), middle);
        QTest::keyClick(map, Qt::Key_Minus);
        QTest::keyClick(map, Qt::Key_Minus);
        QCOMPARE(map->zoom(), whole - 0.5);
        QTest::keyClick(map, Qt::Key_Right);
        QVERIFY(map->centre().x() > middle.x());
        QTest::keyClick(map, Qt::Key_Up);
        QVERIFY(map->centre().y() < middle.y());
        QTest::keyClick(map, Qt::Key_0);
        QCOMPARE(map->zoom(), whole);
        QCOMPARE(map->centre(), middle);
        // The wheel zooms about the pointer; dragging moves the map with it.
        const QPointF corner(40, 40);
        QWheelEvent wheel(corner, map->mapToGlobal(corner), {}, {0, 120}, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(map, &wheel);
        QCOMPARE(map->zoom(), whole + 0.5);
        QVERIFY(map->centre().x() < middle.x() && map->centre().y() < middle.y());
        const QPointF before = map->centre();
        QTest::mousePress(map, Qt::LeftButton, {}, QPoint(200, 200));
        QTest::mouseMove(map, QPoint(260, 230));
        QTest::mouseRelease(map, Qt::LeftButton, {}, QPoint(260, 230));
        QVERIFY(map->centre().x() < before.x() && map->centre().y() < before.y());
        QTest::keyClick(map, Qt::Key_0);
        // The track's first and last points are in sight.
        const auto &first = d->ride().track.pieces.constFirst().constFirst();
        const auto &last = d->ride().track.pieces.constLast().constLast();
        QVERIFY(map->rect().contains(map->pixelOf(first.lat, first.lon).toPoint()));
        QVERIFY(map->rect().contains(map->pixelOf(last.lat, last.lon).toPoint()));

        // The charts' cursor marks the point at that distance.
        auto *chart = qobject_cast<QChartView *>(d->chartTabs->widget(0));
        QPointF at = chart->chart()->mapToPosition(QPointF(last.metres / 2000, 0));
        at.setY(chart->chart()->plotArea().center().y());
        QTest::mouseMove(chart->viewport(), chart->mapFromScene(chart->chart()->mapToScene(at)));
        QTRY_VERIFY(d->cursorPoint() > 0);
        // The point marked is the one half-way along, as the chart's axis
        // places it (within a point's spacing and a pixel of the axis).
        QList<RideTrack::TrackPoint> all;
        for (const auto &piece : d->ride().track.pieces)
            all += piece;
        QVERIFY2(std::abs(all.at(d->cursorPoint()).metres - last.metres / 2) < 100,
                 qPrintable(QString::number(all.at(d->cursorPoint()).metres)));
    });
    QCOMPARE(log()->cell(RideColumn::Km, row), km);
}

void TrackWindowTest::greyedWithoutKeptFileAndMenuByMouse()
{
    putFile(m_dir->filePath("den.gpx"), gpxOfTwoPieces());
    open({{"1.5.2026", "Ručně", "", "20", "01:00", "20", "2"}});
    importFiles({QStringLiteral("den.gpx")});
    const int typed = rowNamed(QStringLiteral("Ručně"));
    selectRow(typed);
    QVERIFY(!w->showTrackAction->isEnabled());
    QVERIFY(w->showTrackAction->toolTip().contains(QStringLiteral("nemá uložený záznam")));
    // The menu key opens the table's menu about the current ride.
    w->rideTable->setFocus();
    QTest::keyClick(w->windowHandle(), Qt::Key_Menu);
    QTRY_VERIFY(w->rideTableMenu->isVisible());
    QCOMPARE(w->rideTable->currentRow(), typed);
    QVERIFY(!w->showTrackAction->isEnabled());
    w->rideTableMenu->close();
    QTest::keyClick(w->windowHandle(), Qt::Key_F10, Qt::ShiftModifier);
    QTRY_VERIFY(w->rideTableMenu->isVisible());
    w->rideTableMenu->close();

    // A right click on the imported ride makes it current and offers its track.
    const int imported = rowNamed(QStringLiteral("Dva kusy"));
    const QRect cell = w->rideTable->visualRect(log()->index(log()->viewRow(imported), 0));
    QTest::mouseClick(w->rideTable->viewport(), Qt::RightButton, {}, cell.center());
    QContextMenuEvent event(QContextMenuEvent::Mouse, cell.center(), w->rideTable->viewport()->mapToGlobal(cell.center()));
    QApplication::sendEvent(w->rideTable->viewport(), &event);
    QTRY_VERIFY(w->rideTableMenu->isVisible());
    QCOMPARE(w->rideTable->currentRow(), imported);
    if (const QString pictures = qEnvironmentVariable("TRASOVNIK_PICTURES"); !pictures.isEmpty())
        w->grab().save(pictures + QStringLiteral("/nabidka-jizdy.png")),
            w->rideTableMenu->grab().save(pictures + QStringLiteral("/nabidka-jizdy-menu.png"));
    QVERIFY(w->showTrackAction->isEnabled());
    bool seen = false;
    onModal<TrackWindow>([&](TrackWindow *d) {
        seen = d->ride().problem.isEmpty();
        d->reject();
    });
    QTest::mouseClick(w->rideTableMenu, Qt::LeftButton, {}, w->rideTableMenu->actionGeometry(w->showTrackAction).center());
    QTRY_VERIFY(seen);
}

void TrackWindowTest::missingKeptFileIsNamed()
{
    putFile(m_dir->filePath("den.gpx"), gpxOfTwoPieces());
    open();
    importFiles({QStringLiteral("den.gpx")});
    const int row = rowNamed(QStringLiteral("Dva kusy"));
    const QStringList before = log()->rowTexts(row);
    const QString link = log()->cell(RideColumn::KeptFile, row);
    QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("zaznamy/") + link)));
    selectRow(row);
    inTrackWindow([&](TrackWindow *d) {
        QVERIFY(d->problemLabel->isVisible());
        QVERIFY2(d->problemLabel->text().contains(QString(link).replace(u'/', QDir::separator())),
                 qPrintable(d->problemLabel->text()));
        QVERIFY(d->problemLabel->text().contains(QStringLiteral("chybí")));
        QVERIFY(!d->saveGpxButton->isEnabled());
    });
    QCOMPARE(log()->rowTexts(row), before);
}

void TrackWindowTest::savesGpxThatGpsbabelReads()
{
    putFile(m_dir->filePath("den.gpx"), gpxOfTwoPieces());
    open();
    importFiles({QStringLiteral("den.gpx")});
    const int row = rowNamed(QStringLiteral("Dva kusy"));
    const QString fileKm = log()->cell(RideColumn::Km, row);
    log()->setCell(RideColumn::Km, row, QStringLiteral("12"));
    selectRow(row);
    const QString saved = m_dir->filePath(QStringLiteral("ulozena.gpx"));
    inTrackWindow([&](TrackWindow *d) {
        // A km the rider changed is shown beside the file's.
        QVERIFY2(d->figuresLabel->text().contains(QStringLiteral("%1 km (v deníku 12 km)").arg(fileKm)),
                 qPrintable(d->figuresLabel->text()));
        onModal<QFileDialog>([&](QFileDialog *dialog) { enterFileName(dialog, saved); });
        QTest::mouseClick(d->saveGpxButton, Qt::LeftButton);
        QTRY_VERIFY(QFile::exists(saved));
    });
    // Debian's gpsbabel reads the file back: the points, their places and
    // times as the original has them.
    QProcess babel;
    babel.start(QStringLiteral("gpsbabel"), {"-t", "-i", "gpx", "-f", saved, "-o", "unicsv,utc=0", "-F", "-"});
    QVERIFY(babel.waitForFinished(20000));
    QCOMPARE(babel.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(babel.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1 + 240);
    QVERIFY2(lines.at(1).contains(QStringLiteral("49.000000,16.500000,200.0,2026/06/01,06:00:00")) ||
                 lines.at(1).contains(QStringLiteral("49.000000,16.500000,200,2026/06/01,06:00:00")),
             qPrintable(lines.at(0) + u'\n' + lines.at(1)));
}

void TrackWindowTest::mapOfflineAndFromMbtiles()
{
    putFile(m_dir->filePath("den.gpx"), gpxOfTwoPieces());
    // An MBTiles map of one colour over the ride at every zoom level, the
    // tiles' places worked out by the usual formula of the tiling.
    const QString mbtiles = m_dir->filePath(QStringLiteral("mapa.mbtiles"));
    QString sql = kMbTilesTables;
    const QByteArray green = pngOf(QColor(0, 200, 0));
    for (int z = 0; z <= 16; ++z) {
        const int n = 1 << z;
        const auto column = [n](double lon) { return int(std::floor((lon + 180) / 360 * n)); };
        const auto row = [n](double lat) {
            const double r = lat * M_PI / 180;
            return int(std::floor((1 - std::asinh(std::tan(r)) / M_PI) / 2 * n));
        };
        for (int x = column(16.49); x <= column(16.51); ++x)
            for (int y = row(49.11); y <= row(48.99); ++y)
                sql += tileInsert(z, x, n - 1 - y, green);
    }
    sqlite(mbtiles, sql);
    open();
    importFiles({QStringLiteral("den.gpx")});
    selectRow(rowNamed(QStringLiteral("Dva kusy")));

    // No network: the OpenStreetMap source's server does not answer. The
    // window opens at once, the track is drawn, a note says why the map
    // is missing.
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    qputenv("TRASOVNIK_OSM_TILES", QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(port).toUtf8());
    const auto unset = qScopeGuard([] { qunsetenv("TRASOVNIK_OSM_TILES"); });
    MapTiles::writeMapSource(m_dir->filePath("store.ini"), {MapTiles::MapSource::Kind::OpenStreetMap, {}, {}});
    inTrackWindow([&](TrackWindow *d) {
        QTRY_VERIFY(d->tiles()->problem().contains(QStringLiteral("Mapa není dostupná")));
        const QImage shot = d->mapView->grab().toImage();
        const QPointF along = d->mapView->pixelOf(49.008, 16.5);
        QCOMPARE(shot.pixelColor(along.toPoint()).red(), 0xd0);
        if (const QString pictures = qEnvironmentVariable("TRASOVNIK_PICTURES"); !pictures.isEmpty())
            d->grab().save(pictures + QStringLiteral("/trasa-bez-site.png"));
    });

    // The MBTiles file chosen in the window's own "Mapový podklad…" (Alt+M)
    // goes under the track at once.
    inTrackWindow([&](TrackWindow *d) {
        onModal<MapSourceDialog>([&](MapSourceDialog *dialog) {
            QTest::mouseClick(dialog->mbtilesButton, Qt::LeftButton);
            dialog->mbtilesEdit->setText(mbtiles);
            if (const QString pictures = qEnvironmentVariable("TRASOVNIK_PICTURES"); !pictures.isEmpty())
                dialog->grab().save(pictures + QStringLiteral("/mapovy-podklad.png"));
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("okButton")), Qt::LeftButton);
            QVERIFY2(!dialog->isVisible(), qPrintable(dialog->problemLabel->text()));
        });
        QTest::keyClick(d->windowHandle(), Qt::Key_M, Qt::AltModifier);
        QTRY_COMPARE(d->tiles()->source().kind, MapTiles::MapSource::Kind::MbTiles);
        const QPoint aside = (d->mapView->pixelOf(49.0, 16.5) + QPointF(60, -40)).toPoint();
        QTRY_COMPARE(d->mapView->grab().toImage().pixelColor(aside), QColor(0, 200, 0));
        QVERIFY(d->tiles()->problem().isEmpty());
        if (const QString pictures = qEnvironmentVariable("TRASOVNIK_PICTURES"); !pictures.isEmpty())
            d->grab().save(pictures + QStringLiteral("/trasa-mbtiles.png"));
    });
    QCOMPARE(MapTiles::readMapSource(m_dir->filePath("store.ini")).mbtilesPath, mbtiles);
}

QTEST_MAIN(TrackWindowTest)
#include "tst_trackwindow.moc"
