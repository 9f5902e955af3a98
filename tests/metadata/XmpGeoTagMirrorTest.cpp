// The XMP copies of the geotag: read and written the same under every
// locale, left alone where the record did not change, gone after a wipe.
#include <gtest/gtest.h>

#include "LocaleScope.h"
#include "MetadataTable.h"
#include "XmpGeoTagMirror.h"

namespace {

using testsupport::LocaleScope;

std::string TextAt(const MetadataBlock& xmp, const std::string& name)
{
    MetadataValue v;
    return xmp.GetMetadataByName(name, v) == S_OK ? v.Bytes() : std::string("(none)");
}

std::vector<std::string> Names(const MetadataBlock& xmp)
{
    std::vector<std::string> names;
    for (const auto& item : xmp.Items()) names.push_back(item.first);
    return names;
}

class UnderLocale : public testing::TestWithParam<const char*> {};

TEST_P(UnderLocale, XmpNumbersUseAFullStop)
{
    LocaleScope locale(GetParam());
    ASSERT_TRUE(locale.Active()) << GetParam() << " is not generated (scripts/setup)";
    MetadataBlock xmp(ContainerFormat::Xmp);
    xmp.Append("/exif:GPSLatitude", MetadataValue::FromAscii("43,28.0469N"));
    xmp.Append("/exif:GPSLongitude", MetadataValue::FromAscii("11,53,6.456E"));
    xmp.Append("/exif:GPSAltitude", MetadataValue::FromAscii("884886/100"));
    xmp.Append("/exif:GPSDOP", MetadataValue::FromAscii("3.5"));

    CGPSMetadataInfo read;
    CXmpGeoTagMirror::FillMissing(xmp, read);
    ASSERT_NE(read.Latitude, nullptr);
    EXPECT_EQ(read.Latitude->Minutes, 28);
    EXPECT_NEAR(read.Latitude->Seconds, 2.814, 1e-9);
    ASSERT_NE(read.Longitude, nullptr);
    EXPECT_NEAR(read.Longitude->Seconds, 6.456, 1e-9);
    ASSERT_NE(read.Altitude, nullptr);
    EXPECT_DOUBLE_EQ(*read.Altitude, 8848.86);
    ASSERT_NE(read.DOP, nullptr);
    EXPECT_EQ(*read.DOP, 3.5);

    CGPSMetadataInfo record;
    CGPSMetadataInfo::DecimalToCoordinate(record.Latitude, 43.4678115, 'N', 'S');
    SetField(record.Longitude, *read.Longitude);
    SetField(record.Altitude, 8848.86);
    SetField(record.DOP, 3.5);
    CXmpGeoTagMirror::Apply(xmp, record, nullptr, false);
    EXPECT_EQ(TextAt(xmp, "/exif:GPSLatitude"), "43,28.06869000N");
    EXPECT_EQ(TextAt(xmp, "/exif:GPSLongitude"), "11,53,6.456E");  // says the same: left as written
    EXPECT_EQ(TextAt(xmp, "/exif:GPSAltitude"), "884886/100");
}

TEST_P(UnderLocale, CellTextsAndCsvUseAFullStop)
{
    LocaleScope locale(GetParam());
    ASSERT_TRUE(locale.Active()) << GetParam() << " is not generated (scripts/setup)";
    CGPSMetadataInfo r;
    SetField(r.Latitude, GPSCoordinate{48, 51, 24, 'N'});
    r.SetSignedAltitude(639.611111);
    SetField(r.ImgDirection, 211.2013);
    EXPECT_EQ(MetadataTable::CellText(&r, LatitudeField, 1, L""), L"48.856666666667 N");
    EXPECT_EQ(MetadataTable::CellText(&r, AltitudeField, 1, L""), L"639.61 m Above Sea");
    EXPECT_EQ(MetadataTable::CellText(&r, ImageDirectionField, 1, L""), L"211.2\u00B0 M");
    const std::string csv = MetadataTable::ToCsv({{L"a.jpg", &r}}, L";");
    EXPECT_NE(csv.find(";48.856666666667 N; ;639.61 m Above Sea;"), std::string::npos) << csv;
}

INSTANTIATE_TEST_SUITE_P(Locales, UnderLocale, testing::ValuesIn(testsupport::kTestLocales),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             return name.substr(0, name.find('.'));
                         });

// A picture whose XMP says the place in its own words.
MetadataBlock CameraXmp()
{
    MetadataBlock xmp(ContainerFormat::Xmp);
    xmp.Append("/exif:GPSLatitude", MetadataValue::FromAscii("43,28.05N"));
    xmp.Append("/exif:GPSAltitude", MetadataValue::FromAscii("100/1"));
    xmp.Append("/exif:GPSDestLatitude", MetadataValue::FromAscii("1,2N"));
    xmp.Append("/photoshop:City", MetadataValue::FromAscii("Arezzo"));
    for (const char* s : {"iptcExt:LocationCreated", "iptcExt:LocationShown"}) {
        const std::string bag = s;
        xmp.Append("/" + bag, MetadataValue::FromAscii(""));
        xmp.Append("/" + bag + "[1]", MetadataValue::FromAscii(""));
        xmp.Append("/{xmp=" + bag + "[1]/Iptc4xmpExt:City}", MetadataValue::FromAscii("Arezzo"));
        xmp.Append("/{xmp=" + bag + "[1]/exif:GPSLatitude}", MetadataValue::FromAscii("43,28.05N"));
        xmp.Append("/{xmp=" + bag + "[1]/Iptc4xmpExt:LocationName}", MetadataValue::FromAscii("Piazza Grande"));
    }
    return xmp;
}

// The record the picture gives: EXIF's latitude (not quite XMP's), city, altitude.
void Stored(CGPSMetadataInfo& r)
{
    SetField(r.Latitude, GPSCoordinate{43, 28, 2.814, 'N'});
    r.SetSignedAltitude(100);
    SetField(r.City, std::wstring(L"Arezzo"));
}

TEST(XmpMirror, WhatTheRecordDidNotChangeStaysAsWritten)
{
    MetadataBlock xmp = CameraXmp();
    CGPSMetadataInfo stored, record;
    Stored(stored);
    Stored(record);
    record.SetSignedAltitude(8848.86);
    EXPECT_TRUE(CXmpGeoTagMirror::Apply(xmp, record, &stored, false));
    EXPECT_EQ(TextAt(xmp, "/exif:GPSAltitude"), "884886/100");
    EXPECT_EQ(TextAt(xmp, "/exif:GPSLatitude"), "43,28.05N");  // not the EXIF value: untouched
    EXPECT_EQ(TextAt(xmp, "/exif:GPSDestLatitude"), "1,2N");
    EXPECT_EQ(Names(xmp), Names(CameraXmp()));
}

TEST(XmpMirror, LocationStructuresFollowTheRecord)
{
    CGPSMetadataInfo stored;
    Stored(stored);
    struct Case {
        const char* What;
        void (*Change)(CGPSMetadataInfo&);
        std::vector<std::string> Gone;
    } cases[] = {
        {"city changed", [](CGPSMetadataInfo& r) { SetField(r.City, std::wstring(L"Siena")); },
         {"/{xmp=iptcExt:LocationCreated[1]/Iptc4xmpExt:City}"}},
        {"city cleared", [](CGPSMetadataInfo& r) { ClearField(r.City); },
         {"/photoshop:City", "/{xmp=iptcExt:LocationCreated[1]/Iptc4xmpExt:City}",
          "/{xmp=iptcExt:LocationShown[1]/Iptc4xmpExt:City}"}},
        // A coordinate is a pair: half of the old one is no place at all.
        {"longitude set", [](CGPSMetadataInfo& r) { SetField(r.Longitude, GPSCoordinate{11, 53, 6.456, 'E'}); },
         {"/{xmp=iptcExt:LocationCreated[1]/exif:GPSLatitude}"}},
        {"position cleared", [](CGPSMetadataInfo& r) { ClearField(r.Latitude); },
         {"/exif:GPSLatitude", "/exif:GPSDestLatitude", "/{xmp=iptcExt:LocationCreated[1]/exif:GPSLatitude}",
          "/{xmp=iptcExt:LocationShown[1]/exif:GPSLatitude}"}},
    };
    for (const auto& c : cases) {
        MetadataBlock xmp = CameraXmp();
        CGPSMetadataInfo record;
        Stored(record);
        c.Change(record);
        CXmpGeoTagMirror::Apply(xmp, record, &stored, false);
        std::vector<std::string> gone;
        for (const auto& name : Names(CameraXmp())) {
            MetadataValue v;
            if (xmp.GetMetadataByName(name, v) != S_OK) gone.push_back(name);
        }
        EXPECT_EQ(gone, c.Gone) << c.What;
    }
}

TEST(XmpMirror, AWipeLeavesNoLocationStructure)
{
    MetadataBlock xmp = CameraXmp();
    xmp.Append("/dc:creator", MetadataValue::FromAscii("me"));
    CGPSMetadataInfo stored, record;
    Stored(stored);
    CXmpGeoTagMirror::Apply(xmp, record, &stored, false);
    EXPECT_EQ(Names(xmp), std::vector<std::string>{"/dc:creator"});
}

}  // namespace
