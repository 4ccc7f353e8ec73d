// Textures on the display stand-in: cache keys, extension probing, surface sizes and margins (and
// square-only devices), the 1024 limit and "slow", the automatic mask, locks in place and through
// a converted copy, device loss and restore, created textures' keys, textures without a display,
// drawing texel-exact and mirrored, and bad files.
#include "render/render_test_support.h"

#include "render/image_writers.h"
#include "platform/files/asset_manager.h"
#include "platform/config/config.h"
#include "render/textures/texture.h"

#include <list>

using namespace rendertest;
using namespace sys::display;

namespace
{

// An RGBA PNG whose pixel (x, y) is `colour(x, y)` (0xAARRGGBB).
template <typename F> std::string RgbaPng(uint32_t width, uint32_t height, F colour)
{
    imagetest::PngPlan plan;
    plan.width = width;
    plan.height = height;
    plan.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
        {
            const uint32_t c = colour(x, y);
            plan.samples.insert(plan.samples.end(),
                                {static_cast<uint16_t>((c >> 16) & 0xFF),
                                 static_cast<uint16_t>((c >> 8) & 0xFF),
                                 static_cast<uint16_t>(c & 0xFF), static_cast<uint16_t>(c >> 24)});
        }
    return imagetest::EncodePng(plan);
}

std::string Opaque(uint32_t width, uint32_t height)
{
    return RgbaPng(width, height, [](uint32_t x, uint32_t y) { return 0xFF000000 | x << 8 | y; });
}

class TextureTest : public DisplayTest
{
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        if (mSetDisplay)
        {
            Platform().SetDisplay(800, 600, false, false, false, false);
            ASSERT_TRUE(Platform().IsDisplayReady());
        }
    }
    void TearDown() override
    {
        for (const auto& name : mNames)
            RegisterMemoryFileName(name.c_str(), nullptr, 0);
        DisplayTest::TearDown();
    }
    void Serve(const std::string& name, std::string bytes)
    {
        mFiles.push_back(std::move(bytes));
        mNames.push_back(name);
        RegisterMemoryFileName(name.c_str(), mFiles.back().data(),
                               static_cast<uint32_t>(mFiles.back().size()));
    }
    static std::shared_ptr<Surface> SurfaceOf(const std::shared_ptr<TTexture>& texture)
    {
        return static_cast<TDxTextureData*>(texture->GetData())->GetSurface();
    }

    bool mSetDisplay = true;
    std::list<std::string> mFiles;
    std::vector<std::string> mNames;
};

TEST_F(TextureTest, RequestsShareOneTexturePerKey)
{
    Serve("images/a.png", Opaque(8, 8));
    auto first = TTexture::Get("Images/a.png", 3);
    auto second = TTexture::Get("Images\\a.png", 3);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_STREQ(TTexture::FileKey("Images\\a.png", 3, false).c_str(), "Images/a.png:a:m:tex");
    EXPECT_NE(TTexture::Get("Images/a.png", 0), first);
    EXPECT_STREQ(TTexture::FileKey("ui/cursor.png", 0, true).c_str(), "ui/cursor.png:s:tex");
    EXPECT_TRUE(first->HasAlpha());
    EXPECT_TRUE(first->GetData()->mFlags & kTexMipmaps);
}

TEST_F(TextureTest, ProbingAndTheSizeRules)
{
    Serve("title.jpg",
          imagetest::EncodeJpeg(16, 16, 3, std::vector<uint8_t>(16 * 16 * 3, 90), false));
    auto title = TTexture::Get("title", 0);
    ASSERT_NE(title, nullptr);
    EXPECT_STREQ(title->GetData()->mFileName.c_str(), "title.jpg");
    EXPECT_EQ(TTexture::Get("title.png", 0), nullptr) << "a named extension is not probed";

    Serve("wide.png", Opaque(300, 200));
    auto wide = TTexture::Get("wide.png", 0);
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->GetData()->mSurfaceWidth, 512u);
    EXPECT_EQ(wide->GetData()->mSurfaceHeight, 256u);
    EXPECT_EQ(wide->GetData()->mMarginX, 106);
    EXPECT_EQ(wide->GetData()->mMarginY, 28);
    EXPECT_EQ(wide->GetWidth(), 300u);

    Serve("huge.png", Opaque(1500, 300));
    EXPECT_EQ(TTexture::Get("huge.png", 0), nullptr);
    auto slow = TTexture::Get("huge.png?slow", 0);
    ASSERT_NE(slow, nullptr);
    EXPECT_TRUE(slow->IsPlainSurface());
    EXPECT_EQ(SurfaceOf(slow)->GetWidth(), 2048u);
    EXPECT_EQ(SurfaceOf(slow)->GetHeight(), 512u);
}

TEST_F(TextureTest, OptionsAndAnExplicitMask)
{
    Serve("icon.png", Opaque(8, 8));
    auto simple = TTexture::Get("icon.png?simple", 0);
    ASSERT_NE(simple, nullptr);
    EXPECT_TRUE(simple->IsPlainSurface());
    EXPECT_EQ(SurfaceOf(simple)->GetCaps() & CAPS_OFFSCREENPLAIN, CAPS_OFFSCREENPLAIN);
    auto options = TTexture::Get("icon.png?alpha,mipmap", kTextureNoAlpha);
    ASSERT_NE(options, nullptr);
    EXPECT_TRUE(options->HasAlpha()) << "the option wins over the request";
    EXPECT_GT(SurfaceOf(options)->GetMipLevelCount(), 1u);
    // The image decides: an RGBA PNG has alpha, an RGB one has none.
    EXPECT_TRUE(TTexture::Get("icon.png", 0)->HasAlpha());
    imagetest::PngPlan rgb;
    rgb.width = rgb.height = 2;
    rgb.samples.assign(2 * 2 * 3, 77);
    Serve("rgb.png", imagetest::EncodePng(rgb));
    EXPECT_FALSE(TTexture::Get("rgb.png", 0)->HasAlpha());

    // An explicit mask: its red channel becomes the alpha; a mask name without extension is
    // probed as ".jpg", then ".png".
    Serve("shade.png", RgbaPng(8, 8, [](uint32_t x, uint32_t) { return 0xFF000000u | x << 16; }));
    auto masked = TTexture::GetWithMask("icon.png", "shade", false);
    ASSERT_NE(masked, nullptr);
    EXPECT_STREQ(masked->GetData()->mMaskName.c_str(), "shade.png");
    uint32_t* pixels = nullptr;
    int pitch = 0;
    ASSERT_TRUE(masked->Lock(pixels, pitch));
    EXPECT_EQ(pixels[5] >> 24, 5u);
    masked->Unlock();
    EXPECT_EQ(TTexture::GetWithMask("icon.png", "shade", false), masked);
    EXPECT_EQ(TTexture::GetWithMask("icon.png", "nomask.png", false), nullptr);
}

TEST_F(TextureTest, CopiesAreCutToBothSurfacesAndSizesOutOfReachFail)
{
    auto from = TTexture::Create(8, 8, true);
    auto to = TTexture::Create(8, 8, true);
    SurfaceOf(from)->WritePixel(1, 1, 0xFF102030);
    SurfaceOf(from)->WritePixel(7, 7, 0xFF405060);
    const TRect part(1, 1, 8, 8);
    from->CopyRect(4, 4, &part, to.get()); // reaches past the target: cut
    EXPECT_EQ(SurfaceOf(to)->ReadPixel(4, 4), 0xFF102030u);
    EXPECT_EQ(SurfaceOf(to)->ReadPixel(7, 7), 0u);
    // Without a target the copy goes to the back buffer.
    from->CopyRect(796, 596, nullptr, nullptr);
    EXPECT_EQ(Data().mBackBuffer->ReadPixel(797, 597) & 0xFFFFFF, 0x102030u);
    // Inside a draw block copies are refused.
    ASSERT_TRUE(TRenderer::Instance()->BeginDraw(false));
    from->CopyRect(0, 0, nullptr, to.get());
    TRenderer::Instance()->EndFrame(false);
    EXPECT_EQ(SurfaceOf(to)->ReadPixel(1, 1), 0u);

    EXPECT_EQ(TTexture::Create(0, 0, false), nullptr);
    EXPECT_EQ(TTexture::Create(100000, 4, false), nullptr);
    EXPECT_FALSE(Data().mDxBroken);
}

class SquareDeviceTest : public TextureTest
{
protected:
    DisplayConfig Config() override
    {
        DisplayConfig config = StandardConfig();
        config.mDevices[0].mTriCaps.mTextureCaps |= TEXTURECAPS_SQUAREONLY;
        return config;
    }
};

TEST_F(SquareDeviceTest, ImagesGetSquareSurfacesPlainSurfacesDoNot)
{
    ASSERT_TRUE(Platform().NeedsSquareTextures());
    Serve("wide.png", Opaque(300, 200));
    auto wide = TTexture::Get("wide.png", 0);
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->GetData()->mSurfaceWidth, 512u);
    EXPECT_EQ(wide->GetData()->mSurfaceHeight, 512u);
    EXPECT_EQ(wide->GetData()->mMarginX, 106);
    EXPECT_EQ(wide->GetData()->mMarginY, 156);
    auto created = TTexture::Create(300, 100, false);
    EXPECT_EQ(created->GetData()->mSurfaceWidth, 512u);
    EXPECT_EQ(created->GetData()->mMarginY, 206);
    auto plain = TTexture::GetSimple("wide.png");
    EXPECT_EQ(SurfaceOf(plain)->GetHeight(), 256u);
}

TEST_F(TextureTest, AutomaticMaskOfTheSameBlockSizeGivesAlpha)
{
    SetConfig("automergemask", "1");
    std::vector<uint8_t> grey(8 * 8 * 3, 200);
    Serve("scene.jpg", imagetest::EncodeJpeg(8, 8, 3, grey, false));
    Serve("scene.mask.png",
          RgbaPng(8, 8, [](uint32_t x, uint32_t) { return x < 4 ? 0xFF400000u : 0xFFFF0000u; }));
    auto scene = TTexture::Get("scene.jpg", 0);
    ASSERT_NE(scene, nullptr);
    EXPECT_TRUE(scene->HasAlpha());
    uint32_t* pixels = nullptr;
    int pitch = 0;
    ASSERT_TRUE(scene->Lock(pixels, pitch));
    EXPECT_EQ(pixels[0] >> 24, 0x40u);
    EXPECT_EQ(pixels[7] >> 24, 0xFFu);
    scene->Unlock();

    Serve("other.jpg", imagetest::EncodeJpeg(8, 8, 3, grey, false));
    Serve("other.mask.png", Opaque(16, 16));
    auto other = TTexture::Get("other.jpg", 0);
    ASSERT_TRUE(other->Lock(pixels, pitch));
    EXPECT_EQ(pixels[0] >> 24, 0xFFu) << "a mask of another block size is ignored";
    other->Unlock();
}

TEST_F(TextureTest, LocksInPlaceOrThroughAConvertedCopy)
{
    auto argb = TTexture::Create(16, 16, true);
    ASSERT_NE(argb, nullptr);
    uint32_t* pixels = nullptr;
    int pitch = 0;
    ASSERT_TRUE(argb->Lock(pixels, pitch));
    EXPECT_EQ(static_cast<void*>(pixels), SurfaceOf(argb)->GetBits());
    pixels[1] = 0x80112233;
    argb->Unlock();
    EXPECT_EQ(SurfaceOf(argb)->ReadPixel(1, 0), 0x80112233u);

    // An opaque texture on a 16-bit display is R5G6B5.
    Data().mLowMemoryVideo = true;
    Platform().SetDisplay(800, 600, true, true, false, false);
    auto packed = TTexture::Create(16, 8, false);
    ASSERT_EQ(IdentifyFormat(SurfaceOf(packed)->GetPixelFormat()), FormatId::R5G6B5);
    ASSERT_TRUE(packed->Lock(pixels, pitch));
    EXPECT_NE(static_cast<void*>(pixels), SurfaceOf(packed)->GetBits());
    EXPECT_EQ(pitch, 16);
    EXPECT_EQ(pixels[0], 0xFF000000u) << "cleared, opaque";
    pixels[pitch * 7 + 15] = 0xFFF8FC08;
    packed->Unlock();
    EXPECT_EQ(SurfaceOf(packed)->ReadRaw(15, 7), 0xFFE1u);
}

TEST_F(TextureTest, DeviceLossAndRestore)
{
    Serve("file.png", Opaque(4, 4));
    auto file = TTexture::Get("file.png", 0);
    auto created = TTexture::Create(4, 4, true);
    ASSERT_NE(file, nullptr);
    ASSERT_NE(created, nullptr);
    SurfaceOf(created)->WritePixel(0, 0, 0xFFFFFFFF);
    GetAssetManager()->ReleaseAll();
    EXPECT_EQ(SurfaceOf(file), nullptr);
    EXPECT_EQ(SurfaceOf(created), nullptr);
    EXPECT_EQ(GetConfig("texture_ram_allocated").ToInt(), 0);
    EXPECT_GT(GetConfig("max_texture_ram_allocated").ToInt(), 0);
    GetAssetManager()->RestoreAll();
    ASSERT_NE(SurfaceOf(file), nullptr);
    EXPECT_EQ(SurfaceOf(file)->ReadPixel(3, 2), 0xFF000302u) << "read from the file again";
    ASSERT_NE(SurfaceOf(created), nullptr);
    EXPECT_EQ(SurfaceOf(created)->ReadPixel(0, 0), 0u) << "cleared";

    // A file deleted meanwhile: logged, not broken.
    GetAssetManager()->ReleaseAll();
    RegisterMemoryFileName("file.png", nullptr, 0);
    GetAssetManager()->RestoreAll();
    EXPECT_NE(Log().find("TDxTextureData::Restore: Failed to restore from file file.png."),
              std::string::npos);
    EXPECT_FALSE(Data().mDxBroken);

    // A created texture's key goes with it.
    const TString key = TString::Format(
        "%llx:tex:r", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(created.get())));
    EXPECT_NE(GetAssetManager()->GetAsset(key), nullptr);
    created.reset();
    EXPECT_EQ(GetAssetManager()->GetAsset(key), nullptr);
}

class NoDisplayTextureTest : public TextureTest
{
protected:
    void SetUp() override
    {
        mSetDisplay = false;
        TextureTest::SetUp();
    }
};

TEST_F(NoDisplayTextureTest, TexturesWaitForTheDisplay)
{
    auto created = TTexture::Create(64, 32, true);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(created->GetData()->mSurfaceWidth, 64u);
    Serve("later.png", Opaque(4, 4));
    auto file = TTexture::Get("later.png", 0);
    ASSERT_NE(file, nullptr) << "the size and names are kept";
    EXPECT_EQ(SurfaceOf(file), nullptr);
    Platform().SetDisplay(800, 600, false, false, false, false);
    EXPECT_NE(SurfaceOf(created), nullptr);
    ASSERT_NE(SurfaceOf(file), nullptr);
    EXPECT_EQ(SurfaceOf(file)->ReadPixel(1, 2), 0xFF000102u);
}

TEST_F(TextureTest, DrawsTexelExactAndMirrored)
{
    Serve("marker.png", RgbaPng(4, 2,
                                [](uint32_t x, uint32_t y)
                                { return 0xFF000000u | (x * 60) << 16 | (y * 200) << 8 | 7; }));
    auto marker = TTexture::Get("marker.png", 0);
    ASSERT_NE(marker, nullptr);
    TRenderer* renderer = TRenderer::Instance();
    ASSERT_TRUE(renderer->BeginDraw(false));
    renderer->FillRect(TRect(0, 0, 800, 600), TVec4(0, 0, 0, 1));
    ASSERT_TRUE(renderer->Begin2d());
    renderer->SetTextureFilter(0);
    TDrawSpec spec(TVec2(10, 20));
    spec.mFlags = kDrawOrigin;
    marker->Draw(spec);
    marker->DrawAt(52, 21, 1.0f, 1.0f, 0.0f, kDrawMirrorX); // centred: (50, 20)-(54, 22)
    renderer->End2d();
    renderer->EndFrame(false);
    Surface& back = *Data().mBackBuffer;
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 4; ++x)
        {
            const uint32_t texel = 0xFF000000u | (x * 60) << 16 | (y * 200) << 8 | 7;
            EXPECT_EQ(back.ReadPixel(10 + x, 20 + y) | 0xFF000000u, texel) << x << "," << y;
            EXPECT_EQ(back.ReadPixel(53 - x, 20 + y) | 0xFF000000u, texel) << "mirrored";
        }
    EXPECT_EQ(back.ReadPixel(14, 20) & 0xFFFFFF, 0u);
}

TEST_F(TextureTest, BadFilesGiveAnEmptyTextureAndOneLine)
{
    Serve("broken.png", std::string("\x89PNG\r\n\x1a\n garbage", 17));
    EXPECT_EQ(TTexture::Get("broken.png", 0), nullptr);
    EXPECT_EQ(CountOf(Log(), "broken.png"), 1);
    EXPECT_EQ(TTexture::Get("missing.png", 0), nullptr);
    EXPECT_EQ(CountOf(Log(), "missing.png"), 0) << "a missing file stays silent";
}

} // namespace
