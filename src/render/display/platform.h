// TPlatform, the display handler (one per process), and TPlatformData, its state: display-mode
// selection with its forcing reasons and fall-backs, the device check, the broken mark, restore of
// lost surfaces and the one-way low-video-memory mode.
#pragma once

#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"
#include "render/display/dx_context.h"
#include "render/renderer/vertex_set.h"

#include <cstdint>
#include <memory>
#include <vector>

class TRenderer;
class TTexture;

// The light record the drawing facade passes: type 0 directional, 1 point, 2 spot.
struct TLight
{
    float mType = 0;
    TVec4 mDiffuse;
    TVec4 mSpecular;
    TVec4 mAmbient;
    TVec3 mPosition;
    TVec3 mDirection;
    float mRange = 0;
    float mAttenuation0 = 0;
    float mAttenuation1 = 0;
    float mAttenuation2 = 0;
    float mTheta = 0;
    float mPhi = 0;
};

// Diffuse, ambient, specular, emissive (r, g, b, a) and power: 17 floats.
struct TMaterial
{
    TVec4 mDiffuse;
    TVec4 mAmbient;
    TVec4 mSpecular;
    TVec4 mEmissive;
    float mPower = 0;
};

// Blend modes of the drawing facade.
enum : int32_t
{
    kBlendAlpha = 0,
    kBlendOpaque = 1,
    kBlendAdditive = 2,
    kBlendSubtractive = 3,
    kBlendMultiply = 4
};

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
    // The viewports whose depth was cleared since the scene began. A scene clears depth only where
    // a draw tests it, and each part once, so depth written earlier in the scene stays: most
    // frames draw in 2-D alone and clear nothing.
    std::vector<sys::display::Rect> mDepthCleared;
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
    // The drawing facade's state the device state depends on: whether a 2-D block is open and
    // whether a texture is bound. Begin2d/End2d and the texture binding keep them.
    bool mFacadeIn2d = false;
    bool mFacadeTextureBound = false;
    // The application's viewport scale while a render target is drawn (it is 1 meanwhile).
    float mSavedViewportScale = 1.0f;
    // Set while a render target ends, so its scene end copies nothing into the frame texture.
    bool mEndingRenderTarget = false;
    // Set while the finished frame is copied into the frame texture: it takes the frame's
    // colours only, so an alpha a mask pass painted into it (kind 4) lasts from frame to frame.
    bool mCopyingFrame = false;
    // The vertices of expanded indexed draws, kept between draws.
    std::vector<uint8_t> mExpandedVertices;
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
    // Hosted, a display marked broken is made again only a second after the mark: until then a
    // restore cannot finish, and needs nothing but the time to pass.
    bool IsRestoreHeldOff() const;
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

    // Draw state at the device.
    void SetBlendMode(int32_t mode);
    void SetTextureFilter(int32_t filter);
    void SetTextureAddress(int32_t u, int32_t v);
    void SetCullMode(int32_t mode);
    void SetShadeMode(int32_t mode);
    void SetZEnable(bool on);
    void SetZWrite(bool on);
    void SetWorldMatrix(const TMat4& m);
    void SetViewMatrix(const TMat4& m);
    void SetProjectionMatrix(const TMat4& m);
    void SetAmbient(const TVec4& colour);
    void SetMaterial(const TMaterial& material);
    // Null disables the light.
    void SetLight(uint32_t index, const TLight* light);
    void SetOption(const TString& name, const TString& value);
    TString GetOption(const TString& name) const;
    void GetViewport(int& left, int& top, int& right, int& bottom) const;
    void SetViewport(int left, int top, int right, int bottom);
    void PushViewport(int left, int top, int right, int bottom);
    void PopViewport();
    bool SetClipRect(const TRect& rect);
    bool NeedsSquareTextures() const { return mData->mSquareTexturesOnly; }
    void Begin2d();
    void End2d();
    bool Begin3d();
    void End3d() {}
    void DrawVertices(uint32_t primitive, const TVertexSet& set);
    void DrawIndexedVertices(uint32_t primitive, const TVertexSet& set, const uint16_t* indices,
                             uint32_t indexCount);
    // A render target of kind 4 is being drawn.
    bool IsAlphaTarget() const;

    // Frames (see the frame operations' file).
    bool BeginScene(bool copyFront);
    void EndDraw(bool present);
    // Inside a frame a coloured quad drawn in 2-D; outside one a colour fill of the back buffer
    // within the screen and clip rectangles.
    void FillRect(const TRect& rect, const TVec4& colour);
    // Drawing into the texture happens on the back buffer's top-left area and is copied into it
    // at the end, in one of five kinds (see the frame operations' file).
    bool BeginRenderTarget(const std::shared_ptr<TTexture>& texture, int32_t kind);
    void EndRenderTarget();
    // Fills the rectangle of the target texture (colour fill in its format).
    void FillRect(const TRect& rect, const TVec4& colour, const std::shared_ptr<TTexture>& target);
    void WaitForFlip();
    bool IsPresentDone();
    // Measures the 2-D projection's half-pixel shift once (again after a refused render target).
    void RunRenderSelfTest();
    void FlipToGDISurface();

    // The software cursor over the context's compositor (see the cursor operations' file).
    // Answers where the cursor is drawn.
    void DrawMouse(int x, int y, int& drawnX, int& drawnY);
    void EraseMouse();
    void ShowMouse(bool show);
    // The system cursor image while the application wants the system cursor in a window, else none.
    void ShowSystemCursor();
    void GetDrawnMousePosition(int& x, int& y);
    void UpdateWindowBounds();
    // The client area's top-left on the screen; (0, 0) in full screen.
    void GetWindowOrigin(int& x, int& y) const;
    void ResetMouseImage();
    // Slot 0 is the colour-keyed image, slot 1 the alpha image.
    void SetCursorTexture(const std::shared_ptr<TTexture>& texture, int hotX, int hotY, int slot);
    // The frame being drawn shows the game's own cursor (the cursor overlay's): it is presented
    // without the drawn one, which stays off until a frame comes without the game's.
    void NoteCursorInFrame();

    // A new, empty texture store for this display.
    static std::unique_ptr<class TTextureData> CreateTextureData();
    // Binds the texture's surface to stage 0 (none for an empty reference or a plain surface).
    void SetTexture(const std::shared_ptr<TTexture>& texture);

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
    void ApplyTextureStages();
    // Applies `rect` cut to the clip rectangle (or not) against the screen; false when refused.
    bool ApplyViewport(const TRect& rect, bool clip);
    // Lighting and vertex format for the kind; the 2-D projection rebuilt when due.
    uint32_t SelectVertexKind(int32_t kind);
    // Before a draw that tests depth: clears the parts of its viewport not cleared yet this scene.
    void ClearDepthWhereTested();
    void Rebuild2dProjection();
    void FillRectInFrame(TRenderer& renderer, const TRect& rect, const TVec4& colour);
    void ColorFill(sys::display::Surface& surface, const TRect& area, const TVec4& colour);
    TRect TargetArea(const TTexture& texture) const;
    void CopyTargetBack(TTexture& texture, int32_t kind);
    // The finished frame's colours into the frame texture, each texel's alpha kept.
    void CopyFrameColours(TTexture& texture, const sys::display::Surface& back,
                          const sys::display::Rect& rect);

    std::unique_ptr<TPlatformData> mData;
};

// Whether the game counts as active for the display handler: the application's active flag and
// its main window's.
bool IsApplicationActiveForDisplay();

// True when the command line says the game runs inside a host page ("-pq=").
bool IsHostPageGame();
