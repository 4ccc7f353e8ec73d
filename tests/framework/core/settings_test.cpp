// Settings through its script functions over a preferences file in a scratch user folder: fresh
// defaults, profile edge cases, player-data blocks, the display switch, the cursor rule as the
// window stand-in recorded it, the high-score store's calls, a second run, damaged files and
// wrong-typed script arguments.
#include "framework/core/settings.h"

#include "framework/profile_test_support.h"
#include "framework/sound/audio_manager.h"
#include "framework/sound/sound_group.h"
#include "platform/config/config.h"
#include "platform/files/data_folders.h"
#include "platform/files/file_layer.h"
#include "platform/log.h"
#include "platform/config/prefs.h"
#include "script/script.h"
#include "script/window_script_seam.h"
#include "support/environment.h"
#include "support/files.h"
#include "support/shell_fixture.h"
#include "sys/window/window.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace
{

using shelltest::Recorded;

using profiletest::RecordingStore;
using profiletest::StoreRecord;
StoreRecord& gStore = profiletest::Store();

class SettingsTest : public profiletest::ProfileTest
{
protected:
    SettingsTest() : ProfileTest("mw_settings") {}
    void TearDown() override
    {
        mSettings.reset();
        sys::ShowSystemCursor(true);
        sys::SetCursor(0);
        sys::ClearSystemCursorRecord();
        ProfileTest::TearDown();
    }

    void Start() { mSettings = std::make_unique<Settings>(); }
    void Restart()
    {
        mSettings.reset();
        ClearPathMap();
        Start();
    }
    std::string Str(const std::string& expr)
    {
        Run("result = " + expr);
        return mScript.GetGlobalString("result").c_str();
    }
    bool Bool(const std::string& expr) { return Str("tostring(" + expr + ")") == "true"; }

    // A preference as the file holds it, read through a table of its own.
    std::string Stored(const char* key, int user = -1)
    {
        // The file as saved: the saves on their way first.
        if (mSettings)
            mSettings->WaitForSaves();
        ClearPathMap();
        TPrefs prefs(false);
        if (prefs.GetData(key, nullptr, 0, user) < 0)
            return "<absent>";
        return prefs.GetString(key, "", user).c_str();
    }
    // Writes the preferences file through a table of its own.
    template <class Fill> void WritePrefs(Fill fill)
    {
        ClearPathMap();
        TPrefs prefs(true);
        fill(prefs);
        prefs.Save();
    }

    std::unique_ptr<Settings> mSettings;
};

TEST_F(SettingsTest, AFreshFolderStartsFullScreenAtThreeQuartersVolumeAndWritesNothing)
{
    SetConfig("version", "1.4.2");
    AudioManager audio;
    Recorded().mMasterVolume = 0.25f;
    Start();
    mSettings->LoadDisplaySettings();

    EXPECT_EQ(Recorded().mDisplayModes, std::vector<std::string>{"800x600 full"});
    EXPECT_FALSE(mImpl->mCursor.mMouseShown); // no cursor images
    EXPECT_FLOAT_EQ(Recorded().mMasterVolume, 1.0f);
    ASSERT_NE(audio.FindTopGroup(1000), nullptr);
    ASSERT_NE(audio.FindTopGroup(1001), nullptr);
    EXPECT_FLOAT_EQ(audio.FindTopGroup(1000)->GetVolume(), 0.75f);
    EXPECT_FLOAT_EQ(audio.FindTopGroup(1001)->GetVolume(), 0.75f);
    EXPECT_FALSE(mSettings->mOsCursorShown);

    EXPECT_EQ(Num("GetNumUsers()"), 0);
    EXPECT_EQ(Str("GetCurrentUserName()"), "");
    EXPECT_EQ(Num("GetGameMode()"), 1);
    EXPECT_TRUE(Bool("IsWindows()"));
    EXPECT_FALSE(Bool("IsUsingCursorOS()"));
    EXPECT_EQ(Str("GetGameVersion()"), "1.4.2");
    EXPECT_EQ(Num("GetCurrentScore()"), 0);
    EXPECT_FALSE(std::filesystem::exists(PrefsPath()));
}

TEST_F(SettingsTest, ProfilesAreMadeDeletedAndChosenAsTheEdgeCasesSay)
{
    Start();
    Profiles({"Ann"});
    EXPECT_EQ(Num("GetNumUsers()"), 1);
    EXPECT_EQ(Str("GetCurrentUserName()"), "Ann");
    EXPECT_EQ(Stored("gamemode", 0), "1");
    EXPECT_EQ(gStore.mCalls,
              (std::vector<std::string>{"SetParameter 1 Ann", "AddScore 0 best ''"}));
    gStore.mCalls.clear();
    Profiles({""});
    EXPECT_EQ(gStore.mCalls, std::vector<std::string>{"SetParameter 1 "}); // no score

    Run("DeleteUser(1) CreateNewUser('Ben') CreateNewUser('Cal')");
    Run("DeleteUser(1)"); // Ben, before the current Cal
    EXPECT_EQ(Num("GetNumUsers()"), 2);
    EXPECT_EQ(Stored("curuser"), "1");
    EXPECT_EQ(Str("GetCurrentUserName()"), "Cal");
    Run("SetCurrentUser(0) DeleteUser(0)"); // the current Ann: index 0, now Cal, stays current
    EXPECT_EQ(Stored("curuser"), "0");
    EXPECT_EQ(Str("GetCurrentUserName()"), "Cal");

    Profiles({"ann", "Dee"});
    EXPECT_TRUE(Bool("IsUserNameInUse('ANN')"));
    EXPECT_FALSE(Bool("IsUserNameInUse('a nn')"));
    Run("SetCurrentUser(-1) DeleteUser(5) SetCurrentUser(3)");
    EXPECT_EQ(Num("GetNumUsers()"), 3);
    EXPECT_EQ(Str("GetCurrentUserName()"), "Dee");

    // Deleting the only profile while it is current leaves none current, and a later write to
    // "the current profile" makes no nameless one.
    Run("DeleteUser(0) DeleteUser(0) DeleteUser(0)");
    EXPECT_EQ(Num("GetNumUsers()"), 0);
    EXPECT_EQ(Stored("curuser"), "-1");
    Run("SetGameMode(2, 'hard')");
    EXPECT_EQ(Num("GetNumUsers()"), 0);

    // Case is folded beyond ASCII: accented Latin, Greek and Cyrillic capitals.
    Profiles({"\xC3\xA9va", "\xCF\x83\xCE\xBF\xCF\x86\xCE\xAF\xCE\xB1", "\xD1\x91\xD0\xB6"});
    for (const char* other :
         {"\xC3\x89VA", "\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x8A\xCE\x91", "\xD0\x81\xD0\x96"})
        EXPECT_TRUE(Bool(std::string("IsUserNameInUse('") + other + "')")) << other;
    EXPECT_FALSE(Bool("IsUserNameInUse('EVA')"));
}

// A name that shows nothing (blanks of any width, a soft hyphen, fillers) is taken as no name,
// whether a script makes a profile of it or the file holds one an earlier version took: it is
// never greeted, listed or told to the scores as "   ".
TEST_F(SettingsTest, ANameOfBlanksIsNoNameMadeOrReadBack)
{
    const char* const blanks[] = {"   ", "\t \n", "\xC2\xAD", "\xE3\x80\x80 \xE2\x80\x8B",
                                  "\xEF\xBB\xBF\xE3\x85\xA4\xE2\xA0\x80"};
    WritePrefs(
        [&](TPrefs& prefs)
        {
            for (int i = 0; i < 5; ++i)
                prefs.SetString("name", blanks[i], i, false);
            prefs.SetString("name",
                            " \xC2\xA0"
                            "An\xC2\xAD"
                            "na ",
                            5, false);
            prefs.SetInt("curuser", 0, -1, false);
        });
    Start();
    EXPECT_EQ(Num("GetNumUsers()"), 6);
    for (int i = 0; i < 5; ++i)
    {
        EXPECT_EQ(mSettings->GetUserName(i), TString()) << i;
        Run("SetCurrentUser(" + std::to_string(i) + ")");
        EXPECT_EQ(Str("GetCurrentUserName()"), "") << i;
    }
    EXPECT_EQ(mSettings->GetUserName(5), TString(" \xC2\xA0"
                                                 "An\xC2\xAD"
                                                 "na "));

    gStore.mCalls.clear();
    Run("CreateNewUser('  \\194\\160 \\194\\173')");
    EXPECT_EQ(Num("GetNumUsers()"), 7);
    EXPECT_EQ(Stored("name", 6), "");
    EXPECT_EQ(gStore.mCalls, std::vector<std::string>{"SetParameter 1 "}); // no score

    // A dialog asks the same rule before it hands a name back; what is no string is no name.
    const auto blank = [&](const std::string& name)
    {
        std::string literal;
        for (unsigned char c : name)
            literal += "\\" + std::to_string(c);
        return Bool("IsBlankName('" + literal + "')");
    };
    for (const char* name : blanks)
        EXPECT_TRUE(blank(name)) << name;
    EXPECT_FALSE(blank(mSettings->GetUserName(5).c_str()));
    EXPECT_TRUE(Bool("IsBlankName(nil)"));
    EXPECT_TRUE(Logged("Script function IsBlankName: argument 1 is not a string; nothing done"));
}

TEST_F(SettingsTest, TheThousandAndTwentyFifthProfileIsNotMade)
{
    WritePrefs(
        [](TPrefs& prefs)
        {
            for (int i = 0; i < Settings::kMaxProfiles; ++i)
                prefs.SetString("name", TString::Format("p%d", i), i, false);
        });
    Start();
    EXPECT_EQ(Num("GetNumUsers()"), 1024);
    Run("CreateNewUser('late')");
    EXPECT_EQ(Num("GetNumUsers()"), 1024);
    EXPECT_FALSE(Bool("IsUserNameInUse('late')"));
    EXPECT_TRUE(gStore.mCalls.empty());
}

TEST_F(SettingsTest, PlayerDataBlocksAnswerSizesAndOneByteMeansNone)
{
    Start();
    Profiles({"Ann"});
    const uint8_t block[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    EXPECT_FALSE(Bool("HasPlayerData('')"));
    EXPECT_EQ(mSettings->GetPlayerData("", nullptr, 0), -1);
    mSettings->SetPlayerData("", block, 12);
    EXPECT_TRUE(Bool("HasPlayerData('')"));
    EXPECT_TRUE(Bool("HasPlayerData('playerdata')"));
    uint8_t small[4] = {};
    EXPECT_EQ(mSettings->GetPlayerData("playerdata", small, 4), 12);
    EXPECT_EQ(small[0], 0);
    uint8_t back[16] = {};
    EXPECT_EQ(mSettings->GetPlayerData("", back, 16), 0);
    EXPECT_EQ(back[11], 12);

    Run("DeletePlayerData('')");
    EXPECT_FALSE(Bool("HasPlayerData('')"));
    EXPECT_EQ(mSettings->GetPlayerData("", back, 16), 0); // the entry stays: one zero byte
    EXPECT_EQ(back[0], 0);
    mSettings->SetPlayerData("gamedata", block, 1);
    EXPECT_FALSE(Bool("HasPlayerData('gamedata')"));
}

TEST_F(SettingsTest, AFailedDisplaySwitchStoresNothing)
{
    Start();
    Recorded().mFullScreen = true;
    Recorded().mFullScreenFails = true;
    EXPECT_FALSE(Bool("ToggleFullScreen()"));
    EXPECT_EQ(Stored("fullscreen"), "<absent>");
    EXPECT_TRUE(Bool("IsFullScreen()"));

    Recorded().mFullScreenFails = false;
    EXPECT_TRUE(Bool("ToggleFullScreen()"));
    EXPECT_FALSE(Bool("IsFullScreen()"));
    EXPECT_EQ(Stored("fullscreen"), "0");
    mSettings->mMouseInside = false;
    EXPECT_TRUE(Bool("ToggleFullScreen()"));
    EXPECT_EQ(Stored("fullscreen"), "1");
    EXPECT_TRUE(mSettings->mMouseInside);

    Recorded().mFullScreen = false;
    mSettings->SaveFullScreen();
    EXPECT_EQ(Stored("fullscreen"), "0");
}

TEST_F(SettingsTest, TheCursorRuleSwapsTheArrowAndTheDrawnCursor)
{
    Start();
    const sys::CursorHandle arrow = sys::LoadArrowCursor();
    sys::ShowSystemCursor(false); // the display draws the cursor
    sys::ClearSystemCursorRecord();

    Run("SetCursorOSuse(true)");
    EXPECT_TRUE(Bool("IsUsingCursorOS()"));
    EXPECT_EQ(Stored("cursorosuse"), "1");
    EXPECT_TRUE(mSettings->mOsCursorShown);
    EXPECT_EQ(sys::GetSystemCursor(), arrow);
    mSettings->UpdateCursorAt({5, 6}); // the arrow is up already: not set again
    EXPECT_EQ(mSettings->mMouseX, 5);
    EXPECT_EQ(mSettings->mMouseY, 6);
    Run("SetCursorOSuse(false)"); // the saved (null) cursor goes back: the arrow hides
    EXPECT_FALSE(mSettings->mOsCursorShown);
    EXPECT_EQ(sys::GetSystemCursor(), 0u);
    EXPECT_EQ(sys::GetSystemCursorRecord(), (std::vector<sys::CursorHandle>{arrow, 0}));

    // In the background the drawn cursor is not wanted on a move.
    sys::PushWindowEvent(sys::WindowEventKind::FocusLost);
    Drain();
    ASSERT_FALSE(mApp->IsActive());
    mSettings->UpdateCursorAt({7, 8});
    EXPECT_TRUE(mSettings->mOsCursorShown);
    sys::PushWindowEvent(sys::WindowEventKind::FocusGained);
    Drain();
    mSettings->mMouseInside = false; // outside the window the arrow stays
    mSettings->UpdateCursor();
    EXPECT_TRUE(mSettings->IsLeftButtonDown());
    EXPECT_FALSE(mSettings->mOsCursorShown);
    EXPECT_EQ(sys::GetSystemCursorRecord(), (std::vector<sys::CursorHandle>{arrow, 0, arrow}));
    EXPECT_EQ(sys::GetSystemCursor(), arrow);
}

TEST_F(SettingsTest, ScoresAndMedalsComeFromTheStoreAndWithoutOneAreNone)
{
    Start();
    Profiles({"Ann"});
    gStore.mCalls.clear();
    Run("SetGameMode(3, 'relaxed')");
    EXPECT_EQ(Num("GetGameMode()"), 3);
    EXPECT_EQ(gStore.mCalls, std::vector<std::string>{"SetParameter 2 relaxed"});
    gStore.mScores = {{"Annie", 5}, {"Ann", 40}, {"Ann", 7}};
    gStore.mMedals = {"gold", "speed"};
    EXPECT_EQ(Num("GetCurrentScore()"), 40);
    // Another copy's row of the player, under the name in other letters, is the player's.
    gStore.mScores = {{"Annie", 5}, {"aNN", 30}};
    EXPECT_EQ(Num("GetCurrentScore()"), 30);
    EXPECT_TRUE(Bool("HasEarnedMedal('speed')"));
    EXPECT_FALSE(Bool("HasEarnedMedal('Speed')"));

    SetHiscoreStoreFactory({});
    Restart();
    EXPECT_EQ(mSettings->GetHiscores(), nullptr);
    Profiles({"Ben"});
    Run("SetGameMode(2, 'x')");
    EXPECT_EQ(Num("GetCurrentScore()"), 0);
    EXPECT_FALSE(Bool("HasEarnedMedal('gold')"));
    EXPECT_EQ(Str("GetCurrentUserName()"), "Ben");
}

TEST_F(SettingsTest, ProfilesSurviveIntoASecondSettingsAndGlobalsFollowTheirObject)
{
    Start();
    Profiles({"Ann", "Ben"});
    Run("SetCurrentUser(0)");
    Restart();
    EXPECT_EQ(Num("GetNumUsers()"), 2);
    EXPECT_EQ(Str("GetCurrentUserName()"), "Ann");
    EXPECT_EQ(gStore.mCalls.back(), "SetParameter 1 Ann"); // told at start

    // The newest object owns the names: destroying an older one leaves them bound.
    auto newer = std::make_unique<Settings>();
    mSettings.reset();
    EXPECT_EQ(Num("GetNumUsers()"), 2);
    Run("saved = GetNumUsers");
    newer.reset();
    EXPECT_EQ(Str("type(GetNumUsers)"), "nil");
    EXPECT_EQ(Str("type(SetCursorOSuse)"), "nil");
    Run("ok = pcall(saved)"); // a kept copy fails instead of reaching freed memory
    EXPECT_EQ(Str("tostring(ok)"), "false");
}

TEST_F(SettingsTest, DamagedFilesAreKeptAsideAndReadAsFarAsTheyGo)
{
    Start();
    Profiles({"Ann", "Ben"});
    mSettings.reset();
    const std::string good = testsupport::ReadFile(PrefsPath());
    ASSERT_GT(good.size(), 64u);

    struct Case
    {
        const char* mName;
        std::string mBytes;
    };
    std::string flipped = good;
    flipped[flipped.size() - 20] = static_cast<char>(flipped[flipped.size() - 20] ^ 0x5A);
    flipped[6] = static_cast<char>(flipped[6] ^ 0x40); // the first chunk's length
    // Whole chunks that end early read as a whole file but for the check record (every chunk here
    // is shorter than 64 KB).
    size_t lastChunk = 0;
    for (size_t at = 0; at + 8 <= good.size();
         at += 8 + (static_cast<uint8_t>(good[at + 4]) | static_cast<uint8_t>(good[at + 5]) << 8))
        lastChunk = at;
    const Case cases[] = {{"cut", good.substr(0, good.size() - 5)},
                          {"cut at a chunk", good.substr(0, lastChunk)},
                          {"flipped", flipped},
                          {"garbage", std::string(200, '\x7F')}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mName);
        std::filesystem::remove(mUser + "/prefs.dat.bad");
        testsupport::WriteFile(PrefsPath(), c.mBytes);
        Restart();
        EXPECT_EQ(testsupport::ReadFile(mUser + "/prefs.dat.bad"), c.mBytes);
        EXPECT_TRUE(Logged("The damaged preferences were kept as 'user:prefs.dat.bad'"));
        EXPECT_LE(Num("GetNumUsers()"), 2);
        Profiles({"Cal"}); // and the game goes on
        EXPECT_EQ(Str("GetCurrentUserName()"), "Cal");
        mSettings.reset();
    }
}

TEST_F(SettingsTest, StoredValuesOutOfRangeFallBackWithALoggedLine)
{
    AudioManager audio;
    const std::pair<const char*, std::string> curusers[] = {{"7", "-1"}, {"x1", "-1"}};
    for (const auto& [stored, becomes] : curusers)
    {
        SCOPED_TRACE(stored);
        WritePrefs(
            [&](TPrefs& prefs)
            {
                prefs.SetString("name", "Ann", 0, false);
                prefs.SetString("curuser", stored, -1, false);
                prefs.SetString("soundlevel", "99999", -1, false);
                prefs.SetString("musiclevel", "loud", -1, false);
            });
        Restart();
        EXPECT_EQ(Stored("curuser"), becomes);
        EXPECT_TRUE(Logged(std::string("Preference \"curuser\" '") + stored +
                           "' names none of the 1 profiles"));
        EXPECT_EQ(Str("GetCurrentUserName()"), "");
        EXPECT_FALSE(std::filesystem::exists(mUser + "/prefs.dat.bad"));
    }
    mSettings->LoadDisplaySettings();
    EXPECT_FLOAT_EQ(audio.FindTopGroup(1000)->GetVolume(), 1.0f);
    EXPECT_FLOAT_EQ(audio.FindTopGroup(1001)->GetVolume(), 0.75f);
    EXPECT_TRUE(Logged("Preference \"soundlevel\" 99999 is outside 0-1000; 1000 used"));
    EXPECT_TRUE(Logged("Preference \"musiclevel\" 'loud' is not a number; 750 used"));
}

TEST_F(SettingsTest, WrongTypedArgumentsToEveryFunctionAreLoggedOrHarmless)
{
    Start();
    Profiles({"Ann", "Ben"});
    // Numbers: NaN is 0, huge ones saturate and so fail the range test.
    Run("SetCurrentUser(1) SetCurrentUser(1e300) DeleteUser(-1e300) DeleteUser(1e300)");
    EXPECT_EQ(Str("GetCurrentUserName()"), "Ben");
    Run("SetCurrentUser(0/0)");
    EXPECT_EQ(Str("GetCurrentUserName()"), "Ann");
    Run("SetGameMode(1e300, 'x')");
    EXPECT_EQ(Num("GetGameMode()"), 2147483647.0);
    Run("SetGameMode(-1e300, 'x')");
    EXPECT_EQ(Num("GetGameMode()"), -2147483648.0);
    EXPECT_EQ(ScriptNumberToInt(std::nan("")), 0);
    EXPECT_EQ(ScriptNumberToInt(-2.9), -2);

    // Neither nil nor a table makes a nameless profile or clears the player's data.
    mSettings->SetPlayerData("", "\1\2", 2);
    Run("CreateNewUser(nil) CreateNewUser({}) DeletePlayerData(nil) SetCurrentUser({})");
    EXPECT_EQ(Num("GetNumUsers()"), 2);
    EXPECT_TRUE(Bool("HasPlayerData('')"));
    EXPECT_EQ(Str("GetCurrentUserName()"), "Ann");
    EXPECT_TRUE(Logged("Script function CreateNewUser: argument 1 is not a string; nothing done"));
    EXPECT_TRUE(Logged("Script function SetCurrentUser: argument 1 is not a number; nothing done"));
    EXPECT_TRUE(Logged("Script function DeletePlayerData: argument 1 is not a string"));

    const char* functions[] = {
        "CreateNewUser",  "GetCurrentUserName", "SetCurrentUser",  "GetNumUsers",
        "DeleteUser",     "IsUserNameInUse",    "IsBlankName",     "ToggleFullScreen",
        "IsFullScreen",   "DeletePlayerData",   "HasPlayerData",   "SetGameMode",
        "GetGameMode",    "IsWindows",          "IsUsingCursorOS", "SetCursorOSuse",
        "GetGameVersion", "HasEarnedMedal",     "GetCurrentScore"};
    const char* arguments[] = {"nil", "{}", "true", "print", "0/0", "1e300", "-1e300"};
    Run("failures = 0");
    for (const char* function : functions)
        for (const char* argument : arguments)
            Run(std::string("if not pcall(") + function + ", " + argument + ", " + argument +
                ") then failures = failures + 1 end");
    EXPECT_EQ(Num("failures"), 0);
    Run("SetGameMode(2, {})");
    EXPECT_TRUE(Logged("Script function SetGameMode: argument 1 is not a number; nothing done"));
    EXPECT_TRUE(Logged("Script function SetGameMode: argument 2 is not a string; nothing done"));
    EXPECT_TRUE(Bool("IsWindows()"));
}

TEST(RequestQuitTest, PostsTheQuitMessageThroughTheWindowScript)
{
    TScript script;
    profiletest::CurrentScript() = &script;
    SetWindowScriptSource([] { return profiletest::CurrentScript(); });
    script.DoLuaString("kQuitNow = 7 function CreateNamedMessage(t, n) return t .. '/' .. n end "
                       "function PostMessage(m) posted = m end");
    RequestQuit();
    SetWindowScriptSource(nullptr);
    EXPECT_EQ(std::string(script.GetGlobalString("posted").c_str()), "7/quit");
}

} // namespace
