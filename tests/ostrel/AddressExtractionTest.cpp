// The reduction of a place list to the address fields of a geotag record.
#include <gtest/gtest.h>

#include <memory>

#include "GPSMetadataInfo.h"
#include "ReverseGeoCode.h"

namespace {

struct Place {
    const wchar_t* fcl;
    const wchar_t* name;
    const wchar_t* adminName1;
    const wchar_t* countryName;
    const wchar_t* countryCode;
};

// nullptr: the field is absent.
struct Address {
    const wchar_t* subLocation;
    const wchar_t* city;
    const wchar_t* provinceState;
    const wchar_t* countryName;
    const wchar_t* countryCode;
};

struct ExtractionCase {
    const char* name;
    std::vector<Place> places;
    bool found;
    Address address;
};

void PrintTo(const ExtractionCase& c, std::ostream* out)
{
    *out << c.name;
}

void ExpectField(const wchar_t* expected, const std::wstring* actual, const char* what)
{
    if (!expected)
        EXPECT_EQ(nullptr, actual) << what;
    else if (!actual)
        ADD_FAILURE() << what << " is absent";
    else
        EXPECT_EQ(std::wstring(expected), *actual) << what;
}

class AddressExtractionTest : public testing::TestWithParam<ExtractionCase> {};

TEST_P(AddressExtractionTest, FillsTheFiveFields)
{
    CGeoNames names;
    for (const Place& p : GetParam().places) {
        auto* location = new CGeoNameLocation();
        location->fcl = p.fcl;
        location->name = p.name;
        location->adminName1 = p.adminName1;
        location->countryName = p.countryName;
        location->countryCode = p.countryCode;
        names.locations.push_back(location);
    }
    CGPSMetadataInfo info;
    EXPECT_EQ(GetParam().found, CReverseGeoCode::GetGeoNamesInfo(&names, &info));
    const Address& a = GetParam().address;
    ExpectField(a.subLocation, info.SubLocation, "SubLocation");
    ExpectField(a.city, info.City, "City");
    ExpectField(a.provinceState, info.ProvinceState, "ProvinceState");
    ExpectField(a.countryName, info.CountryName, "CountryName");
    ExpectField(a.countryCode, info.CountryCode, "CountryCode");
}

INSTANTIATE_TEST_SUITE_P(
    Lists, AddressExtractionTest,
    testing::Values(
        ExtractionCase{"PopulatedPlace", {{L"P", L"Sèvres", L"Île-de-France", L"France", L"FR"}}, true,
                       {nullptr, L"Sèvres", L"Île-de-France", L"France", L"FR"}},
        ExtractionCase{"SpotThenTown",
                       {{L"S", L"Tour Eiffel", L"Île-de-France", L"France", L"FR"}, {L"P", L"Paris", L"", L"", L""}},
                       true,
                       {L"Tour Eiffel", L"Paris", L"Île-de-France", L"France", L"FR"}},
        ExtractionCase{"EarliestTownWins", {{L"P", L"A", L"", L"", L""}, {L"P", L"B", L"", L"", L""}}, true,
                       {nullptr, L"A", nullptr, nullptr, nullptr}},
        ExtractionCase{"FirstDivisionGivesItsAdminName", {{L"A", L"Paris", L"Île-de-France", L"France", L"FR"}}, true,
                       {nullptr, nullptr, L"Île-de-France", L"France", L"FR"}},
        ExtractionCase{"LaterDivisionFillsAnEmptyState",
                       {{L"P", L"Town", L"", L"Land", L"LD"}, {L"ADM", L"Region", L"", L"", L""}}, true,
                       {nullptr, L"Town", L"Region", L"Land", L"LD"}},
        ExtractionCase{"OnlyACountryCode", {{L"H", L"", L"", L"", L"FR"}}, false,
                       {nullptr, nullptr, nullptr, nullptr, L"FR"}}),
    [](const testing::TestParamInfo<ExtractionCase>& info) { return std::string(info.param.name); });

TEST(AddressExtraction, EmptyOrNullListLeavesTheRecordAlone)
{
    CGeoNames names;
    CGPSMetadataInfo info;
    SetField(info.City, std::wstring(L"kept"));
    EXPECT_FALSE(CReverseGeoCode::GetGeoNamesInfo(&names, &info));
    EXPECT_FALSE(CReverseGeoCode::GetGeoNamesInfo(nullptr, &info));
    ASSERT_TRUE(info.City);
    EXPECT_EQ(L"kept", *info.City);
    EXPECT_EQ(nullptr, info.SubLocation);
}

struct NumberCase {
    double value;
    const char* text;
};

void PrintTo(const NumberCase& c, std::ostream* out)
{
    *out << c.text;
}

class CoordinateFormatTest : public testing::TestWithParam<NumberCase> {};

TEST_P(CoordinateFormatTest, FourteenSignificantDigitsInGeneralForm)
{
    EXPECT_EQ(GetParam().text, CReverseGeoCode::FormatCoordinate(GetParam().value));
}

INSTANTIATE_TEST_SUITE_P(Values, CoordinateFormatTest,
                         testing::Values(NumberCase{48.858844, "48.858844"}, NumberCase{-0.5, "-0.5"},
                                         NumberCase{45, "45"}, NumberCase{0.00001, "1e-05"},
                                         NumberCase{1.23456789012345678, "1.2345678901235"},
                                         NumberCase{-179.99999999999999, "-180"}));

TEST(CoordinateFormat, IgnoresTheProcessLocale)
{
    struct CommaPoint : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
    };
    const std::locale saved = std::locale::global(std::locale(std::locale::classic(), new CommaPoint));
    EXPECT_EQ("48.5", CReverseGeoCode::FormatCoordinate(48.5));
    std::locale::global(saved);
}

}  // namespace
