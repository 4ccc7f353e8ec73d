// The message queue on SDL2: SDL events turned into window messages one event at a time, posted
// messages, hover and leave tracking, window timers, the key state and the test input helpers.
#include "sys/window/events.h"

#include "sys/clock.h"
#include "sys/window/host.h"
#include "sys/input_script/input_script.h"
#include "sys/process/process.h"
#include "sys/process/quit_watch.h"
#include "sys/utf8.h"

#include <SDL.h>

#include <cstring>
#include <deque>

namespace sys
{
namespace
{

// A button press this soon after the window gained focus is the click that activated it (window
// managers focus a window and then deliver the press that focused it).
constexpr uint32_t kActivationClickMs = 200;

// The mouse id of the pointer moves pushed here (input scripts, tests): SDL's own devices report 0
// and touch SDL_TOUCH_MOUSEID, so a move carrying any other id came from the real pointer.
constexpr uint32_t kPushedMouseId = 0x6D77;

struct KeyEntry
{
    int scancode;
    int virtualKey;
    bool extended;
};

// Positions of a US keyboard; letters and digits are taken from the key's symbol when it has one.
constexpr KeyEntry kKeyTable[] = {
    {SDL_SCANCODE_RETURN, 0x0D, false},      {SDL_SCANCODE_ESCAPE, 0x1B, false},
    {SDL_SCANCODE_BACKSPACE, 0x08, false},   {SDL_SCANCODE_TAB, 0x09, false},
    {SDL_SCANCODE_SPACE, 0x20, false},       {SDL_SCANCODE_MINUS, 189, false},
    {SDL_SCANCODE_EQUALS, 187, false},       {SDL_SCANCODE_LEFTBRACKET, 219, false},
    {SDL_SCANCODE_RIGHTBRACKET, 221, false}, {SDL_SCANCODE_BACKSLASH, 220, false},
    {SDL_SCANCODE_NONUSHASH, 220, false},    {SDL_SCANCODE_SEMICOLON, 186, false},
    {SDL_SCANCODE_APOSTROPHE, 222, false},   {SDL_SCANCODE_GRAVE, 192, false},
    {SDL_SCANCODE_COMMA, 188, false},        {SDL_SCANCODE_PERIOD, 190, false},
    {SDL_SCANCODE_SLASH, 191, false},        {SDL_SCANCODE_CAPSLOCK, 0x14, false},
    {SDL_SCANCODE_PRINTSCREEN, 0x2C, true},  {SDL_SCANCODE_SCROLLLOCK, 0x91, false},
    {SDL_SCANCODE_PAUSE, 0x13, false},       {SDL_SCANCODE_INSERT, 0x2D, true},
    {SDL_SCANCODE_HOME, 0x24, true},         {SDL_SCANCODE_PAGEUP, 0x21, true},
    {SDL_SCANCODE_DELETE, 0x2E, true},       {SDL_SCANCODE_END, 0x23, true},
    {SDL_SCANCODE_PAGEDOWN, 0x22, true},     {SDL_SCANCODE_RIGHT, 0x27, true},
    {SDL_SCANCODE_LEFT, 0x25, true},         {SDL_SCANCODE_DOWN, 0x28, true},
    {SDL_SCANCODE_UP, 0x26, true},           {SDL_SCANCODE_NUMLOCKCLEAR, 0x90, true},
    {SDL_SCANCODE_KP_DIVIDE, 0x6F, true},    {SDL_SCANCODE_KP_MULTIPLY, 0x6A, false},
    {SDL_SCANCODE_KP_MINUS, 0x6D, false},    {SDL_SCANCODE_KP_PLUS, 0x6B, false},
    {SDL_SCANCODE_KP_ENTER, 0x0D, true},     {SDL_SCANCODE_KP_0, 0x60, false},
    {SDL_SCANCODE_KP_1, 0x61, false},        {SDL_SCANCODE_KP_2, 0x62, false},
    {SDL_SCANCODE_KP_3, 0x63, false},        {SDL_SCANCODE_KP_4, 0x64, false},
    {SDL_SCANCODE_KP_5, 0x65, false},        {SDL_SCANCODE_KP_6, 0x66, false},
    {SDL_SCANCODE_KP_7, 0x67, false},        {SDL_SCANCODE_KP_8, 0x68, false},
    {SDL_SCANCODE_KP_9, 0x69, false},        {SDL_SCANCODE_KP_PERIOD, 0x6E, false},
    {SDL_SCANCODE_KP_COMMA, 0x6C, false},    {SDL_SCANCODE_NONUSBACKSLASH, 0xE2, false},
    {SDL_SCANCODE_APPLICATION, 0x5D, true},  {SDL_SCANCODE_LCTRL, 0x11, false},
    {SDL_SCANCODE_LSHIFT, 0x10, false},      {SDL_SCANCODE_LALT, 0x12, false},
    {SDL_SCANCODE_LGUI, 0x5B, true},         {SDL_SCANCODE_RCTRL, 0x11, true},
    {SDL_SCANCODE_RSHIFT, 0x10, false},      {SDL_SCANCODE_RALT, 0x12, true},
    {SDL_SCANCODE_RGUI, 0x5C, true},
};

struct QueueState
{
    bool eventsStarted = false;
    std::deque<Message> waiting;
    uint32_t keyModifiers = 0;
    int mouseX = 0;
    int mouseY = 0;
    WindowHandle tracked = 0;
    bool hoverArmed = false;
    bool leaveArmed = false;
    uint32_t lastMoveTime = 0;
    bool pointerInside = true;
    uint32_t focusTime = 0;
    bool clickSinceFocus = true;
    // Where the real pointer's last move put it in its window, once one came.
    bool realPointerKnown = false;
    int realPointerX = 0;
    int realPointerY = 0;
};

QueueState& Queue()
{
    static QueueState state;
    return state;
}

void StartEvents()
{
    QueueState& queue = Queue();
    if (!queue.eventsStarted)
    {
        // One message is taken per call anyway; SDL's end-of-pass marker would only make an event
        // pushed right after a call wait for one more call.
        SDL_SetHint(SDL_HINT_POLL_SENTINEL, "0");
        StartQuitWatch();
        SDL_InitSubSystem(SDL_INIT_EVENTS);
        queue.eventsStarted = true;
    }
}

uint32_t ModifiersOf(uint16_t sdlMods)
{
    uint32_t mods = 0;
    if (sdlMods & KMOD_SHIFT)
        mods |= kModShift;
    if (sdlMods & KMOD_CTRL)
        mods |= kModControl;
    if (sdlMods & KMOD_ALT)
        mods |= kModAlt;
    return mods;
}

uint16_t SdlModsOf(uint32_t mods)
{
    uint16_t out = 0;
    if (mods & kModShift)
        out |= KMOD_LSHIFT;
    if (mods & kModControl)
        out |= KMOD_LCTRL;
    if (mods & kModAlt)
        out |= KMOD_LALT;
    return out;
}

WParam MouseKeyState(uint32_t mods)
{
    WParam state = 0;
    uint32_t buttons = SDL_GetMouseState(nullptr, nullptr);
    if (buttons & SDL_BUTTON_LMASK)
        state |= MK_LBUTTON;
    if (buttons & SDL_BUTTON_RMASK)
        state |= MK_RBUTTON;
    if (buttons & SDL_BUTTON_MMASK)
        state |= MK_MBUTTON;
    if (mods & kModShift)
        state |= MK_SHIFT;
    if (mods & kModControl)
        state |= MK_CONTROL;
    return state;
}

void Add(WindowHandle window, uint32_t message, WParam wParam, LParam lParam, uint32_t mods)
{
    Message msg;
    msg.window = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = GetTimeMs();
    msg.modifiers = mods;
    Queue().waiting.push_back(msg);
}

void AddWindowPos(WindowHandle window, int x, int y, int cx, int cy)
{
    Add(window, WM_WINDOWPOSCHANGED, 0, 0, 0);
    Queue().waiting.back().windowPos = WindowPos{x, y, cx, cy, 0};
}

void AddCharacters(WindowHandle window, const char* text, uint32_t mods)
{
    // Alt with a letter is a menu key there, not a character.
    bool menuKey = (mods & kModAlt) && !(mods & kModControl);
    uint32_t message = menuKey ? WM_SYSCHAR : WM_CHAR;
    if (!IsUnicodeWindow(window))
    {
        for (const char* p = text; *p; ++p)
            Add(window, message, static_cast<unsigned char>(*p), 1, mods);
        return;
    }
    for (size_t left = std::strlen(text); left > 0;)
    {
        int used = 0;
        uint32_t cp = ReadUtf8(text, left, used);
        text += used;
        left -= static_cast<size_t>(used);
        // A broken sequence (an overlong "/" among them) is typed as nothing.
        if (cp == kBrokenUtf8)
            continue;
        if (cp >= 0x10000)
        {
            cp -= 0x10000;
            Add(window, message, 0xD800 + (cp >> 10), 1, mods);
            Add(window, message, 0xDC00 + (cp & 0x3FF), 1, mods);
        }
        else
        {
            Add(window, message, cp, 1, mods);
        }
    }
}

// The picture's pixel under a point of the window (the same point without a full-screen fit).
void ToPicture(WindowHandle window, int& x, int& y)
{
    if (window == GetMainWindow())
        WindowToPicture(x, y);
}

void AddMouseButton(WindowHandle window, const SDL_MouseButtonEvent& e)
{
    QueueState& queue = Queue();
    uint32_t mods = ModifiersOf(SDL_GetModState());
    int x = e.x;
    int y = e.y;
    ToPicture(window, x, y);
    queue.mouseX = x;
    queue.mouseY = y;
    LParam where = MakePointParam(x, y);
    WParam keys = MouseKeyState(mods);
    bool down = e.type == SDL_MOUSEBUTTONDOWN;
    if (down && window != 0)
    {
        uint32_t now = GetTimeMs();
        bool activating = !IsForegroundWindow(window) ||
                          (!queue.clickSinceFocus && now - queue.focusTime < kActivationClickMs);
        queue.clickSinceFocus = true;
        if (activating)
            SendMessage(window, WM_MOUSEACTIVATE, window, 0);
    }
    switch (e.button)
    {
    case SDL_BUTTON_LEFT:
        Add(window, down ? WM_LBUTTONDOWN : WM_LBUTTONUP, keys, where, mods);
        break;
    case SDL_BUTTON_RIGHT:
        Add(window, down ? WM_RBUTTONDOWN : WM_RBUTTONUP, keys, where, mods);
        break;
    case SDL_BUTTON_MIDDLE:
        Add(window, down ? WM_MBUTTONDOWN : WM_MBUTTONUP, keys, where, mods);
        break;
    case SDL_BUTTON_X1:
        Add(window, down ? WM_XBUTTONDOWN : WM_XBUTTONUP, (WParam(1) << 16) | keys | MK_XBUTTON1,
            where, mods);
        break;
    case SDL_BUTTON_X2:
        Add(window, down ? WM_XBUTTONDOWN : WM_XBUTTONUP, (WParam(2) << 16) | keys | MK_XBUTTON2,
            where, mods);
        break;
    default:
        break;
    }
}

void AddKey(WindowHandle window, const SDL_KeyboardEvent& e)
{
    bool extended = false;
    int vk = VirtualKeyFromScancode(e.keysym.scancode, e.keysym.sym, &extended);
    if (vk == 0)
        return;
    uint32_t mods = ModifiersOf(e.keysym.mod);
    bool down = e.type == SDL_KEYDOWN;
    bool alt = (mods & kModAlt) != 0;
    LParam lParam = 1 | (LParam(e.keysym.scancode & 0xFF) << 16);
    if (extended)
        lParam |= kKeyExtendedBit;
    if (alt)
        lParam |= kKeyAltBit;
    if (e.repeat)
        lParam |= LParam(1) << 30;
    if (!down)
        lParam |= LParam(3) << 30;
    // Keys held with Alt (but not also Control, which is how AltGr arrives), Alt itself and F10
    // are system keys.
    bool system = (alt && !(mods & kModControl)) || vk == VK_MENU || vk == VK_F10;
    uint32_t message =
        down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    Add(window, message, static_cast<WParam>(vk), lParam, mods);
}

// A move of the real pointer: a position a script or test set no longer stands in for it. A window
// shown, resized or moved under a resting pointer reports a move too (the pointer crossing into
// it), at the point the last one reported: not the player's.
void NoteRealPointer(int x, int y)
{
    QueueState& queue = Queue();
    if (!queue.realPointerKnown || x != queue.realPointerX || y != queue.realPointerY)
        SetCursorPosOverride(false);
    queue.realPointerKnown = true;
    queue.realPointerX = x;
    queue.realPointerY = y;
}

void Convert(const SDL_Event& e)
{
    QueueState& queue = Queue();
    switch (e.type)
    {
    case SDL_QUIT:
    {
        // The system asks the program to end (a signal or the session closing): a close request
        // to the main window, which lets the game decide.
        WindowHandle main = GetMainWindow();
        if (main != 0)
            Add(main, WM_CLOSE, 0, 0, 0);
        else
            Add(0, WM_QUIT, 0, 0, 0);
        break;
    }
    case SDL_WINDOWEVENT:
    {
        WindowHandle window = detail::WindowFromSdlId(e.window.windowID);
        if (window == 0)
            break;
        int w = 0;
        int h = 0;
        int x = 0;
        int y = 0;
        GetClientSize(window, w, h);
        GetWindowPosition(window, x, y);
        switch (e.window.event)
        {
        case SDL_WINDOWEVENT_CLOSE:
            Add(window, WM_CLOSE, 0, 0, 0);
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            detail::NoteExposed(window);
            Add(window, WM_PAINT, 0, 0, 0);
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            // A minimised window is parked far off the desktop, as the game expects.
            AddWindowPos(window, -32000, -32000, w, h);
            Add(window, WM_SIZE, SIZE_MINIMIZED, 0, 0);
            break;
        case SDL_WINDOWEVENT_RESTORED:
            AddWindowPos(window, x, y, w, h);
            Add(window, WM_SIZE, SIZE_RESTORED, MakePointParam(w, h), 0);
            break;
        case SDL_WINDOWEVENT_MAXIMIZED:
            Add(window, WM_SIZE, SIZE_MAXIMIZED, MakePointParam(w, h), 0);
            break;
        case SDL_WINDOWEVENT_MOVED:
            AddWindowPos(window, e.window.data1, e.window.data2, w, h);
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            detail::NoteFocus(window, true);
            queue.focusTime = GetTimeMs();
            queue.clickSinceFocus = false;
            Add(window, WM_ACTIVATEAPP, 1, 0, 0);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            detail::NoteFocus(window, false);
            Add(window, WM_ACTIVATEAPP, 0, 0, 0);
            break;
        case SDL_WINDOWEVENT_ENTER:
            queue.pointerInside = true;
            break;
        case SDL_WINDOWEVENT_LEAVE:
            queue.pointerInside = false;
            queue.hoverArmed = false;
            if (queue.leaveArmed && queue.tracked == window)
            {
                queue.leaveArmed = false;
                Add(window, WM_MOUSELEAVE, 0, 0, 0);
            }
            break;
        default:
            break;
        }
        break;
    }
    case SDL_DISPLAYEVENT:
    {
        WindowHandle main = GetMainWindow();
        if (main != 0)
            Add(main, WM_DISPLAYCHANGE, 32, 0, 0);
        break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        AddKey(detail::WindowFromSdlId(e.key.windowID), e.key);
        break;
    case SDL_TEXTINPUT:
        AddCharacters(detail::WindowFromSdlId(e.text.windowID), e.text.text,
                      ModifiersOf(SDL_GetModState()));
        break;
    case SDL_MOUSEMOTION:
    {
        WindowHandle window = detail::WindowFromSdlId(e.motion.windowID);
        if (e.motion.which != kPushedMouseId)
            NoteRealPointer(e.motion.x, e.motion.y);
        int x = e.motion.x;
        int y = e.motion.y;
        ToPicture(window, x, y);
        queue.mouseX = x;
        queue.mouseY = y;
        queue.lastMoveTime = GetTimeMs();
        queue.pointerInside = true;
        uint32_t mods = ModifiersOf(SDL_GetModState());
        Add(window, WM_MOUSEMOVE, MouseKeyState(mods), MakePointParam(x, y), mods);
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        AddMouseButton(detail::WindowFromSdlId(e.button.windowID), e.button);
        break;
    case SDL_MOUSEWHEEL:
    {
        WindowHandle window = detail::WindowFromSdlId(e.wheel.windowID);
        int sign = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1;
        uint32_t mods = ModifiersOf(SDL_GetModState());
        WParam keys = MouseKeyState(mods);
        LParam where = MakePointParam(queue.mouseX, queue.mouseY);
        if (e.wheel.y != 0)
        {
            int delta = sign * e.wheel.y * 120;
            Add(window, WM_MOUSEWHEEL, (WParam(static_cast<uint16_t>(delta)) << 16) | keys, where,
                mods);
        }
        else if (e.wheel.x != 0)
        {
            int delta = sign * e.wheel.x * 120;
            Add(window, WM_MOUSEHWHEEL, (WParam(static_cast<uint16_t>(delta)) << 16) | keys, where,
                mods);
        }
        break;
    }
    default:
        break;
    }
}

// Hover and timer messages come only when no other message waits.
bool AddQuietMessages()
{
    QueueState& queue = Queue();
    uint32_t now = GetTimeMs();
    if (queue.hoverArmed && queue.pointerInside && IsWindow(queue.tracked) &&
        now - queue.lastMoveTime >= kHoverTimeMs)
    {
        queue.hoverArmed = false;
        Add(queue.tracked, WM_MOUSEHOVER, 0, MakePointParam(queue.mouseX, queue.mouseY), 0);
        return true;
    }
    WindowHandle window = 0;
    uintptr_t id = 0;
    if (detail::TakeDueTimer(now, window, id))
    {
        Add(window, WM_TIMER, id, 0, 0);
        return true;
    }
    return false;
}

void Take(const Message& msg)
{
    QueueState& queue = Queue();
    switch (msg.message)
    {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_CHAR:
    case WM_SYSCHAR:
        queue.keyModifiers = msg.modifiers;
        break;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP:
        queue.keyModifiers = msg.modifiers;
        break;
    default:
        break;
    }
}

} // namespace

bool PeekMessage(Message& out, uint32_t filterMin, uint32_t filterMax, bool remove)
{
    StartEvents();
    QueueState& queue = Queue();
    if (filterMin != 0 || filterMax != 0)
    {
        for (auto it = queue.waiting.begin(); it != queue.waiting.end(); ++it)
        {
            if (it->message >= filterMin && it->message <= filterMax)
            {
                out = *it;
                if (remove)
                {
                    queue.waiting.erase(it);
                    Take(out);
                }
                return true;
            }
        }
        return false;
    }
    SDL_Event event;
    // A request from the system goes before the input waiting behind it, as SDL's would.
    if (queue.waiting.empty() && TakeQuitRequest())
    {
        SDL_Event quit{};
        quit.type = SDL_QUIT;
        Convert(quit);
    }
    while (queue.waiting.empty() && SDL_PollEvent(&event))
        Convert(event);
    // A second start of the program asks for the window; what that changes arrives as events.
    if (queue.waiting.empty() && TakeInstanceNotice())
    {
        if (WindowHandle main = GetMainWindow())
        {
            RestoreWindow(main);
            RaiseWindow(main);
        }
    }
    // The test modes act on an empty queue: the input script's next step, the fixed clock step.
    if (queue.waiting.empty() && FeedInputScript())
    {
        while (queue.waiting.empty() && SDL_PollEvent(&event))
            Convert(event);
    }
    if (queue.waiting.empty())
        PassFixedStep();
    if (queue.waiting.empty() && !AddQuietMessages())
        return false;
    out = queue.waiting.front();
    if (remove)
    {
        queue.waiting.pop_front();
        Take(out);
    }
    return true;
}

bool TranslateMessage(const Message& message)
{
    if (message.message != WM_KEYDOWN)
        return false;
    int vk = static_cast<int>(message.wParam);
    // Control with Alt is AltGr: its characters come as text.
    bool control = (message.modifiers & kModControl) != 0 && !(message.modifiers & kModAlt);
    int ch = -1;
    if (vk == VK_RETURN)
        ch = control ? 10 : 13;
    else if (vk == VK_ESCAPE)
        ch = 27;
    else if (vk == VK_TAB && !control)
        ch = 9;
    else if (vk == VK_BACK)
        ch = control ? 127 : 8;
    else if (control && vk >= 'A' && vk <= 'Z')
        ch = vk - 'A' + 1;
    else if (control && vk == 219)
        ch = 27;
    else if (control && vk == 220)
        ch = 28;
    else if (control && vk == 221)
        ch = 29;
    if (ch < 0)
        return false;
    Message character = message;
    character.message = WM_CHAR;
    character.wParam = static_cast<WParam>(ch);
    character.lParam = message.lParam;
    Queue().waiting.push_front(character);
    return true;
}

LParam DispatchMessage(const Message& message)
{
    if (message.window == 0 || !IsWindow(message.window))
        return 0;
    LParam lParam = message.lParam;
    if (message.message == WM_WINDOWPOSCHANGED || message.message == WM_WINDOWPOSCHANGING)
        lParam = reinterpret_cast<LParam>(&message.windowPos);
    return SendMessage(message.window, message.message, message.wParam, lParam);
}

bool PostMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam)
{
    if (window != 0 && detail::SdlIdFromWindow(window) == 0)
        return GetHostChannel().PostMessage(window, message, wParam, lParam);
    Add(window, message, wParam, lParam, 0);
    return true;
}

void PostQuitMessage(int exitCode)
{
    Add(0, WM_QUIT, static_cast<WParam>(exitCode), 0, 0);
}

void WaitForInput(uint32_t ms)
{
    // On the fixed step, time passes only at empty polls.
    if (GetFixedStepMs() != 0)
        return;
    // Tests that drive the manual clock count its time in polls of a millisecond, and a script's
    // "wait" counts polls: a longer wait would stretch either.
    if (ms > 1 && (IsManualClock() || IsInputScriptRunning()))
        ms = 1;
    if (IsManualClock())
    {
        SleepMs(ms);
        return;
    }
    StartEvents();
    if (!Queue().waiting.empty())
        return;
    SDL_WaitEventTimeout(nullptr, static_cast<int>(ms));
}

int16_t GetKeyState(int virtualKey)
{
    uint32_t mods = Queue().keyModifiers;
    bool down = (virtualKey == VK_SHIFT && (mods & kModShift)) ||
                (virtualKey == VK_CONTROL && (mods & kModControl)) ||
                (virtualKey == VK_MENU && (mods & kModAlt));
    return down ? static_cast<int16_t>(-32768) : 0;
}

void GetLastMousePosition(int& x, int& y)
{
    x = Queue().mouseX;
    y = Queue().mouseY;
}

bool TrackMouseEvent(WindowHandle window, uint32_t flags)
{
    if (detail::SdlIdFromWindow(window) == 0)
        return false;
    QueueState& queue = Queue();
    queue.tracked = window;
    if (flags & TME_HOVER)
    {
        queue.hoverArmed = true;
        queue.lastMoveTime = GetTimeMs();
    }
    if (flags & TME_LEAVE)
        queue.leaveArmed = true;
    return true;
}

int VirtualKeyFromScancode(int scancode, int keycode, bool* extended)
{
    if (extended)
        *extended = false;
    if (keycode >= 'a' && keycode <= 'z')
        return keycode - 'a' + 'A';
    if (keycode >= '0' && keycode <= '9' &&
        !(scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_0))
        return keycode;
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z)
        return 'A' + (scancode - SDL_SCANCODE_A);
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9)
        return '1' + (scancode - SDL_SCANCODE_1);
    if (scancode == SDL_SCANCODE_0)
        return '0';
    if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12)
        return VK_F1 + (scancode - SDL_SCANCODE_F1);
    if (scancode >= SDL_SCANCODE_F13 && scancode <= SDL_SCANCODE_F24)
        return VK_F1 + 12 + (scancode - SDL_SCANCODE_F13);
    for (const KeyEntry& entry : kKeyTable)
    {
        if (entry.scancode == scancode)
        {
            if (extended)
                *extended = entry.extended;
            return entry.virtualKey;
        }
    }
    return 0;
}

int ScancodeFromVirtualKey(int virtualKey)
{
    if (virtualKey >= 'A' && virtualKey <= 'Z')
        return SDL_SCANCODE_A + (virtualKey - 'A');
    if (virtualKey >= '1' && virtualKey <= '9')
        return SDL_SCANCODE_1 + (virtualKey - '1');
    if (virtualKey == '0')
        return SDL_SCANCODE_0;
    if (virtualKey >= VK_F1 && virtualKey < VK_F1 + 12)
        return SDL_SCANCODE_F1 + (virtualKey - VK_F1);
    if (virtualKey >= VK_F1 + 12 && virtualKey < VK_F1 + 24)
        return SDL_SCANCODE_F13 + (virtualKey - VK_F1 - 12);
    for (const KeyEntry& entry : kKeyTable)
    {
        if (entry.virtualKey == virtualKey)
            return entry.scancode;
    }
    return -1;
}

namespace
{
uint32_t FirstWindowId()
{
    return detail::SdlIdFromWindow(GetMainWindow());
}

bool Push(SDL_Event& event)
{
    StartEvents();
    return SDL_PushEvent(&event) == 1;
}
} // namespace

bool PushScancodeEvent(int scancode, bool down, uint32_t mods)
{
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.windowID = FirstWindowId();
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.scancode = static_cast<SDL_Scancode>(scancode);
    // The symbol of the standard layout, so tests do not depend on the machine's keymap.
    SDL_Keycode sym = SDLK_UNKNOWN;
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z)
        sym = 'a' + (scancode - SDL_SCANCODE_A);
    else if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9)
        sym = '1' + (scancode - SDL_SCANCODE_1);
    else if (scancode == SDL_SCANCODE_0)
        sym = '0';
    event.key.keysym.sym = sym;
    event.key.keysym.mod = SdlModsOf(mods);
    SDL_SetModState(static_cast<SDL_Keymod>(SdlModsOf(mods)));
    return Push(event);
}

bool PushKeyEvent(int virtualKey, bool down, uint32_t mods, bool repeat)
{
    int scancode = ScancodeFromVirtualKey(virtualKey);
    if (scancode < 0)
        return false;
    if (!repeat)
        return PushScancodeEvent(scancode, down, mods);
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.windowID = FirstWindowId();
    event.key.repeat = 1;
    event.key.keysym.scancode = static_cast<SDL_Scancode>(scancode);
    event.key.keysym.mod = SdlModsOf(mods);
    return Push(event);
}

bool PushTextEvent(const std::string& utf8, uint32_t mods)
{
    SDL_Event event{};
    event.type = SDL_TEXTINPUT;
    event.text.windowID = FirstWindowId();
    if (utf8.size() >= sizeof(event.text.text))
        return false;
    SDL_strlcpy(event.text.text, utf8.c_str(), sizeof(event.text.text));
    SDL_SetModState(static_cast<SDL_Keymod>(SdlModsOf(mods)));
    return Push(event);
}

bool PushMouseMotion(int x, int y)
{
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.which = kPushedMouseId;
    event.motion.windowID = FirstWindowId();
    event.motion.x = x;
    event.motion.y = y;
    return Push(event);
}

bool PushMouseButton(int button, bool down, int x, int y, uint32_t mods)
{
    SDL_Event event{};
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.windowID = FirstWindowId();
    event.button.button = static_cast<uint8_t>(button);
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.button.clicks = 1;
    event.button.x = x;
    event.button.y = y;
    SDL_SetModState(static_cast<SDL_Keymod>(SdlModsOf(mods)));
    return Push(event);
}

bool PushMouseWheel(int dy, int dx)
{
    SDL_Event event{};
    event.type = SDL_MOUSEWHEEL;
    event.wheel.windowID = FirstWindowId();
    event.wheel.x = dx;
    event.wheel.y = dy;
    event.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    return Push(event);
}

bool PushWindowEvent(WindowEventKind kind, int x, int y)
{
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = FirstWindowId();
    switch (kind)
    {
    case WindowEventKind::Close:
        event.window.event = SDL_WINDOWEVENT_CLOSE;
        break;
    case WindowEventKind::Exposed:
        event.window.event = SDL_WINDOWEVENT_EXPOSED;
        break;
    case WindowEventKind::Minimized:
        event.window.event = SDL_WINDOWEVENT_MINIMIZED;
        break;
    case WindowEventKind::Restored:
        event.window.event = SDL_WINDOWEVENT_RESTORED;
        break;
    case WindowEventKind::Maximized:
        event.window.event = SDL_WINDOWEVENT_MAXIMIZED;
        break;
    case WindowEventKind::FocusGained:
        event.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
        break;
    case WindowEventKind::FocusLost:
        event.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
        break;
    case WindowEventKind::Leave:
        event.window.event = SDL_WINDOWEVENT_LEAVE;
        break;
    case WindowEventKind::Moved:
        event.window.event = SDL_WINDOWEVENT_MOVED;
        event.window.data1 = x;
        event.window.data2 = y;
        break;
    }
    return Push(event);
}

bool PushQuitEvent()
{
    SDL_Event event{};
    event.type = SDL_QUIT;
    return Push(event);
}

bool PushDisplayChangeEvent()
{
    SDL_Event event{};
    event.type = SDL_DISPLAYEVENT;
    event.display.event = SDL_DISPLAYEVENT_CONNECTED;
    return Push(event);
}

void FlushInput()
{
    StartEvents();
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    QueueState& queue = Queue();
    queue.waiting.clear();
    queue.keyModifiers = 0;
    queue.mouseX = 0;
    queue.mouseY = 0;
    queue.tracked = 0;
    queue.hoverArmed = false;
    queue.leaveArmed = false;
    queue.pointerInside = true;
    queue.clickSinceFocus = true;
    SDL_SetModState(KMOD_NONE);
}

} // namespace sys
