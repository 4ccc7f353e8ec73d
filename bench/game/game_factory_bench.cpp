// The game's scene factory: a scene of 30 items, 20 areas, 20 layers, 5 texts and 5 particle
// entities built by CreateEntities, beside the same entities built directly from the same tables
// (asked: at most 1.1 times as long).
#include "framework/adventure/entities/gameplay_layer.h"
#include "framework/adventure/entities/gameplay_particle.h"
#include "framework/adventure/entities/gameplay_text.h"
#include "framework/transforms/transform_manager.h"
#include "game/entities/mkw_gameplay_area.h"
#include "game/entities/mkw_gameplay_item.h"
#include "game/runner/mkw_gameplay_factory.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace
{

struct Scene
{
    Scene()
    {
        std::string lua = "_scene = { items = {";
        for (int i = 0; i < 30; ++i)
            lua += "{ name = 'i" + std::to_string(i) + "', depth = " + std::to_string(i) +
                   ", inventoryparts = { 1 } },";
        lua += "}, areas = {";
        for (int i = 0; i < 20; ++i)
            lua += "{ name = 'a" + std::to_string(i) + "', events = {} },";
        lua += "}, layers = {";
        for (int i = 0; i < 20; ++i)
            lua += "{ name = 'l" + std::to_string(i) + "' },";
        lua += "}, text = {";
        for (int i = 0; i < 5; ++i)
            lua += "{ name = 't" + std::to_string(i) + "', text = {} },";
        lua += "}, particles = {";
        for (int i = 0; i < 5; ++i)
            lua += "{ name = 'p" + std::to_string(i) + "' },";
        lua += "} } _info = { iteminfo = {}, areainfo = {}, layerinfo = {}, textinfo = {} }";
        mScript.DoLuaString(lua.c_str());
        mScene.reset(mScript.GetGlobalTable("_scene"));
        mInfo.reset(mScript.GetGlobalTable("_info"));
    }
    TScript mScript;
    TransformManager mTransforms;
    std::unique_ptr<TLuaTable> mScene;
    std::unique_ptr<TLuaTable> mInfo;
};

void BM_GameFactory_CreateEntities(benchmark::State& state)
{
    Scene scene;
    MKWGameplayFactory factory;
    for (auto _ : state)
        benchmark::DoNotOptimize(factory.CreateEntities(*scene.mScene, *scene.mInfo));
}
BENCHMARK(BM_GameFactory_CreateEntities)->Unit(benchmark::kMicrosecond);

// The peer: the same classes from the same tables, the lists read by index.
void BM_GameFactory_Direct(benchmark::State& state)
{
    Scene scene;
    for (auto _ : state)
    {
        std::vector<std::shared_ptr<GameplayEntity>> entities;
        std::unique_ptr<TLuaTable> itemInfo(scene.mInfo->GetTable("iteminfo"));
        std::unique_ptr<TLuaTable> areaInfo(scene.mInfo->GetTable("areainfo"));
        std::unique_ptr<TLuaTable> layerInfo(scene.mInfo->GetTable("layerinfo"));
        std::unique_ptr<TLuaTable> textInfo(scene.mInfo->GetTable("textinfo"));
        auto each = [&](const char* key, int count, auto make)
        {
            std::unique_ptr<TLuaTable> list(scene.mScene->GetTable(key));
            for (int i = 1; i <= count; ++i)
            {
                std::unique_ptr<TLuaTable> value(list->GetTableAt(i));
                entities.push_back(make(*value));
            }
        };
        each("items", 30,
             [&](const TLuaTable& t) { return std::make_shared<MKWGameplayItem>(t, *itemInfo); });
        each("areas", 20,
             [&](const TLuaTable& t) { return std::make_shared<MKWGameplayArea>(t, *areaInfo); });
        each("layers", 20,
             [&](const TLuaTable& t) {
                 return std::make_shared<GameplayLayer>(t, *layerInfo, GameplayEntity::kTypeLayer);
             });
        each("text", 5,
             [&](const TLuaTable& t) { return std::make_shared<GameplayText>(t, *textInfo); });
        each("particles", 5,
             [](const TLuaTable& t) { return std::make_shared<GameplayParticle>(t); });
        benchmark::DoNotOptimize(entities);
    }
}
BENCHMARK(BM_GameFactory_Direct)->Unit(benchmark::kMicrosecond);

} // namespace
