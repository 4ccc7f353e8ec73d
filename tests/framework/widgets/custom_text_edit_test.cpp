// The game's entry field typed through the window manager on the headless display, with the sound
// layer's manual output: the preset text cleared first, forced case, one random sound per
// accepted edit, the window shown while the field holds text, the focus taken back, malformed
// styles, and a typed name handed back by a screen script.
#include "framework/widgets/custom_text_edit.h"

#include "sound/ogg_encode.h"
#include "ui/ui_display_support.h"
#include "framework/sound/audio_manager.h"
#include "framework/core/delta_time.h"
#include "framework/core/window_manager.h"
#include "platform/shell/application.h"
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
// Rates that tell the sounds' buffers (two seconds of 16-bit mono) apart.
constexpr int kRates[] = {8000, 12000, 16000};
const char* const kNames[] = {"tick ", "tack ", "tock "};

class CustomTextEditTest : public uitest::UiDisplayTest
{
protected:
    void SetUp() override
    {
        UiDisplayTest::SetUp();
        sys::audio::SetOutputKind(sys::audio::OutputKind::Manual);
        sys::audio::EnableCallLog(true);
        ClearSoundDataSourceBuilders();
        RegisterOggBuilder();
        mImpl->mManagers.mSoundManager = std::make_unique<TSoundManager>();
        ASSERT_TRUE(mImpl->mManagers.mSoundManager->Init());
        Serve("audio/snd.txt", "3,tick,1,tack,2,tock,3");
        for (int i = 0; i < 3; ++i)
            Serve("audio/" + std::to_string(i + 1) + ".ogg",
                  soundtest::EncodeOgg(soundtest::Tone(1, kRates[i], 800), 1, kRates[i]));
        mAudio = std::make_unique<AudioManager>();
        mFrames = std::make_unique<WindowManager>();
        mManager->RegisterWindowType("TextEdit", &CustomTextEdit::Create);
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

    CustomTextEdit* Make(const std::string& style)
    {
        Do("TextEdit{ name = 'e', x = 100, y = 100, w = 200, h = 30, " + style + " }()");
        TWindow* w = Find("e");
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
    static bool Shown(TWindow* window) { return (window->GetFlags() & kWindowVisible) != 0; }
    void Send(int32_t type, int32_t param, int32_t modifiers = 0)
    {
        mManager->HandleEvent(uitest::MakeEvent(type, 0, 0, param, modifiers));
    }
    void Type(const std::string& text)
    {
        for (char c : text)
            Send(kEventChar, static_cast<uint8_t>(c));
    }
    void Click(TWindow* window)
    {
        TRect r = window->GetScreenRect();
        Mouse(kEventLeftDown, r.left + 5, r.top + 5);
        Mouse(kEventLeftUp, r.left + 5, r.top + 5);
    }
    // The sounds started since the last call, told apart by their new buffers' sizes.
    static std::string Played()
    {
        std::string out;
        for (const auto& record : sys::audio::TakeCallLog())
            if (record.call.rfind("CreateSoundBuffer ", 0) == 0)
                for (int i = 0; i < 3; ++i)
                    out += std::stoi(record.call.substr(18)) == kRates[i] * 4 ? kNames[i] : "";
        return out;
    }

    DeltaTime mClock;
    std::unique_ptr<AudioManager> mAudio;
    std::unique_ptr<WindowManager> mFrames;
};

TEST_F(CustomTextEditTest, ThePresetTextGoesBeforeTheFirstClickOrEditActs)
{
    // Whatever comes first finds an empty text with the caret at 0, and so does its repetition.
    std::vector<std::function<void(TWindow*)>> firsts = {
        [&](TWindow*) { Type("\b"); }, [&](TWindow*) { Send(kEventKeyDown, kLeft); },
        [&](TWindow*) { Send(kEventKeyDown, kRight); },
        [&](TWindow*) { Send(kEventKeyDown, kDelete); }, [&](TWindow* e) { Click(e); }};
    for (size_t i = 0; i < firsts.size(); ++i)
    {
        CustomTextEdit* edit = Make("clearinitial = true, label = 'Your name'");
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(Text(edit), "Your name");
        for (int twice = 0; twice < 2; ++twice)
        {
            firsts[i](edit);
            EXPECT_EQ(Text(edit), "") << i;
            EXPECT_EQ(edit->GetCaret(), 0) << i;
        }
        Type("ab");
        EXPECT_EQ(Text(edit), "ab") << i;
        Destroy(edit);
    }
    CustomTextEdit* edit = Make("clearinitial = true, label = 'Your name'");
    Type("Jo");
    Click(edit);
    EXPECT_EQ(Text(edit), "Jo") << "a fresh text, cleared once only";

    EXPECT_STREQ(edit->GetClassName(), "CustomTextEdit");
    EXPECT_TRUE(edit->IsKindOf(TTextEdit::GetClassId()) && edit->IsKindOf(TText::GetClassId()));
}

TEST_F(CustomTextEditTest, ForcedCaseTouchesOnlyTheLettersOfTheOtherCase)
{
    CustomTextEdit* upper = Make("forceupper = true, forcelower = true, length = 30");
    Type("az AZ09-`{@[");
    EXPECT_EQ(Text(upper), "AZ AZ09-`{@[") << "upper case wins";
    Destroy(upper);

    // In UTF-8 mode typed characters arrive as code points.
    CustomTextEdit* lower = Make("forcelower = true, utf8 = true");
    Type("AZaz@[");
    Send(kEventWideChar, 'Q');
    Send(kEventWideChar, 0xC9);
    EXPECT_EQ(Text(lower), "azaz@[q\xC3\x89");
}

TEST_F(CustomTextEditTest, OneRandomSoundPerAcceptedEdit)
{
    CustomTextEdit* quiet = Make("");
    Type("ab\b");
    Send(kEventKeyDown, kLeft);
    EXPECT_EQ(Text(quiet), "a");
    EXPECT_EQ(Played(), "") << "no sounds, no sound";
    Destroy(quiet);

    mClock.SetFrameTime(4321);
    CustomTextEdit* edit = Make("sounds = { 'tick', 'nosuch', 'tack', 'tock?volume=0.5', 'tick' }");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->GetSounds(), (std::vector<int32_t>{1, 2, 3, 1}));
    Type("abcdefghij"); // length 10 refuses the tenth
    Send(kEventKeyDown, kLeft);
    Send(kEventKeyDown, kRight);
    Send(kEventKeyDown, kRight); // refused at the end
    Type("\b");
    EXPECT_EQ(Text(edit), "abcdefgh");
    TRandom random;
    random.Seed(4321);
    std::string expected;
    for (int i = 0; i < 12; ++i)
        expected += kNames[std::vector<int>{0, 1, 2, 0}[size_t(RandomFloat(random) * 4.0f)]];
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
    CustomTextEdit* edit = Make("enablewindow = 'ok', utf8 = true");
    Type("\b");
    EXPECT_FALSE(Shown(ok)) << "a refused edit leaves it";
    Type("a");
    EXPECT_TRUE(Shown(ok));
    Type("\b");
    EXPECT_FALSE(Shown(ok));
    Type("bc\b");
    EXPECT_TRUE(Shown(ok));

    // Delete, a paste that leaves nothing and a backspace over a multi-byte character empty the
    // field too.
    Send(kEventKeyDown, kLeft);
    Send(kEventKeyDown, kDelete);
    EXPECT_FALSE(Shown(ok));
    Type("d");
    ASSERT_TRUE(StringToClipboard("\t"));
    Send(kEventKeyDown, 'V', kModifierControl);
    EXPECT_EQ(Text(edit), "");
    EXPECT_FALSE(Shown(ok));
    Send(kEventWideChar, 0xE9);
    EXPECT_TRUE(Shown(ok));
    Type("\b");
    EXPECT_FALSE(Shown(ok));
}

// Blanks alone (spaces, a no-break space) are no text: the window stays hidden until something
// that shows is typed, and hides again when only blanks are left.
TEST_F(CustomTextEditTest, TheEnableWindowStaysHiddenWhileTheFieldHoldsOnlyBlanks)
{
    Do("Window{ name = 'panel', w = 400, h = 80, Window{ name = 'ok', w = 50, h = 20 } }() "
       "EnableWindow('ok', false)");
    TWindow* ok = Find("ok");
    CustomTextEdit* edit = Make("enablewindow = 'ok', utf8 = true");
    Type("  ");
    Send(kEventWideChar, 0xA0);
    EXPECT_EQ(Text(edit), "  \xC2\xA0");
    EXPECT_FALSE(Shown(ok));
    Type("a");
    EXPECT_TRUE(Shown(ok));
    Type("\b");
    EXPECT_FALSE(Shown(ok));
}

TEST_F(CustomTextEditTest, TheFocusIsTakenBackAndNeverLeftDangling)
{
    CustomTextEdit* edit = Make("");
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

    Destroy(edit);
    EXPECT_EQ(mManager->GetFocus(), nullptr);
    mFrames->Animate();
    Type("y");
}

TEST_F(CustomTextEditTest, MalformedStylesAndMissingWindowsAreSurvived)
{
    Do("Window{ name = 'ok', w = 10, h = 10 }() PushModal('dialog')");
    CustomTextEdit* bad = Make("clearinitial = 'yes', forceupper = {}, forcelower = 7, "
                               "enablewindow = {}, sounds = 'tick', label = 'x'");
    ASSERT_NE(bad, nullptr);
    EXPECT_TRUE(bad->GetSounds().empty());
    EXPECT_NE(Log().find("\"sounds\" is not a list of sound names"), std::string::npos);
    Type("AB");
    EXPECT_EQ(Text(bad), "xab");
    Destroy(bad);

    // The named window lies under another modal: nothing to show or hide.
    CustomTextEdit* edit = Make("enablewindow = 'ok', sounds = { 5, {}, 'tock' }");
    EXPECT_EQ(edit->GetSounds(), std::vector<int32_t>{3});
    Type("a\b\b");
    Send(kEventKeyDown, kDelete);
    EXPECT_TRUE(Shown(Find("ok")));
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
    Click(Find("ok"));
    Tick();
    Tick();
    EXPECT_EQ(mManager->GetTopModal(), mRoot);
    EXPECT_EQ(Global("result"), typed);
}

} // namespace
