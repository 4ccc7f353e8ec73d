// Mixer cost: 32 looping voices (half 44.1 kHz stereo, half 22.05 kHz mono, assorted volumes)
// mixed into one second of output, beside a memcpy of the same bytes the voices hold.
#include "sys/audio/mixer.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

using namespace sys::audio;

namespace
{
constexpr uint32_t kVoices = 32;
constexpr uint32_t kPull = 1024;

std::vector<Voice> MakeVoices()
{
    std::vector<Voice> voices(kVoices);
    for (uint32_t i = 0; i < kVoices; ++i)
    {
        Voice& v = voices[i];
        const bool stereo = i % 2 == 0;
        v.channels = stereo ? 2 : 1;
        v.rate = stereo ? 44100 : 22050;
        v.frames = v.rate * 2;
        v.samples.resize(size_t(v.frames) * v.channels);
        for (size_t s = 0; s < v.samples.size(); ++s)
            v.samples[s] = static_cast<int16_t>(8000 * std::sin(0.01 * double(s) * (i + 1)));
        v.playing = true;
        v.looping = true;
        v.gain = GainFromVolume(-static_cast<int32_t>(i * 150));
        // Start the voices at different places so none share a cache line of source.
        v.frame = (i * 7919) % v.frames;
    }
    return voices;
}

// Bytes the voices read during one second of output.
size_t SourceBytesPerSecond()
{
    return size_t(kVoices / 2) * 44100 * 4 + size_t(kVoices / 2) * 22050 * 2;
}
} // namespace

static void BM_MixSecond32Voices(benchmark::State& state)
{
    std::vector<Voice> voices = MakeVoices();
    Mixer mixer(kPull);
    for (Voice& v : voices)
        mixer.Add(&v);
    std::vector<int16_t> out(kPull * 2);
    for (auto _ : state)
    {
        for (uint32_t done = 0; done < 44100; done += kPull)
            mixer.Render(out.data(), std::min(kPull, 44100 - done));
        benchmark::DoNotOptimize(out.data());
    }
    // Fraction of real time: each iteration is one second of sound.
    state.counters["cpu_s_per_sound_s"] = benchmark::Counter(
        double(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetBytesProcessed(int64_t(state.iterations() * SourceBytesPerSecond()));
}
BENCHMARK(BM_MixSecond32Voices)->Unit(benchmark::kMillisecond);

static void BM_MemcpySameBytes(benchmark::State& state)
{
    const size_t bytes = SourceBytesPerSecond();
    std::vector<uint8_t> from(bytes, 1);
    std::vector<uint8_t> to(bytes);
    for (auto _ : state)
    {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations() * bytes));
}
BENCHMARK(BM_MemcpySameBytes)->Unit(benchmark::kMillisecond);
