// Base library: the global functions (printing and converting wide strings too), loading through
// the file layer, `require`, the registry's per-type metatables and the coroutine table.
#include "script/lauxlib.h"
#include "script/lualib.h"

#include "script/core/calls.h"
#include "sys/input_script/input_script.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{

constexpr const char* kLoadedTable = "_LOADED";
constexpr const char* kPathGlobal = "LUA_PATH";
constexpr const char* kPathDefault = "?;?.lua";

// Registry keys of the per-type metatables, by type tag (0, nil, is not published).
constexpr const char* kTypeTableKeys[] = {"_nil",    "_boolean", "_lightuserdata", "_number",
                                          "_string", "_table",   "_function",      "_userdata",
                                          "_thread", "_wstring"};

// ---------------------------------------------------------------------------------------------
// Text conversions of values

// The text of a value as `tostring` gives it without consulting "__tostring"; pushes it.
void PushPlainText(lua_State* L, int idx)
{
    char buff[64];
    switch (lua_type(L, idx))
    {
    case LUA_TNUMBER:
        lua_pushvalue(L, idx);
        lua_pushstring(L, lua_tostring(L, -1));
        lua_remove(L, -2);
        return;
    case LUA_TSTRING:
        lua_pushvalue(L, idx);
        return;
    case LUA_TBOOLEAN:
        lua_pushstring(L, lua_toboolean(L, idx) ? "true" : "false");
        return;
    case LUA_TWSTRING:
    {
        // The low byte of every unit.
        size_t n = lua_strlen(L, idx);
        const lua_WChar* w = lua_towstring(L, idx);
        luaL_Buffer b;
        luaL_buffinit(L, &b);
        for (size_t i = 0; i < n; i++)
        {
            luaL_putchar(&b, (char)(w[i] & 0xFF));
        }
        luaL_pushresult(&b);
        return;
    }
    case LUA_TTABLE:
        std::snprintf(buff, sizeof buff, "table: %p", lua_topointer(L, idx));
        break;
    case LUA_TFUNCTION:
        std::snprintf(buff, sizeof buff, "function: %p", lua_topointer(L, idx));
        break;
    case LUA_TUSERDATA:
    case LUA_TLIGHTUSERDATA:
        std::snprintf(buff, sizeof buff, "userdata: %p", lua_touserdata(L, idx));
        break;
    case LUA_TTHREAD:
        std::snprintf(buff, sizeof buff, "thread: %p", (void*)lua_tothread(L, idx));
        break;
    default:
        lua_pushliteral(L, "nil");
        return;
    }
    lua_pushstring(L, buff);
}

// Adds wide text to the printed line as UTF-8, ending at its first zero unit.
void AppendWide(const lua_WChar* w, size_t n, std::string& line)
{
    // Zeroed: the optimiser cannot see that an empty text writes none of it.
    char out[4 * 128 + 4] = {};
    size_t used = 0;
    for (size_t i = 0; i < n && w[i] != 0; i++)
    {
        uint32_t c = w[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && w[i + 1] >= 0xDC00 && w[i + 1] <= 0xDFFF)
        {
            c = 0x10000 + ((c - 0xD800) << 10) + (uint32_t)(w[i + 1] - 0xDC00);
            i++;
        }
        else if (c >= 0xD800 && c <= 0xDFFF)
        {
            c = 0xFFFD; // an unpaired surrogate
        }
        if (c < 0x80)
        {
            out[used++] = (char)c;
        }
        else if (c < 0x800)
        {
            out[used++] = (char)(0xC0 | (c >> 6));
            out[used++] = (char)(0x80 | (c & 0x3F));
        }
        else if (c < 0x10000)
        {
            out[used++] = (char)(0xE0 | (c >> 12));
            out[used++] = (char)(0x80 | ((c >> 6) & 0x3F));
            out[used++] = (char)(0x80 | (c & 0x3F));
        }
        else
        {
            out[used++] = (char)(0xF0 | (c >> 18));
            out[used++] = (char)(0x80 | ((c >> 12) & 0x3F));
            out[used++] = (char)(0x80 | ((c >> 6) & 0x3F));
            out[used++] = (char)(0x80 | (c & 0x3F));
        }
        if (used >= sizeof out - 4)
        {
            line.append(out, used);
            used = 0;
        }
    }
    line.append(out, used);
}

// Writes one printed line and its break to standard output. A reader that went away (the trace
// piped into `head`) or a terminal that hung up ends the trace, never the game: the writes fail
// (the program ignores SIGPIPE), one line on standard error says so, and the lines still reach
// the input scripts.
void WriteOutputLine(const std::string& line)
{
    static bool said = false;
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    // Standard output into a pipe or a file is buffered in blocks: a reader following the game
    // (a trace piped into grep) would see nothing until the buffer filled or the game ended.
    std::fflush(stdout);
    if (!std::ferror(stdout))
        return;
    const int error = errno;
    std::clearerr(stdout);
    if ((error != EPIPE && error != EIO) || said)
        return;
    said = true;
    std::fprintf(stderr, "Standard output is closed (%s): printed lines are no longer written\n",
                 std::strerror(error));
}

// ---------------------------------------------------------------------------------------------
// Global functions

int BaseError(lua_State* L)
{
    int level = luaL_optint(L, 2, 1);
    luaL_checkany(L, 1);
    if (lua_type(L, 1) != LUA_TSTRING && lua_type(L, 1) != LUA_TNUMBER)
    {
        lua_settop(L, 1);
    }
    else if (level == 0)
    {
        lua_settop(L, 1);
    }
    else
    {
        luaL_where(L, level);
        lua_pushvalue(L, 1);
        lua_concat(L, 2);
    }
    return lua_error(L);
}

int BaseGetmetatable(lua_State* L)
{
    luaL_checkany(L, 1);
    if (!lua_getmetatable(L, 1))
    {
        lua_pushnil(L);
        return 1;
    }
    luaL_getmetafield(L, 1, "__metatable");
    return 1; // the "__metatable" field when present, else the metatable
}

int BaseSetmetatable(lua_State* L)
{
    int t = lua_type(L, 2);
    luaL_checktype(L, 1, LUA_TTABLE);
    luaL_argcheck(L, t == LUA_TNIL || t == LUA_TTABLE, 2, "nil or table expected");
    if (luaL_getmetafield(L, 1, "__metatable"))
    {
        luaL_error(L, "cannot change a protected metatable");
    }
    lua_settop(L, 2);
    lua_setmetatable(L, 1);
    return 1;
}

void GetFunction(lua_State* L)
{
    if (lua_isfunction(L, 1))
    {
        lua_pushvalue(L, 1);
        return;
    }
    lua_Debug ar;
    int level = luaL_optint(L, 1, 1);
    luaL_argcheck(L, level >= 0, 1, "level must be non-negative");
    if (lua_getstack(L, level, &ar) == 0)
    {
        luaL_argerror(L, 1, "invalid level");
    }
    lua_getinfo(L, "f", &ar);
    if (lua_isnil(L, -1))
    {
        luaL_error(L, "no function environment for tail call at level %d", level);
    }
}

int BaseGetfenv(lua_State* L)
{
    GetFunction(L);
    lua_getfenv(L, -1);
    lua_pushliteral(L, "__fenv");
    lua_rawget(L, -2);
    if (lua_isnil(L, -1))
    {
        lua_pop(L, 1);
    }
    return 1;
}

int BaseSetfenv(lua_State* L)
{
    luaL_checktype(L, 2, LUA_TTABLE);
    GetFunction(L);
    lua_getfenv(L, -1);
    lua_pushliteral(L, "__fenv");
    lua_rawget(L, -2);
    if (!lua_isnil(L, -1))
    {
        luaL_error(L, "`setfenv' cannot change a protected environment");
    }
    lua_pop(L, 2);
    lua_pushvalue(L, 2);
    if (lua_isnumber(L, 1) && lua_tonumber(L, 1) == 0)
    {
        lua_replace(L, LUA_GLOBALSINDEX); // the running thread's globals
    }
    else if (lua_iscfunction(L, -2) || lua_setfenv(L, -2) == 0)
    {
        luaL_error(L, "`setfenv' cannot change environment of given function");
    }
    return 0;
}

int BaseRawequal(lua_State* L)
{
    luaL_checkany(L, 1);
    luaL_checkany(L, 2);
    lua_pushboolean(L, lua_rawequal(L, 1, 2));
    return 1;
}

int BaseRawget(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TTABLE);
    luaL_checkany(L, 2);
    lua_rawget(L, 1);
    return 1;
}

int BaseRawset(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TTABLE);
    luaL_checkany(L, 2);
    luaL_checkany(L, 3);
    lua_rawset(L, 1);
    return 1;
}

int BaseGcinfo(lua_State* L)
{
    lua_pushnumber(L, (lua_Number)lua_getgccount(L));
    lua_pushnumber(L, (lua_Number)lua_getgcthreshold(L));
    return 2;
}

int BaseCollectgarbage(lua_State* L)
{
    lua_setgcthreshold(L, luaL_optint(L, 1, 0));
    return 0;
}

int BaseType(lua_State* L)
{
    luaL_checkany(L, 1);
    lua_pushstring(L, lua_typename(L, lua_type(L, 1)));
    return 1;
}

int BaseNext(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TTABLE);
    lua_settop(L, 2);
    if (lua_next(L, 1))
    {
        return 2;
    }
    lua_pushnil(L);
    return 1;
}

int BasePairs(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TTABLE);
    lua_pushliteral(L, "next");
    lua_rawget(L, LUA_GLOBALSINDEX);
    lua_pushvalue(L, 1);
    lua_pushnil(L);
    return 3;
}

int BaseIpairs(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TTABLE);
    lua_Number i = lua_tonumber(L, 2);
    if (i == 0 && lua_isnone(L, 2))
    {
        // Called to start a loop: return the iterator, the table and 0.
        lua_pushliteral(L, "ipairs");
        lua_rawget(L, LUA_GLOBALSINDEX);
        lua_pushvalue(L, 1);
        lua_pushnumber(L, 0);
        return 3;
    }
    i++;
    lua_pushnumber(L, i);
    lua_rawgeti(L, 1, (int)i);
    return lua_isnil(L, -1) ? 0 : 2;
}

int LoadResult(lua_State* L, int status)
{
    if (status == 0)
    {
        return 1;
    }
    lua_pushnil(L);
    lua_insert(L, -2);
    return 2;
}

int BaseLoadstring(lua_State* L)
{
    size_t l;
    const char* s = luaL_checklstring(L, 1, &l);
    const char* chunkname = luaL_optstring(L, 2, s);
    return LoadResult(L, luaL_loadbuffer(L, s, l, chunkname));
}

int BaseLoadfile(lua_State* L)
{
    const char* fname = luaL_checkstring(L, 1);
    return LoadResult(L, luaL_loadfile(L, fname));
}

int BaseDofile(lua_State* L)
{
    const char* fname = luaL_checkstring(L, 1);
    int n = lua_gettop(L);
    int status = luaL_loadfile(L, fname);
    if (status != 0)
    {
        lua_error(L);
    }
    lua_call(L, 0, LUA_MULTRET);
    return lua_gettop(L) - n;
}

int BaseAssert(lua_State* L)
{
    luaL_checkany(L, 1);
    if (!lua_toboolean(L, 1))
    {
        return luaL_error(L, "%s", luaL_optstring(L, 2, "assertion failed!"));
    }
    lua_settop(L, 1);
    return 1;
}

int BaseUnpack(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TTABLE);
    int n = luaL_getn(L, 1);
    luaL_checkstack(L, n, "table too big to unpack");
    for (int i = 1; i <= n; i++)
    {
        lua_rawgeti(L, 1, i);
    }
    return n;
}

int BasePcall(lua_State* L)
{
    luaL_checkany(L, 1);
    int status = lua_pcall(L, lua_gettop(L) - 1, LUA_MULTRET, 0);
    lua_pushboolean(L, status == 0);
    lua_insert(L, 1);
    return lua_gettop(L);
}

int BaseXpcall(lua_State* L)
{
    luaL_checkany(L, 2);
    lua_settop(L, 2);
    lua_insert(L, 1); // the handler goes below the function
    int status = lua_pcall(L, 0, LUA_MULTRET, 1);
    lua_pushboolean(L, status == 0);
    lua_replace(L, 1);
    return lua_gettop(L);
}

int BaseTostring(lua_State* L)
{
    luaL_checkany(L, 1);
    if (luaL_callmeta(L, 1, "__tostring"))
    {
        return 1;
    }
    PushPlainText(L, 1);
    return 1;
}

int BaseTowstring(lua_State* L)
{
    luaL_checkany(L, 1);
    switch (lua_type(L, 1))
    {
    case LUA_TWSTRING:
        lua_pushvalue(L, 1);
        return 1;
    case LUA_TNUMBER:
        lua_pushvalue(L, 1);
        lua_towstring(L, -1); // converts the copy in place
        return 1;
    case LUA_TSTRING:
        break;
    default:
        PushPlainText(L, 1);
        lua_replace(L, 1);
        break;
    }
    size_t n;
    const char* s = lua_tostring(L, 1);
    n = lua_strlen(L, 1);
    luaL_Buffer b;
    luaL_wbuffinit(L, &b);
    for (size_t i = 0; i < n; i++)
    {
        lua_WChar unit = (lua_WChar)(unsigned char)s[i];
        luaL_addlwstring(&b, &unit, 1);
    }
    luaL_pushresult(&b);
    return 1;
}

int HexDigitValue(int c)
{
    if (std::isdigit(c))
    {
        return c - '0';
    }
    if (std::isalpha(c))
    {
        return std::tolower(c) - 'a' + 10;
    }
    return 99;
}

// The unsigned conversion of text in a base (2 to 36): white space around the number is allowed
// and the whole text must be used. Overflow saturates and a minus sign negates modulo 2^32, as
// the C runtime's conversion of a 32-bit unsigned long does.
bool ConvertUnsignedText(const char* s, size_t len, int base, uint32_t* out)
{
    size_t i = 0;
    while (i < len && std::isspace((unsigned char)s[i]))
    {
        i++;
    }
    bool negative = false;
    if (i < len && (s[i] == '+' || s[i] == '-'))
    {
        negative = s[i] == '-';
        i++;
    }
    if (base == 16 && i + 2 < len && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X') &&
        HexDigitValue((unsigned char)s[i + 2]) < 16)
    {
        i += 2;
    }
    uint64_t value = 0;
    bool overflow = false;
    size_t digits = 0;
    while (i < len && HexDigitValue((unsigned char)s[i]) < base)
    {
        value = value * (uint64_t)base + (uint64_t)HexDigitValue((unsigned char)s[i]);
        if (value > 0xFFFFFFFFull)
        {
            overflow = true;
            value = 0xFFFFFFFFull;
        }
        i++;
        digits++;
    }
    if (digits == 0)
    {
        return false;
    }
    while (i < len && std::isspace((unsigned char)s[i]))
    {
        i++;
    }
    if (i != len)
    {
        return false;
    }
    uint32_t v = (uint32_t)value;
    if (negative && !overflow)
    {
        v = (uint32_t)(0u - v);
    }
    *out = overflow ? 0xFFFFFFFFu : v;
    return true;
}

int BaseTonumber(lua_State* L)
{
    int base = luaL_optint(L, 2, 10);
    if (base == 10)
    {
        luaL_checkany(L, 1);
        if (lua_isnumber(L, 1))
        {
            lua_pushnumber(L, lua_tonumber(L, 1));
            return 1;
        }
        lua_pushnil(L);
        return 1;
    }
    char narrow[100];
    const char* s;
    size_t len;
    if (lua_type(L, 1) == LUA_TWSTRING)
    {
        len = lua_strlen(L, 1);
        const lua_WChar* w = lua_towstring(L, 1);
        luaL_argcheck(L, 2 <= base && base <= 36, 2, "base out of range");
        if (len > 99)
        {
            lua_pushnil(L);
            return 1;
        }
        for (size_t i = 0; i < len; i++)
        {
            narrow[i] = (char)(w[i] & 0xFF);
        }
        narrow[len] = '\0';
        s = narrow;
    }
    else
    {
        s = luaL_checklstring(L, 1, &len);
        luaL_argcheck(L, 2 <= base && base <= 36, 2, "base out of range");
    }
    uint32_t n;
    if (ConvertUnsignedText(s, len, base, &n))
    {
        lua_pushnumber(L, (lua_Number)n);
        return 1;
    }
    lua_pushnil(L);
    return 1;
}

// Writes its arguments as one line of standard output, and tells the input scripts of the line: the
// trace lines a play-through awaits come through here.
int BasePrint(lua_State* L)
{
    int n = lua_gettop(L);
    std::string line;
    lua_getglobal(L, "towstring");
    lua_getglobal(L, "tostring");
    for (int i = 1; i <= n; i++)
    {
        bool wide = lua_type(L, i) == LUA_TWSTRING;
        lua_pushvalue(L, wide ? n + 1 : n + 2);
        lua_pushvalue(L, i);
        lua_call(L, 1, 1);
        if (wide)
        {
            if (lua_type(L, -1) != LUA_TWSTRING)
            {
                return luaL_error(L, "`tostring' must return a string to `print'");
            }
        }
        else if (lua_type(L, -1) == LUA_TWSTRING || lua_tostring(L, -1) == nullptr)
        {
            return luaL_error(L, "`tostring' must return a string to `print'");
        }
        if (i > 1)
        {
            line += '\t';
        }
        if (wide)
        {
            AppendWide(lua_towstring(L, -1), lua_strlen(L, -1), line);
        }
        else
        {
            line.append(lua_tostring(L, -1), lua_strlen(L, -1));
        }
        lua_pop(L, 1);
    }
    WriteOutputLine(line);
    sys::NoteOutputLine(line);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// require

// Pushes the search path: the global "LUA_PATH", else the environment variable, else the default.
void PushPath(lua_State* L)
{
    lua_getglobal(L, kPathGlobal);
    if (lua_type(L, -1) == LUA_TSTRING)
    {
        return;
    }
    lua_pop(L, 1);
    const char* path = std::getenv(kPathGlobal);
    lua_pushstring(L, path ? path : kPathDefault);
}

// Pushes the next template of the path; returns where the rest starts, or null at the end.
const char* PushNextTemplate(lua_State* L, const char* path)
{
    if (*path == '\0')
    {
        return nullptr;
    }
    if (*path == ';')
    {
        path++;
    }
    const char* l = std::strchr(path, ';');
    if (l == nullptr)
    {
        l = path + std::strlen(path);
    }
    lua_pushlstring(L, path, (size_t)(l - path));
    return l;
}

// Replaces the template on top by the file name with every "?" replaced by the package name.
void ComposeName(lua_State* L)
{
    const char* path = lua_tostring(L, -1);
    const char* wild;
    int n = 1;
    while ((wild = std::strchr(path, '?')) != nullptr)
    {
        luaL_checkstack(L, 3, "too many marks in a path component");
        lua_pushlstring(L, path, (size_t)(wild - path));
        lua_pushvalue(L, 1);
        path = wild + 1;
        n += 2;
    }
    lua_pushstring(L, path);
    lua_concat(L, n);
}

int BaseRequire(lua_State* L)
{
    luaL_checkstring(L, 1);
    lua_settop(L, 1);
    lua_getglobal(L, kLoadedTable); // 2
    if (!lua_istable(L, 2))
    {
        return luaL_error(L, "`%s' is not a table", kLoadedTable);
    }
    PushPath(L); // 3: kept on the stack while its text is walked
    lua_pushvalue(L, 1);
    lua_rawget(L, 2); // 4
    if (lua_toboolean(L, -1))
    {
        return 1; // already loaded: its result
    }
    int status = LUA_ERRFILE;
    const char* path = lua_tostring(L, 3);
    while (status == LUA_ERRFILE)
    {
        lua_settop(L, 4);
        path = PushNextTemplate(L, path);
        if (path == nullptr)
        {
            break;
        }
        ComposeName(L);
        status = luaL_loadfile(L, lua_tostring(L, -1));
    }
    switch (status)
    {
    case 0:
        lua_getglobal(L, "_REQUIREDNAME");
        lua_insert(L, -2);
        lua_pushvalue(L, 1);
        lua_setglobal(L, "_REQUIREDNAME");
        lua_call(L, 0, 1);
        lua_insert(L, -2);
        lua_setglobal(L, "_REQUIREDNAME"); // the previous name comes back
        if (lua_isnil(L, -1))
        {
            lua_pushboolean(L, 1);
            lua_replace(L, -2);
        }
        lua_pushvalue(L, 1);
        lua_pushvalue(L, -2);
        lua_rawset(L, 2);
        return 1;
    case LUA_ERRFILE:
        return luaL_error(L, "could not load package `%s' from path `%s'", lua_tostring(L, 1),
                          lua_tostring(L, 3));
    default:
        return luaL_error(L, "error loading package `%s' (%s)", lua_tostring(L, 1),
                          lua_tostring(L, -1));
    }
}

// ---------------------------------------------------------------------------------------------
// newproxy

int BaseNewproxy(lua_State* L)
{
    lua_settop(L, 1);
    lua_newuserdata(L, 0);
    if (lua_toboolean(L, 1) == 0)
    {
        return 1; // no metatable
    }
    if (lua_isboolean(L, 1))
    {
        lua_newtable(L);
        lua_pushvalue(L, -1);
        lua_pushboolean(L, 1);
        lua_rawset(L, lua_upvalueindex(1)); // remembered as a proxy metatable
    }
    else
    {
        bool validProxy = false;
        if (lua_getmetatable(L, 1))
        {
            lua_rawget(L, lua_upvalueindex(1));
            validProxy = lua_toboolean(L, -1);
            lua_pop(L, 1);
        }
        luaL_argcheck(L, validProxy, 1, "boolean or proxy expected");
        lua_getmetatable(L, 1);
    }
    lua_setmetatable(L, 2);
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Coroutines

// The public calls' work done inline: a producer and its consumer cross here for every value.
// Resumes co with the narg values on L's top. On success their place takes the results, after a
// true when withTrue is set (coroutine.resume's answer, put in front as they arrive rather than
// by moving them up); returns their number, or -1 with the error message on top.
int AuxResume(lua_State* L, lua_State* co, int narg, bool withTrue)
{
    if (!luaD_apicheckstack(co, narg))
    {
        luaL_error(L, "too many arguments to resume");
    }
    int status = luaD_resumefrom(L, co, narg);
    if (status == 0)
    {
        int nres = static_cast<int>(co->top - co->base);
        if (!luaD_apicheckstack(L, nres))
        {
            luaL_error(L, "too many results to resume");
        }
        // The check above leaves room for one value more than it asks for: the true.
        StkId to = L->top;
        if (withTrue)
            setbvalue(to++, 1);
        StkId first = co->top - nres;
        for (int i = 0; i < nres; i++)
            setobj(to++, first + i);
        co->top = first;
        L->top = to;
        return nres;
    }
    luaD_xmove(co, L, 1); // the error message
    return -1;
}

// The thread in a value, or null (lua_tothread's answer, without the index lookup).
lua_State* ThreadIn(const TObject* o)
{
    return ttisthread(o) ? thvalue(o) : nullptr;
}

int CoResume(lua_State* L)
{
    lua_State* co = L->top > L->base ? ThreadIn(L->base) : nullptr;
    luaL_argcheck(L, co, 1, "coroutine expected");
    int r = AuxResume(L, co, static_cast<int>(L->top - L->base) - 1, true);
    if (r < 0)
    {
        lua_pushboolean(L, 0);
        lua_insert(L, -2);
        return 2;
    }
    return r + 1;
}

int CoAuxWrap(lua_State* L)
{
    // The running function is this closure; its one upvalue is the thread.
    lua_State* co = ThreadIn(&toC(clvalue(L->base - 1))->upvalue[0]);
    int r = AuxResume(L, co, lua_gettop(L), false);
    if (r < 0)
    {
        if (lua_type(L, -1) == LUA_TSTRING)
        {
            luaL_where(L, 1);
            lua_insert(L, -2);
            lua_concat(L, 2);
        }
        lua_error(L);
    }
    return r;
}

int CoCreate(lua_State* L)
{
    lua_State* nl = lua_newthread(L);
    // The first argument (the new thread itself when there was none) goes to the new thread's
    // fresh stack, which has room: lua_pushvalue and lua_xmove without the index lookups.
    const TObject* body = L->base;
    luaL_argcheck(L, ttisfunction(body) && !clvalue(body)->isC, 1, "Lua function expected");
    setobj(nl->top, body);
    nl->top++;
    return 1;
}

int CoWrap(lua_State* L)
{
    CoCreate(L);
    lua_pushcclosure(L, CoAuxWrap, 1);
    return 1;
}

int CoYield(lua_State* L)
{
    return lua_yield(L, static_cast<int>(L->top - L->base));
}

int CoStatus(lua_State* L)
{
    lua_State* co = lua_tothread(L, 1);
    luaL_argcheck(L, co, 1, "coroutine expected");
    if (L == co)
    {
        lua_pushliteral(L, "running");
    }
    else
    {
        lua_Debug ar;
        if (lua_getstack(co, 0, &ar) == 0 && lua_gettop(co) == 0)
        {
            lua_pushliteral(L, "dead");
        }
        else
        {
            lua_pushliteral(L, "suspended");
        }
    }
    return 1;
}

const luaL_reg kBaseFunctions[] = {{"error", BaseError},
                                   {"getmetatable", BaseGetmetatable},
                                   {"setmetatable", BaseSetmetatable},
                                   {"getfenv", BaseGetfenv},
                                   {"setfenv", BaseSetfenv},
                                   {"next", BaseNext},
                                   {"ipairs", BaseIpairs},
                                   {"pairs", BasePairs},
                                   {"print", BasePrint},
                                   {"tonumber", BaseTonumber},
                                   {"tostring", BaseTostring},
                                   {"towstring", BaseTowstring},
                                   {"type", BaseType},
                                   {"assert", BaseAssert},
                                   {"unpack", BaseUnpack},
                                   {"rawequal", BaseRawequal},
                                   {"rawget", BaseRawget},
                                   {"rawset", BaseRawset},
                                   {"pcall", BasePcall},
                                   {"xpcall", BaseXpcall},
                                   {"collectgarbage", BaseCollectgarbage},
                                   {"gcinfo", BaseGcinfo},
                                   {"loadfile", BaseLoadfile},
                                   {"dofile", BaseDofile},
                                   {"loadstring", BaseLoadstring},
                                   {"require", BaseRequire},
                                   {nullptr, nullptr}};

const luaL_reg kCoroutineFunctions[] = {{"create", CoCreate}, {"wrap", CoWrap},
                                        {"resume", CoResume}, {"yield", CoYield},
                                        {"status", CoStatus}, {nullptr, nullptr}};

void OpenGlobals(lua_State* L)
{
    lua_pushliteral(L, "_G");
    lua_pushvalue(L, LUA_GLOBALSINDEX);
    luaL_openlib(L, nullptr, kBaseFunctions, 0);
    lua_pushliteral(L, "_VERSION");
    lua_pushliteral(L, LUA_VERSION);
    lua_rawset(L, -3);
    // newproxy keeps its proxy metatables in a weak-keyed table, its upvalue.
    lua_pushliteral(L, "newproxy");
    lua_newtable(L);
    lua_pushvalue(L, -1);
    lua_setmetatable(L, -2);
    lua_pushliteral(L, "__mode");
    lua_pushliteral(L, "k");
    lua_rawset(L, -3);
    lua_pushcclosure(L, BaseNewproxy, 1);
    lua_rawset(L, -3);
    lua_rawset(L, LUA_GLOBALSINDEX); // _G
}

} // namespace

int luaopen_base(lua_State* L)
{
    OpenGlobals(L);
    luaL_openlib(L, LUA_COLIBNAME, kCoroutineFunctions, 0);
    lua_newtable(L);
    lua_setglobal(L, kLoadedTable);
    for (int tag = LUA_TBOOLEAN; tag <= LUA_TWSTRING; tag++)
    {
        lua_pushstring(L, kTypeTableKeys[tag]);
        lua_gettypemetatable(L, tag);
        lua_rawset(L, LUA_REGISTRYINDEX);
    }
    return 0;
}
