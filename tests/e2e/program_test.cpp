// End-to-end tests of the program itself, run headless on SDL's dummy drivers with its data folders
// in a temporary folder: start-up on the assets beside it or on another game folder, the log line,
// a quit request from the system, the display and its device identifier, the single instance, the
// host-window check and the harness hook; the first screen driven by input scripts on the fixed
// clock (its button, a close request, its picture against a golden one, bad content); framework
// screens on a game folder of their own (profiles kept between runs, a fade ending the game, the
// pause and resume on a lost and regained focus, credits whose end ends the game).
#include "support/files.h"
#include "support/loopback_server.h"
#include "sys/clock.h"
#include "sys/process/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "e2e/program_test_support.h"

namespace
{
using namespace e2etest;

TEST_F(ProgramTest, StartsOnTheAssetsBesideItAndEndsWhenAskedToQuit)
{
    int pid = Start({});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitForStart(pid));
    // The system's request to end (as at log-out) reaches the game as a close request.
    sys::SignalProcess(pid, false);
    EXPECT_EQ(WaitForEnd(pid), 0);
    std::string log = ReadFile(LogFile());
    EXPECT_NE(log.find(": Murkwell, version 1."), std::string::npos) << log;
}

// A data folder that cannot be written (here its place is taken by a file) is said once on
// standard error at start-up, with the folder and the reason; the game runs on and ends as asked.
TEST_F(ProgramTest, ADataFolderThatCannotBeWrittenIsSaidOnceAtStartUp)
{
    WriteFile(mRoot / "data/Tovrix", "a file where the publisher's folder goes\n");
    const fs::path input = mRoot / "input.txt";
    WriteFile(input, "focus gained\nwait 5\nclose\n");
    const fs::path said = mRoot / "stderr.txt";
    std::vector<std::string> env = mEnv;
    env.insert(env.end(), {"MW_OUTPUT=" + said.string(), "MURKWELL_INPUT_SCRIPT=" + input.string(),
                           "MURKWELL_FIXED_STEP=16"});
    const int pid = sys::SpawnProcess(
        {"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>\"$MW_OUTPUT\"", MURKWELL_PROGRAM, "--multiple"},
        env);
    ASSERT_GT(pid, 0);
    mStarted.push_back(pid);
    EXPECT_EQ(WaitForEnd(pid), 0);
    const std::string text = ReadFile(said);
    const std::string line = "ERROR: The data folder '" +
                             (mRoot / "data/Tovrix/Murkwell").string() + "' cannot be written (" +
                             std::strerror(ENOTDIR) +
                             "): profiles, options and scores will not be kept.\n";
    EXPECT_NE(text.find(line), std::string::npos) << text;
    EXPECT_EQ(text.find(line), text.rfind(line)) << "said more than once:\n" << text;
}

// Started with hangups ignored (as nohup starts it), the game outlives its terminal; the other
// requests to end still reach it.
TEST_F(ProgramTest, AGameStartedWithHangUpsIgnoredOutlivesItsTerminal)
{
    std::signal(SIGHUP, SIG_IGN);
    int pid = Start({});
    std::signal(SIGHUP, SIG_DFL);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitForStart(pid));
    ::kill(pid, SIGHUP);
    // A quit ends a run this small within a second, even under the sanitizers.
    sys::SleepMs(3000);
    int code = -1;
    EXPECT_FALSE(sys::WaitProcess(pid, 0, code)) << "ended with " << code;
    sys::SignalProcess(pid, false);
    EXPECT_EQ(WaitForEnd(pid), 0);
}

TEST_F(ProgramTest, RunsOnTheDummyAudioDriverAndEndsCleanly)
{
    int pid = Start({});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitForStart(pid));
    // Long enough for the first screen's sounds to start and end; this only bounds the run.
    sys::SleepMs(1500);
    sys::SignalProcess(pid, false);
    EXPECT_EQ(WaitForEnd(pid), 0);
    std::string log = ReadFile(LogFile());
    EXPECT_EQ(log.find("DX Error"), std::string::npos) << log;
    EXPECT_EQ(log.find("OGG file could not be opened"), std::string::npos) << log;
    EXPECT_EQ(log.find("No Sound Manager"), std::string::npos) << log;
    // The sample sounds are generated ("make assets"); with them, every sound named is found.
    if (fs::exists(fs::path(MURKWELL_SOURCE_DIR) / "assets/sound.qmp"))
    {
        EXPECT_EQ(log.find("No valid sound file found"), std::string::npos) << log;
    }
}

TEST_F(ProgramTest, SetsItsDisplayAndLogsTheDeviceIdentifier)
{
    int pid = Start({});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitForStart(pid));
    uint32_t start = LoadTimeMs();
    std::string log;
    while (LoadTimeMs() - start < kStartLimitMs &&
           (log = ReadFile(LogFile())).find("  GUID:      ") == std::string::npos)
        sys::SleepMs(20);
    sys::SignalProcess(pid, false);
    EXPECT_EQ(WaitForEnd(pid), 0);
    EXPECT_NE(log.find(": Device identifier:  \n  Driver: '"), std::string::npos) << log;
    EXPECT_EQ(log.find("DX Error"), std::string::npos) << log;
}

// Standard output into a pipe that a reader follows (a trace piped into grep): each printed line
// reaches the reader as it is printed, not when the game ends.
TEST_F(ProgramTest, PrintedLinesReachAPipeWhileTheGameRuns)
{
    const fs::path pipe = mRoot / "trace.pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0) << std::strerror(errno);
    const int reader = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    mOutputFile = pipe;
    const int pid = Start({"options=trace=1"});
    mOutputFile.clear();
    ASSERT_GT(pid, 0);
    std::string text;
    const uint32_t start = LoadTimeMs();
    while (text.find("trace: start\n") == std::string::npos && LoadTimeMs() - start < kStartLimitMs)
    {
        pollfd ready{reader, POLLIN, 0};
        char bytes[4096];
        const ssize_t got = poll(&ready, 1, 50) > 0 ? read(reader, bytes, sizeof bytes) : -1;
        if (got > 0)
            text.append(bytes, static_cast<size_t>(got));
    }
    int code = -1;
    EXPECT_FALSE(sys::WaitProcess(pid, 0, code)) << "the game ended first";
    EXPECT_NE(text.find("trace: start\n"), std::string::npos) << text;
    sys::SignalProcess(pid, false);
    EXPECT_EQ(WaitForEnd(pid), 0);
    close(reader);
}

TEST_F(ProgramTest, WithoutADisplayTheFallbackDriverIsLogged)
{
    int pid = Start({}, {"SDL_VIDEODRIVER=", "DISPLAY=", "WAYLAND_DISPLAY="});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitForStart(pid));
    std::string log;
    for (int i = 0; i < 100 && log.find(" driver, so no window") == std::string::npos; ++i)
    {
        sys::SleepMs(50);
        log = ReadFile(LogFile());
    }
    sys::SignalProcess(pid, false);
    EXPECT_EQ(WaitForEnd(pid), 0);
    if (log.find(" driver, so no window") == std::string::npos)
        GTEST_SKIP() << "SDL found a display driver on this machine";
    EXPECT_NE(log.find(": No display found: video runs on SDL's \""), std::string::npos) << log;
}

TEST_F(ProgramTest, StartsOnAnotherGameFolderWithOptions)
{
    int pid = Start({"--multiple", "-wd=" + (mRoot / "game").string(), "options=a=1&b=2"});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitForStart(pid));
    sys::SignalProcess(pid, false);
    EXPECT_EQ(WaitForEnd(pid), 0);
}

// Without the start-up script there is nothing to run: the run says so and ends with 1.
TEST_F(ProgramTest, WithoutItsStartUpScriptTheRunEndsWithALineAndOne)
{
    fs::remove(mRoot / "game/assets/scripts/mainloop.lua");
    int pid = Start({"--multiple", "-wd=" + (mRoot / "game").string()});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitForEnd(pid), 1);
    const std::string log = ReadFile(LogFile());
    EXPECT_NE(log.find(": The start-up script scripts/mainloop.lua is missing: nothing to run\n"),
              std::string::npos)
        << log;
}

TEST_F(ProgramTest, ASecondInstanceEndsAtOnceWithoutLogging)
{
    int first = Start({});
    ASSERT_GT(first, 0);
    ASSERT_TRUE(WaitForStart(first));
    // The first instance goes on logging while it sets its display up: the log is taken once that
    // is done and the file has stopped growing.
    const std::string log = SettledLog(LogFile());

    int second = Start({});
    ASSERT_GT(second, 0);
    EXPECT_EQ(WaitForEnd(second), 0);
    // The first one may still log (its start-up script runs at its own pace); the second adds no
    // start line.
    const std::string after = ReadFile(LogFile());
    EXPECT_EQ(after.compare(0, log.size(), log), 0) << after;
    EXPECT_EQ(after.find(": Murkwell, version ", log.size()), std::string::npos) << after;

    // With "--multiple" another one starts.
    // It logs into a data folder of its own (the lock is shared), so that its start-up line can
    // be told from the first one's.
    fs::path thirdData = mRoot / "data3";
    int third = Start({"--multiple"}, {"XDG_DATA_HOME=" + thirdData.string()});
    ASSERT_GT(third, 0);
    ASSERT_TRUE(WaitForStart(third, thirdData / "Tovrix/Murkwell/logfile.txt"));
    sys::SignalProcess(third, false);
    EXPECT_EQ(WaitForEnd(third), 0);

    sys::SignalProcess(first, false);
    EXPECT_EQ(WaitForEnd(first), 0);
}

// The first instance holds the lock and listens beside it while a second start, which finds the
// lock held, tells it so and ends at once; the first runs on to the end of its input script.
TEST_F(ProgramTest, ASecondStartEndsWithinSecondsAndTheFirstRunsOnToItsClose)
{
    const int first = StartReadyCopy("focus gained\nwait 20\nshot ready\nwait 2000\nclose\n");
    ASSERT_GT(first, 0);
    const std::string log = ReadFile(LogFile());
    bool listening = false;
    for (const auto& entry : fs::directory_iterator(mRoot / "data/Tovrix/Murkwell"))
        listening = listening || (entry.path().extension() == ".raise" && entry.is_socket());
    EXPECT_TRUE(listening) << "no notice socket beside the lock";

    // It says why it ends, on standard error: the log is the first one's.
    mErrorFile = mRoot / "second.txt";
    int second = Start({});
    mErrorFile.clear();
    ASSERT_GT(second, 0);
    int code = -1;
    EXPECT_TRUE(WaitProcessLoaded(second, 5000, code)) << "the second start did not end in 5 s";
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadFile(mRoot / "second.txt"),
              "Murkwell is already running; its window was raised.\n");
    EXPECT_FALSE(sys::WaitProcess(first, 0, code)) << "the first instance ended early";
    EXPECT_EQ(ReadFile(LogFile()), log);

    EXPECT_EQ(WaitForEnd(first), 0);
    for (const auto& entry : fs::directory_iterator(mRoot / "data/Tovrix/Murkwell"))
        EXPECT_NE(entry.path().extension(), ".raise") << "the notice socket outlived its holder";
    // The lock lies in the data folder, where it stays; nothing is left anywhere else.
    EXPECT_TRUE(fs::is_regular_file(mRoot / "data/Tovrix/Murkwell" / InstanceLockName()));
    EXPECT_TRUE(fs::is_empty(mRoot / "run"));
}

// Two copies on one data folder each keep a log of their own, whole: the second neither removes
// the first's log nor writes into it, and logs to the next free name.
TEST_F(ProgramTest, TwoCopiesOnOneDataFolderEachKeepALogOfTheirOwn)
{
    const fs::path data = mRoot / "data/Tovrix/Murkwell";
    const int first = Start({"--multiple"});
    ASSERT_GT(first, 0);
    ASSERT_TRUE(WaitForStart(first));
    const std::string log = SettledLog(LogFile());
    const int second = Start({"--multiple"});
    ASSERT_GT(second, 0);
    ASSERT_TRUE(WaitForStart(second, data / "logfile2.txt"));
    const std::string secondLog = SettledLog(data / "logfile2.txt");
    for (int pid : {second, first})
    {
        sys::SignalProcess(pid, false);
        EXPECT_EQ(WaitForEnd(pid), 0);
    }
    EXPECT_EQ(ReadFile(LogFile()), log);
    EXPECT_EQ(ReadFile(data / "logfile2.txt"), secondLog);
    for (const std::string& whole : {log, secondLog})
    {
        EXPECT_EQ(whole.find(": Murkwell, version "), 24u) << whole;
        EXPECT_EQ(whole.find(": Murkwell, version ", 25), std::string::npos) << whole;
        EXPECT_NE(whole.find("\n  GUID:      "), std::string::npos) << whole;
    }
}

// Whatever lies between, a second start raises the first: a program installed so deep that its
// lock's name and ".raise" do not fit a socket's address listens under a short name beside the
// lock, and a hard-link copy of the data folder made while it runs (as backup tools make them)
// stops neither its lock nor its log: its later lines reach the log, and the copy keeps the log
// as it took it.
TEST_F(ProgramTest, ASecondStartRaisesAFirstInstalledDeepAfterAHardLinkCopyOfItsDataFolder)
{
    const fs::path folder = mRoot / std::string(70, 'd') / std::string(70, 'e');
    mStartedProgram = PlaceProgram(folder / "murkwell");
    fs::create_directory_symlink(fs::path(MURKWELL_PROGRAM).parent_path() / "assets",
                                 folder / "assets");
    // A folder in the way of the late shot makes the first copy log a line after the copy is made.
    fs::create_directory(mRoot / "late.png");
    const int first =
        StartReadyCopy("focus gained\nwait 20\nshot ready\nwait 2000\nshot late\nwait 20\nclose\n");
    ASSERT_GT(first, 0);
    std::vector<std::string> sockets;
    for (const auto& entry : fs::directory_iterator(mRoot / "data/Tovrix/Murkwell"))
        if (entry.is_socket())
            sockets.push_back(entry.path().filename().string());
    ASSERT_EQ(sockets.size(), 1u);
    EXPECT_TRUE(std::regex_match(sockets[0], std::regex("[0-9a-f]{16}\\.raise"))) << sockets[0];
    int code = -1;
    const int copy = sys::SpawnProcess(
        {"cp", "-al", (mRoot / "data/Tovrix/Murkwell").string(), (mRoot / "backup").string()},
        mEnv);
    ASSERT_TRUE(WaitProcessLoaded(copy, 5000, code));
    ASSERT_EQ(code, 0);
    const std::string copied = ReadFile(mRoot / "backup/logfile.txt");
    ASSERT_NE(copied, "");

    mErrorFile = mRoot / "second.txt";
    const int second = Start({});
    mErrorFile.clear();
    ASSERT_GT(second, 0);
    EXPECT_TRUE(WaitProcessLoaded(second, 5000, code)) << "the second start did not end in 5 s";
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadFile(mRoot / "second.txt"),
              "Murkwell is already running; its window was raised.\n");

    EXPECT_EQ(WaitForEnd(first), 0);
    EXPECT_EQ(ReadFile(mRoot / "backup/logfile.txt"), copied);
    const std::string log = ReadFile(LogFile());
    EXPECT_EQ(log.compare(0, copied.size(), copied), 0) << log;
    EXPECT_NE(log.find("could not be written to " + (mRoot / "late.png").string(), copied.size()),
              std::string::npos)
        << log;
}

// A lock file another user made and holds, where the old place of the lock and a data folder that
// lets others write leave room for one, is no running copy of the player's: the game starts, and
// its log says why the lock was not taken.
TEST_F(ProgramTest, ALockFileHeldByAnotherUserKeepsNoCopyFromStarting)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "only the superuser can start a holder as another user here";
    const fs::path data = mRoot / "data/Tovrix/Murkwell";
    fs::create_directories(data);
    for (const fs::path& folder : {mRoot / "run", data})
        fs::permissions(folder, fs::perms::all | fs::perms::sticky_bit);
    // Another user's process makes the file and holds it until the test ends.
    std::vector<int> holders;
    for (const fs::path& lock : {mRoot / "run" / InstanceLockName(), data / InstanceLockName()})
    {
        const fs::path ready = lock.string() + ".ready";
        const int holder = sys::SpawnProcess(
            {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "/bin/sh", "-c",
             "exec 9>>\"$0\" && flock -x 9 && touch \"$1\" && exec sleep 600", lock.string(),
             ready.string()},
            {});
        ASSERT_GT(holder, 0);
        mStarted.push_back(holder);
        const uint32_t start = LoadTimeMs();
        while (!fs::exists(ready) && LoadTimeMs() - start < kStartLimitMs)
            sys::SleepMs(20);
        ASSERT_TRUE(fs::exists(ready)) << "the other user's holder did not start";
    }
    mErrorFile = mRoot / "errors.txt";
    const int pid = Start({});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitForStart(pid));
    sys::SignalProcess(pid, false);
    EXPECT_EQ(WaitForEnd(pid), 0);
    EXPECT_EQ(ReadFile(mErrorFile).find("already running"), std::string::npos)
        << ReadFile(mErrorFile);
    EXPECT_NE(ReadFile(LogFile()).find("ERROR: The single-instance lock '" +
                                       (data / InstanceLockName()).string() +
                                       "' could not be taken (it belongs to another user): no "
                                       "other copy is looked for."),
              std::string::npos)
        << ReadFile(LogFile());
}

TEST_F(ProgramTest, AHostWindowThatIsNoWindowEndsWithMinusOne)
{
    int pid = Start({"-wnd=0"});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitForEnd(pid), 255);
    EXPECT_FALSE(fs::exists(LogFile()));
}

TEST_F(ProgramTest, TheHarnessReplacesTheCommandLineBeforeAnyOptionIsRead)
{
    // Found through the library search path; its command line makes the start-up end at once.
    int pid = Start({"--multiple"}, {"LD_LIBRARY_PATH=" + std::string(MURKWELL_HARNESS_FOLDER),
                                     "MURKWELL_HARNESS_COMMAND_LINE=-wnd=0"});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitForEnd(pid), 255);
}

TEST_F(ProgramTest, AnAddOnModuleHearsTheStartUpStatesAndIsDestroyedAtTheEnd)
{
#ifndef MURKWELL_TEST_MODULE
    GTEST_SKIP() << "no test module in this build";
#else
    fs::copy_file(MURKWELL_TEST_MODULE, mRoot / "game/assets/testmodule.qmmod");
    std::string game = (mRoot / "game").string();
    int pid = Start({"--multiple", "-wd=" + game});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitForStart(pid));
    sys::SignalProcess(pid, false);
    EXPECT_EQ(WaitForEnd(pid), 0);
    fs::path user = mRoot / "data/Tovrix/Murkwell";
    std::string record = ReadFile(user / "testmodule_record.txt");
    size_t cmdline = record.find("set cmdline=--multiple -wd=" + game + "\n");
    size_t common =
        record.find("set commondatadir=" + (mRoot / "data/common/Tovrix/Murkwell").string() + "\n");
    size_t userdata = record.find("set userdatadir=" + user.string() + "\n");
    EXPECT_EQ(record.rfind("create\n", 0), 0u) << record;
    EXPECT_NE(cmdline, std::string::npos) << record;
    EXPECT_LT(cmdline, common) << record;
    EXPECT_LT(common, userdata) << record;
    EXPECT_NE(common, std::string::npos) << record;
    EXPECT_NE(userdata, std::string::npos) << record;
    EXPECT_EQ(record.substr(record.size() - 8), "destroy\n") << record;
#endif
}

// Runs of the first screen: input scripts on the fixed clock, with seeded GUIDs.

// The dev screen's "Quit" button (centred, 220 x 44, its top at 440) clicked once the window has
// the focus (the dummy driver gives it none, and a click on an unfocused window only activates it)
// and the activation time has passed. A close request follows after a shot, so that a click that
// does nothing shows as a picture, not as a hang.
constexpr const char* kClickQuit =
    "focus gained\nwait 20\nclick 400 462\nwait 60\nshot after\nclose\n";

TEST_F(ScreenProgramTest, TheFirstScreensButtonEndsTheGame)
{
    EXPECT_EQ(RunScripted(CopyGame("content"), kClickQuit, {kToolkitStart}), 0);
    EXPECT_FALSE(fs::exists(mRoot / "after.png")) << "the click did not end the game";
    ExpectCleanLog();
}

TEST_F(ScreenProgramTest, OnTheRepositorysContentAClickOrACloseEndsTheGame)
{
    for (const char* script : {kClickQuit, "wait 10\nclose\n"})
    {
        fs::remove(LogFile());
        EXPECT_EQ(RunScripted(mRepository, script, {kToolkitStart}), 0) << script;
        ExpectCleanLog();
    }
    EXPECT_FALSE(fs::exists(mRoot / "after.png")) << "the click did not end the game";
}

// What a player finds in the log after switching the display to a window and back, with a data
// folder that cannot be written: the identifier block once (each switch creates the device
// again), no error line for the sound on the dummy driver, and the failed save of the display
// choice naming the file where it is on disk.
TEST_F(ScreenProgramTest, TheLogSaysEachThingOnceAndNamesAFailedWritesFileWhereItIs)
{
    const fs::path data = mRoot / "data/Tovrix/Murkwell";
    // The folder's modes do not stop the superuser; a folder in the preferences file's place,
    // with every name a kept copy of it could take also taken, refuses the saves for every user.
    fs::create_directories(data / "prefs.dat");
    fs::create_directories(data / "prefs.dat.bad");
    for (int n = 1; n <= 9; ++n)
        fs::create_directories(data / ("prefs.dat.bad" + std::to_string(n)));
    WriteFile(LogFile(), "");
    fs::permissions(data, fs::perms::owner_write, fs::perm_options::remove);
    const int code = RunScripted(mRepository, "focus gained\nwait 30\nkey 13 alt\nwait 30\n"
                                              "key 13 alt\nwait 30\nclose\n");
    fs::permissions(data, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(code, 0);
    // Full screen at the start and again after the second switch.
    ExpectLogged(": Created screen at 32 bpp.", 2);
    ExpectLogged("Device identifier:", 1);
    ExpectLogged("DX Error", 0);
    ExpectLogged(": ERROR: Preferences file '" + (data / "prefs.dat").string() +
                 "' was not read: it is a folder\n");
    ExpectLogged(": ERROR: The damaged preferences '" + (data / "prefs.dat").string() +
                 "' could not be kept aside: '" + (data / "prefs.dat.bad").string() +
                 "' and the 9 names after it are taken; they are not saved over it\n");
    ExpectLogged("'user:", 0);
}

// Two runs on the fixed clock give the same picture, which matches the golden one.
TEST_F(ScreenProgramTest, TheFirstScreensPictureRepeatsAndMatchesItsGolden)
{
    const std::string script = "wait 20\nshot screen\nclose\n";
    ASSERT_EQ(RunScripted(mRepository, script, {kToolkitStart}), 0);
    const Picture first = ReadPicture(mRoot / "screen.png");
    fs::remove(mRoot / "screen.png");
    ASSERT_EQ(RunScripted(mRepository, script, {kToolkitStart}), 0);
    const Picture second = ReadPicture(mRoot / "screen.png");
    ASSERT_EQ(first.mWidth, 800u);
    ASSERT_EQ(first.mHeight, 600u);
    EXPECT_TRUE(first.mPixels == second.mPixels) << "two runs differ";

    ExpectMatchesGolden(first, "dev_screen.png");
}

// Spoilt content: one file of a copy of the content replaced; the run logs the fault, goes on, and
// ends with 0 on a close request, or with 1 by itself when the first screen fails while it runs.
struct BadContent
{
    const char* mName;
    const char* mFile;
    const char* mText;
    const char* mLogLine;
    int mStatus = 0;
};

void PrintTo(const BadContent& bad, std::ostream* out)
{
    *out << bad.mName;
}

class BadContentProgramTest : public ScreenProgramTest,
                              public ::testing::WithParamInterface<BadContent>
{
};

TEST_P(BadContentProgramTest, IsLoggedAndNothingCrashes)
{
    const BadContent& bad = GetParam();
    const fs::path game = CopyGame("content");
    WriteFile(game / "assets" / bad.mFile, bad.mText);
    EXPECT_EQ(RunScripted(game, "focus gained\nwait 20\nclick 400 462\nwait 10\nclose\n",
                          {kToolkitStart}),
              bad.mStatus);
    const std::string log = ReadFile(LogFile());
    EXPECT_NE(log.find(bad.mLogLine), std::string::npos) << log;
}

const char* const kScreen = kToolkitScreen;

INSTANTIATE_TEST_SUITE_P(Content, BadContentProgramTest,
                         ::testing::Values(BadContent{
                             "MissingLabel", kScreen,
                             "MakeDialog { Text { label = 'no_such_label', w = 200, h = 40 } }\n",
                             "Missing string for label 'no_such_label'"}),
                         [](const ::testing::TestParamInfo<BadContent>& info)
                         { return info.param.mName; });

// A start-up script that fails while it runs, at once or in the first screen it opens, ends the
// run as one that cannot be read: its error on standard error, status 1 (they ran on with an
// empty screen whose quit question did nothing). A screen's failure names the screen's own
// script, not the start-up script that opened it. One whose function returns leaves no screen
// waiting, and the quit question still quits. The Escape and "Yes" come either way.
TEST_F(ScreenProgramTest, AStartScriptThatFailsWhileItRunsEndsWithOneAndItsError)
{
    struct Shape
    {
        const char* mName;
        std::vector<std::pair<const char*, const char*>> mFiles;
        int mStatus;
        std::string mSaid;
    };
    const std::string failed = "The start-up script scripts/mainloop.lua failed (";
    const Shape shapes[] = {
        {"raising",
         {{"scripts/mainloop.lua", "error('no start')\n"}},
         1,
         failed + "scripts/mainloop.lua:1: no start): nothing to run\n"},
        {"syntax",
         {{"scripts/mainloop.lua", "return function() DoModal( end\n"}},
         1,
         failed + "scripts/mainloop.lua:1: unexpected symbol near `end'): nothing to run\n"},
        {"first screen raising",
         {{kToolkitScreen, "error('the screen broke')\n"}},
         1,
         "The screen script assets/scripts/dev/toolkit.lua failed "
         "(assets/scripts/dev/toolkit.lua:1: "
         "the screen broke): the game stops\n"},
        {"first screen reading a broken location",
         {{kToolkitScreen, "ReadFile('scripts/locations/broken.lua')\n"},
          {"scripts/locations/broken.lua", "Location {\n"}},
         1,
         "The screen script assets/scripts/locations/broken.lua failed "
         "(assets/scripts/locations/broken.lua:2: unexpected symbol near `<eof>'): the game "
         "stops\n"},
        {"a function that returns",
         {{"scripts/mainloop.lua", "ReadFile('scripts/game.lua')\nreturn function() end\n"}},
         0,
         ""},
    };
    // A run that hangs fails in a minute, not in the five minutes a play-through may take.
    mEndLimitMs = 60000;
    mErrorFile = mRoot / "stderr.txt";
    for (const Shape& shape : shapes)
    {
        const fs::path game = CopyGame(std::string("game ") + shape.mName);
        for (const auto& [file, text] : shape.mFiles)
            WriteFile(game / "assets" / file, text);
        EXPECT_EQ(RunScripted(game, "focus gained\nwait 20\nkey 27\nwait 60\nclick 400 306\n",
                              {kToolkitStart}),
                  shape.mStatus)
            << shape.mName;
        EXPECT_EQ(ReadFile(mErrorFile), shape.mSaid) << shape.mName;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Toolkit, BadContentProgramTest,
    ::testing::Values(
        BadContent{"UnknownTypeAndWrongStyles", kScreen,
                   "MakeDialog { Bitmap { name = 7, image = {}, x = 'left', y = true },\n"
                   "  Text { label = 3, w = 'wide', h = {}, font = 'big' },\n"
                   "  Button { close = 'yes', graphics = 'none', x = {} } }\n"
                   "MakeDialog { Gadget { name = 'gadget' } }\n",
                   "attempt to call global `Gadget' (a nil value)", 1},
        // An image window without its file stays empty and says nothing; the label after it
        // still reaches the log.
        BadContent{"MissingImage", kScreen,
                   "MakeDialog { Bitmap { name = 'bg', image = 'menu/nothing' },\n"
                   "  Text { label = 'after_the_image', w = 200, h = 40 } }\n",
                   "Missing string for label 'after_the_image'"}),
    [](const ::testing::TestParamInfo<BadContent>& info) { return info.param.mName; });

TEST_F(GameProgramTest, ProfilesMadeByAScreenAreStoredAndFoundByTheNextRun)
{
    WriteScript("make.lua", "CreateNewUser('Ann')\nCreateNewUser('Bob')\n"
                            "print('made', GetNumUsers())\n");
    WriteScript("find.lua", "print(GetNumUsers(), GetCurrentUserName(), IsUserNameInUse('Ann'),\n"
                            "      IsUserNameInUse('Bob'), IsUserNameInUse('Cid'))\n");
    int code = -1;
    EXPECT_EQ(RunScreen("find.lua", "wait 5\nclose\n", code), "0\t\tfalse\tfalse\tfalse\n");
    EXPECT_EQ(RunScreen("make.lua", "wait 5\nclose\n", code), "made\t2\n");
    EXPECT_EQ(code, 0);
    // The shared slot, then one slot per profile.
    const fs::path prefs = mRoot / "data/Tovrix/Murkwell/prefs.dat";
    const std::string slots = "USER 0\n  curuser = \"1\"\nUSER 1\n  gamemode = \"1\"\n"
                              "  name = \"Ann\"\nUSER 2\n  gamemode = \"1\"\n";
    // The current profile's player record is saved as the game ends.
    const std::string bob = "  name = \"Bob\"\n";
    EXPECT_EQ(DumpPrefs(prefs),
              slots + bob + "  playerdata = hex 00 00 00 00 00 00 00 00 00 00 00 00\n");
    // Cut inside its last chunk: what came before, then the error.
    const std::string bytes = ReadFile(prefs);
    WriteFile(mRoot / "cut.dat", bytes.substr(0, bytes.size() - 3));
    EXPECT_EQ(DumpPrefs(mRoot / "cut.dat"),
              slots + bob + "prefsdump: '" + (mRoot / "cut.dat").string() +
                  "' is damaged: only what came before the bad chunk was read\n");
    // A folder, or nothing at all, is no file to read: a message and exit code 1.
    int dumpCode = -1;
    EXPECT_EQ(DumpPrefs(mRoot, &dumpCode),
              "prefsdump: cannot read '" + mRoot.string() + "': it is a folder\n");
    EXPECT_EQ(dumpCode, 1);
    EXPECT_NE(DumpPrefs(mRoot / "absent.dat", &dumpCode).find("prefsdump: cannot read '"),
              std::string::npos);
    EXPECT_EQ(dumpCode, 1);
    // The last one made is the current one.
    EXPECT_EQ(RunScreen("find.lua", "wait 5\nclose\n", code), "2\tBob\ttrue\ttrue\tfalse\n");
    EXPECT_EQ(code, 0);
}

// A fading screen whose button starts the fade out; the fade's close script ends the game.
constexpr const char* kFadeScreen = R"lua(MakeDialog {
    GameWindow {
        name = "fade", x = 0, y = 0, w = 800, h = 600, fade = true, fadetime = 100,
        Button {
            name = "go", x = 300, y = 250, w = 200, h = 100, spritecollision = false,
            command = function()
                print("fading")
                FadeOut("print('closed'); PostMessage(CreateNamedMessage(kQuitNow, 'quit'))")
            end,
}
,
}
,
}
)lua";

TEST_F(GameProgramTest, AFadingScreensButtonEndsTheGameThroughItsCloseScript)
{
    WriteScript("fade.lua", kFadeScreen);
    int code = -1;
    const std::string output = RunScreen(
        "fade.lua", "focus gained\nwait 20\nclick 400 300\nwait 60\nshot after\nclose\n", code);
    EXPECT_EQ(output, "fading\nclosed\n");
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(fs::exists(mRoot / "after.png")) << "the close script did not end the game";
}

// A screen script that never returns holds the main loop: the system's request to end is not
// taken, so the watch ends the program 5 s later, with a line and a status that is not 0.
TEST_F(GameProgramTest, AQuitRequestALoopingScriptNeverTakesEndsTheProgram)
{
    WriteScript("loop.lua", "MakeDialog { Text { label = 'now_looping', w = 200, h = 40 } }\n"
                            "while true do end\n");
    int pid = Start({"--multiple", "-wd=" + mGame.string(), "options=start=scripts/loop.lua"});
    ASSERT_GT(pid, 0);
    const uint32_t start = LoadTimeMs();
    while (ReadFile(LogFile()).find("'now_looping'") == std::string::npos &&
           LoadTimeMs() - start < kStartLimitMs)
        sys::SleepMs(20);
    ASSERT_NE(ReadFile(LogFile()).find("'now_looping'"), std::string::npos);
    sys::SignalProcess(pid, false);
    int code = 0;
    ASSERT_TRUE(WaitProcessLoaded(pid, 6000, code)) << "still running 6 s after the request";
    EXPECT_EQ(code, 2);
    const std::string log = ReadFile(LogFile());
    EXPECT_NE(log.find(": quit request not answered in 5 s: ending\n"), std::string::npos) << log;
}

TEST_F(GameProgramTest, LosingAndRegainingTheFocusReachTheScreenAsOnePauseAndOneResume)
{
    WriteScript("fade.lua", kFadeScreen);
    // The start-up script's own loop, which hears every message the screen's script would.
    WriteScript("mainloop.lua", R"(return function()
    local id = PushModal("scripts/fade.lua")
    ReadFile("scripts/fade.lua")
    repeat
        local msg = WaitForMessage()
        if msg ~= nil and msg.type == 1001 then print("paused") end
        if msg ~= nil and msg.type == 1002 then print("resumed") end
    until msg ~= nil and msg.type == kModalClosed and msg.name == id
    PostMessage(CreateNamedMessage(kQuitNow, "quit"))
end
)");
    int code = -1;
    const std::string output =
        RunScreen("fade.lua",
                  "focus gained\nwait 20\nfocus lost\nwait 20\nfocus gained\nwait 20\n"
                  "click 400 300\nwait 60\nclose\n",
                  code);
    EXPECT_EQ(output, "paused\nresumed\nfading\nclosed\n");
    EXPECT_EQ(code, 0);
}

// A focus change while a dialog covers a screen leaves the screen's waiting script its clock: once
// the dialog is closed, the script below goes on past its pause. A press 160 ms after the focus
// came back counts as the one that brought it, which the platform drops: the run clicks twice.
TEST_F(GameProgramTest, AFocusChangeUnderADialogLeavesTheScreenBelowRunning)
{
    WriteScript("under.lua", "MakeDialog { GameWindow { name = 'under', x = 0, y = 0, w = 800, "
                             "h = 600, fade = true, fadetime = 100 } }\n");
    WriteScript("shut.lua", "MakeDialog { Button { name = 'shut', x = 300, y = 250, w = 200, "
                            "h = 100, close = true, spritecollision = false } }\n");
    WriteScript("mainloop.lua", R"(ReadFile("scripts/game.lua")
return function()
    PushModal("scripts/under.lua")
    ReadFile("scripts/under.lua")
    DoModal("scripts/shut.lua")
    print("closed")
    Pause(200)
    print("paused")
    PostMessage(CreateNamedMessage(kQuitNow, "quit"))
end
)");
    int code = -1;
    EXPECT_EQ(RunScreen("under.lua",
                        "focus gained\nwait 30\nfocus lost\nwait 5\nfocus gained\nwait 10\n"
                        "click 400 300\nwait 30\nclick 400 300\nwait 300\n",
                        code),
              "closed\npaused\n");
    EXPECT_EQ(code, 0);
}

// A credits screen: a background, then a text scroll of an ornament, a title and lines with a side
// image each (its own place, from the line's box, puts it before the line and centres it on the
// line), 400 pixels a second; its completion statement closes the screen, which ends the game.
constexpr const char* kCreditsScreen = R"lua(local function lines(size, colour, h)
    return { font = { "__DEFAULT", size, colour }, x = 260, w = 500, h = h, flags = 0 }
end
local objects = {
    { type = "image", bitmap = { image = "credits/ornament", x = 336 } },
    { type = "title", text = "credits_title", yoffset = 20 },
}
for i = 1, 6 do
    table.insert(objects, { type = "line", text = "credits_" .. i, yoffset = 12,
                            leftimage = { image = "credits/spark", x = 236, y = -8 } })
end
table.insert(objects, { type = "image", yoffset = 30,
                        bitmap = { image = "credits/ornament", x = 336 } })
MakeDialog {
    Bitmap { name = "bg", image = "credits/bg", x = 0, y = 0 },
    TextScroll {
        name = "credits", x = 0, y = 0, w = 800, h = 600, scrollspeed = 400,
        completestring = "print('complete'); CloseWindow('done')",
        texttypes = { title = lines(32, { 0.95, 0.88, 0.6, 1 }, 44),
                      line = lines(20, { 0.9, 0.9, 0.85, 1 }, 28) },
        objects = objects,
    },
}
)lua";

// Blue to red from top to bottom, or a square ring of `argb`.
Picture MakePicture(uint32_t width, uint32_t height, uint32_t argb, bool gradient)
{
    Picture picture{width, height, std::vector<uint8_t>(size_t(width) * height * 4)};
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
        {
            uint8_t* p = &picture.mPixels[(size_t(y) * width + x) * 4];
            const auto shade = uint8_t(y * 255 / height);
            const bool ring =
                std::min({x, y, width - 1 - x, height - 1 - y}) < std::min(width, height) / 4;
            const uint32_t colour =
                gradient ? 0xFF000000u | uint32_t(shade) << 16 | uint32_t(255 - shade)
                         : (ring ? argb : 0);
            for (int c = 0; c < 4; ++c)
                p[c] = uint8_t(colour >> (8 * c));
        }
    return picture;
}

TEST_F(GameProgramTest, CreditsPictureMidScrollRepeatsAndTheirCompletionEndsTheGame)
{
    const fs::path assets = mGame / "assets";
    std::string strings = "<Workbook><Table>";
    for (const auto& [label, text] :
         std::vector<std::pair<std::string, std::string>>{{"windowtitle", "Fixture"},
                                                          {"credits_title", "Credits"},
                                                          {"credits_1", "Design: Ann Ash"},
                                                          {"credits_2", "Code: Bob Birch"},
                                                          {"credits_3", "Pictures: Cid Cedar"},
                                                          {"credits_4", "Sound: Dee Dogwood"},
                                                          {"credits_5", "Words: Eve Elm"},
                                                          {"credits_6", "Thanks for playing"}})
        strings += "<Row><Cell><Data>" + label + "</Data></Cell><Cell><Data>" + text +
                   "</Data></Cell></Row>";
    WriteFile(assets / "strings.xml", strings + "</Table></Workbook>\n");
    fs::create_directories(assets / "credits");
    ASSERT_TRUE(WritePicture(MakePicture(800, 600, 0, true), assets / "credits/bg.png"));
    ASSERT_TRUE(
        WritePicture(MakePicture(128, 64, 0xFFE0C040u, false), assets / "credits/ornament.png"));
    ASSERT_TRUE(
        WritePicture(MakePicture(16, 16, 0xFF40E0FFu, false), assets / "credits/spark.png"));
    WriteScript("credits.lua", kCreditsScreen);

    // Distance 600 + about 400 of content: the scroll ends after some 160 frames; the shot is
    // taken after 75, with content on the whole height of the screen.
    const std::string input = "focus gained\nwait 75\nshot credits\nwait 300\nshot after\nclose\n";
    int code = -1;
    EXPECT_EQ(RunScreen("credits.lua", input, code), "complete\n");
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(fs::exists(mRoot / "after.png")) << "the completion did not end the game";
    const Picture first = ReadPicture(mRoot / "credits.png");
    fs::remove(mRoot / "credits.png");
    EXPECT_EQ(RunScreen("credits.lua", input, code), "complete\n");
    const Picture second = ReadPicture(mRoot / "credits.png");
    ASSERT_EQ(first.mWidth, 800u);
    ASSERT_EQ(first.mHeight, 600u);
    EXPECT_TRUE(first.mPixels == second.mPixels) << "two runs differ";
    ExpectMatchesGolden(first, "credits_scroll.png");
    ExpectCleanLog();
}

class ExitStatisticsProgramTest : public ProgramTest
{
protected:
    // Runs the program on a game folder whose settings post the exit statistics to `server`,
    // with a metrics file waiting in the user folder; answers the program's exit code.
    int RunWithMetrics(httptest::LoopbackServer& server)
    {
        fs::path game = mRoot / "metricsgame";
        WriteFile(game / "assets/settings.xml",
                  "<settings><postmetrics>1</postmetrics><site>127.0.0.1:" +
                      std::to_string(server.Port()) +
                      "</site><qmgamehandle>murkwell-test</qmgamehandle></settings>\n");
        WriteFile(game / "assets/scripts/mainloop.lua", kWaitingStartScript);
        WriteFile(MetricsFile(), "level=3&time=42");
        int pid = Start({"--multiple", "-wd=" + game.string()});
        EXPECT_GT(pid, 0);
        if (pid <= 0 || !WaitForStart(pid))
            return -1;
        // Nothing is posted while the game runs.
        EXPECT_EQ(server.RequestCount(), 0u);
        sys::SignalProcess(pid, false);
        return WaitForEnd(pid);
    }

    fs::path MetricsFile() const { return mRoot / "data/Tovrix/Murkwell/metrics.txt"; }
};

TEST_F(ExitStatisticsProgramTest, ArePostedAtTheEndAndTheFileGoes)
{
    httptest::LoopbackServer server(200, "ok");
    EXPECT_EQ(RunWithMetrics(server), 0);
    std::vector<httptest::Request> requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].mMethod, "POST");
    EXPECT_EQ(requests[0].mTarget, "/servlet/exitStats");
    const std::string& body = requests[0].mBody;
    EXPECT_EQ(body.rfind("game=murkwell-test&game_version=1.", 0), 0u) << body;
    size_t variant = body.find("&game_variant=windows&guid=");
    EXPECT_NE(variant, std::string::npos) << body;
    // The waiting text, then this run's own records: the metrics handler's machine summary.
    size_t data = body.find(
        "&game_data=level%3D3%26time%3D42DxInfo%2CThe%20current%20date%2Ftime%20is%3A%20");
    EXPECT_NE(data, std::string::npos) << body;
    EXPECT_NE(body.find("\r\nDxDiag%2CThe%20current%20date%2Ftime%20is%3A%20", data),
              std::string::npos)
        << body;
    EXPECT_EQ(body.substr(body.size() - 2), "\r\n");
    EXPECT_FALSE(fs::exists(MetricsFile()));
}

TEST_F(ExitStatisticsProgramTest, AreKeptWhenTheSiteFails)
{
    httptest::LoopbackServer server(500, "broken");
    EXPECT_EQ(RunWithMetrics(server), 0);
    EXPECT_EQ(server.RequestCount(), 1u);
    std::string kept = ReadFile(MetricsFile());
    EXPECT_EQ(kept.rfind("level=3&time=42DxInfo,The current date/time is: ", 0), 0u) << kept;
    EXPECT_NE(kept.find("\r\nDxDiag,The current date/time is: "), std::string::npos) << kept;
}

// The tests' limits keep the wall clock's pace up to a load of one runnable process a core and slow
// in proportion beyond it (a load of 16 on 8 cores gives a limit twice the time).
TEST(LoadClockTest, ALoadPastTheCoresSlowsTheLimitsInProportion)
{
    EXPECT_EQ(CoreShare("3.50 2.00 1.00 2/300 4242\n", 8), 1.0);
    EXPECT_EQ(CoreShare("8.00 2.00 1.00 2/300 4242\n", 8), 1.0);
    EXPECT_EQ(CoreShare("16.00 2.00 1.00 2/300 4242\n", 8), 0.5);
    EXPECT_EQ(CoreShare("", 8), 1.0) << "no load average read";
    EXPECT_EQ(CoreShare("16.00", 0), 1.0) << "no count of cores";
}

} // namespace
