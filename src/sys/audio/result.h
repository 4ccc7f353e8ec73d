// Result codes of the sound stand-in, with the numbers the original platform used so logged codes
// ("0x%x") read the same, and the flag and limit constants callers pass.
#pragma once

#include <cstdint>

namespace sys::audio
{

enum class Result : uint32_t
{
    Ok = 0,
    NotImplemented = 0x80004001, // the call exists but the stand-in does not do it
    NoInterface = 0x80004002,    // the buffer was made without the control asked for
    Fail = 0x80004005,           // generic failure
    OutOfMemory = 0x8007000E,
    InvalidParam = 0x80070057,    // bad argument, format or size
    Allocated = 0x8878000A,       // the device is in use elsewhere
    ControlUnavail = 0x8878001E,  // the buffer was made without that control
    InvalidCall = 0x88780032,     // the call is not valid for this buffer or state
    PrioLevelNeeded = 0x88780046, // no cooperative level set yet
    NoDriver = 0x88780078,        // no audio output (the "none" output, or SDL cannot open one)
    BufferLost = 0x88780096,      // the buffer memory was lost; Restore before use
};

inline bool Succeeded(Result r)
{
    return static_cast<int32_t>(r) >= 0;
}
inline bool Failed(Result r)
{
    return static_cast<int32_t>(r) < 0;
}
inline uint32_t ToCode(Result r)
{
    return static_cast<uint32_t>(r);
}
// Short upper-case name for logs ("BUFFERLOST"); "UNKNOWN" for anything else.
const char* ResultName(Result r);

// Buffer description flags.
constexpr uint32_t DSBCAPS_PRIMARYBUFFER = 0x1;
constexpr uint32_t DSBCAPS_CTRLVOLUME = 0x80;
constexpr uint32_t DSBCAPS_CTRLPOSITIONNOTIFY = 0x100;
constexpr uint32_t DSBCAPS_GLOBALFOCUS = 0x8000;
constexpr uint32_t DSBCAPS_GETCURRENTPOSITION2 = 0x10000;
// Every flag the stand-in understands; others answer InvalidParam.
constexpr uint32_t kKnownBufferFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRLVOLUME |
                                       DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_GLOBALFOCUS |
                                       DSBCAPS_GETCURRENTPOSITION2;

// Cooperative levels.
constexpr uint32_t DSSCL_NORMAL = 1;
constexpr uint32_t DSSCL_PRIORITY = 2;
constexpr uint32_t DSSCL_EXCLUSIVE = 3;
constexpr uint32_t DSSCL_WRITEPRIMARY = 4;

// Play, lock and status flags.
constexpr uint32_t DSBPLAY_LOOPING = 0x1;
constexpr uint32_t DSBLOCK_FROMWRITECURSOR = 0x1;
constexpr uint32_t DSBLOCK_ENTIREBUFFER = 0x2;
constexpr uint32_t DSBSTATUS_PLAYING = 0x1;
constexpr uint32_t DSBSTATUS_BUFFERLOST = 0x2;
constexpr uint32_t DSBSTATUS_LOOPING = 0x4;

// Volume in hundredths of a decibel.
constexpr int32_t DSBVOLUME_MIN = -10000;
constexpr int32_t DSBVOLUME_MAX = 0;

// Secondary buffer limits.
constexpr uint32_t DSBSIZE_MIN = 4;
constexpr uint32_t DSBSIZE_MAX = 0x0FFFFFFF;
constexpr uint32_t DSBFREQUENCY_MIN = 100;
constexpr uint32_t DSBFREQUENCY_MAX = 200000;

// A notification at the moment the buffer stops.
constexpr uint32_t DSBPN_OFFSETSTOP = 0xFFFFFFFF;

constexpr uint16_t WAVE_FORMAT_PCM = 1;

// What the device always plays, whatever the primary buffer's format says.
constexpr uint32_t kOutputRate = 44100;
constexpr uint32_t kOutputChannels = 2;

} // namespace sys::audio
