// TTextLayout's layout pass and getters with a square test font (a letter is 2 pixels wide at
// size 10): breaks and pads, wrapping, soft hyphens, the stacks' limits, colours, the fallback
// font, links, alignment, tabs, bounds, counting from the end, hit bands, setters, rotation and
// damaged mark-up. The "legacylinewrap" test is last: the setting is never cleared.
#include "render/text_test_support.h"

#include "platform/config/config.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace texttest;
using Strings = std::vector<std::string>;

class TextLayout : public TextFixture
{
};

TEST_F(TextLayout, BreaksPadsAndLineFeeds)
{
    auto plain = Make("ab<br>cd");
    EXPECT_EQ(Lines(plain), (Strings{"ab", "cd"}));
    EXPECT_EQ(Line(plain, 0).mHeight, 10);
    auto padded = Make("ab<br pad='10'>cd</p>ef\ngh");
    EXPECT_EQ(Lines(padded), (Strings{"ab", "cd", "ef", "gh"}));
    EXPECT_EQ(Line(padded, 0).mHeight, 20);
    EXPECT_EQ(Line(padded, 1).mHeight, 10);
    // The run's line height is the baseline's depth: (0.75 + 3) x 8 quarter pixels.
    EXPECT_EQ(Line(padded, 0).mRuns[0].mLineHeight, 30);
    EXPECT_EQ(Line(padded, 0).mGlyphHeight, 30);
    EXPECT_FLOAT_EQ(Line(padded, 0).mRuns[0].mGlyphScale, 8.0f);
    // A line without characters is 0 high plus its pad; the text's end adds no empty line.
    auto empty = Make("<br pad='4'><br>");
    EXPECT_EQ(empty->GetLineCount(), 2);
    EXPECT_EQ(Line(empty, 0).mHeight, 4);
    EXPECT_EQ(Make("")->GetLineCount(), 0);
}

TEST_F(TextLayout, WrapsAtBlanksAndBreaksLongWords)
{
    // Width 10 pixels: five letters fit exactly; the pen must pass the width to break.
    EXPECT_EQ(Lines(Make("ab cd ef", 10)), (Strings{"ab cd", "ef"}));
    auto word = Make("abcdefg", 10);
    EXPECT_EQ(Lines(word), (Strings{"abcde", "fg"}));
    EXPECT_EQ(Line(word, 0).mRuns[0].mEndX, 10);
    EXPECT_EQ(Line(word, 1).mRuns[0].mStartX, 0);
    // The first character of a line stays on it even when it alone is too wide.
    EXPECT_EQ(Lines(Make("ab", 1)), (Strings{"a", "b"}));
    // Runs after the break are dropped and their tags read again with the style of the break:
    // the pushed size is popped once, so "y" has the outer size.
    auto styled = Make("abcd <font size='20'>x</font>y", 12);
    EXPECT_EQ(Lines(styled), (Strings{"abcd", "x|y"}));
    EXPECT_EQ(Line(styled, 1).mRuns[0].mSize, 20);
    EXPECT_EQ(Line(styled, 1).mRuns[1].mSize, 10);
    EXPECT_EQ(Line(styled, 1).mHeight, 20);
}

TEST_F(TextLayout, SoftHyphens)
{
    // "abc" + hyphen + "def" in 8 pixels: breaks at the hyphen, which ends the line.
    auto broken = Make("abc\xC2\xAD"
                       "def",
                       8);
    EXPECT_EQ(Lines(broken), (Strings{"abc\xC2\xAD", "def"}));
    EXPECT_TRUE(Line(broken, 0).mEndsAtHyphen);
    EXPECT_EQ(Line(broken, 0).mRuns[0].mEndX, 8);
    // Without a break the hyphen takes no room.
    auto whole = Make("abc\xC2\xAD"
                      "def");
    EXPECT_EQ(whole->GetLineCount(), 1);
    EXPECT_FALSE(Line(whole, 0).mEndsAtHyphen);
    EXPECT_EQ(Line(whole, 0).mRuns[0].mEndX, 12);
    // A later blank forgets the hyphen.
    EXPECT_EQ(Lines(Make("a\xC2\xAD"
                         "b cdef",
                         8)),
              (Strings{"a\xC2\xAD"
                       "b",
                       "cdef"}));
}

TEST_F(TextLayout, StacksIgnoreTagsBeyondTheirEntries)
{
    std::string text;
    for (int k = 1; k <= 33; ++k)
        text += "<font size='" + std::to_string(k) + "'>";
    // Three closing tags: two for the ignored tags, one pop to the 30th entry.
    text += "a</font></font></font>b";
    auto fonts = Make(text.c_str());
    ASSERT_EQ(Line(fonts, 0).mRuns.size(), 2u);
    EXPECT_EQ(Line(fonts, 0).mRuns[0].mSize, 31);
    EXPECT_EQ(Line(fonts, 0).mRuns[0].mFontIndex, 31);
    EXPECT_EQ(Line(fonts, 0).mRuns[1].mSize, 30);

    // Alignment tags: 40 pushes (31 taken), 9 pops of ignored ones, then one real pop.
    std::string aligned;
    for (int k = 0; k < 40; ++k)
        aligned += "<right>";
    aligned += "a";
    for (int k = 0; k < 10; ++k)
        aligned += "</right>";
    aligned += "b";
    auto right = Make(aligned.c_str());
    EXPECT_EQ(Line(right, 40).mAnchorX, 99);
    EXPECT_EQ(Line(right, right->GetLineCount() - 1).mAnchorX, 99);
    // Closing tags beyond the bottom pop nothing.
    auto under = Make("</center></font>a");
    EXPECT_EQ(Line(under, under->GetLineCount() - 1).mRuns[0].mSize, 10);
}

TEST_F(TextLayout, FontTagsColoursAndSizeOnly)
{
    auto colours = Make("<font color='80FF0000'>a</font><font color='#80FF00'>b");
    EXPECT_EQ(Line(colours, 0).mRuns[0].mColour, TVec4(0x80 / 255.0f, 1, 0, 0));
    EXPECT_EQ(Line(colours, 0).mRuns[1].mColour, TVec4(0x80 / 255.0f, 1, 0, 1));
    // Only "size": face and colour of the entry below; after "/font" the earlier size.
    auto sized = Make("<font size='20'>a</font>b", 100, 100, 0, 10, TVec4(1, 0, 0, 1));
    const auto& runs = Line(sized, 0).mRuns;
    EXPECT_EQ(runs[0].mSize, 20);
    EXPECT_EQ(runs[0].mFont, runs[1].mFont);
    EXPECT_EQ(runs[0].mColour, TVec4(1, 0, 0, 1));
    EXPECT_EQ(runs[1].mSize, 10);
    // One pass over the tag: the blank after the colour ends its kept case, so "SIZE" is found.
    auto upper = Make("<FONT Color='80FF0000' SIZE='12'>a");
    EXPECT_EQ(Line(upper, 0).mRuns[0].mSize, 12);
    EXPECT_EQ(Line(upper, 0).mRuns[0].mColour, TVec4(0x80 / 255.0f, 1, 0, 0));
}

TEST_F(TextLayout, FallbackFontRuns)
{
    auto layout = Make("a#b");
    const auto& runs = Line(layout, 0).mRuns;
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(RunText(layout, runs[1]), "#");
    EXPECT_EQ(runs[1].mFont, mMap.GetFont("fonts/default.mvec"));
    EXPECT_EQ(runs[1].mStyleFont, runs[0].mFont);
    EXPECT_EQ(runs[0].mStyleFont, nullptr);
    EXPECT_EQ(runs[2].mFont, runs[0].mFont);
    EXPECT_EQ(runs[1].mStartX, 2);
    EXPECT_EQ(runs[1].mEndX, 6);
    EXPECT_EQ(runs[2].mEndX, 8);
    // A face that cannot be found falls back to the default file, kept under its own name.
    auto missing = Make("<font face='nothere'>#");
    TVectorFont* font = Line(missing, 0).mRuns[0].mFont;
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font, mMap.GetFont("nothere"));
    EXPECT_GE(font->FindGlyph('#'), 0);
}

TEST_F(TextLayout, PenCorrectionItalicAndFirstGlyphShift)
{
    // 'g' advances half its extent: the pen moves by the extent and gives half back to the next
    // glyph; the last glyph counts its full extent.
    EXPECT_EQ(Line(Make("gA"), 0).mRuns[0].mEndX, 3);
    EXPECT_EQ(Line(Make("gg"), 0).mRuns[0].mEndX, 3);
    // Italic on: glyph scale / 3 x descent; off: / 3 x ascent.
    auto italic = Make("a<i>b</i>c");
    const auto& runs = Line(italic, 0).mRuns;
    EXPECT_FLOAT_EQ(runs[1].mStartPen, 8 + 8.0f / 3);
    EXPECT_FLOAT_EQ(runs[2].mStartPen, 16 + 8.0f / 3 + 8);
    EXPECT_EQ(runs[2].mStartX, 6);
    EXPECT_EQ(runs[2].mEndX, 8);
    // The first glyph is moved by 4 quarter pixels less its left bearing.
    EXPECT_FLOAT_EQ(Line(Make("ax"), 0).mOffsetX, 1.0f);
    EXPECT_FLOAT_EQ(Line(Make("Lx"), 0).mOffsetX, 0.0f);
}

TEST_F(TextLayout, LinksAndHover)
{
    auto layout = Make("<a id='Go' color='00FF00'>ab</a> cd");
    const auto& runs = Line(layout, 0).mRuns;
    EXPECT_STREQ(runs[0].mLink.c_str(), "Go");
    EXPECT_EQ(runs[0].mLinkColour, TVec4(0, 1, 0, 1));
    EXPECT_STREQ(runs[1].mLink.c_str(), "");
    // The line is shifted by 1 pixel: "ab" covers x 1 to 5.
    EXPECT_STREQ(layout->GetLinkAt(TVec2(1, 5), 0).c_str(), "Go");
    EXPECT_STREQ(layout->GetLinkAt(TVec2(5, 5), 0).c_str(), "");
    EXPECT_STREQ(layout->GetLinkAt(TVec2(2, 10), 0).c_str(), "");
    TVec2 over(2, 5);
    EXPECT_TRUE(layout->UpdateHoverLink(&over, 0));
    EXPECT_FALSE(layout->UpdateHoverLink(&over, 0));
    EXPECT_STREQ(layout->GetHoverLink().c_str(), "Go");
    EXPECT_TRUE(layout->UpdateHoverLink(nullptr, 0));
    EXPECT_STREQ(layout->GetHoverLink().c_str(), "");
    EXPECT_STREQ(Make("plain text")->GetLinkAt(TVec2(2, 5), 0).c_str(), "");

    // Bands with spacing 4: line 0 from -4 to 10, line 1 from 10 to 24.
    auto two = Make("<a id='x'>ab</a><br><a id='y'>ab</a>");
    EXPECT_STREQ(two->GetLinkAt(TVec2(2, -4), 4).c_str(), "x");
    EXPECT_STREQ(two->GetLinkAt(TVec2(2, 9.9f), 4).c_str(), "x");
    EXPECT_STREQ(two->GetLinkAt(TVec2(2, 10), 4).c_str(), "y");
    EXPECT_STREQ(two->GetLinkAt(TVec2(2, 23.9f), 4).c_str(), "y");
    EXPECT_STREQ(two->GetLinkAt(TVec2(2, 24), 4).c_str(), "");
    EXPECT_STREQ(two->GetLinkAt(TVec2(2, -4.1f), 4).c_str(), "");
}

TEST_F(TextLayout, LayoutTextAndEscapes)
{
    const char* text = "a\\<b>c<br>\\\\d";
    auto layout = Make(text);
    EXPECT_STREQ(layout->GetLayoutText().c_str(), text);
    // The escaped "<" opens no tag: one run "a\<b>c"; the escaped backslash is a character.
    EXPECT_EQ(Lines(layout), (Strings{"a\\<b>c", "\\\\d"}));
    EXPECT_EQ(Line(layout, 0).mRuns[0].mBold, 0);
    // A "<" without ">" is text.
    EXPECT_EQ(Lines(Make("a<b")), (Strings{"a<b"}));
}

TEST_F(TextLayout, AlignmentAnchorsAndOffsets)
{
    // "ab" is 4 pixels; every line is shifted 1 pixel by its first glyph.
    auto left = Make("ab");
    EXPECT_EQ(Line(left, 0).mAnchorX, 0);
    EXPECT_FLOAT_EQ(Line(left, 0).mOffsetX, 1);
    auto centre = Make("ab", 100, 100, kTextAlignCenter);
    EXPECT_EQ(Line(centre, 0).mAnchorX, 50);
    EXPECT_FLOAT_EQ(Line(centre, 0).mOffsetX, -1);
    auto right = Make("ab", 100, 100, kTextAlignRight);
    EXPECT_EQ(Line(right, 0).mAnchorX, 99);
    EXPECT_FLOAT_EQ(Line(right, 0).mOffsetX, -3);
    // Outlines move the anchors inwards.
    EXPECT_EQ(Line(Make("<outline size='3'>ab"), 0).mAnchorX, 3);
    EXPECT_EQ(Line(Make("<outline size='3'>ab", 100, 100, kTextAlignRight), 0).mAnchorX, 96);
    // Vertical: two lines of 10 in a box 100 high.
    auto middle = Make("a<br>b", 100, 100, kTextAlignMiddle);
    EXPECT_EQ(middle->GetTop(), 50);
    EXPECT_FLOAT_EQ(middle->GetVerticalOffset(), -10);
    auto bottom = Make("a<br>b", 100, 100, kTextAlignBottom);
    EXPECT_EQ(bottom->GetTop(), 100);
    EXPECT_FLOAT_EQ(bottom->GetVerticalOffset(), -20);
    EXPECT_EQ(left->GetTop(), 0);
    // A tag's alignment applies from the line after the one it ends.
    auto tags = Make("a<center>b</center>c");
    EXPECT_EQ(Lines(tags), (Strings{"a", "b", "c"}));
    EXPECT_EQ(Line(tags, 0).mAnchorX, 0);
    EXPECT_EQ(Line(tags, 1).mAnchorX, 50);
    EXPECT_EQ(Line(tags, 2).mAnchorX, 0);
    auto over = Make("a<left>b", 100, 100, kTextAlignRight);
    EXPECT_EQ(Line(over, 0).mAnchorX, 99);
    EXPECT_EQ(Line(over, 1).mAnchorX, 0);
}

TEST_F(TextLayout, TabsBoundsAndLinesFromEnd)
{
    auto tab = Make("a<tab pos='20'>b");
    const auto& runs = Line(tab, 0).mRuns;
    EXPECT_EQ(runs[1].mTab, 20);
    EXPECT_EQ(runs[1].mStartX, 20);
    EXPECT_EQ(runs[1].mEndX, 22);

    // Centred lines of 4 and 8 pixels: offsets -1 and -3.
    auto centred = Make("ab<br>abcd", 100, 100, kTextAlignCenter);
    TRect bounds;
    centred->GetBounds(bounds, 1);
    EXPECT_EQ(bounds, TRect(47, 0, 55, 20));
    centred->GetBounds(bounds, 2);
    EXPECT_EQ(bounds, TRect(44, 0, 52, 20));
    Make("")->GetBounds(bounds, 1);
    EXPECT_EQ(bounds, TRect(0, 0, 0, 0));

    auto five = Make("a<br>b<br>c<br>d<br>e", 100, 35);
    EXPECT_EQ(five->CountLinesFromEnd(1, 0), 2);
    EXPECT_EQ(five->CountLinesFromEnd(1, 2), 3);
    EXPECT_EQ(five->CountLinesFromEnd(0.5f, 0), 0);
    EXPECT_EQ(Make("")->CountLinesFromEnd(1, 0), 0);
}

TEST_F(TextLayout, SettersLayOutOnlyOnChange)
{
    auto layout = Make("ab");
    EXPECT_EQ(layout->GetLayoutCount(), 1);
    layout->SetText("ab");
    layout->SetFontName("fonts/square.mvec");
    layout->SetFontSize(10);
    layout->SetColor(TVec4(1, 1, 1, 1));
    layout->SetAlignment(0);
    EXPECT_EQ(layout->GetLayoutCount(), 1);
    layout->SetFontSize(20);
    EXPECT_EQ(layout->GetLayoutCount(), 2);
    EXPECT_EQ(Line(layout, 0).mHeight, 20);
    layout->SetColor(TVec4(1, 1, 1, 0.5f));
    layout->SetText("abc");
    layout->SetAlignment(kTextAlignCenter);
    EXPECT_EQ(layout->GetLayoutCount(), 5);
    // An empty name is the built-in font.
    layout->SetFontName("");
    layout->SetFontName("__DEFAULT");
    EXPECT_EQ(layout->GetLayoutCount(), 6);
    // Rotation always lays out again; a whole turn is stored as exactly (1, 0).
    layout->SetRotation(360, 0, 0);
    EXPECT_EQ(layout->GetLayoutCount(), 7);
    EXPECT_EQ(layout->GetCosine(), 1.0f);
    EXPECT_EQ(layout->GetSine(), 0.0f);
    layout->SetRotation(90, 5, 5);
    EXPECT_NEAR(layout->GetCosine(), 0, 1e-6);
    EXPECT_NEAR(layout->GetSine(), 1, 1e-6);
}

TEST_F(TextLayout, DamagedMarkupIsSafe)
{
    const std::string longTag = "<font face='" + std::string(500, 'q') + "'>x";
    const char* texts[] = {
        "<",
        "<<<>",
        "<font",
        "<font face='x>ab",
        "a\xE2\x82",
        "\x80\x80\xBF",
        "\xF0",
        "\\",
        "<br pad='99999999999'>a",
        "<font size='99999999'>ab",
        "<tab pos='-99999999'>ab",
        "<outline size='-5'>a",
        "</a></b></i></u></outline>a",
        longTag.c_str(),
        "<font size='-3'>a",
        "<a id=''>x</a>",
        "\xC2\xAD\xC2\xAD\xC2\xAD",
    };
    for (const char* text : texts)
        for (int width : {0, 1, 7, 100})
        {
            auto layout = Make(text, width);
            TRect bounds;
            layout->GetBounds(bounds, 1.5f);
            TVec2 p(1, 1);
            layout->UpdateHoverLink(&p, 2);
            layout->CountLinesFromEnd(1, 1);
        }
    // Held values: the pad and the size stop at their limit, the position's sign stays.
    EXPECT_EQ(Line(Make("<br pad='99999999999'>a"), 0).mHeight, 100000);
    EXPECT_EQ(Line(Make("<tab pos='-99999999'>ab"), 0).mRuns[0].mStartX, -100000);
    EXPECT_EQ(Line(Make("<font size='-3'>a"), 0).mRuns[0].mSize, 0);
    // A tag cut at 128 characters still ends at its ">".
    EXPECT_EQ(Lines(Make(longTag.c_str())), (Strings{"x"}));
}

TEST_F(TextLayout, LegacyLineWrapKeepsTheOverflowingCharacter)
{
    SetConfig("legacylinewrap", "1");
    ASSERT_TRUE(IsLegacyLineWrap());
    EXPECT_EQ(Lines(Make("abcdefg", 10)), (Strings{"abcdef", "g"}));
    // Blanks still break first.
    EXPECT_EQ(Lines(Make("ab cd ef", 10)), (Strings{"ab cd", "ef"}));
}
