#include "WorkerThread.h"

CWorkerThread::CWorkerThread() : thread_([this] { Loop(); }) {}

CWorkerThread::~CWorkerThread()
{
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
    }
    ready_.notify_all();
    thread_.join();
}

void CWorkerThread::Post(std::function<void()> task)
{
    {
        std::lock_guard<std::mutex> hold(lock_);
        tasks_.push_back(std::move(task));
    }
    ready_.notify_all();
}

void CWorkerThread::Loop()
{
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> hold(lock_);
            ready_.wait(hold, [this] { return stopping_ || !tasks_.empty(); });
            if (tasks_.empty()) return;  // stopping, and everything queued has run
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        try {
            task();
        } catch (...) {
            // A picture that makes a library throw is that picture's failure, not the program's end.
        }
    }
}
