// The folder watcher on a real folder changed by another process.
#include <gtest/gtest.h>

#include "CorvaneDoc.h"
#include "FakeUserInterface.h"
#include "GeoTagFile.h"
#include "ImageMetadataManipulationOperation.h"
#include "TestSupport.h"

namespace {

using namespace testsupport;

class WatcherTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(SamplesDir().empty()) << "the test data is missing";
        for (const char* name : {"DSCN0010.jpg", "DSCN0012.jpg", "DSCN0021.jpg", "DSCN0025.jpg"})
            dir.Copy(SamplesDir() / "pictures/gps" / name);
        settings.SetInt("OverwriteOriginalPics", 0);
        ASSERT_EQ(doc.OnNavigationComplete(dir.Path().string()), S_OK);
        doc.LoadFolder();
        ASSERT_TRUE(doc.IsWatching());
    }
    // Waits for the next posted 1083 and applies it, as the main window does.
    bool Drain()
    {
        if (!ui.WaitForPosted(kCommandFolderChanged, ++expected)) return false;
        doc.ProcessFolderChanges();
        return true;
    }
    // Another program writes a file: a shell command, not our process's code.
    void Shell(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

    TempDir dir;
    FakeUserInterface ui;
    CMemorySettingsStore settings;
    CCorvaneDoc doc{ui, settings};
    size_t expected = 0;
};

TEST_F(WatcherTest, AdditionsAndRemovalsKeepRowsOnTheirPictures)
{
    // Rows sorted in reverse: the removal in the middle must renumber them.
    doc.RowOrder() = {3, 2, 1, 0};
    Shell("rm " + Quote(dir / "DSCN0012.jpg"));
    ASSERT_TRUE(Drain());
    ASSERT_EQ(doc.Count(), 3);
    EXPECT_EQ(doc.RowOrder(), (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(doc.GetItemAtRow(0)->Name, L"DSCN0025.jpg");
    EXPECT_EQ(doc.GetItemAtRow(2)->Name, L"DSCN0010.jpg");

    Shell("cp " + Quote(SamplesDir() / "pictures/gps/DSCN0027.jpg") + " " + Quote(dir / "new.jpg") + " && echo x > " +
          Quote(dir / "readme.txt"));
    while (doc.FindItemByName(L"new.jpg") < 0 || !doc.Item(doc.FindItemByName(L"new.jpg")).Current())
        ASSERT_TRUE(Drain());
    EXPECT_EQ(doc.FindItemByName(L"readme.txt"), -1);
    EXPECT_EQ(doc.RowOrder().back(), doc.FindItemByName(L"new.jpg"));
}

TEST_F(WatcherTest, RenameKeepsTheItemAndModificationRereads)
{
    const int index = doc.FindItemByName(L"DSCN0021.jpg");
    Shell("mv " + Quote(dir / "DSCN0021.jpg") + " " + Quote(dir / "renamed.jpg"));
    ASSERT_TRUE(Drain());
    EXPECT_EQ(doc.FindItemByName(L"renamed.jpg"), index);
    EXPECT_EQ(doc.Item(index).Path, (dir / "renamed.jpg").string());

    // Another program changes the city: the picture without changes of ours is read again.
    CGPSMetadataInfo record;
    SetField(record.City, std::wstring(L"Elsewhere"));
    const fs::path staged = dir.Path().parent_path() / (dir.Path().filename().string() + "-other.jpg");
    ASSERT_EQ(SaveGeoTag((dir / "renamed.jpg").string(), staged.string(), record, nullptr), S_OK);
    Shell("cat " + Quote(staged) + " > " + Quote(dir / "renamed.jpg") + " && rm " + Quote(staged));
    while (!doc.Item(index).Current() || !doc.Item(index).Current()->City) ASSERT_TRUE(Drain());
    EXPECT_EQ(*doc.Item(index).Current()->City, L"Elsewhere");
}

TEST_F(WatcherTest, OwnSaveCausesNoReload)
{
    auto op = std::make_unique<CImageMetadataManipulationOperation>();
    std::vector<MetadataChange> changes(1);
    changes[0].Operation = std::move(op);
    changes[0].Updates.push_back(std::make_unique<UpdateEntry>());
    changes[0].Updates.back()->Field = CityField;
    changes[0].Updates.back()->SetText(L"Ours");
    doc.ApplyMetadataChange({0}, std::move(changes));
    CGPSMetadataInfo* version = doc.Item(0).Current();
    ASSERT_EQ(doc.SavePicture(0, "", false), S_OK);
    // A marker file written afterwards tells when the watcher has caught up.
    Shell("echo x > " + Quote(dir / "marker.txt"));
    ASSERT_TRUE(Drain());
    ASSERT_EQ(doc.Count(), 4);
    EXPECT_EQ(doc.Item(0).Current(), version);  // same version: nothing re-read
    EXPECT_EQ(doc.Item(0).History.size(), 2u);
}

TEST_F(WatcherTest, DroppedNotificationsRescanTheFolder)
{
    // The watcher's thread is held in its post, so the kernel's queue fills
    // up and drops what follows: a removal and an addition among them.
    ui.HoldPosts();
    Shell("echo x > " + Quote(dir / "marker.txt"));
    ASSERT_TRUE(ui.WaitForBlockedPost());
    Shell("cd " + Quote(dir.Path()) + " && for i in $(seq 12000); do : > f$i.txt; done");
    Shell("rm " + Quote(dir / "DSCN0012.jpg") + " && cp " + Quote(SamplesDir() / "pictures/gps/DSCN0027.jpg") + " " +
          Quote(dir / "late.jpg"));
    ui.ReleasePosts();
    while (doc.FindItemByName(L"late.jpg") < 0 || doc.FindItemByName(L"DSCN0012.jpg") >= 0) ASSERT_TRUE(Drain());
    EXPECT_EQ(doc.Count(), 4);
    EXPECT_TRUE(doc.Item(doc.FindItemByName(L"late.jpg")).Current());
    EXPECT_EQ(doc.RowOrder().size(), 4u);
}

TEST_F(WatcherTest, NavigationStopsTheWatch)
{
    TempDir other;
    ASSERT_EQ(doc.OnNavigationPending(other.Path().string()), S_OK);
    EXPECT_FALSE(doc.IsWatching());
}

}  // namespace
