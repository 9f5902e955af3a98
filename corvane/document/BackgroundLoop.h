// A long loop over pictures whose slow part (a request, a file written or
// read) runs on a worker thread while the window's thread goes on turning its
// event loop. Each step is made of three calls: Prepare on the window's
// thread takes what the step needs from the document, Work on the worker
// does the slow part and never touches the document, Apply on the window's
// thread gives the document what Work found. One step runs at a time, so a
// step's Prepare, Work and Apply see each other's data without locks.
#pragma once

#include <atomic>

class IBackgroundLoop {
public:
    virtual ~IBackgroundLoop() = default;
    // The window's thread: gets step `index` ready; it may move `index`
    // forward (past steps with nothing to do, or to the end to stop). False
    // when the step has nothing for the worker (Work and Apply are skipped).
    virtual bool Prepare(int& index) = 0;
    // The worker: the slow part. `cancelled` becomes true when the user
    // cancels; long waits look at it and end early.
    virtual void Work(const std::atomic_bool& cancelled) = 0;
    // The window's thread: what Work found goes into the document. Runs
    // after every Work, also when the run was cancelled during it.
    virtual void Apply() = 0;
    // The worker, once after the last step: releases what the worker opened
    // (its database connections belong to it).
    virtual void WorkerDone() {}
};

// Runs every step on the calling thread (the command line, the tests);
// `progress` is told after each step, and `stop` asked before each.
template <typename Progress, typename Stop>
void RunBackgroundLoopHere(int count, IBackgroundLoop& loop, Progress progress, Stop stop)
{
    std::atomic_bool cancelled{false};
    for (int index = 0; index < count; ++index) {
        if (stop()) break;
        if (loop.Prepare(index)) {
            loop.Work(cancelled);
            loop.Apply();
        }
        progress(index + 1 < count ? index + 1 : count, count);
    }
    loop.WorkerDone();
}
