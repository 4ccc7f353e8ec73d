// Compiler entry of the chunk loader: compiles source text and turns the result into the
// collectable prototypes of a state, reporting syntax errors through the state's error exit.
#include <algorithm>
#include <new>

#include "script/core/calls.h"
#include "script/compiler/parser.h"

namespace
{

using script::ConstantValue;
using script::FunctionPrototype;
using script::LocalVarInfo;

// Turns a compiled function into a prototype of the state. Every array is sized before it is
// filled, so a memory error part-way leaves a prototype the collector can free.
Proto* BuildProto(lua_State* L, const FunctionPrototype& fp)
{
    Proto* p = luaF_newproto(L);
    p->source = luaS_newlstr(L, fp.source.data(), fp.source.size());
    p->lineDefined = fp.lineDefined;
    p->nups = static_cast<lu_byte>(fp.upvalueNames.size());
    p->numparams = static_cast<lu_byte>(fp.numParams);
    p->is_vararg = fp.isVararg ? 1 : 0;
    p->maxstacksize = static_cast<lu_byte>(fp.maxStackSize);

    int n = static_cast<int>(fp.code.size());
    p->code = luaM_newvector<Instruction>(L, n);
    p->sizecode = n;
    std::copy(fp.code.begin(), fp.code.end(), p->code);

    n = static_cast<int>(fp.lineInfo.size());
    p->lineinfo = luaM_newvector<int>(L, n);
    p->sizelineinfo = n;
    std::copy(fp.lineInfo.begin(), fp.lineInfo.end(), p->lineinfo);

    n = static_cast<int>(fp.constants.size());
    p->k = luaM_newvector<TObject>(L, n);
    // Nil constants with no remembered node position (nil is the zero tag).
    if (n > 0)
        memset(static_cast<void*>(p->k), 0, sizeof(TObject) * static_cast<size_t>(n));
    p->sizek = n;
    for (int i = 0; i < n; ++i)
    {
        const ConstantValue& c = fp.constants[static_cast<size_t>(i)];
        switch (c.kind)
        {
        case ConstantValue::kNil:
            break;
        case ConstantValue::kNumber:
            setnvalue(&p->k[i], c.number);
            break;
        case ConstantValue::kString:
            setsvalue(&p->k[i], luaS_newlstr(L, c.text.data(), c.text.size()));
            break;
        case ConstantValue::kWideString:
            setsvalue(&p->k[i], luaS_newlwstr(L, c.wide.data(), c.wide.size()));
            break;
        }
    }

    n = static_cast<int>(fp.locals.size());
    p->locvars = luaM_newvector<LocVar>(L, n);
    for (int i = 0; i < n; ++i)
        p->locvars[i] = LocVar{nullptr, 0, 0};
    p->sizelocvars = n;
    for (int i = 0; i < n; ++i)
    {
        const LocalVarInfo& v = fp.locals[static_cast<size_t>(i)];
        p->locvars[i].varname = luaS_newlstr(L, v.name.data(), v.name.size());
        p->locvars[i].startpc = v.startPc;
        p->locvars[i].endpc = v.endPc;
    }

    n = static_cast<int>(fp.upvalueNames.size());
    p->upvalues = luaM_newvector<ScriptString*>(L, n);
    for (int i = 0; i < n; ++i)
        p->upvalues[i] = nullptr;
    p->sizeupvalues = n;
    for (int i = 0; i < n; ++i)
    {
        const std::string& name = fp.upvalueNames[static_cast<size_t>(i)];
        p->upvalues[i] = luaS_newlstr(L, name.data(), name.size());
    }

    n = static_cast<int>(fp.children.size());
    p->p = luaM_newvector<Proto*>(L, n);
    for (int i = 0; i < n; ++i)
        p->p[i] = nullptr;
    p->sizep = n;
    for (int i = 0; i < n; ++i)
        p->p[i] = BuildProto(L, *fp.children[static_cast<size_t>(i)]);
    return p;
}

} // namespace

Proto* ParseChunk(lua_State* L, const char* buffer, size_t size, const char* chunkname,
                  lua_Chunkreader reader, void* data)
{
    bool wide = false;
    if (buffer && size >= 2 && static_cast<unsigned char>(buffer[0]) == 0xFF &&
        static_cast<unsigned char>(buffer[1]) == 0xFE)
    {
        wide = true;
        buffer += 2;
        size -= 2;
    }
    std::unique_ptr<script::FunctionPrototype> main;
    try
    {
        script::SourceRefill refill;
        if (reader != nullptr)
        {
            refill = [L, reader, data](size_t* n) { return reader(L, data, n); };
        }
        main = script::CompileChunk(buffer, size, wide, chunkname ? chunkname : "?", refill);
    }
    catch (const script::SyntaxError& e)
    {
        lua_pushlstring(L, e.message.data(), e.message.size());
        luaD_throw(L, LUA_ERRSYNTAX);
    }
    catch (const std::bad_alloc&)
    {
        luaD_throw(L, LUA_ERRMEM);
    }
    return BuildProto(L, *main);
}
