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

bool CompareEntityDepth(const GameplayEntity& a, const GameplayEntity& b)
{
    return static_cast<uint32_t>(a.GetDepth()) > static_cast<uint32_t>(b.GetDepth());
}

void SortEntitiesByDepth(std::vector<std::shared_ptr<GameplayEntity>>& entities)
{
    std::stable_sort(entities.begin(), entities.end(),
                     [](const auto& a, const auto& b) { return CompareEntityDepth(*a, *b); });
}
