// End-to-end runs of the development location: it opens on a fixed step and its "leave" button
// ends the program cleanly; its doors lead from one scene to the other and back; a location script
// without its instructions is fatal and the program ends by itself.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "e2e/program_test_support.h"

namespace
{
using namespace e2etest;
using Traces = std::vector<std::string>;

class LocationTest : public ScreenProgramTest
{
protected:
    // The colour (blue, green, red) of a shot's upper half, which tells the scenes apart.
    std::vector<int> Sky(const char* shot)
    {
        const Picture picture = ReadPicture(mRoot / (std::string(shot) + ".png"));
        if (picture.mWidth < 800)
            return std::vector<int>();
        const size_t at = (size_t(100) * picture.mWidth + 400) * 4;
        return std::vector<int>(picture.mPixels.begin() + static_cast<std::ptrdiff_t>(at),
                                picture.mPixels.begin() + static_cast<std::ptrdiff_t>(at) + 3);
    }
};

TEST_F(LocationTest, TheDevelopmentLocationOpensAndLeaveEndsTheProgram)
{
    int code = -1;
    EXPECT_EQ(RunTraced(mRepository,
                        "focus gained\nwait 30\nshot open\nclick 770 30\nwait 30\nshot late\n",
                        "start=scripts/dev/location.lua", code),
              Traces{"start"});
    EXPECT_EQ(code, 0);
    ExpectCleanLog();
    // Open with its HUD; the click ended the program before the later shot.
    EXPECT_TRUE(fs::exists(mRoot / "open.png"));
    EXPECT_FALSE(fs::exists(mRoot / "late.png"));
}

TEST_F(LocationTest, TheDoorsLeadToTheOtherSceneAndBack)
{
    int code = -1;
    RunTraced(mRepository,
              "focus gained\nwait 40\nshot a\nclick 650 250\nwait 60\nshot b\n"
              "click 70 250\nwait 60\nshot back\nclick 770 30\nwait 10\n",
              "start=scripts/dev/location.lua", code);
    EXPECT_EQ(code, 0);
    ExpectCleanLog();
    EXPECT_EQ(Sky("a"), (std::vector<int>{160, 110, 70}));
    EXPECT_EQ(Sky("b"), (std::vector<int>{60, 90, 150}));
    EXPECT_EQ(Sky("back"), (std::vector<int>{160, 110, 70}));
}

TEST_F(LocationTest, ThreeQuickMissesHoldTheDoorUntilThePenaltyEnds)
{
    int code = -1;
    RunTraced(mRepository,
              "focus gained\nwait 40\nclick 100 100\nwait 2\nclick 120 100\nwait 2\n"
              "click 140 100\nwait 2\nclick 650 250\nwait 40\nshot held\nwait 30\n"
              "click 650 250\nwait 60\nshot through\nclick 770 30\nwait 10\n",
              "start=scripts/dev/location.lua", code);
    EXPECT_EQ(code, 0);
    ExpectCleanLog();
    EXPECT_EQ(Sky("held"), (std::vector<int>{160, 110, 70}));
    EXPECT_EQ(Sky("through"), (std::vector<int>{60, 90, 150}));
}

TEST_F(LocationTest, TheFoundKeyTakenFromTheStripOpensTheChest)
{
    int code = -1;
    RunTraced(mRepository,
              "focus gained\nwait 40\nclick 224 354\nwait 80\nclick 390 560\nwait 5\n"
              "move 410 300\nwait 5\nshot before\nclick 410 300\nwait 20\nshot during\n"
              "wait 60\nshot opened\nclick 770 30\nwait 10\n",
              "start=scripts/dev/location.lua", code);
    EXPECT_EQ(code, 0);
    ExpectCleanLog();
    // The chest's lid: shut and brown before, thrown open afterwards (the sky shows above it).
    const Picture before = ReadPicture(mRoot / "before.png");
    const Picture opened = ReadPicture(mRoot / "opened.png");
    ASSERT_EQ(before.mWidth, 800u);
    ASSERT_EQ(opened.mWidth, 800u);
    const size_t lid = (size_t(270) * 800 + 370) * 4;
    EXPECT_NE(std::vector<uint8_t>(before.mPixels.begin() + lid, before.mPixels.begin() + lid + 3),
              std::vector<uint8_t>(opened.mPixels.begin() + lid, opened.mPixels.begin() + lid + 3));
    EXPECT_NE(ReadFile(mRoot / "during.png"), ReadFile(mRoot / "before.png"));
}

TEST_F(LocationTest, ALocationWithoutInstructionsIsFatalAndTheGameEnds)
{
    const fs::path game = CopyGame("content");
    const fs::path location = game / "assets/scripts/dev/location.lua";
    WriteFile(location, std::regex_replace(ReadFile(location), std::regex("gameplayinstructions ="),
                                           "local unused ="));
    int code = -1;
    RunTraced(game, "focus gained\nwait 60\n", "start=scripts/dev/location.lua", code);
    EXPECT_EQ(code, 0);
    EXPECT_NE(ReadFile(LogFile()).find(
                  "ERROR:Cannot find gameplayinstructions global table!   FILE:gameplay LINE:"),
              std::string::npos)
        << ReadFile(LogFile());
}

} // namespace
