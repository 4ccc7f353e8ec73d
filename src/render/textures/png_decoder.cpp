// The PNG decoder: libpng reading through the file layer, its rows transformed to blue, green,
// red, alpha and laid into the square block.
#include "render/textures/image_decoder_support.h"
#include "render/textures/image_decoders.h"

#include "platform/files/file.h"

#include <png.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>

namespace
{
constexpr int kSignatureBytes = 8;

// Everything the decode touches after its recovery point lives here, in the caller's frame, so
// that it still holds the right values when libpng jumps back.
struct PngDecode
{
    TFile mFile;
    png_structp mPng = nullptr;
    png_infop mInfo = nullptr;
    uint8_t* mBlock = nullptr;
    png_bytep* mRows = nullptr;
    char mError[200] = {};
};

[[noreturn]] void OnPngError(png_structp png, png_const_charp message)
{
    auto* decode = static_cast<PngDecode*>(png_get_error_ptr(png));
    std::strncpy(decode->mError, message != nullptr ? message : "", sizeof(decode->mError) - 1);
    png_longjmp(png, 1);
}

// libpng 1.6 warns about harmless things (colour profiles, unknown chunks); nothing here to say.
void OnPngWarning(png_structp, png_const_charp) {}

void ReadFromFile(png_structp png, png_bytep data, size_t length)
{
    auto* decode = static_cast<PngDecode*>(png_get_io_ptr(png));
    if (decode->mFile.Read(data, static_cast<int>(length)) != static_cast<int>(length))
        png_error(png, "Read Error");
}

// The decode from the header on; false after any libpng error. No object with a destructor lives
// in this frame, since libpng's errors leave it by a long jump.
bool Decode(PngDecode& d, uint32_t& width, uint32_t& height, uint32_t& texSize, int& channels,
            bool& alpha)
{
    if (setjmp(png_jmpbuf(d.mPng)))
        return false;

    png_set_read_fn(d.mPng, &d, ReadFromFile);
    png_set_sig_bytes(d.mPng, kSignatureBytes);
    png_read_info(d.mPng, d.mInfo);

    png_uint_32 w = 0;
    png_uint_32 h = 0;
    int depth = 0;
    int colorType = 0;
    png_get_IHDR(d.mPng, d.mInfo, &w, &h, &depth, &colorType, nullptr, nullptr, nullptr);
    uint32_t side = ImageBlockSide(w, h);
    if (side == 0)
        png_error(d.mPng, "image too large");
    bool hasTransparency = png_get_valid(d.mPng, d.mInfo, PNG_INFO_tRNS) != 0;

    if (depth == 16)
        png_set_strip_16(d.mPng);
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(d.mPng);
    if (depth < 8)
        png_set_expand_gray_1_2_4_to_8(d.mPng);
    if (hasTransparency)
        png_set_tRNS_to_alpha(d.mPng);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(d.mPng);
    png_set_filler(d.mPng, 0xFF, PNG_FILLER_AFTER);
    png_set_bgr(d.mPng);
    double fileGamma = 0;
    if (png_get_gAMA(d.mPng, d.mInfo, &fileGamma))
        png_set_gamma(d.mPng, 2.2, fileGamma);
    png_set_interlace_handling(d.mPng);

    png_read_update_info(d.mPng, d.mInfo);
    // Grey and colour files with a transparent colour count as having alpha too: their pixels
    // carry alpha 0 there, and a texture without alpha would show that colour.
    alpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0 || hasTransparency;

    d.mBlock = AllocateImageBlockAround(side, w, h);
    d.mRows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * h));
    if (d.mBlock == nullptr || d.mRows == nullptr)
        png_error(d.mPng, "Visual PNG: out of memory");
    size_t rowBytes = static_cast<size_t>(side) * 4;
    for (png_uint_32 y = 0; y < h; ++y)
        d.mRows[y] = d.mBlock + y * rowBytes;

    png_read_image(d.mPng, d.mRows);
    png_read_end(d.mPng, d.mInfo);

    width = w;
    height = h;
    texSize = side;
    channels = png_get_channels(d.mPng, d.mInfo);
    return true;
}
} // namespace

bool PngLoad(const TString& name, uint8_t*& pixels, uint32_t& width, uint32_t& height,
             uint32_t& texSize, int& channels, bool& alpha)
{
    pixels = nullptr;
    SetImageDecodeError(nullptr);
    PngDecode d;
    if (!d.mFile.Open(name, kFileReadBinary))
        return false;
    png_byte signature[kSignatureBytes] = {};
    if (d.mFile.Read(signature, kSignatureBytes) != kSignatureBytes ||
        png_sig_cmp(signature, 0, kSignatureBytes) != 0)
    {
        SetImageDecodeError("not a PNG file");
        return false;
    }
    d.mPng = png_create_read_struct(PNG_LIBPNG_VER_STRING, &d, OnPngError, OnPngWarning);
    if (d.mPng != nullptr)
        d.mInfo = png_create_info_struct(d.mPng);
    if (d.mInfo == nullptr)
    {
        png_destroy_read_struct(&d.mPng, nullptr, nullptr);
        SetImageDecodeError("Visual PNG: out of memory");
        return false;
    }

    bool ok = Decode(d, width, height, texSize, channels, alpha);
    png_destroy_read_struct(&d.mPng, &d.mInfo, nullptr);
    std::free(d.mRows);
    d.mFile.Close();
    if (!ok)
    {
        std::free(d.mBlock);
        SetImageDecodeError(d.mError);
        return false;
    }
    pixels = d.mBlock;
    return true;
}

void FreePngPixels(uint8_t* pixels)
{
    std::free(pixels);
}
