// The native stack API: index rules (registry, globals, upvalues, registry integer keys below
// -40000), pushes that grow the stack, access, calls, loading, collector control and the
// additions for wide strings, per-type metatables, table length and pointer-holding userdata.
#include <new>
#include <stdexcept>
#include <string>

#include "script/core/calls.h"
#include "script/compiler/chunk_format.h"
#include "script/core/debug_info.h"
#include "script/core/functions.h"
#include "script/core/gc.h"
#include "script/core/strings.h"
#include "script/core/table.h"
#include "script/core/vm.h"

// Resolves an index; null for an invalid one ("no value"). Indices below -40000 give a read-only
// view of a registry integer key (the nil object when absent).
static TObject* PseudoIndex2Adr(lua_State* L, int idx);

// A positive index, what the libraries pass most, is resolved where it is asked for.
[[gnu::always_inline]] static inline TObject* Index2Adr(lua_State* L, int idx)
{
    if (__builtin_expect(idx > 0, 1))
    {
        TObject* o = L->base + (idx - 1);
        return (o >= L->top) ? nullptr : o;
    }
    return PseudoIndex2Adr(L, idx);
}

// Negative and pseudo-indices.
static TObject* PseudoIndex2Adr(lua_State* L, int idx)
{
    if (idx > LUA_REGISTRYINDEX)
    {
        if (idx == 0 || -idx > L->top - L->base)
            return nullptr;
        return L->top + idx;
    }
    if (idx == LUA_REGISTRYINDEX)
        return registry(L);
    if (idx == LUA_GLOBALSINDEX)
        return gt(L);
    if (idx >= LUA_REGREFINDEX)
    {
        TObject* func = L->base - 1;
        if (L->ci == L->base_ci || !iscfunction(func))
            return nullptr;
        CClosure* c = toC(clvalue(func));
        int n = LUA_GLOBALSINDEX - idx;
        return (n <= c->nupvalues) ? &c->upvalue[n - 1] : nullptr;
    }
    long key = static_cast<long>(LUA_REGREFINDEX) - idx;
    if (key > 2147483647L)
        return const_cast<TObject*>(&luaO_nilobject);
    return const_cast<TObject*>(luaH_getnum(hvalue(registry(L)), static_cast<int>(key)));
}

static bool IsReadOnlyIndex(int idx)
{
    return idx < LUA_REGREFINDEX;
}

// Advances the top after a push, growing the stack when one slot or less remains.
static void ApiIncrTop(lua_State* L)
{
    if (L->stack_last - L->top <= 1)
        luaD_growstack(L, 1);
    L->top++;
}

static void PushObject(lua_State* L, const TObject* o)
{
    setobj(L->top, o);
    ApiIncrTop(L);
}

// --- State and stack ---------------------------------------------------------------------------

lua_State* lua_newthread(lua_State* L)
{
    luaC_checkGC(L);
    lua_State* L1 = luaE_newthread(L);
    setthvalue(L->top, L1);
    ApiIncrTop(L);
    return L1;
}

int lua_gettop(lua_State* L)
{
    return static_cast<int>(L->top - L->base);
}

void lua_settop(lua_State* L, int idx)
{
    if (idx >= 0)
    {
        int need = idx - static_cast<int>(L->top - L->base);
        if (need > 0)
            luaD_checkstack(L, need);
        while (L->top < L->base + idx)
            setnilvalue(L->top++);
        L->top = L->base + idx;
    }
    else
    {
        StkId newtop = L->top + idx + 1;
        L->top = newtop < L->base ? L->base : newtop;
    }
}

void lua_remove(lua_State* L, int idx)
{
    StkId p = Index2Adr(L, idx);
    if (p == nullptr || p < L->base || p >= L->top)
        return;
    while (++p < L->top)
        setobj(p - 1, p);
    L->top--;
}

void lua_insert(lua_State* L, int idx)
{
    StkId p = Index2Adr(L, idx);
    if (p == nullptr || p < L->base || p >= L->top)
        return;
    for (StkId q = L->top; q > p; q--)
        setobj(q, q - 1);
    setobj(p, L->top);
}

void lua_replace(lua_State* L, int idx)
{
    StkId o = IsReadOnlyIndex(idx) ? nullptr : Index2Adr(L, idx);
    if (o != nullptr)
        setobj(o, L->top - 1);
    L->top--;
}

void lua_pushvalue(lua_State* L, int idx)
{
    TObject* o = Index2Adr(L, idx);
    PushObject(L, o != nullptr ? o : &luaO_nilobject);
}

int lua_checkstack(lua_State* L, int size)
{
    return luaD_apicheckstack(L, size) ? 1 : 0;
}

void lua_xmove(lua_State* from, lua_State* to, int n)
{
    luaD_xmove(from, to, n);
}

// --- Access ------------------------------------------------------------------------------------

int lua_type(lua_State* L, int idx)
{
    TObject* o = Index2Adr(L, idx);
    return (o == nullptr) ? LUA_TNONE : ttype(o);
}

const char* lua_typename(lua_State*, int t)
{
    if (t < 0 || t > LUA_TWSTRING)
        return "no value";
    return luaT_typenames[t];
}

int lua_iscfunction(lua_State* L, int idx)
{
    TObject* o = Index2Adr(L, idx);
    return (o != nullptr && iscfunction(o)) ? 1 : 0;
}

int lua_isnumber(lua_State* L, int idx)
{
    TObject n;
    TObject* o = Index2Adr(L, idx);
    return (o != nullptr && luaV_tonumber(o, &n) != nullptr) ? 1 : 0;
}

int lua_isstring(lua_State* L, int idx)
{
    int t = lua_type(L, idx);
    return (t == LUA_TSTRING || t == LUA_TNUMBER || t == LUA_TWSTRING) ? 1 : 0;
}

int lua_isuserdata(lua_State* L, int idx)
{
    TObject* o = Index2Adr(L, idx);
    return (o != nullptr && (ttisuserdata(o) || ttislightuserdata(o))) ? 1 : 0;
}

int lua_rawequal(lua_State* L, int index1, int index2)
{
    TObject* o1 = Index2Adr(L, index1);
    TObject* o2 = Index2Adr(L, index2);
    return (o1 == nullptr || o2 == nullptr) ? 0 : luaO_rawequalObj(o1, o2);
}

int lua_equal(lua_State* L, int index1, int index2)
{
    TObject* o1 = Index2Adr(L, index1);
    TObject* o2 = Index2Adr(L, index2);
    if (o1 == nullptr || o2 == nullptr)
        return 0;
    TObject a = *o1;
    TObject b = *o2;
    return luaV_equalObj(L, &a, &b);
}

int lua_lessthan(lua_State* L, int index1, int index2)
{
    TObject* o1 = Index2Adr(L, index1);
    TObject* o2 = Index2Adr(L, index2);
    if (o1 == nullptr || o2 == nullptr)
        return 0;
    TObject a = *o1;
    TObject b = *o2;
    return luaV_lessthan(L, &a, &b);
}

lua_Number lua_tonumber(lua_State* L, int idx)
{
    TObject n;
    const TObject* o = Index2Adr(L, idx);
    if (o != nullptr && (o = luaV_tonumber(o, &n)) != nullptr)
        return nvalue(o);
    return 0;
}

int lua_toboolean(lua_State* L, int idx)
{
    const TObject* o = Index2Adr(L, idx);
    return (o != nullptr && !l_isfalse(o)) ? 1 : 0;
}

const char* lua_tostring(lua_State* L, int idx)
{
    StkId o = Index2Adr(L, idx);
    if (o == nullptr)
        return nullptr;
    if (ttisstring(o))
        return svalue(o);
    if (!ttisnumber(o) || IsReadOnlyIndex(idx))
        return nullptr;
    luaC_checkGC(L);
    o = Index2Adr(L, idx);
    return luaV_tostring(L, o) ? svalue(o) : nullptr;
}

size_t lua_strlen(lua_State* L, int idx)
{
    StkId o = Index2Adr(L, idx);
    if (o == nullptr)
        return 0;
    if (ttisstring(o) || ttiswstring(o))
        return tsvalue(o)->len;
    if (!ttisnumber(o) || IsReadOnlyIndex(idx))
        return 0;
    luaC_checkGC(L);
    o = Index2Adr(L, idx);
    return luaV_tostring(L, o) ? tsvalue(o)->len : 0;
}

const lua_WChar* lua_towstring(lua_State* L, int idx)
{
    StkId o = Index2Adr(L, idx);
    if (o == nullptr)
        return nullptr;
    if (ttiswstring(o))
        return getwstr(tsvalue(o));
    if (!ttisnumber(o) || IsReadOnlyIndex(idx))
        return nullptr;
    luaC_checkGC(L);
    o = Index2Adr(L, idx);
    return luaV_towstring(L, o) ? getwstr(tsvalue(o)) : nullptr;
}

size_t lua_wstrlen(const lua_WChar* units)
{
    size_t n = 0;
    while (units[n] != 0)
        n++;
    return n;
}

lua_CFunction lua_tocfunction(lua_State* L, int idx)
{
    StkId o = Index2Adr(L, idx);
    return (o == nullptr || !iscfunction(o)) ? nullptr : toC(clvalue(o))->f;
}

void* lua_touserdata(lua_State* L, int idx)
{
    StkId o = Index2Adr(L, idx);
    if (o == nullptr)
        return nullptr;
    if (ttisuserdata(o))
    {
        Udata* u = uvalue(o);
        void* block = udata_block(u);
        if (u->len & 1)
            return *static_cast<void**>(block);
        return block;
    }
    if (ttislightuserdata(o))
        return pvalue(o);
    return nullptr;
}

lua_State* lua_tothread(lua_State* L, int idx)
{
    StkId o = Index2Adr(L, idx);
    return (o == nullptr || !ttisthread(o)) ? nullptr : thvalue(o);
}

const void* lua_topointer(lua_State* L, int idx)
{
    StkId o = Index2Adr(L, idx);
    if (o == nullptr)
        return nullptr;
    switch (ttype(o))
    {
    case LUA_TTABLE:
    case LUA_TFUNCTION:
    case LUA_TTHREAD:
        return gcvalue(o);
    case LUA_TUSERDATA:
    case LUA_TLIGHTUSERDATA:
        return lua_touserdata(L, idx);
    default:
        return nullptr;
    }
}

// --- Push --------------------------------------------------------------------------------------

void lua_pushnil(lua_State* L)
{
    setnilvalue(L->top);
    ApiIncrTop(L);
}

void lua_pushnumber(lua_State* L, lua_Number n)
{
    setnvalue(L->top, n);
    ApiIncrTop(L);
}

void lua_pushlstring(lua_State* L, const char* s, size_t len)
{
    luaC_checkGC(L);
    setsvalue(L->top, luaS_newlstr(L, s, len));
    ApiIncrTop(L);
}

void luaA_pushloose(lua_State* L, const char* s, size_t len)
{
    luaC_checkGC(L);
    setsvalue(L->top, luaS_newloose(L, s, len));
    ApiIncrTop(L);
}

void lua_pushstring(lua_State* L, const char* s)
{
    if (s == nullptr)
        lua_pushnil(L);
    else
        lua_pushlstring(L, s, strlen(s));
}

void lua_pushlwstring(lua_State* L, const lua_WChar* s, size_t len)
{
    luaC_checkGC(L);
    setsvalue(L->top, luaS_newlwstr(L, s, len));
    ApiIncrTop(L);
}

void lua_pushwstring(lua_State* L, const lua_WChar* s)
{
    if (s == nullptr)
        lua_pushnil(L);
    else
        lua_pushlwstring(L, s, lua_wstrlen(s));
}

const char* lua_pushvfstring(lua_State* L, const char* fmt, va_list argp)
{
    luaC_checkGC(L);
    return luaO_pushvfstring(L, fmt, argp);
}

const char* lua_pushfstring(lua_State* L, const char* fmt, ...)
{
    luaC_checkGC(L);
    va_list argp;
    va_start(argp, fmt);
    const char* ret = luaO_pushvfstring(L, fmt, argp);
    va_end(argp);
    return ret;
}

void lua_pushcclosure(lua_State* L, lua_CFunction fn, int n)
{
    luaC_checkGC(L);
    Closure* cl = luaF_newCclosure(L, n);
    toC(cl)->f = fn;
    L->top -= n;
    for (int i = 0; i < n; i++)
        setobj(&toC(cl)->upvalue[i], L->top + i);
    setclvalue(L->top, cl);
    ApiIncrTop(L);
}

void lua_pushboolean(lua_State* L, int b)
{
    setbvalue(L->top, b != 0);
    ApiIncrTop(L);
}

void lua_pushlightuserdata(lua_State* L, void* p)
{
    setpvalue(L->top, p);
    ApiIncrTop(L);
}

static Udata* NewUdata(lua_State* L, size_t blockSize, uint32_t lenWord)
{
    Udata* u = static_cast<Udata*>(luaM_realloc(L, nullptr, 0, sizeof(Udata) + blockSize));
    luaC_link(L, u, LUA_TUSERDATA);
    u->len = lenWord;
    TObject* mt = &G(L)->typemetatables[LUA_TUSERDATA];
    u->metatable = ttistable(mt) ? hvalue(mt) : hvalue(defaultmeta(L));
    return u;
}

void* lua_newuserdata(lua_State* L, size_t size)
{
    luaC_checkGC(L);
    size_t even = (size + 1) & ~static_cast<size_t>(1);
    if (even > 0xFFFFFFF0u)
        luaG_runerror(L, "memory allocation error: block too big");
    Udata* u = NewUdata(L, even, static_cast<uint32_t>(even));
    setuvalue(L->top, u);
    ApiIncrTop(L);
    return udata_block(u);
}

void lua_pushuserdataref(lua_State* L, void* p)
{
    luaC_checkGC(L);
    Udata* u = NewUdata(L, sizeof(void*), 1);
    *static_cast<void**>(udata_block(u)) = p;
    setuvalue(L->top, u);
    ApiIncrTop(L);
}

// --- Get ---------------------------------------------------------------------------------------

static const TObject* ValueOrNil(const TObject* o)
{
    return o != nullptr ? o : &luaO_nilobject;
}

void lua_gettable(lua_State* L, int idx)
{
    TObject t = *ValueOrNil(Index2Adr(L, idx));
    luaV_gettable(L, &t, L->top - 1, L->top - 1);
}

void lua_rawget(lua_State* L, int idx)
{
    const TObject* t = ValueOrNil(Index2Adr(L, idx));
    if (!ttistable(t))
        luaG_runerror(L, "table expected");
    setobj(L->top - 1, luaH_get(hvalue(t), L->top - 1));
}

Table* luaA_tableat(lua_State* L, int idx)
{
    const TObject* t = Index2Adr(L, idx);
    return t != nullptr && ttistable(t) ? hvalue(t) : nullptr;
}

void lua_rawgeti(lua_State* L, int idx, int n)
{
    const TObject* t = ValueOrNil(Index2Adr(L, idx));
    if (!ttistable(t))
        luaG_runerror(L, "table expected");
    PushObject(L, luaH_getnum(hvalue(t), n));
}

void lua_newtable(lua_State* L)
{
    luaC_checkGC(L);
    sethvalue(L->top, luaH_new(L, 0, 0));
    ApiIncrTop(L);
}

int lua_getmetatable(lua_State* L, int objindex)
{
    const TObject* obj = Index2Adr(L, objindex);
    if (obj == nullptr)
        return 0;
    Table* mt = nullptr;
    if (ttistable(obj))
        mt = hvalue(obj)->metatable;
    else if (ttisuserdata(obj))
        mt = uvalue(obj)->metatable;
    if (mt == hvalue(defaultmeta(L)))
        mt = nullptr;
    if (mt == nullptr && ttype(obj) > LUA_TNIL && ttype(obj) < NUM_TYPE_METATABLES)
    {
        TObject* tm = &G(L)->typemetatables[ttype(obj)];
        if (ttistable(tm))
            mt = hvalue(tm);
    }
    if (mt == nullptr)
        return 0;
    sethvalue(L->top, mt);
    ApiIncrTop(L);
    return 1;
}

void lua_getfenv(lua_State* L, int idx)
{
    StkId o = Index2Adr(L, idx);
    if (o != nullptr && ttisfunction(o) && !clvalue(o)->isC)
    {
        sethvalue(L->top, toL(clvalue(o))->g);
        ApiIncrTop(L);
    }
    else
        PushObject(L, gt(L));
}

void lua_gettypemetatable(lua_State* L, int tag)
{
    if (tag < 0 || tag >= NUM_TYPE_METATABLES)
        lua_pushnil(L);
    else
        PushObject(L, &G(L)->typemetatables[tag]);
}

int lua_getn(lua_State* L, int idx)
{
    const TObject* t = Index2Adr(L, idx);
    if (t == nullptr || !ttistable(t))
        return 0;
    return luaH_getn(L, hvalue(t));
}

// --- Set ---------------------------------------------------------------------------------------

void lua_settable(lua_State* L, int idx)
{
    TObject t = *ValueOrNil(Index2Adr(L, idx));
    luaV_settable(L, &t, L->top - 2, L->top - 1);
    L->top -= 2;
}

void lua_rawset(lua_State* L, int idx)
{
    const TObject* t = ValueOrNil(Index2Adr(L, idx));
    if (!ttistable(t))
        luaG_runerror(L, "table expected");
    setobj(luaH_set(L, hvalue(t), L->top - 2), L->top - 1);
    L->top -= 2;
}

void lua_rawseti(lua_State* L, int idx, int n)
{
    const TObject* t = ValueOrNil(Index2Adr(L, idx));
    if (!ttistable(t))
        luaG_runerror(L, "table expected");
    setobj(luaH_setnum(L, hvalue(t), n), L->top - 1);
    L->top--;
}

int lua_setmetatable(lua_State* L, int objindex)
{
    TObject* obj = Index2Adr(L, objindex);
    TObject* mt = L->top - 1;
    Table* newmt = nullptr;
    if (ttisnil(mt))
        newmt = hvalue(defaultmeta(L));
    else if (ttistable(mt))
        newmt = hvalue(mt);
    int res = 1;
    if (obj != nullptr && newmt != nullptr && ttistable(obj))
        hvalue(obj)->metatable = newmt;
    else if (obj != nullptr && newmt != nullptr && ttisuserdata(obj))
        uvalue(obj)->metatable = newmt;
    else
        res = 0;
    L->top--;
    return res;
}

int lua_setfenv(lua_State* L, int idx)
{
    StkId o = Index2Adr(L, idx);
    int res = 0;
    if (o != nullptr && ttistable(L->top - 1) && ttisfunction(o) && !clvalue(o)->isC)
    {
        toL(clvalue(o))->g = hvalue(L->top - 1);
        res = 1;
    }
    L->top--;
    return res;
}

void lua_settypemetatable(lua_State* L, int tag)
{
    TObject* v = L->top - 1;
    if (ttistable(v) && tag >= 0 && tag < NUM_TYPE_METATABLES)
        setobj(&G(L)->typemetatables[tag], v);
    L->top--;
}

// --- Calls -------------------------------------------------------------------------------------

void lua_call(lua_State* L, int nargs, int nresults)
{
    StkId func = L->top - (nargs + 1);
    luaD_call(L, func, nresults);
}

struct CallS
{
    StkId func;
    int nresults;
};

static void FCall(lua_State* L, void* ud)
{
    CallS* c = static_cast<CallS*>(ud);
    luaD_call(L, c->func, c->nresults);
}

int lua_pcall(lua_State* L, int nargs, int nresults, int errfunc)
{
    ptrdiff_t func = 0;
    if (errfunc != 0)
    {
        TObject* o = Index2Adr(L, errfunc);
        if (o != nullptr && o >= L->stack && o < L->stack + L->stacksize)
            func = savestack(L, o);
    }
    CallS c;
    c.func = L->top - (nargs + 1);
    c.nresults = nresults;
    return luaD_pcall(L, FCall, &c, savestack(L, c.func), func);
}

struct CCallS
{
    lua_CFunction func;
    void* ud;
};

static void FCCall(lua_State* L, void* ud)
{
    CCallS* c = static_cast<CCallS*>(ud);
    Closure* cl = luaF_newCclosure(L, 0);
    toC(cl)->f = c->func;
    setclvalue(L->top, cl);
    incr_top(L);
    setpvalue(L->top, c->ud);
    incr_top(L);
    luaD_call(L, L->top - 2, 0);
}

int lua_cpcall(lua_State* L, lua_CFunction func, void* ud)
{
    CCallS c{func, ud};
    int status = luaD_pcall(L, FCCall, &c, savestack(L, L->top), 0);
    return status;
}

// The text of a chunk is gathered outside the state's allocator: its failure (out of memory, or
// a size beyond any string) is the state's memory error all the same.
static int LoadMemoryError(lua_State* L)
{
    setsvalue(L->top, G(L)->memerrmsg);
    ApiIncrTop(L);
    return LUA_ERRMEM;
}

int lua_load(lua_State* L, lua_Chunkreader reader, void* data, const char* chunkname)
{
    if (chunkname == nullptr)
        chunkname = "?";
    size_t size = 0;
    const char* first = reader(L, data, &size);
    if (first == nullptr)
        size = 0;
    // Source text (a first block that shows neither a precompiled chunk nor half a byte-order
    // mark) goes to the compiler block by block as it reads: the text is never held whole.
    if (size >= 2 && static_cast<unsigned char>(first[0]) != 27)
        return luaD_protectedparser(L, first, size, chunkname, reader, data);
    // A precompiled chunk is read whole first.
    std::string text;
    try
    {
        text.assign(first != nullptr ? first : "", size);
        while (size > 0)
        {
            const char* block = reader(L, data, &size);
            if (block == nullptr || size == 0)
                break;
            text.append(block, size);
        }
    }
    catch (const std::bad_alloc&)
    {
        return LoadMemoryError(L);
    }
    catch (const std::length_error&)
    {
        return LoadMemoryError(L);
    }
    return luaD_protectedparser(L, text.data(), text.size(), chunkname);
}

int lua_dump(lua_State* L, lua_Chunkwriter writer, void* data)
{
    TObject* o = L->top - 1;
    if (L->top <= L->base || !ttisfunction(o) || clvalue(o)->isC || clvalue(o)->nupvalues != 0)
        return 0;
    // As in the 5.0 protocol the writer's results are not consulted.
    luaU_dump(L, toL(clvalue(o))->p, writer, data);
    return 1;
}

// --- Collector ---------------------------------------------------------------------------------

static int ToKilobytes(size_t bytes)
{
    size_t k = bytes / 1024;
    return k > 2147483647u ? 2147483647 : static_cast<int>(k);
}

int lua_getgcthreshold(lua_State* L)
{
    return ToKilobytes(G(L)->GCthreshold);
}

int lua_getgccount(lua_State* L)
{
    return ToKilobytes(G(L)->nblocks);
}

void lua_setgcthreshold(lua_State* L, int newthreshold)
{
    if (newthreshold < 0)
        newthreshold = 0;
    if (newthreshold > 4194303)
        G(L)->GCthreshold = 0xFFFFFFFFu;
    else
        G(L)->GCthreshold = static_cast<size_t>(newthreshold) * 1024;
    luaC_checkGC(L);
}

// --- Miscellaneous -----------------------------------------------------------------------------

const char* lua_version(void)
{
    return LUA_VERSION;
}

int lua_error(lua_State* L)
{
    luaG_errormsg(L);
}

int lua_next(lua_State* L, int idx)
{
    const TObject* t = ValueOrNil(Index2Adr(L, idx));
    if (!ttistable(t))
        luaG_runerror(L, "table expected");
    int more = luaH_next(L, hvalue(t), L->top - 1);
    if (more)
        ApiIncrTop(L);
    else
        L->top -= 1;
    return more;
}

void lua_concat(lua_State* L, int n)
{
    if (n >= 2)
    {
        luaC_checkGC(L);
        luaV_concat(L, n, static_cast<int>(L->top - L->base) - 1);
        L->top -= (n - 1);
    }
    else if (n == 0)
    {
        luaC_checkGC(L);
        setsvalue(L->top, luaS_newlstr(L, nullptr, 0));
        ApiIncrTop(L);
    }
}

int lua_pushupvalues(lua_State* L)
{
    TObject* func = L->base - 1;
    if (!iscfunction(func))
        return 0;
    CClosure* c = toC(clvalue(func));
    int n = c->nupvalues;
    luaD_checkstack(L, n);
    for (int i = 0; i < n; i++)
    {
        setobj(L->top, &c->upvalue[i]);
        L->top++;
    }
    return n;
}

static const char* AuxUpvalue(lua_State* L, int funcindex, int n, TObject** val)
{
    StkId fi = Index2Adr(L, funcindex);
    if (fi == nullptr || !ttisfunction(fi))
        return nullptr;
    Closure* f = clvalue(fi);
    if (f->isC)
    {
        if (n < 1 || n > f->nupvalues)
            return nullptr;
        *val = &toC(f)->upvalue[n - 1];
        return "";
    }
    Proto* p = toL(f)->p;
    if (n < 1 || n > p->sizeupvalues || n > f->nupvalues)
        return nullptr;
    *val = toL(f)->upvals[n - 1]->v;
    return getstr(p->upvalues[n - 1]);
}

const char* lua_getupvalue(lua_State* L, int funcindex, int n)
{
    TObject* val = nullptr;
    const char* name = AuxUpvalue(L, funcindex, n, &val);
    if (name != nullptr)
        PushObject(L, val);
    return name;
}

const char* lua_setupvalue(lua_State* L, int funcindex, int n)
{
    TObject* val = nullptr;
    const char* name = AuxUpvalue(L, funcindex, n, &val);
    if (name != nullptr)
    {
        L->top--;
        setobj(val, L->top);
    }
    return name;
}
