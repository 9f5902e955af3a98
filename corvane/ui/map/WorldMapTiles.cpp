#include "WorldMapTiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QStandardPaths>

#include "Clipping.h"
#include "WorldMap.h"

using namespace WebMercator;

const QColor CWorldMapTiles::Sea(0xaa, 0xd3, 0xdf);
const QColor CWorldMapTiles::Land(0xf2, 0xef, 0xe9);
const QColor CWorldMapTiles::Border(0x9e, 0x8f, 0xa8);

namespace {

constexpr int kMemoryKilobytes = 32 * 1024;
constexpr char kFileName[] = "worldmap.cvm";

QPointF ToTile(const WorldPoint& p, const WorldPoint& origin, double scale)
{
    return {(p.X - origin.X) * scale, (p.Y - origin.Y) * scale};
}

}  // namespace

CWorldMapTiles::CWorldMapTiles(std::shared_ptr<const CWorldMap> world, QObject* parent)
    : QObject(parent), world_(std::move(world)), images_(kMemoryKilobytes)
{
    painters_.setMaxThreadCount(1);
}

CWorldMapTiles::~CWorldMapTiles() { painters_.waitForDone(); }

bool CWorldMapTiles::HasWorld() const { return world_ && !world_->Empty(); }

QImage CWorldMapTiles::Tile(const TileId& tile)
{
    const quint64 key = tile.Key();
    if (const QImage* image = images_.object(key)) return *image;
    if (making_.contains(key)) return {};
    making_.insert(key);
    QPointer<CWorldMapTiles> self(this);
    std::shared_ptr<const CWorldMap> world = world_;
    painters_.start([self, world, tile, key] {
        const QImage image = Render(world.get(), tile);
        QMetaObject::invokeMethod(
            self, [self, key, image] {
                if (!self) return;
                self->making_.remove(key);
                self->images_.insert(key, new QImage(image), static_cast<int>(image.sizeInBytes() / 1024));
                emit self->TileChanged(key);
            },
            Qt::QueuedConnection);
    });
    return {};
}

QImage CWorldMapTiles::Render(const CWorldMap* world, const TileId& tile)
{
    QImage image(TileSize, TileSize, QImage::Format_RGB32);  // opaque: copied, not blended
    image.fill(Sea);
    if (!world) return image;
    const double scale = WorldPixels(tile.Zoom);
    const WorldPoint origin{static_cast<double>(tile.X) * TileSize / scale, static_cast<double>(tile.Y) * TileSize / scale};
    const double margin = 2.0 / scale;  // lines at the edge still reach it
    const WorldRect box{origin.X - margin, origin.Y - margin, origin.X + (TileSize + 2.0) / scale,
                        origin.Y + (TileSize + 2.0) / scale};
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath land;
    land.setFillRule(Qt::OddEvenFill);
    for (const WorldMapLayer* layer : world->LayersAt(WorldMapLayer::Land, tile.Zoom))
        for (const WorldMapRing& ring : layer->Rings) {
            if (!ring.Box.Intersects(box)) continue;
            const std::vector<WorldPoint> clipped = ClipRing(ring.Points.data(), ring.Points.size(), box);
            if (clipped.size() < 3) continue;
            QPolygonF polygon;
            polygon.reserve(static_cast<int>(clipped.size()));
            for (const WorldPoint& p : clipped) polygon << ToTile(p, origin, scale);
            land.addPolygon(polygon);
            land.closeSubpath();
        }
    painter.fillPath(land, Land);
    painter.setPen(QPen(Border, tile.Zoom < 3 ? 0.6 : 1.0, Qt::DashLine));
    for (const WorldMapLayer* layer : world->LayersAt(WorldMapLayer::Borders, tile.Zoom))
        for (const WorldMapRing& line : layer->Rings) {
            if (!line.Box.Intersects(box)) continue;
            ClipPolyline(line.Points.data(), line.Points.size(), box, [&](const std::vector<WorldPoint>& piece) {
                QPolygonF polyline;
                for (const WorldPoint& p : piece) polyline << ToTile(p, origin, scale);
                painter.drawPolyline(polyline);
            });
        }
    return image;
}

std::shared_ptr<const CWorldMap> CWorldMapTiles::LoadInstalled()
{
    // Installed beside the program's share folder, or where the build made it.
    const QString appDir = QCoreApplication::applicationDirPath();
    QStringList candidates{QDir(appDir).filePath(QStringLiteral("../share/corvane/worldmap/") + kFileName)};
    for (const QString& data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        candidates << QDir(data).filePath(QStringLiteral("corvane/worldmap/") + kFileName);
    candidates << QStringLiteral(CORVANE_BUILD_WORLDMAP);
    for (const QString& path : candidates) {
        if (!QFileInfo::exists(path)) continue;
        auto world = std::make_shared<CWorldMap>();
        std::string error;
        if (world->Load(QFile::encodeName(path).toStdString(), &error)) return world;
        qWarning("The world map %s is refused: %s", qPrintable(path), error.c_str());
    }
    qWarning("No world map found: the map draws plain sea where it has no tiles.");
    return {};
}
