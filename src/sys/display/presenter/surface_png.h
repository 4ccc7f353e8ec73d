// Debug aid: writes any surface to a PNG file (8-bit RGBA, stored without compression), for tests
// and bug reports.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sys::display
{

class Surface;

// Writes the surface's pixels as A8R8G8B8 read back through the plain-shift conversion. The file is
// written under a temporary name and renamed; false (and a log line) when it cannot be written.
bool SaveSurfacePng(const Surface& surface, const std::string& path);
// The same for raw A8R8G8B8 pixels (e.g. a presented frame).
bool SavePixelsPng(const uint32_t* pixels, uint32_t width, uint32_t height,
                   const std::string& path);

// The PNG file bytes for an A8R8G8B8 image.
std::vector<uint8_t> EncodePng(const uint32_t* pixels, uint32_t width, uint32_t height);

} // namespace sys::display
