// What tests of the sound stand-in and of the layers above it drive: injected failures for each
// call that can fail, and a log of the calls each buffer receives.
#pragma once

#include "sys/audio/result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sys::audio
{

enum class Fault
{
    CreateDevice,       // DirectSoundCreate
    CooperativeLevel,   // SetCooperativeLevel
    CreatePrimary,      // CreateSoundBuffer for the primary buffer
    CreateSecondary,    // CreateSoundBuffer for a secondary buffer
    Lock,               // SoundBuffer::Lock
    GetCurrentPosition, // SoundBuffer::GetCurrentPosition
    BufferLost,         // the next secondary GetStatus finds its buffer lost (answer unused)
};

// Queues an answer for the next call of that kind (front first). A failing answer makes the call
// fail with that code before doing anything; Ok lets one call through normally.
void InjectFault(Fault fault, Result answer);
void ClearFaults();
// The front answer for the fault, Ok when none is queued. Used by the stand-in itself.
Result TakeFault(Fault fault);

// The null output's clock, in microseconds (steady, from an arbitrary start); tests interpose one
// of their own to move it as no real clock should. Null gives the system's back.
using MicrosecondClock = int64_t (*)();
void SetNullOutputClock(MicrosecondClock clock);
int64_t NullOutputClockMicroseconds();
// Run by a closing null output once its mixing is asked to stop, before it waits for the mixing
// to end: a test holds the mixer's lock until then, so that the stop lands inside a mix.
using NullOutputStopHook = void (*)();
void SetNullOutputStopHook(NullOutputStopHook hook);
void RunNullOutputStopHook();

// The call log: while enabled, every secondary buffer appends a line per call it receives, such
// as "CreateSoundBuffer 352800 0x18180", "SetVolume -1250", "Lock 0 176400", "Unlock 176400 0",
// "Play 0", "Stop", "Restore", "SetNotificationPositions 0 176400", "Release". Status and cursor
// queries are not logged: the sound thread asks for them all the time.
struct CallRecord
{
    uint32_t buffer; // the buffer's id, in order of creation from 1
    std::string call;
};
void EnableCallLog(bool enable);
bool IsCallLogEnabled();
void AppendCall(uint32_t buffer, std::string call);
// The records so far; Take also empties the log.
std::vector<CallRecord> GetCallLog();
std::vector<CallRecord> TakeCallLog();
// Only the calls of one buffer, without its id.
std::vector<std::string> CallsOf(const std::vector<CallRecord>& log, uint32_t buffer);

} // namespace sys::audio
