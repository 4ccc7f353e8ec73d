// Auxiliary library of the script engine: argument checks and their messages, error positions,
// library registration, table sizes, the (narrow or wide) string buffer and chunk loading.
#pragma once

#include "script/lua.h"

#include <cstddef>
#include <limits>

typedef struct luaL_reg
{
    const char* name;
    lua_CFunction func;
} luaL_reg;

void luaL_openlib(lua_State* L, const char* libname, const luaL_reg* l, int nup);
int luaL_getmetafield(lua_State* L, int obj, const char* e);
int luaL_callmeta(lua_State* L, int obj, const char* e);
int luaL_typerror(lua_State* L, int narg, const char* tname);
int luaL_argerror(lua_State* L, int numarg, const char* extramsg);
const char* luaL_checklstring(lua_State* L, int numArg, size_t* l);
const char* luaL_optlstring(lua_State* L, int numArg, const char* def, size_t* l);
const lua_WChar* luaL_checklwstring(lua_State* L, int numArg, size_t* l);
lua_Number luaL_checknumber(lua_State* L, int numArg);
lua_Number luaL_optnumber(lua_State* L, int nArg, lua_Number def);

void luaL_checkstack(lua_State* L, int sz, const char* msg);
void luaL_checktype(lua_State* L, int narg, int t);
void luaL_checkany(lua_State* L, int narg);

int luaL_newmetatable(lua_State* L, const char* tname);
void luaL_getmetatable(lua_State* L, const char* tname);
void* luaL_checkudata(lua_State* L, int ud, const char* tname);

void luaL_where(lua_State* L, int lvl);
int luaL_error(lua_State* L, const char* fmt, ...);

int luaL_findstring(const char* st, const char* const lst[]);

int luaL_ref(lua_State* L, int t);
void luaL_unref(lua_State* L, int t, int ref);

int luaL_getn(lua_State* L, int t);
void luaL_setn(lua_State* L, int t, int n);

int luaL_loadfile(lua_State* L, const char* filename);
int luaL_loadbuffer(lua_State* L, const char* buff, size_t sz, const char* name);

#define luaL_argcheck(L, cond, numarg, extramsg)                                                   \
    if (!(cond))                                                                                   \
    luaL_argerror(L, numarg, extramsg)
#define luaL_checkstring(L, n) (luaL_checklstring(L, (n), NULL))
#define luaL_optstring(L, n, d) (luaL_optlstring(L, (n), (d), NULL))
#define luaL_checkint(L, n) (luaL_numbertoint<int>(luaL_checknumber(L, n)))
#define luaL_checklong(L, n) (luaL_numbertoint<long>(luaL_checknumber(L, n)))
#define luaL_optint(L, n, d) (luaL_numbertoint<int>(luaL_optnumber(L, n, (lua_Number)(d))))
#define luaL_optlong(L, n, d) (luaL_numbertoint<long>(luaL_optnumber(L, n, (lua_Number)(d))))

// A number taken as an integer: truncated toward zero, and beyond the type's range the nearest
// end of it (NaN the lowest), so a huge position means the farthest one instead of a wrapped
// value (a plain cast of such a number is undefined).
template <typename Int> inline Int luaL_numbertoint(lua_Number v)
{
    constexpr Int kLow = std::numeric_limits<Int>::min();
    constexpr Int kHigh = std::numeric_limits<Int>::max();
    // -kLow as a double is exact (a power of two); kHigh may round up to it.
    constexpr lua_Number kEnd = -static_cast<lua_Number>(kLow);
    if (!(v > -kEnd))
        return kLow;
    if (v >= kEnd)
        return kHigh;
    return static_cast<Int>(v);
}

// String buffer. A narrow buffer collects bytes; a wide one collects 16-bit units (256 per
// block). Full blocks are pushed on the stack as pieces and joined as they accumulate.
#define LUAL_BUFFERSIZE 512

typedef struct luaL_Buffer
{
    char* p;  // write position in mBlock
    int lvl;  // pieces already pushed on the stack
    int wide; // nonzero: the block holds 16-bit units and pieces are wide strings
    lua_State* L;
    alignas(2) char buffer[LUAL_BUFFERSIZE];
} luaL_Buffer;

#define luaL_putchar(B, c)                                                                         \
    ((void)((B)->p < ((B)->buffer + LUAL_BUFFERSIZE) || luaL_prepbuffer(B)),                       \
     (*(B)->p++ = (char)(c)))
#define luaL_addsize(B, n) ((B)->p += (n))

void luaL_buffinit(lua_State* L, luaL_Buffer* B);
void luaL_wbuffinit(lua_State* L, luaL_Buffer* B);
char* luaL_prepbuffer(luaL_Buffer* B);
void luaL_addlstring(luaL_Buffer* B, const char* s, size_t l);
void luaL_addstring(luaL_Buffer* B, const char* s);
void luaL_addlwstring(luaL_Buffer* B, const lua_WChar* s, size_t l);
void luaL_addvalue(luaL_Buffer* B);
void luaL_pushresult(luaL_Buffer* B);

// Run a chunk from memory; on failure the message goes to "_ALERT" (or standard error).
int lua_dobuffer(lua_State* L, const char* buff, size_t sz, const char* n);
int lua_dostring(lua_State* L, const char* str);

#ifndef lua_getglobal
#define lua_getglobal(L, s) (lua_pushstring(L, s), lua_gettable(L, LUA_GLOBALSINDEX))
#endif
#ifndef lua_setglobal
#define lua_setglobal(L, s)                                                                        \
    (lua_pushstring(L, s), lua_insert(L, -2), lua_settable(L, LUA_GLOBALSINDEX))
#endif
