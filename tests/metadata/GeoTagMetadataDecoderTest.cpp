#include <gtest/gtest.h>

#include <cmath>

#include "GeoTagMetadataDecoder.h"
#include "TreeBuilder.h"

namespace {

using namespace GeoTagPaths;

class DecoderTest : public ::testing::TestWithParam<PictureFormat> {
protected:
    TestTree tree{GetParam()};
    CGPSMetadataInfo record;
    void Decode() { CGeoTagMetadataDecoder(tree.Root, GetParam()).Decode(record); }
};

TEST_P(DecoderTest, ReadsThroughTheRootsOfItsFormat)
{
    tree.Gps->Append(GPSLatitude, Rationals({{48, 1}, {51, 1}, {2400, 100}}));
    tree.Gps->Append(GPSLatitudeRef, MetadataValue::FromAscii("N"));
    tree.Iptc->Append(IptcCity, MetadataValue::FromWideText(L"Zürich"));
    tree.Exif->Append(DateTimeOriginal, MetadataValue::FromAscii("2013:05:07 14:03:09"));
    Decode();
    ASSERT_NE(record.Latitude, nullptr);
    EXPECT_EQ(record.Latitude->Degrees, 48);
    EXPECT_EQ(record.Latitude->Minutes, 51);
    EXPECT_EQ(record.Latitude->Seconds, 24);
    EXPECT_EQ(record.Latitude->Ref, 'N');
    EXPECT_EQ(*record.City, L"Zürich");
    EXPECT_EQ(record.DateTaken->Format("%Y-%m-%d %H:%M:%S"), "2013-05-07 14:03:09");
}

TEST_P(DecoderTest, CoordinateNeedsItsReference)
{
    tree.Gps->Append(GPSLatitude, Rationals({{48, 1}, {51, 1}, {2400, 100}}));
    tree.Gps->Append(GPSLongitude, Rationals({{12, 1}, {30, 1}}));  // short vector: what is there
    tree.Gps->Append(GPSLongitudeRef, MetadataValue::FromAscii("w"));
    Decode();
    EXPECT_EQ(record.Latitude, nullptr);
    ASSERT_NE(record.Longitude, nullptr);
    EXPECT_DOUBLE_EQ(CGPSMetadataInfo::CoordinateToDecimal(*record.Longitude), -12.5);
    EXPECT_FALSE(CGeoTagMetadataDecoder::HasGPSCoordinates(tree.Root, GetParam()));
    tree.Gps->Append(GPSLatitudeRef, MetadataValue::FromAscii("N"));
    EXPECT_TRUE(CGeoTagMetadataDecoder::HasGPSCoordinates(tree.Root, GetParam()));
}

TEST_P(DecoderTest, NumbersAndTheirReferences)
{
    tree.Gps->Append(GPSAltitude, Rationals({{1234, 10}}));
    tree.Gps->Append(GPSAltitudeRef, MetadataValue::FromUInt8(1));
    tree.Gps->Append(GPSTimeStamp, Rationals({{14, 1}, {3, 1}, {9500, 1000}}));
    tree.Gps->Append(GPSDateStamp, MetadataValue::FromAscii("2013: 5: 7"));
    tree.Gps->Append(GPSDOP, Rationals({{35, 10}}));
    tree.Gps->Append(GPSSpeed, Rationals({{5, 1}}));  // no reference: the value stands
    tree.Gps->Append(GPSImgDirection, Rationals({{2112, 10}}));
    tree.Gps->Append(GPSImgDirectionRef, MetadataValue::FromAscii("T"));
    tree.Gps->Append(GPSVersionID, MetadataValue::FromNumbers(ValueType::UInt8Vector, {2, 3}));
    tree.Gps->Append(GPSDifferential, MetadataValue::FromUInt16(7));
    Decode();
    EXPECT_DOUBLE_EQ(*record.Altitude, -123.4);
    EXPECT_EQ(*record.AltitudeRef, 1);
    EXPECT_EQ(*record.GPSTime, (GPSTimeValue{14, 3, 9}));
    EXPECT_EQ(*record.GPSDate, (GPSDateValue{2013, 5, 7}));
    EXPECT_EQ(*record.DOP, 3.5);
    EXPECT_EQ(*record.PrecisionRating, L"Good");
    EXPECT_EQ(*record.Speed, 5);
    EXPECT_EQ(record.SpeedRef, nullptr);
    EXPECT_DOUBLE_EQ(*record.ImgDirection, 211.2);
    EXPECT_EQ(*record.ImgDirectionRef, 'T');
    EXPECT_EQ(*record.GPSVersion, (GPSVersionValue{2, 3, 0, 0}));
    EXPECT_EQ(*record.Differential, 1);
}

// Signed rationals, as some phones write them: the sign turns the hemisphere.
TEST_P(DecoderTest, SignedCoordinatesFoldIntoTheReference)
{
    auto signedRationals = [](std::initializer_list<std::pair<std::int32_t, std::int32_t>> values) {
        std::vector<std::uint64_t> packed;
        for (const auto& v : values)
            packed.push_back(MetadataValue::PackRational(static_cast<std::uint32_t>(v.first),
                                                         static_cast<std::uint32_t>(v.second)));
        return MetadataValue::FromNumbers(ValueType::SRationalVector, packed);
    };
    tree.Gps->Append(GPSLatitude, signedRationals({{60, 1}, {8, 1}, {4814, 100}}));
    tree.Gps->Append(GPSLatitudeRef, MetadataValue::FromAscii("N"));
    tree.Gps->Append(GPSLongitude, signedRationals({{-24, 1}, {-54, 1}, {-2438, 100}}));
    tree.Gps->Append(GPSLongitudeRef, MetadataValue::FromAscii("E"));
    tree.Gps->Append(GPSAltitude, signedRationals({{-5, 1}}));  // only coordinates are read signed
    Decode();
    ASSERT_NE(record.Latitude, nullptr);
    EXPECT_DOUBLE_EQ(CGPSMetadataInfo::CoordinateToDecimal(*record.Latitude), 60 + 8 / 60.0 + 48.14 / 3600);
    ASSERT_NE(record.Longitude, nullptr);
    EXPECT_EQ(record.Longitude->Ref, 'W');
    EXPECT_EQ(record.Longitude->Degrees, 24);
    EXPECT_DOUBLE_EQ(record.Longitude->Seconds, 24.38);
    EXPECT_EQ(record.Altitude, nullptr);
}

TEST_P(DecoderTest, AnEmptyGpsDateStampIsNoDate)
{
    for (const char* text : {"", "    :  :  ", "::"}) {
        TestTree t(GetParam());
        t.Gps->Append(GPSDateStamp, MetadataValue::FromAscii(text));
        CGPSMetadataInfo r;
        CGeoTagMetadataDecoder(t.Root, GetParam()).Decode(r);
        EXPECT_EQ(r.GPSDate, nullptr) << '"' << text << '"';
    }
}

TEST_P(DecoderTest, ZeroDenominatorsNeverFault)
{
    tree.Gps->Append(GPSTimeStamp, Rationals({{14, 0}, {3, 1}, {9, 1}}));
    tree.Gps->Append(GPSDOP, Rationals({{0, 0}}));
    tree.Gps->Append(GPSAltitude, Rationals({{5, 0}}));
    Decode();
    EXPECT_EQ(record.GPSTime, nullptr);
    ASSERT_NE(record.DOP, nullptr);
    EXPECT_TRUE(std::isnan(*record.DOP));
    EXPECT_EQ(*record.PrecisionRating, L"");  // no word for NaN
    EXPECT_TRUE(std::isinf(*record.Altitude));
    EXPECT_EQ(record.AltitudeRef, nullptr);
}

TEST_P(DecoderTest, DateTexts)
{
    struct Case {
        const char* Text;
        bool Valid;
        const char* Formatted;
    } cases[] = {{"2013:05:07 14:03:09", true, "2013-05-07 14:03:09"},
                 {"2013:05:07", true, "2013-05-07 00:00:00"},
                 {"0000:00:00 00:00:00", false, "Invalid DateTime"},
                 {"2013:02:30 10:00:00", false, "Invalid DateTime"},
                 {"", false, "Invalid DateTime"}};
    for (const auto& c : cases) {
        TestTree t(GetParam());
        t.Exif->Append(DateTimeOriginal, MetadataValue::FromAscii(c.Text));
        CGPSMetadataInfo r;
        CGeoTagMetadataDecoder(t.Root, GetParam()).Decode(r);
        ASSERT_NE(r.DateTaken, nullptr) << c.Text;
        EXPECT_EQ(r.DateTaken->IsValid(), c.Valid) << c.Text;
        EXPECT_EQ(r.DateTaken->Format("%Y-%m-%d %H:%M:%S"), c.Formatted) << c.Text;
    }
}

TEST_P(DecoderTest, WrongTypesReadAsMissing)
{
    tree.Gps->Append(GPSLatitude, MetadataValue::FromAscii("48.5"));
    tree.Gps->Append(GPSLatitudeRef, MetadataValue::FromAscii("N"));
    tree.Gps->Append(GPSMapDatum, MetadataValue::FromUInt16(3));
    Decode();
    EXPECT_EQ(record.Latitude, nullptr);
    EXPECT_EQ(record.MapDatum, nullptr);
}

TEST_P(DecoderTest, XmpFillsWhatExifAndIptcLack)
{
    tree.Gps->Append(GPSLatitude, Rationals({{10, 1}, {0, 1}, {0, 1}}));
    tree.Gps->Append(GPSLatitudeRef, MetadataValue::FromAscii("S"));
    tree.Xmp->Append("/exif:GPSLatitude", MetadataValue::FromAscii("48,51.4N"));  // EXIF wins
    tree.Xmp->Append("/exif:GPSLongitude", MetadataValue::FromAscii("2,17,39.5E"));
    tree.Xmp->Append("/exif:GPSAltitude", MetadataValue::FromAscii("355/10"));
    tree.Xmp->Append("/exif:GPSAltitudeRef", MetadataValue::FromAscii("1"));
    tree.Xmp->Append("/exif:GPSTimeStamp", MetadataValue::FromAscii("2013-05-07T14:03:09Z"));
    tree.Xmp->Append("/photoshop:City", MetadataValue::FromAscii("Sèvres"));
    tree.Xmp->Append("/iptc:CountryCode", MetadataValue::FromAscii("FR"));
    tree.Xmp->Append("/exif:DateTimeOriginal", MetadataValue::FromAscii("2013-05-07T16:03:09+02:00"));
    Decode();
    EXPECT_EQ(record.Latitude->Ref, 'S');
    EXPECT_NEAR(CGPSMetadataInfo::CoordinateToDecimal(*record.Longitude), 2 + 17 / 60.0 + 39.5 / 3600, 1e-12);
    EXPECT_DOUBLE_EQ(*record.Altitude, -35.5);
    EXPECT_EQ(*record.GPSDate, (GPSDateValue{2013, 5, 7}));
    EXPECT_EQ(*record.GPSTime, (GPSTimeValue{14, 3, 9}));
    EXPECT_EQ(*record.City, L"Sèvres");
    EXPECT_EQ(*record.CountryCode, L"FR");
    EXPECT_EQ(record.DateTaken->Format("%H:%M"), "16:03");
}

INSTANTIATE_TEST_SUITE_P(JpegAndTiff, DecoderTest, ::testing::Values(PictureFormatJpeg, PictureFormatTiff));

TEST(Decoder, MissingBlocksAbortAndOtherFormatsReadNothing)
{
    TestTree jpeg(PictureFormatJpeg);
    jpeg.Gps->Append(GPSLatitude, Rationals({{1, 1}, {0, 1}, {0, 1}}));
    jpeg.Gps->Append(GPSLatitudeRef, MetadataValue::FromAscii("N"));
    // The JPEG tree read as TIFF finds none of its blocks.
    CGeoTagMetadataDecoder asTiff(jpeg.Root, PictureFormatTiff);
    GPSCoordinate* c = nullptr;
    EXPECT_EQ(asTiff.ReadCoordinate(GPSLatitude, GPSLatitudeRef, c), E_ABORT);
    CGeoTagMetadataDecoder asPng(jpeg.Root, PictureFormatPng);
    CGPSMetadataInfo r;
    asPng.Decode(r);
    EXPECT_EQ(r.Latitude, nullptr);
    EXPECT_EQ(asPng.ReadIPTCLocation(r), E_ABORT);
    EXPECT_FALSE(CGeoTagMetadataDecoder::HasGPSCoordinates(jpeg.Root, PictureFormatPng));
    AutomationDate* d = nullptr;
    EXPECT_EQ(CGeoTagMetadataDecoder(jpeg.Root, PictureFormatJpeg).ReadDateTaken(d), E_FAIL);  // block there, tag not
}

}  // namespace
