// The window stand-in: SDL windows behind window handles, each with its window procedure and user
// word; messages sent to a window (or to a host window), capture, the clipboard, the system and
// colour cursors, titles, sizes, styles and parents, monitors, metrics, message boxes, the
// foreground test and window timers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct SDL_Window;

namespace sys
{

// 0 is "no window". Handles of this process's windows start at kFirstWindowHandle; any other
// value can only be a host window (see sys/window/host.h).
using WindowHandle = uintptr_t;
using WParam = uintptr_t;
using LParam = intptr_t;
using WindowProc = LParam (*)(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);

constexpr WindowHandle kFirstWindowHandle = 0x10001;

// Window messages, numbered as the platform the game was written for numbers them, so that host
// windows and tests speak the same codes.
constexpr uint32_t WM_NULL = 0x0000;
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_SIZE = 0x0005;
constexpr uint32_t WM_ACTIVATE = 0x0006;
constexpr uint32_t WM_PAINT = 0x000F;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_ERASEBKGND = 0x0014;
constexpr uint32_t WM_ACTIVATEAPP = 0x001C;
constexpr uint32_t WM_SETCURSOR = 0x0020;
constexpr uint32_t WM_MOUSEACTIVATE = 0x0021;
constexpr uint32_t WM_WINDOWPOSCHANGING = 0x0046;
constexpr uint32_t WM_WINDOWPOSCHANGED = 0x0047;
constexpr uint32_t WM_DISPLAYCHANGE = 0x007E;
constexpr uint32_t WM_NCHITTEST = 0x0084;
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WM_KEYUP = 0x0101;
constexpr uint32_t WM_CHAR = 0x0102;
constexpr uint32_t WM_SYSKEYDOWN = 0x0104;
constexpr uint32_t WM_SYSKEYUP = 0x0105;
constexpr uint32_t WM_SYSCHAR = 0x0106;
constexpr uint32_t WM_TIMER = 0x0113;
constexpr uint32_t WM_INITMENUPOPUP = 0x0117;
constexpr uint32_t WM_MOUSEMOVE = 0x0200;
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr uint32_t WM_LBUTTONUP = 0x0202;
constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr uint32_t WM_RBUTTONUP = 0x0205;
constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
constexpr uint32_t WM_MBUTTONUP = 0x0208;
constexpr uint32_t WM_MOUSEWHEEL = 0x020A;
constexpr uint32_t WM_XBUTTONDOWN = 0x020B;
constexpr uint32_t WM_XBUTTONUP = 0x020C;
constexpr uint32_t WM_MOUSEHWHEEL = 0x020E;
constexpr uint32_t WM_CAPTURECHANGED = 0x0215;
constexpr uint32_t WM_MOUSEHOVER = 0x02A1;
constexpr uint32_t WM_MOUSELEAVE = 0x02A3;
constexpr uint32_t WM_USER = 0x0400;

// WM_SIZE kinds.
constexpr WParam SIZE_RESTORED = 0;
constexpr WParam SIZE_MINIMIZED = 1;
constexpr WParam SIZE_MAXIMIZED = 2;
constexpr WParam SIZE_MAXSHOW = 3;

// Hit-test codes.
constexpr LParam HTNOWHERE = 0;
constexpr LParam HTCLIENT = 1;

// Key-state bits of mouse messages' wParam.
constexpr WParam MK_LBUTTON = 0x0001;
constexpr WParam MK_RBUTTON = 0x0002;
constexpr WParam MK_SHIFT = 0x0004;
constexpr WParam MK_CONTROL = 0x0008;
constexpr WParam MK_MBUTTON = 0x0010;
constexpr WParam MK_XBUTTON1 = 0x0020;
constexpr WParam MK_XBUTTON2 = 0x0040;

// Show commands.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_MINIMIZE = 6;

// WINDOWPOS flags.
constexpr uint32_t SWP_NOSIZE = 0x0001;

// Window styles and extended styles. SDL windows keep their own decoration: styles are recorded
// for whoever asks, and change nothing on the screen.
constexpr uint32_t WS_POPUP = 0x80000000;
constexpr uint32_t WS_CHILD = 0x40000000;
constexpr uint32_t WS_VISIBLE = 0x10000000;
constexpr uint32_t WS_CAPTION = 0x00C00000;
constexpr uint32_t WS_SYSMENU = 0x00080000;
constexpr uint32_t WS_THICKFRAME = 0x00040000;
constexpr uint32_t WS_MINIMIZEBOX = 0x00020000;
constexpr uint32_t WS_EX_TOPMOST = 0x00000008;
constexpr uint32_t WS_EX_APPWINDOW = 0x00040000;

// System metrics. The frame, edge and caption sizes are fixed: the window-fits test needs numbers,
// and an SDL window's decoration belongs to the desktop, which does not report it.
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CYCAPTION = 4;
constexpr int SM_CXFRAME = 32;
constexpr int SM_CYFRAME = 33;
constexpr int SM_CXEDGE = 45;
constexpr int SM_CYEDGE = 46;
constexpr int kFrameWidth = 4;
constexpr int kEdgeWidth = 2;
constexpr int kCaptionHeight = 23;

// Message-box flags and answers.
constexpr uint32_t MB_OK = 0x00000000;
constexpr uint32_t MB_ICONSTOP = 0x00000010;
constexpr uint32_t MB_ICONEXCLAMATION = 0x00000030;
constexpr int IDOK = 1;

// A rectangle in desktop pixels, right and bottom exclusive.
struct ScreenRect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const ScreenRect&) const = default;
};

// A message box as it was asked for (tests read them back).
struct MessageBoxRecord
{
    WindowHandle owner = 0;
    std::string text;
    std::string caption;
    uint32_t flags = 0;
};

// What WM_WINDOWPOSCHANGING and WM_WINDOWPOSCHANGED point at (their lParam).
struct WindowPos
{
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    uint32_t flags = 0;
};

// The packed position of mouse messages: signed 16-bit x in the low word, y in the high word.
constexpr LParam MakePointParam(int x, int y)
{
    return static_cast<LParam>((static_cast<uint32_t>(y & 0xFFFF) << 16) |
                               static_cast<uint32_t>(x & 0xFFFF));
}
constexpr int PointParamX(LParam p)
{
    return static_cast<int16_t>(p & 0xFFFF);
}
constexpr int PointParamY(LParam p)
{
    return static_cast<int16_t>((p >> 16) & 0xFFFF);
}

struct WindowDesc
{
    std::string title;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    // A host window to sit in: kept as the window's parent, to which messages can be forwarded.
    WindowHandle parent = 0;
    // Characters arrive as UTF-16 units instead of bytes.
    bool unicode = false;
    WindowProc proc = nullptr;
};

// Starts SDL's video subsystem (once per process; later calls answer the first result). Closing a
// window never quits the program by itself: the game decides.
bool InitWindowing();
// Whether video runs on a driver that shows windows (with boxes and monitors), not on SDL's dummy
// or offscreen one; false before InitWindowing.
bool HasRealVideoDriver();
// What InitWindowing said on standard error when SDL fell back to a driver that shows no window,
// for the log once it is open; empty otherwise.
const std::string& GetVideoDriverNotice();
// The notice for the driver SDL chose and the SDL_VIDEODRIVER value asked for (null when unset):
// empty unless the driver shows nothing ("dummy", "offscreen") and none was asked for.
std::string MakeVideoDriverNotice(const char* driver, const char* asked);

// Creates a hidden, non-resizable window; 0 (and a line on stderr) when it cannot be made.
WindowHandle CreateWindow(const WindowDesc& desc);
// Sends WM_DESTROY to the window procedure, then destroys the window.
bool DestroyWindow(WindowHandle window);
// One of this process's windows, or a window that the host channel knows.
bool IsWindow(WindowHandle window);
bool IsUnicodeWindow(WindowHandle window);
WindowHandle GetParent(WindowHandle window);
// The first window of this process still alive, 0 when none.
WindowHandle GetMainWindow();

// Window word 0.
void SetWindowUserData(WindowHandle window, void* data);
void* GetWindowUserData(WindowHandle window);

// Calls the window procedure at once (a host window's message goes through the host channel).
LParam SendMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);
// The default handling: WM_CLOSE destroys the window, WM_NCHITTEST answers HTCLIENT, the rest 0.
LParam DefWindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);

bool ShowWindow(WindowHandle window, int command);
bool IsWindowVisible(WindowHandle window);
bool IsWindowMinimized(WindowHandle window);
// Moves and sizes the window (the size is its client area).
bool MoveWindow(WindowHandle window, int x, int y, int width, int height);
bool GetClientSize(WindowHandle window, int& width, int& height);
bool GetWindowPosition(WindowHandle window, int& x, int& y);
bool SetWindowTitle(WindowHandle window, const std::string& utf8);
std::string GetWindowTitle(WindowHandle window);

// Brings a window back from the task bar, and above the other windows: what a second start of the
// program asks of the first one's window. Headless (no driver that shows windows) each call is
// also recorded, in order, so that tests can read what was asked.
bool RestoreWindow(WindowHandle window);
bool RaiseWindow(WindowHandle window);
enum class WindowRequest
{
    Restore,
    Raise
};
const std::vector<WindowRequest>& GetWindowRequestRecord();
void ClearWindowRequestRecord();

// Input focus stands for the foreground window.
bool IsForegroundWindow(WindowHandle window);
bool SetForegroundWindow(WindowHandle window);
void SetActiveWindow(WindowHandle window);
void SetFocus(WindowHandle window);

// Size of the desktop the window is on (the first display's mode; 800 x 600 without one).
void GetDesktopSize(int& width, int& height);

// Frame, edge and caption sizes (the constants above) and the desktop's size; 0 for other indexes.
int GetSystemMetrics(int index);
// Moves the window without sizing it.
bool SetWindowPosition(WindowHandle window, int x, int y);
// The window's client rectangle on the desktop.
bool GetWindowScreenRect(WindowHandle window, ScreenRect& rect);
// The full rectangle and the work area (without task bars) of the monitor the window is on, the
// first monitor for no window; 800 x 600 at (0, 0) when the video driver knows no monitor.
void GetMonitorRects(WindowHandle window, ScreenRect& monitor, ScreenRect& workArea);
// Recorded styles (see above): a new window has none.
void SetWindowStyles(WindowHandle window, uint32_t style, uint32_t exStyle);
uint32_t GetWindowStyle(WindowHandle window);
uint32_t GetWindowExStyle(WindowHandle window);
// Records the new parent (what GetParent answers) and answers the previous one; the SDL window
// stays a top-level window.
WindowHandle SetParent(WindowHandle window, WindowHandle parent);

// A modal box. With a real video driver SDL shows it and the answer is IDOK; headless (no driver,
// or SDL's dummy one) the text goes to stderr and the answer is IDOK at once. Every box is
// recorded either way.
int MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
               uint32_t flags);
const std::vector<MessageBoxRecord>& GetMessageBoxes();
void ClearMessageBoxes();

// Full screen shows the picture (the display mode's size) scaled into the screen with its
// proportions kept, centred between black bars. Every pointer position the game sees goes through
// the same mapping: window pixels to picture pixels for events and GetCursorPos (a point over a
// bar lands on the picture's edge), picture to window pixels for SetCursorPos and input scripts.
// Without a fit (windowed, or nothing presented yet) both directions leave points as they are.
void SetPictureFit(int pictureWidth, int pictureHeight, int screenWidth, int screenHeight);
void ClearPictureFit();
// Where a picture of the given size is shown on a screen of the given size.
ScreenRect FitPicture(int pictureWidth, int pictureHeight, int screenWidth, int screenHeight);
// Points relative to the main window's client area.
void WindowToPicture(int& x, int& y);
void PictureToWindow(int& x, int& y);

// A switch between full screen and a window keeps the pointer on the picture's point it was on.
// KeepPointerThroughReshape, before the window changes shape, notes that point (nothing when the
// pointer is off the window); PlaceKeptPointer, after each frame presented in the new shape, puts
// the pointer where the window now shows it: the real pointer is warped there, a position a
// script holds is moved there. The window manager may still move the window after the first
// frame: the pointer follows while it rests where it was put, for a short while only (a motion of
// the player's own ends it).
void KeepPointerThroughReshape();
void PlaceKeptPointer();
bool IsPointerKept();

// The pointer's position on the desktop (in picture pixels under a fit). Tests set it (`enabled`,
// desktop pixels), the desktop's mouse otherwise.
void GetCursorPos(int& x, int& y);
// An input script's move sets it, and it holds while the script drives the pointer: a motion of
// the real pointer to another point (an SDL device's move, not one pushed by PushMouseMotion) ends
// it.
void SetCursorPosOverride(bool enabled, int x = 0, int y = 0);
bool HasCursorPosOverride();
// Moves the pointer on the desktop (the point in picture pixels under a fit). With a real video
// driver and no override the pointer itself moves; otherwise (headless, or while a test overrides
// it) the position is recorded, and GetCursorPos answers it under the override.
void SetCursorPos(int x, int y);
// Desktop pixels to the window's client pixels and back; false for an unknown window.
bool ScreenToClient(WindowHandle window, int& x, int& y);
bool ClientToScreen(WindowHandle window, int& x, int& y);

// A colour cursor made from 32 x 32 A8R8G8B8 pixels (rows top-down) with its hot spot; 0 only
// without pixels. Where the video driver makes no cursors (headless) it is kept, not shown.
using CursorHandle = uintptr_t;
constexpr int kColorCursorSize = 32;
CursorHandle CreateColorCursor(const uint32_t* argb, int hotX, int hotY);
// The pixels and hot spot a cursor was made from; false for an unknown cursor.
bool GetColorCursor(CursorHandle cursor, std::vector<uint32_t>& argb, int& hotX, int& hotY);
// Makes it the pointer's shape (0: the system arrow); false for an unknown cursor.
bool SetCursor(CursorHandle cursor);
void DestroyCursor(CursorHandle cursor);
CursorHandle GetCurrentCursor();

void SetCapture(WindowHandle window);
// Releases the capture; the window that had it gets WM_CAPTURECHANGED (lParam 0) at once.
bool ReleaseCapture();
WindowHandle GetCapture();

// The arrow cursor over this process's windows.
void ShowSystemCursor(bool show);
bool IsSystemCursorShown();
// While held back (the display draws the pointer itself, full screen) the system's pointer stays
// hidden whatever ShowSystemCursor asks; IsSystemCursorShown keeps answering what was asked, and
// the pointer shows again as asked when let go.
void HoldBackSystemCursor(bool heldBack);
bool IsSystemCursorHeldBack();

// The pointer's shape as the game's own code sets it, over the same state as the two groups above:
// the standard arrow (LoadArrowCursor), a colour cursor, or 0 for none, which hides the pointer.
// SetSystemCursor answers the cursor before the call (as GetSystemCursor would have); an unknown
// handle changes nothing. GetSystemCursor is 0 while the pointer is hidden.
constexpr CursorHandle kArrowCursor = ~CursorHandle(0);
CursorHandle LoadArrowCursor();
CursorHandle SetSystemCursor(CursorHandle cursor);
CursorHandle GetSystemCursor();
// Headless (no driver that shows a pointer) every SetSystemCursor argument is kept, the latest
// kCursorRecordLimit of them, so tests can read what the game asked for.
constexpr size_t kCursorRecordLimit = 256;
const std::vector<CursorHandle>& GetSystemCursorRecord();
void ClearSystemCursorRecord();

// The text clipboard (UTF-8). SDL keeps it inside the process when the video driver has none.
bool SetClipboardText(const std::string& utf8);
bool HasClipboardText();
std::string GetClipboardText();

// How many frames in a row, up to the last, a window kept showing because their picture was the
// one it showed: while the picture stands still a loop may wait longer between its frames.
uint32_t GetUnchangedFrameRun();

// A repeating WM_TIMER for the window; a timer's message comes only when nothing else waits.
bool SetTimer(WindowHandle window, uintptr_t id, uint32_t periodMs);
bool KillTimer(WindowHandle window, uintptr_t id);

namespace detail
{
// For the message queue: the handle behind an SDL window id (the main window for 0 or an unknown
// id), the SDL id behind a handle, focus bookkeeping and the due window timers.
WindowHandle WindowFromSdlId(uint32_t sdlId);
uint32_t SdlIdFromWindow(WindowHandle window);
void NoteFocus(WindowHandle window, bool focused);
// The SDL window behind a handle (null for 0 or an unknown handle), for the display stand-in.
SDL_Window* SdlWindowFromHandle(WindowHandle window);
// Runs right after ShowWindow shows the window when it was hidden: a window shows whatever lay
// behind it until it is drawn, so the display paints it at once. One listener a window; `owner`
// tells whose it is, so that an owner going clears its own and not a later one's.
void SetShownListener(SDL_Window* window, const void* owner, std::function<void()> listener);
void ClearShownListener(const void* owner);
bool TakeDueTimer(uint32_t now, WindowHandle& window, uintptr_t& id);
// Told of each frame presented to a window: `changed` when it reached the window (a new picture,
// or black), not when the window kept showing the same picture.
void NoteFrameShown(bool changed);
// The window server lost what the window showed (it was uncovered, or mapped again): the next
// frame must reach the window even when its picture is the one shown before. Noted by the message
// queue, taken (and cleared) by the presenter.
void NoteExposed(WindowHandle window);
bool TakeExposed(SDL_Window* window);
} // namespace detail

} // namespace sys
