// The longest frame around a closed screen, against the 16.7 ms of a frame: a screen holding
// 128 MiB of pictures (2 MiB blocks, every page written) is closed, and the next one takes 64 MiB
// of its own over the following frames (4 MiB a frame, 1 MiB blocks) while each frame also
// makes and drops some small blocks. The closed screen's deletion gives the heap's free pages
// back as the window manager does; the peer does the same give-back on the frame itself, as the
// manager once did. Counted per screen change, on the frame thread: the longest frame's CPU time
// and its wall time (a frame that waits for the heap while the pages go back shows there).
#include "sys/process/memory.h"
#include "ui/modal_window.h"
#include "ui/window_manager.h"

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace
{

constexpr size_t kMiB = size_t{1} << 20;
constexpr int kClosedMiB = 128;
constexpr int kNextMiB = 64;
constexpr int kNextMiBPerFrame = 4;
constexpr int kFrames = 24;
constexpr double kFrameMs = 16.7;

double ThreadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double WallMs()
{
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

using Blocks = std::vector<std::unique_ptr<char[]>>;

void Take(Blocks& blocks, int mib, size_t blockBytes)
{
    for (size_t taken = 0; taken < static_cast<size_t>(mib) * kMiB; taken += blockBytes)
    {
        blocks.emplace_back(new char[blockBytes]);
        std::memset(blocks.back().get(), static_cast<int>(blocks.size()), blockBytes);
    }
}

// A screen with its pictures.
class PictureScreen : public TModalWindow
{
public:
    PictureScreen() { Take(mPictures, kClosedMiB, 2 * kMiB); }

private:
    Blocks mPictures;
};

// What a frame does besides: a few hundred small blocks made and dropped (text, messages).
void SmallWork()
{
    std::vector<std::string> lines;
    for (int i = 0; i < 300; ++i)
        lines.emplace_back(std::string(48 + i % 64, 'x'));
    benchmark::DoNotOptimize(lines.data());
}

void ScreenChange(benchmark::State& state, bool onTheFrame)
{
    sys::KeepFreedMemoryForReuse();
    TWindowManager manager;
    manager.CreateRoot(800, 600);
    double longestCpu = 0;
    double longestWall = 0;
    double sumLongestCpu = 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        auto* closing = new PictureScreen();
        if (!onTheFrame)
            manager.PushModal(closing);
        Blocks next;
        state.ResumeTiming();
        double changeCpu = 0;
        double changeWall = 0;
        for (int frame = 0; frame < kFrames; ++frame)
        {
            const double cpu = ThreadCpuMs();
            const double wall = WallMs();
            if (frame == 0)
            {
                if (onTheFrame)
                {
                    delete closing;
                    malloc_trim(0);
                }
                else
                    manager.PopModal();
            }
            manager.ProcessDeletions();
            manager.DispatchMessages();
            if (frame >= 1 && frame <= kNextMiB / kNextMiBPerFrame)
                Take(next, kNextMiBPerFrame, kMiB);
            SmallWork();
            changeCpu = std::max(changeCpu, ThreadCpuMs() - cpu);
            changeWall = std::max(changeWall, WallMs() - wall);
        }
        state.PauseTiming();
        next.clear();
        sys::WaitForFreedMemoryGivenBack();
        malloc_trim(0);
        state.ResumeTiming();
        longestCpu = std::max(longestCpu, changeCpu);
        longestWall = std::max(longestWall, changeWall);
        sumLongestCpu += changeCpu;
    }
    const double changes = static_cast<double>(state.iterations());
    state.counters["longest_frame_cpu_ms_mean"] = sumLongestCpu / changes;
    state.counters["longest_frame_cpu_ms_worst"] = longestCpu;
    state.counters["longest_frame_wall_ms_worst"] = longestWall;
    state.counters["worst_cpu_frames_of_16.7ms"] = longestCpu / kFrameMs;
}

void BM_ScreenChangeLongestFrame(benchmark::State& state)
{
    ScreenChange(state, false);
}
BENCHMARK(BM_ScreenChangeLongestFrame)->Unit(benchmark::kMillisecond)->Iterations(20);

// The peer: the pages handed back by the frame that deletes the screen.
void BM_ScreenChangeLongestFrameGivingBackOnTheFrame(benchmark::State& state)
{
    ScreenChange(state, true);
}
BENCHMARK(BM_ScreenChangeLongestFrameGivingBackOnTheFrame)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

} // namespace
