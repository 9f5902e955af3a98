#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "GeoTagMetadataParser.h"
#include "StampText.h"
#include "TreeBuilder.h"

namespace {

using namespace GeoTagPaths;

// What a picture taken in Paris stores, item by item.
enum Fact { Lat = 1, Lon = 2, Alt = 4, Date = 8, Dop = 16, Dir = 32 };
constexpr int kParis = Lat | Lon | Alt | Date | Dop;

void Store(TestTree& tree, int facts, double direction = 0, double dop = 3)
{
    if (facts & Lat) {
        tree.Gps->Append(GPSLatitude, Rationals({{48, 1}, {51, 1}, {238104, 10000}}));
        tree.Gps->Append(GPSLatitudeRef, MetadataValue::FromAscii("N"));
    }
    if (facts & Lon) {
        tree.Gps->Append(GPSLongitude, Rationals({{2, 1}, {21, 1}, {79992, 10000}}));
        tree.Gps->Append(GPSLongitudeRef, MetadataValue::FromAscii("E"));
    }
    if (facts & Alt) tree.Gps->Append(GPSAltitude, Rationals({{35, 1}}));
    if (facts & Date) tree.Exif->Append(DateTimeOriginal, MetadataValue::FromAscii("2013:05:07 14:03:09"));
    if (facts & Dop) tree.Gps->Append(GPSDOP, Rationals({{static_cast<std::uint32_t>(dop * 100), 100}}));
    if (facts & Dir)
        tree.Gps->Append(GPSImgDirection, Rationals({{static_cast<std::uint32_t>(std::lround(direction * 100)), 100}}));
}

struct Setting {
    const char* Key;
    int Number;
    const wchar_t* Text;  // null for integer settings
};

struct TextCase {
    const char* Name;
    std::vector<Setting> Settings;  // over the first-start defaults
    int Facts;
    bool Address;
    std::wstring Expected;
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.Name; }

class StampTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(StampTextTest, ComposesTheLine)
{
    const TextCase& c = GetParam();
    CMemorySettingsStore settings;
    WriteDefaultSettings(settings);
    for (const Setting& s : c.Settings)
        s.Text ? settings.SetString(s.Key, s.Text) : settings.SetInt(s.Key, s.Number);
    TestTree tree(PictureFormatJpeg);
    Store(tree, c.Facts);
    CGeoTagMetadataDecoder decoder(tree.Root, PictureFormatJpeg);
    CGPSMetadataInfo record;
    if (c.Address) {
        record.SubLocation = new std::wstring(L"Rue de Rivoli");
        record.City = new std::wstring(L"Paris");
        record.ProvinceState = new std::wstring(L"Ile-de-France");
        record.CountryName = new std::wstring(L"France");
    }
    const CStampTextComposer composer(settings);
    EXPECT_EQ(c.Address ? composer.ComposeAddressStampText(decoder, record) : composer.ComposeGPSStampText(decoder),
              c.Expected);
}

const std::vector<Setting> kNoGPSItems = {{"GPSStampngIncGPSCoord", 0, nullptr}, {"GPSStampngIncAlt", 0, nullptr},
                                          {"GPSStampngIncDateTaken", 0, nullptr}, {"GPSStampngIncImgDirc", 0, nullptr},
                                          {"GPSStampngIncMeasPrec", 0, nullptr}};

INSTANTIATE_TEST_SUITE_P(
    Examples, StampTextTest,
    ::testing::Values(
        TextCase{"FirstStartGPS", {}, kParis, false,
                 L"Lat 48.856614\u00B0 N, Long 2.352222\u00B0 E, Elev. 35.00 m, Date 7-May-2013 2:03:09 PM, GPS Accu. Good"},
        TextCase{"FirstStartAddress", {}, kParis, true,
                 L"Rue de Rivoli, Paris, Ile-de-France, France, 48.856614\u00B0 N, 2.352222\u00B0 E, Elev. 35.00 m, "
                 L"7-May-2013 2:03:09 PM"},
        TextCase{"AllGPSItemsOff", kNoGPSItems, kParis, false, L""},
        TextCase{"LatitudeWithoutLongitude", {}, Lat | Alt, false, L"Lat 48.856614\u00B0 N, Elev. 35.00 m"},
        TextCase{"NoGPSAtAll", {}, 0, false, L""},
        TextCase{"AddressWithoutGPS", {}, 0, true, L"Rue de Rivoli, Paris, Ile-de-France, France"},
        TextCase{"DMSTwoDecimals", {{"GPSFormat", 0, L"DMS"}, {"GPSDecimalPlaces", 2, nullptr}}, Lat, false,
                 L"Lat 48\u00B0 51' 23.81\" N"},
        TextCase{"DDMThreeDecimals", {{"GPSFormat", 0, L"DDM"}, {"GPSDecimalPlaces", 3, nullptr}}, Lat, false,
                 L"Lat 48\u00B0 51.397' N"},
        TextCase{"DDMSixDecimals", {{"GPSFormat", 0, L"DDM"}}, Lat, false, L"Lat 48\u00B0 51.396840' N"},
        TextCase{"DDZeroDecimals", {{"GPSDecimalPlaces", 0, nullptr}}, Lat, false, L"Lat 49\u00B0 N"},
        TextCase{"NegativeDecimalsAsZero", {{"GPSDecimalPlaces", -3, nullptr}}, Lat, false, L"Lat 49\u00B0 N"},
        TextCase{"UnknownFormatLeavesTheLabel", {{"GPSFormat", 0, L"UTM"}}, Lat | Lon, false, L"Lat , Long "},
        TextCase{"DateOnlyWithLabel", {{"DateTime", 0, L"Date"}}, Date, false, L"Date 7-May-2013"},
        TextCase{"DateOnlyWithoutLabel", {{"DateTime", 0, L"Date"}}, Date, true,
                 L"Rue de Rivoli, Paris, Ile-de-France, France, 7-May-2013"},
        TextCase{"PrecisionAlone", {}, Dop, false, L"GPS Accu. Good"},
        TextCase{"AltitudeInFeet", {{"AltUnit", 0, L"FT"}}, Alt, false, L"Elev. 114.80 ft."}),
    [](const ::testing::TestParamInfo<TextCase>& info) { return std::string(info.param.Name); });

TEST(StampText, PrecisionAloneInEachStamp)
{
    CMemorySettingsStore settings;
    WriteDefaultSettings(settings);
    for (const Setting& s : kNoGPSItems) settings.SetInt(s.Key, 0);
    settings.SetInt("GPSStampngIncMeasPrec", 1);
    settings.SetInt("AddrStampngIncGPSCoord", 0);
    settings.SetInt("AddrStampngIncAlt", 0);
    settings.SetInt("AddrStampngIncDateTaken", 0);
    settings.SetInt("AddrStampngIncMeasPrec", 1);
    TestTree tree(PictureFormatJpeg);
    Store(tree, kParis, 0, 1.5);
    CGeoTagMetadataDecoder decoder(tree.Root, PictureFormatJpeg);
    CGPSMetadataInfo empty;
    const CStampTextComposer composer(settings);
    EXPECT_EQ(composer.ComposeGPSStampText(decoder), L"GPS Accu. Excellent");
    EXPECT_EQ(composer.ComposeAddressStampText(decoder, empty), L"Accuracy Excellent");
}

TEST(StampText, AddressFieldsThatArePresent)
{
    CMemorySettingsStore settings;
    WriteDefaultSettings(settings);
    TestTree tree(PictureFormatJpeg);
    CGeoTagMetadataDecoder decoder(tree.Root, PictureFormatJpeg);
    CGPSMetadataInfo record;
    record.City = new std::wstring(L"Paris");
    record.CountryName = new std::wstring(L"France");
    record.CountryCode = new std::wstring(L"FR");  // never stamped
    const CStampTextComposer composer(settings);
    EXPECT_EQ(composer.ComposeAddressStampText(decoder, record), L"Paris, France");
    record.ProvinceState = new std::wstring;  // present but empty: only its separator
    EXPECT_EQ(composer.ComposeAddressStampText(decoder, record), L"Paris, , France");
}

struct AltitudeCase {
    const wchar_t* Unit;
    double Metres;
    std::wstring Expected;
};

void PrintTo(const AltitudeCase& c, std::ostream* os) { *os << c.Metres << " m"; }

class AltitudeTest : public ::testing::TestWithParam<AltitudeCase> {};

TEST_P(AltitudeTest, ConvertsToTheUnit)
{
    CMemorySettingsStore settings;
    settings.SetString("AltUnit", GetParam().Unit);
    EXPECT_EQ(CStampTextComposer(settings).FormatAltitudeValue(GetParam().Metres), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Units, AltitudeTest,
                         ::testing::Values(AltitudeCase{L"M", 35, L"Elev. 35.00 m"},
                                           AltitudeCase{L"FT", 35, L"Elev. 114.80 ft."},
                                           AltitudeCase{L"FT", 100, L"Elev. 328.00 ft."},
                                           AltitudeCase{L"KM", -12, L"Elev. -0.01 km"},
                                           AltitudeCase{L"YD", 35, L"Elev. 35.00 "}));

struct DirectionCase {
    double Degrees;
    std::wstring Expected;  // after "Looking "
};

void PrintTo(const DirectionCase& c, std::ostream* os) { *os << c.Degrees << " degrees"; }

class DirectionTest : public ::testing::TestWithParam<DirectionCase> {};

TEST_P(DirectionTest, NamesTheSector)
{
    EXPECT_EQ(CStampTextComposer::FormatDirectionValue(GetParam().Degrees), L"Looking " + GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sectors, DirectionTest,
    ::testing::Values(DirectionCase{0, L"North (N0.0\u00B0E)"}, DirectionCase{20, L"North (N20.0\u00B0E)"},
                      DirectionCase{20.05, L"North-East (N20.1\u00B0E)"}, DirectionCase{45, L"North-East (N45.0\u00B0E)"},
                      DirectionCase{90, L"East (N90.0\u00B0E)"}, DirectionCase{90.01, L"East (S90.0\u00B0E)"},
                      DirectionCase{100, L"East (S80.0\u00B0E)"}, DirectionCase{180, L"South (S0.0\u00B0E)"},
                      DirectionCase{200, L"South (S20.0\u00B0W)"}, DirectionCase{270, L"West (S90.0\u00B0W)"},
                      DirectionCase{315.25, L"North-West (N44.8\u00B0W)"}, DirectionCase{340, L"North-West (N20.0\u00B0W)"},
                      DirectionCase{359.99, L"North (N0.0\u00B0W)"}, DirectionCase{360, L"North (N0.0\u00B0E)"},
                      DirectionCase{-1, L""}, DirectionCase{720, L""}, DirectionCase{NAN, L""}));

TEST(StampText, DirectionReadFromThePictureWhenIncluded)
{
    CMemorySettingsStore settings;
    WriteDefaultSettings(settings);
    settings.SetInt("GPSStampngIncImgDirc", 1);
    TestTree tree(PictureFormatJpeg);
    Store(tree, Dir, 45);
    CGeoTagMetadataDecoder decoder(tree.Root, PictureFormatJpeg);
    EXPECT_EQ(CStampTextComposer(settings).ComposeGPSStampText(decoder), L"Looking North-East (N45.0\u00B0E)");
}

struct DateCase {
    const wchar_t* Style;
    bool Valid;
    bool Label;
    std::wstring Expected;
};

void PrintTo(const DateCase& c, std::ostream* os) { *os << (c.Valid ? "valid" : "invalid") << (c.Label ? " with label" : ""); }

class DateTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(DateTest, FormatsByTheSetting)
{
    CMemorySettingsStore settings;
    settings.SetString("DateTime", GetParam().Style);
    AutomationDate date = AutomationDate::FromParts(2013, 5, 7, 14, 3, 9);
    if (!GetParam().Valid) date = AutomationDate::FromParts(2013, 2, 30, 0, 0, 0);
    EXPECT_EQ(CStampTextComposer(settings).FormatDateValue(date, GetParam().Label), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Styles, DateTest,
                         ::testing::Values(DateCase{L"DateTime", true, true, L"Date 7-May-2013 2:03:09 PM"},
                                           DateCase{L"DateTime", true, false, L"7-May-2013 2:03:09 PM"},
                                           DateCase{L"Date", true, false, L"7-May-2013"},
                                           DateCase{L"DateTime", false, false, L"Invalid DateTime"},
                                           DateCase{L"Week", true, false, L""}));

TEST(StampText, DateWithoutStatusIsLeftOut)
{
    CMemorySettingsStore settings;
    AutomationDate date = AutomationDate::FromParts(2013, 5, 7, 14, 3, 9);
    date.DateStatus = 7;
    EXPECT_EQ(CStampTextComposer(settings).FormatDateValue(date, false), L"");
}

TEST(StampText, LowerCaseHemisphereAsStored)
{
    CMemorySettingsStore settings;
    GPSCoordinate south{33, 52, 4.2, 's'};
    EXPECT_EQ(CStampTextComposer(settings).FormatCoordinate(south, true, false), L"33.867833\u00B0 s");
}

}  // namespace
