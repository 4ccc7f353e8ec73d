// The time a portal host has kept the game paused, which platform time leaves out.
#pragma once

#include <cstdint>

// Accumulated milliseconds of host pauses; 0 unless a portal bridge that pauses is installed.
uint32_t GetHostPauseTime();
// The portal bridge adds each pause here when the host lets the game go on.
void AddHostPauseTime(uint32_t ms);
