// Texture helpers: creation sizes, formats and mip chains; loading with truncating conversion and
// box-filtered mip levels.
#include "sys/display/direct_draw.h"
#include "sys/display/texture_tools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

using namespace sys::display;

namespace
{
class TextureTools : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(DirectDrawCreate(nullptr, &mDisplay), Result::Ok);
        mDevice = GetDisplayConfig().mDevices[0];
    }
    void TearDown() override { ResetDisplayConfig(); }

    std::shared_ptr<Surface> Create(uint32_t flags, uint32_t w, uint32_t h, FormatId format,
                                    uint32_t* outW = nullptr, uint32_t* outH = nullptr)
    {
        std::shared_ptr<Surface> texture;
        uint32_t mips = 0;
        EXPECT_EQ(d3dx::CreateTexture(*mDisplay, mDevice, flags, &w, &h, &format, &texture, &mips),
                  Result::Ok);
        if (outW != nullptr)
            *outW = w;
        if (outH != nullptr)
            *outH = h;
        return texture;
    }

    std::shared_ptr<DirectDraw> mDisplay;
    DeviceDesc mDevice;
};
} // namespace

TEST_F(TextureTools, SizesGrowToPowersOfTwoWithAFullMipChain)
{
    uint32_t w = 300, h = 100, mips = 0;
    FormatId format = FormatId::A8R8G8B8;
    std::shared_ptr<Surface> texture;
    ASSERT_EQ(d3dx::CreateTexture(*mDisplay, mDevice, 0, &w, &h, &format, &texture, &mips),
              Result::Ok);
    EXPECT_EQ(w, 512u);
    EXPECT_EQ(h, 128u);
    EXPECT_EQ(mips, 10u); // 512 x 128 down to 1 x 1
    EXPECT_EQ(texture->GetMipLevel(7)->GetWidth(), 4u);
    EXPECT_EQ(texture->GetMipLevel(7)->GetHeight(), 1u);
    EXPECT_EQ(texture->GetMipLevel(9)->GetWidth(), 1u);
    EXPECT_TRUE(texture->GetCaps() & CAPS_TEXTURE);
    EXPECT_TRUE(texture->GetCaps() & CAPS_MIPMAP);
}

TEST_F(TextureTools, NoMipMapFlagMakesOneLevel)
{
    auto t = Create(d3dx::TEXTURE_NOMIPMAP, 64, 64, FormatId::X8R8G8B8);
    EXPECT_EQ(t->GetMipLevelCount(), 1u);
    EXPECT_EQ(t->GetPixelFormat(), MakePixelFormat(FormatId::X8R8G8B8));
}

// Skipping the clear is for one level the caller fills at the size it asked for: a mip chain, a
// size grown past the one asked or a padded row keeps zeroed texels the caller never writes.
TEST_F(TextureTools, UnclearedTexturesAreClearedWhereTheCallerCannotFillThem)
{
    const auto allZero = [](Surface& s)
    {
        const uint8_t* bits = s.GetBits();
        return std::all_of(bits, bits + static_cast<size_t>(s.GetPitch()) * s.GetHeight(),
                           [](uint8_t b) { return b == 0; });
    };
    const uint32_t unclearedOneLevel = d3dx::TEXTURE_UNCLEARED | d3dx::TEXTURE_NOMIPMAP;
    auto chain = Create(d3dx::TEXTURE_UNCLEARED, 32, 32, FormatId::A8R8G8B8);
    for (uint32_t level = 0; level < chain->GetMipLevelCount(); ++level)
        EXPECT_TRUE(allZero(*chain->GetMipLevel(level))) << "level " << level;
    uint32_t w = 0, h = 0;
    auto grown = Create(unclearedOneLevel, 30, 32, FormatId::A8R8G8B8, &w, &h);
    EXPECT_EQ(w, 32u);
    EXPECT_TRUE(allZero(*grown));
    auto padded = Create(unclearedOneLevel, 1, 2, FormatId::R5G6B5);
    ASSERT_EQ(padded->GetPitch(), 4);
    EXPECT_TRUE(allZero(*padded));
    // Filled whole, an uncleared texture holds just what was loaded.
    auto filled = Create(unclearedOneLevel, 16, 8, FormatId::A8R8G8B8);
    const std::vector<uint32_t> pixels(16 * 8, 0x80402010u);
    ASSERT_EQ(d3dx::LoadTextureFromMemory(filled.get(), 0, pixels.data(), FormatId::A8R8G8B8, 0,
                                          nullptr, d3dx::FILTER_POINT),
              Result::Ok);
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 16; ++x)
            ASSERT_EQ(filled->ReadRaw(x, y), 0x80402010u);
}

// A block laid out as the texture becomes its memory (X8R8G8B8 without the alpha byte); any other
// texture gets a copy and the block stays the caller's, unchanged.
TEST_F(TextureTools, BlockUploadsTakeTheBlockOnlyWhereItIsTheTexturesLayout)
{
    const auto block = [](uint32_t count)
    {
        auto* words = static_cast<uint32_t*>(std::malloc(count * 4));
        for (uint32_t i = 0; i < count; ++i)
            words[i] = 0x80000000u | i;
        return reinterpret_cast<uint8_t*>(words);
    };
    for (const FormatId format : {FormatId::X8R8G8B8, FormatId::A8R8G8B8})
    {
        auto t = Create(d3dx::TEXTURE_NOMIPMAP, 8, 4, format);
        uint8_t* pixels = block(32);
        const uint8_t* given = pixels;
        ASSERT_EQ(d3dx::LoadTextureFromBlock(t.get(), pixels, 128), Result::Ok);
        EXPECT_EQ(pixels, nullptr);
        EXPECT_EQ(t->GetBits(), given);
        EXPECT_EQ(t->ReadRaw(3, 2), format == FormatId::X8R8G8B8 ? 19u : 0x80000013u);
    }
    auto chain = Create(0, 8, 8, FormatId::A8R8G8B8);
    auto sixteen = Create(d3dx::TEXTURE_NOMIPMAP, 8, 8, FormatId::R5G6B5);
    auto small = Create(d3dx::TEXTURE_NOMIPMAP, 8, 4, FormatId::A8R8G8B8);
    for (Surface* t : {chain.get(), sixteen.get(), small.get()})
    {
        uint8_t* pixels = block(64);
        const uint8_t* given = pixels;
        ASSERT_EQ(d3dx::LoadTextureFromBlock(t, pixels, 256), Result::Ok);
        EXPECT_EQ(pixels, given);
        EXPECT_NE(t->GetBits(), given);
        EXPECT_EQ(reinterpret_cast<uint32_t*>(pixels)[19], 0x80000013u);
        EXPECT_EQ(t->ReadRaw(3, 2), PackArgb(t->GetChannelLayout(), 0x80000013u));
        std::free(pixels);
    }
}

TEST_F(TextureTools, DeviceLimitsShapeTheSize)
{
    uint32_t w = 0, h = 0;
    mDevice.mTriCaps.mTextureCaps |= TEXTURECAPS_SQUAREONLY;
    Create(d3dx::TEXTURE_NOMIPMAP, 300, 100, FormatId::A8R8G8B8, &w, &h);
    EXPECT_EQ(w, 512u);
    EXPECT_EQ(h, 512u);
    mDevice.mTriCaps.mTextureCaps &= ~TEXTURECAPS_SQUAREONLY;
    mDevice.mMaxTextureAspectRatio = 2;
    Create(d3dx::TEXTURE_NOMIPMAP, 300, 100, FormatId::A8R8G8B8, &w, &h);
    EXPECT_EQ(w, 512u);
    EXPECT_EQ(h, 256u);
    mDevice.mMaxTextureWidth = 1024;
    mDevice.mMaxTextureAspectRatio = 4096;
    Create(d3dx::TEXTURE_NOMIPMAP, 3000, 8, FormatId::A8R8G8B8, &w, &h);
    EXPECT_EQ(w, 1024u);
    EXPECT_EQ(h, 8u);
}

TEST_F(TextureTools, FormatsAskedForAreAnswered)
{
    for (FormatId id :
         {FormatId::A8R8G8B8, FormatId::X8R8G8B8, FormatId::A4R4G4B4, FormatId::R5G6B5})
    {
        uint32_t w = 8, h = 8, mips = 0;
        FormatId format = id;
        std::shared_ptr<Surface> t;
        ASSERT_EQ(d3dx::CreateTexture(*mDisplay, mDevice, 0, &w, &h, &format, &t, &mips),
                  Result::Ok);
        EXPECT_EQ(format, id);
        EXPECT_EQ(t->GetPixelFormat(), MakePixelFormat(id));
    }
    uint32_t w = 8, h = 8, mips = 0;
    FormatId format = FormatId::R8G8B8; // not a texture format here
    std::shared_ptr<Surface> t;
    ASSERT_EQ(d3dx::CreateTexture(*mDisplay, mDevice, 0, &w, &h, &format, &t, &mips), Result::Ok);
    EXPECT_EQ(format, FormatId::X8R8G8B8);
}

TEST_F(TextureTools, CreationTakesVideoMemory)
{
    DisplayConfig config = GetDisplayConfig();
    config.mVideoMemory = 1024;
    SetDisplayConfig(config);
    std::shared_ptr<DirectDraw> small;
    ASSERT_EQ(DirectDrawCreate(nullptr, &small), Result::Ok);
    uint32_t w = 64, h = 64, mips = 0;
    FormatId format = FormatId::A8R8G8B8;
    std::shared_ptr<Surface> t;
    EXPECT_EQ(d3dx::CreateTexture(*small, mDevice, 0, &w, &h, &format, &t, &mips),
              Result::OutOfVideoMemory);
    EXPECT_FALSE(t);
    uint64_t total = 0, free = 0;
    small->GetAvailableVidMem(CAPS_TEXTURE, &total, &free);
    EXPECT_EQ(free, 1024u); // a failed chain gives back what its levels took
}

TEST_F(TextureTools, LoadLevelZeroConvertsByTruncation)
{
    auto t = Create(d3dx::TEXTURE_NOMIPMAP, 2, 1, FormatId::R5G6B5);
    const uint32_t pixels[2] = {0x80FF7F3F, 0xFF0A0B0C};
    ASSERT_EQ(d3dx::LoadTextureFromMemory(t.get(), 0, pixels, FormatId::A8R8G8B8, 0, nullptr,
                                          d3dx::FILTER_POINT),
              Result::Ok);
    EXPECT_EQ(t->ReadRaw(0, 0), (31u << 11) | (31u << 5) | 7u);
    EXPECT_EQ(t->ReadRaw(1, 0), (1u << 11) | (2u << 5) | 1u);
    auto a4 = Create(d3dx::TEXTURE_NOMIPMAP, 2, 1, FormatId::A4R4G4B4);
    ASSERT_EQ(d3dx::LoadTextureFromMemory(a4.get(), 0, pixels, FormatId::A8R8G8B8, 0, nullptr,
                                          d3dx::FILTER_POINT),
              Result::Ok);
    EXPECT_EQ(a4->ReadRaw(0, 0), 0x8F73u);
    auto x8 = Create(d3dx::TEXTURE_NOMIPMAP, 2, 1, FormatId::X8R8G8B8);
    ASSERT_EQ(d3dx::LoadTextureFromMemory(x8.get(), 0, pixels, FormatId::A8R8G8B8, 0, nullptr,
                                          d3dx::FILTER_POINT),
              Result::Ok);
    EXPECT_EQ(x8->ReadRaw(0, 0), 0x00FF7F3Fu); // alpha dropped
}

TEST_F(TextureTools, LoadIntoARectangleWithAPitch)
{
    auto t = Create(d3dx::TEXTURE_NOMIPMAP, 4, 4, FormatId::A8R8G8B8);
    // Two rows of two pixels, rows three pixels apart.
    const uint32_t pixels[6] = {1, 2, 0xDEAD, 3, 4, 0xBEEF};
    Rect r{1, 2, 3, 4};
    ASSERT_EQ(d3dx::LoadTextureFromMemory(t.get(), 0, pixels, FormatId::A8R8G8B8, 12, &r,
                                          d3dx::FILTER_POINT),
              Result::Ok);
    EXPECT_EQ(t->ReadRaw(1, 2), 1u);
    EXPECT_EQ(t->ReadRaw(2, 2), 2u);
    EXPECT_EQ(t->ReadRaw(1, 3), 3u);
    EXPECT_EQ(t->ReadRaw(2, 3), 4u);
    EXPECT_EQ(t->ReadRaw(0, 2), 0u);
    Rect outside{3, 3, 5, 5};
    EXPECT_EQ(d3dx::LoadTextureFromMemory(t.get(), 0, pixels, FormatId::A8R8G8B8, 0, &outside,
                                          d3dx::FILTER_POINT),
              Result::InvalidRect);
    EXPECT_EQ(d3dx::LoadTextureFromMemory(t.get(), 0, pixels, FormatId::R5G6B5, 0, nullptr,
                                          d3dx::FILTER_POINT),
              Result::InvalidPixelFormat);
}

TEST_F(TextureTools, EveryLevelIsBoxFilteredFromTheSource)
{
    auto t = Create(0, 4, 2, FormatId::A8R8G8B8);
    ASSERT_EQ(t->GetMipLevelCount(), 3u);
    // Red channel 0 10 20 30 / 40 50 60 71; alpha 255 and 0 alternating by column.
    uint32_t pixels[8];
    const uint32_t red[8] = {0, 10, 20, 30, 40, 50, 60, 71};
    for (int i = 0; i < 8; ++i)
        pixels[i] = ((i % 2 == 0) ? 0xFF000000u : 0u) | red[i] << 16 | 0x0000FF00u;
    ASSERT_EQ(d3dx::LoadTextureFromMemory(t.get(), d3dx::DEFAULT, pixels, FormatId::A8R8G8B8, 0,
                                          nullptr, d3dx::FILTER_LINEAR),
              Result::Ok);
    EXPECT_EQ(t->ReadRaw(3, 1), pixels[7]);
    Surface* level1 = t->GetMipLevel(1);
    // (0 + 10 + 40 + 50) / 4 = 25; (20 + 30 + 60 + 71) / 4 = 45.25 -> 45; alpha (255 + 0) x 2 / 4
    // = 127.5 -> 128.
    EXPECT_EQ(level1->ReadRaw(0, 0), 0x8019FF00u);
    EXPECT_EQ(level1->ReadRaw(1, 0), 0x802DFF00u);
    // 281 / 8 = 35.125 -> 35.
    EXPECT_EQ(t->GetMipLevel(2)->ReadRaw(0, 0), 0x8023FF00u);
}

TEST_F(TextureTools, MipLevelsInSixteenBitsAreFilteredThenTruncated)
{
    auto t = Create(0, 2, 2, FormatId::R5G6B5);
    // Red 7, 7, 7, 11: the level below averages to 8 and reads 1 in five bits; truncating first
    // (0, 0, 0, 1) would give 0.
    const uint32_t pixels[4] = {0xFF070000, 0xFF070000, 0xFF070000, 0xFF0B0000};
    ASSERT_EQ(d3dx::LoadTextureFromMemory(t.get(), d3dx::DEFAULT, pixels, FormatId::A8R8G8B8, 0,
                                          nullptr, d3dx::FILTER_LINEAR),
              Result::Ok);
    EXPECT_EQ(t->ReadRaw(0, 0), 0u);
    EXPECT_EQ(t->ReadRaw(1, 1), 1u << 11);
    EXPECT_EQ(t->GetMipLevel(1)->ReadRaw(0, 0), 1u << 11);
}

TEST_F(TextureTools, LostTextureRefusesLoads)
{
    auto t = Create(d3dx::TEXTURE_NOMIPMAP, 2, 2, FormatId::A8R8G8B8);
    mDisplay->LoseAllSurfaces();
    const uint32_t pixels[4] = {};
    EXPECT_EQ(d3dx::LoadTextureFromMemory(t.get(), 0, pixels, FormatId::A8R8G8B8, 0, nullptr,
                                          d3dx::FILTER_POINT),
              Result::SurfaceLost);
}

TEST(BoxFilter, AveragesBlocksWithRounding)
{
    const uint32_t source[4] = {0x00000001, 0x00000002, 0x00000003, 0x00000004};
    uint32_t dest = 0;
    sys::display::d3dx::BoxFilter(source, 2, 2, 2, &dest, 1, 1);
    EXPECT_EQ(dest, 0x00000003u); // (10 + 2) / 4 = 3 (2.5 rounds up)
}
