// Whole pictures compared byte for byte with small golden PNGs under tests/data/display: the lit,
// depth-tested cube and the five drawing modes over a known background. Setting
// MURKWELL_UPDATE_GOLDEN=1 writes the files instead (after a deliberate change of the rasteriser).
#include "device_test_util.h"

#include "sys/display/presenter/surface_png.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

using namespace devtest;

namespace
{

void CompareWithGolden(Surface& surface, const std::string& name)
{
    std::vector<uint32_t> pixels = ReadAll(surface);
    std::vector<uint8_t> png = EncodePng(pixels.data(), surface.GetWidth(), surface.GetHeight());
    std::string path = std::string(MURKWELL_TEST_DATA) + "/display/" + name;
    const char* update = std::getenv("MURKWELL_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1")
    {
        ASSERT_TRUE(SaveSurfacePng(surface, path)) << path;
        return;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in.good()) << "missing golden " << path;
    std::vector<uint8_t> golden((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
    EXPECT_TRUE(golden == png) << name << " differs from its golden picture";
}

} // namespace

TEST(GoldenImage, LitDepthTestedCube)
{
    CompareWithGolden(*RenderLitCube(64), "lit_cube.png");
}

TEST(GoldenImage, DrawingModesOverABackground)
{
    // Columns: alpha, opaque, additive, subtractive, multiply; each 16 x 16, a texture with an
    // alpha ramp over a colour gradient.
    auto target = MakeSurface(80, 16);
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 80; ++x)
            target->WritePixel(x, y, 0xFF000000u | (x * 3) << 16 | (y * 16) << 8 | 0x60);
    std::vector<uint32_t> texels(16 * 16);
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 16; ++x)
            texels[y * 16 + x] = (x * 17) << 24 | 0xF0 << 16 | (y * 15) << 8 | (255 - x * 15);
    auto dev = Make2dDevice(target);
    dev->SetTexture(0, MakeTexture(16, 16, texels));
    dev->SetTextureStageState(0, TSS_ALPHAOP, TOP_MODULATE);
    dev->SetRenderState(RS_ALPHATESTENABLE, 1);
    dev->SetRenderState(RS_ALPHAREF, 1);
    dev->SetRenderState(RS_ALPHAFUNC, CMP_GREATEREQUAL);
    struct Mode
    {
        bool blend;
        BlendFactor src, dest;
    };
    const Mode modes[5] = {{true, BLEND_SRCALPHA, BLEND_INVSRCALPHA},
                           {false, BLEND_SRCALPHA, BLEND_INVSRCALPHA},
                           {true, BLEND_SRCALPHA, BLEND_ONE},
                           {true, BLEND_ZERO, BLEND_INVSRCCOLOR},
                           {true, BLEND_ZERO, BLEND_SRCCOLOR}};
    for (int i = 0; i < 5; ++i)
    {
        dev->SetRenderState(RS_ALPHABLENDENABLE, modes[i].blend ? 1 : 0);
        dev->SetRenderState(RS_SRCBLEND, modes[i].src);
        dev->SetRenderState(RS_DESTBLEND, modes[i].dest);
        // The opaque mode takes its alpha from the texture factor, so clear texels draw too.
        dev->SetTextureStageState(0, TSS_ALPHAARG1, i == 1 ? TA_TFACTOR : TA_TEXTURE);
        dev->SetTextureStageState(0, TSS_ALPHAOP, i == 1 ? TOP_SELECTARG1 : TOP_MODULATE);
        float x = static_cast<float>(i * 16);
        DrawQuad(*dev, Quad2d(x, 0, x + 16, 16));
    }
    CompareWithGolden(*target, "blend_modes.png");
}
