// The inventory tooltip over objects built from tables and a string table made here: its wait,
// show, self-hide and hide machine, line breaking, the layout of text and item pictures, the
// composition into its texture (colour from the first pass, alpha from the second) and a refusal
// that asks for the textures again, and the box drawn.
#include "framework/adventure/tooltips/gameplay_tool_tip.h"

#include "framework/adventure/entities/gameplay_item.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/core/window_manager.h"
#include "framework/adventure/adventure_test_support.h"
#include "framework/framework_display_support.h"
#include "framework/transforms/transform_manager.h"
#include "platform/shell/application.h"
#include "platform/strings/string_table.h"
#include "render/sprites/animated_texture.h"
#include "render/sprites/sprite.h"
#include "render/text/text_sprite.h"
#include "render/textures/texture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace
{

const char kTip[] = "{ x = 400, y = 470, w = 300, h = 40, borderwidth = 8, borderheight = 6, "
                    "distancebetweenitems = 4, timeintro = 100, timeoutro = 100, "
                    "timeinitialwait = 50, timevisible = 0, widthperline = 40, minimumwidth = 60, "
                    "backgroundcolor = { 0.2, 0.4, 0.6, 0.5 }, itemdropshadowcolor = { 0, 0, 0, "
                    "0.5 }, itemdropshadowoffsetx = 2, itemdropshadowoffsety = 2, "
                    "font = { '', 16, { 1, 1, 1, 1 } } }";

using Pictures = std::vector<std::shared_ptr<TAnimatedTexture>>;

class ToolTipTest : public fwtest::FrameworkDisplayTest
{
protected:
    void SetUp() override
    {
        FrameworkDisplayTest::SetUp();
        if (HasFatalFailure())
            return;
        adventuretest::LoadStrings({{"inv_key", "Iron Key"},
                                    {"inv_long", "The torn and faded map of the old fen roads"},
                                    {"inv_word", "Supercalifragilisticexpialidocious"}});
        // Item pictures: frame 0 grey, frame 1 (the found look) orange, 20 x 16.
        std::vector<uint32_t> pixels(40 * 16);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = (i % 40) < 20 ? 0xFF808080 : 0xFFE08020;
        std::vector<uint8_t> png = sys::display::EncodePng(pixels.data(), 40, 16);
        File("items/coin.png", std::string(png.begin(), png.end()));
        File("items/coin.xml",
             "<sequence><img w=\"40\" h=\"16\" name=\"coin.png\"/><framelist>"
             "<frame x=\"0\" y=\"0\" w=\"20\" h=\"16\" regx=\"10\" regy=\"8\"/>"
             "<frame x=\"20\" y=\"0\" w=\"20\" h=\"16\"/></framelist></sequence>");
        Image("tip/back.png", 10, 10, 0xFF20A020);
    }
    GameplayInventory* Object(const std::string& actualName, float x = 300, float y = 550)
    {
        std::unique_ptr<TLuaTable> object =
            Table("{ name = 'o" + std::to_string(mObjects.size()) + "', actualname = '" +
                  actualName + "', x = " + std::to_string(x) + ", y = " + std::to_string(y) + " }");
        std::unique_ptr<TLuaTable> shared = Table("{}");
        mObjects.push_back(std::make_unique<GameplayInventory>(*object, *shared));
        return mObjects.back().get();
    }
    std::unique_ptr<GameplayToolTip> Make(const std::string& table = kTip)
    {
        return std::make_unique<GameplayToolTip>(*Table(table));
    }
    static std::string With(const std::string& changes)
    {
        std::string tip = kTip;
        return tip.insert(tip.size() - 1, ", " + changes + " ");
    }
    Pictures Coins(size_t count) { return Pictures(count, TAnimatedTexture::Get("items/coin")); }
    // One frame of the runner: the clock, the tooltip's update, the transforms.
    void Hover(GameplayToolTip& tip, GameplayInventory* target, int frames = 1,
               const Pictures& pictures = {}, bool immediate = false)
    {
        for (int i = 0; i < frames; ++i)
            Step(10, [&] { tip.Update(target, 0x80336699u, immediate, pictures); });
    }
    void Away(GameplayToolTip& tip, int frames = 1)
    {
        for (int i = 0; i < frames; ++i)
            Step(10, [&] { tip.Hide(); });
    }
    static TRect TextBounds(const GameplayToolTip& tip)
    {
        TRect bounds;
        tip.GetText()->GetTextBounds(bounds, TDrawSpec());
        return bounds;
    }

    std::vector<std::unique_ptr<GameplayInventory>> mObjects;
};

TEST_F(ToolTipTest, WaitsShowsAndHidesThroughItsStates)
{
    auto tip = Make();
    GameplayInventory* key = Object("inv_key");
    EXPECT_EQ(tip->GetState(), GameplayToolTip::kHidden);
    Hover(*tip, key, 5);
    EXPECT_EQ(tip->GetState(), GameplayToolTip::kHidden) << "the initial wait";
    Hover(*tip, key);
    EXPECT_EQ(tip->GetState(), GameplayToolTip::kIntro);
    EXPECT_EQ(tip->GetTarget(), key);
    // The colour given overrides "backgroundcolor".
    EXPECT_EQ(tip->GetCorners()[3].mColour, 0x80336699u);
    Hover(*tip, key, 11);
    EXPECT_EQ(tip->GetState(), GameplayToolTip::kShown);
    // "timevisible" 0: up for as long as the object is.
    Hover(*tip, key, 100);
    EXPECT_EQ(tip->GetState(), GameplayToolTip::kShown);
    Away(*tip);
    EXPECT_EQ(tip->GetState(), GameplayToolTip::kOutro);
    Away(*tip, 11);
    EXPECT_EQ(tip->GetState(), GameplayToolTip::kHidden);

    // Immediate skips the wait.
    Hover(*tip, key, 1, {}, true);
    EXPECT_EQ(tip->GetState(), GameplayToolTip::kIntro);
    // A new target during the intro: the outro first, then a new wait.
    GameplayInventory* map = Object("inv_long", 500, 560);
    Hover(*tip, map);
    EXPECT_EQ(tip->GetState(), GameplayToolTip::kOutro);
    EXPECT_EQ(tip->GetElapsed(), 0u);
    Hover(*tip, map, 10);
    EXPECT_EQ(tip->GetState(), GameplayToolTip::kHidden);
    Hover(*tip, map, 4);
    EXPECT_EQ(tip->GetState(), GameplayToolTip::kHidden);
    Hover(*tip, map, 2);
    EXPECT_EQ(tip->GetState(), GameplayToolTip::kIntro);
    EXPECT_EQ(tip->GetTarget(), map);
    // Hide in states 2 and 3 only starts the count again.
    Away(*tip);
    Away(*tip, 3);
    EXPECT_EQ(tip->GetState(), GameplayToolTip::kOutro);
    EXPECT_EQ(tip->GetElapsed(), 0u);
}

TEST_F(ToolTipTest, HidesItselfOnceAndStaysAwayUntilTheMouseLeaves)
{
    auto tip = Make(With("timevisible = 100"));
    GameplayInventory* key = Object("inv_key");
    Hover(*tip, key, 1, {}, true);
    Hover(*tip, key, 11);
    EXPECT_EQ(tip->GetState(), GameplayToolTip::kShown);
    Hover(*tip, key, 8);
    EXPECT_EQ(tip->GetState(), GameplayToolTip::kShown);
    Hover(*tip, key, 2);
    EXPECT_EQ(tip->GetState(), GameplayToolTip::kOutro);
    EXPECT_TRUE(tip->IsDismissed());
    Hover(*tip, key, 30);
    EXPECT_EQ(tip->GetState(), GameplayToolTip::kHidden);
    Hover(*tip, key, 1, {}, true);
    EXPECT_EQ(tip->GetState(), GameplayToolTip::kHidden) << "dismissed over the same object";
    Away(*tip);
    EXPECT_FALSE(tip->IsDismissed());
    Hover(*tip, key, 1, {}, true);
    EXPECT_EQ(tip->GetState(), GameplayToolTip::kIntro);
}

TEST_F(ToolTipTest, FliesOutOfTheObjectAndBackIntoIt)
{
    auto tip = Make();
    GameplayInventory* key = Object("inv_key", 300, 550);
    TM_Transform2D& transform = tip->GetTransform();
    Hover(*tip, key, 1, {}, true);
    EXPECT_NEAR(transform.GetX(), 300.0f, 0.5f);
    EXPECT_NEAR(transform.GetY(), 550.0f, 0.5f);
    EXPECT_NEAR(transform.GetScaleX(), 0.001f, 0.01f);
    Hover(*tip, key, 5);
    EXPECT_NEAR(transform.GetAlpha(), 0.5f, 0.02f);
    Hover(*tip, key, 6);
    EXPECT_FLOAT_EQ(transform.GetX(), 400.0f);
    EXPECT_FLOAT_EQ(transform.GetY(), 470.0f);
    EXPECT_FLOAT_EQ(transform.GetScaleX(), 1.0f);
    EXPECT_FLOAT_EQ(transform.GetAlpha(), 1.0f);
    Away(*tip, 11);
    EXPECT_FLOAT_EQ(transform.GetX(), 300.0f);
    EXPECT_FLOAT_EQ(transform.GetAlpha(), 0.0f);
    // Hidden: nothing drawn.
    Draw2d([&] { tip->Draw(); });
    for (int x = 200; x < 600; x += 7)
        ASSERT_EQ(Back(x, 450), 0u) << x;
}

TEST_F(ToolTipTest, LayoutOfTextAndPictures)
{
    auto tip = Make();
    GameplayInventory* key = Object("inv_key");
    Hover(*tip, key, 1, Coins(2), true);
    ASSERT_EQ(tip->GetItems().size(), 2u);
    EXPECT_EQ(tip->GetItems()[0]->GetFrame(), 1);
    const TRect text = TextBounds(*tip);
    // items: 2 x 8 + 2 x (20 + 4) - 4 = 60; the text box is wider: the spare width is shared by
    // the three gaps.
    const float textBoxW = 16.0f + static_cast<float>(text.Width());
    const float textBoxH = 12.0f + static_cast<float>(text.Height());
    ASSERT_GT(textBoxW, 60.0f);
    const float w = textBoxW;
    const float h = 12.0f + 16.0f + textBoxH;
    const GameplayToolTip::Vertex* corners = tip->GetCorners();
    EXPECT_EQ(corners[1].mX, w);
    EXPECT_EQ(corners[2].mY, h);
    EXPECT_EQ(corners[3].mX, w);
    EXPECT_EQ(corners[3].mY, h);
    EXPECT_EQ(tip->GetSprite()->GetSpec().mOrigin.x, std::floor(w / 2));
    EXPECT_EQ(tip->GetSprite()->GetSpec().mOrigin.y, h);
    const float extra = std::trunc((textBoxW - 60.0f) / 3.0f);
    EXPECT_EQ(tip->GetItems()[0]->GetSpec().mMatrix.m[2][0], 8.0f + extra + 10.0f);
    EXPECT_EQ(tip->GetItems()[1]->GetSpec().mMatrix.m[2][0], 8.0f + 2 * extra + 24.0f + 10.0f);
    EXPECT_EQ(tip->GetItems()[0]->GetSpec().mMatrix.m[2][1], 14.0f);
    EXPECT_EQ(tip->GetText()->GetSpec().mMatrix.m[2][0], w / 2);
    EXPECT_EQ(tip->GetText()->GetSpec().mMatrix.m[2][1], 28.0f + textBoxH / 2);
    EXPECT_EQ(tip->GetEndScale(), 1.0f);
    ASSERT_NE(tip->GetSprite()->GetTexture(), nullptr);

    // The items themselves: their pictures' found look.
    GameplayItem coin(*Table("{ name = 'coin', inventory = 'o0', image = 'items/coin', "
                             "inventoryparts = { 1 } }"),
                      *Table("{}"));
    auto fromItems = Make();
    Step(10, [&] { fromItems->Update(key, 0x80336699u, true, std::vector<GameplayItem*>{&coin}); });
    ASSERT_EQ(fromItems->GetItems().size(), 1u);
    EXPECT_EQ(fromItems->GetItems()[0]->GetFrame(), 1);
    EXPECT_NE(fromItems->GetItems()[0]->GetAnimatedTexture(), nullptr);

    // No pictures: a row block of 2 x "borderheight".
    auto plain = Make();
    Hover(*plain, key, 1, {}, true);
    EXPECT_EQ(plain->GetCorners()[3].mY, 12.0f + 12.0f + static_cast<float>(text.Height()));
    EXPECT_EQ(plain->GetText()->GetSpec().mMatrix.m[2][1],
              12.0f + (12.0f + static_cast<float>(text.Height())) / 2);

    // A box wider than the screen ends scaled to fit it.
    auto wide = Make(With("borderwidth = 500"));
    Hover(*wide, key, 1, {}, true);
    const float wideW = wide->GetCorners()[3].mX;
    ASSERT_GT(wideW, 800.0f);
    EXPECT_FLOAT_EQ(wide->GetEndScale(), 800.0f / wideW);
}

TEST_F(ToolTipTest, LineBreaking)
{
    auto tip = Make(With("minimumwidth = 0, widthperline = 0"));
    GameplayInventory* word = Object("inv_word");
    // No space: never broken; with no width per line the loop still ends.
    Hover(*tip, word, 1, {}, true);
    EXPECT_STREQ(tip->GetText()->GetText().c_str(), "Supercalifragilisticexpialidocious");
    EXPECT_EQ(tip->InsertLineBreak("", 1), TString(""));

    // Every space is tried; the narrowest wins, the earlier on a tie.
    EXPECT_STREQ(tip->InsertLineBreak("aaaa bb cc", 1).c_str(), "aaaa<br>bb cc");
    EXPECT_STREQ(tip->InsertLineBreak("ab ba ab", 1).c_str(), "ab<br>ba ab");
    EXPECT_STREQ(tip->InsertLineBreak("aa bb cccc", 1).c_str(), "aa bb<br>cccc");
    // The text sprite holds the last candidate tried.
    EXPECT_STREQ(tip->GetText()->GetText().c_str(), "aa bb<br>cccc");
    const std::string two = tip->InsertLineBreak("one two three four", 2).c_str();
    EXPECT_EQ(two, "one two<br>three<br>four");

    auto narrow = Make(With("minimumwidth = 60, widthperline = 40"));
    GameplayInventory* map = Object("inv_long");
    Hover(*narrow, map, 1, {}, true);
    const std::string broken = narrow->GetText()->GetText().c_str();
    EXPECT_NE(broken.find("<br>"), std::string::npos);
    const int lines = narrow->GetText()->GetLineCount();
    EXPECT_GT(lines, 1);
    EXPECT_LE(static_cast<float>(TextBounds(*narrow).Width()), 40.0f * lines + 60.0f);
}

TEST_F(ToolTipTest, ComposedInTwoPassesAndMadeAgainAfterARefusal)
{
    WindowManager frames;
    auto tip = Make();
    GameplayInventory* key = Object("inv_key");
    Hover(*tip, key, 1, Coins(2), true);
    std::shared_ptr<TTexture> texture = tip->GetSprite()->GetTexture();
    ASSERT_NE(texture, nullptr);
    EXPECT_FALSE(frames.AreTexturesPending());
    // The quad's colour from the first pass, its alpha (0.5) from the second.
    uint32_t* texels = nullptr;
    int pitch = 0;
    ASSERT_TRUE(texture->Lock(texels, pitch));
    const uint32_t corner = texels[static_cast<size_t>(pitch) * 1 + 1];
    const uint32_t item =
        texels[static_cast<size_t>(pitch) * 14 + 8 + 10 +
               static_cast<size_t>(
                   std::trunc((16.0f + static_cast<float>(TextBounds(*tip).Width()) - 60) / 3.0f))];
    texture->Unlock();
    EXPECT_NEAR(static_cast<int>(corner >> 24), 0x80, 2);
    EXPECT_EQ(item, 0xFFE08020u) << "the found look, opaque";

    // Inside a frame the render target is refused: reported, and asked for again.
    auto refused = Make();
    BeginBlackFrame();
    Hover(*refused, key, 1, {}, true);
    EndFrame();
    EXPECT_EQ(rendertest::CountOf(Log(), "ERROR:BeginRenderTarget   FILE:gameplaytooltip"), 1);
    EXPECT_TRUE(frames.AreTexturesPending());
    EXPECT_TRUE(refused->CreateTextures());
    EXPECT_NE(refused->GetSprite()->GetTexture(), nullptr);
    // Hidden: nothing to make.
    Make()->CreateTextures();
}

TEST_F(ToolTipTest, DrawnBoxes)
{
    auto tip = Make(With("fontdropshadow = { '', 16, { 0, 0, 0, 1 } }, dropshadowthickness = 2"));
    GameplayInventory* key = Object("inv_key");
    Hover(*tip, key, 1, Coins(2), true);
    ASSERT_NE(tip->GetShadow(), nullptr);
    EXPECT_STREQ(tip->GetShadow()->GetText().c_str(), tip->GetText()->GetText().c_str());
    Hover(*tip, key, 11, Coins(2));
    Draw2d([&] { tip->Draw(); });
    rendertest::CompareWithGolden(*Data().mBackBuffer, {320, 380, 480, 480}, "tooltip_items.png");

    // Half-way through its intro, and with a stretched background picture.
    auto pictured = Make(With("backgroundimage = 'tip/back.png', backgroundalpha = 1, h = 100"));
    GameplayInventory* map = Object("inv_long");
    Hover(*pictured, map, 1, {}, true);
    Hover(*pictured, map, 5);
    Draw2d([&] { pictured->Draw(); });
    rendertest::CompareWithGolden(*Data().mBackBuffer, {200, 380, 600, 600},
                                  "tooltip_intro_half.png");
}

TEST_F(ToolTipTest, NoFontTableIsFatalAndBuildsNothingMore)
{
    auto tip = Make("{ x = 1, w = 'wide', borderwidth = -3 }");
    EXPECT_EQ(rendertest::CountOf(Log(), "ERROR:fontTable   FILE:gameplaytooltip"), 1);
    EXPECT_EQ(tip->GetText(), nullptr);
    GameplayInventory* key = Object("inv_key");
    Hover(*tip, key, 3, {}, true);
    EXPECT_EQ(tip->GetState(), GameplayToolTip::kHidden);
}

} // namespace
