// The map panel's tracks and place search.
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QThreadPool>
#include <cmath>

#include "GPXFilesDecoder.h"
#include "MapPanel.h"
#include "StatusException.h"
#include "WebMercator.h"

namespace {

constexpr int kPlaceZoom = 12;

// Reads a GPX file into lines; false with a reason.
bool ReadTrackLines(const QString& path, std::vector<CTrackGeometry::Line>& lines, QString& reason)
{
    CGPXFilesDecoder decoder(path.toStdWString());
    if (FAILED(decoder.Initialize())) {
        reason = QObject::tr("The file cannot be opened.");
        return false;
    }
    GPXRoot* raw = nullptr;
    HRESULT status = E_FAIL;
    try {
        status = decoder.ReadGPXRoot(&raw);
    } catch (const CStatusException&) {
        status = E_FAIL;  // an invalid time: the tree was freed
    }
    std::unique_ptr<GPXRoot> root(raw);
    if (status != S_OK || !root) {
        reason = QString::fromStdWString(decoder.GetErrorText());
        if (reason.isEmpty()) reason = QObject::tr("The file is not a GPX file or is cut short.");
        return false;
    }
    lines = CMapPanel::LinesOf(*root);
    if (lines.empty()) {
        reason = QObject::tr("The file holds no track.");
        return false;
    }
    return true;
}

}  // namespace

std::vector<CTrackGeometry::Line> CMapPanel::LinesOf(const GPXRoot& root)
{
    std::vector<CTrackGeometry::Line> lines;
    for (const GPXTrack* track : root.trk) {
        if (!track) continue;
        for (const GPXTrackSegment* segment : track->trkseg) {
            if (!segment) continue;
            CTrackGeometry::Line line;
            line.reserve(segment->trkpt.size());
            for (const GPXTrackPoint* point : segment->trkpt)
                if (point) line.push_back({point->lat, point->lon});
            if (line.size() >= 2) lines.push_back(std::move(line));
        }
    }
    return lines;
}

void CMapPanel::ShowTracks(const GPXRoot& root) { ShowTracks(LinesOf(root)); }

void CMapPanel::ShowTracks(const std::vector<CTrackGeometry::Line>& lines)
{
    const unsigned generation = ++trackGeneration_;
    QPointer<CMapPanel> self(this);
    // Ranking half a million points takes a moment: never on the window's thread.
    QThreadPool::globalInstance()->start([self, generation, lines] {
        auto tracks = std::make_shared<CTrackGeometry>();
        tracks->Build(lines);
        QMetaObject::invokeMethod(
            qApp, [self, generation, tracks] { if (self) self->OnTracksBuilt(generation, tracks); }, Qt::QueuedConnection);
    });
}

void CMapPanel::LoadTrackFile(const QString& path)
{
    const unsigned generation = ++trackGeneration_;
    QPointer<CMapPanel> self(this);
    QThreadPool::globalInstance()->start([self, generation, path] {
        std::vector<CTrackGeometry::Line> lines;
        QString reason;
        std::shared_ptr<CTrackGeometry> tracks;
        if (ReadTrackLines(path, lines, reason)) {
            tracks = std::make_shared<CTrackGeometry>();
            tracks->Build(lines);
        }
        QMetaObject::invokeMethod(
            qApp, [self, generation, tracks, reason, path] {
                if (!self || generation != self->trackGeneration_) return;
                if (tracks)
                    self->OnTracksBuilt(generation, tracks);
                else
                    emit self->TrackFailed(tr("The track %1 cannot be shown: %2").arg(path, reason));
            },
            Qt::QueuedConnection);
    });
}

void CMapPanel::OnTracksBuilt(unsigned generation, std::shared_ptr<const CTrackGeometry> tracks)
{
    if (generation != trackGeneration_) return;  // a newer track was asked for meanwhile
    map_->SetTracks(std::move(tracks));
    map_->FitTracks();
    emit TracksShown();
}

void CMapPanel::ClearTracks()
{
    ++trackGeneration_;
    map_->SetTracks(nullptr);
}

bool CMapPanel::HasTracks() const { return map_->Tracks() && !map_->Tracks()->Empty(); }

void CMapPanel::Search()
{
    const QString query = search_->text().trimmed();
    if (!placeSearch_ || query.isEmpty()) return;
    const unsigned generation = ++searchGeneration_;
    QPointer<CMapPanel> self(this);
    placeSearch_->Search(query.toStdWString(), [self, generation](std::vector<MapPlace> places) {
        if (self) self->ShowPlaces(generation, places);
    });
}

void CMapPanel::ShowPlaces(unsigned generation, const std::vector<MapPlace>& places)
{
    if (generation != searchGeneration_) return;  // an answer to an older query
    places_.clear();
    results_->clear();
    for (const MapPlace& place : places) {
        if (!std::isfinite(place.Latitude) || !std::isfinite(place.Longitude) || std::abs(place.Latitude) > 90.0 ||
            std::abs(place.Longitude) > 180.0)
            continue;
        places_.push_back(place);
        QString text = QString::fromStdWString(place.Name);
        if (!place.Country.empty()) text += QStringLiteral(", ") + QString::fromStdWString(place.Country);
        results_->addItem(text);
    }
    if (places_.empty()) {
        results_->addItem(tr("No place found"));
        results_->item(0)->setFlags(Qt::NoItemFlags);
    }
    results_->setMaximumHeight(results_->sizeHintForRow(0) * std::min(6, results_->count()) + 4);
    results_->show();
    if (places_.size() == 1) GoToPlace(0);
}

void CMapPanel::GoToPlace(int row)
{
    if (row < 0 || static_cast<size_t>(row) >= places_.size()) return;
    const MapPlace place = places_[static_cast<size_t>(row)];
    map_->CenterOn({place.Latitude, place.Longitude}, std::max(kPlaceZoom, map_->Viewport().Zoom()));
    results_->hide();
    emit PlaceFound(QString::fromStdWString(place.Name));
}
