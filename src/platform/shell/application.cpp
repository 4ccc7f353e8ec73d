// The application facade's operations: window title and activity, display mode and full screen,
// the event pump, time, web pages, the clipboard, tasks, cursors and the managers the platform
// owns.
#include "platform/shell/application.h"

#include "platform/config/config.h"
#include "platform/seams/display_seam.h"
#include "platform/files/file_layer.h"
#include "platform/log.h"
#include "platform/seams/sound_manager_seam.h"
#include "platform/strings/string_table.h"
#include "platform/shell/system_cursor.h"
#include "platform/seams/window_manager_seam.h"
#include "sys/clock.h"
#include "sys/window/events.h"
#include "sys/window/host.h"
#include "sys/process/process.h"
#include "sys/process/quit_watch.h"

namespace
{
std::unique_ptr<TDisplaySeam> gDisplay;
bool gHostPageFullScreen = false;
sys::WindowHandle gMainWindowParent = 0;

// The window timer that wakes the message loop after a display-mode change.
constexpr uint32_t kDisplayTimerMs = 250;

TApplicationImpl* Impl()
{
    TApplication* application = TApplication::Get();
    return application ? application->GetImpl() : nullptr;
}

// "-pq=": the host page is told of full screen with WM_USER, wParam 1 or 0.
void ReportFullScreenToHost(bool full)
{
    gHostPageFullScreen = full;
    sys::SendMessage(gMainWindowParent, sys::WM_USER, full ? 1 : 0, 0);
}
} // namespace

TDisplaySeam& GetDisplay()
{
    if (!gDisplay)
        gDisplay = CreateDisplayFromSeam();
    return *gDisplay;
}

void DestroyDisplay()
{
    gDisplay.reset();
}

bool GetHostPageFullScreen()
{
    return gHostPageFullScreen;
}

void SetHostPageFullScreen(bool full)
{
    gHostPageFullScreen = full;
}

sys::WindowHandle GetMainWindowParent()
{
    return gMainWindowParent;
}

void SetMainWindowParent(sys::WindowHandle parent)
{
    gMainWindowParent = parent;
}

bool TApplicationImpl::IsDisplayReady()
{
    return GetDisplay().CheckDevice();
}

bool TApplicationImpl::GetViewportScale(float& scale) const
{
    scale = mHost.mViewportScaleX;
    return mHost.mHosted;
}

void TApplication::CreateMainWindow()
{
    mImpl->CreateMainWindow();
}

void TApplication::SetWindowTitle(const TString& title)
{
    // Titles are UTF-8 in both modes here; the window system has no narrow code page.
    sys::SetWindowTitle(mImpl->mMainWindow, title.c_str());
}

bool TApplication::IsActive()
{
    if (!mImpl->mCommandLine.mHostPage)
        return sys::IsForegroundWindow(mImpl->mMainWindow);
    if (sys::IsForegroundWindow(mImpl->mMainWindow))
        return true;
    // One of the main window's ancestors: the host's window chain.
    sys::HostChannel& host = sys::GetHostChannel();
    for (sys::WindowHandle ancestor = sys::GetParent(mImpl->mMainWindow); ancestor != 0;)
    {
        if (host.IsForeground(ancestor))
            return true;
        sys::WindowHandle top = host.GetTopLevelAncestor(ancestor);
        if (top == ancestor)
            break;
        ancestor = top;
    }
    return false;
}

bool TApplication::SetFullscreen(bool full)
{
    if (!mImpl->mCommandLine.mHostPage)
        return GetDisplay().SetFullScreen(full);
    ReportFullScreenToHost(full);
    GetDisplay().SetFullScreen(false);
    return true;
}

bool TApplication::IsFullscreen()
{
    if (mImpl->mCommandLine.mHostPage)
        return gHostPageFullScreen;
    return GetDisplay().IsFullScreen();
}

void TApplication::GetDisplayMode(int& width, int& height, bool& full)
{
    GetDisplay().GetWindowSize(width, height, full);
    if (mImpl->mCommandLine.mHostPage)
        full = gHostPageFullScreen;
}

void TApplication::SetDisplayMode(int width, int height, bool full)
{
    TWindowManagerSeam* manager = mImpl->mManagers.mWindowManager.get();
    if (manager && !manager->HasRoot())
        manager->CreateRoot(width, height);

    if (mImpl->mCommandLine.mHostPage)
    {
        ReportFullScreenToHost(full);
        full = false;
    }
    mImpl->mHost.mViewportScaleX = 1.0f;
    if (mImpl->mHost.mHosted && width > 0)
    {
        int hostWidth = 0;
        int hostHeight = 0;
        if (sys::GetClientSize(mImpl->mHost.mExternalWindowParent, hostWidth, hostHeight))
        {
            mImpl->mHost.mViewportScaleX =
                static_cast<float>(hostWidth) / static_cast<float>(width);
            mImpl->mHost.mViewportScaleY = mImpl->mHost.mViewportScaleX;
        }
    }

    TDisplaySeam& display = GetDisplay();
    if (display.SetDisplay(mImpl->mMainWindow, width, height, full, mImpl->mHost.mHosted))
        mImpl->mPump.mDisplayModeSet = true;

    if (!mImpl->mManagers.mVectorRasteriserCreated)
    {
        display.CreateVectorRasteriser();
        mImpl->mManagers.mVectorRasteriserCreated = true;
    }
    display.RunRenderSelfTest();
    sys::SetTimer(mImpl->mMainWindow, 0, kDisplayTimerMs);
    mImpl->RestoreCursors();
    display.ReplaceClipRect(width, height);
}

void TApplication::NextEvent(TPlatformEvent* event)
{
    mImpl->NextEvent(event);
    // The system's quit watch waits for this, not for the poll that took the request: a loop that
    // polls without handing the close on (a hold) must not keep the program from ending.
    if (event->mType == kEventClose || event->mType == kEventQuit)
        sys::AnswerQuitRequests();
}

uint32_t GetTimer()
{
    return GetPlatformTime();
}

void TApplication::Sleep(uint32_t ms)
{
    sys::SleepMs(ms);
}

namespace
{
std::function<void(const std::string&)> gOpenFailedListener;

// A link that opens nothing would otherwise leave the player clicking it again and again.
void SayCouldNotOpen(const std::string& url, const std::string& why)
{
    const std::string line = "Could not open \"" + url + "\": " + why;
    Log("%s", line.c_str());
    sys::PrintNotice(line);
    if (gOpenFailedListener)
        gOpenFailedListener(url);
}
} // namespace

void TApplication::SetOpenFailedListener(std::function<void(const std::string& url)> listener)
{
    gOpenFailedListener = std::move(listener);
}

void TApplicationImpl::ReportFailedOpens()
{
    for (const sys::FailedOpen& failed : sys::TakeFailedOpens())
        SayCouldNotOpen(
            failed.mOpened,
            "\"" + failed.mProgram + "\" ended with status " + std::to_string(failed.mStatus) +
                (failed.mLastLine.empty() ? std::string() : " (" + failed.mLastLine + ")"));
}

int TApplication::OpenUrl(const char* url)
{
    if (!url)
        return 2;
    if (mImpl->mCommandLine.mHostPage && gHostPageFullScreen)
    {
        sys::WindowHandle top = sys::GetHostChannel().GetTopLevelAncestor(gMainWindowParent);
        if (top != 0)
            sys::GetHostChannel().Minimize(top);
    }
    // Hosted, "-host=" names the program that shows pages. Without it the page goes to the
    // desktop's opener, as it does when not hosted: there is no one browser program to name.
    const TString& program = mImpl->mCommandLine.mHostProgram;
    std::string why;
    const int result = mImpl->mHost.mHosted && program.Length() > 0
                           ? sys::ShellOpen(program.c_str(), url, &why)
                           : sys::ShellOpen(url, std::string(), &why);
    if (result <= 32)
        SayCouldNotOpen(url, why);
    return result;
}

TStringTable* TApplication::GetStringTable()
{
    return mImpl->mManagers.mStringTable.get();
}

bool TApplication::InitSoundManager()
{
    if (!mImpl->mManagers.mSoundManager)
        mImpl->mManagers.mSoundManager = CreateSoundManagerFromSeam();
    return mImpl->mManagers.mSoundManager->Init();
}

TSoundManagerSeam* TApplication::GetSoundManager()
{
    return mImpl->mManagers.mSoundManager.get();
}

TWindowManagerSeam* TApplication::GetWindowManager()
{
    return mImpl->mManagers.mWindowManager.get();
}

TAssetManager* TApplication::GetAssetManager()
{
    return mImpl->mManagers.mAssetManager.get();
}

void TApplication::PostQuit(int code)
{
    sys::PostQuitMessage(code);
}

void TApplication::OutOfVideoMemory()
{
    GetDisplay().OnOutOfVideoMemory();
}

void TApplication::AddTask(TTask* task)
{
    mImpl->mManagers.mIdleTasks.Add(task);
}

bool TApplication::RemoveTask(TTask* task)
{
    return mImpl->mManagers.mIdleTasks.Remove(task);
}

TTaskList* TApplication::GetTaskList()
{
    return &mImpl->mManagers.mIdleTasks;
}

void TApplication::AddRestoreTask(TTask* task)
{
    mRestoreTasks.Add(task);
}

bool TApplication::RemoveRestoreTask(TTask* task)
{
    return mRestoreTasks.Remove(task);
}

bool StringToClipboard(const TString& text)
{
    TApplicationImpl* impl = Impl();
    if (!impl || impl->mMainWindow == 0)
        return false;
    return sys::SetClipboardText(text.c_str());
}

TString TApplication::GetClipboardText()
{
    if (!sys::HasClipboardText())
        return TString();
    return TString(sys::GetClipboardText().c_str());
}

void TApplication::ShowSystemCursor(bool show)
{
    mImpl->ShowSystemCursor(show);
}

void TApplication::SetCursorTexture(const std::shared_ptr<TTexture>& texture, int hotX, int hotY,
                                    int slot)
{
    mImpl->SetCursorTexture(texture, hotX, hotY, slot);
}

bool TApplication::IsPresentDone()
{
    return GetDisplay().IsPresentDone();
}

int TApplication::GetMouseMode()
{
    return mImpl->mCursor.mMouseMode;
}

void RegisterSystemCursorFile()
{
    if (ResolvePath("__systemcursor__.png", true).Length() != 0)
        return;
    uint32_t size = 0;
    const uint8_t* data = GetSystemCursorPng(&size);
    RegisterMemoryFileName("__systemcursor__.png", data, size);
}
