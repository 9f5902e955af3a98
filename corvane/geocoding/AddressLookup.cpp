#include "AddressLookup.h"

#include <QCoreApplication>
#include <QStringList>

#include "AddressCache.h"
#include "GPSMetadataInfo.h"
#include "PlaceNames.h"
#include "PlacesIndexFile.h"
#include "ReverseGeoCode.h"

namespace {

QString Tr(const char* text, int n = -1)
{
    return QCoreApplication::translate("Geocoding", text, nullptr, n);
}

}  // namespace

CAddressLookup::CAddressLookup(GeocodingConfig config, CAddressCache* cache)
    : config_(std::move(config)), cache_(cache), online_(config_.Source == AddressSource::Online),
      clock_([] { return QDateTime::currentDateTimeUtc(); })
{
    if (online_ && config_.Service.user.empty()) GoOffline(Tr("no GeoNames account is set"));
}

CAddressLookup::~CAddressLookup() = default;

const COfflinePlaces* CAddressLookup::OfflineIndex()
{
    if (!indexTried_) {
        indexTried_ = true;
        index_ = OpenPlacesIndex(config_.PlacesIndexPath, &indexError_);
    }
    return index_.get();
}

bool CAddressLookup::CanAnswer()
{
    return online_ || OfflineIndex();
}

void CAddressLookup::GoOffline(const QString& reason)
{
    if (online_ && offlineReason_.isEmpty()) offlineReason_ = reason;
    online_ = false;
}

AddressAnswer CAddressLookup::Find(double lat, double lng)
{
    // The service's earlier answers count also when it cannot be asked now.
    if (config_.Source == AddressSource::Online && cache_)
        if (auto cached = cache_->Find(QString::fromStdWString(config_.Service.address), lat, lng,
                                       clock_().toSecsSinceEpoch()))
            return Count({AddressOrigin::Cache, *cached});
    if (online_) {
        if (Stopped()) return Count({AddressOrigin::NotAsked, {}});
        AddressAnswer answer;
        if (FromService(lat, lng, answer)) return Count(answer);
        if (cancelled_ && cancelled_->load()) return {AddressOrigin::NotAsked, {}};
    }
    return Count(FromIndex(lat, lng));
}

// False when the service could not answer this picture: the index answers instead.
bool CAddressLookup::FromService(double lat, double lng, AddressAnswer& answer)
{
    CGeoNames* raw = nullptr;
    const std::error_code error =
        CReverseGeoCode::GetNearbyLocation(config_.Service, &raw, lat, lng, FULL, 5, 10, cancelled_);
    std::unique_ptr<CGeoNames> names(raw);
    if (error == OstrelErrc::Cancelled) return false;  // the user's doing: the service is not to blame
    if (error) {
        GoOffline(Tr("GeoNames could not be reached: %1").arg(QString::fromStdString(error.message())));
        return false;
    }
    if (!names) {
        GoOffline(Tr("the GeoNames service gave an answer that is not a GeoNames answer"));
        return false;
    }
    if (names->hasStatus) {
        refusal_ = ClassifyRefusal(names->statusValue, names->statusMessage);
        refusalMessage_ = names->statusMessage;
        refusedAt_ = clock_();
        if (StopsTheRun(refusal_)) {
            answer = {AddressOrigin::NotAsked, {}};
            return true;
        }
        if (refusal_ == RefusalKind::UnknownAccount || refusal_ == RefusalKind::NotEnabled) GoOffline(Problem());
        return false;
    }
    CGPSMetadataInfo record;
    CReverseGeoCode::GetGeoNamesInfo(names.get(), &record);
    answer = {AddressOrigin::Service, AddressFields::FromRecord(record)};
    if (cache_)
        cache_->Store(QString::fromStdWString(config_.Service.address), lat, lng, answer.Fields,
                      clock_().toSecsSinceEpoch());
    return true;
}

AddressAnswer CAddressLookup::FromIndex(double lat, double lng)
{
    const COfflinePlaces* index = OfflineIndex();
    if (!index) return {AddressOrigin::NotAsked, {}};
    AddressAnswer answer{AddressOrigin::OfflineIndex, {}};
    COfflinePlace place;
    if (!index->FindNearest(lat, lng, OfflineRadiusKm, place)) return answer;
    answer.Fields.City = place.name;
    if (!place.division.empty()) answer.Fields.ProvinceState = place.division;
    // English, as the service gives it: a folder geocoded partly on and
    // partly off line reads the same.
    const QString country = EnglishCountryName(QString::fromStdWString(place.countryCode));
    if (!country.isEmpty()) answer.Fields.CountryName = country.toStdWString();
    answer.Fields.CountryCode = place.countryCode;
    return answer;
}

AddressAnswer CAddressLookup::Count(AddressAnswer answer)
{
    if (answer.Origin == AddressOrigin::NotAsked)
        ++notAsked_;
    else if (!answer.Fields.Found())
        ++(answer.Origin == AddressOrigin::OfflineIndex ? farFromPlaces_ : without_);
    else if (answer.Origin == AddressOrigin::Service)
        ++fromService_;
    else if (answer.Origin == AddressOrigin::Cache)
        ++fromCache_;
    else
        ++fromIndex_;
    return answer;
}

QString CAddressLookup::Problem() const
{
    if (refusal_ != RefusalKind::None)
        return RefusalText(refusal_, QString::fromStdWString(config_.Service.user), refusalMessage_, refusedAt_);
    if (!offlineReason_.isEmpty()) return offlineReason_;
    if (indexTried_ && !index_) return PlacesIndexProblem(indexError_);
    return {};
}

QString CAddressLookup::Summary() const
{
    QStringList parts;
    if (fromService_) parts << Tr("%n from GeoNames", fromService_);
    if (fromCache_) parts << Tr("%n from the address cache", fromCache_);
    if (fromIndex_) parts << Tr("%n from the offline places", fromIndex_);
    if (without_) parts << Tr("%n without address", without_);
    if (farFromPlaces_) parts << Tr("%n without address (no place within 10 km)", farFromPlaces_);
    if (notAsked_) parts << Tr("%n not answered", notAsked_);
    const int total = fromService_ + fromCache_ + fromIndex_ + without_ + farFromPlaces_ + notAsked_;
    QString text = total == 0 ? Tr("No picture with coordinates to find an address for")
                              : Tr("Addresses of %n picture(s): ", total) + parts.join(QStringLiteral(", "));
    const QString problem = Problem();
    if (!problem.isEmpty()) text += QStringLiteral(" (") + problem + QStringLiteral(")");
    return text;
}
