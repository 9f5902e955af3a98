// The offline places index the build made: lookups checked against every
// place of the file by brute force, name search, and the refusal of damaged
// copies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>

#include "OfflinePlaces.h"
#include "StringUtil.h"

namespace {

// Read once: every damaged copy starts from these bytes.
const std::vector<char>& IndexBytes()
{
    static const std::vector<char> bytes = [] {
        std::ifstream in(CORVANE_PLACES_INDEX, std::ios::binary);
        return std::vector<char>(std::istreambuf_iterator<char>(in), {});
    }();
    return bytes;
}


class OfflinePlacesTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        index = new COfflinePlaces;
        if (index->Load(CORVANE_PLACES_INDEX)) return;
        // The oracle's view of the places: unit vectors, nearest = largest dot product.
        for (std::size_t i = 0; i < index->Count(); ++i) {
            const COfflinePlace p = index->At(i);
            points.push_back(Unit(p.lat, p.lng));
        }
    }
    static void TearDownTestSuite()
    {
        delete index;
        index = nullptr;
        points.clear();
    }
    void SetUp() override { ASSERT_TRUE(index->IsLoaded()) << "the offline places index was not built (" CORVANE_PLACES_INDEX "): the build fetches its data from the npm registry; build again with the registry reachable"; }

    struct Vec {
        double x, y, z;
    };
    static Vec Unit(double lat, double lng)
    {
        const double f = 3.14159265358979323846 / 180;
        return {std::cos(lat * f) * std::cos(lng * f), std::cos(lat * f) * std::sin(lng * f), std::sin(lat * f)};
    }
    // Brute force over every place: the distance of the nearest.
    static double OracleNearestKm(double lat, double lng)
    {
        const Vec q = Unit(lat, lng);
        double best = -2;
        std::size_t found = 0;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const double dot = q.x * points[i].x + q.y * points[i].y + q.z * points[i].z;
            if (dot > best) {
                best = dot;
                found = i;
            }
        }
        const COfflinePlace p = index->At(found);
        return COfflinePlaces::DistanceKm(lat, lng, p.lat, p.lng);
    }
    // The index's answer agrees with the oracle's within `maxKm`.
    static void ExpectAgrees(double lat, double lng, double maxKm)
    {
        const double oracle = OracleNearestKm(lat, lng);
        COfflinePlace place;
        const bool found = index->FindNearest(lat, lng, maxKm, place);
        SCOPED_TRACE(testing::Message() << "at " << lat << ", " << lng << " within " << maxKm << " km");
        if (oracle > maxKm + 1e-6) {
            EXPECT_FALSE(found) << WideToUtf8(place.name) << " at " << place.distanceKm;
            return;
        }
        ASSERT_TRUE(found) << "nearest lies " << oracle << " km away";
        EXPECT_NEAR(oracle, place.distanceKm, 1e-6) << WideToUtf8(place.name);
        EXPECT_NEAR(place.distanceKm, COfflinePlaces::DistanceKm(lat, lng, place.lat, place.lng), 1e-9);
    }

    static COfflinePlaces* index;
    static std::vector<Vec> points;
};

COfflinePlaces* OfflinePlacesTest::index = nullptr;
std::vector<OfflinePlacesTest::Vec> OfflinePlacesTest::points;

TEST_F(OfflinePlacesTest, HoldsThePopulatedPlaces)
{
    EXPECT_GT(index->Count(), 130000u);
    EXPECT_NEAR(343.9, COfflinePlaces::DistanceKm(48.8566, 2.3522, 51.5074, -0.1278), 0.5);  // Paris - London
}

TEST_F(OfflinePlacesTest, NearestAgreesWithBruteForceAroundAThousandPlaces)
{
    std::mt19937 random(20261207);
    std::uniform_int_distribution<std::size_t> pick(0, index->Count() - 1);
    std::uniform_real_distribution<double> offset(-0.12, 0.12);  // up to about 13 km away
    for (int i = 0; i < 1000; ++i) {
        const COfflinePlace p = index->At(pick(random));
        const double lat = std::clamp(p.lat + offset(random), -90.0, 90.0);
        double lng = p.lng + offset(random) / std::max(0.05, std::cos(lat * 3.14159265358979323846 / 180));
        if (lng > 180) lng -= 360;
        if (lng < -180) lng += 360;
        ExpectAgrees(lat, lng, 10);
        if (HasFatalFailure()) return;
    }
}

TEST_F(OfflinePlacesTest, NearestAcrossTheAntimeridianAndOverThePoles)
{
    for (double lat : {-45.0, -17.0, -16.8, 0.0, 52.0, 65.0, 66.5})
        for (double lng : {-180.0, -179.99, -179.5, 179.5, 179.99, 180.0})
            for (double maxKm : {10.0, 150.0, 600.0}) ExpectAgrees(lat, lng, maxKm);
    for (double lat : {90.0, 89.999, 85.0, -85.0, -89.999, -90.0})
        for (double lng : {-180.0, -90.0, 0.0, 45.0, 180.0})
            for (double maxKm : {100.0, 1500.0, 4000.0}) ExpectAgrees(lat, lng, maxKm);
}

TEST_F(OfflinePlacesTest, APointAtSeaHasNoPlaceWithinTenKilometres)
{
    const double lat = 0, lng = -30;  // the middle of the Atlantic
    ASSERT_GT(OracleNearestKm(lat, lng), 10);
    COfflinePlace place;
    EXPECT_FALSE(index->FindNearest(lat, lng, 10, place));
    EXPECT_FALSE(index->FindNearest(91, 0, 10, place));
    EXPECT_FALSE(index->FindNearest(NAN, 0, 10, place));
}

TEST_F(OfflinePlacesTest, ANearbyPlaceCarriesItsDivisionAndCountry)
{
    COfflinePlace place;
    ASSERT_TRUE(index->FindNearest(48.8235, 2.2105, 10, place));  // in Sèvres
    EXPECT_EQ(L"Sèvres", place.name);
    EXPECT_EQ(L"Île-de-France", place.division);
    EXPECT_EQ(L"FR", place.countryCode);
    EXPECT_LT(place.distanceKm, 1);
}

struct NameCase {
    const char* key;
    const wchar_t* first;
    const wchar_t* country;
};

class NameSearchTest : public OfflinePlacesTest, public testing::WithParamInterface<NameCase> {};

TEST_P(NameSearchTest, FindsTheBiggestPlaceOfTheName)
{
    const auto places = index->FindByName(GetParam().key, 5);
    ASSERT_FALSE(places.empty());
    EXPECT_EQ(GetParam().first, places[0].name);
    EXPECT_EQ(GetParam().country, places[0].countryCode);
    EXPECT_LE(places.size(), 5u);
}

INSTANTIATE_TEST_SUITE_P(Names, NameSearchTest,
                         testing::Values(NameCase{"paris", L"Paris", L"FR"}, NameCase{"sevres", L"Sèvres", L"FR"},
                                         NameCase{"lodz", L"Łódź", L"PL"}, NameCase{"sao paulo", L"São Paulo", L"BR"},
                                         NameCase{"zurich", L"Zürich", L"CH"}, NameCase{"koln", L"Köln", L"DE"}));

TEST_F(OfflinePlacesTest, ExactNamesComeBeforeLongerOnes)
{
    const auto places = index->FindByName("rome", 3);
    ASSERT_FALSE(places.empty());
    EXPECT_EQ(L"Rome", places[0].name);  // before the bigger Romeo..., Romena...
    EXPECT_TRUE(index->FindByName("zzzzzz", 5).empty());
    EXPECT_TRUE(index->FindByName("", 5).empty());
}

// --- damaged copies ------------------------------------------------------

// CRC-32 as zlib computes it (polynomial 0xEDB88320).
std::uint32_t Crc32(const char* data, std::size_t size)
{
    static const std::vector<std::uint32_t> table = [] {
        std::vector<std::uint32_t> t(256);
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ static_cast<unsigned char>(data[i])) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::uint32_t U32(const std::vector<char>& b, std::size_t at)
{
    std::uint32_t v;
    std::memcpy(&v, &b[at], 4);
    return v;
}

void PutU32(std::vector<char>& b, std::size_t at, std::uint32_t v)
{
    std::memcpy(&b[at], &v, 4);
}

// A change behind a correct checksum: only the structure checks can catch it.
void Reseal(std::vector<char>& b)
{
    PutU32(b, 52, Crc32(b.data() + 64, b.size() - 64));
}

struct Damage {
    const char* name;
    std::function<void(std::vector<char>&)> apply;
};

void PrintTo(const Damage& d, std::ostream* out)
{
    *out << d.name;
}

class DamagedIndexTest : public testing::TestWithParam<Damage> {};

TEST_P(DamagedIndexTest, IsRefused)
{
    std::vector<char> bytes = IndexBytes();
    ASSERT_GT(bytes.size(), 1000u) << "the offline places index was not built (" CORVANE_PLACES_INDEX ")";
    GetParam().apply(bytes);
    COfflinePlaces damaged;
    const std::error_code error = damaged.LoadFromBytes(bytes);
    EXPECT_EQ(OstrelErrc::IndexDamaged, error);
    EXPECT_FALSE(damaged.IsLoaded());
    EXPECT_EQ(0u, damaged.Count());
    COfflinePlace place;
    EXPECT_FALSE(damaged.FindNearest(48.82, 2.21, 10, place));
    EXPECT_TRUE(damaged.FindByName("paris", 3).empty());
}

const std::size_t kPlaces = 64;  // where the first place record starts

INSTANTIATE_TEST_SUITE_P(
    DamagedIndex, DamagedIndexTest,
    testing::Values(
        Damage{"Empty", [](std::vector<char>& b) { b.clear(); }},
        Damage{"HeaderOnly", [](std::vector<char>& b) { b.resize(64); }},
        Damage{"CutShort", [](std::vector<char>& b) { b.pop_back(); }},
        Damage{"OtherMagic", [](std::vector<char>& b) { b[0] = 'X'; }},
        Damage{"OtherVersion", [](std::vector<char>& b) { PutU32(b, 8, 2); }},
        Damage{"CountTooLarge", [](std::vector<char>& b) { PutU32(b, 12, U32(b, 12) + 1); }},
        Damage{"CountHuge", [](std::vector<char>& b) { PutU32(b, 12, 0xFFFFFFF0u); }},
        Damage{"OffsetMoved", [](std::vector<char>& b) { PutU32(b, 36, U32(b, 36) + 4); }},
        Damage{"FlippedByte", [](std::vector<char>& b) { b[b.size() / 2] ^= 0x10; }},
        Damage{"NameOffsetOutside",
               [](std::vector<char>& b) {
                   PutU32(b, kPlaces + 8, U32(b, 24) - 1);
                   Reseal(b);
               }},
        Damage{"LatitudeOutOfItsBand",
               [](std::vector<char>& b) {
                   PutU32(b, kPlaces, 8999999);
                   Reseal(b);
               }},
        Damage{"DivisionUnknown",
               [](std::vector<char>& b) {
                   b[kPlaces + 20] = '\xFE';
                   b[kPlaces + 21] = '\xFF';
                   Reseal(b);
               }},
        Damage{"CountryNotLetters",
               [](std::vector<char>& b) {
                   b[kPlaces + 22] = '1';
                   Reseal(b);
               }},
        Damage{"BandsOutOfOrder",
               [](std::vector<char>& b) {
                   const std::size_t bands = U32(b, 32);
                   PutU32(b, bands + 4 * 900, U32(b, 12));
                   Reseal(b);
               }},
        Damage{"NameOrderRepeatsAPlace",
               [](std::vector<char>& b) {
                   const std::size_t order = U32(b, 36);
                   PutU32(b, order + 4, U32(b, order));
                   Reseal(b);
               }}),
    [](const testing::TestParamInfo<Damage>& info) { return std::string(info.param.name); });

TEST(DamagedIndex, TheUndamagedBytesLoad)
{
    COfflinePlaces whole;
    EXPECT_FALSE(whole.LoadFromBytes(IndexBytes()));
    std::vector<char> resealed = IndexBytes();
    Reseal(resealed);  // the checksum computed here is the file's
    EXPECT_TRUE(resealed == IndexBytes());
}

TEST(DamagedIndex, AMissingFileIsMissing)
{
    COfflinePlaces index;
    EXPECT_EQ(OstrelErrc::IndexMissing, index.Load("/nonexistent/places.bin"));
    EXPECT_EQ("the offline places index is missing", index.Load("/nonexistent/places.bin").message());
    EXPECT_EQ(OstrelErrc::IndexMissing, index.Load("/tmp"));  // a folder is no index
}

}  // namespace
