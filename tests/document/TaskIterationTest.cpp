#include <gtest/gtest.h>

#include "TaskIteration.h"

namespace {

TEST(TaskIteration, OneStepPerTickAndTheBarReachesTheEnd)
{
    std::vector<int> seen;
    CTaskIteration run(3, [&](int& index) {
        seen.push_back(index);
        return S_OK;
    });
    EXPECT_EQ(run.OnTimer(), S_OK);
    EXPECT_EQ(run.Position(), 1);
    run.OnTimer();
    run.OnTimer();
    EXPECT_TRUE(run.Finished());
    EXPECT_EQ(run.Position(), 3);
    EXPECT_EQ(run.OnTimer(), E_ABORT);  // no step after the last
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2}));
}

TEST(TaskIteration, StepsMayJumpAndCancelStopsTheRest)
{
    int calls = 0;
    CTaskIteration jump(10, [&](int& index) {
        ++calls;
        index += 4;  // skipped items
        return E_FAIL;  // failures do not stop the run
    });
    while (!jump.Finished()) jump.OnTimer();
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(jump.Position(), 10);

    calls = 0;
    CTaskIteration cancel(5, [&](int&) {
        ++calls;
        return S_OK;
    });
    cancel.OnTimer();
    cancel.Cancel();
    EXPECT_EQ(cancel.OnTimer(), E_ABORT);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(CTaskIteration(0, [](int&) { return S_OK; }).Finished());
}

}  // namespace
