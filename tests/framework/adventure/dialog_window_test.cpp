// The animated dialog made by screen scripts on the headless display: its path in and out, the
// return value handed to the waiting script, the fade over its siblings, the enclosing screen's
// widgets, pausing under a covering modal, the emitter and its hand-over, and broken styles.
#include "framework/adventure/dialog_window.h"

#include "framework/adventure/framed_screen_support.h"
#include "framework/audio_test_support.h"

#include "framework/widgets/animated_bitmap.h"
#include "framework/widgets/custom_text_edit.h"
#include "framework/core/delta_time.h"
#include "framework/widgets/framework_button.h"
#include "framework/screens/game_window.h"
#include "framework/transforms/transform_manager.h"
#include "framework/core/window_manager.h"
#include "particles/lua_particle_system.h"
#include "render/renderer/renderer.h"
#include "render/sprites/sprite.h"
#include "script/script.h"
#include "ui/image.h"
#include "ui/text_window.h"
#include "ui/ui_display_support.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

// A widget the screen's enabler reaches; counts the times it was switched back on.
class FakeButton : public TWindow
{
public:
    static TWindow* Create() { return new FakeButton; }
    static TClassId GetClassId() { return reinterpret_cast<TClassId>(&FakeButton::Create); }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || TWindow::IsKindOf(id);
    }
    static void Enable(TWindow* window, bool enable)
    {
        if (!window->IsKindOf(GetClassId()))
            return;
        auto* button = static_cast<FakeButton*>(window);
        if (enable && !button->mEnabled)
            ++button->mEnables;
        button->mEnabled = enable;
    }
    bool mEnabled = true;
    int mEnables = 0;
};

// A face of 100 x 50 red pixels.
const char kFace[] = "image = 'face.png', x = 200, y = 100";

class DialogWindowTest : public adventuretest::FramedScreenTest
{
protected:
    void SetUp() override
    {
        FramedScreenTest::SetUp();
        mManager->RegisterWindowType("DialogWindow", &DialogWindow::Create);
        mManager->RegisterWindowType("GameWindow", &GameWindow::Create);
        mManager->RegisterWindowType("Button", &FakeButton::Create);
        mManager->RegisterWindowType("VButton", &TVButton::Create);
        mManager->RegisterWindowType("TextEdit", &CustomTextEdit::Create);
        auto* root = static_cast<TScreen*>(mManager->GetRoot());
        root->mAlwaysClear = true;
        root->mClearColor = TVec4(1, 1, 1, 1);
        Serve("face.png", uitest::FlatPng(100, 50, 0xFF0000));
        GameWindow::UIEnabler::SetButtonEnabler(&FakeButton::Enable);
    }
    void TearDown() override
    {
        GameWindow::UIEnabler::SetButtonEnabler(nullptr);
        FramedScreenTest::TearDown();
    }
    DialogWindow* Dialog(const char* name = "dlg")
    {
        TWindow* window = Find(name);
        return window != nullptr && window->IsKindOf(DialogWindow::GetClassId())
                   ? static_cast<DialogWindow*>(window)
                   : nullptr;
    }
    FakeButton* ButtonNamed(const char* name) { return static_cast<FakeButton*>(Find(name)); }
};

TEST_F(DialogWindowTest, DropsOvershootsAndSettlesWithTheScreensButtonsOffUntilItRests)
{
    Do(std::string("PushModal('a') GameWindow{ name = 'gamewindow', w = 800, h = 600, "
                   "Button{ name = 'b' }, DialogWindow{ name = 'dlg', ") +
       kFace +
       ", transform = { timeenter = 200.9, timeenterbounce = 100, moveenterbounce = 20 } "
       "} }()");
    DialogWindow* dialog = Dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_STREQ(dialog->GetClassName(), "DialogWindow");
    FakeButton* button = ButtonNamed("b");
    EXPECT_EQ(dialog->GetState(), DialogWindow::kEntering);
    EXPECT_EQ(dialog->GetRect(), TRect(200, -50, 300, 0)) << "just above the screen";
    EXPECT_FALSE(button->mEnabled);

    Step(16);  // the drop's clock starts
    Step(100); // the middle of the logistic curve
    EXPECT_FLOAT_EQ(dialog->GetTransform().GetY(), 35.0f);
    Step(16); // the window follows the transform in the next frame's step
    EXPECT_EQ(dialog->GetRect().top, 35);
    Step(84); // the drop ends at the overshoot
    EXPECT_FLOAT_EQ(dialog->GetTransform().GetY(), 120.0f);
    EXPECT_FLOAT_EQ(dialog->GetTransform().GetAlpha(), 1.0f);
    Step(16); // the settle starts
    EXPECT_EQ(dialog->GetRect().top, 120);
    Step(50);
    EXPECT_FLOAT_EQ(dialog->GetTransform().GetY(), 110.0f);
    EXPECT_FALSE(button->mEnabled);
    Step(50);
    EXPECT_EQ(dialog->GetState(), DialogWindow::kShown);
    EXPECT_EQ(dialog->GetRect(), TRect(200, 100, 300, 150));
    EXPECT_TRUE(button->mEnabled);
    for (int i = 0; i < 5; ++i)
        Step(100);
    EXPECT_EQ(button->mEnables, 1);
    EXPECT_EQ(mTransforms.GetGroupCount(), 0u);
    Paint();
    EXPECT_EQ(Pixel(200, 100), 0xFF0000u);
    EXPECT_EQ(Pixel(299, 149), 0xFF0000u);
    EXPECT_EQ(Pixel(199, 100), 0xFFFFFFu);
    EXPECT_EQ(Pixel(200, 150), 0xFFFFFFu);

    // Zero times: at rest and opaque after the first steps, the end noticed once.
    Do(std::string("PushModal('z') GameWindow{ name = 'gamewindow', Button{ name = 'b2' }, "
                   "DialogWindow{ name = 'quick', ") +
       kFace + ", transform = {} } }()");
    DialogWindow* quick = Dialog("quick");
    for (int i = 0; i < 4; ++i)
        Step(16);
    EXPECT_EQ(quick->GetState(), DialogWindow::kShown);
    EXPECT_EQ(quick->GetRect().top, 100);
    EXPECT_FLOAT_EQ(quick->GetSprite()->GetSpec().mAlpha, 1.0f);
    EXPECT_EQ(ButtonNamed("b2")->mEnables, 1);
}

TEST_F(DialogWindowTest, WindowReturnFliesOutThenDoModalAnswersTheValueUnchanged)
{
    EXPECT_EQ(DialogWindow::QuoteForScript("yes"), TString("yes"));
    EXPECT_EQ(DialogWindow::QuoteForScript("a'b\\c\n\x01"
                                           "9\x7f"),
              TString("a\\'b\\\\c\\010\\0019\\127"));

    Serve("dlg.lua", std::string("GameWindow{ name = 'gamewindow', scrim = true, skipintro = true, "
                                 "scrimtime = 50, Button{ name = 'b' }, "
                                 "DialogWindow{ name = 'dlg', skipintro = true, ") +
                         kFace + ", transform = { timeexit = 300, timeenter = 500 } } }()");
    Do("return function() result = DoModal('dlg.lua') end");
    DialogWindow* dialog = Dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->GetState(), DialogWindow::kShown) << "no entry with skipintro";
    EXPECT_EQ(dialog->GetRect().top, 100);
    EXPECT_EQ(mTransforms.GetGroupCount(), 0u);
    EXPECT_TRUE(ButtonNamed("b")->mEnabled);

    const std::string value = "it's C:\\dir\\ \"quoted\"\n]]";
    mScript->SetGlobalString("value", value.c_str());
    Do("WindowReturn(value)");
    auto* screen = static_cast<GameWindow*>(Find("gamewindow"));
    EXPECT_EQ(dialog->GetState(), DialogWindow::kExiting);
    EXPECT_EQ(screen->GetState(), GameWindow::kClosing) << "the scrim fades out";
    EXPECT_FALSE(ButtonNamed("b")->mEnabled);
    Step(16);
    Step(150);
    Step(16);
    EXPECT_LT(dialog->GetRect().top, 100);
    EXPECT_GT(dialog->GetRect().top, -50);
    Step(133);
    EXPECT_EQ(Global("result"), "nil") << "one step short of timeexit";
    Step(1);
    Step(0);
    EXPECT_EQ(Global("result"), value);
    EXPECT_EQ(mManager->GetTopModal(), mRoot);
}

TEST_F(DialogWindowTest, ANameTypedIntoTheDialogComesBackFromDoModalUnchanged)
{
    Serve("name.lua", std::string("GameWindow{ name = 'gamewindow', DialogWindow{ name = 'dlg', ") +
                          kFace +
                          ", transform = { timeexit = 50 }, "
                          "  TextEdit{ name = 'name', x = 10, y = 10, w = 80, h = 20, "
                          "    length = 40 } } }()");
    Do("return function() result = DoModal('name.lua') end");
    ASSERT_NE(Find("name"), nullptr);
    const std::string typed = "O'Brien \\ \\' ]] %s";
    for (char c : typed)
        mManager->HandleEvent(uitest::MakeEvent(kEventChar, 0, 0, static_cast<uint8_t>(c)));
    Do("WindowReturn(GetLabel('name'))");
    for (int i = 0; i < 4; ++i)
        Step(30);
    EXPECT_EQ(Global("result"), typed);
    EXPECT_EQ(mManager->GetTopModal(), mRoot);
}

TEST_F(DialogWindowTest, ASecondWindowReturnWhileLeavingRestartsTheExitAndHandsOverTheLastValue)
{
    Serve("dlg.lua", std::string("GameWindow{ name = 'gamewindow', Button{ name = 'b' }, "
                                 "DialogWindow{ name = 'dlg', ") +
                         kFace + ", transform = { timeexit = 100, timeenter = 100 } } }()");
    Do("return function() result = DoModal('dlg.lua') closed = (closed or 0) + 1 end");
    DialogWindow* dialog = Dialog();
    Step(16);
    Step(50);
    // Leaving in the middle of the entry: the entry's end never comes.
    Do("WindowReturn('first')");
    Step(16);
    Step(60);
    Do("WindowReturn('second')");
    EXPECT_EQ(dialog->GetState(), DialogWindow::kExiting);
    Step(16);
    Step(60);
    EXPECT_EQ(Global("result"), "nil");
    EXPECT_EQ(dialog->GetState(), DialogWindow::kExiting);
    Step(40);
    Step(0);
    EXPECT_EQ(Global("result"), "second");
    EXPECT_EQ(Global("closed"), "1");
    EXPECT_EQ(ButtonNamed("b"), nullptr);
    for (int i = 0; i < 4; ++i)
        Step(100);
    EXPECT_EQ(mManager->GetTopModal(), mRoot);
}

// The same answer again while leaving (Enter pressed twice on a default button) leaves once: the
// value comes back when the first exit ends.
TEST_F(DialogWindowTest, TheSameAnswerAgainWhileLeavingDoesNotStartTheExitOver)
{
    Serve("dlg.lua", std::string("GameWindow{ name = 'gamewindow', DialogWindow{ name = 'dlg', ") +
                         kFace + ", transform = { timeexit = 100, timeenter = 100 } } }()");
    Do("return function() result = DoModal('dlg.lua') end");
    DialogWindow* dialog = Dialog();
    for (int i = 0; i < 4; ++i)
        Step(100);
    ASSERT_EQ(dialog->GetState(), DialogWindow::kShown);
    Do("WindowReturn('yes')");
    Step(16);
    Step(60);
    Do("WindowReturn('yes')");
    Step(16);
    Step(40);
    Step(0);
    EXPECT_EQ(Global("result"), "yes");
}

TEST_F(DialogWindowTest, ACoveringModalPausesItAndItsClosingResumesAndRebindsWindowReturn)
{
    Serve("dot.png", uitest::FlatPng(10, 10, 0x0000FF));
    Do(std::string("PushModal('a') DialogWindow{ name = 'dlg', ") + kFace +
       ", transform = { timeenter = 200 }, bitmaps = { { image = 'dot.png' } } }()");
    DialogWindow* dialog = Dialog();
    Step(16);
    Step(100);
    Step(16);
    int32_t top = dialog->GetRect().top;
    Do(std::string("PushModal('b') GameWindow{ name = 'gamewindow' }() "
                   "DialogWindow{ name = 'over', skipintro = true, ") +
       kFace + ", transform = {} }()");
    Step(16);
    EXPECT_TRUE(dialog->IsPaused());
    EXPECT_TRUE(dialog->GetBitmaps()[0]->IsPaused());
    EXPECT_FALSE(Dialog("over")->IsPaused());
    Step(1000);
    Step(16);
    EXPECT_EQ(dialog->GetRect().top, top);
    EXPECT_EQ(dialog->GetState(), DialogWindow::kEntering);

    mManager->PopModal();
    Step(16);
    EXPECT_FALSE(dialog->IsPaused());
    EXPECT_FALSE(dialog->GetBitmaps()[0]->IsPaused());
    EXPECT_EQ(Dialog("over"), nullptr);
    Step(16);
    EXPECT_GT(dialog->GetRect().top, top) << "goes on where it stopped";
    Step(100);
    Step(16);
    EXPECT_EQ(dialog->GetState(), DialogWindow::kShown);
    Do("WindowReturn('back')");
    EXPECT_EQ(dialog->GetState(), DialogWindow::kExiting);
    EXPECT_EQ(dialog->GetReturnValue(), TString("back"));

    // Gone while it holds the name: the name is cleared, a kept reference reaches nothing.
    Do("kept = WindowReturn");
    mManager->PopModal();
    Step(16);
    Do("cleared = tostring(WindowReturn == nil) ok = tostring(pcall(kept, 'x'))");
    EXPECT_EQ(Global("cleared"), "true");
    EXPECT_EQ(Global("ok"), "false");
}

TEST_F(DialogWindowTest, TheFadeReachesTheSiblingsAndTheirChildren)
{
    Serve("dot.png", uitest::FlatPng(10, 10, 0x0000FF));
    Do(std::string("PushModal('a') GameWindow{ name = 'gamewindow', w = 800, h = 600, "
                   "Text{ name = 'caption', w = 100, h = 20, text = 'Hi' }, "
                   "Window{ name = 'group', Bitmap{ name = 'pic', image = 'dot.png' }, "
                   "  VButton{ name = 'vb', buttongraphics = { 'dot.png' } } }, "
                   "DialogWindow{ name = 'dlg', ") +
       kFace +
       ", transform = { timeenter = 200, timeexit = 200 }, "
       "  bitmaps = { { image = 'dot.png', x = 10, y = 10 }, 'no table' } } }()");
    DialogWindow* dialog = Dialog();
    auto* caption = static_cast<TText*>(Find("caption"));
    auto* picture = TImage::FromWindow(Find("pic"));
    ASSERT_NE(picture, nullptr);
    Step(16);
    Step(100);
    Step(0);
    EXPECT_FLOAT_EQ(caption->GetAlpha(), 0.5f);
    EXPECT_FLOAT_EQ(picture->GetAlpha(), 0.5f);
    EXPECT_FLOAT_EQ(dialog->GetSprite()->GetSpec().mAlpha, 0.5f);
    auto* button = static_cast<TVButton*>(Find("vb"));
    EXPECT_FLOAT_EQ(button->GetDrawSpec().mAlpha, 0.5f);
    ASSERT_EQ(dialog->GetBitmaps().size(), 1u);
    Paint();
    int32_t top = dialog->GetRect().top;
    EXPECT_EQ(Pixel(250, top + 10), 0xFF7F7Fu);
    Step(100);
    Step(0);
    EXPECT_FLOAT_EQ(caption->GetAlpha(), 1.0f);
    EXPECT_FLOAT_EQ(picture->GetAlpha(), 1.0f);
    Paint(); // the bitmap on the face
    EXPECT_EQ(Pixel(200 + 12, 100 + 12), 0x0000FFu);
    EXPECT_EQ(Pixel(200 + 30, 100 + 30), 0xFF0000u);

    Do("WindowReturn('')");
    Step(16);
    Step(100);
    Step(0);
    EXPECT_FLOAT_EQ(picture->GetAlpha(), 0.5f);
}

TEST_F(DialogWindowTest, TheEmitterFollowsWithItsOffsetAndGoesToTheScreenBeneath)
{
    const char* particles =
        ", particles = { 10, 20, 5 }, particlescript = 'SetNumParticles(2) pAge = Allocate(1) "
        "pAge:Anim(pAge + fTimeScale(1)) Anim(fExpire(fLess(1, pAge))) gEmit = 7'";
    GameWindow* screen = nullptr;
    Do("PushModal('a') GameWindow{ name = 'gamewindow' }()");
    screen = static_cast<GameWindow*>(Find("gamewindow"));
    Do(std::string("PushModal('b') DialogWindow{ name = 'dlg', ") + kFace + particles +
       ", transform = { timeenter = 100, timeexit = 1000 } }()");
    DialogWindow* dialog = Dialog();
    ASSERT_NE(dialog->GetParticles(), nullptr);
    TScript* effect = dialog->GetParticles()->GetScript();
    EXPECT_EQ(effect->GetGlobalNumber("gEmit"), 1);
    EXPECT_EQ(dialog->GetWidthVectors()[0]->mValue[0], 5.0f);
    const ParticleVector& locus = *dialog->GetLocus()[0];
    const ParticleVector& previous = *dialog->GetPreviousPosition()[0];
    Step(16);
    Step(50);
    float before = locus.mValue[1];
    Step(16);
    // The step before the transforms': the middle of the drop, and the frame before it.
    EXPECT_EQ(locus.mValue[0], 210.0f);
    EXPECT_FLOAT_EQ(locus.mValue[1], 25.0f + 20);
    EXPECT_EQ(previous.mValue[0], 210.0f);
    EXPECT_EQ(previous.mValue[1], before);
    Step(50);
    Step(16);
    EXPECT_EQ(effect->GetGlobalNumber("gEmit"), 0);
    Step(16);
    EXPECT_EQ(locus.mValue[1], 120.0f);

    dialog->GetParticles()->GetScript()->DoLuaString("CreateParticles(2)");
    std::weak_ptr<TLuaParticleSystem> system = dialog->GetParticles();
    Do("WindowReturn('x')");
    EXPECT_EQ(effect->GetGlobalNumber("gEmit"), 1);
    mManager->PopModal();
    EXPECT_EQ(effect->GetGlobalNumber("gEmit"), 0);
    Step(16);
    EXPECT_EQ(Dialog(), nullptr);
    EXPECT_EQ(screen->GetParticleSystemCount(), 1u);
    EXPECT_FALSE(system.expired());
    Step(600);
    Step(600);
    EXPECT_EQ(screen->GetParticleSystemCount(), 0u);
    EXPECT_TRUE(system.expired());

    // No screen beneath to take it: the report, and the effect dies with the dialog.
    Do(std::string("PushModal('c') PushModal('d') DialogWindow{ name = 'dlg', ") + kFace +
       particles + ", transform = {} }()");
    system = Dialog()->GetParticles();
    mManager->PopModal();
    Step(16);
    EXPECT_NE(Log().find("ERROR:Cannot find gamewindow!   FILE:dialogwindow LINE:343"),
              std::string::npos);
    EXPECT_TRUE(system.expired());
}

TEST_F(DialogWindowTest, WithoutTransformTableTheGameQuitsAndTheDialogStaysSafe)
{
    Do("function CreateNamedMessage(t, n) return n end "
       "function PostMessage(m) posted = m end");
    Do(std::string("PushModal('a') DialogWindow{ name = 'dlg', ") + kFace + " }()");
    EXPECT_NE(Log().find("ERROR:ERROR: No transform table in DialogWindow   "
                         "FILE:dialogwindow LINE:77"),
              std::string::npos);
    EXPECT_EQ(Global("posted"), "quit");
    DialogWindow* dialog = Dialog();
    ASSERT_NE(dialog, nullptr);
    Step(16);
    Step(16);
    Paint();
    EXPECT_EQ(dialog->GetState(), DialogWindow::kShown);

    // Wrongly typed values come back as empty text.
    Do("WindowReturn(nil)");
    EXPECT_EQ(dialog->GetState(), DialogWindow::kExiting);
    Do("WindowReturn({}) WindowReturn(WindowReturn)");
    EXPECT_EQ(dialog->GetReturnValue(), TString(""));
    Do("WindowReturn(12)");
    EXPECT_EQ(dialog->GetReturnValue(), TString("12"));

    // Wrongly typed and absurd style values: read as their defaults or held in range.
    Do("PushModal('b') DialogWindow{ name = 'odd', image = {}, skipintro = 'no', soundin = {}, "
       "transform = { timeenter = 'x', timeexit = -5, timeenterbounce = 1e300, "
       "moveenterbounce = 0/0 }, particles = { 'a', {}, 1e300 }, bitmaps = 7 }() "
       "DialogWindow{ name = 'odd2', transform = 5, particles = 'x', bitmaps = { 1, 'b' } }()");
    DialogWindow* odd = Dialog("odd");
    ASSERT_NE(odd, nullptr);
    EXPECT_EQ(odd->GetBitmaps().size(), 0u);
    ASSERT_NE(odd->GetParticles(), nullptr);
    EXPECT_EQ(odd->GetLocus()[0]->mValue[0], 0.0f);
    Step(16);
    Step(16);
    EXPECT_EQ(odd->GetState(), DialogWindow::kEntering) << "the settle takes the most an int holds";
    Paint();
    Do("WindowReturn('z')");
    Step(16);
    Step(16);
    Step(0);
    EXPECT_EQ(rendertest::CountOf(Log(), "No transform table in DialogWindow"), 2)
        << "a transform that is no table is none";
    EXPECT_EQ(Dialog("odd2")->GetParticles(), nullptr);
}

// The named sounds, with the sound layer's test output and no display.
class DialogWindowSoundTest : public fwtest::AudioTest
{
protected:
    void SetUp() override
    {
        AudioTest::SetUp();
        Start("2,in,1,out,2", {300, 300});
        mWindows = std::make_unique<TWindowManager>();
        mWindows->CreateRoot(800, 600);
        mWindows->CreateScript();
        mWindows->RegisterWindowType("DialogWindow", &DialogWindow::Create);
    }
    void TearDown() override
    {
        mWindows.reset();
        AudioTest::TearDown();
    }
    DialogWindow* Make(const std::string& keys)
    {
        mWindows->GetScript()->DoLuaString(
            ("PushModal('m') DialogWindow{ name = 'dlg', soundin = 'in', soundout = 'out', "
             "transform = {}, " +
             keys + " }()")
                .c_str());
        return static_cast<DialogWindow*>(mWindows->GetTopModal()->FindChild("dlg", 1));
    }

    TransformManager mTransforms;
    std::unique_ptr<TWindowManager> mWindows;
};

TEST_F(DialogWindowSoundTest, TheEntrySoundPlaysWhenTheDropStartsAndTheExitSoundWhenItLeaves)
{
    DialogWindow* dialog = Make("skipintro = true");
    int32_t in = dialog->GetSoundIn();
    int32_t out = dialog->GetSoundOut();
    ASSERT_NE(in, 0);
    ASSERT_NE(out, 0);
    EXPECT_EQ(Entry(in).GetRecordCount(), 0u) << "resolved, not started";
    EXPECT_EQ(Entry(out).GetRecordCount(), 0u);
    mWindows->GetScript()->DoLuaString("WindowReturn('x')");
    EXPECT_EQ(Entry(in).GetRecordCount(), 0u);
    EXPECT_EQ(Entry(out).GetRecordCount(), 1u);

    mWindows->PopModal();
    mWindows->ProcessDeletions();
    DialogWindow* second = Make("");
    EXPECT_EQ(Entry(second->GetSoundIn()).GetRecordCount(), 1u);
    EXPECT_EQ(second->GetState(), DialogWindow::kEntering);
}

} // namespace
