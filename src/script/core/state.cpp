// Creation and destruction of states and threads, the per-type metatables, metamethod lookup,
// the shared buffer and the default allocator.
#include <cstdlib>
#include <cstring>

#include "script/core/calls.h"
#include "script/core/debug_info.h"
#include "script/core/functions.h"
#include "script/core/gc.h"
#include "script/core/strings.h"
#include "script/core/table.h"

const char* const luaT_typenames[] = {"nil",    "boolean", "userdata", "number",
                                      "string", "table",   "function", "userdata",
                                      "thread", "wstring", "proto",    "upval"};

const char* const luaX_reservedwords[NUM_RESERVED] = {
    "and",    "break",    "continue", "do",   "else",  "elseif", "end", "false",
    "for",    "function", "if",       "in",   "local", "nil",    "not", "or",
    "repeat", "return",   "then",     "true", "until", "while"};

static const char* const kEventNames[TM_N] = {
    "__index", "__newindex", "__gc",  "__mode", "__eq", "__add",    "__sub", "__mul",
    "__div",   "__pow",      "__unm", "__lt",   "__le", "__concat", "__call"};

const TObject* luaT_gettm(Table* events, TMS event, ScriptString* ename)
{
    const TObject* tm = luaH_getstr(events, ename);
    if (ttisnil(tm))
    {
        // Remember the absence so later lookups are cheap.
        events->flags = static_cast<lu_byte>(events->flags | (1u << event));
        return nullptr;
    }
    return tm;
}

const TObject* luaT_gettmbyobj(lua_State* L, const TObject* o, TMS event)
{
    switch (ttype(o))
    {
    case LUA_TTABLE:
        return luaH_getstr(hvalue(o)->metatable, G(L)->tmname[event]);
    case LUA_TUSERDATA:
        return luaH_getstr(uvalue(o)->metatable, G(L)->tmname[event]);
    default:
        // The type's own table stands where the handler would be.
        if (ttype(o) >= 0 && ttype(o) < NUM_TYPE_METATABLES)
            return &G(L)->typemetatables[ttype(o)];
        return &luaO_nilobject;
    }
}

char* luaZ_openspace(lua_State* L, Mbuffer* buff, size_t n)
{
    if (n > buff->size)
    {
        if (n < 32)
            n = 32;
        L->bufferResizing = 1;
        try
        {
            buff->buffer = static_cast<char*>(luaM_realloc(L, buff->buffer, buff->size, n));
        }
        catch (...)
        {
            L->bufferResizing = 0;
            throw;
        }
        L->bufferResizing = 0;
        buff->size = n;
    }
    return buff->buffer;
}

void luaZ_freebuffer(lua_State* L, Mbuffer* buff)
{
    L->bufferResizing = 1;
    luaM_free(L, buff->buffer, buff->size);
    L->bufferResizing = 0;
    buff->buffer = nullptr;
    buff->size = 0;
}

static void* DefaultAlloc(void*, void* block, size_t, size_t newsize, int, int)
{
    if (newsize == 0)
    {
        free(block);
        return nullptr;
    }
    return realloc(block, newsize);
}

static void StackInit(lua_State* L1, lua_State* L)
{
    L1->stack =
        static_cast<TObject*>(luaM_newblock(L, sizeof(TObject) * (BASIC_STACK_SIZE + EXTRA_STACK)));
    L1->stacksize = BASIC_STACK_SIZE + EXTRA_STACK;
    L1->top = L1->stack;
    L1->stack_last = L1->stack + (L1->stacksize - EXTRA_STACK) - 1;
    // Nil is the zero tag: one block clear instead of a store per slot (a new coroutine each
    // time).
    static_assert(LUA_TNIL == 0, "a cleared slot reads as nil");
    // Through the C library's memset: with the size known here the compiler emits a string store,
    // whose start-up alone costs more than the library's vector stores for these 720 bytes.
    size_t bytes = sizeof(TObject) * static_cast<size_t>(L1->stacksize);
    asm("" : "+r"(bytes));
    memset(static_cast<void*>(L1->stack), 0, bytes);
    L1->base_ci = static_cast<CallInfo*>(luaM_newblock(L, sizeof(CallInfo) * BASIC_CI_SIZE));
    L1->ci = L1->base_ci;
    L1->ci->state = CI_C;   // not a Lua function
    setnilvalue(L1->top++); // the "function" entry of this call record
    L1->base = L1->ci->base = L1->top;
    L1->ci->top = L1->top + LUA_MINSTACK;
    L1->ci->savedpc = nullptr;
    L1->ci->tailcalls = 0;
    L1->size_ci = BASIC_CI_SIZE;
    L1->end_ci = L1->base_ci + L1->size_ci;
}

static void FreeStack(lua_State* L, lua_State* L1)
{
    luaM_freeblock(L, L1->base_ci, sizeof(CallInfo) * L1->size_ci);
    luaM_freeblock(L, L1->stack, sizeof(TObject) * static_cast<size_t>(L1->stacksize));
}

static void PresetState(lua_State* L)
{
    L->stack = nullptr;
    L->stacksize = 0;
    L->errorJmp = nullptr;
    L->hookmask = 0;
    L->allowhook = 1;
    L->openupval = nullptr;
    L->size_ci = 0;
    L->nCcalls = 0;
    L->base_ci = L->ci = nullptr;
    L->end_ci = nullptr;
    L->top = L->base = L->stack_last = nullptr;
    L->errfunc = 0;
    L->bufferResizing = 0;
    L->gclist = nullptr;
    setnilvalue(gt(L));
}

lua_State* luaE_newthread(lua_State* L)
{
    lua_State* L1 = static_cast<lua_State*>(luaM_newblock(L, sizeof(lua_State)));
    luaC_link(L, L1, LUA_TTHREAD);
    PresetState(L1);
    L1->l_G = G(L);
    StackInit(L1, L);
    setobj(gt(L1), gt(L));
    return L1;
}

void luaE_freethread(lua_State* L, lua_State* L1)
{
    luaF_close(L1, L1->stack);
    FreeStack(L, L1);
    luaM_freeblock(L, L1, sizeof(lua_State));
}

static Table* NewTypeTable(lua_State* L)
{
    Table* t = luaH_new(L, 0, 0);
    t->metatable = hvalue(defaultmeta(L));
    return t;
}

// Builds everything after the two blocks exist; runs protected so a failure frees cleanly.
static void OpenState(lua_State* L, void*)
{
    global_State* g = G(L);
    StackInit(L, L);
    // The default metatable is an empty table that is its own metatable.
    Table* dm = static_cast<Table*>(luaM_realloc(L, nullptr, 0, sizeof(Table)));
    luaC_link(L, dm, LUA_TTABLE);
    dm->metatable = dm;
    dm->flags = static_cast<lu_byte>(~0);
    dm->array = nullptr;
    dm->sizearray = 0;
    dm->mappedarray = 0;
    dm->mappednode = 0;
    dm->node = g->dummynode;
    dm->lsizenode = 0;
    dm->indexhint = 0;
    dm->firstfree = g->dummynode;
    dm->gclist = nullptr;
    sethvalue(defaultmeta(L), dm);
    for (int i = 1; i < NUM_TYPE_METATABLES; i++)
        sethvalue(&g->typemetatables[i], NewTypeTable(L));
    sethvalue(gt(L), luaH_new(L, 0, 4));
    sethvalue(registry(L), luaH_new(L, 4, 4));
    luaS_resize(L, 32);
    for (int i = 0; i < TM_N; i++)
    {
        g->tmname[i] = luaS_new(L, kEventNames[i]);
        luaS_fix(g->tmname[i]);
    }
    for (int i = 0; i < NUM_RESERVED; i++)
    {
        ScriptString* ts = luaS_new(L, luaX_reservedwords[i]);
        luaS_fix(ts);
        ts->reserved = static_cast<lu_byte>(i + 1);
    }
    g->memerrmsg = luaS_new(L, "not enough memory");
    luaS_fix(g->memerrmsg);
    g->GCthreshold = 4 * g->nblocks;
}

static void CloseState(lua_State* L)
{
    global_State* g = G(L);
    luaF_close(L, L->stack);
    luaC_closeall(L);
    luaS_freetable(L);
    luaZ_freebuffer(L, &g->buff);
    FreeStack(L, L);
    luaM_releasesmall(L);
    lua_Alloc f = g->frealloc;
    void* ud = g->ud;
    f(ud, L, sizeof(lua_State), 0, 0, 0);
    f(ud, g, sizeof(global_State), 0, 0, 0);
}

lua_State* lua_open(void)
{
    lua_Alloc f = DefaultAlloc;
    lua_State* L = static_cast<lua_State*>(f(nullptr, nullptr, 0, sizeof(lua_State), 0, 0));
    global_State* g =
        static_cast<global_State*>(f(nullptr, nullptr, 0, sizeof(global_State), 0, 0));
    if (L == nullptr || g == nullptr)
    {
        f(nullptr, L, sizeof(lua_State), 0, 0, 0);
        f(nullptr, g, sizeof(global_State), 0, 0, 0);
        return nullptr;
    }
    L->next = nullptr;
    L->tt = LUA_TTHREAD;
    L->marked = 0;
    PresetState(L);
    L->l_G = g;
    g->strt = stringtable{};
    g->frealloc = f;
    g->ud = nullptr;
    g->rootgc = nullptr;
    g->rootudata = nullptr;
    g->tmudata = nullptr;
    g->buff.buffer = nullptr;
    g->buff.size = 0;
    g->GCthreshold = static_cast<size_t>(-1); // no collection while the state is being built
    g->nblocks = sizeof(lua_State) + sizeof(global_State);
    g->panic = nullptr;
    setnilvalue(registry(L));
    setnilvalue(defaultmeta(L));
    g->mainthread = L;
    cleargnext(g->dummynode);
    setnilvalue(gkey(g->dummynode));
    setnilvalue(gval(g->dummynode));
    for (int i = 0; i < TM_N; i++)
        g->tmname[i] = nullptr;
    for (int i = 0; i < NUM_TYPE_METATABLES; i++)
        setnilvalue(&g->typemetatables[i]);
    g->memerrmsg = nullptr;
    for (int i = 0; i < kStringReuseSizes; i++)
        g->strfree[i] = nullptr;
    g->strfreebytes = 0;
    g->strslabs = nullptr;
    g->strslabbytes = 0;
    g->strpoolnext = nullptr;
    g->strpoolend = nullptr;
    g->longstrings = nullptr;
    for (int i = 0; i < kSmallBlockClasses; i++)
        g->smallfree[i] = nullptr;
    g->smallfreebytes = 0;
    g->smallpool = 1;
    g->gcrunning = 0;
    g->nativeDepth = 0;
    g->failedresumewhere[0] = 0;
    if (luaD_rawrunprotected(L, OpenState, nullptr) != 0)
    {
        CloseState(L);
        return nullptr;
    }
    return L;
}

void lua_close(lua_State* L)
{
    L = G(L)->mainthread;
    luaF_close(L, L->stack);
    // Drop every active call so finalisers run on a clean stack.
    L->ci = L->base_ci;
    L->base = L->top = L->ci->base;
    L->nCcalls = 0;
    L->errfunc = 0;
    CloseState(L);
}

lua_CFunction lua_atpanic(lua_State* L, lua_CFunction panicf)
{
    lua_CFunction old = G(L)->panic;
    G(L)->panic = panicf;
    return old;
}

void lua_setallocator(lua_State* L, lua_Alloc f, void* ud)
{
    // Blocks from now on come from f, which knows nothing of the rounded sizes; those already
    // made are given back to it with the sizes they were asked for, as before. Kept string
    // blocks lie inside the slabs and serve on.
    luaM_releasesmall(L);
    G(L)->smallpool = 0;

    G(L)->frealloc = f;
    G(L)->ud = ud;
}

lua_Alloc lua_getallocator(lua_State* L, void** ud)
{
    if (ud != nullptr)
        *ud = G(L)->ud;
    return G(L)->frealloc;
}
