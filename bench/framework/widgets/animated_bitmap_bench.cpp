// One frame of 1,000 animated bitmaps, each with two frames changing every 50 ms and two running
// animation blocks (an oscillating move and an oscillating fade), drawing excluded; beside the
// same 2,000 transforms run by the transform manager alone, which is the part of the bitmaps'
// frame that is not theirs.
#include "framework/widgets/animated_bitmap.h"
#include "framework/core/delta_time.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/transforms/transform_manager.h"
#include "framework/transforms/transform_target.h"
#include "platform/files/file_layer.h"
#include "render/renderer/draw_spec.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace
{
constexpr int kBitmaps = 1000;
constexpr uint32_t kFrameStep = 16;

// The two frame names only need to be known to the file layer: the update never reads images.
const char kFrame[] = "frame";

void RegisterFrames()
{
    RegisterMemoryFileName("bench/frames/f1.png", kFrame, sizeof kFrame);
    RegisterMemoryFileName("bench/frames/f2.png", kFrame, sizeof kFrame);
}

void BM_AnimatedBitmaps_Update1000(benchmark::State& state)
{
    RegisterFrames();
    DeltaTime clock;
    TransformManager manager;
    TScript script;
    script.DoLuaString(
        "t = { image = 'bench/frames', framespeed = 50, animation = 'wrap', initialload = false, "
        "move = { endx = 100, endy = 50, duration = 100000, oscillate = true, loop = true }, "
        "fade = { beginopacity = 1, endopacity = 0, duration = 100000, oscillate = true, "
        "loop = true } }");
    std::unique_ptr<TLuaTable> table(script.GetGlobalTable("t"));
    std::vector<std::shared_ptr<AnimatedBitmap>> bitmaps;
    for (int i = 0; i < kBitmaps; ++i)
    {
        bitmaps.push_back(AnimatedBitmap::Create(*table));
        // Two frame slots, as the images would give them.
        bitmaps.back()->CreateSprites();
    }
    clock.SetStep(kFrameStep);
    uint32_t now = 1;
    for (auto _ : state)
    {
        clock.SetFrameTime(now += kFrameStep);
        for (auto& bitmap : bitmaps)
            bitmap->Update();
        manager.Update();
    }
    state.counters["animating"] = bitmaps.front()->IsAnimating() ? 1 : 0;
    state.counters["transforms"] =
        static_cast<double>(manager.GetTransformCount(&bitmaps.front()->GetTransform()));
}
BENCHMARK(BM_AnimatedBitmaps_Update1000)->Unit(benchmark::kMicrosecond);

// The peer: the same move and fade, oscillating, on 1,000 draw specs through the manager alone.
void BM_TransformsOnly_Update2000(benchmark::State& state)
{
    DeltaTime clock;
    TransformManager manager;
    std::vector<TDrawSpec> specs(kBitmaps);
    std::vector<std::unique_ptr<TM_Transform2D>> targets;
    for (TDrawSpec& spec : specs)
    {
        targets.push_back(std::make_unique<TM_Transform2D>(&spec));
        auto* move = new TM_InstructionList;
        move->push_back(new TM_Move(100000, true, TVec2(100, 50), TVec2(0, 0), 0, 1.0f));
        uint32_t id = manager.AddTransform(targets.back().get(), move);
        auto* back = new TM_InstructionList;
        back->push_back(new TM_Move(100000, true, TVec2(0, 0), TVec2(100, 50), 0, 1.0f));
        manager.FindTransform(id, back);
        auto* fade = new TM_InstructionList;
        fade->push_back(new TM_Alpha(100000, 0, 1, 0, 1.0f));
        id = manager.AddTransform(targets.back().get(), fade);
        auto* unfade = new TM_InstructionList;
        unfade->push_back(new TM_Alpha(100000, 1, 0, 0, 1.0f));
        manager.FindTransform(id, unfade);
    }
    uint32_t now = 1;
    for (auto _ : state)
    {
        clock.SetFrameTime(now += kFrameStep);
        manager.Update();
    }
    benchmark::DoNotOptimize(specs.data());
}
BENCHMARK(BM_TransformsOnly_Update2000)->Unit(benchmark::kMicrosecond);
} // namespace
