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
    dev.SetRenderState(RS_ALPHABLENDENABLE, 1);
    dev.SetRenderState(RS_SRCBLEND, BLEND_SRCALPHA);
    dev.SetRenderState(RS_DESTBLEND, BLEND_INVSRCALPHA);
}

// The scene drawn into the whole target, then everything outside the viewport put back: what
// the viewport must show.
std::vector<uint32_t> Reference(const Scene& s)
{
    auto target = MakeSurface(96, 96, FormatId::A8R8G8B8, kBackground);
    auto dev = Make2dDevice(target);
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
        auto target = MakeSurface(96, 96, FormatId::A8R8G8B8, kBackground);
        auto dev = Make2dDevice(target);
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
