// The map against a tile server on 127.0.0.1: each tile is asked for once
// and then served from memory or the disk cache, never more than two
// connections at once, refused or broken tiles are blank, and with the
// server down the drawn world map stays.
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include "MapWidget.h"
#include "TrackGeometry.h"
#include "TileLoader.h"
#include "TileServer.h"
#include "WorldMap.h"
#include "WorldMapTiles.h"

using namespace WebMercator;

namespace {

std::vector<TileId> VisibleTiles(const CMapWidget& map)
{
    const TileRange range = map.Viewport().VisibleTiles();
    const int count = TileCount(range.Zoom);
    std::vector<TileId> tiles;
    for (int y = range.FirstY; y <= range.LastY; ++y)
        for (int x = range.FirstX; x <= range.LastX; ++x) {
            const TileId tile{range.Zoom, ((x % count) + count) % count, y};
            if (std::find(tiles.begin(), tiles.end(), tile) == tiles.end()) tiles.push_back(tile);
        }
    return tiles;
}

bool AllSettled(const CMapWidget& map, const CTileLoader& loader)
{
    for (const TileId& tile : VisibleTiles(map)) {
        const CTileLoader::State state = loader.StateOf(tile);
        if (state == CTileLoader::State::Missing || state == CTileLoader::State::Pending) return false;
    }
    return true;
}

// The colour in the middle of the part of a tile the widget shows.
QColor ColorAtTile(CMapWidget& map, const TileId& tile)
{
    const double count = TileCount(tile.Zoom);
    const ScreenPoint corner = map.Viewport().ToScreen({tile.X / count, tile.Y / count});
    const QRect shown = QRect(static_cast<int>(corner.X), static_cast<int>(corner.Y), TileSize, TileSize) & map.rect();
    return map.grab().toImage().pixelColor(shown.center());
}

bool Near(const QColor& a, const QColor& b) { return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) <= 6; }

struct Map {
    CTileLoader Loader;
    CMapWidget Widget;
    Map(const QString& url, const QString& cache, CWorldMapTiles* world = nullptr, QSize size = {600, 400})
        : Loader({url, cache, 50LL << 20}), Widget(&Loader, world)
    {
        Widget.resize(size);
        Widget.Viewport().SetSize(size.width(), size.height());
    }
    void Show(int zoom, GeoPoint centre)
    {
        Widget.Viewport().SetZoom(zoom);
        Widget.Viewport().SetCenter(centre);
        Widget.show();
    }
};

}  // namespace

class MapTilesTest : public QObject {
    Q_OBJECT

private slots:
    void eachTileIsAskedForOnceThenServedFromTheCaches()
    {
        CTileServer server;
        QVERIFY(server.Listen());
        QTemporaryDir cache;
        std::vector<TileId> first;
        {
            Map map(server.UrlTemplate(), cache.path());
            map.Show(4, {45, 10});
            QTRY_VERIFY_WITH_TIMEOUT(AllSettled(map.Widget, map.Loader), 10000);
            first = VisibleTiles(map.Widget);
            for (const TileId& t : first) {
                QCOMPARE(map.Loader.StateOf(t), CTileLoader::State::Ready);
                QCOMPARE(server.RequestsFor(t.Zoom, t.X, t.Y), 1);
                QVERIFY(Near(ColorAtTile(map.Widget, t), CTileServer::ColorOf(t.Zoom, t.X, t.Y)));
            }
            QCOMPARE(server.Requests(), static_cast<int>(first.size()));
            // Away and back by the keyboard: the tiles seen before are not asked for again.
            for (int i = 0; i < 6; ++i) QTest::keyClick(&map.Widget, Qt::Key_Left);
            QTRY_VERIFY_WITH_TIMEOUT(AllSettled(map.Widget, map.Loader), 10000);
            for (int i = 0; i < 6; ++i) QTest::keyClick(&map.Widget, Qt::Key_Right);
            QTRY_VERIFY_WITH_TIMEOUT(AllSettled(map.Widget, map.Loader), 10000);
            for (const TileId& t : first) QCOMPARE(server.RequestsFor(t.Zoom, t.X, t.Y), 1);
        }
        // A new map (a new run of the program) finds every tile in the disk cache.
        const int before = server.Requests();
        Map again(server.UrlTemplate(), cache.path());
        again.Show(4, {45, 10});
        QTRY_VERIFY_WITH_TIMEOUT(AllSettled(again.Widget, again.Loader), 10000);
        for (const TileId& t : first) QCOMPARE(again.Loader.StateOf(t), CTileLoader::State::Ready);
        QCOMPARE(server.Requests(), before);
        // Named as the tile usage policy asks.
        QVERIFY(server.UserAgent().startsWith("Corvane/" CORVANE_VERSION));
    }

    void neverMoreThanTwoConnectionsAtOnce()
    {
        CTileServer server;
        QVERIFY(server.Listen());
        QTemporaryDir cache;
        Map map(server.UrlTemplate(), cache.path(), nullptr, {1600, 1000});
        map.Show(5, {20, 0});
        QVERIFY(VisibleTiles(map.Widget).size() >= 35);
        QTRY_VERIFY_WITH_TIMEOUT(AllSettled(map.Widget, map.Loader), 20000);
        QCOMPARE(server.Requests(), static_cast<int>(VisibleTiles(map.Widget).size()));
        QVERIFY(server.MostConnectionsAtOnce() >= 1);
        QVERIFY2(server.MostConnectionsAtOnce() <= CTileLoader::MaxConnections,
                 qPrintable(QString::number(server.MostConnectionsAtOnce())));
    }

    void refusedAndBrokenTilesAreBlankAndNotAskedForAgain()
    {
        CTileServer server;
        QVERIFY(server.Listen());
        server.SetAnswer([](int, int x, int y) {
            const int kind = (x + y) % 3;
            return kind == 0 ? CTileServer::Answer::NotFound : kind == 1 ? CTileServer::Answer::Garbage : CTileServer::Answer::Tile;
        });
        QTemporaryDir cache;
        Map map(server.UrlTemplate(), cache.path());
        map.Show(3, {0, 0});
        QTRY_VERIFY_WITH_TIMEOUT(AllSettled(map.Widget, map.Loader), 10000);
        int blank = 0;
        for (const TileId& t : VisibleTiles(map.Widget)) {
            const bool good = (t.X + t.Y) % 3 == 2;
            QCOMPARE(map.Loader.StateOf(t), good ? CTileLoader::State::Ready : CTileLoader::State::Blank);
            QVERIFY(Near(ColorAtTile(map.Widget, t), good ? CTileServer::ColorOf(t.Zoom, t.X, t.Y) : CMapWidget::BlankTile));
            blank += good ? 0 : 1;
        }
        QVERIFY(blank > 0);
        const int before = server.Requests();
        QTest::keyClick(&map.Widget, Qt::Key_Up);
        QTest::keyClick(&map.Widget, Qt::Key_Down);
        QTRY_VERIFY_WITH_TIMEOUT(AllSettled(map.Widget, map.Loader), 10000);
        QCOMPARE(server.Requests(), before);
    }

    void decodingRefusesWhatIsNoTile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("<html>rate limited</html>");
        QByteArray png;
        QBuffer out(&png);
        out.open(QIODevice::WriteOnly);
        QImage(256, 256, QImage::Format_RGB32).save(&out, "PNG");
        QTest::newRow("cut short") << png.left(png.size() / 2);
        QByteArray huge;
        QBuffer hugeOut(&huge);
        hugeOut.open(QIODevice::WriteOnly);
        QImage(CTileLoader::MaxTileSide + 1, 8, QImage::Format_RGB32).save(&hugeOut, "PNG");
        QTest::newRow("larger than any tile") << huge;
    }

    void decodingRefusesWhatIsNoTile()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(CTileLoader::Decode(bytes).isNull());
    }

    void withTheServerDownTheDrawnWorldMapStays()
    {
        QVERIFY2(QFileInfo::exists(CORVANE_WORLDMAP),
                 "the world map was not converted at build time (data/worldmap): " CORVANE_WORLDMAP);
        auto world = std::make_shared<CWorldMap>();
        std::string error;
        QVERIFY2(world->Load(CORVANE_WORLDMAP, &error), error.c_str());
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const QString url = QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(closed.serverPort());
        closed.close();
        CWorldMapTiles worldTiles(world);
        QTemporaryDir cache;
        Map map(url, cache.path(), &worldTiles);
        map.Show(5, {48.8566, 2.3522});
        QTRY_VERIFY_WITH_TIMEOUT(AllSettled(map.Widget, map.Loader), 10000);
        for (const TileId& t : VisibleTiles(map.Widget)) QCOMPARE(map.Loader.StateOf(t), CTileLoader::State::Unreachable);
        const auto colorAt = [&](double lat, double lon) {
            const ScreenPoint s = map.Widget.Viewport().ToScreen(Project({lat, lon}));
            return map.Widget.grab().toImage().pixelColor(static_cast<int>(s.X), static_cast<int>(s.Y));
        };
        // The world map's tiles are drawn on a worker thread and appear when ready.
        QTRY_VERIFY_WITH_TIMEOUT(Near(colorAt(48.8566, 2.3522), CWorldMapTiles::Land), 10000);  // Paris
        QTRY_VERIFY_WITH_TIMEOUT(Near(colorAt(47.0, -6.0), CWorldMapTiles::Sea), 10000);        // Bay of Biscay
    }

    void aTrackAcrossTheAntimeridianIsDrawnUnbroken()
    {
        // Fiji to Samoa along 17 S, drawn with the map centred on 180.
        CMapWidget map(nullptr, nullptr);
        map.resize(600, 400);
        map.Viewport().SetSize(600, 400);
        map.CenterOn({-17.0, 180.0}, 5);
        auto track = std::make_shared<CTrackGeometry>();
        track->Build({{{-17.0, 175.0}, {-17.0, 179.0}, {-17.0, -179.0}, {-17.0, -175.0}}});
        map.SetTracks(track);
        const QImage image = map.grab().toImage();
        const int y = static_cast<int>(map.Viewport().ToScreen(Project({-17.0, 0})).Y);
        const QColor sea = image.pixelColor(300, y + 40);
        // Every column between 176 E and 176 W carries the line.
        const int from = static_cast<int>(map.Viewport().ToScreen(Project({-17.0, 176.0})).X);
        const int to = static_cast<int>(map.Viewport().ToScreen(Project({-17.0, -176.0})).X);
        QVERIFY(from < 300 && to > 300);
        for (int x = from; x <= to; ++x) QVERIFY2(image.pixelColor(x, y) != sea, qPrintable(QString::number(x)));
        // Nothing across the rest of the world at that latitude.
        QCOMPARE(image.pixelColor(5, y), sea);
    }

    void templates()
    {
        QCOMPARE(CTileLoader::TileUrl(QStringLiteral("https://t.example/{z}/{x}/{y}.png"), {3, -1, 2}),
                 QStringLiteral("https://t.example/3/7/2.png"));
        QCOMPARE(CTileLoader::TileUrl(QStringLiteral("http://{s}.t.example/{z}/{x}/{y}"), {2, 1, 1}),
                 QStringLiteral("http://c.t.example/2/1/1"));
        QVERIFY(CTileLoader::CheckTemplate(QString()).isEmpty());
        QVERIFY(CTileLoader::CheckTemplate(QStringLiteral("https://tile.example/{z}/{x}/{y}.png?key=1")).isEmpty());
        QVERIFY(!CTileLoader::CheckTemplate(QStringLiteral("ftp://tile.example/{z}/{x}/{y}.png")).isEmpty());
        QVERIFY(!CTileLoader::CheckTemplate(QStringLiteral("https://tile.example/{z}/{x}.png")).isEmpty());
        QVERIFY(!CTileLoader::CheckTemplate(QStringLiteral("tile.example/{z}/{x}/{y}")).isEmpty());
    }
};

QTEST_MAIN(MapTilesTest)
#include "MapTilesTest.moc"
