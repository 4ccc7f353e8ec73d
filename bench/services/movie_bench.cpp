// The film player's costs: converting and uploading an 800 x 600 frame against a plain copy of its
// bytes measured in the same run, and one tick of a 400 x 300 film (decode, convert, draw fitted to
// 800 x 600, present) as a fraction of the 16.7 ms frame.
#include "movie_writer.h"
#include "platform/files/file_layer.h"
#include "render/textures/texture.h"
#include "services/movie/movie_decoder.h"
#include "services/movie/movie_host.h"
#include "services/movie/movie_picture.h"
#include "sys/clock.h"

#include "ui/window_bench_support.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

namespace
{

constexpr double kFrameMs = 1000.0 / 60.0;

// A picture with detail everywhere, so that no block is cheap to decode.
std::string Film(uint32_t width, uint32_t height, uint32_t frames)
{
    movietool::MovieSpec spec;
    spec.mWidth = width;
    spec.mHeight = height;
    spec.mFpsNumerator = 24;
    std::vector<movietool::MovieFrame> pictures;
    for (uint32_t f = 0; f < frames; ++f)
    {
        movietool::MovieFrame frame = movietool::SolidFrame(spec, 0, 128, 128);
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x)
                frame.mY[size_t(y) * width + x] = uint8_t(16 + (x * 3 + y * 5 + f * 7) % 219);
        for (size_t i = 0; i < frame.mCb.size(); ++i)
        {
            frame.mCb[i] = uint8_t(16 + (i * 13 + f) % 224);
            frame.mCr[i] = uint8_t(16 + (i * 7 + f * 3) % 224);
        }
        pictures.push_back(std::move(frame));
    }
    std::string out, error;
    movietool::WriteMovie(spec, pictures, out, error);
    return out;
}

TApplication* App()
{
    static TApplication* app = MakeWindowBenchApplication();
    return app;
}

double Ms(std::chrono::steady_clock::time_point from, std::chrono::steady_clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

} // namespace

static void ConvertAndUploadFrameAgainstCopy(benchmark::State& state)
{
    App();
    TMovieDecoder decoder;
    TString reason;
    th_ycbcr_buffer planes;
    if (!decoder.Open(Film(800, 600, 1), reason) || !decoder.DecodeTo(0) ||
        !decoder.GetPicture(planes))
        return state.SkipWithError("no frame");
    auto texture = TTexture::Create(800, 600, true);
    if (texture == nullptr)
        return state.SkipWithError("no texture");
    const th_info& info = decoder.GetInfo();
    const TMoviePictureRegion region{info.pixel_fmt, info.pic_x, info.pic_y, 800, 600};
    std::vector<uint32_t> source(800 * 600, 0xFF123456u), copy(800 * 600);
    double convertMs = 0, copyMs = 0;
    for (auto _ : state)
    {
        auto start = std::chrono::steady_clock::now();
        uint32_t* pixels = nullptr;
        int pitch = 0;
        if (texture->Lock(pixels, pitch))
        {
            ConvertMoviePicture(planes, region, pixels, static_cast<size_t>(pitch));
            texture->Unlock();
        }
        auto middle = std::chrono::steady_clock::now();
        std::memcpy(copy.data(), source.data(), copy.size() * 4);
        benchmark::DoNotOptimize(copy.data());
        auto end = std::chrono::steady_clock::now();
        convertMs += Ms(start, middle);
        copyMs += Ms(middle, end);
    }
    state.counters["convert_to_copy"] = copyMs > 0 ? convertMs / copyMs : 0;
}
BENCHMARK(ConvertAndUploadFrameAgainstCopy);

static void IntroTick(benchmark::State& state)
{
    App();
    static std::string film = Film(400, 300, 36);
    RegisterMemoryFileName("movies/bench.ogv", film.data(), static_cast<uint32_t>(film.size()));
    sys::SetManualClock(true, 100000);
    TMovieHost host;
    double totalMs = 0;
    for (auto _ : state)
    {
        if (!host.IsPlaying() && !host.Play("movies/bench.ogv", false, false))
            return state.SkipWithError("the film does not play");
        sys::AdvanceManualClock(42);
        auto start = std::chrono::steady_clock::now();
        host.Tick();
        totalMs += Ms(start, std::chrono::steady_clock::now());
    }
    host.Stop();
    sys::SetManualClock(false);
    state.counters["frame_fraction"] = totalMs / static_cast<double>(state.iterations()) / kFrameMs;
}
BENCHMARK(IntroTick);
