#include "GPXElementWriter.h"

#include <stdexcept>

#include "GPXConversions.h"
#include "GPXNamespaces.h"
#include "XmlStreamWriter.h"

namespace {

constexpr int kCoordinateDecimals = 15;
constexpr int kGarminDecimals = 12;
constexpr int kShortDecimals = 2;

const std::wstring kGpx = kGpxNamespace;
const std::wstring kGarmin = kGarminNamespace;
const std::wstring kGarminPrefix = L"garmin";
const std::wstring kNone;

void CheckLatLon(double lat, double lon)
{
    if (!(lat >= -90.0 && lat <= 90.0))
        throw std::invalid_argument("latitude outside -90 to 90");
    if (!(lon >= -180.0 && lon <= 180.0))
        throw std::invalid_argument("longitude outside -180 to 180");
}

void RequireText(const std::wstring& text, const char* what)
{
    if (text.empty())
        throw std::invalid_argument(what);
}

// Holds the Garmin flag for the children of a Garmin element.
class GarminChildren {
public:
    explicit GarminChildren(bool& flag_) : flag(flag_), saved(flag_) { flag = true; }
    ~GarminChildren() { flag = saved; }
    GarminChildren(const GarminChildren&) = delete;
    GarminChildren& operator=(const GarminChildren&) = delete;

private:
    bool& flag;
    bool saved;
};

}  // namespace

CGPXElementWriter::CGPXElementWriter(CXmlStreamWriter& writer_, bool garminExtensions)
    : writer(writer_), garmin(garminExtensions)
{
}

const CXmlName& CGPXElementWriter::ElementName(const wchar_t* localName, bool garminName)
{
    auto& names = garminName ? garminNames : gpxNames;
    auto found = names.find(localName);
    if (found == names.end())
        found = names.emplace(localName, CXmlName(garminName ? kGarminPrefix : kNone, localName, garminName ? kGarmin : kGpx))
                    .first;
    return found->second;
}

const CXmlName& CGPXElementWriter::AttributeName(const wchar_t* localName)
{
    auto found = attributeNames.find(localName);
    if (found == attributeNames.end())
        found = attributeNames.emplace(localName, CXmlName(kNone, localName, kNone)).first;
    return found->second;
}

void CGPXElementWriter::Start(const wchar_t* localName)
{
    writer.WriteStartElement(ElementName(localName, garminChild));
}

void CGPXElementWriter::StartGarmin(const wchar_t* localName)
{
    writer.WriteStartElement(ElementName(localName, true));
}

void CGPXElementWriter::Attribute(const wchar_t* localName, const std::wstring& value)
{
    writer.WriteAttributeString(kNone, localName, kNone, value);
}

void CGPXElementWriter::Attribute(const wchar_t* localName, std::string_view asciiValue)
{
    writer.WriteAttributeString(AttributeName(localName), asciiValue);
}

void CGPXElementWriter::End()
{
    writer.WriteFullEndElement();
}

void CGPXElementWriter::TextElement(const wchar_t* localName, const std::wstring& value)
{
    Start(localName);
    writer.WriteString(value);
    End();
}

void CGPXElementWriter::AsciiElement(const wchar_t* localName, std::string_view asciiValue)
{
    Start(localName);
    writer.WriteAsciiString(asciiValue);
    End();
}

void CGPXElementWriter::Text(const wchar_t* localName, const std::wstring& value)
{
    if (!value.empty())
        TextElement(localName, value);
}

void CGPXElementWriter::Number(const wchar_t* localName, const double* value, int decimals)
{
    if (value) {
        char text[kDecimalsBufferSize];
        AsciiElement(localName, std::string_view(text, FormatDecimals(*value, decimals, text)));
    }
}

void CGPXElementWriter::Integer(const wchar_t* localName, const std::int32_t* value)
{
    if (value)
        TextElement(localName, std::to_wstring(*value));
}

void CGPXElementWriter::Unsigned(const wchar_t* localName, const std::uint32_t* value)
{
    if (value)
        TextElement(localName, std::to_wstring(*value));
}

void CGPXElementWriter::Time(const wchar_t* localName, const GPXTime* value)
{
    if (value) {
        char text[kGPXTimeLength + 1];
        AsciiElement(localName, std::string_view(text, FormatGPXTime(*value, text)));
    }
}

void CGPXElementWriter::Link(const GPXLink& link)
{
    RequireText(link.href, "link without href");
    Start(L"link");
    Attribute(L"href", link.href);
    Text(L"text", link.text);
    Text(L"type", link.type);
    End();
}

void CGPXElementWriter::Metadata(const GPXMetadata& metadata)
{
    Start(L"metadata");
    Text(L"name", metadata.name);
    Text(L"desc", metadata.desc);
    if (const GPXPerson* author = metadata.author) {
        Start(L"author");
        Text(L"name", author->name);
        if (const GPXEmail* email = author->email) {
            RequireText(email->id, "email without id");
            RequireText(email->domain, "email without domain");
            Start(L"email");
            Attribute(L"id", email->id);
            Attribute(L"domain", email->domain);
            End();
        }
        if (author->link)
            Link(*author->link);
        End();
    }
    if (const GPXCopyright* copyright = metadata.copyright) {
        RequireText(copyright->author, "copyright without author");
        Start(L"copyright");
        Attribute(L"author", copyright->author);
        Integer(L"year", copyright->year);
        Text(L"license", copyright->license);
        End();
    }
    for (const GPXLink* link : metadata.link)
        Link(*link);
    Time(L"time", metadata.time);
    Text(L"keywords", metadata.keywords);
    if (const GPXBounds* bounds = metadata.bounds) {
        CheckLatLon(bounds->minlat, bounds->minlon);
        CheckLatLon(bounds->maxlat, bounds->maxlon);
        Start(L"bounds");
        Attribute(L"minlat", FormatDecimals(bounds->minlat, kCoordinateDecimals));
        Attribute(L"minlon", FormatDecimals(bounds->minlon, kCoordinateDecimals));
        Attribute(L"maxlat", FormatDecimals(bounds->maxlat, kCoordinateDecimals));
        Attribute(L"maxlon", FormatDecimals(bounds->maxlon, kCoordinateDecimals));
        End();
    }
    End();  // metadata; its extensions are not written
}

// Everything of a point but its extension; the caller has started the element.
void CGPXElementWriter::PointContent(const GPXWayPoint& point)
{
    char text[kDecimalsBufferSize];
    Attribute(L"lat", std::string_view(text, FormatDecimals(point.lat, kCoordinateDecimals, text)));
    Attribute(L"lon", std::string_view(text, FormatDecimals(point.lon, kCoordinateDecimals, text)));
    Number(L"ele", point.ele, kCoordinateDecimals);
    Time(L"time", point.time);
    Number(L"magvar", point.magvar, kShortDecimals);
    Number(L"geoidheight", point.geoidheight, kShortDecimals);
    Text(L"name", point.name);
    Text(L"cmt", point.cmt);
    Text(L"desc", point.desc);
    Text(L"src", point.src);
    for (const GPXLink* link : point.link)
        Link(*link);
    Text(L"sym", point.sym);
    Text(L"type", point.type);
    if (point.fix >= GPXFix2D && point.fix <= GPXFixPPS)
        TextElement(L"fix", FixWord(point.fix));
    Unsigned(L"sat", point.sat);
    Number(L"hdop", point.hdop, kShortDecimals);
    Number(L"vdop", point.vdop, kShortDecimals);
    Number(L"pdop", point.pdop, kShortDecimals);
    Number(L"ageofdgpsdata", point.ageofdgpsdata, kShortDecimals);
    Integer(L"dgpsid", point.dgpsid);
}

void CGPXElementWriter::WayPoint(const GPXWayPoint& point)
{
    CheckLatLon(point.lat, point.lon);
    Start(L"wpt");
    PointContent(point);
    // A record of another type in the field is not ours to write.
    if (garmin)
        if (auto* extension = dynamic_cast<const GPXGARWaypointExtension*>(point.extensions))
            WaypointExtension(*extension);
    End();
}

void CGPXElementWriter::RoutePoint(const GPXRoutePoint& point)
{
    CheckLatLon(point.lat, point.lon);
    Start(L"rtept");
    PointContent(point);
    if (garmin)
        if (auto* extension = dynamic_cast<const GPXGARRoutePointExtension*>(point.garminExtension))
            RoutePointExtension(*extension);
    End();
}

void CGPXElementWriter::TrackPoint(const GPXTrackPoint& point)
{
    CheckLatLon(point.lat, point.lon);
    Start(L"trkpt");
    PointContent(point);
    if (garmin)
        if (auto* extension = dynamic_cast<const GPXGARTrackPointExtension*>(point.garminExtension)) {
            Start(L"extensions");
            StartGarmin(L"TrackPointExtension");
            GarminChildren children(garminChild);
            Number(L"Temperature", extension->Temperature, kGarminDecimals);
            Number(L"Depth", extension->Depth, kGarminDecimals);
            End();
            End();
        }
    End();
}

void CGPXElementWriter::WaypointExtension(const GPXGARWaypointExtension& extension)
{
    Start(L"extensions");
    StartGarmin(L"WaypointExtension");
    {
        GarminChildren children(garminChild);
        Number(L"Proximity", extension.Proximity, kGarminDecimals);
        Number(L"Temperature", extension.Temperature, kGarminDecimals);
        Number(L"Depth", extension.Depth, kGarminDecimals);
        // The schema has no empty display mode: "not set" is written as absence.
        Text(L"DisplayMode", DisplayModeWord(extension.DisplayMode));
        if (!extension.Categories.empty()) {
            Start(L"Categories");
            for (const std::wstring& category : extension.Categories)
                TextElement(L"Category", category);
            End();
        }
        if (const GPXGARAddress* address = extension.Address) {
            Start(L"Address");
            Text(L"StreetAddress", address->StreetAddress1);
            Text(L"StreetAddress", address->StreetAddress2);
            Text(L"City", address->City);
            Text(L"State", address->State);
            Text(L"Country", address->Country);
            Text(L"PostalCode", address->PostalCode);
            End();
        }
        for (const GPXGARPhoneNumber* phone : extension.PhoneNumber) {
            Start(L"PhoneNumber");
            Attribute(L"Category", phone->Category);
            writer.WriteString(phone->Number);
            End();
        }
    }
    End();
    End();
}

void CGPXElementWriter::RoutePointExtension(const GPXGARRoutePointExtension& extension)
{
    Start(L"extensions");
    StartGarmin(L"RoutePointExtension");
    {
        GarminChildren children(garminChild);
        Text(L"Subclass", extension.Subclass);
        for (const GPXGARAutoRoutePoint* rpt : extension.rpt) {
            CheckLatLon(rpt->lat, rpt->lon);
            Start(L"rpt");
            Attribute(L"lat", FormatDecimals(rpt->lat, kGarminDecimals));
            Attribute(L"lon", FormatDecimals(rpt->lon, kGarminDecimals));
            Text(L"Subclass", rpt->Subclass);
            End();
        }
    }
    End();
    End();
}

void CGPXElementWriter::RouteTrackBase(const GPXRouteTrackBase& base)
{
    Text(L"name", base.name);
    Text(L"cmt", base.cmt);
    Text(L"desc", base.desc);
    Text(L"src", base.src);
    for (const GPXLink* link : base.link)
        Link(*link);
    Unsigned(L"number", base.number);
    Text(L"type", base.type);
}

void CGPXElementWriter::Route(const GPXRoute& route)
{
    Start(L"rte");
    RouteTrackBase(route);
    if (garmin)
        if (auto* extension = dynamic_cast<const GPXGARRouteExtension*>(route.extensions)) {
            Start(L"extensions");
            StartGarmin(L"RouteExtension");
            {
                GarminChildren children(garminChild);
                TextElement(L"IsAutoNamed", extension->IsAutoNamed ? L"true" : L"false");
                Text(L"DisplayColor", DisplayColorWord(extension->DisplayColor));
            }
            End();
            End();
        }
    for (const GPXRoutePoint* point : route.rtept)
        RoutePoint(*point);
    End();
}

void CGPXElementWriter::Track(const GPXTrack& track)
{
    Start(L"trk");
    RouteTrackBase(track);
    if (garmin)
        if (auto* extension = dynamic_cast<const GPXGARTrackExtension*>(track.extensions)) {
            Start(L"extensions");
            StartGarmin(L"TrackExtension");
            {
                GarminChildren children(garminChild);
                Text(L"DisplayColor", DisplayColorWord(extension->DisplayColor));
            }
            End();
            End();
        }
    for (const GPXTrackSegment* segment : track.trkseg) {
        Start(L"trkseg");
        for (const GPXTrackPoint* point : segment->trkpt)
            TrackPoint(*point);
        End();  // a segment's extensions are not written
    }
    End();
}
