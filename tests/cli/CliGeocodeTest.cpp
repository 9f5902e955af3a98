// corvane-cli geocode as a user runs it: the account, the offline places,
// what is said on standard error and the exit status.
#include <gtest/gtest.h>

#include "GeoTagFile.h"
#include "LoopbackServer.h"
#include "TestSupport.h"

namespace {

using namespace testsupport;

struct CliRun {
    int Status = -1;
    std::string Out, Err;
};

class CliGeocodeTest : public testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_SAMPLES();
        picture = dir.Copy(SamplesDir() / "pictures/gps/DSCN0010.jpg");
        fs::create_directories(dir / "out");
    }
    // Settings, cache and home of its own: never the user's.
    CliRun Geocode(const std::string& args)
    {
        CliRun r;
        const std::string env = "HOME=" + Quote(dir / "home") + " XDG_CONFIG_HOME=" + Quote(dir / "config") +
                                " XDG_CACHE_HOME=" + Quote(dir / "cache") + " ";
        r.Out = RunCommand(env + CORVANE_CLI + " geocode " + args + " --out " + Quote(dir / "out") + " " +
                               Quote(picture) + " 2>" + Quote(dir / "err.txt"),
                           &r.Status);
        r.Err = ReadFile(dir / "err.txt");
        return r;
    }
    std::wstring SavedCity()
    {
        auto record = ReadGeoTag((dir / "out/DSCN0010.jpg").string(), nullptr, nullptr);
        return record && record->City ? *record->City : L"";
    }

    TempDir dir;
    fs::path picture;
};

TEST_F(CliGeocodeTest, WithoutAnAccountItSaysHowToGetOneAndExitsOne)
{
    const CliRun r = Geocode("");
    EXPECT_EQ(1, r.Status);
    EXPECT_EQ(0u, r.Err.find("corvane-cli: no GeoNames account is set: make a free one on the GeoNames web site, "
                             "enable its web services there"))
        << r.Err;
    EXPECT_EQ(r.Err.size() - 1, r.Err.find('\n')) << "one line: " << r.Err;
    EXPECT_FALSE(fs::exists(dir / "out/DSCN0010.jpg"));
}

TEST_F(CliGeocodeTest, OfflineNeedsNoAccountAndSaysWhereTheAddressCameFrom)
{
    const CliRun r = Geocode("--offline");
    EXPECT_EQ(0, r.Status) << r.Err;
    EXPECT_NE(std::string::npos, r.Err.find("Addresses of 1 picture(s): 1 from the offline places\n")) << r.Err;
    EXPECT_FALSE(SavedCity().empty());
}

TEST_F(CliGeocodeTest, AnUnknownAccountIsOneLineAndTheOfflinePlacesAnswer)
{
    const std::string refusal = "<geonames><status message=\"user does not exist.\" value=\"10\"/></geonames>";
    CLoopbackServer server([&](CLoopbackServer::Connection& c) {
        c.Send("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\nContent-Length: " +
               std::to_string(refusal.size()) + "\r\n\r\n" + refusal);
    });
    const std::wstring wide = server.Address();
    const std::string address(wide.begin(), wide.end());
    const CliRun r = Geocode("--user nobody --server " + address);
    EXPECT_EQ(0, r.Status) << r.Err;
    EXPECT_NE(std::string::npos, r.Err.find("\nAddress Service: The address service refused the request: GeoNames "
                                            "does not know the account \"nobody\".\n"))
        << r.Err;
    EXPECT_FALSE(SavedCity().empty());
    EXPECT_EQ(2, server.Connections());  // the connection check, then one request
}

TEST_F(CliGeocodeTest, UsedUpCreditsExitOne)
{
    const std::string refusal =
        "<geonames><status message=\"the daily limit of 20000 credits has been exceeded.\" value=\"18\"/></geonames>";
    CLoopbackServer server([&](CLoopbackServer::Connection& c) {
        c.Send("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\nContent-Length: " +
               std::to_string(refusal.size()) + "\r\n\r\n" + refusal);
    });
    const std::wstring wide = server.Address();
    const std::string address(wide.begin(), wide.end());
    const CliRun r = Geocode("--user tester --server " + address);
    EXPECT_EQ(1, r.Status) << r.Err;
    EXPECT_NE(std::string::npos, r.Err.find("Address Service: GeoNames stopped answering: the daily credits of the "
                                            "GeoNames account are used up; they renew at "))
        << r.Err;
    EXPECT_FALSE(fs::exists(dir / "out/DSCN0010.jpg"));
}

}  // namespace
