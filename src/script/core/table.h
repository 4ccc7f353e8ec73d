// Internal table operations: freeing, sizes for the collector, and the dead-key tag.
#pragma once

#include "script/core/state.h"

// Tag given by the collector to the key of a node whose value is nil: the pointer stays so that
// `next` can still find its place, but it is never followed.
#define LUA_TDEADKEY 12

void luaH_free(lua_State* L, Table* t);
// Length rule of lua_getn: raw field "n" when a number, else the largest used integer position.
int luaH_getn(lua_State* L, Table* t);
// Number of non-nil values t[1], t[2], ... before the first nil (raw reads).
int luaH_prefixlength(Table* t);
// The table at a stack index, or null when the value there is not a table (the libraries' way to
// read a table's slots without a push per slot).
Table* luaA_tableat(lua_State* L, int idx);

// luaH_findstr for a loose key: keys in tables are interned, so an equal key is found by hash and
// text.
const TObject* luaH_findloose(const Table* t, const ScriptString* key);

// The string-key lookup of luaH_getstr, inline for the interpreter's field accesses: interned
// keys compare by address. A loose key is never a node's key, so the walk by address finds
// nothing for it (its hash may not be known yet: 0 then) and its lookup follows; the walk for
// interned keys that are found, the common case, is all there is.
inline const TObject* luaH_findstr(const Table* t, const ScriptString* key)
{
    const Node* n = &t->node[key->hash & static_cast<lu_hash>(sizenode(t) - 1)];
    do
    {
        if (n->i_key.value.gc == obj2gco(key) &&
            (n->i_key.tt == LUA_TSTRING || n->i_key.tt == LUA_TWSTRING))
            return &n->i_val;
        n = gnext(n);
    } while (n != nullptr);
    if (__builtin_expect(!key->interned, 0))
        return luaH_findloose(t, key);
    return &luaO_nilobject;
}
