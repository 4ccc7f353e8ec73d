// The base factory: a scene without entities.
#include "framework/adventure/scene/gameplay_factory.h"

#include "framework/adventure/entities/gameplay_entity.h"

GameplayFactory::~GameplayFactory() = default;

std::vector<std::shared_ptr<GameplayEntity>> GameplayFactory::CreateEntities(const TLuaTable&,
                                                                             const TLuaTable&)
{
    return {};
}
