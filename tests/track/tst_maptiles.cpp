// Map tiles: the rider's choice in store.ini, the loader against a tile
// server of the test's own and MBTiles files made by sqlite3, the dialog
// driven by keyboard and mouse.
#include "MapSourceDialog.h"
#include "MapTiles.h"
#include "MessageRecorder.h"
#include "MbTilesMaker.h"
#include "Modal.h"
#include "TestFiles.h"

#include <QBuffer>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

using MapTiles::MapSource;
using MapTiles::TileKey;
using Kind = MapSource::Kind;

Q_DECLARE_METATYPE(MapSource)
Q_DECLARE_METATYPE(TileKey)

namespace {

// A tile server on a local port: answers GET /z/x/y.png after a delay,
// with what `answer` gives, and counts what it sees.
class TileServer : public QObject
{
public:
    struct Answer
    {
        int status = 200;
        QByteArray body;
    };
    std::function<Answer(const QString &path)> answer = [](const QString &) { return Answer{200, pngOf(Qt::green)}; };
    int delayMs = 0;
    QByteArray cacheControl = "no-store";

    QStringList paths;
    QByteArrayList userAgents;
    int mostRequestsOpen = 0;
    int mostConnections = 0;

    TileServer()
    {
        QVERIFY(m_server.listen(QHostAddress::LocalHost));
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                mostConnections = std::max(mostConnections, ++m_connections);
                connect(s, &QTcpSocket::disconnected, this, [this, s] {
                    --m_connections;
                    s->deleteLater();
                });
                connect(s, &QTcpSocket::readyRead, this, [this, s] { read(s); });
            }
        });
    }
    QString urlTemplate() const
    {
        return QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(m_server.serverPort());
    }

private:
    void read(QTcpSocket *s)
    {
        QByteArray &buffer = m_buffers[s];
        buffer += s->readAll();
        for (qsizetype end; (end = buffer.indexOf("\r\n\r\n")) >= 0; buffer.remove(0, end + 4)) {
            const QList<QByteArray> lines = buffer.left(end).split('\n');
            const QString path = QString::fromLatin1(lines.value(0).split(' ').value(1));
            for (const QByteArray &line : lines) {
                if (line.toLower().startsWith("user-agent:"))
                    userAgents.append(line.mid(11).trimmed());
            }
            paths.append(path);
            mostRequestsOpen = std::max(mostRequestsOpen, ++m_open);
            QTimer::singleShot(delayMs, s, [this, s, path] {
                --m_open;
                const Answer a = answer(path);
                s->write("HTTP/1.1 " + QByteArray::number(a.status) + " X\r\nContent-Type: image/png\r\n"
                         "Cache-Control: " + cacheControl + "\r\nContent-Length: "
                         + QByteArray::number(a.body.size()) + "\r\n\r\n" + a.body);
            });
        }
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    int m_open = 0;
    int m_connections = 0;
};

QList<TileKey> row(int z, int y, int from, int count)
{
    QList<TileKey> keys;
    for (int x = from; x < from + count; ++x)
        keys.append({z, x, y});
    return keys;
}

} // namespace

class TestMapTiles : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    int m_run = 0;

    QString ini() const { return m_dir.filePath(QStringLiteral("store.ini")); }

    // A map made by sqlite3: at zoom 2, column 1, red at the row counted
    // 2 from the south and blue at 1.
    QString makeMbTiles(const QString &name, const QString &attribution)
    {
        const QString path = m_dir.filePath(name);
        QFile::remove(path);
        sqlite(path, kMbTilesTables + QStringLiteral("INSERT INTO metadata VALUES ('attribution', '%1');\n")
                                           .arg(attribution)
                         + tileInsert(2, 1, 2, pngOf(Qt::red)) + tileInsert(2, 1, 1, pngOf(Qt::blue)));
        return path;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // Every loader starts with an empty disk cache of its own folder.
    void init()
    {
        qputenv("XDG_CACHE_HOME", m_dir.filePath(QStringLiteral("cache%1").arg(++m_run)).toUtf8());
        qunsetenv("TRASOVNIK_OSM_TILES");
    }

    void settingsRoundTrip_data()
    {
        QTest::addColumn<MapSource>("source");
        QTest::newRow("none") << MapSource{};
        QTest::newRow("osm") << MapSource{Kind::OpenStreetMap, {}, {}};
        QTest::newRow("template") << MapSource{Kind::UrlTemplate, "https://tiles.example.cz/{z}/{x}/{-y}.png", {}};
        QTest::newRow("mbtiles") << MapSource{Kind::MbTiles, {}, "/home/jezdec/mapy/Krkonoše.mbtiles"};
    }
    // Written and read back the same; the other sections' bytes kept.
    void settingsRoundTrip()
    {
        QFETCH(MapSource, source);
        const QByteArray before = "; poznamka\r\n[Jine]\r\nklic = hodnota \r\n\r\n[MapovyPodklad]\r\nZdroj=osm\r\n";
        putFile(ini(), before);
        MapTiles::writeMapSource(ini(), source);
        QCOMPARE(MapTiles::readMapSource(ini()), source);
        QVERIFY(fileBytes(ini()).startsWith(before.left(before.indexOf("Zdroj"))));
    }

    void unknownKindIsNone()
    {
        putFile(ini(), "[MapovyPodklad]\r\nZdroj=satelit\r\nSablona=https://a/{z}/{x}/{y}\r\n");
        QCOMPARE(MapTiles::readMapSource(ini()).kind, Kind::None);
    }

    void attribution_data()
    {
        QTest::addColumn<MapSource>("source");
        QTest::addColumn<QString>("text");
        const QString osm = QStringLiteral("© přispěvatelé OpenStreetMap");
        QTest::newRow("none") << MapSource{} << QString();
        QTest::newRow("osm") << MapSource{Kind::OpenStreetMap, {}, {}} << osm;
        QTest::newRow("osm template") << MapSource{Kind::UrlTemplate, "https://a.tile.openstreetmap.org/{z}/{x}/{y}.png", {}}
                                      << osm;
        QTest::newRow("own template") << MapSource{Kind::UrlTemplate, "https://openstreetmap.org.example/{z}/{x}/{y}", {}}
                                      << QString();
        QTest::newRow("mbtiles html")
            << MapSource{Kind::MbTiles, {}, makeMbTiles("a.mbtiles", "<a href=\"https://m.example\">© Mapy &amp; spol.</a>")}
            << QStringLiteral("© Mapy & spol.");
        QTest::newRow("mbtiles none") << MapSource{Kind::MbTiles, {}, makeMbTiles("b.mbtiles", "")} << QString();
    }
    void attribution()
    {
        QFETCH(MapSource, source);
        QFETCH(QString, text);
        QCOMPARE(MapTiles::attributionOf(source), text);
    }

    // Slow answers: never more than two requests or connections at once,
    // each naming the program and its version, every tile delivered.
    void politeRequests()
    {
        TileServer server;
        server.delayMs = 150;
        qputenv("TRASOVNIK_OSM_TILES", server.urlTemplate().toUtf8());
        MapTiles::TileLoader loader;
        loader.setSource({Kind::OpenStreetMap, {}, {}});
        QSignalSpy arrived(&loader, &MapTiles::TileLoader::tileArrived);
        const QList<TileKey> keys = row(4, 3, 0, 6);
        loader.want(keys);
        QTRY_COMPARE_WITH_TIMEOUT(arrived.size(), 6, 10000);
        QCOMPARE(server.paths.size(), 6);
        QVERIFY2(server.mostRequestsOpen <= 2 && server.mostConnections <= 2,
                 qPrintable(QStringLiteral("%1 %2").arg(server.mostRequestsOpen).arg(server.mostConnections)));
        QCOMPARE(loader.mostRequestsAtOnce(), 2);
        const QByteArray expected = "Trasovnik/" TRASOVNIK_VERSION " (Qt " + QByteArray(qVersion()) + ')';
        QCOMPARE(server.userAgents, QByteArrayList(6, expected));
        QCOMPARE(loader.tile(keys.last()).pixelColor(9, 9), QColor(Qt::green));
        QVERIFY(loader.problem().isEmpty());
    }

    // A tile the server allowed to keep comes to a second loader from
    // the disk cache, with no request.
    void diskCacheKeepsTiles()
    {
        TileServer server;
        server.cacheControl = "max-age=3600";
        const MapSource source{Kind::UrlTemplate, server.urlTemplate(), {}};
        for (int loaderNo = 0; loaderNo < 2; ++loaderNo) {
            MapTiles::TileLoader loader;
            loader.setSource(source);
            QSignalSpy arrived(&loader, &MapTiles::TileLoader::tileArrived);
            loader.want({{5, 7, 9}});
            QTRY_COMPARE(arrived.size(), 1);
            QVERIFY(!loader.tile({5, 7, 9}).isNull());
        }
        QCOMPARE(server.paths, QStringList{"/5/7/9.png"});
    }

    // A new list drops tiles still waiting; the two under way finish.
    void newWantDropsQueued()
    {
        TileServer server;
        server.delayMs = 300;
        MapTiles::TileLoader loader;
        loader.setSource({Kind::UrlTemplate, server.urlTemplate(), {}});
        QSignalSpy arrived(&loader, &MapTiles::TileLoader::tileArrived);
        loader.want(row(3, 1, 0, 6));
        QTRY_COMPARE(server.paths.size(), 2);
        loader.want(row(3, 7, 0, 1));
        QTRY_COMPARE(arrived.size(), 3);
        QTest::qWait(400);
        QCOMPARE(server.paths, (QStringList{"/3/0/1.png", "/3/1/1.png", "/3/0/7.png"}));
        QVERIFY(!loader.tile({3, 1, 1}).isNull());
    }

    void failureNotes_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("closedPort");
        QTest::addColumn<QString>("note");
        QTest::newRow("403") << 403 << QByteArray("blocked") << false
                             << "Mapa není dostupná: server odmítl dlaždici (403)";
        QTest::newRow("404") << 404 << QByteArray() << false << "Mapa není dostupná: server odmítl dlaždici (404)";
        QTest::newRow("503") << 503 << QByteArray() << false << "Mapa není dostupná: server dlaždic má potíže (503)";
        QTest::newRow("not an image") << 200 << QByteArray("<html>") << false
                                      << "Mapa není dostupná: server neposlal obrázek dlaždice";
        QTest::newRow("closed port") << 0 << QByteArray() << true << "Mapa není dostupná: server dlaždic neodpovídá";
    }
    // A failed tile: the note soon (well before the transfer timeout),
    // the tile not asked again; another
    // tile that arrives clears the note when the server is not held off.
    void failureNotes()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, closedPort);
        QFETCH(QString, note);
        TileServer server;
        server.answer = [&](const QString &path) {
            return path.startsWith("/1/0/") ? TileServer::Answer{status, body} : TileServer::Answer{200, pngOf(Qt::red)};
        };
        QString urlTemplate = server.urlTemplate();
        if (closedPort) {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            urlTemplate = QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(closed.serverPort());
        }
        MapTiles::TileLoader loader;
        loader.setSource({Kind::UrlTemplate, urlTemplate, {}});
        QSignalSpy problems(&loader, &MapTiles::TileLoader::problemChanged);
        loader.want({{1, 0, 0}});
        QCOMPARE(problems.size(), 0); // nothing waited for inside `want`
        QTRY_COMPARE(problems.size(), 1);
        QCOMPARE(loader.problem(), note);
        const qsizetype asked = server.paths.size();
        loader.want({{1, 0, 0}});
        QTest::qWait(100);
        QCOMPARE(server.paths.size(), asked);
        if (status == 404 || status == 200) {
            loader.want({{1, 1, 0}});
            QTRY_COMPARE(problems.size(), 2);
            QVERIFY(loader.problem().isEmpty());
        }
    }

    // Tiles from the file come after `want` returns, rows turned over.
    void mbtilesTiles()
    {
        MapTiles::TileLoader loader;
        loader.setSource({Kind::MbTiles, {}, makeMbTiles("c.mbtiles", "")});
        QVERIFY(loader.problem().isEmpty());
        QSignalSpy arrived(&loader, &MapTiles::TileLoader::tileArrived);
        loader.want({{2, 1, 1}, {2, 1, 2}, {2, 0, 0}});
        QCOMPARE(arrived.size(), 0);
        QTRY_COMPARE(arrived.size(), 2);
        QCOMPARE(loader.tile({2, 1, 1}).pixelColor(0, 0), QColor(Qt::red));
        QCOMPARE(loader.tile({2, 1, 2}).pixelColor(0, 0), QColor(Qt::blue));
        QVERIFY(loader.tile({2, 0, 0}).isNull());
        QVERIFY(loader.problem().isEmpty());
    }

    void mbtilesProblems_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("why");
        QTest::newRow("missing") << "chybi.mbtiles" << QByteArray() << "neexistuje";
        QTest::newRow("damaged") << "poskozeny.mbtiles" << QByteArray(5000, 'x') << "poškozený";
        QTest::newRow("other database") << "jina.mbtiles" << QByteArray("CREATE TABLE t (a);") << "nemá tabulku";
    }
    void mbtilesProblems()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, why);
        const QString path = m_dir.filePath(name);
        if (name.startsWith("jina"))
            sqlite(path, QString::fromLatin1(bytes));
        else if (!bytes.isEmpty())
            putFile(path, bytes);
        MapTiles::TileLoader loader;
        QSignalSpy problems(&loader, &MapTiles::TileLoader::problemChanged);
        loader.setSource({Kind::MbTiles, {}, path});
        QCOMPARE(problems.size(), 1);
        QVERIFY2(loader.problem().startsWith("Mapa není dostupná: ") && loader.problem().contains(name)
                     && loader.problem().contains(why),
                 qPrintable(loader.problem()));
    }

    // Alt+V puts the rider into the address; OK writes store.ini, the
    // other section's bytes kept.
    void dialogWritesTemplate()
    {
        const QByteArray other = "[Jine]\r\nklic=1\r\n";
        putFile(ini(), other);
        onModal<MapSourceDialog>([](MapSourceDialog *d) {
            d->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(d));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::AltModifier);
            QTRY_VERIFY(d->templateEdit->hasFocus());
            QTest::keyClicks(d->templateEdit, QStringLiteral("https://mapa.example/{z}/{x}/{y}.png"));
            QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("okButton")), Qt::LeftButton);
        });
        QVERIFY(MapSourceDialog::edit(nullptr, ini()));
        QVERIFY(fileBytes(ini()).startsWith(other));
        QCOMPARE(MapTiles::readMapSource(ini()),
                 (MapSource{Kind::UrlTemplate, "https://mapa.example/{z}/{x}/{y}.png", {}}));
    }

    void dialogRefuses_data()
    {
        QTest::addColumn<Qt::Key>("letter");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no scheme") << Qt::Key_V << "mapa.example/{z}/{x}/{y}.png" << "http:// nebo https://";
        QTest::newRow("no row") << Qt::Key_V << "https://mapa.example/{z}/{x}.png" << "chybí {y}";
        QTest::newRow("no file") << Qt::Key_M << m_dir.filePath("nic.mbtiles") << "„nic.mbtiles“ neexistuje";
    }
    // A bad input keeps the dialog open with the reason; Enter again
    // does not close it, Escape leaves store.ini as it was.
    void dialogRefuses()
    {
        QFETCH(Qt::Key, letter);
        QFETCH(QString, typed);
        QFETCH(QString, reason);
        putFile(ini(), "[MapovyPodklad]\r\nZdroj=osm\r\n");
        const QByteArray before = fileBytes(ini());
        QString shown;
        bool stayedOpen = false;
        onModal<MapSourceDialog>([&](MapSourceDialog *d) {
            d->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(d));
            QTest::keyClick(QApplication::focusWidget(), letter, Qt::AltModifier);
            QTest::qWait(200);
            QTest::keyClicks(QApplication::focusWidget(), typed);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            stayedOpen = d->isVisible();
            shown = d->problemLabel->isVisible() ? d->problemLabel->text() : QString();
            if (stayedOpen)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        });
        QVERIFY(!MapSourceDialog::edit(nullptr, ini()));
        QVERIFY(stayedOpen);
        QVERIFY2(shown.contains(reason), qPrintable(shown));
        QCOMPARE(fileBytes(ini()), before);
    }
};

QTEST_MAIN(TestMapTiles)
#include "tst_maptiles.moc"
