// The map panel beside the folder view or the metadata table: a search box
// for places, buttons to follow the selection, frame the pictures and zoom,
// and the map. It shows every picture of the document with coordinates,
// keeps the map's selection in step with the window's, places pictures as
// pending, undoable changes of the document (latitude and longitude only),
// and shows GPX tracks.
#pragma once

#include <QHash>
#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "MapWidget.h"
#include "MapPlaceSearch.h"
#include "TrackGeometry.h"

class CCorvaneDoc;
class CTileLoader;
class CWorldMap;
class CWorldMapTiles;
class GPXRoot;
class ISettingsStore;
class QLineEdit;
class QListWidget;
class QToolButton;

class CMapPanel : public QWidget {
    Q_OBJECT
public:
    // Tiles are cached in `cacheDirectory` (empty: no disk cache); `world`
    // is the drawn world map (may be empty).
    CMapPanel(CCorvaneDoc& doc, ISettingsStore& settings, const QString& cacheDirectory,
              std::shared_ptr<const CWorldMap> world, QWidget* parent = nullptr);
    ~CMapPanel() override;

    QSize sizeHint() const override { return {600, 500}; }
    CMapWidget* Map() const { return map_; }
    CTileLoader* Tiles() const { return tiles_; }
    QLineEdit* SearchBox() const { return search_; }
    QListWidget* SearchResults() const { return results_; }
    QToolButton* FollowButton() const { return follow_; }

    // How the panel reads and sets the window's selection of pictures.
    void SetSelectionSource(std::function<std::vector<int>()> source) { selectionSource_ = std::move(source); }
    void SetSelector(std::function<void(const std::vector<int>&, bool extend)> selector) { selector_ = std::move(selector); }
    // The place search of the search box; none disables the box.
    void SetPlaceSearch(IMapPlaceSearch* search);
    // The tile settings changed (the options).
    void ApplyTileSettings();

    // The document loaded a folder: markers anew, framed.
    void OnFolderLoaded();
    // Records changed (edits, undo, redo, saves, the watcher): markers anew, the view stays.
    void OnRecordsChanged();
    void OnSelectionChanged();

    // Sets latitude and longitude of these pictures as one pending change.
    void PlaceItems(const std::vector<int>& items, double latitude, double longitude);
    // Pictures of the document with these paths, in order (unknown paths are skipped).
    std::vector<int> ItemsOfPaths(const QStringList& paths) const;

    // Tracks: lines of points, or every track segment of a GPX tree; shown and framed.
    void ShowTracks(const std::vector<CTrackGeometry::Line>& lines);
    void ShowTracks(const GPXRoot& root);
    static std::vector<CTrackGeometry::Line> LinesOf(const GPXRoot& root);
    // Reads a GPX file on a worker thread and shows its tracks; false with a reason
    // reported through TrackFailed when it cannot be read.
    void LoadTrackFile(const QString& path);
    void ClearTracks();
    bool HasTracks() const;

signals:
    // Tracks are drawn (after ShowTracks or LoadTrackFile).
    void TracksShown();
    void TrackFailed(const QString& message);
    void PlaceFound(const QString& name);

private:
    void Search();
    void ShowPlaces(unsigned generation, const std::vector<MapPlace>& places);
    void GoToPlace(int row);
    void OnTracksBuilt(unsigned generation, std::shared_ptr<const CTrackGeometry> tracks);
    CMapWidget::MarkerInfo InfoOf(int item);
    void RequestThumbnail(const QString& path);

    CCorvaneDoc& doc_;
    ISettingsStore& settings_;
    QString cacheDirectory_;
    std::unique_ptr<CWorldMapTiles> world_;
    CTileLoader* tiles_ = nullptr;
    CMapWidget* map_;
    QLineEdit* search_;
    QListWidget* results_;
    QToolButton* follow_;
    IMapPlaceSearch* placeSearch_ = nullptr;
    unsigned searchGeneration_ = 0;
    unsigned trackGeneration_ = 0;
    std::vector<MapPlace> places_;
    std::function<std::vector<int>()> selectionSource_;
    std::function<void(const std::vector<int>&, bool)> selector_;
    QHash<QString, QImage> thumbnails_;
    bool selecting_ = false;
};
