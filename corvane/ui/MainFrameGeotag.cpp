// The commands of geotagging from tracks: the Geotag from Track dialog, and
// the geotagged pictures written as GPX waypoints.
#include <QFileDialog>

#include "CorvaneDoc.h"
#include "GPSMetadataListView.h"
#include "GeotagTrackDialog.h"
#include "GpxWaypointExport.h"
#include "MainFrame.h"
#include "QtDocumentUserInterface.h"

namespace {

std::vector<int> AllItems(const CCorvaneDoc& doc)
{
    std::vector<int> items;
    for (int i = 0; i < doc.Count(); ++i) items.push_back(i);
    return items;
}

}  // namespace

void CMainFrame::GeotagFromTrack()
{
    std::vector<int> items = ActiveSelection();
    if (items.empty()) items = AllItems(doc_);
    if (items.empty()) return;
    CGeotagTrackDialog dialog(doc_, items, this);
    if (dialog.exec() == QDialog::Accepted) RefreshList();
}

void CMainFrame::ExportGpx()
{
    std::vector<int> items = list_->SelectedItems();
    if (items.empty()) items = AllItems(doc_);
    std::vector<WaypointPicture> pictures;
    for (int item : items) {
        const PictureItem& p = doc_.Item(item);
        if (p.Current()) pictures.push_back({p.Name, p.Current(), ReadCaptureStampOfFile(p.Path)});
    }
    const WaypointTree tree = BuildWaypoints(pictures, CameraClock());
    if (tree.Waypoints == 0) {
        ui_.ShowMessage(L"None of the pictures has coordinates: there is nothing to export.", L"Export GPX",
                        MessageIcon::Information);
        return;
    }
    const QString path = gpxChooser_ ? gpxChooser_()
                                     : QFileDialog::getSaveFileName(this, tr("Export GPX"), QString(),
                                                                    tr("GPX files (*.gpx)"));
    if (path.isEmpty()) return;
    std::string error;
    if (!WriteWaypointFile(path.toStdString(), *tree.Root, error))
        ui_.ShowMessage(QString::fromStdString(error).toStdWString(), L"Export GPX", MessageIcon::Error);
}
