// The message-queue stand-in: SDL events become window messages (keys as virtual-key codes,
// characters as bytes or UTF-16 units, mouse messages with key-state words, window changes), taken
// one at a time, translated and dispatched to the window procedure; the key state as of the last
// message; mouse hover and leave tracking; the idle wait; and helpers that push input for tests.
#pragma once

#include "sys/window/window.h"

#include <cstdint>
#include <string>

namespace sys
{

// Virtual-key codes used by the stand-in itself (the rest are plain numbers in the key table).
constexpr int VK_BACK = 0x08;
constexpr int VK_TAB = 0x09;
constexpr int VK_RETURN = 0x0D;
constexpr int VK_SHIFT = 0x10;
constexpr int VK_CONTROL = 0x11;
constexpr int VK_MENU = 0x12;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_INSERT = 0x2D;
constexpr int VK_F1 = 0x70;
constexpr int VK_F10 = 0x79;

// Key-message lParam bits.
constexpr LParam kKeyExtendedBit = LParam(1) << 24;
constexpr LParam kKeyAltBit = LParam(1) << 29;

// Modifier bits of the test input helpers.
enum : uint32_t
{
    kModShift = 1,
    kModControl = 2,
    kModAlt = 4
};

struct Message
{
    WindowHandle window = 0; // 0: a message for the thread itself
    uint32_t message = WM_NULL;
    WParam wParam = 0;
    LParam lParam = 0;
    uint32_t time = 0;
    uint32_t modifiers = 0; // kMod bits when the message was made
    WindowPos windowPos;    // what WM_WINDOWPOS* messages point at when dispatched
};

// Takes (or with `remove` false, copies) the next message. With a filter range other than 0..0,
// only messages already waiting in that range are looked at (this is how a quit is looked for
// without taking input). False when nothing waits.
bool PeekMessage(Message& out, uint32_t filterMin = 0, uint32_t filterMax = 0, bool remove = true);
// Makes the character messages a key-down gives where SDL delivers no text: Enter 13, Escape 27,
// Tab 9, Backspace 8, Ctrl+letter 1..26 (and Ctrl+Enter 10, Ctrl+Backspace 127). True when one was
// queued; it is the next message taken.
bool TranslateMessage(const Message& message);
// Hands the message to its window's procedure; 0 for thread messages.
LParam DispatchMessage(const Message& message);

// Queues a message; window 0 is the thread's own queue. A host window's message goes through the
// host channel.
bool PostMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);
void PostQuitMessage(int exitCode);

// Waits until input arrives or `ms` pass (at most 1 ms under the manual clock, which it advances
// instead of waiting, or while an input script runs).
void WaitForInput(uint32_t ms);

// The key's state as of the last message taken: the high bit (negative value) while it is down.
// Knows VK_SHIFT, VK_CONTROL and VK_MENU.
int16_t GetKeyState(int virtualKey);
// The last mouse position (client pixels) any message reported.
void GetLastMousePosition(int& x, int& y);

// Mouse tracking of a window: TME_HOVER makes one WM_MOUSEHOVER after the hover time without
// movement; TME_LEAVE makes one WM_MOUSELEAVE when the pointer leaves the window.
constexpr uint32_t TME_HOVER = 1;
constexpr uint32_t TME_LEAVE = 2;
constexpr uint32_t kHoverTimeMs = 400;
bool TrackMouseEvent(WindowHandle window, uint32_t flags);

// The virtual-key code of an SDL scancode (with the key's symbol, which gives letters by layout),
// and whether the key is an extended one; 0 for keys without a code.
int VirtualKeyFromScancode(int scancode, int keycode, bool* extended = nullptr);
// The SDL scancode that gives a virtual-key code (the main key where several do); -1 for none.
int ScancodeFromVirtualKey(int virtualKey);

// Test input, pushed through SDL's own event queue to the first window.
bool PushKeyEvent(int virtualKey, bool down, uint32_t mods = 0, bool repeat = false);
bool PushScancodeEvent(int scancode, bool down, uint32_t mods = 0);
bool PushTextEvent(const std::string& utf8, uint32_t mods = 0);
bool PushMouseMotion(int x, int y);
// Buttons 1 left, 2 middle, 3 right, 4 and 5 the extra buttons.
bool PushMouseButton(int button, bool down, int x, int y, uint32_t mods = 0);
bool PushMouseWheel(int dy, int dx = 0);
enum class WindowEventKind
{
    Close,
    Exposed,
    Minimized,
    Restored,
    Maximized,
    FocusGained,
    FocusLost,
    Leave,
    Moved
};
bool PushWindowEvent(WindowEventKind kind, int x = 0, int y = 0);
bool PushQuitEvent();
bool PushDisplayChangeEvent();
// Drops every waiting event and message and forgets key, mouse and tracking state.
void FlushInput();

} // namespace sys
