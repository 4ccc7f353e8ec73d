// Surfaces and blits: locking, raw colour fills (16-bit ones at each end's parity), same-size and
// overlapping copies, stretches, refused rectangles, BltFast and copies between formats.
#include "sys/display/blit.h"
#include "sys/display/surface.h"

#include <gtest/gtest.h>

using namespace sys::display;

namespace
{
std::shared_ptr<Surface> Make(uint32_t w, uint32_t h, FormatId id)
{
    auto s = Surface::Create(w, h, MakePixelFormat(id));
    EXPECT_TRUE(s);
    return s;
}

// Numbers each pixel so copies can be checked by position: value = 0xFF000000 | y << 8 | x.
void Number(Surface& s)
{
    for (uint32_t y = 0; y < s.GetHeight(); ++y)
        for (uint32_t x = 0; x < s.GetWidth(); ++x)
            s.WriteRaw(x, y, 0xFF000000u | y << 8 | x);
}

Result Fill(Surface& s, const Rect* rect, uint32_t raw)
{
    BltFx fx;
    fx.mFillColor = raw;
    return s.Blt(rect, nullptr, nullptr, BLT_COLORFILL | BLT_WAIT, &fx);
}
} // namespace

TEST(Surface, CreateRefusesBadSizesAndFormats)
{
    EXPECT_FALSE(Surface::Create(0, 4, MakePixelFormat(FormatId::A8R8G8B8)));
    EXPECT_FALSE(Surface::Create(4, 100000, MakePixelFormat(FormatId::A8R8G8B8)));
    EXPECT_FALSE(Surface::Create(16384, 16384, MakePixelFormat(FormatId::A8R8G8B8))); // 1 GiB
    EXPECT_FALSE(Surface::Create(4, 4, PixelFormat{}));
}

TEST(Surface, DescriptionAndPitch)
{
    auto s = Make(3, 2, FormatId::R8G8B8);
    SurfaceDesc desc;
    ASSERT_EQ(s->GetSurfaceDesc(&desc), Result::Ok);
    EXPECT_EQ(desc.mWidth, 3u);
    EXPECT_EQ(desc.mHeight, 2u);
    EXPECT_EQ(desc.mPitch, 12); // 9 bytes padded to 4
    EXPECT_EQ(desc.mPixelFormat, MakePixelFormat(FormatId::R8G8B8));
    EXPECT_EQ(Make(5, 1, FormatId::R5G6B5)->GetPitch(), 12);
}

TEST(Surface, LockGivesRectangleStartAndRefusesSecondLock)
{
    auto s = Make(8, 8, FormatId::A8R8G8B8);
    SurfaceDesc desc;
    Rect r{2, 3, 6, 7};
    ASSERT_EQ(s->Lock(&r, &desc, LOCK_WAIT), Result::Ok);
    EXPECT_EQ(desc.mSurface, s->GetBits() + 3 * s->GetPitch() + 2 * 4);
    EXPECT_EQ(desc.mPitch, 32);
    SurfaceDesc again;
    EXPECT_EQ(s->Lock(nullptr, &again, LOCK_WAIT), Result::SurfaceBusy);
    EXPECT_EQ(s->Blt(nullptr, s.get(), nullptr, BLT_WAIT, nullptr), Result::SurfaceBusy);
    EXPECT_EQ(s->Unlock(), Result::Ok);
    EXPECT_EQ(s->Unlock(), Result::NotLocked);
    Rect outside{4, 4, 9, 8};
    EXPECT_EQ(s->Lock(&outside, &desc, LOCK_WAIT), Result::InvalidRect);
}

TEST(Blit, ColourFillOf0xF800OnR5G6B5ReadsRed248)
{
    auto s = Make(4, 4, FormatId::R5G6B5);
    ASSERT_EQ(Fill(*s, nullptr, 0xF800), Result::Ok);
    EXPECT_EQ(s->ReadRaw(3, 3), 0xF800u);
    EXPECT_EQ(s->ReadPixel(0, 0), 0xFFF80000u);
}

TEST(Blit, ColourFillOfARectangleLeavesTheRest)
{
    for (FormatId id : {FormatId::A8R8G8B8, FormatId::R8G8B8, FormatId::A4R4G4B4})
    {
        auto s = Make(5, 5, id);
        Rect r{1, 2, 4, 3};
        ASSERT_EQ(Fill(*s, &r, 0xFFFFFFFF), Result::Ok);
        const uint32_t full = s->GetChannelLayout().mBytesPerPixel == 4   ? 0xFFFFFFFFu
                              : s->GetChannelLayout().mBytesPerPixel == 3 ? 0xFFFFFFu
                                                                          : 0xFFFFu;
        for (uint32_t y = 0; y < 5; ++y)
            for (uint32_t x = 0; x < 5; ++x)
            {
                const bool inside = x >= 1 && x < 4 && y == 2;
                EXPECT_EQ(s->ReadRaw(x, y), inside ? full : 0u) << x << "," << y;
            }
    }
}

// A 16-bit fill goes in pairs through the 32-bit fill, with a lone unit before a start off the
// 4-byte grid and one after an odd count: each start's and count's parity writes exactly its row.
TEST(Blit, SixteenBitFillsWriteTheirFirstAndLastUnitAtEachParity)
{
    const struct
    {
        int32_t left, right;
    } spans[] = {{2, 7}, {2, 8}, {3, 7}, {3, 8}, {3, 4}, {2, 3}};
    for (const auto& span : spans)
    {
        auto s = Make(12, 3, FormatId::R5G6B5);
        ASSERT_EQ(s->GetPitch() % 4, 0);
        ASSERT_EQ(Fill(*s, nullptr, 0x0101), Result::Ok);
        const Rect row{span.left, 1, span.right, 2};
        ASSERT_EQ(Fill(*s, &row, 0x1234), Result::Ok);
        for (uint32_t y = 0; y < 3; ++y)
            for (uint32_t x = 0; x < 12; ++x)
            {
                const bool inside = y == 1 && int32_t(x) >= span.left && int32_t(x) < span.right;
                EXPECT_EQ(s->ReadRaw(x, y), inside ? 0x1234u : 0x0101u)
                    << span.left << "-" << span.right << " at " << x << "," << y;
            }
    }
}

TEST(Blit, SameSizeCopyBetweenSurfaces)
{
    auto src = Make(8, 8, FormatId::A8R8G8B8);
    auto dst = Make(8, 8, FormatId::A8R8G8B8);
    Number(*src);
    Rect from{1, 1, 4, 3};
    Rect to{4, 5, 7, 7};
    ASSERT_EQ(dst->Blt(&to, src.get(), &from, BLT_WAIT, nullptr), Result::Ok);
    EXPECT_EQ(dst->ReadRaw(4, 5), 0xFF000101u);
    EXPECT_EQ(dst->ReadRaw(6, 6), 0xFF000203u);
    EXPECT_EQ(dst->ReadRaw(3, 5), 0u);
    EXPECT_EQ(dst->ReadRaw(7, 6), 0u);
}

TEST(Blit, OverlappingRectanglesOnOneSurfaceCopyExactly)
{
    // Down-right, up-left, and sideways overlaps all give what a copy through a temporary gives.
    const Rect cases[][2] = {
        {{0, 0, 5, 5}, {2, 1, 7, 6}}, {{2, 2, 7, 7}, {0, 1, 5, 6}}, {{0, 3, 6, 4}, {1, 3, 7, 4}}};
    for (const auto& c : cases)
    {
        auto s = Make(8, 8, FormatId::X8R8G8B8);
        auto ref = Make(8, 8, FormatId::X8R8G8B8);
        Number(*s);
        Number(*ref);
        for (int32_t y = 0; y < c[0].Height(); ++y)
            for (int32_t x = 0; x < c[0].Width(); ++x)
                ref->WriteRaw(c[1].left + x, c[1].top + y,
                              0xFF000000u | (c[0].top + y) << 8 | (c[0].left + x));
        ASSERT_EQ(s->Blt(&c[1], s.get(), &c[0], BLT_WAIT, nullptr), Result::Ok);
        for (uint32_t y = 0; y < 8; ++y)
            for (uint32_t x = 0; x < 8; ++x)
                ASSERT_EQ(s->ReadRaw(x, y), ref->ReadRaw(x, y)) << x << "," << y;
    }
}

TEST(Blit, StretchTwiceAndHalf)
{
    auto src = Make(4, 4, FormatId::A8R8G8B8);
    Number(*src);
    auto big = Make(8, 8, FormatId::A8R8G8B8);
    ASSERT_EQ(big->Blt(nullptr, src.get(), nullptr, BLT_WAIT, nullptr), Result::Ok);
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 8; ++x)
            ASSERT_EQ(big->ReadRaw(x, y), 0xFF000000u | (y / 2) << 8 | (x / 2));
    auto small = Make(2, 2, FormatId::A8R8G8B8);
    ASSERT_EQ(small->Blt(nullptr, src.get(), nullptr, BLT_WAIT, nullptr), Result::Ok);
    EXPECT_EQ(small->ReadRaw(0, 0), 0xFF000000u);
    EXPECT_EQ(small->ReadRaw(1, 0), 0xFF000002u);
    EXPECT_EQ(small->ReadRaw(0, 1), 0xFF000200u);
    EXPECT_EQ(small->ReadRaw(1, 1), 0xFF000202u);
}

TEST(Blit, StretchWithinOneSurfaceReadsTheOriginal)
{
    auto s = Make(8, 8, FormatId::A8R8G8B8);
    Number(*s);
    Rect from{0, 0, 2, 2};
    Rect to{1, 1, 5, 5};
    ASSERT_EQ(s->Blt(&to, s.get(), &from, BLT_WAIT, nullptr), Result::Ok);
    EXPECT_EQ(s->ReadRaw(1, 1), 0xFF000000u);
    EXPECT_EQ(s->ReadRaw(4, 4), 0xFF000101u);
}

TEST(Blit, RectanglesOutsideTheSurfaceAreRefused)
{
    auto src = Make(4, 4, FormatId::A8R8G8B8);
    auto dst = Make(4, 4, FormatId::A8R8G8B8);
    Rect negative{-1, 0, 3, 4};
    Rect tooWide{1, 0, 5, 4};
    Rect empty{2, 2, 2, 3};
    Rect inverted{3, 0, 1, 4};
    for (const Rect* r : {&negative, &tooWide, &empty, &inverted})
    {
        EXPECT_EQ(dst->Blt(r, src.get(), nullptr, BLT_WAIT, nullptr), Result::InvalidRect);
        EXPECT_EQ(dst->Blt(nullptr, src.get(), r, BLT_WAIT, nullptr), Result::InvalidRect);
        EXPECT_EQ(Fill(*dst, r, 1), Result::InvalidRect);
    }
    EXPECT_EQ(dst->BltFast(1, 0, src.get(), nullptr, BLTFAST_WAIT), Result::InvalidRect);
    EXPECT_EQ(dst->Blt(nullptr, nullptr, nullptr, BLT_WAIT, nullptr), Result::InvalidParams);
    EXPECT_EQ(Fill(*dst, nullptr, 0), Result::Ok);
    EXPECT_EQ(dst->Blt(nullptr, nullptr, nullptr, BLT_COLORFILL, nullptr), Result::InvalidParams);
}

TEST(Blit, BltFastPlacesTheSourceRectangle)
{
    auto src = Make(4, 4, FormatId::R5G6B5);
    auto dst = Make(6, 6, FormatId::R5G6B5);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 4; ++x)
            src->WriteRaw(x, y, y * 4 + x + 1);
    Rect from{1, 1, 3, 4};
    ASSERT_EQ(dst->BltFast(4, 3, src.get(), &from, BLTFAST_WAIT), Result::Ok);
    EXPECT_EQ(dst->ReadRaw(4, 3), 6u);
    EXPECT_EQ(dst->ReadRaw(5, 5), 15u);
    EXPECT_EQ(dst->ReadRaw(3, 3), 0u);
}

TEST(Blit, CopyBetweenFormatsConverts)
{
    auto src = Make(2, 1, FormatId::A8R8G8B8);
    src->WriteRaw(0, 0, 0x80FF7F3F);
    src->WriteRaw(1, 0, 0x00000000);
    auto r565 = Make(2, 1, FormatId::R5G6B5);
    ASSERT_EQ(r565->Blt(nullptr, src.get(), nullptr, BLT_WAIT, nullptr), Result::Ok);
    EXPECT_EQ(r565->ReadRaw(0, 0), (31u << 11) | (31u << 5) | 7u);
    auto back = Make(2, 1, FormatId::A8R8G8B8);
    ASSERT_EQ(back->Blt(nullptr, r565.get(), nullptr, BLT_WAIT, nullptr), Result::Ok);
    EXPECT_EQ(back->ReadRaw(0, 0), 0xFFF87C38u); // no alpha in 5-6-5: opaque
    auto a4 = Make(2, 1, FormatId::A4R4G4B4);
    ASSERT_EQ(a4->BltFast(0, 0, src.get(), nullptr, BLTFAST_WAIT), Result::Ok);
    EXPECT_EQ(a4->ReadRaw(0, 0), 0x8F73u);
    auto rgb24 = Make(2, 1, FormatId::R8G8B8);
    ASSERT_EQ(rgb24->Blt(nullptr, src.get(), nullptr, BLT_WAIT, nullptr), Result::Ok);
    EXPECT_EQ(rgb24->ReadRaw(0, 0), 0xFF7F3Fu);
}

TEST(Blit, X8R8G8B8ToA8R8G8B8KeepsTheFourthByte)
{
    // Same layout: the bytes move unchanged, as a blitter moves them.
    auto back = Make(1, 1, FormatId::X8R8G8B8);
    back->WriteRaw(0, 0, 0x7F112233);
    auto tex = Make(1, 1, FormatId::A8R8G8B8);
    ASSERT_EQ(tex->Blt(nullptr, back.get(), nullptr, BLT_WAIT, nullptr), Result::Ok);
    EXPECT_EQ(tex->ReadRaw(0, 0), 0x7F112233u);
}

TEST(Blit, NoDeviceContextOnThisPlatform)
{
    auto s = Make(2, 2, FormatId::A8R8G8B8);
    void* dc = reinterpret_cast<void*>(1);
    EXPECT_EQ(s->GetDC(&dc), Result::CantCreateDC);
    EXPECT_EQ(dc, nullptr);
}

TEST(Blit, ClipperCutsInsteadOfRefusing)
{
    auto src = Make(4, 4, FormatId::A8R8G8B8);
    Number(*src);
    auto dst = Make(6, 6, FormatId::A8R8G8B8);
    dst->SetClipper([] { return Rect{0, 0, 6, 6}; });
    Rect to{4, -1, 8, 3}; // half outside, to the right and above
    ASSERT_EQ(dst->Blt(&to, src.get(), nullptr, BLT_WAIT, nullptr), Result::Ok);
    EXPECT_EQ(dst->ReadRaw(4, 0), 0xFF000100u);
    EXPECT_EQ(dst->ReadRaw(5, 1), 0xFF000201u);
    EXPECT_EQ(dst->ReadRaw(3, 0), 0u);
    Rect away{10, 10, 12, 12};
    EXPECT_EQ(dst->Blt(&away, src.get(), nullptr, BLT_WAIT, nullptr), Result::Ok);
}

TEST(Surface, LostSurfaceAnswersLostUntilRestored)
{
    auto s = Make(2, 2, FormatId::A8R8G8B8);
    auto other = Make(2, 2, FormatId::A8R8G8B8);
    s->WriteRaw(0, 0, 0x11223344);
    s->MarkLost();
    EXPECT_EQ(s->IsLost(), Result::SurfaceLost);
    SurfaceDesc desc;
    EXPECT_EQ(s->Lock(nullptr, &desc, LOCK_WAIT), Result::SurfaceLost);
    EXPECT_EQ(other->Blt(nullptr, s.get(), nullptr, BLT_WAIT, nullptr), Result::SurfaceLost);
    EXPECT_EQ(Fill(*s, nullptr, 0), Result::SurfaceLost);
    EXPECT_NE(s->ReadRaw(0, 0), 0x11223344u); // the old picture is gone
    EXPECT_EQ(s->Restore(), Result::Ok);
    EXPECT_EQ(s->IsLost(), Result::Ok);
    EXPECT_EQ(s->Lock(nullptr, &desc, LOCK_WAIT), Result::Ok);
    EXPECT_EQ(s->Unlock(), Result::Ok);
}

TEST(Surface, MipChainAndAttachments)
{
    auto top = Make(4, 4, FormatId::A8R8G8B8);
    auto mid = Make(2, 2, FormatId::A8R8G8B8);
    auto low = Make(1, 1, FormatId::A8R8G8B8);
    top->SetNextMipLevel(mid);
    mid->SetNextMipLevel(low);
    EXPECT_EQ(top->GetMipLevelCount(), 3u);
    EXPECT_EQ(top->GetMipLevel(2), low.get());
    EXPECT_EQ(top->GetMipLevel(3), nullptr);
    std::shared_ptr<Surface> next;
    ASSERT_EQ(mid->GetAttachedSurface(CAPS_MIPMAP, &next), Result::Ok);
    EXPECT_EQ(next, low);
    auto depth = Surface::Create(4, 4, MakePixelFormat(FormatId::D16), CAPS_ZBUFFER);
    ASSERT_TRUE(depth);
    EXPECT_EQ(top->AddAttachedSurface(depth), Result::Ok);
    ASSERT_EQ(top->GetAttachedSurface(CAPS_ZBUFFER, &next), Result::Ok);
    EXPECT_EQ(next, depth);
    EXPECT_EQ(top->DeleteAttachedSurface(0, depth.get()), Result::Ok);
    EXPECT_EQ(top->GetAttachedSurface(CAPS_ZBUFFER, &next), Result::NotFound);
}

TEST(Blit, ConvertingCopiesMatchThePlainShiftConversionForEveryPair)
{
    const FormatId ids[] = {FormatId::A8R8G8B8, FormatId::X8R8G8B8, FormatId::R5G6B5,
                            FormatId::X1R5G5B5, FormatId::A1R5G5B5, FormatId::A4R4G4B4,
                            FormatId::R8G8B8};
    uint32_t seed = 12345;
    for (FormatId from : ids)
        for (FormatId to : ids)
        {
            auto src = Make(16, 4, from);
            auto dst = Make(16, 4, to);
            if (CanCopyBytes(*dst, *src))
                continue; // bytes move unchanged (checked above)
            for (uint32_t y = 0; y < 4; ++y)
                for (uint32_t x = 0; x < 16; ++x)
                {
                    seed = seed * 1103515245u + 12345u;
                    src->WriteRaw(x, y, seed);
                }
            ASSERT_EQ(dst->Blt(nullptr, src.get(), nullptr, BLT_WAIT, nullptr), Result::Ok);
            auto stretched = Make(32, 8, to);
            ASSERT_EQ(stretched->Blt(nullptr, src.get(), nullptr, BLT_WAIT, nullptr), Result::Ok);
            const PixelFormat& sf = src->GetPixelFormat();
            const PixelFormat& df = dst->GetPixelFormat();
            for (uint32_t y = 0; y < 4; ++y)
                for (uint32_t x = 0; x < 16; ++x)
                {
                    const uint32_t expected = PackArgb(df, UnpackArgb(sf, src->ReadRaw(x, y)));
                    ASSERT_EQ(dst->ReadRaw(x, y), expected)
                        << FormatName(from) << " -> " << FormatName(to);
                    ASSERT_EQ(stretched->ReadRaw(2 * x + 1, 2 * y + 1), expected);
                }
        }
}
