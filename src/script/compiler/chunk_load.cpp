// Reader of precompiled chunks: header checks, function records in either byte order, wide-string
// constants, and the code checker run on every function read.
#include <cstdarg>

#include "script/core/calls.h"
#include "script/compiler/chunk_format.h"
#include "script/core/debug_info.h"
#include "script/core/functions.h"

namespace
{

// The compiler nests a function inside another only within a syntax level of its own, and it
// allows no more than 200 of those: a deeper chunk is damaged, and reading it would recurse until
// the stack ran out.
constexpr int kMaxFunctionDepth = 200;

struct LoadState
{
    lua_State* L;
    const unsigned char* p;
    size_t left;
    bool swap;
    const char* name;
    int depth;
};

[[noreturn]] void LoadError(LoadState* S, const char* fmt, ...)
{
    va_list argp;
    va_start(argp, fmt);
    luaO_pushvfstring(S->L, fmt, argp);
    va_end(argp);
    luaG_errormsg(S->L);
}

const unsigned char* Take(LoadState* S, size_t n)
{
    if (n > S->left)
        LoadError(S, "unexpected end of file in %s", S->name);
    const unsigned char* b = S->p;
    S->p += n;
    S->left -= n;
    return b;
}

// Reads an n-byte field, reversing its bytes when the chunk's order differs from the machine's.
void LoadField(LoadState* S, void* out, size_t n)
{
    const unsigned char* b = Take(S, n);
    unsigned char* o = static_cast<unsigned char*>(out);
    if (S->swap)
    {
        for (size_t i = 0; i < n; i++)
            o[i] = b[n - 1 - i];
    }
    else
        memcpy(o, b, n);
}

int LoadByte(LoadState* S)
{
    return *Take(S, 1);
}

int LoadInt(LoadState* S)
{
    int32_t x;
    LoadField(S, &x, 4);
    if (x < 0)
        LoadError(S, "bad integer in %s", S->name);
    return x;
}

size_t LoadSize(LoadState* S)
{
    uint32_t x;
    LoadField(S, &x, 4);
    return x;
}

lua_Number LoadNumber(LoadState* S)
{
    lua_Number x;
    LoadField(S, &x, sizeof(x));
    return x;
}

ScriptString* LoadString(LoadState* S)
{
    size_t size = LoadSize(S);
    if (size == 0)
        return nullptr;
    const unsigned char* b = Take(S, size);
    return luaS_newlstr(S->L, reinterpret_cast<const char*>(b), size - 1);
}

ScriptString* LoadWString(LoadState* S)
{
    size_t size = LoadSize(S);
    if (size == 0)
        return nullptr;
    if (size > S->left / 2)
        LoadError(S, "unexpected end of file in %s", S->name);
    char* buffer = luaZ_openspace(S->L, &G(S->L)->buff, size * 2);
    lua_WChar* units = reinterpret_cast<lua_WChar*>(buffer);
    for (size_t i = 0; i < size; i++)
    {
        uint16_t u;
        LoadField(S, &u, 2);
        units[i] = u;
    }
    return luaS_newlwstr(S->L, units, size - 1);
}

// Counts must also fit in the data left (each element takes at least one byte).
int LoadCount(LoadState* S)
{
    int n = LoadInt(S);
    if (static_cast<size_t>(n) > S->left)
        LoadError(S, "unexpected end of file in %s", S->name);
    return n;
}

Proto* LoadFunction(LoadState* S, ScriptString* p);

void LoadConstants(LoadState* S, Proto* f)
{
    lua_State* L = S->L;
    int n = LoadCount(S);
    f->k = luaM_newvector<TObject>(L, n);
    // Nil constants with no remembered node position (nil is the zero tag).
    if (n > 0)
        memset(static_cast<void*>(f->k), 0, sizeof(TObject) * static_cast<size_t>(n));
    f->sizek = n;
    for (int i = 0; i < n; i++)
    {
        TObject* o = &f->k[i];
        int t = LoadByte(S);
        switch (t)
        {
        case LUA_TNIL:
            setnilvalue(o);
            break;
        case LUA_TNUMBER:
            setnvalue(o, LoadNumber(S));
            break;
        case LUA_TSTRING:
        {
            ScriptString* s = LoadString(S);
            if (s == nullptr)
                s = luaS_newlstr(L, "", 0);
            setsvalue(o, s);
            break;
        }
        case LUA_TWSTRING:
        {
            ScriptString* s = LoadWString(S);
            if (s == nullptr)
                s = luaS_newlwstr(L, nullptr, 0);
            setsvalue(o, s);
            break;
        }
        default:
            LoadError(S, "bad constant type (%d) in %s", t, S->name);
        }
    }
    n = LoadCount(S);
    f->p = luaM_newvector<Proto*>(L, n);
    for (int i = 0; i < n; i++)
        f->p[i] = nullptr;
    f->sizep = n;
    for (int i = 0; i < n; i++)
        f->p[i] = LoadFunction(S, f->source);
}

Proto* LoadFunction(LoadState* S, ScriptString* p)
{
    lua_State* L = S->L;
    if (++S->depth > kMaxFunctionDepth)
        LoadError(S, "functions nested too deeply in %s", S->name);
    Proto* f = luaF_newproto(L);
    // Anchored on the stack while it is read.
    setptvalue(L->top, f);
    incr_top(L);
    f->source = LoadString(S);
    if (f->source == nullptr)
        f->source = p;
    f->lineDefined = LoadInt(S);
    f->nups = static_cast<lu_byte>(LoadByte(S));
    f->numparams = static_cast<lu_byte>(LoadByte(S));
    f->is_vararg = static_cast<lu_byte>(LoadByte(S));
    f->maxstacksize = static_cast<lu_byte>(LoadByte(S));

    int n = LoadCount(S);
    f->lineinfo = luaM_newvector<int>(L, n);
    f->sizelineinfo = n;
    for (int i = 0; i < n; i++)
    {
        int32_t line;
        LoadField(S, &line, 4);
        f->lineinfo[i] = line;
    }

    n = LoadCount(S);
    f->locvars = luaM_newvector<LocVar>(L, n);
    for (int i = 0; i < n; i++)
        f->locvars[i] = LocVar{nullptr, 0, 0};
    f->sizelocvars = n;
    for (int i = 0; i < n; i++)
    {
        f->locvars[i].varname = LoadString(S);
        f->locvars[i].startpc = LoadInt(S);
        f->locvars[i].endpc = LoadInt(S);
    }

    n = LoadCount(S);
    if (n != 0 && n != f->nups)
        LoadError(S, "bad nupvalues in %s: read %d; expected %d", S->name, n,
                  static_cast<int>(f->nups));
    f->upvalues = luaM_newvector<ScriptString*>(L, n);
    for (int i = 0; i < n; i++)
        f->upvalues[i] = nullptr;
    f->sizeupvalues = n;
    for (int i = 0; i < n; i++)
        f->upvalues[i] = LoadString(S);

    LoadConstants(S, f);

    n = LoadInt(S);
    if (static_cast<size_t>(n) > S->left / 4)
        LoadError(S, "unexpected end of file in %s", S->name);
    f->code = luaM_newvector<Instruction>(L, n);
    f->sizecode = n;
    for (int i = 0; i < n; i++)
    {
        uint32_t ins;
        LoadField(S, &ins, 4);
        f->code[i] = ins;
    }
    if (!luaG_checkcode(f))
        LoadError(S, "bad code in %s", S->name);
    L->top--;
    --S->depth;
    return f;
}

void TestSize(LoadState* S, int expected, const char* what)
{
    int r = LoadByte(S);
    if (r != expected)
        LoadError(S, "virtual machine mismatch in %s: size of %s is %d but read %d", S->name, what,
                  expected, r);
}

void LoadHeader(LoadState* S)
{
    const unsigned char* sig = Take(S, 4);
    if (memcmp(sig, LUA_SIGNATURE, 4) != 0)
        LoadError(S, "bad signature in %s", S->name);
    int version = LoadByte(S);
    if (version > LUAC_VERSION)
        LoadError(S, "%s too new: read version %d.%d; expected at most %d.%d", S->name,
                  version >> 4, version & 0xF, LUAC_VERSION >> 4, LUAC_VERSION & 0xF);
    if (version < LUAC_VERSION)
        LoadError(S, "%s too old: read version %d.%d; expected at least %d.%d", S->name,
                  version >> 4, version & 0xF, LUAC_VERSION >> 4, LUAC_VERSION & 0xF);
    S->swap = LoadByte(S) != 1;
    TestSize(S, 4, "int");
    TestSize(S, 4, "size_t");
    TestSize(S, 4, "Instruction");
    TestSize(S, SIZE_OP, "OP");
    TestSize(S, SIZE_A, "A");
    TestSize(S, SIZE_B, "B");
    TestSize(S, SIZE_C, "C");
    TestSize(S, sizeof(lua_Number), "number");
    lua_Number x = LoadNumber(S);
    if (!(x > -2147483648.0 && x < 2147483648.0) ||
        static_cast<long>(x) != static_cast<long>(LUAC_TEST_NUMBER))
        LoadError(S, "unknown number format in %s", S->name);
}

} // namespace

Proto* luaU_undump(lua_State* L, const char* buffer, size_t size, const char* chunkname)
{
    LoadState S;
    S.L = L;
    S.p = reinterpret_cast<const unsigned char*>(buffer);
    S.left = size;
    S.swap = false;
    S.depth = 0;
    if (*chunkname == '@' || *chunkname == '=')
        S.name = chunkname + 1;
    else if (*chunkname == LUA_SIGNATURE[0])
        S.name = "binary string";
    else
        S.name = chunkname;
    LoadHeader(&S);
    return LoadFunction(&S, nullptr);
}
