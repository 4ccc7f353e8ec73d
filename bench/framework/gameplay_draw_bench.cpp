// The location's top layer: a frame of the tool tips' choice and the drawing after the scene with
// the basic, hint and inventory tool tips and a tutorial prompt showing over a held object, as a
// fraction of the 16.7 ms frame (asked: at most a tenth), beside 200 sprites of 64 x 64 through the
// renderer as its sprite benchmark draws them; and the textures a display reset takes away made
// again for 30 objects and a scene of 60 entities, beside loading the same pictures cold. The
// top layer's frame is also reported beside a memset of the screen's depth buffer
// ("x_depth_memset").
#include "../render/display_bench_support.h"
#include "../sys/display/depth_memset_peer.h"
#include "adventure_bench_support.h"
#include "framework/adventure/entities/gameplay_entity.h"
#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/adventure/runner/gameplay.h"
#include "framework/adventure/runner/scene_factory_support.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/adventure/tooltips/gameplay_tool_tip.h"
#include "framework/adventure/tutorials/gameplay_tutorial.h"
#include "framework/widgets/tool_tip.h"
#include "script/window_script_seam.h"
#include "ui/window_style.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>

namespace
{

constexpr double kFrameMs = 1000.0 / 60.0;

TScript* gScript = nullptr;

class DrawGameplay : public Gameplay
{
public:
    std::shared_ptr<GameplayFactory> CreateFactory() override
    {
        return std::make_shared<ListedEntityFactory>();
    }
    bool IsLocationDone() override { return false; }
    void SetGameplayState(int32_t state) { mGameplayState = state; }
    void Hold(GameplayInventory* object) { mHeldInventory = object; }
    void Show(GameplayScene* scene) { mActiveScene = scene; }
    GameplayTutorialController* Tutorials() const { return mTutorials.get(); }
    // How many of the three tool tips and the prompt draw.
    int Showing() const
    {
        int count = 0;
        count += mBasicToolTip != nullptr && mBasicToolTip->GetState() != ToolTip::kHidden;
        count += mHintToolTip != nullptr && mHintToolTip->GetState() != ToolTip::kHidden;
        count += mInventoryToolTip != nullptr &&
                 mInventoryToolTip->GetState() != GameplayToolTip::kHidden;
        count += mTutorials != nullptr && mTutorials->GetActive() != nullptr &&
                 mTutorials->GetActive()->GetState() != GameplayTutorial::kHidden;
        return count;
    }
};

// One scene of 20 items, 20 areas and 20 layers and three more without pictures; 30 objects.
const char kLocation[] = R"(
gameplayinstructions = { conversations = {}, scenes = {}, events = {}, inventory = {} }
local g = gameplayinstructions
for o = 1, 30 do
    table.insert(g.inventory, { name = 'o' .. o, image = 'bench/inv', partcount = 2 })
end
for s = 1, 4 do
    local name = 's' .. s
    table.insert(g.scenes, name)
    local items, areas, layers = {}, {}, {}
    local picture = s == 1
    local column = 0
    for i = 1, 20 do
        table.insert(items, { name = name .. '_i' .. i, inventory = 'o' .. i,
                              image = picture and 'bench/gem' or nil, inventoryparts = { 1 },
                              x = 40 + column * 70, y = 60 + i * 10 })
        table.insert(areas, { name = name .. '_a' .. i, events = {},
                              image = picture and 'bench/area' or nil,
                              x = 20 + column * 75, y = 40 + i * 12 })
        column = column == 9 and 0 or column + 1
        table.insert(layers, { name = name .. '_l' .. i, depth = 100 + i,
                               image = picture and 'bench/gem' or nil })
    end
    g[name] = { items = items, areas = areas, layers = layers }
end
g.active_scene = 's1'
local font = { '', 16, { 1, 1, 1, 1 } }
local tip = { font = font, w = 220, h = 30, position = 10, borderwidth = 6, borderheight = 4,
              timeinitialwait = 0, timefade = 100, timevisible = 100000, maxx = 800, maxy = 600,
              backgroundcolor = { 0, 0, 0, 0.6 } }
_style = {
    characterinfo = { scrim = {}, conversation_info = {}, info = {} },
    playlist = { location01 = {} }, sceneinfo = {}, animatedcursorinfo = {}, locationnumber = 1,
    inventoryinfo = { imagemask = '_glow', barwidth = 0 },
    entityinfo = { iteminfo = { imagemask = '_mask' },
                   areainfo = { imagemask = '_mask', timehilightfade = 300, timevisible = 100 },
                   layerinfo = { fadetime = 300 }, textinfo = {} },
    tooltipbasic = tip, tooltiphint = tip,
    tooltipinventory = { font = font, x = 400, y = 470, w = 300, h = 40, widthperline = 240,
                         timeintro = 100, timeoutro = 100, timevisible = 100000,
                         timeinitialwait = 0, borderwidth = 8, borderheight = 6,
                         distancebetweenitems = 6, backgroundcolor = { 0, 0, 0, 0.6 } },
    tutorials = { info = { fadetime = 100, arrowtime = 600, arrowdist = 14,
                           arrowimage = 'bench/l', dialog = 'bench/inv_glow',
                           bounds = { w = 280, h = 92 }, font = font },
                  { name = 'prompt', index = 1, arrowx = 100, arrowy = 100, dialogx = 400,
                    dialogy = 300 } },
    tooltiphintselect = 'pick', hinttooltippositionx = 300, hinttooltippositiony = 200,
}
-- The HUD's three pictures are tables it must have; none draws here.
_hud = { background = {}, foreground = {}, progressbar = {},
         inventorybounds = { x = 100, y = 510, w = 400, h = 80 } }
)";

void RegisterScenePictures(BenchFiles& files)
{
    files.Png("bench/gem.png", std::vector<uint32_t>(32 * 32, 0xFF4080C0), 32, 32);
    files.Png("bench/gem_mask.png", std::vector<uint32_t>(32 * 32, 0xFFFFFFFF), 32, 32);
    files.Png("bench/area.png", std::vector<uint32_t>(96 * 48, 0xFF805020), 96, 48);
    files.Add("bench/area.xml",
              "<sequence><img w=\"96\" h=\"48\" regx=\"0\" regy=\"0\" name=\"area.png\"/>"
              "<framelist><frame x=\"0\" y=\"0\" w=\"48\" h=\"48\"/>"
              "<frame x=\"48\" y=\"0\" w=\"48\" h=\"48\"/></framelist></sequence>");
    files.Png("bench/area_mask.png", std::vector<uint32_t>(48 * 48, 0xFFFFFFFF), 48, 48);
}

// The location in play with its first scene's textures made; `shown`: the three tool tips and
// the prompt on screen over a held object.
struct DrawLocation
{
    explicit DrawLocation(bool shown)
    {
        gScript = &mScript;
        SetWindowScriptSource([] { return gScript; });
        RegisterInventoryPictures();
        RegisterScenePictures(mFiles);
        mScript.DoLuaString(kLocation);
        std::unique_ptr<TLuaTable> styleTable(mScript.GetGlobalTable("_style"));
        std::unique_ptr<TLuaTable> hudTable(mScript.GetGlobalTable("_hud"));
        if (styleTable == nullptr || hudTable == nullptr)
            return;
        TWindowStyle style(styleTable.get());
        TWindowStyle hudStyle(hudTable.get());
        mGameplay = std::make_unique<DrawGameplay>();
        const bool hudMade = AddBenchHud(*mGameplay, hudStyle) != nullptr;
        mGameplay->PostInit(style);
        if (!hudMade || mGameplay->GetScenes().size() != 4 ||
            mGameplay->GetInventory().size() != 30 || mGameplay->Tutorials() == nullptr)
        {
            mGameplay.reset();
            return;
        }
        mScene = mGameplay->GetScenes().front().get();
        for (const auto& entity : mScene->GetEntities())
            entity->Activate(false, nullptr);
        mScene->LoadTextures();
        while (!mScene->FinishTexturesStep())
        {
        }
        mGameplay->SetGameplayState(Gameplay::kPlay);
        // Every object as the strip or a scene holds it: its picture, mask and hilite made.
        for (const auto& object : mGameplay->GetInventory())
            object->RefreshCollisionMask();
        if (!shown)
            return;
        mGameplay->Hold(mGameplay->GetInventory().front().get());
        mGameplay->Tutorials()->ShowTutorial("prompt", TVec2(0, 0));
        for (int i = 0; i < 20; ++i)
            Frame();
        // Each case hides the others with a fade that is never stepped, so all three draw.
        const TVec4 colour(1, 1, 1, 1);
        mGameplay->SetGameplayState(Gameplay::kHintSelect);
        mGameplay->UpdateToolTips(nullptr, true, "", mMouse, colour);
        mGameplay->SetGameplayState(Gameplay::kPlay);
        mGameplay->UpdateToolTips(mGameplay->GetInventory()[1].get(), true, "", mMouse, colour);
        mGameplay->UpdateToolTips(nullptr, true, "label", mMouse, colour);
    }
    ~DrawLocation()
    {
        mGameplay.reset();
        SetWindowScriptSource(nullptr);
        gScript = nullptr;
    }
    void Frame()
    {
        mClock.SetFrameTime(mNow += 16);
        mClock.SetStep(16);
        mTransforms.Update();
    }
    uint32_t mNow = 1;
    TPoint mMouse{300, 250};
    DeltaTime mClock;
    TransformManager mTransforms;
    TScript mScript;
    BenchFiles mFiles;
    std::unique_ptr<DrawGameplay> mGameplay;
    GameplayScene* mScene = nullptr;
};

template <class Body> void WithDisplay(benchmark::State& state, Body body)
{
    TRenderer* renderer = MakeBenchRenderer();
    if (renderer == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    body(*renderer);
    TRenderer::DestroyInstance();
}

void BM_Gameplay_ToolTipsAndPromptFrame(benchmark::State& state)
{
    WithDisplay(
        state,
        [&state](TRenderer& renderer)
        {
            DrawLocation location(true);
            if (location.mGameplay == nullptr)
            {
                state.SkipWithError("the location did not load");
                return;
            }
            const TVec4 colour(1, 1, 1, 1);
            double totalMs = 0.0;
            const DepthMemsetPeer peer;
            for (auto _ : state)
            {
                const auto start = std::chrono::steady_clock::now();
                location.mGameplay->UpdateToolTips(nullptr, true, "label", location.mMouse, colour);
                renderer.BeginDraw(false);
                location.mGameplay->PostDraw();
                renderer.EndFrame(false);
                totalMs += std::chrono::duration<double, std::milli>(
                               std::chrono::steady_clock::now() - start)
                               .count();
            }
            peer.Report(state);
            state.counters["showing"] = location.mGameplay->Showing();
            state.counters["frame_fraction"] =
                totalMs / static_cast<double>(std::max<int64_t>(state.iterations(), 1)) / kFrameMs;
        });
}
BENCHMARK(BM_Gameplay_ToolTipsAndPromptFrame)->Unit(benchmark::kMicrosecond);

// The peer: the renderer's sprite benchmark, 200 sprites of 64 x 64 in one frame.
void BM_Gameplay_PeerTwoHundredSprites(benchmark::State& state)
{
    WithDisplay(state,
                [&state](TRenderer& renderer)
                {
                    auto sprite = TTexture::Create(64, 64, true);
                    if (sprite == nullptr)
                    {
                        state.SkipWithError("no texture");
                        return;
                    }
                    for (auto _ : state)
                    {
                        renderer.BeginDraw(false);
                        renderer.Begin2d();
                        for (int i = 0; i < 200; ++i)
                            sprite->DrawAt(static_cast<float>(40 + (i * 37) % 720),
                                           static_cast<float>(40 + (i * 53) % 520), 1.0f, 1.0f,
                                           0.0f, 0);
                        renderer.End2d();
                        renderer.EndFrame(false);
                    }
                });
}
BENCHMARK(BM_Gameplay_PeerTwoHundredSprites)->Unit(benchmark::kMicrosecond);

// Masks and hilites of the 30 objects, then the shown scene's 60 entities.
void BM_Gameplay_RecreateTextures(benchmark::State& state)
{
    WithDisplay(state,
                [&state](TRenderer&)
                {
                    DrawLocation location(false);
                    if (location.mGameplay == nullptr)
                    {
                        state.SkipWithError("the location did not load");
                        return;
                    }
                    location.mGameplay->Show(location.mScene);
                    bool made = true;
                    for (auto _ : state)
                        made = location.mGameplay->RecreateTextures() && made;
                    if (!made)
                        state.SkipWithError("a texture was not made again");
                });
}
BENCHMARK(BM_Gameplay_RecreateTextures)->Unit(benchmark::kMicrosecond);

// The same pictures read and decoded cold (nothing caches them here): each object's picture and
// mask, then the scene's.
void BM_Gameplay_LoadTheSamePicturesCold(benchmark::State& state)
{
    WithDisplay(state,
                [&state](TRenderer&)
                {
                    DrawLocation location(false);
                    if (location.mGameplay == nullptr)
                    {
                        state.SkipWithError("the location did not load");
                        return;
                    }
                    for (auto _ : state)
                    {
                        state.PauseTiming();
                        location.mScene->ReleaseTextures();
                        state.ResumeTiming();
                        for (int o = 0; o < 30; ++o)
                        {
                            benchmark::DoNotOptimize(TAnimatedTexture::Get("bench/inv"));
                            benchmark::DoNotOptimize(TTexture::Get("bench/inv_glow", 0));
                        }
                        location.mScene->LoadTextures();
                        while (!location.mScene->FinishTexturesStep())
                        {
                        }
                    }
                });
}
BENCHMARK(BM_Gameplay_LoadTheSamePicturesCold)->Unit(benchmark::kMicrosecond);

} // namespace
