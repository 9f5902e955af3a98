#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "GPSMetadataInfo.h"
#include "StringUtil.h"

bool operator==(const GPSCoordinate& a, const GPSCoordinate& b)
{
    return a.Degrees == b.Degrees && a.Minutes == b.Minutes && a.Seconds == b.Seconds && a.Ref == b.Ref;
}

// A record holding one field clones to a record holding a copy of that
// field, and the copy is its own (the document hands clones out and keeps
// the original).
template <typename T>
void ExpectCloneCopies(const char* name, T* CGPSMetadataInfo::*field, const T& value)
{
    CGPSMetadataInfo record;
    EXPECT_EQ(record.*field, nullptr) << name;
    SetField(record.*field, value);
    std::unique_ptr<CGPSMetadataInfo> clone(record.Clone());
    ASSERT_NE(clone.get()->*field, nullptr) << name;
    EXPECT_NE(clone.get()->*field, record.*field) << name;
    EXPECT_TRUE(*(clone.get()->*field) == value) << name;
    ClearField(record.*field);
    std::unique_ptr<CGPSMetadataInfo> emptyClone(record.Clone());
    EXPECT_EQ(emptyClone.get()->*field, nullptr) << name;
}

TEST(GPSMetadataInfo, CloneCopiesEveryField)
{
    using R = CGPSMetadataInfo;
    ExpectCloneCopies("DateTaken", &R::DateTaken, AutomationDate::FromParts(2013, 5, 7, 14, 3, 9));
    ExpectCloneCopies("GPSVersion", &R::GPSVersion, GPSVersionValue{2, 3, 0, 0});
    ExpectCloneCopies("Latitude", &R::Latitude, GPSCoordinate{48, 51, 24.5, 'N'});
    ExpectCloneCopies("Longitude", &R::Longitude, GPSCoordinate{2, 17, 40.2, 'E'});
    ExpectCloneCopies("AltitudeRef", &R::AltitudeRef, std::uint8_t{1});
    ExpectCloneCopies("Altitude", &R::Altitude, -12.5);
    ExpectCloneCopies("GPSTime", &R::GPSTime, GPSTimeValue{14, 3, 9});
    ExpectCloneCopies("Satellites", &R::Satellites, std::wstring(L"07"));
    ExpectCloneCopies("Status", &R::Status, 'A');
    ExpectCloneCopies("MeasureMode", &R::MeasureMode, '3');
    ExpectCloneCopies("PrecisionRating", &R::PrecisionRating, std::wstring(L"Good"));
    ExpectCloneCopies("DOP", &R::DOP, 2.5);
    ExpectCloneCopies("SpeedRef", &R::SpeedRef, 'K');
    ExpectCloneCopies("Speed", &R::Speed, 3.25);
    ExpectCloneCopies("TrackRef", &R::TrackRef, 'T');
    ExpectCloneCopies("Track", &R::Track, 181.0);
    ExpectCloneCopies("ImgDirectionRef", &R::ImgDirectionRef, 'M');
    ExpectCloneCopies("ImgDirection", &R::ImgDirection, 90.5);
    ExpectCloneCopies("MapDatum", &R::MapDatum, std::wstring(L"WGS-84"));
    ExpectCloneCopies("GPSDate", &R::GPSDate, GPSDateValue{2013, 5, 7});
    ExpectCloneCopies("Differential", &R::Differential, std::uint8_t{1});
    ExpectCloneCopies("HPositioningError", &R::HPositioningError, 4.75);
    ExpectCloneCopies("SubLocation", &R::SubLocation, std::wstring(L"Parc"));
    ExpectCloneCopies("City", &R::City, std::wstring(L"Sèvres"));
    ExpectCloneCopies("ProvinceState", &R::ProvinceState, std::wstring(L"Île-de-France"));
    ExpectCloneCopies("CountryName", &R::CountryName, std::wstring(L"France"));
    ExpectCloneCopies("CountryCode", &R::CountryCode, std::wstring(L"FR"));
}

TEST(GPSMetadataInfo, CloneIsDeep)
{
    CGPSMetadataInfo r;
    SetField(r.City, std::wstring(L"Sèvres"));
    SetField(r.Latitude, GPSCoordinate{48, 51, 24.5, 'N'});
    SetField(r.DateTaken, AutomationDate::FromParts(2013, 5, 7, 14, 3, 9));
    std::unique_ptr<CGPSMetadataInfo> c(r.Clone());
    ASSERT_NE(c->City, r.City);
    EXPECT_EQ(*c->City, L"Sèvres");
    EXPECT_EQ(c->Latitude->Seconds, 24.5);
    EXPECT_EQ(c->Latitude->Ref, 'N');
    EXPECT_EQ(*c->DateTaken, *r.DateTaken);
    EXPECT_EQ(c->Longitude, nullptr);
    *r.City = L"x";
    EXPECT_EQ(*c->City, L"Sèvres");
}

TEST(GPSMetadataInfo, CoordinateConversions)
{
    EXPECT_NEAR(CGPSMetadataInfo::CoordinateToDecimal({12, 30, 36, 'S'}), -12.51, 1e-12);
    EXPECT_NEAR(CGPSMetadataInfo::CoordinateToDecimal({12, 30, 36, 'w'}), -12.51, 1e-12);
    EXPECT_NEAR(CGPSMetadataInfo::CoordinateToDecimal({12, 30, 36, 'E'}), 12.51, 1e-12);

    GPSCoordinate* f = nullptr;
    EXPECT_TRUE(CGPSMetadataInfo::DecimalToCoordinate(f, -0.5, 'N', 'S'));
    EXPECT_EQ(f->Degrees, 0);
    EXPECT_EQ(f->Minutes, 30);
    EXPECT_NEAR(f->Seconds, 0, 1e-9);
    EXPECT_EQ(f->Ref, 'S');
    EXPECT_TRUE(CGPSMetadataInfo::DecimalToCoordinate(f, 0, 'N', 'S'));
    EXPECT_EQ(f->Ref, 'N');
    ClearField(f);
}

TEST(GPSMetadataInfo, NearlyEqualCoordinateIsNoChange)
{
    GPSCoordinate* f = nullptr;
    const double v = 48 + 51 / 60.0 + 24.0 / 3600.0;
    ASSERT_TRUE(CGPSMetadataInfo::DecimalToCoordinate(f, v, 'N', 'S'));
    GPSCoordinate* before = f;
    const GPSCoordinate old = *f;
    EXPECT_FALSE(CGPSMetadataInfo::DecimalToCoordinate(f, v + 0.005 / 3600.0, 'N', 'S'));
    EXPECT_EQ(f, before);
    EXPECT_EQ(f->Seconds, old.Seconds);
    EXPECT_TRUE(CGPSMetadataInfo::DecimalToCoordinate(f, v + 0.02 / 3600.0, 'N', 'S'));
    // Same magnitude in the other hemisphere is a change.
    EXPECT_TRUE(CGPSMetadataInfo::DecimalToCoordinate(f, -v, 'N', 'S'));
    EXPECT_EQ(f->Ref, 'S');
    ClearField(f);
}

TEST(GPSMetadataInfo, RateDOP)
{
    EXPECT_EQ(CGPSMetadataInfo::RateDOP(1.0), L"Ideal");
    EXPECT_EQ(CGPSMetadataInfo::RateDOP(1.0000001), L"Excellent");
    EXPECT_EQ(CGPSMetadataInfo::RateDOP(5.0), L"Good");
    EXPECT_EQ(CGPSMetadataInfo::RateDOP(10.0), L"Moderate");
    EXPECT_EQ(CGPSMetadataInfo::RateDOP(20.0), L"Fair");
    EXPECT_EQ(CGPSMetadataInfo::RateDOP(20.5), L"Poor");
    EXPECT_EQ(CGPSMetadataInfo::RateDOP(-3), L"Ideal");

    CGPSMetadataInfo r;
    r.SetDOP(3.5);
    EXPECT_EQ(*r.PrecisionRating, L"Good");
    r.SetDOP(std::nan(""));
    EXPECT_EQ(*r.PrecisionRating, L"Good");  // NaN keeps the word
    EXPECT_TRUE(std::isnan(*r.DOP));
}

TEST(GPSMetadataInfo, AltitudeSignRule)
{
    CGPSMetadataInfo r;
    r.SetSignedAltitude(0);
    EXPECT_EQ(*r.AltitudeRef, 1);
    r.SetSignedAltitude(0.5);
    EXPECT_EQ(*r.AltitudeRef, 0);
    r.SetSignedAltitude(-12.5);
    EXPECT_EQ(*r.AltitudeRef, 1);
    EXPECT_EQ(*r.Altitude, -12.5);
}

TEST(StringUtil, CutToUtf8BytesCutsBetweenCharacters)
{
    const struct {
        std::wstring Text;
        size_t Limit;
        std::wstring Cut;
    } cases[] = {
        {L"Arezzo", 32, L"Arezzo"},
        {L"abc\u00E9", 4, L"abc"},             // a 2-byte character that would end at byte 5
        {L"abc\u00E9", 5, L"abc\u00E9"},
        {L"\u6771\u4EAC\u90FD", 8, L"\u6771\u4EAC"},  // 3 bytes each
        {L"a\U0001F600", 4, L"a"},             // 4 bytes
        {L"", 3, L""},
        {L"FRA", 0, L""},
    };
    for (const auto& c : cases) EXPECT_EQ(CutToUtf8Bytes(c.Text, c.Limit), c.Cut) << c.Limit;
}
