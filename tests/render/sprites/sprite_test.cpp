// Sprite trees: the combine rules, layer order, parenting, bounds, the counter, hit tests through
// the small alpha target (thresholds, the 16-bit rule) and a golden picture of a small tree.
#include "render/sprite_test_support.h"

#include "platform/config/config.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/script.h"

using namespace rendertest;
using namespace spritetest;

namespace
{
// Records each draw with its name and the spec it received.
struct DrawRecord
{
    std::string name;
    TDrawSpec spec;
};
std::vector<DrawRecord> gDraws;

class RecordingTexture : public TTexture
{
public:
    RecordingTexture(std::string name, uint32_t w, uint32_t h)
        : mName(std::move(name)), mW(w), mH(h)
    {
    }
    void Draw(const TDrawSpec& spec) override { gDraws.push_back({mName, spec}); }
    uint32_t GetWidth() const override { return mW; }
    uint32_t GetHeight() const override { return mH; }

private:
    std::string mName;
    uint32_t mW, mH;
};

std::shared_ptr<TSprite> Named(const std::string& name, int32_t layer, uint32_t w = 10,
                               uint32_t h = 10)
{
    return TSprite::Create(layer, std::make_shared<RecordingTexture>(name, w, h));
}

std::string DrawOrder()
{
    std::string order;
    for (const auto& d : gDraws)
        order += d.name + " ";
    return order;
}
} // namespace

TEST(SpriteTest, CombineMultipliesChildFirstTogglesMirrorsAndInheritsBlend)
{
    TDrawSpec parent(TVec2(100, 50), 0.5f, 2.0f, kDrawMirrorX | kDrawSourceRect | kDrawOrigin);
    parent.mBlendMode = 0;
    parent.mColor = TVec4(0, 0, 0, 0);
    TDrawSpec child(TVec2(10, 0), 0.5f, 1.0f, kDrawMirrorX | kDrawMirrorY);
    child.mOrigin = TVec2(3, 4);
    const TDrawSpec combined = child.Combine(parent);
    // The child's offset is scaled by the parent and then moved: (100 + 2 * 10, 50).
    EXPECT_EQ(TVec2(0, 0) * combined.mMatrix, TVec2(120, 50));
    EXPECT_EQ(combined.mMatrix.m[0][0], 2.0f);
    EXPECT_EQ(combined.mAlpha, 0.25f);
    EXPECT_EQ(combined.mFlags, static_cast<uint32_t>(kDrawMirrorY)); // bits 2, 3 not inherited
    EXPECT_EQ(combined.mBlendMode, 0);
    EXPECT_EQ(combined.mColor, TVec4(1, 1, 1, 1));
    EXPECT_EQ(combined.mOrigin, TVec2(3, 4));
    child.mBlendMode = 2;
    EXPECT_EQ(child.Combine(parent).mBlendMode, 2);
}

TEST(SpriteTest, LayerOrderParentingAndTheCounter)
{
    const int before = TSprite::GetSpriteCount();
    {
        auto root = Named("root", 0);
        EXPECT_EQ(GetConfig("current_sprite_count"), TString::Format("%d", before + 1).c_str());
        auto behind = Named("behind", -5);
        auto front = Named("front", 0);
        auto top = Named("top", 3);
        root->AddChild(top);
        root->AddChild(front);
        root->AddChild(behind);
        root->AddChild(front); // twice: one entry
        EXPECT_EQ(root->GetChildren().size(), 3u);
        gDraws.clear();
        root->Draw(TDrawSpec());
        EXPECT_EQ(DrawOrder(), "behind root front top ");

        front->SetLayer(7); // re-sorted by the parent
        gDraws.clear();
        root->Draw(TDrawSpec());
        EXPECT_EQ(DrawOrder(), "behind root top front ");
        gDraws.clear();
        root->Draw(TDrawSpec(), 0); // depth 0: the sprite alone
        EXPECT_EQ(DrawOrder(), "root ");

        // Moving a child to another parent takes it from the first.
        auto other = Named("other", 0);
        other->AddChild(top);
        EXPECT_EQ(top->GetParent(), other.get());
        EXPECT_EQ(root->GetChildren().size(), 2u);
        EXPECT_FALSE(root->RemoveChild(top));
        EXPECT_TRUE(other->RemoveChild(top));
        EXPECT_EQ(top->GetParent(), nullptr);

        behind->SetVisible(false);
        gDraws.clear();
        root->Draw(TDrawSpec());
        EXPECT_EQ(DrawOrder(), "root front ");
        root->RemoveAllChildren();
        EXPECT_EQ(front->GetParent(), nullptr);
        EXPECT_EQ(TSprite::GetSpriteCount(), before + 5);
    }
    EXPECT_EQ(TSprite::GetSpriteCount(), before);
    EXPECT_EQ(GetConfig("current_sprite_count"), TString::Format("%d", before).c_str());
}

TEST(SpriteTest, MirrorsToggleDownTheTree)
{
    auto parent = Named("p", 0);
    auto child = Named("c", 0);
    parent->GetSpec().mFlags = kDrawMirrorX;
    child->GetSpec().mFlags = kDrawMirrorX;
    parent->AddChild(child);
    gDraws.clear();
    parent->Draw(TDrawSpec());
    ASSERT_EQ(gDraws.size(), 2u);
    EXPECT_EQ(gDraws[0].spec.mFlags, static_cast<uint32_t>(kDrawMirrorX));
    EXPECT_EQ(gDraws[1].spec.mFlags, 0u);
}

TEST(SpriteTest, BoundsCentredWithOriginEmptyAndJoined)
{
    auto sprite = Named("s", 0, 10, 6);
    TRect box;
    sprite->GetBounds(box, TDrawSpec(TVec2(100, 100)));
    EXPECT_EQ(box, TRect(95, 97, 105, 103));
    sprite->GetSpec().mFlags = kDrawOrigin;
    sprite->GetSpec().mOrigin = TVec2(2, 1);
    sprite->GetBounds(box, TDrawSpec(TVec2(100, 100), 1, 2));
    EXPECT_EQ(box, TRect(96, 98, 116, 110));
    // Truncated toward zero, on both sides of 0.
    sprite->GetBounds(box, TDrawSpec(TVec2(-0.5f, 0.5f)));
    EXPECT_EQ(box, TRect(-2, 0, 7, 5));
    // A source rectangle away from (0, 0) gives its own width and height.
    sprite->GetSpec().mFlags = kDrawSourceRect;
    sprite->GetSpec().mSourceRect = TRect(4, 2, 8, 10);
    sprite->GetBounds(box, TDrawSpec());
    EXPECT_EQ(box, TRect(-2, -4, 2, 4));

    auto empty = TSprite::Create(0);
    empty->GetBounds(box, TDrawSpec());
    EXPECT_EQ(box, TRect(10000000, 10000000, -10000000, -10000000));
    auto child = Named("c", 1, 4, 4);
    child->GetSpec() = TDrawSpec(TVec2(50, 60));
    empty->AddChild(child);
    empty->GetBounds(box, TDrawSpec(TVec2(1, 1)));
    EXPECT_EQ(box, TRect(49, 59, 53, 63));
    empty->GetBounds(box, TDrawSpec(), 0);
    EXPECT_EQ(box, TRect(10000000, 10000000, -10000000, -10000000));
}

class SpriteDrawTest : public OpenDisplayTest
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenDisplayTest::SetUp());
        mFiles.Add("sheet.png", MakeSheetPng());
        mSheet = TTexture::Get("sheet.png", 0);
        ASSERT_NE(mSheet, nullptr);
    }
    void TearDown() override
    {
        mSheet.reset();
        DisplayTest::TearDown();
    }
    // A 4 x 4 image of alpha 245 throughout.
    std::shared_ptr<TTexture> Veil()
    {
        imagetest::PngPlan plan;
        plan.width = plan.height = 4;
        plan.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
        for (int i = 0; i < 16; ++i)
            plan.samples.insert(plan.samples.end(), {90, 90, 90, 245});
        mFiles.Add("veil.png", imagetest::EncodePng(plan));
        return TTexture::Get("veil.png", 0);
    }

    MemoryFiles mFiles;
    std::shared_ptr<TTexture> mSheet;
};

class SixteenBitSpriteTest : public SpriteDrawTest
{
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        mRenderer = TRenderer::Instance();
        Data().mLowMemoryVideo = true;
        Platform().SetDisplay(800, 600, true, false, false, false);
        ASSERT_EQ(Data().mBitDepth, 16);
    }
};

// Five bits of red keep 240 of 245: thresholds above 240 are lowered to 240 so that opaque
// enough texels still hit.
TEST_F(SixteenBitSpriteTest, ThresholdsAbove240LoseTheirLowBits)
{
    auto veil = TSprite::Create(0, Veil());
    const TDrawSpec at(TVec2(100, 100));
    EXPECT_TRUE(veil->HitTest(TVec2(100, 100), at, 250));
    EXPECT_TRUE(veil->HitTest(TVec2(100, 100), at, 240));
}

// The hit test draws in 2-D into its own small target: the screen's depth buffer, which the
// frame's 3-D draws rely on, is neither read nor cleared.
TEST_F(SpriteDrawTest, AHitTestLeavesTheScreensDepthUntouched)
{
    std::shared_ptr<sys::display::Surface> depth;
    ASSERT_EQ(Data().mBackBuffer->GetAttachedSurface(sys::display::CAPS_ZBUFFER, &depth),
              sys::display::Result::Ok);
    ASSERT_EQ(Data().mDevice->Clear(0, nullptr, sys::display::CLEAR_ZBUFFER, 0, 0.25f, 0),
              sys::display::Result::Ok);
    auto sprite = TSprite::Create(0, mSheet);
    EXPECT_TRUE(sprite->HitTest(TVec2(95, 100), TDrawSpec(TVec2(100, 100)), 128));
    int changed = 0;
    for (uint32_t y = 0; y < 600; ++y)
        for (uint32_t x = 0; x < 800; ++x)
            changed += depth->ReadRaw(x, y) != 0x4000u;
    EXPECT_EQ(changed, 0);
}

TEST_F(SpriteDrawTest, HitTestsOverTransparentAndOpaqueTexels)
{
    // The 32 x 16 sheet centred on (100, 100): x 84..115, the transparent band at 84..87.
    auto sprite = TSprite::Create(0, mSheet);
    const TDrawSpec at(TVec2(100, 100));
    EXPECT_TRUE(sprite->HitTest(TVec2(85, 100), at, -1));   // the bounds alone
    EXPECT_FALSE(sprite->HitTest(TVec2(85, 100), at, 128)); // transparent texel
    EXPECT_TRUE(sprite->HitTest(TVec2(95, 100), at, 128));  // opaque
    EXPECT_TRUE(sprite->HitTest(TVec2(95, 100), at, 255));
    EXPECT_FALSE(sprite->HitTest(TVec2(116, 100), at, -1)); // right edge exclusive
    EXPECT_TRUE(sprite->HitTest(TVec2(84, 92), at, -1));    // left and top inclusive
    EXPECT_FALSE(sprite->HitTest(TVec2(84, 91), at, -1));

    // A texel of alpha 245 reaches 245 but not 250.
    auto veil = TSprite::Create(0, Veil());
    EXPECT_TRUE(veil->HitTest(TVec2(100, 100), at, 245));
    EXPECT_FALSE(veil->HitTest(TVec2(100, 100), at, 250));

    // Without a texture only "hittestchildren" lets the children answer.
    auto holder = TSprite::Create(0);
    holder->AddChild(TSprite::Create(0, mSheet));
    EXPECT_FALSE(holder->HitTest(TVec2(100, 100), at, -1));
    SetConfig("hittestchildren", "1");
    EXPECT_TRUE(holder->HitTest(TVec2(100, 100), at, -1));
    SetConfig("hittestchildren", "");
    holder->SetVisible(false);
    EXPECT_FALSE(holder->HitTest(TVec2(100, 100), at, -1));
}

TEST_F(SpriteDrawTest, GoldenTreeWithMirroredFadedAndBlendedChildren)
{
    auto root = TSprite::Create(0, mSheet);
    root->GetSpec() = TDrawSpec(TVec2(40, 24));
    auto mirrored = TSprite::Create(1, mSheet);
    mirrored->GetSpec() = TDrawSpec(TVec2(36, 0), 1, 1, kDrawMirrorX | kDrawMirrorY);
    auto faded = TSprite::Create(-1, mSheet);
    faded->GetSpec() = TDrawSpec(TVec2(12, 10), 0.4f, 1.5f);
    auto blended = TSprite::Create(2, mSheet);
    blended->GetSpec() = TDrawSpec(TVec2(72, 4));
    blended->GetSpec().mBlendMode = 2;
    blended->GetSpec().mMatrix.Rotate(0.3f);
    root->AddChild(blended);
    root->AddChild(mirrored);
    root->AddChild(faded);
    mirrored->AddChild(TSprite::Create(0, mSheet)); // mirrored twice: upright
    mirrored->GetChildren()[0]->GetSpec() = TDrawSpec(TVec2(0, 18), 1, 0.5f);

    ASSERT_TRUE(mRenderer->BeginDraw(false));
    mRenderer->FillRect(TRect(0, 0, 800, 600), TVec4(0.2f, 0.3f, 0.1f, 1));
    ASSERT_TRUE(mRenderer->Begin2d());
    mRenderer->SetTextureFilter(0);
    root->Draw(TDrawSpec());
    mRenderer->End2d();
    mRenderer->EndFrame(false);
    CompareWithGolden(*Data().mBackBuffer, sys::display::Rect{0, 0, 144, 56}, "sprite_tree.png");
}

// The running script of each slot is deleted; a pending one the application gives up from its
// idle list takes its place; the pending slots are cleared and the rates reset either way.
TEST_F(SpriteDrawTest, ShiftingAnimationTasks)
{
    TAnimationFrameState state;
    auto* pending = new TScript();
    mApp->AddTask(pending);
    auto* unlisted = new TScript();
    state.mSlots[0] = {new TScript(), pending, 2.5f};
    state.mSlots[1] = {nullptr, unlisted, 0.5f};
    ShiftAnimationTasks(state);
    EXPECT_EQ(state.mSlots[0].mRunning, pending);
    EXPECT_EQ(state.mSlots[0].mPending, nullptr);
    EXPECT_EQ(state.mSlots[0].mRate, 1.0f);
    EXPECT_FALSE(mApp->RemoveTask(pending)) << "taken out of the idle list";
    EXPECT_EQ(state.mSlots[1].mRunning, nullptr) << "not in the idle list: not taken";
    EXPECT_EQ(state.mSlots[1].mPending, nullptr);
    EXPECT_EQ(state.mSlots[1].mRate, 1.0f);
    delete unlisted;
    // The state's destructor shifts twice: the running script goes too (the sanitizer sees a leak
    // otherwise).
}
