// The program's game side until the game's own layer exists: its identity, the links between the
// layers, and the main function that shows the toolkit's screens from the start-up script.
#pragma once

#include "platform/event_pump.h"

#include <memory>

class TApplication;
class TSound;

// Writes the game's identity into the configuration store; runs before the platform starts.
void SetGameIdentity();
// Joins the layers through the platform's seams and the asset map's loaders.
void LinkGameToPlatform();

// One run of the game: start-up, the event loop and teardown, each callable on its own so that
// tests can look at the screen between them.
class TToolkitGame
{
public:
    TToolkitGame() = default;
    TToolkitGame(const TToolkitGame&) = delete;
    TToolkitGame& operator=(const TToolkitGame&) = delete;

    // Display, cursor, start sound, window title, then the start-up script; a failing script is
    // logged by the script and the game goes on.
    void Start(TApplication* application);
    // Hands one event on; false, without handing it on, for a close request or a quit.
    bool Handle(const TPlatformEvent& event);
    // Takes events until a close request or a quit.
    void Run(TApplication* application);
    // Pops every modal window above the root, then one last tick.
    void Stop();

private:
    // Held for the whole run: dropping the last reference to a sound stops it.
    std::shared_ptr<TSound> mStartSound;
    TPlatformEvent mLastEvent;
};

// The platform's callback: a whole run.
int GameMain(TApplication* application, const char* commandLine);

// The process entry's work: identity, links, then the platform with GameMain.
int RunProgram(int argc, char** argv);
