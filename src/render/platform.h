// TPlatform, the display handler (one per process), and TPlatformData, its state: display-mode
// selection with its forcing reasons and fall-backs, the device check, the broken mark, restore of
// lost surfaces and the one-way low-video-memory mode.
#pragma once

#include "platform/geometry.h"
#include "render/dx_context.h"

#include <cstdint>
#include <memory>
#include <vector>

class TTexture;

class TPlatformData
{
public:
    TPlatformData();
    ~TPlatformData();
    TPlatformData(const TPlatformData&) = delete;
    TPlatformData& operator=(const TPlatformData&) = delete;

    // Restores the surfaces in place, or sets the display up again.
    void Restore();

    std::shared_ptr<sys::display::DirectDraw> mDirectDraw;
    std::shared_ptr<sys::display::Direct3D> mDirect3D;
    sys::display::Device* mDevice = nullptr; // owned by the context
    std::unique_ptr<TDXContext> mContext;
    std::shared_ptr<sys::display::Surface> mBackBuffer;
    std::vector<TRect> mViewportStack;
    TRect mViewport;
    TRect mScreenRect;
    TRect mClipRect;
    TRect mTargetViewport;
    std::shared_ptr<sys::display::Surface> mRenderTarget;
    bool mFullScreen = false;
    int32_t mBlendMode = -1;
    int32_t mBitDepth = 0;
    bool mReady = false;
    bool mDxBroken = false;
    bool mReconfigureNotice = false;
    bool mZWrite = false;
    bool mZEnable = false;
    int32_t mRenderTargetKind = 0;
    std::shared_ptr<TTexture> mRenderTargetTexture;
    bool mFallbackTried = false;
    bool mFatalReported = false;
    bool mSeparateTextureMemories = false;
    bool mNoSpecularGouraud = false;
    bool mSquareTexturesOnly = false;
    uint32_t mWorkingCount = 0;
    uint32_t mBrokenTime = 0;
    bool mWasFullScreen = false;
    bool mLowMemoryVideo = false;
    bool mInSetDisplay = false;
    bool mInRestore = false;
    bool mInScene = false;
    bool mProjectionDirty = true;
    TMat4 mProjection;
    float mNearPlane = 0.1f;
    float mFarPlane = 1000.0f;
    bool mAntialias = false;
    bool mHintAntialias = false;
    bool mNewSubtractive = false;
    bool mNewRenderBlend = false;
    bool mSelfTestDone = false;
    float mPixelOffset = -0.5f;
    std::vector<uint16_t> mIndexBuffer; // 0, 1, 2, ...
    uint16_t mIndexCapacity = 0;
    // Set when an adapter quirk made the context fall back to 16 bits: later displays of the run
    // are 16-bit too.
    bool mForced16Bit = false;
    // Ordinary textures use the 16-bit formats for the rest of the run.
    bool mSixteenBitTextures = false;
};

class TPlatform
{
public:
    TPlatform();
    ~TPlatform();
    TPlatform(const TPlatform&) = delete;
    TPlatform& operator=(const TPlatform&) = delete;

    static TPlatform* Instance();

    void SetDisplay(int width, int height, bool fullScreen, bool force, bool quiet, bool hosted);
    bool SetFullScreen(bool fullScreen);
    bool IsFullScreen() const;
    void GetWindowSize(int& width, int& height, bool& fullScreen) const;
    void UpdateDesktopMode();
    bool IsDisplayReady() const;
    bool CheckDevice();
    void SetVSync(bool on);

    void MarkDirectXBroken();
    // The same, at most once every 250 ms.
    void MarkDirectXBrokenThrottled();
    void ResetWorkingCount();
    void OnOutOfVideoMemory();
    // Brings back what lives in video memory after a new device or restored surfaces.
    void RestoreAssets();

    // A perspective projection over the visible part of the viewport (aspect 0: from it).
    void SetProjection(float zNear, float zFar, float fov, float aspect);

    TPlatformData* GetData() const { return mData.get(); }
    TDXContext* GetContext() const { return mData ? mData->mContext.get() : nullptr; }

    bool mIndexed = true;
    // The adapter draws indexed primitives wrongly; with mIndexed they are expanded.
    bool mBrokenIndexedVerts = false;

private:
    // The failure steps of SetDisplay, after creation failed without the antialias flag.
    void OnCreateFailed(int width, int height, bool fullScreen, bool force, bool quiet, bool hosted,
                        bool active);
    void ApplyFixedRenderState();
    void FinishDisplay();

    std::unique_ptr<TPlatformData> mData;
};

// The renderer's display-mode windows: true when the game counts as active for the display
// handler (its active flag, and the main window active once activation was seen).
bool IsApplicationActiveForDisplay();
