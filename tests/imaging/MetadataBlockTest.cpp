#include <gtest/gtest.h>

#include <cstring>

#include "JpegSegments.h"
#include "MetadataBlock.h"
#include "PhotoshopResources.h"
#include "PictureFormat.h"

namespace {

TEST(MetadataBlock, PathsReachNestedBlocksAndBracedNames)
{
    auto root = std::make_shared<MetadataBlock>(ContainerFormat::JpegRoot);
    auto app13 = std::make_shared<MetadataBlock>(ContainerFormat::App13);
    auto iptc = std::make_shared<MetadataBlock>(ContainerFormat::Iptc);
    root->Append("/app13", MetadataValue::FromBlock(app13));
    app13->Append("/iptc", MetadataValue::FromBlock(iptc));
    // A name with '/' inside braces is one segment.
    ASSERT_EQ(root->SetMetadataByName("/app13/iptc/{str=Province/State}", MetadataValue::FromWideText(L"Bayern")), S_OK);
    MetadataValue v;
    ASSERT_EQ(root->GetMetadataByName("/app13/iptc/{str=Province/State}", v), S_OK);
    EXPECT_EQ(v.Text(), L"Bayern");
    EXPECT_EQ(iptc->Size(), 1u);
    // Replacing keeps one item; a missing middle segment fails; a value is not a block.
    root->SetMetadataByName("/app13/iptc/{str=Province/State}", MetadataValue::FromWideText(L"Tirol"));
    EXPECT_EQ(iptc->Size(), 1u);
    EXPECT_EQ(root->SetMetadataByName("/app1/ifd/{ushort=1}", MetadataValue::FromAscii("N")), E_FAIL);
    EXPECT_EQ(root->GetMetadataByName("/app13/iptc/{str=Province/State}/x", v), E_FAIL);
    EXPECT_EQ(root->GetBlock("/app13/iptc/{str=Province/State}"), nullptr);
    EXPECT_EQ(root->RemoveMetadataByName("/app13/iptc/{str=Province/State}"), S_OK);
    EXPECT_EQ(root->RemoveMetadataByName("/app13/iptc/{str=Province/State}"), S_FALSE);
    EXPECT_EQ(root->SetMetadataByName("/app13/x", MetadataValue()), E_INVALIDARG);
}

TEST(MetadataBlock, TagNumbersAndRationals)
{
    EXPECT_EQ(TagNumberOf("/{ushort=36867}"), 36867);
    EXPECT_EQ(TagNumberOf("/{makernote=37500}"), 37500);
    EXPECT_EQ(TagNumberOf("/xmp"), -1);
    const auto packed = MetadataValue::PackRational(24123, 1000);
    EXPECT_EQ(MetadataValue::Numerator(packed), 24123u);
    EXPECT_EQ(MetadataValue::Denominator(packed), 1000u);
    EXPECT_DOUBLE_EQ(MetadataValue::RationalToDouble(packed), 24.123);
}

TEST(PictureKind, ByExtensionAlone)
{
    for (const char* name : {"a.jpg", "B.JPEG", "c.Jpe", "d.jfif"}) EXPECT_EQ(PictureKindFromName(name), PictureFormatJpeg);
    for (const char* name : {"a.tif", "B.TIFF"}) EXPECT_EQ(PictureKindFromName(name), PictureFormatTiff);
    for (const char* name : {"a.png", "jpg", "dir.jpg/file", "a.jpg.txt"})
        EXPECT_EQ(PictureKindFromName(name), PictureFormatOther) << name;
}

TEST(JpegSegments, StopAtTheScanOrAtAFault)
{
    const std::string jpeg = std::string("\xFF\xD8\xFF\xE0\x00\x04JF", 8) + std::string("\xFF\xFE\x00\x05hi!", 7) +
                             std::string("\xFF\xDA\x00\x02", 4) + "entropy";
    std::vector<JpegSegment> s;
    ASSERT_TRUE(ScanJpegSegments(reinterpret_cast<const std::uint8_t*>(jpeg.data()), jpeg.size(), s));
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].Marker, kJpegApp0);
    EXPECT_EQ(s[1].Marker, kJpegCom);
    EXPECT_EQ(jpeg.substr(s[1].PayloadOffset, s[1].PayloadSize), "hi!");
    // A length that runs past the end stops the walk without reading beyond it.
    const std::string cut = jpeg.substr(0, 12);
    ASSERT_TRUE(ScanJpegSegments(reinterpret_cast<const std::uint8_t*>(cut.data()), cut.size(), s));
    EXPECT_EQ(s.size(), 1u);
    EXPECT_FALSE(ScanJpegSegments(reinterpret_cast<const std::uint8_t*>("PNG"), 3, s));
}

std::string Resource(std::uint16_t id, const std::string& data)
{
    std::string r = "8BIM";
    r += static_cast<char>(id >> 8);
    r += static_cast<char>(id & 0xFF);
    r += std::string("\0\0", 2);  // empty name, padded
    const auto n = static_cast<std::uint32_t>(data.size());
    r += static_cast<char>(n >> 24);
    r += static_cast<char>(n >> 16);
    r += static_cast<char>(n >> 8);
    r += static_cast<char>(n);
    r += data;
    if (data.size() % 2) r += '\0';
    return r;
}

TEST(PhotoshopResources, DigestMatchesOnlyItsOwnIptc)
{
    const std::string iptc = "\x1C\x02\x5A\x00\x05Paris";
    const Md5Digest md5 = ComputeMd5(iptc);
    const std::string digest(reinterpret_cast<const char*>(md5.data()), 16);
    const std::string block = Resource(0x0404, iptc) + Resource(0x0425, digest);
    IptcDigestState s = InspectIptcDigest(block);
    EXPECT_TRUE(s.HasDigest);
    EXPECT_TRUE(s.Matches);
    EXPECT_EQ(block.substr(s.DigestOffset, 16), digest);
    s = InspectIptcDigest(Resource(0x0404, iptc + "x") + Resource(0x0425, digest));
    EXPECT_TRUE(s.HasDigest);
    EXPECT_FALSE(s.Matches);
    // A digest of nothing agrees with a block that has no IPTC (a library
    // drops an empty IPTC resource), not with one that has some.
    const Md5Digest none = ComputeMd5("");
    const std::string emptyDigest(reinterpret_cast<const char*>(none.data()), 16);
    EXPECT_TRUE(InspectIptcDigest(Resource(0x0425, emptyDigest)).Matches);
    EXPECT_FALSE(InspectIptcDigest(Resource(0x0425, digest)).Matches);
    // A size that runs past the block is refused, not read.
    std::string bad = Resource(0x0425, digest);
    bad[11] = '\x7F';
    std::string data;
    EXPECT_FALSE(FindPhotoshopResource(bad, 0x0425, data));
}

}  // namespace
