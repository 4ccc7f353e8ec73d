// Areas: their keys, click events, the object laid on them, state changes, frames and mask, the
// hover pulse, particle effects and saved bytes.
#include "framework/adventure/entities/gameplay_area.h"

#include "framework/adventure/entities/gameplay_particle.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/adventure/scene/gameplay_event.h"
#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "framework/core/window_manager.h"
#include "framework/sound/sound_effect.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/transforms/transform_manager.h"
#include "framework/widgets/mask_collision_sprite.h"
#include "particles/lua_particle_system.h"
#include "render/sprites/animated_texture.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"

#include <algorithm>
#include <cmath>

namespace
{

const char kSource[] = "gameplayarea";
// The framework's S-curve for the image's fades; the hilight's fades are linear.
constexpr float kFadeSmoothing = -0.5f;
constexpr float kLinear = 1.0f;
// A mask texel must reach this alpha to be hit.
constexpr int kHitAlpha = 127;

uint32_t Duration(int32_t ms)
{
    return static_cast<uint32_t>(std::max(ms, 0));
}

TM_InstructionList* AlphaList(int32_t ms, float end, float begin, int32_t delay, float smoothing)
{
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Alpha(Duration(ms), end, begin, Duration(delay), smoothing));
    return list;
}

} // namespace

GameplayArea::GameplayArea(const TLuaTable& area, const TLuaTable& areaInfo)
    : GameplayEntity(area, kTypeArea), mMaskSprite(MaskCollisionSprite::Create())
{
    mHilightSpec.mAlpha = 0.0f;
    mMaskSprite->GetSpec().mFlags |= kDrawOrigin;
    mParticleLocus.mWidth = 2;
    mParticleSize.mWidth = 1;
    mHilightCenter.mWidth = 2;
    std::unique_ptr<TLuaTable> events(area.GetTable("events"));
    if (events == nullptr)
    {
        ReportError(TString::Format("Area '%s' has no \"events\" table, which every area needs",
                                    mName.c_str())
                        .c_str(),
                    kSource, __LINE__, true);
        return;
    }
    mHasCompletedFrame = area.GetBool("hascompletedframe", false);
    mHasActiveFrame = area.GetBool("hasactiveframe", false);
    mIsPortal = area.GetBool("isportal", false);
    mPersonification = ScriptNumberToInt(area.GetNumber("personification", 0));
    mActualName = area.GetString("actualname");
    mClickDialog = area.GetString("clickdialog");
    mPortalCursor = area.GetString("portalcursor");
    mCursor = area.GetString("cursor");
    // Numbers as text: a group of 3 is the group "3".
    mGroupId = area.GetString("groupid");
    mImage = area.GetString("image");
    mImageMaskSuffix = areaInfo.GetString("imagemask");
    mPosition = TVec2(static_cast<float>(ScriptNumberToInt(area.GetNumber("x", 0))),
                      static_cast<float>(ScriptNumberToInt(area.GetNumber("y", 0))));
    mInventoryPosition =
        TVec2(static_cast<float>(ScriptNumberToInt(area.GetNumber("inventoryx", 0))),
              static_cast<float>(ScriptNumberToInt(area.GetNumber("inventoryy", 0)))) +
        mPosition;
    mSpriteTransform.SetX(mPosition.x);
    mSpriteTransform.SetY(mPosition.y);

    TLuaObjectWrapper* key = nullptr;
    while (TLuaTable* value = events->Next(&key))
    {
        auto event = std::make_shared<ClickEvent>();
        event->inventory = key->ToString();
        event->eventName = value->GetString("eventname");
        mClickEvents.push_back(event);
        delete value;
    }

    mHilightCenter.mValue[0] = static_cast<float>(area.GetNumber("hilightcenterx", 0));
    mHilightCenter.mValue[1] = static_cast<float>(area.GetNumber("hilightcentery", 0));
    mHilightPath.ParsePoint(area.GetString("path"));
    if (std::unique_ptr<TLuaTable> sounds{area.GetTable("sounds")})
    {
        TLuaObjectWrapper* at = nullptr;
        if (TLuaTable* first = sounds->Next(&at))
        {
            mSound = SoundEffect::Create(*first);
            delete first;
            delete at;
        }
    }
    mHoldableInventory = ReadStringList(area, "holdableinventory");
    mCorrectInventoryToHold = ReadStringList(area, "correctinventorytohold");
    mCompleteParticleScript1 = areaInfo.GetString("particlecomplete1");
    mCompleteParticleScript2 = areaInfo.GetString("particlecomplete2");
    mHilightParticleScript = areaInfo.GetString("hilightparticles");
    mTimeHilightFade = ScriptNumberToInt(areaInfo.GetNumber("timehilightfade", 0));
    mTimeHilightFadeFast = ScriptNumberToInt(areaInfo.GetNumber("timehilightfadefast", 0));
    mAlphaHilightMin = static_cast<float>(areaInfo.GetNumber("alphahilightmin", 0));
    mTimeVisible = ScriptNumberToInt(areaInfo.GetNumber("timevisible", 0));
    mTimeCompleteFade = ScriptNumberToInt(areaInfo.GetNumber("timecompletefade", 0));
}

GameplayArea::~GameplayArea()
{
    // The systems go before the vectors they read.
    mCompleteParticles1.reset();
    mCompleteParticles2.reset();
    mHilightParticles.reset();
}

void GameplayArea::Update(uint32_t elapsedMs)
{
    const auto step = static_cast<int32_t>(std::min<uint32_t>(elapsedMs, INT32_MAX));
    for (std::shared_ptr<TLuaParticleSystem>* system :
         {&mCompleteParticles1, &mCompleteParticles2, &mHilightParticles})
    {
        if (*system == nullptr)
            continue;
        (*system)->Update(step);
        // A portal's hilight effect stays while the area is hilighted.
        if (system == &mHilightParticles && (mFlags & kHilighted) != 0)
            continue;
        if ((*system)->GetParticleCount() == 0 &&
            (*system)->GetScript()->GetGlobalNumber("gActive") == 0)
            system->reset();
    }
    if (mSound != nullptr)
        mSound->Update(elapsedMs);
    GameplayEntity::Update(elapsedMs);
}

// Drawing.

void GameplayArea::DrawFrame(int32_t frame, const TDrawSpec& parent)
{
    mSprite->SetFrame(frame);
    mSprite->Draw(parent, -1);
}

void GameplayArea::Draw(const TDrawSpec& parent)
{
    if ((mFlags & kShown) == 0)
        return;
    if ((mFlags & kCompleting) != 0)
    {
        // The active image fades out while the completed one fades in as the alpha falls.
        const float a = mSpriteTransform.GetAlpha();
        if (mHasActiveFrame)
        {
            mSpriteTransform.SetAlpha(a <= 0.5f ? 2.0f * a : 1.0f);
            DrawFrame(1, parent);
        }
        if (mHasCompletedFrame)
        {
            mSpriteTransform.SetAlpha(a >= 0.5f ? 2.0f * (1.0f - a) : 1.0f);
            DrawFrame(mHasActiveFrame ? 2 : 1, parent);
        }
        mSpriteTransform.SetAlpha(a);
        return;
    }
    if ((mFlags & kHilighted) != 0)
    {
        if (mHasActiveFrame)
            DrawFrame(1, parent);
        DrawFrame(0, mHilightSpec.Combine(parent));
        return;
    }
    if ((mFlags & kCompleted) != 0)
    {
        if (mHasActiveFrame && mHasCompletedFrame)
            DrawFrame(2, parent);
        else if (mHasCompletedFrame)
            DrawFrame(1, parent);
        return;
    }
    if (mHasActiveFrame)
        DrawFrame(1, parent);
}

void GameplayArea::DrawEffects(const TDrawSpec& parent)
{
    for (const auto& system : {mCompleteParticles1, mCompleteParticles2, mHilightParticles})
        if (system != nullptr)
            DrawParticlesAt(*system, parent);
}

void GameplayArea::Pause()
{
    if (TransformManager* manager = TransformManager::Instance())
        manager->PauseTransforms(&mSpriteTransform);
    if (mSound != nullptr)
        mSound->Pause();
}

void GameplayArea::Resume()
{
    if (TransformManager* manager = TransformManager::Instance())
        manager->ResumeTransforms(&mSpriteTransform);
    if (mSound != nullptr)
        mSound->Resume();
}

TRect GameplayArea::GetRect(const TDrawSpec& parent)
{
    const TDrawSpec spec = mSprite->GetSpec().Combine(parent);
    const auto left = static_cast<int32_t>(std::trunc(spec.mMatrix.m[2][0] - spec.mOrigin.x));
    const auto top = static_cast<int32_t>(std::trunc(spec.mMatrix.m[2][1] - spec.mOrigin.y));
    const std::shared_ptr<TAnimatedTexture> texture = mSprite->GetAnimatedTexture();
    const auto width = static_cast<int32_t>(texture ? texture->GetWidth() : 0);
    const auto height = static_cast<int32_t>(texture ? texture->GetHeight() : 0);
    return TRect(left, top, left + width, top + height);
}

// Textures and the mask.

std::vector<TString> GameplayArea::GetTextureNames() const
{
    if ((mFlags & kShown) == 0)
        return {};
    return {mImage + mImageMaskSuffix};
}

std::vector<TString> GameplayArea::GetAnimationNames() const
{
    if ((mFlags & kShown) == 0)
        return {};
    return {mImage};
}

void GameplayArea::LoadTextures()
{
    if ((mFlags & kShown) == 0)
        return;
    mMaskTexture = TTexture::Get(mImage + mImageMaskSuffix, 0);
    mSprite->SetTexture(TAnimatedTexture::Get(mImage, "", ""));
    if (mSprite->GetAnimatedTexture() == nullptr && mImage.Length() > 0)
        SayMissingPicture(mImage);
}

bool GameplayArea::CreateCollisionMask()
{
    if ((mFlags & kShown) == 0 || mMaskSprite->GetTexture() != nullptr)
        return true;
    if (mMaskTexture == nullptr || !mMaskSprite->CreateMask(mMaskTexture))
    {
        // A missing mask is said once, however often the textures are made again.
        if (mMaskTexture != nullptr || !mMissingMaskSaid)
            ReportError("CreateCollisionMask failed", kSource, __LINE__, false);
        mMissingMaskSaid = mMissingMaskSaid || mMaskTexture == nullptr;
        return false;
    }
    const std::shared_ptr<TAnimatedTexture> image = mSprite->GetAnimatedTexture();
    mMaskSprite->GetSpec().mOrigin = image ? image->GetRegistration() : TVec2(0, 0);
    mParticleLocus.mValue[0] = mSpriteTransform.GetX();
    mParticleLocus.mValue[1] = mSpriteTransform.GetY();
    mParticleSize.mValue[0] =
        0.5f * static_cast<float>(std::max(mMaskTexture->GetWidth(), mMaskTexture->GetHeight()));
    return true;
}

bool GameplayArea::RestoreTextures()
{
    return FinishTextures();
}

bool GameplayArea::FinishTextures()
{
    // A mask file that is missing stays missing: asking again would hold the scene's loading (or
    // its textures' return) for good. Only a mask that exists but could not be read is tried
    // again.
    return CreateCollisionMask() || mMaskTexture == nullptr;
}

void GameplayArea::CreateTextures()
{
    LoadTextures();
    if (FinishTextures())
        return;
    if (WindowManager* frames = WindowManager::Instance())
        frames->SetTexturesPending();
}

void GameplayArea::ReleaseTextures()
{
    mMaskTexture.reset();
    mSprite->SetTexture(nullptr);
    mMaskSprite->ReleaseMasks();
    if (mSound != nullptr)
        mSound->Release();
}

// Hits.

bool GameplayArea::HitTest(const TVec2& point)
{
    if ((mFlags & kActive) == 0)
        return false;
    const TDrawSpec& image = mSprite->GetSpec();
    return mMaskSprite->HitTest(point, image, -1, -1) &&
           mMaskSprite->HitTest(point, image, kHitAlpha, -1);
}

bool GameplayArea::TestInventoryDrop(GameplayInventory* inventory)
{
    if ((mFlags & kActive) == 0 || inventory == nullptr)
        return false;
    return mMaskSprite->CollidesWith(mSprite->GetSpec(), inventory->GetImageSprite()->GetSpec(),
                                     inventory->GetMaskSprite());
}

// The hover hilight.

bool GameplayArea::Hilight()
{
    StartHilightParticles();
    if ((mFlags & kHilighted) == 0)
    {
        mHilightTransform.SetAlpha(0.0f);
        mHilightState = 1;
        mFlags |= kHilighted;
    }
    if (mHilightState != 1)
        return false;
    StartPulse(false);
    if (mSound == nullptr)
        return true;
    // The area's own sound, after its delays.
    mSound->mPending = mSound->GetStartDelay();
    return false;
}

void GameplayArea::StartPulse(bool restart)
{
    TransformManager* manager = TransformManager::Instance();
    if (manager == nullptr)
        return;
    if (!restart)
        manager->RemoveTransforms(&mHilightTransform);
    mHilightState = 0;
    const uint32_t id = manager->AddTransform(
        &mHilightTransform, AlphaList(mTimeHilightFade, 1.0f, kFromCurrent, 0, kLinear),
        new Callback(this, &GameplayArea::OnPulseEnd), nullptr);
    manager->AppendToTransform(id, AlphaList(mTimeHilightFade, mAlphaHilightMin, 1.0f, 0, kLinear));
}

void GameplayArea::OnPulseEnd(void* object, TM_Transform*, uint32_t)
{
    static_cast<GameplayArea*>(object)->StartPulse(true);
}

void GameplayArea::OnHilightGone(void* object, TM_Transform*, uint32_t)
{
    auto* area = static_cast<GameplayArea*>(object);
    area->mFlags &= static_cast<uint8_t>(~kHilighted);
}

void GameplayArea::StartHilightFade(bool normalSpeed)
{
    if (mHilightState == 1 || (mFlags & kHilighted) == 0)
        return;
    mHilightState = 1;
    if (TransformManager* manager = TransformManager::Instance())
    {
        manager->RemoveTransforms(&mHilightTransform);
        manager->AddTransform(&mHilightTransform,
                              AlphaList(normalSpeed ? mTimeHilightFade : mTimeHilightFadeFast, 0.0f,
                                        kFromCurrent, 0, kLinear),
                              new Callback(this, &GameplayArea::OnHilightGone), nullptr);
    }
    else
    {
        mFlags &= static_cast<uint8_t>(~kHilighted);
    }
    if (mSound != nullptr)
        mSound->Stop();
    StopHilightParticles();
}

void GameplayArea::Flash(int32_t delayMs)
{
    if ((mFlags & kActive) == 0)
        return;
    TransformManager* manager = TransformManager::Instance();
    if (manager == nullptr)
        return;
    mFlags |= kHilighted;
    mHilightState = 1;
    mHilightTransform.SetAlpha(0.0f);
    manager->RemoveTransforms(&mHilightTransform);
    const uint32_t id = manager->AddTransform(
        &mHilightTransform, AlphaList(mTimeHilightFade, 1.0f, 0.0f, std::max(delayMs, 0), kLinear),
        new Callback(this, &GameplayArea::OnHilightGone), nullptr);
    manager->AppendToTransform(id, AlphaList(mTimeHilightFade, 0.0f, 1.0f, 0, kLinear));
}

// Particles.

std::shared_ptr<TLuaParticleSystem> GameplayArea::StartCompleteSystem(const TString& script,
                                                                      bool normalize)
{
    auto system = std::make_shared<TLuaParticleSystem>();
    if (normalize)
        system->RegisterNodeType("fNormalize", FindParticleNodeType("fNormalize"));
    system->RegisterFunction("dLocus", &mParticleLocus);
    system->RegisterFunction("dSize", &mParticleSize);
    system->Load(script);
    system->GetScript()->SetGlobalNumber("gActive", 1);
    return system;
}

void GameplayArea::StartCompleteParticles()
{
    if (mCompleteParticleScript1.Length() != 0)
        mCompleteParticles1 = StartCompleteSystem(mCompleteParticleScript1, false);
    if (mCompleteParticleScript2.Length() != 0)
        mCompleteParticles2 = StartCompleteSystem(mCompleteParticleScript2, true);
}

void GameplayArea::StopParticles()
{
    for (const auto& system : {mCompleteParticles1, mCompleteParticles2})
        if (system != nullptr)
            system->GetScript()->SetGlobalNumber("gActive", 0);
}

void GameplayArea::StartHilightParticles()
{
    if (!mIsPortal)
        return;
    if (mHilightParticleScript.Length() != 0 && mHilightParticles == nullptr)
    {
        mHilightParticles = std::make_shared<TLuaParticleSystem>();
        mHilightParticles->RegisterNodeType("fNormalize", FindParticleNodeType("fNormalize"));
        mHilightParticles->RegisterFunction("dLocus", &mHilightPath);
        mHilightParticles->RegisterFunction("dCenter", &mHilightCenter);
        mHilightParticles->Load(mHilightParticleScript);
    }
    // Emitting while hilighted: the stop's value here would keep the effect from ever starting.
    if (mHilightParticles != nullptr)
        mHilightParticles->GetScript()->SetGlobalNumber("gActive", 1);
}

void GameplayArea::StopHilightParticles()
{
    if (mHilightParticles != nullptr)
        mHilightParticles->GetScript()->SetGlobalNumber("gActive", 0);
}

// Click events.

const GameplayArea::ClickEvent* GameplayArea::MatchEvent(const TString& name) const
{
    const bool plain = name == TString("default");
    for (const std::shared_ptr<ClickEvent>& event : mClickEvents)
        if (event->inventory == name || (plain && event->used != 0))
            return event.get();
    return nullptr;
}

TString GameplayArea::FindEventForInventory(const TString& name) const
{
    if (const ClickEvent* event = MatchEvent(name))
        return event->eventName;
    ReportError(TString::Format("Cannot find event for inventory '%s'!", name.c_str()).c_str(),
                kSource, __LINE__, false);
    return TString();
}

bool GameplayArea::HasEventForInventory(const TString& name) const
{
    return MatchEvent(name) != nullptr;
}

void GameplayArea::MarkEventUsed(const TString& name)
{
    for (const std::shared_ptr<ClickEvent>& event : mClickEvents)
        if (event->inventory == name)
        {
            event->used = 1;
            return;
        }
}

// Holding.

bool GameplayArea::CanHoldInventory(const GameplayInventory* inventory) const
{
    return mHeldInventory == nullptr && inventory != nullptr &&
           std::find(mHoldableInventory.begin(), mHoldableInventory.end(), inventory->GetName()) !=
               mHoldableInventory.end();
}

bool GameplayArea::HoldsCorrectInventory() const
{
    return mHeldInventory != nullptr &&
           std::find(mCorrectInventoryToHold.begin(), mCorrectInventoryToHold.end(),
                     mHeldInventory->GetName()) != mCorrectInventoryToHold.end();
}

void GameplayArea::HoldInventory(GameplayInventory* inventory)
{
    if (mHeldInventory != nullptr)
    {
        ReportError("Cannot hold Inventory, slot already taken.", kSource, __LINE__, false);
        return;
    }
    if (!CanHoldInventory(inventory))
    {
        ReportError("Cannot hold Inventory.", kSource, __LINE__, false);
        return;
    }
    mHeldInventory = inventory;
    mHeldInventoryName = inventory->GetName();
}

void GameplayArea::LetGoInventory()
{
    mHeldInventory = nullptr;
    mHeldInventoryName = TString();
}

// State changes. An animated change fades the image when it has an active or a completed frame
// and a transform manager runs; otherwise it ends at once and its callback is due.

void GameplayArea::StartImageFade(float end, int32_t ms, Callback* callback)
{
    TransformManager::Instance()->AddTransform(
        &mSpriteTransform, AlphaList(ms, end, kFromCurrent, 0, kFadeSmoothing), callback, nullptr);
}

void GameplayArea::Activate(bool animate, WaitHandle&& report)
{
    if ((mFlags & kCompleted) != 0)
        return;
    mFlags |= kActive;
    HoldReport(std::move(report));
    Show(animate, nullptr);
}

void GameplayArea::Show(bool animate, WaitHandle&& report)
{
    if ((mFlags & kShown) != 0)
    {
        if (animate)
            mCompletionPending = 1;
        return;
    }
    mFlags |= kShown;
    HoldReport(std::move(report));
    if (animate)
        CreateTextures();
    if (animate && HasFrames() && TransformManager::Instance() != nullptr)
    {
        mSpriteTransform.SetAlpha(0.0f);
        StartImageFade(1.0f, mTimeVisible, NewOwnCallback());
        return;
    }
    mSpriteTransform.SetAlpha(1.0f);
    mCompletionPending = 1;
}

void GameplayArea::Hide(bool animate, WaitHandle&& report)
{
    if ((mFlags & kShown) == 0)
    {
        if (animate)
            mCompletionPending = 1;
        return;
    }
    mFlags &= static_cast<uint8_t>(~kShown);
    HoldReport(std::move(report));
    StopParticles();
    StopHilightParticles();
    if (animate && TransformManager::Instance() != nullptr)
    {
        mSpriteTransform.SetAlpha(1.0f);
        StartImageFade(0.0f, mTimeVisible, NewOwnCallback());
        return;
    }
    mCompletionPending = 1;
    if (!animate)
        ReleaseTextures();
}

void GameplayArea::Deactivate(bool animate, WaitHandle&& report)
{
    if ((mFlags & kShown) != 0 && animate && HasFrames() && TransformManager::Instance() != nullptr)
    {
        // The fade's end reports: an end still due from an earlier change would report early.
        HoldReport(std::move(report));
        mCompletionPending = 0;
        StartImageFade(0.0f, mTimeVisible, new Callback(this, &GameplayArea::OnDeactivated));
        return;
    }
    mFlags &= static_cast<uint8_t>(~(kActive | kShown));
    HoldReport(std::move(report));
    if (animate)
        mCompletionPending = 1;
}

void GameplayArea::OnDeactivated(void* object, TM_Transform*, uint32_t)
{
    auto* area = static_cast<GameplayArea*>(object);
    area->mFlags &= static_cast<uint8_t>(~(kActive | kShown));
    area->GameplayEntity::Complete();
}

void GameplayArea::Complete(WaitHandle&& report, bool animate)
{
    if ((mFlags & kCompleted) != 0)
        return;
    mFlags |= kCompleted;
    if ((mFlags & kActive) == 0)
    {
        // A change still fading (the area being shown) keeps its pair: it is told at the end.
        HoldReport(std::move(report));
        mCompletionPending = 1;
        return;
    }
    mFlags &= static_cast<uint8_t>(~kActive);
    HoldReport(std::move(report));
    StartHilightFade(animate);
    if (animate && TransformManager::Instance() != nullptr)
    {
        // The callback waits for the fade's end.
        mFlags |= kCompleting;
        mCompletionPending = 0;
        StartCompleteParticles();
        mSpriteTransform.SetAlpha(1.0f);
        StartImageFade(0.0f, mTimeCompleteFade, new Callback(this, &GameplayArea::OnCompleted));
        if (mSound != nullptr)
            mSound->Stop();
        return;
    }
    if (!mHasCompletedFrame)
        Hide(false, nullptr);
    mCompletionPending = 1;
}

void GameplayArea::OnCompleted(void* object, TM_Transform*, uint32_t)
{
    auto* area = static_cast<GameplayArea*>(object);
    area->mFlags &= static_cast<uint8_t>(~(uint8_t{kActive} | kHilighted | kCompleting));
    area->mSpriteTransform.SetAlpha(1.0f);
    area->GameplayEntity::Complete();
}

// Saved bytes: the flag byte, the used flags eight a byte (the first event in the lowest bit),
// the held name's length and its bytes.

uint32_t GameplayArea::GetStateSize() const
{
    return static_cast<uint32_t>(2 + UsedBytes() +
                                 static_cast<size_t>(mHeldInventoryName.Length()));
}

void GameplayArea::SaveState(std::vector<uint8_t>& out)
{
    // A completion still fading is stored as its end leaves the area.
    out.push_back((mFlags & kCompleting) != 0
                      ? static_cast<uint8_t>(mFlags & ~(kActive | kHilighted | kCompleting))
                      : mFlags);
    std::vector<uint8_t> used(UsedBytes(), 0);
    for (size_t i = 0; i < mClickEvents.size(); ++i)
        if (mClickEvents[i]->used != 0)
            used[i / 8] = static_cast<uint8_t>(used[i / 8] | (1u << (i % 8)));
    out.insert(out.end(), used.begin(), used.end());
    // Written whenever the name is set, as the size counts it: a held object restored before its
    // area saves again keeps every later entity's bytes in place.
    const size_t length = std::min<size_t>(static_cast<size_t>(mHeldInventoryName.Length()), 255);
    out.push_back(static_cast<uint8_t>(length));
    out.insert(out.end(), mHeldInventoryName.c_str(), mHeldInventoryName.c_str() + length);
}

size_t GameplayArea::MeasureState(const uint8_t* data, size_t size) const
{
    const size_t fixed = 2 + UsedBytes();
    if (data == nullptr || size < fixed)
        return 0;
    const size_t total = fixed + data[fixed - 1];
    return total <= size ? total : 0;
}

bool GameplayArea::LoadState(const uint8_t* data, size_t size)
{
    const size_t length = MeasureState(data, size);
    if (length == 0)
        return false;
    const uint8_t flags = data[0];
    for (size_t i = 0; i < mClickEvents.size(); ++i)
        mClickEvents[i]->used = static_cast<uint8_t>((data[1 + i / 8] >> (i % 8)) & 1u);
    const size_t fixed = 2 + UsedBytes();
    mHeldInventoryName =
        TString(reinterpret_cast<const char*>(data + fixed), static_cast<unsigned>(length - fixed));

    // Re-entered without animation or reports.
    WaitHandle held = std::move(mHeldReport);
    const uint8_t pending = mCompletionPending;
    mFlags = flags;
    if ((flags & kCompleted) != 0)
    {
        if (mHasCompletedFrame)
        {
            mFlags &= static_cast<uint8_t>(~kShown);
            Show(false, nullptr);
        }
        else
        {
            mFlags |= kShown;
            Hide(false, nullptr);
        }
    }
    else if ((flags & kActive) != 0)
    {
        mFlags &= static_cast<uint8_t>(~kShown);
        Activate(false, nullptr);
    }
    else if ((flags & kShown) != 0)
    {
        mFlags &= static_cast<uint8_t>(~kShown);
        Show(false, nullptr);
    }
    mHeldReport = std::move(held);
    mCompletionPending = pending;
    return true;
}
