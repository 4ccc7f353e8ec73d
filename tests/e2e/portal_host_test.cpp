// End-to-end runs under a game portal's host, the test host standing in for the page: the program
// is copied into the test's folder (hosted runs keep their data beside it) and started with
// "-msn -wnd=4ab0" or "-zylom -wnd=4ab0"; the host's log is read back as event texts. These runs
// are on the real clock, but for one that shows a hosted start moves on the fixed step too.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "e2e/program_test_support.h"

namespace
{
using namespace e2etest;
using Texts = std::vector<std::string>;

// The start script: after its first wait it reads the portal's name and reports a game and two
// quick scores.
constexpr const char* kStartScript = R"lua(return function()
    Pause(100)
    print("tick " .. GetState("systemmode"))
    SetState("gamemode", "adventure")
    SetState("score", 10)
    SetState("score", 20)
    Pause(100)
    print("after")
    while true do
        WaitForMessage()
    end
end
)lua";

const std::string kLoad = "LoadBroadcast(\"<data><percentcomplete>100</percentcomplete></data>\")";
const std::string kReady = "SessionReady(\"<data></data>\")";
const std::string kGame = "GameReady(\"<data><mode>adventure</mode></data>\")";
// Its time is the seconds since the host's new game on the real clock (0 or 1 here): read as "t".
const std::string kScore = "ScoreBroadcast(\"<game><score>10</score><time>t</time></game>\")";

class PortalHostTest : public GameProgramTest
{
protected:
    void SetUp() override
    {
        GameProgramTest::SetUp();
        WriteScript("mainloop.lua", kStartScript);
        PlaceProgram(mProgram);
    }

    // Starts the copied program under the test host with `input`; its standard output goes to
    // the run's file.
    int StartHosted(const std::string& input, const std::string& portal,
                    const std::vector<std::string>& extraEnv = {})
    {
        const fs::path script = mRoot / ("input" + std::to_string(++mRuns) + ".txt");
        WriteFile(script, input);
        mOutputFile = mRoot / ("output" + std::to_string(mRuns) + ".txt");
        std::vector<std::string> env = mEnv;
        env.insert(env.end(),
                   {"MURKWELL_INPUT_SCRIPT=" + script.string(), "MURKWELL_GUID_SEED=1",
                    "MURKWELL_HOST_LOG=" + mHostLog.string(), "MW_OUTPUT=" + mOutputFile.string()});
        env.insert(env.end(), extraEnv.begin(), extraEnv.end());
        int pid = sys::SpawnProcess({"/bin/sh", "-c", "exec \"$0\" \"$@\" >\"$MW_OUTPUT\"",
                                     mProgram.string(), "--multiple", "-wd=" + mGame.string(),
                                     portal, "-wnd=4ab0"},
                                    env);
        EXPECT_GT(pid, 0);
        if (pid > 0)
            mStarted.push_back(pid);
        return pid;
    }

    // Waits (at most the start limit) until the host has received `count` event texts.
    void AwaitEvents(size_t count) const
    {
        const uint32_t start = LoadTimeMs();
        while (Events().size() < count && LoadTimeMs() - start < kStartLimitMs)
            sys::SleepMs(50);
    }

    // Asks a run the host holds to end as the system does (SIGTERM, SIGINT): the hold ends and the
    // game ends as it does outside one, with 0, well within the quit watch's grace.
    void EndHeldRun(int pid, int signal)
    {
        ::kill(pid, signal);
        int code = -1;
        EXPECT_TRUE(WaitProcessLoaded(pid, 6000, code)) << "held 6 s after signal " << signal;
        EXPECT_EQ(code, 0) << "after signal " << signal;
    }

    // The event texts the host received, each put back together from its 8-byte pieces.
    Texts Events() const
    {
        Texts events;
        std::string current;
        const std::string log = ReadFile(mHostLog);
        size_t start = 0;
        while (start < log.size())
        {
            size_t end = log.find('\n', start);
            if (end == std::string::npos)
                break;
            char kind[8] = {};
            unsigned long window = 0, message = 0, low = 0, high = 0;
            const std::string line = log.substr(start, end - start);
            start = end + 1;
            EXPECT_EQ(std::sscanf(line.c_str(), "%7s %lx %lx %lx %lx", kind, &window, &message,
                                  &low, &high),
                      5)
                << line;
            EXPECT_EQ(std::string(kind) + " " + std::to_string(window) + " " +
                          std::to_string(message),
                      "post 19120 1024")
                << line;
            char piece[8];
            for (int i = 0; i < 4; ++i)
            {
                piece[i] = char(low >> (8 * i) & 0xFF);
                piece[4 + i] = char(high >> (8 * i) & 0xFF);
            }
            const void* nul = std::memchr(piece, 0, 8);
            current.append(piece, nul ? size_t(static_cast<const char*>(nul) - piece) : 8);
            if (nul)
            {
                events.push_back(std::regex_replace(current, std::regex("<time>[0-9]+</time>"),
                                                    "<time>t</time>"));
                current.clear();
            }
        }
        return events;
    }

    const fs::path mProgram = mRoot / "program/murkwell";
    const fs::path mHostLog = mRoot / "host.log";
};

// The host hears the load and the session before anything ticks; after its new-game command the
// script reads "msn", and its game and first score reach the host (a score counts only in a game,
// which the command starts); the second score, within five seconds, is dropped. The game's pause
// ends at the host's resume. The same on the tests' fixed step, whose clock passes the hosted
// start's second with the display off as it passes empty polls; that clock starts at 0, the tick
// a new game takes as its last broadcast's, so there the first score (before 5 s) is dropped too.
TEST_F(PortalHostTest, TheFirstPortalHoldsTheGameUntilTheHostLetsGo)
{
    for (const std::string step : {"", "MURKWELL_FIXED_STEP=16"})
    {
        fs::remove(mHostLog);
        int pid = StartHosted("focus gained\nwait 100\nhost 7\nwait 300\nhost 5\nwait 300\nclose\n",
                              "-msn", step.empty() ? Texts{} : Texts{step});
        ASSERT_GT(pid, 0);
        int code = -1;
        EXPECT_TRUE(WaitProcessLoaded(pid, kStartLimitMs, code)) << step;
        EXPECT_EQ(code, 0) << step;
        EXPECT_EQ(ReadFile(mOutputFile), "tick msn\nafter\n") << step;
        EXPECT_EQ(Events(), step.empty() ? (Texts{kLoad, kReady, kGame, kScore})
                                         : (Texts{kLoad, kReady, kGame}))
            << step;
    }
}

// GameReady's pause and the host's pause command each hold the game: no frame is drawn, so a shot
// asked for then never comes. The system's requests to end a held game end it.
TEST_F(PortalHostTest, HostPausesDrawNoFrame)
{
    int pid =
        StartHosted("focus gained\nwait 100\nhost 7\nwait 300\nshot held\nwait 300\n", "-msn");
    ASSERT_GT(pid, 0);
    AwaitEvents(4);
    sys::SleepMs(2000);
    EndHeldRun(pid, SIGTERM);
    EXPECT_EQ(Events(), (Texts{kLoad, kReady, kGame, kScore}));
    EXPECT_FALSE(HasShot("held")) << "a frame was drawn during GameReady's pause";

    fs::remove(mHostLog);
    pid = StartHosted("focus gained\nwait 100\nhost 7\nwait 300\nhost 5\nwait 300\nshot resumed\n"
                      "host 4\nwait 50\nshot paused\nwait 300\n",
                      "-msn");
    ASSERT_GT(pid, 0);
    const uint32_t start = LoadTimeMs();
    while (!HasShot("resumed") && LoadTimeMs() - start < kStartLimitMs)
        sys::SleepMs(50);
    EXPECT_TRUE(HasShot("resumed"));
    sys::SleepMs(2000);
    EndHeldRun(pid, SIGINT);
    EXPECT_FALSE(HasShot("paused")) << "a frame was drawn during the host's pause";
}

// A close request while GameReady's pause holds the game ends it as one outside a hold does: the
// script never gets past the pause, and the game's end is told to the host.
TEST_F(PortalHostTest, ACloseRequestEndsAHeldGame)
{
    int pid = StartHosted("focus gained\nwait 100\nhost 7\nwait 300\nclose\n", "-msn");
    ASSERT_GT(pid, 0);
    int code = -1;
    EXPECT_TRUE(WaitProcessLoaded(pid, kStartLimitMs, code)) << "the held game did not end";
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadFile(mOutputFile), "tick msn\n");
    EXPECT_EQ(Events(), (Texts{kLoad, kReady, kGame, kScore}));
}

// Under the second portal the game runs on after the session's event, and a host window that is
// gone ends the program, with 0.
TEST_F(PortalHostTest, TheSecondPortalEndsWhenItsHostWindowIsGone)
{
    int pid = StartHosted("focus gained\nwait 50\nhost gone\nwait 3000\n", "-zylom");
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitForEnd(pid), 0);
    // Only the first portal hears the load; no pause follows the session here.
    const Texts events = Events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front(), kReady);
}

} // namespace
