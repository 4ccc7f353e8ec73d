// The game's HUD and light rays on the headless display: a HUD frame (pictures, 8 objects, both
// medallions glowing, two trackers each, the hint particles) beside the framework HUD's frame; one
// object's three-part bar beside 50 sprite draws; three rays updated and drawn in perspective; and
// the update of 1,000 rays. The frame is 16.7 ms: the asked shares are 0.1, 0.1 and 0.02 of it.
#include "../framework/adventure_bench_support.h"
#include "../render/display_bench_support.h"
#include "game/effects/godray.h"
#include "game/hud/gameplay_hint.h"
#include "game/hud/mkw_gameplay_hud.h"
#include "game/inventory/mkw_gameplay_inventory.h"
#include "particles/lua_particle_system.h"
#include "render/renderer/renderer.h"
#include "script/script.h"
#include "ui/window_style.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace
{

// The HUD's pictures, a medallion of four 72 x 72 frames and a tracker of two 20 x 20 frames,
// registered once per process.
void RegisterGamePictures()
{
    static BenchFiles* files = nullptr;
    if (files != nullptr)
        return;
    files = new BenchFiles;
    files->Png("bench/bg.png", std::vector<uint32_t>(800 * 100, 0xFF303030), 800, 100);
    files->Png("bench/fg.png", std::vector<uint32_t>(800 * 20, 0xFF806040), 800, 20);
    files->Png("bench/bar.png", std::vector<uint32_t>(200 * 12, 0xFF40C040), 200, 12);
    files->Png("bench/ray.png", std::vector<uint32_t>(64 * 256, 0x80FFFFFF), 64, 256);
    files->Png("bench/e.png", std::vector<uint32_t>(80, 0xFF303030), 8, 10);
    files->Png("bench/fill.png", std::vector<uint32_t>(80, 0xFFFFC040), 8, 10);
    auto sheet = [&](const std::string& name, int side, int frames, uint32_t argb)
    {
        files->Png(name + ".png",
                   std::vector<uint32_t>(static_cast<size_t>(side) * side * frames, argb),
                   static_cast<uint32_t>(side * frames), static_cast<uint32_t>(side));
        const std::string half = std::to_string(side / 2);
        std::string xml = "<sequence><img w=\"" + std::to_string(side * frames) + "\" h=\"" +
                          std::to_string(side) + "\" name=\"" + name.substr(6) +
                          ".png\"/><framelist>";
        for (int f = 0; f < frames; ++f)
            xml += "<frame x=\"" + std::to_string(f * side) + "\" y=\"0\" w=\"" +
                   std::to_string(side) + "\" h=\"" + std::to_string(side) + "\" regx=\"" + half +
                   "\" regy=\"" + half + "\"/>";
        files->Add(name + ".xml", xml + "</framelist></sequence>");
    };
    sheet("bench/med", 72, 4, 0xFFC08040);
    sheet("bench/trk", 20, 2, 0xFF80A0FF);
}

// The headless display with the pictures; null, the benchmark skipped, without a display.
TRenderer* Display(benchmark::State& state)
{
    TRenderer* renderer = MakeBenchRenderer();
    if (renderer == nullptr)
        state.SkipWithError("no display");
    RegisterGamePictures();
    return renderer;
}

std::string Medallion(int x, int trackerX)
{
    return "{ medallion = { image = 'bench/med', x = " + std::to_string(x) +
           ", y = 50 }, tracker = { hint_0 = { image = 'bench/trk', x = " +
           std::to_string(trackerX) +
           ", y = 28 }, hint_1 = { image = 'bench/trk', x = " + std::to_string(trackerX) +
           ", y = 72 } }, scrimx = " + std::to_string(x - 50) + ", scrimw = 100, scrimh = 100 }";
}

void BM_GameHud_Frame(benchmark::State& state)
{
    TRenderer* renderer = Display(state);
    if (renderer == nullptr)
        return;
    InventoryStrip strip(8);
    strip.mScript.DoLuaString(
        ("_h = { background = { image = 'bench/bg.png' }, foreground = { image = 'bench/fg.png', "
         "y = 80 }, progressbar = { image = 'bench/bar.png', x = 300, y = 4 }, inventorybounds = "
         "{ x = 100, y = 510, w = 700, h = 80 }, inventoryminhorzgap = 10, "
         "inventoryvertplacement = 550, hintinfo = { medallionspinduration = 800, timepulse = "
         "900, alphapulse = 0.6, timemedallionpulse = 1200, alphamedallionpulse = 0.5, "
         "timepulsedelay = 400 }, hintthessalor = " +
         Medallion(50, 110) + ", hintlirae = " + Medallion(750, 690) + " }")
            .c_str());
    std::unique_ptr<TLuaTable> table(strip.mScript.GetGlobalTable("_h"));
    TWindowStyle style(table.get());
    MKWGameplayHud hud;
    hud.SetSize(800, 100);
    hud.SetPosition(0, 500);
    hud.PostInit(style);
    for (const auto& object : strip.mObjects)
        hud.GetPendingInventory().push_back(object.get());
    hud.MergePendingInventory(false, nullptr);
    hud.SetProgressMax(4);
    hud.SetProgress(2);
    TLuaParticleSystem& particles = hud.GetHintParticles();
    particles.Load("SetNumParticles(64) pAge = Allocate(1) pAge:Anim(pAge + fTimeScale(1)) "
                   "Anim(fExpire(fLess(1, pAge))) pPosition:Init(Vec2(400, 300)) "
                   "pColor:Init(dColor) function Update(s) CreateParticles(40 * s) end");
    for (int i = 0; i < 60; ++i)
    {
        hud.RequestMedallionGlow(1);
        hud.RequestMedallionGlow(2);
        hud.Update();
        strip.Frame(16);
    }
    for (auto _ : state)
    {
        hud.RequestMedallionGlow(1);
        hud.RequestMedallionGlow(2);
        hud.Update();
        strip.Frame(16);
        renderer->BeginDraw(false);
        hud.Draw();
        renderer->EndFrame(false);
    }
    state.counters["particles"] = particles.GetParticleCount();
    state.counters["glow"] = hud.GetLiraeMedallion()->GetGlowAlpha();
}
BENCHMARK(BM_GameHud_Frame)->Unit(benchmark::kMicrosecond);

// One Lirae object's bar of three parts, two found.
void BM_GameInventory_Bar3(benchmark::State& state)
{
    TRenderer* renderer = Display(state);
    if (renderer == nullptr)
        return;
    TScript script;
    script.DoLuaString("_o = { name = 'o', type = 'lirae', partcount = 3, x = 400, y = 300 } "
                       "_s = { barfillgapx = 2, bary = 20, framealpha = 1, frameleft = 'bench/e', "
                       "framecenter = 'bench/e', frameright = 'bench/e', fillempty = 'bench/e', "
                       "filllirae = 'bench/fill' }");
    std::unique_ptr<TLuaTable> object(script.GetGlobalTable("_o"));
    std::unique_ptr<TLuaTable> shared(script.GetGlobalTable("_s"));
    MKWGameplayInventory inventory(*object, *shared);
    inventory.Init(*object, *shared);
    inventory.PlaceInHud(nullptr, false);
    for (auto _ : state)
    {
        renderer->BeginDraw(false);
        renderer->Begin2d();
        inventory.DrawProgressBar(TDrawSpec());
        renderer->End2d();
        renderer->EndFrame(false);
    }
}
BENCHMARK(BM_GameInventory_Bar3)->Unit(benchmark::kMicrosecond);

// The peer: 50 draws of an 8 x 10 sprite.
void BM_GameInventory_Sprites50(benchmark::State& state)
{
    TRenderer* renderer = Display(state);
    if (renderer == nullptr)
        return;
    auto sprite = TSprite::Create(0, TTexture::Get("bench/fill", 0));
    for (auto _ : state)
    {
        renderer->BeginDraw(false);
        renderer->Begin2d();
        for (int i = 0; i < 50; ++i)
            sprite->Draw(TDrawSpec(TVec2(static_cast<float>(350 + i), 320.0f)), 0);
        renderer->End2d();
        renderer->EndFrame(false);
    }
}
BENCHMARK(BM_GameInventory_Sprites50)->Unit(benchmark::kMicrosecond);

const char kRay[] =
    "{ texture = 'bench/ray', raydistancemin = 0.5, raydistancemax = 1, rayalphamin = 40, "
    "rayalphamax = 80, raylengthmin = 2, raylengthmax = 3, raywidthmin = 0.2, raywidthmax = 0.4, "
    "rayanglemin = 0.2, rayanglemax = 0.6, rayrotatespeedmin = 4000, rayrotatespeedmax = 8000 }";

std::vector<std::unique_ptr<Godray>> MakeRays(TScript& script, int count)
{
    script.DoLuaString((std::string("_r = ") + kRay).c_str());
    std::unique_ptr<TLuaTable> table(script.GetGlobalTable("_r"));
    std::vector<std::unique_ptr<Godray>> rays;
    for (int i = 0; i < count; ++i)
    {
        rays.push_back(std::make_unique<Godray>(*table, static_cast<uint32_t>(i + 1)));
        rays.back()->Randomise();
    }
    return rays;
}

void BM_Godray_Three3d(benchmark::State& state)
{
    TRenderer* renderer = Display(state);
    if (renderer == nullptr)
        return;
    TScript script;
    DeltaTime clock;
    TransformManager transforms;
    std::vector<std::unique_ptr<Godray>> rays = MakeRays(script, 3);
    TMat4 world;
    world.Translate(TVec3(0, 0, 10));
    uint32_t now = 1000;
    for (auto _ : state)
    {
        now += 16;
        clock.SetFrameTime(now);
        transforms.Update();
        renderer->BeginDraw(false);
        renderer->Begin3d();
        renderer->SetProjection(0.1f, 1000.0f, 0.785398f, 0);
        renderer->SetWorldMatrix(world);
        renderer->SetBlendMode(2);
        for (const auto& ray : rays)
        {
            ray->Update();
            ray->Draw(TDrawSpec(TVec2(), 0.8f));
        }
        renderer->SetBlendMode(0);
        renderer->End3d();
        renderer->EndFrame(false);
    }
}
BENCHMARK(BM_Godray_Three3d)->Unit(benchmark::kMicrosecond);

void BM_Godray_Update1000(benchmark::State& state)
{
    RegisterGamePictures();
    TScript script;
    TransformManager transforms;
    std::vector<std::unique_ptr<Godray>> rays = MakeRays(script, 1000);
    for (auto _ : state)
        for (const auto& ray : rays)
            ray->Update();
}
BENCHMARK(BM_Godray_Update1000)->Unit(benchmark::kMicrosecond);

} // namespace
