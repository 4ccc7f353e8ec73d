// The texture store's mask arithmetic, surface side and image-file probe.
#include "render/textures/texture_helpers.h"

#include "platform/files/file_layer.h"

#include <bit>

namespace texture_helpers
{
uint32_t CountBits(uint32_t mask)
{
    return static_cast<uint32_t>(std::popcount(mask));
}

uint32_t LowestBit(uint32_t mask)
{
    return mask == 0 ? 0 : static_cast<uint32_t>(std::countr_zero(mask));
}

uint32_t NextPowerOfTwo(uint32_t n)
{
    if (n > 0x80000000u)
        return 0;
    return n <= 2 ? 2 : std::bit_ceil(n);
}

bool FileExists(const TString& name)
{
    int options = name.FindChar('?');
    TString base = options >= 0 ? name.Substr(0, options) : name;
    for (const char* extension : {"", ".jp2", ".png", ".jpg"})
        if (::FileExists(base + extension))
            return true;
    return false;
}
} // namespace texture_helpers
