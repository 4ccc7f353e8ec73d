// The game's scene runner.
#include "game/runner/mkw_gameplay.h"

#include "game/entities/mkw_gameplay_event.h"
#include "game/inventory/mkw_gameplay_inventory.h"
#include "game/runner/mkw_gameplay_factory.h"

#include <new>

TWindow* MKWGameplay::Create()
{
    return new (std::nothrow) MKWGameplay();
}

TClassId MKWGameplay::GetClassId()
{
    return reinterpret_cast<TClassId>(&MKWGameplay::Create);
}

std::shared_ptr<GameplayFactory> MKWGameplay::CreateFactory()
{
    return std::make_shared<MKWGameplayFactory>();
}

std::shared_ptr<GameplayInventory> MKWGameplay::CreateInventory(const TLuaTable& table,
                                                                const TLuaTable& inventoryInfo)
{
    return std::make_shared<MKWGameplayInventory>(table, inventoryInfo);
}

std::shared_ptr<GameplayEvent> MKWGameplay::CreateEvent(const TLuaTable& table)
{
    return std::make_shared<MKWGameplayEvent>(table);
}
