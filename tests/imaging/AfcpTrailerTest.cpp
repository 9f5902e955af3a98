// The AFCP trailer: recognised only when consistent, moved with the image,
// its IPTC location removed on request and nothing else touched.
#include <gtest/gtest.h>

#include "AfcpTrailer.h"

namespace {

std::string Be32(std::uint32_t v)
{
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16 & 0xFF), static_cast<char>(v >> 8 & 0xFF),
            static_cast<char>(v & 0xFF)};
}

std::string Dataset(std::uint8_t number, const std::string& text)
{
    return std::string("\x1C\x02", 2) + static_cast<char>(number) + static_cast<char>(text.size() >> 8) +
           static_cast<char>(text.size() & 0xFF) + text;
}

const std::string kIptc = Dataset(25, "kept") + Dataset(90, "Trailerton") + Dataset(101, "Trailland");

// A trailer at `start` with an IPTC record and a text record.
std::string Trailer(std::uint32_t start)
{
    const std::string text = "note";
    const std::uint32_t values = start + 12 + 2 * 12;
    return "AXS!" + std::string("\x01\x00\x00\x02", 4) + Be32(0) + "IPTC" + Be32(kIptc.size()) + Be32(values) + "TEXT" +
           Be32(text.size()) + Be32(values + kIptc.size()) + kIptc + text + "AXS!" + Be32(start) + Be32(0);
}

TEST(AfcpTrailer, ReadsItsLocationAndMovesWithTheImage)
{
    const std::uint32_t start = 1000;
    const std::string t = Trailer(start);
    CAfcpTrailer trailer;
    ASSERT_TRUE(trailer.Parse(t, start + t.size(), 500));
    EXPECT_EQ(trailer.Offset(), start);
    const auto location = trailer.LocationDatasets();
    ASSERT_EQ(location.size(), 2u);
    EXPECT_EQ(location.at(kIptcCity), "Trailerton");

    std::string moved, error;
    ASSERT_TRUE(trailer.Rewrite(start + 40, {}, moved, &error)) << error;
    EXPECT_EQ(moved, Trailer(start + 40));  // every offset shifted, nothing else

    std::string wiped;
    ASSERT_TRUE(trailer.Rewrite(start, {kIptcCity, kIptcCountryName}, wiped, &error)) << error;
    CAfcpTrailer again;
    ASSERT_TRUE(again.Parse(wiped, start + wiped.size(), 0));
    EXPECT_TRUE(again.LocationDatasets().empty());
    EXPECT_NE(wiped.find(Dataset(25, "kept")), std::string::npos);
    EXPECT_NE(wiped.find("note"), std::string::npos);
}

TEST(AfcpTrailer, InconsistentTrailersAreNotRecognised)
{
    const std::uint32_t start = 1000;
    const std::string good = Trailer(start);
    struct Case {
        const char* what;
        std::string bytes;
        std::uint64_t fileSize;
        std::uint64_t earliest;
    };
    std::string badEntry = good;
    badEntry.replace(12 + 8, 4, Be32(start + 5000));  // an IPTC record beyond the file
    std::string badCount = good;
    badCount.replace(6, 2, std::string("\xFF\xFF", 2));
    std::string otherHeader = good;
    otherHeader.replace(0, 4, "AXS*");
    const Case cases[] = {
        {"no end record", good.substr(0, good.size() - 12), start + good.size() - 12, 0},
        {"starts inside the image", good, start + good.size(), start + 1},
        {"start beyond the bytes held", good.substr(10), start + good.size(), 0},
        {"an entry outside the trailer", badEntry, start + good.size(), 0},
        {"more entries than bytes", badCount, start + good.size(), 0},
        {"header and end record disagree", otherHeader, start + good.size(), 0},
    };
    for (const Case& c : cases) {
        CAfcpTrailer trailer;
        EXPECT_FALSE(trailer.Parse(c.bytes, c.fileSize, c.earliest)) << c.what;
        EXPECT_FALSE(trailer.Found()) << c.what;
    }
}

TEST(AfcpTrailer, IptcRecordsThatCannotBeWalkedAreNotRewritten)
{
    std::string out;
    EXPECT_TRUE(RemoveIptcDatasets(kIptc + std::string(3, '\0'), {kIptcCity}, out));  // padding is allowed
    EXPECT_EQ(out, Dataset(25, "kept") + Dataset(101, "Trailland"));
    for (const std::string& bad : {kIptc.substr(0, kIptc.size() - 2), kIptc + "junk", std::string("\x1C\x02\x5A\x80\x09", 5)})
        EXPECT_FALSE(RemoveIptcDatasets(bad, {kIptcCity}, out)) << bad.size();
}

}  // namespace
