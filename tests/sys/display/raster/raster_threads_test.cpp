// The band thread pool: every band of every run exactly once, whichever thread takes it, and
// nothing of a finished run reaching into the next.
#include "sys/display/raster/raster_threads.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>

using namespace sys::display;

TEST(RasterThreads, EveryBandOfEveryRunIsDrawnOnce)
{
    for (uint32_t threads : {1u, 2u, 4u})
    {
        RasterThreads pool(threads);
        for (uint32_t run = 0; run < 3000; ++run)
        {
            // A fresh context per run on the stack, as the device's draws hand over.
            std::array<std::atomic<uint32_t>, 10> hits{};
            const uint32_t bands = run % 10;
            auto task = [&](uint32_t k) { hits[k].fetch_add(1 + run); };
            pool.Run(task, bands);
            for (uint32_t k = 0; k < hits.size(); ++k)
                ASSERT_EQ(k < bands ? 1 + run : 0u, hits[k].load())
                    << threads << " threads, run " << run << ", band " << k;
        }
    }
}
