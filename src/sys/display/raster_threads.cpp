// The band thread pool.
#include "sys/display/raster_threads.h"

namespace sys::display
{

RasterThreads::RasterThreads(uint32_t count) : mCount(count < 1 ? 1 : count)
{
    for (uint32_t i = 1; i < mCount; ++i)
        mThreads.emplace_back([this, i] { WorkerLoop(i); });
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

void RasterThreads::RunTask(TaskFunction function, void* context)
{
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mTask = function;
        mContext = context;
        mPending = mCount - 1;
        ++mGeneration;
    }
    mStart.notify_all();
    function(context, 0);
    std::unique_lock<std::mutex> lock(mMutex);
    mDone.wait(lock, [this] { return mPending == 0; });
    mTask = nullptr;
    mContext = nullptr;
}

void RasterThreads::WorkerLoop(uint32_t index)
{
    uint64_t seen = 0;
    for (;;)
    {
        TaskFunction task;
        void* context;
        {
            std::unique_lock<std::mutex> lock(mMutex);
            mStart.wait(lock, [&] { return mStop || mGeneration != seen; });
            if (mStop)
                return;
            seen = mGeneration;
            task = mTask;
            context = mContext;
        }
        task(context, index);
        {
            std::lock_guard<std::mutex> lock(mMutex);
            if (--mPending == 0)
                mDone.notify_one();
        }
    }
}

} // namespace sys::display
