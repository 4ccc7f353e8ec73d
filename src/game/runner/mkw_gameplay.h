// MKWGameplay: the game's scene runner, made for the window type "Gameplay". For now it differs
// from the framework's in the game's classes it makes: the factory of its scenes' entities, its
// inventory objects and its events.
#pragma once

#include "framework/adventure/runner/gameplay.h"

class MKWGameplay : public Gameplay
{
public:
    static TWindow* Create();
    static TClassId GetClassId();

    const char* GetClassName() const override { return "MKWGameplay"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || Gameplay::IsKindOf(id);
    }
    std::shared_ptr<GameplayInventory> CreateInventory(const TLuaTable& table,
                                                       const TLuaTable& inventoryInfo) override;
    std::shared_ptr<GameplayEvent> CreateEvent(const TLuaTable& table) override;
    std::shared_ptr<GameplayFactory> CreateFactory() override;
};
