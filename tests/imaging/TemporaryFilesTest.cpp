// Temporary files: hidden, recognisable, and removed by a later run only
// when they are ours, plain files and an hour old.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <ctime>

#include "AtomicFileWriter.h"
#include "HiddenTemporary.h"
#include "TestSupport.h"

namespace {

using namespace testsupport;

void MakeOld(const fs::path& path, std::time_t age)
{
    const timespec times[2] = {{std::time(nullptr) - age, 0}, {std::time(nullptr) - age, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

TEST(TemporaryFiles, AreHiddenAndNamedAfterTheProgramAndTheTarget)
{
    TempDir dir;
    std::string path;
    const int fd = CreateHiddenTemporary(dir.Path().string(), "corvane", "DSCN0010.jpg", 0600, path);
    ASSERT_GE(fd, 0);
    ::close(fd);
    const std::string name = fs::path(path).filename().string();
    EXPECT_EQ(name.substr(0, 22), ".corvane-DSCN0010.jpg-") << name;
    EXPECT_EQ(name.size(), 28u) << name;
    EXPECT_TRUE(IsHiddenTemporaryName(name, "corvane"));
    EXPECT_FALSE(IsHiddenTemporaryName(name, "velloc"));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);

    // A target name at the file system's limit is cut, within a character.
    std::string longName;
    while (longName.size() < 250) longName += "\xC3\xA9";  // é
    std::string cut;
    const int longFd = CreateHiddenTemporary(dir.Path().string(), "corvane", longName, 0600, cut);
    ASSERT_GE(longFd, 0) << std::strerror(errno);
    ::close(longFd);
    const std::string cutName = fs::path(cut).filename().string();
    EXPECT_LE(cutName.size(), 255u);
    EXPECT_EQ(cutName[cutName.size() - 8] & 0xC0, 0x80) << "the last kept byte ends a character";
    EXPECT_TRUE(IsHiddenTemporaryName(cutName, "corvane"));
}

TEST(TemporaryFiles, NamesThatAreNotOurs)
{
    for (const char* name : {".corvane-a.jpg-ABC12", ".corvane-a.jpg-ABC12!", ".corvane--ABC123", "corvane-a.jpg-ABC123",
                             ".corvane-a.jpg-ABC123.new", "TFRabc123", ".velloc-a.gpx-ABC123", ".corvane-a.jpgXABC123"})
        EXPECT_FALSE(IsHiddenTemporaryName(name, "corvane")) << name;
    EXPECT_TRUE(IsHiddenTemporaryName(".corvane-a.jpg-ABC123", "corvane"));
    EXPECT_TRUE(IsHiddenTemporaryName(".corvane-x-y-z-0aZ9bY", "corvane"));
}

// What a later run may remove: only our own stale plain temporary files.
TEST(TemporaryFiles, OnlyStaleOnesOfOursAreRemoved)
{
    TempDir dir;
    const std::time_t hour = 60 * 60;
    struct Entry {
        const char* name;
        bool removed;
    };
    const Entry files[] = {
        {".corvane-a.jpg-AAAAAA", true},       // ours, two hours old
        {".corvane-b.jpg-BBBBBB", false},      // ours, a minute old: maybe still being written
        {".corvane-c.jpg-CCCCCC.new", false},  // the only complete copy after a broken in-place write
        {"TFRabc123", false},                  // could be anybody's
        {"d.jpg", false},
        {".velloc-e.gpx-EEEEEE", false},  // another program's
    };
    for (const auto& f : files) WriteFile(dir / f.name, "x");
    for (const auto& f : files) MakeOld(dir / f.name, 2 * hour);
    MakeOld(dir / ".corvane-b.jpg-BBBBBB", 60);
    // Matching names that are not plain files of ours.
    fs::create_directory(dir / ".corvane-dir.jpg-DDDDDD");
    MakeOld(dir / ".corvane-dir.jpg-DDDDDD", 2 * hour);
    fs::create_symlink(dir / "d.jpg", dir / ".corvane-link.jpg-LLLLLL");
    MakeOld(dir / ".corvane-link.jpg-LLLLLL", 2 * hour);
    const bool asRoot = ::geteuid() == 0;
    if (asRoot) {
        WriteFile(dir / ".corvane-other.jpg-OOOOOO", "another user's");
        ASSERT_EQ(::chown((dir / ".corvane-other.jpg-OOOOOO").c_str(), 65534, 65534), 0);
        MakeOld(dir / ".corvane-other.jpg-OOOOOO", 2 * hour);
    }

    // Through the writer, as a later run meets them.
    std::string error;
    ASSERT_EQ(WriteFileAtomically((dir / "new.jpg").string(), "new", &error), S_OK) << error;
    for (const auto& f : files) EXPECT_EQ(fs::exists(fs::symlink_status(dir / f.name)), !f.removed) << f.name;
    EXPECT_TRUE(fs::is_directory(dir / ".corvane-dir.jpg-DDDDDD"));
    EXPECT_TRUE(fs::is_symlink(dir / ".corvane-link.jpg-LLLLLL"));
    if (asRoot) {
        EXPECT_TRUE(fs::exists(dir / ".corvane-other.jpg-OOOOOO"));
    }

    // Once per folder and run: a file that turns stale later stays until the next run.
    MakeOld(dir / ".corvane-b.jpg-BBBBBB", 2 * hour);
    ASSERT_EQ(WriteFileAtomically((dir / "new.jpg").string(), "newer", &error), S_OK) << error;
    EXPECT_TRUE(fs::exists(dir / ".corvane-b.jpg-BBBBBB"));
    EXPECT_EQ(RemoveTemporariesOlderThan(dir.Path().string(), "corvane", std::time(nullptr) - hour), 1);
    EXPECT_FALSE(fs::exists(dir / ".corvane-b.jpg-BBBBBB"));
}

}  // namespace
