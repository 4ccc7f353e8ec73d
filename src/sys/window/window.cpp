// Windows on SDL2: the handle table, window procedures, sent messages, capture, the clipboard, the
// system and colour cursors, styles, monitors, message boxes and window timers.
#include "sys/window/window.h"

#include "sys/clock.h"
#include "sys/window/host.h"

#include <SDL.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

namespace sys
{
namespace
{

struct WindowRecord
{
    SDL_Window* sdl = nullptr;
    WindowProc proc = nullptr;
    void* userData = nullptr;
    WindowHandle parent = 0;
    bool unicode = false;
    bool focused = false;
    bool exposed = false;
    uint32_t style = 0;
    uint32_t exStyle = 0;
};

struct Timer
{
    uint32_t period;
    uint32_t due;
};

struct WindowingState
{
    int initResult = -1; // -1 not tried, 0 failed, 1 running
    std::string driverNotice;
    WindowHandle nextHandle = kFirstWindowHandle;
    std::map<WindowHandle, std::unique_ptr<WindowRecord>> windows;
    WindowHandle capture = 0;
    bool cursorShown = true;
    bool cursorHeldBack = false; // full screen: the display draws the pointer
    std::map<std::pair<WindowHandle, uintptr_t>, Timer> timers;
    std::vector<MessageBoxRecord> messageBoxes;
    bool cursorOverride = false;
    int cursorX = 0;
    int cursorY = 0;
    struct ColorCursor
    {
        SDL_Cursor* sdl = nullptr; // null headless: the pixels are only kept
        std::vector<uint32_t> pixels;
        int hotX = 0;
        int hotY = 0;
    };
    std::map<CursorHandle, ColorCursor> cursors;
    CursorHandle nextCursor = 1;
    CursorHandle currentCursor = 0;
    std::vector<CursorHandle> cursorRecord;
    bool fitted = false;
    int pictureWidth = 0;
    int pictureHeight = 0;
    ScreenRect shown; // where the picture lies in the window
    std::vector<WindowRequest> requestRecord;
    uint32_t unchangedFrameRun = 0;
    // The picture point a switch of shape keeps the pointer on (see KeepPointerThroughReshape).
    struct KeptPointer
    {
        bool pending = false;
        int pictureX = 0;
        int pictureY = 0;
        int framesLeft = 0;
        bool warped = false;
        int warpX = 0; // where it was last put on the desktop, and the window's place then
        int warpY = 0;
        ScreenRect windowThen;
    } kept;
    struct ShownListener
    {
        SDL_Window* window = nullptr;
        const void* owner = nullptr;
        std::function<void()> listener;
    } shownListener;
};

WindowingState& State()
{
    static WindowingState state;
    return state;
}

WindowRecord* Find(WindowHandle window)
{
    auto& windows = State().windows;
    auto found = windows.find(window);
    return found == windows.end() ? nullptr : found->second.get();
}

ScreenRect ToScreenRect(const SDL_Rect& r)
{
    return ScreenRect{r.x, r.y, r.x + r.w, r.y + r.h};
}

// A desktop point taken into the main window's client pixels, mapped, and put back on the desktop
// (the game counts its client area from where its window starts).
void MapThroughMainWindow(int& x, int& y, void (*map)(int&, int&))
{
    int left = 0;
    int top = 0;
    GetWindowPosition(GetMainWindow(), left, top);
    x -= left;
    y -= top;
    map(x, y);
    x += left;
    y += top;
}

} // namespace

bool HasRealVideoDriver()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return false;
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver != nullptr && std::strcmp(driver, "dummy") != 0 &&
           std::strcmp(driver, "offscreen") != 0;
}

bool InitWindowing()
{
    WindowingState& state = State();
    if (state.initResult < 0)
    {
        // The game answers a close request itself; SDL must not turn the last window's close
        // into a quit of its own.
        SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
        SDL_SetHint(SDL_HINT_POLL_SENTINEL, "0");
        state.initResult = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0 ? 1 : 0;
        if (state.initResult == 0)
            std::fprintf(stderr, "Video start-up failed: %s\n", SDL_GetError());
        else
        {
            // Without a display SDL quietly falls back to a driver that draws nowhere; a player
            // would wait for a window that never comes.
            state.driverNotice =
                MakeVideoDriverNotice(SDL_GetCurrentVideoDriver(), std::getenv("SDL_VIDEODRIVER"));
            if (!state.driverNotice.empty())
                std::fprintf(stderr, "%s\n", state.driverNotice.c_str());
        }
    }
    return state.initResult == 1;
}

const std::string& GetVideoDriverNotice()
{
    return State().driverNotice;
}

std::string MakeVideoDriverNotice(const char* driver, const char* asked)
{
    if (driver == nullptr ||
        (std::strcmp(driver, "dummy") != 0 && std::strcmp(driver, "offscreen") != 0))
        return std::string();
    if (asked != nullptr && *asked != '\0')
        return std::string();
    return std::string("No display found: video runs on SDL's \"") + driver +
           "\" driver, so no window is shown. Set DISPLAY or WAYLAND_DISPLAY to play on a "
           "display, or SDL_VIDEODRIVER=dummy to run without one on purpose; the program then "
           "runs until it is interrupted (Ctrl+C) or terminated.";
}

WindowHandle CreateWindow(const WindowDesc& desc)
{
    if (!InitWindowing())
        return 0;
    SDL_Window* sdl = SDL_CreateWindow(desc.title.c_str(), desc.x, desc.y, desc.width, desc.height,
                                       SDL_WINDOW_HIDDEN);
    if (!sdl)
    {
        std::fprintf(stderr, "Window creation failed: %s\n", SDL_GetError());
        return 0;
    }
    auto record = std::make_unique<WindowRecord>();
    record->sdl = sdl;
    record->proc = desc.proc;
    record->parent = desc.parent;
    record->unicode = desc.unicode;
    WindowingState& state = State();
    WindowHandle handle = state.nextHandle++;
    state.windows[handle] = std::move(record);
    return handle;
}

bool DestroyWindow(WindowHandle window)
{
    WindowRecord* record = Find(window);
    if (!record)
        return false;
    WindowingState& state = State();
    if (state.capture == window)
        state.capture = 0;
    SendMessage(window, WM_DESTROY, 0, 0);
    // The window procedure may have destroyed it again.
    record = Find(window);
    if (!record)
        return true;
    for (auto it = state.timers.begin(); it != state.timers.end();)
        it = it->first.first == window ? state.timers.erase(it) : std::next(it);
    SDL_DestroyWindow(record->sdl);
    state.windows.erase(window);
    return true;
}

bool IsWindow(WindowHandle window)
{
    if (window == 0)
        return false;
    return Find(window) != nullptr || GetHostChannel().IsWindow(window);
}

bool IsUnicodeWindow(WindowHandle window)
{
    WindowRecord* record = Find(window);
    return record && record->unicode;
}

WindowHandle GetParent(WindowHandle window)
{
    WindowRecord* record = Find(window);
    return record ? record->parent : 0;
}

WindowHandle GetMainWindow()
{
    auto& windows = State().windows;
    return windows.empty() ? 0 : windows.begin()->first;
}

void SetWindowUserData(WindowHandle window, void* data)
{
    if (WindowRecord* record = Find(window))
        record->userData = data;
}

void* GetWindowUserData(WindowHandle window)
{
    WindowRecord* record = Find(window);
    return record ? record->userData : nullptr;
}

LParam SendMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam)
{
    WindowRecord* record = Find(window);
    if (!record)
        return GetHostChannel().SendMessage(window, message, wParam, lParam);
    if (record->proc)
        return record->proc(window, message, wParam, lParam);
    return DefWindowProc(window, message, wParam, lParam);
}

LParam DefWindowProc(WindowHandle window, uint32_t message, WParam, LParam)
{
    switch (message)
    {
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_NCHITTEST:
        return HTCLIENT;
    default:
        return 0;
    }
}

bool ShowWindow(WindowHandle window, int command)
{
    WindowRecord* record = Find(window);
    if (!record)
        return false;
    switch (command)
    {
    case SW_HIDE:
        SDL_HideWindow(record->sdl);
        break;
    case SW_MINIMIZE:
        SDL_MinimizeWindow(record->sdl);
        break;
    default:
    {
        const bool wasShown = (SDL_GetWindowFlags(record->sdl) & SDL_WINDOW_SHOWN) != 0;
        SDL_ShowWindow(record->sdl);
        // Only a minimised or maximised window is restored: a restore can take a full-screen
        // window back to its first, windowed size.
        if ((SDL_GetWindowFlags(record->sdl) & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_MAXIMIZED)) != 0)
            SDL_RestoreWindow(record->sdl);
        const WindowingState::ShownListener& shown = State().shownListener;
        if (!wasShown && shown.window == record->sdl && shown.listener)
            shown.listener();
        break;
    }
    }
    return true;
}

bool IsWindowVisible(WindowHandle window)
{
    WindowRecord* record = Find(window);
    return record && (SDL_GetWindowFlags(record->sdl) & SDL_WINDOW_SHOWN) != 0;
}

bool IsWindowMinimized(WindowHandle window)
{
    WindowRecord* record = Find(window);
    return record && (SDL_GetWindowFlags(record->sdl) & SDL_WINDOW_MINIMIZED) != 0;
}

bool MoveWindow(WindowHandle window, int x, int y, int width, int height)
{
    WindowRecord* record = Find(window);
    if (!record || width <= 0 || height <= 0)
        return false;
    SDL_SetWindowSize(record->sdl, width, height);
    SDL_SetWindowPosition(record->sdl, x, y);
    return true;
}

bool GetClientSize(WindowHandle window, int& width, int& height)
{
    WindowRecord* record = Find(window);
    if (!record)
        return GetHostChannel().GetClientSize(window, width, height);
    SDL_GetWindowSize(record->sdl, &width, &height);
    return true;
}

bool GetWindowPosition(WindowHandle window, int& x, int& y)
{
    WindowRecord* record = Find(window);
    if (!record)
        return false;
    SDL_GetWindowPosition(record->sdl, &x, &y);
    return true;
}

bool SetWindowTitle(WindowHandle window, const std::string& utf8)
{
    WindowRecord* record = Find(window);
    if (!record)
        return false;
    SDL_SetWindowTitle(record->sdl, utf8.c_str());
    return true;
}

std::string GetWindowTitle(WindowHandle window)
{
    WindowRecord* record = Find(window);
    return record ? std::string(SDL_GetWindowTitle(record->sdl)) : std::string();
}

bool IsForegroundWindow(WindowHandle window)
{
    WindowRecord* record = Find(window);
    if (!record)
        return GetHostChannel().IsForeground(window);
    return record->focused || (SDL_GetWindowFlags(record->sdl) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

namespace
{
bool RequestWindow(WindowHandle window, WindowRequest request, void (*act)(SDL_Window*))
{
    WindowRecord* record = Find(window);
    if (!record)
        return false;
    if (!HasRealVideoDriver())
        State().requestRecord.push_back(request);
    act(record->sdl);
    return true;
}
} // namespace

bool RestoreWindow(WindowHandle window)
{
    return RequestWindow(window, WindowRequest::Restore, &SDL_RestoreWindow);
}

bool RaiseWindow(WindowHandle window)
{
    return RequestWindow(window, WindowRequest::Raise, &SDL_RaiseWindow);
}

const std::vector<WindowRequest>& GetWindowRequestRecord()
{
    return State().requestRecord;
}

void ClearWindowRequestRecord()
{
    State().requestRecord.clear();
}

bool SetForegroundWindow(WindowHandle window)
{
    WindowRecord* record = Find(window);
    if (!record)
        return false;
    SDL_RaiseWindow(record->sdl);
    return true;
}

void SetActiveWindow(WindowHandle window)
{
    // Activation follows input focus here; raising is all a window can ask for.
    if (WindowRecord* record = Find(window))
    {
        if (SDL_GetWindowFlags(record->sdl) & SDL_WINDOW_SHOWN)
            SDL_RaiseWindow(record->sdl);
    }
}

void SetFocus(WindowHandle window)
{
    SetActiveWindow(window);
}

void GetDesktopSize(int& width, int& height)
{
    width = 800;
    height = 600;
    if (!InitWindowing())
        return;
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 && mode.h > 0)
    {
        width = mode.w;
        height = mode.h;
    }
}

int GetSystemMetrics(int index)
{
    int width = 0;
    int height = 0;
    switch (index)
    {
    case SM_CXSCREEN:
    case SM_CYSCREEN:
        GetDesktopSize(width, height);
        return index == SM_CXSCREEN ? width : height;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return kFrameWidth;
    case SM_CXEDGE:
    case SM_CYEDGE:
        return kEdgeWidth;
    case SM_CYCAPTION:
        return kCaptionHeight;
    default:
        return 0;
    }
}

bool SetWindowPosition(WindowHandle window, int x, int y)
{
    WindowRecord* record = Find(window);
    if (!record)
        return false;
    SDL_SetWindowPosition(record->sdl, x, y);
    return true;
}

bool GetWindowScreenRect(WindowHandle window, ScreenRect& rect)
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    if (!GetWindowPosition(window, x, y) || !GetClientSize(window, width, height))
        return false;
    rect = ScreenRect{x, y, x + width, y + height};
    return true;
}

void GetMonitorRects(WindowHandle window, ScreenRect& monitor, ScreenRect& workArea)
{
    monitor = ScreenRect{0, 0, 800, 600};
    workArea = monitor;
    if (!InitWindowing())
        return;
    WindowRecord* record = Find(window);
    int index = record ? SDL_GetWindowDisplayIndex(record->sdl) : 0;
    if (index < 0)
        index = 0;
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(index, &bounds) != 0 || bounds.w <= 0 || bounds.h <= 0)
        return;
    monitor = ToScreenRect(bounds);
    SDL_Rect usable;
    workArea = SDL_GetDisplayUsableBounds(index, &usable) == 0 && usable.w > 0 && usable.h > 0
                   ? ToScreenRect(usable)
                   : monitor;
}

void SetWindowStyles(WindowHandle window, uint32_t style, uint32_t exStyle)
{
    if (WindowRecord* record = Find(window))
    {
        record->style = style;
        record->exStyle = exStyle;
    }
}

uint32_t GetWindowStyle(WindowHandle window)
{
    WindowRecord* record = Find(window);
    return record ? record->style : 0;
}

uint32_t GetWindowExStyle(WindowHandle window)
{
    WindowRecord* record = Find(window);
    return record ? record->exStyle : 0;
}

WindowHandle SetParent(WindowHandle window, WindowHandle parent)
{
    WindowRecord* record = Find(window);
    if (!record)
        return 0;
    WindowHandle previous = record->parent;
    record->parent = parent;
    return previous;
}

int MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
               uint32_t flags)
{
    State().messageBoxes.push_back(MessageBoxRecord{owner, text, caption, flags});
    if (!HasRealVideoDriver())
    {
        std::fprintf(stderr, "Message box \"%s\": %s\n", caption.c_str(), text.c_str());
        return IDOK;
    }
    uint32_t kind = SDL_MESSAGEBOX_INFORMATION;
    if ((flags & 0xF0) == MB_ICONSTOP)
        kind = SDL_MESSAGEBOX_ERROR;
    else if ((flags & 0xF0) == MB_ICONEXCLAMATION)
        kind = SDL_MESSAGEBOX_WARNING;
    WindowRecord* record = Find(owner);
    if (SDL_ShowSimpleMessageBox(kind, caption.c_str(), text.c_str(),
                                 record ? record->sdl : nullptr) != 0)
        std::fprintf(stderr, "Message box \"%s\": %s\n", caption.c_str(), text.c_str());
    return IDOK;
}

const std::vector<MessageBoxRecord>& GetMessageBoxes()
{
    return State().messageBoxes;
}

void ClearMessageBoxes()
{
    State().messageBoxes.clear();
}

void SetPictureFit(int pictureWidth, int pictureHeight, int screenWidth, int screenHeight)
{
    WindowingState& state = State();
    if (pictureWidth <= 0 || pictureHeight <= 0 || screenWidth <= 0 || screenHeight <= 0)
    {
        state.fitted = false;
        return;
    }
    state.fitted = true;
    state.pictureWidth = pictureWidth;
    state.pictureHeight = pictureHeight;
    state.shown = FitPicture(pictureWidth, pictureHeight, screenWidth, screenHeight);
}

void ClearPictureFit()
{
    State().fitted = false;
}

ScreenRect FitPicture(int pictureWidth, int pictureHeight, int screenWidth, int screenHeight)
{
    if (pictureWidth <= 0 || pictureHeight <= 0 || screenWidth <= 0 || screenHeight <= 0)
        return ScreenRect{0, 0, screenWidth, screenHeight};
    // The larger side that fits, in whole pixels: width over height compared without rounding.
    int width = screenWidth;
    int height = screenHeight;
    const int64_t across = int64_t(screenWidth) * pictureHeight;
    const int64_t down = int64_t(screenHeight) * pictureWidth;
    if (across > down)
        width = static_cast<int>((down + pictureHeight / 2) / pictureHeight);
    else if (across < down)
        height = static_cast<int>((across + pictureWidth / 2) / pictureWidth);
    const int left = (screenWidth - width) / 2;
    const int top = (screenHeight - height) / 2;
    return ScreenRect{left, top, left + width, top + height};
}

namespace
{
// Pixel `v` of an axis `from` pixels long, taken at its middle onto an axis `to` pixels long
// (floor division, so a point before the axis stays before it). Both directions use it, so the
// way back from a picture pixel's screen point finds the same picture pixel.
int64_t MapMiddle(int64_t v, int64_t from, int64_t to)
{
    const int64_t scaled = (2 * v + 1) * to;
    return scaled >= 0 ? scaled / (2 * from) : -((-scaled + 2 * from - 1) / (2 * from));
}
} // namespace

void WindowToPicture(int& x, int& y)
{
    const WindowingState& state = State();
    if (!state.fitted)
        return;
    const ScreenRect& shown = state.shown;
    const int64_t px = MapMiddle(x - shown.left, shown.right - shown.left, state.pictureWidth);
    const int64_t py = MapMiddle(y - shown.top, shown.bottom - shown.top, state.pictureHeight);
    x = static_cast<int>(std::clamp<int64_t>(px, 0, state.pictureWidth - 1));
    y = static_cast<int>(std::clamp<int64_t>(py, 0, state.pictureHeight - 1));
}

void PictureToWindow(int& x, int& y)
{
    const WindowingState& state = State();
    if (!state.fitted)
        return;
    const ScreenRect& shown = state.shown;
    x = static_cast<int>(shown.left + MapMiddle(x, state.pictureWidth, shown.right - shown.left));
    y = static_cast<int>(shown.top + MapMiddle(y, state.pictureHeight, shown.bottom - shown.top));
}

namespace
{
// The pointer on the desktop as the game reads it: a position a script holds, else the real one.
void DesktopPointer(int& x, int& y)
{
    const WindowingState& state = State();
    x = state.cursorX;
    y = state.cursorY;
    if (state.cursorOverride || !SDL_WasInit(SDL_INIT_VIDEO))
        return;
    // Over one of our windows the position its events last reported is the pointer's: X keeps the
    // desktop position for SDL's global query only from raw device moves, so after a warp (another
    // program moving the pointer) that query answers where the pointer was before.
    SDL_Window* over = SDL_GetMouseFocus();
    if (over != nullptr)
    {
        int left = 0;
        int top = 0;
        SDL_GetWindowPosition(over, &left, &top);
        SDL_GetMouseState(&x, &y);
        x += left;
        y += top;
        return;
    }
    SDL_GetGlobalMouseState(&x, &y);
}

// The main window's client rectangle on the desktop; false without one.
bool MainWindowRect(ScreenRect& rect)
{
    return GetWindowScreenRect(GetMainWindow(), rect);
}

// Frames presented after a switch during which the pointer follows a window that the window
// manager is still placing (about a second).
constexpr int kKeptPointerFrames = 60;
} // namespace

void GetCursorPos(int& x, int& y)
{
    DesktopPointer(x, y);
    if (State().fitted)
        MapThroughMainWindow(x, y, &WindowToPicture);
}

void KeepPointerThroughReshape()
{
    WindowingState& state = State();
    ScreenRect window;
    if (!MainWindowRect(window))
        return;
    if (state.kept.pending)
    {
        // A switch again before the pointer was put back for the last one: the point is the same
        // (the player has not moved the pointer since), and where the pointer rests may be no
        // picture point of this shape yet.
        state.kept.framesLeft = kKeptPointerFrames;
        state.kept.warped = false;
        return;
    }
    int x = 0;
    int y = 0;
    DesktopPointer(x, y);
    if (x < window.left || x >= window.right || y < window.top || y >= window.bottom)
        return;
    x -= window.left;
    y -= window.top;
    WindowToPicture(x, y);
    state.kept = WindowingState::KeptPointer{};
    state.kept.pending = true;
    state.kept.pictureX = x;
    state.kept.pictureY = y;
    state.kept.framesLeft = kKeptPointerFrames;
}

void PlaceKeptPointer()
{
    WindowingState& state = State();
    WindowingState::KeptPointer& kept = state.kept;
    ScreenRect window;
    if (!kept.pending || !MainWindowRect(window))
        return;
    if (--kept.framesLeft <= 0)
        kept.pending = false;
    int x = kept.pictureX;
    int y = kept.pictureY;
    PictureToWindow(x, y);
    x += window.left;
    y += window.top;
    if (state.cursorOverride || !HasRealVideoDriver())
    {
        // A script's pointer (or a headless one) is no device: it is put there at once.
        if (state.cursorOverride)
        {
            state.cursorX = x;
            state.cursorY = y;
        }
        kept.pending = false;
        return;
    }
    if (kept.warped)
    {
        int nowX = 0;
        int nowY = 0;
        SDL_GetGlobalMouseState(&nowX, &nowY);
        if (nowX != kept.warpX || nowY != kept.warpY)
        {
            kept.pending = false; // the player moved it since
            return;
        }
        if (window == kept.windowThen)
            return;
    }
    SDL_WarpMouseGlobal(x, y);
    kept.warped = true;
    kept.warpX = x;
    kept.warpY = y;
    kept.windowThen = window;
}

bool IsPointerKept()
{
    return State().kept.pending;
}

void SetCursorPosOverride(bool enabled, int x, int y)
{
    WindowingState& state = State();
    state.cursorOverride = enabled;
    state.cursorX = enabled ? x : 0;
    state.cursorY = enabled ? y : 0;
}

bool HasCursorPosOverride()
{
    return State().cursorOverride;
}

void SetCursorPos(int x, int y)
{
    WindowingState& state = State();
    if (state.fitted)
        MapThroughMainWindow(x, y, &PictureToWindow);
    if (!state.cursorOverride && HasRealVideoDriver())
    {
        SDL_WarpMouseGlobal(x, y);
        return;
    }
    state.cursorX = x;
    state.cursorY = y;
}

bool ScreenToClient(WindowHandle window, int& x, int& y)
{
    int left = 0;
    int top = 0;
    if (!GetWindowPosition(window, left, top))
        return false;
    x -= left;
    y -= top;
    return true;
}

bool ClientToScreen(WindowHandle window, int& x, int& y)
{
    int left = 0;
    int top = 0;
    if (!GetWindowPosition(window, left, top))
        return false;
    x += left;
    y += top;
    return true;
}

CursorHandle CreateColorCursor(const uint32_t* argb, int hotX, int hotY)
{
    if (argb == nullptr)
        return 0;
    WindowingState::ColorCursor cursor;
    cursor.pixels.assign(argb, argb + kColorCursorSize * kColorCursorSize);
    cursor.hotX = hotX;
    cursor.hotY = hotY;
    if (InitWindowing())
    {
        // SDL copies the pixels into its cursor; drivers without cursors (the dummy one) make
        // none, and the cursor is then only kept.
        SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
            cursor.pixels.data(), kColorCursorSize, kColorCursorSize, 32, kColorCursorSize * 4,
            SDL_PIXELFORMAT_ARGB8888);
        if (surface)
        {
            cursor.sdl = SDL_CreateColorCursor(surface, hotX, hotY);
            SDL_FreeSurface(surface);
        }
    }
    WindowingState& state = State();
    CursorHandle handle = state.nextCursor++;
    state.cursors[handle] = std::move(cursor);
    return handle;
}

bool GetColorCursor(CursorHandle cursor, std::vector<uint32_t>& argb, int& hotX, int& hotY)
{
    WindowingState& state = State();
    auto found = state.cursors.find(cursor);
    if (found == state.cursors.end())
        return false;
    argb = found->second.pixels;
    hotX = found->second.hotX;
    hotY = found->second.hotY;
    return true;
}

bool SetCursor(CursorHandle cursor)
{
    WindowingState& state = State();
    if (cursor == 0)
    {
        state.currentCursor = 0;
        if (SDL_WasInit(SDL_INIT_VIDEO))
            SDL_SetCursor(SDL_GetDefaultCursor());
        return true;
    }
    auto found = state.cursors.find(cursor);
    if (found == state.cursors.end())
        return false;
    state.currentCursor = cursor;
    if (found->second.sdl)
        SDL_SetCursor(found->second.sdl);
    return true;
}

void DestroyCursor(CursorHandle cursor)
{
    WindowingState& state = State();
    auto found = state.cursors.find(cursor);
    if (found == state.cursors.end())
        return;
    if (state.currentCursor == cursor)
        SetCursor(0);
    if (found->second.sdl)
        SDL_FreeCursor(found->second.sdl);
    state.cursors.erase(found);
}

CursorHandle GetCurrentCursor()
{
    return State().currentCursor;
}

void SetCapture(WindowHandle window)
{
    if (!Find(window))
        return;
    State().capture = window;
    // Without a real display there is no pointer to grab; the capture is still recorded.
    SDL_CaptureMouse(SDL_TRUE);
}

bool ReleaseCapture()
{
    WindowingState& state = State();
    WindowHandle had = state.capture;
    state.capture = 0;
    SDL_CaptureMouse(SDL_FALSE);
    if (had != 0)
        SendMessage(had, WM_CAPTURECHANGED, 0, 0);
    return true;
}

WindowHandle GetCapture()
{
    return State().capture;
}

void ShowSystemCursor(bool show)
{
    WindowingState& state = State();
    state.cursorShown = show;
    if (SDL_WasInit(SDL_INIT_VIDEO))
        SDL_ShowCursor(show && !state.cursorHeldBack ? SDL_ENABLE : SDL_DISABLE);
}

void HoldBackSystemCursor(bool heldBack)
{
    WindowingState& state = State();
    state.cursorHeldBack = heldBack;
    ShowSystemCursor(state.cursorShown);
}

bool IsSystemCursorHeldBack()
{
    return State().cursorHeldBack;
}

bool IsSystemCursorShown()
{
    return State().cursorShown;
}

CursorHandle LoadArrowCursor()
{
    return kArrowCursor;
}

CursorHandle GetSystemCursor()
{
    WindowingState& state = State();
    if (!state.cursorShown)
        return 0;
    return state.currentCursor != 0 ? state.currentCursor : kArrowCursor;
}

CursorHandle SetSystemCursor(CursorHandle cursor)
{
    WindowingState& state = State();
    CursorHandle previous = GetSystemCursor();
    if (!HasRealVideoDriver())
    {
        // Half the record goes at once, so a long headless run costs one move per many calls.
        if (state.cursorRecord.size() >= kCursorRecordLimit)
            state.cursorRecord.erase(state.cursorRecord.begin(),
                                     state.cursorRecord.begin() + kCursorRecordLimit / 2);
        state.cursorRecord.push_back(cursor);
    }
    if (cursor == 0)
        ShowSystemCursor(false);
    else if (SetCursor(cursor == kArrowCursor ? 0 : cursor))
        ShowSystemCursor(true);
    return previous;
}

const std::vector<CursorHandle>& GetSystemCursorRecord()
{
    return State().cursorRecord;
}

void ClearSystemCursorRecord()
{
    State().cursorRecord.clear();
}

bool SetClipboardText(const std::string& utf8)
{
    if (!InitWindowing())
        return false;
    return SDL_SetClipboardText(utf8.c_str()) == 0;
}

bool HasClipboardText()
{
    return InitWindowing() && SDL_HasClipboardText() == SDL_TRUE;
}

std::string GetClipboardText()
{
    if (!InitWindowing())
        return std::string();
    char* text = SDL_GetClipboardText();
    std::string out = text ? text : "";
    SDL_free(text);
    return out;
}

uint32_t GetUnchangedFrameRun()
{
    return State().unchangedFrameRun;
}

bool SetTimer(WindowHandle window, uintptr_t id, uint32_t periodMs)
{
    if (!Find(window))
        return false;
    if (periodMs == 0)
        periodMs = 1;
    State().timers[{window, id}] = Timer{periodMs, GetTimeMs() + periodMs};
    return true;
}

bool KillTimer(WindowHandle window, uintptr_t id)
{
    return State().timers.erase({window, id}) != 0;
}

namespace detail
{

WindowHandle WindowFromSdlId(uint32_t sdlId)
{
    for (auto& [handle, record] : State().windows)
    {
        if (SDL_GetWindowID(record->sdl) == sdlId)
            return handle;
    }
    return GetMainWindow();
}

SDL_Window* SdlWindowFromHandle(WindowHandle window)
{
    WindowRecord* record = Find(window);
    return record ? record->sdl : nullptr;
}

void SetShownListener(SDL_Window* window, const void* owner, std::function<void()> listener)
{
    State().shownListener = WindowingState::ShownListener{window, owner, std::move(listener)};
}

void ClearShownListener(const void* owner)
{
    WindowingState::ShownListener& shown = State().shownListener;
    if (shown.owner == owner)
        shown = WindowingState::ShownListener{};
}

uint32_t SdlIdFromWindow(WindowHandle window)
{
    WindowRecord* record = Find(window);
    return record ? SDL_GetWindowID(record->sdl) : 0;
}

void NoteFrameShown(bool changed)
{
    uint32_t& run = State().unchangedFrameRun;
    run = changed ? 0 : run + (run < UINT32_MAX ? 1 : 0);
}

void NoteExposed(WindowHandle window)
{
    if (WindowRecord* record = Find(window))
        record->exposed = true;
}

bool TakeExposed(SDL_Window* window)
{
    for (auto& [handle, record] : State().windows)
    {
        if (record->sdl == window)
            return std::exchange(record->exposed, false);
    }
    return false;
}

void NoteFocus(WindowHandle window, bool focused)
{
    if (WindowRecord* record = Find(window))
        record->focused = focused;
}

bool TakeDueTimer(uint32_t now, WindowHandle& window, uintptr_t& id)
{
    for (auto& [key, timer] : State().timers)
    {
        if (static_cast<int32_t>(now - timer.due) >= 0)
        {
            timer.due = now + timer.period;
            window = key.first;
            id = key.second;
            return true;
        }
    }
    return false;
}

} // namespace detail

} // namespace sys
