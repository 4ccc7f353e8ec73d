// PNG writing without a compression library: stored deflate blocks inside a zlib stream, with the
// checksums computed here.
#include "sys/display/presenter/surface_png.h"

#include "sys/display/display_log.h"
#include "sys/display/surface.h"
#include "sys/files/paths.h"

#include <array>
#include <cstdio>

namespace sys::display
{
namespace
{
const std::array<uint32_t, 256>& CrcTable()
{
    static const std::array<uint32_t, 256> table = []
    {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n)
        {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

uint32_t Crc(const uint8_t* data, size_t size, uint32_t crc = 0)
{
    crc = ~crc;
    for (size_t i = 0; i < size; ++i)
        crc = CrcTable()[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void PutBigEndian(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v >> 24));
    out.push_back(static_cast<uint8_t>(v >> 16));
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data)
{
    PutBigEndian(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBigEndian(out, Crc(out.data() + start, out.size() - start));
}

bool WriteFileAtomically(const std::vector<uint8_t>& bytes, const std::string& path)
{
    std::string reason;
    if (ReplaceFileWith(path, bytes.data(), bytes.size(), reason))
        return true;
    DisplayLog("Cannot write %s: %s", path.c_str(), reason.c_str());
    return false;
}
} // namespace

std::vector<uint8_t> EncodePng(const uint32_t* pixels, uint32_t width, uint32_t height)
{
    // Filter byte 0 and RGBA bytes per row.
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(height) * (1 + static_cast<size_t>(width) * 4));
    for (uint32_t y = 0; y < height; ++y)
    {
        raw.push_back(0);
        for (uint32_t x = 0; x < width; ++x)
        {
            const uint32_t p = pixels[static_cast<size_t>(y) * width + x];
            raw.push_back(static_cast<uint8_t>(p >> 16));
            raw.push_back(static_cast<uint8_t>(p >> 8));
            raw.push_back(static_cast<uint8_t>(p));
            raw.push_back(static_cast<uint8_t>(p >> 24));
        }
    }
    std::vector<uint8_t> z = {0x78, 0x01};
    size_t pos = 0;
    do
    {
        const size_t n = std::min<size_t>(65535, raw.size() - pos);
        const bool last = pos + n == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(static_cast<uint8_t>(n));
        z.push_back(static_cast<uint8_t>(n >> 8));
        z.push_back(static_cast<uint8_t>(~n));
        z.push_back(static_cast<uint8_t>(~n >> 8));
        z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(pos),
                 raw.begin() + static_cast<std::ptrdiff_t>(pos + n));
        pos += n;
    } while (pos < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw)
    {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    PutBigEndian(z, (b << 16) | a);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> header;
    PutBigEndian(header, width);
    PutBigEndian(header, height);
    header.insert(header.end(), {8, 6, 0, 0, 0}); // 8 bits, RGBA, deflate, no filter, no interlace
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", z);
    PutChunk(png, "IEND", {});
    return png;
}

bool SavePixelsPng(const uint32_t* pixels, uint32_t width, uint32_t height, const std::string& path)
{
    if (pixels == nullptr || width == 0 || height == 0)
        return false;
    return WriteFileAtomically(EncodePng(pixels, width, height), path);
}

bool SaveSurfacePng(const Surface& surface, const std::string& path)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(surface.GetWidth()) * surface.GetHeight());
    for (uint32_t y = 0; y < surface.GetHeight(); ++y)
        for (uint32_t x = 0; x < surface.GetWidth(); ++x)
            pixels[static_cast<size_t>(y) * surface.GetWidth() + x] = surface.ReadPixel(x, y);
    return SavePixelsPng(pixels.data(), surface.GetWidth(), surface.GetHeight(), path);
}

} // namespace sys::display
