// Internal string-table operations beyond the constructors declared with the objects.
#pragma once

#include "script/core/state.h"

// Rebuilds the main string slots with newsize slots (a power of 2), dropping removed-string
// marks.
void luaS_resize(lua_State* L, int newsize);
// Frees the table's arrays (at close, once every string is gone).
void luaS_freetable(lua_State* L);
// Frees the filter and the recent slots (at close, once the recent strings are gone): the main
// slots still find every string.
void luaS_freesidearrays(lua_State* L);
// The collector's side of the recent strings: frees the unmarked ones and clears the marks of
// the others.
void luaS_sweeprecent(lua_State* L);
// The filter of the main strings' hashes, rebuilt by the sweep from the strings it keeps.
void luaS_clearfilter(stringtable* tb);
void luaS_filteradd(stringtable* tb, lu_hash h);

// String-table slots: see stringtable.
constexpr uint64_t kStrSlotEmpty = 0;
constexpr uint64_t kStrSlotRemoved = 1;
static_assert(sizeof(void*) == 8, "string-table slots keep 48-bit addresses");
// A slot keeps a string's address (48 bits, a multiple of 8) in its low 45 bits and 19 bits mixed
// from the string's hash above them: probes compare them before visiting a string. The low hash
// bits would tell nothing there, as they already chose the slot; mixed bits turn away all but
// one in half a million strings met on the way, each of which would be a cache miss.
constexpr int kStrSlotAddrBits = 45;
inline uint64_t luaS_slottag(lu_hash h)
{
    return static_cast<uint64_t>(static_cast<uint32_t>(h * 0x9E3779B1u) >>
                                 (32 - (64 - kStrSlotAddrBits)))
           << kStrSlotAddrBits;
}
inline uint64_t luaS_makeslot(const ScriptString* ts, lu_hash h)
{
    return luaS_slottag(h) | (static_cast<uint64_t>(reinterpret_cast<uintptr_t>(ts)) >> 3);
}
inline ScriptString* luaS_slotstring(uint64_t slot)
{
    return reinterpret_cast<ScriptString*>(
        static_cast<uintptr_t>((slot & ((uint64_t(1) << kStrSlotAddrBits) - 1)) << 3));
}
size_t luaS_objectsize(const ScriptString* ts);
// Frees a collected string; a small one may be kept for reuse by a later string of its size.
void luaS_freestr(lua_State* L, ScriptString* ts);
// Frees every string at once (at close): the slabs and the long strings.
void luaS_freeall(lua_State* L);

// A piece of 8-bit text, for building a string from several without joining them first.
struct StrPiece
{
    const char* s;
    size_t len;
};

// The string of the n pieces (n >= 1) joined, l bytes in all: a new loose string, or, when the
// result is about to index a table (`keyFor`, else null), its interned twin if there is one (the
// node its hash names is fetched meanwhile); a key about to be assigned (`keyWritten`) is
// interned in any case, as a new key would be. No piece may point into memory the call
// allocates.
ScriptString* luaS_newconcat(lua_State* L, const StrPiece* pieces, int n, size_t l,
                             const Table* keyFor = nullptr, bool keyWritten = false);

// Loose strings (see ScriptString): made without a look at the string table or a hash, equal to
// their interned twins by luaS_equal, found by the collector in the slabs and the long-string
// list.
ScriptString* luaS_newloose(lua_State* L, const char* str, size_t l);
// The hash of a string, computed and kept on first use for a loose one.
lu_hash luaS_sethash(const ScriptString* ts);
inline lu_hash luaS_hash(const ScriptString* ts)
{
    return ts->hashed ? ts->hash : luaS_sethash(ts);
}
// lua_pushlstring for the libraries' results (joined text, captures, pieces): pushes a loose
// string.
void luaA_pushloose(lua_State* L, const char* s, size_t len);
// The interned string equal to ts: ts itself when interned, else its interned twin, else ts,
// entered into the table now. May raise the memory error, before anything has changed.
ScriptString* luaS_intern(lua_State* L, ScriptString* ts);
// The interned string equal to ts, or null when there is none; allocates nothing.
const ScriptString* luaS_findinterned(lua_State* L, const ScriptString* ts);
// The collector's side of the loose strings: walks the slabs and the long strings, freeing the
// unmarked loose ones and clearing the marks of the others (interned ones are left to the string
// table's sweep).
void luaS_sweeploose(lua_State* L);

// A string of l bytes not yet interned, for text written in place (the terminator is set), and
// its interning: luaS_commit gives ts, or the equal string already interned after freeing ts.
// Between the two calls no other string may be made and no error raised.
ScriptString* luaS_reserve(lua_State* L, size_t l);
ScriptString* luaS_commit(lua_State* L, ScriptString* ts);
