// Closures, prototypes and upvalues: creation, upvalue sharing and closing, and freeing.
#include "script/core/functions.h"
#include "script/core/calls.h"
#include "script/core/gc.h"

static size_t CClosureSize(int n)
{
    return sizeof(CClosure) + static_cast<size_t>(n) * sizeof(TObject);
}
static size_t LClosureSize(int n)
{
    return sizeof(LClosure) + static_cast<size_t>(n) * sizeof(UpVal*);
}

Closure* luaF_newCclosure(lua_State* L, int nelems)
{
    CClosure* c = static_cast<CClosure*>(luaM_newblock(L, CClosureSize(nelems)));
    luaC_link(L, c, LUA_TFUNCTION);
    c->isC = 1;
    c->nupvalues = static_cast<lu_byte>(nelems);
    c->gclist = nullptr;
    c->f = nullptr;
    c->upvalue = reinterpret_cast<TObject*>(c + 1);
    for (int i = 0; i < nelems; i++)
        setnilvalue(&c->upvalue[i]);
    return c;
}

Closure* luaF_newLclosure(lua_State* L, int nelems, TObject* e)
{
    LClosure* c = static_cast<LClosure*>(luaM_newblock(L, LClosureSize(nelems)));
    luaC_link(L, c, LUA_TFUNCTION);
    c->isC = 0;
    c->nupvalues = static_cast<lu_byte>(nelems);
    c->gclist = nullptr;
    c->g = hvalue(e);
    c->p = nullptr;
    c->upvals = reinterpret_cast<UpVal**>(c + 1);
    for (int i = 0; i < nelems; i++)
        c->upvals[i] = nullptr;
    return c;
}

UpVal* luaF_findupval(lua_State* L, StkId level)
{
    GCObject** pp = &L->openupval;
    UpVal* p;
    while ((p = static_cast<UpVal*>(*pp)) != nullptr && p->v >= level)
    {
        if (p->v == level)
            return p;
        pp = &p->next;
    }
    UpVal* v = static_cast<UpVal*>(luaM_realloc(L, nullptr, 0, sizeof(UpVal)));
    v->tt = LUA_TUPVAL;
    v->marked = 1; // open upvalues live until they are closed
    v->v = level;
    setnilvalue(&v->value);
    v->next = *pp;
    *pp = v;
    return v;
}

UpVal* luaF_newclosedupval(lua_State* L)
{
    UpVal* v = static_cast<UpVal*>(luaM_realloc(L, nullptr, 0, sizeof(UpVal)));
    luaC_link(L, v, LUA_TUPVAL);
    setnilvalue(&v->value);
    v->v = &v->value;
    return v;
}

void luaF_close(lua_State* L, StkId level)
{
    UpVal* p;
    while ((p = static_cast<UpVal*>(L->openupval)) != nullptr && p->v >= level)
    {
        setobj(&p->value, p->v);
        p->v = &p->value;
        L->openupval = p->next;
        luaC_link(L, p, LUA_TUPVAL);
        // Kept through a sweep that may be running (threads close theirs when freed); the stale
        // mark only delays freeing by one collection.
        p->marked = 1;
    }
}

Proto* luaF_newproto(lua_State* L)
{
    Proto* f = static_cast<Proto*>(luaM_realloc(L, nullptr, 0, sizeof(Proto)));
    luaC_link(L, f, LUA_TPROTO);
    f->k = nullptr;
    f->sizek = 0;
    f->p = nullptr;
    f->sizep = 0;
    f->code = nullptr;
    f->sizecode = 0;
    f->sizelineinfo = 0;
    f->sizeupvalues = 0;
    f->nups = 0;
    f->upvalues = nullptr;
    f->numparams = 0;
    f->is_vararg = 0;
    f->maxstacksize = 0;
    f->lineinfo = nullptr;
    f->sizelocvars = 0;
    f->locvars = nullptr;
    f->lineDefined = 0;
    f->source = nullptr;
    f->gclist = nullptr;
    return f;
}

void luaF_freeproto(lua_State* L, Proto* f)
{
    luaM_freearray(L, f->code, f->sizecode);
    luaM_freearray(L, f->p, f->sizep);
    luaM_freearray(L, f->k, f->sizek);
    luaM_freearray(L, f->lineinfo, f->sizelineinfo);
    luaM_freearray(L, f->locvars, f->sizelocvars);
    luaM_freearray(L, f->upvalues, f->sizeupvalues);
    luaM_free(L, f, sizeof(Proto));
}

void luaF_freeclosure(lua_State* L, Closure* c)
{
    size_t size = c->isC ? CClosureSize(c->nupvalues) : LClosureSize(c->nupvalues);
    luaM_freeblock(L, c, size);
}

void luaF_freeupval(lua_State* L, UpVal* uv)
{
    luaM_free(L, uv, sizeof(UpVal));
}

const char* luaF_getlocalname(const Proto* f, int local_number, int pc)
{
    for (int i = 0; i < f->sizelocvars && f->locvars[i].startpc <= pc; i++)
    {
        if (pc < f->locvars[i].endpc)
        {
            local_number--;
            if (local_number == 0)
                return getstr(f->locvars[i].varname);
        }
    }
    return nullptr;
}
