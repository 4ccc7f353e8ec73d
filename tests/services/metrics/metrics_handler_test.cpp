// The metrics handler in the game-state store: the block language, when each kind of block is
// written, the shutdown order, bad commands, and the handler start-up chooses.
#include "services/game_state/game_state.h"
#include "services/metrics/metrics_handler.h"
#include "services/metrics/metrics_test_support.h"

#include <string>
#include <vector>

using metricstest::Le32;
using metricstest::MetricsTest;

namespace
{

// Writes no file: remembers the blocks it was handed, with their values at that moment.
class RecordingMetricsHandler : public TMetricsGameStateHandler
{
public:
    explicit RecordingMetricsHandler(std::vector<std::string>* written) : mWritten(written) {}
    void WriteRecord(const TStatusBlock& block, const TMetricsRecorder& recorder) override
    {
        std::vector<TString> values;
        block.GetValues(recorder, values);
        std::string record = block.GetName().c_str();
        for (const TString& value : values)
            record += std::string(",") + value.c_str();
        mWritten->push_back(record);
    }

private:
    std::vector<std::string>* mWritten;
};

class MetricsHandlerTest : public MetricsTest
{
protected:
    void SetUp() override
    {
        MetricsTest::SetUp();
        Write("user/dxdiag.xml", metricstest::FullReport());
        SetGameStateApplicationProbe([] { return true; });
        SetGameStateVolumeLink({[this] { return mVolume; }, [this](float v) { mVolume = v; }});
    }
    void TearDown() override
    {
        TGameState::Destroy();
        SetGameStateApplicationProbe(nullptr);
        SetGameStateVolumeLink({});
        MetricsTest::TearDown();
    }

    TGameState& Store() { return *TGameState::Instance(); }
    void Set(const char* name, const std::string& value) { Store().SetState(name, value.c_str()); }

    // The platform's start: a handler, then the three states it sets.
    void Start(TGameStateHandler* handler)
    {
        TGameState::AddHandler(handler);
        Set("cmdline", "--multiple");
        Set("commondatadir", mRoot + "/common");
        Set("userdatadir", User());
    }
    TGlintviewHandler* StartGlintview()
    {
        TGlintviewHandler* handler = TGlintviewHandler::Create();
        Start(handler);
        return handler;
    }
    // The records without the machine summary, which must end the file when it is there.
    std::vector<std::string> Written(bool summary)
    {
        std::vector<std::string> records = Records(Metrics());
        if (!summary)
            return records;
        EXPECT_GE(records.size(), 3u);
        if (records.size() < 3)
            return records;
        EXPECT_EQ(records[records.size() - 3].rfind("DxInfo,<time>,", 0), 0u);
        EXPECT_EQ(records[records.size() - 2].rfind("DxDiagNames,<time>,", 0), 0u);
        EXPECT_EQ(records[records.size() - 1].rfind("DxDiag,<time>,", 0), 0u);
        records.resize(records.size() - 3);
        return records;
    }

    // The blocks a recording handler was handed; it outlives the test's body, as the handler may.
    RecordingMetricsHandler* StartRecording()
    {
        auto* handler = new RecordingMetricsHandler(&mWritten);
        Start(handler);
        return handler;
    }

    float mVolume = 0.5f;
    std::vector<std::string> mWritten;
};

} // namespace

TEST_F(MetricsHandlerTest, TheExampleStatusBlockIsWrittenAtOnce)
{
    StartGlintview();
    Set("level", "3");
    Set("begin-status", "blk");
    Set("add-state", "level");
    Set("add-timer", "level");
    Set("add-value", "x12");
    Set("add-value", "42");
    sys::AdvanceManualClock(40);
    Set("end-status", "");
    EXPECT_EQ(Written(false), std::vector<std::string>{"blk,<time>,3,40,\"x12\",42"});

    Set("begin-status", "empty");
    Set("end-", "ignored");
    EXPECT_EQ(Written(false),
              (std::vector<std::string>{"blk,<time>,3,40,\"x12\",42", "empty,<time>"}));
}

TEST_F(MetricsHandlerTest, StatesSetInsideABlockAreSwallowed)
{
    StartGlintview();
    Set("level", "3");
    Set("begin-status", "b");
    Set("level", "9");
    Set("begin-status", "nested"); // taken as any other state would be
    Set("add-state", "level");
    Set("add-value", "v");
    Set("end-x", "");
    EXPECT_EQ(Written(false), std::vector<std::string>{"b,<time>,3,\"v\""});
    EXPECT_EQ(Store().GetState("level"), TString("9")) << "the store keeps what it was given";

    // "mute" inside a block never reaches the store's own rule.
    Set("begin-status", "m");
    Set("mute", "1");
    Set("end-", "");
    EXPECT_FLOAT_EQ(mVolume, 0.5f);
    EXPECT_EQ(Store().GetState("mute"), TString("1"));
}

TEST_F(MetricsHandlerTest, EndAndAddAtTopLevelArePlainStates)
{
    RecordingMetricsHandler* handler = StartRecording();
    EXPECT_EQ(handler->GetMode(), TMetricsGameStateHandler::kTopLevel);
    Set("end-x", "1");
    Set("add-value", "2");
    EXPECT_EQ(handler->GetRecorder().GetLatestValue("end-x"), TString("1"));
    EXPECT_EQ(handler->GetRecorder().GetLatestValue("add-value"), TString("2"));
    EXPECT_TRUE(mWritten.empty());
}

TEST_F(MetricsHandlerTest, AnElapsedBlockWhoseMarkPassedInAnEarlierSessionIsSkipped)
{
    Write("user/time.dat", Le32(5 * 60000));
    RecordingMetricsHandler* handler = StartRecording();
    Set("begin-elapsed 5", "late");
    EXPECT_EQ(handler->GetMode(), TMetricsGameStateHandler::kSkippingBlock);
    Set("add-value", "a");
    Set("level", "7");
    Set("end-", "");
    EXPECT_EQ(handler->GetMode(), TMetricsGameStateHandler::kTopLevel);
    EXPECT_EQ(handler->GetRecorder().GetLatestValue("level"), TString());
    sys::AdvanceManualClock(3600000);
    TGameState::QueryHostPause();
    TGameState::Destroy();
    EXPECT_TRUE(mWritten.empty());
}

TEST_F(MetricsHandlerTest, AnElapsedBlockIsWrittenAtTheFirstCallAfterItsMark)
{
    Write("user/time.dat", Le32(4 * 60000));
    StartRecording();
    Set("begin-elapsed 5", "five");
    Set("add-value", "v");
    Set("end-", "");
    sys::AdvanceManualClock(59999);
    EXPECT_FALSE(TGameState::QueryHostPause());
    EXPECT_TRUE(mWritten.empty());
    sys::AdvanceManualClock(1);
    EXPECT_TRUE(mWritten.empty()) << "nothing is written between handler calls";
    EXPECT_FALSE(TGameState::QueryRestartMode());
    EXPECT_EQ(mWritten, std::vector<std::string>{"five,v"});
    sys::AdvanceManualClock(600000);
    TGameState::QueryHostPause();
    EXPECT_EQ(mWritten.size(), 1u) << "each block once";
}

TEST_F(MetricsHandlerTest, AnOpenElapsedBlockWaitsForItsEnd)
{
    Write("user/time.dat", Le32(4 * 60000));
    StartRecording();
    Set("begin-elapsed 6", "six");
    Set("begin-elapsed 5", "five"); // swallowed: "six" stays open
    sys::AdvanceManualClock(3 * 60000);
    Set("add-value", "x");
    Set("add-value", "y");
    EXPECT_TRUE(mWritten.empty());
    Set("end-", "");
    EXPECT_TRUE(mWritten.empty());
    Store().GetState("anything");
    EXPECT_EQ(mWritten, std::vector<std::string>{"six,x,y"});
}

TEST_F(MetricsHandlerTest, NothingElapsedIsWrittenBeforeTheFolderOrOutputFileIsKnown)
{
    auto* handler = new RecordingMetricsHandler(&mWritten);
    TGameState::AddHandler(handler);
    Set("begin-elapsed 1", "one");
    Set("end-", "");
    sys::AdvanceManualClock(10 * 60000);
    TGameState::QueryHostPause();
    Store().GetState("x");
    EXPECT_FALSE(handler->IsStarted());
    EXPECT_TRUE(mWritten.empty());
    Set("outputfile", "other.txt");
    EXPECT_TRUE(handler->IsStarted());
    EXPECT_TRUE(mWritten.empty()) << "the due check runs before the state is taken";
    TGameState::QueryHostPause();
    EXPECT_EQ(mWritten, std::vector<std::string>{"one"});
}

TEST_F(MetricsHandlerTest, ShutdownWritesSessionsThenDueMarksThenTheSummary)
{
    Write("user/time.dat", Le32(4 * 60000 + 30000));
    StartGlintview();
    Set("menu", "1");
    Set("begin-session", "zeta");
    Set("add-value", "z");
    Set("end-session", "");
    Set("begin-session", "alpha");
    Set("add-value", "first");
    Set("end-", "");
    Set("begin-elapsed 5", "five");
    Set("add-timer", "menu");
    Set("end-", "");
    Set("begin-session", "alpha");
    Set("add-value", "second");
    Set("end-", "");
    sys::AdvanceManualClock(31000);
    TGameState::Destroy();
    EXPECT_EQ(Written(true), (std::vector<std::string>{"alpha,<time>,\"first\",\"second\"",
                                                       "zeta,<time>,\"z\"", "five,<time>,31000"}));
    EXPECT_EQ(filetest::ReadBytes(User() + "/time.dat"), Le32(4 * 60000 + 30000 + 31000));
}

TEST_F(MetricsHandlerTest, ABadMinuteCountIsAnErrorRecordAndItsValuesAreDropped)
{
    RecordingMetricsHandler* handler = StartRecording();
    for (const char* key : {"begin-elapsed x", "begin-elapsed", "begin-elapsedx"})
    {
        Set(key, "bad");
        EXPECT_EQ(handler->GetMode(), TMetricsGameStateHandler::kElapsedBlock) << key;
        Set("add-value", "dropped");
        Set("add-state", "level");
        Set("end-", "");
    }
    EXPECT_EQ(Written(false),
              (std::vector<std::string>{
                  "TGlintviewHandlerError,<time>,\"Incorrect time value in: begin-elapsed x\"",
                  "TGlintviewHandlerError,<time>,\"Incorrect time value in: begin-elapsed\"",
                  "TGlintviewHandlerError,<time>,\"Incorrect time value in: begin-elapsedx\""}));

    Set("begin-elapsed -3", "never");
    Set("add-value", "v");
    Set("end-", "");
    sys::AdvanceManualClock(100u * 60000u);
    TGameState::QueryHostPause();
    TGameState::Destroy();
    EXPECT_TRUE(mWritten.empty());
}

TEST_F(MetricsHandlerTest, StatesInsideAnOpenBlockLeaveMemoryFlat)
{
    RecordingMetricsHandler* handler = StartRecording();
    size_t before = handler->GetRecorder().GetStateCount();
    Set("begin-status", "big");
    for (int i = 0; i < 100000; ++i)
        handler->OnSetState(TString::Format("state%d", i).c_str(), "1");
    Set("end-", "");
    EXPECT_EQ(handler->GetRecorder().GetStateCount(), before);
    EXPECT_EQ(mWritten, std::vector<std::string>{"big"});
}

TEST_F(MetricsHandlerTest, ReadsOfElapsedTimeGoThroughTheRecorder)
{
    StartGlintview();
    Set("level", "1");
    sys::AdvanceManualClock(1234);
    EXPECT_EQ(Store().GetState("elapsed-time:level"), TString("        1234"));
    EXPECT_EQ(Store().GetState("level"), TString("1"));
    EXPECT_FALSE(TGameState::QueryJumpToMenu());
    EXPECT_FALSE(Store().QueryMuteGame());
}
