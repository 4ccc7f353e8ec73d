// End-to-end runs of the sample game's front end on the repository's content: the card, the splash
// screen and the main menu, waited for and skipped; the quit question on Escape; the credits and
// the pause dialog opened by name; and spoilt copies of the content, none of which may crash.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "e2e/program_test_support.h"

namespace
{
using namespace e2etest;

class FrontEndTest : public ScreenProgramTest
{
protected:
    void RemoveShots(std::initializer_list<const char*> names)
    {
        for (const char* name : names)
            fs::remove(mRoot / (std::string(name) + ".png"));
    }
};

// The first start is full screen on the dummy driver's 1024 x 768 desktop: the script's picture
// points reach the game as the screen points that show them and come back through the same fit,
// so the drawn cursor sits at the point (its arrow one pixel in), not 1.28 times further out.
TEST_F(FrontEndTest, FullScreenTheDrawnCursorIsWhereThePointerIs)
{
    const std::string input = "focus gained\nwait 40\nmove 120 80\nwait 3\nshot a\n"
                              "move 680 540\nwait 3\nshot b\nclose\n";
    RunOk(mRepository, input, "start=scripts/options.lua");
    const Picture a = Shot("a");
    const Picture b = Shot("b");
    ASSERT_EQ(a.mWidth, 800u);
    ASSERT_EQ(b.mWidth, 800u);
    // Where the two shots differ near each point: the cursor, there in one shot only.
    for (const auto& [x, y] : {std::pair{120u, 80u}, std::pair{680u, 540u}})
    {
        uint32_t left = 800, top = 600;
        for (uint32_t row = y - 40; row < y + 60; ++row)
            for (uint32_t col = x - 40; col < x + 60; ++col)
            {
                const size_t at = (size_t(row) * 800 + col) * 4;
                if (std::memcmp(&a.mPixels[at], &b.mPixels[at], 3) != 0)
                {
                    left = std::min(left, col);
                    top = std::min(top, row);
                }
            }
        EXPECT_GE(left, x) << x << "," << y;
        EXPECT_LE(left, x + 3) << x << "," << y;
        EXPECT_GE(top, y) << x << "," << y;
        EXPECT_LE(top, y + 3) << x << "," << y;
    }
}

// The card shows for 1.5 s, the publisher's stage for 1.9 s, the studio's for 3.3 s; the menu
// then fades in. A close request ends the game at once: no question, no later shot.
constexpr const char* kWaitForTheMenu = "focus gained\nwait 40\nshot card\nwait 90\nshot branding\n"
                                        "wait 170\nshot studio\nwait 180\nshot menu\n"
                                        "close\nwait 30\nshot after\n";

TEST_F(FrontEndTest, TheStartShowsCardSplashAndMenuAndACloseEndsIt)
{
    EXPECT_EQ(RunClean(mRepository, kWaitForTheMenu, ""), (Traces{"start", "menu"}));
    EXPECT_FALSE(HasShot("after")) << "the close request did not end the game";
    // The menu's music and the buttons' sounds were preloaded and found.
    EXPECT_EQ(ReadFile(LogFile()).find("No valid sound file found"), std::string::npos);
    for (const char* name : {"card", "branding", "studio", "menu"})
        ExpectMatchesGolden(Shot(name), std::string("front_") + name + ".png");
}

// A click ends the card, a key the publisher's stage and a click the studio's: the menu is up
// within 2.3 s. Escape asks; Escape again while the question is up answers "No", back to the
// menu; Escape asks again and "Yes" ends the game. Two runs give the same pictures.
constexpr const char* kSkipAndQuit =
    "focus gained\nwait 20\nclick 400 300\nwait 20\nkey 32\nwait 40\nclick 400 300\nwait 60\n"
    "shot menu\nkey 27\nwait 40\nshot question\nkey 27\nwait 40\n"
    "key 27\nwait 40\nclick 400 306\nwait 20\nshot after\nclose\n";

TEST_F(FrontEndTest, StagesAreSkippedByClickAndKeyAndEscapeAsksBeforeTheGameEnds)
{
    std::vector<Picture> first;
    for (int run = 0; run < 2; ++run)
    {
        EXPECT_EQ(RunClean(mRepository, kSkipAndQuit, ""),
                  (Traces{"start", "menu", "quitverify", "quitverify"}));
        EXPECT_FALSE(HasShot("after")) << "\"Yes\" did not end the game";
        const Picture shots[] = {Shot("menu"), Shot("question")};
        for (size_t i = 0; i < std::size(shots); ++i)
        {
            ASSERT_EQ(shots[i].mWidth, 800u) << i;
            if (run == 0)
                first.push_back(shots[i]);
            else
                EXPECT_TRUE(shots[i].mPixels == first[i].mPixels) << i << ": two runs differ";
        }
        RemoveShots({"menu", "question"});
    }
    ExpectMatchesGolden(first[1], "front_question.png");
}

// Clicks at one point every 9 frames (150 ms, quicker than a double click) skip each stage as
// single clicks do: the menu is up within 4.3 s (268 frames), where waiting shows it after 6.
TEST_F(FrontEndTest, ClicksQuickerThanADoubleClickSkipTheStages)
{
    std::string script = "focus gained\nwait 40\n";
    for (int i = 0; i < 25; ++i)
        script += "click 100 100\nwait 6\n";
    EXPECT_EQ(RunClean(mRepository, script + "wait 3\nclose\n", ""), (Traces{"start", "menu"}));
}

// Another program takes the full-screen display during the card's film (a window raised over it):
// the surfaces are lost and every restore is refused until the display is given back. The frame
// loop reads its messages all the while, also once the film has ended under the loss: Escape asks
// the quit question within a few polls, and once the display is back "Yes" ends the game; left
// alone, the menu comes once the display is back, as it comes without the loss. The awaits count
// polls: a run the loss stopped would time out.
TEST_F(FrontEndTest, TheCardsFilmWithItsDisplayTakenAnswersEscapeAndGoesOnWhenItComesBack)
{
    mErrorFile = mRoot / "errors.txt";
    EXPECT_EQ(RunOk(mRepository,
                    "focus gained\nwait 20\ndisplay taken\nwait 120\nkey 27\nawait quitverify 40\n"
                    "wait 10\ndisplay back\nwait 40\nclick 400 306\nwait 20\nshot after\nclose\n",
                    ""),
              (Traces{"start", "menu", "quitverify"}));
    EXPECT_FALSE(HasShot("after")) << "\"Yes\" did not end the game";
    EXPECT_GT(LoggedLines("DX Error: SURFACELOST"), 0u) << "the display was not lost";
    EXPECT_EQ(ReadFile(mErrorFile), "");

    EXPECT_EQ(RunOk(mRepository,
                    "focus gained\nwait 20\ndisplay taken\nwait 60\ndisplay back\n"
                    "await menu 400\nwait 60\nshot menu\nclose\n",
                    ""),
              (Traces{"start", "menu"}));
    EXPECT_EQ(ReadFile(mErrorFile), "");
    ExpectMatchesGolden(Shot("menu"), "front_menu.png");
}

// A click belongs to the screen it was pressed on: a button clicked twice or three times does
// what one click does, whatever the screen it opens or uncovers has under the pointer: the menu's
// "Quit" under "More stories"' "Back", the options' display button over the menu's "Options".
// What is compared: the trace, whether the game ran on, and what it saved.
TEST_F(FrontEndTest, ADoubleOrTripleClickDoesWhatOneClickDoes)
{
    struct Shape
    {
        const char* mName;
        std::string mBefore;
        const char* mPoint;
    };
    const Shape shapes[] = {
        {"More stories, Back", "click 674 566\nwait 30\n", "400 562"},
        {"Options", "", "400 382"},
    };
    const fs::path prefs = mRoot / "data/Tovrix/Murkwell/prefs.dat";
    for (const Shape& shape : shapes)
    {
        std::string once;
        for (int clicks = 1; clicks <= 3; ++clicks)
        {
            fs::remove_all(mRoot / "data");
            std::string script = "focus gained\nwait 40\n" + shape.mBefore;
            for (int i = 0; i < clicks; ++i)
                script += std::string("click ") + shape.mPoint + "\n";
            std::string seen;
            for (const std::string& trace :
                 RunClean(mRepository, script + "wait 60\nshot end\nclose\n",
                          "start=scripts/mainmenu.lua"))
                seen += trace + ", ";
            seen += (HasShot("end") ? "ran on\n" : "ended\n") + DumpPrefs(prefs);
            RemoveShots({"end"});
            if (clicks == 1)
                once = seen;
            else
                EXPECT_EQ(seen, once) << shape.mName << ", " << clicks << " clicks";
        }
    }
}

// The credits' whole height passes the screen. On the content as it stands that takes a thousand
// frames: the copy scrolls six times as fast.
fs::path FastCredits(const fs::path& game)
{
    const fs::path credits = game / "assets/scripts/credits.lua";
    const std::string text = ReadFile(credits);
    WriteFile(credits,
              std::regex_replace(text, std::regex("scrollspeed = (\\d+)"), "scrollspeed = 6 * $1"));
    EXPECT_NE(ReadFile(credits), text);
    return game;
}

TEST_F(FrontEndTest, TheCreditsEndByThemselves)
{
    const fs::path game = FastCredits(CopyGame("content"));
    EXPECT_EQ(RunClean(game, "focus gained\nwait 70\nshot credits\nwait 200\nshot after\nclose\n",
                       "start=scripts/credits.lua"),
              Traces{"start"});
    EXPECT_FALSE(HasShot("after")) << "the credits did not end";
    ExpectMatchesGolden(Shot("credits"), "front_credits.png");
}

// "Play" without a profile asks for a name, makes the profile with a new game's record and opens
// the first location; the pause dialog's "Menu" (from the HUD's pause button) comes back to the
// menu, which greets the new player.
// A location closed in play keeps its record as "gamedata"; its bytes hold the play time.
std::string MarkSavedLocation(const std::string& dump)
{
    return std::regex_replace(dump, std::regex("gamedata = hex [0-9a-f ]+\n"),
                              "gamedata = (location)\n");
}

TEST_F(FrontEndTest, PlayWithoutAProfileNamesOneAndTheMenuComesBackFromTheGame)
{
    const fs::path game = CopyGame("content");
    EXPECT_EQ(RunClean(game,
                       "focus gained\nwait 40\n" + ClickLine(menupoints::kPlay) +
                           "wait 60\ntext Ann\nwait 10\nclick 400 276\nwait 80\nclick 616 "
                           "574\nwait 60\nclick 400 358\n"
                           "wait 250\nshot menu\nkey 27\nwait 40\nclick 400 306\nwait 60\n"
                           "shot after\nclose\n",
                       "start=scripts/mainmenu.lua"),
              (Traces{"start", "menu", "profile Ann", "record 0 0", "location 0", "pause",
                      "quitverify"}));
    EXPECT_FALSE(HasShot("after")) << "the menu did not come back";
    EXPECT_EQ(MarkSavedLocation(DumpPrefs(mRoot / "data/Tovrix/Murkwell/prefs.dat")),
              "USER 0\n  curuser = \"0\"\nUSER 1\n  gamedata = (location)\n  gamemode = \"1\"\n"
              "  name = \"Ann\"\n  playerdata = hex 00 00 00 00 00 00 00 00 00 03 00 00\n");
    // The greeting's line of the menu.
    ExpectMatchesGolden(Crop(Shot("menu"), 100, 196, 600, 36), "front_greeting_gatehouse.png");
}

// "Resume" closes the dialog, and so ends the game it was the first screen of.
TEST_F(FrontEndTest, ThePauseDialogOpenedByNameResumes)
{
    EXPECT_EQ(RunClean(mRepository,
                       "focus gained\nwait 40\nshot pause\nclick 400 246\nwait 60\n"
                       "shot after\nclose\n",
                       "start=scripts/pause.lua"),
              Traces{"start"});
    EXPECT_FALSE(HasShot("after")) << "\"Resume\" did not close the pause dialog";
    ExpectMatchesGolden(Shot("pause"), "front_pause.png");
}

// The quit question opened by name: wax runs down its face, so shots half a second apart differ
// inside the dialog, once it rests, and nowhere outside it.
TEST_F(FrontEndTest, WaxRunsDownTheQuitQuestion)
{
    EXPECT_EQ(RunClean(mRepository,
                       "focus gained\nwait 60\nshot q1\nwait 30\nshot q2\nwait 30\nshot q3\n"
                       "close\n",
                       "start=scripts/quitverify.lua"),
              Traces{"start"});
    const Picture shots[] = {Shot("q1"), Shot("q2"), Shot("q3")};
    // The question's face: 360 x 200 at (220, 200).
    for (size_t i = 0; i + 1 < std::size(shots); ++i)
    {
        ASSERT_EQ(shots[i].mWidth, 800u) << i;
        EXPECT_FALSE(Crop(shots[i], 220, 200, 360, 200).mPixels ==
                     Crop(shots[i + 1], 220, 200, 360, 200).mPixels)
            << i << ": no wax ran";
        EXPECT_TRUE(Crop(shots[i], 0, 0, 800, 190).mPixels ==
                    Crop(shots[i + 1], 0, 0, 800, 190).mPixels)
            << i << ": a change above the question";
    }
}

// Spoilt content: a copy of the content with one change, run with its own input; the log says
// what is wrong and the game ends cleanly, by itself or on a close request.
struct BadContent
{
    const char* mName;
    std::function<void(const fs::path& assets)> mSpoil;
    const char* mOptions;
    const char* mInput;
    Traces mTraces;
    const char* mLogLine; // null: the log stays clean
    int mStatus = 0;      // the run's exit status
};

void PrintTo(const BadContent& bad, std::ostream* out)
{
    *out << bad.mName;
}

class BadFrontEndTest : public FrontEndTest, public ::testing::WithParamInterface<BadContent>
{
};

TEST_P(BadFrontEndTest, IsLoggedAndNothingCrashes)
{
    const BadContent& bad = GetParam();
    const fs::path game = CopyGame("content");
    bad.mSpoil(game / "assets");
    int code = -1;
    EXPECT_EQ(RunTraced(game, bad.mInput, bad.mOptions, code), bad.mTraces);
    EXPECT_EQ(code, bad.mStatus);
    if (bad.mLogLine == nullptr)
        ExpectCleanLog();
    else
        EXPECT_NE(ReadFile(LogFile()).find(bad.mLogLine), std::string::npos) << ReadFile(LogFile());
}

// Takes the row of `label` out of the string table.
void RemoveLabel(const fs::path& assets, const std::string& label)
{
    const std::string strings = ReadFile(assets / "strings.xml");
    const std::regex row("<Row>\\s*<Cell><Data[^>]*>" + label +
                         "</Data></Cell>\\s*<Cell>[^\\n]*</Cell>\\s*</Row>");
    WriteFile(assets / "strings.xml", std::regex_replace(strings, row, ""));
}

constexpr const char* kSkipToTheMenu =
    "focus gained\nwait 20\nclick 400 300\nwait 20\nkey 32\nwait 40\nclick 400 300\nwait 60\n"
    "close\n";
constexpr const char* kMenuThenClose = "focus gained\nwait 30\nclose\n";

INSTANTIATE_TEST_SUITE_P(
    Content, BadFrontEndTest,
    ::testing::Values(
        // The splash swaps in a menu that does not compile: nothing could show or ask again,
        // and the game ends by itself with 1.
        BadContent{"ScreenSyntaxError",
                   [](const fs::path& assets)
                   { WriteFile(assets / "scripts/mainmenu.lua", "MakeDialog { MainMenu {\n"); },
                   "", kSkipToTheMenu, Traces{"start"},
                   "The screen script assets/scripts/mainmenu.lua failed "
                   "(assets/scripts/mainmenu.lua:2: unexpected symbol near `<eof>'): the game "
                   "stops",
                   1},
        // A missing picture just does not show.
        BadContent{"MissingImage",
                   [](const fs::path& assets) { fs::remove(assets / "menu/logo.png"); },
                   "start=scripts/mainmenu.lua", kMenuThenClose, Traces{"start", "menu"}, nullptr},
        BadContent{"MissingLabel",
                   [](const fs::path& assets) { RemoveLabel(assets, "menu_credits"); },
                   "start=scripts/mainmenu.lua", kMenuThenClose, Traces{"start", "menu"},
                   " ##### : Missing string for label 'menu_credits'"},
        // Fatal: the game ends by itself.
        BadContent{
            "SplashWithoutSoundGroups",
            [](const fs::path& assets)
            {
                const std::string splash = ReadFile(assets / "scripts/splash.lua");
                WriteFile(assets / "scripts/splash.lua",
                          std::regex_replace(splash, std::regex("soundgroups = [^\\n]*"), ""));
            },
            "start=scripts/splash.lua", "focus gained\nwait 200\nshot after\nclose\n",
            Traces{"start"}, ": ERROR:soundgroups   FILE:splashscreen LINE:91", kFatalErrorStatus}),
    [](const ::testing::TestParamInfo<BadContent>& info) { return info.param.mName; });

// Two profiles made by a screen of the copied content; then the menu on the preferences cut short
// inside the last profile's record, and on the whole file with garbage after it.
TEST_F(FrontEndTest, DamagedPreferencesBringTheMenuUpWithWhatWasRead)
{
    const fs::path game = CopyGame("content");
    WriteFile(game / "assets/scripts/make.lua", "CreateNewUser('Ann')\nCreateNewUser('Bob')\n");
    int code = -1;
    EXPECT_EQ(RunTraced(game, "wait 5\nclose\n", "start=scripts/make.lua", code), Traces{"start"});
    ASSERT_EQ(code, 0);
    const fs::path prefs = mRoot / "data/Tovrix/Murkwell/prefs.dat";
    const std::string good = ReadFile(prefs);
    const std::string slots = "USER 0\n  curuser = \"1\"\nUSER 1\n  gamemode = \"1\"\n"
                              "  name = \"Ann\"\nUSER 2\n  gamemode = \"1\"\n";
    // The current profile's record, saved as the game ends.
    const std::string bob =
        "  name = \"Bob\"\n  playerdata = hex 00 00 00 00 00 00 00 00 00 00 00 00\n";
    ASSERT_EQ(DumpPrefs(prefs), slots + bob);

    struct Damage
    {
        std::string mBytes;
        Traces mTraces;
        std::string mLogLine;
        std::string mKept;
    };
    const Damage damages[] = {
        // Bob's record, the last chunk, is lost: the menu greets him, and the game's end saves
        // his record again. Where the cut chunk starts depends on the length of the install
        // path the file holds.
        {good.substr(0, good.size() - 3), Traces{"start", "menu Bob"},
         ": ERROR: Preferences file 'user:prefs.dat' is damaged at byte ", slots + bob},
        {good + "GARBAGE\x01\x02\xff junk", Traces{"start", "menu Bob"},
         ": ERROR: Preferences file 'user:prefs.dat' is damaged at byte " +
             std::to_string(good.size()) + "; only what came before was read",
         slots + bob},
    };
    // The second damaged file is kept beside the first, never over it.
    const char* const keptAs[] = {"prefs.dat.bad", "prefs.dat.bad1"};
    for (size_t i = 0; i < std::size(damages); ++i)
    {
        const Damage& damage = damages[i];
        WriteFile(prefs, damage.mBytes);
        EXPECT_EQ(RunOk(game, kMenuThenClose, "start=scripts/mainmenu.lua"), damage.mTraces);
        const std::string log = ReadFile(LogFile());
        EXPECT_NE(log.find(damage.mLogLine), std::string::npos) << log;
        EXPECT_NE(log.find(std::string("The damaged preferences were kept as 'user:") + keptAs[i] +
                           "'\n"),
                  std::string::npos)
            << log;
        // What was read is what the game kept.
        EXPECT_EQ(DumpPrefs(prefs), damage.mKept);
    }
    for (size_t i = 0; i < std::size(damages); ++i)
        EXPECT_TRUE(ReadFile(prefs.parent_path() / keptAs[i]) == damages[i].mBytes) << keptAs[i];
}

} // namespace
