// Repaints of a 1600 x 1000 map showing 10,000 picture markers and a
// 500,000-point track, after pans and zooms, offscreen. Each repaint is
// timed once the tiles it needs are ready (the world map's tiles stand in
// for a tile server's: they are drawn the same way), so every repaint draws
// everything. Prints the time to prepare the track and the markers, the
// memory the track's drawing holds, and repaint times per zoom level.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <time.h>

#include "MapWidget.h"
#include "WorldMap.h"
#include "WorldMapTiles.h"

using namespace WebMercator;

namespace {

constexpr int kWidth = 1600, kHeight = 1000;
constexpr int kMarkers = 10000;
constexpr size_t kTrackPoints = 500000;

long ResidentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// A drive of one point a second at about 15 m/s with slowly turning heading, from Lyon.
CTrackGeometry::Line MakeTrack(std::mt19937& random)
{
    std::normal_distribution<double> turn(0.0, 0.02);
    CTrackGeometry::Line line;
    line.reserve(kTrackPoints);
    double lat = 45.76, lon = 4.84, heading = 0.3;
    for (size_t i = 0; i < kTrackPoints; ++i) {
        line.push_back({lat, lon});
        heading += turn(random);
        const double metres = 15.0;
        lat += metres * std::cos(heading) / 111320.0;
        lon += metres * std::sin(heading) / (111320.0 * std::cos(lat * M_PI / 180.0));
        lat = std::clamp(lat, 36.0, 60.0);
    }
    return line;
}

// Pictures around a few towns along the way, and some scattered far and wide.
std::vector<MapMarker> MakeMarkers(std::mt19937& random, const CTrackGeometry::Line& track)
{
    std::uniform_int_distribution<size_t> along(0, track.size() - 1);
    std::normal_distribution<double> near(0.0, 0.01);
    std::uniform_real_distribution<double> lat(-50, 65), lon(-180, 180);
    std::vector<MapMarker> markers;
    for (int i = 0; i < kMarkers; ++i) {
        GeoPoint p;
        if (i % 10 == 0) {
            p = {lat(random), lon(random)};
        } else {
            const GeoPoint& t = track[along(random) / 5000 * 5000];
            p = {t.Latitude + near(random), t.Longitude + near(random)};
        }
        markers.push_back({i, Project(p)});
    }
    return markers;
}

void WaitForTiles(CWorldMapTiles& tiles, const CMapViewport& view)
{
    const TileRange range = view.VisibleTiles();
    const int count = TileCount(range.Zoom);
    for (;;) {
        bool ready = true;
        for (int y = range.FirstY; y <= range.LastY; ++y)
            for (int x = range.FirstX; x <= range.LastX; ++x)
                ready = !tiles.Tile({range.Zoom, ((x % count) + count) % count, y}).isNull() && ready;
        if (ready) return;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
}

// Processor time of this thread: steadier than elapsed time on a busy machine.
double ThreadMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double TimeRender(CMapWidget& map, QImage& canvas, double* cpu)
{
    QPainter painter(&canvas);
    QElapsedTimer timer;
    const double start = ThreadMs();
    timer.start();
    map.Render(painter);
    painter.end();
    const double elapsed = timer.nsecsElapsed() / 1e6;
    *cpu = ThreadMs() - start;
    return elapsed;
}

struct Stats {
    double Median = 0, P95 = 0, Max = 0;
};

Stats Summarise(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 95 / 100)], ms.back()};
}

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::mt19937 random(2026);
    auto world = std::make_shared<CWorldMap>();
    std::string error;
    if (!world->Load(CORVANE_WORLDMAP, &error)) std::fprintf(stderr, "no world map (%s): tiles are plain sea\n", error.c_str());
    CWorldMapTiles tiles(world->Empty() ? nullptr : world);
    CMapWidget map(nullptr, &tiles);
    map.resize(kWidth, kHeight);
    map.Viewport().SetSize(kWidth, kHeight);

    const CTrackGeometry::Line line = MakeTrack(random);
    const long before = ResidentKilobytes();
    QElapsedTimer timer;
    timer.start();
    auto track = std::make_shared<CTrackGeometry>();
    track->Build({line});
    const double trackMs = timer.nsecsElapsed() / 1e6;
    const long after = ResidentKilobytes();
    timer.restart();
    const std::vector<MapMarker> markers = MakeMarkers(random, line);
    map.SetMarkers(markers);
    const double markersMs = timer.nsecsElapsed() / 1e6;
    map.SetTracks(track);
    std::printf("track: %zu points prepared in %.0f ms; drawing data %.1f MB (resident growth %.1f MB)\n",
                track->PointCount(), trackMs, track->MemoryBytes() / 1048576.0, (after - before) / 1024.0);
    std::printf("markers: %d clustered for every zoom in %.0f ms\n", kMarkers, markersMs);
    std::printf("%-5s %-9s %-9s %-9s %-9s | %-11s %-11s %-11s | %-7s %s\n", "zoom", "median", "p95", "max", "cpu med",
                "tiles only", "+ markers", "+ track", "points", "clusters");

    QImage canvas(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    std::vector<double> all, allCpu, allTiles, allMarkers;
    const GeoPoint middle = line[line.size() / 2];
    for (int zoom = 2; zoom <= 18; ++zoom) {
        std::vector<double> ms, cpu, tilesOnly, withMarkers;
        map.CenterOn(middle, zoom);
        for (int step = 0; step < 24; ++step) {
            // Alternate pans and zoom steps (out and back in) about changing points.
            if (step % 6 == 5) {
                map.Viewport().ZoomAbout(zoom - 1, 400, 300);
                map.Viewport().ZoomAbout(zoom, 400, 300);
            } else {
                map.Viewport().PanBy(step % 2 ? 311 : -173, step % 3 ? 127 : -97);
            }
            WaitForTiles(tiles, map.Viewport());
            double c = 0, layer = 0;
            ms.push_back(TimeRender(map, canvas, &c));
            cpu.push_back(c);
            // The layers' shares, by processor time.
            map.SetTracks(nullptr);
            TimeRender(map, canvas, &layer);
            withMarkers.push_back(layer);
            map.SetMarkers({});
            TimeRender(map, canvas, &layer);
            tilesOnly.push_back(layer);
            map.SetMarkers(markers);
            map.SetTracks(track);
        }
        const Stats s = Summarise(ms), sc = Summarise(cpu), st = Summarise(tilesOnly), sm = Summarise(withMarkers);
        all.insert(all.end(), ms.begin(), ms.end());
        allCpu.insert(allCpu.end(), cpu.begin(), cpu.end());
        allTiles.insert(allTiles.end(), tilesOnly.begin(), tilesOnly.end());
        allMarkers.insert(allMarkers.end(), withMarkers.begin(), withMarkers.end());
        std::printf("%-5d %-9.2f %-9.2f %-9.2f %-9.2f | %-11.2f %-11.2f %-11.2f | %-7zu %zu\n", zoom, s.Median, s.P95,
                    s.Max, sc.Median, st.Median, sm.Median - st.Median, sc.Median - sm.Median, track->KeptAt(zoom),
                    map.Clusters().ClustersAt(zoom).size());
    }
    const Stats s = Summarise(all), sc = Summarise(allCpu);
    std::printf("all repaints, elapsed: median %.2f ms, p95 %.2f ms, max %.2f ms (target under 16 ms)\n", s.Median,
                s.P95, s.Max);
    std::printf("all repaints, processor: median %.2f ms, p95 %.2f ms, max %.2f ms\n", sc.Median, sc.P95, sc.Max);
    const double tilesMs = Summarise(allTiles).Median, markersMs2 = Summarise(allMarkers).Median;
    std::printf("median processor time by layer: tiles %.2f ms, markers %.2f ms, track %.2f ms\n", tilesMs,
                markersMs2 - tilesMs, sc.Median - markersMs2);
    return 0;
}
