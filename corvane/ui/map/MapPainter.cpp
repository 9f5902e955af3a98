// How the map widget draws itself, layer by layer.
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "Clipping.h"
#include "MapWidget.h"
#include "TileLoader.h"
#include "WorldMapTiles.h"

using namespace WebMercator;

const QColor CMapWidget::BlankTile(0xe8, 0xe6, 0xe1);

namespace {

const QColor kMarker(0x1f, 0x6f, 0xd1);
const QColor kSelected(0xf0, 0x8c, 0x00);
const QColor kTrack(0xd0, 0x1c, 0x5b);
constexpr int kCardSide = 96;
// Tile levels above a missing tile that may stand in for it, scaled up.
constexpr int kAncestorLevels = 4;

// A length of 1, 2 or 5 times a power of ten metres that fits `maxPixels`.
double NiceLength(double metersPerPixel, double maxPixels)
{
    const double most = metersPerPixel * maxPixels;
    const double power = std::pow(10.0, std::floor(std::log10(most)));
    for (const double step : {5.0, 2.0, 1.0})
        if (step * power <= most) return step * power;
    return power;
}

QString LengthText(double meters)
{
    // QString::number is locale-independent.
    return meters >= 1000 ? QString::number(meters / 1000, 'g', 6) + QStringLiteral(" km")
                          : QString::number(meters, 'g', 6) + QStringLiteral(" m");
}

}  // namespace

void CMapWidget::Render(QPainter& painter)
{
    PaintTiles(painter);
    painter.setRenderHint(QPainter::Antialiasing);
    PaintTracks(painter);
    PaintMarkers(painter);
    PaintHoverCard(painter);
    PaintScaleBar(painter);
    PaintAttribution(painter);
}

bool CMapWidget::PaintAncestor(QPainter& painter, const TileId& tile, const QRectF& target)
{
    if (!tiles_) return false;
    for (int up = 1; up <= kAncestorLevels && tile.Zoom - up >= 0; ++up) {
        const TileId parent{tile.Zoom - up, tile.X >> up, tile.Y >> up};
        const QImage image = tiles_->Tile(parent);
        if (image.isNull()) continue;
        const double part = TileSize / std::ldexp(1.0, up);
        const QRectF source((tile.X - (parent.X << up)) * part, (tile.Y - (parent.Y << up)) * part, part, part);
        painter.drawImage(target, image, source);
        return true;
    }
    return false;
}

void CMapWidget::PaintTiles(QPainter& painter)
{
    painter.fillRect(rect(), CWorldMapTiles::Sea);
    const TileRange range = view_.VisibleTiles();
    const int count = TileCount(range.Zoom);
    for (int y = range.FirstY; y <= range.LastY; ++y)
        for (int x = range.FirstX; x <= range.LastX; ++x) {
            const TileId tile{range.Zoom, ((x % count) + count) % count, y};
            const ScreenPoint corner = view_.ToScreenUnwrapped({static_cast<double>(x) / count, static_cast<double>(y) / count});
            // Whole pixels: neighbouring tiles meet without seams.
            const QRectF target(std::floor(corner.X), std::floor(corner.Y), TileSize, TileSize);
            const CTileLoader::State state = tiles_ ? tiles_->StateOf(tile) : CTileLoader::State::Missing;
            const QImage image = tiles_ ? tiles_->Tile(tile) : QImage();
            if (!image.isNull()) {
                painter.drawImage(target.topLeft(), image);
            } else if (state == CTileLoader::State::Blank) {
                painter.fillRect(target, BlankTile);
            } else if (state == CTileLoader::State::Unreachable || !PaintAncestor(painter, tile, target)) {
                const QImage world = world_ ? world_->Tile(tile) : QImage();
                if (!world.isNull()) painter.drawImage(target.topLeft(), world);
            }
        }
}

void CMapWidget::PaintTracks(QPainter& painter)
{
    if (!tracks_ || tracks_->Empty()) return;
    WorldRect bounds;
    tracks_->Bounds(bounds);
    const WorldRect view = view_.Visible();
    const double margin = 8.0 / view_.Scale();
    painter.setPen(QPen(kTrack, 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPolygonF line;
    for (const int k : view_.WorldCopies(bounds.Left, bounds.Right)) {
        const WorldRect shifted{view.Left - k - margin, view.Top - margin, view.Right - k + margin, view.Bottom + margin};
        tracks_->Visit(view_.Zoom(), shifted, [&](const WorldPoint* points, size_t n) {
            // Runs may reach far beyond the view at deep zoom: cut them to it first.
            ClipPolyline(points, n, shifted, [&](const std::vector<WorldPoint>& piece) {
                line.resize(static_cast<int>(piece.size()));
                for (size_t i = 0; i < piece.size(); ++i) {
                    const ScreenPoint s = view_.ToScreenUnwrapped({piece[i].X + k, piece[i].Y});
                    line[static_cast<int>(i)] = QPointF(s.X, s.Y);
                }
                painter.drawPolyline(line);
            });
        });
    }
}

const QPixmap& CMapWidget::MarkerPixmap(int count, int selected)
{
    const quint64 key = (static_cast<quint64>(count) << 2) | static_cast<quint64>(selected);
    const auto it = markerPixmaps_.constFind(key);
    if (it != markerPixmaps_.constEnd()) return it.value();
    const double radius = count == 1 ? 7.0 : 11.0 + std::min(9.0, 3.0 * std::log10(static_cast<double>(count)));
    const int side = static_cast<int>(std::ceil(radius * 2 + 6));
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(side / 2.0, side / 2.0);
    p.setPen(QPen(Qt::white, 2.0));
    p.setBrush(selected == 2 ? kSelected : kMarker);
    p.drawEllipse(centre, radius, radius);
    if (selected == 1) {  // some of a cluster's pictures are selected
        p.setPen(QPen(kSelected, 3.0));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(centre, radius + 1.5, radius + 1.5);
    }
    if (count > 1) {
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(count < 100 ? 11 : 10);
        p.setFont(font);
        p.setPen(Qt::white);
        const QString text = count < 1000 ? QString::number(count) : QString::number(count / 1000) + QLatin1Char('k');
        p.drawText(QRectF(0, 0, side, side), Qt::AlignCenter, text);
    }
    p.end();
    return *markerPixmaps_.insert(key, pixmap);
}

void CMapWidget::PaintMarkers(QPainter& painter)
{
    const int zoom = view_.Zoom();
    const std::vector<MarkerCluster>& clusters = clusters_.ClustersAt(zoom);
    if (clusters.empty()) return;
    // Selected pictures per cluster, from the (few) selected markers.
    std::vector<int> selectedIn(clusters.size(), 0);
    for (size_t m = 0; m < markerSelected_.size(); ++m)
        if (markerSelected_[m]) ++selectedIn[static_cast<size_t>(clusters_.ClusterOf(zoom, static_cast<int>(m)))];
    const std::vector<int> copies = view_.WorldCopies(0.0, 1.0);
    const double w = width() + 30.0, h = height() + 30.0;
    const bool movingMarker = dragging_ && press_ == Press::Marker;
    for (const bool selectedPass : {false, true})  // selected ones on top
        for (size_t i = 0; i < clusters.size(); ++i) {
            const MarkerCluster& c = clusters[i];
            const int state = selectedIn[i] == 0 ? 0 : (selectedIn[i] == c.Count ? 2 : 1);
            if ((state != 0) != selectedPass) continue;
            if (movingMarker && static_cast<int>(i) == pressedCluster_) continue;
            for (const int k : copies) {
                const ScreenPoint s = view_.ToScreenUnwrapped({c.Position.X + k, c.Position.Y});
                if (s.X < -30 || s.Y < -30 || s.X > w || s.Y > h) continue;
                const QPixmap& pixmap = MarkerPixmap(c.Count, state);
                painter.drawPixmap(QPointF(s.X - pixmap.width() / 2.0, s.Y - pixmap.height() / 2.0), pixmap);
            }
        }
    if (movingMarker) {
        const QPixmap& pixmap = MarkerPixmap(1, 2);
        painter.drawPixmap(QPointF(lastMouse_.x() - pixmap.width() / 2.0, lastMouse_.y() - pixmap.height() / 2.0), pixmap);
    }
}

void CMapWidget::PaintHoverCard(QPainter& painter)
{
    const std::vector<MarkerCluster>& clusters = clusters_.ClustersAt(view_.Zoom());
    if (hovered_ < 0 || static_cast<size_t>(hovered_) >= clusters.size() || press_ != Press::None) return;
    const MarkerCluster& c = clusters[static_cast<size_t>(hovered_)];
    const int id = clusters_.Markers()[static_cast<size_t>(c.First)].Id;
    MarkerInfo info = info_ ? info_(id) : MarkerInfo{};
    QString text = info.Name;
    if (c.Count > 1) text = tr("%1 and %2 more").arg(info.Name).arg(c.Count - 1);
    const QFontMetrics metrics(painter.font());
    const int textWidth = std::min(260, metrics.horizontalAdvance(text) + 2);  // no eliding by rounding
    const QSize thumb = info.Thumbnail.isNull() ? QSize() : info.Thumbnail.size().scaled(kCardSide, kCardSide, Qt::KeepAspectRatio);
    const int cardWidth = std::max(textWidth, thumb.width()) + 12;
    const int cardHeight = thumb.height() + metrics.height() + (thumb.isEmpty() ? 8 : 12);
    const QPointF at = ClusterPosition(hovered_);
    QRectF card(at.x() + 12, at.y() - cardHeight - 8, cardWidth, cardHeight);
    if (card.right() > width() - 4) card.moveRight(at.x() - 12);
    if (card.top() < 4) card.moveTop(at.y() + 12);
    painter.setPen(QPen(QColor(0, 0, 0, 90)));
    painter.setBrush(QColor(255, 255, 255, 240));
    painter.drawRoundedRect(card, 4, 4);
    if (!thumb.isEmpty())
        painter.drawImage(QRectF(card.left() + (cardWidth - thumb.width()) / 2.0, card.top() + 6, thumb.width(), thumb.height()),
                          info.Thumbnail);
    painter.setPen(Qt::black);
    painter.drawText(QRectF(card.left() + 6, card.bottom() - metrics.height() - 4, cardWidth - 12, metrics.height()),
                     Qt::AlignCenter, metrics.elidedText(text, Qt::ElideMiddle, textWidth));
}

void CMapWidget::PaintScaleBar(QPainter& painter)
{
    const double metersPerPixel = view_.MetersPerPixel();
    const double meters = NiceLength(metersPerPixel, 120.0);
    const double pixels = meters / metersPerPixel;
    const QFontMetrics metrics(painter.font());
    const QString text = LengthText(meters);
    const QRectF box(8, height() - metrics.height() - 20, std::max(pixels, 1.0 * metrics.horizontalAdvance(text)) + 12,
                     metrics.height() + 14);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 200));
    painter.drawRect(box);
    painter.setPen(QPen(Qt::black, 2.0));
    const double y = box.bottom() - 5;
    painter.drawPolyline(QPolygonF({QPointF(box.left() + 6, y - 5), QPointF(box.left() + 6, y),
                                    QPointF(box.left() + 6 + pixels, y), QPointF(box.left() + 6 + pixels, y - 5)}));
    painter.drawText(QRectF(box.left() + 6, box.top() + 2, box.width() - 12, metrics.height()), Qt::AlignLeft, text);
}

void CMapWidget::PaintAttribution(QPainter& painter)
{
    const QFontMetrics metrics(painter.font());
    const QString text = metrics.elidedText(attribution_, Qt::ElideLeft, std::max(40, width() - 16));
    const QRectF box(width() - metrics.horizontalAdvance(text) - 12, height() - metrics.height() - 4,
                     metrics.horizontalAdvance(text) + 12, metrics.height() + 4);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 210));
    painter.drawRect(box);
    painter.setPen(QColor(0x33, 0x33, 0x33));
    painter.drawText(box, Qt::AlignCenter, text);
}
