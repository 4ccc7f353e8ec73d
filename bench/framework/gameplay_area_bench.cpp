// Clickable areas: one click tested on an area's mask beside the same alpha test made on its mask
// sprite alone; and a frame of 40 shown areas, 10 of them pulsing, beside their pictures drawn as
// plain sprites (the active frame of each, and the hilight frame of the pulsing ones); the frame
// also beside a memset of the screen's depth buffer ("x_depth_memset").
#include "../render/display_bench_support.h"
#include "../sys/display/depth_memset_peer.h"
#include "adventure_bench_support.h"
#include "framework/adventure/entities/gameplay_area.h"
#include "framework/widgets/mask_collision_sprite.h"
#include "render/renderer/draw_spec.h"
#include "render/renderer/renderer.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr int kAreas = 40;
constexpr int kPulsing = 10;

// "bench/area": a hilight and an active frame of 48 x 48, anchored top left, and its mask.
void RegisterAreaPictures()
{
    static BenchFiles* files = nullptr;
    if (files != nullptr)
        return;
    files = new BenchFiles;
    std::vector<uint32_t> sheet(96 * 48);
    for (size_t i = 0; i < sheet.size(); ++i)
        sheet[i] = i % 96 < 48 ? 0xFFFFE080u : 0xFF805020u;
    files->Png("bench/area.png", sheet, 96, 48);
    files->Add("bench/area.xml",
               "<sequence><img w=\"96\" h=\"48\" regx=\"0\" regy=\"0\" name=\"area.png\"/>"
               "<framelist><frame x=\"0\" y=\"0\" w=\"48\" h=\"48\"/>"
               "<frame x=\"48\" y=\"0\" w=\"48\" h=\"48\"/></framelist></sequence>");
    files->Png("bench/area_mask.png", std::vector<uint32_t>(48 * 48, 0xFFFFFFFFu), 48, 48);
}

struct Areas
{
    explicit Areas(int count)
    {
        RegisterAreaPictures();
        mScript.DoLuaString("_i = { imagemask = '_mask', timehilightfade = 300, "
                            "alphahilightmin = 0.3, timevisible = 100 }");
        std::unique_ptr<TLuaTable> info(mScript.GetGlobalTable("_i"));
        for (int i = 0; i < count; ++i)
        {
            const std::string lua = "_t = { image = 'bench/area', hasactiveframe = true, "
                                    "events = {}, x = " +
                                    std::to_string(20 + (i % 10) * 60) +
                                    ", y = " + std::to_string(20 + (i / 10) * 60) + " }";
            mScript.DoLuaString(lua.c_str());
            std::unique_ptr<TLuaTable> table(mScript.GetGlobalTable("_t"));
            mAreas.push_back(std::make_unique<GameplayArea>(*table, *info));
            // Shown with its textures and mask.
            mAreas.back()->Activate(true, nullptr);
        }
        Frame();
    }
    void Frame()
    {
        mClock.SetFrameTime(mNow += 16);
        for (auto& area : mAreas)
            area->Update(16);
        mTransforms.Update();
    }
    uint32_t mNow = 1;
    DeltaTime mClock;
    TransformManager mTransforms;
    TScript mScript;
    std::vector<std::unique_ptr<GameplayArea>> mAreas;
};

template <class Hit> void TestClicks(benchmark::State& state, Hit hit)
{
    if (MakeBenchRenderer() == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    {
        Areas areas(1);
        GameplayArea& area = *areas.mAreas.front();
        const TVec2 point(40, 40);
        int hits = 0;
        for (auto _ : state)
            hits += hit(area, point) ? 1 : 0;
        state.counters["hits"] =
            static_cast<double>(hits) / static_cast<double>(state.iterations());
    }
    TRenderer::DestroyInstance();
}

void BM_GameplayArea_HitTest(benchmark::State& state)
{
    TestClicks(state, [](GameplayArea& area, const TVec2& point) { return area.HitTest(point); });
}
BENCHMARK(BM_GameplayArea_HitTest)->Unit(benchmark::kMicrosecond);

// The peer: the mask sprite's own alpha test under the image's spec.
void BM_MaskSprite_HitTest(benchmark::State& state)
{
    TestClicks(
        state, [](GameplayArea& area, const TVec2& point)
        { return area.GetMaskSprite()->HitTest(point, area.GetSprite()->GetSpec(), 127, -1); });
}
BENCHMARK(BM_MaskSprite_HitTest)->Unit(benchmark::kMicrosecond);

void BM_GameplayArea_Frame40Pulsing10(benchmark::State& state)
{
    TRenderer* renderer = MakeBenchRenderer();
    if (renderer == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    {
        Areas areas(kAreas);
        for (int i = 0; i < kPulsing; ++i)
            areas.mAreas[static_cast<size_t>(i)]->Hilight();
        const TDrawSpec scene;
        const DepthMemsetPeer peer;
        for (auto _ : state)
        {
            areas.Frame();
            renderer->BeginDraw(false);
            renderer->Begin2d();
            for (auto& area : areas.mAreas)
                area->Draw(scene);
            for (auto& area : areas.mAreas)
                area->DrawEffects(scene);
            renderer->End2d();
            renderer->EndFrame(false);
        }
        peer.Report(state);
    }
    TRenderer::DestroyInstance();
}
BENCHMARK(BM_GameplayArea_Frame40Pulsing10)->Unit(benchmark::kMicrosecond);

// The peer: the same pictures as plain animated sprites, the same draws, no area logic.
void BM_AreaPicturesAsSprites40(benchmark::State& state)
{
    TRenderer* renderer = MakeBenchRenderer();
    if (renderer == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    {
        Areas areas(kAreas);
        std::vector<std::shared_ptr<TAnimatedSprite>> sprites;
        for (auto& area : areas.mAreas)
        {
            auto sprite = TAnimatedSprite::Create(0);
            sprite->SetTexture(area->GetSprite()->GetAnimatedTexture());
            sprite->GetSpec() = area->GetSprite()->GetSpec();
            sprites.push_back(sprite);
        }
        const TDrawSpec scene;
        const TDrawSpec hilight(TVec2(0, 0), 0.6f);
        for (auto _ : state)
        {
            renderer->BeginDraw(false);
            renderer->Begin2d();
            for (size_t i = 0; i < sprites.size(); ++i)
            {
                sprites[i]->SetFrame(1);
                sprites[i]->Draw(scene, -1);
                if (i < kPulsing)
                {
                    sprites[i]->SetFrame(0);
                    sprites[i]->Draw(hilight, -1);
                }
            }
            renderer->End2d();
            renderer->EndFrame(false);
        }
    }
    TRenderer::DestroyInstance();
}
BENCHMARK(BM_AreaPicturesAsSprites40)->Unit(benchmark::kMicrosecond);
} // namespace
