// The log's cost per line: a typical message and a long one with letters beyond ASCII, each
// escaped, stamped and written through its own open and close of the file, as every line is.
#include "platform/log.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>

namespace
{
namespace fs = std::filesystem;

// A log folder of its own for the run, removed afterwards.
class LogFolder
{
public:
    LogFolder()
    {
        std::random_device device;
        mRoot = fs::temp_directory_path() / ("mw_log_bench_" + std::to_string(device()));
        SetLogFolder(mRoot.c_str());
    }
    ~LogFolder()
    {
        SetLogFolder(nullptr);
        std::error_code ignored;
        fs::remove_all(mRoot, ignored);
    }

private:
    fs::path mRoot;
};
} // namespace

static void BM_LogLine(benchmark::State& state)
{
    LogFolder folder;
    for (auto _ : state)
        Log("Pack %s: %d entries refused, whose names hold \":\" or a \"..\" part (the first: "
            "'%s')",
            "::assets/sound.qmp", 3, "user:prefs.dat");
}
BENCHMARK(BM_LogLine);

// 4 KiB of a script error's text, one letter in eight two bytes of UTF-8.
static void BM_LogLongLine(benchmark::State& state)
{
    LogFolder folder;
    std::string message;
    while (message.size() < 4096)
        message += "Lua error: caf\xC3\xA9 ";
    for (auto _ : state)
        Log("%s", message.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(message.size()));
}
BENCHMARK(BM_LogLongLine);
