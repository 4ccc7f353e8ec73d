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
    // One 64-bit key per entity, the inverted unsigned depth above the position: a plain sort of
    // the keys puts greater depths first and keeps equal depths in order, without reaching into
    // the entities while it compares.
    std::vector<uint64_t> keys(entities.size());
    for (size_t i = 0; i < entities.size(); ++i)
    {
        const uint32_t depth =
            entities[i] != nullptr ? static_cast<uint32_t>(entities[i]->GetDepth()) : 0;
        keys[i] = (static_cast<uint64_t>(~depth) << 32) | i;
    }
    std::sort(keys.begin(), keys.end());
    std::vector<std::shared_ptr<GameplayEntity>> sorted;
    sorted.reserve(entities.size());
    for (uint64_t key : keys)
        sorted.push_back(std::move(entities[static_cast<size_t>(key & 0xFFFFFFFFu)]));
    entities.swap(sorted);
}
