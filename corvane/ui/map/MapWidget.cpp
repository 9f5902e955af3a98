#include "MapWidget.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "TileLoader.h"
#include "WorldMapTiles.h"

using namespace WebMercator;

namespace {

constexpr int kPanStep = 100;      // pixels an arrow key moves the map
constexpr double kHitRadius = 14;  // pixels around a marker that count as on it

}  // namespace

CMapWidget::CMapWidget(CTileLoader* tiles, CWorldMapTiles* world, QWidget* parent)
    : QWidget(parent), tiles_(nullptr), world_(world), attribution_(QStringLiteral("\u00a9 OpenStreetMap contributors"))
{
    setObjectName(QStringLiteral("MapCanvas"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAcceptDrops(true);
    setMinimumSize(200, 150);
    setAttribute(Qt::WA_OpaquePaintEvent);
    view_.SetSize(width(), height());
    view_.SetZoom(2);
    view_.SetCenter(GeoPoint{30.0, 10.0});
    SetTiles(tiles);
    if (world_) connect(world_, &CWorldMapTiles::TileChanged, this, &CMapWidget::OnTileChanged);
}

void CMapWidget::SetTiles(CTileLoader* tiles)
{
    if (tiles_) disconnect(tiles_, nullptr, this, nullptr);
    tiles_ = tiles;
    if (tiles_) connect(tiles_, &CTileLoader::TileChanged, this, &CMapWidget::OnTileChanged);
    RequestTiles();
    update();
}

void CMapWidget::SetAttribution(const QString& text)
{
    attribution_ = text;
    update();
}

void CMapWidget::SetMarkers(std::vector<MapMarker> markers)
{
    // Most record changes move no picture: keep the clusters then.
    const std::vector<MapMarker>& old = clusters_.Markers();
    const bool same = markers.size() == old.size() &&
                      std::equal(markers.begin(), markers.end(), old.begin(), [](const MapMarker& a, const MapMarker& b) {
                          return a.Id == b.Id && a.Position.X == b.Position.X && a.Position.Y == b.Position.Y;
                      });
    if (same && !markers.empty()) {
        SetSelection(selection_);
        return;
    }
    clusters_.Build(std::move(markers));
    hovered_ = -1;
    pressedCluster_ = -1;
    SetSelection(selection_);
}

void CMapWidget::SetSelection(const std::vector<int>& ids)
{
    selection_ = ids;
    markerSelected_.assign(clusters_.Markers().size(), 0);
    for (const int id : ids) {
        const int index = clusters_.IndexOf(id);
        if (index >= 0) markerSelected_[static_cast<size_t>(index)] = 1;
    }
    update();
}

void CMapWidget::SetTracks(std::shared_ptr<const CTrackGeometry> tracks)
{
    tracks_ = std::move(tracks);
    update();
}

bool CMapWidget::FitMarkers(int maxZoom)
{
    WorldRect bounds;
    if (!clusters_.Bounds(bounds)) return false;
    view_.Fit(bounds, maxZoom, 40);
    OnViewChanged();
    return true;
}

void CMapWidget::KeepInView(const std::vector<int>& ids)
{
    bool first = true;
    WorldRect bounds;
    bool allShown = true;
    for (const int id : ids) {
        const int index = clusters_.IndexOf(id);
        if (index < 0) continue;
        const WorldPoint p = clusters_.Markers()[static_cast<size_t>(index)].Position;
        if (first) bounds = {p.X, p.Y, p.X, p.Y};
        bounds = {std::min(bounds.Left, p.X), std::min(bounds.Top, p.Y), std::max(bounds.Right, p.X),
                  std::max(bounds.Bottom, p.Y)};
        first = false;
        const ScreenPoint s = view_.ToScreen(p);
        allShown = allShown && s.X >= 20 && s.Y >= 20 && s.X <= width() - 20 && s.Y <= height() - 20;
    }
    if (first || allShown) return;
    view_.Fit(bounds, std::max(view_.Zoom(), 3), 40);
    OnViewChanged();
}

void CMapWidget::FitTracks()
{
    WorldRect bounds;
    if (!tracks_ || !tracks_->Bounds(bounds)) return;
    view_.Fit(bounds, FrameZoom, 30);
    OnViewChanged();
}

void CMapWidget::CenterOn(const GeoPoint& point, int zoom)
{
    view_.SetZoom(zoom);
    view_.SetCenter(point);
    OnViewChanged();
}

void CMapWidget::ZoomBy(int steps)
{
    view_.ZoomAbout(view_.Zoom() + steps, width() / 2.0, height() / 2.0);
    OnViewChanged();
}

void CMapWidget::OnViewChanged()
{
    hovered_ = -1;
    RequestTiles();
    update();
    emit ViewChanged();
}

void CMapWidget::RequestTiles()
{
    if (!tiles_ || !isVisible()) return;
    const TileRange range = view_.VisibleTiles();
    // Nearest the centre first.
    const double cx = (range.FirstX + range.LastX) / 2.0, cy = (range.FirstY + range.LastY) / 2.0;
    std::vector<TileId> wanted;
    const int count = TileCount(range.Zoom);
    for (int y = range.FirstY; y <= range.LastY; ++y)
        for (int x = range.FirstX; x <= range.LastX; ++x) {
            const TileId tile{range.Zoom, ((x % count) + count) % count, y};
            if (std::find(wanted.begin(), wanted.end(), tile) == wanted.end()) wanted.push_back(tile);
        }
    std::stable_sort(wanted.begin(), wanted.end(), [&](const TileId& a, const TileId& b) {
        return std::hypot(a.X - cx, a.Y - cy) < std::hypot(b.X - cx, b.Y - cy);
    });
    tiles_->Request(wanted);
}

void CMapWidget::OnTileChanged(quint64 key)
{
    if (static_cast<int>(key >> 48) <= view_.Zoom()) update();  // this level, or an ancestor standing in
}

int CMapWidget::ClusterAt(const QPoint& position) const
{
    const std::vector<MarkerCluster>& clusters = clusters_.ClustersAt(view_.Zoom());
    int best = -1;
    double bestDistance = kHitRadius * kHitRadius;
    const std::vector<int> copies = view_.WorldCopies(0.0, 1.0);
    for (size_t i = 0; i < clusters.size(); ++i)
        for (const int k : copies) {
            const ScreenPoint s = view_.ToScreenUnwrapped({clusters[i].Position.X + k, clusters[i].Position.Y});
            const double dx = s.X - position.x(), dy = s.Y - position.y();
            if (dx * dx + dy * dy <= bestDistance) {
                bestDistance = dx * dx + dy * dy;
                best = static_cast<int>(i);
            }
        }
    return best;
}

QPointF CMapWidget::ClusterPosition(int cluster) const
{
    const std::vector<MarkerCluster>& clusters = clusters_.ClustersAt(view_.Zoom());
    if (cluster < 0 || static_cast<size_t>(cluster) >= clusters.size()) return {};
    const ScreenPoint s = view_.ToScreen(clusters[static_cast<size_t>(cluster)].Position);
    return {s.X, s.Y};
}

void CMapWidget::ActivateCluster(int cluster, bool extend)
{
    const int zoom = view_.Zoom();
    const MarkerCluster& c = clusters_.ClustersAt(zoom)[static_cast<size_t>(cluster)];
    // A cluster that parts when zoomed in is opened; one that never parts (a stack) is selected.
    const double span = std::max(c.Bounds.Right - c.Bounds.Left, c.Bounds.Bottom - c.Bounds.Top);
    if (c.Count > 1 && zoom < CMarkerClusters::DetailZoom + 1 && span * WorldPixels(MaxZoom) > 1.0) {
        const int before = view_.Zoom();
        view_.Fit(c.Bounds, MaxZoom, 60);
        if (view_.Zoom() <= before) view_.ZoomAbout(before + 1, width() / 2.0, height() / 2.0);
        OnViewChanged();
        return;
    }
    QList<int> ids;
    for (const int m : clusters_.Members(zoom, cluster)) ids << clusters_.Markers()[static_cast<size_t>(m)].Id;
    emit MarkersActivated(ids, extend);
}

void CMapWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    view_.SetSize(width(), height());
    RequestTiles();
}

void CMapWidget::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    RequestTiles();
}

void CMapWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    pressAt_ = lastMouse_ = event->position().toPoint();
    pressedCluster_ = ClusterAt(pressAt_);
    press_ = pressedCluster_ >= 0 ? Press::Marker : Press::Map;
    dragging_ = false;
}

void CMapWidget::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (press_ == Press::None) {
        const int hovered = ClusterAt(at);
        if (hovered != hovered_) {
            hovered_ = hovered;
            update();
        }
        return;
    }
    if (!dragging_ && (at - pressAt_).manhattanLength() >= QApplication::startDragDistance()) {
        dragging_ = true;
        // Only a single picture's marker is moved; dragging a cluster pans.
        if (press_ == Press::Marker &&
            clusters_.ClustersAt(view_.Zoom())[static_cast<size_t>(pressedCluster_)].Count != 1)
            press_ = Press::Map;
        setCursor(press_ == Press::Map ? Qt::ClosedHandCursor : Qt::DragMoveCursor);
    }
    if (dragging_ && press_ == Press::Map) {
        view_.PanBy(at.x() - lastMouse_.x(), at.y() - lastMouse_.y());
        OnViewChanged();
    }
    lastMouse_ = at;
    if (dragging_ && press_ == Press::Marker) update();
}

void CMapWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || press_ == Press::None) return QWidget::mouseReleaseEvent(event);
    const Press press = press_;
    press_ = Press::None;
    unsetCursor();
    const int cluster = pressedCluster_;
    pressedCluster_ = -1;
    if (press == Press::Marker && !dragging_) {
        ActivateCluster(cluster, event->modifiers() & Qt::ControlModifier);
    } else if (press == Press::Marker) {
        const MarkerCluster& c = clusters_.ClustersAt(view_.Zoom())[static_cast<size_t>(cluster)];
        const GeoPoint at = view_.ToGeo(event->position().x(), event->position().y());
        emit PlaceRequested({clusters_.Markers()[static_cast<size_t>(c.First)].Id}, at.Latitude, at.Longitude);
    }
    dragging_ = false;
    update();
}

void CMapWidget::wheelEvent(QWheelEvent* event)
{
    wheelRemainder_ += event->angleDelta().y();
    const int steps = wheelRemainder_ / 120;
    if (steps == 0) return;
    wheelRemainder_ -= steps * 120;
    view_.ZoomAbout(view_.Zoom() + steps, event->position().x(), event->position().y());
    OnViewChanged();
}

void CMapWidget::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left: view_.PanBy(kPanStep, 0); break;
    case Qt::Key_Right: view_.PanBy(-kPanStep, 0); break;
    case Qt::Key_Up: view_.PanBy(0, kPanStep); break;
    case Qt::Key_Down: view_.PanBy(0, -kPanStep); break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: view_.ZoomAbout(view_.Zoom() + 1, width() / 2.0, height() / 2.0); break;
    case Qt::Key_Minus: view_.ZoomAbout(view_.Zoom() - 1, width() / 2.0, height() / 2.0); break;
    default: return QWidget::keyPressEvent(event);
    }
    OnViewChanged();
}

void CMapWidget::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    if (hovered_ >= 0) {
        hovered_ = -1;
        update();
    }
}

QMenu* CMapWidget::ContextMenu(const QPoint& position)
{
    const GeoPoint at = view_.ToGeo(position.x(), position.y());
    auto* menu = new QMenu(this);
    QAction* place = menu->addAction(tr("Place selected pictures here"));
    place->setEnabled(!selection_.empty());
    connect(place, &QAction::triggered, this, [this, at] {
        emit PlaceRequested(QList<int>(selection_.begin(), selection_.end()), at.Latitude, at.Longitude);
    });
    return menu;
}

void CMapWidget::contextMenuEvent(QContextMenuEvent* event)
{
    std::unique_ptr<QMenu> menu(ContextMenu(event->pos()));
    menu->exec(event->globalPos());
}

void CMapWidget::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMapWidget::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMapWidget::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    if (paths.isEmpty()) return;
    // Copying, never moving: the pictures stay where they are.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    const GeoPoint at = view_.ToGeo(event->position().x(), event->position().y());
    emit FilesDropped(paths, at.Latitude, at.Longitude);
}

void CMapWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Render(painter);
}
