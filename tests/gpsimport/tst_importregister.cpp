// The register of imported files and the kept copies: what a second
// import lists without reading, and what the copies hold.
#include "ArchiveWriter.h"
#include "FitWriter.h"
#include "ImportKeeping.h"
#include "ImportRegister.h"
#include "KeptRideFiles.h"
#include "LocaleService.h"
#include "RideColumn.h"
#include "RideSources.h"
#include "TestFiles.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace GpsImport;

namespace {

QByteArray gpxDay(const QString &startUtc, int points)
{
    const QDateTime start = QDateTime::fromString(startUtc, Qt::ISODate);
    QByteArray gpx = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"test\" "
                     "xmlns=\"http://www.topografix.com/GPX/1/1\"><trk><name>Okolo Brna</name><trkseg>\n";
    for (int i = 0; i < points; ++i)
        gpx += QStringLiteral("<trkpt lat=\"%1\" lon=\"16.6\"><time>%2</time></trkpt>\n")
                   .arg(49.2 + i * 0.0005, 0, 'f', 6)
                   .arg(start.addSecs(i * 10).toString(Qt::ISODate))
                   .toUtf8();
    return gpx + "</trkseg></trk></gpx>\n";
}

// Every piece one picked file gives, read in this thread (stopped
// before it starts when `stopped`).
QList<ImportRow> readAll(const QString &path, const std::shared_ptr<const ImportRegister> &known,
                         bool stopped = false)
{
    QList<ImportRow> rows;
    SourceReading reading;
    reading.path = path;
    reading.zone = QTimeZone("Europe/Prague");
    reading.knownFiles = known;
    reading.stop = std::make_shared<StopFlag>(stopped);
    reading.deliver = [&rows](SourcePiece &&piece) { rows += piece.rows; };
    readSource(reading);
    return rows;
}

} // namespace

class TestImportRegister : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { LocaleService::instance(); }

    // The register reads back to the same bytes, lines it does not know
    // included, and finds a file by the link of any of its rides.
    void readsBackByteForByte()
    {
        QTemporaryDir dir;
        ImportRegister reg;
        RegisteredFile file{"a1b2c3", QDate(2026, 12, 9), QStringLiteral("2025/2025-06-01-0830-a1b2c3.gpx.gz"),
                            QStringLiteral("export.zip › activities/Žďár.gpx.gz"), {}};
        for (int i = 0; i < 2; ++i)
            file.rides.append({QDateTime(QDate(2025, 6, 1 + i), QTime(6, 30), QTimeZone::utc()),
                               keptFileLink(file.kept, i, 2),
                               {QStringLiteral("1.6.2025"), QStringLiteral("Přes Tišnov"), {}, QStringLiteral("42,5")}});
        reg.add(file);
        reg.addArchive("ffee", QDate(2026, 12, 9), 12345, QStringLiteral("export.zip"), {"a1b2c3"});
        const QByteArray bytes = reg.bytes() + "X\tnext version's line\r\n";
        const QString path = dir.filePath(QStringLiteral("importy.txt"));
        putFile(path, bytes);

        QString problem;
        const ImportRegister back = ImportRegister::load(path, &problem);
        QCOMPARE(back.bytes(), bytes);
        QCOMPARE(back.unreadLines(), 1);
        QVERIFY(!problem.isEmpty());
        int ride = -1;
        const RegisteredFile *found = back.fileOfLink(file.rides[1].link, &ride);
        QVERIFY(found);
        QCOMPARE(ride, 1);
        QCOMPARE(found->rides[1].cells.value(RideColumn::Name), QStringLiteral("Přes Tišnov"));
        QVERIFY(back.archive("ffee") && back.hasArchiveOfSize(12345) && !back.hasArchiveOfSize(12346));
    }

    // A plain FIT and GPX file: kept compressed (gzip itself reads the copy
    // back to the original bytes), registered with their rides' links; read
    // again, they are listed from the register, unticked.
    void keptAndKnownTheSecondTime()
    {
        QTemporaryDir dir;
        const QString fit = dir.filePath(QStringLiteral("ride.fit"));
        const QString gpx = dir.filePath(QStringLiteral("ride.gpx"));
        putFile(fit, FitWriter::activity(FitWriter::fitTime(QDateTime(QDate(2025, 5, 3), QTime(7, 0), QTimeZone::utc())), 3600, 7.0));
        putFile(gpx, gpxDay(QStringLiteral("2025-06-01T06:30:00Z"), 400));
        auto reg = std::make_shared<ImportRegister>();
        QList<ImportRow> rows = readAll(fit, reg) + readAll(gpx, reg);
        QCOMPARE(rows.size(), 2);
        const QString root = dir.filePath(QStringLiteral("zaznamy/"));
        StopFlag stop(false);
        const KeptCopies copies = keepRideFiles(rows, *reg, root, QTimeZone("Europe/Prague"), {}, stop);
        QVERIFY2(copies.failures.isEmpty(), qPrintable(copies.failures.join(u'\n')));
        const QStringList links = registerImport(*reg, rows, {0, 1}, copies, {}, QDate(2026, 12, 9));
        QCOMPARE(links.size(), 2);
        // Named by the local start of the file's first ride and its hash.
        const QStringList names = {QStringLiteral("2025/2025-05-03-0900-%1.fit.gz"),
                                   QStringLiteral("2025/2025-06-01-0830-%1.gpx.gz")};
        for (int i = 0; i < 2; ++i) {
            const QString kept = keptNameOfLink(links[i]);
            QCOMPARE(kept, names[i].arg(QString::fromLatin1(rows[i].hash.left(8))));
            QProcess gzip;
            gzip.start(QStringLiteral("gzip"), {QStringLiteral("-dc"), root + kept});
            QVERIFY(gzip.waitForFinished());
            QCOMPARE(gzip.readAllStandardOutput(), fileBytes(rows[i].source));
        }

        // Known now: the rows come from the register (its cells, not the file's).
        RegisteredFile edited = *reg->file(rows[1].hash);
        edited.rides[0].cells[RideColumn::Name] = QStringLiteral("Z rejstříku");
        reg->add(edited);
        const QList<ImportRow> again = readAll(gpx, reg);
        QCOMPARE(again.size(), 1);
        QVERIFY(again[0].known && !again[0].ticked && again[0].offered);
        QCOMPARE(again[0].cells.value(RideColumn::Name), QStringLiteral("Z rejstříku"));
        QCOMPARE(again[0].link, links[1]);
        QCOMPARE(again[0].remarkText(),
                 QStringLiteral("již importováno %1").arg(LocaleService::instance().formatDate(QDate(2026, 12, 9))));
    }

    // An archive the register knows whole is listed from it; a reading
    // stopped lists nothing of it (its hash is not taken to the end).
    void knownArchiveListedUnlessStopped()
    {
        QTemporaryDir dir;
        const QString gz = dir.filePath(QStringLiteral("ride.fit.gz"));
        putFile(gz, ArchiveWriter::gzipOf(FitWriter::activity(
                        FitWriter::fitTime(QDateTime(QDate(2025, 5, 3), QTime(7, 0), QTimeZone::utc())), 3600, 7.0)));
        auto reg = std::make_shared<ImportRegister>();
        const QList<ImportRow> rows = readAll(gz, reg);
        QCOMPARE(rows.size(), 1);
        StopFlag stop(false);
        const KeptCopies copies =
            keepRideFiles(rows, *reg, dir.filePath(QStringLiteral("zaznamy/")), QTimeZone("Europe/Prague"), {gz}, stop);
        registerImport(*reg, rows, {0}, copies, {{gz, QFileInfo(gz).size(), {}, {rows[0].hash}}}, QDate(2026, 12, 9));
        QVERIFY(reg->archive(contentHashOfFile(gz)));
        const QList<ImportRow> again = readAll(gz, reg);
        QCOMPARE(again.size(), 1);
        QVERIFY(again[0].known);
        QCOMPARE(readAll(gz, reg, true).size(), 0);
    }

    // A `.gz` in a zip is unpacked beside the reading, held to the same
    // limits as any member: the ride as from the plain file, or a row with
    // the reason.
    void packedMembers_data()
    {
        const QByteArray ride = FitWriter::activity(
            FitWriter::fitTime(QDateTime(QDate(2025, 5, 3), QTime(7, 0), QTimeZone::utc())), 3600, 7.0);
        const QByteArray gz = ArchiveWriter::gzipOf(ride);
        QByteArray damaged = gz;
        damaged[damaged.size() / 2] = char(~damaged[damaged.size() / 2]);
        damaged[damaged.size() / 2 + 1] = char(~damaged[damaged.size() / 2 + 1]);
        QTest::addColumn<QByteArray>("member");
        QTest::addColumn<QString>("expected"); // the ride's km, or the reason
        QTest::newRow("one gzip member") << gz << QStringLiteral("25,19");
        QTest::newRow("two gzip members") << ArchiveWriter::gzipOf(ride.left(1000)) + ArchiveWriter::gzipOf(ride.mid(1000))
                                          << QStringLiteral("25,19");
        QTest::newRow("damaged") << damaged << QStringLiteral("archiv je poškozený");
        QTest::newRow("cut off") << gz.left(gz.size() / 2) << QStringLiteral("archiv je neúplný");
        QTest::newRow("bomb") << ArchiveWriter::gzipOf(QByteArray(48 << 20, '\0'))
                              << QStringLiteral("rozbaleno by mělo víc než 200násobek zabalené velikosti");
    }
    void packedMembers()
    {
        QFETCH(QByteArray, member);
        QTemporaryDir dir;
        const QString zip = dir.filePath(QStringLiteral("export.zip"));
        putFile(zip, ArchiveWriter::zipOf({{"activities/1.fit.gz", member, AE_IFREG, true}}));
        const QList<ImportRow> rows = readAll(zip, std::make_shared<ImportRegister>());
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].files, QStringList{QStringLiteral("export.zip › activities/1.fit.gz")});
        QTEST(rows[0].offered ? rows[0].cells.value(RideColumn::Km) : rows[0].remarkText(), "expected");
    }

    void encodableNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Czech stays") << QStringLiteral("Žďár – Tišnov") << QStringLiteral("Žďár – Tišnov");
        QTest::newRow("emoji goes") << QStringLiteral("Ranní jízda 🚴") << QStringLiteral("Ranní jízda ");
        QTest::newRow("accent dropped") << QStringLiteral("Señora Ĉu") << QStringLiteral("Senora Cu");
        QTest::newRow("Cyrillic goes") << QStringLiteral("Москва 1") << QStringLiteral(" 1");
    }
    void encodableNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QCOMPARE(encodableName(name), expected);
        // A ride's name and bike from a device become cells the log can save.
        RecordedRide ride{QDateTime(QDate(2025, 6, 1), QTime(8, 0), QTimeZone::utc()), 20000.0, 3600, name, {}, name, {}};
        const QStringList cells = cellsOf(ride, QTimeZone::utc()).cells;
        QCOMPARE(cells.value(RideColumn::Name), expected);
        QCOMPARE(cells.value(RideColumn::Bike), expected);
    }
};

QTEST_GUILESS_MAIN(TestImportRegister)
#include "tst_importregister.moc"
