// MapTravel: the vignette's construction from its table, its phases on four transforms, the
// endless swing, the particles that follow the object, the travel sound and the drawing order.
#include "framework/adventure/map/map_travel.h"

#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "framework/sound/audio_manager.h"
#include "framework/sound/sound_play_record.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/widgets/animated_bitmap.h"
#include "particles/lua_particle_system.h"
#include "platform/log.h"
#include "platform/strings/number_pattern.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"

#include <algorithm>

namespace
{

constexpr float kLayerSmoothing = -0.5f;
constexpr float kLinear = 1.0f;
// The object comes in on the framework's 0.0 curve (it starts half way) and leaves easing out.
constexpr float kArriveSmoothing = 0.0f;
constexpr float kLeaveSmoothing = -0.75f;

std::shared_ptr<AnimatedBitmap> OptionalBitmap(const TLuaTable& table, const char* key)
{
    std::unique_ptr<TLuaTable> inner(table.GetTable(key));
    return inner != nullptr ? AnimatedBitmap::Create(*inner) : nullptr;
}

} // namespace

uint32_t MapTravel::ReadMs(const TLuaTable& table, const char* key)
{
    double value = table.GetNumber(key, 0);
    return value > 0 ? static_cast<uint32_t>(std::min(value, 4294967295.0)) : 0u;
}

MapTravel::MapTravel(const TLuaTable& entry, uint8_t location)
    : mMapImage(TSprite::Create(0)), mLayerTransform(&mLayerSpec), mObjectTransform(&mObjectSpec),
      mSceneTransform(&mSceneSpec), mSwingTransform(&mSwingSpec),
      mLocus(std::make_shared<ParticleVector>()), mAlphaValue(std::make_shared<ParticleVector>())
{
    mLocus->mWidth = 2;
    mAlphaValue->mWidth = 1;
    mTravelTime = MapTravel::ReadMs(entry, "traveltime");
    mTravelDelayTime = MapTravel::ReadMs(entry, "traveldelaytime");
    mLayerFadeTime = MapTravel::ReadMs(entry, "layerfadetime");
    mSpaceTravelX = MapTravel::ReadMs(entry, "spacetravelx");
    mSoundFade = MapTravel::ReadMs(entry, "soundfade");
    mSoundGroupId = MapTravel::ReadMs(entry, "soundgroupid");

    mLayerTransform.SetAlpha(0);
    mObjectTransform.SetX(-1000);
    mSceneTransform.SetAlpha(0);

    const TString map = entry.GetString("map", "");
    TString picture;
    if (map.Length() != 0 && !FormatNumberPattern(map, location, picture))
        Log("MapTravel: the \"map\" pattern '%s' does not name one number; no picture",
            map.c_str());
    if (picture.Length() != 0)
        mMapImage->SetTexture(TTexture::Get(picture, 0));
    mMapImage->GetSpec().mFlags |= kDrawOrigin;

    TString sound = entry.GetString("sound", "");
    if (sound.Length() != 0)
        if (AudioManager* audio = AudioManager::Instance())
            mSound = audio->Play(sound, false);

    std::unique_ptr<TLuaTable> travel(entry.GetTable("travel"));
    if (travel == nullptr)
    {
        ReportError("Cannot find table 'travel' for MapTravel!", "maptravel", 95, true);
        return;
    }
    mObject = AnimatedBitmap::Create(*travel);
    mMidpointX = static_cast<float>(travel->GetNumber("midpointx", 0));
    mY = static_cast<float>(travel->GetNumber("y", 0));
    mTimeSecondary = MapTravel::ReadMs(*travel, "timesecondary");
    mOscillateAmount = static_cast<float>(travel->GetNumber("oscillateamount", 0));
    mRotateAmount = static_cast<float>(travel->GetNumber("rotateamount", 0));
    mChildren = OptionalBitmap(*travel, "children");
    mBackground = OptionalBitmap(entry, "background");
    mForeground = OptionalBitmap(entry, "foreground");

    std::unique_ptr<TLuaTable> particles(entry.GetTable("particles"));
    if (particles != nullptr)
    {
        mParticles = std::make_shared<TLuaParticleSystem>();
        mParticleOffset = TVec2(static_cast<float>(particles->GetNumber("xoffset", 0)),
                                static_cast<float>(particles->GetNumber("yoffset", 0)));
        mParticles->RegisterFunction("dLocus", mLocus.get());
        mParticles->RegisterFunction("dAlpha", mAlphaValue.get());
        mParticles->Load(particles->GetString("script", ""));
    }
}

MapTravel::~MapTravel()
{
    if (mSound != 0)
        if (AudioManager* audio = AudioManager::Instance())
            audio->Stop(mSound, false);
    if (TransformManager* transforms = TransformManager::Instance())
        for (TM_Transform* target : Transforms())
            transforms->RemoveTransforms(target);
}

void MapTravel::FadeInLayer(uint32_t ms)
{
    TransformManager* transforms = TransformManager::Instance();
    if (transforms == nullptr)
        return;
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Alpha(ms, 1.0f, kFromCurrent, 0, kLayerSmoothing));
    transforms->AddTransform(&mLayerTransform, list);
}

void MapTravel::ShowLayers(const Callback& done)
{
    FadeScene(1.0f, done);
}

void MapTravel::HideLayers(const Callback& done)
{
    FadeScene(0.0f, done);
}

void MapTravel::FadeScene(float to, const Callback& done)
{
    mCompletion = done;
    TransformManager* transforms = TransformManager::Instance();
    if (transforms == nullptr)
    {
        mSceneTransform.SetAlpha(to);
        OnPhaseEnd(this, &mSceneTransform, 0);
        return;
    }
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Alpha(mLayerFadeTime, to, kFromCurrent, 0, kLayerSmoothing));
    transforms->AddTransform(&mSceneTransform, list, nullptr,
                             new Callback(this, &MapTravel::OnPhaseEnd));
}

uint32_t MapTravel::StartTravel(const Callback& done)
{
    mCompletion = done;
    float width = 0;
    float pivotX = 0;
    if (mObject != nullptr)
    {
        width = static_cast<float>(mObject->GetWidth());
        if (mObject->GetSprite() != nullptr)
            pivotX = mObject->GetSprite()->GetSpec().mOrigin.x;
    }
    // Far enough that the object is wholly off the screen on either side.
    const float distance =
        std::max(width + mMidpointX - pivotX, pivotX + kScreenWidth - mMidpointX);
    const float space = static_cast<float>(mSpaceTravelX);
    mStart = TVec2(mMidpointX - distance - space, mY);
    const TVec2 middle(mMidpointX, mY);
    mEnd = TVec2(mMidpointX + distance + space, mY);
    const uint32_t half = mTravelTime / 2;

    if (TransformManager* transforms = TransformManager::Instance())
    {
        auto* in = new TM_InstructionList;
        in->push_back(new TM_Move(half, true, middle, mStart, 0, kArriveSmoothing));
        uint32_t id = transforms->AddTransform(&mObjectTransform, in, nullptr,
                                               new Callback(this, &MapTravel::OnPhaseEnd));
        auto* out = new TM_InstructionList;
        out->push_back(new TM_Move(half, true, mEnd, middle, mTravelDelayTime, kLeaveSmoothing));
        transforms->AppendToTransform(id, out);
    }
    mSwingDue = Swings();

    if (mSound != 0)
        if (AudioManager* audio = AudioManager::Instance())
        {
            if (mSoundGroupId != 0)
            {
                auto* ramp = new SoundFade(mSoundFade, 0, 1.0f, 0.0f);
                if (!audio->GetGroupVolume(static_cast<int32_t>(mSoundGroupId), ramp))
                    delete ramp;
            }
            audio->PlayIndex(mSound);
            mSoundPlaying = true;
        }
    return mTravelDelayTime + mTravelTime;
}

void MapTravel::OnPhaseEnd(void* object, TM_Transform*, uint32_t id)
{
    auto* travel = static_cast<MapTravel*>(object);
    if (!travel->mCompletion)
        return;
    // Cleared before the call, so that a completion the call installs stays.
    Callback done = *travel->mCompletion;
    travel->mCompletion.reset();
    done.Call(nullptr, id);
}

void MapTravel::OnSwingEnd(void* object, TM_Transform*, uint32_t)
{
    auto* travel = static_cast<MapTravel*>(object);
    travel->mSwingDue = travel->Swings();
}

void MapTravel::StartSwing()
{
    mSwingDue = false;
    TransformManager* transforms = TransformManager::Instance();
    if (transforms == nullptr)
        return;
    const uint32_t half = mTimeSecondary / 2;
    auto cycleHalf = [&](float sign)
    {
        auto* list = new TM_InstructionList;
        if (mRotateAmount != 0)
        {
            list->push_back(new TM_Rotate(half, true, sign * mRotateAmount, 0, 0, kLinear));
            list->push_back(new TM_Rotate(half, true, 0, sign * mRotateAmount, half, kLinear));
        }
        if (mOscillateAmount != 0)
            list->push_back(new TM_Move(mTimeSecondary, true, TVec2(0, -sign * mOscillateAmount),
                                        TVec2(0, sign * mOscillateAmount), 0, kLayerSmoothing));
        return list;
    };
    uint32_t id = transforms->AddTransform(&mSwingTransform, cycleHalf(1.0f), nullptr,
                                           new Callback(this, &MapTravel::OnSwingEnd));
    transforms->AppendToTransform(id, cycleHalf(-1.0f));
}

void MapTravel::Update()
{
    if (mPaused)
        return;
    for (const auto& bitmap : {mObject, mChildren, mBackground, mForeground})
        if (bitmap != nullptr)
            bitmap->Update();
    if (mParticles != nullptr)
    {
        mLocus->mValue[0] = mObjectTransform.GetX() + mParticleOffset.x + mSwingTransform.GetX();
        mLocus->mValue[1] = mObjectTransform.GetY() + mParticleOffset.y + mSwingTransform.GetY();
        mAlphaValue->mValue[0] = mSceneTransform.GetAlpha();
        DeltaTime* clock = DeltaTime::Instance();
        mParticles->Update(static_cast<int32_t>(clock != nullptr ? clock->GetStep() : 0));
    }
    if (mSwingDue)
        StartSwing();
}

void MapTravel::Draw()
{
    const TDrawSpec objectPlace = mSwingSpec.Combine(mObjectSpec.Combine(mLayerSpec));
    const TDrawSpec scene = mSceneSpec.Combine(mLayerSpec);
    if (mBackground != nullptr)
        mBackground->Draw(scene);
    if (mObject != nullptr)
        mObject->Draw(objectPlace);
    if (mParticles != nullptr)
        mParticles->Draw(TVec3(0, 0, 0));
    if (mChildren != nullptr && mObject != nullptr && mObject->GetSprite() != nullptr)
        mChildren->Draw(mObject->GetSprite()->GetSpec().Combine(objectPlace));
    if (mForeground != nullptr)
        mForeground->Draw(scene);
}

void MapTravel::Pause()
{
    mPaused = true;
    if (TransformManager* transforms = TransformManager::Instance())
        for (TM_Transform* target : Transforms())
            transforms->PauseTransforms(target);
    for (const auto& bitmap : {mChildren, mBackground, mForeground})
        if (bitmap != nullptr)
            bitmap->Pause();
    if (mSoundPlaying)
        if (AudioManager* audio = AudioManager::Instance())
            audio->Pause(mSound);
}

void MapTravel::Resume()
{
    if (TransformManager* transforms = TransformManager::Instance())
        for (TM_Transform* target : Transforms())
            transforms->ResumeTransforms(target);
    for (const auto& bitmap : {mChildren, mBackground, mForeground})
        if (bitmap != nullptr)
            bitmap->Resume();
    if (mSoundPlaying)
        if (AudioManager* audio = AudioManager::Instance())
            audio->Resume(mSound);
    mPaused = false;
}
