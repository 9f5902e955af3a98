#include "MapPanel.h"

#include <QApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QThreadPool>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "Bitmap.h"
#include "CorvaneDoc.h"
#include "ImageMetadataManipulationOperation.h"
#include "SettingsStore.h"
#include "Thumbnailer.h"
#include "TileLoader.h"
#include "WorldMap.h"
#include "WorldMapTiles.h"

using namespace WebMercator;

namespace {

constexpr qint64 kMegabyte = 1 << 20;

QToolButton* Button(const QString& text, const QString& tip, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setToolTip(tip);
    button->setAutoRaise(true);
    return button;
}

QImage ToImage(const CBitmap& bitmap)
{
    const QImage view(bitmap.Data(), bitmap.Width(), bitmap.Height(), bitmap.Stride(),
                      QImage::Format_ARGB32_Premultiplied);
    return view.copy();  // the bitmap dies with the worker
}

std::unique_ptr<UpdateEntry> Entry(GeoField field, double value)
{
    auto entry = std::make_unique<UpdateEntry>();
    entry->Field = field;
    entry->Number = value;
    return entry;
}

}  // namespace

CMapPanel::CMapPanel(CCorvaneDoc& doc, ISettingsStore& settings, const QString& cacheDirectory,
                     std::shared_ptr<const CWorldMap> world, QWidget* parent)
    : QWidget(parent),
      doc_(doc),
      settings_(settings),
      cacheDirectory_(cacheDirectory),
      world_(std::make_unique<CWorldMapTiles>(std::move(world))),
      map_(new CMapWidget(nullptr, world_.get(), this)),
      search_(new QLineEdit(this)),
      results_(new QListWidget(this)),
      follow_(Button(tr("Follow"), tr("Keeps the selected pictures in view."), this))
{
    setObjectName(QStringLiteral("MapPanel"));
    search_->setObjectName(QStringLiteral("MapSearch"));
    search_->setClearButtonEnabled(true);
    results_->setObjectName(QStringLiteral("MapSearchResults"));
    results_->hide();
    follow_->setCheckable(true);
    follow_->setChecked(true);
    QToolButton* fit = Button(tr("Fit"), tr("Shows all the geotagged pictures of the folder."), this);
    QToolButton* zoomIn = Button(QStringLiteral("+"), tr("Zooms in."), this);
    QToolButton* zoomOut = Button(QStringLiteral("\u2212"), tr("Zooms out."), this);
    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(2, 2, 2, 2);
    bar->addWidget(search_, 1);
    bar->addWidget(follow_);
    bar->addWidget(fit);
    bar->addWidget(zoomIn);
    bar->addWidget(zoomOut);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(bar);
    layout->addWidget(results_);
    layout->addWidget(map_, 1);
    SetPlaceSearch(nullptr);
    ApplyTileSettings();

    map_->SetMarkerInfo([this](int item) { return InfoOf(item); });
    connect(fit, &QToolButton::clicked, this, [this] { map_->FitMarkers(); });
    connect(zoomIn, &QToolButton::clicked, this, [this] { map_->ZoomBy(1); });
    connect(zoomOut, &QToolButton::clicked, this, [this] { map_->ZoomBy(-1); });
    connect(follow_, &QToolButton::toggled, this, [this](bool on) { if (on) OnSelectionChanged(); });
    connect(search_, &QLineEdit::returnPressed, this, &CMapPanel::Search);
    connect(results_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) { GoToPlace(results_->row(item)); });
    connect(results_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { GoToPlace(results_->row(item)); });
    connect(map_, &CMapWidget::MarkersActivated, this, [this](const QList<int>& ids, bool extend) {
        if (selector_) selector_(std::vector<int>(ids.begin(), ids.end()), extend);
    });
    connect(map_, &CMapWidget::PlaceRequested, this, [this](const QList<int>& ids, double lat, double lon) {
        PlaceItems(std::vector<int>(ids.begin(), ids.end()), lat, lon);
    });
    connect(map_, &CMapWidget::FilesDropped, this, [this](const QStringList& paths, double lat, double lon) {
        PlaceItems(ItemsOfPaths(paths), lat, lon);
    });
}

CMapPanel::~CMapPanel() = default;

void CMapPanel::ApplyTileSettings()
{
    TileSourceSettings source;
    source.UrlTemplate = QString::fromStdWString(ReadStringSetting(settings_, "MapTileUrl")).trimmed();
    if (!CTileLoader::CheckTemplate(source.UrlTemplate).isEmpty()) source.UrlTemplate.clear();
    source.CacheDirectory = cacheDirectory_;
    source.CacheBytes = std::max(1, ReadIntSetting(settings_, "MapCacheMB")) * kMegabyte;
    CTileLoader* old = tiles_;
    tiles_ = new CTileLoader(source, this);
    map_->SetTiles(tiles_);
    delete old;
    QString attribution = QString::fromStdWString(ReadStringSetting(settings_, "MapAttribution")).trimmed();
    if (attribution.isEmpty()) attribution = QString::fromStdWString(DefaultString("MapAttribution"));
    map_->SetAttribution(attribution);
}

void CMapPanel::SetPlaceSearch(IMapPlaceSearch* search)
{
    placeSearch_ = search;
    search_->setEnabled(search != nullptr);
    search_->setPlaceholderText(search ? tr("Find a place") : tr("Place search is not available"));
}

void CMapPanel::OnFolderLoaded()
{
    thumbnails_.clear();
    OnRecordsChanged();
    map_->FitMarkers();
}

void CMapPanel::OnRecordsChanged()
{
    std::vector<MapMarker> markers;
    for (int i = 0; i < doc_.Count(); ++i) {
        const CGPSMetadataInfo* record = doc_.Item(i).Current();
        if (!record || !record->Latitude || !record->Longitude) continue;
        const GeoPoint point{CGPSMetadataInfo::CoordinateToDecimal(*record->Latitude),
                             CGPSMetadataInfo::CoordinateToDecimal(*record->Longitude)};
        if (!std::isfinite(point.Latitude) || !std::isfinite(point.Longitude)) continue;
        markers.push_back({i, Project(point)});
    }
    map_->SetMarkers(std::move(markers));
    if (selectionSource_) map_->SetSelection(selectionSource_());
}

void CMapPanel::OnSelectionChanged()
{
    if (!selectionSource_ || selecting_) return;
    const std::vector<int> selection = selectionSource_();
    map_->SetSelection(selection);
    if (follow_->isChecked()) map_->KeepInView(selection);
}

void CMapPanel::PlaceItems(const std::vector<int>& items, double latitude, double longitude)
{
    if (items.empty() || !std::isfinite(latitude) || !std::isfinite(longitude)) return;
    latitude = ClampLatitude(latitude);
    longitude = WrapLongitude(longitude);
    std::vector<int> placed;
    std::vector<MetadataChange> changes;
    for (const int item : items) {
        if (item < 0 || item >= doc_.Count() || std::find(placed.begin(), placed.end(), item) != placed.end()) continue;
        MetadataChange change;
        change.Operation = std::make_unique<CImageMetadataManipulationOperation>();
        change.Updates.push_back(Entry(LatitudeField, latitude));
        change.Updates.push_back(Entry(LongitudeField, longitude));
        changes.push_back(std::move(change));
        placed.push_back(item);
    }
    if (!placed.empty()) doc_.ApplyMetadataChange(placed, std::move(changes));
}

std::vector<int> CMapPanel::ItemsOfPaths(const QStringList& paths) const
{
    QHash<QString, int> byPath;
    for (int i = doc_.Count() - 1; i >= 0; --i)
        byPath.insert(QFileInfo(QString::fromStdString(doc_.Item(i).Path)).absoluteFilePath(), i);
    std::vector<int> items;
    for (const QString& path : paths) {
        const auto it = byPath.constFind(QFileInfo(path).absoluteFilePath());
        if (it != byPath.constEnd()) items.push_back(it.value());
    }
    return items;
}

CMapWidget::MarkerInfo CMapPanel::InfoOf(int item)
{
    if (item < 0 || item >= doc_.Count()) return {};
    const PictureItem& picture = doc_.Item(item);
    const QString path = QString::fromStdString(picture.Path);
    const auto it = thumbnails_.constFind(path);
    if (it == thumbnails_.constEnd()) RequestThumbnail(path);
    return {QString::fromStdWString(picture.Name), it == thumbnails_.constEnd() ? QImage() : it.value()};
}

void CMapPanel::RequestThumbnail(const QString& path)
{
    thumbnails_.insert(path, QImage());  // asked once; a picture without one keeps the empty image
    QPointer<CMapPanel> self(this);
    QThreadPool::globalInstance()->start([self, path] {
        CBitmap thumb;
        QImage image;
        if (SUCCEEDED(MakeThumbnail(path.toStdString(), thumb, nullptr)) && !thumb.Empty()) image = ToImage(thumb);
        QMetaObject::invokeMethod(
            qApp, [self, path, image] {
                if (!self || image.isNull()) return;
                self->thumbnails_.insert(path, image);
                self->map_->update();
            },
            Qt::QueuedConnection);
    });
}
