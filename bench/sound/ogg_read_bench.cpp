// TOggDataSource::Read over a file and over its in-memory copy, each beside a plain ov_read loop
// on the same file in the same run: the source should cost within 5% of the bare decoder.
#include "sound/ogg_data_source.h"
#include "sound/ogg_encode.h"
#include "sound/ogg_memory_source.h"

#include "platform/files/file_layer.h"
#include "sys/files/paths.h"

#include <benchmark/benchmark.h>
#include <vorbis/vorbisfile.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

namespace
{
constexpr uint32_t kChunk = 176400; // one half of a stream's buffer

// Ten seconds of 44.1 kHz stereo written as assets/bench.ogg in a scratch folder the file layer
// knows.
struct BenchFile
{
    BenchFile()
    {
        char pattern[] = "/tmp/mw_bench_ogg_XXXXXX";
        root = mkdtemp(pattern);
        sys::MakeFolder(root + "/assets");
        bytes = soundtest::EncodeOgg(soundtest::Tone(2, 44100, 441000), 2, 44100);
        std::ofstream(root + "/assets/bench.ogg", std::ios::binary) << bytes;
        sys::SetCurrentFolder(root);
        InitFileSystem();
    }
    ~BenchFile() { std::system(("rm -rf '" + root + "'").c_str()); }
    std::string root;
    std::string bytes;
};

BenchFile& File()
{
    static BenchFile file;
    return file;
}

void ReadSource(benchmark::State& state, bool streamed)
{
    File();
    TOggDataSource source;
    if (!source.Open("bench.ogg", streamed))
    {
        state.SkipWithError("cannot open the file");
        return;
    }
    std::vector<char> buffer(kChunk);
    for (auto _ : state)
    {
        uint32_t position = 0;
        while (uint32_t got = source.Read(buffer.data(), position, kChunk))
            position += got;
        benchmark::DoNotOptimize(buffer.data());
        // The next pass starts with a seek back to 0, as a rewind does.
    }
}

void ReadPlain(benchmark::State& state, bool fromFile)
{
    BenchFile& file = File();
    ov_callbacks callbacks = soundtest::OggMemoryCallbacks();
    soundtest::OggMemory memory{&file.bytes, 0};
    OggVorbis_File vf;
    const int opened = fromFile ? ov_fopen((file.root + "/assets/bench.ogg").c_str(), &vf)
                                : ov_open_callbacks(&memory, &vf, nullptr, 0, callbacks);
    if (opened != 0)
    {
        state.SkipWithError("cannot open the file");
        return;
    }
    std::vector<char> buffer(kChunk);
    int section = 0;
    for (auto _ : state)
    {
        ov_pcm_seek(&vf, 0);
        for (;;)
        {
            uint32_t done = 0;
            long got = 0;
            while (done < kChunk &&
                   (got = ov_read(&vf, buffer.data() + done, kChunk - done, 0, 2, 1, &section)) > 0)
                done += static_cast<uint32_t>(got);
            if (done == 0)
                break;
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    ov_clear(&vf);
}
} // namespace

static void BM_OggSourceFile(benchmark::State& state)
{
    ReadSource(state, true);
}
static void BM_PlainOvReadFile(benchmark::State& state)
{
    ReadPlain(state, true);
}
static void BM_OggSourceMemory(benchmark::State& state)
{
    ReadSource(state, false);
}
static void BM_PlainOvReadMemory(benchmark::State& state)
{
    ReadPlain(state, false);
}
BENCHMARK(BM_OggSourceFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainOvReadFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OggSourceMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainOvReadMemory)->Unit(benchmark::kMillisecond);
