// End-to-end runs of the title card's film: it plays in the game's window, frame for frame the
// same on every run; a key ends it as a click does; without the film the card's still shows; a
// film claiming an endless length is refused and the menu comes all the same.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/program_test_support.h"
#include "support/ogg_pages.h"

namespace
{
using namespace e2etest;

using MovieTest = ScreenProgramTest;

// Three frames of the film, from its first half second on.
constexpr const char* kFilmFrames =
    "focus gained\nwait 10\nshot a\nwait 15\nshot b\nwait 15\nshot c\nclose\n";

TEST_F(MovieTest, TheFilmPlaysTheSameOnEveryRun)
{
    std::vector<Picture> first;
    for (int run = 0; run < 2; ++run)
    {
        EXPECT_EQ(RunClean(mRepository, kFilmFrames, ""), Traces{"start"});
        for (int i = 0; i < 3; ++i)
        {
            const Picture shot = Shot(std::string(1, char('a' + i)));
            ASSERT_EQ(shot.mWidth, 800u) << i;
            if (run == 0)
                first.push_back(shot);
            else
                EXPECT_TRUE(shot.mPixels == first[i].mPixels) << i << ": two runs differ";
        }
    }
    // The light swells: each frame is brighter at the lantern than the one before.
    auto light = [](const Picture& p) { return p.mPixels[(size_t(280) * 800 + 300) * 4 + 2]; };
    EXPECT_LT(light(first[0]), light(first[1]));
    EXPECT_LT(light(first[1]), light(first[2]));
}

// A key ends the film (as a click does), a key the publisher's stage and a click the studio's: the
// menu is up as soon as when the still card was skipped.
TEST_F(MovieTest, AKeyEndsTheFilm)
{
    EXPECT_EQ(RunClean(mRepository,
                       "focus gained\nwait 20\nkey 32\nwait 20\nkey 32\nwait 40\n"
                       "click 400 300\nwait 60\nshot menu\nclose\n",
                       ""),
              (Traces{"start", "menu"}));
    ExpectMatchesGolden(Shot("menu"), "front_menu.png");
}

TEST_F(MovieTest, WithoutTheFilmTheStillCardShows)
{
    const fs::path game = CopyGame("content");
    fs::remove_all(game / "assets/movies");
    EXPECT_EQ(RunOk(game, "focus gained\nwait 40\nshot card\nclose\n", ""), Traces{"start"});
    ExpectMatchesGolden(Shot("card"), "front_card_still.png");
}

// The card's film claiming one frame in 136 years, a sound of 1 Hz, or positions near 2^63: each
// is refused with one line, and with no input the menu comes within what the intact film and the
// splash take (under 420 polls).
TEST_F(MovieTest, AFilmClaimingAnEndlessLengthIsRefusedAndTheMenuComes)
{
    using namespace testsupport;
    const std::string film = ReadFile(mRepository / "assets/movies/intro.ogv");
    const std::pair<std::string, std::string> cases[] = {
        {WithFrameRate(film, 1, 4294967295u),
         "the frame rate is 1/4294967295 (1 to 1000 frames a second are taken)"},
        {WithSoundRate(film, 1), "the sound's rate is 1 Hz (1000 to 192000 are taken)"},
        {WithFarGranules(film), "the sound claims 9223372036854710308 samples at 22050 Hz"},
    };
    const fs::path game = CopyGame("damaged");
    for (const auto& [bytes, reason] : cases)
    {
        SCOPED_TRACE(reason);
        ASSERT_NE(bytes, film);
        WriteFile(game / "assets/movies/intro.ogv", bytes);
        EXPECT_EQ(RunOk(game, "focus gained\nawait menu 420\nclose\n", ""),
                  (Traces{"start", "menu"}));
        ExpectLogged("TMovieHost::Play: movies/intro.ogv not played: " + reason);
    }
}

} // namespace
