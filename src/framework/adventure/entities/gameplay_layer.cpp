// Layers: fades through the transform manager, the parent chain's world spec and the follow
// flags, the saved byte.
#include "framework/adventure/entities/gameplay_layer.h"

#include "framework/widgets/animated_bitmap.h"
#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "framework/transforms/transform_instructions.h"
#include "render/sprites/sprite.h"
#include "script/lua_object_wrapper.h"

#include <algorithm>

namespace
{
// The fades' S-curve.
constexpr float kFadeSmoothing = -0.5f;
} // namespace

GameplayLayer::GameplayLayer(const TLuaTable& description, const TLuaTable& info, uint32_t typeCode)
    : GameplayEntity(description, typeCode)
{
    mParentName = description.GetString("parentlayer");
    mFollowPosition = description.GetBool("parentposition", false);
    mFollowRotationScale = description.GetBool("parentrotationscale", false);
    mFollowAlpha = description.GetBool("parentalpha", false);
    mFadeTime = ScriptNumberToInt(info.GetNumber("fadetime", 0));
    mTransform.SetAlpha(0.0f);
    mBitmap = AnimatedBitmap::Create(description);
}

GameplayLayer::~GameplayLayer()
{
    if (TransformManager* manager = TransformManager::Instance())
        manager->RemoveTransforms(&mTransform);
}

void GameplayLayer::Update(uint32_t elapsedMs)
{
    if ((mFlags & kActive) != 0)
        mBitmap->Update();
    GameplayEntity::Update(elapsedMs);
}

TDrawSpec GameplayLayer::GetWorldSpec() const
{
    TDrawSpec world = mSpec;
    if (mParent != nullptr)
    {
        // The parent's frame carries the matrix and colour; alpha and flags stay the layer's.
        const TDrawSpec carried = world.Combine(mParent->GetWorldSpec());
        world.mMatrix = carried.mMatrix;
        world.mColor = carried.mColor;
    }
    return world.Combine(mBitmap->GetSprite()->GetSpec());
}

void GameplayLayer::Draw(const TDrawSpec& parent)
{
    if ((mFlags & kShown) == 0)
        return;
    const TDrawSpec own = mSpec.Combine(parent);
    if (mParent == nullptr || !(mFollowRotationScale || mFollowPosition || mFollowAlpha))
    {
        mBitmap->Draw(own);
        return;
    }
    // Drawn in its own frame first, then carried by the parent's.
    TDrawSpec carrier;
    if (mFollowRotationScale || mFollowAlpha)
    {
        const TDrawSpec world = mParent->GetWorldSpec();
        if (mFollowRotationScale)
            carrier.mMatrix = world.mMatrix;
        if (mFollowAlpha)
            carrier.mAlpha = world.mAlpha;
    }
    if (!mFollowRotationScale && mFollowPosition)
    {
        const TVec2 position = mParent->mBitmap->GetPosition();
        carrier.mMatrix.m[2][0] = position.x;
        carrier.mMatrix.m[2][1] = position.y;
    }
    mBitmap->Draw(own.Combine(carrier));
}

void GameplayLayer::DrawEffects(const TDrawSpec&) {}

void GameplayLayer::Pause()
{
    mBitmap->Pause();
    if (TransformManager* manager = TransformManager::Instance())
        manager->PauseTransforms(&mTransform);
}

void GameplayLayer::Resume()
{
    mBitmap->Resume();
    if (TransformManager* manager = TransformManager::Instance())
        manager->ResumeTransforms(&mTransform);
}

TRect GameplayLayer::GetRect(const TDrawSpec& parent)
{
    return mBitmap != nullptr ? mBitmap->GetBounds(parent) : TRect(0, 0, 0, 0);
}

bool GameplayLayer::LoadState(const uint8_t* data, size_t size)
{
    if (!GameplayEntity::LoadState(data, size))
        return false;
    if ((mFlags & kShown) != 0)
        Activate(false, nullptr);
    else
        Deactivate(false, nullptr);
    return true;
}

void GameplayLayer::StartFade(float end, Callback* groupCallback)
{
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Alpha(static_cast<uint32_t>(std::max(mFadeTime, 0)), end, kFromCurrent,
                                 0, kFadeSmoothing));
    TransformManager::Instance()->AddTransform(&mTransform, list, groupCallback, nullptr);
}

void GameplayLayer::SaveState(std::vector<uint8_t>& out)
{
    out.push_back(mFadingOut ? static_cast<uint8_t>(mFlags & ~(kActive | kShown)) : mFlags);
}

void GameplayLayer::Activate(bool fade, WaitHandle&& report)
{
    mFlags |= kActive | kShown;
    mFadingOut = false;
    HoldReport(std::move(report));
    // Without a transform manager nothing could end a fade: the change is made at once.
    if (!fade || TransformManager::Instance() == nullptr)
    {
        mTransform.SetAlpha(1.0f);
        mCompletionPending = 1;
        return;
    }
    StartFade(1.0f, NewOwnCallback());
    MakeSprites();
}

void GameplayLayer::Deactivate(bool fade, WaitHandle&& report)
{
    // A switch-on still fading is replaced: its report is told now, not dropped.
    HoldReport(std::move(report));
    if (!fade || TransformManager::Instance() == nullptr)
    {
        mTransform.SetAlpha(0.0f);
        mFadingOut = false;
        mFlags &= static_cast<uint8_t>(~(kActive | kShown));
        ReleaseTextures();
        mCompletionPending = 1;
        return;
    }
    mFadingOut = true;
    StartFade(0.0f, new Callback(this, &GameplayLayer::OnFadedOut));
}

void GameplayLayer::OnFadedOut(void* object, TM_Transform*, uint32_t)
{
    static_cast<GameplayLayer*>(object)->FinishHiding();
}

void GameplayLayer::FinishHiding()
{
    mFadingOut = false;
    mFlags &= static_cast<uint8_t>(~(kActive | kShown));
    ReleaseTextures();
    mCompletionPending = 1;
}

bool GameplayLayer::SetParent(GameplayLayer* parent)
{
    for (const GameplayLayer* up = parent; up != nullptr; up = up->mParent)
    {
        if (up != this)
            continue;
        ReportError(TString::Format("Layer '%s' cannot follow '%s': the parent links would close "
                                    "a cycle",
                                    mName.c_str(), parent->mName.c_str())
                        .c_str(),
                    __FILE__, __LINE__, false);
        mParent = nullptr;
        return false;
    }
    mParent = parent;
    return true;
}

std::vector<TString> GameplayLayer::GetTextureNames() const
{
    return mBitmap->CollectNames();
}

std::vector<TString> GameplayLayer::GetAnimationNames() const
{
    return mBitmap->CollectEntries();
}

void GameplayLayer::MakeSprites()
{
    mBitmap->CreateSprites();
    const std::vector<TString> missing = mBitmap->GetMissingPictures();
    if (!missing.empty())
        SayMissingPicture(missing.front());
}

void GameplayLayer::LoadTextures()
{
    MakeSprites();
}

void GameplayLayer::CreateTextures()
{
    MakeSprites();
}

void GameplayLayer::ReleaseTextures()
{
    mBitmap->ReleaseTextures();
}
