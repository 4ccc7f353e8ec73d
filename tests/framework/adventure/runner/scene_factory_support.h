// A scene factory of the tests' and benchmarks' own: items, areas and layers from a scene's
// "items", "areas" and "layers" lists, in that order. Areas read the location's "areainfo" when
// it has one, else their own table.
#pragma once

#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/entities/gameplay_item.h"
#include "framework/adventure/entities/gameplay_layer.h"
#include "framework/adventure/scene/gameplay_factory.h"
#include "script/lua_object_wrapper.h"

#include <memory>
#include <vector>

struct ListedEntityFactory : GameplayFactory
{
    std::vector<std::shared_ptr<GameplayEntity>> CreateEntities(const TLuaTable& scene,
                                                                const TLuaTable& info) override
    {
        std::vector<std::shared_ptr<GameplayEntity>> made;
        std::unique_ptr<TLuaTable> areaInfo(info.GetTable("areainfo"));
        std::unique_ptr<TLuaTable> layerInfo(info.GetTable("layerinfo"));
        std::unique_ptr<TLuaTable> itemInfo(info.GetTable("iteminfo"));
        for (const char* kind : {"items", "areas", "layers"})
        {
            std::unique_ptr<TLuaTable> list(scene.GetTable(kind));
            TLuaObjectWrapper* key = nullptr;
            while (list != nullptr)
            {
                std::unique_ptr<TLuaTable> entry(list->Next(&key));
                if (entry == nullptr)
                    break;
                if (kind[0] == 'i')
                    made.push_back(std::make_shared<GameplayItem>(*entry, *itemInfo));
                else if (kind[0] == 'a')
                    made.push_back(std::make_shared<GameplayArea>(
                        *entry, areaInfo != nullptr ? *areaInfo : *entry));
                else
                    made.push_back(std::make_shared<GameplayLayer>(*entry, *layerInfo));
            }
        }
        return made;
    }
};
