#include <gtest/gtest.h>

#include "../document/FakeUserInterface.h"
#include "StampCommands.h"
#include "TestSupport.h"

namespace {

using namespace testsupport;

class StampCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(SamplesDir().empty()) << "the test data is missing";
        for (const char* name : {"DSCN0010.jpg", "DSCN0012.jpg", "DSCN0021.jpg"})
            dir.Copy(SamplesDir() / "pictures/gps" / name);
        ASSERT_EQ(doc.OnNavigationComplete(dir.Path().string()), S_OK);
        doc.LoadFolder();
    }
    TempDir dir;
    FakeUserInterface ui;
    CMemorySettingsStore settings;
    CCorvaneDoc doc{ui, settings};
    StampCommandContext context{doc, ui, settings};
};

TEST_F(StampCommandsTest, GpsStampQueuesOneOperationPerPictureAndTouchesNoFile)
{
    const std::string before = ReadFile(dir / "DSCN0012.jpg");
    ASSERT_TRUE(StampGPS(context, {2, 0, 1}));
    ASSERT_EQ(doc.UndoList().size(), 1u);
    EXPECT_EQ(doc.UndoList().back().Kind, GPSStampOperation);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(doc.Item(i).PendingOperations.size(), 1u);
        EXPECT_EQ(doc.Item(i).PendingOperations.back().Operation->GetKind(), GPSStampOperation);
    }
    EXPECT_EQ(ReadFile(dir / "DSCN0012.jpg"), before);
    EXPECT_TRUE(ui.Messages.empty());
}

TEST_F(StampCommandsTest, NothingSelectedOrNoTitleQueuesNothing)
{
    EXPECT_FALSE(StampGPS(context, {}));
    ASSERT_EQ(ui.Messages.size(), 1u);
    EXPECT_EQ(ui.Messages[0], L"Operation Failed: Please select some items and then try again.");
    EXPECT_FALSE(StampTitle(context, {0}, [](std::wstring& t, bool&) {
        t.clear();
        return true;
    }));
    EXPECT_FALSE(StampTitle(context, {0}, [](std::wstring&, bool&) { return false; }));  // cancelled
    EXPECT_EQ(ui.Messages.size(), 1u);  // silently
    EXPECT_TRUE(doc.UndoList().empty());
    ASSERT_TRUE(StampTitle(context, {1}, [](std::wstring& t, bool&) {
        t = L"Site 14, north wall";
        return true;
    }));
    EXPECT_EQ(*doc.Item(1).PendingOperations.back().Text, L"Site 14, north wall");
}

TEST_F(StampCommandsTest, AddressStampStopsWhenTheCheckSaysSo)
{
    doc.SetConnectionCheck([] { return false; });
    doc.SetPlacesIndexPath("/nonexistent/places.bin");  // and no offline places to answer
    EXPECT_FALSE(StampAddress(context, {0, 1}));  // none has an address, offline
    EXPECT_TRUE(doc.UndoList().empty());
    SetField(doc.Item(0).Current()->City, std::wstring(L"Arezzo"));
    EXPECT_TRUE(StampAddress(context, {0}));
    EXPECT_EQ(doc.UndoList().back().Kind, AddressStampOperation);
}

}  // namespace
