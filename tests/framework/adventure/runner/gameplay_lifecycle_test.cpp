// A location held still and let go, conversations taking the screen and giving it back, and the
// location's record over a scratch profile: its bytes, the refresh rule, a location closed and
// opened again in a later window, damaged records refused whole, and the end of a location.
#include "framework/adventure/runner/gameplay.h"

#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/entities/gameplay_item.h"
#include "framework/adventure/entities/gameplay_layer.h"
#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/adventure/player_data.h"
#include "framework/adventure/scene/gameplay_event.h"
#include "framework/adventure/scene/gameplay_factory.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/adventure/tooltips/gameplay_tool_tip.h"
#include "framework/widgets/tool_tip.h"
#include "platform/strings/string_table.h"
#include "framework/adventure/runner/scene_factory_support.h"
#include "framework/screen_test_support.h"
#include "framework/sound/audio_manager.h"
#include "framework/sound/sound_group.h"
#include "framework/sound/sound_play_record.h"
#include "platform/config/prefs.h"
#include "platform/files/file.h"
#include "platform/files/file_layer.h"
#include "script/lua_object_wrapper.h"
#include "sys/files/paths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace gameplay_lifecycle_test
{
namespace
{

// Reaches the fields a record carries and appends a game part of its own.
struct SavedGameplay : Gameplay
{
    static TWindow* Create() { return new SavedGameplay; }
    std::shared_ptr<GameplayFactory> CreateFactory() override
    {
        return std::make_shared<ListedEntityFactory>();
    }
    void SaveExtraState(std::vector<uint8_t>& out) override
    {
        out.insert(out.end(), mExtra.begin(), mExtra.end());
    }
    void LoadExtraState(const uint8_t* data, size_t size) override
    {
        mLoadedExtra.assign(data, data + size);
    }
    void Set(uint32_t playTime, const char* event, GameplayArea* area, const char* conversation)
    {
        mPlayTime = playTime;
        mNextEvent = event != nullptr ? FindEvent(event) : nullptr;
        mLastClickedArea = area;
        mPendingConversation = conversation;
    }
    void Show(const char* scene) { mActiveScene = FindScene(scene); }
    void SetState(int32_t state) { mGameplayState = state; }
    ToolTip* Basic() const { return mBasicToolTip.get(); }
    ToolTip* Hint() const { return mHintToolTip.get(); }
    GameplayToolTip* ForInventory() const { return mInventoryToolTip.get(); }
    void Hold(GameplayInventory* object) { mHeldInventory = object; }
    void Block(bool on) { mBlockingAnimation = on ? 1 : 0; }
    // The tests' conversations: nothing is shown and the end comes when the test says.
    void StandInConversations() { mConversations.reset(); }
    int mSaves = 0;
    bool mCountSaves = false;
    void SaveLocationState(bool refresh) override
    {
        mSaves += mCountSaves ? 1 : 0;
        Gameplay::SaveLocationState(refresh);
    }
    std::vector<uint8_t> mExtra;
    std::vector<uint8_t> mLoadedExtra;
};

const char kLocation[] = R"(
gameplayinstructions = {
    conversations = {}, scenes = { 'a', 'b' },
    a = { areas = { { name = 'door', image = 't/door', x = 600, y = 100,
                      events = { coin = { eventname = 'later' } } } },
          items = { { name = 'k1', image = 't/obj', inventory = 'key', inventoryparts = { 1 } },
                    { name = 'c1', image = 't/obj', inventory = 'coin', inventoryparts = { 1 } },
                    { name = 'k2', image = 't/obj', inventory = 'key', inventoryparts = { 1 } } } },
    b = {
        areas = { { name = 'shelf', image = 't/door', x = 20, y = 100,
                    holdableinventory = { 'coin' }, events = {} },
                  { name = 'back', image = 't/door', x = 300, y = 100, events = {} } },
        layers = { { name = 'bg_b', image = 't/bg', x = 0, y = 0, depth = 100 } },
        items = { { name = 'k3', image = 't/obj', inventory = 'key', inventoryparts = { 1 } } },
    },
    inventory = { { name = 'key', image = 't/obj', homescene = 'b', partcount = 1 },
                  { name = 'coin', image = 't/obj', partcount = 1 },
                  { name = 'gem', image = 't/obj', homescene = 'nowhere', partcount = 1 } },
    events = { { name = 'start' }, { name = 'later' },
               { name = 'armed', eventtoactivateonclick = 'later' },
               { name = 'armed_next', nextevent = 'start', eventtoactivateonclick = 'later' } },
    animations = { { name = 'glow', layer = 'bg_b',
                     fade = { beginopacity = 0, endopacity = 1, duration = 100 } } },
    initial_event = 'start', active_scene = 'a',
}
)";

const char kStyle[] =
    "characterinfo = { scrim = {}, conversation_info = {}, info = {} }, "
    "playlist = { location01 = { a = {}, b = {} } }, sceneinfo = {}, animatedcursorinfo = {}, "
    "locationnumber = 1, timescenetransition = 50, inventoryinfo = { barwidth = 0 }, "
    "crazyclick = { main = { image = 't/obj' } }, crazyclickcounttoactivate = 3, "
    "crazyclicktimetoremoveclick = 1000, crazyclickpathduration = 300, "
    "crazyclickpath = 't/path.txt', "
    "entityinfo = { layerinfo = { fadetime = 50 }, iteminfo = {} }, "
    "GameplayHud{ name = 'hud', x = 0, y = 500, w = 800, h = 100, "
    "background = { image = 't/hud', x = 0, y = 0 }, foreground = { image = 't/hud', x = 0, y = 0 "
    "}, "
    "progressbar = { image = 't/hud', x = 600, y = 40 }, "
    "inventorybounds = { x = 100, y = 510, w = 300, h = 80 } }";

class SavedStateTest : public screentest::ScreenTest
{
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        if (HasFatalFailure())
            return;
        mManager->RegisterWindowType("Gameplay", &SavedGameplay::Create);
        mManager->RegisterWindowType("GameplayHud", &GameplayHud::Create);
        Image("t/door.png", 100, 200, 0xFF806040);
        Image("t/bg.png", 800, 600, 0xFF204060);
        Image("t/obj.png", 32, 32, 0xFFFFFFFF);
        Image("t/hud.png", 800, 100, 0xFF303030);
        File("t/path.txt", "2,0,0,10,10");
        mSettings->CreateNewUser("player");
        mPlayer = std::make_unique<PlayerData>();
        Run(kLocation);
        Run("function LocationComplete() completed = (completed or 0) + 1 end");
    }
    void TearDown() override
    {
        Run("gameplayinstructions = nil");
        mPlayer.reset();
        ScreenTest::TearDown();
    }
    SavedGameplay* Open(const std::string& extra = "")
    {
        Run(std::string("Gameplay{ name = 'play', x = 0, y = 0, w = 800, h = 600, ") + kStyle +
            extra + " }()");
        return static_cast<SavedGameplay*>(mManager->GetRoot()->FindChild("play", 0xFFFFFFFFu));
    }
    void Close(Gameplay* play)
    {
        play->OnClose();
        play->GetParent()->RemoveChild(play);
        delete play;
    }
    // Frames until the first scene has faded in.
    void Settle(SavedGameplay& play)
    {
        for (int i = 0; i < 40 && play.GetGameplayState() != Gameplay::kPlay; ++i)
            Frame(16);
    }
    // The player's record in play at location 0, saved; the location opened on it, settled and a
    // frame on.
    SavedGameplay* OpenInPlay()
    {
        mPlayer->SetLocation(0);
        mPlayer->SetGameState(PlayerData::kInLocation);
        mPlayer->SaveProfile();
        return OpenSettled({});
    }
    // The location opened with `extra` after its own record, settled and a frame on.
    SavedGameplay* OpenSettled(const std::vector<uint8_t>& extra)
    {
        SavedGameplay* play = Open();
        if (play != nullptr)
        {
            play->mExtra = extra;
            Settle(*play);
            Frame(16);
        }
        return play;
    }
    // A value as the file on disk holds it for the player (what a start after a kill reads),
    // once the saves asked for so far are made.
    std::vector<uint8_t> OnDisk(const char* key) const
    {
        mSettings->WaitForSaves();
        ClearPathMap();
        TPrefs prefs(false);
        const int length = prefs.GetData(key, nullptr, 0, 0);
        std::vector<uint8_t> value(length > 0 ? static_cast<size_t>(length) : 0);
        if (length > 0)
            prefs.GetData(key, value.data(), length, 0);
        return value;
    }
    uint32_t Versions() const
    {
        mSettings->WaitForSaves();
        return mSettings->GetPrefs()->GetVersionsWritten();
    }
    static bool Marked(const std::vector<uint8_t>& player, int tutorial)
    {
        return player.size() == PlayerData::kRecordSize &&
               ((player[4 + tutorial / 8] >> (tutorial % 8)) & 1) != 0;
    }
    static constexpr int kInterval = (Gameplay::kCalmStoreIntervalMs + 15) / 16;
    void Store(const std::vector<uint8_t>& bytes)
    {
        mSettings->SetPlayerData("gamedata", bytes.data(), static_cast<int>(bytes.size()));
    }
    std::unique_ptr<PlayerData> mPlayer;
};

TEST_F(SavedStateTest, TheRecordsFieldsInOrder)
{
    SavedGameplay* play = Open();
    ASSERT_NE(play, nullptr) << Log();
    Settle(*play);
    play->Set(258, nullptr, nullptr, "");
    play->mExtra = {0xEE};
    play->SaveLocationState(false);
    const std::vector<uint8_t>& bytes = play->GetStateBytes();
    ASSERT_GE(bytes.size(), 13u);
    // Play time, scene a, no event, no area, then the HUD's two bytes.
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 7),
              (std::vector<uint8_t>{0, 0, 1, 2, 0, 0, 0}));
    EXPECT_EQ(bytes[7], 4) << "the HUD's total: four items";
    // The tail: no started animation, no conversation (one 0), the game's byte.
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 3, bytes.end()),
              (std::vector<uint8_t>{0, 0, 0xEE}));
    size_t scenes = 0;
    for (const auto& scene : play->GetScenes())
        scenes += scene->GetStateSize();
    EXPECT_EQ(bytes.size(), 7 + 2 + 3 * GameplayInventory::kSavedStateSize + scenes + 3);

    // Indices + 1, matched in their lists.
    GameplayArea* back = play->FindArea("back");
    play->Show("b");
    play->Set(0x01020304, "later", back, "hi");
    play->SaveLocationState(false);
    EXPECT_EQ(
        std::vector<uint8_t>(play->GetStateBytes().begin(), play->GetStateBytes().begin() + 7),
        (std::vector<uint8_t>{1, 2, 3, 4, 1, 2, 2}));
    EXPECT_EQ(std::vector<uint8_t>(play->GetStateBytes().end() - 4, play->GetStateBytes().end()),
              (std::vector<uint8_t>{2, 'h', 'i', 0xEE}));

    // A refresh only rewrites the time; a blocked save changes nothing.
    const std::vector<uint8_t> before = play->GetStateBytes();
    play->Set(5, nullptr, nullptr, "");
    play->mExtra = {0x11, 0x22};
    play->SaveLocationState(true);
    std::vector<uint8_t> expected = before;
    expected[0] = expected[1] = expected[2] = 0;
    expected[3] = 5;
    EXPECT_EQ(play->GetStateBytes(), expected);
    play->Block(true);
    play->SaveLocationState(false);
    EXPECT_EQ(play->GetStateBytes(), expected);
    play->Block(false);
    Close(play);
}

TEST_F(SavedStateTest, ACloseBeforeAnyCalmPointBuildsTheWholeRecord)
{
    // Closed before the first frame: nothing is stored over the saved location.
    SavedGameplay* play = Open();
    ASSERT_NE(play, nullptr);
    Store({1, 2, 3});
    Close(play);
    EXPECT_EQ(Stored(), (std::vector<uint8_t>{1, 2, 3}));

    mSettings->DeletePlayerData("gamedata");
    play = Open();
    Frame(16);
    ASSERT_NE(play->GetGameplayState(), Gameplay::kPlay);
    EXPECT_TRUE(play->GetStateBytes().empty());
    play->mExtra = {7};
    Close(play);
    const std::vector<uint8_t> stored = Stored();
    ASSERT_GT(stored.size(), 9u);
    EXPECT_EQ(stored.back(), 7);
    EXPECT_EQ(mPlayer->GetGameState(), PlayerData::kInLocation);
}

// While the location runs, its calm points' records reach the profile without a close, so a crash
// keeps them: the first at once, a later one once the interval since the last store has passed;
// the play time alone is no news, and a location with a wait running is not calm.
// A tutorial mark alone is stored too, with the game state saying the player is in the location.
TEST_F(SavedStateTest, CalmPointsAreStoredWithoutACloseAtMostOnceAnInterval)
{
    SavedGameplay* play = Open();
    ASSERT_NE(play, nullptr);
    play->mExtra = {7};
    Settle(*play);
    Frame(16);
    ASSERT_FALSE(Stored().empty()) << "stored without a close";
    EXPECT_EQ(Stored().back(), 7);
    EXPECT_EQ(mPlayer->GetGameState(), PlayerData::kInLocation);
    EXPECT_FALSE(mPlayer->HasUnstoredChanges());

    play->mExtra = {8};
    play->SaveLocationState(false);
    RunFrames(kInterval - 8);
    EXPECT_EQ(Stored().back(), 7) << "within the interval";
    RunFrames(10);
    EXPECT_EQ(Stored().back(), 8);

    WaitHandle held =
        play->Expect(Gameplay::kCallbackReported, "the test's own wait", [] { return true; });
    play->mExtra = {9};
    RunFrames(kInterval + 1);
    EXPECT_EQ(Stored().back(), 8) << "a wait running";
    play->mExtra = {8};
    play->Withdraw(std::move(held));

    play->Set(5, nullptr, nullptr, "");
    play->mExtra = {8};
    play->SaveLocationState(false);
    mPlayer->SetTutorialShown(3);
    play->SaveLocationState(false);
    ASSERT_TRUE(mPlayer->HasUnstoredChanges());
    RunFrames(kInterval + 1);
    EXPECT_FALSE(mPlayer->HasUnstoredChanges()) << "the tutorial mark stored";
    Close(play);
}

// A calm point's store the disk refuses stops the stores for the run, said once: a refusing disk
// is not tried at every interval. Another copy holding the lock only puts the stores off: once it
// is free, the next calm point stores again, news or not.
TEST_F(SavedStateTest, ACalmStoreTheDiskRefusesStopsTheStoresAndOneAnotherCopyHoldsWaits)
{
    const std::string stopped = "Gameplay: the location's calm points are not stored any more in "
                                "this run, since the preferences could not be saved; the close "
                                "stores it\n";
    for (const bool diskRefuses : {true, false})
    {
        SCOPED_TRACE(diskRefuses ? "the disk refuses" : "another copy holds the lock");
        const std::string prefs = ResolvePath(mSettings->GetPrefs()->GetFileName(), false).c_str();
        SetFileLockWait(50);
        // The saves of the set-up first: their saver holds the lock while it writes. What a shape
        // before left unsaved (the refusing disk's close) is written now, or this shape's first
        // store would meet that failure as its own.
        mSettings->SavePreferences();
        mSettings->WaitForSaves();
        const int before = CountInLog(stopped);
        std::string reason;
        const int held = diskRefuses ? -1 : sys::LockFile(prefs + ".lock", 0, reason);
        ASSERT_TRUE(diskRefuses || held >= 0) << reason;
        SavedGameplay* play = Open();
        ASSERT_NE(play, nullptr);
        Settle(*play);
        Frame(16);
        for (const uint8_t extra : {8, 9})
        {
            // A full disk refuses each save.
            if (diskRefuses)
                InjectDiskCloseFailure(ENOSPC);
            play->mExtra = {extra};
            RunFrames((Gameplay::kCalmStoreIntervalMs + 15) / 16 + 1);
            // The store's save has met the lock or the disk on its saver's thread.
            mSettings->WaitForSaves();
        }
        if (held >= 0)
        {
            sys::UnlockFile(held);
            // What the lock put off is made at the next calm point, with nothing changed since.
            RunFrames(kInterval + 1);
            const std::vector<uint8_t> record = OnDisk("gamedata");
            ASSERT_FALSE(record.empty()) << Log();
            EXPECT_EQ(record.back(), 9);
        }
        play->mExtra = {10};
        RunFrames((Gameplay::kCalmStoreIntervalMs + 15) / 16 + 1);
        EXPECT_EQ(CountInLog(stopped) - before, diskRefuses ? 1 : 0) << Log();
        const std::vector<uint8_t> last = OnDisk("gamedata");
        EXPECT_EQ(!last.empty() && last.back() == 10, !diskRefuses);
        Close(play);
        SetFileLockWait(kFileLockWaitMs);
    }
}

// A calm point is one save: the location's record and the player's, built at the same frame, put
// in place as one version of the file; a calm frame with no news puts none.
TEST_F(SavedStateTest, OneCalmPointIsOneVersionOfTheFileHoldingBothRecords)
{
    SavedGameplay* play = Open();
    ASSERT_NE(play, nullptr);
    play->mExtra = {7};
    Settle(*play);
    const uint32_t before = Versions();
    Frame(16);
    EXPECT_EQ(Versions(), before + 1) << "the first calm point at once, in one save";
    EXPECT_EQ(OnDisk("gamedata").back(), 7);
    ASSERT_EQ(OnDisk("playerdata").size(), size_t(PlayerData::kRecordSize));
    EXPECT_EQ(OnDisk("playerdata")[9], PlayerData::kInLocation);

    RunFrames(kInterval + 1);
    EXPECT_EQ(Versions(), before + 1) << "nothing new, nothing saved";
    play->mExtra = {8};
    mPlayer->SetTutorialShown(3);
    RunFrames(kInterval + 1);
    EXPECT_EQ(Versions(), before + 2);
    EXPECT_EQ(OnDisk("gamedata").back(), 8);
    EXPECT_TRUE(Marked(OnDisk("playerdata"), 3));
    Close(play);
}

// The marks earned while the location is not calm (a use's effects under way) wait for the calm
// point after them, and go to the file with that point's record: never beside the record of an
// earlier calm point, which may lack what the marks' prompts lead to.
TEST_F(SavedStateTest, MarksEarnedAwayFromCalmGoWithTheRecordOfTheirOwnMoment)
{
    SavedGameplay* play = OpenSettled({0x20});
    ASSERT_NE(play, nullptr);
    ASSERT_EQ(OnDisk("gamedata").back(), 0x20);
    play->mExtra = {0x21};
    play->SaveLocationState(false);
    RunFrames(5);
    WaitHandle held =
        play->Expect(Gameplay::kCallbackReported, "the test's own wait", [] { return true; });
    play->mExtra = {0x22};
    mPlayer->SetTutorialShown(4);
    RunFrames(kInterval + 1);
    EXPECT_FALSE(Marked(OnDisk("playerdata"), 4)) << "stored while the use went on";
    EXPECT_EQ(OnDisk("gamedata").back(), 0x20);
    const uint32_t before = Versions();
    play->Withdraw(std::move(held));
    RunFrames(2);
    EXPECT_EQ(Versions(), before + 1);
    EXPECT_TRUE(Marked(OnDisk("playerdata"), 4));
    EXPECT_EQ(OnDisk("gamedata").back(), 0x22);
    Close(play);
}

// What waits for the player is calm: a puzzle's moves (changes no event follows) and a mark earned
// while a prompt waits reach the next store of the interval, with nothing else to set them off.
TEST_F(SavedStateTest, PuzzleMovesAndMarksUnderAPromptReachTheNextCalmStore)
{
    for (const int32_t state : {int32_t(Gameplay::kMinigame), int32_t(Gameplay::kTutorial)})
    {
        SCOPED_TRACE(state);
        SavedGameplay* play = OpenSettled({0x40});
        ASSERT_NE(play, nullptr);
        play->SetState(state);
        play->mExtra = {static_cast<uint8_t>(0x41 + state)};
        mPlayer->SetTutorialShown(6 + state);
        RunFrames(kInterval + 1);
        EXPECT_EQ(OnDisk("gamedata").back(), 0x41 + state);
        EXPECT_TRUE(Marked(OnDisk("playerdata"), 6 + state));
        play->SetState(Gameplay::kPlay);
        Close(play);
    }
}

// No point to store at: a hint's choice (it waits for the player, but the record cannot hold it)
// and half a click (a press whose release has not come: the press may have acted, the release not
// yet). Nothing is stored while either lasts, and the store comes as it ends.
TEST_F(SavedStateTest, AHintsChoiceAndHalfAClickAreNoPointsToStoreAt)
{
    struct Hold
    {
        const char* mName;
        std::function<void(SavedGameplay&)> mBegin;
        std::function<void(SavedGameplay&)> mEnd;
    };
    const Hold holds[] = {
        {"a hint's choice", [](SavedGameplay& play) { play.SetState(Gameplay::kHintSelect); },
         [](SavedGameplay& play) { play.SetState(Gameplay::kPlay); }},
        {"half a click",
         [this](SavedGameplay&)
         { mManager->HandleEvent(uitest::MakeEvent(kEventLeftDown, 700, 20)); },
         [this](SavedGameplay&)
         { mManager->HandleEvent(uitest::MakeEvent(kEventLeftUp, 700, 20)); }},
    };
    for (const Hold& hold : holds)
    {
        SCOPED_TRACE(hold.mName);
        SavedGameplay* play = OpenSettled({0x50});
        ASSERT_NE(play, nullptr);
        ASSERT_EQ(OnDisk("gamedata").back(), 0x50);
        hold.mBegin(*play);
        play->mExtra = {0x51};
        RunFrames(kInterval + 1);
        EXPECT_EQ(OnDisk("gamedata").back(), 0x50) << "stored while it lasted";
        hold.mEnd(*play);
        RunFrames(2);
        EXPECT_EQ(OnDisk("gamedata").back(), 0x51);
        Close(play);
    }
}

// A completion is one save: the score, the next location, the map as what comes next and the
// record's removal; so is a completion the close comes to as it settles the location.
TEST_F(SavedStateTest, ACompletionIsOneVersionOfTheFileHandingOverToTheMap)
{
    for (const bool atClose : {false, true})
    {
        SCOPED_TRACE(atClose ? "at the close" : "in play");
        SavedGameplay* play = OpenInPlay();
        ASSERT_NE(play, nullptr);
        ASSERT_FALSE(OnDisk("gamedata").size() <= 1) << "a calm point stored";
        const uint32_t before = Versions();
        if (atClose)
        {
            play->GetHud()->SetProgressMax(0);
            Close(play);
        }
        else
        {
            play->CompleteLocation();
        }
        EXPECT_EQ(Versions(), before + 1);
        EXPECT_LE(OnDisk("gamedata").size(), 1u) << "the record removed";
        const std::vector<uint8_t> player = OnDisk("playerdata");
        ASSERT_EQ(player.size(), size_t(PlayerData::kRecordSize));
        EXPECT_EQ(player[8], 1) << "the location counted";
        EXPECT_EQ(player[9], PlayerData::kOnMap);
        if (!atClose)
            Close(play);
        EXPECT_EQ(Versions(), before + 1) << "a completed location's close saves nothing more";
    }
}

// A close is one version holding both records of its moment, also when the game's script saved
// the player itself while the location ran (a mark, or the location counted): the script's save
// waits for the runner's, so no version holds the player's record beside an older location's.
TEST_F(SavedStateTest, ACloseIsOneVersionAlsoAfterTheScriptSavedThePlayer)
{
    struct Row
    {
        const char* mName;
        const char* mScript;
        int mLocation;
    };
    const Row rows[] = {
        {"nothing from the script", "", 0},
        {"a mark the script saved", "SaveProfile()", 0},
        {"the location counted by the script",
         "SetCurrentLocation(GetCurrentLocation())\n"
         "SaveProfile()",
         1},
    };
    int mark = 9;
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.mName);
        ++mark;
        mPlayer->SetLocation(0);
        mPlayer->SaveProfile();
        SavedGameplay* play = OpenSettled({0x60});
        ASSERT_NE(play, nullptr);
        ASSERT_EQ(OnDisk("gamedata").back(), 0x60);
        const uint32_t before = Versions();
        play->mExtra = {0x61};
        mPlayer->SetTutorialShown(mark);
        Run(row.mScript);
        EXPECT_EQ(Versions(), before) << "the script's save went to the file on its own";
        Close(play);
        EXPECT_EQ(Versions(), before + 1);
        const std::vector<uint8_t> player = OnDisk("playerdata");
        ASSERT_EQ(player.size(), size_t(PlayerData::kRecordSize));
        EXPECT_TRUE(Marked(player, mark));
        EXPECT_EQ(player[8], row.mLocation);
        if (row.mLocation == 0)
            EXPECT_EQ(OnDisk("gamedata").back(), 0x61);
        else
            EXPECT_LE(OnDisk("gamedata").size(), 1u) << "a counted location's record kept";
        mSettings->DeletePlayerData("gamedata");
    }
}

// A completion moves the location byte by one, in one version, whatever the game's script counts
// itself: before the completion, in its completion handler, or in the handler of a completion the
// close comes to.
TEST_F(SavedStateTest, ACompletionCountsTheLocationOnceWhateverTheScriptCounts)
{
    const char kCount[] = "SetCurrentLocation(GetCurrentLocation())\nSaveProfile()\n";
    struct Row
    {
        const char* mName;
        std::string mBefore;
        std::string mHandlers;
        bool mAtClose;
    };
    const Row rows[] = {
        {"counted before the completion", kCount, "", false},
        {"counted in the completion handler", "",
         std::string("function LocationComplete()\n") + kCount + "end", false},
        {"counted in the handler at the close", "",
         std::string("function LocationCompletedAtClose()\n") + kCount + "end", true},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.mName);
        Run("function LocationComplete() end\nLocationCompletedAtClose = nil\n" + row.mHandlers);
        SavedGameplay* play = OpenInPlay();
        ASSERT_NE(play, nullptr);
        const uint32_t before = Versions();
        Run(row.mBefore);
        if (row.mAtClose)
        {
            play->GetHud()->SetProgressMax(0);
            Close(play);
        }
        else
        {
            play->CompleteLocation();
            EXPECT_EQ(mPlayer->GetLocation(), 1);
            Close(play);
        }
        EXPECT_EQ(Versions(), before + 1);
        const std::vector<uint8_t> player = OnDisk("playerdata");
        ASSERT_EQ(player.size(), size_t(PlayerData::kRecordSize));
        EXPECT_EQ(player[8], 1) << "the location counted once";
        EXPECT_EQ(player[9], PlayerData::kOnMap);
        EXPECT_EQ(mPlayer->GetLocation(), 1);
    }
}

// The conversation on the screen is in the record, stored at a calm point while it shows and at
// the close: the next start shows it again from its beginning.
TEST_F(SavedStateTest, AConversationOnTheScreenAtACloseIsShownAgain)
{
    SavedGameplay* play = Open();
    ASSERT_NE(play, nullptr);
    Settle(*play);
    play->StandInConversations();
    play->Set(300, nullptr, nullptr, "hello");
    play->mExtra = {0x51};
    RunFrames(kInterval + 1);
    ASSERT_EQ(play->GetGameplayState(), Gameplay::kConversation);
    EXPECT_TRUE(play->GetPendingConversation().Length() == 0) << "started";
    const std::vector<uint8_t> calm = OnDisk("gamedata");
    ASSERT_GE(calm.size(), 7u);
    EXPECT_EQ(std::vector<uint8_t>(calm.end() - 7, calm.end()),
              (std::vector<uint8_t>{5, 'h', 'e', 'l', 'l', 'o', 0x51}));
    Close(play);
    const std::vector<uint8_t> closed = OnDisk("gamedata");
    ASSERT_GE(closed.size(), 7u);
    EXPECT_EQ(std::vector<uint8_t>(closed.end() - 7, closed.end() - 1),
              (std::vector<uint8_t>{5, 'h', 'e', 'l', 'l', 'o'}));

    SavedGameplay* again = Open();
    ASSERT_NE(again, nullptr);
    Frame(16);
    EXPECT_EQ(again->GetPendingConversation(), TString("hello"));
    Close(again);
}

// An object held, or anything changed since the last calm point (a puzzle's progress): what changed
// is stored, not the calm point before it.
TEST_F(SavedStateTest, ACloseStoresTheStateAsItStands)
{
    // Closed with an object held since the last calm point.
    SavedGameplay* play = Open();
    ASSERT_NE(play, nullptr);
    Settle(*play);
    play->mExtra = {0x33};
    play->SaveLocationState(false);
    play->mExtra = {0x44};
    play->Hold(play->FindInventory("coin"));
    Close(play);
    EXPECT_EQ(Stored().back(), 0x44);

    play = Open();
    Settle(*play);
    play->mExtra = {0x55};
    play->SaveLocationState(false);
    play->mExtra = {0x66};
    Close(play);
    EXPECT_EQ(Stored().back(), 0x66);
}

// Closed while a found item turns and flies, or with an object just picked up, the stored record is
// the one the same play stores once everything has settled, byte for byte but the play time. Closed
// while an object is being used on an area, the use is taken as ended: the record holds the event
// it leads to and the object out of play.
TEST_F(SavedStateTest, ACloseMidFlightOrWithAnObjectHeldStoresTheSettledRecord)
{
    const std::string slow =
        ", entityinfo = { layerinfo = { fadetime = 50 }, iteminfo = { "
        "timefound = 200, timetoinventory = 300, timefadeaway = 200 } }, "
        "inventoryinfo = { barwidth = 0, timefadepart = 200, timeequip = 200, timetouse = 300 }";
    enum Doing
    {
        kFlying,
        kHeld,
        kUsed
    };
    const auto closed = [&](Doing doing, int frames)
    {
        mSettings->DeletePlayerData("gamedata");
        SavedGameplay* play = Open(slow);
        Settle(*play);
        GameplayInventory* key = play->FindInventory("key");
        GameplayInventory* coin = play->FindInventory("coin");
        for (GameplayInventory* object : {key, coin})
        {
            object->AddFlags(GameplayInventory::kShown);
            play->GetHud()->GetPendingInventory().push_back(object);
        }
        play->GetHud()->MergePendingInventory(false, nullptr);
        if (doing == kFlying)
            play->OnItemFound(play->FindItem("k1"));
        else
            play->EquipInventory(coin);
        if (doing == kUsed)
        {
            play->Set(0, nullptr, play->FindArea("door"), "");
            play->UseInventory(coin, play->FindArea("door"));
        }
        for (int i = 0; i < frames; ++i)
            Frame(16);
        EXPECT_EQ(play->GetGameplayState() == Gameplay::kWaiting,
                  (doing == kFlying && frames < 60) || (doing == kUsed && frames < 10));
        Close(play);
        std::vector<uint8_t> record = Stored();
        EXPECT_GT(record.size(), 4u);
        record.erase(record.begin(), record.begin() + std::min<size_t>(4, record.size()));
        return record;
    };
    const std::vector<uint8_t> landed = closed(kFlying, 120);
    ASSERT_GT(landed.size(), 4u);
    EXPECT_EQ(landed[4], 1) << "the HUD counts the item found";
    EXPECT_EQ(closed(kFlying, 2), landed) << "turning";
    EXPECT_EQ(closed(kFlying, 20), landed) << "flying";
    EXPECT_EQ(closed(kHeld, 2), closed(kHeld, 60)) << "held";

    // Six frames into a use of 300 ms: the use ends and the door's event ("later") runs, as the
    // same play left alone runs it; the coin's flag byte (after the three indices, the HUD's two
    // bytes and the key's record) says used, which a restore takes as out of play.
    const std::vector<uint8_t> using_ = closed(kUsed, 6);
    ASSERT_GT(using_.size(), 3 + 2 + 3 * GameplayInventory::kSavedStateSize);
    EXPECT_EQ(using_[1], 0) << "the event the use leads to has run";
    EXPECT_NE(using_[3 + 2 + GameplayInventory::kSavedStateSize] & GameplayInventory::kUsed, 0);
    EXPECT_EQ(CountInLog("Too many callbacks reported"), 0);
}

// A location that never comes to rest (here a wait the test holds and never tells) does not hold
// the close: the close runs it a bounded number of steps, says so and stores what stands.
TEST_F(SavedStateTest, ALocationThatNeverComesToRestIsStoredAsItStands)
{
    SavedGameplay* play = Open();
    ASSERT_NE(play, nullptr);
    Settle(*play);
    WaitHandle held =
        play->Expect(Gameplay::kCallbackReported, "the test's own wait", [] { return true; });
    play->mExtra = {0x77};
    play->Set(258, nullptr, nullptr, "");
    Close(play);
    EXPECT_EQ(CountInLog("Gameplay: the location did not come to rest within 3000 steps of its "
                         "close (holding play for its waits, waiting for the test's own "
                         "wait); it is stored as it stands"),
              1)
        << Log();
    const std::vector<uint8_t> stored = Stored();
    ASSERT_GT(stored.size(), 4u);
    EXPECT_EQ(stored.back(), 0x77);
    // The steps run on the close's own clock: none of it is the player's play time.
    EXPECT_EQ(std::vector<uint8_t>(stored.begin(), stored.begin() + 4),
              (std::vector<uint8_t>{0, 0, 1, 2}));
}

// An item giving parts past the eighth, the object's record byte holding only eight: found before
// a close, its parts come back at the next start from the item, so the item giving the rest makes
// the object whole.
TEST_F(SavedStateTest, PartsPastTheEighthFoundBeforeACloseAreFoundAfterIt)
{
    struct Shape
    {
        int parts;
        const char* before; // found before the close
        const char* after;  // found after it
    };
    for (const Shape& shape : {Shape{10, "{ 9, 10 }", "{ 1, 2, 3, 4, 5, 6, 7, 8 }"},
                               Shape{9, "{ 8, 9 }", "{ 1, 2, 3, 4, 5, 6, 7 }"}})
    {
        SCOPED_TRACE(shape.before);
        // The object's sheet: the whole, its silhouette, then a frame a part.
        const int frames = shape.parts + 2;
        Image("t/lamp.png", 16 * frames, 16, 0xFFFFFFFF);
        std::string sheet = "<sequence><img w=\"" + std::to_string(16 * frames) +
                            "\" h=\"16\" regx=\"8\" regy=\"8\" name=\"lamp.png\"/><framelist>";
        for (int f = 0; f < frames; ++f)
            sheet += "<frame x=\"" + std::to_string(f * 16) +
                     "\" y=\"0\" w=\"16\" h=\"16\" regx=\"8\" regy=\"8\"/>";
        File("t/lamp.xml", sheet + "</framelist></sequence>");
        mSettings->DeletePlayerData("gamedata");
        Run(kLocation);
        Run(std::string("table.insert(gameplayinstructions.inventory, { name = 'lamp', image = "
                        "'t/lamp', partcount = 2 }) "
                        "table.insert(gameplayinstructions.a.items, { name = 'l1', image = "
                        "'t/obj', inventory = 'lamp', inventoryparts = ") +
            shape.before +
            " }) table.insert(gameplayinstructions.a.items, { name = 'l2', image = 't/obj', "
            "inventory = 'lamp', inventoryparts = " +
            shape.after + " })");
        SavedGameplay* play = Open();
        ASSERT_NE(play, nullptr) << Log();
        Settle(*play);
        // In the strip, as an event shows it.
        GameplayInventory* shown = play->FindInventory("lamp");
        shown->AddFlags(GameplayInventory::kShown);
        play->GetHud()->GetPendingInventory().push_back(shown);
        play->GetHud()->MergePendingInventory(false, nullptr);
        ASSERT_EQ(shown->GetParts().size(), static_cast<size_t>(shape.parts));
        play->OnItemFound(play->FindItem("l1"));
        for (int i = 0; i < 120; ++i)
            Frame(16);
        Close(play);

        SavedGameplay* again = Open();
        ASSERT_NE(again, nullptr);
        Settle(*again);
        GameplayInventory* lamp = again->FindInventory("lamp");
        EXPECT_EQ(lamp->GetFlags() & GameplayInventory::kComplete, 0);
        again->OnItemFound(again->FindItem("l2"));
        for (int i = 0; i < 120; ++i)
            Frame(16);
        EXPECT_NE(lamp->GetFlags() & GameplayInventory::kComplete, 0) << "the lamp is whole";
        EXPECT_TRUE(lamp->IsWhole());
        Close(again);
    }
}

TEST_F(SavedStateTest, ALocationGoesOnWhereItWasLeft)
{
    SavedGameplay* play = Open();
    ASSERT_NE(play, nullptr);
    Settle(*play);
    GameplayInventory* key = play->FindInventory("key");
    GameplayInventory* coin = play->FindInventory("coin");
    // The key lies in its scene, the coin is in the strip and stands on the shelf, the gem is
    // held and lies in a scene that does not exist.
    key->AddFlags(GameplayInventory::kShown | GameplayInventory::kInScene);
    coin->AddFlags(GameplayInventory::kShown);
    play->FindInventory("gem")->AddFlags(GameplayInventory::kShown | GameplayInventory::kInScene |
                                         GameplayInventory::kHeld);
    GameplayArea* shelf = play->FindArea("shelf");
    shelf->HoldInventory(coin);
    ASSERT_EQ(shelf->GetHeldInventory(), coin) << Log();
    play->StartEventAnimation("glow", false);
    play->Show("b");
    play->Set(4000, "later", play->FindArea("back"), "hello");
    play->mExtra = {1, 2, 3};
    play->SaveLocationState(false);
    Close(play);

    SavedGameplay* again = Open();
    ASSERT_NE(again, nullptr);
    Frame(16);
    EXPECT_EQ(again->GetActiveScene()->GetName(), TString("b"));
    EXPECT_GE(again->GetPlayTime(), 4000u);
    ASSERT_NE(again->GetNextEvent(), nullptr);
    EXPECT_EQ(again->GetNextEvent()->GetName(), TString("later"));
    EXPECT_EQ(again->GetLastClickedArea(), again->FindArea("back"));
    EXPECT_EQ(again->GetPendingConversation(), TString("hello"));
    EXPECT_EQ(again->GetAnimationIds(), std::vector<uint8_t>{0});
    EXPECT_EQ(again->mLoadedExtra, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(again->FindArea("shelf")->GetHeldInventory(), again->FindInventory("coin")) << Log();
    EXPECT_EQ(again->FindScene("b")->GetPlacedInventory(),
              std::vector<GameplayInventory*>{again->FindInventory("key")});
    EXPECT_EQ(again->GetHeldInventory(), again->FindInventory("gem"));
    // The gem's home scene does not exist: reported, the rest loaded.
    EXPECT_EQ(CountInLog("Cannot add GameplayInventory to GameplayScene."), 1) << Log();
    EXPECT_EQ(again->GetHud()->GetShownInventory().size(), 1u) << "the coin back in the strip";
    Close(again);
}

// An object only the hand holds is where it was after a close: held from nowhere, in the hand
// again and not in the strip; having no scene of its own and laid in the shown one, lying there.
TEST_F(SavedStateTest, AnObjectOnlyTheHandHoldsIsWhereItWasAfterAClose)
{
    Run("table.insert(gameplayinstructions.inventory, { name = 'charm', image = 't/obj', "
        "partcount = 1, canbeplacedinhud = false })");
    for (const bool held : {true, false})
    {
        SCOPED_TRACE(held ? "held" : "laid in the shown scene");
        mSettings->DeletePlayerData("gamedata");
        SavedGameplay* play = Open();
        Settle(*play);
        GameplayInventory* charm = play->FindInventory("charm");
        charm->AddFlags(GameplayInventory::kShown | GameplayInventory::kVisible);
        if (held)
            play->EquipInventory(charm);
        else
            play->FindScene("a")->AddInventory(charm, false, TVec2(300, 200), nullptr);
        play->SaveLocationState(false);
        Close(play);

        SavedGameplay* again = Open();
        Frame(16);
        GameplayInventory* restored = again->FindInventory("charm");
        EXPECT_EQ(again->GetHeldInventory(), held ? restored : nullptr);
        EXPECT_TRUE(again->GetHud()->GetShownInventory().empty());
        EXPECT_EQ(again->FindScene("a")->GetPlacedInventory(),
                  held ? std::vector<GameplayInventory*>{}
                       : std::vector<GameplayInventory*>{restored});
        EXPECT_EQ(CountInLog("Cannot add GameplayInventory to GameplayScene."), 0);
        Close(again);
    }
}

// An event armed to run on the next click, the location closed before that click: the next start
// runs it, where it would otherwise be lost and the location never end.
TEST_F(SavedStateTest, AnEventArmedForTheNextClickIsNotLostToAClose)
{
    SavedGameplay* play = Open();
    ASSERT_NE(play, nullptr);
    Settle(*play);
    play->ActivateEvent("armed", true);
    ASSERT_EQ(play->GetDeferredEvent(), play->FindEvent("later"));
    Close(play);

    SavedGameplay* again = Open();
    ASSERT_NE(again, nullptr);
    Frame(16);
    ASSERT_NE(again->GetNextEvent(), nullptr);
    EXPECT_EQ(again->GetNextEvent()->GetName(), TString("later"));
    Close(again);
}

// An event armed for the next click while another is pending, in a calm point's record: both are
// kept, the armed one in the scenes' pending-dialog bytes above their lowest bit (its low seven
// bits in the first scene's, the eighth in the second's), and the next start has both as they
// were. One past the event list there makes the record a damaged one.
TEST_F(SavedStateTest, AnEventArmedBesideAPendingOneIsKeptInTheRecord)
{
    // 130 more events: 'far' is the location's 135th.
    Run("for i = 1, 130 do table.insert(gameplayinstructions.events, { name = 'pad' .. i }) end "
        "table.insert(gameplayinstructions.events, { name = 'far' }) "
        "table.insert(gameplayinstructions.events, { name = 'armed_far', nextevent = 'start', "
        "eventtoactivateonclick = 'far' })");
    for (const char* armed : {"later", "far"})
    {
        SCOPED_TRACE(armed);
        SavedGameplay* play = Open();
        ASSERT_NE(play, nullptr);
        Settle(*play);
        play->ActivateEvent(std::string(armed) == "far" ? "armed_far" : "armed_next", true);
        ASSERT_EQ(play->GetNextEvent(), play->FindEvent("start"));
        ASSERT_EQ(play->GetDeferredEvent(), play->FindEvent(armed));
        play->SaveLocationState(false);
        const std::vector<uint8_t> stored = play->GetStateBytes();
        const size_t firstScene =
            7 + play->GetHud()->GetSavedStateSize() + 3 * GameplayInventory::kSavedStateSize;
        const size_t secondScene = firstScene + play->GetScenes()[0]->GetStateSize();
        Close(play);
        Store(stored);
        ASSERT_GT(stored.size(), secondScene);
        EXPECT_EQ(stored[5], 1) << "the pending event: 'start'";
        const unsigned index = std::string(armed) == "far" ? 135 : 2;
        EXPECT_EQ(stored[firstScene], (index & 0x7F) << 1);
        EXPECT_EQ(stored[secondScene], (index >> 7) << 1);
        EXPECT_EQ(CountInLog("armed for the next click"), 0);

        SavedGameplay* again = Open();
        ASSERT_NE(again, nullptr);
        Frame(16);
        EXPECT_EQ(again->GetNextEvent(), again->FindEvent("start"));
        EXPECT_EQ(again->GetDeferredEvent(), again->FindEvent(armed)) << Log();
        again->GetParent()->RemoveChild(again);
        static_cast<Gameplay*>(again)->CompleteLocation();
        delete again;

        std::vector<uint8_t> bad = stored;
        bad[firstScene] = 0x7F << 1;
        bad[secondScene] = 1 << 1;
        Store(bad);
        SavedGameplay* fresh = Open();
        ASSERT_NE(fresh, nullptr);
        Frame(16);
        EXPECT_EQ(fresh->GetDeferredEvent(), nullptr);
        fresh->GetParent()->RemoveChild(fresh);
        static_cast<Gameplay*>(fresh)->CompleteLocation();
        delete fresh;
    }
    EXPECT_EQ(CountInLog("does not fit this location; it starts fresh"), 2);
}

TEST_F(SavedStateTest, ADamagedRecordIsNoSavedStateAndStaysInTheProfile)
{
    SavedGameplay* play = Open();
    ASSERT_NE(play, nullptr);
    Settle(*play);
    play->Show("b");
    play->StartEventAnimation("glow", false);
    play->FindArea("shelf")->HoldInventory(play->FindInventory("coin"));
    play->Set(9, "later", play->FindArea("back"), "x");
    play->SaveLocationState(false);
    const std::vector<uint8_t> good = play->GetStateBytes();
    Close(play);

    std::vector<std::vector<uint8_t>> bad;
    // Under two bytes is no entry at all (a deleted one keeps one byte).
    for (size_t length = 2; length + 1 < good.size(); ++length)
        bad.emplace_back(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length));
    for (size_t at : {4u, 5u, 6u})
    {
        bad.push_back(good);
        bad.back()[at] = 9; // past its list
    }
    bad.push_back(good);
    bad.back()[bad.back().size() - 3] = 200; // the started count past the end
    bad.push_back(good);
    bad.back()[bad.back().size() - 2] = 200; // the name's length past the end
    bad.push_back(good);
    // The shelf's held name, its last byte changed: no object has it.
    const std::string coin = "coin";
    auto found = std::search(bad.back().begin(), bad.back().end(), coin.begin(), coin.end());
    ASSERT_NE(found, bad.back().end());
    found[3] = 'k';

    for (size_t i = 0; i < bad.size(); ++i)
    {
        Store(bad[i]);
        const int lines = CountInLog("does not fit this location; it starts fresh");
        SavedGameplay* fresh = Open();
        ASSERT_NE(fresh, nullptr);
        Frame(16);
        EXPECT_EQ(CountInLog("does not fit this location; it starts fresh"), lines + 1) << i;
        EXPECT_EQ(fresh->GetActiveScene()->GetName(), TString("a")) << i;
        EXPECT_EQ(fresh->GetPlayTime(), 0u) << i;
        EXPECT_EQ(fresh->FindArea("shelf")->GetHeldInventory(), nullptr) << i;
        EXPECT_TRUE(fresh->GetAnimationIds().empty()) << i;
        EXPECT_EQ(Stored(), bad[i]) << i;
        // Closed without a calm point would store a fresh record over it; the test keeps it.
        fresh->GetParent()->RemoveChild(fresh);
        static_cast<Gameplay*>(fresh)->CompleteLocation();
        delete fresh;
    }
}

TEST_F(SavedStateTest, CompletionScoresForgetsTheLocationAndLeavesTheFrameInert)
{
    mPlayer->SetScore(1000);
    SavedGameplay* play = Open();
    ASSERT_NE(play, nullptr);
    Settle(*play);
    Store({1, 2, 3, 4, 5, 6, 7, 8});
    play->Set(500, nullptr, play->FindArea("door"), "");
    play->Show("a");
    play->CompleteLocation();
    EXPECT_EQ(mPlayer->GetScore(), 1500);
    EXPECT_EQ(mPlayer->GetLocation(), 1);
    EXPECT_FALSE(mSettings->HasPlayerData("gamedata"));
    std::array<uint8_t, PlayerData::kRecordSize> stored{};
    EXPECT_EQ(mSettings->GetPlayerData("playerdata", stored.data(), PlayerData::kRecordSize), 0);
    EXPECT_EQ(stored[8], 1) << "the location byte as saved";
    EXPECT_EQ(Number("completed"), 1);
    ASSERT_EQ(play->GetScenes().size(), 1u);
    EXPECT_EQ(play->GetLastClickedArea(), play->FindArea("door"));
    EXPECT_TRUE(play->IsLocationComplete());
    const uint32_t time = play->GetPlayTime();
    Frame(16);
    Frame(16);
    EXPECT_EQ(play->GetPlayTime(), time);
    Close(play);
    EXPECT_FALSE(mSettings->HasPlayerData("gamedata")) << "a completed location stores nothing";
}

TEST_F(SavedStateTest, PauseHoldsEverythingUntilOneResume)
{
    SavedGameplay* play = Open();
    ASSERT_NE(play, nullptr);
    Frame(16);
    for (int i = 0; i < 10 && play->GetGameplayState() != Gameplay::kSceneSwitch; ++i)
        Frame(16);
    ASSERT_EQ(play->GetGameplayState(), Gameplay::kSceneSwitch);
    Frame(16);
    const float alpha = play->GetTransitionAlpha();
    ASSERT_GT(alpha, 0.0f);
    // Twice, as the activation message does after the manager resumed everything.
    play->PauseGame();
    play->PauseGame();
    EXPECT_TRUE(play->IsPaused());
    EXPECT_TRUE(play->GetHud()->IsPaused());
    const uint32_t time = play->GetPlayTime();
    play->OnMouseDown(TPoint(700, 150));
    Frame(16);
    Frame(16);
    EXPECT_EQ(play->GetTransitionAlpha(), alpha);
    EXPECT_EQ(play->GetPlayTime(), time) << "a paused frame only clears the click";
    play->ResumeGame();
    EXPECT_FALSE(play->IsPaused());
    Settle(*play);
    EXPECT_EQ(play->GetTransitionAlpha(), 0.0f);
    EXPECT_GT(play->GetPlayTime(), time);

    // In play: without a held object the HUD comes back, with one the pickup cursor.
    play->GetHud()->SetButtonsEnabled(false);
    play->PauseGame();
    play->ResumeGame();
    EXPECT_TRUE(play->GetHud()->AreButtonsEnabled());
    play->Hold(play->FindInventory("key"));
    play->GetHud()->SetButtonsEnabled(false);
    play->PauseGame();
    EXPECT_EQ(play->GetCursorKind(), Gameplay::kCursorDefault);
    play->ResumeGame();
    EXPECT_EQ(play->GetCursorKind(), Gameplay::kCursorPickup);
    EXPECT_FALSE(play->GetHud()->AreButtonsEnabled());
    play->Hold(nullptr);

    // The penalty keeps the HUD off through a pause until it ends.
    play->StartCrazyClickPenalty();
    play->PauseGame();
    play->ResumeGame();
    EXPECT_TRUE(play->IsInputLocked());
    EXPECT_FALSE(play->GetHud()->AreButtonsEnabled());
    for (int i = 0; i < 30 && play->IsInputLocked(); ++i)
        Frame(16);
    EXPECT_FALSE(play->IsInputLocked());
    EXPECT_TRUE(play->GetHud()->AreButtonsEnabled());
    Close(play);
}

TEST_F(SavedStateTest, AConversationTakesTheScreenAndGivesItBack)
{
    SavedGameplay* play = Open(", playlistinfo = { groupid = { 1001 } }, "
                               "volumeplaylistduringdialogfade = 0.25, "
                               "timeplaylistduringdialogfade = 100");
    ASSERT_NE(play, nullptr);
    Settle(*play);
    const SoundGroup* music = mAudio->FindTopGroup(1001);
    ASSERT_NE(music, nullptr);
    // A sound looping keeps the sound layer's ramps going.
    const int32_t theme = mAudio->Play("theme", false);
    mAudio->PlayIndex(theme, new SoundPlayRecord(true, nullptr, 0));
    // The music group's loudness against its own volume, some frames on.
    const auto musicAfter = [&](int frames)
    {
        RunFrames(frames);
        return music->GetEffective() / music->GetVolume();
    };
    // Not done: an item still to find.
    play->GetHud()->SetProgressMax(1);
    play->mCountSaves = true;
    play->StandInConversations();
    play->StartConversation("nobody", nullptr);
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kConversation);
    EXPECT_FALSE(play->GetHud()->AreButtonsEnabled());
    EXPECT_FLOAT_EQ(musicAfter(2), 1.0f - 0.75f * 32 / 100);
    EXPECT_FLOAT_EQ(musicAfter(8), 0.25f);
    const int saves = play->mSaves;
    play->RunCallbackSlot(Gameplay::kConversationEnded, 0);
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kPlay);
    EXPECT_TRUE(play->GetHud()->AreButtonsEnabled());
    EXPECT_EQ(play->mSaves, saves) << "the frame stores the next calm point it finds";
    EXPECT_FLOAT_EQ(musicAfter(8), 1.0f);

    // Ending while the location is done: nothing saved, the HUD stays off, completed next frame.
    play->GetHud()->SetProgressMax(0);
    play->StartConversation("nobody", nullptr);
    const int savesBeforeEnd = play->mSaves;
    play->RunCallbackSlot(Gameplay::kConversationEnded, 0);
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kPlay);
    EXPECT_FALSE(play->GetHud()->AreButtonsEnabled());
    EXPECT_EQ(play->mSaves, savesBeforeEnd);
    EXPECT_TRUE(play->IsLocationDone());
    EXPECT_FALSE(play->IsLocationComplete());
    EXPECT_FLOAT_EQ(musicAfter(8), 0.25f) << "the music stays low";
    EXPECT_TRUE(play->IsLocationComplete());
    EXPECT_FALSE(mSettings->HasPlayerData("gamedata"));
    Frame(16);
    EXPECT_EQ(Number("completed"), 1);
    Close(play);
    mAudio->Stop(theme, true);
}

// The end step of an area completed with a wait ends a location that is done by then, once; an
// area of a group leaves that to the group's check.
TEST_F(SavedStateTest, TheLastAreaCompletedEndsTheLocation)
{
    SavedGameplay* play = Open();
    ASSERT_NE(play, nullptr);
    Settle(*play);
    play->GetHud()->SetProgressMax(0);
    play->Set(0, nullptr, play->FindArea("door"), "");
    play->RunCallbackSlot(Gameplay::kAreaCompleted, 0);
    EXPECT_TRUE(play->IsLocationComplete());
    EXPECT_EQ(play->GetLastClickedArea(), nullptr);
    EXPECT_EQ(Number("completed"), 1);
    play->RunCallbackSlot(Gameplay::kAreaCompleted, 0);
    Frame(16);
    EXPECT_EQ(Number("completed"), 1);
    Close(play);
}

const char kTips[] =
    ", tooltipbasic = { font = { '', 10, { 1, 1, 1, 1 } }, w = 200, h = 40, maxx = 800, "
    "maxy = 600, position = 10 }, "
    "tooltiphint = { font = { '', 10, { 1, 1, 1, 1 } }, w = 200, h = 40, maxx = 800, "
    "maxy = 600, position = 10 }, "
    "tooltipinventory = { x = 400, y = 470, w = 300, h = 40, borderwidth = 8, borderheight = 6, "
    "timeintro = 100, timeoutro = 100, widthperline = 40, minimumwidth = 60, "
    "font = { '', 16, { 1, 1, 1, 1 } } }, "
    "tooltiphintselect = 'pick', hinttooltippositionx = 300, hinttooltippositiony = 200";

TEST_F(SavedStateTest, ToolTipsShowWhatLiesUnderTheMouse)
{
    const std::string strings = "<Row><Cell><Data>door</Data></Cell><Cell><Data>The door</Data>"
                                "</Cell></Row><Row><Cell><Data>pick</Data></Cell><Cell><Data>"
                                "Pick one</Data></Cell></Row>";
    mImpl->mManagers.mStringTable = std::make_unique<TStringTable>();
    mImpl->mManagers.mStringTable->LoadBuffer(strings.data(),
                                              static_cast<uint32_t>(strings.size()));
    SavedGameplay* play = Open(kTips);
    ASSERT_NE(play, nullptr);
    ASSERT_NE(play->Basic(), nullptr) << Log();
    ASSERT_NE(play->Hint(), nullptr);
    ASSERT_NE(play->ForInventory(), nullptr);
    Settle(*play);
    const TVec4 colour(0, 0, 0, 1);

    // A label under the mouse, then none.
    play->UpdateToolTips(nullptr, true, "door", TPoint(100, 100), colour);
    EXPECT_EQ(play->Basic()->GetText(), TString("The door"));
    EXPECT_NE(play->Basic()->GetState(), ToolTip::kHidden);
    EXPECT_EQ(play->Hint()->GetState(), ToolTip::kHidden);
    play->UpdateToolTips(nullptr, true, "", TPoint(100, 100), colour);
    EXPECT_TRUE(play->Basic()->GetState() == ToolTip::kHidden ||
                play->Basic()->GetState() == ToolTip::kFadingOut);

    // An incomplete object: its unfound items of every scene, a found one and the coin's left out.
    GameplayInventory* key = play->FindInventory("key");
    GameplayItem* found = play->FindItem("k2");
    found->SetFlags(static_cast<uint8_t>(found->GetFlags() | GameplayItem::kFound));
    play->UpdateToolTips(key, true, "door", TPoint(200, 520), colour);
    EXPECT_EQ(play->ForInventory()->GetTarget(), key);
    EXPECT_EQ(play->ForInventory()->GetItems().size(), 2u);
    EXPECT_NE(play->Basic()->GetState(), ToolTip::kShown);

    // Hint selection: the hint's text at its place, the others hidden, even over a label.
    play->SetState(Gameplay::kHintSelect);
    play->UpdateToolTips(nullptr, false, "door", TPoint(650, 150), colour);
    EXPECT_EQ(play->Hint()->GetText(), TString("Pick one"));
    EXPECT_NE(play->Hint()->GetState(), ToolTip::kHidden);
    EXPECT_NE(play->Basic()->GetState(), ToolTip::kShown);
    play->SetState(Gameplay::kPlay);
    play->UpdateToolTips(nullptr, false, "", TPoint(650, 150), colour);
    EXPECT_NE(play->Hint()->GetState(), ToolTip::kShown);

    EXPECT_TRUE(play->RecreateTextures());
    Close(play);
}

TEST_F(SavedStateTest, WithoutToolTipsNothingIsShownAndTheTexturesComeBack)
{
    SavedGameplay* play = Open();
    ASSERT_NE(play, nullptr);
    Settle(*play);
    EXPECT_EQ(play->Basic(), nullptr);
    const TVec4 colour(0, 0, 0, 1);
    play->UpdateToolTips(nullptr, true, "door", TPoint(1, 1), colour);
    play->UpdateToolTips(play->FindInventory("key"), true, "", TPoint(1, 1), colour);
    play->SetState(Gameplay::kHintSelect);
    play->UpdateToolTips(nullptr, true, "", TPoint(1, 1), colour);
    play->SetState(Gameplay::kPlay);
    // No inventory tool tip counts as rebuilt.
    EXPECT_TRUE(play->RecreateTextures());
    Frame(16);
    Close(play);
}

} // namespace

} // namespace gameplay_lifecycle_test
