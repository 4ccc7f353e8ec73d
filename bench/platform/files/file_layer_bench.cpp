// File layer costs: resolving a name in a large path map, and opening and reading a pack entry.
#include "platform/files/file.h"
#include "platform/files/file_layer.h"
#include "platform/files/pack_file.h"
#include "sys/files/paths.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace
{
void FillPathMap(int count)
{
    ClearPathMap();
    for (int i = 0; i < count; ++i)
        GetPathMap()[TString::Format("scripts/level%03d/object%04d.lua", i % 100, i)] =
            TString::Format("assets/Scripts/Level%03d/Object%04d.lua", i % 100, i);
}
} // namespace

static void BM_ResolveMixedCaseName(benchmark::State& state)
{
    FillPathMap(static_cast<int>(state.range(0)));
    TString name("Scripts/Level042/OBJECT0042.lua");
    for (auto _ : state)
        benchmark::DoNotOptimize(ResolvePath(name, true));
    ClearPathMap();
}
BENCHMARK(BM_ResolveMixedCaseName)->Arg(1000)->Arg(20000);

// A scratch working folder whose asset pack holds one entry "e.bin" of `size` bytes.
class PackEntryFolder
{
public:
    explicit PackEntryFolder(uint32_t size)
    {
        char pattern[] = "/tmp/mw_bench_XXXXXX";
        mRoot = mkdtemp(pattern);
        mOld = sys::GetCurrentFolder();
        sys::SetCurrentFolder(mRoot);
        sys::MakeFolder(mRoot + "/assets");
        std::string pack = "QMPK";
        auto put = [&pack](uint32_t v)
        {
            for (int i = 0; i < 4; ++i)
                pack += static_cast<char>(v >> (8 * i) & 0xFF);
        };
        put(1);
        pack += static_cast<char>(5);
        pack += "e.bin";
        put(8 + 1 + 5 + 8);
        put(size);
        pack += std::string(size, 'x');
        FILE* f = std::fopen("assets/b.qmp", "wb");
        std::fwrite(pack.data(), 1, pack.size(), f);
        std::fclose(f);
        ClearPathMap();
        ClearPackTable();
        ReadPack("::assets/b.qmp", GetPathMap());
    }
    ~PackEntryFolder()
    {
        ClearPathMap();
        ClearPackTable();
        sys::SetCurrentFolder(mOld);
        std::system(("rm -rf '" + mRoot + "'").c_str());
    }

private:
    std::string mRoot;
    std::string mOld;
};

static void BM_ReadPackEntry(benchmark::State& state)
{
    const uint32_t size = static_cast<uint32_t>(state.range(0));
    PackEntryFolder folder(size);
    std::string buffer(size, '\0');
    for (auto _ : state)
    {
        TFile file;
        file.Open("e.bin", kFileReadBinary);
        benchmark::DoNotOptimize(file.Read(buffer.data(), static_cast<int>(size)));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * size);
}
BENCHMARK(BM_ReadPackEntry)->Arg(4096)->Arg(1 << 20);

// A byte at a time, as the XML reader and the script loader take an entry.
static void BM_ReadPackEntryByteByByte(benchmark::State& state)
{
    const uint32_t size = static_cast<uint32_t>(state.range(0));
    PackEntryFolder folder(size);
    for (auto _ : state)
    {
        TFile file;
        file.Open("e.bin", kFileReadBinary);
        int sum = 0;
        for (int c = FileGetc(&file); c >= 0; c = FileGetc(&file))
            sum += c;
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * size);
}
BENCHMARK(BM_ReadPackEntryByteByByte)->Arg(64 << 10);
