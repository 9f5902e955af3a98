#include <gtest/gtest.h>

#include "GeoTagMetadataDecoder.h"
#include "MetadataTransferEngine.h"
#include "TreeBuilder.h"
#include "XmpGeoTagMirror.h"

namespace {

using namespace GeoTagPaths;

// A JPEG source with camera tags, GPS, interoperability, thumbnail, XMP and a comment.
TestTree CameraJpeg()
{
    TestTree t(PictureFormatJpeg);
    t.Ifd->Append(TagPath(271), MetadataValue::FromAscii("NIKON"));
    t.Ifd->Append(TagPath(700), MetadataValue::FromBlob("xmp"));  // not in the allow list
    t.Exif->Append(TagPath(33434), Rationals({{1, 500}}));
    t.Exif->Append(TagPath(40962), MetadataValue::FromUInt32(4288));
    t.Exif->Append(DateTimeOriginal, MetadataValue::FromAscii("2008:10:22 16:28:39"));
    t.Exif->Append(DateTimeDigitized, MetadataValue::FromAscii("2009:01:01 00:00:00"));
    auto interop = std::make_shared<MetadataBlock>(ContainerFormat::Interop);
    interop->Append(TagPath(1), MetadataValue::FromAscii("R98"));
    t.Exif->Append("/interop", MetadataValue::FromBlock(interop));
    t.Gps->Append(GPSLatitude, Rationals({{43, 1}, {28, 1}, {281, 100}}));
    t.Gps->Append(GPSLatitudeRef, MetadataValue::FromAscii("N"));
    t.Gps->Append(GPSAreaInformation, MetadataValue::FromBlob("somewhere"));
    t.Xmp->Append("/exif:GPSLatitude", MetadataValue::FromAscii("43,28.0468N"));
    t.Xmp->Append("/exif:GPSDestLatitude", MetadataValue::FromAscii("1,2N"));
    t.Xmp->Append("/dc:creator", MetadataValue::FromAscii("me"));
    auto com = std::make_shared<MetadataBlock>(ContainerFormat::Comment);
    com->Append("/TextEntry", MetadataValue::FromAscii("hello"));
    t.Root->Append("/com", MetadataValue::FromBlock(com));
    auto app1 = t.Root->GetBlock("/app1");
    auto thumb = std::make_shared<MetadataBlock>(ContainerFormat::Thumbnail);
    thumb->Append(TagPath(513), MetadataValue::FromUInt32(1));
    app1->Append("/thumb", MetadataValue::FromBlock(thumb));
    return t;
}

std::shared_ptr<MetadataBlock> Transfer(const TestTree& src, PictureFormat to, const CGPSMetadataInfo* record,
                                        TransferPolicy policy)
{
    auto target = std::make_shared<MetadataBlock>(to == PictureFormatJpeg ? ContainerFormat::JpegRoot
                                                                          : ContainerFormat::TiffRoot);
    EXPECT_EQ(TransferMetadata(src.Root, target, PictureFormatJpeg, to, record, policy), S_OK);
    return target;
}

bool Has(const std::shared_ptr<MetadataBlock>& root, const std::string& path)
{
    MetadataValue v;
    return root->GetMetadataByName(path, v) == S_OK;
}

TEST(Transfer, AllowListToJpegRebuildsTheGeotag)
{
    const TestTree src = CameraJpeg();
    CGPSMetadataInfo record;
    CGeoTagMetadataDecoder(src.Root, PictureFormatJpeg).Decode(record);
    ClearField(record.Latitude);
    SetField(record.City, std::wstring(L"Arezzo"));
    const auto t = Transfer(src, PictureFormatJpeg, &record, TransferPolicy::AllowList);
    EXPECT_TRUE(Has(t, "/app1/ifd/{ushort=271}"));
    EXPECT_FALSE(Has(t, "/app1/ifd/{ushort=700}"));
    EXPECT_TRUE(Has(t, "/app1/ifd/exif/{ushort=33434}"));
    EXPECT_FALSE(Has(t, "/app1/ifd/exif/{ushort=40962}"));
    EXPECT_FALSE(Has(t, "/app1/ifd/exif/interop"));  // a JPEG target carries none
    EXPECT_TRUE(t->GetBlock("/app1/ifd/gps")->Empty());  // exactly the record's GPS fields
    EXPECT_TRUE(Has(t, "/app13/irb/8bimiptc/iptc/{str=City}"));
    EXPECT_TRUE(Has(t, "/app1/thumb/{ushort=513}"));
    EXPECT_TRUE(Has(t, "/com/TextEntry"));
    EXPECT_TRUE(Has(t, "/xmp/dc:creator"));
    EXPECT_FALSE(Has(t, "/xmp/exif:GPSLatitude"));  // the mirror follows the record
    EXPECT_FALSE(Has(t, "/xmp/exif:GPSDestLatitude"));
    MetadataValue date;
    ASSERT_EQ(t->GetMetadataByName("/app1/ifd/exif/{ushort=36868}", date), S_OK);
    EXPECT_EQ(date.Bytes(), "2008:10:22 16:28:39");  // both dates are the record's
}

TEST(Transfer, AbsentDateTakesBothDatesAway)
{
    const TestTree src = CameraJpeg();
    CGPSMetadataInfo record;
    for (auto policy : {TransferPolicy::AllowList, TransferPolicy::KeepAll}) {
        const auto t = Transfer(src, PictureFormatJpeg, &record, policy);
        EXPECT_FALSE(Has(t, "/app1/ifd/exif/{ushort=36867}"));
        EXPECT_FALSE(Has(t, "/app1/ifd/exif/{ushort=36868}"));
    }
}

TEST(Transfer, ToTiffNestsIptcTwiceAndDropsTheThumbnail)
{
    const TestTree src = CameraJpeg();
    CGPSMetadataInfo record;
    SetField(record.City, std::wstring(L"Arezzo"));
    const auto t = Transfer(src, PictureFormatTiff, &record, TransferPolicy::AllowList);
    EXPECT_TRUE(Has(t, "/ifd/iptc/{str=City}"));
    EXPECT_TRUE(Has(t, "/ifd/irb/8bimiptc/iptc/{str=City}"));
    EXPECT_TRUE(Has(t, "/ifd/exif/interop/{ushort=1}"));
    EXPECT_TRUE(Has(t, "/ifd/xmp/dc:creator"));
    EXPECT_FALSE(Has(t, "/app1"));
    EXPECT_FALSE(Has(t, "/thumb"));
}

TEST(Transfer, KeepAllKeepsWhatTheRecordDidNotChange)
{
    const TestTree src = CameraJpeg();
    CGPSMetadataInfo record;
    CGeoTagMetadataDecoder(src.Root, PictureFormatJpeg).Decode(record);
    SetField(record.City, std::wstring(L"Arezzo"));
    const auto t = Transfer(src, PictureFormatJpeg, &record, TransferPolicy::KeepAll);
    EXPECT_TRUE(Has(t, "/app1/ifd/{ushort=700}"));
    EXPECT_TRUE(Has(t, "/app1/ifd/exif/{ushort=40962}"));
    EXPECT_TRUE(Has(t, "/app1/ifd/exif/interop/{ushort=1}"));
    // GPS and dates untouched: the scanned picture keeps its digitized time
    // and the GPS tags without a record field stay.
    MetadataValue v;
    ASSERT_EQ(t->GetMetadataByName("/app1/ifd/exif/{ushort=36868}", v), S_OK);
    EXPECT_EQ(v.Bytes(), "2009:01:01 00:00:00");
    EXPECT_TRUE(Has(t, "/app1/ifd/gps/{ushort=28}"));
    EXPECT_TRUE(Has(t, "/xmp/exif:GPSLatitude"));

    // A changed date rewrites both; a changed position rewrites its own tags
    // and nothing else.
    SetField(record.DateTaken, AutomationDate::FromParts(2020, 1, 2, 3, 4, 5));
    CGPSMetadataInfo* latitude = &record;
    CGPSMetadataInfo::DecimalToCoordinate(latitude->Latitude, 10.5, 'N', 'S');
    const auto u = Transfer(src, PictureFormatJpeg, &record, TransferPolicy::KeepAll);
    ASSERT_EQ(u->GetMetadataByName("/app1/ifd/exif/{ushort=36868}", v), S_OK);
    EXPECT_EQ(v.Bytes(), "2020:01:02 03:04:05");
    EXPECT_TRUE(Has(u, "/app1/ifd/gps/{ushort=28}"));
    ASSERT_EQ(u->GetMetadataByName("/xmp/exif:GPSLatitude", v), S_OK);
    EXPECT_EQ(v.Bytes(), "10,30.00000000N");
}

TEST(Transfer, RepeatedIptcDatasetsStayRepeated)
{
    TestTree src = CameraJpeg();
    src.Iptc->Append("/{str=Application2.Keywords}", MetadataValue::FromWideText(L"alps"));
    src.Iptc->Append("/{str=Application2.Keywords}", MetadataValue::FromWideText(L"snow"));
    CGPSMetadataInfo record;
    SetField(record.City, std::wstring(L"Chur"));
    for (auto policy : {TransferPolicy::AllowList, TransferPolicy::KeepAll}) {
        const auto t = Transfer(src, PictureFormatJpeg, &record, policy);
        std::vector<std::wstring> keywords;
        for (const auto& item : t->GetBlock("/app13/irb/8bimiptc/iptc")->Items())
            if (item.first == "/{str=Application2.Keywords}") keywords.push_back(item.second.Text());
        EXPECT_EQ(keywords, (std::vector<std::wstring>{L"alps", L"snow"}));
    }
}

TEST(Transfer, WithoutRecordGpsIsCarried)
{
    const TestTree src = CameraJpeg();
    const auto t = Transfer(src, PictureFormatJpeg, nullptr, TransferPolicy::AllowList);
    EXPECT_TRUE(Has(t, "/app1/ifd/gps/{ushort=2}"));
    EXPECT_TRUE(Has(t, "/xmp/exif:GPSLatitude"));
}

}  // namespace

// Zero denominators give a latitude without a number; its XMP mirror must not
// become a number of the formatter's choosing ("-2147483648,nanN"): the
// record did not change it, so the picture's own text stays.
TEST(Transfer, CoordinateWithoutANumberIsNotMirrored)
{
    TestTree src = CameraJpeg();
    src.Gps->SetMetadataByName(GPSLatitude, Rationals({{0, 0}, {7, 0}, {0, 1}}));
    CGPSMetadataInfo record;
    CGeoTagMetadataDecoder(src.Root, PictureFormatJpeg).Decode(record);
    ASSERT_NE(record.Latitude, nullptr);
    SetField(record.City, std::wstring(L"Arezzo"));
    const auto t = Transfer(src, PictureFormatJpeg, &record, TransferPolicy::KeepAll);
    MetadataValue v;
    ASSERT_EQ(t->GetMetadataByName("/xmp/exif:GPSLatitude", v), S_OK);
    EXPECT_EQ(v.Bytes(), "43,28.0468N");
    EXPECT_TRUE(Has(t, "/app1/ifd/gps/{ushort=2}")) << "the GPS block the record did not change stays";
    // Where the mirror is written anew, it has no text for such a latitude.
    EXPECT_FALSE(CXmpGeoTagMirror::PropertyText("/exif:GPSLatitude", record));
}
