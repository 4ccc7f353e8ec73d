// TVButton: reading its style, placement by state offsets and quarter turns, the caption, the
// per-frame update, the mouse handlers over the toolkit button's, drawing, enabling with or
// without a fade, and pausing with its modal window.
#include "framework/widgets/framework_button.h"

#include "framework/sound/audio_manager.h"
#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "framework/widgets/text_object.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/transforms/transform_manager.h"
#include "framework/core/window_manager.h"
#include "platform/shell/application.h"
#include "platform/strings/string_table.h"
#include "render/sprites/animated_texture.h"
#include "render/renderer/renderer.h"
#include "render/sprites/sprite.h"
#include "render/text/text_layout.h"
#include "render/text/text_sprite.h"
#include "render/textures/texture.h"
#include "script/lua.h"
#include "script/lua_object_wrapper.h"
#include "ui/window_manager.h"
#include "ui/window_style.h"

#include <algorithm>
#include <cmath>

namespace
{
// A quarter turn in radians, as a float.
constexpr float kQuarterTurn = 1.5707963705062866f;
// Captions are centred both ways on the button's centre.
constexpr uint32_t kCaptionAlignment = kTextAlignCenter | kTextAlignMiddle;

int32_t TruncateToInt(double value)
{
    if (std::isnan(value))
        return 0;
    return static_cast<int32_t>(std::clamp(std::trunc(value), -2147483648.0, 2147483647.0));
}

int ArrayLength(const TLuaTable& table)
{
    lua_State* L = table.GetState();
    table.Push();
    int n = lua_istable(L, -1) ? lua_getn(L, -1) : 0;
    lua_pop(L, 1);
    return n;
}

TVec2 ReadOffset(TWindowStyle& style, const char* x, const char* y)
{
    return TVec2(static_cast<float>(style.GetNumber(x, 0)),
                 static_cast<float>(style.GetNumber(y, 0)));
}

void Translate(TDrawSpec& spec, const TVec2& offset)
{
    spec.mMatrix.m[2][0] += offset.x;
    spec.mMatrix.m[2][1] += offset.y;
}
} // namespace

TVButton::TVButton() : mTransform(std::make_unique<TM_Transform2D>(&mTransformSpec))
{
    mListener = new MessageListener(this, &TVButton::OnListenerMessage);
    if (TWindowManager* manager = GetWindowManager())
        manager->AddMessageListener(mListener);
    else
    {
        delete mListener;
        mListener = nullptr;
    }
}

TVButton::~TVButton()
{
    if (mListener != nullptr)
    {
        TWindowManager* manager = GetWindowManager();
        if (manager != nullptr && manager->RemoveMessageListener(mListener))
            delete mListener;
        mListener = nullptr;
    }
    // Handle 0 would release every sound: only real handles go back.
    if (AudioManager* audio = AudioManager::Instance())
        for (int32_t handle : {mClickSound, mEnterSound, mExitSound})
            if (handle != 0)
                audio->Stop(handle, false);
    // The transform's end removes the button's transforms.
    mTransform.reset();
    mGraphics.clear();
    mImages.clear();
    mCaptionSprites.clear();
    mCaption.reset();
    mRolloverCaption.reset();
    mClickCaption.reset();
    mDisabledCaption.reset();
}

TWindow* TVButton::Create()
{
    return new TVButton();
}

TClassId TVButton::GetClassId()
{
    return reinterpret_cast<TClassId>(&TVButton::Create);
}

TVButton* TVButton::Cast(TWindow* window)
{
    if (window == nullptr || !window->IsKindOf(GetClassId()))
        return nullptr;
    return static_cast<TVButton*>(window);
}

void TVButton::Init(TWindowStyle& style)
{
    TButton::Init(style);

    std::unique_ptr<TLuaTable> graphics(style.GetTable("buttongraphics"));
    const bool flipX = style.GetBool("flipimagehorz", false);
    const bool flipY = style.GetBool("flipimagevert", false);
    if (graphics != nullptr)
    {
        int32_t width = GetWidth();
        int32_t height = GetHeight();
        const int n = ArrayLength(*graphics);
        for (int i = 1; i <= n; ++i)
        {
            const TString name = graphics->GetStringAt(i, TString());
            std::shared_ptr<TSprite> sprite;
            std::shared_ptr<TTexture> texture;
            if (std::shared_ptr<TAnimatedTexture> animation = TAnimatedTexture::Get(name))
            {
                auto animated = TAnimatedSprite::Create(0);
                animated->SetTexture(animation);
                texture = animation;
                sprite = animated;
            }
            else
            {
                texture = TTexture::Get(name, 0);
                sprite = TSprite::Create(0, texture);
                if (texture)
                {
                    sprite->GetSpec().mFlags |= kDrawOrigin;
                    sprite->GetSpec().mOrigin = TVec2(static_cast<float>(texture->GetWidth() / 2),
                                                      static_cast<float>(texture->GetHeight() / 2));
                }
            }
            if (flipX)
                sprite->GetSpec().mFlags |= kDrawMirrorX;
            if (flipY)
                sprite->GetSpec().mFlags |= kDrawMirrorY;
            if (texture)
            {
                width = std::max(width, static_cast<int32_t>(texture->GetWidth()));
                height = std::max(height, static_cast<int32_t>(texture->GetHeight()));
            }
            mGraphics.push_back(sprite);
        }
        SetSize(width, height);
        mCurrentGraphic = kGraphicNormal;
        mFramePeriod = style.GetInt("animatespeed", 0);
        mLoop = style.GetBool("loopanimation", true);
        mFrame = 0;
    }

    mOnAlpha = static_cast<float>(style.GetNumber("onalpha", 1.0));
    mOffAlpha = static_cast<float>(style.GetNumber("offalpha", 1.0));
    mDisabledFadeTime = style.GetInt("timedisabledfade", 0);
    mDisabledAlpha = static_cast<float>(style.GetNumber("alphadisabledfade", 1.0));
    mSpriteCollision = style.GetBool("spritecollision", true);

    std::unique_ptr<TLuaTable> images(style.GetTable("images"));
    if (images != nullptr)
    {
        const int n = ArrayLength(*images);
        for (int i = 1; i <= n; ++i)
        {
            std::unique_ptr<TLuaTable> entry(images->GetTableAt(i));
            if (entry == nullptr)
                continue;
            auto sprite =
                TSprite::Create(0, TTexture::Get(entry->GetString("image", TString()), 0));
            sprite->GetSpec().mMatrix.m[2][0] = static_cast<float>(entry->GetNumber("x", 0));
            sprite->GetSpec().mMatrix.m[2][1] = static_cast<float>(entry->GetNumber("y", 0));
            mImages.push_back(sprite);
        }
    }

    // Registered now, started later.
    if (AudioManager* audio = AudioManager::Instance())
    {
        const TString enter = style.GetString("soundenter", TString());
        const TString leave = style.GetString("soundexit", TString());
        const TString click = style.GetString("soundclick", TString());
        if (enter.Length() > 0)
            mEnterSound = audio->Play(enter, false);
        if (leave.Length() > 0)
            mExitSound = audio->Play(leave, false);
        if (click.Length() > 0)
            mClickSound = audio->Play(click, false);
    }
}

void TVButton::PostInit(TWindowStyle& style)
{
    TButton::PostInit(style);

    mClickOffset = ReadOffset(style, "clickxoffset", "clickyoffset");
    mRolloverOffset = ReadOffset(style, "rolloverxoffset", "rolloveryoffset");
    mDisabledOffset = ReadOffset(style, "disabledxoffset", "disabledyoffset");
    mTextClickOffset = ReadOffset(style, "textclickxoffset", "textclickyoffset");
    mTextRolloverOffset = ReadOffset(style, "textrolloverxoffset", "textrolloveryoffset");
    mTextDisabledOffset = ReadOffset(style, "textdisabledxoffset", "textdisabledyoffset");

    // The window grows so that the graphic fits at every state's offset.
    const int32_t minX =
        TruncateToInt(std::min({0.0f, mClickOffset.x, mRolloverOffset.x, mDisabledOffset.x}));
    const int32_t maxX =
        TruncateToInt(std::max({0.0f, mClickOffset.x, mRolloverOffset.x, mDisabledOffset.x}));
    const int32_t minY =
        TruncateToInt(std::min({0.0f, mClickOffset.y, mRolloverOffset.y, mDisabledOffset.y}));
    const int32_t maxY =
        TruncateToInt(std::max({0.0f, mClickOffset.y, mRolloverOffset.y, mDisabledOffset.y}));
    SetPosition(GetRect().left + minX, GetRect().top + minY);
    SetSize(GetWidth() - minX + maxX, GetHeight() - minY + maxY);

    const int32_t turns = style.GetInt("rotate", 0);
    if (turns != 0)
    {
        if (turns % 2 != 0)
        {
            // Width and height exchange about the window's centre.
            const int32_t w = GetWidth();
            const int32_t h = GetHeight();
            SetPosition(GetRect().left + (w - h) / 2, GetRect().top + (h - w) / 2);
            SetSize(h, w);
        }
        mDrawSpec.mMatrix.Rotate(static_cast<float>(turns) * kQuarterTurn);
    }
    mDrawSpec.mMatrix.m[2][0] = static_cast<float>(maxX - minX + GetWidth() / 2);
    mDrawSpec.mMatrix.m[2][1] = static_cast<float>(maxY - minY + GetHeight() / 2);
    mPositionSpec.mMatrix.m[2][0] = static_cast<float>(GetRect().left);
    mPositionSpec.mMatrix.m[2][1] = static_cast<float>(GetRect().top);

    const TString text = style.GetString("text", TString());
    if (text.Length() > 0)
    {
        std::unique_ptr<TLuaTable> font(style.GetTable("font"));
        if (font == nullptr)
        {
            ReportError("fontTable", __FILE__, __LINE__, true);
        }
        else
        {
            std::unique_ptr<TLuaTable> fontRollover(style.GetTable("fontrollover"));
            std::unique_ptr<TLuaTable> fontClick(style.GetTable("fontclick"));
            std::unique_ptr<TLuaTable> fontDisabled(style.GetTable("fontdisabled"));
            const bool overlay = style.GetBool("drawtextoverlay", false);
            const int32_t width = TruncateToInt(GetWidth() * style.GetNumber("textwidth", 1.0));
            const int32_t height = GetHeight();
            const bool lineBreaks = style.GetBool("linebreak", false);
            const TVec4 shadowColour = style.GetColor("dropshadowcolor", 0, 0, 0, 1);
            const int32_t shadowOffset = style.GetInt("dropshadowoffset", 0);
            const TVec2 textOffset = ReadOffset(style, "textxoffset", "textyoffset");

            TString caption = text;
            if (text.CharAt(0) == '#')
                caption = text.Substr(1);
            else if (TApplication* application = TApplication::Get())
                if (TStringTable* strings = application->GetStringTable())
                    caption = strings->GetString(text);

            auto make = [&](const TLuaTable* table) -> std::shared_ptr<TextObject>
            {
                if (table == nullptr)
                    return nullptr;
                auto object = TextObject::CreateFromTable(*table, caption, width, height,
                                                          lineBreaks, kCaptionAlignment);
                object->GetTransform()->SetX(textOffset.x);
                object->GetTransform()->SetY(textOffset.y);
                return object;
            };
            mCaption = make(font.get());
            mRolloverCaption = make(fontRollover.get());
            mClickCaption = make(fontClick.get());
            mDisabledCaption = make(fontDisabled.get());

            const TString fontName = font->GetStringAt(1, TString());
            const int32_t fontSize = TruncateToInt(font->GetNumberAt(2, 0));
            const TVec4 colour = font->GetVec4At(3, TVec4(0, 0, 0, 0));
            TTextSprite& captionSprite = *mCaption->GetTextSprite();
            auto addSprite = [&](const TVec4& spriteColour, int32_t layer, float offset)
            {
                auto sprite = TTextSprite::Create(width, height, kCaptionAlignment, fontName,
                                                  fontSize, spriteColour, layer);
                sprite->SetText(caption);
                sprite->GetSpec().mMatrix.m[2][0] = offset;
                sprite->GetSpec().mMatrix.m[2][1] = offset;
                captionSprite.AddChild(sprite);
                mCaptionSprites.push_back(sprite);
            };
            if (overlay)
                addSprite(colour, 1, 0);
            if (shadowOffset != 0)
                addSprite(shadowColour, -1, static_cast<float>(shadowOffset));
            FollowCaption();
        }
    }

    if (GetType() == kToggle || GetType() == kRadio)
        mDrawSpec.mAlpha = mOffAlpha;
    Update();
}

void TVButton::FollowCaption()
{
    if (!mCaption)
        return;
    for (auto& sprite : mCaptionSprites)
    {
        sprite->SetFontSize(mCaption->GetCurrentFontSize());
        sprite->SetAlignment(mCaption->GetTextSprite()->GetAlignment());
    }
}

int32_t TVButton::StateGraphic(int32_t index) const
{
    return index + (IsOnToggle() ? kOnShift : 0);
}

void TVButton::PlaySound(int32_t handle)
{
    if (handle == 0)
        return;
    if (AudioManager* audio = AudioManager::Instance())
        audio->PlayIndex(handle);
}

TSprite* TVButton::CurrentGraphic() const
{
    if (mGraphics.empty())
        return nullptr;
    // A state without a graphic of its own (fewer graphics than states) shows the first.
    if (mCurrentGraphic < 0 || static_cast<size_t>(mCurrentGraphic) >= mGraphics.size())
        return mGraphics.front().get();
    return mGraphics[static_cast<size_t>(mCurrentGraphic)].get();
}

TDrawSpec TVButton::CombinedSpec() const
{
    return mDrawSpec.Combine(mTransformSpec);
}

bool TVButton::HitTest(TPoint point)
{
    if (!mSpriteCollision)
        return true;
    TSprite* graphic = CurrentGraphic();
    if (graphic == nullptr)
        return false;
    return graphic->HitTest(TVec2(static_cast<float>(point.x), static_cast<float>(point.y)),
                            CombinedSpec(), 0x7f, -1);
}

bool TVButton::Update()
{
    if (mLeavePending)
    {
        mLeavePending = false;
        mPressed = false;
        mHovered = false;
        TButton::OnMouseLeave();
    }

    const auto x = TruncateToInt(mPositionSpec.mMatrix.m[2][0]);
    const auto y = TruncateToInt(mPositionSpec.mMatrix.m[2][1]);
    if (x != GetRect().left || y != GetRect().top)
        SetPosition(x, y);

    if (!mGraphics.empty() && !mDisabled && (GetType() == kToggle || GetType() == kRadio) &&
        IsOn() != mOnShown)
    {
        mOnShown = IsOn();
        mDrawSpec.mAlpha = mOnShown ? mOnAlpha : mOffAlpha;
        if (mCaption)
            mCaption->SetAlpha(mDrawSpec.mAlpha);
        if (GetType() == kToggle)
            mCurrentGraphic += mOnShown ? kOnShift : -kOnShift;
    }

    if (TSprite* graphic = CurrentGraphic())
    {
        auto* animated = graphic->IsKindOf(TAnimatedSprite::GetClassId())
                             ? static_cast<TAnimatedSprite*>(graphic)
                             : nullptr;
        const int32_t count = animated != nullptr ? animated->GetFrameCount() : 1;
        // Without a period the frame would never be used up.
        if (count > 1 && mFramePeriod > 0)
        {
            const DeltaTime* clock = DeltaTime::Instance();
            mElapsed += static_cast<int32_t>(clock != nullptr ? clock->GetStep() : 0);
            while (mElapsed > mFramePeriod)
            {
                mElapsed -= mFramePeriod;
                if (++mFrame >= count)
                    mFrame = mLoop ? 0 : count - 1;
            }
            animated->SetFrame(mFrame);
        }
    }
    return mCaption != nullptr;
}

bool TVButton::OnMouseMove(TPoint point)
{
    if (mDisabled || !HitTest(point))
        return true;
    const Settings* settings = Settings::Instance();
    const bool dragging = settings != nullptr && settings->IsLeftButtonDown();
    if (!dragging && WindowManager::IsApplicationActive())
    {
        if (!mGraphics.empty())
            mCurrentGraphic = StateGraphic(mPressed ? kGraphicPressed : kGraphicRollover);
        if (!mHovered)
        {
            if (!mPressed)
                PlaySound(mEnterSound);
            mHovered = true;
            mFrame = 0;
        }
    }
    return TButton::OnMouseMove(point);
}

bool TVButton::OnMouseDown(TPoint point)
{
    if (mDisabled || !HitTest(point))
        return true;
    if (!mGraphics.empty())
    {
        mCurrentGraphic = StateGraphic(kGraphicPressed);
        if (!CurrentGraphic()->IsKindOf(TAnimatedSprite::GetClassId()))
            mFrame = 0;
    }
    PlaySound(mClickSound);
    mPressed = true;
    return TButton::OnMouseDown(point);
}

bool TVButton::OnMouseUp(TPoint point)
{
    if (mDisabled)
        return true;
    mPressed = false;
    if (!mGraphics.empty())
    {
        mCurrentGraphic = StateGraphic(HitTest(point) ? kGraphicRollover : kGraphicNormal);
        mFrame = 0;
    }
    return TButton::OnMouseUp(point);
}

bool TVButton::OnMouseLeave()
{
    if (mDisabled || mPressed)
        return true;
    if (mHovered)
    {
        PlaySound(mExitSound);
        mHovered = false;
    }
    if (!mGraphics.empty())
    {
        mCurrentGraphic = StateGraphic(kGraphicNormal);
        mFrame = 0;
    }
    return TButton::OnMouseLeave();
}

void TVButton::Draw()
{
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr)
        return;
    Render2dGuard guard;
    if (!renderer->InBegin2d())
        guard.mOpened = renderer->Begin2d();
    const TDrawSpec base = CombinedSpec();

    TDrawSpec spec = base;
    if (mDisabled)
        Translate(spec, mDisabledOffset);
    else if (mPressed)
        Translate(spec, mClickOffset);
    else if (mHovered)
        Translate(spec, mRolloverOffset);
    if (TSprite* graphic = CurrentGraphic())
        graphic->Draw(spec, -1);
    for (auto& image : mImages)
        image->Draw(spec, -1);
    DrawExtra(spec);

    TDrawSpec textSpec = base;
    TextObject* caption = mCaption.get();
    if (mDisabled)
    {
        Translate(textSpec, mTextDisabledOffset);
        if (mDisabledCaption)
            caption = mDisabledCaption.get();
    }
    else if (mPressed)
    {
        Translate(textSpec, mTextClickOffset);
        if (mClickCaption)
            caption = mClickCaption.get();
    }
    else if (mHovered)
    {
        Translate(textSpec, mTextRolloverOffset);
        if (mRolloverCaption)
            caption = mRolloverCaption.get();
    }
    if (caption != nullptr)
        caption->Draw(textSpec);
    guard.End();
}

void TVButton::SetEnabled(bool enabled, bool fade)
{
    if (enabled != mDisabled)
        return;
    if (enabled)
        mCurrentGraphic = StateGraphic(kGraphicNormal);
    else if (GetType() == kToggle)
        mCurrentGraphic = mOnShown ? kGraphicDisabled : kGraphicNormal;
    else if (mGraphics.size() > 3)
        mCurrentGraphic = kGraphicDisabled;

    if (mDisabledAlpha != 1.0f)
    {
        const float target = enabled ? 1.0f : mDisabledAlpha;
        TransformManager* transforms = TransformManager::Instance();
        if (fade && transforms != nullptr)
        {
            transforms->RemoveTransforms(mTransform.get());
            auto* list = new TM_InstructionList;
            list->push_back(new TM_Alpha(static_cast<uint32_t>(std::max(mDisabledFadeTime, 0)),
                                         target, kFromCurrent, 0, -0.5f));
            transforms->AddTransform(mTransform.get(), list);
        }
        else
        {
            mTransform->SetAlpha(target);
        }
    }
    mDisabled = !enabled;
    mLeavePending = !enabled;
}

void TVButton::SetAlpha(float alpha)
{
    if (GetType() == kPush)
        mDrawSpec.mAlpha = alpha;
    else
        mDrawSpec.mAlpha = alpha * (mOnShown ? mOnAlpha : mOffAlpha);
}

void TVButton::SetText(const TString& text)
{
    if (!mCaption)
    {
        SetLabel(text);
        return;
    }
    for (TextObject* caption :
         {mCaption.get(), mRolloverCaption.get(), mClickCaption.get(), mDisabledCaption.get()})
        if (caption != nullptr)
            caption->SetText(text);
    for (auto& sprite : mCaptionSprites)
        sprite->SetText(text);
    FollowCaption();
}

void TVButton::Pause()
{
    mPaused = true;
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->PauseTransforms(mTransform.get());
}

void TVButton::Resume()
{
    mPaused = false;
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->ResumeTransforms(mTransform.get());
}

bool TVButton::OnListenerMessage(TVButton* button, TMessage* message)
{
    if (message == nullptr ||
        (message->mType != kUserMessageBase && message->mType != kModalClosed))
        return false;
    TModalWindow* modal = button->FindModalParent();
    const bool modalPaused = modal != nullptr && modal->GetClock().IsPaused();
    if (button->mPaused && !modalPaused)
        button->Resume();
    else if (!button->mPaused && modalPaused)
        button->Pause();
    return false;
}
