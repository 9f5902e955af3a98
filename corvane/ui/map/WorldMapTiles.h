// Tiles of the drawn world map (land, sea and country borders), made on a
// worker thread the first time a tile is asked for and kept in memory. The
// map draws them wherever the tile server has no tile to show.
#pragma once

#include <QCache>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QThreadPool>
#include <memory>

#include "WebMercator.h"

class CWorldMap;

class CWorldMapTiles : public QObject {
    Q_OBJECT
public:
    static const QColor Sea;
    static const QColor Land;
    static const QColor Border;

    // `world` may be empty (no world map file): every tile is then plain sea.
    explicit CWorldMapTiles(std::shared_ptr<const CWorldMap> world, QObject* parent = nullptr);
    ~CWorldMapTiles() override;

    bool HasWorld() const;
    // The tile if it is made; otherwise a null image, and it is being made.
    QImage Tile(const WebMercator::TileId& tile);
    static QImage Render(const CWorldMap* world, const WebMercator::TileId& tile);

    // The world map the program installs (or the build made), loaded and
    // checked; empty with a warning on the console when there is none.
    static std::shared_ptr<const CWorldMap> LoadInstalled();

signals:
    void TileChanged(quint64 key);

private:
    std::shared_ptr<const CWorldMap> world_;
    QCache<quint64, QImage> images_;
    QSet<quint64> making_;
    QThreadPool painters_;
};
