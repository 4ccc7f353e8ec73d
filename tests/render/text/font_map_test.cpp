// TFontMap: the built-in font, a font's own file, the default font's file and the built-in font
// as fall-backs, the cache under the requested name, damaged files, and the installed map.
#include "render/text_test_support.h"

#include <gtest/gtest.h>

using namespace texttest;

class FontMap : public TextFixture
{
};

TEST_F(FontMap, SourcesInOrderCachedUnderTheRequestedName)
{
    TFontMap map;
    TVectorFont* builtin = map.GetFont("__DEFAULT");
    ASSERT_NE(builtin, nullptr);
    TVectorFont carried;
    ASSERT_TRUE(carried.LoadBuiltin());
    EXPECT_EQ(builtin->GetGlyphCount(), carried.GetGlyphCount());
    TVectorFont* square = map.GetFont("fonts/square.mvec");
    ASSERT_NE(square, nullptr);
    EXPECT_EQ(square->GetGlyphCount(), 65);
    // A missing file: "fonts/default.mvec" (three glyphs), kept under the missing name.
    TVectorFont* missing = map.GetFont("fonts/missing.mvec");
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing->GetGlyphCount(), 3);
    EXPECT_EQ(map.GetCount(), 3);
    // Cached: the file is not read again.
    RegisterMemoryFileName("fonts/square.mvec", nullptr, 0);
    EXPECT_EQ(map.GetFont("fonts/square.mvec"), square);
    // Without the default font's file, the built-in font (a copy of its own).
    RegisterMemoryFileName("fonts/default.mvec", nullptr, 0);
    TVectorFont* last = map.GetFont("other");
    ASSERT_NE(last, nullptr);
    EXPECT_NE(last, builtin);
    EXPECT_EQ(last->GetGlyphCount(), carried.GetGlyphCount());
    map.Clear();
    EXPECT_EQ(map.GetCount(), 0);
}

TEST_F(FontMap, DamagedFileFallsBackWithALogLine)
{
    vectest::LogCapture log;
    const char junk[] = "not a font at all";
    RegisterMemoryFileName("fonts/junk.mvec", junk, sizeof(junk));
    TFontMap map;
    TVectorFont* font = map.GetFont("fonts/junk.mvec");
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->GetGlyphCount(), 3);
    EXPECT_NE(log.Text().find("TFontMap: fonts/junk.mvec is not a vector font"), std::string::npos);
    RegisterMemoryFileName("fonts/junk.mvec", nullptr, 0);
}

// A font a screen names that cannot be read (a tree built without its fonts) is said in the log,
// once a run: not again from the cache, after a clear, nor from another map.
TEST_F(FontMap, AnUnreadableFontFileIsSaidOnce)
{
    vectest::LogCapture log;
    const std::string line = "TFontMap: cannot read the font file fonts/never_made.mvec: its text "
                             "takes a fall-back font";
    TFontMap map;
    ASSERT_NE(map.GetFont("fonts/never_made.mvec"), nullptr);
    EXPECT_NE(log.Text().find(line), std::string::npos) << log.Text();
    map.GetFont("fonts/never_made.mvec");
    map.Clear();
    map.GetFont("fonts/never_made.mvec");
    TFontMap other;
    other.GetFont("fonts/never_made.mvec");
    const std::string text = log.Text();
    EXPECT_EQ(text.find(line), text.rfind(line)) << text;
    // A font that is read says nothing.
    map.GetFont("fonts/square.mvec");
    EXPECT_EQ(log.Text().find("fonts/square.mvec"), std::string::npos) << log.Text();
}

TEST_F(FontMap, InstalledMapAnswersUntilLetGo)
{
    EXPECT_EQ(&GetFontMap(), &mMap);
    SetFontMap(nullptr);
    TFontMap& held = GetFontMap();
    EXPECT_NE(&held, &mMap);
    EXPECT_EQ(&GetFontMap(), &held);
}
