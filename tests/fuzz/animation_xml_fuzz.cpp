// Fuzz target: animation descriptions in XML ("sequence", "img", "framelist" of "frame"s with
// their anchors) read from a memory file, then the frame queries.
#include "platform/files/file_layer.h"
#include "render/sprites/animated_texture.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (64u << 10))
        return 0;
    RegisterMemoryFileName("fuzz.xml", data, static_cast<uint32_t>(size));
    TAnimatedTexture texture;
    if (texture.Load("fuzz.xml"))
    {
        TRect rect;
        for (int32_t i = -1; i <= texture.GetFrameCount() && i < 64; ++i)
        {
            texture.SetFrame(i);
            texture.GetFrameRect(i, rect);
            texture.GetWidth();
        }
    }
    RegisterMemoryFileName("fuzz.xml", nullptr, 0);
    return 0;
}
