// The cut-scene screen on the headless display: a whole frame of the strip (the clock and
// transforms stepped, the panel's step, then its drawing) with one live cell of three layers, a
// text, a particle element and a bubble, the next cell aged below it, the fillers, the film dots,
// about three drops and the particle line; and its drawing against the same sprites, cells and
// particle copies drawn directly.
#include "cutscene_bench_support.h"
#include "framework/transforms/transform_manager.h"
#include "game/cutscenes/illustration_panel.h"
#include "game/cutscenes/illustration_panel_cell.h"
#include "game/cutscenes/illustration_panel_speech.h"
#include "game/dialogs/blood_streak.h"
#include "particles/lua_particle_system.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/window_script_seam.h"
#include "ui/window_style.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace
{
using cutscenebench::Bench;

const char* const kParticles = "SetNumParticles(24)\nSetTexture('cell/dot')\n"
                               "pPosition:Init(Vec2(300, 100))\n"
                               "function Create() for i = 1, 24 do Spawn(1) end end\n"
                               "function Update(seconds) end\n";

const char* const kInstructions =
    "panelinstructions = { events = { { name = 'in', activate_layers = { 'cap' } } },"
    "  animations = {},"
    "  cell_1 = { introevent = 'in', sounds = {},"
    "    colorlayers = { { name = 'bg', image = 'cell/bg', x = 0, y = 0 },"
    "                    { name = 'a', image = 'cell/a', x = 100, y = 150 },"
    "                    { name = 'b', image = 'cell/b', x = 350, y = 220 } },"
    "    text = { { name = 'cap', depth = 3, x = 300, y = 370,"
    "               text = { string = 'The night the lamp went out', w = 560, h = 30,"
    "                        font = { '', 16, { 1, 1, 1, 1 } }, flags = 5 } } },"
    "    particles = { { name = 'dust', depth = 4, script = 'bench/line.lua' } },"
    "    speechbubbles = { speech_1 = { image = 'cell/bubble', x = 380, y = 40,"
    "      text = { text = 'Who goes there?', x = 470, y = 70, w = 150, h = 30 } } } },"
    "  cell_2 = { sounds = {}, particles = {}, speechbubbles = {},"
    "    colorlayers = { { name = 'bg', image = 'cell/bg', x = 0, y = 0 } } } }";

const char* const kStyle =
    "{ w = 800, h = 600, background = 'cell/back', filmdot = 'cell/dot', timebloodmin = 0,"
    "  timebloodmax = 0, filmdotdist = 48, cellscrolldistance = 420, cellscrolltime = 900,"
    "  celltimeminimum = 100000000, particleline = 'bench/line.lua', particlelinedist = 300,"
    "  cellx = 100, celly = 100, cellw = 600, cellh = 400, cellfiller = 'cell/filler',"
    "  bloodinfo = { imagestreak = 'cell/drip', imagedrop = 'cell/drop', widthmin = 0,"
    "                widthmax = 800, widthbuffer = 12, widthallowance = 60, heightmin = 20,"
    "                heightallowance = 60, streakfadelength = 6, dropcentery = 5,"
    "                timefadein = 16, timeslide = 16, timedropdelay = 0, timedrop = 16,"
    "                distancedrop = 40, timefadeout = 0 },"
    "  cellinfo = { blotchbuffer = 10, timeswaptoactive = 64, staticmin = 0.1, staticmax = 0.3,"
    "    skipcolor = { 1, 1, 1, 0.7 }, skipcolorhilight = { 1, 0.9, 0.5, 1 },"
    "    speechinfo = { timeintro = 0, timeoutro = 100000000, alphaintro = 1, alphaoutro = 1,"
    "                   font = { '', 14, { 0, 0, 0, 1 } }, flags = 5 },"
    "    static = 'cell/static%d', staticcount = 2, gradient = 'cell/gradient',"
    "    trim = 'cell/trim', overlay = 'cell/overlay', blotches = 'cell/blotches',"
    "    skiptext = { text = 'Skip', w = 80, h = 20, font = { '', 14, { 1, 1, 1, 1 } },"
    "                 flags = 10 },"
    "    skipscrimspace = 6, width = 600, height = 400, skipscrimcolor = { 0, 0, 0, 0.5 } } }";

TScript* gScript = nullptr;

struct Strip
{
    Bench mBench;
    TransformManager mTransforms;
    std::unique_ptr<TLuaTable> mStyle;
    std::unique_ptr<IllustrationPanel> mPanel;
    uint32_t mNow = 4000;

    Strip()
    {
        gScript = &mBench.mScript;
        SetWindowScriptSource([] { return gScript; });
        mBench.mClock.SetFrameTime(mNow);
        mBench.Image("cell/back", 800, 600, 0xFF202428u);
        mBench.Image("cell/filler", 600, 400, 0xFF161210u);
        mBench.Image("cell/dot", 16, 12, 0xFFD6CCB4u);
        mBench.Image("cell/drip", 6, 60, 0xFFBE1E18u);
        mBench.Image("cell/drop", 10, 14, 0xFF96100Eu);
        mBench.Image("cell/bubble", 220, 80, 0xF0FAFAEBu);
        for (const char* name : {"cell/bg", "cell/a", "cell/b"})
        {
            const bool back = std::string(name) == "cell/bg";
            mBench.Image(name, back ? 600 : 120, back ? 400 : 100, 0xFF3C6E8Cu);
            mBench.Image(std::string(name) + "_sepia", back ? 600 : 120, back ? 400 : 100,
                         0xFF8C7050u);
        }
        mBench.AgedLook();
        mBench.File("bench/line.lua", kParticles);
        mBench.mScript.DoLuaString(kInstructions);
        mStyle = mBench.Table(kStyle);
        mPanel.reset(static_cast<IllustrationPanel*>(IllustrationPanel::Create()));
        mPanel->SetSize(800, 600);
        TWindowStyle style(mStyle.get());
        mPanel->PostInit(style);
        // Into the first cell, live, its bubble shown and held.
        for (int i = 0; i < 12; ++i)
            Step();
    }
    ~Strip()
    {
        mPanel.reset();
        SetWindowScriptSource(nullptr);
        gScript = nullptr;
    }
    void Step()
    {
        mNow += 16;
        mBench.mClock.SetFrameTime(mNow);
        mBench.mClock.SetStep(16);
        mPanel->Update();
        mTransforms.Update();
    }
    bool Ready() const
    {
        const auto& cells = mPanel->GetCells();
        return cells.size() == 2 && cells[0]->GetState() == IllustrationPanelCell::kCellActive &&
               !cells[0]->IsTransitioning() &&
               cells[1]->GetState() == IllustrationPanelCell::kCellInactive &&
               !mPanel->GetStreaks().empty();
    }
};

void BM_StoryboardFrame(benchmark::State& state)
{
    Strip strip;
    if (!strip.Ready())
        return state.SkipWithError("the strip is not playing");
    size_t streaks = 0;
    int64_t frames = 0;
    for (auto _ : state)
    {
        strip.Step();
        if (!strip.mBench.BeginFrame())
            return state.SkipWithError("no frame");
        strip.mPanel->Draw();
        strip.mBench.EndFrame();
        streaks += strip.mPanel->GetStreaks().size();
        ++frames;
    }
    state.counters["drops"] = frames > 0 ? static_cast<double>(streaks) / frames : 0.0;
}
BENCHMARK(BM_StoryboardFrame)->Unit(benchmark::kMicrosecond);

void BM_StoryboardDraw(benchmark::State& state)
{
    Strip strip;
    if (!strip.Ready())
        return state.SkipWithError("the strip is not playing");
    for (auto _ : state)
    {
        if (!strip.mBench.BeginFrame())
            return state.SkipWithError("no frame");
        strip.mPanel->Draw();
        strip.mBench.EndFrame();
    }
}
BENCHMARK(BM_StoryboardDraw)->Unit(benchmark::kMicrosecond);

// The peer: the same background, fillers, cells, dot rows, drops and particle copies drawn
// directly, in the same order; with `clipped` the live cell is held in the cell rectangle as the
// strip holds it.
void SameSpritesDirectly(benchmark::State& state, bool clipped)
{
    Strip strip;
    if (!strip.Ready())
        return state.SkipWithError("the strip is not playing");
    IllustrationPanel& panel = *strip.mPanel;
    const std::shared_ptr<TSprite> back = TSprite::Create(0, TTexture::Get("cell/back", 0));
    const std::shared_ptr<TSprite> dot = TSprite::Create(0, TTexture::Get("cell/dot", 0));
    for (const std::shared_ptr<TSprite>& sprite : {back, dot})
    {
        sprite->GetSpec().mOrigin = TVec2(0, 0);
        sprite->GetSpec().mFlags |= kDrawOrigin;
    }
    const TDrawSpec plain;
    for (auto _ : state)
    {
        if (!strip.mBench.BeginFrame())
            return state.SkipWithError("no frame");
        back->Draw(plain);
        panel.GetTopFiller()->Draw(plain);
        panel.GetBottomFiller()->Draw(plain);
        for (const auto& cell : panel.GetCells())
        {
            const bool clip = clipped && cell->GetInactiveTransform().GetAlpha() != 1.0f;
            if (clip)
            {
                TRect inside;
                inside.SetIntersection(strip.mBench.mRenderer->GetClipRect(), panel.GetCellRect());
                strip.mBench.mRenderer->PushClipRect(inside);
            }
            cell->Draw(plain);
            if (clip)
                strip.mBench.mRenderer->PopClipRect();
        }
        for (int y = 0; y < 600; y += 48)
        {
            // The left column mirrored, as the strip draws it.
            dot->Draw(TDrawSpec(TVec2(0, static_cast<float>(y)), 1.0f, 1.0f, kDrawMirrorX));
            dot->Draw(TDrawSpec(TVec2(784, static_cast<float>(y))));
        }
        for (const auto& streak : panel.GetStreaks())
            streak->Draw(plain);
        for (int y = 0; y <= 900; y += 300)
            panel.GetParticleLine()->Draw(TVec3(0, static_cast<float>(y), 0));
        strip.mBench.EndFrame();
    }
}

void BM_StoryboardSameSpritesDirectly(benchmark::State& state)
{
    SameSpritesDirectly(state, false);
}
BENCHMARK(BM_StoryboardSameSpritesDirectly)->Unit(benchmark::kMicrosecond);

void BM_StoryboardSameSpritesDirectlyClipped(benchmark::State& state)
{
    SameSpritesDirectly(state, true);
}
BENCHMARK(BM_StoryboardSameSpritesDirectlyClipped)->Unit(benchmark::kMicrosecond);

} // namespace
