// Map tiles from a tile server ({z}/{x}/{y} URL template), used as tile
// usage policies ask: a User-Agent naming Corvane and its version, at most
// two requests (and so connections) at once, and a disk cache under the XDG
// cache folder that reuses tiles as their HTTP headers allow. Requests run on
// Qt's network thread and tiles are decoded on worker threads; the window's
// thread only queues requests and takes finished images.
//
// A tile the server refuses (404, 500) or that does not decode is blank; a
// tile that cannot be fetched at all (no network, server down) is shown from
// the disk cache even when stale, else it is unreachable and the map draws
// its world map there (and asks again later).
#pragma once

#include <QCache>
#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QThreadPool>
#include <deque>
#include <vector>

#include "WebMercator.h"

class QNetworkAccessManager;
class QNetworkDiskCache;
class QNetworkReply;

struct TileSourceSettings {
    QString UrlTemplate;     // empty: no tile server, the world map only
    QString CacheDirectory;  // empty: no disk cache
    qint64 CacheBytes = 500LL << 20;
};

class CTileLoader : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxConnections = 2;
    static constexpr qint64 MaxTileBytes = 1 << 20;
    static constexpr int MaxTileSide = 1024;
    static constexpr int RetryAfterMs = 30000;

    enum class State { Missing, Pending, Ready, Blank, Unreachable };

    explicit CTileLoader(const TileSourceSettings& settings, QObject* parent = nullptr);
    ~CTileLoader() override;

    // The tile URL for a template ({z}, {x}, {y}, and {s} for a, b, c); x is wrapped.
    static QString TileUrl(const QString& urlTemplate, const WebMercator::TileId& tile);
    // Why a template is refused, or empty (an empty template is allowed: no tiles).
    static QString CheckTemplate(const QString& urlTemplate);
    static QByteArray UserAgent();

    bool HasServer() const { return !settings_.UrlTemplate.isEmpty(); }
    State StateOf(const WebMercator::TileId& tile) const;
    // The decoded tile (256 x 256), or a null image when it is not ready.
    QImage Tile(const WebMercator::TileId& tile) const;
    // The tiles wanted now, most wanted first; queued tiles no longer wanted are dropped.
    void Request(const std::vector<WebMercator::TileId>& wanted);
    int InFlight() const { return static_cast<int>(inFlight_.size()); }

    // Decodes tile bytes as a worker does: a null image when they are no picture or too large.
    static QImage Decode(const QByteArray& bytes);

signals:
    // A tile became ready, blank or unreachable.
    void TileChanged(quint64 key);

private:
    struct Flight {
        WebMercator::TileId Tile;
        bool FromCacheOnly = false;
    };
    void StartNext();
    void Start(const WebMercator::TileId& tile, bool cacheOnly);
    void OnFinished(QNetworkReply* reply);
    void OnDecoded(quint64 key, const QImage& image);
    void SetState(quint64 key, State state);

    TileSourceSettings settings_;
    QNetworkAccessManager* manager_;
    QNetworkDiskCache* diskCache_ = nullptr;
    std::deque<WebMercator::TileId> queue_;
    QHash<QNetworkReply*, Flight> inFlight_;
    QHash<quint64, State> states_;
    QHash<quint64, qint64> unreachableAt_;
    QCache<quint64, QImage> images_;
    QElapsedTimer clock_;
    QThreadPool decoders_;
};
