// The indexed draw's dispatch: triangles wholly beyond a side of the viewport are dropped without
// changing a byte of what the viewport shows, for screen and for projected vertices.
#include "device_test_util.h"

#include <gtest/gtest.h>

using namespace devtest;

namespace
{

constexpr uint32_t kBackground = 0xFF102030u;

// Small triangles and quads in both index orders around the four sides of the viewport
// (16, 16)-(80, 80), a few pixels either side in quarter pixels (exact through the projection
// below), with colours and texture rectangles that make every pixel's last writer visible.
struct Scene
{
    std::vector<TLVertex> screen;
    std::vector<uint16_t> indices;
};

Scene MakeScene()
{
    Scene s;
    uint32_t seed = 12345;
    auto next = [&]
    {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    auto quarter = [&](int lo, int hi)
    {
        const int steps = static_cast<int>(next() % static_cast<uint32_t>((hi - lo) * 4 + 1));
        return static_cast<float>(lo * 4 + steps) / 4;
    };
    for (int k = 0; k < 600; ++k)
    {
        const int side = k % 4;
        const float edge = side < 2 ? 16.0f : 80.0f;
        const float across = edge + quarter(-4, 4) - 0.5f * (side & 1);
        const float along = quarter(10, 86);
        const float cx = side % 2 == 0 ? across : along;
        const float cy = side % 2 == 0 ? along : across;
        const float w = quarter(0, 3) + 0.25f, h = quarter(0, 3) + 0.25f;
        const uint32_t color = 0x80000000u | (next() & 0x00FFFFFFu);
        const uint16_t b = static_cast<uint16_t>(s.screen.size());
        auto add = [&](float x, float y, float u, float v) {
            s.screen.push_back(TLVertex{x, y, 0.25f, 1.0f, color, 0xFF000000u, u, v});
        };
        switch (k / 4 % 3)
        {
        case 0: // a triangle
            add(cx - w, cy - h, 0, 0);
            add(cx + w, cy + quarter(-2, 2), 1, 0);
            add(cx + quarter(-2, 2), cy + h, 0, 1);
            s.indices.insert(s.indices.end(), {b, uint16_t(b + 1), uint16_t(b + 2)});
            break;
        case 1: // a quad as (a, b, c), (a, c, d)
            add(cx - w, cy - h, 0, 0);
            add(cx + w, cy - h, 1, 0);
            add(cx + w, cy + h, 1, 1);
            add(cx - w, cy + h, 0, 1);
            s.indices.insert(s.indices.end(), {b, uint16_t(b + 1), uint16_t(b + 2), b,
                                               uint16_t(b + 2), uint16_t(b + 3)});
            break;
        default: // a quad as the particle renderer sends it
            add(cx - w, cy - h, 0, 0);
            add(cx + w, cy - h, 1, 0);
            add(cx - w, cy + h, 0, 1);
            add(cx + w, cy + h, 1, 1);
            s.indices.insert(s.indices.end(), {b, uint16_t(b + 1), uint16_t(b + 2), uint16_t(b + 1),
                                               uint16_t(b + 3), uint16_t(b + 2)});
            break;
        }
    }
    return s;
}

std::shared_ptr<Surface> Texture()
{
    std::vector<uint32_t> texels(16);
    for (uint32_t i = 0; i < 16; ++i)
        texels[i] = 0xFF000000u | (i * 0x0F1F2Fu);
    return MakeTexture(4, 4, texels);
}

void SetUpState(Device& dev)
{
    dev.SetTexture(0, Texture());
    dev.SetTextureStageState(0, TSS_MAGFILTER, TFILTER_LINEAR);
    dev.SetTextureStageState(0, TSS_MINFILTER, TFILTER_LINEAR);
    SetBlend(dev, BLEND_SRCALPHA, BLEND_INVSRCALPHA);
}

// The scene drawn into the whole target, then everything outside the viewport put back: what
// the viewport must show.
std::vector<uint32_t> Reference(const Scene& s)
{
    auto [target, dev] = Make2dCanvas(96, 96, FormatId::A8R8G8B8, kBackground);
    SetUpState(*dev);
    dev->DrawIndexedPrimitive(PT_TRIANGLELIST, FVF_TLVERTEX, s.screen.data(),
                              static_cast<uint32_t>(s.screen.size()), s.indices.data(),
                              static_cast<uint32_t>(s.indices.size()), 0);
    std::vector<uint32_t> out = ReadAll(*target);
    for (uint32_t y = 0; y < 96; ++y)
        for (uint32_t x = 0; x < 96; ++x)
            if (x < 16 || x >= 80 || y < 16 || y >= 80)
                out[y * 96 + x] = kBackground;
    return out;
}

} // namespace

TEST(IndexedDispatch, PrimitivesBeyondTheViewportLeaveItsPixelsAsTheyWere)
{
    const Scene s = MakeScene();
    const std::vector<uint32_t> expected = Reference(s);
    size_t drawn = 0;
    for (uint32_t p : expected)
        drawn += p != kBackground;
    ASSERT_GT(drawn, 800u);

    for (bool projected : {false, true})
    {
        auto [target, dev] = Make2dCanvas(96, 96, FormatId::A8R8G8B8, kBackground);
        SetUpState(*dev);
        ASSERT_EQ(dev->SetViewport(Viewport{16, 16, 64, 64, 0, 1}), Result::Ok);
        if (!projected)
            dev->DrawIndexedPrimitive(PT_TRIANGLELIST, FVF_TLVERTEX, s.screen.data(),
                                      static_cast<uint32_t>(s.screen.size()), s.indices.data(),
                                      static_cast<uint32_t>(s.indices.size()), 0);
        else
        {
            // Maps x and y onto the same pixels, exactly in quarter pixels.
            dev->SetTransform(TS_PROJECTION, Ortho2d(16, 80, 80, 16));
            std::vector<LVertex> lit;
            for (const TLVertex& v : s.screen)
                lit.push_back(LVertex{v.sx, v.sy, v.sz, 0, v.diffuse, v.specular, v.u, v.v});
            dev->DrawIndexedPrimitive(PT_TRIANGLELIST, FVF_LVERTEX, lit.data(),
                                      static_cast<uint32_t>(lit.size()), s.indices.data(),
                                      static_cast<uint32_t>(s.indices.size()), 0);
        }
        EXPECT_EQ(ReadAll(*target), expected) << (projected ? "projected" : "screen");
    }
}

namespace
{

// Rectangles with sides along the axes, corners (a, b, c, d) = top-left, top-right, bottom-left,
// bottom-right up to a mirroring in either direction, at any fraction of a pixel, some on pixel
// centres, some across the viewport's sides, some past the guard band (clipped); whole textures,
// frames of a sheet and arbitrary texture rectangles.
std::vector<LVertex> MakeRectangles()
{
    uint32_t seed = 777;
    auto next = [&]
    {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8; // 24 bits
    };
    auto unit = [&] { return static_cast<float>(next()) / 16777216.0f; };
    std::vector<LVertex> out;
    for (int k = 0; k < 300; ++k)
    {
        float x0, y0, x1, y1;
        if (k % 5 == 0)
        {
            x0 = static_cast<float>(next() % 90);
            y0 = static_cast<float>(next() % 90);
            x1 = x0 + static_cast<float>(1 + next() % 9);
            y1 = y0 + static_cast<float>(1 + next() % 9);
        }
        else
        {
            x0 = unit() * 110 - 10;
            y0 = unit() * 110 - 10;
            x1 = x0 + unit() * 16 + 0.1f;
            y1 = y0 + unit() * 16 + 0.1f;
        }
        if (k == 150)
        {
            x0 = -40000;
            x1 = 50;
        }
        if (k % 2 == 1)
            std::swap(x0, x1);
        if (k % 4 >= 2)
            std::swap(y0, y1);
        float u0 = 0, v0 = 0, u1 = 1, v1 = 1;
        if (k % 3 == 1)
        {
            u0 = 0.25f * static_cast<float>(next() % 4);
            v0 = 0.5f;
            u1 = u0 + 0.25f;
        }
        else if (k % 3 == 2)
        {
            u0 = unit() * 2 - 1;
            v0 = unit() * 2 - 1;
            u1 = unit() * 3;
            v1 = unit() * 3;
        }
        const uint32_t color = (next() << 8 & 0xFF000000u) | 0x40000000u | (next() & 0xFFFFFF);
        const uint32_t specular = 0xFF000000u | next();
        out.push_back(LVertex{x0, y0, 0.5f, 0, color, specular, u0, v0});
        out.push_back(LVertex{x1, y0, 0.5f, 0, color, specular, u1, v0});
        out.push_back(LVertex{x0, y1, 0.5f, 0, color, specular, u0, v1});
        out.push_back(LVertex{x1, y1, 0.5f, 0, color, specular, u1, v1});
    }
    return out;
}

} // namespace

TEST(IndexedDispatch, RectanglesSentAsTheParticleRendererSendsThemDrawAsTheirTwoTriangles)
{
    const std::vector<LVertex> rects = MakeRectangles();
    std::vector<uint16_t> particleOrder, fanOrder;
    for (uint16_t b = 0; b < rects.size(); b += 4)
    {
        particleOrder.insert(particleOrder.end(),
                             {b, uint16_t(b + 1), uint16_t(b + 2), uint16_t(b + 1), uint16_t(b + 3),
                              uint16_t(b + 2)});
        fanOrder.insert(fanOrder.end(),
                        {b, uint16_t(b + 1), uint16_t(b + 3), b, uint16_t(b + 3), uint16_t(b + 2)});
    }
    struct Setup
    {
        const char* name;
        uint32_t filter; // 0: no texture
        uint32_t cull;
        bool depth; // the per-pixel path, through a depth test that always passes
        bool specular;
    };
    const Setup setups[] = {
        {"untextured", 0, CULL_NONE, false, false},
        {"point", TFILTER_POINT, CULL_NONE, false, false},
        {"linear", TFILTER_LINEAR, CULL_NONE, false, false},
        {"linear, culled clockwise", TFILTER_LINEAR, CULL_CW, false, false},
        {"point, culled counter-clockwise", TFILTER_POINT, CULL_CCW, false, false},
        {"linear, per pixel with specular", TFILTER_LINEAR, CULL_NONE, true, true},
        {"untextured, per pixel", 0, CULL_NONE, true, false},
    };
    for (const Setup& setup : setups)
    {
        // 0: the particle renderer's order in one draw; 1: each triangle drawn alone, in the
        // same order; 2: the other quad order in one draw.
        auto render = [&](int how)
        {
            auto target = MakeSurface(96, 96, FormatId::A8R8G8B8, kBackground);
            target->AddAttachedSurface(MakeSurface(96, 96, FormatId::D16));
            auto dev = Make2dDevice(target);
            EXPECT_EQ(dev->SetViewport(Viewport{6, 4, 84, 88, 0, 1}), Result::Ok);
            if (setup.filter != 0)
            {
                dev->SetTexture(0, Texture());
                dev->SetTextureStageState(0, TSS_MAGFILTER, setup.filter);
                dev->SetTextureStageState(0, TSS_MINFILTER, setup.filter);
                dev->SetTextureStageState(0, TSS_ADDRESS, TADDRESS_WRAP);
            }
            dev->SetTextureStageState(0, TSS_ALPHAOP, TOP_MODULATE);
            SetBlend(*dev, BLEND_SRCALPHA, BLEND_INVSRCALPHA);
            dev->SetRenderState(RS_CULLMODE, setup.cull);
            dev->SetRenderState(RS_SPECULARENABLE, setup.specular ? 1 : 0);
            if (setup.depth)
            {
                dev->SetRenderState(RS_ZENABLE, 1);
                dev->SetRenderState(RS_ZFUNC, CMP_ALWAYS);
            }
            const uint32_t n = static_cast<uint32_t>(rects.size());
            if (how == 0 || how == 2)
            {
                const std::vector<uint16_t>& idx = how == 0 ? particleOrder : fanOrder;
                dev->DrawIndexedPrimitive(PT_TRIANGLELIST, FVF_LVERTEX, rects.data(), n, idx.data(),
                                          static_cast<uint32_t>(idx.size()), 0);
            }
            else
                for (size_t i = 0; i < particleOrder.size(); i += 3)
                {
                    LVertex tri[3] = {rects[particleOrder[i]], rects[particleOrder[i + 1]],
                                      rects[particleOrder[i + 2]]};
                    dev->DrawPrimitive(PT_TRIANGLELIST, FVF_LVERTEX, tri, 3, 0);
                }
            return ReadAll(*target);
        };
        const std::vector<uint32_t> reference = render(1);
        size_t drawn = 0;
        for (uint32_t p : reference)
            drawn += p != kBackground;
        EXPECT_GT(drawn, 3000u) << setup.name;
        EXPECT_EQ(render(0), reference) << setup.name;
        EXPECT_EQ(render(2), reference) << setup.name;
    }
}
