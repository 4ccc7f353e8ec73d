// The electronic lock: one frame (its update, then the base scene's panel layer and the nine keys
// drawn) beside the same ten sprites drawn directly (asked: at most 1.3 times the peer); and the
// lock made by the runner's puzzle row from the game's own script (asked: at most 0.1 of a
// 16.7 ms frame, the "of_frame" counter).
#include "../render/display_bench_support.h"
#include "framework/adventure/entities/gameplay_layer.h"
#include "framework/adventure/scene/gameplay_factory.h"
#include "framework/core/delta_time.h"
#include "framework/transforms/transform_manager.h"
#include "game/minigames/puzzles/electronic_lock/electronic_lock_scene.h"
#include "game/runner/mkw_gameplay.h"
#include "platform/files/file_layer.h"
#include "render/renderer/draw_spec.h"
#include "render/renderer/renderer.h"
#include "render/sprites/animated_texture.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"
#include "sys/display/presenter/surface_png.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace
{

constexpr double kFrameSeconds = 0.0167;

// The panel (300 x 300) and a key sheet of three 64 x 64 frames registered at their middles, the
// sizes the game draws.
void RegisterPictures()
{
    static std::vector<std::vector<uint8_t>>* files = nullptr;
    if (files != nullptr)
        return;
    files = new std::vector<std::vector<uint8_t>>;
    std::vector<uint32_t> panel(300 * 300, 0xFF806040u);
    files->push_back(sys::display::EncodePng(panel.data(), 300, 300));
    RegisterMemoryFileName("bench/panel.png", files->back().data(),
                           static_cast<uint32_t>(files->back().size()));
    std::vector<uint32_t> keys(192 * 64);
    for (size_t i = 0; i < keys.size(); ++i)
        keys[i] = (i % 192) < 64 ? 0xFF302418u : (i % 192) < 128 ? 0xFF402010u : 0xFFF0C060u;
    files->push_back(sys::display::EncodePng(keys.data(), 192, 64));
    RegisterMemoryFileName("bench/lockbtn.png", files->back().data(),
                           static_cast<uint32_t>(files->back().size()));
    static const std::string xml =
        "<sequence><img w=\"192\" h=\"64\" name=\"lockbtn.png\"/><framelist>"
        "<frame x=\"0\" y=\"0\" w=\"64\" h=\"64\" regx=\"32\" regy=\"32\"/>"
        "<frame x=\"64\" y=\"0\" w=\"64\" h=\"64\" regx=\"32\" regy=\"32\"/>"
        "<frame x=\"128\" y=\"0\" w=\"64\" h=\"64\" regx=\"32\" regy=\"32\"/></framelist>"
        "</sequence>";
    RegisterMemoryFileName("bench/lockbtn.xml", xml.data(), static_cast<uint32_t>(xml.size()));
}

// The lock panel's one layer.
class PanelFactory : public GameplayFactory
{
public:
    std::vector<std::shared_ptr<GameplayEntity>> CreateEntities(const TLuaTable&,
                                                                const TLuaTable& info) override
    {
        mScript.DoLuaString("_t = { name = 'panel', image = 'bench/panel', depth = 100, "
                            "x = 400, y = 280 }");
        std::unique_ptr<TLuaTable> table(mScript.GetGlobalTable("_t"));
        auto layer = std::make_shared<GameplayLayer>(*table, info);
        layer->Activate(false, nullptr);
        return {layer};
    }
    TScript mScript;
};

std::string LockScript(const char* image)
{
    std::string text = "gs_cursorHandOpen = 'handopen' gs_cursorHandClosed = 'handclosed' "
                       "electroniclock = { buttons = { ";
    for (int i = 0; i < 9; ++i)
        text += "button0" + std::to_string(i + 1) +
                " = { x = " + std::to_string(320 + 80 * (i % 3)) +
                ", y = " + std::to_string(200 + 80 * (i / 3)) + ", image = '" + image + "' }, ";
    return text + "} }";
}

struct Lock
{
    Lock()
    {
        RegisterPictures();
        mScript.DoLuaString("_e = {} _s = {}");
        std::unique_ptr<TLuaTable> empty(mScript.GetGlobalTable("_e"));
        std::unique_ptr<TLuaTable> scene(mScript.GetGlobalTable("_s"));
        TScript puzzle;
        puzzle.DoLuaString(LockScript("bench/lockbtn").c_str());
        mLock = std::make_unique<ElectronicLockScene>(mFactory, *empty, "lock", *scene, nullptr,
                                                      *empty, puzzle);
        mLock->LoadTextures();
        // Half lit: both frames in every drawn frame.
        mLock->OnMouseDown(TPoint{320, 200});
        mLock->OnMouseDown(TPoint{480, 360});
    }
    DeltaTime mClock;
    TransformManager mTransforms;
    TScript mScript;
    PanelFactory mFactory;
    std::unique_ptr<ElectronicLockScene> mLock;
};

template <class Frame> void RunFrames(benchmark::State& state, Frame frame)
{
    TRenderer* renderer = MakeBenchRenderer();
    if (renderer == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    {
        Lock lock;
        for (auto _ : state)
        {
            renderer->BeginDraw(false);
            renderer->Begin2d();
            frame(*lock.mLock);
            renderer->End2d();
            renderer->EndFrame(false);
        }
    }
    TRenderer::DestroyInstance();
}

void BM_ElectronicLock_Frame(benchmark::State& state)
{
    const TDrawSpec spec;
    RunFrames(state,
              [&spec](ElectronicLockScene& lock)
              {
                  lock.Update(16, true, true);
                  lock.Draw(spec);
              });
}
BENCHMARK(BM_ElectronicLock_Frame)->Unit(benchmark::kMicrosecond);

// The peer: the panel and nine key sprites, drawn straight from sprites of the same pictures.
void BM_ElectronicLock_TenSpritesDirect(benchmark::State& state)
{
    RegisterPictures();
    std::shared_ptr<TSprite> panel;
    std::vector<std::shared_ptr<TAnimatedSprite>> keys;
    RunFrames(state,
              [&](ElectronicLockScene&)
              {
                  if (panel == nullptr)
                  {
                      panel = TSprite::Create(0, TTexture::Get("bench/panel", 0));
                      panel->GetSpec() = TDrawSpec(TVec2(250, 130));
                      panel->GetSpec().mFlags |= kDrawOrigin;
                      for (int i = 0; i < 9; ++i)
                      {
                          keys.push_back(TAnimatedSprite::Create(0));
                          keys.back()->SetTexture(TAnimatedTexture::Get("bench/lockbtn"));
                          keys.back()->GetSpec() =
                              TDrawSpec(TVec2(static_cast<float>(320 + 80 * (i % 3)),
                                              static_cast<float>(200 + 80 * (i / 3))));
                          keys.back()->SetFrame(i % 2 == 0 ? 2 : 0);
                      }
                  }
                  panel->Draw(TDrawSpec());
                  for (const auto& key : keys)
                      key->Draw(TDrawSpec());
              });
    keys.clear();
    panel.reset();
}
BENCHMARK(BM_ElectronicLock_TenSpritesDirect)->Unit(benchmark::kMicrosecond);

// The runner's own row: a fresh context, the game's script run in it (served from memory under
// its name), the scene built from it, the context deleted.
void BM_ElectronicLock_Create(benchmark::State& state)
{
    std::ifstream in(std::string(MURKWELL_SOURCE_DIR) +
                     "/assets/scripts/minigames/electroniclock.lua");
    static const std::string text((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    if (text.empty())
    {
        state.SkipWithError("no lock script");
        return;
    }
    RegisterMemoryFileName("assets/scripts/minigames/electroniclock.lua", text.data(),
                           static_cast<uint32_t>(text.size()));
    MKWGameplay::RegisterMinigameScene("ElectronicLockScene", &ElectronicLockScene::Create);
    std::unique_ptr<MKWGameplay> runner(static_cast<MKWGameplay*>(MKWGameplay::Create()));
    TScript tables;
    tables.DoLuaString("_e = {} _s = {}");
    std::unique_ptr<TLuaTable> empty(tables.GetGlobalTable("_e"));
    std::unique_ptr<TLuaTable> scene(tables.GetGlobalTable("_s"));
    GameplayFactory factory;
    for (auto _ : state)
    {
        std::shared_ptr<GameplayScene> lock = runner->CreateScene(
            "lock", factory, *scene, *empty, nullptr, *empty, "electroniclockscene");
        benchmark::DoNotOptimize(lock.get());
    }
    // The share of a 16.7 ms frame (printed with SI prefixes: "5m" is 0.005).
    state.counters["of_frame"] = benchmark::Counter(
        kFrameSeconds, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    MKWGameplay::RegisterMinigameScene("ElectronicLockScene", nullptr);
}
BENCHMARK(BM_ElectronicLock_Create)->Unit(benchmark::kMicrosecond);

} // namespace
