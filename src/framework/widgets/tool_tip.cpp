// ToolTip: the per-frame decision (rest, fade in, stay, fade out, suppression), the placement
// beside the point inside the bounds, and the drawing of the background and the text.
#include "framework/widgets/tool_tip.h"

#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/transforms/transform_manager.h"
#include "render/renderer/renderer.h"
#include "render/sprites/sprite.h"
#include "render/text/text_sprite.h"
#include "render/renderer/vertex_set.h"
#include "script/lua_object_wrapper.h"

#include <algorithm>
#include <cmath>

namespace
{
// Centred horizontally and vertically.
constexpr uint32_t kTextLayoutFlags = 5;
// A triangle list.
constexpr uint32_t kTriangleList = 4;

int32_t ReadInt(const TLuaTable& table, const char* key)
{
    return ScriptNumberToInt(table.GetNumber(key, 0));
}

int32_t ClampToInt(int64_t value)
{
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// One axis of the placement: `after` puts the box past the point, `centre` centres it on the
// point, neither puts it before the point; the result stays within [low, high].
int64_t PlaceAxis(bool after, bool centre, int64_t p, int64_t size, int64_t border, int64_t low,
                  int64_t high)
{
    const int64_t half = size / 2;
    if (after)
        return std::min(high, p + 2 * border + size) - half - border;
    if (centre)
    {
        if (p - half - border < low)
            return low + half + border;
        if (p + half + border > high)
            return high - half - border;
        return p;
    }
    return std::max(low, p - 2 * border - size) + half + border;
}

void ShownThunk(void* object, TM_Transform*, uint32_t id)
{
    static_cast<ToolTip*>(object)->OnShown(id);
}

void HiddenThunk(void* object, TM_Transform*, uint32_t id)
{
    static_cast<ToolTip*>(object)->OnHidden(id);
}

std::shared_ptr<TTextSprite> MakeText(const TLuaTable& font, int32_t width, int32_t height)
{
    return TTextSprite::Create(width, height, kTextLayoutFlags, font.GetStringAt(1, ""),
                               ScriptNumberToInt(font.GetNumberAt(2, 0)),
                               font.GetVec4At(3, TVec4(0, 0, 0, 0)), 0);
}
} // namespace

ToolTip::ToolTip(const TLuaTable& table) : mBox(TSprite::Create(0)), mTransform(&mBox->GetSpec())
{
    mPosition = ReadInt(table, "position");
    mScrimAlphaMax = static_cast<float>(table.GetNumber("alphascrimmax", 0));
    mBorderWidth = ReadInt(table, "borderwidth");
    mBorderHeight = ReadInt(table, "borderheight");
    mInitialWait = ReadInt(table, "timeinitialwait");
    mVisibleTime = ReadInt(table, "timevisible");
    mFadeTime = ReadInt(table, "timefade");
    mMinX = ReadInt(table, "minx");
    mMinY = ReadInt(table, "miny");
    mMaxX = ReadInt(table, "maxx");
    mMaxY = ReadInt(table, "maxy");
    mTransform.SetAlpha(0.0f);
    const uint32_t colour = TColor(table.GetVec4("backgroundcolor", TVec4(0, 0, 0, 0))).GetPacked();
    for (ToolTipVertex& corner : mCorners)
        corner.colour = colour;

    std::unique_ptr<TLuaTable> font(table.GetTable("font"));
    if (font == nullptr)
    {
        ReportError("fontTable", "tooltip", 60, true);
        return;
    }
    const int32_t width = ReadInt(table, "w");
    const int32_t height = ReadInt(table, "h");
    std::unique_ptr<TLuaTable> shadowFont(table.GetTable("fontdropshadow"));
    if (shadowFont != nullptr)
    {
        mShadowSprite = MakeText(*shadowFont, width, height);
        const auto thickness = static_cast<float>(ReadInt(table, "dropshadowthickness"));
        mShadowSprite->GetSpec().mMatrix.m[2][0] += thickness;
        mShadowSprite->GetSpec().mMatrix.m[2][1] += thickness;
        mBox->AddChild(mShadowSprite);
    }
    mTextSprite = MakeText(*font, width, height);
    mBox->AddChild(mTextSprite);
}

ToolTip::~ToolTip()
{
    if (TransformManager* manager = TransformManager::Instance())
        manager->RemoveTransforms(&mTransform);
    mBox.reset();
    mShadowSprite.reset();
    mTextSprite.reset();
}

uint32_t ToolTip::FrameStep() const
{
    DeltaTime* clock = DeltaTime::Instance();
    return clock != nullptr ? clock->GetStep() : 0;
}

void ToolTip::Update(const TString& text, int32_t x, int32_t y, TColor background, bool immediate)
{
    for (ToolTipVertex& corner : mCorners)
        corner.colour = background.GetPacked();
    mScrimAlphaMax = static_cast<float>(background.GetA()) / 255.0f;
    // Without its text (the fatal report of a table without "font") it never shows.
    if (mTextSprite == nullptr)
        return;
    const bool sameText = text.Compare(mText) == 0;
    if (immediate)
    {
        if (mState == kHidden)
            Show(text, x, y);
        else if (!sameText)
            Hide(false);
        return;
    }
    if (mState == kHidden)
    {
        if (mSuppressed)
            return;
        if (static_cast<int64_t>(mTimer) < mInitialWait)
            mTimer += FrameStep();
        else
            Show(text, x, y);
        return;
    }
    if (!sameText)
    {
        Hide(false);
        return;
    }
    if (mState != kShown)
        return;
    if (mVisibleTime != 0 && static_cast<int64_t>(mTimer) >= mVisibleTime)
    {
        Hide(false);
        mSuppressed = true;
    }
    else
    {
        mTimer += FrameStep();
    }
}

void ToolTip::Hide(bool immediate)
{
    mSuppressed = false;
    if (mState == kShown || mState == kFadingIn)
    {
        if (immediate)
        {
            // The fade-in must not finish later and show the box again.
            if (TransformManager* manager = TransformManager::Instance())
                manager->RemoveTransforms(&mTransform);
            mTransform.SetAlpha(0.0f);
            mState = kHidden;
            mSuppressed = true;
        }
        else
        {
            mState = kFadingOut;
            StartFade(0.0f, &HiddenThunk);
        }
    }
    mTimer = 0;
}

void ToolTip::StartFade(float alpha, void (*done)(void*, TM_Transform*, uint32_t))
{
    TransformManager* manager = TransformManager::Instance();
    if (manager == nullptr)
    {
        // Nothing would step the fade: it ends at once.
        mTransform.SetAlpha(alpha);
        done(this, &mTransform, 0);
        return;
    }
    manager->RemoveTransforms(&mTransform);
    auto* list = new TM_InstructionList();
    list->push_back(
        new TM_Alpha(static_cast<uint32_t>(std::max(mFadeTime, 0)), alpha, kFromCurrent, 0, -0.5f));
    manager->AddTransform(&mTransform, list, nullptr, new Callback(this, done));
}

void ToolTip::UpdateScrim(void* ignored)
{
    (void)ignored;
    if (mState == kHidden)
        return;
    const double alpha = std::trunc(mTransform.GetAlpha() * 255.0 * mScrimAlphaMax);
    // Beyond a byte (or not a number) the colour would be undefined.
    const auto byte = static_cast<uint8_t>(std::isnan(alpha) ? 0.0 : std::clamp(alpha, 0.0, 255.0));
    for (ToolTipVertex& corner : mCorners)
    {
        TColor colour(corner.colour);
        colour.SetA(byte);
        corner.colour = colour.GetPacked();
    }
}

void ToolTip::Draw()
{
    if (mState == kHidden)
        return;
    TRenderer* renderer = TRenderer::Instance();
    // A fresh 2-D block: whatever texture the owner drew with must not tint the background.
    const bool wasOpen = renderer->InBegin2d();
    if (wasOpen)
        renderer->End2d();
    if (!renderer->Begin2d())
        return;
    TVertexSet* set = TVertexSet::CreateColored(mCorners, 4);
    renderer->DrawIndexedVertices(kTriangleList, *set, mIndices, 6);
    TVertexSet::Release(set);
    mBox->Draw(TDrawSpec(), -1);
    if (!wasOpen)
        renderer->End2d();
}

void ToolTip::OnShown(uint32_t ignored)
{
    (void)ignored;
    mState = kShown;
    mTimer = 0;
}

void ToolTip::OnHidden(uint32_t ignored)
{
    (void)ignored;
    mState = kHidden;
    mTimer = 0;
}

ToolTip::Placement ToolTip::Place(int32_t position, int32_t x, int32_t y, int32_t w, int32_t h,
                                  int32_t borderWidth, int32_t borderHeight, const TRect& bounds)
{
    Placement placed;
    placed.x = ClampToInt(PlaceAxis((position & kRightOfPoint) != 0, (position & kCentreX) != 0, x,
                                    w, borderWidth, bounds.left, bounds.right));
    placed.y = ClampToInt(PlaceAxis((position & kBelowPoint) != 0, (position & kCentreY) != 0, y, h,
                                    borderHeight, bounds.top, bounds.bottom));
    return placed;
}

void ToolTip::Show(const TString& text, int32_t x, int32_t y)
{
    if (mTextSprite == nullptr)
        return;
    mTextSprite->SetText(text);
    TRect bounds;
    mTextSprite->GetTextBounds(bounds, TDrawSpec());
    const int32_t w = bounds.Width();
    const int32_t h = bounds.Height();
    const Placement centre = Place(mPosition, x, y, w, h, mBorderWidth, mBorderHeight,
                                   TRect(mMinX, mMinY, mMaxX, mMaxY));
    mTransform.SetX(static_cast<float>(centre.x));
    mTransform.SetY(static_cast<float>(centre.y));
    const int64_t left = int64_t(centre.x) - mBorderWidth - w / 2;
    const int64_t right = int64_t(centre.x) + mBorderWidth + w / 2;
    const int64_t top = int64_t(centre.y) - mBorderHeight - h / 2;
    const int64_t bottom = int64_t(centre.y) + mBorderHeight + h / 2;
    const int64_t xs[4] = {left, right, right, left};
    const int64_t ys[4] = {top, top, bottom, bottom};
    for (int i = 0; i < 4; ++i)
    {
        mCorners[i].x = static_cast<float>(xs[i]);
        mCorners[i].y = static_cast<float>(ys[i]);
    }
    if (mShadowSprite != nullptr)
        mShadowSprite->SetText(text);
    mText = text;
    mState = kFadingIn;
    StartFade(1.0f, &ShownThunk);
}
