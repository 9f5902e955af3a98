// A queued stamp is drawn into a file once, however often the picture is
// saved afterwards; a stamp the picture cannot take is left out with its
// reason; undo after a save says what stays in the pixels. The pictures are
// read back with djpeg and exiftool.
#include <gtest/gtest.h>

#include "../document/FakeUserInterface.h"
#include "GeoTagFile.h"
#include "ImageMetadataManipulationOperation.h"
#include "StampCommands.h"
#include "StringUtil.h"
#include "TestSupport.h"

namespace {

using namespace testsupport;

class StampOnceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_SAMPLES();
        REQUIRE_TOOL("djpeg");
        REQUIRE_TOOL("exiftool");
        WriteDefaultSettings(settings);
        dir.Copy(SamplesDir() / "pictures/gps/DSCN0010.jpg");
        dir.Copy(SamplesDir() / "pictures/cameras/Canon_40D.jpg");  // no GPS block
        ASSERT_EQ(doc.OnNavigationComplete(dir.Path().string()), S_OK);
        doc.LoadFolder();
        gps = doc.FindItemByName(L"DSCN0010.jpg");
        plain = doc.FindItemByName(L"Canon_40D.jpg");
        ASSERT_GE(gps, 0);
        ASSERT_GE(plain, 0);
    }
    void Change(int index, GeoField field, double number, const std::wstring& text = L"")
    {
        MetadataChange c;
        c.Operation = std::make_unique<CImageMetadataManipulationOperation>();
        c.Updates.push_back(std::make_unique<UpdateEntry>());
        c.Updates.back()->Field = field;
        c.Updates.back()->Number = number;
        c.Updates.back()->SetText(text);
        std::vector<MetadataChange> changes;
        changes.push_back(std::move(c));
        doc.ApplyMetadataChange({index}, std::move(changes));
    }
    std::string Pixels(const fs::path& path) { return RunCommand("djpeg -pnm " + Quote(path)); }
    std::string Exif(const fs::path& path, const char* tag)
    {
        return RunCommand("exiftool -n -s -s -s -" + std::string(tag) + " " + Quote(path));
    }

    TempDir dir;
    FakeUserInterface ui;
    CMemorySettingsStore settings;
    CCorvaneDoc doc{ui, settings};
    StampCommandContext context{doc, ui, settings};
    int gps = -1, plain = -1;
};

class StampOnceModeTest : public StampOnceTest, public ::testing::WithParamInterface<int> {};

// After three saves the band is the band of the first: a later save with a
// metadata change does not draw the queued stamp again.
TEST_P(StampOnceModeTest, LaterSavesDoNotDrawTheStampAgain)
{
    settings.SetInt("OverwriteOriginalPics", GetParam());
    const std::string original = Pixels(dir / "DSCN0010.jpg");
    ASSERT_TRUE(StampGPS(context, {gps}));
    ASSERT_EQ(doc.SavePicture(gps, "", false), S_OK);
    const fs::path saved = doc.DestinationOf(gps);
    const std::string once = Pixels(saved);
    ASSERT_FALSE(once.empty());
    EXPECT_FALSE(once == original) << "the stamp was not drawn";

    for (const wchar_t* city : {L"Oslo", L"Bergen"}) {
        const std::string bytes = ReadFile(saved);
        Change(gps, CityField, 0, city);
        ASSERT_EQ(doc.SavePicture(gps, "", false), S_OK);
        EXPECT_TRUE(Pixels(saved) == once) << "the stamp was drawn again";
        EXPECT_EQ(Exif(saved, "City"), WideToUtf8(city) + "\n");
        // Over the original the pixels are already stamped: only metadata changes.
        if (GetParam() == 0) {
            EXPECT_EQ(JpegScanData(ReadFile(saved)), JpegScanData(bytes));
        }
    }
    EXPECT_TRUE(ui.Messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Destinations, StampOnceModeTest, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == 0 ? "OverTheOriginal" : "IntoTheSubFolder");
                         });

TEST_F(StampOnceTest, GpsStampWithoutCoordinatesIsLeftOutAndSaysWhy)
{
    settings.SetInt("OverwriteOriginalPics", 0);
    const std::string before = ReadFile(dir / "Canon_40D.jpg");
    ASSERT_TRUE(StampGPS(context, {plain}));
    EXPECT_EQ(doc.SavePicture(plain, "", false), S_FALSE);
    EXPECT_EQ(ReadFile(dir / "Canon_40D.jpg"), before);
    ASSERT_EQ(ui.Messages.size(), 1u);
    EXPECT_EQ(ui.Messages[0], L"Saving Pictures: Canon_40D.jpg: GPS stamp left out: the picture has no GPS coordinates");
    EXPECT_FALSE(doc.HasUnsavedChangesAt(plain));

    // Coordinates given before the next save: the queued stamp is drawn, and states them.
    Change(plain, LatitudeField, 59.91);
    Change(plain, LongitudeField, 10.75);
    std::vector<std::wstring> notes;
    ASSERT_EQ(doc.SavePicture(plain, "", false, nullptr, &notes), S_OK);
    EXPECT_TRUE(notes.empty());
    EXPECT_FALSE(Pixels(dir / "Canon_40D.jpg") == RunCommand("djpeg -pnm " + Quote(SamplesDir() / "pictures/cameras/Canon_40D.jpg")));
    EXPECT_NEAR(std::stod(Exif(dir / "Canon_40D.jpg", "GPSLatitude")), 59.91, 1e-6);
    EXPECT_EQ(ui.Messages.size(), 1u);
}

TEST_F(StampOnceTest, LeftOutStampIsToldToTheCallerWhoAsks)
{
    ASSERT_TRUE(StampGPS(context, {plain, gps}));
    std::vector<std::wstring> notes;
    std::string error;
    EXPECT_EQ(doc.SavePicture(plain, "", false, &error, &notes), S_FALSE);
    EXPECT_EQ(notes, std::vector<std::wstring>{L"GPS stamp left out: the picture has no GPS coordinates"});
    EXPECT_FALSE(fs::exists(dir / "Modified/Canon_40D.jpg"));
    EXPECT_TRUE(ui.Messages.empty());
    // Save All tells every picture's outcome in one message, after the run.
    Change(plain, CityField, 0, L"Oslo");
    doc.SaveAll();
    ASSERT_EQ(ui.Messages.size(), 1u);
    EXPECT_EQ(ui.Messages[0], L"Saving Pictures: Canon_40D.jpg: GPS stamp left out: the picture has no GPS coordinates");
    EXPECT_EQ(Exif(dir / "Modified/Canon_40D.jpg", "City"), "Oslo\n");
    EXPECT_TRUE(fs::exists(dir / "Modified/DSCN0010.jpg"));
}

TEST_F(StampOnceTest, UndoAfterTheSaveSaysTheStampStays)
{
    settings.SetInt("OverwriteOriginalPics", 0);
    ASSERT_TRUE(StampGPS(context, {gps}));
    ASSERT_EQ(doc.SavePicture(gps, "", false), S_OK);
    const std::string stamped = JpegScanData(ReadFile(dir / "DSCN0010.jpg"));
    doc.Undo();
    ASSERT_EQ(ui.Messages.size(), 1u);
    EXPECT_EQ(ui.Messages[0],
              L"Undo: The stamp is already saved in the pixels of DSCN0010.jpg and stays there: undo takes it off the "
              L"pending changes, but saving again cannot remove it. Changes to the geotag can still be undone and "
              L"saved.");
    doc.Redo();
    Change(gps, CityField, 0, L"Oslo");
    ASSERT_EQ(doc.SavePicture(gps, "", false), S_OK);
    EXPECT_EQ(JpegScanData(ReadFile(dir / "DSCN0010.jpg")), stamped);  // redone, still not drawn twice
    EXPECT_EQ(ui.Messages.size(), 1u);
}

// A change already saved and then undone leaves the file ahead of the
// record: the picture counts as unsaved until the earlier record is written back.
TEST_F(StampOnceTest, UndoOfASavedChangeCanBeSaved)
{
    settings.SetInt("OverwriteOriginalPics", 0);
    const std::string latitude = Exif(dir / "DSCN0010.jpg", "GPSLatitude");
    Change(gps, LatitudeField, 12.5);
    ASSERT_EQ(doc.SavePicture(gps, "", false), S_OK);
    EXPECT_EQ(Exif(dir / "DSCN0010.jpg", "GPSLatitude"), "12.5\n");
    doc.Undo();
    EXPECT_TRUE(doc.HasUnsavedChangesAt(gps));
    EXPECT_TRUE(doc.HasUnsavedChanges());
    doc.SaveAll();
    EXPECT_EQ(Exif(dir / "DSCN0010.jpg", "GPSLatitude"), latitude);
    EXPECT_FALSE(doc.HasUnsavedChanges());
    doc.Redo();
    EXPECT_TRUE(doc.HasUnsavedChanges());
    doc.SaveAll();
    EXPECT_EQ(Exif(dir / "DSCN0010.jpg", "GPSLatitude"), "12.5\n");
    EXPECT_TRUE(ui.Messages.empty());
}

// The setting bounds what a stamped save may decode; the picture is left as it was.
TEST_F(StampOnceTest, PictureOverThePixelBudgetIsRefusedWithItsSize)
{
    dir.Copy(SamplesDir() / "pictures/cameras/HMD_Nokia_8.3_5G.jpg");
    doc.LoadFolder();
    const int phone = doc.FindItemByName(L"HMD_Nokia_8.3_5G.jpg");
    ASSERT_GE(phone, 0);
    settings.SetInt("OverwriteOriginalPics", 0);
    settings.SetInt("MaxStampMegapixels", 9);
    const std::string before = ReadFile(dir / "HMD_Nokia_8.3_5G.jpg");
    ASSERT_TRUE(StampTitle(context, {phone}, [](std::wstring& title, bool&) {
        title = L"Harbour";
        return true;
    }));
    std::string error;
    EXPECT_EQ(doc.SavePicture(phone, "", false, &error), E_INVALIDARG);
    EXPECT_EQ(error, "4608 x 1976 pixels (9.1 megapixels) is over the stamping limit of 9 megapixels");
    EXPECT_EQ(ReadFile(dir / "HMD_Nokia_8.3_5G.jpg"), before);
    EXPECT_TRUE(doc.HasUnsavedChangesAt(phone));
    // Without a caller to tell, the user is told.
    EXPECT_EQ(doc.SavePicture(phone, "", false), E_INVALIDARG);
    ASSERT_EQ(ui.Messages.size(), 1u);
    EXPECT_EQ(ui.Messages[0], L"Saving Pictures: HMD_Nokia_8.3_5G.jpg: not saved: 4608 x 1976 pixels (9.1 megapixels) "
                              L"is over the stamping limit of 9 megapixels");
}

}  // namespace
