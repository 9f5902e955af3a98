#include "PlaceSearch.h"

#include <QCoreApplication>
#include <memory>

#include "PlaceNames.h"
#include "PlacesIndexFile.h"
#include "ServiceRefusal.h"

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("Geocoding", text);
}

PlaceMatch FromService(const CGeoNameLocation& place)
{
    PlaceMatch match;
    match.Name = QString::fromStdWString(place.name.empty() ? place.toponymName : place.name);
    match.Division = QString::fromStdWString(place.adminName1);
    match.CountryCode = QString::fromStdWString(place.countryCode);
    match.Country = LocalCountryName(match.CountryCode);
    if (match.Country.isEmpty()) match.Country = QString::fromStdWString(place.countryName);
    match.Lat = place.lat;
    match.Lng = place.lng;
    return match;
}

// The service's places; false (with `problem`) when it could not answer.
bool SearchService(const CGeoNamesService& service, const QString& query, int maxRows,
                   std::vector<PlaceMatch>& places, QString& problem)
{
    CGeoNames* raw = nullptr;
    const std::error_code error = CReverseGeoCode::SearchPlaces(service, &raw, query.toStdWString(), maxRows);
    std::unique_ptr<CGeoNames> names(raw);
    if (error) {
        problem = error == OstrelErrc::NoAccount ? Tr("no GeoNames account is set")
                                                 : Tr("GeoNames could not be reached: %1")
                                                       .arg(QString::fromStdString(error.message()));
        return false;
    }
    if (!names) {
        problem = Tr("the GeoNames service gave an answer that is not a GeoNames answer");
        return false;
    }
    if (names->hasStatus) {
        problem = RefusalText(ClassifyRefusal(names->statusValue, names->statusMessage),
                              QString::fromStdWString(service.user), names->statusMessage);
        return false;
    }
    for (const CGeoNameLocation* place : names->locations)
        if (place && static_cast<int>(places.size()) < maxRows) places.push_back(FromService(*place));
    return true;
}

}  // namespace

PlaceSearchResult SearchOfflinePlaces(const QString& query, int maxRows, const QString& indexPath)
{
    PlaceSearchResult result;
    result.Offline = true;
    std::error_code error;
    const auto index = OpenPlacesIndex(indexPath, &error);
    if (!index) {
        result.Problem = PlacesIndexProblem(error);
        return result;
    }
    for (const COfflinePlace& place : index->FindByName(PlaceSearchKey(query.trimmed()), static_cast<size_t>(maxRows))) {
        PlaceMatch match;
        match.Name = QString::fromStdWString(place.name);
        match.Division = QString::fromStdWString(place.division);
        match.CountryCode = QString::fromStdWString(place.countryCode);
        match.Country = LocalCountryName(match.CountryCode);
        match.Lat = place.lat;
        match.Lng = place.lng;
        result.Places.push_back(match);
    }
    return result;
}

PlaceSearchResult CPlaceSearch::Search(const QString& query, int maxRows)
{
    const QString name = query.trimmed();
    if (name.isEmpty() || maxRows <= 0) return {};
    const GeocodingConfig config = config_ ? config_() : GeocodingConfig();
    QString problem;
    if (config.Source == AddressSource::Online) {
        PlaceSearchResult online;
        if (SearchService(config.Service, name, maxRows, online.Places, online.Problem)) return online;
        problem = online.Problem;
    }
    PlaceSearchResult offline = SearchOfflinePlaces(name, maxRows, config.PlacesIndexPath);
    if (!problem.isEmpty())
        offline.Problem = offline.Problem.isEmpty() ? problem : problem + QStringLiteral("; ") + offline.Problem;
    return offline;
}
