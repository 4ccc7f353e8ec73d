// Test mode of presentation: MURKWELL_SHOT=<n>:<file.png> writes the n-th frame presented in the
// process to that PNG file, so that an end-to-end test sees the program's real frame.
#pragma once

#include <cstdint>
#include <string>

namespace sys::display
{

struct FrameShot
{
    uint32_t mFrame = 0; // counts from 1; 0 writes nothing
    std::string mPath;
};

// "<n>:<file>" with n at least 1 and a file name; false for anything else.
bool ParseFrameShot(const char* text, FrameShot& shot);

// Counts a presented frame (A8R8G8B8 rows of `width` pixels) and writes it when it is the
// requested one or an input script's "shot" line waits for it. The request is read from the
// environment at the first frame unless one was set.
void NoteFramePresented(const uint32_t* pixels, uint32_t width, uint32_t height);

// Replaces the request and starts the count again (tests).
void SetFrameShot(const FrameShot& shot);

} // namespace sys::display
