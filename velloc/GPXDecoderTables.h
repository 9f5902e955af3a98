// The decoder's handler tables, one per GPX element type, built once per
// decoder: each handler works on the record that its reader is filling (held
// in a member that a reader sets for the time of its walk and then restores),
// so no table is built per element.
#pragma once

#include "ElementReader.h"
#include "GPXMap.h"
#include "GPXModel.h"
#include "HResult.h"

class CXmlPullReader;

class CGPXDecoderTables {
public:
    explicit CGPXDecoderTables(CXmlPullReader& reader);
    CGPXDecoderTables(const CGPXDecoderTables&) = delete;
    CGPXDecoderTables& operator=(const CGPXDecoderTables&) = delete;

    // Walks the root element (the reader stands on its start tag) into `root`.
    HRESULT ReadRoot(GPXRoot& root, bool garminExtensions);

private:
    template <typename T, typename S>
    std::unique_ptr<T> ReadPlain(S*& slot, GPXMap& table);
    template <typename Apply>
    std::size_t ApplyAttributes(Apply apply);
    template <typename T, typename S, typename Apply>
    std::unique_ptr<T> ReadWithAttributes(S*& slot, GPXMap& table, Apply apply);
    template <typename T>
    void ReadGarmin(GPXExtensions*& field, T*& slot, GPXMap& table);

    template <typename T>
    std::unique_ptr<T> ReadRouteTrack(T*& slot, GPXMap& table);
    std::unique_ptr<GPXLink> ReadLink();
    template <typename T>
    std::unique_ptr<T> ReadPoint(GPXMap& table);

    void BuildRootTables();
    void BuildPersonTables();
    void AddPointEntries(GPXMap& table);
    void BuildPointTables();
    void AddRouteTrackEntries(GPXMap& table);
    void BuildRouteTrackTables();
    void BuildGarminPointTables();
    void BuildGarminOtherTables();

    CXmlPullReader& reader;
    bool garmin = false;
    std::wstring attributeValue;  // reused for every attribute

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
    GPXGARAddress* address = nullptr;
    GPXGARPhoneNumber* phone = nullptr;
    GPXGARAutoRoutePoint* autoPoint = nullptr;

    GPXMap rootTable, metadataTable, personTable, emptyTable, linkTable, copyrightTable;
    GPXMap waypointTable, routePointTable, trackPointTable, routeTable, trackTable, segmentTable;
    GPXMap garWaypointTable, garRouteTable, garRoutePointTable, garTrackTable, garTrackPointTable;
    GPXMap categoriesTable, addressTable, phoneTable, autoPointTable;
};
