// Takes the screenshots of the user guide: the folder browser, the metadata
// view with an editor open, and the options. Run under a virtual display by
// scripts/screenshots.
//
//   gui-screenshots OUTPUT_DIR SAMPLES_DIR
#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>

#include "CorvaneApp.h"
#include "CorvaneDoc.h"
#include "ExplorerBrowserView.h"
#include "FolderFilterModel.h"
#include "GPSMetadataListView.h"
#include "MainFrame.h"
#include "MapPanel.h"
#include "MetadataTableView.h"
#include "OptionsDialog.h"
#include "QtDocumentUserInterface.h"
#include "QtSettingsStore.h"
#include "SettingsStore.h"

namespace {

bool Save(QWidget& widget, const QString& path)
{
    QCoreApplication::processEvents();
    const bool ok = widget.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

void Copy(const QString& from, const QString& to)
{
    for (const QString& name : QDir(from).entryList(QDir::Files)) QFile::copy(from + '/' + name, to + '/' + name);
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 3) return 2;
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString samples = QString::fromLocal8Bit(argv[2]) + QStringLiteral("/pictures/");
    QDir().mkpath(out);
    QTemporaryDir config, pictures;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
    const QString folder = pictures.filePath(QStringLiteral("Trip"));
    QDir().mkpath(folder);
    QDir().mkpath(pictures.filePath(QStringLiteral("Family")));
    Copy(samples + QStringLiteral("gps"), folder);

    CCorvaneApp corvane;
    corvane.InitInstance(folder);
    QSignalSpy loaded(&corvane.UserInterface(), &CQtDocumentUserInterface::CommandHandled);
    if (!loaded.wait(30000)) return 1;
    CMainFrame& frame = corvane.Frame();
    frame.resize(1400, 820);
    frame.show();
    if (!QTest::qWaitForWindowExposed(&frame)) return 1;
    // Let the thumbnails arrive: each one repaints its item.
    QSignalSpy thumbnails(frame.Browser()->Filter(), &QAbstractItemModel::dataChanged);
    while (thumbnails.count() < corvane.Document().Count() && thumbnails.wait(3000)) {}
    bool ok = Save(frame, out + QStringLiteral("/folder-browser.png"));

    frame.Execute(1109);
    CMetadataTableView* table = frame.ListView()->Table();
    table->resizeColumnsToContents();
    table->selectRow(1);
    const QModelIndex direction = table->model()->index(2, 6);
    table->setCurrentIndex(direction);
    table->edit(direction);
    ok = Save(frame, out + QStringLiteral("/metadata-view.png")) && ok;

    CMemorySettingsStore settings;
    WriteDefaultSettings(settings);
    COptionsDialog options(settings, frame.Look(), 0, &frame);
    options.show();
    ok = Save(options, out + QStringLiteral("/options.png")) && ok;
    options.ShowPage(1);
    ok = Save(options, out + QStringLiteral("/options-stamping.png")) && ok;
    options.hide();

    // The map beside the table, drawn offline (no tile server), then with a track.
    CQtSettingsStore store;
    store.SetString("MapTileUrl", L"");
    frame.MapPanel()->ApplyTileSettings();
    frame.Execute(1150);
    table->selectRow(0);
    CMapWidget* map = frame.MapPanel()->Map();
    map->FitMarkers();
    // The pointer rests on a single picture's marker: its card shows.
    for (int cluster = 0; cluster < static_cast<int>(map->Clusters().ClustersAt(map->Viewport().Zoom()).size()); ++cluster)
        if (map->Clusters().ClustersAt(map->Viewport().Zoom())[static_cast<size_t>(cluster)].Count == 1) {
            QTest::mouseMove(map, map->ClusterPosition(cluster).toPoint());
            break;
        }
    QTest::qWait(1500);  // the world map's tiles and the thumbnail are made on worker threads
    QTest::mouseMove(map, map->mapFromGlobal(QCursor::pos()));
    ok = Save(frame, out + QStringLiteral("/map.png")) && ok;
    QSignalSpy shown(frame.MapPanel(), &CMapPanel::TracksShown);
    frame.MapPanel()->LoadTrackFile(QString::fromLocal8Bit(argv[2]) + QStringLiteral("/gpx/LineStyles.gpx"));
    if (!shown.wait(10000)) return 1;
    QTest::qWait(1500);
    ok = Save(frame, out + QStringLiteral("/map-track.png")) && ok;
    return ok ? 0 : 1;
}
