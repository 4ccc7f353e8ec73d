// The framework button: graphics per state, offsets and quarter turns, enabling with and
// without a fade, captions with state fonts and the fatal report without a font, the sounds
// registered at Init and started by the mouse, pausing with its modal through its listener, and
// a screen script that builds buttons and animated bitmaps and hears a press.
#include "framework/audio_test_support.h"
#include "framework/framework_display_support.h"

#include "framework/widgets/animated_bitmap_window.h"
#include "framework/widgets/framework_button.h"
#include "framework/core/settings.h"
#include "framework/widgets/text_object.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/core/window_manager.h"
#include "platform/shell/application.h"
#include "platform/strings/string_table.h"
#include "render/sprites/sprite.h"
#include "render/text/text_sprite.h"
#include "ui/window_style.h"

namespace
{
bool Active()
{
    return true;
}

class ButtonTest : public fwtest::FrameworkDisplayTest
{
protected:
    void SetUp() override
    {
        FrameworkDisplayTest::SetUp();
        WindowManager::SetActiveSource(&Active);
        mManager->RegisterWindowType("Button", &TVButton::Create);
        mManager->RegisterWindowType("AnimatedBitmap", &AnimatedBitmapWindow::Create);
        const uint32_t colours[6] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF,
                                     0xFFFFFF00, 0xFF00FFFF, 0xFFFF00FF};
        for (int i = 0; i < 6; ++i)
            Image("btn/" + std::to_string(i) + ".png", 20, 10, colours[i]);
    }
    void TearDown() override
    {
        WindowManager::SetActiveSource(nullptr);
        FrameworkDisplayTest::TearDown();
    }
    TVButton* Make(const std::string& name, const std::string& keys)
    {
        mManager->GetScript()->DoLuaString(
            ("Button{ name = '" + name + "', " + keys + " }()").c_str());
        return TVButton::Cast(mManager->GetRoot()->FindChild(name.c_str(), 0xFFFFFFFFu));
    }
    void Post(int32_t type)
    {
        mManager->PostMessage(new TMessage(type, TString("m")));
        mManager->DispatchMessages();
    }
    double ScriptNumber(const std::string& expression)
    {
        mManager->GetScript()->DoLuaString(("_n = " + expression).c_str());
        return mManager->GetScript()->GetGlobalNumber("_n");
    }
    // The colour drawn at a screen point after the window renders on black.
    uint32_t Drawn(TWindow* window, int x, int y)
    {
        DrawBlack([&] { window->Render(0); });
        return Back(x, y);
    }
    static constexpr const char* kFour =
        "buttongraphics = { 'btn/0.png', 'btn/1.png', 'btn/2.png', 'btn/3.png' }";
};

TEST_F(ButtonTest, GraphicPerStateAndEnablingWithAndWithoutAFade)
{
    TVButton* button = Make("b", std::string("x = 100, y = 100, alphadisabledfade = 0.5, "
                                             "timedisabledfade = 200, ") +
                                     kFour);
    ASSERT_NE(button, nullptr);
    EXPECT_STREQ(button->GetClassName(), "TVButton");
    EXPECT_TRUE(button->IsKindOf(TButton::GetClassId()));
    EXPECT_EQ(TVButton::Cast(mManager->GetRoot()), nullptr);
    EXPECT_EQ(button->GetRect(), TRect(100, 100, 120, 110));
    EXPECT_EQ(Drawn(button, 105, 105), 0xFF0000u);

    button->OnMouseMove({5, 5});
    EXPECT_EQ(button->GetCurrentGraphic(), 2);
    button->OnMouseDown({5, 5});
    EXPECT_EQ(button->GetCurrentGraphic(), 1);
    const size_t queued = mManager->GetQueuedCount();
    button->OnMouseUp({5, 5});
    EXPECT_EQ(button->GetCurrentGraphic(), 2);
    EXPECT_EQ(mManager->GetQueuedCount(), queued + 1); // the toolkit button's press
    // While the left button is held elsewhere, hovering shows nothing new.
    Settings settings;
    settings.SetLeftButtonDown(true);
    button->OnMouseLeave();
    button->OnMouseMove({5, 5});
    EXPECT_EQ(button->GetCurrentGraphic(), 0);
    settings.SetLeftButtonDown(false);

    // Disabled at once: graphic 3, the disabled alpha, mouse ignored.
    button->SetEnabled(false, false);
    EXPECT_EQ(button->GetCurrentGraphic(), 3);
    EXPECT_FLOAT_EQ(button->GetTransform().GetAlpha(), 0.5f);
    button->OnMouseDown({5, 5});
    EXPECT_FALSE(button->IsPressed());
    EXPECT_EQ(Drawn(button, 105, 105), 0x808000u);
    button->SetEnabled(false, true); // no change: nothing happens
    EXPECT_EQ(mTransforms.GetTransformCount(&button->GetTransform()), 0u);

    // Enabled with a fade: a logistic alpha from the current value over 200 ms.
    button->SetEnabled(true, true);
    EXPECT_EQ(button->GetCurrentGraphic(), 0);
    EXPECT_EQ(mTransforms.GetTransformCount(&button->GetTransform()), 1u);
    Step(0, [] {});
    Step(100, [] {});
    EXPECT_NEAR(button->GetTransform().GetAlpha(), 0.75f, 0.01f);
    Step(100, [] {});
    EXPECT_FLOAT_EQ(button->GetTransform().GetAlpha(), 1.0f);
}

TEST_F(ButtonTest, OnToggleShowsTheUpperGraphicsAndTheOnAlpha)
{
    TVButton* toggle = Make("t", "type = 1, onalpha = 1, offalpha = 0.5, buttongraphics = { "
                                 "'btn/0.png', 'btn/1.png', 'btn/2.png', 'btn/3.png', "
                                 "'btn/4.png', 'btn/5.png' }");
    ASSERT_NE(toggle, nullptr);
    EXPECT_EQ(toggle->GetDrawSpec().mAlpha, 0.5f);
    toggle->OnMouseMove({5, 5});
    toggle->OnMouseDown({5, 5});
    toggle->OnMouseUp({5, 5});
    EXPECT_TRUE(toggle->IsOn());
    toggle->Update();
    EXPECT_EQ(toggle->GetCurrentGraphic(), 5);
    EXPECT_EQ(toggle->GetDrawSpec().mAlpha, 1.0f);
    toggle->OnMouseLeave();
    EXPECT_EQ(toggle->GetCurrentGraphic(), 3);
    // Disabled while on: 3; off again through a click: back to the lower graphics.
    toggle->SetEnabled(false, false);
    EXPECT_EQ(toggle->GetCurrentGraphic(), 3);
    toggle->SetEnabled(true, false);
    toggle->Update();
    toggle->OnMouseMove({5, 5});
    toggle->OnMouseDown({5, 5});
    toggle->OnMouseUp({5, 5});
    toggle->Update();
    EXPECT_FALSE(toggle->IsOn());
    EXPECT_EQ(toggle->GetCurrentGraphic(), 2);
    EXPECT_EQ(toggle->GetDrawSpec().mAlpha, 0.5f);
}

TEST_F(ButtonTest, AnimatedGraphicAdvancesByTheFrameClock)
{
    std::vector<uint32_t> sheet(48, 0xFFFF0000);
    std::vector<uint8_t> png = sys::display::EncodePng(sheet.data(), 12, 4);
    File("anim/glow.png", std::string(png.begin(), png.end()));
    File("anim/glow.xml", "<sequence><img w=\"12\" h=\"4\" name=\"glow.png\"/><framelist>"
                          "<frame x=\"0\" w=\"4\" h=\"4\"/><frame x=\"4\" w=\"4\" h=\"4\"/>"
                          "<frame x=\"8\" w=\"4\" h=\"4\"/></framelist></sequence>");
    TVButton* button = Make("g", "buttongraphics = { 'anim/glow' }, animatespeed = 100, "
                                 "loopanimation = false");
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->GetGraphics()[0]->IsKindOf(TAnimatedSprite::GetClassId()));
    mClock.SetStep(250);
    button->Update();
    EXPECT_EQ(button->GetFrame(), 2);
    EXPECT_EQ(static_cast<TAnimatedSprite&>(*button->GetGraphics()[0]).GetFrame(), 2);
    button->Update(); // not looping: stays on the last frame
    EXPECT_EQ(button->GetFrame(), 2);

    // Without a period the frames would never be used up: the graphic keeps its frame.
    TVButton* still = Make("s", "buttongraphics = { 'anim/glow' }");
    ASSERT_NE(still, nullptr);
    still->Update();
    EXPECT_EQ(still->GetFrame(), 0);
}

TEST_F(ButtonTest, OffsetsWidenQuarterTurnsKeepTheCentreAndThePositionSpecLeads)
{
    TVButton* offset = Make("o", "x = 50, y = 50, w = 100, h = 40, clickxoffset = 4, "
                                 "rolloverxoffset = -2, spritecollision = false");
    ASSERT_NE(offset, nullptr);
    EXPECT_EQ(offset->GetRect(), TRect(48, 50, 154, 90));
    EXPECT_EQ(offset->GetPositionSpec().mMatrix.m[2][0], 48.0f);

    TVButton* turned = Make("r", "x = 200, y = 200, w = 100, h = 40, rotate = 1");
    ASSERT_NE(turned, nullptr);
    EXPECT_EQ(turned->GetRect(), TRect(230, 170, 270, 270));
    EXPECT_NEAR(turned->GetDrawSpec().mMatrix.m[0][1], 1.0f, 1e-6);
    EXPECT_EQ(turned->GetDrawSpec().mMatrix.m[2][0], 20.0f);
    EXPECT_EQ(turned->GetDrawSpec().mMatrix.m[2][1], 50.0f);

    // A transform that animates the position spec moves the window on the next update.
    offset->GetPositionSpec().mMatrix.m[2][0] = 77.9f;
    offset->Update();
    EXPECT_EQ(offset->GetRect().left, 77);
}

TEST_F(ButtonTest, CaptionsWithStateFontsAndTheFatalReportWithoutAFont)
{
    TVButton* button = Make("c", "w = 120, h = 30, text = '#Play', linebreak = true, "
                                 "font = { '', 14, { 1, 1, 1, 1 } }, "
                                 "fontrollover = { '', 16, { 1, 0, 0, 1 } }, "
                                 "dropshadowoffset = 2, drawtextoverlay = true");
    ASSERT_NE(button, nullptr);
    ASSERT_NE(button->GetCaption(), nullptr);
    EXPECT_STREQ(button->GetCaption()->GetText().c_str(), "Play");
    EXPECT_EQ(button->GetCaption()->GetCurrentFontSize(), 14);
    ASSERT_NE(button->GetRolloverCaption(), nullptr);
    EXPECT_EQ(button->GetRolloverCaption()->GetCurrentFontSize(), 16);
    EXPECT_EQ(button->GetClickCaption(), nullptr);
    ASSERT_EQ(button->GetCaptionSprites().size(), 2u);
    EXPECT_EQ(button->GetCaptionSprites()[0]->GetLayer(), 1);
    EXPECT_EQ(button->GetCaptionSprites()[1]->GetLayer(), -1);
    EXPECT_EQ(button->GetCaptionSprites()[1]->GetColor(), TVec4(0, 0, 0, 1));
    EXPECT_TRUE(button->Animate()); // a caption keeps the update going
    button->SetText("Go");
    EXPECT_STREQ(button->GetRolloverCaption()->GetText().c_str(), "Go");
    EXPECT_STREQ(button->GetCaptionSprites()[1]->GetText().c_str(), "Go");

    // A label is looked up in the string table.
    TVButton* label = Make("l", "w = 60, h = 20, text = 'play_label', font = { '', 12 }");
    ASSERT_NE(label, nullptr);
    EXPECT_STREQ(label->GetCaption()->GetText().c_str(),
                 TApplication::Get()->GetStringTable()->GetString("play_label").c_str());

    TVButton* fatal = Make("f", "w = 60, h = 20, text = '#x'");
    ASSERT_NE(fatal, nullptr);
    EXPECT_EQ(fatal->GetCaption(), nullptr);
    EXPECT_FALSE(fatal->Animate());
    EXPECT_NE(Log().find("ERROR:fontTable   FILE:framework_button.cpp LINE:"), std::string::npos);
}

TEST_F(ButtonTest, PausesWithItsModalsClockThroughItsListener)
{
    TVButton* button = Make("p", "w = 20, h = 10, spritecollision = false");
    ASSERT_NE(button, nullptr);
    button->SetEnabled(false, true); // no disabled alpha: no transform
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Alpha(1000, 0, 1, 0, 1.0f));
    mTransforms.AddTransform(&button->GetTransform(), list);

    const double queued = ScriptNumber("table.getn(gMessageQueue)");
    TModalWindow* modal = button->FindModalParent();
    ASSERT_NE(modal, nullptr);
    modal->GetClock().Pause();
    Post(kButtonPress);
    EXPECT_FALSE(button->IsPaused());
    Post(kUserMessageBase);
    EXPECT_TRUE(button->IsPaused());
    modal->GetClock().Start();
    Post(kModalClosed);
    EXPECT_FALSE(button->IsPaused());
    EXPECT_EQ(ScriptNumber("table.getn(gMessageQueue)"), queued + 3);
}

TEST_F(ButtonTest, AScreenScriptBuildsButtonsAndBitmapsAndHearsThePress)
{
    mManager->GetScript()->DoLuaString(
        "AnimatedBitmap{ name = 'bg', image = 'btn/0.png' }() "
        "Button{ name = 'play', x = 10, y = 10, buttongraphics = { 'btn/1.png' } }()");
    TVButton* play = TVButton::Cast(mManager->GetRoot()->FindChild("play", 0xFFFFFFFFu));
    ASSERT_NE(play, nullptr);
    ASSERT_NE(mManager->GetRoot()->FindChild("bg", 0xFFFFFFFFu), nullptr);
    // One graphic for every state: hovering and pressing keep testing against it.
    play->OnMouseMove({5, 5});
    play->OnMouseDown({5, 5});
    play->OnMouseUp({5, 5});
    mManager->DispatchMessages();
    mManager->GetScript()->DoLuaString(
        "_m = gMessageQueue[table.getn(gMessageQueue)] _name = _m.name _type = _m.type");
    EXPECT_STREQ(mManager->GetScript()->GetGlobalString("_name").c_str(), "play");
    EXPECT_EQ(mManager->GetScript()->GetGlobalNumber("_type"), kButtonPress);
}

// The named sounds: registered at Init, started by the mouse.
class ButtonSoundTest : public fwtest::AudioTest
{
protected:
    void SetUp() override
    {
        AudioTest::SetUp();
        Start("3,a,1,b,2,c,3", {300, 300, 300});
        At(0);
        WindowManager::SetActiveSource(&Active);
    }
    void TearDown() override
    {
        WindowManager::SetActiveSource(nullptr);
        AudioTest::TearDown();
    }
    TScript mScript;
};

TEST_F(ButtonSoundTest, EnterExitAndClickSoundsStartLater)
{
    mScript.DoLuaString("t = { w = 10, h = 10, spritecollision = false, soundenter = 'a', "
                        "soundexit = 'b', soundclick = 'c' }");
    std::unique_ptr<TLuaTable> table(mScript.GetGlobalTable("t"));
    TWindowStyle style(table.get());
    TVButton button;
    button.Init(style);
    button.PostInit(style);
    EXPECT_EQ(button.GetEnterSound(), 1);
    EXPECT_EQ(button.GetExitSound(), 2);
    EXPECT_EQ(button.GetClickSound(), 3);
    for (int handle = 1; handle <= 3; ++handle)
        EXPECT_EQ(Entry(handle).GetRecordCount(), 0u) << handle;

    button.OnMouseMove({5, 5});
    button.OnMouseMove({6, 5}); // already hovered: once only
    EXPECT_EQ(Entry(1).GetRecordCount(), 1u);
    button.OnMouseDown({5, 5});
    EXPECT_EQ(Entry(3).GetRecordCount(), 1u);
    button.OnMouseLeave(); // nothing while pressed
    EXPECT_EQ(Entry(2).GetRecordCount(), 0u);
    // Released: the button is in no window tree, so it leaves at once.
    button.OnMouseUp({5, 5});
    EXPECT_EQ(Entry(2).GetRecordCount(), 1u);
    EXPECT_EQ(Entry(1).GetRecordCount(), 1u);
}
} // namespace
