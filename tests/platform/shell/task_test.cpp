// Tasks on a manual clock: catch-up, the backlog cap, removal and deletion during a pass, clocks.
#include "platform/shell/task.h"

#include "sys/clock.h"

#include <gtest/gtest.h>

#include <functional>

namespace
{

class ManualTime : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sys::SetManualClock(true, 50000);
        StartPlatformTime();
    }
    void TearDown() override
    {
        SetHostPauseTimeFunction(nullptr);
        sys::SetManualClock(false);
    }
    static void Advance(uint32_t ms) { sys::AdvanceManualClock(ms); }
};

class CountingTask : public TAnimTask
{
public:
    explicit CountingTask(int* deaths = nullptr, TClock* clock = nullptr)
        : TAnimTask(clock), mDeaths(deaths)
    {
    }
    ~CountingTask() override
    {
        if (mDeaths != nullptr)
            ++*mDeaths;
    }
    bool Animate() override
    {
        ++mRuns;
        return mOnAnimate ? mOnAnimate() : true;
    }
    int mRuns = 0;
    int* mDeaths;
    std::function<bool()> mOnAnimate;
};

class PlainTask : public TTask
{
public:
    PlainTask(int* deaths, std::function<bool()> body) : mDeaths(deaths), mBody(std::move(body)) {}
    ~PlainTask() override { ++*mDeaths; }
    bool Run() override
    {
        ++mRuns;
        return mBody();
    }
    int mRuns = 0;
    int* mDeaths;
    std::function<bool()> mBody;
};

uint32_t gHostPause = 0;
uint32_t HostPause()
{
    return gHostPause;
}

} // namespace

TEST_F(ManualTime, PlatformTimeCountsFromStartLessHostPause)
{
    EXPECT_EQ(GetPlatformTime(), 0u);
    Advance(250);
    EXPECT_EQ(GetPlatformTime(), 250u);
    gHostPause = 100;
    SetHostPauseTimeFunction(&HostPause);
    EXPECT_EQ(GetPlatformTime(), 150u);
}

TEST_F(ManualTime, NewTaskIsDueAtOnceAndDelayedTaskWaits)
{
    CountingTask task;
    EXPECT_TRUE(task.Ready(kTaskPassTime));
    EXPECT_FALSE(task.Ready(kTaskPassDraw));
    task.SetTiming(500, false, true, false);
    EXPECT_FALSE(task.Ready(kTaskPassTime));
    Advance(499);
    EXPECT_FALSE(task.Ready(kTaskPassTime));
    Advance(1);
    EXPECT_TRUE(task.Ready(kTaskPassTime));
    EXPECT_TRUE(task.Run());
    // With no period the task stays due in every later pass.
    EXPECT_TRUE(task.Ready(kTaskPassTime));
    Advance(10);
    EXPECT_TRUE(task.Ready(kTaskPassTime));
}

TEST_F(ManualTime, CatchUpRunsOncePerMissedPeriod)
{
    CountingTask task;
    task.SetTiming(100, true, false, true);
    Advance(100 + 900);
    EXPECT_TRUE(task.Run());
    EXPECT_EQ(task.mRuns, 9);
    EXPECT_EQ(task.GetTimePastDue(), 0u);
}

TEST_F(ManualTime, BacklogOverOneSecondIsDroppedNotCaughtUp)
{
    CountingTask task;
    task.SetTiming(100, true, false, true);
    Advance(100 + 1500);
    EXPECT_TRUE(task.Run());
    EXPECT_EQ(task.mRuns, 1);
    // Re-based to now, plus the period.
    EXPECT_EQ(task.GetNextDue(), GetPlatformTime() + 100);
}

TEST_F(ManualTime, BacklogOfExactlyOneSecondIsKept)
{
    CountingTask task;
    task.SetTiming(100, true, false, true);
    Advance(100 + 1000);
    task.Run();
    EXPECT_EQ(task.mRuns, 10);
}

TEST_F(ManualTime, WithoutCatchUpALateTaskRunsOnce)
{
    CountingTask task;
    task.SetTiming(100, true, false, false);
    Advance(100 + 700);
    task.Run();
    EXPECT_EQ(task.mRuns, 1);
    EXPECT_TRUE(task.Ready(kTaskPassTime));
}

TEST_F(ManualTime, SuspendedTaskIsNeverReadyUntilRetimed)
{
    CountingTask task;
    task.SetRunOnDraw(true);
    task.Suspend();
    EXPECT_FALSE(task.Ready(kTaskPassTime));
    EXPECT_FALSE(task.Ready(kTaskPassDraw));
    EXPECT_EQ(task.GetTimePastDue(), 0xFFFFFFFFu);
    // Counted from now even though fromNow is false.
    task.SetTiming(30, false, false, false);
    EXPECT_FALSE(task.Ready(kTaskPassTime));
    Advance(30);
    EXPECT_TRUE(task.Ready(kTaskPassTime));
}

TEST_F(ManualTime, SetClockKeepsTheDistanceToTheDueTime)
{
    TClock clock;
    CountingTask task;
    task.SetTiming(300, false, true, false);
    Advance(100);
    uint32_t before = task.GetTimePastDue();
    task.SetClock(&clock);
    EXPECT_EQ(task.GetTimePastDue(), before);
    Advance(1000);
    // The paused clock does not move, so neither does the task.
    EXPECT_EQ(task.GetTimePastDue(), before);
    task.Suspend();
    task.SetClock(nullptr);
    EXPECT_TRUE(task.IsSuspended());
}

TEST_F(ManualTime, ClockPausesAndResumesFromTheFrozenReading)
{
    TClock clock;
    EXPECT_EQ(clock.GetTime(), 0u);
    Advance(500);
    clock.Start();
    EXPECT_TRUE(clock.IsStarted());
    Advance(200);
    EXPECT_EQ(clock.GetTime(), 200u);
    EXPECT_FALSE(clock.Pause());
    EXPECT_TRUE(clock.Pause());
    Advance(1000);
    EXPECT_EQ(clock.GetTime(), 200u);
    clock.Start();
    EXPECT_EQ(clock.GetTime(), 200u);
    Advance(50);
    EXPECT_EQ(clock.GetTime(), 250u);
    clock.SetTime(1000);
    Advance(5);
    EXPECT_EQ(clock.GetTime(), 1005u);
    clock.Reset();
    EXPECT_TRUE(clock.IsPaused());
    Advance(5);
    EXPECT_EQ(clock.GetTime(), 0u);
    clock.Start();
    Advance(7);
    EXPECT_EQ(clock.GetTime(), 7u);
}

TEST_F(ManualTime, TaskOnClockWaitsWhileTheClockIsPaused)
{
    TClock clock;
    clock.Start();
    CountingTask task(nullptr, &clock);
    task.SetTiming(100, false, true, false);
    clock.Pause();
    Advance(500);
    EXPECT_FALSE(task.Ready(kTaskPassTime));
    clock.Start();
    Advance(100);
    EXPECT_TRUE(task.Ready(kTaskPassTime));
}

TEST(TaskList, RunsReadyTasksInOrderAndDeletesFinishedOnesOnce)
{
    int deaths = 0;
    std::vector<int> order;
    TTaskList list;
    list.Add(new PlainTask(&deaths,
                           [&]
                           {
                               order.push_back(1);
                               return true;
                           }));
    list.Add(new PlainTask(&deaths,
                           [&]
                           {
                               order.push_back(2);
                               return false;
                           }));
    list.Run(kTaskPassTime);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(deaths, 1);
    EXPECT_EQ(list.GetCount(), 1u);
    list.Run(kTaskPassTime);
    EXPECT_EQ(deaths, 1);
}

TEST(TaskList, TaskRemovingItselfIsNotRunAgainNorDeleted)
{
    int deaths = 0;
    TTaskList list;
    PlainTask* self = nullptr;
    self = new PlainTask(&deaths,
                         [&]
                         {
                             EXPECT_TRUE(list.Remove(self));
                             return true;
                         });
    list.Add(self);
    list.Run(kTaskPassTime);
    EXPECT_EQ(self->mRuns, 1);
    EXPECT_FALSE(list.Contains(self));
    EXPECT_FALSE(list.Remove(self));
    list.Run(kTaskPassTime);
    EXPECT_EQ(self->mRuns, 1);
    EXPECT_EQ(deaths, 0);
    delete self;
}

TEST(TaskList, TaskRemovedByAnEarlierTaskIsSkippedInThatPass)
{
    int deaths = 0;
    TTaskList list;
    auto* second = new PlainTask(&deaths, [] { return true; });
    list.Add(new PlainTask(&deaths, [&] { return list.Remove(second); }));
    list.Add(second);
    list.Run(kTaskPassTime);
    EXPECT_EQ(second->mRuns, 0);
    EXPECT_EQ(list.GetCount(), 1u);
    EXPECT_EQ(deaths, 0);
    delete second;
}

TEST(TaskList, TaskAddedDuringAPassRunsInThatPass)
{
    int deaths = 0;
    TTaskList list;
    auto* late = new PlainTask(&deaths, [] { return true; });
    bool added = false;
    list.Add(new PlainTask(&deaths,
                           [&]
                           {
                               if (!added)
                                   list.Add(late);
                               added = true;
                               return true;
                           }));
    list.Run(kTaskPassTime);
    EXPECT_EQ(late->mRuns, 1);
}

TEST(TaskList, DeleteAllDuringAPassDeletesEachTaskExactlyOnce)
{
    int deaths = 0;
    TTaskList list;
    bool afterRan = false;
    list.Add(new PlainTask(&deaths,
                           [&]
                           {
                               list.DeleteAll();
                               list.DeleteAll();
                               return false;
                           }));
    list.Add(new PlainTask(&deaths,
                           [&]
                           {
                               afterRan = true;
                               return true;
                           }));
    list.Run(kTaskPassTime);
    EXPECT_FALSE(afterRan);
    EXPECT_EQ(deaths, 2);
    EXPECT_EQ(list.GetCount(), 0u);
}

TEST(TaskList, DeleteAllDuringAPassSparesATaskAlreadyTakenOut)
{
    int deaths = 0;
    TTaskList list;
    auto* kept = new PlainTask(&deaths, [] { return true; });
    list.Add(new PlainTask(&deaths,
                           [&]
                           {
                               list.Remove(kept);
                               list.DeleteAll();
                               return true;
                           }));
    list.Add(kept);
    list.Run(kTaskPassTime);
    EXPECT_EQ(deaths, 1);
    EXPECT_EQ(list.GetCount(), 0u);
    delete kept;
}

TEST(TaskList, TaskThatRemovesItselfAndFinishesIsDeletedOnce)
{
    int deaths = 0;
    TTaskList list;
    PlainTask* self = nullptr;
    self = new PlainTask(&deaths,
                         [&]
                         {
                             list.Remove(self);
                             return false;
                         });
    list.Add(self);
    list.Run(kTaskPassTime);
    EXPECT_EQ(deaths, 1);
    EXPECT_EQ(list.GetCount(), 0u);
}

TEST(TaskList, DrawPassRunsOnlyRunOnDrawTasks)
{
    sys::SetManualClock(true, 0);
    TTaskList list;
    auto* drawn = new CountingTask();
    drawn->SetRunOnDraw(true);
    auto* timed = new CountingTask();
    list.Add(drawn);
    list.Add(timed);
    list.Run(kTaskPassDraw);
    EXPECT_EQ(drawn->mRuns, 1);
    EXPECT_EQ(timed->mRuns, 0);
    sys::SetManualClock(false);
}

TEST(TaskList, DestructorDeletesRemainingTasks)
{
    int deaths = 0;
    {
        TTaskList list;
        list.Add(new PlainTask(&deaths, [] { return true; }));
        list.Add(new PlainTask(&deaths, [] { return true; }));
    }
    EXPECT_EQ(deaths, 2);
}
