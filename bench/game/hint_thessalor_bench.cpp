// Thessalor's board on the headless display: a frame in play (the scrim, the backdrop, eight
// letters drawn from their textures, the mask overlay, the dial and hand, three goals) beside the
// same text objects and sprites drawn directly (asked: at most 1.3 times the peer); and the hit
// quads of the eight letters refreshed (asked: at most 0.01 of a 16.7 ms frame, "of_frame").
#include "cutscene_bench_support.h"
#include "framework/transforms/transform_manager.h"
#include "framework/widgets/text_object.h"
#include "game/minigames/hintboards/gameplay_hint_thessalor.h"
#include "game/minigames/hintboards/gameplay_hint_thessalor_goal.h"
#include "game/minigames/hintboards/gameplay_hint_thessalor_text.h"
#include "render/renderer/draw_spec.h"
#include "render/sprites/sprite.h"
#include "ui/window_style.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace
{
using cutscenebench::Bench;

constexpr double kFrameSeconds = 0.0167;

// The game's own board, its pictures flat stand-ins of the same sizes.
const char* const kStyle =
    "{ scrimfadetime = 100, scrimfademax = 0.7, basicfadetime = 100, basicscalemin = 0.2,"
    "  hidedelay = 100, validstrings = { 'A', 'E', 'K', 'M', 'R', 'W' },"
    "  colors = { { 0.9, 0.75, 0.3, 1 }, { 0.6, 0.8, 1, 1 } }, textmax = 8,"
    "  textinfo = { rotationmin = -0.1, rotationmax = 0.1, scaleamount = 0.2, timemin = 3000,"
    "    timemax = 4000, rotatetime = 300, centerx = 400, centery = 190, validdistance = 40,"
    "    maxdistance = 260, validanglediff = 0.3, solvedcolor = { 0.45, 1, 0.45, 1 },"
    "    font = { '', 34, { 1, 1, 1, 1 } }, w = 60, h = 48, flags = 5, drawtotexture = true },"
    "  goaltext = { { x = 320, y = 420 }, { x = 400, y = 420 }, { x = 480, y = 420 } },"
    "  background = 'bench/bg', timer = 'bench/hand', timercentery = 40,"
    "  timerbackground = 'bench/dial', mask = 'bench/mask', minigamelength = 20000,"
    "  timerrotation = -1, textfadetime = 200, clickabledelaymax = 400,"
    "  boundsx = 130, boundsy = 130, boundsw = 540, boundsh = 120 }";

struct Board
{
    Bench mBench;
    TransformManager mTransforms;
    std::unique_ptr<TLuaTable> mTable;
    std::unique_ptr<GameplayHintThessalor> mBoard;
    uint32_t mTime = 4000;

    Board()
    {
        mBench.Image("bench/bg", 600, 380, 0xFF262E42u);
        mBench.Image("bench/hand", 8, 48, 0xFFFFB24Au);
        mBench.Image("bench/dial", 80, 80, 0x80785028u);
        mBench.Image("bench/mask", 800, 600, 0xFF800000u);
        mBench.mClock.SetFrameTime(mTime);
        mTable = mBench.Table(kStyle);
        mBoard.reset(static_cast<GameplayHintThessalor*>(GameplayHintThessalor::Create()));
        mBoard->SetSize(800, 500);
        TWindowStyle style(mTable.get());
        mBoard->PostInit(style);
        mBoard->Start(0, nullptr, GameplayHintMinigame::HintCallbacks());
        // The intro and both fades, a frame at a time, until the timer runs.
        for (int i = 0; i < 120 && !Playing(); ++i)
            Step();
        // Every letter under way.
        for (int i = 0; i < 30; ++i)
            Step();
    }
    ~Board()
    {
        mTransforms.RemoveAll();
        mBoard.reset();
    }
    bool Playing()
    {
        return mBoard->GetState() == GameplayHintMinigame::kPlaying &&
               mTransforms.GetTransformCount(&mBoard->GetTimerTransform()) != 0;
    }
    void Step()
    {
        mTime += 16;
        mBench.mClock.SetFrameTime(mTime);
        mTransforms.Update();
        mBoard->Update();
    }
};

template <class Draw> void Frames(benchmark::State& state, Draw draw)
{
    Board board;
    if (!board.Playing())
        return state.SkipWithError("not in play");
    for (auto _ : state)
    {
        if (!board.mBench.BeginFrame())
            return state.SkipWithError("no frame");
        draw(*board.mBoard);
        board.mBench.EndFrame();
    }
}

void BM_ThessalorBoardFrame(benchmark::State& state)
{
    Frames(state, [](GameplayHintThessalor& board) { board.Draw(); });
}
BENCHMARK(BM_ThessalorBoardFrame)->Unit(benchmark::kMicrosecond);

// The peer: the scrim, then the same sprites and text objects, each drawn with the panel's spec
// (the board's layers stand at alpha 1 in play).
void BM_ThessalorSameDrawsDirect(benchmark::State& state)
{
    Frames(state,
           [](GameplayHintThessalor& board)
           {
               board.GameplayHintMinigame::Draw();
               const TDrawSpec& panel = board.GetPanelSpec();
               board.GetBackground()->Draw(panel, -1);
               for (const auto& piece : board.GetPieces())
               {
                   TDrawSpec place(
                       TVec2(piece->GetTransform().GetX(), piece->GetTransform().GetY()));
                   piece->GetTextObject()->Draw(place.Combine(panel));
               }
               board.GetMaskOverlay()->Draw(panel, -1);
               board.GetTimerBackground()->Draw(panel, -1);
               board.GetTimer()->Draw(board.GetTimerPlace().Combine(panel), -1);
               for (const auto& goal : board.GetGoals())
                   goal->GetTextObject()->Draw(panel);
           });
}
BENCHMARK(BM_ThessalorSameDrawsDirect)->Unit(benchmark::kMicrosecond);

// The letters' per-frame refresh of their hit quads (locus, no sparks), as the board's update
// runs it.
void BM_ThessalorHitQuads(benchmark::State& state)
{
    Board board;
    for (auto _ : state)
        for (const auto& piece : board.mBoard->GetPieces())
            piece->Update(16);
    state.counters["of_frame"] = benchmark::Counter(
        kFrameSeconds, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ThessalorHitQuads)->Unit(benchmark::kMicrosecond);

} // namespace
