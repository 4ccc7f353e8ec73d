// The game-state store: creation, the increment rule, offers to handlers, filters, the mute rule,
// the questions and the order of teardown.
#include "services/game_state/game_state_test_support.h"

using statetest::Calls;
using statetest::GameStateTest;
using statetest::RecordingHandler;

namespace
{
std::vector<std::string> CallsStartingWith(const std::string& prefix)
{
    std::vector<std::string> found;
    for (const std::string& call : Calls())
    {
        if (call.compare(0, prefix.size(), prefix) == 0)
            found.push_back(call);
    }
    return found;
}
} // namespace

TEST_F(GameStateTest, NoStoreBeforeTheApplicationExists)
{
    SetGameStateApplicationProbe([] { return false; });
    EXPECT_EQ(TGameState::Instance(), nullptr);
    SetGameStateApplicationProbe(nullptr);
    EXPECT_EQ(TGameState::Instance(), nullptr);
    // Handlers may still be added; the store adopts them when it comes.
    RecordingHandler* early = Add("early");
    early->mPause = true;
    EXPECT_TRUE(TGameState::QueryHostPause());
    SetGameStateApplicationProbe([] { return true; });
    TGameState* store = TGameState::Instance();
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(TGameState::Instance(), store);
    store->SetState("a", "1");
    EXPECT_EQ(Calls().back(), "early set a=1");
}

TEST_F(GameStateTest, DestroyClearsTheStoreAndANewOneStartsEmpty)
{
    TGameState::Instance()->SetState("kept", "1");
    TGameState::Destroy();
    TGameState::Destroy();
    TGameState* fresh = TGameState::Instance();
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->GetState("kept"), TString(""));
}

TEST_F(GameStateTest, ScriptFunctionsAreRegisteredOnceAtCreationInOrder)
{
    int registered = 0;
    TGameState* seen = nullptr;
    SetGameStateScriptRegistrar(
        [&](TGameState& store)
        {
            ++registered;
            seen = &store;
            // Asking for the store while it is being built makes no second one.
            EXPECT_EQ(TGameState::Instance(), nullptr);
        });
    TGameState* store = TGameState::Instance();
    TGameState::Instance();
    EXPECT_EQ(registered, 1);
    EXPECT_EQ(seen, store);
    const std::vector<std::string> names(std::begin(kGameStateScriptFunctions),
                                         std::end(kGameStateScriptFunctions));
    EXPECT_EQ(names, (std::vector<std::string>{"GetState", "_SetState", "QueryMuteGame",
                                               "QueryRestartMode", "QueryJumpToMenu"}));
}

TEST_F(GameStateTest, ScriptSetStateGoesThroughTheInstance)
{
    SetGameStateApplicationProbe(nullptr);
    ScriptSetState("x", "1");
    SetGameStateApplicationProbe([] { return true; });
    EXPECT_EQ(TGameState::Instance()->GetState("x"), TString(""));
    ScriptSetState("x", "2");
    EXPECT_EQ(TGameState::Instance()->GetState("x"), TString("2"));
}

TEST_F(GameStateTest, IncrementRule)
{
    TGameState* store = TGameState::Instance();
    store->SetState("count", "2");
    store->SetState("++count", "9");
    EXPECT_EQ(store->GetState("count"), TString("3"));
    store->SetState("letters", "abc");
    store->SetState("++letters", "9");
    EXPECT_EQ(store->GetState("letters"), TString("1"));
    store->SetState("++fresh", "");
    EXPECT_EQ(store->GetState("fresh"), TString("1"));
    store->SetState("", "4");
    store->SetState("++", "x");
    EXPECT_EQ(store->GetState(""), TString("5"));
    store->SetState("+one", "7");
    EXPECT_EQ(store->GetState("+one"), TString("7"));
    EXPECT_EQ(store->GetState("one"), TString(""));
}

TEST_F(GameStateTest, IncrementIsOfferedUnderTheShortName)
{
    Add("h");
    TGameState* store = TGameState::Instance();
    store->SetState("++loads", "");
    EXPECT_EQ(Calls().back(), "h set loads=1");
}

TEST_F(GameStateTest, SetStateIntFormatsDecimal)
{
    TGameState* store = TGameState::Instance();
    store->SetStateInt("windowmessage", -42);
    EXPECT_EQ(store->GetState("windowmessage"), TString("-42"));
}

TEST_F(GameStateTest, NumbersAreReadLikeTheRuntimeReadsThem)
{
    EXPECT_EQ(ReadStateNumber("  -12abc"), -12);
    EXPECT_EQ(ReadStateNumber("\t+5"), 5);
    EXPECT_EQ(ReadStateNumber("abc"), 0);
    EXPECT_EQ(ReadStateNumber(""), 0);
    EXPECT_EQ(ReadStateNumber("- 3"), 0);
    EXPECT_EQ(ReadStateNumber("--3"), 0);
    EXPECT_EQ(ReadStateNumber("99999999999"), 2147483647);
    EXPECT_EQ(ReadStateNumber("-99999999999"), -2147483647 - 1);
}

TEST_F(GameStateTest, ATakenChangeStopsTheOfferButStaysStored)
{
    RecordingHandler* first = Add("first");
    Add("second");
    first->mTakes = "secret";
    TGameState* store = TGameState::Instance();
    store->SetState("secret", "1");
    store->SetState("open", "2");
    EXPECT_EQ(CallsStartingWith("second set"), (std::vector<std::string>{"second set open=2"}));
    EXPECT_EQ(store->GetState("secret"), TString("1"));
}

TEST_F(GameStateTest, ValueIsStoredBeforeHandlersSeeIt)
{
    RecordingHandler* handler = Add("h");
    TGameState* store = TGameState::Instance();
    TString seen;
    handler->mOnSet = [&](const char* name, const char*)
    {
        if (std::string(name) == "level")
            seen = store->GetState("level");
    };
    store->SetState("level", "3");
    EXPECT_EQ(seen, TString("3"));
}

TEST_F(GameStateTest, NestedChangesAreOfferedInFullFirst)
{
    RecordingHandler* first = Add("first");
    Add("second");
    TGameState* store = TGameState::Instance();
    first->mOnSet = [&](const char* name, const char*)
    {
        if (std::string(name) == "outer")
            store->SetState("inner", "1");
    };
    store->SetState("outer", "1");
    EXPECT_EQ(Calls(), (std::vector<std::string>{"first set outer=1", "first set inner=1",
                                                 "second set inner=1", "second set outer=1"}));
}

TEST_F(GameStateTest, FiltersChainAndFeedTheIncrementRule)
{
    TGameState* store = TGameState::Instance();
    EXPECT_EQ(store->GetState("never"), TString(""));
    RecordingHandler* first = Add("1");
    RecordingHandler* second = Add("2");
    first->mFilters = "score";
    second->mFilters = "score";
    store->SetState("score", "4");
    // Each filter sees what the one before it returned.
    EXPECT_EQ(store->GetState("score"), TString("412"));
    store->SetState("++score", "");
    EXPECT_EQ(store->GetState("score"), TString("41312"));
}

TEST_F(GameStateTest, MuteSavesTheVolumeOnceAndRestoresIt)
{
    TGameState* store = TGameState::Instance();
    store->SetState("mute", "0");
    EXPECT_TRUE(CallsStartingWith("volume").empty());
    store->SetState("mute", "1");
    EXPECT_FLOAT_EQ(store->GetSavedMasterVolume(), 0.75f);
    mVolume = 0.5f;
    store->SetState("mute", "1");
    EXPECT_FLOAT_EQ(store->GetSavedMasterVolume(), 0.75f);
    store->SetState("mute", "0");
    EXPECT_EQ(CallsStartingWith("volume"),
              (std::vector<std::string>{"volume 0.000000", "volume 0.750000"}));
    EXPECT_FLOAT_EQ(store->GetSavedMasterVolume(), 0.0f);
    EXPECT_FLOAT_EQ(mVolume, 0.75f);
}

TEST_F(GameStateTest, MuteReadsValuesAsNumbers)
{
    TGameState* store = TGameState::Instance();
    store->SetState("mute", "yes");
    EXPECT_TRUE(CallsStartingWith("volume").empty());
    EXPECT_FALSE(store->QueryMuteGame());
    store->SetState("mute", " 2");
    EXPECT_EQ(CallsStartingWith("volume"), (std::vector<std::string>{"volume 0.000000"}));
    EXPECT_TRUE(store->QueryMuteGame());
}

TEST_F(GameStateTest, AHandlerThatTakesMuteLeavesTheVolumeAlone)
{
    RecordingHandler* handler = Add("h");
    handler->mTakes = "mute";
    handler->mFilters = "mute";
    TGameState* store = TGameState::Instance();
    store->SetState("mute", "1");
    EXPECT_TRUE(CallsStartingWith("volume").empty());
    EXPECT_EQ(store->GetState("mute"), TString("1h"));
}

TEST_F(GameStateTest, QuestionsWithoutHandlers)
{
    TGameState* store = TGameState::Instance();
    EXPECT_FALSE(TGameState::QueryRestartMode());
    EXPECT_FALSE(TGameState::QueryJumpToMenu());
    EXPECT_FALSE(TGameState::QueryHostPause());
    EXPECT_FALSE(store->QueryMuteGame());
    store->SetState("mute", "1");
    EXPECT_TRUE(store->QueryMuteGame());
}

TEST_F(GameStateTest, QuestionsStopAtTheFirstYes)
{
    RecordingHandler* first = Add("first");
    RecordingHandler* second = Add("second");
    first->mMute = true;
    second->mMute = true;
    second->mMenu = true;
    TGameState* store = TGameState::Instance();
    EXPECT_TRUE(store->QueryMuteGame());
    EXPECT_TRUE(TGameState::QueryJumpToMenu());
    EXPECT_FALSE(TGameState::QueryRestartMode());
    EXPECT_EQ(Calls(),
              (std::vector<std::string>{"first asked mute", "first asked menu", "second asked menu",
                                        "first asked restart", "second asked restart"}));
}

TEST_F(GameStateTest, TeardownDisablesThenDeletesEachHandlerInTurn)
{
    RecordingHandler* first = Add("first");
    Add("second");
    TGameState* store = TGameState::Instance();
    // A handler that reports on its way out reaches only the handlers still there.
    first->mOnDisable = [store] { store->SetState("final", "1"); };
    Calls().clear();
    TGameState::Destroy();
    EXPECT_EQ(TGameState::QueryHostPause(), false);
    EXPECT_EQ(Calls(),
              (std::vector<std::string>{"first disabled", "first set final=1", "second set final=1",
                                        "first deleted", "second disabled", "second deleted"}));
}
