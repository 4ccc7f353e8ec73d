// MKWGameplay: the game's scene runner, made for the window type "Gameplay". For now it differs
// from the framework's only in the factory that builds its scenes' entities.
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
    std::shared_ptr<GameplayFactory> CreateFactory() override;
};
