// The Observatory's and the Crypt's puzzles on the headless display, built from the game's own
// scripts and pictures (the repository's assets/, made by `make assets`, served from memory under
// their names; the scripts' sounds left out, as the display is all that is measured). Each frame
// is the puzzle's update then its draw, beside a peer measured in the same run:
// - the scroll (its desk, five buttons, the 20-vertex mesh, the lens and two glows) beside the same
//   sprites and one indexed draw issued directly (asked: at most 1.3 times);
// - the sky (the sky, the magnified quad, five clipped constellations, the lens and two plates)
//   as a share of a 16.7 ms frame (asked: at most 0.25, the "of_frame" counter);
// - the ritual (its altar, ten crystal draws, a beam half faded in) beside the same sprites drawn
//   directly (asked: at most 1.2 times);
// - the stone locks awaiting a click beside the same scene run as an ordinary scene (asked: at
//   most 1.05 times).
#include "../render/display_bench_support.h"
#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/entities/gameplay_layer.h"
#include "framework/adventure/scene/gameplay_factory.h"
#include "framework/core/delta_time.h"
#include "framework/transforms/transform_manager.h"
#include "game/minigames/heavens_scene.h"
#include "game/minigames/ritual_puzzle_scene.h"
#include "game/minigames/scroll_puzzle_scene.h"
#include "game/minigames/three_locks_minigame.h"
#include "game/runner/mkw_gameplay_factory.h"
#include "platform/files/file_layer.h"
#include "render/renderer/draw_spec.h"
#include "render/renderer/renderer.h"
#include "render/renderer/vertex_set.h"
#include "render/sprites/animated_texture.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <initializer_list>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace
{

constexpr double kFrameSeconds = 0.0167;

// A file of the content under assets/, served from memory under its own name; empty when the
// assets were not made.
const std::string& Content(const std::string& name)
{
    static auto* files = new std::map<std::string, std::string>;
    auto found = files->find(name);
    if (found != files->end())
        return found->second;
    std::ifstream in(std::string(MURKWELL_SOURCE_DIR) + "/assets/" + name, std::ios::binary);
    std::string& bytes = (*files)[name];
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!bytes.empty())
        RegisterMemoryFileName(name.c_str(), bytes.data(), static_cast<uint32_t>(bytes.size()));
    return bytes;
}

bool HaveContent(std::initializer_list<const char*> names)
{
    bool all = true;
    for (const char* name : names)
        all = !Content(name).empty() && all;
    return all;
}

// A scene's entities from a script table of the bench's own, as the game's factory makes them,
// each activated at once; the layers named in `faded` at half alpha.
class SceneFactory : public MKWGameplayFactory
{
public:
    SceneFactory(const std::string& scene, std::vector<std::string> faded = {})
        : mFaded(std::move(faded))
    {
        mScript.DoLuaString(("_scene = " + scene +
                             " _info = { iteminfo = {}, areainfo = {}, layerinfo = { fadetime = 0 "
                             "}, textinfo = {} }")
                                .c_str());
        mScene.reset(mScript.GetGlobalTable("_scene"));
        mInfo.reset(mScript.GetGlobalTable("_info"));
    }
    std::vector<std::shared_ptr<GameplayEntity>> CreateEntities(const TLuaTable&,
                                                                const TLuaTable&) override
    {
        std::vector<std::shared_ptr<GameplayEntity>> entities =
            MKWGameplayFactory::CreateEntities(*mScene, *mInfo);
        for (const std::shared_ptr<GameplayEntity>& entity : entities)
        {
            entity->Activate(false, nullptr);
            if (auto* layer = dynamic_cast<GameplayLayer*>(entity.get()))
                for (const std::string& name : mFaded)
                    if (name == layer->GetName().c_str())
                        layer->GetTransform().SetAlpha(0.5f);
        }
        return entities;
    }
    const TLuaTable& Info() const { return *mInfo; }

private:
    std::vector<std::string> mFaded;
    TScript mScript;
    std::unique_ptr<TLuaTable> mScene;
    std::unique_ptr<TLuaTable> mInfo;
};

// The puzzle's script from the content, then `after` (which drops its sounds), in a context of
// its own as the runner runs it.
std::unique_ptr<TScript> PuzzleScript(const char* name, const char* after)
{
    auto script = std::make_unique<TScript>();
    script->DoLuaString(Content(std::string("scripts/minigames/") + name).c_str());
    script->DoLuaString(after);
    return script;
}

template <class Scene> struct Puzzle
{
    Puzzle(const std::string& sceneTable, const char* script, const char* after,
           std::vector<std::string> faded = {})
        : mFactory(sceneTable, std::move(faded))
    {
        std::unique_ptr<TScript> puzzle = PuzzleScript(script, after);
        mScript.DoLuaString("_s = {}");
        std::unique_ptr<TLuaTable> scene(mScript.GetGlobalTable("_s"));
        mScene = std::make_unique<Scene>(mFactory, mFactory.Info(), "puzzle", *scene, nullptr,
                                         mFactory.Info(), *puzzle);
        mScene->LoadTextures();
    }
    // The state's first byte set to `value` and loaded back, as a restored record does.
    void Restore(uint8_t value)
    {
        std::vector<uint8_t> state;
        mScene->SaveState(state);
        state[0] = value;
        mScene->LoadState(state.data(), state.size());
    }
    DeltaTime mClock;
    TransformManager mTransforms;
    TScript mScript;
    SceneFactory mFactory;
    std::unique_ptr<Scene> mScene;
};

// Frames drawn between the renderer's own begin and end; `frame` does the work of one.
template <class Frame> void RunFrames(benchmark::State& state, Frame frame)
{
    TRenderer* renderer = MakeBenchRenderer();
    if (renderer == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    for (auto _ : state)
    {
        renderer->BeginDraw(false);
        renderer->Begin2d();
        frame();
        renderer->End2d();
        renderer->EndFrame(false);
    }
}

std::shared_ptr<TSprite> Sprite(const char* image, float x, float y)
{
    std::shared_ptr<TSprite> sprite = TSprite::Create(0, TTexture::Get(image, 0));
    sprite->GetSpec() = TDrawSpec(TVec2(x, y));
    return sprite;
}

std::shared_ptr<TAnimatedSprite> Animated(const char* image, float x, float y, int32_t frame)
{
    std::shared_ptr<TAnimatedSprite> sprite = TAnimatedSprite::Create(0);
    sprite->SetTexture(TAnimatedTexture::Get(image));
    sprite->GetSpec() = TDrawSpec(TVec2(x, y));
    sprite->SetFrame(frame);
    return sprite;
}

// The scroll ---------------------------------------------------------------------------------

const char kDesk[] = "{ layers = { { name = 'scrolldesk_bg', image = 'scenes/scrolldesk/bg', "
                     "depth = 100, x = 400, y = 300 } } }";

bool HaveScroll()
{
    return HaveContent({"scripts/minigames/scrollpuzzle.lua", "scenes/scrolldesk/bg.jpg",
                        "puzzles/scrollbtn.xml", "puzzles/scrollbtn.png", "puzzles/glow.png",
                        "puzzles/lens.png", "puzzles/symbols.png"});
}

struct Scroll : Puzzle<ScrollPuzzleScene>
{
    Scroll() : Puzzle(kDesk, "scrollpuzzle.lua", "scrollpuzzle.soundclick = nil") { Restore(2); }
};

void BM_ScrollPuzzle_Frame(benchmark::State& state)
{
    if (!HaveScroll())
        return state.SkipWithError("the content's pictures are missing: make assets");
    {
        Scroll scroll;
        RunFrames(state,
                  [&scroll]
                  {
                      scroll.mScene->Update(16, true, true);
                      scroll.mScene->Draw(TDrawSpec());
                  });
    }
    TRenderer::DestroyInstance();
}
BENCHMARK(BM_ScrollPuzzle_Frame)->Unit(benchmark::kMicrosecond);

// The peer: the desk, the five buttons (two lit), the mesh as one indexed draw of the same
// vertices, the lens and two glows, each straight from a sprite of the same picture.
void BM_ScrollPuzzle_SpritesAndMeshDirect(benchmark::State& state)
{
    if (!HaveScroll())
        return state.SkipWithError("the content's pictures are missing: make assets");
    {
        Scroll scroll;
        const ScrollPuzzleScene& scene = *scroll.mScene;
        const auto vertices = scene.GetSymbols().PlacedVertices();
        std::shared_ptr<TSprite> desk;
        std::vector<std::shared_ptr<TAnimatedSprite>> buttons;
        std::vector<std::shared_ptr<TSprite>> lensAndGlows;
        std::shared_ptr<TTexture> symbols;
        RunFrames(
            state,
            [&]
            {
                if (desk == nullptr)
                {
                    desk = Sprite("scenes/scrolldesk/bg", 400, 300);
                    for (size_t i = 0; i < ScrollPuzzleScene::kAnswers; ++i)
                        buttons.push_back(Animated(
                            "puzzles/scrollbtn", static_cast<float>(scene.GetButton(i).GetX()),
                            static_cast<float>(scene.GetButton(i).GetY()), i < 2 ? 0 : 1));
                    const float x = static_cast<float>(scene.GetLens().GetX());
                    const float y = static_cast<float>(scene.GetLens().GetY());
                    lensAndGlows.push_back(Sprite("puzzles/lens", x, y + 40));
                    for (size_t i = 0; i < 2; ++i)
                        lensAndGlows.push_back(
                            Sprite("puzzles/glow",
                                   x + static_cast<float>(scene.GetLens().GetGlow(i).GetX()),
                                   y + 40 + static_cast<float>(scene.GetLens().GetGlow(i).GetY())));
                    symbols = TTexture::Get("puzzles/symbols", 0);
                }
                desk->Draw(TDrawSpec());
                for (const auto& button : buttons)
                    button->Draw(TDrawSpec());
                TRenderer* renderer = TRenderer::Instance();
                renderer->SetTexture(symbols);
                TVertexSet* set = TVertexSet::CreateColored(vertices.data(),
                                                            static_cast<uint32_t>(vertices.size()));
                renderer->DrawIndexedVertices(ScrollSymbols::kTriangleList, *set,
                                              ScrollSymbols::kQuadIndices.data(),
                                              ScrollSymbols::kIndices);
                TVertexSet::Release(set);
                renderer->SetTexture(nullptr);
                for (const auto& sprite : lensAndGlows)
                    sprite->Draw(TDrawSpec());
            });
    }
    TRenderer::DestroyInstance();
}
BENCHMARK(BM_ScrollPuzzle_SpritesAndMeshDirect)->Unit(benchmark::kMicrosecond);

// The sky --------------------------------------------------------------------------------------

void BM_HeavensScene_Frame(benchmark::State& state)
{
    if (!HaveContent({"scripts/minigames/searchingtheheavens.lua", "scenes/telescope/frame.png",
                      "puzzles/sky.jpg", "puzzles/heavens_lens.png", "puzzles/plate.png",
                      "puzzles/const.png", "puzzles/const_1.xml", "puzzles/const_2.xml",
                      "puzzles/const_3.xml", "puzzles/const_4.xml", "puzzles/const_5.xml"}))
        return state.SkipWithError("the content's pictures are missing: make assets");
    {
        Puzzle<HeavensScene> sky("{ layers = { { name = 'telescope_bg', "
                                 "image = 'scenes/telescope/frame', depth = 100, x = 400, "
                                 "y = 300 } } }",
                                 "searchingtheheavens.lua", "searchingtheheavens.soundfound = nil");
        // Two plates lit: the lens draws them too.
        sky.Restore(0x05);
        RunFrames(state,
                  [&sky]
                  {
                      sky.mScene->Update(16, true, true);
                      sky.mScene->Draw(TDrawSpec());
                  });
    }
    TRenderer::DestroyInstance();
    // The share of a 16.7 ms frame (printed with SI prefixes: "50m" is 0.05).
    state.counters["of_frame"] = benchmark::Counter(
        kFrameSeconds, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_HeavensScene_Frame)->Unit(benchmark::kMicrosecond);

// The ritual -----------------------------------------------------------------------------------

const char kAltar[] = "{ layers = { { name = 'altar_bg', image = 'scenes/altar/bg', depth = 100, "
                      "x = 400, y = 300 }, { name = 'ritual_whitegreen', "
                      "image = 'puzzles/beam_1', depth = 50, x = 400, y = 150 } } }";

bool HaveRitual()
{
    return HaveContent({"scripts/minigames/ritualpuzzle.lua", "scenes/altar/bg.jpg",
                        "puzzles/crystal.xml", "puzzles/crystal.png", "puzzles/beam_1.png"});
}

struct Ritual : Puzzle<RitualPuzzleScene>
{
    // One pattern answered, its beam half faded in; the next taking answers.
    Ritual()
        : Puzzle(kAltar, "ritualpuzzle.lua",
                 "for _, crystal in pairs(ritualpuzzle.crystals) do crystal.sound = nil end",
                 {"ritual_whitegreen"})
    {
        Restore(1);
    }
};

void BM_RitualPuzzle_Frame(benchmark::State& state)
{
    if (!HaveRitual())
        return state.SkipWithError("the content's pictures are missing: make assets");
    {
        Ritual ritual;
        RunFrames(state,
                  [&ritual]
                  {
                      ritual.mScene->Update(16, true, true);
                      ritual.mScene->Draw(TDrawSpec());
                  });
    }
    TRenderer::DestroyInstance();
}
BENCHMARK(BM_RitualPuzzle_Frame)->Unit(benchmark::kMicrosecond);

// The peer: the altar, the beam at half alpha and each crystal's two frames, straight from
// sprites of the same pictures.
void BM_RitualPuzzle_SpritesDirect(benchmark::State& state)
{
    if (!HaveRitual())
        return state.SkipWithError("the content's pictures are missing: make assets");
    {
        Ritual ritual;
        std::shared_ptr<TSprite> altar;
        std::shared_ptr<TSprite> beam;
        std::vector<std::shared_ptr<TAnimatedSprite>> crystals;
        TDrawSpec glow;
        glow.mAlpha = 0.0f;
        RunFrames(state,
                  [&]
                  {
                      if (altar == nullptr)
                      {
                          altar = Sprite("scenes/altar/bg", 400, 300);
                          beam = Sprite("puzzles/beam_1", 400, 150);
                          beam->GetSpec().mAlpha = 0.5f;
                          for (size_t i = 0; i < RitualPuzzleScene::kCrystals; ++i)
                          {
                              const RitualCrystal& crystal = ritual.mScene->GetCrystal(i);
                              crystals.push_back(Animated("puzzles/crystal",
                                                          static_cast<float>(crystal.GetX()),
                                                          static_cast<float>(crystal.GetY()), 1));
                          }
                      }
                      altar->Draw(TDrawSpec());
                      beam->Draw(TDrawSpec());
                      for (const auto& crystal : crystals)
                      {
                          crystal->SetFrame(1);
                          crystal->Draw(TDrawSpec(), -1);
                          crystal->SetFrame(0);
                          crystal->Draw(glow, -1);
                      }
                  });
    }
    TRenderer::DestroyInstance();
}
BENCHMARK(BM_RitualPuzzle_SpritesDirect)->Unit(benchmark::kMicrosecond);

// The stone locks ------------------------------------------------------------------------------

// The vault as the game places it: the backdrop, each lock centred on its own origin under a seat
// layer that places it, the eyes above, the cover's area completed.
std::string Vault()
{
    std::string layers = "{ name = 'vault_bg', image = 'scenes/vault/bg', depth = 100, x = 400, "
                         "y = 300 }, ";
    for (int i = 1; i <= 3; ++i)
    {
        const std::string n = std::to_string(i);
        const std::string x = std::to_string(100 + 150 * i);
        layers += "{ name = 'lock" + n + "_seat', x = " + x + ", y = 170, depth = 60 }, " +
                  "{ name = 'lock" + n + "', image = 'puzzles/stonelock', depth = 50, " +
                  "parentlayer = 'lock" + n + "_seat', parentposition = true }, { name = 'eye" + n +
                  "', image = 'puzzles/eye', x = " + x + ", y = 80, depth = 50 }, ";
    }
    return "{ layers = { " + layers +
           "}, areas = { { name = 'area_vaultcover', image = 'scenes/vault/slab', x = 400, "
           "y = 360, depth = 60, events = {} } } }";
}

bool HaveVault()
{
    return HaveContent({"scripts/minigames/threelocks.lua", "scenes/vault/bg.jpg",
                        "scenes/vault/slab.png", "puzzles/stonelock.png", "puzzles/eye.png"});
}

void BM_ThreeLocks_Frame(benchmark::State& state)
{
    if (!HaveVault())
        return state.SkipWithError("the content's pictures are missing: make assets");
    {
        Puzzle<ThreeLocksMinigame> locks(Vault(), "threelocks.lua", "soundrotate = nil");
        // The cover lifted and the first sequence shown, the frame clock stepped by hand: the
        // puzzle awaits a click.
        GameplayArea* cover = locks.mScene->GetStatusArea();
        if (cover != nullptr)
            cover->SetFlags(static_cast<uint8_t>(cover->GetFlags() | GameplayArea::kCompleted));
        for (uint32_t now = 16;
             now < 10000 && locks.mScene->GetState() != ThreeLocksMinigame::kAwaitingClick;
             now += 16)
        {
            locks.mClock.Advance(now);
            locks.mTransforms.Update();
            locks.mScene->Update(16, true, true);
        }
        if (locks.mScene->GetState() != ThreeLocksMinigame::kAwaitingClick)
            return state.SkipWithError("the locks never awaited a click");
        RunFrames(state,
                  [&locks]
                  {
                      locks.mScene->Update(16, true, true);
                      locks.mScene->Draw(TDrawSpec());
                  });
    }
    TRenderer::DestroyInstance();
}
BENCHMARK(BM_ThreeLocks_Frame)->Unit(benchmark::kMicrosecond);

// The peer: the same vault as an ordinary scene.
void BM_ThreeLocks_OrdinaryScene(benchmark::State& state)
{
    if (!HaveVault())
        return state.SkipWithError("the content's pictures are missing: make assets");
    {
        DeltaTime clock;
        TransformManager transforms;
        SceneFactory factory(Vault());
        TScript script;
        script.DoLuaString("_s = {}");
        std::unique_ptr<TLuaTable> scene(script.GetGlobalTable("_s"));
        GameplayScene vault(factory, factory.Info(), "vault", *scene, nullptr, factory.Info());
        vault.LoadTextures();
        RunFrames(state,
                  [&vault]
                  {
                      vault.Update(16, true, true);
                      vault.Draw(TDrawSpec());
                  });
    }
    TRenderer::DestroyInstance();
}
BENCHMARK(BM_ThreeLocks_OrdinaryScene)->Unit(benchmark::kMicrosecond);

} // namespace
