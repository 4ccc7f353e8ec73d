// Areas, first cut: the held inventory object; drawing and textures come with the areas' own work.
#include "framework/adventure/entities/gameplay_area.h"

#include "framework/adventure/inventory/gameplay_inventory.h"

GameplayArea::GameplayArea(const TLuaTable& area, const TLuaTable&)
    : GameplayEntity(area, kTypeArea)
{
}

GameplayArea::~GameplayArea() = default;

void GameplayArea::Draw(const TDrawSpec&) {}

void GameplayArea::DrawEffects(const TDrawSpec&) {}

void GameplayArea::Pause() {}

void GameplayArea::Resume() {}

TRect GameplayArea::GetRect(const TDrawSpec&)
{
    return TRect(0, 0, 0, 0);
}

void GameplayArea::CreateTextures() {}

void GameplayArea::ReleaseTextures() {}

void GameplayArea::Flash(int32_t) {}

void GameplayArea::HoldInventory(GameplayInventory* inventory)
{
    mHeldInventory = inventory;
    mHeldInventoryName = inventory != nullptr ? inventory->GetName() : TString();
}

void GameplayArea::LetGoInventory()
{
    mHeldInventory = nullptr;
    mHeldInventoryName = TString();
}
