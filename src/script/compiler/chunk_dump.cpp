// Writer of precompiled chunks: header, then the function records with every field in the
// machine's byte order and 4-byte ints and sizes.
#include "script/compiler/chunk_format.h"

namespace
{

struct DumpState
{
    lua_State* L;
    lua_Chunkwriter writer;
    void* data;
    int status;
};

void DumpBlock(DumpState* D, const void* b, size_t size)
{
    D->status = D->writer(D->L, b, size, D->data);
}

void DumpByte(DumpState* D, int y)
{
    char x = static_cast<char>(y);
    DumpBlock(D, &x, 1);
}

void DumpInt(DumpState* D, int x)
{
    int32_t v = static_cast<int32_t>(x);
    DumpBlock(D, &v, 4);
}

void DumpSize(DumpState* D, size_t x)
{
    uint32_t v = static_cast<uint32_t>(x);
    DumpBlock(D, &v, 4);
}

void DumpNumber(DumpState* D, lua_Number x)
{
    DumpBlock(D, &x, sizeof(x));
}

void DumpString(DumpState* D, const ScriptString* s)
{
    if (s == nullptr || getstr(s) == nullptr)
    {
        DumpSize(D, 0);
        return;
    }
    size_t size = s->len + 1;
    DumpSize(D, size);
    DumpBlock(D, getstr(s), size);
}

void DumpWString(DumpState* D, const ScriptString* s)
{
    size_t size = s->len + 1;
    DumpSize(D, size);
    DumpBlock(D, getwstr(s), size * 2);
}

void DumpFunction(DumpState* D, const Proto* f, const ScriptString* p);

void DumpConstants(DumpState* D, const Proto* f)
{
    DumpInt(D, f->sizek);
    for (int i = 0; i < f->sizek; i++)
    {
        const TObject* o = &f->k[i];
        DumpByte(D, ttype(o));
        switch (ttype(o))
        {
        case LUA_TNUMBER:
            DumpNumber(D, nvalue(o));
            break;
        case LUA_TSTRING:
            DumpString(D, tsvalue(o));
            break;
        case LUA_TWSTRING:
            DumpWString(D, tsvalue(o));
            break;
        default:
            break;
        }
    }
    DumpInt(D, f->sizep);
    for (int i = 0; i < f->sizep; i++)
        DumpFunction(D, f->p[i], f->source);
}

void DumpFunction(DumpState* D, const Proto* f, const ScriptString* p)
{
    DumpString(D, (f->source == p) ? nullptr : f->source);
    DumpInt(D, f->lineDefined);
    DumpByte(D, f->nups);
    DumpByte(D, f->numparams);
    DumpByte(D, f->is_vararg);
    DumpByte(D, f->maxstacksize);
    DumpInt(D, f->sizelineinfo);
    DumpBlock(D, f->lineinfo, sizeof(int) * static_cast<size_t>(f->sizelineinfo));
    DumpInt(D, f->sizelocvars);
    for (int i = 0; i < f->sizelocvars; i++)
    {
        DumpString(D, f->locvars[i].varname);
        DumpInt(D, f->locvars[i].startpc);
        DumpInt(D, f->locvars[i].endpc);
    }
    DumpInt(D, f->sizeupvalues);
    for (int i = 0; i < f->sizeupvalues; i++)
        DumpString(D, f->upvalues[i]);
    DumpConstants(D, f);
    DumpInt(D, f->sizecode);
    DumpBlock(D, f->code, sizeof(Instruction) * static_cast<size_t>(f->sizecode));
}

void DumpHeader(DumpState* D)
{
    DumpBlock(D, LUA_SIGNATURE, 4);
    DumpByte(D, LUAC_VERSION);
    DumpByte(D, 1); // little-endian writer
    DumpByte(D, 4); // int
    DumpByte(D, 4); // size_t
    DumpByte(D, 4); // Instruction
    DumpByte(D, SIZE_OP);
    DumpByte(D, SIZE_A);
    DumpByte(D, SIZE_B);
    DumpByte(D, SIZE_C);
    DumpByte(D, sizeof(lua_Number));
    DumpNumber(D, LUAC_TEST_NUMBER);
}

} // namespace

int luaU_dump(lua_State* L, const Proto* f, lua_Chunkwriter w, void* data)
{
    static_assert(sizeof(int) == 4, "chunk ints are 4 bytes");
    DumpState D{L, w, data, 0};
    DumpHeader(&D);
    DumpFunction(&D, f, nullptr);
    return D.status;
}
