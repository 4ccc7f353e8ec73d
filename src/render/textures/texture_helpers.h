// Small helpers of the texture store: pixel-format mask arithmetic, the power-of-two surface side,
// and whether an image name (with its extension probing) names an existing file.
#pragma once

#include "platform/strings/tstring.h"

#include <cstdint>

// In a namespace because the file layer's FileExists (an exact name) lives at global scope.
namespace texture_helpers
{
// The number of set bits of a channel mask.
uint32_t CountBits(uint32_t mask);
// The index of the lowest set bit; 0 for 0.
uint32_t LowestBit(uint32_t mask);
// The smallest power of two not below n, at least 2; 0 when none fits in 32 bits.
uint32_t NextPowerOfTwo(uint32_t n);
// Without the "?" options: the name itself, or the name with ".jp2", ".png" or ".jpg" appended,
// exists in the file layer.
bool FileExists(const TString& name);
} // namespace texture_helpers
