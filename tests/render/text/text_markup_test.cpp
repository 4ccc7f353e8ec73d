// The mark-up reader: UTF-8 sequences cut by the text's end, the tag's kept text (one pass over
// blanks and case, quotes, the 128-character cut), the name table's prefix order, attributes,
// numbers held to their limit and colours.
#include "render/text/text_markup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace markup;

namespace
{

std::vector<uint32_t> Codes(const std::string& text)
{
    std::vector<uint32_t> codes;
    for (int i = 0; i < static_cast<int>(text.size());)
        codes.push_back(ReadChar(text.data(), static_cast<int>(text.size()), i));
    return codes;
}

std::string Kept(const std::string& tag)
{
    TTag t;
    int end = 0;
    EXPECT_TRUE(t.Read(tag.data(), static_cast<int>(tag.size()), 0, end));
    EXPECT_EQ(end, static_cast<int>(tag.find('>')) + 1);
    return t.GetKept();
}

TTagName Name(const std::string& tag)
{
    TTag t;
    int end = 0;
    EXPECT_TRUE(t.Read(tag.data(), static_cast<int>(tag.size()), 0, end));
    return t.GetName();
}

} // namespace

TEST(TextMarkup, Utf8SequencesStopAtTheEnd)
{
    EXPECT_EQ(Codes("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"),
              (std::vector<uint32_t>{'a', 0xE9, 0x20AC, 0x1F600}));
    // A stray continuation byte and a sequence cut by the end are U+FFFD each; reading goes on at
    // the first byte that may open a sequence.
    constexpr uint32_t kBad = 0xFFFD;
    EXPECT_EQ(Codes("\x80z"), (std::vector<uint32_t>{kBad, 'z'}));
    EXPECT_EQ(Codes("a\xE2\x82"), (std::vector<uint32_t>{'a', kBad}));
    EXPECT_EQ(Codes("\xF0\x9F\x98"), (std::vector<uint32_t>{kBad}));
    EXPECT_EQ(Codes("\xC3"), (std::vector<uint32_t>{kBad}));
    EXPECT_EQ(Codes("\xE2\x82z"), (std::vector<uint32_t>{kBad, 'z'}));
}

TEST(TextMarkup, OverlongAndInvalidSequencesAreNeverDecoded)
{
    constexpr uint32_t kBad = 0xFFFD;
    // An overlong "/" is no "/"; nor is a surrogate or a value past U+10FFFF a character.
    EXPECT_EQ(Codes("a\xC0\xAF"
                    "b"),
              (std::vector<uint32_t>{'a', kBad, kBad, 'b'}));
    EXPECT_EQ(Codes("\xE0\x80\xAF"), (std::vector<uint32_t>{kBad, kBad, kBad}));
    EXPECT_EQ(Codes("\xED\xA0\x80"), (std::vector<uint32_t>{kBad, kBad, kBad}));
    EXPECT_EQ(Codes("\xF4\x90\x80\x80"), (std::vector<uint32_t>{kBad, kBad, kBad, kBad}));
    EXPECT_EQ(Codes("\xFE\xFF"), (std::vector<uint32_t>{kBad, kBad}));
}

TEST(TextMarkup, KeptTextInOnePass)
{
    // Lower case up to a "=", the value's case kept up to the next blank, which is dropped and
    // ends the stretch: "SIZE" after it is lower-cased again.
    EXPECT_EQ(Kept("<FONT Color=80FFaa00 SIZE='12'>"), "fontcolor=80FFaa00size='12'");
    // Blanks inside quotes stay and keep the stretch going; one outside ends it, even before
    // the value.
    EXPECT_EQ(Kept("<a id='Two Words' >"), "aid='Two Words'");
    EXPECT_EQ(Kept("<a id = 'Up'>"), "aid='up'");
    // At most 128 characters; the tag still ends at its ">".
    std::string longTag = "<font face='" + std::string(300, 'x') + "'>";
    EXPECT_EQ(Kept(longTag).size(), 128u);
    // No ">": not a tag.
    TTag t;
    int end = -1;
    EXPECT_FALSE(t.Read("<br", 3, 0, end));
    // A ">" inside quotes still ends the tag.
    EXPECT_EQ(Kept("<font face='a>b'>"), "fontface='a");
}

TEST(TextMarkup, NamesMatchAsPrefixesInTableOrder)
{
    EXPECT_EQ(Name("<br>"), TTagName::Break);
    EXPECT_EQ(Name("<bright>"), TTagName::Break);
    EXPECT_EQ(Name("<bold>"), TTagName::Bold);
    EXPECT_EQ(Name("<aside>"), TTagName::Link);
    EXPECT_EQ(Name("</p>"), TTagName::Paragraph);
    EXPECT_EQ(Name("</b>"), TTagName::BoldEnd);
    EXPECT_EQ(Name("<cursor>"), TTagName::Cursor);
    EXPECT_EQ(Name("<center>"), TTagName::Center);
    EXPECT_EQ(Name("</center>"), TTagName::CenterEnd);
    EXPECT_EQ(Name("<font>"), TTagName::Font);
    EXPECT_EQ(Name("</outline>"), TTagName::OutlineEnd);
    EXPECT_EQ(Name("<tab pos='1'>"), TTagName::Tab);
    EXPECT_EQ(Name("<xyz>"), TTagName::None);
    EXPECT_EQ(Name("<>"), TTagName::None);
}

TEST(TextMarkup, AttributesNumbersAndColours)
{
    TTag t;
    int end = 0;
    std::string tag = "<font size=\"14\" face='Serif'>";
    ASSERT_TRUE(t.Read(tag.data(), static_cast<int>(tag.size()), 0, end));
    TString value;
    ASSERT_TRUE(t.GetAttribute("face", value));
    EXPECT_STREQ(value.c_str(), "Serif");
    int number = 0;
    ASSERT_TRUE(t.GetNumber("size", number));
    EXPECT_EQ(number, 14);
    EXPECT_FALSE(t.GetAttribute("color", value));
    // A quote never closed gives no value.
    tag = "<font face='abc>";
    ASSERT_TRUE(t.Read(tag.data(), static_cast<int>(tag.size()), 0, end));
    EXPECT_FALSE(t.GetAttribute("face", value));

    EXPECT_EQ(ParseNumber("-42x"), -42);
    EXPECT_EQ(ParseNumber("99999999999999999999"), kNumberLimit);
    EXPECT_EQ(ParseNumber("-99999999999999999999"), -kNumberLimit);
    EXPECT_EQ(ParseNumber("abc"), 0);

    TVec4 eight = ParseColour("80FF0000", true);
    EXPECT_EQ(eight, TVec4(0x80 / 255.0f, 1, 0, 0));
    EXPECT_EQ(ParseColour("#80FF00", true), TVec4(0x80 / 255.0f, 1, 0, 1));
    // Links and outlines never read an alpha.
    EXPECT_EQ(ParseColour("80FF0000", false), TVec4(1, 0, 0, 1));
    EXPECT_EQ(ParseColour("", false), TVec4(0, 0, 0, 1));
}
