// Tasks, task lists, clocks and platform time.
#include "platform/shell/task.h"

#include "sys/clock.h"

#include <algorithm>

namespace
{
uint32_t gPlatformStart = 0;
THostPauseTimeFn gHostPauseTime = nullptr;

template <typename T> void EraseValue(std::vector<T*>& list, const T* value)
{
    list.erase(std::remove(list.begin(), list.end(), value), list.end());
}
} // namespace

uint32_t GetPlatformTime()
{
    uint32_t paused = gHostPauseTime != nullptr ? gHostPauseTime() : 0;
    return sys::GetTimeMs() - gPlatformStart - paused;
}

void StartPlatformTime()
{
    gPlatformStart = sys::GetTimeMs();
}

void SetHostPauseTimeFunction(THostPauseTimeFn fn)
{
    gHostPauseTime = fn;
}

bool TTask::Ready(int)
{
    return true;
}

// ---- TClock ----

uint32_t TClock::GetTime() const
{
    if (mPaused)
        return mFrozenValue;
    return mStartValue - mPausedTotal + (GetPlatformTime() - mBaseTime);
}

void TClock::SetTime(uint32_t value)
{
    mBaseTime = GetPlatformTime();
    mStartValue = value;
    mFrozenValue = value;
    mPausedTotal = 0;
}

void TClock::Start()
{
    if (!mPaused)
        return;
    mPaused = false;
    if (!mStarted)
    {
        mStarted = true;
        SetTime(0);
        return;
    }
    // Count the paused stretch out so the reading resumes from where it froze.
    uint32_t running = mStartValue - mPausedTotal + (GetPlatformTime() - mBaseTime);
    mPausedTotal += running - mFrozenValue;
}

bool TClock::Pause()
{
    if (mPaused)
        return true;
    mFrozenValue = GetTime();
    mPaused = true;
    return false;
}

void TClock::Reset()
{
    SetTime(0);
    mPaused = true;
}

// ---- TAnimTask ----

TAnimTask::TAnimTask(TClock* clock) : mClock(clock)
{
    mNextDue = GetTime();
}

uint32_t TAnimTask::GetTime() const
{
    return mClock != nullptr ? mClock->GetTime() : GetPlatformTime();
}

bool TAnimTask::Ready(int kind)
{
    if (kind == kTaskPassDraw)
        return mRunOnDraw;
    if (IsSuspended())
        return false;
    return static_cast<int32_t>(GetTime() - mNextDue) >= 0;
}

void TAnimTask::SetTiming(uint32_t delay, bool repeat, bool fromNow, bool catchUp)
{
    mFromNow = fromNow;
    mCatchUp = catchUp;
    if (!fromNow && !IsSuspended())
        mNextDue += delay;
    else
        mNextDue = GetTime() + delay;
    mPeriod = repeat ? delay : 0;
}

uint32_t TAnimTask::GetTimePastDue() const
{
    if (IsSuspended())
        return kSuspended;
    return GetTime() - mNextDue;
}

void TAnimTask::Suspend()
{
    mNextDue = kSuspended;
    mRunOnDraw = false;
}

void TAnimTask::SetClock(TClock* clock)
{
    uint32_t pastDue = GetTimePastDue();
    mClock = clock;
    // Keep the same distance to the due time: past due means the due time lies behind the reading.
    if (pastDue != kSuspended)
        mNextDue = GetTime() - pastDue;
}

bool TAnimTask::Run()
{
    uint32_t now = GetTime();
    if (static_cast<int32_t>(now - mNextDue) > kMaxBacklogMs)
        mNextDue = GetTime();
    bool result = false;
    do
    {
        mNextDue = mFromNow ? now + mPeriod : mNextDue + mPeriod;
        result = Animate();
    } while (result && mCatchUp && mNextDue < now);
    return result;
}

// ---- TTaskList ----

TTaskList::~TTaskList()
{
    DeleteAll();
}

void TTaskList::Add(TTask* task)
{
    if (task != nullptr)
        mTasks.push_back(task);
}

bool TTaskList::Contains(const TTask* task) const
{
    return std::find(mTasks.begin(), mTasks.end(), task) != mTasks.end();
}

bool TTaskList::IsPendingRemoval(const TTask* task) const
{
    return std::find(mPendingRemovals.begin(), mPendingRemovals.end(), task) !=
           mPendingRemovals.end();
}

bool TTaskList::Remove(TTask* task)
{
    auto it = std::find(mTasks.begin(), mTasks.end(), task);
    if (it == mTasks.end())
        return false;
    if (!mIterating)
        mTasks.erase(it);
    else if (!IsPendingRemoval(task))
        mPendingRemovals.push_back(task);
    return true;
}

void TTaskList::Run(int kind)
{
    mIterating = true;
    // Only this loop unlinks nodes during a pass, so the successor is taken after the task ran:
    // that way tasks appended during the pass, even behind the last one, run in the same pass.
    for (auto it = mTasks.begin(); it != mTasks.end();)
    {
        TTask* task = *it;
        if (IsPendingRemoval(task) || !task->Ready(kind) || task->Run())
        {
            ++it;
            continue;
        }
        it = mTasks.erase(it);
        EraseValue(mPendingDeletions, task);
        // A finished task must not linger as a pending removal: its address may be reused.
        EraseValue(mPendingRemovals, task);
        delete task;
    }
    mIterating = false;

    std::vector<TTask*> removals;
    removals.swap(mPendingRemovals);
    for (TTask* task : removals)
        Remove(task);
    std::vector<TTask*> deletions;
    deletions.swap(mPendingDeletions);
    for (TTask* task : deletions)
        delete task;
}

void TTaskList::DeleteAll()
{
    if (!mIterating)
    {
        std::vector<TTask*> doomed;
        for (TTask* task : mTasks)
        {
            if (!IsPendingRemoval(task))
                doomed.push_back(task);
        }
        for (TTask* task : mPendingDeletions)
        {
            if (std::find(doomed.begin(), doomed.end(), task) == doomed.end())
                doomed.push_back(task);
        }
        mTasks.clear();
        mPendingRemovals.clear();
        mPendingDeletions.clear();
        for (TTask* task : doomed)
            delete task;
        return;
    }
    for (TTask* task : mTasks)
    {
        // A task already taken out with Remove belongs to its caller again: never delete it.
        if (IsPendingRemoval(task))
            continue;
        mPendingRemovals.push_back(task);
        if (std::find(mPendingDeletions.begin(), mPendingDeletions.end(), task) ==
            mPendingDeletions.end())
            mPendingDeletions.push_back(task);
    }
}
