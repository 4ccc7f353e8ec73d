// MKWGameplayFactory: the game's builder of a scene's entities, kind by kind: items, areas,
// layers, texts and particles.
#pragma once

#include "framework/adventure/scene/gameplay_factory.h"

class MKWGameplayFactory : public GameplayFactory
{
public:
    // Each info table is looked up whether the scene has the matching list or not; a missing one
    // is fatal and the entities built so far are returned.
    std::vector<std::shared_ptr<GameplayEntity>>
    CreateEntities(const TLuaTable& scene, const TLuaTable& entityInfo) override;
};
