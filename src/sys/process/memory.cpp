// The heap's handling of large freed blocks, on the C library's allocator settings, and blocks of
// pages mapped for one owner.
#include "sys/process/memory.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace sys
{
void KeepFreedMemoryForReuse()
{
    constexpr int kLargestKeptBlock = 64 << 20;
    // Blocks above the map threshold get pages of their own, returned at free; the heap's top is
    // given back once more than the trim threshold is free.
    mallopt(M_MMAP_THRESHOLD, kLargestKeptBlock);
    mallopt(M_TRIM_THRESHOLD, 4 * kLargestKeptBlock);
}

namespace
{
// The thread that hands the heap's free pages back. The heap's lock is held for the whole walk
// (5 to 7 ms, over 100 ms after a large screen), which a frame must not wait for. Asks that come
// while one runs are served by one more walk.
class GiveBackWorker
{
public:
    ~GiveBackWorker()
    {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mStopping = true;
        }
        mWake.notify_all();
        if (mThread.joinable())
            mThread.join();
    }

    void Ask()
    {
        std::lock_guard<std::mutex> lock(mMutex);
        ++mAsked;
        if (!mThread.joinable())
            mThread = std::thread([this] { Run(); });
        mWake.notify_all();
    }

    void WaitForAll()
    {
        std::unique_lock<std::mutex> lock(mMutex);
        const uint64_t asked = mAsked;
        mDone.wait(lock, [&] { return mServed >= asked || !mThread.joinable(); });
    }

    uint64_t Asked()
    {
        std::lock_guard<std::mutex> lock(mMutex);
        return mAsked;
    }

    std::thread::id ServedOn()
    {
        std::lock_guard<std::mutex> lock(mMutex);
        return mServedOn;
    }

private:
    void Run()
    {
        std::unique_lock<std::mutex> lock(mMutex);
        for (;;)
        {
            mWake.wait(lock, [&] { return mStopping || mServed < mAsked; });
            if (mStopping)
                return;
            const uint64_t serving = mAsked;
            lock.unlock();
            malloc_trim(0);
            lock.lock();
            mServed = serving;
            mServedOn = std::this_thread::get_id();
            mDone.notify_all();
        }
    }

    std::mutex mMutex;
    std::condition_variable mWake;
    std::condition_variable mDone;
    uint64_t mAsked = 0;
    uint64_t mServed = 0;
    bool mStopping = false;
    std::thread::id mServedOn;
    std::thread mThread;
};

GiveBackWorker& Worker()
{
    static GiveBackWorker worker;
    return worker;
}
} // namespace

void GiveBackFreedMemory()
{
    Worker().Ask();
}

void WaitForFreedMemoryGivenBack()
{
    Worker().WaitForAll();
}

uint64_t CountFreedMemoryGiveBacks()
{
    return Worker().Asked();
}

std::thread::id FreedMemoryGivenBackOn()
{
    return Worker().ServedOn();
}

void* MapZeroedPages(size_t bytes)
{
    void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
}

void* MapZeroedScatteredPages(size_t bytes)
{
    void* block = MapZeroedPages(bytes);
    // Only advice: where large pages are not to be had the block is served by small ones.
    if (block != nullptr)
        madvise(block, bytes, MADV_HUGEPAGE);
    return block;
}

void* RemapZeroedPages(void* block, size_t oldBytes, size_t newBytes)
{
    // The bytes past a block's size on its last page stay zero, so that a later growth, which adds
    // only whole pages, shows zero bytes after the old size too.
    if (newBytes < oldBytes)
    {
        size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        size_t pageEnd = (newBytes + page - 1) / page * page;
        std::memset(static_cast<char*>(block) + newBytes, 0,
                    (pageEnd < oldBytes ? pageEnd : oldBytes) - newBytes);
    }
    void* moved = mremap(block, oldBytes, newBytes, MREMAP_MAYMOVE);
    return moved == MAP_FAILED ? nullptr : moved;
}

void UnmapPages(void* block, size_t bytes)
{
    munmap(block, bytes);
}
} // namespace sys
