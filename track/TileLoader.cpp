#include "MapTiles.h"
#include "MbTilesFile.h"

#include <QCache>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>

namespace MapTiles {

namespace {
// Politeness towards tile servers: two requests at a time, a tile that
// failed not asked again for a minute, and after a failure that concerns
// the whole server (no network, refused, overloaded) no request at all
// for half a minute.
constexpr int kMostAtOnce = 2;
constexpr qint64 kRetryFailedTileMs = 60'000;
constexpr int kServerPauseMs = 30'000;
constexpr int kTransferTimeoutMs = 15'000;
constexpr qint64 kDiskCacheBytes = 200LL * 1024 * 1024;
constexpr int kTilesInMemory = 300;
// MBTiles tiles read in one go before the event loop gets its turn.
constexpr int kFileTilesAtOnce = 16;

const QString kNoMap = QStringLiteral("Mapa není dostupná: ");

struct Failure
{
    QString note;
    bool wholeServer = false;
};

Failure failureOf(QNetworkReply *reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 500)
        return {kNoMap + QStringLiteral("server dlaždic má potíže (%1)").arg(status), true};
    if (status == 429)
        return {kNoMap + QStringLiteral("server dlaždic žádá méně požadavků (429)"), true};
    if (status >= 400)
        return {kNoMap + QStringLiteral("server odmítl dlaždici (%1)").arg(status), status == 403};
    switch (reply->error()) {
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::TemporaryNetworkFailureError:
        return {kNoMap + QStringLiteral("bez připojení k síti"), true};
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError: // the transfer timeout
        return {kNoMap + QStringLiteral("server dlaždic neodpovídá"), true};
    case QNetworkReply::SslHandshakeFailedError:
        return {kNoMap + QStringLiteral("zabezpečené spojení se serverem dlaždic selhalo"), true};
    default:
        return {kNoMap + QStringLiteral("chyba spojení se serverem dlaždic"), true};
    }
}
} // namespace

struct TileLoader::Private
{
    TileLoader *q;
    QNetworkAccessManager *network = nullptr;
    QList<TileKey> queue; // wanted, not yet asked for, most wanted first
    QHash<TileKey, QNetworkReply *> running;
    QCache<TileKey, QImage> memory{kTilesInMemory};
    QHash<TileKey, qint64> failedAt; // clock's milliseconds
    QElapsedTimer clock;
    QTimer serverPause;
    MbTilesFile file;
    bool fileReadScheduled = false;

    explicit Private(TileLoader *owner) : q(owner)
    {
        clock.start();
        serverPause.setSingleShot(true);
        QObject::connect(&serverPause, &QTimer::timeout, q, [this] { pump(); });
    }

    QNetworkAccessManager *manager();
    void dropRequests();
    bool recentlyFailed(const TileKey &key) const;
    void pump();
    void start(const TileKey &key);
    void finished(QNetworkReply *reply, const TileKey &key);
    void readFileTiles();
    void arrived(const TileKey &key, QImage image);
    void failed(const TileKey &key, const QString &note);
};

QNetworkAccessManager *TileLoader::Private::manager()
{
    if (network)
        return network;
    network = new QNetworkAccessManager(q);
    auto *cache = new QNetworkDiskCache(network);
    cache->setCacheDirectory(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)
                             + QStringLiteral("/dlazdice"));
    cache->setMaximumCacheSize(kDiskCacheBytes);
    network->setCache(cache);
    return network;
}

void TileLoader::Private::dropRequests()
{
    for (QNetworkReply *reply : std::as_const(running)) {
        QObject::disconnect(reply, nullptr, q, nullptr);
        reply->abort();
        reply->deleteLater();
    }
    running.clear();
    queue.clear();
}

bool TileLoader::Private::recentlyFailed(const TileKey &key) const
{
    const auto at = failedAt.constFind(key);
    return at != failedAt.cend() && clock.elapsed() - *at < kRetryFailedTileMs;
}

void TileLoader::Private::pump()
{
    if (q->m_source.kind == MapSource::Kind::MbTiles) {
        if (!fileReadScheduled && !queue.isEmpty()) {
            fileReadScheduled = true;
            QMetaObject::invokeMethod(q, [this] { readFileTiles(); }, Qt::QueuedConnection);
        }
        return;
    }
    while (running.size() < kMostAtOnce && !queue.isEmpty() && !serverPause.isActive())
        start(queue.takeFirst());
}

void TileLoader::Private::start(const TileKey &key)
{
    const QString urlTemplate =
        q->m_source.kind == MapSource::Kind::OpenStreetMap ? osmTemplate() : q->m_source.urlTemplate;
    QNetworkRequest request{QUrl(tileUrl(urlTemplate, key))};
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent());
    // A tile kept on disk and not expired is taken without asking.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferCache);
    request.setTransferTimeout(kTransferTimeoutMs);
    QNetworkReply *reply = manager()->get(request);
    running.insert(key, reply);
    q->m_mostAtOnce = std::max(q->m_mostAtOnce, int(running.size()));
    QObject::connect(reply, &QNetworkReply::finished, q, [this, reply, key] { finished(reply, key); });
}

void TileLoader::Private::finished(QNetworkReply *reply, const TileKey &key)
{
    running.remove(key);
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError || status >= 400) {
        const Failure f = failureOf(reply);
        if (f.wholeServer)
            serverPause.start(kServerPauseMs);
        failed(key, f.note);
    } else {
        QImage image;
        if (image.loadFromData(reply->readAll()))
            arrived(key, std::move(image));
        else
            failed(key, kNoMap + QStringLiteral("server neposlal obrázek dlaždice"));
    }
    pump();
}

void TileLoader::Private::readFileTiles()
{
    fileReadScheduled = false;
    if (q->m_source.kind != MapSource::Kind::MbTiles)
        return;
    const QString name = QFileInfo(q->m_source.mbtilesPath).fileName();
    for (int n = 0; n < kFileTilesAtOnce && !queue.isEmpty(); ++n) {
        const TileKey key = queue.takeFirst();
        QByteArray data;
        QImage image;
        switch (file.tile(key.z, key.x, key.y, &data)) {
        case MbTilesFile::Read::Found:
            if (image.loadFromData(data))
                arrived(key, std::move(image));
            else
                failed(key, kNoMap + QStringLiteral("dlaždice v souboru „%1“ není obrázek").arg(name));
            break;
        case MbTilesFile::Read::Missing: // a place the map does not cover
            failedAt.insert(key, clock.elapsed());
            break;
        case MbTilesFile::Read::Failed:
            failed(key, kNoMap + QStringLiteral("soubor „%1“ nelze číst").arg(name));
            break;
        }
    }
    pump();
}

void TileLoader::Private::arrived(const TileKey &key, QImage image)
{
    failedAt.remove(key);
    memory.insert(key, new QImage(std::move(image)));
    q->setProblem({});
    emit q->tileArrived(key);
}

void TileLoader::Private::failed(const TileKey &key, const QString &note)
{
    failedAt.insert(key, clock.elapsed());
    q->setProblem(note);
}

TileLoader::TileLoader(QObject *parent) : QObject(parent), d(std::make_unique<Private>(this)) {}

TileLoader::~TileLoader()
{
    d->dropRequests();
}

void TileLoader::setSource(const MapSource &source)
{
    d->dropRequests();
    d->failedAt.clear();
    d->serverPause.stop();
    if (source != m_source)
        d->memory.clear();
    m_source = source;
    QString problem;
    if (source.kind == MapSource::Kind::MbTiles) {
        const QString reason = d->file.open(source.mbtilesPath);
        if (!reason.isEmpty())
            problem = QStringLiteral("Mapa není dostupná: ") + reason;
    } else {
        d->file.open({}); // closes the file
    }
    setProblem(problem);
}

void TileLoader::want(const QList<TileKey> &tiles)
{
    d->queue.clear();
    if (m_source.kind == MapSource::Kind::None
        || (m_source.kind == MapSource::Kind::MbTiles && !d->file.isOpen()))
        return;
    for (const TileKey &key : tiles) {
        if (key.z < 0 || key.z > 24 || key.x < 0 || key.y < 0 || key.x >= (1 << key.z) || key.y >= (1 << key.z))
            continue;
        if (d->memory.contains(key) || d->running.contains(key) || d->recentlyFailed(key)
            || d->queue.contains(key))
            continue;
        d->queue.append(key);
    }
    d->pump();
}

QImage TileLoader::tile(const TileKey &key) const
{
    const QImage *image = d->memory.object(key);
    return image ? *image : QImage();
}

QByteArray TileLoader::userAgent()
{
    // ASCII only: the program's name without its accent.
    return QByteArrayLiteral("Trasovnik/" TRASOVNIK_VERSION " (Qt ") + qVersion() + ')';
}

void TileLoader::setProblem(const QString &problem)
{
    if (problem == m_problem)
        return;
    m_problem = problem;
    emit problemChanged(m_problem);
}

} // namespace MapTiles
