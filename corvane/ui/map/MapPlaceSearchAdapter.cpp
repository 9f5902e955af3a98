#include "MapPlaceSearchAdapter.h"

#include <QPointer>
#include <QString>
#include <QThreadPool>

#include "PlaceSearch.h"

namespace {

std::vector<MapPlace> ToMapPlaces(const PlaceSearchResult& result)
{
    std::vector<MapPlace> places;
    places.reserve(result.Places.size());
    for (const PlaceMatch& match : result.Places)
        places.push_back({match.Name.toStdWString(), match.Country.toStdWString(), match.Lat, match.Lng});
    return places;
}

}  // namespace

CMapPlaceSearchAdapter::CMapPlaceSearchAdapter(std::shared_ptr<IPlaceSearch> search, QObject* parent)
    : QObject(parent), search_(std::move(search))
{
}

void CMapPlaceSearchAdapter::Search(const std::wstring& query, Done done)
{
    // The search object is shared with the worker, so that a panel closed
    // meanwhile leaves it alive until the answer is dropped.
    QPointer<CMapPlaceSearchAdapter> self(this);
    std::shared_ptr<IPlaceSearch> search = search_;
    const QString text = QString::fromStdWString(query);
    QThreadPool::globalInstance()->start([self, search, text, done = std::move(done)]() mutable {
        std::vector<MapPlace> places = ToMapPlaces(search->Search(text));
        if (!self) return;
        QMetaObject::invokeMethod(
            self.data(),
            [done = std::move(done), places = std::move(places)]() mutable { done(std::move(places)); },
            Qt::QueuedConnection);
    });
}
