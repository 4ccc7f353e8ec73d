// Test support for the application shell: recording stand-ins for the window manager, the sound
// manager, the display and the host services, and a fixture that builds an application with its
// main window on SDL's dummy video driver under a manual clock.
#pragma once

#include "platform/shell/application.h"
#include "platform/config/config.h"
#include "platform/seams/display_seam.h"
#include "platform/files/file_layer.h"
#include "platform/seams/host_services_seam.h"
#include "platform/log.h"
#include "platform/seams/sound_manager_seam.h"
#include "platform/seams/window_manager_seam.h"
#include "sys/clock.h"
#include "sys/window/events.h"
#include "sys/window/host.h"
#include "sys/files/paths.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace shelltest
{

struct Record
{
    std::vector<std::string> mCalls;
    int mDirtyCount = 0;
    bool mTextFlag = false;
    bool mFilterExempt = false;
    bool mInputBlocked = false;
    bool mHasScript = false;
    int mMoviesStopped = 0;
    std::vector<bool> mPauses; // SetPaused arguments
    int mNotifications = 0;
    float mMasterVolume = 1.0f;
    std::vector<int> mVolumeGroups; // GetEffectiveVolume arguments
    bool mSoundInitResult = true;
    bool mFullScreen = false;
    bool mFullScreenFails = false;          // SetFullScreen answers false and changes nothing
    std::vector<std::string> mDisplayModes; // "<w>x<h> full|window" per SetDisplay
    bool mDisplayExists = false;
    int mStatsToggles = 0;
    uint32_t mMsUntilNextFrame = 1; // what the window manager answers the idle loop
};

inline Record& Recorded()
{
    static Record record;
    return record;
}

class FakeWindowManager : public TWindowManagerSeam
{
public:
    void SetDirty() override { ++Recorded().mDirtyCount; }
    bool SetScriptTextFlag(bool flag) override
    {
        Recorded().mTextFlag = flag;
        return TWindowManagerSeam::SetScriptTextFlag(flag);
    }
    void CreateScript() override { Recorded().mCalls.push_back("CreateScript"); }
    bool HasScript() const override { return Recorded().mHasScript; }
    void StopMovieLocked() override { ++Recorded().mMoviesStopped; }
    bool HasRoot() const override { return mRoot; }
    void CreateRoot(int width, int height) override
    {
        TWindowManagerSeam::CreateRoot(width, height);
        mRoot = true;
        Recorded().mCalls.push_back("CreateRoot " + std::to_string(width) + "x" +
                                    std::to_string(height));
    }
    bool IsFilterExempt() const override { return Recorded().mFilterExempt; }
    bool IsInputBlocked() const override { return Recorded().mInputBlocked; }
    uint32_t GetMsUntilNextFrame() const override { return Recorded().mMsUntilNextFrame; }
    ~FakeWindowManager() override { Recorded().mCalls.push_back("~WindowManager"); }

private:
    bool mRoot = false;
};

class FakeSoundManager : public TSoundManagerSeam
{
public:
    bool Init() override
    {
        Recorded().mCalls.push_back("SoundInit");
        return Recorded().mSoundInitResult;
    }
    void SetPaused(bool active) override { Recorded().mPauses.push_back(active); }
    void DispatchNotifications() override { ++Recorded().mNotifications; }
    float GetEffectiveVolume(int group) override
    {
        Recorded().mVolumeGroups.push_back(group);
        return Recorded().mMasterVolume;
    }
    void SetMasterVolume(float volume) override { Recorded().mMasterVolume = volume; }
    ~FakeSoundManager() override { Recorded().mCalls.push_back("~SoundManager"); }
};

// "No display yet", except that tests may say it exists and is full screen.
class FakeDisplay : public TNoDisplay
{
public:
    bool Exists() const override { return Recorded().mDisplayExists; }
    bool IsFullScreen() const override { return Recorded().mFullScreen; }
    bool SetFullScreen(bool full) override
    {
        if (Recorded().mFullScreenFails)
            return false;
        Recorded().mFullScreen = full;
        return true;
    }
    bool SetDisplay(sys::WindowHandle window, int width, int height, bool full,
                    bool hosted) override
    {
        Recorded().mDisplayModes.push_back(std::to_string(width) + "x" + std::to_string(height) +
                                           (full ? " full" : " window"));
        return TNoDisplay::SetDisplay(window, width, height, full, hosted);
    }
    void ToggleStatsOverlay() override { ++Recorded().mStatsToggles; }
    void UpdateDesktopMode() override { Recorded().mCalls.push_back("UpdateDesktopMode"); }
    void CreateRenderer() override { Recorded().mCalls.push_back("CreateRenderer"); }
    void DestroyRenderer() override { Recorded().mCalls.push_back("DestroyRenderer"); }
    void RegisterImageFormats() override { Recorded().mCalls.push_back("RegisterImageFormats"); }
    void ClearImageFormats() override { Recorded().mCalls.push_back("ClearImageFormats"); }
    void CreateVectorRasteriser() override
    {
        Recorded().mCalls.push_back("CreateVectorRasteriser");
    }
};

class FakeServices : public THostServicesSeam
{
public:
    void EnsureGameState() override
    {
        mExists = true;
        Recorded().mCalls.push_back("EnsureGameState");
    }
    bool GameStateExists() override { return mExists; }
    void SetState(const TString& name, const TString& value) override
    {
        mStates.emplace_back(name.c_str(), value.c_str());
    }
    bool QueryHostPause() override
    {
        if (mPauseCalls <= 0)
            return false;
        --mPauseCalls;
        return true;
    }
    void DestroyGameState() override
    {
        mExists = false;
        Recorded().mCalls.push_back("DestroyGameState");
    }
    void AddGlintviewHandler() override { Recorded().mCalls.push_back("Glintview"); }
    void AddPostMetricsHandler() override { Recorded().mCalls.push_back("PostMetrics"); }
    void InstallMsnHandler() override { Recorded().mCalls.push_back("Msn"); }
    void InstallZylomHandler() override { Recorded().mCalls.push_back("Zylom"); }
    void InstallAolHandler() override { Recorded().mCalls.push_back("Aol"); }
    int LoadAddOnModules() override
    {
        Recorded().mCalls.push_back("LoadAddOnModules");
        return 0;
    }
    bool PostExitStatistics() override
    {
        // Teardown posts after the implementation (and so the window) is gone.
        Recorded().mCalls.push_back(TApplication::Get() == nullptr ? "ExitStatistics"
                                                                   : "ExitStatistics-early");
        return true;
    }

    std::string State(const std::string& name) const
    {
        std::string value = "<unset>";
        for (const auto& [key, v] : mStates)
        {
            if (key == name)
                value = v;
        }
        return value;
    }

    bool mExists = false;
    int mPauseCalls = 0;
    std::vector<std::pair<std::string, std::string>> mStates;
};

inline std::unique_ptr<TWindowManagerSeam> MakeWindowManager()
{
    return std::make_unique<FakeWindowManager>();
}
inline std::unique_ptr<TSoundManagerSeam> MakeSoundManager()
{
    return std::make_unique<FakeSoundManager>();
}
inline std::unique_ptr<TDisplaySeam> MakeDisplay()
{
    return std::make_unique<FakeDisplay>();
}

// Installs the recording stand-ins; undone by Uninstall.
inline void InstallFakes(FakeServices& services)
{
    Recorded() = Record();
    SetWindowManagerFactory(&MakeWindowManager);
    SetSoundManagerFactory(&MakeSoundManager);
    SetDisplayFactory(&MakeDisplay);
    SetHostServices(&services);
    DestroyDisplay();
}

inline void UninstallFakes()
{
    SetWindowManagerFactory(nullptr);
    SetSoundManagerFactory(nullptr);
    SetDisplayFactory(nullptr);
    SetHostServices(nullptr);
    DestroyDisplay();
}

// An application with its main window, as start-up leaves it, with the clock under the test's
// control and the host announcement already made. Every event the window system produced while
// it was built is dropped.
class ShellTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mOldFolder = sys::GetCurrentFolder();
        sys::SetManualClock(true, 100000);
        sys::FlushInput();
        ResetEventPumpState();
        InstallFakes(mServices);
        SetConfig("utf8mode", mUtf8 ? "1" : "0");
        mImpl = new TApplicationImpl(nullptr, nullptr, TCommandLine(mCommandLine.c_str()), 1, true);
        mImpl->mHost.mHosted = mHosted;
        mImpl->mHost.mExternalWindowParent = mHostWindow;
        mApp = new TApplication(mImpl);
        mApp->CreateMainWindow();
        mApp->InitSoundManager();
        mWindow = mImpl->mMainWindow;
        ASSERT_NE(mWindow, 0u);
        TPlatformEvent event;
        mApp->NextEvent(&event);
        // The window has focus, and a good while has passed since it got it.
        sys::PushWindowEvent(sys::WindowEventKind::FocusGained);
        Drain();
        sys::AdvanceManualClock(1000);
        Recorded().mDirtyCount = 0;
        Recorded().mPauses.clear();
    }

    void TearDown() override
    {
        delete mApp;
        mApp = nullptr;
        sys::FlushInput();
        UninstallFakes();
        ClearConfig();
        ClearPathMap();
        sys::SetManualClock(false);
        sys::SetCurrentFolder(mOldFolder);
    }

    TPlatformEvent Next()
    {
        TPlatformEvent event;
        event.mType = -1;
        mApp->NextEvent(&event);
        return event;
    }

    // Every event up to (not including) the first tick.
    std::vector<TPlatformEvent> Drain()
    {
        std::vector<TPlatformEvent> events;
        for (int i = 0; i < 1000; ++i)
        {
            TPlatformEvent event = Next();
            if (event.mType == kEventTick)
                break;
            events.push_back(event);
        }
        return events;
    }

    // The events up to the first tick, without the "nothing" ones.
    std::vector<TPlatformEvent> DrainEvents()
    {
        std::vector<TPlatformEvent> out;
        for (const TPlatformEvent& event : Drain())
        {
            if (event.mType != kEventNothing)
                out.push_back(event);
        }
        return out;
    }

    bool mUtf8 = true;
    bool mHosted = false;
    sys::WindowHandle mHostWindow = 0;
    std::string mCommandLine = "--multiple";
    FakeServices mServices;
    TApplicationImpl* mImpl = nullptr;
    TApplication* mApp = nullptr;
    sys::WindowHandle mWindow = 0;
    std::string mOldFolder;
};

} // namespace shelltest
