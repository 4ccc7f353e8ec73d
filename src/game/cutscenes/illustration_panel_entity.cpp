// IllustrationPanelEntity: the name and depth every cell element reads from its table.
#include "game/cutscenes/illustration_panel_entity.h"

#include "game/cutscenes/cutscene_keys.h"
#include "script/lua_object_wrapper.h"

IllustrationPanelEntity::IllustrationPanelEntity(const TLuaTable& table)
    : mName(table.GetString("name", TString())),
      mDepth(cutscene::ReadInt(table, "depth", 0, "IllustrationPanelEntity"))
{
}
