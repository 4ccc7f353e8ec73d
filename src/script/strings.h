// Internal string-table operations beyond the constructors declared with the objects.
#pragma once

#include "script/state.h"

void luaS_resize(lua_State* L, int newsize);
size_t luaS_objectsize(const ScriptString* ts);
void luaS_freestr(lua_State* L, ScriptString* ts);
