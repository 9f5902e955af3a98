#include "TaskIteration.h"

#include <algorithm>

CTaskIteration::CTaskIteration(int count, std::function<HRESULT(int& index)> step)
    : step_(std::move(step)), finished_(count <= 0 || !step_), count_(count)
{
}

HRESULT CTaskIteration::OnTimer()
{
    if (finished_) return E_ABORT;
    const HRESULT hr = step_(index_);
    ++index_;
    position_ = std::min(std::max(index_, 0), count_);
    if (index_ >= count_) finished_ = true;
    return hr;
}

void CSynchronousStepRunner::Run(const std::wstring&, int count, const std::function<HRESULT(int& index)>& step)
{
    CTaskIteration iteration(count, step);
    while (!iteration.Finished()) {
        iteration.OnTimer();
        if (progress_) progress_(iteration.Position(), iteration.Count());
    }
}

void CSynchronousStepRunner::RunInBackground(const std::wstring&, int count, IBackgroundLoop& loop)
{
    RunBackgroundLoopHere(
        count, loop, [this](int position, int total) { if (progress_) progress_(position, total); },
        [] { return false; });
}
