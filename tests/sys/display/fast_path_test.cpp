// The 2-D fast paths (aligned copies, fixed-point point and bilinear spans, vector blends) give
// the same bytes as the general per-pixel path, which a depth test that always passes forces.
#include "device_test_util.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <gtest/gtest.h>

using namespace devtest;

namespace
{

std::shared_ptr<Surface> PatternTexture(uint32_t size)
{
    std::vector<uint32_t> texels(size * size);
    for (uint32_t y = 0; y < size; ++y)
        for (uint32_t x = 0; x < size; ++x)
        {
            uint32_t a =
                (x * 37 + y * 11) % 5 == 0 ? 0 : ((x + y) % 3 == 0 ? 255 : (x * 29 + y * 7) & 0xFF);
            texels[y * size + x] =
                a << 24 | ((x * 13) & 0xFF) << 16 | ((y * 17) & 0xFF) << 8 | ((x ^ y) * 9 & 0xFF);
        }
    return MakeTexture(size, size, texels);
}

struct Case
{
    const char* name;
    bool blend;
    BlendFactor src, dest;
    bool alphaTest;
    uint32_t filter;
    uint32_t diffuse;
    float angle, scale, dx;
};

// A 2-D device over `target`, given a depth buffer: `forceGeneral` turns on a depth test that
// always passes, which keeps every draw off the fast paths without changing what it draws.
std::unique_ptr<Device> MakeComparedDevice(const std::shared_ptr<Surface>& target,
                                           bool forceGeneral)
{
    target->AddAttachedSurface(MakeSurface(target->GetWidth(), target->GetHeight(), FormatId::D16));
    auto dev = Make2dDevice(target);
    if (forceGeneral)
    {
        dev->SetRenderState(RS_ZENABLE, 1);
        dev->SetRenderState(RS_ZFUNC, CMP_ALWAYS);
        dev->SetRenderState(RS_ZWRITEENABLE, 0);
    }
    return dev;
}

// Stage 0 draws `texture` filtered linearly, its alpha modulated by the vertices'.
void SetLinearTexture(Device& dev, const std::shared_ptr<Surface>& texture)
{
    dev.SetTexture(0, texture);
    dev.SetTextureStageState(0, TSS_ALPHAOP, TOP_MODULATE);
    dev.SetTextureStageState(0, TSS_MAGFILTER, TFILTER_LINEAR);
    dev.SetTextureStageState(0, TSS_MINFILTER, TFILTER_LINEAR);
}

std::vector<uint32_t> Render(const Case& c, bool forceGeneral, FormatId format = FormatId::A8R8G8B8)
{
    auto target = MakeSurface(96, 96, format, 0x80604020u);
    auto dev = MakeComparedDevice(target, forceGeneral);
    dev->SetTexture(0, PatternTexture(32));
    dev->SetTextureStageState(0, TSS_ALPHAOP, TOP_MODULATE);
    dev->SetTextureStageState(0, TSS_MAGFILTER, c.filter);
    dev->SetTextureStageState(0, TSS_MINFILTER, c.filter);
    dev->SetTextureStageState(0, TSS_ADDRESS, TADDRESS_WRAP);
    dev->SetRenderState(RS_ALPHABLENDENABLE, c.blend ? 1 : 0);
    dev->SetRenderState(RS_SRCBLEND, c.src);
    dev->SetRenderState(RS_DESTBLEND, c.dest);
    dev->SetRenderState(RS_ALPHATESTENABLE, c.alphaTest ? 1 : 0);
    dev->SetRenderState(RS_ALPHAREF, 1);
    dev->SetRenderState(RS_ALPHAFUNC, CMP_GREATEREQUAL);
    float half = 16 * c.scale;
    float cs = std::cos(c.angle), sn = std::sin(c.angle);
    const float corners[4][2] = {{-half, -half}, {half, -half}, {half, half}, {-half, half}};
    const float uv[4][2] = {{0, 0}, {1.5f, 0}, {1.5f, 1.5f}, {0, 1.5f}};
    LVertex v[4];
    for (int i = 0; i < 4; ++i)
    {
        float x = corners[i][0] * 1.5f * cs - corners[i][1] * 1.5f * sn + 40 + c.dx;
        float y = corners[i][0] * 1.5f * sn + corners[i][1] * 1.5f * cs + 40;
        v[i] = LVertex{x, y, 0.1f, 0.5f, c.diffuse, 0xFF000000u, uv[i][0], uv[i][1]};
    }
    dev->DrawIndexedPrimitive(PT_TRIANGLELIST, FVF_LVERTEX, v, 4, kQuadIndices, 6, 0);
    std::vector<uint32_t> out;
    for (uint32_t y = 0; y < 96; ++y)
        for (uint32_t x = 0; x < 96; ++x)
            out.push_back(target->ReadPixel(x, y));
    return out;
}

} // namespace

TEST(FastPath, MatchesTheGeneralPathByteForByte)
{
    const Case cases[] = {
        {"aligned copy", false, BLEND_ONE, BLEND_ZERO, false, TFILTER_LINEAR, 0xFFFFFFFFu, 0, 1, 0},
        {"aligned alpha", true, BLEND_SRCALPHA, BLEND_INVSRCALPHA, true, TFILTER_LINEAR,
         0xFFFFFFFFu, 0, 1, 0},
        {"aligned tinted alpha", true, BLEND_SRCALPHA, BLEND_INVSRCALPHA, true, TFILTER_POINT,
         0x80FF8040u, 0, 1, 0},
        {"aligned opaque test", false, BLEND_ONE, BLEND_ZERO, true, TFILTER_POINT, 0xC0FFFFFFu, 0,
         1, 0},
        {"aligned additive", true, BLEND_SRCALPHA, BLEND_ONE, true, TFILTER_LINEAR, 0xFFFFFFFFu, 0,
         1, 0},
        {"aligned subtractive", true, BLEND_ZERO, BLEND_INVSRCCOLOR, true, TFILTER_LINEAR,
         0xFFFFFFFFu, 0, 1, 0},
        {"half offset bilinear", true, BLEND_SRCALPHA, BLEND_INVSRCALPHA, true, TFILTER_LINEAR,
         0xFFFFFFFFu, 0, 1, 0.5f},
        {"scaled point", true, BLEND_SRCALPHA, BLEND_INVSRCALPHA, false, TFILTER_POINT, 0xFFFFFFFFu,
         0, 1.3f, 0.25f},
        {"rotated bilinear", true, BLEND_SRCALPHA, BLEND_INVSRCALPHA, true, TFILTER_LINEAR,
         0xE0C0FFFFu, 0.4f, 1.1f, 0},
        {"rotated multiply", true, BLEND_ZERO, BLEND_SRCCOLOR, false, TFILTER_LINEAR, 0xFFFFFFFFu,
         2.0f, 0.7f, 0.3f},
    };
    for (const Case& c : cases)
    {
        std::vector<uint32_t> fast = Render(c, false);
        std::vector<uint32_t> general = Render(c, true);
        // The same through a 16-bit target's row conversion.
        EXPECT_EQ(Render(c, false, FormatId::R5G6B5), Render(c, true, FormatId::R5G6B5)) << c.name;
        size_t differ = 0, first = 0;
        for (size_t i = 0; i < fast.size(); ++i)
            if (fast[i] != general[i] && differ++ == 0)
                first = i;
        EXPECT_EQ(differ, 0u) << c.name << ": first at " << first % 96 << "," << first / 96
                              << " fast " << std::hex << fast[first] << " general "
                              << general[first];
        size_t drawn = 0;
        for (uint32_t p : fast)
            drawn += p != 0x80604020u;
        EXPECT_GT(drawn, 500u) << c.name;
    }
}

TEST(FastPath, BandThreadsGiveTheSamePictureAsOneThread)
{
    auto render = [](uint32_t threads)
    {
        auto target = MakeSurface(320, 240, FormatId::A8R8G8B8, 0xFF102030u);
        target->AddAttachedSurface(MakeSurface(320, 240, FormatId::D16));
        auto dev = Make2dDevice(target);
        dev->SetRasterThreads(threads);
        dev->SetTexture(0, PatternTexture(32));
        dev->SetTextureStageState(0, TSS_ALPHAOP, TOP_MODULATE);
        dev->SetTextureStageState(0, TSS_MAGFILTER, TFILTER_LINEAR);
        dev->SetTextureStageState(0, TSS_MINFILTER, TFILTER_LINEAR);
        SetBlend(*dev, BLEND_SRCALPHA, BLEND_INVSRCALPHA);
        // Full-screen layers: aligned, scaled, rotated and a Gouraud fan with depth.
        DrawQuad(*dev, Quad2d(0, 0, 320, 240, 0xFFFFFFFFu, 0, 0, 10, 7.5f));
        DrawQuad(*dev, Quad2d(-13.3f, 7.7f, 300.1f, 250.9f, 0xC0FFFFFFu, 0.1f, 0.2f, 3.3f, 2.9f));
        LVertex rotated[4] = {LVertex{160, -60, 0.1f, 0, 0xFFFFFFFFu, 0, 0, 0},
                              LVertex{380, 120, 0.1f, 0, 0xFFFFFFFFu, 0, 2, 0},
                              LVertex{160, 300, 0.1f, 0, 0xFFFFFFFFu, 0, 2, 2},
                              LVertex{-60, 120, 0.1f, 0, 0xFFFFFFFFu, 0, 0, 2}};
        dev->SetRenderState(RS_DESTBLEND, BLEND_ONE);
        dev->DrawIndexedPrimitive(PT_TRIANGLELIST, FVF_LVERTEX, rotated, 4, kQuadIndices, 6, 0);
        dev->SetTexture(0, nullptr);
        dev->SetRenderState(RS_ZENABLE, 1);
        dev->Clear(0, nullptr, CLEAR_ZBUFFER, 0, 1.0f, 0);
        TLVertex fan[4] = {TLVertex{10, 10, 0.2f, 1, 0x80FF0000u, 0, 0, 0},
                           TLVertex{310, 30, 0.9f, 1, 0x8000FF00u, 0, 0, 0},
                           TLVertex{290, 230, 0.5f, 1, 0x800000FFu, 0, 0, 0},
                           TLVertex{20, 220, 0.1f, 1, 0x80FFFFFFu, 0, 0, 0}};
        dev->DrawPrimitive(PT_TRIANGLEFAN, FVF_TLVERTEX, fan, 4, 0);
        // One draw of many small rotated quads (a particle batch), many across band edges, and
        // a strip of thin triangles: each band sets up only what reaches it.
        dev->SetRenderState(RS_ZENABLE, 0);
        dev->SetTexture(0, PatternTexture(16));
        std::vector<LVertex> batch;
        std::vector<uint16_t> indices;
        for (int i = 0; i < 300; ++i)
        {
            float cx = static_cast<float>((i * 37) % 330) - 5,
                  cy = static_cast<float>((i * 53) % 250) - 5;
            float c = std::cos(i * 0.7f) * 11, s = std::sin(i * 0.7f) * 11;
            const uint16_t base = static_cast<uint16_t>(batch.size());
            batch.push_back(LVertex{cx - c + s, cy - s - c, 0.1f, 0, 0x90FFC080u, 0, 0, 0});
            batch.push_back(LVertex{cx + c + s, cy + s - c, 0.1f, 0, 0x90FFC080u, 0, 1, 0});
            batch.push_back(LVertex{cx + c - s, cy + s + c, 0.1f, 0, 0x90FFC080u, 0, 1, 1});
            batch.push_back(LVertex{cx - c - s, cy - s + c, 0.1f, 0, 0x90FFC080u, 0, 0, 1});
            for (uint16_t k : kQuadIndices)
                indices.push_back(static_cast<uint16_t>(base + k));
        }
        dev->DrawIndexedPrimitive(PT_TRIANGLELIST, FVF_LVERTEX, batch.data(),
                                  static_cast<uint32_t>(batch.size()), indices.data(),
                                  static_cast<uint32_t>(indices.size()), 0);
        std::vector<TLVertex> strip; // across the target and back, twice
        for (int i = 0; i < 800; ++i)
        {
            float x = static_cast<float>(i % 200) * 1.6f;
            strip.push_back(TLVertex{(i / 200) % 2 ? 318.4f - x : x, (i % 2) ? 239.5f : 0.25f, 0.5f,
                                     1, 0x30FFFFFFu, 0, 0, 0});
        }
        dev->DrawPrimitive(PT_TRIANGLESTRIP, FVF_TLVERTEX, strip.data(),
                           static_cast<uint32_t>(strip.size()), 0);
        // A floor in perspective reaching from behind the eye: its rows are unknown until clipped,
        // and the cells from z = 0 to 3 reach down into the lowest band of four from above it.
        dev->SetTransform(TS_PROJECTION, Perspective(1.2f, 320.0f / 240.0f, 1.0f, 30.0f));
        std::vector<LVertex> floor;
        std::vector<uint16_t> cells;
        for (int j = 0; j <= 12; ++j)
            for (int i = 0; i <= 12; ++i)
                floor.push_back(LVertex{-6.0f + i, -1.0f, -3.0f + 3.0f * j, 0,
                                        0xC0000000u | ((i * 40) << 16) | ((j * 20) << 8), 0,
                                        i / 4.0f, j / 4.0f});
        for (int j = 0; j < 12; ++j)
            for (int i = 0; i < 12; ++i)
            {
                const int a = j * 13 + i;
                for (int k : {a, a + 1, a + 14, a, a + 14, a + 13})
                    cells.push_back(static_cast<uint16_t>(k));
            }
        dev->DrawIndexedPrimitive(PT_TRIANGLELIST, FVF_LVERTEX, floor.data(),
                                  static_cast<uint32_t>(floor.size()), cells.data(),
                                  static_cast<uint32_t>(cells.size()), 0);
        std::vector<uint32_t> out;
        for (uint32_t y = 0; y < 240; ++y)
            for (uint32_t x = 0; x < 320; ++x)
                out.push_back(target->ReadPixel(x, y));
        out.push_back(static_cast<uint32_t>(dev->GetPixelCount()));
        return out;
    };
    std::vector<uint32_t> one = render(1);
    for (uint32_t threads : {2u, 3u, 4u, 7u})
        EXPECT_EQ(render(threads), one) << threads << " threads";
}

TEST(FastPath, QuadDrawnWholeMatchesItsTwoTriangles)
{
    for (float angle : {0.0f, 0.35f, 1.2f, 2.9f})
    {
        auto render = [&](bool whole)
        {
            auto [target, dev] = Make2dCanvas(64, 64, FormatId::A8R8G8B8, 0xFF204060u);
            dev->SetTexture(0, PatternTexture(16));
            dev->SetTextureStageState(0, TSS_ALPHAOP, TOP_MODULATE);
            dev->SetTextureStageState(0, TSS_MAGFILTER, TFILTER_LINEAR);
            dev->SetTextureStageState(0, TSS_MINFILTER, TFILTER_LINEAR);
            SetBlend(*dev, BLEND_SRCALPHA, BLEND_INVSRCALPHA);
            float c = std::cos(angle) * 20, s = std::sin(angle) * 20;
            LVertex v[4] = {LVertex{31.3f - c + s, 30.7f - s - c, 0.1f, 0, 0xFFFFFFFFu, 0, 0, 0},
                            LVertex{31.3f + c + s, 30.7f + s - c, 0.1f, 0, 0xFFFFFFFFu, 0, 1, 0},
                            LVertex{31.3f + c - s, 30.7f + s + c, 0.1f, 0, 0xFFFFFFFFu, 0, 1, 1},
                            LVertex{31.3f - c - s, 30.7f - s + c, 0.1f, 0, 0xFFFFFFFFu, 0, 0, 1}};
            if (whole)
                dev->DrawIndexedPrimitive(PT_TRIANGLELIST, FVF_LVERTEX, v, 4, kQuadIndices, 6, 0);
            else
            {
                LVertex first[3] = {v[0], v[1], v[2]};
                LVertex second[3] = {v[0], v[2], v[3]};
                dev->DrawPrimitive(PT_TRIANGLELIST, FVF_LVERTEX, first, 3, 0);
                dev->DrawPrimitive(PT_TRIANGLELIST, FVF_LVERTEX, second, 3, 0);
            }
            return ReadAll(*target);
        };
        // The same pixels are covered; values may differ by a step or two, because the second
        // triangle alone takes its texture mapping from its own snapped corners.
        std::vector<uint32_t> whole = render(true), split = render(false);
        int worst = 0;
        size_t coverage = 0;
        for (size_t i = 0; i < whole.size(); ++i)
        {
            coverage += (whole[i] == 0xFF204060u) != (split[i] == 0xFF204060u);
            for (int sh = 0; sh < 32; sh += 8)
                worst = std::max(worst, std::abs(static_cast<int>(whole[i] >> sh & 0xFF) -
                                                 static_cast<int>(split[i] >> sh & 0xFF)));
        }
        EXPECT_EQ(coverage, 0u) << "angle " << angle;
        EXPECT_LE(worst, 2) << "angle " << angle;
    }
}

TEST(FastPath, TwoMipLevelsBlendAlikeOnBothPaths)
{
    // A 32x32 texture with its chain, drawn rotated at 0.7 times its size with linear mips, so
    // each pixel blends levels 0 and 1.
    auto level0 = PatternTexture(32);
    auto level1 = PatternTexture(16);
    auto level2 = PatternTexture(8);
    level1->SetNextMipLevel(level2);
    level0->SetNextMipLevel(level1);
    auto render = [&](bool forceGeneral)
    {
        auto target = MakeSurface(64, 64, FormatId::A8R8G8B8, 0xFF204060u);
        auto dev = MakeComparedDevice(target, forceGeneral);
        SetLinearTexture(*dev, level0);
        dev->SetTextureStageState(0, TSS_MIPFILTER, TFP_LINEAR);
        SetBlend(*dev, BLEND_SRCALPHA, BLEND_INVSRCALPHA);
        float c = std::cos(0.3f) * 11.2f, s = std::sin(0.3f) * 11.2f;
        LVertex v[4] = {LVertex{32 - c + s, 32 - s - c, 0.1f, 0, 0xFFFFFFFFu, 0, 0, 0},
                        LVertex{32 + c + s, 32 + s - c, 0.1f, 0, 0xFFFFFFFFu, 0, 1, 0},
                        LVertex{32 + c - s, 32 + s + c, 0.1f, 0, 0xFFFFFFFFu, 0, 1, 1},
                        LVertex{32 - c - s, 32 - s + c, 0.1f, 0, 0xFFFFFFFFu, 0, 0, 1}};
        dev->DrawIndexedPrimitive(PT_TRIANGLELIST, FVF_LVERTEX, v, 4, kQuadIndices, 6, 0);
        return ReadAll(*target);
    };
    std::vector<uint32_t> fast = render(false);
    EXPECT_EQ(fast, render(true));
    size_t drawn = 0;
    for (uint32_t p : fast)
        drawn += p != 0xFF204060u;
    EXPECT_GT(drawn, 300u);
}

TEST(FastPath, HostileSpritesStayInsideTheViewport)
{
    const float values[] = {0.0f,     0.5f,      -0.5f, 1.0f,          31.5f,  1e6f,   -1e6f,
                            16000.0f, -16000.0f, 3e38f, std::nanf(""), 1e-20f, 100.25f};
    auto [target, dev] = Make2dCanvas(48, 48);
    ASSERT_EQ(dev->SetViewport(Viewport{8, 8, 32, 32, 0, 1}), Result::Ok);
    dev->SetTransform(TS_PROJECTION, Projection2d(32, 32));
    auto tex = PatternTexture(16);
    uint32_t seed = 99;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    auto pick = [&] { return values[next() % (sizeof values / sizeof values[0])]; };
    const uint32_t modes[] = {TADDRESS_WRAP, TADDRESS_MIRROR, TADDRESS_CLAMP};
    for (int round = 0; round < 400; ++round)
    {
        dev->SetTexture(0, round % 5 == 0 ? nullptr : tex);
        dev->SetTextureStageState(0, TSS_ADDRESSU, modes[next() % 3]);
        dev->SetTextureStageState(0, TSS_ADDRESSV, modes[next() % 3]);
        dev->SetTextureStageState(0, TSS_MAGFILTER, 1 + next() % 2);
        dev->SetTextureStageState(0, TSS_MINFILTER, 1 + next() % 2);
        dev->SetRenderState(RS_ALPHABLENDENABLE, next() % 2);
        dev->SetRenderState(RS_DESTBLEND, next() % 2 ? BLEND_ONE : BLEND_INVSRCALPHA);
        dev->SetRenderState(RS_SRCBLEND, BLEND_SRCALPHA);
        float x = pick(), y = pick(), w = pick(), h = pick();
        auto quad =
            Quad2d(x, y, x + w, y + h, next() | 0x01000000u, pick(), pick(), pick(), pick());
        DrawQuad(*dev, quad);
        TLVertex tl[4] = {TLVertex{pick(), pick(), 0.5f, 1, next(), 0, pick(), pick()},
                          TLVertex{pick(), pick(), 0.5f, 1, next(), 0, pick(), pick()},
                          TLVertex{pick(), pick(), 0.5f, 1, next(), 0, pick(), pick()},
                          TLVertex{pick(), pick(), 0.5f, 1, next(), 0, pick(), pick()}};
        dev->DrawPrimitive(PT_TRIANGLEFAN, FVF_TLVERTEX, tl, 4, 0);
    }
    for (uint32_t y = 0; y < 48; ++y)
        for (uint32_t x = 0; x < 48; ++x)
            if (x < 8 || x >= 40 || y < 8 || y >= 40)
            {
                ASSERT_EQ(target->ReadPixel(x, y), 0u) << x << "," << y;
            }
}

// Rotated, magnified bilinear quads reaching past small textures (power-of-two and not, with
// and without alpha) under every pair of addressing modes and each blend: whole polygons whose
// rows all take the vector bilinear loop give the general path's bytes too.
TEST(FastPath, BilinearQuadsPastTheTextureEdgesUnderEveryAddressing)
{
    const uint32_t modes[] = {TADDRESS_WRAP, TADDRESS_MIRROR, TADDRESS_CLAMP};
    const BlendFactor dests[] = {BLEND_INVSRCALPHA, BLEND_ONE};
    std::vector<uint32_t> texels(12 * 8);
    for (size_t i = 0; i < texels.size(); ++i)
        texels[i] = static_cast<uint32_t>(i * 0x9E3779B9u) | (i % 4 == 0 ? 0xFF000000u : 0);
    // The texture without alpha has every texel's alpha forced to 255 before the filter.
    const std::shared_ptr<Surface> textures[] = {PatternTexture(8), MakeTexture(12, 8, texels),
                                                 MakeTexture(8, 12, texels, FormatId::X8R8G8B8)};
    for (const auto& texture : textures)
        for (uint32_t u : modes)
            for (uint32_t v : modes)
                for (int blend = 0; blend < 3; ++blend)
                {
                    auto render = [&](bool forceGeneral)
                    {
                        auto target = MakeSurface(64, 64, FormatId::A8R8G8B8, 0xFF204060u);
                        auto dev = MakeComparedDevice(target, forceGeneral);
                        SetLinearTexture(*dev, texture);
                        dev->SetTextureStageState(0, TSS_ADDRESSU, u);
                        dev->SetTextureStageState(0, TSS_ADDRESSV, v);
                        dev->SetRenderState(RS_ALPHABLENDENABLE, blend != 0);
                        dev->SetRenderState(RS_SRCBLEND, BLEND_SRCALPHA);
                        dev->SetRenderState(RS_DESTBLEND, dests[blend % 2]);
                        for (int q = 0; q < 6; ++q)
                        {
                            const float cx = 10.0f + 9.0f * q, cy = 12.0f + 7.0f * q;
                            const float c = std::cos(0.4f * q) * (5.0f + 3.0f * q),
                                        s = std::sin(0.4f * q) * (5.0f + 3.0f * q);
                            const float lo = -0.7f + 0.1f * q, hi = 1.6f - 0.2f * q;
                            const uint32_t color = q % 2 ? 0xFFFFFFFFu : 0xA0FFC080u;
                            LVertex quad[4] = {
                                LVertex{cx - c + s, cy - s - c, 0.1f, 0, color, 0, lo, lo},
                                LVertex{cx + c + s, cy + s - c, 0.1f, 0, color, 0, hi, lo},
                                LVertex{cx + c - s, cy + s + c, 0.1f, 0, color, 0, hi, hi},
                                LVertex{cx - c - s, cy - s + c, 0.1f, 0, color, 0, lo, hi}};
                            dev->DrawIndexedPrimitive(PT_TRIANGLELIST, FVF_LVERTEX, quad, 4,
                                                      kQuadIndices, 6, 0);
                        }
                        return ReadAll(*target);
                    };
                    ASSERT_EQ(render(false), render(true))
                        << "modes " << u << "," << v << " blend " << blend << " size "
                        << texture->GetWidth() << "x" << texture->GetHeight();
                }
}

// Scaled bilinear quads whose samples all keep their four texels within the texture, reaching
// within a step of its last texels (the last group of a row samples past the quad), with and
// without a tint, a replaced alpha and each blend, at widths that leave every remainder of four.
TEST(FastPath, BilinearQuadsJustInsideTheTexture)
{
    const std::shared_ptr<Surface> textures[] = {PatternTexture(8), PatternTexture(12)};
    for (const auto& texture : textures)
        for (int blend = 0; blend < 3; ++blend)
            for (int look = 0; look < 3; ++look)
            {
                auto render = [&](bool forceGeneral)
                {
                    auto target = MakeSurface(96, 64, FormatId::A8R8G8B8, 0xFF204060u);
                    auto dev = MakeComparedDevice(target, forceGeneral);
                    SetLinearTexture(*dev, texture);
                    dev->SetTextureStageState(0, TSS_ADDRESS,
                                              look == 1 ? TADDRESS_WRAP : TADDRESS_CLAMP);
                    // A replaced alpha: the diffuse colour's.
                    if (look == 2)
                        dev->SetTextureStageState(0, TSS_ALPHAOP, TOP_SELECTARG2);
                    dev->SetRenderState(RS_ALPHABLENDENABLE, blend != 0);
                    dev->SetRenderState(RS_SRCBLEND, BLEND_SRCALPHA);
                    dev->SetRenderState(RS_DESTBLEND, blend == 1 ? BLEND_INVSRCALPHA : BLEND_ONE);
                    const float lo = 0.07f, hi = 1.0f - 0.07f * 8 / texture->GetWidth();
                    for (int q = 0; q < 8; ++q)
                    {
                        const float x = 3.3f + 11.0f * q, y = 2.6f + 7.0f * q;
                        const float w = 3.0f + 1.7f * q, h = 5.0f + 0.9f * q;
                        const uint32_t color = look == 0 ? 0xFFFFFFFFu : 0xA0FFC080u;
                        LVertex quad[4] = {LVertex{x, y, 0.1f, 0, color, 0, lo, lo},
                                           LVertex{x + w, y, 0.1f, 0, color, 0, hi, lo},
                                           LVertex{x + w, y + h, 0.1f, 0, color, 0, hi, hi},
                                           LVertex{x, y + h, 0.1f, 0, color, 0, lo, hi}};
                        dev->DrawIndexedPrimitive(PT_TRIANGLELIST, FVF_LVERTEX, quad, 4,
                                                  kQuadIndices, 6, 0);
                    }
                    return ReadAll(*target);
                };
                ASSERT_EQ(render(false), render(true))
                    << "blend " << blend << " look " << look << " size " << texture->GetWidth();
            }
}

// Upright rectangles drawn one texel per pixel run as rows stepped by their pitches; around them
// the cases that must not (texel centres missed under bilinear, past the texture, mirrored) and
// the edges' fill rule, the viewport's clipping and the triangle order of the particle renderer.
TEST(FastPath, UprightOneToOneRectanglesMatchTheGeneralPath)
{
    struct Rect
    {
        const char* name;
        float x0, y0, x1, y1; // vertex coordinates; pixel centres sit on whole ones plus a half
        float tx, ty;         // the texel at the top-left corner, in texels
        uint32_t filter;
        BlendFactor src, dest; // BLEND_ZERO, BLEND_ZERO: no blend
        uint32_t diffuse = 0xFFFFFFFFu;
        bool mirrored = false, splitOrder = false, viewport = false;
    };
    const Rect rects[] = {
        {"odd sizes", 10, 7, 43, 28, 5, 9, TFILTER_LINEAR, BLEND_SRCALPHA, BLEND_INVSRCALPHA},
        {"tinted point", 10, 7, 43, 28, 5, 9, TFILTER_POINT, BLEND_SRCALPHA, BLEND_INVSRCALPHA,
         0x80FF8040u},
        {"copy", 3, 2, 67, 66, 0, 0, TFILTER_POINT, BLEND_ZERO, BLEND_ZERO},
        {"additive", 20, 20, 21, 60, 63, 1, TFILTER_LINEAR, BLEND_SRCALPHA, BLEND_ONE},
        {"subtractive", 20, 20, 60, 21, 1, 63, TFILTER_LINEAR, BLEND_ZERO, BLEND_INVSRCCOLOR},
        {"edges on pixel centres", 10.5f, 7.5f, 43.5f, 28.5f, 5, 9, TFILTER_POINT, BLEND_SRCALPHA,
         BLEND_INVSRCALPHA},
        {"centres missed, bilinear", 10.5f, 7.5f, 43.5f, 28.5f, 5, 9, TFILTER_LINEAR,
         BLEND_SRCALPHA, BLEND_INVSRCALPHA},
        {"quarter off, point", 10.25f, 7.75f, 43.25f, 28.75f, 5, 9, TFILTER_POINT, BLEND_SRCALPHA,
         BLEND_INVSRCALPHA},
        {"last texel column and row", 10, 7, 43, 28, 31, 43, TFILTER_LINEAR, BLEND_SRCALPHA,
         BLEND_INVSRCALPHA},
        {"a column past the texture", 10, 7, 43, 28, 32, 9, TFILTER_POINT, BLEND_SRCALPHA,
         BLEND_INVSRCALPHA},
        {"a row past the texture", 10, 7, 43, 28, 5, 44, TFILTER_POINT, BLEND_SRCALPHA,
         BLEND_INVSRCALPHA},
        {"mirrored", 10, 7, 43, 28, 5, 9, TFILTER_POINT, BLEND_SRCALPHA, BLEND_INVSRCALPHA,
         0xFFFFFFFFu, true},
        {"particle order", 10, 7, 43, 28, 5, 9, TFILTER_POINT, BLEND_SRCALPHA, BLEND_ONE,
         0xFFFFFFFFu, false, true},
        {"clipped by the viewport", -6, 3, 58, 67, 0, 0, TFILTER_LINEAR, BLEND_SRCALPHA,
         BLEND_INVSRCALPHA, 0xFFFFFFFFu, false, false, true},
    };
    auto texture = PatternTexture(64);
    for (const Rect& r : rects)
    {
        auto render = [&](bool forceGeneral, uint64_t& pixels)
        {
            auto target = MakeSurface(96, 96, FormatId::A8R8G8B8, 0x80604020u);
            auto dev = MakeComparedDevice(target, forceGeneral);
            dev->SetTexture(0, texture);
            dev->SetTextureStageState(0, TSS_ALPHAOP, TOP_MODULATE);
            dev->SetTextureStageState(0, TSS_MAGFILTER, r.filter);
            dev->SetTextureStageState(0, TSS_MINFILTER, r.filter);
            dev->SetTextureStageState(0, TSS_ADDRESS, TADDRESS_CLAMP);
            dev->SetRenderState(RS_ALPHABLENDENABLE, r.src != BLEND_ZERO || r.dest != BLEND_ZERO);
            dev->SetRenderState(RS_SRCBLEND, r.src);
            dev->SetRenderState(RS_DESTBLEND, r.dest);
            dev->SetRenderState(RS_ALPHATESTENABLE, 1);
            dev->SetRenderState(RS_ALPHAREF, 1);
            dev->SetRenderState(RS_ALPHAFUNC, CMP_GREATEREQUAL);
            if (r.viewport)
            {
                EXPECT_EQ(dev->SetViewport(Viewport{8, 5, 70, 60, 0, 1}), Result::Ok);
                dev->SetTransform(TS_PROJECTION, Projection2d(70, 60));
            }
            const float u0 = r.tx / 64, v0 = r.ty / 64;
            const float u1 = u0 + (r.x1 - r.x0) / 64, v1 = v0 + (r.y1 - r.y0) / 64;
            auto quad = r.mirrored ? Quad2d(r.x0, r.y0, r.x1, r.y1, r.diffuse, u1, v0, u0, v1)
                                   : Quad2d(r.x0, r.y0, r.x1, r.y1, r.diffuse, u0, v0, u1, v1);
            const uint16_t particleOrder[6] = {0, 1, 3, 1, 2, 3};
            dev->DrawIndexedPrimitive(PT_TRIANGLELIST, FVF_LVERTEX, quad.data(), 4,
                                      r.splitOrder ? particleOrder : kQuadIndices, 6, 0);
            pixels = dev->GetPixelCount();
            return ReadAll(*target);
        };
        uint64_t fastPixels = 0, generalPixels = 0;
        const std::vector<uint32_t> fast = render(false, fastPixels);
        EXPECT_EQ(fast, render(true, generalPixels)) << r.name;
        EXPECT_EQ(fastPixels, generalPixels) << r.name;
        EXPECT_GT(fastPixels, 20u) << r.name;
    }
}
