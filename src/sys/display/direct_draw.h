// The display object: adapters, cooperative level, display modes, caps, surface creation with a
// video-memory budget, loss and restore of every surface, and the rendering-side enumeration
// (devices, depth formats, texture formats).
#pragma once

#include "sys/display/device_caps.h"
#include "sys/display/result.h"
#include "sys/display/presenter/screen.h"
#include "sys/display/surface.h"
#include "sys/window/window.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct SDL_Window;

namespace sys::display
{

using WindowHandle = SDL_Window*;

// Cooperative-level flags.
constexpr uint32_t SCL_FULLSCREEN = 0x00000001;
constexpr uint32_t SCL_ALLOWREBOOT = 0x00000002;
constexpr uint32_t SCL_NOWINDOWCHANGES = 0x00000004;
constexpr uint32_t SCL_NORMAL = 0x00000008;
constexpr uint32_t SCL_EXCLUSIVE = 0x00000010;
constexpr uint32_t SCL_FPUSETUP = 0x00000200;
constexpr uint32_t SCL_MULTITHREADED = 0x00000400;
constexpr uint32_t SCL_FPUPRESERVE = 0x00001000;
// WaitForVerticalBlank.
constexpr uint32_t WAITVB_BLOCKBEGIN = 0x00000001;
// DirectDrawEnumerate.
constexpr uint32_t ENUM_ATTACHEDSECONDARYDEVICES = 0x00000001;
constexpr uint32_t ENUM_DETACHEDSECONDARYDEVICES = 0x00000002;

struct AdapterInfo
{
    bool mHasGuid = false; // the default adapter is enumerated without one
    Guid mGuid;
    std::string mDescription;
    std::string mName;
};

class Direct3D;
class DirectDraw;

// Cuts blits into a surface to a window's client rectangle on the desktop. The windowed primary
// gets one bound to the display window when it is created; the display code may set its own.
class Clipper
{
public:
    explicit Clipper(std::weak_ptr<DirectDraw> owner) : mOwner(std::move(owner)) {}

    // The window whose client rectangle clips (null: the display window).
    Result SetHWnd(uint32_t flags, WindowHandle window);
    // The same for a window of the window stand-in (0: the display window).
    Result SetHWnd(uint32_t flags, sys::WindowHandle window);
    WindowHandle GetHWnd() const { return mWindow; }
    // The window's client rectangle in desktop pixels; empty once the display object is gone.
    Rect GetClipRect() const;

private:
    std::weak_ptr<DirectDraw> mOwner;
    WindowHandle mWindow = nullptr;
};

// Binds a clipper to a surface (null removes it: blits outside the surface are refused again).
Result SetSurfaceClipper(Surface& surface, const std::shared_ptr<Clipper>& clipper);

class DirectDraw : public std::enable_shared_from_this<DirectDraw>
{
public:
    DirectDraw(const DisplayConfig& config, uint32_t adapter);
    ~DirectDraw();
    DirectDraw(const DirectDraw&) = delete;
    DirectDraw& operator=(const DirectDraw&) = delete;

    // NORMAL: windowed, the primary covers the desktop. FULLSCREEN | EXCLUSIVE: a flip chain of the
    // display mode's size. ExclusiveModeAlreadySet while another display object holds exclusive
    // mode.
    Result SetCooperativeLevel(WindowHandle window, uint32_t flags);
    // The same for a window of the window stand-in (0: no window, headless).
    Result SetCooperativeLevel(sys::WindowHandle window, uint32_t flags);
    // Ok; NoExclusiveMode while a full-screen display has lost the focus (or a test says so);
    // WrongMode after the desktop's mode changed under windowed surfaces.
    Result TestCooperativeLevel();

    // Calls `callback` for each mode (matching filter's width/height when SD_WIDTH/SD_HEIGHT are
    // set); a false answer stops the walk.
    Result EnumDisplayModes(uint32_t flags, const SurfaceDesc* filter,
                            const std::function<bool(const SurfaceDesc&)>& callback);
    // Needs exclusive mode; UnsupportedMode when the mode is not listed. Every surface is lost.
    Result SetDisplayMode(uint32_t width, uint32_t height, uint32_t bits, uint32_t refresh,
                          uint32_t flags);
    Result RestoreDisplayMode();
    Result GetDisplayMode(SurfaceDesc* desc) const;
    Result GetMonitorFrequency(uint32_t* hertz) const;

    Result GetCaps(DisplayCaps* driver, DisplayCaps* emulation) const;
    Result GetAvailableVidMem(uint32_t caps, uint64_t* total, uint64_t* free) const;
    Result GetDeviceIdentifier(DeviceIdentifier* identifier, uint32_t flags) const;

    // Primary (with CAPS_PRIMARYSURFACE; SD_BACKBUFFERCOUNT adds the flip chain in exclusive mode),
    // off-screen plain, texture, depth (CAPS_ZBUFFER) surfaces. Surfaces not in system memory take
    // their bytes from the video-memory budget: OutOfVideoMemory when it is spent. `memory`
    // applies to every surface made (all mip levels); primaries are always cleared.
    Result CreateSurface(const SurfaceDesc& desc, std::shared_ptr<Surface>* out,
                         SurfaceMemory memory = SurfaceMemory::Cleared);
    Result RestoreAllSurfaces();

    Result CreateClipper(uint32_t flags, std::shared_ptr<Clipper>* out);
    Result WaitForVerticalBlank(uint32_t flags, void* event);
    Result FlipToGDISurface();
    // The rendering side of this display object (created once, shared).
    Result QueryDirect3D(std::shared_ptr<Direct3D>* out);

    // Desktop metrics, as the window system would report them.
    uint32_t GetDesktopWidth() const { return mDesktopWidth; }
    uint32_t GetDesktopHeight() const { return mDesktopHeight; }
    int32_t GetDesktopColors() const { return mConfig.mDesktopColors; }

    const DisplayConfig& GetConfig() const { return mConfig; }
    // Which adapter this display object drives (0 = the default one).
    uint32_t GetAdapter() const { return mAdapter; }
    const std::shared_ptr<SurfaceHost>& GetHost() const { return mHost; }
    Screen& GetScreen() { return mScreen; }
    bool IsExclusive() const { return mExclusive; }

    // Every surface becomes lost (fault injection; also a focus loss in full screen).
    void LoseAllSurfaces();
    // The desktop's mode changed (tests; in real use the video driver's desktop size is compared
    // before each windowed presentation). Windowed, the primary no longer matches the desktop:
    // every surface is lost and TestCooperativeLevel, RestoreAllSurfaces and Restore answer
    // WrongMode until a new display object is made, as the window system does.
    void ChangeDesktopMode(uint32_t width, uint32_t height, uint32_t bits);
    // One-shot answers, taken front first, for tests driving the restore paths. Empty = normal.
    std::deque<Result> mTestCooperativeLevelAnswers;
    std::deque<Result> mRestoreAllSurfacesAnswers;
    std::deque<Result> mCreateSurfaceAnswers;

private:
    DisplayMode CurrentMode() const;
    void Track(const std::shared_ptr<Surface>& surface);
    std::vector<std::shared_ptr<Surface>> LiveSurfaces();
    Result CreatePrimary(const SurfaceDesc& desc, std::shared_ptr<Surface>* out);
    std::shared_ptr<Surface> MakeSurface(uint32_t width, uint32_t height, const PixelFormat& format,
                                         uint32_t caps, uint32_t caps2, Result* result,
                                         SurfaceMemory memory = SurfaceMemory::Cleared);
    void CheckFocus();
    // Windowed: compares the video driver's desktop size with the one the primary was made for
    // (desktop sizes the configuration fixes change only through ChangeDesktopMode). True when
    // the surfaces are lost to a changed mode.
    bool CheckDesktopMode();
    void SetFocusLost(bool lost);

    DisplayConfig mConfig;
    uint32_t mAdapter;
    uint32_t mDesktopWidth;
    uint32_t mDesktopHeight;
    std::shared_ptr<SurfaceHost> mHost;
    Screen mScreen;
    WindowHandle mWindow = nullptr;
    uint32_t mCooperativeFlags = 0;
    bool mExclusive = false;
    bool mModeSet = false;
    DisplayMode mMode;
    bool mFocusLost = false;
    bool mWrongMode = false;
    std::vector<std::weak_ptr<Surface>> mSurfaces;
};

// The rendering side: which devices exist, their depth-buffer and texture formats.
class Direct3D
{
public:
    explicit Direct3D(std::shared_ptr<DirectDraw> owner) : mOwner(std::move(owner)) {}

    // Calls `callback` for each device; a false answer stops the walk.
    Result EnumDevices(const std::function<bool(const DeviceDesc&)>& callback) const;
    // Depth formats of the device with that GUID; NotFound for an unknown device.
    Result EnumZBufferFormats(const Guid& device,
                              const std::function<bool(const PixelFormat&)>& callback) const;
    // Texture formats (the device's enumeration answers this list).
    Result EnumTextureFormats(const std::function<bool(const PixelFormat&)>& callback) const;
    const std::vector<PixelFormat>& GetTextureFormats() const
    {
        return mOwner->GetConfig().mTextureFormats;
    }
    // Managed textures live in memory surfaces here; nothing to evict.
    Result EvictManagedTextures() { return Result::Ok; }
    // The description of a device by GUID, or null.
    const DeviceDesc* FindDevice(const Guid& device) const;
    DirectDraw& GetDirectDraw() { return *mOwner; }

private:
    std::shared_ptr<DirectDraw> mOwner;
};

// Walks the adapters: the default one first (no GUID), then one entry per adapter with its GUID.
Result DirectDrawEnumerate(const std::function<bool(const AdapterInfo&)>& callback, uint32_t flags);
// Creates a display object for the adapter (null GUID: the default). NotFound for an unknown GUID.
Result DirectDrawCreate(const Guid* adapter, std::shared_ptr<DirectDraw>* out);
// The most recently created display object that is still alive (tests inject faults through it).
std::shared_ptr<DirectDraw> GetLiveDirectDraw();
// Called with every new display object before DirectDrawCreate answers, so tests can queue
// answers for objects the code under test makes itself; an empty function removes it.
void SetDirectDrawCreateHook(std::function<void(DirectDraw&)> hook);

} // namespace sys::display
