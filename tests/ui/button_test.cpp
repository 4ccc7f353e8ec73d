// Buttons through the window manager on the headless display: layers per type and state read
// back, the state machine with capture, "graphics" with an empty entry, toggles, radio groups,
// mask hits away from the origin, close and send-to-parent presses, a script command with
// GetButtonName, Enter and Escape, hot keys, and a screen script with image, slider and button.
#include "ui/button.h"
#include "ui/image.h"
#include "ui/slider.h"
#include "ui_display_support.h"

namespace
{

using Lines = std::vector<std::string>;

// Notes the untargeted messages it is offered and lets them pass.
class Recorder : public TMessageListener
{
public:
    explicit Recorder(Lines* log) : mLog(log) {}
    bool OnMessage(TMessage* m) override
    {
        mLog->push_back("untargeted " + std::to_string(m->mType) + " " + m->mName.c_str());
        return false;
    }

private:
    Lines* mLog;
};

class ButtonTest : public uitest::UiDisplayTest
{
protected:
    void SetUp() override
    {
        UiDisplayTest::SetUp();
        const uint32_t colours[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00};
        for (int i = 0; i < 4; ++i)
            Serve("b" + std::to_string(i) + ".png", uitest::FlatPng(40, 20, colours[i]));
    }
    TButton* Button(const char* name) { return TButton::FromWindow(Find(name)); }
    void Click(TWindow* window)
    {
        TRect r = window->GetScreenRect();
        Mouse(kEventMouseMove, r.left + 1, r.top + 1);
        Mouse(kEventLeftDown, r.left + 1, r.top + 1);
        Mouse(kEventLeftUp, r.left + 1, r.top + 1);
    }
    static std::string Names(const std::list<TWindow*>& layer)
    {
        std::string out;
        for (TWindow* w : layer)
            out += std::string(w->GetName().c_str()) + " ";
        return out;
    }
};

TEST_F(ButtonTest, PushButtonStatesLayersAndPress)
{
    Do("Window{ name = 'panel', x = 100, y = 100, w = 300, h = 200, "
       "  Button{ name = 'ok', x = 50, y = 50, graphics = { 'b0.png', 'b1.png', 'b2.png' } } }()");
    TButton* ok = Button("ok");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->GetRect(), TRect(50, 50, 90, 70)) << "sized to its images";
    Frame();
    EXPECT_EQ(Back(160, 160), 0xFF0000u);
    // Away from the origin: the point test is made in the button's own coordinates.
    Mouse(kEventMouseMove, 160, 160);
    EXPECT_EQ(ok->GetState(), TButton::kHover);
    EXPECT_TRUE(Captured(ok));
    Frame();
    EXPECT_EQ(Back(160, 160), 0x0000FFu);
    Mouse(kEventLeftDown, 160, 160);
    Frame();
    EXPECT_EQ(Back(160, 160), 0x00FF00u);
    Mouse(kEventLeftUp, 160, 160);
    EXPECT_EQ(ok->GetState(), TButton::kHover);
    EXPECT_EQ(Queue(), "3:ok ");

    // Pressed, dragged out and released outside: the capture goes and nothing is pressed.
    Mouse(kEventLeftDown, 160, 160);
    Mouse(kEventMouseMove, 400, 400);
    EXPECT_EQ(ok->GetState(), TButton::kNormal);
    EXPECT_FALSE(Captured(ok));
    Mouse(kEventLeftUp, 400, 400);
    EXPECT_EQ(Queue(), "4:mouse:up ");
    // A release in hover state (the press began elsewhere) clicks nothing.
    Mouse(kEventLeftDown, 400, 400);
    Mouse(kEventMouseMove, 160, 160);
    Mouse(kEventLeftUp, 160, 160);
    EXPECT_EQ(Queue(), "");
    EXPECT_EQ(ok->GetState(), TButton::kHover);
}

TEST_F(ButtonTest, GraphicsTogglesAndLayerSelection)
{
    Do("Button{ name = 'p', graphics = { 'b0.png', '', 'b2.png' } }() "
       "Button{ name = 't', type = kToggle, x = 100, "
       "  graphics = { 'b0.png', 'b1.png', 'b2.png', 'b3.png' } }() "
       "Button{ name = 'e', type = kToggle, x = 200, graphics = { '', 'b1.png' } }() "
       "Button{ name = 'f', x = 300, hflip = true, rotate = true, "
       "  graphics = { 'b0.png', vflip = true } }()");
    TButton* p = Button("p");
    EXPECT_EQ(Names(p->GetLayer(0)) + "|" + Names(p->GetLayer(1)) + "|" + Names(p->GetLayer(2)),
              "image0 |image0 |image2 ");
    TButton* e = Button("e");
    EXPECT_EQ(Names(e->GetLayer(0)) + "|" + Names(e->GetLayer(3)), "|image1 ");
    TImage* flipped = TImage::FromWindow(Find("f")->FindChild("image0", 1));
    ASSERT_NE(flipped, nullptr);
    EXPECT_EQ(flipped->GetDrawFlags(), 1u) << "flips come from the style, not the table";
    EXPECT_TRUE(flipped->GetRotate());
    EXPECT_EQ(Find("f")->GetRect(), TRect(300, 0, 320, 40));

    TButton* t = Button("t");
    EXPECT_EQ(t->GetCurrentLayer(), 0u);
    Mouse(kEventMouseMove, 110, 5);
    EXPECT_EQ(t->GetCurrentLayer(), 2u);
    Click(t);
    EXPECT_TRUE(t->IsOn());
    EXPECT_EQ(t->GetCurrentLayer(), 3u) << "hover while on";
    Do("on = GetButtonToggleState('t')");
    EXPECT_EQ(Global("on"), "true");
    Click(t);
    EXPECT_FALSE(t->IsOn());
    EXPECT_EQ(t->GetCurrentLayer(), 2u);
    Mouse(kEventMouseMove, 500, 500);
    Do("SetButtonToggleState('t', true)");
    EXPECT_EQ(t->GetCurrentLayer(), 1u) << "normal while on";
    EXPECT_EQ(Queue(), "3:t 3:t ");

    // Selecting the layer already shown does nothing at all.
    Frame();
    ASSERT_FALSE(mManager->IsDirty());
    t->SelectLayer(1);
    EXPECT_FALSE(mManager->IsDirty());
    t->SelectLayer(0);
    EXPECT_TRUE(mManager->IsDirty());
}

TEST_F(ButtonTest, ALabelAddedAfterTheImagesShowsInEveryLayer)
{
    Do("Button{ name = 'lb', graphics = { 'b0.png', 'b1.png', 'b2.png' }, "
       "  Text{ name = 'label', w = 40, h = 20, label = '#Go' } }() "
       "a = GetLabel('lb') SetLabel('lb', 'Stop') b = GetLabel('lb')");
    TButton* lb = Button("lb");
    for (uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(Names(lb->GetLayer(i)).find("label"), 0u) << i;
    EXPECT_EQ(Global("a") + "," + Global("b"), "#Go,Stop") << "the label as it was set";
}

TEST_F(ButtonTest, RadioGroupsEndAtBeginGroupWindows)
{
    Do("Window{ name = 'radios', w = 400, h = 50, "
       "  Button{ name = 'z', type = kRadio, w = 10, h = 10, x = 300 }, BeginGroup(), "
       "  Button{ name = 'a', type = kRadio, w = 10, h = 10, on = true }, "
       "  Button{ name = 'b', type = kRadio, w = 10, h = 10, x = 20 }, BeginGroup(), "
       "  Button{ name = 'c', type = kRadio, w = 10, h = 10, x = 40 }, "
       "  Button{ name = 'd', type = kRadio, w = 10, h = 10, x = 60 } }() "
       "SetButtonToggleState('z', true) SetButtonToggleState('c', true)");
    auto states = [&]
    {
        std::string out;
        for (const char* name : {"z", "a", "b", "c", "d"})
            out += Button(name)->IsOn() ? "1" : "0";
        return out;
    };
    EXPECT_EQ(states(), "11010");
    Do("SetButtonToggleState('b', true)");
    EXPECT_EQ(states(), "10110") << "a button before the group keeps its state";
    Click(Button("d"));
    EXPECT_EQ(states(), "10101");
    Click(Button("a"));
    EXPECT_EQ(states(), "11001");
    EXPECT_EQ(Queue(), "3:d 3:a ");
}

TEST_F(ButtonTest, MaskHitsAtTheThresholdWhateverTheButtonSize)
{
    // 4 x 4 mask pixels on an 8 x 8 button: column 2 of the top row has red at 20, the rest
    // is grey at 19.
    std::vector<uint32_t> mask(16, 0x131313);
    mask[2] = 0x140000;
    Serve("mask.png", uitest::RgbPng(4, 4, mask));
    Do("Button{ name = 'm', x = 200, y = 100, w = 8, h = 8, mask = 'mask.png' }()");
    TButton* m = Button("m");
    EXPECT_EQ(m->GetMaskWidth(), 4u);
    Mouse(kEventMouseMove, 205, 101);
    EXPECT_EQ(m->GetState(), TButton::kHover) << "x 5 of 8 is mask column 2";
    Mouse(kEventMouseMove, 203, 101);
    EXPECT_EQ(m->GetState(), TButton::kNormal) << "mask column 1 is below the threshold";
    EXPECT_FALSE(Captured(m));
    Mouse(kEventMouseMove, 204, 102);
    EXPECT_EQ(m->GetState(), TButton::kNormal) << "mask row 1";
}

TEST_F(ButtonTest, CloseAndSendToParentPresses)
{
    Lines log;
    mManager->AddMessageListener(new Recorder(&log));
    auto* dialog = new TModalWindow();
    dialog->SetSize(300, 300);
    mManager->PushModal(dialog);
    auto* panel = new uitest::ProbeWindow(&log, "panel", {0, 0, 200, 200});
    dialog->AddChild(panel, false);
    panel->TakeMessages(kButtonPress);
    mManager->RunScriptInWindow(panel, "Button{ name = 'yes', close = true, w = 30, h = 30 }() "
                                       "Button{ name = 'up', sendToParent = true, x = 50, w = 30, "
                                       "  h = 30 }()");
    Click(Find("up"));
    EXPECT_EQ(Queue(), "3:up ") << "sent to the top modal's parent, the screen";
    Click(Find("yes"));
    Lines messages;
    for (const auto& line : log)
        if (line.find("untargeted") == 0 || line.find(" msg ") != std::string::npos)
            messages.push_back(line);
    // The close comes first; the press then finds its target gone with the dialog.
    EXPECT_EQ(messages, (Lines{"untargeted 1 " + std::string(dialog->GetIdString().c_str()),
                               "untargeted 3 yes"}));
    EXPECT_EQ(Global("gReturnValue"), "yes");
    EXPECT_EQ(mManager->GetTopModal(), mRoot);
}

TEST_F(ButtonTest, ScriptCommandEnterEscapeAndHotKeys)
{
    Serve("dlg.lua",
          "Button{ name = 'go]]x', w = 30, h = 30, "
          "  command = function() ran = GetButtonName() end }() "
          "Button{ name = 'ok', x = 40, w = 30, h = 30, default = true, close = true }() "
          "Button{ name = 'no', x = 80, w = 30, h = 30, cancel = true }() "
          "SetCommand('no', function() presses = (presses or 0) + 1 end) "
          "Button{ name = 'hidden', x = 120, w = 30, h = 30, default = true }() "
          "EnableWindow('hidden', false) _RegisterHotkey('@k', 'no')");
    Do("return function() result = DoModal('dlg.lua') end");
    TModalWindow* dialog = mManager->GetTopModal();
    ASSERT_NE(dialog, mRoot);
    ASSERT_NE(Find("go]]x"), nullptr);
    Click(Find("go]]x"));
    EXPECT_EQ(Global("ran"), "go]]x") << "run in the coroutine, the name round-trips";

    mManager->HandleEvent(uitest::MakeEvent(kEventKeyDown, 0, 0, 'K'));
    EXPECT_EQ(Global("presses"), "1") << "the hot key clicked the button";
    EXPECT_EQ(Button("no")->GetState(), TButton::kNormal);
    // The character event of the same key press is swallowed.
    mManager->HandleEvent(uitest::MakeEvent(kEventChar, 0, 0, 'k'));
    mManager->HandleEvent(uitest::MakeEvent(kEventChar, 0, 0, 27));
    EXPECT_EQ(Global("presses"), "2") << "Escape fired the cancel button";
    mManager->HandleEvent(uitest::MakeEvent(kEventChar, 0, 0, 13));
    Tick();
    Tick();
    EXPECT_EQ(mManager->GetTopModal(), mRoot);
    EXPECT_EQ(Global("result"), "ok") << "Enter fired the shown default button";
}

TEST_F(ButtonTest, ScreenScriptWithImageSliderAndButton)
{
    Serve("screen.lua",
          "Window{ name = 'frame', w = 400, h = 300, "
          "  Bitmap{ name = 'logo', image = 'b3.png', x = 10, y = 10 }, "
          "  Slider{ name = 'vol', x = 10, y = 50, w = 200, h = 20, sliderimage = 'b0.png' }, "
          "  Button{ name = 'done', x = 10, y = 100, close = true, "
          "    graphics = { 'b0.png', 'b1.png', 'b2.png' } } }()");
    Do("return function() result = DoModal('screen.lua') end");
    ASSERT_NE(Find("vol"), nullptr);
    TRect thumb = TSlider::FromWindow(Find("vol"))->GetThumb()->GetScreenRect();
    Mouse(kEventLeftDown, thumb.left + 1, thumb.top + 1);
    Mouse(kEventMouseMove, thumb.left + 81, thumb.top + 1);
    Mouse(kEventLeftUp, thumb.left + 81, thumb.top + 1);
    EXPECT_FLOAT_EQ(TSlider::FromWindow(Find("vol"))->GetValue(), 81.0f / 200.0f);
    Frame();
    TRect logo = Find("logo")->GetScreenRect();
    EXPECT_EQ(Back(logo.left, logo.top), 0xFFFF00u);
    Click(Find("done"));
    Tick();
    Tick();
    EXPECT_EQ(Global("result"), "done");
    EXPECT_EQ(mManager->GetTopModal(), mRoot);
}

TEST_F(ButtonTest, MalformedStylesNeverCrash)
{
    Do("Button{ name = 'b1', graphics = 5, command = 'text', sound = {}, mask = 'missing.png', "
       "  type = 'radio', scale = -1, on = 'yes' }() "
       "Button{ name = 'b2', type = kToggle, scale = -2, graphics = { 'b0.png', {}, 7 }, "
       "  rolloversound = 'missing.ogg', w = -40 }() "
       "Bitmap{ name = 'i1', image = {}, scale = -2, rotate = 'x' }() "
       "Bitmap{ name = 'i2', image = 'b0.png', scale = -2, autoscale = true }() "
       "Slider{ name = 's1', w = -50, h = 1e12, hslider = 'x', yoffset = 1e12, value = 'abc', "
       "  scale = -3, sliderimage = 'b0.png', railmid = 'missing.png' }() "
       "Slider{ name = 's2', value = 0 / 0, sliderimage = 'b0.png' }() "
       "Slider{ name = 's3', w = 1e12, h = 5, yoffset = -1e12, scale = 1e30, value = 1, "
       "  sliderimage = 'b0.png', railtop = 'b1.png' }() "
       "Bitmap{ name = 'i3', image = 'b0.png', scale = 1e30 }()");
    for (const char* name : {"b1", "b2", "i1", "i2", "i3", "s1", "s2", "s3"})
        EXPECT_NE(Find(name), nullptr) << name;
    EXPECT_EQ(Button("b1")->GetAction(), nullptr) << "a command that is no function";
    EXPECT_EQ(TSlider::FromWindow(Find("s2"))->GetValue(), 0.0f);
    Frame();
    for (int32_t x : {0, 5, 50, 700})
    {
        Mouse(kEventMouseMove, x, 5);
        Mouse(kEventLeftDown, x, 5);
        Mouse(kEventLeftUp, x, 5);
    }
    Frame();
}

} // namespace
