// The store's script functions as the program installs them: bound on the window manager's script
// when the store is built (which start-up does after the window script exists), unbound when it
// goes, and absent without a window script.
#include "support/shell_fixture.h"

#include "script/script.h"
#include "script/window_script_seam.h"
#include "services/game_state/game_state.h"
#include "services/host/platform_link.h"

#include <memory>

namespace
{

std::unique_ptr<TScript>& WindowScript()
{
    static std::unique_ptr<TScript> script;
    return script;
}

TScript* CurrentWindowScript()
{
    return WindowScript().get();
}

// Each new global's name, in the order it was set, is appended to "bound".
constexpr const char* kRecordNewGlobals = R"(
bound = ""
setmetatable(_G, { __newindex = function(t, k, v)
    rawset(t, k, v)
    bound = bound .. k .. " "
end })
)";

std::string Global(const char* code)
{
    WindowScript()->DoLuaString(TString("probe = ") + code);
    return WindowScript()->GetGlobalString("probe").c_str();
}

class GameStateScriptTest : public shelltest::ShellTest
{
protected:
    void SetUp() override
    {
        shelltest::ShellTest::SetUp();
        WindowScript() = std::make_unique<TScript>();
        SetWindowScriptSource(&CurrentWindowScript);
        LinkServicesToPlatform();
    }
    void TearDown() override
    {
        TGameState::Destroy();
        UnlinkServicesFromPlatform();
        SetWindowScriptSource(nullptr);
        WindowScript().reset();
        shelltest::ShellTest::TearDown();
    }
};

TEST_F(GameStateScriptTest, TheFiveFunctionsAreBoundInOrderWhenTheStoreIsBuilt)
{
    WindowScript()->DoLuaString(kRecordNewGlobals);
    ASSERT_NE(TGameState::Instance(), nullptr);
    EXPECT_EQ(WindowScript()->GetGlobalString("bound"),
              TString("GetState _SetState QueryMuteGame QueryRestartMode QueryJumpToMenu "));

    WindowScript()->DoLuaString("_SetState('count', '41') _SetState('++count', 'ignored')");
    EXPECT_EQ(Global("GetState('count')"), "42");
    EXPECT_EQ(Global("type(GetState('never'))"), "string");
    EXPECT_EQ(Global("tostring(QueryMuteGame())"), "false");
    WindowScript()->DoLuaString("_SetState('mute', 1)");
    EXPECT_EQ(Global("tostring(QueryMuteGame())"), "true");
    EXPECT_EQ(Global("tostring(QueryRestartMode()) .. tostring(QueryJumpToMenu())"), "falsefalse");
}

TEST_F(GameStateScriptTest, MissingArgumentsAreScriptErrorsThatLeaveTheStoreAlone)
{
    ASSERT_NE(TGameState::Instance(), nullptr);
    WindowScript()->DoLuaString(R"(
        ok1, e1 = pcall(GetState)
        ok2, e2 = pcall(GetState, {})
        ok3, e3 = pcall(_SetState, 'x')
    )");
    EXPECT_EQ(Global("e1"), "bad argument #1 to `GetState' (string expected, got no value)");
    EXPECT_EQ(Global("e2"), "bad argument #1 to `GetState' (string expected, got table)");
    EXPECT_EQ(Global("e3"), "bad argument #2 to `_SetState' (string expected, got no value)");
    EXPECT_EQ(TGameState::Instance()->GetState("x"), TString(""));
}

TEST_F(GameStateScriptTest, DestroyingTheStoreUnbindsAllButSetStateEveryTime)
{
    for (int round = 0; round < 2; ++round)
    {
        ASSERT_NE(TGameState::Instance(), nullptr);
        WindowScript()->DoLuaString("kept = GetState");
        TGameState::Destroy();
        EXPECT_EQ(Global("tostring(GetState) .. tostring(QueryMuteGame) .. "
                         "tostring(QueryRestartMode) .. tostring(QueryJumpToMenu)"),
                  "nilnilnilnil")
            << round;
        EXPECT_EQ(Global("type(_SetState)"), "function");
        // A copy a script kept raises instead of reaching the freed store.
        EXPECT_EQ(Global("tostring(pcall(kept, 'a'))"), "false");
    }
}

TEST_F(GameStateScriptTest, WithoutAWindowScriptNothingIsBound)
{
    SetWindowScriptSource(nullptr);
    ASSERT_NE(TGameState::Instance(), nullptr);
    TGameState::Instance()->SetState("a", "1");
    TGameState::Destroy();
    SetWindowScriptSource(&CurrentWindowScript);
    EXPECT_EQ(Global("tostring(GetState) .. tostring(_SetState)"), "nilnil");
}

// A window manager whose script start-up builds: the store's functions can be bound only when
// start-up builds this before the store.
class ScriptedWindowManager : public shelltest::FakeWindowManager
{
public:
    void CreateScript() override
    {
        shelltest::FakeWindowManager::CreateScript();
        WindowScript() = std::make_unique<TScript>();
        SetWindowScriptSource(&CurrentWindowScript);
    }
    ~ScriptedWindowManager() override
    {
        SetWindowScriptSource(nullptr);
        WindowScript().reset();
    }
};

std::unique_ptr<TWindowManagerSeam> MakeScriptedWindowManager()
{
    return std::make_unique<ScriptedWindowManager>();
}

TEST(GameStateStartUpTest, TheApplicationBuildsTheWindowScriptBeforeTheStore)
{
    // As the shell's fixture builds its application: the platform's clock starts from the manual
    // clock, which later tests take up.
    const std::string folder = sys::GetCurrentFolder();
    sys::SetManualClock(true, 100000);
    shelltest::FakeServices fakes;
    shelltest::InstallFakes(fakes);
    SetWindowManagerFactory(&MakeScriptedWindowManager);
    LinkServicesToPlatform();
    auto* impl = new TApplicationImpl(nullptr, nullptr, TCommandLine(""), 1, true);
    auto* application = new TApplication(impl);

    ASSERT_NE(WindowScript(), nullptr);
    EXPECT_TRUE(GetHostServices().GameStateExists());
    EXPECT_EQ(Global("type(GetState) .. type(_SetState) .. type(QueryJumpToMenu)"),
              "functionfunctionfunction");

    TGameState::Destroy();
    delete application;
    UnlinkServicesFromPlatform();
    shelltest::UninstallFakes();
    ClearConfig();
    ClearPathMap();
    sys::SetManualClock(false);
    sys::SetCurrentFolder(folder);
}

} // namespace
