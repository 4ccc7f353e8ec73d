// Monotonic millisecond clock on CLOCK_MONOTONIC, with a manual mode for tests.
#include "sys/clock.h"

#include <atomic>
#include <ctime>
#include <thread>

namespace sys
{
namespace
{
std::atomic<bool> gManual{false};
std::atomic<uint32_t> gManualNow{0};
} // namespace

uint32_t GetTimeMs()
{
    if (gManual.load(std::memory_order_acquire))
        return gManualNow.load(std::memory_order_acquire);
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    uint64_t ms =
        static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

void SleepMs(uint32_t ms)
{
    if (gManual.load(std::memory_order_acquire))
    {
        gManualNow.fetch_add(ms, std::memory_order_acq_rel);
        return;
    }
    if (ms == 0)
    {
        std::this_thread::yield();
        return;
    }
    timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0)
    {
    }
}

void BeginTimerPeriod(uint32_t) {}
void EndTimerPeriod(uint32_t) {}

void SetManualClock(bool enabled, uint32_t startMs)
{
    gManualNow.store(startMs, std::memory_order_release);
    gManual.store(enabled, std::memory_order_release);
}

void AdvanceManualClock(uint32_t ms)
{
    gManualNow.fetch_add(ms, std::memory_order_acq_rel);
}

bool IsManualClock()
{
    return gManual.load(std::memory_order_acquire);
}

} // namespace sys
