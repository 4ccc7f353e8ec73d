// The peer a frame's depth work is measured against: memset of the 800 x 600 screen's 16-bit depth
// buffer (960,000 bytes), timed in the same run as the case so that both see the same load.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <vector>

inline double ThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Processor seconds of one memset of the depth buffer: the best of 15 runs of 20.
inline double DepthMemsetSeconds()
{
    constexpr size_t kBytes = 800 * 600 * 2;
    std::vector<uint8_t> depth(kBytes, 1);
    double best = 1e9;
    for (int run = 0; run < 15; ++run)
    {
        const double start = ThreadSeconds();
        for (int i = 0; i < 20; ++i)
        {
            std::memset(depth.data(), 0xFF, kBytes);
            benchmark::ClobberMemory();
        }
        best = std::min(best, (ThreadSeconds() - start) / 20);
    }
    return best;
}

// Reports the processor time the benchmark's loop took per iteration over the memset's, as
// "x_depth_memset", and the memset itself as "depth_memset_us". Made just before the loop: the
// memset is timed then, and the loop from then on.
class DepthMemsetPeer
{
public:
    DepthMemsetPeer() : mMemsetSeconds(DepthMemsetSeconds()), mStart(ThreadSeconds()) {}
    void Report(benchmark::State& state) const
    {
        const double perIteration = (ThreadSeconds() - mStart) /
                                    static_cast<double>(std::max<int64_t>(state.iterations(), 1));
        state.counters["x_depth_memset"] = perIteration / mMemsetSeconds;
        state.counters["depth_memset_us"] = mMemsetSeconds * 1e6;
    }

private:
    double mMemsetSeconds;
    double mStart;
};
