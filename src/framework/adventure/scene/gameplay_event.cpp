// Events: the keys read in their fixed order.
#include "framework/adventure/scene/gameplay_event.h"

#include "script/lua_object_wrapper.h"

#include <memory>

std::vector<TString> ReadStringList(const TLuaTable& table, const char* key)
{
    std::vector<TString> values;
    std::unique_ptr<TLuaTable> list(table.GetTable(key));
    if (list == nullptr)
        return values;
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
        *list = ReadStringList(table, key);
        // A text where a list is read is no list: kept so the load can say so.
        if (list->empty())
            if (std::unique_ptr<TLuaTable> value{table.GetTable(key)}; value == nullptr)
                if (const TString text = table.GetString(key, TString()); text.Length() != 0)
                    mListsGivenAsText.emplace_back(key, text);
    }
}

GameplayEvent::~GameplayEvent() = default;
