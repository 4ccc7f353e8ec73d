// End-to-end runs of the title card's film: it plays in the game's window, frame for frame the
// same on every run; a key ends it as a click does; without the film the card's still shows.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/program_test_support.h"

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

} // namespace
