// What the decoders share: the block side rule, the block allocation, the failure text, and
// the format-table hooks.
#include "render/textures/image_decoders.h"

#include "render/textures/image_decoder_support.h"

#include <cstdlib>
#include <cstring>

namespace
{
TString& DecodeError()
{
    static TString text;
    return text;
}
} // namespace

uint32_t ImageBlockSide(uint32_t width, uint32_t height)
{
    uint32_t larger = width > height ? width : height;
    if (width == 0 || height == 0 || larger > kMaxImageBlockSide)
        return 0;
    uint32_t side = 1;
    while (side < larger)
        side <<= 1;
    return side;
}

uint8_t* AllocateImageBlock(uint32_t side)
{
    // calloc hands large blocks over as fresh zero pages, so clearing costs nothing up front.
    return static_cast<uint8_t*>(std::calloc(static_cast<size_t>(side) * side, 4));
}

uint8_t* AllocateImageBlockAround(uint32_t side, uint32_t width, uint32_t height)
{
    if (width > side || height > side)
        return nullptr;
    const size_t rowBytes = static_cast<size_t>(side) * 4;
    auto* block = static_cast<uint8_t*>(std::malloc(rowBytes * side));
    if (block == nullptr)
        return nullptr;
    const size_t imageBytes = static_cast<size_t>(width) * 4;
    if (imageBytes < rowBytes)
        for (uint32_t y = 0; y < height; ++y)
            std::memset(block + y * rowBytes + imageBytes, 0, rowBytes - imageBytes);
    std::memset(block + height * rowBytes, 0, (side - height) * rowBytes);
    return block;
}

void SetImageDecodeError(const char* text)
{
    DecodeError() = TString(text != nullptr ? text : "");
}

const TString& GetImageDecodeError()
{
    return DecodeError();
}

void RegisterImageFormats() {}

void ClearImageFormats() {}
