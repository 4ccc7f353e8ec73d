// The game's scene factory: the lists of a scene table, each with its info table.
#include "game/runner/mkw_gameplay_factory.h"

#include "framework/adventure/entities/gameplay_layer.h"
#include "framework/adventure/entities/gameplay_particle.h"
#include "framework/adventure/entities/gameplay_text.h"
#include "framework/core/frame_services.h"
#include "game/entities/mkw_gameplay_area.h"
#include "game/entities/mkw_gameplay_item.h"
#include "script/lua_object_wrapper.h"

namespace
{

const char kSource[] = "mkwgameplayfactory";

using Entities = std::vector<std::shared_ptr<GameplayEntity>>;

// Appends what `make` builds from each table value of the scene's list `key`.
template <class Make>
void BuildList(const TLuaTable& scene, const char* key, Entities& out, Make make)
{
    std::unique_ptr<TLuaTable> list{scene.GetTable(key)};
    if (list == nullptr)
        return;
    TLuaObjectWrapper* at = nullptr;
    while (TLuaTable* value = list->Next(&at))
    {
        std::unique_ptr<TLuaTable> owned(value);
        lua_State* L = owned->GetState();
        owned->Push();
        const bool table = lua_istable(L, -1);
        lua_pop(L, 1);
        if (table)
            out.push_back(make(*owned));
    }
}

} // namespace

Entities MKWGameplayFactory::CreateEntities(const TLuaTable& scene, const TLuaTable& entityInfo)
{
    Entities entities;
    std::unique_ptr<TLuaTable> itemInfo{entityInfo.GetTable("iteminfo")};
    if (itemInfo == nullptr)
    {
        ReportError("Cannot find 'iteminfo' table for MKWGameplayFactory!", kSource, __LINE__,
                    true);
        return entities;
    }
    BuildList(scene, "items", entities,
              [&](const TLuaTable& item)
              { return std::make_shared<MKWGameplayItem>(item, *itemInfo); });

    std::unique_ptr<TLuaTable> areaInfo{entityInfo.GetTable("areainfo")};
    if (areaInfo == nullptr)
    {
        ReportError("Cannot find 'areainfo' table for MKWGameplayFactory!", kSource, __LINE__,
                    true);
        return entities;
    }
    BuildList(scene, "areas", entities,
              [&](const TLuaTable& area)
              { return std::make_shared<MKWGameplayArea>(area, *areaInfo); });

    std::unique_ptr<TLuaTable> layerInfo{entityInfo.GetTable("layerinfo")};
    if (layerInfo == nullptr)
    {
        ReportError("Cannot find 'layerinfo' table for MKWGameplayFactory!", kSource, __LINE__,
                    true);
        return entities;
    }
    BuildList(
        scene, "layers", entities,
        [&](const TLuaTable& layer)
        { return std::make_shared<GameplayLayer>(layer, *layerInfo, GameplayEntity::kTypeLayer); });

    std::unique_ptr<TLuaTable> textInfo{entityInfo.GetTable("textinfo")};
    if (textInfo == nullptr)
    {
        ReportError("Cannot find 'textinfo' table for MKWGameplayFactory!", kSource, __LINE__,
                    true);
        return entities;
    }
    BuildList(scene, "text", entities,
              [&](const TLuaTable& text)
              { return std::make_shared<GameplayText>(text, *textInfo); });

    BuildList(scene, "particles", entities,
              [](const TLuaTable& particle)
              { return std::make_shared<GameplayParticle>(particle); });
    return entities;
}
