// Random primitives and blits on surfaces of odd sizes in every format: nothing reads or writes
// outside a surface, and nothing outside the viewport changes.
#include "device_test_util.h"

#include "sys/display/blit.h"
#include "sys/display/surface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace devtest;

namespace
{

struct Lcg
{
    uint32_t mSeed;
    uint32_t Next() { return mSeed = mSeed * 1664525u + 1013904223u; }
    float Pick()
    {
        static const float kValues[] = {0.0f,  0.5f, -0.5f, 1.0f,  2.25f,  16.5f,         -3.0f,
                                        37.0f, 1e6f, -1e6f, 3e38f, 1e-20f, std::nanf(""), 0.999f};
        return kValues[Next() % (sizeof kValues / sizeof kValues[0])];
    }
};

} // namespace

TEST(HostileFormats, PrimitivesOnOddSizedTargetsOfEveryFormatStayInTheViewport)
{
    const FormatId targets[] = {FormatId::A8R8G8B8, FormatId::X8R8G8B8, FormatId::R5G6B5,
                                FormatId::X1R5G5B5, FormatId::R8G8B8};
    const FormatId textures[] = {FormatId::A8R8G8B8, FormatId::A4R4G4B4, FormatId::R5G6B5,
                                 FormatId::A1R5G5B5, FormatId::R8G8B8,   FormatId::X8R8G8B8};
    Lcg rng{7};
    for (FormatId format : targets)
    {
        for (uint32_t threads : {1u, 3u})
        {
            const uint32_t w = 37, h = 29;
            auto target = MakeSurface(w, h, format, 0);
            target->AddAttachedSurface(
                MakeSurface(w, h, threads == 1 ? FormatId::D16 : FormatId::D32));
            auto dev = Make2dDevice(target);
            dev->SetRasterThreads(threads);
            ASSERT_EQ(dev->SetViewport(Viewport{3, 2, 31, 25, 0, 1}), Result::Ok);
            for (int round = 0; round < 120; ++round)
            {
                const FormatId tf = textures[rng.Next() % 6];
                const uint32_t tw = 1 + rng.Next() % 7, th = 1 + rng.Next() % 5;
                std::vector<uint32_t> texels(tw * th);
                for (uint32_t& t : texels)
                    t = rng.Next();
                dev->SetTexture(0, round % 7 == 0 ? nullptr : MakeTexture(tw, th, texels, tf));
                dev->SetRenderState(RS_ZENABLE, rng.Next() % 2);
                dev->SetRenderState(RS_ALPHABLENDENABLE, rng.Next() % 2);
                dev->SetRenderState(RS_SRCBLEND, 1 + rng.Next() % 6);
                dev->SetRenderState(RS_DESTBLEND, 1 + rng.Next() % 6);
                dev->SetRenderState(RS_ALPHATESTENABLE, rng.Next() % 2);
                dev->SetRenderState(RS_ALPHAREF, 1);
                dev->SetRenderState(RS_ALPHAFUNC, CMP_GREATEREQUAL);
                dev->SetRenderState(RS_SPECULARENABLE, rng.Next() % 2);
                dev->SetRenderState(RS_SHADEMODE, 1 + rng.Next() % 2);
                dev->SetTextureStageState(0, TSS_MAGFILTER, 1 + rng.Next() % 2);
                dev->SetTextureStageState(0, TSS_MINFILTER, 1 + rng.Next() % 2);
                dev->SetTextureStageState(0, TSS_ADDRESS, 1 + rng.Next() % 3);
                dev->SetTextureStageState(
                    0, TSS_COLORARG1, rng.Next() % 2 ? TA_TEXTURE | TA_ALPHAREPLICATE : TA_TEXTURE);
                // Sprites in whole-pixel steps take the fast paths; the others the general one.
                const float x = static_cast<float>(rng.Next() % 50) - 8 +
                                (rng.Next() % 3 == 0 ? rng.Pick() : 0.0f);
                const float y = static_cast<float>(rng.Next() % 40) - 6;
                const float sw = static_cast<float>(rng.Next() % 40);
                const float sh = static_cast<float>(rng.Next() % 30);
                DrawQuad(*dev, Quad2d(x, y, x + sw, y + sh, rng.Next(), 0, 0,
                                      rng.Next() % 2 ? 1.0f : rng.Pick(), 1));
                TLVertex tl[4];
                for (TLVertex& v : tl)
                    v = TLVertex{rng.Pick() * 3, rng.Pick() * 3, rng.Pick(), rng.Pick(),
                                 rng.Next(),     rng.Next(),     rng.Pick(), rng.Pick()};
                dev->DrawPrimitive(static_cast<PrimitiveType>(1 + rng.Next() % 6), FVF_TLVERTEX, tl,
                                   4, 0);
            }
            for (uint32_t py = 0; py < h; ++py)
                for (uint32_t px = 0; px < w; ++px)
                    if (px < 3 || px >= 34 || py < 2 || py >= 27)
                    {
                        ASSERT_EQ(target->ReadRaw(px, py), 0u)
                            << FormatName(format) << " " << px << "," << py;
                    }
        }
    }
}

namespace
{
std::vector<uint32_t> RawPixels(const Surface& s)
{
    std::vector<uint32_t> raw;
    for (uint32_t y = 0; y < s.GetHeight(); ++y)
        for (uint32_t x = 0; x < s.GetWidth(); ++x)
            raw.push_back(s.ReadRaw(x, y));
    return raw;
}
} // namespace

// Each accepted blit is checked against a model: the source as it was before (so overlapping
// rectangles read as through a temporary), nearest-texel stretching, the plain-shift conversion
// between formats, raw fills cut to the pixel size, and nothing outside the rectangle touched.
TEST(HostileFormats, RandomBlitsBetweenOddSizedSurfacesOfEveryFormatMatchAModel)
{
    const FormatId formats[] = {FormatId::A8R8G8B8, FormatId::X8R8G8B8, FormatId::R5G6B5,
                                FormatId::X1R5G5B5, FormatId::A1R5G5B5, FormatId::A4R4G4B4,
                                FormatId::R8G8B8};
    Lcg rng{11};
    std::vector<std::shared_ptr<Surface>> surfaces;
    for (FormatId f : formats)
        for (uint32_t w : {1u, 3u, 13u})
        {
            auto s = MakeSurface(w, 1 + w % 5 + w / 2, f);
            for (uint32_t y = 0; y < s->GetHeight(); ++y)
                for (uint32_t x = 0; x < s->GetWidth(); ++x)
                    s->WritePixel(x, y, rng.Next());
            surfaces.push_back(s);
        }
    auto coord = [&](uint32_t limit) { return static_cast<int32_t>(rng.Next() % (limit + 3)) - 1; };
    auto rect = [&](const Surface& s)
    {
        Rect r{coord(s.GetWidth()), coord(s.GetHeight()), coord(s.GetWidth()),
               coord(s.GetHeight())};
        if (rng.Next() % 4 != 0)
        {
            if (r.left > r.right)
                std::swap(r.left, r.right);
            if (r.top > r.bottom)
                std::swap(r.top, r.bottom);
        }
        return r;
    };
    int accepted = 0;
    for (int round = 0; round < 3000; ++round)
    {
        Surface& dst = *surfaces[rng.Next() % surfaces.size()];
        Surface& src = *surfaces[rng.Next() % surfaces.size()];
        const std::vector<uint32_t> before = RawPixels(dst);
        const std::vector<uint32_t> from = RawPixels(src);
        Rect d = rect(dst);
        Rect s = rect(src);
        const uint32_t kind = rng.Next() % 3;
        const uint32_t fill = rng.Next();
        Result r;
        if (kind == 0)
        {
            r = dst.Blt(&d, &src, &s, BLT_WAIT, nullptr);
        }
        else if (kind == 1)
        {
            BltFx fx;
            fx.mFillColor = fill;
            r = dst.Blt(&d, nullptr, nullptr, BLT_COLORFILL, &fx);
        }
        else
        {
            const int32_t x = coord(dst.GetWidth()), y = coord(dst.GetHeight());
            r = dst.BltFast(static_cast<uint32_t>(x), static_cast<uint32_t>(y), &src, &s,
                            BLTFAST_WAIT);
            d = Rect{x, y, x + s.Width(), y + s.Height()};
        }
        if (r != Result::Ok)
        {
            ASSERT_EQ(r, Result::InvalidRect);
            ASSERT_EQ(RawPixels(dst), before);
            continue;
        }
        ++accepted;
        const uint32_t bytes = dst.GetPixelFormat().BytesPerPixel();
        const uint32_t keep = bytes == 4 ? 0xFFFFFFFFu : (1u << (8 * bytes)) - 1;
        for (uint32_t y = 0; y < dst.GetHeight(); ++y)
            for (uint32_t x = 0; x < dst.GetWidth(); ++x)
            {
                const int32_t ix = static_cast<int32_t>(x), iy = static_cast<int32_t>(y);
                uint32_t expected = before[y * dst.GetWidth() + x];
                if (ix >= d.left && ix < d.right && iy >= d.top && iy < d.bottom)
                {
                    if (kind == 1)
                    {
                        expected = fill & keep;
                    }
                    else
                    {
                        const int64_t sx = s.left + int64_t{ix - d.left} * s.Width() / d.Width();
                        const int64_t sy = s.top + int64_t{iy - d.top} * s.Height() / d.Height();
                        const uint32_t raw = from[static_cast<size_t>(sy) * src.GetWidth() +
                                                  static_cast<size_t>(sx)];
                        expected = CanCopyBytes(dst, src)
                                       ? raw
                                       : PackArgb(dst.GetChannelLayout(),
                                                  UnpackArgb(src.GetChannelLayout(), raw));
                    }
                }
                ASSERT_EQ(dst.ReadRaw(x, y), expected)
                    << "round " << round << " at " << x << "," << y << " "
                    << FormatName(IdentifyFormat(dst.GetPixelFormat())) << " <- "
                    << FormatName(IdentifyFormat(src.GetPixelFormat()));
            }
    }
    EXPECT_GT(accepted, 200);
}

// A surface with a clipper cuts rectangles of any extent, down to the whole 32-bit range, without
// overflowing while it works out the share of the source that stays visible.
TEST(HostileFormats, ClipperCutsRectanglesOfAnyExtent)
{
    auto dst = MakeSurface(16, 16);
    dst->SetClipper([] { return Rect{2, 3, 10, 12}; });
    auto src = MakeSurface(4, 4, FormatId::A8R8G8B8, 0xFF00FF00u);
    const int32_t lo = std::numeric_limits<int32_t>::min();
    const int32_t hi = std::numeric_limits<int32_t>::max();
    const Rect huge[] = {Rect{lo, lo, hi, hi}, Rect{lo, 0, 8, 8}, Rect{0, 0, hi, 9},
                         Rect{-hi, -5, hi, hi}};
    for (const Rect& r : huge)
    {
        EXPECT_EQ(dst->Blt(&r, src.get(), nullptr, BLT_WAIT, nullptr), Result::Ok);
        BltFx fx;
        fx.mFillColor = 0xFFFFFFFFu;
        EXPECT_EQ(dst->Blt(&r, nullptr, nullptr, BLT_COLORFILL, &fx), Result::Ok);
    }
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 16; ++x)
        {
            const bool inside = x >= 2 && x < 10 && y >= 3 && y < 12;
            EXPECT_EQ(dst->ReadPixel(x, y) != 0, inside) << x << "," << y;
        }
}

// Bands on targets of other formats and on the 3-D path (perspective, depth, lighting, a long
// vertex array) give the picture one thread gives.
TEST(HostileFormats, BandThreadsMatchOneThreadOnEveryTargetFormatAndThe3dPath)
{
    for (FormatId format : {FormatId::R5G6B5, FormatId::R8G8B8, FormatId::X8R8G8B8})
    {
        auto render = [format](uint32_t threads)
        {
            auto target = MakeSurface(320, 240, format, 0xFF204060u);
            target->AddAttachedSurface(MakeSurface(320, 240, FormatId::D32));
            auto dev = Device::Create(target, TestCaps());
            dev->SetRasterThreads(threads);
            dev->SetRenderState(RS_CULLMODE, CULL_NONE);
            dev->SetRenderState(RS_ZENABLE, 1);
            SetBlend(*dev, BLEND_SRCALPHA, BLEND_INVSRCALPHA);
            dev->SetRenderState(RS_AMBIENT, 0xFF303030u);
            Light light;
            light.type = LIGHT_POINT;
            light.diffuse = ColorValue{1, 0.9f, 0.7f, 1};
            light.position = Vector3{0, 1, 1};
            light.range = 20;
            light.attenuation0 = 1;
            dev->SetLight(0, light);
            dev->LightEnable(0, true);
            std::vector<uint32_t> texels(8 * 8);
            for (uint32_t i = 0; i < texels.size(); ++i)
                texels[i] = 0x80000000u | (i * 0x030507u);
            dev->SetTexture(0, MakeTexture(8, 8, texels, FormatId::A4R4G4B4));
            dev->SetTextureStageState(0, TSS_MAGFILTER, TFILTER_LINEAR);
            dev->SetTextureStageState(0, TSS_MINFILTER, TFILTER_LINEAR);
            dev->SetTransform(TS_PROJECTION, Perspective(1.2f, 320.0f / 240.0f, 0.5f, 50.0f));
            dev->Clear(0, nullptr, CLEAR_ZBUFFER, 0, 1.0f, 0);
            // A floor running from behind the eye into the distance, and a wall through it.
            Vertex floor[4] = {Vertex{-8, -1, -2, 0, 1, 0, 0, 0}, Vertex{8, -1, -2, 0, 1, 0, 4, 0},
                               Vertex{8, -1, 30, 0, 1, 0, 4, 12},
                               Vertex{-8, -1, 30, 0, 1, 0, 0, 12}};
            dev->DrawIndexedPrimitive(PT_TRIANGLELIST, FVF_VERTEX, floor, 4, kQuadIndices, 6, 0);
            Vertex wall[4] = {Vertex{-3, -2, 2, 0, 0, -1, 0, 0}, Vertex{3, -2, 6, 0, 0, -1, 2, 0},
                              Vertex{3, 3, 6, 0, 0, -1, 2, 2}, Vertex{-3, 3, 2, 0, 0, -1, 0, 2}};
            dev->DrawPrimitive(PT_TRIANGLEFAN, FVF_VERTEX, wall, 4, 0);
            // A lit, rippled grid over the lower part of the screen only (the bands are cut
            // unevenly), drawn twice: the second time, after a draw in bands, its vertices are
            // long enough to be shared out among the threads.
            std::vector<Vertex> grid;
            std::vector<uint16_t> indices;
            for (int j = 0; j <= 32; ++j)
                for (int i = 0; i <= 32; ++i)
                    grid.push_back(Vertex{-4.0f + 0.25f * i, -0.8f + 0.1f * std::sin(i * 0.7f),
                                          1.0f + 0.3f * j, 0, 1, 0, i / 8.0f, j / 8.0f});
            for (uint16_t j = 0; j < 32; ++j)
                for (uint16_t i = 0; i < 32; ++i)
                {
                    const uint16_t a = static_cast<uint16_t>(j * 33 + i);
                    for (int k : {0, 1, 34, 0, 34, 33})
                        indices.push_back(static_cast<uint16_t>(a + k));
                }
            for (int pass = 0; pass < 2; ++pass)
                dev->DrawIndexedPrimitive(PT_TRIANGLELIST, FVF_VERTEX, grid.data(),
                                          static_cast<uint32_t>(grid.size()), indices.data(),
                                          static_cast<uint32_t>(indices.size()), 0);
            return ReadAll(*target);
        };
        const std::vector<uint32_t> one = render(1);
        const uint32_t background = one[0]; // the top-left corner shows neither floor nor wall
        EXPECT_GT(
            std::count_if(one.begin(), one.end(), [&](uint32_t p) { return p != background; }),
            20000);
        for (uint32_t threads : {2u, 5u})
            EXPECT_EQ(render(threads), one) << FormatName(format) << ", " << threads << " threads";
    }
}

// Texture coordinates so large that their derivatives overflow give an infinite footprint: the
// mip level taken is the last one, on the affine and on the perspective path alike.
TEST(HostileFormats, OverflowingTextureFootprintSamplesTheLastMipLevel)
{
    auto texture = MakeTexture(4, 4, std::vector<uint32_t>(16, 0xFFFF0000u));
    auto half = MakeTexture(2, 2, std::vector<uint32_t>(4, 0xFF00FF00u));
    auto last = MakeTexture(1, 1, {0xFF0000FFu});
    half->SetNextMipLevel(last);
    texture->SetNextMipLevel(half);
    for (uint32_t mipFilter : {TFP_POINT, TFP_LINEAR})
    {
        auto [target, dev] = Make2dCanvas(8, 8);
        dev->SetTexture(0, texture);
        dev->SetTextureStageState(0, TSS_MIPFILTER, mipFilter);
        dev->SetTextureStageState(0, TSS_ADDRESS, TADDRESS_WRAP);
        DrawQuad(*dev, Quad2d(0, 0, 8, 4, 0xFFFFFFFFu, 0, 0, 3e38f, 1));
        // Perspective-correct (the vertices' rhw differ): the footprint is worked out per pixel.
        TLVertex tl[4] = {TLVertex{-0.5f, 3.5f, 0.5f, 1.0f, 0xFFFFFFFFu, 0, 0, 0},
                          TLVertex{7.5f, 3.5f, 0.5f, 0.5f, 0xFFFFFFFFu, 0, 3e38f, 0},
                          TLVertex{7.5f, 7.5f, 0.5f, 0.5f, 0xFFFFFFFFu, 0, 3e38f, 1},
                          TLVertex{-0.5f, 7.5f, 0.5f, 1.0f, 0xFFFFFFFFu, 0, 0, 1}};
        dev->DrawPrimitive(PT_TRIANGLEFAN, FVF_TLVERTEX, tl, 4, 0);
        EXPECT_EQ(target->ReadPixel(3, 1), 0xFF0000FFu) << mipFilter;
        EXPECT_EQ(target->ReadPixel(3, 5), 0xFF0000FFu) << mipFilter;
    }
}

// Attachments and mip levels never form a loop: losing or restoring a surface walks everything
// below it, and a loop would never end (nor would the surfaces ever be freed).
TEST(HostileFormats, AttachmentsAndMipLevelsRefuseLoops)
{
    auto a = MakeSurface(4, 4);
    auto b = MakeSurface(4, 4);
    auto c = MakeSurface(2, 2);
    EXPECT_EQ(a->AddAttachedSurface(a), Result::InvalidParams);
    ASSERT_EQ(a->AddAttachedSurface(b), Result::Ok);
    EXPECT_EQ(b->AddAttachedSurface(a), Result::InvalidParams);
    b->SetNextMipLevel(c);
    EXPECT_EQ(c->AddAttachedSurface(a), Result::InvalidParams);
    c->SetNextMipLevel(a);
    EXPECT_EQ(c->GetNextMipLevel(), nullptr);
    a->MarkLost();
    EXPECT_EQ(c->IsLost(), Result::SurfaceLost);
    EXPECT_EQ(a->Restore(), Result::Ok);
    EXPECT_EQ(c->IsLost(), Result::Ok);
}
