// The Gatehouse played through end to end: one table holds the location's walkthrough (each step's
// screen point, its wait on the fixed clock and what it completes), and every run below is put
// together from it. Run A: a new player from the menu, led by the tutorial prompts through the key,
// both characters' hints, the door, the storeroom and the journal, quits from the question. Run B,
// in the same folder: "Play" takes the storeroom up again, the medallions' prompts are answered,
// the lock, the wick and the lamp end the location and the map's journey leads to the Observatory.
// Runs from the development entry play the same table without the prompts and the hints; other
// runs close mid-way, spoil the saved state with `prefsdump --set` or repeat run A.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "e2e/location_record.h"
#include "e2e/program_test_support.h"

namespace gatehouse_test
{
namespace
{
using namespace e2etest;

// What a step needs besides plain play: the runs that leave it out skip it.
enum Needs : unsigned
{
    kAlways = 0,
    kHints = 1,      // a tracker spent on an object (the prompted runs follow the prompts there)
    kMedallions = 2, // the medallions' prompts of a resumed run, Lirae's board behind hers
    kJournal = 4,    // the journal opened from the HUD and closed
};

struct Step
{
    const char* mName;  // what the step completes
    const char* mPoint; // the screen point clicked, after the mouse rests there a moment
    int mWait;          // frames on the fixed step after the click, with a margin
    unsigned mNeeds;
};

// The walkthrough: the content's screen points (the art keeps them solid). Clicks that may miss
// (lines of a conversation, the lock's corners) stand at least 70 frames apart: three misses in a
// second would start the miss-click penalty. The waits outlast each step's animations, since a
// click during a transition is swallowed.
constexpr Step kWalkthrough[] = {
    // The hall: Odo's two greeting lines ended by clicks on nothing (a third for a click that
    // came while a line slid in: voices run on the wall clock).
    {"odo_intro", "400 120", 70, kAlways},
    {"odo_intro2", "400 120", 70, kAlways},
    {"odo_intro_end", "400 120", 150, kAlways},
    {"item_key_2", "150 300", 150, kAlways},     // "tutorial_item"
    {"hint_thessalor", "110 528", 80, kHints},   // "tutorial_hint": Thessalor's tracker
    {"hint_key", "376 550", 250, kHints},        // "tutorial_hintselect": the key's rays
    {"item_key_1", "612 410", 200, kAlways},     // "tutorial_itemtwo": the key is whole
    {"hold_key", "376 550", 40, kAlways},        // "tutorial_inventory"
    {"open_door", "550 270", 200, kAlways},      // "tutorial_solve": the door swings away
    {"goto_storeroom", "550 270", 200, kAlways}, // "tutorial_portal"
    {"hint_lirae", "690 528", 200, kHints},      // "tutorial_hintlirae": Lirae's tracker
    {"hint_oilcan", "305 550", 250, kHints},     // "tutorial_hintselectlirae": spotlight
    {"item_oilcan", "210 390", 150, kAlways},    // found (in the spotlight where hinted)
    {"open_journal", "616 524", 90, kJournal},   // "tutorial_openjournal"
    {"close_journal", "676 86", 90, kJournal},   // the journal's close button
    // A resumed run: each medallion holds a hint and its prompt points at it.
    {"lirae_board", "750 550", 120, kMedallions},         // "tutorial_lirae": her board opens
    {"lirae_help_ok", "532 252", 60, kMedallions},        // her help, the first time
    {"lirae_board_exit", "770 32", 120, kMedallions},     // left by its exit button
    {"thessalor_medallion", "50 550", 120, kMedallions},  // "tutorial_thessalor": his board
    {"thessalor_help_ok", "534 254", 60, kMedallions},    // his help, the first time
    {"thessalor_board_exit", "770 32", 120, kMedallions}, // left by its exit button
    {"item_lampglass", "470 180", 120, kAlways},
    {"goto_lockpanel", "640 250", 120, kAlways},
    // The lock panel: its four corners, then its centre.
    {"lock_corner_1", "320 200", 70, kAlways},
    {"lock_corner_2", "480 200", 70, kAlways},
    {"lock_corner_3", "320 360", 70, kAlways},
    {"lock_corner_4", "480 360", 70, kAlways},
    {"lock_centre", "400 280", 150, kAlways}, // the burst, the cabinet open
    {"item_wick", "640 260", 120, kAlways},
    {"goto_gatehouse", "30 300", 120, kAlways},
    // The strip holds the wick, the oil can and the glass; each use closes it up.
    {"hold_oilcan", "376 550", 5, kAlways},
    {"fill_lamp", "330 330", 90, kAlways},
    {"hold_lampglass", "446 550", 5, kAlways},
    {"fit_glass", "330 282", 90, kAlways},
    {"hold_wick", "376 550", 5, kAlways},
    {"trim_wick", "330 246", 200, kAlways},  // "lamp_lit", then Odo's thanks
    {"odo_thanks", "400 120", 100, kAlways}, // ended by a click: the map's overlay
};

// A shot taken `mAfter` frames after a step's click (within its wait), named `mName`.
struct ShotAt
{
    const char* mStep;
    int mAfter;
    std::string mName;
};

// The steps from `first` to `last` (both included) that need nothing `skip` names, as input lines,
// with the shots in their places.
std::string Walk(const char* first, const char* last, unsigned skip,
                 const std::vector<ShotAt>& shots = {})
{
    std::string script;
    bool inside = false;
    for (const Step& step : kWalkthrough)
    {
        inside = inside || std::string(step.mName) == first;
        if (!inside)
            continue;
        if ((step.mNeeds & skip) == 0)
        {
            script += std::string("move ") + step.mPoint + "\nwait 3\nclick " + step.mPoint + "\n";
            int waited = 0;
            for (const ShotAt& shot : shots)
                if (shot.mStep == std::string(step.mName))
                {
                    script += "wait " + std::to_string(shot.mAfter - waited) + "\nshot " +
                              shot.mName + "\n";
                    waited = shot.mAfter;
                }
            if (step.mWait > waited)
                script += "wait " + std::to_string(step.mWait - waited) + "\n";
        }
        if (std::string(step.mName) == last)
            return script;
    }
    ADD_FAILURE() << "no walk from " << first << " to " << last;
    return script;
}

// "Play" for the player the menu greets.
const std::string kPlay = "focus gained\nwait 40\n" + ClickLine(menupoints::kPlay);
// Escape in a location and "yes" to the quit question: the program ends by itself.
constexpr const char* kQuit = "key 27\nwait 40\nclick 400 306\nwait 60\nclose\n";

// The player's record "playerdata": 12 bytes, least significant first.
struct PlayerRecord
{
    bool mValid = false;
    int32_t mScore = 0;
    uint32_t mTutorials = 0;
    int mLocation = -1;
    int mState = -1;
};

PlayerRecord ReadPlayer(const std::vector<uint8_t>& bytes)
{
    PlayerRecord record;
    if (bytes.size() != 12)
        return record;
    const auto u32 = [&](size_t at)
    {
        return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
               uint32_t(bytes[at + 3]) << 24;
    };
    record = {true, static_cast<int32_t>(u32(0)), u32(4), bytes[8], bytes[9]};
    return record;
}

// The Gatehouse's inventory objects in its order.
enum Object : size_t
{
    kGateKey,
    kOilCan,
    kLampGlass,
    kWick,
    kObjects
};

class GatehouseTest : public ScreenProgramTest
{
protected:
    fs::path PrefsFile() const { return mRoot / "data/Tovrix/Murkwell/prefs.dat"; }
    std::string Dump() const { return DumpPrefs(PrefsFile()); }
    // The first player's slot (the dump's "USER 1").
    Slot Player() const
    {
        const std::vector<Slot> slots = ParseDump(Dump());
        return slots.size() >= 2 ? slots[1] : Slot();
    }
    // `prefsdump` with `args` before the file; answers its exit code.
    int Prefsdump(const std::vector<std::string>& args) const
    {
        std::vector<std::string> command = {MURKWELL_PREFSDUMP};
        command.insert(command.end(), args.begin(), args.end());
        command.push_back(PrefsFile().string());
        const int pid = sys::SpawnProcess(command, {});
        int code = -1;
        EXPECT_GT(pid, 0);
        if (pid > 0)
        {
            EXPECT_TRUE(WaitProcessLoaded(pid, kEndLimitMs, code));
        }
        return code;
    }
    // The dump compared with its golden text (MURKWELL_UPDATE_GOLDEN=1 writes it).
    void ExpectMatchesGoldenText(const std::string& text, const std::string& name)
    {
        const fs::path golden = mRepository / "tests/e2e/golden" / name;
        const char* update = std::getenv("MURKWELL_UPDATE_GOLDEN");
        if (update != nullptr && std::string(update) == "1")
            WriteFile(golden, text);
        EXPECT_EQ(text, ReadFile(golden)) << golden;
    }
    // A copy of the content whose Gatehouse comes without its tutorial prompts.
    fs::path Unprompted()
    {
        return CopyEdited(kGatehouseScript, kGatehousePrompts, "", "unprompted");
    }
    fs::path DataFolder() const { return mRoot / "data"; }
    // The data folder kept aside under `name`, or put back from there.
    void KeepData(const std::string& name) const
    {
        fs::remove_all(mRoot / name);
        fs::copy(DataFolder(), mRoot / name, fs::copy_options::recursive);
    }
    void PutBackData(const std::string& name) const
    {
        fs::remove_all(DataFolder());
        fs::copy(mRoot / name, DataFolder(), fs::copy_options::recursive);
    }
    // The hex text of bytes, as `--set` takes it.
    static std::string Hex(const std::vector<uint8_t>& bytes)
    {
        std::string text;
        char pair[3];
        for (uint8_t b : bytes)
        {
            std::snprintf(pair, sizeof pair, "%02x", b);
            text += pair;
        }
        return text;
    }
    // `key` of the first player set to `bytes` with the tool; every other value stays.
    void SetPlayerValue(const std::string& key, const std::vector<uint8_t>& bytes)
    {
        Slot before = Player();
        ASSERT_EQ(Prefsdump({"--set", "1", key, Hex(bytes)}), 0);
        Slot after = Player();
        EXPECT_EQ(after[key], bytes);
        before.erase(key);
        after.erase(key);
        EXPECT_EQ(after, before);
    }

    // Run A in a fresh data folder, which must end well: its shots are named with `suffix`.
    // Answers the trace lines.
    Traces RunA(const std::string& suffix)
    {
        const auto shot = [&](const char* step, int after, const char* name) {
            return ShotAt{step, after, name + suffix};
        };
        const std::string script =
            std::string(kNewPlayer) + "shot odo" + suffix + "\n" +
            Walk("odo_intro", "close_journal", 0,
                 {shot("odo_intro_end", 150, "item"), shot("hint_key", 200, "rays"),
                  shot("open_door", 40, "swing"), shot("open_door", 195, "open"),
                  shot("hint_oilcan", 245, "spotlight"), shot("item_oilcan", 145, "found"),
                  shot("open_journal", 85, "journal"), shot("close_journal", 85, "storeroom")}) +
            kQuit;
        return RunOk(mRepository, script, "start=scripts/mainmenu.lua");
    }
};

// Runs A and B: a new player's first visit, quit from the question in the storeroom, then the
// same player's return, played to the end and on to the Observatory. The dumps between them pin
// the player's record and the location's, field by field and whole.
TEST_F(GatehouseTest, RunsAAndBPlayTheGatehouseFromTheMenuToTheObservatory)
{
    EXPECT_EQ(RunA(""),
              (Traces{"start", "menu", "profile Ann", "record 0 0", "location 0", "quitverify"}));
    ExpectCleanLog();
    // Odo's first line in its bubble over the hall and its wooden door (blue, green, red).
    ExpectMatchesGolden(Shot("odo"), "gatehouse_odo.png");
    const std::vector<int> door = At(Shot("odo"), 590, 300);
    EXPECT_GT(door[2], door[0] + 30);
    // "tutorial_item" over the hall, pointing at the first half.
    ExpectMatchesGolden(Shot("item"), "gatehouse_tutorial_item.png");
    // Thessalor's hint: the token has flown, the hall is grey (the door), the missing half keeps
    // its brass.
    ExpectMatchesGolden(Shot("rays"), "gatehouse_hintselect.png");
    EXPECT_FALSE(Grey(At(Shot("item"), 560, 180), 20));
    EXPECT_TRUE(Grey(At(Shot("rays"), 560, 180), 16));
    const std::vector<int> half = At(Shot("rays"), 612, 410);
    EXPECT_GT(half[2], half[0] + 60);
    // The door swings away: half faded, then gone; the oil can and the glass join the strip.
    ExpectMatchesGolden(Shot("swing"), "gatehouse_solve.png");
    EXPECT_NE(At(Shot("swing"), 520, 200), At(Shot("open"), 520, 200));
    EXPECT_NE(At(Shot("item"), 305, 550), At(Shot("open"), 305, 550));
    EXPECT_NE(At(Shot("item"), 446, 550), At(Shot("open"), 446, 550));
    // Lirae's spotlight on the oil can, the cabinet grey outside it; clicked, the can is found.
    ExpectMatchesGolden(Shot("spotlight"), "gatehouse_hintselectlirae.png");
    EXPECT_TRUE(Grey(At(Shot("spotlight"), 640, 250), 16));
    const std::vector<int> can = At(Shot("spotlight"), 205, 395);
    EXPECT_GT(can[2], can[0] + 30); // rust-brown, in colour
    EXPECT_NE(At(Shot("spotlight"), 205, 395), At(Shot("found"), 205, 395));
    EXPECT_FALSE(Grey(At(Shot("found"), 640, 250), 20));
    // The journal's page with its goal line and entry; closed, the storeroom is back.
    ExpectMatchesGolden(Shot("journal"), "gatehouse_openjournal.png");

    // The saved state: prompts 0-9 seen, still in location 0 (state 3); the storeroom active,
    // one tracker of each medallion spent, three of five found; the key used, the oil can
    // complete in the strip, the glass a silhouette there, the wick not yet in play; Thessalor
    // used last, the lamp the one goal.
    const std::string dump = Dump();
    ExpectMatchesGoldenText(dump, "gatehouse_run_a.txt");
    Slot player = ParseDump(dump).at(1);
    const PlayerRecord record = ReadPlayer(player["playerdata"]);
    ASSERT_TRUE(record.mValid) << dump;
    EXPECT_EQ(record.mScore, 0);
    EXPECT_EQ(record.mTutorials, 0x3ffu);
    EXPECT_EQ(record.mLocation, 0);
    EXPECT_EQ(record.mState, 3);
    const LocationRecord location = ReadLocation(player["gamedata"], kObjects);
    ASSERT_TRUE(location.mValid) << dump;
    EXPECT_GT(location.mPlayTime, 0u);
    EXPECT_EQ(location.mActiveScene, 1);
    EXPECT_EQ(location.mLiraeMask, 2);
    EXPECT_EQ(location.mThessalorMask, 2);
    EXPECT_EQ(location.mProgressMax, 5);
    EXPECT_EQ(location.mProgress, 3);
    EXPECT_NE(location.mObjects[kGateKey].mFlags & kUsed, 0);
    EXPECT_EQ(location.mObjects[kOilCan].mFlags & (kShown | kInScene | kHeld), kShown);
    EXPECT_EQ(location.mObjects[kOilCan].mFound, 1);
    EXPECT_EQ(location.mObjects[kLampGlass].mFlags & (kShown | kInScene), kShown);
    EXPECT_EQ(location.mObjects[kLampGlass].mFound, 0);
    EXPECT_EQ(location.mObjects[kWick].mFlags & kShown, 0);
    EXPECT_EQ(location.mCharacter, 1);
    EXPECT_EQ(location.mGoals, std::vector<std::string>{"journal_lamp"});

    // Run B: the storeroom as run A left it; Lirae's prompt opens her board, left by its exit
    // button; Thessalor's prompt opens his, left the same way; the lamp glass, the lock, the wick
    // and the lamp; Odo's thanks; the map's overlay and the full map in its first seconds; the
    // journey to the Observatory.
    const std::string again =
        kPlay + "move 676 86\nwait 60\nshot restored\nwait 90\nshot lirae\n" +
        Walk("lirae_board", "trim_wick", 0,
             {ShotAt{"lirae_board", 110, "board"}, ShotAt{"thessalor_board_exit", 115, "thessalor"},
              ShotAt{"goto_lockpanel", 115, "lock"}, ShotAt{"lock_centre", 50, "burst"},
              ShotAt{"lock_centre", 145, "opened"}, ShotAt{"item_wick", 115, "bare"},
              ShotAt{"goto_gatehouse", 115, "back"}, ShotAt{"trim_wick", 110, "lit"},
              ShotAt{"trim_wick", 190, "thanks"}}) +
        Walk("odo_thanks", "odo_thanks", 0, {ShotAt{"odo_thanks", 100, "overlay"}}) +
        "wait 120\nshot map\n" + kSkipStory + "await \"location 1\"\nwait 60\nclose\n";
    EXPECT_EQ(RunClean(mRepository, again, "start=scripts/mainmenu.lua"),
              (Traces{"start", "menu Ann", "profile Ann", "record 3 0", "location 0", "complete 0",
                      "map", "story", "location 1"}));
    // Alike but for the HUD's pulses, whose phase follows the runs' timing.
    EXPECT_GE(Alike(Shot("restored"), Shot("storeroom")), 98.0);
    // Lirae's board over the storeroom; left, her prompt is gone and Thessalor's points at his.
    EXPECT_NE(At(Shot("board"), 400, 240), At(Shot("lirae"), 400, 240));
    EXPECT_NE(At(Shot("lirae"), 630, 80), At(Shot("thessalor"), 630, 80)) << "a prompt moved";
    // The lock panel's centre key, unlit: dark glass; solved, its sparks over the storeroom.
    EXPECT_LT(At(Shot("lock"), 400, 280)[2], 60);
    ExpectMatchesGolden(Shot("burst"), "gatehouse_burst.png");
    // The cabinet stands open with the wick on its shelf; found, the shelf is bare.
    EXPECT_EQ(At(Shot("opened"), 640, 200), (std::vector<int>{12, 22, 34}));
    EXPECT_NE(At(Shot("opened"), 640, 260), At(Shot("bare"), 640, 260));
    // Lit: the overlay and the glow over the lamp, the hall warmer than before.
    ExpectMatchesGolden(Shot("lit"), "gatehouse_lamp_lit.png");
    EXPECT_GT(At(Shot("lit"), 330, 232)[2], 240);
    EXPECT_GT(At(Shot("lit"), 700, 100)[2], At(Shot("back"), 700, 100)[2] + 8);
    ExpectMatchesGolden(Shot("overlay"), "gatehouse_map_overlay.png");
    ExpectMatchesGolden(Shot("map"), "gatehouse_map.png");

    // Location 1 entered (state 3) with its own record; the Gatehouse's play time is the score;
    // all twelve prompts seen, and the help of both boards (bits 12 and 13).
    player = Player();
    const PlayerRecord after = ReadPlayer(player["playerdata"]);
    ASSERT_TRUE(after.mValid);
    EXPECT_GT(after.mScore, 0);
    EXPECT_EQ(after.mTutorials, 0x3fffu);
    EXPECT_EQ(after.mLocation, 1);
    EXPECT_EQ(after.mState, 3);
    const LocationRecord observatory = ReadLocation(player["gamedata"], 2);
    ASSERT_TRUE(observatory.mValid);
    EXPECT_EQ(observatory.mActiveScene, 0);
    EXPECT_EQ(observatory.mGoals, std::vector<std::string>{"journal_desk"});
}

// The development entry opens the Gatehouse without prompts: the key found and used opens the door
// to the storeroom, and the storeroom's objects light the lamp; Odo's thanks end the location.
TEST_F(GatehouseTest, TheDevelopmentEntryPlaysTheWalkthroughWithoutPromptsOrHints)
{
    const std::string script =
        "focus gained\nwait 60\nshot hall\n" +
        Walk("odo_intro", "item_oilcan", kHints,
             {ShotAt{"item_key_1", 145, "key"}, ShotAt{"goto_storeroom", 115, "storeroom"}}) +
        Walk("item_lampglass", "odo_thanks", kAlways) + "wait 300\nclose\n";
    EXPECT_EQ(RunClean(mRepository, script, "start=scripts/dev/gatehouse.lua"),
              (Traces{"start", "complete 0", "map"}));
    ExpectMatchesGolden(Shot("hall"), "gatehouse_hall.png");
    // Both halves went: the whole key lies in the strip.
    EXPECT_NE(At(Shot("hall"), 150, 300), At(Shot("key"), 150, 300));
    EXPECT_NE(At(Shot("hall"), 612, 410), At(Shot("key"), 612, 410));
    EXPECT_NE(At(Shot("hall"), 376, 550), At(Shot("key"), 376, 550));
    ExpectMatchesGolden(Shot("storeroom"), "gatehouse_storeroom.png");
}

// Alt+Enter over the pause dialog, to a window and back twice: a display switch says no error
// and changes no picture (a shot is the game's 800 x 600 picture, whatever the window's size).
TEST_F(GatehouseTest, ADisplaySwitchOverThePauseDialogSaysNoErrorAndChangesNoPicture)
{
    std::string script = "focus gained\nwait 60\nshot hall\nmove 616 574\nwait 3\nclick 616 574\n"
                         "wait 60\nshot paused\n";
    for (int i = 1; i <= 4; ++i)
        script += "key 13 alt\nwait 60\nshot switch" + std::to_string(i) + "\n";
    RunClean(mRepository, script + "close\n", "start=scripts/dev/gatehouse.lua");
    const Picture paused = Shot("paused");
    ASSERT_GT(paused.mWidth, 0u);
    EXPECT_NE(At(Shot("hall"), 400, 246), At(paused, 400, 246)) << "the dialog's Resume is up";
    for (int i = 1; i <= 4; ++i)
        EXPECT_TRUE(Shot("switch" + std::to_string(i)).mPixels == paused.mPixels) << i;
}

// The same over the pause dialog that a lost focus opened while the hall was still loading (its
// pictures not read yet, the scene hidden behind the dialog): the display's return leaves the
// loading to read them, and no area says its mask failed.
TEST_F(GatehouseTest, ADisplaySwitchOverThePauseDialogWhileTheHallLoadsSaysNoError)
{
    std::string script = "focus gained\nawait menu\nwait 40\n" +
                         menupoints::ClickLine(menupoints::kPlay) +
                         "wait 60\ntext Ann\nwait 10\nclick 400 276\nawait \"location 0\"\n"
                         "wait 1\nfocus lost\nwait 5\nfocus gained\nwait 60\nshot paused\n";
    for (int i = 1; i <= 4; ++i)
        script += "key 13 alt\nwait 60\nshot switch" + std::to_string(i) + "\n";
    EXPECT_EQ(RunOk(mRepository, script + "close\n", ""),
              (Traces{"start", "menu", "profile Ann", "record 0 0", "location 0", "pause"}));
    EXPECT_EQ(LoggedLines("ERROR:"), 0u) << ReadFile(LogFile());
    const Picture paused = Shot("paused");
    ASSERT_GT(paused.mWidth, 0u);
    for (int i = 1; i <= 4; ++i)
        EXPECT_TRUE(Shot("switch" + std::to_string(i)).mPixels == paused.mPixels) << i;
}

// The wind through the gate: the first event starts it, and it is a sound of the hall, where an
// event finds sounds, so the hall's record holds it started and the load names nothing the
// location lacks. It was a sound of the location, which no event can start: the hall's one sound
// stood off in the record.
TEST_F(GatehouseTest, TheFirstEventStartsTheWindOfTheHall)
{
    RunClean(Unprompted(), std::string(kNewPlayer) + "wait 60\nclose\n",
             "start=scripts/mainmenu.lua");
    const std::vector<uint8_t> record = Player()["gamedata"];
    // The hall's block follows the head, the HUD and the objects: its dialog flag, its queued
    // animations, then the flags of its one sound.
    const size_t hall = 7 + 4 + 11 * kObjects;
    ASSERT_GT(record.size(), hall + 2);
    const size_t wind = hall + 2 + record[hall + 1];
    ASSERT_GT(record.size(), wind);
    EXPECT_EQ(record[wind] & 0x01, 0x01) << "the wind is on";
}

// The play-through as far as the wick; the oil can taken from the strip and clicked on the
// storeroom's way back to the hall, which has no event for it: it goes back to the strip, the way
// does not lead on, and the rest of the play-through lights the lamp with it and ends the location.
TEST_F(GatehouseTest, TheOilCanClickedOnTheWayBackReturnsToTheStrip)
{
    const std::string play = WalkthroughScript("front", "journey");
    const std::string wick = "click 640 260\nwait 120\n";
    const size_t split = play.find(wick);
    ASSERT_NE(split, std::string::npos);
    const std::string script = play.substr(0, split + wick.size()) +
                               "click 376 550\nwait 5\nmove 30 300\nwait 5\nclick 30 300\n"
                               "wait 90\nshot way\n" +
                               play.substr(split + wick.size()) +
                               "await \"complete 0\"\nwait 20\nclose\n";
    mErrorFile = mRoot / "errors.txt";
    EXPECT_EQ(
        RunClean(mRepository, script, ""),
        (Traces{"start", "menu", "profile Ann", "record 0 0", "location 0", "complete 0", "map"}));
    EXPECT_EQ(ReadFile(mErrorFile).find("timed out"), std::string::npos) << ReadFile(mErrorFile);
    // Still in the storeroom: its wall, not the hall's.
    EXPECT_EQ(At(Shot("way"), 400, 60),
              At(ReadPicture(mRepository / "tests/e2e/golden/gatehouse_storeroom.png"), 400, 60));
}

// Run C: closed right after a use, "Play" brings back the state after it (the door open, the key
// used, the storeroom's objects in the strip); closed with an object held, the next run gives it
// back held.
TEST_F(GatehouseTest, RunCClosesRightAfterAUseAndWhileAnObjectIsHeld)
{
    const fs::path game = Unprompted();
    // The key used on the door, and the close request while the door swings away.
    RunClean(game,
             std::string(kNewPlayer) + Walk("odo_intro", "hold_key", kHints) +
                 "move 550 270\nwait 3\nclick 550 270\nwait 36\nshot closing\nclose\n",
             "start=scripts/mainmenu.lua");
    // Closed before the door had swung away.
    const std::vector<int> door = At(Shot("closing"), 500, 300);
    EXPECT_GT(door[2], door[0] + 20);
    LocationRecord record = ReadLocation(Player()["gamedata"], kObjects);
    ASSERT_TRUE(record.mValid);
    EXPECT_NE(record.mObjects[kGateKey].mFlags & kUsed, 0);
    EXPECT_NE(record.mObjects[kOilCan].mFlags & kShown, 0);
    EXPECT_EQ(record.mGoals, std::vector<std::string>{"journal_lamp"});

    // "Play": the door is open (the doorway leads on), the oil can found there is taken from the
    // strip, and the game closed while it is held.
    RunClean(game,
             kPlay + "wait 150\n" + Walk("goto_storeroom", "goto_storeroom", 0) +
                 Walk("item_oilcan", "item_oilcan", 0) +
                 "move 305 550\nwait 3\nclick 305 550\nwait 5\nmove 600 420\nwait 20\nshot "
                 "holding\nclose\n",
             "start=scripts/mainmenu.lua");
    record = ReadLocation(Player()["gamedata"], kObjects);
    ASSERT_TRUE(record.mValid);
    EXPECT_EQ(record.mActiveScene, 1) << "the doorway led to the storeroom";
    EXPECT_NE(record.mObjects[kOilCan].mFlags & kHeld, 0);
    const std::vector<int> holding = At(Shot("holding"), 590, 428);
    EXPECT_GT(holding[2], holding[0] + 60) << "the red can at the mouse";

    // The next run gives it back held: it follows the mouse, and is stored held again.
    RunClean(game, kPlay + "wait 150\nmove 600 420\nwait 20\nshot held\nclose\n",
             "start=scripts/mainmenu.lua");
    record = ReadLocation(Player()["gamedata"], kObjects);
    ASSERT_TRUE(record.mValid);
    EXPECT_NE(record.mObjects[kOilCan].mFlags & kHeld, 0);
    const std::vector<int> can = At(Shot("held"), 590, 428);
    EXPECT_GT(can[2], can[0] + 60) << "the red can at the mouse";
}

// Damaged saved states, each set with the tool in a copy of run A's folder: nothing crashes, each
// is reported once (or not at all where it counts as absent), and the location or the player goes
// on from what can be read.
TEST_F(GatehouseTest, DamagedSavedStatesAreReportedAndPlayGoesOn)
{
    RunA("");
    ASSERT_FALSE(HasFailure()) << "run A did not end well";
    KeepData("run_a");
    const std::vector<uint8_t> record = Player()["gamedata"];
    ASSERT_GT(record.size(), 30u);
    const std::string resume = kPlay + "move 676 86\nwait 150\nshot resumed\nclose\n";
    const std::string journalLine = "ERROR: The location's saved journal block is damaged";

    // Cut inside the game's block (its goal's last byte gone): the storeroom restored, the journal
    // block dropped whole: no goals, no character; one line.
    SetPlayerValue("gamedata", std::vector<uint8_t>(record.begin(), record.end() - 1));
    RunOk(mRepository, resume, "start=scripts/mainmenu.lua");
    ExpectLogged(journalLine);
    LocationRecord after = ReadLocation(Player()["gamedata"], kObjects);
    ASSERT_TRUE(after.mValid);
    EXPECT_EQ(after.mActiveScene, 1);
    EXPECT_EQ(after.mCharacter, 0);
    EXPECT_TRUE(after.mGoals.empty());

    // A goal count past the end: the same.
    PutBackData("run_a");
    std::vector<uint8_t> counted = record;
    counted[counted.size() - 14] = 3;
    SetPlayerValue("gamedata", counted);
    RunOk(mRepository, resume, "start=scripts/mainmenu.lua");
    ExpectLogged(journalLine);
    after = ReadLocation(Player()["gamedata"], kObjects);
    ASSERT_TRUE(after.mValid);
    EXPECT_EQ(after.mActiveScene, 1);
    EXPECT_TRUE(after.mGoals.empty());

    // Cut inside the base's part: the location starts fresh in the hall; one line.
    PutBackData("run_a");
    SetPlayerValue("gamedata", std::vector<uint8_t>(record.begin(), record.begin() + 30));
    RunOk(mRepository, resume, "start=scripts/mainmenu.lua");
    ExpectLogged("Gameplay: the saved state of 30 bytes does not fit this location; it starts "
                 "fresh");
    EXPECT_EQ(ReadFile(LogFile()).find("ERROR:"), std::string::npos);
    after = ReadLocation(Player()["gamedata"], kObjects);
    EXPECT_EQ(after.mActiveScene, 0);

    // A player's record of 11 bytes: its fatal line ends the run (exit 2); the record is stored
    // again as zeros, from which the next run starts.
    PutBackData("run_a");
    SetPlayerValue("playerdata", std::vector<uint8_t>(11, 1));
    RunFatal(mRepository, resume, "start=scripts/mainmenu.lua");
    ExpectLogged("ERROR:PlayerData sizeof mismatch!   FILE:playerdata LINE:49");
    EXPECT_EQ(Player()["playerdata"], std::vector<uint8_t>(12, 0));
    int code = -1;
    EXPECT_EQ(RunTraced(mRepository, "focus gained\nwait 60\nclose\n", "start=scripts/mainmenu.lua",
                        code),
              (Traces{"start", "menu Ann"}));
    ExpectCleanLog();

    // A player's record of one byte counts as none: a new game, nothing reported.
    PutBackData("run_a");
    SetPlayerValue("playerdata", {0});
    const Traces traces = RunClean(mRepository, resume, "start=scripts/mainmenu.lua");
    EXPECT_NE(std::find(traces.begin(), traces.end(), "record 0 0"), traces.end());
}

// Run A twice, each in a fresh data folder, gives the same shots and the same saved state.
TEST_F(GatehouseTest, RunAIsTheSameEveryTime)
{
    RunA("_1");
    const std::string first = Dump();
    KeepData("first");
    fs::remove_all(DataFolder());
    RunA("_2");
    EXPECT_EQ(Dump(), first);
    for (const char* name :
         {"odo", "item", "rays", "swing", "open", "spotlight", "found", "journal", "storeroom"})
    {
        const Picture one = Shot(name + std::string("_1"));
        const Picture two = Shot(name + std::string("_2"));
        EXPECT_GT(one.mWidth, 0u) << name;
        EXPECT_TRUE(one.mPixels == two.mPixels) << name;
    }
}

// The tool's `--set` and `--delete`: one value of one slot changed, the file replaced whole through
// a temporary name; refused arguments and missing slots or keys leave the file's bytes alone.
TEST_F(GatehouseTest, PrefsdumpSetsAndDeletesOneValue)
{
    int code = -1;
    RunTraced(mRepository, std::string(kNewPlayer) + "close\n", "start=scripts/mainmenu.lua", code);
    ASSERT_TRUE(fs::exists(PrefsFile()));
    SetPlayerValue("gamedata", {0x00, 0x01, 0xfe, 0xff});
    SetPlayerValue("name", {'B', 'o', 'b', 0});
    EXPECT_NE(Dump().find("  name = \"Bob\"\n"), std::string::npos);
    const std::vector<Slot> before = ParseDump(Dump());
    ASSERT_EQ(Prefsdump({"--set", "0", "extra", "0a 0b"}), 0);
    EXPECT_EQ(ParseDump(Dump())[0]["extra"], (std::vector<uint8_t>{0x0a, 0x0b}));
    ASSERT_EQ(Prefsdump({"--delete", "0", "extra"}), 0);
    EXPECT_EQ(ParseDump(Dump()), before);

    const std::string bytes = ReadFile(PrefsFile());
    EXPECT_EQ(Prefsdump({"--set", "1", "name", "4"}), 2) << "an odd count of digits";
    EXPECT_EQ(Prefsdump({"--set", "1", "name", "zz"}), 2);
    EXPECT_EQ(Prefsdump({"--set", "x", "name", "00"}), 2);
    EXPECT_EQ(Prefsdump({"--delete", "1"}), 2);
    EXPECT_EQ(Prefsdump({"--set", "7", "name", "00"}), 1) << "no such slot";
    EXPECT_EQ(Prefsdump({"--delete", "1", "nothing"}), 1);
    EXPECT_EQ(ReadFile(PrefsFile()), bytes);
    // A damaged file is not rebuilt: what follows its bad chunk would be lost.
    WriteFile(PrefsFile(), bytes.substr(0, bytes.size() - 3));
    EXPECT_EQ(Prefsdump({"--delete", "1", "name"}), 1);
    EXPECT_EQ(ReadFile(PrefsFile()), bytes.substr(0, bytes.size() - 3));
    EXPECT_FALSE(fs::exists(PrefsFile().string() + ".new"));
}

TEST_F(GatehouseTest, AnItemWithoutItsPartsIsFatal)
{
    const fs::path game = CopyGame("content");
    const fs::path location = game / "assets/scripts/locations/gatehouse.lua";
    WriteFile(location, std::regex_replace(ReadFile(location),
                                           std::regex("inventoryparts = \\{ part or 1 \\},"), ""));
    RunFatal(game, "focus gained\nwait 60\nclose\n", "start=scripts/dev/gatehouse.lua");
    ExpectLogged(
        "ERROR:Item 'item_key_1' has no \"inventoryparts\" table, which every item needs   "
        "FILE:gameplayitem LINE:40");
}

TEST_F(GatehouseTest, AMissingAreaPictureIsLoggedAndTheLocationPlays)
{
    const fs::path game = CopyGame("content");
    fs::remove(game / "assets/areas/keeper.xml");
    fs::remove(game / "assets/areas/keeper.png");
    RunOk(game,
          "focus gained\nwait 60\n" + Walk("odo_intro", "item_key_2", 0) + "shot found\nclose\n",
          "start=scripts/dev/gatehouse.lua");
    ExpectLogged("ERROR:CreateCollisionMask failed   FILE:gameplayarea");
    // The rest plays: the key's half was found and left its place in the hall.
    const Picture hall = ReadPicture(mRepository / "tests/e2e/golden/gatehouse_hall.png");
    EXPECT_NE(At(Shot("found"), 150, 300), At(hall, 150, 300));
}

// A label missing from the string table: its line in the log, and the greeting goes on.
TEST_F(GatehouseTest, AMissingLabelIsLogged)
{
    const fs::path game = CopyGame("content");
    const fs::path strings = game / "assets/strings.xml";
    const std::string text = ReadFile(strings);
    WriteFile(strings, std::regex_replace(text, std::regex(">conv_odo_1<"), ">conv_odo_one<"));
    EXPECT_EQ(RunOk(game,
                    "focus gained\nwait 130\n" + Walk("odo_intro", "odo_intro2", 0) + "close\n",
                    "start=scripts/dev/gatehouse.lua"),
              Traces{"start"});
    ExpectLogged("Missing string for label 'conv_odo_1'");
}
} // namespace

} // namespace gatehouse_test
