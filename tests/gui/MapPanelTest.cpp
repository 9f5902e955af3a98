// The map panel in the running program: VIEW > Map and its setting, markers
// of the geotagged pictures, placing pictures (dropped from the views,
// dragged as markers) as pending changes that undo restores, selection both
// ways, the place search against a fake, tracks from GPX files, the
// keyboard and the wheel, and the tile settings of the options.
#include <QDockWidget>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QSpinBox>
#include <QToolButton>
#include <QTest>
#include <cmath>

#include "CommandTable.h"
#include "GPSMetadataListView.h"
#include "GeneralPage.h"
#include "GuiTestSupport.h"
#include "MainFrame.h"
#include "MapPanel.h"
#include "MetadataTableModel.h"
#include "MetadataTableView.h"
#include "MapPlaceSearch.h"
#include "QtSettingsStore.h"
#include "SettingsStore.h"

using namespace WebMercator;
namespace C = CommandId;

namespace {

// Answers when the test says so, so that answers can come late and out of order.
class CFakePlaceSearch : public IMapPlaceSearch {
public:
    void Search(const std::wstring& query, Done done) override
    {
        Queries.push_back(query);
        Pending.push_back(std::move(done));
    }
    std::vector<std::wstring> Queries;
    std::vector<Done> Pending;
};

double Decimal(const GPSCoordinate* c) { return c ? CGPSMetadataInfo::CoordinateToDecimal(*c) : NAN; }

// Sends a drop of `urls` onto the map at `at`, as a drag from a view ends.
void Drop(CMapWidget* map, const QList<QUrl>& urls, QPoint at)
{
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(map, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(map, &drop);
    QVERIFY(drop.isAccepted());
}

}  // namespace

class MapPanelTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir config_;
    QTemporaryDir pictures_;
    std::unique_ptr<GuiTest::RunningProgram> program_;

    CMainFrame& Frame() { return program_->App->Frame(); }
    CCorvaneDoc& Doc() { return program_->App->Document(); }
    CMapPanel& Panel() { return *Frame().MapPanel(); }
    CMapWidget& Map() { return *Panel().Map(); }

    // First item with coordinates.
    int Geotagged()
    {
        for (int i = 0; i < Doc().Count(); ++i)
            if (Doc().Item(i).Current() && Doc().Item(i).Current()->Latitude) return i;
        return -1;
    }

    void Start(int mapVisible)
    {
        program_.reset();
        QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Halvorn"), QStringLiteral("Corvane"));
        settings.setValue(QStringLiteral("Settings/GPSStampngIncGPSCoord"), 1);  // not a first run
        settings.setValue(QStringLiteral("Settings/MapVisible"), mapVisible);
        settings.setValue(QStringLiteral("Settings/MapTileUrl"), QString());  // no tile server: never the internet
        settings.sync();
        program_ = std::make_unique<GuiTest::RunningProgram>();
        QVERIFY(program_->Start(pictures_.path()));
        Frame().resize(1400, 900);
        Frame().show();
        QVERIFY(QTest::qWaitForWindowExposed(&Frame()));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(GuiTest::HaveSamples(), "the test pictures are missing");
        GuiTest::UseSettingsIn(config_.path());
        QCOMPARE(GuiTest::CopySamples(QStringLiteral("gps"), pictures_.path(), 3), 3);
    }

    void init() { Start(1); }
    void cleanupTestCase() { program_.reset(); }

    void mapCommandShowsTheMapAndRemembersIt()
    {
        Start(0);
        QVERIFY(Frame().MapDock()->isHidden());
        QVERIFY(!Frame().Action(C::Map)->isChecked());
        Frame().Execute(C::Map);
        QVERIFY(!Frame().MapDock()->isHidden());
        QVERIFY(Frame().Action(C::Map)->isChecked());
        CQtSettingsStore store;
        QCOMPARE(store.GetInt("MapVisible", -1), 1);
        Start(1);  // read at start
        QVERIFY(!Frame().MapDock()->isHidden());
        Frame().Execute(C::Map);
        QVERIFY(Frame().MapDock()->isHidden());
        QCOMPARE(CQtSettingsStore().GetInt("MapVisible", -1), 0);
    }

    void everyGeotaggedPictureIsAMarkerAndTheFolderIsFramed()
    {
        int geotagged = 0;
        for (int i = 0; i < Doc().Count(); ++i) geotagged += Doc().Item(i).Current() && Doc().Item(i).Current()->Latitude ? 1 : 0;
        QVERIFY(geotagged > 0);
        QCOMPARE(static_cast<int>(Map().Clusters().Markers().size()), geotagged);
        QVERIFY(Map().Viewport().Zoom() <= CMapWidget::FrameZoom);
        for (const MapMarker& m : Map().Clusters().Markers()) {
            const ScreenPoint s = Map().Viewport().ToScreen(m.Position);
            QVERIFY(s.X >= 0 && s.X <= Map().width() && s.Y >= 0 && s.Y <= Map().height());
        }
    }

    void droppedPicturesArePlacedAndUndoRestoresThem()
    {
        const int item = Geotagged();
        QVERIFY(item >= 0);
        const std::unique_ptr<CGPSMetadataInfo> kept(Doc().Item(item).Current()->Clone());
        const CGPSMetadataInfo& before = *kept;
        Frame().Execute(C::MetadataView);
        CMetadataTableView* table = Frame().ListView()->Table();
        int row = -1;
        for (int r = 0; r < table->model()->rowCount(); ++r)
            if (Doc().RowOrder()[static_cast<size_t>(r)] == item) row = r;
        // What a drag from the table carries: the picture's file.
        std::unique_ptr<QMimeData> dragged(table->model()->mimeData({table->model()->index(row, 3)}));
        QCOMPARE(dragged->urls().size(), 1);
        const QPoint at(Map().width() / 3, Map().height() / 4);
        const GeoPoint target = Map().Viewport().ToGeo(at.x(), at.y());
        Drop(&Map(), dragged->urls(), at);

        const CGPSMetadataInfo* after = Doc().Item(item).Current();
        QVERIFY(std::fabs(Decimal(after->Latitude) - target.Latitude) < 1e-6);
        QVERIFY(std::fabs(Decimal(after->Longitude) - target.Longitude) < 1e-6);
        // Other fields untouched, altitude left as it was.
        QVERIFY((before.Altitude == nullptr) == (after->Altitude == nullptr));
        if (before.Altitude) QCOMPARE(*after->Altitude, *before.Altitude);
        QVERIFY((before.MapDatum == nullptr) == (after->MapDatum == nullptr));
        QVERIFY(!Doc().Item(item).Saved);
        QCOMPARE(Doc().UndoList().size(), size_t{1});
        // The marker moved with it, and the table shows the new latitude.
        const int marker = Map().Clusters().IndexOf(item);
        QVERIFY(std::fabs(Map().Clusters().Markers()[static_cast<size_t>(marker)].Position.Y - Project(target).Y) < 1e-9);

        Frame().Execute(C::Undo);
        QCOMPARE(Decimal(Doc().Item(item).Current()->Latitude), Decimal(before.Latitude));
        QCOMPARE(Decimal(Doc().Item(item).Current()->Longitude), Decimal(before.Longitude));
        QVERIFY(std::fabs(Map().Clusters().Markers()[static_cast<size_t>(marker)].Position.Y -
                          Project({Decimal(before.Latitude), 0}).Y) < 1e-9);
    }

    void filesOfAnotherFolderAreNotPlaced()
    {
        const size_t undo = Doc().UndoList().size();
        Drop(&Map(), {QUrl::fromLocalFile(QStringLiteral("/nonexistent/other.jpg"))}, {50, 50});
        QCOMPARE(Doc().UndoList().size(), undo);
    }

    void aMarkerClickedSelectsItsPictureAndDraggedMovesIt()
    {
        const int item = Geotagged();
        const std::unique_ptr<CGPSMetadataInfo> kept(Doc().Item(item).Current()->Clone());
        const CGPSMetadataInfo& before = *kept;
        Map().CenterOn({Decimal(before.Latitude), Decimal(before.Longitude)}, MaxZoom);
        QCoreApplication::processEvents();
        const int cluster = Map().ClusterAt(QPoint(Map().width() / 2, Map().height() / 2));
        QVERIFY(cluster >= 0);
        const QPoint at = Map().ClusterPosition(cluster).toPoint();
        QTest::mouseClick(&Map(), Qt::LeftButton, Qt::NoModifier, at);
        const std::vector<int> selection = Frame().ActiveSelection();
        QVERIFY(std::find(selection.begin(), selection.end(), item) != selection.end());
        QVERIFY(std::find(Map().Selection().begin(), Map().Selection().end(), item) != Map().Selection().end());

        // Drag the marker 80 pixels to the right.
        const QPoint to = at + QPoint(80, 0);
        const GeoPoint target = Map().Viewport().ToGeo(to.x(), to.y());
        QTest::mousePress(&Map(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseMove(&Map(), at + QPoint(20, 0));
        QTest::mouseMove(&Map(), to);
        QTest::mouseRelease(&Map(), Qt::LeftButton, Qt::NoModifier, to);
        const CGPSMetadataInfo* after = Doc().Item(item).Current();
        QVERIFY(std::fabs(Decimal(after->Longitude) - target.Longitude) < 1e-6);
        QVERIFY(std::fabs(Decimal(after->Latitude) - Decimal(before.Latitude)) < 1e-6);
        Frame().Execute(C::Undo);
        QCOMPARE(Decimal(Doc().Item(item).Current()->Longitude), Decimal(before.Longitude));
    }

    void theViewsSelectionIsHighlightedAndFollowed()
    {
        Frame().Execute(C::MetadataView);
        Frame().ListView()->Table()->selectAll();
        QCOMPARE(Map().Selection().size(), Frame().ActiveSelection().size());
        Frame().ListView()->ClearSelection();
        QVERIFY(Map().Selection().empty());
        // A picture selected out of view is brought into it (Follow is on).
        const int item = Geotagged();
        Map().CenterOn({-40, -120}, 9);
        Frame().SelectItems({item}, false);
        const int marker = Map().Clusters().IndexOf(item);
        const ScreenPoint s = Map().Viewport().ToScreen(Map().Clusters().Markers()[static_cast<size_t>(marker)].Position);
        QVERIFY(s.X > 0 && s.X < Map().width() && s.Y > 0 && s.Y < Map().height());
        Panel().FollowButton()->setChecked(false);
        Map().CenterOn({-40, -120}, 9);
        Frame().SelectItems({}, false);
        Frame().SelectItems({item}, false);
        QVERIFY(std::fabs(Map().Viewport().CenterGeo().Latitude + 40) < 1e-6);
        Panel().FollowButton()->setChecked(true);
    }

    void placeSelectedPicturesHereFromTheContextMenu()
    {
        Frame().Execute(C::MetadataView);
        Frame().ListView()->Table()->selectAll();
        const std::vector<int> selected = Frame().ActiveSelection();
        QVERIFY(selected.size() >= 2);
        const QPoint at(Map().width() / 2 + 30, Map().height() / 2 - 20);
        const GeoPoint target = Map().Viewport().ToGeo(at.x(), at.y());
        std::unique_ptr<QMenu> menu(Map().ContextMenu(at));
        QAction* place = menu->actions().value(0);
        QCOMPARE(place->text(), QStringLiteral("Place selected pictures here"));
        QVERIFY(place->isEnabled());
        place->trigger();
        for (const int item : selected)
            QVERIFY(std::fabs(Decimal(Doc().Item(item).Current()->Latitude) - target.Latitude) < 1e-6);
        QCOMPARE(Doc().UndoList().size(), size_t{1});  // one change for all of them
        QCOMPARE(Doc().UndoList().back().Indices.size(), selected.size());
        Frame().ListView()->ClearSelection();
        std::unique_ptr<QMenu> none(Map().ContextMenu(at));
        QVERIFY(!none->actions().value(0)->isEnabled());
    }

    void keyboardAndWheelZoomAndPan()
    {
        Map().CenterOn({40, 10}, 6);
        Map().setFocus();
        QTest::keyClick(&Map(), Qt::Key_Plus);
        QCOMPARE(Map().Viewport().Zoom(), 7);
        QTest::keyClick(&Map(), Qt::Key_Minus);
        QTest::keyClick(&Map(), Qt::Key_Minus);
        QCOMPARE(Map().Viewport().Zoom(), 5);
        const double lon = Map().Viewport().CenterGeo().Longitude;
        QTest::keyClick(&Map(), Qt::Key_Right);
        QVERIFY(Map().Viewport().CenterGeo().Longitude > lon);
        // The wheel zooms about the pointer: the place under it stays there.
        const QPointF pointer(100, 80);
        const GeoPoint under = Map().Viewport().ToGeo(pointer.x(), pointer.y());
        QWheelEvent wheel(pointer, Map().mapToGlobal(pointer), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&Map(), &wheel);
        QCOMPARE(Map().Viewport().Zoom(), 6);
        QVERIFY(std::fabs(Map().Viewport().ToGeo(pointer.x(), pointer.y()).Longitude - under.Longitude) < 1e-9);
    }

    void placeSearchCentresOnTheChosenPlaceAndIgnoresStaleAnswers()
    {
        QVERIFY(Panel().SearchBox()->isEnabled());  // the window wires the address source's search
        CFakePlaceSearch search;
        Panel().SetPlaceSearch(&search);
        QVERIFY(Panel().SearchBox()->isEnabled());
        Panel().SearchBox()->setText(QStringLiteral("Pari"));
        QTest::keyClick(Panel().SearchBox(), Qt::Key_Return);
        Panel().SearchBox()->setText(QStringLiteral("Paris"));
        QTest::keyClick(Panel().SearchBox(), Qt::Key_Return);
        QCOMPARE(search.Queries, (std::vector<std::wstring>{L"Pari", L"Paris"}));
        search.Pending[1]({{L"Paris", L"France", 48.8566, 2.3522}, {L"Paris", L"United States", 33.6609, -95.5555}});
        search.Pending[0]({{L"Parigné", L"France", 48.0, -1.0}});  // late answer to the older query
        QCOMPARE(Panel().SearchResults()->count(), 2);
        QCOMPARE(Panel().SearchResults()->item(1)->text(), QStringLiteral("Paris, United States"));
        QSignalSpy found(&Panel(), &CMapPanel::PlaceFound);
        QTest::mouseClick(Panel().SearchResults()->viewport(), Qt::LeftButton, Qt::NoModifier,
                          Panel().SearchResults()->visualItemRect(Panel().SearchResults()->item(1)).center());
        QCOMPARE(found.size(), 1);
        QVERIFY(std::fabs(Map().Viewport().CenterGeo().Latitude - 33.6609) < 1e-3);
        QVERIFY(std::fabs(Map().Viewport().CenterGeo().Longitude + 95.5555) < 1e-3);
        QVERIFY(Panel().SearchResults()->isHidden());
        Panel().SetPlaceSearch(nullptr);
    }

    void showTrackDrawsAGpxFileAndClearTracksRemovesIt()
    {
        Frame().SetTrackChooser([] { return GuiTest::Samples(QStringLiteral("../gpx/garminconnect.gpx")); });
        QSignalSpy shown(&Panel(), &CMapPanel::TracksShown);
        Frame().Execute(C::ShowTrack);
        QVERIFY(shown.wait(10000));
        QVERIFY(Panel().HasTracks());
        QCOMPARE(Map().Tracks()->PointCount(), size_t{68});
        // Framed on the track (Colorado).
        QVERIFY(std::fabs(Map().Viewport().CenterGeo().Longitude + 105.2) < 0.5);
        QVERIFY(Frame().Action(C::ClearTracks)->isEnabled());
        Frame().Execute(C::ClearTracks);
        QVERIFY(!Panel().HasTracks());

        std::wstring message;
        program_->App->UserInterface().SetMessageSink([&](const std::wstring& text, const std::wstring&) { message = text; });
        Frame().SetTrackChooser([this] { return pictures_.filePath(QDir(pictures_.path()).entryList(QDir::Files)[0]); });
        QSignalSpy failed(&Panel(), &CMapPanel::TrackFailed);
        Frame().Execute(C::ShowTrack);
        QVERIFY(failed.wait(10000));
        QVERIFY(message.find(L"cannot be shown") != std::wstring::npos);
        QVERIFY(!Panel().HasTracks());
        program_->App->UserInterface().SetMessageSink(nullptr);
    }

    void tileSettingsOnTheOptions()
    {
        CMemorySettingsStore settings;
        CGeneralPage page(settings, CommandId::LookBlue, 0);
        QCOMPARE(page.mapTileUrl->text(), QString::fromStdWString(DefaultString("MapTileUrl")));
        QCOMPARE(page.mapAttribution->text(), QStringLiteral("\u00a9 OpenStreetMap contributors"));
        QCOMPARE(page.mapCacheMB->value(), 500);
        page.mapTileUrl->setText(QStringLiteral("ftp://tiles.example/{z}/{x}/{y}.png"));
        QVERIFY(!page.Refusal().isEmpty());
        page.mapTileUrl->setText(QStringLiteral("  https://tiles.example/{z}/{x}/{y}.png?key=abc "));
        page.mapAttribution->setText(QStringLiteral("\u00a9 Example"));
        page.mapCacheMB->setValue(200);
        QVERIFY(page.Refusal().isEmpty());
        page.WriteSettings();
        QCOMPARE(settings.GetString("MapTileUrl", L""), std::wstring(L"https://tiles.example/{z}/{x}/{y}.png?key=abc"));
        QCOMPARE(settings.GetString("MapAttribution", L""), std::wstring(L"\u00a9 Example"));
        QCOMPARE(settings.GetInt("MapCacheMB", 0), 200);
    }

    void theAttributionIsAlwaysShown()
    {
        QCOMPARE(Map().Attribution(), QStringLiteral("\u00a9 OpenStreetMap contributors"));
        CQtSettingsStore store;
        store.SetString("MapAttribution", L"   ");  // a blank attribution would hide where the tiles come from
        Panel().ApplyTileSettings();
        QCOMPARE(Map().Attribution(), QStringLiteral("\u00a9 OpenStreetMap contributors"));
        store.SetString("MapAttribution", L"\u00a9 Example Tiles");
        Panel().ApplyTileSettings();
        QCOMPARE(Map().Attribution(), QStringLiteral("\u00a9 Example Tiles"));
        store.SetString("MapAttribution", L"");
    }
};

QTEST_MAIN(MapPanelTest)
#include "MapPanelTest.moc"
