// The accumulated host-pause time.
#include "services/host/host_pause.h"

#include <atomic>

namespace
{
// Read by the platform clock, which may be asked from any thread.
std::atomic<uint32_t> sHostPauseTotal{0};
} // namespace

uint32_t GetHostPauseTime()
{
    return sHostPauseTotal.load();
}

void AddHostPauseTime(uint32_t ms)
{
    sHostPauseTotal += ms;
}
