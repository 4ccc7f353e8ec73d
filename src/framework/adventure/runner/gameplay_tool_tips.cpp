// What the three tool tips show each frame, and the textures a display reset took away.
#include "framework/adventure/runner/gameplay.h"

#include "framework/adventure/entities/gameplay_item.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/adventure/tooltips/gameplay_tool_tip.h"
#include "framework/adventure/tutorials/gameplay_tutorial.h"
#include "framework/transforms/transform_manager.h"
#include "framework/widgets/tool_tip.h"
#include "platform/shell/application.h"
#include "platform/strings/string_table.h"

namespace
{

TString Localised(const TString& label)
{
    TApplication* application = TApplication::Get();
    TStringTable* strings = application != nullptr ? application->GetStringTable() : nullptr;
    return strings != nullptr ? strings->GetString(label) : label;
}

} // namespace

void Gameplay::UpdateToolTips(GameplayInventory* incomplete, bool visible, const TString& text,
                              const TPoint& point, const TVec4& color)
{
    const TColor colour(color);
    if (mGameplayState == kHintSelect && mHudBusy == 0)
    {
        if (mHintToolTip != nullptr)
            mHintToolTip->Update(Localised(mToolTipHintSelect), mHintToolTipX, mHintToolTipY,
                                 colour, true);
        if (mInventoryToolTip != nullptr)
            mInventoryToolTip->Hide();
        if (mBasicToolTip != nullptr)
            mBasicToolTip->Hide(false);
        return;
    }
    if (incomplete == nullptr)
    {
        if (mInventoryToolTip != nullptr)
            mInventoryToolTip->Hide();
        if (mBasicToolTip != nullptr)
        {
            if (text.Length() == 0)
                mBasicToolTip->Hide(false);
            else
                mBasicToolTip->Update(Localised(text), point.x, point.y, colour, visible);
        }
    }
    else
    {
        std::vector<GameplayItem*> missing;
        for (const std::shared_ptr<GameplayScene>& scene : mScenes)
            for (GameplayItem* item : scene->GetItems())
                if (item->GetInventoryName() == incomplete->GetName() &&
                    (item->GetFlags() & GameplayItem::kFound) == 0)
                    missing.push_back(item);
        if (mInventoryToolTip != nullptr)
            mInventoryToolTip->Update(incomplete, colour.GetPacked(), visible, std::move(missing));
        if (mBasicToolTip != nullptr)
            mBasicToolTip->Hide(false);
    }
    if (mHintToolTip != nullptr)
        mHintToolTip->Hide(false);
}

bool Gameplay::RecreateTextures()
{
    for (const std::shared_ptr<GameplayInventory>& object : mInventory)
        if (!object->CreateCollisionMaskAndHilite())
            return false;
    // A scene still loading has not read its pictures yet (its areas have no masks to make): its
    // own loading reads them from the display that is there then. Rebuilt now, each shown area
    // said its mask failed (a display switch over the pause dialog opened while the scene loaded).
    if (mActiveScene != nullptr && mGameplayState != kSceneLoading &&
        !mActiveScene->RestoreTextures())
        return false;
    // The inventory tool tip is optional: without one there is nothing to rebuild.
    return mInventoryToolTip == nullptr || mInventoryToolTip->CreateTextures();
}

void Gameplay::DrawToolTips()
{
    if (mInventoryToolTip != nullptr)
        mInventoryToolTip->Draw();
    if (mHintToolTip != nullptr)
        mHintToolTip->Draw();
    if (mBasicToolTip != nullptr)
        mBasicToolTip->Draw();
    if (mTutorials != nullptr)
        mTutorials->Draw();
}

void Gameplay::PauseTutorialPrompt(bool pause)
{
    GameplayTutorial* prompt = mTutorials != nullptr ? mTutorials->GetActive() : nullptr;
    TransformManager* transforms = TransformManager::Instance();
    if (prompt == nullptr || prompt->GetState() == GameplayTutorial::kHidden ||
        transforms == nullptr)
        return;
    for (TM_Transform* part : {static_cast<TM_Transform*>(&prompt->GetSpecTransform()),
                               static_cast<TM_Transform*>(&prompt->GetArrowTransform())})
    {
        if (pause)
            transforms->PauseTransforms(part);
        else
            transforms->ResumeTransforms(part);
    }
}
