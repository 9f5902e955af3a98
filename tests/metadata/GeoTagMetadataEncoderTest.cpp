#include <gtest/gtest.h>

#include <memory>

#include "GeoTagMetadataDecoder.h"
#include "GeoTagMetadataEncoder.h"
#include "IptcNames.h"
#include "TreeBuilder.h"

namespace {

using namespace GeoTagPaths;

struct Writers {
    std::shared_ptr<MetadataBlock> Gps = std::make_shared<MetadataBlock>(ContainerFormat::Gps);
    std::shared_ptr<MetadataBlock> Exif = std::make_shared<MetadataBlock>(ContainerFormat::Exif);
    std::shared_ptr<MetadataBlock> Iptc = std::make_shared<MetadataBlock>(ContainerFormat::Iptc);
    void Encode(const CGPSMetadataInfo& r) { CGeoTagMetadataEncoder(Gps, Exif, Iptc, PictureFormatJpeg).Encode(r); }
};

std::vector<std::pair<std::uint32_t, std::uint32_t>> RationalsAt(const MetadataBlock& b, const char* path)
{
    MetadataValue v;
    EXPECT_EQ(b.GetMetadataByName(path, v), S_OK) << path;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> out;
    for (auto n : v.Numbers()) out.emplace_back(MetadataValue::Numerator(n), MetadataValue::Denominator(n));
    return out;
}

std::string AsciiAt(const MetadataBlock& b, const char* path)
{
    MetadataValue v;
    b.GetMetadataByName(path, v);
    return v.Bytes();
}

using R = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

TEST(Encoder, StoredForms)
{
    CGPSMetadataInfo r;
    SetField(r.Latitude, GPSCoordinate{48, 51, 24.1234, 'N'});
    SetField(r.Longitude, GPSCoordinate{2, 17, 39.66, 'E'});
    r.SetSignedAltitude(-123.45);
    SetField(r.GPSDate, GPSDateValue{2013, 5, 7});
    SetField(r.GPSTime, GPSTimeValue{14, 3, 9});
    SetField(r.DOP, 3.14159);
    SetField(r.ImgDirection, 211.2013);
    SetField(r.ImgDirectionRef, 'T');
    SetField(r.GPSVersion, GPSVersionValue{0x102, 2, 0, 0});
    Writers w;
    w.Encode(r);
    EXPECT_EQ(RationalsAt(*w.Gps, GPSLatitude), (R{{48, 1}, {51, 1}, {24123, 1000}}));
    EXPECT_EQ(AsciiAt(*w.Gps, GPSLatitudeRef), "N");
    EXPECT_EQ(RationalsAt(*w.Gps, GPSAltitude), (R{{1234, 10}}));
    MetadataValue ref;
    ASSERT_EQ(w.Gps->GetMetadataByName(GPSAltitudeRef, ref), S_OK);
    EXPECT_EQ(ref.Number(0), 1u);
    EXPECT_EQ(*r.Altitude, -123.45);  // the record keeps its sign
    EXPECT_EQ(AsciiAt(*w.Gps, GPSDateStamp), "2013:05:07");
    EXPECT_EQ(RationalsAt(*w.Gps, GPSTimeStamp), (R{{14, 1}, {3, 1}, {9000, 1000}}));
    EXPECT_EQ(RationalsAt(*w.Gps, GPSDOP), (R{{31415, 10000}}));
    EXPECT_EQ(RationalsAt(*w.Gps, GPSImgDirection), (R{{21120, 100}}));
    MetadataValue version;
    w.Gps->GetMetadataByName(GPSVersionID, version);
    EXPECT_EQ(version.Numbers(), (std::vector<std::uint64_t>{2, 2, 0, 0}));  // low bytes
}

TEST(Encoder, OnlyWhatTheRecordHolds)
{
    CGPSMetadataInfo r;
    SetField(r.Latitude, GPSCoordinate{1, 2, 3, 'S'});
    SetField(r.Longitude, GPSCoordinate{4, 5, 6, 'W'});
    Writers w;
    w.Encode(r);
    std::vector<std::string> names;
    for (const auto& item : w.Gps->Items()) names.push_back(item.first);
    EXPECT_EQ(names, (std::vector<std::string>{GPSLatitude, GPSLatitudeRef, GPSLongitude, GPSLongitudeRef}));
    EXPECT_TRUE(w.Exif->Empty());
}

TEST(Encoder, DatesValidOnly)
{
    CGPSMetadataInfo r;
    SetField(r.DateTaken, AutomationDate::FromParts(2013, 5, 7, 14, 3, 9));
    Writers w;
    w.Encode(r);
    EXPECT_EQ(AsciiAt(*w.Exif, DateTimeOriginal), "2013:05:07 14:03:09");
    EXPECT_EQ(AsciiAt(*w.Exif, DateTimeDigitized), "2013:05:07 14:03:09");

    SetField(r.DateTaken, AutomationDate::FromParts(2013, 2, 30, 10, 0, 0));
    Writers invalid;
    invalid.Encode(r);
    EXPECT_TRUE(invalid.Exif->Empty());
}

TEST(Encoder, OutOfRangeNumbersAreSkippedNotWrapped)
{
    CGPSMetadataInfo r;
    SetField(r.Speed, -5.0);
    SetField(r.SpeedRef, 'K');
    SetField(r.DOP, 1e9);
    Writers w;
    w.Encode(r);
    MetadataValue v;
    EXPECT_NE(w.Gps->GetMetadataByName(GPSSpeed, v), S_OK);
    EXPECT_NE(w.Gps->GetMetadataByName(GPSSpeedRef, v), S_OK);  // reference only with its value
    EXPECT_NE(w.Gps->GetMetadataByName(GPSDOP, v), S_OK);
}

TEST(Encoder, IptcFieldsBecomeExactlyTheRecords)
{
    Writers w;
    w.Iptc->Append(IptcCity, MetadataValue::FromWideText(L"Lyon"));
    w.Iptc->Append(IptcCity, MetadataValue::FromWideText(L"Lyon again"));
    w.Iptc->Append("/{str=Application2.Keywords}", MetadataValue::FromWideText(L"café"));
    CGPSMetadataInfo r;
    SetField(r.CountryName, std::wstring(L"日本"));
    CGeoTagMetadataEncoder encoder(w.Gps, w.Exif, w.Iptc, PictureFormatJpeg);
    encoder.Encode(r);
    EXPECT_TRUE(encoder.IptcChanged());
    MetadataValue v;
    EXPECT_NE(w.Iptc->GetMetadataByName(IptcCity, v), S_OK);
    ASSERT_EQ(w.Iptc->GetMetadataByName(IptcCountryName, v), S_OK);
    EXPECT_EQ(v.Text(), L"日本");
    ASSERT_EQ(w.Iptc->GetMetadataByName(kIptcCharacterSetName, v), S_OK);
    EXPECT_EQ(v.Bytes(), "\x1B%G");
    ASSERT_EQ(w.Iptc->GetMetadataByName("/{str=Application2.Keywords}", v), S_OK);
    EXPECT_EQ(v.Text(), L"café");

    // Writing the same record again changes nothing.
    CGeoTagMetadataEncoder again(w.Gps, w.Exif, w.Iptc, PictureFormatJpeg);
    again.Encode(r);
    EXPECT_FALSE(again.IptcChanged());
}

TEST(Encoder, ClearingTheLastFieldLeavesNoLoneCharacterSet)
{
    Writers w;
    w.Iptc->Append(IptcCity, MetadataValue::FromWideText(L"Lyon"));
    CGPSMetadataInfo empty;
    w.Encode(empty);
    EXPECT_TRUE(w.Iptc->Empty());
}

TEST(Encoder, RoundTripThroughATree)
{
    CGPSMetadataInfo r;
    SetField(r.Latitude, GPSCoordinate{48, 51, 24.123, 'N'});
    r.SetSignedAltitude(35.5);
    SetField(r.Satellites, std::wstring(L"07"));
    SetField(r.Status, 'A');
    SetField(r.MeasureMode, '3');
    SetField(r.Track, 12.345);
    SetField(r.TrackRef, 'M');
    SetField(r.MapDatum, std::wstring(L"WGS-84"));
    SetField(r.Differential, std::uint8_t{1});
    SetField(r.HPositioningError, 4.5);
    TestTree tree(PictureFormatTiff);
    CGeoTagMetadataEncoder(tree.Gps, tree.Exif, tree.Iptc, PictureFormatTiff).Encode(r);
    CGPSMetadataInfo back;
    CGeoTagMetadataDecoder(tree.Root, PictureFormatTiff).Decode(back);
    EXPECT_NEAR(back.Latitude->Seconds, 24.123, 1e-9);
    EXPECT_EQ(*back.Altitude, 35.5);
    EXPECT_EQ(*back.AltitudeRef, 0);
    EXPECT_EQ(*back.Satellites, L"07");
    EXPECT_EQ(*back.Status, 'A');
    EXPECT_EQ(*back.MeasureMode, '3');
    EXPECT_NEAR(*back.Track, 12.345, 1e-9);
    EXPECT_EQ(*back.TrackRef, 'M');
    EXPECT_EQ(*back.MapDatum, L"WGS-84");
    EXPECT_EQ(*back.Differential, 1);
    EXPECT_EQ(*back.HPositioningError, 4.5);
}

}  // namespace
