// The band thread pool.
#include "sys/display/raster/raster_threads.h"

#include <algorithm>
#include <bit>
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
        mThreads.emplace_back([this, i] { WorkerLoop(i); });
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
    bands = std::min(bands, MAX_BANDS);
    uint32_t generation;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mTask = function;
        mContext = context;
        mBands = bands;
        generation = ++mGeneration;
        mFinished.store(0);
        mTaken.store(uint64_t{generation} << 32);
        mPosted.store(generation);
    }
    // Without waiters (all still spinning) this makes no system call.
    if (bands > 1)
        mStart.notify_all();
    TakeBands(0, generation, function, context, bands);
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

void RasterThreads::TakeBands(uint32_t thread, uint32_t generation, TaskFunction function,
                              void* context, uint32_t bands)
{
    // This thread's own share: bands [first, last).
    const uint32_t first = thread * bands / mCount;
    const uint32_t last = (thread + 1) * bands / mCount;
    const uint64_t all = (uint64_t{1} << bands) - 1;
    const uint64_t own = ((uint64_t{1} << last) - 1) & ~((uint64_t{1} << first) - 1);
    for (;;)
    {
        uint64_t taken = mTaken.load();
        uint32_t band;
        do
        {
            if (static_cast<uint32_t>(taken >> 32) != generation)
                return;
            const uint64_t free = ~taken & all;
            if (free == 0)
                return;
            // Else the highest free band below the own share (wrapping round): the one its
            // owner would come to last.
            const uint64_t below = free & ((uint64_t{1} << first) - 1);
            band = static_cast<uint32_t>((free & own) != 0
                                             ? std::countr_zero(free & own)
                                             : 63 - std::countl_zero(below != 0 ? below : free));
        } while (!mTaken.compare_exchange_weak(taken, taken | uint64_t{1} << band));
        function(context, band);
        // The context may be gone once the last band is counted: only members from here on.
        if (mFinished.fetch_add(1) + 1 == bands)
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mDone.notify_one();
        }
    }
}

void RasterThreads::WorkerLoop(uint32_t thread)
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
            TakeBands(thread, seen, task, context, bands);
    }
}

} // namespace sys::display
