// The input script: lines parsed into actions, actions split into steps that each push their SDL
// events at one empty poll, pointer moves that also move the reported cursor position, and the
// pending frame request of a "shot" line, and the "await" lines that wait for printed lines (kept
// in output_lines.cpp).
#include "sys/input_script/input_script.h"

#include "sys/window/events.h"
#include "sys/window/host.h"
#include "sys/files/paths.h"
#include "sys/process/process.h"
#include "sys/window/window.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <sstream>

namespace sys
{
namespace
{

// Headless, a frame is presented within a few polls of the repaint a shot asks for; past this many
// the request is dropped, so a run without a display still reaches its next lines.
constexpr int kShotPollLimit = 120;
// A drag moves in this many steps between its two points, so sliders see the way, not a jump.
constexpr int kDragSteps = 4;
// What one SDL text event holds.
constexpr size_t kMaxTextBytes = 31;
// Host commands arrive as WM_USER.
constexpr uint32_t kHostCommandMessage = 1024;
// An "await" without a count gives up after this many empty polls (48 s on the tests' 16 ms step).
constexpr int kDefaultAwaitPolls = 3000;
// A play-through is a few thousand lines; a file far past that is not an input script.
constexpr size_t kMaxInputScriptBytes = 16u << 20;

struct Step
{
    enum class Kind
    {
        Wait,
        Move,
        Button,
        Key,
        Text,
        Focus,
        Close,
        Shot,
        Host,
        HostGone,
        Display,
        Await
    };
    Kind mKind = Kind::Wait;
    int mA = 0;
    int mB = 0;
    std::string mText;
    uint32_t mMods = 0; // keys: the modifiers held
    // The file line it came from, and whether it is that line's last step.
    int mLine = 0;
    bool mEndsLine = false;
};

struct ScriptState
{
    std::mutex mMutex;
    bool mRead = false;
    std::string mFolder;
    std::deque<Step> mSteps;
    int mWaitLeft = 0;
    bool mJustFed = false;
    std::string mPendingShot;
    int mShotPolls = 0;
    int mPointerX = 0;
    int mPointerY = 0;
    // A move of the script set the pointer override, which its end gives back.
    bool mPointerHeld = false;
    // The "await" holding the script, when one does: its text, its limit and the polls so far.
    bool mAwaiting = false;
    std::string mAwaitText;
    int mAwaitLimit = 0;
    int mAwaitPolls = 0;
    int mAwaitLine = 0;
    // The last file line whose steps have all been taken (a wait's once it started, an await's
    // once its line came): read by the saved versions' seam, from whichever thread saves.
    std::atomic<int> mLineDone{0};
};

ScriptState& State()
{
    static ScriptState state;
    return state;
}

// Set and read apart from the script's state, which the display's questions need not lock.
std::atomic<bool>& DisplayTaken()
{
    static std::atomic<bool> taken{false};
    return taken;
}

bool ReadInt(std::istringstream& in, int& value)
{
    std::string word;
    if (!(in >> word))
        return false;
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(word.c_str(), &end, 0);
    if (errno != 0 || end == word.c_str() || *end != 0 || number < -1000000 || number > 1000000)
        return false;
    value = static_cast<int>(number);
    return true;
}

bool AtEnd(std::istringstream& in)
{
    std::string rest;
    return !(in >> rest);
}

Step MakeStep(Step::Kind kind, int a = 0, int b = 0, std::string text = std::string())
{
    Step step;
    step.mKind = kind;
    step.mA = a;
    step.mB = b;
    step.mText = std::move(text);
    return step;
}

void AddSteps(std::deque<Step>& steps, const InputAction& action, const std::string& folder)
{
    using Kind = InputAction::Kind;
    const int* a = action.mArgs;
    switch (action.mKind)
    {
    case Kind::Wait:
        steps.push_back(MakeStep(Step::Kind::Wait, a[0]));
        break;
    case Kind::Move:
        steps.push_back(MakeStep(Step::Kind::Move, a[0], a[1]));
        break;
    case Kind::Down:
    case Kind::Up:
        steps.push_back(MakeStep(Step::Kind::Button, action.mKind == Kind::Down));
        break;
    case Kind::Click:
        steps.push_back(MakeStep(Step::Kind::Move, a[0], a[1]));
        steps.push_back(MakeStep(Step::Kind::Button, 1));
        steps.push_back(MakeStep(Step::Kind::Button, 0));
        break;
    case Kind::Drag:
        steps.push_back(MakeStep(Step::Kind::Move, a[0], a[1]));
        steps.push_back(MakeStep(Step::Kind::Button, 1));
        for (int i = 1; i <= kDragSteps; ++i)
            steps.push_back(MakeStep(Step::Kind::Move, a[0] + (a[2] - a[0]) * i / kDragSteps,
                                     a[1] + (a[3] - a[1]) * i / kDragSteps));
        steps.push_back(MakeStep(Step::Kind::Button, 0));
        break;
    case Kind::Key:
    {
        const uint32_t mods = a[1] != 0 ? static_cast<uint32_t>(kModAlt) : 0u;
        steps.push_back(MakeStep(Step::Kind::Key, a[0], 1));
        steps.back().mMods = mods;
        steps.push_back(MakeStep(Step::Kind::Key, a[0], 0));
        steps.back().mMods = mods;
        // Alt let go last, as a hand does; the modifier state held for later events goes with it.
        if (mods != 0)
            steps.push_back(MakeStep(Step::Kind::Key, VK_MENU, 0));
        break;
    }
    case Kind::Text:
        steps.push_back(MakeStep(Step::Kind::Text, 0, 0, action.mText));
        break;
    case Kind::Focus:
        steps.push_back(MakeStep(Step::Kind::Focus, a[0]));
        break;
    case Kind::Close:
        steps.push_back(MakeStep(Step::Kind::Close));
        break;
    case Kind::Host:
        steps.push_back(MakeStep(Step::Kind::Host, a[0]));
        break;
    case Kind::HostGone:
        steps.push_back(MakeStep(Step::Kind::HostGone));
        break;
    case Kind::Display:
        steps.push_back(MakeStep(Step::Kind::Display, a[0]));
        break;
    case Kind::Shot:
        steps.push_back(MakeStep(Step::Kind::Shot, 0, 0, folder + action.mText + ".png"));
        break;
    case Kind::Await:
        steps.push_back(MakeStep(Step::Kind::Await, a[0], 0, action.mText));
        break;
    }
}

bool Load(ScriptState& state, const std::string& path)
{
    state.mSteps.clear();
    state.mWaitLeft = 0;
    state.mJustFed = false;
    state.mPendingShot.clear();
    state.mFolder.clear();
    state.mAwaiting = false;
    state.mLineDone = 0;
    DisplayTaken().store(false);
    if (path.empty())
        return true;
    // Read as every file of the program is: a FIFO in its place would hold the start.
    std::string text;
    std::string reason;
    if (!ReadRegularFile(path, kMaxInputScriptBytes, text, reason))
    {
        std::fprintf(stderr, "input script %s cannot be read: %s\n", path.c_str(), reason.c_str());
        return false;
    }
    std::istringstream in(text);
    const size_t slash = path.rfind('/');
    state.mFolder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string line;
    int number = 0;
    while (std::getline(in, line))
    {
        ++number;
        InputAction action;
        std::string error;
        if (ParseInputLine(line, action, error))
        {
            const size_t before = state.mSteps.size();
            AddSteps(state.mSteps, action, state.mFolder);
            for (size_t i = before; i < state.mSteps.size(); ++i)
                state.mSteps[i].mLine = number;
            if (state.mSteps.size() > before)
                state.mSteps.back().mEndsLine = true;
        }
        else if (!error.empty())
            std::fprintf(stderr, "%s:%d: %s; line skipped\n", path.c_str(), number, error.c_str());
    }
    return true;
}

// Pushes one step's events; false when it pushed none.
bool Perform(ScriptState& state, const Step& step)
{
    switch (step.mKind)
    {
    case Step::Kind::Move:
    {
        // Scripts give points of the picture; the events carry the window's points that show
        // them, as a real pointer's would, full screen on a larger screen included.
        int x = step.mA;
        int y = step.mB;
        PictureToWindow(x, y);
        state.mPointerX = x;
        state.mPointerY = y;
        // The event pump reads positions from the drawn cursor, which follows the desktop pointer.
        int desktopX = x;
        int desktopY = y;
        ClientToScreen(GetMainWindow(), desktopX, desktopY);
        SetCursorPosOverride(true, desktopX, desktopY);
        state.mPointerHeld = true;
        return PushMouseMotion(x, y);
    }
    case Step::Kind::Button:
        // Where the pointer is: the script's last move, unless a real pointer moved since.
        if (HasRealVideoDriver() && !HasCursorPosOverride())
        {
            GetCursorPos(state.mPointerX, state.mPointerY);
            ScreenToClient(GetMainWindow(), state.mPointerX, state.mPointerY);
            PictureToWindow(state.mPointerX, state.mPointerY);
        }
        return PushMouseButton(1, step.mA != 0, state.mPointerX, state.mPointerY);
    case Step::Kind::Key:
        return PushKeyEvent(step.mA, step.mB != 0, step.mMods);
    case Step::Kind::Text:
        return PushTextEvent(step.mText);
    case Step::Kind::Focus:
        return PushWindowEvent(step.mA != 0 ? WindowEventKind::FocusGained
                                            : WindowEventKind::FocusLost);
    case Step::Kind::Close:
        return PushWindowEvent(WindowEventKind::Close);
    case Step::Kind::Host:
        // As the host page does: the command reaches the main window's queue, which the pump reads
        // even while the host holds the game.
        return PostMessage(GetMainWindow(), kHostCommandMessage, WParam(uint32_t(step.mA)), 0);
    case Step::Kind::HostGone:
        EndTestHostWindows();
        return false;
    case Step::Kind::Display:
        DisplayTaken().store(step.mA != 0);
        return false;
    case Step::Kind::Shot:
        state.mPendingShot = step.mText;
        state.mShotPolls = 0;
        // A repaint, so that a frame is presented even when nothing on the screen changes.
        return PushWindowEvent(WindowEventKind::Exposed);
    case Step::Kind::Wait:
    case Step::Kind::Await:
        break;
    }
    return false;
}

// Ends a run whose awaited line never came: the rest of the script would act on the wrong screen,
// so it is dropped and the window asked to close, saying where the run broke.
bool TimeOut(ScriptState& state)
{
    std::fprintf(stderr, "input script: await %s timed out\n", state.mAwaitText.c_str());
    state.mAwaiting = false;
    state.mSteps.clear();
    return PushWindowEvent(WindowEventKind::Close);
}

// Reads the text of an "await" line after its word: one word, or a quoted text that may hold
// blanks; then an optional count of polls. False with a reason for a bad line.
bool ParseAwait(std::istringstream& in, InputAction& action, std::string& error)
{
    error = "\"await\" takes a text and an optional count of polls";
    in >> std::ws;
    std::string text;
    if (in.peek() == '"')
    {
        in.get();
        if (!std::getline(in, text, '"') || in.eof())
            return false;
    }
    else if (!(in >> text))
        return false;
    std::string rest;
    std::getline(in, rest);
    action.mArgs[0] = kDefaultAwaitPolls;
    if (rest.find_first_not_of(" \t\r") != std::string::npos)
    {
        std::istringstream count(rest);
        if (!ReadInt(count, action.mArgs[0]) || action.mArgs[0] < 1 || !AtEnd(count))
            return false;
    }
    if (text.empty())
        return false;
    action.mKind = InputAction::Kind::Await;
    action.mText = text;
    error.clear();
    return true;
}

} // namespace

bool ParseInputLine(const std::string& line, InputAction& action, std::string& error)
{
    using Kind = InputAction::Kind;
    error.clear();
    action = InputAction();
    std::istringstream in(line);
    std::string word;
    if (!(in >> word) || word[0] == '#')
        return false;
    int* a = action.mArgs;
    int count = 0;
    if (word == "wait")
    {
        action.mKind = Kind::Wait;
        count = 1;
    }
    else if (word == "move" || word == "click")
    {
        action.mKind = word == "move" ? Kind::Move : Kind::Click;
        count = 2;
    }
    else if (word == "down" || word == "up")
        action.mKind = word == "down" ? Kind::Down : Kind::Up;
    else if (word == "drag")
    {
        action.mKind = Kind::Drag;
        count = 4;
    }
    else if (word == "key")
    {
        action.mKind = Kind::Key;
        count = 1;
    }
    else if (word == "close")
        action.mKind = Kind::Close;
    else if (word == "text" || word == "shot")
    {
        action.mKind = word == "text" ? Kind::Text : Kind::Shot;
        // The rest of the line after one separating space, kept byte for byte.
        const size_t start = line.find(word) + word.size();
        std::string rest = start < line.size() ? line.substr(start + 1) : std::string();
        while (!rest.empty() && (rest.back() == '\r' || rest.back() == '\n'))
            rest.pop_back();
        if (rest.empty() || (action.mKind == Kind::Shot && rest.find('/') != std::string::npos))
        {
            error = "\"" + word + "\" needs " + (word == "text" ? "a text" : "a file name");
            return false;
        }
        if (action.mKind == Kind::Text && rest.size() > kMaxTextBytes)
        {
            error = "\"text\" takes at most " + std::to_string(kMaxTextBytes) + " bytes";
            return false;
        }
        action.mText = rest;
        return true;
    }
    else if (word == "host")
    {
        std::string which;
        in >> which;
        if (which == "gone" && AtEnd(in))
        {
            action.mKind = Kind::HostGone;
            return true;
        }
        // Any 32-bit number: the bridge takes unknown commands as plain numbers.
        action.mKind = Kind::Host;
        char* end = nullptr;
        errno = 0;
        const long long number = std::strtoll(which.c_str(), &end, 0);
        if (which.empty() || errno != 0 || *end != 0 || number < INT32_MIN || number > INT32_MAX ||
            !AtEnd(in))
        {
            error = "\"host\" takes a command number or gone";
            return false;
        }
        a[0] = static_cast<int>(number);
        return true;
    }
    else if (word == "await")
        return ParseAwait(in, action, error);
    else if (word == "display")
    {
        action.mKind = Kind::Display;
        std::string which;
        in >> which;
        if ((which != "taken" && which != "back") || !AtEnd(in))
        {
            error = "\"display\" takes taken or back";
            return false;
        }
        a[0] = which == "taken";
        return true;
    }
    else if (word == "focus")
    {
        action.mKind = Kind::Focus;
        std::string which;
        in >> which;
        if ((which != "lost" && which != "gained") || !AtEnd(in))
        {
            error = "\"focus\" takes lost or gained";
            return false;
        }
        a[0] = which == "gained";
        return true;
    }
    else
    {
        error = "unknown action \"" + word + "\"";
        return false;
    }
    for (int i = 0; i < count; ++i)
    {
        if (!ReadInt(in, a[i]))
        {
            error = "\"" + word + "\" takes " + std::to_string(count) + " whole number" +
                    (count > 1 ? "s" : "");
            return false;
        }
    }
    // "key <virtual-key> alt" holds Alt with the key (Alt+Enter switches the display).
    std::string rest;
    if (in >> rest)
    {
        if (action.mKind != Kind::Key || rest != "alt" || !AtEnd(in))
        {
            error = action.mKind == Kind::Key
                        ? "\"key\" takes a virtual-key and, held with it, alt"
                        : "\"" + word + "\" has more than " + std::to_string(count) + " argument" +
                              (count == 1 ? "" : "s");
            return false;
        }
        a[1] = 1;
    }
    if (action.mKind == Kind::Key && ScancodeFromVirtualKey(a[0]) < 0)
    {
        error = "no key gives virtual-key " + std::to_string(a[0]);
        return false;
    }
    if (action.mKind == Kind::Wait && a[0] < 0)
    {
        error = "\"wait\" takes a count of 0 or more";
        return false;
    }
    return true;
}

bool SetInputScript(const std::string& path)
{
    // A new script awaits only what is printed from now on.
    ForgetOutputLines();
    ScriptState& state = State();
    std::lock_guard<std::mutex> lock(state.mMutex);
    state.mRead = true;
    return Load(state, path);
}

bool IsInputScriptRunning()
{
    ScriptState& state = State();
    std::lock_guard<std::mutex> lock(state.mMutex);
    return !state.mSteps.empty() || state.mWaitLeft > 0 || state.mAwaiting ||
           !state.mPendingShot.empty() || state.mJustFed;
}

bool FeedInputScript()
{
    ScriptState& state = State();
    std::lock_guard<std::mutex> lock(state.mMutex);
    if (!state.mRead)
    {
        state.mRead = true;
        Load(state, GetEnvironmentVariable("MURKWELL_INPUT_SCRIPT"));
    }
    if (state.mJustFed)
    {
        state.mJustFed = false;
        return false;
    }
    if (!state.mPendingShot.empty())
    {
        // Headless, frames follow the game's own polls. On a driver that shows windows a frame
        // also waits for the display server (a process of its own, which a loaded machine slows)
        // while the polls of the fixed step run as fast as the game loops: no count of them bounds
        // the wait, and a shot let go there leaves the script's next line (a click that ends the
        // game) to act before the frame it was to see. The script holds until the frame comes.
        if (HasRealVideoDriver() || ++state.mShotPolls <= kShotPollLimit)
            return false;
        std::fprintf(stderr, "input script: no frame presented for %s\n",
                     state.mPendingShot.c_str());
        state.mPendingShot.clear();
    }
    if (state.mWaitLeft > 0)
    {
        --state.mWaitLeft;
        return false;
    }
    if (state.mAwaiting)
    {
        if (!TakeOutputLine(state.mAwaitText))
        {
            if (++state.mAwaitPolls < state.mAwaitLimit)
                return false;
            state.mJustFed = TimeOut(state);
            return state.mJustFed;
        }
        state.mAwaiting = false;
        state.mLineDone = state.mAwaitLine;
    }
    if (state.mSteps.empty() && state.mPointerHeld && HasRealVideoDriver())
    {
        // The script is done with the pointer: the player's real one takes over where it is.
        // Headless there is no other pointer, and the script's stays for whoever reads it.
        state.mPointerHeld = false;
        SetCursorPosOverride(false);
    }
    while (!state.mSteps.empty())
    {
        const Step step = state.mSteps.front();
        state.mSteps.pop_front();
        if (step.mKind == Step::Kind::Await)
        {
            if (TakeOutputLine(step.mText))
            {
                state.mLineDone = step.mLine;
                continue;
            }
            state.mAwaiting = true;
            state.mAwaitText = step.mText;
            state.mAwaitLimit = step.mA;
            state.mAwaitPolls = 0;
            state.mAwaitLine = step.mLine;
            return false;
        }
        if (step.mEndsLine)
            state.mLineDone = step.mLine;
        if (step.mKind == Step::Kind::Wait)
        {
            if (step.mA == 0)
                continue;
            state.mWaitLeft = step.mA - 1;
            return false;
        }
        if (Perform(state, step))
        {
            state.mJustFed = true;
            return true;
        }
        if (step.mKind == Step::Kind::Shot)
            return false;
    }
    return false;
}

bool IsDisplayTakenByScript()
{
    return DisplayTaken().load();
}

int InputScriptLineDone()
{
    return State().mLineDone;
}

bool TakeShotRequest(std::string& path)
{
    ScriptState& state = State();
    std::lock_guard<std::mutex> lock(state.mMutex);
    if (state.mPendingShot.empty())
        return false;
    path = state.mPendingShot;
    state.mPendingShot.clear();
    return true;
}

} // namespace sys
