// TVectorFont: the built-in font's layout, metrics and fit factors of fonts written here, and
// damaged images read only inside their bytes.
#include "render/vector_test_support.h"

#include "render/text/vector_font.h"

#include <gtest/gtest.h>

extern const unsigned char kBuiltinVectorFont[];
extern const unsigned long kBuiltinVectorFontSize;

using namespace vectest;

namespace
{

uint32_t Read32(const uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

std::vector<Glyph> MetricGlyphs()
{
    auto box = [](float x0, float y0, float x1, float y1)
    { return Outline().Group().Left(1).Rect(x0, y0, x1, y1).End().Bytes(); };
    return {
        {'A', 1, 60, -70, 0, 62, box(1, -70, 60, 0)},
        {'W', 0, 90, -70, 0, 92, box(0, -70, 90, 0)},
        {'_', 0, 50, 20, 30, 50, box(0, 20, 50, 30)},
        {'g', 2, 50, -50, 20, 55, box(2, -50, 50, 20)},
        {200, 0, 60, -100, 0, 60, box(0, -100, 60, 0)},
        {201, 0, 60, -10, 60, 60, box(0, -10, 60, 60)},
    };
}

} // namespace

TEST(VectorFont, BuiltinFontIsWellFormedAndComplete)
{
    // The converter's output for the packaged font, as the program carries it.
    const uint8_t* data = kBuiltinVectorFont;
    uint32_t size = static_cast<uint32_t>(kBuiltinVectorFontSize);
    ASSERT_EQ(std::memcmp(data, "MVC4", 4), 0);
    uint32_t count = data[4] | data[5] << 8;
    EXPECT_EQ(count, 515u);
    for (int i = 6; i < 12; ++i)
        EXPECT_EQ(data[i], 0) << i;
    ASSERT_LE(12 + 18 * count, size);
    uint32_t previous = 0;
    for (uint32_t i = 0; i < count; ++i)
    {
        const uint8_t* record = data + 12 + 18 * i;
        uint32_t code = Read32(record);
        if (i > 0)
        {
            EXPECT_LT(previous, code);
        }
        previous = code;
        // Walk the outline: only known commands, every operand inside the file, then 8.
        uint32_t at = Read32(record + 14);
        ASSERT_LT(at, size) << code;
        const uint8_t operands[9] = {0, 0, 1, 1, 4, 4, 8, 3, 0};
        bool ended = false;
        while (at < size && !ended)
        {
            uint8_t command = data[at++];
            ASSERT_TRUE(command >= 1 && command <= 8) << code;
            ended = command == 8;
            at += operands[command];
        }
        EXPECT_TRUE(ended && at <= size) << code;
    }

    TVectorFont font;
    ASSERT_TRUE(font.LoadBuiltin());
    // A composite's components are style groups of their own: one command 1 each.
    auto groups = [&](uint32_t code)
    {
        int i = font.FindGlyph(code);
        const uint8_t* p = font.GetGlyphData(i);
        const uint8_t* end = p + font.GetGlyphDataSize(i);
        const uint8_t operands[9] = {0, 0, 1, 1, 4, 4, 8, 3, 0};
        int n = 0;
        while (p < end && *p != 8)
        {
            n += *p == 1;
            p += 1 + operands[*p];
        }
        return n;
    };
    EXPECT_EQ(groups('A'), 1);
    EXPECT_EQ(groups(' '), 1);
    EXPECT_EQ(groups(0xE7), 2); // c with cedilla
    EXPECT_GE(font.FindGlyph('A'), 0);
    EXPECT_GE(font.FindGlyph('W'), 0);
    EXPECT_GE(font.FindGlyph(0xAD), 0);
    EXPECT_EQ(font.FindGlyph(0x4E00), -1);
    EXPECT_EQ(font.GetGlyphData(-1), nullptr);
    EXPECT_EQ(font.GetGlyphData(font.GetGlyphCount()), nullptr);
    EXPECT_GT(font.GetAscent(), 70.0f);
    EXPECT_FLOAT_EQ(font.GetGlyphScale(font.FindGlyph('a')), 1.0f);
}

TEST(VectorFont, MetricsAndFitFactors)
{
    EXPECT_FLOAT_EQ(VectorFontBodyRatio, 0.8f);
    std::vector<uint8_t> bytes = BuildFont(MetricGlyphs());
    TVectorFont font;
    ASSERT_TRUE(font.Load(Copy(bytes), static_cast<uint32_t>(bytes.size())));
    EXPECT_EQ(font.GetGlyphCount(), 6);
    EXPECT_EQ(font.GetFlag(), 0);
    EXPECT_FLOAT_EQ(font.GetScale(), 1.0f);
    // Ascent from 'W'; descent from ASCII glyphs other than '_' (not 201, not '_').
    EXPECT_FLOAT_EQ(font.GetAscent(), 70.0f);
    EXPECT_FLOAT_EQ(font.GetDescent(), 20.0f);
    EXPECT_FLOAT_EQ(font.GetScaledHeight(true), 0.15f * 90 / 0.8f);
    EXPECT_FLOAT_EQ(font.GetScaledHeight(false), 0.05f * 90 / 0.8f);
    int a = font.FindGlyph('A');
    EXPECT_FLOAT_EQ(font.GetGlyphMetricA(a), 62.0f);
    EXPECT_FLOAT_EQ(font.GetGlyphMetricB(a), 1.0f);
    EXPECT_FLOAT_EQ(font.GetGlyphMetricC(a), 60.0f);
    EXPECT_FLOAT_EQ(font.GetGlyphMetricA(99), 0.0f);
    EXPECT_FLOAT_EQ(font.GetGlyphScale(-1), 1.0f);
    EXPECT_FLOAT_EQ(font.GetGlyphScale(a), 1.0f);
    EXPECT_FLOAT_EQ(font.GetGlyphScale(font.FindGlyph('g')), 1.0f);
    // Below the bottom limit (20 + 5.625), above the top limit (70 + 16.875).
    EXPECT_FLOAT_EQ(font.GetGlyphScale(font.FindGlyph('_')), 1.0f / (30.0f / 25.625f));
    EXPECT_FLOAT_EQ(font.GetGlyphScale(font.FindGlyph(200)), 1.0f / (100.0f / 86.875f));
    EXPECT_FLOAT_EQ(font.GetGlyphScale(font.FindGlyph(201)), 1.0f / (60.0f / 25.625f));
}

TEST(VectorFont, WithoutWTheAscentIsZero)
{
    std::vector<Glyph> glyphs = MetricGlyphs();
    glyphs.erase(glyphs.begin() + 1);
    std::vector<uint8_t> bytes = BuildFont(glyphs);
    TVectorFont font;
    ASSERT_TRUE(font.Load(Copy(bytes), static_cast<uint32_t>(bytes.size())));
    EXPECT_FLOAT_EQ(font.GetAscent(), 0.0f);
    EXPECT_FLOAT_EQ(font.GetDescent(), 20.0f);
}

TEST(VectorFont, DamagedImagesStayInsideTheirBytes)
{
    LogCapture log;
    TVectorFont font;
    EXPECT_FALSE(font.Load(nullptr, 100));
    EXPECT_EQ(font.GetGlyphCount(), 0);
    EXPECT_EQ(log.Lines(), 0);

    std::vector<uint8_t> good = BuildFont(MetricGlyphs());
    std::vector<uint8_t> magic = good;
    magic[3] = '3';
    EXPECT_FALSE(font.Load(Copy(magic), static_cast<uint32_t>(magic.size())));
    EXPECT_EQ(font.FindGlyph('A'), -1);
    EXPECT_EQ(log.Lines(), 1);

    // The table runs past the end: an empty font.
    EXPECT_FALSE(font.Load(Copy(good), 12 + 18 * 6 - 1));
    EXPECT_EQ(font.GetGlyphCount(), 0);
    EXPECT_FLOAT_EQ(font.GetAscent(), 0.0f);
    EXPECT_NE(log.Text().find("TVectorFont::Load: 6 glyph records do not fit in 119 bytes"),
              std::string::npos);

    // An outline offset outside the image: that glyph has no outline, the others do.
    std::vector<uint8_t> offset = good;
    int g = 3; // 'g'
    for (int i = 0; i < 4; ++i)
        offset[12 + 18 * g + 14 + i] = 0xFF;
    ASSERT_TRUE(font.Load(Copy(offset), static_cast<uint32_t>(offset.size())));
    EXPECT_EQ(font.GetGlyphData(font.FindGlyph('g')), nullptr);
    EXPECT_EQ(font.GetGlyphDataSize(font.FindGlyph('g')), 0u);
    EXPECT_NE(font.GetGlyphData(font.FindGlyph('A')), nullptr);
    EXPECT_NE(log.Text().find("TVectorFont::Load: 1 glyph outlines lie outside the font"),
              std::string::npos);
    EXPECT_EQ(log.Lines(), 3);

    // The last outline cut short: its readable size ends at the image's end.
    std::vector<uint8_t> cut(good.begin(), good.end() - 5);
    ASSERT_TRUE(font.Load(Copy(cut), static_cast<uint32_t>(cut.size())));
    int last = font.FindGlyph(201);
    EXPECT_EQ(font.GetGlyphData(last) + font.GetGlyphDataSize(last),
              font.GetGlyphData(0) - (12 + 18 * 6) + cut.size());
}
