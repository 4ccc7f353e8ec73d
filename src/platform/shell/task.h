// Per-frame work as tasks: TTask, the timed TAnimTask, the re-entrant TTaskList, the pausable
// TClock and platform time (milliseconds since start-up, less the time a host kept the game
// paused).
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <vector>

// Platform time in ms: the tick counter minus the start-up time minus the host-pause total,
// wrapping.
uint32_t GetPlatformTime();
// Takes the current tick count as platform time 0; the application calls it when it is built.
void StartPlatformTime();
// Where the accumulated host-pause milliseconds come from; null means none (always 0).
using THostPauseTimeFn = uint32_t (*)();
void SetHostPauseTimeFunction(THostPauseTimeFn fn);

// Pass kinds for TTask::Ready.
enum : int
{
    kTaskPassTime = 0,
    kTaskPassDraw = 1
};

class TTask
{
public:
    virtual ~TTask() = default;
    virtual bool Ready(int kind);
    // False when the task has finished; its list then deletes it.
    virtual bool Run() = 0;
};

class TClock
{
public:
    TClock() = default;
    virtual ~TClock() = default;

    uint32_t GetTime() const;
    void SetTime(uint32_t value);
    void Start();
    // True when the clock was already paused.
    bool Pause();
    void Reset();

    bool IsPaused() const { return mPaused; }
    bool IsStarted() const { return mStarted; }

private:
    bool mPaused = true;
    bool mStarted = false;
    uint32_t mBaseTime = 0;
    uint32_t mStartValue = 0;
    uint32_t mFrozenValue = 0;
    uint32_t mPausedTotal = 0;
};

class TAnimTask : public TTask
{
public:
    static constexpr uint32_t kSuspended = 0xFFFFFFFFu;
    // A backlog larger than this is dropped rather than caught up.
    static constexpr int32_t kMaxBacklogMs = 1000;

    explicit TAnimTask(TClock* clock = nullptr);

    bool Ready(int kind) override;
    bool Run() override;
    // The subclass's work; false ends the task.
    virtual bool Animate() = 0;

    // The clock's reading, or platform time without a clock.
    uint32_t GetTime() const;
    void SetRunOnDraw(bool runOnDraw) { mRunOnDraw = runOnDraw; }
    void SetTiming(uint32_t delay, bool repeat, bool fromNow, bool catchUp);
    uint32_t GetTimePastDue() const;
    void Suspend();
    bool IsSuspended() const { return mNextDue == kSuspended; }
    void SetClock(TClock* clock);
    TClock* GetClock() const { return mClock; }
    uint32_t GetNextDue() const { return mNextDue; }
    uint32_t GetPeriod() const { return mPeriod; }

private:
    bool mRunOnDraw = false;
    uint32_t mNextDue = 0;
    uint32_t mPeriod = 0;
    bool mFromNow = false;
    bool mCatchUp = false;
    TClock* mClock = nullptr;
};

class TTaskList
{
public:
    TTaskList() = default;
    ~TTaskList();
    TTaskList(const TTaskList&) = delete;
    TTaskList& operator=(const TTaskList&) = delete;

    // The list owns tasks only in that it deletes those that finish or that DeleteAll takes.
    void Add(TTask* task);
    // Takes a task out without deleting it; during a pass the removal happens at the pass's end.
    bool Remove(TTask* task);
    void Run(int kind);
    void DeleteAll();

    size_t GetCount() const { return mTasks.size(); }
    bool Contains(const TTask* task) const;

private:
    bool IsPendingRemoval(const TTask* task) const;

    bool mIterating = false;
    std::list<TTask*> mTasks;
    std::vector<TTask*> mPendingRemovals;
    std::vector<TTask*> mPendingDeletions;
};
