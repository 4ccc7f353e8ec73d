// Tests of start-up and teardown: PlatformMain over a fixture game folder (settings, strings, the
// log line, options, the harness hook, hosted mode, early exits) and the command-line readers.
#include "support/shell_fixture.h"
#include "support/environment.h"
#include "support/files.h"

#include "platform/files/data_folders.h"
#include "platform/shell/platform_main.h"
#include "platform/strings/string_table.h"
#include "sys/process/identity.h"
#include "sys/process/process.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;
using namespace shelltest;

namespace
{

// What the test's game main function saw while the game ran.
struct Seen
{
    bool mCalled = false;
    bool mIsSingleton = false;
    bool mWindowExists = false;
    sys::WindowHandle mWindow = 0;
    std::string mCommandLine;
    std::map<std::string, std::string> mConfig;
    std::string mGreeting;
    std::string mLogPath;
    bool mTextFlag = false;
};

Seen gSeen;

const char* const kKeys[] = {"fixture",
                             "a",
                             "b",
                             "c",
                             "-wd",
                             "memorymax",
                             "texturememorymax",
                             "version",
                             "gamename",
                             "buildtag",
                             "installkey",
                             "startupdir",
                             "hwnd",
                             "computerid",
                             "utf8modeinit",
                             "activex",
                             "cheatcode",
                             "downloadurl",
                             "stringtest",
                             "encryptionkey"};

int CaptureMain(TApplication* application, const char* commandLine)
{
    gSeen.mCalled = true;
    gSeen.mIsSingleton = TApplication::Get() == application;
    gSeen.mWindow = application->GetImpl()->mMainWindow;
    gSeen.mWindowExists = sys::IsWindow(gSeen.mWindow);
    gSeen.mCommandLine = commandLine;
    for (const char* key : kKeys)
        gSeen.mConfig[key] = GetConfig(key, "<absent>").c_str();
    gSeen.mGreeting = application->GetStringTable()->GetString("GREETING").c_str();
    gSeen.mLogPath = GetLogPath().c_str();
    gSeen.mTextFlag = Recorded().mTextFlag;
    return 0;
}

using testsupport::ReadFile;
using testsupport::WriteFile;

class PlatformMainTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mGame = mRoot / "game";
        WriteFile(mGame / "assets/settings.xml",
                  "<?xml version=\"1.0\"?>\n<settings>\n  <fixture>from settings</fixture>\n"
                  "  <a>settings value</a>\n" +
                      mExtraSettings + "</settings>\n");
        WriteFile(mGame / "assets/strings.xml",
                  "<Workbook><Table><Row><Cell><Data>GREETING</Data></Cell>"
                  "<Cell><Data>Hello from the fixture</Data></Cell></Row></Table></Workbook>\n");
        fs::create_directories(mRoot / "run");
        SaveEnv("XDG_DATA_HOME", (mRoot / "data").string());
        SaveEnv("XDG_RUNTIME_DIR", (mRoot / "run").string());
        SaveEnv("HOME", mRoot.string());
        mOldFolder = sys::GetCurrentFolder();
        sys::SetManualClock(true, 5000);
        sys::FlushInput();
        ResetEventPumpState();
        InstallFakes(mServices);
        ClearConfig();
        SetConfig("gamename", "Murkwell");
        SetConfig("publisher", "Tovrix");
        SetConfig("encryptionkey", "MwTestKey012");
        gSeen = Seen();
    }

    void TearDown() override
    {
        SetLogFolder(nullptr);
        sys::FlushInput();
        UninstallFakes();
        ClearConfig();
        ClearPathMap();
        sys::SetManualClock(false);
        sys::SetCurrentFolder(mOldFolder);
        // Put back in the reverse order of setting.
        while (!mSavedEnv.empty())
            mSavedEnv.pop_back();
    }

    void SaveEnv(const std::string& name, const std::string& value)
    {
        mSavedEnv.push_back(std::make_unique<testsupport::EnvironmentGuard>(name, value));
    }

    void Run(const std::string& commandLine)
    {
        PlatformMain(nullptr, nullptr, commandLine.c_str(), 1, &CaptureMain, false);
    }

    fs::path UserFolder() const { return mRoot / "data/Tovrix/Murkwell"; }
    std::string WorkingFolderOption() const { return "-wd=" + mGame.string(); }

    size_t IndexOf(const std::string& call) const
    {
        const auto& calls = Recorded().mCalls;
        return static_cast<size_t>(std::find(calls.begin(), calls.end(), call) - calls.begin());
    }

    testsupport::ScratchFolder mScratch{"mw_start"};
    fs::path mRoot = mScratch.Path();
    fs::path mGame;
    std::string mExtraSettings;
    std::string mOldFolder;
    FakeServices mServices;
    std::vector<std::unique_ptr<testsupport::EnvironmentGuard>> mSavedEnv;
};

class PostMetricsStartTest : public PlatformMainTest
{
protected:
    void SetUp() override
    {
        mExtraSettings = "  <postmetrics>1</postmetrics>\n";
        PlatformMainTest::SetUp();
    }
};

TEST_F(PlatformMainTest, StartsReadsTheGameFolderLogsAndRunsTheGame)
{
    std::string line = "--multiple " + WorkingFolderOption() + " options=a=1&b=2";
    Run(line);
    ASSERT_TRUE(gSeen.mCalled);
    EXPECT_TRUE(gSeen.mIsSingleton);
    EXPECT_TRUE(gSeen.mWindowExists);
    EXPECT_EQ(gSeen.mCommandLine, line);
    EXPECT_EQ(gSeen.mConfig["fixture"], "from settings");
    // Options are stored after the settings, so they win.
    EXPECT_EQ(gSeen.mConfig["a"], "1");
    EXPECT_EQ(gSeen.mConfig["b"], "2");
    EXPECT_EQ(gSeen.mGreeting, "Hello from the fixture");
    EXPECT_TRUE(gSeen.mTextFlag);
    EXPECT_EQ(gSeen.mConfig["memorymax"], "100000000");
    EXPECT_EQ(gSeen.mConfig["texturememorymax"], "100000000");
    EXPECT_EQ(gSeen.mConfig["gamename"], "Murkwell");
    EXPECT_EQ(gSeen.mConfig["version"], sys::GetVersionInfo().versionText);
    EXPECT_EQ(gSeen.mConfig["buildtag"], sys::GetVersionInfo().internalName);
    EXPECT_EQ(gSeen.mConfig["hwnd"], std::to_string(gSeen.mWindow));
    EXPECT_EQ(gSeen.mConfig["computerid"].size(), 16u);
    EXPECT_EQ(gSeen.mConfig["installkey"], sys::GetModuleFolder());
    EXPECT_EQ(gSeen.mConfig["startupdir"], mOldFolder);
    EXPECT_EQ(gSeen.mConfig["utf8modeinit"], "");
    EXPECT_EQ(gSeen.mConfig["activex"], "<absent>");

    EXPECT_EQ(gSeen.mLogPath, (UserFolder() / "logfile.txt").string());
    std::string log = ReadFile(UserFolder() / "logfile.txt");
    std::regex versionLine(
        "[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}: "
        "Murkwell, version [0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+\\.\n");
    EXPECT_TRUE(std::regex_search(log, versionLine)) << log;
    // "-wd=" was acted on before the log existed; its line is there all the same.
    EXPECT_NE(log.find(": Switching current directory to: " + mGame.string() + "\n"),
              std::string::npos)
        << log;

    EXPECT_EQ(mServices.State("cmdline"), line);
    EXPECT_EQ(mServices.State("userdatadir"), UserFolder().string());
    EXPECT_EQ(mServices.State("commondatadir"), (mRoot / "data/common/Tovrix/Murkwell").string());

    // Teardown: everything is gone and the configuration is empty.
    EXPECT_EQ(TApplication::Get(), nullptr);
    EXPECT_FALSE(sys::IsWindow(gSeen.mWindow));
    EXPECT_EQ(GetConfig("fixture", "<absent>"), "<absent>");
    sys::Message quit;
    EXPECT_TRUE(sys::PeekMessage(quit, sys::WM_QUIT, sys::WM_QUIT));
}

TEST_F(PlatformMainTest, StartUpAndTeardownCallTheirNeighboursInOrder)
{
    Run("--multiple " + WorkingFolderOption());
    const auto& calls = Recorded().mCalls;
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), "RegisterImageFormats");
    EXPECT_LT(IndexOf("CreateScript"), IndexOf("EnsureGameState"));
    EXPECT_LT(IndexOf("EnsureGameState"), IndexOf("SoundInit"));
    EXPECT_LT(IndexOf("SoundInit"), IndexOf("CreateRenderer"));
    EXPECT_LT(IndexOf("CreateRenderer"), IndexOf("LoadAddOnModules"));
    EXPECT_LT(IndexOf("LoadAddOnModules"), IndexOf("DestroyGameState"));
    EXPECT_LT(IndexOf("DestroyGameState"), IndexOf("~WindowManager"));
    EXPECT_LT(IndexOf("~WindowManager"), IndexOf("~SoundManager"));
    EXPECT_LT(IndexOf("~SoundManager"), IndexOf("DestroyRenderer"));
    EXPECT_LT(IndexOf("DestroyRenderer"), IndexOf("ClearImageFormats"));
    EXPECT_EQ(IndexOf("ClearImageFormats"), calls.size() - 1);
    // Neither metrics handler without its setting, and no exit statistics.
    EXPECT_EQ(IndexOf("PostMetrics"), calls.size());
    EXPECT_EQ(IndexOf("ExitStatistics"), calls.size());
}

TEST_F(PostMetricsStartTest, PostMetricsAddsItsHandlerAndPostsAfterTheWindowIsGone)
{
    Run("--multiple " + WorkingFolderOption());
    EXPECT_LT(IndexOf("EnsureGameState"), IndexOf("PostMetrics"));
    EXPECT_LT(IndexOf("~WindowManager"), IndexOf("ExitStatistics"));
    EXPECT_LT(IndexOf("ExitStatistics"), IndexOf("ClearImageFormats"));
    EXPECT_EQ(IndexOf("ExitStatistics-early"), Recorded().mCalls.size());
}

TEST_F(PlatformMainTest, AMissingWorkingFolderIsLogged)
{
    std::string missing = (mRoot / "missing").string();
    Run("--multiple -wd=" + missing);
    std::string log = ReadFile(UserFolder() / "logfile.txt");
    EXPECT_NE(log.find(": Switching current directory to: " + missing + "\n"), std::string::npos);
    EXPECT_NE(log.find(": The folder \"" + missing + "\" cannot be made current; staying in \"" +
                       sys::GetModuleFolder().substr(0, sys::GetModuleFolder().size() - 1) +
                       "\".\n"),
              std::string::npos)
        << log;
}

// "-wd=game" from the folder holding the game: its settings are read, wherever the program lies.
TEST_F(PlatformMainTest, ARelativeWorkingFolderIsTakenFromWhereTheProgramWasStarted)
{
    ASSERT_TRUE(sys::SetCurrentFolder(mRoot.string()));
    Run("--multiple -wd=game");
    EXPECT_EQ(gSeen.mConfig["fixture"], "from settings");
    EXPECT_EQ(gSeen.mConfig["startupdir"], mRoot.string());
    EXPECT_EQ(sys::GetCurrentFolder(), mGame.string());
}

// The key enciphers the saved preferences and scores: one from the command line would have the
// next start read them as damaged. Every other option is stored.
TEST_F(PlatformMainTest, TheCommandLineCannotReplaceTheCipherKey)
{
    Run("--multiple " + WorkingFolderOption() + " options=a=1&encryptionkey=x&b=2");
    EXPECT_EQ(gSeen.mConfig["encryptionkey"], "MwTestKey012");
    EXPECT_EQ(gSeen.mConfig["a"], "1");
    EXPECT_EQ(gSeen.mConfig["b"], "2");
    const std::string log = ReadFile(UserFolder() / "logfile.txt");
    EXPECT_NE(log.find(": The option \"encryptionkey\" is not taken from the command line: the "
                       "saved files keep the game's own key.\n"),
              std::string::npos)
        << log;
}

TEST_F(PlatformMainTest, PortalSwitchesInstallTheirHandlers)
{
    Run("--multiple -msn -zylom -aol " + WorkingFolderOption());
    const auto& calls = Recorded().mCalls;
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "Msn"), 1);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "Zylom"), 1);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "Aol"), 1);
    EXPECT_LT(IndexOf("Aol"), IndexOf("EnsureGameState"));
}

TEST_F(PlatformMainTest, CommandLineSettings)
{
    Run("--multiple --stringtest -url=http://example.invalid/get x " + WorkingFolderOption() +
        " --cheat");
    EXPECT_EQ(gSeen.mConfig["stringtest"], "1");
    EXPECT_EQ(gSeen.mConfig["downloadurl"], "http://example.invalid/get");
    // "--cheat" at the very end stores an empty code.
    EXPECT_EQ(gSeen.mConfig["cheatcode"], "");
}

TEST_F(PlatformMainTest, TheHarnessHookReplacesTheCommandLineFirst)
{
    fs::path harness = fs::path(sys::GetModuleFolder()) / "qmHarness.so";
    if (!fs::exists(harness))
        GTEST_SKIP() << "no harness library beside the test program";
    sys::RecordingHost host;
    host.AddWindow(0x4ab0, 10, 10);
    sys::SetHostChannel(&host);
    std::string replaced = "--multiple " + WorkingFolderOption() + " options=c=3";
    SaveEnv("MURKWELL_HARNESS_COMMAND_LINE", replaced);
    SaveEnv("MURKWELL_HARNESS_WINDOW", "4ab0");
    SaveEnv("MURKWELL_HARNESS_CALLED", "0");
    Run("--multiple options=a=1");
    sys::SetHostChannel(nullptr);
    EXPECT_STREQ(std::getenv("MURKWELL_HARNESS_CALLED"), "1");
    EXPECT_EQ(gSeen.mCommandLine, replaced);
    EXPECT_EQ(gSeen.mConfig["c"], "3");
    EXPECT_EQ(gSeen.mConfig["a"], "settings value");
    EXPECT_EQ(mServices.State("cmdline"), replaced);
    // The game's end is announced to the harness window.
    ASSERT_EQ(host.mMessages.size(), 1u);
    EXPECT_EQ(host.mMessages[0].window, 0x4ab0u);
    EXPECT_EQ(host.mMessages[0].message, sys::WM_QUIT);
    EXPECT_FALSE(host.mMessages[0].sent);
}

TEST_F(PlatformMainTest, HostedWithoutItsPageWritesNoLog)
{
    sys::RecordingHost host;
    host.AddWindow(0xbeef, 640, 480);
    sys::SetHostChannel(&host);
    Run("-wnd=beef " + WorkingFolderOption());
    sys::SetHostChannel(nullptr);
    ASSERT_TRUE(gSeen.mCalled);
    EXPECT_EQ(gSeen.mConfig["activex"], "1");
    EXPECT_EQ(gSeen.mLogPath, "");
    EXPECT_FALSE(fs::exists(UserFolder() / "logfile.txt"));
    // The data folders stay the program's folder.
    EXPECT_EQ(mServices.State("userdatadir") + "/", sys::GetModuleFolder());
}

TEST_F(PlatformMainTest, TheTestHostModeUsesTheMainWindowAsTheHost)
{
    Run("--multiple --axtest " + WorkingFolderOption());
    ASSERT_TRUE(gSeen.mCalled);
    EXPECT_EQ(gSeen.mConfig["activex"], "1");
    // It is not destroyed at teardown; the test does that.
    EXPECT_TRUE(sys::IsWindow(gSeen.mWindow));
    int width = 0;
    int height = 0;
    sys::GetClientSize(gSeen.mWindow, width, height);
    EXPECT_EQ(width, 960);
    EXPECT_EQ(height, 720);
    sys::DestroyWindow(gSeen.mWindow);
}

using PlatformMainDeathTest = PlatformMainTest;

TEST_F(PlatformMainDeathTest, AHostWindowThatIsNoWindowEndsWithMinusOne)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(Run("-wnd=0 " + WorkingFolderOption()), ::testing::ExitedWithCode(255), "");
    EXPECT_EXIT(Run("-wnd=1234 " + WorkingFolderOption()), ::testing::ExitedWithCode(255), "");
    // Said where whoever started it looks: there is no log yet.
    EXPECT_EXIT(Run("-wnd=zzzz " + WorkingFolderOption()), ::testing::ExitedWithCode(255),
                "The host window \"-wnd=zzzz\" is no window: the game cannot start inside "
                "it\\.\n");
    EXPECT_FALSE(fs::exists(UserFolder() / "logfile.txt"));
}

TEST_F(PlatformMainDeathTest, ASecondInstanceEndsAtOnceWithZero)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto* first = new TApplicationImpl(nullptr, nullptr, TCommandLine(""), 1, false);
    // The lock waits for the data folder: the player's own, where it stays.
    EXPECT_LT(first->mIdentity.mInstanceLock, 0);
    fs::create_directories(UserFolder());
    first->mPaths.mUserFolder = UserFolder().c_str();
    first->TakeSingleInstanceLock();
    ASSERT_GE(first->mIdentity.mInstanceLock, 0);
    EXPECT_EQ(fs::path(first->InstanceLockFile().c_str()).parent_path(), UserFolder());
    EXPECT_EXIT(Run(WorkingFolderOption()), ::testing::ExitedWithCode(0), "");
    // "--multiple" lets it start: the game's main function then ends the process itself.
    auto endsInTheGame = [](TApplication*, const char*) -> int { sys::ExitProcess(7); };
    EXPECT_EXIT(PlatformMain(nullptr, nullptr, ("--multiple " + WorkingFolderOption()).c_str(), 1,
                             endsInTheGame, false),
                ::testing::ExitedWithCode(7), "");
    delete first;
    EXPECT_FALSE(fs::exists(UserFolder() / "logfile.txt"));
}

TEST(StartupSeedTest, WrapsBeforeTheRemainder)
{
    EXPECT_EQ(StartupSeed(0), 0u);
    EXPECT_EQ(StartupSeed(1), 8627u);
    EXPECT_EQ(StartupSeed(12), 103524u);
    EXPECT_EQ(StartupSeed(500000), 100400u);
    EXPECT_EQ(StartupSeed(0xFFFFFFFFu), 22379u);
}

} // namespace
