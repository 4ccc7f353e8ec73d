// The high-score store with a local score server module beside the program: which entries are
// called, with what, in which order, and that missing entries are skipped without a word.
#include "services/scores/hiscore_test_support.h"
#include "sys/process/dynlib.h"

using namespace hiscoretest;

namespace
{

// Holds the module open, so its record of calls outlives each store's release of it.
class ScoreServerTest : public HiscoreTest
{
protected:
    void SetUp() override
    {
        HiscoreTest::SetUp();
        mModule = sys::LoadLibrary("qmservlet_stub.dll");
        ASSERT_NE(mModule, nullptr) << "the stub module is built beside this program";
        mCalls = reinterpret_cast<const char* (*)()>(
            sys::GetLibrarySymbol(mModule, "ScoreServerStubCalls"));
        auto clear =
            reinterpret_cast<void (*)()>(sys::GetLibrarySymbol(mModule, "ScoreServerStubClear"));
        ASSERT_TRUE(mCalls && clear);
        clear();
    }

    void TearDown() override
    {
        sys::FreeLibrary(mModule);
        HiscoreTest::TearDown();
    }

    std::string Calls() const { return mCalls(); }

    void* mModule = nullptr;
    const char* (*mCalls)() = nullptr;
};

} // namespace

#ifndef SCORE_SERVER_CREATE_ONLY

TEST_F(ScoreServerTest, ModesUpToTheFirstGapAndNoMedalsGiveANullArray)
{
    SetConfig("qmgamehandle", "mw-handle");
    SetConfig("qmgamemodename1", "classic");
    SetConfig("qmgamemodename3", "timed");
    auto store = Open("ann", "classic");
    EXPECT_EQ(Calls(), "create;setinfo server mw-handle test-key-40 [classic] 1 null 0;");
    store->AddScore(4, false, nullptr);
    store->RemoveUserScores("ann");
    store.reset();
    EXPECT_EQ(Calls(),
              "create;setinfo server mw-handle test-key-40 [classic] 1 null 0;free server;");
    EXPECT_EQ(Log(), "");
}

TEST_F(ScoreServerTest, MedalNamesArePassedAfterTheModes)
{
    SetConfig("qmgamehandle", "mw-handle");
    SetConfig("qmgamemodename1", "classic");
    SetConfig("qmgamemodename2", "timed");
    SetConfig("qmgamemedalname1", "gold");
    SetConfig("qmgamemedalname2", "silver");
    Open("", "").reset();
    EXPECT_EQ(Calls(), "create;setinfo server mw-handle test-key-40 [classic,timed] 2 "
                       "[gold,silver] 2;free server;");
}

TEST_F(ScoreServerTest, WithoutAGameHandleTheServerReadsItsOwnDefinitions)
{
    SetConfig("gamename", "Murkwell");
    SetConfig("qmgamemodename1", "classic");
    Open("", "").reset();
    EXPECT_EQ(Calls(), "create;loaddef server;free server;");
}

TEST_F(ScoreServerTest, AGameHandleWithoutModesConfiguresNothing)
{
    SetConfig("qmgamehandle", "mw-handle");
    SetConfig("qmgamemedalname1", "gold");
    Open("", "").reset();
    EXPECT_EQ(Calls(), "create;free server;");
}

#else

TEST_F(ScoreServerTest, MissingEntriesAreSkippedWithoutAWord)
{
    SetConfig("qmgamehandle", "mw-handle");
    SetConfig("qmgamemodename1", "classic");
    auto store = Open("ann", "classic");
    store->AddScore(4, false, nullptr);
    store.reset();
    EXPECT_EQ(Calls(), "create;");
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(Rows(*Open("ann", "classic")), std::vector<std::string>{"1|ann|4|"});
}

#endif
