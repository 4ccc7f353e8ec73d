// Sprite batches: 200 textured 64 x 64 quads a frame drawn with TTexture::DrawAt through the
// renderer, beside the same quads handed to the stand-in's device directly; and a 256 x 256
// render-target round trip (begin, fill, draw, end with its copy back) beside a BltFast of that
// area. All in one run.
#include "render/display_bench_support.h"
#include "render/renderer/renderer.h"
#include "render/textures/texture.h"
#include "sys/display/device_caps.h"
#include "sys/display/surface.h"
#include "sys/display/vertex_formats.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

using namespace sys::display;

namespace
{
constexpr int kQuads = 200;

std::shared_ptr<TTexture> MakeSprite()
{
    auto texture = TTexture::Create(64, 64, true);
    uint32_t* pixels = nullptr;
    int pitch = 0;
    if (!texture || !texture->Lock(pixels, pitch))
        return nullptr;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            pixels[y * pitch + x] = (x + y) % 7 == 0 ? 0 : 0xFF000000u | (x * 4) << 16 | (y * 4);
    texture->Unlock();
    return texture;
}

float SpriteX(int i)
{
    return static_cast<float>(40 + (i * 37) % 720);
}

float SpriteY(int i)
{
    return static_cast<float>(40 + (i * 53) % 520);
}

void BM_SpritesThroughRenderer(benchmark::State& state)
{
    TRenderer* renderer = MakeBenchRenderer();
    auto sprite = renderer ? MakeSprite() : nullptr;
    if (!sprite)
    {
        state.SkipWithError("no display");
        return;
    }
    for (auto _ : state)
    {
        renderer->BeginDraw(false);
        renderer->Begin2d();
        for (int i = 0; i < kQuads; ++i)
            sprite->DrawAt(SpriteX(i), SpriteY(i), 1.0f, 1.0f, 0.0f, 0);
        renderer->End2d();
        renderer->EndFrame(false);
    }
    state.SetItemsProcessed(state.iterations() * kQuads);
    sprite.reset();
    TRenderer::DestroyInstance();
}
BENCHMARK(BM_SpritesThroughRenderer);

void BM_SpritesToTheDevice(benchmark::State& state)
{
    TRenderer* renderer = MakeBenchRenderer();
    auto sprite = renderer ? MakeSprite() : nullptr;
    if (!sprite)
    {
        state.SkipWithError("no display");
        return;
    }
    TPlatformData& d = *renderer->GetPlatform().GetData();
    Device& device = *d.mDevice;
    // The same state the renderer's 2-D block sets, once.
    renderer->BeginDraw(false);
    renderer->Begin2d();
    renderer->SetTexture(sprite);
    sprite->DrawAt(0, 0, 1, 1, 0, 0); // builds the 2-D projection
    renderer->EndFrame(false);
    std::vector<LVertex> quads(kQuads * 4);
    for (int i = 0; i < kQuads; ++i)
    {
        const float x = SpriteX(i) - 32, y = SpriteY(i) - 32;
        quads[i * 4 + 0] = {x, y, 0.1f, 0.5f, 0xFFFFFFFF, 0xFF000000, 0, 0};
        quads[i * 4 + 1] = {x + 64, y, 0.1f, 0.5f, 0xFFFFFFFF, 0xFF000000, 1, 0};
        quads[i * 4 + 2] = {x + 64, y + 64, 0.1f, 0.5f, 0xFFFFFFFF, 0xFF000000, 1, 1};
        quads[i * 4 + 3] = {x, y + 64, 0.1f, 0.5f, 0xFFFFFFFF, 0xFF000000, 0, 1};
    }
    for (auto _ : state)
    {
        // A frame begins with the depth buffer cleared, whoever draws it.
        device.BeginScene();
        device.Clear(0, nullptr, CLEAR_ZBUFFER, 0, 1.0f, 0);
        for (int i = 0; i < kQuads; ++i)
            device.DrawPrimitive(PT_TRIANGLEFAN, FVF_LVERTEX, &quads[i * 4], 4, 0);
        device.EndScene();
    }
    state.SetItemsProcessed(state.iterations() * kQuads);
    sprite.reset();
    TRenderer::DestroyInstance();
}
BENCHMARK(BM_SpritesToTheDevice);

void BM_RenderTargetRoundTrip(benchmark::State& state)
{
    TRenderer* renderer = MakeBenchRenderer();
    auto sprite = renderer ? MakeSprite() : nullptr;
    auto target = renderer ? TTexture::Create(256, 256, true) : nullptr;
    if (!sprite || !target)
    {
        state.SkipWithError("no display");
        return;
    }
    for (auto _ : state)
    {
        renderer->BeginRenderTarget(target, 0);
        renderer->FillRect(TRect(0, 0, 256, 256), TVec4(0, 0, 0, 1));
        renderer->Begin2d();
        sprite->DrawAt(128, 128, 1, 1, 0, 0);
        renderer->End2d();
        renderer->EndDraw();
    }
    state.SetItemsProcessed(state.iterations());
    sprite.reset();
    target.reset();
    TRenderer::DestroyInstance();
}
BENCHMARK(BM_RenderTargetRoundTrip);

void BM_BltFastOfTheArea(benchmark::State& state)
{
    auto from = Surface::Create(800, 600, MakePixelFormat(FormatId::X8R8G8B8));
    auto to = Surface::Create(256, 256, MakePixelFormat(FormatId::A8R8G8B8));
    const Rect area{0, 0, 256, 256};
    for (auto _ : state)
        benchmark::DoNotOptimize(to->BltFast(0, 0, from.get(), &area, BLTFAST_WAIT));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BltFastOfTheArea);

} // namespace
