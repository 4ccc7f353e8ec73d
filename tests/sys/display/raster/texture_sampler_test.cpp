// Texture reads: WRAP / MIRROR / CLAMP addressing, bilinear weights, mip level choice and the
// formats the sampler reads.
#include "sys/display/device_test_util.h"

#include "sys/display/raster/texture_sampler.h"

#include <gtest/gtest.h>

using namespace devtest;

namespace
{

// A 2x1 texture (A, B) stretched over 8 pixels with u running 0..2: each texel covers 2 pixels.
std::vector<uint32_t> DrawAddressed(TextureAddress mode, float u0, float u1)
{
    constexpr uint32_t A = 0xFFAA0000u, B = 0xFF00BB00u;
    auto [target, dev] = Make2dCanvas(8, 1);
    dev->SetTexture(0, MakeTexture(2, 1, {A, B}));
    dev->SetTextureStageState(0, TSS_ADDRESSU, mode);
    dev->SetTextureStageState(0, TSS_ADDRESSV, mode);
    DrawQuad(*dev, Quad2d(0, 0, 8, 1, 0xFFFFFFFFu, u0, 0, u1, 1));
    std::vector<uint32_t> row;
    for (uint32_t x = 0; x < 8; ++x)
        row.push_back(target->ReadPixel(x, 0) == A ? 'A'
                                                   : (target->ReadPixel(x, 0) == B ? 'B' : '?'));
    return row;
}

std::string Letters(const std::vector<uint32_t>& v)
{
    return std::string(v.begin(), v.end());
}

} // namespace

TEST(TextureSampler, WrapRepeatsTheTexture)
{
    EXPECT_EQ(Letters(DrawAddressed(TADDRESS_WRAP, 0, 4)), "ABABABAB");
}

TEST(TextureSampler, MirrorReflectsEveryOtherRepeat)
{
    EXPECT_EQ(Letters(DrawAddressed(TADDRESS_MIRROR, 0, 4)), "ABBAABBA");
}

TEST(TextureSampler, ClampHoldsTheEdgeTexels)
{
    // u = -1 + (x + 0.5) / 2: texel -2, -1, 0 are A (clamped), 1 and beyond B.
    EXPECT_EQ(Letters(DrawAddressed(TADDRESS_CLAMP, -1, 3)), "AAABBBBB");
}

TEST(TextureSampler, NegativeCoordinatesWrapAndMirror)
{
    EXPECT_EQ(Letters(DrawAddressed(TADDRESS_WRAP, -2, 2)), "ABABABAB");
    // Texels -4..3: [-4, -3] upright, [-2, -1] reflected, then upright again.
    EXPECT_EQ(Letters(DrawAddressed(TADDRESS_MIRROR, -2, 2)), "ABBAABBA");
}

TEST(TextureSampler, AddressTexelMapsEachMode)
{
    EXPECT_EQ(AddressTexel(-1, 4, TADDRESS_WRAP), 3);
    EXPECT_EQ(AddressTexel(9, 4, TADDRESS_WRAP), 1);
    EXPECT_EQ(AddressTexel(-1, 4, TADDRESS_MIRROR), 0);
    EXPECT_EQ(AddressTexel(5, 4, TADDRESS_MIRROR), 2);
    EXPECT_EQ(AddressTexel(-7, 4, TADDRESS_CLAMP), 0);
    EXPECT_EQ(AddressTexel(70, 4, TADDRESS_CLAMP), 3);
}

TEST(TextureSampler, BilinearMidpointsAverageAndQuartersWeigh)
{
    auto tex = MakeTexture(2, 2, {0xFF000000u, 0xFFFF0000u, 0xFF0000FFu, 0xFFFFFFFFu});
    TextureView view = MakeTextureView(tex.get());
    SamplerState state;
    state.mMagFilter = TFILTER_LINEAR;
    state.mMinFilter = TFILTER_LINEAR;
    state.mAddressU = TADDRESS_CLAMP;
    state.mAddressV = TADDRESS_CLAMP;
    TextureSampler sampler(&view, state);
    // Centre of the texture: all four texels equally (only white has green).
    EXPECT_EQ(sampler.Sample(0.5f, 0.5f, 0), 0xFF804080u);
    // Texel centres are exact.
    EXPECT_EQ(sampler.Sample(0.75f, 0.25f, 0), 0xFFFF0000u);
    // Between the top two texels: red halfway.
    EXPECT_EQ(sampler.Sample(0.5f, 0.25f, 0), 0xFF800000u);
    // A quarter of the way from texel 0 to texel 1 along u: red 64.
    EXPECT_EQ(sampler.Sample(0.375f, 0.25f, 0), 0xFF400000u);
}

TEST(TextureSampler, PointFilterPicksTheTexelUnderTheSample)
{
    auto tex = MakeTexture(2, 1, {0xFF111111u, 0xFF222222u});
    TextureView view = MakeTextureView(tex.get());
    TextureSampler sampler(&view, SamplerState{});
    EXPECT_EQ(sampler.Sample(0.49f, 0.5f, 0), 0xFF111111u);
    EXPECT_EQ(sampler.Sample(0.51f, 0.5f, 0), 0xFF222222u);
}

TEST(TextureSampler, MipLevelFollowsTheTexelToPixelRatio)
{
    auto level0 = MakeTexture(8, 8, std::vector<uint32_t>(64, 0xFFFF0000u));
    auto level1 = MakeTexture(4, 4, std::vector<uint32_t>(16, 0xFF00FF00u));
    auto level2 = MakeTexture(2, 2, std::vector<uint32_t>(4, 0xFF0000FFu));
    level1->SetNextMipLevel(level2);
    level0->SetNextMipLevel(level1);
    auto draw = [&](uint32_t mipFilter, float size)
    {
        auto [target, dev] = Make2dCanvas(8, 8);
        dev->SetTexture(0, level0);
        dev->SetTextureStageState(0, TSS_MIPFILTER, mipFilter);
        DrawQuad(*dev, Quad2d(0, 0, size, size));
        return target->ReadPixel(0, 0);
    };
    EXPECT_EQ(draw(TFP_NONE, 4), 0xFFFF0000u);  // no mip filter: level 0
    EXPECT_EQ(draw(TFP_POINT, 8), 0xFFFF0000u); // 1:1 is magnification
    EXPECT_EQ(draw(TFP_POINT, 4), 0xFF00FF00u); // half size: level 1
    EXPECT_EQ(draw(TFP_POINT, 2), 0xFF0000FFu); // quarter size: level 2
    EXPECT_EQ(draw(TFP_POINT, 1), 0xFF0000FFu); // beyond the chain: the last level
    // Linear between levels 1 and 2 at a ratio of 3 (log2 3 = 1.585): mostly level 2.
    uint32_t mixed = draw(TFP_LINEAR, 8.0f / 3.0f);
    EXPECT_EQ(mixed >> 16 & 0xFF, 0u);
    EXPECT_GT(mixed & 0xFF, mixed >> 8 & 0xFF);
    EXPECT_GT(mixed >> 8 & 0xFF, 0u);
}

TEST(TextureSampler, SixteenBitAndOpaqueFormatsReadAsArgb)
{
    auto rgb565 = MakeTexture(1, 1, {0xFFFF8844u}, FormatId::R5G6B5);
    TextureView v565 = MakeTextureView(rgb565.get());
    EXPECT_EQ(TextureSampler(&v565, SamplerState{}).Sample(0.5f, 0.5f, 0), 0xFFF88840u);
    auto argb4 = MakeTexture(1, 1, {0x80FF8844u}, FormatId::A4R4G4B4);
    TextureView v4444 = MakeTextureView(argb4.get());
    EXPECT_EQ(TextureSampler(&v4444, SamplerState{}).Sample(0.5f, 0.5f, 0), 0x80F08040u);
    auto xrgb = MakeTexture(1, 1, {0x00123456u}, FormatId::X8R8G8B8);
    TextureView vx = MakeTextureView(xrgb.get());
    EXPECT_EQ(TextureSampler(&vx, SamplerState{}).Sample(0.5f, 0.5f, 0), 0xFF123456u);
}

TEST(TextureSampler, DepthSurfacesCannotBeBound)
{
    auto [target, dev] = Make2dCanvas(4, 4);
    EXPECT_EQ(dev->SetTexture(0, MakeSurface(4, 4, FormatId::D16)), Result::InvalidPixelFormat);
    std::shared_ptr<Surface> bound;
    dev->GetTexture(0, &bound);
    EXPECT_EQ(bound, nullptr);
}

TEST(TextureSampler, HalfSizeWithLinearMipsSamplesTheNextLevelAlone)
{
    // A sprite at exactly half size with MIPFILTER LINEAR reads level 1 only.
    auto level0 = MakeTexture(8, 8, std::vector<uint32_t>(64, 0xFFFF0000u));
    auto level1 = MakeTexture(4, 4, std::vector<uint32_t>(16, 0xFF00FF00u));
    level0->SetNextMipLevel(level1);
    auto [target, dev] = Make2dCanvas(8, 8);
    dev->SetTexture(0, level0);
    dev->SetTextureStageState(0, TSS_MINFILTER, TFILTER_LINEAR);
    dev->SetTextureStageState(0, TSS_MAGFILTER, TFILTER_LINEAR);
    dev->SetTextureStageState(0, TSS_MIPFILTER, TFP_LINEAR);
    DrawQuad(*dev, Quad2d(0, 0, 4, 4));
    EXPECT_EQ(target->ReadPixel(1, 1), 0xFF00FF00u);
}
