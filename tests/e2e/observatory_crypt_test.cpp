// End-to-end runs of the Observatory and the Crypt, the second and third locations, opened by
// "Play" for a player whose record stands at them: both played through to the credits and the
// menu; a run closed in the vault comes back there with the slab lifted; spoilt copies of the
// content go on or go back to the menu as their faults allow.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "e2e/location_plays.h"
#include "e2e/program_test_support.h"

namespace
{
using namespace e2etest;

// The screen points the content keeps for its tests (the art keeps them solid): the Observatory's
// first, in location_plays.h.
constexpr const char* kLens = "150 200";
constexpr const char* kTelescope = "560 300";
constexpr const char* kEyepiece = "620 180";
// The five constellations, scrambled: draco, leo, pisces, gemini, scorpio.
constexpr const char* kSkyAnswers[] = {"560 320", "400 230", "250 110", "520 100", "260 330"};
constexpr const char* kHearthstone = "520 440";
constexpr const char* kHearth = "300 420";
constexpr const char* kFlint = "160 430";
constexpr const char* kBrazier = "620 360";
constexpr const char* kAltar = "400 240";
constexpr const char* kVault = "160 260";
constexpr const char* kVaultCover = "400 360";
// The overlay (0.6 s), then the full map: the large map, the zoom, the layers, the crossing and
// the layers again, about 7.6 s.
constexpr int kJourneyWaits = 560;
// The altar's crystals 1 to 5 and the vault's locks 0 to 2.
constexpr const char* kCrystals[] = {"", "160 265", "280 265", "400 265", "520 265", "640 265"};
constexpr const char* kLocks[] = {"250 170", "400 170", "550 170"};
// The puzzle scenes' way back, below the picture.
constexpr const char* kPuzzleBack = "400 480";
// Escape in the game, "yes" to the quit question.
constexpr const char* kQuit = "key 27\nwait 40\nclick 400 306\nwait 60\nshot after\nclose\n";

class ObservatoryCryptTest : public ScreenProgramTest
{
protected:
    // A copy of the content with a player, Ann, whose record stands at `location`.
    fs::path GameAt(int location, const std::string& copy = "content")
    {
        const fs::path game = CopyGame(copy);
        WriteFile(game / "assets/scripts/make.lua", PlayerAtScript(location));
        RunOk(game, "wait 5\nclose\n", "start=scripts/make.lua");
        return game;
    }
    // "Play" on the menu, for the player the menu greets (the run must end well).
    Traces Play(const fs::path& game, const std::string& then)
    {
        return RunOk(game,
                     "focus gained\nwait 40\n" + ClickLine(menupoints::kPlay) + then + "close\n",
                     "start=scripts/mainmenu.lua");
    }
    // "Play", then the script; once its last frame is shot the game is asked to end by the
    // system (SIGTERM), and must end well.
    Traces PlayThenTerminate(const fs::path& game, const std::string& then)
    {
        std::error_code ignored;
        fs::remove(LogFile(), ignored);
        fs::remove(mRoot / "ended.png", ignored);
        const fs::path input = mRoot / ("input" + std::to_string(++mRuns) + ".txt");
        const fs::path output = mRoot / ("output" + std::to_string(mRuns) + ".txt");
        WriteFile(input, "focus gained\nwait 40\n" + ClickLine(menupoints::kPlay) + then +
                             "shot ended\nwait 100000\n");
        mOutputFile = output;
        const int pid = Start(
            {"--multiple", "-wd=" + game.string(), "options=trace=1&start=scripts/mainmenu.lua"},
            {"MURKWELL_INPUT_SCRIPT=" + input.string(), "MURKWELL_FIXED_STEP=16",
             "MURKWELL_GUID_SEED=1"});
        mOutputFile.clear();
        EXPECT_GT(pid, 0);
        if (pid <= 0)
            return {};
        const uint32_t start = LoadTimeMs();
        while (!HasShot("ended") && LoadTimeMs() - start < kEndLimitMs)
            sys::SleepMs(50);
        EXPECT_TRUE(HasShot("ended")) << "the script did not reach its end";
        sys::SleepMs(200);
        sys::SignalProcess(pid, false);
        EXPECT_EQ(WaitForEnd(pid), 0);
        return TraceLines(ReadFile(output));
    }
    std::string Log() const { return ReadFile(LogFile()); }
    fs::path UserFile(const std::string& name) const
    {
        return mRoot / "data/Tovrix/Murkwell" / name;
    }
    static void Edit(const fs::path& file, const std::string& pattern,
                     const std::string& replacement)
    {
        const std::string text = ReadFile(file);
        WriteFile(file, std::regex_replace(text, std::regex(pattern), replacement));
        EXPECT_NE(ReadFile(file), text) << pattern;
    }
    // The score file as prefsdump prints its document.
    std::string Scores() const
    {
        const fs::path output = mRoot / "scores.txt";
        int pid = sys::SpawnProcess({"/bin/sh", "-c", "exec \"$0\" \"$@\" >\"$MW_OUTPUT\" 2>&1",
                                     MURKWELL_PREFSDUMP, "--hiscore", UserFile("hiscore.dat")},
                                    {"MW_OUTPUT=" + output.string()});
        int code = -1;
        EXPECT_TRUE(pid > 0 && WaitProcessLoaded(pid, kEndLimitMs, code) && code == 0);
        return ReadFile(output);
    }
    static std::string Click(const char* point) { return std::string("click ") + point + "\n"; }
    // A puzzle's lens moved onto each point in turn, followed for a few frames, and clicked there;
    // after the last, one frame and a shot named `shot` if one is asked for.
    static std::string WithTheLens(const char* const (&points)[5], size_t count = 5,
                                   const std::string& shot = "", size_t from = 0)
    {
        std::string steps;
        for (size_t i = from; i < count; ++i)
            steps += std::string("move ") + points[i] + "\nwait 4\n" + Click(points[i]) +
                     (i + 1 == count && !shot.empty() ? "wait 1\nshot " + shot + "\nwait 3\n"
                                                      : "wait 4\n");
        return steps;
    }
    // From the Observatory's arrival to the scroll on the lit desk.
    static std::string ToTheScroll()
    {
        return "wait 200\n" + Click(kCandle) + "wait 120\n" + Use(kDesk) + Click(kScroll) +
               "wait 120\n";
    }
    // The scroll's row of buttons, its lens and the symbols around them.
    static Picture ScrollPart(const Picture& shot) { return Crop(shot, 140, 30, 520, 380); }
    // The strip's one object held and dropped on `area`.
    static std::string Use(const char* area)
    {
        return Click(kStripOne) + "wait 5\nmove " + area + "\nwait 5\n" + Click(area) +
               "wait 120\n";
    }
    // The crystals clicked in turn, a moment between clicks.
    static std::string Crystals(const std::vector<int>& numbers)
    {
        std::string text;
        for (int number : numbers)
            text += Click(kCrystals[number]) + "wait 3\n";
        return text;
    }
    // In the altar's close-up: each pattern's demonstration waited for (its idle wait and five
    // steps take some 180 frames) and answered backwards; the first answered wrong once and
    // shown again. After the fifth the puzzle asks for its event 2000 ms later.
    static std::string SolveTheRitual() { return FirstTwoPatterns() + LastThreePatterns(); }
    static std::string FirstTwoPatterns()
    {
        return "wait 200\n" + Crystals({5, 1, 4, 2}) + "wait 200\n" + Crystals({5, 1, 4, 1, 3}) +
               "wait 200\n" + Crystals({5, 4, 3, 2, 1});
    }
    static std::string LastThreePatterns()
    {
        return "wait 200\n" + Crystals({1, 2, 3, 4, 5}) + "wait 200\n" + Crystals({2, 2, 2, 2, 2}) +
               "wait 200\n" + Crystals({1, 3, 5, 3, 1}) + "wait 250\n";
    }
    // In the vault with its cover lifted: each sequence waited for (the eyes take 500 ms each)
    // and entered, the second with one wrong lock that turns the first back and shows it again.
    static std::string SolveTheLocks()
    {
        const std::string turn = "wait 30\n";
        return "wait 100\n" + Click(kLocks[0]) + turn + Click(kLocks[1]) + turn + "wait 120\n" +
               Click(kLocks[2]) + turn + Click(kLocks[1]) + "wait 36\nshot eyes\nwait 114\n" +
               Click(kLocks[2]) + turn + Click(kLocks[0]) + turn + Click(kLocks[1]) + turn +
               "wait 150\n";
    }
    // From the crypt's arrival to the vault with its cover lifted.
    static std::string ToTheLiftedCover()
    {
        return Click(kFlint) + "wait 120\n" + Use(kBrazier) + "shot fire\n" + Click(kAltar) +
               "wait 120\n" + SolveTheRitual() + "shot ritualdone\n" + Click(kVault) +
               "wait 120\n" + Click(kVaultCover) + "wait 120\nshot lifted\n";
    }
};

// The whole road from the Observatory: the candle lights the desk, the scroll's symbols read in
// order under its lens give the lens, fitted to the telescope it opens the sky, whose five
// constellations found in a scrambled order end the location; the map; the crypt from dark through
// the ritual and the locks to the hearth relit; the credits and the menu. The record ends past the
// last location, and the score table holds the player's accumulated play time.
TEST_F(ObservatoryCryptTest, TheObservatoryAndTheCryptPlayOnToTheCreditsAndTheMenu)
{
    const fs::path game = GameAt(1);
    // Lightning pushed past the journey and the credits six times as fast, as on the route's runs.
    Edit(game / "assets/scripts/map.lua",
         "mintimebetweenstrikes = 4000, maxtimebetweenstrikes = 9000",
         "mintimebetweenstrikes = 400000, maxtimebetweenstrikes = 900000");
    Edit(game / "assets/scripts/credits.lua", "scrollspeed = (\\d+)", "scrollspeed = 6 * $1");
    const std::string observatory =
        "wait 200\n" + Click(kCandle) + "wait 120\n" + Use(kDesk) + "shot desk\n" + Click(kScroll) +
        "wait 120\n" + WithTheLens(kScrollAnswers, 5, "scrollread") + "wait 20\nshot burst\n" +
        "wait 200\n" + Click(kLens) + "wait 120\n" + Use(kTelescope) + Click(kEyepiece) +
        "wait 120\n" + WithTheLens(kSkyAnswers, 5, "skysolved") + "wait 60\n";
    const std::string crypt = "wait " + std::to_string(kJourneyWaits) + "\nwait 200\nshot dark\n" +
                              ToTheLiftedCover() + SolveTheLocks() + Click(kHearthstone) +
                              "wait 120\n" + Use(kHearth) + "wait 60\n";
    EXPECT_EQ(Play(game, observatory + crypt + "wait 300\nshot menu\n"),
              (Traces{"start", "menu Ann", "profile Ann", "record 0 1", "location 1", "complete 1",
                      "map", "location 2", "complete 2", "credits"}));
    ExpectCleanLog();
    ExpectMatchesGolden(Crop(Shot("desk"), 180, 220, 240, 240), "observatory_desk_lit.png");
    ExpectMatchesGolden(Shot("dark"), "crypt_dark.png");
    ExpectMatchesGolden(Crop(Shot("menu"), 100, 196, 600, 36), "front_greeting.png");
    // The five buttons lit and five glows on the lens over the last symbol; the sky with every
    // constellation and five plates lit.
    ExpectMatchesGolden(ScrollPart(Shot("scrollread")), "scroll_read.png");
    ExpectMatchesGolden(Crop(Shot("skysolved"), 0, 0, 800, 480), "sky_solved.png");
    // Each puzzle's instruction line, the first time it opens, reads on its band.
    for (const char* shot : {"scrollread", "skysolved"})
        EXPECT_GE(TextContrast(Shot(shot), 70, 16, 660, 14), 4.5) << shot;
    // The scroll's burst over the observatory, where it came back to.
    EXPECT_NE(At(Shot("burst"), 400, 260), At(Shot("desk"), 400, 260));

    // Past the last location, in the state every completion hands over in: the map's, the
    // credits having none of their own (the location byte past the last sends "Play" to the
    // credits again, whatever the state); the score is the time the two locations took (fixed
    // steps).
    const std::string prefs = DumpPrefs(UserFile("prefs.dat"));
    std::smatch record;
    ASSERT_TRUE(std::regex_search(prefs, record,
                                  std::regex("playerdata = hex ((?:[0-9a-f]{2} ){4})00 00 00 00 "
                                             "03 01 00 00\n")))
        << prefs;
    uint32_t score = 0;
    for (int i = 3; i >= 0; --i)
        score = score * 256 + std::stoul(record[1].str().substr(size_t(i) * 3, 2), nullptr, 16);
    EXPECT_GT(score, 30000u);
    const std::string scores = Scores();
    const std::regex row("<row\\s");
    EXPECT_EQ(std::distance(std::sregex_iterator(scores.begin(), scores.end(), row),
                            std::sregex_iterator()),
              1)
        << scores;
    EXPECT_NE(scores.find("score=\"" + std::to_string(score) + "\""), std::string::npos) << scores;
    EXPECT_NE(scores.find("name=\"Ann\""), std::string::npos) << scores;
}

// The crypt opens dark; the flint lights the brazier; the altar's ritual, answered, opens the
// vault, whose cover lifted shows the locks. Closed there, the next "Play" is back in the vault:
// the slab gone, the cover done (no hilight over the pit).
// The candle found and Lirae's tracker clicked while it fades away (it has arrived in the strip, so
// the click is taken): it is no target, so the tracker answers there is none and stays unspent;
// the clicks on the strip after it are play as usual, and nothing is logged.
TEST_F(ObservatoryCryptTest, ATrackerClickedWhileTheFoundCandleFadesOffersNoHintOnIt)
{
    const fs::path game = GameAt(1);
    Play(game, "wait 200\nshot before\n" + Click(kCandle) + "wait 80\nmove 690 528\nwait 3\n" +
                   Click("690 528") + "wait 100\nmove 376 550\nwait 3\n" + Click("376 550") +
                   "wait 100\n" + Click("376 545") + "wait 200\nshot hinted\n" + kQuit);
    ExpectCleanLog();
    EXPECT_EQ(At(Shot("before"), 690, 528), At(Shot("hinted"), 690, 528))
        << "Lirae's tracker is not spent";
}

// Each medallion's trackers are both lit on arriving: the medallion's tooltip says its hints are
// ready and where they are, not that it has none. With the candle used on the desk nothing is
// left to find; a lit tracker clicked then opens the journal, whose note says why.
TEST_F(ObservatoryCryptTest, AFullMedallionSaysSoAndATrackerWithNothingToHintSaysWhy)
{
    const fs::path game = GameAt(1);
    Play(game, "wait 200\nmove 50 550\nwait 40\nshot thessalor\nmove 750 550\nwait 40\n"
               "shot lirae\n" +
                   Click(kCandle) + "wait 120\n" + Use(kDesk) + "move 110 528\nwait 3\n" +
                   Click("110 528") + "wait 60\nshot journal\n" + kQuit);
    ExpectCleanLog();
    ExpectMatchesGolden(Crop(Shot("thessalor"), 50, 500, 280, 50), "medallion_full_thessalor.png");
    ExpectMatchesGolden(Crop(Shot("lirae"), 520, 500, 280, 50), "medallion_full_lirae.png");
    ExpectMatchesGolden(Crop(Shot("journal"), 410, 290, 280, 110), "journal_nohint.png");
}

TEST_F(ObservatoryCryptTest, AVaultClosedAfterTheCoverWasLiftedIsBackWithTheSlabGone)
{
    const fs::path game = GameAt(2);
    EXPECT_EQ(Play(game, "wait 200\nshot dark\n" + ToTheLiftedCover()),
              (Traces{"start", "menu Ann", "profile Ann", "record 0 2", "location 2"}));
    ExpectCleanLog();
    ExpectMatchesGolden(Shot("dark"), "crypt_dark.png");
    // Below where the embers rise: they draw from the generator every other system shares.
    ExpectMatchesGolden(Crop(Shot("fire"), 560, 282, 120, 120), "crypt_brazier_lit.png");
    // The slab faded away from over the pit.
    const std::vector<int> pit = At(Shot("lifted"), 330, 330);
    ASSERT_EQ(pit.size(), 3u);
    EXPECT_LT(pit[2], 40);

    EXPECT_EQ(Play(game, "wait 200\nshot again\nmove " + std::string(kVaultCover) +
                             "\nwait 60\nshot over\n"),
              (Traces{"start", "menu Ann", "profile Ann", "record 3 2", "location 2"}));
    ExpectCleanLog();
    EXPECT_EQ(At(Shot("again"), 330, 330), pit);
    EXPECT_EQ(At(Shot("over"), 330, 330), pit);
    // The locks wait on the wall above the pit.
    EXPECT_EQ(At(Shot("again"), 400, 180), At(Shot("lifted"), 400, 180));
}

// The whole crypt: the flint, the brazier, the altar's five patterns (back in the crypt after
// the fifth), the cover, the vault's two sequences, the hearthstone set in the hearth: the
// hearth burns again and the game ends.
TEST_F(ObservatoryCryptTest, TheRitualAndTheLocksGiveUpTheHearthstoneAndTheGameEnds)
{
    const fs::path game = GameAt(2);
    const std::vector<std::string> traces = Play(
        game, "wait 200\n" + ToTheLiftedCover() + SolveTheLocks() + "shot opened\n" +
                  Click(kHearthstone) + "wait 120\n" + Use(kHearth) + "shot relit\nwait 400\n");
    ExpectCleanLog();
    EXPECT_EQ(traces, (Traces{"start", "menu Ann", "profile Ann", "record 0 2", "location 2",
                              "complete 2", "credits"}));
    // Back in the crypt after the fifth pattern, the vault open; the second sequence shown
    // again after the wrong lock, its first eye lit over the third lock.
    ExpectMatchesGolden(Crop(Shot("ritualdone"), 60, 120, 440, 280), "crypt_ritual_done.png");
    ExpectMatchesGolden(Crop(Shot("eyes"), 150, 40, 500, 200), "vault_eyes.png");
    EXPECT_GE(TextContrast(Shot("eyes"), 70, 16, 660, 14), 4.5);
}

// The crypt as the play-through plays it up to the vault's locks opened, then the pointer moved to
// bare wall: the arrow, as it was there on arrival, not the hand the locks show under it.
TEST_F(ObservatoryCryptTest, AfterTheLocksThePointerOnBareWallIsTheArrowAgain)
{
    const fs::path game = GameAt(2);
    const std::string crypt = WalkthroughScript("crypt", "end");
    const std::string arrival = "shot crypt\n";
    const size_t arrived = crypt.find(arrival);
    const size_t opened = crypt.find(Click(kHearthstone));
    ASSERT_NE(opened, std::string::npos);
    ASSERT_LT(arrived, opened);
    const std::string wall = "move 700 100\nwait 3\nshot ";
    Play(game, crypt.substr(0, arrived) + wall + "arrived\n" +
                   crypt.substr(arrived + arrival.size(), opened - arrived - arrival.size()) +
                   wall + "opened\n");
    ExpectCleanLog();
    const std::string arrow = PointerShape(Shot("arrived"), 700, 100);
    EXPECT_NE(arrow.find('#'), std::string::npos) << "no pointer on arrival";
    EXPECT_EQ(PointerShape(Shot("opened"), 700, 100), arrow);
}

// Without the brazier's fire sheet the fire is logged missing and the crypt plays on: the altar
// lights up and leads to its close-up.
TEST_F(ObservatoryCryptTest, AMissingFireSheetIsLoggedAndTheCryptPlays)
{
    const fs::path game = GameAt(2);
    fs::remove(game / "assets/scenes/crypt/brazier_fire_sheet.png");
    Play(game, "wait 200\n" + Click(kFlint) + "wait 120\n" + Use(kBrazier) + "shot unlit\n" +
                   Click(kAltar) + "wait 120\nshot altar\n");
    EXPECT_NE(Log().find(": Animation scenes/crypt/brazier_fire.xml: its frame sheet "
                         "brazier_fire_sheet.png cannot be read\n"),
              std::string::npos)
        << Log();
    // No fire over the brazier, the altar's close-up with its crystals.
    const Picture dark = ReadPicture(mRepository / "tests/e2e/golden/crypt_dark.png");
    EXPECT_EQ(At(Shot("unlit"), 620, 290), At(dark, 620, 290));
    const std::vector<int> crystal = At(Shot("altar"), 160, 257);
    ASSERT_EQ(crystal.size(), 3u);
    EXPECT_GT(crystal[0], crystal[2] + 20);
}

// A location script that does not run: its error on one line, and back to the menu, where "Play"
// tries it once more.
TEST_F(ObservatoryCryptTest, ALocationScriptWithASyntaxErrorGoesBackToTheMenu)
{
    const fs::path game = GameAt(1);
    const fs::path script = game / "assets/scripts/locations/observatory.lua";
    WriteFile(script, std::regex_replace(ReadFile(script), std::regex("gScreen = \"gameplay\""),
                                         "gScreen = = \"gameplay\""));
    EXPECT_EQ(Play(game, "wait 100\nshot menu\n" + ClickLine(menupoints::kPlay) + "wait 60\n"),
              (Traces{"start", "menu Ann", "profile Ann", "record 0 1", "location 1", "profile Ann",
                      "record 0 1", "location 1"}));
    const std::string log = Log();
    const std::string line =
        "Lua error: location 1 did not open, back to the menu: "
        "assets/scripts/locations/observatory.lua:5: unexpected symbol near `='\n";
    ASSERT_NE(log.find(line), std::string::npos) << log;
    EXPECT_NE(log.find(line, log.find(line) + 1), std::string::npos) << log;
    EXPECT_EQ(log.find("lua_resume"), std::string::npos) << log;
    ExpectMatchesGolden(Crop(Shot("menu"), 100, 196, 600, 36), "front_greeting.png");
}

// Two of the scroll's symbols read, out to the Observatory and back: still two. Escape and "yes"
// end the game; the next "Play" is back at the scroll with two buttons and two glows lit, and the
// record's block of the scroll starts with the count.
// The scroll's progress row shows the sign wanted at each place before any is found. Two signs
// found, then the fourth's place clicked: the row goes dark with a sound and a note under it
// saying so, which goes again after some seconds.
TEST_F(ObservatoryCryptTest, TheScrollShowsItsOrderAndSaysAReset)
{
    const fs::path game = GameAt(1);
    Play(game, ToTheScroll() + "shot row\n" + WithTheLens(kScrollAnswers, 2) +
                   WithTheLens(kScrollAnswers, 4, "reset", 3) +
                   "wait 30\nshot note\nwait 200\nshot later\n" + kQuit);
    ExpectCleanLog();
    ExpectMatchesGolden(Crop(Shot("row"), 210, 36, 380, 48), "scroll_order.png");
    ExpectMatchesGolden(Crop(Shot("note"), 100, 86, 400, 36), "scroll_reset_note.png");
    EXPECT_EQ(Crop(Shot("reset"), 210, 36, 380, 48).mPixels,
              Crop(Shot("row"), 210, 36, 380, 48).mPixels)
        << "the row is not dark again";
    // The note gone: the scroll under it as before.
    const Picture before = Crop(Shot("row"), 100, 86, 400, 36);
    const Picture after = Crop(Shot("later"), 100, 86, 400, 36);
    size_t same = 0;
    for (size_t i = 0; i < before.mPixels.size(); ++i)
        same += std::abs(int(before.mPixels[i]) - int(after.mPixels[i])) <= 8;
    EXPECT_GE(same * 100, before.mPixels.size() * 99) << "the note stays";
}

TEST_F(ObservatoryCryptTest, AScrollLeftHalfReadIsFoundAsItWasAlsoByTheNextRun)
{
    const fs::path game = GameAt(1);
    Play(game, ToTheScroll() + WithTheLens(kScrollAnswers, 2, "two") + Click(kPuzzleBack) +
                   "wait 120\nshot away\n" + Click(kScroll) + "wait 120\nshot again\n" + kQuit);
    ExpectCleanLog();
    // Button 2 lit, button 3 not, before and after the visit to the Observatory.
    const std::vector<int> lit = At(Shot("two"), 320, 60);
    const std::vector<int> unlit = At(Shot("two"), 400, 60);
    ASSERT_EQ(lit.size(), 3u);
    EXPECT_NE(lit, unlit);
    EXPECT_NE(At(Shot("away"), 320, 60), lit);
    EXPECT_EQ(At(Shot("again"), 320, 60), lit);
    EXPECT_EQ(At(Shot("again"), 400, 60), unlit);
    EXPECT_FALSE(fs::exists(mRoot / "after.png")) << "the game did not end";

    // The third symbol read there, and the window closed at once: no calm point came since the
    // scroll's fade-in, and the record keeps the three.
    EXPECT_EQ(Play(game, "wait 150\nshot restored\n" + WithTheLens(kScrollAnswers, 3, "", 2)),
              (Traces{"start", "menu Ann", "profile Ann", "record 3 1", "location 1"}));
    ExpectCleanLog();
    EXPECT_EQ(At(Shot("restored"), 320, 60), lit);
    EXPECT_EQ(At(Shot("restored"), 400, 60), unlit);
    ExpectMatchesGolden(ScrollPart(Shot("restored")), "scroll_restored.png");
    const std::string prefs = DumpPrefs(UserFile("prefs.dat"));
    // The count, the desk's scene (no dialog, no animations, its two entities), then the sky's
    // block: no plate lit, no dialog, no animations.
    EXPECT_TRUE(
        std::regex_search(prefs, std::regex("gamedata = hex [0-9a-f ]* 03 00 00 03 03 00 00 00 ")))
        << prefs;

    // Three lit the next time; the fourth and the fifth read the scroll whole. Through the
    // telescope three constellations are found, and the game is ended by the system.
    const std::string sky = "wait 20\nwait 200\n" + Click(kLens) + "wait 120\n" + Use(kTelescope) +
                            Click(kEyepiece) + "wait 120\n" + WithTheLens(kSkyAnswers, 3);
    EXPECT_EQ(PlayThenTerminate(game, "wait 150\nshot third\n" +
                                          WithTheLens(kScrollAnswers, 5, "scrollread", 3) + sky),
              (Traces{"start", "menu Ann", "profile Ann", "record 3 1", "location 1"}));
    ExpectCleanLog();
    EXPECT_EQ(At(Shot("third"), 400, 60), lit);
    // Its own golden: the instruction band shows on a puzzle's first opening only.
    ExpectMatchesGolden(ScrollPart(Shot("scrollread")), "scroll_read_restored.png");

    // The sky comes back with its three plates lit; the last two constellations end the location.
    EXPECT_EQ(Play(game, "wait 150\nshot skyback\n" + WithTheLens(kSkyAnswers, 5, "", 3) +
                             "await map\nwait 10\n"),
              (Traces{"start", "menu Ann", "profile Ann", "record 3 1", "location 1", "complete 1",
                      "map"}));
    ExpectCleanLog();
    ExpectMatchesGolden(Crop(Shot("skyback"), 0, 0, 800, 480), "sky_restored.png");
}

// The altar left while its third pattern is shown and entered again: the third is shown again
// and, with the fourth and the fifth, opens the vault. There the first sequence is entered and
// the game ended with Escape and "yes"; the next "Play" is back in the vault with those two locks
// turned and the eyes showing the second sequence.
TEST_F(ObservatoryCryptTest, ARitualLeftMidwayAndAVaultLeftAfterOneSequenceAreFoundAsTheyWere)
{
    const fs::path game = GameAt(2);
    const std::string first =
        "wait 200\n" + Click(kFlint) + "wait 120\n" + Use(kBrazier) + Click(kAltar) + "wait 120\n" +
        FirstTwoPatterns() + "wait 100\n" + Click(kPuzzleBack) + "wait 120\n" + Click(kAltar) +
        "wait 120\n" + LastThreePatterns() + Click(kVault) + "wait 120\n" + Click(kVaultCover) +
        "wait 120\nshot lifted\nwait 100\n" + Click(kLocks[0]) + "wait 30\n" + Click(kLocks[1]) +
        "wait 30\nwait 10\nshot oneseq\n" + kQuit;
    EXPECT_EQ(Play(game, first), (Traces{"start", "menu Ann", "profile Ann", "record 0 2",
                                         "location 2", "quitverify"}));
    ExpectCleanLog();
    const std::vector<int> lockAtRest = At(Shot("lifted"), 400, 140);
    ASSERT_EQ(lockAtRest.size(), 3u);
    EXPECT_NE(At(Shot("oneseq"), 400, 140), lockAtRest);

    EXPECT_EQ(
        Play(game, "wait 150\nshot restored\n" + std::string(kQuit)),
        (Traces{"start", "menu Ann", "profile Ann", "record 3 2", "location 2", "quitverify"}));
    ExpectCleanLog();
    EXPECT_EQ(At(Shot("restored"), 400, 140), At(Shot("oneseq"), 400, 140));
    ExpectMatchesGolden(Crop(Shot("restored"), 150, 40, 500, 200), "vault_restored.png");
}

// Two of the altar's patterns answered and the game ended at once by Escape and "yes": the next
// "Play" is back at the altar with two beams lit, takes the third pattern's answer without showing
// the first again, and the last three open the vault. There the first sequence and one lock of
// the second are entered and the game is ended by the system; the next "Play" is back with those
// three locks turned, and the second sequence's last two locks give up the hearthstone.
TEST_F(ObservatoryCryptTest, ARitualAndAVaultEndedMidwayAreTakenUpWhereTheyWere)
{
    const fs::path game = GameAt(2);
    EXPECT_EQ(
        Play(game, "wait 200\n" + Click(kFlint) + "wait 120\n" + Use(kBrazier) + Click(kAltar) +
                       "wait 120\n" + FirstTwoPatterns() + "wait 10\n" + kQuit),
        (Traces{"start", "menu Ann", "profile Ann", "record 0 2", "location 2", "quitverify"}));
    ExpectCleanLog();
    EXPECT_FALSE(HasShot("after")) << "the game did not end";

    const std::string locks = Click(kVault) + "wait 120\n" + Click(kVaultCover) +
                              "wait 120\nshot lifted\nwait 100\n" + Click(kLocks[0]) + "wait 30\n" +
                              Click(kLocks[1]) + "wait 30\nwait 120\n" + Click(kLocks[2]) +
                              "wait 30\n";
    EXPECT_EQ(PlayThenTerminate(game, "wait 150\nshot altarback\n" + LastThreePatterns() + locks),
              (Traces{"start", "menu Ann", "profile Ann", "record 3 2", "location 2"}));
    ExpectCleanLog();
    ExpectMatchesGolden(Crop(Shot("altarback"), 60, 20, 680, 280), "ritual_restored.png");
    const std::vector<int> lockAtRest = At(Shot("lifted"), 550, 140);
    ASSERT_EQ(lockAtRest.size(), 3u);

    EXPECT_EQ(Play(game, "wait 150\nshot vaultback\nwait 150\n" + Click(kLocks[0]) + "wait 30\n" +
                             Click(kLocks[1]) + "wait 150\n" + Click(kHearthstone) + "wait 120\n" +
                             Use(kHearth) + "wait 60\n"),
              (Traces{"start", "menu Ann", "profile Ann", "record 3 2", "location 2", "complete 2",
                      "credits"}));
    ExpectCleanLog();
    EXPECT_NE(At(Shot("vaultback"), 550, 140), lockAtRest);
}

// The sky's script gone from a copy: opening the Observatory ends the game with the runner's line;
// the ritual's gone from another: opening the Crypt does the same. Both end with status 0.
TEST_F(ObservatoryCryptTest, APuzzleScriptThatDoesNotRunEndsTheGameWithItsLine)
{
    const struct
    {
        int location;
        const char* script;
        const char* line;
    } cases[] = {{1, "searchingtheheavens.lua", "searchingtheheavens"},
                 {2, "ritualpuzzle.lua", "ritualpuzzle"}};
    for (const auto& item : cases)
    {
        const fs::path game = GameAt(item.location, item.script);
        fs::remove(game / "assets/scripts/minigames" / item.script);
        SCOPED_TRACE(item.script);
        RunFatal(game,
                 "focus gained\nwait 40\n" + ClickLine(menupoints::kPlay) + "wait 200\nclose\n",
                 "start=scripts/mainmenu.lua");
        ExpectInLog(std::string("ERROR:ERROR: Failed running ") + item.line +
                    " in MKWGameplay!   FILE:mkwgameplay LINE:");
    }
}
} // namespace
