// What a replacement replaces: the file behind links, never a special file,
// never a read-only one, and always with the old file's owner, mode and
// attributes; hard links split or written through, as asked.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>
#include <functional>

#include "AtomicFileWriter.h"
#include "PictureMetadata.h"
#include "TestSupport.h"

namespace {

using namespace testsupport;

bool HasTemporaryFiles(const fs::path& dir)
{
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().rfind(".corvane-", 0) == 0) return true;
    return false;
}

struct LinkCase {
    const char* name;
    // Makes the path written to; returns the regular file that must get the content.
    std::function<fs::path(const fs::path& dir)> make;
};

void PrintTo(const LinkCase& c, std::ostream* out)
{
    *out << c.name;
}

class LinkTest : public testing::TestWithParam<LinkCase> {};

TEST_P(LinkTest, TheLinkStaysAndItsTargetIsWritten)
{
    TempDir dir;
    fs::create_directory(dir / "real");
    WriteFile(dir / "real/a.jpg", "old");
    const fs::path written = GetParam().make(dir.Path());
    const fs::path link = dir / "link.jpg";
    const fs::path before = fs::read_symlink(link);
    std::string error;
    ASSERT_EQ(WriteFileAtomically(link.string(), "new", &error), S_OK) << error;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), before);
    EXPECT_EQ(ReadFile(written), "new");
    EXPECT_FALSE(HasTemporaryFiles(dir.Path()));
    EXPECT_FALSE(HasTemporaryFiles(dir / "real"));
}

INSTANTIATE_TEST_SUITE_P(
    Links, LinkTest,
    testing::Values(LinkCase{"Absolute",
                             [](const fs::path& d) {
                                 fs::create_symlink(d / "real/a.jpg", d / "link.jpg");
                                 return d / "real/a.jpg";
                             }},
                    LinkCase{"Relative",
                             [](const fs::path& d) {
                                 fs::create_symlink("real/a.jpg", d / "link.jpg");
                                 return d / "real/a.jpg";
                             }},
                    LinkCase{"ThroughAnotherLink",
                             [](const fs::path& d) {
                                 fs::create_symlink("a.jpg", d / "real/second.jpg");
                                 fs::create_symlink("real/second.jpg", d / "link.jpg");
                                 return d / "real/a.jpg";
                             }},
                    LinkCase{"Dangling",
                             [](const fs::path& d) {
                                 fs::create_symlink("real/absent.jpg", d / "link.jpg");
                                 return d / "real/absent.jpg";
                             }}),
    [](const testing::TestParamInfo<LinkCase>& info) { return std::string(info.param.name); });

TEST(ReplaceTarget, LinksThatLoopAreRefused)
{
    TempDir dir;
    fs::create_symlink("b.jpg", dir / "a.jpg");
    fs::create_symlink("a.jpg", dir / "b.jpg");
    std::string error;
    EXPECT_LT(WriteFileAtomically((dir / "a.jpg").string(), "new", &error), 0);
    EXPECT_NE(error.find("Too many levels of symbolic links"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_symlink(dir / "a.jpg"));
    EXPECT_FALSE(HasTemporaryFiles(dir.Path()));
}

struct SpecialCase {
    const char* name;
    std::function<bool(const fs::path& path)> make;  // false: this machine cannot make it
    fs::file_type type;
};

void PrintTo(const SpecialCase& c, std::ostream* out)
{
    *out << c.name;
}

class SpecialFileTest : public testing::TestWithParam<SpecialCase> {};

// A FIFO named like a picture must neither block a reader nor become a
// regular file; a device node must not be replaced (as root it could be /dev/null).
TEST_P(SpecialFileTest, IsRefusedAndLeftAsItWas)
{
    TempDir dir;
    const fs::path path = dir / "x.jpg";
    ASSERT_TRUE(GetParam().make(path)) << "cannot make the special file: " << std::strerror(errno);
    std::string error;
    EXPECT_LT(WriteFileAtomically(path.string(), "new", &error), 0);
    EXPECT_EQ(error, "not a regular file");
    fs::create_symlink("x.jpg", dir / "link.jpg");
    EXPECT_LT(WriteFileAtomically((dir / "link.jpg").string(), "new", &error), 0);
    EXPECT_EQ(error, "not a regular file");
    EXPECT_EQ(fs::symlink_status(path).type(), GetParam().type);
    EXPECT_FALSE(HasTemporaryFiles(dir.Path()));

    std::string bytes;
    EXPECT_FALSE(ReadWholeFile(path.string(), bytes, &error));
    EXPECT_EQ(error, "not a regular file");
    EXPECT_EQ(CPictureMetadata::OpenFile(path.string(), &error), nullptr);
    EXPECT_EQ(error, "not a regular file");
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SpecialFileTest,
    testing::Values(SpecialCase{"Fifo", [](const fs::path& p) { return ::mkfifo(p.c_str(), 0644) == 0; },
                                fs::file_type::fifo},
                    SpecialCase{"Folder", [](const fs::path& p) { return fs::create_directory(p); },
                                fs::file_type::directory},
                    // As /dev/null is: the character device 1:3 (making one needs root).
                    SpecialCase{"CharacterDevice",
                                [](const fs::path& p) { return ::mknod(p.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0; },
                                fs::file_type::character}),
    [](const testing::TestParamInfo<SpecialCase>& info) { return std::string(info.param.name); });

TEST(ReplaceTarget, ReadOnlyFilesAreRefused)
{
    TempDir dir;
    for (mode_t mode : {0444, 0400, 0555}) {
        const fs::path path = dir / "ro.jpg";
        WriteFile(path, "old");
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        std::string error;
        EXPECT_LT(WriteFileAtomically(path.string(), "new", &error), 0) << std::oct << mode;
        EXPECT_EQ(error, "read-only");
        EXPECT_EQ(ReadFile(path), "old");
        ::chmod(path.c_str(), 0644);
    }
    EXPECT_FALSE(HasTemporaryFiles(dir.Path()));
}

// An access ACL giving user 1234 read access, as the kernel stores it
// (version 2; entries sorted by tag: owner, user, group, mask, other).
std::string ReadAccessAclFor1234()
{
    std::string acl;
    auto put = [&acl](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) acl += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    put(2, 4);
    const uint32_t none = 0xFFFFFFFF;
    const struct {
        uint16_t tag, perm;
        uint32_t id;
    } entries[] = {{0x01, 6, none}, {0x02, 4, 1234}, {0x04, 4, none}, {0x10, 4, none}, {0x20, 0, none}};
    for (const auto& e : entries) {
        put(e.tag, 2);
        put(e.perm, 2);
        put(e.id, 4);
    }
    return acl;
}

std::string Attribute(const fs::path& path, const char* name)
{
    char value[256];
    const ssize_t n = ::getxattr(path.c_str(), name, value, sizeof value);
    return n < 0 ? std::string("(none)") : std::string(value, static_cast<size_t>(n));
}

// Root saving another user's picture: the picture stays that user's, with
// its mode, its ACL and its extended attributes.
TEST(ReplaceTarget, KeepsOwnerModeAclAndAttributes)
{
    TempDir dir;
    const fs::path path = dir / "theirs.jpg";
    WriteFile(path, "old");
    const bool asRoot = ::geteuid() == 0;
    const uid_t uid = asRoot ? 65534 : ::geteuid();
    const gid_t gid = asRoot ? 65534 : ::getegid();
    ASSERT_EQ(::chown(path.c_str(), uid, gid), 0);
    const std::string acl = ReadAccessAclFor1234();
    ASSERT_EQ(::setxattr(path.c_str(), "user.camera.note", "kept", 4, 0), 0) << std::strerror(errno);
    ASSERT_EQ(::setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0), 0) << std::strerror(errno);
    ASSERT_EQ(::chmod(path.c_str(), asRoot ? 02640 : 0640), 0);
    struct stat before;
    ASSERT_EQ(::stat(path.c_str(), &before), 0);

    std::string error;
    ASSERT_EQ(WriteFileAtomically(path.string(), "new", &error), S_OK) << error;
    struct stat after;
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino) << "replaced, not rewritten";
    EXPECT_EQ(ReadFile(path), "new");
    EXPECT_EQ(after.st_uid, uid);
    EXPECT_EQ(after.st_gid, gid);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(Attribute(path, "user.camera.note"), "kept");
    EXPECT_EQ(Attribute(path, "system.posix_acl_access"), acl);
}

// Restores the process's replace settings when a test changed them.
struct ReplaceSettingsScope {
    ~ReplaceSettingsScope() { SetReplaceSettings(ReplaceSettings()); }
};

TEST(ReplaceTarget, HardLinksSplitAndSaySo)
{
    ReplaceSettingsScope scope;
    TempDir dir;
    WriteFile(dir / "a.jpg", "old");
    fs::create_hard_link(dir / "a.jpg", dir / "b.jpg");
    std::vector<std::pair<std::string, nlink_t>> told;
    ReplaceSettings settings;
    settings.OnLinksSplit = [&](const std::string& target, nlink_t others) { told.emplace_back(target, others); };
    SetReplaceSettings(settings);
    std::string error;
    ASSERT_EQ(WriteFileAtomically((dir / "a.jpg").string(), "new", &error), S_OK) << error;
    EXPECT_EQ(ReadFile(dir / "a.jpg"), "new");
    EXPECT_EQ(ReadFile(dir / "b.jpg"), "old");
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].first, (dir / "a.jpg").string());
    EXPECT_EQ(told[0].second, 1u);
}

TEST(ReplaceTarget, KeptHardLinksAreWrittenThroughInPlace)
{
    ReplaceSettingsScope scope;
    TempDir dir;
    WriteFile(dir / "a.jpg", std::string(100000, 'o'));
    fs::create_hard_link(dir / "a.jpg", dir / "b.jpg");
    ASSERT_EQ(::chmod((dir / "a.jpg").c_str(), 0640), 0);
    struct stat before;
    ASSERT_EQ(::stat((dir / "a.jpg").c_str(), &before), 0);
    ReplaceSettings settings;
    settings.KeepHardLinks = true;
    int splits = 0;
    settings.OnLinksSplit = [&](const std::string&, nlink_t) { ++splits; };
    SetReplaceSettings(settings);
    std::string error;
    // Shorter than before: what is left of the old content must go too.
    ASSERT_EQ(WriteFileAtomically((dir / "b.jpg").string(), "new", &error), S_OK) << error;
    EXPECT_EQ(ReadFile(dir / "a.jpg"), "new");
    EXPECT_EQ(ReadFile(dir / "b.jpg"), "new");
    struct stat after;
    ASSERT_EQ(::stat((dir / "a.jpg").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_nlink, 2u);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(splits, 0);
    for (const auto& e : fs::directory_iterator(dir.Path()))
        EXPECT_EQ(e.path().filename().string().find(".corvane-"), std::string::npos) << e.path();
}

}  // namespace
