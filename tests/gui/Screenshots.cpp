// Takes the screenshots of the user guide: the folder browser, the metadata
// view with an editor open, the options, and the Geotag from Track dialog.
// Run under a virtual display by scripts/screenshots.
//
//   gui-screenshots OUTPUT_DIR SAMPLES_DIR
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QTableView>
#include <QDir>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>

#include "CommandTable.h"
#include "CorvaneApp.h"
#include "CorvaneDoc.h"
#include "ExplorerBrowserView.h"
#include "GeotagTrackDialog.h"
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

// A logger's track of the walk the sample pictures were taken on: a fix a
// quarter of a minute before and after each picture's own position (the
// camera's clock ran on Italian summer time).
QString WriteWalkTrack(const QString& folder)
{
    struct Fix {
        const char* time;
        double lat, lon;
    };
    const Fix pictures[] = {{"14:28:39", 43.4674483, 11.8851267}, {"14:29:49", 43.4671567, 11.885395},
                            {"14:38:20", 43.4670817, 11.8845383}, {"14:43:21", 43.468365, 11.881635},
                            {"14:44:01", 43.4684417, 11.881515},  {"14:46:53", 43.4682433, 11.8801717},
                            {"14:52:15", 43.467255, 11.8792133},  {"14:55:37", 43.4660117, 11.8791117},
                            {"15:00:07", 43.464455, 11.8814783}};
    QString gpx = QStringLiteral("<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"logger\" "
                                 "xmlns=\"http://www.topografix.com/GPX/1/1\"><trk><trkseg>\n");
    int n = 0;
    for (const Fix& f : pictures)
        for (int side : {-15, 15}) {
            const QDateTime at = QDateTime::fromString(QStringLiteral("2008-10-22T%1Z").arg(QLatin1String(f.time)),
                                                       Qt::ISODate).addSecs(side);
            gpx += QStringLiteral("<trkpt lat=\"%1\" lon=\"%2\"><ele>%3</ele><time>%4</time></trkpt>\n")
                       .arg(f.lat + side * 2e-6, 0, 'f', 7)
                       .arg(f.lon + side * 3e-6, 0, 'f', 7)
                       .arg(290 + (n++ % 7) * 1.5, 0, 'f', 1)
                       .arg(at.toString(Qt::ISODate));
        }
    gpx += QStringLiteral("</trkseg></trk></gpx>\n");
    const QString path = folder + QStringLiteral("/walk.gpx");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return {};
    file.write(gpx.toUtf8());
    return path;
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

    frame.Execute(CommandId::MetadataView);
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
    frame.Execute(CommandId::Map);
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
    std::vector<int> items;
    for (int i = 0; i < corvane.Document().Count(); ++i) items.push_back(i);
    CGeotagTrackDialog geotag(corvane.Document(), items, &frame);
    geotag.ZoneBox()->setCurrentText(QStringLiteral("Europe/Rome"));
    geotag.ReplaceBox()->setChecked(true);
    geotag.show();
    QSignalSpy read(&geotag, &CGeotagTrackDialog::TracksChanged);
    geotag.AddTrackFiles({WriteWalkTrack(pictures.path())});
    ok = read.wait(30000) && ok;
    geotag.Preview()->selectRow(2);
    ok = Save(geotag, out + QStringLiteral("/geotag-from-track.png")) && ok;
    return ok ? 0 : 1;
}
