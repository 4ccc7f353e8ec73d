// The base factory: a scene without entities.
#include "framework/adventure/scene/gameplay_factory.h"

#include "framework/adventure/entities/gameplay_entity.h"

#include <algorithm>

GameplayFactory::~GameplayFactory() = default;

std::vector<std::shared_ptr<GameplayEntity>> GameplayFactory::CreateEntities(const TLuaTable&,
                                                                             const TLuaTable&)
{
    return {};
}

void AppendMissingStrings(std::vector<TString>& target, const std::vector<TString>& source)
{
    for (const TString& name : source)
        if (std::find(target.begin(), target.end(), name) == target.end())
            target.push_back(name);
}
