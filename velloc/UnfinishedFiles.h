// The temporary files of encoders that have not finished, kept where a
// signal handler can reach them: a program stopped by a signal in the
// middle of a long conversion removes them before it exits, instead of
// leaving hundreds of megabytes of half a file behind.
#pragma once

#include <string>

// Notes a temporary file; returns its slot, or -1 when every slot is taken
// (the file is then left to the next run's clean-up of stale ones).
int RegisterUnfinishedFile(const std::string& path);
// The file of `slot` was put in place or removed.
void UnregisterUnfinishedFile(int slot);
// Removes every registered file. Async-signal-safe: no allocation, no lock.
void RemoveUnfinishedFiles() noexcept;
