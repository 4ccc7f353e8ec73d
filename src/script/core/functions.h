// Internal operations on closures, prototypes and upvalues.
#pragma once

#include "script/core/state.h"

// Finds or creates the open upvalue for a stack slot.
UpVal* luaF_findupval(lua_State* L, StkId level);
// A closed upvalue holding nil.
UpVal* luaF_newclosedupval(lua_State* L);
// Closes every open upvalue at or above level (their values move into the upvalue objects).
void luaF_close(lua_State* L, StkId level);
void luaF_freeproto(lua_State* L, Proto* f);
void luaF_freeclosure(lua_State* L, Closure* c);
void luaF_freeupval(lua_State* L, UpVal* uv);
