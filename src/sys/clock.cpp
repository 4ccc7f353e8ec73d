// Monotonic millisecond clock on CLOCK_MONOTONIC, with a manual mode for tests.
#include "sys/clock.h"

#include "sys/process/process.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <thread>

namespace sys
{
namespace
{
std::atomic<bool> gManual{false};
std::atomic<uint32_t> gManualNow{0};
std::atomic<uint32_t> gFixedStep{0};
std::once_flag gFixedStepRead;
// Where the fixed clock starts: a time no run reads as "never set".
constexpr uint32_t kFixedClockStartMs = 1000;
constexpr unsigned long kFixedStepMaxMs = 1000;

void ReadFixedStep()
{
    const std::string text = GetEnvironmentVariable("MURKWELL_FIXED_STEP");
    if (text.empty())
        return;
    char* end = nullptr;
    errno = 0;
    const unsigned long step = std::strtoul(text.c_str(), &end, 10);
    if (errno != 0 || *end != 0 || text[0] < '0' || text[0] > '9' || step == 0 ||
        step > kFixedStepMaxMs)
    {
        std::fprintf(stderr,
                     "MURKWELL_FIXED_STEP=%s ignored: expected milliseconds from 1 to %lu\n",
                     text.c_str(), kFixedStepMaxMs);
        return;
    }
    gManualNow.store(kFixedClockStartMs, std::memory_order_release);
    gManual.store(true, std::memory_order_release);
    gFixedStep.store(static_cast<uint32_t>(step), std::memory_order_release);
}

void EnsureFixedStepRead()
{
    std::call_once(gFixedStepRead, ReadFixedStep);
}
} // namespace

uint32_t GetTimeMs()
{
    EnsureFixedStepRead();
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

uint32_t GetFixedStepMs()
{
    EnsureFixedStepRead();
    return gFixedStep.load(std::memory_order_acquire);
}

void SetFixedStepMs(uint32_t ms)
{
    EnsureFixedStepRead();
    gFixedStep.store(ms, std::memory_order_release);
}

void PassFixedStep()
{
    if (const uint32_t step = GetFixedStepMs(); step != 0)
        AdvanceManualClock(step);
}

bool IsManualClock()
{
    return gManual.load(std::memory_order_acquire);
}

} // namespace sys
