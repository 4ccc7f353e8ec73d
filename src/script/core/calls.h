// Call machinery: stack and call-record growth, calls of Lua and native functions, protected
// calls, the error exit, coroutines and the protected chunk loader.
#pragma once

#include "script/core/state.h"

// Thrown to unwind to the innermost protected call; carries the status code.
struct LuaError
{
    int status;
};

struct lua_longjmp
{
    lua_longjmp* previous;
    int status;
};

typedef void (*Pfunc)(lua_State* L, void* ud);

inline ptrdiff_t savestack(lua_State* L, const TObject* p)
{
    return reinterpret_cast<const char*>(p) - reinterpret_cast<const char*>(L->stack);
}
inline TObject* restorestack(lua_State* L, ptrdiff_t n)
{
    return reinterpret_cast<TObject*>(reinterpret_cast<char*>(L->stack) + n);
}

void luaD_reallocstack(lua_State* L, int newsize);
void luaD_growstack(lua_State* L, int n);
inline void luaD_checkstack(lua_State* L, int n)
{
    if (reinterpret_cast<char*>(L->stack_last) - reinterpret_cast<char*>(L->top) <=
        static_cast<ptrdiff_t>(n * sizeof(TObject)))
        luaD_growstack(L, n);
}
// Slots a native function may use above its frame base.
constexpr int kMaxCStack = 2048;

// lua_checkstack and lua_xmove, inline for the coroutine library's resume (called per value
// handed over).
inline bool luaD_apicheckstack(lua_State* L, int size)
{
    if ((L->top - L->base + size) > kMaxCStack)
        return false;
    luaD_checkstack(L, size);
    if (L->ci->top < L->top + size)
        L->ci->top = L->top + size;
    return true;
}
inline void luaD_xmove(lua_State* from, lua_State* to, int n)
{
    if (from == to || n <= 0)
        return;
    luaD_checkstack(to, n);
    from->top -= n;
    for (int i = 0; i < n; i++)
    {
        setobj(to->top, from->top + i);
        to->top++;
    }
}
// lua_xmove of the nargs values on from's top to co, then lua_resume(co, nargs): the coroutine
// library's resume, with the values moved once when co waits in a yield.
int luaD_resumefrom(lua_State* from, lua_State* co, int nargs);
// Advances the top by one, growing the stack when needed.
inline void incr_top(lua_State* L)
{
    luaD_checkstack(L, 1);
    L->top++;
}
void luaD_reallocCI(lua_State* L, int newsize);

// The call record of a native function at `func`, whose arguments run from func + 1 to the
// top; the caller has made sure of a free record and LUA_MINSTACK slots above the top.
inline CallInfo* luaD_enterCframe(lua_State* L, StkId func)
{
    CallInfo* ci = ++L->ci;
    L->base = ci->base = func + 1;
    ci->top = L->top + LUA_MINSTACK;
    ci->state = CI_C;
    ci->savedpc = nullptr;
    ci->tailcalls = 0;
    return ci;
}

// Starts a call of the function at func: for a native function runs it and returns the first
// result (a pointer above the top when it yielded); for a Lua function prepares the frame and
// returns null.
StkId luaD_precall(lua_State* L, StkId func);
void luaD_poscall(lua_State* L, int wanted, StkId firstResult);
void luaD_call(lua_State* L, StkId func, int nResults);
int luaD_pcall(lua_State* L, Pfunc func, void* u, ptrdiff_t oldtop, ptrdiff_t ef);
int luaD_rawrunprotected(lua_State* L, Pfunc f, void* ud);
[[noreturn]] void luaD_throw(lua_State* L, int errcode);
void luaD_seterrorobj(lua_State* L, int errcode, StkId oldtop);
// Loads a chunk (text or precompiled) from a memory buffer in protected mode and pushes the
// resulting function, or the error message; returns the status. Source text may go on in the
// blocks of reader, read as the compiler needs them (a precompiled chunk is whole in buffer).
int luaD_protectedparser(lua_State* L, const char* buffer, size_t size, const char* chunkname,
                         lua_Chunkreader reader = nullptr, void* data = nullptr);
