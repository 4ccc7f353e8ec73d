// Result codes of the display stand-in: the answers the display code tests for, with the numbers
// the original platform used so logged codes read the same.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

namespace sys::display
{

enum class Result : uint32_t
{
    Ok = 0,
    False = 1,                            // success, but "no" (e.g. nothing to enumerate)
    NotImplemented = 0x80004001,          // the call exists but this stand-in does not do it
    Pointer = 0x80004003,                 // a required pointer was null
    Fail = 0x80004005,                    // generic failure
    InvalidParams = 0x80070057,           // bad argument
    OutOfMemory = 0x8007000E,             // system memory
    InvalidPixelFormat = 0x88760091,      // formats cannot be combined or created
    InvalidRect = 0x88760096,             // rectangle empty, inverted or outside the surface
    NoExclusiveMode = 0x887600E1,         // another application owns the full-screen display
    NotFound = 0x887600FF,                // no such attached surface / mode / adapter
    OutOfVideoMemory = 0x8876017C,        // the video-memory budget cannot hold the surface
    SurfaceBusy = 0x887601AE,             // already locked
    SurfaceLost = 0x887601C2,             // memory was taken away; Restore before use
    WasStillDrawing = 0x8876021C,         // a flip or blit is still in progress
    CantCreateDC = 0x88760221,            // no GDI here: callers take their lock-and-convert path
    NoPaletteAttached = 0x8876023C,       // (device creation, only under fault injection)
    ExclusiveModeAlreadySet = 0x88760245, // cooperative level already held by someone else
    NotLocked = 0x88760248,               // Unlock without Lock
    WrongMode = 0x8876024B,               // the display mode changed behind our back
    UnsupportedMode = 0x8876024E,         // mode not in the list
    SurfaceNotInVidMem = 0x88760834,      // (device creation, only under fault injection)
    SceneEndFailed = 0x8876081D,          // EndScene could not finish the frame
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

// Takes the front of a queue of answers a test injected; Ok when the queue is empty.
inline Result TakeAnswer(std::deque<Result>& answers)
{
    if (answers.empty())
        return Result::Ok;
    const Result r = answers.front();
    answers.pop_front();
    return r;
}

// Hands each entry to the callback until it answers false; InvalidParams without a callback.
template <typename T>
Result EnumerateEntries(const std::vector<T>& entries,
                        const std::function<bool(const T&)>& callback)
{
    if (!callback)
        return Result::InvalidParams;
    for (const T& entry : entries)
    {
        if (!callback(entry))
            break;
    }
    return Result::Ok;
}

// Short upper-case name for logs ("SURFACELOST"); "UNKNOWN" for anything else.
const char* ResultName(Result r);

} // namespace sys::display
