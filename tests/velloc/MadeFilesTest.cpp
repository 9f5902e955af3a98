// Small GPX files made by hand for what real tracks do to a reader: zone
// offsets and fractions of seconds, other vocabularies inside GPX, Garmin's
// TrackPointExtension v1/v2 beside the v3 record, coordinates that are no
// coordinates and a time out of range.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <ctime>
#include <memory>

#include "GPXTestSupport.h"

namespace {

const std::string kMade = CORVANE_SAMPLES "/gpx/made/";

long long Utc(const char* text)
{
    std::tm parts{};
    EXPECT_TRUE(strptime(text, "%Y-%m-%dT%H:%M:%SZ", &parts)) << text;
    return static_cast<long long>(timegm(&parts));
}

std::string RunCommand(const std::string& command, int& status)
{
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        status = -1;
        return output;
    }
    std::array<char, 4096> chunk;
    std::size_t n;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
        output.append(chunk.data(), n);
    status = ::pclose(pipe);
    return output;
}

std::vector<GPXTrackPoint*> Points(const GPXRoot& root)
{
    std::vector<GPXTrackPoint*> points;
    for (const GPXTrack* track : root.trk)
        for (const GPXTrackSegment* segment : track->trkseg)
            points.insert(points.end(), segment->trkpt.begin(), segment->trkpt.end());
    return points;
}

const GPXGARTrackPointExtensionV2* SensorRecord(const GPXTrackPoint& point)
{
    return dynamic_cast<const GPXGARTrackPointExtensionV2*>(point.garminTrackPointExtension);
}

TEST(MadeFiles, ZoneOffsetsAreAppliedAndFractionsKept)
{
    const Decoded decoded = DecodeFile(kMade + "zone-offsets.gpx");
    ASSERT_EQ(0, decoded.hr);
    const auto points = Points(*decoded.root);
    struct Expected {
        const char* utc;
        double fraction;  // 0: none kept
    };
    const Expected expected[] = {{"2002-08-15T07:00:00Z", 0},
                                 {"2013-05-10T12:34:56Z", 0.25},
                                 {"2013-05-10T12:34:56Z", 0},
                                 {"2013-05-10T12:34:56Z", 0.789},
                                 {"2014-01-01T00:30:00Z", 0}};
    ASSERT_EQ(std::size(expected), points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        ASSERT_NE(nullptr, points[i]->time) << i;
        EXPECT_EQ(Utc(expected[i].utc), *points[i]->time) << i;
        if (expected[i].fraction == 0) {
            EXPECT_EQ(nullptr, points[i]->timeFraction) << i;
        } else {
            ASSERT_NE(nullptr, points[i]->timeFraction) << i;
            EXPECT_DOUBLE_EQ(expected[i].fraction, *points[i]->timeFraction) << i;
        }
    }
    // Written back in UTC, the fractions with them.
    const std::string text = EncodeToText(*decoded.root, false);
    EXPECT_NE(std::string::npos, text.find("<time>2002-08-15T07:00:00Z</time>"));
    EXPECT_NE(std::string::npos, text.find("<time>2013-05-10T12:34:56.25Z</time>"));
    EXPECT_NE(std::string::npos, text.find("<time>2013-05-10T12:34:56.789Z</time>"));
}

TEST(MadeFiles, OtherVocabulariesChangeNothing)
{
    const Decoded decoded = DecodeFile(kMade + "foreign-namespaces.gpx");
    ASSERT_EQ(0, decoded.hr) << "a foreign time that is no time must not reject the file";
    ASSERT_EQ(1u, decoded.root->wpt.size()) << "a foreign wpt in the root's extensions is no waypoint";
    const GPXWayPoint& w = *decoded.root->wpt[0];
    EXPECT_EQ(L"GC1234", w.name);
    EXPECT_EQ(L"Geocache|Traditional Cache", w.type);
    ASSERT_NE(nullptr, w.time);
    EXPECT_EQ(Utc("2013-05-10T12:00:00Z"), *w.time);
    EXPECT_EQ(nullptr, w.extensions);
}

TEST(MadeFiles, TrackPointExtensionsAreReadByNamespace)
{
    const Decoded decoded = DecodeFile(kMade + "trackpoint-extensions.gpx");
    ASSERT_EQ(0, decoded.hr);
    EXPECT_TRUE(decoded.garmin) << "declared on the extensions element";
    const auto points = Points(*decoded.root);
    ASSERT_EQ(2u, points.size());

    auto* v3 = dynamic_cast<GPXGARTrackPointExtension*>(points[0]->garminExtension);
    ASSERT_TRUE(v3 && v3->Temperature);
    EXPECT_EQ(18.5, *v3->Temperature);
    const GPXGARTrackPointExtensionV2* v1 = SensorRecord(*points[0]);
    ASSERT_NE(nullptr, v1);
    EXPECT_EQ(1, v1->Version);
    ASSERT_TRUE(v1->atemp && v1->wtemp && v1->depth && v1->hr && v1->cad);
    EXPECT_EQ(19.5, *v1->atemp);
    EXPECT_EQ(11, *v1->wtemp);
    EXPECT_EQ(2.25, *v1->depth);
    EXPECT_EQ(81u, *v1->hr);
    EXPECT_EQ(62u, *v1->cad);

    EXPECT_EQ(nullptr, points[1]->garminExtension) << "no v3 record is made up from another version's";
    const GPXGARTrackPointExtensionV2* v2 = SensorRecord(*points[1]);
    ASSERT_NE(nullptr, v2);
    EXPECT_EQ(2, v2->Version);
    ASSERT_TRUE(v2->speed && v2->course && v2->hr);
    EXPECT_EQ(3.75, *v2->speed);
    EXPECT_EQ(271.5, *v2->course);
    EXPECT_EQ(84u, *v2->hr);

    // The trip extension comes first: the route point's record is the one
    // after it, not a misread via point.
    auto* route = dynamic_cast<GPXGARRoutePointExtension*>(decoded.root->rte[0]->rtept[0]->garminExtension);
    ASSERT_NE(nullptr, route);
    EXPECT_EQ(L"000000000000FFFFFFFFFFFFFFFFFFFFFFFF", route->Subclass);
}

TEST(MadeFiles, InvalidCoordinatesDropThePointAndAnOutOfRangeTimeOnlyItself)
{
    CGPXFilesDecoder decoder(std::wstring(kMade.begin(), kMade.end()) + L"invalid-points.gpx");
    ASSERT_EQ(0, decoder.Initialize());
    GPXRoot* tree = nullptr;
    ASSERT_EQ(0, decoder.ReadGPXRoot(&tree));
    const std::unique_ptr<GPXRoot> root(tree);
    const auto points = Points(*root);
    ASSERT_EQ(3u, points.size());
    EXPECT_EQ(45.1, points[0]->lat);
    EXPECT_EQ(45.5, points[1]->lat);
    EXPECT_EQ(nullptr, points[1]->time) << "the year 1234 is left out";
    EXPECT_EQ(45.6, points[2]->lat);
    EXPECT_EQ(4u, decoder.GetInvalidPointCount());
    EXPECT_EQ(1u, decoder.GetSkippedTimeCount());
}

// A conversion keeps the version 1/2 values, each in its own namespace, and
// what it writes is GPX an independent reader takes.
TEST(MadeFiles, GarminConversionKeepsTheTrackPointExtensions)
{
    const Decoded original = DecodeFile(kMade + "trackpoint-extensions.gpx");
    ASSERT_EQ(0, original.hr);
    TempFile out("tpx-out.gpx");
    ASSERT_EQ(0, EncodeFile(*original.root, out.Path(), true).finalize);
    const std::string text = out.Read();
    EXPECT_NE(std::string::npos,
              text.find("<trk xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v1\">"));
    EXPECT_NE(std::string::npos,
              text.find("<gpxtpx:TrackPointExtension xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/"
                        "TrackPointExtension/v2\">"));
    EXPECT_EQ(text, ReencodeText(text, true)) << "read back, the same values";

    const Decoded back = DecodeFile(out.Path());
    const auto points = Points(*back.root);
    ASSERT_EQ(2u, points.size());
    ASSERT_TRUE(SensorRecord(*points[0]) && SensorRecord(*points[1]));
    EXPECT_EQ(1, SensorRecord(*points[0])->Version);
    EXPECT_EQ(62u, *SensorRecord(*points[0])->cad);
    EXPECT_EQ(2, SensorRecord(*points[1])->Version);
    EXPECT_EQ(271.5, *SensorRecord(*points[1])->course);

    int status = 0;
    const std::string schema =
        RunCommand("xmllint --noout --schema " CORVANE_SCHEMAS "/gpx-with-garmin.xsd " + out.Path() + " 2>&1", status);
    EXPECT_EQ(0, status) << schema;
    const std::string babel =
        RunCommand("gpsbabel -i gpx -f " + out.Path() + " -o gpx,garminextensions -F - 2>&1", status);
    ASSERT_EQ(0, status) << babel;
    for (const char* value : {"<gpxtpx:hr>81</gpxtpx:hr>", "<gpxtpx:cad>62</gpxtpx:cad>", "<gpxtpx:hr>84</gpxtpx:hr>",
                              "<gpxtpx:cad>63</gpxtpx:cad>"})
        EXPECT_NE(std::string::npos, babel.find(value)) << value << " in\n" << babel;

    EXPECT_EQ(std::string::npos, EncodeToText(*original.root, false).find("TrackPointExtension"))
        << "without the Garmin flag no extension is written";
}

TEST(MadeFiles, AVersionOneRecordWithSpeedIsWrittenAsVersionTwo)
{
    GPXRoot root;
    auto* track = new GPXTrack();
    root.trk.push_back(track);
    track->trkseg.push_back(new GPXTrackSegment());
    auto* point = new GPXTrackPoint();
    track->trkseg[0]->trkpt.push_back(point);
    auto* record = new GPXGARTrackPointExtensionV2();
    record->Version = 1;
    record->speed = new double(2.5);
    point->garminTrackPointExtension = record;
    const std::string text = EncodeToText(root, true);
    EXPECT_NE(std::string::npos, text.find("TrackPointExtension/v2")) << text;
    EXPECT_EQ(std::string::npos, text.find("TrackPointExtension/v1")) << text;
    EXPECT_NE(std::string::npos, text.find("<gpxtpx:speed>2.5</gpxtpx:speed>")) << text;
}

}  // namespace
