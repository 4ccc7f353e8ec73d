// Hidden items: keys from the two tables, the two drawing passes and their cross-fade, the hit
// test, the found animation (turn and fade, arc, arrival, fade-away) and the particle effects.
#include "framework/adventure/entities/gameplay_item.h"

#include "framework/adventure/entities/gameplay_particle.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/transforms/transform_manager.h"
#include "framework/transforms/transform_target.h"
#include "particles/lua_particle_system.h"
#include "render/renderer/draw_spec.h"
#include "render/sprites/animated_texture.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/lauxlib.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"

#include <algorithm>

namespace
{
// The framework's default S-curve, and the late fall of the flight's second move.
constexpr float kSmoothing = -0.5f;
constexpr float kArcFallSmoothing = -0.75f;

// A duration from content: truncated toward zero, never negative.
int32_t ReadTime(const TLuaTable& table, const char* key)
{
    return std::max(ScriptNumberToInt(table.GetNumber(key, 0)), 0);
}

uint32_t Duration(int32_t ms)
{
    return static_cast<uint32_t>(std::max(ms, 0));
}

// The framework's 2-D transform turns the whole matrix, its translation too, which would swing a
// placed picture about the screen's corner while it turns: this one turns the picture about its
// own position.
class PivotTransform2D : public TM_Transform2D
{
public:
    using TM_Transform2D::TM_Transform2D;
    void SetRotationZ(float r) override
    {
        KeepingPosition([&] { TM_Transform2D::SetRotationZ(r); });
    }
    void SetRotation(const TVec3& rotation) override
    {
        KeepingPosition([&] { TM_Transform2D::SetRotation(rotation); });
    }
    void SetRotation(float x, float y, float z) override
    {
        KeepingPosition([&] { TM_Transform2D::SetRotation(x, y, z); });
    }

private:
    template <class Turn> void KeepingPosition(Turn turn)
    {
        float(&m)[3][3] = GetSpec()->mMatrix.m;
        const float x = m[2][0];
        const float y = m[2][1];
        turn();
        m[2][0] = x;
        m[2][1] = y;
    }
};
} // namespace

GameplayItem::GameplayItem(const TLuaTable& item, const TLuaTable& itemInfo)
    : GameplayEntity(item, kTypeItem), mImage(TAnimatedSprite::Create(0)),
      mMask(TSprite::Create(0)), mTransform(std::make_unique<PivotTransform2D>(&mImage->GetSpec()))
{
    mInventoryName = item.GetString("inventory");
    mImageName = item.GetString("image");
    mMaskSuffix = itemInfo.GetString("imagemask");
    mParticleScript = itemInfo.GetString("particles");
    mSplashScript = itemInfo.GetString("particlesplash");
    mRotateFound = static_cast<float>(itemInfo.GetNumber("rotatefound", 0));
    mDistanceArc = static_cast<float>(itemInfo.GetNumber("distancearc", 0));
    mTimeFound = ReadTime(itemInfo, "timefound");
    mTimeVisible = ReadTime(itemInfo, "timevisible");
    mTimeToInventory = ReadTime(itemInfo, "timetoinventory");
    mTimeFadeAway = ReadTime(itemInfo, "timefadeaway");
    mLocus.mWidth = 2;
    mMask->GetSpec().mFlags |= kDrawOrigin;

    std::unique_ptr<TLuaTable> parts(item.GetTable("inventoryparts"));
    if (parts == nullptr)
    {
        ReportError(TString::Format("Item '%s' has no \"inventoryparts\" table, which every item "
                                    "needs",
                                    mName.c_str())
                        .c_str(),
                    "gameplayitem", 40, true);
        return;
    }
    lua_State* L = parts->GetState();
    parts->Push();
    const int count = luaL_getn(L, -1);
    lua_pop(L, 1);
    for (int i = 1; i <= count; ++i)
        mInventoryParts.push_back(ScriptNumberToInt(parts->GetNumberAt(i, 0)));
    mFlags |= kScenePass;
    mTransform->SetX(static_cast<float>(item.GetNumber("x", 0)));
    mTransform->SetY(static_cast<float>(item.GetNumber("y", 0)));
}

GameplayItem::~GameplayItem()
{
    if (TransformManager* manager = TransformManager::Instance())
        manager->RemoveTransforms(mTransform.get());
    mParticles.reset();
    mSplash.reset();
}

void GameplayItem::Update(uint32_t elapsedMs)
{
    mLocus.mValue[0] = mTransform->GetX();
    mLocus.mValue[1] = mTransform->GetY();
    for (std::shared_ptr<TLuaParticleSystem>* system : {&mParticles, &mSplash})
    {
        if (*system == nullptr)
            continue;
        (*system)->Update(static_cast<int32_t>(std::min<uint32_t>(elapsedMs, INT32_MAX)));
        // Stopped effects run out before they go.
        if ((*system)->GetParticleCount() == 0 &&
            (*system)->GetScript()->GetGlobalNumber("gActive") == 0)
            system->reset();
    }
    GameplayEntity::Update(elapsedMs);
}

void GameplayItem::DrawImageAt(const TDrawSpec& parent, float alpha)
{
    const float own = mTransform->GetAlpha();
    mTransform->SetAlpha(alpha);
    mImage->Draw(parent, -1);
    mTransform->SetAlpha(own);
}

void GameplayItem::Draw(const TDrawSpec& parent)
{
    if ((mFlags & kShown) == 0 || (mFlags & kScenePass) == 0)
        return;
    mImage->SetFrame(0);
    if ((mFlags & kCrossFade) == 0)
    {
        mImage->Draw(parent, -1);
        return;
    }
    // Frame 0 stays whole until the alpha passes 0.5, then fades out with it.
    const float a = mTransform->GetAlpha();
    DrawImageAt(parent, a <= 0.5f ? 2.0f * a : 1.0f);
}

void GameplayItem::DrawEffects(const TDrawSpec& parent)
{
    for (const auto& system : {mParticles, mSplash})
        if (system != nullptr)
            DrawParticlesAt(*system, parent);
    if ((mFlags & kShown) == 0 || (mFlags & kOverlayPass) == 0)
        return;
    mImage->SetFrame(1);
    if ((mFlags & kCrossFade) == 0)
    {
        mImage->Draw(parent, -1);
        return;
    }
    // Frame 1 fades in until the alpha reaches 0.5, then stays whole.
    const float a = mTransform->GetAlpha();
    DrawImageAt(parent, a < 0.5f ? 1.0f : 2.0f * (1.0f - a));
}

void GameplayItem::DrawFoundImage(const TDrawSpec& spec)
{
    if ((mFlags & kShown) == 0)
        return;
    mImage->SetFrame(1);
    mImage->Draw(spec, -1);
}

void GameplayItem::Pause()
{
    if (TransformManager* manager = TransformManager::Instance())
        manager->PauseTransforms(mTransform.get());
}

void GameplayItem::Resume()
{
    if (TransformManager* manager = TransformManager::Instance())
        manager->ResumeTransforms(mTransform.get());
}

TRect GameplayItem::GetRect(const TDrawSpec& parent)
{
    const TDrawSpec spec = mImage->GetSpec().Combine(parent);
    const int32_t left = ScriptNumberToInt(spec.mMatrix.m[2][0] - spec.mOrigin.x);
    const int32_t top = ScriptNumberToInt(spec.mMatrix.m[2][1] - spec.mOrigin.y);
    const std::shared_ptr<TAnimatedTexture> texture = mImage->GetAnimatedTexture();
    const auto width = static_cast<int32_t>(texture ? texture->GetWidth() : 0);
    const auto height = static_cast<int32_t>(texture ? texture->GetHeight() : 0);
    return TRect(left, top, left + width, top + height);
}

bool GameplayItem::HitTest(const TVec2& point, const TDrawSpec& parent)
{
    // A hidden or collected item keeps its mask until its textures go: it is not hit meanwhile.
    if ((mFlags & kShown) == 0 || (mFlags & kFound) != 0)
        return false;
    TRect bounds;
    mMask->GetBounds(bounds, mImage->GetSpec(), -1);
    if (point.x < static_cast<float>(bounds.left) || point.x >= static_cast<float>(bounds.right) ||
        point.y < static_cast<float>(bounds.top) || point.y >= static_cast<float>(bounds.bottom))
        return false;
    return mMask->HitTest(point, mImage->GetSpec().Combine(parent), kHitAlpha, -1);
}

bool GameplayItem::LoadState(const uint8_t* data, size_t size)
{
    if (!GameplayEntity::LoadState(data, size))
        return false;
    if ((mFlags & kFound) != 0)
    {
        Hide(false, nullptr);
        Deactivate(false, nullptr);
    }
    else if ((mFlags & kShown) != 0)
    {
        Activate(false, nullptr);
    }
    return true;
}

void GameplayItem::SaveState(std::vector<uint8_t>& out)
{
    out.push_back((mFlags & kFound) != 0 ? static_cast<uint8_t>(mFlags & ~(kActive | kShown))
                                         : mFlags);
}

void GameplayItem::Activate(bool animate, WaitHandle&& report)
{
    mFlags |= kActive | kShown;
    HoldReport(std::move(report));
    CreateTextures();
    TransformManager* manager = TransformManager::Instance();
    if (!animate || manager == nullptr)
    {
        mCompletionPending = 1;
        return;
    }
    mTransform->SetAlpha(0.0f);
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Alpha(Duration(mTimeVisible), 1.0f, kFromCurrent, 0, kSmoothing));
    manager->AddTransform(mTransform.get(), list, NewOwnCallback(), nullptr);
}

std::vector<TString> GameplayItem::GetTextureNames() const
{
    if ((mFlags & kShown) == 0)
        return {};
    return {mImageName + mMaskSuffix};
}

void GameplayItem::LoadTextures()
{
    if ((mFlags & kShown) == 0)
        return;
    std::shared_ptr<TAnimatedTexture> texture = TAnimatedTexture::Get(mImageName, "", "");
    mImage->SetTexture(texture);
    if (texture == nullptr && mImageName.Length() > 0)
        SayMissingPicture(mImageName);
    const TVec2 registration = texture ? texture->GetRegistration() : TVec2(0, 0);
    if ((mFlags & kFound) != 0)
        return;
    mMask->SetTexture(TTexture::Get(mImageName + mMaskSuffix, 0));
    mMask->GetSpec().mOrigin = registration;
}

void GameplayItem::CreateTextures()
{
    LoadTextures();
}

void GameplayItem::ReleaseTextures()
{
    if ((mFlags & kFound) != 0)
        mImage->SetTexture(nullptr);
    mMask->SetTexture(nullptr);
}

void GameplayItem::StartParticles()
{
    for (auto [script, system] :
         {std::pair{&mParticleScript, &mParticles}, std::pair{&mSplashScript, &mSplash}})
    {
        if (script->Length() == 0)
            continue;
        auto made = std::make_shared<TLuaParticleSystem>();
        *system = made;
        made->RegisterFunction("dLocus", &mLocus);
        made->Load(*script);
        made->GetScript()->SetGlobalNumber("gActive", 1);
    }
}

void GameplayItem::StopParticles()
{
    for (const auto& system : {mParticles, mSplash})
        if (system != nullptr)
            system->GetScript()->SetGlobalNumber("gActive", 0);
}

const TM_Transform* GameplayItem::GetChangeTransform() const
{
    return mTransform.get();
}

void GameplayItem::StartFoundAnimation(WaitHandle&& arrived, GameplayInventory* target)
{
    mFlags |= kOverlayPass | kCrossFade;
    // The animation's arrival takes over: an earlier change's pending end must not fire it, and
    // its report is told now.
    mCompletionPending = 0;
    mHeldReport = std::move(arrived);
    mTarget = target;
    TransformManager* manager = TransformManager::Instance();
    if (manager == nullptr)
    {
        // Nothing could run the animation: the item arrives at once.
        StartParticles();
        Arrive();
        return;
    }
    auto* list = new TM_InstructionList;
    list->push_back(
        new TM_Rotate(Duration(mTimeFound), true, mRotateFound, kFromCurrent, 0, kSmoothing));
    list->push_back(new TM_Alpha(Duration(mTimeFound), 0.0f, 1.0f, 0, kSmoothing));
    manager->RemoveTransforms(mTransform.get());
    manager->AddTransform(mTransform.get(), list, new Callback(this, &GameplayItem::OnTurned),
                          nullptr);
    StartParticles();
}

void GameplayItem::OnTurned(void* object, TM_Transform*, uint32_t)
{
    static_cast<GameplayItem*>(object)->StartFlight();
}

void GameplayItem::StartFlight()
{
    const TMat3& matrix = mImage->GetSpec().mMatrix;
    const TVec2 from(matrix.m[2][0], matrix.m[2][1]);
    TVec2 d(0, 0);
    if (mTarget != nullptr)
    {
        TM_Transform2D& image = mTarget->GetImageTransform();
        d = TVec2(image.GetX() - from.x, image.GetY() - from.y);
    }
    mTransform->SetAlpha(1.0f);
    mFlags &= static_cast<uint8_t>(~(kCrossFade | kScenePass));
    // x runs straight to the target while y rises by the arc and falls onto it late.
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Move(Duration(mTimeToInventory), false, TVec2(d.x, -mDistanceArc),
                                TVec2(0, 0), 0, 1.0f));
    list->push_back(new TM_Move(Duration(mTimeToInventory), false, TVec2(0, d.y + mDistanceArc),
                                TVec2(0, 0), 0, kArcFallSmoothing));
    TransformManager::Instance()->AddTransform(
        mTransform.get(), list, new Callback(this, &GameplayItem::OnArrived), nullptr);
}

void GameplayItem::OnArrived(void* object, TM_Transform*, uint32_t)
{
    static_cast<GameplayItem*>(object)->Arrive();
}

void GameplayItem::Arrive()
{
    mFlags |= kFound;
    mCompletionPending = 0;
    WaitHandle arrived = std::move(mHeldReport);
    StopParticles();
    if (TransformManager* manager = TransformManager::Instance())
    {
        auto* list = new TM_InstructionList;
        list->push_back(new TM_Alpha(Duration(mTimeFadeAway), 0.0f, 1.0f, 0, kSmoothing));
        manager->AddTransform(mTransform.get(), list,
                              new Callback(this, &GameplayItem::OnFadedAway), nullptr);
    }
    else
    {
        FinishFound();
    }
    // Last: whoever is told may let the item go.
    arrived.Tell(nullptr, 0);
}

void GameplayItem::Land()
{
    if (TransformManager* manager = TransformManager::Instance())
        manager->RemoveTransforms(mTransform.get());
    mTransform->SetAlpha(1.0f);
    mFlags &= static_cast<uint8_t>(~(kCrossFade | kScenePass));
    mFlags |= kOverlayPass;
    mCompletionPending = 0;
    WaitHandle arrived = std::move(mHeldReport);
    StopParticles();
    FinishFound();
    arrived.Tell(nullptr, 0);
}

void GameplayItem::OnFadedAway(void* object, TM_Transform*, uint32_t)
{
    static_cast<GameplayItem*>(object)->FinishFound();
}

void GameplayItem::FinishFound()
{
    mFlags &= static_cast<uint8_t>(~(kActive | kShown));
    mFlags |= kFound;
    ReleaseTextures();
}
