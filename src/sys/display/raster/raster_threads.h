// A small fixed pool of threads that runs the bands of one large draw side by side and returns
// when all are done.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace sys::display
{

class RasterThreads
{
public:
    // count - 1 threads plus the caller.
    explicit RasterThreads(uint32_t count);
    ~RasterThreads();
    RasterThreads(const RasterThreads&) = delete;
    RasterThreads& operator=(const RasterThreads&) = delete;

    uint32_t GetCount() const { return mCount; }

    // At most this many bands a run.
    static constexpr uint32_t MAX_BANDS = 32;

    // Calls task(0) .. task(bands - 1) once each and waits for all of them. Each thread, the
    // caller included, first takes the bands of its own share (the same ones run after run, so
    // the rows it drew stay in its core's cache), then any band still free, so a thread that
    // gets no core for a while leaves its share to the others. The task is called through a
    // plain pointer: nothing is allocated per call.
    template <class Task> void Run(Task& task, uint32_t bands)
    {
        RunTask(&Call<Task>, &task, bands);
    }

private:
    using TaskFunction = void (*)(void* context, uint32_t index);
    template <class Task> static void Call(void* context, uint32_t index)
    {
        (*static_cast<Task*>(context))(index);
    }
    void RunTask(TaskFunction function, void* context, uint32_t bands);
    // Takes and runs bands of run `generation` until none is left; `thread` is 0 for the
    // caller, 1 .. count - 1 for the pool's threads.
    void TakeBands(uint32_t thread, uint32_t generation, TaskFunction function, void* context,
                   uint32_t bands);
    void WorkerLoop(uint32_t thread);

    uint32_t mCount;
    std::vector<std::thread> mThreads;
    std::mutex mMutex;
    std::condition_variable mStart;
    std::condition_variable mDone;
    TaskFunction mTask = nullptr;
    void* mContext = nullptr;
    uint32_t mBands = 0;
    uint32_t mGeneration = 0;
    // mGeneration as last posted, read without the lock by threads waiting for the next run.
    alignas(64) std::atomic<uint32_t> mPosted{0};
    std::atomic<bool> mStop{false};
    // The run's generation in the high half and a bit per band taken in the low half, so that a
    // thread arriving after its run has ended takes nothing from the next one.
    alignas(64) std::atomic<uint64_t> mTaken{0};
    std::atomic<uint32_t> mFinished{0};
};

} // namespace sys::display
