// GameplayFactory: builds the entities of one scene of a location from the scene's table and the
// location's "entityinfo"; the game's factory knows the kinds, the base builds none.
#pragma once

#include <memory>
#include <vector>

class GameplayEntity;
class TLuaTable;

class GameplayFactory
{
public:
    GameplayFactory() = default;
    virtual ~GameplayFactory();
    GameplayFactory(const GameplayFactory&) = delete;
    GameplayFactory& operator=(const GameplayFactory&) = delete;

    virtual std::vector<std::shared_ptr<GameplayEntity>>
    CreateEntities(const TLuaTable& scene, const TLuaTable& entityInfo);
};
