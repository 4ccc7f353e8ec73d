// Hidden items: a click tested against 60 items of which one lies under the point, beside the
// same bounds queries and the one mask test made directly; and 20 items in flight with both
// particle effects, their updates and both drawing passes, as one frame.
#include "../render/display_bench_support.h"
#include "framework/adventure/entities/gameplay_item.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/core/delta_time.h"
#include "framework/transforms/transform_manager.h"
#include "particles/lua_particle_system.h"
#include "platform/files/file_layer.h"
#include "render/renderer/draw_spec.h"
#include "render/renderer/renderer.h"
#include "render/sprites/sprite.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"
#include "sys/display/presenter/surface_png.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr int kItems = 60;
constexpr int kFlying = 20;

const char kSheetXml[] =
    "<sequence name=\"gem\"><img regx=\"16\" regy=\"16\" w=\"64\" h=\"32\" name=\"gem.png\" "
    "mask=\"\"/><framelist>"
    "<frame x=\"0\" y=\"0\" w=\"32\" h=\"32\" regx=\"16\" regy=\"16\"/>"
    "<frame x=\"32\" y=\"0\" w=\"32\" h=\"32\" regx=\"16\" regy=\"16\"/>"
    "</framelist></sequence>";
const char kSpark[] =
    "SetNumParticles(32) pAge = Allocate(1) pAge:Anim(pAge + fTimeScale(1)) "
    "Anim(fExpire(fLess(0.3, pAge))) pPosition:Init(dLocus) pScale:Init(3) "
    "pColor:Init(Color(1, 1, 0, 1)) function Update(s) if gActive == 1 then CreateParticles(2) "
    "end end";

// The picture sheet and its mask (a ring: transparent inside), kept registered for the run.
void RegisterPictures()
{
    static const std::vector<uint8_t> sheet = []
    {
        std::vector<uint32_t> pixels(64 * 32, 0xFF4080C0u);
        return sys::display::EncodePng(pixels.data(), 64, 32);
    }();
    static const std::vector<uint8_t> mask = []
    {
        std::vector<uint32_t> pixels(32 * 32, 0xFFFFFFFFu);
        for (int y = 8; y < 24; ++y)
            for (int x = 8; x < 24; ++x)
                pixels[static_cast<size_t>(y * 32 + x)] = 0;
        return sys::display::EncodePng(pixels.data(), 32, 32);
    }();
    RegisterMemoryFileName("bench/gem.png", sheet.data(), static_cast<uint32_t>(sheet.size()));
    RegisterMemoryFileName("bench/gem.xml", kSheetXml, sizeof kSheetXml - 1);
    RegisterMemoryFileName("bench/gem_mask.png", mask.data(), static_cast<uint32_t>(mask.size()));
}

struct Items
{
    // Shown items on a grid 40 pixels apart; with `particles`, both effects named.
    Items(int count, bool particles)
    {
        RegisterPictures();
        mScript.DoLuaString(particles ? (std::string("_i = { imagemask = '_mask', particles = [[") +
                                         kSpark + "]], particlesplash = [[" + kSpark +
                                         "]], timefound = 100, timetoinventory = 100000 }")
                                            .c_str()
                                      : "_i = { imagemask = '_mask' }");
        std::unique_ptr<TLuaTable> info(mScript.GetGlobalTable("_i"));
        for (int i = 0; i < count; ++i)
        {
            const std::string lua = "_t = { image = 'bench/gem', inventoryparts = { 1 }, x = " +
                                    std::to_string(40 + (i % 15) * 48) +
                                    ", y = " + std::to_string(40 + (i / 15) * 48) + " }";
            mScript.DoLuaString(lua.c_str());
            std::unique_ptr<TLuaTable> table(mScript.GetGlobalTable("_t"));
            mItems.push_back(std::make_unique<GameplayItem>(*table, *info));
            mItems.back()->Activate(false, nullptr);
        }
    }
    DeltaTime mClock;
    TransformManager mTransforms;
    TScript mScript;
    std::vector<std::unique_ptr<GameplayItem>> mItems;
};

// A point on the opaque ring of the last item.
TVec2 ClickPoint()
{
    return TVec2(40 + 14 * 48 - 12, 40 + 3 * 48);
}

// Tests the click against every item with `hit` (item, point, scene spec) -> bool.
template <class Hit> void TestClicks(benchmark::State& state, Hit hit)
{
    if (MakeBenchRenderer() == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    {
        Items items(kItems, false);
        const TDrawSpec scene;
        const TVec2 point = ClickPoint();
        int hits = 0;
        for (auto _ : state)
            for (auto& item : items.mItems)
                hits += hit(*item, point, scene) ? 1 : 0;
        state.counters["hits"] =
            static_cast<double>(hits) / static_cast<double>(state.iterations());
    }
    TRenderer::DestroyInstance();
}

void BM_GameplayItems_HitTest60(benchmark::State& state)
{
    TestClicks(state, [](GameplayItem& item, const TVec2& point, const TDrawSpec& scene)
               { return item.HitTest(point, scene); });
}
BENCHMARK(BM_GameplayItems_HitTest60)->Unit(benchmark::kMicrosecond);

// The peer: the same bounds queries, then the one mask test, made on the sprites directly.
void BM_SpriteBoundsAndOneMaskTest60(benchmark::State& state)
{
    TestClicks(state,
               [](GameplayItem& item, const TVec2& point, const TDrawSpec& scene)
               {
                   TRect bounds;
                   item.GetMask()->GetBounds(bounds, item.GetImage()->GetSpec(), -1);
                   return point.x >= bounds.left && point.x < bounds.right &&
                          point.y >= bounds.top && point.y < bounds.bottom &&
                          item.GetMask()->HitTest(point, item.GetImage()->GetSpec().Combine(scene),
                                                  127, -1);
               });
}
BENCHMARK(BM_SpriteBoundsAndOneMaskTest60)->Unit(benchmark::kMicrosecond);

void BM_GameplayItems_FlyingFrame20(benchmark::State& state)
{
    TRenderer* renderer = MakeBenchRenderer();
    if (renderer == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    {
        Items items(kFlying, true);
        items.mScript.DoLuaString("_o = { name = 'gem', x = 700, y = 560 }");
        std::unique_ptr<TLuaTable> object(items.mScript.GetGlobalTable("_o"));
        GameplayInventory target(*object, *object);
        for (auto& item : items.mItems)
            item->StartFoundAnimation(nullptr, &target);
        uint32_t now = 1;
        const TDrawSpec scene;
        // Past the turn, into the long flight.
        for (int i = 0; i < 20; ++i)
        {
            items.mClock.SetFrameTime(now += 16);
            for (auto& item : items.mItems)
                item->Update(16);
            items.mTransforms.Update();
        }
        for (auto _ : state)
        {
            items.mClock.SetFrameTime(now += 16);
            for (auto& item : items.mItems)
                item->Update(16);
            items.mTransforms.Update();
            renderer->BeginDraw(false);
            renderer->Begin2d();
            for (auto& item : items.mItems)
                item->Draw(scene);
            for (auto& item : items.mItems)
                item->DrawEffects(scene);
            renderer->End2d();
            renderer->EndFrame(false);
        }
        state.counters["particles"] =
            items.mItems.front()->GetParticles()
                ? static_cast<double>(items.mItems.front()->GetParticles()->GetParticleCount())
                : 0;
    }
    TRenderer::DestroyInstance();
}
BENCHMARK(BM_GameplayItems_FlyingFrame20)->Unit(benchmark::kMicrosecond);
} // namespace
