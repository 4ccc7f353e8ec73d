// Call machinery: stack and call-record growth, calls of Lua and native functions, protected
// calls and the error exit (C++ exceptions), coroutines, and the protected chunk loader.
#include <cstdio>
#include <cstdlib>

#include "script/core/calls.h"
#include "script/compiler/chunk_format.h"
#include "script/core/debug_info.h"
#include "script/core/functions.h"
#include "script/core/gc.h"
#include "script/compiler/parser.h"
#include "script/core/vm.h"

// Call records before "stack overflow", and nested native calls before "C stack overflow".
static constexpr int kMaxCalls = 4096;
static constexpr int kMaxCCalls = 200;
// Native nesting across all threads (coroutines resuming coroutines each start their own count of
// native calls): past this the machine stack itself would run out.
static constexpr int kMaxNativeDepth = 1000;

namespace
{

// Counts one level of native nesting for as long as it lives, also when an error unwinds it.
class NativeDepthGuard
{
public:
    explicit NativeDepthGuard(global_State* g) : mG(g) { mG->nativeDepth++; }
    ~NativeDepthGuard() { mG->nativeDepth--; }
    NativeDepthGuard(const NativeDepthGuard&) = delete;
    NativeDepthGuard& operator=(const NativeDepthGuard&) = delete;
    bool Exceeded() const { return mG->nativeDepth > kMaxNativeDepth; }

private:
    global_State* mG;
};

} // namespace

void luaD_seterrorobj(lua_State* L, int errcode, StkId oldtop)
{
    switch (errcode)
    {
    case LUA_ERRMEM:
        setsvalue(oldtop, G(L)->memerrmsg);
        break;
    case LUA_ERRERR:
        setsvalue(oldtop, luaS_new(L, "error in error handling"));
        break;
    case LUA_ERRSYNTAX:
    case LUA_ERRRUN:
        setobj(oldtop, L->top - 1);
        break;
    default:
        break;
    }
    L->top = oldtop + 1;
}

[[noreturn]] void luaD_throw(lua_State* L, int errcode)
{
    if (L->errorJmp != nullptr)
        throw LuaError{errcode};
    if (G(L)->panic != nullptr)
        G(L)->panic(L);
    exit(EXIT_FAILURE);
}

int luaD_rawrunprotected(lua_State* L, Pfunc f, void* ud)
{
    lua_longjmp lj;
    lj.status = 0;
    lj.previous = L->errorJmp;
    L->errorJmp = &lj;
    try
    {
        f(L, ud);
    }
    catch (const LuaError& e)
    {
        lj.status = e.status;
    }
    L->errorJmp = lj.previous;
    return lj.status;
}

static void RestoreStackLimit(lua_State* L)
{
    L->stack_last = L->stack + L->stacksize - 1 - EXTRA_STACK;
    if (L->size_ci > kMaxCalls)
    {
        int inuse = static_cast<int>(L->ci - L->base_ci);
        if (inuse + 1 < kMaxCalls)
            luaD_reallocCI(L, kMaxCalls);
    }
}

// --- Stack and call records --------------------------------------------------------------------

static void CorrectStack(lua_State* L, TObject* oldstack)
{
    L->top = (L->top - oldstack) + L->stack;
    for (GCObject* up = L->openupval; up != nullptr; up = up->next)
    {
        UpVal* uv = static_cast<UpVal*>(up);
        uv->v = (uv->v - oldstack) + L->stack;
    }
    for (CallInfo* ci = L->base_ci; ci <= L->ci; ci++)
    {
        ci->top = (ci->top - oldstack) + L->stack;
        ci->base = (ci->base - oldstack) + L->stack;
    }
    L->base = L->ci->base;
}

void luaD_reallocstack(lua_State* L, int newsize)
{
    TObject* oldstack = L->stack;
    int realsize = newsize + 1 + EXTRA_STACK;
    // Allocate the new block before releasing the old one so a failure leaves the stack intact.
    TObject* fresh = luaM_newvector<TObject>(L, realsize);
    int keep = L->stacksize < realsize ? L->stacksize : realsize;
    for (int i = 0; i < keep; i++)
        fresh[i] = oldstack[i];
    for (int i = keep; i < realsize; i++)
        setnilvalue(&fresh[i]);
    luaM_freearray(L, oldstack, L->stacksize);
    L->stack = fresh;
    L->stacksize = realsize;
    L->stack_last = L->stack + newsize;
    CorrectStack(L, oldstack);
}

void luaD_reallocCI(lua_State* L, int newsize)
{
    CallInfo* oldci = L->base_ci;
    luaM_reallocvector(L, L->base_ci, L->size_ci, newsize);
    L->size_ci = static_cast<unsigned short>(newsize);
    L->ci = (L->ci - oldci) + L->base_ci;
    L->end_ci = L->base_ci + L->size_ci;
}

void luaD_growstack(lua_State* L, int n)
{
    if (n <= L->stacksize)
        luaD_reallocstack(L, 2 * L->stacksize);
    else
        luaD_reallocstack(L, L->stacksize + n + EXTRA_STACK);
}

static void GrowCI(lua_State* L)
{
    if (L->size_ci > kMaxCalls)
        luaD_throw(L, LUA_ERRERR);
    luaD_reallocCI(L, 2 * L->size_ci);
    if (L->size_ci > kMaxCalls)
        luaG_runerror(L, "stack overflow");
}

// --- Calls -------------------------------------------------------------------------------------

static void AdjustVarargs(lua_State* L, int nfixargs, StkId base)
{
    int actual = static_cast<int>(L->top - base);
    if (actual < nfixargs)
    {
        luaD_checkstack(L, nfixargs - actual);
        for (; actual < nfixargs; ++actual)
            setnilvalue(L->top++);
    }
    actual -= nfixargs;
    Table* htab = luaH_new(L, actual, 1);
    for (int i = 0; i < actual; i++)
        setobj(luaH_setnum(L, htab, i + 1), L->top - actual + i);
    TObject nname;
    setsvalue(&nname, luaS_newlstr(L, "n", 1));
    setnvalue(luaH_set(L, htab, &nname), static_cast<lua_Number>(actual));
    L->top -= actual;
    sethvalue(L->top, htab);
    incr_top(L);
}

// A non-function being called: its "__call" handler goes below the arguments.
static StkId TryFuncTM(lua_State* L, StkId func)
{
    const TObject* tm = luaT_gettmbyobj(L, func, TM_CALL);
    ptrdiff_t funcr = savestack(L, func);
    if (!ttisfunction(tm))
        luaG_typeerror(L, func, "call");
    TObject handler = *tm;
    luaD_checkstack(L, 1);
    func = restorestack(L, funcr);
    for (StkId p = L->top; p > func; p--)
        setobj(p, p - 1);
    incr_top(L);
    func = restorestack(L, funcr);
    setobj(func, &handler);
    return func;
}

StkId luaD_precall(lua_State* L, StkId func)
{
    if (!ttisfunction(func))
        func = TryFuncTM(L, func);
    ptrdiff_t funcr = savestack(L, func);
    if (L->ci + 1 == L->end_ci)
        GrowCI(L);
    func = restorestack(L, funcr);
    Closure* cl = clvalue(func);
    if (!cl->isC)
    {
        Proto* p = toL(cl)->p;
        if (p->is_vararg)
            AdjustVarargs(L, p->numparams, func + 1);
        luaD_checkstack(L, p->maxstacksize);
        func = restorestack(L, funcr);
        CallInfo* ci = ++L->ci;
        L->base = ci->base = func + 1;
        ci->top = L->base + p->maxstacksize;
        ci->savedpc = p->code;
        ci->tailcalls = 0;
        ci->state = CI_SAVEDPC;
        while (L->top < ci->top)
            setnilvalue(L->top++);
        L->top = ci->top;
        return nullptr;
    }
    luaD_checkstack(L, LUA_MINSTACK);
    func = restorestack(L, funcr);
    luaD_enterCframe(L, func);
    int n = toC(cl)->f(L);
    if (n < 0)
        return L->top + 1; // yielded: a position above the top marks it
    return L->top - n;
}

void luaD_poscall(lua_State* L, int wanted, StkId firstResult)
{
    StkId res = L->base - 1;
    L->ci--;
    L->base = L->ci->base;
    while (wanted != 0 && firstResult < L->top)
    {
        setobj(res++, firstResult++);
        wanted--;
    }
    while (wanted-- > 0)
        setnilvalue(res++);
    L->top = res;
}

void luaD_call(lua_State* L, StkId func, int nResults)
{
    NativeDepthGuard depth(G(L));
    if (depth.Exceeded())
        luaG_runerror(L, "C stack overflow");
    if (++L->nCcalls >= kMaxCCalls)
    {
        if (L->nCcalls == kMaxCCalls)
            luaG_runerror(L, "C stack overflow");
        else if (L->nCcalls >= kMaxCCalls + (kMaxCCalls >> 3))
            luaD_throw(L, LUA_ERRERR);
    }
    StkId firstResult = luaD_precall(L, func);
    if (firstResult == nullptr)
        firstResult = luaV_execute(L);
    luaD_poscall(L, nResults, firstResult);
    L->nCcalls--;
    luaC_checkGC(L);
}

int luaD_pcall(lua_State* L, Pfunc func, void* u, ptrdiff_t old_top, ptrdiff_t ef)
{
    unsigned short oldnCcalls = L->nCcalls;
    ptrdiff_t old_ci = L->ci - L->base_ci;
    lu_byte old_allowhooks = L->allowhook;
    ptrdiff_t old_errfunc = L->errfunc;
    L->errfunc = ef;
    int status = luaD_rawrunprotected(L, func, u);
    if (status != 0)
    {
        StkId oldtop = restorestack(L, old_top);
        luaF_close(L, oldtop);
        luaD_seterrorobj(L, status, oldtop);
        L->nCcalls = oldnCcalls;
        L->ci = L->base_ci + old_ci;
        L->base = L->ci->base;
        L->allowhook = old_allowhooks;
        RestoreStackLimit(L);
    }
    L->errfunc = old_errfunc;
    return status;
}

// --- Coroutines --------------------------------------------------------------------------------

static void Resume(lua_State* L, void* ud)
{
    int nargs = *static_cast<int*>(ud);
    CallInfo* ci = L->ci;
    if (ci == L->base_ci)
    {
        if (nargs >= L->top - L->base)
            luaG_runerror(L, "cannot resume dead coroutine");
        StkId first = luaD_precall(L, L->top - (nargs + 1));
        if (first != nullptr)
        {
            // A native coroutine body ran to completion inside precall.
            luaD_poscall(L, LUA_MULTRET, first);
            return;
        }
    }
    else if (ci->state & CI_YIELD)
    {
        if (ci->state & CI_C)
        {
            // Finish the interrupted CALL: the resume arguments are the yield's results.
            const Instruction* pc = (ci - 1)->savedpc;
            int nresults = GETARG_C(*(pc - 1)) - 1;
            luaD_poscall(L, nresults, L->top - nargs);
            if (nresults >= 0)
                L->top = L->ci->top;
        }
        else
            ci->state &= ~CI_YIELD;
    }
    else
        luaG_runerror(L, "cannot resume non-suspended coroutine");
    StkId firstResult = luaV_execute(L);
    if (firstResult != nullptr)
        luaD_poscall(L, LUA_MULTRET, firstResult);
}

// A resume refused before it starts: the arguments go, the message takes their place (left
// behind, they would become the body of a dead coroutine's next resume).
static int ResumeError(lua_State* L, int nargs, const char* msg)
{
    if (nargs > L->top - L->base)
        nargs = static_cast<int>(L->top - L->base);
    L->top -= nargs;
    lua_pushstring(L, msg);
    return LUA_ERRRUN;
}

// A coroutine whose resume raised an error: dead, its stack unwound to the error message.
// An error value that is not a string says nothing of where it was raised, and the frames that
// could are dropped with the failed thread: the innermost Lua function's place is noted first.
static void NoteFailedResumePosition(lua_State* co, int status)
{
    char* where = G(co)->failedresumewhere;
    where[0] = 0;
    if (status != LUA_ERRRUN || co->top <= co->stack || ttisstring(co->top - 1))
        return;
    lua_Debug ar;
    for (int level = 0; lua_getstack(co, level, &ar); ++level)
    {
        lua_getinfo(co, "Sl", &ar);
        if (ar.currentline > 0)
        {
            std::snprintf(where, sizeof(G(co)->failedresumewhere), "%s:%d", ar.short_src,
                          ar.currentline);
            return;
        }
    }
}

static void EndFailedResume(lua_State* co, int status, lu_byte allowhook)
{
    NoteFailedResumePosition(co, status);
    co->ci = co->base_ci;
    co->base = co->ci->base;
    co->nCcalls = 0;
    luaF_close(co, co->base);
    luaD_seterrorobj(co, status, co->base);
    co->allowhook = allowhook;
    RestoreStackLimit(co);
}

int lua_resume(lua_State* L, int nargs)
{
    CallInfo* ci = L->ci;
    if (ci == L->base_ci && nargs >= L->top - L->base)
        return ResumeError(L, nargs, "cannot resume dead coroutine");
    if (ci != L->base_ci && !(ci->state & CI_YIELD))
        return ResumeError(L, nargs, "cannot resume non-suspended coroutine");
    NativeDepthGuard depth(G(L));
    if (depth.Exceeded())
        return ResumeError(L, nargs, "C stack overflow");
    lu_byte old_allowhooks = L->allowhook;
    unsigned short oldnCcalls = L->nCcalls;
    L->nCcalls = 0;
    int status = luaD_rawrunprotected(L, Resume, &nargs);
    if (status != 0)
        EndFailedResume(L, status, old_allowhooks);
    L->nCcalls = oldnCcalls;
    return status;
}

// The protected part of a resume whose arguments are in place: a fresh coroutine's body is
// called first (with *nargs arguments; ud null for one waiting in a yield), then the
// interpreter runs on.
static inline void ResumeRun(lua_State* L, void* ud)
{
    if (ud != nullptr)
    {
        int nargs = *static_cast<int*>(ud);
        StkId first = luaD_precall(L, L->top - (nargs + 1));
        if (first != nullptr)
        {
            // A native coroutine body ran to completion inside precall.
            luaD_poscall(L, LUA_MULTRET, first);
            return;
        }
    }
    StkId firstResult = luaV_execute(L);
    if (firstResult != nullptr)
        luaD_poscall(L, LUA_MULTRET, firstResult);
}

int luaD_resumefrom(lua_State* from, lua_State* co, int nargs)
{
    CallInfo* ci = co->ci;
    global_State* g = G(co);
    // The common cases: co not started (its body on its stack) or waiting in a yield that a Lua
    // function called, and the native depth has room. For the yield, the arguments go straight
    // from `from` to where that call's results belong (what lua_xmove and then Resume's
    // luaD_poscall would do in two moves). Anything else (a dead or running coroutine, the depth
    // at its limit) takes the public path, with its checks and messages.
    const bool fresh = ci == co->base_ci;
    if (g->nativeDepth >= kMaxNativeDepth ||
        (fresh ? co->top == co->base : (ci->state & (CI_YIELD | CI_C)) != (CI_YIELD | CI_C)))
    {
        luaD_xmove(from, co, nargs);
        return lua_resume(co, nargs);
    }
    if (fresh)
        luaD_xmove(from, co, nargs);
    else
    {
        const Instruction* pc = (ci - 1)->savedpc;
        const int wanted = GETARG_C(*(pc - 1)) - 1;
        StkId res = ci->base - 1;
        co->ci = --ci;
        co->base = ci->base;
        StkId first = from->top - nargs;
        from->top = first;
        int n = wanted;
        for (int i = 0; n != 0 && i < nargs; i++, n--)
            setobj(res++, first + i);
        for (; n > 0; n--)
            setnilvalue(res++);
        co->top = wanted >= 0 ? ci->top : res;
    }
    NativeDepthGuard depth(g);
    lu_byte old_allowhooks = co->allowhook;
    unsigned short oldnCcalls = co->nCcalls;
    co->nCcalls = 0;
    // luaD_rawrunprotected(co, ResumeRun, ...), without the call through a pointer.
    lua_longjmp lj;
    lj.status = 0;
    lj.previous = co->errorJmp;
    co->errorJmp = &lj;
    try
    {
        ResumeRun(co, fresh ? &nargs : nullptr);
    }
    catch (const LuaError& e)
    {
        lj.status = e.status;
    }
    co->errorJmp = lj.previous;
    int status = lj.status;
    if (status != 0)
        EndFailedResume(co, status, old_allowhooks);
    co->nCcalls = oldnCcalls;
    return status;
}

int lua_yield(lua_State* L, int nresults)
{
    CallInfo* ci = L->ci;
    if (L->nCcalls > 0)
        luaG_runerror(L, "attempt to yield across metamethod/C-call boundary");
    if (ci->state & CI_C)
    {
        if ((ci - 1)->state & CI_C)
            luaG_runerror(L, "cannot yield a C function");
        if (L->top - nresults > ci->base)
        {
            for (int i = 0; i < nresults; i++)
                setobj(ci->base + i, L->top - nresults + i);
            L->top = ci->base + nresults;
        }
    }
    ci->state |= CI_YIELD;
    return -1;
}

// --- Loading -----------------------------------------------------------------------------------

struct SParser
{
    const char* buffer;
    size_t size;
    const char* name;
    lua_Chunkreader reader;
    void* data;
};

static void ProtectedParser(lua_State* L, void* ud)
{
    SParser* p = static_cast<SParser*>(ud);
    luaC_checkGC(L);
    bool binary = p->size > 0 && static_cast<unsigned char>(p->buffer[0]) == 27;
    Proto* tf = binary ? luaU_undump(L, p->buffer, p->size, p->name)
                       : ParseChunk(L, p->buffer, p->size, p->name, p->reader, p->data);
    // Anchor the prototype while the closure is made.
    setptvalue(L->top, tf);
    incr_top(L);
    // A main function never has upvalues; should a chunk claim some, they start as nil
    // rather than pointing nowhere.
    Closure* cl = luaF_newLclosure(L, tf->nups, gt(L));
    toL(cl)->p = tf;
    setclvalue(L->top - 1, cl);
    for (int i = 0; i < tf->nups; i++)
        toL(cl)->upvals[i] = luaF_newclosedupval(L);
}

int luaD_protectedparser(lua_State* L, const char* buffer, size_t size, const char* chunkname,
                         lua_Chunkreader reader, void* data)
{
    SParser p{buffer, size, chunkname, reader, data};
    int status = luaD_pcall(L, ProtectedParser, &p, savestack(L, L->top), L->errfunc);
    return status;
}
