// Which pixels primitives cover: the top-left fill rule, shared edges, the -0.5 pixel offset of
// the 2-D projection, lines, points and the viewport cut.
#include "sys/display/device_test_util.h"

#include <gtest/gtest.h>

using namespace devtest;

namespace
{

TLVertex Tl(float x, float y, uint32_t diffuse = 0xFFFFFFFF, float u = 0, float v = 0)
{
    return TLVertex{x, y, 0.5f, 1.0f, diffuse, 0, u, v};
}

void DrawTlQuad(Device& dev, float x0, float y0, float x1, float y1, uint32_t color)
{
    TLVertex v[4] = {Tl(x0, y0, color), Tl(x1, y0, color), Tl(x1, y1, color), Tl(x0, y1, color)};
    dev.DrawPrimitive(PT_TRIANGLEFAN, FVF_TLVERTEX, v, 4, 0);
}

} // namespace

TEST(RasterizerCoverage, TwoByTwoQuadAtHalfPixelOffsetsCoversFourPixels)
{
    auto [target, dev] = Make2dCanvas(8, 8);
    DrawTlQuad(*dev, 0.5f, 0.5f, 2.5f, 2.5f, 0xFFFF0000u);
    EXPECT_EQ(CountChanged(*target, 0), 4);
    for (uint32_t y = 1; y <= 2; ++y)
        for (uint32_t x = 1; x <= 2; ++x)
            EXPECT_EQ(target->ReadPixel(x, y), 0xFFFF0000u) << x << "," << y;
}

TEST(RasterizerCoverage, PixelCentresOnLeftAndTopEdgesAreInsideRightAndBottomAreNot)
{
    auto [target, dev] = Make2dCanvas(8, 8);
    DrawTlQuad(*dev, 1.0f, 1.0f, 3.0f, 3.0f, 0xFFFFFFFFu);
    EXPECT_EQ(CountChanged(*target, 0), 4);
    EXPECT_NE(target->ReadPixel(1, 1), 0u);
    EXPECT_NE(target->ReadPixel(2, 2), 0u);
    EXPECT_EQ(target->ReadPixel(3, 2), 0u);
    EXPECT_EQ(target->ReadPixel(2, 3), 0u);
}

TEST(RasterizerCoverage, TwoDimensionalQuadThroughTheProjectionCoversItsPixels)
{
    auto [target, dev] = Make2dCanvas(8, 8);
    DrawQuad(*dev, Quad2d(1, 1, 3, 3, 0xFF00FF00u));
    EXPECT_EQ(CountChanged(*target, 0), 4);
    EXPECT_EQ(target->ReadPixel(1, 1), 0xFF00FF00u);
    EXPECT_EQ(target->ReadPixel(2, 2), 0xFF00FF00u);
}

TEST(RasterizerCoverage, SharedEdgesOfAFanAreDrawnExactlyOnce)
{
    auto [target, dev] = Make2dCanvas(32, 32);
    SetBlend(*dev, BLEND_ONE, BLEND_ONE);
    // A fan of eight triangles around an off-centre point, inside the square (4, 4)-(28, 28).
    const uint32_t c = 0x10101010u;
    std::vector<TLVertex> fan = {Tl(13.3f, 17.7f, c), Tl(4, 4, c),   Tl(16.25f, 4, c), Tl(28, 4, c),
                                 Tl(28, 19, c),       Tl(28, 28, c), Tl(9.5f, 28, c),  Tl(4, 28, c),
                                 Tl(4, 11.125f, c),   Tl(4, 4, c)};
    dev->DrawPrimitive(PT_TRIANGLEFAN, FVF_TLVERTEX, fan.data(), static_cast<uint32_t>(fan.size()),
                       0);
    int covered = 0;
    for (uint32_t y = 0; y < 32; ++y)
        for (uint32_t x = 0; x < 32; ++x)
        {
            // Rgb only: alpha comes from the unbound texture (opaque) under the default stage.
            uint32_t p = target->ReadPixel(x, y) & 0xFFFFFFu;
            bool inside = x >= 4 && x < 28 && y >= 4 && y < 28;
            EXPECT_EQ(p, inside ? (c & 0xFFFFFFu) : 0u) << x << "," << y;
            covered += p != 0;
        }
    EXPECT_EQ(covered, 24 * 24);
}

TEST(RasterizerCoverage, DiagonalSplitOfAQuadLeavesNoGapAndNoOverlap)
{
    auto [target, dev] = Make2dCanvas(16, 16);
    SetBlend(*dev, BLEND_ONE, BLEND_ONE);
    const uint32_t c = 0x20202020u;
    TLVertex a[3] = {Tl(1.3f, 0.7f, c), Tl(14.6f, 2.2f, c), Tl(2.1f, 13.9f, c)};
    TLVertex b[3] = {Tl(14.6f, 2.2f, c), Tl(13.8f, 15.1f, c), Tl(2.1f, 13.9f, c)};
    dev->DrawPrimitive(PT_TRIANGLELIST, FVF_TLVERTEX, a, 3, 0);
    dev->DrawPrimitive(PT_TRIANGLELIST, FVF_TLVERTEX, b, 3, 0);
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 16; ++x)
        {
            uint32_t p = target->ReadPixel(x, y) & 0xFFFFFFu;
            EXPECT_TRUE(p == 0 || p == (c & 0xFFFFFFu)) << x << "," << y << " " << std::hex << p;
        }
    // Interior pixels near the shared diagonal are covered.
    EXPECT_EQ(target->ReadPixel(8, 8) & 0xFFFFFFu, c & 0xFFFFFFu);
}

TEST(RasterizerCoverage, TextureDrawnAtIntegerPositionIsAnExactCopy)
{
    std::vector<uint32_t> texels(16 * 16);
    for (uint32_t i = 0; i < texels.size(); ++i)
        texels[i] = 0xFF000000u | (i * 2654435761u >> 8);
    auto texture = MakeTexture(16, 16, texels);
    for (uint32_t filter : {TFILTER_POINT, TFILTER_LINEAR})
    {
        auto [target, dev] = Make2dCanvas(32, 32, FormatId::A8R8G8B8, 0xFF123456u);
        dev->SetTexture(0, texture);
        dev->SetTextureStageState(0, TSS_MAGFILTER, filter);
        dev->SetTextureStageState(0, TSS_MINFILTER, filter);
        dev->SetTextureStageState(0, TSS_ADDRESS, TADDRESS_CLAMP);
        DrawQuad(*dev, Quad2d(5, 3, 21, 19));
        for (uint32_t y = 0; y < 32; ++y)
            for (uint32_t x = 0; x < 32; ++x)
            {
                bool inside = x >= 5 && x < 21 && y >= 3 && y < 19;
                uint32_t expected = inside ? texels[(y - 3) * 16 + (x - 5)] : 0xFF123456u;
                ASSERT_EQ(target->ReadPixel(x, y), expected)
                    << "filter " << filter << " at " << x << "," << y;
            }
    }
}

TEST(RasterizerCoverage, HalfPixelOffsetWithBilinearFilteringAveragesNeighbours)
{
    std::vector<uint32_t> texels(16 * 16);
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 16; ++x)
            texels[y * 16 + x] = 0xFF000000u | (x * 16) << 16 | (y * 16) << 8 | (x * 7 % 256);
    auto texture = MakeTexture(16, 16, texels);
    auto [target, dev] = Make2dCanvas(32, 32);
    dev->SetTexture(0, texture);
    dev->SetTextureStageState(0, TSS_MAGFILTER, TFILTER_LINEAR);
    dev->SetTextureStageState(0, TSS_MINFILTER, TFILTER_LINEAR);
    dev->SetTextureStageState(0, TSS_ADDRESS, TADDRESS_CLAMP);
    DrawQuad(*dev, Quad2d(5.5f, 3, 21.5f, 19));
    auto avg = [](uint32_t a, uint32_t b)
    {
        uint32_t out = 0;
        for (int s = 0; s < 32; s += 8)
            out |= ((((a >> s) & 0xFF) + ((b >> s) & 0xFF) + 1) / 2) << s;
        return out;
    };
    for (uint32_t y = 3; y < 19; ++y)
    {
        const uint32_t* row = &texels[(y - 3) * 16];
        // The first pixel's centre sits on the quad's left edge: half outside the texture,
        // clamped to the first texel.
        EXPECT_EQ(target->ReadPixel(5, y), row[0]);
        for (uint32_t x = 6; x < 21; ++x)
            ASSERT_EQ(target->ReadPixel(x, y), avg(row[x - 6], row[x - 5])) << x << "," << y;
        EXPECT_EQ(target->ReadPixel(21, y), 0u);
    }
}

TEST(RasterizerCoverage, HorizontalLineLightsPixelsItLeavesNotTheLastOne)
{
    auto [target, dev] = Make2dCanvas(16, 16);
    dev->SetRenderState(RS_LASTPIXEL, 0);
    TLVertex line[2] = {Tl(2, 5, 0xFFFFFFFF), Tl(6, 5, 0xFFFFFFFF)};
    dev->DrawPrimitive(PT_LINELIST, FVF_TLVERTEX, line, 2, 0);
    EXPECT_EQ(CountChanged(*target, 0), 4);
    for (uint32_t x = 2; x < 6; ++x)
        EXPECT_EQ(target->ReadPixel(x, 5), 0xFFFFFFFFu);
}

TEST(RasterizerCoverage, LastPixelStateAddsTheEndPixel)
{
    auto [target, dev] = Make2dCanvas(16, 16);
    // The default is on.
    TLVertex line[4] = {Tl(2, 5), Tl(6, 5), Tl(12, 9), Tl(8, 9)};
    dev->DrawPrimitive(PT_LINELIST, FVF_TLVERTEX, line, 4, 0);
    for (uint32_t x = 2; x <= 6; ++x)
        EXPECT_NE(target->ReadPixel(x, 5), 0u) << x;
    for (uint32_t x = 8; x <= 12; ++x)
        EXPECT_NE(target->ReadPixel(x, 9), 0u) << x;
    EXPECT_EQ(CountChanged(*target, 0), 10);
}

TEST(RasterizerCoverage, LinesDrawnEitherWayMirrorEachOther)
{
    auto [target, dev] = Make2dCanvas(16, 16);
    dev->SetRenderState(RS_LASTPIXEL, 0);
    TLVertex line[4] = {Tl(3, 2), Tl(3, 9), Tl(12, 7), Tl(5, 7)};
    dev->DrawPrimitive(PT_LINELIST, FVF_TLVERTEX, line, 4, 0);
    // Downwards: it leaves the diamonds of rows 2..8.
    for (uint32_t y = 2; y < 9; ++y)
        EXPECT_NE(target->ReadPixel(3, y), 0u) << y;
    EXPECT_EQ(target->ReadPixel(3, 9), 0u);
    // Leftwards from 12 to 5: it leaves the diamonds of 12..6, not the one it ends in.
    for (uint32_t x = 6; x <= 12; ++x)
        EXPECT_NE(target->ReadPixel(x, 7), 0u) << x;
    EXPECT_EQ(target->ReadPixel(5, 7), 0u);
    EXPECT_EQ(CountChanged(*target, 0), 7 + 7);
}

TEST(RasterizerCoverage, LinesAreCutByTheViewport)
{
    auto [target, dev] = Make2dCanvas(16, 16);
    ASSERT_EQ(dev->SetViewport(Viewport{4, 0, 6, 16, 0, 1}), Result::Ok);
    TLVertex line[2] = {Tl(-100, 3), Tl(300, 3)};
    dev->DrawPrimitive(PT_LINELIST, FVF_TLVERTEX, line, 2, 0);
    EXPECT_EQ(CountChanged(*target, 0), 6);
    EXPECT_NE(target->ReadPixel(4, 3), 0u);
    EXPECT_NE(target->ReadPixel(9, 3), 0u);
}

TEST(RasterizerCoverage, PointLightsTheNearestPixel)
{
    auto [target, dev] = Make2dCanvas(8, 8);
    TLVertex p[2] = {Tl(3.2f, 4.4f), Tl(6.5f, 1.5f)};
    dev->DrawPrimitive(PT_POINTLIST, FVF_TLVERTEX, p, 2, 0);
    EXPECT_EQ(CountChanged(*target, 0), 2);
    EXPECT_NE(target->ReadPixel(3, 4), 0u);
    EXPECT_NE(target->ReadPixel(7, 2), 0u);
}

TEST(RasterizerCoverage, PreTransformedTrianglePartlyOutsideTheViewportStaysInside)
{
    auto [target, dev] = Make2dCanvas(32, 32);
    ASSERT_EQ(dev->SetViewport(Viewport{8, 6, 10, 12, 0, 1}), Result::Ok);
    TLVertex v[3] = {Tl(-500, -300), Tl(40000, 15), Tl(12, 90000)};
    dev->DrawPrimitive(PT_TRIANGLELIST, FVF_TLVERTEX, v, 3, 0);
    for (uint32_t y = 0; y < 32; ++y)
        for (uint32_t x = 0; x < 32; ++x)
        {
            bool inViewport = x >= 8 && x < 18 && y >= 6 && y < 18;
            if (!inViewport)
            {
                ASSERT_EQ(target->ReadPixel(x, y), 0u) << x << "," << y;
            }
        }
    EXPECT_GT(CountChanged(*target, 0), 0);
}

TEST(RasterizerCoverage, ProjectedTriangleCrossingTheViewportIsCut)
{
    auto [target, dev] = Make2dCanvas(32, 32);
    ASSERT_EQ(dev->SetViewport(Viewport{4, 4, 8, 8, 0, 1}), Result::Ok);
    dev->SetTransform(TS_PROJECTION, Projection2d(8, 8));
    std::vector<LVertex> tri = Quad2d(-100, -100, 300, 300, 0xFFFFFFFF);
    DrawQuad(*dev, tri);
    EXPECT_EQ(CountChanged(*target, 0), 64);
    EXPECT_NE(target->ReadPixel(4, 4), 0u);
    EXPECT_NE(target->ReadPixel(11, 11), 0u);
    EXPECT_EQ(target->ReadPixel(12, 11), 0u);
}

TEST(RasterizerCoverage, EmptyViewportDrawsNothing)
{
    auto [target, dev] = Make2dCanvas(16, 16);
    ASSERT_EQ(dev->SetViewport(Viewport{3, 3, 0, 5, 0, 1}), Result::Ok);
    DrawQuad(*dev, Quad2d(0, 0, 16, 16));
    EXPECT_EQ(CountChanged(*target, 0), 0);
}

TEST(RasterizerCoverage, ProjectedLineCrossingTheNearPlaneIsCut)
{
    auto [target, dev] = Make2dCanvas(32, 32);
    dev->SetRenderState(RS_CLIPPING, 1);
    dev->SetRenderState(RS_LASTPIXEL, 0);
    dev->SetTransform(TS_PROJECTION, Projection2d(32, 32));
    // z from -1 to 1 through the 2-D projection (z passes through): half the line is in front of
    // the near plane and is cut away; the other half draws up to the end.
    LVertex line[2] = {LVertex{2, 10, -1.0f, 0, 0xFFFFFFFFu, 0, 0, 0},
                       LVertex{22, 10, 1.0f, 0, 0xFFFFFFFFu, 0, 0, 0}};
    ASSERT_EQ(dev->DrawPrimitive(PT_LINELIST, FVF_LVERTEX, line, 2, 0), Result::Ok);
    EXPECT_EQ(target->ReadPixel(5, 10), 0u);
    EXPECT_NE(target->ReadPixel(15, 10), 0u);
    EXPECT_NE(target->ReadPixel(20, 10), 0u);
    // Drawn the other way round the same half remains.
    auto [target2, dev2] = Make2dCanvas(32, 32);
    dev2->SetRenderState(RS_CLIPPING, 1);
    dev2->SetTransform(TS_PROJECTION, Projection2d(32, 32));
    LVertex back[2] = {line[1], line[0]};
    dev2->DrawPrimitive(PT_LINELIST, FVF_LVERTEX, back, 2, 0);
    EXPECT_EQ(target2->ReadPixel(5, 10), 0u);
    EXPECT_NE(target2->ReadPixel(15, 10), 0u);
}
