// The new header of a JPEG: unchanged blocks keep their bytes, changed ones
// are taken from the rewrite, and a rewrite that touches image segments is refused.
#include <gtest/gtest.h>

#include "JpegHeaderSplice.h"

namespace {

std::string Segment(unsigned char marker, const std::string& payload)
{
    const size_t length = payload.size() + 2;
    return std::string("\xFF", 1) + static_cast<char>(marker) + static_cast<char>(length >> 8) +
           static_cast<char>(length & 0xFF) + payload;
}

const std::string kSoi("\xFF\xD8", 2);
const std::string kExif = Segment(0xE1, std::string("Exif\0\0", 6) + "old exif");
const std::string kPhotoshop = Segment(0xED, std::string("Photoshop 3.0\0", 14) + "old iptc");
const std::string kIcc = Segment(0xE2, "ICC_PROFILE");
const std::string kDqt = Segment(0xDB, std::string(65, '\x01'));
const std::string kSof = Segment(0xC0, std::string(15, '\x02'));
const std::string kSos = Segment(0xDA, std::string(10, '\x03'));

TEST(JpegHeaderSplice, OnlyChangedBlocksAreReplaced)
{
    const std::string original = kSoi + kExif + kIcc + kPhotoshop + kDqt + kSof + kSos;
    const std::string newExif = Segment(0xE1, std::string("Exif\0\0", 6) + "new exif, longer");
    const std::string newXmp = Segment(0xE1, std::string("http://ns.adobe.com/xap/1.0/\0", 29) + "<x/>");
    // The library reorders and re-serialises everything it writes.
    const std::string rewritten = kSoi + newExif + newXmp + Segment(0xED, std::string("Photoshop 3.0\0", 14) + "re") +
                                  kIcc + kDqt + kSof + kSos;
    ChangedJpegBlocks changed;
    changed.Exif = true;
    changed.Xmp = true;
    std::string header, error;
    ASSERT_TRUE(SpliceJpegHeader(original, rewritten, changed, header, &error)) << error;
    // The new EXIF in place of the old, the new XMP after it, the rest as it was.
    EXPECT_EQ(header, kSoi + newExif + newXmp + kIcc + kPhotoshop + kDqt + kSof + kSos);
}

TEST(JpegHeaderSplice, RewritesThatTouchImageSegmentsAreRefused)
{
    const std::string original = kSoi + kExif + kDqt + kSof + kSos;
    const std::string otherDqt = Segment(0xDB, std::string(65, '\x09'));
    ChangedJpegBlocks changed;
    changed.Exif = true;
    for (const std::string& rewritten : {kSoi + kExif + otherDqt + kSof + kSos, kSoi + kExif + kSof + kSos,
                                         kSoi + kExif + kDqt + kSof + Segment(0xDA, std::string(10, '\x04')),
                                         kSoi + kExif + kDqt + kSof}) {
        std::string header, error;
        EXPECT_FALSE(SpliceJpegHeader(original, rewritten, changed, header, &error));
        EXPECT_EQ(error.rfind("refused: ", 0), 0u) << error;
    }
}

}  // namespace
