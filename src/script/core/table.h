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

// The string-key lookup by address, inline for the interpreter's field accesses: all there is
// for an interned key. A loose key is never a node's key, so for one this finds nothing (its
// hash may not be known yet: 0 then).
inline const TObject* luaH_findinterned(const Table* t, const ScriptString* key)
{
    const Node* n = &t->node[key->hash & static_cast<lu_hash>(sizenode(t) - 1)];
    do
    {
        if (n->i_key.value.gc == obj2gco(key) &&
            (n->i_key.tt == LUA_TSTRING || n->i_key.tt == LUA_TWSTRING))
            return &n->i_val;
        n = gnext(n);
    } while (n != nullptr);
    return &luaO_nilobject;
}

// The string-key lookup of luaH_getstr, for a key interned or loose: a loose key's lookup
// follows the walk by address that found nothing, so that an interned key found, the common
// case, costs no more than the walk.
inline const TObject* luaH_findstr(const Table* t, const ScriptString* key)
{
    const TObject* v = luaH_findinterned(t, key);
    if (__builtin_expect(v == &luaO_nilobject && !key->interned, 0))
        return luaH_findloose(t, key);
    return v;
}
