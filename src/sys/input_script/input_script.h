// Test mode of whole-program runs: MURKWELL_INPUT_SCRIPT names a file of input actions, one a line,
// which the message queue turns into SDL events whenever it finds itself empty; the frame
// requests of its "shot" lines, which the presenter takes; and the printed lines its "await" lines
// wait for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sys
{

// One line of an input script. Positions are the window's client pixels.
struct InputAction
{
    enum class Kind
    {
        Wait,     // wait <n>: n empty polls pass
        Move,     // move <x> <y>
        Down,     // down: the left button, where the pointer is
        Up,       // up
        Click,    // click <x> <y>: move, down, up
        Drag,     // drag <x1> <y1> <x2> <y2>: move, down, moves along the way, up
        Key,      // key <virtual-key> [alt]: down and up (with Alt held: mArgs[1] 1)
        Text,     // text <utf-8>: the rest of the line
        Focus,    // focus lost|gained
        Close,    // close: a window close request
        Shot,     // shot <name>: the next presented frame as <name>.png beside the script
        Host,     // host <n>: a host command (WM_USER, wParam n) posted to the main window
        HostGone, // host gone: every window of the test host stops existing
        Display,  // display taken|back: another program takes the full-screen display (mArgs[0]
                  // 1) or gives it back (0)
        Await     // await <text> [<polls>]: until a printed line holds the text (mText, polls in
                  // mArgs[0]); a text with blanks is quoted
    };
    Kind mKind = Kind::Wait;
    int mArgs[4] = {};
    std::string mText;
};

// Parses one line. Blank lines and lines starting with "#" give no action and no error (false with
// an empty `error`); a bad line gives false and says why.
bool ParseInputLine(const std::string& line, InputAction& action, std::string& error);

// Reads the script file (its bad lines reported on standard error and skipped) and starts it; an
// empty path stops any script. False when the file cannot be read.
bool SetInputScript(const std::string& path);

// Called by the message queue at each poll that finds nothing waiting. Takes the next step of the
// script (reading MURKWELL_INPUT_SCRIPT the first time): true when it pushed SDL events. Every step
// is followed by one empty poll, so the program ticks once between two steps.
bool FeedInputScript();

// Whether a script is running: it has steps left, or holds on a wait, an await or a shot. Its
// waits count polls, so a poll then waits for no more than a moment.
bool IsInputScriptRunning();

// Told of each line the program prints for its reader (the script library's print), without its
// line break. An "await" is satisfied by a line told since the line the previous one took, so a
// line printed before the script reaches its "await" still counts; the latest few hundred are kept.
void NoteOutputLine(const std::string& line);
// True when a line told since the last line taken holds the text; that line and the ones before it
// are used up.
bool TakeOutputLine(const std::string& text);
// Drops every line told so far.
void ForgetOutputLines();

// The script file's line number of the last line whose steps have all been taken: a wait's once it
// started, an await's once its line came; 0 before any (or without a script). Any thread may ask.
int InputScriptLineDone();

// The saved versions' test seam: with MURKWELL_SAVE_VERSIONS naming a folder, each version of a
// data file that a save has put in place (`path`, its name after a folder or "user:"; `size`
// bytes) is copied there as "<sequence>-<line>-<file name>": the sequence counts this run's
// versions of every file from 1 in the order they were put in place; `line` (four digits) is
// InputScriptLineDone's when the version was built. A copy that cannot be written is said on
// standard error. Without the variable nothing is done.
void KeepSavedVersion(const std::string& path, const void* data, size_t size, int line);

// Whether a "display taken" line holds the full-screen display away from the program (until a
// "display back"): its surfaces are lost as when another program takes the display, and restoring
// them is refused. Any thread may ask.
bool IsDisplayTakenByScript();

// The file of a pending "shot" line, taken by the first frame presented after it; false when none
// is pending.
bool TakeShotRequest(std::string& path);

} // namespace sys
