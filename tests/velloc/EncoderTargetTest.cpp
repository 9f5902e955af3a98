// Where the encoder writes: a regular file or a new one, through links,
// keeping the replaced file's mode and owner, with a hidden temporary file
// that never outlives the encoder, and that velloc-convert removes when it
// is stopped part way.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "ChildProcess.h"
#include "GPXTestSupport.h"
#include "SmallFileSystem.h"

namespace {

namespace fs = std::filesystem;
using testsupport::CChildProcess;
using testsupport::CFolderEvents;

class Folder {
public:
    Folder()
    {
        std::string pattern = (fs::temp_directory_path() / "velloc-test-XXXXXX").string();
        if (!::mkdtemp(&pattern[0])) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~Folder()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    fs::path operator/(const std::string& name) const { return path_ / name; }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

std::string Read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void Write(const fs::path& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

std::vector<std::string> Temporaries(const fs::path& dir)
{
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().rfind(".velloc-", 0) == 0) found.push_back(e.path().filename().string());
    return found;
}

void AddOneWaypoint(GPXRoot& root)
{
    auto* point = new GPXWayPoint();
    point->lat = 48.858844;
    point->lon = 2.294351;
    root.wpt.push_back(point);
}

struct Outcome {
    long initialize = 0, finalize = E_FAIL;
    std::wstring error;
};

Outcome Encode(const fs::path& path)
{
    GPXRoot root;
    AddOneWaypoint(root);
    CGPXFilesEncoder encoder(path.wstring(), L"Tracker", L"1.0", false);
    Outcome o;
    o.initialize = encoder.Initialize();
    if (o.initialize >= 0) {
        encoder.WriteGpxRoot(&root);
        o.finalize = encoder.Finalize();
    }
    o.error = encoder.GetErrorText();
    return o;
}

struct SpecialCase {
    const char* name;
    std::function<bool(const fs::path&)> make;
    fs::file_type type;
};

void PrintTo(const SpecialCase& c, std::ostream* out)
{
    *out << c.name;
}

class EncoderSpecialTargetTest : public testing::TestWithParam<SpecialCase> {};

// `velloc-convert x.gpx /dev/null` as root must not turn /dev/null into a file.
TEST_P(EncoderSpecialTargetTest, IsRefusedAndLeftAsItWas)
{
    Folder dir;
    const fs::path path = dir / "out.gpx";
    ASSERT_TRUE(GetParam().make(path)) << std::strerror(errno);
    fs::create_symlink("out.gpx", dir / "link.gpx");
    for (const fs::path& target : {path, dir / "link.gpx"}) {
        const Outcome o = Encode(target);
        EXPECT_LT(o.initialize, 0) << target;
        EXPECT_EQ(o.error, L"not a regular file");
    }
    EXPECT_EQ(fs::symlink_status(path).type(), GetParam().type);
    EXPECT_TRUE(Temporaries(dir.Path()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, EncoderSpecialTargetTest,
    testing::Values(SpecialCase{"Fifo", [](const fs::path& p) { return ::mkfifo(p.c_str(), 0644) == 0; },
                                fs::file_type::fifo},
                    SpecialCase{"Folder", [](const fs::path& p) { return fs::create_directory(p); },
                                fs::file_type::directory},
                    SpecialCase{"NullDevice",
                                [](const fs::path& p) { return ::mknod(p.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0; },
                                fs::file_type::character}),
    [](const testing::TestParamInfo<SpecialCase>& info) { return std::string(info.param.name); });

TEST(EncoderTarget, ALinkStaysAndItsTargetIsWritten)
{
    Folder dir;
    fs::create_directory(dir / "tracks");
    Write(dir / "tracks/real.gpx", "old");
    fs::create_symlink("tracks/real.gpx", dir / "link.gpx");
    const Outcome o = Encode(dir / "link.gpx");
    ASSERT_EQ(o.finalize, 0) << std::string(o.error.begin(), o.error.end());
    EXPECT_TRUE(fs::is_symlink(dir / "link.gpx"));
    EXPECT_NE(Read(dir / "tracks/real.gpx").find("<wpt lat=\"48.858844\""), std::string::npos);
}

TEST(EncoderTarget, AReplacedFileKeepsItsModeOwnerAndAttributes)
{
    Folder dir;
    const fs::path path = dir / "private.gpx";
    Write(path, "old");
    const bool asRoot = ::geteuid() == 0;
    const uid_t owner = asRoot ? 65534 : ::geteuid();
    ASSERT_EQ(::chown(path.c_str(), owner, asRoot ? 65534 : ::getegid()), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(::setxattr(path.c_str(), "user.origin", "watch", 5, 0), 0) << std::strerror(errno);
    const Outcome o = Encode(path);
    ASSERT_EQ(o.finalize, 0) << std::string(o.error.begin(), o.error.end());
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_uid, owner);
    char value[16];
    EXPECT_EQ(::getxattr(path.c_str(), "user.origin", value, sizeof value), 5);
    EXPECT_NE(Read(path).find("<wpt"), std::string::npos);
}

TEST(EncoderTarget, AReadOnlyFileIsRefused)
{
    Folder dir;
    Write(dir / "ro.gpx", "old");
    ASSERT_EQ(::chmod((dir / "ro.gpx").c_str(), 0444), 0);
    const Outcome o = Encode(dir / "ro.gpx");
    EXPECT_LT(o.initialize, 0);
    EXPECT_EQ(o.error, L"read-only");
    EXPECT_EQ(Read(dir / "ro.gpx"), "old");
}

TEST(EncoderTarget, TheTemporaryFileIsHiddenAndNeverOutlivesTheEncoder)
{
    Folder dir;
    Write(dir / "out.gpx", "old");
    {
        CGPXFilesEncoder encoder((dir / "out.gpx").wstring(), L"Tracker", L"1.0", false);
        ASSERT_EQ(encoder.Initialize(), 0);
        const auto during = Temporaries(dir.Path());
        ASSERT_EQ(during.size(), 1u);
        EXPECT_EQ(during[0].substr(0, 16), ".velloc-out.gpx-");
        EXPECT_EQ(during[0].size(), 22u);
    }  // abandoned
    EXPECT_EQ(Read(dir / "out.gpx"), "old");
    EXPECT_TRUE(Temporaries(dir.Path()).empty());
}

TEST(EncoderTarget, StaleTemporaryFilesAreRemovedByTheNextEncoder)
{
    Folder dir;
    const std::time_t old = std::time(nullptr) - 2 * 60 * 60;
    const timespec times[2] = {{old, 0}, {old, 0}};
    Write(dir / ".velloc-big.gpx-Abc123", "left by a killed conversion");
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / ".velloc-big.gpx-Abc123").c_str(), times, 0), 0);
    Write(dir / ".velloc-big.gpx-Now123", "still being written");
    ASSERT_EQ(Encode(dir / "out.gpx").finalize, 0);
    EXPECT_EQ(Temporaries(dir.Path()), std::vector<std::string>{".velloc-big.gpx-Now123"});
}

TEST(EncoderTarget, AFullDiskKeepsTheOldFile)
{
    Folder dir;
    testsupport::CSmallFileSystem disk(dir / "disk", "256k");
    ASSERT_TRUE(disk.Mounted()) << disk.Error();
    Write(dir / "disk/out.gpx", "old");
    GPXRoot root;
    for (int i = 0; i < 20000; ++i) {
        auto* point = new GPXWayPoint();
        point->lat = 10 + i * 1e-4;
        point->lon = 20;
        root.wpt.push_back(point);
    }
    CGPXFilesEncoder encoder((dir / "disk/out.gpx").wstring(), L"Tracker", L"1.0", false);
    ASSERT_EQ(encoder.Initialize(), 0);
    encoder.WriteGpxRoot(&root);
    EXPECT_LT(encoder.Finalize(), 0);
    EXPECT_EQ(encoder.GetErrorText(), L"No space left on device");
    EXPECT_EQ(Read(dir / "disk/out.gpx"), "old");
    EXPECT_TRUE(Temporaries(dir / "disk").empty());
}

// A track long enough that writing it takes a while.
void WriteLongTrack(const fs::path& path)
{
    std::ofstream out(path, std::ios::binary);
    out << "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"t\" xmlns=\"http://www.topografix.com/GPX/1/1\">"
           "<trk><trkseg>\n";
    char point[128];
    for (int i = 0; i < 100000; ++i) {
        std::snprintf(point, sizeof point, "<trkpt lat=\"%.6f\" lon=\"%.6f\"><ele>%d</ele></trkpt>\n", 45 + i * 1e-6,
                      6 + i * 1e-6, i % 3000);
        out << point;
    }
    out << "</trkseg></trk></gpx>\n";
}

struct StopCase {
    int signal;
    int status;
};

void PrintTo(const StopCase& c, std::ostream* out)
{
    *out << c.signal;
}

class ConvertStopTest : public testing::TestWithParam<StopCase> {};

TEST_P(ConvertStopTest, AStoppedConversionLeavesNoTemporaryFile)
{
    Folder dir;
    WriteLongTrack(dir / "long.gpx");
    Write(dir / "out.gpx", "previous");
    CFolderEvents events(dir.Path().string(), IN_MODIFY);
    CChildProcess convert({VELLOC_CONVERT, (dir / "long.gpx").string(), (dir / "out.gpx").string()},
                          (dir / "err.txt").string());
    // The first block written into the temporary file: the conversion is under way.
    const bool writing = events.WaitFor(
        1, [](uint32_t, const std::string& name) { return name.rfind(".velloc-", 0) == 0; }, convert);
    convert.Signal(GetParam().signal);
    const int status = testsupport::ExitCodeOf(convert.Wait());
    ASSERT_TRUE(writing) << Read(dir / "err.txt");
    EXPECT_EQ(status, GetParam().status) << Read(dir / "err.txt");
    EXPECT_EQ(Read(dir / "out.gpx"), "previous");
    EXPECT_TRUE(Temporaries(dir.Path()).empty());
}

INSTANTIATE_TEST_SUITE_P(Signals, ConvertStopTest, testing::Values(StopCase{SIGINT, 130}, StopCase{SIGTERM, 143}),
                         [](const testing::TestParamInfo<StopCase>& info) {
                             return std::string(info.param.signal == SIGINT ? "SIGINT" : "SIGTERM");
                         });

// Reading is as careful: a FIFO named like a track is refused, not waited on.
TEST(DecoderSource, AFifoIsRefusedAtOnce)
{
    Folder dir;
    ASSERT_EQ(::mkfifo((dir / "track.gpx").c_str(), 0644), 0);
    CGPXFilesDecoder decoder((dir / "track.gpx").wstring());
    EXPECT_LT(decoder.Initialize(), 0);
}

}  // namespace
