// The texture store's helpers: mask bits, surface sides, and the image-file probe with its
// options and extensions.
#include "render/image_writers.h"

#include "render/textures/texture_helpers.h"

#include <gtest/gtest.h>

using namespace texture_helpers;

TEST(TextureHelpersTest, MaskBits)
{
    EXPECT_EQ(CountBits(0xF800), 5u);
    EXPECT_EQ(CountBits(0xFF000000u), 8u);
    EXPECT_EQ(CountBits(0), 0u);
    EXPECT_EQ(LowestBit(0xF800), 11u);
    EXPECT_EQ(LowestBit(0x000F), 0u);
    EXPECT_EQ(LowestBit(0xFF000000u), 24u);
    EXPECT_EQ(LowestBit(0), 0u);
}

TEST(TextureHelpersTest, NextPowerOfTwoIsAtLeastTwo)
{
    EXPECT_EQ(NextPowerOfTwo(0), 2u);
    EXPECT_EQ(NextPowerOfTwo(1), 2u);
    EXPECT_EQ(NextPowerOfTwo(2), 2u);
    EXPECT_EQ(NextPowerOfTwo(3), 4u);
    EXPECT_EQ(NextPowerOfTwo(300), 512u);
    EXPECT_EQ(NextPowerOfTwo(1024), 1024u);
    EXPECT_EQ(NextPowerOfTwo(1025), 2048u);
    EXPECT_EQ(NextPowerOfTwo(0x80000000u), 0x80000000u);
    EXPECT_EQ(NextPowerOfTwo(0x80000001u), 0u);
}

class TextureFileExistsTest : public imagetest::ImageFileTest
{
};

TEST_F(TextureFileExistsTest, ProbesTheNameThenItsImageExtensionsWithoutOptions)
{
    Serve("images/a.png", "x");
    Serve("images/b.jp2", "x");
    Serve("images/c.jpg", "x");
    Serve("images/plain", "x");
    for (const char* name : {"images/a", "images/b", "images/c", "images/plain", "Images/A.png",
                             "images/a?slow", "images/a.png?alpha,mipmap", "images/b?"})
        EXPECT_TRUE(texture_helpers::FileExists(name)) << name;
    for (const char* name : {"images/d", "images/a.jpg", "images/a.png.png", "?images/a", ""})
        EXPECT_FALSE(texture_helpers::FileExists(name)) << name;
}
