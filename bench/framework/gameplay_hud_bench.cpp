// The HUD: one step each way of the strip's range and layout over 64 objects of mixed widths; a
// HUD frame (three pictures, 8 objects) beside the same sprites drawn directly; and an in-scene
// dialog's per-frame step over 50 descendants.
#include "../render/display_bench_support.h"
#include "adventure_bench_support.h"
#include "framework/adventure/dialog/gameplay_dialog.h"
#include "framework/adventure/hud/gameplay_hud.h"
#include "ui/text_window.h"
#include "ui/window_style.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace
{

BenchFiles& HudPictures()
{
    static BenchFiles* files = nullptr;
    if (files == nullptr)
    {
        files = new BenchFiles;
        files->Png("bench/bg.png", std::vector<uint32_t>(800 * 100, 0xFF303030), 800, 100);
        files->Png("bench/fg.png", std::vector<uint32_t>(800 * 20, 0xFF806040), 800, 20);
        files->Png("bench/bar.png", std::vector<uint32_t>(200 * 12, 0xFF40C040), 200, 12);
    }
    return *files;
}

// A HUD read from a style table as the window factory would.
std::unique_ptr<GameplayHud> MakeHud(TScript& script, int boundsWidth)
{
    HudPictures();
    script.DoLuaString(("_h = { background = { image = 'bench/bg.png' }, foreground = { image = "
                        "'bench/fg.png', y = 80 }, progressbar = { image = 'bench/bar.png', x = "
                        "300, y = 4 }, inventorybounds = { x = 100, y = 510, w = " +
                        std::to_string(boundsWidth) +
                        ", h = 80 }, inventoryminhorzgap = 10, inventoryvertplacement = 550 }")
                           .c_str());
    std::unique_ptr<TLuaTable> table(script.GetGlobalTable("_h"));
    TWindowStyle style(table.get());
    auto hud = std::make_unique<GameplayHud>();
    hud->SetSize(800, 100);
    hud->SetPosition(0, 500);
    hud->PostInit(style);
    return hud;
}

void BM_Hud_ArrangeInventory64MixedWidths(benchmark::State& state)
{
    InventoryStrip strip(64);
    for (size_t i = 0; i < strip.mObjects.size(); ++i)
        strip.mObjects[i]->GetImageTransform().mWidth = static_cast<uint32_t>(20 + (i * 37) % 70);
    std::unique_ptr<GameplayHud> hud = MakeHud(strip.mScript, 400);
    for (const auto& object : strip.mObjects)
        hud->GetPendingInventory().push_back(object.get());
    hud->MergePendingInventory(false, nullptr);
    hud->ArrangeInventory(32, false, nullptr);
    for (auto _ : state)
    {
        hud->ArrangeInventory(1, false, nullptr);
        hud->ArrangeInventory(-1, false, nullptr);
    }
}
BENCHMARK(BM_Hud_ArrangeInventory64MixedWidths)->Unit(benchmark::kMicrosecond);

void BM_Hud_Frame(benchmark::State& state)
{
    TRenderer* renderer = MakeBenchRenderer();
    if (renderer == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    InventoryStrip strip(8);
    std::unique_ptr<GameplayHud> hud = MakeHud(strip.mScript, 700);
    for (const auto& object : strip.mObjects)
        hud->GetPendingInventory().push_back(object.get());
    hud->MergePendingInventory(false, nullptr);
    hud->SetProgressMax(4);
    hud->SetProgress(2);
    for (auto _ : state)
    {
        renderer->BeginDraw(false);
        hud->Draw();
        renderer->EndFrame(false);
    }
}
BENCHMARK(BM_Hud_Frame)->Unit(benchmark::kMicrosecond);

// The same pictures and objects' sprites, drawn directly.
void BM_Hud_FrameDirectSprites(benchmark::State& state)
{
    TRenderer* renderer = MakeBenchRenderer();
    if (renderer == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    HudPictures();
    DirectInventorySprites direct;
    auto background = TSprite::Create(0, TTexture::Get("bench/bg.png", 0));
    auto foreground = TSprite::Create(0, TTexture::Get("bench/fg.png", 0));
    auto bar = TSprite::Create(0, TTexture::Get("bench/bar.png", 0));
    for (TSprite* sprite : {background.get(), foreground.get(), bar.get()})
        sprite->GetSpec().mFlags |= kDrawOrigin;
    bar->GetSpec().mFlags |= kDrawSourceRect;
    bar->GetSpec().mSourceRect = TRect(0, 0, 100, 12);
    for (auto _ : state)
    {
        renderer->BeginDraw(false);
        renderer->Begin2d();
        background->Draw(TDrawSpec(), -1);
        for (int i = 0; i < 8; ++i)
            direct.Draw(TDrawSpec(TVec2(static_cast<float>(150 + i * 80), 50.0f)));
        foreground->Draw(TDrawSpec(TVec2(0, 80)), -1);
        bar->Draw(TDrawSpec(TVec2(300, 4)), -1);
        renderer->End2d();
        renderer->EndFrame(false);
    }
}
BENCHMARK(BM_Hud_FrameDirectSprites)->Unit(benchmark::kMicrosecond);

// A dialog with 50 descendants: texts and plain windows, five deep.
void BM_Dialog_Update50Descendants(benchmark::State& state)
{
    GameplayDialog dialog;
    TWindow* parent = &dialog;
    for (int i = 0; i < 50; ++i)
    {
        TWindow* child = i % 2 == 0 ? static_cast<TWindow*>(new TText(false)) : new TWindow;
        parent->AddChild(child, false);
        if (i % 10 == 9)
            parent = child;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(dialog.Update());
}
BENCHMARK(BM_Dialog_Update50Descendants)->Unit(benchmark::kMicrosecond);

} // namespace
