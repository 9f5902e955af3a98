#include <gtest/gtest.h>

#include "AtomicFileWriter.h"
#include "TestSupport.h"

namespace {

using namespace testsupport;

bool HasTemporaryFiles(const fs::path& dir)
{
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().rfind(".corvane-", 0) == 0) return true;
    return false;
}

TEST(AtomicFiles, SingleReplaceKeepsTheModeAndLeavesNoTemporary)
{
    TempDir dir;
    WriteFile(dir / "a.jpg", "old");
    fs::permissions(dir / "a.jpg", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    std::string error;
    ASSERT_EQ(WriteFileAtomically((dir / "a.jpg").string(), "new", &error), S_OK) << error;
    EXPECT_EQ(ReadFile(dir / "a.jpg"), "new");
    EXPECT_EQ(fs::status(dir / "a.jpg").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_LT(WriteFileAtomically((dir / "no/such/dir/a.jpg").string(), "x", &error), 0);
    EXPECT_EQ(error.rfind("write failed", 0), 0u);
    EXPECT_FALSE(HasTemporaryFiles(dir.Path()));
}

TEST(AtomicFiles, BatchReplacesOnlyOnCommit)
{
    TempDir dir;
    WriteFile(dir / "a.jpg", "old a");
    WriteFile(dir / "b.jpg", "old b");
    std::string error;
    {
        CAtomicFileBatch batch;
        ASSERT_EQ(batch.Stage((dir / "a.jpg").string(), "new a", &error), S_OK);
        ASSERT_EQ(batch.Stage((dir / "c.jpg").string(), "new c", &error), S_OK);
        EXPECT_EQ(batch.StagedCount(), 2u);
        EXPECT_EQ(ReadFile(dir / "a.jpg"), "old a");  // nothing replaced before the commit
        EXPECT_TRUE(batch.Commit().empty());
        EXPECT_EQ(ReadFile(dir / "a.jpg"), "new a");
        EXPECT_EQ(ReadFile(dir / "c.jpg"), "new c");
        // Staged but never committed: the target stays, the temporary goes.
        ASSERT_EQ(batch.Stage((dir / "b.jpg").string(), "new b", &error), S_OK);
        EXPECT_TRUE(HasTemporaryFiles(dir.Path()));
    }
    EXPECT_EQ(ReadFile(dir / "b.jpg"), "old b");
    EXPECT_FALSE(HasTemporaryFiles(dir.Path()));
}

}  // namespace
