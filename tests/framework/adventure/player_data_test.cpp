// The player's record over a preferences file in a scratch user folder, through its nine script
// functions on a script of the test's own: the record's bytes and fields, loading by length, a new
// game, the shared dialog setting, the high-score submission on a recording store, wrong-typed
// script arguments, and the globals after the object goes.
#include "framework/adventure/player_data.h"

#include "framework/core/settings.h"
#include "framework/profile_test_support.h"
#include "platform/config/prefs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace
{

using Bytes = std::vector<uint8_t>;
profiletest::StoreRecord& gStore = profiletest::Store();

class PlayerDataTest : public profiletest::ProfileTest
{
protected:
    PlayerDataTest() : ProfileTest("mw_playerdata") {}
    void SetUp() override
    {
        ProfileTest::SetUp();
        // The quit statement a fatal report runs, counted.
        Run("gQuits = 0 kQuitNow = 7 function CreateNamedMessage(id, name) return name end "
            "function PostMessage(m) if m == 'quit' then gQuits = gQuits + 1 end end");
    }
    void TearDown() override
    {
        mData.reset();
        mSettings.reset();
        ProfileTest::TearDown();
    }

    void Start()
    {
        mSettings = std::make_unique<Settings>();
        mData = std::make_unique<PlayerData>();
    }
    void Restart()
    {
        mData.reset();
        mSettings.reset();
        ClearPathMap();
        Start();
    }
    std::string Str(const std::string& expr)
    {
        Run("result = tostring(" + expr + ")");
        return mScript.GetGlobalString("result").c_str();
    }
    // A value as the file holds it, read through a table of its own; Absent() when it has none.
    Bytes Stored(const char* key, int user)
    {
        // The file as saved: the saves on their way first.
        if (mSettings)
            mSettings->WaitForSaves();
        ClearPathMap();
        TPrefs prefs(false);
        int length = prefs.GetData(key, nullptr, 0, user);
        if (length < 0)
            return Absent();
        Bytes value(static_cast<size_t>(length));
        prefs.GetData(key, value.data(), length, user);
        return value;
    }
    static Bytes Absent() { return Bytes{0xAB, 0x5E, 0x47}; }
    void StoreRecordBytes(const Bytes& bytes)
    {
        mSettings->SetPlayerData("playerdata", bytes.data(), static_cast<int>(bytes.size()));
    }

    std::unique_ptr<Settings> mSettings;
    std::unique_ptr<PlayerData> mData;
};

const Bytes kCrafted = {0x78, 0x56, 0x34, 0x12, 0x05, 0x00, 0x00, 0x80, 0x02, 0x03, 0xCD, 0xEF};

TEST_F(PlayerDataTest, TheRecordIsReadAndWrittenFieldByFieldLittleEndian)
{
    Start();
    EXPECT_EQ(mData->ToBytes(), PlayerData::Record{});
    EXPECT_EQ(Num("GetGameState()"), 0);
    for (const char* call :
         {"GetCurrentLocation()", "GetCurrentLocation(false)", "GetCurrentLocation(nil)"})
        EXPECT_EQ(Num(call), 1) << call;
    EXPECT_EQ(Num("GetCurrentLocation(true)"), 0);

    Profiles({"Ann"});
    StoreRecordBytes(kCrafted);
    Run("LoadProfile()");
    EXPECT_EQ(mData->GetScore(), 0x12345678);
    EXPECT_TRUE(mData->IsTutorialShown(0));
    EXPECT_FALSE(mData->IsTutorialShown(1));
    EXPECT_TRUE(mData->IsTutorialShown(2));
    EXPECT_TRUE(mData->IsTutorialShown(31));
    EXPECT_FALSE(mData->IsTutorialShown(32));
    EXPECT_FALSE(mData->IsTutorialShown(-1));
    EXPECT_EQ(Num("GetCurrentLocation(true)"), 2);
    EXPECT_EQ(Num("GetCurrentLocation()"), 3);
    EXPECT_EQ(Num("GetCurrentLocation(0)"), 2); // any value but nil and false is true
    EXPECT_EQ(Num("GetGameState()"), 3);

    // Changes go out in the same layout, the reserved bytes as loaded.
    mData->SetScore(-2);
    mData->SetTutorialShown(9);
    mData->SetTutorialShown(32);
    mData->SetTutorialShown(-1);
    Run("SetCurrentLocation(300)");
    EXPECT_EQ(Num("GetCurrentLocation(true)"), 44);
    Run("SetCurrentLocation(2.9)");
    EXPECT_EQ(Num("GetCurrentLocation(true)"), 2);
    Run("SetCurrentLocation(-1)");
    mData->SetGameState(PlayerData::kOnMap);
    EXPECT_EQ(Stored("playerdata", 0), kCrafted) << "nothing saved before SaveProfile";
    Run("SaveProfile()");
    EXPECT_EQ(Stored("playerdata", 0),
              (Bytes{0xFE, 0xFF, 0xFF, 0xFF, 0x05, 0x02, 0x00, 0x80, 0xFF, 0x01, 0xCD, 0xEF}));
}

TEST_F(PlayerDataTest, AProfileSwitchChangesTheRecordOnlyThroughLoadProfile)
{
    Start();
    Profiles({"Ann", "Ben"});
    StoreRecordBytes(kCrafted); // Ben's
    Run("SetCurrentUser(0)");
    Run("SetCurrentLocation(1) SaveProfile()");
    Run("SetCurrentUser(1)");
    EXPECT_EQ(Num("GetCurrentLocation(true)"), 1) << "Ann's record stays until loaded";
    Run("LoadProfile()");
    EXPECT_EQ(Num("GetCurrentLocation(true)"), 2);
    Run("SetCurrentUser(0) LoadProfile()");
    EXPECT_EQ(Num("GetCurrentLocation(true)"), 1);

    // The record of the profile current at start is loaded with the object.
    Run("SetCurrentUser(1)");
    Restart();
    EXPECT_EQ(mData->ToBytes(), PlayerData::Record({0x78, 0x56, 0x34, 0x12, 0x05, 0x00, 0x00, 0x80,
                                                    0x02, 0x03, 0xCD, 0xEF}));
}

TEST_F(PlayerDataTest, LoadProfileTakesTwelveBytesIgnoresNoneAndEndsTheGameOnOtherLengths)
{
    Start();
    Profiles({"Ann"});
    Run("SetCurrentLocation(5)");
    const PlayerData::Record before = mData->ToBytes();
    // Absent, empty and the one byte a deletion leaves: unchanged, nothing said.
    Run("LoadProfile()");
    StoreRecordBytes(Bytes{});
    Run("LoadProfile()");
    Run("DeletePlayerData('playerdata') LoadProfile()");
    EXPECT_EQ(mData->ToBytes(), before);
    EXPECT_EQ(Num("gQuits"), 0);
    EXPECT_FALSE(Logged("PlayerData"));

    for (size_t length : {11u, 13u})
    {
        SCOPED_TRACE(length);
        StoreRecordBytes(Bytes(length, 0x11));
        Run("gQuits = 0 LoadProfile()");
        EXPECT_EQ(mData->ToBytes(), before);
        EXPECT_EQ(Num("gQuits"), 1);
    }
    EXPECT_TRUE(Logged("ERROR:PlayerData sizeof mismatch!   FILE:playerdata LINE:49"));

    // Without a current profile nothing is read, even where the shared slot holds a record.
    mSettings->GetPrefs()->SetData("playerdata", kCrafted.data(), 12, -1, true);
    mSettings->GetPrefs()->SetInt("curuser", -1, -1, true);
    Run("LoadProfile()");
    EXPECT_EQ(mData->ToBytes(), before);
}

TEST_F(PlayerDataTest, NewGameZeroesSavesAndForgetsTheLocationInProgress)
{
    Start();
    Profiles({"Ann"});
    StoreRecordBytes(kCrafted);
    mSettings->SetPlayerData("gamedata", "\1\2\3", 3);
    Run("LoadProfile()");
    // One version of the file: the zero record never stands beside the old location's record.
    mSettings->WaitForSaves();
    const uint32_t versions = mSettings->GetPrefs()->GetVersionsWritten();
    Run("NewGame()");
    mSettings->WaitForSaves();
    EXPECT_EQ(mSettings->GetPrefs()->GetVersionsWritten(), versions + 1);
    EXPECT_EQ(mData->ToBytes(), PlayerData::Record{});
    EXPECT_EQ(Stored("playerdata", 0), Bytes(12, 0));
    EXPECT_EQ(Stored("gamedata", 0), Bytes{0});
    EXPECT_EQ(Num("GetCurrentLocation()"), 1);

    // No profiles: the record is zeroed, the file is not touched.
    std::filesystem::remove(PrefsPath());
    Restart();
    mData->FromBytes(PlayerData::Record{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    Run("SaveProfile() NewGame()");
    EXPECT_EQ(mData->ToBytes(), PlayerData::Record{});
    EXPECT_FALSE(std::filesystem::exists(PrefsPath()));

    // Profiles, none current: nothing written to the shared slot.
    Profiles({"Ann"});
    mSettings->GetPrefs()->SetInt("curuser", -1, -1, true);
    Run("SetCurrentLocation(4) SaveProfile() NewGame()");
    EXPECT_EQ(Stored("playerdata", -1), Absent());
    EXPECT_EQ(Stored("gamedata", -1), Absent());
}

TEST_F(PlayerDataTest, TheCharacterDialogSettingLivesInTheSharedSlotAndIsWrittenAtOnce)
{
    Start();
    EXPECT_EQ(Str("GetFullCharacterDialogState()"), "true");
    Run("SetFullCharacterDialogState(false)");
    EXPECT_EQ(Stored("characterdialog", -1), (Bytes{'0', 0}));
    EXPECT_EQ(Str("GetFullCharacterDialogState()"), "false");
    Run("SetFullCharacterDialogState(true)");
    EXPECT_EQ(Stored("characterdialog", -1), (Bytes{'1', 0}));
    // Script truth: nil (or nothing) is off, 0 is on.
    Run("SetFullCharacterDialogState()");
    EXPECT_EQ(Str("GetFullCharacterDialogState()"), "false");
    Run("SetFullCharacterDialogState(0)");
    EXPECT_EQ(Str("GetFullCharacterDialogState()"), "true");
}

TEST_F(PlayerDataTest, AScoreIsSubmittedWhenThereIsNoBestOrItIsLower)
{
    Start();
    Run("SaveHighScore()"); // no player
    EXPECT_TRUE(gStore.mCalls.empty());
    Profiles({"Ann"});
    gStore.mCalls.clear();

    mData->SetScore(0);
    Run("SaveHighScore()"); // best 0: always, a score of 0 too; one change, a time's table
    EXPECT_EQ(gStore.mCalls, (std::vector<std::string>{"ReplaceUserScore Ann 0 lower first"}));

    gStore.mScores = {{"Annie", 100}, {"Ann", 500}};
    const std::pair<int32_t, bool> cases[] = {{499, true}, {500, false}, {501, false}, {-3, true}};
    for (const auto& [score, submitted] : cases)
    {
        SCOPED_TRACE(score);
        gStore.mCalls.clear();
        mData->SetScore(score);
        Run("SaveHighScore()");
        EXPECT_EQ(gStore.mCalls.size(), submitted ? 1u : 0u);
    }

    // Profiles, none current: no name, nothing submitted.
    mSettings->GetPrefs()->SetInt("curuser", -1, -1, true);
    gStore.mCalls.clear();
    mData->SetScore(1);
    Run("SaveHighScore()");
    EXPECT_TRUE(gStore.mCalls.empty());
}

TEST_F(PlayerDataTest, BadArgumentsAreLoggedOrHarmlessAndTheGlobalsGoWithTheObject)
{
    Start();
    Profiles({"Ann"});
    Run("SetCurrentLocation(3)");
    Run("SetCurrentLocation(nil) SetCurrentLocation({}) SetCurrentLocation('north') "
        "SetCurrentLocation()");
    EXPECT_EQ(Num("GetCurrentLocation(true)"), 3);
    EXPECT_TRUE(
        Logged("Script function SetCurrentLocation: argument 1 is not a number; nothing done"));
    Run("SetCurrentLocation('7')"); // numeric text is a number
    EXPECT_EQ(Num("GetCurrentLocation(true)"), 7);
    const std::pair<const char*, double> numbers[] = {
        {"0/0", 0}, {"1e300", 255}, {"-1e300", 0}, {"7, 9", 7}, {"256", 0}};
    for (const auto& [argument, location] : numbers)
    {
        Run(std::string("SetCurrentLocation(") + argument + ")");
        EXPECT_EQ(Num("GetCurrentLocation(true)"), location) << argument;
    }
    // Extra arguments and odd ones to the others change nothing and end nothing.
    Run("LoadProfile(1, 2) SaveProfile({}) GetGameState('x') GetCurrentLocation(true, 5) "
        "SaveHighScore(nil, 1) GetFullCharacterDialogState(0/0) NewGame('now')");
    EXPECT_EQ(Num("GetCurrentLocation(true)"), 0);
    EXPECT_EQ(Num("gQuits"), 0);

    const char* functions[] = {"LoadProfile",
                               "SaveProfile",
                               "NewGame",
                               "GetGameState",
                               "GetCurrentLocation",
                               "SetCurrentLocation",
                               "SaveHighScore",
                               "GetFullCharacterDialogState",
                               "SetFullCharacterDialogState"};
    Run("kept = GetCurrentLocation");
    mData.reset();
    for (const char* name : functions)
        EXPECT_EQ(Str(std::string("type(") + name + ")"), "nil") << name;
    Run("ok = pcall(kept)"); // a copy kept fails instead of reaching freed memory
    EXPECT_EQ(Str("ok"), "false");
    EXPECT_EQ(PlayerData::Instance(), nullptr);
}

} // namespace
