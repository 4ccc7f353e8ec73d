// Jp2Load: JP2 files and bare codestreams in colour and grey, alpha components, precisions, the
// edge padding, refused subsampling, and damaged files.
#include "render/image_writers.h"

#include "render/textures/image_decoders.h"

#include <gtest/gtest.h>

using namespace imagetest;

namespace
{
struct Jp2Result
{
    bool ok = false;
    uint8_t* pixels = reinterpret_cast<uint8_t*>(1);
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t side = 0;
    bool alpha = true;

    ~Jp2Result() { FreeJp2Pixels(ok ? pixels : nullptr); }
    uint32_t At(uint32_t x, uint32_t y) const { return PixelAt(pixels, side, x, y); }
};

void Load(const char* name, Jp2Result& r)
{
    r.ok = Jp2Load(name, r.pixels, r.width, r.height, r.side, r.alpha);
}

// A component whose sample at (x, y) is f(x, y).
template <typename F> std::vector<int32_t> Plane(uint32_t w, uint32_t h, F f)
{
    std::vector<int32_t> plane;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            plane.push_back(f(x, y));
    return plane;
}

Jp2Plan Colour(uint32_t w, uint32_t h, int components)
{
    Jp2Plan plan;
    plan.width = w;
    plan.height = h;
    plan.components = {Plane(w, h, [](uint32_t x, uint32_t) { return int32_t(x % 256); }),
                       Plane(w, h, [](uint32_t, uint32_t y) { return int32_t(y % 256); }),
                       Plane(w, h, [](uint32_t x, uint32_t y) { return int32_t((x + y) % 7); })};
    if (components == 4)
    {
        plan.components.push_back(Plane(w, h, [](uint32_t, uint32_t) { return 0x5A; }));
        plan.alphaComponent = 3;
    }
    return plan;
}

class Jp2DecoderTest : public ImageFileTest
{
};
} // namespace

TEST_F(Jp2DecoderTest, RgbFileAndCodestreamWithEdgePadding)
{
    Jp2Plan plan = Colour(300, 200, 3);
    Serve("rgb.jp2", EncodeJp2(plan));
    plan.codestream = true;
    Serve("rgb.j2k", EncodeJp2(plan));
    for (const char* name : {"rgb.jp2", "rgb.j2k"})
    {
        SCOPED_TRACE(name);
        Jp2Result r;
        Load(name, r);
        ASSERT_TRUE(r.ok) << GetImageDecodeError().c_str();
        EXPECT_EQ(r.width, 300u);
        EXPECT_EQ(r.height, 200u);
        EXPECT_EQ(r.side, 512u);
        EXPECT_FALSE(r.alpha);
        // Red from component 0, green from 1, blue from 2, alpha 255.
        EXPECT_EQ(r.At(17, 9), 0xFF110905u);
        EXPECT_EQ(r.At(299, 199), 0xFF2BC700u + (299 + 199) % 7);
        // Right of the image each row repeats its last pixel, below it the last row repeats.
        EXPECT_EQ(r.At(300, 9), r.At(299, 9));
        EXPECT_EQ(r.At(511, 9), r.At(299, 9));
        EXPECT_EQ(r.At(17, 200), r.At(17, 199));
        EXPECT_EQ(r.At(17, 511), r.At(17, 199));
        EXPECT_EQ(r.At(511, 511), r.At(299, 199));
    }
}

TEST_F(Jp2DecoderTest, OnlyADefinedOpacityComponentGivesAlpha)
{
    Jp2Plan plan = Colour(8, 8, 4);
    Serve("rgba.jp2", EncodeJp2(plan));
    // A bare codestream has no channel definitions: its fourth component is not opacity.
    plan.codestream = true;
    Serve("rgba.j2k", EncodeJp2(plan));

    Jp2Result file, stream;
    Load("rgba.jp2", file);
    Load("rgba.j2k", stream);
    ASSERT_TRUE(file.ok && stream.ok);
    EXPECT_TRUE(file.alpha);
    EXPECT_EQ(file.At(3, 2), 0x5A030205u);
    EXPECT_EQ(file.At(7, 7), 0x5A070700u);
    EXPECT_FALSE(stream.alpha);
    EXPECT_EQ(stream.At(3, 2), 0xFF030205u);
}

TEST_F(Jp2DecoderTest, GreyWithAndWithoutAlpha)
{
    Jp2Plan plan;
    plan.width = 5;
    plan.height = 3;
    plan.space = OPJ_CLRSPC_GRAY;
    plan.components = {Plane(5, 3, [](uint32_t x, uint32_t y) { return int32_t(40 * x + y); })};
    Serve("grey.jp2", EncodeJp2(plan));
    plan.codestream = true;
    Serve("grey.j2k", EncodeJp2(plan));
    plan.codestream = false;
    plan.components.push_back(Plane(5, 3, [](uint32_t x, uint32_t) { return int32_t(x * 50); }));
    plan.alphaComponent = 1;
    Serve("greyalpha.jp2", EncodeJp2(plan));

    for (const char* name : {"grey.jp2", "grey.j2k"})
    {
        SCOPED_TRACE(name);
        Jp2Result r;
        Load(name, r);
        ASSERT_TRUE(r.ok) << GetImageDecodeError().c_str();
        EXPECT_EQ(r.side, 8u);
        EXPECT_FALSE(r.alpha);
        EXPECT_EQ(r.At(3, 2), 0xFF7A7A7Au);
        EXPECT_EQ(r.At(7, 7), 0xFFA2A2A2u);
    }
    Jp2Result r;
    Load("greyalpha.jp2", r);
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(r.alpha);
    EXPECT_EQ(r.At(3, 2), 0x967A7A7Au);
    EXPECT_EQ(r.At(7, 7), 0xC8A2A2A2u);
}

// Precisions below 8 shift left into the byte, above 8 right (the top 8 bits).
TEST_F(Jp2DecoderTest, PrecisionsOtherThan8)
{
    for (auto [precision, sample, expected] :
         {std::tuple{4u, 0xA, 0xA0u}, {1u, 1, 0x80u}, {12u, 0xABC, 0xABu}, {16u, 0xFEDC, 0xFEu}})
    {
        SCOPED_TRACE(precision);
        Jp2Plan plan;
        plan.width = 4;
        plan.height = 4;
        plan.space = OPJ_CLRSPC_GRAY;
        plan.precision = precision;
        plan.components = {std::vector<int32_t>(16, sample)};
        Serve("p.jp2", EncodeJp2(plan));
        Jp2Result r;
        Load("p.jp2", r);
        ASSERT_TRUE(r.ok) << GetImageDecodeError().c_str();
        EXPECT_EQ(r.At(1, 1), 0xFF000000u | expected * 0x010101u);
    }
}

TEST_F(Jp2DecoderTest, DamagedFilesAndSubsamplingFailWithANullBlock)
{
    Jp2Plan plan = Colour(64, 64, 3);
    plan.codestream = true;
    std::string good = EncodeJp2(plan);
    Jp2Plan sub = Colour(64, 64, 3);
    sub.subsampling = 2;
    sub.components[1] = std::vector<int32_t>(32 * 32, 9);
    sub.components[2] = std::vector<int32_t>(32 * 32, 9);
    sub.components[0] = std::vector<int32_t>(32 * 32, 9);
    // SIZ: image and tile of 100000 x 100000.
    std::string huge = good;
    for (size_t at : {8, 12, 24, 28})
    {
        huge[at] = 0;
        huge[at + 1] = 1;
        huge[at + 2] = static_cast<char>(0x86);
        huge[at + 3] = static_cast<char>(0xA0);
    }
    std::string corrupt = good;
    for (size_t i = good.size() / 2; i < good.size() / 2 + 64; ++i)
        corrupt[i] = static_cast<char>(0xFF);

    ExpectRejected<Jp2Result>(
        {
            {"empty.jp2", std::string(), "not a JPEG 2000 file"},
            {"text.jp2", std::string("just some text, long enough"), "not a JPEG 2000 file"},
            {"truncated.j2k", good.substr(0, good.size() / 2), nullptr},
            {"header-cut.j2k", good.substr(0, 20), nullptr},
            {"corrupt.j2k", corrupt, nullptr},
            {"huge.j2k", huge, "image too large"},
            {"subsampled.jp2", EncodeJp2(sub), "subsampled components are not supported"},
        },
        "missing.jp2");
}
