// Shared by the fuzz targets that draw text or glyphs: a 64 x 64 texture in memory, always
// lockable, so the rasteriser's writes stay checked by the sanitizers.
#pragma once

#include "render/text/vector_rasteriser.h"

#include <cstdint>
#include <vector>

class FuzzTexture : public TVecDrawTexture
{
public:
    int GetWidth() const override { return 64; }
    int GetHeight() const override { return 64; }
    bool Lock(uint32_t*& pixels, int& pitch) override
    {
        pixels = mPixels.data();
        pitch = 64;
        return true;
    }
    void Unlock() override {}
    std::vector<uint32_t> mPixels = std::vector<uint32_t>(64 * 64);
};
