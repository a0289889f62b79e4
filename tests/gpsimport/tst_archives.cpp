// The archive reader and the activity list: archives written here by
// libarchive's own writer (zip deflated and stored, gzip) from ride files
// of the fuzz corpus, read back member by member with every refusal and
// limit, the bytes handed on compared with the originals, a stop from
// another thread, and nothing written anywhere.

#include "ArchiveWriter.h"
#include "RideArchive.h"


#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <thread>

using namespace GpsImport;
using namespace ArchiveWriter;

Q_DECLARE_METATYPE(GpsImport::ArchiveLimits)

namespace {

QByteArray corpusFile(const char *path)
{
    QFile f(QStringLiteral(TRASOVNIK_CORPUS_DIR "/") + QLatin1String(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString md5(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex().left(12));
}

// What the rider's window would learn: a line per member handed on (its
// path, name, folder and the digest of the bytes read, or "přerušeno"
// when the reading failed) and per member refused.
QString delivered(const QString &path, const QString &member, const QString &folder, const QByteArray &bytes)
{
    return QStringLiteral("+ %1 | %2 | %3 | %4").arg(path, member, folder, md5(bytes));
}

QString cutOff(const QString &path, const QString &member, const QString &folder)
{
    return QStringLiteral("+ %1 | %2 | %3 | přerušeno").arg(path, member, folder);
}

QString refused(const QString &path, const QString &reason)
{
    return QStringLiteral("- %1: %2").arg(path, reason);
}

struct Transcript
{
    QStringList lines;
    QString problem;
    QList<qint64> progress;
};

// Reads every member to its end: small reads first, then large ones, as
// the ride file readers do.
Transcript readAll(const std::function<QString(const ArchiveCallbacks &, const StopFlag &)> &read)
{
    Transcript t;
    ArchiveCallbacks callbacks;
    callbacks.member = [&](const ArchiveMember &m, QIODevice &content) {
        QByteArray bytes;
        QByteArray block(256 * 1024, Qt::Uninitialized);
        bool failed = false;
        for (qint64 n = 1; n > 0;) {
            const qint64 wanted = bytes.size() < 3000 ? 7 : block.size();
            n = content.read(block.data(), wanted);
            failed = n < 0;
            bytes.append(block.constData(), qMax<qint64>(n, 0));
        }
        t.lines.append(failed ? cutOff(m.path, m.member, m.folder) : delivered(m.path, m.member, m.folder, bytes));
    };
    callbacks.refused = [&](const ArchiveMember &m, const QString &reason) { t.lines.append(refused(m.path, reason)); };
    callbacks.progress = [&](qint64 bytes) { t.progress.append(bytes); };
    const StopFlag stop{false};
    t.problem = read(callbacks, stop);
    return t;
}

// A zip within a zip within … `levels` deep, the innermost holding a.fit.
QByteArray nestedZip(int levels, const QByteArray &fit)
{
    QByteArray inner = zipOf({{"a.fit", fit}});
    for (int level = levels - 1; level >= 1; --level)
        inner = zipOf({{"d" + QByteArray::number(level + 1) + ".zip", inner}});
    return inner;
}

// Bytes at random, each masked: 0xFF gives bytes that do not pack,
// 0x01 over '0' a text of '0' and '1' that packs about sevenfold.
QByteArray randomBytes(qsizetype size, uchar mask, char base = 0)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = 2463534242u;
    for (char &c : bytes) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        c = char(base + (x & mask));
    }
    return bytes;
}

void addRow(const char *tag, const QString &name, const QByteArray &bytes, const QStringList &lines,
            const QString &problem = {}, const ArchiveLimits &limits = {})
{
    QTest::newRow(tag) << name << bytes << limits << lines << problem;
}

} // namespace

class TestArchives : public QObject
{
    Q_OBJECT
private slots:
    void members_data();
    void members();
    void stopFromAnotherThread();
    void activityList_data();
    void activityList();
};

void TestArchives::members_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<ArchiveLimits>("limits");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("problem");

    const QByteArray fit = corpusFile("fitfile/activity-plain");
    const QByteArray gpx = corpusFile("gpxfile/gpx11-two-tracks");
    const QByteArray tcx = corpusFile("tcxfile/two-laps-biking");
    QVERIFY(!fit.isEmpty() && !gpx.isEmpty() && !tcx.isEmpty());
    const QByteArray csv = "Activity ID,Activity Name,Filename\r\n1,\"Ranní, \"\"dlouhá\"\"\r\njízda\",activities/1.fit.gz\r\n";

    addRow("bulk export", "export.zip",
           zipOf({{"activities/", {}, AE_IFDIR},
                  {"activities/1.fit.gz", gzipOf(fit)},
                  {"activities/2.gpx.gz", gzipOf(gpx), AE_IFREG, true},
                  {"activities/3.tcx", tcx},
                  {"activities.csv", csv},
                  {"routes/plan.gpx", gpx},
                  {"export/Routes/plan.gpx.gz", gzipOf(gpx)}}),
           {delivered("export.zip › activities/1.fit.gz", "activities/1.fit", "", fit),
            delivered("export.zip › activities/2.gpx.gz", "activities/2.gpx", "", gpx),
            delivered("export.zip › activities/3.tcx", "activities/3.tcx", "", tcx),
            delivered("export.zip › activities.csv", "activities.csv", "", csv)});
    addRow("vendor's zips in zips", "vendor.zip",
           zipOf({{"inner.zip", nestedZip(2, fit)}, {"b.gpx", gpx, AE_IFREG, true}}),
           {delivered("vendor.zip › inner.zip › d2.zip › a.fit", "a.fit", "inner.zip › d2.zip", fit),
            delivered("vendor.zip › b.gpx", "b.gpx", "", gpx)});
    addRow("depth 4", "d1.zip", nestedZip(4, fit),
           {delivered("d1.zip › d2.zip › d3.zip › d4.zip › a.fit", "a.fit", "d2.zip › d3.zip › d4.zip", fit)});
    addRow("depth 5", "d1.zip", nestedZip(5, fit),
           {refused("d1.zip › d2.zip › d3.zip › d4.zip › d5.zip", "příliš mnoho archivů v sobě (víc než 4)")});
    addRow("a gzip of a ride", "jizda.fit.gz", gzipOf(fit), {delivered("jizda.fit.gz", "jizda.fit", "", fit)});
    addRow("a gzip of a zip", "x.zip.gz", gzipOf(zipOf({{"a.gpx", gpx}})),
           {delivered("x.zip.gz › a.gpx", "a.gpx", "x.zip", gpx)});
    addRow("a member of 3 MiB", "big.zip", zipOf({{"big.fit", randomBytes(3 << 20, 0xFF)}}),
           {delivered("big.zip › big.fit", "big.fit", "", randomBytes(3 << 20, 0xFF))});
    // A name in the DOS code page, not marked as UTF-8, as old tools of a Czech Windows wrote it.
    addRow("CP852 name", "stara.zip", zipOf({{"Jízdy/černá.fit", fit}}, "zip:hdrcharset=CP852"),
           {delivered("stara.zip › Jízdy/černá.fit", "Jízdy/černá.fit", "", fit)});
    addRow("encrypted", "r.zip", zipOf({{"ok.fit", fit}, {"tajne.fit", gpx}}, "zip:encryption=zipcrypt"),
           {refused("r.zip › ok.fit", "zašifrováno"), refused("r.zip › tajne.fit", "zašifrováno")});

    // Refused members, each after a member that is read.
    const auto withGood = [&](const QList<Item> &items) { return zipOf(QList<Item>{{"ok.fit", fit}} + items); };
    const QString good = delivered("r.zip › ok.fit", "ok.fit", "", fit);
    const auto refusal = [&](const char *tag, const Item &item, const QString &reason, const ArchiveLimits &limits = {}) {
        addRow(tag, "r.zip", withGood({item}), {good, refused("r.zip › " + QString::fromUtf8(item.name), reason)}, {},
               limits);
    };
    refusal("absolute name", {"/etc/a.fit", fit}, "název mimo archiv");
    refusal("name out of the folder", {"a/../../b.fit", fit}, "název mimo archiv");
    refusal("symbolic link", {"link.fit", "/etc/passwd", AE_IFLNK}, "odkaz, ne soubor");
    refusal("0 bytes", {"nic.fit", ""}, "prázdný soubor");
    refusal("same name twice", {"ok.fit", gpx}, "stejný název podruhé");
    ArchiveLimits small;
    small.memberBytes = 1 << 20;
    refusal("member size declared", {"velky.fit", randomBytes(2 << 20, 0xFF)}, "rozbaleno by mělo víc než 1 MiB",
            small);
    // Limits found while reading: the start is handed on, then the reading fails.
    const QString bomb = QStringLiteral("rozbaleno by mělo víc než 200násobek zabalené velikosti");
    addRow("ratio bomb", "r.zip", withGood({{"bomba.fit", QByteArray(20 << 20, '\0')}}),
           {good, cutOff("r.zip › bomba.fit", "bomba.fit", ""), refused("r.zip › bomba.fit", bomb)});
    addRow("ratio bomb in a gzip", "r.zip",
           withGood({{"bomba.fit.gz", gzipOf(QByteArray(20 << 20, '\0')), AE_IFREG, true}}),
           {good, cutOff("r.zip › bomba.fit.gz", "bomba.fit", ""), refused("r.zip › bomba.fit.gz", bomb)});
    // The gzip packs a text of '0' and '1' sevenfold: its declared size is within the limit.
    addRow("member size in a gzip", "r.zip", withGood({{"velky.fit.gz", gzipOf(randomBytes(2 << 20, 0x01, '0'))}}),
           {good, cutOff("r.zip › velky.fit.gz", "velky.fit", ""),
            refused("r.zip › velky.fit.gz", "rozbaleno by mělo víc než 1 MiB")},
           {}, small);
    ArchiveLimits few;
    few.members = 3;
    addRow("member count", "r.zip", withGood({{"d2.zip", zipOf({{"1.gpx", gpx}, {"2.gpx", gpx}})}, {"3.fit", fit}}),
           {good, delivered("r.zip › d2.zip › 1.gpx", "1.gpx", "d2.zip", gpx),
            refused("r.zip › d2.zip › 2.gpx", "víc než 3 souborů v archivu, zbytek nečten")},
           {}, few);

    // The first byte of b.gpx's deflated data made a block of no type.
    QByteArray damaged = withGood({{"b.gpx", gpx}});
    const qsizetype second = damaged.indexOf("PK\3\4", 4);
    const auto u16 = [&](qsizetype at) { return uchar(damaged[at]) | uchar(damaged[at + 1]) << 8; };
    damaged[second + 30 + u16(second + 26) + u16(second + 28)] = char(0xFF);
    addRow("damaged", "r.zip", damaged, {good, refused("r.zip › b.gpx", "archiv je poškozený")});
    // A member packed with LZMA (method 14), whose unpacker takes what its header asks.
    QByteArray lzma = withGood({{"b.gpx", gpx, AE_IFREG, true}});
    lzma[lzma.indexOf("PK\3\4", 4) + 8] = 14;
    lzma[lzma.lastIndexOf("PK\1\2") + 10] = 14;
    addRow("LZMA", "r.zip", lzma, {good, refused("r.zip › b.gpx", "nepodporovaný způsob komprese")});
    const QByteArray whole = withGood({{"b.gpx", gpx}});
    addRow("truncated", "r.zip", whole.left(whole.indexOf("PK\3\4", 4) + 200),
           {good, cutOff("r.zip › b.gpx", "b.gpx", ""), refused("r.zip › b.gpx", "archiv je neúplný")});
    const QByteArray gz = gzipOf(gpx);
    addRow("truncated gzip", "a.gpx.gz", gz.left(gz.size() / 2), {}, "archiv je neúplný");
    addRow("not an archive", "a.fit", fit, {}, "není to archiv ZIP ani GZIP");
    addRow("only routes", "r.zip", zipOf({{"routes/a.gpx", gpx}}), {}, "v archivu není žádný soubor");
}

void TestArchives::members()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(ArchiveLimits, limits);
    QFETCH(QStringList, lines);
    QFETCH(QString, problem);

    QTemporaryDir files;
    QTemporaryDir empty;
    QVERIFY(files.isValid() && empty.isValid());
    const QString path = files.filePath(name);
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    f.close();

    // Read with the working folder an empty one: nothing lands there.
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(empty.path()));
    const Transcript t = readAll([&](const ArchiveCallbacks &callbacks, const StopFlag &stop) {
        return readArchive(path, callbacks, stop, limits);
    });
    QDir::setCurrent(before);
    QCOMPARE(QDir(empty.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    QCOMPARE(QDir(files.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{name});

    QCOMPARE(t.problem, problem);
    QCOMPARE(t.lines.join(u'\n'), lines.join(u'\n'));
    if (problem.isEmpty()) {
        QVERIFY(!t.progress.isEmpty());
        QCOMPARE(t.progress.last(), bytes.size());
    }
    // The same bytes from memory, after others, give the same answer.
    QByteArray after = "PK\3\4 not this" + bytes;
    QBuffer buffer(&after);
    QVERIFY(buffer.open(QIODevice::ReadOnly) && buffer.seek(after.size() - bytes.size()));
    const Transcript again = readAll([&](const ArchiveCallbacks &callbacks, const StopFlag &stop) {
        return readArchive(buffer, name, callbacks, stop, limits);
    });
    QCOMPARE(again.lines, lines);
    QCOMPARE(again.problem, problem);
}

// A stop set while a member of 96 MiB is being read ends the reading
// within a block: the rest is never handed on.
void TestArchives::stopFromAnotherThread()
{
    constexpr qint64 size = qint64(96) << 20;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("stop.zip"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(zipOf({{"a.fit", QByteArray(size, 'x')}}));
    f.close();

    ArchiveLimits limits;
    limits.ratio = 100000;
    StopFlag stop{false};
    std::atomic_bool begun{false};
    qint64 read = 0;
    bool failed = false;
    ArchiveCallbacks callbacks;
    callbacks.member = [&](const ArchiveMember &, QIODevice &content) {
        QByteArray block(64 * 1024, Qt::Uninitialized);
        read += content.read(block.data(), block.size());
        begun = true;
        while (!stop)
            std::this_thread::yield();
        for (qint64 n; (n = content.read(block.data(), block.size())) > 0;)
            read += n;
        failed = !content.atEnd() || content.read(block.data(), 1) < 0;
    };
    QStringList rows;
    callbacks.refused = [&](const ArchiveMember &m, const QString &reason) { rows.append(m.path + reason); };
    std::thread stopper([&] {
        while (!begun)
            std::this_thread::yield();
        stop = true;
    });
    const QString problem = readArchive(path, callbacks, stop, limits);
    stopper.join();
    QCOMPARE(problem, QString());
    QVERIFY(failed);
    QVERIFY2(read < 4 << 20, qPrintable(QString::number(read)));
    QCOMPARE(rows, QStringList()); // a stopped reading tells nothing more
}

void TestArchives::activityList_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QStringList>("listed"); // key: name | type | gear, sorted by key
    QTest::addColumn<QString>("problem");
    QTest::addColumn<QStringList>("found"); // member → the name listedActivity finds for it

    QTest::newRow("English, quoted, CR LF")
        << QByteArray("Activity ID,Activity Date,Activity Name,Activity Type,Activity Description,Distance,"
                      "Filename,Activity Gear,Distance\r\n"
                      "11,\"Jun 1, 2024\",\"Okolo Brna, \"\"malý\"\" okruh\r\ns přáteli\",Ride,,42.1,"
                      "activities/11.fit.gz,Author,42100\r\n"
                      "12,\"Jun 2, 2024\",Běh,Run,,5.0,activities/12.gpx,,5000\r\n"
                      "13,\"Jun 3, 2024\",Bez souboru,Ride,,5.0,,,5000\r\n"
                      "14,krátký\r\n")
        << QStringList{"activities/11.fit.gz: Okolo Brna, \"malý\" okruh\r\ns přáteli | Ride | Author",
                       "activities/12.gpx: Běh | Run | "}
        << "" << QStringList{"activities/11.fit → Okolo Brna, \"malý\" okruh\r\ns přáteli", "Activities/12.GPX.gz → Běh",
                             "other/12.gpx → ", "activities/12.gpx.bak → "};
    QTest::newRow("Czech, BOM, LF, other order")
        << QByteArray("\xEF\xBB\xBFID aktivity,Název souboru, Typ aktivity ,Vybavení aktivity,Název aktivity\n"
                      "1,./activities/1.fit.gz,Jízda na kole,Favorit,Ranní\n"
                      "2,activities\\2.tcx,Chůze,,\"Večerní\nprocházka\"")
        << QStringList{"activities/1.fit.gz: Ranní | Jízda na kole | Favorit",
                       "activities/2.tcx: Večerní\nprocházka | Chůze | "}
        << "" << QStringList{"activities/1.fit.gz → Ranní", "./activities/2.tcx → Večerní\nprocházka"};
    QTest::newRow("German, first of two file columns")
        << QByteArray("Aktivitätsname,Aktivitätstyp,Dateiname,Dateiname\n"
                      "Feierabend,Radfahrt,activities/5.fit,activities/other.fit\n")
        << QStringList{"activities/5.fit: Feierabend | Radfahrt | "} << "" << QStringList{"activities/other.fit → "};
    QTest::newRow("a long field is cut")
        << QByteArray("Filename,Activity Name\na.fit,\"" + QByteArray(3, 'x') + QByteArray(3000, 'z')
                      + "ččč" + QByteArray(200000, 'y') + "\"\n")
        << QStringList{"a.fit: xxx" + QString(3000, u'z') + "ččč" + QString(4096 - 3003 - 6, u'y') + " |  | "}
        << "" << QStringList{};
    QTest::newRow("no file column") << QByteArray("Activity Name,Activity Type\nRide,Ride\n") << QStringList{}
                                    << "seznam aktivit nemá sloupec s názvem souboru" << QStringList{"Ride → "};
    QTest::newRow("empty") << QByteArray() << QStringList{} << "seznam aktivit je prázdný" << QStringList{};
}

void TestArchives::activityList()
{
    QFETCH(QByteArray, csv);
    QFETCH(QStringList, listed);
    QFETCH(QString, problem);
    QFETCH(QStringList, found);
    QBuffer buffer(&csv);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    const StopFlag stop{false};
    const ActivityList list = readActivityList(buffer, stop);
    QStringList got;
    for (auto it = list.byFile.cbegin(); it != list.byFile.cend(); ++it)
        got.append(QStringLiteral("%1: %2 | %3 | %4").arg(it.key(), it->name, it->type, it->gear));
    got.sort();
    QCOMPARE(got, listed);
    QCOMPARE(list.problem, problem);
    for (const QString &lookup : found) {
        const QString member = lookup.section(QStringLiteral(" → "), 0, 0);
        const ListedActivity *activity = listedActivity(list, member);
        QCOMPARE(member + QStringLiteral(" → ") + (activity ? activity->name : QString()), lookup);
    }
}

QTEST_GUILESS_MAIN(TestArchives)
#include "tst_archives.moc"
