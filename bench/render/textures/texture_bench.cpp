// Textures: TTexture::Get of a 1024 x 768 PNG and JPEG (decode, convert, upload) beside the bare
// decode of the same file, and Lock/Unlock of a 512 x 512 R5G6B5 texture (converted copy and
// write-back) beside memcpy of its bytes. All in one run.
#include "render/display_bench_support.h"
#include "render/image_file_writers.h"
#include "platform/files/asset_manager.h"
#include "render/textures/image_decoders.h"
#include "render/textures/texture.h"
#include "sys/process/memory.h"

#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{
// The heap as the program sets it at start-up, for the loads and the bare decodes alike.
const bool kHeapSet = (sys::KeepFreedMemoryForReuse(), true);

constexpr uint32_t kWidth = 1024;
constexpr uint32_t kHeight = 768;

struct Files
{
    std::string folder;
    std::string png;
    std::string jpeg;

    Files()
    {
        char pattern[] = "/tmp/mw_texture_bench_XXXXXX";
        folder = mkdtemp(pattern);
        png = folder + "/picture.png";
        jpeg = folder + "/picture.jpg";
        std::vector<uint8_t> rgba;
        std::vector<uint8_t> rgb;
        for (uint32_t y = 0; y < kHeight; ++y)
            for (uint32_t x = 0; x < kWidth; ++x)
            {
                const uint8_t c[4] = {static_cast<uint8_t>(x / 4), static_cast<uint8_t>(y / 3),
                                      static_cast<uint8_t>((x + y) / 7), 255};
                rgba.insert(rgba.end(), c, c + 4);
                rgb.insert(rgb.end(), c, c + 3);
            }
        WritePngFile(png, kWidth, kHeight, rgba);
        WriteJpegFile(jpeg, kWidth, kHeight, rgb);
    }
    ~Files() { std::system(("rm -rf '" + folder + "'").c_str()); }
};

const Files& TheFiles()
{
    static const Files files;
    return files;
}

TString Logical(const std::string& path)
{
    return TString(("::" + path).c_str());
}

// Each iteration loads the texture anew: no asset manager, so nothing is cached.
void Get(benchmark::State& state, const std::string& path)
{
    if (!MakeBenchRenderer())
    {
        state.SkipWithError("no display");
        return;
    }
    const TString name = Logical(path);
    for (auto _ : state)
    {
        auto texture = TTexture::Get(name, 0);
        if (!texture)
        {
            state.SkipWithError("not loaded");
            break;
        }
        benchmark::DoNotOptimize(texture.get());
    }
    TRenderer::DestroyInstance();
}

void BM_TextureGetPng(benchmark::State& state)
{
    Get(state, TheFiles().png);
}
BENCHMARK(BM_TextureGetPng)->Unit(benchmark::kMillisecond);

void BM_DecodePng(benchmark::State& state)
{
    const TString name = Logical(TheFiles().png);
    for (auto _ : state)
    {
        uint8_t* pixels = nullptr;
        uint32_t w = 0, h = 0, side = 0;
        int channels = 0;
        bool alpha = false;
        PngLoad(name, pixels, w, h, side, channels, alpha);
        FreePngPixels(pixels);
    }
}
BENCHMARK(BM_DecodePng)->Unit(benchmark::kMillisecond);

void BM_TextureGetJpeg(benchmark::State& state)
{
    Get(state, TheFiles().jpeg);
}
BENCHMARK(BM_TextureGetJpeg)->Unit(benchmark::kMillisecond);

void BM_DecodeJpeg(benchmark::State& state)
{
    const TString name = Logical(TheFiles().jpeg);
    for (auto _ : state)
    {
        uint8_t* pixels = nullptr;
        uint32_t w = 0, h = 0, side = 0;
        JpegLoad(name, pixels, w, h, side);
        FreeJpegPixels(pixels);
    }
}
BENCHMARK(BM_DecodeJpeg)->Unit(benchmark::kMillisecond);

void BM_LockUnlock565(benchmark::State& state)
{
    TRenderer* renderer = MakeBenchRenderer();
    if (!renderer)
    {
        state.SkipWithError("no display");
        return;
    }
    // An opaque texture on a 16-bit screen is R5G6B5: the lock converts, the unlock writes back.
    renderer->GetPlatform().GetData()->mSixteenBitTextures = true;
    auto texture = TTexture::Create(512, 512, false);
    for (auto _ : state)
    {
        uint32_t* pixels = nullptr;
        int pitch = 0;
        texture->Lock(pixels, pitch);
        benchmark::DoNotOptimize(pixels);
        texture->Unlock();
    }
    texture.reset();
    TRenderer::DestroyInstance();
}
BENCHMARK(BM_LockUnlock565);

void BM_Memcpy565Bytes(benchmark::State& state)
{
    std::vector<uint8_t> from(512 * 512 * 2, 1), to(512 * 512 * 2);
    for (auto _ : state)
    {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Memcpy565Bytes);

} // namespace
