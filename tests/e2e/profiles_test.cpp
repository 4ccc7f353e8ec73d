// End-to-end runs of the options and profile screens on the repository's content: sliders, the
// full-screen switch and the cursor choice stored and shown again; profiles typed, scrolled,
// deleted after the question and selected; a name of blanks refused; the menu's greeting of the
// current profile; damaged preferences and scores on a nearly full disk, and ones that are no
// files; saves past planted links, on a disk gone read-only, and a damaged score file removed
// meanwhile; a FIFO as exclusion file; two copies on one data folder each keeping the player they
// made.
#include "e2e/location_plays.h"
#include "e2e/program_test_support.h"
#include "e2e/saved_versions.h"
#include "sys/files/paths.h"

#include <sys/stat.h>

#include <csignal>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <regex>
#include <sstream>

namespace e2etest
{
namespace
{

// Where the screens' controls lie on the 800 x 600 screen (centres).
constexpr const char* kNewProfile = "click 280 406\n";
constexpr const char* kDeleteProfile = "click 520 406\n";
constexpr const char* kSelectProfile = "click 280 462\n";
constexpr const char* kCancelProfiles = "click 520 462\n";
// The first and second buttons of the dialogs: the name's "OK", the question's "Yes" and "No".
constexpr const char* kNameOk = "click 400 276\n";
constexpr const char* kYes = "click 400 286\n";
constexpr const char* kNo = "click 400 342\n";

std::string ClickRow(int row)
{
    return "click 340 " + std::to_string(168 + 44 * row) + "\n";
}

// "New player", the name typed once the dialog has dropped in, "OK", and the dialog's way out.
std::string TypeProfile(const std::string& name)
{
    return std::string(kNewProfile) + "wait 36\ntext " + name + "\nwait 3\n" + kNameOk +
           "wait 20\n";
}

// A new profile's player record, as prefsdump shows it.
constexpr const char* kZeroRecord = "  playerdata = hex 00 00 00 00 00 00 00 00 00 00 00 00\n";

class ProfilesProgramTest : public ScreenProgramTest
{
protected:
    Picture Shot(const std::string& name)
    {
        const Picture picture = ReadPicture(mRoot / (name + ".png"));
        EXPECT_EQ(picture.mWidth, 800u) << name << " was not taken";
        return picture;
    }
};

TEST_F(ProfilesProgramTest, OptionsAreAppliedStoredByOkAndShownByTheNextRun)
{
    // The effect slider's thumb from 0.75 to 0.25 (a 256-pixel travel from x 342), the display to
    // a window, the system cursor on, the full character dialogs off, then "OK", which closes the
    // first screen and so the game.
    const std::string change = "focus gained\nwait 30\ndrag 534 201 406 201\nwait 5\n"
                               "click 400 398\nwait 5\nclick 186 300\nwait 5\n"
                               "click 186 340\nwait 5\nclick 400 462\nwait 60\nshot after\n"
                               "close\n";
    EXPECT_EQ(RunClean(mRepository, change, "start=scripts/options.lua"), Traces{"start"});
    EXPECT_FALSE(fs::exists(mRoot / "after.png")) << "\"OK\" did not close the screen";
    const std::string stored = "USER 0\n  characterdialog = \"0\"\n  cursorosuse = \"1\"\n"
                               "  fullscreen = \"0\"\n"
                               "  musiclevel = \"750\"\n  soundlevel = \"250\"\n";
    EXPECT_EQ(Prefs(), stored);

    // Opened again: the slider where it was left, the switch offering full screen, the cursor's
    // box ticked (and no drawn cursor), the dialogs' box clear. Closing without "OK" stores
    // nothing.
    EXPECT_EQ(RunOk(mRepository, "focus gained\nwait 40\nshot stored\nclose\n",
                    "start=scripts/options.lua"),
              Traces{"start"});
    // The controls, not the panel around them.
    ExpectMatchesGolden(Crop(Shot("stored"), 160, 180, 480, 220), "options_stored.png");
    EXPECT_EQ(Prefs(), stored);
}

TEST_F(ProfilesProgramTest, ProfilesAreTypedScrolledDeletedAfterTheQuestionAndSelected)
{
    // Quotes of both kinds and letters beyond ASCII go through the entry field, the dialog's
    // return statement and the preferences unchanged.
    const std::string zoe = "Zoë \"Ł\" O'Neil";
    std::string input = "focus gained\nwait 30\n" + TypeProfile(zoe);
    for (const char* name : {"Ann", "Bob", "Cid", "Dee", "Eve", "Fay"})
        input += TypeProfile(name);
    // Seven profiles: the newest, current one on the last of the five rows, the list scrolled by
    // two. Each row pressed next tells where the list stands: the thumb dragged to the top and the
    // lower arrow put Bob on the second row; after his deletion, the upper arrow puts Dee on the
    // fourth. Her deletion is answered "No" once, then "Yes".
    input += "shot scrolled\ndrag 520 314 520 190\nwait 5\nclick 524 346\nwait 5\n";
    input += ClickRow(1) + "wait 3\n" + kDeleteProfile + "wait 36\n" + kYes + "wait 20\n";
    input += "click 524 166\nwait 5\n" + ClickRow(3) + "wait 3\n";
    input += std::string(kDeleteProfile) + "wait 36\n" + kNo + "wait 20\n";
    input += std::string(kDeleteProfile) + "wait 36\n" + kYes + "wait 20\n";
    // Zoë's row and "Select", which closes the first screen and so the game.
    input += "shot deleted\n" + ClickRow(0) + "wait 3\n" + kSelectProfile + "wait 60\n";
    input += "shot after\nclose\n";

    EXPECT_EQ(RunClean(mRepository, input, "start=scripts/selectplayer.lua"),
              (Traces{"start", "profile " + zoe}));
    EXPECT_FALSE(fs::exists(mRoot / "after.png")) << "\"Select\" did not close the screen";
    std::string profiles = "USER 0\n  curuser = \"0\"\n";
    int slot = 0;
    for (const std::string& name :
         {zoe, std::string("Ann"), std::string("Cid"), std::string("Eve"), std::string("Fay")})
        profiles += "USER " + std::to_string(++slot) +
                    "\n  gamedata = \"\"\n  gamemode = \"1\"\n  name = \"" + name + "\"\n" +
                    kZeroRecord;
    EXPECT_EQ(Prefs(), profiles);
    // The rows and the slider beside them.
    ExpectMatchesGolden(Crop(Shot("scrolled"), 186, 146, 358, 220), "profiles_scrolled.png");
    ExpectMatchesGolden(Crop(Shot("deleted"), 186, 146, 358, 220), "profiles_deleted.png");
}

// The menu greets the profile made and selected on the profile screen; a profile made there and
// left with "Cancel" is current too, and greeted next.
TEST_F(ProfilesProgramTest, TheMenusGreetingFollowsTheCurrentProfile)
{
    const std::string players = ClickLine(menupoints::kPlayers) + "wait 30\n";
    const std::string input = "focus gained\nwait 30\n" + players + TypeProfile("Ann") +
                              kSelectProfile + "wait 30\nshot ann\n" + players +
                              TypeProfile("Bob") + kCancelProfiles + "wait 30\nshot bob\n" +
                              ClickLine(menupoints::kQuit) + "wait 60\nshot after\nclose\n";
    EXPECT_EQ(RunClean(mRepository, input, "start=scripts/mainmenu.lua"),
              (Traces{"start", "menu", "profile Ann"}));
    EXPECT_FALSE(fs::exists(mRoot / "after.png")) << "\"Quit\" did not end the game";
    EXPECT_EQ(Prefs(), std::string("USER 0\n  curuser = \"1\"\nUSER 1\n  gamedata = \"\"\n") +
                           "  gamemode = \"1\"\n  name = \"Ann\"\n" + kZeroRecord +
                           "USER 2\n  gamedata = \"\"\n  gamemode = \"1\"\n  name = \"Bob\"\n" +
                           kZeroRecord);
    // The greeting's line under the logo.
    ExpectMatchesGolden(Crop(Shot("ann"), 200, 196, 400, 36), "greeting_ann.png");
    ExpectMatchesGolden(Crop(Shot("bob"), 200, 196, 400, 36), "greeting_bob.png");
}

// Enter in the name dialog is its "OK": the profile is made as with a click.
TEST_F(ProfilesProgramTest, EnterConfirmsTheNameDialog)
{
    const std::string input = std::string("focus gained\nwait 30\n") + kNewProfile +
                              "wait 36\ntext Ann\nwait 3\nkey 13\nwait 20\n" + kSelectProfile +
                              "wait 60\nclose\n";
    EXPECT_EQ(RunClean(mRepository, input, "start=scripts/selectplayer.lua"),
              (Traces{"start", "profile Ann"}));
    EXPECT_EQ(Prefs(), std::string("USER 0\n  curuser = \"0\"\nUSER 1\n  gamedata = \"\"\n") +
                           "  gamemode = \"1\"\n  name = \"Ann\"\n" + kZeroRecord);
}

// The name dialog shows where a name goes before a key is pressed: its field's box, and the caret
// blinking in it (one shot with it, one half a blink later without).
TEST_F(ProfilesProgramTest, TheNameDialogShowsItsFieldAndCaretBeforeAKey)
{
    const std::string input = std::string("focus gained\nwait 30\n") + kNewProfile +
                              "wait 40\nshot lit\nwait 25\nshot dark\nclose\n";
    RunClean(mRepository, input, "start=scripts/selectplayer.lua");
    const Picture lit = Crop(Shot("lit"), 240, 188, 340, 64);
    ExpectMatchesGolden(lit, "name_field_caret.png");
    ExpectMatchesGolden(Crop(Shot("dark"), 240, 188, 340, 64), "name_field.png");
    EXPECT_NE(lit.mPixels, Crop(Shot("dark"), 240, 188, 340, 64).mPixels);
}

// "OK" stands on the name dialog from its opening, greyed while no name is typed, where the
// pressable one comes at the first letter: a click on it and Enter keep the dialog and make no
// profile; the name typed then is taken by the same click.
TEST_F(ProfilesProgramTest, TheNameDialogOpensWithAGreyedOkThatTakesNoPress)
{
    const std::string input = std::string("focus gained\nwait 30\n") + kNewProfile +
                              "wait 40\nshot opened\n" + kNameOk + "wait 20\nkey 13\nwait 20\n" +
                              "move 600 560\nwait 3\nshot kept\ntext Ann\nwait 3\nshot named\n" +
                              kNameOk + "wait 20\n" + kSelectProfile + "wait 60\nclose\n";
    EXPECT_EQ(RunClean(mRepository, input, "start=scripts/selectplayer.lua"),
              (Traces{"start", "profile Ann"}));
    EXPECT_EQ(Prefs(), std::string("USER 0\n  curuser = \"0\"\nUSER 1\n  gamedata = \"\"\n") +
                           "  gamemode = \"1\"\n  name = \"Ann\"\n" + kZeroRecord);
    // The button's place, below the field (the pointer moved off it for the second shot).
    const Picture opened = Crop(Shot("opened"), 280, 250, 240, 52);
    ExpectMatchesGolden(opened, "name_ok_greyed.png");
    EXPECT_EQ(Crop(Shot("kept"), 280, 250, 240, 52).mPixels, opened.mPixels);
    EXPECT_NE(Crop(Shot("named"), 280, 250, 240, 52).mPixels, opened.mPixels);
}

// The dialog's own "OK" refuses a blank name, not only the field that hides it: with the hiding
// taken out of the script, neither a click on "OK" nor Enter hands back nothing or spaces.
TEST_F(ProfilesProgramTest, TheNameDialogRefusesABlankNameWithItsOkShown)
{
    const fs::path game = CopyGame("shown");
    const fs::path dialog = game / "assets/scripts/newplayer.lua";
    const std::string script = ReadFile(dialog);
    const std::string shown =
        std::regex_replace(std::regex_replace(script, std::regex("enablewindow = \"ok\","), ""),
                           std::regex("\nEnableWindow\\(\"ok\", false\\)"), "\n");
    ASSERT_EQ(shown.size() +
                  std::string("enablewindow = \"ok\",EnableWindow(\"ok\", false)").size(),
              script.size());
    WriteFile(dialog, shown);
    const std::string input = std::string("focus gained\nwait 30\n") + kNewProfile + "wait 36\n" +
                              kNameOk + "wait 20\ntext   \nwait 3\nkey 13\nwait 20\n" + kNameOk +
                              "wait 20\nkey 8\nkey 8\nkey 8\ntext Ann\nwait 3\n" + kNameOk +
                              "wait 20\n" + kSelectProfile + "wait 60\nclose\n";
    EXPECT_EQ(RunClean(game, input, "start=scripts/selectplayer.lua"),
              (Traces{"start", "profile Ann"}));
    EXPECT_EQ(Prefs(), std::string("USER 0\n  curuser = \"0\"\nUSER 1\n  gamedata = \"\"\n") +
                           "  gamemode = \"1\"\n  name = \"Ann\"\n" + kZeroRecord);
}

// A name of blanks (spaces and a no-break space), or of a soft hyphen alone, which no glyph draws,
// is refused as an empty one is: "OK" stays hidden and Enter does nothing; cleared and typed again,
// the name makes the one profile.
TEST_F(ProfilesProgramTest, ANameOfBlanksIsRefusedLikeAnEmptyOne)
{
    for (const std::string blanks : {"  \xC2\xA0 ", "\xC2\xAD"})
    {
        std::string cleared;
        for (size_t i = 0; i < blanks.size(); ++i)
            cleared += (blanks[i] & 0xC0) == 0x80 ? "" : "key 8\n";
        const std::string input = std::string("focus gained\nwait 30\n") + kNewProfile +
                                  "wait 36\ntext " + blanks + "\nwait 3\nkey 13\nwait 20\n" +
                                  kNameOk + "wait 20\n" + cleared + "wait 3\ntext Ann\nwait 3\n" +
                                  "key 13\nwait 20\n" + kSelectProfile + "wait 60\nclose\n";
        for (const char* file : {"prefs.dat", "hiscore.dat"})
            fs::remove(mRoot / "data/Tovrix/Murkwell" / file);
        EXPECT_EQ(RunClean(mRepository, input, "start=scripts/selectplayer.lua"),
                  (Traces{"start", "profile Ann"}))
            << blanks;
        EXPECT_EQ(Prefs(), std::string("USER 0\n  curuser = \"0\"\nUSER 1\n  gamedata = \"\"\n") +
                               "  gamemode = \"1\"\n  name = \"Ann\"\n" + kZeroRecord)
            << blanks;
    }
}

// The game ended from inside a dialog the menu opened (the quit question answered "yes", or the
// window closed): nothing the menu's script does afterwards logs an error.
TEST_F(ProfilesProgramTest, EndingTheGameFromTheMenusDialogsLogsNoError)
{
    const std::string players =
        "focus gained\nwait 30\n" + ClickLine(menupoints::kPlayers) + "wait 30\n";
    // The quit question's "Yes"; the close after it only ends a run the answer did not end.
    const std::string quit = "key 27\nwait 40\nclick 400 306\nwait 30\nclose\n";
    const std::string play = "focus gained\nwait 30\n" + ClickLine(menupoints::kPlay) + "wait 36\n";
    for (const std::string& input : {players + quit, players + "close\n", play + quit})
    {
        int code = -1;
        const Traces traces = RunTraced(mRepository, input, "start=scripts/mainmenu.lua", code);
        EXPECT_EQ(code, 0) << input;
        const bool asked = std::find(traces.begin(), traces.end(), "quitverify") != traces.end();
        EXPECT_EQ(asked, input.find("key 27") != std::string::npos) << input;
        ExpectCleanLog();
    }
}

// Runs the program with its data folder on a tmpfs of `size` in a mount namespace of its own
// (which needs the right to make one: root, or user namespaces, which a container may forbid), so
// the mount goes with the run however it ends. The folder's files are staged from `stage` and
// copied back out to `after` when the run ends. The run's exit code, or kNoSmallDisk.
constexpr int kNoSmallDisk = 96;
constexpr const char* kOnSmallDisk =
    "mount -t tmpfs -o size=\"$MW_SIZE\" tmpfs \"$MW_DISK\" || exit 96\n"
    "cp -a \"$MW_STAGE\"/. \"$MW_DISK\"/ || exit 96\n"
    "\"$0\" \"$@\" >\"$MW_OUTPUT\"\n"
    "code=$?\n"
    "cp -a \"$MW_DISK\"/. \"$MW_AFTER\"/\n"
    "exit $code\n";

std::string Noise(size_t size)
{
    std::mt19937 random(7);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

// An 8 MB disk holding a 6 MB damaged file, an earlier kept copy and 1 MB of other data: a new
// profile's saves find no room for a second copy. The copy is not cut over the earlier one, the
// damaged file is not replaced, the log says so once, and the game goes on and ends as asked.
TEST_F(ProfilesProgramTest, ADamagedFileThatFindsNoRoomToBeKeptIsNotReplaced)
{
    const fs::path folder = mRoot / "data/Tovrix/Murkwell";
    const std::string damaged = Noise(6 << 20);
    const fs::path input = mRoot / "input.txt";
    WriteFile(input,
              "focus gained\nwait 30\n" + TypeProfile("Ann") + kSelectProfile + "wait 60\nclose\n");
    const std::pair<const char*, std::string> cases[] = {
        {"hiscore.dat", "ERROR: HiScores: The damaged score data '" +
                            (folder / "hiscore.dat").string() + "' could not be kept aside: " +
                            std::strerror(ENOSPC) + "; the scores are not saved over it.\n"},
        {"prefs.dat", "ERROR: The damaged preferences '" + (folder / "prefs.dat").string() +
                          "' could not be kept aside: " + std::strerror(ENOSPC) +
                          "; they are not saved over it\n"}};
    for (const auto& [name, line] : cases)
    {
        SCOPED_TRACE(name);
        const fs::path stage = mRoot / "stage" / name;
        const fs::path after = mRoot / "after" / name;
        fs::create_directories(after);
        fs::create_directories(folder);
        WriteFile(stage / name, damaged);
        WriteFile(stage / (std::string(name) + ".bad"), "an earlier copy");
        WriteFile(stage / "other.dat", std::string(1 << 20, 'o'));
        const fs::path output = mRoot / (std::string(name) + ".out");
        std::vector<std::string> env = mEnv;
        env.insert(env.end(), {"MURKWELL_INPUT_SCRIPT=" + input.string(), "MURKWELL_FIXED_STEP=16",
                               "MURKWELL_GUID_SEED=1", "MW_SIZE=8m", "MW_DISK=" + folder.string(),
                               "MW_STAGE=" + stage.string(), "MW_AFTER=" + after.string(),
                               "MW_OUTPUT=" + output.string()});
        const int pid = sys::SpawnProcess(
            {"unshare", "-rm", "/bin/sh", "-c", kOnSmallDisk, MURKWELL_PROGRAM, "--multiple",
             "-wd=" + mRepository.string(), "options=trace=1&start=scripts/selectplayer.lua"},
            env);
        if (pid <= 0)
            GTEST_SKIP() << "unshare cannot be started here: a nearly full disk needs it";
        mStarted.push_back(pid);
        const int code = WaitForEnd(pid);
        if (code == kNoSmallDisk)
            GTEST_SKIP() << "no tmpfs can be mounted in a mount namespace here (unshare -rm "
                            "needs root or user namespaces): a nearly full disk needs one";
        EXPECT_EQ(code, 0);
        EXPECT_EQ(TraceLines(ReadFile(output)), (Traces{"start", "profile Ann"}));
        EXPECT_TRUE(ReadFile(after / name) == damaged) << "the damaged file was replaced";
        EXPECT_EQ(ReadFile(after / (std::string(name) + ".bad")), "an earlier copy");
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(after))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        // The log's and the saves' lock files too (the start tries the saves' locks).
        std::vector<std::string> expected = {"hiscore.dat",      "hiscore.dat.lock", "logfile.txt",
                                             "logfile.txt.lock", "other.dat",        "prefs.dat",
                                             "prefs.dat.lock"};
        expected.push_back(std::string(name) + ".bad");
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(names, expected);
        const std::string log = ReadFile(after / "logfile.txt");
        EXPECT_NE(log.find(line), std::string::npos) << log;
        EXPECT_EQ(log.find(line), log.rfind(line)) << "said more than once:\n" << log;
    }
}

// prefs.dat and hiscore.dat as FIFOs, or links to /dev/zero: neither the open nor the reading
// waits or fills the memory, and no copy fills the disk. Each is refused unread and logged, moved
// aside as it is, and the game starts, keeps the new profile and ends with 0 on a close.
TEST_F(ProfilesProgramTest, PreferencesAndScoresThatAreNoFilesAreMovedAsideUnread)
{
    const fs::path folder = mRoot / "data/Tovrix/Murkwell";
    const std::string input =
        "focus gained\nwait 30\n" + TypeProfile("Ann") + kSelectProfile + "wait 60\nclose\n";
    for (const bool fifo : {true, false})
    {
        SCOPED_TRACE(fifo ? "FIFOs" : "links to /dev/zero");
        fs::remove_all(folder);
        fs::create_directories(folder);
        for (const char* name : {"prefs.dat", "hiscore.dat"})
            if (fifo)
                ASSERT_EQ(mkfifo((folder / name).c_str(), 0600), 0) << std::strerror(errno);
            else
                fs::create_symlink("/dev/zero", folder / name);
        int code = -1;
        EXPECT_EQ(RunTraced(mRepository, input, "start=scripts/selectplayer.lua", code),
                  (Traces{"start", "profile Ann"}));
        EXPECT_EQ(code, 0);
        ExpectLogged("ERROR: Preferences file '" + (folder / "prefs.dat").string() +
                     "' was not read: it is not a regular file\n");
        ExpectLogged("HiScores: The saved score data was not read: it is not a regular file. "
                     "Ignoring it.\n");
        ExpectLogged("The damaged preferences were kept as 'user:prefs.dat.bad'\n");
        ExpectLogged("HiScores: The damaged score data was kept as 'user:hiscore.dat.bad'.\n");
        for (const char* name : {"prefs.dat.bad", "hiscore.dat.bad"})
        {
            const fs::file_status kept = fs::symlink_status(folder / name);
            EXPECT_EQ(kept.type(), fifo ? fs::file_type::fifo : fs::file_type::symlink) << name;
        }
        EXPECT_EQ(Prefs(), std::string("USER 0\n  curuser = \"0\"\nUSER 1\n  gamedata = \"\"\n") +
                               "  gamemode = \"1\"\n  name = \"Ann\"\n" + kZeroRecord);
        EXPECT_TRUE(fs::is_regular_file(folder / "hiscore.dat"));
    }
}

// Links planted at the temporary names every earlier run's saves took ("<name>.tmp1" on), to a
// file outside the data folder, before a start beside another: the saves make files of their own,
// the outside file keeps its bytes and the preferences saved are no link.
TEST_F(ProfilesProgramTest, SavesNeverWriteThroughLinksPlantedAtTheirTemporaryNames)
{
    const fs::path folder = mRoot / "data/Tovrix/Murkwell";
    fs::create_directories(folder);
    const fs::path outside = mRoot / "outside.dat";
    WriteFile(outside, "outside");
    for (const char* name : {"prefs.dat", "hiscore.dat"})
        for (int n = 1; n <= 12; ++n)
            fs::create_symlink(outside, folder / (name + (".tmp" + std::to_string(n))));
    const std::string input =
        "focus gained\nwait 30\n" + TypeProfile("Ann") + kSelectProfile + "wait 60\nclose\n";
    EXPECT_EQ(RunClean(mRepository, input, "start=scripts/selectplayer.lua"),
              (Traces{"start", "profile Ann"}));
    EXPECT_EQ(ReadFile(outside), "outside");
    for (const char* name : {"prefs.dat", "hiscore.dat"})
        EXPECT_EQ(fs::symlink_status(folder / name).type(), fs::file_type::regular) << name;
    EXPECT_EQ(Prefs(), std::string("USER 0\n  curuser = \"0\"\nUSER 1\n  gamedata = \"\"\n") +
                           "  gamemode = \"1\"\n  name = \"Ann\"\n" + kZeroRecord);
}

// The exclusion file a FIFO beside the content (its open would wait for a writer for ever): it is
// refused with a line, and the game starts and keeps the new profile.
TEST_F(ProfilesProgramTest, AnExclusionFileThatIsAFifoHoldsNotTheStart)
{
    const fs::path game = mRoot / "game_fifo";
    fs::create_directories(game);
    fs::create_directory_symlink(mRepository / "assets", game / "assets");
    ASSERT_EQ(mkfifo((game / "final.txt").c_str(), 0600), 0) << std::strerror(errno);
    const std::string input =
        "focus gained\nwait 30\n" + TypeProfile("Ann") + kSelectProfile + "wait 60\nclose\n";
    int code = -1;
    EXPECT_EQ(RunTraced(game, input, "start=scripts/selectplayer.lua", code),
              (Traces{"start", "profile Ann"}));
    EXPECT_EQ(code, 0);
    ExpectLogged("ERROR: The exclusion file 'final.txt' was not read: it is not a regular file\n");
    EXPECT_EQ(Prefs(), std::string("USER 0\n  curuser = \"0\"\nUSER 1\n  gamedata = \"\"\n") +
                           "  gamemode = \"1\"\n  name = \"Ann\"\n" + kZeroRecord);
}

// A damaged score file removed while the game runs, before its first save: nothing is left to
// keep, so the scores are saved, and the log says why there is no kept copy.
TEST_F(ProfilesProgramTest, ADamagedScoreFileRemovedMeanwhileNeedsNoKeeping)
{
    const fs::path folder = mRoot / "data/Tovrix/Murkwell";
    WriteFile(folder / "hiscore.dat", Noise(4095));
    const fs::path input = mRoot / "input.txt";
    // Long enough on the profile screen for the test to remove the file.
    WriteFile(input, "focus gained\nwait 200\n" + TypeProfile("Ann") + kSelectProfile +
                         "wait 60\nclose\n");
    const int pid = Start(
        {"--multiple", "-wd=" + mRepository.string(), "options=start=scripts/selectplayer.lua"},
        {"MURKWELL_INPUT_SCRIPT=" + input.string(), "MURKWELL_FIXED_STEP=16",
         "MURKWELL_GUID_SEED=1"});
    ASSERT_GT(pid, 0);
    const uint32_t start = LoadTimeMs();
    while (LoadTimeMs() - start < kStartLimitMs &&
           ReadFile(LogFile()).find("HiScores: The saved score data is damaged") ==
               std::string::npos)
        sys::SleepMs(20);
    ASSERT_TRUE(fs::remove(folder / "hiscore.dat")) << ReadFile(LogFile());
    EXPECT_EQ(WaitForEnd(pid), 0);
    ExpectLogged("HiScores: The damaged score data '" + (folder / "hiscore.dat").string() +
                 "' is gone: nothing to keep aside.\n");
    EXPECT_EQ(ReadFile(LogFile()).find("could not be kept aside"), std::string::npos);
    int dumpCode = -1;
    DumpHiscores(folder / "hiscore.dat", &dumpCode);
    EXPECT_EQ(dumpCode, 0);
    EXPECT_FALSE(fs::exists(folder / "hiscore.dat.bad"));
}

// The data folder, an ext4 image of the test's own on a loop device in a mount namespace of the
// run's own, turned read-only by the kernel (an error forced with errors=remount-ro) once the game
// has started, its files open: the log cannot take the saves' failures, so standard error says
// that, and each of them. The loop device is freed when the mount goes, however the run ends
// (mount's loop option frees it, and the namespace's mounts go with its last process).
constexpr const char* kOnDiskGoneReadOnly =
    "truncate -s 8M \"$MW_IMAGE\" && mkfs.ext4 -q -F \"$MW_IMAGE\" >/dev/null 2>&1 || exit 96\n"
    "mount -o loop,errors=remount-ro \"$MW_IMAGE\" \"$MW_DISK\" 2>/dev/null || exit 96\n"
    "trap 'umount \"$MW_DISK\" 2>/dev/null' EXIT\n"
    "trigger=/sys/fs/ext4/$(basename \"$(findmnt -n -o SOURCE \"$MW_DISK\")\")/trigger_fs_error\n"
    "[ -w \"$trigger\" ] || exit 96\n"
    "\"$0\" \"$@\" >\"$MW_OUTPUT\" 2>\"$MW_ERRORS\" &\n"
    "game=$!\n"
    "until grep -q 'Murkwell, version' \"$MW_DISK/logfile.txt\" 2>/dev/null; do\n"
    "  kill -0 $game 2>/dev/null || break\n"
    "  sleep 0.02\n"
    "done\n"
    "echo 1 >\"$trigger\" || { kill $game; wait $game; exit 96; }\n"
    "wait $game\n";

TEST_F(ProfilesProgramTest, SavesThatFailOnADiskGoneReadOnlyAreSaidOnStandardError)
{
    const fs::path folder = mRoot / "data/Tovrix/Murkwell";
    fs::create_directories(folder);
    const fs::path input = mRoot / "input.txt";
    WriteFile(input, "focus gained\nwait 100\n" + TypeProfile("Ann") + kSelectProfile +
                         "wait 60\nclose\n");
    const fs::path output = mRoot / "output.txt";
    const fs::path errors = mRoot / "errors.txt";
    std::vector<std::string> env = mEnv;
    env.insert(env.end(), {"MURKWELL_INPUT_SCRIPT=" + input.string(), "MURKWELL_FIXED_STEP=16",
                           "MURKWELL_GUID_SEED=1", "MW_DISK=" + folder.string(),
                           "MW_IMAGE=" + (mRoot / "disk.img").string(),
                           "MW_OUTPUT=" + output.string(), "MW_ERRORS=" + errors.string()});
    const int pid = sys::SpawnProcess(
        {"unshare", "-m", "/bin/sh", "-c", kOnDiskGoneReadOnly, MURKWELL_PROGRAM, "--multiple",
         "-wd=" + mRepository.string(), "options=trace=1&start=scripts/selectplayer.lua"},
        env);
    if (pid <= 0)
        GTEST_SKIP() << "unshare cannot be started here: a disk gone read-only needs it";
    mStarted.push_back(pid);
    const int code = WaitForEnd(pid);
    if (code == kNoSmallDisk)
        GTEST_SKIP() << "no ext4 image can be mounted on a loop device and made to fail here "
                        "(unshare -m, mount -o loop and /sys/fs/ext4/<device>/trigger_fs_error "
                        "need root): a disk gone read-only needs them";
    EXPECT_EQ(code, 0);
    EXPECT_EQ(TraceLines(ReadFile(output)), (Traces{"start", "profile Ann"}));
    const std::string said = ReadFile(errors);
    const std::string readOnly = std::strerror(EROFS);
    // The log's own write meets the failed disk (its reason is the kernel's); the saves are put
    // off (their lock files cannot be opened to take the locks), and the closing saves say that
    // their changes are lost.
    std::vector<std::string> lines = {"ERROR: The log '" + (folder / "logfile.txt").string() +
                                          "' cannot be written (",
                                      "): its error lines go to standard error.\n"};
    for (const char* name : {"prefs.dat", "hiscore.dat"})
        lines.push_back("ERROR: The lock '" + (folder / name).string() +
                        ".lock' could not be taken (" + readOnly + "): '" +
                        (folder / name).string() +
                        "' is not saved without it; the changes are kept for a later save.\n");
    lines.push_back("ERROR: Preferences could not be saved to '" + (folder / "prefs.dat").string() +
                    "' before the end: what changed since their last save is lost\n");
    lines.push_back("ERROR: HiScores: The scores could not be saved to '" +
                    (folder / "hiscore.dat").string() +
                    "' before the end: what changed since their last save is lost.\n");
    for (const std::string& line : lines)
        EXPECT_NE(said.find(line), std::string::npos) << line << " not in\n" << said;
}

// Save locks that cannot be had at all (a folder at each lock file's name and at its stand-in's):
// the start says on standard error that changes will not be kept, as it says of a data folder
// that cannot be written.
TEST_F(ProfilesProgramTest, SaveLocksThatCannotBeHadAreSaidAtTheStart)
{
    const fs::path folder = mRoot / "data/Tovrix/Murkwell";
    for (const char* name :
         {"prefs.dat.lock", "prefs.dat.lock.x", "hiscore.dat.lock", "hiscore.dat.lock.x"})
        fs::create_directories(folder / name);
    const fs::path errors = mRoot / "errors.txt";
    mErrorFile = errors;
    RunOk(mRepository, "focus gained\nwait 30\nclose\n", "start=scripts/selectplayer.lua");
    mErrorFile.clear();
    const std::string said = ReadFile(errors);
    for (const char* name : {"prefs.dat", "hiscore.dat"})
        EXPECT_NE(said.find("ERROR: The lock of '" + (folder / name).string() +
                            "' cannot be had (it is a folder, nor can its stand-in be made: "
                            "something that is no file is at its name): changes made in this run "
                            "will not be kept.\n"),
                  std::string::npos)
            << said;
}

// Two copies on one data folder, each making a player: the first reads the file, is held (stopped)
// while the second makes Bob and ends, then goes on to make Ann long after. Both players are kept,
// with their scores; the current one is the last saver's.
TEST_F(ProfilesProgramTest, TwoCopiesOnOneDataFolderEachKeepTheirNewPlayer)
{
    const fs::path firstOutput = mRoot / "first_output.txt";
    mOutputFile = firstOutput;
    // The long wait only leaves the test time to hold it; it is not what orders the two.
    const std::string ann =
        "focus gained\nwait 600\n" + TypeProfile("Ann") + kSelectProfile + "wait 60\nclose\n";
    const int first =
        StartScripted(mRepository, ann, {"options=trace=1&start=scripts/selectplayer.lua"});
    mOutputFile.clear();
    ASSERT_GT(first, 0);
    // The screen is up once its script says "start": the preferences were read before it.
    const uint32_t start = LoadTimeMs();
    while (TraceLines(ReadFile(firstOutput)).empty() && LoadTimeMs() - start < kStartLimitMs)
        sys::SleepMs(20);
    ASSERT_EQ(TraceLines(ReadFile(firstOutput)), Traces{"start"});
    ASSERT_EQ(kill(first, SIGSTOP), 0);

    const std::string bob =
        "focus gained\nwait 30\n" + TypeProfile("Bob") + kSelectProfile + "wait 60\nclose\n";
    const Traces bobRun = RunOk(mRepository, bob, "start=scripts/selectplayer.lua");
    EXPECT_EQ(kill(first, SIGCONT), 0);
    EXPECT_EQ(bobRun, (Traces{"start", "profile Bob"}));
    EXPECT_EQ(WaitForEnd(first), 0);
    EXPECT_EQ(TraceLines(ReadFile(firstOutput)), (Traces{"start", "profile Ann"}));

    // Ann's copy keeps its player first and plays it; Bob follows.
    EXPECT_EQ(Prefs(), std::string("USER 0\n  curuser = \"0\"\nUSER 1\n  gamedata = \"\"\n") +
                           "  gamemode = \"1\"\n  name = \"Ann\"\n" + kZeroRecord +
                           "USER 2\n  gamedata = \"\"\n  gamemode = \"1\"\n  name = \"Bob\"\n" +
                           kZeroRecord);
    const std::string scores = DumpHiscores(mRoot / "data/Tovrix/Murkwell/hiscore.dat");
    EXPECT_NE(scores.find("name \"Ann\""), std::string::npos) << scores;
    EXPECT_NE(scores.find("name \"Bob\""), std::string::npos) << scores;
}

} // namespace
} // namespace e2etest

namespace e2etest
{
namespace
{

// Runs of two copies and of copies cut short, each on what a save left; the waits are on what the
// copies do (their trace, their shots, their log, the files they hold open), never on time alone.
class SavesProgramTest : public ProfilesProgramTest
{
protected:
    fs::path Folder() const { return mRoot / "data/Tovrix/Murkwell"; }

    // Waits until `done` holds, or the start limit passes; false then.
    static bool WaitFor(const std::function<bool()>& done)
    {
        const uint32_t start = LoadTimeMs();
        while (!done())
        {
            if (LoadTimeMs() - start > kStartLimitMs)
                return false;
            sys::SleepMs(5);
        }
        return true;
    }

    // Starts a copy on the screen with the trace kept in `output`; answers once the screen is up
    // (its script said "start": the preferences were read before it).
    int StartCopy(const std::string& input, const std::string& screen, const fs::path& output,
                  const fs::path& game = MURKWELL_SOURCE_DIR)
    {
        mOutputFile = output;
        const int pid = StartScripted(game, input, {"options=trace=1&start=scripts/" + screen});
        mOutputFile.clear();
        EXPECT_GT(pid, 0);
        EXPECT_TRUE(WaitFor([&] { return !TraceLines(ReadFile(output)).empty(); }))
            << "the copy's screen did not come up";
        return pid;
    }

    // The players Ann and Bob, Ann the current one.
    void MakeAnnAndBob()
    {
        RunOk(mRepository,
              "focus gained\nwait 30\n" + TypeProfile("Ann") + TypeProfile("Bob") + ClickRow(0) +
                  "wait 3\n" + kSelectProfile + "wait 60\nclose\n",
              "start=scripts/selectplayer.lua");
    }

    // The lines of a player's record and location state in a prefsdump.
    static std::string Records(const std::string& dump)
    {
        std::string lines;
        std::istringstream in(dump);
        for (std::string line; std::getline(in, line);)
            if (line.find("playerdata =") != std::string::npos ||
                line.find("gamedata =") != std::string::npos)
                lines += line + "\n";
        return lines;
    }
};

// One copy reads the file while Ann's record is new and opens the options; another sets the music
// level, plays Ann into the Gatehouse and ends. The first then changes the effects level and ends:
// Ann's record stays as the player left it, and the music level as the other copy set it.
TEST_F(SavesProgramTest, ACopyThatNeverPlayedAProfileLeavesItsRecordAsTheOtherSavedIt)
{
    RunOk(mRepository,
          "focus gained\nwait 30\n" + TypeProfile("Ann") + kSelectProfile + "wait 60\nclose\n",
          "start=scripts/selectplayer.lua");
    const fs::path output = mRoot / "options_output.txt";
    const fs::path versions = mRoot / "options_versions";
    fs::create_directories(versions);
    mRunEnv = {"MURKWELL_SAVE_VERSIONS=" + versions.string()};
    const int options = StartCopy("focus gained\nwait 300\ndrag 534 201 406 201\nwait 5\n"
                                  "click 400 462\nwait 60\nclose\n",
                                  "options.lua", output);
    mRunEnv.clear();
    // The copy saves as it starts; stopped while that save held the file's lock, it would keep
    // the other copy from saving at all. It is stopped once that save is in place and the lock
    // let go, however long the saver took.
    ASSERT_TRUE(WaitFor([&] { return !ReadSavedVersions(versions).empty(); }))
        << ReadFile(LogFile());
    ASSERT_TRUE(WaitFor([&] { return !HoldsOpen(options, Folder() / "prefs.dat.lock"); }));
    ASSERT_EQ(kill(options, SIGSTOP), 0);

    const std::string play = "focus gained\nwait 40\n" + ClickLine(menupoints::kOptions) +
                             "wait 60\ndrag 534 251 470 251\nwait 5\nclick 400 462\nwait 60\n" +
                             ClickLine(menupoints::kPlay) +
                             "await \"location 0\"\nwait 60\nclose\n";
    const Traces traces = RunOk(mRepository, play, "start=scripts/mainmenu.lua");
    EXPECT_EQ(kill(options, SIGCONT), 0);
    EXPECT_NE(std::find(traces.begin(), traces.end(), "location 0"), traces.end());
    const std::string played = Prefs();
    ASSERT_NE(played.find("musiclevel = \"500\""), std::string::npos) << played;
    const std::string record = Records(played);
    ASSERT_NE(record.find("playerdata"), std::string::npos);
    ASSERT_EQ(record.find(kZeroRecord), std::string::npos) << record;

    EXPECT_EQ(WaitForEnd(options), 0);
    const std::string after = Prefs();
    EXPECT_EQ(Records(after), record);
    EXPECT_NE(after.find("soundlevel = \"250\""), std::string::npos) << after;
    EXPECT_NE(after.find("musiclevel = \"500\""), std::string::npos) << after;
}

// A player deleted and the game killed (SIGKILL) a moment later: the deletion was saved at once,
// with nothing to wait for but its own save (which may take a while on a loaded machine), and
// nothing after it brings the player back.
TEST_F(SavesProgramTest, APlayerDeletedStaysDeletedAfterTheGameIsKilled)
{
    MakeAnnAndBob();
    const std::string input = "focus gained\nwait 30\n" + ClickRow(1) + "wait 3\n" +
                              kDeleteProfile + "wait 36\n" + kYes + "wait 20\nshot deleted\n";
    const int pid = StartScripted(mRepository, input, {"options=start=scripts/selectplayer.lua"});
    ASSERT_GT(pid, 0);
    const std::string deleted =
        std::string("USER 0\n  curuser = \"0\"\nUSER 1\n  gamedata = \"\"\n") +
        "  gamemode = \"1\"\n  name = \"Ann\"\n" + kZeroRecord;
    ASSERT_TRUE(WaitFor([&] { return HasShot("deleted"); })) << ReadFile(LogFile());
    EXPECT_TRUE(WaitFor([&] { return Prefs() == deleted; })) << "the deletion was not saved\n"
                                                             << Prefs();
    ASSERT_EQ(kill(pid, SIGKILL), 0);
    WaitForEnd(pid);
    EXPECT_EQ(Prefs(), deleted);
}

// The preferences file emptied while the game runs: the next save keeps the empty file aside and
// drops no player.
TEST_F(SavesProgramTest, AnEmptiedPreferencesFileIsKeptAsideAndNoPlayerIsDropped)
{
    MakeAnnAndBob();
    const fs::path output = mRoot / "options_output.txt";
    const int pid = StartCopy("focus gained\nwait 300\ndrag 534 201 406 201\nwait 5\n"
                              "click 400 462\nwait 60\nclose\n",
                              "options.lua", output);
    ASSERT_EQ(kill(pid, SIGSTOP), 0);
    fs::resize_file(Folder() / "prefs.dat", 0);
    ASSERT_EQ(kill(pid, SIGCONT), 0);
    EXPECT_EQ(WaitForEnd(pid), 0);
    EXPECT_TRUE(fs::is_regular_file(Folder() / "prefs.dat.bad"));
    EXPECT_EQ(fs::file_size(Folder() / "prefs.dat.bad"), 0u);
    ExpectLogged("ERROR: Preferences file '" + (Folder() / "prefs.dat").string() +
                 "' was emptied since it was read; it is not taken in\n");
    const std::string prefs = Prefs();
    for (const char* line : {"name = \"Ann\"", "name = \"Bob\"", "soundlevel = \"250\""})
        EXPECT_NE(prefs.find(line), std::string::npos) << line << " not in\n" << prefs;
}

// Another copy holds the lock (stopped) while the game saves an option, and a quit request comes
// during the wait: the wait gives way at once, the game ends with 0, and its closing save makes
// the option's save that was put off once the lock is free.
TEST_F(SavesProgramTest, AQuitRequestDuringAWaitForTheLockEndsWithTheClosingSave)
{
    fs::create_directories(Folder());
    const fs::path lock = Folder() / "prefs.dat.lock";
    std::string reason;
    int held = sys::LockFile(lock.string(), 0, reason);
    ASSERT_GE(held, 0) << reason;
    const std::string input = "focus gained\nwait 40\n" + ClickLine(menupoints::kOptions) +
                              "wait 60\ndrag 534 201 406 201\nwait 5\nclick 400 462\n";
    const int pid = StartScripted(mRepository, input, {"options=start=scripts/mainmenu.lua"});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitFor([&] { return HoldsOpen(pid, lock); })) << ReadFile(LogFile());
    ASSERT_EQ(kill(pid, SIGTERM), 0);
    const std::string putOff = "ERROR: The lock '" + lock.string() +
                               "' could not be taken (another process holds it (a quit request "
                               "ended the wait)): '" +
                               (Folder() / "prefs.dat").string() +
                               "' is not saved without it; the changes are kept for a later save.";
    EXPECT_TRUE(WaitFor([&] { return ReadFile(LogFile()).find(putOff) != std::string::npos; }))
        << ReadFile(LogFile());
    sys::UnlockFile(held);
    EXPECT_EQ(WaitForEnd(pid), 0);
    const std::string prefs = Prefs();
    EXPECT_NE(prefs.find("soundlevel = \"250\""), std::string::npos) << prefs;
    EXPECT_EQ(ReadFile(LogFile()).find("before the end"), std::string::npos);
}

// A copy stopped (SIGSTOP) inside a save, between writing its new file and renaming it, while
// another makes two players: the other's saves are put off, never made without the lock, so the
// stopped copy's rename replaces nothing it did not read; once it has gone on and ended, the
// other's closing save keeps both players beside the first copy's.
TEST_F(SavesProgramTest, ACopyStoppedInsideASaveLosesNothingAnotherMadeMeanwhile)
{
    fs::create_directories(Folder());
    // The display switched back and forth: a save at each switch.
    std::string switches;
    for (int i = 0; i < 400; ++i)
        switches += "key 13 alt\nwait 1\n";
    const int first = StartCopy("focus gained\nwait 30\n" + TypeProfile("Ann") + switches +
                                    kSelectProfile + "wait 60\nclose\n",
                                "selectplayer.lua", mRoot / "first_output.txt");
    ASSERT_GT(first, 0);
    const fs::path lock = Folder() / "prefs.dat.lock";
    const std::string temporary = "prefs.dat.tmp" + std::to_string(first) + "-";
    const auto stopped = [&]
    {
        const std::string stat = ReadFile("/proc/" + std::to_string(first) + "/stat");
        const size_t end = stat.rfind(") ");
        return end != std::string::npos && end + 2 < stat.size() && stat[end + 2] == 'T';
    };
    const auto insideItsSave = [&]
    {
        bool writing = false;
        for (const auto& entry : fs::directory_iterator(Folder()))
            writing = writing || entry.path().filename().string().starts_with(temporary);
        std::string reason;
        const int probe = writing ? sys::LockFile(lock.string(), 0, reason) : 0;
        sys::UnlockFile(probe);
        return writing && probe < 0;
    };
    ASSERT_TRUE(WaitFor(
        [&]
        {
            if (kill(first, SIGSTOP) != 0 || !WaitFor(stopped))
                return false;
            if (insideItsSave())
                return true;
            kill(first, SIGCONT);
            sys::SleepMs(1);
            return false;
        }))
        << "the first copy was never caught inside a save";

    const int second = StartScripted(mRepository,
                                     "focus gained\nwait 30\n" + TypeProfile("Bob") +
                                         TypeProfile("Cid") + "shot made\n",
                                     {"options=start=scripts/selectplayer.lua"});
    ASSERT_GT(second, 0);
    // Its frames go on while its saver waits for the lock: the players are made, then the wait
    // runs out and the save is put off.
    EXPECT_TRUE(WaitFor([&] { return HasShot("made"); })) << ReadFile(LogFile(2));
    EXPECT_TRUE(WaitFor(
        [&]
        {
            return ReadFile(LogFile(2))
                       .find("ERROR: The lock '" + lock.string() + "' could not be taken") !=
                   std::string::npos;
        }))
        << ReadFile(LogFile(2));
    // The first goes on to the end of its save, and ends (its closing save after it).
    ASSERT_EQ(kill(first, SIGCONT), 0);
    ASSERT_EQ(kill(first, SIGTERM), 0);
    EXPECT_EQ(WaitForEnd(first), 0);
    ASSERT_EQ(kill(second, SIGTERM), 0);
    EXPECT_EQ(WaitForEnd(second), 0);
    const std::string prefs = Prefs();
    for (const char* name : {"Ann", "Bob", "Cid"})
        EXPECT_NE(prefs.find("name = \"" + std::string(name) + "\""), std::string::npos)
            << name << " not in\n"
            << prefs;
}

// Two copies each take Ann through the credits, whose end enters her time as her best: each read
// the score file before the other's save, the copy with 500 saves first, the one with 300 after
// it. The better time stays, the lower (the table of times ranks lower first), in one row.
TEST_F(SavesProgramTest, TwoCopiesEndingOnePlayersGameKeepTheBetterTime)
{
    RunOk(mRepository,
          "focus gained\nwait 30\n" + TypeProfile("Ann") + kSelectProfile + "wait 60\nclose\n",
          "start=scripts/selectplayer.lua");
    const fs::path game = CopyGame("content");
    const fs::path credits = game / "assets/scripts/credits.lua";
    WriteFile(credits, std::regex_replace(ReadFile(credits), std::regex("scrollspeed = (\\d+)"),
                                          "scrollspeed = 6 * $1"));
    // Ann's record at the credits (the location byte past the last location), with her score.
    const auto record = [&](const char* score)
    {
        const int pid = sys::SpawnProcess({MURKWELL_PREFSDUMP, "--set", "1", "playerdata",
                                           std::string(score) + "0000000003000000",
                                           (Folder() / "prefs.dat").string()},
                                          {});
        int code = -1;
        EXPECT_TRUE(pid > 0 && WaitProcessLoaded(pid, kEndLimitMs, code) && code == 0);
    };
    const std::string play = "focus gained\nwait 300\n" + ClickLine(menupoints::kPlay) +
                             "await credits\nwait 400\nclose\n";
    std::vector<int> copies;
    for (const char* score : {"f4010000", "2c010000"})
    {
        record(score);
        copies.push_back(StartCopy(
            play, "mainmenu.lua", mRoot / ("copy" + std::to_string(copies.size()) + ".txt"), game));
        ASSERT_EQ(kill(copies.back(), SIGSTOP), 0);
    }
    for (int pid : copies)
    {
        ASSERT_EQ(kill(pid, SIGCONT), 0);
        EXPECT_EQ(WaitForEnd(pid), 0);
    }
    EXPECT_EQ(DumpHiscores(Folder() / "hiscore.dat"),
              "mode \"Adventure\" rank 1 score 300 name \"Ann\" gamedata \"\"\n");
}

// Two copies make one player's name, in letters of another case, each before it saw the other's:
// two players. The copy that saved first keeps the name; the other's player takes it with a number
// and has a score row of its own.
TEST_F(SavesProgramTest, OneNameMadeByTwoCopiesIsTwoPlayersTheLaterRenamed)
{
    const int first = StartCopy("focus gained\nwait 300\n" + TypeProfile("ann") + kSelectProfile +
                                    "wait 60\nclose\n",
                                "selectplayer.lua", mRoot / "first_output.txt");
    ASSERT_EQ(kill(first, SIGSTOP), 0);
    RunOk(mRepository,
          "focus gained\nwait 30\n" + TypeProfile("Ann") + kSelectProfile + "wait 60\nclose\n",
          "start=scripts/selectplayer.lua");
    ASSERT_EQ(kill(first, SIGCONT), 0);
    EXPECT_EQ(WaitForEnd(first), 0);
    EXPECT_EQ(Prefs(), std::string("USER 0\n  curuser = \"0\"\nUSER 1\n  gamedata = \"\"\n") +
                           "  gamemode = \"1\"\n  name = \"ann 2\"\n" + kZeroRecord +
                           "USER 2\n  gamedata = \"\"\n  gamemode = \"1\"\n  name = \"Ann\"\n" +
                           kZeroRecord);
    ExpectLogged("Another copy of the game made a player named 'ann' at the same time; this copy's "
                 "player of that name is now 'ann 2'\n");
    const std::string scores = DumpHiscores(Folder() / "hiscore.dat");
    EXPECT_EQ(std::count(scores.begin(), scores.end(), '\n'), 2) << scores;
    EXPECT_NE(scores.find("score 0 name \"ann 2\""), std::string::npos) << scores;
}

// Two copies on a fresh folder make "ann" and "ANN" at once (each read the file before the other's
// player was in it) and both play into the Gatehouse, one further than the other, every flush
// slowed so that the versions they put in place follow one another in time. Across every version
// of the preferences, no player's record goes back (its play time and its tutorial marks), and
// the final file holds each copy's last record of its own player.
TEST_F(SavesProgramTest, TwoCopiesMakingOneNameAtOnceEachKeepTheirPlayersProgress)
{
    const std::string front = WalkthroughScript("front", "gatehouse");
    const std::vector<std::string> gatehouse = PlayLines(WalkthroughScript("gatehouse", "journey"));
    const auto script = [&](const std::string& name, size_t lines)
    {
        std::string input;
        for (const std::string& line : PlayLines(front))
            if (!line.starts_with("await \"profile "))
                input += (line == "text Ann" ? "text " + name : line) + "\n";
        return input + Joined(gatehouse, 0, lines) + "wait 100\nclose\n";
    };
    const fs::path versions[] = {mRoot / "versions1", mRoot / "versions2"};
    std::vector<int> copies;
    for (int copy = 0; copy < 2; ++copy)
    {
        fs::create_directories(versions[copy]);
        mRunEnv = {"MURKWELL_SLOW_FLUSH_MS=40",
                   "MURKWELL_SAVE_VERSIONS=" + versions[copy].string()};
        mOutputFile = mRoot / ("copy" + std::to_string(copy + 1) + ".txt");
        copies.push_back(StartScripted(
            mRepository, script(copy == 0 ? "ann" : "ANN", 45 - copy * 15), {"options=trace=1"}));
        mOutputFile.clear();
        ASSERT_GT(copies.back(), 0);
        // Up once the trace says "start": the preferences were read before it.
        const fs::path output = mRoot / ("copy" + std::to_string(copy + 1) + ".txt");
        ASSERT_TRUE(WaitFor([&] { return !TraceLines(ReadFile(output)).empty(); }));
        if (copy == 0)
        {
            ASSERT_EQ(kill(copies[0], SIGSTOP), 0);
        }
    }
    // The second copy's player is in the file before the first makes its own (however long that
    // takes on a loaded machine: only the copy's end stops the wait); from then on both play at
    // once.
    const auto made = [&]
    {
        for (const SavedVersion& version : ReadSavedVersions(versions[1]))
            if (DumpPrefs(version.mPath).find("\"ANN\"") != std::string::npos)
                return true;
        return false;
    };
    while (!made())
    {
        const std::string stat = ReadFile("/proc/" + std::to_string(copies[1]) + "/stat");
        const size_t end = stat.rfind(") ");
        ASSERT_TRUE(end != std::string::npos && end + 2 < stat.size() && stat[end + 2] != 'Z')
            << "the second copy ended before its player was saved\n"
            << ReadFile(LogFile(2));
        sys::SleepMs(20);
    }
    ASSERT_EQ(kill(copies[0], SIGCONT), 0);
    for (int pid : copies)
        EXPECT_EQ(WaitForEnd(pid), 0);

    // Every version of the preferences either copy put in place, in the order they were.
    struct Version
    {
        fs::file_time_type mWhen;
        int mCopy;
        fs::path mPath;
    };
    std::vector<Version> all;
    for (int copy = 0; copy < 2; ++copy)
        for (const SavedVersion& version : ReadSavedVersions(versions[copy]))
            if (version.mFile == "prefs.dat")
                all.push_back({fs::last_write_time(version.mPath), copy, version.mPath});
    std::stable_sort(all.begin(), all.end(),
                     [](const Version& a, const Version& b) { return a.mWhen < b.mWhen; });
    const auto slotsOf = [](const fs::path& file) { return ParseDump(DumpPrefs(file)); };
    const auto text = [](const Slot& slot, const std::string& key)
    {
        const auto found = slot.find(key);
        return found == slot.end()
                   ? std::string()
                   : std::string(found->second.begin(),
                                 std::find(found->second.begin(), found->second.end(), uint8_t{0}));
    };
    std::map<std::string, std::vector<uint8_t>> seen;
    // Each copy's player and its last record, as its last version holds them.
    std::map<int, std::pair<std::string, Slot>> last;
    for (const Version& version : all)
    {
        const std::vector<Slot> slots = slotsOf(version.mPath);
        ASSERT_FALSE(slots.empty());
        for (size_t s = 1; s < slots.size(); ++s)
        {
            const std::string name = text(slots[s], "name");
            const auto record = slots[s].find("playerdata");
            if (record == slots[s].end() || record->second.size() < 8)
                continue;
            const std::vector<uint8_t>& now = record->second;
            auto& before = seen[name];
            if (!before.empty())
            {
                uint32_t was = 0;
                uint32_t is = 0;
                std::memcpy(&was, before.data(), 4);
                std::memcpy(&is, now.data(), 4);
                EXPECT_GE(is, was) << name << "'s play time went back in " << version.mPath;
                for (size_t b = 4; b < 8; ++b)
                    EXPECT_EQ(now[b] & before[b], before[b])
                        << name << "'s marks went back in " << version.mPath;
            }
            before = now;
        }
        const int current = std::stoi("0" + text(slots[0], "curuser"));
        ASSERT_LT(static_cast<size_t>(current) + 1, slots.size());
        last[version.mCopy] = {text(slots[current + 1], "name"), slots[current + 1]};
    }
    ASSERT_EQ(last.size(), 2u);
    EXPECT_EQ(last[1].first, "ANN");
    EXPECT_EQ(last[0].first, "ann 2");
    const std::vector<Slot> file = slotsOf(Folder() / "prefs.dat");
    ASSERT_EQ(file.size(), 3u) << Prefs();
    for (const auto& [copy, player] : last)
    {
        const auto slot =
            std::find_if(file.begin() + 1, file.end(),
                         [&](const Slot& s) { return text(s, "name") == player.first; });
        ASSERT_NE(slot, file.end()) << player.first << " not in\n" << Prefs();
        EXPECT_EQ(slot->at("playerdata"), player.second.at("playerdata")) << player.first;
        EXPECT_EQ(slot->count("gamedata") ? slot->at("gamedata") : std::vector<uint8_t>{},
                  player.second.count("gamedata") ? player.second.at("gamedata")
                                                  : std::vector<uint8_t>{})
            << player.first;
    }
    EXPECT_NE(ReadFile(LogFile()).find("this copy's player of that name is now 'ann 2'"),
              std::string::npos)
        << ReadFile(LogFile());
}

} // namespace
} // namespace e2etest
