// Address retrieval: the nearby-place service asked picture by picture, the
// answers applied as one undoable metadata change.
#include <memory>

#include "ConnectionCheck.h"
#include "CorvaneDoc.h"
#include "GeoTagFile.h"
#include "ImageMetadataManipulationOperation.h"
#include "ReverseGeoCode.h"
#include "StringUtil.h"

namespace {

const wchar_t* const kGeocodeContent =
    L"The application is reverse geocoding (retrieving address information) for the selected picture(s)";
const wchar_t* const kOfflineText =
    L"This computer is not connected to internet. Please make sure the internet connection works and then try again.";
const wchar_t* const kOfflineCaption = L"No Internet Connection";
const wchar_t* const kMissingCaption = L"Missing Address Information";
const wchar_t* const kNoneHaveAddress =
    L"None of the selected pictures have address information and your system is not connected to internet to "
    L"retrieve their address information";
const wchar_t* const kSomeLackAddress =
    L"Some of the selected pictures don't have address information and your system is not connected to internet to "
    L"retrieve their address information. Proceed with the stamping (and ignore pictures which don't have address "
    L"information)?";
const wchar_t* const kRefusedCaption = L"Address Service";

bool HasAddress(const CGPSMetadataInfo* r)
{
    return r && (r->SubLocation || r->City || r->ProvinceState || r->CountryName);
}

void AddTextEntry(std::vector<std::unique_ptr<UpdateEntry>>& entries, GeoField field, const std::wstring* text)
{
    if (!text) return;
    auto e = std::make_unique<UpdateEntry>();
    e->Field = field;
    e->SetText(*text);
    entries.push_back(std::move(e));
}

}  // namespace

void CCorvaneDoc::ConfigureGeocoder() const
{
    CReverseGeoCode::SetServiceAddress(ReadStringSetting(settings_, "GeoNamesServer"));
    CReverseGeoCode::SetUserName(ReadStringSetting(settings_, "GeoNamesUser"));
}

std::string CCorvaneDoc::ConfiguredServiceHost() const
{
    return WideToUtf8(ReadStringSetting(settings_, "GeoNamesServer"));
}

HRESULT CCorvaneDoc::RetrieveAddress(int index, std::vector<std::unique_ptr<UpdateEntry>>& entries,
                                     std::wstring* refusal)
{
    if (index < 0 || index >= Count()) return E_INVALIDARG;
    PictureItem& item = Item(index);
    if (item.History.empty()) {
        auto record = ReadGeoTag(item.Path, nullptr, nullptr);
        if (!record) return E_FAIL;
        item.History.push_back(std::move(record));
    }
    CGPSMetadataInfo* current = item.Current();
    if (!current->Latitude || !current->Longitude) return E_FAIL;
    const double lat = CGPSMetadataInfo::CoordinateToDecimal(*current->Latitude);
    const double lng = CGPSMetadataInfo::CoordinateToDecimal(*current->Longitude);
    CGeoNames* names = nullptr;
    const std::error_code status = CReverseGeoCode::GetNearbyLocation(&names, lat, lng, FULL, 5, 10);
    std::unique_ptr<CGeoNames> list(names);
    if (status) return E_FAIL;
    if (list && list->hasStatus && refusal && refusal->empty()) *refusal = list->statusMessage;
    auto found = std::make_unique<CGPSMetadataInfo>();
    if (!CReverseGeoCode::GetGeoNamesInfo(list.get(), found.get())) return S_OK;
    AddTextEntry(entries, LocationField, found->SubLocation);
    AddTextEntry(entries, CityField, found->City);
    AddTextEntry(entries, StateField, found->ProvinceState);
    AddTextEntry(entries, CountryField, found->CountryName);
    // The country code goes straight into the current version; undo keeps it.
    if (found->CountryName && found->CountryCode) SetField(current->CountryCode, *found->CountryCode);
    return S_OK;
}

void CCorvaneDoc::RunReverseGeocoding(const std::vector<int>& indices)
{
    if (indices.empty()) return;
    ConfigureGeocoder();
    std::vector<int> changed;
    std::vector<MetadataChange> changes;
    std::wstring refusal;
    ui_.Runner().Run(kGeocodeContent, static_cast<int>(indices.size()), [&](int& position) {
        if (position < 0 || position >= static_cast<int>(indices.size())) return S_OK;
        std::vector<std::unique_ptr<UpdateEntry>> entries;
        const HRESULT hr = RetrieveAddress(indices[static_cast<size_t>(position)], entries, &refusal);
        if (SUCCEEDED(hr) && !entries.empty()) {
            changed.push_back(indices[static_cast<size_t>(position)]);
            changes.push_back({std::make_unique<CImageMetadataManipulationOperation>(), std::move(entries)});
        }
        return S_OK;
    });
    ApplyMetadataChange(changed, std::move(changes));
    // The service said why it answered nothing (unknown account, limit reached): say so once.
    if (!refusal.empty())
        ui_.ShowMessage(L"The address service refused the request: " + refusal, kRefusedCaption, MessageIcon::Warning);
}

bool CCorvaneDoc::ReverseGeocode(const std::vector<int>& indices)
{
    if (Count() == 0) return true;
    const bool online = connectionCheck_ ? connectionCheck_() : CanConnectTo(ConfiguredServiceHost());
    if (!online) {
        ui_.ShowMessage(kOfflineText, kOfflineCaption, MessageIcon::Information);
        return false;
    }
    RunReverseGeocoding(indices);
    return true;
}

bool CCorvaneDoc::EnsureAddresses(const std::vector<int>& indices)
{
    const bool online = connectionCheck_ ? connectionCheck_() : CanConnectTo(ConfiguredServiceHost());
    std::vector<int> without;
    for (int index : indices) {
        if (index < 0 || index >= Count()) continue;
        PictureItem& item = Item(index);
        if (item.History.empty())
            if (auto record = ReadGeoTag(item.Path, nullptr, nullptr)) item.History.push_back(std::move(record));
        if (!HasAddress(item.Current())) without.push_back(index);
    }
    if (!online) {
        if (without.empty()) return true;
        if (without.size() == indices.size()) {
            ui_.ShowMessage(kNoneHaveAddress, kMissingCaption, MessageIcon::Information);
            return false;
        }
        return ui_.AskYesNo(kMissingCaption, L"", kSomeLackAddress, MessageIcon::Warning) == kAnswerYes;
    }
    if (!without.empty()) RunReverseGeocoding(without);
    return true;
}
