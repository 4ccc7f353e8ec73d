// Reading the cut-scene tables: checked numbers, array lengths and localized texts.
#include "game/cutscenes/cutscene_keys.h"

#include "platform/shell/application.h"
#include "platform/log.h"
#include "platform/strings/string_table.h"
#include "script/lauxlib.h"
#include "script/lua_object_wrapper.h"

#include <algorithm>
#include <cmath>

namespace cutscene
{

double ReadNumber(const TLuaTable& table, const char* key, double def, const char* owner)
{
    if (!table.PushField(key))
        return def;
    lua_State* L = table.GetState();
    const bool number = lua_isnumber(L, -1) != 0;
    const double value = number ? lua_tonumber(L, -1) : def;
    lua_pop(L, 1);
    if (!number)
        Log("%s: '%s' is not a number", owner, key);
    return value;
}

int32_t ReadInt(const TLuaTable& table, const char* key, int32_t def, const char* owner)
{
    const double value = ReadNumber(table, key, def, owner);
    if (std::isnan(value))
        return 0;
    return static_cast<int32_t>(std::clamp(std::trunc(value), -2147483648.0, 2147483647.0));
}

int32_t ArrayLength(const TLuaTable& table)
{
    lua_State* L = table.GetState();
    table.Push();
    const int32_t n = lua_istable(L, -1) ? luaL_getn(L, -1) : 0;
    lua_pop(L, 1);
    return n;
}

bool IsTable(const TLuaTable& value)
{
    lua_State* L = value.GetState();
    value.Push();
    const bool table = lua_istable(L, -1);
    lua_pop(L, 1);
    return table;
}

TString LocalizedText(const TString& label)
{
    TApplication* application = TApplication::Get();
    TStringTable* strings = application != nullptr ? application->GetStringTable() : nullptr;
    return strings != nullptr ? strings->GetString(label) : label;
}

} // namespace cutscene
