// The band thread pool.
#include "sys/display/raster_threads.h"

namespace sys::display
{

RasterThreads::RasterThreads(uint32_t count) : mCount(count < 1 ? 1 : count)
{
    for (uint32_t i = 1; i < mCount; ++i)
        mThreads.emplace_back([this] { WorkerLoop(); });
}

RasterThreads::~RasterThreads()
{
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mStop = true;
    }
    mStart.notify_all();
    for (std::thread& t : mThreads)
        t.join();
}

void RasterThreads::RunTask(TaskFunction function, void* context, uint32_t bands)
{
    if (bands == 0)
        return;
    uint32_t generation;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mTask = function;
        mContext = context;
        mBands = bands;
        generation = ++mGeneration;
        mFinished.store(0);
        mNext.store(uint64_t{generation} << 32);
    }
    if (bands > 1)
        mStart.notify_all();
    TakeBands(generation, function, context, bands);
    std::unique_lock<std::mutex> lock(mMutex);
    mDone.wait(lock, [&] { return mFinished.load() == bands; });
    mTask = nullptr;
    mContext = nullptr;
}

void RasterThreads::TakeBands(uint32_t generation, TaskFunction function, void* context,
                              uint32_t bands)
{
    for (;;)
    {
        uint64_t next = mNext.load();
        do
        {
            if (static_cast<uint32_t>(next >> 32) != generation ||
                static_cast<uint32_t>(next) >= bands)
                return;
        } while (!mNext.compare_exchange_weak(next, next + 1));
        function(context, static_cast<uint32_t>(next));
        // The context may be gone once the last band is counted: only members from here on.
        if (mFinished.fetch_add(1) + 1 == bands)
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mDone.notify_one();
        }
    }
}

void RasterThreads::WorkerLoop()
{
    uint32_t seen = 0;
    for (;;)
    {
        TaskFunction task;
        void* context;
        uint32_t bands;
        {
            std::unique_lock<std::mutex> lock(mMutex);
            mStart.wait(lock, [&] { return mStop || mGeneration != seen; });
            if (mStop)
                return;
            seen = mGeneration;
            task = mTask;
            context = mContext;
            bands = mBands;
        }
        if (task != nullptr)
            TakeBands(seen, task, context, bands);
    }
}

} // namespace sys::display
