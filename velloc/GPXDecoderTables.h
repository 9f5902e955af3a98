// The decoder's handler tables, one per GPX element type, built once per
// decoder: each handler works on the record that its reader is filling (held
// in a member that a reader sets for the time of its walk and then restores),
// so no table is built per element.
//
// Elements are matched by namespace and local name: the GPX tables read the
// elements of the GPX 1.1 and 1.0 namespaces (and of the root's own, for files
// that declare none), the Garmin tables those of their schema's namespace.
// An element of another namespace is skipped with all it holds, and an
// "extensions" element yields only the records read from children of the
// right namespace and name.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "ElementReader.h"
#include "GPXDecoderRecords.h"
#include "GPXMap.h"
#include "GPXModel.h"
#include "HResult.h"

class CXmlPullReader;

class CGPXDecoderTables {
public:
    explicit CGPXDecoderTables(CXmlPullReader& reader);
    CGPXDecoderTables(const CGPXDecoderTables&) = delete;
    CGPXDecoderTables& operator=(const CGPXDecoderTables&) = delete;

    // Walks the root element (the reader stands on its start tag) into
    // `root`; `rootNamespace` is the namespace the root element is in.
    HRESULT ReadRoot(GPXRoot& root, const std::wstring& rootNamespace);

    // A record of the Garmin GPX extensions v3 was read.
    bool ReadGarminRecords() const { return garminRecords; }
    // Points dropped because a coordinate is not a number within its range.
    std::size_t InvalidPoints() const { return invalidPoints; }
    // Times left out because they name a date the model cannot hold.
    std::size_t SkippedTimes() const { return skippedTimes; }

private:
    template <typename T, typename S>
    std::unique_ptr<T> ReadPlain(S*& slot, GPXMap& table, const CXmlNamespaceSet& namespaces);
    template <typename Apply>
    std::size_t ApplyAttributes(Apply apply);
    template <typename T, typename S, typename Apply>
    std::unique_ptr<T> ReadWithAttributes(S*& slot, GPXMap& table, const CXmlNamespaceSet& namespaces, Apply apply);
    template <typename Pick>
    HRESULT ReadExtensions(Pick pick);
    template <typename T>
    bool ReadGarmin(const std::wstring& uri, const std::wstring& name, const wchar_t* recordName,
                    GPXExtensions*& field, T*& slot, GPXMap& table);
    bool ReadTrackPointExtension(const std::wstring& uri, const std::wstring& name, GPXTrackPoint& owner);

    template <typename T>
    std::unique_ptr<T> ReadRouteTrack(T*& slot, GPXMap& table);
    std::unique_ptr<GPXLink> ReadLink();
    template <typename T>
    std::unique_ptr<T> ReadPoint(GPXMap& table);
    bool SetTime(GPXOptional<GPXTime>& field, double* fraction, std::string_view text);
    void SetPointTime(std::string_view text);
    // Skips the content of an element nothing of which is read.
    HRESULT Skip(GPXExtensions*& field);

    void BuildRootTables();
    void BuildPersonTables();
    void AddPointEntries(GPXMap& table);
    void BuildPointTables();
    void AddRouteTrackEntries(GPXMap& table);
    void BuildRouteTrackTables();
    void BuildGarminPointTables();
    void BuildGarminOtherTables();
    void BuildTrackPointV2Table();

    // True when `uri` is `expected`. The reader's names are lasting objects,
    // so the one found equal is remembered in `found` and known by address.
    static bool IsUri(const std::wstring& uri, std::wstring_view expected, const std::wstring*& found);

    CXmlPullReader& reader;
    std::wstring attributeValue;  // reused for every attribute
    const std::wstring* garminUri = nullptr;
    const std::wstring* trackPointV1Uri = nullptr;
    const std::wstring* trackPointV2Uri = nullptr;
    CXmlNamespaceSet gpxNamespaces;
    const CXmlNamespaceSet garminNamespaces;
    const CXmlNamespaceSet trackPointV1Namespaces;
    const CXmlNamespaceSet trackPointV2Namespaces;
    bool garminRecords = false;
    std::size_t invalidPoints = 0;
    std::size_t skippedTimes = 0;

    // The records being filled.
    GPXRoot* root = nullptr;
    GPXMetadata* metadata = nullptr;
    GPXPerson* person = nullptr;
    GPXLink* link = nullptr;
    GPXCopyright* copyright = nullptr;
    GPXWayPoint* point = nullptr;
    GPXRouteTrackBase* routeTrack = nullptr;
    GPXRoute* route = nullptr;
    GPXTrack* track = nullptr;
    GPXTrackSegment* segment = nullptr;
    GPXGARWaypointExtension* garWaypoint = nullptr;
    GPXGARRouteExtension* garRoute = nullptr;
    GPXGARRoutePointExtension* garRoutePoint = nullptr;
    GPXGARTrackExtension* garTrack = nullptr;
    GPXGARTrackPointExtension* garTrackPoint = nullptr;
    GPXGARTrackPointExtensionV2* trackPointV2 = nullptr;
    GPXGARAddress* address = nullptr;
    GPXGARPhoneNumber* phone = nullptr;
    GPXGARAutoRoutePoint* autoPoint = nullptr;

    GPXMap rootTable, metadataTable, personTable, emptyTable, linkTable, copyrightTable;
    GPXMap waypointTable, routePointTable, trackPointTable, routeTable, trackTable, segmentTable;
    GPXMap garWaypointTable, garRouteTable, garRoutePointTable, garTrackTable, garTrackPointTable;
    GPXMap categoriesTable, addressTable, phoneTable, autoPointTable, trackPointV2Table;
};

// The readers both table files use.
template <typename T, typename S>
std::unique_ptr<T> CGPXDecoderTables::ReadPlain(S*& slot, GPXMap& table, const CXmlNamespaceSet& namespaces)
{
    auto record = std::make_unique<T>();
    GPXDecoding::Filling<S> filling(slot, record.get());
    if (ReadElement(reader, table, nullptr, &namespaces) != S_OK)
        return nullptr;
    return record;
}

// Applies the current element's attributes (those not coming from a default,
// as ReadAttributes collects them) by local name, straight from the reader:
// no attribute list is built for every point. Returns how many were applied.
template <typename Apply>
std::size_t CGPXDecoderTables::ApplyAttributes(Apply apply)
{
    if (reader.AttributeCount() <= 0 || reader.MoveToFirstAttribute() != S_OK)
        return 0;
    std::size_t applied = 0;
    const GPXDecoding::AttributeValue value(reader, attributeValue);
    do {
        if (!reader.IsDefault()) {
            apply(reader.LocalName(), value);
            ++applied;
        }
    } while (reader.MoveToNextAttribute() == S_OK);
    reader.MoveToElement();
    return applied;
}

// A record is dropped when the walk failed, or ended the input on an element
// without attributes; otherwise its attributes are applied by local name.
template <typename T, typename S, typename Apply>
std::unique_ptr<T> CGPXDecoderTables::ReadWithAttributes(S*& slot, GPXMap& table, const CXmlNamespaceSet& namespaces,
                                                         Apply apply)
{
    auto record = std::make_unique<T>();
    const std::size_t attributes =
        ApplyAttributes([&](const std::wstring& name, const GPXDecoding::AttributeValue& value) { apply(*record, name, value); });
    HRESULT hr;
    {
        GPXDecoding::Filling<S> filling(slot, record.get());
        hr = ReadElement(reader, table, nullptr, &namespaces);
    }
    if (FAILED(hr) || (hr == S_FALSE && attributes == 0))
        return nullptr;
    return record;
}
