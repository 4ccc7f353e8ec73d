// A hint medallion: built from its tables, its glow and tracker pulses on the transform manager,
// the spin, hit tests on the pictures, and its sounds started when their countdowns run out.
#include "game/hud/gameplay_hint.h"

#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "framework/sound/sound_effect.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/transforms/transform_manager.h"
#include "platform/log.h"
#include "render/renderer/renderer.h"
#include "render/renderer/vertex_set.h"
#include "render/sprites/animated_texture.h"
#include "render/sprites/sprite.h"
#include "script/lua_object_wrapper.h"

#include <algorithm>
#include <climits>

namespace
{

const char kSource[] = "gameplayhint";
constexpr float kSmoothing = -0.5f;
// The display's triangle-list primitive.
constexpr uint32_t kTriangleList = 4;

uint32_t Duration(int32_t ms)
{
    return ms > 0 ? static_cast<uint32_t>(ms) : 0u;
}

int32_t ReadInt(const TLuaTable& table, const char* key)
{
    return ScriptNumberToInt(table.GetNumber(key, 0));
}

float ReadFloat(const TLuaTable& table, const char* key)
{
    return static_cast<float>(table.GetNumber(key, 0));
}

// A sprite of the animated picture "image" at ("x", "y"); a picture the game lacks is said.
std::shared_ptr<TAnimatedSprite> Picture(const TLuaTable& table)
{
    std::shared_ptr<TAnimatedSprite> sprite = TAnimatedSprite::Create(0);
    const TString image = table.GetString("image");
    if (image.Length() != 0)
        sprite->SetTexture(TAnimatedTexture::Get(image, "", ""));
    if (image.Length() != 0 && sprite->GetAnimatedTexture() == nullptr)
        ReportMissingPicture("GameplayHint", image, "gameplayhint", __LINE__);
    sprite->GetSpec().mMatrix.m[2][0] = ReadFloat(table, "x");
    sprite->GetSpec().mMatrix.m[2][1] = ReadFloat(table, "y");
    return sprite;
}

TM_InstructionList* Fade(int32_t ms, float to, float from, uint32_t delay)
{
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Alpha(Duration(ms), to, from, delay, kSmoothing));
    return list;
}

std::shared_ptr<SoundEffect> Sound(const TLuaTable& character, const char* key)
{
    std::unique_ptr<TLuaTable> table{character.GetTable(key)};
    return table != nullptr ? SoundEffect::Create(*table) : nullptr;
}

} // namespace

const uint16_t GameplayHint::kScrimIndices[6] = {0, 1, 2, 0, 2, 3};

GameplayHint::GameplayHint(const TLuaTable& character, const TLuaTable& hintInfo)
    : mMedallionSprite(TAnimatedSprite::Create(0))
{
    mMedallionSpinDuration = ReadFloat(hintInfo, "medallionspinduration");
    mTimePulse = ReadInt(hintInfo, "timepulse");
    mAlphaPulse = ReadFloat(hintInfo, "alphapulse");
    mTimeMedallionPulse = ReadInt(hintInfo, "timemedallionpulse");
    mAlphaMedallionPulse = ReadFloat(hintInfo, "alphamedallionpulse");
    mTimePulseDelay = ReadInt(hintInfo, "timepulsedelay");

    std::unique_ptr<TLuaTable> medallion{character.GetTable("medallion")};
    if (medallion == nullptr)
    {
        ReportError("No medallion table for GameplayHint!", kSource, __LINE__, true);
        return;
    }
    mMedallionSprite = Picture(*medallion);
    mGlowTransform.SetAlpha(0.0f);

    std::unique_ptr<TLuaTable> trackers{character.GetTable("tracker")};
    if (trackers == nullptr)
    {
        ReportError("No tracker table for GameplayHint!", kSource, __LINE__, true);
        return;
    }
    for (size_t i = 0;; ++i)
    {
        std::unique_ptr<TLuaTable> tracker{
            trackers->GetTable(TString::Format("hint_%d", static_cast<int>(i)).c_str())};
        if (tracker == nullptr)
            break;
        // The masks hold eight trackers; a ninth could never become available.
        if (i == kMaxTrackers)
        {
            Log("ERROR: A medallion holds at most %d trackers; \"hint_%d\" and later are left out",
                static_cast<int>(kMaxTrackers), static_cast<int>(i));
            break;
        }
        mTrackerSprites.push_back(Picture(*tracker));
        // No glow until the tracker's first pulse.
        mTrackerSpecs.push_back(std::make_shared<TDrawSpec>(TVec2(), 0.0f));
        mTrackerTransforms.push_back(std::make_shared<TM_Transform2D>(mTrackerSpecs.back().get()));
        StartPulse(i, Duration(mTimePulseDelay) * static_cast<uint32_t>(i + 1));
        mAvailableMask = static_cast<uint8_t>(mAvailableMask | 1u << i);
    }

    const float x = ReadFloat(character, "scrimx");
    const float y = ReadFloat(character, "scrimy");
    const float w = ReadFloat(character, "scrimw");
    const float h = ReadFloat(character, "scrimh");
    const TVec2 corners[4] = {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}};
    for (size_t i = 0; i < 4; ++i)
        mScrimVertices[i] = {corners[i].x, corners[i].y, 0.0f, 0.5f, 0xFF000000u, 0, 0, 0};

    mClickSound = Sound(character, "click");
    mOverSound = Sound(character, "over");
}

GameplayHint::~GameplayHint()
{
    for (const std::shared_ptr<SoundEffect>& sound : {mClickSound, mOverSound})
        if (sound != nullptr)
            sound->Release();
    if (TransformManager* transforms = TransformManager::Instance())
    {
        transforms->RemoveTransforms(&mGlowTransform);
        transforms->RemoveTransforms(&mSpinTransform);
        for (const std::shared_ptr<TM_Transform2D>& transform : mTrackerTransforms)
            transforms->RemoveTransforms(transform.get());
    }
}

// --- pulses, glow and sounds --------------------------------------------------------------------

void GameplayHint::StartPulse(size_t index, uint32_t delay)
{
    TransformManager* transforms = TransformManager::Instance();
    if (transforms == nullptr)
        return;
    TM_Transform* target = mTrackerTransforms[index].get();
    const uint32_t id =
        transforms->AddTransform(target, Fade(mTimePulse, mAlphaPulse, 0.0f, delay), nullptr,
                                 new Callback(this, &GameplayHint::RestartTrackerPulse));
    transforms->AppendToTransform(id, Fade(mTimePulse, 0.0f, mAlphaPulse, 0));
}

void GameplayHint::RestartTrackerPulse(void* object, TM_Transform* target, uint32_t)
{
    auto* self = static_cast<GameplayHint*>(object);
    for (size_t i = 0; i < self->mTrackerTransforms.size(); ++i)
        if (self->mTrackerTransforms[i].get() == target)
            self->StartPulse(i, 0);
}

uint32_t GameplayHint::FadeFromCurrent(TM_Transform* target, int32_t ms, float to)
{
    TransformManager* transforms = TransformManager::Instance();
    if (transforms == nullptr)
        return 0;
    transforms->RemoveTransforms(target);
    return transforms->AddTransform(target, Fade(ms, to, kFromCurrent, 0));
}

void GameplayHint::Schedule(SoundEffect* sound)
{
    if (sound == nullptr)
        return;
    const int64_t wait = int64_t(sound->mInitialDelay) + sound->mDelay;
    sound->mPending = static_cast<int32_t>(std::clamp<int64_t>(wait, 0, INT32_MAX));
    sound->mEndCallback = nullptr;
}

void GameplayHint::Update(const TIntPoint& point)
{
    TransformManager* transforms = TransformManager::Instance();
    if (mHoverRequested != 0 && mGlowOn == 0)
    {
        const uint32_t id =
            FadeFromCurrent(&mGlowTransform, mTimeMedallionPulse, mAlphaMedallionPulse);
        if (transforms != nullptr && id != 0)
        {
            transforms->AppendToTransform(id,
                                          Fade(mTimeMedallionPulse, 0.0f, mAlphaMedallionPulse, 0));
            transforms->SetLooping(id);
        }
        mGlowOn = 1;
        Schedule(mOverSound.get());
    }
    else if (mHoverRequested == 0 && mGlowOn != 0)
    {
        FadeFromCurrent(&mGlowTransform, mTimeMedallionPulse, 0.0f);
        mGlowOn = 0;
    }
    else if (mTrackerHoverRequested != 0 && mTrackerHighlightOn == 0)
    {
        for (size_t i = 0; i < mTrackerSprites.size(); ++i)
        {
            const bool hit = HitSprite(*mTrackerSprites[i], mTrackerSprites[i]->GetFrame(), point,
                                       TDrawSpec(), 128);
            FadeFromCurrent(mTrackerTransforms[i].get(), mTimePulse, hit ? mAlphaPulse : 0.0f);
            if (hit)
                mHighlightedTracker = static_cast<uint32_t>(i);
        }
        mTrackerHighlightOn = 1;
        Schedule(mOverSound.get());
    }
    else if (mTrackerHoverRequested == 0 && mTrackerHighlightOn != 0)
    {
        const size_t highlighted = mHighlightedTracker & 0xFFFFu;
        if (highlighted < mTrackerTransforms.size())
            FadeFromCurrent(mTrackerTransforms[highlighted].get(), mTimePulse, 0.0f);
        for (size_t j = 0; j < mTrackerTransforms.size(); ++j)
            StartPulse(j, Duration(mTimePulseDelay) * static_cast<uint32_t>(j));
        mTrackerHighlightOn = 0;
    }
    mHoverRequested = 0;
    mTrackerHoverRequested = 0;
    DeltaTime* clock = DeltaTime::Instance();
    const uint32_t step = clock != nullptr ? clock->GetStep() : 0;
    for (SoundEffect* sound : {mClickSound.get(), mOverSound.get()})
        if (sound != nullptr)
            sound->Update(step);
}

void GameplayHint::Pause()
{
    if (TransformManager* transforms = TransformManager::Instance())
    {
        for (const std::shared_ptr<TM_Transform2D>& transform : mTrackerTransforms)
            transforms->PauseTransforms(transform.get());
        transforms->PauseTransforms(&mSpinTransform);
        transforms->PauseTransforms(&mGlowTransform);
    }
    for (SoundEffect* sound : {mClickSound.get(), mOverSound.get()})
        if (sound != nullptr)
            sound->Pause();
}

void GameplayHint::Resume()
{
    if (TransformManager* transforms = TransformManager::Instance())
    {
        for (const std::shared_ptr<TM_Transform2D>& transform : mTrackerTransforms)
            transforms->ResumeTransforms(transform.get());
        transforms->ResumeTransforms(&mSpinTransform);
        transforms->ResumeTransforms(&mGlowTransform);
    }
    for (SoundEffect* sound : {mClickSound.get(), mOverSound.get()})
        if (sound != nullptr)
            sound->Resume();
}

void GameplayHint::Spin(bool play)
{
    const float end = play ? mMedallionSpinDuration : 0.0f;
    TransformManager* transforms = TransformManager::Instance();
    if (mMedallionSpinDuration <= 0.0f || transforms == nullptr)
    {
        // No time to spin in: the spin ends at once.
        mSpunToEnd = play;
        mSpinTransform.SetPosition(end, 0.0f, 0.0f);
    }
    else
    {
        auto* list = new TM_InstructionList;
        list->push_back(new TM_Move(static_cast<uint32_t>(mMedallionSpinDuration), true,
                                    TVec2(end, 0.0f), kFromCurrent2, 0, 1.0f));
        transforms->AddTransform(&mSpinTransform, list);
    }
    if (play)
        Schedule(mClickSound.get());
}

// --- drawing and hit tests ----------------------------------------------------------------------

int32_t GameplayHint::GetSpinFrame() const
{
    const int32_t last = mMedallionSprite->GetFrameCount() - 1;
    if (mMedallionSpinDuration <= 0.0f)
        return mSpunToEnd ? last : 0;
    const float progress = mSpinSpec.mMatrix.m[2][0] / mMedallionSpinDuration;
    return std::clamp(static_cast<int32_t>(static_cast<float>(last) * progress), 0, last);
}

void GameplayHint::DrawMedallion(const TDrawSpec& spec)
{
    TRenderer* renderer = TRenderer::Instance();
    if (renderer == nullptr)
        return;
    // The scrim's vertices go through a fresh 2-D block.
    const bool was2d = renderer->InBegin2d();
    if (was2d)
        renderer->End2d();
    const bool opened = renderer->Begin2d();
    renderer->SetTexture(nullptr);
    TVertexSet* set = TVertexSet::CreateColored(mScrimVertices, 4);
    renderer->DrawIndexedVertices(kTriangleList, *set, kScrimIndices, 6);
    TVertexSet::Release(set);

    mMedallionSprite->SetFrame(GetSpinFrame());
    mMedallionSprite->Draw(spec);
    if (mGlowSpec.mAlpha > 0.0f)
    {
        renderer->SetBlendMode(2);
        mMedallionSprite->Draw(mGlowSpec.Combine(spec));
        renderer->SetBlendMode(0);
    }
    if (!was2d && opened)
        renderer->End2d();
}

void GameplayHint::DrawTrackers(const TDrawSpec& spec)
{
    for (size_t i = 0; i < mTrackerSprites.size(); ++i)
    {
        if ((mAvailableMask & (1u << i)) == 0)
            continue;
        TAnimatedSprite& sprite = *mTrackerSprites[i];
        sprite.SetFrame(1);
        sprite.Draw(spec);
        sprite.SetFrame(0);
        sprite.Draw(mTrackerSpecs[i]->Combine(spec));
    }
}

bool GameplayHint::HitSprite(TAnimatedSprite& sprite, int32_t frame, const TIntPoint& point,
                             const TDrawSpec& spec, int threshold)
{
    const int32_t previous = sprite.GetFrame();
    sprite.SetFrame(frame);
    const bool hit = sprite.HitTest(TVec2(static_cast<float>(point.x), static_cast<float>(point.y)),
                                    spec, threshold);
    sprite.SetFrame(previous);
    return hit;
}

bool GameplayHint::HitTracker(const TIntPoint& point, const TDrawSpec& spec, bool availableOnly)
{
    for (size_t i = 0; i < mTrackerSprites.size(); ++i)
    {
        if (availableOnly && (mAvailableMask & (1u << i)) == 0)
            continue;
        if (HitSprite(*mTrackerSprites[i], 1, point, spec, 255))
            return true;
    }
    return false;
}

void GameplayHint::SelectTrackerAt(const TIntPoint& point, const TDrawSpec& spec)
{
    for (size_t i = 0; i < mTrackerSprites.size(); ++i)
    {
        if ((mAvailableMask & (1u << i)) == 0)
            continue;
        if (HitSprite(*mTrackerSprites[i], 1, point, spec, 255))
        {
            mSelectedMask = static_cast<uint8_t>(mSelectedMask | 1u << i);
            return;
        }
    }
    Schedule(mClickSound.get());
}

bool GameplayHint::HitMedallion(const TIntPoint& point, const TDrawSpec& spec, bool onlyIfMissing)
{
    if (onlyIfMissing && GetFirstMissingTracker() < 0)
        return false;
    return HitSprite(*mMedallionSprite, 0, point, spec, 255);
}

// --- trackers -----------------------------------------------------------------------------------

TIntPoint GameplayHint::GetClickedPosition(const TDrawSpec& spec)
{
    const int32_t selected = GetFirstSelectedTracker();
    if (selected < 0)
    {
        ReportError("GameplayHint::GetClickedPosition() with no clicked hint!", kSource, __LINE__,
                    false);
        return {};
    }
    const TMat3& m = mTrackerSprites[static_cast<size_t>(selected)]->GetSpec().mMatrix;
    const TVec2 at = TVec2(m.m[2][0], m.m[2][1]) * spec.mMatrix;
    return {static_cast<int32_t>(at.x), static_cast<int32_t>(at.y)};
}

int32_t GameplayHint::GetFirstMissingTracker() const
{
    for (size_t i = 0; i < mTrackerSprites.size(); ++i)
        if ((mAvailableMask & (1u << i)) == 0)
            return static_cast<int32_t>(i);
    return -1;
}

int32_t GameplayHint::GetFirstSelectedTracker() const
{
    for (size_t i = 0; i < mTrackerSprites.size(); ++i)
        if ((mSelectedMask & (1u << i)) != 0)
            return static_cast<int32_t>(i);
    return -1;
}

TIntPoint GameplayHint::GetTrackerPosition(int32_t index) const
{
    if (!IsIndex(index))
    {
        ReportError("No missing trackers!", kSource, __LINE__, false);
        return {};
    }
    const TMat3& m = mTrackerSprites[static_cast<size_t>(index)]->GetSpec().mMatrix;
    return {static_cast<int32_t>(m.m[2][0]), static_cast<int32_t>(m.m[2][1])};
}

std::shared_ptr<TAnimatedTexture> GameplayHint::GetTrackerTexture(int32_t index) const
{
    if (!IsIndex(index))
    {
        ReportError("No missing trackers!", kSource, __LINE__, false);
        return mTrackerSprites.empty() ? nullptr : mTrackerSprites[0]->GetAnimatedTexture();
    }
    return mTrackerSprites[static_cast<size_t>(index)]->GetAnimatedTexture();
}

void GameplayHint::FillNextTracker()
{
    const int32_t missing = GetFirstMissingTracker();
    if (missing >= 0)
        mAvailableMask = static_cast<uint8_t>(mAvailableMask | 1u << missing);
}

int32_t GameplayHint::CountAvailableTrackers() const
{
    int32_t count = 0;
    for (uint32_t bits = mAvailableMask; bits != 0; bits &= bits - 1)
        ++count;
    return count;
}
