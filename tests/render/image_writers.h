// Test support for the image decoders: PNG, JPEG and JPEG 2000 files made in memory with the
// libraries' own encoders, and a fixture that serves them to the file layer as memory files.
#pragma once

#include "platform/files/file_layer.h"
#include "render/textures/image_decoders.h"

#include <gtest/gtest.h>
#include <openjpeg.h>
#include <png.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <jpeglib.h>
#include <list>
#include <string>
#include <vector>

namespace imagetest
{

// A PNG image to write: `samples` holds each row's samples, one value per channel (16-bit depths
// write the value as is, lower depths pack it).
struct PngPlan
{
    uint32_t width = 1;
    uint32_t height = 1;
    int colorType = PNG_COLOR_TYPE_RGB;
    int depth = 8;
    std::vector<uint16_t> samples;
    std::vector<png_color> palette;
    std::vector<uint8_t> paletteAlpha; // tRNS for palette images
    int transparentGrey = -1;          // tRNS for grey images
    bool interlaced = false;
    double gamma = 0; // gAMA when not 0
};

inline int PngChannels(int colorType)
{
    switch (colorType)
    {
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return 2;
    case PNG_COLOR_TYPE_RGB:
        return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return 4;
    default:
        return 1;
    }
}

inline std::string EncodePng(const PngPlan& plan)
{
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)))
    {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "libpng could not write the test image";
        return std::string();
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, size_t n)
        { static_cast<std::string*>(png_get_io_ptr(p))->append(reinterpret_cast<char*>(data), n); },
        nullptr);
    png_set_IHDR(png, info, plan.width, plan.height, plan.depth, plan.colorType,
                 plan.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!plan.palette.empty())
        png_set_PLTE(png, info, plan.palette.data(), static_cast<int>(plan.palette.size()));
    if (!plan.paletteAlpha.empty())
        png_set_tRNS(png, info, plan.paletteAlpha.data(),
                     static_cast<int>(plan.paletteAlpha.size()), nullptr);
    if (plan.transparentGrey >= 0)
    {
        png_color_16 colour{};
        colour.gray = static_cast<png_uint_16>(plan.transparentGrey);
        png_set_tRNS(png, info, nullptr, 0, &colour);
    }
    if (plan.gamma != 0)
        png_set_gAMA(png, info, plan.gamma);
    png_write_info(png, info);

    int channels = PngChannels(plan.colorType);
    size_t perRow = static_cast<size_t>(plan.width) * channels;
    size_t rowBytes = (perRow * plan.depth + 7) / 8;
    std::vector<std::vector<png_byte>> rows(plan.height, std::vector<png_byte>(rowBytes));
    for (uint32_t y = 0; y < plan.height; ++y)
        for (size_t i = 0; i < perRow; ++i)
        {
            uint16_t v = plan.samples[y * perRow + i];
            png_byte* row = rows[y].data();
            if (plan.depth == 16)
            {
                row[i * 2] = static_cast<png_byte>(v >> 8);
                row[i * 2 + 1] = static_cast<png_byte>(v);
            }
            else if (plan.depth == 8)
                row[i] = static_cast<png_byte>(v);
            else
            {
                size_t bit = i * plan.depth;
                row[bit / 8] |= static_cast<png_byte>(v << (8 - plan.depth - bit % 8));
            }
        }
    std::vector<png_bytep> pointers;
    for (auto& row : rows)
        pointers.push_back(row.data());
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// A width x height RGBA PNG; `paint` gives r, g, b, a of each texel.
inline std::string
PaintedPng(uint32_t width, uint32_t height,
           const std::function<std::array<uint16_t, 4>(uint32_t, uint32_t)>& paint)
{
    PngPlan plan;
    plan.width = width;
    plan.height = height;
    plan.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
        {
            const auto texel = paint(x, y);
            plan.samples.insert(plan.samples.end(), texel.begin(), texel.end());
        }
    return EncodePng(plan);
}

// A JPEG of `components` (1 grey or 3 RGB) bytes a pixel.
inline std::string EncodeJpeg(uint32_t width, uint32_t height, int components,
                              const std::vector<uint8_t>& samples, bool progressive,
                              J_COLOR_SPACE space = JCS_UNKNOWN)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = components;
    info.in_color_space = space != JCS_UNKNOWN ? space : components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < height)
    {
        auto* row = const_cast<JSAMPLE*>(samples.data() + static_cast<size_t>(info.next_scanline) *
                                                              width * components);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::string out(reinterpret_cast<char*>(buffer), size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

// A JPEG 2000 image, lossless (reversible transform), one vector of samples per component.
struct Jp2Plan
{
    uint32_t width = 1;
    uint32_t height = 1;
    bool codestream = false; // J2K instead of a JP2 file
    OPJ_COLOR_SPACE space = OPJ_CLRSPC_SRGB;
    uint32_t precision = 8;
    int alphaComponent = -1; // flagged as opacity (a channel definition in JP2 files)
    uint32_t subsampling = 1;
    std::vector<std::vector<int32_t>> components;
};

inline std::string EncodeJp2(const Jp2Plan& plan)
{
    std::vector<opj_image_cmptparm_t> params(plan.components.size());
    for (auto& p : params)
    {
        p = opj_image_cmptparm_t{};
        p.dx = plan.subsampling;
        p.dy = plan.subsampling;
        p.w = plan.width / plan.subsampling;
        p.h = plan.height / plan.subsampling;
        p.prec = plan.precision;
    }
    opj_image_t* image =
        opj_image_create(static_cast<OPJ_UINT32>(params.size()), params.data(), plan.space);
    image->x1 = plan.width;
    image->y1 = plan.height;
    for (size_t c = 0; c < plan.components.size(); ++c)
    {
        std::memcpy(image->comps[c].data, plan.components[c].data(),
                    plan.components[c].size() * sizeof(int32_t));
        image->comps[c].alpha = static_cast<int>(c) == plan.alphaComponent ? 1 : 0;
    }
    opj_cparameters_t parameters;
    opj_set_default_encoder_parameters(&parameters);
    parameters.tcp_numlayers = 1;
    parameters.tcp_rates[0] = 0; // lossless
    parameters.cp_disto_alloc = 1;
    // Small images need fewer resolution levels than the default six.
    uint32_t smallest = std::min(plan.width, plan.height) / plan.subsampling;
    int levels = 1;
    while (levels < 6 && (1u << levels) <= smallest)
        ++levels;
    parameters.numresolution = levels;
    opj_codec_t* codec = opj_create_compress(plan.codestream ? OPJ_CODEC_J2K : OPJ_CODEC_JP2);
    opj_setup_encoder(codec, &parameters, image);

    std::string out;
    opj_stream_t* stream = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_FALSE);
    struct Sink
    {
        std::string* bytes;
        size_t position;
    } sink{&out, 0};
    opj_stream_set_user_data(stream, &sink, nullptr);
    opj_stream_set_write_function(stream,
                                  [](void* data, OPJ_SIZE_T n, void* user) -> OPJ_SIZE_T
                                  {
                                      auto* s = static_cast<Sink*>(user);
                                      if (s->bytes->size() < s->position + n)
                                          s->bytes->resize(s->position + n);
                                      std::memcpy(s->bytes->data() + s->position, data, n);
                                      s->position += n;
                                      return n;
                                  });
    opj_stream_set_skip_function(stream,
                                 [](OPJ_OFF_T n, void* user) -> OPJ_OFF_T
                                 {
                                     auto* s = static_cast<Sink*>(user);
                                     s->position += static_cast<size_t>(n);
                                     if (s->bytes->size() < s->position)
                                         s->bytes->resize(s->position);
                                     return n;
                                 });
    opj_stream_set_seek_function(stream,
                                 [](OPJ_OFF_T n, void* user) -> OPJ_BOOL
                                 {
                                     static_cast<Sink*>(user)->position = static_cast<size_t>(n);
                                     return OPJ_TRUE;
                                 });
    bool ok = opj_start_compress(codec, image, stream) && opj_encode(codec, stream) &&
              opj_end_compress(codec, stream);
    EXPECT_TRUE(ok) << "OpenJPEG could not write the test image";
    opj_stream_destroy(stream);
    opj_destroy_codec(codec);
    opj_image_destroy(image);
    return out;
}

// Serves byte strings to the file layer under logical names, for the decoders to open.
class ImageFileTest : public ::testing::Test
{
protected:
    void SetUp() override { ClearPathMap(); }
    void TearDown() override { ClearPathMap(); }

    // Registers `bytes` as the memory file `name` (kept alive by the fixture).
    void Serve(const char* name, std::string bytes)
    {
        mFiles.push_back(std::move(bytes));
        const std::string& kept = mFiles.back();
        // A memory file needs an address even when it is empty.
        RegisterMemoryFileName(name, kept.empty() ? static_cast<const void*>(&kept) : kept.data(),
                               static_cast<uint32_t>(kept.size()));
    }

    // A damaged or foreign file: the decoder fails, hands back no pixels and says why (`reason`,
    // or any message where it is null); a missing file fails without a message.
    struct Rejected
    {
        const char* name;
        std::string bytes;
        const char* reason;
    };
    template <class Result>
    void ExpectRejected(const std::vector<Rejected>& cases, const char* missingName)
    {
        for (const Rejected& c : cases)
        {
            SCOPED_TRACE(c.name);
            Serve(c.name, c.bytes);
            Result r;
            Load(c.name, r);
            EXPECT_FALSE(r.ok);
            EXPECT_EQ(r.pixels, nullptr);
            if (c.reason != nullptr)
                EXPECT_EQ(GetImageDecodeError(), TString(c.reason));
            else
                EXPECT_NE(GetImageDecodeError(), TString(""));
        }
        Result missing;
        Load(missingName, missing);
        EXPECT_FALSE(missing.ok);
        EXPECT_EQ(missing.pixels, nullptr);
        EXPECT_EQ(GetImageDecodeError(), TString(""));
    }

private:
    std::list<std::string> mFiles;
};

// The four bytes of pixel (x, y) of a block of side `side` as 0xAARRGGBB.
inline uint32_t PixelAt(const uint8_t* block, uint32_t side, uint32_t x, uint32_t y)
{
    const uint8_t* p = block + (static_cast<size_t>(y) * side + x) * 4;
    return static_cast<uint32_t>(p[3]) << 24 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[1]) << 8 | p[0];
}

} // namespace imagetest
