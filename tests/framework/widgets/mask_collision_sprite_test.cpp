// The mask sprite on textures the tests fill: which texels are solid, the rotated and scaled copy
// against the mapping computed here, the overlap scan, the glow ring and each failure.
#include "framework/widgets/mask_collision_sprite.h"

#include "render/render_test_support.h"
#include "framework/core/frame_services.h"
#include "render/sprites/animated_texture.h"
#include "render/textures/texture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace
{

using Fill = std::function<uint32_t(int x, int y)>;

void Paint(TTexture& texture, int width, int height, const Fill& fill)
{
    uint32_t* texels = nullptr;
    int pitch = 0;
    ASSERT_TRUE(texture.Lock(texels, pitch));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            texels[y * pitch + x] = fill(x, y);
    texture.Unlock();
}

std::shared_ptr<TTexture> MakeTexture(int width, int height, const Fill& fill)
{
    auto texture = TTexture::Create(width, height, true);
    if (texture)
        Paint(*texture, width, height, fill);
    return texture;
}

// A sheet with one frame at `frame`.
std::shared_ptr<TAnimatedTexture> MakeSheet(int width, int height, const TRect& frame,
                                            const Fill& fill)
{
    auto sheet = std::make_shared<TAnimatedTexture>();
    sheet->GetData()->mFlags = kTexAlpha | kTexCreated;
    if (!sheet->GetData()->Create(width, height, true))
        return nullptr;
    Paint(*sheet, width, height, fill);
    TAnimationFrame record;
    record.mX = frame.left;
    record.mY = frame.top;
    record.mW = frame.Width();
    record.mH = frame.Height();
    sheet->GetDescription().mFrames.push_back(record);
    sheet->GetDescription().mFrameCount = 1;
    return sheet;
}

const Fill kSolid = [](int, int) { return 0xFF808080u; };

std::vector<uint8_t> Bytes(const MaskCollisionSprite& sprite)
{
    const uint8_t* mask = sprite.GetMask();
    if (mask == nullptr)
        return {};
    return std::vector<uint8_t>(mask, mask + size_t(sprite.GetMaskWidth()) *
                                                 size_t(sprite.GetMaskHeight()));
}

TDrawSpec Placed(float x, float y, float angle = 0.0f, float scale = 1.0f)
{
    TDrawSpec spec(TVec2(x, y));
    spec.mMatrix.Rotate(angle);
    spec.mMatrix.Scale(scale);
    return spec;
}

class MaskSpriteTest : public rendertest::DisplayTest
{
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        Platform().SetDisplay(800, 600, false, false, false, false);
        ASSERT_TRUE(Platform().IsDisplayReady());
        ProbeColorShifts();
    }
    std::shared_ptr<MaskCollisionSprite> Sprite(int width, int height, const Fill& fill)
    {
        auto sprite = MaskCollisionSprite::Create();
        EXPECT_TRUE(sprite->CreateMask(MakeTexture(width, height, fill)));
        return sprite;
    }
};

TEST_F(MaskSpriteTest, AnyNonZeroTexelIsSolidAndReleaseClearsEverything)
{
    // A colour without alpha counts as much as an opaque texel.
    auto sprite =
        Sprite(5, 3,
               [](int x, int y) {
                   return x == 1 && y == 0 ? 0x00000001u : x == 4 && y == 2 ? 0xFF000000u : 0u;
               });
    EXPECT_STREQ(sprite->GetClassName(), "MaskCollisionSprite");
    EXPECT_TRUE(sprite->IsKindOf(TSprite::GetClassId()));
    ASSERT_EQ(sprite->GetBaseWidth(), 5);
    ASSERT_EQ(sprite->GetBaseHeight(), 3);
    EXPECT_EQ(sprite->GetMask(), sprite->GetBaseMask());
    EXPECT_EQ(sprite->GetMaskScale(), 1.0f);
    EXPECT_EQ(sprite->GetMaskAngle(), 0.0f);
    std::vector<uint8_t> expected(15, 0);
    expected[1] = 1;
    expected[14] = 1;
    EXPECT_EQ(Bytes(*sprite), expected);
    ASSERT_NE(sprite->GetTexture(), nullptr);

    sprite->ReleaseMasks();
    EXPECT_EQ(sprite->GetTexture(), nullptr);
    EXPECT_EQ(sprite->GetMask(), nullptr);
    EXPECT_EQ(sprite->GetBaseMask(), nullptr);
}

TEST_F(MaskSpriteTest, TransformedMaskFollowsTheMappingAndIsRebuiltOnlyOnChange)
{
    // An L shape, so a rotation or a flip would show.
    auto sprite = Sprite(9, 6, [](int x, int y) { return (x < 3 || y >= 4) ? 0xFF0000FFu : 0u; });
    const std::vector<uint8_t> base = Bytes(*sprite);
    for (const auto& [angle, scale] : {std::pair{0.5f, 1.0f}, {-2.0f, 1.5f}, {0.0f, 0.5f}})
    {
        const TDrawSpec parent = Placed(100, 50, angle, scale);
        sprite->UpdateTransformedMask(parent);

        // The copy, byte by byte, from the mapping of rotated corners and truncated sources.
        const TDrawSpec spec = sprite->GetSpec().Combine(parent);
        const TVec2 d = TransformVector(TVec2(1, 0), spec.mMatrix);
        const float theta = std::atan2(d.y, d.x);
        const float s = (spec.mMatrix * MakeRotationMatrix(-theta)).m[0][0];
        TRect bounds;
        sprite->GetBounds(bounds, parent, -1);
        const float c = std::cos(theta), n = std::sin(theta), bw = 9, bh = 6;
        const float minX = std::min({0.0f, bw * c, -bh * n, bw * c - bh * n});
        const float minY = std::min({0.0f, bw * n, bh * c, bw * n + bh * c});
        std::vector<uint8_t> expected;
        for (int y = 0; y < bounds.Height(); ++y)
            for (int x = 0; x < bounds.Width(); ++x)
            {
                const float X = float(x) + minX * s, Y = float(y) + minY * s;
                const double sx = std::trunc((X * c + Y * n) / s);
                const double sy = std::trunc((Y * c - X * n) / s);
                expected.push_back(
                    sx >= 0 && sx < 9 && sy >= 0 && sy < 6 ? base[size_t(sy) * 9 + size_t(sx)] : 0);
            }
        EXPECT_EQ(sprite->GetMaskWidth(), bounds.Width()) << angle;
        EXPECT_EQ(sprite->GetMaskHeight(), bounds.Height()) << angle;
        EXPECT_EQ(sprite->GetMaskAngle(), theta);
        EXPECT_EQ(sprite->GetMaskScale(), s);
        EXPECT_EQ(Bytes(*sprite), expected) << angle << " " << scale;
        EXPECT_GT(std::count(expected.begin(), expected.end(), 1), 5);
    }
    EXPECT_EQ(sprite->GetTransformBuilds(), 3u);

    // The same angle and scale elsewhere on the screen: no rebuild.
    sprite->UpdateTransformedMask(Placed(7, 9, 0.0f, 0.5f));
    EXPECT_EQ(sprite->GetTransformBuilds(), 3u);
    // Unrotated at scale 1: the base mask again, shared.
    sprite->UpdateTransformedMask(Placed(7, 9));
    EXPECT_EQ(sprite->GetMask(), sprite->GetBaseMask());
    EXPECT_EQ(sprite->GetMaskWidth(), 9);
    EXPECT_EQ(sprite->GetTransformBuilds(), 3u);
}

TEST_F(MaskSpriteTest, DegenerateTransformsGiveAnEmptyMask)
{
    auto sprite = Sprite(4, 4, kSolid);
    auto other = Sprite(4, 4, kSolid);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float scale : {0.0f, nan, inf, 1e-30f, 1e5f})
    {
        TDrawSpec parent(TVec2(10, 10));
        parent.mMatrix.m[0][0] = parent.mMatrix.m[1][1] = scale;
        sprite->UpdateTransformedMask(parent);
        EXPECT_EQ(sprite->GetMask(), nullptr) << scale;
        EXPECT_EQ(sprite->GetMaskWidth() * sprite->GetMaskHeight(), 0) << scale;
        EXPECT_FALSE(sprite->CollidesWith(parent, TDrawSpec(TVec2(10, 10)), other)) << scale;
    }
    // A sprite with no texture has bounds of no area.
    sprite->ReleaseMasks();
    sprite->UpdateTransformedMask(Placed(0, 0, 1.0f));
    EXPECT_EQ(sprite->GetMask(), nullptr);
}

TEST_F(MaskSpriteTest, CollisionsTouchingSeparatedRotatedAndWithChildren)
{
    // Sprites are drawn centred on their position: 8 x 8 at (4, 4) covers 0..8.
    auto a = Sprite(8, 8, kSolid);
    auto b = Sprite(8, 8, kSolid);
    EXPECT_TRUE(a->CollidesWith(Placed(4, 4), Placed(10, 4), b));
    EXPECT_FALSE(a->CollidesWith(Placed(4, 4), Placed(10, 4), MaskCollisionSprite::Create()));

    // Rotated a quarter turn, bounds that touch along an edge go on to the scan (the masks are
    // rebuilt); one texel apart they do not.
    const float quarter = 1.5707964f;
    EXPECT_FALSE(a->CollidesWith(Placed(4, 4, quarter), Placed(12, 4, quarter), b));
    EXPECT_EQ(a->GetTransformBuilds(), 1u);
    EXPECT_FALSE(a->CollidesWith(Placed(4, 4, 0.3f), Placed(40, 4, 0.3f), b));
    EXPECT_EQ(a->GetTransformBuilds(), 1u);

    // Two diamonds whose bounds overlap at a corner but whose shapes do not; closer, they meet.
    const float eighth = 0.7853982f;
    EXPECT_FALSE(a->CollidesWith(Placed(10, 10, eighth), Placed(20, 20, eighth), b));
    EXPECT_TRUE(a->CollidesWith(Placed(10, 10, eighth), Placed(14, 14, eighth), b));

    // Solid halves that face away from each other inside overlapping bounds.
    auto left = Sprite(8, 8, [](int x, int) { return x < 4 ? 0xFFFFFFFFu : 0u; });
    auto right = Sprite(8, 8, [](int x, int) { return x >= 4 ? 0xFFFFFFFFu : 0u; });
    EXPECT_FALSE(left->CollidesWith(Placed(4, 4), Placed(6, 4), right));
    EXPECT_TRUE(right->CollidesWith(Placed(4, 4), Placed(6, 4), left));

    // A child far to the right widens the bounds past the mask: the scan stays inside the masks.
    auto parent = Sprite(8, 8, kSolid);
    auto child = TSprite::Create(0, MakeTexture(8, 8, kSolid));
    child->GetSpec().mMatrix.m[2][0] = 200;
    parent->AddChild(child);
    auto tall = Sprite(4, 64, kSolid);
    EXPECT_FALSE(parent->CollidesWith(Placed(4, 4), Placed(206, 20), tall));
    EXPECT_FALSE(tall->CollidesWith(Placed(206, 20), Placed(4, 4), parent));
}

TEST_F(MaskSpriteTest, HiliteIsARingOfFallingGlowAroundAnOpaqueFrame)
{
    // A 12 x 10 opaque frame at (4, 2) of a 20 x 16 sheet whose other texels are opaque too.
    const TRect frame(4, 2, 16, 12);
    auto sheet = MakeSheet(20, 16, frame, [](int, int) { return 0xFFC03020u; });
    ASSERT_NE(sheet, nullptr);
    auto sprite = MaskCollisionSprite::Create();
    std::shared_ptr<TTexture> out;
    ASSERT_TRUE(sprite->CreateMaskAnimated(out, 0, TColor(0x55, 0xAA, 0x11, 0x80),
                                           MakeTexture(12, 10, kSolid), sheet));
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out, sprite->GetHilite());
    ASSERT_EQ(out->GetWidth(), 28u);
    ASSERT_EQ(out->GetHeight(), 26u);
    EXPECT_NE(sprite->GetBaseMask(), nullptr);

    uint32_t* texels = nullptr;
    int pitch = 0;
    ASSERT_TRUE(out->Lock(texels, pitch));
    auto at = [&](int x, int y) { return texels[y * pitch + x]; };
    int glowing = 0;
    for (int y = 0; y < 26; ++y)
        for (int x = 0; x < 28; ++x)
        {
            const bool outer = x < 4 || y < 4 || x >= 24 || y >= 22;
            const bool inner = x >= 8 && x < 20 && y >= 8 && y < 18;
            if (outer || inner)
                EXPECT_EQ(at(x, y), 0u) << x << "," << y;
            else if (at(x, y) != 0)
            {
                ++glowing;
                EXPECT_EQ(at(x, y) & 0x00FFFFFFu, 0x55AA11u) << x << "," << y;
            }
        }
    EXPECT_GT(glowing, 100);
    // Along the middle row, the glow falls off outward.
    for (int x = 4; x < 7; ++x)
        EXPECT_LT(at(x, 13) >> 24, at(x + 1, 13) >> 24) << x;
    out->Unlock();
}

TEST_F(MaskSpriteTest, HiliteFillWritesEveryTexelWhateverTheTextureHeld)
{
    // A 2 x 1 frame, one opaque and one half-transparent texel, into a texture full of junk.
    const uint32_t image[2] = {0xFF102030u, 0x80405060u};
    std::vector<uint32_t> hilite(18 * 17 + 5, 0xDEADBEEFu);
    MaskCollisionSprite::FillHilite(hilite.data(), 18, image, 2, TRect(0, 0, 2, 1), 0x11223344u);
    auto at = [&](int x, int y) { return hilite[size_t(y) * 18 + size_t(x)]; };
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 18; ++x)
        {
            const bool glow = x >= 4 && x < 14 && y >= 4 && y < 13;
            if (!glow || (x == 8 && y == 8))
                EXPECT_EQ(at(x, y), 0u) << x << "," << y;
            else
                EXPECT_EQ(at(x, y) & 0x00FFFFFFu, 0x223344u) << x << "," << y;
        }
    // The half-transparent texel is not hollowed: the glow shows through it.
    EXPECT_GT(at(9, 8) >> 24, 0u);
    // The first glow texel sees only the opaque texel in its block: 255 / 81, truncated.
    EXPECT_EQ(at(4, 4) >> 24, 3u);
    EXPECT_EQ(hilite[18 * 17], 0xDEADBEEFu);
}

TEST_F(MaskSpriteTest, FailuresAreReportedAndLeaveASafeState)
{
    auto sprite = MaskCollisionSprite::Create();
    auto other = Sprite(4, 4, kSolid);
    EXPECT_FALSE(sprite->CreateMask(nullptr));
    EXPECT_EQ(rendertest::CountOf(Log(), "ERROR:Invalid param   FILE:maskcollisionsprite"), 1);

    // A texture already locked cannot be locked again: the texture is set, the mask is not.
    auto locked = MakeTexture(4, 4, kSolid);
    uint32_t* texels = nullptr;
    int pitch = 0;
    ASSERT_TRUE(locked->Lock(texels, pitch));
    EXPECT_FALSE(sprite->CreateMask(locked));
    locked->Unlock();
    EXPECT_EQ(rendertest::CountOf(Log(), "ERROR:Failed to lock texture"), 1);
    EXPECT_EQ(sprite->GetTexture(), locked);
    EXPECT_EQ(sprite->GetBaseMask(), nullptr);
    EXPECT_FALSE(sprite->CollidesWith(Placed(2, 2), Placed(2, 2), other));

    std::shared_ptr<TTexture> out;
    EXPECT_FALSE(sprite->CreateMaskAnimated(out, 0, TColor(0xFFFFFFFFu), MakeTexture(4, 4, kSolid),
                                            nullptr));
    EXPECT_EQ(rendertest::CountOf(Log(), "ERROR:Invalid param"), 2);
    EXPECT_NE(sprite->GetBaseMask(), nullptr);

    auto sheet = MakeSheet(8, 8, TRect(0, 0, 8, 8), kSolid);
    ASSERT_TRUE(sheet->Lock(texels, pitch));
    EXPECT_FALSE(sprite->CreateMaskAnimated(out, 0, TColor(0u), MakeTexture(4, 4, kSolid), sheet));
    sheet->Unlock();
    EXPECT_EQ(rendertest::CountOf(Log(), "ERROR:Failed to lock animatedTexture"), 1);

    // Without a device a new texture gets no surface until the next restore: the glow texture
    // cannot be locked.
    auto mask = MakeTexture(4, 4, kSolid);
    auto device = Data().mDevice;
    Data().mDevice = nullptr;
    const bool made = sprite->CreateMaskAnimated(out, 0, TColor(0u), mask, sheet);
    Data().mDevice = device;
    EXPECT_FALSE(made);
    EXPECT_EQ(rendertest::CountOf(Log(), "ERROR:Failed to lock hilite texture"), 1);
    EXPECT_NE(sprite->GetHilite(), nullptr);
    EXPECT_EQ(out, nullptr);
    sprite->ReleaseMasks();

    // Frames that reach outside the sheet are refused before anything is read or made.
    for (const TRect& bad :
         {TRect(4, 0, 12, 8), TRect(-1, 0, 4, 4), TRect(0, 6, 4, 9), TRect(4, 4, 2, 6)})
    {
        sheet->GetDescription().mFrames[0].mX = bad.left;
        sheet->GetDescription().mFrames[0].mY = bad.top;
        sheet->GetDescription().mFrames[0].mW = bad.Width();
        sheet->GetDescription().mFrames[0].mH = bad.Height();
        EXPECT_FALSE(
            sprite->CreateMaskAnimated(out, 0, TColor(0u), MakeTexture(4, 4, kSolid), sheet));
    }
    EXPECT_EQ(rendertest::CountOf(Log(), "ERROR:Invalid param"), 6);
    EXPECT_EQ(out, nullptr);
    // The sheet was unlocked each time.
    ASSERT_TRUE(sheet->Lock(texels, pitch));
    sheet->Unlock();
}

} // namespace
