// The text window made by screen scripts: label rules with and without the string table, the
// style's defaults, a zero size, command links fired by name through the window manager with
// their error lines, hover capture, scrolling, and drawing on the headless display.
#include "platform/strings/string_table.h"
#include "text_window_test_support.h"

namespace
{

using uitest::FakeButton;

std::string Row(const std::string& label, const std::string& text)
{
    return "<Row><Cell><Data>" + label + "</Data></Cell><Cell><Data>" + text +
           "</Data></Cell></Row>";
}

class TextWindowTest : public uitest::TextTest
{
protected:
    // A screen point on the link: the first point of the window where the layout finds it.
    TPoint LinkPoint(TText* text, const char* id)
    {
        TRect screen = text->GetScreenRect();
        for (int y = 0; y < text->GetHeight(); ++y)
            for (int x = 0; x < text->GetWidth(); ++x)
                if (text->GetLayout()->GetLinkAt(TVec2(x + 0.5f, y + 0.5f), text->GetPadding()) ==
                    TString(id))
                    return TPoint{screen.left + x, screen.top + y};
        ADD_FAILURE() << "no link " << id;
        return TPoint{};
    }
    void Click(TPoint down, TPoint up)
    {
        Send(kEventLeftDown, down.x, down.y);
        Send(kEventLeftUp, up.x, up.y);
    }
};

TEST_F(TextWindowTest, LabelsGoThroughTheStringTableOnlyWhileTheFlagIsSet)
{
    const std::string sheet = "<Workbook><Worksheet><Table>" + Row("HELLO", "Hello there") +
                              "</Table></Worksheet></Workbook>";
    ASSERT_TRUE(
        mApp->GetStringTable()->LoadBuffer(sheet.data(), static_cast<uint32_t>(sheet.size())));
    mManager->SetScriptTextFlag(true);
    Do("Text{ name = 'a', w = 100, h = 20, label = 'HELLO' }() "
       "Text{ name = 'b', w = 100, h = 20, label = '#HELLO' }() "
       "Text{ name = 'c', w = 100, h = 20, label = '12.50' }() "
       "TextEdit{ name = 'e', w = 100, h = 20, label = 'HELLO' }() "
       "la = GetLabel('a') le = GetLabel('e')");
    EXPECT_EQ(Shown(FindText("a")), "Hello there");
    EXPECT_EQ(Shown(FindText("b")), "HELLO");
    EXPECT_EQ(Shown(FindText("c")), "12.50");
    // A text edit's label is its text, and the flag is back on after it.
    EXPECT_EQ(Shown(FindText("e")), "HELLO");
    EXPECT_TRUE(mScript->GetTextFlag());
    EXPECT_EQ(mScript->GetGlobalString("la"), TString("Hello there"));
    EXPECT_EQ(mScript->GetGlobalString("le"), TString("HELLO"));

    mManager->SetScriptTextFlag(false);
    Do("Text{ name = 'd', w = 100, h = 20, label = '#HELLO' }() SetLabel('d', 'new')");
    EXPECT_EQ(Shown(FindText("d")), "new");
    EXPECT_EQ(Log().find("Missing string"), std::string::npos);
}

TEST_F(TextWindowTest, StyleDefaultsZeroSizeAndMalformedStyles)
{
    Do("Text{ name = 't', x = 10, y = 20, w = 100, h = 30, label = 'x', defflags = 1, "
       "padding = 3 }()");
    TText* text = FindText("t");
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text->GetClassName(), "TText");
    EXPECT_EQ(text->GetFlags() & kWindowRenderTargetPass, 0u);
    EXPECT_EQ(text->GetLayout()->GetColor(), TVec4(0, 1, 0, 1)) << "green unless told";
    EXPECT_EQ(text->GetLayout()->GetSecondaryText(), TString("__DEFAULT"));
    EXPECT_EQ(text->GetLayout()->GetWidth(), 100);
    EXPECT_EQ(text->GetPadding(), 3);
    EXPECT_EQ(TText(true).GetFlags() & kWindowRenderTargetPass, kWindowRenderTargetPass);

    Do("Text{ name = 'z', w = 0, h = 30, label = 'lbl <a id=\"q\">q</a>' }()");
    TText* zero = FindText("z");
    ASSERT_NE(zero, nullptr);
    EXPECT_NE(Log().find("ERROR: Attempting to create text window of size(0,0): named 'z', "
                         "label 'lbl <a id=\"q\">q</a>'"),
              std::string::npos);
    EXPECT_EQ(zero->GetLayout(), nullptr);
    EXPECT_EQ(zero->GetText(), TString());
    EXPECT_FALSE(zero->OnMouseDown(TPoint{0, 0}));
    EXPECT_FALSE(zero->OnMouseMove(TPoint{0, 0}));
    zero->SetText("ignored");
    zero->SetScrollPosition(1);
    EXPECT_EQ(zero->GetText(), TString());

    // Wrong types and negative sizes are survived.
    Do("Text{ name = 'm1', w = 50, h = 20, font = 'big', label = 5 }() "
       "Text{ name = 'm2', w = 50, h = 20, font = { 7, 'size', 'colour' } }() "
       "Text{ name = 'm3', w = -50, h = -20, label = 'neg' }() "
       "Text{ name = 'm4', w = 50, h = 20, font = { 'fonts/nothing.mvec', -4 }, rotation = 30, "
       "rotationOriginX = kCenter, rotationAlign = 5 }() "
       "TextEdit{ name = 'm5', w = 50, h = 20, length = -3, ignore = {}, utf8 = 'yes', "
       "password = 7 }()");
    ASSERT_NE(FindText("m1"), nullptr);
    mManager->SetFocus(FindText("m5"));
    ASSERT_TRUE(StringToClipboard("pasted"));
    Send(kEventChar, 0, 0, 'a');
    Send(kEventKeyDown, 0, 0, 'V', kModifierControl);
    EXPECT_EQ(FindText("m5")->GetText(), TString()) << "a negative length takes nothing";
    EXPECT_EQ(Shown(FindText("m1")), "5");
    EXPECT_GT(FindText("m3")->GetWidth(), 0) << "a negative size counts from the far edge";
    Frame();
}

TEST_F(TextWindowTest, LinksFireTheButtonOfTheirName)
{
    auto* ok = new FakeButton();
    ok->SetName("ok");
    mRoot->AddChild(ok, false);
    Do("Window{ name = 'plain', w = 1, h = 1 }() "
       "Text{ name = 't', x = 100, y = 50, w = 300, h = 200, font = { 'fonts/square.mvec', 20 }, "
       "label = '<a id=\"ok\">OKOK</a> <a id=\"plain\">PP</a><br><a id=\"ghost\">GG</a>' }()");
    TText* text = FindText("t");
    ASSERT_NE(text, nullptr);
    TPoint okAt = LinkPoint(text, "ok");
    TPoint plainAt = LinkPoint(text, "plain");
    TPoint ghostAt = LinkPoint(text, "ghost");

    Click(okAt, okAt);
    EXPECT_EQ(ok->mFires, 1);
    // Pressed on one link and released on another: nothing, and the press is forgotten.
    Send(kEventLeftDown, okAt.x, okAt.y);
    EXPECT_EQ(text->GetPressedLink(), TString("ok"));
    Send(kEventLeftUp, plainAt.x, plainAt.y);
    EXPECT_EQ(text->GetPressedLink(), TString());
    Send(kEventLeftUp, okAt.x, okAt.y);
    EXPECT_EQ(ok->mFires, 1);

    Click(plainAt, plainAt);
    Click(ghostAt, ghostAt);
    EXPECT_NE(Log().find("ERROR: Command window plain not a derived class of TButton"),
              std::string::npos);
    EXPECT_NE(Log().find("ERROR: Command window ghost not found"), std::string::npos);

    // A click beside the links passes on to the parent.
    EXPECT_FALSE(text->OnMouseDown(TPoint{text->GetWidth() - 1, text->GetHeight() - 1}));
    EXPECT_EQ(text->GetPressedLink(), TString());

    // Outside any modal window the link is reported, not followed.
    mRoot->RemoveChild(text);
    TPoint local{okAt.x - 100, okAt.y - 50};
    EXPECT_TRUE(text->OnMouseDown(local));
    EXPECT_TRUE(text->OnMouseUp(local));
    EXPECT_NE(Log().find("ERROR: Command window ok not found"), std::string::npos);
    EXPECT_EQ(ok->mFires, 1);
    delete text;
}

TEST_F(TextWindowTest, HoverTakesTheCaptureUntilTheMouseLeaves)
{
    Do("Text{ name = 't', x = 100, y = 50, w = 300, h = 100, font = { 'fonts/square.mvec', 20 }, "
       "label = 'AB <a id=\"go\">GO</a>' }()");
    TText* text = FindText("t");
    TPoint at = LinkPoint(text, "go");
    Frame();
    Send(kEventMouseMove, at.x, at.y);
    EXPECT_EQ(text->GetLayout()->GetHoverLink(), TString("go"));
    ASSERT_EQ(mManager->GetCaptures().size(), 1u);
    EXPECT_EQ(mManager->GetCaptures()[0], text);
    EXPECT_TRUE(mManager->IsDirty());
    // Off the link but inside: still captured, no hover.
    Send(kEventMouseMove, 110, 140);
    EXPECT_EQ(text->GetLayout()->GetHoverLink(), TString());
    EXPECT_EQ(mManager->GetCaptures().size(), 1u);
    Send(kEventMouseMove, at.x, at.y);
    // Out of the window: the leave clears the hover and lets go.
    Send(kEventMouseMove, 500, 500);
    EXPECT_EQ(text->GetLayout()->GetHoverLink(), TString());
    EXPECT_TRUE(mManager->GetCaptures().empty());
}

TEST_F(TextWindowTest, ScrollingByFractionsOfTheLinesThatFit)
{
    Do("Text{ name = 't', w = 200, h = 50, padding = 4, font = { 'fonts/square.mvec', 10 }, "
       "label = 'A<br>B<br>C<br>D<br>E<br>F<br>G<br>H' }()");
    TText* text = FindText("t");
    TTextLayout* layout = text->GetLayout();
    ASSERT_NE(layout, nullptr);
    int fit = layout->CountLinesFromEnd(1, 4);
    ASSERT_NE(fit, layout->CountLinesFromEnd(1, 0)) << "padding is the line spacing";
    text->SetScrollPosition(1);
    EXPECT_FLOAT_EQ(layout->GetFirstVisibleLine(), 0.5f + fit);
    text->SetScale(0, 7);
    EXPECT_FLOAT_EQ(layout->GetFirstVisibleLine(), 0);

    // A position equal to the line count is still taken.
    float fraction = static_cast<float>(layout->GetLineCount()) / (0.5f + fit);
    text->SetScrollPosition(fraction);
    EXPECT_FLOAT_EQ(layout->GetFirstVisibleLine(), static_cast<float>(layout->GetLineCount()));

    // The same text is not laid out again.
    int passes = layout->GetLayoutCount();
    text->SetText(text->GetText());
    EXPECT_EQ(layout->GetLayoutCount(), passes);
    text->SetText("other");
    EXPECT_EQ(layout->GetLayoutCount(), passes + 1);
}

TEST_F(TextWindowTest, DrawsGreenInsideItsRectangleWithItsAlpha)
{
    Do("Text{ name = 't', x = 200, y = 100, w = 120, h = 60, "
       "font = { 'fonts/square.mvec', 40 }, label = 'WW' }()");
    TText* text = FindText("t");
    Frame();
    TRect inside(200, 100, 320, 160);
    // Full-strength green (the rasteriser's 254 included), and any red or blue.
    auto strong = [](uint32_t c) { return (c >> 8 & 0xFF) >= 0xF0; };
    auto notGreen = [](uint32_t c) { return (c & 0xFF00FFu) != 0; };
    int lit = Lit(inside);
    EXPECT_GT(Count(inside, strong), 100);
    EXPECT_EQ(Count(inside, notGreen), 0);
    EXPECT_EQ(Lit(TRect(0, 0, 800, 600)), lit) << "nothing outside the window";

    // Half the alpha: the same pixels, none at full strength.
    text->SetAlpha(0.5f);
    mManager->SetDirty();
    Frame();
    EXPECT_EQ(Lit(inside), lit);
    EXPECT_EQ(Count(inside, strong), 0);
}

} // namespace
