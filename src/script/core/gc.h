// Stop-the-world mark-and-sweep collector: mark bits, object linking and collection triggers.
#pragma once

#include "script/core/state.h"

// Mark bits of the `marked` byte.
enum
{
    MARKBIT = 0,      // reached in the current collection
    FINALIZEDBIT = 1, // a userdata whose "__gc" already ran
    KEYWEAKBIT = 2,
    VALUEWEAKBIT = 3,
    FIXEDBIT = 4 // never collected
};

inline bool gc_testbit(const GCObject* o, int b)
{
    return (o->marked >> b) & 1;
}
inline void gc_setbit(GCObject* o, int b)
{
    o->marked = static_cast<lu_byte>(o->marked | (1 << b));
}
inline void gc_clearbit(GCObject* o, int b)
{
    o->marked = static_cast<lu_byte>(o->marked & ~(1 << b));
}
inline bool gc_testbit(const ScriptString* ts, int b)
{
    return (ts->marked >> b) & 1;
}
inline void gc_setbit(ScriptString* ts, int b)
{
    ts->marked = static_cast<lu_byte>(ts->marked | (1 << b));
}
inline void gc_clearbit(ScriptString* ts, int b)
{
    ts->marked = static_cast<lu_byte>(ts->marked & ~(1 << b));
}

// Links a new object into the general list.
void luaC_link(lua_State* L, GCObject* o, lu_byte tt);
// Runs a full collection.
void luaC_collectgarbage(lua_State* L);
inline void luaC_checkGC(lua_State* L)
{
    if (G(L)->nblocks >= G(L)->GCthreshold)
        luaC_collectgarbage(L);
}
// At state close: finalises every userdata with "__gc" (protected), then frees every object.
void luaC_closeall(lua_State* L);
