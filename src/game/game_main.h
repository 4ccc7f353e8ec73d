// The program's game side: its identity, the links between the layers, and the main function that
// makes the framework's singletons and runs the screens of the start-up script.
#pragma once

#include "platform/shell/event_pump.h"

class TApplication;
class TWindow;
class TWindowManager;

// A window type the game's scripts open by name, and the creator of its class.
struct TGameWindowType
{
    const char* mName;
    TWindow* (*mCreator)();
};
// The game's window types in the order it registers them, after the toolkit's own.
extern const TGameWindowType kGameWindowTypes[20];

// Writes the game's identity into the configuration store; runs before the platform starts.
void SetGameIdentity();
// Joins the layers through the platform's seams, the asset map's loaders and the framework's
// widget enabler.
void LinkGameToPlatform();
// Takes back the seams' factories and the high-score link, so that a test or benchmark process
// that ran the game leaves the platform as it found it.
void UnlinkGameFromPlatform();

// One run of the game: start-up, the event loop and teardown, each callable on its own so that
// tests can look at the screen between them.
class TGameRun
{
public:
    TGameRun() = default;
    TGameRun(const TGameRun&) = delete;
    TGameRun& operator=(const TGameRun&) = delete;

    // The framework's singletons, display options, window title, the frame driver's task, the
    // stored display preferences, the window types, then the start-up script; then the root
    // stops clearing the display and "GetConfig" and "RunProcess" are bound for the scripts.
    // False, logged and said on standard error, when the start-up script is missing, fails or
    // returns no function: there is nothing to run.
    bool Start(TApplication* application);
    // Escape asks the quit question unless it is up; updates the pointer and full-screen state
    // the settings keep, then hands the event on; false, without handing it on, for a close
    // request or a quit, and false once the start-up script's coroutine has failed (said on
    // standard error).
    bool Handle(const TPlatformEvent& event);
    // Whether the run ended because the start-up script's coroutine failed.
    bool HasStartScriptFailed() const { return mStartScriptFailed; }
    // Takes events until a close request or a quit.
    void Run(TApplication* application);
    // Pops every modal window above the root, unbinds the two script functions, one last tick,
    // saves the player's record, then the settings, the frame driver and, newest first, the other
    // singletons made: a later run starts without them.
    void Stop(TApplication* application);

private:
    TPlatformEvent mLastEvent;
    bool mStartScriptFailed = false;
    // Between an Escape's press and its release: the key's repeats are no new press.
    bool mEscapeHeld = false;
};

// The platform's callback: a whole run; the loop is skipped when the start gives nothing to run,
// and the answer is then not 0.
int GameMain(TApplication* application, const char* commandLine);

// The process entry's work: identity, links, then the platform with GameMain; answers the
// process's exit status.
int RunProgram(int argc, char** argv);
