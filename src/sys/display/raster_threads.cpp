// The band thread pool.
#include "sys/display/raster_threads.h"

#include <chrono>
#include <immintrin.h>

namespace sys::display
{

namespace
{

// Waking a sleeping thread costs tens of microseconds here (the kernel's wake-up and, under a
// hypervisor, the interrupt between cores), as much as a whole band of a full-screen layer. So
// both sides wait a short while on the shared word before they sleep: the threads for the next
// draw of the frame, the caller for the last bands of its draw.
constexpr auto SPIN_TIME = std::chrono::microseconds(100);

// Spins until done() holds or SPIN_TIME has passed; true when done() held.
template <class Done> bool SpinUntil(Done done)
{
    const auto end = std::chrono::steady_clock::now() + SPIN_TIME;
    for (;;)
    {
        for (int i = 0; i < 32; ++i)
        {
            if (done())
                return true;
            _mm_pause();
        }
        if (std::chrono::steady_clock::now() >= end)
            return done();
    }
}

} // namespace

RasterThreads::RasterThreads(uint32_t count) : mCount(count < 1 ? 1 : count)
{
    for (uint32_t i = 1; i < mCount; ++i)
        mThreads.emplace_back([this] { WorkerLoop(); });
}

RasterThreads::~RasterThreads()
{
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mStop.store(true);
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
        mPosted.store(generation);
    }
    // Without waiters (all still spinning) this makes no system call.
    if (bands > 1)
        mStart.notify_all();
    TakeBands(generation, function, context, bands);
    if (!SpinUntil([&] { return mFinished.load() == bands; }))
    {
        std::unique_lock<std::mutex> lock(mMutex);
        mDone.wait(lock, [&] { return mFinished.load() == bands; });
    }
    // The threads may still read these under the lock, for a run that has ended; they then
    // take no band of it.
    std::lock_guard<std::mutex> lock(mMutex);
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
        SpinUntil([&] { return mPosted.load() != seen || mStop.load(); });
        TaskFunction task;
        void* context;
        uint32_t bands;
        {
            std::unique_lock<std::mutex> lock(mMutex);
            mStart.wait(lock, [&] { return mStop.load() || mGeneration != seen; });
            if (mStop.load())
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
