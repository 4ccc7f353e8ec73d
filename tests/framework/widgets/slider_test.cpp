// The framework's slider made by the window script inside a panel away from the screen's origin,
// driven by synthetic events through the window manager, with its sounds on the sound layer's
// manual output and its pictures on the display stand-in compared with golden PNGs.
#include "framework/widgets/slider.h"

#include "framework/framework_display_support.h"
#include "framework/sound/audio_manager.h"
#include "framework/core/delta_time.h"
#include "framework/core/settings.h"
#include "render/sprites/animated_texture.h"
#include "render/sprites/sprite.h"
#include "render/text/text_sprite.h"
#include "sound/ogg_data_source.h"
#include "sound/ogg_encode.h"
#include "sound/sound_manager.h"
#include "sys/audio/direct_sound.h"
#include "ui/ui_test_support.h"
#include "ui/window_manager.h"
#include "ui/window_script.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <list>
#include <string>
#include <vector>

namespace
{

using uitest::MakeEvent;

// Rail 8 thick (caps 8 x 6, middle 8 x 4), thumb 12 x 20 in three colours, four sounds.
constexpr const char* kSkin =
    "railtop = 'ui/rt.png', railmiddle = 'ui/rm.png', railbottom = 'ui/rb.png', "
    "graphics = { 'ui/t1.png', 'ui/t2.png', 'ui/t3.png' }, soundenter = 'enter', "
    "soundexit = 'exit', soundclick = 'click', soundtick = 'tick'";

enum Sound
{
    kEnter = 1,
    kExit = 2,
    kClick = 3,
    kTick = 4
};

class SliderTest : public fwtest::FrameworkDisplayTest
{
protected:
    void SetUp() override
    {
        FrameworkDisplayTest::SetUp();
        SetConfig("encryptionkey", "Tk7pQ2mW9xLr");
        mManager->RegisterWindowType("Slider", &Slider::Create);

        sys::audio::SetOutputKind(sys::audio::OutputKind::Manual);
        ClearSoundDataSourceBuilders();
        RegisterOggBuilder();
        auto sound = std::make_unique<TSoundManager>();
        sound->Init();
        mImpl->mManagers.mSoundManager = std::move(sound);
        File("audio/snd.txt", "4,enter,1,exit,2,click,3,tick,4");
        for (int i = 1; i <= 4; ++i)
            File("audio/" + std::to_string(i) + ".ogg",
                 soundtest::EncodeOgg(soundtest::Tone(1, 8000, 800), 1, 8000));

        Image("ui/rt.png", 8, 6, 0xFFFF0000);
        Image("ui/rm.png", 8, 4, 0xFF00FF00);
        Image("ui/rb.png", 8, 6, 0xFF0000FF);
        Image("ui/t1.png", 12, 20, 0xFFFFFFFF);
        Image("ui/t2.png", 12, 20, 0xFFFFFF00);
        Image("ui/t3.png", 12, 20, 0xFF00FFFF);

        mAudio = std::make_unique<AudioManager>();
        mSettings = std::make_unique<Settings>();
        mPanel = new uitest::ProbeWindow(&mLog, "panel", TRect(100, 50, 700, 550));
        mManager->GetRoot()->AddChild(mPanel, false);
    }
    void TearDown() override
    {
        mSettings.reset();
        mAudio.reset();
        FrameworkDisplayTest::TearDown();
        ClearSoundDataSourceBuilders();
        sys::audio::ResetOutputKind();
    }
    // Made by the window script inside the panel.
    Slider* Make(const std::string& style)
    {
        mManager->RunScriptInWindow(mPanel, ("Slider{ name = 's', " + style + " }()").c_str());
        TWindow* window = mPanel->FindChild("s", 0xFFFFFFFFu);
        if (window == nullptr || !window->IsKindOf(Slider::GetClassId()))
            return nullptr;
        return static_cast<Slider*>(window);
    }
    // Horizontal at (20, 30) in the panel, 200 x 20, thumb centres 10 from each end.
    Slider* Standard(const std::string& extra = "")
    {
        return Make(std::string("x = 20, y = 30, w = 200, h = 20, xoffset = 10, ") + kSkin + extra);
    }
    void Send(int32_t type, int32_t x, int32_t y) { mManager->HandleEvent(MakeEvent(type, x, y)); }
    size_t Played(int sound) { return mAudio->GetEntry(sound)->GetRecordCount(); }
    // Messages of the slider delivered to the panel since the last call; what else reached the
    // panel stays in the log.
    int Messages()
    {
        mManager->DispatchMessages();
        const auto end = std::remove(mLog.begin(), mLog.end(), "panel msg 9 s");
        const auto count = static_cast<int>(mLog.end() - end);
        mLog.erase(end, mLog.end());
        return count;
    }
    void Drop(Slider* slider)
    {
        mPanel->RemoveChild(slider);
        delete slider;
    }
    std::string Text(const Slider* slider) { return slider->GetValueText()->GetText().c_str(); }

    uitest::ProbeWindow* mPanel = nullptr;
    std::vector<std::string> mLog;
    std::unique_ptr<AudioManager> mAudio;
    std::unique_ptr<Settings> mSettings;
};

TEST_F(SliderTest, ShapeGivesTheOrientationAndTheWindowGrowsAroundTheThumbInItsParent)
{
    Slider* slider = Standard();
    ASSERT_NE(slider, nullptr);
    EXPECT_STREQ(slider->GetClassName(), "Slider");
    EXPECT_TRUE(slider->IsKindOf(TWindow::GetClassId()));
    EXPECT_FALSE(slider->IsVertical());
    // Rail 8 thick with the thumb's centre at 4: 6 of the thumb above and 6 below the rail. The
    // place stays in the panel's coordinates although the panel is away from the origin.
    EXPECT_EQ(slider->GetRect(), TRect(20, 24, 220, 44));
    EXPECT_EQ(slider->GetScreenRect(), TRect(120, 74, 320, 94));
    EXPECT_EQ(slider->GetThumbCentre(), TVec2(100, 10));
    Drop(slider);

    for (const char* shape : {"w = 20, h = 200", "w = 40, h = 40"})
    {
        slider = Make(std::string("x = 20, y = 30, ") + shape + ", " + kSkin);
        ASSERT_NE(slider, nullptr);
        EXPECT_TRUE(slider->IsVertical()) << shape;
        // 2 of the thumb on either side of the rail.
        EXPECT_EQ(slider->GetRect().left, 18) << shape;
        EXPECT_EQ(slider->GetWidth(), 12) << shape;
        EXPECT_EQ(slider->GetThumbCentre().x, 6.0f) << shape;
        Drop(slider);
    }
}

TEST_F(SliderTest, ValueThumbAndTextWithAnInsetClampedOneMessageEachToTheParent)
{
    Slider* slider = Standard(", showvalue = true, font = { '', 10, { 1, 1, 1, 1 } }, "
                              "dropshadowoffset = 2, flags = 5");
    ASSERT_NE(slider, nullptr);
    ASSERT_NE(slider->GetValueShadow(), nullptr);
    EXPECT_EQ(slider->GetValueShadow()->GetLayer(), -1);
    Messages();

    slider->SetValue(0.5f);
    EXPECT_EQ(slider->GetThumbCentre().x, 100.0f);
    EXPECT_FLOAT_EQ(slider->GetValue(), 0.5f);
    EXPECT_EQ(Text(slider), "49");
    EXPECT_EQ(std::string(slider->GetValueShadow()->GetText().c_str()), "49");
    slider->SetValue(0.5f); // unchanged, still announced
    EXPECT_EQ(Messages(), 2);

    const std::vector<std::pair<float, std::string>> cases = {
        {1.7f, "99"},
        {-3.0f, "0"},
        {std::numeric_limits<float>::infinity(), "0"},
        {std::numeric_limits<float>::quiet_NaN(), "0"}};
    for (const auto& [value, text] : cases)
    {
        slider->SetValue(value);
        EXPECT_EQ(Text(slider), text) << value;
        EXPECT_EQ(slider->GetValue(), text == "99" ? 1.0f : 0.0f) << value;
        EXPECT_EQ(slider->GetThumbCentre().x, text == "99" ? 190.0f : 10.0f) << value;
    }
    EXPECT_EQ(Messages(), 4);
}

TEST_F(SliderTest, HoverCaptureDragPastBothEndsTicksAndRelease)
{
    Slider* slider = Standard();
    ASSERT_NE(slider, nullptr);
    slider->SetValue(0.5f); // thumb at screen x 214..225, y 74..93
    Messages();

    Send(kEventMouseMove, 220, 84);
    EXPECT_TRUE(slider->IsHovering());
    EXPECT_EQ(slider->GetCurrentThumb(), 3u);
    EXPECT_EQ(mManager->GetCaptures(), std::vector<TWindow*>{slider});
    Send(kEventMouseMove, 221, 84);
    EXPECT_EQ(Played(kEnter), 1u);

    Send(kEventLeftDown, 222, 84); // 2 right of the centre
    EXPECT_TRUE(slider->IsDragging());
    EXPECT_EQ(slider->GetCurrentThumb(), 2u);
    EXPECT_EQ(Played(kClick), 1u);

    // One pixel moves the shown value by 0.55: a tick only where the whole number changes.
    for (int x : {223, 224, 225})
        Send(kEventMouseMove, x, 84);
    EXPECT_EQ(Played(kTick), 2u);
    EXPECT_EQ(Messages(), 3);
    EXPECT_FLOAT_EQ(slider->GetValue(), 93.0f / 180.0f);

    // Past either end: held at 1 and 0, announced on every move, ticking only on the change.
    Send(kEventMouseMove, 400, 84);
    Send(kEventMouseMove, 500, 300);
    EXPECT_EQ(slider->GetValue(), 1.0f);
    EXPECT_EQ(slider->GetThumbCentre().x, 190.0f);
    Send(kEventMouseMove, 0, 84);
    EXPECT_EQ(slider->GetValue(), 0.0f);
    EXPECT_EQ(Messages(), 3);
    EXPECT_EQ(Played(kTick), 4u);

    // Released away from the thumb: normal image, capture kept until the pointer moves on.
    Send(kEventLeftUp, 0, 84);
    EXPECT_FALSE(slider->IsDragging());
    EXPECT_EQ(slider->GetCurrentThumb(), 1u);
    EXPECT_TRUE(slider->IsHovering());
    EXPECT_EQ(Played(kExit), 0u);
    Send(kEventMouseMove, 1, 84);
    EXPECT_FALSE(slider->IsHovering());
    EXPECT_TRUE(mManager->GetCaptures().empty());
    EXPECT_EQ(Played(kExit), 1u);
    EXPECT_EQ(Messages(), 0) << "a release posts nothing";
    EXPECT_TRUE(mLog.empty()) << "mouse events never reach the panel: " << mLog.front();
}

TEST_F(SliderTest, NoHoverWhileTheButtonIsHeldElsewhereDisabledConsumesAndIgnores)
{
    Slider* slider = Standard();
    ASSERT_NE(slider, nullptr);
    slider->SetValue(0.5f);
    Messages();

    mSettings->SetLeftButtonDown(true);
    Send(kEventMouseMove, 220, 84);
    EXPECT_FALSE(slider->IsHovering());
    EXPECT_EQ(slider->GetCurrentThumb(), 1u);
    EXPECT_TRUE(mManager->GetCaptures().empty());
    EXPECT_EQ(Played(kEnter), 0u);
    mSettings->SetLeftButtonDown(false);

    // A press on the rail beside the thumb changes nothing and is still consumed.
    Send(kEventLeftDown, 150, 84);
    EXPECT_FALSE(slider->IsDragging());

    slider->SetDisabled(true);
    Send(kEventMouseMove, 220, 84);
    Send(kEventLeftDown, 220, 84);
    Send(kEventMouseMove, 260, 84);
    EXPECT_FALSE(slider->IsHovering());
    EXPECT_FALSE(slider->IsDragging());
    EXPECT_EQ(slider->GetThumbCentre().x, 100.0f);
    EXPECT_EQ(Played(kClick), 0u);
    EXPECT_EQ(Messages(), 0);
    EXPECT_TRUE(mLog.empty()) << "consumed, not passed to the panel: " << mLog.front();

    slider->SetDisabled(false);
    Send(kEventMouseMove, 220, 84);
    EXPECT_TRUE(slider->IsHovering());
}

TEST_F(SliderTest, RailAndThumbOfBothOrientationsMatchTheirGoldens)
{
    Platform().SetDisplay(800, 600, false, false, false, false);
    ASSERT_TRUE(Platform().IsDisplayReady());
    Slider* horizontal = Standard();
    ASSERT_NE(horizontal, nullptr);
    horizontal->SetValue(0.25f);
    mManager->RunScriptInWindow(
        mPanel, (std::string("Slider{ name = 'v', x = 300, y = 30, w = 20, h = 120, "
                             "xoffset = 10, yoffset = 2, ") +
                 kSkin + " }()")
                    .c_str());
    auto* vertical = static_cast<Slider*>(mPanel->FindChild("v", 0xFFFFFFFFu));
    ASSERT_NE(vertical, nullptr);
    vertical->SetValue(0.75f);
    vertical->GetSpec().mAlpha = 0.5f; // as a dialog's fade leaves it

    TRenderer* renderer = TRenderer::Instance();
    ASSERT_TRUE(renderer->BeginDraw(false));
    renderer->FillRect(TRect(0, 0, 800, 600), TVec4(0.1f, 0.1f, 0.2f, 1));
    mPanel->Render(0);
    renderer->EndFrame(false);
    rendertest::CompareWithGolden(*Data().mBackBuffer, sys::display::Rect{116, 70, 324, 98},
                                  "slider_horizontal.png");
    rendertest::CompareWithGolden(*Data().mBackBuffer, sys::display::Rect{390, 76, 420, 204},
                                  "slider_vertical.png");
}

TEST_F(SliderTest, AnimatedThumbStepsWithTheFrameClockAndHoldsItsFrameWithoutASpeed)
{
    Image("ui/spin.png", 36, 20, 0xFFFF8000);
    File("ui/spin.xml", "<sequence name=\"spin\" source=\"spin.src\">\n"
                        " <img regx=\"6\" regy=\"10\" w=\"36\" h=\"20\" name=\"spin.png\" "
                        "mask=\"\"/>\n <framelist>\n"
                        "  <frame x=\"0\" y=\"0\" w=\"12\" h=\"20\" regx=\"6\" regy=\"10\"/>\n"
                        "  <frame x=\"12\" y=\"0\" w=\"12\" h=\"20\" regx=\"6\" regy=\"10\"/>\n"
                        "  <frame x=\"24\" y=\"0\" w=\"12\" h=\"20\" regx=\"6\" regy=\"10\"/>\n"
                        " </framelist>\n</sequence>\n");
    const std::string spin = "x = 20, y = 30, w = 200, h = 20, graphics = { 'ui/spin.xml' }";
    mClock.SetStep(100);

    // The default speed 0 would never use up the time: the frame stays and the update returns.
    Slider* slider = Make(spin);
    ASSERT_NE(slider, nullptr);
    EXPECT_TRUE(slider->Animate());
    EXPECT_EQ(slider->GetFrame(), 0);
    Drop(slider);

    slider = Make(spin + ", animatespeed = 40");
    ASSERT_NE(slider, nullptr);
    slider->Animate(); // 100 ms: two frames, 20 left over
    EXPECT_EQ(slider->GetFrame(), 2);
    slider->Animate(); // 120 ms: wraps to 0, then 1
    EXPECT_EQ(slider->GetFrame(), 1);
    Drop(slider);

    slider = Make(spin + ", animatespeed = 40, loopanimation = false");
    ASSERT_NE(slider, nullptr);
    for (int i = 0; i < 5; ++i)
        slider->Animate();
    EXPECT_EQ(TAnimatedTexture::Get("ui/spin.xml")->GetFrame(), 2) << "the last frame stays";
}

TEST_F(SliderTest, BadStylesReportAndLeaveASafeSlider)
{
    struct Case
    {
        const char* style;
        const char* line; // the log line expected, or null
    };
    const Case cases[] = {
        {"x = 0, y = 0, w = 100, h = 10", "ERROR:graphicsTable   FILE:slider LINE:63"},
        {"x = 0, y = 0, w = 100, h = 10, graphics = 'ui/t1.png'",
         "ERROR:graphicsTable   FILE:slider LINE:63"},
        {"x = 0, y = 0, w = 100, h = 10, graphics = { 'ui/t1.png' }, showvalue = true",
         "ERROR:font   FILE:slider LINE:198"},
        {"x = 0, y = 0, w = 100, h = 10, graphics = { 'ui/t1.png' }, showvalue = true, "
         "font = 'big'",
         "ERROR:font   FILE:slider LINE:198"},
        {"x = 0, y = 0, w = 100, h = 10, graphics = { 'none.png', 7 }, railtop = 'none.png', "
         "railmiddle = {}, soundclick = 'unknown'",
         nullptr},
        {"x = 0, y = 0, w = 100, h = 10, graphics = { 'ui/t1.png' }, xoffset = 1e300, "
         "yoffset = -1e300, animatespeed = 'fast', showvalue = 'yes', "
         "font = { {}, 'huge', 'red' }, flags = {}, dropshadowoffset = 1e300, "
         "textxoffset = 0/0",
         nullptr},
    };
    for (const Case& c : cases)
    {
        Slider* slider = Make(c.style);
        ASSERT_NE(slider, nullptr) << c.style;
        if (c.line != nullptr)
        {
            EXPECT_NE(Log().find(c.line), std::string::npos) << c.style;
            EXPECT_GT(mManager->GetQueuedCount(), 0u) << "the quit is posted";
        }
        slider->SetValue(0.3f);
        EXPECT_GE(slider->GetValue(), 0.0f);
        slider->Animate();
        Send(kEventMouseMove, 150, 55);
        Send(kEventLeftDown, 150, 55);
        Send(kEventMouseMove, 170, 55);
        Send(kEventLeftUp, 170, 55);
        DrawBlack([&] { mPanel->Render(0); });
        Drop(slider);
        mLog.clear();
    }
}

TEST_F(SliderTest, NoRoomToTravelValueIsZeroAndDragsDoNothing)
{
    // 20 long with a 10 inset: the thumb's centre has nowhere to go.
    Slider* slider = Make(std::string("x = 20, y = 30, w = 20, h = 10, xoffset = 10, ") + kSkin);
    ASSERT_NE(slider, nullptr);
    slider->SetValue(0.7f);
    EXPECT_EQ(slider->GetValue(), 0.0f);
    const TVec2 centre = slider->GetThumbCentre();
    EXPECT_EQ(centre.x, 10.0f);
    Messages();
    const TRect screen = slider->GetScreenRect();
    const int32_t x = screen.left + 10;
    const int32_t y = screen.top + static_cast<int32_t>(centre.y);
    Send(kEventMouseMove, x, y);
    Send(kEventLeftDown, x, y);
    ASSERT_TRUE(slider->IsDragging());
    Send(kEventMouseMove, x + 5, y);
    Send(kEventMouseMove, x - 50, y);
    EXPECT_EQ(slider->GetThumbCentre(), centre);
    EXPECT_EQ(slider->GetValue(), 0.0f);
    EXPECT_EQ(Messages(), 0);
    EXPECT_EQ(Played(kTick), 0u);
}

TEST(RectContainsPointTest, HalfOpen)
{
    const TRect r(10, 20, 30, 40);
    EXPECT_TRUE(RectContainsPoint(r, 10, 20));
    EXPECT_TRUE(RectContainsPoint(r, 29, 39));
    EXPECT_FALSE(RectContainsPoint(r, 30, 39));
    EXPECT_FALSE(RectContainsPoint(r, 29, 40));
    EXPECT_FALSE(RectContainsPoint(r, 9, 25));
    EXPECT_FALSE(RectContainsPoint(TRect(5, 5, 5, 9), 5, 6)) << "empty";
}

} // namespace
