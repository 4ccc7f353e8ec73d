// Shared by the game's tests that draw animations: a sheet of square frames of one colour each,
// side by side, every frame registered at its centre, as the picture and its animation file.
#pragma once

#include "sys/display/presenter/surface_png.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace gametest
{

struct FrameSheet
{
    std::string png;
    std::string xml;
};

// Frames `size` pixels square, frame f of colour `colours[f]`; the animation file names the
// picture without its folder.
inline FrameSheet MakeFrameSheet(const std::string& name, int size,
                                 const std::vector<uint32_t>& colours)
{
    const int w = size * static_cast<int>(colours.size());
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < w; ++x)
            pixels[static_cast<size_t>(y * w + x)] = colours[static_cast<size_t>(x / size)];
    std::vector<uint8_t> png = sys::display::EncodePng(pixels.data(), static_cast<uint32_t>(w),
                                                       static_cast<uint32_t>(size));
    const std::string half = std::to_string(size / 2);
    std::string xml = "<sequence><img w=\"" + std::to_string(w) + "\" h=\"" + std::to_string(size) +
                      "\" regx=\"" + half + "\" regy=\"" + half + "\" name=\"" +
                      name.substr(name.find('/') + 1) + ".png\"/><framelist>";
    for (size_t f = 0; f < colours.size(); ++f)
        xml += "<frame x=\"" + std::to_string(static_cast<int>(f) * size) + "\" y=\"0\" w=\"" +
               std::to_string(size) + "\" h=\"" + std::to_string(size) + "\" regx=\"" + half +
               "\" regy=\"" + half + "\"/>";
    return {std::string(png.begin(), png.end()), xml + "</framelist></sequence>"};
}

} // namespace gametest
