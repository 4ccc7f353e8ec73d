// String library: the stock string functions, escape resolution (`lualex`), the conversions its
// parts share and the registration; patterns, format and pack live in lib_string_*.cpp.
#include "script/lib/lib_string.h"
#include "script/lauxlib.h"
#include "script/lualib.h"
#include "script/core/hex_digit.h"
#include "script/core/calls.h"
#include "script/core/gc.h"
#include "script/core/strings.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace string_lib
{

// ---------------------------------------------------------------------------------------------
// Number conversions shared by format and pack: truncation toward zero with the 32-bit rules.

// Truncates to a signed 32-bit integer; a value outside that range (or NaN) gives INT32_MIN.
int32_t TruncToInt32(double d)
{
    if (!(d > -2147483649.0 && d < 2147483648.0))
    {
        return INT32_MIN;
    }
    return (int32_t)d;
}

// Truncates to 64 bits; a value outside that range (or NaN) gives INT64_MIN.
int64_t TruncToInt64(double d)
{
    if (!(d > -9223372036854775808.0 * 1.0000001 && d < 9223372036854775808.0))
    {
        return INT64_MIN;
    }
    if (d <= -9223372036854775808.0)
    {
        return INT64_MIN;
    }
    return (int64_t)d;
}

uint32_t TruncLow32(double d)
{
    return (uint32_t)(uint64_t)TruncToInt64(d);
}

// A position argument: negative counts from the end (-1 the last byte); before the start 0.
long PosRelative(lua_Number arg, size_t len)
{
    long pos = luaL_numbertoint<long>(arg);
    if (pos >= 0)
    {
        return pos;
    }
    if (pos < -(long)len)
    {
        return 0;
    }
    return (long)len + pos + 1;
}

} // namespace string_lib

namespace
{

using namespace string_lib;

// ---------------------------------------------------------------------------------------------
// Stock functions

int StrLen(lua_State* L)
{
    size_t l;
    luaL_checklstring(L, 1, &l);
    lua_pushnumber(L, (lua_Number)l);
    return 1;
}

int StrSub(lua_State* L)
{
    size_t l;
    const char* s = luaL_checklstring(L, 1, &l);
    long start = PosRelative(luaL_checknumber(L, 2), l);
    long end = PosRelative(luaL_optnumber(L, 3, -1), l);
    if (start < 1)
    {
        start = 1;
    }
    if (end > (long)l)
    {
        end = (long)l;
    }
    if (start <= end)
    {
        luaA_pushloose(L, s + start - 1, (size_t)(end - start + 1));
    }
    else
    {
        lua_pushliteral(L, "");
    }
    return 1;
}

int StrLower(lua_State* L)
{
    size_t l;
    const char* s = luaL_checklstring(L, 1, &l);
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    for (size_t i = 0; i < l; i++)
    {
        luaL_putchar(&b, std::tolower(uchar(s[i])));
    }
    luaL_pushresult(&b);
    return 1;
}

int StrUpper(lua_State* L)
{
    size_t l;
    const char* s = luaL_checklstring(L, 1, &l);
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    for (size_t i = 0; i < l; i++)
    {
        luaL_putchar(&b, std::toupper(uchar(s[i])));
    }
    luaL_pushresult(&b);
    return 1;
}

// A result beyond this many bytes is refused rather than attempted.
constexpr double kMaxRepBytes = 2147483647.0;

int StrRep(lua_State* L)
{
    size_t l;
    const char* s = luaL_checklstring(L, 1, &l);
    lua_Number count = luaL_checknumber(L, 2);
    if (l > 0 && count > 0 && (double)l * std::floor(count) > kMaxRepBytes)
    {
        return luaL_error(L, "resulting string too large");
    }
    // Within the limit checked above whenever anything is to be repeated.
    const size_t n = (l > 0 && count >= 1) ? (size_t)count : 0;
    if (n == 0)
    {
        lua_pushliteral(L, "");
        return 1;
    }
    // Written once into a block of the result's size: joined from buffer-sized pieces, a long
    // result took three times its size and most of its time in the joins.
    luaC_checkGC(L);
    const size_t total = l * n;
    ScriptString* result = luaS_reserve(L, total);
    char* out = getstr(result);
    std::memcpy(out, s, l);
    // The copies made so far are copied again, doubling the text each time.
    for (size_t done = l; done < total;)
    {
        const size_t more = done < total - done ? done : total - done;
        std::memcpy(out + done, out, more);
        done += more;
    }
    setsvalue(L->top, luaS_commit(L, result));
    incr_top(L);
    return 1;
}

int StrByte(lua_State* L)
{
    size_t l;
    const char* s = luaL_checklstring(L, 1, &l);
    long pos = PosRelative(luaL_optnumber(L, 2, 1), l);
    if (pos <= 0 || (size_t)pos > l)
    {
        return 0;
    }
    lua_pushnumber(L, (lua_Number)uchar(s[pos - 1]));
    return 1;
}

int StrChar(lua_State* L)
{
    int n = lua_gettop(L);
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    for (int i = 1; i <= n; i++)
    {
        lua_Number v = luaL_checknumber(L, i);
        int c = TruncToInt32(v);
        luaL_argcheck(L, (uchar)c == c, i, "invalid value");
        luaL_putchar(&b, uchar(c));
    }
    luaL_pushresult(&b);
    return 1;
}

int DumpWriter(lua_State*, const void* p, size_t size, void* ud)
{
    luaL_addlstring(static_cast<luaL_Buffer*>(ud), static_cast<const char*>(p), size);
    return 0; // success: the dump goes on
}

int StrDump(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TFUNCTION);
    lua_settop(L, 1);
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    if (!lua_dump(L, DumpWriter, &b))
    {
        luaL_error(L, "unable to dump given function");
    }
    luaL_pushresult(&b);
    return 1;
}
// ---------------------------------------------------------------------------------------------
// lualex: resolves the escapes of string syntax in text from outside a script. Mode 0 gives
// bytes; any other mode gives UTF-16LE text (each character as one 16-bit unit).

void AddLexUnit(luaL_Buffer* b, bool wide, unsigned value)
{
    luaL_putchar(b, (char)(value & 0xFF));
    if (wide)
    {
        luaL_putchar(b, (char)((value >> 8) & 0xFF));
    }
}

int StrLualex(lua_State* L)
{
    size_t l;
    const char* s = luaL_checklstring(L, 1, &l);
    bool wide = luaL_checknumber(L, 2) != 0;
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    size_t i = 0;
    while (i < l)
    {
        int c = uchar(s[i++]);
        if (c != '\\' || i >= l)
        {
            AddLexUnit(&b, wide, (unsigned)c); // a trailing lone backslash is kept
            continue;
        }
        c = uchar(s[i++]);
        switch (c)
        {
        case 'a':
            AddLexUnit(&b, wide, 7);
            break;
        case 'b':
            AddLexUnit(&b, wide, 8);
            break;
        case 'f':
            AddLexUnit(&b, wide, 12);
            break;
        case 'n':
            AddLexUnit(&b, wide, 10);
            break;
        case 'r':
            AddLexUnit(&b, wide, 13);
            break;
        case 't':
            AddLexUnit(&b, wide, 9);
            break;
        case 'v':
            AddLexUnit(&b, wide, 11);
            break;
        case 'x':
        {
            if (i >= l || HexDigitValue(uchar(s[i])) < 0)
            {
                AddLexUnit(&b, wide, 'x');
                break;
            }
            unsigned value = 0;
            int maxDigits = wide ? 4 : 2;
            for (int k = 0; k < maxDigits && i < l && HexDigitValue(uchar(s[i])) >= 0; k++)
            {
                value = value * 16 + (unsigned)HexDigitValue(uchar(s[i++]));
            }
            if (wide)
            {
                AddLexUnit(&b, true, value);
            }
            else
            {
                // The narrow form writes the value as two bytes, low byte first.
                luaL_putchar(&b, (char)(value & 0xFF));
                luaL_putchar(&b, (char)((value >> 8) & 0xFF));
            }
            break;
        }
        default:
            if (std::isdigit(c))
            {
                unsigned value = (unsigned)(c - '0');
                for (int k = 1; k < 3 && i < l && std::isdigit(uchar(s[i])); k++)
                {
                    value = value * 10 + (unsigned)(s[i++] - '0');
                }
                AddLexUnit(&b, wide, value & 0xFF);
            }
            else
            {
                AddLexUnit(&b, wide, (unsigned)c);
            }
            break;
        }
    }
    luaL_pushresult(&b);
    return 1;
}
const luaL_reg kStringFunctions[] = {
    {"len", StrLen},       {"sub", StrSub},   {"lower", StrLower}, {"upper", StrUpper},
    {"char", StrChar},     {"rep", StrRep},   {"byte", StrByte},   {"format", StrFormat},
    {"dump", StrDump},     {"find", StrFind}, {"gfind", StrGfind}, {"gsub", StrGsub},
    {"lualex", StrLualex}, {nullptr, nullptr}};

const luaL_reg kPackFunctions[] = {{"pack", StrPack}, {"unpack", StrUnpack}, {nullptr, nullptr}};

} // namespace

int luaopen_string(lua_State* L)
{
    luaL_openlib(L, LUA_STRLIBNAME, kStringFunctions, 0);
    lua_pushvalue(L, -1);
    lua_settypemetatable(L, LUA_TSTRING);
    // When the base library published the per-type tables already, its "_string" entry follows.
    lua_pushliteral(L, "_string");
    lua_rawget(L, LUA_REGISTRYINDEX);
    bool published = !lua_isnil(L, -1);
    lua_pop(L, 1);
    if (published)
    {
        lua_pushliteral(L, "_string");
        lua_pushvalue(L, -2);
        lua_rawset(L, LUA_REGISTRYINDEX);
    }
    luaL_openlib(L, LUA_STRLIBNAME, kPackFunctions, 0);
    lua_pop(L, 1);
    return 1;
}
