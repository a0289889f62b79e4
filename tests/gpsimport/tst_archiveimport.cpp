// Years of rides at once, through the main window: a bulk export with its
// list of activities and a vendor's zips in zips imported, the copies kept
// and linked to their rides whatever the rider does to the log, and
// nothing imported twice.
#include "ArchiveWriter.h"
#include "FitWriter.h"
#include "ImportWindow.h"
#include "KeptRideFiles.h"
#include "Modal.h"
#include "RideColumn.h"
#include "StringTableView.h"
#include "TableFile.h"
#include "WindowFixture.h"

#include <QHeaderView>
#include <QProcess>
#include <QPushButton>
#include <QTreeWidget>

using ArchiveWriter::Item;

namespace {

QByteArray fitRide(const QDate &day, int seconds)
{
    return FitWriter::activity(FitWriter::fitTime(QDateTime(day, QTime(6, 0), QTimeZone::utc())), seconds, 6.0);
}

QByteArray gpxRide(const QString &startUtc)
{
    const QDateTime start = QDateTime::fromString(startUtc, Qt::ISODate);
    QByteArray gpx = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"test\" "
                     "xmlns=\"http://www.topografix.com/GPX/1/1\"><trk><trkseg>\n";
    for (int i = 0; i < 300; ++i)
        gpx += QStringLiteral("<trkpt lat=\"%1\" lon=\"14\"><time>%2</time></trkpt>\n")
                   .arg(50.0 + i * 0.0004, 0, 'f', 6)
                   .arg(start.addSecs(i * 10).toString(Qt::ISODate))
                   .toUtf8();
    return gpx + "</trkseg></trk></gpx>\n";
}

// The date of each ride and its link, in the log's order.
QStringList linksOf(const StringTable &log)
{
    QStringList links;
    for (int row = log.headingRows(); row < log.tableRowCount(); ++row)
        links.append(log.cell(RideColumn::Date, row) + u' '
                     + (log.tableColumnCount() > RideColumn::KeptFile ? log.cell(RideColumn::KeptFile, row) : QString()));
    return links;
}

} // namespace

class TestArchiveImport : public WindowFixture
{
    Q_OBJECT

    QMap<QString, QByteArray> m_rides; // the ride files put into the archives, by date

    QString putArchives()
    {
        m_rides = {{"3.5.2025", fitRide(QDate(2025, 5, 3), 3600)},
                   {"1.6.2025", gpxRide(QStringLiteral("2025-06-01T06:30:00Z"))},
                   {"2.6.2025", fitRide(QDate(2025, 6, 2), 2400)},
                   {"1.7.2025", fitRide(QDate(2025, 7, 1), 1500)}};
        // The list comes after the files it names, as it may in a zip.
        const QByteArray list = "ID aktivity,Datum aktivity,Název aktivity,Typ aktivity,Vybavení aktivity,Název souboru\n"
                                "11,\"3. 5. 2025\",\"Brno, Tišnov\nzpět\",Jízda na kole,Author,activities/11.fit.gz\n"
                                "12,\"1. 6. 2025\",Vysočina,Jízda na kole,,activities/12.gpx.gz\n"
                                "13,\"2. 6. 2025\",Ranní běh,Běh,,activities/13.fit.gz\n";
        putFile(m_dir->filePath("export.zip"),
                ArchiveWriter::zipOf({{"activities/11.fit.gz", ArchiveWriter::gzipOf(m_rides["3.5.2025"])},
                                      {"activities/12.gpx.gz", ArchiveWriter::gzipOf(m_rides["1.6.2025"])},
                                      {"activities/13.fit.gz", ArchiveWriter::gzipOf(m_rides["2.6.2025"])},
                                      {"routes/plan.gpx", gpxRide(QStringLiteral("2025-08-01T06:30:00Z"))},
                                      {"activities.csv", list}}));
        const QByteArray inner = ArchiveWriter::zipOf({{"a.fit", m_rides["1.7.2025"]}});
        putFile(m_dir->filePath("vendor.zip"),
                ArchiveWriter::zipOf({{"DI_CONNECT/uploaded.zip", ArchiveWriter::zipOf({{"x/inner.zip", inner}})}}));
        return m_dir->filePath("export.zip");
    }

    // Runs an import of the two archives; `inWindow` looks at the list.
    void import(const std::function<void(ImportWindow *, QTreeWidget *)> &inWindow)
    {
        bool seen = false;
        onModal<ImportWindow>([&](ImportWindow *d) {
            const auto closeAnyway = qScopeGuard([d] {
                if (d->isVisible() && !d->isKeeping())
                    d->reject();
            });
            QTRY_VERIFY_WITH_TIMEOUT(!d->isReading(), 20000);
            inWindow(d, d->findChild<QTreeWidget *>(QStringLiteral("ImportList")));
            seen = true;
        });
        w->importRideFiles({m_dir->filePath("export.zip"), m_dir->filePath("vendor.zip")});
        QVERIFY(seen);
        QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget(), 20000);
    }

    static QStringList columnTexts(QTreeWidget *list, int column)
    {
        QStringList texts;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            texts.append(list->topLevelItem(i)->text(column));
        return texts;
    }

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    // The export's names, sports and gear, the vendor's nested ride; the
    // rides added with kept copies that gzip reads back to the very bytes;
    // the same archives again all known and unticked; a ride deleted since
    // is said to be gone and stays unticked.
    void importsOnceAndKeepsTheFiles()
    {
        open();
        putArchives();
        import([](ImportWindow *d, QTreeWidget *list) {
            QCOMPARE(columnTexts(list, 1), QStringList({"3.5.2025", "1.6.2025", "2.6.2025", "1.7.2025"}));
            QCOMPARE(columnTexts(list, 2).mid(0, 3), QStringList({"Brno, Tišnov zpět", "Vysočina", "Ranní běh"}));
            QCOMPARE(d->rows().at(0).cells.value(RideColumn::Bike), QStringLiteral("Author"));
            QCOMPARE(list->topLevelItem(2)->checkState(0), Qt::Unchecked); // a run
            QCOMPARE(list->topLevelItem(3)->text(6),
                     QStringLiteral("vendor.zip › DI_CONNECT/uploaded.zip › x/inner.zip › a.fit"));
            QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("ImportAdd")), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(!d->isVisible(), 20000);
        });
        QCOMPARE(log()->tableColumnCount(), int(RideColumn::CountWithKeptFile));
        const QStringList links = linksOf(*log());
        QCOMPARE(links.size(), 3);
        for (const QString &dated : links) {
            const QString date = dated.section(u' ', 0, 0);
            const QString kept = GpsImport::keptNameOfLink(dated.section(u' ', 1));
            QProcess gzip;
            gzip.start(QStringLiteral("gzip"), {QStringLiteral("-dc"), m_dir->filePath("zaznamy/" + kept)});
            QVERIFY(gzip.waitForFinished());
            QCOMPARE(gzip.readAllStandardOutput(), m_rides.value(date));
        }
        // The rider never sees the link.
        QVERIFY(w->rideTable->horizontalHeader()->isSectionHidden(RideColumn::KeptFile));
        QCOMPARE(log()->riderColumnCount(), int(RideColumn::CountWithBike));

        import([](ImportWindow *d, QTreeWidget *list) {
            QCOMPARE(list->topLevelItemCount(), 4);
            for (int i = 0; i < 4; ++i) {
                QCOMPARE(list->topLevelItem(i)->checkState(0), Qt::Unchecked);
                QVERIFY2(list->topLevelItem(i)->text(7).startsWith(QStringLiteral("již importováno")),
                         qPrintable(list->topLevelItem(i)->text(7)));
            }
            QVERIFY(!d->findChild<QPushButton *>(QStringLiteral("ImportAdd"))->isEnabled());
        });

        w->rideTable->setCurrentRow(2); // 1.6.2025
        QCOMPARE(log()->cell(RideColumn::Date, 2), QStringLiteral("1.6.2025"));
        w->deleteRide();
        QCOMPARE(log()->tableRowCount(), 3);
        import([](ImportWindow *, QTreeWidget *list) {
            QCOMPARE(list->topLevelItem(1)->checkState(0), Qt::Unchecked);
            QVERIFY2(list->topLevelItem(1)->text(7).endsWith(QStringLiteral("v deníku už není")),
                     qPrintable(list->topLevelItem(1)->text(7)));
        });
        QCOMPARE(log()->tableRowCount(), 3);
    }

    // "Zrušit výběr", "Vybrat vše" and a heading click by mouse: the list
    // sorted by km both ways, the rides still added in the order they
    // started.
    void tickAllNoneAndSort()
    {
        open();
        putArchives();
        import([](ImportWindow *d, QTreeWidget *list) {
            const auto ticks = [list] {
                QList<int> states;
                for (int i = 0; i < list->topLevelItemCount(); ++i)
                    states.append(int(list->topLevelItem(i)->checkState(0)));
                return states;
            };
            auto *add = d->findChild<QPushButton *>(QStringLiteral("ImportAdd"));
            QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("ImportTickNone")), Qt::LeftButton);
            QCOMPARE(ticks(), QList<int>({0, 0, 0, 0}));
            QVERIFY(!add->isEnabled());
            QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("ImportTickAll")), Qt::LeftButton);
            QCOMPARE(ticks(), QList<int>({2, 2, 2, 2}));
            QHeaderView *header = list->header();
            const QPoint km(header->sectionViewportPosition(3) + 5, header->height() / 2);
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, km);
            QCOMPARE(columnTexts(list, 3), QStringList({"8,99", "13,3", "14,39", "21,59"}));
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, km);
            QCOMPARE(columnTexts(list, 3), QStringList({"21,59", "14,39", "13,3", "8,99"}));
            QTest::mouseClick(add, Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(!d->isVisible(), 20000);
        });
        QStringList dates;
        for (const QString &dated : linksOf(*log()))
            dates.append(dated.section(u' ', 0, 0));
        QCOMPARE(dates, QStringList({"3.5.2025", "1.6.2025", "2.6.2025", "1.7.2025"}));
    }

    // A ride's link follows it through sorting, editing, deleting and
    // undoing, into the saved file and the file of unsaved changes.
    void linkFollowsItsRide()
    {
        open({{"1.1.2025", "Ručně", "", "80", "03:00", "26,67", "2"}});
        putArchives();
        import([](ImportWindow *d, QTreeWidget *) {
            QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("ImportAdd")), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(!d->isVisible(), 20000);
        });
        QStringList expected = linksOf(*log());
        QCOMPARE(expected.size(), 4);
        QVERIFY(expected[0].endsWith(u' '));
        // Sorted by km with a heading click: the same pairs.
        QHeaderView *header = w->rideTable->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(RideColumn::Km) + 5, header->height() / 2));
        QVERIFY(linksOf(*log()) != expected);
        QStringList sorted = linksOf(*log());
        sorted.sort();
        expected.sort();
        QCOMPARE(sorted, expected);
        // Edited, deleted and brought back.
        w->rideTable->setCurrentRow(2);
        w->courseEdit->setFocus();
        QTest::keyClicks(w->courseEdit, QStringLiteral("Jinak"));
        w->rideTable->setFocus();
        const QStringList before = linksOf(*log());
        w->deleteRide();
        w->undoDelete();
        QCOMPARE(linksOf(*log()), before);
        QCOMPARE(log()->cell(RideColumn::Course, 2), QStringLiteral("Jinak"));
        // What a crash leaves and what closing saves hold the same links.
        for (const QString &file : {QStringLiteral("default-obnova.tvl"), QStringLiteral("default.tvl")}) {
            if (file == u"default.tvl")
                QVERIFY(w->close());
            else
                QTRY_VERIFY(QFile::exists(m_dir->filePath(file)) && fileBytes(m_dir->filePath(file)).contains("Jinak"));
            StringTable read;
            TableFile::load(read, m_dir->filePath(file));
            QCOMPARE(linksOf(read), before);
        }
    }
};

QTEST_MAIN(TestArchiveImport)
#include "tst_archiveimport.moc"
