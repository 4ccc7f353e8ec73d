// Pixel formats: the table of supported formats and the plain-shift conversions to and from
// A8R8G8B8, value by value.
#include "sys/display/pixel_format.h"

#include <gtest/gtest.h>

using namespace sys::display;

TEST(PixelFormat, TableDescribesEachFormat)
{
    PixelFormat f = MakePixelFormat(FormatId::A8R8G8B8);
    EXPECT_EQ(f.mFlags, PF_RGB | PF_ALPHAPIXELS);
    EXPECT_EQ(f.mBitCount, 32u);
    EXPECT_EQ(f.mAMask, 0xFF000000u);
    f = MakePixelFormat(FormatId::R5G6B5);
    EXPECT_EQ(f.mFlags, PF_RGB);
    EXPECT_EQ(f.mRMask, 0xF800u);
    EXPECT_EQ(f.mGMask, 0x07E0u);
    EXPECT_EQ(f.mBMask, 0x001Fu);
    f = MakePixelFormat(FormatId::A4R4G4B4);
    EXPECT_EQ(f.mAMask, 0xF000u);
    EXPECT_EQ(f.mRMask, 0x0F00u);
    f = MakePixelFormat(FormatId::R8G8B8);
    EXPECT_EQ(f.BytesPerPixel(), 3u);
    f = MakePixelFormat(FormatId::D16);
    EXPECT_EQ(f.mFlags, PF_ZBUFFER);
    EXPECT_EQ(f.mZBitMask, 0xFFFFu);
}

TEST(PixelFormat, IdentifiesEveryFormatAndRejectsOthers)
{
    for (FormatId id :
         {FormatId::A8R8G8B8, FormatId::X8R8G8B8, FormatId::R5G6B5, FormatId::X1R5G5B5,
          FormatId::A1R5G5B5, FormatId::A4R4G4B4, FormatId::R8G8B8, FormatId::D16, FormatId::D32})
        EXPECT_EQ(IdentifyFormat(MakePixelFormat(id)), id) << FormatName(id);
    PixelFormat odd = MakePixelFormat(FormatId::R5G6B5);
    odd.mRMask = 0x001F; // BGR order is not offered
    odd.mBMask = 0xF800;
    EXPECT_EQ(IdentifyFormat(odd), FormatId::Unknown);
    // An alpha mask without the alpha flag is not meaningful and is ignored.
    PixelFormat stray = MakePixelFormat(FormatId::X8R8G8B8);
    stray.mAMask = 0xFF000000;
    EXPECT_EQ(IdentifyFormat(stray), FormatId::X8R8G8B8);
}

TEST(PixelFormat, MaskBitHelpers)
{
    EXPECT_EQ(CountMaskBits(0xF800), 5u);
    EXPECT_EQ(CountMaskBits(0), 0u);
    EXPECT_EQ(LowestMaskBit(0x07E0), 5u);
    EXPECT_EQ(LowestMaskBit(0x00FF0000), 16u);
}

TEST(PixelFormat, PackTruncatesEachChannel)
{
    const uint32_t argb = 0x80FF7F3F; // a 128, r 255, g 127, b 63
    EXPECT_EQ(PackArgb(MakePixelFormat(FormatId::A8R8G8B8), argb), 0x80FF7F3Fu);
    EXPECT_EQ(PackArgb(MakePixelFormat(FormatId::X8R8G8B8), argb), 0x00FF7F3Fu);
    // R5G6B5: 255>>3=31, 127>>2=31, 63>>3=7.
    EXPECT_EQ(PackArgb(MakePixelFormat(FormatId::R5G6B5), argb), (31u << 11) | (31u << 5) | 7u);
    // X1R5G5B5: 31, 127>>3=15, 7.
    EXPECT_EQ(PackArgb(MakePixelFormat(FormatId::X1R5G5B5), argb), (31u << 10) | (15u << 5) | 7u);
    // A1R5G5B5: alpha 128>>7=1.
    EXPECT_EQ(PackArgb(MakePixelFormat(FormatId::A1R5G5B5), argb),
              0x8000u | (31u << 10) | (15u << 5) | 7u);
    // A4R4G4B4: 8, 15, 7, 3.
    EXPECT_EQ(PackArgb(MakePixelFormat(FormatId::A4R4G4B4), argb), 0x8F73u);
    EXPECT_EQ(PackArgb(MakePixelFormat(FormatId::R8G8B8), argb), 0xFF7F3Fu);
}

TEST(PixelFormat, UnpackShiftsWithoutReplication)
{
    // 5-bit 31 reads as 248, 6-bit 63 as 252: no low bits are filled in.
    EXPECT_EQ(UnpackArgb(MakePixelFormat(FormatId::R5G6B5), 0xFFFF), 0xFFF8FCF8u);
    EXPECT_EQ(UnpackArgb(MakePixelFormat(FormatId::R5G6B5), 0xF800), 0xFFF80000u);
    EXPECT_EQ(UnpackArgb(MakePixelFormat(FormatId::X1R5G5B5), 0x7FFF), 0xFFF8F8F8u);
    EXPECT_EQ(UnpackArgb(MakePixelFormat(FormatId::A1R5G5B5), 0x8000), 0x80000000u);
    EXPECT_EQ(UnpackArgb(MakePixelFormat(FormatId::A1R5G5B5), 0x7FFF), 0x00F8F8F8u);
    EXPECT_EQ(UnpackArgb(MakePixelFormat(FormatId::A4R4G4B4), 0xF8C1), 0xF080C010u);
    // Formats without alpha read alpha 255, whatever the spare bits hold.
    EXPECT_EQ(UnpackArgb(MakePixelFormat(FormatId::X8R8G8B8), 0x12345678), 0xFF345678u);
    EXPECT_EQ(UnpackArgb(MakePixelFormat(FormatId::R8G8B8), 0x345678), 0xFF345678u);
    EXPECT_EQ(UnpackArgb(MakePixelFormat(FormatId::A8R8G8B8), 0x12345678), 0x12345678u);
}

TEST(PixelFormat, NarrowWideNarrowRoundTripsAndWideNarrowTruncates)
{
    for (FormatId id :
         {FormatId::R5G6B5, FormatId::X1R5G5B5, FormatId::A1R5G5B5, FormatId::A4R4G4B4})
    {
        const PixelFormat f = MakePixelFormat(id);
        const uint32_t all = f.mRMask | f.mGMask | f.mBMask | f.mAMask;
        for (uint32_t raw = 0; raw <= 0xFFFF; raw += 7)
        {
            const uint32_t masked = raw & all;
            ASSERT_EQ(PackArgb(f, UnpackArgb(f, masked)), masked) << FormatName(id);
        }
    }
    const PixelFormat r565 = MakePixelFormat(FormatId::R5G6B5);
    EXPECT_EQ(UnpackArgb(r565, PackArgb(r565, 0xFF0A0B0C)), 0xFF080808u);
    EXPECT_EQ(UnpackArgb(r565, PackArgb(r565, 0xFFFFFFFF)), 0xFFF8FCF8u);
}

TEST(PixelFormat, RawPixelLoadAndStoreAreLittleEndian)
{
    uint8_t bytes[4] = {0, 0, 0, 0};
    StoreRawPixel(bytes, 3, 0xAABBCC);
    EXPECT_EQ(bytes[0], 0xCC);
    EXPECT_EQ(bytes[2], 0xAA);
    EXPECT_EQ(bytes[3], 0);
    EXPECT_EQ(LoadRawPixel(bytes, 3), 0xAABBCCu);
    StoreRawPixel(bytes, 2, 0x1234);
    EXPECT_EQ(LoadRawPixel(bytes, 2), 0x1234u);
}
