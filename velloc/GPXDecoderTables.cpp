#include "GPXDecoderTables.h"

#include "GPXConversions.h"
#include "StringUtil.h"
#include "TextNumber.h"
#include "XmlPullReader.h"

namespace {

// Sets a field for the time of a reader's walk, restoring it afterwards
// (also when a handler throws).
template <typename S>
class Filling {
public:
    Filling(S*& slot_, S* record) : slot(slot_), saved(slot_) { slot = record; }
    ~Filling() { slot = saved; }
    Filling(const Filling&) = delete;
    Filling& operator=(const Filling&) = delete;

private:
    S*& slot;
    S* saved;
};

template <typename T>
void Store(T*& field, std::unique_ptr<T> record)
{
    if (record) {
        delete field;
        field = record.release();
    }
}

template <typename T, typename U>
void Append(std::vector<T*>& list, std::unique_ptr<U> record)
{
    if (record) {
        list.push_back(record.get());
        record.release();
    }
}

template <typename T>
void SetOptional(T*& field, T value)
{
    delete field;
    field = new T(value);
}

// Each occurrence of an optional number allocates a new value; a text that
// is not a number leaves the field as it was.
void SetDouble(double*& field, const std::wstring& text)
{
    double value;
    if (ParseLeadingDouble(text, value))
        SetOptional(field, value);
}

// The value of the attribute the reader stands on, turned into wide text
// only where it is used as text: coordinates are read from libxml2's own
// UTF-8 buffer.
class AttributeValue {
public:
    AttributeValue(CXmlPullReader& reader_, std::wstring& buffer_) : reader(reader_), buffer(buffer_) {}
    operator const std::wstring&() const
    {
        reader.GetValue(buffer);
        return buffer;
    }
    void ReadDouble(double& field) const { ParseLeadingDouble(reader.ValueUtf8(), field); }

private:
    CXmlPullReader& reader;
    std::wstring& buffer;
};

void SetDouble(double& field, const AttributeValue& value)
{
    value.ReadDouble(field);
}

void SetInt(std::int32_t*& field, const std::wstring& text)
{
    std::int32_t value;
    if (ParseLeadingInt32(text, value))
        SetOptional(field, value);
}

void SetUInt(std::uint32_t*& field, const std::wstring& text)
{
    std::uint32_t value;
    if (ParseLeadingUInt32(text, value))
        SetOptional(field, value);
}

void SetTime(GPXTime*& field, const std::wstring& text)
{
    SetOptional(field, ParseGPXTime(text));
}

void DeleteAndClear(GPXExtensions*& field)
{
    delete field;
    field = nullptr;
}

}  // namespace

CGPXDecoderTables::CGPXDecoderTables(CXmlPullReader& reader_) : reader(reader_)
{
    BuildRootTables();
    BuildPersonTables();
    BuildPointTables();
    BuildRouteTrackTables();
    BuildGarminPointTables();
    BuildGarminOtherTables();
}

HRESULT CGPXDecoderTables::ReadRoot(GPXRoot& root_, bool garminExtensions)
{
    garmin = garminExtensions;
    Filling<GPXRoot> filling(root, &root_);
    return ReadElement(reader, rootTable, nullptr);
}

template <typename T, typename S>
std::unique_ptr<T> CGPXDecoderTables::ReadPlain(S*& slot, GPXMap& table)
{
    auto record = std::make_unique<T>();
    Filling<S> filling(slot, record.get());
    if (ReadElement(reader, table, nullptr) != S_OK)
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
    const AttributeValue value(reader, attributeValue);
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
std::unique_ptr<T> CGPXDecoderTables::ReadWithAttributes(S*& slot, GPXMap& table, Apply apply)
{
    auto record = std::make_unique<T>();
    const std::size_t attributes =
        ApplyAttributes([&](const std::wstring& name, const AttributeValue& value) { apply(*record, name, value); });
    HRESULT hr;
    {
        Filling<S> filling(slot, record.get());
        hr = ReadElement(reader, table, nullptr);
    }
    if (FAILED(hr) || (hr == S_FALSE && attributes == 0))
        return nullptr;
    return record;
}

// The five Garmin readers share this shape: the first child element of
// "extensions" is read as the record, with the record's table.
template <typename T>
void CGPXDecoderTables::ReadGarmin(GPXExtensions*& field, T*& slot, GPXMap& table)
{
    if (!garmin || reader.IsEmptyElement())
        return;
    for (;;) {
        if (reader.Read() != S_OK)
            return;  // the enclosing walk meets the same failure
        if (reader.NodeType() == XmlNodeType::Element)
            break;
        // "<extensions> </extensions>": stop here rather than take the next
        // sibling of the point as its extension.
        if (reader.NodeType() == XmlNodeType::EndElement)
            return;
    }
    Store(field, std::unique_ptr<GPXExtensions>(ReadPlain<T>(slot, table).release()));
}

// Routes and tracks fill their own fields and, through the shared entries,
// those of their common part.
template <typename T>
std::unique_ptr<T> CGPXDecoderTables::ReadRouteTrack(T*& slot, GPXMap& table)
{
    auto record = std::make_unique<T>();
    Filling<GPXRouteTrackBase> common(routeTrack, record.get());
    Filling<T> own(slot, record.get());
    if (ReadElement(reader, table, nullptr) != S_OK)
        return nullptr;
    return record;
}

std::unique_ptr<GPXLink> CGPXDecoderTables::ReadLink()
{
    return ReadWithAttributes<GPXLink>(link, linkTable, [](GPXLink& l, const std::wstring& name, const std::wstring& value) {
        if (name == L"href")
            l.href = value;
    });
}

template <typename T>
std::unique_ptr<T> CGPXDecoderTables::ReadPoint(GPXMap& table)
{
    return ReadWithAttributes<T>(point, table, [](T& p, const std::wstring& name, const AttributeValue& value) {
        if (name == L"lat")
            SetDouble(p.lat, value);
        else if (name == L"lon")
            SetDouble(p.lon, value);
    });
}

void CGPXDecoderTables::BuildRootTables()
{
    rootTable.InsertComplexHandler(L"metadata", [this](std::wstring) {
        Store(root->metadata, ReadPlain<GPXMetadata>(metadata, metadataTable));
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
    rootTable.InsertComplexHandler(L"extensions", [this](std::wstring) {
        DeleteAndClear(root->extensions);
        return S_OK;
    });

    metadataTable.InsertSimpleHandler(L"name", TextHandler([this](const std::wstring& t) { metadata->name = t; }));
    metadataTable.InsertSimpleHandler(L"desc", TextHandler([this](const std::wstring& t) { metadata->desc = t; }));
    metadataTable.InsertComplexHandler(L"author", [this](std::wstring) {
        Store(metadata->author, ReadPlain<GPXPerson>(person, personTable));
        return S_OK;
    });
    metadataTable.InsertComplexHandler(L"copyright", [this](std::wstring) {
        Store(metadata->copyright,
              ReadWithAttributes<GPXCopyright>(copyright, copyrightTable,
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
    metadataTable.InsertSimpleHandler(L"time", TextHandler([this](const std::wstring& t) { SetTime(metadata->time, t); }));
    metadataTable.InsertSimpleHandler(L"keywords", TextHandler([this](const std::wstring& t) { metadata->keywords = t; }));
    metadataTable.InsertComplexHandler(L"bounds", [this](std::wstring) {
        GPXBounds* unused = nullptr;
        Store(metadata->bounds, ReadWithAttributes<GPXBounds>(unused, emptyTable,
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
    metadataTable.InsertComplexHandler(L"extensions", [this](std::wstring) {
        DeleteAndClear(metadata->extensions);
        return S_OK;
    });
}

void CGPXDecoderTables::BuildPersonTables()
{
    personTable.InsertSimpleHandler(L"name", TextHandler([this](const std::wstring& t) { person->name = t; }));
    personTable.InsertComplexHandler(L"email", [this](std::wstring) {
        GPXEmail* unused = nullptr;
        Store(person->email, ReadWithAttributes<GPXEmail>(unused, emptyTable,
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

    copyrightTable.InsertSimpleHandler(L"year", TextHandler([this](const std::wstring& t) { SetInt(copyright->year, t); }));
    copyrightTable.InsertSimpleHandler(L"license", TextHandler([this](const std::wstring& t) { copyright->license = t; }));
}

void CGPXDecoderTables::AddPointEntries(GPXMap& table)
{
    table.InsertSimpleHandler(L"ele", TextHandler([this](const std::wstring& t) { SetDouble(point->ele, t); }));
    table.InsertSimpleHandler(L"time", TextHandler([this](const std::wstring& t) { SetTime(point->time, t); }));
    table.InsertSimpleHandler(L"magvar", TextHandler([this](const std::wstring& t) { SetDouble(point->magvar, t); }));
    table.InsertSimpleHandler(L"geoidheight", TextHandler([this](const std::wstring& t) { SetDouble(point->geoidheight, t); }));
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
    table.InsertSimpleHandler(L"sat", TextHandler([this](const std::wstring& t) { SetUInt(point->sat, t); }));
    table.InsertSimpleHandler(L"hdop", TextHandler([this](const std::wstring& t) { SetDouble(point->hdop, t); }));
    table.InsertSimpleHandler(L"vdop", TextHandler([this](const std::wstring& t) { SetDouble(point->vdop, t); }));
    table.InsertSimpleHandler(L"pdop", TextHandler([this](const std::wstring& t) { SetDouble(point->pdop, t); }));
    table.InsertSimpleHandler(L"ageofdgpsdata", TextHandler([this](const std::wstring& t) { SetDouble(point->ageofdgpsdata, t); }));
    table.InsertSimpleHandler(L"dgpsid", TextHandler([this](const std::wstring& t) { SetInt(point->dgpsid, t); }));
}

void CGPXDecoderTables::BuildPointTables()
{
    AddPointEntries(waypointTable);
    waypointTable.InsertComplexHandler(L"extensions", [this](std::wstring) {
        ReadGarmin(point->extensions, garWaypoint, garWaypointTable);
        return S_OK;
    });
    AddPointEntries(routePointTable);
    routePointTable.InsertComplexHandler(L"extensions", [this](std::wstring) {
        ReadGarmin(static_cast<GPXRoutePoint*>(point)->garminExtension, garRoutePoint, garRoutePointTable);
        return S_OK;
    });
    AddPointEntries(trackPointTable);
    trackPointTable.InsertComplexHandler(L"extensions", [this](std::wstring) {
        ReadGarmin(static_cast<GPXTrackPoint*>(point)->garminExtension, garTrackPoint, garTrackPointTable);
        return S_OK;
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
    table.InsertSimpleHandler(L"number", TextHandler([this](const std::wstring& t) { SetUInt(routeTrack->number, t); }));
    table.InsertSimpleHandler(L"type", TextHandler([this](const std::wstring& t) { routeTrack->type = t; }));
}

void CGPXDecoderTables::BuildRouteTrackTables()
{
    AddRouteTrackEntries(routeTable);
    routeTable.InsertComplexHandler(L"extensions", [this](std::wstring) {
        ReadGarmin(route->extensions, garRoute, garRouteTable);
        return S_OK;
    });
    routeTable.InsertComplexHandler(L"rtept", [this](std::wstring) {
        Append(route->rtept, ReadPoint<GPXRoutePoint>(routePointTable));
        return S_OK;
    });
    AddRouteTrackEntries(trackTable);
    trackTable.InsertComplexHandler(L"extensions", [this](std::wstring) {
        ReadGarmin(track->extensions, garTrack, garTrackTable);
        return S_OK;
    });
    trackTable.InsertComplexHandler(L"trkseg", [this](std::wstring) {
        Append(track->trkseg, ReadPlain<GPXTrackSegment>(segment, segmentTable));
        return S_OK;
    });
    segmentTable.InsertComplexHandler(L"trkpt", [this](std::wstring) {
        Append(segment->trkpt, ReadPoint<GPXTrackPoint>(trackPointTable));
        return S_OK;
    });
    segmentTable.InsertComplexHandler(L"extensions", [this](std::wstring) {
        DeleteAndClear(segment->extensions);
        return S_OK;
    });
}

void CGPXDecoderTables::BuildGarminPointTables()
{
    GPXMap& w = garWaypointTable;
    w.InsertSimpleHandler(L"Proximity", TextHandler([this](const std::wstring& t) { SetDouble(garWaypoint->Proximity, t); }));
    w.InsertSimpleHandler(L"Temperature", TextHandler([this](const std::wstring& t) { SetDouble(garWaypoint->Temperature, t); }));
    w.InsertSimpleHandler(L"Depth", TextHandler([this](const std::wstring& t) { SetDouble(garWaypoint->Depth, t); }));
    w.InsertSimpleHandler(L"DisplayMode",
                          TextHandler([this](const std::wstring& t) { garWaypoint->DisplayMode = DisplayModeFromWord(t); }));
    w.InsertComplexHandler(L"Categories", [this](std::wstring) { return ReadElement(reader, categoriesTable, nullptr); });
    w.InsertComplexHandler(L"Address", [this](std::wstring) {
        Store(garWaypoint->Address, ReadPlain<GPXGARAddress>(address, addressTable));
        return S_OK;
    });
    w.InsertComplexHandler(L"PhoneNumber", [this](std::wstring) {
        auto number = std::make_unique<GPXGARPhoneNumber>();
        CXAttributeList attributes;
        HRESULT hr;
        {
            Filling<GPXGARPhoneNumber> filling(phone, number.get());
            hr = ReadElement(reader, phoneTable, &attributes);
        }
        if (FAILED(hr))
            return hr;
        for (const auto& attribute : attributes)
            if (attribute->localName == L"Category")
                number->Category = attribute->value;
        Append(garWaypoint->PhoneNumber, std::move(number));
        return S_OK;
    });
    w.InsertComplexHandler(L"Extensions", [this](std::wstring) {
        DeleteAndClear(garWaypoint->Extensions);
        return S_OK;
    });
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
    a.InsertComplexHandler(L"Extensions", [this](std::wstring) {
        DeleteAndClear(address->Extensions);
        return S_OK;
    });

    GPXMap& tp = garTrackPointTable;
    tp.InsertSimpleHandler(L"Temperature", TextHandler([this](const std::wstring& t) { SetDouble(garTrackPoint->Temperature, t); }));
    tp.InsertSimpleHandler(L"Depth", TextHandler([this](const std::wstring& t) { SetDouble(garTrackPoint->Depth, t); }));
    tp.InsertComplexHandler(L"Extensions", [this](std::wstring) {
        DeleteAndClear(garTrackPoint->Extensions);
        return S_OK;
    });
}

void CGPXDecoderTables::BuildGarminOtherTables()
{
    garRouteTable.InsertSimpleHandler(L"IsAutoNamed", TextHandler([this](const std::wstring& t) {
                                          garRoute->IsAutoNamed = EqualsNoCase(t, L"true") ? 1 : 0;
                                      }));
    garRouteTable.InsertSimpleHandler(L"DisplayColor",
                                      TextHandler([this](const std::wstring& t) { garRoute->DisplayColor = DisplayColorFromWord(t); }));
    garRouteTable.InsertComplexHandler(L"Extensions", [this](std::wstring) {
        DeleteAndClear(garRoute->Extensions);
        return S_OK;
    });

    GPXMap& rp = garRoutePointTable;
    rp.InsertSimpleHandler(L"Subclass", TextHandler([this](const std::wstring& t) { garRoutePoint->Subclass = t; }));
    rp.InsertComplexHandler(L"rpt", [this](std::wstring) {
        Append(garRoutePoint->rpt,
               ReadWithAttributes<GPXGARAutoRoutePoint>(
                   autoPoint, autoPointTable, [](GPXGARAutoRoutePoint& p, const std::wstring& name, const AttributeValue& value) {
                       if (name == L"lat")
                           SetDouble(p.lat, value);
                       else if (name == L"lon")
                           SetDouble(p.lon, value);
                   }));
        return S_OK;
    });
    rp.InsertComplexHandler(L"Extensions", [this](std::wstring) {
        DeleteAndClear(garRoutePoint->Extensions);
        return S_OK;
    });
    autoPointTable.InsertSimpleHandler(L"Subclass", TextHandler([this](const std::wstring& t) { autoPoint->Subclass = t; }));

    garTrackTable.InsertSimpleHandler(L"DisplayColor",
                                      TextHandler([this](const std::wstring& t) { garTrack->DisplayColor = DisplayColorFromWord(t); }));
    garTrackTable.InsertComplexHandler(L"Extensions", [this](std::wstring) {
        DeleteAndClear(garTrack->Extensions);
        return S_OK;
    });
}
