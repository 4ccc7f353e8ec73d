// The program in a real X window (ctest "x11", label "x11"): under `xvfb-run` with SDL's x11
// driver, the menu comes up, the pointer rests on "Play" with the game's drawn cursor there,
// Escape asks and "Yes" ends the game with status 0 and a clean log; one pointer in a window and
// full screen with the system's pointer chosen or not; a pointer moved by another program is where
// the game draws and clicks, also after a script moved it; a shot waits for its frame while the X
// server holds frames back; presses a quick hand makes with the pointer's arrival count where they
// are pressed (the scroll's symbols, an object from the strip); the game's screens follow one
// another on the X screen without the menu showing between them. Under a window manager (openbox):
// the start shows the full-screen window in no other shape first, Alt+Enter shows no picture out of
// place, the first switch to a window puts it where later ones do, and a switch draws the cursor
// only where the new shape shows the pointer. Skipped, saying so, where xvfb-run is not installed.
#include "e2e/location_plays.h"
#include "e2e/program_test_support.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
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

// The screen grabs of x11_grab: each the X screen (1024 x 768) as a grid of 32 x 24 block averages,
// red, green and blue bytes, rows top-down.
constexpr size_t kGridColumns = 32;
constexpr size_t kGridRows = 24;
using Grid = std::vector<uint8_t>;

std::vector<Grid> ReadGrabs(const fs::path& file)
{
    const std::string bytes = ReadFile(file);
    const size_t size = kGridColumns * kGridRows * 3;
    std::vector<Grid> grabs;
    for (size_t at = 0; at + size <= bytes.size(); at += size)
        grabs.emplace_back(bytes.begin() + static_cast<ptrdiff_t>(at),
                           bytes.begin() + static_cast<ptrdiff_t>(at + size));
    return grabs;
}

// When each grab was taken: milliseconds since the first, as the grabber wrote them beside the
// grabs.
std::vector<long> ReadGrabTimes(const fs::path& grabs)
{
    std::istringstream lines(ReadFile(grabs.string() + ".ms"));
    std::vector<long> times;
    for (long ms = 0; lines >> ms;)
        times.push_back(ms);
    return times;
}

class X11Test : public ScreenProgramTest
{
protected:
    // Runs the program under xvfb-run on a 1024 x 768 screen with the input script and the
    // content's trace; `before` runs first inside the same X server (in the background), and
    // `first` to its end before the program starts. Answers the exit code; the output is kept in
    // mOutput.
    int RunInX(const std::string& script, const std::string& options = "",
               const std::string& before = "", const std::string& first = "")
    {
        const fs::path input = mRoot / "input.txt";
        const fs::path output = mRoot / "output.txt";
        WriteFile(input, script);
        std::vector<std::string> env = mEnv;
        std::erase_if(env, [](const std::string& e) { return e.starts_with("SDL_VIDEODRIVER="); });
        env.insert(
            env.end(),
            {"SDL_VIDEODRIVER=x11", "MURKWELL_INPUT_SCRIPT=" + input.string(),
             "MURKWELL_FIXED_STEP=16", "MURKWELL_GUID_SEED=1", "MW_OUTPUT=" + output.string(),
             "MW_BEFORE=" + before, "MW_FIRST=" + first,
             "LSAN_OPTIONS=suppressions=" + (mRepository / "tests/e2e/x11_lsan.supp").string()});
        // A screen larger than the picture: the first start is full screen, the picture fitted in
        // it (1.28 times: picture point (x, y) is screen point (1.28 x, 1.28 y)).
        const int pid = sys::SpawnProcess(
            {"/bin/sh", "-c", "exec \"$0\" \"$@\" >\"$MW_OUTPUT\" 2>&1", mXvfbRun.string(), "-a",
             "-s", "-screen 0 1024x768x24", "/bin/sh", "-c",
             "[ -z \"$MW_FIRST\" ] || sh -c \"$MW_FIRST\"; "
             "[ -z \"$MW_BEFORE\" ] || sh -c \"$MW_BEFORE\" & exec \"$0\" \"$@\"",
             MURKWELL_PROGRAM, "--multiple",
             "-wd=" + (mGame.empty() ? mRepository : mGame).string(), "options=trace=1" + options},
            env);
        EXPECT_GT(pid, 0);
        if (pid <= 0)
            return -1;
        mStarted.push_back(pid);
        const int code = WaitForEnd(pid);
        mOutput = ReadFile(output);
        return code;
    }

    void SetUp() override
    {
        ScreenProgramTest::SetUp();
        mXvfbRun = FindXvfbRun();
        if (mXvfbRun.empty())
            GTEST_SKIP() << "xvfb-run is not installed (tools/install-deps installs it): the run "
                            "in a real X window is skipped";
    }

#ifdef MURKWELL_X11_WARP
    // The main menu's run of `start` (ending with a shot `shown`), after which another program
    // warps the pointer onto "Quit" (screen point (512, 700)); then the shot "warped" and a click
    // of the script's own, which must end the game.
    void RunWarpedOntoQuit(const std::string& shown, const std::string& start)
    {
        const std::string warp =
            std::string(MURKWELL_X11_WARP) + " " + (mRoot / (shown + ".png")).string() + " 512 700";
        EXPECT_EQ(RunInX(start + "wait 200\nshot warped\ndown\nup\nwait 60\nshot after\nclose\n",
                         "&start=scripts/mainmenu.lua", warp),
                  0)
            << mOutput;
        EXPECT_FALSE(fs::exists(mRoot / "after.png")) << "the click missed \"Quit\"";
    }
#endif

#ifdef MURKWELL_X11_WARP
    // A run on the main menu (full screen, a fresh data folder) whose script first takes the shot
    // "shown": another program then puts the real pointer on screen point `screen`, which shows
    // picture point `picture` full screen; the script's `rest` follows (its own shots compared
    // below).
    void RunWithThePointerPut(const std::string& start, const std::string& rest,
                              std::pair<int, int> screen)
    {
        const std::string warp = std::string(MURKWELL_X11_WARP) + " " +
                                 (mRoot / "shown.png").string() + " " +
                                 std::to_string(screen.first) + " " + std::to_string(screen.second);
        // Under a window manager, as on a desktop: it places the window and its frame.
        EXPECT_EQ(RunInX(start + "shot shown\nwait 200\nshot placed\n" + rest + "close\n",
                         "&start=scripts/mainmenu.lua", warp,
                         "openbox & " + std::string(MURKWELL_X11_WM)),
                  0)
            << mOutput;
    }

    // The drawn arrow at picture point `at` in shot `name` as in the shot `reference`, taken with
    // the pointer at that point in the same shape (the arrow and what lies under it).
    void ExpectPointerAt(const std::string& name, const std::string& reference,
                         std::pair<int, int> at, const std::string& what)
    {
        const Picture shot = Shot(name);
        const Picture expected = Shot(reference);
        ASSERT_EQ(shot.mWidth, 800u) << "no shot " << name;
        ASSERT_EQ(expected.mWidth, 800u) << "no shot " << reference;
        const auto x = static_cast<uint32_t>(at.first - 12);
        const auto y = static_cast<uint32_t>(at.second - 12);
        EXPECT_GE(Alike(Crop(shot, x, y, 56, 64), Crop(expected, x, y, 56, 64)), 99.0) << what;
    }
#endif

#ifdef MURKWELL_X11_PRESS
    // Ann, whose record stands at the Observatory, plays it in a real window: "Play", the script's
    // `arrive` and the shot "ready", then another program presses at each of the picture's
    // `points` in turn, each press sent with the pointer's arrival there, and then Escape. The
    // script holds until the quit question comes (so after every press), lets Escape answer "no"
    // and the scenes the presses opened settle, takes the shot "after" and ends the game with
    // "yes".
    void PressOnArrivalInTheObservatory(const std::string& arrive,
                                        const std::vector<const char*>& points)
    {
        mGame = CopyGame("content");
        WriteFile(mGame / "assets/scripts/make.lua", PlayerAtScript(1));
        RunOk(mGame, "wait 5\nclose\n", "start=scripts/make.lua");
        std::string presses =
            std::string(MURKWELL_X11_PRESS) + " " + (mRoot / "ready.png").string() + " wait:500";
        for (const char* point : points)
        {
            int x = 0;
            int y = 0;
            std::istringstream(point) >> x >> y;
            // Full screen, picture point (x, y) shows at screen point (1.28 x, 1.28 y).
            presses +=
                " " + std::to_string(x * 32 / 25) + "," + std::to_string(y * 32 / 25) + " wait:600";
        }
        EXPECT_EQ(RunInX(PlayToLocation(1) + arrive +
                             "shot ready\nawait quitverify 100000\nwait 60\nkey 27\nwait 200\n"
                             "shot after\nkey 27\nwait 60\nclick 400 306\n",
                         "&start=scripts/mainmenu.lua", presses + " key:Escape"),
                  0)
            << mOutput;
        EXPECT_EQ(TraceLines(mOutput),
                  (std::vector<std::string>{"start", "menu Ann", "profile Ann", "record 0 1",
                                            "location 1", "quitverify", "quitverify"}));
    }
#endif

#ifdef MURKWELL_X11_GRAB
    // Runs `script` on the main menu under a window manager (openbox), the X screen painted white
    // behind the windows and grabbed from when the file `from` exists (/dev/null: before the
    // program starts) to the shot `until`; answers the grabs.
    std::vector<Grid> RunGrabbed(const std::string& script, const std::string& from,
                                 const std::string& until)
    {
        const std::string grabs = (mRoot / "grabs").string();
        std::string first = "openbox & " + std::string(MURKWELL_X11_GRAB) + " " + from + " " +
                            (mRoot / (until + ".png")).string() + " " + grabs + " white &";
        if (from == "/dev/null")
            first += " until [ -s " + grabs + " ]; do sleep 0.01; done";
        EXPECT_EQ(RunInX(script, "&start=scripts/mainmenu.lua", "", first), 0) << mOutput;
        return ReadGrabs(mRoot / "grabs");
    }
#endif

    fs::path mXvfbRun;
    std::string mOutput;
    // The game folder the runs play (the repository's content when empty).
    fs::path mGame;
};

// A frame shot (B, G, R, A bytes) as the screen shows it, as a grid: the 800 x 600 picture fills
// the screen 1.28 times, so each screen block of 32 x 32 pixels shows a picture block of 25 x 25.
Grid GridOf(const Picture& shot)
{
    const uint32_t block = shot.mWidth / kGridColumns;
    Grid grid(kGridColumns * kGridRows * 3, 0);
    for (size_t row = 0; row < kGridRows; ++row)
        for (size_t column = 0; column < kGridColumns; ++column)
            for (size_t c = 0; c < 3; ++c)
            {
                uint32_t sum = 0;
                for (uint32_t y = 0; y < block; ++y)
                    for (uint32_t x = 0; x < block; ++x)
                        sum += shot.mPixels[((row * block + y) * shot.mWidth + column * block + x) *
                                                4 +
                                            2 - c];
                grid[(row * kGridColumns + column) * 3 + c] =
                    static_cast<uint8_t>(sum / (block * block));
            }
    return grid;
}

// The mean difference of two grids per channel (0 to 255). The menu's own grabs lie within 4 of
// its shot; every other screen of the game, black included, lies 10 or more away.
double GridDistance(const Grid& a, const Grid& b)
{
    double sum = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        sum += std::abs(int(a[i]) - int(b[i]));
    return a.empty() ? 255.0 : sum / static_cast<double>(a.size());
}
constexpr double kLikeShot = 8.0;

// The splash skipped by clicks and a key as a player would; the pointer moved onto "Play" and left
// there for a few frames; Escape, then the question's "Yes".
constexpr const char* kMenuPointerAndQuit =
    "focus gained\nwait 20\nclick 400 300\nwait 20\nkey 32\nwait 40\nclick 400 300\nwait 60\n"
    "move 400 272\nwait 10\nshot play\nkey 27\nwait 40\nclick 400 306\nwait 20\nshot after\n"
    "close\n";

TEST_F(X11Test, TheMenuInARealWindowShowsTheDrawnCursorOnPlayAndYesEndsTheGame)
{
    EXPECT_EQ(RunInX(kMenuPointerAndQuit), 0) << mOutput;
    EXPECT_EQ(TraceLines(mOutput), (std::vector<std::string>{"start", "menu", "quitverify"}));
    EXPECT_FALSE(fs::exists(mRoot / "after.png")) << "\"Yes\" did not end the game";
    ExpectCleanLog();
    // "Play" lit under the pointer, and the drawn arrow on it.
    const Picture play = Shot("play");
    ASSERT_EQ(play.mWidth, 800u) << "no shot was taken";
    ExpectMatchesGolden(Crop(play, 320, 240, 160, 80), "x11_menu_pointer_on_play.png");
}

// One pointer whatever the choice and the display: full screen the game draws its arrow (the
// system's pointer held back, chosen or not); in a window with the system's pointer chosen the
// system draws it and the frames have none; Alt+Enter takes the display to full screen and back.
TEST_F(X11Test, TheGameDrawsAPointerUnlessTheSystemsIsChosenInAWindow)
{
    // Full screen, option off: "Play" with the drawn arrow. In a window (the options' switch),
    // the system's pointer chosen and "OK": "Play" without one. Full screen again, then back.
    const std::string script =
        "focus gained\nwait 40\nmove 400 272\nwait 10\nshot fulloff\nclick 400 382\nwait 30\n"
        "click 400 398\nwait 30\nclick 186 300\nwait 5\nclick 400 462\nwait 30\n"
        "move 400 272\nwait 10\nshot windowon\nkey 13 alt\nwait 30\nshot fullon\n"
        "key 13 alt\nwait 30\nshot windowonagain\nclose\n";
    EXPECT_EQ(RunInX(script, "&start=scripts/mainmenu.lua"), 0) << mOutput;
    ExpectCleanLog();
    const Picture fullOff = Shot("fulloff");
    const Picture windowOn = Shot("windowon");
    const Picture fullOn = Shot("fullon");
    const Picture windowOnAgain = Shot("windowonagain");
    for (const Picture* shot : {&fullOff, &windowOn, &fullOn, &windowOnAgain})
        ASSERT_EQ(shot->mWidth, 800u) << "a shot was not taken";
    ExpectMatchesGolden(Crop(fullOff, 320, 240, 160, 80), "x11_menu_pointer_on_play.png");
    ExpectMatchesGolden(Crop(windowOn, 320, 240, 160, 80), "x11_menu_system_pointer_on_play.png");
    // The pointer keeps its point of the picture, on "Play", where the full screen shows it.
    ExpectMatchesGolden(Crop(fullOn, 320, 240, 160, 80), "x11_menu_pointer_on_play.png");
    ExpectMatchesGolden(Crop(windowOnAgain, 320, 240, 160, 80),
                        "x11_menu_system_pointer_on_play.png");
}

// Alt+Enter both ways keeps the real pointer on the picture's point it was on, wherever the new
// shape shows that point: full screen on a 1024 x 768 screen shows picture point (450, 262) on
// "Play" at screen point (576, 336); the window shows it at its corner plus (450, 262). A pointer
// a script holds keeps its point too. Each shot is compared with one taken after the script moved
// the pointer to that point in the same shape.
TEST_F(X11Test, AltEnterKeepsThePointerOnItsPicturePointBothWays)
{
#ifndef MURKWELL_X11_WARP
    GTEST_SKIP() << "built without Xlib's development files: no pointer warp";
#else
    const std::pair<int, int> play{450, 262};
    const std::string move = "move 450 262\nwait 10\n";
    RunWithThePointerPut("focus gained\nwait 40\n",
                         "key 13 alt\nwait 60\nshot windowed\nkey 13 alt\nwait 60\nshot full\n" +
                             move + "shot fullmoved\nkey 13 alt\nwait 60\nshot windowedheld\n" +
                             move + "shot windowedmoved\n",
                         {576, 336});
    ExpectCleanLog();
    EXPECT_EQ(TraceLines(mOutput), (std::vector<std::string>{"start", "menu"}));
    ExpectLogged("Created screen at 32 bpp.", 2);
    ExpectPointerAt("placed", "fullmoved", play, "the pointer was not put on \"Play\"");
    ExpectPointerAt("windowed", "windowedmoved", play, "full screen to a window moved it");
    ExpectPointerAt("full", "fullmoved", play, "a window to full screen moved it");
    ExpectPointerAt("windowedheld", "windowedmoved", play, "the script's pointer moved");
#endif
}

// The options screen's "Play in a window" and then "Play full screen", each pressed by the real
// pointer where it rests on the switch (picture point (450, 410), screen point (576, 525) full
// screen): the pointer stays on the switch's picture point, so the second press finds it there.
TEST_F(X11Test, TheOptionsSwitchKeepsThePointerOnItsPicturePointBothWays)
{
#ifndef MURKWELL_X11_WARP
    GTEST_SKIP() << "built without Xlib's development files: no pointer warp";
#else
    const std::pair<int, int> toggle{450, 410};
    const std::string move = "move 450 410\nwait 10\n";
    RunWithThePointerPut("focus gained\nwait 40\n" + ClickLine(menupoints::kOptions) + "wait 60\n",
                         "down\nup\nwait 60\nshot windowed\ndown\nup\nwait 60\nshot full\n" + move +
                             "shot fullmoved\ndown\nup\nwait 60\n" + move + "shot windowedmoved\n",
                         {576, 525});
    ExpectCleanLog();
    EXPECT_EQ(TraceLines(mOutput), (std::vector<std::string>{"start", "menu"}));
    // The start and the second press.
    ExpectLogged("Created screen at 32 bpp.", 2);
    ExpectPointerAt("placed", "fullmoved", toggle, "the pointer was not put on the switch");
    ExpectPointerAt("windowed", "windowedmoved", toggle, "full screen to a window moved it");
    ExpectPointerAt("full", "fullmoved", toggle, "a window to full screen moved it");
#endif
}

// The pointer moved by another program (a warp: X reports no device motion) from the middle of
// the screen onto "Quit": the next frame's drawn arrow is there and none is left where it was, and
// a click (no move of the script's own) ends the game.
TEST_F(X11Test, APointerMovedByAnotherProgramIsWhereTheGameDrawsAndClicks)
{
#ifndef MURKWELL_X11_WARP
    GTEST_SKIP() << "built without Xlib's development files: no pointer warp";
#else
    RunWarpedOntoQuit("before", "focus gained\nwait 40\nshot before\n");
    ExpectCleanLog();
    const Picture before = Shot("before");
    const Picture warped = Shot("warped");
    ASSERT_EQ(before.mWidth, 800u) << "no shot was taken";
    ASSERT_EQ(warped.mWidth, 800u) << "no shot after the warp";
    ExpectMatchesGolden(Crop(warped, 320, 507, 160, 80), "x11_warped_pointer_on_quit.png");
    // Where the arrow was (the screen's middle, picture point (400, 300)): the menu alone.
    ExpectMatchesGolden(Crop(warped, 380, 280, 60, 60), "x11_warped_pointer_left.png");
    EXPECT_LT(Alike(Crop(before, 380, 280, 60, 60), Crop(warped, 380, 280, 60, 60)), 99.0)
        << "the arrow was not there before the warp";
#endif
}

// A script that moved the pointer (onto "Credits") lets the real pointer go: once another program
// warps it onto "Quit", the drawn arrow follows it there and a click acts there, not where the
// script left it.
TEST_F(X11Test, TheRealPointerTakesOverFromAScriptThatMovedIt)
{
#ifndef MURKWELL_X11_WARP
    GTEST_SKIP() << "built without Xlib's development files: no pointer warp";
#else
    RunWarpedOntoQuit("moved", "focus gained\nwait 40\nmove 400 492\nwait 10\nshot moved\n");
    EXPECT_EQ(TraceLines(mOutput), (std::vector<std::string>{"start", "menu"}));
    const Picture moved = Shot("moved");
    const Picture warped = Shot("warped");
    ASSERT_EQ(moved.mWidth, 800u) << "no shot was taken";
    ASSERT_EQ(warped.mWidth, 800u) << "no shot after the warp";
    // The arrow's corners: the script's point on "Credits", the warp's on "Quit".
    EXPECT_LT(Alike(Crop(moved, 395, 487, 30, 40), Crop(warped, 395, 487, 30, 40)), 90.0)
        << "the drawn arrow stayed where the script put it";
    EXPECT_LT(Alike(Crop(moved, 395, 542, 30, 40), Crop(warped, 395, 542, 30, 40)), 90.0)
        << "no drawn arrow where the real pointer is";
#endif
}

// An input line clicking picture point `point` ("x y").
std::string ClickAt(const char* point)
{
    return std::string("click ") + point + "\n";
}

// A quick hand in a real window takes the candle from the strip and lights the desk with it: the
// press that drops it comes with the pointer's arrival over the desk, and uses it there.
TEST_F(X11Test, AnObjectUsedFromTheStripOnArrivalIsUsed)
{
#ifndef MURKWELL_X11_PRESS
    GTEST_SKIP() << "built without libXtst's development files: no presses with the arrival";
#else
    PressOnArrivalInTheObservatory(ClickAt(kCandle) + "wait 120\n", {kStripOne, kDesk});
    ExpectCleanLog();
    const Picture ready = Shot("ready");
    const Picture after = Shot("after");
    for (const Picture* shot : {&ready, &after})
        ASSERT_EQ(shot->mWidth, 800u) << "a shot was not taken";
    // The candle left the strip's slot (sent back, it would lie there again) and lights the desk.
    const auto slot = [](const Picture& shot) { return Crop(shot, 346, 520, 60, 60); };
    EXPECT_LT(Alike(slot(after), slot(ready)), 90.0) << "the candle went back to the strip";
    ExpectMatchesGolden(Crop(after, 180, 220, 240, 240), "observatory_desk_lit.png");
#endif
}

// A quick hand in a real window reads the scroll: each symbol pressed as the lens arrives over it
// counts, and the five in order solve it (the lens then lies in the Observatory to be found).
TEST_F(X11Test, TheScrollPressedOnArrivalAtEachSymbolIsSolved)
{
#ifndef MURKWELL_X11_PRESS
    GTEST_SKIP() << "built without libXtst's development files: no presses with the arrival";
#else
    PressOnArrivalInTheObservatory(
        ClickAt(kCandle) + "wait 120\n" + ClickAt(kStripOne) + "wait 5\nmove " + kDesk +
            "\nwait 5\n" + ClickAt(kDesk) + "wait 120\nshot lit\n" + ClickAt(kScroll) +
            "wait 120\n",
        std::vector<const char*>(std::begin(kScrollAnswers), std::end(kScrollAnswers)));
    ExpectCleanLog();
    const Picture lit = Shot("lit");
    const Picture after = Shot("after");
    for (const Picture* shot : {&lit, &after})
        ASSERT_EQ(shot->mWidth, 800u) << "a shot was not taken";
    // Back in the Observatory (the burst's last sparks fading over it), the lens on the shelf
    // where there was none.
    EXPECT_GE(Alike(Crop(after, 500, 0, 300, 120), Crop(lit, 500, 0, 300, 120)), 90.0)
        << "the scroll was not solved";
    EXPECT_LT(Alike(Crop(after, 120, 170, 60, 60), Crop(lit, 120, 170, 60, 60)), 90.0)
        << "no lens came";
#endif
}

// A shot asked for while the X server keeps the game from presenting (another program holds the
// keyboard focus: full screen, the game pauses and presents nothing until it is back) waits for
// the next presented frame, however long the server takes: the script's next line acts only after
// it. The pause dialog is what it shows.
TEST_F(X11Test, AShotWaitsForItsFrameWhileTheXServerHoldsTheFramesBack)
{
#ifndef MURKWELL_X11_FOCUS
    GTEST_SKIP() << "built without Xlib's development files: no stolen focus";
#else
    const std::string away =
        std::string(MURKWELL_X11_FOCUS) + " " + (mRoot / "before.png").string() + " 1500";
    const std::string script =
        "focus gained\nwait 40\nshot before\nawait pause 60000\nshot paused\nclose\n";
    EXPECT_EQ(RunInX(script, "&start=scripts/dev/location.lua", away), 0) << mOutput;
    EXPECT_EQ(TraceLines(mOutput), (std::vector<std::string>{"start", "pause"}));
    EXPECT_EQ(mOutput.find("no frame presented"), std::string::npos) << mOutput;
    const Picture before = Shot("before");
    const Picture paused = Shot("paused");
    ASSERT_EQ(before.mWidth, 800u) << "no shot was taken";
    ASSERT_EQ(paused.mWidth, 800u) << "no shot while the focus was away";
    EXPECT_LT(Alike(before, paused), 90.0) << "the pause dialog is not in the shot";
#endif
}

// The start as the player sees it, with a window manager: the screen (painted white behind the
// windows) shows nothing of the game, then the game's full-screen window, never a window of
// another shape on the way (a grab with white blocks beside the window's).
TEST_F(X11Test, TheWindowOpensFullScreenWithNoOtherShapeShownFirst)
{
#ifndef MURKWELL_X11_GRAB
    GTEST_SKIP() << "built without Xlib's development files: no screen grabs";
#else
    // The window manager runs and the grabs have begun before the program starts.
    const std::vector<Grid> all =
        RunGrabbed("focus gained\nwait 40\nshot menu\nclose\n", "/dev/null", "menu");
    ASSERT_GT(all.size(), 2u) << "the screen was not grabbed";
    std::string mixed;
    std::vector<size_t> whites;
    for (size_t i = 0; i < all.size(); ++i)
    {
        size_t white = 0;
        for (size_t block = 0; block < kGridColumns * kGridRows; ++block)
            white += all[i][block * 3] == 255 && all[i][block * 3 + 1] == 255 &&
                     all[i][block * 3 + 2] == 255;
        whites.push_back(white);
        if (white != 0 && white != kGridColumns * kGridRows)
            mixed += " " + std::to_string(i) + " (" + std::to_string(white) + " white)";
    }
    EXPECT_EQ(whites.front(), kGridColumns * kGridRows) << "the window showed before the grabs";
    EXPECT_EQ(whites.back(), 0u) << "the window does not cover the screen";
    EXPECT_EQ(mixed, "") << "grabs with a window of another shape, of " << all.size();
#endif
}

// The blocks of the screen's middle (rows 3 to 20, columns 4 to 27) that the Alt+Enter test
// compares: inside the window wherever it stands.
constexpr size_t kMiddleTop = 3;
constexpr size_t kMiddleBottom = 20;
constexpr size_t kMiddleLeft = 4;
constexpr size_t kMiddleRight = 27;

// Whether a grab's block is black (a window not drawn yet).
bool IsBlack(const Grid& grab, size_t at)
{
    return grab[at] <= 10 && grab[at + 1] <= 10 && grab[at + 2] <= 10;
}

// A windowed shot (B, G, R, A bytes) as the screen shows it unscaled with the picture's corner at
// a screen point: how far a grab's middle blocks lie from it. Summed over the picture's
// rectangles, so that each place costs a pass over the blocks, not over the pixels.
class PlacedShot
{
public:
    explicit PlacedShot(const Picture& shot) : mWidth(shot.mWidth), mHeight(shot.mHeight)
    {
        mSums.assign(size_t(mWidth + 1) * (mHeight + 1) * 3, 0);
        for (uint32_t y = 0; y < mHeight; ++y)
            for (uint32_t x = 0; x < mWidth; ++x)
                for (size_t c = 0; c < 3; ++c)
                    Sum(x + 1, y + 1, c) = Sum(x, y + 1, c) + Sum(x + 1, y, c) - Sum(x, y, c) +
                                           shot.mPixels[(size_t(y) * mWidth + x) * 4 + 2 - c];
    }

    // The mean difference per channel of the grab's middle blocks that lie wholly inside the
    // picture at corner (x, y) from the picture's, black blocks left out (a window drawn part way);
    // 255 when fewer than half of the middle blocks are such.
    double Distance(const Grid& grab, int x, int y) const
    {
        double sum = 0;
        size_t compared = 0;
        for (size_t row = kMiddleTop; row <= kMiddleBottom; ++row)
            for (size_t column = kMiddleLeft; column <= kMiddleRight; ++column)
            {
                const int left = int(column * 32) - x;
                const int top = int(row * 32) - y;
                const size_t at = (row * kGridColumns + column) * 3;
                if (left < 0 || top < 0 || left + 32 > int(mWidth) || top + 32 > int(mHeight) ||
                    IsBlack(grab, at))
                    continue;
                ++compared;
                for (size_t c = 0; c < 3; ++c)
                {
                    const uint64_t block = Sum(left + 32, top + 32, c) - Sum(left, top + 32, c) -
                                           Sum(left + 32, top, c) + Sum(left, top, c);
                    sum += std::abs(int(grab[at + c]) - int(block / (32 * 32)));
                }
            }
        const size_t middle = (kMiddleBottom - kMiddleTop + 1) * (kMiddleRight - kMiddleLeft + 1);
        return compared * 2 < middle ? 255.0 : sum / double(compared * 3);
    }

    // The corner, near the screen's middle, where the grab lies nearest the picture, and how near:
    // every fourth point first, then each point around the nearest of them.
    std::pair<std::pair<int, int>, double> Nearest(const Grid& grab) const
    {
        std::pair<int, int> best{0, 0};
        double nearest = 256;
        for (int y = 48; y <= 144; y += 4)
            for (int x = 64; x <= 160; x += 4)
                if (const double distance = Distance(grab, x, y); distance < nearest)
                {
                    nearest = distance;
                    best = {x, y};
                }
        const std::pair<int, int> around = best;
        for (int y = around.second - 3; y <= around.second + 3; ++y)
            for (int x = around.first - 3; x <= around.first + 3; ++x)
                if (const double distance = Distance(grab, x, y); distance < nearest)
                {
                    nearest = distance;
                    best = {x, y};
                }
        return {best, nearest};
    }

private:
    uint64_t& Sum(uint32_t x, uint32_t y, size_t c)
    {
        return mSums[(size_t(y) * (mWidth + 1) + x) * 3 + c];
    }
    uint64_t Sum(int x, int y, size_t c) const
    {
        return mSums[(size_t(y) * (mWidth + 1) + size_t(x)) * 3 + c];
    }

    uint32_t mWidth;
    uint32_t mHeight;
    std::vector<uint64_t> mSums;
};

// Where the window stands once it settled, found by the game's own shot in it: of the places where
// grabs show `placed` (grabs like `skip`, the full screen, left out), the one most grabs show, the
// later on a tie; answers that place's grab nearest the shot and the place as a text, or nothing
// when no grab showed the shot. However few grabs a loaded machine took, each is judged.
std::optional<size_t> SettledGrab(const std::vector<Grid>& all, const PlacedShot& placed,
                                  const Grid* skip, std::string& where)
{
    struct Place
    {
        std::pair<int, int> corner;
        size_t grabs = 0;
        size_t last = 0;
        // The grab nearest the shot there.
        size_t nearest = 0;
        double distance = 256;
    };
    std::vector<Place> places;
    for (size_t i = 0; i < all.size(); ++i)
    {
        if (skip != nullptr && GridDistance(all[i], *skip) < kLikeShot)
            continue;
        double distance = 256;
        auto known = std::find_if(places.begin(), places.end(),
                                  [&](const Place& p)
                                  {
                                      distance =
                                          placed.Distance(all[i], p.corner.first, p.corner.second);
                                      return distance < kLikeShot;
                                  });
        if (known == places.end())
        {
            const auto [corner, nearest] = placed.Nearest(all[i]);
            if (nearest >= kLikeShot)
                continue;
            distance = nearest;
            known = places.insert(places.end(), Place{corner});
        }
        ++known->grabs;
        known->last = i;
        if (distance < known->distance)
        {
            known->distance = distance;
            known->nearest = i;
        }
    }
    where = "nowhere";
    if (places.empty())
        return std::nullopt;
    const Place& stood =
        *std::max_element(places.begin(), places.end(),
                          [](const Place& a, const Place& b)
                          { return a.grabs != b.grabs ? a.grabs < b.grabs : a.last < b.last; });
    where = std::to_string(stood.corner.first) + ", " + std::to_string(stood.corner.second) + " (" +
            std::to_string(stood.grabs) + " grabs)";
    return stood.nearest;
}

// Alt+Enter to a window and back, with a window manager: while the window changes shape the screen
// shows black (or the background), never a picture where neither the window nor the full screen
// shows it (the full-screen picture cut off in a titled window, a picture beside the old one).
// Blocks of the screen's middle are compared with the full screen's shot and with the settled
// window: a grab that shows the game's own shot in the window where the window stands (of the
// places where grabs show it, the one most grabs show, the later on a tie). A loaded machine grabs
// less often: the test judges every grab it has, however few, and asks no number of them beyond
// one; where no grab showed the window, every grab must show the full screen, black or the
// background.
TEST_F(X11Test, AltEnterShowsNoPictureOutOfPlaceWhileTheWindowChangesShape)
{
#ifndef MURKWELL_X11_GRAB
    GTEST_SKIP() << "built without Xlib's development files: no screen grabs";
#else
    const std::vector<Grid> all =
        RunGrabbed("focus gained\nwait 40\nshot before\nkey 13 alt\nwait 60\nshot windowed\n"
                   "key 13 alt\nwait 60\nshot full\nclose\n",
                   (mRoot / "before.png").string(), "full");
    const Picture full = Shot("full");
    const Picture windowedShot = Shot("windowed");
    ASSERT_EQ(full.mWidth, 800u) << "no shot full screen";
    ASSERT_EQ(windowedShot.mWidth, 800u) << "no shot in the window";
    const Grid fullGrid = GridOf(full);
    ASSERT_FALSE(all.empty()) << "the screen was not grabbed";
    const PlacedShot placed(windowedShot);
    std::string place;
    const std::optional<size_t> stood = SettledGrab(all, placed, &fullGrid, place);
    std::optional<Grid> windowed;
    if (stood)
        windowed = all[*stood];
    std::string broken;
    for (size_t i = 0; i < all.size(); ++i)
    {
        size_t misplaced = 0;
        for (size_t row = kMiddleTop; row <= kMiddleBottom; ++row)
            for (size_t column = kMiddleLeft; column <= kMiddleRight; ++column)
            {
                const size_t at = (row * kGridColumns + column) * 3;
                bool white = true;
                int fromFull = 0;
                int fromWindowed = windowed ? 0 : 255 * 3;
                for (size_t c = 0; c < 3; ++c)
                {
                    const int seen = all[i][at + c];
                    white = white && seen == 255;
                    fromFull += std::abs(seen - int(fullGrid[at + c]));
                    if (windowed)
                        fromWindowed += std::abs(seen - int((*windowed)[at + c]));
                }
                misplaced += !IsBlack(all[i], at) && !white && fromFull > 24 && fromWindowed > 24;
            }
        if (misplaced > 40)
            broken += " " + std::to_string(i) + " (" + std::to_string(misplaced) + ")";
    }
    EXPECT_EQ(broken, "") << "grabs with a picture out of place, of " << all.size()
                          << "; the window's picture seen at " << place;
#endif
}

// Whether a grab's block is the screen's white background, and the rectangle (columns and rows,
// inclusive) of the blocks that are not: the window with its frame; empty for a blank screen.
bool IsWhite(const Grid& grab, size_t row, size_t column)
{
    const size_t at = (row * kGridColumns + column) * 3;
    return grab[at] == 255 && grab[at + 1] == 255 && grab[at + 2] == 255;
}

struct BlockBox
{
    size_t left = kGridColumns;
    size_t top = kGridRows;
    size_t right = 0;
    size_t bottom = 0;
    bool operator==(const BlockBox&) const = default;
};

BlockBox WindowBlocks(const Grid& grab)
{
    BlockBox box;
    for (size_t row = 0; row < kGridRows; ++row)
        for (size_t column = 0; column < kGridColumns; ++column)
            if (!IsWhite(grab, row, column))
            {
                box.left = std::min(box.left, column);
                box.top = std::min(box.top, row);
                box.right = std::max(box.right, column);
                box.bottom = std::max(box.bottom, row);
            }
    return box;
}

// The first Alt+Enter of a game that started full screen, with a window manager: from the full
// screen the window goes to the place where it stays, never resting somewhere else first (an
// empty window at the screen's corner that then jumps to the middle: some 0.3 s). Where it stays
// is where the grabs show the game's own shot in the window (the place most grabs show it), not
// the last grab. Every grab the machine took is judged, however few: none shows the window of its
// settled size at the screen's corner, and none shows it elsewhere once it was seen where it stays.
// At times the manager restores the shape the window was first shown in (the screen's, as a window,
// at the corner) after the game's request; the game says so and moves it back as soon as its new
// display draws: only a stay the game said it undid may last, up to the second it watches for one.
TEST_F(X11Test, TheFirstAltEnterShowsTheWindowWhereItStays)
{
#ifndef MURKWELL_X11_GRAB
    GTEST_SKIP() << "built without Xlib's development files: no screen grabs";
#else
    const std::vector<Grid> all = RunGrabbed(
        "focus gained\nwait 40\nshot before\nkey 13 alt\nwait 60\nshot windowed\nclose\n",
        (mRoot / "before.png").string(), "windowed");
    const Picture windowedShot = Shot("windowed");
    ASSERT_EQ(windowedShot.mWidth, 800u) << "no shot in the window";
    ASSERT_FALSE(all.empty()) << "the screen was not grabbed";
    const std::vector<long> times = ReadGrabTimes(mRoot / "grabs");
    ASSERT_GE(times.size() + 1, all.size()) << "the grabs' times were not written";
    std::string place;
    const std::optional<size_t> stood = SettledGrab(all, PlacedShot(windowedShot), nullptr, place);
    const std::optional<BlockBox> settled =
        stood ? std::optional<BlockBox>(WindowBlocks(all[*stood])) : std::nullopt;
    if (settled)
    {
        EXPECT_GT(settled->left, 0u) << "the window stays in the screen's corner, at " << place;
    }
    std::string cornered;
    std::string after;
    std::string elsewhere;
    long longest = 0;
    size_t from = 0;
    bool away = false;
    bool seenSettled = false;
    for (size_t i = 0; i < std::min(all.size(), times.size()); ++i)
    {
        const BlockBox box = WindowBlocks(all[i]);
        const bool fullScreen = box == BlockBox{0, 0, kGridColumns - 1, kGridRows - 1} &&
                                !IsWhite(all[i], 0, 0) && !IsWhite(all[i], kGridRows - 1, 0);
        const bool there = settled && box == *settled;
        const bool now = !fullScreen && box.left <= box.right && !there;
        seenSettled = seenSettled || there;
        const std::string seen = " " + std::to_string(i) + " at " + std::to_string(times[i]) +
                                 " ms (" + std::to_string(box.left) + ", " +
                                 std::to_string(box.top) + " to " + std::to_string(box.right) +
                                 ", " + std::to_string(box.bottom) + ")";
        if (now)
            elsewhere += seen;
        // The window of its settled size in the screen's corner: the shapes on the way from the
        // full screen, which the manager passes through, are of other sizes.
        if (now && settled && box.left == 0 && box.top == 0 &&
            box.right - box.left == settled->right - settled->left &&
            box.bottom - box.top == settled->bottom - settled->top)
            cornered += seen;
        if (now && seenSettled)
            after += seen;
        from = now && !away ? i : from;
        // Seen elsewhere from its first grab until the grab that no longer shows it there.
        if (away && !now)
            longest = std::max(longest, times[i] - times[from]);
        away = now;
    }
    if (away)
        longest = std::max(longest, times.back() - times[from]);
    const bool undone =
        ReadFile(LogFile()).find("The window manager put the window at ") != std::string::npos;
    if (undone)
    {
        EXPECT_LT(longest, 1000) << "the window rested elsewhere, of " << all.size()
                                 << " grabs:" << elsewhere;
    }
    else
    {
        EXPECT_EQ(cornered, "") << "grabs with the window in the screen's corner, of " << all.size()
                                << " (it stays at " << place << "); elsewhere:" << elsewhere;
        EXPECT_EQ(after, "") << "grabs with the window elsewhere after it stood where it stays, of "
                             << all.size() << " (at " << place << "); elsewhere:" << elsewhere;
    }
#endif
}

// The first Alt+Enter of a game that started full screen, with a window manager, in several
// processes (the window manager's own restore of the window's first place, the screen's corner,
// came after the game's request in about half of them): the window settles where the switches
// after it put it, never in the screen's corner.
TEST_F(X11Test, TheFirstAltEnterPlacesTheWindowWhereLaterSwitchesDo)
{
#ifndef MURKWELL_X11_GRAB
    GTEST_SKIP() << "built without Xlib's development files: no screen grabs";
#else
    for (int run = 1; run <= 3; ++run)
    {
        // A full-screen start each time: no choice kept, no shots of the run before.
        fs::remove_all(mRoot / "data");
        for (const char* shot : {"before.png", "first.png", "second.png"})
            fs::remove(mRoot / shot);
        const std::vector<Grid> all = RunGrabbed(
            "focus gained\nwait 40\nshot before\nkey 13 alt\nwait 60\nshot first\nkey 13 alt\n"
            "wait 60\nkey 13 alt\nwait 60\nshot second\nclose\n",
            (mRoot / "before.png").string(), "second");
        ASSERT_GT(all.size(), 3u) << "the screen was not grabbed, run " << run;
        // Each stay in a window (grabs between two full screens) by where the window rested
        // longest; the shapes on the way in and out pass in a grab or two.
        std::vector<BlockBox> settled;
        std::string seen;
        size_t longest = 0;
        size_t resting = 0;
        bool inWindow = false;
        for (size_t i = 0; i < all.size(); ++i)
        {
            const BlockBox box = WindowBlocks(all[i]);
            const bool fullScreen = box == BlockBox{0, 0, kGridColumns - 1, kGridRows - 1} &&
                                    !IsWhite(all[i], 0, 0) && !IsWhite(all[i], kGridRows - 1, 0);
            if (fullScreen || box.left > box.right)
            {
                inWindow = false;
                continue;
            }
            seen += " (" + std::to_string(box.left) + ", " + std::to_string(box.top) + ")";
            if (!inWindow)
            {
                settled.push_back(box);
                longest = 0;
            }
            resting = inWindow && box == WindowBlocks(all[i - 1]) ? resting + 1 : 1;
            if (resting > longest)
            {
                longest = resting;
                settled.back() = box;
            }
            inWindow = true;
        }
        ASSERT_GE(settled.size(), 2u) << "two switches to a window were not seen, run " << run;
        EXPECT_EQ(settled.front(), settled.back()) << "run " << run << ", windows at" << seen;
        EXPECT_GT(settled.front().left, 0u) << "the first window is in the corner, run " << run;
    }
#endif
}

// Window to full screen with the real pointer resting on the picture (put there by another
// program): from the switch on, every frame draws the game's arrow where the full screen shows the
// pointer's picture point, or none, never at the pointer's unscaled point, as the first frames of
// the new shape did before its picture was fitted. The dev location's wall shows no other white.
TEST_F(X11Test, ASwitchToFullScreenDrawsTheCursorOnlyWhereTheNewShapeShowsIt)
{
#ifndef MURKWELL_X11_WARP
    GTEST_SKIP() << "built without Xlib's development files: no pointer warp";
#else
    const std::string warp =
        std::string(MURKWELL_X11_WARP) + " " + (mRoot / "shown.png").string() + " 313 254";
    const std::string script =
        "focus gained\nwait 40\nkey 13 alt\nwait 60\nshot shown\nwait 200\nshot placed\n"
        "key 13 alt\nshot s1\nshot s2\nshot s3\nshot s4\nwait 60\nshot settled\nclose\n";
    EXPECT_EQ(RunInX(script, "&start=scripts/dev/location.lua", warp,
                     "openbox & " + std::string(MURKWELL_X11_WM)),
              0)
        << mOutput;
    // The white pixels of the arrow's fill, left of the pause button and above the HUD.
    auto white = [](const Picture& shot)
    {
        std::vector<std::pair<uint32_t, uint32_t>> points;
        for (uint32_t y = 0; y < 480; ++y)
            for (uint32_t x = 0; x < 700; ++x)
            {
                const std::vector<int> p = At(shot, x, y);
                if (std::min({p[0], p[1], p[2]}) > 200)
                    points.emplace_back(x, y);
            }
        return points;
    };
    const Picture settled = Shot("settled");
    ASSERT_EQ(settled.mWidth, 800u) << "no shot settled";
    const auto arrow = white(settled);
    ASSERT_FALSE(arrow.empty()) << "no drawn arrow once settled";
    uint32_t left = 800, top = 600, right = 0, bottom = 0;
    for (const auto& [x, y] : arrow)
    {
        left = std::min(left, x);
        top = std::min(top, y);
        right = std::max(right, x);
        bottom = std::max(bottom, y);
    }
    for (const char* name : {"placed", "s1", "s2", "s3", "s4"})
    {
        const Picture shot = Shot(name);
        ASSERT_EQ(shot.mWidth, 800u) << "no shot " << name;
        size_t elsewhere = 0;
        for (const auto& [x, y] : white(shot))
            elsewhere += x + 2 < left || x > right + 2 || y + 2 < top || y > bottom + 2;
        EXPECT_EQ(elsewhere, 0u) << name << ": the arrow away from the pointer's picture point";
    }
#endif
}

// A start in a window (the choice kept from the run before), with a window manager: the window is
// black from the moment it shows until the title card, never showing what lay behind it (here the
// screen's white background inside the window's frame). Between the window's showing and its
// first black a grab or two may fall; the fault showed for tenths of a second.
TEST_F(X11Test, AWindowedStartShowsNothingOfWhatLayBehindTheWindow)
{
#ifndef MURKWELL_X11_GRAB
    GTEST_SKIP() << "built without Xlib's development files: no screen grabs";
#else
    ASSERT_EQ(RunInX("focus gained\nwait 40\nkey 13 alt\nwait 60\nclose\n",
                     "&start=scripts/mainmenu.lua"),
              0)
        << mOutput;
    const std::vector<Grid> all =
        RunGrabbed("focus gained\nwait 40\nshot menu\nclose\n", "/dev/null", "menu");
    ASSERT_GT(all.size(), 2u) << "the screen was not grabbed";
    const BlockBox settled = WindowBlocks(all.back());
    ASSERT_GT(settled.left, 0u) << "the game did not start in a window";
    ASSERT_LT(settled.left + 4, settled.right);
    ASSERT_LT(settled.top + 4, settled.bottom);
    // Frame shown (its title bar, the window's top row of blocks) and the blocks wholly inside the
    // window white.
    std::string stale;
    for (size_t i = 0; i < all.size(); ++i)
    {
        bool framed = false;
        for (size_t column = settled.left + 1; column < settled.right; ++column)
            framed = framed || !IsWhite(all[i], settled.top, column);
        size_t white = 0;
        size_t inside = 0;
        for (size_t row = settled.top + 2; row < settled.bottom; ++row)
            for (size_t column = settled.left + 1; column < settled.right; ++column, ++inside)
                white += IsWhite(all[i], row, column);
        if (framed && white * 2 > inside)
            stale += " " + std::to_string(i);
    }
    EXPECT_LE(std::count(stale.begin(), stale.end(), ' '), 2)
        << "grabs showing what lay behind the window, of " << all.size() << ":" << stale;
#endif
}

// The game going from screen to screen as the player sees it: from the first location over the
// map to the cut-scene, from the cut-scene to the second location, and over the map to the Crypt
// (the first two locations by their stand-in, whose "Continue" completes them). The main menu
// lies under every screen of the game; grabs of the X screen every 10 ms from the first location
// to the Crypt find none like it, while the Crypt is seen.
TEST_F(X11Test, TheGamesScreensFollowOneAnotherWithoutTheMenuBetween)
{
#ifndef MURKWELL_X11_GRAB
    GTEST_SKIP() << "built without Xlib's development files: no screen grabs";
#else
    mGame = CopyEdited("scripts/game.lua", "scripts/locations/(gatehouse|observatory)\\.lua",
                       "scripts/locations/standin.lua");
    const std::string grab = std::string(MURKWELL_X11_GRAB) + " " +
                             (mRoot / "standin.png").string() + " " +
                             (mRoot / "crypt.png").string() + " " + (mRoot / "grabs").string();
    // The menu, a new player "Ann", the first location; its "Continue", the journey, the
    // cut-scene (its first cell cut short), the second location; its "Continue", the journey and
    // the Crypt.
    const std::string script = "focus gained\nawait menu\nwait 40\nshot menu\n" +
                               ClickLine(menupoints::kPlay) +
                               "wait 60\ntext Ann\nwait 10\nclick 400 276\n"
                               "await \"location 0\"\nwait 80\nshot standin\nclick 400 322\n" +
                               kSkipStory +
                               "await \"location 1\"\nwait 80\nclick 400 322\n"
                               "await \"location 2\"\nwait 200\nshot crypt\nclose\n";
    EXPECT_EQ(RunInX(script, "", grab), 0) << mOutput;
    EXPECT_EQ(TraceLines(mOutput),
              (std::vector<std::string>{"start", "menu", "profile Ann", "record 0 0", "location 0",
                                        "complete 0", "map", "story", "location 1", "complete 1",
                                        "map", "location 2"}));
    ExpectCleanLog();
    const Picture menu = Shot("menu");
    const Picture crypt = Shot("crypt");
    for (const Picture* shot : {&menu, &crypt})
        ASSERT_EQ(shot->mWidth, 800u) << "a shot was not taken";
    // The grabs start at the first location's shot, whenever the grabber sees it; the Crypt shows
    // for 200 frames before the last shot ends them.
    const std::vector<Grid> grabs = ReadGrabs(mRoot / "grabs");
    ASSERT_GT(grabs.size(), 10u) << "the screen was not grabbed";
    const Grid menuGrid = GridOf(menu);
    const Grid cryptGrid = GridOf(crypt);
    std::string likeMenu;
    double nearestCrypt = 255;
    for (size_t i = 0; i < grabs.size(); ++i)
    {
        if (GridDistance(grabs[i], menuGrid) < kLikeShot)
            likeMenu += " " + std::to_string(i);
        nearestCrypt = std::min(nearestCrypt, GridDistance(grabs[i], cryptGrid));
    }
    EXPECT_EQ(likeMenu, "") << "grabs like the menu, of " << grabs.size();
    EXPECT_LT(nearestCrypt, kLikeShot) << "the Crypt was not seen";
#endif
}

#ifdef MURKWELL_X11_GRAB
// The processes started under `ancestor` (its children, theirs...), from /proc.
std::vector<int> DescendantsOf(int ancestor)
{
    std::vector<std::pair<int, int>> parents; // (pid, parent pid)
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator("/proc", ignored))
    {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        // "pid (name) state ppid ...": the name may hold blanks and parentheses.
        const std::string stat = ReadFile(entry.path() / "stat");
        const size_t close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(stat.substr(close + 1));
        std::string state;
        int parent = 0;
        if (rest >> state >> parent)
            parents.emplace_back(std::stoi(name), parent);
    }
    std::vector<int> found{ancestor};
    for (size_t i = 0; i < found.size(); ++i)
        for (const auto& [pid, parent] : parents)
            if (parent == found[i])
                found.push_back(pid);
    found.erase(found.begin());
    return found;
}

// The README's lines that watch the play-through in a window, run as they are written, from the
// repository's folder (the program they name is this tree's): the whole play-through plays in a
// window (grabbed after its last shot: the screen's white background beside the window's frame)
// and the game is still running once the script is done, until it is asked to end (then with
// status 0). It takes minutes under the sanitizers: it runs in the optimised tree only.
TEST_F(X11Test, TheReadmesPlayThroughPlaysInAWindowAndLeavesTheGameRunning)
{
    const std::string readme = ReadFile(mRepository / "README.md");
    size_t at = readme.find("To watch it in a window");
    ASSERT_NE(at, std::string::npos) << "the README says no more how to watch the play-through";
    at = readme.find("\n\n    ", at);
    ASSERT_NE(at, std::string::npos);
    at += 2;
    std::string lines = readme.substr(at, readme.find("\n\n", at) - at);
    const std::string named = "build/release/murkwell";
    const size_t program = lines.find(named);
    ASSERT_NE(program, std::string::npos) << lines;
    lines.replace(program, named.size(), MURKWELL_PROGRAM);

    const fs::path temporary = mRoot / "tmp";
    const fs::path grabs = mRoot / "grabs";
    const fs::path stop = mRoot / "stop";
    const fs::path code = mRoot / "code";
    fs::create_directories(temporary);
    std::vector<std::string> env = mEnv;
    std::erase_if(env, [](const std::string& e) { return e.starts_with("SDL_VIDEODRIVER="); });
    env.insert(env.end(),
               {"SDL_VIDEODRIVER=x11", "TMPDIR=" + temporary.string(),
                "MW_OUTPUT=" + (mRoot / "output.txt").string(), "MW_LINES=" + lines,
                "MW_REPOSITORY=" + mRepository.string(), "MW_CODE=" + code.string(),
                "MW_GRAB=" + std::string(MURKWELL_X11_GRAB) + " \"$shot\" " + stop.string() + " " +
                    grabs.string() + " white",
                "MW_WM=openbox & " + std::string(MURKWELL_X11_WM),
                "LSAN_OPTIONS=suppressions=" + (mRepository / "tests/e2e/x11_lsan.supp").string()});
    // Once the play-through's last shot (the menu after the credits) is there, the screen is
    // grabbed until the test has seen enough.
    const int pid = sys::SpawnProcess(
        {"/bin/sh", "-c", "exec \"$0\" \"$@\" >\"$MW_OUTPUT\" 2>&1", mXvfbRun.string(), "-a", "-s",
         "-screen 0 1024x768x24", "/bin/sh", "-c",
         "sh -c \"$MW_WM\"; "
         "(until shot=$(ls \"$TMPDIR\"/*/menu.png 2>/dev/null); do sleep 0.1; done; "
         "eval \"$MW_GRAB\") & "
         "cd \"$MW_REPOSITORY\" && eval \"$MW_LINES\"; echo $? >\"$MW_CODE\""},
        env);
    ASSERT_GT(pid, 0);
    mStarted.push_back(pid);
    // Enough grabs after the last shot for the game to have ended had the script ended it.
    const size_t grabSize = kGridColumns * kGridRows * 3;
    int ended = -1;
    const uint32_t start = LoadTimeMs();
    while (!WaitProcessLoaded(pid, 100, ended) &&
           (!fs::exists(grabs) || fs::file_size(grabs) < 100 * grabSize))
        ASSERT_LT(LoadTimeMs() - start, 30u * 60 * 1000) << "the play-through never ended";
    mOutput = ReadFile(mRoot / "output.txt");
    ASSERT_EQ(ended, -1) << "the run ended by itself with " << ended << ":\n" << mOutput;
    std::vector<int> games;
    const std::vector<int> started = DescendantsOf(pid);
    const std::string game = fs::canonical(MURKWELL_PROGRAM).string();
    for (int descendant : started)
    {
        std::error_code error;
        const std::string exe =
            fs::read_symlink("/proc/" + std::to_string(descendant) + "/exe", error).string();
        if (exe.starts_with(game)) // " (deleted)" after it once the program was built anew
            games.push_back(descendant);
    }
    WriteFile(stop, "");
    // Asked to end, the game ends the run; without it, the X server goes and everything with it.
    for (int process : games.size() == 1 ? games : started)
        sys::SignalProcess(process, false);
    EXPECT_EQ(WaitForEnd(pid), 0);
    ASSERT_EQ(games.size(), 1u) << "the game is not running";
    mOutput = ReadFile(mRoot / "output.txt");
    EXPECT_EQ(ReadFile(code), "0\n") << mOutput;
    const std::vector<std::string> trace = TraceLines(mOutput);
    EXPECT_NE(std::find(trace.begin(), trace.end(), "credits"), trace.end()) << mOutput;
    EXPECT_EQ(std::find(trace.begin(), trace.end(), "quitverify"), trace.end()) << mOutput;
    // Any grab may fall on a picture whose dark edge reads as the screen around it: the run is in
    // a window when grabs show the picture inset, which a full-screen run never does.
    const std::vector<Grid> all = ReadGrabs(grabs);
    ASSERT_FALSE(all.empty());
    const auto inset = std::count_if(all.begin(), all.end(),
                                     [](const Grid& grab)
                                     {
                                         const BlockBox window = WindowBlocks(grab);
                                         return window.left > 0u && window.right < kGridColumns - 1;
                                     });
    EXPECT_GT(inset, 0) << "the play-through is not in a window";
}
#endif

} // namespace
} // namespace e2etest
