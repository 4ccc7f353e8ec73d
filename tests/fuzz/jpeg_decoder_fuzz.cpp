// Fuzz target: the JPEG decoder over arbitrary file bytes served as a memory file.
#include "platform/files/file_layer.h"
#include "render/textures/image_decoders.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // An empty input still needs an address for the memory file.
    static const uint8_t kNothing = 0;
    RegisterMemoryFileName("fuzz.img", size > 0 ? data : &kNothing, static_cast<uint32_t>(size));
    uint8_t* pixels = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t side = 0;
    if (JpegLoad("fuzz.img", pixels, width, height, side))
        FreeJpegPixels(pixels);
    RegisterMemoryFileName("fuzz.img", nullptr, 0);
    return 0;
}
