// corvane-cli stopped part way, or racing another run on the same files:
// every picture is always the old one or a whole new one. A stop it is
// asked for (SIGINT, SIGTERM, SIGHUP) reports what was saved and leaves no
// temporary file; what a SIGKILL leaves, the next run removes once stale.
// The moment of each stop is an event on disk (the k-th temporary file
// made, the k-th picture replaced), drawn at random.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>

#include <ctime>
#include <random>
#include <set>

#include "ChildProcess.h"
#include "GeoTagFile.h"
#include "TestSupport.h"

namespace {

using namespace testsupport;

constexpr int kFiles = 200;

std::string Name(int i)
{
    char name[16];
    std::snprintf(name, sizeof name, "P%03d.jpg", i);
    return name;
}

fs::path Picture()
{
    return SamplesDir() / "pictures/cameras/Canon_40D.jpg";
}

void Populate(const TempDir& dir, int count)
{
    for (int i = 0; i < count; ++i) dir.Copy(Picture(), Name(i));
}

bool IsOurTemporary(const std::string& name)
{
    return name.rfind(".corvane-", 0) == 0;
}

std::vector<std::string> Temporaries(const fs::path& dir)
{
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(dir))
        if (IsOurTemporary(e.path().filename().string())) found.push_back(e.path().filename().string());
    return found;
}

// Checks that every picture is the original or a whole new one with `city`;
// returns the names of the new ones.
std::set<std::string> CheckWhole(const TempDir& dir, int count, const std::wstring& city, const std::string& when)
{
    static const std::string original = ReadFile(Picture());
    static const std::string scan = JpegScanData(original);
    std::set<std::string> changed;
    for (int i = 0; i < count; ++i) {
        const fs::path p = dir / Name(i);
        const std::string now = ReadFile(p);
        if (now == original) continue;
        changed.insert(Name(i));
        EXPECT_EQ(JpegScanData(now), scan) << p << " " << when;
        auto record = ReadGeoTag(p.string(), nullptr, nullptr);
        EXPECT_TRUE(record && record->City && *record->City == city)
            << p << " is neither the old nor a whole new picture " << when;
    }
    return changed;
}

// The pictures the run said it saved.
std::set<std::string> ReportedSaved(const std::string& out)
{
    std::set<std::string> saved;
    size_t at = 0;
    for (size_t end; (end = out.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string line = out.substr(at, end - at);
        const size_t tail = line.rfind(": saved");
        if (tail != std::string::npos && tail + 7 == line.size())
            saved.insert(fs::path(line.substr(0, tail)).filename().string());
    }
    return saved;
}

// Counts the steps of a batch: temporary files made, then pictures replaced.
bool IsBatchStep(uint32_t mask, const std::string& name)
{
    return ((mask & IN_CREATE) && IsOurTemporary(name)) || ((mask & IN_MOVED_TO) && !IsOurTemporary(name));
}

struct StopCase {
    int signal;
    int status;
    const char* name;
};

void PrintTo(const StopCase& c, std::ostream* out)
{
    *out << c.name;
}

class CliStopTest : public testing::TestWithParam<StopCase> {};

TEST_P(CliStopTest, StopsBetweenPicturesAndLeavesNothingBehind)
{
    REQUIRE_SAMPLES();
    const unsigned seed = std::random_device()();
    std::mt19937 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    for (int round = 0; round < 3; ++round) {
        TempDir dir;
        Populate(dir, kFiles);
        const int step = std::uniform_int_distribution<int>(1, 2 * kFiles)(random);
        const std::string when = "(" + std::string(GetParam().name) + " after step " + std::to_string(step) + ")";
        CFolderEvents events(dir.Path().string(), IN_CREATE | IN_MOVED_TO);
        CChildProcess cli({CORVANE_CLI, "set", "--city", "Stopped", dir.Path().string()}, (dir / "err.txt").string());
        const bool reached = events.WaitFor(step, IsBatchStep, cli);
        cli.Signal(GetParam().signal);
        const int status = ExitCodeOf(cli.Wait());
        ASSERT_TRUE(reached) << "the run ended before step " << step << "; stderr: " << ReadFile(dir / "err.txt");

        const std::set<std::string> changed = CheckWhole(dir, kFiles, L"Stopped", when);
        EXPECT_EQ(ReportedSaved(cli.Output()), changed) << "what was reported saved is what changed " << when;
        EXPECT_TRUE(Temporaries(dir.Path()).empty()) << when;
        if (status == 0) {
            EXPECT_EQ(changed.size(), size_t{kFiles}) << "finished before the signal came " << when;
        } else {
            EXPECT_EQ(status, GetParam().status) << when;
            EXPECT_NE(ReadFile(dir / "err.txt").find(std::string("stopped by ") + GetParam().name), std::string::npos)
                << ReadFile(dir / "err.txt");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, CliStopTest,
                         testing::Values(StopCase{SIGINT, 130, "SIGINT"}, StopCase{SIGTERM, 143, "SIGTERM"},
                                         StopCase{SIGHUP, 129, "SIGHUP"}),
                         [](const testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

void MakeOld(const fs::path& path)
{
    const std::time_t twoHoursAgo = std::time(nullptr) - 2 * 60 * 60;
    const timespec times[2] = {{twoHoursAgo, 0}, {twoHoursAgo, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

TEST(CliKill, KilledRunsLeaveWholePicturesAndTheNextRunClearsWhatTheyLeft)
{
    REQUIRE_SAMPLES();
    const unsigned seed = std::random_device()();
    std::mt19937 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    TempDir dir;
    Populate(dir, kFiles);
    size_t leftInAll = 0;
    for (int round = 0; round < 4; ++round) {
        const int step = std::uniform_int_distribution<int>(1, 2 * kFiles)(random);
        CFolderEvents events(dir.Path().string(), IN_CREATE | IN_MOVED_TO);
        const std::string city = "Killed" + std::to_string(round);
        CChildProcess cli({CORVANE_CLI, "set", "--city", city, dir.Path().string()}, "/dev/null");
        events.WaitFor(step, IsBatchStep, cli);
        cli.Signal(SIGKILL);
        cli.Wait();
        // Pictures of an earlier round hold that round's city; compare with the originals only.
        for (int i = 0; i < kFiles; ++i) {
            const std::string now = ReadFile(dir / Name(i));
            EXPECT_EQ(JpegScanData(now), JpegScanData(ReadFile(Picture()))) << Name(i) << " after step " << step;
            EXPECT_TRUE(ReadGeoTag((dir / Name(i)).string(), nullptr, nullptr)) << Name(i) << " after step " << step;
        }
        leftInAll += Temporaries(dir.Path()).size();
    }
    RecordProperty("TemporariesLeftByKills", static_cast<int>(leftInAll));
    // An hour later, the next run in the folder removes them.
    for (const auto& name : Temporaries(dir.Path())) MakeOld(dir / name);
    const std::string fresh = ".corvane-P000.jpg-Fresh1";  // as if another run were writing it now
    WriteFile(dir / fresh, "being written");
    CChildProcess next({CORVANE_CLI, "set", "--city", "After", dir.Path().string()}, "/dev/null");
    EXPECT_EQ(ExitCodeOf(next.Wait()), 0);
    EXPECT_EQ(Temporaries(dir.Path()), std::vector<std::string>{fresh});
    EXPECT_EQ(CheckWhole(dir, kFiles, L"After", "after the last run").size(), size_t{kFiles});
}

// Two runs editing the same pictures at once take turns: neither edit is lost.
TEST(CliRace, TwoRunsOnTheSamePicturesKeepBothEdits)
{
    REQUIRE_SAMPLES();
    constexpr int kRaced = 50;
    for (int round = 0; round < 3; ++round) {
        TempDir dir;
        Populate(dir, kRaced);
        CChildProcess cities({CORVANE_CLI, "set", "--city", "Alpha", dir.Path().string()}, (dir / "a.txt").string());
        CChildProcess states({CORVANE_CLI, "set", "--state", "Beta", dir.Path().string()}, (dir / "b.txt").string());
        EXPECT_EQ(ExitCodeOf(cities.Wait()), 0) << ReadFile(dir / "a.txt");
        EXPECT_EQ(ExitCodeOf(states.Wait()), 0) << ReadFile(dir / "b.txt");
        EXPECT_EQ(ReportedSaved(cities.Output()).size(), size_t{kRaced});
        EXPECT_EQ(ReportedSaved(states.Output()).size(), size_t{kRaced});
        int lost = 0;
        for (int i = 0; i < kRaced; ++i) {
            auto record = ReadGeoTag((dir / Name(i)).string(), nullptr, nullptr);
            ASSERT_TRUE(record) << Name(i);
            const bool both = record->City && *record->City == L"Alpha" && record->ProvinceState && *record->ProvinceState == L"Beta";
            lost += both ? 0 : 1;
        }
        EXPECT_EQ(lost, 0) << "pictures that lost one of the two edits, round " << round;
        EXPECT_TRUE(Temporaries(dir.Path()).empty());
    }
}

}  // namespace
