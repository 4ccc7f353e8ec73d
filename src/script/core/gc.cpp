// The collector: marks from the roots (default and per-type metatables, registry, main and running
// threads), separates userdata awaiting "__gc", clears weak tables, sweeps, shrinks and finalises.
#include "script/core/gc.h"
#include "script/core/calls.h"
#include "script/core/functions.h"
#include "script/core/strings.h"
#include "script/core/table.h"

#include <algorithm>

namespace
{

struct GCState
{
    GCObject* gray; // marked objects whose children are still to be marked
    GCObject* weak; // weak tables found while marking
    global_State* g;
    lua_State* running;
};

inline bool IsMarked(const GCObject* o)
{
    return gc_testbit(o, MARKBIT) || gc_testbit(o, FIXEDBIT);
}

GCObject** GcListOf(GCObject* o)
{
    switch (o->tt)
    {
    case LUA_TTABLE:
        return &static_cast<Table*>(o)->gclist;
    case LUA_TFUNCTION:
        return &static_cast<Closure*>(o)->gclist;
    case LUA_TPROTO:
        return &static_cast<Proto*>(o)->gclist;
    case LUA_TTHREAD:
        return &static_cast<lua_State*>(o)->gclist;
    default:
        return nullptr;
    }
}

void MarkObject(GCState* st, GCObject* o);

// A string holds no references: marking it is all there is.
void MarkObject(GCState*, ScriptString* ts)
{
    gc_setbit(ts, MARKBIT);
}

// Strings, and objects already reached, are settled here without a call: they are most of what
// a collection meets (the keys of every library table, at each cycle).
inline void MarkValue(GCState* st, const TObject* v)
{
    if (!iscollectable(v) || ttype(v) > LUA_TUPVAL)
        return;
    GCObject* o = gcvalue(v);
    if (ttisstring(v) || ttiswstring(v))
    {
        gc_setbit(o, MARKBIT);
        return;
    }
    if (o->tt != LUA_TUPVAL && gc_testbit(o, MARKBIT))
        return;
    if (ttisfunction(v) && clvalue(v)->isC && toC(clvalue(v))->nupvalues == 0)
    {
        gc_setbit(o, MARKBIT); // a library function: nothing inside to mark
        return;
    }
    MarkObject(st, o);
}

void MarkObject(GCState* st, GCObject* o)
{
    if (o == nullptr)
        return;
    if (o->tt == LUA_TUPVAL)
    {
        // Always follow: an open upvalue's mark bit stays set while it is open.
        gc_setbit(o, MARKBIT);
        UpVal* uv = static_cast<UpVal*>(o);
        if (iscollectable(uv->v) && !IsMarked(gcvalue(uv->v)))
            MarkObject(st, gcvalue(uv->v));
        return;
    }
    if (gc_testbit(o, MARKBIT))
        return;
    gc_setbit(o, MARKBIT);
    switch (o->tt)
    {
    case LUA_TSTRING:
    case LUA_TWSTRING:
        break;
    case LUA_TUSERDATA:
        MarkObject(st, static_cast<Udata*>(o)->metatable);
        break;
    case LUA_TFUNCTION:
        // A native function without upvalues holds nothing more to mark.
        if (static_cast<Closure*>(o)->isC && toC(static_cast<Closure*>(o))->nupvalues == 0)
            break;
        [[fallthrough]];
    default:
    {
        GCObject** list = GcListOf(o);
        if (list != nullptr)
        {
            *list = st->gray;
            st->gray = o;
        }
        break;
    }
    }
}

// Array slots ahead whose object is fetched early while a table's array part is marked.
constexpr int kMarkAhead = 8;

void TraverseTable(GCState* st, Table* h)
{
    MarkObject(st, h->metatable);
    bool weakkey = false;
    bool weakvalue = false;
    // The metatable's cached absences answer for most tables (the default metatable has none).
    Table* mt = h->metatable;
    const TObject* mode = mt == nullptr || (mt->flags & (1u << TM_MODE))
                              ? nullptr
                              : luaT_gettm(mt, TM_MODE, st->g->tmname[TM_MODE]);
    if (mode != nullptr && ttisstring(mode))
    {
        weakkey = strchr(svalue(mode), 'k') != nullptr;
        weakvalue = strchr(svalue(mode), 'v') != nullptr;
    }
    gc_clearbit(h, KEYWEAKBIT);
    gc_clearbit(h, VALUEWEAKBIT);
    if (weakkey || weakvalue)
    {
        if (weakkey)
            gc_setbit(h, KEYWEAKBIT);
        if (weakvalue)
            gc_setbit(h, VALUEWEAKBIT);
        h->gclist = st->weak;
        st->weak = h;
    }
    if (!weakvalue)
    {
        for (int i = 0; i < h->sizearray; i++)
        {
            if (i + kMarkAhead < h->sizearray && iscollectable(&h->array[i + kMarkAhead]))
                __builtin_prefetch(gcvalue(&h->array[i + kMarkAhead]), 1);
            MarkValue(st, &h->array[i]);
        }
    }
    for (int i = sizenode(h) - 1; i >= 0; i--)
    {
        Node* n = gnode(h, i);
        if (ttisnil(gval(n)))
        {
            if (iscollectable(gkey(n)))
                gkey(n)->tt = LUA_TDEADKEY;
            continue;
        }
        if (!weakkey)
            MarkValue(st, gkey(n));
        if (!weakvalue)
            MarkValue(st, gval(n));
    }
}

void TraverseProto(GCState* st, Proto* f)
{
    if (f->source != nullptr)
        MarkObject(st, f->source);
    for (int i = 0; i < f->sizek; i++)
        MarkValue(st, &f->k[i]);
    for (int i = 0; i < f->sizeupvalues; i++)
        if (f->upvalues[i] != nullptr)
            MarkObject(st, f->upvalues[i]);
    for (int i = 0; i < f->sizep; i++)
        if (f->p[i] != nullptr)
            MarkObject(st, f->p[i]);
    for (int i = 0; i < f->sizelocvars; i++)
        if (f->locvars[i].varname != nullptr)
            MarkObject(st, f->locvars[i].varname);
}

void TraverseClosure(GCState* st, Closure* cl)
{
    if (cl->isC)
    {
        CClosure* c = toC(cl);
        for (int i = 0; i < c->nupvalues; i++)
            MarkValue(st, &c->upvalue[i]);
        return;
    }
    LClosure* c = toL(cl);
    MarkObject(st, c->p);
    MarkObject(st, c->g);
    for (int i = 0; i < c->nupvalues; i++)
        if (c->upvals[i] != nullptr)
            MarkObject(st, c->upvals[i]);
}

// Halves the call records and the stack of a thread that uses little of them. Only idle or
// suspended threads are touched: no native code can hold pointers into their stacks.
void ShrinkThread(GCState* st, lua_State* L1)
{
    if (L1 == st->running || !(L1->ci == L1->base_ci || (L1->ci->state & CI_YIELD)))
        return;
    lua_longjmp guard{L1->errorJmp, 0};
    L1->errorJmp = &guard;
    try
    {
        int inuse = static_cast<int>(L1->ci - L1->base_ci);
        if (4 * inuse < L1->size_ci && L1->size_ci > 2 * BASIC_CI_SIZE)
            luaD_reallocCI(L1, L1->size_ci / 2);
        if (L1->ci == L1->base_ci)
        {
            // An idle thread's room raised by lua_checkstack is not needed any more.
            StkId room = L1->top + LUA_MINSTACK;
            L1->ci->top = room < L1->stack_last ? room : L1->stack_last;
        }
        StkId lim = L1->top;
        for (CallInfo* ci = L1->base_ci; ci <= L1->ci; ci++)
        {
            if (lim < ci->top)
                lim = ci->top;
        }
        int used = static_cast<int>(lim - L1->stack);
        if (4 * used < L1->stacksize && L1->stacksize > 2 * (BASIC_STACK_SIZE + EXTRA_STACK))
            luaD_reallocstack(L1, L1->stacksize / 2);
    }
    catch (const LuaError&)
    {
        // Shrinking is an optimisation: keep the larger blocks when memory is short.
    }
    L1->errorJmp = guard.previous;
}

void TraverseThread(GCState* st, lua_State* L1)
{
    MarkValue(st, gt(L1));
    if (L1->stack == nullptr)
        return;
    ShrinkThread(st, L1);
    StkId lim = L1->top;
    for (CallInfo* ci = L1->base_ci; ci <= L1->ci; ci++)
    {
        if (lim < ci->top)
            lim = ci->top;
    }
    StkId o = L1->stack;
    for (; o < L1->top; o++)
        MarkValue(st, o);
    // Slots above the top may hold stale values of finished calls: clear them.
    StkId end = L1->stack + L1->stacksize;
    for (; o <= lim && o < end; o++)
        setnilvalue(o);
    for (GCObject* uv = L1->openupval; uv != nullptr; uv = uv->next)
        gc_setbit(uv, MARKBIT);
}

void PropagateMarks(GCState* st)
{
    while (st->gray != nullptr)
    {
        GCObject* o = st->gray;
        GCObject** list = GcListOf(o);
        st->gray = *list;
        *list = nullptr;
        switch (o->tt)
        {
        case LUA_TTABLE:
            TraverseTable(st, static_cast<Table*>(o));
            break;
        case LUA_TFUNCTION:
            TraverseClosure(st, static_cast<Closure*>(o));
            break;
        case LUA_TPROTO:
            TraverseProto(st, static_cast<Proto*>(o));
            break;
        case LUA_TTHREAD:
            TraverseThread(st, static_cast<lua_State*>(o));
            break;
        default:
            break;
        }
    }
}

bool IsCleared(const TObject* o)
{
    if (!iscollectable(o) || ttype(o) > LUA_TUPVAL)
        return false;
    if (ttisstring(o) || ttiswstring(o))
    {
        gc_setbit(gcvalue(o), MARKBIT); // strings are values, never removed from weak tables
        return false;
    }
    return !IsMarked(gcvalue(o));
}

void RemoveEntry(Node* n)
{
    setnilvalue(gval(n));
    if (iscollectable(gkey(n)))
        gkey(n)->tt = LUA_TDEADKEY;
}

// Removes the entries whose weak key (when keys is set) or weak value (when values is set) was
// not reached.
void ClearWeakTables(GCObject* list, bool keys, bool values)
{
    for (; list != nullptr; list = static_cast<Table*>(list)->gclist)
    {
        Table* h = static_cast<Table*>(list);
        bool weakkey = keys && gc_testbit(h, KEYWEAKBIT);
        bool weakvalue = values && gc_testbit(h, VALUEWEAKBIT);
        if (weakvalue)
        {
            for (int i = 0; i < h->sizearray; i++)
                if (IsCleared(&h->array[i]))
                    setnilvalue(&h->array[i]);
        }
        if (!weakkey && !weakvalue)
            continue;
        for (int i = sizenode(h) - 1; i >= 0; i--)
        {
            Node* n = gnode(h, i);
            if (ttisnil(gval(n)))
                continue;
            if ((weakkey && IsCleared(gkey(n))) || (weakvalue && IsCleared(gval(n))))
                RemoveEntry(n);
        }
    }
}

size_t UdataSize(const Udata* u)
{
    size_t block = (u->len & 1) ? sizeof(void*) : u->len;
    return sizeof(Udata) + block;
}

// Moves unreached userdata with a "__gc" handler (and not yet finalised) to the pending list.
size_t SeparateUdata(lua_State* L, bool all)
{
    global_State* g = G(L);
    size_t deadmem = 0;
    GCObject** p = &g->rootudata;
    GCObject* curr;
    while ((curr = *p) != nullptr)
    {
        Udata* u = static_cast<Udata*>(curr);
        bool reached = !all && IsMarked(curr);
        if (reached || gc_testbit(curr, FINALIZEDBIT) || fasttm(L, u->metatable, TM_GC) == nullptr)
        {
            p = &curr->next;
            continue;
        }
        deadmem += UdataSize(u);
        *p = curr->next;
        // Append, keeping the order of the pending list.
        GCObject** last = &g->tmudata;
        while (*last != nullptr)
            last = &(*last)->next;
        curr->next = nullptr;
        *last = curr;
    }
    return deadmem;
}

void MarkPending(GCState* st)
{
    for (GCObject* u = st->g->tmudata; u != nullptr; u = u->next)
    {
        gc_setbit(u, MARKBIT);
        MarkObject(st, static_cast<Udata*>(u)->metatable);
    }
}

void FreeObject(lua_State* L, GCObject* o)
{
    switch (o->tt)
    {
    case LUA_TPROTO:
        luaF_freeproto(L, static_cast<Proto*>(o));
        break;
    case LUA_TFUNCTION:
        luaF_freeclosure(L, static_cast<Closure*>(o));
        break;
    case LUA_TUPVAL:
        luaF_freeupval(L, static_cast<UpVal*>(o));
        break;
    case LUA_TTABLE:
        luaH_free(L, static_cast<Table*>(o));
        break;
    case LUA_TTHREAD:
        luaE_freethread(L, static_cast<lua_State*>(o));
        break;
    case LUA_TUSERDATA:
        luaM_free(L, o, UdataSize(static_cast<Udata*>(o)));
        break;
    default:
        break;
    }
}

void SweepList(lua_State* L, GCObject** p, bool all)
{
    GCObject* curr;
    while ((curr = *p) != nullptr)
    {
        if (!all && gc_testbit(curr, MARKBIT))
        {
            gc_clearbit(curr, MARKBIT);
            p = &curr->next;
        }
        else
        {
            *p = curr->next;
            FreeObject(L, curr);
        }
    }
}

// Slots ahead whose string is fetched early: the strings lie scattered in memory, and visiting
// them one after another would wait for each in turn. A table of up to kSweepPlain slots is
// walked without: its few strings stay in the caches, and with a small heap (a collection every
// few dozen coroutines) looking ahead cost more than the sweep itself.
constexpr int kSweepAhead = 32;
constexpr int kSweepPlain = 1024;

// Keeps the string of a slot when it was reached or is fixed, frees it otherwise.
inline void SweepSlot(lua_State* L, stringtable* tb, uint64_t* slot, bool filter)
{
    const uint64_t s = *slot;
    if (s <= kStrSlotRemoved)
        return;
    ScriptString* ts = luaS_slotstring(s);
    if (gc_testbit(ts, MARKBIT) || gc_testbit(ts, FIXEDBIT))
    {
        gc_clearbit(ts, MARKBIT);
        if (filter)
            luaS_filteradd(tb, ts->hash);
        return;
    }
    *slot = kStrSlotRemoved;
    tb->ntomb++;
    tb->nuse--;
    luaS_freestr(L, ts);
}

void SweepStrings(lua_State* L)
{
    luaS_sweeploose(L);
    luaS_sweeprecent(L);
    stringtable* tb = &G(L)->strt;
    // The filter loses the hashes of the strings swept out: rebuilt from those kept (their
    // headers are read for the mark anyway).
    luaS_clearfilter(tb);
    const bool filter = tb->filter != nullptr;
    // Freeing a string never moves the slot array.
    uint64_t* slots = tb->hash;
    const int size = tb->size;
    int i = 0;
    if (size > kSweepPlain)
    {
        for (; i < size - kSweepAhead; i++)
        {
            if (slots[i + kSweepAhead] > kStrSlotRemoved)
                __builtin_prefetch(luaS_slotstring(slots[i + kSweepAhead]), 1);
            SweepSlot(L, tb, &slots[i], filter);
        }
    }
    for (; i < size; i++)
        SweepSlot(L, tb, &slots[i], filter);
}

void CheckSizes(lua_State* L, size_t deadmem)
{
    global_State* g = G(L);
    // Shrinks a string table less than an eighth full (removed marks go with the rebuild); a
    // failure keeps the current table, which stays valid.
    stringtable* tb = &g->strt;
    if (tb->nuse < static_cast<uint32_t>(tb->size / 8) && tb->size > 64)
    {
        int strsize = tb->size / 2;
        lua_longjmp guard{L->errorJmp, 0};
        L->errorJmp = &guard;
        try
        {
            luaS_resize(L, strsize);
        }
        catch (const LuaError&)
        {
        }
        L->errorJmp = guard.previous;
    }
    if (g->buff.size > 64)
    {
        size_t newsize = g->buff.size / 2;
        L->bufferResizing = 1;
        try
        {
            g->buff.buffer =
                static_cast<char*>(luaM_realloc(L, g->buff.buffer, g->buff.size, newsize));
            g->buff.size = newsize;
        }
        catch (const LuaError&)
        {
            // Keep the larger buffer when the allocator refuses.
        }
        L->bufferResizing = 0;
    }
    size_t twice = 2 * g->nblocks;
    g->GCthreshold = twice > deadmem ? twice - deadmem : 0;
}

// Runs the "__gc" handlers of the pending userdata, returning each to the userdata list first.
void CallFinalizers(lua_State* L)
{
    global_State* g = G(L);
    while (g->tmudata != nullptr)
    {
        GCObject* o = g->tmudata;
        Udata* u = static_cast<Udata*>(o);
        g->tmudata = o->next;
        o->next = g->rootudata;
        g->rootudata = o;
        gc_clearbit(o, MARKBIT);
        gc_setbit(o, FINALIZEDBIT);
        const TObject* tm = fasttm(L, u->metatable, TM_GC);
        if (tm != nullptr && ttisfunction(tm))
        {
            luaD_checkstack(L, 3);
            setobj(L->top, tm);
            setuvalue(L->top + 1, u);
            L->top += 2;
            luaD_call(L, L->top - 2, 0);
        }
    }
}

} // namespace

void luaC_link(lua_State* L, GCObject* o, lu_byte tt)
{
    global_State* g = G(L);
    o->tt = tt;
    o->marked = 0;
    if (tt == LUA_TUSERDATA)
    {
        o->next = g->rootudata;
        g->rootudata = o;
    }
    else
    {
        o->next = g->rootgc;
        g->rootgc = o;
    }
}

void luaC_collectgarbage(lua_State* L)
{
    global_State* g = G(L);
    if (g->gcrunning)
        return;
    g->gcrunning = 1;
    GCState st{nullptr, nullptr, g, L};
    MarkValue(&st, defaultmeta(L));
    for (int i = 0; i < NUM_TYPE_METATABLES; i++)
        MarkValue(&st, &g->typemetatables[i]);
    MarkValue(&st, registry(L));
    MarkObject(&st, g->mainthread);
    if (L != g->mainthread)
        MarkObject(&st, L);
    MarkPending(&st);
    PropagateMarks(&st);
    // Weak values go before the unreached userdata are kept alive for their finalizers, so a
    // finalizer never finds its object in a weak-valued table; weak keys keep it one more cycle.
    GCObject* weak = st.weak;
    st.weak = nullptr;
    ClearWeakTables(weak, false, true);
    size_t deadmem = SeparateUdata(L, false);
    MarkPending(&st);
    PropagateMarks(&st);
    ClearWeakTables(weak, true, false);
    // Weak tables first reached from the kept userdata.
    ClearWeakTables(st.weak, true, true);
    SweepStrings(L);
    SweepList(L, &g->rootgc, false);
    SweepList(L, &g->rootudata, false);
    // The main thread is not in any list: clear its own mark.
    gc_clearbit(g->mainthread, MARKBIT);
    CheckSizes(L, deadmem);
    g->gcrunning = 0;
    CallFinalizers(L);
}

static void CallAllFinalizers(lua_State* L, void*)
{
    CallFinalizers(L);
}

void luaC_closeall(lua_State* L)
{
    global_State* g = G(L);
    // No collection from here on: it would finalise what the finalisers below make.
    g->gcrunning = 1;
    if (g->strt.hash != nullptr && g->tmname[TM_GC] != nullptr)
    {
        // Only the userdata living when the close starts are finalised: those the finalisers
        // make are freed without theirs, else a finaliser that makes one would never let the
        // close end. Finalisers may fail; each failure is dropped and the rest still run.
        SeparateUdata(L, true);
        while (luaD_rawrunprotected(L, CallAllFinalizers, nullptr) != 0)
        {
            L->ci = L->base_ci;
            L->base = L->top = L->ci->base;
            L->nCcalls = 0;
        }
    }
    SweepList(L, &g->rootudata, true);
    SweepList(L, &g->tmudata, true);
    // Freeing a thread closes its upvalues into the general list: sweep until it stays empty.
    while (g->rootgc != nullptr)
        SweepList(L, &g->rootgc, true);
    luaS_freeall(L);
}
