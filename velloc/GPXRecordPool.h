// Storage of the model's numerous records (points and their extension
// records): blocks of one size carved from 2 MiB regions, whose pages are put
// in place a stretch at a time just ahead of the blocks handed out. A long
// track is hundreds of megabytes of such records; from the ordinary heap,
// faulting them in a page at a time cost more than parsing them. (Huge pages
// were tried: where the system has to find and clear 2 MiB of memory for
// each, as on virtual machines whose host takes back free memory, they cost
// twice as much again, and unevenly.) Whoever links the library gets this,
// with no setting.
//
// Blocks are handed out and taken back through the records' own operator
// new and delete, so `new GPXTrackPoint` and deleting a tree work as
// before. A region whose blocks are all free goes back to the system.
// Thread-safe. Under valgrind, and in builds with the address sanitizer,
// records come from the ordinary heap so that leaks and use after free are
// found as for any other allocation.
#pragma once

#include <cstddef>

namespace GPXRecordPool {

// Sizes above this go to the ordinary heap.
constexpr std::size_t kLargestBlock = 512;

void* Allocate(std::size_t size);
void Free(void* block, std::size_t size) noexcept;

}  // namespace GPXRecordPool
