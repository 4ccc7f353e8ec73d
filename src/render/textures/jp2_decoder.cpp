// The JPEG 2000 decoder: OpenJPEG reading a JP2 file or a bare codestream through the file layer,
// its components mapped to blue, green, red, alpha bytes, the block padded with the edge pixels.
#include "render/textures/image_decoder_support.h"
#include "render/textures/image_decoders.h"

#include "platform/files/file.h"

#include <openjpeg.h>

#include <cstdlib>
#include <cstring>

namespace
{
// A JP2 file opens with its signature box; a codestream with the SOC and SIZ markers.
constexpr uint8_t kJp2Signature[12] = {0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50,
                                       0x20, 0x20, 0x0D, 0x0A, 0x87, 0x0A};
constexpr uint8_t kCodestreamSignature[4] = {0xFF, 0x4F, 0xFF, 0x51};

struct Jp2Source
{
    TFile mFile;
    char mError[200] = {};
};

OPJ_SIZE_T ReadFromFile(void* buffer, OPJ_SIZE_T count, void* user)
{
    auto* source = static_cast<Jp2Source*>(user);
    int wanted = count > 0x40000000 ? 0x40000000 : static_cast<int>(count);
    int read = source->mFile.Read(buffer, wanted);
    // The library reads "nothing more" as (OPJ_SIZE_T)-1.
    return read > 0 ? static_cast<OPJ_SIZE_T>(read) : static_cast<OPJ_SIZE_T>(-1);
}

OPJ_OFF_T SkipInFile(OPJ_OFF_T count, void* user)
{
    auto* source = static_cast<Jp2Source*>(user);
    OPJ_OFF_T target = source->mFile.Tell() + count;
    if (target < 0 || target > source->mFile.Length())
        return -1;
    source->mFile.Seek(static_cast<int>(target), kSeekStart);
    return count;
}

OPJ_BOOL SeekInFile(OPJ_OFF_T position, void* user)
{
    auto* source = static_cast<Jp2Source*>(user);
    if (position < 0 || position > source->mFile.Length())
        return OPJ_FALSE;
    source->mFile.Seek(static_cast<int>(position), kSeekStart);
    return OPJ_TRUE;
}

// The first error is the informative one; later ones report its consequences.
void OnOpjError(const char* message, void* user)
{
    auto* source = static_cast<Jp2Source*>(user);
    if (source->mError[0] != 0 || message == nullptr)
        return;
    std::strncpy(source->mError, message, sizeof(source->mError) - 1);
    size_t length = std::strlen(source->mError);
    if (length > 0 && source->mError[length - 1] == '\n')
        source->mError[length - 1] = 0;
}

void OnOpjMessage(const char*, void*) {}

// A sample as a byte: precisions up to 8 shift left into the byte, larger ones right.
inline uint8_t SampleByte(OPJ_INT32 value, int shift)
{
    auto v = static_cast<uint32_t>(value);
    return static_cast<uint8_t>(shift >= 0 ? v << shift : v >> -shift);
}

int SampleShift(const opj_image_comp_t& comp)
{
    return 8 - static_cast<int>(comp.prec);
}

// Writes component `comp` (null: `fill`) into byte `channel` of every image pixel.
void WriteChannel(uint8_t* block, uint32_t side, uint32_t width, uint32_t height,
                  const opj_image_comp_t* comp, int channel, uint8_t fill)
{
    size_t rowBytes = static_cast<size_t>(side) * 4;
    for (uint32_t y = 0; y < height; ++y)
    {
        uint8_t* out = block + y * rowBytes + channel;
        if (comp == nullptr)
        {
            for (uint32_t x = 0; x < width; ++x)
                out[x * 4] = fill;
            continue;
        }
        const OPJ_INT32* in = comp->data + static_cast<size_t>(y) * width;
        int shift = SampleShift(*comp);
        for (uint32_t x = 0; x < width; ++x)
            out[x * 4] = SampleByte(in[x], shift);
    }
}

// Grey: one sample gives blue, green and red, alpha 255.
void WriteGrey(uint8_t* block, uint32_t side, uint32_t width, uint32_t height,
               const opj_image_comp_t& comp)
{
    size_t rowBytes = static_cast<size_t>(side) * 4;
    int shift = SampleShift(comp);
    for (uint32_t y = 0; y < height; ++y)
    {
        uint8_t* out = block + y * rowBytes;
        const OPJ_INT32* in = comp.data + static_cast<size_t>(y) * width;
        for (uint32_t x = 0; x < width; ++x)
        {
            uint8_t v = SampleByte(in[x], shift);
            out[x * 4] = v;
            out[x * 4 + 1] = v;
            out[x * 4 + 2] = v;
            out[x * 4 + 3] = 255;
        }
    }
}

// Right of the image each row repeats its last pixel; below it the last image row repeats.
void PadWithEdges(uint8_t* block, uint32_t side, uint32_t width, uint32_t height)
{
    size_t rowBytes = static_cast<size_t>(side) * 4;
    for (uint32_t y = 0; y < height; ++y)
    {
        uint8_t* row = block + y * rowBytes;
        uint32_t last;
        std::memcpy(&last, row + (width - 1) * 4, 4);
        for (uint32_t x = width; x < side; ++x)
            std::memcpy(row + x * 4, &last, 4);
    }
    const uint8_t* lastRow = block + (height - 1) * rowBytes;
    for (uint32_t y = height; y < side; ++y)
        std::memcpy(block + y * rowBytes, lastRow, rowBytes);
}

// Components the decoder reads: decoded, full size (not subsampled) and of a known precision.
bool IsReadable(const opj_image_comp_t& comp, uint32_t width, uint32_t height)
{
    return comp.data != nullptr && comp.w == width && comp.h == height && comp.prec >= 1 &&
           comp.prec <= 32;
}

struct Jp2Decode
{
    opj_codec_t* mCodec = nullptr;
    opj_stream_t* mStream = nullptr;
    opj_image_t* mImage = nullptr;

    ~Jp2Decode()
    {
        if (mImage != nullptr)
            opj_image_destroy(mImage);
        if (mCodec != nullptr)
            opj_destroy_codec(mCodec);
        if (mStream != nullptr)
            opj_stream_destroy(mStream);
    }
};

bool Fail(Jp2Source& source, const char* reason)
{
    SetImageDecodeError(source.mError[0] != 0 ? source.mError : reason);
    return false;
}
} // namespace

bool Jp2Load(const TString& name, uint8_t*& pixels, uint32_t& width, uint32_t& height,
             uint32_t& texSize, bool& alpha)
{
    pixels = nullptr;
    SetImageDecodeError(nullptr);
    Jp2Source source;
    if (!source.mFile.Open(name, kFileReadBinary))
        return false;

    uint8_t head[sizeof(kJp2Signature)] = {};
    int headBytes = source.mFile.Read(head, sizeof(head));
    OPJ_CODEC_FORMAT format = OPJ_CODEC_UNKNOWN;
    if (headBytes == sizeof(kJp2Signature) && std::memcmp(head, kJp2Signature, headBytes) == 0)
        format = OPJ_CODEC_JP2;
    else if (headBytes >= static_cast<int>(sizeof(kCodestreamSignature)) &&
             std::memcmp(head, kCodestreamSignature, sizeof(kCodestreamSignature)) == 0)
        format = OPJ_CODEC_J2K;
    else
        return Fail(source, "not a JPEG 2000 file");
    source.mFile.Seek(0, kSeekStart);

    Jp2Decode d;
    d.mCodec = opj_create_decompress(format);
    d.mStream = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_TRUE);
    if (d.mCodec == nullptr || d.mStream == nullptr)
        return Fail(source, "out of memory");
    opj_set_error_handler(d.mCodec, OnOpjError, &source);
    opj_set_warning_handler(d.mCodec, OnOpjMessage, &source);
    opj_set_info_handler(d.mCodec, OnOpjMessage, &source);
    opj_stream_set_user_data(d.mStream, &source, nullptr);
    opj_stream_set_user_data_length(d.mStream, static_cast<OPJ_UINT64>(source.mFile.Length()));
    opj_stream_set_read_function(d.mStream, ReadFromFile);
    opj_stream_set_skip_function(d.mStream, SkipInFile);
    opj_stream_set_seek_function(d.mStream, SeekInFile);

    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    if (!opj_setup_decoder(d.mCodec, &parameters))
        return Fail(source, "decoder set-up failed");
    // A cut file is an error rather than an image with missing parts.
    opj_decoder_set_strict_mode(d.mCodec, OPJ_TRUE);
    if (!opj_read_header(d.mStream, d.mCodec, &d.mImage))
        return Fail(source, "bad header");

    const opj_image_t& image = *d.mImage;
    uint32_t w = image.x1 - image.x0;
    uint32_t h = image.y1 - image.y0;
    if (image.x1 <= image.x0 || image.y1 <= image.y0 || image.numcomps == 0)
        return Fail(source, "empty image");
    uint32_t side = ImageBlockSide(w, h);
    // The library keeps every component as 32-bit samples: more of them than four components of
    // the largest block are refused before decoding.
    uint64_t samples = static_cast<uint64_t>(w) * h * image.numcomps;
    if (side == 0 || samples > static_cast<uint64_t>(kMaxImageBlockSide) * kMaxImageBlockSide * 4)
        return Fail(source, "image too large");
    for (OPJ_UINT32 i = 0; i < image.numcomps; ++i)
        if (image.comps[i].dx != 1 || image.comps[i].dy != 1)
            return Fail(source, "subsampled components are not supported");

    if (!opj_decode(d.mCodec, d.mStream, d.mImage) || !opj_end_decompress(d.mCodec, d.mStream))
        return Fail(source, "decode failed");

    uint8_t* block = AllocateImageBlock(side);
    if (block == nullptr)
        return Fail(source, "out of memory");

    // The first component defined as opacity is alpha; the others are colour in their order.
    const opj_image_comp_t* opacity = nullptr;
    const opj_image_comp_t* colour[3] = {};
    int colourCount = 0;
    for (OPJ_UINT32 i = 0; i < image.numcomps; ++i)
    {
        const opj_image_comp_t& comp = image.comps[i];
        bool readable = IsReadable(comp, w, h);
        if (comp.alpha != 0)
        {
            if (opacity == nullptr && readable)
                opacity = &comp;
        }
        else if (colourCount < 3)
            colour[colourCount++] = readable ? &comp : nullptr;
    }

    bool grey = image.color_space == OPJ_CLRSPC_GRAY ||
                (image.numcomps <= 2 && image.color_space != OPJ_CLRSPC_SRGB);
    if (grey)
    {
        // Without a readable grey component the block stays as allocated: all zero.
        if (colour[0] != nullptr)
            WriteGrey(block, side, w, h, *colour[0]);
    }
    else
    {
        WriteChannel(block, side, w, h, colour[2], 0, 0);
        WriteChannel(block, side, w, h, colour[1], 1, 0);
        WriteChannel(block, side, w, h, colour[0], 2, 0);
        if (opacity == nullptr)
            WriteChannel(block, side, w, h, nullptr, 3, 255);
    }
    if (opacity != nullptr)
        WriteChannel(block, side, w, h, opacity, 3, 0);
    alpha = opacity != nullptr;
    PadWithEdges(block, side, w, h);

    pixels = block;
    width = w;
    height = h;
    texSize = side;
    return true;
}

void FreeJp2Pixels(uint8_t* pixels)
{
    std::free(pixels);
}
