#pragma once
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

// What the track window draws under a ride's line: tiles of a map in the
// Web Mercator tiling (zoom z, column x, row y from the north-west), from
// a source the rider chooses in "Možnosti" → "Mapový podklad…".
namespace MapTiles {

struct MapSource
{
    enum class Kind { None, OpenStreetMap, UrlTemplate, MbTiles };
    Kind kind = Kind::None;
    QString urlTemplate; // Kind::UrlTemplate: "https://…/{z}/{x}/{y}.png"
    QString mbtilesPath; // Kind::MbTiles: a file on disk

    bool operator==(const MapSource &) const = default;
};

// The source kept in the program's settings file (store.ini, section
// [MapovyPodklad]); the default is none. Keys and sections the program
// does not know are kept byte for byte when it writes.
MapSource readMapSource(const QString &storeIniPath);
// Throws AppError when the file cannot be written.
void writeMapSource(const QString &storeIniPath, const MapSource &source);

// The text drawn on the map for the source ("© přispěvatelé
// OpenStreetMap"); empty for none. For an MBTiles file the file is opened
// and read (its metadata's attribution, HTML tags taken out): ask once
// per source, not at every paint.
QString attributionOf(const MapSource &source);

// OpenStreetMap's standard tiles. When the environment variable
// TRASOVNIK_OSM_TILES is set (tests point it at a local server), its value
// is the template used instead.
inline constexpr char16_t kOsmTemplate[] = u"https://tile.openstreetmap.org/{z}/{x}/{y}.png";
QString osmTemplate();

// Why a text is not a usable tile address, as a sentence for the dialog
// ("Adresa dlaždic musí začínat http:// nebo https://."); empty when it is.
QString urlTemplateProblem(const QString &urlTemplate);
// Why a file cannot be used as an MBTiles map ("soubor „x.mbtiles“
// neexistuje"); empty when it can.
QString mbtilesProblem(const QString &path);

struct TileKey
{
    int z = 0, x = 0, y = 0;
    bool operator==(const TileKey &) const = default;
};
size_t qHash(const TileKey &key, size_t seed = 0);

// A template's address of a tile: {z}, {x}, {y} replaced, {-y} by the row
// counted from the south, {s} by the server "a".
QString tileUrl(const QString &urlTemplate, const TileKey &key);

// Gets tiles for the view, politely: only the tiles asked for (no
// prefetching), at most two requests at a time, the User-Agent naming the
// program and its version, answers kept in a disk cache in the user's
// cache folder that honours the server's expiry. An MBTiles file is read
// with Qt SQL. Nothing here blocks the caller on the network.
class TileLoader : public QObject
{
    Q_OBJECT
public:
    explicit TileLoader(QObject *parent = nullptr);
    ~TileLoader() override;

    // Starts afresh: requests under way dropped, tiles that failed may be
    // asked again, the tiles kept in memory dropped when the source
    // differs. An MBTiles file is opened here (problem() tells why not).
    void setSource(const MapSource &source);
    const MapSource &source() const { return m_source; }

    // The tiles the view shows now, most wanted first. Tiles asked for
    // before and not in this list are no longer fetched (a request under
    // way is let finish and its tile kept).
    void want(const QList<TileKey> &tiles);

    // A tile that has arrived; a null image when not (yet) there.
    QImage tile(const TileKey &key) const;

    // Why tiles cannot be had, for a short note on the map ("Mapa není
    // dostupná: bez připojení k síti"); empty while they can.
    QString problem() const { return m_problem; }

    // The User-Agent of every request.
    static QByteArray userAgent();
    // For tests: the largest number of requests that were under way at once.
    int mostRequestsAtOnce() const { return m_mostAtOnce; }

signals:
    void tileArrived(const MapTiles::TileKey &key);
    void problemChanged(const QString &problem);

private:
    void setProblem(const QString &problem);

    MapSource m_source;
    QString m_problem;
    int m_mostAtOnce = 0;
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace MapTiles
