// The click sweep: the buttons of the game's screens (the front end's, a location's HUD, pause
// dialog, quit question and journal, Lirae's hint board, the lock panel, the travel map, the
// cut-scene and the end credits) pressed once, twice and three times at a double click's spacing
// (150 ms, the same point), each count in a run of its own from the same start. What follows the
// presses is compared with what one press does: the trace, the picture once things have settled
// (the top screen), whether the game ran on, its exit, the saved preferences and the pages handed
// to the desktop's opener. A button meant to be pressed again (a toggle, a counter) is listed with
// its reason: a toggle's three presses do what one does; a counter's runs only have to end cleanly.
//
// The runs take the same frames whatever the count: a press left out is a move to the point and
// the frames a press would have taken.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstddef>
#include <cstdlib>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/hint_board_test_support.h"
#include "e2e/program_test_support.h"

namespace
{
using namespace e2etest;
using hinte2e::Click;

enum class Repeat
{
    kOnce,    // two or three presses do what one does
    kToggle,  // each press turns it over: three do what one does
    kCounter, // each press counts: the runs end cleanly
};

// A button of a screen: the screen reached from a start screen by the input lines `mReach`, then
// pressed at `mPress`: a point "x y" (clicked `mSpread` points above and below it, in runs of
// their own: a button's halves lie over different things beneath), or a key: "key 27" (Escape
// over a screen it answers), "key 13" (Enter for a dialog's default button).
struct Button
{
    const char* mName;
    const char* mStart;
    std::string mReach;
    const char* mPress;
    Repeat mRepeat = Repeat::kOnce;
    const char* mWhy = "";
    // Pages one press hands to the desktop's opener.
    size_t mOpens = 0;
    int mSpread = 10;
    // The Gatehouse without its tutorial prompts, as the hint boards' runs play it.
    bool mUnprompted = false;
};

void PrintTo(const Button& button, std::ostream* out)
{
    *out << button.mName;
}

// Start screens: the menu without a player; the menu with two (Ann, then Bob, the current one);
// the end of the game for a player who has done every location; the travel map; the cut-scene.
constexpr const char* kMenu = "scripts/mainmenu.lua";
constexpr const char* kPlayersMenu = "scripts/sweep_players.lua";
constexpr const char* kEndMenu = "scripts/sweep_end.lua";
constexpr const char* kMap = "scripts/sweep_map.lua";
constexpr const char* kStory = "scripts/sweep_story.lua";

const std::string kToNameDialog = "click 400 272\nwait 60\ntext Ann\nwait 10\n";
const std::string kToPlayers = "click 400 437\nwait 60\n";
const std::string kToDeleteQuestion = kToPlayers + "click 520 406\nwait 60\n";
const std::string kToNewGameQuestion = "click 400 327\nwait 60\n";
const std::string kToOptions = "click 400 382\nwait 60\n";
const std::string kToMoreStories = "click 674 566\nwait 40\n";
const std::string kToQuitQuestion = "key 27\nwait 40\n";
// "Play" for Bob: the Gatehouse, Odo's greeting passed as the play-through passes it (its voices
// run on the wall clock: a third click stands in for one that came while a line slid in), and the
// first prompt up.
const std::string kPassALine = "move 400 120\nwait 3\nclick 400 120\nwait 70\n";
const std::string kToLocation = "click 400 272\nawait \"location 0\"\nwait 80\n" + kPassALine +
                                kPassALine + kPassALine + "wait 80\n";
const std::string kToPause = kToLocation + "click 616 574\nwait 60\n";
const std::string kToPauseOptions = kToPause + "click 400 302\nwait 60\n";
const std::string kToJournal = kToLocation + "click 616 524\nwait 60\n";
const std::string kToLocationQuestion = kToLocation + kToQuitQuestion;
// Through the hall into the storeroom (its door's key made of the two halves).
const std::string kToStoreroom = kToLocation + Click(kKeyHalf2, 120) + Click(kKeyHalf1, 150) +
                                 Click(kStripOne, 5) + Click(kDoor, 120) + Click(kDoor, 120);
// There Lirae's tracker is spent on the oil can and the can found: her medallion opens her board
// with its help dialog.
const std::string kToLiraeHelp = kToStoreroom + Click(kLiraeTracker, 150) +
                                 Click(kStripOilcan, 160) + Click(kOilcan, 150) +
                                 Click(kLiraeMedallion, 60);
const std::string kToLiraeBoard = kToLiraeHelp + Click(kBoardOk, 40);
// The storeroom's two objects found, then the cabinet: its lock panel.
const std::string kToLock =
    kToStoreroom + Click(kOilcan, 120) + Click(kLampGlass, 120) + Click(kCabinet, 120);

// Another screen on top differs in far more: a dialog's dimming covers the whole picture.
constexpr double kAlikePercent = 99.0;

constexpr const char* kToggleWhy = "a toggle: each press turns it over";
constexpr const char* kArrowWhy = "each press scrolls the list a row";
constexpr const char* kKeyWhy = "each press is a step of the lock's pattern";

const Button kButtons[] = {
    {"Menu_Play", kMenu, "", "400 272"},
    {"Menu_NewGame", kMenu, "", "400 327"},
    {"Menu_Options", kMenu, "", "400 382"},
    {"Menu_Players", kMenu, "", "400 437"},
    {"Menu_Credits", kMenu, "", "400 492"},
    {"Menu_MoreStories", kMenu, "", "674 566"},
    {"Menu_Quit", kMenu, "", "400 547"},
    {"Menu_PlayAsAPlayer", kPlayersMenu, "", "400 272"},
    {"Menu_NewGameOfAPlayer", kPlayersMenu, "", "400 327"},
    {"Name_Ok", kMenu, kToNameDialog, "400 276"},
    {"Name_Cancel", kMenu, kToNameDialog, "400 332"},
    {"Name_Enter", kMenu, kToNameDialog, "key 13"},
    {"Players_FirstRow", kPlayersMenu, kToPlayers, "340 168"},
    {"Players_SecondRow", kPlayersMenu, kToPlayers, "340 212"},
    {"Players_Up", kPlayersMenu, kToPlayers, "524 166", Repeat::kCounter, kArrowWhy},
    {"Players_Down", kPlayersMenu, kToPlayers, "524 346", Repeat::kCounter, kArrowWhy},
    {"Players_New", kPlayersMenu, kToPlayers, "280 406"},
    {"PlayersName_Ok", kPlayersMenu, kToPlayers + "click 280 406\nwait 60\ntext Cy\nwait 10\n",
     "400 276"},
    {"PlayersName_Cancel", kPlayersMenu, kToPlayers + "click 280 406\nwait 60\n", "400 332"},
    {"Players_Delete", kPlayersMenu, kToPlayers, "520 406"},
    {"Players_Select", kPlayersMenu, kToPlayers, "280 462"},
    {"Players_Cancel", kPlayersMenu, kToPlayers, "520 462"},
    {"DeleteQuestion_Yes", kPlayersMenu, kToDeleteQuestion, "400 286"},
    {"DeleteQuestion_No", kPlayersMenu, kToDeleteQuestion, "400 342"},
    {"NewGameQuestion_Yes", kPlayersMenu, kToNewGameQuestion, "400 286"},
    {"NewGameQuestion_No", kPlayersMenu, kToNewGameQuestion, "400 342"},
    {"Options_SoundRail", kMenu, kToOptions, "420 205"},
    {"Options_MusicRail", kMenu, kToOptions, "420 255"},
    {"Options_Cursor", kMenu, kToOptions, "186 300", Repeat::kToggle, kToggleWhy},
    {"Options_Dialogs", kMenu, kToOptions, "186 340", Repeat::kToggle, kToggleWhy},
    {"Options_Display", kMenu, kToOptions, "400 398", Repeat::kToggle, kToggleWhy},
    {"Options_Ok", kMenu, kToOptions, "400 462"},
    {"Credits_Click", kMenu, "click 400 492\nwait 60\n", "400 300"},
    {"MoreStories_Visit1", kMenu, kToMoreStories, "660 160", Repeat::kOnce, "", 1},
    {"MoreStories_Visit2", kMenu, kToMoreStories, "660 204", Repeat::kOnce, "", 1},
    {"MoreStories_Visit3", kMenu, kToMoreStories, "660 248", Repeat::kOnce, "", 1},
    // A link in a line of text: only its middle.
    {"MoreStories_ReadLink", kMenu, kToMoreStories, "58 212", Repeat::kOnce, "", 1, 0},
    {"MoreStories_AllStories", kMenu, kToMoreStories, "400 502", Repeat::kOnce, "", 1},
    {"MoreStories_Back", kMenu, kToMoreStories, "400 562"},
    {"QuitQuestion_Yes", kMenu, kToQuitQuestion, "400 306"},
    {"QuitQuestion_No", kMenu, kToQuitQuestion, "400 362"},
    {"QuitQuestion_Escape", kMenu, kToQuitQuestion, "key 27"},
    {"Hud_Pause", kPlayersMenu, kToLocation, "616 574"},
    {"Hud_Journal", kPlayersMenu, kToLocation, "616 524"},
    {"Hud_Thessalor", kPlayersMenu, kToLocation, "50 550"},
    {"Hud_Lirae", kPlayersMenu, kToLocation, "750 550"},
    {"Pause_Resume", kPlayersMenu, kToPause, "400 246"},
    {"Pause_Options", kPlayersMenu, kToPause, "400 302"},
    {"Pause_MainMenu", kPlayersMenu, kToPause, "400 358"},
    {"PauseOptions_SoundRail", kPlayersMenu, kToPauseOptions, "420 205"},
    {"PauseOptions_MusicRail", kPlayersMenu, kToPauseOptions, "420 255"},
    {"PauseOptions_Cursor", kPlayersMenu, kToPauseOptions, "186 300", Repeat::kToggle, kToggleWhy},
    {"PauseOptions_Dialogs", kPlayersMenu, kToPauseOptions, "186 340", Repeat::kToggle, kToggleWhy},
    {"PauseOptions_Display", kPlayersMenu, kToPauseOptions, "400 398", Repeat::kToggle, kToggleWhy},
    {"PauseOptions_Ok", kPlayersMenu, kToPauseOptions, "400 462"},
    {"LocationQuestion_Yes", kPlayersMenu, kToLocationQuestion, "400 306"},
    {"LocationQuestion_No", kPlayersMenu, kToLocationQuestion, "400 362"},
    {"LocationQuestion_Escape", kPlayersMenu, kToLocationQuestion, "key 27"},
    {"Board_HelpOk", kPlayersMenu, kToLiraeHelp, "534 254", Repeat::kOnce, "", 0, 10, true},
    {"Board_Help", kPlayersMenu, kToLiraeBoard, "726 32", Repeat::kOnce, "", 0, 10, true},
    {"Board_Exit", kPlayersMenu, kToLiraeBoard, "770 32", Repeat::kOnce, "", 0, 10, true},
    {"Lock_Back", kPlayersMenu, kToLock, "400 480", Repeat::kOnce, "", 0, 10, true},
    {"Lock_Key", kPlayersMenu, kToLock, "320 200", Repeat::kCounter, kKeyWhy, 0, 10, true},
    {"Journal_Close", kPlayersMenu, kToJournal, "672 88"},
    {"Map_Menu", kMap, "wait 60\n", "100 562"},
    {"Map_Continue", kMap, "wait 60\n", "670 562"},
    {"MapPause_Resume", kMap, "wait 60\nclick 100 562\nwait 60\n", "400 246"},
    {"MapPause_MainMenu", kMap, "wait 60\nclick 100 562\nwait 60\n", "400 358"},
    {"Story_Menu", kStory, "wait 80\n", "768 28"},
    // The skip text: a line of small print.
    {"Story_Skip", kStory, "wait 80\n", "690 490", Repeat::kOnce, "", 0, 0},
    {"End_Credits", kEndMenu, "click 400 272\nwait 60\n", "400 300"},
};

class ClickSweepTest : public ScreenProgramTest, public ::testing::WithParamInterface<Button>
{
protected:
    void SetUp() override
    {
        ScreenProgramTest::SetUp();
        mGame = GetParam().mUnprompted ? CopyEdited(kGatehouseScript, kGatehousePrompts)
                                       : CopyGame("content");
        const fs::path scripts = mGame / "assets/scripts";
        WriteFile(scripts / "sweep_players.lua",
                  "CreateNewUser('Ann')\nCreateNewUser('Bob')\nReadFile('scripts/mainmenu.lua')\n");
        // Past the last of the three locations: "Play" shows the credits.
        WriteFile(scripts / "sweep_end.lua", "CreateNewUser('Ann')\nSetCurrentLocation(3)\n"
                                             "SaveProfile()\nReadFile('scripts/mainmenu.lua')\n");
        // The map as the route opens it between two locations; its end is traced.
        WriteFile(scripts / "sweep_map.lua",
                  "CreateNewUser('Ann')\nfunction ContinueMap() Trace('continue') CloseWindow() "
                  "end\nReadFile('scripts/map.lua')\n");
        WriteFile(scripts / "sweep_story.lua",
                  "CreateNewUser('Ann')\nfunction ContinueForward() Trace('story done') "
                  "CloseWindow() end\nReadFile('scripts/storyboard.lua')\n");
        WriteFile(mRoot / "bin/xdg-open",
                  "#!/bin/sh\necho \"$1\" >> '" + (mRoot / "opened.txt").string() + "'\n");
        fs::permissions(mRoot / "bin/xdg-open", fs::perms::owner_all);
        mRunEnv = {"PATH=" + (mRoot / "bin").string() + ":" + std::getenv("PATH")};
    }

    // The input of a run that presses `press` (a point's "click x y", or a key) `presses` times of
    // three; the others' frames pass as a move to the point and the waits a click takes (a move,
    // a press and a release), or as a key that does nothing (Shift).
    static std::string Script(const Button& button, const std::string& press, int presses)
    {
        const bool click = press.starts_with("click ");
        const std::string move = click ? "move " + press.substr(6) + "\n" : std::string();
        const std::string skip = click ? move + "wait 2\n" : std::string("key 16\n");
        std::string script = "focus gained\nwait 40\n" + button.mReach;
        for (int i = 0; i < 3; ++i)
        {
            if (i > 0)
                script += "wait 6\n";
            script += i < presses ? press + "\n" : skip;
        }
        // The pointer at the point again: a press that switched the display left it where the
        // other mode's picture had it.
        return script + "wait 6\n" + move + "wait 100\nshot settled\nclose\n";
    }

    // The presses a button is swept with. A machine with fewer than eight processors takes a share
    // of the points (SampleShare): one half of each button, the upper and the lower by turns down
    // the list of buttons (MURKWELL_SAMPLE_CORES=8: both).
    static std::vector<std::string> Presses(const Button& button)
    {
        int x = 0;
        int y = 0;
        if (std::sscanf(button.mPress, "%d %d", &x, &y) != 2)
            return {button.mPress};
        std::vector<std::string> presses;
        for (int dy : {-button.mSpread, button.mSpread})
        {
            presses.push_back("click " + std::to_string(x) + " " + std::to_string(y + dy));
            if (button.mSpread == 0)
                break;
        }
        if (presses.size() > 1 && SampleShare() < 1.0)
        {
            const auto at = std::find_if(std::begin(kButtons), std::end(kButtons),
                                         [&](const Button& b) { return b.mName == button.mName; });
            presses = {presses[static_cast<size_t>(at - std::begin(kButtons)) % 2]};
        }
        return presses;
    }

    // What a run left: its trace, how it ended, what it saved and opened.
    std::string Outcome(const Button& button, const std::string& press, int presses,
                        Picture& settled)
    {
        fs::remove_all(mRoot / "data");
        fs::remove(mRoot / "opened.txt");
        fs::remove(mRoot / "settled.png");
        int code = -1;
        std::ostringstream seen;
        for (const std::string& trace : RunTraced(mGame, Script(button, press, presses),
                                                  std::string("start=") + button.mStart, code))
            seen << trace << ", ";
        ExpectCleanLog();
        // The opener runs on its own: what one press hands it is waited for (within 5 s).
        const uint32_t start = LoadTimeMs();
        while (Lines(ReadFile(mRoot / "opened.txt")) < button.mOpens && LoadTimeMs() - start < 5000)
            sys::SleepMs(10);
        settled = Shot("settled");
        seen << (HasShot("settled") ? "ran on" : "ended") << " with " << code << "\n"
             << Prefs() << "opened:\n"
             << ReadFile(mRoot / "opened.txt");
        return seen.str();
    }

    static size_t Lines(const std::string& text)
    {
        return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    }

    fs::path mGame;
};

TEST_P(ClickSweepTest, TwoOrThreePressesDoWhatOneDoes)
{
    const Button& button = GetParam();
    for (const std::string& press : Presses(button))
    {
        Picture once;
        const std::string single = Outcome(button, press, 1, once);
        for (int presses = 2; presses <= 3; ++presses)
        {
            Picture settled;
            const std::string outcome = Outcome(button, press, presses, settled);
            if (button.mRepeat == Repeat::kCounter ||
                (button.mRepeat == Repeat::kToggle && presses == 2))
                continue;
            EXPECT_EQ(outcome, single)
                << button.mName << ", " << press << " " << presses << " times";
            // The menu's fireflies and flame, the question's wax and the map's lightning move by
            // the frames' times and the dice, which a press the screen takes shifts a little: the
            // screens are alike, not the same.
            if (!once.mPixels.empty())
            {
                EXPECT_GE(Alike(settled, once), kAlikePercent)
                    << button.mName << ", " << press << " " << presses
                    << " times: the settled screen differs";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, ClickSweepTest, ::testing::ValuesIn(kButtons),
                         [](const testing::TestParamInfo<Button>& info)
                         { return std::string(info.param.mName); });

} // namespace
