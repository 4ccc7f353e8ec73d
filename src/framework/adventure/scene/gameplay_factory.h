// GameplayFactory: builds the entities of one scene of a location from the scene's table and the
// location's "entityinfo"; the game's factory knows the kinds, the base builds none.
#pragma once

#include "platform/strings/tstring.h"

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

// Greater depths first, compared as unsigned 32-bit numbers (a negative depth first of all);
// equal depths keep their order.
bool CompareEntityDepth(const GameplayEntity& a, const GameplayEntity& b);
void SortEntitiesByDepth(std::vector<std::shared_ptr<GameplayEntity>>& entities);

// Appends each string of `source` that `target` does not hold yet, in the source's order.
void AppendMissingStrings(std::vector<TString>& target, const std::vector<TString>& source);
