// Test support for the text layout: a square font with round metrics registered as a memory file,
// an optional "fonts/default.mvec" with glyphs the square font lacks, and a fixture that installs
// a font map of its own.
#pragma once

#include "vector_test_support.h"

#include "platform/files/file_layer.h"
#include "render/text/font_map.h"
#include "render/text/text_layout.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace texttest
{

using vectest::Glyph;
using vectest::Outline;

// A glyph filling its box (font units; y down).
inline Glyph Box(uint32_t code, float left, float right, float top, float bottom, float advance)
{
    Outline o;
    if (right > left && bottom > top)
        o.Group().Left(1).Rect(left, top, right, bottom);
    o.End();
    return Glyph{code, left, right, top, bottom, advance, o.Bytes()};
}

// Ascent 3 ('W') and descent 1 ('j'): ascent + descent = 4 font units, so at size 10 the glyph
// scale is 10 x 4 x 0.8 / 4 = 8 quarter pixels (2 pixels) per unit and a run's line height is
// (0.75 + 3) x 8 = 30 quarter pixels. Letters are one unit square (2 pixels at size 10); the
// blank advances one unit; 'g' advances half a unit over an extent of one; 'L' has a left
// bearing of half a unit; '^' is 7.5 units tall (fit factor 0.5); 0xAD (soft hyphen) is one unit.
inline std::vector<uint8_t> SquareFont()
{
    std::vector<Glyph> glyphs;
    glyphs.push_back(Box(' ', 0, 0, 0, 0, 1));
    for (uint32_t c = '0'; c <= '9'; ++c)
        glyphs.push_back(Box(c, 0, 1, -1, 0, 1));
    for (uint32_t c = 'A'; c <= 'Z'; ++c)
    {
        if (c == 'L')
            glyphs.push_back(Box(c, 0.5f, 1, -1, 0, 1));
        else if (c == 'W')
            glyphs.push_back(Box(c, 0, 1, -3, 0, 1));
        else
            glyphs.push_back(Box(c, 0, 1, -1, 0, 1));
    }
    // Twice as tall as the line allows: drawn at half its size.
    glyphs.push_back(Box('^', 0, 1, -7.5f, 0, 1));
    for (uint32_t c = 'a'; c <= 'z'; ++c)
    {
        if (c == 'g')
            glyphs.push_back(Box(c, 0, 1, -1, 0, 0.5f));
        else if (c == 'j')
            glyphs.push_back(Box(c, 0, 1, -1, 1, 1));
        else
            glyphs.push_back(Box(c, 0, 1, -1, 0, 1));
    }
    glyphs.push_back(Box(0xAD, 0, 1, -0.5f, -0.25f, 1));
    return vectest::BuildFont(glyphs);
}

// The same metrics, with '#' (two units wide) that the square font lacks.
inline std::vector<uint8_t> FallbackFont()
{
    return vectest::BuildFont(
        {Box('#', 0, 2, -1, 0, 2), Box('W', 0, 1, -3, 0, 1), Box('j', 0, 1, -1, 1, 1)});
}

// The golden pictures' paragraph: styles, colours, an outline, alignment tags, a tab and a link
// (hovered at kParagraphLinkPoint with spacing 2), 190 x 120 pixels in the built-in font at 14.
constexpr const char* kParagraph =
    "Plain <b>bold</b> <i>italic</i> <u>underlined</u><br>"
    "<font color='FFCC00'>colour</font> <outline color='0000FF'>outlined</outline>"
    "<center>centred line</center><right>right line</right>"
    "tab<tab pos='60'>stop <a id='go' color='00FF00'>a link</a>";
const TVec2 kParagraphLinkPoint(92, 66);

struct LayoutDeleter
{
    void operator()(TTextLayout* layout) const { TTextLayout::Delete(layout); }
};
using LayoutPtr = std::unique_ptr<TTextLayout, LayoutDeleter>;

class TextFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mSquare = SquareFont();
        RegisterMemoryFileName("fonts/square.mvec", mSquare.data(),
                               static_cast<uint32_t>(mSquare.size()));
        // Without it the fallback would be the built-in font, which has every sign.
        InstallFallback();
        SetFontMap(&mMap);
    }
    void TearDown() override
    {
        SetFontMap(nullptr);
        RegisterMemoryFileName("fonts/square.mvec", nullptr, 0);
        RegisterMemoryFileName("fonts/default.mvec", nullptr, 0);
    }
    void InstallFallback()
    {
        mFallback = FallbackFont();
        RegisterMemoryFileName("fonts/default.mvec", mFallback.data(),
                               static_cast<uint32_t>(mFallback.size()));
    }
    LayoutPtr Make(const char* text, int width = 100, int height = 100, uint32_t align = 0,
                   int size = 10, const TVec4& colour = TVec4(1, 1, 1, 1))
    {
        return LayoutPtr(
            TTextLayout::Create(text, width, height, "fonts/square.mvec", align, size, colour));
    }
    static const TTextLine& Line(const LayoutPtr& layout, size_t i)
    {
        return *layout->GetLines().at(i);
    }
    // The characters of a run as text (escapes kept).
    static std::string RunText(const LayoutPtr& layout, const TTextRun& run)
    {
        if (run.mFirst < 0)
            return std::string();
        std::string all = layout->GetLayoutText().c_str();
        size_t end = static_cast<size_t>(run.mLast) + 1;
        while (end < all.size() && (static_cast<uint8_t>(all[end]) & 0xC0) == 0x80)
            ++end;
        return all.substr(static_cast<size_t>(run.mFirst), end - static_cast<size_t>(run.mFirst));
    }
    // The text of each line, its runs joined by "|".
    static std::vector<std::string> Lines(const LayoutPtr& layout)
    {
        std::vector<std::string> lines;
        for (const auto& line : layout->GetLines())
        {
            std::string text;
            for (size_t r = 0; r < line->mRuns.size(); ++r)
                text += (r > 0 ? "|" : "") + RunText(layout, line->mRuns[r]);
            lines.push_back(text);
        }
        return lines;
    }

    TFontMap mMap;
    std::vector<uint8_t> mSquare;
    std::vector<uint8_t> mFallback;
};

} // namespace texttest
