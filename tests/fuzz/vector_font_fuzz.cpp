// Fuzz target: ".mvec" vector fonts: loading, lookups and metrics, and every glyph's outline
// rasterised into a small texture (the outline reader must stay inside the image).
#include "render/text/vector_font.h"
#include "fuzz_texture.h"
#include "render/text/vector_rasteriser.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    auto copy = std::make_unique<uint8_t[]>(size);
    if (size > 0)
        std::memcpy(copy.get(), data, size);
    TVectorFont font;
    font.Load(std::move(copy), static_cast<uint32_t>(size));
    font.FindGlyph('W');
    TQmMiniVecDraw draw(nullptr);
    auto texture = std::make_shared<FuzzTexture>();
    draw.SetScale(1.2f, 1.2f);
    draw.SetStrokeWidths(1.0f, 0.5f);
    draw.BeginDraw(8, 40, texture);
    for (int i = 0; i < font.GetGlyphCount() && i < 64; ++i)
    {
        font.GetGlyphMetricA(i);
        font.GetGlyphScale(i);
        draw.DrawGlyph(font.GetGlyphData(i), font.GetGlyphDataSize(i), 4 * i, 0);
    }
    draw.Flush();
    return 0;
}
