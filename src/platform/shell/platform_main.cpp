// Platform start-up and teardown: PlatformMain, the implementation object's construction and
// destruction, and the application facade's start-up configuration and teardown.
#include "platform/shell/platform_main.h"

#include "platform/files/asset_manager.h"
#include "platform/config/config.h"
#include "platform/files/data_folders.h"
#include "platform/files/file.h"
#include "platform/seams/display_seam.h"
#include "platform/files/file_layer.h"
#include "platform/files/shared_save.h"
#include "platform/seams/host_services_seam.h"
#include "platform/log.h"
#include "platform/seams/sound_manager_seam.h"
#include "platform/strings/string_table.h"
#include "platform/seams/window_manager_seam.h"
#include "platform/config/xml.h"
#include "sys/process/memory.h"
#include "sys/clock.h"
#include "sys/process/dynlib.h"
#include "sys/window/events.h"
#include "sys/process/identity.h"
#include "sys/files/paths.h"
#include "sys/process/process.h"
#include "sys/process/quit_watch.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <string>
#include <vector>

namespace
{
TApplication* gApplication = nullptr;

// The lock file's name must stay a valid file name however deep the program is installed.
constexpr int kMaxInstanceNameBytes = 200;
// A save takes milliseconds: a temporary file untouched for a minute belongs to no running save.
constexpr int kLeftoverAgeSeconds = 60;

TString CutPath(const std::string& path)
{
    size_t n =
        path.size() < static_cast<size_t>(kMaxPathBytes - 1) ? path.size() : kMaxPathBytes - 1;
    return TString(path.c_str(), static_cast<unsigned>(n));
}

uint32_t HostPauseTime()
{
    return GetHostServices().GetHostPauseTime();
}

// Every character that cannot stand in a file name goes, as the platform's separators do.
TString MakeInstanceName(const TString& exePath)
{
    TString name = exePath;
    GetShortPath(name, kMaxPathBytes);
    name.MakeLower();
    std::string out;
    for (const char* p = name.c_str(); *p; ++p)
    {
        if (*p != '/' && *p != '\\' && *p != ':')
            out += *p;
    }
    if (out.size() > static_cast<size_t>(kMaxInstanceNameBytes))
        out = out.substr(out.size() - kMaxInstanceNameBytes);
    return TString(out.c_str());
}

// Memory held back for saying that memory ran out: the line is built and written after it is
// given back.
constexpr size_t kMemoryReserveBytes = 1 << 20;
char* gMemoryReserve = nullptr;
std::terminate_handler gDefaultTerminate = nullptr;

// An allocation that fails where nothing catches it (loading a location under a lowered address
// space, say) ends the program with a line in the log and on standard error, and the status
// kOutOfMemoryStatus, rather than an abort that says nothing to the player. Nothing is unwound:
// what was saved before stays as it was, each file written whole under a temporary name.
[[noreturn]] void EndOnUncaughtException()
{
    bool outOfMemory = false;
    if (const std::exception_ptr current = std::current_exception())
    {
        try
        {
            std::rethrow_exception(current);
        }
        catch (const std::bad_alloc&)
        {
            outOfMemory = true;
        }
        catch (...)
        {
        }
    }
    if (!outOfMemory)
    {
        if (gDefaultTerminate != nullptr)
            gDefaultTerminate();
        std::abort();
    }
    delete[] gMemoryReserve;
    gMemoryReserve = nullptr;
    LogAndSay("ERROR: Out of memory: the game cannot go on, and ends (what was saved before is "
              "kept).");
    sys::ExitProcess(kOutOfMemoryStatus);
}

// Profiles, options and scores would seem kept and be gone at the next start: the log and the
// terminal say so once, at start-up, instead of each save failing quietly.
// True when it can be written.
bool WarnIfUserFolderReadOnly(const TString& folder)
{
    std::string reason;
    if (folder.Length() == 0 || sys::CanWriteInFolder(folder.c_str(), reason))
        return true;
    const TString line = TString::Format(
        "ERROR: The data folder '%s' cannot be written (%s): profiles, options and scores will "
        "not be kept.",
        folder.c_str(), reason.c_str());
    LogAndSay(line.c_str());
    return false;
}

} // namespace

void WarnIfSavesCannotBeLocked(const TString& folder)
{
    if (folder.Length() == 0)
        return;
    for (const char* name : {"prefs.dat", "hiscore.dat"})
    {
        const std::string file = std::string(folder.c_str()) + "/" + name;
        sys::LockRequest request;
        request.standIn = true;
        std::string aging;
        request.agingNote = &aging;
        std::string reason;
        sys::LockResult result = sys::LockResult::kRefused;
        const int handle = sys::LockFile(file + ".lock", request, reason, result);
        sys::UnlockFile(handle);
        if (handle < 0 && result == sys::LockResult::kBusy && !aging.empty())
            LogAndSay(TString::Format("ERROR: The lock of '%s' is held (%s): saves wait until "
                                      "then, and a run that ends sooner loses its changes.",
                                      file.c_str(), aging.c_str())
                          .c_str());
        if (handle >= 0 || result != sys::LockResult::kRefused)
            continue;
        LogAndSay(TString::Format("ERROR: The lock of '%s' cannot be had (%s): changes made in "
                                  "this run will not be kept.",
                                  file.c_str(), reason.c_str())
                      .c_str());
    }
}

namespace
{
// A second start ends at once; without a word, a player who started it from a terminal (or a
// launcher whose window is hidden) cannot tell a refusal from a crash.
void SayAlreadyRunning(bool raised)
{
    const TString name = GetConfig("gamename", "The game");
    sys::PrintNotice(
        TString::Format(raised ? "%s is already running; its window was raised."
                               : "%s is already running; its window could not be reached.",
                        name.c_str())
            .c_str());
}

// Without a data folder the player's files go beside the program, where they are easily lost with
// it: said once, with the reason and the folder they go to.
void SayNoUserFolder(const TString& reason, const TString& folder)
{
    const TString line = TString::Format(
        "ERROR: No data folder can be had (%s): profiles, options, scores and the log go to '%s'.",
        reason.c_str(), folder.c_str());
    LogAndSay(line.c_str());
}

void LoadSettingsFile()
{
    TXmlNode root;
    root.ParseFile("::assets/settings.xml");
    TXmlNode* settings = root.FindChild("settings");
    if (!settings)
        return;
    settings->ResetChildCursor();
    TString name;
    TXmlNode* node = nullptr;
    while (settings->GetNextChild(name, node))
        SetConfig(name, node->GetText());
}
} // namespace

uint32_t StartupSeed(uint32_t ticks)
{
    return (ticks * 8627u) % 104729u;
}

void StoreCommandLineOptions(const TCommandLine& commandLine)
{
    for (const auto& [key, value] : commandLine.mOptions)
    {
        // The key enciphers the player's preferences and scores: another one from the command line
        // would make the next start read them as damaged.
        if (key == "encryptionkey")
        {
            Log("The option \"encryptionkey\" is not taken from the command line: the saved "
                "files keep the game's own key.");
            continue;
        }
        SetConfig(key, value);
    }
}

TApplicationImpl::TApplicationImpl(void* instance, void*, const TCommandLine& commandLine,
                                   int showCommand, bool allowMultiple)
    : mCommandLine(commandLine), mShowCommand(showCommand), mInstance(instance)
{
    mUtf8 = IsEnabled("utf8mode");
    sys::BeginTimerPeriod(1);
    int width = 0;
    int height = 0;
    sys::GetDesktopSize(width, height);
    mScreenWidth = width;
    mScreenHeight = height;

    mManagers.mWindowManager = CreateWindowManagerFromSeam();
    mManagers.mAssetManager = std::make_unique<TAssetManager>();
    mManagers.mStringTable = std::make_unique<TStringTable>();

    mPaths.mExePath = CutPath(sys::GetModulePath());
    mPaths.mExeFolder = CutPath(sys::GetModuleFolder());
    mPaths.mStartupFolder = CutPath(sys::GetCurrentFolder());
    GetShortPath(mPaths.mStartupFolder, kMaxPathBytes);

    sys::SetCurrentFolder(mPaths.mExeFolder.c_str());

    mIdentity.mInstanceName = MakeInstanceName(mPaths.mExePath);
    mIdentity.mMutexName = mIdentity.mInstanceName + "_MUTEX";
    mIdentity.mWindowClassName = mIdentity.mInstanceName + "_WNDCLASS";

    mIdentity.mAllowMultiple = allowMultiple;

    mPaths.mAssetFolder = mPaths.mExeFolder + "assets/";

    StartPlatformTime();
    mStartTime = sys::GetTimeMs();
    mPaths.mUserFolder = mPaths.mExeFolder;
    mPaths.mCommonFolder = mPaths.mExeFolder;
    mPaths.mDesktopFolder = mPaths.mExeFolder;

    const sys::VersionInfo& version = sys::GetVersionInfo();
    mIdentity.mVersionText = version.versionText.c_str();
    const char* product = version.productName.c_str();
    while (*product == ' ' || *product == '\t')
        ++product;
    mIdentity.mGameName = GetConfig("gamename", product);
    mIdentity.mBuildTag = version.internalName.c_str();
    if (mIdentity.mGameName.Length() == 0)
        mIdentity.mGameName = GetConfig("gamename", "Brightloom Application");
    // The cursor thread serves Windows versions before 6.1; this platform reports 6.1, so the
    // drawn cursor moves with each frame instead.
}

TString TApplicationImpl::InstanceLockFile() const
{
    return mPaths.mUserFolder + "/" + mIdentity.mMutexName;
}

void TApplicationImpl::TakeSingleInstanceLock()
{
    if (mIdentity.mAllowMultiple || mIdentity.mInstanceLock >= 0)
        return;
    bool noticed = false;
    std::string reason;
    sys::InstanceLockResult result = sys::AcquireInstanceLock(
        InstanceLockFile().c_str(), mIdentity.mInstanceLock, &noticed, &reason);
    // The lock has already asked the first instance to bring its window forward. Nothing is
    // logged: the log file is the first instance's.
    if (result == sys::InstanceLockResult::AlreadyHeld)
    {
        SayAlreadyRunning(noticed);
        sys::ExitProcess(0);
    }
    if (result == sys::InstanceLockResult::Failed)
        mIdentity.mInstanceLockFailure = reason.c_str();
    else
        mIdentity.mInstanceNoticeFailure = reason.c_str();
}

TApplicationImpl::~TApplicationImpl()
{
    sys::EndTimerPeriod(1);
    mCursor.mSlots[0] = TCursorSlot{};
    mCursor.mSlots[1] = TCursorSlot{};
    sys::ReleaseInstanceLock(mIdentity.mInstanceLock);
    mIdentity.mInstanceLock = -1;
    // The user word goes even when the window stays (test-host mode): a message reaching it later
    // must not find the deleted application.
    sys::SetWindowUserData(mMainWindow, nullptr);
    if (!mHost.mTestHost && mMainWindow != 0)
    {
        sys::DestroyWindow(mMainWindow);
        mMainWindow = 0;
    }
}

TApplication* TApplication::Get()
{
    return gApplication;
}

TApplication::TApplication(TApplicationImpl* impl)
{
    GetDisplay().RegisterImageFormats();
    gApplication = this;

    SetConfig("memorymax", "100000000");
    SetConfig("texturememorymax", "100000000");

    const TCommandLine& commandLine = impl->mCommandLine;
    if (commandLine.mDownloadUrlGiven)
        SetConfig("downloadurl", commandLine.mDownloadUrl);
    if (commandLine.mStringTest)
        SetConfig("stringtest", "1");
    SetConfig("utf8modeinit", GetConfig("utf8mode"));

    mImpl = impl;
    uint32_t words[4];
    for (uint32_t& word : words)
    {
        auto r1 = static_cast<uint32_t>(std::rand());
        auto r2 = static_cast<uint32_t>(std::rand());
        auto r3 = static_cast<uint32_t>(std::rand());
        word = (r1 * 8u) * r2 + (r3 >> 3);
    }
    mImpl->mManagers.mRandom.SeedByArray(words, 4);
    SetAssetManager(mImpl->mManagers.mAssetManager.get());
    TConfigOptionHandler options;
    options.mSetVSync = [](bool on) { GetDisplay().SetVSync(on); };
    options.mSetViewportScale = [this](float scale) { mImpl->mHost.mViewportScaleX = scale; };
    SetConfigOptionHandler(options);

    mImpl->mManagers.mWindowManager->CreateScript();

    SetConfig("computerid", MakeComputerId());

    LoadSettingsFile();

    SetDataFolders(mImpl->mPaths.mUserFolder, mImpl->mPaths.mCommonFolder,
                   mImpl->mPaths.mDesktopFolder);
    if (IsEnabled("glintview"))
        SetPreviewMode(true);
    // What a run killed during a save left goes before the folders are scanned: a temporary file
    // of a writer that no longer runs. A name of an earlier version tells no writer: holding the
    // single-instance lock, no other run of that version writes there; without it (hosted, or
    // "--multiple") another may be saving right now, and only such files older than any save go.
    RemoveLeftoverTemporaryFiles(mImpl->mIdentity.mInstanceLock >= 0 ? 0 : kLeftoverAgeSeconds);
    InitFileSystem();

    if (LoadStartupStringTables(*mImpl->mManagers.mStringTable))
        mImpl->mManagers.mWindowManager->SetScriptTextFlag(true);

    SetConfig("buildtag", mImpl->mIdentity.mBuildTag);
    Log("%s, version %s.", mImpl->mIdentity.mGameName.c_str(),
        mImpl->mIdentity.mVersionText.c_str());
    SetConfig("gamename", mImpl->mIdentity.mGameName);
    SetConfig("version", mImpl->mIdentity.mVersionText);

    RegisterOggDataSourceBuilder();

    THostServicesSeam& services = GetHostServices();
    services.EnsureGameState();
    if (IsEnabled("glintview"))
        services.AddGlintviewHandler();
    else if (IsEnabled("postmetrics"))
        services.AddPostMetricsHandler();
}

TApplication::~TApplication()
{
    mImpl->mManagers.mWindowManager.reset();
    mImpl->mManagers.mIdleTasks.DeleteAll();
    mImpl->mManagers.mSoundManager.reset();
    if (mImpl->mManagers.mVectorRasteriserCreated)
        GetDisplay().DestroyVectorRasteriser();
    GetDisplay().DestroyRenderer();
    gApplication = nullptr;
    ClearConfigOptionHandler();
    mImpl->mManagers.mStringTable.reset();
    SetAssetManager(nullptr);
    mImpl->mManagers.mAssetManager.reset();

    delete mImpl;
    mImpl = nullptr;

    if (IsEnabled("postmetrics"))
        GetHostServices().PostExitStatistics();
    ClearConfig();
    ClearPathMap();
    GetDisplay().ClearImageFormats();
    DestroyDisplay();
}

void PlatformMain(void* instance, void* previousInstance, const char* commandLine, int showCommand,
                  TGameMainFn gameMain, bool allowMultiple)
{
    sys::KeepFreedMemoryForReuse();
    if (gMemoryReserve == nullptr)
    {
        gMemoryReserve = new char[kMemoryReserveBytes];
        gDefaultTerminate = std::set_terminate(&EndOnUncaughtException);
    }
    // Before any part of SDL starts, so that the system's requests to end are the watch's.
    sys::StartQuitWatch();
    // A save waiting for another copy's lock must not keep the main loop from answering a quit
    // request before the watch ends the program.
    SetFileLockWaitEnd([] { return sys::QuitRequestPending(); });
    SetFileLockWaitRequests([] { return sys::QuitRequestCount(); });
    // The harness may point the command line elsewhere, into memory of its own; the library stays
    // loaded until the end.
    std::string original = commandLine ? commandLine : "";
    std::vector<char> buffer(original.begin(), original.end());
    buffer.push_back('\0');
    char* line = buffer.data();
    sys::WindowHandle harnessWindow = 0;
    void* harness = sys::LoadLibrary("qmHarness.dll");
    if (harness)
    {
        auto hook = reinterpret_cast<TTestHookFn>(sys::GetLibrarySymbol(harness, "TestHook"));
        if (hook)
            harnessWindow = hook(&line);
    }
    const TCommandLine command(TString(line ? line : ""));
    if (command.mHostWindowGiven || command.mMultiple)
        allowMultiple = true;
    // Before the implementation makes the program's folder current: a relative "-wd=" is the
    // player's, named from here.
    const TString startupFolder(sys::GetCurrentFolder().c_str());

    std::srand(StartupSeed(sys::GetTimeMs()));
    SetHostPauseTimeFunction(&HostPauseTime);

    auto* impl =
        new TApplicationImpl(instance, previousInstance, command, showCommand, allowMultiple);

    if (command.mHostWindowGiven)
    {
        sys::WindowHandle host = command.mHostWindow;
        impl->mHost.mExternalWindowParent = host;
        impl->mHost.mHosted = true;
        SetConfig("activex", "1");
        // The log does not exist yet; a player who started the game by hand sees this line.
        if (host == 0 || !sys::IsWindow(host))
        {
            sys::PrintNotice(TString::Format("The host window \"-wnd=%s\" is no window: the "
                                             "game cannot start inside it.",
                                             command.mHostWindowText.c_str())
                                 .c_str());
            sys::ExitProcess(-1);
        }
    }

    THostServicesSeam& services = GetHostServices();
    if (command.mMsn)
        services.InstallMsnHandler();
    if (command.mZylom)
        services.InstallZylomHandler();
    if (command.mAol)
        services.InstallAolHandler();

    if (command.mActiveXTest)
    {
        impl->mHost.mTestHost = true;
        impl->mHost.mHosted = true;
    }

    TDataFolders folders = FixDataFolders(impl->mIdentity.mGameName, impl->mPaths.mExeFolder,
                                          startupFolder, impl->mHost.mHosted, command);
    impl->mPaths.mUserFolder = folders.mUserFolder;
    impl->mPaths.mCommonFolder = folders.mCommonFolder;
    impl->mPaths.mDesktopFolder = folders.mDesktopFolder;

    // Before the log starts: a second copy must not remove the first one's log.
    impl->TakeSingleInstanceLock();
    if (!impl->mHost.mHosted || command.mHostPage)
        SetLogFolder(impl->mPaths.mUserFolder.c_str());
    sys::SetQuitWatchLogSink([](const std::string& text) { Log("%s", text.c_str()); });
    // A forced end loses what its close would have saved: said as the close says it.
    sys::SetQuitWatchLastWords([] { TSharedSave::SayWhatIsLost(); });
    // The switch was made before the log existed; its line is written now.
    if (command.mWorkingFolderGiven)
    {
        Log("Switching current directory to: %s", command.mWorkingFolder.c_str());
        if (!folders.mWorkingFolderSwitched)
        {
            const TString line =
                TString::Format("The folder \"%s\" cannot be made current; staying in \"%s\".",
                                command.mWorkingFolder.c_str(), sys::GetCurrentFolder().c_str());
            Log("%s", line.c_str());
            sys::PrintNotice(line.c_str());
        }
    }

    if (folders.mNoUserFolder.Length() > 0)
        SayNoUserFolder(folders.mNoUserFolder, impl->mPaths.mUserFolder);
    // A lock file that is no file of the player's own (another user's, planted where others may
    // write) is no running copy: the game runs, and says so.
    if (impl->mIdentity.mInstanceLockFailure.Length() > 0)
        Log("ERROR: The single-instance lock '%s' could not be taken (%s): no other copy is "
            "looked for.",
            impl->InstanceLockFile().c_str(), impl->mIdentity.mInstanceLockFailure.c_str());
    // Held without its socket, a second start still ends, but this window is not raised by it.
    if (impl->mIdentity.mInstanceNoticeFailure.Length() > 0)
        Log("ERROR: The single-instance lock is held, but %s: a second start cannot bring this "
            "window forward.",
            impl->mIdentity.mInstanceNoticeFailure.c_str());
    if ((!impl->mHost.mHosted || command.mHostPage) &&
        WarnIfUserFolderReadOnly(impl->mPaths.mUserFolder))
        WarnIfSavesCannotBeLocked(impl->mPaths.mUserFolder);

    auto* application = new TApplication(impl);
    application->CreateMainWindow();
    if (impl->mHost.mTestHost)
    {
        impl->mHost.mExternalWindowParent = impl->mMainWindow;
        SetConfig("activex", "1");
    }
    application->InitSoundManager();
    GetDisplay().CreateRenderer();

    TString installKey = impl->mPaths.mExeFolder;
    GetShortPath(installKey, kMaxPathBytes);
    SetConfig("installkey", installKey);
    SetConfig("startupdir", impl->mPaths.mStartupFolder);
    if (command.mCheat)
        SetConfig("cheatcode", command.mCheatCode);
    StoreCommandLineOptions(command);
    if (command.mHostPage)
        services.InstallMsnHandler();

    services.LoadAddOnModules();

    services.SetState("cmdline", command.GetText());
    services.SetState("commondatadir", impl->mPaths.mCommonFolder);
    services.SetState("userdatadir", impl->mPaths.mUserFolder);

    if (gameMain)
        gameMain(application, command.GetText().c_str());

    sys::PostMessage(harnessWindow, sys::WM_QUIT, 0, 0);
    services.DestroyGameState();
    delete application;
    sys::SetQuitWatchLastWords({});
    sys::SetQuitWatchLogSink({});
    sys::FreeLibrary(harness);
}
