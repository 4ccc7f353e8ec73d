// Debug interface: stack inspection (lua_getstack, lua_getinfo), the messages that name the
// offending variable, run-time error raising, and the byte-code checker.
#include <cstdarg>
#include <cstring>

#include "script/core/calls.h"
#include "script/core/debug_info.h"
#include "script/core/functions.h"
#include "script/core/vm.h"

static Closure* CiFunc(const CallInfo* ci)
{
    return clvalue(ci->base - 1);
}

static int CurrentPc(const CallInfo* ci)
{
    if (!ci_isLua(ci) || ci->savedpc == nullptr)
        return -1;
    return static_cast<int>(ci->savedpc - toL(CiFunc(ci))->p->code) - 1;
}

int luaG_getline(const Proto* p, int pc)
{
    if (p->lineinfo == nullptr || pc < 0 || pc >= p->sizelineinfo)
        return 0;
    return p->lineinfo[pc];
}

static int CurrentLine(const CallInfo* ci)
{
    int pc = CurrentPc(ci);
    if (pc < 0)
        return -1;
    return luaG_getline(toL(CiFunc(ci))->p, pc);
}

// --- Code checking and symbolic execution ------------------------------------------------------

namespace
{

struct Checker
{
    const Proto* pt;
    bool ok = true;

    bool Check(bool cond)
    {
        if (!cond)
            ok = false;
        return cond;
    }
    bool CheckReg(int r) { return Check(r < pt->maxstacksize); }
    bool CheckRK(int r)
    {
        return Check(r < pt->maxstacksize || (ISK(r) && r - MAXSTACK < pt->sizek));
    }
};

bool Precheck(const Proto* pt)
{
    if (pt->maxstacksize > MAXSTACK)
        return false;
    if (pt->sizelineinfo != pt->sizecode && pt->sizelineinfo != 0)
        return false;
    if (pt->numparams + pt->is_vararg > pt->maxstacksize)
        return false;
    if (pt->sizeupvalues != 0 && pt->sizeupvalues != pt->nups)
        return false;
    if (pt->sizecode < 1 || GET_OPCODE(pt->code[pt->sizecode - 1]) != OP_RETURN)
        return false;
    return true;
}

// After a call with open results only another consumer of an open list may follow.
bool CheckOpenOp(const Proto* pt, int pc)
{
    if (pc + 1 >= pt->sizecode)
        return false;
    Instruction i = pt->code[pc + 1];
    switch (GET_OPCODE(i))
    {
    case OP_CALL:
    case OP_TAILCALL:
    case OP_RETURN:
        return GETARG_B(i) == 0;
    case OP_SETLISTO:
        return true;
    default:
        return false;
    }
}

// Walks the code up to lastpc. With reg == NO_REG it checks every instruction; otherwise it
// finds the last instruction before lastpc that changed reg (the final RETURN when none did).
Instruction SymbolicExecute(const Proto* pt, int lastpc, int reg, bool* ok)
{
    Checker ck{pt};
    *ok = false;
    if (!Precheck(pt))
        return 0;
    int last = pt->sizecode - 1;
    for (int pc = 0; pc < lastpc && ck.ok; pc++)
    {
        const Instruction i = pt->code[pc];
        OpCode op = GET_OPCODE(i);
        if (!ck.Check(op < NUM_OPCODES))
            break;
        int a = GETARG_A(i);
        int b = 0;
        int c = 0;
        ck.CheckReg(a);
        switch (getOpMode(op))
        {
        case iABC:
            b = GETARG_B(i);
            c = GETARG_C(i);
            if (testOpMode(op, OpModeBreg))
                ck.CheckReg(b);
            else if (testOpMode(op, OpModeBrk))
                ck.CheckRK(b);
            if (testOpMode(op, OpModeCrk))
                ck.CheckRK(c);
            break;
        case iABx:
            b = GETARG_Bx(i);
            if (testOpMode(op, OpModeK))
                ck.Check(b < pt->sizek);
            break;
        case iAsBx:
            b = GETARG_sBx(i);
            break;
        }
        if (testOpMode(op, OpModesetA) && a == reg)
            last = pc;
        if (testOpMode(op, OpModeT))
        {
            ck.Check(pc + 2 < pt->sizecode);
            if (ck.ok)
                ck.Check(GET_OPCODE(pt->code[pc + 1]) == OP_JMP);
        }
        switch (op)
        {
        case OP_LOADBOOL:
            ck.Check(c == 0 || pc + 2 < pt->sizecode);
            break;
        case OP_LOADNIL:
            if (a <= reg && reg <= b)
                last = pc;
            break;
        case OP_GETUPVAL:
        case OP_SETUPVAL:
            ck.Check(b < pt->nups);
            break;
        case OP_GETGLOBAL:
        case OP_SETGLOBAL:
            ck.Check(b < pt->sizek && ttisstring(&pt->k[b]));
            break;
        case OP_SELF:
            ck.CheckReg(a + 1);
            if (reg == a + 1)
                last = pc;
            break;
        case OP_CONCAT:
            ck.Check(c < MAXSTACK && b < c);
            ck.CheckReg(c);
            break;
        case OP_TFORLOOP:
            ck.CheckReg(a + c + 5);
            if (reg >= a)
                last = pc;
            break;
        case OP_FORLOOP:
            ck.CheckReg(a + 2);
            [[fallthrough]];
        case OP_JMP:
        case OP_TFORPREP:
        {
            int dest = pc + 1 + b;
            ck.Check(0 <= dest && dest < pt->sizecode);
            if (op == OP_JMP && reg != NO_REG && pc < dest && dest <= lastpc)
                pc += b;
            break;
        }
        case OP_CALL:
        case OP_TAILCALL:
            if (b != 0)
                ck.CheckReg(a + b - 1);
            c--;
            if (c == LUA_MULTRET)
                ck.Check(CheckOpenOp(pt, pc));
            else if (c != 0)
                ck.CheckReg(a + c - 1);
            if (reg >= a)
                last = pc;
            break;
        case OP_RETURN:
            b--;
            if (b > 0)
                ck.CheckReg(a + b - 1);
            break;
        case OP_SETLIST:
        case OP_SETLISTO:
            ck.CheckReg(a + (b & (LFIELDS_PER_FLUSH - 1)) + 1);
            break;
        case OP_CLOSURE:
        {
            if (!ck.Check(b < pt->sizep && pt->p[b] != nullptr))
                break;
            int nup = pt->p[b]->nups;
            ck.Check(pc + nup < pt->sizecode);
            for (int j = 1; j <= nup && ck.ok; j++)
            {
                OpCode op1 = GET_OPCODE(pt->code[pc + j]);
                ck.Check(op1 == OP_GETUPVAL || op1 == OP_MOVE);
                if (ck.ok && op1 == OP_GETUPVAL)
                    ck.Check(GETARG_B(pt->code[pc + j]) < pt->nups);
                if (ck.ok && op1 == OP_MOVE)
                    ck.CheckReg(GETARG_B(pt->code[pc + j]));
            }
            if (reg != NO_REG)
                pc += nup;
            else if (ck.ok)
                pc += nup;
            break;
        }
        default:
            break;
        }
    }
    if (!ck.ok)
        return 0;
    *ok = true;
    return pt->code[last];
}

const char* KName(const Proto* p, int c)
{
    if (ISK(c) && c - MAXSTACK < p->sizek && ttisstring(&p->k[c - MAXSTACK]))
        return svalue(&p->k[c - MAXSTACK]);
    return "?";
}

const char* GetObjName(CallInfo* ci, int stackpos, const char** name)
{
    if (!ci_isLua(ci))
        return nullptr;
    const Proto* p = toL(CiFunc(ci))->p;
    int pc = CurrentPc(ci);
    *name = luaF_getlocalname(p, stackpos + 1, pc);
    if (*name != nullptr)
        return "local";
    bool ok;
    Instruction i = SymbolicExecute(p, pc, stackpos, &ok);
    if (!ok)
        return nullptr;
    switch (GET_OPCODE(i))
    {
    case OP_GETGLOBAL:
    {
        int b = GETARG_Bx(i);
        if (b < p->sizek && ttisstring(&p->k[b]))
        {
            *name = svalue(&p->k[b]);
            return "global";
        }
        break;
    }
    case OP_MOVE:
    {
        int a = GETARG_A(i);
        int b = GETARG_B(i);
        if (b < a)
            return GetObjName(ci, b, name);
        break;
    }
    case OP_GETTABLE:
        *name = KName(p, GETARG_C(i));
        return "field";
    case OP_SELF:
        *name = KName(p, GETARG_C(i));
        return "method";
    default:
        break;
    }
    return nullptr;
}

const char* GetFuncName(lua_State* L, CallInfo* ci, const char** name)
{
    if (ci == L->base_ci)
        return nullptr;
    if ((ci_isLua(ci) && ci->tailcalls > 0) || !ci_isLua(ci - 1))
        return nullptr;
    CallInfo* caller = ci - 1;
    Instruction i = toL(CiFunc(caller))->p->code[CurrentPc(caller)];
    if (GET_OPCODE(i) == OP_CALL || GET_OPCODE(i) == OP_TAILCALL || GET_OPCODE(i) == OP_TFORLOOP)
        return GetObjName(caller, GETARG_A(i), name);
    return nullptr;
}

// A function without a name at its call site is named after a global holding it.
const char* GlobalName(lua_State* L, const TObject* func)
{
    if (!ttistable(gt(L)))
        return nullptr;
    Table* g = hvalue(gt(L));
    for (int i = sizenode(g) - 1; i >= 0; i--)
    {
        Node* n = gnode(g, i);
        if (ttisstring(gkey(n)) && luaO_rawequalObj(gval(n), func))
            return svalue(gkey(n));
    }
    return nullptr;
}

bool IsInStack(const CallInfo* ci, const TObject* o)
{
    return o >= ci->base && o < ci->top;
}

} // namespace

int luaG_checkcode(const Proto* pt)
{
    bool ok;
    SymbolicExecute(pt, pt->sizecode, NO_REG, &ok);
    return ok ? 1 : 0;
}

// --- Errors ------------------------------------------------------------------------------------

void luaG_errormsg(lua_State* L)
{
    if (L->errfunc != 0)
    {
        StkId errfunc = restorestack(L, L->errfunc);
        if (!ttisfunction(errfunc))
            luaD_throw(L, LUA_ERRERR);
        luaD_checkstack(L, 1);
        errfunc = restorestack(L, L->errfunc);
        setobj(L->top, L->top - 1);
        setobj(L->top - 1, errfunc);
        L->top++;
        luaD_call(L, L->top - 2, 1);
    }
    luaD_throw(L, LUA_ERRRUN);
}

static void AddInfo(lua_State* L, const char* msg)
{
    CallInfo* ci = L->ci;
    if (!ci_isLua(ci))
        return;
    char buff[LUA_IDSIZE];
    int line = CurrentLine(ci);
    const Proto* p = toL(CiFunc(ci))->p;
    luaO_chunkid(buff, p->source != nullptr ? getstr(p->source) : "?", LUA_IDSIZE);
    luaO_pushfstring(L, "%s:%d: %s", buff, line, msg);
    setobj(L->top - 2, L->top - 1);
    L->top--;
}

void luaG_runerror(lua_State* L, const char* fmt, ...)
{
    va_list argp;
    va_start(argp, fmt);
    const char* msg = luaO_pushvfstring(L, fmt, argp);
    va_end(argp);
    AddInfo(L, msg);
    luaG_errormsg(L);
}

void luaG_typeerror(lua_State* L, const TObject* o, const char* op)
{
    const char* name = nullptr;
    const char* t = luaT_typenames[ttype(o)];
    const char* kind =
        IsInStack(L->ci, o) ? GetObjName(L->ci, static_cast<int>(o - L->base), &name) : nullptr;
    if (kind != nullptr)
        luaG_runerror(L, "attempt to %s %s `%s' (a %s value)", op, kind, name, t);
    luaG_runerror(L, "attempt to %s a %s value", op, t);
}

void luaG_concaterror(lua_State* L, StkId p1, StkId p2)
{
    if (ttisstring(p1) || ttisnumber(p1))
        p1 = p2;
    luaG_typeerror(L, p1, "concatenate");
}

void luaG_wconcaterror(lua_State* L, StkId p1, StkId p2)
{
    StkId culprit;
    if (ttisstring(p1) && ttiswstring(p2))
        culprit = p2;
    else if (ttisstring(p2) && ttiswstring(p1))
        culprit = p1;
    else if (ttiswstring(p1) || ttisnumber(p1) || ttisstring(p1))
        culprit = p2;
    else
        culprit = p1;
    luaG_typeerror(L, culprit, "concatenate");
}

void luaG_aritherror(lua_State* L, const TObject* p1, const TObject* p2)
{
    TObject temp;
    if (luaV_tonumber(p1, &temp) == nullptr)
        p2 = p1;
    luaG_typeerror(L, p2, "perform arithmetic on");
}

void luaG_bitwiseerror(lua_State* L, const TObject* p1, const TObject* p2)
{
    luaG_typeerror(L, ttisnumber(p1) ? p2 : p1, "perform arithmetic on");
}

int luaG_ordererror(lua_State* L, const TObject* p1, const TObject* p2)
{
    const char* t1 = luaT_typenames[ttype(p1)];
    const char* t2 = luaT_typenames[ttype(p2)];
    if (strcmp(t1, t2) == 0)
        luaG_runerror(L, "attempt to compare two %s values", t1);
    luaG_runerror(L, "attempt to compare %s with %s", t1, t2);
}

// --- Stack inspection --------------------------------------------------------------------------

int lua_getstack(lua_State* L, int level, lua_Debug* ar)
{
    CallInfo* ci;
    for (ci = L->ci; level > 0 && ci > L->base_ci; ci--)
    {
        level--;
        if (ci_isLua(ci))
            level -= ci->tailcalls;
    }
    if (level > 0 || ci == L->base_ci)
        return 0;
    if (level < 0)
        ar->i_ci = 0; // a lost tail call
    else
        ar->i_ci = static_cast<int>(ci - L->base_ci);
    return 1;
}

static void FuncInfo(lua_Debug* ar, const TObject* func)
{
    if (func == nullptr)
    {
        ar->source = "=(tail call)";
        ar->linedefined = -1;
        ar->what = "tail";
    }
    else
    {
        Closure* cl = clvalue(func);
        if (cl->isC)
        {
            ar->source = "=[C]";
            ar->linedefined = -1;
            ar->what = "C";
        }
        else
        {
            const Proto* p = toL(cl)->p;
            ar->source = p->source != nullptr ? getstr(p->source) : "=?";
            ar->linedefined = p->lineDefined;
            ar->what = (ar->linedefined == 0) ? "main" : "Lua";
        }
    }
    luaO_chunkid(ar->short_src, ar->source, LUA_IDSIZE);
}

int lua_getinfo(lua_State* L, const char* what, lua_Debug* ar)
{
    const TObject* f = nullptr;
    CallInfo* ci = nullptr;
    TObject funcCopy;
    if (*what == '>')
    {
        StkId func = L->top - 1;
        if (!ttisfunction(func))
            luaG_runerror(L, "value for `lua_getinfo' is not a function");
        what++;
        funcCopy = *func;
        f = &funcCopy;
        L->top--;
    }
    else if (ar->i_ci != 0)
    {
        ci = L->base_ci + ar->i_ci;
        funcCopy = *(ci->base - 1);
        f = &funcCopy;
    }
    int status = 1;
    for (; *what != '\0'; what++)
    {
        switch (*what)
        {
        case 'S':
            FuncInfo(ar, f);
            break;
        case 'l':
            ar->currentline = (ci != nullptr) ? CurrentLine(ci) : -1;
            break;
        case 'u':
            ar->nups = (f != nullptr) ? clvalue(f)->nupvalues : 0;
            break;
        case 'n':
        {
            ar->name = nullptr;
            ar->namewhat = (ci != nullptr) ? GetFuncName(L, ci, &ar->name) : nullptr;
            if (ar->namewhat == nullptr)
            {
                ar->name = (f != nullptr) ? GlobalName(L, f) : nullptr;
                ar->namewhat = (ar->name != nullptr) ? "global" : "";
            }
            break;
        }
        case 'f':
            if (f == nullptr)
                setnilvalue(L->top);
            else
                setobj(L->top, f);
            incr_top(L);
            break;
        default:
            status = 0;
            break;
        }
    }
    return status;
}
