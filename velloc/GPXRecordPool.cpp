#include "GPXRecordPool.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define GPX_POOL_BYPASSED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define GPX_POOL_BYPASSED 1
#endif
#endif

#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#else
#define RUNNING_ON_VALGRIND 0
#endif

namespace {

constexpr std::size_t kRegion = std::size_t{2} << 20;  // one huge page
// Block sizes step by 8 bytes. Blocks follow a 64-byte aligned head, so a
// block whose size is a multiple of 16 is 16-byte aligned; any other size
// belongs to a type aligned to 8 at most (a size is a multiple of its type's
// alignment), which an 8-byte aligned block serves.
constexpr std::size_t kGranule = 8;
constexpr std::size_t kClasses = GPXRecordPool::kLargestBlock / kGranule;

struct FreeBlock {
    FreeBlock* next;
};

// The head of each region; its blocks follow.
struct Region {
    Region* previous = nullptr;  // among the regions of its size with room
    Region* next = nullptr;
    bool listed = false;
    FreeBlock* freeBlocks = nullptr;
    std::size_t live = 0;
    std::size_t untouched = 0;  // offset of the first block never handed out
    std::size_t populated = 0;  // offset up to which pages are in place
};
constexpr std::size_t kFirstBlock = (sizeof(Region) + 63) / 64 * 64;

struct SizeClass {
    std::mutex lock;
    Region* withRoom = nullptr;
};

// Under valgrind every record comes from the ordinary heap, where memcheck
// tells a leaked record from one still reachable (blocks inside a mapped
// region would all look reachable from the region).
bool OrdinaryHeap()
{
    static const bool underValgrind = RUNNING_ON_VALGRIND != 0;
    return underValgrind;
}

// Constant-initialised and trivially destroyed: records freed by other
// libraries' static destructors still find their class.
SizeClass sizeClasses[kClasses];

Region* RegionOf(void* block)
{
    return reinterpret_cast<Region*>(reinterpret_cast<std::uintptr_t>(block) & ~(kRegion - 1));
}

void Link(SizeClass& sizeClass, Region* region)
{
    region->previous = nullptr;
    region->next = sizeClass.withRoom;
    if (region->next)
        region->next->previous = region;
    sizeClass.withRoom = region;
    region->listed = true;
}

void Unlink(SizeClass& sizeClass, Region* region)
{
    if (region->previous)
        region->previous->next = region->next;
    else
        sizeClass.withRoom = region->next;
    if (region->next)
        region->next->previous = region->previous;
    region->previous = region->next = nullptr;
    region->listed = false;
}

// A region on a 2 MiB boundary, so that a block finds its head by masking.
Region* NewRegion()
{
    void* mapped = ::mmap(nullptr, 2 * kRegion, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + kRegion - 1) & ~(kRegion - 1);
    if (aligned > start)
        ::munmap(mapped, aligned - start);
    const std::uintptr_t end = start + 2 * kRegion;
    if (end > aligned + kRegion)
        ::munmap(reinterpret_cast<void*>(aligned + kRegion), end - aligned - kRegion);
    // Small pages even where the system would back an aligned 2 MiB mapping
    // with a huge one by default: see the header.
    ::madvise(reinterpret_cast<void*>(aligned), kRegion, MADV_NOHUGEPAGE);
    auto* region = new (reinterpret_cast<void*>(aligned)) Region();
    region->untouched = kFirstBlock;
    return region;
}

// Puts the pages in place up to the next step past the blocks handed out:
// one call for a stretch of pages instead of a fault for each, and a small
// document's regions stay small. Only a hint: where the system cannot (an
// older kernel, memory short), pages come with the first write as before.
constexpr std::size_t kPopulateStep = std::size_t{256} << 10;
void Populate(Region* region)
{
    const std::size_t to = std::min(kRegion, (region->untouched + kPopulateStep - 1) / kPopulateStep * kPopulateStep);
#ifdef MADV_POPULATE_WRITE
    ::madvise(reinterpret_cast<char*>(region) + region->populated, to - region->populated, MADV_POPULATE_WRITE);
#endif
    region->populated = to;
}

bool Full(const Region* region, std::size_t blockSize)
{
    return !region->freeBlocks && region->untouched + blockSize > kRegion;
}

}  // namespace

namespace GPXRecordPool {

void* Allocate(std::size_t size)
{
#ifdef GPX_POOL_BYPASSED
    return ::operator new(size);
#else
    if (size == 0 || size > kLargestBlock || OrdinaryHeap())
        return ::operator new(size);
    const std::size_t index = (size - 1) / kGranule;
    const std::size_t blockSize = (index + 1) * kGranule;
    SizeClass& sizeClass = sizeClasses[index];
    void* block;
    {
        std::lock_guard<std::mutex> hold(sizeClass.lock);
        Region* region = sizeClass.withRoom;
        if (!region) {
            region = NewRegion();
            if (!region)
                throw std::bad_alloc();
            Link(sizeClass, region);
        }
        if (FreeBlock* free = region->freeBlocks) {
            region->freeBlocks = free->next;
            block = free;
        } else {
            block = reinterpret_cast<char*>(region) + region->untouched;
            region->untouched += blockSize;
            if (region->untouched > region->populated)
                Populate(region);
        }
        ++region->live;
        if (Full(region, blockSize))
            Unlink(sizeClass, region);
    }
    return block;
#endif
}

void Free(void* block, std::size_t size) noexcept
{
    if (!block)
        return;
#ifdef GPX_POOL_BYPASSED
    ::operator delete(block);
#else
    if (size == 0 || size > kLargestBlock || OrdinaryHeap()) {
        ::operator delete(block);
        return;
    }
    SizeClass& sizeClass = sizeClasses[(size - 1) / kGranule];
    Region* region = RegionOf(block);
    std::lock_guard<std::mutex> hold(sizeClass.lock);
    auto* free = static_cast<FreeBlock*>(block);
    free->next = region->freeBlocks;
    region->freeBlocks = free;
    --region->live;
    if (!region->listed)
        Link(sizeClass, region);
    // An empty region goes back unless it is the only one with room, which
    // spares a map and unmap per record when one is made and freed in turn.
    if (region->live == 0 && (sizeClass.withRoom != region || region->next)) {
        Unlink(sizeClass, region);
        ::munmap(region, kRegion);
    }
#endif
}

}  // namespace GPXRecordPool
