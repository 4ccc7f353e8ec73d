// Metrics costs: a record line appended to the metrics file against the bare stdio append of the
// same bytes (asked: at most 3x), and the machine summary over a full report (asked: at most a
// quarter of a 16.7 ms frame).
#include "platform/files/file_layer.h"
#include "services/metrics/metrics_recorder.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace
{

// A scratch user folder for one benchmark, removed with its files afterwards.
class ScratchUser
{
public:
    ScratchUser()
    {
        char pattern[] = "/tmp/mw_bench_metrics_XXXXXX";
        mFolder = mkdtemp(pattern);
        SetDataFolders(mFolder.c_str(), mFolder.c_str(), mFolder.c_str());
    }
    ~ScratchUser()
    {
        std::error_code ignored;
        std::filesystem::remove_all(mFolder, ignored);
        ClearPathMap();
        SetDataFolders(TString(), TString(), TString());
    }
    const std::string& Folder() const { return mFolder; }

private:
    std::string mFolder;
};

std::vector<TString> TenFields()
{
    return {"1.0.0.7", "12345", "menu", "a \"quoted\" word", "3,5",
            "",        "x12",   "42",   "level 4",           "99 bottles"};
}

// Keeps the files small, so the file system's cost per append stays what it is for a fresh file.
void Truncate(const std::string& path)
{
    if (FILE* file = std::fopen(path.c_str(), "wb"))
        std::fclose(file);
}

} // namespace

static void BM_Metrics_WriteLine(benchmark::State& state)
{
    ScratchUser user;
    TMetricsRecorder recorder;
    recorder.SetUserDataDir(user.Folder().c_str());
    recorder.SetOutputFile("metrics.txt");
    std::vector<TString> fields = TenFields();
    std::string path = user.Folder() + "/metrics.txt";
    int64_t written = 0;
    for (auto _ : state)
    {
        recorder.WriteLine("session", fields);
        if (++written % 1000 == 0)
        {
            state.PauseTiming();
            Truncate(path);
            state.ResumeTiming();
        }
    }
    // The summary the recorder writes when it goes is not part of the measure.
    recorder.SetUserDataDir("");
}
BENCHMARK(BM_Metrics_WriteLine);

static void BM_Native_AppendSameBytes(benchmark::State& state)
{
    ScratchUser user;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::string line = MakeMetricsLine("session", FormatMetricsTime(local), TenFields());
    std::string path = user.Folder() + "/native.txt";
    int64_t written = 0;
    for (auto _ : state)
    {
        FILE* file = std::fopen(path.c_str(), "ab");
        std::fwrite(line.data(), 1, line.size(), file);
        std::fclose(file);
        if (++written % 1000 == 0)
        {
            state.PauseTiming();
            Truncate(path);
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_Native_AppendSameBytes);

static void BM_Metrics_HardwareSummary(benchmark::State& state)
{
    ScratchUser user;
    TMetricsRecorder recorder;
    // Writes the machine report: the summary then reads a complete one.
    recorder.SetUserDataDir(user.Folder().c_str());
    std::string path = user.Folder() + "/metrics.txt";
    int64_t written = 0;
    for (auto _ : state)
    {
        recorder.WriteHardwareSummary();
        if (++written % 100 == 0)
        {
            state.PauseTiming();
            Truncate(path);
            state.ResumeTiming();
        }
    }
    recorder.SetUserDataDir("");
}
BENCHMARK(BM_Metrics_HardwareSummary)->Unit(benchmark::kMicrosecond);
