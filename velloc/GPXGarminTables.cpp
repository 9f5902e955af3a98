// The tables of the Garmin extension records: GPX extensions v3 and the
// TrackPointExtension of versions 1 and 2.
#include "GPXConversions.h"
#include "GPXDecoderTables.h"
#include "GPXNamespaces.h"
#include "StringUtil.h"

using namespace GPXDecoding;
using namespace std::string_view_literals;

// Garmin's TrackPointExtension of version 1 or 2, told apart from the v3
// record of the same name by its namespace.
bool CGPXDecoderTables::ReadTrackPointExtension(const std::wstring& uri, const std::wstring& name, GPXTrackPoint& owner)
{
    if (name != L"TrackPointExtension"sv)
        return false;
    const bool v1 = IsUri(uri, kTrackPointV1NamespaceView, trackPointV1Uri);
    if (!v1 && !IsUri(uri, kTrackPointV2NamespaceView, trackPointV2Uri))
        return false;
    auto record = ReadPlain<GPXGARTrackPointExtensionV2>(trackPointV2, trackPointV2Table,
                                                         v1 ? trackPointV1Namespaces : trackPointV2Namespaces);
    if (record)
        record->Version = v1 ? 1 : 2;
    Store(owner.garminTrackPointExtension, std::unique_ptr<GPXExtensions>(record.release()));
    return true;
}

void CGPXDecoderTables::BuildGarminPointTables()
{
    GPXMap& w = garWaypointTable;
    w.InsertUtf8TextHandler(L"Proximity", [this](std::string_view t) { SetDouble(garWaypoint->Proximity, t); });
    w.InsertUtf8TextHandler(L"Temperature", [this](std::string_view t) { SetDouble(garWaypoint->Temperature, t); });
    w.InsertUtf8TextHandler(L"Depth", [this](std::string_view t) { SetDouble(garWaypoint->Depth, t); });
    w.InsertSimpleHandler(L"DisplayMode",
                          TextHandler([this](const std::wstring& t) { garWaypoint->DisplayMode = DisplayModeFromWord(t); }));
    w.InsertComplexHandler(L"Categories",
                           [this](std::wstring) { return ReadElement(reader, categoriesTable, nullptr, &garminNamespaces); });
    w.InsertComplexHandler(L"Address", [this](std::wstring) {
        Store(garWaypoint->Address, ReadPlain<GPXGARAddress>(address, addressTable, garminNamespaces));
        return S_OK;
    });
    w.InsertComplexHandler(L"PhoneNumber", [this](std::wstring) {
        auto number = std::make_unique<GPXGARPhoneNumber>();
        CXAttributeList attributes;
        HRESULT hr;
        {
            Filling<GPXGARPhoneNumber> filling(phone, number.get());
            hr = ReadElement(reader, phoneTable, &attributes, &garminNamespaces);
        }
        if (FAILED(hr))
            return hr;
        for (const auto& attribute : attributes)
            if (attribute->localName == L"Category")
                number->Category = attribute->value;
        Append(garWaypoint->PhoneNumber, std::move(number));
        return S_OK;
    });
    w.InsertComplexHandler(L"Extensions", [this](std::wstring) { return Skip(garWaypoint->Extensions); });
    categoriesTable.InsertSimpleHandler(L"Category",
                                        TextHandler([this](const std::wstring& t) { garWaypoint->Categories.push_back(t); }));
    phoneTable.InsertSimpleHandler(L"PhoneNumber", TextHandler([this](const std::wstring& t) { phone->Number = t; }));

    GPXMap& a = addressTable;
    a.InsertSimpleHandler(L"StreetAddress", TextHandler([this](const std::wstring& t) {
                              (address->StreetAddress1.empty() ? address->StreetAddress1 : address->StreetAddress2) = t;
                          }));
    a.InsertSimpleHandler(L"City", TextHandler([this](const std::wstring& t) { address->City = t; }));
    a.InsertSimpleHandler(L"State", TextHandler([this](const std::wstring& t) { address->State = t; }));
    a.InsertSimpleHandler(L"Country", TextHandler([this](const std::wstring& t) { address->Country = t; }));
    a.InsertSimpleHandler(L"PostalCode", TextHandler([this](const std::wstring& t) { address->PostalCode = t; }));
    a.InsertComplexHandler(L"Extensions", [this](std::wstring) { return Skip(address->Extensions); });

    GPXMap& tp = garTrackPointTable;
    tp.InsertUtf8TextHandler(L"Temperature", [this](std::string_view t) { SetDouble(garTrackPoint->Temperature, t); });
    tp.InsertUtf8TextHandler(L"Depth", [this](std::string_view t) { SetDouble(garTrackPoint->Depth, t); });
    tp.InsertComplexHandler(L"Extensions", [this](std::wstring) { return Skip(garTrackPoint->Extensions); });
}

void CGPXDecoderTables::BuildGarminOtherTables()
{
    garRouteTable.InsertSimpleHandler(L"IsAutoNamed", TextHandler([this](const std::wstring& t) {
                                          garRoute->IsAutoNamed = EqualsNoCase(t, L"true") ? 1 : 0;
                                      }));
    garRouteTable.InsertSimpleHandler(L"DisplayColor",
                                      TextHandler([this](const std::wstring& t) { garRoute->DisplayColor = DisplayColorFromWord(t); }));
    garRouteTable.InsertComplexHandler(L"Extensions", [this](std::wstring) { return Skip(garRoute->Extensions); });

    GPXMap& rp = garRoutePointTable;
    rp.InsertSimpleHandler(L"Subclass", TextHandler([this](const std::wstring& t) { garRoutePoint->Subclass = t; }));
    rp.InsertComplexHandler(L"rpt", [this](std::wstring) {
        Append(garRoutePoint->rpt,
               ReadWithAttributes<GPXGARAutoRoutePoint>(autoPoint, autoPointTable, garminNamespaces,
                                                        [](GPXGARAutoRoutePoint& p, const std::wstring& name,
                                                           const AttributeValue& value) {
                                                            if (name == L"lat")
                                                                SetDouble(p.lat, value);
                                                            else if (name == L"lon")
                                                                SetDouble(p.lon, value);
                                                        }));
        return S_OK;
    });
    rp.InsertComplexHandler(L"Extensions", [this](std::wstring) { return Skip(garRoutePoint->Extensions); });
    autoPointTable.InsertSimpleHandler(L"Subclass", TextHandler([this](const std::wstring& t) { autoPoint->Subclass = t; }));

    garTrackTable.InsertSimpleHandler(L"DisplayColor",
                                      TextHandler([this](const std::wstring& t) { garTrack->DisplayColor = DisplayColorFromWord(t); }));
    garTrackTable.InsertComplexHandler(L"Extensions", [this](std::wstring) { return Skip(garTrack->Extensions); });
}

void CGPXDecoderTables::BuildTrackPointV2Table()
{
    GPXMap& x = trackPointV2Table;
    x.InsertUtf8TextHandler(L"atemp", [this](std::string_view t) { SetDouble(trackPointV2->atemp, t); });
    x.InsertUtf8TextHandler(L"wtemp", [this](std::string_view t) { SetDouble(trackPointV2->wtemp, t); });
    x.InsertUtf8TextHandler(L"depth", [this](std::string_view t) { SetDouble(trackPointV2->depth, t); });
    x.InsertUtf8TextHandler(L"hr", [this](std::string_view t) { SetUInt(trackPointV2->hr, t); });
    x.InsertUtf8TextHandler(L"cad", [this](std::string_view t) { SetUInt(trackPointV2->cad, t); });
    x.InsertUtf8TextHandler(L"speed", [this](std::string_view t) { SetDouble(trackPointV2->speed, t); });
    x.InsertUtf8TextHandler(L"course", [this](std::string_view t) { SetDouble(trackPointV2->course, t); });
    x.InsertUtf8TextHandler(L"bearing", [this](std::string_view t) { SetDouble(trackPointV2->bearing, t); });
    x.InsertComplexHandler(L"Extensions", [this](std::wstring) { return Skip(trackPointV2->Extensions); });
}
