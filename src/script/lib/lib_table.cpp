// Table library: concatenation, iteration helpers, sizes, insertion, removal and sorting.
#include "script/lauxlib.h"
#include "script/lualib.h"

#include "script/core/calls.h"
#include "script/core/gc.h"
#include "script/core/strings.h"
#include "script/core/table.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace
{

int CheckedSize(lua_State* L, int n)
{
    luaL_checktype(L, n, LUA_TTABLE);
    return luaL_getn(L, n);
}

int TabForeachi(lua_State* L)
{
    int n = CheckedSize(L, 1);
    luaL_checktype(L, 2, LUA_TFUNCTION);
    for (int i = 1; i <= n; i++)
    {
        lua_pushvalue(L, 2);
        lua_pushnumber(L, (lua_Number)i);
        lua_rawgeti(L, 1, i);
        lua_call(L, 2, 1);
        if (!lua_isnil(L, -1))
        {
            return 1;
        }
        lua_pop(L, 1);
    }
    return 0;
}

int TabForeach(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TTABLE);
    luaL_checktype(L, 2, LUA_TFUNCTION);
    lua_pushnil(L);
    for (;;)
    {
        if (lua_next(L, 1) == 0)
        {
            return 0;
        }
        lua_pushvalue(L, 2);
        lua_pushvalue(L, -3); // key
        lua_pushvalue(L, -3); // value
        lua_call(L, 2, 1);
        if (!lua_isnil(L, -1))
        {
            return 1;
        }
        lua_pop(L, 2); // the value and the result; the key stays for the next step
    }
}

int TabGetn(lua_State* L)
{
    lua_pushnumber(L, (lua_Number)CheckedSize(L, 1));
    return 1;
}

int TabSetn(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TTABLE);
    luaL_setn(L, 1, luaL_checkint(L, 2));
    return 0;
}

// A shift over more slots than this visits only the keys the table holds: a position far below
// the size (down to INT_MIN) would otherwise move about 2^31 empty slots one by one.
constexpr long long kDenseShift = 1 << 20;

// The integer keys in [lo, hi] of the table at index 1 that hold a value, ascending.
std::vector<int> KeysInRange(lua_State* L, long long lo, long long hi)
{
    std::vector<int> keys;
    lua_pushnil(L);
    while (lua_next(L, 1))
    {
        lua_pop(L, 1);
        if (lua_type(L, -1) != LUA_TNUMBER)
        {
            continue;
        }
        lua_Number k = lua_tonumber(L, -1);
        if (k >= (lua_Number)lo && k <= (lua_Number)hi && k == std::floor(k))
        {
            keys.push_back((int)k);
        }
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

// t[k + 1] = t[k] for k from hi - 1 down to lo, t[lo] left empty.
void ShiftUp(lua_State* L, int lo, int hi)
{
    if ((long long)hi - lo <= kDenseShift)
    {
        for (int k = hi; k > lo; k--) // counted from the top: a lo of INT_MIN does not wrap
        {
            lua_rawgeti(L, 1, k - 1);
            lua_rawseti(L, 1, k);
        }
        return;
    }
    std::vector<int> keys = KeysInRange(L, lo, hi);
    for (auto k = keys.rbegin(); k != keys.rend(); ++k)
    {
        if (*k < hi)
        {
            lua_rawgeti(L, 1, *k);
            lua_rawseti(L, 1, *k + 1);
        }
        lua_pushnil(L);
        lua_rawseti(L, 1, *k);
    }
}

// t[k] = t[k + 1] for k from lo up to hi - 1, t[hi] left empty.
void ShiftDown(lua_State* L, int lo, int hi)
{
    if ((long long)hi - lo <= kDenseShift)
    {
        for (int k = lo; k < hi; k++)
        {
            lua_rawgeti(L, 1, k + 1);
            lua_rawseti(L, 1, k);
        }
        lua_pushnil(L);
        lua_rawseti(L, 1, hi);
        return;
    }
    for (int k : KeysInRange(L, lo, hi))
    {
        if (k > lo)
        {
            lua_rawgeti(L, 1, k);
            lua_rawseti(L, 1, k - 1);
        }
        lua_pushnil(L);
        lua_rawseti(L, 1, k);
    }
}

int TabInsert(lua_State* L)
{
    int v = lua_gettop(L);
    // At most the largest size: one past a size of INT_MAX would wrap.
    int n = std::min(CheckedSize(L, 1), INT_MAX - 1) + 1;
    int pos;
    if (v == 2)
    {
        pos = n; // at the end
    }
    else
    {
        pos = luaL_checkint(L, 2);
        if (pos > n)
        {
            n = pos; // the array grows to the position
        }
        v = 3;
    }
    luaL_setn(L, 1, n);
    ShiftUp(L, pos, n);
    lua_pushvalue(L, v);
    lua_rawseti(L, 1, pos);
    return 0;
}

int TabRemove(lua_State* L)
{
    int n = CheckedSize(L, 1);
    int pos = luaL_optint(L, 2, n);
    if (n <= 0)
    {
        return 0;
    }
    luaL_setn(L, 1, n - 1);
    lua_rawgeti(L, 1, pos);
    ShiftDown(L, pos, n);
    return 1;
}

// The text of t[i] (a string or a number, as tostring gives it) pushed on the stack; raises the
// library's error for any other value.
const char* PushPiece(lua_State* L, int i, size_t* len)
{
    lua_rawgeti(L, 1, i);
    int t = lua_type(L, -1);
    luaL_argcheck(L, t == LUA_TSTRING || t == LUA_TNUMBER, 1, "table contains non-strings");
    const char* s = lua_tostring(L, -1);
    *len = lua_strlen(L, -1);
    return s;
}

// The length of t[i]'s text, checked as PushPiece checks it; the stack is left as it was.
size_t PieceLength(lua_State* L, int i)
{
    lua_rawgeti(L, 1, i);
    int t = lua_type(L, -1);
    luaL_argcheck(L, t == LUA_TSTRING || t == LUA_TNUMBER, 1, "table contains non-strings");
    size_t len = lua_strlen(L, -1);
    lua_pop(L, 1);
    return len;
}

// Joins t[i..n] through the string buffer, piece by piece.
void ConcatBuffered(lua_State* L, const char* sep, size_t lsep, int i, int n)
{
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    // 64-bit positions: a range may end at the largest int.
    for (int64_t k = i; k <= n; k++)
    {
        lua_rawgeti(L, 1, static_cast<int>(k));
        int t = lua_type(L, -1);
        luaL_argcheck(L, t == LUA_TSTRING || t == LUA_TNUMBER, 1, "table contains non-strings");
        luaL_addvalue(&b);
        if (k != n)
        {
            luaL_addlstring(&b, sep, lsep);
        }
    }
    luaL_pushresult(&b);
}

// Results up to this length are joined in the string buffer; longer ones are measured first and
// written once into a block of their size, instead of being joined from buffer-sized pieces.
constexpr size_t kBufferedConcat = LUAL_BUFFERSIZE;
constexpr size_t kMaxJoined = 0x7FFFFFFF;

// The common case of a long join, every piece already a string: measured and copied straight from
// the table's slots into the new string. False, with nothing done, for any other case.
bool ConcatStrings(lua_State* L, const char* sep, size_t lsep, int i, int n)
{
    // A collection may run finalisers that change the table: it runs before the measuring, so
    // that the pieces copied are the ones measured.
    luaC_checkGC(L);
    Table* t = luaA_tableat(L, 1);
    size_t total = 0;
    for (int64_t k = i; k <= n; k++)
    {
        const TObject* o = luaH_getnum(t, static_cast<int>(k));
        if (!ttisstring(o))
        {
            return false;
        }
        total += tsvalue(o)->len + (k != n ? lsep : 0);
        if (total > kMaxJoined)
        {
            return false;
        }
    }
    if (total <= kBufferedConcat)
    {
        return false;
    }
    // Nothing from the measuring to the commit can run a script or make a string.
    ScriptString* joined = luaS_reserve(L, total);
    char* out = getstr(joined);
    for (int64_t k = i; k <= n; k++)
    {
        const ScriptString* piece = tsvalue(luaH_getnum(t, static_cast<int>(k)));
        std::memcpy(out, getstr(piece), piece->len);
        out += piece->len;
        if (k != n)
        {
            std::memcpy(out, sep, lsep);
            out += lsep;
        }
    }
    setsvalue(L->top, luaS_commit(L, joined));
    incr_top(L);
    return true;
}

int TabConcat(lua_State* L)
{
    size_t lsep;
    const char* sep = luaL_optlstring(L, 2, "", &lsep);
    int i = luaL_optint(L, 3, 1);
    int n = luaL_optint(L, 4, 0);
    luaL_checktype(L, 1, LUA_TTABLE);
    if (n == 0)
    {
        n = luaL_getn(L, 1);
    }
    if (ConcatStrings(L, sep, lsep, i, n))
    {
        return 1;
    }
    size_t total = 0;
    for (int64_t k = i; k <= n && total <= kMaxJoined; k++)
    {
        total += PieceLength(L, static_cast<int>(k)) + (k != n ? lsep : 0);
    }
    if (total <= kBufferedConcat || total > kMaxJoined)
    {
        ConcatBuffered(L, sep, lsep, i, n);
        return 1;
    }
    char* block = static_cast<char*>(lua_newuserdata(L, total));
    size_t used = 0;
    for (int64_t k = i; k <= n; k++)
    {
        size_t len;
        const char* s = PushPiece(L, static_cast<int>(k), &len);
        size_t need = len + (k != n ? lsep : 0);
        if (need > total - used)
        {
            // A finaliser run by a collection on the way changed the table: join what it holds now.
            lua_settop(L, 4);
            ConcatBuffered(L, sep, lsep, i, n);
            return 1;
        }
        std::memcpy(block + used, s, len);
        used += len;
        lua_pop(L, 1);
        if (k != n)
        {
            std::memcpy(block + used, sep, lsep);
            used += lsep;
        }
    }
    lua_pushlstring(L, block, used);
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Quicksort over t[l..u] with the median of three as pivot.

void Set2(lua_State* L, int i, int j)
{
    lua_rawseti(L, 1, i);
    lua_rawseti(L, 1, j);
}

// True when the value at a sorts before the one at b (both negative indices).
bool SortLess(lua_State* L, int a, int b)
{
    if (!lua_isnil(L, 2))
    {
        lua_pushvalue(L, 2);
        lua_pushvalue(L, a - 1); // the function was pushed above both
        lua_pushvalue(L, b - 2); // and so was the first argument
        lua_call(L, 2, 1);
        bool res = lua_toboolean(L, -1);
        lua_pop(L, 1);
        return res;
    }
    return lua_lessthan(L, a, b);
}

void AuxSort(lua_State* L, int l, int u)
{
    while (l < u)
    {
        // Order a[l], a[(l+u)/2] and a[u].
        lua_rawgeti(L, 1, l);
        lua_rawgeti(L, 1, u);
        if (SortLess(L, -1, -2))
        {
            Set2(L, l, u);
        }
        else
        {
            lua_pop(L, 2);
        }
        if (u - l == 1)
        {
            break;
        }
        int i = (l + u) / 2;
        lua_rawgeti(L, 1, i);
        lua_rawgeti(L, 1, l);
        if (SortLess(L, -2, -1))
        {
            Set2(L, i, l);
        }
        else
        {
            lua_pop(L, 1);
            lua_rawgeti(L, 1, u);
            if (SortLess(L, -1, -2))
            {
                Set2(L, i, u);
            }
            else
            {
                lua_pop(L, 2);
            }
        }
        if (u - l == 2)
        {
            break;
        }
        // The pivot moves to u-1; a[l] <= P == a[u-1] <= a[u] leaves l+1..u-2 to partition.
        lua_rawgeti(L, 1, i);
        lua_pushvalue(L, -1);
        lua_rawgeti(L, 1, u - 1);
        Set2(L, i, u - 1);
        i = l;
        int j = u - 1;
        for (;;)
        {
            while (lua_rawgeti(L, 1, ++i), SortLess(L, -1, -2))
            {
                if (i > u)
                {
                    luaL_error(L, "invalid order function for sorting");
                }
                lua_pop(L, 1);
            }
            while (lua_rawgeti(L, 1, --j), SortLess(L, -3, -1))
            {
                if (j < l)
                {
                    luaL_error(L, "invalid order function for sorting");
                }
                lua_pop(L, 1);
            }
            if (j < i)
            {
                lua_pop(L, 3); // the pivot, a[i] and a[j]
                break;
            }
            Set2(L, i, j);
        }
        lua_rawgeti(L, 1, u - 1);
        lua_rawgeti(L, 1, i);
        Set2(L, u - 1, i);
        // Recurse into the smaller part and loop over the larger one.
        if (i - l < u - i)
        {
            j = l;
            i = i - 1;
            l = i + 2;
        }
        else
        {
            j = i + 1;
            i = u;
            u = j - 2;
        }
        AuxSort(L, j, i);
    }
}

int TabSort(lua_State* L)
{
    int n = CheckedSize(L, 1);
    luaL_checkstack(L, 40, "");
    if (!lua_isnoneornil(L, 2))
    {
        luaL_checktype(L, 2, LUA_TFUNCTION);
    }
    lua_settop(L, 2);
    AuxSort(L, 1, n);
    return 0;
}

const luaL_reg kTableFunctions[] = {
    {"concat", TabConcat}, {"foreach", TabForeach}, {"foreachi", TabForeachi},
    {"getn", TabGetn},     {"setn", TabSetn},       {"sort", TabSort},
    {"insert", TabInsert}, {"remove", TabRemove},   {nullptr, nullptr}};

} // namespace

int luaopen_table(lua_State* L)
{
    luaL_openlib(L, LUA_TABLIBNAME, kTableFunctions, 0);
    return 1;
}
