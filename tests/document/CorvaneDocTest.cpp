#include <gtest/gtest.h>

#include <unistd.h>

#include "CorvaneDoc.h"
#include "DocEdits.h"
#include "FakeUserInterface.h"
#include "GeoTagFile.h"
#include "ImageMetadataManipulationOperation.h"
#include "TestSupport.h"

namespace {

using namespace testsupport;

// A folder of real pictures loaded into a document.
class DocTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(SamplesDir().empty()) << "the test data is missing";
        for (const char* name : {"DSCN0010.jpg", "DSCN0012.jpg", "DSCN0021.jpg"})
            dir.Copy(SamplesDir() / "pictures/gps" / name);
        settings.SetInt("OverwriteOriginalPics", 0);
        Open(dir.Path().string());
    }
    void Open(const std::string& folder)
    {
        ASSERT_EQ(doc.OnNavigationPending(folder), S_OK);
        ASSERT_EQ(doc.OnNavigationComplete(folder), S_OK);
        doc.LoadFolder();
    }
    // Sets the latitude of the pictures at `indices` in one change.
    void SetLatitude(const std::vector<int>& indices, double value)
    {
        SetLatitudeOf(doc, indices, value);
    }

    TempDir dir;
    FakeUserInterface ui;
    CMemorySettingsStore settings;
    CCorvaneDoc doc{ui, settings};
};

TEST_F(DocTest, LoadsOnlyPlainPicturesOfTheFolder)
{
    WriteFile(dir / "notes.txt", "x");
    WriteFile(dir / ".hidden.jpg", "x");
    dir.Copy(SamplesDir() / "pictures/tiff/BSG1.tiff", "scan.TIF");
    fs::create_directory(dir / "sub.jpg");
    ASSERT_EQ(::symlink((dir / "DSCN0010.jpg").c_str(), (dir / "link.jpg").c_str()), 0);
    doc.LoadFolder();
    ASSERT_EQ(doc.Count(), 4);
    std::vector<std::wstring> names;
    for (int i = 0; i < doc.Count(); ++i) names.push_back(doc.Item(i).Name);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"DSCN0010.jpg", L"DSCN0012.jpg", L"DSCN0021.jpg", L"scan.TIF"}));
    EXPECT_EQ(doc.RowOrder(), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_NE(doc.Item(0).Current(), nullptr);
    EXPECT_EQ(doc.FindItemByName(L"dscn0012.JPG"), 1);
    EXPECT_EQ(doc.GetItemAtRow(4), nullptr);
    EXPECT_EQ(doc.GetItemAtRow(-1), nullptr);
}

TEST_F(DocTest, ViewsToldOfAChangeFindItUndoableAndUnsaved)
{
    // The window refreshes Undo and Save from this notification, so the change must be complete by then.
    int told = 0;
    ui.OnUpdate = [&] {
        ++told;
        EXPECT_TRUE(doc.CanUndo());
        EXPECT_TRUE(doc.HasUnsavedChangesAt(1));
        EXPECT_TRUE(doc.HasUnsavedChanges());
    };
    SetLatitude({1}, 12.25);
    EXPECT_EQ(told, 1);
    ui.OnUpdate = nullptr;
}

TEST_F(DocTest, ChangeUndoRedoKeepTheSameVersions)
{
    SetLatitude({0, 2}, 10.5);
    ASSERT_EQ(doc.UndoList().size(), 1u);
    EXPECT_EQ(doc.UndoList().back().Kind, MetadataManipulationOperation);
    ASSERT_EQ(ui.Updates.size(), 1u);
    EXPECT_EQ(ui.Updates[0].Indices, (std::vector<int>{0, 2}));
    EXPECT_EQ(ui.Updates[0].ChangedFieldLists, (std::vector<std::vector<std::int32_t>>{{LatitudeField}}));
    EXPECT_TRUE(doc.HasUnsavedChangesAt(0));
    EXPECT_FALSE(doc.HasUnsavedChangesAt(1));

    CGPSMetadataInfo* changed = doc.Item(0).Current();
    CGPSMetadataInfo* original = doc.Item(0).History.front().get();
    CImageOperation* operation = doc.Item(0).PendingOperations.back().Operation.get();
    doc.Undo();
    EXPECT_EQ(doc.Item(0).Current(), original);
    EXPECT_FALSE(doc.HasUnsavedChanges());  // nothing pending...
    EXPECT_FALSE(doc.Item(0).Saved);         // ...but the picture is not counted as saved
    doc.Redo();
    EXPECT_EQ(doc.Item(0).Current(), changed);  // the very same version, not a copy
    EXPECT_EQ(doc.Item(0).PendingOperations.back().Operation.get(), operation);
    EXPECT_TRUE(doc.HasUnsavedChanges());

    doc.Undo();
    SetLatitude({1}, 20);  // a new change empties the redo side
    EXPECT_FALSE(doc.CanRedo());
    EXPECT_TRUE(doc.Item(0).RedoHistory.empty());
    EXPECT_TRUE(doc.Item(0).UndoneOperations.empty());
}

TEST_F(DocTest, ChangeThatChangesNothingLeavesNoTrace)
{
    SetLatitude({1}, 20);
    const size_t versions = doc.Item(1).History.size();
    doc.Item(1).Saved = true;
    SetLatitude({1}, 20);
    EXPECT_EQ(doc.UndoList().size(), 1u);
    EXPECT_EQ(doc.Item(1).History.size(), versions);
    EXPECT_TRUE(doc.Item(1).Saved);
    SetLatitude({1}, 95);  // out of range: nothing either
    EXPECT_EQ(doc.UndoList().size(), 1u);
}

TEST_F(DocTest, NavigationAskBeforeLosingChanges)
{
    TempDir other;
    const std::string here = dir.Path().string();
    // The same folder again: no question, nothing reloaded.
    EXPECT_EQ(doc.OnNavigationPending(here), S_OK);
    SetLatitude({0}, 1);
    ui.Answer = kAnswerNo;
    EXPECT_EQ(doc.OnNavigationPending(other.Path().string()), E_FAIL);
    EXPECT_EQ(ui.Questions.size(), 1u);
    EXPECT_TRUE(doc.HasUnsavedChanges());
    EXPECT_EQ(doc.CurrentFolder(), here);

    ui.Answer = kAnswerYes;
    Open(other.Path().string());  // Yes: the changes are dropped on load
    EXPECT_EQ(doc.Count(), 0);
    EXPECT_FALSE(doc.HasUnsavedChanges());
    EXPECT_EQ(doc.BackList().size(), 2u);
    auto back = doc.TakeBackTarget();
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, here);
    EXPECT_EQ(doc.ForwardList().size(), 1u);
    ASSERT_EQ(doc.OnNavigationComplete(*back), S_OK);  // arrived: the forward entry stays
    EXPECT_EQ(doc.ForwardList().size(), 1u);
    auto forward = doc.TakeForwardTarget();
    ASSERT_TRUE(forward);
    EXPECT_EQ(*forward, other.Path().string());
}

TEST_F(DocTest, NoToTheQuestionRestoresBackAndForward)
{
    TempDir other;
    Open(other.Path().string());
    Open(dir.Path().string());
    SetLatitude({0}, 3);
    ui.Answer = kAnswerNo;
    const auto backBefore = doc.BackList();
    auto target = doc.TakeBackTarget();
    ASSERT_TRUE(target);
    EXPECT_EQ(doc.OnNavigationPending(*target), E_FAIL);
    EXPECT_EQ(doc.BackList(), backBefore);
    EXPECT_TRUE(doc.ForwardList().empty());
}

TEST(DocNavigation, ArchivesAreRefusedFoldersNamedZipAreNot)
{
    TempDir dir;
    fs::create_directory(dir / "Unzipped photos");
    const std::string zip = (dir / "holiday.zip").string();
    WriteFile(zip, std::string("PK\x03\x04", 4) + std::string(100, '\0'));
    FakeUserInterface ui;
    CMemorySettingsStore settings;
    CCorvaneDoc doc(ui, settings);
    EXPECT_EQ(doc.OnNavigationPending(zip), E_ABORT);
    ASSERT_EQ(ui.Messages.size(), 1u);
    EXPECT_EQ(ui.Messages[0],
              L"Navigation not Allowd: Navigation to zipped folders is not allowed. You can un-zip the zipped folder "
              L"and then navigate to extracted contents.");
    EXPECT_EQ(doc.OnNavigationPending((dir / "Unzipped photos").string()), S_OK);
    EXPECT_TRUE(ui.Messages.size() == 1u);
}

TEST_F(DocTest, SaveMetadataOnlyKeepsImageDataAndPlacesBySettings)
{
    SetLatitude({0, 1}, 45.25);
    const std::string scan = JpegScanData(ReadFile(dir / "DSCN0010.jpg"));
    // Overwrite mode: the original is replaced, no sub-folder appears.
    ASSERT_EQ(doc.SavePicture(0, "", false), S_OK);
    EXPECT_TRUE(doc.Item(0).Saved);
    EXPECT_EQ(JpegScanData(ReadFile(dir / "DSCN0010.jpg")), scan);
    EXPECT_FALSE(fs::exists(dir / "Modified"));
    EXPECT_EQ(doc.SavePicture(0, "", false), S_FALSE);
    auto saved = ReadGeoTag((dir / "DSCN0010.jpg").string(), nullptr, nullptr);
    EXPECT_NEAR(CGPSMetadataInfo::CoordinateToDecimal(*saved->Latitude), 45.25, 1e-6);
    // Sub-folder mode: the original stays; the folder is made on the first save.
    settings.SetInt("OverwriteOriginalPics", 1);
    ASSERT_EQ(doc.SavePicture(1, "", false), S_OK);
    EXPECT_TRUE(fs::exists(dir / "Modified/DSCN0012.jpg"));
    EXPECT_EQ(ReadFile(dir / "DSCN0012.jpg"), ReadFile(SamplesDir() / "pictures/gps/DSCN0012.jpg"));
    // A sub-folder name that leaves the folder is refused; the picture stays unsaved.
    settings.SetString("ModifiedPicsLocation", L"..");
    SetLatitude({2}, 1);
    EXPECT_LT(doc.SavePicture(2, "", false), 0);
    EXPECT_FALSE(doc.Item(2).Saved);
    EXPECT_TRUE(doc.HasUnsavedChanges());
}

TEST_F(DocTest, SaveAllSavesOnlyUnsavedPictures)
{
    SetLatitude({2}, 7);
    const std::string first = ReadFile(dir / "DSCN0010.jpg");
    const int runs = ui.Runs;  // loading the folder was one
    doc.SaveAll();
    EXPECT_EQ(ui.Runs, runs + 1);
    EXPECT_TRUE(doc.Item(2).Saved);
    EXPECT_FALSE(doc.HasUnsavedChanges());
    EXPECT_EQ(ReadFile(dir / "DSCN0010.jpg"), first);
    doc.SaveAll();  // nothing unsaved: no run
    EXPECT_EQ(ui.Runs, runs + 1);
}

TEST(DocSaveAs, ExtensionRules)
{
    const std::pair<const char*, const char*> jpeg[] = {
        {"/a/b/x.png", "/a/b/x.JPG"}, {"/a/b/x.jpeg", "/a/b/x.jpeg"}, {"/a/b/x.JPE", "/a/b/x.JPE"},
        {"/a/b/x", "/a/b/x.JPG"},     {"/a.jpg/x", "/a.jpg/x.JPG"}};
    for (const auto& c : jpeg) EXPECT_EQ(CCorvaneDoc::SaveAsPath(c.first, 1), c.second) << c.first;
    const std::pair<const char*, const char*> tiff[] = {
        {"/a/x", "/a/x.TIF"}, {"/a/x.tiff", "/a/x.tiff"}, {"/a/x.jpg", "/a/x.TIF"}, {"/a.tif/x.Tif", "/a.tif/x.Tif"}};
    for (const auto& c : tiff) EXPECT_EQ(CCorvaneDoc::SaveAsPath(c.first, 2), c.second) << c.first;
}

}  // namespace
