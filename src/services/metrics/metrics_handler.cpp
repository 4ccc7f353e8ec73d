// The metrics block language over game states, and the two handlers the settings choose.
#include "services/metrics/metrics_handler.h"

#include <cstdlib>
#include <cstring>

namespace
{

constexpr size_t kElapsedPrefixLength = 13; // "begin-elapsed"
constexpr size_t kElapsedCountIndex = 14;   // after one separator

bool StartsWith(const char* text, const char* prefix)
{
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

bool Is(const char* text, const char* word)
{
    return std::strcmp(text, word) == 0;
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
    const char* plain = DispatchState(key, value);
    if (plain[0] == '\0')
        return true;
    if (Is(plain, "commondatadir"))
        return false;
    if (Is(plain, "userdatadir"))
    {
        mRecorder.SetUserDataDir(value);
        mRecorder.LoadTime();
        mStarted = true;
    }
    else if (Is(plain, "outputfile"))
    {
        mRecorder.SetOutputFile(value);
        mRecorder.LoadTime();
        mStarted = true;
    }
    else
    {
        mRecorder.UpdateTimer(key, value);
        mRecorder.SetLatestValue(key, value);
    }
    return false;
}

const char* TMetricsGameStateHandler::DispatchState(const char* key, const char* value)
{
    const char* result = "";
    if (mMode == kTopLevel)
        result = ProcessBegin(key, value);
    else if (mMode == kSkippingBlock)
        result = SkipBlock(key);
    else
        result = ProcessBlock(key, value);
    // Inside a block every state is taken, commands or not.
    return mMode != kTopLevel ? "" : result;
}

const char* TMetricsGameStateHandler::ProcessBegin(const char* key, const char* value)
{
    if (Is(key, "begin-status"))
    {
        mMode = kStatusBlock;
        mStatusBlock = std::make_unique<TStatusBlock>(value);
        mCurrent = mStatusBlock.get();
        return "";
    }
    if (Is(key, "begin-session"))
    {
        mMode = kSessionBlock;
        mCurrent = &mSessionBlocks[TString(value)];
        mCurrent->SetName(value);
        return "";
    }
    if (std::strncmp(key, "begin-elapsed", kElapsedPrefixLength) == 0)
    {
        mMode = kElapsedBlock;
        mCurrent = nullptr;
        // A key with nothing after the prefix has no count: it reads as 0.
        int32_t count = std::strlen(key) >= kElapsedCountIndex
                            ? static_cast<int32_t>(std::atoi(key + kElapsedCountIndex))
                            : 0;
        if (count == 0)
        {
            WriteError(TString("Incorrect time value in: ") + key);
            return "";
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
        return "";
    }
    return key;
}

const char* TMetricsGameStateHandler::ProcessBlock(const char* key, const char* value)
{
    if (StartsWith(key, "end-"))
    {
        if (mMode == kStatusBlock && mStatusBlock != nullptr)
            WriteRecord(*mStatusBlock, mRecorder);
        mStatusBlock.reset();
        mCurrent = nullptr;
        mMode = kTopLevel;
        return "";
    }
    std::shared_ptr<TGameStateValue> added;
    if (Is(key, "add-state"))
        added = std::make_shared<TStatusValue>(value);
    else if (Is(key, "add-timer"))
        added = std::make_shared<TElapsedTimeValue>(value);
    else if (Is(key, "add-value"))
        added = std::make_shared<TConstValue>(value);
    else
        return key;
    // After a refused "begin-elapsed" there is no block: its values are dropped up to its "end-".
    if (mCurrent != nullptr)
        mCurrent->AddValue(std::move(added));
    return "";
}

const char* TMetricsGameStateHandler::SkipBlock(const char* key)
{
    if (StartsWith(key, "end-"))
        mMode = kTopLevel;
    return "";
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
