// The picture conversion against the BT.601 video-range formula, pixel by pixel: 4:2:0, 4:2:2 and
// 4:4:4, odd sizes, and a picture region at an offset inside a larger coded frame.
#include "services/movie/movie_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace
{

uint32_t Reference(int y, int cb, int cr)
{
    auto clip = [](double v)
    { return static_cast<uint32_t>(std::clamp(int(std::floor(v)), 0, 255)); };
    const double l = 298.0 * (y - 16) + 128;
    const uint32_t r = clip((l + 409.0 * (cr - 128)) / 256);
    const uint32_t g = clip((l - 100.0 * (cb - 128) - 208.0 * (cr - 128)) / 256);
    const uint32_t b = clip((l + 516.0 * (cb - 128)) / 256);
    return 0xFF000000u | r << 16 | g << 8 | b;
}

TEST(MoviePicture, EachFormatMatchesTheFormulaInsideItsRegion)
{
    const uint32_t frameW = 48, frameH = 32;
    std::mt19937 random(7);
    for (th_pixel_fmt format : {TH_PF_420, TH_PF_422, TH_PF_444})
        for (const auto& [x, y, w, h] :
             {std::array<uint32_t, 4>{0, 0, 48, 32}, std::array<uint32_t, 4>{3, 5, 37, 21},
              std::array<uint32_t, 4>{2, 1, 1, 1}})
        {
            const int sx = format == TH_PF_444 ? 0 : 1, sy = format == TH_PF_420 ? 1 : 0;
            std::vector<unsigned char> store[3];
            th_ycbcr_buffer planes;
            for (int p = 0; p < 3; ++p)
            {
                planes[p].width = int(p ? frameW >> sx : frameW);
                planes[p].height = int(p ? frameH >> sy : frameH);
                planes[p].stride = planes[p].width + 5;
                store[p].resize(size_t(planes[p].stride) * planes[p].height);
                for (auto& v : store[p])
                    v = static_cast<unsigned char>(random() & 0xFF);
                planes[p].data = store[p].data();
            }
            const size_t pitch = w + 3;
            std::vector<uint32_t> out(pitch * h, 0x12345678u);
            ConvertMoviePicture(planes, TMoviePictureRegion{format, x, y, w, h}, out.data(), pitch);
            for (uint32_t row = 0; row < h; ++row)
                for (uint32_t col = 0; col < pitch; ++col)
                {
                    const uint32_t fx = x + col, fy = y + row;
                    const uint32_t expected =
                        col >= w ? 0x12345678u
                                 : Reference(store[0][fy * planes[0].stride + fx],
                                             store[1][(fy >> sy) * planes[1].stride + (fx >> sx)],
                                             store[2][(fy >> sy) * planes[2].stride + (fx >> sx)]);
                    ASSERT_EQ(out[row * pitch + col], expected)
                        << "format " << format << " at " << col << "," << row;
                }
        }
}

} // namespace
