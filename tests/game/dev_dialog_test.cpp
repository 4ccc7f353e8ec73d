// The developer's "DevShowDialog": bound only with dev=1, it shows the named in-scene dialog under
// the top window and runs its statement with the callback's value; other names are refused.
#include "game/dev_dialog.h"

#include "framework/adventure/dialog/gameplay_dialog.h"
#include "framework/framework_display_support.h"
#include "framework/screens/game_window.h"
#include "platform/config/config.h"
#include "ui/modal_window.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

class DevDialogTest : public fwtest::FrameworkDisplayTest
{
protected:
    void SetUp() override
    {
        FrameworkDisplayTest::SetUp();
        if (HasFatalFailure())
            return;
        mManager->RegisterWindowType("GameplayDialog", &GameplayDialog::Create);
        mManager->RegisterWindowType("GameWindow", &GameWindow::Create);
        Image("dlg/box.png", 40, 20, 0xFF204080);
    }
    void TearDown() override
    {
        SetConfig("dev", "0");
        FrameworkDisplayTest::TearDown();
    }
    void Do(const std::string& code) { mManager->GetScript()->DoLuaString(code.c_str()); }
    std::string Global(const char* name)
    {
        Do(std::string("_g = tostring(") + name + ")");
        return mManager->GetScript()->GetGlobalString("_g").c_str();
    }
};

TEST_F(DevDialogTest, BoundOnlyInDevelopmentAndShowsTheNamedDialog)
{
    lua_State* L = mManager->GetScript()->GetState();
    SetConfig("dev", "0");
    BindDevFunctions(L);
    EXPECT_EQ(Global("DevShowDialog"), "nil");
    SetConfig("dev", "1");
    BindDevFunctions(L);
    EXPECT_EQ(Global("type(DevShowDialog)"), "function");

    Do("PushModal('screen') GameWindow{ name = 'screen', w = 800, h = 600, GameWindow{ "
       "name = 'inner', GameplayDialog{ name = 'help', image = 'dlg/box.png', timefade = 50 } } "
       "}()");
    Do("shown = DevShowDialog('help', 'closed = %d + 10')");
    EXPECT_EQ(Global("shown"), "true");
    auto* dialog =
        static_cast<GameplayDialog*>(mManager->GetRoot()->FindChild("help", 0xFFFFFFFFu));
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->GetState(), GameplayDialog::kFadingIn);
    for (int i = 0; i < 8; ++i)
        Step(10, [&] { dialog->Update(); });
    Do("HideDialog('ok')");
    for (int i = 0; i < 8; ++i)
        Step(10, [&] { dialog->Update(); });
    EXPECT_EQ(Global("closed"), "10");

    Do("missing = DevShowDialog('nothing', 'x = 1')");
    EXPECT_EQ(Global("missing"), "false");
    Do("other = DevShowDialog('inner', 'x = 1')");
    EXPECT_EQ(Global("other"), "false");
    EXPECT_EQ(rendertest::CountOf(Log(), "ERROR: DevShowDialog: no GameplayDialog named"), 2);

    UnbindDevFunctions(L);
    EXPECT_EQ(Global("DevShowDialog"), "nil");
}

} // namespace
