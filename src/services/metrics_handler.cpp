// The metrics block language over game states, and the two handlers the settings choose.
#include "services/metrics_handler.h"

#include <cstdlib>
#include <cstring>

namespace
{

constexpr int kElapsedPrefixLength = 13; // "begin-elapsed"
constexpr int kElapsedCountIndex = 14;   // after one separator

bool StartsWith(const TString& text, const char* prefix)
{
    return std::strncmp(text.c_str(), prefix, std::strlen(prefix)) == 0;
}

} // namespace

TMetricsGameStateHandler::TMetricsGameStateHandler() = default;

TMetricsGameStateHandler::~TMetricsGameStateHandler()
{
    // Due blocks were written by the handler that knows how: a writer cannot be called from here,
    // where the writing class is already gone.
    mRecorder.SaveTime();
}

void TMetricsGameStateHandler::WriteDueBlocks()
{
    while (mStarted && !mElapsedBlocks.empty())
    {
        auto first = mElapsedBlocks.begin();
        if (mRecorder.GetTotalTime() / 60000 < first->first)
            return;
        // The block still being filled waits for its "end-", and the later marks wait for it.
        if (mMode == kElapsedBlock && mCurrent == &first->second)
            return;
        WriteRecord(first->second, mRecorder);
        mElapsedBlocks.erase(first);
    }
}

bool TMetricsGameStateHandler::OnSetState(const char* key, const char* value)
{
    WriteDueBlocks();
    TString name(key);
    TString text(value);
    TString plain = DispatchState(name, text);
    if (plain.Length() == 0)
        return true;
    if (plain == "commondatadir")
        return false;
    if (plain == "userdatadir")
    {
        mRecorder.SetUserDataDir(text);
        mRecorder.LoadTime();
        mStarted = true;
    }
    else if (plain == "outputfile")
    {
        mRecorder.SetOutputFile(text);
        mRecorder.LoadTime();
        mStarted = true;
    }
    else
    {
        mRecorder.UpdateTimer(name, text);
        mRecorder.SetLatestValue(name, text);
    }
    return false;
}

TString TMetricsGameStateHandler::DispatchState(const TString& key, const TString& value)
{
    TString result;
    if (mMode == kTopLevel)
        result = ProcessBegin(key, value);
    else if (mMode == kSkippingBlock)
        result = SkipBlock(key);
    else
        result = ProcessBlock(key, value);
    // Inside a block every state is taken, commands or not.
    return mMode != kTopLevel ? TString() : result;
}

TString TMetricsGameStateHandler::ProcessBegin(const TString& key, const TString& value)
{
    if (key == "begin-status")
    {
        mMode = kStatusBlock;
        mStatusBlock = std::make_unique<TStatusBlock>(value);
        mCurrent = mStatusBlock.get();
        return TString();
    }
    if (key == "begin-session")
    {
        mMode = kSessionBlock;
        mCurrent = &mSessionBlocks[value];
        mCurrent->SetName(value);
        return TString();
    }
    if (std::strncmp(key.c_str(), "begin-elapsed", kElapsedPrefixLength) == 0)
    {
        mMode = kElapsedBlock;
        mCurrent = nullptr;
        // A key with nothing after the prefix has no count: it reads as 0.
        int32_t count = key.Length() >= kElapsedCountIndex
                            ? static_cast<int32_t>(std::atoi(key.c_str() + kElapsedCountIndex))
                            : 0;
        if (count == 0)
        {
            WriteError(TString("Incorrect time value in: ") + key);
            return TString();
        }
        // A negative count is, unsigned, beyond any play time: collected and never written.
        uint32_t minutes = static_cast<uint32_t>(count);
        if (minutes > mRecorder.GetAccumulatedTime() / 60000)
        {
            mCurrent = &mElapsedBlocks[minutes];
            mCurrent->SetName(value);
        }
        else
            mMode = kSkippingBlock;
        return TString();
    }
    return key;
}

TString TMetricsGameStateHandler::ProcessBlock(const TString& key, const TString& value)
{
    if (StartsWith(key, "end-"))
    {
        if (mMode == kStatusBlock && mStatusBlock != nullptr)
            WriteRecord(*mStatusBlock, mRecorder);
        mStatusBlock.reset();
        mCurrent = nullptr;
        mMode = kTopLevel;
        return TString();
    }
    std::shared_ptr<TGameStateValue> added;
    if (key == "add-state")
        added = std::make_shared<TStatusValue>(value);
    else if (key == "add-timer")
        added = std::make_shared<TElapsedTimeValue>(value);
    else if (key == "add-value")
        added = std::make_shared<TConstValue>(value);
    else
        return key;
    // After a refused "begin-elapsed" there is no block: its values are dropped up to its "end-".
    if (mCurrent != nullptr)
        mCurrent->AddValue(std::move(added));
    return TString();
}

TString TMetricsGameStateHandler::SkipBlock(const TString& key)
{
    if (StartsWith(key, "end-"))
        mMode = kTopLevel;
    return TString();
}

void TMetricsGameStateHandler::WriteError(const TString& message)
{
    mRecorder.WriteLine("TGlintviewHandlerError", {message});
}

const char* TMetricsGameStateHandler::FilterGetState(const char* key, const char* value)
{
    WriteDueBlocks();
    return mRecorder.FilterGetState(key, value);
}

bool TMetricsGameStateHandler::QueryRestartMode()
{
    WriteDueBlocks();
    return false;
}

bool TMetricsGameStateHandler::QueryJumpToMenu()
{
    WriteDueBlocks();
    return false;
}

bool TMetricsGameStateHandler::QueryMute()
{
    WriteDueBlocks();
    return false;
}

bool TMetricsGameStateHandler::QueryHostPause()
{
    WriteDueBlocks();
    return false;
}

void TMetricsGameStateHandler::Disable()
{
    for (const auto& [name, block] : mSessionBlocks)
        WriteRecord(block, mRecorder);
    TGameStateHandler::Disable();
}

TGlintviewHandler::~TGlintviewHandler()
{
    WriteDueBlocks();
    SaveTime();
}

void TGlintviewHandler::WriteRecord(const TStatusBlock& block, const TMetricsRecorder& recorder)
{
    recorder.WriteBlock(block);
}

TPostMetricsHandler::~TPostMetricsHandler()
{
    WriteDueBlocks();
    SaveTime();
}
