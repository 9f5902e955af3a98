// Long runs whose slow part is on a worker: the worker thread itself, and
// the document holding still while a run works.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include "CorvaneDoc.h"
#include "DocEdits.h"
#include "FakeUserInterface.h"
#include "ImageMetadataManipulationOperation.h"
#include "TestSupport.h"
#include "WorkerThread.h"

namespace {

using namespace testsupport;

TEST(WorkerThread, RunsTasksInOrderOffTheCallerAndOutlivesAThrowingOne)
{
    std::vector<int> order;
    std::atomic<bool> elsewhere{true};
    const std::thread::id caller = std::this_thread::get_id();
    {
        CWorkerThread worker;
        worker.Post([&] { order.push_back(1); elsewhere = elsewhere && std::this_thread::get_id() != caller; });
        worker.Post([] { throw std::runtime_error("a picture a library cannot read"); });
        worker.Post([&] { order.push_back(2); });
    }  // what is queued runs before the thread is joined
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_TRUE(elsewhere);
}

// Runs the steps here, calling `between` after each step as the window's
// event loop would run other work between two steps.
class SteppingRunner : public IStepRunner {
public:
    std::function<void(int position)> between;
    void Run(const std::wstring&, int count, const std::function<HRESULT(int& index)>& step) override
    {
        CSynchronousStepRunner().Run(L"", count, step);
    }
    void RunInBackground(const std::wstring&, int count, IBackgroundLoop& loop) override
    {
        RunBackgroundLoopHere(
            count, loop, [this](int position, int) { if (between) between(position); }, [] { return false; });
    }
};

class SteppingUserInterface : public FakeUserInterface {
public:
    SteppingRunner Stepper;
    IStepRunner& Runner() override { return Stepper; }
};

class BackgroundRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(SamplesDir().empty()) << "the test data is missing";
        for (const char* name : {"DSCN0010.jpg", "DSCN0012.jpg", "DSCN0021.jpg"})
            dir.Copy(SamplesDir() / "pictures/gps" / name);
        settings.SetInt("OverwriteOriginalPics", 1);
        settings.SetString("ModifiedPicsLocation", L"Modified");
        ASSERT_EQ(doc.OnNavigationComplete(dir.Path().string()), S_OK);
        doc.LoadFolder();
        ASSERT_EQ(doc.Count(), 3);
    }
    void SetLatitude(const std::vector<int>& indices, double value)
    {
        SetLatitudeOf(doc, indices, value);
    }

    TempDir dir;
    SteppingUserInterface ui;
    CMemorySettingsStore settings;
    CCorvaneDoc doc{ui, settings};
};

TEST_F(BackgroundRunTest, FolderChangesDuringSaveAllWaitForItsEnd)
{
    SetLatitude({0, 1}, 12.5);
    // Another program deletes a picture; the window gets to the posted
    // command only once the run has begun.
    std::filesystem::remove(dir.Path() / "DSCN0021.jpg");
    ASSERT_TRUE(ui.WaitForPosted(kCommandFolderChanged, 1));
    int countDuringRun = -1;
    bool busyDuringRun = false;
    ui.Stepper.between = [&](int position) {
        if (position != 1) return;  // the second picture is still to be written
        doc.ProcessFolderChanges();  // the window's handler of the posted command
        countDuringRun = doc.Count();
        busyDuringRun = doc.IsBusy();
    };
    doc.SaveAll();
    EXPECT_TRUE(busyDuringRun);
    EXPECT_EQ(countDuringRun, 3);  // the items the worker points into stay as they are
    EXPECT_FALSE(doc.IsBusy());
    EXPECT_FALSE(doc.HasUnsavedChanges());
    // The change is posted again once the run is over, and applied then.
    ASSERT_TRUE(ui.WaitForPosted(kCommandFolderChanged, 2));
    doc.ProcessFolderChanges();
    EXPECT_EQ(doc.Count(), 2);
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "Modified" / "DSCN0012.jpg"));
}

TEST_F(BackgroundRunTest, AFolderToLoadDuringARunIsLoadedAfterIt)
{
    SetLatitude({0}, 3.25);
    bool loadedDuringRun = true;
    ui.Stepper.between = [&](int) {
        dir.Copy(SamplesDir() / "pictures/gps/DSCN0025.jpg");
        doc.LoadFolder();  // a command 1099 handled inside the run
        loadedDuringRun = doc.Count() != 3;
    };
    doc.SaveAll();
    EXPECT_FALSE(loadedDuringRun);
    ASSERT_TRUE(ui.WaitForPosted(kCommandLoadFolder, 2));  // once at navigation, once after the run
    ui.Stepper.between = nullptr;
    doc.LoadFolder();
    EXPECT_EQ(doc.Count(), 4);
}

}  // namespace
