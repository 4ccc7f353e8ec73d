// PngLoad: the block's size and layout, every colour type and depth, transparency and gamma, and
// damaged files.
#include "render/image_writers.h"

#include "platform/shell/system_cursor.h"
#include "render/textures/image_decoders.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <tuple>

using namespace imagetest;

namespace
{
struct PngResult
{
    bool ok = false;
    uint8_t* pixels = reinterpret_cast<uint8_t*>(1);
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t side = 0;
    int channels = 0;
    bool alpha = false;

    ~PngResult() { FreePngPixels(ok ? pixels : nullptr); }
    uint32_t At(uint32_t x, uint32_t y) const { return PixelAt(pixels, side, x, y); }
};

void Load(const char* name, PngResult& r)
{
    r.ok = PngLoad(name, r.pixels, r.width, r.height, r.side, r.channels, r.alpha);
}

std::vector<uint16_t> Repeat(std::vector<uint16_t> pixel, size_t count)
{
    std::vector<uint16_t> all;
    for (size_t i = 0; i < count; ++i)
        all.insert(all.end(), pixel.begin(), pixel.end());
    return all;
}

class PngDecoderTest : public ImageFileTest
{
};
} // namespace

TEST_F(PngDecoderTest, BlockLayoutOf300By200)
{
    PngPlan plan;
    plan.width = 300;
    plan.height = 200;
    plan.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    plan.samples = Repeat({0x10, 0x20, 0x30, 0x40}, 300 * 200);
    // The far corner pixel differs, to find it at its offset.
    std::vector<uint16_t> corner = {0xA1, 0xB2, 0xC3, 0xD4};
    std::copy(corner.begin(), corner.end(), plan.samples.end() - 4);
    Serve("art/wide.png", EncodePng(plan));

    PngResult r;
    Load("Art/Wide.png", r);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.width, 300u);
    EXPECT_EQ(r.height, 200u);
    EXPECT_EQ(r.side, 512u);
    EXPECT_EQ(r.channels, 4);
    EXPECT_TRUE(r.alpha);
    const uint8_t* corner4 = r.pixels + (199 * 512 + 299) * 4;
    EXPECT_EQ(std::vector<uint8_t>(corner4, corner4 + 4),
              (std::vector<uint8_t>{0xC3, 0xB2, 0xA1, 0xD4})); // blue, green, red, alpha
    EXPECT_EQ(r.At(0, 0), 0x40102030u);
    // Outside the image: zero.
    EXPECT_EQ(r.At(300, 0), 0u);
    EXPECT_EQ(r.At(511, 199), 0u);
    EXPECT_EQ(r.At(0, 200), 0u);
    EXPECT_EQ(r.At(511, 511), 0u);
    EXPECT_EQ(GetImageDecodeError(), TString(""));
}

TEST_F(PngDecoderTest, BlockSideIsTheNextPowerOfTwo)
{
    for (auto [w, h, side] :
         {std::tuple{1u, 1u, 1u}, {256u, 256u, 256u}, {2u, 3u, 4u}, {257u, 1u, 512u}})
    {
        PngPlan plan;
        plan.width = w;
        plan.height = h;
        plan.colorType = PNG_COLOR_TYPE_GRAY;
        plan.samples.assign(w * h, 7);
        Serve("s.png", EncodePng(plan));
        PngResult r;
        Load("s.png", r);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.side, side) << w << "x" << h;
    }
}

// One pixel of every colour type and depth: the decoded blue, green, red, alpha and the flag.
TEST_F(PngDecoderTest, EveryColourTypeAndDepth)
{
    std::vector<png_color> palette = {{10, 20, 30}, {200, 100, 50}, {0, 0, 255}, {1, 2, 3}};
    struct Case
    {
        const char* what;
        int colorType;
        int depth;
        std::vector<uint16_t> pixel;
        std::vector<uint8_t> paletteAlpha;
        int transparentGrey;
        bool interlaced;
        uint32_t expected;
        bool alpha;
    };
    const Case cases[] = {
        {"grey 1", PNG_COLOR_TYPE_GRAY, 1, {1}, {}, -1, false, 0xFFFFFFFF, false},
        {"grey 2", PNG_COLOR_TYPE_GRAY, 2, {1}, {}, -1, false, 0xFF555555, false},
        {"grey 4", PNG_COLOR_TYPE_GRAY, 4, {3}, {}, -1, false, 0xFF333333, false},
        {"grey 8", PNG_COLOR_TYPE_GRAY, 8, {0x7B}, {}, -1, false, 0xFF7B7B7B, false},
        {"grey 16", PNG_COLOR_TYPE_GRAY, 16, {0xABCD}, {}, -1, false, 0xFFABABAB, false},
        {"grey tRNS", PNG_COLOR_TYPE_GRAY, 8, {0x7B}, {}, 0x7B, false, 0x007B7B7B, true},
        {"grey+alpha 8",
         PNG_COLOR_TYPE_GRAY_ALPHA,
         8,
         {0x40, 0x80},
         {},
         -1,
         false,
         0x80404040,
         true},
        {"grey+alpha 16",
         PNG_COLOR_TYPE_GRAY_ALPHA,
         16,
         {0x4000, 0x80FF},
         {},
         -1,
         false,
         0x80404040,
         true},
        {"rgb 8", PNG_COLOR_TYPE_RGB, 8, {1, 2, 3}, {}, -1, false, 0xFF010203, false},
        {"rgb 16",
         PNG_COLOR_TYPE_RGB,
         16,
         {0x1100, 0x22FF, 0x3380},
         {},
         -1,
         false,
         0xFF112233,
         false},
        {"rgba 8", PNG_COLOR_TYPE_RGB_ALPHA, 8, {1, 2, 3, 4}, {}, -1, false, 0x04010203, true},
        {"rgba 16",
         PNG_COLOR_TYPE_RGB_ALPHA,
         16,
         {0x1100, 0x2200, 0x3300, 0x4400},
         {},
         -1,
         false,
         0x44112233,
         true},
        {"rgba interlaced",
         PNG_COLOR_TYPE_RGB_ALPHA,
         8,
         {1, 2, 3, 4},
         {},
         -1,
         true,
         0x04010203,
         true},
        {"palette 1", PNG_COLOR_TYPE_PALETTE, 1, {1}, {}, -1, false, 0xFFC86432, false},
        {"palette 2", PNG_COLOR_TYPE_PALETTE, 2, {2}, {}, -1, false, 0xFF0000FF, false},
        {"palette 4", PNG_COLOR_TYPE_PALETTE, 4, {3}, {}, -1, false, 0xFF010203, false},
        {"palette 8", PNG_COLOR_TYPE_PALETTE, 8, {1}, {}, -1, false, 0xFFC86432, false},
        {"palette 8 tRNS", PNG_COLOR_TYPE_PALETTE, 8, {1}, {255, 77}, -1, false, 0x4DC86432, true},
        {"palette 2 tRNS", PNG_COLOR_TYPE_PALETTE, 2, {0}, {9}, -1, false, 0x090A141E, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        PngPlan plan;
        plan.width = 9; // odd widths exercise the packing of low depths
        plan.height = 3;
        plan.colorType = c.colorType;
        plan.depth = c.depth;
        plan.samples = Repeat(c.pixel, 9 * 3);
        plan.interlaced = c.interlaced;
        if (c.colorType == PNG_COLOR_TYPE_PALETTE)
            plan.palette.assign(palette.begin(), palette.begin() + std::min(4, 1 << c.depth));
        plan.paletteAlpha = c.paletteAlpha;
        plan.transparentGrey = c.transparentGrey;
        Serve("t.png", EncodePng(plan));
        PngResult r;
        Load("t.png", r);
        ASSERT_TRUE(r.ok) << GetImageDecodeError().c_str();
        EXPECT_EQ(r.At(0, 0), c.expected);
        EXPECT_EQ(r.At(8, 2), c.expected);
        EXPECT_EQ(r.At(9, 0), 0u);
        EXPECT_EQ(r.alpha, c.alpha);
        EXPECT_EQ(r.channels, 4);
    }
}

TEST_F(PngDecoderTest, GammaChunkCorrectsForAScreenOf2Point2)
{
    PngPlan plan;
    plan.colorType = PNG_COLOR_TYPE_GRAY;
    plan.samples = {128};
    Serve("plain.png", EncodePng(plan));
    plan.gamma = 1.0; // linear samples: raised to 1 / 2.2 for the screen
    Serve("linear.png", EncodePng(plan));
    plan.gamma = 1 / 2.2; // already for the screen: unchanged
    Serve("screen.png", EncodePng(plan));

    PngResult plain, linear, screen;
    Load("plain.png", plain);
    Load("linear.png", linear);
    Load("screen.png", screen);
    ASSERT_TRUE(plain.ok && linear.ok && screen.ok);
    EXPECT_EQ(plain.At(0, 0), 0xFF808080u);
    EXPECT_NEAR(linear.pixels[0], 186, 1);
    EXPECT_EQ(linear.pixels[0], linear.pixels[2]);
    EXPECT_NEAR(screen.pixels[0], 128, 1);
}

TEST_F(PngDecoderTest, TheBuiltInCursorDecodes)
{
    uint32_t size = 0;
    const uint8_t* bytes = GetSystemCursorPng(&size);
    Serve("cursor.png", std::string(reinterpret_cast<const char*>(bytes), size));
    PngResult r;
    Load("cursor.png", r);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.width, 32u);
    EXPECT_EQ(r.side, 32u);
}

TEST_F(PngDecoderTest, DamagedFilesFailWithANullBlockAndAReason)
{
    PngPlan plan;
    plan.width = 64;
    plan.height = 64;
    plan.samples = Repeat({1, 2, 3}, 64 * 64);
    std::string good = EncodePng(plan);

    std::string corrupt = good;
    for (size_t i = good.size() / 2; i < good.size() / 2 + 16; ++i)
        corrupt[i] = static_cast<char>(corrupt[i] ^ 0x5A);
    // IHDR of 100000 x 100000 with its checksum mended, so that only the size is wrong.
    std::string huge = good;
    for (int i : {16, 20})
    {
        huge[i] = 0;
        huge[i + 1] = 1;
        huge[i + 2] = static_cast<char>(0x86);
        huge[i + 3] = static_cast<char>(0xA0);
    }
    uint32_t crc =
        static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(huge.data() + 12), 17));
    for (int i = 0; i < 4; ++i)
        huge[29 + i] = static_cast<char>(crc >> (24 - 8 * i));

    ExpectRejected<PngResult>(
        {
            {"truncated.png", good.substr(0, good.size() / 2), "Read Error"},
            {"header-only.png", good.substr(0, 8), "Read Error"},
            {"corrupt.png", corrupt, nullptr},
            {"empty.png", std::string(), "not a PNG file"},
            {"text.png", std::string("GIF89a not a png at all"), "not a PNG file"},
            {"huge.png", huge, "image too large"},
        },
        "missing.png");
}
