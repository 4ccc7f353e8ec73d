// The texture helpers of the old utility library the display code uses: texture creation with
// power-of-two growth and a mip chain, and loading 32-bit pixels into any supported format with
// box-filtered mip levels.
#pragma once

#include "sys/display/device_caps.h"
#include "sys/display/pixel_format.h"
#include "sys/display/rect.h"
#include "sys/display/result.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace sys::display
{

class DirectDraw;
class Surface;

namespace d3dx
{

// CreateTexture flags.
constexpr uint32_t TEXTURE_NOMIPMAP = 0x00000100;
// This platform's own: the caller loads every texel of the texture before reading any, so its
// memory is not cleared first. Honoured only for a single level made at the size asked for (a
// grown texture has texels the caller's image does not reach).
constexpr uint32_t TEXTURE_UNCLEARED = 0x80000000;
// "Every level" for LoadTextureFromMemory; "as large as needed" elsewhere.
constexpr uint32_t DEFAULT = 0xFFFFFFFF;
// Filters for LoadTextureFromMemory.
constexpr uint32_t FILTER_POINT = 0x00000001;
constexpr uint32_t FILTER_LINEAR = 0x00000002;

// Creates a texture surface for `device`'s limits. Width and height grow to powers of two (to a
// square on square-only devices, and so the aspect ratio stays within the device's limit) and are
// clamped to the maximum texture size; the sizes chosen are written back. Without
// TEXTURE_NOMIPMAP a mip chain down to 1 x 1 is built (`mipCount` in: the most levels wanted, 0 =
// all; out: the levels made). `format` in: the format wanted; out: the format made (the one asked
// for when it is a texture format of this display, else A8R8G8B8 or X8R8G8B8 by alpha). Surfaces
// come from the display's video-memory budget: OutOfVideoMemory when it is spent.
Result CreateTexture(DirectDraw& display, const DeviceDesc& device, uint32_t flags, uint32_t* width,
                     uint32_t* height, FormatId* format, std::shared_ptr<Surface>* texture,
                     uint32_t* mipCount);

// Loads A8R8G8B8 pixels (bytes blue, green, red, alpha; rows `pitch` bytes apart, 0 = rect width
// x 4) of the size of `rect` (whole level 0 when null) into mip level `level` of `texture`, or into
// every level with DEFAULT, each smaller level filtered from the source: box-filtered with
// FILTER_LINEAR, nearest texel with FILTER_POINT. Conversion to the texture's format truncates
// each channel, (c >> (8 - n)) << shift; formats without alpha drop it.
Result LoadTextureFromMemory(Surface* texture, uint32_t level, const void* pixels,
                             FormatId sourceFormat, uint32_t pitch, const Rect* rect,
                             uint32_t filter);

// Loads level 0 of `texture` from A8R8G8B8 pixels of its own size, rows width x 4 bytes apart, in
// a block from std::malloc of `bytes`. An A8R8G8B8 or X8R8G8B8 texture of one level whose memory
// is laid out like the block takes the block as its memory (X8R8G8B8 drops the alpha in place):
// `pixels` becomes null. Otherwise the pixels are copied as LoadTextureFromMemory copies them and
// the block stays the caller's. `alphaZero`: the caller knows every alpha byte to be zero already,
// so X8R8G8B8 takes the block as it is.
Result LoadTextureFromBlock(Surface* texture, uint8_t*& pixels, size_t bytes,
                            bool alphaZero = false);

// Box filter of an A8R8G8B8 image to a smaller size: each destination pixel is the rounded average
// of the source block it covers. Exposed for tests and the benchmark.
void BoxFilter(const uint32_t* source, uint32_t sourceWidth, uint32_t sourceHeight,
               uint32_t sourcePitchPixels, uint32_t* dest, uint32_t destWidth, uint32_t destHeight);

} // namespace d3dx
} // namespace sys::display
