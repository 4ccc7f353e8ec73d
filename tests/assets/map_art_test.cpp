// The travel map's generated pictures as the engine meets them: the large map through the JPEG 2000
// decoder, the dot's palette with its transparent entry, and the boat's packed description over
// its two-frame sheet.
#include "render/image_writers.h"
#include "render/sprite_test_support.h"
#include "support/file_layer_fixture.h"

#include "render/sprites/animated_texture.h"
#include "render/textures/image_decoders.h"

namespace map_art_test
{
namespace
{
const std::string kAssets = std::string(MURKWELL_SOURCE_DIR) + "/assets";

class MapArtTest : public rendertest::DisplayTest
{
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        Platform().SetDisplay(800, 600, false, false, false, false);
        ASSERT_TRUE(Platform().IsDisplayReady());
        for (const char* name : {"map/large.jp2", "map/dot.png", "map/boat.xml", "map/boat.png"})
            mFiles.Add(name, filetest::ReadBytes(kAssets + "/" + name));
    }
    spritetest::MemoryFiles mFiles;
};
} // namespace

TEST_F(MapArtTest, LargeMapAndDotDecodeThroughTheirOwnPaths)
{
    uint8_t* pixels = nullptr;
    uint32_t w = 0, h = 0, side = 0;
    bool alpha = true;
    ASSERT_TRUE(Jp2Load("map/large.jp2", pixels, w, h, side, alpha))
        << "run `make assets`: " << GetImageDecodeError().c_str();
    EXPECT_EQ(w, 1024u);
    EXPECT_EQ(h, 768u);
    EXPECT_FALSE(alpha);
    FreeJp2Pixels(pixels);

    int channels = 0;
    ASSERT_TRUE(PngLoad("map/dot.png", pixels, w, h, side, channels, alpha));
    EXPECT_EQ(w, 16u);
    EXPECT_TRUE(alpha) << "the palette's transparency chunk";
    // The corner is the transparent entry, the middle the opaque disc.
    EXPECT_EQ(imagetest::PixelAt(pixels, side, 0, 0) >> 24, 0u);
    EXPECT_EQ(imagetest::PixelAt(pixels, side, 8, 10) >> 24, 0xFFu);
    FreePngPixels(pixels);
}

TEST_F(MapArtTest, PackedBoatDescriptionGivesTwoFramesOverItsSheet)
{
    EXPECT_EQ(filetest::ReadBytes(kAssets + "/map/boat.xml").substr(0, 4), "ZXML");
    std::shared_ptr<TAnimatedTexture> boat = TAnimatedTexture::Get("map/boat");
    ASSERT_NE(boat, nullptr) << Log();
    const TAnimationDescription& d = boat->GetDescription();
    EXPECT_EQ(d.mSequenceName, "boat");
    EXPECT_EQ(d.mImageWidth, 2 * 96);
    EXPECT_EQ(d.mImageHeight, 64);
    ASSERT_EQ(d.mFrameCount, 2);
    EXPECT_EQ(d.mFrames[1].mX, 96);
    EXPECT_EQ(boat->GetWidth(), 96u);
}

} // namespace map_art_test
