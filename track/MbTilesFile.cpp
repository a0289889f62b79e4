#include "MbTilesFile.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {
// Every file gets a connection name of its own: two maps open at once
// (the window and the dialog's check) never share one.
QString newConnectionName()
{
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("trasovnik-mbtiles-%1").arg(counter.fetchAndAddRelaxed(1));
}

QString quoted(const QString &path)
{
    return QStringLiteral("„%1“").arg(QFileInfo(path).fileName());
}
} // namespace

struct MbTilesFile::Connection
{
    QString name;
    QSqlDatabase db;
    std::unique_ptr<QSqlQuery> tileQuery;

    ~Connection()
    {
        tileQuery.reset();
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
};

MbTilesFile::MbTilesFile() = default;
MbTilesFile::~MbTilesFile() = default;

bool MbTilesFile::isOpen() const
{
    return m_connection && m_connection->tileQuery;
}

QString MbTilesFile::open(const QString &path)
{
    m_connection.reset();
    const QFileInfo info(path);
    if (path.isEmpty())
        return QStringLiteral("není zvolen soubor MBTiles");
    if (!info.exists())
        return QStringLiteral("soubor %1 neexistuje").arg(quoted(path));
    if (!info.isFile() || !info.isReadable())
        return QStringLiteral("soubor %1 nelze číst").arg(quoted(path));
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return QStringLiteral("chybí ovladač SQLite (balíček libqt6sql6-sqlite)");

    auto c = std::make_unique<Connection>();
    c->name = newConnectionName();
    c->db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), c->name);
    c->db.setDatabaseName(path);
    c->db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!c->db.open())
        return QStringLiteral("soubor %1 nelze otevřít").arg(quoted(path));

    // SQLite opens any file; the first query tells whether it is a database.
    QSqlQuery tables(c->db);
    if (!tables.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type IN ('table','view')")))
        return QStringLiteral("soubor %1 je poškozený nebo to není databáze MBTiles").arg(quoted(path));
    bool hasTiles = false;
    while (tables.next())
        hasTiles = hasTiles || tables.value(0).toString().compare(QLatin1String("tiles"), Qt::CaseInsensitive) == 0;
    if (!hasTiles)
        return QStringLiteral("soubor %1 není mapa MBTiles (nemá tabulku dlaždic)").arg(quoted(path));

    auto query = std::make_unique<QSqlQuery>(c->db);
    if (!query->prepare(QStringLiteral("SELECT tile_data FROM tiles "
                                       "WHERE zoom_level = ? AND tile_column = ? AND tile_row = ?")))
        return QStringLiteral("soubor %1 není mapa MBTiles (tabulka dlaždic je jiná)").arg(quoted(path));
    c->tileQuery = std::move(query);
    m_connection = std::move(c);
    return {};
}

MbTilesFile::Read MbTilesFile::tile(int z, int x, int y, QByteArray *data)
{
    if (!isOpen() || z < 0 || z > 30)
        return Read::Failed;
    QSqlQuery &q = *m_connection->tileQuery;
    q.bindValue(0, z);
    q.bindValue(1, x);
    q.bindValue(2, (1 << z) - 1 - y);
    if (!q.exec())
        return Read::Failed;
    const bool found = q.next();
    if (found)
        *data = q.value(0).toByteArray();
    q.finish();
    return found ? Read::Found : Read::Missing;
}

QString MbTilesFile::metadata(const QString &name)
{
    if (!isOpen())
        return {};
    QSqlQuery q(m_connection->db);
    if (!q.prepare(QStringLiteral("SELECT value FROM metadata WHERE name = ?")))
        return {};
    q.addBindValue(name);
    if (!q.exec() || !q.next())
        return {};
    return q.value(0).toString();
}
