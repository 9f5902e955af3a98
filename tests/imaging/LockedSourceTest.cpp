// A picture read for an edit is replaced only while it is still the file
// that was read; Corvane processes editing one file take turns.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <ctime>
#include <functional>
#include <thread>

#include "AtomicFileWriter.h"
#include "LockedSource.h"
#include "TestSupport.h"

namespace {

using namespace testsupport;

const char* const kChanged = "changed by another program since it was read";

struct HookScope {
    explicit HookScope(std::function<void(const std::string&)> hook) { SetBeforeReplaceHook(std::move(hook)); }
    ~HookScope() { SetBeforeReplaceHook(nullptr); }
};

// A picture as found on disk: written long ago, so that any write now gives it a new time.
fs::path OldPicture(const TempDir& dir, const std::string& content)
{
    const fs::path path = dir / "p.jpg";
    WriteFile(path, content);
    const timespec times[2] = {{std::time(nullptr) - 3600, 0}, {std::time(nullptr) - 3600, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    return path;
}

struct ChangeCase {
    const char* name;
    std::function<void(const fs::path&)> change;  // what another program does meanwhile
    const char* left;                            // what the file then holds; null: no file
};

void PrintTo(const ChangeCase& c, std::ostream* out)
{
    *out << c.name;
}

const ChangeCase kChanges[] = {
    {"RewrittenInPlaceSameSize",
     [](const fs::path& p) {
         const int fd = ::open(p.c_str(), O_WRONLY);
         ASSERT_EQ(::pwrite(fd, "THEIRS", 6, 0), 6);
         ::close(fd);
     },
     "THEIRS"},
    {"Appended", [](const fs::path& p) { WriteFile(p, "theirs, longer"); }, "theirs, longer"},
    {"ReplacedByRename",
     [](const fs::path& p) {
         WriteFile(p.string() + ".tmp", "theirs");
         fs::rename(p.string() + ".tmp", p);
     },
     "theirs"},
    {"Deleted", [](const fs::path& p) { fs::remove(p); }, nullptr},
};

class ChangedSourceTest : public testing::TestWithParam<ChangeCase> {
protected:
    void ExpectRefused(const TempDir& dir, const fs::path& path, HRESULT hr, const std::string& error)
    {
        EXPECT_LT(hr, 0);
        EXPECT_EQ(error, kChanged);
        if (GetParam().left)
            EXPECT_EQ(ReadFile(path), GetParam().left) << "the other program's version is kept";
        else
            EXPECT_FALSE(fs::exists(path)) << "the stale copy is not put back";
        for (const auto& e : fs::directory_iterator(dir.Path()))
            EXPECT_EQ(e.path().filename().string().rfind(".corvane-", 0), std::string::npos) << e.path();
    }
};

TEST_P(ChangedSourceTest, TheStaleVersionIsDiscarded)
{
    TempDir dir;
    const fs::path path = OldPicture(dir, "before");
    std::unique_ptr<CLockedSource> source;
    std::string error;
    ASSERT_EQ(CLockedSource::Open(path.string(), LockWait::Yes, source, &error), S_OK) << error;
    std::string bytes;
    ASSERT_TRUE(source->ReadAll(bytes, &error));
    EXPECT_EQ(bytes, "before");
    HookScope hook([&](const std::string&) { GetParam().change(path); });
    const HRESULT hr = WriteFileAtomically(path.string(), "ours", &error, source.get());
    ExpectRefused(dir, path, hr, error);
}

TEST_P(ChangedSourceTest, TheStaleVersionIsDiscardedFromABatch)
{
    TempDir dir;
    const fs::path path = OldPicture(dir, "before");
    WriteFile(dir / "other.jpg", "other");
    std::unique_ptr<CLockedSource> source;
    std::string error;
    ASSERT_EQ(CLockedSource::Open(path.string(), LockWait::Yes, source, &error), S_OK) << error;
    CAtomicFileBatch batch;
    ASSERT_EQ(batch.Stage(path.string(), "ours", &error, std::move(source)), S_OK) << error;
    ASSERT_EQ(batch.Stage((dir / "other.jpg").string(), "other, new", &error), S_OK) << error;
    HookScope hook([&](const std::string& changing) {
        if (changing == path.string()) GetParam().change(path);
    });
    const auto failures = batch.Commit();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].Target, path.string());
    ExpectRefused(dir, path, E_ABORT, failures[0].Error);
    EXPECT_EQ(ReadFile(dir / "other.jpg"), "other, new") << "the rest of the batch is saved";
}

INSTANTIATE_TEST_SUITE_P(Changes, ChangedSourceTest, testing::ValuesIn(kChanges),
                         [](const testing::TestParamInfo<ChangeCase>& info) { return std::string(info.param.name); });

TEST(LockedSource, AnUnchangedSourceIsReplacedAndACopyElsewhereIsWritten)
{
    TempDir dir;
    const fs::path path = OldPicture(dir, "before");
    std::unique_ptr<CLockedSource> source;
    std::string error;
    ASSERT_EQ(CLockedSource::Open(path.string(), LockWait::Yes, source, &error), S_OK) << error;
    // A copy elsewhere does not depend on the source staying as it was.
    {
        HookScope hook([&](const std::string&) { WriteFile(path, "theirs"); });
        ASSERT_EQ(WriteFileAtomically((dir / "copy.jpg").string(), "ours", &error, source.get()), S_OK) << error;
    }
    EXPECT_EQ(ReadFile(dir / "copy.jpg"), "ours");
    source.reset();
    ASSERT_EQ(CLockedSource::Open(path.string(), LockWait::Yes, source, &error), S_OK) << error;
    ASSERT_EQ(WriteFileAtomically(path.string(), "ours", &error, source.get()), S_OK) << error;
    EXPECT_EQ(ReadFile(path), "ours");
}

TEST(LockedSource, ASecondEditorFindsItLockedUntilTheFirstIsDone)
{
    TempDir dir;
    const fs::path path = OldPicture(dir, "before");
    std::unique_ptr<CLockedSource> first, second;
    std::string error;
    ASSERT_EQ(CLockedSource::Open(path.string(), LockWait::Yes, first, &error), S_OK) << error;
    EXPECT_EQ(CLockedSource::Open(path.string(), LockWait::No, second, &error), E_SOURCE_LOCKED);
    EXPECT_EQ(error, "locked by another program");
    first.reset();
    EXPECT_EQ(CLockedSource::Open(path.string(), LockWait::No, second, &error), S_OK) << error;
}

// How many descriptors of this process are open on `path`.
int OpenDescriptorsOn(const fs::path& path)
{
    int count = 0;
    for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (fs::read_symlink(fd.path(), ec) == path) ++count;
    }
    return count;
}

// The second editor opened the file before the first replaced it: once it
// has the lock, it must edit the new file, not the one it opened.
TEST(LockedSource, AWaitingEditorGetsTheFileAsTheFirstLeftIt)
{
    TempDir dir;
    const fs::path path = OldPicture(dir, "before");
    std::unique_ptr<CLockedSource> first;
    std::string error;
    ASSERT_EQ(CLockedSource::Open(path.string(), LockWait::Yes, first, &error), S_OK) << error;
    std::unique_ptr<CLockedSource> second;
    HRESULT secondStatus = E_FAIL;
    std::string secondBytes, secondError;
    std::thread waiter([&] {
        secondStatus = CLockedSource::Open(path.string(), LockWait::Yes, second, &secondError);
        if (SUCCEEDED(secondStatus)) second->ReadAll(secondBytes, &secondError);
    });
    while (OpenDescriptorsOn(path) < 2) std::this_thread::yield();  // it has opened the old file
    ASSERT_EQ(WriteFileAtomically(path.string(), "first's version", &error, first.get()), S_OK) << error;
    first.reset();
    waiter.join();
    ASSERT_EQ(secondStatus, S_OK) << secondError;
    EXPECT_EQ(secondBytes, "first's version");
    struct stat now;
    ASSERT_EQ(::stat(path.c_str(), &now), 0);
    EXPECT_TRUE(second->Identity().IsUnchanged(now));
}

TEST(LockedSource, OnlyRegularFilesAreOpened)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo.jpg").c_str(), 0644), 0);
    std::unique_ptr<CLockedSource> source;
    std::string error;
    EXPECT_LT(CLockedSource::Open((dir / "fifo.jpg").string(), LockWait::Yes, source, &error), 0);
    EXPECT_EQ(error, "not a regular file");
    EXPECT_LT(CLockedSource::Open((dir / "absent.jpg").string(), LockWait::Yes, source, &error), 0);
    EXPECT_EQ(error, "unreadable: No such file or directory");
}

}  // namespace
