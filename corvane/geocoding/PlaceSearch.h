// Finding a place by name, for the map's search box: the GeoNames search
// when addresses come from the service (same account, deadline and
// handling of failures), the offline places index when "Offline" is the
// source or the service cannot answer.
#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "GeocodingConfig.h"

struct PlaceMatch {
    QString Name;         // as GeoNames names the place
    QString Division;     // first-level division; empty where unknown
    QString Country;      // in the user's language where Qt knows it, else in English
    QString CountryCode;  // ISO 3166-1 alpha-2; empty where unknown
    double Lat = 0;       // signed decimal degrees
    double Lng = 0;
};

struct PlaceSearchResult {
    std::vector<PlaceMatch> Places;  // best first; empty when nothing matches
    bool Offline = false;            // the offline places index answered
    QString Problem;                 // why the service did not answer, or why nothing could; else empty
};

// What the map calls; tests put a fake in its place.
class IPlaceSearch {
public:
    virtual ~IPlaceSearch() = default;
    // At most `maxRows` places whose name matches `query` (a blank query
    // finds nothing). Blocks up to the service's deadline: call it off the
    // window's thread. Safe to call from several threads at once.
    virtual PlaceSearchResult Search(const QString& query, int maxRows = 10) = 0;
};

class CPlaceSearch : public IPlaceSearch {
public:
    // `config` is asked at every search, so changed settings apply at once.
    explicit CPlaceSearch(std::function<GeocodingConfig()> config) : config_(std::move(config)) {}
    PlaceSearchResult Search(const QString& query, int maxRows = 10) override;

private:
    std::function<GeocodingConfig()> config_;
};

// The offline half of a search, on its own.
PlaceSearchResult SearchOfflinePlaces(const QString& query, int maxRows, const QString& indexPath = QString());
