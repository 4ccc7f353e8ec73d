// The streak's build from its description, its timeline on the transform manager (drop fade-in,
// slide, delayed fall; the streak's fade-out) and its drawing with the soft leading edge.
#include "game/dialogs/blood_streak.h"

#include "framework/core/delta_time.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/transforms/transform_manager.h"
#include "game/cutscenes/cutscene_keys.h"
#include "platform/maths/random.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"

#include <cmath>

namespace
{
const char kOwner[] = "BloodStreak";
constexpr float kSmoothing = -0.5f;
// The fall starts slower than the framework's other moves.
constexpr float kFallSmoothing = -0.75f;

uint32_t Duration(int32_t ms)
{
    return ms > 0 ? static_cast<uint32_t>(ms) : 0;
}

// trunc(r × (span + 1)) in whole pixels, r in [0, 1).
int32_t Spread(double r, int32_t span)
{
    double value = std::trunc(r * (static_cast<double>(span) + 1.0));
    if (!(value > -2147483648.0) || !(value < 2147483647.0))
        return 0;
    return static_cast<int32_t>(value);
}
} // namespace

BloodStreak::BloodStreak()
    : mStreakSprite(TSprite::Create(0)), mStreakTransform(&mStreakSprite->GetSpec()),
      mDropSprite(TSprite::Create(0)), mDropTransform(&mDropSprite->GetSpec())
{
}

BloodStreak::~BloodStreak()
{
    if (TransformManager* transforms = TransformManager::Instance())
    {
        transforms->RemoveTransforms(&mDropTransform);
        transforms->RemoveTransforms(&mStreakTransform);
    }
}

void BloodStreak::OnFadedOut(void* object, TM_Transform*, uint32_t)
{
    static_cast<BloodStreak*>(object)->mFinished = true;
}

std::shared_ptr<BloodStreak> BloodStreak::Create(const TLuaTable& description)
{
    std::shared_ptr<TTexture> streakTexture =
        TTexture::Get(description.GetString("imagestreak", TString()), 0);
    std::shared_ptr<TTexture> dropTexture =
        TTexture::Get(description.GetString("imagedrop", TString()), 0);
    if (streakTexture == nullptr || dropTexture == nullptr)
        return nullptr;

    auto streak = std::make_shared<BloodStreak>();
    streak->mStreakFadeLength =
        static_cast<float>(cutscene::ReadNumber(description, "streakfadelength", 0, kOwner));
    if (!std::isfinite(streak->mStreakFadeLength))
        streak->mStreakFadeLength = 0;

    // Seeded by the frame clock, so streaks made in one frame come out alike and a run on the
    // fixed step repeats.
    uint32_t seed = DeltaTime::Now();
    TRandom random;
    random.Seed(seed);
    int32_t widthAllowance = cutscene::ReadInt(description, "widthallowance", 0, kOwner);
    int32_t widthBuffer = cutscene::ReadInt(description, "widthbuffer", 0, kOwner);
    int32_t widthMax = cutscene::ReadInt(description, "widthmax", 0, kOwner);
    int32_t widthMin = cutscene::ReadInt(description, "widthmin", 0, kOwner);
    int32_t heightMin = cutscene::ReadInt(description, "heightmin", 0, kOwner);
    int32_t heightAllowance = cutscene::ReadInt(description, "heightallowance", 0, kOwner);
    float y = static_cast<float>(heightMin) + Spread(random.NextDouble(), heightAllowance);
    int32_t across = Spread(random.NextDouble(), widthAllowance);
    float x = (seed & 1u) != 0
                  ? static_cast<float>(widthMin) + widthBuffer + across
                  : static_cast<float>(widthMax) - widthBuffer - widthAllowance + across;

    int32_t width = static_cast<int32_t>(streakTexture->GetWidth());
    int32_t height = static_cast<int32_t>(streakTexture->GetHeight());
    streak->mStreakHeight = height;
    streak->mStreakSprite->SetTexture(streakTexture);
    TDrawSpec& streakSpec = streak->mStreakSprite->GetSpec();
    streakSpec.mFlags = kDrawSourceRect | kDrawOrigin;
    streak->mStreakTransform.SetX(x);
    streak->mStreakTransform.SetY(y);
    streakSpec.mOrigin = TVec2(static_cast<float>(width) / 2, 0);
    // Nothing of the streak shows until the drop slides down it.
    streakSpec.mSourceRect = TRect(0, height, width, height);

    streak->mDropSprite->SetTexture(dropTexture);
    TDrawSpec& dropSpec = streak->mDropSprite->GetSpec();
    dropSpec.mFlags = kDrawOrigin;
    streak->mDropTransform.SetX(x);
    streak->mDropTransform.SetY(y);
    float dropCentreY =
        static_cast<float>(cutscene::ReadNumber(description, "dropcentery", 0, kOwner));
    dropSpec.mOrigin = TVec2(static_cast<float>(dropTexture->GetWidth()) / 2,
                             std::isfinite(dropCentreY) ? dropCentreY : 0);
    streak->mDropTransform.SetAlpha(0);

    int32_t timeFadeIn = cutscene::ReadInt(description, "timefadein", 0, kOwner);
    int32_t timeFadeOut = cutscene::ReadInt(description, "timefadeout", 0, kOwner);
    int32_t timeSlide = cutscene::ReadInt(description, "timeslide", 0, kOwner);
    int32_t timeDropDelay = cutscene::ReadInt(description, "timedropdelay", 0, kOwner);
    int32_t timeDrop = cutscene::ReadInt(description, "timedrop", 0, kOwner);
    float distanceDrop =
        static_cast<float>(cutscene::ReadNumber(description, "distancedrop", 0, kOwner));
    if (!std::isfinite(distanceDrop))
        distanceDrop = 0;

    TransformManager* transforms = TransformManager::Instance();
    if (transforms == nullptr)
        return streak;
    auto* fadeIn = new TM_InstructionList;
    fadeIn->push_back(new TM_Alpha(Duration(timeFadeIn), 1.0f, 0.0f, 0, kSmoothing));
    uint32_t drop = transforms->AddTransform(&streak->mDropTransform, fadeIn);
    auto* slide = new TM_InstructionList;
    slide->push_back(new TM_Move(Duration(timeSlide), false, TVec2(0, static_cast<float>(height)),
                                 TVec2(0, 0), 0, kSmoothing));
    transforms->AppendToTransform(drop, slide);
    auto* fall = new TM_InstructionList;
    fall->push_back(new TM_Move(Duration(timeDrop), false, TVec2(0, distanceDrop), TVec2(0, 0),
                                Duration(timeDropDelay), kFallSmoothing));
    transforms->AppendToTransform(drop, fall);

    // The streak waits out the drop's whole run before it fades.
    uint64_t wait = static_cast<uint64_t>(Duration(timeFadeIn)) + Duration(timeSlide) +
                    Duration(timeDropDelay) + Duration(timeDrop);
    auto* fadeOut = new TM_InstructionList;
    fadeOut->push_back(new TM_Alpha(Duration(timeFadeOut), 0.0f, 1.0f,
                                    static_cast<uint32_t>(std::min<uint64_t>(wait, 0xFFFFFFFFu)),
                                    kSmoothing));
    transforms->AddTransform(&streak->mStreakTransform, fadeOut,
                             new Callback(streak.get(), &BloodStreak::OnFadedOut));
    return streak;
}

bool BloodStreak::IsRevealing() const
{
    return (mStreakSprite->GetSpec().mFlags & kDrawSourceRect) != 0;
}

void BloodStreak::Reveal()
{
    if (!IsRevealing())
        return;
    TDrawSpec& spec = mStreakSprite->GetSpec();
    double slid = std::trunc(static_cast<double>(mDropTransform.GetY()) - mStreakTransform.GetY());
    int32_t top = mStreakHeight;
    if (slid >= mStreakHeight)
        top = 0;
    else if (slid > 0)
        top = mStreakHeight - static_cast<int32_t>(slid);
    spec.mSourceRect.top = top;
    if (top <= 0)
        spec.mFlags = kDrawOrigin;
}

void BloodStreak::Draw(const TDrawSpec& parent)
{
    mStreakSprite->Draw(parent, -1);
    if (IsRevealing() && mStreakFadeLength > 1)
    {
        // Above the revealed part, rows of the image one pixel higher each, fading out linearly.
        TDrawSpec& spec = mStreakSprite->GetSpec();
        const TRect source = spec.mSourceRect;
        const float y = spec.mMatrix.m[2][1];
        spec.mSourceRect.bottom = spec.mSourceRect.top;
        TDrawSpec faded = parent;
        for (int32_t k = 1; mStreakFadeLength - static_cast<float>(k) > 0; ++k)
        {
            float f = mStreakFadeLength - static_cast<float>(k);
            --spec.mSourceRect.top;
            spec.mMatrix.m[2][1] = y - static_cast<float>(k);
            if (spec.mSourceRect.top < 0)
                break;
            faded.mAlpha = parent.mAlpha * f / mStreakFadeLength;
            mStreakSprite->Draw(faded, -1);
            --spec.mSourceRect.bottom;
        }
        spec.mSourceRect = source;
        // Put back exactly: a fractional fade length would otherwise creep the streak upward
        // one part of a pixel each frame.
        spec.mMatrix.m[2][1] = y;
    }
    mDropSprite->Draw(parent, -1);
}

void BloodStreak::Pause()
{
    if (TransformManager* transforms = TransformManager::Instance())
    {
        transforms->PauseTransforms(&mDropTransform);
        transforms->PauseTransforms(&mStreakTransform);
    }
}

void BloodStreak::Resume()
{
    if (TransformManager* transforms = TransformManager::Instance())
    {
        transforms->ResumeTransforms(&mDropTransform);
        transforms->ResumeTransforms(&mStreakTransform);
    }
}
