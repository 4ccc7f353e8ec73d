// Openers of the script libraries: each registers its functions into the state's globals.
#pragma once

#include "script/lua.h"

#define LUA_COLIBNAME "coroutine"
#define LUA_TABLIBNAME "table"
#define LUA_STRLIBNAME "string"
#define LUA_MATHLIBNAME "math"

int luaopen_base(lua_State* L);
int luaopen_table(lua_State* L);
int luaopen_string(lua_State* L);
int luaopen_math(lua_State* L);
