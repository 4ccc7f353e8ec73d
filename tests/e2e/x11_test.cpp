// The program in a real X window (ctest "x11", label "x11"): under `xvfb-run` with SDL's x11
// driver, the menu comes up, the pointer rests on "Play" with the game's drawn cursor there,
// Escape asks and "Yes" ends the game with status 0 and a clean log. Skipped, saying so, where
// xvfb-run is not installed.
#include "e2e/program_test_support.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace e2etest
{
namespace
{

// xvfb-run's path, empty when no folder of PATH holds it.
fs::path FindXvfbRun()
{
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');)
    {
        const fs::path candidate = fs::path(folder.empty() ? "." : folder) / "xvfb-run";
        std::error_code ignored;
        if (fs::is_regular_file(candidate, ignored))
            return candidate;
    }
    return fs::path();
}

class X11Test : public ScreenProgramTest
{
protected:
};

// The splash skipped by clicks and a key as a player would; the pointer moved onto "Play" and left
// there for a few frames; Escape, then the question's "Yes".
constexpr const char* kMenuPointerAndQuit =
    "focus gained\nwait 20\nclick 400 300\nwait 20\nkey 32\nwait 40\nclick 400 300\nwait 60\n"
    "move 400 272\nwait 10\nshot play\nkey 27\nwait 40\nclick 400 306\nwait 20\nshot after\n"
    "close\n";

TEST_F(X11Test, TheMenuInARealWindowShowsTheDrawnCursorOnPlayAndYesEndsTheGame)
{
    const fs::path xvfbRun = FindXvfbRun();
    if (xvfbRun.empty())
        GTEST_SKIP() << "xvfb-run is not installed (tools/install-deps installs it): the run in "
                        "a real X window is skipped";

    const fs::path input = mRoot / "input.txt";
    const fs::path output = mRoot / "output.txt";
    WriteFile(input, kMenuPointerAndQuit);
    std::vector<std::string> env = mEnv;
    std::erase_if(env, [](const std::string& e) { return e.starts_with("SDL_VIDEODRIVER="); });
    env.insert(env.end(),
               {"SDL_VIDEODRIVER=x11", "MURKWELL_INPUT_SCRIPT=" + input.string(),
                "MURKWELL_FIXED_STEP=16", "MURKWELL_GUID_SEED=1", "MW_OUTPUT=" + output.string(),
                "LSAN_OPTIONS=suppressions=" + (mRepository / "tests/e2e/x11_lsan.supp").string()});
    // A screen larger than the picture: the first start is full screen, the picture fitted in it.
    const int pid =
        sys::SpawnProcess({"/bin/sh", "-c", "exec \"$0\" \"$@\" >\"$MW_OUTPUT\" 2>&1",
                           xvfbRun.string(), "-a", "-s", "-screen 0 1024x768x24", MURKWELL_PROGRAM,
                           "--multiple", "-wd=" + mRepository.string(), "options=trace=1"},
                          env);
    ASSERT_GT(pid, 0);
    mStarted.push_back(pid);
    EXPECT_EQ(WaitForEnd(pid), 0) << ReadFile(output);

    EXPECT_EQ(TraceLines(ReadFile(output)),
              (std::vector<std::string>{"start", "menu", "quitverify"}));
    EXPECT_FALSE(fs::exists(mRoot / "after.png")) << "\"Yes\" did not end the game";
    ExpectCleanLog();
    // "Play" lit under the pointer, and the drawn arrow on it.
    const Picture play = Shot("play");
    ASSERT_EQ(play.mWidth, 800u) << "no shot was taken";
    ExpectMatchesGolden(Crop(play, 320, 240, 160, 80), "x11_menu_pointer_on_play.png");
}

} // namespace
} // namespace e2etest
