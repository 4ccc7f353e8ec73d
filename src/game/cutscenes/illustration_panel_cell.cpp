// IllustrationPanelCell: loading a cell, its per-frame step, the fades between its two looks,
// speech in turn, name look-ups, the skip text's hit test, and drawing the live look, the aged
// texture and the scrim.
#include "game/cutscenes/illustration_panel_cell.h"

#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "framework/core/window_manager.h"
#include "framework/sound/audio_manager.h"
#include "framework/sound/sound_effect.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/widgets/text_object.h"
#include "game/cutscenes/cutscene_keys.h"
#include "game/cutscenes/illustration_panel_layer.h"
#include "game/cutscenes/illustration_panel_particle.h"
#include "game/cutscenes/illustration_panel_speech.h"
#include "game/cutscenes/illustration_panel_text.h"
#include "platform/log.h"
#include "platform/strings/number_pattern.h"
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
constexpr const char* kOwner = "IllustrationPanelCell";
// The source name the cell's reports carry.
const TString kSource("illustrationpanelcell");
constexpr float kSmoothing = -0.5f;
constexpr uint32_t kTriangleList = 4;

void Fatal(const char* message, int line)
{
    ReportError(message, kSource, line, true);
}

void RaiseTextureRefresh()
{
    if (WindowManager* frames = WindowManager::Instance())
        frames->SetTexturesPending();
}

std::shared_ptr<TTexture> ImageOf(const TString& name)
{
    return name.Length() > 0 ? TTexture::Get(name, 0) : nullptr;
}

// Top-left anchored at (0, 0).
std::shared_ptr<TSprite> AnchoredSprite(const TString& image)
{
    std::shared_ptr<TSprite> sprite = TSprite::Create(0, ImageOf(image));
    sprite->GetSpec().mFlags |= kDrawOrigin;
    return sprite;
}

// A uniform double in [0, 1) from two 32-bit draws, 53 bits of it.
double UniformDouble(TRandom& random)
{
    const uint32_t m = random.Next() >> 5;
    const uint32_t k = random.Next() >> 6;
    return (static_cast<double>(m) * 67108864.0 + static_cast<double>(k)) / 9007199254740992.0;
}

float UnitFloat(TRandom& random)
{
    return static_cast<float>(static_cast<double>(random.Next()) / 4294967296.0);
}
} // namespace

IllustrationPanelCell::IllustrationPanelCell(const TLuaTable& cell, const TLuaTable& cellInfo)
    : mOverlaySprite(TSprite::Create(0)), mInactiveSprite(TSprite::Create(0)),
      mInactiveTransform(std::make_unique<TM_Transform2D>(&mInactiveSprite->GetSpec())),
      mGradientSprite(TSprite::Create(0)), mTrimSprite(TSprite::Create(0)),
      mBlotchSprite(TAnimatedSprite::Create(0))
{
    const bool loaded = Load(cell, cellInfo);
    mSpeechCursor = 0;
    // Compared as unsigned, so a negative depth lies on top of every other.
    std::stable_sort(
        mDrawList.begin(), mDrawList.end(),
        [](const IllustrationPanelEntity* a, const IllustrationPanelEntity* b)
        { return static_cast<uint32_t>(a->GetDepth()) < static_cast<uint32_t>(b->GetDepth()); });
    Hide();
    if (loaded)
        LoadSkipText(cellInfo);
}

template <class Entity>
void IllustrationPanelCell::Append(std::vector<std::shared_ptr<Entity>>& list, TLuaTable& table)
{
    list.push_back(std::make_shared<Entity>(table));
    mDrawList.push_back(list.back().get());
}

bool IllustrationPanelCell::Load(const TLuaTable& cell, const TLuaTable& cellInfo)
{
    mCrossfade = cell.GetBool("crossfade", false);
    mBlotchBuffer = cutscene::ReadInt(cellInfo, "blotchbuffer", 0, kOwner);
    mSwapTime = cutscene::ReadInt(cellInfo, "timeswaptoactive", 0, kOwner);
    mBubbleDelay = cutscene::ReadInt(cellInfo, "timebubbledelay", 0, kOwner);
    mStaticMin = static_cast<float>(cutscene::ReadNumber(cellInfo, "staticmin", 0, kOwner));
    mStaticMax = static_cast<float>(cutscene::ReadNumber(cellInfo, "staticmax", 0, kOwner));
    mIntroEvent = cell.GetString("introevent", TString());
    mSkipColor = cellInfo.GetVec4("skipcolor", TVec4(0, 0, 0, 0));
    mSkipColorHilight = cellInfo.GetVec4("skipcolorhilight", TVec4(0, 0, 0, 0));

    std::unique_ptr<TLuaTable> sounds(cell.GetTable("sounds"));
    if (sounds == nullptr)
    {
        Fatal("Cannot find 'sounds' table for IllustrationPanelCell!", __LINE__);
        return false;
    }
    const double groupId = cutscene::ReadNumber(cellInfo, "soundgroupid", 0, kOwner);
    cutscene::ForEachTable(*sounds,
                           [&](TLuaTable& entry)
                           {
                               if (groupId != 0)
                                   entry.SetNumber("groupid", groupId);
                               mSoundEffects.push_back(SoundEffect::Create(entry));
                           });

    std::unique_ptr<TLuaTable> layers(cell.GetTable("colorlayers"));
    if (layers == nullptr)
    {
        Fatal("Cannot find 'colorlayers' table for IllustrationPanelCell!", __LINE__);
        return false;
    }
    cutscene::ForEachTable(*layers, [&](TLuaTable& entry) { Append(mColorLayers, entry); });
    if (std::unique_ptr<TLuaTable> texts{cell.GetTable("text")})
        cutscene::ForEachTable(*texts, [&](TLuaTable& entry) { Append(mTexts, entry); });
    std::unique_ptr<TLuaTable> particles(cell.GetTable("particles"));
    if (particles == nullptr)
    {
        Fatal("Cannot find 'particles' table for IllustrationPanelCell!", __LINE__);
        return false;
    }
    cutscene::ForEachTable(*particles, [&](TLuaTable& entry) { Append(mParticles, entry); });

    for (const auto& layer : mColorLayers)
        if (layer->GetParentName().Length() > 0)
            layer->SetParent(FindEntity(layer->GetParentName()).get());
    for (const auto& text : mTexts)
        if (text->GetParentName().Length() > 0)
            text->SetParent(FindEntity(text->GetParentName()).get());

    std::unique_ptr<TLuaTable> bubbles(cell.GetTable("speechbubbles"));
    if (bubbles == nullptr)
    {
        Fatal("Cannot find 'speechbubbles' table for IllustrationPanelCell!", __LINE__);
        return false;
    }
    std::unique_ptr<TLuaTable> speechInfo(cellInfo.GetTable("speechinfo"));
    if (speechInfo == nullptr)
    {
        Fatal("Cannot find 'speechinfo' table for IllustrationPanelCell!", __LINE__);
        return false;
    }
    for (int n = 1;; ++n)
    {
        std::unique_ptr<TLuaTable> bubble(
            bubbles->GetTable(TString::Format("speech_%d", n).c_str()));
        if (bubble == nullptr)
            break;
        mSpeechBubbles.push_back(std::make_shared<IllustrationPanelSpeech>(*speechInfo, *bubble));
    }

    const TString pattern = cellInfo.GetString("static", TString());
    const int32_t staticCount = cutscene::ReadInt(cellInfo, "staticcount", 0, kOwner);
    if (staticCount > 0 && !IsNumberPattern(pattern))
        Log("IllustrationPanelCell: the static pattern '%s' does not name one number; no static",
            pattern.c_str());
    else
        for (int32_t i = 0; i < staticCount; ++i)
            mStaticSprites.push_back(AnchoredSprite(TString::Format(pattern.c_str(), i)));
    mInactiveSprite->GetSpec().mFlags |= kDrawOrigin;

    mGradientSprite = AnchoredSprite(cellInfo.GetString("gradient", TString()));
    mTrimSprite = AnchoredSprite(cellInfo.GetString("trim", TString()));
    mOverlaySprite = AnchoredSprite(cellInfo.GetString("overlay", TString()));
    const TString blotches = cellInfo.GetString("blotches", TString());
    if (blotches.Length() > 0)
        mBlotchSprite->SetTexture(TAnimatedTexture::Get(blotches));
    return true;
}

bool IllustrationPanelCell::LoadSkipText(const TLuaTable& cellInfo)
{
    std::unique_ptr<TLuaTable> skip(cellInfo.GetTable("skiptext"));
    if (skip == nullptr)
    {
        Fatal("Cannot find 'skiptext' table for IllustrationPanelCell!", __LINE__);
        return false;
    }
    mSkipText = TextObject::Create(*skip);
    const int32_t space = cutscene::ReadInt(cellInfo, "skipscrimspace", 0, kOwner);
    mWidth = cutscene::ReadInt(cellInfo, "width", 0, kOwner);
    mHeight = cutscene::ReadInt(cellInfo, "height", 0, kOwner);
    if (TM_Transform2D* place = mSkipText->GetTransform())
    {
        place->SetX(static_cast<float>(mWidth - space));
        place->SetY(static_cast<float>(mHeight - space));
    }
    TRect bounds;
    if (mSkipText->GetTextSprite())
        mSkipText->GetTextSprite()->GetTextBounds(bounds, TDrawSpec());
    const int32_t textW = bounds.right - bounds.left;
    const int32_t textH = bounds.bottom - bounds.top;
    mSkipRect = TRect(mWidth - 2 * space - textW, mHeight - 2 * space - textH, mWidth, mHeight);

    const uint32_t colour =
        TColor(cellInfo.GetVec4("skipscrimcolor", TVec4(0, 0, 0, 0))).GetPacked();
    const TVec2 corners[4] = {
        TVec2(static_cast<float>(mSkipRect.left), static_cast<float>(mSkipRect.top)),
        TVec2(static_cast<float>(mSkipRect.right), static_cast<float>(mSkipRect.top)),
        TVec2(static_cast<float>(mSkipRect.right), static_cast<float>(mSkipRect.bottom)),
        TVec2(static_cast<float>(mSkipRect.left), static_cast<float>(mSkipRect.bottom))};
    for (int i = 0; i < 4; ++i)
        mSkipVertices[i] = ScrimVertex{corners[i].x, corners[i].y, 0, 0.5f, colour, 0, 0, 0};
    return true;
}

IllustrationPanelCell::~IllustrationPanelCell()
{
    mSkipText.reset();
    mSoundEffects.clear();
    mDrawList.clear();
    mParticles.clear();
    mTexts.clear();
    mColorLayers.clear();
    mSpeechBubbles.clear();
    mStaticSprites.clear();
    mBlotchSprite.reset();
    mTrimSprite.reset();
    mGradientSprite.reset();
    // Removing a target's transforms never calls their callbacks, which point at this cell.
    if (TransformManager* manager = TransformManager::Instance())
    {
        manager->RemoveTransforms(&mLiveTransform);
        manager->RemoveTransforms(mInactiveTransform.get());
    }
    mInactiveTransform.reset();
    mInactiveSprite.reset();
    mOverlaySprite.reset();
}

// ---- per frame ----

void IllustrationPanelCell::Update(uint32_t elapsed, const TDrawSpec& panelSpec, int32_t mouseX,
                                   int32_t mouseY)
{
    if (mState == kCellReturning)
    {
        if (HasInactiveTexture())
            ReturnToInactive();
        return;
    }
    if (mState != kCellActive)
        return;
    for (IllustrationPanelEntity* entity : mDrawList)
        entity->Update(elapsed);
    for (const auto& effect : mSoundEffects)
    {
        if (effect->mPending < 0)
            continue;
        if (elapsed < static_cast<uint32_t>(effect->mPending))
            effect->mPending -= static_cast<int32_t>(elapsed);
        else
        {
            effect->mPending = -1;
            effect->Start();
        }
    }
    if (!mSkipEnabled || !mSkipText)
        return;
    if (mSkipText->GetTextSprite())
        mSkipText->GetTextSprite()->SetColor(
            IsOverSkipText(panelSpec, mouseX, mouseY) ? mSkipColorHilight : mSkipColor);
    // Only a text drawn from a texture renders; the others answer true.
    if (!mSkipText->RenderToTexture())
        RaiseTextureRefresh();
}

void IllustrationPanelCell::Pause()
{
    TransformManager* manager = TransformManager::Instance();
    AudioManager* audio = AudioManager::Instance();
    for (IllustrationPanelEntity* entity : mDrawList)
        entity->Pause();
    for (const auto& bubble : mSpeechBubbles)
    {
        if (manager != nullptr)
            manager->PauseTransforms(&bubble->GetTransform());
        if (bubble->GetSound() != 0 && audio != nullptr)
            audio->Pause(bubble->GetSound());
    }
    for (const auto& effect : mSoundEffects)
        effect->Pause();
    if (manager != nullptr)
    {
        manager->PauseTransforms(&mLiveTransform);
        manager->PauseTransforms(mInactiveTransform.get());
    }
}

void IllustrationPanelCell::Resume()
{
    // A returning cell stays frozen until its fade back begins.
    if (mState == kCellReturning)
        return;
    TransformManager* manager = TransformManager::Instance();
    if (mState == kCellActive)
    {
        AudioManager* audio = AudioManager::Instance();
        for (IllustrationPanelEntity* entity : mDrawList)
            entity->Resume();
        for (const auto& bubble : mSpeechBubbles)
        {
            if (manager != nullptr)
                manager->ResumeTransforms(&bubble->GetTransform());
            if (bubble->GetSound() != 0 && audio != nullptr)
                audio->Resume(bubble->GetSound());
        }
        for (const auto& effect : mSoundEffects)
            effect->Resume();
    }
    if (manager != nullptr)
    {
        manager->ResumeTransforms(&mLiveTransform);
        manager->ResumeTransforms(mInactiveTransform.get());
    }
}

// ---- looks ----

void IllustrationPanelCell::Fade(TM_Transform2D& look, float to,
                                 void (*end)(void*, TM_Transform*, uint32_t))
{
    TransformManager* manager = TransformManager::Instance();
    if (manager == nullptr)
        return;
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Alpha(static_cast<uint32_t>(std::max(mSwapTime, 0)), to, look.GetAlpha(),
                                 0, kSmoothing));
    manager->AddTransform(&look, list, nullptr, end != nullptr ? new Callback(this, end) : nullptr);
}

void IllustrationPanelCell::StopSounds()
{
    for (const auto& effect : mSoundEffects)
        effect->Stop();
}

void IllustrationPanelCell::Reset()
{
    mState = kCellInactive;
    StartColorLayers();
    mLiveTransform.SetAlpha(0);
    mInactiveTransform->SetAlpha(1);
}

void IllustrationPanelCell::Hide()
{
    mState = kCellHidden;
    StopColorLayers();
    mLiveTransform.SetAlpha(0);
    mInactiveTransform->SetAlpha(0);
}

void IllustrationPanelCell::Activate(Callback* done)
{
    mState = kCellActive;
    StartColorLayers();
    mActivateCallback = done;
    mTransitioning = true;
    Resume();
    Fade(mLiveTransform, 1, &OnActivateDone);
    Fade(*mInactiveTransform, 0, nullptr);
}

void IllustrationPanelCell::Deactivate()
{
    mTransitioning = true;
    Fade(mLiveTransform, 0, nullptr);
    Fade(*mInactiveTransform, 0, &OnDeactivateDone);
    StopSounds();
}

void IllustrationPanelCell::BeginReturn(Callback* done)
{
    mReturnCallback = done;
    mTransitioning = true;
    mState = kCellReturning;
    Pause();
    if (!RenderInactiveTexture())
        RaiseTextureRefresh();
}

void IllustrationPanelCell::ReturnToInactive()
{
    mState = kCellInactive;
    Resume();
    const bool liveShown = mLiveTransform.GetAlpha() != 0;
    if (liveShown)
        Fade(mLiveTransform, 0, &OnReturnDone);
    if (mInactiveTransform->GetAlpha() != 1)
        Fade(*mInactiveTransform, 1, nullptr);
    StopSounds();
    // No fade means no end to wait for: the panel is told at once.
    if (!liveShown)
        OnReturnDone(this, nullptr, 0);
}

void IllustrationPanelCell::OnActivateDone(void* object, TM_Transform*, uint32_t)
{
    auto* cell = static_cast<IllustrationPanelCell*>(object);
    Callback* done = cell->mActivateCallback;
    cell->mActivateCallback = nullptr;
    cell->mTransitioning = false;
    // The texture is needed only while the cell is not active.
    cell->mInactiveSprite->SetTexture(nullptr);
    if (done != nullptr)
        done->Call(nullptr, 0);
}

void IllustrationPanelCell::OnDeactivateDone(void* object, TM_Transform*, uint32_t)
{
    auto* cell = static_cast<IllustrationPanelCell*>(object);
    cell->mState = kCellHidden;
    cell->StopColorLayers();
    cell->mTransitioning = false;
}

void IllustrationPanelCell::OnReturnDone(void* object, TM_Transform*, uint32_t value)
{
    auto* cell = static_cast<IllustrationPanelCell*>(object);
    Callback* done = cell->mReturnCallback;
    cell->mReturnCallback = nullptr;
    cell->mTransitioning = false;
    cell->mState = kCellInactive;
    if (done != nullptr)
        done->Call(nullptr, value);
}

void IllustrationPanelCell::StartColorLayers()
{
    for (const auto& layer : mColorLayers)
        if (layer->IsActive())
            layer->Start();
    if (mState == kCellInactive && !RenderInactiveTexture())
        RaiseTextureRefresh();
}

void IllustrationPanelCell::StopColorLayers()
{
    for (const auto& layer : mColorLayers)
        layer->Stop();
}

// ---- speech ----

bool IllustrationPanelCell::StartNextSpeech(Callback* done)
{
    if (mSpeechCursor >= mSpeechBubbles.size())
        return false;
    mSpeechCallback = done;
    mSpeechBubbles[mSpeechCursor]->Start(&mSpeechHook);
    return true;
}

void IllustrationPanelCell::StopSpeech()
{
    if (mSpeechCursor >= mSpeechBubbles.size())
        return;
    IllustrationPanelSpeech& bubble = *mSpeechBubbles[mSpeechCursor];
    bubble.ClearDoneCallback();
    if (bubble.GetSound() != 0)
        if (AudioManager* audio = AudioManager::Instance())
            audio->StopIndex(bubble.GetSound());
    bubble.Stop();
    mSpeechCursor = mSpeechBubbles.size();
}

void IllustrationPanelCell::OnSpeechDone(void* object, TM_Transform*, uint32_t value)
{
    auto* cell = static_cast<IllustrationPanelCell*>(object);
    if (cell->mSpeechCursor >= cell->mSpeechBubbles.size())
        return;
    cell->mPostEvent = cell->mSpeechBubbles[cell->mSpeechCursor]->GetPostEvent();
    ++cell->mSpeechCursor;
    Callback* done = cell->mSpeechCallback;
    cell->mSpeechCallback = nullptr;
    if (done != nullptr)
        done->Call(nullptr, value);
}

// ---- look-ups ----

bool IllustrationPanelCell::IsOverSkipText(const TDrawSpec& panelSpec, int32_t mouseX,
                                           int32_t mouseY) const
{
    if (!mSkipEnabled || mTransitioning || mState != kCellActive)
        return false;
    const TDrawSpec combined = mLiveSpec.Combine(panelSpec);
    const auto x = static_cast<int32_t>(static_cast<float>(mouseX) - combined.mMatrix.m[2][0]);
    const auto y = static_cast<int32_t>(static_cast<float>(mouseY) - combined.mMatrix.m[2][1]);
    return mSkipRect.left <= x && x < mSkipRect.right && mSkipRect.top <= y && y < mSkipRect.bottom;
}

std::shared_ptr<IllustrationPanelLayer> IllustrationPanelCell::FindEntity(const TString& name) const
{
    for (const auto& layer : mColorLayers)
        if (layer->GetName() == name)
            return layer;
    for (const auto& text : mTexts)
        if (text->GetName() == name)
            return text;
    return nullptr;
}

std::shared_ptr<IllustrationPanelParticle>
IllustrationPanelCell::FindParticle(const TString& name) const
{
    for (const auto& particle : mParticles)
        if (particle->GetName() == name)
            return particle;
    return nullptr;
}

std::shared_ptr<SoundEffect> IllustrationPanelCell::FindSound(const TString& name) const
{
    for (const auto& effect : mSoundEffects)
        if (effect->mName == name)
            return effect;
    return nullptr;
}

// ---- drawing ----

void IllustrationPanelCell::Draw(const TDrawSpec& parent)
{
    TRenderer* renderer = TRenderer::Instance();
    const bool opened = !renderer->InBegin2d() && renderer->Begin2d();
    if (mInactiveTransform->GetAlpha() != 1.0f)
    {
        const TDrawSpec combined = mLiveSpec.Combine(parent);
        for (IllustrationPanelEntity* entity : mDrawList)
            entity->Draw(combined);
        for (const auto& bubble : mSpeechBubbles)
        {
            const TDrawSpec spec = bubble->GetSpec().Combine(combined);
            bubble->GetSprite()->Draw(spec);
            if (bubble->GetTextObject())
                bubble->GetTextObject()->Draw(spec);
        }
        if (mSkipEnabled)
            DrawScrim(combined);
        mOverlaySprite->Draw(combined);
    }
    if (mInactiveTransform->GetAlpha() != 0.0f)
        mInactiveSprite->Draw(parent);
    if (opened)
        renderer->End2d();
}

void IllustrationPanelCell::DrawScrim(const TDrawSpec& combined)
{
    const float scaled = std::clamp(combined.mAlpha * 255.0f, 0.0f, 255.0f);
    const auto alpha = static_cast<uint8_t>(scaled);
    if (alpha == 0)
        return;
    const float dx = combined.mMatrix.m[2][0];
    const float dy = combined.mMatrix.m[2][1];
    ScrimVertex moved[4];
    for (int i = 0; i < 4; ++i)
    {
        moved[i] = mSkipVertices[i];
        moved[i].x += dx;
        moved[i].y += dy;
        TColor colour(moved[i].diffuse);
        colour.SetA(alpha);
        moved[i].diffuse = colour.GetPacked();
    }
    TRenderer* renderer = TRenderer::Instance();
    renderer->End2d();
    renderer->Begin2d();
    // The scrim is flat colour: no texture left bound by an earlier draw may tint it.
    renderer->SetTexture(nullptr);
    TVertexSet* set = TVertexSet::CreateColored(moved, 4);
    renderer->DrawIndexedVertices(kTriangleList, *set, mSkipIndices, 6);
    TVertexSet::Release(set);
    if (mSkipText)
        mSkipText->Draw(combined);
}

// ---- the aged look ----

void IllustrationPanelCell::InactiveSize(uint32_t& width, uint32_t& height)
{
    std::shared_ptr<TTexture> overlay = mOverlaySprite->GetTexture();
    width = overlay ? overlay->GetWidth() : 0;
    height = overlay ? overlay->GetHeight() : 0;
    if (width != 0 && height != 0)
        return;
    // Without an overlay no size would ever do and a returning cell would wait for ever.
    if (!mSizeFallbackLogged)
        Log("IllustrationPanelCell: no overlay image; the aged look takes the cell's %d x %d",
            mWidth, mHeight);
    mSizeFallbackLogged = true;
    width = static_cast<uint32_t>(std::max(mWidth, 0));
    height = static_cast<uint32_t>(std::max(mHeight, 0));
}

void IllustrationPanelCell::TrimSize(uint32_t& width, uint32_t& height)
{
    std::shared_ptr<TTexture> trim = mTrimSprite->GetTexture();
    width = trim ? trim->GetWidth() : 0;
    height = trim ? trim->GetHeight() : 0;
    if (width != 0 && height != 0)
        return;
    if (!mSizeFallbackLogged)
        Log("IllustrationPanelCell: no trim image; the blotches take the cell's %d x %d", mWidth,
            mHeight);
    mSizeFallbackLogged = true;
    width = static_cast<uint32_t>(std::max(mWidth, 0));
    height = static_cast<uint32_t>(std::max(mHeight, 0));
}

bool IllustrationPanelCell::HasInactiveTexture() const
{
    return mInactiveSprite->GetTexture() != nullptr;
}

bool IllustrationPanelCell::RenderInactiveTexture()
{
    if (mState == kCellActive || mState == kCellHidden)
        return true;
    if (!mInactiveSprite->GetTexture())
    {
        uint32_t width = 0;
        uint32_t height = 0;
        InactiveSize(width, height);
        mInactiveSprite->SetTexture(TTexture::Create(width, height, true));
        if (!mInactiveSprite->GetTexture())
        {
            ReportError("TTexture::Create", kSource, __LINE__, false);
            return false;
        }
    }
    const std::shared_ptr<TTexture> texture = mInactiveSprite->GetTexture();
    TRenderer* renderer = TRenderer::Instance();
    if (!renderer->BeginRenderTarget(texture, 1))
    {
        ReportError("BeginRenderTarget", kSource, __LINE__, false);
        mInactiveSprite->SetTexture(nullptr);
        return false;
    }
    DrawAged();
    renderer->EndDraw();
    if (!renderer->BeginRenderTarget(texture, 4))
    {
        ReportError("BeginRenderTarget", kSource, __LINE__, false);
        mInactiveSprite->SetTexture(nullptr);
        return false;
    }
    renderer->Begin2d();
    mTrimSprite->Draw(TDrawSpec());
    renderer->End2d();
    renderer->EndDraw();
    return true;
}

void IllustrationPanelCell::DrawAged()
{
    DeltaTime* clock = DeltaTime::Instance();
    mRandom.Seed(clock != nullptr ? clock->GetFrameTime() : 0);
    TRenderer* renderer = TRenderer::Instance();
    const bool opened = !renderer->InBegin2d() && renderer->Begin2d();
    const TDrawSpec plain;
    for (IllustrationPanelEntity* entity : mDrawList)
        entity->DrawInactive(plain);

    const int32_t frames = mBlotchSprite->GetFrameCount();
    uint32_t width = 0;
    uint32_t height = 0;
    TrimSize(width, height);
    const double b = mBlotchBuffer;
    TMat3& matrix = mBlotchSprite->GetSpec().mMatrix;
    for (int32_t i = 0; i < frames; ++i)
    {
        mBlotchSprite->SetFrame(i);
        const double x = -b + std::floor(UniformDouble(mRandom) * (width + 2 * b + 1));
        const double y = -b + std::floor(UniformDouble(mRandom) * (height + 2 * b + 1));
        matrix.m[2][0] = static_cast<float>(x);
        matrix.m[2][1] = static_cast<float>(y);
        matrix.Rotate(UnitFloat(mRandom));
        mBlotchSprite->Draw(plain);
    }
    matrix.SetIdentity();

    for (const auto& grain : mStaticSprites)
    {
        grain->GetSpec().mAlpha = mStaticMin + (mStaticMax - mStaticMin) * UnitFloat(mRandom);
        grain->Draw(plain);
    }
    mGradientSprite->Draw(plain);
    if (opened)
        renderer->End2d();
}
