// The profile selection screen built by the window script over the headless display, its profiles
// made and deleted through Settings' script functions in the scratch user folder: the row layout
// and slider for none, fewer and more profiles, scrolling by script and by slider, row presses,
// names, and damaged layouts.
#include "framework/screens/select_player.h"

#include "framework/framework_display_support.h"
#include "framework/widgets/framework_button.h"
#include "framework/core/settings.h"
#include "framework/widgets/slider.h"
#include "framework/widgets/text_object.h"
#include "framework/core/window_manager.h"
#include "platform/config/config.h"
#include "platform/config/prefs.h"
#include "ui/modal_window.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace
{

constexpr uint32_t kAnyDepth = 0xFFFFFFFFu;
constexpr const char* kSliderSkin =
    "railtop = 'ui/rt.png', railmiddle = 'ui/rm.png', railbottom = 'ui/rb.png', "
    "graphics = { 'ui/t.png' }";

class SelectPlayerTest : public fwtest::FrameworkDisplayTest
{
protected:
    void SetUp() override
    {
        FrameworkDisplayTest::SetUp();
        SetConfig("encryptionkey", "Tk7pQ2mW9xLr");
        WindowManager::SetActiveSource([] { return true; });
        mManager->RegisterWindowType("SelectPlayerWindow", &TSelectPlayer::Create);
        mManager->RegisterWindowType("Button", &TVButton::Create);
        mManager->RegisterWindowType("Slider", &Slider::Create);
        Image("ui/rt.png", 8, 6, 0xFFFF0000);
        Image("ui/rm.png", 8, 4, 0xFF00FF00);
        Image("ui/rb.png", 8, 6, 0xFF0000FF);
        Image("ui/t.png", 12, 20, 0xFFFFFFFF);
        mSettings = std::make_unique<Settings>();
    }
    void TearDown() override
    {
        mSettings.reset();
        WindowManager::SetActiveSource(nullptr);
        FrameworkDisplayTest::TearDown();
    }
    void Run(const std::string& code) { mManager->GetScript()->DoLuaString(code.c_str()); }
    std::string Str(const std::string& expr)
    {
        Run("_r = " + expr);
        return mManager->GetScript()->GetGlobalString("_r").c_str();
    }
    void Profiles(int count)
    {
        for (int i = 0; i < count; ++i)
            Run(std::string("CreateNewUser('") + char('a' + i) + "')");
    }
    // `rows` row buttons; the slider and "delete" / "select" unless `extra` replaces them.
    TSelectPlayer* Open(int rows, const std::string& max = "kMaxProfileButtons = 5",
                        const std::string& extra = "")
    {
        std::string children;
        for (int i = 0; i < rows; ++i)
            children += "Button{ name = 'button" + std::to_string(i) +
                        "', y = " + std::to_string(40 * i) +
                        ", w = 100, h = 30, text = '#', font = { '', 12 } }, ";
        children += extra.empty() ? std::string("Button{ name = 'delete' }, "
                                                "Button{ name = 'select' }, Slider{ name = "
                                                "'slider', x = 300, w = 20, h = 300, ") +
                                        kSliderSkin + " }, "
                                  : extra;
        Run(max + " PushModal('m') SelectPlayerWindow{ name = 'sp', " + children + "}()");
        return Screen();
    }
    TSelectPlayer* Screen()
    {
        TWindow* modal = mManager->GetTopModal();
        TWindow* window = modal != nullptr ? modal->FindChild("sp", kAnyDepth) : nullptr;
        if (window == nullptr || !window->IsKindOf(TSelectPlayer::GetClassId()))
            return nullptr;
        return static_cast<TSelectPlayer*>(window);
    }
    TWindow* Child(const char* name) { return Screen()->FindChild(name, kAnyDepth); }
    bool Shown(const char* name) { return (Child(name)->GetFlags() & kWindowVisible) != 0; }
    // Each row as its label, "*" before a toggled one, "-" for a hidden one.
    std::string Rows()
    {
        std::string out;
        for (uint32_t i = 0; i < Screen()->GetMaxButtons(); ++i)
        {
            auto* row = static_cast<TVButton*>(Child(("button" + std::to_string(i)).c_str()));
            if (i != 0)
                out += ' ';
            if ((row->GetFlags() & kWindowVisible) == 0)
                out += '-';
            else
                out += std::string(row->IsOn() ? "*" : "") +
                       (row->GetCaption() ? row->GetCaption()->GetText().c_str() : "<no caption>");
        }
        return out;
    }
    float SliderValue() { return static_cast<Slider*>(Child("slider"))->GetValue(); }
    void MoveSlider(float value)
    {
        static_cast<Slider*>(Child("slider"))->SetValue(value);
        mManager->DispatchMessages();
    }
    void Press(const char* name)
    {
        mManager->PostMessage(new TMessage(kButtonPress, TString(name), Child(name)->GetParent()));
        mManager->DispatchMessages();
    }
    bool Logged(const std::string& text) { return Log().find(text) != std::string::npos; }
    std::string Error(const char* message, int line)
    {
        return std::string("ERROR:") + message +
               "   FILE:selectplayer LINE:" + std::to_string(line);
    }

    std::unique_ptr<Settings> mSettings;
};

TEST_F(SelectPlayerTest, NoProfilesHidesEverythingAndTheSliderFollowsCurUser)
{
    TSelectPlayer* screen = Open(5);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->GetMaxButtons(), 5u);
    EXPECT_EQ(Rows(), "- - - - -");
    EXPECT_FALSE(Shown("delete"));
    EXPECT_FALSE(Shown("select"));
    // No "curuser": the unsigned top row equals count - N, so the slider is at the end.
    EXPECT_EQ(Str("GetCurrentSelectedUser()"), "-1");
    EXPECT_EQ(Str("GetSelectedPlayerName()"), "");
    EXPECT_EQ(SliderValue(), 1.0f);
    mManager->DispatchMessages();
    EXPECT_EQ(Rows(), "- - - - -");

    mSettings->GetPrefs()->SetInt("curuser", 0, -1, true);
    Run("SetSelectedPlayer()");
    EXPECT_EQ(SliderValue(), 0.0f);
    EXPECT_EQ(Str("GetCurrentSelectedUser()"), "0");
}

TEST_F(SelectPlayerTest, FewerProfilesThanRowsThenOneDeleted)
{
    Profiles(3);
    Run("SetCurrentUser(1)");
    TSelectPlayer* screen = Open(5);
    EXPECT_EQ(Rows(), "a *b c - -");
    EXPECT_TRUE(Shown("delete"));
    EXPECT_TRUE(Shown("select"));
    EXPECT_EQ(SliderValue(), 0.0f);
    Run("MoveTopPlayerDown()");
    EXPECT_EQ(screen->GetTopIndex(), 0u);
    // Step 1.0: even the far end of the slider keeps the top row.
    MoveSlider(1.0f);
    EXPECT_EQ(screen->GetTopIndex(), 0u);

    Run("DeleteUser(0) SetSelectedPlayer() SetPlayerChoices()");
    EXPECT_EQ(Rows(), "*b c - - -");
    EXPECT_EQ(Str("GetSelectedPlayerName()"), "b");
}

TEST_F(SelectPlayerTest, MoreProfilesWithTheLastCurrentScrollByScriptAndTheEchoKeepsTheRows)
{
    Profiles(7); // the last one made is current
    TSelectPlayer* screen = Open(5);
    EXPECT_EQ(screen->GetTopIndex(), 2u);
    EXPECT_EQ(Rows(), "c d e f *g");
    EXPECT_EQ(SliderValue(), 1.0f);
    EXPECT_EQ(Str("GetCurrentSelectedUser()"), "6");
    EXPECT_EQ(Str("GetSelectedPlayerName()"), "g");

    Run("MoveTopPlayerUp()");
    EXPECT_FLOAT_EQ(SliderValue(), 0.5f);
    mManager->DispatchMessages(); // the slider's own change message comes back
    EXPECT_EQ(screen->GetTopIndex(), 1u);
    EXPECT_EQ(Rows(), "b c d e f");
    Run("MoveTopPlayerUp()");
    mManager->DispatchMessages();
    EXPECT_EQ(SliderValue(), 0.0f);
    EXPECT_EQ(Rows(), "a b c d e");
    Run("MoveTopPlayerUp()");
    EXPECT_EQ(screen->GetTopIndex(), 0u);

    Run("MoveTopPlayerDown() MoveTopPlayerDown() MoveTopPlayerDown()");
    mManager->DispatchMessages();
    EXPECT_EQ(screen->GetTopIndex(), 2u);
    EXPECT_EQ(SliderValue(), 1.0f);
}

TEST_F(SelectPlayerTest, TheSliderScrollsTheRowsAndStaysWherePut)
{
    Profiles(7);
    Run("SetCurrentUser(0)");
    TSelectPlayer* screen = Open(5);
    MoveSlider(0.5f);
    EXPECT_EQ(Rows(), "b c d e f");
    EXPECT_FLOAT_EQ(SliderValue(), 0.5f);
    MoveSlider(1.0f);
    EXPECT_EQ(Rows(), "c d e f g");
    MoveSlider(1.0f / 3.0f);
    EXPECT_EQ(Rows(), "*a b c d e");
    EXPECT_EQ(screen->GetTopIndex(), 0u);
}

TEST_F(SelectPlayerTest, ARowPressSelectsWithoutReachingTheScriptOtherPressesDo)
{
    Profiles(7);
    TSelectPlayer* screen = Open(5);
    ASSERT_EQ(screen->GetTopIndex(), 2u);
    mManager->DispatchMessages();
    Run("gMessageQueue = {}");
    Press("button2");
    EXPECT_EQ(Str("GetCurrentSelectedUser()"), "4");
    EXPECT_EQ(Str("GetSelectedPlayerName()"), "e");
    EXPECT_EQ(Str("table.getn(gMessageQueue)"), "0");
    Press("delete");
    EXPECT_EQ(Str("table.getn(gMessageQueue)"), "1");
}

TEST_F(SelectPlayerTest, NoCurrentProfileHidesTheRowsUntilTheSliderEchoBringsThemBack)
{
    Profiles(7);
    mSettings->GetPrefs()->SetInt("curuser", -1, -1, true);
    TSelectPlayer* screen = Open(5);
    EXPECT_EQ(Rows(), "- - - - -");
    EXPECT_EQ(SliderValue(), 1.0f);
    mManager->DispatchMessages();
    EXPECT_EQ(screen->GetTopIndex(), 2u);
    EXPECT_EQ(Rows(), "c d e f g");
    EXPECT_EQ(Str("GetCurrentSelectedUser()"), "-1");
    EXPECT_EQ(Str("GetSelectedPlayerName()"), "");
}

TEST_F(SelectPlayerTest, EmptyAndLongNamesAreShownAsStored)
{
    const std::string longName(300, 'x');
    Run("CreateNewUser('') CreateNewUser('" + longName + "') SetCurrentUser(0)");
    Open(5);
    EXPECT_EQ(Rows(), "* " + longName + " - - -");
    Press("button1");
    EXPECT_EQ(Str("GetSelectedPlayerName()"), longName);
}

TEST_F(SelectPlayerTest, RowCountIsTheGlobalBoundedByTheRowsPresent)
{
    Profiles(3);
    EXPECT_EQ(Open(2, "kMaxProfileButtons = 5")->GetMaxButtons(), 2u);
    EXPECT_TRUE(Logged("has no row button 'button2'"));
    EXPECT_EQ(Rows(), "b *c");
    Run("PopModal()");
    mManager->DispatchMessages();
    EXPECT_EQ(Open(3, "kMaxProfileButtons = 2147483647")->GetMaxButtons(), 3u);
    Run("PopModal()");
    EXPECT_EQ(Open(3, "kMaxProfileButtons = -4")->GetMaxButtons(), 0u);
    EXPECT_TRUE(Logged("kMaxProfileButtons is -4"));
    Run("PopModal()");
    EXPECT_EQ(Open(3, "kMaxProfileButtons = nil")->GetMaxButtons(), 0u);
    EXPECT_FALSE(Shown("delete")); // shown only while a row is
}

TEST_F(SelectPlayerTest, DamagedLayoutsReportAndCarryOn)
{
    Profiles(2);
    Run("SetCurrentUser(0)");
    // A row of the wrong kind ends the rows; no "delete", "select" or slider.
    Open(1, "kMaxProfileButtons = 3",
         "Slider{ name = 'button1', " + std::string(kSliderSkin) + " }, ");
    EXPECT_EQ(Screen()->GetMaxButtons(), 1u);
    EXPECT_TRUE(Logged("'button1' is a Slider, not a button"));
    EXPECT_TRUE(Logged("has no window 'delete'"));
    EXPECT_TRUE(Logged("has no window 'select'"));
    EXPECT_TRUE(Logged(Error("window", 204)));
    EXPECT_EQ(Rows(), "*a");
    Run("MoveTopPlayerDown()");
    EXPECT_EQ(Rows(), "b");

    // A change message naming nothing, or a window that is no slider.
    mManager->PostMessage(new TMessage(kSliderValChanged, TString("nothing"), Screen()));
    mManager->DispatchMessages();
    EXPECT_TRUE(Logged(Error("window", 146)));
    mManager->PostMessage(new TMessage(kSliderValChanged, TString("button0"), Screen()));
    mManager->DispatchMessages();
    EXPECT_TRUE(Logged(Error("slider", 154)));
    EXPECT_EQ(Rows(), "b");

    Run("PopModal()");
    Open(2, "kMaxProfileButtons = 2", "Button{ name = 'slider' }, ");
    EXPECT_TRUE(Logged(Error("slider", 212)));
}

TEST_F(SelectPlayerTest, GlobalsAreClearedOnlyByTheScreenHoldingThem)
{
    Profiles(1);
    TSelectPlayer* first = Open(1);
    TSelectPlayer* second = new TSelectPlayer(); // takes the names over
    first->GetParent()->RemoveChild(first);
    delete first;
    EXPECT_EQ(Str("type(SetPlayerChoices)"), "function");
    delete second;
    for (const char* name : {"SetPlayerChoices", "GetCurrentSelectedUser", "GetSelectedPlayerName",
                             "MoveTopPlayerUp", "MoveTopPlayerDown", "SetSelectedPlayer"})
        EXPECT_EQ(Str(std::string("type(") + name + ")"), "nil") << name;
}

} // namespace
