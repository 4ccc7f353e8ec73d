// A cut-scene event's name and its seven lists of names.
#include "game/cutscenes/illustration_panel_event.h"

#include "game/cutscenes/cutscene_keys.h"
#include "script/lua_object_wrapper.h"

#include <memory>

namespace
{

std::vector<TString> ReadNames(const TLuaTable& table, const char* key)
{
    std::vector<TString> names;
    std::unique_ptr<TLuaTable> list(table.GetTable(key));
    if (list == nullptr || !cutscene::IsTable(*list))
        return names;
    TLuaObjectWrapper* index = nullptr;
    while (TLuaTable* value = list->Next(&index))
    {
        names.push_back(value->ToString());
        delete value;
    }
    return names;
}

} // namespace

IllustrationPanelEvent::IllustrationPanelEvent(const TLuaTable& table)
    : mActivateLayers(ReadNames(table, "activate_layers")),
      mDeactivateLayers(ReadNames(table, "deactivate_layers")),
      mActivateParticles(ReadNames(table, "activate_particles")),
      mDeactivateParticles(ReadNames(table, "deactivate_particles")),
      mActivateSounds(ReadNames(table, "activate_sounds")),
      mDeactivateSounds(ReadNames(table, "deactivate_sounds")),
      mAnimations(ReadNames(table, "animations")), mName(table.GetString("name", TString()))
{
}
