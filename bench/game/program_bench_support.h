#pragma once

#include "game/game_main.h"
#include "sys/clock.h"
#include "sys/events.h"

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
