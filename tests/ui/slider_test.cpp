// The slider through the window manager: orientation, clamping, thumb geometry and the size rule,
// drags measured from the slider's edge with one value message per move, page presses that keep
// the value, the capture, a silent initial value, a zero-length slider, and the rail drawn.
#include "render/textures/texture.h"
#include "ui/image.h"
#include "ui/slider.h"
#include "ui_display_support.h"

#include <cmath>

namespace
{

class SliderTest : public uitest::UiDisplayTest
{
protected:
    void SetUp() override
    {
        UiDisplayTest::SetUp();
        Serve("thumb.png", uitest::FlatPng(20, 20, 0x0000FF));
        Serve("roll.png", uitest::FlatPng(20, 20, 0x00FFFF));
    }
    TSlider* Slider(const char* name) { return TSlider::FromWindow(Find(name)); }
};

TEST_F(SliderTest, OrientationClampingGeometryAndSizeRule)
{
    Serve("rail.png", uitest::FlatPng(12, 4, 0x808080));
    Do("Slider{ name = 'wide', w = 300, h = 20 }() Slider{ name = 'tall', w = 20, h = 300 }() "
       "Slider{ name = 'square', w = 50, h = 50 }() "
       "Slider{ name = 'forcedv', w = 300, h = 20, hslider = false }() "
       "Slider{ name = 'forcedh', w = 20, h = 300, hslider = 1 }() "
       "Slider{ name = 'h', w = 200, h = 5, value = 0.5, sliderimage = 'thumb.png' }() "
       "Slider{ name = 'rail', w = 20, h = 100, railmid = 'rail.png', scale = 2 }() "
       "Slider{ name = 'off', w = 20, h = 100, railmid = 'rail.png', yoffset = -7, "
       "  sliderimage = 'thumb.png' }()");
    EXPECT_TRUE(Slider("wide")->IsHorizontal());
    EXPECT_FALSE(Slider("tall")->IsHorizontal());
    EXPECT_FALSE(Slider("square")->IsHorizontal());
    EXPECT_FALSE(Slider("forcedv")->IsHorizontal());
    EXPECT_TRUE(Slider("forcedh")->IsHorizontal());

    TSlider* h = Slider("h");
    EXPECT_EQ(h->GetThumb()->GetRect(), TRect(90, 0, 110, 20));
    EXPECT_EQ(h->GetRect().Height(), 20) << "grown to the thumb across the rail";
    EXPECT_EQ(Slider("rail")->GetWidth(), 24) << "rail image width x scale";
    EXPECT_EQ(Slider("off")->GetWidth(), 27) << "|offset| + thumb beats the rail";
    EXPECT_EQ(Slider("off")->GetThumb()->GetRect().left, -7);
    EXPECT_EQ(Queue(), "") << "the initial value is silent";

    h->SetValue(1.7f, true);
    EXPECT_EQ(h->GetValue(), 1.0f);
    EXPECT_EQ(h->GetThumb()->GetRect().left, 180);
    h->SetValue(-0.2f, true);
    EXPECT_EQ(h->GetValue(), 0.0f);
    // Values that are no number at all store 0.
    h->SetValue(0.5f, true);
    h->SetValue(std::nanf(""), false);
    EXPECT_EQ(h->GetValue(), 0.0f);
    h->SetValue(INFINITY, true);
    EXPECT_EQ(h->GetValue(), 0.0f);
    EXPECT_EQ(Queue(), "9:h ");
}

TEST_F(SliderTest, DragsPagesAndCapture)
{
    Do("Window{ name = 'panel', x = 100, y = 100, w = 400, h = 100, "
       "  Slider{ name = 'vol', w = 200, h = 20, value = 0.5, sliderimage = 'thumb.png', "
       "    sliderrollimage = 'roll.png' } }()");
    TSlider* vol = Slider("vol");
    auto normal = TTexture::Get("thumb.png", 0);
    auto roll = TTexture::Get("roll.png", 0);
    // The thumb covers 190..209 on the screen.
    Mouse(kEventMouseMove, 150, 105);
    EXPECT_TRUE(Captured(vol)) << "the pointer is over the slider";
    EXPECT_EQ(vol->GetThumb()->GetTexture(), normal);
    Mouse(kEventMouseMove, 195, 105);
    EXPECT_EQ(vol->GetThumb()->GetTexture(), roll);
    Mouse(kEventLeftDown, 195, 105);
    EXPECT_TRUE(vol->IsDragging());
    Mouse(kEventMouseMove, 150, 105);
    EXPECT_FLOAT_EQ(vol->GetValue(), 0.25f) << "x 50 of 200, from the slider's edge";
    EXPECT_EQ(vol->GetThumb()->GetRect().left, 45);
    EXPECT_EQ(vol->GetThumb()->GetTexture(), roll) << "roll-over stays on while dragging";
    Mouse(kEventMouseMove, 600, 300);
    EXPECT_TRUE(Captured(vol)) << "a drag keeps the capture outside";
    EXPECT_EQ(vol->GetValue(), 1.0f);
    Mouse(kEventLeftUp, 600, 300);
    EXPECT_FALSE(vol->IsDragging());
    EXPECT_FALSE(Captured(vol));
    EXPECT_EQ(vol->GetThumb()->GetTexture(), normal);
    EXPECT_EQ(Queue(), "9:vol 9:vol 10:vol ");

    // Presses beside the thumb (190..209 again) ask for a page and keep the value; a release
    // without a drag is the modal's.
    vol->SetValue(0.5f, true);
    Mouse(kEventLeftDown, 189, 105);
    Mouse(kEventLeftUp, 189, 105);
    Mouse(kEventLeftDown, 210, 105);
    EXPECT_FALSE(vol->IsDragging());
    EXPECT_EQ(vol->GetValue(), 0.5f);
    EXPECT_EQ(Queue(), "11:vol 4:mouse:up 12:vol ");
    Mouse(kEventLeftDown, 190, 105);
    EXPECT_TRUE(vol->IsDragging()) << "the thumb's left edge is inside it";
    Mouse(kEventLeftUp, 190, 105);
    EXPECT_TRUE(Captured(vol)) << "released over the slider: the capture stays";
    Mouse(kEventMouseMove, 600, 300);
    EXPECT_FALSE(Captured(vol));
    EXPECT_EQ(Queue(), "10:vol ");

    // A slider of no length drags to its start instead of dividing by zero.
    Do("Slider{ name = 'flat', sliderimage = 'thumb.png' }()");
    TSlider* flat = Slider("flat");
    flat->SetSize(0, 0);
    EXPECT_TRUE(flat->OnMouseDown({5, 5}) && flat->IsDragging());
    flat->SetValue(1.0f, true);
    EXPECT_TRUE(flat->OnMouseMove({3, 40}));
    EXPECT_EQ(flat->GetValue(), 0.0f);
}

TEST_F(SliderTest, RailSectionsDrawn)
{
    Serve("top.png", uitest::FlatPng(10, 5, 0xFF0000));
    Serve("mid.png", uitest::FlatPng(10, 4, 0x00FF00));
    Serve("bot.png", uitest::FlatPng(10, 5, 0x0000FF));
    Do("Slider{ name = 'v', x = 300, y = 100, w = 20, h = 100, yoffset = 10, "
       "  railtop = 'top.png', railmid = 'mid.png', railbot = 'bot.png' }() "
       "Slider{ name = 'h', x = 300, y = 300, w = 100, h = 20, "
       "  railtop = 'top.png', railmid = 'mid.png', railbot = 'bot.png' }()");
    ASSERT_EQ(Slider("v")->GetWidth(), 10);
    Frame();
    // Vertical: start, stretched middle, end along y, centred across.
    EXPECT_EQ(Back(300, 100), 0xFF0000u);
    EXPECT_EQ(Back(309, 104), 0xFF0000u);
    EXPECT_EQ(Back(300, 105), 0x00FF00u);
    EXPECT_EQ(Back(309, 194), 0x00FF00u);
    EXPECT_EQ(Back(305, 195), 0x0000FFu);
    EXPECT_EQ(Back(305, 199), 0x0000FFu);
    EXPECT_EQ(Back(305, 200), 0u);
    EXPECT_EQ(Back(310, 150), 0u);
    // Horizontal: the same sections laid along x.
    EXPECT_EQ(Back(300, 300), 0xFF0000u);
    EXPECT_EQ(Back(304, 309), 0xFF0000u);
    EXPECT_EQ(Back(305, 300), 0x00FF00u);
    EXPECT_EQ(Back(394, 309), 0x00FF00u);
    EXPECT_EQ(Back(395, 305), 0x0000FFu);
    EXPECT_EQ(Back(399, 305), 0x0000FFu);
    EXPECT_EQ(Back(400, 305), 0u);
    EXPECT_EQ(Back(350, 310), 0u);
}

} // namespace
