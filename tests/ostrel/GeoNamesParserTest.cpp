// The GeoNames answer parser on answers held in memory.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "GeoNamesXmlParser.h"

namespace {

struct Parsed {
    long hr;
    std::unique_ptr<CGeoNames> names;
};

Parsed Parse(const std::string& xml)
{
    auto bytes = std::make_unique<char[]>(xml.size());
    std::memcpy(bytes.get(), xml.data(), xml.size());
    CGeoNamesXmlParser parser(bytes.release(), static_cast<std::uint32_t>(xml.size()));
    EXPECT_GE(parser.Initialize(), 0);
    CGeoNames* names = reinterpret_cast<CGeoNames*>(1);
    Parsed result{parser.ReadGeoNames(&names), nullptr};
    result.names.reset(names);
    EXPECT_EQ(0, parser.Finalize());
    return result;
}

std::string Answer(const std::string& places)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n<geonames>" + places + "</geonames>";
}

const char* const kParis =
    "<geoname>\n  <toponymName> Paris </toponymName>\n  <name>\tParis\r\n</name>\n"
    "  <lat>48.85341</lat><lng>2.3488</lng><geonameId>2988507</geonameId>\n"
    "  <countryCode>FR</countryCode><countryName>France</countryName><fcl>P</fcl><fcode>PPLC</fcode>\n"
    "  <fclName>city, village,...</fclName><fcodeName>capital of a political entity</fcodeName>\n"
    "  <population>2138551</population><asciiName>Paris</asciiName>\n"
    "  <alternateNames>Paris, Parigi ,Lutetia</alternateNames><elevation>35</elevation>\n"
    "  <continentCode>EU</continentCode><adminCode1 ISO3166-2=\"IDF\">11</adminCode1>\n"
    "  <adminName1>Île-de-France</adminName1><adminCode2>75</adminCode2><adminName2>Paris</adminName2>\n"
    "  <alternateName lang=\"it\">Parigi</alternateName><alternateName lang=\"la\">Lutetia</alternateName>\n"
    "  <timezone dstOffset=\"2.0\" gmtOffset=\"1.0\">Europe/Paris</timezone>\n"
    "  <bbox><west>2.224</west><north>48.902</north><east>2.469</east><south>48.815</south>"
    "<accuracyLevel>0</accuracyLevel></bbox>\n"
    "  <distance>0.5</distance><unknown>ignored</unknown>\n</geoname>";

TEST(GeoNamesXmlParser, ReadsEveryFieldOfAPlace)
{
    const Parsed parsed = Parse(Answer(kParis));
    ASSERT_EQ(0, parsed.hr);
    ASSERT_TRUE(parsed.names);
    ASSERT_EQ(1u, parsed.names->locations.size());
    const CGeoNameLocation& p = *parsed.names->locations[0];
    EXPECT_EQ(L"Paris", p.toponymName);
    EXPECT_EQ(L"Paris", p.name);
    EXPECT_DOUBLE_EQ(48.85341, p.lat);
    EXPECT_DOUBLE_EQ(2.3488, p.lng);
    EXPECT_EQ(2988507, p.geonameId);
    EXPECT_EQ(L"FR", p.countryCode);
    EXPECT_EQ(L"P", p.fcl);
    EXPECT_EQ((std::vector<std::wstring>{L"city", L"village", L"..."}), p.fclName);
    EXPECT_DOUBLE_EQ(2138551, p.population);
    EXPECT_EQ((std::vector<std::wstring>{L"Paris", L"Parigi", L"Lutetia"}), p.alternateNames);
    EXPECT_DOUBLE_EQ(35, p.elevation);
    EXPECT_EQ(L"IDF", p.adminCode1.iso3166_2);
    EXPECT_EQ(11, p.adminCode1.code);
    EXPECT_EQ(L"", p.adminCode2.iso3166_2);
    EXPECT_EQ(75, p.adminCode2.code);
    EXPECT_EQ(L"Île-de-France", p.adminName1);
    ASSERT_EQ(2u, p.alternateNameList.size());
    EXPECT_EQ(L"la", p.alternateNameList[1]->lang);
    EXPECT_EQ(L"Lutetia", p.alternateNameList[1]->name);
    EXPECT_DOUBLE_EQ(2.0, p.timezone.dstOffset);
    EXPECT_DOUBLE_EQ(1.0, p.timezone.gmtOffset);
    EXPECT_EQ(L"Europe/Paris", p.timezone.timeZoneId);
    EXPECT_DOUBLE_EQ(48.902, p.bbox.north);
    EXPECT_DOUBLE_EQ(48.815, p.bbox.south);
    EXPECT_DOUBLE_EQ(2.469, p.bbox.east);
    EXPECT_DOUBLE_EQ(2.224, p.bbox.west);
    EXPECT_DOUBLE_EQ(0.5, p.distance);
    EXPECT_FALSE(parsed.names->hasStatus);
}

TEST(GeoNamesXmlParser, PlacesKeepDocumentOrderAndDefaults)
{
    const Parsed parsed = Parse(Answer("<geoname><name>A</name><alternateNames>a, ,b</alternateNames></geoname>"
                                       "<geoname><name>B</name><lat>north</lat></geoname>"));
    ASSERT_EQ(0, parsed.hr);
    ASSERT_EQ(2u, parsed.names->locations.size());
    EXPECT_EQ(L"A", parsed.names->locations[0]->name);
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"", L"b"}), parsed.names->locations[0]->alternateNames);
    const CGeoNameLocation& b = *parsed.names->locations[1];
    EXPECT_EQ(L"B", b.name);
    EXPECT_EQ(0, b.lat) << "a number that does not parse keeps the cleared value";
    EXPECT_EQ(-1, b.geonameId);
    EXPECT_EQ(-91, b.bbox.north);
    EXPECT_EQ(-91, b.bbox.south);
    EXPECT_EQ(-181, b.bbox.east);
    EXPECT_EQ(-181, b.bbox.west);
}

struct Outcome {
    const char* name;
    std::string xml;
    long hr;
    int places;  // -1: no list
};

void PrintTo(const Outcome& c, std::ostream* out)
{
    *out << c.name;
}

class ParserOutcomeTest : public testing::TestWithParam<Outcome> {};

TEST_P(ParserOutcomeTest, GivesAWholeListOrNone)
{
    const Parsed parsed = Parse(GetParam().xml);
    EXPECT_EQ(GetParam().hr, parsed.hr);
    if (GetParam().places < 0) {
        EXPECT_FALSE(parsed.names);
    } else {
        ASSERT_TRUE(parsed.names);
        EXPECT_EQ(static_cast<std::size_t>(GetParam().places), parsed.names->locations.size());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ParserOutcomeTest,
    testing::Values(Outcome{"EmptyRoot", "<geonames/>", 0, 0}, Outcome{"NoPlaces", Answer("<totalResultsCount>0</totalResultsCount>"), 0, 0},
                    Outcome{"CutAfterACompletePlace", "<geonames><geoname><name>A</name></geoname>", 1, -1},
                    Outcome{"CutInsideAPlace", "<geonames><geoname><name>A</name>", 1, -1},
                    Outcome{"HtmlErrorPage", "<html><body><h1>500</h1><p>Oops<br></p></body></html>", -1072894463, -1},
                    Outcome{"NotXml", "Internal Server Error", -1072894463, -1}, Outcome{"Empty", "", 1, -1},
                    Outcome{"Doctype", "<!DOCTYPE g [<!ENTITY x 'boom'>]><geonames><geoname><name>&x;</name></geoname></geonames>",
                            static_cast<long>(0xC00CEE3Du) - 0x100000000L, -1}),
    [](const testing::TestParamInfo<Outcome>& info) { return std::string(info.param.name); });

TEST(GeoNamesXmlParser, KeepsTheServicesRefusal)
{
    const Parsed parsed = Parse(
        "<geonames><status message=\"the daily limit of 20000 credits for demo has been exceeded\" value=\"18\"/></geonames>");
    ASSERT_EQ(0, parsed.hr);
    EXPECT_TRUE(parsed.names->locations.empty());
    EXPECT_TRUE(parsed.names->hasStatus);
    EXPECT_EQ(18, parsed.names->statusValue);
    EXPECT_EQ(L"the daily limit of 20000 credits for demo has been exceeded", parsed.names->statusMessage);
}

TEST(GeoNamesXmlParser, ReadingBeforeInitializeThrowsWithItsMessage)
{
    CGeoNamesXmlParser parser(new char[1]{'x'}, 1);
    CGeoNames* names = nullptr;
    try {
        parser.ReadGeoNames(&names);
        FAIL() << "no exception";
    } catch (const CUnInitializedException& e) {
        EXPECT_EQ(L"The GeoNamesXmlParser is not initialized", e.GetMessageW());
    }
}

}  // namespace
