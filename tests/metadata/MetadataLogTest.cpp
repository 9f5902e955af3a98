// What goes wrong while reading a picture reaches the metadata log, with
// exiv2's own reason, instead of vanishing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "LogSink.h"
#include "PictureMetadata.h"
#include "TestSupport.h"

using namespace testsupport;

namespace {

std::vector<std::string> metadataLines;

void Collect(LogArea area, const std::string& text)
{
    if (area == LogArea::Metadata)
        metadataLines.push_back(text);
}

// The camera JPEG with the byte count of IFD0's first entry (Make) made far
// larger than the EXIF block: exiv2 reads the rest and says why it cut the
// entry short.
std::string WithOversizedMakeEntry()
{
    std::string bytes = ReadFile(SamplesDir() / "pictures" / "broken" / "11-tests.jpg");
    const std::size_t tiff = bytes.find(std::string("Exif\0\0", 6)) + 6;
    EXPECT_EQ("II", bytes.substr(tiff, 2));
    std::uint32_t ifd0 = 0;
    std::memcpy(&ifd0, &bytes[tiff + 4], 4);  // little endian, as the header says
    const std::size_t count = tiff + ifd0 + 2 + 4;
    const char huge[4] = {'\xFF', '\xFF', '\xFF', '\x00'};
    bytes.replace(count, 4, huge, 4);
    return bytes;
}

TEST(MetadataLog, Exiv2sReasonForADamagedEntryIsLogged)
{
    metadataLines.clear();
    SetLogSink(&Collect);
    std::string error;
    auto picture = CPictureMetadata::OpenBytes(WithOversizedMakeEntry(), &error);
    SetLogSink(nullptr);
    EXPECT_NE(nullptr, picture) << error;
    bool named = false;
    for (const std::string& line : metadataLines)
        named = named || (line.rfind("exiv2: ", 0) == 0 && line.find("out of bounds") != std::string::npos);
    EXPECT_TRUE(named) << metadataLines.size() << " lines";
}

TEST(MetadataLog, NothingIsLoggedForASoundPicture)
{
    metadataLines.clear();
    SetLogSink(&Collect);
    std::string error;
    auto picture = CPictureMetadata::OpenBytes(ReadFile(SamplesDir() / "pictures" / "broken" / "11-tests.jpg"), &error);
    SetLogSink(nullptr);
    ASSERT_NE(nullptr, picture) << error;
    EXPECT_TRUE(metadataLines.empty()) << metadataLines.front();
}

}  // namespace
