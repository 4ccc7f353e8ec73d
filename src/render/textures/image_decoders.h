// The PNG, JPEG and JPEG 2000 decoders: each reads an image through the file layer into a square
// power-of-two block of blue, green, red, alpha bytes with the image at its top left.
#pragma once

#include "platform/strings/tstring.h"

#include <cstdint>

// The block's side is the smallest power of two not below the larger image side (1 for 1 x 1);
// rows are side x 4 bytes apart. Images whose side would pass this are refused before anything
// is allocated for them: a block of that side is already 256 MiB.
constexpr uint32_t kMaxImageBlockSide = 8192;

// The side of the block for an image, or 0 when the image is empty or its block would be larger
// than kMaxImageBlockSide.
uint32_t ImageBlockSide(uint32_t width, uint32_t height);

// Each decoder answers true and fills every output, or false with `pixels` null. The caller owns
// the block and gives it back with the decoder's own release function. Outside the image the block
// holds zero bytes (PNG, JPEG) or copies of the edge pixels (JPEG 2000).
// `channels` is the decoded row's channel count (4); `alpha` says whether the file has an alpha
// channel or transparency chunk.
bool PngLoad(const TString& name, uint8_t*& pixels, uint32_t& width, uint32_t& height,
             uint32_t& texSize, int& channels, bool& alpha);
// JPEG pixels always carry alpha 255.
bool JpegLoad(const TString& name, uint8_t*& pixels, uint32_t& width, uint32_t& height,
              uint32_t& texSize);
// The same block with a zero fourth byte, for a texture without alpha (it is the texture's
// X8R8G8B8 layout, and each row is changed while the decoder still has it at hand).
bool JpegLoadWithoutAlpha(const TString& name, uint8_t*& pixels, uint32_t& width, uint32_t& height,
                          uint32_t& texSize);
// A JP2 file or a bare J2K codestream; `alpha` is true when a component is defined as opacity.
bool Jp2Load(const TString& name, uint8_t*& pixels, uint32_t& width, uint32_t& height,
             uint32_t& texSize, bool& alpha);

void FreePngPixels(uint8_t* pixels);
void FreeJpegPixels(uint8_t* pixels);
void FreeJp2Pixels(uint8_t* pixels);

// Why the last decode failed, for the caller's log line: the library's error text or the decoder's
// own reason. Empty after a success and when the file could not be opened (a missing file is no
// error worth logging). The decoders never log.
const TString& GetImageDecodeError();

// The display handler's hooks for the decoder library's format table. The JPEG 2000 library has
// none (it is told the format on each decode), so both do nothing.
void RegisterImageFormats();
void ClearImageFormats();
