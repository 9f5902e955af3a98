// Address retrieval: each picture's address from the address cache, the
// GeoNames service or the offline places, the answers applied as one
// undoable metadata change.
#include <QString>
#include <memory>

#include "AddressCache.h"
#include "AddressLookup.h"
#include "ConnectionCheck.h"
#include "CorvaneDoc.h"
#include "GeoTagFile.h"
#include "GeocodingSettings.h"
#include "ImageMetadataManipulationOperation.h"
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
const wchar_t* const kServiceCaption = L"Address Service";

bool HasAddress(const CGPSMetadataInfo* r)
{
    return r && (r->SubLocation || r->City || r->ProvinceState || r->CountryName);
}

void AddTextEntry(std::vector<std::unique_ptr<UpdateEntry>>& entries, GeoField field,
                  const std::optional<std::wstring>& text)
{
    if (!text) return;
    auto e = std::make_unique<UpdateEntry>();
    e->Field = field;
    e->SetText(*text);
    entries.push_back(std::move(e));
}

}  // namespace

void CCorvaneDoc::SetAddressCachePath(const std::string& path)
{
    addressCachePath_ = path;
    addressCache_.reset();
}

std::unique_ptr<CAddressLookup> CCorvaneDoc::StartAddressLookup(bool& connected)
{
    GeocodingConfig config = ReadGeocodingConfig(settings_);
    if (!placesIndexPath_.empty()) config.PlacesIndexPath = QString::fromStdString(placesIndexPath_);
    if (config.Source == AddressSource::Online && config.Service.user.empty()) {
        // Asked once: the answer is kept in the settings.
        const std::wstring user = EffectiveAccount(ui_.AskGeoNamesAccount().value_or(std::wstring()));
        if (!user.empty()) {
            settings_.SetString("GeoNamesUser", user);
            config.Service.user = user;
        }
    }
    if (!addressCache_) addressCache_ = std::make_unique<CAddressCache>(QString::fromStdString(addressCachePath_));
    auto lookup = std::make_unique<CAddressLookup>(config, addressCache_.get());
    connected = true;
    if (lookup->UsesService()) {
        connected = connectionCheck_ ? connectionCheck_() : CanConnectTo(WideToUtf8(config.Service.address));
        if (!connected) lookup->GoOffline(QStringLiteral("this computer is not connected to internet"));
    }
    return lookup;
}

HRESULT CCorvaneDoc::RetrieveAddress(int index, std::vector<std::unique_ptr<UpdateEntry>>& entries,
                                     CAddressLookup& lookup)
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
    const AddressAnswer answer = lookup.Find(lat, lng);
    if (answer.Origin == AddressOrigin::NotAsked) return E_ABORT;
    if (!answer.Fields.Found()) return S_OK;
    AddTextEntry(entries, LocationField, answer.Fields.SubLocation);
    AddTextEntry(entries, CityField, answer.Fields.City);
    AddTextEntry(entries, StateField, answer.Fields.ProvinceState);
    AddTextEntry(entries, CountryField, answer.Fields.CountryName);
    // The country code goes straight into the current version; undo keeps it.
    if (answer.Fields.CountryName && answer.Fields.CountryCode) SetField(current->CountryCode, *answer.Fields.CountryCode);
    return S_OK;
}

void CCorvaneDoc::RunReverseGeocoding(const std::vector<int>& indices, CAddressLookup& lookup)
{
    if (indices.empty()) return;
    std::vector<int> changed;
    std::vector<MetadataChange> changes;
    int notAnswered = 0;
    const int count = static_cast<int>(indices.size());
    ui_.Runner().Run(kGeocodeContent, count, [&](int& position) {
        if (position < 0 || position >= count) return S_OK;
        std::vector<std::unique_ptr<UpdateEntry>> entries;
        const HRESULT hr = RetrieveAddress(indices[static_cast<size_t>(position)], entries, lookup);
        if (hr == E_ABORT) ++notAnswered;
        if (SUCCEEDED(hr) && !entries.empty()) {
            changed.push_back(indices[static_cast<size_t>(position)]);
            changes.push_back({std::make_unique<CImageMetadataManipulationOperation>(), std::move(entries)});
        }
        // Credits used up or the server overloaded: the rest would only be refused.
        if (lookup.Stopped()) {
            notAnswered += count - 1 - position;
            lookup.CountNotAsked(count - 1 - position);
            position = count;
        }
        return S_OK;
    });
    const int found = static_cast<int>(changed.size());
    ApplyMetadataChange(changed, std::move(changes));
    ReportAddressRun(lookup, found, notAnswered);
}

void CCorvaneDoc::ReportAddressRun(CAddressLookup& lookup, int found, int notAnswered)
{
    lastAddressRun_.Stopped = lookup.Stopped();
    lastAddressRun_.NotAnswered = notAnswered;
    lastAddressRun_.Summary = lookup.Summary().toStdWString();
    ui_.ShowStatus(lastAddressRun_.Summary);
    const RefusalKind refusal = lookup.Refusal();
    if (lookup.Stopped()) {
        const QString text =
            QStringLiteral("GeoNames stopped answering: %1. The addresses found before (%2) are kept as pending "
                           "changes; %3 picture(s) got none.")
                .arg(lookup.Problem())
                .arg(found)
                .arg(notAnswered);
        ui_.ShowMessage(text.toStdWString(), kServiceCaption, MessageIcon::Warning);
    } else if (refusal != RefusalKind::None) {
        // The service refused the account or the request: said once, after the run.
        const QString text = QStringLiteral("The address service refused the request: %1.").arg(lookup.Problem());
        ui_.ShowMessage(text.toStdWString(), kServiceCaption, MessageIcon::Warning);
    }
}

bool CCorvaneDoc::ReverseGeocode(const std::vector<int>& indices)
{
    if (Count() == 0) return true;
    bool connected = true;
    auto lookup = StartAddressLookup(connected);
    if (!lookup->CanAnswer()) {
        if (!connected)
            ui_.ShowMessage(kOfflineText, kOfflineCaption, MessageIcon::Information);
        else
            ui_.ShowMessage(L"No address can be found: " + lookup->Problem().toStdWString() + L".", kServiceCaption,
                            MessageIcon::Information);
        return false;
    }
    RunReverseGeocoding(indices, *lookup);
    return true;
}

bool CCorvaneDoc::EnsureAddresses(const std::vector<int>& indices)
{
    std::vector<int> without;
    for (int index : indices) {
        if (index < 0 || index >= Count()) continue;
        PictureItem& item = Item(index);
        if (item.History.empty())
            if (auto record = ReadGeoTag(item.Path, nullptr, nullptr)) item.History.push_back(std::move(record));
        if (!HasAddress(item.Current())) without.push_back(index);
    }
    if (without.empty()) return true;
    bool connected = true;
    auto lookup = StartAddressLookup(connected);
    if (!lookup->CanAnswer()) {
        if (without.size() == indices.size()) {
            ui_.ShowMessage(kNoneHaveAddress, kMissingCaption, MessageIcon::Information);
            return false;
        }
        return ui_.AskYesNo(kMissingCaption, L"", kSomeLackAddress, MessageIcon::Warning) == kAnswerYes;
    }
    RunReverseGeocoding(without, *lookup);
    return true;
}
