#include "UnfinishedFiles.h"

#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>

namespace {

enum SlotState { kFree, kFilling, kLive };

struct Slot {
    std::atomic<int> state{kFree};
    char path[PATH_MAX];
};

// Encoders at work at the same time in one process; few in practice.
Slot slots[16];

}  // namespace

int RegisterUnfinishedFile(const std::string& path)
{
    if (path.size() >= PATH_MAX) return -1;
    for (int i = 0; i < static_cast<int>(std::size(slots)); ++i) {
        int expected = kFree;
        if (!slots[i].state.compare_exchange_strong(expected, kFilling)) continue;
        std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
        slots[i].state.store(kLive);
        return i;
    }
    return -1;
}

void UnregisterUnfinishedFile(int slot)
{
    if (slot >= 0 && slot < static_cast<int>(std::size(slots))) slots[slot].state.store(kFree);
}

void RemoveUnfinishedFiles() noexcept
{
    for (Slot& slot : slots)
        if (slot.state.load() == kLive) ::unlink(slot.path);
}
