// Inventory objects: a strip of 30 incomplete objects (two parts found, a 56-pixel bar) drawn,
// beside the same number of sprite draws made directly; and 100 objects' per-frame update with
// their rollovers toggling every frame.
#include "../render/display_bench_support.h"
#include "adventure_bench_support.h"
#include "framework/adventure/inventory/gameplay_inventory.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace
{
constexpr int kStrip = 30;

void BM_Inventory_DrawStripLookD(benchmark::State& state)
{
    TRenderer* renderer = MakeBenchRenderer();
    if (renderer == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    InventoryStrip strip(kStrip);
    if (strip.mObjects[0]->GetImageSprite()->GetTexture() == nullptr)
    {
        state.SkipWithError("no picture");
        return;
    }
    for (auto _ : state)
    {
        renderer->BeginDraw(false);
        renderer->Begin2d();
        for (const auto& object : strip.mObjects)
            object->Draw(TDrawSpec());
        renderer->End2d();
        renderer->EndFrame(false);
    }
}
BENCHMARK(BM_Inventory_DrawStripLookD)->Unit(benchmark::kMicrosecond);

// The same draws made directly.
void BM_Inventory_DrawStripDirectSprites(benchmark::State& state)
{
    TRenderer* renderer = MakeBenchRenderer();
    if (renderer == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    InventoryStrip strip(1);
    DirectInventorySprites direct;
    for (auto _ : state)
    {
        renderer->BeginDraw(false);
        renderer->Begin2d();
        for (int i = 0; i < kStrip; ++i)
            direct.Draw(TDrawSpec(TVec2(static_cast<float>(20 + (i * 26) % 760), 300.0f)));
        renderer->End2d();
        renderer->EndFrame(false);
    }
}
BENCHMARK(BM_Inventory_DrawStripDirectSprites)->Unit(benchmark::kMicrosecond);

// 100 objects, every one's rollover turned the other way each frame; the transform manager's
// step included.
void BM_Inventory_Update100Rollovers(benchmark::State& state)
{
    TRenderer* renderer = MakeBenchRenderer();
    if (renderer == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    InventoryStrip strip(100);
    bool hovered = true;
    for (auto _ : state)
    {
        for (const auto& object : strip.mObjects)
        {
            object->SetHovered(hovered);
            object->Update(16);
        }
        strip.Frame(16);
        hovered = !hovered;
    }
}
BENCHMARK(BM_Inventory_Update100Rollovers)->Unit(benchmark::kMicrosecond);

} // namespace
