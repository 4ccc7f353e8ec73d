// The metrics handlers: game states read as a small block language ("begin-", "add-", "end-")
// whose closed blocks become records of the metrics file, at once (status blocks), at shutdown
// (session blocks) or once the total play time passes a mark (elapsed blocks). Every other state
// is remembered with its latest value and a timer, so blocks can report it.
#pragma once

#include "platform/strings/tstring.h"
#include "services/game_state/game_state_handler.h"
#include "services/metrics/metrics_recorder.h"
#include "services/metrics/metrics_values.h"

#include <cstdint>
#include <map>
#include <memory>

class TMetricsGameStateHandler : public TGameStateHandler
{
public:
    // What the handler is doing with the states that arrive.
    enum Mode : int32_t
    {
        kTopLevel = 0,
        kSessionBlock = 1,
        kStatusBlock = 2,
        kElapsedBlock = 3,
        kSkippingBlock = 4, // an elapsed block whose mark an earlier session passed
    };

    TMetricsGameStateHandler();
    // Saves the play time; the recorder then writes the machine summary as it goes.
    ~TMetricsGameStateHandler() override;

    // True when the state was a command or was swallowed by an open block.
    bool OnSetState(const char* key, const char* value) override;
    const char* FilterGetState(const char* key, const char* value) override;
    bool QueryRestartMode() override;
    bool QueryJumpToMenu() override;
    bool QueryMute() override;
    bool QueryHostPause() override;
    // Writes every session block, in name order.
    void Disable() override;

    // Turns a closed block into a record.
    virtual void WriteRecord(const TStatusBlock& block, const TMetricsRecorder& recorder) = 0;

    int32_t GetMode() const { return mMode; }
    bool IsStarted() const { return mStarted; }
    const TMetricsRecorder& GetRecorder() const { return mRecorder; }

protected:
    // Writes, in ascending order, the elapsed blocks whose mark the total play time has reached.
    void WriteDueBlocks();
    void SaveTime() const { mRecorder.SaveTime(); }

private:
    // "" when the state was taken; otherwise the key, a plain state at top level.
    const char* DispatchState(const char* key, const char* value);
    const char* ProcessBegin(const char* key, const char* value);
    const char* ProcessBlock(const char* key, const char* value);
    const char* SkipBlock(const char* key);
    void WriteError(const TString& message);

    TMetricsRecorder mRecorder;
    int32_t mMode = kTopLevel;
    bool mStarted = false;
    // The open block: the status block below, or an entry of one of the maps; null when none is
    // open or the open elapsed block was refused.
    TStatusBlock* mCurrent = nullptr;
    std::unique_ptr<TStatusBlock> mStatusBlock;
    std::map<TString, TStatusBlock> mSessionBlocks;
    std::map<uint32_t, TStatusBlock> mElapsedBlocks;
    TStatusBlock mScratchBlock;
};

// The handler installed by the "glintview" setting: closed blocks go to the metrics file.
class TGlintviewHandler : public TMetricsGameStateHandler
{
public:
    static TGlintviewHandler* Create() { return new TGlintviewHandler(); }
    // The last due elapsed blocks and the play time, before the base's own shutdown.
    ~TGlintviewHandler() override;
    void WriteRecord(const TStatusBlock& block, const TMetricsRecorder& recorder) override;
};

// The same handler chosen by "postmetrics": the platform posts its file at exit.
class TPostMetricsHandler : public TGlintviewHandler
{
public:
    static TPostMetricsHandler* Create() { return new TPostMetricsHandler(); }
    ~TPostMetricsHandler() override;
};
