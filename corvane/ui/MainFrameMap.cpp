// The map panel of the main window: a dock beside the views, shown while
// "MapVisible" is 1, kept in step with the document and the selection.
#include <QDockWidget>
#include <QFileDialog>
#include <QStandardPaths>

#include "CommandTable.h"
#include "CorvaneDoc.h"
#include "ExplorerBrowserView.h"
#include "GPSMetadataListView.h"
#include "MainFrame.h"
#include "QtDocumentUserInterface.h"
#include "GeocodingSettings.h"
#include "PlaceSearch.h"
#include "SettingsStore.h"
#include "map/MapPlaceSearchAdapter.h"
#include "map/MapPanel.h"
#include "map/WorldMapTiles.h"

namespace C = CommandId;

void CMainFrame::BuildMap()
{
    const QString cache =
        QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/tiles");
    map_ = new CMapPanel(doc_, settings_, cache, CWorldMapTiles::LoadInstalled(), this);
    map_->SetSelectionSource([this] { return ActiveSelection(); });
    map_->SetSelector([this](const std::vector<int>& items, bool extend) { SelectItems(items, extend); });
    // Places are found where addresses come from; the settings are read at
    // every search, so a changed account or source applies at once.
    auto search = std::make_shared<CPlaceSearch>([this] { return ReadGeocodingConfig(settings_); });
    map_->SetPlaceSearch(new CMapPlaceSearchAdapter(std::move(search), map_));
    mapDock_ = new QDockWidget(tr("Map"), this);
    mapDock_->setObjectName(QStringLiteral("MapDock"));
    mapDock_->setWidget(map_);
    addDockWidget(Qt::RightDockWidgetArea, mapDock_);
    mapDock_->setVisible(ReadIntSetting(settings_, "MapVisible") == 1);
    // Closing the dock by its own button counts as hiding the map.
    connect(mapDock_, &QDockWidget::visibilityChanged, this, [this] {
        const int shown = mapDock_->isHidden() ? 0 : 1;
        if (ReadIntSetting(settings_, "MapVisible") != shown) settings_.SetInt("MapVisible", shown);
        UpdateCommandUI();
    });
    connect(&ui_, &CQtDocumentUserInterface::MetadataChanged, map_, [this] { map_->OnRecordsChanged(); });
    connect(browser_, &CExplorerBrowserView::SelectionChanged, map_, &CMapPanel::OnSelectionChanged);
    connect(list_, &CGPSMetadataListView::SelectionChanged, map_, &CMapPanel::OnSelectionChanged);
    connect(map_, &CMapPanel::TrackFailed, this, [this](const QString& message) {
        ui_.ShowMessage(message.toStdWString(), L"Show Track", MessageIcon::Error);
    });
    connect(map_, &CMapPanel::TracksShown, this, &CMainFrame::UpdateCommandUI);
}

void CMainFrame::BindMapCommands()
{
    Bind(C::Map, [this] { ShowMap(mapDock_->isHidden()); }, nullptr, [this] { return !mapDock_->isHidden(); });
    Bind(C::ShowTrack, [this] { ShowTrack(); });
    Bind(C::ClearTracks, [this] { map_->ClearTracks(); }, [this] { return map_ && map_->HasTracks(); });
}

void CMainFrame::ShowMap(bool shown)
{
    mapDock_->setVisible(shown);
    settings_.SetInt("MapVisible", shown ? 1 : 0);
    if (shown) map_->OnRecordsChanged();
}

void CMainFrame::ShowTrack()
{
    const QString path = trackChooser_ ? trackChooser_()
                                       : QFileDialog::getOpenFileName(this, tr("Show Track"), QString(),
                                                                      tr("GPX files (*.gpx);;All files (*)"));
    if (path.isEmpty()) return;
    if (mapDock_->isHidden()) ShowMap(true);
    map_->LoadTrackFile(path);
}

void CMainFrame::SelectItems(const std::vector<int>& items, bool extend)
{
    if (active_ == MetadataList)
        list_->SelectItems(items, extend);
    else
        browser_->SelectItems(items, extend);
}

void CMainFrame::RefreshMap(bool tileSettings)
{
    if (!map_) return;
    if (tileSettings) map_->ApplyTileSettings();
    map_->OnRecordsChanged();
}

void CMainFrame::FolderLoadedOnMap()
{
    if (map_) map_->OnFolderLoaded();
}
