// The game's entry field typed through the window manager on the headless display, with the sound
// layer's manual output: a preset text cleared by the first click or edit, forced case, one random
// typing sound per accepted edit, the window shown while the field holds text, the focus taken
// back, malformed styles, and a typed name handed back by a screen script.
#include "framework/custom_text_edit.h"

#include "../sound/ogg_encode.h"
#include "../ui/ui_display_support.h"
#include "framework/audio_manager.h"
#include "framework/delta_time.h"
#include "framework/window_manager.h"
#include "platform/application.h"
#include "sound/ogg_data_source.h"
#include "sound/sound_data_source.h"
#include "sound/sound_manager.h"
#include "sys/audio/direct_sound.h"
#include "sys/audio/test_hooks.h"

#include <functional>
#include <string>
#include <vector>

namespace
{

constexpr int32_t kLeft = -126;
constexpr int32_t kRight = -125;
constexpr int32_t kDelete = -1;

// Sample rates that tell the three sounds' buffers apart (two seconds of 16-bit mono each).
constexpr int kTickRate = 8000;
constexpr int kTackRate = 12000;
constexpr int kTockRate = 16000;

class CustomTextEditTest : public uitest::UiDisplayTest
{
protected:
    void SetUp() override
    {
        UiDisplayTest::SetUp();
        sys::audio::ClearFaults();
        sys::audio::SetOutputKind(sys::audio::OutputKind::Manual);
        sys::audio::EnableCallLog(true);
        ClearSoundDataSourceBuilders();
        RegisterOggBuilder();
        mImpl->mManagers.mSoundManager = std::make_unique<TSoundManager>();
        ASSERT_TRUE(mImpl->mManagers.mSoundManager->Init());
        Serve("audio/snd.txt", "3,tick,1,tack,2,tock,3");
        int rates[] = {kTickRate, kTackRate, kTockRate};
        for (int i = 0; i < 3; ++i)
            Serve("audio/" + std::to_string(i + 1) + ".ogg",
                  soundtest::EncodeOgg(soundtest::Tone(1, rates[i], uint32_t(rates[i]) / 10), 1,
                                       rates[i]));
        mAudio = std::make_unique<AudioManager>();
        mFrames = std::make_unique<WindowManager>();
        mManager->RegisterWindowType("TextEdit", &CustomTextEdit::Create);
        sys::audio::TakeCallLog();
    }
    void TearDown() override
    {
        mFrames.reset();
        mAudio.reset();
        mImpl->mManagers.mSoundManager.reset();
        ClearSoundDataSourceBuilders();
        sys::audio::EnableCallLog(false);
        sys::audio::ResetOutputKind();
        UiDisplayTest::TearDown();
    }

    CustomTextEdit* Make(const std::string& name, const std::string& style, int y = 100)
    {
        Do("TextEdit{ name = '" + name + "', x = 100, y = " + std::to_string(y) +
           ", w = 200, h = 30, " + style + " }()");
        TWindow* w = Find(name.c_str());
        return w != nullptr && w->IsKindOf(CustomTextEdit::GetClassId())
                   ? static_cast<CustomTextEdit*>(w)
                   : nullptr;
    }
    static void Destroy(TWindow* window)
    {
        window->GetParent()->RemoveChild(window);
        delete window;
    }
    static std::string Text(TTextEdit* edit) { return edit->GetText().c_str(); }
    static bool Visible(TWindow* window) { return (window->GetFlags() & kWindowVisible) != 0; }
    void Type(const std::string& text)
    {
        for (char c : text)
            mManager->HandleEvent(uitest::MakeEvent(kEventChar, 0, 0, static_cast<uint8_t>(c)));
    }
    void Key(int32_t key, int32_t modifiers = 0)
    {
        mManager->HandleEvent(uitest::MakeEvent(kEventKeyDown, 0, 0, key, modifiers));
    }
    void Click(TWindow* window)
    {
        TRect r = window->GetScreenRect();
        Mouse(kEventLeftDown, r.left + 5, r.top + 5);
        Mouse(kEventLeftUp, r.left + 5, r.top + 5);
    }
    // The sounds started since the last call, by their new buffers' sizes.
    static std::string Played()
    {
        std::string out;
        for (const auto& record : sys::audio::TakeCallLog())
        {
            if (record.call.rfind("CreateSoundBuffer ", 0) != 0)
                continue;
            int rate = std::stoi(record.call.substr(18)) / 4;
            out += rate == kTickRate ? "tick " : rate == kTackRate ? "tack " : "tock ";
        }
        return out;
    }

    DeltaTime mClock;
    std::unique_ptr<AudioManager> mAudio;
    std::unique_ptr<WindowManager> mFrames;
};

TEST_F(CustomTextEditTest, ClearInitialEmptiesTheTextBeforeTheFirstClickOrEditActs)
{
    // Whatever comes first, the preset text goes and the caret stands at 0; the same event on
    // the empty text then changes nothing.
    std::vector<std::function<void(TWindow*)>> firsts = {
        [&](TWindow*) { Type("\b"); }, [&](TWindow*) { Key(kLeft); },
        [&](TWindow*) { Key(kRight); }, [&](TWindow*) { Key(kDelete); },
        [&](TWindow* edit) { Click(edit); }};
    for (size_t i = 0; i < firsts.size(); ++i)
    {
        CustomTextEdit* edit = Make("e", "clearinitial = true, label = 'Your name'");
        ASSERT_NE(edit, nullptr);
        EXPECT_FALSE(edit->IsInitialKept());
        EXPECT_EQ(Text(edit), "Your name");
        firsts[i](edit);
        EXPECT_EQ(Text(edit), "") << i;
        EXPECT_EQ(edit->GetCaret(), 0) << i;
        EXPECT_TRUE(edit->IsInitialKept());
        firsts[i](edit);
        EXPECT_EQ(Text(edit), "") << i;
        EXPECT_EQ(edit->GetCaret(), 0) << i;
        Type("ab");
        EXPECT_EQ(Text(edit), "ab") << i;
        Destroy(edit);
    }
    CustomTextEdit* edit = Make("e", "clearinitial = true, label = 'Your name'");
    Type("Jo");
    EXPECT_EQ(Text(edit), "Jo") << "the first letter starts a fresh text";
    Click(edit);
    EXPECT_EQ(Text(edit), "Jo") << "cleared once only";

    EXPECT_STREQ(edit->GetClassName(), "CustomTextEdit");
    for (TClassId id : {CustomTextEdit::GetClassId(), TTextEdit::GetClassId(), TText::GetClassId(),
                        TWindow::GetClassId()})
        EXPECT_TRUE(edit->IsKindOf(id));
    EXPECT_FALSE(edit->IsKindOf(TModalWindow::GetClassId()));
}

TEST_F(CustomTextEditTest, ForcedCaseTouchesOnlyTheLettersOfTheOtherCase)
{
    CustomTextEdit* upper = Make("u", "forceupper = true, forcelower = true, length = 30");
    ASSERT_NE(upper, nullptr);
    EXPECT_FALSE(upper->IsForceLower()) << "not read while upper case is forced";
    Type("az AZ09-`{@[");
    EXPECT_EQ(Text(upper), "AZ AZ09-`{@[");
    Destroy(upper);

    // In UTF-8 mode typed characters arrive as code points.
    CustomTextEdit* lower = Make("l", "forcelower = true, utf8 = true, length = 30");
    Type("AZaz@[");
    mManager->HandleEvent(uitest::MakeEvent(kEventWideChar, 0, 0, 'Q'));
    mManager->HandleEvent(uitest::MakeEvent(kEventWideChar, 0, 0, 0xC9));
    EXPECT_EQ(Text(lower), "azaz@[q\xC3\x89");
}

TEST_F(CustomTextEditTest, OneRandomSoundPerAcceptedEdit)
{
    CustomTextEdit* quiet = Make("q", "");
    Type("ab\b");
    Key(kLeft);
    EXPECT_EQ(Text(quiet), "a");
    EXPECT_EQ(Played(), "") << "no sounds, no sound";
    Destroy(quiet);

    mClock.SetFrameTime(4321);
    CustomTextEdit* edit =
        Make("s", "length = 10, sounds = { 'tick', 'nosuch', 'tack', 'tock?volume=0.5', 'tick' }");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->GetSounds(), (std::vector<int32_t>{1, 2, 3, 1})) << "the unknown name dropped";
    EXPECT_EQ(mAudio->GetEntry(1)->mReferences, 2);

    Type("abcdefghij"); // the tenth is refused by the length
    Key(kLeft);
    Key(kRight);
    Key(kRight); // refused at the end
    Type("\b");
    EXPECT_EQ(Text(edit), "abcdefgh");

    TRandom random;
    random.Seed(4321);
    const char* names[] = {"tick ", "tack ", "tock ", "tick "};
    std::string expected;
    for (int i = 0; i < 12; ++i)
        expected += names[static_cast<int>(RandomFloat(random) * 4.0f)];
    EXPECT_EQ(Played(), expected);

    Destroy(edit);
    for (int32_t handle : {1, 2, 3})
        EXPECT_EQ(mAudio->GetEntry(handle), nullptr) << "every reference given back";
}

TEST_F(CustomTextEditTest, TheEnableWindowIsShownWhileTheFieldHoldsText)
{
    Do("Window{ name = 'panel', w = 400, h = 80, Window{ name = 'inner', "
       "  Window{ name = 'ok', w = 50, h = 20 } } }() EnableWindow('ok', false)");
    TWindow* ok = Find("ok");
    ASSERT_NE(ok, nullptr);
    CustomTextEdit* edit = Make("e", "enablewindow = 'ok', utf8 = true");
    ASSERT_NE(edit, nullptr);
    Type("\b");
    EXPECT_FALSE(Visible(ok)) << "a refused edit leaves it";
    Type("a");
    EXPECT_TRUE(Visible(ok));
    Type("\b");
    EXPECT_FALSE(Visible(ok));
    Type("bc\b");
    EXPECT_TRUE(Visible(ok));

    // Delete, a paste that leaves nothing and a backspace over a multi-byte character empty the
    // field too.
    Key(kLeft);
    Key(kDelete);
    EXPECT_EQ(Text(edit), "");
    EXPECT_FALSE(Visible(ok));
    Type("d");
    ASSERT_TRUE(StringToClipboard("\t"));
    Key('V', kModifierControl);
    EXPECT_EQ(Text(edit), "");
    EXPECT_FALSE(Visible(ok));
    mManager->HandleEvent(uitest::MakeEvent(kEventWideChar, 0, 0, 0xE9));
    EXPECT_TRUE(Visible(ok));
    Type("\b");
    EXPECT_EQ(Text(edit), "");
    EXPECT_FALSE(Visible(ok));
    ASSERT_TRUE(StringToClipboard("xy"));
    Key('V', kModifierControl);
    EXPECT_TRUE(Visible(ok));
}

TEST_F(CustomTextEditTest, TheFocusIsTakenBackAndNeverLeftDangling)
{
    CustomTextEdit* edit = Make("e", "");
    EXPECT_EQ(mManager->GetFocus(), edit) << "taken when made";
    std::vector<std::string> log;
    auto* other = new uitest::ProbeWindow(&log, "other", TRect(0, 0, 50, 50));
    mRoot->AddChild(other, false);

    mManager->SetFocus(other);
    mFrames->Animate();
    EXPECT_EQ(mManager->GetFocus(), edit) << "by the framework's frame";
    mManager->SetFocus(other);
    Tick(250);
    EXPECT_EQ(mManager->GetFocus(), edit) << "by the caret's animation step";
    Type("x");
    EXPECT_EQ(Text(edit), "x");

    Destroy(edit);
    EXPECT_EQ(mManager->GetFocus(), nullptr);
    mFrames->Animate();
    Type("y");
    EXPECT_EQ(mManager->GetFocus(), nullptr);
}

TEST_F(CustomTextEditTest, MalformedStylesAndMissingWindowsAreSurvived)
{
    Do("Window{ name = 'ok', w = 10, h = 10 }() PushModal('dialog')");
    CustomTextEdit* bad = Make("bad", "clearinitial = 'yes', forceupper = {}, forcelower = 7, "
                                      "enablewindow = {}, sounds = 'tick', label = 'x'");
    ASSERT_NE(bad, nullptr);
    EXPECT_TRUE(bad->IsInitialKept());
    EXPECT_FALSE(bad->IsForceUpper());
    EXPECT_TRUE(bad->IsForceLower());
    EXPECT_EQ(bad->GetEnableWindow(), TString());
    EXPECT_TRUE(bad->GetSounds().empty());
    EXPECT_NE(Log().find("\"sounds\" is not a list of sound names"), std::string::npos);
    Type("AB");
    EXPECT_EQ(Text(bad), "xab");
    Destroy(bad);

    // The named window lies under another modal: nothing to show or hide.
    CustomTextEdit* edit = Make("e", "enablewindow = 'ok', sounds = { 5, {}, 'tock' }");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->GetSounds(), std::vector<int32_t>{3});
    Type("a\b\b");
    Key(kDelete);
    EXPECT_TRUE(Visible(Find("ok")));
    EXPECT_EQ(Played(), "tock tock ");
}

TEST_F(CustomTextEditTest, AScreenScriptGetsTheTypedNameBackUnchanged)
{
    Serve("name.lua", "TextEdit{ name = 'name', x = 100, y = 100, w = 300, h = 30, length = 40, "
                      "  clearinitial = true, label = 'Your name', enablewindow = 'ok' }() "
                      "Button{ name = 'ok', x = 100, y = 150, w = 60, h = 20, "
                      "  command = function() CloseWindow(GetLabel('name')) end }() "
                      "EnableWindow('ok', false)");
    Do("return function() result = DoModal('name.lua') end");
    ASSERT_NE(Find("name"), nullptr);
    Click(Find("name"));
    const std::string typed = "O'Brien \"Jo\" \\ a\\\\b ]] %s";
    Type(typed);
    ASSERT_TRUE(Visible(Find("ok")));
    Click(Find("ok"));
    Tick();
    Tick();
    EXPECT_EQ(mManager->GetTopModal(), mRoot);
    EXPECT_EQ(Global("result"), typed);
}

} // namespace
