// Debug support: run-time error builders that name the offending variable, stack inspection
// helpers and the byte-code checker run on every loaded chunk.
#pragma once

#include "script/core/state.h"

[[noreturn]] void luaG_typeerror(lua_State* L, const TObject* o, const char* opname);
[[noreturn]] void luaG_concaterror(lua_State* L, StkId p1, StkId p2);
// Wide-mode concatenation error: names the operand that is neither a wide string nor a number.
[[noreturn]] void luaG_wconcaterror(lua_State* L, StkId p1, StkId p2);
[[noreturn]] void luaG_aritherror(lua_State* L, const TObject* p1, const TObject* p2);
// Bitwise operand error: names the first operand unless it is a number.
[[noreturn]] void luaG_bitwiseerror(lua_State* L, const TObject* p1, const TObject* p2);
[[noreturn]] int luaG_ordererror(lua_State* L, const TObject* p1, const TObject* p2);
[[noreturn]] void luaG_runerror(lua_State* L, const char* fmt, ...);
[[noreturn]] void luaG_errormsg(lua_State* L);
// Verifies a prototype's code; 1 when it is sound.
int luaG_checkcode(const Proto* pt);
// Source line of the instruction at pc (0 without line information).
int luaG_getline(const Proto* p, int pc);
