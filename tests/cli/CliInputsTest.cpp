// What corvane-cli works on: every verb takes the same named files, by
// content; a named file or folder that cannot be used is named with the
// reason and makes the exit status 1; messages are the program's own.
#include <gtest/gtest.h>

#include "CliHarness.h"
#include "GeoTagFile.h"

namespace {

using namespace testsupport;
using namespace clitest;

// The verbs, each with what it needs before the inputs and after them.
struct Verb {
    const char* Before;
    const char* After;
};
const Verb kVerbs[] = {{"show", ""},
                       {"show --csv", ""},
                       {"set --city Nowhere", ""},
                       {"clear all", ""},
                       {"stamp gps", ""},
                       {"geocode --user demo --places /nonexistent/places.bin --server http://127.0.0.1:9/", ""},
                       {"export-csv", "TABLE"}};

std::string Command(const Verb& verb, const std::string& inputs, const fs::path& table)
{
    std::string command = std::string(verb.Before) + " " + inputs;
    if (std::string(verb.After) == "TABLE") command += " " + Quote(table);
    return command;
}

TEST(CliInputs, AFolderThatCannotBeListedIsNamedByEveryVerb)
{
    REQUIRE_SAMPLES();
    TempDir dir;
    const fs::path locked = dir / "locked";
    fs::create_directory(locked);
    dir.Copy(SamplesDir() / "pictures/gps/DSCN0025.jpg", "locked/private.jpg");
    const FolderState before = Snapshot(dir.Path());
    const CliRunner cli;
    for (const Verb& verb : kVerbs) {
        // Passable but not readable: its pictures can be opened by name, not found.
        CliResult r;
        {
            ModeForScope mode(locked, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec);
            r = cli.RunUnprivileged(dir.Path(), Command(verb, Quote(locked), dir / "t.csv"));
        }
        EXPECT_EQ(r.Status, 1) << verb.Before << "\n" << r.Err;
        EXPECT_NE(r.Err.find(locked.string() + ": cannot list the folder (Permission denied)"), std::string::npos)
            << verb.Before << "\n" << r.Err;
    }
    EXPECT_EQ(Differences(before, Snapshot(dir.Path())), "");  // no table of nothing either
}

TEST(CliInputs, EveryVerbTakesTheNamedFilesByContent)
{
    REQUIRE_SAMPLES();
    TempDir dir;
    const fs::path source = SamplesDir() / "pictures/gps/DSCN0040.jpg";
    const std::string names[] = {".hidden.jpg", "no-extension", "link.jpg", "lies.tif"};
    dir.Copy(source, ".hidden.jpg");
    dir.Copy(source, "no-extension");
    dir.Copy(source, "target.jpg");
    fs::create_symlink("target.jpg", dir / "link.jpg");
    dir.Copy(source, "lies.tif");  // a JPEG whatever its name says
    const CliRunner cli;
    for (const std::string& name : names) {
        const CliResult show = cli.Run("export-csv " + Quote(dir / name) + " " + Quote(dir / "t.csv"));
        EXPECT_EQ(show.Status, 0) << name << show.Err;
        EXPECT_NE(ReadFile(dir / "t.csv").find("\r\n0,"), std::string::npos) << name;
        EXPECT_NE(ReadFile(dir / "t.csv").find(name), std::string::npos) << name;

        const fs::path out = dir / ("stamped-" + name);
        const CliResult stamp = cli.Run("stamp gps --out " + Quote(out) + " " + Quote(dir / name));
        EXPECT_EQ(stamp.Status, 0) << name << stamp.Err;
        EXPECT_EQ(stamp.Out, (out / name).string() + ": saved\n") << name;
        EXPECT_NE(JpegScanData(ReadFile(out / name)), JpegScanData(ReadFile(source))) << name << " was not stamped";
    }
}

TEST(CliInputs, ALoneUnusablePictureIsNamedWithItsReason)
{
    TempDir dir;
    WriteFile(dir / "notes", "not a picture");
    const FolderState before = Snapshot(dir.Path());
    const CliRunner cli;
    for (const Verb& verb : kVerbs) {
        const CliResult r = cli.Run(Command(verb, Quote(dir / "notes"), dir / "t.csv"));
        EXPECT_EQ(r.Status, 1) << verb.Before;
        EXPECT_NE(r.Err.find((dir / "notes").string() + ": unreadable"), std::string::npos)
            << verb.Before << "\n" << r.Err;
        EXPECT_EQ(r.Err.find("Please select"), std::string::npos) << verb.Before;
    }
    EXPECT_EQ(Differences(before, Snapshot(dir.Path())), "");  // not even an empty table
}

TEST(CliInputs, ASubFolderThatCannotBeCreatedSaysPermissionDenied)
{
    REQUIRE_SAMPLES();
    TempDir dir;
    const fs::path closed = dir / "closed";
    fs::create_directory(closed);
    const fs::path p = dir.Copy(SamplesDir() / "pictures/gps/DSCN0042.jpg", "closed/p.jpg");
    const FolderState before = Snapshot(dir.Path());
    const CliRunner cli;
    CliResult stamp, set;
    {
        ModeForScope mode(closed, fs::perms::owner_read | fs::perms::owner_exec);
        // The first run's settings save into the sub-folder "Modified".
        stamp = cli.RunUnprivileged(dir.Path(), "stamp gps " + Quote(p));
        set = cli.RunUnprivileged(dir.Path(), "set --city Closed --out " + Quote(closed / "copies") + " " + Quote(p));
    }
    EXPECT_EQ(stamp.Status, 1);
    EXPECT_NE(stamp.Err.find("cannot create the folder " + (closed / "Modified").string() + " (Permission denied)"),
              std::string::npos)
        << stamp.Err;
    EXPECT_EQ(set.Status, 1);
    EXPECT_NE(set.Err.find("cannot create the folder (Permission denied)"), std::string::npos) << set.Err;
    EXPECT_EQ(Differences(before, Snapshot(dir.Path())), "");
}

TEST(CliInputs, StampDryRunSaysWhatItWouldDo)
{
    REQUIRE_SAMPLES();
    TempDir dir;
    const fs::path p = dir.Copy(SamplesDir() / "pictures/gps/DSCN0021.jpg", "p.jpg");
    const FolderState before = Snapshot(dir.Path());
    const CliRunner cli;
    const CliResult r = cli.Run("stamp --dry-run title 'Site 14' " + Quote(p));
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, p.string() + ": would draw the title stamp, then save to " + (dir / "Modified/p.jpg").string() +
                         "\n");
    // Settings that name no place: the dry run fails as the save would.
    std::string settings = ReadFile(cli.SettingsFile());
    const size_t mode = settings.find("OverwriteOriginalPics=1");
    ASSERT_NE(mode, std::string::npos) << settings;
    settings.replace(mode, 23, "OverwriteOriginalPics=7");
    WriteFile(cli.SettingsFile(), settings);
    const CliResult nowhere = cli.Run("stamp --dry-run gps " + Quote(p));
    EXPECT_EQ(nowhere.Status, 1);
    EXPECT_EQ(nowhere.Err, p.string() + ": would draw the GPS stamp, but the settings name no place to save it\n");
    EXPECT_EQ(Differences(before, Snapshot(dir.Path())), "");
}

// Under cron, sudo or a bare container the runtime folder is missing or
// loose; the toolkit's complaints about it are not ours to print.
TEST(CliInputs, StandardErrorHoldsOnlyOurOwnLines)
{
    REQUIRE_SAMPLES();
    TempDir dir;
    const fs::path p = dir.Copy(SamplesDir() / "pictures/gps/DSCN0029.jpg", "p.jpg");
    fs::create_directory(dir / "loose");
    fs::permissions(dir / "loose", fs::perms::all);
    const CliRunner cli;
    for (const std::string& env : {std::string("-u XDG_RUNTIME_DIR"), "XDG_RUNTIME_DIR=" + Quote(dir / "loose"),
                                  "XDG_RUNTIME_DIR=" + Quote(dir / "absent")}) {
        for (const char* args : {"show", "set --dry-run --city X", "export-csv", "stamp gps",
                                 "geocode --user demo --places /nonexistent/places.bin --server http://127.0.0.1:9/"}) {
            std::string command = std::string(args) + " " + Quote(p);
            if (std::string(args) == "export-csv") command += " " + Quote(dir / "t.csv");
            const CliResult r = cli.Run(command, env);
            const bool offline = std::string(args).find("127.0.0.1") != std::string::npos;
            if (offline)
                EXPECT_EQ(r.Err.rfind("No Internet Connection: ", 0), 0u) << env << " " << args << "\n" << r.Err;
            else
                EXPECT_EQ(r.Err, "") << env << " " << args;
        }
    }
}

}  // namespace
