// JpegLoad: byte order and the opaque fourth byte, baseline, progressive and grey files, the
// block outside the image, early ends, and damaged files.
#include "render/image_writers.h"

#include "render/textures/image_decoders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace imagetest;

namespace
{
struct JpegResult
{
    bool ok = false;
    uint8_t* pixels = reinterpret_cast<uint8_t*>(1);
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t side = 0;

    ~JpegResult() { FreeJpegPixels(ok ? pixels : nullptr); }
    const uint8_t* At(uint32_t x, uint32_t y) const
    {
        return pixels + (static_cast<size_t>(y) * side + x) * 4;
    }
};

void Load(const char* name, JpegResult& r)
{
    r.ok = JpegLoad(name, r.pixels, r.width, r.height, r.side);
}

// Left half one colour, right half another, so that a swapped or shifted channel shows.
std::vector<uint8_t> TwoColours(uint32_t w, uint32_t h, int components, std::vector<uint8_t> left,
                                std::vector<uint8_t> right)
{
    std::vector<uint8_t> samples;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            for (int c = 0; c < components; ++c)
                samples.push_back(x < w / 2 ? left[c] : right[c]);
    return samples;
}

void ExpectNear(const uint8_t* pixel, std::vector<int> bgra)
{
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(pixel[i], bgra[i], 3) << "byte " << i;
}

class JpegDecoderTest : public ImageFileTest
{
};
} // namespace

TEST_F(JpegDecoderTest, BaselineAndProgressiveGiveBlueGreenRedAndOpaque)
{
    auto samples = TwoColours(300, 200, 3, {250, 40, 10}, {20, 60, 240});
    Serve("base.jpg", EncodeJpeg(300, 200, 3, samples, false));
    Serve("prog.jpg", EncodeJpeg(300, 200, 3, samples, true));
    for (const char* name : {"base.jpg", "prog.jpg"})
    {
        SCOPED_TRACE(name);
        JpegResult r;
        Load(name, r);
        ASSERT_TRUE(r.ok) << GetImageDecodeError().c_str();
        EXPECT_EQ(r.width, 300u);
        EXPECT_EQ(r.height, 200u);
        EXPECT_EQ(r.side, 512u);
        ExpectNear(r.At(10, 10), {10, 40, 250, 255});
        ExpectNear(r.At(299, 199), {240, 60, 20, 255});
        EXPECT_EQ(r.At(299, 199)[3], 255);
        // Outside the image the block is cleared.
        for (auto [x, y] : {std::pair{300u, 0u}, {511u, 199u}, {0u, 200u}, {511u, 511u}})
            EXPECT_EQ(std::vector<uint8_t>(r.At(x, y), r.At(x, y) + 4), std::vector<uint8_t>(4, 0));
    }
}

// The variant for textures without alpha: the same block, every fourth byte zero.
TEST_F(JpegDecoderTest, WithoutAlphaTheBlockIsTheSameSaveItsFourthBytes)
{
    Serve("opaque.jpg",
          EncodeJpeg(300, 200, 3, TwoColours(300, 200, 3, {250, 40, 10}, {20, 60, 240}), false));
    JpegResult r, opaque;
    Load("opaque.jpg", r);
    opaque.ok =
        JpegLoadWithoutAlpha("opaque.jpg", opaque.pixels, opaque.width, opaque.height, opaque.side);
    ASSERT_TRUE(r.ok && opaque.ok);
    ASSERT_EQ(opaque.side, r.side);
    std::vector<uint8_t> expected(r.pixels, r.pixels + size_t{r.side} * r.side * 4);
    for (size_t i = 3; i < expected.size(); i += 4)
        expected[i] = 0;
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), opaque.pixels));
}

TEST_F(JpegDecoderTest, GreyFilesGiveEqualColourBytes)
{
    Serve("grey.jpg", EncodeJpeg(16, 8, 1, TwoColours(16, 8, 1, {30}, {200}), false));
    JpegResult r;
    Load("grey.jpg", r);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.side, 16u);
    ExpectNear(r.At(1, 1), {30, 30, 30, 255});
    ExpectNear(r.At(14, 6), {200, 200, 200, 255});
    EXPECT_EQ(r.At(14, 6)[0], r.At(14, 6)[2]);
}

TEST_F(JpegDecoderTest, AFileThatEndsEarlyStillDecodes)
{
    std::string whole =
        EncodeJpeg(64, 64, 3, TwoColours(64, 64, 3, {255, 0, 0}, {0, 0, 255}), false);
    // Cut halfway through the scan data: the source's fake end marker lets the library finish.
    size_t scan = whole.find("\xFF\xDA");
    ASSERT_NE(scan, std::string::npos);
    Serve("cut.jpg", whole.substr(0, scan + (whole.size() - scan) / 2));
    JpegResult r;
    Load("cut.jpg", r);
    ASSERT_TRUE(r.ok) << GetImageDecodeError().c_str();
    EXPECT_EQ(r.width, 64u);
    ExpectNear(r.At(2, 2), {0, 0, 255, 255});
}

TEST_F(JpegDecoderTest, DamagedFilesFailWithANullBlockAndNeverEndTheProcess)
{
    std::string good = EncodeJpeg(64, 64, 3, TwoColours(64, 64, 3, {1, 2, 3}, {4, 5, 6}), false);
    // SOF0 of 60000 x 60000: only the size is wrong.
    std::string huge = good;
    size_t sof = huge.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    for (size_t at : {sof + 5, sof + 7})
    {
        huge[at] = static_cast<char>(0xEA);
        huge[at + 1] = 0x60;
    }
    // The first component asks for a quantisation table the file never defines.
    std::string corrupt = good;
    corrupt[sof + 12] = 3;
    std::vector<uint8_t> cmyk(8 * 8 * 4, 100);

    ExpectRejected<JpegResult>(
        {
            {"empty.jpg", std::string(), "Empty input file"},
            {"header-cut.jpg", good.substr(0, 40), nullptr},
            {"corrupt.jpg", corrupt, nullptr},
            {"text.jpg", std::string("not a jpeg"), nullptr},
            {"huge.jpg", huge, "image too large"},
            {"cmyk.jpg", EncodeJpeg(8, 8, 4, cmyk, false, JCS_CMYK), nullptr},
        },
        "missing.jpg");
}
