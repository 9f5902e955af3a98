#include "GPXElementWriter.h"

#include <cstdint>
#include <stdexcept>

#include "GPXConversions.h"
#include "GPXNamespaces.h"
#include "XmlStreamWriter.h"

namespace {

constexpr int kCoordinateDecimals = 15;
constexpr int kGarminDecimals = 12;
constexpr int kShortDecimals = 2;

const std::wstring kNone;

struct VocabularyName {
    const wchar_t* Prefix;
    const wchar_t* Uri;
};
// By CGPXElementWriter::Vocabulary. Both TrackPointExtension versions take
// the prefix other GPX readers look for; a track holding both binds it
// again where the other version is written.
const VocabularyName kVocabularies[] = {
    {L"", kGpxNamespace},
    {L"garmin", kGarminNamespace},
    {L"gpxtpx", kTrackPointV1Namespace},
    {L"gpxtpx", kTrackPointV2Namespace},
};

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

// Holds the namespace of the children of a Garmin element.
class Children {
public:
    Children(CGPXElementWriter::Vocabulary& current_, CGPXElementWriter::Vocabulary vocabulary)
        : current(current_), saved(current_)
    {
        current = vocabulary;
    }
    ~Children() { current = saved; }
    Children(const Children&) = delete;
    Children& operator=(const Children&) = delete;

private:
    CGPXElementWriter::Vocabulary& current;
    CGPXElementWriter::Vocabulary saved;
};

// The namespace a version 1/2 record is written in: a value only version 2
// holds must not be written where a reader of version 1 cannot place it.
CGPXElementWriter::Vocabulary VocabularyOf(const GPXGARTrackPointExtensionV2& e)
{
    const bool onlyV2 = e.speed || e.course || e.bearing;
    return e.Version == 1 && !onlyV2 ? CGPXElementWriter::TrackPointV1 : CGPXElementWriter::TrackPointV2;
}

}  // namespace

CGPXElementWriter::CGPXElementWriter(CXmlStreamWriter& writer_, bool garminExtensions)
    : writer(writer_), garmin(garminExtensions)
{
}

namespace {

std::size_t QuickSlot(const wchar_t* localName, int vocabulary)
{
    return ((reinterpret_cast<std::uintptr_t>(localName) >> 2) + static_cast<std::uintptr_t>(vocabulary)) % 64;
}

}  // namespace

const CXmlName* CGPXElementWriter::Quick(const wchar_t* localName, int vocabulary) const
{
    const QuickName& quick = quickNames[QuickSlot(localName, vocabulary)];
    return quick.localName == localName && quick.vocabulary == vocabulary ? quick.name : nullptr;
}

const CXmlName& CGPXElementWriter::Remember(const wchar_t* localName, int vocabulary, const CXmlName& name)
{
    quickNames[QuickSlot(localName, vocabulary)] = {localName, vocabulary, &name};
    return name;
}

const CXmlName& CGPXElementWriter::ElementName(const wchar_t* localName, Vocabulary vocabulary)
{
    if (const CXmlName* quick = Quick(localName, vocabulary))
        return *quick;
    auto& known = names[vocabulary];
    auto found = known.find(localName);
    if (found == known.end()) {
        const VocabularyName& v = kVocabularies[vocabulary];
        found = known.emplace(localName, CXmlName(v.Prefix, localName, v.Uri)).first;
    }
    return Remember(localName, vocabulary, found->second);
}

const CXmlName& CGPXElementWriter::AttributeName(const wchar_t* localName)
{
    if (const CXmlName* quick = Quick(localName, VocabularyCount))
        return *quick;
    auto found = attributeNames.find(localName);
    if (found == attributeNames.end())
        found = attributeNames.emplace(localName, CXmlName(kNone, localName, kNone)).first;
    return Remember(localName, VocabularyCount, found->second);
}

void CGPXElementWriter::Start(const wchar_t* localName)
{
    writer.WriteStartElement(ElementName(localName, children));
}

void CGPXElementWriter::StartIn(Vocabulary vocabulary, const wchar_t* localName)
{
    writer.WriteStartElement(ElementName(localName, vocabulary));
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
    writer.WriteAsciiElement(ElementName(localName, children), asciiValue);
}

void CGPXElementWriter::Text(const wchar_t* localName, const std::wstring& value)
{
    if (!value.empty())
        TextElement(localName, value);
}

void CGPXElementWriter::Number(const wchar_t* localName, const GPXOptional<double>& value, int decimals)
{
    if (value) {
        char text[kDecimalsBufferSize];
        AsciiElement(localName, std::string_view(text, FormatDecimals(*value, decimals, text)));
    }
}

void CGPXElementWriter::Integer(const wchar_t* localName, const GPXOptional<std::int32_t>& value)
{
    if (value)
        TextElement(localName, std::to_wstring(*value));
}

void CGPXElementWriter::Unsigned(const wchar_t* localName, const GPXOptional<std::uint32_t>& value)
{
    if (value)
        TextElement(localName, std::to_wstring(*value));
}

void CGPXElementWriter::Time(const wchar_t* localName, const GPXOptional<GPXTime>& value, const GPXOptional<double>& fraction)
{
    if (value) {
        char text[kGPXFractionalTimeLength + 1];
        AsciiElement(localName, std::string_view(text, FormatGPXTime(*value, fraction ? *fraction : 0.0, text)));
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
    Time(L"time", point.time, point.timeFraction);
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
        TrackPointExtensions(point);
    End();
}

// The v3 record and the version 1/2 record share one "extensions" element,
// written only when one of them is there.
void CGPXElementWriter::TrackPointExtensions(const GPXTrackPoint& point)
{
    auto* v3 = dynamic_cast<const GPXGARTrackPointExtension*>(point.garminExtension);
    auto* v2 = dynamic_cast<const GPXGARTrackPointExtensionV2*>(point.garminTrackPointExtension);
    if (!v3 && !v2)
        return;
    Start(L"extensions");
    if (v3) {
        StartIn(Garmin, L"TrackPointExtension");
        {
            Children garminChildren(children, Garmin);
            Number(L"Temperature", v3->Temperature, kGarminDecimals);
            Number(L"Depth", v3->Depth, kGarminDecimals);
        }
        End();
    }
    if (v2)
        WriteTrackPointV2(*v2);
    End();
}

// The elements in the order of the version 2 schema (version 1 is its first
// part).
void CGPXElementWriter::WriteTrackPointV2(const GPXGARTrackPointExtensionV2& extension)
{
    const Vocabulary vocabulary = VocabularyOf(extension);
    StartIn(vocabulary, L"TrackPointExtension");
    {
        Children own(children, vocabulary);
        Number(L"atemp", extension.atemp, kGarminDecimals);
        Number(L"wtemp", extension.wtemp, kGarminDecimals);
        Number(L"depth", extension.depth, kGarminDecimals);
        Unsigned(L"hr", extension.hr);
        Unsigned(L"cad", extension.cad);
        if (vocabulary == TrackPointV2) {
            Number(L"speed", extension.speed, kGarminDecimals);
            Number(L"course", extension.course, kGarminDecimals);
            Number(L"bearing", extension.bearing, kGarminDecimals);
        }
    }
    End();
}

// Binds the prefix on the track, for the version its first record has, so
// that the points do not each declare it.
void CGPXElementWriter::DeclareTrackPointNamespace(const GPXTrack& track)
{
    for (const GPXTrackSegment* segment : track.trkseg)
        for (const GPXTrackPoint* point : segment->trkpt)
            if (auto* v2 = dynamic_cast<const GPXGARTrackPointExtensionV2*>(point->garminTrackPointExtension)) {
                const VocabularyName& v = kVocabularies[VocabularyOf(*v2)];
                writer.WriteAttributeString(L"xmlns", v.Prefix, kNone, v.Uri);
                return;
            }
}

void CGPXElementWriter::WaypointExtension(const GPXGARWaypointExtension& extension)
{
    Start(L"extensions");
    StartIn(Garmin, L"WaypointExtension");
    {
        Children garminChildren(children, Garmin);
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
    StartIn(Garmin, L"RoutePointExtension");
    {
        Children garminChildren(children, Garmin);
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
            StartIn(Garmin, L"RouteExtension");
            {
                Children garminChildren(children, Garmin);
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
    if (garmin)
        DeclareTrackPointNamespace(track);
    RouteTrackBase(track);
    if (garmin)
        if (auto* extension = dynamic_cast<const GPXGARTrackExtension*>(track.extensions)) {
            Start(L"extensions");
            StartIn(Garmin, L"TrackExtension");
            {
                Children garminChildren(children, Garmin);
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
