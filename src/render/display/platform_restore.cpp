// Lost surfaces and video memory: the DirectX-broken mark, restore in place or by a new display,
// bringing back what lives in video memory, and the one-way low-video-memory mode.
#include "render/display/platform.h"

#include "platform/shell/application.h"
#include "platform/files/asset_manager.h"
#include "platform/config/config.h"
#include "platform/files/file.h"
#include "platform/files/file_layer.h"
#include "platform/log.h"
#include "platform/seams/window_manager_seam.h"
#include "platform/config/xml.h"
#include "sys/clock.h"

using namespace sys::display;

namespace
{
constexpr uint32_t kThrottleMs = 250;
constexpr uint32_t kReentrySleepMs = 50;
constexpr uint32_t kMinimisedSleepMs = 100;
constexpr uint32_t kCooperativeSleepMs = 100;
constexpr int kCooperativePasses = 5;
constexpr uint32_t kMinWorkingCount = 3;

struct TReentryGuard
{
    bool& mFlag;
    ~TReentryGuard() { mFlag = false; }
};

void SetDirty()
{
    TApplication* application = TApplication::Get();
    if (application && application->GetWindowManager())
        application->GetWindowManager()->SetDirty();
}
} // namespace

void TPlatform::MarkDirectXBroken()
{
    mData->mBrokenTime = GetPlatformTime();
    mData->mDxBroken = true;
    SetConfig("dxbroken", "1");
}

void TPlatform::MarkDirectXBrokenThrottled()
{
    if (mData->mBrokenTime < GetPlatformTime() - kThrottleMs)
        MarkDirectXBroken();
}

void TPlatform::ResetWorkingCount()
{
    mData->mWorkingCount = 0;
}

void TPlatform::RestoreAssets()
{
    if (!CheckDevice())
    {
        Log("RestoreAssets: DX broken");
        return;
    }
    if (TAssetManager* assets = GetAssetManager())
        assets->RestoreAll();
    if (TApplication* application = TApplication::Get())
        application->GetRestoreTaskList()->Run(0);
    SetDirty();
}

void TPlatform::OnOutOfVideoMemory()
{
    TPlatformData& d = *mData;
    if (d.mLowMemoryVideo || !d.mDirect3D)
        return;
    Log("OutOfVideoMemory triggered!");
    d.mLowMemoryVideo = true;
    MarkDirectXBroken();
    d.mReconfigureNotice = true;

    TXmlNode settings("Settings");
    settings.SetAttribute("LowMemoryVideo", "1");
    TString text = settings.ToString();
    // The file layer writes to a temporary name and renames it on close. Without the file the
    // mode still holds for this run.
    const TString name = "common:display.xml";
    TString reason;
    if (!WriteWholeFile(name, text.c_str(), static_cast<int>(text.Length()), reason))
        Log("OutOfVideoMemory: '%s' could not be written: %s", ShownPath(name).c_str(),
            reason.c_str());
}

void TPlatformData::Restore()
{
    TPlatform& platform = *TPlatform::Instance();
    if (mInRestore)
    {
        platform.MarkDirectXBroken();
        sys::SleepMs(kReentrySleepMs);
        return;
    }
    mInRestore = true;
    TReentryGuard reentry{mInRestore};

    TApplication* application = TApplication::Get();
    if (!application || !application->GetImpl())
        return;
    TApplicationImpl& impl = *application->GetImpl();
    if (sys::IsWindowMinimized(impl.mMainWindow))
    {
        sys::SleepMs(kMinimisedSleepMs);
        return;
    }
    if (TAssetManager* assets = GetAssetManager())
        assets->ReleaseAll();

    const int width = mScreenRect.Width();
    const int height = mScreenRect.Height();
    if (!mDirectDraw || mReconfigureNotice)
    {
        Log("TPlatformData::Restore: mDirectDraw NULL. Calling SetDisplay()");
        platform.SetDisplay(width, height, mFullScreen, true, true, false);
        return;
    }

    DxResult hr = mDirectDraw->TestCooperativeLevel();
    if (Failed(hr))
    {
        for (int pass = 1; Failed(hr); ++pass)
        {
            if (hr == DxResult::WrongMode)
            {
                platform.SetDisplay(width, height, mFullScreen, true, false, false);
                return;
            }
            if (!IsApplicationActiveForDisplay())
                return;
            sys::SleepMs(kCooperativeSleepMs);
            if (hr == DxResult::NoExclusiveMode)
                return;
            if (hr == DxResult::ExclusiveModeAlreadySet)
                hr = mDirectDraw->SetCooperativeLevel(impl.mMainWindow,
                                                      SCL_FULLSCREEN | SCL_EXCLUSIVE);
            if (pass == kCooperativePasses)
                return;
        }
        if (hr != DxResult::Ok)
            ReportDxError(hr, "platform", __LINE__);
        Log("Restore: Test Cooperative level failed. Calling SetDisplay");
        platform.SetDisplay(width, height, mFullScreen, true, false, false);
        return;
    }

    if (mWorkingCount < kMinWorkingCount)
    {
        if (!IsApplicationActiveForDisplay())
        {
            platform.MarkDirectXBroken();
            return;
        }
        Log("TPlatformData::Restore: Working count too small (%d). Calling SetDisplay()",
            static_cast<int>(mWorkingCount));
        platform.SetDisplay(width, height, mFullScreen, true, false, false);
        return;
    }

    mWorkingCount = 0;
    mDxBroken = false;
    SetConfig("dxbroken", "0");
    hr = mDirectDraw->RestoreAllSurfaces();
    if (hr == DxResult::Ok)
    {
        platform.RestoreAssets();
        impl.RestoreCursors();
        SetDirty();
        return;
    }
    if (hr == DxResult::WrongMode)
    {
        Log("Restore: RestoreAllSurfaces resulted in DDERR_WRONGMODE. Calling SetDisplay.");
    }
    else
    {
        Log("RestoreAllSurfaces failed!\n");
        ReportDxError(hr, "platform", __LINE__);
    }
    platform.SetDisplay(width, height, mFullScreen, true, false, false);
}
