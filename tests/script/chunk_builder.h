// Test support for the engine core: assembles precompiled chunks byte by byte from the chunk
// layout (so the interpreter is tested without the compiler), and small state helpers.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "script/lua.h"
#include "script/core/opcodes.h"

namespace chunk_test
{

struct Constant
{
    int type = LUA_TNIL;
    double number = 0;
    std::string text;
    std::u16string wide;
};

inline Constant KNil()
{
    return Constant{};
}
inline Constant KNum(double n)
{
    return Constant{LUA_TNUMBER, n, {}, {}};
}
inline Constant KStr(const std::string& s)
{
    return Constant{LUA_TSTRING, 0, s, {}};
}
inline Constant KWide(const std::u16string& s)
{
    return Constant{LUA_TWSTRING, 0, {}, s};
}

struct Local
{
    std::string name;
    int startpc;
    int endpc;
};

struct Function
{
    bool hasSource = true;
    std::string source = "=test";
    int lineDefined = 0;
    int nups = 0;
    int numparams = 0;
    int isVararg = 0;
    int maxStack = 2;
    std::vector<int> lines; // empty: filled with 1 for each instruction unless noLines
    bool noLines = false;
    std::vector<Local> locals;
    std::vector<std::string> upvalueNames;
    std::vector<Constant> constants;
    std::vector<Function> protos;
    std::vector<Instruction> code;
};

// RK operand naming constant k.
constexpr int K(int k)
{
    return RKASK(k);
}
constexpr Instruction ABC(OpCode o, int a, int b, int c)
{
    return CREATE_ABC(o, a, b, c);
}
constexpr Instruction ABx(OpCode o, int a, int bx)
{
    return CREATE_ABx(o, a, bx);
}
constexpr Instruction AsBx(OpCode o, int a, int sbx)
{
    return CREATE_AsBx(o, a, sbx);
}

class Writer
{
public:
    explicit Writer(bool bigEndian) : mBig(bigEndian) {}

    void Byte(int b) { mOut.push_back(static_cast<char>(b)); }
    void Raw(const void* p, size_t n) { mOut.append(static_cast<const char*>(p), n); }
    void Field(const void* p, size_t n)
    {
        const unsigned char* b = static_cast<const unsigned char*>(p);
        for (size_t i = 0; i < n; i++)
            mOut.push_back(static_cast<char>(mBig ? b[n - 1 - i] : b[i]));
    }
    void Int(int32_t v) { Field(&v, 4); }
    void Size(uint32_t v) { Field(&v, 4); }
    void Number(double d) { Field(&d, 8); }
    void String(const std::string& s, bool present = true)
    {
        if (!present)
        {
            Size(0);
            return;
        }
        Size(static_cast<uint32_t>(s.size() + 1));
        Raw(s.data(), s.size());
        Byte(0);
    }
    void Wide(const std::u16string& s)
    {
        Size(static_cast<uint32_t>(s.size() + 1));
        for (char16_t u : s)
        {
            uint16_t v = u;
            Field(&v, 2);
        }
        uint16_t z = 0;
        Field(&z, 2);
    }
    const std::string& Bytes() const { return mOut; }

private:
    bool mBig;
    std::string mOut;
};

inline void WriteFunction(Writer& w, const Function& f)
{
    w.String(f.source, f.hasSource);
    w.Int(f.lineDefined);
    w.Byte(f.nups);
    w.Byte(f.numparams);
    w.Byte(f.isVararg);
    w.Byte(f.maxStack);
    std::vector<int> lines = f.lines;
    if (lines.empty() && !f.noLines)
        lines.assign(f.code.size(), 1);
    w.Int(static_cast<int32_t>(lines.size()));
    for (int l : lines)
        w.Int(l);
    w.Int(static_cast<int32_t>(f.locals.size()));
    for (const Local& l : f.locals)
    {
        w.String(l.name);
        w.Int(l.startpc);
        w.Int(l.endpc);
    }
    w.Int(static_cast<int32_t>(f.upvalueNames.size()));
    for (const std::string& n : f.upvalueNames)
        w.String(n);
    w.Int(static_cast<int32_t>(f.constants.size()));
    for (const Constant& k : f.constants)
    {
        w.Byte(k.type);
        if (k.type == LUA_TNUMBER)
            w.Number(k.number);
        else if (k.type == LUA_TSTRING)
            w.String(k.text);
        else if (k.type == LUA_TWSTRING)
            w.Wide(k.wide);
    }
    w.Int(static_cast<int32_t>(f.protos.size()));
    for (const Function& p : f.protos)
        WriteFunction(w, p);
    w.Int(static_cast<int32_t>(f.code.size()));
    for (Instruction i : f.code)
    {
        uint32_t v = i;
        w.Field(&v, 4);
    }
}

// The 22 header bytes: signature, version, byte order, sizes, test number.
inline void WriteHeader(Writer& w, bool bigEndian, int version = 0x50)
{
    w.Raw("\x1bLua", 4);
    w.Byte(version);
    w.Byte(bigEndian ? 0 : 1);
    w.Byte(4);
    w.Byte(4);
    w.Byte(4);
    w.Byte(6);
    w.Byte(8);
    w.Byte(9);
    w.Byte(9);
    w.Byte(8);
    w.Number(31415926.535897933);
}

inline std::string Build(const Function& f, bool bigEndian = false)
{
    Writer w(bigEndian);
    WriteHeader(w, bigEndian);
    WriteFunction(w, f);
    return w.Bytes();
}

struct StringReader
{
    const std::string* text;
    bool done;
};

inline const char* ReadString(lua_State*, void* ud, size_t* size)
{
    StringReader* r = static_cast<StringReader*>(ud);
    if (r->done)
        return nullptr;
    r->done = true;
    *size = r->text->size();
    return r->text->data();
}

inline int Load(lua_State* L, const std::string& bytes, const char* name = "=test")
{
    StringReader r{&bytes, false};
    return lua_load(L, ReadString, &r, name);
}

inline int Writer_(lua_State*, const void* p, size_t sz, void* ud)
{
    static_cast<std::string*>(ud)->append(static_cast<const char*>(p), sz);
    return 0;
}

// Dumps the function on top of the stack.
inline std::string Dump(lua_State* L)
{
    std::string out;
    lua_dump(L, Writer_, &out);
    return out;
}

// A function that computes R0 = op(K0, K1) and returns it.
inline Function BinaryOp(OpCode op, Constant a, Constant b)
{
    Function f;
    f.constants = {a, b};
    f.code = {ABC(op, 0, K(0), K(1)), ABC(OP_RETURN, 0, 2, 0), ABC(OP_RETURN, 0, 1, 0)};
    return f;
}

inline std::string TopString(lua_State* L)
{
    const char* s = lua_tostring(L, -1);
    return s != nullptr ? s : "(not a string)";
}

} // namespace chunk_test
