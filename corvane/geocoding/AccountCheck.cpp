#include "AccountCheck.h"

#include <QCoreApplication>
#include <memory>

#include "ServiceRefusal.h"

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("Geocoding", text);
}

// A place that always has neighbours: the answer is small and costs one credit.
constexpr double kProbeLat = 47.3769, kProbeLng = 8.5417;

}  // namespace

AccountCheck CheckGeoNamesAccount(const CGeoNamesService& service)
{
    if (service.user.empty()) return {AccountState::NoAccount, Tr("no account given")};
    CGeoNames* raw = nullptr;
    const std::error_code error = CReverseGeoCode::GetNearbyLocation(service, &raw, kProbeLat, kProbeLng, SHORT, 1, 1);
    std::unique_ptr<CGeoNames> names(raw);
    if (error) return {AccountState::Unreachable, QString::fromStdString(error.message())};
    if (!names) return {AccountState::Unreachable, Tr("the answer is not a GeoNames answer")};
    if (!names->hasStatus) return {AccountState::Works, Tr("works")};
    switch (const RefusalKind kind = ClassifyRefusal(names->statusValue, names->statusMessage)) {
    case RefusalKind::UnknownAccount: return {AccountState::UnknownAccount, Tr("unknown account")};
    case RefusalKind::NotEnabled: return {AccountState::NotEnabled, Tr("web services not enabled for this account")};
    default:
        return {AccountState::Refused,
                RefusalText(kind, QString::fromStdWString(service.user), names->statusMessage)};
    }
}
