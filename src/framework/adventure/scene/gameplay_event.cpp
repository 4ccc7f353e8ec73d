// Events: the keys read in their fixed order.
#include "framework/adventure/scene/gameplay_event.h"

#include "script/lua.h"
#include "script/lua_object_wrapper.h"

#include <memory>

std::vector<TString> ReadStringList(const TLuaTable& table, const char* key, TString* text)
{
    std::vector<TString> values;
    // One read through the table's metamethods, whatever the value turns out to be: content may
    // watch the order its keys are read in.
    lua_State* L = table.GetState();
    if (!table.PushField(key))
        return values;
    if (!lua_istable(L, -1))
    {
        if (text != nullptr)
            *text = LuaGetString(L, -1);
        lua_pop(L, 1);
        return values;
    }
    std::unique_ptr<TLuaTable> list(new TLuaTable(L));
    TLuaObjectWrapper* at = nullptr;
    while (TLuaTable* value = list->Next(&at))
    {
        values.push_back(value->ToString());
        delete value;
    }
    return values;
}

GameplayEvent::GameplayEvent(const TLuaTable& table)
{
    mName = table.GetString("name");
    mInventoryToEquip = table.GetString("inventorytoequip");
    mAction = table.GetString("action");
    mDialog = table.GetString("dialog");
    mMinigame = table.GetString("minigame");
    mNextEvent = table.GetString("nextevent");
    mEventToActivateOnClick = table.GetString("eventtoactivateonclick");
    const std::pair<const char*, std::vector<TString>*> lists[] = {
        {"areastoactivate", &mAreasToActivate},
        {"areastomakevisible", &mAreasToMakeVisible},
        {"areastocomplete", &mAreasToComplete},
        {"areastoincomplete", &mAreasToIncomplete},
        {"areastodeactivate", &mAreasToDeactivate},
        {"inventorytoactivate", &mInventoryToActivate},
        {"inventorytoaddtoscene", &mInventoryToAddToScene},
        {"inventorytodeactivate", &mInventoryToDeactivate},
        {"inventorytomakeinvisible", &mInventoryToMakeInvisible},
        {"layerstoactivate", &mLayersToActivate},
        {"layerstodeactivate", &mLayersToDeactivate},
        {"particlestoactivate", &mParticlesToActivate},
        {"particlestodeactivate", &mParticlesToDeactivate},
        {"animations", &mAnimations},
        {"soundstoactivate", &mSoundsToActivate},
        {"soundstodeactivate", &mSoundsToDeactivate},
    };
    for (const auto& [key, list] : lists)
    {
        // A text where a list is read is no list: kept so the load can say so.
        TString text;
        *list = ReadStringList(table, key, &text);
        if (text.Length() != 0)
            mListsGivenAsText.emplace_back(key, text);
    }
}

GameplayEvent::~GameplayEvent() = default;
