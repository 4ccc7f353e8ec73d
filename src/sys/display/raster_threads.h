// A small fixed pool of threads that runs the bands of one large draw side by side and returns
// when all are done.
#pragma once

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
    // `count` bands at most per Run: count - 1 threads plus the caller.
    explicit RasterThreads(uint32_t count);
    ~RasterThreads();
    RasterThreads(const RasterThreads&) = delete;
    RasterThreads& operator=(const RasterThreads&) = delete;

    uint32_t GetCount() const { return mCount; }

    // Calls task(0) .. task(count - 1), task(0) on the calling thread, and waits for all of them.
    // The task is called through a plain pointer: nothing is allocated per call.
    template <class Task> void Run(Task& task) { RunTask(&Call<Task>, &task); }

private:
    using TaskFunction = void (*)(void* context, uint32_t index);
    template <class Task> static void Call(void* context, uint32_t index)
    {
        (*static_cast<Task*>(context))(index);
    }
    void RunTask(TaskFunction function, void* context);
    void WorkerLoop(uint32_t index);

    uint32_t mCount;
    std::vector<std::thread> mThreads;
    std::mutex mMutex;
    std::condition_variable mStart;
    std::condition_variable mDone;
    TaskFunction mTask = nullptr;
    void* mContext = nullptr;
    uint64_t mGeneration = 0;
    uint32_t mPending = 0;
    bool mStop = false;
};

} // namespace sys::display
