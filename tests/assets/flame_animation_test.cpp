// The menu's flame as the engine meets it: the generated description and sheet read through the
// animated-texture loader, four frames of 48 x 64 side by side, each placed by its top-left corner.
#include "render/sprite_test_support.h"
#include "support/file_layer_fixture.h"

#include "render/sprites/animated_texture.h"

namespace flame_animation_test
{
namespace
{
const std::string kAssets = std::string(MURKWELL_SOURCE_DIR) + "/assets";

class FlameAnimationTest : public rendertest::DisplayTest
{
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        Platform().SetDisplay(800, 600, false, false, false, false);
        ASSERT_TRUE(Platform().IsDisplayReady());
    }
    spritetest::MemoryFiles mFiles;
};
} // namespace

TEST_F(FlameAnimationTest, GeneratedDescriptionGivesFourFramesOverItsSheet)
{
    for (const char* name : {"menu/flame.xml", "menu/flame_sheet.png"})
        mFiles.Add(name, filetest::ReadBytes(kAssets + "/" + name));
    std::shared_ptr<TAnimatedTexture> flame = TAnimatedTexture::Get("menu/flame");
    ASSERT_NE(flame, nullptr) << "run `make assets`\n" << Log();
    const TAnimationDescription& d = flame->GetDescription();
    EXPECT_EQ(d.mSequenceName, "flame");
    EXPECT_EQ(d.mImageName, "flame_sheet.png");
    EXPECT_EQ(d.mImageWidth, 4 * 48);
    EXPECT_EQ(d.mImageHeight, 64);
    ASSERT_EQ(d.mFrameCount, 4);
    for (int32_t i = 0; i < 4; ++i)
    {
        SCOPED_TRACE(i);
        const TAnimationFrame& f = d.mFrames[static_cast<size_t>(i)];
        EXPECT_EQ((std::vector<int32_t>{f.mX, f.mY, f.mW, f.mH, f.mRegX, f.mRegY}),
                  (std::vector<int32_t>{48 * i, 0, 48, 64, 0, 0}));
        EXPECT_EQ(f.mAlpha, 1.0f);
        EXPECT_FALSE(f.HasTransform());
    }
    EXPECT_EQ(Log().find("Animation"), std::string::npos) << Log();
}

} // namespace flame_animation_test
