// The main menu made by a screen script: the greeting with and without a current player, with and
// without the "welcomeempty" label (never logged as missing), a "welcome" that is no text, and
// "SetWelcomeName" unbound when its screen goes.
#include "framework/screens/main_menu.h"

#include "platform/strings/string_table.h"
#include "framework/screen_test_support.h"
#include "ui/text_window.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

class MainMenuTest : public screentest::ScreenTest
{
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        mManager->RegisterWindowType("MainMenu", &TMainMenu::Create);
        if (!mImpl->mManagers.mStringTable)
            mImpl->mManagers.mStringTable = std::make_unique<TStringTable>();
    }
    void Strings(const std::string& rows)
    {
        TStringTable& table = *mImpl->mManagers.mStringTable;
        table.Clear();
        table.LoadBuffer(rows.data(), static_cast<uint32_t>(rows.size()));
    }
    static std::string Row(const char* label, const char* text)
    {
        return std::string("<Row><Cell><Data>") + label + "</Data></Cell><Cell><Data>" + text +
               "</Data></Cell></Row>";
    }
    // A menu whose "welcome" child is made by `child`; the greeting after "SetWelcomeName".
    std::string Greeting(const std::string& child = "Text{ name = 'welcome', w = 200, h = 20 }")
    {
        Run("PushModal('menumodal') MainMenu{ name = 'menu', w = 800, h = 600, " + child +
            " }() SetWelcomeName()");
        TWindow* welcome = Find("welcome");
        std::string text = welcome != nullptr && welcome->IsKindOf(TText::GetClassId())
                               ? static_cast<TText*>(welcome)->GetText().c_str()
                               : "(none)";
        Run("PopModal('menumodal')");
        Frame(10);
        return text;
    }
};

TEST_F(MainMenuTest, TheGreetingFollowsThePlayerAndTheLabelsPresent)
{
    Strings(Row("welcomeempty", "Welcome, stranger") + Row("welcome", "Welcome back, %1%!"));
    EXPECT_EQ(Greeting(), "Welcome, stranger");
    Run("CreateNewUser('Ann') SetCurrentUser(0)");
    EXPECT_EQ(Greeting(), "Welcome back, Ann!");

    // Without "welcomeempty": "welcome" even for no player, and no missing-label line.
    Run("DeleteUser(0)");
    Strings(Row("welcome", "Hi %1%."));
    EXPECT_EQ(Greeting(), "Hi .");
    EXPECT_EQ(CountInLog("Missing string for label"), 0);
    EXPECT_FALSE(mImpl->mManagers.mStringTable->IsQuiet());
    // Other lookups still report a missing label.
    mImpl->mManagers.mStringTable->GetString("nothing");
    EXPECT_EQ(CountInLog(" ##### : Missing string for label 'nothing'"), 1);
}

TEST_F(MainMenuTest, AWelcomeThatIsNoTextOrNoneChangesNothingAndTheGlobalGoesWithTheScreen)
{
    Strings(Row("welcome", "Hi %1%."));
    EXPECT_EQ(Greeting("GameWindow{ name = 'welcome' }"), "(none)");
    EXPECT_EQ(Greeting("Text{ name = 'other', text = 'x' }"), "(none)");
    Run("kind = type(SetWelcomeName)");
    EXPECT_EQ(std::string(mManager->GetScript()->GetGlobalString("kind").c_str()), "nil");
}

} // namespace
