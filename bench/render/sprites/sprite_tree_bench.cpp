// Sprite trees: 1,000 textured sprites under three levels of groups drawn each frame, beside the
// same textures drawn with DrawAt at the same places; and one hit test beside one DrawAt.
#include "render/display_bench_support.h"
#include "render/renderer/renderer.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{
constexpr int kFanOut = 10; // 10 x 10 x 10 leaves

std::shared_ptr<TTexture> MakeLeafTexture(int seed)
{
    auto texture = TTexture::Create(16, 16, true);
    uint32_t* pixels = nullptr;
    int pitch = 0;
    if (!texture || !texture->Lock(pixels, pitch))
        return nullptr;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            pixels[y * pitch + x] =
                0xFF000000u | static_cast<uint32_t>((x * 16 + seed) << 16 | y * 16);
    texture->Unlock();
    return texture;
}

struct Scene
{
    std::vector<std::shared_ptr<TTexture>> mTextures;
    std::shared_ptr<TSprite> mRoot;
    // Where each leaf lands, in drawing order, for the direct peer.
    std::vector<std::pair<TTexture*, TVec2>> mLeaves;
};

Scene BuildScene()
{
    Scene scene;
    for (int i = 0; i < 4; ++i)
        scene.mTextures.push_back(MakeLeafTexture(i * 40));
    scene.mRoot = TSprite::Create(0);
    scene.mRoot->GetSpec() = TDrawSpec(TVec2(20, 20));
    for (int a = 0; a < kFanOut; ++a)
    {
        auto group = TSprite::Create(0);
        group->GetSpec() = TDrawSpec(TVec2(static_cast<float>(a * 75), 0));
        scene.mRoot->AddChild(group);
        for (int b = 0; b < kFanOut; ++b)
        {
            auto row = TSprite::Create(0);
            row->GetSpec() = TDrawSpec(TVec2(0, static_cast<float>(b * 55)));
            group->AddChild(row);
            for (int c = 0; c < kFanOut; ++c)
            {
                auto& texture = scene.mTextures[static_cast<size_t>((a + b + c) % 4)];
                auto leaf = TSprite::Create(0, texture);
                const TVec2 at(static_cast<float>((c % 5) * 14), static_cast<float>((c / 5) * 20));
                leaf->GetSpec() = TDrawSpec(at);
                row->AddChild(leaf);
                scene.mLeaves.emplace_back(texture.get(),
                                           TVec2(20 + static_cast<float>(a * 75) + at.x,
                                                 20 + static_cast<float>(b * 55) + at.y));
            }
        }
    }
    return scene;
}

void BM_SpriteTree(benchmark::State& state)
{
    TRenderer* renderer = MakeBenchRenderer();
    if (!renderer)
    {
        state.SkipWithError("no display");
        return;
    }
    {
        Scene scene = BuildScene();
        const TDrawSpec identity;
        for (auto _ : state)
        {
            renderer->BeginDraw(false);
            renderer->Begin2d();
            scene.mRoot->Draw(identity);
            renderer->End2d();
            renderer->EndFrame(false);
        }
        state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(scene.mLeaves.size()));
    }
    TRenderer::DestroyInstance();
}
BENCHMARK(BM_SpriteTree);

void BM_SameTexturesWithDrawAt(benchmark::State& state)
{
    TRenderer* renderer = MakeBenchRenderer();
    if (!renderer)
    {
        state.SkipWithError("no display");
        return;
    }
    {
        Scene scene = BuildScene();
        for (auto _ : state)
        {
            renderer->BeginDraw(false);
            renderer->Begin2d();
            for (const auto& [texture, at] : scene.mLeaves)
                texture->DrawAt(at.x, at.y, 1.0f, 1.0f, 0.0f, 0);
            renderer->End2d();
            renderer->EndFrame(false);
        }
        state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(scene.mLeaves.size()));
    }
    TRenderer::DestroyInstance();
}
BENCHMARK(BM_SameTexturesWithDrawAt);

void BM_OneHitTest(benchmark::State& state)
{
    TRenderer* renderer = MakeBenchRenderer();
    auto texture = renderer ? MakeLeafTexture(0) : nullptr;
    if (!texture)
    {
        state.SkipWithError("no display");
        return;
    }
    {
        auto sprite = TSprite::Create(0, texture);
        const TDrawSpec at(TVec2(100, 100));
        for (auto _ : state)
            benchmark::DoNotOptimize(sprite->HitTest(TVec2(101, 102), at, 128));
    }
    texture.reset();
    TRenderer::DestroyInstance();
}
BENCHMARK(BM_OneHitTest);

// One DrawAt of the same texture inside an open frame (the frame's own cost left out).
void BM_OneDrawAt(benchmark::State& state)
{
    TRenderer* renderer = MakeBenchRenderer();
    auto texture = renderer ? MakeLeafTexture(0) : nullptr;
    if (!texture)
    {
        state.SkipWithError("no display");
        return;
    }
    renderer->BeginDraw(false);
    renderer->Begin2d();
    for (auto _ : state)
        texture->DrawAt(100, 100, 1.0f, 1.0f, 0.0f, 0);
    renderer->End2d();
    renderer->EndFrame(false);
    texture.reset();
    TRenderer::DestroyInstance();
}
BENCHMARK(BM_OneDrawAt);
} // namespace
