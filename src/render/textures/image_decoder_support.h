// What the three image decoders share: the failure text they leave for their caller and the
// allocation of the square pixel block.
#pragma once

#include <cstdint>

// Sets the text GetImageDecodeError answers; null or "" clears it.
void SetImageDecodeError(const char* text);

// A block of side x side pixels, four bytes each, zero-filled; null when the allocation fails.
// Released with std::free (each decoder's release function).
uint8_t* AllocateImageBlock(uint32_t side);

// The same block for a decoder that writes every pixel of its width x height image: only the
// area outside the image is cleared. Clearing all of it cost a third of a texture load once freed
// blocks are reused rather than handed back to the system.
uint8_t* AllocateImageBlockAround(uint32_t side, uint32_t width, uint32_t height);
