#pragma once

#include "framework/adventure/runner/gameplay.h"
#include "game/game_main.h"
#include "platform/config/config.h"
#include "platform/shell/platform_main.h"
#include "sys/clock.h"
#include "sys/window/events.h"
#include "sys/window/window.h"

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

// A whole-program benchmark runs the game headless in this process: a data folder of its own (a
// repetition finds no profile or log of another), the dummy drivers, the manual clock moved one
// fixed step at each empty poll, no input left from the repetition before, and the game's identity
// and hooks installed as its main does. Answers the folder made, "mw_bench_<name>_<random>".
inline std::filesystem::path PrepareProgramRun(const std::string& name)
{
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() /
                          ("mw_bench_" + name + "_" + std::to_string(std::random_device()()));
    fs::create_directories(root / "run");
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (root / "run").c_str(), 1);
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    sys::SetManualClock(true, 1000);
    sys::SetFixedStepMs(16);
    sys::FlushInput();
    SetGameIdentity();
    LinkGameToPlatform();
    return root;
}

// Runs the game on the repository's assets with `gameMain` as its main loop; `options` follow on
// the command line ("options=start=<script>"), none for the title card.
inline void RunProgram(const std::string& options, TGameMainFn gameMain)
{
    std::string commandLine = "--multiple -wd=" + std::string(MURKWELL_SOURCE_DIR);
    if (!options.empty())
        commandLine += " " + options;
    PlatformMain(nullptr, nullptr, commandLine.c_str(), 1, gameMain, false);
}

// Undoes PrepareProgramRun: the real clock back, the game's hooks and stored options gone, and the
// run's folder removed.
inline void EndProgramRun(const std::filesystem::path& root)
{
    sys::SetFixedStepMs(0);
    sys::SetManualClock(false);
    UnlinkGameFromPlatform();
    ClearConfig();
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}

// Pointer events at a point of the game's 800 x 600 picture, pushed as the input script pushes
// them: full screen on a larger screen (the game's default; the dummy driver's desktop is
// 1024 x 768) shows the picture bigger, so the window's point that shows it differs.
inline void PushPictureMotion(int x, int y)
{
    sys::PictureToWindow(x, y);
    int desktopX = x;
    int desktopY = y;
    sys::ClientToScreen(sys::GetMainWindow(), desktopX, desktopY);
    sys::SetCursorPosOverride(true, desktopX, desktopY);
    sys::PushMouseMotion(x, y);
}

// The left button pressed or released at a point of the picture.
inline void PushPictureButton(bool down, int x, int y)
{
    sys::PictureToWindow(x, y);
    sys::PushMouseButton(1, down, x, y);
}

// A location's runner opened by its development entry: the gameplay window at or below `window`
// (the top modal, which bears the same name).
inline Gameplay* FindGameplay(TWindow* window)
{
    if (auto* gameplay = dynamic_cast<Gameplay*>(window))
        return gameplay;
    for (TWindow* child : window->GetChildren())
        if (Gameplay* found = FindGameplay(child))
            return found;
    return nullptr;
}
