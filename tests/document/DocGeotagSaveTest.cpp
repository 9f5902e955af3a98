// The document's side of keeping the geotag as stored: a re-encoded save
// keeps the GPS tags it did not change, a refused change says why, and what
// a save stored otherwise reaches the user.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "CorvaneDoc.h"
#include "FakeUserInterface.h"
#include "GeoTagFile.h"
#include "ImageMetadataManipulationOperation.h"
#include "StampedSave.h"
#include "TestSupport.h"

namespace {

using namespace testsupport;

// exiv2's listing of the GPS IFD with single spaces and no tag numbers.
std::set<std::string> StoredGps(const fs::path& file)
{
    std::set<std::string> lines;
    std::istringstream out(RunCommand("exiv2 -pv -g GPSInfo. " + Quote(file) + " 2>/dev/null"));
    std::string line;
    while (std::getline(out, line)) {
        std::istringstream words(line);
        std::string word, joined;
        words >> word;
        while (words >> word) joined += (joined.empty() ? "" : " ") + word;
        if (joined.rfind("GPSInfo ", 0) == 0) lines.insert(joined);
    }
    return lines;
}

TEST(StampedSave, ReencodedPicturesKeepTheStoredGps)
{
    REQUIRE_SAMPLES();
    REQUIRE_TOOL("exiv2");
    TempDir dir;
    // Degrees and decimal minutes, and signed rationals, as some cameras and
    // phones store them (the phone sample's own scan data is cut short).
    const fs::path minutes = dir.Copy(SamplesDir() / "pictures/gps/DSCN0012.jpg", "minutes.jpg");
    const fs::path signedRationals = dir.Copy(SamplesDir() / "pictures/gps/DSCN0021.jpg", "signed.jpg");
    int status = -1;
    RunCommand("exiv2 -M'set Exif.GPSInfo.GPSLatitude Rational 54/1 5938/100 0/1' " + Quote(minutes), &status);
    ASSERT_EQ(status, 0);
    RunCommand("exiv2 -M'set Exif.GPSInfo.GPSLongitude SRational -24/1 -54/1 -2438/100' " + Quote(signedRationals),
               &status);
    ASSERT_EQ(status, 0);
    const fs::path samples[] = {minutes, signedRationals, SamplesDir() / "pictures/cameras/iphone_hdr_YES.jpg",
                                SamplesDir() / "pictures/cameras/Kodak_CX7530.jpg"};
    for (const fs::path& source : samples) {
        const std::string sample = source.filename().string();
        const fs::path target = dir / ("stamped-" + source.filename().string());
        auto record = ReadGeoTag(source.string(), nullptr, nullptr);
        ASSERT_TRUE(record) << sample;
        std::string error;
        ASSERT_EQ(SaveStampedPicture(source.string(), target.string(), *record, std::vector<PendingStamp>{}, &error),
                  S_OK)
            << error;
        const auto before = StoredGps(source);
        EXPECT_FALSE(before.empty()) << sample;
        EXPECT_EQ(StoredGps(target), before) << sample << ": the GPS block was rewritten";
    }
}

class DocGeotag : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_SAMPLES();
        dir.Copy(SamplesDir() / "pictures/gps/DSCN0010.jpg");
        settings.SetInt("OverwriteOriginalPics", 0);
        const std::string folder = dir.Path().string();
        ASSERT_EQ(doc.OnNavigationPending(folder), S_OK);
        ASSERT_EQ(doc.OnNavigationComplete(folder), S_OK);
        doc.LoadFolder();
        ASSERT_EQ(doc.Count(), 1);
    }
    void Change(std::vector<std::unique_ptr<UpdateEntry>> entries)
    {
        std::vector<MetadataChange> changes(1);
        changes[0].Operation = std::make_unique<CImageMetadataManipulationOperation>();
        changes[0].Updates = std::move(entries);
        doc.ApplyMetadataChange({0}, std::move(changes));
    }
    static std::unique_ptr<UpdateEntry> Entry(GeoField field, double number, const std::wstring& text = L"")
    {
        auto e = std::make_unique<UpdateEntry>();
        e->Field = field;
        e->Number = number;
        e->SetText(text);
        return e;
    }

    TempDir dir;
    FakeUserInterface ui;
    CMemorySettingsStore settings;
    CCorvaneDoc doc{ui, settings};
};

TEST_F(DocGeotag, ARefusedChangeChangesNothingAndSaysWhy)
{
    std::vector<std::unique_ptr<UpdateEntry>> entries;
    entries.push_back(Entry(CityField, 0, L"Arezzo"));
    entries.push_back(Entry(AltitudeField, 1e10));
    Change(std::move(entries));
    EXPECT_EQ(ui.Messages, std::vector<std::wstring>{L"Value Not Accepted: The change was not applied: altitude "
                                                     L"1e+10 is outside -429496729.5 to 429496729.5 m."});
    EXPECT_FALSE(doc.CanUndo());
    EXPECT_EQ(doc.Item(0).Current()->City, nullptr);
    EXPECT_FALSE(doc.HasUnsavedChanges());
}

TEST_F(DocGeotag, WhatASaveCutIsToldAfterIt)
{
    std::vector<std::unique_ptr<UpdateEntry>> entries;
    entries.push_back(Entry(CityField, 0, L"Llanfairpwllgwyngyllgogerychwyrndrobwll"));
    Change(std::move(entries));
    std::string error;
    ASSERT_EQ(doc.SavePicture(0, std::string(), false, &error), S_OK) << error;
    const auto warnings = doc.TakeSaveWarnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].Path, doc.Item(0).Path);
    EXPECT_EQ(warnings[0].Text,
              L"City is longer than the 32 bytes IPTC allows: stored as \"Llanfairpwllgwyngyllgogerychwyrn\"");
    EXPECT_TRUE(doc.TakeSaveWarnings().empty());
}

}  // namespace
