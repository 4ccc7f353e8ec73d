// The JPEG decoder: libjpeg (6b interface) reading through the file layer with a source manager of
// its own, emitting blue, green, red, 255 (or 0 for an opaque texture) straight into the square
// block.
#include "render/textures/image_decoder_support.h"
#include "render/textures/image_decoders.h"

#include "platform/files/file.h"

#include <cstddef>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace
{
constexpr int kSourceBufferBytes = 4096;
constexpr long kMaxMemoryToUse = 16777216;

// The library's own error manager ends the process on a fatal error; this one jumps back to the
// decoder with the message kept for its caller, and stays silent about warnings.
struct ErrorManager
{
    jpeg_error_mgr mPublic;
    jmp_buf mJump;
    char mMessage[JMSG_LENGTH_MAX];
};

[[noreturn]] void OnJpegError(j_common_ptr info)
{
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    errors->mPublic.format_message(info, errors->mMessage);
    longjmp(errors->mJump, 1);
}

void OnJpegMessage(j_common_ptr) {}

struct FileSource
{
    jpeg_source_mgr mPublic;
    TFile* mFile;
    bool mStartOfFile;
    JOCTET mBuffer[kSourceBufferBytes];
};

void InitSource(j_decompress_ptr info)
{
    reinterpret_cast<FileSource*>(info->src)->mStartOfFile = true;
}

boolean FillInputBuffer(j_decompress_ptr info)
{
    auto* source = reinterpret_cast<FileSource*>(info->src);
    int count = source->mFile->Read(source->mBuffer, kSourceBufferBytes);
    if (count <= 0)
    {
        if (source->mStartOfFile)
            ERREXIT(info, JERR_INPUT_EMPTY);
        WARNMS(info, JWRN_JPEG_EOF);
        // A fake end-of-image marker lets the library finish what it has.
        source->mBuffer[0] = 0xFF;
        source->mBuffer[1] = JPEG_EOI;
        count = 2;
    }
    source->mPublic.next_input_byte = source->mBuffer;
    source->mPublic.bytes_in_buffer = static_cast<size_t>(count);
    source->mStartOfFile = false;
    return TRUE;
}

void SkipInputData(j_decompress_ptr info, long count)
{
    if (count <= 0)
        return;
    auto* source = reinterpret_cast<FileSource*>(info->src);
    while (count > static_cast<long>(source->mPublic.bytes_in_buffer))
    {
        count -= static_cast<long>(source->mPublic.bytes_in_buffer);
        FillInputBuffer(info);
    }
    source->mPublic.next_input_byte += count;
    source->mPublic.bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

// Copies a decoded row into the block with every fourth byte zero. Rows are 4-byte aligned.
void CopyClearingFourthBytes(uint8_t* out, const uint8_t* in, uint32_t count)
{
    auto* to = reinterpret_cast<uint32_t*>(out);
    uint32_t i = 0;
#if defined(__SSE2__)
    const __m128i mask = _mm_set1_epi32(0x00FFFFFF);
    // The block is not read again before the texture is drawn: like the library's own aligned
    // rows, it is written past the cache.
    if (reinterpret_cast<uintptr_t>(out) % 16 == 0)
    {
        for (; i + 4 <= count; i += 4)
            _mm_stream_si128(reinterpret_cast<__m128i*>(to + i),
                             _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(
                                               in + static_cast<size_t>(i) * 4)),
                                           mask));
        _mm_sfence();
    }
#endif
    for (; i < count; ++i)
    {
        uint32_t word;
        std::memcpy(&word, in + static_cast<size_t>(i) * 4, 4);
        to[i] = word & 0x00FFFFFFu;
    }
}

// Everything the decode touches after its recovery point, in the caller's frame.
struct JpegDecode
{
    TFile mFile;
    // Zeroed, so that destroying a decompressor whose creation failed finds nothing to free.
    jpeg_decompress_struct mInfo{};
    ErrorManager mErrors{};
    FileSource mSource{};
    uint8_t* mBlock = nullptr;
    // Without alpha: one decoded row, changed in the cache before it goes to the block.
    uint8_t* mRow = nullptr;
};

// The decode from the header on; false after any library error. No object with a destructor lives
// in this frame, since errors leave it by a long jump.
bool Decode(JpegDecode& d, uint32_t& width, uint32_t& height, uint32_t& texSize, bool withAlpha)
{
    if (setjmp(d.mErrors.mJump))
        return false;
    jpeg_create_decompress(&d.mInfo);
    d.mInfo.mem->max_memory_to_use = kMaxMemoryToUse;
    d.mInfo.src = &d.mSource.mPublic;
    jpeg_read_header(&d.mInfo, TRUE);
    uint32_t side = ImageBlockSide(d.mInfo.image_width, d.mInfo.image_height);
    if (side == 0)
    {
        std::snprintf(d.mErrors.mMessage, sizeof(d.mErrors.mMessage), "image too large");
        return false;
    }
    // The extended colour space writes blue, green, red and an opaque fourth byte.
    d.mInfo.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&d.mInfo);

    d.mBlock = AllocateImageBlockAround(side, d.mInfo.output_width, d.mInfo.output_height);
    if (d.mBlock == nullptr)
    {
        std::snprintf(d.mErrors.mMessage, sizeof(d.mErrors.mMessage), "out of memory");
        return false;
    }
    size_t rowBytes = static_cast<size_t>(side) * 4;
    if (!withAlpha)
    {
        // Off the 16-byte grid on purpose: the library's vector colour conversion streams aligned
        // rows past the cache, and this row is read again at once.
        d.mRow = static_cast<uint8_t*>(std::malloc(rowBytes + 16));
        if (d.mRow == nullptr)
        {
            std::snprintf(d.mErrors.mMessage, sizeof(d.mErrors.mMessage), "out of memory");
            return false;
        }
    }
    while (d.mInfo.output_scanline < d.mInfo.output_height)
    {
        uint8_t* out = d.mBlock + d.mInfo.output_scanline * rowBytes;
        JSAMPROW row = withAlpha ? out : d.mRow + 4;
        // The source never suspends, so no progress means a broken stream.
        if (jpeg_read_scanlines(&d.mInfo, &row, 1) != 1)
            return false;
        if (!withAlpha)
            CopyClearingFourthBytes(out, row, d.mInfo.output_width);
    }
    width = d.mInfo.output_width;
    height = d.mInfo.output_height;
    texSize = side;
    jpeg_finish_decompress(&d.mInfo);
    return true;
}

bool Load(const TString& name, uint8_t*& pixels, uint32_t& width, uint32_t& height,
          uint32_t& texSize, bool withAlpha)
{
    pixels = nullptr;
    SetImageDecodeError(nullptr);
    JpegDecode d;
    if (!d.mFile.Open(name, kFileReadBinary))
        return false;

    d.mInfo.err = jpeg_std_error(&d.mErrors.mPublic);
    d.mErrors.mPublic.error_exit = OnJpegError;
    d.mErrors.mPublic.output_message = OnJpegMessage;

    d.mSource.mPublic.init_source = InitSource;
    d.mSource.mPublic.fill_input_buffer = FillInputBuffer;
    d.mSource.mPublic.skip_input_data = SkipInputData;
    d.mSource.mPublic.resync_to_restart = jpeg_resync_to_restart;
    d.mSource.mPublic.term_source = TermSource;
    d.mSource.mPublic.bytes_in_buffer = 0;
    d.mSource.mPublic.next_input_byte = nullptr;
    d.mSource.mFile = &d.mFile;
    d.mSource.mStartOfFile = true;

    bool ok = Decode(d, width, height, texSize, withAlpha);
    std::free(d.mRow);
    jpeg_destroy_decompress(&d.mInfo);
    d.mFile.Close();
    if (!ok)
    {
        std::free(d.mBlock);
        SetImageDecodeError(d.mErrors.mMessage);
        return false;
    }
    pixels = d.mBlock;
    return true;
}

} // namespace

bool JpegLoad(const TString& name, uint8_t*& pixels, uint32_t& width, uint32_t& height,
              uint32_t& texSize)
{
    return Load(name, pixels, width, height, texSize, true);
}

bool JpegLoadWithoutAlpha(const TString& name, uint8_t*& pixels, uint32_t& width, uint32_t& height,
                          uint32_t& texSize)
{
    return Load(name, pixels, width, height, texSize, false);
}

void FreeJpegPixels(uint8_t* pixels)
{
    std::free(pixels);
}
