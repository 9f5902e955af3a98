#include "GeoNamesXmlParser.h"

#include "ElementReader.h"
#include "GPXMap.h"
#include "TextNumber.h"
#include "XmlPullReader.h"

namespace {

// Cuts `text` at any of `delimiters`; runs of delimiters give no empty token.
template <typename F>
void ForEachToken(const std::wstring& text, const wchar_t* delimiters, F take)
{
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find_first_of(delimiters, start), text.size());
        if (end > start)
            take(text.substr(start, end - start));
        start = end + 1;
    }
}

std::wstring TrimSpaces(const std::wstring& text)
{
    const std::size_t begin = text.find_first_not_of(L' ');
    if (begin == std::wstring::npos)
        return std::wstring();
    return text.substr(begin, text.find_last_not_of(L' ') - begin + 1);
}

// A number that does not parse leaves the field at its cleared value.
void SetNumber(double& field, const std::wstring& text)
{
    ParseLeadingDouble(text, field);
}

void SetInteger(std::int32_t& field, const std::wstring& text)
{
    ParseLeadingInt32(text, field);
}

}  // namespace

// The handler tables, built once per parser; handlers fill `place` (the
// place being read) or `list`.
struct CGeoNamesXmlParser::Tables {
    explicit Tables(CXmlPullReader& reader);
    HRESULT ReadPlace();
    HRESULT ReadAdminCode(CGeoNameAdminCode& target);
    HRESULT ReadAlternateName();
    HRESULT ReadTimeZone();
    HRESULT ReadStatus();
    void BuildPlaceTable();

    CXmlPullReader& reader;
    CGeoNames* list = nullptr;
    CGeoNameLocation* place = nullptr;
    CGeoNameAdminCode* adminCode = nullptr;
    CGeoNameAlternateName* alternate = nullptr;
    GPXMap rootTable, placeTable, adminCodeTable, alternateTable, timeZoneTable, boxTable, emptyTable;
};

CGeoNamesXmlParser::Tables::Tables(CXmlPullReader& reader_) : reader(reader_)
{
    rootTable.InsertComplexHandler(L"geoname", [this](std::wstring) { return ReadPlace(); });
    rootTable.InsertComplexHandler(L"status", [this](std::wstring) { return ReadStatus(); });
    BuildPlaceTable();
    const auto setCode = TextHandler([this](const std::wstring& t) { SetInteger(adminCode->code, t); });
    adminCodeTable.InsertSimpleHandler(L"adminCode1", setCode);
    adminCodeTable.InsertSimpleHandler(L"adminCode2", setCode);
    alternateTable.InsertSimpleHandler(L"alternateName", TextHandler([this](const std::wstring& t) { alternate->name = t; }));
    timeZoneTable.InsertSimpleHandler(L"timezone", TextHandler([this](const std::wstring& t) { place->timezone.timeZoneId = t; }));
    boxTable.InsertSimpleHandler(L"west", TextHandler([this](const std::wstring& t) { SetNumber(place->bbox.west, t); }));
    boxTable.InsertSimpleHandler(L"north", TextHandler([this](const std::wstring& t) { SetNumber(place->bbox.north, t); }));
    boxTable.InsertSimpleHandler(L"east", TextHandler([this](const std::wstring& t) { SetNumber(place->bbox.east, t); }));
    boxTable.InsertSimpleHandler(L"south", TextHandler([this](const std::wstring& t) { SetNumber(place->bbox.south, t); }));
}

void CGeoNamesXmlParser::Tables::BuildPlaceTable()
{
    GPXMap& t = placeTable;
    t.InsertSimpleHandler(L"toponymName", TextHandler([this](const std::wstring& v) { place->toponymName = v; }));
    t.InsertSimpleHandler(L"name", TextHandler([this](const std::wstring& v) { place->name = v; }));
    t.InsertSimpleHandler(L"lat", TextHandler([this](const std::wstring& v) { SetNumber(place->lat, v); }));
    t.InsertSimpleHandler(L"lng", TextHandler([this](const std::wstring& v) { SetNumber(place->lng, v); }));
    t.InsertSimpleHandler(L"geonameId", TextHandler([this](const std::wstring& v) { SetInteger(place->geonameId, v); }));
    t.InsertSimpleHandler(L"countryCode", TextHandler([this](const std::wstring& v) { place->countryCode = v; }));
    t.InsertSimpleHandler(L"countryName", TextHandler([this](const std::wstring& v) { place->countryName = v; }));
    t.InsertSimpleHandler(L"fcl", TextHandler([this](const std::wstring& v) { place->fcl = v; }));
    t.InsertSimpleHandler(L"fcode", TextHandler([this](const std::wstring& v) { place->fcode = v; }));
    t.InsertSimpleHandler(L"fclName", TextHandler([this](const std::wstring& v) {
                              ForEachToken(v, L", ", [this](std::wstring word) { place->fclName.push_back(std::move(word)); });
                          }));
    t.InsertSimpleHandler(L"fcodeName", TextHandler([this](const std::wstring& v) { place->fcodeName = v; }));
    t.InsertSimpleHandler(L"population", TextHandler([this](const std::wstring& v) { SetNumber(place->population, v); }));
    t.InsertSimpleHandler(L"asciiName", TextHandler([this](const std::wstring& v) { place->asciiName = v; }));
    t.InsertSimpleHandler(L"alternateNames", TextHandler([this](const std::wstring& v) {
                              ForEachToken(v, L",", [this](const std::wstring& item) {
                                  place->alternateNames.push_back(TrimSpaces(item));
                              });
                          }));
    t.InsertSimpleHandler(L"elevation", TextHandler([this](const std::wstring& v) { SetNumber(place->elevation, v); }));
    t.InsertSimpleHandler(L"continentCode", TextHandler([this](const std::wstring& v) { place->continentCode = v; }));
    t.InsertComplexHandler(L"adminCode1", [this](std::wstring) { return ReadAdminCode(place->adminCode1); });
    t.InsertComplexHandler(L"adminCode2", [this](std::wstring) { return ReadAdminCode(place->adminCode2); });
    t.InsertSimpleHandler(L"adminName1", TextHandler([this](const std::wstring& v) { place->adminName1 = v; }));
    t.InsertSimpleHandler(L"adminName2", TextHandler([this](const std::wstring& v) { place->adminName2 = v; }));
    t.InsertComplexHandler(L"alternateName", [this](std::wstring) { return ReadAlternateName(); });
    t.InsertComplexHandler(L"timezone", [this](std::wstring) { return ReadTimeZone(); });
    t.InsertSimpleHandler(L"distance", TextHandler([this](const std::wstring& v) { SetNumber(place->distance, v); }));
    t.InsertComplexHandler(L"bbox", [this](std::wstring) { return ReadElement(reader, boxTable, nullptr); });
}

// Only a place read to its end tag joins the list.
HRESULT CGeoNamesXmlParser::Tables::ReadPlace()
{
    auto location = std::make_unique<CGeoNameLocation>();
    place = location.get();
    const HRESULT hr = ReadElement(reader, placeTable, nullptr);
    place = nullptr;
    if (hr == S_OK) {
        list->locations.push_back(location.get());
        location.release();
    }
    return hr;
}

HRESULT CGeoNamesXmlParser::Tables::ReadAdminCode(CGeoNameAdminCode& target)
{
    CXAttributeList attributes;
    adminCode = &target;
    const HRESULT hr = ReadElement(reader, adminCodeTable, &attributes);
    adminCode = nullptr;
    if (SUCCEEDED(hr))
        for (const auto& attribute : attributes)
            if (attribute->localName == L"ISO3166-2")
                target.iso3166_2 = attribute->value;
    return hr;
}

HRESULT CGeoNamesXmlParser::Tables::ReadAlternateName()
{
    auto record = std::make_unique<CGeoNameAlternateName>();
    CXAttributeList attributes;
    alternate = record.get();
    const HRESULT hr = ReadElement(reader, alternateTable, &attributes);
    alternate = nullptr;
    if (FAILED(hr) || (hr == S_FALSE && attributes.empty()))
        return hr;
    for (const auto& attribute : attributes)
        if (attribute->localName == L"lang")
            record->lang = attribute->value;
    place->alternateNameList.push_back(record.get());
    record.release();
    return hr;
}

HRESULT CGeoNamesXmlParser::Tables::ReadTimeZone()
{
    CXAttributeList attributes;
    const HRESULT hr = ReadElement(reader, timeZoneTable, &attributes);
    if (SUCCEEDED(hr))
        for (const auto& attribute : attributes) {
            if (attribute->localName == L"dstOffset")
                SetNumber(place->timezone.dstOffset, attribute->value);
            else if (attribute->localName == L"gmtOffset")
                SetNumber(place->timezone.gmtOffset, attribute->value);
        }
    return hr;
}

// <status message="..." value="18"/>: the service refused the request.
HRESULT CGeoNamesXmlParser::Tables::ReadStatus()
{
    CXAttributeList attributes;
    const HRESULT hr = ReadElement(reader, emptyTable, &attributes);
    if (FAILED(hr))
        return hr;
    list->hasStatus = true;
    for (const auto& attribute : attributes) {
        if (attribute->localName == L"message")
            list->statusMessage = attribute->value;
        else if (attribute->localName == L"value")
            SetInteger(list->statusValue, attribute->value);
    }
    return hr;
}

CGeoNamesXmlParser::CGeoNamesXmlParser(char* data_, std::uint32_t size_) : data(data_), size(size_) {}

CGeoNamesXmlParser::~CGeoNamesXmlParser()
{
    Finalize();
}

long CGeoNamesXmlParser::Initialize()
{
    auto created = std::make_unique<CXmlPullReader>();
    const HRESULT hr = created->OpenMemory(data, size);
    if (FAILED(hr))
        return hr;
    reader = std::move(created);
    initialized = true;
    return hr;
}

long CGeoNamesXmlParser::ReadGeoNames(CGeoNames** out)
{
    if (!initialized)
        throw CUnInitializedException(L"The GeoNamesXmlParser is not initialized");
    *out = nullptr;
    if (!reader)
        return XML_E_NOINPUT;  // finalised
    auto list = std::make_unique<CGeoNames>();
    HRESULT hr;
    while ((hr = reader->Read()) == S_OK && reader->NodeType() != XmlNodeType::Element) {
    }
    if (hr == S_OK) {
        Tables tables(*reader);
        tables.list = list.get();
        hr = ReadElement(*reader, tables.rootTable, nullptr);
    }
    // Half a list is never handed out.
    if (hr == S_OK)
        *out = list.release();
    return hr;
}

long CGeoNamesXmlParser::Finalize()
{
    reader.reset();
    delete[] data;
    data = nullptr;
    size = 0;
    return S_OK;
}
