#include "TileLoader.h"

#include <QBuffer>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QPointer>

using WebMercator::TileId;

namespace {

constexpr int kTransferTimeoutMs = 20000;
// Decoded tiles kept in memory, in kilobytes (a tile is 256 KB).
constexpr int kMemoryKilobytes = 96 * 1024;

bool IsHttpRefusal(QNetworkReply* reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
}

}  // namespace

CTileLoader::CTileLoader(const TileSourceSettings& settings, QObject* parent)
    : QObject(parent), settings_(settings), manager_(new QNetworkAccessManager(this)), images_(kMemoryKilobytes)
{
    clock_.start();
    decoders_.setMaxThreadCount(2);
    if (!settings_.CacheDirectory.isEmpty()) {
        diskCache_ = new QNetworkDiskCache(this);
        diskCache_->setCacheDirectory(settings_.CacheDirectory);
        diskCache_->setMaximumCacheSize(std::max<qint64>(1 << 20, settings_.CacheBytes));
        manager_->setCache(diskCache_);
    }
    connect(manager_, &QNetworkAccessManager::finished, this, &CTileLoader::OnFinished);
}

CTileLoader::~CTileLoader()
{
    disconnect(manager_, nullptr, this, nullptr);
    for (auto it = inFlight_.begin(); it != inFlight_.end(); ++it) it.key()->abort();
    decoders_.waitForDone();
}

QString CTileLoader::TileUrl(const QString& urlTemplate, const TileId& tile)
{
    static const char* const kServers[] = {"a", "b", "c"};
    const int count = WebMercator::TileCount(tile.Zoom);
    const int x = ((tile.X % count) + count) % count;
    QString url = urlTemplate;
    url.replace(QLatin1String("{z}"), QString::number(tile.Zoom));
    url.replace(QLatin1String("{x}"), QString::number(x));
    url.replace(QLatin1String("{y}"), QString::number(tile.Y));
    url.replace(QLatin1String("{s}"), QLatin1String(kServers[(x + tile.Y) % 3]));
    return url;
}

QString CTileLoader::CheckTemplate(const QString& urlTemplate)
{
    if (urlTemplate.isEmpty()) return {};
    const QUrl url(TileUrl(urlTemplate, {1, 0, 0}));
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) ||
        url.host().isEmpty())
        return tr("The tile server address must be an http:// or https:// address.");
    for (const char* part : {"{z}", "{x}", "{y}"})
        if (!urlTemplate.contains(QLatin1String(part)))
            return tr("The tile server address must contain {z}, {x} and {y}.");
    return {};
}

QByteArray CTileLoader::UserAgent()
{
    return QByteArrayLiteral("Corvane/" CORVANE_VERSION " (+" CORVANE_HOME_URL ")");
}

CTileLoader::State CTileLoader::StateOf(const TileId& tile) const
{
    return states_.value(tile.Key(), State::Missing);
}

QImage CTileLoader::Tile(const TileId& tile) const
{
    const QImage* image = images_.object(tile.Key());
    return image ? *image : QImage();
}

void CTileLoader::Request(const std::vector<TileId>& wanted)
{
    queue_.clear();
    if (!HasServer()) return;
    for (const TileId& tile : wanted) {
        const quint64 key = tile.Key();
        const State state = StateOf(tile);
        if (state == State::Pending || state == State::Blank) continue;
        if (state == State::Ready && images_.contains(key)) continue;
        if (state == State::Unreachable && clock_.elapsed() - unreachableAt_.value(key) < RetryAfterMs) continue;
        queue_.push_back(tile);
    }
    StartNext();
}

void CTileLoader::StartNext()
{
    while (inFlight_.size() < MaxConnections && !queue_.empty()) {
        const TileId tile = queue_.front();
        queue_.pop_front();
        Start(tile, false);
    }
}

void CTileLoader::Start(const TileId& tile, bool cacheOnly)
{
    QNetworkRequest request(QUrl(TileUrl(settings_.UrlTemplate, tile)));
    request.setHeader(QNetworkRequest::UserAgentHeader, UserAgent());
    request.setTransferTimeout(kTransferTimeoutMs);
    // Fresh cached tiles are used as they are, stale ones revalidated; offline, any cached copy.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         cacheOnly ? QNetworkRequest::AlwaysCache : QNetworkRequest::PreferNetwork);
    QNetworkReply* reply = manager_->get(request);
    inFlight_.insert(reply, {tile, cacheOnly});
    states_.insert(tile.Key(), State::Pending);
    // A tile larger than any real one is not read to its end.
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > MaxTileBytes) reply->abort();
    });
}

void CTileLoader::OnFinished(QNetworkReply* reply)
{
    reply->deleteLater();
    const auto it = inFlight_.find(reply);
    if (it == inFlight_.end()) return;
    const Flight flight = it.value();
    inFlight_.erase(it);
    const quint64 key = flight.Tile.Key();
    if (reply->error() == QNetworkReply::NoError) {
        const QByteArray bytes = reply->read(MaxTileBytes + 1);
        QPointer<CTileLoader> self(this);
        decoders_.start([self, key, bytes] {
            const QImage image = Decode(bytes);
            if (self) QMetaObject::invokeMethod(self, [self, key, image] { if (self) self->OnDecoded(key, image); },
                                                Qt::QueuedConnection);
        });
    } else if (IsHttpRefusal(reply) || reply->error() == QNetworkReply::OperationCanceledError) {
        SetState(key, State::Blank);  // refused or oversized: the server will not give a better answer soon
    } else if (!flight.FromCacheOnly && diskCache_) {
        Start(flight.Tile, true);  // the server cannot be reached: a stale copy beats none
    } else {
        unreachableAt_.insert(key, clock_.elapsed());
        SetState(key, State::Unreachable);
    }
    StartNext();
}

QImage CTileLoader::Decode(const QByteArray& bytes)
{
    if (bytes.isEmpty() || bytes.size() > MaxTileBytes) return {};
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > MaxTileSide || size.height() > MaxTileSide) return {};
    QImage image = reader.read();
    if (image.isNull()) return {};
    if (image.size() != QSize(WebMercator::TileSize, WebMercator::TileSize))
        image = image.scaled(WebMercator::TileSize, WebMercator::TileSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // Opaque tiles (nearly all) are copied onto the map instead of blended.
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
}

void CTileLoader::OnDecoded(quint64 key, const QImage& image)
{
    if (image.isNull()) {
        SetState(key, State::Blank);
        return;
    }
    images_.insert(key, new QImage(image), static_cast<int>(image.sizeInBytes() / 1024));
    SetState(key, State::Ready);
}

void CTileLoader::SetState(quint64 key, State state)
{
    states_.insert(key, state);
    emit TileChanged(key);
}
