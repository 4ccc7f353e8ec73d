// Tests of the application facade: the singleton, title, clipboard, task lists, managers, display
// mode through "no display yet", host-page full screen, and where web pages go when hosted.
#include "support/environment.h"
#include "support/files.h"
#include "support/shell_fixture.h"

#include "platform/files/asset_manager.h"
#include "platform/log.h"
#include "platform/strings/string_table.h"
#include "sys/process/process.h"

#include <chrono>
#include <thread>

using namespace shelltest;

namespace
{

class ApplicationTest : public ShellTest
{
};

class HostPageApplicationTest : public ShellTest
{
protected:
    void SetUp() override
    {
        mHost.AddWindow(0x6161, 1600, 1200);
        sys::SetHostChannel(&mHost);
        mHosted = true;
        mHostWindow = 0x6161;
        mCommandLine = "--multiple -pq=page";
        ShellTest::SetUp();
        mHost.mMessages.clear();
    }
    void TearDown() override
    {
        ShellTest::TearDown();
        sys::SetHostChannel(nullptr);
        SetHostPageFullScreen(false);
    }
    sys::RecordingHost mHost;
};

// Stand-ins for the desktop's opener and a host's browser, first on PATH: each appends its name
// and arguments to "opened.txt" in their folder.
class FakeOpeners
{
public:
    FakeOpeners()
        : mPath("PATH", mFolder.Path().string() + ":" + sys::GetEnvironmentVariable("PATH"))
    {
        for (const char* name : {"xdg-open", "prog"})
        {
            const std::filesystem::path script = mFolder / name;
            testsupport::WriteFile(script, "#!/bin/sh\necho \"" + std::string(name) +
                                               " $*\" >> \"" + (mFolder / "opened.txt").string() +
                                               "\"\n");
            std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        }
    }
    // What was opened, once a line has come (the openers are not waited for; the fixture's clock
    // is a manual one, so the wait is the thread's own).
    std::string Opened() const
    {
        for (int i = 0; i < 3000; ++i)
        {
            std::string text = testsupport::ReadFile(mFolder / "opened.txt");
            if (!text.empty())
                return text;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return std::string();
    }

private:
    testsupport::ScratchFolder mFolder{"mw_openers"};
    testsupport::EnvironmentGuard mPath;
};

// Hosted in a window given with "-wnd=" (a recording host's).
class HostedApplicationTest : public ShellTest
{
protected:
    void SetUp() override
    {
        mHost.AddWindow(0x6161, 800, 600);
        sys::SetHostChannel(&mHost);
        mHosted = true;
        mHostWindow = 0x6161;
        mCommandLine = "-wnd=6161 " + mHostProgram;
        ShellTest::SetUp();
    }
    void TearDown() override
    {
        ShellTest::TearDown();
        sys::SetHostChannel(nullptr);
    }
    sys::RecordingHost mHost;
    std::string mHostProgram;
};

class HostedWithProgramTest : public HostedApplicationTest
{
protected:
    void SetUp() override
    {
        mHostProgram = "-host=prog";
        HostedApplicationTest::SetUp();
    }
};

TEST_F(HostedApplicationTest, APageGoesToTheDesktopsOpener)
{
    FakeOpeners openers;
    EXPECT_GT(mApp->OpenUrl("http://example.invalid/page"), 32);
    EXPECT_EQ(openers.Opened(), "xdg-open http://example.invalid/page\n");
}

TEST_F(HostedWithProgramTest, APageGoesToTheNamedProgram)
{
    FakeOpeners openers;
    EXPECT_GT(mApp->OpenUrl("http://example.invalid/page"), 32);
    EXPECT_EQ(openers.Opened(), "prog http://example.invalid/page\n");
}

// Without an opener on PATH a page cannot open: the log and standard error say so, with what was
// tried, and the answer is the shell's "file not found".
TEST_F(ApplicationTest, APageWithoutAnOpenerSaysWhyItCannotOpen)
{
    testsupport::ScratchFolder empty{"mw_no_openers"};
    testsupport::EnvironmentGuard path("PATH", empty.Path().string());
    SetLogFolder((empty / "log").c_str());
    testing::internal::CaptureStderr();
    EXPECT_EQ(mApp->OpenUrl("https://example.org/murkwell/"), 2);
    const std::string said = testing::internal::GetCapturedStderr();
    SetLogFolder(nullptr);
    const std::string line = "Could not open \"https://example.org/murkwell/\": no program "
                             "\"xdg-open\" is installed (none on PATH); the desktop's opener "
                             "comes with xdg-utils\n";
    EXPECT_EQ(said, line);
    const std::string log = testsupport::ReadFile(empty / "log" / "logfile.txt");
    EXPECT_NE(log.find(": " + line), std::string::npos) << log;
}

struct NullTask : TTask
{
    bool Run() override { return true; }
};

TEST_F(ApplicationTest, IsTheSingletonWhileItLives)
{
    EXPECT_EQ(TApplication::Get(), mApp);
    EXPECT_EQ(mApp->GetImpl(), mImpl);
    delete mApp;
    mApp = nullptr;
    EXPECT_EQ(TApplication::Get(), nullptr);
}

TEST_F(ApplicationTest, TheClipboardRoundTrips)
{
    ASSERT_TRUE(StringToClipboard("Murkwell \xC3\xA9"));
    EXPECT_EQ(mApp->GetClipboardText(), TString("Murkwell \xC3\xA9"));
    ASSERT_TRUE(StringToClipboard(""));
    EXPECT_EQ(mApp->GetClipboardText(), TString(""));
}

TEST_F(ApplicationTest, TheWindowTitleChanges)
{
    mApp->SetWindowTitle("Murkwell \xE2\x80\x94 Chapter 1");
    EXPECT_EQ(sys::GetWindowTitle(mWindow), "Murkwell \xE2\x80\x94 Chapter 1");
}

TEST_F(ApplicationTest, IdleTasksAreAddedAndRemoved)
{
    NullTask task;
    NullTask stranger;
    mApp->AddTask(&task);
    EXPECT_TRUE(mApp->GetTaskList()->Contains(&task));
    EXPECT_FALSE(mApp->RemoveTask(&stranger));
    EXPECT_TRUE(mApp->RemoveTask(&task));
    EXPECT_FALSE(mApp->GetTaskList()->Contains(&task));
}

TEST_F(ApplicationTest, RestoreTasksHaveTheirOwnList)
{
    NullTask task;
    mApp->AddRestoreTask(&task);
    EXPECT_TRUE(mApp->GetRestoreTaskList()->Contains(&task));
    EXPECT_FALSE(mApp->GetTaskList()->Contains(&task));
    EXPECT_FALSE(mApp->RemoveTask(&task));
    EXPECT_TRUE(mApp->RemoveRestoreTask(&task));
    EXPECT_FALSE(mApp->RemoveRestoreTask(&task));
}

TEST_F(ApplicationTest, OwnsItsManagers)
{
    EXPECT_NE(mApp->GetWindowManager(), nullptr);
    EXPECT_NE(mApp->GetAssetManager(), nullptr);
    EXPECT_EQ(GetAssetManager(), mApp->GetAssetManager());
    EXPECT_NE(mApp->GetStringTable(), nullptr);
    ASSERT_NE(mApp->GetSoundManager(), nullptr);
    Recorded().mSoundInitResult = false;
    EXPECT_FALSE(mApp->InitSoundManager());
    EXPECT_EQ(mApp->GetMouseMode(), 0);
}

TEST_F(ApplicationTest, TimeIsPlatformTime)
{
    uint32_t before = GetTimer();
    mApp->Sleep(25);
    EXPECT_EQ(GetTimer() - before, 25u);
}

TEST_F(ApplicationTest, SettingTheDisplayModeShowsTheWindowAndReportsIt)
{
    Recorded().mCalls.clear();
    mApp->SetDisplayMode(800, 600, false);
    int width = 0;
    int height = 0;
    ASSERT_TRUE(sys::GetClientSize(mWindow, width, height));
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);
    EXPECT_TRUE(sys::IsWindowVisible(mWindow));
    bool full = true;
    mApp->GetDisplayMode(width, height, full);
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);
    EXPECT_FALSE(full);
    EXPECT_EQ(Next().mType, kEventDisplayModeSet);
    // The root window is made once, the vector rasteriser on the first change only.
    mApp->SetDisplayMode(640, 480, false);
    int roots = 0;
    int rasterisers = 0;
    for (const std::string& call : Recorded().mCalls)
    {
        roots += call.rfind("CreateRoot", 0) == 0;
        rasterisers += call == "CreateVectorRasteriser";
    }
    EXPECT_EQ(roots, 1);
    EXPECT_EQ(rasterisers, 1);
    EXPECT_EQ(Recorded().mCalls.front(), "CreateRoot 800x600");
}

TEST_F(ApplicationTest, FullScreenGoesToTheDisplay)
{
    EXPECT_TRUE(mApp->SetFullscreen(true));
    EXPECT_TRUE(mApp->IsFullscreen());
    EXPECT_TRUE(mApp->SetFullscreen(false));
    EXPECT_FALSE(mApp->IsFullscreen());
}

TEST_F(ApplicationTest, WithoutHostTheViewportScaleDoesNotApply)
{
    float scale = 0.0f;
    EXPECT_FALSE(mImpl->GetViewportScale(scale));
    EXPECT_FLOAT_EQ(scale, 1.0f);
    SetConfig("viewportscale", "1.5");
    mImpl->GetViewportScale(scale);
    EXPECT_FLOAT_EQ(scale, 1.5f);
}

TEST_F(HostPageApplicationTest, FullScreenIsReportedToTheHostPageAndTheDisplayStaysWindowed)
{
    EXPECT_TRUE(mApp->SetFullscreen(true));
    ASSERT_EQ(mHost.mMessages.size(), 1u);
    EXPECT_EQ(mHost.mMessages[0].window, 0x6161u);
    EXPECT_EQ(mHost.mMessages[0].message, sys::WM_USER);
    EXPECT_EQ(mHost.mMessages[0].wParam, 1u);
    EXPECT_EQ(mHost.mMessages[0].lParam, 0);
    EXPECT_FALSE(Recorded().mFullScreen);
    EXPECT_TRUE(mApp->IsFullscreen());
}

TEST_F(HostPageApplicationTest, TheDisplayModeScalesToTheHostAndStaysWindowed)
{
    mApp->SetDisplayMode(800, 600, true);
    ASSERT_FALSE(mHost.mMessages.empty());
    EXPECT_EQ(mHost.mMessages[0].wParam, 1u);
    float scale = 0.0f;
    EXPECT_TRUE(mImpl->GetViewportScale(scale));
    EXPECT_FLOAT_EQ(scale, 2.0f);
    bool full = false;
    int width = 0;
    int height = 0;
    mApp->GetDisplayMode(width, height, full);
    EXPECT_TRUE(full);
    EXPECT_FALSE(Recorded().mFullScreen);
}

TEST_F(HostPageApplicationTest, AltEnterAsksTheHostPage)
{
    sys::PushKeyEvent(sys::VK_RETURN, true, sys::kModAlt);
    TPlatformEvent event = Next();
    EXPECT_EQ(event.mType, kEventFullScreenToggled);
    // The display itself stays windowed; the host page holds the full-screen state.
    EXPECT_EQ(event.mParam, 0);
    EXPECT_TRUE(GetHostPageFullScreen());
    ASSERT_FALSE(mHost.mMessages.empty());
    EXPECT_EQ(mHost.mMessages.back().wParam, 1u);
}

TEST_F(HostPageApplicationTest, AVanishedHostEndsTheGame)
{
    mHost.RemoveWindow(0x6161);
    EXPECT_EQ(Next().mType, kEventQuit);
}

TEST_F(HostPageApplicationTest, OpeningAPageInFullScreenMinimisesTheHost)
{
    mHost.AddWindow(0x7000, 1600, 1200);
    mHost.AddWindow(0x6161, 1600, 1200, 0x7000);
    SetHostPageFullScreen(true);
    FakeOpeners openers;
    EXPECT_GT(mApp->OpenUrl("http://example.invalid/"), 32);
    ASSERT_EQ(mHost.mMinimized.size(), 1u);
    EXPECT_EQ(mHost.mMinimized[0], 0x7000u);
    EXPECT_EQ(openers.Opened(), "xdg-open http://example.invalid/\n");
}

} // namespace
