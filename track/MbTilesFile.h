#pragma once
#include <QByteArray>
#include <QString>

#include <memory>

// An MBTiles file (SQLite: tiles(zoom_level, tile_column, tile_row,
// tile_data) with rows counted from the south, and metadata(name, value)),
// opened read-only through a connection of its own, which goes with the
// object. Used on one thread.
class MbTilesFile
{
public:
    MbTilesFile();
    ~MbTilesFile();
    MbTilesFile(const MbTilesFile &) = delete;
    MbTilesFile &operator=(const MbTilesFile &) = delete;

    // Opens the file; the reason it cannot be used as a map, for a rider
    // ("soubor „mapa.mbtiles“ neexistuje"), or empty when it can.
    QString open(const QString &path);
    bool isOpen() const;

    enum class Read { Found, Missing, Failed };
    // The stored bytes of a tile in the map's own numbering (row from the
    // north); the row is turned over for the file.
    Read tile(int z, int x, int y, QByteArray *data);

    // A value of the metadata table; empty when there is none.
    QString metadata(const QString &name);

private:
    struct Connection;
    std::unique_ptr<Connection> m_connection;
};
