// What the map's search box asks of a place search: a query in, places out.
// The answer may come at once or later (from another thread's work handed
// back to the caller's thread); a newer query makes older answers stale,
// and the box ignores them.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct MapPlace {
    std::wstring Name;
    std::wstring Country;
    double Latitude = 0;
    double Longitude = 0;
};

class IMapPlaceSearch {
public:
    virtual ~IMapPlaceSearch() = default;
    // `done` receives the places found, best first (none when nothing or an error),
    // on the thread that called Search, exactly once.
    using Done = std::function<void(std::vector<MapPlace> places)>;
    virtual void Search(const std::wstring& query, Done done) = 0;
};
