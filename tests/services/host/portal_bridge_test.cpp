#include "services/host/portal_bridge.h"

#include "services/game_state/game_state_test_support.h"
#include "platform/shell/task.h"
#include "services/host/host_pause.h"
#include "services/host/platform_link.h"
#include "platform/seams/host_services_seam.h"
#include "sys/clock.h"
#include "sys/window/host.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{

constexpr sys::WindowHandle kHost = 0x4ab0;

class PortalBridgeTest : public statetest::GameStateTest
{
protected:
    void SetUp() override
    {
        // The real services behind the platform (platform time leaves host pauses out), with the
        // fixture's application probe and volume over them.
        LinkServicesToPlatform();
        statetest::GameStateTest::SetUp();
        // As the platform's start-up points its clock.
        SetHostPauseTimeFunction([] { return GetHostServices().GetHostPauseTime(); });
        sys::SetManualClock(true, 0);
        StartPlatformTime();
        sys::SetManualClock(true, 1000);
        ResetPortalBridge();
        mHost.AddWindow(kHost, 800, 600);
        sys::SetHostChannel(&mHost);
        SetPortalPlatformLink({[this] { return mWindow; }, [this] { return mHostPage; },
                               [this](bool game) { mCursor.push_back(game); }});
    }
    void TearDown() override
    {
        TGameState::Destroy();
        ResetPortalBridge();
        sys::SetHostChannel(nullptr);
        sys::SetManualClock(false);
        statetest::GameStateTest::TearDown();
        UnlinkServicesFromPlatform();
        SetHostPauseTimeFunction(nullptr);
    }

    TGameState& Store() { return *TGameState::Instance(); }
    void Set(const char* name, const char* value) { Store().SetState(name, value); }

    // The event texts posted so far, each put back together from its 8-byte pieces.
    std::vector<std::string> Events()
    {
        std::vector<std::string> events;
        std::string current;
        for (const sys::RecordingHost::Record& record : mHost.mMessages)
        {
            EXPECT_EQ(1024u, record.message);
            EXPECT_EQ(kHost, record.window);
            char piece[8];
            for (int i = 0; i < 4; ++i)
            {
                piece[i] = char(uint32_t(record.wParam) >> (8 * i) & 0xFF);
                piece[4 + i] = char(uint32_t(record.lParam) >> (8 * i) & 0xFF);
            }
            const void* end = std::memchr(piece, 0, 8);
            if (!end)
            {
                current.append(piece, 8);
                continue;
            }
            const size_t length = size_t(static_cast<const char*>(end) - piece);
            current.append(piece, length);
            for (size_t i = length; i < 8; ++i)
                EXPECT_EQ(0, piece[i]) << "padding of " << current;
            events.push_back(current);
            current.clear();
        }
        EXPECT_TRUE(current.empty());
        mHost.mMessages.clear();
        return events;
    }

    sys::RecordingHost mHost;
    sys::WindowHandle mWindow = kHost;
    bool mHostPage = false;
    std::vector<bool> mCursor;
};

using Texts = std::vector<std::string>;

TEST_F(PortalBridgeTest, PiecesAreEightBytesWithZeroPadding)
{
    SendHostEvent("1234567", false);
    ASSERT_EQ(1u, mHost.mMessages.size());
    EXPECT_EQ(0x34333231u, uint32_t(mHost.mMessages[0].wParam));
    EXPECT_EQ(0x00373635u, uint32_t(mHost.mMessages[0].lParam));
    mHost.mMessages.clear();
    SendHostEvent("12345678", false);
    ASSERT_EQ(2u, mHost.mMessages.size());
    EXPECT_EQ(0u, uint32_t(mHost.mMessages[1].wParam));
    EXPECT_EQ(0u, uint32_t(mHost.mMessages[1].lParam));
    mHost.mMessages.clear();
    SendHostEvent("GameBreak(\"<data>x</data>\")", false);
    EXPECT_EQ(Texts{"GameBreak(\"<data>x</data>\")"}, Events());
}

TEST_F(PortalBridgeTest, MsnStartPausesUntilTheHostLetsGo)
{
    InstallMsnHandler();
    Set("loadbroadcast", "37");
    EXPECT_EQ(Texts{"LoadBroadcast(\"<data><percentcomplete>100</percentcomplete></data>\")"},
              Events());
    EXPECT_TRUE(TGameState::QueryHostPause());
    EXPECT_EQ(0.0f, mVolume) << "silent outside a game";
    const uint32_t before = GetHostPauseTime();
    const uint32_t platformBefore = GetPlatformTime();
    Set("sessionready", "0");
    Set("sessionready", "0");
    EXPECT_EQ(Texts{"SessionReady(\"<data></data>\")"}, Events());
    Set("loadbroadcast", "0");
    EXPECT_TRUE(Events().empty());
    sys::AdvanceManualClock(700);
    Set("windowmessage", "5");
    EXPECT_FALSE(TGameState::QueryHostPause());
    EXPECT_EQ(before + 700, GetHostPauseTime());
    EXPECT_EQ(platformBefore, GetPlatformTime()) << "the pause is not platform time";
    for (const char* command : {"6", "9", "10"})
    {
        Set("breaknow", "");
        EXPECT_TRUE(TGameState::QueryHostPause());
        Set("windowmessage", command);
        EXPECT_FALSE(TGameState::QueryHostPause()) << command;
    }
    EXPECT_EQ((Texts{"GameBreak(\"<data><breakpoint>1</breakpoint></data>\")",
                     "GameBreak(\"<data><breakpoint>2</breakpoint></data>\")",
                     "GameBreak(\"<data><breakpoint>3</breakpoint></data>\")"}),
              Events());
    EXPECT_EQ("msn", Store().GetState("systemmode"));
}

TEST_F(PortalBridgeTest, MsnGameCommandsAndScores)
{
    InstallMsnHandler();
    Set("windowmessage", "7");
    EXPECT_FALSE(TGameState::QueryRestartMode()) << "the first new game only leaves the menu";
    EXPECT_EQ(0.75f, mVolume) << "a game is on";
    sys::AdvanceManualClock(6000);
    Set("score", "10");
    sys::AdvanceManualClock(4999);
    Set("score", "11");
    sys::AdvanceManualClock(1);
    Set("score", "12");
    Set("score", "abc");
    EXPECT_EQ((Texts{"ScoreBroadcast(\"<game><score>10</score><time>6</time></game>\")",
                     "ScoreBroadcast(\"<game><score>12</score><time>11</time></game>\")"}),
              Events());
    Set("windowmessage", "7");
    EXPECT_TRUE(TGameState::QueryRestartMode());
    EXPECT_FALSE(TGameState::QueryRestartMode());
    Set("windowmessage", "8");
    EXPECT_TRUE(TGameState::QueryRestartMode());
    Set("windowmessage", "1");
    EXPECT_TRUE(TGameState::QueryJumpToMenu());
    EXPECT_FALSE(TGameState::QueryJumpToMenu());
    EXPECT_EQ(0.0f, mVolume) << "back at the menu";
    Set("windowmessage", "7");
    EXPECT_FALSE(TGameState::QueryRestartMode()) << "after the menu, a new game again";
    Set("windowmessage", "2");
    EXPECT_EQ(0.0f, mVolume);
    EXPECT_TRUE(Store().QueryMuteGame());
    Set("windowmessage", "3");
    EXPECT_EQ(0.75f, mVolume);
    for (const char* odd : {"-1", "2147483647", "11", "x"})
    {
        Set("windowmessage", odd);
        EXPECT_FALSE(TGameState::QueryHostPause()) << odd;
        EXPECT_EQ(0.75f, mVolume) << odd;
    }
    Set("score", "40");
    Set("gameover", "1");
    EXPECT_EQ((Texts{"ScoreBroadcast(\"<game><score>40</score><time>0</time></game>\")",
                     "ScoreSubmit(\"<game><score>40</score><time>0</time></game>\")",
                     "GameEnd(\"<gamedata></gamedata>\")"}),
              Events());
}

TEST_F(PortalBridgeTest, ZylomPausesSubmitsAndRestarts)
{
    InstallZylomHandler();
    Set("cmdline", "game.exe -zylom -com_interval=3");
    Set("sessionready", "0");
    EXPECT_FALSE(TGameState::QueryHostPause()) << "no pause after events";
    Set("windowmessage", "7");
    Set("pause", "1");
    Set("pause", "1");
    EXPECT_EQ(0.0f, mVolume);
    Set("windowmessage", "4");
    EXPECT_TRUE(TGameState::QueryHostPause());
    Set("pause", "0");
    Set("windowmessage", "5");
    EXPECT_EQ(0.75f, mVolume) << "the game's resume was recorded during the host pause";
    EXPECT_EQ((Texts{"SessionReady(\"<data></data>\")", "GamePause(\"<data>true</data>\")"}),
              Events());
    Set("level", "4");
    Set("sublevel", "2");
    Set("level", "zz");
    Set("level", "5");
    Set("restartbutton", "1");
    EXPECT_EQ("0", Store().GetState("restartbutton"));
    sys::AdvanceManualClock(4000);
    EXPECT_EQ("1", Store().GetState("restartbutton"));
    Set("restartbutton", "1");
    EXPECT_TRUE(Events().empty()) << "no restart before a submitted score";
    Set("score", "9");
    Set("gameover", "1");
    Set("restartbutton", "1");
    EXPECT_EQ((Texts{"ScoreBroadcast(\"<game><score>9</score><time>4</time></game>\")",
                     "ScoreSubmit(\"<game><score>9</score><time>4</time><level>5</level>"
                     "<sublevel>2</sublevel></game>\")",
                     "GameEnd(\"<gamedata></gamedata>\")", "Restart"}),
              Events());
    EXPECT_EQ("zylom", Store().GetState("systemmode"));
    InstallMsnHandler();
    EXPECT_EQ("msn", Store().GetState("systemmode")) << "with both, the later rule wins";
}

TEST_F(PortalBridgeTest, RestartNeedsAnInterval)
{
    InstallZylomHandler();
    Set("cmdline", "game.exe -zylom");
    Set("windowmessage", "7");
    sys::AdvanceManualClock(100000);
    EXPECT_EQ("0", Store().GetState("restartbutton"));
}

TEST_F(PortalBridgeTest, HostPageOnlyMarksTheGame)
{
    mHostPage = true;
    InstallMsnHandler();
    Set("loadbroadcast", "0");
    Set("sessionready", "0");
    Set("gameover", "1");
    EXPECT_TRUE(mHost.mMessages.empty());
    EXPECT_FALSE(TGameState::QueryHostPause());
    EXPECT_EQ(0.75f, mVolume) << "every event counts as in a game, GameEnd too";
}

TEST_F(PortalBridgeTest, AolAloneAnswersOnlyItsName)
{
    InstallAolHandler();
    Set("cmdline", "game -aol");
    Set("sessionready", "0");
    Set("gamemode", "adventure");
    Set("windowmessage", "4");
    Set("windowmessage", "2");
    EXPECT_TRUE(mHost.mMessages.empty());
    EXPECT_FALSE(TGameState::QueryHostPause());
    EXPECT_EQ(0.75f, mVolume);
    EXPECT_EQ("aol", Store().GetState("systemmode"));
    EXPECT_EQ(0u, GetHostServices().GetHostPauseTime()) << "only pausing portals count";
}

TEST_F(PortalBridgeTest, BadInputStaysSafe)
{
    InstallMsnHandler();
    Set("gamemode", std::string(300, 'm').c_str());
    const Texts events = Events();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ(255u, events[0].size());
    EXPECT_EQ(0u, events[0].rfind("GameReady(\"<data><mode>mmm", 0));
    EXPECT_EQ("</mode></data>\")", events[0].substr(events[0].size() - 16));
    mHost.RemoveWindow(kHost);
    Set("windowmessage", "5");
    Set("breaknow", "");
    EXPECT_TRUE(TGameState::QueryHostPause());
    mWindow = 0;
    Set("windowmessage", "5");
    Set("breaknow", "");
    EXPECT_TRUE(mHost.mMessages.empty());
}

} // namespace
