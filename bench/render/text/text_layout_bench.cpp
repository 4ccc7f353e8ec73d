// Text layout: a marked-up page of about 2,000 characters in the built-in font at 16 px, laid out
// against a bare measuring loop over the same text (UTF-8 decoding, glyph lookup, summing
// advances), and laid out and drawn each frame against drawn from the warm run cache alone.
#include "render/text/font_map.h"
#include "render/text/text_layout.h"
#include "render/text/text_markup.h"
#include "render/text/vector_font.h"
#include "render/text/vector_rasteriser.h"

#include <benchmark/benchmark.h>

#include <string>

namespace
{

const std::string& Page()
{
    static std::string page;
    if (page.empty())
    {
        const char* paragraph =
            "The <b>old lighthouse</b> stood above the bay, its lamp long dark. "
            "<i>Nobody</i> had climbed its stairs in years, yet every night a "
            "<font color='FFCC00'>faint glow</font> showed behind the cracked glass. "
            "<a id='clue' color='00FF00'>Search the keeper's desk</a> for the logbook, "
            "then com\xC2\xADpare the dates with the tide tables.<br>";
        while (page.size() < 2000)
            page += paragraph;
    }
    return page;
}

class NullDevice : public TVecDrawDevice
{
public:
    void SetNoTexture() override {}
    void DrawLineList(const TVecVertex*, int count) override { mVertices += count; }
    void SetDirty() override {}
    std::shared_ptr<TVecDrawTexture> CreateRenderTarget(int, int) override { return nullptr; }
    bool BeginRenderTarget(const std::shared_ptr<TVecDrawTexture>&) override { return false; }
    void EndRenderTarget() override {}
    int64_t mVertices = 0;
};

TTextLayout* MakePage()
{
    return TTextLayout::Create(Page().c_str(), 600, 2000, "", 0, 16, TVec4(1, 1, 1, 1));
}

// The peer: what any layout must do at least, with nothing of the mark-up or the breaking.
void BM_Text_BareMeasuringLoop(benchmark::State& state)
{
    TVectorFont* font = GetFontMap().GetFont("__DEFAULT");
    const std::string& page = Page();
    const float scale = 16 * 4 * VectorFontBodyRatio / (font->GetAscent() + font->GetDescent());
    for (auto _ : state)
    {
        float pen = 0;
        const int length = static_cast<int>(page.size());
        for (int i = 0; i < length;)
        {
            uint32_t code = markup::ReadChar(page.data(), length, i);
            pen += font->GetGlyphMetricA(font->FindGlyph(code)) * scale;
        }
        benchmark::DoNotOptimize(pen);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_Text_BareMeasuringLoop);

void BM_Text_LayoutPass(benchmark::State& state)
{
    TTextLayout* layout = MakePage();
    for (auto _ : state)
    {
        // A rotation always lays the text out again.
        layout->SetRotation(0, 0, 0);
        benchmark::DoNotOptimize(layout->GetLineCount());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(Page().size()));
    TTextLayout::Delete(layout);
}
BENCHMARK(BM_Text_LayoutPass);

void BM_Text_LayoutAndDrawPerFrame(benchmark::State& state)
{
    TTextLayout* layout = MakePage();
    NullDevice device;
    TQmMiniVecDraw draw(&device);
    layout->Draw(TVec2(0, 0), 2000, 1, 0, 1, nullptr, &draw);
    for (auto _ : state)
    {
        layout->SetRotation(0, 0, 0);
        layout->Draw(TVec2(0, 0), 2000, 1, 0, 1, nullptr, &draw);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(Page().size()));
    TTextLayout::Delete(layout);
}
BENCHMARK(BM_Text_LayoutAndDrawPerFrame);

void BM_Text_DrawFromWarmCache(benchmark::State& state)
{
    TTextLayout* layout = MakePage();
    NullDevice device;
    TQmMiniVecDraw draw(&device);
    layout->Draw(TVec2(0, 0), 2000, 1, 0, 1, nullptr, &draw);
    for (auto _ : state)
        layout->Draw(TVec2(0, 0), 2000, 1, 0, 1, nullptr, &draw);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(Page().size()));
    TTextLayout::Delete(layout);
}
BENCHMARK(BM_Text_DrawFromWarmCache);

} // namespace
