// The object model's defaults and ownership, and a full tree with every
// Garmin record through the encoder and back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <ostream>
#include <string>

#include "GPXTestSupport.h"

namespace {

// An extension record of the caller's own that says when it is destroyed.
class DestroyedFlag : public GPXExtensions {
public:
    explicit DestroyedFlag(bool& destroyed_) : destroyed(destroyed_) {}
    ~DestroyedFlag() override { destroyed = true; }

private:
    bool& destroyed;
};

// Each case deletes a record through its base and reports whether what only
// the derived record holds was freed.
struct BaseDeletion {
    const char* name;
    bool (*run)();
};

void PrintTo(const BaseDeletion& c, std::ostream* os) { *os << c.name; }

class GPXModelDeletion : public ::testing::TestWithParam<BaseDeletion> {};

TEST_P(GPXModelDeletion, ThroughTheBaseFreesTheDerivedFields)
{
    EXPECT_TRUE(GetParam().run());
}

INSTANTIATE_TEST_SUITE_P(
    Records, GPXModelDeletion,
    ::testing::Values(
        BaseDeletion{"track point as a waypoint",
                     [] {
                         bool destroyed = false;
                         GPXWayPoint* point = new GPXTrackPoint();
                         static_cast<GPXTrackPoint*>(point)->garminExtension = new DestroyedFlag(destroyed);
                         delete point;
                         return destroyed;
                     }},
        BaseDeletion{"route point as a waypoint",
                     [] {
                         bool destroyed = false;
                         GPXWayPoint* point = new GPXRoutePoint();
                         static_cast<GPXRoutePoint*>(point)->garminExtension = new DestroyedFlag(destroyed);
                         delete point;
                         return destroyed;
                     }},
        BaseDeletion{"route as its base",
                     [] {
                         bool destroyed = false;
                         GPXRouteTrackBase* route = new GPXRoute();
                         static_cast<GPXRoute*>(route)->extensions = new DestroyedFlag(destroyed);
                         delete route;
                         return destroyed;
                     }},
        BaseDeletion{"waypoint extension as an extension", [] {
                         bool destroyed = false;
                         GPXExtensions* extension = new GPXGARWaypointExtension();
                         static_cast<GPXGARWaypointExtension*>(extension)->Extensions = new DestroyedFlag(destroyed);
                         delete extension;
                         return destroyed;
                     }}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

// Fields a caller sets with new are the tree's from then on: deleting the
// root frees them (checked for leaks by the memory test).
TEST(GPXModel, FieldsSetByTheCallerAreFreedWithTheTree)
{
    bool destroyed = false;
    auto* root = new GPXRoot();
    auto* track = new GPXTrack();
    auto* segment = new GPXTrackSegment();
    auto* point = new GPXTrackPoint();
    point->ele = new double(372.5);
    point->time = new GPXTime(1368189296);
    point->garminExtension = new DestroyedFlag(destroyed);
    segment->trkpt.push_back(point);
    track->trkseg.push_back(segment);
    root->trk.push_back(track);
    delete root;
    EXPECT_TRUE(destroyed);
}

// Optional numbers as callers set them: from new, taken by the record (the
// memory test sees no leak), and cleared with null.
TEST(GPXModel, NumbersSetWithNewAreWrittenAndNullClearsThem)
{
    GPXRoot root;
    auto* point = new GPXWayPoint();
    point->lat = 46.5;
    point->lon = 7.25;
    point->ele = new double(372.5);
    point->sat = new std::uint32_t(7);
    point->dgpsid = new std::int32_t(-3);
    point->hdop = new double(2);
    point->hdop = nullptr;
    point->ele = new double(400.25);  // replaces the first
    root.wpt.push_back(point);
    ASSERT_TRUE(point->ele && point->sat && !point->hdop);
    EXPECT_EQ(400.25, *point->ele);

    TempFile out("numbers.gpx");
    ASSERT_EQ(0, EncodeFile(root, out.Path(), false).finalize);
    const std::string written = out.Read();
    for (const char* expected : {"<ele>400.25</ele>", "<sat>7</sat>", "<dgpsid>-3</dgpsid>"})
        EXPECT_NE(std::string::npos, written.find(expected)) << expected;
    EXPECT_EQ(std::string::npos, written.find("hdop"));
    const Decoded decoded = DecodeFile(out.Path());
    ASSERT_EQ(0, decoded.hr);
    const GPXWayPoint& back = *decoded.root->wpt.at(0);
    ASSERT_TRUE(back.ele && back.sat && back.dgpsid);
    EXPECT_EQ(400.25, *back.ele);
    EXPECT_EQ(7u, *back.sat);
    EXPECT_EQ(-3, *back.dgpsid);
    EXPECT_EQ(nullptr, back.hdop);
}

// Every value a number can take is held as given, including the ones an
// optional could mistake for "none".
TEST(GPXModel, OptionalNumbersHoldEveryValue)
{
    const GPXOptional<double> absent;
    ASSERT_FALSE(absent);
    const double whatAbsentHolds = *absent;
    const double values[] = {0.0, -0.0, std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::max(),
                             whatAbsentHolds};
    for (double value : values) {
        GPXWayPoint point;
        point.ele = new double(value);
        point.hdop.Set(value);
        for (const GPXOptional<double>* field : {&point.ele, &point.hdop}) {
            ASSERT_TRUE(*field) << value;
            ASSERT_NE(nullptr, field->get());
            if (std::isnan(value))
                EXPECT_TRUE(std::isnan(**field));
            else
                EXPECT_EQ(0, std::memcmp(&value, field->get(), sizeof value)) << value;
        }
        GPXOptional<double> copy = point.ele;
        EXPECT_TRUE(copy);
        point.ele = nullptr;
        point.hdop.Reset();
        EXPECT_FALSE(point.ele);
        EXPECT_EQ(nullptr, point.hdop.get());
        EXPECT_TRUE(copy) << "a copy keeps its value";
    }
}

// A document using every record and field the encoder writes.
const char* const kFullBody = R"(<metadata><name>Trip</name><desc>Along the lake</desc>
<author><name>Ann</name><email id="ann" domain="example.org"/><link href="https://example.org/ann"/></author>
<copyright author="Ann"><year>2013</year><license>CC0</license></copyright>
<link href="https://example.org"><text>home</text><type>text/html</type></link>
<time>2013-05-10T12:34:56Z</time><keywords>lake, walk</keywords>
<bounds minlat="-33.5" minlon="0" maxlat="0" maxlon="151.25"/></metadata>
<wpt lat="46.123456789012" lon="-7.000001"><ele>372.5</ele><time>2013-05-10T12:34:57Z</time><magvar>12.25</magvar>
<geoidheight>-3.5</geoidheight><name>Café</name><cmt>c</cmt><desc>d</desc><src>s</src><link href="x:y"/>
<sym>Flag, Blue</sym><type>t</type><fix>dgps</fix><sat>9</sat><hdop>0.75</hdop><vdop>1</vdop><pdop>2</pdop>
<ageofdgpsdata>3</ageofdgpsdata><dgpsid>17</dgpsid>
<extensions><gpxx:WaypointExtension><gpxx:Proximity>25</gpxx:Proximity><gpxx:Temperature>-4.5</gpxx:Temperature>
<gpxx:Depth>12.125</gpxx:Depth><gpxx:DisplayMode>SymbolAndDescription</gpxx:DisplayMode>
<gpxx:Categories><gpxx:Category>Food</gpxx:Category><gpxx:Category>Drink</gpxx:Category></gpxx:Categories>
<gpxx:Address><gpxx:StreetAddress>1200 E 151st St</gpxx:StreetAddress><gpxx:StreetAddress>Building 2</gpxx:StreetAddress>
<gpxx:City>Olathe</gpxx:City><gpxx:State>KS</gpxx:State><gpxx:Country>US</gpxx:Country><gpxx:PostalCode>66062</gpxx:PostalCode></gpxx:Address>
<gpxx:PhoneNumber Category="Fax">+1 913 397 8200</gpxx:PhoneNumber><gpxx:PhoneNumber>555</gpxx:PhoneNumber>
</gpxx:WaypointExtension></extensions></wpt>
<rte><name>Way</name><number>3</number><extensions><gpxx:RouteExtension><gpxx:IsAutoNamed>true</gpxx:IsAutoNamed>
<gpxx:DisplayColor>Magenta</gpxx:DisplayColor></gpxx:RouteExtension></extensions>
<rtept lat="1.5" lon="2.5"><extensions><gpxx:RoutePointExtension><gpxx:Subclass>000000000000FFFFFFFFFFFFFFFFFFFFFFFF</gpxx:Subclass>
<gpxx:rpt lat="1.75" lon="2.75"><gpxx:Subclass>0302000000000000000000000000FFFFFFFF</gpxx:Subclass></gpxx:rpt>
</gpxx:RoutePointExtension></extensions></rtept></rte>
<trk><name>Track</name><extensions><gpxx:TrackExtension><gpxx:DisplayColor>Transparent</gpxx:DisplayColor></gpxx:TrackExtension></extensions>
<trkseg><trkpt lat="10" lon="20"><extensions><gpxx:TrackPointExtension><gpxx:Temperature>23.5</gpxx:Temperature>
<gpxx:Depth>0.2</gpxx:Depth></gpxx:TrackPointExtension></extensions></trkpt></trkseg><trkseg/></trk>)";

std::unique_ptr<GPXRoot> FullTree()
{
    Decoded decoded = DecodeText(GpxDocument(kFullBody));
    EXPECT_EQ(0, decoded.hr);
    return std::move(decoded.root);
}

TEST(GarminRoundTrip, EveryRecordSurvives)
{
    const auto tree = FullTree();
    TempFile out("full.gpx");
    const Encoded encoded = EncodeFile(*tree, out.Path(), true);
    EXPECT_EQ(0, encoded.write);
    ASSERT_EQ(0, encoded.finalize);
    const std::string first = out.Read();
    for (const char* written : {"<garmin:Category>Drink</garmin:Category>", "<garmin:StreetAddress>Building 2<",
                                "<garmin:PhoneNumber Category=\"Fax\">+1 913 397 8200<", "<garmin:PhoneNumber Category=\"\">555<",
                                "<garmin:DisplayMode>SymbolAndDescription<", "<garmin:DisplayColor>Transparent<",
                                "<garmin:rpt lat=\"1.75\" lon=\"2.75\">", "<garmin:Temperature>23.5<", "<garmin:Depth>0.2<",
                                "<garmin:IsAutoNamed>true<", "<ageofdgpsdata>3<", "<dgpsid>17<", "<name>Café<", "<trkseg></trkseg>"})
        EXPECT_NE(std::string::npos, first.find(written)) << written;
    EXPECT_EQ(first, ReencodeText(first, true));
    const std::string command = "xmllint --noout --schema " CORVANE_SCHEMAS "/gpx-with-garmin.xsd " + out.Path() + " 2>&1";
    EXPECT_EQ(0, std::system(command.c_str())) << out.Read();
}

TEST(GarminRoundTrip, WithoutTheFlagNoGarminRecordComesBack)
{
    const auto tree = FullTree();
    TempFile out("plain.gpx");
    ASSERT_EQ(0, EncodeFile(*tree, out.Path(), false).finalize);
    const Decoded decoded = DecodeFile(out.Path());
    ASSERT_EQ(0, decoded.hr);
    EXPECT_FALSE(decoded.garmin);
    EXPECT_EQ(nullptr, decoded.root->wpt[0]->extensions);
    EXPECT_EQ(nullptr, decoded.root->rte[0]->extensions);
    EXPECT_EQ(nullptr, decoded.root->trk[0]->trkseg[0]->trkpt[0]->garminExtension);
}

}  // namespace
