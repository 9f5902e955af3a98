#include <gtest/gtest.h>

#include <filesystem>

#include "WorldMap.h"

using namespace WebMercator;

namespace {

// A square island from 10 W to 10 E and 10 S to 10 N with a lake in the
// middle, and one border line across it.
std::vector<WorldMapSourceLayer> Island()
{
    const int s = CWorldMap::Scale;
    WorldMapSourceLayer land;
    land.LayerKind = WorldMapLayer::Land;
    land.Rings = {{{-10 * s, -10 * s}, {10 * s, -10 * s}, {10 * s, 10 * s}, {-10 * s, 10 * s}},
                  {{-2 * s, -2 * s}, {2 * s, -2 * s}, {2 * s, 2 * s}, {-2 * s, 2 * s}}};
    WorldMapSourceLayer borders;
    borders.LayerKind = WorldMapLayer::Borders;
    borders.FirstZoom = 3;
    borders.Rings = {{{0, -10 * s}, {0, 10 * s}}};
    return {land, borders};
}

TEST(WorldMap, EncodedFileReadsBackWithLandLakeAndBorders)
{
    CWorldMap map;
    std::string error;
    ASSERT_TRUE(map.Parse(CWorldMap::Encode(Island()), &error)) << error;
    ASSERT_EQ(map.Layers().size(), 2u);
    EXPECT_EQ(map.Layers()[0].Rings.size(), 2u);
    EXPECT_NEAR(map.Layers()[0].Rings[0].Points[1].X, Project({-10, 10}).X, 1e-15);
    EXPECT_TRUE(map.IsLand({5, 5}));
    EXPECT_FALSE(map.IsLand({0.5, 0.5}));  // the lake
    EXPECT_FALSE(map.IsLand({20, 0}));     // the sea
    EXPECT_EQ(map.LayersAt(WorldMapLayer::Borders, 2).size(), 0u);
    EXPECT_EQ(map.LayersAt(WorldMapLayer::Borders, 3).size(), 1u);
}

struct Damage {
    const char* What;
    void (*Apply)(std::string& file);
    const char* Error;
};

// Rewrites the checksum so that the damage itself is what the reader meets.
void Reseal(std::string& file)
{
    std::uint32_t hash = 2166136261u;
    for (size_t i = 0; i + 4 < file.size(); ++i) {
        hash ^= static_cast<unsigned char>(file[i]);
        hash *= 16777619u;
    }
    for (int i = 0; i < 4; ++i) file[file.size() - 4 + static_cast<size_t>(i)] = static_cast<char>((hash >> (8 * i)) & 0xff);
}

const Damage kDamages[] = {
    {"empty", [](std::string& f) { f.clear(); }, "not a world map file"},
    {"another file's magic", [](std::string& f) { f[0] = 'X'; }, "not a world map file"},
    {"one flipped bit", [](std::string& f) { f[40] ^= 0x10; }, "the checksum does not match"},
    {"cut short", [](std::string& f) { f.resize(f.size() - 9); }, "the checksum does not match"},
    {"cut short and resealed", [](std::string& f) { f.resize(f.size() - 9); f.append(4, '\0'); Reseal(f); },
     "the file length does not match its layers"},
    {"newer version", [](std::string& f) { f[6] = 2; Reseal(f); }, "unknown version"},
    {"no layers", [](std::string& f) { f[8] = 0; Reseal(f); }, "bad layer count"},
    {"unknown layer kind", [](std::string& f) { f[12] = 9; Reseal(f); }, "a layer header is out of range"},
    {"a billion rings", [](std::string& f) { f[16] = 0; f[17] = 0; f[18] = 0; f[19] = 0x40; Reseal(f); },
     "a layer header is out of range"},
    {"points claimed that are not there", [](std::string& f) { f[20] = 9; Reseal(f); }, "a layer's rings do not fill it"},
    {"a point off the globe", [](std::string& f) {
         // The first point's longitude step of the first ring becomes 2^31-ish.
         const size_t ring = 12 + 2 * 16;
         f[ring + 1] = static_cast<char>(0xff); f[ring + 2] = static_cast<char>(0xff);
         f[ring + 3] = static_cast<char>(0xff); f[ring + 4] = static_cast<char>(0xff); f[ring + 5] = 0x0f;
         Reseal(f);
     }, nullptr},
};

class DamagedWorldMapTest : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedWorldMapTest, IsRefusedWhole)
{
    std::string file = CWorldMap::Encode(Island());
    GetParam().Apply(file);
    CWorldMap map;
    std::string error;
    EXPECT_FALSE(map.Parse(file, &error)) << GetParam().What;
    if (GetParam().Error) {
        EXPECT_EQ(error, GetParam().Error) << GetParam().What;
    }
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(map.Empty());
}

INSTANTIATE_TEST_SUITE_P(Damages, DamagedWorldMapTest, ::testing::ValuesIn(kDamages));

TEST(WorldMap, MissingFileIsReported)
{
    CWorldMap map;
    std::string error;
    EXPECT_FALSE(map.Load("/nonexistent/worldmap.cvm", &error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

// The file the build converted from Natural Earth.
TEST(WorldMap, TheConvertedWorldHasItsContinentsWhereTheyBelong)
{
    ASSERT_TRUE(std::filesystem::exists(CORVANE_WORLDMAP))
        << CORVANE_WORLDMAP << " is missing: the build could not fetch or convert the world map (data/worldmap)";
    CWorldMap map;
    std::string error;
    ASSERT_TRUE(map.Load(CORVANE_WORLDMAP, &error)) << error;
    const struct {
        const char* Place;
        double Latitude, Longitude;
        bool Land;
    } places[] = {
        {"Paris", 48.8566, 2.3522, true},         {"Nairobi", -1.2921, 36.8219, true},
        {"Denver", 39.7392, -104.9903, true},      {"Alice Springs", -23.698, 133.8807, true},
        {"Chukotka, east of 180", 66.5, -175.0, true}, {"Mid-Atlantic", 30.0, -40.0, false},
        {"Pacific", 0.0, -150.0, false},           {"Caspian Sea", 42.0, 50.5, false},
        {"Mediterranean", 35.0, 18.0, false},
    };
    for (const auto& p : places) EXPECT_EQ(map.IsLand({p.Latitude, p.Longitude}), p.Land) << p.Place;
    // Both levels of detail, land and borders each.
    for (const int zoom : {0, 6})
        for (const int kind : {WorldMapLayer::Land, WorldMapLayer::Borders})
            EXPECT_EQ(map.LayersAt(kind, zoom).size(), 1u) << zoom << " " << kind;
}

}  // namespace
