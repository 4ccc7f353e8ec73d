// Lirae's board on the headless display: one frame of the board in play (6 clickables, 3 tokens,
// the ghost view of a 10-layer scene, the timer, the scrim; its update, its transforms' step and
// its drawing) beside the same pictures and scene drawn directly (asked: at most 1.3 times the
// peer); and the ghost mask's pass into the overlay texture (asked: at most 0.25 of the 16.7 ms
// frame, the "of_frame" counter).
#include "../framework/adventure_bench_support.h"
#include "../render/display_bench_support.h"
#include "framework/adventure/entities/gameplay_layer.h"
#include "framework/adventure/scene/gameplay_factory.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "game/minigames/hintboards/gameplay_hint_lirae.h"
#include "game/minigames/hintboards/gameplay_hint_lirae_clickable.h"
#include "game/minigames/hintboards/gameplay_hint_lirae_token.h"
#include "render/renderer/draw_spec.h"
#include "render/renderer/renderer.h"
#include "render/renderer/vertex_set.h"
#include "ui/window_style.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace
{

constexpr double kFrameSeconds = 0.0167;
constexpr uint32_t kStep = 16;
constexpr uint16_t kScrimIndices[6] = {0, 1, 2, 0, 2, 3};

// The board's pictures at the game's sizes, and the scene's: a backdrop and nine smaller layers.
void RegisterPictures(BenchFiles& files)
{
    std::vector<uint32_t> room(800 * 600);
    for (size_t i = 0; i < room.size(); ++i)
        room[i] = 0xFF000000u | static_cast<uint32_t>((i % 800) * 0x10203u & 0xFFFFFFu);
    files.Png("bench/room.png", room, 800, 600);
    files.Png("bench/prop.png", std::vector<uint32_t>(160 * 120, 0xFF806040u), 160, 120);
    files.Png("bench/bg.png", std::vector<uint32_t>(800 * 600, 0xFF2A1C38u), 800, 600);
    std::vector<uint32_t> frame(800 * 600, 0);
    for (size_t i = 0; i < frame.size(); ++i)
    {
        const size_t x = i % 800, y = i / 800;
        if (x < 12 || x >= 788 || y < 12 || (y >= 463 && y < 475))
            frame[i] = 0xFF806040u;
    }
    files.Png("bench/fg.png", frame, 800, 600);
    files.Png("bench/hand.png", std::vector<uint32_t>(16 * 80, 0xFFF0F0F0u), 16, 80);
    files.Png("bench/dial.png", std::vector<uint32_t>(120 * 120, 0xFF806040u), 120, 120);
    files.Png("bench/mask.png", std::vector<uint32_t>(800 * 600, 0x80808080u), 800, 600);
    std::vector<uint32_t> glyphs(384 * 64);
    for (size_t i = 0; i < glyphs.size(); ++i)
        glyphs[i] = 0xFF000000u | (0x203040u * static_cast<uint32_t>(1 + (i % 384) / 64));
    files.Png("bench/glyphs.png", glyphs, 384, 64);
    std::string xml = "<sequence><img w=\"384\" h=\"64\" regx=\"32\" regy=\"32\" "
                      "name=\"glyphs.png\"/><framelist>";
    for (int f = 0; f < 6; ++f)
        xml += "<frame x=\"" + std::to_string(f * 64) +
               "\" y=\"0\" w=\"64\" h=\"64\" regx=\"32\" regy=\"32\"/>";
    files.Add("bench/glyphs.xml", xml + "</framelist></sequence>");
}

// Ten layers: the backdrop, then nine props across the room.
class RoomFactory : public GameplayFactory
{
public:
    std::vector<std::shared_ptr<GameplayEntity>> CreateEntities(const TLuaTable&,
                                                                const TLuaTable& info) override
    {
        std::vector<std::shared_ptr<GameplayEntity>> layers;
        for (int i = 0; i < 10; ++i)
        {
            const std::string table =
                i == 0 ? "_t = { name = 'room', image = 'bench/room', depth = 200, x = 400, "
                         "y = 300 }"
                       : "_t = { name = 'prop" + std::to_string(i) +
                             "', image = 'bench/prop', depth = " + std::to_string(100 - i) +
                             ", x = " + std::to_string(90 + 70 * i) +
                             ", y = " + std::to_string(120 + 30 * (i % 4)) + " }";
            mScript.DoLuaString(table.c_str());
            std::unique_ptr<TLuaTable> made(mScript.GetGlobalTable("_t"));
            auto layer = std::make_shared<GameplayLayer>(*made, info);
            layer->Activate(false, nullptr);
            layers.push_back(layer);
        }
        return layers;
    }
    TScript mScript;
};

const char kBoard[] = R"(
_e = {}
_board = {
    scrimfadetime = 100, scrimfademax = 0.7, basicfadetime = 100, basicscalemin = 0.2,
    basicpositionx = 660, basicpositiony = 400, hidedelay = 100,
    clickablecount = 6, tokencount = 3,
    clickable = { image = 'bench/glyphs', timemin = 2400, timemax = 3200, fademin = 600,
                  fademax = 900, fadetime = 300, delaymin = 0, delaymax = 0, centerx = 400,
                  centery = 240, maxdistance = 220, validanglediff = 0.2, alphamin = 0.8,
                  alphamax = 1, minscale = 0.6, maxtransscale = 1.2, mintransscale = 0.9 },
    token = { image = 'bench/glyphs', timetodestination = 300, originalpositionx = 400,
              originalpositiony = 440, scaletodestination = 0.5,
              destinations = { 340, 450, 400, 450, 460, 450 } },
    background = 'bench/bg', foreground = 'bench/fg', foregroundrect = { 0, 0, 800, 475 },
    timer = 'bench/hand', timercentery = 40, timerbackground = 'bench/dial',
    ghostmask = 'bench/mask', minigamelength = 3600000, timeghostfade = 100,
    timerrotation = -1, boundsx = 0, boundsy = 0, boundsw = 800, boundsh = 475,
}
)";

// The board in play over the room, on a hand-stepped clock.
struct Board
{
    Board()
    {
        RegisterPictures(mFiles);
        mScript.DoLuaString(kBoard);
        std::unique_ptr<TLuaTable> empty(mScript.GetGlobalTable("_e"));
        std::unique_ptr<TLuaTable> table(mScript.GetGlobalTable("_board"));
        if (empty == nullptr || table == nullptr)
            return;
        mScene = std::make_unique<GameplayScene>(mFactory, *empty, "room", *empty, nullptr, *empty);
        mScene->LoadTextures();
        while (!mScene->FinishTexturesStep())
        {
        }
        TWindowStyle style(table.get());
        mBoard.reset(static_cast<GameplayHintLirae*>(GameplayHintLirae::Create()));
        mBoard->PostInit(style);
        mBoard->Start(0, mScene.get(), GameplayHintMinigame::HintCallbacks());
        // Through the intro and the ghost view's fade, the mask painted.
        for (int i = 0; i < 30; ++i)
            Frame();
        if (mBoard->GetState() != GameplayHintMinigame::kPlaying)
            mBoard.reset();
    }
    void Frame()
    {
        mNow += kStep;
        mClock.SetFrameTime(mNow);
        mClock.SetStep(kStep);
        mTransforms.Update();
        mBoard->Update();
    }
    DeltaTime mClock;
    TransformManager mTransforms;
    uint32_t mNow = 1000;
    TScript mScript;
    BenchFiles mFiles;
    RoomFactory mFactory;
    std::unique_ptr<GameplayScene> mScene;
    std::unique_ptr<GameplayHintLirae> mBoard;
};

template <class Body> void WithBoard(benchmark::State& state, Body body)
{
    if (MakeBenchRenderer() == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    {
        Board board;
        if (board.mBoard == nullptr)
            state.SkipWithError("the board did not start");
        else
            body(state, board);
    }
    TRenderer::DestroyInstance();
}

void BM_LiraeBoard_Frame(benchmark::State& state)
{
    WithBoard(state,
              [](benchmark::State& s, Board& board)
              {
                  TRenderer* renderer = TRenderer::Instance();
                  for (auto _ : s)
                  {
                      board.Frame();
                      renderer->BeginDraw(false);
                      board.mBoard->Draw();
                      renderer->EndFrame(false);
                  }
              });
}
BENCHMARK(BM_LiraeBoard_Frame)->Unit(benchmark::kMicrosecond);

// The peer: the scrim (the same two triangles), the board's backdrop, the room's layers and effects
// under the bounds' clip, the six glyphs, the overlay, the dial, the hand, the frame and the shown
// token, each drawn straight from a sprite of the same picture.
void BM_LiraeBoard_PeerDrawnDirectly(benchmark::State& state)
{
    WithBoard(
        state,
        [](benchmark::State& s, Board& board)
        {
            auto sprite = [](const char* name, float x, float y)
            {
                std::shared_ptr<TSprite> made = TSprite::Create(0, TTexture::Get(name, 0));
                made->GetSpec() = TDrawSpec(TVec2(x, y));
                return made;
            };
            const std::vector<std::shared_ptr<TSprite>> under = {sprite("bench/bg", 400, 300)};
            std::vector<std::shared_ptr<TSprite>> over = {
                TSprite::Create(0, board.mBoard->GetGhostOverlay()->GetTexture()),
                sprite("bench/dial", 400, 300), sprite("bench/hand", 400, 300),
                sprite("bench/fg", 400, 300)};
            over[0]->GetSpec().mFlags |= kDrawOrigin;
            std::vector<std::shared_ptr<TAnimatedSprite>> glyphs;
            for (int i = 0; i < 7; ++i)
            {
                glyphs.push_back(TAnimatedSprite::Create(0));
                glyphs.back()->SetTexture(TAnimatedTexture::Get("bench/glyphs"));
                glyphs.back()->SetFrame(i % 6);
                glyphs.back()->GetSpec() =
                    TDrawSpec(TVec2(static_cast<float>(250 + 50 * i), i < 6 ? 240.0f : 440.0f));
            }
            // The scrim as the board draws it: two pre-lit triangles over the screen.
            const uint32_t dark = static_cast<uint32_t>(0.7f * 255.0f) << 24;
            TColoredVertex scrim[4] = {{0, 0, 0, 0.5f, dark, 0, 0, 0},
                                       {800, 0, 0, 0.5f, dark, 0, 0, 0},
                                       {800, 600, 0, 0.5f, dark, 0, 0, 0},
                                       {0, 600, 0, 0.5f, dark, 0, 0, 0}};
            const TDrawSpec plain;
            const TRect bounds(0, 0, 800, 475);
            TRenderer* renderer = TRenderer::Instance();
            for (auto _ : s)
            {
                renderer->BeginDraw(false);
                renderer->Begin2d();
                if (TVertexSet* set = TVertexSet::CreateColored(scrim, 4))
                {
                    renderer->DrawIndexedVertices(4, *set, kScrimIndices, 6);
                    TVertexSet::Release(set);
                }
                under[0]->Draw(plain, -1);
                renderer->PushClipRect(bounds);
                board.mScene->Draw(plain);
                board.mScene->DrawEffects(plain);
                for (size_t i = 0; i < 6; ++i)
                    glyphs[i]->Draw(plain, -1);
                over[0]->Draw(plain, -1);
                renderer->PopClipRect();
                for (size_t i = 1; i < over.size(); ++i)
                    over[i]->Draw(plain, -1);
                glyphs[6]->Draw(plain, -1);
                renderer->End2d();
                renderer->EndFrame(false);
            }
        });
}
BENCHMARK(BM_LiraeBoard_PeerDrawnDirectly)->Unit(benchmark::kMicrosecond);

// The mask's pass as the board runs it when its ghost view starts or the display comes back: a
// kind-4 target over the overlay texture, the mask drawn inside the bounds.
void BM_LiraeBoard_GhostMaskPass(benchmark::State& state)
{
    WithBoard(state,
              [](benchmark::State& s, Board& board)
              {
                  TRenderer* renderer = TRenderer::Instance();
                  const std::shared_ptr<TTexture> overlay =
                      board.mBoard->GetGhostOverlay()->GetTexture();
                  const std::shared_ptr<TSprite> mask =
                      TSprite::Create(0, TTexture::Get("bench/mask", 0));
                  mask->GetSpec().mFlags |= kDrawOrigin;
                  for (auto _ : s)
                  {
                      if (!renderer->BeginRenderTarget(overlay, 4))
                      {
                          s.SkipWithError("the target was refused");
                          break;
                      }
                      renderer->Begin2d();
                      renderer->PushClipRect(board.mBoard->GetBounds());
                      mask->Draw(TDrawSpec(), -1);
                      renderer->PopClipRect();
                      renderer->End2d();
                      renderer->EndDraw();
                  }
                  s.counters["of_frame"] = benchmark::Counter(
                      kFrameSeconds,
                      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
              });
}
BENCHMARK(BM_LiraeBoard_GhostMaskPass)->Unit(benchmark::kMicrosecond);

} // namespace
