// One thread that runs the tasks posted to it, in order. Destroying it runs
// what is still queued and joins the thread, so nothing it was handed
// outlives the object that handed it. A task that throws does not end the
// program: the exception is dropped and the next task runs.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class CWorkerThread {
public:
    CWorkerThread();
    ~CWorkerThread();
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    void Post(std::function<void()> task);

private:
    void Loop();

    std::mutex lock_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> tasks_;
    bool stopping_ = false;
    std::thread thread_;  // last: started once the queue exists
};
