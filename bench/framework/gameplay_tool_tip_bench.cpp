// The inventory tooltip: one showing with four item pictures and a 60-character name, composition
// included, at widths per line that need 0 to 3 breaks (the breaks made are reported); drawing the
// shown box beside one sprite of its size; and building the twelve tutorial prompts of a location.
#include "../render/display_bench_support.h"
#include "adventure_bench_support.h"
#include "framework/adventure/tooltips/gameplay_tool_tip.h"
#include "framework/adventure/tutorials/gameplay_tutorial.h"
#include "render/text/text_sprite.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>

namespace
{

// 60 characters, nine spaces.
const char kName[] = "The lamplighter's brass key of the old fen gatehouse tower";

std::unique_ptr<GameplayToolTip> MakeTip(InventoryStrip& strip, int widthPerLine)
{
    strip.mScript.DoLuaString(("_t = { x = 400, y = 470, w = 600, h = 200, borderwidth = 8, "
                               "borderheight = 6, distancebetweenitems = 4, timeintro = 150, "
                               "timeoutro = 150, minimumwidth = 100, widthperline = " +
                               std::to_string(widthPerLine) +
                               ", backgroundcolor = { 0, 0, 0, 0.6 }, "
                               "font = { '', 24, { 1, 1, 1, 1 } } }")
                                  .c_str());
    std::unique_ptr<TLuaTable> table(strip.mScript.GetGlobalTable("_t"));
    return std::make_unique<GameplayToolTip>(*table);
}

std::unique_ptr<GameplayInventory> Named(InventoryStrip& strip)
{
    strip.mScript.DoLuaString(
        (std::string("_o = { name = 'n', actualname = \"") + kName + "\", x = 300, y = 550 }")
            .c_str());
    std::unique_ptr<TLuaTable> object(strip.mScript.GetGlobalTable("_o"));
    return std::make_unique<GameplayInventory>(*object, *object);
}

void BM_ToolTip_Show(benchmark::State& state)
{
    TRenderer* renderer = MakeBenchRenderer();
    if (renderer == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    InventoryStrip strip(0);
    std::unique_ptr<GameplayInventory> target = Named(strip);
    const std::vector<std::shared_ptr<TAnimatedTexture>> pictures(
        4, TAnimatedTexture::Get("bench/inv"));
    int breaks = 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        std::unique_ptr<GameplayToolTip> tip = MakeTip(strip, static_cast<int>(state.range(0)));
        state.ResumeTiming();
        tip->Update(target.get(), 0x99000000u, true, pictures);
        state.PauseTiming();
        const std::string text = tip->GetText()->GetText().c_str();
        breaks = 0;
        for (size_t at = text.find("<br>"); at != std::string::npos; at = text.find("<br>", at + 1))
            ++breaks;
        tip.reset();
        strip.mTransforms.RemoveAll();
        state.ResumeTiming();
    }
    state.counters["breaks"] = breaks;
}
BENCHMARK(BM_ToolTip_Show)
    ->Arg(2000)
    ->Arg(300)
    ->Arg(120)
    ->Arg(60)
    ->Arg(20)
    ->Arg(0)
    ->Unit(benchmark::kMicrosecond);

// A box shown with four item pictures, its fly-out over; one frame of drawing is timed with
// `draw`.
template <class Draw> void TimeShownBox(benchmark::State& state, Draw draw)
{
    TRenderer* renderer = MakeBenchRenderer();
    if (renderer == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    InventoryStrip strip(0);
    std::unique_ptr<GameplayInventory> target = Named(strip);
    std::unique_ptr<GameplayToolTip> tip = MakeTip(strip, 160);
    tip->Update(
        target.get(), 0x99000000u, true,
        std::vector<std::shared_ptr<TAnimatedTexture>>(4, TAnimatedTexture::Get("bench/inv")));
    for (int i = 0; i < 20; ++i)
        strip.Frame(16);
    const std::shared_ptr<TTexture> box = tip->GetSprite()->GetTexture();
    if (box == nullptr)
    {
        state.SkipWithError("no box");
        return;
    }
    // One sprite with a texture of the box's size, as the renderer's sprite benchmark draws.
    auto sprite = TSprite::Create(0, TTexture::Create(box->GetWidth(), box->GetHeight(), true));
    for (auto _ : state)
    {
        renderer->BeginDraw(false);
        renderer->Begin2d();
        draw(*tip, *sprite);
        renderer->End2d();
        renderer->EndFrame(false);
    }
}

void BM_ToolTip_DrawShown(benchmark::State& state)
{
    TimeShownBox(state, [](GameplayToolTip& tip, TSprite&) { tip.Draw(); });
}
BENCHMARK(BM_ToolTip_DrawShown)->Unit(benchmark::kMicrosecond);

void BM_ToolTip_DrawOneSpriteOfItsSize(benchmark::State& state)
{
    TimeShownBox(state, [](GameplayToolTip&, TSprite& sprite)
                 { sprite.Draw(TDrawSpec(TVec2(400, 400)), -1); });
}
BENCHMARK(BM_ToolTip_DrawOneSpriteOfItsSize)->Unit(benchmark::kMicrosecond);

void BM_Tutorial_BuildTwelvePrompts(benchmark::State& state)
{
    TRenderer* renderer = MakeBenchRenderer();
    if (renderer == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    InventoryStrip strip(0);
    std::string table = "_t = { info = { fadetime = 250, arrowtime = 600, arrowdist = 14, "
                        "arrowimage = 'bench/l', dialog = 'bench/inv_glow', "
                        "bounds = { w = 280, h = 92 }, font = { '', 16, { 1, 1, 1, 1 } } }";
    for (int i = 0; i < 12; ++i)
        table += ", { name = 'tutorial_" + std::to_string(i) + "', index = " + std::to_string(i) +
                 ", arrowrotation = 0.25, arrowx = 100, arrowy = 100, dialogx = 400, "
                 "dialogy = 300 }";
    strip.mScript.DoLuaString((table + " }").c_str());
    std::unique_ptr<TLuaTable> tutorials(strip.mScript.GetGlobalTable("_t"));
    for (auto _ : state)
    {
        GameplayTutorialController controller(*tutorials);
        benchmark::DoNotOptimize(controller.GetTutorials().size());
    }
}
BENCHMARK(BM_Tutorial_BuildTwelvePrompts)->Unit(benchmark::kMicrosecond);

} // namespace
