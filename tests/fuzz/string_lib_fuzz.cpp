// Fuzz target: the string library's position, count and pattern arguments (sub, byte, find,
// gsub, gfind) with arbitrary numbers, subjects and patterns; errors are caught, crashes are not.
#include "script/lauxlib.h"
#include "script/lua.h"
#include "script/lualib.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace
{

// Bounds that keep the matcher's backtracking (polynomial in the subject, of the degree of the
// pattern's repetitions) from turning one input into a time-out.
constexpr size_t kMaxSubject = 64;
constexpr size_t kMaxPattern = 32;
constexpr int kMaxRepetitions = 3;

bool FewRepetitions(const char* p, size_t len)
{
    int count = 0;
    for (size_t i = 0; i < len; i++)
        count += std::strchr("*+-?", p[i]) != nullptr && p[i] != '\0';
    return count <= kMaxRepetitions;
}

struct Input
{
    int op;
    double a;
    double b;
    const char* subject;
    size_t subjectLen;
    const char* pattern;
    size_t patternLen;
};

void PushLibFunction(lua_State* L, const char* name)
{
    lua_pushstring(L, "string");
    lua_rawget(L, LUA_GLOBALSINDEX);
    lua_pushstring(L, name);
    lua_rawget(L, -2);
    lua_remove(L, -2);
}

int Run(lua_State* L)
{
    const Input* in = static_cast<const Input*>(lua_touserdata(L, 1));
    static const char* const kNames[] = {"sub", "byte", "find", "find", "gsub", "gfind"};
    int op = in->op % 6;
    PushLibFunction(L, kNames[op]);
    lua_pushlstring(L, in->subject, in->subjectLen);
    switch (op)
    {
    case 0: // sub(s, i, j)
        lua_pushnumber(L, in->a);
        lua_pushnumber(L, in->b);
        lua_call(L, 3, 1);
        break;
    case 1: // byte(s, i)
        lua_pushnumber(L, in->a);
        lua_call(L, 2, 1);
        break;
    case 2: // find(s, p, init)
    case 3: // find(s, p, init, true)
        lua_pushlstring(L, in->pattern, in->patternLen);
        lua_pushnumber(L, in->a);
        lua_pushboolean(L, op == 3);
        lua_call(L, 4, LUA_MULTRET);
        break;
    case 4: // gsub(s, p, repl, n)
        lua_pushlstring(L, in->pattern, in->patternLen);
        lua_pushstring(L, "<%0%1>");
        lua_pushnumber(L, in->b);
        lua_call(L, 4, 2);
        break;
    default: // for ... in gfind(s, p), at most as many steps as the subject has bytes plus one
    {
        lua_pushlstring(L, in->pattern, in->patternLen);
        lua_call(L, 2, 1);
        for (size_t i = 0; i <= in->subjectLen; i++)
        {
            lua_pushvalue(L, -1);
            lua_call(L, 0, 1);
            bool done = lua_isnil(L, -1);
            lua_pop(L, 1);
            if (done)
                break;
        }
        break;
    }
    }
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 18)
        return 0;
    static lua_State* L = []
    {
        lua_State* S = lua_open();
        luaopen_base(S);
        luaopen_string(S);
        lua_settop(S, 0);
        return S;
    }();
    Input in;
    in.op = data[0];
    std::memcpy(&in.a, data + 1, sizeof in.a);
    std::memcpy(&in.b, data + 9, sizeof in.b);
    size_t rest = size - 18;
    const char* text = reinterpret_cast<const char*>(data + 18);
    size_t subject = data[17] < rest ? data[17] : rest;
    in.subject = text;
    in.subjectLen = subject < kMaxSubject ? subject : kMaxSubject;
    in.pattern = text + subject;
    in.patternLen = rest - subject < kMaxPattern ? rest - subject : kMaxPattern;
    if (!FewRepetitions(in.pattern, in.patternLen))
        return 0;
    lua_pushcfunction(L, Run);
    lua_pushlightuserdata(L, &in);
    lua_pcall(L, 1, 0, 0);
    lua_settop(L, 0);
    return 0;
}
