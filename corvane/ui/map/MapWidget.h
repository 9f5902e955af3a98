// The map itself: tiles (or the drawn world map where there are none),
// tracks, picture markers grouped into numbered clusters, the selection,
// a hover card with the picture's thumbnail and name, a scale bar and the
// tiles' attribution, both always visible. Dragging pans, the wheel and
// +/- zoom about the pointer, arrow keys pan. A click on a marker selects
// its picture; a click on a cluster zooms into it (or selects its pictures
// when they lie at one spot). Dropping pictures, dragging a marker, or
// "Place selected pictures here" asks for pictures to be placed; the
// widget itself changes no picture.
#pragma once

#include <QImage>
#include <QList>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "MapViewport.h"
#include "MarkerClusters.h"
#include "TrackGeometry.h"

class CTileLoader;
class QMenu;
class CWorldMapTiles;

class CMapWidget : public QWidget {
    Q_OBJECT
public:
    // The deepest zoom at which a newly opened folder is framed.
    static constexpr int FrameZoom = 17;
    // What a tile the server refused or that would not decode looks like.
    static const QColor BlankTile;

    // `tiles` may be null (the world map only); both stay owned by the caller.
    CMapWidget(CTileLoader* tiles, CWorldMapTiles* world, QWidget* parent = nullptr);

    CMapViewport& Viewport() { return view_; }
    const CMapViewport& Viewport() const { return view_; }
    void SetTiles(CTileLoader* tiles);
    void SetAttribution(const QString& text);
    QString Attribution() const { return attribution_; }

    // Markers keyed by the caller's id (a document item).
    void SetMarkers(std::vector<MapMarker> markers);
    const CMarkerClusters& Clusters() const { return clusters_; }
    void SetSelection(const std::vector<int>& ids);
    const std::vector<int>& Selection() const { return selection_; }
    // The name and thumbnail shown when the pointer rests on a marker.
    struct MarkerInfo {
        QString Name;
        QImage Thumbnail;
    };
    void SetMarkerInfo(std::function<MarkerInfo(int id)> info) { info_ = std::move(info); }

    void SetTracks(std::shared_ptr<const CTrackGeometry> tracks);
    const CTrackGeometry* Tracks() const { return tracks_.get(); }

    // Frames every marker (true), or leaves the view when there are none (false).
    bool FitMarkers(int maxZoom = FrameZoom);
    // Frames markers `ids` without zooming in further than now.
    void KeepInView(const std::vector<int>& ids);
    void FitTracks();
    void CenterOn(const WebMercator::GeoPoint& point, int zoom);
    void ZoomBy(int steps);

    // The marker or cluster under a widget position: the cluster index at the
    // current zoom, or -1.
    int ClusterAt(const QPoint& position) const;
    // The screen position of a cluster of the current zoom (its copy nearest the centre).
    QPointF ClusterPosition(int cluster) const;
    // The right-click menu for a widget position ("Place selected pictures here").
    QMenu* ContextMenu(const QPoint& position);
    // Draws the whole map into `painter` as a repaint does.
    void Render(QPainter& painter);

signals:
    // Pictures clicked on the map; `extend` adds them to the selection.
    void MarkersActivated(const QList<int>& ids, bool extend);
    // Pictures to be placed at a coordinate.
    void PlaceRequested(const QList<int>& ids, double latitude, double longitude);
    // Files dropped at a coordinate (the panel finds their pictures).
    void FilesDropped(const QStringList& paths, double latitude, double longitude);
    void ViewChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    enum class Press { None, Map, Marker };

    void OnViewChanged();
    void RequestTiles();
    void OnTileChanged(quint64 key);
    void ActivateCluster(int cluster, bool extend);
    // Painting (MapPainter.cpp).
    void PaintTiles(QPainter& painter);
    void PaintTracks(QPainter& painter);
    void PaintMarkers(QPainter& painter);
    void PaintHoverCard(QPainter& painter);
    void PaintScaleBar(QPainter& painter);
    void PaintAttribution(QPainter& painter);
    bool PaintAncestor(QPainter& painter, const WebMercator::TileId& tile, const QRectF& target);
    const QPixmap& MarkerPixmap(int count, int selected);

    CMapViewport view_;
    CTileLoader* tiles_;
    CWorldMapTiles* world_;
    QString attribution_;
    CMarkerClusters clusters_;
    std::vector<int> selection_;
    std::vector<char> markerSelected_;  // by marker index
    std::shared_ptr<const CTrackGeometry> tracks_;
    std::function<MarkerInfo(int)> info_;
    QHash<quint64, QPixmap> markerPixmaps_;

    Press press_ = Press::None;
    QPoint pressAt_;
    QPoint lastMouse_;
    int pressedCluster_ = -1;
    bool dragging_ = false;
    int hovered_ = -1;
    int wheelRemainder_ = 0;
};
