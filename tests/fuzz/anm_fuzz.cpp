// Fuzz target: the packed animation reader over arbitrary bytes, then the frame queries.
#include "render/sprites/animated_texture.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TAnimatedTexture texture;
    if (texture.LoadPacked(data, static_cast<uint32_t>(size)))
    {
        TRect rect;
        for (int32_t i = -1; i <= texture.GetFrameCount() && i < 64; ++i)
        {
            texture.SetFrame(i);
            texture.GetFrameRect(i, rect);
            texture.GetWidth();
        }
    }
    return 0;
}
