// The map's search box over the address source's place search: the search
// (which may wait for the service up to its deadline) runs on a worker
// thread, and its answer comes back on the window's thread.
#pragma once

#include <QObject>
#include <memory>

#include "MapPlaceSearch.h"

class IPlaceSearch;

class CMapPlaceSearchAdapter : public QObject, public IMapPlaceSearch {
    Q_OBJECT
public:
    CMapPlaceSearchAdapter(std::shared_ptr<IPlaceSearch> search, QObject* parent = nullptr);
    void Search(const std::wstring& query, Done done) override;

private:
    std::shared_ptr<IPlaceSearch> search_;
};
