// The inventory tooltip: its table, the wait-show-hide machine, the layout with line breaking,
// the two-pass composition into its texture, and the fly-out and fly-back.
#include "framework/adventure/tooltips/gameplay_tool_tip.h"

#include "framework/adventure/entities/gameplay_item.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "framework/core/window_manager.h"
#include "framework/sound/audio_manager.h"
#include "framework/transforms/transform_instructions.h"
#include "platform/shell/application.h"
#include "platform/strings/string_table.h"
#include "render/renderer/renderer.h"
#include "render/renderer/vertex_set.h"
#include "render/sprites/animated_texture.h"
#include "render/sprites/sprite.h"
#include "render/text/text_sprite.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"

#include <algorithm>
#include <cmath>

namespace
{

const char kSource[] = "gameplaytooltip";
constexpr float kSmoothing = -0.5f;
// The smallest scale the box flies from and back to.
constexpr float kTiny = 0.001f;
// The draw calls' primitive: separate triangles.
constexpr uint32_t kTriangleList = 4;

uint32_t Unsigned(const TLuaTable& table, const char* key)
{
    return static_cast<uint32_t>(std::max(ScriptNumberToInt(table.GetNumber(key, 0)), 0));
}

// The text put into the mask's first "%s"; "%%" stands for "%". Nothing else of the mask is read
// as a format, so a mask from content cannot reach arguments that are not there.
TString ApplyMask(const TString& mask, const TString& text)
{
    std::string out;
    const char* p = mask.c_str();
    bool used = false;
    for (; *p != '\0'; ++p)
    {
        if (p[0] == '%' && p[1] == '%')
        {
            out += '%';
            ++p;
        }
        else if (!used && p[0] == '%' && p[1] == 's')
        {
            out += text.c_str();
            used = true;
            ++p;
        }
        else
        {
            out += *p;
        }
    }
    return TString(out.c_str());
}

std::shared_ptr<TTextSprite> TextFrom(const TLuaTable& font, int32_t w, int32_t h, int32_t layer)
{
    return TTextSprite::Create(w, h, 5, font.GetStringAt(1),
                               ScriptNumberToInt(font.GetNumberAt(2, 0)),
                               font.GetVec4At(3, TVec4(0, 0, 0, 0)), layer);
}

} // namespace

GameplayToolTip::GameplayToolTip(const TLuaTable& table)
    : mSprite(TSprite::Create(0)), mTransform(&mSprite->GetSpec())
{
    mItemShadowColour = table.GetVec4("itemdropshadowcolor", TVec4(0, 0, 0, 0));
    mItemShadowOffsetX = Unsigned(table, "itemdropshadowoffsetx");
    mItemShadowOffsetY = Unsigned(table, "itemdropshadowoffsety");
    mMinimumWidth = Unsigned(table, "minimumwidth");
    mWidthPerLine = Unsigned(table, "widthperline");
    mHome = TVec2(static_cast<float>(table.GetNumber("x", 0)),
                  static_cast<float>(table.GetNumber("y", 0)));
    mTextMask = table.GetString("textmask", "%s");
    mTimeIntro = Unsigned(table, "timeintro");
    mTimeOutro = Unsigned(table, "timeoutro");
    mTimeInitialWait = Unsigned(table, "timeinitialwait");
    mTimeVisible = Unsigned(table, "timevisible");
    mItemSpacing = Unsigned(table, "distancebetweenitems");
    mBorderWidth = Unsigned(table, "borderwidth");
    mBorderHeight = Unsigned(table, "borderheight");
    const uint32_t colour = TColor(table.GetVec4("backgroundcolor", TVec4(0, 0, 0, 0))).GetPacked();
    TDrawSpec& spec = mSprite->GetSpec();
    spec.mFlags |= kDrawOrigin;
    mTransform.SetPosition(mHome.x, mHome.y, 1.0f);
    const TString sound = table.GetString("sound");
    if (AudioManager* audio = AudioManager::Instance(); audio != nullptr && sound.Length() != 0)
        mSound = audio->Play(sound, false);
    for (Vertex& corner : mCorners)
    {
        corner.mColour = colour;
        corner.mSecond = colour;
    }
    std::unique_ptr<TLuaTable> font(table.GetTable("font"));
    if (font == nullptr)
    {
        ReportError("fontTable", kSource, 0, true);
        return;
    }
    std::unique_ptr<TLuaTable> shadowFont(table.GetTable("fontdropshadow"));
    const int32_t w = ScriptNumberToInt(table.GetNumber("w", 0));
    const int32_t h = ScriptNumberToInt(table.GetNumber("h", 0));
    const TString backgroundImage = table.GetString("backgroundimage");
    if (backgroundImage.Length() != 0)
    {
        mBackground = TSprite::Create(0, TTexture::Get(backgroundImage, 0));
        TDrawSpec& background = mBackground->GetSpec();
        background.mAlpha = static_cast<float>(table.GetNumber("backgroundalpha", 0));
        background.mOrigin = TVec2(0, 0);
        background.mFlags |= kDrawOrigin;
    }
    mText = TextFrom(*font, w, h, 0);
    if (shadowFont != nullptr)
    {
        const auto thickness = static_cast<float>(table.GetNumber("dropshadowthickness", 0));
        mShadow = TextFrom(*shadowFont, w, h, -1);
        mText->AddChild(mShadow);
        mShadow->GetSpec().mMatrix.m[2][0] = thickness;
        mShadow->GetSpec().mMatrix.m[2][1] = thickness;
    }
    mBuilt = true;
}

GameplayToolTip::~GameplayToolTip()
{
    if (AudioManager* audio = AudioManager::Instance(); audio != nullptr && mSound != 0)
        audio->Stop(mSound, false);
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->RemoveTransforms(&mTransform);
}

// --- the state machine --------------------------------------------------------------------------

void GameplayToolTip::Update(GameplayInventory* target, uint32_t colour, bool immediate,
                             std::vector<GameplayItem*> items)
{
    std::vector<std::shared_ptr<TAnimatedTexture>> pictures;
    // Read only when the box is about to show: the other frames need no pictures.
    if (mState == kHidden && !mDismissed)
        for (GameplayItem* item : items)
        {
            if (item == nullptr)
                continue;
            std::shared_ptr<TAnimatedTexture> picture =
                item->GetImage() != nullptr ? item->GetImage()->GetAnimatedTexture() : nullptr;
            // An item whose textures a scene has not finished yet: its picture by name.
            if (picture == nullptr)
                picture = TAnimatedTexture::Get(item->GetImageName());
            pictures.push_back(picture);
        }
    Update(target, colour, immediate, pictures);
}

void GameplayToolTip::Update(GameplayInventory* target, uint32_t colour, bool immediate,
                             const std::vector<std::shared_ptr<TAnimatedTexture>>& pictures)
{
    for (Vertex& corner : mCorners)
        corner.mColour = colour;
    DeltaTime* clock = DeltaTime::Instance();
    const uint32_t step = clock != nullptr ? clock->GetStep() : 0;
    if (mState == kHidden)
    {
        if (mDismissed)
            return;
        if (immediate || mElapsed >= mTimeInitialWait)
            Show(target, pictures);
        else
            mElapsed += step;
        return;
    }
    if (target != mTarget)
    {
        Hide();
        return;
    }
    if (mState != kShown)
        return;
    if (mTimeVisible != 0 && mElapsed >= mTimeVisible)
    {
        Hide();
        mDismissed = true;
    }
    else
    {
        mElapsed += step;
    }
}

void GameplayToolTip::Hide()
{
    mDismissed = false;
    if (mState != kShown && mState != kIntro)
    {
        mElapsed = 0;
        return;
    }
    TransformManager* transforms = TransformManager::Instance();
    if (transforms != nullptr)
    {
        transforms->RemoveTransforms(&mTransform);
        const TVec2 back = mTarget != nullptr ? mTarget->GetHomePosition() : mHome;
        auto* list = new TM_InstructionList;
        // The scale first: it moves the translation, which the move then sets outright.
        list->push_back(new TM_Scale(mTimeOutro, kTiny, kFromCurrent, 0, kSmoothing));
        list->push_back(new TM_Alpha(mTimeOutro, 0.0f, kFromCurrent, 0, kSmoothing));
        list->push_back(new TM_Move(mTimeOutro, true, back, kFromCurrent2, 0, kSmoothing));
        transforms->AddTransform(&mTransform, list,
                                 new Callback(this, &GameplayToolTip::OnOutroDone));
    }
    mState = kOutro;
    mElapsed = 0;
}

void GameplayToolTip::OnIntroDone(void* object, TM_Transform*, uint32_t)
{
    auto* tip = static_cast<GameplayToolTip*>(object);
    tip->mState = kShown;
    tip->mElapsed = 0;
}

void GameplayToolTip::OnOutroDone(void* object, TM_Transform*, uint32_t)
{
    auto* tip = static_cast<GameplayToolTip*>(object);
    tip->mState = kHidden;
    tip->mElapsed = 0;
}

// --- layout -------------------------------------------------------------------------------------

float GameplayToolTip::TextWidth() const
{
    TRect bounds;
    mText->GetTextBounds(bounds, TDrawSpec());
    return static_cast<float>(std::max(bounds.Width(), 0));
}

TString GameplayToolTip::InsertLineBreak(const TString& text, int n)
{
    TString best;
    float bestWidth = 999999.0f;
    const std::string source = text.c_str();
    if (source.empty())
        return best;
    size_t p = 0;
    for (;;)
    {
        std::string candidate = source;
        const size_t space = candidate.find(' ', p);
        if (space != std::string::npos)
            candidate.replace(space, 1, "<br>");
        size_t q = source.find(' ', p + 1);
        if (q == std::string::npos)
            q = source.size();
        TString made(candidate.c_str());
        if (n > 1)
            made = InsertLineBreak(made, n - 1);
        mText->SetText(made);
        const float width = TextWidth();
        if (width < bestWidth)
        {
            bestWidth = width;
            best = made;
        }
        p = q;
        if (q >= source.size())
            break;
    }
    return best;
}

void GameplayToolTip::Show(GameplayInventory* target,
                           const std::vector<std::shared_ptr<TAnimatedTexture>>& pictures)
{
    if (!mBuilt || target == nullptr)
        return;
    mSprite->SetTexture(nullptr);
    TApplication* application = TApplication::Get();
    TStringTable* strings = application != nullptr ? application->GetStringTable() : nullptr;
    const TString name =
        strings != nullptr ? strings->GetString(target->GetActualName()) : target->GetActualName();
    TString text = ApplyMask(mTextMask, name);
    mText->SetText(text);
    mItems.clear();
    mState = kIntro;
    mTarget = target;
    if (mShadow != nullptr)
        mShadow->SetText(text);

    float rowWidth = 2.0f * static_cast<float>(mBorderWidth);
    float rowHeight = 0;
    for (const std::shared_ptr<TAnimatedTexture>& picture : pictures)
    {
        std::shared_ptr<TAnimatedSprite> item = TAnimatedSprite::Create(0);
        item->SetTexture(picture);
        item->SetFrame(1);
        const float w = picture != nullptr ? static_cast<float>(picture->GetWidth()) : 0.0f;
        const float h = picture != nullptr ? static_cast<float>(picture->GetHeight()) : 0.0f;
        rowHeight = std::max(rowHeight, h);
        rowWidth += w + static_cast<float>(mItemSpacing);
        mItems.push_back(item);
    }

    // Each pass breaks once more; a text that no break narrows enough (no spaces left to try, or
    // no width per line) stops after as many passes as it has spaces, plus one.
    int lines = mText->GetLineCount();
    const float base = std::max(rowWidth, static_cast<float>(mMinimumWidth));
    const auto spaces =
        static_cast<int>(std::count(text.c_str(), text.c_str() + text.Length(), ' '));
    for (int pass = 0;
         pass <= spaces &&
         TextWidth() > static_cast<float>(mWidthPerLine) * static_cast<float>(lines) + base;
         ++pass)
    {
        text = InsertLineBreak(text, lines);
        mText->SetText(text);
        if (mShadow != nullptr)
            mShadow->SetText(text);
        ++lines;
    }

    TRect measured;
    mText->GetTextBounds(measured, TDrawSpec());
    const float textBoxW =
        2.0f * static_cast<float>(mBorderWidth) + static_cast<float>(std::max(measured.Width(), 0));
    const float textBoxH = 2.0f * static_cast<float>(mBorderHeight) +
                           static_cast<float>(std::max(measured.Height(), 0));
    const float rowBlockH = 2.0f * static_cast<float>(mBorderHeight) + rowHeight;
    const float itemsW = rowWidth - static_cast<float>(mItemSpacing);
    float extra = 0;
    if (itemsW < textBoxW)
        extra = std::trunc((textBoxW - itemsW) / static_cast<float>(mItems.size() + 1));
    mWidth = std::max(textBoxW, itemsW);
    mHeight = rowBlockH + textBoxH;
    const float corners[4][2] = {{0, 0}, {mWidth, 0}, {0, mHeight}, {mWidth, mHeight}};
    for (int i = 0; i < 4; ++i)
    {
        mCorners[i].mX = corners[i][0];
        mCorners[i].mY = corners[i][1];
    }
    mText->GetSpec().mMatrix.m[2][0] = mWidth / 2;
    mText->GetSpec().mMatrix.m[2][1] = rowBlockH + textBoxH / 2;
    mSprite->GetSpec().mOrigin = TVec2(std::floor(mWidth / 2), mHeight);
    // A box wider than the screen ends scaled down to fit it.
    mEndScale = mWidth > 800.0f ? 800.0f / mWidth : 1.0f;
    float x = static_cast<float>(mBorderWidth) + extra;
    for (const std::shared_ptr<TAnimatedSprite>& item : mItems)
    {
        const std::shared_ptr<TAnimatedTexture> picture = item->GetAnimatedTexture();
        const float w = picture != nullptr ? static_cast<float>(picture->GetWidth()) : 0.0f;
        item->GetSpec().mMatrix.m[2][0] = x + w / 2;
        item->GetSpec().mMatrix.m[2][1] = rowBlockH / 2;
        x += w + static_cast<float>(mItemSpacing) + extra;
    }

    if (!CreateTextures())
        if (WindowManager* frames = WindowManager::Instance())
            frames->SetTexturesPending();

    if (TransformManager* transforms = TransformManager::Instance())
    {
        auto* list = new TM_InstructionList;
        list->push_back(new TM_Scale(mTimeIntro, mEndScale, kTiny, 0, kSmoothing));
        list->push_back(new TM_Alpha(mTimeIntro, 1.0f, 0.0f, 0, kSmoothing));
        list->push_back(
            new TM_Move(mTimeIntro, true, mHome, target->GetHomePosition(), 0, kSmoothing));
        transforms->AddTransform(&mTransform, list,
                                 new Callback(this, &GameplayToolTip::OnIntroDone));
    }
    if (mSound != 0)
        if (AudioManager* audio = AudioManager::Instance())
            audio->PlayIndex(mSound);
}

// --- composition and drawing --------------------------------------------------------------------

void GameplayToolTip::DrawContents()
{
    TRenderer* renderer = TRenderer::Instance();
    const bool opened = renderer->Begin2d();
    const std::shared_ptr<TTexture> backdrop =
        mBackground != nullptr ? mBackground->GetTexture() : nullptr;
    if (backdrop == nullptr)
    {
        TVertexSet* set = TVertexSet::CreateColored(mCorners, 4);
        renderer->DrawIndexedVertices(kTriangleList, *set, mIndices, 6);
        TVertexSet::Release(set);
    }
    else
    {
        TDrawSpec& spec = mBackground->GetSpec();
        const float alpha = spec.mAlpha;
        spec = TDrawSpec();
        spec.mAlpha = alpha;
        spec.mFlags |= kDrawOrigin;
        spec.mMatrix.m[0][0] = mWidth / static_cast<float>(std::max(backdrop->GetWidth(), 1u));
        spec.mMatrix.m[1][1] = mHeight / static_cast<float>(std::max(backdrop->GetHeight(), 1u));
        mBackground->Draw(TDrawSpec(), -1);
    }
    mText->Draw(TDrawSpec(), -1);
    for (const std::shared_ptr<TAnimatedSprite>& item : mItems)
    {
        TDrawSpec& spec = item->GetSpec();
        const TDrawSpec saved = spec;
        spec.mColor = TVec4(mItemShadowColour.x, mItemShadowColour.y, mItemShadowColour.z, 1);
        spec.mAlpha = mItemShadowColour.w;
        spec.mMatrix.m[2][0] += static_cast<float>(mItemShadowOffsetX);
        spec.mMatrix.m[2][1] += static_cast<float>(mItemShadowOffsetY);
        item->Draw(TDrawSpec(), -1);
        spec = saved;
        spec.mColor = TVec4(1, 1, 1, 1);
        spec.mAlpha = 1;
        item->Draw(TDrawSpec(), -1);
    }
    if (opened)
        renderer->End2d();
}

bool GameplayToolTip::RenderPass(int32_t kind)
{
    TRenderer* renderer = TRenderer::Instance();
    const std::shared_ptr<TTexture> texture = mSprite->GetTexture();
    if (!renderer->BeginRenderTarget(texture, kind))
    {
        ReportError("BeginRenderTarget", kSource, 0, false);
        return false;
    }
    if (kind == 1)
        renderer->FillRect(TRect(0, 0, static_cast<int32_t>(texture->GetWidth()),
                                 static_cast<int32_t>(texture->GetHeight())),
                           TVec4(0, 0, 0, 1), texture);
    DrawContents();
    renderer->EndDraw();
    return true;
}

bool GameplayToolTip::CreateTextures()
{
    if (mState == kHidden)
        return true;
    TRenderer* renderer = TRenderer::Instance();
    if (renderer == nullptr)
        return false;
    const auto w = static_cast<uint32_t>(std::max(mWidth, 0.0f));
    const auto h = static_cast<uint32_t>(std::max(mHeight, 0.0f));
    std::shared_ptr<TTexture> texture = mSprite->GetTexture();
    uint32_t surfaceW = 0;
    uint32_t surfaceH = 0;
    if (texture != nullptr)
        texture->GetSurfaceSize(surfaceW, surfaceH);
    if (texture == nullptr || w > surfaceW || h > surfaceH)
        mSprite->SetTexture(TTexture::Create(w, h, true));
    if (mSprite->GetTexture() == nullptr)
    {
        ReportError("CreateTextures", kSource, 0, false);
        return false;
    }
    if (!RenderPass(1) || !RenderPass(4))
        return false;
    // The time spent composing is not a frame step.
    if (DeltaTime* clock = DeltaTime::Instance())
    {
        clock->SkipNext();
        clock->SetStep(0);
        if (WindowManager* frames = WindowManager::Instance())
            clock->SetFrameTime(frames->GetTime());
    }
    return true;
}

void GameplayToolTip::Draw()
{
    if (mState == kHidden)
        return;
    mSprite->Draw(TDrawSpec(), -1);
}
