// Addresses for a folder of pictures, timed in one run against peers:
//   - loading the offline places index against reading its bytes;
//   - the offline addresses of every picture (a document run) against
//     finding the same nearest places by brute force;
//   - a run answered by the address cache against the run that filled it
//     from a GeoNames stand-in on 127.0.0.1 (which counts the requests).
// Prints the figures and the resident memory the index takes.
//   bench-geocoding FOLDER   (FOLDER: pictures; their coordinates are set in memory)
#include <QCoreApplication>

// Qt uses the name U that the HTTP library would define as a macro.
#define _TURN_OFF_PLATFORM_STRING
#include <cpprest/http_listener.h>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>

#include "CorvaneDoc.h"
#include "PlacesIndexFile.h"
#include "TaskIteration.h"

namespace {

using Clock = std::chrono::steady_clock;

class QuietUserInterface : public IDocumentUserInterface {
public:
    int AskYesNo(const std::wstring&, const std::wstring&, const std::wstring&, MessageIcon) override
    {
        return kAnswerYes;
    }
    void ShowMessage(const std::wstring& text, const std::wstring&, MessageIcon) override
    {
        std::fprintf(stderr, "message: %ls\n", text.c_str());
    }
    void PostCommand(int) override {}
    void UpdateAllViews(const CMetadataManipulationUpdatePack&) override {}
    IStepRunner& Runner() override { return runner_; }
    void ShowStatus(const std::wstring& text) override { Status = text; }
    std::wstring Status;

private:
    CSynchronousStepRunner runner_;
};

double Milliseconds(Clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

long ResidentKilobytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::string(field).size());
    return -1;
}

template <typename F>
double Best(int runs, F f)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        f();
        best = std::min(best, Milliseconds(start));
    }
    return best;
}

GPSCoordinate Coordinate(double value, char positive, char negative)
{
    const double magnitude = std::fabs(value);
    GPSCoordinate c;
    c.Degrees = std::floor(magnitude);
    c.Minutes = std::floor((magnitude - c.Degrees) * 60);
    c.Seconds = ((magnitude - c.Degrees) * 60 - c.Minutes) * 60;
    c.Ref = value < 0 ? negative : positive;
    return c;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench-geocoding FOLDER\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    const std::string indexPath = DefaultPlacesIndexPath().toStdString();

    // 1. The index: load against reading its bytes.
    const long before = ResidentKilobytes("VmRSS:");
    COfflinePlaces index;
    const auto loadStart = Clock::now();
    if (index.Load(indexPath)) {
        std::fprintf(stderr, "bench-geocoding: no offline places index at %s\n", indexPath.c_str());
        return 1;
    }
    const double firstLoad = Milliseconds(loadStart);
    const long after = ResidentKilobytes("VmRSS:");
    const double load = Best(5, [&] { COfflinePlaces again; again.Load(indexPath); });
    const double read = Best(5, [&] {
        std::ifstream in(indexPath, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    });
    std::printf("index load: %.1f ms (first %.1f ms), reading its %zu places' bytes: %.1f ms, ratio %.2f\n", load,
                firstLoad, index.Count(), read, load / read);
    std::printf("index resident memory: %.1f MB\n", (after - before) / 1024.0);

    // The pictures, each placed near a random place (as a photographer's are).
    QuietUserInterface ui;
    CMemorySettingsStore settings;
    WriteDefaultSettings(settings);
    CCorvaneDoc doc(ui, settings);
    doc.OnNavigationComplete(argv[1]);
    doc.LoadFolder();
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> pick(0, index.Count() - 1);
    std::uniform_real_distribution<double> offset(-0.03, 0.03);
    std::vector<int> all;
    std::vector<std::pair<double, double>> points;
    for (int i = 0; i < doc.Count(); ++i) {
        CGPSMetadataInfo* record = doc.Item(i).Current();
        if (!record) continue;
        const COfflinePlace place = index.At(pick(random));
        const double lat = std::clamp(place.lat + offset(random), -90.0, 90.0);
        const double lng = std::clamp(place.lng + offset(random), -180.0, 180.0);
        SetField(record->Latitude, Coordinate(lat, 'N', 'S'));
        SetField(record->Longitude, Coordinate(lng, 'E', 'W'));
        all.push_back(i);
        points.emplace_back(lat, lng);
    }

    // 2. Offline addresses for every picture (index already loaded by the run before).
    settings.SetString("AddressSource", L"Offline");
    doc.ReverseGeocode(all);  // opens the shared index once
    for (int i = 0; i < static_cast<int>(all.size()); ++i) doc.Undo();
    const auto offlineStart = Clock::now();
    doc.ReverseGeocode(all);
    const double offline = Milliseconds(offlineStart);
    const std::wstring offlineStatus = ui.Status;
    const double lookups = Best(3, [&] {
        COfflinePlace p;
        for (const auto& [lat, lng] : points) index.FindNearest(lat, lng, 10, p);
    });
    std::vector<std::pair<double, double>> places;
    for (std::size_t i = 0; i < index.Count(); ++i) places.emplace_back(index.At(i).lat, index.At(i).lng);
    const auto bruteStart = Clock::now();
    double sum = 0;
    for (const auto& [lat, lng] : points) {
        double best = 1e300;
        for (const auto& [placeLat, placeLng] : places)
            best = std::min(best, COfflinePlaces::DistanceKm(lat, lng, placeLat, placeLng));
        sum += best;
    }
    const double brute = Milliseconds(bruteStart);
    if (sum < 0) std::printf("\n");  // keeps the loop
    std::printf("offline addresses of %zu pictures: %.1f ms (the lookups alone %.1f ms), brute force: %.0f ms, "
                "ratio %.4f\n  %ls\n",
                all.size(), offline, lookups, brute, offline / brute, offlineStatus.c_str());

    // 3. A run the cache answers, against the run that filled it.
    std::atomic<int> requests{0};
    web::http::experimental::listener::http_listener service("http://127.0.0.1:0/");
    int port = 0;
    for (int candidate = 39100; candidate < 39200 && !port; ++candidate) {
        try {
            service = web::http::experimental::listener::http_listener("http://127.0.0.1:" +
                                                                          std::to_string(candidate) + "/");
            service.support([&](web::http::http_request request) {
                ++requests;
                request.reply(web::http::status_codes::OK,
                              "<geonames><geoname><name>Stand-in</name><fcl>P</fcl><countryName>Nowhere</countryName>"
                              "<countryCode>XX</countryCode></geoname></geonames>",
                              "text/xml;charset=UTF-8");
            });
            service.open().wait();
            port = candidate;
        } catch (const std::exception&) {
        }
    }
    settings.SetString("AddressSource", L"Online");
    settings.SetString("GeoNamesUser", L"bench");
    settings.SetString("GeoNamesServer", L"http://127.0.0.1:" + std::to_wstring(port) + L"/");
    char cacheTemplate[] = "/tmp/bench-geocoding-XXXXXX";
    const std::string cacheDir = mkdtemp(cacheTemplate);
    doc.SetAddressCachePath(cacheDir + "/addresses.sqlite");
    doc.Undo();
    const auto onlineStart = Clock::now();
    doc.ReverseGeocode(all);
    const double online = Milliseconds(onlineStart);
    const int asked = requests.load();
    doc.Undo();
    const auto cachedStart = Clock::now();
    doc.ReverseGeocode(all);
    const double cached = Milliseconds(cachedStart);
    std::printf("the same pictures online (loopback stand-in, %d requests): %.0f ms; answered by the cache "
                "(%d requests): %.0f ms, ratio %.3f\n  %ls\n",
                asked, online, requests.load() - asked, cached, cached / online, ui.Status.c_str());
    service.close().wait();
    std::printf("peak resident memory of the whole run: %.1f MB\n", ResidentKilobytes("VmHWM:") / 1024.0);
    std::remove((cacheDir + "/addresses.sqlite").c_str());
    std::remove(cacheDir.c_str());
    return 0;
}
