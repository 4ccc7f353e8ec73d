// Pixel transfers between surfaces: same-size copies, nearest-texel stretches and raw colour fills,
// converting between formats where they differ. Rectangles are checked by the caller.
#pragma once

#include "sys/display/pixel_format.h"
#include "sys/display/rect.h"

#include <cstdint>

namespace sys::display
{

class Surface;

// Copies srcRect of `src` to dstRect of `dst` (same size). Overlapping rectangles on one surface
// copy as if through a temporary. Same format: bytes are copied. Formats that differ only in an
// alpha or unused byte of the same layout (X8R8G8B8 and A8R8G8B8): bytes are copied too, as a
// blitter does. Otherwise each pixel goes through A8R8G8B8 with the plain-shift conversion.
void CopyPixels(Surface& dst, const Rect& dstRect, const Surface& src, const Rect& srcRect);

// Scales srcRect to dstRect, picking source texel floor(i * srcSize / dstSize) for destination i.
void StretchPixels(Surface& dst, const Rect& dstRect, const Surface& src, const Rect& srcRect);

// Writes the raw value (already in dst's format; bits beyond the pixel size are dropped) to rect.
void FillPixels(Surface& dst, const Rect& rect, uint32_t raw);

// Converts one row of `count` pixels from one layout to another with the plain-shift conversion
// (what UnpackArgb then PackArgb give, one mask and shift a channel).
void ConvertRow(uint8_t* dst, const ChannelLayout& dstLayout, const uint8_t* src,
                const ChannelLayout& srcLayout, int32_t count);

// True when a copy between the two formats can move bytes unchanged.
bool CanCopyBytes(const Surface& dst, const Surface& src);

} // namespace sys::display
