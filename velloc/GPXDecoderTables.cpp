#include "GPXDecoderTables.h"

#include <cmath>

#include "GPXConversions.h"
#include "GPXDecoderRecords.h"
#include "GPXNamespaces.h"
#include "StringUtil.h"
#include "XmlPullReader.h"

using namespace GPXDecoding;

namespace {

// A coordinate attribute: true when it holds a number within +-limit. Text
// that is no number, or a number out of range (1e999, NaN, inf, 91), makes
// the point invalid: taking it as 0 would put the point somewhere it never was.
bool ReadCoordinate(double& field, const AttributeValue& value, double limit)
{
    double parsed;
    if (!value.ReadDouble(parsed) || !std::isfinite(parsed) || parsed < -limit || parsed > limit)
        return false;
    field = parsed;
    return true;
}

}  // namespace

CGPXDecoderTables::CGPXDecoderTables(CXmlPullReader& reader_)
    : reader(reader_),
      gpxNamespaces{kGpxNamespace, kGpx10Namespace},
      garminNamespaces{kGarminNamespace},
      trackPointV1Namespaces{kTrackPointV1Namespace},
      trackPointV2Namespaces{kTrackPointV2Namespace}
{
    BuildRootTables();
    BuildPersonTables();
    BuildPointTables();
    BuildRouteTrackTables();
    BuildGarminPointTables();
    BuildGarminOtherTables();
    BuildTrackPointV2Table();
}

HRESULT CGPXDecoderTables::ReadRoot(GPXRoot& root_, const std::wstring& rootNamespace)
{
    // A file whose root is in no namespace (or a misspelt one) still has its
    // GPX elements in the root's namespace.
    gpxNamespaces.Add(rootNamespace);
    Filling<GPXRoot> filling(root, &root_);
    return ReadElement(reader, rootTable, nullptr, &gpxNamespaces);
}

// Walks an "extensions" element (the reader on its start tag) to its end tag:
// `pick` reads the children it knows by namespace and name and returns true;
// every other child is skipped whole, whatever comes first.
template <typename Pick>
HRESULT CGPXDecoderTables::ReadExtensions(Pick pick)
{
    if (reader.IsEmptyElement())
        return S_OK;
    for (;;) {
        HRESULT hr = reader.Read();
        if (hr != S_OK)
            return hr;  // the enclosing walk meets the same failure
        if (reader.NodeType() == XmlNodeType::EndElement)
            return S_OK;
        if (reader.NodeType() != XmlNodeType::Element || pick(reader.NamespaceUri(), reader.LocalName()))
            continue;
        if ((hr = SkipElement(reader)) != S_OK)
            return hr;
    }
}

// A Garmin v3 record: the child `recordName` of Garmin's namespace.
template <typename T>
bool CGPXDecoderTables::ReadGarmin(const std::wstring& uri, const std::wstring& name, const wchar_t* recordName,
                                   GPXExtensions*& field, T*& slot, GPXMap& table)
{
    if (!IsUri(uri, kGarminNamespaceView, garminUri) || name != recordName)
        return false;
    auto record = ReadPlain<T>(slot, table, garminNamespaces);
    garminRecords = garminRecords || record != nullptr;
    Store(field, std::unique_ptr<GPXExtensions>(record.release()));
    return true;
}

bool CGPXDecoderTables::IsUri(const std::wstring& uri, std::wstring_view expected, const std::wstring*& found)
{
    if (&uri == found)
        return true;
    if (uri != expected)
        return false;
    found = &uri;
    return true;
}

HRESULT CGPXDecoderTables::Skip(GPXExtensions*& field)
{
    DeleteAndClear(field);
    return SkipElement(reader);
}

// Routes and tracks fill their own fields and, through the shared entries,
// those of their common part.
template <typename T>
std::unique_ptr<T> CGPXDecoderTables::ReadRouteTrack(T*& slot, GPXMap& table)
{
    auto record = std::make_unique<T>();
    Filling<GPXRouteTrackBase> common(routeTrack, record.get());
    Filling<T> own(slot, record.get());
    if (ReadElement(reader, table, nullptr, &gpxNamespaces) != S_OK)
        return nullptr;
    return record;
}

std::unique_ptr<GPXLink> CGPXDecoderTables::ReadLink()
{
    return ReadWithAttributes<GPXLink>(link, linkTable, gpxNamespaces,
                                       [](GPXLink& l, const std::wstring& name, const std::wstring& value) {
                                           if (name == L"href")
                                               l.href = value;
                                       });
}

// A point whose "lat" or "lon" is not a coordinate is dropped and counted; a
// point without them keeps 0, as it always has.
template <typename T>
std::unique_ptr<T> CGPXDecoderTables::ReadPoint(GPXMap& table)
{
    bool valid = true;
    auto record = ReadWithAttributes<T>(point, table, gpxNamespaces,
                                        [&valid](T& p, const std::wstring& name, const AttributeValue& value) {
                                            if (SameName(name, L"lat"))
                                                valid = ReadCoordinate(p.lat, value, 90) && valid;
                                            else if (SameName(name, L"lon"))
                                                valid = ReadCoordinate(p.lon, value, 180) && valid;
                                        });
    if (record && !valid) {
        ++invalidPoints;
        return nullptr;
    }
    return record;
}

// A time the model cannot hold (the year 1234) is left out and counted: one
// such value must not cost the whole file. False when it was left out.
bool CGPXDecoderTables::SetTime(GPXOptional<GPXTime>& field, double* fraction, std::string_view text)
{
    GPXTime seconds;
    double part;
    if (!ParseGPXTime(text, seconds, part)) {
        ++skippedTimes;
        return false;
    }
    SetOptional(field, seconds);
    if (fraction)
        *fraction = part;
    return true;
}

void CGPXDecoderTables::SetPointTime(std::string_view text)
{
    double fraction = 0;
    if (!SetTime(point->time, &fraction, text))
        return;
    if (fraction > 0)
        SetOptional(point->timeFraction, fraction);
    else
        DeleteAndClear(point->timeFraction);
}

void CGPXDecoderTables::BuildRootTables()
{
    rootTable.InsertComplexHandler(L"metadata", [this](std::wstring) {
        Store(root->metadata, ReadPlain<GPXMetadata>(metadata, metadataTable, gpxNamespaces));
        return S_OK;
    });
    rootTable.InsertComplexHandler(L"wpt", [this](std::wstring) {
        Append(root->wpt, ReadPoint<GPXWayPoint>(waypointTable));
        return S_OK;
    });
    rootTable.InsertComplexHandler(L"rte", [this](std::wstring) {
        Append(root->rte, ReadRouteTrack<GPXRoute>(route, routeTable));
        return S_OK;
    });
    rootTable.InsertComplexHandler(L"trk", [this](std::wstring) {
        Append(root->trk, ReadRouteTrack<GPXTrack>(track, trackTable));
        return S_OK;
    });
    // Other programs' content: none of it is ours to read as GPX.
    rootTable.InsertComplexHandler(L"extensions", [this](std::wstring) { return Skip(root->extensions); });

    metadataTable.InsertSimpleHandler(L"name", TextHandler([this](const std::wstring& t) { metadata->name = t; }));
    metadataTable.InsertSimpleHandler(L"desc", TextHandler([this](const std::wstring& t) { metadata->desc = t; }));
    metadataTable.InsertComplexHandler(L"author", [this](std::wstring) {
        Store(metadata->author, ReadPlain<GPXPerson>(person, personTable, gpxNamespaces));
        return S_OK;
    });
    metadataTable.InsertComplexHandler(L"copyright", [this](std::wstring) {
        Store(metadata->copyright,
              ReadWithAttributes<GPXCopyright>(copyright, copyrightTable, gpxNamespaces,
                                               [](GPXCopyright& c, const std::wstring& name, const std::wstring& value) {
                                                   if (name == L"author")
                                                       c.author = value;
                                               }));
        return S_OK;
    });
    metadataTable.InsertComplexHandler(L"link", [this](std::wstring) {
        Append(metadata->link, ReadLink());
        return S_OK;
    });
    metadataTable.InsertUtf8TextHandler(L"time", [this](std::string_view t) { SetTime(metadata->time, nullptr, t); });
    metadataTable.InsertSimpleHandler(L"keywords", TextHandler([this](const std::wstring& t) { metadata->keywords = t; }));
    metadataTable.InsertComplexHandler(L"bounds", [this](std::wstring) {
        GPXBounds* unused = nullptr;
        Store(metadata->bounds,
              ReadWithAttributes<GPXBounds>(unused, emptyTable, gpxNamespaces,
                                            [](GPXBounds& b, const std::wstring& name, const AttributeValue& value) {
                                                if (name == L"minlat")
                                                    SetDouble(b.minlat, value);
                                                else if (name == L"minlon")
                                                    SetDouble(b.minlon, value);
                                                else if (name == L"maxlat")
                                                    SetDouble(b.maxlat, value);
                                                else if (name == L"maxlon")
                                                    SetDouble(b.maxlon, value);
                                            }));
        return S_OK;
    });
    metadataTable.InsertComplexHandler(L"extensions", [this](std::wstring) { return Skip(metadata->extensions); });
}

void CGPXDecoderTables::BuildPersonTables()
{
    personTable.InsertSimpleHandler(L"name", TextHandler([this](const std::wstring& t) { person->name = t; }));
    personTable.InsertComplexHandler(L"email", [this](std::wstring) {
        GPXEmail* unused = nullptr;
        Store(person->email, ReadWithAttributes<GPXEmail>(unused, emptyTable, gpxNamespaces,
                                                          [](GPXEmail& e, const std::wstring& name, const std::wstring& value) {
                                                              if (name == L"id")
                                                                  e.id = value;
                                                              else if (name == L"domain")
                                                                  e.domain = value;
                                                          }));
        return S_OK;
    });
    personTable.InsertComplexHandler(L"link", [this](std::wstring) {
        Store(person->link, ReadLink());  // one link: a second replaces the first
        return S_OK;
    });

    linkTable.InsertSimpleHandler(L"text", TextHandler([this](const std::wstring& t) { link->text = t; }));
    linkTable.InsertSimpleHandler(L"type", TextHandler([this](const std::wstring& t) { link->type = t; }));

    copyrightTable.InsertUtf8TextHandler(L"year", [this](std::string_view t) { SetInt(copyright->year, t); });
    copyrightTable.InsertSimpleHandler(L"license", TextHandler([this](const std::wstring& t) { copyright->license = t; }));
}

void CGPXDecoderTables::AddPointEntries(GPXMap& table)
{
    table.InsertUtf8TextHandler(L"ele", [this](std::string_view t) { SetDouble(point->ele, t); });
    table.InsertUtf8TextHandler(L"time", [this](std::string_view t) { SetPointTime(t); });
    table.InsertUtf8TextHandler(L"magvar", [this](std::string_view t) { SetDouble(point->magvar, t); });
    table.InsertUtf8TextHandler(L"geoidheight", [this](std::string_view t) { SetDouble(point->geoidheight, t); });
    table.InsertSimpleHandler(L"name", TextHandler([this](const std::wstring& t) { point->name = t; }));
    table.InsertSimpleHandler(L"cmt", TextHandler([this](const std::wstring& t) { point->cmt = t; }));
    table.InsertSimpleHandler(L"desc", TextHandler([this](const std::wstring& t) { point->desc = t; }));
    table.InsertSimpleHandler(L"src", TextHandler([this](const std::wstring& t) { point->src = t; }));
    table.InsertComplexHandler(L"link", [this](std::wstring) {
        Append(point->link, ReadLink());
        return S_OK;
    });
    table.InsertSimpleHandler(L"sym", TextHandler([this](const std::wstring& t) { point->sym = t; }));
    table.InsertSimpleHandler(L"type", TextHandler([this](const std::wstring& t) { point->type = t; }));
    table.InsertSimpleHandler(L"fix", TextHandler([this](const std::wstring& t) { point->fix = FixFromWord(t); }));
    table.InsertUtf8TextHandler(L"sat", [this](std::string_view t) { SetUInt(point->sat, t); });
    table.InsertUtf8TextHandler(L"hdop", [this](std::string_view t) { SetDouble(point->hdop, t); });
    table.InsertUtf8TextHandler(L"vdop", [this](std::string_view t) { SetDouble(point->vdop, t); });
    table.InsertUtf8TextHandler(L"pdop", [this](std::string_view t) { SetDouble(point->pdop, t); });
    table.InsertUtf8TextHandler(L"ageofdgpsdata", [this](std::string_view t) { SetDouble(point->ageofdgpsdata, t); });
    table.InsertUtf8TextHandler(L"dgpsid", [this](std::string_view t) { SetInt(point->dgpsid, t); });
}

void CGPXDecoderTables::BuildPointTables()
{
    AddPointEntries(waypointTable);
    waypointTable.InsertComplexHandler(L"extensions", [this](std::wstring) {
        return ReadExtensions([this](const std::wstring& uri, const std::wstring& name) {
            return ReadGarmin(uri, name, L"WaypointExtension", point->extensions, garWaypoint, garWaypointTable);
        });
    });
    AddPointEntries(routePointTable);
    routePointTable.InsertComplexHandler(L"extensions", [this](std::wstring) {
        return ReadExtensions([this](const std::wstring& uri, const std::wstring& name) {
            return ReadGarmin(uri, name, L"RoutePointExtension", static_cast<GPXRoutePoint*>(point)->garminExtension,
                              garRoutePoint, garRoutePointTable);
        });
    });
    AddPointEntries(trackPointTable);
    trackPointTable.InsertComplexHandler(L"extensions", [this](std::wstring) {
        return ReadExtensions([this](const std::wstring& uri, const std::wstring& name) {
            auto* owner = static_cast<GPXTrackPoint*>(point);
            return ReadGarmin(uri, name, L"TrackPointExtension", owner->garminExtension, garTrackPoint,
                              garTrackPointTable) ||
                   ReadTrackPointExtension(uri, name, *owner);
        });
    });
}

void CGPXDecoderTables::AddRouteTrackEntries(GPXMap& table)
{
    table.InsertSimpleHandler(L"name", TextHandler([this](const std::wstring& t) { routeTrack->name = t; }));
    table.InsertSimpleHandler(L"cmt", TextHandler([this](const std::wstring& t) { routeTrack->cmt = t; }));
    table.InsertSimpleHandler(L"desc", TextHandler([this](const std::wstring& t) { routeTrack->desc = t; }));
    table.InsertSimpleHandler(L"src", TextHandler([this](const std::wstring& t) { routeTrack->src = t; }));
    table.InsertComplexHandler(L"link", [this](std::wstring) {
        Append(routeTrack->link, ReadLink());
        return S_OK;
    });
    table.InsertUtf8TextHandler(L"number", [this](std::string_view t) { SetUInt(routeTrack->number, t); });
    table.InsertSimpleHandler(L"type", TextHandler([this](const std::wstring& t) { routeTrack->type = t; }));
}

void CGPXDecoderTables::BuildRouteTrackTables()
{
    AddRouteTrackEntries(routeTable);
    routeTable.InsertComplexHandler(L"extensions", [this](std::wstring) {
        return ReadExtensions([this](const std::wstring& uri, const std::wstring& name) {
            return ReadGarmin(uri, name, L"RouteExtension", route->extensions, garRoute, garRouteTable);
        });
    });
    routeTable.InsertComplexHandler(L"rtept", [this](std::wstring) {
        Append(route->rtept, ReadPoint<GPXRoutePoint>(routePointTable));
        return S_OK;
    });
    AddRouteTrackEntries(trackTable);
    trackTable.InsertComplexHandler(L"extensions", [this](std::wstring) {
        return ReadExtensions([this](const std::wstring& uri, const std::wstring& name) {
            return ReadGarmin(uri, name, L"TrackExtension", track->extensions, garTrack, garTrackTable);
        });
    });
    trackTable.InsertComplexHandler(L"trkseg", [this](std::wstring) {
        Append(track->trkseg, ReadPlain<GPXTrackSegment>(segment, segmentTable, gpxNamespaces));
        return S_OK;
    });
    segmentTable.InsertComplexHandler(L"trkpt", [this](std::wstring) {
        Append(segment->trkpt, ReadPoint<GPXTrackPoint>(trackPointTable));
        return S_OK;
    });
    segmentTable.InsertComplexHandler(L"extensions", [this](std::wstring) { return Skip(segment->extensions); });
}
