// Text objects: fitting with and without line breaks and the size floor, the drop shadow, the
// description's keys and the caption makers, drawing directly and from a texture, and the render
// failures reported under "textobject".
#include "framework/framework_display_support.h"

#include "framework/widgets/text_object.h"
#include "framework/core/window_manager.h"
#include "render/text/text_sprite.h"
#include "render/textures/texture.h"

namespace
{
class TextObjectTest : public fwtest::FrameworkDisplayTest
{
protected:
    std::shared_ptr<TextObject> Make(const std::string& lua)
    {
        return TextObject::Create(*Table(lua));
    }
    static std::string Words(int n)
    {
        std::string text;
        for (int i = 0; i < n; ++i)
            text += "word ";
        return text;
    }
    // The box around every pixel that is not black, in the region.
    TRect Lit(const TRect& region)
    {
        TRect box(100000, 100000, -100000, -100000);
        for (int y = region.top; y < region.bottom; ++y)
            for (int x = region.left; x < region.right; ++x)
                if (Back(x, y) != 0)
                    box = TRect(std::min(box.left, x), std::min(box.top, y),
                                std::max(box.right, x + 1), std::max(box.bottom, y + 1));
        return box;
    }
    // The object drawn in a 2-D block of a black frame.
    void DrawFrame(TextObject& text)
    {
        ASSERT_TRUE(Draw2d([&] { text.Draw(TDrawSpec()); }));
    }
};

TEST_F(TextObjectTest, FittingShrinksToTheFloorInBothBranches)
{
    auto text = Make("{ w = 200, h = 24, flags = 2, font = { '', 20, { 1, 1, 1, 1 } }, "
                     "text = 'Hello' }");
    EXPECT_EQ(text->GetCurrentFontSize(), 20);
    text->SetText(Words(30).c_str());
    EXPECT_LT(text->GetCurrentFontSize(), 20);
    EXPECT_GT(text->GetCurrentFontSize(), TextObject::kMinFontSize);
    text->SetText(Words(2000).c_str());
    EXPECT_EQ(text->GetCurrentFontSize(), 4);
    // A fitting text is back at the requested size; the sprite keeps the object's alignment.
    text->SetText("Hello");
    EXPECT_EQ(text->GetCurrentFontSize(), 20);
    EXPECT_EQ(text->GetTextSprite()->GetAlignment(), 2u);

    auto line = Make("{ w = 120, h = 100, allowlinebreaks = false, "
                     "font = { '', 20, { 1, 1, 1, 1 } }, text = 'one two three four' }");
    EXPECT_LT(line->GetCurrentFontSize(), 20);
    EXPECT_GT(line->GetCurrentFontSize(), TextObject::kMinFontSize);
    EXPECT_EQ(line->GetTextSprite()->GetLineCount(), 1);
    // An explicit break stays on two lines at every size: the shrinking stops at 4.
    line->SetText("one<br>two");
    EXPECT_EQ(line->GetCurrentFontSize(), 4);
    EXPECT_EQ(line->GetTextSprite()->GetLineCount(), 2);
}

TEST_F(TextObjectTest, ShadowOnlyWithAnOffsetAndTheDescriptionsPlace)
{
    auto plain = Make("{ w = 100, h = 20, font = { '', 12 }, text = 'a' }");
    EXPECT_EQ(plain->GetShadowSprite(), nullptr);
    EXPECT_TRUE(plain->GetTextSprite()->GetChildren().empty());
    EXPECT_EQ(plain->GetTransform()->GetAlpha(), 1.0f);
    EXPECT_EQ(plain->GetTextSprite()->GetColor(), TVec4(0, 0, 0, 0));

    auto shadowed = Make("{ w = 100, h = 20, dropshadowoffset = 3.7, x = 10, y = 20, "
                         "alpha = 0.5, font = { 'fonts/none', 12, { 1, 1, 1, 1 } }, text = 'a' }");
    const auto& shadow = shadowed->GetShadowSprite();
    ASSERT_NE(shadow, nullptr);
    EXPECT_EQ(shadow->GetParent(), shadowed->GetTextSprite().get());
    EXPECT_EQ(shadow->GetLayer(), -1);
    EXPECT_EQ(shadow->GetSpec().mMatrix.m[2][0], 3.0f);
    EXPECT_EQ(shadow->GetSpec().mMatrix.m[2][1], 3.0f);
    EXPECT_EQ(shadow->GetColor(), TVec4(0, 0, 0, 0.5f));
    EXPECT_STREQ(shadow->GetText().c_str(), "a");
    EXPECT_EQ(shadowed->GetTransform()->GetX(), 10.0f);
    EXPECT_EQ(shadowed->GetTransform()->GetY(), 20.0f);
    EXPECT_EQ(shadowed->GetTransform()->GetAlpha(), 0.5f);
    shadowed->SetAlpha(0.25f);
    EXPECT_EQ(shadowed->GetTransform()->GetAlpha(), 0.25f);
    EXPECT_STREQ(shadowed->GetText().c_str(), "a");
    TextObject empty;
    empty.SetAlpha(0.5f); // no transform: nothing happens

    // The caption makers: the font table by position, the box and the line-break choice.
    auto caption =
        TextObject::CreateFromTable(*Table("{ '', 14, { 1, 0, 0, 1 } }"), "OK", 80, 30, false, 5);
    EXPECT_STREQ(caption->GetText().c_str(), "OK");
    EXPECT_EQ(caption->GetTextSprite()->GetColor(), TVec4(1, 0, 0, 1));
    EXPECT_EQ(caption->GetCurrentFontSize(), 14);
    EXPECT_EQ(caption->GetBox(), TRect(0, 0, 80, 30));
    EXPECT_EQ(caption->GetAlignment(), 5u);
    EXPECT_EQ(caption->GetShadowSprite(), nullptr);
}

TEST_F(TextObjectTest, DrawsFromItsTextureOnlyAfterASuccessfulRender)
{
    WindowManager frames;
    const std::string lua = "{ w = 120, h = 40, x = 300, y = 200, flags = 5, "
                            "font = { '', 16, { 1, 1, 1, 1 } }, text = 'Texture' }";
    auto direct = Make(lua);
    DrawFrame(*direct);
    const TRect drawn = Lit(TRect(200, 150, 400, 250));
    EXPECT_GT(drawn.Width(), 10);
    EXPECT_GE(drawn.left, 240);
    EXPECT_LE(drawn.right, 360);

    // Made inside a frame: the render target is refused, reported, and asked for again.
    BeginBlackFrame();
    auto textured = Make(lua.substr(0, lua.size() - 1) + ", drawtotexture = true }");
    EndFrame();
    EXPECT_NE(Log().find("ERROR:BeginRenderTarget failed.   FILE:textobject LINE:"),
              std::string::npos);
    EXPECT_TRUE(frames.AreTexturesPending());
    DrawFrame(*textured);
    EXPECT_LT(Lit(TRect(200, 150, 400, 250)).Width(), 0); // nothing lit

    // Rendered again: the same pixels come from the texture, placed by its centre.
    ASSERT_TRUE(textured->RenderToTexture());
    const TDrawSpec& place = textured->GetTextureSprite()->GetSpec();
    EXPECT_TRUE(place.mFlags & kDrawOrigin);
    EXPECT_EQ(place.mOrigin, TVec2(60, 20));
    DrawFrame(*textured);
    EXPECT_EQ(Lit(TRect(200, 150, 400, 250)), drawn);
    // Its transform still moves and fades the quad.
    EXPECT_EQ(textured->GetTransform()->GetX(), 300.0f);

    auto zero = Make("{ w = 0, h = 40, drawtotexture = true, text = 'x' }");
    EXPECT_NE(Log().find("ERROR:TTexture::Create failed   FILE:textobject LINE:"),
              std::string::npos);
}
} // namespace
