// corvane-cli against the file system as a shared photo archive has it:
// hard links, pictures of other users, read-only pictures, FIFOs named like
// pictures, and a disk that fills up part way through a batch.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include "GeoTagFile.h"
#include "SmallFileSystem.h"
#include "TestSupport.h"

namespace {

using namespace testsupport;

constexpr uid_t kNobody = 65534;

struct Result {
    int Status = -1;
    std::string Out, Err;
};

// Runs the CLI, as `nobody` when asked (the test must run as root for that).
Result Cli(const TempDir& dir, const std::string& args, bool asNobody = false)
{
    Result r;
    const fs::path err = dir / "stderr.txt";
    const std::string user = asNobody ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    // A FIFO must never make it wait: the time limit only turns a hang into a failure.
    r.Out = RunCommand("timeout -k 10 60 " + user + CORVANE_CLI + " " + args + " 2>" + Quote(err), &r.Status);
    r.Err = ReadFile(err);
    return r;
}

std::wstring CityOf(const fs::path& p)
{
    auto record = ReadGeoTag(p.string(), nullptr, nullptr);
    return record && record->City ? *record->City : L"(none)";
}

fs::path Sample()
{
    return SamplesDir() / "pictures/cameras/Canon_40D.jpg";
}

bool HasTemporaryFiles(const fs::path& dir)
{
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.path().filename().string().rfind(".corvane-", 0) == 0) return true;
    return false;
}

TEST(CliFiles, AHardLinkedPictureSplitsAndSaysSoUnlessLinksAreKept)
{
    REQUIRE_SAMPLES();
    TempDir dir;
    const fs::path a = dir.Copy(Sample(), "a.jpg");
    fs::create_hard_link(a, dir / "b.jpg");
    Result r = Cli(dir, "set --city Split " + Quote(a));
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(r.Out.find(a.string() + ": hard link split: 1 other name keeps the old picture"), std::string::npos)
        << r.Out;
    EXPECT_EQ(CityOf(a), L"Split");
    EXPECT_EQ(ReadFile(dir / "b.jpg"), ReadFile(Sample()));

    fs::create_hard_link(dir / "b.jpg", dir / "c.jpg");
    r = Cli(dir, "set --city Kept --keep-links " + Quote(dir / "b.jpg"));
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out.find("hard link split"), std::string::npos) << r.Out;
    EXPECT_EQ(CityOf(dir / "b.jpg"), L"Kept");
    EXPECT_EQ(CityOf(dir / "c.jpg"), L"Kept");
    EXPECT_TRUE(fs::equivalent(dir / "b.jpg", dir / "c.jpg"));
    EXPECT_FALSE(HasTemporaryFiles(dir.Path()));
}

TEST(CliFiles, AFifoNamedLikeAPictureIsRefusedAtOnce)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "x.jpg").c_str(), 0644), 0);
    for (const char* verb : {"show", "set --city Nowhere"}) {
        const Result r = Cli(dir, std::string(verb) + " " + Quote(dir / "x.jpg"));
        EXPECT_EQ(r.Status, 1) << verb;
        EXPECT_NE(r.Err.find("x.jpg: unreadable: not a regular file"), std::string::npos) << verb << ": " << r.Err;
        EXPECT_TRUE(fs::is_fifo(dir / "x.jpg"));
    }
}

struct OwnershipCase {
    const char* name;
    uid_t owner;
    mode_t mode;
    const char* outcome;  // the message on stderr, or "saved"
};

void PrintTo(const OwnershipCase& c, std::ostream* out)
{
    *out << c.name;
}

class CliAsAnotherUserTest : public testing::TestWithParam<OwnershipCase> {};

// Run as `nobody` in a folder nobody may write to: the folder would allow
// replacing any picture in it, the pictures' owners and modes decide.
TEST_P(CliAsAnotherUserTest, OwnersAndModesDecide)
{
    REQUIRE_SAMPLES();
    if (::geteuid() != 0) GTEST_SKIP() << "running the program as another user needs root";
    TempDir dir;
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    fs::create_directory(dir / "shared");
    ASSERT_EQ(::chown((dir / "shared").c_str(), kNobody, kNobody), 0);
    const fs::path p = dir.Copy(Sample(), "shared/p.jpg");
    ASSERT_EQ(::chown(p.c_str(), GetParam().owner, GetParam().owner), 0);
    ASSERT_EQ(::chmod(p.c_str(), GetParam().mode), 0);
    const std::string before = ReadFile(p);

    const Result r = Cli(dir, "set --city Shared " + Quote(p), true);
    struct stat after;
    ASSERT_EQ(::stat(p.c_str(), &after), 0);
    EXPECT_EQ(after.st_uid, GetParam().owner);
    EXPECT_EQ(after.st_mode & 07777, GetParam().mode);
    if (std::string(GetParam().outcome) == "saved") {
        EXPECT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(CityOf(p), L"Shared");
    } else {
        EXPECT_EQ(r.Status, 1);
        EXPECT_EQ(r.Err, p.string() + ": " + GetParam().outcome + "\n");
        EXPECT_EQ(ReadFile(p), before);
    }
    EXPECT_FALSE(HasTemporaryFiles(dir / "shared"));
}

INSTANTIATE_TEST_SUITE_P(
    Owners, CliAsAnotherUserTest,
    testing::Values(OwnershipCase{"OwnPicture", kNobody, 0640, "saved"},
                    OwnershipCase{"OwnReadOnlyPicture", kNobody, 0444, "read-only"},
                    OwnershipCase{"OthersPictureReadableOnly", 0, 0644, "read-only"},
                    OwnershipCase{"OthersPictureWritableByAll", 0, 0666,
                                  "owned by another user (uid 0): a new file cannot keep that owner"}),
    [](const testing::TestParamInfo<OwnershipCase>& info) { return std::string(info.param.name); });

TEST(CliFiles, StaleTemporariesOfOtherUsersAreLeftAlone)
{
    REQUIRE_SAMPLES();
    if (::geteuid() != 0) GTEST_SKIP() << "running the program as another user needs root";
    TempDir dir;
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    fs::create_directory(dir / "shared");
    ASSERT_EQ(::chown((dir / "shared").c_str(), kNobody, kNobody), 0);
    const fs::path p = dir.Copy(Sample(), "shared/p.jpg");
    ASSERT_EQ(::chown(p.c_str(), kNobody, kNobody), 0);
    const std::time_t old = std::time(nullptr) - 2 * 60 * 60;
    const timespec times[2] = {{old, 0}, {old, 0}};
    for (auto [name, owner] : {std::pair<const char*, uid_t>{".corvane-p.jpg-ROOT00", 0},
                               std::pair<const char*, uid_t>{".corvane-p.jpg-NOBODY", kNobody}}) {
        WriteFile(dir / "shared" / name, "left by a killed run");
        ASSERT_EQ(::chown((dir / "shared" / name).c_str(), owner, owner), 0);
        ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "shared" / name).c_str(), times, 0), 0);
    }
    const Result r = Cli(dir, "set --city Shared " + Quote(p), true);
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(fs::exists(dir / "shared/.corvane-p.jpg-ROOT00"));
    EXPECT_FALSE(fs::exists(dir / "shared/.corvane-p.jpg-NOBODY"));
}

// The disk fills up during the batch: the files staged so far are put in
// place, which frees the old versions' room, and the batch goes on; with no
// room at all, every picture is refused whole and named.
TEST(CliFiles, ADiskThatFillsUpPartWay)
{
    REQUIRE_SAMPLES();
    TempDir dir;
    CSmallFileSystem disk(dir / "disk", "1m");
    ASSERT_TRUE(disk.Mounted()) << disk.Error();
    const int count = 40;
    for (int i = 0; i < count; ++i) dir.Copy(Sample(), "disk/P" + std::to_string(i) + ".jpg");
    const auto fileSize = static_cast<long long>(fs::file_size(Sample()));
    ASSERT_TRUE(disk.FillLeaving("filler", 5 * fileSize));

    Result r = Cli(dir, "set --city Full " + Quote(dir / "disk"));
    EXPECT_EQ(r.Status, 0) << r.Err;
    for (int i = 0; i < count; ++i) EXPECT_EQ(CityOf(dir / "disk" / ("P" + std::to_string(i) + ".jpg")), L"Full") << i;
    EXPECT_FALSE(HasTemporaryFiles(dir / "disk"));

    ASSERT_TRUE(disk.FillLeaving("filler", 0));
    r = Cli(dir, "set --city Again " + Quote(dir / "disk"));
    EXPECT_EQ(r.Status, 1);
    for (int i = 0; i < count; ++i) {
        const fs::path p = dir / "disk" / ("P" + std::to_string(i) + ".jpg");
        EXPECT_EQ(CityOf(p), L"Full") << i;
        EXPECT_NE(r.Err.find(p.string() + ": write failed"), std::string::npos) << r.Err;
    }
    EXPECT_NE(r.Err.find("No space left on device"), std::string::npos) << r.Err;
    EXPECT_EQ(r.Out.find("saved"), std::string::npos) << r.Out;
    EXPECT_FALSE(HasTemporaryFiles(dir / "disk"));
}

}  // namespace
