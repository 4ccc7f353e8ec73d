// The Observatory's and the Crypt's puzzles on the headless display, built from the game's own
// scripts and pictures (the repository's assets/, made by `make assets`, served from memory under
// their names; the scripts' sounds left out, as the display is all that is measured). A puzzle's
// frame is its update then its draw. Where a peer is asked for, each iteration draws one frame of
// the puzzle and one of the peer, each timed by this thread's processor clock, so that both see
// the same load: "puzzle_us" and "peer_us" per frame and "ratio", the puzzle's over the peer's.
// - the scroll (its desk, five buttons, the 20-vertex mesh, the lens and two glows) beside the same
//   sprites and one indexed draw issued directly (asked: a ratio of at most 1.3);
// - the sky (the sky, the magnified quad, five clipped constellations, the lens and two plates)
//   as a share of a 16.7 ms frame (asked: at most 0.25, the "of_frame" counter);
// - the ritual (its altar, ten crystal draws, a beam half faded in) beside the same sprites drawn
//   directly (asked: at most 1.2);
// - the stone locks awaiting a click beside the same vault run as an ordinary scene (asked: at
//   most 1.05).
#include "../render/display_bench_support.h"
#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/entities/gameplay_layer.h"
#include "framework/adventure/scene/gameplay_factory.h"
#include "framework/core/delta_time.h"
#include "framework/transforms/transform_manager.h"
#include "game/minigames/puzzles/heavens/heavens_scene.h"
#include "game/minigames/puzzles/ritual/ritual_puzzle_scene.h"
#include "game/minigames/puzzles/scroll/scroll_puzzle_scene.h"
#include "game/minigames/puzzles/three_locks/three_locks_minigame.h"
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

#include <ctime>

#include <array>
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
// each activated and shown at once; the layers named in `faded` at half alpha.
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
            entity->Show(false, nullptr);
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

double ThreadMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

template <class Work> void DrawOneFrame(TRenderer& renderer, Work& work)
{
    renderer.BeginDraw(false);
    renderer.Begin2d();
    work();
    renderer.End2d();
    renderer.EndFrame(false);
}

// With the bench's display made, `run` builds what it measures and calls one of the two below;
// the display goes after everything drawn on it.
template <class Run> void WithDisplay(benchmark::State& state, Run run)
{
    TRenderer* renderer = MakeBenchRenderer();
    if (renderer == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    run(*renderer);
    TRenderer::DestroyInstance();
}

// A frame of the puzzle, then one of its peer, in every iteration.
template <class Puzzle, class Peer>
void Paired(benchmark::State& state, TRenderer& renderer, Puzzle puzzle, Peer peer)
{
    double puzzleMs = 0;
    double peerMs = 0;
    for (auto _ : state)
    {
        const double start = ThreadMs();
        DrawOneFrame(renderer, puzzle);
        const double between = ThreadMs();
        DrawOneFrame(renderer, peer);
        peerMs += ThreadMs() - between;
        puzzleMs += between - start;
    }
    const double frames = static_cast<double>(state.iterations());
    state.counters["puzzle_us"] = frames > 0 ? puzzleMs * 1000.0 / frames : 0;
    state.counters["peer_us"] = frames > 0 ? peerMs * 1000.0 / frames : 0;
    state.counters["ratio"] = peerMs > 0 ? puzzleMs / peerMs : 0;
}

template <class Scene> auto FrameOf(Scene& scene)
{
    return [&scene]
    {
        scene.Update(16, true, true);
        scene.Draw(TDrawSpec());
    };
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

const char kMissing[] = "the content's pictures are missing: make assets";

// The scroll ---------------------------------------------------------------------------------

// The content's backdrop: centred on the screen (alignment 5).
const char kDesk[] = "{ layers = { { name = 'scrolldesk_bg', image = 'scenes/scrolldesk/bg', "
                     "depth = 100, x = 400, y = 300, flags = 5 } } }";

struct Scroll : Puzzle<ScrollPuzzleScene>
{
    Scroll() : Puzzle(kDesk, "scrollpuzzle.lua", "scrollpuzzle.soundclick = nil") { Restore(2); }
};

// The desk, the five buttons (two lit), the mesh as one indexed draw of the same vertices, the
// lens and two glows, each straight from a sprite of the same picture.
struct ScrollDirect
{
    explicit ScrollDirect(const ScrollPuzzleScene& scene)
        : mDesk(Sprite("scenes/scrolldesk/bg", 400, 300)),
          mSymbols(TTexture::Get("puzzles/symbols", 0)),
          mVertices(scene.GetSymbols().PlacedVertices())
    {
        for (size_t i = 0; i < ScrollPuzzleScene::kAnswers; ++i)
            mButtons.push_back(
                Animated("puzzles/scrollbtn", static_cast<float>(scene.GetButton(i).GetX()),
                         static_cast<float>(scene.GetButton(i).GetY()), i < 2 ? 0 : 1));
        const float x = static_cast<float>(scene.GetLens().GetX());
        const float y = static_cast<float>(scene.GetLens().GetY()) + 40;
        mLensAndGlows.push_back(Sprite("puzzles/lens", x, y));
        for (size_t i = 0; i < 2; ++i)
            mLensAndGlows.push_back(
                Sprite("puzzles/glow", x + static_cast<float>(scene.GetLens().GetGlow(i).GetX()),
                       y + static_cast<float>(scene.GetLens().GetGlow(i).GetY())));
    }
    void operator()()
    {
        mDesk->Draw(TDrawSpec());
        for (const auto& button : mButtons)
            button->Draw(TDrawSpec());
        TRenderer* renderer = TRenderer::Instance();
        renderer->SetTexture(mSymbols);
        TVertexSet* set =
            TVertexSet::CreateColored(mVertices.data(), static_cast<uint32_t>(mVertices.size()));
        renderer->DrawIndexedVertices(ScrollSymbols::kTriangleList, *set,
                                      ScrollSymbols::kQuadIndices.data(), ScrollSymbols::kIndices);
        TVertexSet::Release(set);
        renderer->SetTexture(nullptr);
        for (const auto& sprite : mLensAndGlows)
            sprite->Draw(TDrawSpec());
    }
    std::shared_ptr<TSprite> mDesk;
    std::vector<std::shared_ptr<TAnimatedSprite>> mButtons;
    std::vector<std::shared_ptr<TSprite>> mLensAndGlows;
    std::shared_ptr<TTexture> mSymbols;
    std::array<TColoredVertex, ScrollSymbols::kVertices> mVertices;
};

void BM_ScrollPuzzle_FrameBesideDirectDraws(benchmark::State& state)
{
    if (!HaveContent({"scripts/minigames/scrollpuzzle.lua", "scenes/scrolldesk/bg.jpg",
                      "puzzles/scrollbtn.xml", "puzzles/scrollbtn.png", "puzzles/glow.png",
                      "puzzles/lens.png", "puzzles/symbols.png"}))
        return state.SkipWithError(kMissing);
    WithDisplay(state,
                [&state](TRenderer& renderer)
                {
                    Scroll scroll;
                    ScrollDirect direct(*scroll.mScene);
                    Paired(state, renderer, FrameOf(*scroll.mScene), direct);
                });
}
BENCHMARK(BM_ScrollPuzzle_FrameBesideDirectDraws)->Unit(benchmark::kMicrosecond);

// The sky --------------------------------------------------------------------------------------

void BM_HeavensScene_Frame(benchmark::State& state)
{
    if (!HaveContent({"scripts/minigames/searchingtheheavens.lua", "scenes/telescope/frame.png",
                      "puzzles/sky.jpg", "puzzles/heavens_lens.png", "puzzles/plate.png",
                      "puzzles/const.png", "puzzles/const_1.xml", "puzzles/const_2.xml",
                      "puzzles/const_3.xml", "puzzles/const_4.xml", "puzzles/const_5.xml"}))
        return state.SkipWithError(kMissing);
    WithDisplay(state,
                [&state](TRenderer& renderer)
                {
                    Puzzle<HeavensScene> sky("{ layers = { { name = 'telescope_bg', "
                                             "image = 'scenes/telescope/frame', depth = 100, "
                                             "x = 400, y = 300, flags = 5 } } }",
                                             "searchingtheheavens.lua",
                                             "searchingtheheavens.soundfound = nil");
                    // Two plates lit: the lens draws them too.
                    sky.Restore(0x05);
                    auto frame = FrameOf(*sky.mScene);
                    double ms = 0;
                    for (auto _ : state)
                    {
                        const double start = ThreadMs();
                        DrawOneFrame(renderer, frame);
                        ms += ThreadMs() - start;
                    }
                    const double frames = static_cast<double>(state.iterations());
                    state.counters["of_frame"] =
                        frames > 0 ? ms / frames / (kFrameSeconds * 1000.0) : 0;
                });
}
BENCHMARK(BM_HeavensScene_Frame)->Unit(benchmark::kMicrosecond);

// The ritual -----------------------------------------------------------------------------------

const char kAltar[] = "{ layers = { { name = 'altar_bg', image = 'scenes/altar/bg', depth = 100, "
                      "x = 400, y = 300, flags = 5 }, { name = 'ritual_whitegreen', "
                      "image = 'puzzles/beam_1', depth = 50, x = 400, y = 100, flags = 5 } } }";

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

// The altar, the beam at half alpha and each crystal's two frames (the glow's under its spec),
// straight from sprites of the same pictures.
struct RitualDirect
{
    explicit RitualDirect(const RitualPuzzleScene& scene)
        : mAltar(Sprite("scenes/altar/bg", 400, 300)), mBeam(Sprite("puzzles/beam_1", 400, 100))
    {
        mBeam->GetSpec().mAlpha = 0.5f;
        mGlow.mAlpha = scene.GetCrystal(0).GetGlow();
        for (size_t i = 0; i < RitualPuzzleScene::kCrystals; ++i)
            mCrystals.push_back(Animated("puzzles/crystal",
                                         static_cast<float>(scene.GetCrystal(i).GetX()),
                                         static_cast<float>(scene.GetCrystal(i).GetY()), 1));
    }
    void operator()()
    {
        mAltar->Draw(TDrawSpec());
        mBeam->Draw(TDrawSpec());
        for (const auto& crystal : mCrystals)
        {
            crystal->SetFrame(1);
            crystal->Draw(TDrawSpec(), -1);
            crystal->SetFrame(0);
            crystal->Draw(mGlow, -1);
        }
    }
    std::shared_ptr<TSprite> mAltar;
    std::shared_ptr<TSprite> mBeam;
    std::vector<std::shared_ptr<TAnimatedSprite>> mCrystals;
    TDrawSpec mGlow;
};

void BM_RitualPuzzle_FrameBesideDirectDraws(benchmark::State& state)
{
    if (!HaveContent({"scripts/minigames/ritualpuzzle.lua", "scenes/altar/bg.jpg",
                      "puzzles/crystal.xml", "puzzles/crystal.png", "puzzles/beam_1.png"}))
        return state.SkipWithError(kMissing);
    WithDisplay(state,
                [&state](TRenderer& renderer)
                {
                    Ritual ritual;
                    RitualDirect direct(*ritual.mScene);
                    Paired(state, renderer, FrameOf(*ritual.mScene), direct);
                });
}
BENCHMARK(BM_RitualPuzzle_FrameBesideDirectDraws)->Unit(benchmark::kMicrosecond);

// The stone locks ------------------------------------------------------------------------------

// The vault as the game places it: the backdrop, each lock centred on its own origin under a seat
// layer that places it, the eyes above, the cover's area completed.
std::string Vault()
{
    std::string layers =
        "{ name = 'vault_bg', image = 'scenes/vault/bg', depth = 100, x = 400, "
        "y = 300, flags = 5 }, { name = 'vault_slab', image = 'scenes/vault/slab', "
        "depth = 60, x = 400, y = 360, flags = 5 }, ";
    for (int i = 1; i <= 3; ++i)
    {
        const std::string n = std::to_string(i);
        const std::string x = std::to_string(100 + 150 * i);
        layers += "{ name = 'lock" + n + "_seat', x = " + x + ", y = 170, depth = 55 }, " +
                  "{ name = 'lock" + n + "', image = 'puzzles/stonelock', depth = 50, flags = 5, " +
                  "parentlayer = 'lock" + n + "_seat', parentposition = true }, { name = 'eye" + n +
                  "', image = 'puzzles/eye', x = " + x + ", y = 90, depth = 50, flags = 5 }, ";
    }
    return "{ layers = { " + layers +
           "}, areas = { { name = 'area_vaultcover', image = 'scenes/vault/slab', x = 400, "
           "y = 360, depth = 50, flags = 5, events = {} } } }";
}

void BM_ThreeLocks_FrameBesideOrdinaryScene(benchmark::State& state)
{
    if (!HaveContent({"scripts/minigames/threelocks.lua", "scenes/vault/bg.jpg",
                      "scenes/vault/slab.png", "puzzles/stonelock.png", "puzzles/eye.png"}))
        return state.SkipWithError(kMissing);
    WithDisplay(
        state,
        [&state](TRenderer& renderer)
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
            // The peer: the same vault as an ordinary scene.
            SceneFactory factory(Vault());
            TScript script;
            script.DoLuaString("_s = {}");
            std::unique_ptr<TLuaTable> scene(script.GetGlobalTable("_s"));
            GameplayScene vault(factory, factory.Info(), "vault", *scene, nullptr, factory.Info());
            vault.LoadTextures();
            Paired(state, renderer, FrameOf(*locks.mScene), FrameOf(vault));
        });
}
BENCHMARK(BM_ThreeLocks_FrameBesideOrdinaryScene)->Unit(benchmark::kMicrosecond);

} // namespace
