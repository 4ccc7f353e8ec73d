// The debug PNG writer: a valid file whose stored image data reads back as the surface's pixels.
#include "sys/display/surface.h"
#include "sys/display/presenter/surface_png.h"

#include "support/files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace sys::display;

namespace
{
uint32_t BigEndian(const std::vector<uint8_t>& b, size_t at)
{
    return static_cast<uint32_t>(b[at]) << 24 | static_cast<uint32_t>(b[at + 1]) << 16 |
           static_cast<uint32_t>(b[at + 2]) << 8 | b[at + 3];
}
} // namespace

TEST(SurfacePng, WritesHeaderAndStoredPixels)
{
    auto s = Surface::Create(3, 2, MakePixelFormat(FormatId::R5G6B5));
    ASSERT_TRUE(s);
    s->WriteRaw(0, 0, 0xF800);
    s->WriteRaw(2, 1, 0x001F);
    const testsupport::ScratchFolder scratch{"mw_surface_png"};
    const auto path = scratch.Path() / "surface.png";
    ASSERT_TRUE(SaveSurfacePng(*s, path.string()));
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    std::filesystem::remove(path);
    EXPECT_TRUE(testsupport::TemporaryFilesBeside(path).empty());
    ASSERT_GT(bytes.size(), 60u);
    EXPECT_EQ(bytes[1], 'P');
    EXPECT_EQ(BigEndian(bytes, 8), 13u); // IHDR length
    EXPECT_EQ(BigEndian(bytes, 16), 3u);
    EXPECT_EQ(BigEndian(bytes, 20), 2u);
    EXPECT_EQ(bytes[24], 8);
    EXPECT_EQ(bytes[25], 6);
    // IDAT follows: zlib header (2), one stored block header (5), then rows of 1 + 3 x 4 bytes.
    const size_t idat = 8 + 25;
    ASSERT_EQ(std::string(bytes.begin() + idat + 4, bytes.begin() + idat + 8), "IDAT");
    const size_t data = idat + 8 + 2 + 5;
    EXPECT_EQ(bytes[data], 0);       // filter
    EXPECT_EQ(bytes[data + 1], 248); // red of (0, 0)
    EXPECT_EQ(bytes[data + 4], 255); // alpha
    const size_t last = data + 13 + 1 + 2 * 4;
    EXPECT_EQ(bytes[last], 0);
    EXPECT_EQ(bytes[last + 2], 248); // blue of (2, 1)
}

TEST(SurfacePng, UnwritablePathFails)
{
    auto s = Surface::Create(1, 1, MakePixelFormat(FormatId::A8R8G8B8));
    EXPECT_FALSE(SaveSurfacePng(*s, "/nonexistent-folder/x.png"));
}
