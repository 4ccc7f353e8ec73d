// One screen with every toolkit window type, driven through the window manager: the waiting
// script hears the slider, the edit and the button, and reads the labels back.
#include "text_window_test_support.h"
#include "ui/image.h"
#include "ui/slider.h"

namespace
{

class ToolkitScreenTest : public uitest::TextTest
{
};

TEST_F(ToolkitScreenTest, AScriptWaitingOnEveryTypeHearsWhatIsClickedAndTyped)
{
    Serve("b0.png", uitest::FlatPng(40, 20, 0xFF0000));
    Serve("b1.png", uitest::FlatPng(40, 20, 0x00FF00));
    Serve("b2.png", uitest::FlatPng(40, 20, 0x0000FF));
    Serve("logo.png", uitest::FlatPng(30, 30, 0xFFFF00));
    Do("return function() "
       "  Bitmap{ name = 'logo', image = 'logo.png', x = 10, y = 10 }() "
       "  Slider{ name = 'vol', x = 10, y = 50, w = 200, h = 20, sliderimage = 'b0.png' }() "
       "  Text{ name = 'caption', x = 100, y = 150, w = 200, h = 30, label = 'Name' }() "
       "  TextEdit{ name = 'name', x = 100, y = 200, w = 200, h = 30, "
       "    font = { 'fonts/square.mvec', 10 } }() "
       "  Button{ name = 'go', x = 10, y = 300, graphics = { 'b0.png', 'b1.png', 'b2.png' } }() "
       "  while true do local m = HandleGetMessage() "
       "    got = (got or '') .. m.type .. ':' .. m.name .. ';' end "
       "end");
    ASSERT_NE(Find("go"), nullptr);

    TRect thumb = TSlider::FromWindow(Find("vol"))->GetThumb()->GetScreenRect();
    Mouse(kEventLeftDown, thumb.left + 1, thumb.top + 1);
    Mouse(kEventMouseMove, thumb.left + 41, thumb.top + 1);
    Mouse(kEventLeftUp, thumb.left + 41, thumb.top + 1);
    Mouse(kEventMouseMove, 150, 210);
    Mouse(kEventLeftDown, 150, 210);
    Mouse(kEventLeftUp, 150, 210);
    Type("ab");
    Mouse(kEventMouseMove, 15, 305);
    Mouse(kEventLeftDown, 15, 305);
    Mouse(kEventLeftUp, 15, 305);
    Tick();
    // Value changes while dragging and the release, the release nobody took, one change per
    // typed character, the push.
    EXPECT_EQ(Global("got"), "9:vol;10:vol;4:mouse:up;7:name;7:name;3:go;");
    EXPECT_EQ(mScript->GetLabel("name"), TString("ab"));
    EXPECT_EQ(mScript->GetLabel("caption"), TString("Name"));

    Frame();
    EXPECT_EQ(Back(10, 10), 0xFFFF00u);
    EXPECT_GT(Lit(Find("caption")->GetScreenRect()), 0) << "the label is drawn";
}

} // namespace
