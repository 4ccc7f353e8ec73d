// Slider: the style it reads, the rail laid out for either orientation, the value kept as the
// thumb's place along the rail, the mouse states (idle, hovering, dragging) and the thumb's
// animation.
#include "framework/widgets/slider.h"

#include "framework/sound/audio_manager.h"
#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "render/sprites/animated_texture.h"
#include "render/renderer/renderer.h"
#include "render/sprites/sprite.h"
#include "render/text/text_sprite.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"
#include "ui/window_manager.h"
#include "ui/window_style.h"

#include <algorithm>
#include <cmath>

namespace
{
// A quarter turn, as the rail images are drawn for a vertical rail and turned for a horizontal one.
constexpr float kQuarterTurn = 1.5707964f;

int32_t TextureWidth(const std::shared_ptr<TSprite>& sprite)
{
    auto texture = sprite != nullptr ? sprite->GetTexture() : nullptr;
    return texture != nullptr ? static_cast<int32_t>(texture->GetWidth()) : 0;
}

int32_t TextureHeight(const std::shared_ptr<TSprite>& sprite)
{
    auto texture = sprite != nullptr ? sprite->GetTexture() : nullptr;
    return texture != nullptr ? static_cast<int32_t>(texture->GetHeight()) : 0;
}

// A plain texture, or none for an empty name (nothing to load, nothing to report).
std::shared_ptr<TTexture> NamedTexture(const TString& name)
{
    return name.Length() != 0 ? TTexture::Get(name, 0) : nullptr;
}

void Place(TSprite& sprite, float x, float y, float originX, float originY)
{
    TDrawSpec& spec = sprite.GetSpec();
    spec.mMatrix.SetIdentity();
    spec.mMatrix.m[2][0] = x;
    spec.mMatrix.m[2][1] = y;
    spec.mOrigin = TVec2(originX, originY);
    spec.mFlags |= kDrawOrigin;
}

int32_t ClampToInt(int64_t value)
{
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}
} // namespace

bool RectContainsPoint(const TRect& rect, int32_t x, int32_t y)
{
    return rect.left <= x && x < rect.right && rect.top <= y && y < rect.bottom;
}

Slider::Slider()
    : mRailTop(TSprite::Create(0)), mRailMiddle(TSprite::Create(0)), mRailBottom(TSprite::Create(0))
{
}

Slider::~Slider()
{
    if (AudioManager* audio = AudioManager::Instance())
        for (int32_t handle : {mSoundEnter, mSoundExit, mSoundClick, mSoundTick})
            if (handle != 0)
                audio->Stop(handle, false);
    mValueShadow.reset();
    mValueText.reset();
    mThumbSprites.clear();
}

TWindow* Slider::Create()
{
    return new Slider();
}

TClassId Slider::GetClassId()
{
    return reinterpret_cast<TClassId>(&Slider::Create);
}

void Slider::PostInit(TWindowStyle& style)
{
    TWindow::PostInit(style);
    mShowValue = style.GetBool("showvalue", false);
    mLoopAnimation = style.GetBool("loopanimation", true);
    mTravelInset = style.GetInt("xoffset", 0);
    mAnimateSpeed = style.GetInt("animatespeed", 0);
    mRailTop->SetTexture(NamedTexture(style.GetString("railtop", "")));
    mRailMiddle->SetTexture(NamedTexture(style.GetString("railmiddle", "")));
    mRailBottom->SetTexture(NamedTexture(style.GetString("railbottom", "")));
    mTextClickOffset = TVec2(static_cast<float>(style.GetNumber("textclickxoffset", 0)),
                             static_cast<float>(style.GetNumber("textclickyoffset", 0)));
    mTextRolloverOffset = TVec2(static_cast<float>(style.GetNumber("textrolloverxoffset", 0)),
                                static_cast<float>(style.GetNumber("textrolloveryoffset", 0)));
    // The laid-out place in the parent's coordinates: the window is moved within its parent, so
    // its screen rectangle would be wrong for a parent away from the screen's origin.
    TRect placed = GetRect();

    std::unique_ptr<TLuaTable> graphics = style.GetTableOnly("graphics");
    if (graphics == nullptr)
    {
        ReportError("graphicsTable", "slider", 63, true);
        return;
    }
    AudioManager* audio = AudioManager::Instance();
    int32_t* handles[] = {&mSoundEnter, &mSoundExit, &mSoundClick, &mSoundTick};
    const char* keys[] = {"soundenter", "soundexit", "soundclick", "soundtick"};
    for (int i = 0; i < 4; ++i)
    {
        TString specifier = style.GetString(keys[i], "");
        if (specifier.Length() != 0 && audio != nullptr)
            *handles[i] = audio->Play(specifier, false);
    }
    LoadThumbs(*graphics);
    LayoutRail(style, placed);

    if (!mShowValue)
        return;
    std::unique_ptr<TLuaTable> font = style.GetTableOnly("font");
    if (font == nullptr)
    {
        ReportError("font", "slider", 198, true);
        return;
    }
    MakeValueText(style, *font);
}

void Slider::LoadThumbs(const TLuaTable& graphics)
{
    mThumbSprites.clear();
    for (int i = 1; i <= 3; ++i)
    {
        TString name = graphics.GetStringAt(i, "");
        std::shared_ptr<TAnimatedTexture> animation =
            name.Length() != 0 ? TAnimatedTexture::Get(name) : nullptr;
        if (animation != nullptr)
        {
            std::shared_ptr<TAnimatedSprite> sprite = TAnimatedSprite::Create(0);
            sprite->SetTexture(animation);
            mThumbSprites.push_back(sprite);
            continue;
        }
        std::shared_ptr<TSprite> sprite = TSprite::Create(0, NamedTexture(name));
        sprite->GetSpec().mOrigin = TVec2(static_cast<float>(TextureWidth(sprite) / 2),
                                          static_cast<float>(TextureHeight(sprite) / 2));
        sprite->GetSpec().mFlags |= kDrawOrigin;
        mThumbSprites.push_back(sprite);
    }
    mCurrentThumb = 0;
    mThumbHalfWidth = static_cast<uint32_t>(TextureWidth(mThumbSprites[0])) / 2;
    mThumbHalfHeight = static_cast<uint32_t>(TextureHeight(mThumbSprites[0])) / 2;
}

void Slider::LayoutRail(const TWindowStyle& style, const TRect& placed)
{
    const int32_t W = placed.Width();
    const int32_t H = placed.Height();
    const int32_t tW = TextureWidth(mRailTop), tH = TextureHeight(mRailTop);
    const int32_t mW = TextureWidth(mRailMiddle), mH = TextureHeight(mRailMiddle);
    const int32_t bW = TextureWidth(mRailBottom), bH = TextureHeight(mRailBottom);
    const int32_t T = std::max({tW, mW, bW});
    const float across = static_cast<float>(T) * 0.5f;
    // Without a middle image there is nothing to stretch.
    auto stretch = [mH](int32_t length)
    { return mH > 0 ? static_cast<float>(length) / static_cast<float>(mH) : 1.0f; };
    const double offset = style.GetNumber("yoffset", 0);
    float centreX = static_cast<float>(W / 2);
    float centreY = static_cast<float>(H / 2);
    mVertical = !(H < W);
    const double halfAcross = mVertical ? mThumbHalfWidth : mThumbHalfHeight;
    const double centre = static_cast<double>(T / 2) + offset;
    // The thumb's parts beyond the rail on either side; the window grows by both so that no part
    // of the thumb is clipped.
    const int64_t A = std::max(0, ScriptNumberToInt(halfAcross - centre));
    const int64_t E = std::max(0, ScriptNumberToInt(centre + halfAcross - T));
    const float railCentre = static_cast<float>(A) + across;
    const int32_t thickness = ClampToInt(T + A + E);
    if (!mVertical)
    {
        Place(*mRailBottom, 0, railCentre, static_cast<float>(bW) * 0.5f, static_cast<float>(bH));
        mRailBottom->GetSpec().mMatrix.Rotate(kQuarterTurn);
        Place(*mRailTop, static_cast<float>(W), railCentre, static_cast<float>(tW) * 0.5f, 0);
        mRailTop->GetSpec().mMatrix.Rotate(kQuarterTurn);
        Place(*mRailMiddle, static_cast<float>(bH), railCentre, static_cast<float>(mW) * 0.5f,
              static_cast<float>(mH));
        mRailMiddle->GetSpec().mMatrix.Scale(1.0f, stretch(W - bH - tH));
        mRailMiddle->GetSpec().mMatrix.Rotate(kQuarterTurn);
        centreY = static_cast<float>(centre + static_cast<double>(A));
        SetSize(W, thickness);
        SetPosition(placed.left, ClampToInt(int64_t(placed.top) - A));
    }
    else
    {
        Place(*mRailTop, railCentre, 0, across, 0);
        Place(*mRailMiddle, railCentre, static_cast<float>(tH), across, 0);
        mRailMiddle->GetSpec().mMatrix.Scale(1.0f, stretch(H - bH - tH));
        Place(*mRailBottom, railCentre, static_cast<float>(H), across, static_cast<float>(bH));
        centreX = static_cast<float>(centre + static_cast<double>(A));
        SetSize(thickness, H);
        SetPosition(ClampToInt(int64_t(placed.left) - A), placed.top);
    }
    mThumbSpec.mMatrix.m[2][0] = centreX;
    mThumbSpec.mMatrix.m[2][1] = centreY;
}

void Slider::MakeValueText(const TWindowStyle& style, const TLuaTable& font)
{
    const auto width = TextureWidth(mThumbSprites[0]);
    const int32_t height = TextureHeight(mThumbSprites[0]);
    const auto flags = static_cast<uint32_t>(style.GetInt("flags", 0));
    const TString name = font.GetStringAt(1, "");
    const int32_t size = ScriptNumberToInt(font.GetNumberAt(2, 0));
    mValueText = TTextSprite::Create(width, height, flags, name, size,
                                     font.GetVec4At(3, TVec4(0, 0, 0, 0)), 0);
    TMat3& place = mValueText->GetSpec().mMatrix;
    place.m[2][0] += static_cast<float>(style.GetInt("textxoffset", 0));
    place.m[2][1] += static_cast<float>(style.GetInt("textyoffset", 0));
    const int32_t shadow = style.GetInt("dropshadowoffset", 0);
    if (shadow == 0)
        return;
    mValueShadow = TTextSprite::Create(width, height, flags, name, size,
                                       style.GetColor("dropshadowcolor", 0, 0, 0, 1), 0);
    mValueShadow->SetLayer(-1);
    mValueShadow->GetSpec().mMatrix.m[2][0] = static_cast<float>(shadow);
    mValueShadow->GetSpec().mMatrix.m[2][1] = static_cast<float>(shadow);
    mValueText->AddChild(mValueShadow);
}

TVec2 Slider::GetThumbCentre() const
{
    return TVec2(mThumbSpec.mMatrix.m[2][0], mThumbSpec.mMatrix.m[2][1]);
}

TSprite* Slider::CurrentThumb() const
{
    return mCurrentThumb < mThumbSprites.size() ? mThumbSprites[mCurrentThumb].get() : nullptr;
}

int64_t Slider::TravelLength() const
{
    const int64_t length = mVertical ? GetHeight() : GetWidth();
    return length - 2 * static_cast<int64_t>(mTravelInset);
}

float Slider::GetValue() const
{
    const int64_t length = TravelLength();
    if (length <= 0)
        return 0.0f;
    const TVec2 centre = GetThumbCentre();
    const double along = mVertical ? centre.y : centre.x;
    const double value = (along - mTravelInset) / static_cast<double>(length);
    return static_cast<float>(std::clamp(value, 0.0, 1.0));
}

void Slider::SetThumbAlongRail(float position)
{
    mThumbSpec.mMatrix.m[2][mVertical ? 1 : 0] = position;
}

void Slider::SetValue(float value)
{
    if (!std::isfinite(value))
        value = 0.0f;
    value = std::clamp(value, 0.0f, 1.0f);
    if (mShowValue && mValueText != nullptr)
    {
        TString text = TString::Format("%d", static_cast<int32_t>(value * 99.0f));
        mValueText->SetText(text);
        if (mValueShadow != nullptr)
            mValueShadow->SetText(text);
    }
    const double length = static_cast<double>(std::max<int64_t>(TravelLength(), 0));
    SetThumbAlongRail(static_cast<float>(length * value + mTravelInset));
    if (TWindowManager* manager = GetWindowManager())
        manager->PostMessage(new TMessage(kSliderValChanged, GetName(), GetParent()));
}

TRect Slider::ThumbRect() const
{
    const TVec2 centre = GetThumbCentre();
    const int32_t left = ScriptNumberToInt(centre.x - static_cast<float>(mThumbHalfWidth));
    const int32_t top = ScriptNumberToInt(centre.y - static_cast<float>(mThumbHalfHeight));
    TSprite* thumb = CurrentThumb();
    std::shared_ptr<TTexture> texture = thumb != nullptr ? thumb->GetTexture() : nullptr;
    if (texture == nullptr)
        return TRect(left, top, left, top);
    return TRect(left, top, ClampToInt(int64_t(left) + texture->GetWidth()),
                 ClampToInt(int64_t(top) + texture->GetHeight()));
}

void Slider::PlaySound(int32_t handle) const
{
    if (handle == 0)
        return;
    if (AudioManager* audio = AudioManager::Instance())
        audio->PlayIndex(handle);
}

bool Slider::OnMouseDown(TPoint point)
{
    if (mDisabled || !RectContainsPoint(ThumbRect(), point.x, point.y))
        return true;
    mDragging = true;
    mCurrentThumb = 1;
    const TVec2 centre = GetThumbCentre();
    mDragOffsetX = ScriptNumberToInt(centre.x - static_cast<float>(point.x));
    mDragOffsetY = ScriptNumberToInt(centre.y - static_cast<float>(point.y));
    PlaySound(mSoundClick);
    return true;
}

bool Slider::OnMouseUp(TPoint point)
{
    (void)point;
    if (mDisabled || !mDragging)
        return true;
    mDragging = false;
    mCurrentThumb = 0;
    return true;
}

bool Slider::OnMouseMove(TPoint point)
{
    if (mDisabled)
        return true;
    if (mDragging)
    {
        const int64_t length = TravelLength();
        // No room to travel: a value would divide by nothing.
        if (length <= 0)
            return true;
        const auto shown = [this] { return static_cast<int32_t>(GetValue() * 99.0f); };
        const int32_t before = shown();
        const double p = mVertical ? point.y : point.x;
        const TVec2 centre = GetThumbCentre();
        const double c = mVertical ? centre.y : centre.x;
        if (p != c)
        {
            const double offset = mVertical ? mDragOffsetY : mDragOffsetX;
            double value = (p + offset - mTravelInset) / static_cast<double>(length);
            value = c > p ? std::max(value, 0.0) : std::min(value, 1.0);
            SetValue(static_cast<float>(value));
        }
        if (mSoundTick != 0 && shown() != before)
            PlaySound(mSoundTick);
        return true;
    }
    Settings* settings = Settings::Instance();
    if (settings != nullptr && settings->IsLeftButtonDown())
        return true;
    if (RectContainsPoint(ThumbRect(), point.x, point.y))
    {
        if (!mHovering)
            PlaySound(mSoundEnter);
        mCurrentThumb = 2;
        if (TWindowManager* manager = GetWindowManager())
            manager->SetCapture(this);
        mHovering = true;
    }
    else if (mHovering)
    {
        OnMouseLeave();
    }
    return true;
}

bool Slider::OnMouseLeave()
{
    if (mDisabled || !mHovering || mDragging)
        return true;
    if (TWindowManager* manager = GetWindowManager())
        manager->ReleaseCapture(this);
    mHovering = false;
    mCurrentThumb = 0;
    PlaySound(mSoundExit);
    return true;
}

bool Slider::Update()
{
    TSprite* thumb = CurrentThumb();
    TAnimatedSprite* animated = thumb != nullptr && thumb->IsKindOf(TAnimatedSprite::GetClassId())
                                    ? static_cast<TAnimatedSprite*>(thumb)
                                    : nullptr;
    const int32_t count = animated != nullptr ? animated->GetFrameCount() : 1;
    if (count <= 1)
    {
        mFrame = 0;
        return true;
    }
    // A speed of 0 or below would never use up the time: the frame stays.
    if (mAnimateSpeed <= 0)
        return true;
    DeltaTime* clock = DeltaTime::Instance();
    mFrameTime += clock != nullptr ? clock->GetStep() : 0;
    const auto speed = static_cast<uint32_t>(mAnimateSpeed);
    while (mFrameTime > speed)
    {
        mFrameTime -= speed;
        // Without looping the frame stops one past the last (which shows the last).
        if (mFrame < count)
            ++mFrame;
        if (mFrame >= count && mLoopAnimation)
            mFrame = 0;
        animated->SetFrame(mFrame);
    }
    return true;
}

void Slider::Draw()
{
    TRenderer* renderer = TRenderer::Instance();
    const bool opened = !renderer->InBegin2d();
    if (opened && !renderer->Begin2d())
        return;
    mRailMiddle->Draw(mSpec, -1);
    mRailTop->Draw(mSpec, -1);
    mRailBottom->Draw(mSpec, -1);
    const TDrawSpec thumbSpec = mThumbSpec.Combine(mSpec);
    if (TSprite* thumb = CurrentThumb())
        thumb->Draw(thumbSpec, -1);
    if (mShowValue && mValueText != nullptr)
    {
        TVec2 offset;
        if (mDragging)
            offset = mTextClickOffset;
        else if (mHovering)
            offset = mTextRolloverOffset;
        mValueText->Draw(TDrawSpec(offset).Combine(thumbSpec), -1);
    }
    if (opened)
        renderer->End2d();
}
