// GameplayArea: a clickable area of a scene. This first cut holds what a scene touches: the
// inventory object placed on it and the delayed reveal the scene starts when it is entered.
#pragma once

#include "framework/adventure/entities/gameplay_entity.h"

class GameplayInventory;

class GameplayArea : public GameplayEntity
{
public:
    // `area` is the area's own table, `areaInfo` the location's "areainfo".
    GameplayArea(const TLuaTable& area, const TLuaTable& areaInfo);
    ~GameplayArea() override;

    void Draw(const TDrawSpec& parent) override;
    void DrawEffects(const TDrawSpec& parent) override;
    void Pause() override;
    void Resume() override;
    TRect GetRect(const TDrawSpec& parent) override;
    void CreateTextures() override;
    void ReleaseTextures() override;

    // The delayed reveal, `delayMs` after the scene was entered.
    virtual void Flash(int32_t delayMs);

    // The object placed on the area (not owned) and its name.
    void HoldInventory(GameplayInventory* inventory);
    GameplayInventory* GetHeldInventory() const { return mHeldInventory; }
    const TString& GetHeldInventoryName() const { return mHeldInventoryName; }
    void LetGoInventory();

protected:
    GameplayInventory* mHeldInventory = nullptr;
    TString mHeldInventoryName;
};
