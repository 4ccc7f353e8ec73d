// The interpreter of compiled functions and the value operations it shares with the API:
// coercions, indexing through metatables, comparisons and concatenation.
#pragma once

#include "script/core/state.h"

// Returns obj when it is a number, else n filled from a convertible string or wide string, or null.
const TObject* luaV_tonumber(const TObject* obj, TObject* n);
// Converts a number in place to an 8-bit string; 1 when obj is (now) a string.
int luaV_tostring(lua_State* L, StkId obj);
int luaV_towstring(lua_State* L, TObject* obj);
// Indexing and assignment with metamethods and per-type metatables. res and val may be stack slots.
void luaV_gettable(lua_State* L, const TObject* t, TObject* key, StkId res);
void luaV_settable(lua_State* L, const TObject* t, TObject* key, StkId val);
int luaV_lessthan(lua_State* L, const TObject* l, const TObject* r);
int luaV_equalval(lua_State* L, const TObject* t1, const TObject* t2);
inline int luaV_equalObj(lua_State* L, const TObject* o1, const TObject* o2)
{
    return ttype(o1) == ttype(o2) && luaV_equalval(L, o1, o2);
}
// Concatenates the `total` values ending at base + last, leaving the result at the first of them.
// keyFor names the table the result indexes next, if any; keyWritten says the index assigns.
void luaV_concat(lua_State* L, int total, int last, const Table* keyFor = nullptr,
                 bool keyWritten = false);
// Runs the Lua function of the current call record; returns its first result, or null when the
// run was suspended by a yield.
StkId luaV_execute(lua_State* L);
// Shared by the VM and the API: calls f(p1, p2) and stores its single result in res.
void luaV_callTMres(lua_State* L, const TObject* f, const TObject* p1, const TObject* p2,
                    StkId res);
