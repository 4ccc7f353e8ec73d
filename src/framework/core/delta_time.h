// DeltaTime: the frame clock: the time taken at the start of each frame and the step since the
// previous frame, in milliseconds.
#pragma once

#include "framework/core/singleton.h"

#include <cstdint>

class DeltaTime : public Singleton<DeltaTime>
{
public:
    DeltaTime();

    // The frame driver's reading at the start of a frame: the first one after start (or after
    // SkipNext) keeps the step; later ones set it to the time since the previous reading.
    void Advance(uint32_t now);
    void SkipNext() { mSkipNext = 1; }

    uint32_t GetFrameTime() const { return mFrameTime; }
    uint32_t GetStep() const { return mStep; }
    // Direct writes, for code that drives frames without the frame driver.
    void SetFrameTime(uint32_t time) { mFrameTime = time; }
    void SetStep(uint32_t step) { mStep = step; }
    // Moves the clock on by `ms` at once, as a frame of that length, and keeps every later reading
    // that far ahead, so the clock never runs back (a location run forward as it closes).
    void Skip(uint32_t ms);

    // "now" of the current frame, 0 while no clock exists.
    static uint32_t Now();

private:
    uint8_t mSkipNext = 1;
    uint32_t mFrameTime = 0;
    uint32_t mStep = 0;
    uint32_t mSkipped = 0;
};
