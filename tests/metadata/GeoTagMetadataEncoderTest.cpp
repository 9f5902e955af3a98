#include <gtest/gtest.h>

#include <cmath>
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
    // Each number keeps the precision it was given.
    EXPECT_EQ(RationalsAt(*w.Gps, GPSLatitude), (R{{48, 1}, {51, 1}, {241234, 10000}}));
    EXPECT_EQ(AsciiAt(*w.Gps, GPSLatitudeRef), "N");
    EXPECT_EQ(RationalsAt(*w.Gps, GPSAltitude), (R{{12345, 100}}));
    MetadataValue ref;
    ASSERT_EQ(w.Gps->GetMetadataByName(GPSAltitudeRef, ref), S_OK);
    EXPECT_EQ(ref.Number(0), 1u);
    EXPECT_EQ(*r.Altitude, -123.45);  // the record keeps its sign
    EXPECT_EQ(AsciiAt(*w.Gps, GPSDateStamp), "2013:05:07");
    EXPECT_EQ(RationalsAt(*w.Gps, GPSTimeStamp), (R{{14, 1}, {3, 1}, {9000, 1000}}));
    EXPECT_EQ(RationalsAt(*w.Gps, GPSDOP), (R{{314159, 100000}}));
    EXPECT_EQ(RationalsAt(*w.Gps, GPSImgDirection), (R{{2112013, 10000}}));
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

struct RationalCase {
    double Value;
    std::uint32_t MinDenominator;
    bool Fits;
    std::uint32_t Numerator, Denominator;
};

// The smallest power of ten that states the value, never below the form's own denominator.
TEST(Encoder, RationalsKeepThePrecisionGiven)
{
    const RationalCase cases[] = {
        {8848.86, 10, true, 884886, 100},        {100, 10, true, 1000, 10},
        {0, 1000, true, 0, 1000},                {24.1234, 1000, true, 241234, 10000},
        {429496729.5, 10, true, 4294967295u, 10}, {429496729.6, 10, false, 0, 0},
        {4294967295.0, 10, false, 0, 0},         {1e10, 10, false, 0, 0},
        {-1, 10, false, 0, 0},                   {NAN, 10, false, 0, 0},
        {1.0 / 3, 1000, true, 333333333, 1000000000},  // no exact form: the finest that fits
        {59.9999999, 1000, true, 599999999, 10000000},
    };
    for (const auto& c : cases) {
        std::uint32_t n = 7, d = 7;
        EXPECT_EQ(CGeoTagMetadataEncoder::ToRational(c.Value, c.MinDenominator, n, d), c.Fits) << c.Value;
        if (c.Fits) {
            EXPECT_EQ(std::make_pair(n, d), std::make_pair(c.Numerator, c.Denominator)) << c.Value;
        }
    }
}

TEST(Encoder, DecimalDegreesJustBelowAMinuteCarryIntoIt)
{
    CGPSMetadataInfo r;
    CGPSMetadataInfo::DecimalToCoordinate(r.Latitude, 10.1, 'N', 'S');  // 10 deg 5 min 59.99999999999 s
    Writers w;
    w.Encode(r);
    EXPECT_EQ(RationalsAt(*w.Gps, GPSLatitude), (R{{10, 1}, {6, 1}, {0, 1000}}));
}

TEST(Encoder, AValueThatDoesNotFitRefusesTheRecord)
{
    CGPSMetadataInfo r;
    SetField(r.Latitude, GPSCoordinate{48, 51, 24, 'N'});
    r.SetSignedAltitude(429496729.6);
    Writers w;
    CGeoTagMetadataEncoder encoder(w.Gps, w.Exif, w.Iptc, PictureFormatJpeg);
    EXPECT_EQ(encoder.Encode(r), E_INVALIDARG);
    EXPECT_EQ(encoder.Refusal(), "the altitude 429496729.6 cannot be stored in the picture's GPS data");

    CGPSMetadataInfo speed;
    SetField(speed.Speed, -5.0);
    SetField(speed.SpeedRef, 'K');
    Writers v;
    CGeoTagMetadataEncoder second(v.Gps, v.Exif, v.Iptc, PictureFormatJpeg);
    EXPECT_EQ(second.Encode(speed), E_INVALIDARG);
    EXPECT_EQ(second.Refusal(), "the speed -5 cannot be stored in the picture's GPS data");
    MetadataValue value;
    EXPECT_NE(v.Gps->GetMetadataByName(GPSSpeedRef, value), S_OK);  // never wrapped, no reference alone
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

// A GPS block as a camera wrote it: degrees and decimal minutes, seconds in
// hundred-millionths, a fractional time, a reference without its value and
// tags the record has no field for.
TestTree CameraGps()
{
    TestTree t(PictureFormatJpeg);
    t.Gps->Append(GPSLatitudeRef, MetadataValue::FromAscii("N"));
    t.Gps->Append(GPSLatitude, Rationals({{54, 1}, {5938, 100}, {0, 1}}));
    t.Gps->Append(GPSLongitudeRef, MetadataValue::FromAscii("E"));
    t.Gps->Append(GPSLongitude, Rationals({{11, 1}, {53, 1}, {645599999, 100000000}}));
    t.Gps->Append(GPSAltitudeRef, MetadataValue::FromUInt8(0));
    t.Gps->Append(GPSTimeStamp, Rationals({{14, 1}, {27, 1}, {724, 100}}));
    t.Gps->Append(GPSImgDirectionRef, MetadataValue::FromAscii(""));
    t.Gps->Append(TagPath(20), Rationals({{1, 1}, {2, 1}, {3, 1}}));  // GPSDestLatitude
    t.Gps->Append(GPSProcessingMethod, MetadataValue::FromBlob("ASCII\0\0\0GPS"));
    t.Gps->Append(GPSAreaInformation, MetadataValue::FromBlob("ASCII\0\0\0Toscana"));
    t.Iptc->Append(IptcCity, MetadataValue::FromWideText(L"Llanfairpwllgwyngyllgogerychwyrndrobwll"));
    return t;
}

std::vector<MetadataBlock::Item> Without(const MetadataBlock& block, std::initializer_list<unsigned> tags)
{
    std::vector<MetadataBlock::Item> items;
    for (const auto& item : block.Items())
        if (std::find(tags.begin(), tags.end(), static_cast<unsigned>(TagNumberOf(item.first))) == tags.end())
            items.push_back(item);
    return items;
}

bool SameItems(const std::vector<MetadataBlock::Item>& a, const std::vector<MetadataBlock::Item>& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].first != b[i].first || a[i].second.Type() != b[i].second.Type() ||
            a[i].second.Numbers() != b[i].second.Numbers() || a[i].second.Bytes() != b[i].second.Bytes() ||
            a[i].second.Text() != b[i].second.Text())
            return false;
    return true;
}

// Encodes `change` applied to the record read from the camera's block, as a save does.
struct StoredEncode {
    TestTree Tree = CameraGps();
    CGPSMetadataInfo Stored;
    std::unique_ptr<CGPSMetadataInfo> Record;
    std::vector<MetadataBlock::Item> Before;
    HRESULT Status = S_OK;
    std::vector<std::string> Warnings;

    template <typename Change>
    explicit StoredEncode(Change change)
    {
        CGeoTagMetadataDecoder(Tree.Root, PictureFormatJpeg).Decode(Stored);
        Record.reset(Stored.Clone());
        change(*Record);
        Before = Tree.Gps->Items();
        CGeoTagMetadataEncoder encoder(Tree.Gps, Tree.Exif, Tree.Iptc, PictureFormatJpeg);
        Status = encoder.Encode(*Record, &Stored);
        Warnings = encoder.Warnings();
    }
};

TEST(EncoderWithStored, OnlyTheChangedFieldIsRewritten)
{
    StoredEncode e([](CGPSMetadataInfo& r) { r.SetSignedAltitude(8848.86); });
    ASSERT_EQ(e.Status, S_OK);
    // Everything but the altitude is the item the camera stored.
    MetadataBlock before(ContainerFormat::Gps);
    for (const auto& item : e.Before) before.Append(item.first, item.second);
    EXPECT_TRUE(SameItems(Without(*e.Tree.Gps, {5, 6}), Without(before, {5, 6})));
    EXPECT_EQ(RationalsAt(*e.Tree.Gps, GPSAltitude), (R{{884886, 100}}));
    EXPECT_TRUE(e.Warnings.empty());  // the long city was not changed: kept as it was
    EXPECT_EQ(e.Tree.Iptc->Items().size(), 1u);
}

TEST(EncoderWithStored, AnUnchangedRecordChangesNothing)
{
    StoredEncode e([](CGPSMetadataInfo&) {});
    EXPECT_EQ(e.Status, S_OK);
    EXPECT_TRUE(SameItems(e.Tree.Gps->Items(), e.Before));
}

TEST(EncoderWithStored, ClearingTheAltitudeTakesItsReference)
{
    StoredEncode e([](CGPSMetadataInfo& r) {
        r.SetSignedAltitude(12);
        ClearField(r.Altitude);
        ClearField(r.AltitudeRef);
    });
    // The stored record had no altitude (a reference alone is not one): nothing changed.
    EXPECT_TRUE(SameItems(e.Tree.Gps->Items(), e.Before));
}

TEST(EncoderWithStored, WipesTakeTheTagsWithoutAField)
{
    StoredEncode position([](CGPSMetadataInfo& r) {
        ClearField(r.Latitude);
        ClearField(r.Longitude);
    });
    MetadataValue v;
    EXPECT_NE(position.Tree.Gps->GetMetadataByName(GPSLatitude, v), S_OK);
    EXPECT_NE(position.Tree.Gps->GetMetadataByName(TagPath(20), v), S_OK);  // destination
    EXPECT_NE(position.Tree.Gps->GetMetadataByName(GPSAreaInformation, v), S_OK);
    EXPECT_EQ(position.Tree.Gps->GetMetadataByName(GPSProcessingMethod, v), S_OK);  // says no place
    EXPECT_EQ(position.Tree.Gps->GetMetadataByName(GPSTimeStamp, v), S_OK);

    StoredEncode all([](CGPSMetadataInfo& r) {
        ClearField(r.Latitude);
        ClearField(r.Longitude);
        ClearField(r.GPSTime);
    });
    EXPECT_TRUE(all.Tree.Gps->Empty());
}

TEST(EncoderWithStored, IptcTextIsCutToItsLimitBetweenCharacters)
{
    const std::wstring city = std::wstring(31, L'a') + L"\u00E9t\u00E9";  // 31 bytes, then 2-byte characters
    StoredEncode e([&](CGPSMetadataInfo& r) {
        SetField(r.City, city);
        SetField(r.CountryCode, std::wstring(L"ITA1"));
        SetField(r.CountryName, std::wstring(64, L'x'));
    });
    ASSERT_EQ(e.Status, S_OK);
    MetadataValue v;
    ASSERT_EQ(e.Tree.Iptc->GetMetadataByName(IptcCity, v), S_OK);
    EXPECT_EQ(v.Text(), std::wstring(31, L'a'));
    ASSERT_EQ(e.Tree.Iptc->GetMetadataByName(IptcCountryCode, v), S_OK);
    EXPECT_EQ(v.Text(), L"ITA");
    ASSERT_EQ(e.Tree.Iptc->GetMetadataByName(IptcCountryName, v), S_OK);
    EXPECT_EQ(v.Text(), std::wstring(64, L'x'));  // exactly the limit: whole
    EXPECT_EQ(e.Warnings, (std::vector<std::string>{
                              "Country code is longer than the 3 bytes IPTC allows: stored as \"ITA\"",
                              "City is longer than the 32 bytes IPTC allows: stored as \"" + std::string(31, 'a') + "\""}));
}

}  // namespace
