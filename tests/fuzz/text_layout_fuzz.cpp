// Fuzz target: marked-up text through TTextLayout: the layout pass at a few widths, sizes and
// alignments, the getters, and drawing into a small texture (no read outside the text).
#include "render/text/font_map.h"
#include "render/text/text_layout.h"
#include "fuzz_texture.h"
#include "render/text/vector_rasteriser.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > 4096)
        return 0;
    // The first two bytes choose the box and the style; the rest is the text, which need not
    // end in a NUL within the input: the layout reads it as a string of its own.
    const int width = data[0] & 0x7F;
    const uint32_t alignment = data[1] & 0x0F;
    const int fontSize = 4 + (data[1] >> 4) * 3;
    TString text(reinterpret_cast<const char*>(data + 2), static_cast<unsigned>(size - 2));
    TTextLayout* layout =
        TTextLayout::Create(text, width, 64, "", alignment, fontSize, TVec4(1, 1, 1, 1));
    TRect bounds;
    layout->GetBounds(bounds, 1.5f);
    layout->CountLinesFromEnd(1, 2);
    TVec2 point(static_cast<float>(data[0] % 64), static_cast<float>(data[1] % 64));
    layout->UpdateHoverLink(&point, 1);
    if (data[0] & 0x80)
        layout->SetRotation(static_cast<float>(data[1]), 10, 10);
    TQmMiniVecDraw draw(nullptr);
    auto texture = std::make_shared<FuzzTexture>();
    layout->Draw(TVec2(2, 2), 64, 1, 1, 1, texture, &draw);
    TTextLayout::Delete(layout);
    return 0;
}
