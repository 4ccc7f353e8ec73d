// The journal page on the headless display: composing a 600 x 440 page (its picture, the left
// picture, the header and eight goal lines) into its texture, and a frame of the fly-in (scrim and
// the page sprite moved, scaled and faded) against drawing the page sprite alone.
#include "cutscene_bench_support.h"
#include "framework/transforms/transform_manager.h"
#include "game/journal/gameplay_journal.h"
#include "render/sprites/sprite.h"
#include "ui/window_style.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace
{
using cutscenebench::Bench;

const char* const kStyle =
    "{ timeintro = 400, timeoutro = 300, disabledx = 300, disabledy = 220, enabledx = 516,"
    "  enabledy = 420, goalentrybeginning = 'Use ', goalentrysep = ', ',"
    "  goalentryseplast = ' and ', goalentryprearea = ' on the ', goalentrypostarea = '.',"
    "  goalentrycolor = '#7a4a12', image = 'bench/page', scrimmax = 0.5, leftimage = 'bench/left',"
    "  leftimagex = 50, leftimagey = 70,"
    "  textright = { text = '', font = { '', 16, { 0.1, 0.08, 0.05, 1 } }, x = 310, y = 70,"
    "                w = 270, h = 340, flags = 5, allowlinebreaks = true },"
    "  textrightheader = { text = '', font = { '', 26, { 0.3, 0.18, 0.08, 1 } }, x = 310,"
    "                      y = 24, w = 270, h = 36, flags = 5 },"
    "  rightheaderstring = 'Journal' }";

// A journal of the location's size, opened on eight entries and flown in half way.
struct Page
{
    Bench mBench;
    TransformManager mTransforms;
    std::unique_ptr<TLuaTable> mTable;
    std::unique_ptr<GameplayJournal> mJournal;
    std::vector<TString> mEntries;

    Page()
    {
        mBench.mClock.SetFrameTime(4000);
        mBench.Image("bench/page", 600, 440, 0xFFE8D8B0u);
        mBench.Image("bench/left", 200, 300, 0xFF506070u);
        mTable = mBench.Table(kStyle);
        mJournal.reset(static_cast<GameplayJournal*>(GameplayJournal::Create()));
        mJournal->SetSize(600, 440);
        TWindowStyle style(mTable.get());
        mJournal->PostInit(style);
        for (int i = 0; i < 8; ++i)
            mEntries.push_back(TString::Format("Use the lamp's glass and wick on the keeper's "
                                               "lamp, goal %d.",
                                               i + 1));
    }
    bool Open()
    {
        mJournal->Open({}, {}, mEntries, nullptr);
        return mJournal->IsPageReady();
    }
};

void BM_JournalComposePage(benchmark::State& state)
{
    Page page;
    for (auto _ : state)
        if (!page.Open())
        {
            state.SkipWithError("no page");
            return;
        }
}
BENCHMARK(BM_JournalComposePage)->Unit(benchmark::kMicrosecond);

// Half way through the fly-in: the page's transform as the flight leaves it then.
bool HalfFlown(Page& page)
{
    if (!page.Open())
        return false;
    page.mJournal->Update();
    if (page.mJournal->GetState() != GameplayJournal::kFlying)
        return false;
    TM_Transform2D& transform = page.mJournal->GetPageTransform();
    page.mTransforms.RemoveTransforms(&transform);
    transform.SetAlpha(0.5f);
    transform.SetScaleX(0.5f);
    transform.SetScaleY(0.5f);
    transform.SetPosition(300, 320, 1);
    return true;
}

// Frames of the half-flown page drawn by `draw`.
template <class Draw> void FlightFrames(benchmark::State& state, Draw draw)
{
    Page page;
    if (!HalfFlown(page))
        return state.SkipWithError("no flight");
    for (auto _ : state)
    {
        if (!page.mBench.BeginFrame())
            return state.SkipWithError("no frame");
        draw(*page.mJournal);
        page.mBench.EndFrame();
    }
}

void BM_JournalFlyInFrame(benchmark::State& state)
{
    FlightFrames(state, [](GameplayJournal& journal) { journal.Draw(); });
}
BENCHMARK(BM_JournalFlyInFrame)->Unit(benchmark::kMicrosecond);

// The peer: the same page sprite, placed the same, drawn alone.
void BM_JournalPageSpriteAlone(benchmark::State& state)
{
    FlightFrames(state,
                 [](GameplayJournal& journal) { journal.GetPageSprite()->Draw(TDrawSpec()); });
}
BENCHMARK(BM_JournalPageSpriteAlone)->Unit(benchmark::kMicrosecond);

} // namespace
