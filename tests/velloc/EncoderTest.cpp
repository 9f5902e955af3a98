// The GPX encoder: prologue, formats, checks, and a target that is only
// replaced by a complete file.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "GPXTestSupport.h"
#include "StatusException.h"

namespace {

// The text between the root's start tag and its end tag.
std::string Body(const std::string& file)
{
    const std::size_t start = file.find('>', file.find("<gpx")) + 1;
    return file.substr(start, file.rfind("</gpx>") - start);
}

std::string Encode(const GPXRoot& root, bool garmin = true)
{
    TempFile out("encode.gpx");
    const Encoded encoded = EncodeFile(root, out.Path(), garmin);
    EXPECT_EQ(0, encoded.finalize);
    return out.Read();
}

GPXWayPoint* AddWaypoint(GPXRoot& root, double lat = 1, double lon = 2)
{
    auto* point = new GPXWayPoint();
    point->lat = lat;
    point->lon = lon;
    root.wpt.push_back(point);
    return point;
}

TEST(GPXFilesEncoder, WritesThePrologueAndNothingForAnEmptyRoot)
{
    GPXRoot root;
    root.creator = L"ignored";
    TempFile out("empty.gpx");
    const Encoded encoded = EncodeFile(root, out.Path(), true);
    EXPECT_EQ(E_ABORT, encoded.write);
    EXPECT_EQ(0, encoded.finalize);
    const std::string file = out.Read();
    EXPECT_EQ("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
              "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" creator=\"Tracker v1.0\" version=\"1.1\" "
              "xmlns:garmin=\"http://www.garmin.com/xmlschemas/GpxExtensions/v3\" "
              "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
              "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 http://www.topografix.com/GPX/1/1/gpx.xsd\">"
              "</gpx>\n",
              file);
    EXPECT_EQ(E_ABORT, CGPXFilesEncoder(L"/tmp/x", L"a", L"b", false).WriteGpxRoot(nullptr));
}

TEST(GPXFilesEncoder, WithoutTheGarminFlagNoGarminIsWritten)
{
    GPXRoot root;
    auto* extension = new GPXGARWaypointExtension();
    extension->DisplayMode = GPXGARSymbolOnly;
    AddWaypoint(root)->extensions = extension;
    const std::string file = Encode(root, false);
    EXPECT_EQ(std::string::npos, file.find("garmin"));
    EXPECT_EQ(std::string::npos, file.find("<extensions>"));
    EXPECT_NE(std::string::npos, Encode(root, true).find("<garmin:DisplayMode>SymbolOnly</garmin:DisplayMode>"));
}

struct FormatCase {
    const char* name;
    std::function<void(GPXWayPoint&)> set;
    const char* expected;
};

// Parameters are shown by name (their padding bytes are not values).
void PrintTo(const FormatCase& c, std::ostream* out)
{
    *out << c.name;
}

class NumberFormatTest : public testing::TestWithParam<FormatCase> {};

TEST_P(NumberFormatTest, WritesTheFormat)
{
    GPXRoot root;
    GetParam().set(*AddWaypoint(root));
    const std::string body = Body(Encode(root));
    EXPECT_NE(std::string::npos, body.find(GetParam().expected)) << body;
}

INSTANTIATE_TEST_SUITE_P(
    Fields, NumberFormatTest,
    testing::Values(
        FormatCase{"WholeElevation", [](GPXWayPoint& p) { p.ele = new double(100); }, "<ele>100</ele>"},
        FormatCase{"DecimalElevation", [](GPXWayPoint& p) { p.ele = new double(100.25); }, "<ele>100.25</ele>"},
        FormatCase{"ShortestLatitude", [](GPXWayPoint& p) { p.lat = 48.8588440; }, "lat=\"48.858844\""},
        FormatCase{"FifteenDecimals", [](GPXWayPoint& p) { p.lon = 1.0 / 3; }, "lon=\"0.333333333333333\""},
        FormatCase{"HdopTwoDecimals", [](GPXWayPoint& p) { p.hdop = new double(1.234); }, "<hdop>1.23</hdop>"},
        FormatCase{"TinyRoundsToZero", [](GPXWayPoint& p) { p.magvar = new double(0.004); }, "<magvar>0</magvar>"},
        FormatCase{"Fix3d", [](GPXWayPoint& p) { p.fix = GPXFix3D; }, "<fix>3d</fix>"},
        FormatCase{"Time", [](GPXWayPoint& p) { p.time = new GPXTime(1368189296); }, "<time>2013-05-10T12:34:56Z</time>"},
        FormatCase{"GarminTwelveDecimals",
                   [](GPXWayPoint& p) {
                       auto* e = new GPXGARWaypointExtension();
                       e->Depth = new double(2.0 / 3);
                       p.extensions = e;
                   },
                   "<garmin:Depth>0.666666666667</garmin:Depth>"}),
    [](const testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

// What the standard library's shortest conversion writes: the fewest
// decimals that read back as the value, or the value rounded to `decimals`
// when it needs more; trailing zeros and point removed.
std::string ShortestFixed(double value, int decimals)
{
    char text[400];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    std::string out(text, end);
    const std::size_t point = out.find('.');
    if (point != std::string::npos && out.size() - point - 1 > static_cast<std::size_t>(decimals)) {
        end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
        out.assign(text, end);
    }
    if (out.find('.') != std::string::npos) {
        while (out.back() == '0')
            out.pop_back();
        if (out.back() == '.')
            out.pop_back();
    }
    return out;
}

// Numbers of every kind a track holds, and the awkward ones: halves, values
// next to whole numbers, the largest with few decimals, signs and zeros.
std::vector<double> NumbersToWrite()
{
    std::vector<double> values = {0.0, -0.0, 0.5, -0.5, 0.05, 1e-7, -1e-7, 0.125, 1.0 / 3, 2.0 / 3, 48.858844,
                                  9007199254740991.0, 1125899906842623.5, 1125899906842624.0, 1e15, 123456789.123,
                                  0.1 + 0.2, 1e-300, 4.35, 2.675, 1.005, 89.99999999999999, -179.999999999};
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> anywhere(-180, 180);
    for (int i = 0; i < 8000; ++i) {
        const double v = anywhere(random);
        const int decimals = static_cast<int>(random() % 17);
        values.push_back(v);  // all 17 significant digits
        values.push_back(std::round(v * std::pow(10.0, decimals)) / std::pow(10.0, decimals));
        values.push_back(std::nextafter(values.back(), 1000.0));
        values.push_back(std::ldexp(static_cast<double>(random() >> 11), -static_cast<int>(random() % 60)));
        values.push_back(std::round(anywhere(random) * 1e10) / 1e2);  // large, with cents
    }
    return values;
}

// Coordinates and elevations are written with up to 15 decimals, dilutions
// with 2, Garmin values with 12: each is the text the shortest conversion
// gives, whatever the encoder does to be quick.
TEST(GPXFilesEncoder, EveryNumberIsTheShortestTextThatReadsBack)
{
    const std::vector<double> values = NumbersToWrite();
    GPXRoot root;
    for (double v : values) {
        GPXWayPoint* point = AddWaypoint(root, std::fmod(v, 90.0), std::fmod(v, 180.0));
        point->ele = new double(v);
        point->hdop = new double(v);
        auto* extension = new GPXGARWaypointExtension();
        extension->Depth = new double(v);
        point->extensions = extension;
    }
    const std::string file = Encode(root);
    std::size_t at = 0;
    auto next = [&](const std::string& open, char close) {
        at = file.find(open, at);
        if (at == std::string::npos)
            return std::string("(missing)");
        at += open.size();
        return file.substr(at, file.find(close, at) - at);
    };
    int wrong = 0;
    for (double v : values) {
        const std::string expected[] = {ShortestFixed(std::fmod(v, 90.0), 15), ShortestFixed(std::fmod(v, 180.0), 15),
                                        ShortestFixed(v, 15), ShortestFixed(v, 2), ShortestFixed(v, 12)};
        const std::string written[] = {next("lat=\"", '"'), next("lon=\"", '"'), next("<ele>", '<'), next("<hdop>", '<'),
                                       next("<garmin:Depth>", '<')};
        for (int i = 0; i < 5; ++i)
            if (expected[i] != written[i] && ++wrong <= 10)
                ADD_FAILURE() << "value " << std::hexfloat << v << ": wrote " << written[i] << ", expected " << expected[i];
    }
    EXPECT_EQ(0, wrong);
}

TEST(GPXFilesEncoder, FixNoneAndUnsetValuesWriteNothing)
{
    GPXRoot root;
    AddWaypoint(root);
    EXPECT_EQ("\n <wpt lat=\"1\" lon=\"2\"></wpt>\n", Body(Encode(root)));
}

TEST(GPXFilesEncoder, RouteExtensionWritesFalseAndLeavesOutAnUnsetColour)
{
    GPXRoot root;
    auto* route = new GPXRoute();
    route->extensions = new GPXGARRouteExtension();
    root.rte.push_back(route);
    const std::string body = Body(Encode(root));
    EXPECT_NE(std::string::npos, body.find("<garmin:IsAutoNamed>false</garmin:IsAutoNamed>"));
    // The schema has no empty colour: an unset one is left out, not written empty.
    EXPECT_EQ(std::string::npos, body.find("DisplayColor"));
}

struct InvalidCase {
    const char* name;
    std::function<void(GPXRoot&)> build;
};

// Parameters are shown by name (their padding bytes are not values).
void PrintTo(const InvalidCase& c, std::ostream* out)
{
    *out << c.name;
}

class InvalidDataTest : public testing::TestWithParam<InvalidCase> {};

TEST_P(InvalidDataTest, RaisesAndLeavesTheTargetAsItWas)
{
    TempFile out("target.gpx", "previous content");
    GPXRoot root;
    GetParam().build(root);
    CGPXFilesEncoder encoder(out.WidePath(), L"Tracker", L"1.0", true);
    ASSERT_EQ(0, encoder.Initialize());
    EXPECT_THROW(encoder.WriteGpxRoot(&root), std::invalid_argument);
    EXPECT_LT(encoder.Finalize(), 0) << "an abandoned file is never put in place";
    EXPECT_EQ("previous content", out.Read());
}

INSTANTIATE_TEST_SUITE_P(
    Data, InvalidDataTest,
    testing::Values(InvalidCase{"LatitudeAboveNinety", [](GPXRoot& r) { AddWaypoint(r, 90.0000001, 0); }},
                    InvalidCase{"LongitudeBelowRange", [](GPXRoot& r) { AddWaypoint(r, 0, -180.5); }},
                    InvalidCase{"NotANumber", [](GPXRoot& r) { AddWaypoint(r, std::nan(""), 0); }},
                    InvalidCase{"LinkWithoutHref", [](GPXRoot& r) { AddWaypoint(r)->link.push_back(new GPXLink()); }},
                    InvalidCase{"BoundsOutOfRange",
                                [](GPXRoot& r) {
                                    r.metadata = new GPXMetadata();
                                    r.metadata->bounds = new GPXBounds();
                                    r.metadata->bounds->maxlon = 181;
                                }},
                    InvalidCase{"EmailWithoutDomain",
                                [](GPXRoot& r) {
                                    r.metadata = new GPXMetadata();
                                    r.metadata->author = new GPXPerson();
                                    r.metadata->author->email = new GPXEmail();
                                    r.metadata->author->email->id = L"me";
                                }},
                    InvalidCase{"CopyrightWithoutAuthor",
                                [](GPXRoot& r) {
                                    r.metadata = new GPXMetadata();
                                    r.metadata->copyright = new GPXCopyright();
                                }},
                    InvalidCase{"AutoRoutePointOutOfRange",
                                [](GPXRoot& r) {
                                    auto* route = new GPXRoute();
                                    auto* point = new GPXRoutePoint();
                                    auto* extension = new GPXGARRoutePointExtension();
                                    extension->rpt.push_back(new GPXGARAutoRoutePoint());
                                    extension->rpt[0]->lat = -91;
                                    point->garminExtension = extension;
                                    route->rtept.push_back(point);
                                    r.rte.push_back(route);
                                }}),
    [](const testing::TestParamInfo<InvalidCase>& info) { return std::string(info.param.name); });

TEST(GPXFilesEncoder, EdgesOfTheRangeAreWritten)
{
    GPXRoot root;
    AddWaypoint(root, 90, -180);
    EXPECT_NE(std::string::npos, Encode(root).find("<wpt lat=\"90\" lon=\"-180\">"));
}

TEST(GPXFilesEncoder, TimeWithoutACalendarDateRaisesTheStatus)
{
    TempFile out("time.gpx");
    GPXRoot root;
    AddWaypoint(root)->time = new GPXTime(-1);
    CGPXFilesEncoder encoder(out.WidePath(), L"Tracker", L"1.0", false);
    ASSERT_EQ(0, encoder.Initialize());
    try {
        encoder.WriteGpxRoot(&root);
        FAIL() << "no exception";
    } catch (const CStatusException& e) {
        EXPECT_EQ(E_INVALIDARG, e.Error());
    }
}

TEST(GPXFilesEncoder, TextXmlCannotHoldFailsTheWrite)
{
    TempFile out("control.gpx", "previous content");
    GPXRoot root;
    AddWaypoint(root)->name = L"bell\x07";
    const Encoded encoded = EncodeFile(root, out.Path(), false);
    EXPECT_EQ(E_INVALIDARG, encoded.write);
    EXPECT_LT(encoded.finalize, 0);
    EXPECT_EQ("previous content", out.Read());
}

TEST(GPXFilesEncoder, AnEncoderDestroyedUnfinishedLeavesNoFileBehind)
{
    TempFile out("unfinished.gpx");
    {
        GPXRoot root;
        AddWaypoint(root);
        CGPXFilesEncoder encoder(out.WidePath(), L"Tracker", L"1.0", false);
        ASSERT_EQ(0, encoder.Initialize());
        EXPECT_EQ(0, encoder.WriteGpxRoot(&root));
    }
    EXPECT_FALSE(out.Exists());
}

}  // namespace
