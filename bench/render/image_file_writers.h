// Shared by the image benchmarks: PNG and JPEG files written with the libraries' own encoders, so
// that each benchmark reads a real file of the picture it made.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <jpeglib.h>
#include <string>
#include <vector>

// `rgba`: width * height pixels of four bytes.
inline void WritePngFile(const std::string& path, uint32_t width, uint32_t height,
                         const std::vector<uint8_t>& rgba)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_RGBA;
    png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr);
}

// `rgb`: width * height pixels of three bytes, written at quality 90.
inline void WriteJpegFile(const std::string& path, uint32_t width, uint32_t height,
                          const std::vector<uint8_t>& rgb)
{
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        return;
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < height)
    {
        JSAMPROW row =
            const_cast<uint8_t*>(rgb.data()) + static_cast<size_t>(info.next_scanline) * width * 3;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(out);
}
