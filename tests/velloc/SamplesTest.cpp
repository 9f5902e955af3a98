// Every sample GPX file: decoded, written, validated against the schema,
// read back the same by us and by an independent reader.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <regex>

#include "GPXTestSupport.h"

namespace {

const std::string kSamples = CORVANE_SAMPLES "/gpx";

std::vector<std::string> SampleNames()
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(kSamples.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".gpx") == 0)
                names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    if (names.empty())
        names.push_back("(no samples)");
    return names;
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

std::size_t Count(const std::string& text, const std::string& pattern)
{
    const std::regex re(pattern);
    return static_cast<std::size_t>(std::distance(std::sregex_iterator(text.begin(), text.end(), re), std::sregex_iterator()));
}

// Waypoints, routes, route points, tracks, track points.
using Counts = std::array<std::size_t, 5>;

Counts TreeCounts(const GPXRoot& root)
{
    Counts c{root.wpt.size(), root.rte.size(), 0, root.trk.size(), 0};
    for (const GPXRoute* r : root.rte)
        c[2] += r->rtept.size();
    for (const GPXTrack* t : root.trk)
        for (const GPXTrackSegment* s : t->trkseg)
            c[4] += s->trkpt.size();
    return c;
}

class SampleTest : public testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        struct stat info;
        ASSERT_EQ(::stat(kSamples.c_str(), &info), 0) << kSamples << " is missing";
    }
    std::string Path() const { return kSamples + "/" + GetParam(); }
};

TEST_P(SampleTest, RoundTripValidatesAndReadsBackTheSame)
{
    const Decoded original = DecodeFile(Path());
    ASSERT_EQ(0, original.hr);
    ASSERT_TRUE(original.root);
    TempFile out("sample-" + GetParam());
    const Encoded encoded = EncodeFile(*original.root, out.Path(), true);
    ASSERT_EQ(0, encoded.finalize);

    int status = 0;
    const std::string schema = RunCommand("xmllint --noout --schema " CORVANE_SCHEMAS "/gpx-with-garmin.xsd " + out.Path() + " 2>&1", status);
    EXPECT_EQ(0, status) << schema;

    // decode -> encode -> decode gives the same tree: its encoding is the same.
    EXPECT_EQ(out.Read(), ReencodeText(out.Read(), true));

    const std::string babel = RunCommand("gpsbabel -i gpx -f " + out.Path() + " -o gpx -F - 2>&1", status);
    ASSERT_EQ(0, status) << babel;
    const Counts read{Count(babel, "<wpt "), Count(babel, "<rte>"), Count(babel, "<rtept "), Count(babel, "<trk>"),
                      Count(babel, "<trkpt ")};
    EXPECT_EQ(TreeCounts(*original.root), read);
}

TEST_P(SampleTest, CutOffCopyGivesNoTree)
{
    std::string text;
    {
        std::FILE* in = std::fopen(Path().c_str(), "rb");
        ASSERT_NE(nullptr, in);
        char chunk[4096];
        std::size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, in)) > 0)
            text.append(chunk, n);
        std::fclose(in);
    }
    // Cut right before the root's end tag: the input ends inside the root.
    const std::size_t cut = text.rfind("</gpx>");
    ASSERT_NE(std::string::npos, cut);
    TempFile cutOff("cut-" + GetParam(), text.substr(0, cut));
    const Decoded decoded = DecodeFile(cutOff.Path());
    EXPECT_EQ(nullptr, decoded.root);
    EXPECT_TRUE(decoded.hr == 1 || decoded.hr < 0) << decoded.hr;
}

INSTANTIATE_TEST_SUITE_P(Files, SampleTest, testing::ValuesIn(SampleNames()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

}  // namespace
