// Fuzz target: films over arbitrary bytes: the headers read, every frame decoded to the file's end
// and each new picture converted.
#include "services/movie/movie_decoder.h"
#include "services/movie/movie_picture.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TMovieDecoder decoder;
    TString reason;
    if (!decoder.Open(std::string(reinterpret_cast<const char*>(data), size), reason))
        return 0;
    const th_info& info = decoder.GetInfo();
    std::vector<uint32_t> pixels(size_t(info.pic_width) * info.pic_height);
    // Bounded: a damaged granule may name frames far ahead.
    for (int64_t frame = 0; frame < 256 && !decoder.IsExhausted(); ++frame)
    {
        th_ycbcr_buffer planes;
        if (decoder.DecodeTo(frame) && decoder.GetPicture(planes))
            ConvertMoviePicture(planes,
                                TMoviePictureRegion{info.pixel_fmt, info.pic_x, info.pic_y,
                                                    info.pic_width, info.pic_height},
                                pixels.data(), info.pic_width);
    }
    return 0;
}
