// Parses a GeoNames answer, fills a geotag record's address from it with
// GetGeoNamesInfo, copies the record, and meets the parser's refusal before
// Initialize: through the installed headers only.
#include <GPSMetadataInfo.h>
#include <ReverseGeoCode.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const char kAnswer[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<geonames><geoname><toponymName>Sèvres</toponymName><name>Sèvres</name><lat>48.82292</lat><lng>2.21757</lng>
<geonameId>2975050</geonameId><countryCode>FR</countryCode><countryName>France</countryName><fcl>P</fcl>
<fcode>PPL</fcode><adminName1>Île-de-France</adminName1></geoname></geonames>)";

char* Copy(const char* text, std::size_t size)
{
    char* bytes = new char[size];
    std::memcpy(bytes, text, size);
    return bytes;
}

}  // namespace

int main()
{
    if (CReverseGeoCode::FormatCoordinate(45) != "45")
        return 1;
    CGeoNamesXmlParser unready(Copy("x", 1), 1);
    try {
        CGeoNames* none = nullptr;
        unready.ReadGeoNames(&none);
        return 2;
    } catch (const CUnInitializedException&) {
    }
    CGeoNamesXmlParser parser(Copy(kAnswer, sizeof kAnswer - 1), sizeof kAnswer - 1);
    CGeoNames* names = nullptr;
    if (parser.Initialize() < 0 || parser.ReadGeoNames(&names) < 0 || !names)
        return 3;
    std::unique_ptr<CGeoNames> places(names);
    CGPSMetadataInfo record;
    if (!CReverseGeoCode::GetGeoNamesInfo(places.get(), &record) || !record.City || *record.City != L"Sèvres")
        return 4;
    std::unique_ptr<CGPSMetadataInfo> copy(record.Clone());
    if (!copy->CountryName || *copy->CountryName != L"France")
        return 5;
    std::puts("ostrel consumer ran");
    return 0;
}
