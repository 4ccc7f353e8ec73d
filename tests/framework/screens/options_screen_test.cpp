// The options screen made by a screen script: sliders opened at the stored levels, the first two
// change messages ignored and later ones moving the groups at once, "SaveVolumes" truncating, the
// toggle's text before and after "ToggleFullScreen", a missing toggle reported but not fatal, its
// music, and its globals unbound when it goes.
#include "framework/screens/options_screen.h"

#include "framework/widgets/framework_button.h"
#include "framework/widgets/slider.h"
#include "platform/config/prefs.h"
#include "platform/strings/string_table.h"
#include "framework/screen_test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

constexpr const char* kSlider = "w = 200, h = 20, xoffset = 10, railtop = 'ui/rt.png', "
                                "railmiddle = 'ui/rm.png', railbottom = 'ui/rb.png', "
                                "graphics = { 'ui/t1.png' }";

class OptionsTest : public screentest::ScreenTest
{
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        mManager->RegisterWindowType("OptionsWindow", &Options::Create);
        mManager->RegisterWindowType("Slider", &Slider::Create);
        mManager->RegisterWindowType("Button", &TVButton::Create);
        Image("ui/rt.png", 8, 6, 0xFFFF0000);
        Image("ui/rm.png", 8, 4, 0xFF00FF00);
        Image("ui/rb.png", 8, 6, 0xFF0000FF);
        Image("ui/t1.png", 12, 20, 0xFFFFFFFF);
        if (!mImpl->mManagers.mStringTable)
            mImpl->mManagers.mStringTable = std::make_unique<TStringTable>();
        const std::string rows =
            "<Row><Cell><Data>gofull</Data></Cell><Cell><Data>Full screen</Data></Cell></Row>"
            "<Row><Cell><Data>gowin</Data></Cell><Cell><Data>Windowed</Data></Cell></Row>";
        mImpl->mManagers.mStringTable->LoadBuffer(rows.data(), static_cast<uint32_t>(rows.size()));
        Run("quits = 0 function PostMessage(m) quits = quits + 1 end "
            "function CreateNamedMessage(t, n) return n end kQuitNow = 1");
    }
    Options* Make(const std::string& children)
    {
        Run("PushModal('optionsmodal') OptionsWindow{ name = 'options', w = 800, h = 600, "
            "fullscreen = 'gofull', window = 'gowin', " +
            children + " }()");
        mManager->DispatchMessages();
        TWindow* window = Find("options");
        return window != nullptr && window->IsKindOf(Options::GetClassId())
                   ? static_cast<Options*>(window)
                   : nullptr;
    }
    Slider* SliderNamed(const char* name) { return static_cast<Slider*>(Find(name)); }
    static std::string Sliders()
    {
        return std::string("Slider{ name = 'sfxlevelslider', y = 10, ") + kSlider +
               " }, Slider{ name = 'musiclevelslider', y = 50, " + kSlider + " }, ";
    }
    int Pref(const char* key) { return mSettings->GetPrefs()->GetInt(key, -1); }
};

TEST_F(OptionsTest, SlidersOpenAtTheStoredLevelsAndMoveTheGroupsAfterTheFirstTwoMessages)
{
    mSettings->GetPrefs()->SetInt("soundlevel", 500);
    ASSERT_NE(Make(Sliders() + "Button{ name = 'fullscreentoggle', w = 50, h = 20 }"), nullptr);
    EXPECT_FLOAT_EQ(SliderNamed("sfxlevelslider")->GetValue(), 0.5f);
    EXPECT_FLOAT_EQ(SliderNamed("musiclevelslider")->GetValue(), 0.75f);
    // The screen's own two settings changed no group.
    EXPECT_FLOAT_EQ(mSound->GetEffectiveVolume(1000), 1.0f);
    EXPECT_FLOAT_EQ(mSound->GetEffectiveVolume(1001), 0.5f);

    SliderNamed("sfxlevelslider")->SetValue(0.25f);
    mManager->DispatchMessages();
    EXPECT_FLOAT_EQ(mSound->GetEffectiveVolume(1000), 0.25f);
    SliderNamed("musiclevelslider")->SetValue(0.9999f);
    mManager->DispatchMessages();
    EXPECT_FLOAT_EQ(mSound->GetEffectiveVolume(1001), 0.9999f);
    EXPECT_EQ(Pref("soundlevel"), 500) << "nothing stored before SaveVolumes";
    Run("SaveVolumes()");
    EXPECT_EQ(Pref("soundlevel"), 250);
    EXPECT_EQ(Pref("musiclevel"), 999);
}

TEST_F(OptionsTest, TheToggleNamesTheOtherModeAndAMissingOneIsReportedOnly)
{
    Options* options = Make("Button{ name = 'fullscreentoggle', w = 50, h = 20, Text{ name = "
                            "'label', w = 50, h = 20 } }");
    ASSERT_NE(options->GetToggleButton(), nullptr);
    EXPECT_EQ(std::string(options->GetToggleButton()->GetLabel().c_str()), "Full screen");
    Run("ToggleFullScreen() SetFullScreenToggleText()");
    ASSERT_TRUE(mApp->IsFullscreen());
    EXPECT_EQ(std::string(options->GetToggleButton()->GetLabel().c_str()), "Windowed");
    Run("ToggleFullScreen()");
    EXPECT_TRUE(options->Refresh());
    EXPECT_EQ(std::string(options->GetToggleButton()->GetLabel().c_str()), "Full screen");
    Run("PopModal('optionsmodal')");
    Frame(10);
    Run("kinds = type(SaveVolumes) .. type(SetFullScreenToggleText)");
    EXPECT_EQ(std::string(mManager->GetScript()->GetGlobalString("kinds").c_str()), "nilnil");

    // No toggle, no sliders: reported once, not fatal; "SaveVolumes" stores nothing.
    options = Make("optionsmusic = 'theme'");
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(CountInLog("ERROR:fullscreentoggle   FILE:options LINE:47"), 1);
    EXPECT_EQ(Number("quits"), 0);
    EXPECT_EQ(mAudio->GetSoundState("theme"), SoundEntry::kPlaying);
    Run("SaveVolumes()");
    EXPECT_EQ(Pref("soundlevel"), -1);
}

} // namespace
