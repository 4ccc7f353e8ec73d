// A letter of Thessalor's board: its keys, the drifts and the spin, the hit quad, the flight into
// its goal and the sparks that follow it.
#include "game/minigames/hintboards/gameplay_hint_thessalor_text.h"

#include "framework/transforms/transform_instructions.h"
#include "framework/widgets/text_object.h"
#include "game/effects/game_particles.h"
#include "particles/lua_particle_system.h"
#include "platform/maths/random.h"
#include "render/renderer/draw_spec.h"
#include "render/text/text_sprite.h"
#include "script/lua_object_wrapper.h"

#include <algorithm>
#include <cmath>

namespace
{

// Single-precision 2π and π, as the drift's angles are taken.
constexpr float kTwoPi = 6.2831854820251465f;
constexpr float kPi = 3.1415927410125732f;
constexpr float kSmoothing = -0.5f;

// Truncated toward zero; NaN and what no int32 holds read as 0.
int32_t Int(const TLuaTable& table, const char* key)
{
    const double value = table.GetNumber(key, 0);
    return value > -2147483648.0 && value < 2147483648.0 ? static_cast<int32_t>(value) : 0;
}

float Float(const TLuaTable& table, const char* key)
{
    return static_cast<float>(table.GetNumber(key, 0));
}

int32_t Trunc(float value)
{
    return value > -2147483648.0f && value < 2147483648.0f ? static_cast<int32_t>(value) : 0;
}

} // namespace

GameplayHintThessalorText::GameplayHintThessalorText(const TLuaTable& table, TRandom& random)
    : mRotationMin(Float(table, "rotationmin")), mRotationMax(Float(table, "rotationmax")),
      mScaleAmount(Float(table, "scaleamount")), mTimeMin(Int(table, "timemin")),
      mTimeMax(Int(table, "timemax")), mRotateTime(Int(table, "rotatetime")),
      mCentre(Float(table, "centerx"), Float(table, "centery")),
      mValidDistance(Float(table, "validdistance")), mMaxDistance(Float(table, "maxdistance")),
      mValidAngleDiff(Float(table, "validanglediff")), mRandom(&random),
      mText(TextObject::Create(table)), mFoundParticles(table.GetString("foundparticles", ""))
{
    TM_Transform2D* look = mText->GetTransform();
    // The description's place becomes the letter's; the text itself stays at its own origin.
    mPlace = std::make_unique<Place>(look);
    mPlace->SetPosition(look->GetX(), look->GetY(), 1.0f);
    look->SetPosition(0.0f, 0.0f, 1.0f);
    mLocus.mWidth = 2;
}

GameplayHintThessalorText::~GameplayHintThessalorText()
{
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->RemoveTransforms(mPlace.get());
    mParticles.reset();
    mPlace.reset();
    mText.reset();
}

TString GameplayHintThessalorText::GetText() const
{
    return mText->GetText();
}

uint32_t GameplayHintThessalorText::DrawDuration()
{
    const int32_t ms = mRandom->NextInt(mTimeMin, std::max(mTimeMin, mTimeMax));
    return static_cast<uint32_t>(std::max(ms, 1));
}

void GameplayHintThessalorText::Drift(uint32_t delay)
{
    const float theta = RandomFloat(*mRandom) * kTwoPi;
    const TVec2 start(mCentre.x + mMaxDistance * std::cos(theta),
                      mCentre.y + mMaxDistance * std::sin(theta));
    const float theta2 =
        theta + kPi - mValidAngleDiff + RandomFloat(*mRandom) * 2.0f * mValidAngleDiff;
    const TVec2 end(mCentre.x + mMaxDistance * std::cos(theta2),
                    mCentre.y + mMaxDistance * std::sin(theta2));
    const float u3 = RandomFloat(*mRandom);
    mPlace->SetUniformScale((1.0f - mScaleAmount) + 2.0f * mScaleAmount * u3);
    const uint32_t ms = DrawDuration();
    if (TransformManager* transforms = TransformManager::Instance())
    {
        auto* list = new TM_InstructionList;
        list->push_back(new TM_Move(ms, true, end, start, delay, 1.0f));
        transforms->AddTransform(mPlace.get(), list, nullptr,
                                 new Callback(this, &GameplayHintThessalorText::OnDriftDone));
    }
    mPlace->SetPosition(start.x, start.y, 1.0f);
}

// Each turn sets its angle (absolute), so that every loop starts again at a1 and a spin whose
// two angles are equal holds that angle; a relative turn would add the range on every loop.
void GameplayHintThessalorText::StartSpin()
{
    const float range = mRotationMax - mRotationMin;
    const float a1 = mRotationMin + RandomFloat(*mRandom) * range;
    const float a2 = mRotationMin + RandomFloat(*mRandom) * range;
    const uint32_t ms = DrawDuration();
    TransformManager* transforms = TransformManager::Instance();
    if (transforms == nullptr)
        return;
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Rotate(ms, true, a2, a1, 0, 1.0f));
    transforms->SetLooping(transforms->AddTransform(mPlace.get(), list));
}

void GameplayHintThessalorText::Update(uint32_t dt)
{
    mLocus.mValue[0] = mPlace->GetX();
    mLocus.mValue[1] = mPlace->GetY();
    game_particles::Advance(mParticles, dt);

    TRect bounds;
    mText->GetTextSprite()->GetTextBounds(bounds, TDrawSpec());
    const int32_t cx = bounds.left + (bounds.right - bounds.left) / 2;
    const int32_t cy = bounds.top + (bounds.bottom - bounds.top) / 2;
    // The sense in which the text is drawn turned.
    const TMat3 turn = MakeRotationMatrix(mPlace->GetRotationZ() * kPi * -2.0f);
    const int32_t px = Trunc(mPlace->GetX());
    const int32_t py = Trunc(mPlace->GetY());
    const TVec2 corners[4] = {
        TVec2(static_cast<float>(bounds.left - cx), static_cast<float>(bounds.top - cy)),
        TVec2(static_cast<float>(bounds.right - cx), static_cast<float>(bounds.top - cy)),
        TVec2(static_cast<float>(bounds.left - cx), static_cast<float>(bounds.bottom - cy)),
        TVec2(static_cast<float>(bounds.right - cx), static_cast<float>(bounds.bottom - cy))};
    for (int i = 0; i < 4; ++i)
    {
        const TVec2 p = corners[i] * turn;
        mQuad[static_cast<size_t>(i)] = TIntPoint{Trunc(p.x) + px, Trunc(p.y) + py};
    }
    mQuad[4] = mQuad[1];
    mQuad[5] = mQuad[2];
}

bool GameplayHintThessalorText::HitTest(TIntPoint point) const
{
    if (mInPlay == 0)
        return false;
    const float dx = mPlace->GetX() - mCentre.x;
    const float dy = mPlace->GetY() - mCentre.y;
    if (!(std::sqrt(dx * dx + dy * dy) < mValidDistance))
        return false;
    return PointInTriangle(TIntTriangle{mQuad[0], mQuad[1], mQuad[2]}, point) ||
           PointInTriangle(TIntTriangle{mQuad[3], mQuad[4], mQuad[5]}, point);
}

void GameplayHintThessalorText::FlyTo(Callback* placed)
{
    TransformManager* transforms = TransformManager::Instance();
    if (transforms != nullptr)
        transforms->RemoveTransforms(mPlace.get());
    const float r = mPlace->GetRotationZ();
    const float f = r - std::trunc(r);
    if (transforms != nullptr)
    {
        const uint32_t ms = static_cast<uint32_t>(std::max(mRotateTime, 0));
        auto* list = new TM_InstructionList;
        list->push_back(
            new TM_Move(ms, true, TVec2(static_cast<float>(mTargetX), static_cast<float>(mTargetY)),
                        kFromCurrent2, 0, kSmoothing));
        list->push_back(new TM_Rotate(ms, true, mTargetRotation, f, 0, kSmoothing));
        transforms->AddTransform(mPlace.get(), list,
                                 new Callback(this, &GameplayHintThessalorText::OnArrivedAdapter));
    }
    mInPlay = 0;
    mPlaced = placed;
    if (mFoundParticles.Length() != 0)
    {
        mParticles.reset();
        mParticles = game_particles::Start(mFoundParticles, {{"dLocus", &mLocus}}, {});
    }
}

void GameplayHintThessalorText::OnArrived()
{
    Callback* placed = mPlaced;
    mPlaced = nullptr;
    if (placed != nullptr)
        placed->Call(nullptr, 0);
    game_particles::Switch(mParticles, false);
    mPlace->SetAlpha(0.0f);
}

void GameplayHintThessalorText::Reset()
{
    mPlace->SetAlpha(1.0f);
    mParticles.reset();
}

void GameplayHintThessalorText::Draw(const TDrawSpec& parent)
{
    if (mParticles != nullptr)
        mParticles->Draw(TVec3(parent.mMatrix.m[2][0], parent.mMatrix.m[2][1], 0.0f));
    TDrawSpec place(TVec2(mPlace->GetX(), mPlace->GetY()));
    mText->Draw(place.Combine(parent));
}

void GameplayHintThessalorText::OnDriftDone(void* object, TM_Transform*, uint32_t)
{
    static_cast<GameplayHintThessalorText*>(object)->Drift(0);
}

void GameplayHintThessalorText::OnArrivedAdapter(void* object, TM_Transform*, uint32_t)
{
    static_cast<GameplayHintThessalorText*>(object)->OnArrived();
}
