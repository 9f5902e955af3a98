// Writes one GPX item (metadata, a waypoint, a route, a track) through the
// XML writer, children in the order of the GPX 1.1 and Garmin v3 schemas.
// Items are written straight to the writer rather than built as an element
// tree first: a long track would otherwise cost a second copy of itself.
//
// Invalid data raises std::invalid_argument (coordinates out of range, an
// empty link href, email id or domain, copyright author, a number that is
// not finite); a time with no calendar date raises CStatusException
// (E_INVALIDARG). Write failures stay in the writer, whose status the
// encoder reads after each item.
#pragma once

#include <string>
#include <string_view>
#include <array>
#include <unordered_map>

#include "GPXModel.h"
#include "XmlStreamWriter.h"

class CGPXElementWriter {
public:
    CGPXElementWriter(CXmlStreamWriter& writer, bool garminExtensions);

    void Metadata(const GPXMetadata& metadata);
    void WayPoint(const GPXWayPoint& point);
    void Route(const GPXRoute& route);
    void Track(const GPXTrack& track);

    // The namespaces of the elements written: GPX, and Garmin's records.
    enum Vocabulary { Gpx, Garmin, TrackPointV1, TrackPointV2, VocabularyCount };

private:
    void Start(const wchar_t* localName);
    void StartIn(Vocabulary vocabulary, const wchar_t* localName);
    // Element and attribute names are literals of this writer: each is
    // converted once, and its address finds it again.
    const CXmlName& ElementName(const wchar_t* localName, Vocabulary vocabulary);
    const CXmlName& AttributeName(const wchar_t* localName);
    void Attribute(const wchar_t* localName, const std::wstring& value);
    void Attribute(const wchar_t* localName, std::string_view asciiValue);
    void AsciiElement(const wchar_t* localName, std::string_view asciiValue);
    void End();
    // An element holding only text.
    void TextElement(const wchar_t* localName, const std::wstring& value);
    void Text(const wchar_t* localName, const std::wstring& value);  // if set
    void Number(const wchar_t* localName, const GPXOptional<double>& value, int decimals);
    void Integer(const wchar_t* localName, const GPXOptional<std::int32_t>& value);
    void Unsigned(const wchar_t* localName, const GPXOptional<std::uint32_t>& value);
    void Time(const wchar_t* localName, const GPXOptional<GPXTime>& value,
              const GPXOptional<double>& fraction = GPXOptional<double>());
    void Link(const GPXLink& link);

    void PointContent(const GPXWayPoint& point);
    void RouteTrackBase(const GPXRouteTrackBase& base);
    void WaypointExtension(const GPXGARWaypointExtension& extension);
    void RoutePointExtension(const GPXGARRoutePointExtension& extension);
    void TrackPoint(const GPXTrackPoint& point);
    void TrackPointExtensions(const GPXTrackPoint& point);
    void WriteTrackPointV2(const GPXGARTrackPointExtensionV2& extension);
    void DeclareTrackPointNamespace(const GPXTrack& track);
    void RoutePoint(const GPXRoutePoint& point);

    CXmlStreamWriter& writer;
    bool garmin;
    Vocabulary children = Gpx;  // children of a Garmin element are in its namespace
    std::unordered_map<const wchar_t*, CXmlName> names[VocabularyCount];
    std::unordered_map<const wchar_t*, CXmlName> attributeNames;
    // The names last found, by address: a point's dozen names are found
    // without hashing (the maps' entries never move).
    struct QuickName {
        const wchar_t* localName = nullptr;
        int vocabulary = -1;  // VocabularyCount for an attribute name
        const CXmlName* name = nullptr;
    };
    std::array<QuickName, 64> quickNames{};
    const CXmlName* Quick(const wchar_t* localName, int vocabulary) const;
    const CXmlName& Remember(const wchar_t* localName, int vocabulary, const CXmlName& name);
};
