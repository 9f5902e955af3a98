// Steps a long loop: one step per call, a step may move the index forward,
// cancel stops the steps after the one in progress, and the progress
// position reaches the count when the last step has run.
#pragma once

#include <functional>

#include "DocumentInterfaces.h"
#include "HResult.h"

class CTaskIteration {
public:
    CTaskIteration(int count, std::function<HRESULT(int& index)> step);

    // Runs the next step; E_ABORT once finished (no step runs).
    HRESULT OnTimer();
    void Cancel() { finished_ = true; }

    bool Finished() const { return finished_; }
    int Count() const { return count_; }
    int Index() const { return index_; }
    // Where the progress bar stands: steps done, the count after the last one.
    int Position() const { return position_; }

private:
    std::function<HRESULT(int&)> step_;
    bool finished_ = false;
    int count_;
    int index_ = 0;
    int position_ = 0;
};

// Runs every step at once, for the command line; progress goes to a callback.
class CSynchronousStepRunner : public IStepRunner {
public:
    explicit CSynchronousStepRunner(std::function<void(int position, int count)> progress = nullptr)
        : progress_(std::move(progress))
    {
    }
    void Run(const std::wstring& content, int count, const std::function<HRESULT(int& index)>& step) override;
    void RunInBackground(const std::wstring& content, int count, IBackgroundLoop& loop) override;

private:
    std::function<void(int, int)> progress_;
};
