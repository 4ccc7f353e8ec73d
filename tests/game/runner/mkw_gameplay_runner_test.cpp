// The game's runner on a real location: the journal press by state, the events' journal lists,
// the location-complete action, the burst and the game's block of the saved location.
#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/adventure/player_data.h"
#include "framework/screen_test_support.h"
#include "framework/sound/sound_effect.h"
#include "game/entities/mkw_gameplay_area.h"
#include "game/entities/mkw_gameplay_item.h"
#include "game/journal/gameplay_journal.h"
#include "game/minigames/hintboards/gameplay_hint_minigame.h"
#include "game/runner/mkw_gameplay.h"
#include "script/script.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace mkw_gameplay_runner_test
{
namespace
{

// Open state for the tests.
struct TestGameplay : MKWGameplay
{
    static TWindow* Create() { return new TestGameplay; }
    void SetState(int32_t state) { mGameplayState = state; }
};

// Every call on either hint window, in order, as "<name>.<call>".
std::vector<std::string> gHintCalls;

struct RecordingHint : GameplayHintMinigame
{
    static TWindow* Create() { return new RecordingHint; }
    void Start(uint32_t flag, GameplayScene* scene, const HintCallbacks& callbacks) override
    {
        GameplayHintMinigame::Start(flag, scene, callbacks);
        Record("start");
    }
    void Pause() override { Record("pause"); }
    void Resume() override { Record("resume"); }
    void Record(const char* call)
    {
        gHintCalls.push_back(std::string(GetName().c_str()) + "." + call);
    }
};

class MKWGameplayRunnerTest : public screentest::ScreenTest
{
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        if (HasFatalFailure())
            return;
        mManager->RegisterWindowType("Gameplay", &TestGameplay::Create);
        mManager->RegisterWindowType("GameplayHud", &GameplayHud::Create);
        mManager->RegisterWindowType("GameplayJournal", &GameplayJournal::Create);
        mManager->RegisterWindowType("GameplayHintThessalor", &RecordingHint::Create);
        mManager->RegisterWindowType("GameplayHintLirae", &RecordingHint::Create);
        gHintCalls.clear();
        Image("hud/bg.png", 800, 100, 0xFF303030);
    }
    void TearDown() override
    {
        mManager->GetScript()->DoLuaString("gameplayinstructions = nil");
        ScreenTest::TearDown();
    }
    // The location's instructions are left as they are when `events` is empty; `keys` go over the
    // style's own.
    TestGameplay* Open(const std::string& events, const std::string& children = "",
                       const std::string& keys = "")
    {
        if (!events.empty())
            mManager->GetScript()->DoLuaString(
                ("gameplayinstructions = { conversations = {}, scenes = { 'a' }, a = {}, "
                 "events = { " +
                 events + " }, inventory = {}, initial_event = 'e0', active_scene = 'a' }")
                    .c_str());
        mManager->GetScript()->DoLuaString(
            (std::string("Gameplay{ name = 'gameplay', x = 0, y = 0, w = 800, h = 600, ") +
             "particlepuzzlecompletepositionx = 40, particlepuzzlecompletepositiony = 50, "
             "particlepuzzlecompletesize = 6, puzzlecompletefade = 100, puzzlecompletetotal = 300, "
             "characterinfo = { scrim = {}, conversation_info = {}, info = {} }, "
             "playlist = { location01 = { a = {} } }, sceneinfo = {}, animatedcursorinfo = {}, "
             "locationnumber = 1, playlistinfo = {}, inventoryinfo = { barwidth = 0 }, "
             "entityinfo = { iteminfo = {}, areainfo = {}, layerinfo = {}, textinfo = {} }, "
             "GameplayHud{ name = 'hud', x = 0, y = 500, w = 800, h = 100, "
             "background = { image = 'hud/bg.png' }, foreground = { image = 'hud/bg.png' }, "
             "progressbar = { image = 'hud/bg.png' }, inventorybounds = { w = 300, h = 80 } }, " +
             keys + children + " }()")
                .c_str());
        return dynamic_cast<TestGameplay*>(mManager->GetRoot()->FindChild("gameplay", 0xFFFFFFFFu));
    }
};

TEST_F(MKWGameplayRunnerTest, MadeForGameplayAndBoundWhileItLives)
{
    TestGameplay* gameplay = Open("{ name = 'e0' }");
    ASSERT_NE(gameplay, nullptr);
    EXPECT_STREQ(gameplay->GetClassName(), "MKWGameplay");
    EXPECT_TRUE(gameplay->IsKindOf(Gameplay::GetClassId()));
    EXPECT_FALSE(gameplay->IsLocationDone());
    EXPECT_EQ(gameplay->GetJournal(), nullptr);
    EXPECT_EQ(gameplay->GetHintWindowLirae(), nullptr);
    TScript* script = mManager->GetScript();
    script->DoLuaString("bound = HudJournalPressed ~= nil and 1 or 0");
    EXPECT_EQ(script->GetGlobalNumber("bound"), 1);

    // Without a journal nothing opens; a tutorial prompt only remembers the press.
    gameplay->SetState(Gameplay::kPlay);
    gameplay->HudJournalPressed();
    EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kPlay);
    gameplay->SetState(Gameplay::kWaiting);
    gameplay->HudJournalPressed();
    EXPECT_FALSE(gameplay->IsJournalPressPending());
    gameplay->SetState(Gameplay::kTutorial);
    script->DoLuaString("HudJournalPressed()");
    EXPECT_TRUE(gameplay->IsJournalPressPending());
    EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kTutorial);
    // Without hint windows their calls are skipped.
    gameplay->PauseGame();
    gameplay->ResumeGame();

    mManager->GetRoot()->RemoveChild(gameplay);
    delete gameplay;
    script->DoLuaString("bound = HudJournalPressed == nil and 1 or 0");
    EXPECT_EQ(script->GetGlobalNumber("bound"), 1);
}

TEST_F(MKWGameplayRunnerTest, EventsKeepTheJournalListsAndTheCompletion)
{
    TestGameplay* gameplay = Open(
        "{ name = 'e0' }, "
        "{ name = 'open', journaltoactivate = { 'a', 'b', 'a' } }, "
        "{ name = 'both', journaltoactivate = { 'c' }, journaltodeactivate = { 'c', 'a', 'x' } }, "
        "{ name = 'Big', minigame = 'Complete(1,2,3)' }, "
        "{ name = 'done', action = 'scene_complete' }");
    ASSERT_NE(gameplay, nullptr);
    gameplay->ActivateEvent("open", true);
    gameplay->ActivateEvent("both", true);
    EXPECT_EQ(gameplay->GetJournalGoals(), (std::vector<TString>{"b", "a"}));
    gameplay->ActivateEvent("missing", true);
    EXPECT_EQ(gameplay->GetJournalGoals().size(), 2u);

    // The search is case-sensitive: no burst, nothing awaited.
    const int32_t waiting = gameplay->GetPendingCallbacks();
    gameplay->ActivateEvent("Big", true);
    EXPECT_EQ(gameplay->GetPendingCallbacks(), waiting);

    gameplay->ActivateEvent("done", true);
    EXPECT_TRUE(gameplay->IsLocationDone());
}

TEST_F(MKWGameplayRunnerTest, ABurstWithTwoNumbersTakesTheDefaultsAndWaits)
{
    TestGameplay* gameplay = Open("{ name = 'e0' }");
    ASSERT_NE(gameplay, nullptr);
    for (int i = 0; i < 40 && gameplay->GetGameplayState() != Gameplay::kPlay; ++i)
        Frame(16);
    const int32_t waiting = gameplay->GetPendingCallbacks();
    gameplay->PlayPuzzleComplete("puzzlecomplete(10,20)");
    EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kWaiting);
    EXPECT_EQ(gameplay->GetPendingCallbacks(), waiting + 1);
    EXPECT_EQ(gameplay->GetPuzzleCompleteLocus().mValue[0], 40.0f);
    EXPECT_EQ(gameplay->GetPuzzleCompleteLocus().mValue[1], 50.0f);
    EXPECT_EQ(gameplay->GetPuzzleCompleteSize().mValue[0], 6.0f);

    // All three, one far out of range.
    gameplay->PlayPuzzleComplete("complete(7,,99999999999,3)");
    EXPECT_EQ(gameplay->GetPuzzleCompleteLocus().mValue[0], 7.0f);
    EXPECT_EQ(gameplay->GetPuzzleCompleteLocus().mValue[1], 2147483647.0f);
    EXPECT_EQ(gameplay->GetPuzzleCompleteSize().mValue[0], 3.0f);

    // The fades end after the total time and report both awaited callbacks.
    for (int i = 0; i < 40 && gameplay->GetPendingCallbacks() > waiting; ++i)
        Frame(16);
    EXPECT_EQ(gameplay->GetPendingCallbacks(), waiting);
}

// A burst whose fade someone removed is let go; the next burst is waited for again, whatever the
// first left behind.
TEST_F(MKWGameplayRunnerTest, ABurstAfterOneLetGoIsWaitedFor)
{
    mLetGoes = 1;
    TestGameplay* gameplay = Open("{ name = 'e0' }");
    ASSERT_NE(gameplay, nullptr);
    for (int i = 0; i < 40 && gameplay->GetGameplayState() != Gameplay::kPlay; ++i)
        Frame(16);
    const int32_t waiting = gameplay->GetPendingCallbacks();
    gameplay->PlayPuzzleComplete("complete(1,2,3)");
    TransformManager::Instance()->RemoveTransforms(&gameplay->GetPuzzleCompleteFader());
    Frame(16);
    EXPECT_EQ(CountInLog("The location waited for the puzzle's completion burst, which nothing "
                         "can end any more: it goes on"),
              1);
    ASSERT_EQ(gameplay->GetPendingCallbacks(), waiting);
    gameplay->PlayPuzzleComplete("complete(1,2,3)");
    EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kWaiting);
    EXPECT_EQ(gameplay->GetPendingCallbacks(), waiting + 1);
    for (int i = 0; i < 40 && gameplay->GetPendingCallbacks() > waiting; ++i)
        Frame(16);
    EXPECT_EQ(gameplay->GetPendingCallbacks(), waiting);
}

// The first event's burst, asked for while the first scene loads, leaves the loading alone: it
// plays once the scene is in, is waited for, and the location then plays.
TEST_F(MKWGameplayRunnerTest, TheFirstEventsBurstPlaysOnceTheSceneIsIn)
{
    TestGameplay* gameplay = Open("{ name = 'e0', minigame = 'complete(400,300,64)' }");
    ASSERT_NE(gameplay, nullptr);
    std::vector<int32_t> seen;
    int32_t mostWaited = 0;
    for (int i = 0; i < 80; ++i)
    {
        Frame(16);
        if (seen.empty() || seen.back() != gameplay->GetGameplayState())
            seen.push_back(gameplay->GetGameplayState());
        mostWaited = std::max(mostWaited, gameplay->GetPendingCallbacks());
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{Gameplay::kSceneLoading, Gameplay::kSceneFadingIn,
                                          Gameplay::kWaiting, Gameplay::kPlay}));
    EXPECT_EQ(mostWaited, 1);
    EXPECT_EQ(gameplay->GetPendingCallbacks(), 0);
    EXPECT_EQ(gameplay->GetPuzzleCompleteLocus().mValue[0], 400.0f);
    EXPECT_EQ(gameplay->GetPuzzleCompleteSize().mValue[0], 64.0f);
}

// The bursts are stepped from the burst's start until their last sparks are gone, and not while
// they lie switched off and empty: their scripts count the steps.
TEST_F(MKWGameplayRunnerTest, IdleBurstsAreNotStepped)
{
    File("fx/counted.lua", "SetNumParticles(4)\nSetTexture('hud/bg')\npLife = Allocate(1)\n"
                           "pLife:Init(0)\npLife:Anim(pLife + fTimeScale(1))\n"
                           "Anim(fExpire(fLess(0.1, pLife)))\nfunction Create() end\n"
                           "function Update(s) gSteps = (gSteps or 0) + 1\n"
                           "if (gActive or 0) == 1 then Spawn(1) end end\n");
    TestGameplay* gameplay = Open("{ name = 'e0' }", "",
                                  "particlepuzzlecompletelirae = 'fx/counted.lua', "
                                  "particlepuzzlecompletethessalor = 'fx/counted.lua', ");
    ASSERT_NE(gameplay, nullptr);
    TScript* lirae = gameplay->GetPuzzleCompleteLirae().GetScript();
    TScript* thessalor = gameplay->GetPuzzleCompleteThessalor().GetScript();
    ASSERT_NE(lirae, nullptr);
    ASSERT_NE(thessalor, nullptr);
    RunFrames(5);
    EXPECT_EQ(lirae->GetGlobalNumber("gSteps"), 0.0);

    const int32_t waiting = gameplay->GetPendingCallbacks();
    gameplay->PlayPuzzleComplete("complete(1,2,3)");
    Frame(16);
    EXPECT_GT(gameplay->GetPuzzleCompleteLirae().GetParticleCount(), 0u);
    for (int i = 0; i < 40 && gameplay->GetPendingCallbacks() > waiting; ++i)
        Frame(16);
    ASSERT_EQ(gameplay->GetPendingCallbacks(), waiting);
    // The last sparks live on past the fade, then the steps stop.
    RunFrames(20);
    EXPECT_EQ(gameplay->GetPuzzleCompleteLirae().GetParticleCount(), 0u);
    const double steps = lirae->GetGlobalNumber("gSteps");
    EXPECT_GT(steps, 0.0);
    EXPECT_EQ(thessalor->GetGlobalNumber("gSteps"), steps);
    RunFrames(5);
    EXPECT_EQ(lirae->GetGlobalNumber("gSteps"), steps);
}

TEST_F(MKWGameplayRunnerTest, TheGamesBlockSavesAndRestores)
{
    TestGameplay* gameplay =
        Open("{ name = 'e0' }, { name = 'open', journaltoactivate = { 'a', 'bc' } }");
    ASSERT_NE(gameplay, nullptr);
    std::vector<uint8_t> out;
    gameplay->SaveExtraState(out);
    EXPECT_EQ(out, (std::vector<uint8_t>{0, 0}));

    const std::vector<uint8_t> block = {2, 2, 1, 'a', 2, 'b', 'c'};
    gameplay->LoadExtraState(block.data(), block.size());
    EXPECT_EQ(gameplay->GetLastUsedCharacter(), 2);
    out.clear();
    gameplay->SaveExtraState(out);
    EXPECT_EQ(out, block);

    // Restoring replaces; an empty entry is one zero byte.
    const std::vector<uint8_t> empty = {1, 1, 0};
    gameplay->LoadExtraState(empty.data(), empty.size());
    EXPECT_EQ(gameplay->GetJournalGoals(), (std::vector<TString>{""}));

    // Blocks that do not fit restore nothing of the game's part.
    const std::vector<std::vector<uint8_t>> bad = {
        {}, {2}, {2, 1}, {2, 2, 1, 'a'}, {2, 1, 5, 'a', 'b'}};
    for (const std::vector<uint8_t>& damaged : bad)
    {
        gameplay->LoadExtraState(block.data(), block.size());
        gameplay->LoadExtraState(damaged.data(), damaged.size());
        EXPECT_EQ(gameplay->GetLastUsedCharacter(), 0);
        EXPECT_TRUE(gameplay->GetJournalGoals().empty());
    }

    // Over the format's limits: the first 255, each cut to 255 bytes.
    std::vector<uint8_t> many = {0, 0};
    gameplay->LoadExtraState(many.data(), many.size());
    for (int i = 0; i < 256; ++i)
        gameplay->ActivateEvent("open", true);
    out.clear();
    gameplay->SaveExtraState(out);
    EXPECT_EQ(out[1], 255);
    gameplay->LoadExtraState(out.data(), out.size());
    EXPECT_EQ(gameplay->GetJournalGoals().size(), 255u);
}

// Closed, the location's record keeps the game's block; the next runner of the location takes
// both fields back as it enters its first scene.
TEST_F(MKWGameplayRunnerTest, AClosedLocationIsTakenUpByTheNextRunner)
{
    mSettings->CreateNewUser("player");
    PlayerData player;
    TestGameplay* gameplay =
        Open("{ name = 'e0' }, { name = 'open', journaltoactivate = { 'journal_lamp', 'x' } }");
    ASSERT_NE(gameplay, nullptr);
    for (int i = 0; i < 40 && gameplay->GetGameplayState() != Gameplay::kPlay; ++i)
        Frame(16);
    const std::vector<uint8_t> thessalor = {1, 0};
    gameplay->LoadExtraState(thessalor.data(), thessalor.size());
    gameplay->ActivateEvent("open", true);
    // A calm point builds the record; the close stores it.
    gameplay->SaveLocationState(false);
    gameplay->OnClose();
    mManager->GetRoot()->RemoveChild(gameplay);
    delete gameplay;
    ASSERT_TRUE(mSettings->HasPlayerData("gamedata")) << Log();

    TestGameplay* again = Open("");
    ASSERT_NE(again, nullptr);
    for (int i = 0; i < 40 && again->GetGameplayState() != Gameplay::kPlay; ++i)
        Frame(16);
    EXPECT_EQ(again->GetLastUsedCharacter(), 1) << Log();
    EXPECT_EQ(again->GetJournalGoals(), (std::vector<TString>{"journal_lamp", "x"}));
}

// An end event (its action "scene_complete") whose waits still run when the location closes: the
// close runs the location on, so the location is completed as play completes it (the player's
// location counted, the map next, no record left) and the game's screens are not handed over.
TEST_F(MKWGameplayRunnerTest, ACloseDuringAnEndEventsWaitsCompletesTheLocation)
{
    mSettings->CreateNewUser("player");
    PlayerData player;
    Image("t/lit.png", 64, 64, 0xFFFFFFFF);
    Run("function LocationComplete() handed = (handed or 0) + 1 end");
    struct Shape
    {
        const char* what;
        const char* events;
        int frames;
    };
    const Shape shapes[] = {
        {"an awaited glow of 2 s",
         "{ name = 'end', animations = { 'glow' }, action = "
         "'scene_complete' }",
         45},
        {"an area completed and a layer faded in",
         "{ name = 'end', areastocomplete = { 'hearth' }, layerstoactivate = { 'lit' }, "
         "action = 'scene_complete' }",
         3},
        {"a chain through a switch",
         "{ name = 'end', action = 'b', nextevent = 'last' }, "
         "{ name = 'last', animations = { 'glow' }, action = 'scene_complete' }",
         1},
        {"no wait of its own", "{ name = 'end', action = 'scene_complete' }", 0},
    };
    for (const Shape& shape : shapes)
    {
        SCOPED_TRACE(shape.what);
        player.SetLocation(0);
        player.SetGameState(PlayerData::kInLocation);
        mSettings->DeletePlayerData("gamedata");
        Run(std::string("handed = 0; gameplayinstructions = { conversations = {}, "
                        "scenes = { 'a', 'b' }, a = { layers = { { name = 'lit', image = 't/lit', "
                        "x = 0, y = 0, depth = 10, visible = 0 } }, areas = { { name = 'hearth', "
                        "image = 't/lit', x = 100, y = 100, events = {} } } }, b = {}, "
                        "animations = { { name = 'glow', layer = 'lit', callback = 1, "
                        "fade = { beginopacity = 0, endopacity = 1, duration = 2000 } } }, "
                        "events = { { name = 'e0' }, ") +
            shape.events + " }, inventory = {}, initial_event = 'e0', active_scene = 'a' }");
        TestGameplay* gameplay = Open("", "",
                                      "entityinfo = { iteminfo = {}, areainfo = {}, "
                                      "layerinfo = { fadetime = 300 }, textinfo = {} }, ");
        ASSERT_NE(gameplay, nullptr);
        for (int i = 0; i < 40 && gameplay->GetGameplayState() != Gameplay::kPlay; ++i)
            Frame(16);
        gameplay->ActivateEvent("end", false);
        RunFrames(shape.frames);
        gameplay->OnClose();
        mManager->GetRoot()->RemoveChild(gameplay);
        delete gameplay;
        EXPECT_EQ(player.GetLocation(), 1) << Log();
        EXPECT_EQ(player.GetGameState(), PlayerData::kOnMap);
        EXPECT_FALSE(mSettings->HasPlayerData("gamedata"));
        EXPECT_EQ(mManager->GetScript()->GetGlobalNumber("handed"), 0);
    }
}

} // namespace

namespace
{

const char kJournal[] =
    "GameplayJournal{ name = 'journal', x = 100, y = 60, w = 200, h = 160, timeintro = 32, "
    "timeoutro = 32, disabledx = 100, disabledy = 80, enabledx = 100, enabledy = 150, "
    "textright = { text = '', x = 100, y = 40, w = 90, h = 100 }, "
    "textrightheader = { text = '', x = 100, y = 10, w = 90, h = 20 } }, ";
const char kHints[] = "GameplayHintThessalor{ name = 'hintthessalor' }, "
                      "GameplayHintLirae{ name = 'hintlirae' }, ";

TEST_F(MKWGameplayRunnerTest, TheJournalOpensInPlayAndClosesBackToIt)
{
    TestGameplay* gameplay =
        Open("{ name = 'e0', journaltoactivate = { 'journal_key' } }", kJournal);
    ASSERT_NE(gameplay, nullptr);
    ASSERT_NE(gameplay->GetJournal(), nullptr);
    gameplay->SetState(Gameplay::kPlay);
    gameplay->ActivateEvent("e0", true);
    gameplay->SetState(Gameplay::kPlay);
    mManager->GetScript()->DoLuaString("HudJournalPressed()");
    EXPECT_EQ(gameplay->GetGameplayState(), MKWGameplay::kJournal);
    EXPECT_FALSE(gameplay->GetHud()->AreButtonsEnabled());
    EXPECT_NE(gameplay->GetJournal()->GetState(), GameplayJournal::kClosed);
    // A second press while it is open does nothing.
    gameplay->HudJournalPressed();
    EXPECT_EQ(gameplay->GetGameplayState(), MKWGameplay::kJournal);

    RunFrames(20);
    gameplay->GetJournal()->Close();
    for (int i = 0; i < 20 && gameplay->GetGameplayState() == MKWGameplay::kJournal; ++i)
        Frame(16);
    EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kPlay);
    EXPECT_TRUE(gameplay->GetHud()->AreButtonsEnabled());
}

TEST_F(MKWGameplayRunnerTest, PauseAndResumeReachBothHintWindowsInOrder)
{
    TestGameplay* gameplay = Open("{ name = 'e0' }", kHints);
    ASSERT_NE(gameplay, nullptr);
    ASSERT_NE(gameplay->GetHintWindowThessalor(), nullptr);
    ASSERT_NE(gameplay->GetHintWindowLirae(), nullptr);
    gameplay->PauseGame();
    gameplay->SetState(MKWGameplay::kLiraeMinigame);
    gameplay->ResumeGame();
    EXPECT_EQ(gHintCalls, (std::vector<std::string>{"hintlirae.pause", "hintthessalor.pause",
                                                    "hintlirae.resume", "hintthessalor.resume"}));
    // A hint minigame keeps the HUD shut.
    EXPECT_FALSE(gameplay->GetHud()->AreButtonsEnabled());
}

} // namespace

namespace
{

TEST_F(MKWGameplayRunnerTest, FoundItemsAndCompletedAreasTakeTheirCharactersColours)
{
    mManager->GetScript()->DoLuaString(
        "gameplayinstructions = { conversations = {}, scenes = { 'a' }, "
        "a = { items = { { name = 'i1', inventory = 'key', inventoryparts = { 1 }, x = 10, y = 10 "
        "}, "
        "{ name = 'i2', inventory = 'oil', inventoryparts = { 1 }, x = 20, y = 10 }, "
        "{ name = 'i3', inventory = 'rope', inventoryparts = { 1 }, x = 30, y = 10 } }, "
        "areas = { { name = 'door', x = 100, y = 100 } } }, "
        "events = { { name = 'e0' } }, "
        "inventory = { { name = 'key', type = 'thessalor' }, { name = 'oil', type = 'lirae' }, "
        "{ name = 'rope' } }, initial_event = 'e0', active_scene = 'a' }");
    TestGameplay* gameplay = Open("", "",
                                  "audio = { itemclicklirae = { sounds = { 'click' }, delay = 5 }, "
                                  "itemclickthessalor = { sounds = { 'click' }, "
                                  "initialdelay = 30, delay = 7 } }, ");
    ASSERT_NE(gameplay, nullptr);
    ASSERT_NE(gameplay->GetSoundItemClickLirae(), nullptr);
    auto item = [&](const char* name)
    { return dynamic_cast<MKWGameplayItem*>(gameplay->FindItem(name)); };
    for (const char* name : {"i1", "i2", "i3"})
        ASSERT_NE(item(name), nullptr) << name;

    item("i1")->SetLiraeEffects(true);
    gameplay->OnItemFound(item("i1"));
    EXPECT_FALSE(item("i1")->HasLiraeEffects());
    EXPECT_EQ(gameplay->GetSoundItemClickThessalor()->mPending, 37);
    EXPECT_EQ(gameplay->GetSoundItemClickLirae()->mPending, -1);
    gameplay->OnItemFound(item("i2"));
    EXPECT_TRUE(item("i2")->HasLiraeEffects());
    EXPECT_EQ(gameplay->GetSoundItemClickLirae()->mPending, 5);
    gameplay->OnItemFound(item("i3"));
    EXPECT_TRUE(item("i3")->HasLiraeEffects());

    // An area without an object takes the character of the object used last.
    auto* door = dynamic_cast<MKWGameplayArea*>(gameplay->FindArea("door"));
    ASSERT_NE(door, nullptr);
    const uint8_t thessalor[] = {1, 0};
    gameplay->LoadExtraState(thessalor, 2);
    gameplay->CompleteArea("door", false);
    EXPECT_FALSE(door->HasLiraeEffects());
    const uint8_t none[] = {0, 0};
    gameplay->LoadExtraState(none, 2);
    gameplay->CompleteArea("door", false);
    EXPECT_TRUE(door->HasLiraeEffects());
}

} // namespace

namespace
{

// A runner closed while its burst fades, while its journal is open, or while a hint window holds
// its notices leaves nothing behind that calls back into it.
TEST_F(MKWGameplayRunnerTest, ClosedMidBurstWithTheJournalOpenAndHintWindowsStarted)
{
    TestGameplay* gameplay = Open("{ name = 'e0' }", std::string(kJournal) + kHints);
    ASSERT_NE(gameplay, nullptr);
    gameplay->SetState(Gameplay::kPlay);
    gameplay->HudJournalPressed();
    ASSERT_EQ(gameplay->GetGameplayState(), MKWGameplay::kJournal);
    gameplay->PlayPuzzleComplete("complete(1,2,3)");
    GameplayHintMinigame::HintCallbacks callbacks;
    callbacks.leave = gameplay->GetBoundCallback(MKWGameplay::kThessalorMinigameExit);
    callbacks.crazyClick = gameplay->GetBoundCallback(MKWGameplay::kCrazyClick);
    gameplay->GetHintWindowThessalor()->Start(0, gameplay->GetActiveScene(), callbacks);
    Frame(16);

    mManager->GetRoot()->RemoveChild(gameplay);
    delete gameplay;
    RunFrames(30);
    mManager->GetScript()->DoLuaString("HudJournalPressed = HudJournalPressed");
}

} // namespace

} // namespace mkw_gameplay_runner_test
