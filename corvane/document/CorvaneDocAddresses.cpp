// Address retrieval: each picture's address from the address cache, the
// GeoNames service or the offline places, the answers applied as one
// undoable metadata change.
#include <QString>
#include <memory>

#include "AddressCache.h"
#include "AddressLookup.h"
#include "BusyRun.h"
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

// The update entries of the address fields found; false when there are none.
bool AddressEntries(const AddressFields& fields, std::vector<std::unique_ptr<UpdateEntry>>& entries)
{
    if (!fields.Found()) return false;
    AddTextEntry(entries, LocationField, fields.SubLocation);
    AddTextEntry(entries, CityField, fields.City);
    AddTextEntry(entries, StateField, fields.ProvinceState);
    AddTextEntry(entries, CountryField, fields.CountryName);
    return !entries.empty();
}

// One piece of slow work as a run of one step on the worker.
class COneCall : public IBackgroundLoop {
public:
    explicit COneCall(std::function<void()> work) : work_(std::move(work)) {}
    bool Prepare(int&) override { return true; }
    void Work(const std::atomic_bool&) override { work_(); }
    void Apply() override {}

private:
    std::function<void()> work_;
};

// The addresses of a run's pictures: the coordinates are taken from the
// records on the window's thread, the cache, the service and the offline
// places are asked on the worker, and the answers become update entries back
// on the window's thread. Cancel gives up the request in hand at once.
class CAddressRun : public IBackgroundLoop {
public:
    CAddressRun(CCorvaneDoc& doc, const std::vector<int>& indices, CAddressLookup& lookup, std::string cachePath)
        : doc_(doc), indices_(indices), lookup_(lookup), cachePath_(std::move(cachePath))
    {
    }

    std::vector<int> Changed;
    std::vector<MetadataChange> Changes;
    int NotAnswered = 0;

    bool Prepare(int& position) override
    {
        const int count = static_cast<int>(indices_.size());
        // Credits used up or the server overloaded: the rest would only be refused.
        if (lookup_.Stopped()) {
            NotAnswered += count - position;
            lookup_.CountNotAsked(count - position);
            position = count;
            return false;
        }
        index_ = indices_[static_cast<size_t>(position)];
        if (index_ < 0 || index_ >= doc_.Count()) return false;
        PictureItem& item = doc_.Item(index_);
        if (item.History.empty()) {
            auto record = ReadGeoTag(item.Path, nullptr, nullptr);
            if (!record) return false;
            item.History.push_back(std::move(record));
        }
        const CGPSMetadataInfo* current = item.Current();
        if (!current->Latitude || !current->Longitude) return false;
        lat_ = CGPSMetadataInfo::CoordinateToDecimal(*current->Latitude);
        lng_ = CGPSMetadataInfo::CoordinateToDecimal(*current->Longitude);
        return true;
    }

    void Work(const std::atomic_bool& cancelled) override
    {
        // The cache's database connection belongs to the thread that opens it: this one.
        if (!cache_) {
            cache_ = std::make_unique<CAddressCache>(QString::fromStdString(cachePath_));
            lookup_.SetCache(cache_.get());
        }
        lookup_.SetCancelFlag(&cancelled);
        answer_ = lookup_.Find(lat_, lng_);
        cancelled_ = cancelled.load();
    }

    void Apply() override
    {
        if (answer_.Origin == AddressOrigin::NotAsked) {
            if (!cancelled_) ++NotAnswered;
            return;
        }
        std::vector<std::unique_ptr<UpdateEntry>> entries;
        if (!AddressEntries(answer_.Fields, entries)) return;
        // The country code goes straight into the current version; undo keeps it.
        if (answer_.Fields.CountryName && answer_.Fields.CountryCode)
            SetField(doc_.Item(index_).Current()->CountryCode, *answer_.Fields.CountryCode);
        Changed.push_back(index_);
        Changes.push_back({std::make_unique<CImageMetadataManipulationOperation>(), std::move(entries)});
    }

    void WorkerDone() override
    {
        lookup_.SetCancelFlag(nullptr);
        lookup_.SetCache(nullptr);
        cache_.reset();
    }

private:
    CCorvaneDoc& doc_;
    const std::vector<int>& indices_;
    CAddressLookup& lookup_;
    std::string cachePath_;
    std::unique_ptr<CAddressCache> cache_;  // the worker's
    int index_ = -1;
    double lat_ = 0, lng_ = 0;
    AddressAnswer answer_;
    bool cancelled_ = false;
};

}  // namespace

void CCorvaneDoc::SetAddressCachePath(const std::string& path)
{
    addressCachePath_ = path;
}

std::unique_ptr<CAddressLookup> CCorvaneDoc::StartAddressLookup(bool& connected, bool& canAnswer)
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
    auto lookup = std::make_unique<CAddressLookup>(config, nullptr);  // the run opens the cache on its worker
    connected = true;
    canAnswer = false;
    // Connecting may take seconds and opening the offline places a moment:
    // neither on the window's thread.
    const std::string address = WideToUtf8(config.Service.address);
    COneCall check([&, lookup = lookup.get(), probe = connectionCheck_] {
        if (lookup->UsesService()) {
            connected = probe ? probe() : CanConnectTo(address);
            if (!connected) lookup->GoOffline(QStringLiteral("this computer is not connected to internet"));
        }
        canAnswer = lookup->CanAnswer();
    });
    CBusyRun run(*this);
    ui_.Runner().RunInBackground(kGeocodeContent, 1, check);
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
    if (!AddressEntries(answer.Fields, entries)) return S_OK;
    // The country code goes straight into the current version; undo keeps it.
    if (answer.Fields.CountryName && answer.Fields.CountryCode) SetField(current->CountryCode, *answer.Fields.CountryCode);
    return S_OK;
}

void CCorvaneDoc::RunReverseGeocoding(const std::vector<int>& indices, CAddressLookup& lookup)
{
    if (indices.empty() || busy_) return;
    CAddressRun run(*this, indices, lookup, addressCachePath_);
    {
        CBusyRun busy(*this);
        ui_.Runner().RunInBackground(kGeocodeContent, static_cast<int>(indices.size()), run);
    }
    // What was found before a Cancel is kept, as pending changes.
    const int found = static_cast<int>(run.Changed.size());
    ApplyMetadataChange(run.Changed, std::move(run.Changes));
    ReportAddressRun(lookup, found, run.NotAnswered);
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
    if (Count() == 0 || busy_) return true;
    bool connected = true, canAnswer = false;
    auto lookup = StartAddressLookup(connected, canAnswer);
    if (!canAnswer) {
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
    if (busy_) return false;
    bool connected = true, canAnswer = false;
    auto lookup = StartAddressLookup(connected, canAnswer);
    if (!canAnswer) {
        if (without.size() == indices.size()) {
            ui_.ShowMessage(kNoneHaveAddress, kMissingCaption, MessageIcon::Information);
            return false;
        }
        return ui_.AskYesNo(kMissingCaption, L"", kSomeLackAddress, MessageIcon::Warning) == kAnswerYes;
    }
    RunReverseGeocoding(without, *lookup);
    return true;
}
