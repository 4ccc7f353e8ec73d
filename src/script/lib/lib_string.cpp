// String library: the stock string functions with pattern matching, the extended `format`,
// escape resolution (`lualex`) and binary records (`pack`, `unpack`).
#include "script/lauxlib.h"
#include "script/lualib.h"
#include "script/core/hex_digit.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{

using uchar = unsigned char;

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
        lua_pushlstring(L, s + start - 1, (size_t)(end - start + 1));
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
    long n = (l > 0 && count >= 1) ? (long)count : 0;
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    {
        while (n-- > 0)
        {
            luaL_addlstring(&b, s, l);
        }
    }
    luaL_pushresult(&b);
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
// Pattern matching

constexpr int kMaxCaptures = 32;
constexpr int kCapUnfinished = -1;
constexpr int kCapPosition = -2;
constexpr char kEsc = '%';
constexpr const char* kSpecials = "^$*+?.([%-";
// Nesting of the matcher's recursion; deeper patterns are refused instead of exhausting the
// native stack.
constexpr int kMaxMatchDepth = 200;

struct MatchState
{
    const char* mSrcInit;
    const char* mSrcEnd;
    lua_State* L;
    int mLevel;
    int mDepth;
    struct
    {
        const char* mInit;
        long mLen;
    } mCapture[kMaxCaptures];
};

const char* Match(MatchState* ms, const char* s, const char* p);

int CheckCapture(MatchState* ms, int l)
{
    l -= '1';
    if (l < 0 || l >= ms->mLevel || ms->mCapture[l].mLen == kCapUnfinished)
    {
        return luaL_error(ms->L, "invalid capture index");
    }
    return l;
}

int CaptureToClose(MatchState* ms)
{
    int level = ms->mLevel;
    for (level--; level >= 0; level--)
    {
        if (ms->mCapture[level].mLen == kCapUnfinished)
        {
            return level;
        }
    }
    return luaL_error(ms->L, "invalid pattern capture");
}

const char* ClassEnd(MatchState* ms, const char* p)
{
    switch (*p++)
    {
    case kEsc:
        if (*p == '\0')
        {
            luaL_error(ms->L, "malformed pattern (ends with `%s')", "%");
        }
        return p + 1;
    case '[':
        if (*p == '^')
        {
            p++;
        }
        do
        {
            if (*p == '\0')
            {
                luaL_error(ms->L, "malformed pattern (missing `]')");
            }
            if (*(p++) == kEsc && *p != '\0')
            {
                p++;
            }
        } while (*p != ']');
        return p + 1;
    default:
        return p;
    }
}

bool MatchClass(int c, int cl)
{
    bool res;
    switch (std::tolower(cl))
    {
    case 'a':
        res = std::isalpha(c);
        break;
    case 'c':
        res = std::iscntrl(c);
        break;
    case 'd':
        res = std::isdigit(c);
        break;
    case 'l':
        res = std::islower(c);
        break;
    case 'p':
        res = std::ispunct(c);
        break;
    case 's':
        res = std::isspace(c);
        break;
    case 'u':
        res = std::isupper(c);
        break;
    case 'w':
        res = std::isalnum(c);
        break;
    case 'x':
        res = std::isxdigit(c);
        break;
    case 'z':
        res = (c == 0);
        break;
    default:
        return cl == c;
    }
    return std::isupper(cl) ? !res : res;
}

// p points at '[', ec at the closing ']'.
bool MatchBracketClass(int c, const char* p, const char* ec)
{
    bool sig = true;
    if (*(p + 1) == '^')
    {
        sig = false;
        p++;
    }
    while (++p < ec)
    {
        if (*p == kEsc)
        {
            p++;
            if (MatchClass(c, uchar(*p)))
            {
                return sig;
            }
        }
        else if (*(p + 1) == '-' && p + 2 < ec)
        {
            p += 2;
            if (uchar(*(p - 2)) <= c && c <= uchar(*p))
            {
                return sig;
            }
        }
        else if (uchar(*p) == c)
        {
            return sig;
        }
    }
    return !sig;
}

bool SingleMatch(int c, const char* p, const char* ep)
{
    switch (*p)
    {
    case '.':
        return true;
    case kEsc:
        return MatchClass(c, uchar(*(p + 1)));
    case '[':
        return MatchBracketClass(c, p, ep - 1);
    default:
        return uchar(*p) == c;
    }
}

const char* MatchBalance(MatchState* ms, const char* s, const char* p)
{
    if (*p == '\0' || *(p + 1) == '\0')
    {
        luaL_error(ms->L, "unbalanced pattern");
    }
    if (s >= ms->mSrcEnd || *s != *p)
    {
        return nullptr;
    }
    int b = *p;
    int e = *(p + 1);
    int cont = 1;
    while (++s < ms->mSrcEnd)
    {
        if (*s == e)
        {
            if (--cont == 0)
            {
                return s + 1;
            }
        }
        else if (*s == b)
        {
            cont++;
        }
    }
    return nullptr;
}

const char* MaxExpand(MatchState* ms, const char* s, const char* p, const char* ep)
{
    long i = 0;
    while (s + i < ms->mSrcEnd && SingleMatch(uchar(*(s + i)), p, ep))
    {
        i++;
    }
    while (i >= 0)
    {
        const char* res = Match(ms, s + i, ep + 1);
        if (res)
        {
            return res;
        }
        i--;
    }
    return nullptr;
}

const char* MinExpand(MatchState* ms, const char* s, const char* p, const char* ep)
{
    for (;;)
    {
        const char* res = Match(ms, s, ep + 1);
        if (res != nullptr)
        {
            return res;
        }
        if (s < ms->mSrcEnd && SingleMatch(uchar(*s), p, ep))
        {
            s++;
        }
        else
        {
            return nullptr;
        }
    }
}

const char* StartCapture(MatchState* ms, const char* s, const char* p, int what)
{
    int level = ms->mLevel;
    if (level >= kMaxCaptures)
    {
        luaL_error(ms->L, "too many captures");
    }
    ms->mCapture[level].mInit = s;
    ms->mCapture[level].mLen = what;
    ms->mLevel = level + 1;
    const char* res = Match(ms, s, p);
    if (res == nullptr)
    {
        ms->mLevel--;
    }
    return res;
}

const char* EndCapture(MatchState* ms, const char* s, const char* p)
{
    int l = CaptureToClose(ms);
    ms->mCapture[l].mLen = (long)(s - ms->mCapture[l].mInit);
    const char* res = Match(ms, s, p);
    if (res == nullptr)
    {
        ms->mCapture[l].mLen = kCapUnfinished;
    }
    return res;
}

const char* MatchCapture(MatchState* ms, const char* s, int l)
{
    l = CheckCapture(ms, l);
    size_t len = (size_t)ms->mCapture[l].mLen;
    if ((size_t)(ms->mSrcEnd - s) >= len && std::memcmp(ms->mCapture[l].mInit, s, len) == 0)
    {
        return s + len;
    }
    return nullptr;
}

const char* Match(MatchState* ms, const char* s, const char* p)
{
    if (++ms->mDepth > kMaxMatchDepth)
    {
        luaL_error(ms->L, "pattern too complex");
    }
    const char* result = nullptr;
    for (;;)
    {
        switch (*p)
        {
        case '(':
            if (*(p + 1) == ')')
            {
                result = StartCapture(ms, s, p + 2, kCapPosition);
            }
            else
            {
                result = StartCapture(ms, s, p + 1, kCapUnfinished);
            }
            goto done;
        case ')':
            result = EndCapture(ms, s, p + 1);
            goto done;
        case '\0':
            result = s;
            goto done;
        case '$':
            if (*(p + 1) == '\0')
            {
                result = (s == ms->mSrcEnd) ? s : nullptr;
                goto done;
            }
            break;
        case kEsc:
            if (*(p + 1) == 'b')
            {
                s = MatchBalance(ms, s, p + 2);
                if (s == nullptr)
                {
                    goto done;
                }
                p += 4;
                continue;
            }
            if (*(p + 1) == 'f')
            {
                p += 2;
                if (*p != '[')
                {
                    luaL_error(ms->L, "missing `[' after `%s' in pattern", "%f");
                }
                const char* ep = ClassEnd(ms, p);
                int previous = (s == ms->mSrcInit) ? 0 : uchar(*(s - 1));
                int current = (s < ms->mSrcEnd) ? uchar(*s) : 0;
                if (MatchBracketClass(previous, p, ep - 1) ||
                    !MatchBracketClass(current, p, ep - 1))
                {
                    goto done;
                }
                p = ep;
                continue;
            }
            if (std::isdigit(uchar(*(p + 1))))
            {
                s = MatchCapture(ms, s, uchar(*(p + 1)));
                if (s == nullptr)
                {
                    goto done;
                }
                p += 2;
                continue;
            }
            break;
        default:
            break;
        }
        // A single-character class, possibly followed by a repetition suffix.
        const char* ep = ClassEnd(ms, p);
        bool m = s < ms->mSrcEnd && SingleMatch(uchar(*s), p, ep);
        switch (*ep)
        {
        case '?':
            if (m)
            {
                const char* res = Match(ms, s + 1, ep + 1);
                if (res != nullptr)
                {
                    result = res;
                    goto done;
                }
            }
            p = ep + 1;
            continue;
        case '*':
            result = MaxExpand(ms, s, p, ep);
            goto done;
        case '+':
            result = m ? MaxExpand(ms, s + 1, p, ep) : nullptr;
            goto done;
        case '-':
            result = MinExpand(ms, s, p, ep);
            goto done;
        default:
            if (!m)
            {
                goto done;
            }
            s++;
            p = ep;
            continue;
        }
    }
done:
    ms->mDepth--;
    return result;
}

const char* MemFind(const char* s1, size_t l1, const char* s2, size_t l2)
{
    if (l2 == 0)
    {
        return s1;
    }
    if (l2 > l1)
    {
        return nullptr;
    }
    l2--; // the first character is found with memchr
    l1 = l1 - l2;
    const char* init;
    while (l1 > 0 && (init = static_cast<const char*>(std::memchr(s1, *s2, l1))) != nullptr)
    {
        init++;
        if (std::memcmp(init, s2 + 1, l2) == 0)
        {
            return init - 1;
        }
        l1 -= (size_t)(init - s1);
        s1 = init;
    }
    return nullptr;
}

void PushOneCapture(MatchState* ms, int i, const char* s, const char* e)
{
    if (i < 0)
    {
        luaL_error(ms->L, "invalid capture index");
    }
    if (i >= ms->mLevel)
    {
        if (i == 0)
        {
            lua_pushlstring(ms->L, s, (size_t)(e - s)); // the whole match
        }
        else
        {
            luaL_error(ms->L, "invalid capture index");
        }
        return;
    }
    long l = ms->mCapture[i].mLen;
    if (l == kCapUnfinished)
    {
        luaL_error(ms->L, "unfinished capture");
    }
    if (l == kCapPosition)
    {
        lua_pushnumber(ms->L, (lua_Number)(ms->mCapture[i].mInit - ms->mSrcInit + 1));
    }
    else
    {
        lua_pushlstring(ms->L, ms->mCapture[i].mInit, (size_t)l);
    }
}

int PushCaptures(MatchState* ms, const char* s, const char* e)
{
    int nlevels = (ms->mLevel == 0 && s) ? 1 : ms->mLevel;
    luaL_checkstack(ms->L, nlevels, "too many captures");
    for (int i = 0; i < nlevels; i++)
    {
        PushOneCapture(ms, i, s, e);
    }
    return nlevels;
}

void InitMatch(MatchState* ms, lua_State* L, const char* s, size_t l)
{
    ms->L = L;
    ms->mSrcInit = s;
    ms->mSrcEnd = s + l;
    ms->mLevel = 0;
    ms->mDepth = 0;
}

int StrFind(lua_State* L)
{
    size_t l1, l2;
    const char* s = luaL_checklstring(L, 1, &l1);
    const char* p = luaL_checklstring(L, 2, &l2);
    long init = PosRelative(luaL_optnumber(L, 3, 1), l1) - 1;
    if (init < 0)
    {
        init = 0;
    }
    else if ((size_t)init > l1)
    {
        init = (long)l1;
    }
    if (lua_toboolean(L, 4) || std::strpbrk(p, kSpecials) == nullptr)
    {
        const char* s2 = MemFind(s + init, l1 - (size_t)init, p, l2);
        if (s2)
        {
            lua_pushnumber(L, (lua_Number)(s2 - s + 1));
            lua_pushnumber(L, (lua_Number)(s2 - s + (long)l2));
            return 2;
        }
    }
    else
    {
        MatchState ms;
        bool anchor = (*p == '^');
        if (anchor)
        {
            p++;
        }
        const char* s1 = s + init;
        InitMatch(&ms, L, s, l1);
        do
        {
            ms.mLevel = 0;
            ms.mDepth = 0;
            const char* res = Match(&ms, s1, p);
            if (res != nullptr)
            {
                lua_pushnumber(L, (lua_Number)(s1 - s + 1));
                lua_pushnumber(L, (lua_Number)(res - s));
                return PushCaptures(&ms, nullptr, nullptr) + 2;
            }
        } while (s1++ < ms.mSrcEnd && !anchor);
    }
    lua_pushnil(L);
    return 1;
}

int GfindAux(lua_State* L)
{
    MatchState ms;
    const char* s = lua_tostring(L, lua_upvalueindex(1));
    size_t ls = lua_strlen(L, lua_upvalueindex(1));
    const char* p = lua_tostring(L, lua_upvalueindex(2));
    InitMatch(&ms, L, s, ls);
    for (const char* src = s + (size_t)lua_tonumber(L, lua_upvalueindex(3)); src <= ms.mSrcEnd;
         src++)
    {
        ms.mLevel = 0;
        ms.mDepth = 0;
        const char* e = Match(&ms, src, p);
        if (e != nullptr)
        {
            long newstart = (long)(e - s);
            if (e == src)
            {
                newstart++; // an empty match moves on by at least one position
            }
            lua_pushnumber(L, (lua_Number)newstart);
            lua_replace(L, lua_upvalueindex(3));
            return PushCaptures(&ms, src, e);
        }
    }
    return 0;
}

int StrGfind(lua_State* L)
{
    luaL_checkstring(L, 1);
    luaL_checkstring(L, 2);
    lua_settop(L, 2);
    lua_pushnumber(L, 0);
    lua_pushcclosure(L, GfindAux, 3);
    return 1;
}

void AddReplacement(MatchState* ms, luaL_Buffer* b, const char* s, const char* e)
{
    lua_State* L = ms->L;
    if (lua_isstring(L, 3))
    {
        const char* news = lua_tostring(L, 3);
        size_t l = lua_strlen(L, 3);
        for (size_t i = 0; i < l; i++)
        {
            if (news[i] != kEsc)
            {
                luaL_putchar(b, news[i]);
            }
            else
            {
                i++; // skip the escape
                if (!std::isdigit(uchar(news[i])))
                {
                    luaL_putchar(b, news[i]);
                }
                else
                {
                    PushOneCapture(ms, news[i] - '1', s, e);
                    luaL_addvalue(b);
                }
            }
        }
    }
    else
    {
        lua_pushvalue(L, 3);
        int n = PushCaptures(ms, s, e);
        lua_call(L, n, 1);
        if (lua_isstring(L, -1) && !lua_iswstring(L, -1))
        {
            luaL_addvalue(b);
        }
        else
        {
            lua_pop(L, 1); // not a string: nothing is added
        }
    }
}

int StrGsub(lua_State* L)
{
    size_t srcl;
    const char* src = luaL_checklstring(L, 1, &srcl);
    const char* p = luaL_checkstring(L, 2);
    long maxS = luaL_optint(L, 4, (lua_Number)srcl + 1);
    bool anchor = (*p == '^');
    if (anchor)
    {
        p++;
    }
    int t3 = lua_type(L, 3);
    luaL_argcheck(L, t3 == LUA_TSTRING || t3 == LUA_TNUMBER || t3 == LUA_TFUNCTION, 3,
                  "string or function expected");
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    MatchState ms;
    InitMatch(&ms, L, src, srcl);
    long n = 0;
    while (n < maxS)
    {
        ms.mLevel = 0;
        ms.mDepth = 0;
        const char* e = Match(&ms, src, p);
        if (e)
        {
            n++;
            AddReplacement(&ms, &b, src, e);
        }
        if (e && e > src)
        {
            src = e;
        }
        else if (src < ms.mSrcEnd)
        {
            luaL_putchar(&b, *src++);
        }
        else
        {
            break;
        }
        if (anchor)
        {
            break;
        }
    }
    luaL_addlstring(&b, src, (size_t)(ms.mSrcEnd - src));
    luaL_pushresult(&b);
    lua_pushnumber(L, (lua_Number)n);
    return 2;
}

// ---------------------------------------------------------------------------------------------
// format

// One of the format flags "-+ #0".
inline bool IsFormatFlag(char c)
{
    return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0';
}
constexpr int kMaxFormat = 20;
constexpr int kMaxItem = 512;

void AddQuoted(lua_State* L, luaL_Buffer* b, int arg)
{
    size_t l;
    const char* s = luaL_checklstring(L, arg, &l);
    luaL_putchar(b, '"');
    while (l--)
    {
        switch (*s)
        {
        case '"':
        case '\\':
        case '\n':
            luaL_putchar(b, '\\');
            luaL_putchar(b, *s);
            break;
        case '\0':
            luaL_addlstring(b, "\\000", 4);
            break;
        default:
            luaL_putchar(b, *s);
            break;
        }
        s++;
    }
    luaL_putchar(b, '"');
}

// Adds the escape of a control unit 7..13, a quote or a backslash; false for other units.
bool AddSimpleEscape(luaL_Buffer* b, unsigned unit)
{
    static const char kLetters[] = "abtnvfr";
    if (unit >= 7 && unit <= 13)
    {
        luaL_putchar(b, '\\');
        luaL_putchar(b, kLetters[unit - 7]);
        return true;
    }
    if (unit == '"' || unit == '\\')
    {
        luaL_putchar(b, '\\');
        luaL_putchar(b, (char)unit);
        return true;
    }
    return false;
}

// A literal that the lexer reads back to the same value: L"..." for wide strings.
void AddRereadable(lua_State* L, luaL_Buffer* b, int arg)
{
    char hex[8];
    if (lua_type(L, arg) == LUA_TWSTRING)
    {
        size_t n = lua_strlen(L, arg);
        const lua_WChar* w = lua_towstring(L, arg);
        luaL_putchar(b, 'L');
        luaL_putchar(b, '"');
        for (size_t i = 0; i < n; i++)
        {
            unsigned unit = w[i];
            if (AddSimpleEscape(b, unit))
            {
                continue;
            }
            if (unit < 256 && std::isprint((int)unit))
            {
                luaL_putchar(b, (char)unit);
            }
            else
            {
                std::snprintf(hex, sizeof hex, "\\x%04x", unit);
                luaL_addstring(b, hex);
            }
        }
        luaL_putchar(b, '"');
        return;
    }
    size_t n;
    const char* s = lua_tostring(L, arg);
    if (s == nullptr)
    {
        luaL_typerror(L, arg, "string");
    }
    n = lua_strlen(L, arg);
    luaL_putchar(b, '"');
    for (size_t i = 0; i < n; i++)
    {
        unsigned c = uchar(s[i]);
        if (AddSimpleEscape(b, c))
        {
            continue;
        }
        if (std::isprint((int)c))
        {
            luaL_putchar(b, (char)c);
        }
        else
        {
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            luaL_addstring(b, hex);
        }
    }
    luaL_putchar(b, '"');
}

void AddRawNumber(lua_State* L, luaL_Buffer* b, int arg, char kind)
{
    lua_Number v = luaL_checknumber(L, arg);
    unsigned char bytes[8];
    size_t n = 0;
    switch (kind)
    {
    case 'b':
        bytes[0] = (unsigned char)TruncToInt32(v);
        n = 1;
        break;
    case 'w':
    {
        uint16_t w = (uint16_t)TruncToInt32(v);
        std::memcpy(bytes, &w, 2);
        n = 2;
        break;
    }
    case 'd':
    {
        int32_t d = TruncToInt32(v);
        std::memcpy(bytes, &d, 4);
        n = 4;
        break;
    }
    case 'f':
    {
        float f = (float)v;
        std::memcpy(bytes, &f, 4);
        n = 4;
        break;
    }
    case 'F':
        std::memcpy(bytes, &v, 8);
        n = 8;
        break;
    default:
        break; // any other letter writes nothing
    }
    luaL_addlstring(b, reinterpret_cast<const char*>(bytes), n);
}

void AddDecimal(luaL_Buffer* b, int32_t value)
{
    char digits[12];
    int n = 0;
    uint32_t magnitude = value < 0 ? 0u - (uint32_t)value : (uint32_t)value;
    do
    {
        digits[n++] = (char)('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
    {
        luaL_putchar(b, '-');
    }
    while (n > 0)
    {
        luaL_putchar(b, digits[--n]);
    }
}

const char* ScanFormat(lua_State* L, const char* strfrmt, char* form)
{
    const char* p = strfrmt;
    while (IsFormatFlag(*p))
    {
        p++;
    }
    if (std::isdigit(uchar(*p)))
    {
        p++;
    }
    if (std::isdigit(uchar(*p)))
    {
        p++; // at most two width digits
    }
    if (*p == '.')
    {
        p++;
        if (std::isdigit(uchar(*p)))
        {
            p++;
        }
        if (std::isdigit(uchar(*p)))
        {
            p++;
        }
    }
    if (std::isdigit(uchar(*p)))
    {
        luaL_error(L, "invalid format (width or precision too long)");
    }
    if (p - strfrmt + 2 > kMaxFormat)
    {
        luaL_error(L, "invalid format (too long)");
    }
    *(form++) = '%';
    std::memcpy(form, strfrmt, (size_t)(p - strfrmt + 1));
    form += p - strfrmt + 1;
    *form = '\0';
    return p;
}

// The digits of "%.<precision>f" for a finite v, computed exactly by integer arithmetic: the
// value times 10^precision, rounded to nearest with ties to even as the C library rounds. Gives
// the length written, or -1 when the precision or the magnitude is beyond this path (the general
// conversion then serves).
int FixedDigits(double v, int precision, char* out, size_t size)
{
    constexpr uint64_t kPow10[] = {1,      10,      100,      1000,      10000,
                                   100000, 1000000, 10000000, 100000000, 1000000000};
    if (precision < 0 || precision > 9 || size < 32)
    {
        return -1;
    }
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    bool negative = (bits >> 63) != 0;
    int biased = static_cast<int>((bits >> 52) & 0x7FF);
    uint64_t mantissa = bits & ((uint64_t(1) << 52) - 1);
    int exponent = -1074;
    if (biased != 0)
    {
        mantissa |= uint64_t(1) << 52;
        exponent = biased - 1075;
    }
    // v = mantissa * 2^exponent; scaled = v * 10^precision, rounded.
    uint64_t pow10 = kPow10[precision];
    uint64_t scaled;
    if (exponent >= 0)
    {
        if (exponent > 10)
        {
            return -1;
        }
        unsigned __int128 whole = (static_cast<unsigned __int128>(mantissa) << exponent) * pow10;
        if (whole >> 64 != 0)
        {
            return -1;
        }
        scaled = static_cast<uint64_t>(whole);
    }
    else if (-exponent >= 128)
    {
        scaled = 0; // far below half a unit of the last digit
    }
    else
    {
        int shift = -exponent;
        unsigned __int128 product = static_cast<unsigned __int128>(mantissa) * pow10;
        unsigned __int128 quotient = product >> shift;
        unsigned __int128 rest = product - (quotient << shift);
        unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
        if (rest > half || (rest == half && (quotient & 1) != 0))
        {
            quotient++;
        }
        if (quotient >> 64 != 0)
        {
            return -1;
        }
        scaled = static_cast<uint64_t>(quotient);
    }
    char digits[24];
    int n = 0;
    do
    {
        digits[n++] = static_cast<char>('0' + scaled % 10);
        scaled /= 10;
    } while (scaled != 0 || n <= precision);
    char* w = out;
    if (negative)
    {
        *w++ = '-';
    }
    while (n > precision)
    {
        *w++ = digits[--n];
    }
    if (precision > 0)
    {
        *w++ = '.';
        while (n > 0)
        {
            *w++ = digits[--n];
        }
    }
    return static_cast<int>(w - out);
}

// Writes a finite number under a "%[-][width][.precision]" e/E/f/g/G form exactly as snprintf
// does (the standard defines to_chars with a precision by printf, and it is exact), without the
// C library's slower arbitrary-precision path. Returns the length, or -1 for forms with other
// flags and for values it leaves to snprintf.
int FormatFloat(const char* form, double v, char* buff, size_t size)
{
    if (!std::isfinite(v))
    {
        return -1;
    }
    const char* p = form + 1;
    bool left = false;
    while (*p == '-')
    {
        left = true;
        p++;
    }
    if (IsFormatFlag(*p))
    {
        return -1;
    }
    int width = 0;
    while (std::isdigit(uchar(*p)))
    {
        width = width * 10 + (*p++ - '0');
    }
    int precision = 6;
    if (*p == '.')
    {
        p++;
        precision = 0;
        while (std::isdigit(uchar(*p)))
        {
            precision = precision * 10 + (*p++ - '0');
        }
    }
    char conv = *p;
    std::chars_format style;
    switch (conv)
    {
    case 'f':
        style = std::chars_format::fixed;
        break;
    case 'e':
    case 'E':
        style = std::chars_format::scientific;
        break;
    case 'g':
    case 'G':
        style = std::chars_format::general;
        break;
    default:
        return -1;
    }
    if (p[1] != '\0' || (size_t)width >= size)
    {
        return -1;
    }
    size_t len;
    int fixed = conv == 'f' ? FixedDigits(v, precision, buff, size) : -1;
    if (fixed >= 0)
    {
        len = (size_t)fixed;
    }
    else
    {
        std::to_chars_result r = std::to_chars(buff, buff + size - 1, v, style, precision);
        if (r.ec != std::errc())
        {
            return -1;
        }
        len = (size_t)(r.ptr - buff);
    }
    if (conv == 'E' || conv == 'G')
    {
        for (char* c = buff; c < buff + len; c++)
        {
            if (*c == 'e')
            {
                *c = 'E';
            }
        }
    }
    if (len < (size_t)width)
    {
        size_t pad = (size_t)width - len;
        if (left)
        {
            std::memset(buff + len, ' ', pad);
        }
        else
        {
            std::memmove(buff + pad, buff, len);
            std::memset(buff, ' ', pad);
        }
        len = (size_t)width;
    }
    return (int)len;
}

int StrFormat(lua_State* L)
{
    int arg = 1;
    size_t sfl;
    const char* strfrmt = luaL_checklstring(L, arg, &sfl);
    const char* strfrmtEnd = strfrmt + sfl;
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    while (strfrmt < strfrmtEnd)
    {
        if (*strfrmt != kEsc)
        {
            luaL_putchar(&b, *strfrmt++);
            continue;
        }
        if (*++strfrmt == kEsc)
        {
            luaL_putchar(&b, *strfrmt++);
            continue;
        }
        char form[kMaxFormat + 1];
        char buff[kMaxItem];
        buff[0] = '\0';
        if (std::isdigit(uchar(*strfrmt)) && *(strfrmt + 1) == '$')
        {
            return luaL_error(L, "obsolete option (d$) to `format'");
        }
        arg++;
        strfrmt = ScanFormat(L, strfrmt, form);
        switch (*strfrmt++)
        {
        case 'd':
        case 'i':
            if (form[2] == '\0')
            {
                AddDecimal(&b, TruncToInt32(luaL_checknumber(L, arg))); // plain "%d"
                continue;
            }
            std::snprintf(buff, sizeof buff, form, (int)TruncToInt32(luaL_checknumber(L, arg)));
            break;
        case 'c':
            std::snprintf(buff, sizeof buff, form, (int)TruncToInt32(luaL_checknumber(L, arg)));
            break;
        case 'o':
        case 'u':
        case 'x':
        case 'X':
            std::snprintf(buff, sizeof buff, form, (unsigned)TruncLow32(luaL_checknumber(L, arg)));
            break;
        case 'e':
        case 'E':
        case 'f':
        case 'g':
        case 'G':
        {
            double v = (double)luaL_checknumber(L, arg);
            int len = FormatFloat(form, v, buff, sizeof buff);
            if (len >= 0)
            {
                luaL_addlstring(&b, buff, (size_t)len);
                continue;
            }
            std::snprintf(buff, sizeof buff, form, v);
            break;
        }
        case 'q':
            AddQuoted(L, &b, arg);
            continue;
        case 's':
        {
            size_t l;
            const char* s = luaL_checklstring(L, arg, &l);
            if (form[2] == '\0')
            {
                // Plain "%s": the text up to its first zero byte, or all of a long one.
                luaL_addlstring(&b, s, l >= 100 ? l : std::strlen(s));
                continue;
            }
            if (!std::strchr(form, '.') && l >= 100)
            {
                lua_pushvalue(L, arg);
                luaL_addvalue(&b); // too long to format: added whole
                continue;
            }
            std::snprintf(buff, sizeof buff, form, s);
            break;
        }
        case 'B':
        {
            int t = lua_type(L, arg);
            if (t != LUA_TBOOLEAN && t != LUA_TNIL)
            {
                luaL_typerror(L, arg, "boolean");
            }
            luaL_addstring(&b, lua_toboolean(L, arg) ? "true" : "false");
            continue;
        }
        case 'Q':
            AddRereadable(L, &b, arg);
            continue;
        case 'b':
        {
            char kind = *strfrmt;
            if (strfrmt < strfrmtEnd)
            {
                strfrmt++;
            }
            AddRawNumber(L, &b, arg, kind);
            continue;
        }
        default:
            return luaL_error(L, "invalid option to `format'");
        }
        luaL_addlstring(&b, buff, std::strlen(buff));
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

// ---------------------------------------------------------------------------------------------
// pack and unpack

struct PackOrder
{
    bool mBigEndian = false;
};

void PutUnsigned(luaL_Buffer* b, uint64_t v, int size, const PackOrder& order)
{
    for (int k = 0; k < size; k++)
    {
        int shift = order.mBigEndian ? (size - 1 - k) * 8 : k * 8;
        luaL_putchar(b, (char)((v >> shift) & 0xFF));
    }
}

uint64_t GetUnsigned(const unsigned char* p, int size, const PackOrder& order)
{
    uint64_t v = 0;
    for (int k = 0; k < size; k++)
    {
        int shift = order.mBigEndian ? (size - 1 - k) * 8 : k * 8;
        v |= (uint64_t)p[k] << shift;
    }
    return v;
}

[[noreturn]] void BadCode(lua_State* L, char code)
{
    char msg[] = "bad code `?'";
    msg[10] = code;
    luaL_argerror(L, 1, msg);
    std::abort(); // not reached: the argument error does not return
}

int ReadCount(const char*& p, const char* end)
{
    long n = 0;
    while (p < end && std::isdigit(uchar(*p)))
    {
        n = n * 10 + (*p++ - '0');
        if (n > 100000000)
        {
            n = 100000000;
        }
    }
    return (int)n;
}

void PackString(lua_State* L, luaL_Buffer* b, int arg, char code, bool wide, const PackOrder& order)
{
    size_t n;
    const char* s = nullptr;
    const lua_WChar* w = nullptr;
    if (wide)
    {
        w = luaL_checklwstring(L, arg, &n);
    }
    else
    {
        s = luaL_checklstring(L, arg, &n);
    }
    switch (code)
    {
    case 'p':
        PutUnsigned(b, n & 0xFF, 1, order);
        break;
    case 'P':
        PutUnsigned(b, n & 0xFFFF, 2, order);
        break;
    case 'a':
        PutUnsigned(b, n & 0xFFFFFFFFu, 4, order);
        break;
    default:
        break;
    }
    if (wide)
    {
        for (size_t i = 0; i < n; i++)
        {
            PutUnsigned(b, w[i], 2, order);
        }
        if (code == 'z')
        {
            PutUnsigned(b, 0, 2, order);
        }
    }
    else
    {
        luaL_addlstring(b, s, n);
        if (code == 'z')
        {
            luaL_putchar(b, '\0');
        }
    }
}

int StrPack(lua_State* L)
{
    size_t fl;
    const char* p = luaL_checklstring(L, 1, &fl);
    const char* end = p + fl;
    int arg = 2;
    PackOrder order;
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    // Bytes written so far; the record mark and its size for "@" padding.
    size_t written = 0;
    int padState = 0;
    size_t padMark = 0;
    size_t padSize = 0;
    int padFill = 0;
    while (p < end)
    {
        char code = *p++;
        bool wide = false;
        if (code == 'w')
        {
            if (p >= end)
            {
                break;
            }
            wide = true;
            code = *p++;
        }
        if (code == '@')
        {
            if (padState == 0)
            {
                padSize = (size_t)ReadCount(p, end);
                if (p < end && *p == ':')
                {
                    p++;
                    padFill = ReadCount(p, end);
                }
                padMark = written;
                padState = 1;
            }
            else
            {
                ReadCount(p, end);
                if (padState == 1)
                {
                    while (written - padMark < padSize)
                    {
                        luaL_putchar(&b, (char)padFill);
                        written++;
                    }
                    padState = 2;
                }
            }
            continue;
        }
        int count = ReadCount(p, end);
        if (count == 0)
        {
            count = 1;
        }
        switch (code)
        {
        case ' ':
        case ',':
            continue;
        case '<':
            order.mBigEndian = false;
            continue;
        case '>':
            order.mBigEndian = true;
            continue;
        case '=':
            order.mBigEndian = false; // this machine's order
            continue;
        case 'b':
        case 'c':
        case 'B':
        case 'h':
        case 'H':
        case 'i':
        case 'l':
        case 'I':
        case 'L':
        case 'f':
        case 'd':
        case 'n':
        case 'A':
        case 'z':
        case 'p':
        case 'P':
        case 'a':
            break;
        default:
            BadCode(L, code);
        }
        for (int k = 0; k < count; k++, arg++)
        {
            luaL_Buffer* bp = &b;
            switch (code)
            {
            case 'b':
            case 'c':
                PutUnsigned(bp, (uint64_t)TruncToInt64(luaL_checknumber(L, arg)) & 0xFF, 1, order);
                written += 1;
                break;
            case 'B':
                if (!lua_isboolean(L, arg))
                {
                    luaL_error(L, "expected a boolean");
                }
                PutUnsigned(bp, lua_toboolean(L, arg) ? 1 : 0, 1, order);
                written += 1;
                break;
            case 'h':
                PutUnsigned(bp, (uint32_t)TruncToInt32(luaL_checknumber(L, arg)) & 0xFFFF, 2,
                            order);
                written += 2;
                break;
            case 'H':
                PutUnsigned(bp, (uint64_t)TruncToInt64(luaL_checknumber(L, arg)) & 0xFFFF, 2,
                            order);
                written += 2;
                break;
            case 'i':
            case 'l':
                PutUnsigned(bp, (uint32_t)TruncToInt32(luaL_checknumber(L, arg)), 4, order);
                written += 4;
                break;
            case 'I':
            case 'L':
                PutUnsigned(bp, TruncLow32(luaL_checknumber(L, arg)), 4, order);
                written += 4;
                break;
            case 'f':
            {
                float f = (float)luaL_checknumber(L, arg);
                uint32_t bits;
                std::memcpy(&bits, &f, 4);
                PutUnsigned(bp, bits, 4, order);
                written += 4;
                break;
            }
            case 'd':
            case 'n':
            {
                double d = luaL_checknumber(L, arg);
                uint64_t bits;
                std::memcpy(&bits, &d, 8);
                PutUnsigned(bp, bits, 8, order);
                written += 8;
                break;
            }
            default:
            {
                PackString(L, bp, arg, code, wide, order);
                size_t len = lua_strlen(L, arg); // a number argument was converted by the check
                size_t unitSize = wide ? 2 : 1;
                size_t header = code == 'p' ? 1 : code == 'P' ? 2 : code == 'a' ? 4 : 0;
                written += header + len * unitSize + (code == 'z' ? unitSize : 0);
                break;
            }
            }
        }
    }
    luaL_pushresult(&b);
    return 1;
}

int StrUnpack(lua_State* L)
{
    size_t dl;
    const char* data = luaL_checklstring(L, 1, &dl);
    size_t fl;
    const char* p = luaL_checklstring(L, 2, &fl);
    const char* end = p + fl;
    lua_Number start = luaL_optnumber(L, 3, 1);
    size_t pos = 0;
    if (start > 1)
    {
        pos = start > (lua_Number)dl + 1 ? dl : (size_t)start - 1;
    }
    const unsigned char* u = reinterpret_cast<const unsigned char*>(data);
    PackOrder order;
    lua_settop(L, 3);
    lua_pushnil(L); // replaced by the final position
    int results = 1;
    bool stopped = false;
    while (p < end && !stopped)
    {
        char code = *p++;
        bool wide = false;
        if (code == 'w')
        {
            if (p >= end)
            {
                break;
            }
            wide = true;
            code = *p++;
        }
        int count = ReadCount(p, end);
        if (count == 0)
        {
            count = 1;
        }
        int size = 0;
        switch (code)
        {
        case ' ':
        case ',':
            continue;
        case '<':
            order.mBigEndian = false;
            continue;
        case '>':
            order.mBigEndian = true;
            continue;
        case '=':
            order.mBigEndian = false;
            continue;
        case 'b':
        case 'c':
        case 'B':
            size = 1;
            break;
        case 'h':
        case 'H':
            size = 2;
            break;
        case 'i':
        case 'l':
        case 'I':
        case 'L':
        case 'f':
            size = 4;
            break;
        case 'd':
        case 'n':
            size = 8;
            break;
        case 'A':
        {
            size_t unit = wide ? 2 : 1;
            size_t need = (size_t)count * unit;
            if (dl - pos < need)
            {
                stopped = true;
                break;
            }
            luaL_checkstack(L, 1, "too many results");
            if (wide)
            {
                luaL_Buffer b;
                luaL_wbuffinit(L, &b);
                for (int k = 0; k < count; k++)
                {
                    lua_WChar w = (lua_WChar)GetUnsigned(u + pos + (size_t)k * 2, 2, order);
                    luaL_addlwstring(&b, &w, 1);
                }
                luaL_pushresult(&b);
            }
            else
            {
                lua_pushlstring(L, data + pos, need);
            }
            pos += need;
            results++;
            continue;
        }
        case 'z':
        case 'p':
        case 'P':
        case 'a':
            break;
        default:
            BadCode(L, code);
        }
        if (stopped)
        {
            break;
        }
        for (int k = 0; k < count && !stopped; k++)
        {
            luaL_checkstack(L, 1, "too many results");
            if (size > 0)
            {
                if (dl - pos < (size_t)size)
                {
                    stopped = true;
                    break;
                }
                uint64_t v = GetUnsigned(u + pos, size, order);
                pos += (size_t)size;
                switch (code)
                {
                case 'b':
                case 'H':
                case 'I':
                case 'L':
                    lua_pushnumber(L, (lua_Number)v);
                    break;
                case 'c':
                    lua_pushnumber(L, (lua_Number)(int8_t)(uint8_t)v);
                    break;
                case 'B':
                    lua_pushboolean(L, v != 0);
                    break;
                case 'h':
                    lua_pushnumber(L, (lua_Number)(int16_t)(uint16_t)v);
                    break;
                case 'i':
                case 'l':
                    lua_pushnumber(L, (lua_Number)(int32_t)(uint32_t)v);
                    break;
                case 'f':
                {
                    uint32_t bits = (uint32_t)v;
                    float f;
                    std::memcpy(&f, &bits, 4);
                    lua_pushnumber(L, (lua_Number)f);
                    break;
                }
                default:
                {
                    double d;
                    std::memcpy(&d, &v, 8);
                    lua_pushnumber(L, d);
                    break;
                }
                }
                results++;
                continue;
            }
            // Strings: z up to a terminator; p, P, a after a length field.
            size_t unit = wide ? 2 : 1;
            size_t at = pos;
            size_t units = 0;
            size_t skip = 0;
            if (code == 'z')
            {
                if (pos >= dl)
                {
                    stopped = true; // nothing left to read a string from
                    break;
                }
                while (at + (units + 1) * unit <= dl)
                {
                    if (GetUnsigned(u + at + units * unit, (int)unit, order) == 0)
                    {
                        skip = unit;
                        break;
                    }
                    units++;
                }
            }
            else
            {
                int lenSize = code == 'p' ? 1 : code == 'P' ? 2 : 4;
                if (dl - pos < (size_t)lenSize)
                {
                    stopped = true;
                    break;
                }
                units = (size_t)GetUnsigned(u + pos, lenSize, order);
                at = pos + (size_t)lenSize;
                if ((dl - at) / unit < units)
                {
                    stopped = true;
                    break;
                }
            }
            if (wide)
            {
                luaL_Buffer b;
                luaL_wbuffinit(L, &b);
                for (size_t k2 = 0; k2 < units; k2++)
                {
                    lua_WChar w = (lua_WChar)GetUnsigned(u + at + k2 * 2, 2, order);
                    luaL_addlwstring(&b, &w, 1);
                }
                luaL_pushresult(&b);
            }
            else
            {
                lua_pushlstring(L, data + at, units);
            }
            pos = at + units * unit + skip;
            results++;
        }
    }
    lua_pushnumber(L, (lua_Number)(pos + 1));
    lua_replace(L, 4);
    return results;
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
