// Millisecond time and sleeping: the platform's tick counter, as a wrapping 32-bit value.
#pragma once

#include <cstdint>

namespace sys
{

// Milliseconds since an arbitrary start, wrapping at 2^32 like the system tick counter it stands in
// for. Callers compare times by unsigned subtraction so the wrap is harmless.
uint32_t GetTimeMs();

// Blocks the calling thread for about `ms` milliseconds; 0 gives up the rest of the time slice.
void SleepMs(uint32_t ms);

// Asks for 1 ms timer resolution. Linux timers are already that fine; kept so callers read as the
// platform code they mirror. Always succeeds.
void BeginTimerPeriod(uint32_t ms);
void EndTimerPeriod(uint32_t ms);

// Tests replace the clock so time-driven code runs deterministically. While a manual clock is set,
// GetTimeMs answers its value and SleepMs advances it instead of sleeping.
void SetManualClock(bool enabled, uint32_t startMs = 0);
void AdvanceManualClock(uint32_t ms);
bool IsManualClock();

// Test mode of whole-program runs: MURKWELL_FIXED_STEP=<ms> (read at the first use of the clock)
// starts the manual clock, which the message queue then advances by <ms> at each empty poll, so a
// run repeats. The step, or 0 when the mode is off; a malformed value is reported on standard error
// and leaves it off.
uint32_t GetFixedStepMs();
// Tests set the step directly (0 turns it off; the manual clock is left as it is).
void SetFixedStepMs(uint32_t ms);
// What an empty poll does to the clock in that mode (moves it one step; nothing when the mode is
// off), for a wait on time that polls nothing and would otherwise never see it pass.
void PassFixedStep();

} // namespace sys
