// The per-pixel pipeline: each blend factor pair of the drawing modes, the alpha test, the stage
// set-ups (modulate, alpha target with ALPHAREPLICATE and TFACTOR), specular add and 16-bit
// targets.
#include "device_test_util.h"

#include "sys/display/raster/blend.h"

#include <gtest/gtest.h>

namespace pixel_pipeline_test
{
using namespace devtest;

namespace
{

constexpr uint32_t kBackground = 0x80402010u; // a 0x80, r 0x40, g 0x20, b 0x10
constexpr uint32_t kTexel = 0xC0FF8000u;      // a 0xC0, r 0xFF, g 0x80, b 0x00

// Draws a 4x4 quad of kTexel over kBackground with the given blend state; answers pixel (1, 1).
uint32_t DrawBlended(bool enable, BlendFactor src, BlendFactor dest)
{
    auto [target, dev] = Make2dCanvas(4, 4, FormatId::A8R8G8B8, kBackground);
    dev->SetTexture(0, MakeTexture(1, 1, {kTexel}));
    dev->SetTextureStageState(0, TSS_ALPHAOP, TOP_MODULATE);
    dev->SetRenderState(RS_ALPHABLENDENABLE, enable ? 1 : 0);
    dev->SetRenderState(RS_SRCBLEND, src);
    dev->SetRenderState(RS_DESTBLEND, dest);
    DrawQuad(*dev, Quad2d(0, 0, 4, 4));
    return target->ReadPixel(1, 1);
}

} // namespace

// out = src * srcFactor + dst * destFactor per byte, rounded, clamped; values worked by hand.
TEST(PixelPipeline, AlphaBlendSrcAlphaInvSrcAlpha)
{
    // a = 192: (s * 192 + d * 63) / 255.
    EXPECT_EQ(DrawBlended(true, BLEND_SRCALPHA, BLEND_INVSRCALPHA), 0xB0D06804u);
}

TEST(PixelPipeline, AdditiveSrcAlphaOne)
{
    EXPECT_EQ(DrawBlended(true, BLEND_SRCALPHA, BLEND_ONE), 0xFFFF8010u);
}

TEST(PixelPipeline, SubtractiveZeroInvSrcColor)
{
    // dst * (255 - src) / 255: alpha 0x80 * 0x3F, red 0x40 * 0, green 0x20 * 0x7F, blue 0x10 *
    // 0xFF.
    EXPECT_EQ(DrawBlended(true, BLEND_ZERO, BLEND_INVSRCCOLOR), 0x20001010u);
}

TEST(PixelPipeline, MultiplyZeroSrcColor)
{
    EXPECT_EQ(DrawBlended(true, BLEND_ZERO, BLEND_SRCCOLOR), 0x60401000u);
}

TEST(PixelPipeline, OneOneSaturates)
{
    EXPECT_EQ(DrawBlended(true, BLEND_ONE, BLEND_ONE), 0xFFFFA010u);
}

TEST(PixelPipeline, BlendingOffWritesTheSourceKeepingOldFactors)
{
    EXPECT_EQ(DrawBlended(false, BLEND_ZERO, BLEND_SRCCOLOR), kTexel);
}

TEST(PixelPipeline, BlendArithmeticReproducesEitherInputAtTheExtremes)
{
    for (uint32_t v : {0u, 1u, 127u, 128u, 254u, 255u})
    {
        uint32_t src = 0xFF000000u | v << 16 | v << 8 | v;
        EXPECT_EQ(BlendSrcAlpha(src, 0xFF00FF00u), src);
        EXPECT_EQ(BlendSrcAlpha(src & 0x00FFFFFFu, 0x12345678u), 0x12345678u);
        EXPECT_EQ(BlendArgb(src, 0x12345678u, BLEND_SRCALPHA, BLEND_INVSRCALPHA),
                  BlendSrcAlpha(src, 0x12345678u));
    }
    EXPECT_EQ(Mul255(255, 200), 200u);
    EXPECT_EQ(Mul255(128, 128), 64u);
}

TEST(PixelPipeline, AlphaTestSkipsFullyTransparentTexels)
{
    auto [target, dev] = Make2dCanvas(4, 2, FormatId::A8R8G8B8, kBackground);
    // Texels: alpha 0 (red), alpha 1 (green).
    dev->SetTexture(0, MakeTexture(2, 1, {0x00FF0000u, 0x0100FF00u}));
    dev->SetTextureStageState(0, TSS_ALPHAOP, TOP_MODULATE);
    dev->SetRenderState(RS_ALPHATESTENABLE, 1);
    dev->SetRenderState(RS_ALPHAREF, 1);
    dev->SetRenderState(RS_ALPHAFUNC, CMP_GREATEREQUAL);
    // Opaque mode (blending off) shows whether the fragment was written at all.
    DrawQuad(*dev, Quad2d(0, 0, 4, 2));
    EXPECT_EQ(target->ReadPixel(0, 0), kBackground);
    EXPECT_EQ(target->ReadPixel(1, 1), kBackground);
    EXPECT_EQ(target->ReadPixel(2, 0), 0x0100FF00u);
    EXPECT_EQ(target->ReadPixel(3, 1), 0x0100FF00u);
}

TEST(PixelPipeline, TextureFactorAlphaDrawsTransparentTexelsDespiteTheAlphaTest)
{
    // Opaque mode: ALPHAARG1 = TFACTOR, ALPHAOP = SELECTARG1 gives every fragment alpha 255.
    auto [target, dev] = Make2dCanvas(2, 2, FormatId::A8R8G8B8, kBackground);
    dev->SetTexture(0, MakeTexture(1, 1, {0x00336699u}));
    dev->SetRenderState(RS_ALPHATESTENABLE, 1);
    dev->SetRenderState(RS_ALPHAREF, 1);
    dev->SetRenderState(RS_ALPHAFUNC, CMP_GREATEREQUAL);
    dev->SetRenderState(RS_TEXTUREFACTOR, 0xFFFFFFFFu);
    dev->SetTextureStageState(0, TSS_ALPHAARG1, TA_TFACTOR);
    dev->SetTextureStageState(0, TSS_ALPHAOP, TOP_SELECTARG1);
    DrawQuad(*dev, Quad2d(0, 0, 2, 2));
    EXPECT_EQ(target->ReadPixel(0, 0), 0xFF336699u);
}

TEST(PixelPipeline, AlphaTargetWritesSourceAlphaAsGreyWithOpaqueAlpha)
{
    auto [target, dev] = Make2dCanvas(2, 1, FormatId::A8R8G8B8, 0);
    dev->SetTexture(0, MakeTexture(2, 1, {0x9A123456u, 0x00FFFFFFu}));
    dev->SetRenderState(RS_TEXTUREFACTOR, 0xFFFFFFFFu);
    dev->SetTextureStageState(0, TSS_COLORARG1, TA_TEXTURE | TA_ALPHAREPLICATE);
    dev->SetTextureStageState(0, TSS_COLOROP, TOP_SELECTARG1);
    dev->SetTextureStageState(0, TSS_ALPHAARG1, TA_TFACTOR);
    dev->SetTextureStageState(0, TSS_ALPHAOP, TOP_SELECTARG1);
    SetBlend(*dev, BLEND_SRCALPHA, BLEND_ONE);
    dev->SetRenderState(RS_ALPHATESTENABLE, 1);
    dev->SetRenderState(RS_ALPHAREF, 1);
    dev->SetRenderState(RS_ALPHAFUNC, CMP_GREATEREQUAL);
    DrawQuad(*dev, Quad2d(0, 0, 2, 1));
    EXPECT_EQ(target->ReadPixel(0, 0), 0xFF9A9A9Au);
    EXPECT_EQ(target->ReadPixel(1, 0), 0xFF000000u);
}

TEST(PixelPipeline, AlphaTargetWithoutTextureReplicatesDiffuseAlpha)
{
    auto [target, dev] = Make2dCanvas(2, 1, FormatId::A8R8G8B8, 0);
    dev->SetTextureStageState(0, TSS_COLORARG1, TA_DIFFUSE | TA_ALPHAREPLICATE);
    dev->SetTextureStageState(0, TSS_COLOROP, TOP_SELECTARG1);
    dev->SetTextureStageState(0, TSS_ALPHAARG1, TA_TFACTOR);
    dev->SetTextureStageState(0, TSS_ALPHAOP, TOP_SELECTARG1);
    DrawQuad(*dev, Quad2d(0, 0, 2, 1, 0x40FF0000u));
    EXPECT_EQ(target->ReadPixel(0, 0), 0xFF404040u);
}

TEST(PixelPipeline, UnboundTextureModulatesAsOpaqueWhite)
{
    auto [target, dev] = Make2dCanvas(2, 1);
    dev->SetTextureStageState(0, TSS_ALPHAOP, TOP_MODULATE);
    dev->SetTextureStageState(0, TSS_ALPHAARG2, TA_DIFFUSE);
    DrawQuad(*dev, Quad2d(0, 0, 2, 1, 0x7F102030u));
    EXPECT_EQ(target->ReadPixel(0, 0), 0x7F102030u);
}

TEST(PixelPipeline, DiffuseModulatesTexture)
{
    auto [target, dev] = Make2dCanvas(2, 1);
    dev->SetTexture(0, MakeTexture(1, 1, {0xFF80FF40u}));
    dev->SetTextureStageState(0, TSS_ALPHAOP, TOP_MODULATE);
    DrawQuad(*dev, Quad2d(0, 0, 2, 1, 0x80FF8000u));
    // (0x80 * 0xFF, 0x80 * 0xFF, 0xFF * 0x80, 0x40 * 0) / 255.
    EXPECT_EQ(target->ReadPixel(1, 0), 0x80808000u);
}

TEST(PixelPipeline, SpecularIsAddedAfterTheStageWhenEnabled)
{
    auto [target, dev] = Make2dCanvas(2, 1);
    LVertex quad[4];
    auto base = Quad2d(0, 0, 2, 1, 0xFF808080u);
    for (int i = 0; i < 4; ++i)
    {
        quad[i] = base[i];
        quad[i].specular = 0x00A01020u;
    }
    dev->DrawIndexedPrimitive(PT_TRIANGLELIST, FVF_LVERTEX, quad, 4, kQuadIndices, 6, 0);
    EXPECT_EQ(target->ReadPixel(0, 0), 0xFF808080u);
    dev->SetRenderState(RS_SPECULARENABLE, 1);
    dev->DrawIndexedPrimitive(PT_TRIANGLELIST, FVF_LVERTEX, quad, 4, kQuadIndices, 6, 0);
    EXPECT_EQ(target->ReadPixel(0, 0), 0xFFFF90A0u);
}

TEST(PixelPipeline, SixteenBitTargetStoresTruncatedChannels)
{
    auto [target, dev] = Make2dCanvas(2, 1, FormatId::R5G6B5);
    DrawQuad(*dev, Quad2d(0, 0, 2, 1, 0xFFFF8844u));
    EXPECT_EQ(target->ReadRaw(0, 0), (0x1Fu << 11) | (0x22u << 5) | 0x08u);
}

TEST(PixelPipeline, BlendingOnSixteenBitTargetReadsTheStoredPixel)
{
    auto target = MakeSurface(1, 1, FormatId::R5G6B5);
    target->WriteRaw(0, 0, 0xF800); // red 248
    auto dev = Make2dDevice(target);
    SetBlend(*dev, BLEND_ONE, BLEND_ONE);
    DrawQuad(*dev, Quad2d(0, 0, 1, 1, 0xFF000010u));
    EXPECT_EQ(target->ReadRaw(0, 0), 0xF800u | 0x02u);
}

// The back buffer's fourth byte is blended like the colour bytes although its format calls it
// unused, so a render target copied into an alpha texture carries the blended alpha.
TEST(PixelPipeline, FourthByteOfAnOpaqueTargetIsBlendedAndCopiesIntoAlphaTextures)
{
    auto target = MakeSurface(4, 4, FormatId::X8R8G8B8);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 4; ++x)
            target->WriteRaw(x, y, kBackground);
    auto dev = Make2dDevice(target);
    dev->SetTexture(0, MakeTexture(1, 1, {kTexel}));
    dev->SetTextureStageState(0, TSS_ALPHAOP, TOP_MODULATE);
    SetBlend(*dev, BLEND_SRCALPHA, BLEND_INVSRCALPHA);
    DrawQuad(*dev, Quad2d(0, 0, 4, 4));
    EXPECT_EQ(target->ReadRaw(1, 1), 0xB0D06804u);
    EXPECT_EQ(target->ReadPixel(1, 1), 0xFFD06804u); // read as the format says: opaque
    auto texture = MakeSurface(4, 4, FormatId::A8R8G8B8);
    ASSERT_EQ(texture->Blt(nullptr, target.get(), nullptr, BLT_WAIT, nullptr), Result::Ok);
    EXPECT_EQ(texture->ReadPixel(1, 1), 0xB0D06804u);
}

} // namespace pixel_pipeline_test
