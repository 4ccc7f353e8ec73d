// The image decoders against each library's own read loop on the same 1024 x 768 file in the same
// run: the decoder's cost over the bare decode is the file layer, the square block and (JPEG 2000)
// the conversion to bytes.
#include "render/image_file_writers.h"
#include "platform/files/file_layer.h"
#include "render/textures/image_decoders.h"

#include <benchmark/benchmark.h>
#include <openjpeg.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <string>
#include <vector>

namespace
{
constexpr uint32_t kWidth = 1024;
constexpr uint32_t kHeight = 768;

// Smooth gradients with some noise: compresses like a painted scene rather than flat colour.
std::vector<uint8_t> Picture(int channels)
{
    std::vector<uint8_t> samples;
    uint32_t noise = 12345;
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x)
        {
            noise = noise * 1103515245 + 12345;
            int jitter = static_cast<int>(noise >> 28);
            for (int c = 0; c < channels; ++c)
                samples.push_back(static_cast<uint8_t>((x * (c + 1) / 5 + y / 4 + jitter) & 0xFF));
        }
    return samples;
}

struct Files
{
    std::string folder;
    std::string png;
    std::string jpeg;
    std::string jp2;

    Files()
    {
        char pattern[] = "/tmp/mw_decoder_bench_XXXXXX";
        folder = mkdtemp(pattern);
        png = folder + "/picture.png";
        jpeg = folder + "/picture.jpg";
        jp2 = folder + "/picture.jp2";
        std::vector<uint8_t> rgba = Picture(4);
        std::vector<uint8_t> rgb = Picture(3);

        WritePngFile(png, kWidth, kHeight, rgba);
        WriteJpegFile(jpeg, kWidth, kHeight, rgb);

        opj_image_cmptparm_t params[4] = {};
        for (auto& p : params)
        {
            p.dx = p.dy = 1;
            p.w = kWidth;
            p.h = kHeight;
            p.prec = 8;
        }
        opj_image_t* picture = opj_image_create(4, params, OPJ_CLRSPC_SRGB);
        picture->x1 = kWidth;
        picture->y1 = kHeight;
        for (size_t i = 0; i < rgba.size(); ++i)
            picture->comps[i % 4].data[i / 4] = rgba[i];
        picture->comps[3].alpha = 1;
        opj_cparameters_t parameters;
        opj_set_default_encoder_parameters(&parameters);
        parameters.tcp_numlayers = 1;
        parameters.tcp_rates[0] = 20; // lossy, as shipped art is
        parameters.cp_disto_alloc = 1;
        parameters.irreversible = 1;
        opj_codec_t* codec = opj_create_compress(OPJ_CODEC_JP2);
        opj_setup_encoder(codec, &parameters, picture);
        opj_stream_t* stream = opj_stream_create_default_file_stream(jp2.c_str(), OPJ_FALSE);
        opj_start_compress(codec, picture, stream);
        opj_encode(codec, stream);
        opj_end_compress(codec, stream);
        opj_stream_destroy(stream);
        opj_destroy_codec(codec);
        opj_image_destroy(picture);
    }

    ~Files() { std::system(("rm -rf '" + folder + "'").c_str()); }
};

const Files& GetFiles()
{
    static Files files;
    return files;
}

TString Logical(const std::string& path)
{
    return TString(("::" + path).c_str());
}
} // namespace

static void BM_PngLoad(benchmark::State& state)
{
    TString name = Logical(GetFiles().png);
    for (auto _ : state)
    {
        uint8_t* pixels = nullptr;
        uint32_t w, h, side;
        int channels;
        bool alpha;
        if (!PngLoad(name, pixels, w, h, side, channels, alpha))
            state.SkipWithError("decode failed");
        FreePngPixels(pixels);
    }
}
BENCHMARK(BM_PngLoad)->Unit(benchmark::kMillisecond);

// libpng's own stdio reader with the same transforms, into rows of the image's width.
static void BM_PngLibraryLoop(benchmark::State& state)
{
    for (auto _ : state)
    {
        FILE* in = std::fopen(GetFiles().png.c_str(), "rb");
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_init_io(png, in);
        png_read_info(png, info);
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
        png_set_bgr(png);
        png_read_update_info(png, info);
        std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight * 4);
        std::vector<png_bytep> rows(kHeight);
        for (uint32_t y = 0; y < kHeight; ++y)
            rows[y] = pixels.data() + static_cast<size_t>(y) * kWidth * 4;
        png_read_image(png, rows.data());
        png_read_end(png, info);
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(in);
        benchmark::DoNotOptimize(pixels.data());
    }
}
BENCHMARK(BM_PngLibraryLoop)->Unit(benchmark::kMillisecond);

static void BM_JpegLoad(benchmark::State& state)
{
    TString name = Logical(GetFiles().jpeg);
    for (auto _ : state)
    {
        uint8_t* pixels = nullptr;
        uint32_t w, h, side;
        if (!JpegLoad(name, pixels, w, h, side))
            state.SkipWithError("decode failed");
        FreeJpegPixels(pixels);
    }
}
BENCHMARK(BM_JpegLoad)->Unit(benchmark::kMillisecond);

// libjpeg's own stdio source, the same output space, into rows of the image's width.
static void BM_JpegLibraryLoop(benchmark::State& state)
{
    for (auto _ : state)
    {
        FILE* in = std::fopen(GetFiles().jpeg.c_str(), "rb");
        jpeg_decompress_struct info{};
        jpeg_error_mgr errors{};
        info.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&info);
        jpeg_stdio_src(&info, in);
        jpeg_read_header(&info, TRUE);
        info.out_color_space = JCS_EXT_BGRA;
        jpeg_start_decompress(&info);
        std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight * 4);
        while (info.output_scanline < info.output_height)
        {
            JSAMPROW row = pixels.data() + static_cast<size_t>(info.output_scanline) * kWidth * 4;
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
        jpeg_destroy_decompress(&info);
        std::fclose(in);
        benchmark::DoNotOptimize(pixels.data());
    }
}
BENCHMARK(BM_JpegLibraryLoop)->Unit(benchmark::kMillisecond);

static void BM_Jp2Load(benchmark::State& state)
{
    TString name = Logical(GetFiles().jp2);
    for (auto _ : state)
    {
        uint8_t* pixels = nullptr;
        uint32_t w, h, side;
        bool alpha;
        if (!Jp2Load(name, pixels, w, h, side, alpha))
            state.SkipWithError("decode failed");
        FreeJp2Pixels(pixels);
    }
}
BENCHMARK(BM_Jp2Load)->Unit(benchmark::kMillisecond);

// OpenJPEG's own file stream and decode, leaving the samples in its component planes.
static void BM_Jp2LibraryLoop(benchmark::State& state)
{
    for (auto _ : state)
    {
        opj_stream_t* stream = opj_stream_create_default_file_stream(GetFiles().jp2.c_str(), 1);
        opj_codec_t* codec = opj_create_decompress(OPJ_CODEC_JP2);
        opj_dparameters_t parameters;
        opj_set_default_decoder_parameters(&parameters);
        opj_setup_decoder(codec, &parameters);
        opj_image_t* image = nullptr;
        if (!opj_read_header(stream, codec, &image) || !opj_decode(codec, stream, image) ||
            !opj_end_decompress(codec, stream))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(image);
        opj_image_destroy(image);
        opj_destroy_codec(codec);
        opj_stream_destroy(stream);
    }
}
BENCHMARK(BM_Jp2LibraryLoop)->Unit(benchmark::kMillisecond);
