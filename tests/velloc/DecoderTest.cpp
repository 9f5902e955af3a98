// The GPX decoder on small documents, one rule each.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>

#include "GPXTestSupport.h"
#include "StatusException.h"

namespace {

// The document up to and including the first `marker`.
std::string CutAfter(const std::string& text, const std::string& marker)
{
    return text.substr(0, text.find(marker) + marker.size());
}

const char* const kWaypointWithGarmin =
    "<wpt lat=\"48.1\" lon=\"11.5\"><name>W</name><extensions><gpxx:WaypointExtension>"
    "<gpxx:Proximity>5</gpxx:Proximity><gpxx:DisplayMode>SymbolAndName</gpxx:DisplayMode>"
    "</gpxx:WaypointExtension></extensions></wpt>";

TEST(GPXFilesDecoder, GarminRecordsNeedTheirNamespace)
{
    // The prefix is bound nowhere: the elements are in no namespace, so they
    // are nobody's Garmin record.
    const Decoded plain = DecodeText(GpxDocument(kWaypointWithGarmin, false));
    ASSERT_EQ(0, plain.hr);
    EXPECT_FALSE(plain.garmin);
    EXPECT_EQ(0, plain.root->hasGarminExtensions);
    ASSERT_EQ(1u, plain.root->wpt.size());
    EXPECT_EQ(nullptr, plain.root->wpt[0]->extensions);
    EXPECT_EQ(L"W", plain.root->wpt[0]->name);

    const Decoded garmin = DecodeText(GpxDocument(kWaypointWithGarmin, true));
    ASSERT_EQ(0, garmin.hr);
    EXPECT_TRUE(garmin.garmin);
    EXPECT_EQ(1, garmin.root->hasGarminExtensions);
    auto* extension = dynamic_cast<GPXGARWaypointExtension*>(garmin.root->wpt[0]->extensions);
    ASSERT_NE(nullptr, extension);
    ASSERT_NE(nullptr, extension->Proximity);
    EXPECT_EQ(5, *extension->Proximity);
    EXPECT_EQ(GPXGARSymbolAndName, extension->DisplayMode);
}

TEST(GPXFilesDecoder, AnyPrefixDeclaresTheGarminNamespace)
{
    const Decoded decoded = DecodeText(
        "<gpx xmlns:zz=\"http://www.garmin.com/xmlschemas/GpxExtensions/v3\" version=\"1.0\" creator=\"me\">"
        "<wpt lat=\"1\" lon=\"2\"><extensions><zz:WaypointExtension/></extensions></wpt></gpx>");
    ASSERT_EQ(0, decoded.hr);
    EXPECT_TRUE(decoded.garmin);
    EXPECT_EQ(L"1.0", decoded.root->version);
    EXPECT_EQ(L"me", decoded.root->creator);
    EXPECT_NE(nullptr, dynamic_cast<GPXGARWaypointExtension*>(decoded.root->wpt[0]->extensions));
}

constexpr HRESULT kSkipped = S_FALSE;  // a valid time the model cannot hold: left out

struct TimeCase {
    const char* text;
    const char* utc;  // the instant expected, or the status raised
    HRESULT status;
};

// Parameters are shown by name (their padding bytes are not values).
void PrintTo(const TimeCase& c, std::ostream* out)
{
    *out << c.text;
}

// "YYYY-MM-DDTHH:MM:SSZ" as seconds since 1970, by the C library's own
// calendar rather than the decoder's.
long long Utc(const char* text)
{
    std::tm parts{};
    EXPECT_TRUE(strptime(text, "%Y-%m-%dT%H:%M:%SZ", &parts)) << text;
    return static_cast<long long>(timegm(&parts));
}

class TimeConversionTest : public testing::TestWithParam<TimeCase> {
protected:
    // The decoder must not care about the local zone.
    void SetUp() override
    {
        setenv("TZ", "Asia/Tokyo", 1);
        tzset();
    }
    void TearDown() override
    {
        unsetenv("TZ");
        tzset();
    }
};

TEST_P(TimeConversionTest, ReadsUtcOrRaisesTheStatus)
{
    const std::string gpx = GpxDocument(std::string("<wpt lat=\"1\" lon=\"2\"><time>") + GetParam().text + "</time></wpt>");
    if (GetParam().status == S_OK || GetParam().status == kSkipped) {
        TempFile file("time.gpx", gpx);
        CGPXFilesDecoder decoder(file.WidePath());
        ASSERT_EQ(0, decoder.Initialize());
        GPXRoot* tree = nullptr;
        ASSERT_EQ(0, decoder.ReadGPXRoot(&tree));
        const std::unique_ptr<GPXRoot> root(tree);
        ASSERT_EQ(1u, root->wpt.size()) << "the point stays, with or without its time";
        if (GetParam().status == kSkipped) {
            EXPECT_EQ(nullptr, root->wpt[0]->time);
            EXPECT_EQ(1u, decoder.GetSkippedTimeCount());
            return;
        }
        ASSERT_NE(nullptr, root->wpt[0]->time);
        EXPECT_EQ(Utc(GetParam().utc), *root->wpt[0]->time);
        EXPECT_EQ(0u, decoder.GetSkippedTimeCount());
        return;
    }
    try {
        DecodeText(gpx);
        FAIL() << "no exception for " << GetParam().text;
    } catch (const CStatusException& e) {
        EXPECT_EQ(GetParam().status, e.Error()) << GetParam().text;
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, TimeConversionTest,
                         testing::Values(TimeCase{"2013-05-10T12:34:56Z", "2013-05-10T12:34:56Z", S_OK},
                                         TimeCase{" 2013-05-10T12:34:56.789Z ", "2013-05-10T12:34:56Z", S_OK},
                                         TimeCase{"2013-05-10T12:34:56+02:00", "2013-05-10T10:34:56Z", S_OK},
                                         TimeCase{"2002-08-15T00:00:00.0000000-07:00", "2002-08-15T07:00:00Z", S_OK},
                                         TimeCase{"2013-05-10T00:10:00+0130", "2013-05-09T22:40:00Z", S_OK},
                                         TimeCase{"2013-12-31T23:30:00-01", "2014-01-01T00:30:00Z", S_OK},
                                         TimeCase{"2013-05-10T12:34:56", "2013-05-10T12:34:56Z", S_OK},
                                         TimeCase{"2013-05-10 12:34Z", "2013-05-10T12:34:00Z", S_OK},
                                         TimeCase{"1970-01-01T00:00:00Z", "1970-01-01T00:00:00Z", S_OK},
                                         TimeCase{"2000-02-29T23:59:59Z", "2000-02-29T23:59:59Z", S_OK},
                                         TimeCase{"1234-05-07T10:05:00Z", nullptr, kSkipped},
                                         TimeCase{"1899-12-31T00:00:00Z", nullptr, kSkipped},
                                         TimeCase{"1969-12-31T23:59:59Z", nullptr, kSkipped},
                                         TimeCase{"1970-01-01T00:30:00+01:00", nullptr, kSkipped},
                                         TimeCase{"2013-13-01T00:00:00Z", nullptr, E_FAIL},
                                         TimeCase{"2013-05-10T24:00:00Z", nullptr, E_FAIL},
                                         TimeCase{"2013-05-10T12:34:56+25:00", nullptr, E_FAIL},
                                         TimeCase{"2013-05-10T", nullptr, E_FAIL},
                                         TimeCase{"yesterday", nullptr, E_FAIL},
                                         TimeCase{"2013-02-30T00:00:00Z", nullptr, E_INVALIDARG}));

TEST(GPXFilesDecoder, WordsAndNumbersOfPoints)
{
    const Decoded decoded = DecodeText(GpxDocument(
        "<wpt><fix>3d</fix><sat>7</sat><ele>not a number</ele><dgpsid>-3</dgpsid></wpt>"
        "<wpt lat=\"1\" lon=\"2\" unknown=\"x\"><fix>3D</fix><sat>-1</sat><foo><name>in foo</name></foo>"
        "<desc><![CDATA[<b>bold</b> & more]]></desc></wpt>"));
    ASSERT_EQ(0, decoded.hr);
    ASSERT_EQ(2u, decoded.root->wpt.size());
    const GPXWayPoint& a = *decoded.root->wpt[0];
    EXPECT_EQ(0, a.lat) << "a point without lat and lon stays in the tree";
    EXPECT_EQ(GPXFix3D, a.fix);
    ASSERT_NE(nullptr, a.sat);
    EXPECT_EQ(7u, *a.sat);
    EXPECT_EQ(nullptr, a.ele) << "text that is not a number gives no value";
    ASSERT_NE(nullptr, a.dgpsid);
    EXPECT_EQ(-3, *a.dgpsid);
    const GPXWayPoint& b = *decoded.root->wpt[1];
    EXPECT_EQ(GPXFixNone, b.fix);
    EXPECT_EQ(nullptr, b.sat) << "no wrap-around of a negative count";
    EXPECT_EQ(L"in foo", b.name) << "children of unknown elements are read as the point's";
    EXPECT_EQ(L"<b>bold</b> & more", b.desc);
}

TEST(GPXFilesDecoder, GarminWordsAndAddressLines)
{
    const Decoded decoded = DecodeText(GpxDocument(
        "<wpt lat=\"1\" lon=\"2\"><extensions><gpxx:WaypointExtension><gpxx:Address>"
        "<gpxx:StreetAddress>1</gpxx:StreetAddress><gpxx:StreetAddress>2</gpxx:StreetAddress>"
        "<gpxx:StreetAddress>3</gpxx:StreetAddress></gpxx:Address></gpxx:WaypointExtension></extensions></wpt>"
        "<rte><extensions><gpxx:RouteExtension><gpxx:IsAutoNamed>TRUE</gpxx:IsAutoNamed></gpxx:RouteExtension></extensions></rte>"
        "<trk><extensions><gpxx:TrackExtension><gpxx:DisplayColor>red</gpxx:DisplayColor></gpxx:TrackExtension></extensions>"
        "<trkseg><trkpt lat=\"5\" lon=\"6\"><extensions>\n  </extensions></trkpt>"
        "<trkpt lat=\"7\" lon=\"8\"/></trkseg></trk>"));
    ASSERT_EQ(0, decoded.hr);
    auto* w = dynamic_cast<GPXGARWaypointExtension*>(decoded.root->wpt[0]->extensions);
    ASSERT_TRUE(w && w->Address);
    EXPECT_EQ(L"1", w->Address->StreetAddress1);
    EXPECT_EQ(L"3", w->Address->StreetAddress2) << "a third street line replaces the second";
    auto* r = dynamic_cast<GPXGARRouteExtension*>(decoded.root->rte[0]->extensions);
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(1, r->IsAutoNamed);
    auto* t = dynamic_cast<GPXGARTrackExtension*>(decoded.root->trk[0]->extensions);
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(GPXGARColorNotSet, t->DisplayColor) << "words are case-sensitive";
    const auto& points = decoded.root->trk[0]->trkseg[0]->trkpt;
    ASSERT_EQ(2u, points.size()) << "an extensions element without a child must not take the next point";
    EXPECT_EQ(nullptr, points[0]->garminExtension);
    EXPECT_EQ(7, points[1]->lat);
}

struct FailureCase {
    const char* name;
    std::string xml;
    long hr;
};

// Parameters are shown by name (their padding bytes are not values).
void PrintTo(const FailureCase& c, std::ostream* out)
{
    *out << c.name;
}

class DecoderFailureTest : public testing::TestWithParam<FailureCase> {};

TEST_P(DecoderFailureTest, GivesNoTree)
{
    const Decoded decoded = DecodeText(GetParam().xml);
    EXPECT_EQ(GetParam().hr, decoded.hr);
    EXPECT_EQ(nullptr, decoded.root);
}

INSTANTIATE_TEST_SUITE_P(
    Files, DecoderFailureTest,
    testing::Values(FailureCase{"CutInsideATrackSegment",
                                CutAfter(GpxDocument("<trk><trkseg><trkpt lat=\"1\" lon=\"2\"></trkpt></trkseg></trk>"), "</trkpt>"), 1},
                    FailureCase{"NotGpx", "<?xml version=\"1.0\"?><kml><Document/></kml>", VELLOC_E_NOTGPX},
                    FailureCase{"Doctype", "<!DOCTYPE gpx [<!ENTITY e 'x'>]><gpx><wpt lat='1' lon='2'><name>&e;</name></wpt></gpx>",
                                static_cast<long>(static_cast<int32_t>(0xC00CEE3Du))},
                    FailureCase{"Malformed", GpxDocument("<wpt lat=\"1\" lon=\"2\"><name>x</nam></wpt>"),
                                static_cast<long>(static_cast<int32_t>(0xC00CEE01u))}),
    [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST(GPXFilesDecoder, CutOffFileNamesTheCause)
{
    TempFile file("cut.gpx", CutAfter(GpxDocument("<trk><trkseg><trkpt lat=\"1\" lon=\"2\"></trkpt></trkseg></trk>"), "</trkpt>"));
    CGPXFilesDecoder decoder(file.WidePath());
    ASSERT_EQ(0, decoder.Initialize());
    GPXRoot* root = nullptr;
    EXPECT_EQ(1, decoder.ReadGPXRoot(&root));
    EXPECT_EQ(nullptr, root);
    EXPECT_EQ(L"the file ends before the GPX document is closed", decoder.GetErrorText());
}

TEST(GPXFilesDecoder, ReadingBeforeInitializeThrows)
{
    CGPXFilesDecoder decoder(L"/nonexistent.gpx");
    EXPECT_LT(decoder.Initialize(), 0);
    GPXRoot* root = nullptr;
    try {
        decoder.ReadGPXRoot(&root);
        FAIL() << "no exception";
    } catch (const CUnInitializedException& e) {
        EXPECT_EQ(L"The decoder is not initialized", e.GetMessageW());
    }
}

}  // namespace
