// Injected failures and the buffers' call log, both process-wide and safe from any thread.
#include "sys/audio/test_hooks.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <map>
#include <mutex>

namespace sys::audio
{
namespace
{
std::mutex gMutex;
std::map<Fault, std::deque<Result>> gFaults;
bool gLogEnabled = false;
std::vector<CallRecord> gLog;
std::atomic<MicrosecondClock> gNullOutputClock{nullptr};
std::atomic<NullOutputStopHook> gNullOutputStopHook{nullptr};
} // namespace

void SetNullOutputStopHook(NullOutputStopHook hook)
{
    gNullOutputStopHook = hook;
}

void RunNullOutputStopHook()
{
    if (const NullOutputStopHook hook = gNullOutputStopHook.load())
        hook();
}

void SetNullOutputClock(MicrosecondClock clock)
{
    gNullOutputClock = clock;
}

int64_t NullOutputClockMicroseconds()
{
    if (const MicrosecondClock clock = gNullOutputClock.load())
        return clock();
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void InjectFault(Fault fault, Result answer)
{
    std::lock_guard<std::mutex> lock(gMutex);
    gFaults[fault].push_back(answer);
}

void ClearFaults()
{
    std::lock_guard<std::mutex> lock(gMutex);
    gFaults.clear();
}

Result TakeFault(Fault fault)
{
    std::lock_guard<std::mutex> lock(gMutex);
    auto it = gFaults.find(fault);
    if (it == gFaults.end() || it->second.empty())
        return Result::Ok;
    const Result r = it->second.front();
    it->second.pop_front();
    return r;
}

void EnableCallLog(bool enable)
{
    std::lock_guard<std::mutex> lock(gMutex);
    gLogEnabled = enable;
    if (!enable)
        gLog.clear();
}

bool IsCallLogEnabled()
{
    std::lock_guard<std::mutex> lock(gMutex);
    return gLogEnabled;
}

void AppendCall(uint32_t buffer, std::string call)
{
    std::lock_guard<std::mutex> lock(gMutex);
    if (gLogEnabled)
        gLog.push_back({buffer, std::move(call)});
}

std::vector<CallRecord> GetCallLog()
{
    std::lock_guard<std::mutex> lock(gMutex);
    return gLog;
}

std::vector<CallRecord> TakeCallLog()
{
    std::lock_guard<std::mutex> lock(gMutex);
    std::vector<CallRecord> log;
    log.swap(gLog);
    return log;
}

std::vector<std::string> CallsOf(const std::vector<CallRecord>& log, uint32_t buffer)
{
    std::vector<std::string> calls;
    for (const CallRecord& record : log)
    {
        if (record.buffer == buffer)
            calls.push_back(record.call);
    }
    return calls;
}

} // namespace sys::audio
