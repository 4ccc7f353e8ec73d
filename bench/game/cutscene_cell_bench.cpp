// A 600 x 400 cut-scene cell on the headless display: rendering its aged texture (three layers,
// three blotches, two grain frames, the gradient and the trim) against drawing the same images
// once on the back buffer, and a cross-fade frame (live look over the aged sprite) against the
// same elements drawn directly.
#include "cutscene_bench_support.h"
#include "framework/widgets/animated_bitmap.h"
#include "framework/widgets/text_object.h"
#include "game/cutscenes/illustration_panel_cell.h"
#include "game/cutscenes/illustration_panel_layer.h"
#include "game/cutscenes/illustration_panel_speech.h"
#include "render/renderer/vertex_set.h"
#include "render/sprites/animated_texture.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace
{
using cutscenebench::Bench;

const char* const kCellInfo =
    "{ blotchbuffer = 10, timeswaptoactive = 500, staticmin = 0.1, staticmax = 0.3,"
    "  skipcolor = { 1, 1, 1, 0.7 }, skipcolorhilight = { 1, 0.9, 0.5, 1 },"
    "  speechinfo = { timeintro = 200, timeoutro = 200, alphaintro = 1,"
    "                 font = { '', 14, { 0, 0, 0, 1 } }, flags = 5 },"
    "  static = 'cell/static%d', staticcount = 2, gradient = 'cell/gradient', trim = 'cell/trim',"
    "  overlay = 'cell/overlay', blotches = 'cell/blotches',"
    "  skiptext = { text = 'Skip', w = 80, h = 20, font = { '', 14, { 1, 1, 1, 1 } }, flags = 10 },"
    "  skipscrimspace = 6, width = 600, height = 400, skipscrimcolor = { 0, 0, 0, 0.5 } }";

const char* const kCell =
    "{ sounds = {}, particles = {},"
    "  colorlayers = { { name = 'bg', image = 'cell/bg', x = 300, y = 200, flags = 5 },"
    "                  { name = 'a', image = 'cell/a', x = 150, y = 150 },"
    "                  { name = 'b', image = 'cell/b', x = 350, y = 220 } },"
    "  speechbubbles = { speech_1 = { image = 'cell/bubble', x = 380, y = 40,"
    "                    text = { text = 'Who goes there?', x = 390, y = 50, w = 150, h = 30 } } } "
    "}";

struct Scene
{
    Bench mBench;
    std::unique_ptr<TLuaTable> mCellTable;
    std::unique_ptr<TLuaTable> mInfo;
    std::unique_ptr<IllustrationPanelCell> mCell;

    Scene()
    {
        mBench.mClock.SetFrameTime(4000);
        for (const char* name : {"cell/bg", "cell/a", "cell/b"})
        {
            const bool back = std::string(name) == "cell/bg";
            mBench.Image(name, back ? 600 : 200, back ? 400 : 150, 0xFF3C6E8Cu);
            mBench.Image(std::string(name) + "_sepia", back ? 600 : 200, back ? 400 : 150,
                         0xFF8C7050u);
        }
        mBench.AgedLook();
        mBench.Image("cell/bubble", 180, 60, 0xF0FAFAEBu);
        mCellTable = mBench.Table(kCell);
        mInfo = mBench.Table(kCellInfo);
        mCell = std::make_unique<IllustrationPanelCell>(*mCellTable, *mInfo);
        mCell->Reset();
    }
};

void BM_CutsceneCell_RenderInactiveTexture(benchmark::State& state)
{
    Scene scene;
    if (!scene.mBench.mRenderer || !scene.mCell->HasInactiveTexture())
    {
        state.SkipWithError("no aged texture");
        return;
    }
    for (auto _ : state)
        if (!scene.mCell->RenderInactiveTexture())
        {
            state.SkipWithError("render failed");
            return;
        }
}
BENCHMARK(BM_CutsceneCell_RenderInactiveTexture)->Unit(benchmark::kMicrosecond);

// The aged look's images drawn once each on the back buffer, no render target.
void BM_CutsceneCell_SameImagesOnce(benchmark::State& state)
{
    Scene scene;
    std::vector<std::shared_ptr<TSprite>> sprites;
    for (const auto& layer : scene.mCell->GetColorLayers())
        sprites.push_back(layer->GetSepia()->GetSprite());
    for (const auto& grain : scene.mCell->GetStaticSprites())
        sprites.push_back(grain);
    for (const char* name : {"cell/gradient", "cell/trim"})
    {
        sprites.push_back(TSprite::Create(0, TTexture::Get(name, 0)));
        sprites.back()->GetSpec().mFlags |= kDrawOrigin;
    }
    const std::shared_ptr<TAnimatedSprite>& blotch = scene.mCell->GetBlotchSprite();
    const TDrawSpec plain;
    for (auto _ : state)
    {
        if (!scene.mBench.BeginFrame())
        {
            state.SkipWithError("no frame");
            return;
        }
        for (const auto& layer : scene.mCell->GetColorLayers())
            layer->GetSepia()->Draw(layer->GetImage()->GetSprite()->GetSpec());
        for (int32_t i = 0; i < blotch->GetFrameCount(); ++i)
        {
            blotch->SetFrame(i);
            blotch->Draw(TDrawSpec(TVec2(100.0f * static_cast<float>(i + 1), 200)));
        }
        for (size_t i = 3; i < sprites.size(); ++i)
            sprites[i]->Draw(plain);
        scene.mBench.EndFrame();
    }
}
BENCHMARK(BM_CutsceneCell_SameImagesOnce)->Unit(benchmark::kMicrosecond);

// Half way through the fade to the live look: both looks drawn.
void BM_CutsceneCell_Crossfade(benchmark::State& state)
{
    Scene scene;
    IllustrationPanelCell& cell = *scene.mCell;
    cell.GetLiveTransform().SetAlpha(0.5f);
    cell.GetInactiveTransform().SetAlpha(0.5f);
    const TDrawSpec panel(TVec2(100, 100));
    for (auto _ : state)
    {
        if (!scene.mBench.BeginFrame())
        {
            state.SkipWithError("no frame");
            return;
        }
        cell.Draw(panel);
        scene.mBench.EndFrame();
    }
}
BENCHMARK(BM_CutsceneCell_Crossfade)->Unit(benchmark::kMicrosecond);

// The same elements without the cell: layers, bubble, scrim, skip text, overlay, aged sprite.
void BM_CutsceneCell_CrossfadeDirect(benchmark::State& state)
{
    Scene scene;
    IllustrationPanelCell& cell = *scene.mCell;
    cell.GetLiveTransform().SetAlpha(0.5f);
    cell.GetInactiveTransform().SetAlpha(0.5f);
    const TDrawSpec panel(TVec2(100, 100));
    const TDrawSpec live = TDrawSpec(TVec2(), 0.5f).Combine(panel);
    const std::shared_ptr<TSprite> overlay = TSprite::Create(0, TTexture::Get("cell/overlay", 0));
    overlay->GetSpec().mFlags |= kDrawOrigin;
    IllustrationPanelCell::ScrimVertex scrim[4];
    for (int i = 0; i < 4; ++i)
    {
        scrim[i] = cell.GetSkipVertices()[i];
        scrim[i].x += 100;
        scrim[i].y += 100;
    }
    const uint16_t indices[6] = {0, 1, 2, 0, 2, 3};
    TVertexSet set{kVertexColored, scrim, 4};
    for (auto _ : state)
    {
        if (!scene.mBench.BeginFrame())
        {
            state.SkipWithError("no frame");
            return;
        }
        for (const auto& layer : cell.GetColorLayers())
            layer->GetImage()->Draw(live);
        for (const auto& bubble : cell.GetSpeechBubbles())
        {
            const TDrawSpec spec = bubble->GetSpec().Combine(live);
            bubble->GetSprite()->Draw(spec);
            bubble->GetTextObject()->Draw(spec);
        }
        scene.mBench.mRenderer->SetTexture(nullptr);
        scene.mBench.mRenderer->DrawIndexedVertices(4, set, indices, 6);
        cell.GetSkipText()->Draw(live);
        overlay->Draw(live);
        cell.GetInactiveSprite()->Draw(panel);
        scene.mBench.EndFrame();
    }
}
BENCHMARK(BM_CutsceneCell_CrossfadeDirect)->Unit(benchmark::kMicrosecond);

} // namespace
