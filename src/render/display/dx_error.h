// How the display code reports a failed call of the display stand-in: one log line with the code,
// the source and a fixed line number per call site, and the out-of-video-memory handling first.
#pragma once

#include "sys/display/result.h"

using DxResult = sys::display::Result;

// "DX Error: %s (0x%x), File %s, Line %d" with the result's name. OutOfVideoMemory first runs the
// application's out-of-video-memory handler.
void ReportDxError(DxResult hr, const char* file, int line);
