// Points and extension records live in the library's own storage: many of
// them, made and freed in any order and from several threads, each keep
// their values, and the storage serves records of any size a caller derives.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <random>
#include <thread>
#include <vector>

#include "GPXModel.h"

namespace {

// More than fit in one region of the storage, so that regions fill, empty
// and are given back along the way.
constexpr int kPoints = 12000;

// Makes points, frees a shuffled half, makes more, and checks every value.
bool ChurnPoints(unsigned seed)
{
    std::vector<GPXTrackPoint*> points;
    auto make = [&points](int i) {
        auto* point = new GPXTrackPoint();
        point->lat = i;
        point->ele = new double(i + 0.5);
        auto* extension = new GPXGARTrackPointExtension();
        extension->Depth = new double(-i);
        point->garminExtension = extension;
        points.push_back(point);
    };
    for (int i = 0; i < kPoints; ++i)
        make(i);
    std::shuffle(points.begin(), points.end(), std::mt19937(seed));
    for (std::size_t i = points.size() / 2; i < points.size(); ++i)
        delete static_cast<GPXWayPoint*>(points[i]);
    points.resize(points.size() / 2);
    for (int i = kPoints; i < kPoints + kPoints / 2; ++i)
        make(i);
    bool intact = true;
    for (GPXTrackPoint* point : points) {
        const auto* extension = static_cast<const GPXGARTrackPointExtension*>(point->garminExtension);
        intact = intact && point->ele && *point->ele == point->lat + 0.5 && extension->Depth &&
                 *extension->Depth == -point->lat;
        delete point;
    }
    return intact;
}

TEST(RecordStorage, PointsMadeAndFreedInAnyOrderKeepTheirValues)
{
    EXPECT_TRUE(ChurnPoints(1));
    // Once more, on storage the first round gave back or left behind.
    EXPECT_TRUE(ChurnPoints(2));
}

TEST(RecordStorage, ThreadsMakeAndFreePointsTogether)
{
    bool results[3] = {};
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < 3; ++t)
        threads.emplace_back([&results, t] { results[t] = ChurnPoints(10 + t); });
    for (std::thread& thread : threads)
        thread.join();
    for (bool intact : results)
        EXPECT_TRUE(intact);
}

// A caller's own record, larger than any the library makes.
class BulkyExtension : public GPXExtensions {
public:
    unsigned char payload[4096] = {};
};

TEST(RecordStorage, RecordsOfACallersOwnSizeAreServed)
{
    auto* point = new GPXWayPoint();
    auto* bulky = new BulkyExtension();
    std::fill(std::begin(bulky->payload), std::end(bulky->payload), 0xA5);
    point->extensions = bulky;
    EXPECT_EQ(0xA5, static_cast<BulkyExtension*>(point->extensions)->payload[4095]);
    delete point;
}

// Callers' records of sizes that fall between the library's, one of them
// aligned more than a pointer: each must come back aligned for its type.
struct OddExtension : GPXExtensions {
    char tail[3];
};
struct EvenExtension : GPXExtensions {
    double values[3];
};
struct WideExtension : GPXExtensions {
    alignas(16) long double wide;
};

template <typename T>
bool AllAligned()
{
    std::vector<T*> made;
    bool aligned = true;
    for (int i = 0; i < 1000; ++i) {
        made.push_back(new T());
        aligned = aligned && reinterpret_cast<std::uintptr_t>(made.back()) % alignof(T) == 0;
    }
    for (T* record : made)
        delete record;
    return aligned;
}

TEST(RecordStorage, EveryRecordIsAlignedForItsType)
{
    EXPECT_TRUE(AllAligned<OddExtension>());
    EXPECT_TRUE(AllAligned<EvenExtension>());
    EXPECT_TRUE(AllAligned<WideExtension>());
    EXPECT_TRUE(AllAligned<GPXGARTrackPointExtension>());
    EXPECT_TRUE(AllAligned<GPXTrackPoint>());
}

// Resident memory of this process, in bytes.
std::size_t ResidentBytes()
{
    std::ifstream statm("/proc/self/statm");
    std::size_t total = 0, resident = 0;
    statm >> total >> resident;
    return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

// A size no record of the library has, so its storage starts afresh.
struct LoneExtension : GPXExtensions {
    char text[328];
};

TEST(RecordStorage, AFewRecordsCostLittleMemory)
{
    // Pages are put in place ahead of the records, but only a stretch ahead:
    // a small document must not cost a whole region (2 MiB) per size.
    const std::size_t before = ResidentBytes();
    std::vector<LoneExtension*> made;
    for (int i = 0; i < 10; ++i)
        made.push_back(new LoneExtension());
    const std::size_t grown = ResidentBytes() - before;
    for (LoneExtension* record : made)
        delete record;
    ASSERT_GT(before, 0u);
    EXPECT_LT(grown, std::size_t{1} << 20);
}

}  // namespace
