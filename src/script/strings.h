// Internal string-table operations beyond the constructors declared with the objects.
#pragma once

#include "script/state.h"

// Rebuilds the string table with newsize slots (a power of 2), dropping removed-string marks.
void luaS_resize(lua_State* L, int newsize);

// String-table slots: see stringtable.
constexpr uint64_t kStrSlotEmpty = 0;
constexpr uint64_t kStrSlotRemoved = 1;
inline ScriptString* luaS_slotstring(uint64_t slot)
{
    return reinterpret_cast<ScriptString*>(
        static_cast<uintptr_t>(slot & ((uint64_t(1) << 48) - 1)));
}
size_t luaS_objectsize(const ScriptString* ts);
// Frees a collected string; a small one may be kept for reuse by a later string of its size.
void luaS_freestr(lua_State* L, ScriptString* ts);
// Returns every kept block to the allocator (at close, and before the allocator is replaced).
void luaS_releasefree(lua_State* L);

// A piece of 8-bit text, for building a string from several without joining them first.
struct StrPiece
{
    const char* s;
    size_t len;
};

// The interned string of the n pieces (n >= 1) joined, l bytes in all; the same string as
// luaS_newlstr gives for that text. No piece may point into memory the call allocates.
ScriptString* luaS_newconcat(lua_State* L, const StrPiece* pieces, int n, size_t l);
