// TApplication, the facade through which the rest of the system reaches the platform, and
// TApplicationImpl, its window-system side: the main window, the event pump's state, paths, the
// managers the platform owns and the drawn cursor.
#pragma once

#include "platform/shell/command_line.h"
#include "platform/shell/event_pump.h"
#include "platform/maths/random.h"
#include "platform/shell/task.h"
#include "platform/strings/tstring.h"
#include "sys/window/window.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TAssetManager;
class TDisplaySeam;
class TSoundManagerSeam;
class TStringTable;
class TTexture;
class TWindowManagerSeam;

// The game's main function: called with the application and the command line; its result is not
// used.
using TGameMainFn = int (*)(class TApplication* application, const char* commandLine);

// The display handler in use: the rendering layer's once installed, else "no display yet".
TDisplaySeam& GetDisplay();
// Teardown drops it; the next GetDisplay makes a new one.
void DestroyDisplay();

// The folders the application knows, written at start-up (the constructor, then PlatformMain's
// data folders) and only read afterwards.
struct TApplicationPaths
{
    TString mAssetFolder;
    TString mExeFolder; // with its trailing separator
    TString mExePath;
    TString mUserFolder;
    TString mCommonFolder;
    TString mDesktopFolder;
    TString mStartupFolder;
};

// The game's name and version and the instance name with what is named after it; written by the
// constructor.
struct TApplicationIdentity
{
    TString mGameName;
    TString mVersionText;
    TString mBuildTag;
    TString mInstanceName;
    TString mMutexName;
    TString mWindowClassName;
    int mInstanceLock = -1;
    // Whether another copy may run beside this one (no single-instance lock is taken).
    bool mAllowMultiple = false;
    // Why the lock could not be taken (the game then runs as the only copy), for the log.
    TString mInstanceLockFailure;
    // Why the held lock has no notice socket; empty when it has one.
    TString mInstanceNoticeFailure;
};

// Embedding in a host window: PlatformMain sets the mode at start-up; SetDisplayMode writes the
// viewport scale.
struct THostState
{
    bool mHosted = false;
    bool mTestHost = false;
    sys::WindowHandle mExternalWindowParent = 0;
    float mViewportScaleX = 1.0f;
    float mViewportScaleY = 1.0f;
};

// Written by the window procedure (main_window.cpp) and the display-mode change, read and cleared
// by the event pump (event_pump.cpp).
struct TPumpFlags
{
    bool mDisplayModeSet = false;
    bool mWindowActive = true;
    bool mActivationChanged = false;
    bool mCloseRequested = false;
    bool mApplicationActive = true;
    bool mApplicationActivationChanged = false;
    bool mInactiveFullScreen = false;
    bool mRepaintRequested = false;
    // The click that activated the window, and when, so the pump can drop it.
    bool mActivationClick = false;
    uint32_t mActivationTime = 0;
    bool mHoverTracking = false;
    bool mMouseLeft = false;
    bool mLeaveTracking = false;
};

// The drawn cursor, owned by the main window's code (main_window.cpp).
struct TCursorSlot
{
    std::shared_ptr<TTexture> mTexture;
    int32_t mHotX = 0;
    int32_t mHotY = 0;
};
struct TCursorState
{
    TCursorSlot mSlots[2];
    bool mMouseShown = true;
    std::shared_ptr<TTexture> mSystemCursorTexture;
    int32_t mMouseMode = 0;
};

// What the platform creates at start-up and TApplication's destructor tears down in its fixed
// order.
struct TPlatformManagers
{
    std::unique_ptr<TWindowManagerSeam> mWindowManager;
    std::unique_ptr<TAssetManager> mAssetManager;
    std::unique_ptr<TSoundManagerSeam> mSoundManager;
    std::unique_ptr<TStringTable> mStringTable;
    TTaskList mIdleTasks;
    TRandom mRandom;
    bool mVectorRasteriserCreated = false;
};

class TApplicationImpl
{
public:
    TApplicationImpl(void* instance, void* previousInstance, const TCommandLine& commandLine,
                     int showCommand, bool allowMultiple);
    ~TApplicationImpl();
    TApplicationImpl(const TApplicationImpl&) = delete;
    TApplicationImpl& operator=(const TApplicationImpl&) = delete;

    // The single-instance lock, "<mutex name>" in the user folder, which must be fixed first:
    // only the player writes there, and the run leaves nothing behind elsewhere. Unless another
    // copy may run beside this one: a copy holding it is asked to raise its window, and this
    // process ends with 0.
    void TakeSingleInstanceLock();
    // Where the lock lies.
    TString InstanceLockFile() const;

    // Main window and drawn cursor.
    bool CreateMainWindow();
    void SetCursorTexture(const std::shared_ptr<TTexture>& texture, int hotX, int hotY, int slot);
    void RestoreCursors();
    void ShowSystemCursor(bool show);
    static sys::LParam MainWindowProc(sys::WindowHandle window, uint32_t message,
                                      sys::WParam wParam, sys::LParam lParam);

    // One event per call.
    void NextEvent(TPlatformEvent* event);
    // Says each link whose opener has failed since the last call (the openers that ended are
    // reaped); the pump calls it as it idles.
    static void ReportFailedOpens();

    bool IsDisplayReady();
    // Writes the horizontal viewport scale and answers the hosted flag (the scale applies only
    // then).
    bool GetViewportScale(float& scale) const;

    // Activation, as the window procedure records it for the pump.
    void SetWindowActive(bool active, bool forced);
    void SetApplicationActive(bool active);

    // Read once by PlatformMain; every option test asks it.
    TCommandLine mCommandLine;
    int32_t mShowCommand = 0;
    void* mInstance = nullptr;
    sys::WindowHandle mMainWindow = 0;
    uint32_t mStartTime = 0;
    bool mUtf8 = false;
    int32_t mScreenWidth = 0;
    int32_t mScreenHeight = 0;
    // While set, frames keep the 12 ms interval when the application is inactive; nothing in the
    // platform sets it yet.
    bool mKeepFramePacing = false;

    TApplicationPaths mPaths;
    TApplicationIdentity mIdentity;
    THostState mHost;
    TPumpFlags mPump;
    TCursorState mCursor;
    TPlatformManagers mManagers;
};

class TApplication
{
public:
    // Runs the start-up configuration; the application owns the implementation from here on.
    explicit TApplication(TApplicationImpl* impl);
    // Teardown, in the platform's fixed order.
    ~TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    static TApplication* Get();

    void CreateMainWindow();
    void SetWindowTitle(const TString& title);
    bool IsActive();
    bool SetFullscreen(bool full);
    bool IsFullscreen();
    void GetDisplayMode(int& width, int& height, bool& full);
    void SetDisplayMode(int width, int height, bool full);
    void NextEvent(TPlatformEvent* event);
    void Sleep(uint32_t ms);
    int OpenUrl(const char* url);
    // Told the address of each page that could not be opened, as the log is (a page on screen
    // shows it to the player); an empty function for none.
    static void SetOpenFailedListener(std::function<void(const std::string& url)> listener);
    TStringTable* GetStringTable();
    bool InitSoundManager();
    TSoundManagerSeam* GetSoundManager();
    TWindowManagerSeam* GetWindowManager();
    TAssetManager* GetAssetManager();
    void PostQuit(int code);
    static void OutOfVideoMemory();
    void AddTask(TTask* task);
    bool RemoveTask(TTask* task);
    TTaskList* GetTaskList();
    void AddRestoreTask(TTask* task);
    bool RemoveRestoreTask(TTask* task);
    TTaskList* GetRestoreTaskList() { return &mRestoreTasks; }
    TString GetClipboardText();
    void ShowSystemCursor(bool show);
    void SetCursorTexture(const std::shared_ptr<TTexture>& texture, int hotX, int hotY, int slot);
    bool IsPresentDone();
    int GetMouseMode();

    TApplicationImpl* GetImpl() const { return mImpl; }

private:
    TApplicationImpl* mImpl = nullptr;
    TTaskList mRestoreTasks;
};

// Platform time in milliseconds.
uint32_t GetTimer();
// Puts the text on the clipboard; false when the clipboard cannot be had.
bool StringToClipboard(const TString& text);
// Registers the built-in cursor image as "__systemcursor__.png" unless that name resolves.
void RegisterSystemCursorFile();

// "-pq=" (host page) mode: the full-screen state recorded for the host, and the host's window.
bool GetHostPageFullScreen();
void SetHostPageFullScreen(bool full);
sys::WindowHandle GetMainWindowParent();
void SetMainWindowParent(sys::WindowHandle parent);
